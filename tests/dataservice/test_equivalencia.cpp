// On the demo till, the SQLite statements give the rows of the server's own statements, run
// as they are but for the day's text (strftime in place of CONVERT style 103) and the name
// collation: for every cost centre, service, till and a spread of days. A cost centre long
// enough to be read against the day's sales is among them, so both ways of reading the list
// are compared.
#include <QDate>
#include <QFile>
#include <QProcess>
#include <QSet>
#include <QSqlDriver>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sqlite3.h>

#include <algorithm>

#include "dataservice/BancoDeTeste.h"
#include "dataset/DataPacket.h"
#include "module/dataservice/TADOQuery.h"
#include "module/dataservice/TrdmListaPresenca.h"

using namespace Srv_Kel00815;

namespace {

const QString kHoje = QStringLiteral("15/03/2024");

// Every row as one text, columns in `colunas` order, sorted (ties of name may come either way).
using Linhas = QStringList;

Linhas doPacote(const QVariant& v, const QStringList& colunas, bool ordena = true) {
    if (!dataset::isDataPacket(v)) {
        ADD_FAILURE() << v.toString().toStdString();
        return {};
    }
    const dataset::DataPacket p = dataset::packetFromVariant(v);
    Linhas r;
    for (int i = 0; i < p.rowCount(); ++i) {
        QStringList l;
        for (const QString& c : colunas) {
            const int k = p.fieldIndex(c);
            l << (p.isNull(i, k) ? QStringLiteral("<null>") : p.text(i, k));
        }
        r << l.join(QLatin1Char('|'));
    }
    if (ordena) std::sort(r.begin(), r.end());
    return r;
}

Linhas doServidor(sqlite3* db, const QString& sql, const QList<QPair<QString, QString>>& valores,
                  const QStringList& colunas) {
    const QByteArray texto = sql.toUtf8();
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, texto.constData(), -1, &st, nullptr) != SQLITE_OK) {
        ADD_FAILURE() << sqlite3_errmsg(db) << "\n" << texto.constData();
        return {};
    }
    for (const auto& [nome, valor] : valores) {
        const int i =
            sqlite3_bind_parameter_index(st, (QLatin1Char(':') + nome).toUtf8().constData());
        if (i > 0) sqlite3_bind_text(st, i, valor.toUtf8().constData(), -1, SQLITE_TRANSIENT);
    }
    Linhas r;
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
        QStringList l;
        for (const QString& c : colunas) {
            int k = 0;
            while (k < sqlite3_column_count(st) &&
                   c.compare(QString::fromUtf8(sqlite3_column_name(st, k)), Qt::CaseInsensitive))
                ++k;
            const auto* t = sqlite3_column_text(st, k);
            l << (t ? QString::fromUtf8(reinterpret_cast<const char*>(t))
                    : QStringLiteral("<null>"));
        }
        r << l.join(QLatin1Char('|'));
    }
    EXPECT_EQ(rc, SQLITE_DONE) << sqlite3_errmsg(db);
    sqlite3_finalize(st);
    std::sort(r.begin(), r.end());
    return r;
}

QStringList unicaColuna(const QVariant& v, const char* nome) {
    QStringList r;
    const dataset::DataPacket p = dataset::packetFromVariant(v);
    for (int i = 0; i < p.rowCount(); ++i) r << p.text(i, p.fieldIndex(QString::fromLatin1(nome)));
    return r;
}

TEST(Equivalencia, SqliteStatementsGiveTheServersRowsOnTheDemoTill) {
    QTemporaryDir dir;
    const QString arquivo = dir.filePath(QStringLiteral("demo.db"));
    ASSERT_EQ(QProcess::execute(
                  QStringLiteral(GERADEMO),
                  {QStringLiteral("--today"), QStringLiteral("15/03/2024"),
                   QStringLiteral("--days"), QStringLiteral("6"), QStringLiteral("--big-centre"),
                   QStringLiteral("2100"), QStringLiteral("--out"), arquivo}),
              0);
    ConexaoDoTeste env(arquivo);
    rdmListaPresenca = new TrdmListaPresenca();
    rdmListaPresenca->adcListaPresenca->setConnected(true);
    const QVariant h = rdmListaPresenca->adcListaPresenca->database().driver()->handle();
    sqlite3* db = *static_cast<sqlite3* const*>(h.constData());

    QString presenca = rdmListaPresenca->adqPresenca->sqlTSql();
    presenca.replace(QStringLiteral("CONVERT(VARCHAR, VE.DTHRREALCONCONS, 103)"),
                     QStringLiteral("strftime('%d/%m/%Y', VE.DTHRREALCONCONS)"));
    presenca.replace(QStringLiteral("ORDER BY NMCONSUMIDOR"),
                     QStringLiteral("ORDER BY NMCONSUMIDOR COLLATE PTBR"));
    const QString tipos = rdmListaPresenca->adqTipoCons->sqlTSql();  // valid SQLite as it is
    const QStringList colunas =
        QStringLiteral(
            "IDCHECK CDFILIAL CDCAIXA CDIDCONSUMID NMCONSUMIDOR IDSITCONSUMI "
            "DTHRREALCONCONS CDCLIENTE CDTIPOCONS CDCONSUMIDOR")
            .split(QLatin1Char(' '));

    const QStringList centros = unicaColuna(getCentroCusto(), "CDCCUSCLIE");
    ASSERT_EQ(centros.size(), 13);
    const QString filial = QStringLiteral("0001");
    int comVenda = 0;
    QSet<QString> leituras;  // the SQLite texts getPresenca ran
    for (const QString& caixa :
         {QStringLiteral("001"), QStringLiteral("002"), QStringLiteral("003")}) {
        QStringList servicos = unicaColuna(getServico(filial, caixa), "CDSERVFILI");
        servicos << QStringLiteral("00099");
        for (const QString& cc : centros)
            for (const QString& serv : servicos)
                for (int d = -7; d <= 1; ++d) {
                    const QDate dia = QDate(2024, 3, 15).addDays(d);
                    const QString texto = dia.toString(QStringLiteral("dd/MM/yyyy"));
                    const Linhas nosso =
                        doPacote(getPresenca(filial, caixa, cc, serv, texto), colunas);
                    leituras.insert(rdmListaPresenca->adqPresenca->sqlSqlite());
                    const Linhas deles = doServidor(db, presenca,
                                                    {{QStringLiteral("P_CDFILIAL"), filial},
                                                     {QStringLiteral("P_CDCAIXA"), caixa},
                                                     {QStringLiteral("P_CDCCUSCLIE"), cc},
                                                     {QStringLiteral("P_CDSERVFILI"), serv},
                                                     {QStringLiteral("P_DTENTRVENDA"), texto}},
                                                    colunas);
                    ASSERT_EQ(nosso, deles)
                        << qPrintable(caixa + QLatin1Char(' ') + cc + QLatin1Char(' ') + serv +
                                      QLatin1Char(' ') + texto);
                    comVenda += static_cast<int>(std::count_if(
                        nosso.begin(), nosso.end(),
                        [](const QString& l) { return !l.contains(QLatin1String("<null>")); }));

                    const QString meiaNoite =
                        QDateTime(dia, QTime(0, 0)).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
                    EXPECT_EQ(
                        doPacote(getTipoCons(filial, caixa, cc, serv, QDateTime(dia, QTime(0, 0))),
                                 {QStringLiteral("CDTIPOCONS")}),
                        doServidor(db, tipos,
                                   {{QStringLiteral("P_CDFILIAL"), filial},
                                    {QStringLiteral("P_CDCAIXA"), caixa},
                                    {QStringLiteral("P_CDCCUSCLIE"), cc},
                                    {QStringLiteral("P_CDSERVFILI"), serv},
                                    {QStringLiteral("P_DTENTRVENDA"), meiaNoite}},
                                   {QStringLiteral("CDTIPOCONS")}));
                }
    }
    EXPECT_GT(comVenda, 100);        // the comparison saw many sales, not just empty days
    EXPECT_EQ(leituras.size(), 2u);  // both ways of reading the list were compared

    // Without the index that reads the day's sales in a row, the long list is read the other
    // way, to the same rows in the same order.
    const QString grande = QString::fromUtf8("GRADUAÇÃO");
    const Linhas antes =
        doPacote(getPresenca(filial, QStringLiteral("003"), grande, QStringLiteral("00002"), kHoje),
                 colunas, false);
    const QString comIndice = rdmListaPresenca->adqPresenca->sqlSqlite();
    {
        sqlite3* rw = nullptr;
        ASSERT_EQ(sqlite3_open(arquivo.toUtf8().constData(), &rw), SQLITE_OK);
        EXPECT_EQ(sqlite3_exec(rw, "DROP INDEX IX_VENDA_DIA", nullptr, nullptr, nullptr),
                  SQLITE_OK);
        sqlite3_close(rw);
    }
    EXPECT_EQ(
        doPacote(getPresenca(filial, QStringLiteral("003"), grande, QStringLiteral("00002"), kHoje),
                 colunas, false),
        antes);
    EXPECT_NE(rdmListaPresenca->adqPresenca->sqlSqlite(), comIndice);
    EXPECT_GT(antes.size(), 2000);
    delete rdmListaPresenca;
}

}  // namespace
