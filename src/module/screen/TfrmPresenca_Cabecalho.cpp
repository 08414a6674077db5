// The header steps of the attendance screen: the four steps (cost centre, service, sale date, sale
// hour), the red frame of the current step, and the clearing of the whole header.

#include <QDate>

#include "dataset/ClientDataSet.h"
#include "module/dataservice/TrdmListaPresenca.h"
#include "module/screen/TLabel.h"
#include "module/screen/TfrmPresenca.h"
#include "module/screen/TfrmPresenca_p.h"
#include "platform/Platform.h"
#include "platform/TMessages.h"

#include <hul00002/Hul00002.h>

namespace Cli_Kel00815 {

using namespace tela;

namespace {

// "HHMM" as "HH:MM", character by character.
QString horaComDoisPontos(const QString& hhmm) {
    return hhmm.left(2) + QLatin1Char(':') + hhmm.mid(2);
}

// An hour text as the integer of its digits (0730 is 730). Anything else ends the handler with
// a conversion error for the general error display.
int horaComoInteiro(const QString& texto) {
    bool ok = false;
    const int v = texto.trimmed().toInt(&ok, 10);
    if (!ok)
        throw platform::Error(texto.trimmed().isEmpty()
                                  ? QStringLiteral("Nenhuma hora foi informada.")
                                  : QStringLiteral("'%1' não é uma hora válida.").arg(texto));
    return v;
}

int horaDoServico(const QString& texto) {
    if (texto.trimmed().isEmpty())
        throw platform::Error(
            QStringLiteral("O horário do serviço não está definido. Escolha o serviço antes de "
                           "informar a hora da venda."));
    return horaComoInteiro(texto);
}

}  // namespace

void TfrmPresenca::mensagem(const QString& texto, const QString& esquema) {
    platform::Mensagem(texto, QString(), QStringLiteral("N"), QStringLiteral("N"), 3, QString(),
                       esquema, 0, nullptr);
}

void TfrmPresenca::VoltaCor() {
    for (auto* f : {blbFundo1, blbFundo2, blbFundo3, blbFundo4}) f->setColor(cor(0xFFFFFF));
}

void TfrmPresenca::MudaCor() {
    VoltaCor();
    platform::TBlendedButton* const quadros[] = {blbFundo1, blbFundo2, blbFundo3, blbFundo4};
    if (inPasso >= 1 && inPasso <= 4) quadros[inPasso - 1]->setColor(cor(0x0000FF));
}

void TfrmPresenca::LimpaDados() {
    // Emptied whenever open: rows hidden by a footer view must not outlive the header either.
    if (cdsPresenca->active()) cdsPresenca->emptyDataSet();
    listaCarregada_ = false;
    esqueceNaoVendidos();
    for (auto* b : {blbCentCusto, blbServico, blbDtVenda, blbHrVenda}) b->setCaption(QString());
    blbGeraVenda->setEnabled(false);
    for (auto* l : {lblTotPendente, lblTotInativo, lblTotVenda, lblTotGeral})
        l->setCaption(QStringLiteral("00"));
    inPasso = 1;
    MudaCor();
}

void TfrmPresenca::dxfCentCustoClick(QObject* sender) {
    Q_UNUSED(sender);
    try {
        const QVariant r = Srv_Kel00815::getCentroCusto();
        cdsPesqCentCusto->setData(platform::MensagemMetodo(
            r, true, 0, QStringLiteral("GetCentroCusto"), kUnidade, QString(), stIdEsquema));
        if (cdsPesqCentCusto->isEmpty()) {
            LimpaDados();
            mensagem(msgPadrao->Msg(QStringLiteral("CCUSNPAR")), stIdEsquema);
            return;
        }
        cdsPesqCentCusto->setFilter(QString());
        if (Hul00002::Pesquisa(*cdsPesqCentCusto, 0, QStringLiteral("N"), inCor1, inCor2, inCor3,
                               inCor5, 0)) {
            blbCentCusto->setCaption(
                cdsPesqCentCusto->fieldByName(QStringLiteral("CDCCUSCLIE")).asString());
            stCdCCusClie = blbCentCusto->caption();
            inPasso = 2;
            MudaCor();
        } else {
            LimpaDados();
        }
        cdsPesqCentCusto->close();
    } catch (const platform::EAbort&) {
        // MensagemMetodo has shown the failure already
    } catch (...) {
        mensagem(platform::TextoDaExcecao(std::current_exception(),
                                          QStringLiteral("Erro desconhecido.")),
                 stIdEsquema);
    }
}

void TfrmPresenca::dxfServicoClick(QObject* sender) {
    Q_UNUSED(sender);
    try {
        const QVariant r = Srv_Kel00815::getServico(stCdFilial, stCdCaixa);
        cdsServico->setData(platform::MensagemMetodo(r, true, 0, QStringLiteral("getServico"),
                                                     kUnidade, QString(), stIdEsquema));
        if (cdsServico->isEmpty()) {
            LimpaDados();
            mensagem(msgPadrao->Msg(QStringLiteral("SERVNPAR")), stIdEsquema);
            return;
        }
        if (!Hul00002::Pesquisa(*cdsServico, 0, QStringLiteral("N"), inCor1, inCor2, inCor3, inCor5,
                                0)) {
            LimpaDados();
            return;
        }
        stHrIniSerTur = cdsServico->fieldByName(QStringLiteral("HRINISERTUR")).asString();
        stHrFinSerTur = cdsServico->fieldByName(QStringLiteral("HRFINSERTUR")).asString();
        stCdServFili = cdsServico->fieldByName(QStringLiteral("CDSERVFILI")).asString();
        blbServico->setCaption(cdsServico->fieldByName(QStringLiteral("NMSERVICO")).asString() +
                               QStringLiteral(" - ") + horaComDoisPontos(stHrIniSerTur) +
                               QStringLiteral(" às ") + horaComDoisPontos(stHrFinSerTur));
        // Today and the service's start are proposed; the date becomes the current step.
        blbDtVenda->setCaption(platform::Hoje().toString(kFormatoData));
        blbHrVenda->setCaption(
            horaComDoisPontos(cdsServico->fieldByName(QStringLiteral("HRINISERTUR")).asString()));
        inPasso = 3;
        MudaCor();
    } catch (const platform::EAbort&) {
        // MensagemMetodo has shown the failure already
    } catch (...) {
        mensagem(platform::TextoDaExcecao(std::current_exception(),
                                          QStringLiteral("Erro desconhecido.")),
                 stIdEsquema);
    }
}

// Catches nothing: a text that does not read as a date goes to the general error display.
void TfrmPresenca::dxfDtVendaClick(QObject* sender) {
    Q_UNUSED(sender);
    const QString anterior = blbDtVenda->caption();
    blbDtVenda->setCaption(Hul00002::TouchCalendar(0, inCor1, inCor2));
    if (platform::EmptyString(blbDtVenda->caption())) {
        LimpaDados();
        return;
    }
    const QDate data = leData(blbDtVenda->caption());
    const QDate hoje = leData(platform::Hoje().toString(kFormatoData));
    if (data > hoje) {
        mensagem(msgPadrao->Msg(QStringLiteral("DATA_MAIOR")), stIdEsquema);
        LimpaDados();
        return;
    }
    // Always "dd/mm/yyyy": the query matches the day of a sale by this very text, and a
    // picker's "15/3/2024" would make every consumer served that day look unsold.
    const QString escolhida = data.toString(kFormatoData);
    blbDtVenda->setCaption(escolhida);
    inPasso = 4;
    MudaCor();
    // The list belongs to its date: another date empties it, the same one keeps it.
    if (escolhida != anterior && cdsPresenca->active()) {
        cdsPresenca->emptyDataSet();
        listaCarregada_ = false;
        esqueceNaoVendidos();
    }
}

// Catches nothing: an entry or a service hour that is not a number goes to the general error
// display.
void TfrmPresenca::dxfhrVendaClick(QObject* sender) {
    Q_UNUSED(sender);
    QString entrada;
    if (!Hul00002::TecladoNumerico(entrada, msgPadrao->Msg(QStringLiteral("HORAVENDA")),
                                   msgPadrao->Msg(QStringLiteral("INFORME_HORA")),
                                   msgPadrao->Msg(QStringLiteral("HOR_DEV_INF")), 20, 0, 0, 0, 0,
                                   0)) {
        LimpaDados();
        return;
    }
    const QString esquemaHora = QStringLiteral("002");
    const int ini = horaDoServico(stHrIniSerTur);
    const int fin = horaDoServico(stHrFinSerTur);
    // Both bounds belong to the service; a service may run across midnight. Equal bounds
    // mean no window at all (and the entry is not even read as a number).
    bool passa = true;
    if (ini < fin) {
        const int h = horaComoInteiro(entrada);
        passa = ini <= h && h <= fin;
    } else if (ini > fin) {
        const int h = horaComoInteiro(entrada);
        passa = h >= ini || h <= fin;
    }
    if (!passa) {
        mensagem(msgPadrao->Msg(QStringLiteral("HORA_INV2")), esquemaHora);
        return;
    }
    switch (entrada.size()) {
        case 0:
            break;  // the caption stays as it was
        case 1:
            blbHrVenda->setCaption(platform::Ajusta(entrada, 2) + QStringLiteral(":00"));
            break;
        case 2:
            blbHrVenda->setCaption(entrada + QStringLiteral(":00"));
            break;
        case 3:
            blbHrVenda->setCaption(platform::Ajusta(entrada.left(1), 2) + QLatin1Char(':') +
                                   entrada.mid(1, 2));
            break;
        case 4:
            blbHrVenda->setCaption(entrada.left(2) + QLatin1Char(':') + entrada.mid(2, 2));
            break;
        default:
            mensagem(msgPadrao->Msg(QStringLiteral("HORA_INV")), esquemaHora);
            blbHrVenda->setCaption(QString());
            break;
    }
    inPasso = 4;
    MudaCor();
}

}  // namespace Cli_Kel00815
