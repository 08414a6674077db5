#include <pkg_kel00815/ListaPresenca.h>

#include <QString>

#include "module/Cli_Kel00815.h"
#include "module/dataservice/TrdmListaPresenca.h"
#include "module/screen/TfrmPresenca.h"
#include "platform/Platform.h"
#include "platform/Registro.h"

namespace Cli_Kel00815 {

TfrmPresenca* frmPresenca = nullptr;
bool boSelTudo = false;

namespace {

// A second call while a screen is open would drop that screen and free the data module under it.
bool emExecucao = false;

// The entry's own messages, always with the scheme "002". The host must never see an error, not
// even one raised by the dialog itself.
void mostraErro(const QString& texto, int tipo) {
    try {
        platform::Mensagem(texto, QString(), QStringLiteral("N"), QStringLiteral("N"), tipo,
                           QString(), QStringLiteral("002"), 0, nullptr);
    } catch (...) {
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
        mostraErro(QStringLiteral("A Lista de Presença já está aberta."), 2);
        return;
    }
    emExecucao = true;
    platform::IniciaRegistro();
    try {
        frmPresenca = nullptr;
        frmPresenca = new TfrmPresenca();
        frmPresenca->InicializaForm(params, high);
        qCInfo(platform::lcTela).noquote()
            << QStringLiteral("Lista de Presença aberta: filial %1, caixa %2, esquema %3")
                   .arg(frmPresenca->stCdFilial, frmPresenca->stCdCaixa, frmPresenca->stIdEsquema);
        frmPresenca->exec();
        qCInfo(platform::lcTela) << "Lista de Presença fechada";
    } catch (const platform::EAbort&) {
        // already shown to the operator
    } catch (...) {
        // The connection may have failed before becoming the session: name it to the rule too.
        mostraErro(
            platform::TextoDaExcecao(
                std::current_exception(),
                QStringLiteral("Erro desconhecido ao abrir a Lista de Presença."),
                Srv_Kel00815::rdmListaPresenca ? Srv_Kel00815::rdmListaPresenca->adcListaPresenca
                                               : nullptr),
            3);
    }
    liberaTudo();
    emExecucao = false;
}

}  // namespace Cli_Kel00815

extern "C" void ListaPresenca(const QVariant* params, int high, QVariant* result) {
    QVariant ignorado;
    Cli_Kel00815::ListaPresenca(params, high, result ? *result : ignorado);
}
