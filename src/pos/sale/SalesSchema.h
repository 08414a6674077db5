#pragma once

#include <hul00002/Hul00002.h>

namespace platform {
class TADOConnection;
}

namespace Hul00002 {

// Version of the sale tables this package writes (SQLite's user_version).
inline constexpr int kSalesSchemaVersion = 2;

// Brings the sale tables of an open read-write connection up to date. A SQLite database made
// by an earlier version gains the consumption day, the receipts, the till numbering and the
// till's closings (version 2), and keeps every row it had; it is also switched to write-ahead
// logging, so that a sale's commit costs one flush. A SQL Server database must already have them
// (db/schema_sqlserver.sql), a PostgreSQL database too (db/schema_postgresql.sql). Raises
// platform::Error worded for the operator.
HUL00002_EXPORT void ensureSalesSchema(platform::TADOConnection& conexao);

}  // namespace Hul00002
