#pragma once

#include <QString>
#include <QStringList>

#include <hul00002/Hul00002.h>

namespace Hul00002 {

// Where a till's receipts go: the printer named in its configuration, else PDF files in a
// folder of the till's (one file per receipt).
struct HUL00002_EXPORT ReceiptPrinterSettings {
    QString printerName;
    QString pdfFolder;

    // env LISTAPRESENCA_IMPRESSORA, else an "Impressora=" line in conexao.ini beside the host;
    // with neither, PDF files in the folder LISTAPRESENCA_CUPONS names, else in "cupons" in
    // the till's state folder (platform::stateDirectory).
    static ReceiptPrinterSettings fromConfiguration();
};

// Prints one receipt; `fileStem` names its PDF ("0001-001-20260315-000123"). Returns where it
// went (the printer, or the file). Raises platform::Error, worded for the operator, when it
// could not be printed.
HUL00002_EXPORT QString printReceipt(const QStringList& lines, const QString& fileStem,
                                     const ReceiptPrinterSettings& settings);

// The PDF of that receipt when it was already written whole; empty when it goes to a printer
// or was not written.
HUL00002_EXPORT QString printedReceiptFile(const QString& fileStem,
                                           const ReceiptPrinterSettings& settings);

}  // namespace Hul00002
