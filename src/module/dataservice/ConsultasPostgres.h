#pragma once

// The six statements in PostgreSQL's dialect: the same rows in the same order as the other
// two, with the same markers as the Transact-SQL texts.

#include <pkg_kel00815/kel00815_export.h>

namespace Srv_Kel00815::consultas {

extern KEL00815_TEST_EXPORT const char* const kCentroCustoPostgres;
extern KEL00815_TEST_EXPORT const char* const kServicoPostgres;
extern KEL00815_TEST_EXPORT const char* const kPresencaPostgres;
extern KEL00815_TEST_EXPORT const char* const kProdServPostgres;
extern KEL00815_TEST_EXPORT const char* const kTipoConsPostgres;
extern KEL00815_TEST_EXPORT const char* const kProdServTConsPostgres;
extern KEL00815_TEST_EXPORT const char* const kCentroCustoCrachaPostgres;

}  // namespace Srv_Kel00815::consultas
