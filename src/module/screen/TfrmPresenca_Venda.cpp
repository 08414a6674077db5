// Sale generation from the attendance screen: the marked consumers handed to the sale generator,
// after the operator's confirmation and the product check, and the list reloaded in every case.

#include <QCloseEvent>
#include <QDebug>
#include <QLabel>
#include <QRegularExpression>
#include <QTime>

#include "dataset/ClientDataSet.h"
#include "module/dataservice/TrdmListaPresenca.h"
#include "module/screen/TLabel.h"
#include "module/screen/TfrmPresenca.h"
#include "module/screen/TfrmPresenca_p.h"
#include "platform/Registro.h"
#include "platform/TMessages.h"
#include "pos/sale/HandOver.h"
#include "pos/sale/Receipt.h"
#include "pos/sale/SaleGenerator.h"
#include "pos/sale/ServiceRule.h"

#include <hul00002/Hul00002.h>

namespace Cli_Kel00815 {

using namespace tela;

namespace {

QString campo(Hul00002::HandOverField f) {
    return Hul00002::handOverFieldName(f);
}

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
    bool passouDoCabecalho = true;
    try {
        passouDoCabecalho = geraVendas();
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
    // A run refused at the header changed nothing, and the reload would only say the same
    // notice again: the list, its view and its marks stay as they were.
    if (!passouDoCabecalho) return;
    try {
        blbCarregarClick(blbCarregar);
    } catch (...) {
        if (!erro) erro = std::current_exception();
    }
    if (erro) std::rethrow_exception(erro);
}

bool TfrmPresenca::geraVendas() {
    lblSair->setEnabled(false);
    if (!cabecalhoVendavel() || !horaDoServicoEscolhido()) return false;

    const QString vistaAntes = cdsPresenca->filter();
    const bool filtradaAntes = cdsPresenca->filtered();
    aplicaFiltro(kMarca + QStringLiteral(" = '") + kSim + QStringLiteral("'"));
    cdsPresenca->first();
    cdsPresencaAux->close();
    cdsPresencaAux->createDataSet();
    preencheEntrega();
    if (cdsPresencaAux->isEmpty()) {
        avisa(QStringLiteral("GERNOTPER"));
        return true;
    }
    mostraResumoDaVenda();
    const bool confirmou = platform::Mensagem(msgPadrao->Msg(QStringLiteral("CONFGERACAO")),
                                              QString(), QStringLiteral("N"), QStringLiteral("S"),
                                              1, QString(), stIdEsquema, 0, nullptr);
    if (lblResumoVenda_) lblResumoVenda_->hide();
    if (!confirmou) return true;
    if (faltamProdutos()) {
        avisa(QStringLiteral("GERNOTPER2"));
        return true;
    }
    qCInfo(platform::lcVenda).noquote()
        << QStringLiteral(
               "Geração de vendas: %1 consumidores entregues (serviço %2, data %3, "
               "hora %4)")
               .arg(cdsPresencaAux->recordCount())
               .arg(stCdServFili, blbDtVenda->caption(), blbHrVenda->caption());
    Hul00002::AtivaProcesso(this, msgPadrao->Msg(QStringLiteral("IMPRIMINDO")), inCor1, inCor2);
    const QVariantList opcoes(16);  // sixteen empty elements, indices 0 to 15
    QVariant resultado;
    // Flags of an earlier run would be wrong whatever this one does, even if it raises.
    esqueceNaoVendidos();
    Hul00002::GeraCupomVenda(cdsPresencaAux->dataVariant(), 0, opcoes, resultado);
    // Refused whole (the server away and this till may not sell without it): as at the header,
    // the list keeps its view and its marks.
    if (resultado.toMap().value(QStringLiteral("refused")).toBool()) {
        cdsPresenca->setFiltered(false);
        cdsPresenca->setFilter(vistaAntes);
        cdsPresenca->setFiltered(filtradaAntes);
        return false;
    }
    guardaNaoVendidos(resultado);
    return true;
}

// The reload shows who was sold; the result says who was not, and why. A host's own generator
// may give back nothing, or something else: then nobody is flagged.
void TfrmPresenca::guardaNaoVendidos(const QVariant& resultado) {
    naoVendidos_.centroCusto = stCdCCusClie;
    naoVendidos_.servico = stCdServFili;
    naoVendidos_.data = blbDtVenda->caption();
    naoVendidos_.motivos.clear();
    if (resultado.typeId() != QMetaType::QVariantMap) return;
    const QVariant lista = resultado.toMap().value(QStringLiteral("outcomes"));
    if (lista.typeId() != QMetaType::QVariantList) return;
    for (const QVariant& v : lista.toList()) {
        if (v.typeId() != QMetaType::QVariantMap) continue;
        const QVariantMap o = v.toMap();
        if (o.value(QStringLiteral("status")).toString() != QLatin1String("notSold")) continue;
        const QString consumidor = o.value(QStringLiteral("consumer")).toString().trimmed();
        if (!consumidor.isEmpty())
            naoVendidos_.motivos.insert(consumidor,
                                        o.value(QStringLiteral("reason")).toString().trimmed());
    }
}

void TfrmPresenca::esqueceNaoVendidos() {
    naoVendidos_.motivos.clear();
    mostraNaoVendidos();
}

bool TfrmPresenca::naoVendidosDoCabecalho() const {
    return naoVendidos_.centroCusto == stCdCCusClie && naoVendidos_.servico == stCdServFili &&
           naoVendidos_.data == blbDtVenda->caption();
}

bool TfrmPresenca::naoVendido(int row, QString* motivo) const {
    if (naoVendidos_.motivos.isEmpty()) return false;
    // Sold since (by another till, or a later run): no longer a consumer to finish.
    if (!cdsPresenca->textAt(row, cdsPresenca->fieldIndex(kDiaDaVenda)).isEmpty()) return false;
    const QString consumidor =
        cdsPresenca->textAt(row, cdsPresenca->fieldIndex(QStringLiteral("CDCONSUMIDOR"))).trimmed();
    const auto i = naoVendidos_.motivos.constFind(consumidor);
    if (i == naoVendidos_.motivos.constEnd()) return false;
    if (motivo) *motivo = *i;
    return true;
}

void TfrmPresenca::mostraNaoVendidos() {
    int quantos = 0;
    bool algumMarcavel = false;
    if (!naoVendidos_.motivos.isEmpty() && cdsPresenca->active()) {
        const bool filtrado = cdsPresenca->filtered();
        cdsPresenca->setFiltered(false);  // counted over the whole list, whatever the view
        const int sit = cdsPresenca->fieldIndex(kSituacao);
        for (int r = 0; r < cdsPresenca->recordCount(); ++r) {
            if (!naoVendido(r)) continue;
            ++quantos;
            algumMarcavel = algumMarcavel || cdsPresenca->textAt(r, sit) == QLatin1String("1");
        }
        cdsPresenca->setFiltered(filtrado);
    }
    lblNaoVendidos->setCaption(QStringLiteral("Não vendidos: %1").arg(quantos));
    lblNaoVendidos->setVisible(quantos > 0);
    blbMarcaNaoVendidos->setVisible(quantos > 0);
    blbMarcaNaoVendidos->setEnabled(algumMarcavel);
}

// Every flagged row that can take a mark gets one, whatever view is shown; other marks stay
// as the operator left them.
void TfrmPresenca::blbMarcaNaoVendidosClick(QObject* sender) {
    Q_UNUSED(sender);
    if (naoVendidos_.motivos.isEmpty() || !cdsPresenca->active() || cdsPresenca->isEmpty()) return;
    const bool filtrado = cdsPresenca->filtered();
    const dataset::ClientDataSet::Bookmark lembrada = cdsPresenca->bookmark();
    dataset::Field situacao = cdsPresenca->fieldByName(kSituacao);
    dataset::Field marca = cdsPresenca->fieldByName(kMarca);
    cdsPresenca->disableControls();
    try {
        cdsPresenca->setFiltered(false);
        for (cdsPresenca->first(); !cdsPresenca->eof(); cdsPresenca->next()) {
            if (situacao.asString() != QLatin1String("1")) continue;
            if (!naoVendido(cdsPresenca->recNo() - 1)) continue;
            if (marca.asString() == kSim) continue;
            cdsPresenca->edit();
            marca.setAsString(kSim);
            cdsPresenca->post();
        }
        cdsPresenca->setFiltered(filtrado);
        if (cdsPresenca->bookmarkValid(lembrada)) cdsPresenca->gotoBookmark(lembrada);
    } catch (...) {
        cdsPresenca->enableControls();
        throw;
    }
    cdsPresenca->enableControls();
}

// The generator finds the service by the hour, since the hand-over carries none: a service
// chosen in the header whose hour another service's window holds would be sold as that other
// one. Refused here, where the chosen service is known, naming the service the hour gives;
// an hour no service or several hold is left to the generator, which says so per consumer.
bool TfrmPresenca::horaDoServicoEscolhido() {
    const QString hora = blbHrVenda->caption();
    const int hhmm = Hul00002::hourFromText(hora.mid(0, 2) + hora.mid(3, 2));
    const dataset::DataPacket servicos = cdsServico->data();
    const int codigo = servicos.fieldIndex(QStringLiteral("CDSERVFILI"));
    const int nome = servicos.fieldIndex(QStringLiteral("NMSERVICO"));
    const int inicio = servicos.fieldIndex(QStringLiteral("HRINISERTUR"));
    const int fim = servicos.fieldIndex(QStringLiteral("HRFINSERTUR"));
    if (hhmm < 0 || codigo < 0 || inicio < 0 || fim < 0) return true;
    QList<Hul00002::TillService> lista;
    for (int i = 0; i < servicos.rowCount(); ++i)
        lista << Hul00002::TillService{servicos.text(i, codigo).trimmed(), servicos.text(i, inicio),
                                       servicos.text(i, fim)};
    const Hul00002::ServiceChoice escolha = Hul00002::serviceForHour(lista, hhmm);
    if (escolha.index < 0 || lista.at(escolha.index).code == stCdServFili.trimmed()) return true;
    const QString outro =
        nome < 0 ? lista.at(escolha.index).code
                 : QStringLiteral("%1 (%2)").arg(servicos.text(escolha.index, nome).trimmed(),
                                                 lista.at(escolha.index).code);
    platform::Mensagem(
        QStringLiteral("Às %1 o caixa atende o serviço %2, não o serviço escolhido. Escolha esse "
                       "serviço ou outra hora. Nenhuma venda foi gerada.")
            .arg(hora, outro),
        QString(), QStringLiteral("N"), QStringLiteral("N"), 2, QString(), stIdEsquema, 0, nullptr);
    return false;
}

// Beside the confirmation, what the run will sell: read only, on the screen's connection, by
// the generator's own rule for the service and its products. A failure to read it shows
// nothing and stops nothing: the run says the rest.
void TfrmPresenca::mostraResumoDaVenda() {
    if (!Srv_Kel00815::rdmListaPresenca) return;
    Hul00002::SalePreview r;
    try {
        r = Hul00002::previewSales(*Srv_Kel00815::rdmListaPresenca->adcListaPresenca,
                                   cdsPresencaAux->dataVariant());
    } catch (...) {
        qCWarning(platform::lcVenda).noquote()
            << QStringLiteral("Resumo da geração não calculado: %1")
                   .arg(platform::TextoDaExcecao(std::current_exception(), QString()));
        return;
    }
    if (!lblResumoVenda_) {
        lblResumoVenda_ = new QLabel(this);
        lblResumoVenda_->setObjectName(QStringLiteral("lblResumoVenda"));
        lblResumoVenda_->setGeometry(108, 482, 587, 56);
        lblResumoVenda_->setAlignment(Qt::AlignCenter);
        lblResumoVenda_->setStyleSheet(
            QStringLiteral("QLabel { background: #FFFFE1; color: black; border: 1px solid #808080;"
                           " border-radius: 8px; font-size: 15px; font-weight: bold; }"));
    }
    const QString servico = r.serviceName.isEmpty()
                                ? r.service
                                : QStringLiteral("%1 (%2)").arg(r.serviceName, r.service);
    lblResumoVenda_->setText(
        QStringLiteral("%1 · %2\n%3 às %4 · Total R$ %5")
            .arg(
                r.sales == 1 ? QStringLiteral("1 venda") : QStringLiteral("%1 vendas").arg(r.sales),
                servico.isEmpty() ? QStringLiteral("nenhum serviço") : servico,
                blbDtVenda->caption(), blbHrVenda->caption(), Hul00002::moneyText(r.totalCents)));
    lblResumoVenda_->show();
    lblResumoVenda_->raise();
}

// One hand-over record per marked row, date and hour read from the header for each record.
void TfrmPresenca::preencheEntrega() {
    using Hul00002::HandOverField;
    dataset::Field marca = cdsPresenca->fieldByName(kMarca);
    const dataset::FieldDefs& campos = Hul00002::handOverFieldDefs();
    for (; !cdsPresenca->eof(); cdsPresenca->next()) {
        if (marca.asString() != kSim) continue;
        cdsPresencaAux->insert();
        for (int i = 0; i < Hul00002::kHandOverRowFields; ++i)
            cdsPresencaAux->fieldByName(campos.at(i).name)
                .setAsString(cdsPresenca->fieldByName(campos.at(i).name).asString());
        cdsPresencaAux->fieldByName(campo(HandOverField::Day))
            .setAsDateTime(QDateTime(leData(blbDtVenda->caption()), QTime(0, 0)));
        const QString hora = blbHrVenda->caption();
        cdsPresencaAux->fieldByName(campo(HandOverField::Hour))
            .setAsString(hora.mid(0, 2) + hora.mid(3, 2));
        cdsPresencaAux->fieldByName(campo(HandOverField::LogSeq)).setAsString(QString());
        cdsPresencaAux->fieldByName(campo(HandOverField::FileSeq)).setAsString(QString());
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
