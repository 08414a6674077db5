// A till whose server goes away: its sales go to its copy's outbox, and the catch-up hands them
// to the server when it is back, once each, whatever stops it.

#include <QLockFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlDatabase>

#include <gtest/gtest.h>

#include "common/GeraVendaProcess.h"
#include "module/dataservice/TrdmListaPresenca.h"
#include "platform/OfflineState.h"
#include "pos/fiscal/FiscalBook.h"
#include "pos/sale/CatchUp.h"
#include "pos/sale/OfflineSales.h"
#include "pos/sale/SalesSchema.h"
#include "postgres/Caixas.h"

using namespace teste;
using Hul00002::CatchUpLine;
using Hul00002::kOutboxFirstSale;

namespace {

QVariant pacote(const QString& arquivo) {
    return dataset::toVariant(dataset::readPacketFile(arquivo));
}

// A figure of the copy's, read on a connection of the test's own.
int naCopia(const QString& copia, const QString& sql) {
    int n = -1;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("c"));
        db.setDatabaseName(copia);
        EXPECT_TRUE(db.open());
        QSqlQuery q(db);
        EXPECT_TRUE(q.exec(sql)) << q.lastError().text().toStdString();
        if (q.next()) n = q.value(0).toInt();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("c"));
    return n;
}

int noCaixa(const QString& copia) {
    return naCopia(
        copia,
        QStringLiteral("SELECT COUNT(*) FROM VENDA WHERE NRSEQVENDA >= %1").arg(kOutboxFirstSale));
}

QProcessEnvironment comCopia(const QString& copia) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LISTAPRESENCA_COPIA"), copia);
    env.remove(QStringLiteral("LISTAPRESENCA_OFFLINE"));
    return env;
}

class Outbox : public Caixas {
protected:
    void SetUp() override {
        Caixas::SetUp();
        qunsetenv("LISTAPRESENCA_OFFLINE");
        platform::OfflineState::instance().reset();
    }
    void TearDown() override {
        // Whatever failed, the next test has its server.
        if (ClusterPostgres::instancia().indisponivel().isEmpty())
            ClusterPostgres::instancia().religa();
        Caixas::TearDown();
    }

    // The server away for the hand-overs of `arquivos`, all sold on the copy.
    void vendeSemServidor(const QString& servidor, const QString& copia,
                          const QStringList& arquivos) {
        Caixas::TearDown();
        ClusterPostgres::instancia().desliga();
        for (const QString& a : arquivos) {
            Hul00002::SaleGeneratorOptions op;
            op.connectionString = servidor;
            op.copyPath = copia;
            const Hul00002::SaleRun run = Hul00002::generateSalesOrKeep(pacote(a), op);
            EXPECT_TRUE(run.offline && run.allSold()) << a.toStdString();
        }
        ClusterPostgres::instancia().religa();
    }

    // Consumers the attendance list on the server shows as served that day.
    int servidosNaLista() {
        qputenv("LISTAPRESENCA_CONEXAO", ClusterPostgres::instancia().odbc(banco_).toUtf8());
        Srv_Kel00815::rdmListaPresenca = new Srv_Kel00815::TrdmListaPresenca();
        Srv_Kel00815::rdmListaPresenca->adcListaPresenca->setConnected(true);
        const QVariant v = Srv_Kel00815::getPresenca(
            QStringLiteral("0001"), QStringLiteral("001"), QStringLiteral("TURMA"),
            QStringLiteral("00002"), kDia.toString(QStringLiteral("dd/MM/yyyy")));
        delete Srv_Kel00815::rdmListaPresenca;
        qunsetenv("LISTAPRESENCA_CONEXAO");
        if (!dataset::isDataPacket(v)) return -1;
        const dataset::DataPacket p = dataset::packetFromVariant(v);
        const int dia = p.fieldIndex(QStringLiteral("DTHRREALCONCONS"));
        int n = 0;
        for (int i = 0; i < p.rowCount(); ++i) n += p.text(i, dia).isEmpty() ? 0 : 1;
        return n;
    }

    // No till sold a consumer twice, and each till's numbers run 1..n.
    void confereCaixa(const QString& caixa, int n) {
        EXPECT_EQ(conta(QStringLiteral("SELECT COUNT(*) FROM (SELECT CDCONSUMIDOR FROM VENDA"
                                       " WHERE CDCAIXA = '%1' GROUP BY CDCONSUMIDOR HAVING"
                                       " COUNT(*) > 1) D")
                            .arg(caixa)),
                  0);
        QStringList numeros;
        for (int i = 1; i <= n; ++i) numeros << QString::number(i);
        EXPECT_EQ(coluna(QStringLiteral("SELECT NRVENDA FROM VENDA WHERE CDCAIXA = '%1' ORDER BY 1")
                             .arg(caixa)),
                  numeros);
        EXPECT_EQ(coluna(QStringLiteral("SELECT NRCUPOM FROM CUPOMVENDA WHERE CDCAIXA = '%1'"
                                        " ORDER BY 1")
                             .arg(caixa)),
                  numeros);
    }
};

// The server stops after the third sale of eight: those three stay on it and reach the copy as
// its sales, the other five are kept on the till with the numbers that follow; back, the next
// run sends the five before it sells, and the server's attendance list shows all eight served.
TEST_F(Outbox, AServerGoneMidRunKeepsTheRestOnTheTillAndTheCatchUpSendsItBack) {
    constexpr int n = 8, k = 3;
    const QString odbc = cantina(n);
    const QString copia = copiaDoCaixa(QStringLiteral("001"), odbc);
    Caixas::TearDown();
    Hul00002::SaleGeneratorOptions op;
    op.connectionString = odbc;
    op.copyPath = copia;
    op.hook = [](Hul00002::SaleStep passo, int vendidas) {
        if (passo == Hul00002::SaleStep::Committed && vendidas == k)
            ClusterPostgres::instancia().desliga();
    };
    const Hul00002::SaleRun run = Hul00002::generateSalesOrKeep(pacote(entrega(1, n)), op);
    ClusterPostgres::instancia().religa();

    EXPECT_TRUE(run.offline);
    EXPECT_FALSE(run.interrupted);
    EXPECT_EQ(run.count(Hul00002::SaleStatus::Sold), n);
    int noServidor = 0;
    for (const Hul00002::SaleOutcome& o : run.outcomes) noServidor += o.saleId < kOutboxFirstSale;
    EXPECT_EQ(noServidor, k);
    EXPECT_TRUE(platform::OfflineState::instance().offline());
    EXPECT_EQ(noCaixa(copia), n - k);
    EXPECT_EQ(naCopia(copia, QStringLiteral("SELECT COUNT(DISTINCT CDCONSUMIDOR) FROM VENDA")), n);
    EXPECT_EQ(naCopia(copia, QStringLiteral("SELECT COUNT(DISTINCT NRVENDA) FROM VENDA WHERE"
                                            " NRVENDA BETWEEN 1 AND 8")),
              n);
    EXPECT_EQ(naCopia(copia, QStringLiteral("SELECT NRULTCUPOM FROM NUMCAIXA")), n);
    EXPECT_EQ(conta(QStringLiteral("SELECT COUNT(*) FROM VENDA")), k);

    // The same hand-over again with the server back: the kept sales go first, so nobody is
    // sold twice and the server's list shows all eight served.
    Hul00002::SaleGeneratorOptions deNovo;
    deNovo.connectionString = odbc;
    deNovo.copyPath = copia;
    const Hul00002::SaleRun outra = Hul00002::generateSalesOrKeep(pacote(entrega(1, n)), deNovo);
    EXPECT_FALSE(outra.offline);
    EXPECT_EQ(outra.count(Hul00002::SaleStatus::AlreadyServed), n);
    EXPECT_EQ(noCaixa(copia), 0);
    EXPECT_EQ(confereInteiras(), n);
    EXPECT_EQ(servidosNaLista(), n);
    // Nothing left: a second catch-up finds no work.
    EXPECT_EQ(Hul00002::catchUp(odbc, copia).total, 0);
}

// Till 001 sells C01..C30 and then C11..C40, till 002 C11..C40, all while the server is away;
// back, the three catch-ups start at once (two of them on 001's copy): each till sold each
// consumer once, with its own numbers.
TEST_F(Outbox, TwoTillsCatchingUpAtOnceSellEachConsumerOncePerTill) {
    const QString odbc = cantina(40);
    exec(QStringLiteral("INSERT INTO CAIXA VALUES ('0001', '002', 'Lanchonete')"));
    exec(QStringLiteral(
        "INSERT INTO SERVTURCAIXA VALUES ('0001', '002', '00002', '1100', '1400', 'N')"));
    exec(QStringLiteral("INSERT INTO PRODTURCAIXA VALUES ('0001', '002', '00002', 'ALMOCO')"));
    const QString um = copiaDoCaixa(QStringLiteral("001"), odbc);
    const QString dois = copiaDoCaixa(QStringLiteral("002"), odbc);
    vendeSemServidor(odbc, um, {entrega(1, 30), entrega(11, 40)});
    vendeSemServidor(odbc, dois, {entrega(11, 40, QStringLiteral("002"))});
    ASSERT_EQ(noCaixa(um), 40);
    ASSERT_EQ(noCaixa(dois), 30);

    QProcess a, b, c;
    const QStringList args{QStringLiteral("--sincroniza"), QStringLiteral("--conexao"), odbc};
    setUpGeraVenda(a, args, QString(), true, comCopia(um));
    setUpGeraVenda(b, args, QString(), true, comCopia(um));
    setUpGeraVenda(c, args, QString(), true, comCopia(dois));
    for (QProcess* p : {&a, &b, &c}) p->start();
    for (QProcess* p : {&a, &b, &c}) ASSERT_TRUE(waitForSignal(*p, "geravenda: pronto"));
    for (QProcess* p : {&a, &b, &c}) p->write("\n");
    const ProcessOutput sa = finishProcess(a), sb = finishProcess(b), sc = finishProcess(c);
    EXPECT_EQ(sc.code, 0) << sc.out.toStdString() << sc.err.toStdString();
    EXPECT_EQ(countLines(sc.out, QStringLiteral(": enviada ao servidor")), 30);
    // On one copy one catch-up at a time: the other finds it running, or nothing left.
    for (const ProcessOutput& s : {sa, sb}) {
        EXPECT_TRUE(s.code == 0 || (s.code == 3 && s.err.contains(QStringLiteral("Outro envio"))))
            << s.code << s.out.toStdString() << s.err.toStdString();
    }
    EXPECT_EQ(countLines(sa.out + sb.out, QStringLiteral(": enviada ao servidor")), 40);
    confereCaixa(QStringLiteral("001"), 40);
    confereCaixa(QStringLiteral("002"), 30);
    EXPECT_EQ(noCaixa(um), 0);
    EXPECT_EQ(noCaixa(dois), 0);
}

// A catch-up of 20 killed (-9) right after the server committed its k-th sale, for every k:
// the re-run finds those k there, sends exactly the other ones, and empties the outbox.
TEST_F(Outbox, ACatchUpKilledAtAnySaleIsFinishedExactlyByTheNextOne) {
    constexpr int n = 20;
    const QString odbc = cantina(n);
    const QString copia = copiaDoCaixa(QStringLiteral("001"), odbc);
    vendeSemServidor(odbc, copia, {entrega(1, n)});
    const QString modelo = copia + QStringLiteral(".modelo");
    ASSERT_TRUE(QFile::copy(copia, modelo));
    const QStringList args{QStringLiteral("--sincroniza"), QStringLiteral("--conexao"), odbc};
    for (int k = 1; k <= n; ++k) {
        SCOPED_TRACE(k);
        for (const char* t : {"ITEMVENDA", "CUPOMVENDA", "VENDA", "NUMCAIXA"})
            exec(QStringLiteral("DELETE FROM ") + QLatin1String(t));
        for (const char* resto : {"", "-wal", "-shm"}) QFile::remove(copia + QLatin1String(resto));
        ASSERT_TRUE(QFile::copy(modelo, copia));

        QProcess p;
        setUpGeraVenda(p, args, QStringLiteral("%1:enviada").arg(k), false, comCopia(copia));
        p.start();
        ASSERT_TRUE(waitForSignal(p, "geravenda: pausa"));
        p.kill();
        p.waitForFinished(10000);
        EXPECT_EQ(conta(QStringLiteral("SELECT COUNT(*) FROM VENDA")), k);

        const ProcessOutput resto = runGeraVenda(args, comCopia(copia));
        EXPECT_EQ(resto.code, 0) << resto.out.toStdString() << resto.err.toStdString();
        EXPECT_EQ(countLines(resto.out, QStringLiteral(": já estava no servidor")), k);
        EXPECT_EQ(countLines(resto.out, QStringLiteral(": enviada ao servidor")), n - k);
        EXPECT_EQ(confereInteiras(), n);
        EXPECT_EQ(noCaixa(copia), 0);
    }
}

// With `Offline=Nao` a till whose server is away refuses the run and writes nothing; without
// it, geravenda sells on the copy and says so on each line.
TEST_F(Outbox, ATillThatMayNotSellOfflineRefusesTheRunAndWritesNothing) {
    QString morto = cantina(3);
    morto.replace(QRegularExpression(QStringLiteral("Port=\\d+")), QStringLiteral("Port=1"));
    const QString copia = copiaDoCaixa(QStringLiteral("001"), morto);
    const QStringList args{entrega(1, 3), QStringLiteral("--conexao"), morto};
    QProcessEnvironment proibido = comCopia(copia);
    proibido.insert(QStringLiteral("LISTAPRESENCA_OFFLINE"), QStringLiteral("nao"));
    const ProcessOutput recusada = runGeraVenda(args, proibido);
    EXPECT_EQ(recusada.code, 3) << recusada.out.toStdString();
    EXPECT_TRUE(recusada.err.contains(Hul00002::offlineSalesRefusedText()))
        << recusada.err.toStdString();
    EXPECT_EQ(naCopia(copia, QStringLiteral("SELECT COUNT(*) FROM VENDA")), 0);

    const ProcessOutput vendida = runGeraVenda(args, comCopia(copia));
    EXPECT_EQ(vendida.code, 0) << vendida.out.toStdString() << vendida.err.toStdString();
    EXPECT_EQ(countLines(vendida.out, QStringLiteral("(guardada no caixa, a enviar ao servidor)")),
              3);
    EXPECT_EQ(noCaixa(copia), 3);
}

// The day's closing while the till's copy still holds sales of that day: held back while they
// cannot be sent (another catch-up holds the copy), and once sent it counts them; the one the
// server had sold meanwhile is a conflict, kept apart with its reason.
TEST_F(Outbox, TheDaysClosingWaitsForTheKeptSalesAndAConflictIsKeptApart) {
    const QString odbc = cantina(4);
    const QString copia = copiaDoCaixa(QStringLiteral("001"), odbc);
    vendeSemServidor(odbc, copia, {entrega(1, 4)});
    exec(QStringLiteral(
        "INSERT INTO VENDA (CDFILIAL, CDCAIXA, CDSERVFILI, CDCONSUMIDOR, DTHRREALCONCONS,"
        " DTENTRVENDA, DTCONSUMO, NRVENDA) VALUES ('0001', '001', '00002', 'C02',"
        " '2026-03-16 12:00', '2026-03-16 12:00', '2026-03-16', 900)"));
    const QString z = QStringLiteral("0001"), caixa = QStringLiteral("001");
    {
        QLockFile outro(copia + QStringLiteral(".envio.lock"));
        ASSERT_TRUE(outro.tryLock(0));
        const QString espera = Hul00002::closingHeldByOutbox(odbc, copia, z, caixa, kDia);
        EXPECT_TRUE(espera.contains(QStringLiteral("4 venda(s) deste dia")) &&
                    espera.contains(QStringLiteral("Outro envio")))
            << espera.toStdString();
    }
    EXPECT_EQ(Hul00002::closingHeldByOutbox(odbc, copia, z, caixa, kDia), QString());
    EXPECT_EQ(noCaixa(copia), 0);
    EXPECT_EQ(naCopia(copia, QStringLiteral("SELECT COUNT(*) FROM CONFLITO WHERE CDCONSUMIDOR ="
                                            " 'C02' AND DSMOTIVO LIKE '%já tem a venda 900%'")),
              1);
    EXPECT_EQ(platform::OfflineState::instance().conflicts(), 1);

    platform::TADOConnection c;
    c.setReadOnly(false);
    c.setConnectionString(odbc);
    c.setConnected(true);
    EXPECT_EQ(Hul00002::closeDay(c, z, caixa, kDia).sales, 4);
}

}  // namespace
