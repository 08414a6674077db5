// Sale generation from the attendance screen: the marked consumers handed to the sale generator,
// after the operator's confirmation and the product check, and the list reloaded in every case.

#include <QCloseEvent>
#include <QDebug>
#include <QRegularExpression>
#include <QTime>

#include "dataset/ClientDataSet.h"
#include "module/dataservice/TrdmListaPresenca.h"
#include "module/screen/TLabel.h"
#include "module/screen/TfrmPresenca.h"
#include "module/screen/TfrmPresenca_p.h"
#include "platform/Registro.h"
#include "platform/TMessages.h"

#include <hul00002/Hul00002.h>

namespace Cli_Kel00815 {

using namespace tela;

namespace {

// The hand-over fields taken as they are from the attendance row.
const char* const kCamposDaLinha[] = {"CDFILIAL",     "CDCAIXA",   "CDIDCONSUMID", "CDCONSUMIDOR",
                                      "NMCONSUMIDOR", "CDCLIENTE", "CDTIPOCONS"};

bool horaValida(const QString& texto) {
    static const QRegularExpression hhmm(QStringLiteral("^([01][0-9]|2[0-3]):[0-5][0-9]$"));
    return hhmm.match(texto).hasMatch();
}

}  // namespace

void TfrmPresenca::avisa(const QString& chave) {
    platform::Mensagem(msgPadrao->Msg(chave), QString(), QStringLiteral("N"), QStringLiteral("N"),
                       2, QString(), stIdEsquema, 0, nullptr);
}

// A header that cannot be sold stops the run before anything is handed over: the hour step can
// leave an empty hour after a too long entry, and the date caption any text.
bool TfrmPresenca::cabecalhoVendavel() {
    if (!cabecalhoCompleto()) return false;
    if (QDate::fromString(blbDtVenda->caption(), kFormatoData).isValid() == false) {
        avisa(QStringLiteral("DATA_INF"));
        return false;
    }
    if (!horaValida(blbHrVenda->caption())) {
        avisa(QStringLiteral("HORA_INV"));
        return false;
    }
    return true;
}

void TfrmPresenca::blbGeraVendaClick(QObject* sender) {
    Q_UNUSED(sender);
    std::exception_ptr erro;
    try {
        geraVendas();
    } catch (...) {
        erro = std::current_exception();
    }
    // The final steps run once on every way out, each even when the one before it raised, so
    // that the screen can always be closed again and the list shows who was served.
    try {
        Hul00002::DesativaProcesso();
    } catch (...) {
        // Removing a waiting window that may never have been shown must not stop the rest.
        qWarning().noquote() << "DesativaProcesso:"
                             << platform::TextoDaExcecao(std::current_exception(), QString());
    }
    lblSair->setEnabled(true);
    try {
        blbCarregarClick(blbCarregar);
    } catch (...) {
        if (!erro) erro = std::current_exception();
    }
    if (erro) std::rethrow_exception(erro);
}

void TfrmPresenca::geraVendas() {
    lblSair->setEnabled(false);
    if (!cabecalhoVendavel()) return;

    aplicaFiltro(QStringLiteral("IDCHECK = 'S'"));
    cdsPresenca->first();
    cdsPresencaAux->close();
    cdsPresencaAux->createDataSet();
    preencheEntrega();
    if (cdsPresencaAux->isEmpty()) {
        avisa(QStringLiteral("GERNOTPER"));
        return;
    }
    if (!platform::Mensagem(msgPadrao->Msg(QStringLiteral("CONFGERACAO")), QString(),
                            QStringLiteral("N"), QStringLiteral("S"), 1, QString(), stIdEsquema, 0,
                            nullptr))
        return;
    if (faltamProdutos()) {
        avisa(QStringLiteral("GERNOTPER2"));
        return;
    }
    qCInfo(platform::lcVenda).noquote()
        << QStringLiteral(
               "Geração de vendas: %1 consumidores entregues (serviço %2, data %3, "
               "hora %4)")
               .arg(cdsPresencaAux->recordCount())
               .arg(stCdServFili, blbDtVenda->caption(), blbHrVenda->caption());
    Hul00002::AtivaProcesso(this, msgPadrao->Msg(QStringLiteral("IMPRIMINDO")), inCor1, inCor2);
    const QVariantList opcoes(16);  // sixteen empty elements, indices 0 to 15
    QVariant resultado;             // the reload shows the outcome; nothing here reads it
    Hul00002::GeraCupomVenda(cdsPresencaAux->dataVariant(), 0, opcoes, resultado);
}

// One hand-over record per marked row, date and hour read from the header for each record.
void TfrmPresenca::preencheEntrega() {
    dataset::Field marca = cdsPresenca->fieldByName(QStringLiteral("IDCHECK"));
    for (; !cdsPresenca->eof(); cdsPresenca->next()) {
        if (marca.asString() != QLatin1String("S")) continue;
        cdsPresencaAux->insert();
        for (const char* campo : kCamposDaLinha) {
            const QString nome = QString::fromLatin1(campo);
            cdsPresencaAux->fieldByName(nome).setAsString(
                cdsPresenca->fieldByName(nome).asString());
        }
        cdsPresencaAux->fieldByName(QStringLiteral("DATAREAL"))
            .setAsDateTime(QDateTime(leData(blbDtVenda->caption()), QTime(0, 0)));
        const QString hora = blbHrVenda->caption();
        cdsPresencaAux->fieldByName(QStringLiteral("HORAREAL"))
            .setAsString(hora.mid(0, 2) + hora.mid(3, 2));
        cdsPresencaAux->fieldByName(QStringLiteral("NRSEQLOGCAT")).setAsString(QString());
        cdsPresencaAux->fieldByName(QStringLiteral("NRSEQARQIMP")).setAsString(QString());
        cdsPresencaAux->post();
    }
}

// Products for the service as a whole, or else for every consumption type of the list (not
// only the marked consumers'); every type is asked even after one is found lacking.
bool TfrmPresenca::faltamProdutos() {
    cdsProdServ->setData(platform::MensagemMetodo(
        Srv_Kel00815::getProdServ(stCdFilial, stCdCaixa, stCdServFili), true, 0,
        QStringLiteral("getProdServ"), kUnidade, QString(), stIdEsquema));
    if (!cdsProdServ->isEmpty()) return false;

    cdsTipoCons->setData(platform::MensagemMetodo(
        Srv_Kel00815::getTipoCons(stCdFilial, stCdCaixa, stCdCCusClie,
                                  cdsServico->fieldByName(QStringLiteral("CDSERVFILI")).asString(),
                                  QDateTime(leData(blbDtVenda->caption()), QTime(0, 0))),
        true, 0, QStringLiteral("getTipoCons"), kUnidade, QString(), stIdEsquema));
    bool falta = false;
    for (cdsTipoCons->first(); !cdsTipoCons->eof(); cdsTipoCons->next()) {
        cdsProdServTCons->setData(platform::MensagemMetodo(
            Srv_Kel00815::getProdServTCons(
                stCdFilial, stCdCaixa, stCdServFili,
                cdsTipoCons->fieldByName(QStringLiteral("CDTIPOCONS")).asString()),
            true, 0, QStringLiteral("getProdServTCons"), kUnidade, QString(), stIdEsquema));
        if (cdsProdServTCons->isEmpty()) falta = true;
    }
    return falta;
}

// While "X" is disabled (a sale run) nothing closes the screen, the window manager included.
void TfrmPresenca::closeEvent(QCloseEvent* e) {
    if (!lblSair->isEnabled()) {
        e->ignore();
        return;
    }
    QDialog::closeEvent(e);
}

void TfrmPresenca::reject() {
    if (!lblSair->isEnabled()) return;
    QDialog::reject();
}

}  // namespace Cli_Kel00815
