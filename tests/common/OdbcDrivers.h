#pragma once

#include <QByteArray>
#include <QFile>
#include <QSqlDatabase>

// True when Qt's ODBC driver and the named ODBC driver are installed; the tests that need one
// skip without it.
inline bool odbcDriverInstalled(const QByteArray& name) {
    QFile f(QStringLiteral("/etc/odbcinst.ini"));
    const QByteArray section = '[' + name + ']';
    return QSqlDatabase::isDriverAvailable(QStringLiteral("QODBC")) &&
           f.open(QIODevice::ReadOnly) && f.readAll().contains(section);
}
