#include <hul00002/Hul00002.h>

#include <QApplication>
#include <QTimer>

#include "platform/Platform.h"
#include "pos/fiscal/FiscalMenu.h"
#include "pos/sale/SaleGenerator.h"
#include "pos/touch/CalendarDialog.h"
#include "pos/touch/KeypadDialog.h"
#include "pos/touch/PickListDialog.h"
#include "pos/touch/WaitingWindow.h"

namespace Hul00002 {

namespace {
// The system bell in a pattern per tone; a new tone stops what is left of the last one.
void bipePadrao(int tom) {
    static int geracao = 0;
    const int esta = ++geracao;
    const int vezes = tom <= 4 ? qMax(1, tom) : tom - 3;
    const int intervalo = tom <= 4 ? 90 : 300;
    for (int i = 0; i < vezes; ++i)
        QTimer::singleShot(i * intervalo, qApp, [esta] {
            if (esta == geracao) QApplication::beep();
        });
}

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
TBipe Bipe;

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
    Bipe = [](int) { naoInstalado("Bipe"); };
}

void InstallDefaults() {
    Pesquisa = detail::pesquisaPadrao;
    TouchCalendar = detail::touchCalendarPadrao;
    TecladoNumerico = detail::tecladoNumericoPadrao;
    AtivaProcesso = detail::ativaProcessoPadrao;
    DesativaProcesso = detail::desativaProcessoPadrao;
    RelFiscais = detail::relFiscaisPadrao;
    GeraCupomVenda = detail::geraCupomVendaPadrao;
    Bipe = bipePadrao;
}

namespace {
// Every variable raises "not installed" from the moment the package is loaded.
const bool g_inicial = (ResetToUnassigned(), true);
}  // namespace

}  // namespace Hul00002
