// bench_presenca [--db FILE] [--regen]
// The attendance list of the busy day of a big database, for cost centres of 1,000, 20,000 and
// 100,000 consumers. In the same process, alternated so that a busy machine weighs on all alike:
//   R  a raw sqlite3 run of the attendance statement as it was before the day's sales were read
//      once (prepared once; bind, step, copy every column's text): the reference;
//   F  the same raw run of reading the cost centre's consumers alone, in name order: the floor;
//   N  the same raw run of the text getPresenca chose for that list (column "leitura");
//   getPresenca, call to packet; its ratio to R, and to N (what choosing, preparing and reading
//   into a packet cost next to a raw run).
// Each raw statement has a connection of its own, with SQLite's default page cache, as the
// module's connection has.
// The database is made once by gerademo --big and reused (default /tmp/listapresenca-bench2.db).
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

#include "dataset/DataPacket.h"
#include "module/dataservice/TADOQuery.h"
#include "module/dataservice/TrdmListaPresenca.h"
#include "textorder/ColacaoPtBr.h"

namespace {

const char* const kDia = "15/03/2024";
const char* const kFilial = "0001";
const char* const kServico = "00002";

struct Centro {
    const char* codigo;
    const char* caixa;  // where its lunches are sold
    int vezes;
};
// As gerademo --big makes them.
const Centro kCentros[] = {
    {"PRÉ-ESCOLA", "001", 200}, {"ENS. MÉDIO", "001", 15}, {"GRADUAÇÃO", "003", 5}};

// The attendance statement as it was: one seek of the sales index per consumer.
const char* const kPresencaAntes =
    "SELECT 'N' AS IDCHECK, :P_CDFILIAL AS CDFILIAL, :P_CDCAIXA AS CDCAIXA,\n"
    "       CO.CDIDCONSUMID, CO.NMCONSUMIDOR, CO.IDSITCONSUMI,\n"
    "       CASE WHEN EXISTS (SELECT 1\n"
    "                           FROM VENDA VE\n"
    "                          WHERE VE.CDCONSUMIDOR = CO.CDCONSUMIDOR\n"
    "                            AND VE.CDFILIAL     = :P_CDFILIAL\n"
    "                            AND VE.CDCAIXA      = :P_CDCAIXA\n"
    "                            AND VE.CDSERVFILI   = :P_CDSERVFILI\n"
    "                            AND VE.IDSITUVENDA  = 'O'\n"
    "                            AND length(:P_DTENTRVENDA) = 10\n"
    "                            AND substr(:P_DTENTRVENDA, 3, 1) = '/' AND substr(:P_DTENTRVENDA, "
    "6, 1) = '/'\n"
    "                            AND date(substr(:P_DTENTRVENDA, 7, 4) || '-' || "
    "substr(:P_DTENTRVENDA, 4, 2) || '-' || substr(:P_DTENTRVENDA, 1, 2))\n"
    "                                = substr(:P_DTENTRVENDA, 7, 4) || '-' || "
    "substr(:P_DTENTRVENDA, 4, 2) || '-' || substr(:P_DTENTRVENDA, 1, 2)\n"
    "                            AND VE.DTHRREALCONCONS >= substr(:P_DTENTRVENDA, 7, 4) || '-' || "
    "substr(:P_DTENTRVENDA, 4, 2) || '-' || substr(:P_DTENTRVENDA, 1, 2)\n"
    "                            AND VE.DTHRREALCONCONS <  date(substr(:P_DTENTRVENDA, 7, 4) || "
    "'-' || substr(:P_DTENTRVENDA, 4, 2) || '-' || substr(:P_DTENTRVENDA, 1, 2), '+1 day'))\n"
    "            THEN :P_DTENTRVENDA END AS DTHRREALCONCONS,\n"
    "       CO.CDCLIENTE, CO.CDTIPOCONS, CO.CDCONSUMIDOR\n"
    "  FROM CONSUMIDOR CO\n"
    " WHERE CO.CDCCUSCLIE = :P_CDCCUSCLIE\n"
    "   AND EXISTS (SELECT 1\n"
    "                 FROM CLIENFILIAL CF\n"
    "                WHERE CF.CDFILIAL  = :P_CDFILIAL\n"
    "                  AND CF.CDCLIENTE = CO.CDCLIENTE)\n"
    " ORDER BY CO.NMCONSUMIDOR COLLATE PTBR";

const char* const kConsumidores =
    "SELECT CO.CDIDCONSUMID, CO.NMCONSUMIDOR, CO.IDSITCONSUMI, CO.CDCLIENTE, CO.CDTIPOCONS,"
    "       CO.CDCONSUMIDOR"
    "  FROM CONSUMIDOR CO"
    " WHERE CO.CDCCUSCLIE = :P_CDCCUSCLIE"
    " ORDER BY CO.NMCONSUMIDOR COLLATE PTBR";

double mediana(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double mede(const std::function<void()>& f) {
    QElapsedTimer r;
    r.start();
    f();
    return static_cast<double>(r.nsecsElapsed()) / 1e6;
}

// A statement prepared once; each run binds, steps every row and copies every column's text.
class Bruto {
public:
    Bruto(sqlite3* db, const QByteArray& sql) {
        if (sqlite3_prepare_v2(db, sql.constData(), -1, &st_, nullptr) != SQLITE_OK) {
            std::fprintf(stderr, "prepare: %s\n", sqlite3_errmsg(db));
            std::exit(1);
        }
    }
    ~Bruto() { sqlite3_finalize(st_); }
    Bruto(const Bruto&) = delete;
    Bruto& operator=(const Bruto&) = delete;

    int roda(const char* ccusto, const char* caixa) {
        const auto liga = [this](const char* nome, const char* v) {
            const int i = sqlite3_bind_parameter_index(st_, nome);
            if (i > 0) sqlite3_bind_text(st_, i, v, -1, SQLITE_TRANSIENT);
        };
        liga(":P_CDFILIAL", kFilial);
        liga(":P_CDCAIXA", caixa);
        liga(":P_CDCCUSCLIE", ccusto);
        liga(":P_CDSERVFILI", kServico);
        liga(":P_DTENTRVENDA", kDia);
        celulas_.clear();
        int linhas = 0;
        const int n = sqlite3_column_count(st_);
        while (sqlite3_step(st_) == SQLITE_ROW) {
            ++linhas;
            for (int c = 0; c < n; ++c) {
                const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(st_, c));
                celulas_.emplace_back(p ? p : "",
                                      static_cast<std::size_t>(sqlite3_column_bytes(st_, c)));
            }
        }
        sqlite3_reset(st_);
        return linhas;
    }

private:
    sqlite3_stmt* st_ = nullptr;
    std::vector<std::string> celulas_;
};

// A database made by an older gerademo lacks the big centre or the day's index.
bool bancoAtual(const QString& arquivo) {
    sqlite3* db = nullptr;
    bool ok = sqlite3_open_v2(QFile::encodeName(arquivo).constData(), &db, SQLITE_OPEN_READONLY,
                              nullptr) == SQLITE_OK;
    sqlite3_stmt* st = nullptr;
    ok =
        ok &&
        sqlite3_prepare_v2(db,
                           "SELECT (SELECT COUNT(*) FROM sqlite_master WHERE name = 'IX_VENDA_DIA')"
                           " + (SELECT COUNT(*) FROM CAIXA WHERE CDCAIXA = '003')",
                           -1, &st, nullptr) == SQLITE_OK &&
        sqlite3_step(st) == SQLITE_ROW && sqlite3_column_int(st, 0) == 2;
    sqlite3_finalize(st);
    sqlite3_close(db);
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QString arquivo = QStringLiteral("/tmp/listapresenca-bench2.db");
    bool refaz = false;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--db") && i + 1 < args.size()) arquivo = args[++i];
        if (args[i] == QLatin1String("--regen")) refaz = true;
    }
    if (refaz || !QFile::exists(arquivo) || !bancoAtual(arquivo)) {
        std::printf("gerando %s (gerademo --big) ...\n", qPrintable(arquivo));
        std::fflush(stdout);
        const int rc =
            QProcess::execute(app.applicationDirPath() + QStringLiteral("/gerademo"),
                              {QStringLiteral("--big"), QStringLiteral("--today"),
                               QString::fromLatin1(kDia), QStringLiteral("--out"), arquivo});
        if (rc != 0) return 1;
    }

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

    std::printf("%-12s %7s %9s %9s %9s %13s %7s %9s  %s\n", "centro", "linhas", "R ms", "F ms",
                "N ms", "getPresenca", "÷ R", "÷ N", "leitura");
    for (const Centro& c : kCentros) {
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
            "%s %7d %9.2f %9.2f %9.2f %13.2f %7.2f %9.2f  %s\n",
            QString::fromUtf8(c.codigo).leftJustified(12).toUtf8().constData(), linhas, rr,
            mediana(tF), nn, m, m / rr, m / nn,
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
