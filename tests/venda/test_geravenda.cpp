// The command-line runner: killed at any moment, run twice at once, run again.

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "common/GeraVendaProcess.h"
#include "dataset/PacketFile.h"
#include "venda/Cantina.h"

using namespace teste;

namespace {

QString gravaEntrega(const QTemporaryDir& dir, int n) {
    const QString arquivo = dir.filePath(QStringLiteral("entrega.cds"));
    QFile f(arquivo);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(dataset::writeBinaryPacket(teste::Entrega(teste::Almoco(n))));
    return arquivo;
}

}  // namespace

TEST(GeraVenda, SaysHowToUseItAndWhatItsExitCodesMean) {
    const ProcessOutput ajuda = runGeraVenda({QStringLiteral("--help")});
    EXPECT_EQ(ajuda.code, 0);
    EXPECT_TRUE(ajuda.out.contains(QStringLiteral("uso: geravenda ARQUIVO")));
    EXPECT_TRUE(ajuda.out.contains(QStringLiteral("Códigos de saída")));
    EXPECT_EQ(runGeraVenda({}).code, 2);
    EXPECT_EQ(runGeraVenda({QStringLiteral("a"), QStringLiteral("b")}).code, 2);

    QTemporaryDir dir{teste::ModeloPasta()};
    const ProcessOutput semArquivo =
        runGeraVenda({dir.filePath(QStringLiteral("nada.cds")), QStringLiteral("--conexao"),
                      dir.filePath(QStringLiteral("x.db"))});
    EXPECT_EQ(semArquivo.code, 3);
    EXPECT_TRUE(semArquivo.err.contains(QStringLiteral("geravenda: ")))
        << semArquivo.err.toStdString();

    // A server that cannot be reached: nothing done, and its password never shown.
    const QString entrega = gravaEntrega(dir, 1);
    const ProcessOutput semBanco =
        runGeraVenda({entrega, QStringLiteral("--conexao"),
                      QStringLiteral("Driver=SQLite3;Database=%1;PWD=Segredo#42")
                          .arg(dir.filePath(QStringLiteral("falta/x.db")))});
    EXPECT_EQ(semBanco.code, 3);
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
        setUpGeraVenda(p, {entrega, QStringLiteral("--conexao"), c.arquivo()},
                       QString::number(k) + (depois ? QStringLiteral(":gravada") : QString()));
        p.start();
        ASSERT_TRUE(waitForSignal(p, "geravenda: pausa"));
        p.kill();  // SIGKILL
        ASSERT_TRUE(p.waitForFinished(10000));

        EXPECT_EQ(c.confereInteiras(), k);
        c.fecha();
        const ProcessOutput resto =
            runGeraVenda({entrega, QStringLiteral("--conexao"), c.arquivo()});
        EXPECT_EQ(resto.code, 0) << resto.err.toStdString();
        EXPECT_EQ(countLines(resto.out, QStringLiteral(": vendido")), n - k);
        EXPECT_EQ(countLines(resto.out, QStringLiteral(": já atendido")), k);
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
    setUpGeraVenda(a, {entrega, QStringLiteral("--conexao"), c.arquivo()},
                   QStringLiteral("0:verificada"));
    setUpGeraVenda(b, {entrega, QStringLiteral("--conexao"), c.arquivo()},
                   QStringLiteral("0:verificada"));
    a.start();
    b.start();
    ASSERT_TRUE(waitForSignal(a, "geravenda: pausa"));
    ASSERT_TRUE(waitForSignal(b, "geravenda: pausa"));
    a.write("\n");
    const ProcessOutput sa = finishProcess(a);
    b.write("\n");
    const ProcessOutput sb = finishProcess(b);
    EXPECT_EQ(sa.code, 0) << sa.err.toStdString();
    EXPECT_EQ(sb.code, 0) << sb.err.toStdString();
    EXPECT_EQ(countLines(sa.out, QStringLiteral(": vendido")), n);
    EXPECT_EQ(countLines(sb.out, QStringLiteral(": já atendido")), n) << sb.out.toStdString();
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
        setUpGeraVenda(a, {entrega, QStringLiteral("--conexao"), c.arquivo()}, QString(), true);
        setUpGeraVenda(b, {entrega, QStringLiteral("--conexao"), c.arquivo()}, QString(), true);
        a.start();
        b.start();
        // Both ready, then both go: they meet on the same consumers.
        ASSERT_TRUE(waitForSignal(a, "geravenda: pronto"));
        ASSERT_TRUE(waitForSignal(b, "geravenda: pronto"));
        a.write("\n");
        b.write("\n");
        const ProcessOutput sa = finishProcess(a);
        const ProcessOutput sb = finishProcess(b);
        EXPECT_EQ(sa.code, 0) << sa.err.toStdString();
        EXPECT_EQ(sb.code, 0) << sb.err.toStdString();
        EXPECT_EQ(countLines(sa.out + sb.out, QStringLiteral(": vendido")), n);
        EXPECT_EQ(countLines(sa.out + sb.out, QStringLiteral(": já atendido")), n);
        EXPECT_EQ(c.confereInteiras(), n);
        EXPECT_EQ(c.conta(QStringLiteral("SELECT COUNT(DISTINCT CDCONSUMIDOR) FROM VENDA")), n);
    }
}
