#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QPointer>
#include <QStringDecoder>

#include <optional>

#include "dataset/FieldDef.h"
#include "dataset/PacketFile.h"
#include "platform/ConnectionText_p.h"
#include "platform/Platform.h"
#include "platform/TADOConnection.h"

namespace platform {

namespace {

QPointer<TADOConnection>& session() {
    static QPointer<TADOConnection> s;
    return s;
}

// conexao.ini in the encoding it was saved in: UTF-8 when it is valid UTF-8 (a byte-order mark
// skipped), UTF-16 with its mark, else Windows-1252, as Windows editors save it. The log says
// which encoding was read, never what the file holds.
QString readIni(const QString& path) {
    QByteArray bytes;
    try {
        bytes = dataset::readRegularFile(path, 1 << 20);
    } catch (const dataset::DataSetError& e) {
        throw Error(e.message());
    }
    QString encoding = QStringLiteral("UTF-8");
    QString text;
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) {
        const bool le = bytes.startsWith("\xFF\xFE");
        QStringDecoder utf16(le ? QStringConverter::Utf16LE : QStringConverter::Utf16BE);
        text = utf16(bytes.mid(2));
        encoding = QStringLiteral("UTF-16");
    } else {
        QStringDecoder utf8(QStringConverter::Utf8);
        text = utf8(bytes);
        if (utf8.hasError()) {
            text = dataset::decodeAnsi(bytes);
            encoding = QStringLiteral("Windows-1252");
        }
    }
    qInfo().noquote() << QStringLiteral("%1 lido como %2.").arg(path, encoding);
    return text;
}

QString executableDir() {
    const QString app =
        QCoreApplication::instance() ? QCoreApplication::applicationFilePath() : QString();
    return app.isEmpty() ? QDir::currentPath() : QFileInfo(app).absolutePath();
}

}  // namespace

QString _GetStringConexZor(const QString& chave) {
    return detail::connectionStringFor(executableDir(), chave);
}

namespace {

// The value of the line `key=` of the file's text, comments and sections skipped, quotes
// removed; nullopt when there is no such line.
std::optional<QString> iniLookup(const QString& texto, const QString& key) {
    for (QString line : texto.split(QLatin1Char('\n'))) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char(';')) ||
            line.startsWith(QLatin1Char('#')) || line.startsWith(QLatin1Char('[')))
            continue;
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq <= 0 || line.left(eq).trimmed().compare(key, Qt::CaseInsensitive) != 0) continue;
        QString value = line.mid(eq + 1).trimmed();
        if (value.size() >= 2 && value.startsWith(QLatin1Char('"')) &&
            value.endsWith(QLatin1Char('"')))
            value = value.mid(1, value.size() - 2);
        return value;
    }
    return std::nullopt;
}

}  // namespace

QString detail::connectionStringFor(const QString& dir, const QString& chave) {
    const QString fromEnv = qEnvironmentVariable("LISTAPRESENCA_CONEXAO").trimmed();
    if (!fromEnv.isEmpty()) return fromEnv;

    const QString key = chave.trimmed().isEmpty() ? QStringLiteral("Conexao") : chave.trimmed();
    const QString path = dir + QStringLiteral("/conexao.ini");
    if (QFileInfo::exists(path)) {
        if (const std::optional<QString> v = iniLookup(readIni(path), key)) return *v;
        // A till with a configuration file must not quietly fall back to the demo data.
        throw Error(QStringLiteral("O arquivo %1 não tem a linha %2=.").arg(path, key));
    }
    return dir + QStringLiteral("/demo.db");
}

std::optional<QString> detail::iniValueIn(const QString& dir, const QString& chave) {
    const QString path = dir + QStringLiteral("/conexao.ini");
    if (!QFileInfo::exists(path)) return std::nullopt;
    return iniLookup(readIni(path), chave.trimmed());
}

std::optional<QString> ValorDoConexaoIni(const QString& chave) {
    return detail::iniValueIn(executableDir(), chave);
}

void TryConnect(TADOConnection& conexao) {
    conexao.setConnected(true);
}

void SetADODBSession(TADOConnection& conexao) {
    session() = &conexao;
}

TADOConnection* ADODBSession() {
    return session().data();
}

QString ADOExceptionMessage(std::exception_ptr e, TADOConnection* conexao, const QString& extra) {
    const QString text = TextoDaExcecao(
        e, QStringLiteral("Erro desconhecido no acesso ao banco de dados."), conexao);
    // A failure already said in the operator's words needs no heading of the same words.
    if (extra.trimmed().isEmpty() || text.startsWith(extra.trimmed())) return text;
    return TextoDaExcecao(nullptr, extra.trimmed() + QStringLiteral(": ") + text, conexao);
}

}  // namespace platform
