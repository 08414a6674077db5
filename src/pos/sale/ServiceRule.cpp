#include "pos/sale/ServiceRule.h"

#include <QRegularExpression>

namespace Hul00002 {

int chooseService(const QList<ServiceWindow>& windows, int hour) {
    int real = -1, realCount = 0, allDay = -1, allDayCount = 0;
    for (int i = 0; i < windows.size(); ++i) {
        const ServiceWindow& w = windows.at(i);
        if (w.start == w.end) {
            allDay = i;
            ++allDayCount;
            continue;
        }
        const bool holds =
            w.start < w.end ? w.start <= hour && hour <= w.end : hour >= w.start || hour <= w.end;
        if (holds) {
            real = i;
            ++realCount;
        }
    }
    if (realCount == 1) return real;
    if (realCount > 1) return -2;
    if (allDayCount == 1) return allDay;
    return allDayCount > 1 ? -2 : -1;
}

ServiceChoice serviceForHour(const QList<TillService>& services, int hour) {
    QList<ServiceWindow> windows;
    QList<int> indices;
    for (int i = 0; i < services.size(); ++i) {
        bool okStart = false, okEnd = false;
        const ServiceWindow w{services.at(i).start.trimmed().toInt(&okStart),
                              services.at(i).end.trimmed().toInt(&okEnd)};
        if (!okStart || !okEnd) continue;
        windows << w;
        indices << i;
    }
    ServiceChoice c;
    const int chosen = chooseService(windows, hour);
    if (chosen >= 0) {
        c.index = indices.at(chosen);
        return c;
    }
    c.index = chosen;
    if (chosen == -2)
        for (int i = 0; i < windows.size(); ++i)
            if (chooseService({windows.at(i)}, hour) == 0) c.candidates << indices.at(i);
    return c;
}

int hourFromText(const QString& t) {
    static const QRegularExpression re(QStringLiteral("^([0-9]{2})([0-9]{2})$"));
    const auto m = re.match(t);
    if (!m.hasMatch()) return -1;
    const int h = m.captured(1).toInt();
    const int min = m.captured(2).toInt();
    return h < 24 && min < 60 ? h * 100 + min : -1;
}

QString hourWithColon(int hhmm) {
    return QStringLiteral("%1:%2")
        .arg(hhmm / 100, 2, 10, QLatin1Char('0'))
        .arg(hhmm % 100, 2, 10, QLatin1Char('0'));
}

}  // namespace Hul00002
