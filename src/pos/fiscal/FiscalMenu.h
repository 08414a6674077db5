#pragma once

// The fiscal menu, dialog "frmRelFiscais": the day's reading (Leitura X), the day's closing
// (Redução Z), the closings of a period (Memória Fiscal) and a receipt printed again, all from
// the till's recorded sales.

#include <QString>

#include <hul00002/Hul00002.h>

#include "pos/sale/ReceiptPrinter.h"

namespace Hul00002 {

// Whose figures the menu shows, from where, and where it prints.
struct HUL00002_TEST_EXPORT FiscalSettings {
    QString connectionString;  // empty: the till's (_GetStringConexZor)
    QString branch, till;      // empty: read from the till's parameter file
    QString copyPath;          // the till's copy; empty: tillCopyPath()
    ReceiptPrinterSettings printer;

    // The printer as receipts print, branch and till from PARAMETROSZOR.CDS beside the host
    // (any letter case); a missing file leaves them empty.
    static FiscalSettings fromConfiguration();
};

// Opens the menu and returns when it is closed.
HUL00002_TEST_EXPORT void openFiscalMenu(const FiscalSettings& settings);

namespace detail {
void relFiscaisPadrao();
}

}  // namespace Hul00002
