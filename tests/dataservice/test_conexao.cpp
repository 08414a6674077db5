// The data module's connection: hooks, the connection string fetched at every connect,
// transactions that never nest.
#include <QDir>
#include <QFile>
#include <QSqlDriver>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

#include <sqlite3.h>

#include "common/FakeTdsServer.h"
#include "common/OdbcDrivers.h"
#include "dataservice/BancoDeTeste.h"
#include "dataset/DataPacket.h"
#include "module/dataservice/TrdmListaPresenca.h"
#include "platform/Platform.h"

using namespace Srv_Kel00815;

namespace {

QStringList centros(const QVariant& v) {
    QStringList r;
    if (!dataset::isDataPacket(v)) return {v.toString()};
    const dataset::DataPacket p = dataset::packetFromVariant(v);
    for (int i = 0; i < p.rowCount(); ++i) r << p.text(i, 0);
    return r;
}

// A database whose only cost centre is `centro`.
std::unique_ptr<BancoDeTeste> bancoCom(const char* centro) {
    auto b = std::make_unique<BancoDeTeste>(Via::Sqlite);
    b->cria();
    b->insere("CONSUMIDOR", {QStringLiteral("1"), QStringLiteral("CL1"), QStringLiteral("1"),
                             QStringLiteral("Nome"), QStringLiteral("1"), QString::fromUtf8(centro),
                             QStringLiteral("01")});
    return b;
}

bool emTransacaoNoBanco() {
    const QVariant h = rdmListaPresenca->adcListaPresenca->database().driver()->handle();
    return sqlite3_get_autocommit(*static_cast<sqlite3* const*>(h.constData())) == 0;
}

class ModuloDeDados : public testing::Test {
protected:
    void TearDown() override { delete rdmListaPresenca; }
};

TEST_F(ModuloDeDados, IsCreatedClosedWithItsComponentsNamed) {
    rdmListaPresenca = new TrdmListaPresenca();
    TrdmListaPresenca& dm = *rdmListaPresenca;
    EXPECT_FALSE(dm.adcListaPresenca->connected());
    EXPECT_EQ(dm.adcListaPresenca->provider(), QStringLiteral("MSDAORA.1"));
    EXPECT_FALSE(dm.adcListaPresenca->loginPrompt());
    EXPECT_EQ(dm.objectName(), QStringLiteral("rdmListaPresenca"));
    EXPECT_EQ(dm.adcListaPresenca->objectName(), QStringLiteral("adcListaPresenca"));
    for (const char* nome : {"adqCentroCusto",
                             "dspCentroCusto",
                             "adqServico",
                             "dspServico",
                             "adqPresenca",
                             "dspPresenca",
                             "adqProdServ",
                             "dspProdServ",
                             "adqTipoCons",
                             "dspTipoCons",
                             "adqProdServTCons",
                             "dspProdservTCons",
                             "adqPresencaIDCHECK",
                             "adqPresencaCDFILIAL",
                             "adqPresencaCDCAIXA",
                             "adqPresencaCDIDCONSUMID",
                             "adqPresencaNMCONSUMIDOR",
                             "adqPresencaIDSITCONSUMI",
                             "adqPresencaCDCLIENTE",
                             "adqPresencaCDTIPOCONS",
                             "adqPresencaCDCONSUMIDOR",
                             "adqPresencaDTHRREALCONCONS"})
        EXPECT_NE(dm.findChild<QObject*>(QString::fromLatin1(nome)), nullptr) << nome;
    delete rdmListaPresenca;
    EXPECT_EQ(rdmListaPresenca, nullptr);  // freeing it clears the global
}

TEST_F(ModuloDeDados, FetchesTheConnectionStringAtEveryConnectOnly) {
    auto a = bancoCom("CENTRO A");
    auto b = bancoCom("CENTRO B");
    rdmListaPresenca = new TrdmListaPresenca();
    platform::TADOConnection& c = *rdmListaPresenca->adcListaPresenca;
    {
        ConexaoDoTeste env(a->conexao());
        c.setConnected(true);
    }
    EXPECT_EQ(c.connectionString(), a->conexao());
    EXPECT_EQ(platform::ADODBSession(), &c);
    EXPECT_EQ(centros(getCentroCusto()), QStringList{QStringLiteral("CENTRO A")});
    {
        ConexaoDoTeste env(b->conexao());
        c.setConnected(true);  // already open: no hook runs
        EXPECT_EQ(c.connectionString(), a->conexao());
        rdmListaPresenca->MtsDataModuleDeactivate(nullptr);
        EXPECT_FALSE(c.connected());
        rdmListaPresenca->MtsDataModuleDeactivate(nullptr);  // closing a closed one: nothing
        rdmListaPresenca->MtsDataModuleActivate(nullptr);
    }
    EXPECT_TRUE(c.connected());
    EXPECT_EQ(centros(getCentroCusto()), QStringList{QStringLiteral("CENTRO B")});
}

// The module's own hooks, watched from outside: the string is fetched before the connect, the
// session made known after it, and neither runs again while the connection stays open.
TEST_F(ModuloDeDados, HooksRunBeforeAndAfterEachConnectInOrder) {
    auto a = bancoCom("CENTRO A");
    auto b = bancoCom("CENTRO B");
    platform::TADOConnection outra;
    platform::SetADODBSession(outra);
    rdmListaPresenca = new TrdmListaPresenca();
    platform::TADOConnection& c = *rdmListaPresenca->adcListaPresenca;
    QStringList passos;
    const auto estado = [&c](const char* hook) {
        return QStringLiteral("%1 aberta=%2 sessao=%3 cadeia=%4")
            .arg(QLatin1String(hook))
            .arg(c.connected())
            .arg(platform::ADODBSession() == &c)
            .arg(c.connectionString());
    };
    const auto antes = c.BeforeConnect;
    const auto depois = c.AfterConnect;
    c.BeforeConnect = [&](QObject* s) {
        passos << estado("antes");
        antes(s);
        passos << estado("antes/fim");
    };
    c.AfterConnect = [&](QObject* s) {
        passos << estado("depois");
        depois(s);
        passos << estado("depois/fim");
    };
    {
        ConexaoDoTeste env(a->conexao());
        c.setConnected(true);
        c.setConnected(true);
        rdmListaPresenca->MtsDataModuleActivate(nullptr);
    }
    const QString sa = a->conexao(), sb = b->conexao();
    EXPECT_EQ(passos, QStringList({QStringLiteral("antes aberta=0 sessao=0 cadeia="),
                                   QStringLiteral("antes/fim aberta=0 sessao=0 cadeia=") + sa,
                                   QStringLiteral("depois aberta=1 sessao=0 cadeia=") + sa,
                                   QStringLiteral("depois/fim aberta=1 sessao=1 cadeia=") + sa}));
    passos.clear();
    rdmListaPresenca->MtsDataModuleDeactivate(nullptr);
    {
        ConexaoDoTeste env(b->conexao());
        rdmListaPresenca->MtsDataModuleActivate(nullptr);
    }
    EXPECT_EQ(passos, QStringList({QStringLiteral("antes aberta=0 sessao=1 cadeia=") + sa,
                                   QStringLiteral("antes/fim aberta=0 sessao=1 cadeia=") + sb,
                                   QStringLiteral("depois aberta=1 sessao=1 cadeia=") + sb,
                                   QStringLiteral("depois/fim aberta=1 sessao=1 cadeia=") + sb}));
    EXPECT_EQ(centros(getCentroCusto()), QStringList{QStringLiteral("CENTRO B")});
}

TEST_F(ModuloDeDados, AFailedConnectStaysClosedAndMakesNoSessionKnown) {
    platform::TADOConnection outra;
    platform::SetADODBSession(outra);
    rdmListaPresenca = new TrdmListaPresenca();
    QTemporaryDir dir;
    ConexaoDoTeste env(dir.filePath(QStringLiteral("nao/existe.db")));
    EXPECT_ANY_THROW(rdmListaPresenca->adcListaPresenca->setConnected(true));
    EXPECT_FALSE(rdmListaPresenca->adcListaPresenca->connected());
    EXPECT_EQ(platform::ADODBSession(), &outra);
    platform::SetADODBSession(*rdmListaPresenca->adcListaPresenca);
}

TEST_F(ModuloDeDados, AnEmptyOrForeignDatabaseIsRefusedAtConnect) {
    platform::TADOConnection outra;
    platform::SetADODBSession(outra);
    QTemporaryDir dir;
    const QString vazio = dir.filePath(QStringLiteral("vazio.db"));
    QFile(vazio).open(QIODevice::WriteOnly);
    auto parcial = std::make_unique<BancoDeTeste>(Via::Sqlite);
    parcial->cria();
    parcial->exec(QStringLiteral("DROP TABLE PRODSERVTCON"));
    QStringList conexoes = {vazio, parcial->conexao()};
    if (odbcDriverInstalled("SQLite3"))
        conexoes << QStringLiteral("Driver=SQLite3;Database=%1").arg(vazio);
    rdmListaPresenca = new TrdmListaPresenca();
    for (const QString& conexao : conexoes) {
        ConexaoDoTeste env(conexao);
        try {
            rdmListaPresenca->adcListaPresenca->setConnected(true);
            ADD_FAILURE() << conexao.toStdString();
        } catch (const platform::Error& e) {
            EXPECT_TRUE(
                e.message().startsWith(QStringLiteral("Este banco de dados não é o do caixa")))
                << e.what();
        }
        EXPECT_FALSE(rdmListaPresenca->adcListaPresenca->connected());
        EXPECT_EQ(platform::ADODBSession(), &outra);
    }
    try {
        ConexaoDoTeste env(parcial->conexao());
        rdmListaPresenca->adcListaPresenca->setConnected(true);
    } catch (const platform::Error& e) {
        EXPECT_TRUE(e.message().endsWith(QStringLiteral("não tem a tabela PRODSERVTCON.")))
            << e.what();
    }
    platform::SetADODBSession(*rdmListaPresenca->adcListaPresenca);
}

// A NUL in a text argument would end the value for a driver, which then matches another
// branch's rows: every function refuses it with its error text.
TEST_F(ModuloDeDados, ATextArgumentHoldingNulIsRefusedByEveryFunction) {
    auto b = bancoCom("CC");
    ConexaoDoTeste env(b->conexao());
    rdmListaPresenca = new TrdmListaPresenca();
    rdmListaPresenca->adcListaPresenca->setConnected(true);
    const QString bom = QStringLiteral("0001");
    const QString nulo = QStringLiteral("0001") + QChar(0) + QStringLiteral("9");
    const QDateTime dia(QDate(2024, 3, 15), QTime(0, 0));
    const QList<std::function<QVariant(const QString&)>> chamadas = {
        [&](const QString& v) { return getServico(v, bom); },
        [&](const QString& v) { return getServico(bom, v); },
        [&](const QString& v) { return getPresenca(v, bom, bom, bom, bom); },
        [&](const QString& v) { return getPresenca(bom, bom, bom, bom, v); },
        [&](const QString& v) { return getProdServ(bom, bom, v); },
        [&](const QString& v) { return getProdServTCons(bom, bom, bom, v); },
        [&](const QString& v) { return getTipoCons(bom, bom, v, bom, dia); },
        [&](const QString& v) { return getTipoCons(bom, bom, bom, v, dia); },
    };
    for (int i = 0; i < chamadas.size(); ++i) {
        EXPECT_TRUE(dataset::isDataPacket(chamadas[i](bom))) << i;
        const QVariant v = chamadas[i](nulo);
        ASSERT_EQ(v.typeId(), QMetaType::QString) << i;
        EXPECT_TRUE(v.toString().contains(QStringLiteral("caractere nulo")))
            << v.toString().toStdString();
    }
}

TEST_F(ModuloDeDados, TransactionsNeverNestAndEndingNoneIsSilent) {
    auto a = bancoCom("CENTRO A");
    ConexaoDoTeste env(a->conexao());
    rdmListaPresenca = new TrdmListaPresenca();
    platform::TADOConnection& c = *rdmListaPresenca->adcListaPresenca;
    c.setConnected(true);
    EXPECT_NO_THROW(rdmListaPresenca->CommitTrans());
    EXPECT_NO_THROW(rdmListaPresenca->RollbackTrans());
    EXPECT_FALSE(emTransacaoNoBanco());

    rdmListaPresenca->StartTrans();
    EXPECT_NO_THROW(rdmListaPresenca->StartTrans());  // a second BEGIN would fail in SQLite
    EXPECT_TRUE(c.inTransaction());
    EXPECT_TRUE(emTransacaoNoBanco());
    EXPECT_EQ(centros(getCentroCusto()), QStringList{QStringLiteral("CENTRO A")});
    rdmListaPresenca->CommitTrans();
    EXPECT_FALSE(c.inTransaction());
    EXPECT_FALSE(emTransacaoNoBanco());
    EXPECT_NO_THROW(rdmListaPresenca->CommitTrans());

    rdmListaPresenca->StartTrans();
    rdmListaPresenca->RollbackTrans();
    EXPECT_FALSE(c.inTransaction());
    EXPECT_FALSE(emTransacaoNoBanco());
}

// A statement that fails after some rows were read gives the error, never the rows so far.
TEST_F(ModuloDeDados, AReadInterruptedHalfwayIsAnErrorNotAShortList) {
    auto b = std::make_unique<BancoDeTeste>(Via::Sqlite);
    b->cria();
    b->insere("CLIENFILIAL", {QStringLiteral("0001"), QStringLiteral("CL1")});
    for (int i = 0; i < 40; ++i)
        b->insere("CONSUMIDOR", {QString::number(i), QStringLiteral("CL1"), QString::number(i),
                                 QStringLiteral("Nome %1").arg(i), QStringLiteral("1"),
                                 QStringLiteral("CC"), QStringLiteral("01")});
    ConexaoDoTeste env(b->conexao());
    rdmListaPresenca = new TrdmListaPresenca();
    rdmListaPresenca->adcListaPresenca->setConnected(true);
    const QVariant h = rdmListaPresenca->adcListaPresenca->database().driver()->handle();
    sqlite3* db = *static_cast<sqlite3* const*>(h.constData());

    struct Contador {
        int chamadas = 0;
        int paraEm = 0;  // 0: never
    } c;
    sqlite3_progress_handler(
        db, 1,
        [](void* p) {
            auto* x = static_cast<Contador*>(p);
            return ++x->chamadas == x->paraEm ? 1 : 0;
        },
        &c);
    const auto lista = [] {
        return getPresenca(QStringLiteral("0001"), QStringLiteral("001"), QStringLiteral("CC"),
                           QStringLiteral("00001"), QStringLiteral("15/03/2024"));
    };
    ASSERT_TRUE(dataset::isDataPacket(lista()));
    const int total = c.chamadas;
    ASSERT_GT(total, 40);
    for (const int k : {1, total / 3, total / 2, total - 1}) {
        c = Contador{0, k};
        const QVariant v = lista();
        EXPECT_EQ(v.typeId(), QMetaType::QString) << "interrupted at " << k << " of " << total;
        EXPECT_FALSE(dataset::isDataPacket(v));
    }
    c = Contador{};
    EXPECT_EQ(dataset::packetFromVariant(lista()).rowCount(), 40);
    sqlite3_progress_handler(db, 0, nullptr, nullptr);
}

// A server that holds a lock on the consumers: the function returns its error text at the
// command timeout, and again at the next call, instead of keeping the till waiting.
TEST_F(ModuloDeDados, DeadlineAQueryBehindALockReturnsItsErrorText) {
    if (!odbcDriverInstalled("FreeTDS")) GTEST_SKIP() << "FreeTDS ODBC driver not installed";
    FakeTdsServer servidor(FakeTdsServer::Mode::Lock, 300, 2, QStringLiteral("CDCCUSCLIE"));
    ConexaoDoTeste env(QStringLiteral("Provider=SQLOLEDB;Data Source=127.0.0.1,%1;User ID=sa;"
                                      "Password=x;Command Timeout=1")
                           .arg(servidor.port()));
    rdmListaPresenca = new TrdmListaPresenca();
    rdmListaPresenca->adcListaPresenca->setConnected(true);
    for (int vez = 0; vez < 2; ++vez) {
        const QVariant v = getCentroCusto();
        ASSERT_EQ(v.typeId(), QMetaType::QString);
        EXPECT_EQ(v.toString(),
                  QStringLiteral("Tempo esgotado: o banco de dados não respondeu em 1 segundo."));
    }
}

TEST(FuncoesSemModulo, ReturnTextWhenThereIsNoDataModule) {
    ASSERT_EQ(rdmListaPresenca, nullptr);
    for (const QVariant& v :
         {getCentroCusto(), getServico(QStringLiteral("0001"), QStringLiteral("001")),
          getPresenca({}, {}, {}, {}, {}), getProdServ({}, {}, {}),
          getProdServTCons({}, {}, {}, {}), getTipoCons({}, {}, {}, {}, QDateTime())}) {
        EXPECT_EQ(v.typeId(), QMetaType::QString);
        EXPECT_FALSE(v.toString().isEmpty());
    }
}

}  // namespace
