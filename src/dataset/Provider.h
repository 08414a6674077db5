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

}  // namespace dataset
