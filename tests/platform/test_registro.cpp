// The support log: what an operator was shown and what the screen did, with a timestamp, never
// a password, and kept to a bounded size.

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include "platform/Platform.h"
#include "platform/Registro.h"

using namespace platform;

namespace {

QString conteudo(const QString& arquivo) {
    QFile f(arquivo);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

TEST(Registro, WritesWhatTheOperatorSawWithATimeAndWithoutPasswords) {
    const QString arquivo = IniciaRegistro();
    ASSERT_FALSE(arquivo.isEmpty());
    EXPECT_EQ(IniciaRegistro(), arquivo);  // once per process
    const MensagemPresenter anterior =
        SetMensagemPresenter([](const MensagemArgs&) { return true; });
    Mensagem(QStringLiteral("Falha ao conectar: Server=db;UID=sa;PWD=Canario#7788;"), {},
             QStringLiteral("N"), QStringLiteral("N"), 3, {}, QStringLiteral("002"), 0, nullptr);
    Mensagem(QStringLiteral("Confirma a geração das vendas?"), {}, QStringLiteral("N"),
             QStringLiteral("S"), 1, {}, QStringLiteral("002"), 0, nullptr);
    SetMensagemPresenter(anterior);
    qCInfo(lcTela) << "Carga: centro PRÉ-ESCOLA, Password=Canario#7788";

    const QString texto = conteudo(arquivo);
    EXPECT_FALSE(texto.contains(QStringLiteral("Canario#7788")));
    EXPECT_TRUE(texto.contains(QStringLiteral("Falha ao conectar")));
    EXPECT_TRUE(texto.contains(QStringLiteral("Resposta: sim")));
    EXPECT_TRUE(texto.contains(QStringLiteral("PRÉ-ESCOLA")));  // accents kept
    // Every line starts with its date and time.
    for (const QString& l : texto.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        EXPECT_TRUE(
            QDateTime::fromString(l.section(QLatin1Char(' '), 0, 0), Qt::ISODateWithMs).isValid())
            << l.toStdString();
}

TEST(Registro, KeepsTheFileSmallAndTheFilesBeforeIt) {
    const QString arquivo = IniciaRegistro();
    const QString linha(300, QLatin1Char('x'));
    for (int i = 0; i < 4000; ++i) qCInfo(lcVenda).noquote() << linha;
    EXPECT_LE(QFileInfo(arquivo).size(), 1024 * 1024 + 1024);
    EXPECT_TRUE(QFile::exists(arquivo + QStringLiteral(".1")));
}

}  // namespace
