// Every wait on a database ends: a connect a few seconds past the login timeout, whatever the
// server does. These tests run apart under a short CTest timeout: a broken deadline hangs them.

#include <QDeadlineTimer>
#include <QThread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "common/FakeTdsServer.h"
#include "common/OdbcDrivers.h"
#include "platform/ConnectionText_p.h"
#include "platform/Platform.h"
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
