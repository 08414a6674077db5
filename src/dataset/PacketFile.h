#pragma once

#include <QByteArray>
#include <QString>

#include "dataset/DataPacket.h"

namespace dataset {

// Readers and writers of the client-dataset files tills already have: the binary data packet
// and its XML form. Readers throw DataSetError naming the file and the reason; they give the
// rows a freshly opened dataset shows (current versions only, in the file's default order).
// readPacketFile refuses files over 64 MB. Writers keep text the code page cannot hold by
// storing that column as UTF-16 (binary) or as character references (XML).
struct DATASET_EXPORT PacketFileOptions {
    QByteArray ansiCodec = "Windows-1252";  // code page of ANSI strings
};

DATASET_EXPORT DataPacket readPacket(const QByteArray& bytes, const QString& nameForErrors,
                                     const PacketFileOptions& opts = {});
DATASET_EXPORT DataPacket readPacketFile(const QString& path, const PacketFileOptions& opts = {});
DATASET_EXPORT QByteArray writeBinaryPacket(const DataPacket& p,
                                            const PacketFileOptions& opts = {});
DATASET_EXPORT QByteArray writeXmlPacket(const DataPacket& p, bool utf8 = true,
                                         const PacketFileOptions& opts = {});

}  // namespace dataset
