#include "platform/TADOConnection.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>

#include <atomic>

#include "platform/ConnectionText_p.h"
#include "platform/Platform.h"

namespace platform {

namespace {

std::atomic<int> connectionSerial{0};

DatabaseError errorOf(const QSqlError& e, const QString& prefix, const QString& connectionString) {
    // The database's own diagnostics say more than Qt's summary of them.
    QString text = e.databaseText().trimmed();
    if (text.isEmpty()) text = e.driverText().trimmed();
    if (!prefix.isEmpty()) text = prefix + text;
    return DatabaseError(detail::scrubSecrets(text, connectionString),
                         detail::scrubSecrets(e.nativeErrorCode(), connectionString));
}

}  // namespace

TADOConnection::TADOConnection(QObject* parent)
    : QObject(parent),
      dbName_(QStringLiteral("platform.TADOConnection.%1").arg(++connectionSerial)) {}

TADOConnection::~TADOConnection() {
    try {
        setConnected(false);  // an open transaction is rolled back, never left half done
    } catch (...) {
    }
    if (QSqlDatabase::contains(dbName_)) QSqlDatabase::removeDatabase(dbName_);
}

bool TADOConnection::connected() const {
    return QSqlDatabase::contains(dbName_) && QSqlDatabase::database(dbName_, false).isOpen();
}

void TADOConnection::setConnected(bool on) {
    if (on == connected()) return;
    if (on) {
        if (BeforeConnect) BeforeConnect(this);
        open();
        if (AfterConnect) AfterConnect(this);
        return;
    }
    perdida_ = false;
    QSqlDatabase db = QSqlDatabase::database(dbName_, false);
    if (inTransaction_) {
        inTransaction_ = false;
        db.rollback();
    }
    db.close();
}

void TADOConnection::open() {
    ConnectionSettings cfg = ConnectionSettings::parse(connectionString_);
    if (cfg.driver == QLatin1String("QSQLITE")) {
        // A relative file is the till's, beside the host, whatever folder it was started from.
        if (QFileInfo(cfg.databaseName).isRelative() && QCoreApplication::instance())
            cfg.databaseName =
                QDir(QCoreApplication::applicationDirPath()).filePath(cfg.databaseName);
        // Opening a missing file would create an empty database and hide the wrong path.
        const QFileInfo fi(cfg.databaseName);
        if (!fi.isFile())
            throw DatabaseError(QStringLiteral("Arquivo do banco de dados não encontrado: %1")
                                    .arg(cfg.databaseName),
                                QString());
    }
    if (QSqlDatabase::contains(dbName_) &&
        QSqlDatabase::database(dbName_, false).driverName() != cfg.driver)
        QSqlDatabase::removeDatabase(dbName_);
    QSqlDatabase db = QSqlDatabase::contains(dbName_)
                          ? QSqlDatabase::database(dbName_, false)
                          : QSqlDatabase::addDatabase(cfg.driver, dbName_);
    if (!db.isValid())
        throw DatabaseError(
            QStringLiteral("Driver de banco de dados indisponível: %1").arg(cfg.driver), QString());
    db.setDatabaseName(cfg.databaseName);
    if (!cfg.hostName.isEmpty()) db.setHostName(cfg.hostName);
    if (cfg.port > 0) db.setPort(cfg.port);
    if (!cfg.userName.isEmpty()) db.setUserName(cfg.userName);
    if (!cfg.password.isEmpty()) db.setPassword(cfg.password);
    QString options = cfg.connectOptions;
    if (cfg.driver == QLatin1String("QSQLITE")) {
        options = QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000");
        if (readOnly_) options += QStringLiteral(";QSQLITE_OPEN_READONLY");
    }
    db.setConnectOptions(options);
    inTransaction_ = false;
    const QString failed = QStringLiteral("Falha ao conectar ao banco de dados: ");
    if (!db.open()) throw errorOf(db.lastError(), failed, connectionString_);
    if (cfg.driver == QLatin1String("QSQLITE")) {
        // SQLite opens any file lazily; reading its schema now turns "not a database" into a
        // connect error instead of the first query's.
        QSqlQuery probe(db);
        if (!probe.exec(QStringLiteral("SELECT COUNT(*) FROM sqlite_master"))) {
            const DatabaseError err = errorOf(probe.lastError(), failed, connectionString_);
            probe.finish();
            db.close();
            throw err;
        }
    }
    // The statements follow the server reached, not what the string suggested.
    dialeto_ = dialetoDoServidor(db, cfg.sqlServer);
    sqlServer_ = dialeto_ == Dialeto::SqlServer;
    QSqlError sessao;
    if (!preparaSessao(db, dialeto_, readOnly_, &sessao)) {
        db.close();
        throw errorOf(sessao, failed, connectionString_);
    }
    perdida_ = false;
}

void TADOConnection::BeginTrans() {
    if (!connected())
        throw DatabaseError(QStringLiteral("Conexão com o banco de dados fechada."), QString());
    if (inTransaction_)
        throw DatabaseError(QStringLiteral("Já existe uma transação aberta nesta conexão."),
                            QString());
    QSqlDatabase db = database();
    if (!readOnly_ && db.driverName() == QLatin1String("QSQLITE")) {
        // A writer takes the write lock at the start: two writers that both read first would
        // otherwise fail on upgrading their locks instead of waiting for each other.
        QSqlQuery begin(db);
        if (!begin.exec(QStringLiteral("BEGIN IMMEDIATE")))
            throw errorOf(begin.lastError(), QStringLiteral("Falha ao iniciar a transação: "),
                          connectionString_);
    } else if (!db.transaction()) {
        throw errorOf(db.lastError(), QStringLiteral("Falha ao iniciar a transação: "),
                      connectionString_);
    }
    inTransaction_ = true;
}

void TADOConnection::CommitTrans() {
    if (!inTransaction_) return;
    QSqlDatabase db = database();
    // A failed commit leaves the transaction open so that the caller can still roll back.
    if (!db.commit())
        throw errorOf(db.lastError(), QStringLiteral("Falha ao confirmar a transação: "),
                      connectionString_);
    inTransaction_ = false;
}

void TADOConnection::RollbackTrans() {
    if (!inTransaction_) return;
    inTransaction_ = false;
    QSqlDatabase db = database();
    if (!db.rollback())
        throw errorOf(db.lastError(), QStringLiteral("Falha ao desfazer a transação: "),
                      connectionString_);
}

QSqlDatabase TADOConnection::database() const {
    return QSqlDatabase::database(dbName_, false);
}

QString TADOConnection::driverName() const {
    return QSqlDatabase::contains(dbName_) ? database().driverName() : QString();
}

bool TADOConnection::isSqlServer() const {
    return sqlServer_;
}

}  // namespace platform
