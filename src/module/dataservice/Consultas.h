#pragma once

// The fixed statements of the six queries, in both dialects. Only bound values change.

#include <pkg_kel00815/kel00815_export.h>

namespace Srv_Kel00815::consultas {

extern KEL00815_TEST_EXPORT const char* const kCentroCustoTSql;
extern KEL00815_TEST_EXPORT const char* const kServicoTSql;
extern KEL00815_TEST_EXPORT const char* const kPresencaTSql;
extern KEL00815_TEST_EXPORT const char* const kProdServTSql;
extern KEL00815_TEST_EXPORT const char* const kTipoConsTSql;
extern KEL00815_TEST_EXPORT const char* const kProdServTConsTSql;

extern KEL00815_TEST_EXPORT const char* const kCentroCustoSqlite;
extern KEL00815_TEST_EXPORT const char* const kServicoSqlite;
extern KEL00815_TEST_EXPORT const char* const kPresencaSqlite;
extern KEL00815_TEST_EXPORT const char* const kProdServSqlite;
extern KEL00815_TEST_EXPORT const char* const kTipoConsSqlite;
extern KEL00815_TEST_EXPORT const char* const kProdServTConsSqlite;

}  // namespace Srv_Kel00815::consultas
