// Many runs of the sale generator against one real server: geravenda processes meet on the
// same till's consumers, wait for each other's transactions, lose their connection.

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <stdexcept>

#include "common/GeraVendaProcess.h"
#include "dataset/DataPacket.h"
#include "dataset/PacketFile.h"
#include "module/dataservice/TrdmListaPresenca.h"
#include "platform/Platform.h"
#include "platform/TADOConnection.h"
#include "pos/fiscal/FiscalBook.h"
#include "pos/sale/HandOver.h"
#include "pos/sale/SaleGenerator.h"
#include "postgres/Caixas.h"
#include "postgres/ClusterPostgres.h"

using namespace teste;

namespace {

// Two runs of one till's hand-overs, overlapping on C11..C30, start at the same moment: the
// server's unique index, not the runs' looks, decides who sells whom.
TEST_F(Caixas, TwoRunsOfOverlappingHandOversAtOnceSellEachConsumerOnce) {
    for (int vez = 0; vez < 2; ++vez) {
        SCOPED_TRACE(vez);
        const QString odbc = cantina(40);
        // One through ODBC, as tills connect; the other through Qt's driver when there.
        const QString outra =
            ClusterPostgres::semQPsql().isEmpty() ? ClusterPostgres::instancia().url(banco_) : odbc;
        QProcess a, b;
        setUpGeraVenda(a, {entrega(1, 30), QStringLiteral("--conexao"), odbc}, QString(), true);
        setUpGeraVenda(b, {entrega(11, 40), QStringLiteral("--conexao"), outra}, QString(), true);
        a.start();
        b.start();
        ASSERT_TRUE(waitForSignal(a, "geravenda: pronto"));
        ASSERT_TRUE(waitForSignal(b, "geravenda: pronto"));
        a.write("\n");
        b.write("\n");
        const ProcessOutput sa = finishProcess(a);
        const ProcessOutput sb = finishProcess(b);
        EXPECT_EQ(sa.code, 0) << sa.out.toStdString() << sa.err.toStdString();
        EXPECT_EQ(sb.code, 0) << sb.out.toStdString() << sb.err.toStdString();
        EXPECT_EQ(countLines(sa.out + sb.out, QStringLiteral(": vendido")), 40);
        EXPECT_EQ(countLines(sa.out + sb.out, QStringLiteral(": já atendido")), 20);
        EXPECT_EQ(confereInteiras(), 40);
    }
    // The attendance list on the same server sees every one of them sold that day.
    qputenv("LISTAPRESENCA_CONEXAO", ClusterPostgres::instancia().odbc(banco_).toUtf8());
    Srv_Kel00815::rdmListaPresenca = new Srv_Kel00815::TrdmListaPresenca();
    Srv_Kel00815::rdmListaPresenca->adcListaPresenca->setConnected(true);
    const QVariant v = Srv_Kel00815::getPresenca(QStringLiteral("0001"), QStringLiteral("001"),
                                                 QStringLiteral("TURMA"), QStringLiteral("00002"),
                                                 kDia.toString(QStringLiteral("dd/MM/yyyy")));
    delete Srv_Kel00815::rdmListaPresenca;
    qunsetenv("LISTAPRESENCA_CONEXAO");
    ASSERT_TRUE(dataset::isDataPacket(v)) << v.toString().toStdString();
    const dataset::DataPacket p = dataset::packetFromVariant(v);
    ASSERT_EQ(p.rowCount(), 40);
    const int dia = p.fieldIndex(QStringLiteral("DTHRREALCONCONS"));
    for (int i = 0; i < p.rowCount(); ++i) EXPECT_EQ(p.text(i, dia), QStringLiteral("16/03/2026"));
}

// One run holds the till's numbering in a sale it does not finish; the other waits for it only
// as long as the deadline, then says so and stops. Nothing is lost: both finish later.
TEST_F(Caixas, AnOpenTransactionMakesTheOtherRunWaitOnlyUntilTheDeadlineThenReport) {
    const QString odbc = cantina(5);
    const QString arquivo = entrega(1, 5);
    QProcess a;
    setUpGeraVenda(a, {arquivo, QStringLiteral("--conexao"), odbc}, QStringLiteral("0"));
    a.start();
    ASSERT_TRUE(waitForSignal(a, "geravenda: pausa"));

    const ProcessOutput b = runGeraVenda({arquivo, QStringLiteral("--conexao"), odbc});
    EXPECT_EQ(b.code, 1) << b.out.toStdString() << b.err.toStdString();
    EXPECT_EQ(
        countLines(b.out, QStringLiteral("não vendido - o banco de dados ficou ocupado por outra"
                                         " transação")),
        1)
        << b.out.toStdString();
    EXPECT_EQ(countLines(b.out, QStringLiteral("não processado")), 4);
    EXPECT_EQ(countLines(b.out, QStringLiteral(": vendido")), 0);

    a.write("\n");
    const ProcessOutput sa = finishProcess(a);
    EXPECT_EQ(sa.code, 0) << sa.out.toStdString();
    EXPECT_EQ(countLines(sa.out, QStringLiteral(": vendido")), 5);
    const ProcessOutput c = runGeraVenda({arquivo, QStringLiteral("--conexao"), odbc});
    EXPECT_EQ(c.code, 0);
    EXPECT_EQ(countLines(c.out, QStringLiteral(": já atendido")), 5);
    EXPECT_EQ(confereInteiras(), 5);
}

// The server ends the run's session in the middle of a sale's transaction, or between two
// sales: the sales before stay whole, the rest is reported, and running the file again sells
// exactly the rest.
TEST_F(Caixas, AConnectionTheServerKillsKeepsTheSalesBeforeItAndARerunSellsExactlyTheRest) {
    constexpr int n = 8;
    for (const auto& [pausa, k] : {std::pair{"3", 3}, std::pair{"5:gravada", 5}}) {
        SCOPED_TRACE(pausa);
        const QString odbc = cantina(n);
        const QString arquivo = entrega(1, n);
        QProcess a;
        setUpGeraVenda(a, {arquivo, QStringLiteral("--conexao"), odbc}, QString::fromLatin1(pausa));
        a.start();
        ASSERT_TRUE(waitForSignal(a, "geravenda: pausa"));
        ASSERT_EQ(ClusterPostgres::instancia().derrubaSessoes(banco_, QStringLiteral("geravenda")),
                  1);
        a.write("\n");
        const ProcessOutput sa = finishProcess(a);
        EXPECT_EQ(sa.code, 1) << sa.out.toStdString() << sa.err.toStdString();
        EXPECT_EQ(countLines(sa.out, QStringLiteral(": vendido")), k);
        EXPECT_EQ(countLines(sa.out, QStringLiteral("a conexão com o banco de dados foi perdida")),
                  1)
            << sa.out.toStdString();
        EXPECT_EQ(countLines(sa.out, QStringLiteral("não processado")), n - k - 1);
        EXPECT_EQ(confereInteiras(), k);

        const ProcessOutput resto = runGeraVenda({arquivo, QStringLiteral("--conexao"), odbc});
        EXPECT_EQ(resto.code, 0) << resto.out.toStdString() << resto.err.toStdString();
        EXPECT_EQ(countLines(resto.out, QStringLiteral(": vendido")), n - k);
        EXPECT_EQ(countLines(resto.out, QStringLiteral(": já atendido")), k);
        EXPECT_EQ(confereInteiras(), n);
    }
}

// A database without the sale tables is refused whole, naming the schema that makes them.
TEST_F(Caixas, ADatabaseWithoutTheSaleTablesIsRefusedNamingItsSchema) {
    cantina(2);
    exec(QStringLiteral("DROP TABLE NUMCAIXA"));
    const ProcessOutput s = runGeraVenda(
        {entrega(1, 2), QStringLiteral("--conexao"), ClusterPostgres::instancia().odbc(banco_)});
    EXPECT_EQ(s.code, 3) << s.out.toStdString();
    EXPECT_TRUE(s.err.contains(QStringLiteral("schema_postgresql.sql"))) << s.err.toStdString();
    EXPECT_EQ(conta(QStringLiteral("SELECT COUNT(*) FROM VENDA")), 0);
}

// The statements follow the server reached: a connection whose ODBC driver is named like SQL
// Server's but reaches PostgreSQL sells with PostgreSQL's statements.
TEST_F(Caixas, TheDialectIsTheServersNotTheConnectionStringsGuess) {
    cantina(3);
    QFile sistema(QStringLiteral("/etc/odbcinst.ini"));
    ASSERT_TRUE(sistema.open(QIODevice::ReadOnly));
    QString driver;
    bool naSecao = false;
    for (const QString& l : QString::fromUtf8(sistema.readAll()).split(QLatin1Char('\n'))) {
        if (l.startsWith(QLatin1Char('[')))
            naSecao = l.trimmed() == QLatin1String("[PostgreSQL Unicode]");
        if (naSecao && l.startsWith(QLatin1String("Driver="))) driver = l.trimmed();
    }
    ASSERT_FALSE(driver.isEmpty());
    QFile ini(pasta_.filePath(QStringLiteral("odbcinst.ini")));
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write(QStringLiteral("[SQL Server]\n%1\n").arg(driver).toUtf8());
    ini.close();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("ODBCSYSINI"), pasta_.path());
    QString conexao = ClusterPostgres::instancia().odbc(banco_);
    conexao.replace(QStringLiteral("{PostgreSQL Unicode}"), QStringLiteral("{SQL Server}"));
    const ProcessOutput s =
        runGeraVenda({entrega(1, 3), QStringLiteral("--conexao"), conexao}, env);
    EXPECT_EQ(s.code, 0) << s.out.toStdString() << s.err.toStdString();
    EXPECT_EQ(countLines(s.out, QStringLiteral(": vendido")), 3);
    EXPECT_EQ(confereInteiras(), 3);
}

}  // namespace

// Another till holds rows the sale and the day's reading need: with a command timeout shorter
// than the server's lock wait, both end by the statement deadline and say so, not by the lock
// wait.
TEST_F(Caixas, ASaleRunAndADayReadingThatWaitOnALockEndByTheStatementDeadline) {
    const QString odbc = cantina(2) + QStringLiteral(";Command Timeout=1");
    QSqlDatabase outra = db();
    ASSERT_TRUE(outra.transaction());
    QSqlQuery trava(outra);
    ASSERT_TRUE(trava.exec(QStringLiteral("LOCK TABLE VENDA IN ACCESS EXCLUSIVE MODE")));

    QList<Hul00002::HandOverRecord> r;
    r << Hul00002::HandOverRecord{QStringLiteral("0001"),
                                  QStringLiteral("001"),
                                  QStringLiteral("CRC01"),
                                  consumidor(1),
                                  QStringLiteral("Aluno C01"),
                                  QStringLiteral("CL1"),
                                  QStringLiteral("01"),
                                  kDia,
                                  QStringLiteral("1215"),
                                  {},
                                  {}};
    Hul00002::SaleGeneratorOptions op;
    op.connectionString = odbc;
    const Hul00002::SaleRun run =
        Hul00002::generateSales(dataset::toVariant(Hul00002::buildHandOver(r)), op);
    ASSERT_EQ(run.outcomes.size(), 1);
    EXPECT_EQ(run.outcomes[0].status, Hul00002::SaleStatus::NotSold);
    EXPECT_TRUE(run.outcomes[0].reason.contains(QStringLiteral("empo esgotado")))
        << run.outcomes[0].reason.toStdString();

    platform::TADOConnection c;
    c.setReadOnly(false);
    c.setConnectionString(odbc);
    c.setConnected(true);
    try {
        Hul00002::readDay(c, QStringLiteral("0001"), QStringLiteral("001"), kDia);
        ADD_FAILURE() << "the reading did not wait on the lock";
    } catch (const platform::Error& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("Tempo esgotado")))
            << e.message().toStdString();
    }
    outra.rollback();
}

// The closing of a till's day and a sale of that day held open by geravenda: the closing
// waits for the sale and counts it (the server would otherwise let it commit outside).
TEST_F(Caixas, AClosingWhileASaleIsOpenCountsThatSale) {
    const QString odbc = cantina(1);
    const int contadas = closingDuringAnOpenSale(entrega(1, 1), odbc, kDia);
    EXPECT_EQ(contadas, conta(QStringLiteral("SELECT COUNT(*) FROM VENDA")));
    EXPECT_EQ(contadas, 1);
}

// A database set up before the schema had REGISTRA_VENDA sells as it always did, in a
// transaction of several statements a sale.
TEST_F(Caixas, ADatabaseWithoutTheSaleFunctionSellsAsBefore) {
    const QString odbc = cantina(3);
    exec(QStringLiteral("DROP FUNCTION REGISTRA_VENDA"));
    const ProcessOutput r = runGeraVenda({entrega(1, 3), QStringLiteral("--conexao"), odbc});
    EXPECT_EQ(r.code, 0) << r.out.toStdString() << r.err.toStdString();
    EXPECT_EQ(confereInteiras(), 3);
}

// Another program holds a sale of C03 it has not committed: C03 waits the lock deadline and
// is reported, the others are sold; a table another session locks is said to be busy.
TEST_F(Caixas, OneConsumerAnotherSessionHoldsIsReportedAndTheOthersAreSold) {
    const QString odbc = cantina(4);
    QSqlDatabase outra = db();
    ASSERT_TRUE(outra.transaction());
    QSqlQuery q(outra);
    ASSERT_TRUE(q.exec(QStringLiteral(
        "INSERT INTO VENDA (CDFILIAL, CDCAIXA, CDSERVFILI, CDCONSUMIDOR, DTHRREALCONCONS,"
        " DTENTRVENDA, DTCONSUMO, NRVENDA) VALUES ('0001', '001', '00002', 'C03',"
        " '2026-03-16 12:15', '2026-03-16 12:15', '2026-03-16', 900)")))
        << q.lastError().text().toStdString();
    const ProcessOutput r = runGeraVenda({entrega(1, 4), QStringLiteral("--conexao"), odbc});
    outra.rollback();
    EXPECT_EQ(r.code, 1) << r.out.toStdString();
    EXPECT_EQ(countLines(r.out, QStringLiteral(": vendido")), 3) << r.out.toStdString();
    EXPECT_EQ(
        countLines(r.out, QStringLiteral("C03 (CRC03): não vendido - ocupado por outro caixa")), 1)
        << r.out.toStdString();

    ASSERT_TRUE(outra.transaction());
    ASSERT_TRUE(q.exec(QStringLiteral("LOCK TABLE CONSUMIDOR IN ACCESS EXCLUSIVE MODE")));
    platform::TADOConnection c;
    c.setConnectionString(odbc);
    try {
        c.setConnected(true);
        c.requireTables({QStringLiteral("CONSUMIDOR")});
        ADD_FAILURE() << "a locked table passed";
    } catch (const platform::Error& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("ocupado"))) << e.message().toStdString();
        EXPECT_FALSE(e.message().contains(QStringLiteral("não tem a tabela")));
    }
    outra.rollback();
}

// The till login the README sets up sells and closes its day with exactly those grants.
TEST_F(Caixas, TheTillLoginOfTheReadmeSellsAndClosesTheDay) {
    const QString lp = cantina(2);
    const QString papel = QStringLiteral("caixa_") + banco_;
    exec(QStringLiteral("CREATE ROLE %1 LOGIN PASSWORD 'senha-do-caixa'").arg(papel));
    exec(QStringLiteral("GRANT SELECT ON ALL TABLES IN SCHEMA public TO %1").arg(papel));
    exec(QStringLiteral("GRANT INSERT, UPDATE ON VENDA, ITEMVENDA, CUPOMVENDA, NUMCAIXA, FECHACAIXA"
                        " TO %1")
             .arg(papel));
    QString odbc = lp;
    odbc.replace(QRegularExpression(QStringLiteral("UID=lp;PWD=.*$")),
                 QStringLiteral("UID=%1;PWD=senha-do-caixa").arg(papel));
    const ProcessOutput r = runGeraVenda({entrega(1, 2), QStringLiteral("--conexao"), odbc});
    EXPECT_EQ(r.code, 0) << r.out.toStdString() << r.err.toStdString();
    platform::TADOConnection c;
    c.setReadOnly(false);
    c.setConnectionString(odbc);
    c.setConnected(true);
    EXPECT_EQ(Hul00002::closeDay(c, QStringLiteral("0001"), QStringLiteral("001"), kDia).sales, 2);
}

// A closing that holds the till's numbering when a sale of its day comes, through either
// driver: the sale waits for it, then finds the day closed, whatever it saw before it waited.
TEST_F(Caixas, ASaleThatWaitedForAClosingFindsTheDayClosed) {
    QStringList vias{QStringLiteral("odbc")};
    if (ClusterPostgres::semQPsql().isEmpty()) vias << QStringLiteral("url");
    for (const QString& via : vias) {
        SCOPED_TRACE(via.toStdString());
        const QString odbc = cantina(2);
        const QString conexao =
            via == QLatin1String("url") ? ClusterPostgres::instancia().url(banco_) : odbc;
        ASSERT_EQ(runGeraVenda({entrega(1, 1), QStringLiteral("--conexao"), conexao}).code, 0);
        {
            QSqlDatabase fecha =
                ClusterPostgres::instancia().conecta(banco_, QStringLiteral("fechamento"));
            ASSERT_TRUE(fecha.transaction());
            QSqlQuery q(fecha);
            ASSERT_TRUE(q.exec(QStringLiteral("UPDATE NUMCAIXA SET NRULTVENDA = NRULTVENDA")));
            ASSERT_TRUE(q.exec(QStringLiteral(
                "INSERT INTO FECHACAIXA (CDFILIAL, CDCAIXA, NRFECHAMENTO, DTMOVIMENTO,"
                " DTHRFECHAMENTO, TXFECHAMENTO) VALUES ('0001', '001', 7, '2026-03-16', now(),"
                " 'Z')")));
            QProcess p;
            setUpGeraVenda(p, {entrega(2, 2), QStringLiteral("--conexao"), conexao});
            p.start();
            // Let go only once the sale waits on the numbering (its lock wait is 5 s).
            bool espera = false;
            for (int i = 0; i < 200 && !espera; ++i) {
                espera = conta(QStringLiteral("SELECT COUNT(*) FROM pg_stat_activity"
                                              " WHERE wait_event_type = 'Lock'")) > 0;
                if (!espera) QThread::msleep(10);
            }
            EXPECT_TRUE(espera) << "the sale never waited for the closing";
            ASSERT_TRUE(fecha.commit());
            const ProcessOutput r = finishProcess(p);
            EXPECT_EQ(countLines(r.out, QStringLiteral("dia fechado (Redução Z nº 7")), 1)
                << r.out.toStdString() << r.err.toStdString();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("fechamento"));
        EXPECT_EQ(confereInteiras(), 1);
    }
}

// Each record's look at its consumer is its own, through either driver, however the looks
// are made: a consumer already served, an inactive one, one not on file and one handed over
// twice in a row, between consumers that are sold.
TEST_F(Caixas, EachRecordIsJudgedByItsOwnConsumer) {
    QStringList vias{QStringLiteral("odbc")};
    if (ClusterPostgres::semQPsql().isEmpty()) vias << QStringLiteral("url");
    for (const QString& via : vias) {
        SCOPED_TRACE(via.toStdString());
        const QString odbc = cantina(8);
        const QString conexao =
            via == QLatin1String("url") ? ClusterPostgres::instancia().url(banco_) : odbc;
        exec(QStringLiteral("UPDATE CONSUMIDOR SET IDSITCONSUMI = '2' WHERE CDCONSUMIDOR = 'C04'"));
        ASSERT_EQ(runGeraVenda({entrega({3}), QStringLiteral("--conexao"), conexao}).code, 0);
        const ProcessOutput r = runGeraVenda(
            {entrega({1, 3, 4, 99, 5, 6, 6, 7}), QStringLiteral("--conexao"), conexao});
        for (const char* esperada :
             {"C01 (CRC01): vendido", "C03 (CRC03): já atendido - venda 1",
              "C04 (CRC04): não vendido - consumidor inativo",
              "C99 (CRC99): não vendido - consumidor C99 não cadastrado", "C05 (CRC05): vendido",
              "C06 (CRC06): vendido", "C06 (CRC06): já atendido", "C07 (CRC07): vendido"})
            EXPECT_EQ(countLines(r.out, QStringLiteral("Aluno ") + QString::fromUtf8(esperada)), 1)
                << esperada << "\n"
                << r.out.toStdString();
        EXPECT_EQ(confereInteiras(), 5);
    }
}
