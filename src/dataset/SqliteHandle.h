#pragma once

#include "dataset/dataset_export.h"

#include <QSqlError>

class QSqlDatabase;
class QSqlDriver;
struct sqlite3;

namespace dataset {

// Whether the library that implements `driver` runs the very SQLite library this process links
// (the same object in memory, not merely the same version). Only then is its handle ours to
// pass to sqlite3_* calls: a plugin carrying a copy of its own keeps its own state.
DATASET_EXPORT bool driverSharesOurSqlite(const QSqlDriver& driver);

// The SQLite connection under an open QSQLITE connection, when it may be used directly;
// nullptr otherwise (then the connection is read through QSqlQuery).
DATASET_EXPORT sqlite3* sqliteHandle(const QSqlDatabase& db);

// SQLite's last failure on `db` as Qt's plugin words one: `what` failed, SQLite's message, and
// its extended code (what classificaFalha reads).
DATASET_EXPORT QSqlError sqliteError(sqlite3* db, const QString& what,
                                     QSqlError::ErrorType type = QSqlError::StatementError);

}  // namespace dataset
