// The command-line runner: killed at any moment, run twice at once, run again.

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "dataset/PacketFile.h"
#include "venda/Cantina.h"

using teste::Cantina;

namespace {

struct Saida {
    int codigo = -1;
    QString out, err;
};

QString gravaEntrega(const QTemporaryDir& dir, int n) {
    const QString arquivo = dir.filePath(QStringLiteral("entrega.cds"));
    QFile f(arquivo);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(dataset::writeBinaryPacket(teste::Entrega(teste::Almoco(n))));
    return arquivo;
}

void prepara(QProcess& p, const QStringList& args, const QString& pausa = QString(),
             bool largada = false) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("LISTAPRESENCA_CONEXAO"));
    env.remove(QStringLiteral("LISTAPRESENCA_IMPRESSORA"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    if (!pausa.isEmpty()) env.insert(QStringLiteral("GERAVENDA_TESTE_PAUSA"), pausa);
    if (largada) env.insert(QStringLiteral("GERAVENDA_TESTE_LARGADA"), QStringLiteral("1"));
    p.setProcessEnvironment(env);
    p.setProgram(QStringLiteral(GERAVENDA));
    p.setArguments(args);
}

Saida termina(QProcess& p) {
    Saida s;
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished(5000);
        ADD_FAILURE() << "geravenda did not finish";
    }
    s.codigo = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    s.out = QString::fromLocal8Bit(p.readAllStandardOutput());
    s.err = QString::fromLocal8Bit(p.readAllStandardError());
    return s;
}

Saida roda(const QStringList& args) {
    QProcess p;
    prepara(p, args);
    p.start();
    return termina(p);
}

// Reads stderr until the process says `aviso`; every wait has its deadline.
bool espera(QProcess& p, const char* aviso) {
    QByteArray err;
    QElapsedTimer prazo;
    prazo.start();
    while (!err.contains(aviso) && prazo.elapsed() < 20000 && p.state() != QProcess::NotRunning) {
        p.waitForReadyRead(100);
        err += p.readAllStandardError();
    }
    EXPECT_TRUE(err.contains(aviso)) << err.toStdString();
    return err.contains(aviso);
}

int linhas(const QString& texto, const QString& parte) {
    int n = 0;
    for (const QString& l : texto.split(QLatin1Char('\n'))) n += l.contains(parte) ? 1 : 0;
    return n;
}

}  // namespace

TEST(GeraVenda, SaysHowToUseItAndWhatItsExitCodesMean) {
    const Saida ajuda = roda({QStringLiteral("--help")});
    EXPECT_EQ(ajuda.codigo, 0);
    EXPECT_TRUE(ajuda.out.contains(QStringLiteral("uso: geravenda ARQUIVO")));
    EXPECT_TRUE(ajuda.out.contains(QStringLiteral("Códigos de saída")));
    EXPECT_EQ(roda({}).codigo, 2);
    EXPECT_EQ(roda({QStringLiteral("a"), QStringLiteral("b")}).codigo, 2);

    QTemporaryDir dir{teste::ModeloPasta()};
    const Saida semArquivo =
        roda({dir.filePath(QStringLiteral("nada.cds")), QStringLiteral("--conexao"),
              dir.filePath(QStringLiteral("x.db"))});
    EXPECT_EQ(semArquivo.codigo, 3);
    EXPECT_TRUE(semArquivo.err.contains(QStringLiteral("geravenda: ")))
        << semArquivo.err.toStdString();

    // A server that cannot be reached: nothing done, and its password never shown.
    const QString entrega = gravaEntrega(dir, 1);
    const Saida semBanco = roda({entrega, QStringLiteral("--conexao"),
                                 QStringLiteral("Driver=SQLite3;Database=%1;PWD=Segredo#42")
                                     .arg(dir.filePath(QStringLiteral("falta/x.db")))});
    EXPECT_EQ(semBanco.codigo, 3);
    EXPECT_FALSE(semBanco.err.contains(QStringLiteral("Segredo#42")));
    EXPECT_FALSE(semBanco.out.contains(QStringLiteral("Segredo#42")));
}

TEST(GeraVenda, KilledAnywhereItLeavesWholeSalesAndARerunCompletesTheRest) {
    constexpr int n = 20;
    QTemporaryDir dir{teste::ModeloPasta()};
    const QString entrega = gravaEntrega(dir, n);
    const QString modelo = Cantina(dir.path(), n).arquivo();
    for (int k = 0; k < n; ++k) {
        SCOPED_TRACE(k);
        // Odd k: right after the k-th commit; even k: inside the next sale's transaction.
        const bool depois = k % 2 == 1;
        Cantina c(dir.path(), 0);
        c.fecha();
        QFile::remove(c.arquivo());
        ASSERT_TRUE(QFile::copy(modelo, c.arquivo()));

        QProcess p;
        prepara(p, {entrega, QStringLiteral("--conexao"), c.arquivo()},
                QString::number(k) + (depois ? QStringLiteral(":gravada") : QString()));
        p.start();
        ASSERT_TRUE(espera(p, "geravenda: pausa"));
        p.kill();  // SIGKILL
        ASSERT_TRUE(p.waitForFinished(10000));

        EXPECT_EQ(c.confereInteiras(), k);
        c.fecha();
        const Saida resto = roda({entrega, QStringLiteral("--conexao"), c.arquivo()});
        EXPECT_EQ(resto.codigo, 0) << resto.err.toStdString();
        EXPECT_EQ(linhas(resto.out, QStringLiteral(": vendido")), n - k);
        EXPECT_EQ(linhas(resto.out, QStringLiteral(": já atendido")), k);
        EXPECT_EQ(c.confereInteiras(), n);
    }
}

// Both have looked and found nobody served; the first then sells everybody. The second must
// be stopped by the database itself, not by its look, which is out of date.
TEST(GeraVenda, TheDatabaseRefusesTheSecondSaleThatALookCannotSee) {
    constexpr int n = 5;
    QTemporaryDir dir{teste::ModeloPasta()};
    const QString entrega = gravaEntrega(dir, n);
    Cantina c(dir.path(), n);
    c.fecha();
    QProcess a, b;
    prepara(a, {entrega, QStringLiteral("--conexao"), c.arquivo()}, QStringLiteral("0:verificada"));
    prepara(b, {entrega, QStringLiteral("--conexao"), c.arquivo()}, QStringLiteral("0:verificada"));
    a.start();
    b.start();
    ASSERT_TRUE(espera(a, "geravenda: pausa"));
    ASSERT_TRUE(espera(b, "geravenda: pausa"));
    a.write("\n");
    const Saida sa = termina(a);
    b.write("\n");
    const Saida sb = termina(b);
    EXPECT_EQ(sa.codigo, 0) << sa.err.toStdString();
    EXPECT_EQ(sb.codigo, 0) << sb.err.toStdString();
    EXPECT_EQ(linhas(sa.out, QStringLiteral(": vendido")), n);
    EXPECT_EQ(linhas(sb.out, QStringLiteral(": já atendido")), n) << sb.out.toStdString();
    EXPECT_EQ(c.confereInteiras(), n);
}

TEST(GeraVenda, TwoRunnersAtOnceMakeEverySaleOnce) {
    constexpr int n = 40;
    QTemporaryDir dir{teste::ModeloPasta()};
    const QString entrega = gravaEntrega(dir, n);
    for (int vez = 0; vez < 3; ++vez) {
        SCOPED_TRACE(vez);
        Cantina c(dir.path(), n);
        c.fecha();
        QProcess a, b;
        prepara(a, {entrega, QStringLiteral("--conexao"), c.arquivo()}, QString(), true);
        prepara(b, {entrega, QStringLiteral("--conexao"), c.arquivo()}, QString(), true);
        a.start();
        b.start();
        // Both ready, then both go: they meet on the same consumers.
        ASSERT_TRUE(espera(a, "geravenda: pronto"));
        ASSERT_TRUE(espera(b, "geravenda: pronto"));
        a.write("\n");
        b.write("\n");
        const Saida sa = termina(a);
        const Saida sb = termina(b);
        EXPECT_EQ(sa.codigo, 0) << sa.err.toStdString();
        EXPECT_EQ(sb.codigo, 0) << sb.err.toStdString();
        EXPECT_EQ(linhas(sa.out + sb.out, QStringLiteral(": vendido")), n);
        EXPECT_EQ(linhas(sa.out + sb.out, QStringLiteral(": já atendido")), n);
        EXPECT_EQ(c.confereInteiras(), n);
        EXPECT_EQ(c.conta(QStringLiteral("SELECT COUNT(DISTINCT CDCONSUMIDOR) FROM VENDA")), n);
    }
}
