#pragma once

// A stand-in SQL Server for connection tests, on 127.0.0.1 at a port the system picks. It speaks
// just enough of the wire protocol for the FreeTDS ODBC driver:
//   RecordLogin  answers the pre-login, decodes the login packet, then hangs up;
//   Trickle      answers the pre-login with a packet that never ends: a byte now and then;
//   Lock         completes the login and answers every request, except those whose text holds
//                `lockMarker`: these get no answer (as behind a lock) until the client cancels.
// It stops after `maxSeconds` or `maxConnections`, whichever comes first, or at stop().

#include <QList>
#include <QString>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>

class FakeTdsServer {
public:
    enum class Mode { RecordLogin, Trickle, Lock };
    struct Login {
        QString user;
        QString password;
        QString database;
    };

    explicit FakeTdsServer(Mode mode, int maxSeconds = 60, int maxConnections = 8,
                           QString lockMarker = QStringLiteral("TABELA_TRAVADA"));
    ~FakeTdsServer();
    FakeTdsServer(const FakeTdsServer&) = delete;
    FakeTdsServer& operator=(const FakeTdsServer&) = delete;

    std::uint16_t port() const { return port_; }
    void stop();  // hangs up every connection and returns when the server has ended
    QList<Login> logins() const;
    int cancels() const { return cancels_; }

private:
    void run();
    void serve(int fd);
    bool expired() const;

    Mode mode_;
    int maxConnections_;
    QString lockMarker_;
    std::int64_t deadlineMs_;
    int listen_ = -1;
    std::uint16_t port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<int> cancels_{0};
    mutable std::mutex mutex_;
    QList<Login> logins_;
    std::thread thread_;
};
