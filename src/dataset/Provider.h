#pragma once

#include "dataset/DataPacket.h"

class QSqlQuery;

namespace dataset {

// Turns an open query into a packet: reads every row forward, then finishes the query so the
// connection holds no pending result. Declared persistent fields, when given, fix the columns
// (matched by name, in their order); otherwise the query's record describes them.
DATASET_EXPORT DataPacket packetFromQuery(QSqlQuery& query, const FieldDefs& persistent = {});

}  // namespace dataset
