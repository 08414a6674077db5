#include "platform/StateDirectory.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

namespace platform {

namespace {

QString hostDir() {
    return QCoreApplication::instance() ? QCoreApplication::applicationDirPath()
                                        : QDir::currentPath();
}

#if defined(LP_PASTA_INSTALADA) && defined(LP_PASTA_PROGRAMAS) && defined(LP_PASTA_ESTADO)
bool sameFolder(const QString& a, const QString& b) {
    const QString ca = QFileInfo(a).canonicalFilePath();
    return !ca.isEmpty() && ca == QFileInfo(b).canonicalFilePath();
}
#endif

}  // namespace

QString stateDirectory() {
    const QString configurada = qEnvironmentVariable("LISTAPRESENCA_ESTADO").trimmed();
    if (!configurada.isEmpty())
        return QDir::cleanPath(QDir(hostDir()).absoluteFilePath(configurada));
#if defined(LP_PASTA_INSTALADA) && defined(LP_PASTA_PROGRAMAS) && defined(LP_PASTA_ESTADO)
    // The host in the library folder, and the tools (geravenda prints receipts) in bin/.
    for (const QString& instalada :
         {QStringLiteral(LP_PASTA_INSTALADA), QStringLiteral(LP_PASTA_PROGRAMAS)})
        if (sameFolder(hostDir(), instalada)) return QStringLiteral(LP_PASTA_ESTADO);
#endif
    return hostDir();
}

bool makeSharedFolder(const QString& path) {
    const QString limpo = QDir::cleanPath(QDir(hostDir()).absoluteFilePath(path));
    if (QFileInfo(limpo).isDir()) return true;
    const QString pai = QFileInfo(limpo).absolutePath();
    if (pai != limpo && !makeSharedFolder(pai)) return false;
    if (!QDir().mkdir(limpo)) return QFileInfo(limpo).isDir();  // another till was quicker
    const QFileInfo p(pai);
    const QByteArray nome = QFile::encodeName(limpo);
    struct stat st {};
    if (p.permission(QFileDevice::WriteGroup) && ::stat(nome.constData(), &st) == 0) {
        // The umask of the login that came first must not lock the others out; the
        // set-group-id bit the folder took from its parent stays.
        ::chmod(nome.constData(), (st.st_mode & 07777) | S_IRWXG);
    }
    return true;
}

}  // namespace platform
