#pragma once

// The fiscal reports as the till prints them: 48-column lines, like its receipts.

#include <QDateTime>
#include <QStringList>

#include <hul00002/Hul00002.h>

#include "pos/fiscal/FiscalBook.h"

namespace Hul00002 {

QStringList readingLines(const DayReading& r);
QStringList closingLines(const DayReading& r, qint64 number, const QDateTime& closedAt);
QStringList periodLines(const FiscalPeriod& p);
// A stored receipt printed again: marked as a copy above and below, the receipt unchanged.
QStringList copyLines(const QStringList& stored, const QDateTime& printedAt);

}  // namespace Hul00002
