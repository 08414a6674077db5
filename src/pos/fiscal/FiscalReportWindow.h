#pragma once

#include <QStringList>

#include "pos/sale/ReceiptPrinter.h"
#include "pos/touch/TouchDialog.h"

class QLabel;
class QPlainTextEdit;

namespace Hul00002::detail {

// A printed report on the screen, dialog "frmRelatorio": its lines as on paper in
// "txtRelatorio", scrolled by touch (drag, "btnSobe", "btnDesce") or keys (arrows, PageUp,
// PageDown, Home, End); "btnImprimir" (key P) prints it, "lblImpressao" says where it went;
// "btnFechar" or Escape closes.
class FiscalReportWindow : public TouchDialog {
    Q_OBJECT
public:
    FiscalReportWindow(const QString& titulo, const QStringList& linhas, const QString& arquivo,
                       const ReceiptPrinterSettings& impressora, QWidget* parent = nullptr);

    // Prints the report; a failure is told to the operator. True when it printed.
    bool imprime();
    QString impressoEm() const { return impressoEm_; }

protected:
    void keyPressEvent(QKeyEvent* e) override;

private:
    void rola(int passos);

    QStringList linhas_;
    QString arquivo_;
    ReceiptPrinterSettings impressora_;
    QString impressoEm_;
    QPlainTextEdit* texto_ = nullptr;
    QLabel* lblImpressao_ = nullptr;
};

}  // namespace Hul00002::detail
