#pragma once

// The fiscal reports as the till prints them: 48-column lines, like its receipts.

#include <QDateTime>
#include <QStringList>

#include <hul00002/Hul00002.h>

#include "pos/FiscalBook.h"

namespace Hul00002 {

HUL00002_EXPORT QStringList readingLines(const DayReading& r);
HUL00002_EXPORT QStringList closingLines(const DayReading& r, qint64 number,
                                         const QDateTime& closedAt);
HUL00002_EXPORT QStringList periodLines(const FiscalPeriod& p);
// A stored receipt printed again: marked as a copy above and below, the receipt unchanged.
HUL00002_EXPORT QStringList copyLines(const QStringList& stored, const QDateTime& printedAt);

}  // namespace Hul00002
