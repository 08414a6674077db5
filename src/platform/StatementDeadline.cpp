#include "platform/StatementDeadline.h"

#include <QSqlQuery>
#include <QSqlResult>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

#include <sql.h>
#include <sqlext.h>

#include "platform/Platform.h"
#include "platform/TADOConnection.h"

namespace platform {

namespace {

constexpr int kWatchdogGraceSeconds = 2;

// One thread for the whole process, sleeping until the next armed deadline.
class Watchdog {
public:
    using Clock = std::chrono::steady_clock;

    static Watchdog& instance() {
        static Watchdog w;
        return w;
    }

    std::uint64_t arm(Clock::time_point when, std::function<void()> action) {
        std::lock_guard lock(mutex_);
        if (!thread_.joinable()) thread_ = std::thread([this] { run(); });
        const std::uint64_t id = ++serial_;
        armed_.emplace(id, Entry{when, std::move(action)});
        changed_.notify_all();
        return id;
    }

    // Once it returns, the action is neither running nor will it run: actions run under the
    // same lock.
    void disarm(std::uint64_t id) {
        std::lock_guard lock(mutex_);
        armed_.erase(id);
    }

    ~Watchdog() {
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
        }
        changed_.notify_all();
        if (thread_.joinable()) thread_.join();
    }

private:
    struct Entry {
        Clock::time_point when;
        std::function<void()> action;
    };

    void run() {
        std::unique_lock lock(mutex_);
        while (!stop_) {
            auto next = armed_.end();
            for (auto it = armed_.begin(); it != armed_.end(); ++it)
                if (next == armed_.end() || it->second.when < next->second.when) next = it;
            if (next == armed_.end()) {
                changed_.wait(lock);
            } else if (const Clock::time_point when = next->second.when; Clock::now() < when) {
                changed_.wait_until(lock, when);  // a copy: a disarm may erase the entry meanwhile
            } else {
                const std::function<void()> action = std::move(next->second.action);
                armed_.erase(next);
                action();
            }
        }
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    std::map<std::uint64_t, Entry> armed_;
    std::uint64_t serial_ = 0;
    bool stop_ = false;
    std::thread thread_;
};

QByteArray sqlStateOf(void* statement) {
    SQLCHAR state[6] = {};
    SQLINTEGER native = 0;
    SQLSMALLINT length = 0;
    const SQLRETURN r =
        SQLGetDiagRec(SQL_HANDLE_STMT, statement, 1, state, &native, nullptr, 0, &length);
    return SQL_SUCCEEDED(r) ? QByteArray(reinterpret_cast<const char*>(state)) : QByteArray();
}

}  // namespace

StatementDeadline::StatementDeadline(const TADOConnection& conexao, const QSqlQuery& query)
    : seconds_(conexao.queryTimeout()), cancelled_(std::make_shared<std::atomic<bool>>(false)) {
    if (conexao.driverName() != QLatin1String("QODBC") || !query.result()) return;
    const QVariant h = query.result()->handle();
    if (!h.isValid() || qstrcmp(h.typeName(), "void*") != 0) return;
    arm(*static_cast<void* const*>(h.constData()));
}

StatementDeadline::StatementDeadline(const TADOConnection& conexao, void* odbcStatement)
    : seconds_(conexao.queryTimeout()), cancelled_(std::make_shared<std::atomic<bool>>(false)) {
    arm(odbcStatement);
}

void StatementDeadline::arm(void* odbcStatement) {
    statement_ = odbcStatement;
    if (!statement_) return;
    SQLSetStmtAttr(statement_, SQL_ATTR_QUERY_TIMEOUT,
                   reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(seconds_)), 0);
    // SQLCancel is the one ODBC call meant to come from another thread while a statement runs.
    watch_ = Watchdog::instance().arm(
        Watchdog::Clock::now() + std::chrono::seconds(seconds_ + kWatchdogGraceSeconds),
        [statement = statement_, cancelled = cancelled_] {
            *cancelled = true;
            SQLCancel(statement);
        });
}

StatementDeadline::~StatementDeadline() {
    if (watch_) Watchdog::instance().disarm(watch_);
}

bool StatementDeadline::expired() const {
    if (*cancelled_) return true;
    if (!statement_) return false;
    // Drivers answer in the ODBC 3 states or in their ODBC 2 spelling (FreeTDS: S1T00); the
    // PostgreSQL driver hands the timeout to the server, which cancels with its own state.
    const QByteArray state = sqlStateOf(statement_);
    return state == "HYT00" || state == "HYT01" || state == "S1T00" || state == "57014";
}

DatabaseError StatementDeadline::timeoutError() const {
    return DatabaseError(QStringLiteral("Tempo esgotado: o banco de dados não respondeu em %1.")
                             .arg(seconds_ == 1 ? QStringLiteral("1 segundo")
                                                : QStringLiteral("%1 segundos").arg(seconds_)),
                         QString());
}

}  // namespace platform
