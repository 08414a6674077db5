#include "dataset/Provider.h"

#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>

#include <sqlite3.h>

#include <sql.h>
#include <sqlext.h>

#include <langinfo.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

#include "dataset/Table_p.h"

namespace dataset {

namespace {

// A result column as its source describes it.
struct SourceColumn {
    QString name;
    int type = QMetaType::QString;
    int length = -1;     // characters of text; -1 unknown
    int precision = -1;  // decimal places; -1 unknown
    bool required = false;
    bool readOnly = false;
};

// The one map from a source column to a packet field.
FieldDef defOf(const SourceColumn& c) {
    FieldDef d;
    d.name = c.name;
    switch (c.type) {
        case QMetaType::Int:
        case QMetaType::UInt:
            d.type = FieldType::Integer;
            break;
        case QMetaType::Short:
        case QMetaType::UShort:
        case QMetaType::SChar:
        case QMetaType::UChar:
            d.type = FieldType::SmallInt;
            break;
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
        case QMetaType::Long:
        case QMetaType::ULong:
            d.type = FieldType::LargeInt;
            break;
        case QMetaType::Double:
        case QMetaType::Float:
            d.type = c.precision > 0 ? FieldType::Bcd : FieldType::Float;
            break;
        case QMetaType::Bool:
            d.type = FieldType::Boolean;
            break;
        case QMetaType::QDate:
            d.type = FieldType::Date;
            break;
        case QMetaType::QTime:
            d.type = FieldType::Time;
            break;
        case QMetaType::QDateTime:
            d.type = FieldType::DateTime;
            break;
        case QMetaType::QByteArray:
            d.type = FieldType::Blob;
            break;
        default:
            d.type = FieldType::String;
            d.size = c.length > 0 && c.length < 65536 ? c.length : 0;
    }
    d.required = c.required;
    d.readOnly = c.readOnly;
    return d;
}

SourceColumn describe(const QSqlField& f) {
    return {f.name(),
            f.metaType().id(),
            f.length(),
            f.precision(),
            f.requiredStatus() == QSqlField::Required,
            f.isReadOnly()};
}

// SQLite gives a column's declared type as written in the schema ("VARCHAR(21)",
// "NUMERIC(12,2)"); read by its affinity, keeping width and scale.
SourceColumn describe(sqlite3_stmt* st, int col) {
    SourceColumn c;
    c.name = QString::fromUtf8(sqlite3_column_name(st, col));
    const char* decl = sqlite3_column_decltype(st, col);
    const QByteArray tipo = QByteArray(decl ? decl : "").toUpper();
    const int abre = tipo.indexOf('(');
    const int fecha = tipo.indexOf(')', abre);
    QList<QByteArray> medidas;
    if (abre >= 0 && fecha > abre) medidas = tipo.mid(abre + 1, fecha - abre - 1).split(',');
    const int primeira = medidas.value(0).trimmed().toInt();
    if (tipo.contains("INT")) {
        c.type = QMetaType::LongLong;
    } else if (tipo.startsWith("NUMERIC") || tipo.startsWith("DECIMAL")) {
        c.type = QMetaType::Double;
        c.precision = medidas.size() > 1 ? medidas.at(1).trimmed().toInt() : 0;
    } else if (tipo.contains("REAL") || tipo.contains("FLOA") || tipo.contains("DOUB")) {
        c.type = QMetaType::Double;
        c.precision = 0;
    } else if (tipo.startsWith("DATETIME") || tipo.startsWith("TIMESTAMP")) {
        c.type = QMetaType::QDateTime;
    } else if (tipo == "DATE") {
        c.type = QMetaType::QDate;
    } else if (tipo.contains("BLOB")) {
        c.type = QMetaType::QByteArray;
    } else {
        c.length = primeira;
    }
    return c;
}

// The packet's columns and the source column that feeds each.
void layout(int count, const std::function<SourceColumn(int)>& source, const FieldDefs& persistent,
            FieldDefs& defs, std::vector<int>& from) {
    if (persistent.isEmpty()) {
        for (int i = 0; i < count; ++i) {
            defs.append(defOf(source(i)));
            from.push_back(i);
        }
        return;
    }
    std::vector<QString> names;
    for (int i = 0; i < count; ++i) names.push_back(source(i).name);
    for (const FieldDef& p : persistent) {
        int found = -1;
        for (int i = 0; i < count && found < 0; ++i)
            if (names[std::size_t(i)].compare(p.name, Qt::CaseInsensitive) == 0) found = i;
        if (found < 0)
            throw DataSetError(
                QStringLiteral("Campo '%1' não encontrado na consulta.").arg(p.name));
        defs.append(p);
        from.push_back(found);
    }
}

[[noreturn]] void fetchFailed(const QString& why) {
    throw DataSetError(QStringLiteral("Falha ao ler o resultado da consulta: %1").arg(why));
}

void readRow(const QSqlQuery& query, DataPacket::Builder& b, const FieldDefs& defs,
             const std::vector<int>& from) {
    for (int c = 0; c < defs.size(); ++c) {
        const QVariant v = query.value(from[std::size_t(c)]);
        if (v.isNull()) continue;
        // Text straight into the column: the common case, and the one worth no conversion.
        if (defs[c].isText() && v.metaType().id() == QMetaType::QString) {
            b.setText(c, v.toString());
        } else {
            b.setValue(c, v);
        }
    }
}

}  // namespace

DataPacket packetFromQuery(QSqlQuery& query, const FieldDefs& persistent) {
    if (!query.isActive()) throw DataSetError(QStringLiteral("A consulta não está aberta."));
    const QSqlRecord rec = query.record();
    FieldDefs defs;
    std::vector<int> from;
    layout(
        rec.count(), [&rec](int i) { return describe(rec.field(i)); }, persistent, defs, from);
    DataPacket::Builder b(defs);
    if (query.at() != QSql::BeforeFirstRow && query.isValid()) {
        // Already on a row (someone called first()): take it too.
        b.appendRow();
        readRow(query, b, defs, from);
    }
    while (query.next()) {
        b.appendRow();
        readRow(query, b, defs, from);
    }
    // next() also ends on a failed fetch; finish() would clear that error and the rows read so
    // far would pass for the whole result.
    const QSqlError erro = query.lastError();
    query.finish();
    if (erro.isValid()) fetchFailed(erro.text());
    return b.finish();
}

DataPacket packetFromStatement(sqlite3_stmt* st, const FieldDefs& persistent, int expectedRows) {
    FieldDefs defs;
    std::vector<int> from;
    layout(
        sqlite3_column_count(st), [st](int i) { return describe(st, i); }, persistent, defs, from);
    std::vector<bool> text;
    for (const FieldDef& d : defs) text.push_back(d.isText());
    // Straight into the packet's columns, a row at a time: no value goes through a QVariant
    // unless it needs converting. Values go by their own type, as QSqlQuery hands them over:
    // a number in a text field reads as the packet writes numbers, whichever road it came.
    auto t = std::make_shared<detail::Table>();
    t->fields = defs;
    std::vector<detail::Column*> cols;
    for (const FieldDef& d : defs) {
        t->cols.push_back(std::make_shared<detail::Column>(detail::storageOf(d.type)));
        cols.push_back(t->cols.back().get());
        if (expectedRows > 0) cols.back()->reserve(std::size_t(expectedRows));
    }
    const int n = int(defs.size());
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
        const int row = t->rows++;
        for (int f = 0; f < n; ++f) {
            detail::Column& col = *cols[std::size_t(f)];
            // One call into the statement per value; the value itself is then read directly,
            // which is safe as long as the statement is stepped on this thread only.
            sqlite3_value* v = sqlite3_column_value(st, from[std::size_t(f)]);
            const int type = sqlite3_value_type(v);
            if (type == SQLITE_TEXT && text[std::size_t(f)]) {
                // As a blob: the same UTF-8 bytes, without the copy SQLite makes to end them
                // with a NUL.
                const auto* p = static_cast<const char*>(sqlite3_value_blob(v));
                const int len = sqlite3_value_bytes(v);
                if (col.appendUtf8(p ? p : "", std::size_t(len))) continue;
                col.appendNull();
                // Malformed: Qt's decoding marks the bad bytes.
                col.setText(std::size_t(row), QString::fromUtf8(p, len));
                continue;
            }
            col.appendNull();
            switch (type) {
                case SQLITE_NULL:
                    break;
                case SQLITE_TEXT: {
                    // A date, or a number kept as text: the packet's one conversion.
                    const auto* p = static_cast<const char*>(sqlite3_value_blob(v));
                    t->set(row, f, QString::fromUtf8(p, sqlite3_value_bytes(v)));
                    break;
                }
                case SQLITE_INTEGER:
                    if (col.storage == detail::Storage::Int &&
                        detail::kindOf(defs[f].type) == detail::Kind::Integer)
                        col.setInt(std::size_t(row), sqlite3_value_int64(v));
                    else
                        t->set(row, f, QVariant(qint64(sqlite3_value_int64(v))));
                    break;
                case SQLITE_FLOAT:
                    if (col.storage == detail::Storage::Real)
                        col.setReal(std::size_t(row), sqlite3_value_double(v));
                    else
                        t->set(row, f, QVariant(sqlite3_value_double(v)));
                    break;
                default: {
                    const QByteArray b(static_cast<const char*>(sqlite3_value_blob(v)),
                                       sqlite3_value_bytes(v));
                    if (col.storage == detail::Storage::Bytes)
                        col.setBytes(std::size_t(row), b.constData(), std::size_t(b.size()));
                    else
                        t->set(row, f, QVariant(b));
                }
            }
        }
    }
    if (rc != SQLITE_DONE) {
        const QString why = QString::fromUtf8(sqlite3_errmsg(sqlite3_db_handle(st)));
        sqlite3_reset(st);
        fetchFailed(why);
    }
    sqlite3_reset(st);
    return DataPacket(std::shared_ptr<const detail::Table>(std::move(t)));
}

// ---------------------------------------------------------------- ODBC

namespace {

static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "the driver manager's wide text is UTF-16");

QStringView wideView(const SQLWCHAR* p, std::size_t units) {
    return QStringView(reinterpret_cast<const char16_t*>(p), qsizetype(units));
}

// How Qt's ODBC driver types a column, so that a packet reads alike through either.
int metaTypeOf(SQLSMALLINT sqlType, bool isSigned) {
    switch (sqlType) {
        case SQL_DECIMAL:
        case SQL_NUMERIC:
        case SQL_REAL:
        case SQL_FLOAT:
        case SQL_DOUBLE:
            return QMetaType::Double;
        case SQL_SMALLINT:
        case SQL_INTEGER:
        case SQL_BIT:
            return isSigned ? QMetaType::Int : QMetaType::UInt;
        case SQL_TINYINT:
            return QMetaType::UInt;
        case SQL_BIGINT:
            return isSigned ? QMetaType::LongLong : QMetaType::ULongLong;
        case SQL_BINARY:
        case SQL_VARBINARY:
        case SQL_LONGVARBINARY:
            return QMetaType::QByteArray;
        case SQL_DATE:
        case SQL_TYPE_DATE:
            return QMetaType::QDate;
        case SQL_TIME:
        case SQL_TYPE_TIME:
            return QMetaType::QTime;
        case SQL_TIMESTAMP:
        case SQL_TYPE_TIMESTAMP:
            return QMetaType::QDateTime;
        case SQL_WCHAR:
        case SQL_WVARCHAR:
        case SQL_WLONGVARCHAR:
        case SQL_CHAR:
        case SQL_VARCHAR:
        case SQL_LONGVARCHAR:
        case SQL_GUID:
            return QMetaType::QString;
        default:
            return QMetaType::QByteArray;
    }
}

SourceColumn describe(SQLHSTMT st, SQLUSMALLINT col) {
    SQLWCHAR name[256] = {};
    SQLSMALLINT nameLength = 0, type = 0, scale = 0, nullable = SQL_NULLABLE_UNKNOWN;
    SQLULEN size = 0;
    if (!SQL_SUCCEEDED(SQLDescribeColW(st, col, name, SQLSMALLINT(std::size(name)), &nameLength,
                                       &type, &size, &scale, &nullable)))
        fetchFailed(odbcDiagnostics(SQL_HANDLE_STMT, st));
    SQLLEN unsignedFlag = SQL_FALSE;
    SQLColAttributeW(st, col, SQL_DESC_UNSIGNED, nullptr, 0, nullptr, &unsignedFlag);
    SourceColumn c;
    const auto chars = std::clamp<SQLSMALLINT>(nameLength, 0, SQLSMALLINT(std::size(name) - 1));
    c.name = wideView(name, std::size_t(chars)).toString();
    c.type = metaTypeOf(type, unsignedFlag == SQL_FALSE);
    c.length = size == 0 || size > SQLULEN(INT32_MAX) ? -1 : int(size);
    c.precision = scale == 0 ? -1 : int(scale);
    c.required = nullable == SQL_NO_NULLS;
    return c;
}

// A text is bound this wide at most; a longer one is read on its own once its block is in.
constexpr int kBoundChars = 256;
// About how much memory one block of rows may take.
constexpr std::size_t kBlockBytes = 1 << 20;
constexpr SQLULEN kMaxBlockRows = 1000;

// One packet column and the array its source column is fetched into.
struct BoundColumn {
    int field = 0;
    SQLUSMALLINT source = 0;  // 1-based, as ODBC counts
    int meta = QMetaType::QString;
    SQLSMALLINT cType = SQL_C_WCHAR;
    SQLLEN width = 0;  // bytes per row
    std::unique_ptr<char[]> data;
    std::vector<SQLLEN> indicator;
};

void planColumn(BoundColumn& b, const SourceColumn& src, const FieldDef& def, bool utf8) {
    b.meta = src.type;
    switch (src.type) {
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
            b.cType = SQL_C_SBIGINT;
            b.width = sizeof(SQLBIGINT);
            return;
        case QMetaType::Double:
            b.cType = SQL_C_DOUBLE;
            b.width = sizeof(SQLDOUBLE);
            return;
        case QMetaType::QDate:
            b.cType = SQL_C_TYPE_DATE;
            b.width = sizeof(SQL_DATE_STRUCT);
            return;
        case QMetaType::QTime:
            b.cType = SQL_C_TYPE_TIME;
            b.width = sizeof(SQL_TIME_STRUCT);
            return;
        case QMetaType::QDateTime:
            b.cType = SQL_C_TYPE_TIMESTAMP;
            b.width = sizeof(SQL_TIMESTAMP_STRUCT);
            return;
        default:
            break;
    }
    // As wide as the column or the packet's field, whichever is narrower.
    int chars = kBoundChars;
    if (src.length > 0) chars = std::min(chars, src.length);
    if (def.isText() && def.size > 0) chars = std::min(chars, def.size);
    if (src.type == QMetaType::QByteArray) {
        b.cType = SQL_C_BINARY;
        b.width = SQLLEN(chars);
    } else if (utf8) {
        // The drivers give 8-bit text in the locale's character set, and converting to UTF-16
        // costs them more than the rest of the read: UTF-8 straight into the column when that
        // is the locale's. A character takes up to four bytes, and one more ends the text.
        b.cType = SQL_C_CHAR;
        b.width = SQLLEN(4 * chars + 1);
    } else {
        // UTF-16: a character of a server may take two units (outside the BMP).
        b.cType = SQL_C_WCHAR;
        b.width = SQLLEN((2 * chars + 1) * sizeof(SQLWCHAR));
    }
}

// Whether the drivers' 8-bit text is UTF-8 here: the locale's character set (Qt sets the
// locale from the environment when the application starts).
bool localeIsUtf8() {
    const char* codeset = nl_langinfo(CODESET);
    return codeset && (qstrcmp(codeset, "UTF-8") == 0 || qstrcmp(codeset, "utf8") == 0);
}

// Stores one fetched value, already known to fit its array, in the packet's column; false
// when 8-bit text is no UTF-8 after all.
bool store(detail::Table& t, detail::Column& col, int row, const BoundColumn& b,
           const FieldDef& def, const char* p, SQLLEN ind) {
    switch (b.cType) {
        case SQL_C_CHAR:
            if (col.storage == detail::Storage::Text)
                return col.setUtf8(std::size_t(row), p, std::size_t(ind));
            t.set(row, b.field, QString::fromUtf8(p, qsizetype(ind)));
            return true;
        case SQL_C_WCHAR: {
            const QStringView text =
                wideView(reinterpret_cast<const SQLWCHAR*>(p), std::size_t(ind) / sizeof(SQLWCHAR));
            if (col.storage == detail::Storage::Text)
                col.setText(std::size_t(row), text);
            else  // a date, or a number kept as text: the packet's one conversion
                t.set(row, b.field, text.toString());
            return true;
        }
        case SQL_C_BINARY:
            t.set(row, b.field, QVariant(QByteArray(p, qsizetype(ind))));
            return true;
        case SQL_C_SBIGINT: {
            SQLBIGINT v;
            std::memcpy(&v, p, sizeof v);
            if (col.storage == detail::Storage::Int &&
                detail::kindOf(def.type) == detail::Kind::Integer)
                col.setInt(std::size_t(row), v);
            else
                t.set(row, b.field, QVariant(qint64(v)));
            return true;
        }
        case SQL_C_DOUBLE: {
            SQLDOUBLE v;
            std::memcpy(&v, p, sizeof v);
            if (col.storage == detail::Storage::Real)
                col.setReal(std::size_t(row), v);
            else
                t.set(row, b.field, QVariant(double(v)));
            return true;
        }
        case SQL_C_TYPE_DATE: {
            SQL_DATE_STRUCT d;
            std::memcpy(&d, p, sizeof d);
            t.set(row, b.field, QVariant(QDate(d.year, d.month, d.day)));
            return true;
        }
        case SQL_C_TYPE_TIME: {
            SQL_TIME_STRUCT h;
            std::memcpy(&h, p, sizeof h);
            t.set(row, b.field, QVariant(QTime(h.hour, h.minute, h.second)));
            return true;
        }
        case SQL_C_TYPE_TIMESTAMP: {
            SQL_TIMESTAMP_STRUCT d;
            std::memcpy(&d, p, sizeof d);
            t.set(
                row, b.field,
                QVariant(QDateTime(QDate(d.year, d.month, d.day),
                                   QTime(d.hour, d.minute, d.second, int(d.fraction / 1000000)))));
            return true;
        }
        default:
            return true;
    }
}

// The bytes a value needs in its array when it did not fit: what the driver says it has
// (with room for the end of a text), or twice the array when it does not say.
SQLLEN widthNeeded(const BoundColumn& b, SQLLEN ind) {
    const SQLLEN ends = b.cType == SQL_C_WCHAR  ? SQLLEN(sizeof(SQLWCHAR))
                        : b.cType == SQL_C_CHAR ? 1
                                                : 0;
    if (ind == SQL_NULL_DATA || (ind != SQL_NO_TOTAL && ind <= b.width - ends)) return 0;
    if (ind == SQL_NO_TOTAL) return 2 * b.width;
    return std::max(ind + ends, b.width + b.width / 2);
}

// Unbinds and closes the cursor whichever way the reading ends, so that the statement is as
// the caller had it and no buffer of ours stays bound to it.
struct OdbcReading {
    SQLHSTMT st;
    ~OdbcReading() {
        SQLFreeStmt(st, SQL_UNBIND);
        SQLSetStmtAttr(st, SQL_ATTR_ROW_STATUS_PTR, nullptr, 0);
        SQLSetStmtAttr(st, SQL_ATTR_ROWS_FETCHED_PTR, nullptr, 0);
        SQLSetStmtAttr(st, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(SQLULEN(1)), 0);
        SQLFreeStmt(st, SQL_CLOSE);
    }
};

}  // namespace

QString odbcDiagnostics(short handleType, void* handle, QString* nativeCode) {
    QString text;
    for (SQLSMALLINT i = 1;; ++i) {
        SQLWCHAR state[6] = {};
        SQLINTEGER native = 0;
        SQLSMALLINT length = 0;
        if (!SQL_SUCCEEDED(
                SQLGetDiagRecW(handleType, handle, i, state, &native, nullptr, 0, &length)))
            break;
        std::vector<SQLWCHAR> message(std::size_t(length) + 1);
        if (!SQL_SUCCEEDED(SQLGetDiagRecW(handleType, handle, i, state, &native, message.data(),
                                          SQLSMALLINT(message.size()), &length)))
            break;
        const QString one =
            wideView(message.data(), std::min<std::size_t>(std::size_t(length), message.size() - 1))
                .toString()
                .trimmed();
        if (!one.isEmpty() && !text.contains(one)) {
            if (!text.isEmpty()) text += QLatin1Char(' ');
            text += one;
        }
        if (nativeCode) *nativeCode = QString::number(native);
    }
    return text.simplified();
}

DataPacket packetFromOdbc(void* statement, const FieldDefs& persistent, int expectedRows) {
    auto* st = static_cast<SQLHSTMT>(statement);
    OdbcReading reading{st};
    SQLSMALLINT count = 0;
    if (!SQL_SUCCEEDED(SQLNumResultCols(st, &count)))
        fetchFailed(odbcDiagnostics(SQL_HANDLE_STMT, st));
    std::vector<SourceColumn> sources;
    for (SQLSMALLINT i = 1; i <= count; ++i) sources.push_back(describe(st, SQLUSMALLINT(i)));
    FieldDefs defs;
    std::vector<int> from;
    layout(
        count, [&sources](int i) { return sources[std::size_t(i)]; }, persistent, defs, from);
    const bool utf8 = localeIsUtf8();
    std::vector<BoundColumn> bound(std::size_t(defs.size()));
    for (int f = 0; f < defs.size(); ++f) {
        BoundColumn& b = bound[std::size_t(f)];
        b.field = f;
        b.source = SQLUSMALLINT(from[std::size_t(f)] + 1);
        planColumn(b, sources[std::size_t(from[std::size_t(f)])], defs[f], utf8);
    }

    // A value wider than its array (a server that does not hold to the declared width, a long
    // text), or 8-bit text that is no UTF-8, makes the statement run again with arrays that
    // fit what was seen, so that every value is read whole and right through any driver.
    for (;;) {
        auto t = std::make_shared<detail::Table>();
        t->fields = defs;
        for (const FieldDef& d : defs) {
            t->cols.push_back(std::make_shared<detail::Column>(detail::storageOf(d.type)));
            if (expectedRows > 0) t->cols.back()->reserve(std::size_t(expectedRows));
        }
        if (count == 0) return DataPacket(std::shared_ptr<const detail::Table>(std::move(t)));

        std::size_t rowBytes = 0;
        for (const BoundColumn& b : bound) rowBytes += std::size_t(b.width) + sizeof(SQLLEN);
        SQLULEN rows = std::clamp<SQLULEN>(kBlockBytes / rowBytes, 1, kMaxBlockRows);
        if (expectedRows > 0) rows = std::min<SQLULEN>(rows, SQLULEN(expectedRows) + 1);
        SQLSetStmtAttr(st, SQL_ATTR_ROW_BIND_TYPE,
                       reinterpret_cast<SQLPOINTER>(SQLULEN(SQL_BIND_BY_COLUMN)), 0);
        SQLSetStmtAttr(st, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(rows), 0);
        // A driver may take a smaller block than asked: it says which.
        SQLULEN taken = 0;
        if (!SQL_SUCCEEDED(SQLGetStmtAttr(st, SQL_ATTR_ROW_ARRAY_SIZE, &taken, 0, nullptr)) ||
            taken == 0 || taken > rows)
            taken = 1;
        rows = taken;
        SQLULEN fetched = 0;
        std::vector<SQLUSMALLINT> status(rows, SQL_ROW_NOROW);
        SQLSetStmtAttr(st, SQL_ATTR_ROWS_FETCHED_PTR, &fetched, 0);
        SQLSetStmtAttr(st, SQL_ATTR_ROW_STATUS_PTR, status.data(), 0);
        for (BoundColumn& b : bound) {
            b.data.reset(new char[std::size_t(b.width) * rows]);
            b.indicator.assign(rows, 0);
            if (!SQL_SUCCEEDED(
                    SQLBindCol(st, b.source, b.cType, b.data.get(), b.width, b.indicator.data())))
                fetchFailed(odbcDiagnostics(SQL_HANDLE_STMT, st));
        }

        bool widened = false;
        while (!widened) {
            fetched = 0;
            const SQLRETURN r = SQLFetchScroll(st, SQL_FETCH_NEXT, 0);
            if (r == SQL_NO_DATA) break;
            if (!SQL_SUCCEEDED(r)) fetchFailed(odbcDiagnostics(SQL_HANDLE_STMT, st));
            // Not every driver says SQL_SUCCESS_WITH_INFO when it cuts a value.
            for (BoundColumn& b : bound) {
                if (b.cType != SQL_C_WCHAR && b.cType != SQL_C_CHAR && b.cType != SQL_C_BINARY)
                    continue;
                SQLLEN width = 0;
                for (SQLULEN i = 0; i < fetched; ++i)
                    if (status[i] != SQL_ROW_NOROW)
                        width = std::max(width, widthNeeded(b, b.indicator[i]));
                if (width > 0) {
                    b.width = width;
                    widened = true;
                }
            }
            if (widened) break;
            for (SQLULEN i = 0; i < fetched && !widened; ++i) {
                if (status[i] == SQL_ROW_ERROR) fetchFailed(odbcDiagnostics(SQL_HANDLE_STMT, st));
                if (status[i] == SQL_ROW_NOROW) continue;
                const int row = t->rows++;
                for (BoundColumn& b : bound) {
                    detail::Column& col = *t->cols[std::size_t(b.field)];
                    col.appendNull();
                    const SQLLEN ind = b.indicator[i];
                    if (ind == SQL_NULL_DATA) continue;
                    if (store(*t, col, row, b, defs[b.field],
                              b.data.get() + std::size_t(b.width) * i, ind))
                        continue;
                    // No UTF-8, whatever the locale says: this column is read as UTF-16.
                    b.cType = SQL_C_WCHAR;
                    b.width = (b.width + 1) * SQLLEN(sizeof(SQLWCHAR));
                    widened = true;
                }
            }
        }
        if (!widened) return DataPacket(std::shared_ptr<const detail::Table>(std::move(t)));
        SQLFreeStmt(st, SQL_UNBIND);
        SQLFreeStmt(st, SQL_CLOSE);
        const SQLRETURN again = SQLExecute(st);
        if (!SQL_SUCCEEDED(again) && again != SQL_NO_DATA)
            fetchFailed(odbcDiagnostics(SQL_HANDLE_STMT, st));
    }
}

}  // namespace dataset
