#pragma once

#include "dataset/DataPacket.h"

class QSqlQuery;
struct sqlite3_stmt;

namespace dataset {

// The provider: turns a query's result into a packet. Both roads below describe columns with
// one type map and store text through one decoder, so a result reads alike whichever road
// it takes. Declared persistent fields, when given, fix the columns (matched by name, in
// their order); otherwise the result describes them.

// An open QSqlQuery: reads every row forward, then finishes the query so the connection
// holds no pending result.
DATASET_EXPORT DataPacket packetFromQuery(QSqlQuery& query, const FieldDefs& persistent = {});

// A prepared and bound SQLite statement: steps it to its end, taking every value straight
// from SQLite's buffers, then resets it. The caller keeps the statement. `expectedRows`, when
// the caller knows about how many rows come, sizes the packet at once.
DATASET_EXPORT DataPacket packetFromStatement(sqlite3_stmt* statement,
                                              const FieldDefs& persistent = {},
                                              int expectedRows = 0);

// A prepared and executed ODBC statement (an SQLHSTMT): fetches its rows in blocks into bound
// column arrays, then closes its cursor and unbinds. A value wider than its array runs the
// statement again (SQLExecute) with wider ones. The caller keeps the statement.
DATASET_EXPORT DataPacket packetFromOdbc(void* statement, const FieldDefs& persistent = {},
                                         int expectedRows = 0);

// The driver's diagnostics of an ODBC handle (SQL_HANDLE_STMT or SQL_HANDLE_DBC), as one
// text; `nativeCode`, when given, gets the driver's number of the last one.
DATASET_EXPORT QString odbcDiagnostics(short handleType, void* handle,
                                       QString* nativeCode = nullptr);

}  // namespace dataset
