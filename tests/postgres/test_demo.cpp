// The demo till filled into the server by gerademo, read by the six functions: PostgreSQL's
// statements give SQLite's rows, in the same order, for every cost centre, service, till and a
// spread of days.

#include <QDate>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>

#include "dataset/DataPacket.h"
#include "module/dataservice/TrdmListaPresenca.h"
#include "platform/TADOConnection.h"
#include "postgres/ClusterPostgres.h"

using namespace Srv_Kel00815;
using teste::ClusterPostgres;

namespace {

struct Resultado {
    QStringList colunas;  // name:width
    QStringList linhas;   // every column, in the packet's order
    QString erro;
};

Resultado le(TrdmListaPresenca* dm, const std::function<QVariant()>& f) {
    rdmListaPresenca = dm;
    const QVariant v = f();
    rdmListaPresenca = nullptr;
    Resultado r;
    if (!dataset::isDataPacket(v)) {
        r.erro = v.toString();
        return r;
    }
    const dataset::DataPacket p = dataset::packetFromVariant(v);
    for (const dataset::FieldDef& d : p.fields())
        r.colunas << QStringLiteral("%1:%2").arg(d.name.toUpper()).arg(d.size);
    for (int i = 0; i < p.rowCount(); ++i) {
        QStringList l;
        for (int c = 0; c < p.fields().size(); ++c)
            l << (p.isNull(i, c) ? QStringLiteral("<null>") : p.text(i, c).trimmed());
        r.linhas << l.join(QLatin1Char('|'));
    }
    return r;
}

QStringList ordenadas(QStringList l) {
    std::sort(l.begin(), l.end());
    return l;
}

QStringList coluna(const Resultado& r, int c) {
    QStringList out;
    for (const QString& l : r.linhas) out << l.section(QLatin1Char('|'), c, c);
    return out;
}

TrdmListaPresenca* conecta(const QString& conexao) {
    qputenv("LISTAPRESENCA_CONEXAO", conexao.toUtf8());
    auto* dm = new TrdmListaPresenca();
    dm->adcListaPresenca->setConnected(true);
    qunsetenv("LISTAPRESENCA_CONEXAO");
    return dm;
}

TEST(DemoNoServidor, PostgresStatementsGiveSqlitesRowsInTheSameOrder) {
    ClusterPostgres& pg = ClusterPostgres::instancia();
    QString por = pg.indisponivel();
    if (por.isEmpty()) por = ClusterPostgres::semOdbc();
    if (!ClusterPostgres::pula(por).isEmpty()) GTEST_SKIP() << por.toStdString();

    QTemporaryDir dir;
    const QString arquivo = dir.filePath(QStringLiteral("demo.db"));
    const QString banco = pg.novoBanco();
    const QStringList args{QStringLiteral("--today"),   QStringLiteral("15/03/2024"),
                           QStringLiteral("--days"),    QStringLiteral("6"),
                           QStringLiteral("--out"),     arquivo,
                           QStringLiteral("--conexao"), pg.odbc(banco)};
    QProcess gera;
    gera.start(QStringLiteral(GERADEMO), args);
    ASSERT_TRUE(gera.waitForFinished(120000));
    ASSERT_EQ(gera.exitCode(), 0) << gera.readAllStandardError().toStdString();

    std::unique_ptr<TrdmListaPresenca> sqlite(conecta(arquivo));
    std::unique_ptr<TrdmListaPresenca> servidor(conecta(pg.odbc(banco)));
    ASSERT_EQ(servidor->adcListaPresenca->dialeto(), platform::Dialeto::Postgres);

    const Resultado centros = le(sqlite.get(), [] { return getCentroCusto(); });
    ASSERT_EQ(centros.linhas.size(), 12);
    EXPECT_EQ(le(servidor.get(), [] { return getCentroCusto(); }).linhas, centros.linhas);

    const QString filial = QStringLiteral("0001");
    int comVenda = 0;
    for (const QString& caixa : {QStringLiteral("001"), QStringLiteral("002")}) {
        const auto servicos = [&](TrdmListaPresenca* dm) {
            return le(dm, [&] { return getServico(filial, caixa); });
        };
        const Resultado sv = servicos(sqlite.get());
        EXPECT_EQ(ordenadas(servicos(servidor.get()).linhas), ordenadas(sv.linhas));
        QStringList codigos = coluna(sv, 0);
        codigos << QStringLiteral("00099");
        for (const QString& serv : codigos) {
            const auto produtos = [&](TrdmListaPresenca* dm) {
                return ordenadas(le(dm, [&] { return getProdServ(filial, caixa, serv); }).linhas);
            };
            EXPECT_EQ(produtos(servidor.get()), produtos(sqlite.get())) << qPrintable(serv);
            for (const QString& tipo : {QStringLiteral("01"), QStringLiteral("03")}) {
                const auto porTipo = [&](TrdmListaPresenca* dm) {
                    return ordenadas(
                        le(dm, [&] { return getProdServTCons(filial, caixa, serv, tipo); }).linhas);
                };
                EXPECT_EQ(porTipo(servidor.get()), porTipo(sqlite.get()));
            }
            for (const QString& cc : centros.linhas) {
                for (int d = -3; d <= 1; ++d) {
                    const QDate dia = QDate(2024, 3, 15).addDays(d);
                    const QString texto = dia.toString(QStringLiteral("dd/MM/yyyy"));
                    const auto presenca = [&](TrdmListaPresenca* dm) {
                        return le(dm, [&] { return getPresenca(filial, caixa, cc, serv, texto); });
                    };
                    const Resultado nosso = presenca(sqlite.get());
                    const Resultado deles = presenca(servidor.get());
                    const QString onde = caixa + QLatin1Char(' ') + cc + QLatin1Char(' ') + serv +
                                         QLatin1Char(' ') + texto;
                    ASSERT_TRUE(deles.erro.isEmpty()) << qPrintable(deles.erro);
                    EXPECT_EQ(deles.colunas, nosso.colunas);
                    // Names in the same order; rows of one name may come either way.
                    ASSERT_EQ(coluna(deles, 4), coluna(nosso, 4)) << qPrintable(onde);
                    ASSERT_EQ(ordenadas(deles.linhas), ordenadas(nosso.linhas)) << qPrintable(onde);
                    comVenda +=
                        int(nosso.linhas.size() - coluna(nosso, 6).count(QStringLiteral("<null>")));

                    const auto tipos = [&](TrdmListaPresenca* dm) {
                        return ordenadas(le(dm, [&] {
                                             return getTipoCons(filial, caixa, cc, serv,
                                                                QDateTime(dia, QTime(0, 0)));
                                         }).linhas);
                    };
                    EXPECT_EQ(tipos(servidor.get()), tipos(sqlite.get())) << qPrintable(onde);
                }
            }
        }
    }
    EXPECT_GT(comVenda, 20);  // the comparison saw sales, not just empty days

    // A database that already has consumers is never filled again.
    QProcess outra;
    outra.start(QStringLiteral(GERADEMO), {QStringLiteral("--conexao"), pg.odbc(banco)});
    ASSERT_TRUE(outra.waitForFinished(120000));
    EXPECT_EQ(outra.exitCode(), 1);
    const QString erro = QString::fromUtf8(outra.readAllStandardError());
    EXPECT_TRUE(erro.contains(QStringLiteral("já tem consumidores"))) << erro.toStdString();
    EXPECT_FALSE(erro.contains(pg.senha()));
}

}  // namespace
