#pragma once

// One fixed statement of the point-of-sale package on a till connection: prepared once, run
// with bound values only, and every run bounded by the connection's statement deadline (the
// command timeout, and the watchdog past it), as the data service's reads are. Failures are
// raised as platform::DatabaseError with the database's own words; a run that ran out of time
// raises the deadline's text instead. On SQLite, when Qt's plugin runs our SQLite, the statement
// runs through SQLite's own API on Qt's handle: the same connection and transaction, without
// Qt's per-value work, which is most of a sale's time there next to SQLite's.

#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QVariant>
#include <QVariantList>

#include <memory>
#include <optional>

#include <hul00002/hul00002_export.h>

namespace platform {
class StatementDeadline;
class TADOConnection;
}  // namespace platform

namespace Hul00002 {

class HUL00002_TEST_EXPORT Statement {
public:
    Statement(platform::TADOConnection& connection, const QString& sql);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    // Runs with these values; false, with the error kept, when the database refuses. A run
    // that ran out of time raises.
    bool tryRun(const QVariantList& values);
    // Runs, and raises when the database refuses.
    Statement& run(const QVariantList& values);

    bool next();
    QVariant value(int i) const;
    int rowsAffected() const;
    // On SQLite's own API, the rowid of the row this run inserted last; nothing on Qt's road.
    std::optional<qint64> insertedRowid() const;
    QSqlError lastError() const;
    // A finished read holds no snapshot and no deadline: a later write must see what others
    // committed.
    void finish();

private:
    struct Lite;

    platform::TADOConnection& connection_;
    QSqlQuery q_;
    std::unique_ptr<platform::StatementDeadline> deadline_;
    std::unique_ptr<Lite> lite_;
};

// The database's own words for a failure, after `prefix` when given, as a DatabaseError.
[[noreturn]] HUL00002_TEST_EXPORT void raiseDatabaseError(const QSqlError& e,
                                                          const QString& prefix = QString());

}  // namespace Hul00002
