#pragma once

// The sale hand-over: what the attendance screen gives GeraCupomVenda, one record per marked
// consumer. These eleven fields, their types and sizes are the one contract between the screen
// and the generator; the screen declares its hand-over dataset from them, the generator reads
// them back, and the tools and tests build packets with the same list.

#include <QDate>
#include <QList>
#include <QString>
#include <QVariant>

#include <array>

#include <hul00002/hul00002_export.h>

#include "dataset/DataPacket.h"
#include "dataset/FieldDef.h"

namespace Hul00002 {

enum class HandOverField {
    Branch,           // CDFILIAL
    Till,             // CDCAIXA
    Badge,            // CDIDCONSUMID
    Consumer,         // CDCONSUMIDOR
    Name,             // NMCONSUMIDOR
    Client,           // CDCLIENTE
    ConsumptionType,  // CDTIPOCONS
    Day,              // DATAREAL, a date-time at midnight
    Hour,             // HORAREAL, "HHMM"
    LogSeq,           // NRSEQLOGCAT
    FileSeq,          // NRSEQARQIMP
};
inline constexpr int kHandOverFieldCount = 11;

// The first seven fields are taken as they are from the attendance row of the same name.
inline constexpr int kHandOverRowFields = 7;

// The fields in packet order, with their types and sizes.
HUL00002_EXPORT const dataset::FieldDefs& handOverFieldDefs();
HUL00002_EXPORT QString handOverFieldName(HandOverField f);

// One record as a tool or a test writes it; texts are written as given.
struct HandOverRecord {
    QString branch, till, badge, consumer, name, client, consumptionType;
    QDate day;
    QString hour;  // "HHMM"
    QString logSeq, fileSeq;
};

HUL00002_EXPORT dataset::DataPacket buildHandOver(const QList<HandOverRecord>& records);

// A hand-over packet as the generator reads it. read() raises platform::Error, worded for the
// operator, when the variant is not a packet, a field is missing, DATAREAL is not a date or
// HORAREAL is not a text.
class HUL00002_EXPORT HandOver {
public:
    static HandOver read(const QVariant& packet);

    int rowCount() const { return packet_.rowCount(); }
    QString text(int row, HandOverField f) const;  // trimmed
    QString rawText(int row, HandOverField f) const;
    QDate day(int row) const;  // invalid when empty

private:
    dataset::DataPacket packet_;
    std::array<int, kHandOverFieldCount> columns_{};
};

}  // namespace Hul00002
