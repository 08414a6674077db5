// A till whose server goes away: the screen opens on the till's copy with its banner, loads the
// list from it, and goes back to the server once it answers; a copy that cannot be used is set
// aside with a clear message and made again at the next connect.

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>

#include <gtest/gtest.h>

#include "common/TillFiles.h"
#include "module/Cli_Kel00815.h"
#include "module/dataservice/OfflinePolicy.h"
#include "module/dataservice/TrdmListaPresenca.h"
#include "module/screen/TLabel.h"
#include "platform/OfflineState.h"
#include "pos/sale/TillCopyRefresh.h"
#include "postgres/ClusterPostgres.h"
#include "screen/Lista.h"

using namespace teste;

namespace {

constexpr int kPrazo = 30000;

class Offline : public Lista {
protected:
    void SetUp() override {
        Lista::SetUp();
        ClusterPostgres& pg = ClusterPostgres::instancia();
        QString por = pg.indisponivel();
        if (por.isEmpty()) por = ClusterPostgres::semOdbc();
        if (!ClusterPostgres::pula(por).isEmpty()) GTEST_SKIP() << por.toStdString();
        const QString nome = pg.novoBanco();
        pg.criaEsquema(nome);
        {
            QSqlDatabase db = pg.conecta(nome, QStringLiteral("offline"));
            for (const QString& sql : Dados()) {
                QSqlQuery q(db);
                ASSERT_TRUE(q.exec(sql)) << q.lastError().text().toStdString();
            }
        }
        QSqlDatabase::removeDatabase(QStringLiteral("offline"));
        // The screen's connection string; branch and till from the parameter file beside us.
        banco.arquivo = pg.odbc(nome);
        writeParameterFile(QCoreApplication::applicationDirPath() +
                           QStringLiteral("/PARAMETROSZOR.CDS"));
        copia_ = dir.filePath(QStringLiteral("copia-caixa.db"));
        qputenv("LISTAPRESENCA_COPIA", copia_.toUtf8());
        platform::OfflineState::instance().reset();
    }
    void TearDown() override {
        // Nothing of the till may still run when the clock and the server go back.
        EXPECT_TRUE(Hul00002::waitForTillSync(kPrazo));
        EXPECT_TRUE(Srv_Kel00815::OfflinePolicy::waitForServerAttempt(kPrazo));
        Lista::TearDown();
        if (ClusterPostgres::instancia().indisponivel().isEmpty())
            ClusterPostgres::instancia().religa();
        qunsetenv("LISTAPRESENCA_COPIA");
        platform::OfflineState::instance().reset();
    }
    void Fecha() {
        delete tela;
        tela = nullptr;
        Cli_Kel00815::frmPresenca = nullptr;
        delete Srv_Kel00815::rdmListaPresenca;
        Srv_Kel00815::rdmListaPresenca = nullptr;
    }
    // The screen opened with the server up, and the copy its connect made.
    void AbreEFazCopia() {
        Abre();
        ASSERT_TRUE(Hul00002::waitForTillSync(kPrazo));
        Fecha();
    }
    Hul00002::TillCopyState estadoDaCopia() const {
        return Hul00002::checkTillCopy(copia_, QStringLiteral("0001"), QStringLiteral("001"),
                                       Hul00002::serverDigest(banco.arquivo))
            .state;
    }
    QStringList postasDeLado() const {
        return QDir(dir.path()).entryList({QStringLiteral("copia-caixa-posta-de-lado-*.db")});
    }
    bool faixaVisivel() {
        QCoreApplication::processEvents();  // the state's signal comes queued
        return tela->lblOffline->isVisible();
    }

    QString copia_;
};

TEST_F(Offline, TheScreenOpensOnTheCopyWhileTheServerIsAwayAndGoesBackToItWhenItAnswers) {
    AbreEFazCopia();
    EXPECT_EQ(estadoDaCopia(), Hul00002::TillCopyState::Valid);

    ClusterPostgres::instancia().desliga();
    Abre();
    Mostra();
    EXPECT_TRUE(mensagens.isEmpty());
    EXPECT_TRUE(erros.isEmpty());
    EXPECT_TRUE(platform::OfflineState::instance().offline());
    ASSERT_TRUE(faixaVisivel());
    EXPECT_TRUE(tela->lblOffline->caption().startsWith(
        QStringLiteral("Sem conexão com o servidor — dados de ")))
        << tela->lblOffline->caption().toStdString();
    PreencheCabecalho();
    Carrega();
    EXPECT_TRUE(mensagens.isEmpty());
    // The sales the copy took from the server grey their consumers as online.
    const QStringList contadores{QStringLiteral("3"), QStringLiteral("2"), QStringLiteral("2"),
                                 QStringLiteral("7")};
    EXPECT_EQ(Contadores(), contadores);
    Foto(QStringLiteral("offline"));

    // A tap on the banner asks for the catch-up at once; its step runs before the refresh.
    QStringList pedidos;
    Hul00002::setCatchUpStep([&](const QString& server, const QString& copyPath) {
        pedidos << QStringLiteral("%1 %2").arg(server == banco.arquivo).arg(copyPath == copia_);
    });
    QTest::mouseClick(tela->lblOffline, Qt::LeftButton);
    EXPECT_TRUE(Hul00002::waitForTillSync(kPrazo));
    Hul00002::setCatchUpStep(nullptr);
    EXPECT_EQ(pedidos, QStringList{QStringLiteral("1 1")});

    // The load tried the server in the background; it is still away.
    ASSERT_TRUE(Srv_Kel00815::OfflinePolicy::waitForServerAttempt(kPrazo));
    Carrega();
    ASSERT_TRUE(Srv_Kel00815::OfflinePolicy::waitForServerAttempt(kPrazo));
    EXPECT_TRUE(faixaVisivel());

    ClusterPostgres::instancia().religa();
    Carrega();  // from the copy still, while the attempt finds the server
    ASSERT_TRUE(Srv_Kel00815::OfflinePolicy::waitForServerAttempt(kPrazo));
    EXPECT_TRUE(platform::OfflineState::instance().offline());
    Carrega();
    EXPECT_FALSE(platform::OfflineState::instance().offline());
    EXPECT_FALSE(faixaVisivel());
    EXPECT_EQ(Contadores(), contadores);
    EXPECT_TRUE(mensagens.isEmpty());
}

TEST_F(Offline, ACopyMissingDamagedOrForeignIsAClearMessageSetAsideAndMadeAgainAtTheNextConnect) {
    struct Caso {
        const char* nome;
        std::function<void()> prepara;
        const char* diz;
    };
    const QList<Caso> casos = {
        {"missing", [] {}, "Este caixa ainda não tem uma cópia dos dados"},
        {"damaged", [&] { writeTillFile(copia_, QByteArray(8192, '\x5a')); },
         "está danificada e foi posta de lado"},
        {"another till",
         [&] {
             Hul00002::refreshTillCopy(banco.arquivo, QStringLiteral("0001"), QStringLiteral("002"),
                                       copia_);
         },
         "é de outra filial ou outro caixa (0001/002) e foi posta de lado"},
    };
    for (const Caso& caso : casos) {
        SCOPED_TRACE(caso.nome);
        for (const QString& f : QDir(dir.path()).entryList({QStringLiteral("copia-caixa*")}))
            QFile::remove(dir.filePath(f));
        caso.prepara();
        const bool haviaArquivo = QFileInfo::exists(copia_);

        ClusterPostgres::instancia().desliga();
        QString texto;
        try {
            Abre();
            ADD_FAILURE() << "the screen opened on an unusable copy";
        } catch (const std::exception& e) {
            texto = QString::fromUtf8(e.what());
        }
        Fecha();
        EXPECT_TRUE(texto.startsWith(QStringLiteral("Falha ao conectar ao banco de dados")))
            << texto.toStdString();
        EXPECT_TRUE(texto.contains(QString::fromUtf8(caso.diz))) << texto.toStdString();
        EXPECT_FALSE(platform::OfflineState::instance().offline());
        EXPECT_EQ(postasDeLado().size(), haviaArquivo ? 1 : 0);
        EXPECT_FALSE(QFileInfo::exists(copia_));

        ClusterPostgres::instancia().religa();
        AbreEFazCopia();
        EXPECT_EQ(estadoDaCopia(), Hul00002::TillCopyState::Valid);
    }
}

}  // namespace

namespace {

TEST_F(Offline, ARefreshFromTheServerKeepsTheTillsOwnSalesAndStoresTimesAsTheTillReadsThem) {
    AbreEFazCopia();
    makeSqlite(copia_,
               {QStringLiteral("INSERT INTO VENDA (CDFILIAL, CDCAIXA, CDSERVFILI, CDCONSUMIDOR, "
                               "DTHRREALCONCONS, DTENTRVENDA, IDSITUVENDA, DTCONSUMO) VALUES "
                               "('0001','001','01','1','2024-03-15 11:31:00',"
                               "'2024-03-15 00:00:00','O','2024-03-15')"),
                QStringLiteral("INSERT INTO CONFLITO (NRSEQVENDA, CDFILIAL, CDCAIXA, CDSERVFILI, "
                               "CDCONSUMIDOR, DSMOTIVO, DTHRCONFLITO) VALUES (1, '0001', '001', "
                               "'01', '2', 'já vendido', '2024-03-15 12:00:00')")});
    Hul00002::refreshTillCopy(banco.arquivo, QStringLiteral("0001"), QStringLiteral("001"), copia_);
    QStringList vendas;
    int conflitos = 0;
    {
        QSqlDatabase db =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("copia"));
        db.setDatabaseName(copia_);
        ASSERT_TRUE(db.open());
        QSqlQuery q(db);
        ASSERT_TRUE(q.exec(QStringLiteral(
            "SELECT CDCONSUMIDOR || ' ' || DTHRREALCONCONS || ' ' || (NRSEQVENDA >= 1000000000000)"
            " FROM VENDA ORDER BY CDCONSUMIDOR")));
        while (q.next()) vendas << q.value(0).toString();
        ASSERT_TRUE(q.exec(QStringLiteral("SELECT COUNT(*) FROM CONFLITO")) && q.next());
        conflitos = q.value(0).toInt();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("copia"));
    EXPECT_EQ(vendas, (QStringList{QStringLiteral("1 2024-03-15 11:31:00 1"),
                                   QStringLiteral("5 2024-03-15 11:40:00 0"),
                                   QStringLiteral("6 2024-03-15 12:10:00 0")}));
    EXPECT_EQ(conflitos, 1);
}

}  // namespace

namespace {

TEST_F(Offline, AServerThatGoesAwayUnderAnOpenScreenLeavesTheLoadOnTheCopyWithoutAnError) {
    Abre();
    ASSERT_TRUE(Hul00002::waitForTillSync(kPrazo));
    Mostra();
    PreencheCabecalho();
    Carrega();
    EXPECT_FALSE(faixaVisivel());
    ClusterPostgres::instancia().desliga();
    Carrega();
    EXPECT_TRUE(mensagens.isEmpty()) << mensagens.value(0).texto.toStdString();
    EXPECT_TRUE(faixaVisivel());
    EXPECT_EQ(Contadores(), (QStringList{QStringLiteral("3"), QStringLiteral("2"),
                                         QStringLiteral("2"), QStringLiteral("7")}));
}

}  // namespace

namespace {

TEST_F(Offline, ALoginRefusedIsAnErrorEvenWithACopyAtHand) {
    AbreEFazCopia();
    banco.arquivo.replace(ClusterPostgres::instancia().senha(), QStringLiteral("errada"));
    QString texto;
    try {
        Abre();
    } catch (const std::exception& e) {
        texto = QString::fromUtf8(e.what());
    }
    EXPECT_TRUE(texto.contains(QStringLiteral("recusou o usuário ou a senha")))
        << texto.toStdString();
    EXPECT_FALSE(platform::OfflineState::instance().offline());
    EXPECT_EQ(estadoDaCopia(), Hul00002::TillCopyState::Valid);
    Fecha();
}

}  // namespace
