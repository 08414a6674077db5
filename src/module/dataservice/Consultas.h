#pragma once

// The fixed statements of the six queries, in both dialects. Only bound values change.

#include <QString>

#include <optional>
#include <utility>

#include <pkg_kel00815/kel00815_export.h>

namespace Srv_Kel00815::consultas {

extern KEL00815_TEST_EXPORT const char* const kCentroCustoTSql;
extern KEL00815_TEST_EXPORT const char* const kServicoTSql;
extern KEL00815_TEST_EXPORT const char* const kPresencaTSql;
extern KEL00815_TEST_EXPORT const char* const kProdServTSql;
extern KEL00815_TEST_EXPORT const char* const kTipoConsTSql;
extern KEL00815_TEST_EXPORT const char* const kProdServTConsTSql;
// The cost centre of the branch that a badge read outside the loaded list belongs to.
extern KEL00815_TEST_EXPORT const char* const kCentroCustoCrachaTSql;

extern KEL00815_TEST_EXPORT const char* const kCentroCustoSqlite;
extern KEL00815_TEST_EXPORT const char* const kServicoSqlite;
extern KEL00815_TEST_EXPORT const char* const kPresencaSqlite;  // a seek of the sales per consumer
extern KEL00815_TEST_EXPORT const char* const kPresencaDiaSqlite;    // the day's sales read once
extern KEL00815_TEST_EXPORT const char* const kPresencaListaSqlite;  // the list's length
extern KEL00815_TEST_EXPORT const char* const
    kPresencaVolumeSqlite;  // 1 when the day's sales read less
extern KEL00815_TEST_EXPORT const char* const kProdServSqlite;
extern KEL00815_TEST_EXPORT const char* const kTipoConsSqlite;
extern KEL00815_TEST_EXPORT const char* const kProdServTConsSqlite;
extern KEL00815_TEST_EXPORT const char* const kCentroCustoCrachaSqlite;

// The SQLite texts' :P_DIAINI and :P_DIAFIM for a "dd/mm/yyyy" day: the "yyyy-mm-dd" texts of
// that day and the next, between which its DTHRREALCONCONS texts sort. Nothing for a text that
// is no day of the calendar (the server's text comparison matches no sale then), nor for
// 31/12/9999, whose next day has no such text.
KEL00815_TEST_EXPORT std::optional<std::pair<QString, QString>> limitesDoDia(const QString& dia);

}  // namespace Srv_Kel00815::consultas
