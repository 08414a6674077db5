#pragma once

// The till's own copy of what it reads from its server, for the days the server is away: one
// SQLite file with the till's tables (as db/schema_sqlite.sql), holding the branch's and the
// till's rows, plus
//   COPIA     one row: the branch, the till and the server it is a copy of, and when it was
//             taken (DTHRCOPIA, local time 'yyyy-MM-ddTHH:mm:ss');
//   CONFLITO  the sales kept on the till that the server refused at a catch-up, with why.
// The outbox is the copy's VENDA rows numbered from kOutboxFirstSale up (with their ITEMVENDA
// and CUPOMVENDA rows): sales made on the copy while the server was away. A refresh keeps
// them; a sale leaves the outbox only after the server has committed it, by taking the
// server's NRSEQVENDA in the copy, or by moving to CONFLITO.

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <optional>

#include "hul00002/hul00002_export.h"

namespace platform {
class TADOConnection;
}

namespace Hul00002 {

// A server's own sequence never gets this far, so the sales made on the copy never meet the
// sales copied from the server.
inline constexpr qint64 kOutboxFirstSale = 1'000'000'000'000LL;
inline constexpr int kTillCopyVersion = 1;

struct HUL00002_EXPORT TillCopyInfo {
    QString branch;
    QString till;
    // Which server it is a copy of: a digest of the connection string without its password.
    QString server;
    QDateTime takenAt;
    int version = kTillCopyVersion;
};

// Where the copy lives: LISTAPRESENCA_COPIA, else conexao.ini's `Copia=`, else
// `copia-caixa.db` in the state folder (beside the support log).
HUL00002_EXPORT QString tillCopyPath();

// The integrator may forbid sales while the server is away: `Offline=Nao` in conexao.ini or
// LISTAPRESENCA_OFFLINE=nao. The till then reads from its copy but sells nothing.
HUL00002_EXPORT bool offlineSalesAllowed();
HUL00002_EXPORT QString offlineSalesRefusedText();

// The digest TillCopyInfo::server holds for a connection string (never its password).
HUL00002_EXPORT QString serverDigest(const QString& connectionString);

// The statements that make an empty copy: the till's tables and indexes, VENDA numbered by
// AUTOINCREMENT from kOutboxFirstSale, COPIA and CONFLITO. The caller writes COPIA's row.
HUL00002_EXPORT QStringList tillCopySchema();

// Runs tillCopySchema() and writes COPIA's row, in one transaction, on an open read-write
// SQLite connection to an empty file. Raises DatabaseError.
HUL00002_EXPORT void createTillCopy(platform::TADOConnection& c, const TillCopyInfo& info);

// COPIA's row of an open copy; nullopt when the file is no copy (no such table, no row, or
// another version).
HUL00002_EXPORT std::optional<TillCopyInfo> readTillCopyInfo(platform::TADOConnection& c);

}  // namespace Hul00002
