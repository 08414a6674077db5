#pragma once

// A throwaway PostgreSQL server for one test program: a new cluster (initdb) in a temporary
// folder, the server on a free loopback port, run as an unprivileged user when the tests run
// as root (the server refuses root). It starts at the first use, dies with the test program
// and is stopped and removed at the end of the run. Where the server's programs are missing,
// every test that needs it is skipped, saying why.

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

namespace teste {

class ClusterPostgres {
public:
    // The program's cluster, started on the first call.
    static ClusterPostgres& instancia();

    // Empty when the server runs; otherwise why it cannot run here.
    QString indisponivel() const { return indisponivel_; }
    // Why the PostgreSQL ODBC driver or Qt's PostgreSQL driver cannot be used; empty if they can.
    static QString semOdbc();
    static QString semQPsql();
    // `porque`, the reason to skip a test; but where LISTAPRESENCA_TEST_PG is set (CI, which
    // installs PostgreSQL) a test that cannot run is a failure: then it raises.
    static QString pula(const QString& porque);

    int porta() const { return porta_; }
    QString senha() const { return senha_; }

    // A new empty UTF8 database; its name.
    QString novoBanco();
    // Its tables and indexes from db/schema_postgresql.sql.
    void criaEsquema(const QString& banco);

    // The connection strings a till uses: ODBC with the PostgreSQL driver, or a URL for Qt's own.
    QString odbc(const QString& banco) const;
    QString url(const QString& banco) const;

    // A connection of the test's own to `banco` (Qt's driver when there, else ODBC), named
    // `nome`; raises when it cannot open.
    QSqlDatabase conecta(const QString& banco, const QString& nome) const;

    // Ends every other session on `banco` as an administrator would, and waits until the
    // server has let them go. Returns how many there were.
    int derrubaSessoes(const QString& banco, const QString& programa = QString());

    void para();
    // The server stops (its sessions end) and starts again on the same port and data: a
    // server that goes away and comes back.
    void suspende();
    void retoma();

private:
    ClusterPostgres();
    void inicia();
    // Starts the server on porta_; empty, or its output when it did not start.
    QString sobe();

    QString indisponivel_;
    QString bin_;
    QString setpriv_;
    QStringList comoUsuario_;
    QString pasta_;
    QString senha_;
    int porta_ = 0;
    qint64 pid_ = 0;
    int bancos_ = 0;
};

}  // namespace teste
