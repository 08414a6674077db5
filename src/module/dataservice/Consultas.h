#pragma once

// The fixed statements of the six queries, in both dialects. Only bound values change.
namespace Srv_Kel00815::consultas {

extern const char* const kCentroCustoTSql;
extern const char* const kServicoTSql;
extern const char* const kPresencaTSql;
extern const char* const kProdServTSql;
extern const char* const kTipoConsTSql;
extern const char* const kProdServTConsTSql;

extern const char* const kCentroCustoSqlite;
extern const char* const kServicoSqlite;
extern const char* const kPresencaSqlite;        // a seek of the sales per consumer
extern const char* const kPresencaDiaSqlite;     // the day's sales read once
extern const char* const kPresencaListaSqlite;   // the list's length
extern const char* const kPresencaVolumeSqlite;  // 1 when the day's sales read less
extern const char* const kProdServSqlite;
extern const char* const kTipoConsSqlite;
extern const char* const kProdServTConsSqlite;

}  // namespace Srv_Kel00815::consultas
