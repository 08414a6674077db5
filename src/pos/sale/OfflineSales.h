#pragma once

// Sales kept on the till while its server is away. A run whose server cannot be reached at its
// start sells on the till's copy (TillCopy.h) instead; a run whose server goes away in the
// middle first copies in the sales it had committed there, as the server's, then sells the
// records left on the copy. Those sales wait in the copy's outbox for the catch-up (CatchUp.h).
// A till on a SQLite file is always online: none of this applies to it.

#include <QList>
#include <QString>
#include <QVariant>

#include <exception>
#include <memory>

#include "pos/sale/SaleGenerator.h"
#include "pos/sale/TillCopy.h"

namespace platform {
class TADOConnection;
}

namespace Hul00002 {

// Whether the connection string names a server, not a SQLite file.
HUL00002_EXPORT bool namesServer(const QString& connectionString);

// Whether a failure means the server is out of reach (no answer to the connect, or the
// connection went away), whatever server worded it.
HUL00002_EXPORT bool serverAway(std::exception_ptr e);

// The till's copy of `server` for that branch and till, open read-write; null, with a line in
// the support log, when it is missing, damaged, or of another branch, till or server.
HUL00002_TEST_EXPORT std::unique_ptr<platform::TADOConnection> openTillCopy(
    const QString& copyPath, const QString& server, const QString& branch, const QString& till,
    TillCopyInfo* info = nullptr);

// Writes sales the server committed into the copy as server sales (their own NRSEQVENDA, items
// and receipt), in one transaction, and raises the copy's numbering to them. A sale the copy
// already holds stays as it is.
HUL00002_TEST_EXPORT void mirrorIntoCopy(platform::TADOConnection& copy,
                                         const QList<CommittedSale>& sales);

// generateSales, on the till's copy while the server is away. Raises as generateSales does when
// there is no valid copy to fall back on; a run that the integrator's `Offline=Nao` stops
// comes back `refused` (nothing tried), or, when the server went away mid-run, with the rest
// unsold.
HUL00002_EXPORT SaleRun generateSalesOrKeep(const QVariant& pacote,
                                            const SaleGeneratorOptions& opcoes);

}  // namespace Hul00002
