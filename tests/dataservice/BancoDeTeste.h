#pragma once

// A small canteen database for the data-service tests, on one of the ways the module reaches
// a database: SQLite through Qt's driver, SQLite through ODBC, SQL Server (only when
// LISTAPRESENCA_TEST_MSSQL holds a connection string), and PostgreSQL through ODBC and through
// Qt's driver (on the test program's own throwaway server, when PostgreSQL is installed).

#include <QDateTime>
#include <QSqlDatabase>
#include <QString>
#include <QVariantList>

#include <memory>

enum class Via { Sqlite, OdbcSqlite, SqlServer, PostgresOdbc, PostgresQt };

class BancoDeTeste {
public:
    explicit BancoDeTeste(Via via);
    ~BancoDeTeste();

    // Empty when usable; otherwise why this way cannot run here.
    QString indisponivel() const { return indisponivel_; }
    // The text _GetStringConexZor should return for the module to reach this database.
    QString conexao() const { return conexao_; }
    // The same database through its ODBC driver (SQLite's or PostgreSQL's).
    QString conexaoOdbc() const;
    bool ehSqlite() const { return via_ == Via::Sqlite || via_ == Via::OdbcSqlite; }
    bool ehPostgres() const { return via_ == Via::PostgresOdbc || via_ == Via::PostgresQt; }
    // The password in conexao(), which no message may show.
    QString senha() const { return senha_; }
    // PostgreSQL: ends the module's sessions as the server's administrator would; how many.
    int derrubaSessoes();

    void cria();  // schema, empty
    void insere(const char* tabela, const QVariantList& valores);
    void venda(const QString& filial, const QString& caixa, const QString& serv,
               const QString& consumidor, const QDateTime& quando, const QString& situacao);
    void exec(const QString& sql);
    int conta(const char* tabela);

private:
    Via via_;
    QString indisponivel_;
    QString conexao_;
    QString arquivo_;
    QString nome_;
    QString banco_;  // PostgreSQL's database
    QString senha_;
};

// Points the platform's connection string at `conexao` for as long as it lives.
class ConexaoDoTeste {
public:
    explicit ConexaoDoTeste(const QString& conexao);
    ~ConexaoDoTeste();

private:
    QByteArray anterior_;
    bool tinha_;
};
