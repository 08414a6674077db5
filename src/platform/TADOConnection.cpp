#include "platform/TADOConnection.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>

#include <atomic>
#include <mutex>

#include "platform/ConnectionText_p.h"
#include "platform/Platform.h"

namespace platform {

namespace {

std::atomic<int> connectionSerial{0};

// Every connection object alive: its string may be quoted by any driver's message.
std::mutex liveMutex;
QList<const TADOConnection*>& live() {
    static QList<const TADOConnection*> l;
    return l;
}

DatabaseError errorOf(const QSqlError& e, const QString& prefix, const QString& connectionString) {
    // The database's own diagnostics say more than Qt's summary of them.
    QString text = e.databaseText().trimmed();
    if (text.isEmpty()) text = e.driverText().trimmed();
    if (!prefix.isEmpty()) text = prefix + text;
    return DatabaseError(detail::scrubSecrets(text, connectionString),
                         detail::scrubSecrets(e.nativeErrorCode(), connectionString));
}

}  // namespace

QStringList detail::liveConnectionStrings() {
    std::lock_guard lock(liveMutex);
    QStringList out;
    for (const TADOConnection* c : live()) out << c->connectionString();
    return out;
}

TADOConnection::TADOConnection(QObject* parent)
    : QObject(parent),
      dbName_(QStringLiteral("platform.TADOConnection.%1").arg(++connectionSerial)) {
    std::lock_guard lock(liveMutex);
    live().append(this);
}

TADOConnection::~TADOConnection() {
    try {
        setConnected(false);  // an open transaction is rolled back, never left half done
    } catch (...) {
    }
    if (QSqlDatabase::contains(dbName_)) QSqlDatabase::removeDatabase(dbName_);
    std::lock_guard lock(liveMutex);
    live().removeAll(this);
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
        if (!fi.isFile()) {
            const QString nome = detail::quotable(cfg.databaseName);
            throw DatabaseError(
                nome.isEmpty()
                    ? QStringLiteral("Arquivo do banco de dados não encontrado; verifique a cadeia "
                                     "de conexão.")
                    : QStringLiteral("Arquivo do banco de dados não encontrado: %1").arg(nome),
                QString());
        }
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
    sqlServer_ = cfg.sqlServer;
}

void TADOConnection::BeginTrans() {
    if (!connected())
        throw DatabaseError(QStringLiteral("Conexão com o banco de dados fechada."), QString());
    if (inTransaction_)
        throw DatabaseError(QStringLiteral("Já existe uma transação aberta nesta conexão."),
                            QString());
    QSqlDatabase db = database();
    if (!db.transaction())
        throw errorOf(db.lastError(), QStringLiteral("Falha ao iniciar a transação: "),
                      connectionString_);
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
