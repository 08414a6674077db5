// bench_copia [--conexao CONNECTION] [--db FILE] [--caixa TILL]
// The till's copy: (1) with a PostgreSQL database (--conexao; made by gerademo --big when it has
// no consumers, the server's database then empty), the refresh of the copy of branch 0001 and
// its till (every consumer of the branch's clients, over 100,000), made new and then rewritten
// in place, and what the job costs the thread that starts it; (2) always, the time from the
// program's start to an open screen when the server does not answer: a socket on 127.0.0.1
// that accepts and never speaks, so that the connect runs out its deadline and the screen opens
// on the copy. Figures only; nothing is asserted.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <stdexcept>

#include "common/Medicao.h"
#include "module/Cli_Kel00815.h"
#include "module/dataservice/OfflinePolicy.h"
#include "module/dataservice/TrdmListaPresenca.h"
#include "module/screen/TfrmPresenca.h"
#include "platform/OfflineState.h"
#include "platform/Platform.h"
#include "platform/TADOConnection.h"
#include "pos/sale/TillCopy.h"
#include "pos/sale/TillCopyRefresh.h"

namespace {

double ms(const QElapsedTimer& t) {
    return static_cast<double>(t.nsecsElapsed()) / 1e6;
}

qint64 consumidores(const QString& conexao, const QString& filial = QStringLiteral("0001")) {
    platform::TADOConnection c;
    c.setConnectionString(conexao);
    c.setConnected(true);
    QSqlQuery q(c.database());
    q.prepare(
        QStringLiteral("SELECT COUNT(*) FROM CONSUMIDOR CO JOIN CLIENFILIAL CF ON "
                       "CF.CDCLIENTE = CO.CDCLIENTE WHERE CF.CDFILIAL = ?"));
    q.addBindValue(filial);
    return q.exec() && q.next() ? q.value(0).toLongLong() : 0;
}

// Branch 0100: one client with 100,000 of the demo's consumers (new codes), served at its till
// 001 as the demo's till 001 serves: the branch of the goal, beside the demo's bigger one.
void filialDeCemMil(const QString& conexao) {
    platform::TADOConnection c;
    c.setReadOnly(false);
    c.setConnectionString(conexao);
    c.setConnected(true);
    QSqlQuery q(c.database());
    if (q.exec(QStringLiteral("SELECT COUNT(*) FROM CLIENFILIAL WHERE CDFILIAL = '0100'")) &&
        q.next() && q.value(0).toInt() > 0)
        return;
    c.BeginTrans();
    for (const char* sql :
         {"INSERT INTO FILIAL (CDFILIAL, NMFILIAL) VALUES ('0100', 'Filial de cem mil')",
          "INSERT INTO CAIXA (CDFILIAL, CDCAIXA, NMCAIXA) VALUES ('0100', '001', 'Caixa')",
          "INSERT INTO CLIENTE (CDCLIENTE, NMCLIENTE) VALUES ('CEMMIL', 'Cliente de cem mil')",
          "INSERT INTO CLIENFILIAL (CDFILIAL, CDCLIENTE) VALUES ('0100', 'CEMMIL')",
          "INSERT INTO CONSUMIDOR (CDCONSUMIDOR, CDCLIENTE, CDIDCONSUMID, NMCONSUMIDOR, "
          "IDSITCONSUMI, CDCCUSCLIE, CDTIPOCONS) SELECT 'K' || CDCONSUMIDOR, 'CEMMIL', 'K' || "
          "CDIDCONSUMID, NMCONSUMIDOR, IDSITCONSUMI, CDCCUSCLIE, CDTIPOCONS FROM CONSUMIDOR "
          "ORDER BY CDCONSUMIDOR LIMIT 100000",
          "INSERT INTO SERVTURCAIXA (CDFILIAL, CDCAIXA, CDSERVFILI, HRINISERTUR, HRFINSERTUR, "
          "IDIMPCUPOMAUT) SELECT '0100', '001', CDSERVFILI, HRINISERTUR, HRFINSERTUR, "
          "IDIMPCUPOMAUT FROM SERVTURCAIXA WHERE CDFILIAL = '0001' AND CDCAIXA = '001'"}) {
        QSqlQuery ins(c.database());
        if (!ins.exec(QString::fromUtf8(sql)))
            throw std::runtime_error("não foi possível fazer a filial 0100: " +
                                     ins.lastError().text().toStdString());
    }
    c.CommitTrans();
}

void mede(const QString& conexao, const QString& filial, const QString& caixa,
          const QString& copia) {
    std::printf("cópia da filial %s, caixa %s: %lld consumidores no servidor\n", qPrintable(filial),
                qPrintable(caixa), static_cast<long long>(consumidores(conexao, filial)));
    for (int i = 0; i < 4; ++i) {
        QElapsedTimer t;
        t.start();
        const Hul00002::TillCopyRefreshResult r =
            Hul00002::refreshTillCopy(conexao, filial, caixa, copia);
        std::printf("  %-30s %9.1f ms  %8lld linhas  (meta, a 100.000: ≤ 2000 ms)\n",
                    i == 0 ? "nova (feita e renomeada)" : "reescrita no lugar", ms(t),
                    static_cast<long long>(r.rows));
    }
}

int refresh(const QString& conexao, const QString& arquivo, const QString& caixa,
            const QString& pasta) {
    if (consumidores(conexao) == 0) {
        std::printf("gerando %s e o banco do servidor (gerademo --big) ...\n", qPrintable(arquivo));
        std::fflush(stdout);
        QFile::remove(arquivo);
        const int rc = QProcess::execute(
            QCoreApplication::applicationDirPath() + QStringLiteral("/gerademo"),
            {QStringLiteral("--big"), QStringLiteral("--today"), QString::fromLatin1(bench::kDia),
             QStringLiteral("--out"), arquivo, QStringLiteral("--conexao"), conexao});
        if (rc != 0) return 1;
    }
    filialDeCemMil(conexao);
    mede(conexao, QStringLiteral("0100"), QStringLiteral("001"),
         pasta + QStringLiteral("/copia-cem-mil.db"));
    const QString copia = pasta + QStringLiteral("/copia-caixa.db");
    mede(conexao, QString::fromLatin1(bench::kFilial), caixa, copia);
    qputenv("LISTAPRESENCA_COPIA", copia.toUtf8());
    QElapsedTimer t;
    t.start();
    Hul00002::startTillSync(conexao, QString::fromLatin1(bench::kFilial), caixa);
    const double chamada = ms(t);
    Hul00002::waitForTillSync(60000);
    std::printf("  %-30s %9.3f ms  (o trabalho todo: %.1f ms, noutra thread)\n", "quem pede espera",
                chamada, ms(t));
    qunsetenv("LISTAPRESENCA_COPIA");
    return 0;
}

// A server that takes the connection and never says a word.
int mudo(int* porta) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t n = sizeof a;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        ::listen(fd, 8) != 0 || ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &n) != 0)
        return -1;
    *porta = ntohs(a.sin_port);
    return fd;
}

// `modelo`: the connection string, %1 the port. `desdeOInicio`: the program's start, for the
// first screen it opens.
int abertura(const QElapsedTimer* desdeOInicio, const QString& pasta, const char* nome,
             const QString& modelo) {
    int porta = 0;
    const int fd = mudo(&porta);
    if (fd < 0) {
        std::fprintf(stderr, "erro: sem porta em 127.0.0.1\n");
        return 1;
    }
    const QString conexao = modelo.arg(porta);
    QString filial, caixa;
    Srv_Kel00815::branchAndTill(&filial, &caixa);
    if (filial.isEmpty() || caixa.isEmpty()) {
        std::fprintf(stderr,
                     "erro: sem PARAMETROSZOR.CDS ao lado do programa (scripts/run.sh "
                     "o faz, ou cdstool param)\n");
        return 1;
    }
    // A copy of this till from that server, taken before it fell silent.
    const QString copia = pasta + QStringLiteral("/copia-mudo-%1.db").arg(porta);
    {
        QFile(copia).open(QIODevice::WriteOnly);
        platform::TADOConnection c;
        c.setReadOnly(false);
        c.setConnectionString(copia);
        c.setConnected(true);
        Hul00002::createTillCopy(
            c, {filial, caixa, Hul00002::serverDigest(conexao), QDateTime::currentDateTime()});
    }
    qputenv("LISTAPRESENCA_COPIA", copia.toUtf8());
    qputenv("LISTAPRESENCA_CONEXAO", conexao.toUtf8());
    QElapsedTimer t;
    t.start();
    auto* tela = new Cli_Kel00815::TfrmPresenca();
    Cli_Kel00815::frmPresenca = tela;
    tela->InicializaForm(nullptr, -1);
    tela->show();
    QCoreApplication::processEvents();
    const double aberta = ms(t);
    const bool offline = platform::OfflineState::instance().offline();
    const int prazo = platform::ConnectionSettings::parse(conexao).loginTimeout + 3;
    std::printf("%s que não responde (prazo do connect: %d s, o do login mais 3 s) %s\n", nome,
                prazo, offline ? "- aberta na cópia" : "- NÃO abriu na cópia");
    if (desdeOInicio)
        std::printf("  %-30s %9.1f ms\n", "do início à tela aberta", ms(*desdeOInicio));
    std::printf("  %-30s %9.1f ms  (meta: ≤ %d ms)\n", "InicializaForm e mostrar", aberta,
                (prazo + 1) * 1000);
    delete tela;
    Cli_Kel00815::frmPresenca = nullptr;
    delete Srv_Kel00815::rdmListaPresenca;
    Srv_Kel00815::rdmListaPresenca = nullptr;
    ::close(fd);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    QElapsedTimer desdeOInicio;
    desdeOInicio.start();
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QString conexao, arquivo = QStringLiteral("/tmp/listapresenca-bench-pg.db");
    QString caixa = QString::fromLatin1(bench::kCentros[2].caixa);
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == QLatin1String("--conexao"))
            conexao = args[++i];
        else if (args[i] == QLatin1String("--db"))
            arquivo = args[++i];
        else if (args[i] == QLatin1String("--caixa"))
            caixa = args[++i];
    }
    QTemporaryDir pasta;
    try {
        int rc = abertura(&desdeOInicio, pasta.path(), "SQL Server (FreeTDS)",
                          QStringLiteral("Provider=SQLOLEDB;Data Source=127.0.0.1,%1;Initial "
                                         "Catalog=cantina;User ID=caixa;Password=x;Connect "
                                         "Timeout=2"));
        QFile odbcinst(QStringLiteral("/etc/odbcinst.ini"));
        if (rc == 0 && odbcinst.open(QIODevice::ReadOnly) &&
            odbcinst.readAll().contains("[PostgreSQL Unicode]"))
            rc = abertura(nullptr, pasta.path(), "PostgreSQL (ODBC)",
                          QStringLiteral("Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=%1;"
                                         "Database=cantina;UID=caixa;PWD=x;Connect Timeout=2"));
        if (rc != 0) return rc;
        if (conexao.isEmpty()) {
            std::printf("(sem --conexao: a atualização da cópia não foi medida)\n");
            return 0;
        }
        return refresh(conexao, arquivo, caixa, pasta.path());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "erro: %s\n", e.what());
        return 1;
    }
}
