#pragma once

// The sale generator's statements on a read-write till connection, in the connection's
// dialect: the till's set-up (names, services, products), the look for an earlier sale, the
// till's numbering, the closed-day check and the writes of a sale. Every statement runs through
// Statement, so each has the command timeout and the watchdog past it.

#include <QDate>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QSqlError>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <memory>
#include <optional>
#include <utility>

#include <hul00002/hul00002_export.h>

#include "pos/sale/ServiceRule.h"
#include "pos/sale/Statement.h"

namespace platform {
class TADOConnection;
}

namespace Hul00002 {

struct Product {
    QString code, name;
    qint64 cents = 0;
    bool registered = true;  // false: PRODUTO has no row for the code
};

struct Service {
    TillService stored;
    QString name;
    bool printsReceipt = false;
};

struct Till {
    QString branch, till, branchName, tillName;
    QList<Service> services;
};

// What the database knows of a consumer handed over.
struct ConsumerOnFile {
    bool exists = false;
    bool active = false;
    bool servedAtBranch = false;  // the consumer's client is one the branch serves (CLIENFILIAL)
};

// The rows of one sale: the sale's values, each item's number, product, quantity, unit price and
// total, and the receipt's values after the sale's id (branch, till, number, issued, text, and
// 'P' to print or 'N' no printing).
struct SaleRows {
    QVariantList sale;
    QList<QVariantList> items;
    QVariantList receipt;
};

// A receipt recorded as to be printed whose printing was never confirmed.
struct PendingReceipt {
    qint64 saleId = 0, number = 0;
    QDate day;
    QString consumer, consumerName;
    QStringList lines;
};

// What an earlier sale of the consumer was recorded as.
struct EarlierSale {
    QString service;
    qint64 saleId = 0, saleNumber = 0, receiptNumber = 0;
};

// A consumer to look at as consumerAndEarlierSale does, in the statement that writes another
// sale, and what was found there.
struct ConsumerLook {
    QString branch, till, service, consumer;
    QDate day;
    bool done = false;  // the look was made
    ConsumerOnFile onFile;
    bool earlier = false;
    EarlierSale found;
};

// What a till sells and at what price, read only: its names, services and products. The
// generator sells by it, and the screen previews a run by it on its own read-only connection.
class HUL00002_TEST_EXPORT TillSetup {
public:
    explicit TillSetup(platform::TADOConnection& c);

    // Names and services of the till.
    Till loadTill(const QString& branch, const QString& till);
    // The products set up for the service, or for the service and a consumption type.
    QList<Product> products(const Till& t, const QString& service, const QString& type);
    // The rule of the generator: the service's own products, else those of the consumer's type.
    QList<Product> productsFor(const Till& t, const QString& service, const QString& type);

private:
    Statement services_, names_, productsByService_, productsByType_;
};

class SaleStore {
public:
    explicit SaleStore(platform::TADOConnection& c);
    ~SaleStore();

    platform::TADOConnection& connection() { return connection_; }

    // Date-times go to SQLite as text that sorts as time; the servers take them typed.
    QVariant dateTime(const QDateTime& d) const;
    QVariant day(const QDate& d) const;

    // Names and services of the till; its numbering is created when it has none.
    Till loadTill(const QString& branch, const QString& till);
    TillSetup& setup() { return setup_; }
    ConsumerOnFile consumer(const QString& branch, const QString& consumer);
    // The consumer as on file and, when `service` is given, its earlier sale (as earlierSale)
    // in one look where the dialect allows.
    ConsumerOnFile consumerAndEarlierSale(const QString& branch, const QString& till,
                                          const QString& service, const QString& consumer,
                                          const QDate& d, bool& earlier, EarlierSale& found);
    // The till's receipts still to print, oldest first.
    QList<PendingReceipt> pendingReceipts(const QString& branch, const QString& till);
    // The valid sale already recorded for that consumer, service and day, if any: by its
    // time, as the attendance list finds it, or by its stored day, as the database's rule does.
    bool earlierSale(const QString& branch, const QString& till, const QString& service,
                     const QString& consumer, const QDate& d, EarlierSale& found);
    // The number of the till's closing of that day; 0 while the day is open.
    qint64 closingOf(const QString& branch, const QString& till, const QDate& d);
    // Inside the sale's transaction: the till's next sale and receipt numbers for a sale of day
    // `d`. The update comes first, so that the transaction holds the till's numbering until it
    // ends; on SQLite the read after it also takes the day's closing, for recordSale.
    std::pair<qint64, qint64> nextNumbers(const QString& branch, const QString& till,
                                          const QDate& d);
    // Inside the sale's transaction, after nextNumbers: the number of the day's closing in
    // `closing` (0 while the day is open) and, while it is open, the sale with its items and
    // receipt. A closed day may still hold the rows written: the caller rolls back. False when
    // the database refused the sale; the error stays in `error`. On PostgreSQL the same statement
    // also makes the look `next` asks for, on SQLite the same transaction (next->done).
    bool recordSale(const QString& branch, const QString& till, const QDate& d,
                    const SaleRows& rows, qint64& closing, qint64& id, QSqlError& error,
                    ConsumerLook* next = nullptr);
    void markPrinted(qint64 saleId) { printed_.run({saleId}).finish(); }

    // PostgreSQL with the schema's REGISTRA_VENDA: a whole sale in one call, which is its own
    // transaction (no transaction may be open). The receipt is built with the numbers the
    // caller expects to be the till's next; when they are not, nothing is written and the
    // next ones come back (Renumbered). `next` as in recordSale.
    bool writesAtOnce() const { return atOnce_; }
    struct AtOnce {
        enum Result { Sold, Closed, Renumbered, NoNumbering, Refused } result = Refused;
        qint64 id = 0, saleNumber = 0, receiptNumber = 0, closing = 0;
        QSqlError error;
        bool numberingBusy = false;  // refused: the wait was on the till's numbering row
    };
    AtOnce recordSaleAtOnce(const SaleRows& rows, ConsumerLook* next = nullptr);

private:
    bool insertSale(const QVariantList& values, qint64& id, QSqlError& error);
    // The values of the look for an earlier sale, in its text's order.
    QVariantList earlierValues(const QString& branch, const QString& till, const QString& service,
                               const QString& consumer, const QDate& d) const;
    // The values of the consumer's look with its earlier sale, in its text's order.
    QVariantList lookValues(const QString& branch, const QString& till, const QString& service,
                            const QString& consumer, const QDate& d) const;
    Statement& wholeSale(int items, bool withLook);
    Statement& saleCall(int items, bool withLook);

    platform::TADOConnection& connection_;
    bool server_;
    bool postgres_;  // UPDATE and INSERT hand back what they wrote
    bool atOnce_;    // REGISTRA_VENDA is there
    TillSetup setup_;
    Statement numbering_, earlier_, advance_, numbers_, sale_, item_, receipt_, printed_, closed_,
        consumer_, pending_;
    std::unique_ptr<Statement> lastId_, consumerAndEarlier_, numbersAndClosing_;
    std::optional<qint64> closingRead_;  // by nextNumbers, for the recordSale after it
    QHash<int, std::shared_ptr<Statement>> wholeSales_;  // by items, and with a look or not
    QHash<int, std::shared_ptr<Statement>> saleCalls_;   // the same, for REGISTRA_VENDA
};

// The failure of a till that has no numbering row.
[[noreturn]] void raiseNoNumbering(const QString& branch, const QString& till);

// Inside a transaction: takes the till's numbering row (creating it when the till never sold),
// which every sale of the till updates first. A closing that holds it waits for the sale in
// flight to commit and keeps the next one out until it commits, on every server.
HUL00002_TEST_EXPORT void lockTillNumbering(platform::TADOConnection& c, const QString& branch,
                                            const QString& till);

}  // namespace Hul00002
