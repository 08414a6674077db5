#include "PacketFile.h"

#include <QFile>

namespace dataset {

DataPacket readPacketFile(const QString& path, const PacketFileOptions& opts) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw DataSetError(QStringLiteral("Não foi possível abrir o arquivo \"%1\": %2")
                               .arg(path, f.errorString()));
    return readPacket(f.readAll(), path, opts);
}

}  // namespace dataset
