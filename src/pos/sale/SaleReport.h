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
    QString reason;      // why it was not sold
    QString printedTo;   // the printer or the PDF file, when the receipt was printed
    QString printError;  // sold, but its receipt did not print
};

struct HUL00002_EXPORT SaleRun {
    QList<SaleOutcome> outcomes;
    int count(SaleStatus s) const;
    bool allFine() const;  // nothing left unsold, no receipt left unprinted
};

// The result variant of GeraCupomVenda: {"sold", "alreadyServed", "notSold", "outcomes": [{
// "record", "branch", "till", "consumer", "name", "badge", "status" ("sold", "alreadyServed",
// "notSold"), "service", "sale", "saleNumber", "receipt", "reason", "printedTo",
// "printError"}]}.
HUL00002_EXPORT QVariant toVariant(const SaleRun& run);
// One line for the operator: "Ana Silva (000012): vendido - venda 15, cupom 000015".
HUL00002_EXPORT QString outcomeText(const SaleOutcome& o);
// The notice naming every consumer not sold and every receipt not printed, and why; empty
// when there is none.
HUL00002_EXPORT QString notSoldNotice(const SaleRun& run);

}  // namespace Hul00002
