#pragma once

// The sale and receipt generator behind GeraCupomVenda: one sale per record of the hand-over
// packet (CDFILIAL, CDCAIXA, CDIDCONSUMID, CDCONSUMIDOR, NMCONSUMIDOR, CDCLIENTE, CDTIPOCONS,
// DATAREAL, HORAREAL, NRSEQLOGCAT, NRSEQARQIMP), each written whole in one transaction with its
// items and receipt, through a read-write connection of its own.

#include <QList>
#include <QString>
#include <QVariant>

#include <functional>

#include <hul00002/Hul00002.h>

#include "pos/ReceiptPrinter.h"

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

// Points at which a test can stop the generator: after the look for an earlier sale of the
// consumer, before the transaction; inside a sale's transaction just before its commit; right
// after the commit. `sold` counts the sales committed so far in this run.
enum class SaleStep { Checked, BeforeCommit, Committed };

struct SaleGeneratorOptions {
    QString connectionString;
    ReceiptPrinterSettings printer;
    std::function<void(int done, int total)> progress;
    std::function<void(SaleStep step, int sold)> hook;
};

// Raises platform::Error, and sells nothing, when the packet is not a hand-over (a field
// missing, DATAREAL not a date) or the database cannot be reached or brought up to date.
// Otherwise every record comes back with its outcome; a database failure in the middle ends
// the run there, and the records after it come back unsold. A record for a day that its till
// has closed (FECHACAIXA) is not sold; its reason begins "dia fechado".
HUL00002_EXPORT SaleRun generateSales(const QVariant& pacote, const SaleGeneratorOptions& opcoes);

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

// The service of a till for an hour of the day (HHMM as an integer). Both bounds belong to a
// service and an end before the start crosses midnight; a service whose start equals its end
// takes every hour, but only when no other service's window holds the hour. Returns the index
// in `windows`, or -1 when none and -2 when several hold it.
struct ServiceWindow {
    int start = 0;
    int end = 0;
};
HUL00002_EXPORT int chooseService(const QList<ServiceWindow>& windows, int hour);

// A whole run as GeraCupomVenda makes it: no input reaches the screen meanwhile, the waiting
// window shows the progress, and one notice (Mensagem kind 2) names whoever was not sold.
HUL00002_EXPORT SaleRun runSaleGeneration(const QVariant& pacote, SaleGeneratorOptions opcoes);

namespace detail {
void geraCupomVendaPadrao(const QVariant& pacote, int arg2, const QVariantList& opcoes,
                          QVariant& resultado);
}

}  // namespace Hul00002
