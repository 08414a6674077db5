#include "pos/sale/PendingHandOvers.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QSaveFile>

#include "dataset/DataPacket.h"
#include "dataset/PacketFile.h"
#include "platform/Platform.h"
#include "platform/Registro.h"
#include "platform/StateDirectory.h"

namespace Hul00002 {

QString pendingHandOverFolder() {
    return QDir(platform::stateDirectory()).filePath(QStringLiteral("entregas"));
}

QString savePendingHandOver(const QVariant& packet) {
    try {
        const QString folder = pendingHandOverFolder();
        if (!platform::makeSharedFolder(folder))
            throw platform::Error(QStringLiteral("não foi possível criar a pasta %1").arg(folder));
        // Named by time and process, so that names sort as the runs began.
        const QString file = QDir(folder).filePath(
            QStringLiteral("entrega-%1-%2.cds")
                .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmsszzz")))
                .arg(QCoreApplication::applicationPid()));
        QSaveFile out(file);
        if (!out.open(QIODevice::WriteOnly) ||
            out.write(dataset::writeBinaryPacket(dataset::packetFromVariant(packet))) < 0 ||
            !out.commit())
            throw platform::Error(QStringLiteral("não foi possível gravar %1").arg(file));
        return file;
    } catch (...) {
        qCWarning(platform::lcVenda).noquote()
            << QStringLiteral("Entrega não guardada para reprocessamento: %1")
                   .arg(platform::TextoDaExcecao(std::current_exception(), QString()));
        return QString();
    }
}

void removePendingHandOver(const QString& file) {
    if (!file.isEmpty()) QFile::remove(file);
}

QStringList pendingHandOvers() {
    const QDir dir(pendingHandOverFolder());
    QStringList r;
    for (const QString& name :
         dir.entryList({QStringLiteral("entrega-*.cds")}, QDir::Files, QDir::Name))
        r << dir.filePath(name);
    return r;
}

}  // namespace Hul00002
