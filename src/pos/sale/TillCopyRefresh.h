#pragma once

// Keeping the till's copy fresh: checking that a copy is whole and this till's, setting aside
// one that is not (never deleting it: it may hold sales the server has not seen), and writing
// it again from the server. The job a process runs after a connect or a sale run (the
// catch-up of the sales kept on the till, then the refresh) runs here too, in a worker thread
// of its own, one at a time.

#include <QString>

#include <functional>
#include <optional>

#include "hul00002/hul00002_export.h"
#include "pos/sale/TillCopy.h"

namespace Hul00002 {

enum class TillCopyState {
    Valid,
    Missing,
    Damaged,      // not a database, or quick_check finds it broken
    NotACopy,     // no COPIA row, or another version
    OtherTill,    // a copy of another branch or till
    OtherServer,  // a copy taken from another server
};

struct HUL00002_EXPORT TillCopyCheck {
    TillCopyState state = TillCopyState::Missing;
    std::optional<TillCopyInfo> info;
    // The operator's words for what is wrong (empty when valid).
    QString reason() const;
};

// Reads the copy at `path`, never writing it. An empty `server` digest accepts any server.
HUL00002_EXPORT TillCopyCheck checkTillCopy(const QString& path, const QString& branch,
                                            const QString& till, const QString& server);

// Renames the copy, with its journal files, to `<name>-posta-de-lado-<yyyyMMdd-HHmmss>.db`
// beside it, and says so in the support log with `why`. Returns the new path (empty when
// there was nothing to move). Raises platform::Error when it cannot be moved.
HUL00002_EXPORT QString setTillCopyAside(const QString& path, const QString& why);

struct HUL00002_EXPORT TillCopyRefreshResult {
    qint64 rows = 0;       // rows written
    int skippedSales = 0;  // server sales that met a sale kept on the till
    QString setAsidePath;  // where an unusable copy went, if one did
};

// Writes the copy of branch/till from the server at `server` (a connection string): a valid
// copy is rewritten in one transaction, keeping the sales kept on the till and CONFLITO; any
// other is set aside and a new one made beside it and renamed over it whole. Raises
// platform::DatabaseError (the copy then stays as it was).
HUL00002_EXPORT TillCopyRefreshResult refreshTillCopy(const QString& server, const QString& branch,
                                                      const QString& till,
                                                      const QString& path = tillCopyPath());

// What runs before every refresh of the job: the catch-up of the sales kept on the till.
// By default sendKeptSales; null: nothing runs (tests). Set it before the first job starts.
using CatchUpStep = std::function<void(const QString& server, const QString& copyPath)>;
HUL00002_EXPORT void setCatchUpStep(CatchUpStep step);

// Starts the job (catch-up step, then refresh) off the caller's thread; returns at once. A
// job asked for while one runs runs once after it, with the last arguments given.
HUL00002_EXPORT void startTillSync(const QString& server, const QString& branch,
                                   const QString& till);
// Waits until no job runs or is waiting, at most `ms`; true when idle.
HUL00002_EXPORT bool waitForTillSync(int ms);

}  // namespace Hul00002
