#pragma once

// Which service of a till an hour of the day gives. The generator sells under that service, and
// the screen, which knows the service the operator chose, asks the same rule before it hands
// anything over.

#include <QList>
#include <QString>

#include <hul00002/hul00002_export.h>

namespace Hul00002 {

// Hours are HHMM as an integer (0730 is 730). Both bounds belong to a service and an end
// before the start crosses midnight; a service whose start equals its end takes every hour,
// but only when no other service's window holds the hour. Returns the index in `windows`, or
// -1 when none and -2 when several hold it.
struct ServiceWindow {
    int start = 0;
    int end = 0;
};
HUL00002_EXPORT int chooseService(const QList<ServiceWindow>& windows, int hour);

// A service of the till as stored: its code and its hours as HHMM texts.
struct TillService {
    QString code;
    QString start, end;
};

struct ServiceChoice {
    int index = -1;         // in the list given; -1 none, -2 several
    QList<int> candidates;  // with -2: the services whose windows hold the hour
};

// The rule over the till's services as stored; a service whose hours are not numbers takes
// no part.
HUL00002_EXPORT ServiceChoice serviceForHour(const QList<TillService>& services, int hour);

// "0730" -> 730; -1 for anything that is not a valid HHMM.
HUL00002_EXPORT int hourFromText(const QString& hhmm);
// 730 -> "07:30".
HUL00002_EXPORT QString hourWithColon(int hhmm);

}  // namespace Hul00002
