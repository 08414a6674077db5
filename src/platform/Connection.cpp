#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QTextStream>

#include "dataset/FieldDef.h"
#include "platform/ConnectionText_p.h"
#include "platform/Platform.h"
#include "platform/TADOConnection.h"

namespace platform {

namespace {

QPointer<TADOConnection>& session() {
    static QPointer<TADOConnection> s;
    return s;
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

QString detail::connectionStringFor(const QString& dir, const QString& chave) {
    const QString fromEnv = qEnvironmentVariable("LISTAPRESENCA_CONEXAO").trimmed();
    if (!fromEnv.isEmpty()) return fromEnv;

    const QString key = chave.trimmed().isEmpty() ? QStringLiteral("Conexao") : chave.trimmed();
    QFile ini(dir + QStringLiteral("/conexao.ini"));
    if (ini.exists()) {
        if (!ini.open(QIODevice::ReadOnly | QIODevice::Text))
            throw Error(QStringLiteral("Não foi possível ler %1.").arg(ini.fileName()));
        QTextStream in(&ini);
        in.setEncoding(QStringConverter::Utf8);
        while (!in.atEnd()) {
            const QString line = in.readLine().trimmed();
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
        // A till with a configuration file must not quietly fall back to the demo data.
        throw Error(QStringLiteral("O arquivo %1 não tem a linha %2=.").arg(ini.fileName(), key));
    }
    return dir + QStringLiteral("/demo.db");
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
    if (extra.trimmed().isEmpty()) return text;
    return TextoDaExcecao(nullptr, extra.trimmed() + QStringLiteral(": ") + text, conexao);
}

}  // namespace platform
