#include "pos/sale/SaleGenerator.h"

#include <QHash>

#include "pos/sale/HandOver.h"
#include "pos/sale/SaleStore.h"

namespace Hul00002 {

SalePreview previewSales(platform::TADOConnection& c, const QVariant& pacote) {
    const HandOver h = HandOver::read(pacote);
    TillSetup setup(c);
    QHash<QString, Till> tills;
    SalePreview p;
    for (int row = 0; row < h.rowCount(); ++row) {
        const QString branch = h.text(row, HandOverField::Branch);
        const QString tillCode = h.text(row, HandOverField::Till);
        const int hour = hourFromText(h.text(row, HandOverField::Hour));
        if (branch.isEmpty() || tillCode.isEmpty() || hour < 0 || !h.day(row).isValid()) continue;
        const QString key = branch + QChar(0x1F) + tillCode;
        if (!tills.contains(key)) tills.insert(key, setup.loadTill(branch, tillCode));
        const Till& t = tills[key];
        QList<TillService> stored;
        for (const Service& s : t.services) stored << s.stored;
        const ServiceChoice choice = serviceForHour(stored, hour);
        if (choice.index < 0) continue;
        const Service& sv = t.services.at(choice.index);
        const QList<Product> items =
            setup.productsFor(t, sv.stored.code, h.text(row, HandOverField::ConsumptionType));
        if (items.isEmpty()) continue;
        ++p.sales;
        p.service = sv.stored.code;
        p.serviceName = sv.name;
        p.day = h.day(row);
        p.hour = hourWithColon(hour);
        for (const Product& it : items) p.totalCents += it.cents;
    }
    return p;
}

}  // namespace Hul00002
