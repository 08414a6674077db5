// Every wait on a database ends: a connect a few seconds past the login timeout, a statement at
// the command timeout, whatever the server or the driver does. These tests run apart under a
// short CTest timeout: a broken deadline hangs them.

#include <QDeadlineTimer>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QThread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "common/FakeTdsServer.h"
#include "common/OdbcDrivers.h"
#include "common/TillFiles.h"
#include "platform/ConnectionText_p.h"
#include "platform/Platform.h"
#include "platform/StatementDeadline.h"
#include "platform/TADOConnection.h"

using namespace platform;

namespace {

// A connect given up at its deadline ends in the background once its server has gone.
bool abandonedConnectsEnd() {
    const QDeadlineTimer limite(30000);
    while (detail::abandonedConnects() > 0 && !limite.hasExpired()) QThread::msleep(20);
    return detail::abandonedConnects() == 0;
}

// Connects, expecting the connection error, and returns its text.
QString connectError(TADOConnection& c) {
    try {
        c.setConnected(true);
    } catch (const DatabaseError& e) {
        return e.message();
    }
    ADD_FAILURE() << "connected";
    return {};
}

// A SQLite file with a table T of one row, made through Qt's own driver.
QString sqliteFile(const QTemporaryDir& dir) {
    const QString path = dir.filePath(QStringLiteral("t.db"));
    teste::makeSqlite(path, {QStringLiteral("CREATE TABLE T (A INTEGER)"),
                             QStringLiteral("INSERT INTO T VALUES (1)")});
    return path;
}

}  // namespace

TEST(ConnectDeadline, ATricklingServerEndsTheConnectWithTheConnectionError) {
    if (!odbcDriverInstalled("FreeTDS")) GTEST_SKIP() << "FreeTDS ODBC driver not installed";
    // The server would go on for longer than the CTest timeout allows.
    FakeTdsServer servidor(FakeTdsServer::Mode::Trickle, 300, 4);
    TADOConnection c;
    bool depois = false;
    c.AfterConnect = [&depois](QObject*) { depois = true; };
    c.setConnectionString(QStringLiteral("Provider=SQLOLEDB;Data Source=127.0.0.1,%1;User ID=sa;"
                                         "Password=Segr3do;Connect Timeout=1")
                              .arg(servidor.port()));
    const QString texto = connectError(c);
    EXPECT_TRUE(texto.contains(QStringLiteral("não respondeu em 4 segundos")))
        << texto.toStdString();
    EXPECT_FALSE(c.connected());
    EXPECT_FALSE(depois);
    servidor.stop();
    EXPECT_TRUE(abandonedConnectsEnd());
    // The next connect is a new attempt, with its own deadline.
    FakeTdsServer outro(FakeTdsServer::Mode::Trickle, 300, 4);
    c.setConnectionString(QStringLiteral("Driver=FreeTDS;Server=127.0.0.1;Port=%1;UID=sa;"
                                         "Connect Timeout=1")
                              .arg(outro.port()));
    EXPECT_FALSE(connectError(c).isEmpty());
    outro.stop();
    EXPECT_TRUE(abandonedConnectsEnd());
}

TEST(ConnectDeadline, ASilentServerFailsAfterTheLoginTimeout) {
    if (!odbcDriverInstalled("FreeTDS")) GTEST_SKIP() << "FreeTDS ODBC driver not installed";
    // A socket that listens but never answers: the connect lands in the backlog and waits.
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ASSERT_EQ(::listen(fd, 4), 0);
    socklen_t len = sizeof addr;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    TADOConnection c;
    c.setConnectionString(QStringLiteral("Provider=SQLOLEDB;Data Source=127.0.0.1,%1;User ID=sa;"
                                         "Password=Segr3do;Connect Timeout=2")
                              .arg(ntohs(addr.sin_port)));
    const QString texto = connectError(c);
    EXPECT_FALSE(texto.contains(QStringLiteral("Segr3do")));
    ::close(fd);
    EXPECT_TRUE(abandonedConnectsEnd());
}

TEST(QueryDeadline, AStatementBehindALockOnSqlServerEndsAtTheCommandTimeout) {
    if (!odbcDriverInstalled("FreeTDS")) GTEST_SKIP() << "FreeTDS ODBC driver not installed";
    FakeTdsServer servidor(FakeTdsServer::Mode::Lock, 300, 2);
    TADOConnection c;
    c.setConnectionString(
        QStringLiteral("Driver=FreeTDS;Server=127.0.0.1;Port=%1;UID=sa;PWD=x;Command Timeout=1")
            .arg(servidor.port()));
    c.setConnected(true);
    EXPECT_EQ(c.queryTimeout(), 1);
    {
        QSqlQuery q(c.database());
        q.setForwardOnly(true);
        ASSERT_TRUE(q.prepare(QStringLiteral("SELECT A FROM TABELA_TRAVADA WHERE A = ?")));
        q.addBindValue(1);
        const StatementDeadline prazo(c, q);
        EXPECT_FALSE(q.exec());
        EXPECT_TRUE(prazo.expired());
        EXPECT_EQ(prazo.timeoutError().message(),
                  QStringLiteral("Tempo esgotado: o banco de dados não respondeu em 1 segundo."));
    }
    EXPECT_GE(servidor.cancels(), 1);
    // The cancel leaves the connection usable.
    QSqlQuery outra(c.database());
    ASSERT_TRUE(outra.prepare(QStringLiteral("UPDATE X SET A = ?")));
    outra.addBindValue(2);
    const StatementDeadline prazo(c, outra);
    EXPECT_TRUE(outra.exec()) << outra.lastError().text().toStdString();
    EXPECT_FALSE(prazo.expired());
}

// The SQLite ODBC driver ignores the statement's query timeout: the watchdog cancels it.
TEST(QueryDeadline, ADriverThatIgnoresTheTimeoutIsCancelledByTheWatchdog) {
    if (!odbcDriverInstalled("SQLite3")) GTEST_SKIP() << "SQLite3 ODBC driver not installed";
    QTemporaryDir dir;
    TADOConnection c;
    c.setConnectionString(
        QStringLiteral("Driver=SQLite3;Database=%1;Command Timeout=1").arg(sqliteFile(dir)));
    c.setConnected(true);
    QSqlQuery q(c.database());
    q.setForwardOnly(true);
    ASSERT_TRUE(
        q.prepare(QStringLiteral("WITH RECURSIVE N(X) AS (SELECT ? UNION ALL SELECT X + 1 "
                                 "FROM N) SELECT COUNT(*) FROM N")));
    q.addBindValue(1);
    const StatementDeadline prazo(c, q);
    EXPECT_FALSE(q.exec());
    EXPECT_TRUE(prazo.expired());
}

// The same driver waits for a lock as long as its own busy timeout: the command timeout's.
TEST(QueryDeadline, ALockOnSqliteThroughOdbcEndsAtTheCommandTimeout) {
    if (!odbcDriverInstalled("SQLite3")) GTEST_SKIP() << "SQLite3 ODBC driver not installed";
    QTemporaryDir dir;
    const QString arquivo = sqliteFile(dir);
    {
        QSqlDatabase trava =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("trava"));
        trava.setDatabaseName(arquivo);
        ASSERT_TRUE(trava.open());
        ASSERT_TRUE(QSqlQuery(trava).exec(QStringLiteral("BEGIN EXCLUSIVE")));
        TADOConnection c;
        c.setConnectionString(
            QStringLiteral("Driver=SQLite3;Database=%1;Command Timeout=1").arg(arquivo));
        c.setConnected(true);
        // The driver meets the lock when it prepares, or else when it runs the statement.
        QSqlQuery q(c.database());
        bool ok = q.prepare(QStringLiteral("SELECT A FROM T WHERE A > ?"));
        if (ok) {
            q.addBindValue(0);
            const StatementDeadline prazo(c, q);
            ok = q.exec();
        }
        EXPECT_FALSE(ok);
        EXPECT_TRUE(q.lastError().text().contains(QStringLiteral("locked")))
            << q.lastError().text().toStdString();
        QSqlQuery(trava).exec(QStringLiteral("ROLLBACK"));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("trava"));
}
