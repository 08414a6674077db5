#pragma once

#include <vector>

#include "dataset/DataPacket.h"
#include "dataset/PacketFile.h"
#include "dataset/Table_p.h"

namespace dataset::detail {

// What both readers collect before deciding which rows a freshly opened dataset shows.
struct RawPacket {
    std::unique_ptr<Table> table = std::make_unique<Table>();
    std::vector<std::uint8_t> status;  // record status of every stored row
    struct OrderKey {
        int col;  // output column
        bool descending;
        bool caseInsensitive;
    };
    std::vector<OrderKey> defaultOrder;
};

constexpr std::uint8_t kStatusHidden = 0x23;  // superseded, deleted or unused
constexpr std::uint8_t kStatusKnown = 0x01 | 0x02 | 0x04 | 0x08 | 0x20 | 0x40;

// Keeps the visible rows, in the default order when the file has one.
DataPacket finishPacket(RawPacket&& raw);

// A field name as the toolkit keeps it: a C string, so it ends at the first NUL.
inline QString fieldNameOf(const QString& raw) {
    const qsizetype nul = raw.indexOf(QChar(0));
    return nul < 0 ? raw : raw.left(nul);
}

// Later columns with a name already taken get NAME_1, NAME_2... as the toolkit does.
void renameDuplicates(FieldDefs& fields);

// Day number of the packets (1 = 0001-01-01) to and from the naive milliseconds of the store.
constexpr qint64 kDayNumberToJulian = 1721425;

DataPacket readBinaryPacket(const QByteArray& bytes, const QString& name,
                            const PacketFileOptions& opts);
DataPacket readXmlPacket(const QByteArray& bytes, const QString& name,
                         const PacketFileOptions& opts);

// The reason a file cannot be read, worded for the operator, with the file's name.
[[noreturn]] void unreadable(const QString& name, const QString& reason);

}  // namespace dataset::detail
