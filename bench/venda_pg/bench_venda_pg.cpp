// bench_venda_pg [--sales N]
// Sales per second of the sale generator on a throwaway local PostgreSQL cluster, through the
// PostgreSQL ODBC driver and through Qt's own driver, straight to the server and then through a
// relay on 127.0.0.1 that holds every packet 0.5 ms each way (a network round trip of 1 ms).
// The relay also counts the round trips: each time the client sends after the server answered.
// It needs no privilege and touches no interface; it lives and dies with this program.
// "ODBC, antes" is the baseline of the same run: the database without REGISTRA_VENDA, where a
// sale is a transaction of several statements.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QThread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <sqlite3.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "dataset/DataPacket.h"
#include "pos/sale/HandOver.h"
#include "pos/sale/SaleGenerator.h"
#include "postgres/ClusterPostgres.h"

namespace {

const QDate kHoje(2026, 3, 16);
using Relogio = std::chrono::steady_clock;

[[noreturn]] void morre(const std::string& msg) {
    std::fprintf(stderr, "bench_venda_pg: %s\n", msg.c_str());
    std::exit(1);
}

// A TCP relay from a loopback port to the server's, delaying each direction.
class Retardo {
public:
    Retardo(int portaServidor, std::chrono::microseconds atraso)
        : servidor_(portaServidor), atraso_(atraso) {
        escuta_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a = endereco(0);
        socklen_t n = sizeof a;
        if (escuta_ < 0 || ::bind(escuta_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
            ::listen(escuta_, 8) != 0 ||
            ::getsockname(escuta_, reinterpret_cast<sockaddr*>(&a), &n) != 0)
            morre("o retardo não abriu sua porta");
        porta_ = ntohs(a.sin_port);
        aceita_ = std::thread([this] { aceita(); });
    }
    ~Retardo() {
        fim_ = true;
        ::shutdown(escuta_, SHUT_RDWR);
        ::close(escuta_);
        aceita_.join();
        for (auto& l : ligacoes_) l->fecha();
        for (auto& t : bombas_) t.join();
    }
    int porta() const { return porta_; }
    // Times the client spoke again after the server had answered, since the last call.
    long idasEVoltas() { return idas_.exchange(0); }

private:
    struct Ligacao {
        int cliente = -1, servidor = -1;
        std::atomic<bool> servidorFalouPorUltimo{true};
        void fecha() {
            ::shutdown(cliente, SHUT_RDWR);
            ::shutdown(servidor, SHUT_RDWR);
        }
        ~Ligacao() {
            ::close(cliente);
            ::close(servidor);
        }
    };
    struct Pedaco {
        Relogio::time_point chega;
        std::string dados;
    };

    static sockaddr_in endereco(int porta) {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(static_cast<uint16_t>(porta));
        return a;
    }

    void aceita() {
        while (!fim_) {
            const int c = ::accept(escuta_, nullptr, nullptr);
            if (c < 0) return;
            auto l = std::make_shared<Ligacao>();
            l->cliente = c;
            l->servidor = ::socket(AF_INET, SOCK_STREAM, 0);
            const sockaddr_in a = endereco(servidor_);
            if (::connect(l->servidor, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0) {
                l->fecha();
                continue;
            }
            const int um = 1;
            ::setsockopt(c, IPPROTO_TCP, TCP_NODELAY, &um, sizeof um);
            ::setsockopt(l->servidor, IPPROTO_TCP, TCP_NODELAY, &um, sizeof um);
            ligacoes_.push_back(l);
            bombas_.emplace_back([this, l] { bombeia(l, l->cliente, l->servidor, true); });
            bombas_.emplace_back([this, l] { bombeia(l, l->servidor, l->cliente, false); });
        }
    }

    // Reads one direction as it comes; a second thread writes each piece when it is due.
    void bombeia(std::shared_ptr<Ligacao> l, int de, int para, bool doCliente) {
        std::mutex m;
        std::condition_variable cv;
        std::deque<Pedaco> fila;
        bool acabou = false;
        std::thread escritor([&] {
            for (;;) {
                std::unique_lock<std::mutex> trava(m);
                cv.wait(trava, [&] { return acabou || !fila.empty(); });
                if (fila.empty()) break;
                Pedaco p = std::move(fila.front());
                fila.pop_front();
                trava.unlock();
                std::this_thread::sleep_until(p.chega + atraso_);
                for (std::size_t feito = 0; feito < p.dados.size();) {
                    const ssize_t n =
                        ::send(para, p.dados.data() + feito, p.dados.size() - feito, MSG_NOSIGNAL);
                    if (n <= 0) return;
                    feito += std::size_t(n);
                }
            }
            ::shutdown(para, SHUT_WR);
        });
        char buf[65536];
        for (;;) {
            const ssize_t n = ::recv(de, buf, sizeof buf, 0);
            if (n <= 0) break;
            if (doCliente && l->servidorFalouPorUltimo.exchange(false)) ++idas_;
            if (!doCliente) l->servidorFalouPorUltimo = true;
            {
                std::lock_guard<std::mutex> trava(m);
                fila.push_back({Relogio::now(), std::string(buf, std::size_t(n))});
            }
            cv.notify_one();
        }
        {
            std::lock_guard<std::mutex> trava(m);
            acabou = true;
        }
        cv.notify_one();
        escritor.join();
    }

    int servidor_;
    std::chrono::microseconds atraso_;
    int escuta_ = -1, porta_ = 0;
    std::atomic<bool> fim_{false};
    std::atomic<long> idas_{0};
    std::thread aceita_;
    std::vector<std::shared_ptr<Ligacao>> ligacoes_;
    std::vector<std::thread> bombas_;
};

std::vector<QStringList> consumidoresLivres(const QString& arquivo, int quantos) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(arquivo).constData(), &db, SQLITE_OPEN_READONLY,
                        nullptr) != SQLITE_OK)
        morre("não abriu " + arquivo.toStdString());
    const std::string sql =
        "SELECT CDIDCONSUMID, CDCONSUMIDOR, NMCONSUMIDOR, CDCLIENTE, CDTIPOCONS"
        " FROM CONSUMIDOR C WHERE IDSITCONSUMI = '1' AND NOT EXISTS (SELECT 1 FROM"
        " VENDA V WHERE V.CDCONSUMIDOR = C.CDCONSUMIDOR AND V.CDFILIAL = '0001' AND"
        " V.CDCAIXA = '001' AND V.CDSERVFILI = '00002' AND V.DTCONSUMO = '2026-03-16')"
        " AND EXISTS (SELECT 1 FROM CLIENFILIAL F WHERE F.CDFILIAL = '0001' AND"
        " F.CDCLIENTE = C.CDCLIENTE) ORDER BY CDCONSUMIDOR LIMIT " +
        std::to_string(quantos);
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) != SQLITE_OK)
        morre(sqlite3_errmsg(db));
    std::vector<QStringList> r;
    while (sqlite3_step(st) == SQLITE_ROW) {
        QStringList l;
        for (int i = 0; i < 5; ++i)
            l << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, i)));
        r.push_back(l);
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    if (int(r.size()) < quantos) morre("consumidores livres insuficientes");
    return r;
}

QVariant entrega(const std::vector<QStringList>& todos, std::size_t de, std::size_t quantos) {
    QList<Hul00002::HandOverRecord> r;
    for (std::size_t k = de; k < de + quantos; ++k) {
        const QStringList& c = todos[k];
        r << Hul00002::HandOverRecord{QStringLiteral("0001"),
                                      QStringLiteral("001"),
                                      c[0],
                                      c[1],
                                      c[2],
                                      c[3],
                                      c[4],
                                      kHoje,
                                      QStringLiteral("1130"),
                                      {},
                                      {}};
    }
    return dataset::toVariant(Hul00002::buildHandOver(r));
}

// Seconds of one run of the generator; every record must be sold.
double vende(const QString& conexao, const QVariant& pacote, int vendas) {
    Hul00002::SaleGeneratorOptions op;
    op.connectionString = conexao;
    QElapsedTimer t;
    t.start();
    const Hul00002::SaleRun run = Hul00002::generateSales(pacote, op);
    const double s = double(t.nsecsElapsed()) / 1e9;
    if (run.count(Hul00002::SaleStatus::Sold) != vendas)
        for (const Hul00002::SaleOutcome& o : run.outcomes)
            if (o.status != Hul00002::SaleStatus::Sold)
                morre(Hul00002::outcomeText(o).toStdString());
    return s;
}

// Milliseconds of one trivial statement through `porta`: what a round trip costs there.
double idaEVolta(teste::ClusterPostgres& cluster, const QString& banco, int porta) {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), QStringLiteral("rtt"));
    db.setDatabaseName(cluster.odbc(banco).replace(QStringLiteral("Port=%1;").arg(cluster.porta()),
                                                   QStringLiteral("Port=%1;").arg(porta)));
    double ms = 0;
    if (db.open()) {
        QSqlQuery q(db);
        q.prepare(QStringLiteral("SELECT 1"));
        const int vezes = 300;
        QElapsedTimer t;
        t.start();
        for (int i = 0; i < vezes; ++i)
            if (!q.exec() || !q.next()) morre("SELECT 1 falhou");
        ms = double(t.nsecsElapsed()) / 1e6 / vezes;
        q.finish();
        db.close();
    }
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("rtt"));
    return ms;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    int vendas = 1000;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); i += 2)
        if (args.at(i) == QLatin1String("--sales")) vendas = args.at(i + 1).toInt();
    if (vendas <= 0) morre("--sales N, N > 0");

    teste::ClusterPostgres& cluster = teste::ClusterPostgres::instancia();
    if (!cluster.indisponivel().isEmpty())
        morre("sem servidor PostgreSQL: " + cluster.indisponivel().toStdString());
    const bool odbc = teste::ClusterPostgres::semOdbc().isEmpty();
    const bool nativo = teste::ClusterPostgres::semQPsql().isEmpty();
    if (!odbc) std::printf("sem ODBC: %s\n", qPrintable(teste::ClusterPostgres::semOdbc()));
    if (!nativo)
        std::printf("sem o driver do Qt: %s\n", qPrintable(teste::ClusterPostgres::semQPsql()));

    QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/bench_venda_pg-XXXXXX"));
    if (!dir.isValid()) morre("sem pasta temporária");
    const QString demo = dir.filePath(QStringLiteral("demo.db"));
    const QString banco = cluster.novoBanco();
    QProcess gerademo;
    gerademo.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    gerademo.start(QStringLiteral(GERADEMO),
                   {QStringLiteral("--out"), demo, QStringLiteral("--consumers"),
                    QString::number(vendas * 8 + 1000), QStringLiteral("--today"),
                    kHoje.toString(QStringLiteral("dd/MM/yyyy")), QStringLiteral("--conexao"),
                    cluster.odbc(banco)});
    if (!gerademo.waitForFinished(600000) || gerademo.exitCode() != 0) morre("gerademo falhou");
    const std::vector<QStringList> livres = consumidoresLivres(demo, vendas * 6);

    const auto trocaPorta = [&cluster](QString conexao, int porta) {
        return conexao
            .replace(QStringLiteral(":%1/").arg(cluster.porta()), QStringLiteral(":%1/").arg(porta))
            .replace(QStringLiteral("Port=%1;").arg(cluster.porta()),
                     QStringLiteral("Port=%1;").arg(porta));
    };
    std::printf("bench_venda_pg: %d vendas por medida, com cupom gravado (sem impressão)\n",
                vendas);
    std::printf("%-12s %14s %18s %26s\n", "via", "direto vendas/s", "ida e volta 1 ms",
                "idas e voltas por venda");
    std::size_t proximo = 0;
    // The last row, the baseline: a database without REGISTRA_VENDA, statement by statement.
    for (int via = 0; via < 3; ++via) {
        if ((via != 1 && !odbc) || (via == 1 && !nativo)) continue;
        if (via == 2) {
            QSqlDatabase db = cluster.conecta(banco, QStringLiteral("sem-funcao"));
            if (!QSqlQuery(db).exec(QStringLiteral("DROP FUNCTION REGISTRA_VENDA")))
                morre("DROP FUNCTION falhou");
        }
        const QString conexao = via != 1 ? cluster.odbc(banco) : cluster.url(banco);
        const double direto = vende(conexao, entrega(livres, proximo, std::size_t(vendas)), vendas);
        proximo += std::size_t(vendas);
        Retardo retardo(cluster.porta(), std::chrono::microseconds(500));
        const double lento = vende(trocaPorta(conexao, retardo.porta()),
                                   entrega(livres, proximo, std::size_t(vendas)), vendas);
        proximo += std::size_t(vendas);
        const long idas = retardo.idasEVoltas();
        std::printf("%-12s %14.0f %18.0f %26.2f\n",
                    via == 0   ? "ODBC"
                    : via == 1 ? "nativo"
                               : "ODBC, antes",
                    vendas / direto, vendas / lento, double(idas) / vendas);
    }
    if (odbc) {
        Retardo retardo(cluster.porta(), std::chrono::microseconds(500));
        const double direto = idaEVolta(cluster, banco, cluster.porta());
        const double lento = idaEVolta(cluster, banco, retardo.porta());
        std::printf(
            "um SELECT 1 por ODBC: direto %.3f ms, pelo retardo %.3f ms (ida e volta"
            " efetiva %.3f ms)\n",
            direto, lento, lento - direto);
    }
    std::printf("meta: >= 300 vendas/s por ODBC com a ida e volta de 1 ms\n");
    cluster.para();
    return 0;
}
