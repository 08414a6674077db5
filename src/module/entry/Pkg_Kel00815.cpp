#include <pkg_kel00815/ListaPresenca.h>

#include "platform/Registro.h"
#include "pos/sale/TillCopyRefresh.h"

// Package glue. The module's own units keep no state of their own: loading creates no screen,
// opens no connection and reads no file; every call of the entry releases what it created.

namespace {

struct UnidadePacote {
    const char* nome;
    void (*inicializa)();
    void (*finaliza)();
};

void nada() {}

// The data service's units end with the till's copy and kept sales written whole: a host that
// unloads at once would cut them short (nothing is lost; the next connect does them again).
void finalizaServidor() {
    if (!Hul00002::waitForTillSync(15000))
        qCWarning(platform::lcBanco).noquote() << QStringLiteral(
            "A cópia do caixa não terminou de ser atualizada; será refeita na "
            "próxima conexão.");
}

// Units in initialisation order, the module's own last.
const UnidadePacote unidades[] = {
    {"Srv_Kel00815", &nada, &finalizaServidor},
    {"Cli_Kel00815", &nada, &nada},
};

struct TabelaPacote {
    int quantidade;
    const UnidadePacote* unidades;
};

const TabelaPacote tabela{static_cast<int>(sizeof(unidades) / sizeof(unidades[0])), unidades};

bool inicializado = false;

}  // namespace

extern "C" void Initialize() {
    if (inicializado) return;
    for (const auto& u : unidades) u.inicializa();
    inicializado = true;
}

extern "C" void Finalize() {
    if (!inicializado) return;
    for (int i = tabela.quantidade - 1; i >= 0; --i) unidades[i].finaliza();
    inicializado = false;
}

extern "C" const void* GetPackageInfoTable() {
    return &tabela;
}
