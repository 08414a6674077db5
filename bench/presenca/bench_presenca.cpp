// bench_presenca [--db FILE] [--regen] [--centro N]
// The attendance list of the busy day of a big database, for cost centres of 1,000, 20,000 and
// 100,000 consumers. In the same process, alternated so that a busy machine weighs on all alike:
//   R  a raw sqlite3 run of the attendance statement as it was before the day's sales were read
//      once (prepared once; bind, step, copy every column's text): the reference;
//   F  the same raw run of reading the cost centre's consumers alone, in name order: the floor;
//   N  the same raw run of the text getPresenca chose for that list (column "leitura");
//   getPresenca, call to packet; its ratio to R beside the ratio it is meant to reach, and to N
//   (what choosing, preparing and reading into a packet cost next to a raw run).
// Each raw statement has a connection of its own, with SQLite's default page cache, as the
// module's connection has.
// The database is made once by gerademo --big and reused (default /tmp/listapresenca-bench2.db).
// --centro N (1, 2 or 3) times only that list, for trying a change without the long ones.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "common/Medicao.h"
#include "dataset/DataPacket.h"
#include "module/dataservice/TADOQuery.h"
#include "module/dataservice/TrdmListaPresenca.h"
#include "textorder/ColacaoPtBr.h"

using namespace bench;

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QString arquivo = QStringLiteral("/tmp/listapresenca-bench2.db");
    bool refaz = false;
    int soCentro = 0;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--db") && i + 1 < args.size()) arquivo = args[++i];
        if (args[i] == QLatin1String("--regen")) refaz = true;
        if (args[i] == QLatin1String("--centro") && i + 1 < args.size())
            soCentro = args[++i].toInt();
    }
    if (!garanteBanco(arquivo, app.applicationDirPath(), refaz)) return 1;

    qputenv("LISTAPRESENCA_CONEXAO", arquivo.toUtf8());
    Srv_Kel00815::rdmListaPresenca = new Srv_Kel00815::TrdmListaPresenca();
    Srv_Kel00815::rdmListaPresenca->adcListaPresenca->setConnected(true);

    // A shared connection would have the statements evict each other's pages.
    std::vector<sqlite3*> conexoes;
    struct Fecha {
        std::vector<sqlite3*>& conexoes;
        ~Fecha() {
            for (sqlite3* c : conexoes) sqlite3_close(c);
        }
    } fecha{conexoes};  // after the statements are gone
    const auto abre = [&] {
        sqlite3* db = nullptr;
        sqlite3_open_v2(QFile::encodeName(arquivo).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
        textorder::registraPtBr(db);
        conexoes.push_back(db);
        return db;
    };
    Bruto antes(abre(), kPresencaAntes), consumidores(abre(), kConsumidores);
    sqlite3* const db = abre();

    std::printf("%-12s %7s %9s %9s %9s %13s %7s %6s %9s  %s\n", "centro", "linhas", "R ms", "F ms",
                "N ms", "getPresenca", "÷ R", "meta", "÷ N", "leitura");
    // What getPresenca ÷ R should reach for each list, the short one with a margin.
    const double metas[] = {0.7, 0.5, 0.5};
    int k = 0;
    for (const Centro& c : kCentros) {
        const double meta = metas[std::min(k++, 2)];
        if (soCentro > 0 && soCentro != k) continue;
        int linhas = 0, linhasR = 0;
        const auto modulo = [&] {
            const QVariant v =
                Srv_Kel00815::getPresenca(QString::fromLatin1(kFilial),
                                          QString::fromLatin1(c.caixa), QString::fromUtf8(c.codigo),
                                          QString::fromLatin1(kServico), QString::fromLatin1(kDia));
            if (!dataset::isDataPacket(v)) {
                std::fprintf(stderr, "erro: %s\n", qPrintable(v.toString()));
                std::exit(1);
            }
            linhas = dataset::packetFromVariant(v).rowCount();
        };
        // N: the text getPresenca chose for this list.
        modulo();
        const QByteArray texto = Srv_Kel00815::rdmListaPresenca->adqPresenca->sqlSqlite().toUtf8();
        Bruto atual(db, texto);
        const auto r = [&] { linhasR = antes.roda(c.codigo, c.caixa); };
        const auto f = [&] { consumidores.roda(c.codigo, c.caixa); };
        const auto n = [&] { atual.roda(c.codigo, c.caixa); };
        // The page cache and the statements warmed first.
        modulo();
        r();
        f();
        n();
        std::vector<double> tM, tR, tF, tN;
        for (int i = 0; i < c.vezes; ++i) {
            tM.push_back(mede(modulo));
            tR.push_back(mede(r));
            tF.push_back(mede(f));
            tN.push_back(mede(n));
        }
        if (linhas != linhasR) std::printf("linhas diferentes: %d x %d\n", linhas, linhasR);
        const double m = mediana(tM), rr = mediana(tR), nn = mediana(tN);
        std::printf(
            "%s %7d %9.2f %9.2f %9.2f %13.2f %7.2f %6.2f %9.2f  %s\n",
            QString::fromUtf8(c.codigo).leftJustified(12).toUtf8().constData(), linhas, rr,
            mediana(tF), nn, m, m / rr, meta, m / nn,
            texto.contains("IN (SELECT VE.CDCONSUMIDOR") ? "vendas do dia" : "por consumidor");
    }
    std::vector<double> tPreparo;
    for (int i = 0; i < 200; ++i)
        tPreparo.push_back(mede([&] {
            sqlite3_stmt* st = nullptr;
            sqlite3_prepare_v2(db, kPresencaAntes, -1, &st, nullptr);
            sqlite3_finalize(st);
        }));
    std::printf("preparo do comando R: %.3f ms\n", mediana(tPreparo));
    delete Srv_Kel00815::rdmListaPresenca;
    return 0;
}
