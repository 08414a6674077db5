#pragma once

// Where the till's data comes from right now: its server, or its own copy while the server is
// away, and how far a catch-up of the sales kept on the till has got. One per process; the
// data module and the sale run set it, the screen's banner shows it. Safe to set from any
// thread: `changed` then reaches the receivers of the user-interface thread queued.

#include <QDateTime>
#include <QMutex>
#include <QObject>
#include <QString>
#include <QWaitCondition>

#include "platform/platform_export.h"

namespace platform {

class PLATFORM_EXPORT OfflineState : public QObject {
    Q_OBJECT
public:
    enum class Mode { Online, Offline };

    static OfflineState& instance();

    Mode mode() const;
    bool offline() const { return mode() == Mode::Offline; }
    // When the copy in use was taken (offline only).
    QDateTime copyTakenAt() const;
    // A catch-up in progress: `done` of `total` sales sent; total 0 when none runs.
    int catchUpDone() const;
    int catchUpTotal() const;
    // Sales the server refused at the last catch-up (already sold there).
    int conflicts() const;

    // Each switch goes to the support log.
    void setOnline();
    void setOffline(const QDateTime& copyTakenAt);
    void setCatchUp(int done, int total);
    void setConflicts(int n);

    // The banner's line, in the operator's words; empty when online with nothing to tell.
    QString bannerText() const;

    // Back to online with nothing pending (tests, and a host that reloads the module).
    void reset();

    // One attempt at a time to reach the server in the background while the till reads its
    // copy (a connect of its own, closed at once; here, so that no code of a module that may be
    // unloaded runs in it). False when one already runs.
    bool tryServer(const QString& connectionString);
    // True once after an attempt reached the server.
    bool takeServerAnswered();
    // Waits for a running attempt to end, at most `ms`; true when none runs.
    bool waitForServerAttempt(int ms);

Q_SIGNALS:
    void changed();

private:
    OfflineState() = default;
    mutable QMutex mutex_;
    QWaitCondition attemptEnded_;
    bool attempting_ = false, answered_ = false;
    Mode mode_ = Mode::Online;
    QDateTime copyTakenAt_;
    int done_ = 0, total_ = 0, conflicts_ = 0;
};

}  // namespace platform
