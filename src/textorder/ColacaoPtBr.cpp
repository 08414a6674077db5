#include "textorder/ColacaoPtBr.h"

#include <sqlite3.h>

#include "textorder/OrdemPtBr.h"

namespace textorder {

namespace {

void precisaColacao(void*, sqlite3* db, int, const char* nome) {
    if (nome && sqlite3_stricmp(nome, kColacaoPtBr) == 0) registraPtBr(db);
}

}  // namespace

int registraPtBr(sqlite3* db) {
    return sqlite3_create_collation_v2(db, kColacaoPtBr, SQLITE_UTF8, nullptr,
                                       &textorder_compara_ptbr, nullptr);
}

void registraPtBrSobDemanda(sqlite3* db) {
    sqlite3_collation_needed(db, nullptr, &precisaColacao);
}

}  // namespace textorder
