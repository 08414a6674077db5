// The demo database that gerademo makes is what the screen needs to show every case.
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "dataservice/BancoDeTeste.h"
#include "dataset/DataPacket.h"
#include "module/dataservice/TrdmListaPresenca.h"

using namespace Srv_Kel00815;

namespace {

QString u(const char* t) {
    return QString::fromUtf8(t);
}

dataset::DataPacket pacote(const QVariant& v) {
    EXPECT_TRUE(dataset::isDataPacket(v)) << v.toString().toStdString();
    return dataset::isDataPacket(v) ? dataset::packetFromVariant(v) : dataset::DataPacket();
}

int gera(const QString& arquivo, QStringList opcoes) {
    opcoes << QStringLiteral("--out") << arquivo;
    return QProcess::execute(QStringLiteral(GERADEMO), opcoes);
}

TEST(GeraDemo, MakesATillWithEveryCaseTheScreenShows) {
    QTemporaryDir dir;
    const QString arquivo = dir.filePath(QStringLiteral("demo.db"));
    ASSERT_EQ(gera(arquivo, {QStringLiteral("--today"), QStringLiteral("15/03/2024")}), 0);
    ConexaoDoTeste env(arquivo);
    rdmListaPresenca = new TrdmListaPresenca();
    rdmListaPresenca->adcListaPresenca->setConnected(true);

    const dataset::DataPacket cc = pacote(getCentroCusto());
    EXPECT_EQ(cc.rowCount(), 12);
    EXPECT_GE(cc.fieldIndex(u("CDCCUSCLIE")), 0);

    const dataset::DataPacket sv = pacote(getServico(u("0001"), u("001")));
    EXPECT_EQ(sv.rowCount(), 5);
    bool cruzaMeiaNoite = false;
    for (int i = 0; i < sv.rowCount(); ++i)
        cruzaMeiaNoite |= sv.text(i, 3).toInt() < sv.text(i, 2).toInt();
    EXPECT_TRUE(cruzaMeiaNoite);
    EXPECT_EQ(pacote(getServico(u("0001"), u("002"))).rowCount(), 2);

    // Lunch today: some already served, some pending, some inactive, in name order.
    const dataset::DataPacket p =
        pacote(getPresenca(u("0001"), u("001"), u("ENS. MÉDIO"), u("00002"), u("15/03/2024")));
    int vendidos = 0, inativos = 0;
    for (int i = 0; i < p.rowCount(); ++i) {
        vendidos += p.isNull(i, 6) ? 0 : 1;
        inativos += p.text(i, 5) == u("2") ? 1 : 0;
    }
    EXPECT_GT(vendidos, 0);
    EXPECT_LT(vendidos, p.rowCount());
    EXPECT_GT(inativos, 0);

    // Lunch is set up per consumption type only; the supper lacks some type.
    EXPECT_EQ(pacote(getProdServ(u("0001"), u("001"), u("00002"))).rowCount(), 0);
    EXPECT_GT(pacote(getProdServ(u("0001"), u("001"), u("00001"))).rowCount(), 0);
    const dataset::DataPacket tipos =
        pacote(getTipoCons(u("0001"), u("001"), u("ENS. MÉDIO"), u("00002"), QDateTime()));
    ASSERT_GT(tipos.rowCount(), 1);
    bool faltaCeia = false;
    for (int i = 0; i < tipos.rowCount(); ++i) {
        EXPECT_GT(
            pacote(getProdServTCons(u("0001"), u("001"), u("00002"), tipos.text(i, 0))).rowCount(),
            0);
        faltaCeia |= pacote(getProdServTCons(u("0001"), u("001"), u("00005"), tipos.text(i, 0)))
                         .rowCount() == 0;
    }
    EXPECT_TRUE(faltaCeia);
    delete rdmListaPresenca;
}

TEST(GeraDemo, TakesItsScaleAndRefusesBadOptions) {
    QTemporaryDir dir;
    const QString arquivo = dir.filePath(QStringLiteral("escala.db"));
    // The big cost centre comes on top, with the campus till where half of it had lunch today;
    // the codes are printed for whoever times screens on the database.
    QProcess gerador;
    gerador.start(QStringLiteral(GERADEMO),
                  {QStringLiteral("--consumers"), QStringLiteral("60"), QStringLiteral("--sales"),
                   QStringLiteral("700"), QStringLiteral("--days"), QStringLiteral("20"),
                   QStringLiteral("--big-centre"), QStringLiteral("30"), QStringLiteral("--today"),
                   QStringLiteral("15/03/2024"), QStringLiteral("--out"), arquivo});
    ASSERT_TRUE(gerador.waitForFinished(60000));
    ASSERT_EQ(gerador.exitCode(), 0);
    const QString saida = QString::fromUtf8(gerador.readAllStandardOutput());
    for (const char* centro : {"GRADUAÇÃO", "ENS. MÉDIO", "PRÉ-ESCOLA", "MANUTENÇÃO"})
        EXPECT_TRUE(saida.contains(u(centro))) << centro;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), u("escala"));
        db.setDatabaseName(arquivo);
        ASSERT_TRUE(db.open());
        QSqlQuery q(db);
        q.exec(
            u("SELECT (SELECT COUNT(*) FROM CONSUMIDOR), (SELECT COUNT(*) FROM VENDA),"
              " (SELECT COUNT(*) FROM CONSUMIDOR WHERE CDCCUSCLIE = 'GRADUAÇÃO'),"
              " (SELECT COUNT(*) FROM VENDA WHERE CDCAIXA = '003' AND IDSITUVENDA = 'O'"
              "     AND DTHRREALCONCONS >= '2024-03-15' AND DTHRREALCONCONS < '2024-03-16')"));
        ASSERT_TRUE(q.next());
        EXPECT_EQ(q.value(0).toInt(), 90);
        EXPECT_EQ(q.value(1).toInt(), 700);
        EXPECT_EQ(q.value(2).toInt(), 30);
        EXPECT_GT(q.value(3).toInt(), 0);
        EXPECT_LE(q.value(3).toInt(), 15);
    }
    QSqlDatabase::removeDatabase(u("escala"));
    EXPECT_NE(gera(dir.filePath(u("x.db")), {QStringLiteral("--consumers"), QStringLiteral("0")}),
              0);
    EXPECT_NE(gera(dir.filePath(u("x.db")), {QStringLiteral("--big-centre"), QStringLiteral("-1")}),
              0);
    EXPECT_NE(
        gera(dir.filePath(u("x.db")), {QStringLiteral("--today"), QStringLiteral("31/02/2024")}),
        0);
    EXPECT_FALSE(QFile::exists(dir.filePath(u("x.db"))));
}

}  // namespace
