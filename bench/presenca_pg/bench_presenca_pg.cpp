// bench_presenca_pg --conexao CONNECTION [--db FILE]
// Times getPresenca (call to packet) for the 1,000 and 20,000 cost centres on the busy day of
// the big demo, on a PostgreSQL database and on the SQLite file, alternated in one process so
// that a busy machine weighs on both alike. When the file is missing or the server's database
// has no consumers, both are made by one run of gerademo --big (the server's database must
// then be empty). Default file: /tmp/listapresenca-bench-pg.db.
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

#include "dataset/DataPacket.h"
#include "module/dataservice/TrdmListaPresenca.h"
#include "platform/TADOConnection.h"

namespace {

const char* const kDia = "15/03/2024";

double mediana(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

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

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QString arquivo = QStringLiteral("/tmp/listapresenca-bench-pg.db");
    QString conexao;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--db") && i + 1 < args.size()) arquivo = args[++i];
        if (args[i] == QLatin1String("--conexao") && i + 1 < args.size()) conexao = args[++i];
    }
    if (conexao.isEmpty()) {
        std::fprintf(stderr,
                     "uso: bench_presenca_pg --conexao CADEIA [--db ARQUIVO]\n"
                     "CADEIA: um banco PostgreSQL vazio ou feito por gerademo --big --today %s"
                     " --conexao\n",
                     kDia);
        return 2;
    }
    std::unique_ptr<Srv_Kel00815::TrdmListaPresenca> servidor;
    try {
        servidor.reset(conecta(conexao));
        if (!QFile::exists(arquivo) || !temConsumidores(servidor.get())) {
            std::printf("gerando %s e o banco do servidor (gerademo --big) ...\n",
                        qPrintable(arquivo));
            std::fflush(stdout);
            QFile::remove(arquivo);
            const int rc = QProcess::execute(
                app.applicationDirPath() + QStringLiteral("/gerademo"),
                {QStringLiteral("--big"), QStringLiteral("--today"), QString::fromLatin1(kDia),
                 QStringLiteral("--out"), arquivo, QStringLiteral("--conexao"), conexao});
            if (rc != 0) return 1;
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "erro: %s\n", e.what());
        return 1;
    }
    std::unique_ptr<Srv_Kel00815::TrdmListaPresenca> sqlite(conecta(arquivo));

    std::printf("%-12s %7s %12s %16s %7s\n", "centro", "linhas", "SQLite ms", "PostgreSQL ms",
                "razão");
    for (const char* cc : {"PRÉ-ESCOLA", "ENS. MÉDIO"}) {
        const bool grande = std::string(cc) == "ENS. MÉDIO";
        const int vezes = grande ? 15 : 100;
        int linhas[2] = {0, 0};
        const auto mede = [&](Srv_Kel00815::TrdmListaPresenca* dm, int k) {
            Srv_Kel00815::rdmListaPresenca = dm;
            QElapsedTimer t;
            t.start();
            const QVariant v = Srv_Kel00815::getPresenca(
                QStringLiteral("0001"), QStringLiteral("001"), QString::fromUtf8(cc),
                QStringLiteral("00002"), QString::fromLatin1(kDia));
            const double ms = static_cast<double>(t.nsecsElapsed()) / 1e6;
            Srv_Kel00815::rdmListaPresenca = nullptr;
            if (!dataset::isDataPacket(v)) {
                std::fprintf(stderr, "erro: %s\n", qPrintable(v.toString()));
                std::exit(1);
            }
            linhas[k] = dataset::packetFromVariant(v).rowCount();
            return ms;
        };
        mede(sqlite.get(), 0);  // warm caches and plans
        mede(servidor.get(), 1);
        std::vector<double> tSqlite, tServidor;
        for (int i = 0; i < vezes; ++i) {
            tSqlite.push_back(mede(sqlite.get(), 0));
            tServidor.push_back(mede(servidor.get(), 1));
        }
        if (linhas[0] != linhas[1])
            std::printf("linhas diferentes: %d x %d\n", linhas[0], linhas[1]);
        const double a = mediana(tSqlite), b = mediana(tServidor);
        std::printf("%-12s %7d %12.2f %16.2f %7.2f\n", cc, linhas[0], a, b, b / a);
    }
    return 0;
}
