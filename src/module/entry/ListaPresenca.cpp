#include "pkg_kel00815/ListaPresenca.h"

#include <QString>

#include <exception>

#include "dataservice/TrdmListaPresenca.h"
#include "entry/Cli_Kel00815.h"
#include "platform/Platform.h"
#include "screen/TfrmPresenca.h"

namespace Cli_Kel00815 {

TfrmPresenca* frmPresenca = nullptr;
bool boSelTudo = false;

namespace {

// A second call while a screen is open would drop that screen and free the data module under it.
bool emExecucao = false;

QString textoDaExcecao(std::exception_ptr e) {
    try {
        std::rethrow_exception(e);
    } catch (const std::exception& ex) {
        return QString::fromUtf8(ex.what());
    } catch (...) {
        return QStringLiteral("Erro desconhecido ao abrir a Lista de Presença.");
    }
}

void liberaTudo() {
    TfrmPresenca* tela = frmPresenca;
    frmPresenca = nullptr;
    delete tela;
    Srv_Kel00815::TrdmListaPresenca* dm = Srv_Kel00815::rdmListaPresenca;
    Srv_Kel00815::rdmListaPresenca = nullptr;
    delete dm;
}

}  // namespace

void ListaPresenca(const QVariant* params, int high, QVariant& result) {
    Q_UNUSED(result);  // the host's variant is neither read nor written
    if (emExecucao) {
        platform::Mensagem(QStringLiteral("A Lista de Presença já está aberta."), QString(),
                           QStringLiteral("N"), QStringLiteral("N"), 2, QString(),
                           QStringLiteral("002"), 0, nullptr);
        return;
    }
    emExecucao = true;
    try {
        frmPresenca = nullptr;
        frmPresenca = new TfrmPresenca();
        frmPresenca->InicializaForm(params, high);
        frmPresenca->exec();
    } catch (const platform::EAbort&) {
        // already shown to the operator
    } catch (...) {
        const QString texto = textoDaExcecao(std::current_exception());
        try {
            platform::Mensagem(texto, QString(), QStringLiteral("N"), QStringLiteral("N"), 3,
                               QString(), QStringLiteral("002"), 0, nullptr);
        } catch (...) {
            // the host must never see an error, not even from the dialog itself
        }
    }
    liberaTudo();
    emExecucao = false;
}

}  // namespace Cli_Kel00815

extern "C" void ListaPresenca(const QVariant* params, int high, QVariant* result) {
    QVariant ignorado;
    Cli_Kel00815::ListaPresenca(params, high, result ? *result : ignorado);
}
