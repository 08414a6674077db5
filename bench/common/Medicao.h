#pragma once

// What the benchmarks share: timing by median, the process's resident memory, and a raw sqlite3
// run of a statement (prepared once; bind, step every row, copy every column's text), the
// baseline every figure is compared with.

#include <QElapsedTimer>
#include <QFile>

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace bench {

inline double mediana(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
}

// Milliseconds of each of `vezes` runs, after one warming run.
inline std::vector<double> mede(int vezes, const std::function<void()>& f) {
    f();
    std::vector<double> t;
    for (int i = 0; i < vezes; ++i) {
        QElapsedTimer r;
        r.start();
        f();
        t.push_back(static_cast<double>(r.nsecsElapsed()) / 1e6);
    }
    return t;
}

// Resident memory of this process, in MB.
inline double residenteMb() {
    QFile f(QStringLiteral("/proc/self/statm"));
    if (!f.open(QIODevice::ReadOnly)) return 0;
    const QList<QByteArray> campos = f.readAll().split(' ');
    return campos.size() > 1 ? campos[1].toDouble() * 4096.0 / (1024.0 * 1024.0) : 0;
}

// The attendance statement on SQLite as it stood before it learned to read the day's sales
// once: a seek of the sales index per consumer. The baseline R of the benchmarks.
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

// The floor F: the cost centre's consumers alone, in name order.
inline const char* const kConsumidoresDoCentro =
    "SELECT CO.CDIDCONSUMID, CO.NMCONSUMIDOR, CO.IDSITCONSUMI, CO.CDCLIENTE, CO.CDTIPOCONS,"
    " CO.CDCONSUMIDOR FROM CONSUMIDOR CO WHERE CO.CDCCUSCLIE = :P_CDCCUSCLIE"
    " AND EXISTS (SELECT 1 FROM CLIENFILIAL CF WHERE CF.CDFILIAL = :P_CDFILIAL"
    " AND CF.CDCLIENTE = CO.CDCLIENTE) ORDER BY CO.NMCONSUMIDOR COLLATE PTBR";

class Bruto {
public:
    Bruto(sqlite3* db, const char* sql) {
        if (sqlite3_prepare_v2(db, sql, -1, &st_, nullptr) != SQLITE_OK) {
            std::fprintf(stderr, "prepare: %s\n", sqlite3_errmsg(db));
            std::exit(1);
        }
    }
    ~Bruto() { sqlite3_finalize(st_); }
    Bruto(const Bruto&) = delete;
    Bruto& operator=(const Bruto&) = delete;

    // Binds the values whose names the statement has; returns the rows read.
    int roda(const std::map<std::string, std::string>& valores) {
        for (const auto& [nome, v] : valores) {
            const int i = sqlite3_bind_parameter_index(st_, nome.c_str());
            if (i > 0)
                sqlite3_bind_text(st_, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
        }
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

}  // namespace bench
