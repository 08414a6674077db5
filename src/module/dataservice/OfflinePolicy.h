#pragma once

// What the data module does when the till's server is away: it reads the till's copy instead
// (read-only), says so through platform::OfflineState, tries the server again in the
// background at each load, and goes back to it at the next request once it answered. After
// every connect to the server, the catch-up and the refresh of the copy start off the
// user-interface thread. A till whose connection names no server (a SQLite file) is always
// online and none of this runs.

#include <QString>

#include <exception>

#include <pkg_kel00815/kel00815_export.h>

namespace platform {
class TADOConnection;
}

namespace Srv_Kel00815 {

class KEL00815_TEST_EXPORT OfflinePolicy {
public:
    // Installs itself on the connection's failed-connect hook.
    explicit OfflinePolicy(platform::TADOConnection& c);
    ~OfflinePolicy();

    // After every connect: online, the job starts; on the copy, the state says from when.
    void afterConnect();
    // Before each request: back to the server when the background attempt reached it; a load
    // on the copy starts such an attempt.
    void beforeRequest(bool load);
    // A request failed: when it lost the server and the connect now lands on the copy, true
    // (run the request again there).
    bool afterFailure(std::exception_ptr e);

    bool onCopy() const;

    // Waits for the background attempt to end, at most `ms`; true when none runs (tests).
    static bool waitForServerAttempt(int ms);

private:
    QString onConnectFailed(std::exception_ptr e);

    platform::TADOConnection& c_;
    QString server_;  // the string of the last attempt at the server
};

// The till's branch and till, as the screen reads them from the parameter file.
KEL00815_TEST_EXPORT void branchAndTill(QString* branch, QString* till);

// Whether a connection string names a server (not a SQLite file).
KEL00815_TEST_EXPORT bool namesAServer(const QString& connectionString);

// The catch-up and refresh on demand (the banner's tap): starts the job, and on the copy an
// attempt at the server.
KEL00815_TEST_EXPORT void syncTillNow();

}  // namespace Srv_Kel00815
