#pragma once

// The catch-up: the sales kept in the till's copy (its outbox, TillCopy.h) go to the server,
// oldest first, each in a server transaction of its own with its items and receipt and its own
// numbers (the server's numbering of the till is raised to them). A sale leaves the outbox only
// after the server committed it: it then takes the server's NRSEQVENDA in the copy. A sale the
// server already holds as that same sale (a catch-up stopped between the server's commit and
// the copy's update) just takes its number. A sale the server refuses (another sale of that
// consumer, service and day at the till, or a closed day) moves to CONFLITO with the reason.
// One catch-up at a time per copy, across processes too; a kill at any moment loses nothing
// and doubles nothing.

#include <QDate>
#include <QList>
#include <QString>

#include <functional>

#include <hul00002/hul00002_export.h>

namespace Hul00002 {

struct CatchUpLine {
    enum class Kind { Sent, AlreadyThere, Conflict };
    Kind kind = Kind::Sent;
    qint64 outboxId = 0, serverId = 0;  // serverId 0 for a conflict
    QString branch, till, service, consumer;
    QDate day;
    qint64 saleNumber = 0, receiptNumber = 0;
    QString reason;  // of a conflict
};

struct HUL00002_EXPORT CatchUpResult {
    QList<CatchUpLine> lines;
    int total = 0;    // sales in the outbox at the start
    QString failure;  // why it stopped before the end (the rest stays in the outbox)
    int count(CatchUpLine::Kind k) const;
    bool complete() const { return failure.isEmpty(); }
};

struct CatchUpOptions {
    // Each sale's outcome, as it happens.
    std::function<void(const CatchUpLine&)> line;
    // Tests: right after the server committed the n-th sale of this catch-up.
    std::function<void(int sent)> afterServerCommit;
    // The copy takes the server's numbers after this many server commits (and at the end).
    int copyBatch = 50;
    // How long to wait for another catch-up of the same copy to end.
    int lockWaitMs = 0;
};

// Raises platform::Error, worded for the operator, when nothing can be sent: no valid copy of
// that server, the server out of reach, or another catch-up of the copy running. Otherwise
// every sale tried comes back; a failure of the server midway ends it there. Progress goes to
// platform::OfflineState (and to `progress`); the conflicts to its count and the support log.
HUL00002_EXPORT CatchUpResult catchUp(const QString& serverConnectionString,
                                      const QString& copyPath,
                                      const std::function<void(int done, int total)>& progress = {},
                                      const CatchUpOptions& options = {});

// The catch-up for a job off the user-interface thread: never raises, says what happened in
// the support log.
HUL00002_EXPORT void sendKeptSales(const QString& server, const QString& copyPath);

// How many sales wait in the copy's outbox (0 when there is no copy).
HUL00002_EXPORT int outboxSize(const QString& copyPath);

// The outbox's sales of that till and day (0 when there is no copy or it is of another till).
HUL00002_EXPORT int outboxSalesOf(const QString& copyPath, const QString& branch,
                                  const QString& till, const QDate& day);

// One line for a sale of the catch-up: "C01 (venda 12, cupom 000012, 16/03/2026): enviada".
HUL00002_EXPORT QString catchUpLineText(const CatchUpLine& l);

}  // namespace Hul00002
