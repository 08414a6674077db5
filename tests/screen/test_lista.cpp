// Loading the list as the operator does it: the header checks, the request, the counters, the
// footer views and emptying from the header.

#include <QCoreApplication>
#include <QFile>
#include <QSqlQuery>
#include <QTest>

#include <hul00002/Hul00002.h>

#include "common/FakeTdsServer.h"
#include "common/OdbcDrivers.h"
#include "common/TillFiles.h"
#include "module/dataservice/OfflinePolicy.h"
#include "module/screen/TLabel.h"
#include "platform/OfflineState.h"
#include "pos/sale/TillCopy.h"
#include "pos/sale/TillCopyRefresh.h"
#include "screen/Lista.h"

using namespace teste;

namespace {

const QString k007 = QStringLiteral("007");

class Carga : public Lista {};

TEST_F(Carga, EmptyCaptionsStopAtTheFirstWithItsNoticeAndRequestNothing) {
    AbreComDados();
    Mostra();
    Carrega();
    ASSERT_EQ(mensagens.size(), 1);
    EXPECT_EQ(mensagens[0].texto, QStringLiteral("Centro de Custo deve ser informado."));
    EXPECT_EQ(mensagens[0].tipo, 2);
    EXPECT_EQ(mensagens[0].esquema, k007);
    EXPECT_EQ(mensagens[0].flag3, QStringLiteral("N"));
    EXPECT_EQ(mensagens[0].flag4, QStringLiteral("N"));
    EXPECT_FALSE(tela->cdsPresenca->active());
    EXPECT_EQ(Contadores(), QStringList(4, QStringLiteral("00")));

    // A list on screen stays as it was when only the hour is missing.
    PreencheCabecalho();
    Carrega();
    tela->blbHrVenda->setCaption(QString());
    mensagens.clear();
    ClicaMarca(QStringLiteral("100"));
    tela->dxfInativosClick(nullptr);
    Carrega();
    EXPECT_EQ(Textos(), QStringList{QStringLiteral("Hora deve ser informada.")});
    EXPECT_EQ(Crachas(), (QStringList{QStringLiteral("103"), QStringLiteral("104")}));
    EXPECT_TRUE(tela->cdsPresenca->filtered());
    EXPECT_TRUE(tela->blbGeraVenda->isEnabled());
}

TEST_F(Carga, CountsEachStateAndShowsTheWholeListInNameOrder) {
    AbreComDados();
    Mostra();
    PreencheCabecalho();
    Carrega();
    EXPECT_TRUE(mensagens.isEmpty());
    EXPECT_EQ(Crachas(),
              (QStringList{QStringLiteral("100"), QStringLiteral("101"), QStringLiteral("102"),
                           QStringLiteral("103"), QStringLiteral("104"), QStringLiteral("105"),
                           QStringLiteral("106")}));
    // Pending counts active consumers without a sale; inactive with a sale counts twice; the
    // situation "3" consumer counts in the total alone.
    EXPECT_EQ(Contadores(), (QStringList{QStringLiteral("3"), QStringLiteral("2"),
                                         QStringLiteral("2"), QStringLiteral("7")}));
    EXPECT_FALSE(tela->cdsPresenca->filtered());
    EXPECT_TRUE(tela->blbGeraVenda->isEnabled());
    EXPECT_EQ(Marcas(), QStringList(7, QStringLiteral("N")));
}

TEST_F(Carga, TheCountersOfTheTypicalListAndThePendingViewThatShowsInactiveOnesToo) {
    // Three active, one inactive, one inactive with a sale.
    AbreComDados();
    Mostra();
    PreencheCabecalho();
    banco.Executa({QStringLiteral("DELETE FROM CONSUMIDOR WHERE CDCONSUMIDOR IN ('6','7')")});
    Carrega();
    EXPECT_EQ(Contadores(), (QStringList{QStringLiteral("3"), QStringLiteral("2"),
                                         QStringLiteral("1"), QStringLiteral("5")}));
    tela->dxfPendenteClick(nullptr);
    EXPECT_EQ(Crachas().size(), 4);
}

TEST_F(Carga, AnEmptyResultGivesZerosAndNoSaleButton) {
    AbreComDados();
    Mostra();
    PreencheCabecalho();
    Carrega();
    tela->blbCentCusto->setCaption(QStringLiteral("VAZIO"));
    tela->stCdCCusClie = QStringLiteral("VAZIO");
    Carrega();
    EXPECT_TRUE(Crachas().isEmpty());
    EXPECT_EQ(Contadores(), QStringList(4, QStringLiteral("0")));
    EXPECT_FALSE(tela->blbGeraVenda->isEnabled());
}

TEST_F(Carga, AReloadDiscardsMarksAndTheView) {
    AbreComDados();
    Mostra();
    PreencheCabecalho();
    Carrega();
    ClicaMarca(QStringLiteral("100"));
    ASSERT_EQ(MarcaDe(QStringLiteral("100")), QStringLiteral("S"));
    tela->dxfNcadsClick(nullptr);
    Carrega();
    EXPECT_FALSE(tela->cdsPresenca->filtered());
    EXPECT_EQ(Crachas().size(), 7);
    EXPECT_EQ(Marcas(), QStringList(7, QStringLiteral("N")));
}

TEST_F(Carga, AFailedRequestLeavesNoOlderListBehind) {
    AbreComDados();
    Mostra();
    PreencheCabecalho();
    Carrega();
    ClicaMarca(QStringLiteral("101"));
    tela->dxfPendenteClick(nullptr);
    banco.Executa({QStringLiteral("DROP TABLE CONSUMIDOR")});
    Carrega();
    ASSERT_EQ(mensagens.size(), 1);
    EXPECT_EQ(mensagens[0].tipo, 3);
    EXPECT_TRUE(erros.isEmpty());  // shown once, not again by the general display
    EXPECT_TRUE(Crachas().isEmpty());
    EXPECT_FALSE(tela->cdsPresenca->filtered());
    EXPECT_EQ(Contadores(), QStringList(4, QStringLiteral("0")));
    EXPECT_FALSE(tela->blbGeraVenda->isEnabled());
}

TEST_F(Carga, EachFooterViewAnswersToItsSquareItsLabelAndItsKey) {
    AbreComDados();
    Mostra();
    PreencheCabecalho();
    Carrega();
    const QStringList todos = Crachas();
    ClicaMarca(QStringLiteral("102"));
    const struct {
        platform::TdxfColorButton* quadrado;
        Cli_Kel00815::TLabel* rotulo;
        Qt::Key tecla;
        QStringList esperado;
    } vistas[] = {
        {tela->dxfPendente,
         tela->lblPendentes,
         Qt::Key_P,
         {QStringLiteral("100"), QStringLiteral("101"), QStringLiteral("102"),
          QStringLiteral("103"), QStringLiteral("106")}},
        {tela->dxfInativos,
         tela->lblInativos,
         Qt::Key_I,
         {QStringLiteral("103"), QStringLiteral("104")}},
        {tela->dxfNcads,
         tela->lblVendaGerada,
         Qt::Key_E,
         {QStringLiteral("104"), QStringLiteral("105")}},
        {tela->dxfTotalGeral, tela->lblTotalGeral, Qt::Key_G, todos},
    };
    const QStringList contadores = Contadores();
    for (const auto& v : vistas) {
        for (int via = 0; via < 3; ++via) {
            tela->dxfTotalGeralClick(nullptr);
            tela->dxfInativosClick(nullptr);  // start from another view each time
            if (v.tecla == Qt::Key_I) tela->dxfNcadsClick(nullptr);
            if (via == 0) QTest::mouseClick(v.quadrado, Qt::LeftButton);
            if (via == 1) QTest::mouseClick(v.rotulo, Qt::LeftButton);
            if (via == 2) Tecla(v.tecla);
            EXPECT_EQ(Crachas(), v.esperado) << v.rotulo->objectName().toStdString() << via;
        }
    }
    // Views change nothing else.
    EXPECT_EQ(Contadores(), contadores);
    EXPECT_EQ(MarcaDe(QStringLiteral("102")), QStringLiteral("S"));
    EXPECT_TRUE(tela->blbGeraVenda->isEnabled());
    // "Total Geral" only switches the filter off.
    tela->dxfNcadsClick(nullptr);
    tela->dxfTotalGeralClick(nullptr);
    EXPECT_FALSE(tela->cdsPresenca->filtered());
    EXPECT_EQ(tela->cdsPresenca->filter(), QStringLiteral("DTHRREALCONCONS IS NOT NULL"));
}

TEST_F(Carga, TheHeaderPanelEmptiesTheListAndKeepsEverythingElse) {
    AbreComDados();
    Mostra();
    // Never loaded: nothing to empty, nothing raised.
    QTest::mouseClick(tela->panCabec, Qt::LeftButton, {}, QPoint(620, 100));
    tela->panCabecEnter(nullptr);
    EXPECT_TRUE(erros.isEmpty());
    EXPECT_FALSE(tela->cdsPresenca->active());

    PreencheCabecalho();
    Carrega();
    tela->dxfInativosClick(nullptr);
    const QStringList contadores = Contadores();
    QTest::mouseClick(tela->panCabec, Qt::LeftButton, {}, QPoint(620, 100));
    EXPECT_TRUE(erros.isEmpty());
    EXPECT_TRUE(tela->cdsPresenca->isEmpty());
    EXPECT_EQ(Contadores(), contadores);
    EXPECT_TRUE(tela->blbGeraVenda->isEnabled());
    EXPECT_TRUE(tela->cdsPresenca->filtered());
}

TEST_F(Carga, APickedDateIsWrittenInFullSoThatTheDaysSalesAreFound) {
    AbreComDados();
    Mostra();
    PreencheCabecalho();
    dataCalendario = QStringLiteral("15/3/2024");
    QTest::mouseClick(tela->dxfDtVenda, Qt::LeftButton);
    EXPECT_EQ(tela->blbDtVenda->caption(), QStringLiteral("15/03/2024"));
    Carrega();
    EXPECT_EQ(Contadores().at(2), QStringLiteral("2"));
}

}  // namespace

// A till on SQL Server whose server never answers the connect opens on its copy, as a till on
// PostgreSQL does: the same policy, through the fake server that never finishes a login.
TEST_F(Carga, ASqlServerThatNeverAnswersOpensTheScreenOnTheTillsCopy) {
    if (!odbcDriverInstalled("FreeTDS")) GTEST_SKIP() << "FreeTDS ODBC driver not installed";
    banco = CriaBanco(dir.path());
    banco.Executa(Dados());
    FakeTdsServer servidor(FakeTdsServer::Mode::Trickle, 300, 4);
    const QString tds = QStringLiteral(
                            "Driver=FreeTDS;Server=127.0.0.1;Port=%1;UID=sa;PWD=Segr3do;"
                            "Connect Timeout=1")
                            .arg(servidor.port());
    // A copy taken from the same rows, as the SQL Server's.
    const QString copia = dir.filePath(QStringLiteral("copia-caixa.db"));
    Hul00002::refreshTillCopy(banco.arquivo, QStringLiteral("0001"), QStringLiteral("001"), copia);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("c"));
        db.setDatabaseName(copia);
        ASSERT_TRUE(db.open());
        QSqlQuery q(db);
        ASSERT_TRUE(q.exec(
            QStringLiteral("UPDATE COPIA SET DSSERVIDOR = '%1'").arg(Hul00002::serverDigest(tds))));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("c"));
    const QString parametros =
        QCoreApplication::applicationDirPath() + QStringLiteral("/PARAMETROSZOR.CDS");
    writeParameterFile(parametros);
    qputenv("LISTAPRESENCA_COPIA", copia.toUtf8());
    platform::OfflineState::instance().reset();

    banco.arquivo = tds;
    Abre();
    Mostra();
    EXPECT_TRUE(erros.isEmpty()) << erros.value(0).toStdString();
    EXPECT_TRUE(platform::OfflineState::instance().offline());
    PreencheCabecalho();
    Carrega();
    EXPECT_TRUE(mensagens.isEmpty());
    EXPECT_EQ(Contadores().value(3), QStringLiteral("7"));

    // The load's try at the server ends before the till goes.
    EXPECT_TRUE(Srv_Kel00815::OfflinePolicy::waitForServerAttempt(30000));
    servidor.stop();
    QFile::remove(parametros);
    qunsetenv("LISTAPRESENCA_COPIA");
    platform::OfflineState::instance().reset();
}
