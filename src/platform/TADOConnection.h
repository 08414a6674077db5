#pragma once

#include <QObject>
#include <QSqlDatabase>

#include <exception>
#include <functional>
#include <optional>

#include "platform/DialetoBanco.h"
#include "platform/platform_export.h"

class QSqlError;
struct sqlite3_stmt;

namespace platform {

struct ConnectionSettings;

// The connection object of the database-access layer, over Qt SQL. The connection string is
// ADO-style (Provider=SQLOLEDB;Data Source=...), ODBC (Driver=...;Server=...) or a SQLite file;
// it maps to QSQLITE or QODBC. Each instance owns its own QSqlDatabase connection name.
// A SQLite file must exist (a relative one is looked for beside the host); closing or freeing
// the connection rolls back a transaction still open.
class PLATFORM_EXPORT TADOConnection : public QObject {
    Q_OBJECT
public:
    explicit TADOConnection(QObject* parent = nullptr);
    ~TADOConnection() override;

    QString connectionString() const { return connectionString_; }
    void setConnectionString(const QString& s) { connectionString_ = s; }
    QString provider() const { return provider_; }
    void setProvider(const QString& p) { provider_ = p; }
    bool loginPrompt() const { return false; }
    // SQLite is opened read-only (the screen only reads); the sale generator's own connection
    // sets this false.
    void setReadOnly(bool ro) { readOnly_ = ro; }
    bool readOnly() const { return readOnly_; }

    bool connected() const;
    // True: BeforeConnect, connect, AfterConnect (not on failure; raises DatabaseError).
    // False: disconnect. Both are no-ops when already in that state.
    void setConnected(bool on);

    std::function<void(QObject* sender)> BeforeConnect;
    std::function<void(QObject* sender)> AfterConnect;
    // Asked when the connect fails: a connection string to open instead, read-only (the
    // till's copy while its server is away), or empty to let the failure stand. It may raise a
    // failure of its own. AfterConnect then runs as after any connect.
    std::function<QString(std::exception_ptr failure)> InsteadOfFailedConnect;
    // Whether the last connect ran out its deadline without the server answering.
    bool connectTimedOut() const { return timedOut_; }
    // The string of the connection now open, which is not the one set when the connect fell
    // back on another.
    QString openConnectionString() const { return opened_; }

    // On a read-write SQLite connection a transaction holds the write lock from its start.
    bool inTransaction() const { return inTransaction_; }
    void BeginTrans();
    void CommitTrans();
    void RollbackTrans();

    // Refuses a database that is not the one expected, on an open connection: raises
    // DatabaseError naming the tables it lacks. An empty or foreign file opens like the till's
    // and would fail only at its first query.
    void requireTables(const QStringList& tables) const;

    // Seconds a statement may take ("Command Timeout=", 30 by default); see StatementDeadline.
    int queryTimeout() const { return queryTimeout_; }

    QSqlDatabase database() const;
    QString driverName() const;  // "QSQLITE" or "QODBC" once connected
    bool isSqlServer() const;    // statements in T-SQL
    // The SQL of the server reached, read at each connect (see DialetoBanco.h).
    Dialeto dialeto() const { return dialeto_; }
    // Set by an error that means the server dropped the connection; reconectaSePerdida then
    // reconnects. A deliberate disconnect clears it.
    void marcaPerdida() { perdida_ = true; }
    bool perdida() const { return perdida_; }

Q_SIGNALS:
    // Just before the driver's connection closes: statements kept prepared on it go first
    // (SQLite will not close under a statement).
    void fechando();

private:
    void open();
    void openSqlite(const ConnectionSettings& cfg);
    // One attempt; `comoEsta` reads the file as it stands (immutable), for a login that may
    // only read it. The failure, or null.
    std::exception_ptr tryOpenSqlite(const ConnectionSettings& cfg, bool comoEsta, QString* erro);
    // The driver's connect runs in a thread of its own; the caller waits a few seconds more
    // than the login timeout, then gives up with the connection error, whatever the server
    // does meanwhile.
    void openWithDeadline(const ConnectionSettings& cfg);
    // BEGIN IMMEDIATE, COMMIT or ROLLBACK (0, 1, 2) straight on our SQLite under Qt's plugin;
    // nothing on any other driver. False, with the error, when SQLite refuses.
    std::optional<bool> onOurSqlite(int which, QSqlError& error);
    void releaseTransactionStatements();

    QString connectionString_;
    QString provider_;
    QString baseName_;
    QString dbName_;  // the current attempt's connection name
    int attempts_ = 0;
    bool readOnly_ = true;
    bool inTransaction_ = false;
    bool sqlServer_ = false;
    Dialeto dialeto_ = Dialeto::Sqlite;
    bool perdida_ = false;
    bool timedOut_ = false;
    QString opened_;
    int queryTimeout_ = 30;
    sqlite3_stmt* transactionStatements_[3] = {};  // prepared once, on the open handle
};

// Parses a connection string into the Qt driver and its settings, without connecting.
// ADO SQL Server providers (SQLOLEDB, SQLNCLI*, MSOLEDBSQL*) go through ODBC with FreeTDS
// (env LISTAPRESENCA_ODBC_DRIVER names another driver), TDS 7.4 and UTF-8 pinned; every
// ODBC connection gets a login timeout (default 5 s, "Connect Timeout" changes it) and a command
// timeout (default 30 s, "Command Timeout" changes it). The SQLite ODBC driver gets the command
// timeout as its own busy timeout and never creates a missing file. A postgresql:// URL maps to
// QPSQL, with the same default login timeout (connect_timeout).
struct PLATFORM_EXPORT ConnectionSettings {
    QString driver;        // QSQLITE, QODBC or QPSQL
    QString databaseName;  // SQLite file, or the ODBC connection string as QODBC takes it
    QString connectOptions;
    // Qt's PostgreSQL driver (a postgresql:// URL) takes the server and the login apart.
    QString hostName, userName, password;
    int port = -1;
    bool sqlServer = false;
    int loginTimeout = 0;                                              // seconds, ODBC only
    int queryTimeout = 30;                                             // seconds
    static ConnectionSettings parse(const QString& connectionString);  // throws Error
};

}  // namespace platform
