// bench_venda [--sales N] [--dir FOLDER] [--rounds R]
// Sales per second of the sale generator on a demo database (receipts stored, none printed),
// and in the same run the floor: the very rows it wrote (sale, items, receipt, the till's
// numbering) written again into a fresh copy with the sqlite3 C API, one transaction per sale.
// The database is made by gerademo in FOLDER (default: the system's temporary folder, a disk).
// R rounds (default 3), each on fresh copies, generator then floor: a disk's flushes vary a
// lot over a few seconds, so the figure is the median round's.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "dataset/DataPacket.h"
#include "platform/Platform.h"
#include "pos/sale/HandOver.h"
#include "pos/sale/SaleGenerator.h"
#include "textorder/ColacaoPtBr.h"

namespace {

const QDate kHoje(2026, 3, 16);

[[noreturn]] void morre(const std::string& msg) {
    std::fprintf(stderr, "bench_venda: %s\n", msg.c_str());
    std::exit(1);
}

sqlite3* abre(const QString& arquivo) {
    sqlite3* db = nullptr;
    if (sqlite3_open(QFile::encodeName(arquivo).constData(), &db) != SQLITE_OK)
        morre("não abriu " + arquivo.toStdString());
    textorder::registraPtBr(db);
    sqlite3_busy_timeout(db, 5000);
    return db;
}

void exec(sqlite3* db, const char* sql) {
    char* erro = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &erro) != SQLITE_OK)
        morre(std::string(sql) + ": " + (erro ? erro : "?"));
}

class Comando {
public:
    Comando(sqlite3* db, const char* sql) : db_(db) {
        if (sqlite3_prepare_v2(db, sql, -1, &st_, nullptr) != SQLITE_OK)
            morre(std::string(sql) + ": " + sqlite3_errmsg(db));
    }
    ~Comando() { sqlite3_finalize(st_); }
    Comando(const Comando&) = delete;
    Comando& operator=(const Comando&) = delete;
    sqlite3_stmt* st() { return st_; }
    // Binds every column of `linha` in order, runs to the end.
    void roda(const std::vector<std::string>& linha) {
        for (std::size_t i = 0; i < linha.size(); ++i)
            sqlite3_bind_text(st_, int(i) + 1, linha[i].data(), int(linha[i].size()),
                              SQLITE_STATIC);
        while (true) {
            const int rc = sqlite3_step(st_);
            if (rc == SQLITE_DONE) break;
            if (rc != SQLITE_ROW) morre(sqlite3_errmsg(db_));
        }
        sqlite3_reset(st_);
    }

private:
    sqlite3* db_;
    sqlite3_stmt* st_ = nullptr;
};

// Every row of a query as texts (NULL as an empty text is enough here: none is NULL).
std::vector<std::vector<std::string>> linhas(sqlite3* db, const char* sql) {
    Comando c(db, sql);
    std::vector<std::vector<std::string>> r;
    while (sqlite3_step(c.st()) == SQLITE_ROW) {
        std::vector<std::string> l;
        for (int i = 0; i < sqlite3_column_count(c.st()); ++i) {
            const auto* t = sqlite3_column_text(c.st(), i);
            l.emplace_back(t ? reinterpret_cast<const char*>(t) : "");
        }
        r.push_back(std::move(l));
    }
    return r;
}

dataset::DataPacket entrega(const std::vector<std::vector<std::string>>& consumidores) {
    QList<Hul00002::HandOverRecord> r;
    for (const auto& c : consumidores) {
        const auto t = [&c](std::size_t k) { return QString::fromStdString(c[k]); };
        r << Hul00002::HandOverRecord{QStringLiteral("0001"),
                                      QStringLiteral("001"),
                                      t(0),
                                      t(1),
                                      t(2),
                                      t(3),
                                      t(4),
                                      kHoje,
                                      QStringLiteral("1130"),
                                      {},
                                      {}};
    }
    return Hul00002::buildHandOver(r);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    int vendas = 3000;
    int rodadas = 3;
    QString pasta = QDir::tempPath();
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args.at(i) == QLatin1String("--sales")) vendas = args.at(i + 1).toInt();
        if (args.at(i) == QLatin1String("--dir")) pasta = args.at(i + 1);
        if (args.at(i) == QLatin1String("--rounds")) rodadas = args.at(i + 1).toInt();
    }
    if (vendas <= 0 || rodadas <= 0) morre("--sales N e --rounds R, N > 0 e R > 0");
    QTemporaryDir dir(pasta + QStringLiteral("/bench_venda-XXXXXX"));
    if (!dir.isValid()) morre("sem pasta temporária em " + pasta.toStdString());
    const QString demo = dir.filePath(QStringLiteral("demo.db"));
    if (QProcess::execute(QStringLiteral(GERADEMO),
                          {QStringLiteral("--out"), demo, QStringLiteral("--consumers"),
                           QString::number(vendas * 2 + 1000), QStringLiteral("--today"),
                           kHoje.toString(QStringLiteral("dd/MM/yyyy"))}) != 0)
        morre("gerademo falhou");

    // Consumers of the branch's clients not yet served lunch at the refectory till today.
    std::vector<std::vector<std::string>> consumidores;
    {
        sqlite3* db = abre(demo);
        consumidores = linhas(
            db, ("SELECT CDIDCONSUMID, CDCONSUMIDOR, NMCONSUMIDOR, CDCLIENTE, CDTIPOCONS"
                 " FROM CONSUMIDOR C WHERE IDSITCONSUMI = '1' AND NOT EXISTS (SELECT 1 FROM"
                 " VENDA V WHERE V.CDCONSUMIDOR = C.CDCONSUMIDOR AND V.CDFILIAL = '0001' AND"
                 " V.CDCAIXA = '001' AND V.CDSERVFILI = '00002' AND V.DTCONSUMO = '2026-03-16')"
                 " AND EXISTS (SELECT 1 FROM CLIENFILIAL F WHERE F.CDFILIAL = '0001' AND"
                 " F.CDCLIENTE = C.CDCLIENTE)"
                 " ORDER BY CDCONSUMIDOR LIMIT " +
                 std::to_string(vendas))
                    .c_str());
        sqlite3_close(db);
    }
    if (int(consumidores.size()) < vendas) morre("consumidores livres insuficientes");

    // One round on fresh copies: the generator's seconds and the floor's.
    const auto rodada = [&](int r) -> std::pair<double, double> {
        const QString gerador = dir.filePath(QStringLiteral("gerador%1.db").arg(r));
        const QString piso = dir.filePath(QStringLiteral("piso%1.db").arg(r));
        if (!QFile::copy(demo, gerador) || !QFile::copy(demo, piso)) morre("cópia do banco");
        Hul00002::SaleGeneratorOptions op;
        op.connectionString = gerador;
        const QVariant pacote = dataset::toVariant(entrega(consumidores));
        QElapsedTimer t;
        t.start();
        const Hul00002::SaleRun run = Hul00002::generateSales(pacote, op);
        const double sGerador = double(t.nsecsElapsed()) / 1e9;
        if (run.count(Hul00002::SaleStatus::Sold) != vendas) {
            for (const Hul00002::SaleOutcome& o : run.outcomes)
                if (o.status != Hul00002::SaleStatus::Sold)
                    morre(Hul00002::outcomeText(o).toStdString());
        }

        // The floor: the generator's own rows, read back, written again one sale per transaction.
        std::vector<std::vector<std::string>> rv, ri, rc;
        {
            sqlite3* db = abre(gerador);
            const char* novas = " WHERE NRSEQVENDA > (SELECT MAX(NRSEQVENDA) - ";
            const std::string n = std::to_string(vendas);
            rv = linhas(db, (std::string("SELECT CDFILIAL, CDCAIXA, CDSERVFILI, CDCONSUMIDOR,"
                                         " CDCLIENTE, CDTIPOCONS, CDPRODUTO, QTVENDA, VRVENDA,"
                                         " DTHRREALCONCONS, DTENTRVENDA, HRREALCONCONS,"
                                         " IDSITUVENDA, NRCUPOMFISCAL, DTCONSUMO, NRVENDA FROM"
                                         " VENDA") +
                             novas + n + " FROM VENDA) ORDER BY NRSEQVENDA")
                                .c_str());
            ri = linhas(db, (std::string("SELECT NRSEQVENDA, NRITEM, CDPRODUTO, QTPRODUTO,"
                                         " VRUNITARIO, VRTOTAL FROM ITEMVENDA") +
                             novas + n + " FROM VENDA) ORDER BY NRSEQVENDA, NRITEM")
                                .c_str());
            rc = linhas(db, (std::string("SELECT NRSEQVENDA, CDFILIAL, CDCAIXA, NRCUPOM,"
                                         " DTEMISCUPOM, TXCUPOM, IDIMPRESSO FROM CUPOMVENDA") +
                             novas + n + " FROM VENDA) ORDER BY NRSEQVENDA")
                                .c_str());
            sqlite3_close(db);
        }
        double sPiso = 0;
        {
            sqlite3* db = abre(piso);
            exec(db, "PRAGMA journal_mode = WAL");
            Comando avanca(db,
                           "UPDATE NUMCAIXA SET NRULTVENDA = NRULTVENDA + 1, NRULTCUPOM ="
                           " NRULTCUPOM + 1 WHERE CDFILIAL = '0001' AND CDCAIXA = '001'");
            Comando venda(
                db,
                "INSERT INTO VENDA (CDFILIAL, CDCAIXA, CDSERVFILI, CDCONSUMIDOR, CDCLIENTE,"
                " CDTIPOCONS, CDPRODUTO, QTVENDA, VRVENDA, DTHRREALCONCONS, DTENTRVENDA,"
                " HRREALCONCONS, IDSITUVENDA, NRCUPOMFISCAL, DTCONSUMO, NRVENDA) VALUES"
                " (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
            Comando item(db,
                         "INSERT INTO ITEMVENDA (NRSEQVENDA, NRITEM, CDPRODUTO, QTPRODUTO,"
                         " VRUNITARIO, VRTOTAL) VALUES (?, ?, ?, ?, ?, ?)");
            Comando cupom(db,
                          "INSERT INTO CUPOMVENDA (NRSEQVENDA, CDFILIAL, CDCAIXA, NRCUPOM,"
                          " DTEMISCUPOM, TXCUPOM, IDIMPRESSO) VALUES (?, ?, ?, ?, ?, ?, ?)");
            std::size_t proximoItem = 0;
            t.restart();
            for (std::size_t k = 0; k < rv.size(); ++k) {
                exec(db, "BEGIN IMMEDIATE");
                avanca.roda({});
                venda.roda(rv[k]);
                const std::string id = std::to_string(sqlite3_last_insert_rowid(db));
                const std::string idGerador = rc[k][0];
                while (proximoItem < ri.size() && ri[proximoItem][0] == idGerador) {
                    std::vector<std::string> l = ri[proximoItem++];
                    l[0] = id;
                    item.roda(l);
                }
                std::vector<std::string> c = rc[k];
                c[0] = id;
                cupom.roda(c);
                exec(db, "COMMIT");
            }
            sPiso = double(t.nsecsElapsed()) / 1e9;
            sqlite3_close(db);
        }

        QFile::remove(gerador);
        QFile::remove(piso);
        return {sGerador, sPiso};
    };
    std::vector<std::pair<double, double>> tempos;
    for (int r = 0; r < rodadas; ++r) tempos.push_back(rodada(r));
    // The median round by its ratio.
    std::sort(tempos.begin(), tempos.end(),
              [](const auto& a, const auto& b) { return a.second / a.first < b.second / b.first; });
    const double sGerador = tempos[tempos.size() / 2].first;
    const double sPiso = tempos[tempos.size() / 2].second;
    const double porSegundo = vendas / sGerador;
    const double pisoPorSegundo = vendas / sPiso;
    std::printf("bench_venda: %d vendas com cupom gravado (sem impressão), SQLite em %s\n", vendas,
                qPrintable(pasta));
    std::printf("  gerador (GeraCupomVenda)          %9.0f vendas/s  (%.3f s)\n", porSegundo,
                sGerador);
    std::printf("  piso: sqlite3, mesmas linhas,\n");
    std::printf("        uma transação por venda     %9.0f vendas/s  (%.3f s)\n", pisoPorSegundo,
                sPiso);
    std::printf("  gerador / piso                    %9.2f  (rodada mediana de %d:",
                porSegundo / pisoPorSegundo, rodadas);
    for (const auto& [g, p] : tempos) std::printf(" %.2f", p / g);
    std::printf(")\n");
    return 0;
}
