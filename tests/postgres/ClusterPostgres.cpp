#include "postgres/ClusterPostgres.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QUrl>
#include <QUuid>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <pwd.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <stdexcept>

namespace teste {

namespace {

ClusterPostgres* g_cluster = nullptr;
std::unique_ptr<QTemporaryDir> g_pasta;
std::unique_ptr<QProcess> g_servidor;

// The newest server installed the Debian way, or one on the PATH.
QString pastaDosProgramas() {
    const QString env = qEnvironmentVariable("LISTAPRESENCA_PG_BIN");
    if (!env.isEmpty()) return env;
    QDir raiz(QStringLiteral("/usr/lib/postgresql"));
    QStringList versoes = raiz.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    std::sort(versoes.begin(), versoes.end(),
              [](const QString& a, const QString& b) { return a.toInt() > b.toInt(); });
    for (const QString& v : versoes) {
        const QString bin = raiz.filePath(v + QStringLiteral("/bin"));
        if (QFileInfo(bin + QStringLiteral("/initdb")).isExecutable() &&
            QFileInfo(bin + QStringLiteral("/postgres")).isExecutable())
            return bin;
    }
    const QString initdb = QStandardPaths::findExecutable(QStringLiteral("initdb"));
    return initdb.isEmpty() ? QString() : QFileInfo(initdb).absolutePath();
}

int portaLivre() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) return 0;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t n = sizeof a;
    const bool ok = ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
                    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &n) == 0;
    ::close(fd);
    return ok ? ntohs(a.sin_port) : 0;
}

// Runs a program to its end within `prazoMs`; its output when it fails.
bool roda(const QString& programa, const QStringList& args, QString* saida, int prazoMs = 60000,
          const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.setProcessEnvironment(env);
    p.start(programa, args);
    if (!p.waitForFinished(prazoMs)) {
        p.kill();
        p.waitForFinished(5000);
        if (saida) *saida = QStringLiteral("%1 did not finish in time").arg(programa);
        return false;
    }
    if (saida) *saida = QString::fromLocal8Bit(p.readAll());
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// Stops the server when the test program ends, if it was started.
class FimDoCluster : public testing::Environment {
public:
    void TearDown() override {
        if (g_cluster) g_cluster->para();
    }
};
[[maybe_unused]] testing::Environment* const g_fim =
    testing::AddGlobalTestEnvironment(new FimDoCluster);

}  // namespace

ClusterPostgres& ClusterPostgres::instancia() {
    static ClusterPostgres c;
    return c;
}

ClusterPostgres::ClusterPostgres() {
    g_cluster = this;
    try {
        inicia();
    } catch (const std::exception& e) {
        indisponivel_ = QString::fromUtf8(e.what());
        para();
    }
}

QString ClusterPostgres::semOdbc() {
    QFile f(QStringLiteral("/etc/odbcinst.ini"));
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QODBC")))
        return QStringLiteral("Qt's ODBC driver (libqt6sql6-odbc) is not installed");
    if (!f.open(QIODevice::ReadOnly) || !f.readAll().contains("[PostgreSQL Unicode]"))
        return QStringLiteral("the PostgreSQL ODBC driver (odbc-postgresql) is not installed");
    return {};
}

QString ClusterPostgres::pula(const QString& porque) {
    if (!porque.isEmpty() && !qEnvironmentVariableIsEmpty("LISTAPRESENCA_TEST_PG"))
        throw std::runtime_error("LISTAPRESENCA_TEST_PG is set, but " + porque.toStdString());
    return porque;
}

QString ClusterPostgres::semQPsql() {
    return QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL"))
               ? QString()
               : QStringLiteral("Qt's PostgreSQL driver (libqt6sql6-psql) is not installed");
}

void ClusterPostgres::inicia() {
    bin_ = pastaDosProgramas();
    if (bin_.isEmpty() || !QFileInfo(bin_ + QStringLiteral("/initdb")).isExecutable() ||
        !QFileInfo(bin_ + QStringLiteral("/postgres")).isExecutable())
        throw std::runtime_error(
            "PostgreSQL server programs (initdb, postgres) not found: install postgresql-15 to "
            "run these tests against a real server");
    const QString setpriv = QStandardPaths::findExecutable(QStringLiteral("setpriv"));
    if (setpriv.isEmpty()) throw std::runtime_error("setpriv (util-linux) not found");

    // The server refuses to run as root: then it runs as nobody, in a folder nobody owns.
    QStringList comoUsuario{QStringLiteral("--pdeathsig=SIGQUIT")};
    uid_t uid = ::geteuid();
    gid_t gid = ::getegid();
    if (uid == 0) {
        const passwd* pw = ::getpwnam("nobody");
        if (!pw) throw std::runtime_error("no unprivileged user 'nobody' to run the server as");
        uid = pw->pw_uid;
        gid = pw->pw_gid;
        comoUsuario =
            QStringList{QStringLiteral("--reuid=%1").arg(uid),
                        QStringLiteral("--regid=%1").arg(gid), QStringLiteral("--clear-groups")} +
            comoUsuario;
    }
    const QFileInfo shm(QStringLiteral("/dev/shm"));
    const QString base = shm.isDir() && shm.isWritable() ? shm.filePath() : QDir::tempPath();
    g_pasta = std::make_unique<QTemporaryDir>(base + QStringLiteral("/listapresenca-pg-XXXXXX"));
    if (!g_pasta->isValid()) throw std::runtime_error("cannot make the cluster's folder");
    pasta_ = g_pasta->path();
    if (::chown(QFile::encodeName(pasta_).constData(), uid, gid) != 0)
        throw std::runtime_error("cannot hand the cluster's folder to the server's user");

    senha_ = QStringLiteral("Pg#") + QUuid::createUuid().toString(QUuid::Id128).left(12);
    const QString arquivoSenha = pasta_ + QStringLiteral("/senha");
    {
        QFile f(arquivoSenha);
        if (!f.open(QIODevice::WriteOnly)) throw std::runtime_error("cannot write the password");
        f.write(senha_.toUtf8() + '\n');
    }
    if (::chown(QFile::encodeName(arquivoSenha).constData(), uid, gid) != 0)
        throw std::runtime_error("cannot hand the password file to the server's user");

    QString saida;
    if (!roda(setpriv,
              comoUsuario + QStringList{QStringLiteral("--"), bin_ + QStringLiteral("/initdb"),
                                        QStringLiteral("-D"), pasta_ + QStringLiteral("/dados"),
                                        QStringLiteral("-U"), QStringLiteral("lp"),
                                        QStringLiteral("--pwfile=") + arquivoSenha,
                                        QStringLiteral("-A"), QStringLiteral("scram-sha-256"),
                                        QStringLiteral("-E"), QStringLiteral("UTF8"),
                                        QStringLiteral("--locale=C.UTF-8"), QStringLiteral("-N")},
              &saida))
        throw std::runtime_error("initdb failed: " + saida.toStdString());
    QFile::remove(arquivoSenha);

    // A port found free may be taken before the server binds it: then another one.
    comoUsuario_ = comoUsuario;
    setpriv_ = setpriv;
    QString saida2;
    for (int tentativa = 0; tentativa < 3 && !g_servidor; ++tentativa) {
        porta_ = portaLivre();
        saida2 = sobe();
    }
    if (!g_servidor) throw std::runtime_error("the server did not start: " + saida2.toStdString());
}

// Starts the server on the cluster's folder and port; empty when it runs, else its log.
QString ClusterPostgres::sobe() {
    QString saida;
    {
        auto p = std::make_unique<QProcess>();
        p->setProcessChannelMode(QProcess::MergedChannels);
        p->start(
            setpriv_,
            comoUsuario_ +
                QStringList{QStringLiteral("--"), bin_ + QStringLiteral("/postgres"),
                            QStringLiteral("-D"), pasta_ + QStringLiteral("/dados"),
                            QStringLiteral("-p"), QString::number(porta_),
                            QStringLiteral("-c"), QStringLiteral("listen_addresses=127.0.0.1"),
                            QStringLiteral("-c"), QStringLiteral("unix_socket_directories="),
                            QStringLiteral("-c"), QStringLiteral("fsync=off"),
                            QStringLiteral("-c"), QStringLiteral("full_page_writes=off"),
                            QStringLiteral("-c"), QStringLiteral("max_connections=50"),
                            QStringLiteral("-c"), QStringLiteral("dynamic_shared_memory_type=mmap"),
                            QStringLiteral("-c"), QStringLiteral("lc_messages=C")});
        QByteArray log;
        QElapsedTimer prazo;
        prazo.start();
        while (!log.contains("ready to accept connections") && prazo.elapsed() < 30000 &&
               p->state() != QProcess::NotRunning) {
            p->waitForReadyRead(100);
            log += p->readAll();
        }
        if (log.contains("ready to accept connections")) {
            pid_ = p->processId();
            g_servidor = std::move(p);
        } else {
            p->kill();
            p->waitForFinished(5000);
            saida = QString::fromLocal8Bit(log + p->readAll());
        }
    }
    return saida;
}

void ClusterPostgres::desliga() {
    if (!g_servidor) return;
    if (g_servidor->state() != QProcess::NotRunning) ::kill(pid_t(pid_), SIGINT);
    if (!g_servidor->waitForFinished(20000)) {
        g_servidor->kill();
        g_servidor->waitForFinished(5000);
    }
    g_servidor.reset();
    for (const QString& c : QSqlDatabase::connectionNames())
        if (c.startsWith(QLatin1String("cluster."))) QSqlDatabase::removeDatabase(c);
}

void ClusterPostgres::religa() {
    if (g_servidor || !g_pasta) return;
    const QString saida = sobe();
    if (!g_servidor)
        throw std::runtime_error("the server did not start again: " + saida.toStdString());
}

void ClusterPostgres::para() {
    if (g_servidor) {
        // Fast shutdown: open sessions are ended, nothing is kept.
        if (g_servidor->state() != QProcess::NotRunning) ::kill(pid_t(pid_), SIGINT);
        if (!g_servidor->waitForFinished(20000)) {
            g_servidor->kill();
            g_servidor->waitForFinished(5000);
        }
        g_servidor.reset();
    }
    for (const QString& c : QSqlDatabase::connectionNames())
        if (c.startsWith(QLatin1String("cluster."))) QSqlDatabase::removeDatabase(c);
    g_pasta.reset();
    if (indisponivel_.isEmpty()) indisponivel_ = QStringLiteral("the test server was stopped");
}

QString ClusterPostgres::odbc(const QString& banco) const {
    return QStringLiteral(
               "Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=%1;Database=%2;UID=lp;PWD=%3")
        .arg(porta_)
        .arg(banco, senha_);
}

QString ClusterPostgres::url(const QString& banco) const {
    return QStringLiteral("postgresql://lp:%1@127.0.0.1:%2/%3")
        .arg(QString::fromUtf8(QUrl::toPercentEncoding(senha_)))
        .arg(porta_)
        .arg(banco);
}

QSqlDatabase ClusterPostgres::conecta(const QString& banco, const QString& nome) const {
    if (QSqlDatabase::contains(nome)) return QSqlDatabase::database(nome);
    QSqlDatabase db;
    if (semQPsql().isEmpty()) {
        db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), nome);
        db.setHostName(QStringLiteral("127.0.0.1"));
        db.setPort(porta_);
        db.setUserName(QStringLiteral("lp"));
        db.setPassword(senha_);
        db.setDatabaseName(banco);
        db.setConnectOptions(QStringLiteral("connect_timeout=10"));
    } else {
        db = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), nome);
        db.setDatabaseName(odbc(banco));
        db.setConnectOptions(QStringLiteral("SQL_ATTR_LOGIN_TIMEOUT=10"));
    }
    if (!db.open()) throw std::runtime_error(db.lastError().text().toStdString());
    return db;
}

QString ClusterPostgres::novoBanco() {
    const QString nome =
        QStringLiteral("t%1_%2").arg(++bancos_).arg(QCoreApplication::applicationPid());
    QSqlQuery q(conecta(QStringLiteral("postgres"), QStringLiteral("cluster.admin")));
    if (!q.exec(QStringLiteral("CREATE DATABASE %1 ENCODING 'UTF8' TEMPLATE template0").arg(nome)))
        throw std::runtime_error(q.lastError().text().toStdString());
    return nome;
}

void ClusterPostgres::criaEsquema(const QString& banco) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PGPASSWORD"), senha_);
    QString saida;
    if (!roda(bin_ + QStringLiteral("/psql"),
              {QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-h"),
               QStringLiteral("127.0.0.1"), QStringLiteral("-p"), QString::number(porta_),
               QStringLiteral("-U"), QStringLiteral("lp"), QStringLiteral("-d"), banco,
               QStringLiteral("-v"), QStringLiteral("ON_ERROR_STOP=1"), QStringLiteral("-f"),
               QStringLiteral(DB_DIR "/schema_postgresql.sql")},
              &saida, 60000, env))
        throw std::runtime_error("schema_postgresql.sql failed: " + saida.toStdString());
}

int ClusterPostgres::derrubaSessoes(const QString& banco, const QString& programa) {
    QSqlQuery q(conecta(QStringLiteral("postgres"), QStringLiteral("cluster.admin")));
    const QString quais = QStringLiteral(
        "FROM pg_stat_activity WHERE datname = ? AND pid <> pg_backend_pid()"
        " AND backend_type = 'client backend' AND (? = '' OR application_name = ?)");
    q.prepare(QStringLiteral("SELECT pg_terminate_backend(pid) ") + quais);
    for (const QString& v : {banco, programa, programa}) q.addBindValue(v);
    if (!q.exec()) throw std::runtime_error(q.lastError().text().toStdString());
    int n = 0;
    while (q.next()) n += q.value(0).toBool() ? 1 : 0;
    q.finish();
    // Terminating only asks: wait until the server has really let them go.
    QElapsedTimer prazo;
    prazo.start();
    for (;;) {
        q.prepare(QStringLiteral("SELECT COUNT(*) ") + quais);
        for (const QString& v : {banco, programa, programa}) q.addBindValue(v);
        if (!q.exec() || !q.next()) throw std::runtime_error(q.lastError().text().toStdString());
        const int restam = q.value(0).toInt();
        q.finish();
        if (restam == 0) break;
        if (prazo.elapsed() > 20000) throw std::runtime_error("sessions did not end");
        QThread::msleep(20);
    }
    return n;
}

}  // namespace teste
