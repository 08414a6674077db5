#pragma once

#include <QByteArray>
#include <QString>

#include "dataset/DataPacket.h"

namespace dataset {

// Readers and writers of the client-dataset files tills already have: the binary data packet
// and its XML form. Readers throw DataSetError naming the file and the reason; they give the
// rows a freshly opened dataset shows (current versions only, in the file's default order).
// readPacketFile reads through readRegularFile and refuses files over 64 MB. Writers keep text the
// code page cannot hold by storing that column as UTF-16 (binary) or as character references (XML).
struct DATASET_EXPORT PacketFileOptions {
    QByteArray ansiCodec = "Windows-1252";  // code page of ANSI strings
};

// The bytes of a till's file: a regular file (a link to one is fine), read up to `maxBytes`
// whatever its size claims. A device, a FIFO, a folder or a link to one of them is refused without
// waiting for it. Throws DataSetError naming the file.
DATASET_EXPORT QByteArray readRegularFile(const QString& path, qint64 maxBytes);

// Text in a till's ANSI code page (Windows-1252 by default), as the packets' ANSI strings.
DATASET_EXPORT QString decodeAnsi(const QByteArray& bytes,
                                  const QByteArray& codePage = "Windows-1252");

DATASET_EXPORT DataPacket readPacket(const QByteArray& bytes, const QString& nameForErrors,
                                     const PacketFileOptions& opts = {});
DATASET_EXPORT DataPacket readPacketFile(const QString& path, const PacketFileOptions& opts = {});
DATASET_EXPORT QByteArray writeBinaryPacket(const DataPacket& p,
                                            const PacketFileOptions& opts = {});
DATASET_EXPORT QByteArray writeXmlPacket(const DataPacket& p, bool utf8 = true,
                                         const PacketFileOptions& opts = {});

}  // namespace dataset
