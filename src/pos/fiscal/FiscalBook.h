#pragma once

// The fiscal figures of a till, read from its recorded sales: the day's reading, the day's
// closing (FECHACAIXA), the closings of a period and the receipts of a day. Amounts are in
// cents. Every function works on an open read-write connection whose sale tables are up to
// date (ensureSalesSchema) and raises platform::Error worded for the operator.

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <hul00002/Hul00002.h>

namespace platform {
class TADOConnection;
}

namespace Hul00002 {

struct ServiceTotal {
    QString service, serviceName;
    int sales = 0;
    qint64 totalCents = 0;
};

// Who the figures are of, as the reports head them.
struct TillHeader {
    QString branch, branchName, till, tillName;
};

// The valid sales of one till for one consumption day.
struct DayReading {
    TillHeader header;
    QDate day;
    QDateTime readAt;
    QList<ServiceTotal> services;  // in service-code order
    int sales = 0;
    qint64 totalCents = 0;
    qint64 firstReceipt = 0;  // 0: no receipt that day
    qint64 lastReceipt = 0;
};

struct Closing {
    QString branch, till;
    qint64 number = 0;  // the till's closing number
    QDate day;
    QDateTime closedAt;
    int sales = 0;
    qint64 totalCents = 0;
    qint64 firstReceipt = 0;
    qint64 lastReceipt = 0;
    QStringList lines;  // as printed
};

// A receipt that can be printed again.
struct ReceiptEntry {
    qint64 saleId = 0;
    qint64 number = 0;
    QDateTime issuedAt;
    QString consumer, consumerName, serviceName;
    qint64 totalCents = 0;
};

HUL00002_TEST_EXPORT DayReading readDay(platform::TADOConnection& c, const QString& branch,
                                        const QString& till, const QDate& day);

// The closing of that till and day, or one with number 0 when the day is open.
HUL00002_TEST_EXPORT Closing findClosing(platform::TADOConnection& c, const QString& branch,
                                         const QString& till, const QDate& day);

// Reads the day and records its closing, with the next closing number of the till, in one
// transaction that no sale of the till gets into. A day already closed is refused.
HUL00002_TEST_EXPORT Closing closeDay(platform::TADOConnection& c, const QString& branch,
                                      const QString& till, const QDate& day);

struct FiscalPeriod {
    TillHeader header;
    QDate from, to;
    QDateTime readAt;
    QList<Closing> closings;  // in day order
};

// The till's closings of the days from `from` to `to`, both included.
HUL00002_TEST_EXPORT FiscalPeriod closingsBetween(platform::TADOConnection& c,
                                                  const QString& branch, const QString& till,
                                                  const QDate& from, const QDate& to);

// The receipts of the till's valid sales issued on that day, the latest first.
HUL00002_TEST_EXPORT QList<ReceiptEntry> receiptsIssuedOn(platform::TADOConnection& c,
                                                          const QString& branch,
                                                          const QString& till, const QDate& day);

// Why the closing of that till and day must wait for the sales kept on the till's copy while
// the server was away: they are sent first (a catch-up), and whatever of that day is still in
// the copy's outbox then holds the closing back. Empty when the closing may go on (also for a
// till on a SQLite file, which keeps no copy).
HUL00002_TEST_EXPORT QString closingHeldByOutbox(const QString& server, const QString& copyPath,
                                                 const QString& branch, const QString& till,
                                                 const QDate& day);

// The receipt's text as it was stored when the sale was made; empty when there is none.
HUL00002_TEST_EXPORT QStringList storedReceipt(platform::TADOConnection& c, qint64 saleId);

}  // namespace Hul00002
