// One database read through its ODBC driver, whose rows the data service fetches in blocks of
// bound arrays, and through Qt's own driver for it: the six functions give the same packets,
// field for field and row for row, on SQLite and on PostgreSQL (this program's own server).
#include <QDateTime>
#include <QStringList>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

#include "common/OdbcDrivers.h"
#include "dataservice/BancoDeTeste.h"
#include "dataset/DataPacket.h"
#include "module/dataservice/TADOQuery.h"
#include "module/dataservice/TrdmListaPresenca.h"
#include "postgres/ClusterPostgres.h"

using namespace Srv_Kel00815;

namespace {

QString s(const char* t) {
    return QString::fromUtf8(t);
}

const QString F1 = s("0001"), CX1 = s("001"), ALMOCO = s("00001"), DIA = s("15/03/2024");
const QString GRANDE = s("GRANDE");

// Names (required) aside, since Qt's own drivers do not say whether a column takes NULL.
void mesmoPacote(const QVariant& a, const QVariant& b, const std::string& qual) {
    ASSERT_TRUE(dataset::isDataPacket(a)) << qual << ": " << a.toString().toStdString();
    ASSERT_TRUE(dataset::isDataPacket(b)) << qual << ": " << b.toString().toStdString();
    const dataset::DataPacket p = dataset::packetFromVariant(a);
    const dataset::DataPacket q = dataset::packetFromVariant(b);
    ASSERT_EQ(p.fields().size(), q.fields().size()) << qual;
    for (int c = 0; c < p.fields().size(); ++c) {
        const dataset::FieldDef &x = p.fields().at(c), &y = q.fields().at(c);
        EXPECT_EQ(x.name, y.name) << qual;
        EXPECT_EQ(int(x.type), int(y.type)) << qual << " " << x.name.toStdString();
        EXPECT_EQ(x.size, y.size) << qual << " " << x.name.toStdString();
    }
    ASSERT_EQ(p.rowCount(), q.rowCount()) << qual;
    int diferentes = 0;
    for (int r = 0; r < p.rowCount() && diferentes < 5; ++r)
        for (int c = 0; c < p.fields().size(); ++c) {
            const QVariant u = p.value(r, c), v = q.value(r, c);
            if (u.isNull() == v.isNull() && u.typeId() == v.typeId() && u == v) continue;
            ++diferentes;
            ADD_FAILURE() << qual << " row " << r << " " << p.fields().at(c).name.toStdString()
                          << ": " << (u.isNull() ? "<null>" : u.toString().toStdString()) << " x "
                          << (v.isNull() ? "<null>" : v.toString().toStdString());
        }
}

class OdbcENativo : public testing::TestWithParam<Via> {
protected:
    void SetUp() override {
        banco_ = std::make_unique<BancoDeTeste>(GetParam());
        if (!banco_->indisponivel().isEmpty()) GTEST_SKIP() << banco_->indisponivel().toStdString();
        const QString semOdbc = banco_->ehPostgres() ? teste::ClusterPostgres::semOdbc()
                                : odbcDriverInstalled("SQLite3")
                                    ? QString()
                                    : s("the SQLite ODBC driver (libsqliteodbc) is not installed");
        if (!teste::ClusterPostgres::pula(semOdbc).isEmpty()) GTEST_SKIP() << semOdbc.toStdString();
        banco_->cria();
        preenche();
    }

    void preenche() {
        BancoDeTeste& b = *banco_;
        b.exec(s("BEGIN"));
        b.insere("CLIENTE", {s("CL1"), s("Colégio")});
        b.insere("CLIENFILIAL", {F1, s("CL1")});
        b.insere("SERVICO", {ALMOCO, s("Almoço")});
        b.insere("SERVTURCAIXA", {F1, CX1, ALMOCO, s("1100"), s("1400"), s("N")});
        b.insere("PRODTURCAIXA", {F1, CX1, ALMOCO, s("ALMOÇO")});
        b.insere("PRODSERVTCON", {F1, CX1, ALMOCO, s("02"), s("INFANTIL")});
        // Enough rows for several blocks, every name apart so that the order is one.
        const char* const nomes[] = {"Ângela", "ana", "Łukasz Nguyễn", "Zé 😀", "Ñandú", "João"};
        for (int i = 0; i < 2500; ++i) {
            const QString cod = QString::number(i + 1);
            const QString nome = s(nomes[i % 6]) + QStringLiteral(" %1").arg(i, 4, 10, QChar(u'0'));
            b.insere("CONSUMIDOR",
                     {cod, s("CL1"), QString(s("9") + cod), nome, i % 7 == 0 ? s("2") : s("1"),
                      i < 2400 ? GRANDE : s("TURMA B"), i % 3 == 0 ? s("02") : s("01")});
            if (i % 4 == 0)
                b.venda(F1, CX1, ALMOCO, cod, QDateTime(QDate(2024, 3, 15), QTime(12, i % 60)),
                        i % 8 == 0 ? s("O") : s("C"));
        }
        // SQLite holds a text longer than its column declares: read whole, whichever driver.
        if (b.ehSqlite())
            b.insere("CONSUMIDOR", {s("9999"), s("CL1"), s("99999"), QString(80, QChar(u'ç')),
                                    s("1"), s("TURMA B"), s("01")});
        b.exec(s("COMMIT"));
    }

    // Every function's packet through one connection string.
    std::vector<QVariant> leTudo(const QString& conexao,
                                 const std::function<QVariant()>& extra = {}) {
        ConexaoDoTeste env(conexao);
        rdmListaPresenca = new TrdmListaPresenca();
        std::vector<QVariant> r;
        rdmListaPresenca->adcListaPresenca->setConnected(true);
        r.push_back(getCentroCusto());
        r.push_back(getServico(F1, CX1));
        r.push_back(getPresenca(F1, CX1, GRANDE, ALMOCO, DIA));
        r.push_back(getPresenca(F1, CX1, s("TURMA B"), ALMOCO, DIA));
        // Wider than the packet's field of the till: bound too narrow at first.
        r.push_back(getPresenca(F1, s("ABCDEFGHIJKLMNOPQRS"), s("TURMA B"), ALMOCO, DIA));
        r.push_back(getProdServ(F1, CX1, ALMOCO));
        r.push_back(getTipoCons(F1, CX1, GRANDE, ALMOCO, QDateTime(QDate(2024, 3, 15), QTime())));
        r.push_back(getProdServTCons(F1, CX1, ALMOCO, s("02")));
        if (extra) r.push_back(extra());
        delete rdmListaPresenca;
        return r;
    }

    std::unique_ptr<BancoDeTeste> banco_;
};

TEST_P(OdbcENativo, TheSixFunctionsGiveTheSamePacketsThroughEitherDriver) {
    const std::vector<QVariant> nativo = leTudo(banco_->conexao());
    const std::vector<QVariant> odbc = leTudo(banco_->conexaoOdbc());
    ASSERT_EQ(nativo.size(), odbc.size());
    for (std::size_t i = 0; i < nativo.size(); ++i)
        mesmoPacote(nativo[i], odbc[i], std::to_string(i));
    const dataset::DataPacket lista = dataset::packetFromVariant(nativo[2]);
    EXPECT_EQ(lista.rowCount(), 2400);
    int comDia = 0;
    for (int r = 0; r < lista.rowCount(); ++r) comDia += lista.isNull(r, 6) ? 0 : 1;
    EXPECT_EQ(comDia, 300);  // the valid sales only
}

// Numbers, days, date-times, NULLs and a text far wider than any bound array, as PostgreSQL
// types them; SQLite's types come from the names a schema declares, which each driver reads
// its own way.
TEST_P(OdbcENativo, ValuesOfEveryKindReadAlikeThroughEitherDriver) {
    if (!banco_->ehPostgres()) GTEST_SKIP() << "SQLite's types are the schema's own words";
    const char* const sql =
        "SELECT NRSEQVENDA AS \"N\", VRVENDA AS \"VR\", QTVENDA AS \"QT\","
        " DTHRREALCONCONS AS \"QUANDO\", CAST(DTHRREALCONCONS AS DATE) AS \"DIA\","
        " CDPRODUTO AS \"NADA\", CAST(repeat('ã😀' || CDCONSUMIDOR, 700) AS VARCHAR(8000)) AS"
        " \"LONGO\" FROM VENDA ORDER BY NRSEQVENDA";
    const auto tipos = [sql] {
        TADOQuery q(s("adqTipos"), nullptr);
        q.Connection = rdmListaPresenca->adcListaPresenca;
        q.setSQL(sql, sql);
        q.setSQLPostgres(sql);
        q.Open();
        return dataset::toVariant(q.Result());
    };
    const auto diaComoTexto = [] {
        TADOQuery q(s("adqDia"), nullptr);
        q.Connection = rdmListaPresenca->adcListaPresenca;
        const char* const dia = "SELECT CAST(DTHRREALCONCONS AS DATE) AS \"DIA\" FROM VENDA";
        q.setSQL(dia, dia);
        q.setSQLPostgres(dia);
        q.addField(new TStringField(s("adqDiaDIA"), s("DIA"), 10, &q), 0);
        q.Open();
        return dataset::toVariant(q.Result());
    };
    const std::vector<QVariant> nativo = leTudo(banco_->conexao(), tipos);
    const std::vector<QVariant> odbc = leTudo(banco_->conexaoOdbc(), tipos);
    mesmoPacote(nativo.back(), odbc.back(), "tipos");
    const dataset::DataPacket p = dataset::packetFromVariant(odbc.back());
    ASSERT_GT(p.rowCount(), 0);
    EXPECT_TRUE(p.isNull(0, 5));
    EXPECT_EQ(p.text(0, 6).size(), 700 * 4);  // 'ã', the emoji's two units and "1"
    EXPECT_EQ(p.value(0, 4).toDate(), QDate(2024, 3, 15));

    const QVariant dias = leTudo(banco_->conexaoOdbc(), diaComoTexto).back();
    mesmoPacote(leTudo(banco_->conexao(), diaComoTexto).back(), dias, "dia");
    ASSERT_GT(dataset::packetFromVariant(dias).rowCount(), 0);
    EXPECT_EQ(dataset::packetFromVariant(dias).text(0, 0), DIA);
}

std::string nomeDaVia(const testing::TestParamInfo<Via>& i) {
    return i.param == Via::Sqlite ? "SQLite" : "PostgreSQL";
}

INSTANTIATE_TEST_SUITE_P(Servidores, OdbcENativo, testing::Values(Via::Sqlite, Via::PostgresQt),
                         nomeDaVia);

}  // namespace
