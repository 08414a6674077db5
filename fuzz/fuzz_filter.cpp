// libFuzzer target: filter texts on a small attendance list, with the three-step switch.
#include "dataset/ClientDataSet.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static dataset::ClientDataSet* ds = [] {
        auto* d = new dataset::ClientDataSet;
        dataset::DataPacket::Builder b(
            {dataset::FieldDef::text(QStringLiteral("IDSITCONSUMI"), 1),
             dataset::FieldDef::text(QStringLiteral("DTHRREALCONCONS"), 10),
             dataset::FieldDef::text(QStringLiteral("IDCHECK"), 1)});
        for (int i = 0; i < 8; ++i) {
            b.appendRow();
            b.setText(0, i % 3 ? u"1" : u"2");
            if (i % 2) b.setText(1, u"05/03/2024");
            b.setText(2, i % 4 ? u"N" : u"S");
        }
        d->setData(b.finish());
        return d;
    }();
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    try {
        ds->setFiltered(false);
        ds->setFilter(text);
        ds->setFiltered(true);
        for (ds->first(); !ds->eof(); ds->next()) (void)ds->field(0).asString();
    } catch (const dataset::DataSetError&) {
    }
    return 0;
}
