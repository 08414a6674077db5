#include "platform/TADOConnection.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>
#include <QUrl>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include <sqlite3.h>

#include "dataset/SqliteHandle.h"

#include "platform/ConnectionText_p.h"
#include "platform/DialetoBanco.h"
#include "platform/Platform.h"
#include "platform/Registro.h"
#include "platform/StatementDeadline.h"

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
    if (text.isEmpty()) text = QStringLiteral("o driver não informou o motivo.");
    if (!prefix.isEmpty()) text = prefix + text;
    return DatabaseError(detail::scrubSecrets(text, connectionString),
                         detail::scrubSecrets(e.nativeErrorCode(), connectionString));
}

// Past the driver's login timeout, the time a connect may still take before the caller stops
// waiting: a server that trickles a byte now and then restarts that timeout at every byte, and a
// named instance's lookup has timeouts of its own.
constexpr int kConnectGraceSeconds = 3;

// A connect running in a thread of its own, so that the caller can stop waiting at its deadline.
// The worker hands the driver to the caller's thread when the caller still wants it; otherwise
// it closes and removes the connection itself, whenever the driver lets go.
struct ConnectAttempt {
    std::mutex mutex;
    std::condition_variable changed;
    bool handingOver = false;  // the worker has given the driver to the caller's thread
    bool done = false;
    bool abandoned = false;
    bool ok = false;
    QSqlError error;
};

std::atomic<int> abandonedConnects{0};

}  // namespace

int detail::abandonedConnects() {
    return platform::abandonedConnects;
}

QStringList detail::liveConnectionStrings() {
    std::lock_guard lock(liveMutex);
    QStringList out;
    for (const TADOConnection* c : live()) out << c->connectionString();
    return out;
}

TADOConnection::TADOConnection(QObject* parent)
    : QObject(parent),
      baseName_(QStringLiteral("platform.TADOConnection.%1").arg(++connectionSerial)),
      dbName_(baseName_) {
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
        try {
            open();
            opened_ = connectionString_;
        } catch (...) {
            const QString instead = InsteadOfFailedConnect
                                        ? InsteadOfFailedConnect(std::current_exception())
                                        : QString();
            if (instead.isEmpty()) throw;
            const QString server = connectionString_;
            const bool ro = readOnly_;
            connectionString_ = instead;
            readOnly_ = true;
            try {
                open();
            } catch (...) {
                connectionString_ = server;
                readOnly_ = ro;
                throw;
            }
            opened_ = instead;
            connectionString_ = server;
            readOnly_ = ro;
        }
        if (AfterConnect) AfterConnect(this);
        return;
    }
    perdida_ = false;
    Q_EMIT fechando();
    releaseTransactionStatements();
    QSqlDatabase db = QSqlDatabase::database(dbName_, false);
    if (inTransaction_) {
        inTransaction_ = false;
        db.rollback();
    }
    db.close();
}

void TADOConnection::open() {
    // Statements of an earlier handle go before it does (SQLite keeps a handle open until its
    // statements are finalized, so this is safe however it was closed).
    releaseTransactionStatements();
    timedOut_ = false;
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
    if (QSqlDatabase::contains(dbName_)) QSqlDatabase::removeDatabase(dbName_);
    inTransaction_ = false;
    if (cfg.driver == QLatin1String("QSQLITE"))
        openSqlite(cfg);
    else
        openWithDeadline(cfg);
    queryTimeout_ = cfg.queryTimeout;
    // The statements follow the server reached, not what the string suggested.
    QSqlDatabase db = QSqlDatabase::database(dbName_, false);
    dialeto_ = dialetoDoServidor(db, cfg.sqlServer);
    sqlServer_ = dialeto_ == Dialeto::SqlServer;
    QSqlError sessao;
    if (!preparaSessao(db, dialeto_, readOnly_, &sessao)) {
        db.close();
        throw errorOf(sessao, QStringLiteral("Falha ao conectar ao banco de dados: "),
                      connectionString_);
    }
    perdida_ = false;
}

namespace {

// A WAL database is read through its shared-memory file beside it; a login that may not create
// that file (the folder is not its own) cannot open the database at all, even to read.
bool soPodeLer(const QString& arquivo) {
    const QFileInfo fi(arquivo);
    return !fi.isWritable() || !QFileInfo(fi.absolutePath()).isWritable();
}

// Pending pages of the write-ahead log would be missed by a read that ignores it.
bool semLogPendente(const QString& arquivo) {
    const QFileInfo wal(arquivo + QStringLiteral("-wal"));
    return !wal.exists() || wal.size() == 0;
}

}  // namespace

void TADOConnection::openSqlite(const ConnectionSettings& cfg) {
    QString erro;
    const std::exception_ptr falha = tryOpenSqlite(cfg, false, &erro);
    if (!falha) return;
    // The screen only reads: a file this login may only read is read as it stands, as a
    // snapshot, when nothing waits in its log. Writing (a sale) still fails and says so.
    if (readOnly_ && soPodeLer(cfg.databaseName) && semLogPendente(cfg.databaseName)) {
        QString outro;
        if (!tryOpenSqlite(cfg, true, &outro)) {
            qCWarning(lcBanco).noquote()
                << QStringLiteral(
                       "Banco aberto só para leitura, como está (este usuário não "
                       "pode gravar nele nem na sua pasta): %1 (%2)")
                       .arg(QFileInfo(cfg.databaseName).fileName(), erro);
            return;
        }
    }
    std::rethrow_exception(falha);
}

std::exception_ptr TADOConnection::tryOpenSqlite(const ConnectionSettings& cfg, bool comoEsta,
                                                 QString* erro) {
    if (QSqlDatabase::contains(dbName_)) QSqlDatabase::removeDatabase(dbName_);
    QSqlDatabase db = QSqlDatabase::addDatabase(cfg.driver, dbName_);
    if (!db.isValid())
        throw DatabaseError(
            QStringLiteral("Driver de banco de dados indisponível: %1").arg(cfg.driver), QString());
    QString options = QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000");
    if (comoEsta) {
        QUrl url = QUrl::fromLocalFile(QFileInfo(cfg.databaseName).absoluteFilePath());
        url.setQuery(QStringLiteral("immutable=1"));
        db.setDatabaseName(url.toString(QUrl::FullyEncoded));
        options += QStringLiteral(";QSQLITE_OPEN_URI");
    } else {
        db.setDatabaseName(cfg.databaseName);
    }
    if (readOnly_) options += QStringLiteral(";QSQLITE_OPEN_READONLY");
    db.setConnectOptions(options);
    const QString failed = QStringLiteral("Falha ao conectar ao banco de dados: ");
    if (!db.open()) {
        *erro = db.lastError().text();
        return std::make_exception_ptr(errorOf(db.lastError(), failed, connectionString_));
    }
    // SQLite opens any file lazily; reading its schema now turns "not a database" into a
    // connect error instead of the first query's.
    QSqlQuery probe(db);
    if (!probe.exec(QStringLiteral("SELECT COUNT(*) FROM sqlite_master"))) {
        const DatabaseError err = errorOf(probe.lastError(), failed, connectionString_);
        *erro = probe.lastError().text();
        probe.finish();
        db.close();
        return std::make_exception_ptr(err);
    }
    return nullptr;
}

void TADOConnection::openWithDeadline(const ConnectionSettings& cfg) {
    if (!QSqlDatabase::isDriverAvailable(cfg.driver))
        throw DatabaseError(
            QStringLiteral("Driver de banco de dados indisponível: %1").arg(cfg.driver), QString());
    // A name per attempt: one given up at its deadline keeps its own until the driver lets go.
    const QString name = QStringLiteral("%1.%2").arg(baseName_).arg(++attempts_);
    auto attempt = std::make_shared<ConnectAttempt>();
    QThread* caller = QThread::currentThread();
    std::thread([attempt, caller, cfg, name] {
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(cfg.driver, name);
            db.setDatabaseName(cfg.databaseName);
            if (!cfg.hostName.isEmpty()) db.setHostName(cfg.hostName);
            if (cfg.port > 0) db.setPort(cfg.port);
            if (!cfg.userName.isEmpty()) db.setUserName(cfg.userName);
            if (!cfg.password.isEmpty()) db.setPassword(cfg.password);
            db.setConnectOptions(cfg.connectOptions);
            const bool ok = db.open();
            std::lock_guard lock(attempt->mutex);
            attempt->ok = ok;
            attempt->error = db.lastError();
            if (!attempt->abandoned) {
                db.driver()->moveToThread(caller);
                attempt->handingOver = true;
            }
        }  // this thread's handle on the connection ends before the caller may remove it
        std::unique_lock lock(attempt->mutex);
        if (attempt->handingOver) {
            attempt->done = true;
            attempt->changed.notify_all();
            return;
        }
        lock.unlock();
        QSqlDatabase::removeDatabase(name);  // closes it
        --abandonedConnects;
    }).detach();

    const int seconds = cfg.loginTimeout + kConnectGraceSeconds;
    std::unique_lock lock(attempt->mutex);
    const bool done = attempt->changed.wait_until(
        lock, std::chrono::steady_clock::now() + std::chrono::seconds(seconds),
        [&attempt] { return attempt->done || attempt->handingOver; });
    if (!done) {
        attempt->abandoned = true;
        ++abandonedConnects;
        timedOut_ = true;
        throw DatabaseError(
            QStringLiteral("Falha ao conectar ao banco de dados: o servidor não respondeu em %1 "
                           "segundos.")
                .arg(seconds),
            QString());
    }
    attempt->changed.wait(lock, [&attempt] { return attempt->done; });  // moments away
    dbName_ = name;
    if (!attempt->ok)
        throw errorOf(attempt->error, QStringLiteral("Falha ao conectar ao banco de dados: "),
                      connectionString_);
}

void TADOConnection::requireTables(const QStringList& tables) const {
    QStringList missing;
    for (const QString& table : tables) {
        QSqlQuery q(database());
        // Fixed names of the caller's own, never input: a probe that reads no row.
        bool ok = q.prepare(QStringLiteral("SELECT 1 FROM %1 WHERE 1 = 0").arg(table));
        if (ok) {
            const StatementDeadline deadline(*this, q);
            ok = q.exec();
            if (!ok && deadline.expired()) throw deadline.timeoutError();
        }
        if (!ok) {
            // A table another till holds locked is there: say it is busy, not missing.
            const QSqlError e = q.lastError();
            const Falha f = classificaFalha(e, dialeto());
            if (f == Falha::Bloqueio || f == Falha::ConexaoPerdida)
                throw DatabaseError(textoDaFalha(f) + QStringLiteral(" (tabela %1).").arg(table),
                                    e.nativeErrorCode());
            missing << table;
        }
    }
    if (!missing.isEmpty())
        throw DatabaseError(QStringLiteral("Este banco de dados não é o do caixa: não tem %1 %2.")
                                .arg(missing.size() == 1 ? QStringLiteral("a tabela")
                                                         : QStringLiteral("as tabelas"),
                                     missing.join(QStringLiteral(", "))),
                            QString());
}

// Straight on SQLite, without the query Qt makes for each: a good part of a short sale's time.
std::optional<bool> TADOConnection::onOurSqlite(int which, QSqlError& error) {
    static const char* const texts[] = {"BEGIN IMMEDIATE", "COMMIT", "ROLLBACK"};
    sqlite3* h = dataset::sqliteHandle(database());
    if (!h) return std::nullopt;
    sqlite3_stmt*& st = transactionStatements_[which];
    int rc = st ? SQLITE_OK : sqlite3_prepare_v2(h, texts[which], -1, &st, nullptr);
    if (rc == SQLITE_OK) rc = sqlite3_step(st);
    const bool done = rc == SQLITE_DONE;
    if (!done)
        error = dataset::sqliteError(h, QStringLiteral("Unable to execute statement"),
                                     QSqlError::TransactionError);
    if (st) sqlite3_reset(st);
    return done;
}

void TADOConnection::releaseTransactionStatements() {
    for (sqlite3_stmt*& st : transactionStatements_) {
        sqlite3_finalize(st);
        st = nullptr;
    }
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
        QSqlError failed;
        const std::optional<bool> raw = onOurSqlite(0, failed);
        bool begun = raw.value_or(false);
        if (!raw) {
            QSqlQuery begin(db);
            begun = begin.exec(QStringLiteral("BEGIN IMMEDIATE"));
            if (!begun) failed = begin.lastError();
        }
        if (!begun)
            throw errorOf(failed, QStringLiteral("Falha ao iniciar a transação: "),
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
    QSqlError failed;
    const std::optional<bool> raw = onOurSqlite(1, failed);
    if (raw ? !*raw : !db.commit())
        throw errorOf(raw ? failed : db.lastError(),
                      QStringLiteral("Falha ao confirmar a transação: "), connectionString_);
    inTransaction_ = false;
}

void TADOConnection::RollbackTrans() {
    if (!inTransaction_) return;
    inTransaction_ = false;
    QSqlDatabase db = database();
    QSqlError failed;
    const std::optional<bool> raw = onOurSqlite(2, failed);
    if (raw ? !*raw : !db.rollback())
        throw errorOf(raw ? failed : db.lastError(),
                      QStringLiteral("Falha ao desfazer a transação: "), connectionString_);
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
