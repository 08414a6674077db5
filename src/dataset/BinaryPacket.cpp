#include "PacketFile.h"

namespace dataset {

DataPacket readPacket(const QByteArray&, const QString& name, const PacketFileOptions&) {
    throw DataSetError(QStringLiteral("Arquivo \"%1\": formato ainda não suportado.").arg(name));
}
QByteArray writeBinaryPacket(const DataPacket&, const PacketFileOptions&) {
    return {};
}
QByteArray writeXmlPacket(const DataPacket&, bool, const PacketFileOptions&) {
    return {};
}

}  // namespace dataset
