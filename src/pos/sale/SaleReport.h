#pragma once

// What became of each record of a sale run, and the texts made of it: the result variant of
// GeraCupomVenda, the support log's lines and the notice of who was not sold.

#include <QList>
#include <QString>
#include <QVariant>

#include <hul00002/hul00002_export.h>

namespace Hul00002 {

enum class SaleStatus { Sold, AlreadyServed, NotSold };

struct SaleOutcome {
    int record = 0;  // position in the packet, from 0
    QString branch, till, consumer, consumerName, badge;
    SaleStatus status = SaleStatus::NotSold;
    QString service;        // sold under, or found served under
    qint64 saleId = 0;      // VENDA.NRSEQVENDA
    qint64 saleNumber = 0;  // the till's sale number
    qint64 receiptNumber = 0;
    qint64 totalCents = 0;  // of the sale made
    QString reason;         // why it was not sold
    QString printedTo;      // the printer or the PDF file, when the receipt was printed
    QString printError;     // sold, but its receipt did not print
};

// A receipt an earlier run recorded as to be printed and never printed, printed (as the
// original) at the start of this run.
struct ReprintedReceipt {
    QString branch, till, consumer, consumerName;
    qint64 receiptNumber = 0;
    QString printedTo;   // where it went
    QString printError;  // still not printed
};

struct HUL00002_EXPORT SaleRun {
    QList<ReprintedReceipt> reprinted;
    QList<SaleOutcome> outcomes;
    bool interrupted = false;   // a failure of the database ended the run before its end
    int connectionLostAt = -1;  // the record at which the server went away, if it did
    // Nothing tried: the server away, and the till may not sell without it.
    bool refused = false;
    bool offline = false;  // some sales were kept on the till's copy, to send later
    int count(SaleStatus s) const;
    qint64 soldCents() const;      // the total of the sales made
    bool allSold() const;          // nothing left unsold
    bool receiptsPending() const;  // some receipt, of this run or an earlier one, not printed
    bool allFine() const { return allSold() && !receiptsPending(); }
};

// The result variant of GeraCupomVenda: {"sold", "alreadyServed", "notSold", "outcomes": [{
// "record", "branch", "till", "consumer", "name", "badge", "status" ("sold", "alreadyServed",
// "notSold"), "service", "sale", "saleNumber", "receipt", "total" (cents), "reason", "printedTo",
// "printError"}], "reprinted": [{"branch", "till", "consumer", "name", "receipt", "printedTo",
// "printError"}], "interrupted", "refused" (the server away and offline sales forbidden: nothing
// tried), "offline" (some sales kept on the till's copy)}.
HUL00002_EXPORT QVariant toVariant(const SaleRun& run);
// One line for the operator: "Ana Silva (000012): vendido - venda 15, cupom 000015".
HUL00002_EXPORT QString outcomeText(const SaleOutcome& o);
// The notice naming every consumer not sold (those another till or run had served as "já
// atendido"), one line each with its reason, every receipt not printed, and the earlier
// receipts this run printed; empty when there is none of these.
HUL00002_EXPORT QString notSoldNotice(const SaleRun& run);
// One line for a receipt of an earlier run printed now, or still not printed.
HUL00002_EXPORT QString reprintedText(const ReprintedReceipt& r);

}  // namespace Hul00002
