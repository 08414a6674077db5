// The list of the attendance screen: loading it with its four counters, the footer views, and
// emptying it from the header.

#include <QElapsedTimer>

#include "dataset/ClientDataSet.h"
#include "module/dataservice/TrdmListaPresenca.h"
#include "module/screen/TLabel.h"
#include "module/screen/TfrmPresenca.h"
#include "module/screen/TfrmPresenca_p.h"
#include "platform/Registro.h"
#include "platform/TMessages.h"

namespace Cli_Kel00815 {

using namespace tela;

namespace {

// What each counter counts, and what each footer view shows. The pending view shows every
// consumer without a sale, inactive ones included; its counter counts only the active ones.
const QString kContaPendentes =
    kDiaDaVenda + QStringLiteral(" IS NULL AND ") + kSituacao + QStringLiteral(" = '1'");
const QString kInativos = kSituacao + QStringLiteral(" = '2'");
const QString kComVenda = kDiaDaVenda + QStringLiteral(" IS NOT NULL");
const QString kVistaPendentes = kDiaDaVenda + QStringLiteral(" IS NULL");

}  // namespace

void TfrmPresenca::aplicaFiltro(const QString& texto) {
    cdsPresenca->setFiltered(false);
    cdsPresenca->setFilter(texto);
    cdsPresenca->setFiltered(true);
}

bool TfrmPresenca::cabecalhoCompleto() {
    const struct {
        platform::TBlendedButton* valor;
        const char* chave;
    } passos[] = {{blbCentCusto, "CCUSTODEVEINF"},
                  {blbServico, "SERV_INF"},
                  {blbDtVenda, "DATA_INF"},
                  {blbHrVenda, "HORA_INF"}};
    for (const auto& p : passos) {
        if (!platform::EmptyString(p.valor->caption())) continue;
        platform::Mensagem(msgPadrao->Msg(QString::fromLatin1(p.chave)), QString(),
                           QStringLiteral("N"), QStringLiteral("N"), 2, QString(), stIdEsquema, 0,
                           nullptr);
        return false;
    }
    return true;
}

void TfrmPresenca::blbCarregarClick(QObject* sender) {
    Q_UNUSED(sender);
    if (!cabecalhoCompleto()) return;
    QElapsedTimer relogio;
    relogio.start();
    const QVariant r = Srv_Kel00815::getPresenca(
        stCdFilial, stCdCaixa, stCdCCusClie,
        cdsServico->fieldByName(QStringLiteral("CDSERVFILI")).asString(), blbDtVenda->caption());
    dataset::DataPacket pacote;
    try {
        pacote = platform::MensagemMetodo(r, true, 0, QStringLiteral("getPresenca"), kUnidade,
                                          QString(), stIdEsquema);
    } catch (const platform::EAbort&) {
        // The rows, marks and view of an earlier request must not stay under a header that may
        // now name another cost centre, service or date: what remains is an empty list.
        naoVendidos_.motivos.clear();
        carregaLista(dataset::DataPacket());
        qCWarning(platform::lcTela).noquote()
            << QStringLiteral("Carga falhou: centro de custo %1, serviço %2, data %3")
                   .arg(stCdCCusClie, stCdServFili, blbDtVenda->caption());
        throw;
    }
    // Flags of a sale run belong to its header; the reload after the run keeps them.
    if (!naoVendidosDoCabecalho()) naoVendidos_.motivos.clear();
    carregaLista(pacote);
    qCInfo(platform::lcTela).noquote()
        << QStringLiteral(
               "Carga: centro de custo %1, serviço %2, data %3, hora %4: %5 "
               "consumidores em %6 ms")
               .arg(stCdCCusClie, stCdServFili, blbDtVenda->caption(), blbHrVenda->caption())
               .arg(cdsPresenca->recordCount())
               .arg(relogio.elapsed());
}

void TfrmPresenca::carregaLista(const dataset::DataPacket& pacote) {
    // One summary to the grid once the packet is in and the counters are counted.
    cdsPresenca->disableControls();
    try {
        cdsPresenca->setData(pacote);  // a packet without columns leaves the list empty
        listaCarregada_ = !pacote.fields().isEmpty();
        const struct {
            const QString& filtro;
            TLabel* contador;
        } contadores[] = {{kContaPendentes, lblTotPendente},
                          {kInativos, lblTotInativo},
                          {kComVenda, lblTotVenda}};
        for (const auto& c : contadores) {
            aplicaFiltro(c.filtro);
            c.contador->setCaption(QString::number(cdsPresenca->recordCount()));
        }
        cdsPresenca->setFiltered(false);
        lblTotGeral->setCaption(QString::number(cdsPresenca->recordCount()));
    } catch (...) {
        cdsPresenca->enableControls();
        throw;
    }
    cdsPresenca->enableControls();
    blbGeraVenda->setEnabled(!cdsPresenca->isEmpty());
    mostraNaoVendidos();
}

void TfrmPresenca::dxfPendenteClick(QObject* sender) {
    Q_UNUSED(sender);
    aplicaFiltro(kVistaPendentes);
}

void TfrmPresenca::dxfInativosClick(QObject* sender) {
    Q_UNUSED(sender);
    aplicaFiltro(kInativos);
}

void TfrmPresenca::dxfNcadsClick(QObject* sender) {
    Q_UNUSED(sender);
    aplicaFiltro(kComVenda);
}

void TfrmPresenca::dxfTotalGeralClick(QObject* sender) {
    Q_UNUSED(sender);
    cdsPresenca->setFiltered(false);
}

// Going back to the header empties the list; counters, view and "Gerar Vendas" stay. A list
// never loaded has nothing to empty.
void TfrmPresenca::panCabecEnter(QObject* sender) {
    Q_UNUSED(sender);
    if (cdsPresenca->active()) cdsPresenca->emptyDataSet();
    listaCarregada_ = false;
    esqueceNaoVendidos();
}

void TfrmPresenca::panCabecClick(QObject* sender) {
    Q_UNUSED(sender);
    if (cdsPresenca->active()) cdsPresenca->emptyDataSet();
    listaCarregada_ = false;
    esqueceNaoVendidos();
}

}  // namespace Cli_Kel00815
