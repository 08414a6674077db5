#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "platform/platform_export.h"

class QSqlQuery;

namespace platform {

class DatabaseError;
class TADOConnection;

// Bounds one statement by its connection's command timeout ("Command Timeout=" in the
// connection string, 30 s by default). On ODBC it sets the driver's query timeout, and a
// watchdog thread cancels the statement when it runs two seconds past it (a driver that ignores
// the timeout). SQLite through Qt's own driver needs neither: its busy timeout ends a wait for
// a lock. Arm it after prepare and before exec, and keep it until the rows are read; it
// disarms when it goes out of scope.
class PLATFORM_EXPORT StatementDeadline {
public:
    StatementDeadline(const TADOConnection& conexao, const QSqlQuery& query);
    // A statement of the caller's own on the connection's ODBC handle (SQLHSTMT).
    StatementDeadline(const TADOConnection& conexao, void* odbcStatement);
    ~StatementDeadline();
    StatementDeadline(const StatementDeadline&) = delete;
    StatementDeadline& operator=(const StatementDeadline&) = delete;

    // True when the statement ran out of time: the driver timed it out or the watchdog
    // cancelled it.
    bool expired() const;
    // What the operator reads then.
    DatabaseError timeoutError() const;

private:
    void arm(void* odbcStatement);

    void* statement_ = nullptr;  // the ODBC statement handle; null when nothing is armed
    int seconds_ = 0;
    std::uint64_t watch_ = 0;
    std::shared_ptr<std::atomic<bool>> cancelled_;
};

}  // namespace platform
