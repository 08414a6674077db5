// The grid of the attendance screen: marking, mark-all and order, painting by state, and the
// keyboard shortcuts of the whole screen.

#include <QHeaderView>
#include <QPainter>

#include "dataset/ClientDataSet.h"
#include "dataset/DataSetModel.h"
#include "module/Cli_Kel00815.h"
#include "module/screen/TLabel.h"
#include "module/screen/TfrmPresenca.h"
#include "module/screen/TfrmPresenca_p.h"

#include <hul00002/Hul00002.h>

namespace Cli_Kel00815 {

using namespace tela;

namespace {

// No sale yet for this service and date, and an active consumer: the only rows a mark reaches.
bool marcavel(const QString& diaDaVenda, const QString& situacao) {
    return diaDaVenda.isEmpty() && situacao == QLatin1String("1");
}

// The state colour, inactive tested first: an inactive consumer with a sale is red.
int corDoEstado(const QString& diaDaVenda, const QString& situacao) {
    if (situacao == QLatin1String("2")) return clRed;
    return diaDaVenda.isEmpty() ? clGreen : clGray;
}

}  // namespace

int TfrmPresenca::primeiraColunaVisivel() const {
    const QHeaderView* h = dbsPresenca->horizontalHeader();
    for (int visual = 0; visual < h->count(); ++visual) {
        const int logica = h->logicalIndex(visual);
        if (!h->isSectionHidden(logica)) return logica;
    }
    return -1;
}

QString TfrmPresenca::descricaoDaLinha(int row) const {
    const int dia = cdsPresenca->fieldIndex(kDiaDaVenda);
    const int sit = cdsPresenca->fieldIndex(kSituacao);
    const QString diaDaVenda = cdsPresenca->textAt(row, dia);
    const QString situacao = cdsPresenca->textAt(row, sit);
    QString texto = situacao == QLatin1String("2") ? QStringLiteral("Inativo")
                    : diaDaVenda.isEmpty()         ? QStringLiteral("Pendente")
                                                   : QStringLiteral("Venda gerada");
    if (cdsPresenca->textAt(row, cdsPresenca->fieldIndex(kMarca)) == kSim)
        texto += QStringLiteral(", Marcado");
    QString motivo;
    if (naoVendido(row, &motivo))
        texto += motivo.isEmpty() ? QStringLiteral(", Não vendido")
                                  : QStringLiteral(", Não vendido: ") + motivo;
    return texto;
}

void TfrmPresenca::dbsPresencaCellClick(int column) {
    if (dbsPresenca->columnFieldName(column) != kMarca) return;
    if (cdsPresenca->isEmpty()) return;
    if (!cdsPresenca->fieldByName(kDiaDaVenda).asString().isEmpty()) return;
    if (cdsPresenca->fieldByName(kSituacao).asString() != QLatin1String("1")) return;
    cdsPresenca->edit();
    dataset::Field marca = cdsPresenca->fieldByName(kMarca);
    marca.setAsString(marca.asString() == kSim ? kNao : kSim);
    cdsPresenca->post();
}

void TfrmPresenca::dbsPresencaTitleClick(int column) {
    const QString campo = dbsPresenca->columnFieldName(column);
    if (campo != kMarca && !cdsPresenca->isEmpty()) {
        cdsPresenca->setIndexFieldNames(campo);  // ascending only, kept for later loads
        return;
    }
    if (cdsPresenca->isEmpty()) return;

    // Mark-all: every markable row the current view shows, in its order.
    const QString valor = boSelTudo ? kNao : kSim;
    boSelTudo = !boSelTudo;
    const dataset::ClientDataSet::Bookmark lembrada = cdsPresenca->bookmark();
    dataset::Field dia = cdsPresenca->fieldByName(kDiaDaVenda);
    dataset::Field situacao = cdsPresenca->fieldByName(kSituacao);
    dataset::Field marca = cdsPresenca->fieldByName(kMarca);
    cdsPresenca->disableControls();  // one repaint when the walk is over
    try {
        cdsPresenca->first();
        while (!cdsPresenca->eof()) {
            if (marcavel(dia.asString(), situacao.asString())) {
                const int antes = cdsPresenca->recordCount();
                cdsPresenca->edit();
                marca.setAsString(valor);
                cdsPresenca->post();
                // Under the marked-only view the row just unmarked leaves it, and the next row
                // takes its place: no step then, or every other row would be missed.
                if (cdsPresenca->recordCount() < antes) continue;
            }
            cdsPresenca->next();
        }
        // A row that left the view cannot be current again; the view keeps its own current row.
        if (cdsPresenca->bookmarkValid(lembrada)) cdsPresenca->gotoBookmark(lembrada);
    } catch (...) {
        cdsPresenca->enableControls();
        throw;
    }
    cdsPresenca->enableControls();
}

void TfrmPresenca::dbsPresencaDrawColumnCell(QPainter& canvas, const QRect& rect, int column,
                                             int row) {
    if (cdsPresenca->isEmpty()) return;
    const dataset::DataSetModel* modelo = dbsPresenca->dataModel();
    const int campo = modelo ? modelo->fieldOfColumn(column) : -1;
    if (campo < 0 || row < 0 || row >= cdsPresenca->recordCount()) return;

    const QString diaDaVenda = cdsPresenca->textAt(row, cdsPresenca->fieldIndex(kDiaDaVenda));
    const QString situacao = cdsPresenca->textAt(row, cdsPresenca->fieldIndex(kSituacao));
    canvas.setPen(cor(corDoEstado(diaDaVenda, situacao)));
    // The brush is the one the grid prepared: normal background, or the selection's. The row of
    // the last read stands out while its answer shows.
    const QModelIndex atual = dbsPresenca->currentIndex();
    const bool selecionada = atual.row() == row && atual.column() == column;
    if (!crachaDestacado_.isEmpty() && !selecionada &&
        cdsPresenca->textAt(row, cdsPresenca->fieldIndex(QStringLiteral("CDIDCONSUMID"))) ==
            crachaDestacado_)
        canvas.setBrush(QColor(0xFF, 0xF3, 0xB0));
    canvas.fillRect(rect, canvas.brush());
    canvas.drawText(rect.adjusted(2, 2, 0, 0), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                    cdsPresenca->displayTextAt(row, campo));

    if (cdsPresenca->fieldDef(campo).name != kMarca) return;
    // The box replaces the "S"/"N": anything other than "N" shows checked.
    const bool marcada = cdsPresenca->textAt(row, campo) != kNao;
    canvas.fillRect(rect, canvas.brush());
    canvas.drawPixmap(rect.left() + 4, rect.top(), marcaPintada_[marcada ? 1 : 0]);
    if (!naoVendido(row)) return;
    // Not sold in the last run: an exclamation mark in a ring beside the box, a shape as well
    // as a colour.
    canvas.save();
    canvas.setRenderHint(QPainter::Antialiasing);
    const QRectF anel(rect.left() + 26, rect.top() + 0.5, 15, 15);
    canvas.setPen(QPen(cor(clRed), 2));
    canvas.setBrush(cor(clWhite));
    canvas.drawEllipse(anel);
    canvas.setPen(QPen(cor(clRed), 2.2, Qt::SolidLine, Qt::RoundCap));
    const qreal x = anel.center().x();
    canvas.drawLine(QPointF(x, anel.top() + 3.5), QPointF(x, anel.top() + 8.5));
    canvas.drawPoint(QPointF(x, anel.top() + 11.5));
    canvas.restore();
}

void TfrmPresenca::dbsPresencaKeyDown(QObject* sender, int key, Qt::KeyboardModifiers shift) {
    Q_UNUSED(sender);
    Q_UNUSED(shift);  // modifiers are never looked at: Shift+E, Ctrl+E and Caps Lock act as E

    if (key == 32) dbsPresencaCellClick(primeiraColunaVisivel());
    if (key == 27 && lblSair->isEnabled()) lblSairClick(lblSair);
    if (key == 112) Hul00002::RelFiscais();
    if (key == 120) {
        switch (inPasso) {
            case 1:
                dxfCentCustoClick(dxfCentCusto);
                break;
            case 2:
                dxfServicoClick(dxfServico);
                break;
            case 3:
                dxfDtVendaClick(dxfDtVenda);
                break;
            case 4:
                dxfhrVendaClick(dxfhrVenda);
                break;
            default:
                break;
        }
    }
    if (key == 13) {
        inPasso = inPasso == 4 ? 1 : inPasso + 1;
        VoltaCor();
        MudaCor();
    }
    // Keys the map above leaves free: a badge typed on the keypad, a name looked for, the next.
    if (key == 113) DigitaCracha();
    if (key == 114) ProcuraConsumidor();
    if (key == 115) ProximoConsumidor();
    switch (key) {
        case 69:
            dxfNcadsClick(dxfNcads);
            break;
        case 71:
            dxfTotalGeralClick(dxfTotalGeral);
            break;
        case 73:
            dxfInativosClick(dxfInativos);
            break;
        case 80:
            dxfPendenteClick(dxfPendente);
            break;
        case 78:
            blbMarcaNaoVendidosClick(blbMarcaNaoVendidos);
            break;
        default:
            break;
    }
}

}  // namespace Cli_Kel00815
