#include "platform/OfflineState.h"

#include <QMutexLocker>

#include "platform/Registro.h"
#include "platform/TADOConnection.h"

#include <QDeadlineTimer>

#include <thread>

namespace platform {

OfflineState& OfflineState::instance() {
    static OfflineState* s = new OfflineState;  // lives as long as the process
    return *s;
}

OfflineState::Mode OfflineState::mode() const {
    QMutexLocker l(&mutex_);
    return mode_;
}

QDateTime OfflineState::copyTakenAt() const {
    QMutexLocker l(&mutex_);
    return copyTakenAt_;
}

int OfflineState::catchUpDone() const {
    QMutexLocker l(&mutex_);
    return done_;
}

int OfflineState::catchUpTotal() const {
    QMutexLocker l(&mutex_);
    return total_;
}

int OfflineState::conflicts() const {
    QMutexLocker l(&mutex_);
    return conflicts_;
}

void OfflineState::setOnline() {
    {
        QMutexLocker l(&mutex_);
        if (mode_ == Mode::Online) return;
        mode_ = Mode::Online;
        copyTakenAt_ = QDateTime();
    }
    qCInfo(lcBanco).noquote() << QStringLiteral("Conexão com o servidor de volta.");
    Q_EMIT changed();
}

void OfflineState::setOffline(const QDateTime& copyTakenAt) {
    {
        QMutexLocker l(&mutex_);
        if (mode_ == Mode::Offline && copyTakenAt_ == copyTakenAt) return;
        mode_ = Mode::Offline;
        copyTakenAt_ = copyTakenAt;
    }
    qCInfo(lcBanco).noquote() << QStringLiteral(
                                     "Sem conexão com o servidor: dados da cópia do caixa de %1.")
                                     .arg(copyTakenAt.toString(QStringLiteral("dd/MM/yyyy HH:mm")));
    Q_EMIT changed();
}

void OfflineState::setCatchUp(int done, int total) {
    {
        QMutexLocker l(&mutex_);
        if (done_ == done && total_ == total) return;
        done_ = done;
        total_ = total;
    }
    Q_EMIT changed();
}

void OfflineState::setConflicts(int n) {
    {
        QMutexLocker l(&mutex_);
        if (conflicts_ == n) return;
        conflicts_ = n;
    }
    Q_EMIT changed();
}

QString OfflineState::bannerText() const {
    QMutexLocker l(&mutex_);
    QStringList parts;
    if (mode_ == Mode::Offline)
        parts << QStringLiteral("Sem conexão com o servidor — dados de %1")
                     .arg(copyTakenAt_.toString(QStringLiteral("dd/MM/yyyy HH:mm")));
    if (total_ > 0)
        parts << QStringLiteral("Enviando vendas do caixa: %1 de %2").arg(done_).arg(total_);
    if (conflicts_ > 0)
        parts << QStringLiteral("%1 venda(s) em conflito com o servidor").arg(conflicts_);
    return parts.join(QStringLiteral(" · "));
}

void OfflineState::reset() {
    {
        QMutexLocker l(&mutex_);
        mode_ = Mode::Online;
        copyTakenAt_ = QDateTime();
        done_ = total_ = conflicts_ = 0;
    }
    Q_EMIT changed();
}

bool OfflineState::tryServer(const QString& connectionString) {
    {
        QMutexLocker l(&mutex_);
        if (attempting_) return false;
        attempting_ = true;
    }
    std::thread([this, connectionString] {
        bool ok = false;
        try {
            TADOConnection c;
            c.setConnectionString(connectionString);
            c.setConnected(true);
            ok = true;
        } catch (...) {
        }
        QMutexLocker l(&mutex_);
        attempting_ = false;
        answered_ = ok;
        attemptEnded_.wakeAll();
    }).detach();
    return true;
}

bool OfflineState::takeServerAnswered() {
    QMutexLocker l(&mutex_);
    const bool a = answered_;
    answered_ = false;
    return a;
}

bool OfflineState::waitForServerAttempt(int ms) {
    QMutexLocker l(&mutex_);
    const QDeadlineTimer deadline(ms);
    while (attempting_)
        if (!attemptEnded_.wait(&mutex_, deadline)) return !attempting_;
    return true;
}

}  // namespace platform
