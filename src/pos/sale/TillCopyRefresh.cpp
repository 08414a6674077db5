#include "pos/sale/TillCopyRefresh.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>

#include <QSqlDriver>

#include <sqlite3.h>

#include <sql.h>
#include <sqlext.h>

#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "dataset/Provider.h"
#include "dataset/SqliteHandle.h"
#include "platform/Platform.h"
#include "platform/Registro.h"
#include "platform/StatementDeadline.h"
#include "platform/TADOConnection.h"
#include "platform/Transacao.h"
#include "pos/sale/CatchUp.h"
#include "pos/sale/OfflineSales.h"
#include "pos/sale/Statement.h"
#include "textorder/ColacaoPtBr.h"

namespace Hul00002 {

namespace {

const char* const kJournals[] = {"-wal", "-shm", "-journal"};

// A connection of our own to the copy: read-only to look at it, read-write to write it.
std::unique_ptr<platform::TADOConnection> openCopy(const QString& path, bool write) {
    auto c = std::make_unique<platform::TADOConnection>();
    c->setReadOnly(!write);
    c->setConnectionString(path);
    c->setConnected(true);
    if (sqlite3* db = dataset::sqliteHandle(c->database())) textorder::registraPtBrSobDemanda(db);
    // A refresh rewrites every consumer: room for the tables and the sorts of their indexes.
    if (write) QSqlQuery(c->database()).exec(QStringLiteral("PRAGMA cache_size = -65536"));
    return c;
}

// The ODBC connection handle (SQLHDBC) under Qt's driver; null on any other driver.
void* odbcHandle(const platform::TADOConnection& c) {
    if (c.driverName() != QLatin1String("QODBC")) return nullptr;
    const QSqlDatabase db = c.database();
    const QVariant h = db.driver() ? db.driver()->handle() : QVariant();
    if (!h.isValid() || qstrcmp(h.typeName(), "void*") != 0) return nullptr;
    return *static_cast<void* const*>(h.constData());
}

struct FreeOdbcStatement {
    void operator()(void* st) const { SQLFreeHandle(SQL_HANDLE_STMT, st); }
};

platform::DatabaseError odbcError(short type, void* handle) {
    QString code;
    QString text = dataset::odbcDiagnostics(type, handle, &code);
    if (text.isEmpty()) text = QStringLiteral("o driver não informou o motivo.");
    return platform::DatabaseError(text, code);
}

// Through ODBC, Qt's driver asks for a value per call; a statement of our own on the
// connection's handle fetches the rows in blocks instead (texts bound as UTF-16, times as
// timestamps, numbers as 64-bit integers).
dataset::DataPacket readOdbc(const platform::TADOConnection& c, void* dbc, const QString& sql,
                             const QVariantList& values) {
    SQLHSTMT raw = nullptr;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &raw)))
        throw odbcError(SQL_HANDLE_DBC, dbc);
    const std::unique_ptr<void, FreeOdbcStatement> st(raw);
    struct Bound {
        QString text;
        SQL_TIMESTAMP_STRUCT when{};
        SQLBIGINT number = 0;
        SQLLEN length = 0;
    };
    std::vector<Bound> bound(std::size_t(values.size()));  // bound by address: never resized
    for (qsizetype i = 0; i < values.size(); ++i) {
        Bound& b = bound[std::size_t(i)];
        const QVariant& v = values[i];
        const auto n = SQLUSMALLINT(i + 1);
        SQLRETURN r;
        if (v.userType() == QMetaType::QDateTime) {
            const QDateTime d = v.toDateTime();
            b.when.year = SQLSMALLINT(d.date().year());
            b.when.month = SQLUSMALLINT(d.date().month());
            b.when.day = SQLUSMALLINT(d.date().day());
            b.when.hour = SQLUSMALLINT(d.time().hour());
            b.when.minute = SQLUSMALLINT(d.time().minute());
            b.when.second = SQLUSMALLINT(d.time().second());
            b.length = sizeof b.when;
            r = SQLBindParameter(st.get(), n, SQL_PARAM_INPUT, SQL_C_TYPE_TIMESTAMP,
                                 SQL_TYPE_TIMESTAMP, 23, 3, &b.when, sizeof b.when, &b.length);
        } else if (v.userType() == QMetaType::LongLong || v.userType() == QMetaType::Int) {
            b.number = v.toLongLong();
            b.length = sizeof b.number;
            r = SQLBindParameter(st.get(), n, SQL_PARAM_INPUT, SQL_C_SBIGINT, SQL_BIGINT, 0, 0,
                                 &b.number, sizeof b.number, &b.length);
        } else {
            b.text = v.toString();
            b.length = SQLLEN(b.text.size()) * SQLLEN(sizeof(SQLWCHAR));
            r = SQLBindParameter(
                st.get(), n, SQL_PARAM_INPUT, SQL_C_WCHAR, SQL_WVARCHAR,
                SQLULEN(std::max<qsizetype>(b.text.size(), 1)), 0,
                const_cast<char16_t*>(reinterpret_cast<const char16_t*>(b.text.utf16())), b.length,
                &b.length);
        }
        if (!SQL_SUCCEEDED(r)) throw odbcError(SQL_HANDLE_STMT, st.get());
    }
    // Disarmed before the statement is freed: the watchdog may cancel it until then.
    const platform::StatementDeadline deadline(c, st.get());
    SQLRETURN r =
        SQLPrepareW(st.get(), const_cast<SQLWCHAR*>(reinterpret_cast<const SQLWCHAR*>(sql.utf16())),
                    SQLINTEGER(sql.size()));
    if (SQL_SUCCEEDED(r)) r = SQLExecute(st.get());
    if (!SQL_SUCCEEDED(r) && r != SQL_NO_DATA) {
        if (deadline.expired()) throw deadline.timeoutError();
        throw odbcError(SQL_HANDLE_STMT, st.get());
    }
    try {
        return dataset::packetFromOdbc(st.get());
    } catch (...) {
        if (deadline.expired()) throw deadline.timeoutError();
        throw;
    }
}

// A server's rows, one at a time: through Qt's driver, or read whole in blocks through ODBC.
class ServerRows {
public:
    ServerRows(platform::TADOConnection& server, const QString& sql, const QVariantList& values) {
        if (void* dbc = odbcHandle(server)) {
            packet_ = readOdbc(server, dbc, sql, values);
        } else {
            statement_ = std::make_unique<Statement>(server, sql);
            statement_->run(values);
        }
    }
    bool next() { return statement_ ? statement_->next() : ++row_ < packet_.rowCount(); }
    QVariant value(int i) const {
        return statement_ ? statement_->value(i) : packet_.value(row_, i);
    }
    void finish() {
        if (statement_) statement_->finish();
    }

private:
    std::unique_ptr<Statement> statement_;
    dataset::DataPacket packet_;
    int row_ = -1;
};

// One prepared insert into a copy's table, fed from a server's row. On the handle of Qt's
// driver when it is ours (a hundred thousand rows in a fraction of a second), else through Qt.
class CopyInsert {
public:
    CopyInsert(platform::TADOConnection& copy, const QString& table, const QStringList& columns)
        : q_(copy.database()), columns_(int(columns.size())) {
        QStringList marks;
        for (int i = 0; i < columns_; ++i) marks << QStringLiteral("?");
        const QString sql =
            QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                .arg(table, columns.join(QLatin1Char(',')), marks.join(QLatin1Char(',')));
        db_ = dataset::sqliteHandle(copy.database());
        if (db_) {
            const QByteArray text = sql.toUtf8();
            if (sqlite3_prepare_v2(db_, text.constData(), int(text.size()), &st_, nullptr) !=
                SQLITE_OK)
                throw platform::DatabaseError(QString::fromUtf8(sqlite3_errmsg(db_)), QString());
        } else if (!q_.prepare(sql)) {
            raiseDatabaseError(q_.lastError());
        }
    }
    ~CopyInsert() {
        if (st_) sqlite3_finalize(st_);
    }
    CopyInsert(const CopyInsert&) = delete;
    CopyInsert& operator=(const CopyInsert&) = delete;

    // False when a unique index of the copy refused the row; raises on any other failure.
    bool put(const ServerRows& from) {
        if (!st_) return putQt(from);
        for (int i = 0; i < columns_; ++i) bind(i + 1, from.value(i));
        const int rc = sqlite3_step(st_);
        sqlite3_reset(st_);
        sqlite3_clear_bindings(st_);
        if (rc == SQLITE_DONE) return true;
        const int why = sqlite3_extended_errcode(db_);
        if (why == SQLITE_CONSTRAINT_UNIQUE || why == SQLITE_CONSTRAINT_PRIMARYKEY) return false;
        throw platform::DatabaseError(QString::fromUtf8(sqlite3_errmsg(db_)), QString::number(rc));
    }

private:
    // Times and days as the embedded database stores them; numbers of a server's decimal
    // columns may come as text, which the column's affinity turns back into numbers.
    static QVariant stored(const QVariant& v) {
        switch (v.metaType().id()) {
            case QMetaType::QDateTime:
                return v.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
            case QMetaType::QDate:
                return v.toDate().toString(QStringLiteral("yyyy-MM-dd"));
            default:
                return v;
        }
    }

    void bind(int i, const QVariant& raw) {
        if (raw.isNull()) {
            sqlite3_bind_null(st_, i);
            return;
        }
        const QVariant v = stored(raw);
        switch (v.metaType().id()) {
            case QMetaType::Int:
            case QMetaType::UInt:
            case QMetaType::LongLong:
            case QMetaType::ULongLong:
            case QMetaType::Short:
            case QMetaType::Bool:
                sqlite3_bind_int64(st_, i, v.toLongLong());
                return;
            case QMetaType::Double:
            case QMetaType::Float:
                sqlite3_bind_double(st_, i, v.toDouble());
                return;
            case QMetaType::QByteArray: {
                const QByteArray b = v.toByteArray();
                sqlite3_bind_blob64(st_, i, b.constData(), sqlite3_uint64(b.size()),
                                    SQLITE_TRANSIENT);
                return;
            }
            default: {
                const QByteArray t = v.toString().toUtf8();
                sqlite3_bind_text64(st_, i, t.constData(), sqlite3_uint64(t.size()),
                                    SQLITE_TRANSIENT, SQLITE_UTF8);
            }
        }
    }

    bool putQt(const ServerRows& from) {
        for (int i = 0; i < columns_; ++i) q_.bindValue(i, stored(from.value(i)));
        if (q_.exec()) return true;
        const int why = q_.lastError().nativeErrorCode().toInt();
        if (why == SQLITE_CONSTRAINT_UNIQUE || why == SQLITE_CONSTRAINT_PRIMARYKEY ||
            q_.lastError().databaseText().contains(QLatin1String("UNIQUE constraint")))
            return false;
        raiseDatabaseError(q_.lastError());
    }

    QSqlQuery q_;
    int columns_ = 0;
    sqlite3* db_ = nullptr;
    sqlite3_stmt* st_ = nullptr;
};

// A copy's table: its columns, and those of its primary key in their order.
struct Columns {
    QStringList all, key;
};

Columns columnsOf(platform::TADOConnection& copy, const QString& table) {
    QSqlQuery q(copy.database());
    if (!q.exec(QStringLiteral("PRAGMA table_info(%1)").arg(table)))
        raiseDatabaseError(q.lastError());
    Columns out;
    QMap<int, QString> key;
    while (q.next()) {
        out.all << q.value(1).toString();
        if (q.value(5).toInt() > 0) key.insert(q.value(5).toInt(), q.value(1).toString());
    }
    out.key = key.values();
    return out;
}

void exec(platform::TADOConnection& c, const QString& sql) {
    Statement(c, sql).run({});
}

// What of the server the copy holds: the table, which of its rows (a condition on the server,
// after WHERE, with the values it binds).
struct Part {
    const char* table;
    const char* where;
    enum Values { None, Branch, BranchTill, BranchTill2, BranchTillSince } values;
};

// Reference tables first; the till's sales (with their items and receipts) after them.
// clang-format off
const Part kParts[] = {
    {"FILIAL", "CDFILIAL = ?", Part::Branch},
    {"CAIXA", "CDFILIAL = ? AND CDCAIXA = ?", Part::BranchTill},
    {"CLIENFILIAL", "CDFILIAL = ?", Part::Branch},
    {"CLIENTE", "CDCLIENTE IN (SELECT CDCLIENTE FROM CLIENFILIAL WHERE CDFILIAL = ?)", Part::Branch},
    {"CONSUMIDOR", "CDCLIENTE IN (SELECT CDCLIENTE FROM CLIENFILIAL WHERE CDFILIAL = ?)",
     Part::Branch},
    {"TIPOCONS", nullptr, Part::None},
    {"SERVICO", nullptr, Part::None},
    {"SERVTURCAIXA", "CDFILIAL = ? AND CDCAIXA = ?", Part::BranchTill},
    {"PRODTURCAIXA", "CDFILIAL = ? AND CDCAIXA = ?", Part::BranchTill},
    {"PRODSERVTCON", "CDFILIAL = ? AND CDCAIXA = ?", Part::BranchTill},
    {"PRODUTO", "CDPRODUTO IN (SELECT CDPRODUTO FROM PRODTURCAIXA WHERE CDFILIAL = ? AND "
                "CDCAIXA = ?) OR CDPRODUTO IN (SELECT CDPRODUTO FROM PRODSERVTCON WHERE "
                "CDFILIAL = ? AND CDCAIXA = ?)", Part::BranchTill2},
    {"FECHACAIXA", "CDFILIAL = ? AND CDCAIXA = ?", Part::BranchTill},
};
// The till's sales of the recent days; their items and receipts are read by the range of
// their numbers, so that the server looks for the till's days once.
const Part kSales = {"VENDA", "CDFILIAL = ? AND CDCAIXA = ? AND DTHRREALCONCONS >= ?",
                     Part::BranchTillSince};
const char* const kOfSales[] = {"ITEMVENDA", "CUPOMVENDA"};
// clang-format on

struct Refresh {
    platform::TADOConnection& server;
    platform::TADOConnection& copy;
    QString branch, till;
    QVariant since;  // the start of the previous day, in the server's terms
    TillCopyRefreshResult result;
    QSet<qint64> sales;  // the server's sales the copy took
    qint64 first = 0, last = -1;

    QVariantList values(Part::Values v) const {
        switch (v) {
            case Part::None:
                return {};
            case Part::Branch:
                return {branch};
            case Part::BranchTill:
                return {branch, till};
            case Part::BranchTill2:
                return {branch, till, branch, till};
            case Part::BranchTillSince:
                return {branch, till, since};
        }
        return {};
    }

    // The server's rows of `table` that `where` (with `bound`) picks, in the copy's key order.
    // `keep` says which to write (null: all); `refused` hears of a row a unique index of the
    // copy refused (null: that is an error).
    void copyRows(const QString& table, const char* where, const QVariantList& bound,
                  const std::function<bool(const ServerRows&)>& keep,
                  const std::function<void(const ServerRows&)>& refused) {
        const Columns c = columnsOf(copy, table);
        QString sql = QStringLiteral("SELECT %1 FROM %2").arg(c.all.join(QLatin1Char(',')), table);
        if (where) sql += QStringLiteral(" WHERE ") + QString::fromLatin1(where);
        // In the key's order, the copy's key grows at its end instead of all over.
        if (!c.key.isEmpty()) sql += QStringLiteral(" ORDER BY ") + c.key.join(QLatin1Char(','));
        ServerRows from(server, sql, bound);
        CopyInsert into(copy, table, c.all);
        while (from.next()) {
            if (keep && !keep(from)) continue;
            if (into.put(from)) {
                ++result.rows;
            } else if (refused) {
                refused(from);
            } else {
                throw platform::DatabaseError(
                    QStringLiteral("linha repetida do servidor em %1").arg(table), QString());
            }
        }
        from.finish();
    }

    // A table's indexes: dropped before its rows are written and made again after, one sort
    // per index instead of a walk down its tree per row.
    QList<std::pair<QString, QString>> indexesOf(const QString& table) {
        Statement q(copy, QStringLiteral("SELECT name, sql FROM sqlite_master WHERE type = "
                                         "'index' AND tbl_name = ? AND sql IS NOT NULL"));
        q.run({table});
        QList<std::pair<QString, QString>> out;
        while (q.next()) out.append({q.value(0).toString(), q.value(1).toString()});
        q.finish();
        return out;
    }

    void reference(const Part& p) {
        const QString table = QString::fromLatin1(p.table);
        const auto indexes = indexesOf(table);
        for (const auto& [name, sql] : indexes)
            exec(copy, QStringLiteral("DROP INDEX %1").arg(name));
        exec(copy, QStringLiteral("DELETE FROM %1").arg(table));
        copyRows(table, p.where, values(p.values), nullptr, nullptr);
        for (const auto& [name, sql] : indexes) exec(copy, sql);
    }

    void recentSales() {
        // The server's sales give way; those kept on the till stay as they are.
        const QString below = QStringLiteral(" WHERE NRSEQVENDA < %1").arg(kOutboxFirstSale);
        for (const char* t : {"ITEMVENDA", "CUPOMVENDA", "VENDA"})
            exec(copy, QStringLiteral("DELETE FROM %1").arg(QString::fromLatin1(t)) + below);
        int seq = -1;
        copyRows(
            QStringLiteral("VENDA"), kSales.where, values(kSales.values),
            [&](const ServerRows& row) {
                if (seq < 0)
                    seq = int(columnsOf(copy, QStringLiteral("VENDA"))
                                  .all.indexOf(QStringLiteral("NRSEQVENDA")));
                const qint64 n = row.value(seq).toLongLong();
                sales.insert(n);
                first = sales.size() == 1 ? n : std::min(first, n);
                last = std::max(last, n);
                return true;
            },
            [&](const ServerRows& row) {
                // It met a sale kept on the till under a unique index: the catch-up reports it.
                sales.remove(row.value(seq).toLongLong());
                ++result.skippedSales;
            });
        if (sales.isEmpty()) return;
        for (const char* t : kOfSales) {
            const QString table = QString::fromLatin1(t);
            const int key = int(columnsOf(copy, table).all.indexOf(QStringLiteral("NRSEQVENDA")));
            copyRows(
                table, "NRSEQVENDA BETWEEN ? AND ?", {first, last},
                [&](const ServerRows& row) { return sales.contains(row.value(key).toLongLong()); },
                [](const ServerRows&) {});  // a receipt number the till's own holds
        }
    }

    // The till is the only writer of its numbers: the copy's never go back.
    void numbering() {
        Statement from(server, QStringLiteral("SELECT NRULTVENDA, NRULTCUPOM FROM NUMCAIXA WHERE "
                                              "CDFILIAL = ? AND CDCAIXA = ?"));
        from.run({branch, till});
        qint64 sale = 0, receipt = 0;
        bool any = false;
        if (from.next()) {
            sale = from.value(0).toLongLong();
            receipt = from.value(1).toLongLong();
            any = true;
        }
        from.finish();
        Statement mine(copy, QStringLiteral("SELECT NRULTVENDA, NRULTCUPOM FROM NUMCAIXA WHERE "
                                            "CDFILIAL = ? AND CDCAIXA = ?"));
        mine.run({branch, till});
        if (mine.next()) {
            sale = std::max(sale, mine.value(0).toLongLong());
            receipt = std::max(receipt, mine.value(1).toLongLong());
            any = true;
        }
        mine.finish();
        Statement(copy, QStringLiteral("DELETE FROM NUMCAIXA")).run({});
        if (any)
            Statement(copy, QStringLiteral("INSERT INTO NUMCAIXA (CDFILIAL, CDCAIXA, NRULTVENDA, "
                                           "NRULTCUPOM) VALUES (?, ?, ?, ?)"))
                .run({branch, till, sale, receipt});
    }

    void run() {
        for (const Part& p : kParts) reference(p);
        recentSales();
        numbering();
        Statement(copy, QStringLiteral("UPDATE COPIA SET DTHRCOPIA = ?"))
            .run({QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"))});
    }
};

QString nowStamp() {
    return QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
}

}  // namespace

QString TillCopyCheck::reason() const {
    switch (state) {
        case TillCopyState::Valid:
            return {};
        case TillCopyState::Missing:
            return QStringLiteral("não existe");
        case TillCopyState::Damaged:
            return QStringLiteral("está danificada");
        case TillCopyState::NotACopy:
            return QStringLiteral("não é uma cópia do caixa desta versão");
        case TillCopyState::OtherTill:
            return QStringLiteral("é de outra filial ou outro caixa (%1/%2)")
                .arg(info ? info->branch : QString(), info ? info->till : QString());
        case TillCopyState::OtherServer:
            return QStringLiteral("foi tirada de outro servidor");
    }
    return {};
}

TillCopyCheck checkTillCopy(const QString& path, const QString& branch, const QString& till,
                            const QString& server) {
    TillCopyCheck out;
    if (!QFileInfo(path).isFile()) return out;
    std::unique_ptr<platform::TADOConnection> c;
    try {
        c = openCopy(path, false);
    } catch (const std::exception&) {
        out.state = TillCopyState::Damaged;
        return out;
    }
    QSqlQuery q(c->database());
    if (!q.exec(QStringLiteral("PRAGMA quick_check")) || !q.next() ||
        q.value(0).toString() != QLatin1String("ok")) {
        out.state = TillCopyState::Damaged;
        return out;
    }
    q.finish();
    out.info = readTillCopyInfo(*c);
    if (!out.info)
        out.state = TillCopyState::NotACopy;
    else if (out.info->branch != branch || out.info->till != till)
        out.state = TillCopyState::OtherTill;
    else if (!server.isEmpty() && out.info->server != server)
        out.state = TillCopyState::OtherServer;
    else
        out.state = TillCopyState::Valid;
    return out;
}

QString setTillCopyAside(const QString& path, const QString& why) {
    const QFileInfo fi(path);
    QString base =
        fi.dir().filePath(fi.completeBaseName() + QStringLiteral("-posta-de-lado-") + nowStamp());
    QString target = base + QStringLiteral(".db");
    for (int n = 2; QFileInfo::exists(target); ++n) target = base + QStringLiteral("-%1.db").arg(n);
    bool moved = false;
    if (fi.exists()) {
        if (!QFile::rename(path, target))
            throw platform::Error(
                QStringLiteral("Não foi possível pôr de lado a cópia do caixa %1.").arg(path));
        moved = true;
    }
    // Its journals go with it: left behind they would be read into the next copy.
    for (const char* j : kJournals) {
        const QString from = path + QLatin1String(j);
        if (QFileInfo::exists(from)) {
            QFile::rename(from, target + QLatin1String(j));
            moved = true;
        }
    }
    if (!moved) return {};
    qCWarning(platform::lcBanco).noquote()
        << QStringLiteral("Cópia do caixa %1 posta de lado como %2: %3.").arg(path, target, why);
    return target;
}

TillCopyRefreshResult refreshTillCopy(const QString& serverString, const QString& branch,
                                      const QString& till, const QString& path) {
    const QString digest = serverDigest(serverString);
    platform::TADOConnection server;
    server.setConnectionString(serverString);
    server.setConnected(true);

    const QDate yesterday = platform::Hoje().addDays(-1);
    const QVariant since = server.dialeto() == platform::Dialeto::Sqlite
                               ? QVariant(yesterday.toString(QStringLiteral("yyyy-MM-dd")))
                               : QVariant(QDateTime(yesterday, QTime(0, 0)));

    TillCopyRefreshResult result;
    const TillCopyCheck check = checkTillCopy(path, branch, till, digest);
    if (check.state == TillCopyState::Valid) {
        auto copy = openCopy(path, true);
        Refresh r{server, *copy, branch, till, since, {}, {}, 0, -1};
        platform::Transacao t(*copy);
        r.run();
        t.commit();
        result = r.result;
    } else {
        if (check.state != TillCopyState::Missing)
            result.setAsidePath = setTillCopyAside(path, check.reason());
        else
            setTillCopyAside(path, QStringLiteral("restos de uma cópia que não existe mais"));
        // Made whole beside it, then renamed over it: no reader meets a half copy.
        const QString fresh = path + QStringLiteral(".nova");
        QFile::remove(fresh);  // an earlier attempt's, never a copy in use
        for (const char* j : kJournals) QFile::remove(fresh + QLatin1String(j));
        QDir().mkpath(QFileInfo(path).absolutePath());
        {
            QFile f(fresh);
            if (!f.open(QIODevice::WriteOnly))
                throw platform::Error(
                    QStringLiteral("Não foi possível criar a cópia do caixa %1.").arg(path));
        }
        {
            auto copy = openCopy(fresh, true);
            QSqlQuery(copy->database()).exec(QStringLiteral("PRAGMA journal_mode=WAL"));
            createTillCopy(*copy, {branch, till, digest, QDateTime::currentDateTime()});
            Refresh r{server, *copy, branch, till, since, {}, {}, 0, -1};
            platform::Transacao t(*copy);
            r.run();
            t.commit();
            result.rows = r.result.rows;
            result.skippedSales = r.result.skippedSales;
        }  // closed: its log is folded into the file
        if (!QFile::rename(fresh, path))
            throw platform::Error(
                QStringLiteral("Não foi possível criar a cópia do caixa %1.").arg(path));
    }
    qCInfo(platform::lcBanco).noquote()
        << QStringLiteral("Cópia do caixa %1/%2 atualizada: %3 linhas%4.")
               .arg(branch, till)
               .arg(result.rows)
               .arg(result.skippedSales
                        ? QStringLiteral(", %1 venda(s) do servidor iguais a vendas guardadas "
                                         "no caixa")
                              .arg(result.skippedSales)
                        : QString());
    return result;
}

// ---------------------------------------------------------------- the job

namespace {

struct Job {
    QString server, branch, till;
};

struct Sync {
    std::mutex mutex;
    std::condition_variable changed;
    std::optional<Job> next;
    bool running = false;
    bool worker = false;
    // The kept sales go first, so that the refresh brings them back as the server's.
    CatchUpStep catchUp = sendKeptSales;
};

Sync& sync() {
    static Sync* s = new Sync;  // the worker may outlive static destruction; never freed
    return *s;
}

void runJob(const Job& job, const CatchUpStep& catchUp) {
    const QString path = tillCopyPath();
    try {
        if (catchUp) catchUp(job.server, path);
    } catch (const std::exception& e) {
        qCWarning(platform::lcBanco).noquote()
            << QStringLiteral("Envio das vendas do caixa falhou: %1")
                   .arg(platform::TextoDaExcecao(std::current_exception(), QString(), nullptr));
        Q_UNUSED(e);
    }
    try {
        refreshTillCopy(job.server, job.branch, job.till, path);
    } catch (...) {
        const std::exception_ptr e = std::current_exception();
        qCWarning(platform::lcBanco).noquote()
            << QStringLiteral("Cópia do caixa não atualizada%1: %2")
                   .arg(serverAway(e) ? QStringLiteral(" (servidor fora)") : QString(),
                        platform::TextoDaExcecao(e, QStringLiteral("erro desconhecido"), nullptr));
    }
}

void workerLoop() {
    Sync& s = sync();
    std::unique_lock lock(s.mutex);
    while (s.next) {
        const Job job = *s.next;
        s.next.reset();
        s.running = true;
        const CatchUpStep catchUp = s.catchUp;
        lock.unlock();
        runJob(job, catchUp);
        lock.lock();
        s.running = false;
        s.changed.notify_all();
    }
    s.worker = false;
    s.changed.notify_all();
}

}  // namespace

void setCatchUpStep(CatchUpStep step) {
    std::lock_guard lock(sync().mutex);
    sync().catchUp = std::move(step);
}

void startTillSync(const QString& server, const QString& branch, const QString& till) {
    Sync& s = sync();
    std::lock_guard lock(s.mutex);
    s.next = Job{server, branch, till};
    if (s.worker) return;
    s.worker = true;
    std::thread(workerLoop).detach();
}

bool waitForTillSync(int ms) {
    Sync& s = sync();
    std::unique_lock lock(s.mutex);
    return s.changed.wait_for(lock, std::chrono::milliseconds(ms),
                              [&s] { return !s.worker && !s.next && !s.running; });
}

}  // namespace Hul00002
