#pragma once

// Order of names as a Brazilian operator expects, and as the server's usual collations give it:
// letters compare without regard to case or accent (Ângela among the A's), ties are broken by
// accent, then by case, then by bytes, so the order is total (an index may use it).
//
// SQLite knows it as the collation "PTBR". Whoever opens a database whose statements or indexes
// name it must register it first; the loadable extension (libptbr) does it for the sqlite3 shell
// (".load libptbr") and for the SQLite ODBC driver (LoadExt=.../libptbr.so).

#include <cstddef>

struct sqlite3;

namespace colacao {

inline constexpr const char* kNomePtBr = "PTBR";

// Compares two UTF-8 texts; SQLite's collation callback signature.
int comparaPtBr(void* contexto, int tamA, const void* a, int tamB, const void* b);

// Registers "PTBR" on the connection now (fails with SQLITE_BUSY while statements run).
int registraPtBr(sqlite3* db);

// Makes SQLite register "PTBR" itself the first time a statement needs it. Cheap and harmless
// to repeat, also while statements are pending.
void registraPtBrSobDemanda(sqlite3* db);

}  // namespace colacao
