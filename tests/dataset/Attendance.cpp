#include "dataset/Attendance.h"

namespace testdata {

using namespace dataset;

FieldDefs attendanceFields() {
    return {FieldDef::text(QStringLiteral("CDFILIAL"), 4),
            FieldDef::text(QStringLiteral("CDCAIXA"), 3),
            FieldDef::text(QStringLiteral("CDIDCONSUMID"), 21),
            FieldDef::text(QStringLiteral("NMCONSUMIDOR"), 50),
            FieldDef::text(QStringLiteral("IDSITCONSUMI"), 1),
            FieldDef::text(QStringLiteral("DTHRREALCONCONS"), 10),
            FieldDef::text(QStringLiteral("IDCHECK"), 1)};
}

DataPacket attendancePacket(const std::vector<Consumer>& rows) {
    FieldDefs defs = attendanceFields();
    for (FieldDef& f : defs) f.size = 0;  // the query gives no sizes
    DataPacket::Builder b(defs);
    for (const Consumer& c : rows) {
        b.appendRow();
        b.setText(0, u"0001");
        b.setText(1, u"001");
        b.setText(2, QString::fromUtf8(c.badge));
        b.setText(3, QString::fromUtf8(c.name));
        b.setText(4, QString::fromUtf8(c.situation));
        if (c.saleDay) b.setText(5, QString::fromUtf8(c.saleDay));
        b.setText(6, u"N");
    }
    return b.finish();
}

}  // namespace testdata
