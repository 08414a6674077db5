// bench_presenca_pg --conexao CONNECTION [--conexao CONNECTION] [--db FILE]
// Times getPresenca (call to packet) for the 1,000, 20,000 and 100,000 cost centres on the busy
// day of the big demo, on a PostgreSQL database and on the SQLite file, alternated in one
// process so that a busy machine weighs on all alike. Given the same database twice, through
// the PostgreSQL ODBC driver and through Qt's own driver (a postgresql:// URL), it prints the
// ODBC road's ratio to the native one. When the file is missing or the server's database has
// no consumers, both are made by one run of gerademo --big (the server's database must then
// be empty). Default file: /tmp/listapresenca-bench-pg.db.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSqlQuery>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

#include "common/Medicao.h"
#include "dataset/DataPacket.h"
#include "module/dataservice/TrdmListaPresenca.h"
#include "platform/TADOConnection.h"

namespace {

Srv_Kel00815::TrdmListaPresenca* conecta(const QString& conexao) {
    qputenv("LISTAPRESENCA_CONEXAO", conexao.toUtf8());
    auto* dm = new Srv_Kel00815::TrdmListaPresenca();
    dm->adcListaPresenca->setConnected(true);
    return dm;
}

bool temConsumidores(Srv_Kel00815::TrdmListaPresenca* dm) {
    QSqlQuery q(dm->adcListaPresenca->database());
    return q.exec(QStringLiteral("SELECT COUNT(*) FROM CONSUMIDOR")) && q.next() &&
           q.value(0).toLongLong() > 0;
}

struct Via {
    QString nome;  // "ODBC" or "nativo"
    std::unique_ptr<Srv_Kel00815::TrdmListaPresenca> dm;
};

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QString arquivo = QStringLiteral("/tmp/listapresenca-bench-pg.db");
    QStringList conexoes;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--db") && i + 1 < args.size()) arquivo = args[++i];
        if (args[i] == QLatin1String("--conexao") && i + 1 < args.size()) conexoes << args[++i];
    }
    if (conexoes.isEmpty()) {
        std::fprintf(stderr,
                     "uso: bench_presenca_pg --conexao CADEIA [--conexao CADEIA] [--db ARQUIVO]\n"
                     "CADEIA: um banco PostgreSQL vazio ou feito por gerademo --big --today %s"
                     " --conexao; o mesmo banco por ODBC e pelo driver do Qt compara os dois\n",
                     bench::kDia);
        return 2;
    }
    std::vector<Via> vias;
    const auto conectaTodas = [&] {
        vias.clear();
        for (const QString& c : conexoes) {
            const bool odbc =
                platform::ConnectionSettings::parse(c).driver == QLatin1String("QODBC");
            vias.push_back({odbc ? QStringLiteral("ODBC") : QStringLiteral("nativo"),
                            std::unique_ptr<Srv_Kel00815::TrdmListaPresenca>(conecta(c))});
        }
    };
    try {
        // An empty database has no tables yet: the module refuses it until gerademo made them.
        bool pronto = QFile::exists(arquivo);
        try {
            if (pronto) conectaTodas();
            pronto = pronto && temConsumidores(vias.front().dm.get());
        } catch (const std::exception&) {
            pronto = false;
        }
        if (!pronto) {
            vias.clear();
            std::printf("gerando %s e o banco do servidor (gerademo --big) ...\n",
                        qPrintable(arquivo));
            std::fflush(stdout);
            QFile::remove(arquivo);
            const int rc =
                QProcess::execute(app.applicationDirPath() + QStringLiteral("/gerademo"),
                                  {QStringLiteral("--big"), QStringLiteral("--today"),
                                   QString::fromLatin1(bench::kDia), QStringLiteral("--out"),
                                   arquivo, QStringLiteral("--conexao"), conexoes.front()});
            if (rc != 0) return 1;
            conectaTodas();
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "erro: %s\n", e.what());
        return 1;
    }
    std::unique_ptr<Srv_Kel00815::TrdmListaPresenca> sqlite(conecta(arquivo));
    const auto acha = [&vias](const char* nome) -> const Via* {
        for (const Via& v : vias)
            if (v.nome == QLatin1String(nome)) return &v;
        return nullptr;
    };
    const Via* odbc = acha("ODBC");
    const Via* nativo = acha("nativo");

    std::printf("%-12s %7s %10s", "centro", "linhas", "SQLite ms");
    for (const Via& v : vias) std::printf(" %10s", qPrintable(v.nome + QStringLiteral(" ms")));
    for (const Via& v : vias)
        std::printf(" %10s", qPrintable(v.nome + QStringLiteral(" ÷ SQLite")));
    if (odbc && nativo) std::printf(" %14s", "ODBC ÷ nativo");
    std::printf("\n");
    for (const bench::Centro& c : bench::kCentros) {
        // A server is noisier than a file: at least nine runs of the longest list.
        const int vezes = std::clamp(c.vezes, 9, 100);
        int linhas = -1;
        bool diferentes = false;
        const auto mede = [&](Srv_Kel00815::TrdmListaPresenca* dm) {
            Srv_Kel00815::rdmListaPresenca = dm;
            QElapsedTimer t;
            t.start();
            const QVariant v = Srv_Kel00815::getPresenca(
                QString::fromLatin1(bench::kFilial), QString::fromLatin1(c.caixa),
                QString::fromUtf8(c.codigo), QString::fromLatin1(bench::kServico),
                QString::fromLatin1(bench::kDia));
            const double ms = static_cast<double>(t.nsecsElapsed()) / 1e6;
            Srv_Kel00815::rdmListaPresenca = nullptr;
            if (!dataset::isDataPacket(v)) {
                std::fprintf(stderr, "erro: %s\n", qPrintable(v.toString()));
                std::exit(1);
            }
            const int n = dataset::packetFromVariant(v).rowCount();
            if (linhas >= 0 && n != linhas) diferentes = true;
            linhas = n;
            return ms;
        };
        mede(sqlite.get());  // warm caches and plans
        for (const Via& v : vias) mede(v.dm.get());
        std::vector<double> tSqlite;
        std::vector<std::vector<double>> tVia(vias.size());
        for (int i = 0; i < vezes; ++i) {
            tSqlite.push_back(mede(sqlite.get()));
            for (std::size_t k = 0; k < vias.size(); ++k) tVia[k].push_back(mede(vias[k].dm.get()));
        }
        if (diferentes) std::printf("linhas diferentes entre as vias\n");
        const double a = bench::mediana(tSqlite);
        std::vector<double> m;
        for (const auto& t : tVia) m.push_back(bench::mediana(t));
        std::printf("%s %7d %10.2f",
                    QString::fromUtf8(c.codigo).leftJustified(12).toUtf8().constData(), linhas, a);
        for (double x : m) std::printf(" %10.2f", x);
        for (double x : m) std::printf(" %10.2f", x / a);
        if (odbc && nativo)
            std::printf(" %14.2f",
                        m[std::size_t(odbc - vias.data())] / m[std::size_t(nativo - vias.data())]);
        std::printf("\n");
    }
    return 0;
}
