#include "module/params/ParametrosZor.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include "dataset/ClientDataSet.h"
#include "platform/Registro.h"

namespace Cli_Kel00815 {

namespace {
const QString kNomeArquivo = QStringLiteral("PARAMETROSZOR.CDS");
}

QString LocalizaParametrosZor(const QString& dir) {
    // Whatever bears the name is taken, a device or a FIFO too: the reader refuses it with a
    // message, where skipping it would hide a broken till behind the default colours.
    const QString exato = dir + QLatin1Char('/') + kNomeArquivo;
    if (QFileInfo::exists(exato)) return exato;
    // Files copied from a Windows till keep whatever letter case they had there.
    const QStringList nomes =
        QDir(dir).entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot);
    for (const QString& nome : nomes) {
        if (nome.compare(kNomeArquivo, Qt::CaseInsensitive) == 0)
            return dir + QLatin1Char('/') + nome;
    }
    return QString();
}

ParametrosTerminal LerParametrosZor(dataset::ClientDataSet& cds, const QString& exeDir) {
    ParametrosTerminal p;
    QString dir = exeDir;
    if (dir.isEmpty()) dir = QFileInfo(QCoreApplication::applicationFilePath()).absolutePath();
    // There is no short alias of a path here: the full path serves, empty when there is no file.
    p.stArqParametros = LocalizaParametrosZor(dir);
    if (p.stArqParametros.isEmpty()) {
        // The operator is not told (the screen opens as before); support must be.
        qCWarning(platform::lcTela).noquote()
            << QStringLiteral(
                   "Sem o arquivo de parâmetros %1 em %2: filial e caixa vazios, "
                   "cores zero.")
                   .arg(kNomeArquivo, QDir::toNativeSeparators(dir));
        return p;
    }

    cds.loadFromFile(p.stArqParametros);
    if (!cds.active()) cds.open();
    static const char* const cores[] = {"INCOR1", "INCOR2", "INCOR3", "INCOR4", "INCOR5", "INCOR6"};
    // A file without any record reads as a missing one; the fields must still be there.
    const bool vazio = cds.isEmpty();
    for (int i = 0; i < 6; ++i) {
        dataset::Field f = cds.fieldByName(QString::fromLatin1(cores[i]));
        p.inCor[static_cast<size_t>(i)] = vazio ? 0 : static_cast<int>(f.asInteger());
    }
    const auto texto = [&](const char* nome) {
        dataset::Field f = cds.fieldByName(QString::fromLatin1(nome));
        return vazio ? QString() : f.asString();
    };
    p.stIdEsquema = texto("IDESQUEMA");
    p.stCdFilial = texto("CDFILIAL");
    p.stCdCaixa = texto("CDCAIXA");
    return p;
}

}  // namespace Cli_Kel00815
