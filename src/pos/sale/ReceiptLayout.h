#pragma once

// Line-building for the till's 48-column paper: receipts and fiscal reports alike.

#include <QString>
#include <QStringList>

#include "pos/sale/Receipt.h"

namespace Hul00002::layout {

inline constexpr int W = kReceiptColumns;

inline QString fit(const QString& s, int width) {
    return s.left(width).leftJustified(width, QLatin1Char(' '));
}

inline QString centred(const QString& s) {
    const QString t = s.trimmed().left(W);
    return QString((W - t.size()) / 2, QLatin1Char(' ')) + t;
}

// Left text and right text on one line; the left one gives way.
inline QString sides(const QString& left, const QString& right) {
    const QString r = right.left(W);
    const int room = W - r.size() - 1;
    if (room <= 0) return r;
    return fit(left, room) + QLatin1Char(' ') + r;
}

// A long value goes on as many lines as it needs rather than losing its end.
inline void wrapped(QStringList& out, const QString& text) {
    QString rest = text.trimmed();
    while (rest.size() > W) {
        qsizetype cut = rest.lastIndexOf(QLatin1Char(' '), W);
        if (cut <= 0) cut = W;
        out << rest.left(cut).trimmed();
        rest = rest.mid(cut).trimmed();
    }
    out << rest;
}

inline QString rule(QChar c) {
    return QString(W, c);
}

}  // namespace Hul00002::layout
