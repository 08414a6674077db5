// bench_presenca [--db FILE] [--regen]
// Times getPresenca (call to packet) for the 1,000 and 20,000 cost centres on the busy day of
// a big database, and in the same process a raw sqlite3 run of the same statement (prepared
// once; bind, step every row, copy every column's text). The database is made once by
// gerademo --big and reused (default /tmp/listapresenca-bench.db).
#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "dataset/DataPacket.h"
#include "module/dataservice/Consultas.h"
#include "module/dataservice/TrdmListaPresenca.h"
#include "textorder/ColacaoPtBr.h"

namespace {

const char* const kDia = "15/03/2024";
const char* const kFilial = "0001";
const char* const kCaixa = "001";
const char* const kServico = "00002";

// The literal port of the server's statement, for comparison only.
const char* const kPortaLiteral =
    "SELECT DISTINCT CO.CDIDCONSUMID, CO.NMCONSUMIDOR, CO.IDSITCONSUMI, SUBTABELA.IDCHECK,"
    " CO.CDCONSUMIDOR, strftime('%d/%m/%Y', VE.DTHRREALCONCONS) AS DTHRREALCONCONS,"
    " :P_CDFILIAL AS CDFILIAL, :P_CDCAIXA AS CDCAIXA, CO.CDCLIENTE, CO.CDTIPOCONS"
    " FROM (SELECT 'N' IDCHECK) SUBTABELA, CLIENFILIAL CF,"
    " CONSUMIDOR CO LEFT JOIN VENDA VE ON VE.CDFILIAL = :P_CDFILIAL AND VE.CDCAIXA = :P_CDCAIXA"
    " AND strftime('%d/%m/%Y', VE.DTHRREALCONCONS) = :P_DTENTRVENDA"
    " AND VE.CDSERVFILI = :P_CDSERVFILI AND VE.CDCONSUMIDOR = CO.CDCONSUMIDOR"
    " AND VE.IDSITUVENDA = 'O'"
    " WHERE CO.CDCCUSCLIE = :P_CDCCUSCLIE AND CF.CDFILIAL = :P_CDFILIAL"
    " AND CF.CDCLIENTE = CO.CDCLIENTE ORDER BY CO.NMCONSUMIDOR COLLATE PTBR";

double mediana(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

std::vector<double> mede(int vezes, const std::function<void()>& f) {
    f();  // warm the page cache and the statement
    std::vector<double> t;
    for (int i = 0; i < vezes; ++i) {
        QElapsedTimer r;
        r.start();
        f();
        t.push_back(static_cast<double>(r.nsecsElapsed()) / 1e6);
    }
    return t;
}

class Bruto {
public:
    Bruto(sqlite3* db, const char* sql) {
        if (sqlite3_prepare_v2(db, sql, -1, &st_, nullptr) != SQLITE_OK) {
            std::fprintf(stderr, "prepare: %s\n", sqlite3_errmsg(db));
            std::exit(1);
        }
    }
    ~Bruto() { sqlite3_finalize(st_); }
    // Returns the rows read; every column's text is copied out.
    int roda(const std::string& ccusto) {
        const auto liga = [this](const char* nome, const std::string& v) {
            const int i = sqlite3_bind_parameter_index(st_, nome);
            if (i > 0)
                sqlite3_bind_text(st_, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
        };
        liga(":P_CDFILIAL", kFilial);
        liga(":P_CDCAIXA", kCaixa);
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

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QString arquivo = QStringLiteral("/tmp/listapresenca-bench.db");
    bool refaz = false;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--db") && i + 1 < args.size()) arquivo = args[++i];
        if (args[i] == QLatin1String("--regen")) refaz = true;
    }
    if (refaz || !QFile::exists(arquivo)) {
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

    sqlite3* db = nullptr;
    sqlite3_open_v2(arquivo.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    textorder::registraPtBr(db);
    Bruto bruto(db, Srv_Kel00815::consultas::kPresencaSqlite);
    Bruto literal(db, kPortaLiteral);

    std::printf("%-12s %7s %14s %12s %7s %14s\n", "centro", "linhas", "getPresenca ms",
                "sqlite3 ms", "razão", "porta literal");
    for (const char* cc : {"PRÉ-ESCOLA", "ENS. MÉDIO"}) {
        const bool grande = std::string(cc) == "ENS. MÉDIO";
        const int vezes = grande ? 15 : 200;
        int linhas = 0, linhasBrutas = 0;
        const auto modulo = [&] {
            const QVariant v = Srv_Kel00815::getPresenca(
                QString::fromLatin1(kFilial), QString::fromLatin1(kCaixa), QString::fromUtf8(cc),
                QString::fromLatin1(kServico), QString::fromLatin1(kDia));
            if (!dataset::isDataPacket(v)) {
                std::fprintf(stderr, "erro: %s\n", qPrintable(v.toString()));
                std::exit(1);
            }
            linhas = dataset::packetFromVariant(v).rowCount();
        };
        const auto cru = [&] { linhasBrutas = bruto.roda(cc); };
        // Alternated, so that a busy machine weighs on both alike.
        std::vector<double> tModulo, tBruto;
        for (int i = 0; i < vezes; ++i) {
            const auto a = mede(1, modulo), b = mede(1, cru);
            tModulo.push_back(a[0]);
            tBruto.push_back(b[0]);
        }
        const auto tLiteral = mede(grande ? 3 : 20, [&] { literal.roda(cc); });
        if (linhas != linhasBrutas)
            std::printf("linhas diferentes: %d x %d\n", linhas, linhasBrutas);
        const double m = mediana(tModulo), b = mediana(tBruto);
        std::printf("%-12s %7d %14.2f %12.2f %7.2f %14.2f   (mínimos %.2f / %.2f)\n", cc, linhas, m,
                    b, m / b, mediana(tLiteral), *std::min_element(tModulo.begin(), tModulo.end()),
                    *std::min_element(tBruto.begin(), tBruto.end()));
    }
    const auto tPreparo = mede(200, [&] {
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(db, Srv_Kel00815::consultas::kPresencaSqlite, -1, &st, nullptr);
        sqlite3_finalize(st);
    });
    std::printf("preparo do comando (a cada chamada de getPresenca): %.3f ms\n", mediana(tPreparo));
    sqlite3_close(db);
    delete Srv_Kel00815::rdmListaPresenca;
    return 0;
}
