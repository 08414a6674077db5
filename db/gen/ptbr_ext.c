/* Loadable SQLite extension registering the collation PTBR:
 *   sqlite3 demo.db  then  .load ./libptbr
 *   ODBC: Driver=SQLite3;Database=demo.db;LoadExt=/path/libptbr.so */
#include <sqlite3ext.h>
SQLITE_EXTENSION_INIT1

#include "ptbr_sqlite_export.h"

int textorder_compara_ptbr(void* ctx, int na, const void* a, int nb, const void* b);

PTBR_SQLITE_EXPORT int sqlite3_ptbr_init(sqlite3* db, char** erro,
                                         const sqlite3_api_routines* api) {
    (void)erro;
    SQLITE_EXTENSION_INIT2(api);
    return sqlite3_create_collation_v2(db, "PTBR", SQLITE_UTF8, 0, textorder_compara_ptbr, 0);
}
