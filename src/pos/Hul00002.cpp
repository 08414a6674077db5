#include <hul00002/Hul00002.h>

#include "platform/Platform.h"
#include "pos/fiscal/FiscalMenu.h"
#include "pos/sale/SaleGenerator.h"
#include "pos/touch/CalendarDialog.h"
#include "pos/touch/KeypadDialog.h"
#include "pos/touch/PickListDialog.h"
#include "pos/touch/WaitingWindow.h"

namespace Hul00002 {

namespace {
[[noreturn]] void naoInstalado(const char* operacao) {
    throw platform::Error(
        QStringLiteral("Serviço de ponto de venda não instalado: %1").arg(QLatin1String(operacao)));
}
}  // namespace

TPesquisa Pesquisa;
TTouchCalendar TouchCalendar;
TTecladoNumerico TecladoNumerico;
TAtivaProcesso AtivaProcesso;
TDesativaProcesso DesativaProcesso;
TGeraCupomVenda GeraCupomVenda;
TRelFiscais RelFiscais;

void ResetToUnassigned() {
    Pesquisa = [](dataset::ClientDataSet&, int, const QString&, int, int, int, int, int) -> bool {
        naoInstalado("Pesquisa");
    };
    TouchCalendar = [](int, int, int) -> QString { naoInstalado("TouchCalendar"); };
    TecladoNumerico = [](QString&, const QString&, const QString&, const QString&, int, int, int,
                         int, int, int) -> bool { naoInstalado("TecladoNumerico"); };
    AtivaProcesso = [](QWidget*, const QString&, int, int) { naoInstalado("AtivaProcesso"); };
    DesativaProcesso = [] { naoInstalado("DesativaProcesso"); };
    GeraCupomVenda = [](const QVariant&, int, const QVariantList&, QVariant&) {
        naoInstalado("GeraCupomVenda");
    };
    RelFiscais = [] { naoInstalado("RelFiscais"); };
}

void InstallDefaults() {
    Pesquisa = detail::pesquisaPadrao;
    TouchCalendar = detail::touchCalendarPadrao;
    TecladoNumerico = detail::tecladoNumericoPadrao;
    AtivaProcesso = detail::ativaProcessoPadrao;
    DesativaProcesso = detail::desativaProcessoPadrao;
    RelFiscais = detail::relFiscaisPadrao;
    GeraCupomVenda = detail::geraCupomVendaPadrao;
}

namespace {
// Every variable raises "not installed" from the moment the package is loaded.
const bool g_inicial = (ResetToUnassigned(), true);
}  // namespace

}  // namespace Hul00002
