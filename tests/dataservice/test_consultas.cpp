// The six data-service functions and the badge's cost centre, run alike over SQLite (Qt's driver),
// SQLite through ODBC (positional binding of repeated names), PostgreSQL through ODBC and through
// Qt's driver (a throwaway server of this program's own) and SQL Server when one is configured.
#include <QDateTime>
#include <QSqlQuery>
#include <QStringList>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "dataservice/BancoDeTeste.h"
#include "dataset/DataPacket.h"
#include "module/dataservice/Consultas.h"
#include "module/dataservice/TADOQuery.h"
#include "module/dataservice/TrdmListaPresenca.h"

using namespace Srv_Kel00815;

namespace {

const QString F1 = QStringLiteral("0001");
const QString F2 = QStringLiteral("0002");
const QString CX1 = QStringLiteral("001");
const QString CX2 = QStringLiteral("002");
const QString ALMOCO = QStringLiteral("00001");
const QString JANTAR = QStringLiteral("00002");
const QString TURMA = QStringLiteral("TURMA A");
const QString DIA = QStringLiteral("15/03/2024");
const QDate D(2024, 3, 15);

QString s(const char* t) {
    return QString::fromUtf8(t);
}

dataset::DataPacket pacote(const QVariant& v) {
    if (!dataset::isDataPacket(v)) {
        ADD_FAILURE() << "error text instead of a packet: " << v.toString().toStdString();
        return {};
    }
    return dataset::packetFromVariant(v);
}

QStringList coluna(const dataset::DataPacket& p, const char* nome) {
    QStringList r;
    const int c = p.fieldIndex(QString::fromLatin1(nome));
    for (int i = 0; i < p.rowCount(); ++i)
        r << (p.isNull(i, c) ? QStringLiteral("<null>") : p.text(i, c));
    return r;
}

QString diaDe(const dataset::DataPacket& p, const QString& nome) {
    const int cn = p.fieldIndex(QStringLiteral("NMCONSUMIDOR"));
    const int cd = p.fieldIndex(QStringLiteral("DTHRREALCONCONS"));
    for (int i = 0; i < p.rowCount(); ++i)
        if (p.text(i, cn) == nome)
            return p.isNull(i, cd) ? QStringLiteral("<null>") : p.text(i, cd);
    return QStringLiteral("<absent>");
}

std::string nomeDaVia(const testing::TestParamInfo<Via>& i) {
    switch (i.param) {
        case Via::Sqlite:
            return "QSQLITE";
        case Via::OdbcSqlite:
            return "QODBC_SQLite";
        case Via::SqlServer:
            return "QODBC_SqlServer";
        case Via::PostgresOdbc:
            return "QODBC_PostgreSQL";
        case Via::PostgresQt:
            return "QPSQL";
    }
    return "?";
}

class Consultas : public testing::TestWithParam<Via> {
protected:
    void SetUp() override {
        banco_ = std::make_unique<BancoDeTeste>(GetParam());
        if (!banco_->indisponivel().isEmpty()) GTEST_SKIP() << banco_->indisponivel().toStdString();
        banco_->cria();
        preenche(*banco_);
        conexao_ = std::make_unique<ConexaoDoTeste>(banco_->conexao());
        rdmListaPresenca = new TrdmListaPresenca();
        rdmListaPresenca->adcListaPresenca->setConnected(true);
    }
    void TearDown() override {
        delete rdmListaPresenca;
        conexao_.reset();
        banco_.reset();
    }

    static void preenche(BancoDeTeste& b) {
        b.insere("CLIENTE", {s("CL1"), s("Colégio")});
        b.insere("CLIENTE", {s("CL2"), s("Outra escola")});
        b.insere("CLIENFILIAL", {F1, s("CL1")});
        b.insere("CLIENFILIAL", {F2, s("CL1")});
        b.insere("CLIENFILIAL", {F2, s("CL2")});
        b.insere("SERVICO", {ALMOCO, s("Almoço")});
        b.insere("SERVICO", {JANTAR, s("Jantar")});
        b.insere("SERVTURCAIXA", {F1, CX1, ALMOCO, s("1100"), s("1400"), s("N")});
        b.insere("SERVTURCAIXA", {F1, CX1, JANTAR, s("1800"), s("2030"), s("S")});
        b.insere("SERVTURCAIXA", {F1, CX2, ALMOCO, s("1100"), s("1400"), s("N")});
        b.insere("SERVTURCAIXA", {F2, CX1, ALMOCO, s("1000"), s("1300"), s("N")});
        b.insere("PRODTURCAIXA", {F1, CX1, ALMOCO, s("ALMOCO")});
        b.insere("PRODTURCAIXA", {F2, CX1, ALMOCO, s("OUTRO")});
        b.insere("PRODSERVTCON", {F1, CX1, JANTAR, s("01"), s("JANTAR")});
        b.insere("PRODSERVTCON", {F1, CX1, JANTAR, s("02"), s("JANTARINF")});
        b.insere("PRODSERVTCON", {F1, CX2, JANTAR, s("03"), s("OUTRO")});
        struct C {
            const char *cod, *cli, *nome, *sit, *cc, *tipo;
        };
        const C consumidores[] = {
            {"1", "CL1", "Ângela Souza", "1", "TURMA A", "01"},
            {"2", "CL1", "ana Lima", "1", "TURMA A", "02"},
            {"3", "CL1", "Álvaro Dias", "1", "TURMA A", "01"},
            {"4", "CL1", "Bruno Gonçalves", "1", "TURMA A", "01"},
            {"5", "CL1", "Carla Conceição", "2", "TURMA A", "02"},
            {"6", "CL2", "Zélia Brandão", "1", "TURMA A", "09"},
            {"7", "CL1", "Denis Souza", "1", "TURMA A", "01"},
            {"8", "CL1", "Érica Simões", "1", "TURMA A", "01"},
            {"9", "CL1", "Fábio Romão", "1", "TURMA A", "01"},
            {"10", "CL1", "Gilda Falcão", "1", "TURMA A", "01"},
            {"11", "CL1", "Hélio Araújo", "1", "TURMA A", "01"},
            {"12", "CL2", "Iara Lopes", "1", "SÓ OUTRA", "03"},
            {"13", "CL1", "Joana D'Arc", "1", "O'BRIEN", "01"},
            {"14", "CL1", "Kátia Quest", "1", "?", "01"},
        };
        for (const C& c : consumidores)
            b.insere("CONSUMIDOR", {s(c.cod), s(c.cli), QString(s("9") + s(c.cod)), s(c.nome),
                                    s(c.sit), s(c.cc), s(c.tipo)});
        const auto em = [](QDate d, int h, int m, int sec) {
            return QDateTime(d, QTime(h, m, sec));
        };
        b.venda(F1, CX1, ALMOCO, s("1"), em(D, 0, 0, 0), s("O"));  // Ângela: twice that day
        b.venda(F1, CX1, ALMOCO, s("1"), em(D, 12, 30, 0), s("O"));
        b.venda(F1, CX1, ALMOCO, s("2"), em(D, 12, 0, 0), s("C"));  // ana: not valid
        b.venda(F1, CX1, JANTAR, s("3"), em(D, 19, 0, 0), s("O"));  // Álvaro: other service
        b.venda(F1, CX2, ALMOCO, s("4"), em(D, 12, 0, 0), s("O"));  // Bruno: other till
        b.venda(F1, CX1, ALMOCO, s("7"), em(D.addDays(-1), 23, 59, 59), s("O"));  // Denis
        b.venda(F1, CX1, ALMOCO, s("7"), em(D.addDays(1), 0, 0, 0), s("O"));
        b.venda(F1, CX1, ALMOCO, s("8"), em(D, 23, 59, 59), s("O"));  // Érica: last second
        b.venda(F2, CX1, ALMOCO, s("9"), em(D, 12, 0, 0), s("O"));    // Fábio: other branch
        b.venda(F1, CX1, ALMOCO, s("10"), em(D, 0, 0, 0), s("O"));    // Gilda: first second
    }

    std::unique_ptr<BancoDeTeste> banco_;
    std::unique_ptr<ConexaoDoTeste> conexao_;
};

TEST_P(Consultas, AttendanceListsTheBranchsConsumersByNameWithTheTenColumns) {
    const dataset::DataPacket p = pacote(getPresenca(F1, CX1, TURMA, ALMOCO, DIA));
    const QStringList nomes = QStringLiteral(
                                  "IDCHECK CDFILIAL CDCAIXA CDIDCONSUMID NMCONSUMIDOR "
                                  "IDSITCONSUMI DTHRREALCONCONS CDCLIENTE CDTIPOCONS "
                                  "CDCONSUMIDOR")
                                  .split(QLatin1Char(' '));
    const QList<int> larguras{1, 4, 3, 21, 50, 1, 10, 21, 2, 21};
    ASSERT_EQ(p.fields().size(), 10);
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(p.fields().at(i).name, nomes.at(i));
        EXPECT_EQ(p.fields().at(i).size, larguras.at(i)) << nomes.at(i).toStdString();
        EXPECT_TRUE(p.fields().at(i).isText());
    }
    // Zélia's client is not served at this branch; accents and case do not change the order.
    EXPECT_EQ(coluna(p, "NMCONSUMIDOR"),
              QStringList({s("Álvaro Dias"), s("ana Lima"), s("Ângela Souza"), s("Bruno Gonçalves"),
                           s("Carla Conceição"), s("Denis Souza"), s("Érica Simões"),
                           s("Fábio Romão"), s("Gilda Falcão"), s("Hélio Araújo")}));
    for (int i = 0; i < p.rowCount(); ++i) {
        EXPECT_EQ(p.text(i, 0), s("N"));
        EXPECT_EQ(p.text(i, 1), F1);
        EXPECT_EQ(p.text(i, 2), CX1);
    }
    EXPECT_EQ(coluna(p, "CDCONSUMIDOR").first(), s("3"));
    EXPECT_EQ(coluna(p, "CDIDCONSUMID").first(), s("93"));
    EXPECT_EQ(coluna(p, "CDCLIENTE").first(), s("CL1"));
    EXPECT_EQ(coluna(p, "CDTIPOCONS").first(), s("01"));
    EXPECT_EQ(coluna(p, "IDSITCONSUMI").at(4), s("2"));
}

TEST_P(Consultas, SaleDayShowsOnlyForValidSalesOfThatBranchTillServiceAndDay) {
    const dataset::DataPacket p = pacote(getPresenca(F1, CX1, TURMA, ALMOCO, DIA));
    EXPECT_EQ(p.rowCount(), 10);  // two sales of Ângela still give one row
    EXPECT_EQ(diaDe(p, s("Ângela Souza")), DIA);
    EXPECT_EQ(diaDe(p, s("Érica Simões")), DIA);  // 23:59:59
    EXPECT_EQ(diaDe(p, s("Gilda Falcão")), DIA);  // 00:00:00
    for (const char* semDia : {"ana Lima", "Álvaro Dias", "Bruno Gonçalves", "Carla Conceição",
                               "Denis Souza", "Fábio Romão", "Hélio Araújo"})
        EXPECT_EQ(diaDe(p, s(semDia)), s("<null>")) << semDia;

    // The neighbouring days see their own sales only.
    const dataset::DataPacket antes =
        pacote(getPresenca(F1, CX1, TURMA, ALMOCO, QStringLiteral("14/03/2024")));
    EXPECT_EQ(diaDe(antes, s("Denis Souza")), s("14/03/2024"));
    EXPECT_EQ(diaDe(antes, s("Ângela Souza")), s("<null>"));
    // The other till and the other service see theirs.
    EXPECT_EQ(diaDe(pacote(getPresenca(F1, CX2, TURMA, ALMOCO, DIA)), s("Bruno Gonçalves")), DIA);
    EXPECT_EQ(diaDe(pacote(getPresenca(F1, CX1, TURMA, JANTAR, DIA)), s("Álvaro Dias")), DIA);
}

TEST_P(Consultas, DayTextInAnotherFormatMatchesNoSale) {
    // Sales just after a day the calendar lacks: "31/02" or "29/02" of a common year is no
    // range reaching into March.
    banco_->venda(F1, CX1, ALMOCO, s("11"), QDateTime(QDate(2023, 3, 1), QTime(12, 0)), s("O"));
    banco_->venda(F1, CX1, ALMOCO, s("11"), QDateTime(QDate(2024, 3, 2), QTime(12, 0)), s("O"));
    EXPECT_EQ(
        diaDe(pacote(getPresenca(F1, CX1, TURMA, ALMOCO, s("01/03/2023"))), s("Hélio Araújo")),
        s("01/03/2023"));
    for (const char* dia : {"2024-03-15", "15-03-2024", "15/3/2024", "15/03/24", "", "31/02/2024",
                            "30/02/2024", "29/02/2023", " 15/03/2024", "15/03/2024 "}) {
        const dataset::DataPacket p = pacote(getPresenca(F1, CX1, TURMA, ALMOCO, s(dia)));
        EXPECT_EQ(p.rowCount(), 10) << dia;
        EXPECT_EQ(diaDe(p, s("Ângela Souza")), s("<null>")) << dia;
        EXPECT_EQ(diaDe(p, s("Hélio Araújo")), s("<null>")) << dia;
    }
}

TEST(LimitesDoDia, ACalendarDayAndTheNextOneNothingElse) {
    using consultas::limitesDoDia;
    const auto par = [](const char* a, const char* b) {
        return std::optional(std::pair{s(a), s(b)});
    };
    EXPECT_EQ(limitesDoDia(s("15/03/2024")), par("2024-03-15", "2024-03-16"));
    EXPECT_EQ(limitesDoDia(s("29/02/2024")), par("2024-02-29", "2024-03-01"));
    EXPECT_EQ(limitesDoDia(s("29/02/2000")), par("2000-02-29", "2000-03-01"));
    EXPECT_EQ(limitesDoDia(s("30/04/2024")), par("2024-04-30", "2024-05-01"));
    EXPECT_EQ(limitesDoDia(s("31/12/2024")), par("2024-12-31", "2025-01-01"));
    EXPECT_EQ(limitesDoDia(s("01/01/0000")), par("0000-01-01", "0000-01-02"));
    for (const char* ruim : {"31/02/2024", "29/02/2023", "29/02/1900", "31/04/2024",  "00/03/2024",
                             "32/03/2024", "15/00/2024", "15/13/2024", "15/3/2024",   "",
                             "15/03/24",   "2024-03-15", "15-03-2024", "15/03/2024 ", " 5/03/2024",
                             "+5/03/2024", "15/03/-024", "1a/03/2024", "１5/03/2024", "31/12/9999"})
        EXPECT_EQ(limitesDoDia(s(ruim)), std::nullopt) << ruim;
}

TEST_P(Consultas, CostCentreWithoutConsumersOfTheBranchGivesAnEmptyPacketWithItsColumns) {
    for (const char* cc : {"SÓ OUTRA", "NENHUM"}) {
        const dataset::DataPacket p = pacote(getPresenca(F1, CX1, s(cc), ALMOCO, DIA));
        EXPECT_EQ(p.rowCount(), 0) << cc;
        EXPECT_EQ(p.fields().size(), 10);
    }
    // At the other branch the client of Iara is served.
    EXPECT_EQ(coluna(pacote(getPresenca(F2, CX1, s("SÓ OUTRA"), ALMOCO, DIA)), "NMCONSUMIDOR"),
              QStringList{s("Iara Lopes")});
}

TEST_P(Consultas, ConsumptionTypesAreThoseOfTheBranchsConsumersWhateverDayServiceOrTill) {
    const auto tipos = [](const QString& caixa, const QString& serv, QDateTime dia) {
        QStringList t = coluna(pacote(getTipoCons(F1, caixa, TURMA, serv, dia)), "CDTIPOCONS");
        std::sort(t.begin(), t.end());
        return t;
    };
    const QStringList esperado{s("01"), s("02")};  // never Zélia's "09"
    EXPECT_EQ(tipos(CX1, ALMOCO, QDateTime(D, QTime(0, 0))), esperado);
    EXPECT_EQ(tipos(CX2, JANTAR, QDateTime(D.addDays(-40), QTime(0, 0))), esperado);
    EXPECT_EQ(tipos(s("999"), s("99999"), QDateTime()), esperado);
    EXPECT_EQ(coluna(pacote(getTipoCons(F1, CX1, s("SÓ OUTRA"), ALMOCO, QDateTime(D, QTime()))),
                     "CDTIPOCONS"),
              QStringList());
}

TEST_P(Consultas, CostCentresServicesAndProducts) {
    // Cost centres of every branch, in the operator's order.
    EXPECT_EQ(coluna(pacote(getCentroCusto()), "CDCCUSCLIE"),
              QStringList({s("?"), s("O'BRIEN"), s("SÓ OUTRA"), s("TURMA A")}));

    dataset::DataPacket sv = pacote(getServico(F1, CX1));
    ASSERT_EQ(sv.rowCount(), 2);
    QStringList linhas;
    for (int i = 0; i < sv.rowCount(); ++i) {
        QStringList l;
        for (const char* c :
             {"CDSERVFILI", "NMSERVICO", "HRINISERTUR", "HRFINSERTUR", "IDIMPCUPOMAUT"})
            l << sv.text(i, sv.fieldIndex(s(c)));
        linhas << l.join(QLatin1Char('|'));
    }
    std::sort(linhas.begin(), linhas.end());
    EXPECT_EQ(linhas, QStringList({s("00001|Almoço|1100|1400|N"), s("00002|Jantar|1800|2030|S")}));
    EXPECT_EQ(coluna(pacote(getServico(F1, CX2)), "CDSERVFILI"), QStringList{ALMOCO});
    EXPECT_EQ(pacote(getServico(s("0003"), CX1)).rowCount(), 0);

    const dataset::DataPacket ps = pacote(getProdServ(F1, CX1, ALMOCO));
    EXPECT_EQ(coluna(ps, "CDPRODUTO"), QStringList{s("ALMOCO")});
    EXPECT_EQ(coluna(ps, "CDSERVFILI"), QStringList{ALMOCO});
    EXPECT_EQ(pacote(getProdServ(F1, CX1, JANTAR)).rowCount(), 0);
    EXPECT_EQ(coluna(pacote(getProdServTCons(F1, CX1, JANTAR, s("02"))), "CDPRODUTO"),
              QStringList{s("JANTARINF")});
    EXPECT_EQ(pacote(getProdServTCons(F1, CX1, JANTAR, s("03"))).rowCount(), 0);
    EXPECT_EQ(pacote(getProdServTCons(F1, CX1, ALMOCO, s("01"))).rowCount(), 0);
}

TEST_P(Consultas, TextArgumentsAreBoundAsValuesAndChangeNothing) {
    EXPECT_EQ(coluna(pacote(getPresenca(F1, CX1, s("O'BRIEN"), ALMOCO, DIA)), "NMCONSUMIDOR"),
              QStringList{s("Joana D'Arc")});
    EXPECT_EQ(coluna(pacote(getPresenca(F1, CX1, s("?"), ALMOCO, DIA)), "NMCONSUMIDOR"),
              QStringList{s("Kátia Quest")});
    const int vendas = banco_->conta("VENDA");
    for (const char* mal : {"'", ":P_CDFILIAL", "?", "'; DELETE FROM VENDA;--", "' OR '1'='1"}) {
        const QString m = s(mal);
        EXPECT_EQ(pacote(getPresenca(m, CX1, TURMA, ALMOCO, DIA)).rowCount(), 0) << mal;
        const dataset::DataPacket p = pacote(getPresenca(F1, m, TURMA, m, m));
        EXPECT_EQ(p.rowCount(), 10) << mal;
        EXPECT_EQ(diaDe(p, s("Ângela Souza")), s("<null>")) << mal;
        if (p.rowCount() > 0) {
            EXPECT_EQ(p.text(0, 2), m.left(16));
        }
        EXPECT_EQ(pacote(getTipoCons(F1, m, TURMA, m, QDateTime())).rowCount(), 2) << mal;
        EXPECT_EQ(pacote(getServico(F1, m)).rowCount(), 0) << mal;
        EXPECT_EQ(pacote(getProdServ(F1, CX1, m)).rowCount(), 0) << mal;
        EXPECT_EQ(pacote(getProdServTCons(F1, CX1, JANTAR, m)).rowCount(), 0) << mal;
    }
    EXPECT_EQ(banco_->conta("VENDA"), vendas);
}

TEST_P(Consultas, TextArgumentsAreCutTo16Characters) {
    if (!banco_->ehSqlite()) GTEST_SKIP() << "the server's column is narrower than 16";
    banco_->insere("CONSUMIDOR", {s("20"), s("CL1"), s("920"), s("Longo"), s("1"),
                                  s("ABCDEFGHIJKLMNOP"), s("01")});
    EXPECT_EQ(coluna(pacote(getPresenca(F1, CX1, s("ABCDEFGHIJKLMNOPQRSTUVWXYZ"), ALMOCO, DIA)),
                     "NMCONSUMIDOR"),
              QStringList{s("Longo")});
}

TEST_P(Consultas, ABadgeOutsideTheListNamesTheOtherCostCentreOfItsBranchOnly) {
    const auto centro = [](const QString& f, const QString& cracha) {
        return coluna(pacote(getCentroCustoCracha(f, cracha, TURMA)), "CDCCUSCLIE");
    };
    EXPECT_EQ(centro(F1, s("913")), QStringList{s("O'BRIEN")});
    EXPECT_EQ(centro(F2, s("912")), QStringList{s("SÓ OUTRA")});
    EXPECT_TRUE(centro(F1, s("912")).isEmpty());  // its client is not the branch's
    EXPECT_TRUE(centro(F1, s("91")).isEmpty());   // the list's own cost centre
    EXPECT_TRUE(centro(F1, s("' OR '1'='1")).isEmpty());
    // A badge is compared whole, as long as its column.
    const QString longo = s("123456789012345678901");
    banco_->insere("CONSUMIDOR",
                   {s("21"), s("CL1"), longo, s("Longo"), s("1"), s("SALA B"), s("01")});
    EXPECT_EQ(centro(F1, longo), QStringList{s("SALA B")});
    EXPECT_TRUE(centro(F1, longo.left(16)).isEmpty());
}

TEST_P(Consultas, NamesComeBackExactlyAsStored) {
    const QString nome = s("Łukasz Nguyễn Ñandú 😀 Ç");
    banco_->insere("CONSUMIDOR",
                   {s("21"), s("CL1"), s("921"), nome, s("1"), s("UNICODE"), s("01")});
    const dataset::DataPacket p = pacote(getPresenca(F1, CX1, s("UNICODE"), ALMOCO, DIA));
    EXPECT_EQ(coluna(p, "NMCONSUMIDOR"), QStringList{nome});
}

TEST_P(Consultas, DatabaseFailuresComeBackAsTextWithoutThePassword) {
    banco_->exec(s("DROP TABLE CLIENFILIAL"));
    banco_->exec(s("DROP TABLE SERVICO"));
    const QString senha = banco_->senha().isEmpty() ? s("Segredo#123") : banco_->senha();
    const auto ehTexto = [&senha](const QVariant& v) {
        EXPECT_FALSE(dataset::isDataPacket(v));
        EXPECT_EQ(v.typeId(), QMetaType::QString);
        EXPECT_FALSE(v.toString().isEmpty());
        EXPECT_FALSE(v.toString().contains(senha)) << v.toString().toStdString();
    };
    ehTexto(getPresenca(F1, CX1, TURMA, ALMOCO, DIA));
    ehTexto(getTipoCons(F1, CX1, TURMA, ALMOCO, QDateTime(D, QTime())));
    ehTexto(getServico(F1, CX1));
    // A failed open leaves the query closed; the next call of another query still works.
    EXPECT_EQ(pacote(getProdServ(F1, CX1, ALMOCO)).rowCount(), 1);

    rdmListaPresenca->MtsDataModuleDeactivate(nullptr);
    ehTexto(getCentroCusto());
    ehTexto(getServico(F1, CX1));
    ehTexto(getPresenca(F1, CX1, TURMA, ALMOCO, DIA));
    ehTexto(getProdServ(F1, CX1, ALMOCO));
    ehTexto(getProdServTCons(F1, CX1, JANTAR, s("01")));
    ehTexto(getTipoCons(F1, CX1, TURMA, ALMOCO, QDateTime(D, QTime())));
}

TEST_P(Consultas, AQueryStaysOpenWithItsLastResultUntilTheNextCall) {
    pacote(getPresenca(F1, CX1, TURMA, ALMOCO, DIA));
    EXPECT_TRUE(rdmListaPresenca->adqPresenca->Active());
    EXPECT_EQ(rdmListaPresenca->adqPresenca->Result().rowCount(), 10);
    getPresenca(F1, CX1, s("NENHUM"), ALMOCO, DIA);
    EXPECT_EQ(rdmListaPresenca->adqPresenca->Result().rowCount(), 0);
    // Another query runs on the same connection while this one holds its result.
    EXPECT_EQ(pacote(getCentroCusto()).rowCount(), 4);
}

// The server dropped the connection (an administrator, a restart): the request that meets the
// dead connection says so, never passing for an empty list, and the next one reconnects.
TEST_P(Consultas, ALostConnectionIsAnErrorAndTheNextRequestReconnects) {
    if (!banco_->ehPostgres()) GTEST_SKIP() << "only the server of these tests can be told to";
    ASSERT_EQ(pacote(getPresenca(F1, CX1, TURMA, ALMOCO, DIA)).rowCount(), 10);
    ASSERT_EQ(banco_->derrubaSessoes(), 1);
    const QVariant perdida = getPresenca(F1, CX1, TURMA, ALMOCO, DIA);
    ASSERT_FALSE(dataset::isDataPacket(perdida));
    EXPECT_TRUE(perdida.toString().startsWith(s("A conexão com o banco de dados foi perdida")))
        << perdida.toString().toStdString();
    EXPECT_FALSE(perdida.toString().contains(banco_->senha()));
    const dataset::DataPacket deNovo = pacote(getPresenca(F1, CX1, TURMA, ALMOCO, DIA));
    EXPECT_EQ(deNovo.rowCount(), 10);
    EXPECT_EQ(diaDe(deNovo, s("Ângela Souza")), DIA);
    EXPECT_EQ(pacote(getCentroCusto()).rowCount(), 4);

    // A deliberate disconnect is no loss: the functions do not reopen it.
    rdmListaPresenca->MtsDataModuleDeactivate(nullptr);
    EXPECT_FALSE(dataset::isDataPacket(getCentroCusto()));
}

// The screen only reads: its connection cannot write, whatever a host runs on it.
TEST_P(Consultas, TheScreensConnectionCannotWrite) {
    if (GetParam() != Via::Sqlite && !banco_->ehPostgres())
        GTEST_SKIP() << "only SQLite and PostgreSQL connections can be made read-only";
    QSqlQuery q(rdmListaPresenca->adcListaPresenca->database());
    EXPECT_FALSE(q.exec(s("DELETE FROM VENDA")));
    q.finish();
    rdmListaPresenca->StartTrans();
    EXPECT_FALSE(q.exec(s("DELETE FROM VENDA")));
    q.finish();
    rdmListaPresenca->RollbackTrans();
    EXPECT_EQ(banco_->conta("VENDA"), 10);
}

INSTANTIATE_TEST_SUITE_P(Drivers, Consultas,
                         testing::Values(Via::Sqlite, Via::OdbcSqlite, Via::SqlServer,
                                         Via::PostgresOdbc, Via::PostgresQt),
                         nomeDaVia);

}  // namespace
