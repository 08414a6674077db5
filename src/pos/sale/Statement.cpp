#include "pos/sale/Statement.h"

#include <QSqlDriver>
#include <QTime>

#include <sqlite3.h>

#include <vector>

#include "dataset/SqliteHandle.h"
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

struct Statement::Lite {
    sqlite3* db = nullptr;
    sqlite3_stmt* st = nullptr;
    QByteArray sql;
    bool row = false;      // a row is there to read
    bool pending = false;  // the run stepped onto the first row; next() hands it out
    int changes = 0;
    qint64 rowid = 0;
    QSqlError error;
    QMetaObject::Connection closing;
    std::vector<QByteArray> texts;  // the bound texts, until the bindings are cleared

    ~Lite() {
        QObject::disconnect(closing);
        if (st) sqlite3_finalize(st);
    }

    // In the words Qt's plugin gives, so that a failure reads alike on either road.
    QSqlError failure(const QString& what) const {
        return db ? dataset::sqliteError(db, what)
                  : QSqlError(what, QStringLiteral("a conexão foi fechada"),
                              QSqlError::StatementError, QString::number(SQLITE_MISUSE));
    }

    bool prepare() {
        if (st) return true;
        if (!db) {
            error = failure(QStringLiteral("Unable to execute statement"));
            return false;
        }
        if (sqlite3_prepare_v3(db, sql.constData(), int(sql.size()), SQLITE_PREPARE_PERSISTENT, &st,
                               nullptr) != SQLITE_OK) {
            error = failure(QStringLiteral("Unable to execute statement"));
            sqlite3_finalize(st);
            st = nullptr;
            return false;
        }
        return true;
    }

    // As Qt's plugin binds a value.
    int bind(int i, const QVariant& v) {
        if (v.isNull()) return sqlite3_bind_null(st, i);
        switch (v.metaType().id()) {
            case QMetaType::Bool:
            case QMetaType::Int:
            case QMetaType::UInt:
            case QMetaType::LongLong:
            case QMetaType::ULongLong:
            case QMetaType::Short:
            case QMetaType::UShort:
                return sqlite3_bind_int64(st, i, v.toLongLong());
            case QMetaType::Double:
            case QMetaType::Float:
                return sqlite3_bind_double(st, i, v.toDouble());
            case QMetaType::QByteArray: {
                const QByteArray b = v.toByteArray();
                return sqlite3_bind_blob(st, i, b.constData(), int(b.size()), SQLITE_TRANSIENT);
            }
            default:
                break;
        }
        const QString t = v.metaType().id() == QMetaType::QDateTime
                              ? v.toDateTime().toString(Qt::ISODateWithMs)
                          : v.metaType().id() == QMetaType::QTime
                              ? v.toTime().toString(QStringLiteral("hh:mm:ss.zzz"))
                              : v.toString();
        // As UTF-8, the database's own encoding, kept here until the run ends: no copy and no
        // conversion of SQLite's, a receipt's text being a good part of a sale.
        texts.push_back(t.toUtf8());
        return sqlite3_bind_text64(st, i, texts.back().constData(),
                                   sqlite3_uint64(texts.back().size()), SQLITE_STATIC, SQLITE_UTF8);
    }

    bool step() {
        const int r = sqlite3_step(st);
        row = r == SQLITE_ROW;
        if (r == SQLITE_ROW || r == SQLITE_DONE) {
            if (r == SQLITE_DONE) {
                changes = sqlite3_changes(db);
                rowid = sqlite3_last_insert_rowid(db);
            }
            return true;
        }
        error = failure(QStringLiteral("Unable to fetch row"));
        sqlite3_reset(st);
        return false;
    }

    bool run(const QVariantList& values) {
        finish();
        error = QSqlError();
        changes = 0;
        rowid = 0;
        if (!prepare()) return false;
        if (sqlite3_bind_parameter_count(st) != values.size()) {
            error = QSqlError(QStringLiteral("Parameter count mismatch"), QString(),
                              QSqlError::StatementError, QString::number(SQLITE_RANGE));
            return false;
        }
        texts.reserve(std::size_t(values.size()));
        for (int i = 0; i < values.size(); ++i)
            if (const int r = bind(i + 1, values.at(i)); r != SQLITE_OK) {
                error = failure(QStringLiteral("Unable to bind parameters"));
                return false;
            }
        if (!step()) return false;
        pending = row;
        return true;
    }

    void finish() {
        if (st) {
            sqlite3_reset(st);
            sqlite3_clear_bindings(st);
        }
        texts.clear();
        row = pending = false;
    }
};

Statement::Statement(platform::TADOConnection& connection, const QString& sql)
    : connection_(connection), q_(connection.database()) {
    q_.setForwardOnly(true);
    if (sqlite3* db = dataset::sqliteHandle(connection.database())) {
        lite_ = std::make_unique<Lite>();
        lite_->db = db;
        lite_->sql = sql.toUtf8();
        if (!lite_->prepare()) raiseDatabaseError(lite_->error);
        // A connection closing takes its handle with it: the statement goes first.
        lite_->closing =
            QObject::connect(&connection, &platform::TADOConnection::fechando, [l = lite_.get()] {
                if (l->st) sqlite3_finalize(l->st);
                l->st = nullptr;
                l->db = nullptr;
                l->row = l->pending = false;
            });
        return;
    }
    if (!q_.prepare(sql)) raiseDatabaseError(q_.lastError());
}

Statement::~Statement() {
    finish();
}

bool Statement::tryRun(const QVariantList& values) {
    if (lite_) return lite_->run(values);
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
        const QSqlError e = lastError();
        finish();
        raiseDatabaseError(e);
    }
    return *this;
}

bool Statement::next() {
    if (!lite_) return q_.next();
    Lite& l = *lite_;
    if (l.pending) {
        l.pending = false;
        return true;
    }
    return l.row && l.step() && l.row;
}

QVariant Statement::value(int i) const {
    if (!lite_) return q_.value(i);
    const Lite& l = *lite_;
    if (!l.st || !l.row || i < 0 || i >= sqlite3_column_count(l.st)) return QVariant();
    switch (sqlite3_column_type(l.st, i)) {
        case SQLITE_INTEGER:
            return QVariant(qlonglong(sqlite3_column_int64(l.st, i)));
        case SQLITE_FLOAT:
            return QVariant(sqlite3_column_double(l.st, i));
        case SQLITE_NULL:
            return QVariant();
        case SQLITE_BLOB:
            return QVariant(QByteArray(static_cast<const char*>(sqlite3_column_blob(l.st, i)),
                                       sqlite3_column_bytes(l.st, i)));
        default: {
            const auto* text = static_cast<const char16_t*>(sqlite3_column_text16(l.st, i));
            return QVariant(
                QString(reinterpret_cast<const QChar*>(text), sqlite3_column_bytes16(l.st, i) / 2));
        }
    }
}

std::optional<qint64> Statement::insertedRowid() const {
    if (!lite_) return std::nullopt;
    return lite_->rowid;
}

int Statement::rowsAffected() const {
    return lite_ ? lite_->changes : q_.numRowsAffected();
}

QSqlError Statement::lastError() const {
    return lite_ ? lite_->error : q_.lastError();
}

void Statement::finish() {
    if (lite_) {
        lite_->finish();
        return;
    }
    q_.finish();
    deadline_.reset();
}

}  // namespace Hul00002
