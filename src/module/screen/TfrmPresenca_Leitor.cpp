// Badges on the attendance screen: a reader's burst told from a person's keys, the read answered
// without a dialog (banner, tone, the row brought into view), the code typed on the keypad, a
// name found through the pick list, and the marked count.

#include <QKeyEvent>
#include <QTimer>

#include "dataset/ClientDataSet.h"
#include "dataset/DataSetModel.h"
#include "module/dataservice/TrdmListaPresenca.h"
#include "module/screen/TLabel.h"
#include "module/screen/TfrmPresenca.h"
#include "module/screen/TfrmPresenca_p.h"
#include "platform/Registro.h"
#include "platform/TMessages.h"
#include "textorder/OrdemPtBr.h"

#include <hul00002/Hul00002.h>

namespace Cli_Kel00815 {

using namespace tela;

namespace {

const QString kCracha = QStringLiteral("CDIDCONSUMID");
const QString kNome = QStringLiteral("NMCONSUMIDOR");

// Accents and case ignored, as the pick list narrows: "fábio" and "FABIO" fold alike.
QString dobra(const QString& texto) {
    std::u16string out;
    textorder::dobra({reinterpret_cast<const char16_t*>(texto.utf16()), std::size_t(texto.size())},
                     out);
    return QString::fromUtf16(out.data(), qsizetype(out.size()));
}

}  // namespace

bool TfrmPresenca::teclaDoLeitor(QKeyEvent* e) {
    // Key presses from the window system carry their time; those that carry none take ours.
    const unsigned long ms = e->timestamp() ? e->timestamp() : relogioTeclas_.elapsed();
    switch (leitorCracha.recebe(e->key(), e->text(), ms)) {
        case BadgeBurst::Acao::Passa:
            return false;
        case BadgeBurst::Acao::Engole:
            return true;
        case BadgeBurst::Acao::Lido:
            platform::Guard([this] { LeCracha(leitorCracha.codigo()); })();
            return true;
    }
    return false;
}

void TfrmPresenca::atualizaMarcados() {
    const int n = cdsPresenca->active() ? cdsPresenca->countEqual(kMarca, u"S") : 0;
    lblMarcados->setCaption(msgLeitor->Msg(QStringLiteral("MARCADOS")).arg(n));
}

void TfrmPresenca::responde(const QString& texto, int corTexto, int tom) {
    QPalette pal = lblLeitura->palette();
    pal.setColor(QPalette::Window, cor(clWhite));
    pal.setColor(QPalette::WindowText, cor(corTexto));
    lblLeitura->setPalette(pal);
    lblLeitura->setText(texto);
    lblLeitura->show();
    lblLeitura->raise();
    reservaBanner();
    tmrLeitura->start();
    if (tom <= 0) return;
    try {
        Hul00002::Bipe(tom);
    } catch (...) {
        // A till without a speaker still marks: the banner has said it.
        qCWarning(platform::lcTela).noquote()
            << platform::TextoDaExcecao(std::current_exception(), QString());
    }
}

// The rows scroll clear of the banner, and of the 16 px the panel clips, while it shows.
void TfrmPresenca::reservaBanner() {
    dbsPresenca->setBottomReserve(lblLeitura->height() + dbsPresenca->height() -
                                  panFundo->height());
}

void TfrmPresenca::trazParaVista(qint64 linha) {
    reservaBanner();
    // The footer view that hides the row gives way to the whole list.
    if (!cdsPresenca->bookmarkValid(linha)) dxfTotalGeralClick(dxfTotalGeral);
    cdsPresenca->gotoBookmark(linha);
    crachaDestacado_ = cdsPresenca->fieldByName(kCracha).asString();
    const dataset::DataSetModel* m = dbsPresenca->dataModel();
    const int coluna = m ? m->columnOfField(kNome) : -1;
    if (m && coluna >= 0) {
        const QModelIndex i = m->index(cdsPresenca->recNo() - 1, coluna);
        dbsPresenca->setCurrentIndex(i);
        dbsPresenca->scrollTo(i, QAbstractItemView::PositionAtCenter);
    }
    dbsPresenca->viewport()->update();
}

void TfrmPresenca::LeCracha(const QString& lido) {
    const QString codigo = lido.trimmed();
    if (codigo.isEmpty()) return;
    if (!listaCarregada_ || !cdsPresenca->active()) {
        responde(msgLeitor->Msg(QStringLiteral("CRACHA_SEM_LISTA")), clNavy, Hul00002::TomSemLista);
        return;
    }
    const dataset::ClientDataSet::Bookmark linha = cdsPresenca->locate(kCracha, codigo);
    if (linha < 0) {
        QString texto = msgLeitor->Msg(QStringLiteral("CRACHA_FORA"));
        // One read-only lookup; a failure of it only leaves the cost centre unsaid.
        const QVariant r = Srv_Kel00815::getCentroCustoCracha(stCdFilial, codigo, stCdCCusClie);
        if (dataset::isDataPacket(r)) {
            const dataset::DataPacket p = dataset::packetFromVariant(r);
            const int c = p.fieldIndex(QStringLiteral("CDCCUSCLIE"));
            if (p.rowCount() > 0 && c >= 0)
                texto = msgLeitor->Msg(QStringLiteral("CRACHA_OUTRO_CC")).arg(p.text(0, c));
        } else {
            qCWarning(platform::lcTela).noquote()
                << QStringLiteral("Centro de custo do crachá: %1").arg(r.toString());
        }
        responde(texto, clRed, Hul00002::TomForaDaLista);
        return;
    }

    trazParaVista(linha);
    const QString nome = cdsPresenca->fieldByName(kNome).asString();
    const QString situacao = cdsPresenca->fieldByName(kSituacao).asString();
    const bool vendido = !cdsPresenca->fieldByName(kDiaDaVenda).asString().isEmpty();
    const auto comNome = [&](const char* chave) -> QString {
        return msgLeitor->Msg(QString::fromLatin1(chave)) + QStringLiteral(": ") + nome;
    };
    // The grid's order of states: inactive first, then a sale; a situation neither "1" nor "2"
    // is not active either.
    if (situacao == QLatin1String("2") || (!vendido && situacao != QLatin1String("1"))) {
        responde(comNome("CRACHA_INATIVO"), clRed, Hul00002::TomInativo);
    } else if (vendido) {
        responde(comNome("CRACHA_JA_SERVIU"), clGray, Hul00002::TomJaServiu);
    } else if (cdsPresenca->fieldByName(kMarca).asString() == QLatin1String("S")) {
        responde(comNome("CRACHA_JA_MARCADO"), clNavy, Hul00002::TomJaMarcado);
    } else {
        cdsPresenca->edit();
        cdsPresenca->fieldByName(kMarca).setAsString(QStringLiteral("S"));
        cdsPresenca->post();
        responde(nome, clGreen, Hul00002::TomMarcado);
    }
}

void TfrmPresenca::DigitaCracha() {
    QString codigo;
    if (!Hul00002::TecladoNumerico(codigo, msgLeitor->Msg(QStringLiteral("CRACHA_TITULO")),
                                   msgLeitor->Msg(QStringLiteral("CRACHA_INSTRUCAO")),
                                   msgLeitor->Msg(QStringLiteral("CRACHA_VAZIO")), 21, 0, 0, 0, 0,
                                   0))
        return;
    LeCracha(codigo);
}

void TfrmPresenca::ProcuraConsumidor() {
    if (!listaCarregada_ || !cdsPresenca->active() || cdsPresenca->isEmpty()) {
        responde(msgLeitor->Msg(QStringLiteral("CRACHA_SEM_LISTA")), clNavy, Hul00002::TomSemLista);
        return;
    }
    // The whole list in the grid's order; the pick list narrows it by what is typed, accents and
    // case ignored, and opens on the row last found.
    const QString anterior = crachaDestacado_.isEmpty()
                                 ? cdsPresenca->fieldByName(kCracha).asString()
                                 : crachaDestacado_;
    cdsPesqConsumidor->setData(cdsPresenca->data());
    const dataset::ClientDataSet::Bookmark atual = cdsPesqConsumidor->locate(kCracha, anterior);
    if (atual >= 0) cdsPesqConsumidor->gotoBookmark(atual);
    if (!Hul00002::Pesquisa(*cdsPesqConsumidor, 0, QStringLiteral("S"), inCor1, inCor2, inCor3,
                            inCor5, 0))
        return;
    fragmento_ = cdsPesqConsumidor->property("textoPesquisa").toString();
    const dataset::ClientDataSet::Bookmark linha =
        cdsPresenca->locate(kCracha, cdsPesqConsumidor->fieldByName(kCracha).asString());
    if (linha < 0) return;
    trazParaVista(linha);
    responde(cdsPresenca->fieldByName(kNome).asString(), clNavy, 0);
}

// The next row after the current one, in the grid's order and round to the top, whose badge and
// name hold every word the last search typed (tabs keep words from spanning the two).
void TfrmPresenca::ProximoConsumidor() {
    const QStringList palavras = dobra(fragmento_).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (palavras.isEmpty() || !listaCarregada_ || !cdsPresenca->active()) {
        ProcuraConsumidor();
        return;
    }
    if (cdsPresenca->filtered()) dxfTotalGeralClick(dxfTotalGeral);  // the whole list
    const int n = cdsPresenca->recordCount();
    const int cracha = cdsPresenca->fieldIndex(kCracha);
    const int nome = cdsPresenca->fieldIndex(kNome);
    const int atual = cdsPresenca->recNo() - 1;
    for (int passo = 1; passo <= n; ++passo) {
        const int pos = (atual + passo) % n;
        const QString texto = dobra(cdsPresenca->textAt(pos, cracha) + QLatin1Char('\t') +
                                    cdsPresenca->textAt(pos, nome));
        bool todas = true;
        for (const QString& p : palavras) todas = todas && texto.contains(p);
        if (!todas) continue;
        cdsPresenca->moveTo(pos + 1);
        trazParaVista(cdsPresenca->bookmark());
        responde(cdsPresenca->fieldByName(kNome).asString(), clNavy, 0);
        return;
    }
}

}  // namespace Cli_Kel00815
