#pragma once

#include <QObject>
#include <QStringList>

#include "platform/platform_export.h"

namespace platform {

// A keyed message catalogue: lines "KEY|text".
class PLATFORM_EXPORT TMessages : public QObject {
    Q_OBJECT
public:
    explicit TMessages(QObject* parent = nullptr);
    void setLines(const QStringList& lines);
    const QStringList& lines() const { return lines_; }
    // The text after "|" of the line whose key matches; empty for a missing key.
    QString Msg(const QString& key) const;

private:
    QStringList lines_;
};

}  // namespace platform
