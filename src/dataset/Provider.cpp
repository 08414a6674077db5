#include "dataset/Provider.h"

#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>

namespace dataset {

namespace {

FieldDef defOfSqlField(const QSqlField& f) {
    FieldDef d;
    d.name = f.name();
    switch (f.metaType().id()) {
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
            d.type = f.precision() > 0 ? FieldType::Bcd : FieldType::Float;
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
            d.size = f.length() > 0 && f.length() < 65536 ? f.length() : 0;
    }
    d.required = f.requiredStatus() == QSqlField::Required;
    d.readOnly = f.isReadOnly();
    return d;
}

void readRow(const QSqlQuery& query, DataPacket::Builder& b, const FieldDefs& defs,
             const QList<int>& source) {
    for (int c = 0; c < defs.size(); ++c) {
        const QVariant v = query.value(source[c]);
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
    QList<int> source;  // query column of each packet column
    if (persistent.isEmpty()) {
        for (int i = 0; i < rec.count(); ++i) {
            defs.append(defOfSqlField(rec.field(i)));
            source.append(i);
        }
    } else {
        for (const FieldDef& p : persistent) {
            const int i = rec.indexOf(p.name);
            if (i < 0)
                throw DataSetError(
                    QStringLiteral("Campo '%1' não encontrado na consulta.").arg(p.name));
            defs.append(p);
            source.append(i);
        }
    }
    DataPacket::Builder b(defs);
    if (query.at() != QSql::BeforeFirstRow && query.isValid()) {
        // Already on a row (someone called first()): take it too.
        b.appendRow();
        readRow(query, b, defs, source);
    }
    while (query.next()) {
        b.appendRow();
        readRow(query, b, defs, source);
    }
    // next() also ends on a failed fetch; finish() would clear that error and the rows read so
    // far would pass for the whole result.
    const QSqlError erro = query.lastError();
    query.finish();
    if (erro.isValid())
        throw DataSetError(
            QStringLiteral("Falha ao ler o resultado da consulta: %1").arg(erro.text()));
    return b.finish();
}

}  // namespace dataset
