#include "pos/sale/Statement.h"

#include "platform/Platform.h"
#include "platform/StatementDeadline.h"
#include "platform/TADOConnection.h"

namespace Hul00002 {

void raiseDatabaseError(const QSqlError& e, const QString& prefix) {
    QString text = e.databaseText().trimmed();
    if (text.isEmpty()) text = e.driverText().trimmed();
    throw platform::DatabaseError(prefix.isEmpty() ? text : prefix + QStringLiteral(": ") + text,
                                  e.nativeErrorCode());
}

Statement::Statement(platform::TADOConnection& connection, const QString& sql)
    : connection_(connection), q_(connection.database()) {
    q_.setForwardOnly(true);
    if (!q_.prepare(sql)) raiseDatabaseError(q_.lastError());
}

Statement::~Statement() {
    finish();
}

bool Statement::tryRun(const QVariantList& values) {
    finish();
    for (int i = 0; i < values.size(); ++i) q_.bindValue(i, values.at(i));
    deadline_ = std::make_unique<platform::StatementDeadline>(connection_, q_);
    if (q_.exec()) return true;
    if (deadline_->expired()) {
        const platform::DatabaseError e = deadline_->timeoutError();
        finish();
        throw e;
    }
    return false;
}

Statement& Statement::run(const QVariantList& values) {
    if (!tryRun(values)) {
        const QSqlError e = q_.lastError();
        finish();
        raiseDatabaseError(e);
    }
    return *this;
}

void Statement::finish() {
    q_.finish();
    deadline_.reset();
}

}  // namespace Hul00002
