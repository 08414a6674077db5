#pragma once

// The sale and receipt generator behind GeraCupomVenda: one sale per record of the hand-over
// packet (HandOver.h), each written whole in one transaction with its items and receipt,
// through a read-write connection of its own.

#include <QDate>
#include <QString>
#include <QVariant>

#include <functional>

#include <hul00002/Hul00002.h>

#include "pos/sale/Receipt.h"
#include "pos/sale/ReceiptPrinter.h"
#include "pos/sale/SaleReport.h"
#include "pos/sale/ServiceRule.h"

namespace platform {
class TADOConnection;
}

namespace Hul00002 {

// Points at which a test can stop the generator: after the look for an earlier sale of the
// consumer, before the transaction; inside a sale's transaction just before its commit; right
// after the commit; after a receipt was printed, before it is marked printed. `sold` counts the
// sales committed so far in this run.
enum class SaleStep { Checked, BeforeCommit, Committed, Printed };

// A sale as the generator committed it: its VENDA row, items and receipt, for whoever keeps a
// copy of it elsewhere (the till's copy, when the server goes away later in the run).
struct CommittedSale {
    qint64 id = 0;
    QString branch, till, service, consumer, client, consumptionType, product;
    qint64 totalCents = 0;
    QDateTime consumedAt, enteredAt;
    QString hour;  // "HHMM"
    qint64 saleNumber = 0, receiptNumber = 0;
    QString logSeq, fileSeq;
    QDate day;
    QList<ReceiptItem> items;
    QString receiptText;
    QString printState;  // CUPOMVENDA.IDIMPRESSO as committed: 'P' or 'N'
};

struct SaleGeneratorOptions {
    QString connectionString;
    ReceiptPrinterSettings printer;
    std::function<void(int done, int total)> progress;
    std::function<void(SaleStep step, int sold)> hook;
    // Right after each sale's commit, before its receipt prints.
    std::function<void(const CommittedSale&)> committed;
    // The till's copy for the days the server is away; empty: tillCopyPath().
    QString copyPath;
};

// Raises platform::Error, and sells nothing, when the packet is not a hand-over (a field
// missing, DATAREAL not a date) or the database cannot be reached or brought up to date.
// Otherwise every record comes back with its outcome; a database failure in the middle ends
// the run there, and the records after it come back unsold. A record for a day that its till
// has closed (FECHACAIXA) is not sold; its reason begins "dia fechado".
HUL00002_EXPORT SaleRun generateSales(const QVariant& pacote, const SaleGeneratorOptions& opcoes);

// What a run of that hand-over would sell, read only, by the generator's own rule for the
// service and its products: the records it would sell, the service, day and hour, the total.
struct SalePreview {
    int sales = 0;
    QString service, serviceName;
    QDate day;
    QString hour;  // "HH:MM"
    qint64 totalCents = 0;
};
HUL00002_EXPORT SalePreview previewSales(platform::TADOConnection& c, const QVariant& pacote);

// A whole run as GeraCupomVenda makes it: no input reaches the screen meanwhile, the waiting
// window shows the progress, and one notice (Mensagem kind 2) names whoever was not sold.
HUL00002_EXPORT SaleRun runSaleGeneration(const QVariant& pacote, SaleGeneratorOptions opcoes);

namespace detail {
void geraCupomVendaPadrao(const QVariant& pacote, int arg2, const QVariantList& opcoes,
                          QVariant& resultado);
}

}  // namespace Hul00002
