#include "pos/sale/PendingReceipts.h"

#include <QSet>

#include <exception>

#include "platform/Platform.h"
#include "platform/Registro.h"
#include "pos/sale/HandOver.h"
#include "pos/sale/Receipt.h"
#include "pos/sale/ReceiptPrinter.h"

namespace Hul00002 {

namespace {

QString failureText(std::exception_ptr e, platform::TADOConnection* c) {
    return platform::ADOExceptionMessage(e, c, QString());
}

QString fileNamePart(const QString& s) {
    QString r = s;
    for (QChar& ch : r)
        if (!ch.isLetterOrNumber()) ch = QLatin1Char('_');
    return r;
}

}  // namespace

// Prints a receipt the database holds as to be printed, then marks it printed. A PDF already
// written whole (a run stopped between the file and the mark) is not written again. A mark that
// fails leaves it to print: the next run finds the file, or prints it once more on paper.
QString printRecorded(const SaleGeneratorOptions& options, SaleStore& store,
                      const PendingReceipt& r, const QString& branch, const QString& till,
                      int sold) {
    const QString stem =
        QStringLiteral("%1-%2-%3-%4")
            .arg(fileNamePart(branch), fileNamePart(till),
                 r.day.toString(QStringLiteral("yyyyMMdd")), receiptNumberText(r.number));
    QString where = printedReceiptFile(stem, options.printer);
    if (where.isEmpty()) where = printReceipt(r.lines, stem, options.printer);
    if (options.hook) options.hook(SaleStep::Printed, sold);
    try {
        store.markPrinted(r.saleId);
    } catch (...) {
        qCWarning(platform::lcVenda).noquote()
            << QStringLiteral("Cupom %1 impresso, mas não marcado como impresso: %2")
                   .arg(receiptNumberText(r.number),
                        failureText(std::current_exception(), &store.connection()));
    }
    return where;
}

// Receipts of the tills of this hand-over that earlier runs left to print, as originals.
QList<ReprintedReceipt> printPending(const HandOver& h, const SaleGeneratorOptions& options,
                                     SaleStore& store) {
    QList<ReprintedReceipt> done;
    QSet<QString> seen;
    for (int row = 0; row < h.rowCount(); ++row) {
        const QString branch = h.text(row, HandOverField::Branch);
        const QString till = h.text(row, HandOverField::Till);
        if (branch.isEmpty() || till.isEmpty() || seen.contains(branch + QChar(0x1F) + till))
            continue;
        seen.insert(branch + QChar(0x1F) + till);
        QList<PendingReceipt> pending;
        try {
            pending = store.pendingReceipts(branch, till);
        } catch (...) {
            // The sales themselves still say what the database does; these wait for the next run.
            qCWarning(platform::lcVenda).noquote()
                << QStringLiteral("Cupons pendentes do caixa %1 não lidos: %2")
                       .arg(till, failureText(std::current_exception(), &store.connection()));
            continue;
        }
        for (const PendingReceipt& p : pending) {
            ReprintedReceipt r{branch, till, p.consumer, p.consumerName, p.number, {}, {}};
            try {
                r.printedTo = printRecorded(options, store, p, branch, till, 0);
            } catch (...) {
                r.printError = failureText(std::current_exception(), nullptr);
            }
            qCInfo(platform::lcVenda).noquote() << reprintedText(r);
            done << r;
        }
    }
    return done;
}

}  // namespace Hul00002
