#pragma once

// Receipts of printed services go through the database's "to print" state: recorded with
// their sale, printed, then marked printed. What a stopped run left to print is printed first
// by the next run of the same till, as the original.

#include <QList>
#include <QString>

#include "pos/sale/SaleGenerator.h"
#include "pos/sale/SaleStore.h"

namespace Hul00002 {

class HandOver;

// Prints a receipt the database holds as to be printed, then marks it printed; returns where it
// went, raises when it could not print. `sold` is passed to the test hook.
QString printRecorded(const SaleGeneratorOptions& options, SaleStore& store,
                      const PendingReceipt& r, const QString& branch, const QString& till,
                      int sold);

// The receipts of the tills of this hand-over that earlier runs left to print.
QList<ReprintedReceipt> printPending(const HandOver& h, const SaleGeneratorOptions& options,
                                     SaleStore& store);

}  // namespace Hul00002
