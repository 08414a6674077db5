#include "pos/sale/HandOver.h"

#include "platform/Platform.h"

namespace Hul00002 {

namespace {

int indexOf(HandOverField f) {
    return static_cast<int>(f);
}

dataset::FieldDefs makeDefs() {
    using dataset::FieldDef;
    FieldDef day;
    day.name = QStringLiteral("DATAREAL");
    day.type = dataset::FieldType::DateTime;
    return {FieldDef::text(QStringLiteral("CDFILIAL"), 4),
            FieldDef::text(QStringLiteral("CDCAIXA"), 3),
            FieldDef::text(QStringLiteral("CDIDCONSUMID"), 21),
            FieldDef::text(QStringLiteral("CDCONSUMIDOR"), 21),
            FieldDef::text(QStringLiteral("NMCONSUMIDOR"), 50),
            FieldDef::text(QStringLiteral("CDCLIENTE"), 21),
            FieldDef::text(QStringLiteral("CDTIPOCONS"), 2),
            day,
            FieldDef::text(QStringLiteral("HORAREAL"), 4),
            FieldDef::text(QStringLiteral("NRSEQLOGCAT"), 10),
            FieldDef::text(QStringLiteral("NRSEQARQIMP"), 10)};
}

}  // namespace

const dataset::FieldDefs& handOverFieldDefs() {
    static const dataset::FieldDefs defs = makeDefs();
    return defs;
}

QString handOverFieldName(HandOverField f) {
    return handOverFieldDefs().at(indexOf(f)).name;
}

dataset::DataPacket buildHandOver(const QList<HandOverRecord>& records) {
    dataset::DataPacket::Builder b(handOverFieldDefs());
    for (const HandOverRecord& r : records) {
        b.appendRow();
        const QString texts[] = {r.branch, r.till,   r.badge,           r.consumer,
                                 r.name,   r.client, r.consumptionType, QString(),
                                 r.hour,   r.logSeq, r.fileSeq};
        for (int c = 0; c < kHandOverFieldCount; ++c)
            if (c != indexOf(HandOverField::Day)) b.setText(c, texts[c]);
        if (r.day.isValid())
            b.setDateTime(indexOf(HandOverField::Day), QDateTime(r.day, QTime(0, 0)));
    }
    return b.finish();
}

HandOver HandOver::read(const QVariant& v) {
    if (!dataset::isDataPacket(v))
        throw platform::Error(QStringLiteral(
            "A geração de vendas recebeu algo que não é um pacote de dados. Nenhuma venda foi "
            "gerada."));
    HandOver h;
    h.packet_ = dataset::packetFromVariant(v);
    QStringList missing;
    for (int c = 0; c < kHandOverFieldCount; ++c) {
        const QString name = handOverFieldDefs().at(c).name;
        h.columns_[c] = h.packet_.fieldIndex(name);
        if (h.columns_[c] < 0) missing << name;
    }
    if (!missing.isEmpty())
        throw platform::Error(
            QStringLiteral("O pacote de venda não tem %1 %2. Nenhuma venda foi gerada.")
                .arg(missing.size() == 1 ? QStringLiteral("o campo") : QStringLiteral("os campos"),
                     missing.join(QStringLiteral(", "))));
    const dataset::FieldType dayType =
        h.packet_.fields().at(h.columns_[indexOf(HandOverField::Day)]).type;
    if (dayType != dataset::FieldType::DateTime && dayType != dataset::FieldType::Date)
        throw platform::Error(QStringLiteral(
            "O campo DATAREAL do pacote de venda não é uma data. Nenhuma venda foi gerada."));
    // As a number, 0730 would read as 730 and could not be told from a mistyped hour.
    if (!h.packet_.fields().at(h.columns_[indexOf(HandOverField::Hour)]).isText())
        throw platform::Error(QStringLiteral(
            "O campo HORAREAL do pacote de venda não é um texto HHMM. Nenhuma venda foi gerada."));
    return h;
}

QString HandOver::text(int row, HandOverField f) const {
    return packet_.text(row, columns_[indexOf(f)]).trimmed();
}

QString HandOver::rawText(int row, HandOverField f) const {
    return packet_.text(row, columns_[indexOf(f)]);
}

QDate HandOver::day(int row) const {
    return packet_.day(row, columns_[indexOf(HandOverField::Day)]);
}

}  // namespace Hul00002
