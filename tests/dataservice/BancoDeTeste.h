#pragma once

// A small canteen database for the data-service tests, on one of the three ways the module
// reaches a database: SQLite through Qt's driver, SQLite through ODBC, and SQL Server (only
// when LISTAPRESENCA_TEST_MSSQL holds a connection string).

#include <QDateTime>
#include <QSqlDatabase>
#include <QString>
#include <QVariantList>

#include <memory>

enum class Via { Sqlite, OdbcSqlite, SqlServer };

class BancoDeTeste {
public:
    explicit BancoDeTeste(Via via);
    ~BancoDeTeste();

    // Empty when usable; otherwise why this way cannot run here.
    QString indisponivel() const { return indisponivel_; }
    // The text _GetStringConexZor should return for the module to reach this database.
    QString conexao() const { return conexao_; }
    bool ehSqlite() const { return via_ != Via::SqlServer; }

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
