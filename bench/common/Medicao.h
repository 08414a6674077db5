#pragma once

// What the benchmarks share: the big database and its cost centres, timing by median, the
// process's resident memory, and a raw sqlite3 run of a statement (prepared once; bind, step
// every row, copy every column's text), the baseline every figure is compared with.

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QString>

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace bench {

inline const char* const kDia = "15/03/2024";
// Its bounds, as the data service binds them beside it for the SQLite texts.
inline const char* const kDiaIni = "2024-03-15";
inline const char* const kDiaFim = "2024-03-16";
inline const char* const kFilial = "0001";
inline const char* const kServico = "00002";

struct Centro {
    const char* codigo;
    const char* caixa;  // where its lunches are sold
    int vezes;
};
// As gerademo --big makes them.
inline const Centro kCentros[] = {
    {"PRÉ-ESCOLA", "001", 200}, {"ENS. MÉDIO", "001", 15}, {"GRADUAÇÃO", "003", 5}};

// The attendance statement as it was: one seek of the sales index per consumer.
inline const char* const kPresencaAntes =
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

inline const char* const kConsumidores =
    "SELECT CO.CDIDCONSUMID, CO.NMCONSUMIDOR, CO.IDSITCONSUMI, CO.CDCLIENTE, CO.CDTIPOCONS,"
    "       CO.CDCONSUMIDOR"
    "  FROM CONSUMIDOR CO"
    " WHERE CO.CDCCUSCLIE = :P_CDCCUSCLIE"
    " ORDER BY CO.NMCONSUMIDOR COLLATE PTBR";

inline double mediana(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
}

// Milliseconds of one run.
inline double mede(const std::function<void()>& f) {
    QElapsedTimer r;
    r.start();
    f();
    return static_cast<double>(r.nsecsElapsed()) / 1e6;
}

// Resident memory of this process, in MB.
inline double residenteMb() {
    QFile f(QStringLiteral("/proc/self/statm"));
    if (!f.open(QIODevice::ReadOnly)) return 0;
    const QList<QByteArray> campos = f.readAll().split(' ');
    return campos.size() > 1 ? campos[1].toDouble() * 4096.0 / (1024.0 * 1024.0) : 0;
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
        liga(":P_DIAINI", kDiaIni);
        liga(":P_DIAFIM", kDiaFim);
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
inline bool bancoAtual(const QString& arquivo) {
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

// The big database, made by gerademo --big beside the benchmark when missing or too old.
inline bool garanteBanco(const QString& arquivo, const QString& pastaDosProgramas, bool refaz) {
    if (!refaz && QFile::exists(arquivo) && bancoAtual(arquivo)) return true;
    std::printf("gerando %s (gerademo --big) ...\n", qPrintable(arquivo));
    std::fflush(stdout);
    return QProcess::execute(pastaDosProgramas + QStringLiteral("/gerademo"),
                             {QStringLiteral("--big"), QStringLiteral("--today"),
                              QString::fromLatin1(kDia), QStringLiteral("--out"), arquivo}) == 0;
}

}  // namespace bench
