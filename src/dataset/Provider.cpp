#include "dataset/Provider.h"

#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>

#include <sqlite3.h>

#include <functional>
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

}  // namespace dataset
