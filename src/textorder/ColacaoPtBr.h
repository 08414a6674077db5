#pragma once

// The Brazilian text order as SQLite's collation "PTBR".
//
// Whoever opens a database whose statements or indexes name PTBR registers it on that
// connection. The loadable extension (libptbr) does it for the sqlite3 shell (".load libptbr")
// and for the SQLite ODBC driver (LoadExt=.../libptbr.so).

#include "textorder/textorder_export.h"

struct sqlite3;

namespace textorder {

inline constexpr const char* kColacaoPtBr = "PTBR";

// Registers PTBR on the connection now (fails with SQLITE_BUSY while statements run).
TEXTORDER_EXPORT int registraPtBr(sqlite3* db);

// Makes SQLite register PTBR on this connection the first time a statement needs it. Cheap and
// harmless to repeat, also while statements are pending.
TEXTORDER_EXPORT void registraPtBrSobDemanda(sqlite3* db);

}  // namespace textorder
