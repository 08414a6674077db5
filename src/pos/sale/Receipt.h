#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <hul00002/Hul00002.h>

namespace Hul00002 {

// Width of the till's thermal printer, in characters of its fixed-pitch font.
inline constexpr int kReceiptColumns = 48;

struct ReceiptItem {
    QString product;  // code
    QString name;
    qint64 unitCents = 0;
    int quantity = 1;
    qint64 totalCents = 0;
};

// What a sale's receipt shows. Amounts are in cents: money never goes through binary fractions.
struct ReceiptData {
    QString branch, branchName;
    QString till, tillName;
    QDateTime consumedAt;  // the sale's day and hour
    QDateTime issuedAt;
    qint64 receiptNumber = 0;
    qint64 saleNumber = 0;
    QString consumer, consumerName, badge;
    QString service, serviceName;
    QList<ReceiptItem> items;
    qint64 totalCents = 0;
};

// The receipt's lines, none wider than kReceiptColumns.
HUL00002_EXPORT QStringList receiptLines(const ReceiptData& r);
HUL00002_EXPORT QString receiptText(const ReceiptData& r);  // lines joined by '\n'
// "1.234,50"
HUL00002_EXPORT QString moneyText(qint64 cents);
// The receipt number as printed and stored with the sale ("000123").
HUL00002_EXPORT QString receiptNumberText(qint64 number);

}  // namespace Hul00002
