// The command-line runner: killed at any moment, run twice at once, run again.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <hul00002/Hul00002.h>

#include "common/GeraVendaProcess.h"
#include "dataset/PacketFile.h"
#include "platform/Platform.h"
#include "pos/sale/PendingHandOvers.h"
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

// Breakfast prints its receipts to PDF. Killed before a commit, between a commit and its
// receipt, or between the receipt and its mark, a run and its re-run leave every sale with
// exactly one whole receipt file, never written twice.
TEST(GeraVenda, KilledAnywhereEverySaleEndsWithOneWholeReceiptPrintedOnce) {
    constexpr int n = 20;
    QTemporaryDir dir{teste::ModeloPasta()};
    QList<teste::Registro> cafe;
    for (int i = 1; i <= n; ++i)
        cafe << teste::Registro(teste::Consumidor(i), QStringLiteral("0700"));
    const QString entrega = dir.filePath(QStringLiteral("cafe.cds"));
    {
        QFile f(entrega);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(dataset::writeBinaryPacket(teste::Entrega(cafe)));
    }
    const QString modelo = Cantina(dir.path(), n).arquivo();
    const char* const pontos[] = {"", ":gravada", ":impresso"};
    for (int k = 0; k < n; ++k) {
        SCOPED_TRACE(k);
        Cantina c(dir.path(), 0);
        c.fecha();
        QFile::remove(c.arquivo());
        ASSERT_TRUE(QFile::copy(modelo, c.arquivo()));
        QDir cupons(dir.filePath(QStringLiteral("cupons-%1").arg(k)));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("LISTAPRESENCA_CUPONS"), cupons.path());

        QProcess p;
        setUpGeraVenda(p, {entrega, QStringLiteral("--conexao"), c.arquivo()},
                       QString::number(k) + QLatin1String(pontos[k % 3]), false, env);
        p.start();
        ASSERT_TRUE(waitForSignal(p, "geravenda: pausa"));
        p.kill();
        ASSERT_TRUE(p.waitForFinished(10000));
        QHash<QString, QDateTime> antes;
        for (const QFileInfo& f : cupons.entryInfoList({QStringLiteral("*.pdf")}, QDir::Files))
            antes.insert(f.fileName(), f.lastModified());

        const ProcessOutput resto =
            runGeraVenda({entrega, QStringLiteral("--conexao"), c.arquivo()}, env);
        EXPECT_EQ(resto.code, 0) << resto.out.toStdString() << resto.err.toStdString();
        EXPECT_EQ(c.confereInteiras(), n);
        EXPECT_EQ(c.conta(QStringLiteral("SELECT COUNT(*) FROM CUPOMVENDA WHERE IDIMPRESSO = 'S'")),
                  n);
        const QFileInfoList pdfs = cupons.entryInfoList({QStringLiteral("*.pdf")}, QDir::Files);
        EXPECT_EQ(pdfs.size(), n);
        EXPECT_TRUE(cupons.entryList({QStringLiteral("*.parcial")}, QDir::Files).isEmpty());
        for (const QFileInfo& f : pdfs) {
            QFile pdf(f.filePath());
            ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
            const QByteArray bytes = pdf.readAll();
            EXPECT_TRUE(bytes.startsWith("%PDF") && bytes.trimmed().endsWith("%%EOF"))
                << f.fileName().toStdString();
            if (antes.contains(f.fileName())) {
                EXPECT_EQ(f.lastModified(), antes.value(f.fileName()))
                    << f.fileName().toStdString() << " written twice";
            }
        }
    }
}

// The screen's run keeps its hand-over until it ends well; geravenda --pendentes finishes it.
TEST(GeraVenda, AHandOverTheScreenDidNotFinishIsFinishedByPendentes) {
    QTemporaryDir dir{teste::ModeloPasta()};
    Cantina c(dir.path(), 6);
    c.exec(
        QStringLiteral("CREATE TRIGGER FALHA BEFORE INSERT ON CUPOMVENDA"
                       " WHEN (SELECT COUNT(*) FROM CUPOMVENDA) >= 2"
                       " BEGIN SELECT RAISE(ABORT, 'disco cheio simulado'); END"));
    c.fecha();
    const QString registro = dir.filePath(QStringLiteral("estado"));
    qputenv("LISTAPRESENCA_REGISTRO", registro.toUtf8());
    qputenv("LISTAPRESENCA_ESTADO", registro.toUtf8());
    qputenv("LISTAPRESENCA_CONEXAO", c.arquivo().toUtf8());
    const platform::MensagemPresenter antes =
        platform::SetMensagemPresenter([](const platform::MensagemArgs&) { return true; });
    Hul00002::InstallDefaults();
    Hul00002::AtivaProcesso = [](QWidget*, const QString&, int, int) {};
    Hul00002::DesativaProcesso = [] {};
    QVariant resultado;
    Hul00002::GeraCupomVenda(dataset::toVariant(teste::Entrega(teste::Almoco(6))), 0,
                             QVariantList(16), resultado);
    Hul00002::ResetToUnassigned();
    platform::SetMensagemPresenter(antes);
    qunsetenv("LISTAPRESENCA_CONEXAO");
    EXPECT_TRUE(resultado.toMap().value(QStringLiteral("interrupted")).toBool());
    ASSERT_EQ(Hul00002::pendingHandOvers().size(), 1);

    c.exec(QStringLiteral("DROP TRIGGER FALHA"));
    c.fecha();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    const ProcessOutput r = runGeraVenda(
        {QStringLiteral("--pendentes"), QStringLiteral("--conexao"), c.arquivo()}, env);
    EXPECT_EQ(r.code, 0) << r.out.toStdString() << r.err.toStdString();
    EXPECT_EQ(countLines(r.out, QStringLiteral(": vendido")), 4);
    EXPECT_EQ(countLines(r.out, QStringLiteral(": já atendido")), 2);
    EXPECT_TRUE(Hul00002::pendingHandOvers().isEmpty());
    EXPECT_EQ(c.confereInteiras(), 6);
    // What became of each consumer is in the support log too.
    QFile log(QDir(registro).filePath(QStringLiteral("listapresenca.log")));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_TRUE(
        QString::fromUtf8(log.readAll()).contains(QStringLiteral("Aluno C06 (CRC06): vendido")));
    qunsetenv("LISTAPRESENCA_REGISTRO");
    qunsetenv("LISTAPRESENCA_ESTADO");
}

// A sale of the day held open in geravenda while the day's closing runs in another session:
// the closing waits for it and counts it, whatever the database.
TEST(GeraVenda, AClosingWhileASaleIsOpenCountsThatSale) {
    QTemporaryDir dir{teste::ModeloPasta()};
    Cantina c(dir.path(), 1);
    c.fecha();
    const int contadas =
        teste::closingDuringAnOpenSale(gravaEntrega(dir, 1), c.arquivo(), QDate(2026, 3, 16));
    EXPECT_EQ(contadas, c.conta(QStringLiteral("SELECT COUNT(*) FROM VENDA")));
    EXPECT_EQ(contadas, 1);
}
