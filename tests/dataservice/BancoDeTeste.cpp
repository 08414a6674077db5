#include "dataservice/BancoDeTeste.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QUuid>

#include <sqlite3.h>

#include <stdexcept>

#include "platform/TADOConnection.h"
#include "postgres/ClusterPostgres.h"
#include "textorder/ColacaoPtBr.h"

namespace {

QString leArquivo(const QString& nome) {
    QFile f(QStringLiteral(DB_DIR "/") + nome);
    if (!f.open(QIODevice::ReadOnly)) throw std::runtime_error("schema not found");
    return QString::fromUtf8(f.readAll());
}

bool temDriverOdbcSqlite() {
    QFile f(QStringLiteral("/etc/odbcinst.ini"));
    return f.open(QIODevice::ReadOnly) && f.readAll().contains("[SQLite3]");
}

const char* const kTabelas[] = {"NUMCAIXA",     "CUPOMVENDA",   "ITEMVENDA", "VENDA",
                                "PRODSERVTCON", "PRODTURCAIXA", "PRODUTO",   "SERVTURCAIXA",
                                "SERVICO",      "CONSUMIDOR",   "TIPOCONS",  "CLIENFILIAL",
                                "CLIENTE",      "CAIXA",        "FILIAL"};

// Left in a SQL Server database while these tests own its canteen tables.
const char* const kMarca = "LISTAPRESENCA_TESTE";

}  // namespace

BancoDeTeste::BancoDeTeste(Via via) : via_(via) {
    nome_ = QStringLiteral("teste-") + QUuid::createUuid().toString(QUuid::Id128);
    if (ehPostgres()) {
        teste::ClusterPostgres& pg = teste::ClusterPostgres::instancia();
        indisponivel_ = pg.indisponivel();
        if (indisponivel_.isEmpty())
            indisponivel_ = via == Via::PostgresOdbc ? pg.semOdbc() : pg.semQPsql();
        if (!teste::ClusterPostgres::pula(indisponivel_).isEmpty()) return;
        banco_ = pg.novoBanco();
        conexao_ = via == Via::PostgresOdbc ? pg.odbc(banco_) : pg.url(banco_);
        senha_ = pg.senha();
        pg.conecta(banco_, nome_);
        return;
    }
    if (via == Via::SqlServer) {
        conexao_ = qEnvironmentVariable("LISTAPRESENCA_TEST_MSSQL");
        if (conexao_.isEmpty()) {
            indisponivel_ = QStringLiteral(
                "LISTAPRESENCA_TEST_MSSQL is not set: no SQL Server to run the suite against");
            return;
        }
        const platform::ConnectionSettings cfg = platform::ConnectionSettings::parse(conexao_);
        QSqlDatabase db = QSqlDatabase::addDatabase(cfg.driver, nome_);
        db.setDatabaseName(cfg.databaseName);
        db.setConnectOptions(cfg.connectOptions);
        if (!db.open()) throw std::runtime_error(db.lastError().text().toStdString());
        // The suite drops and recreates the canteen tables: never in a database that holds
        // them without the mark these tests leave, which may well be a till's.
        QSqlQuery q(db);
        QStringList nomes;
        for (const char* t : kTabelas) nomes << QStringLiteral("'%1'").arg(QLatin1String(t));
        const bool vazio =
            q.exec(QStringLiteral("SELECT CASE WHEN OBJECT_ID('%1') IS NOT NULL THEN 0 ELSE"
                                  " (SELECT COUNT(*) FROM sys.tables WHERE name IN (%2)) END")
                       .arg(QLatin1String(kMarca), nomes.join(QLatin1Char(',')))) &&
            q.next() && q.value(0).toInt() == 0;
        q.finish();
        if (!vazio)
            indisponivel_ = QStringLiteral(
                "the database of LISTAPRESENCA_TEST_MSSQL holds canteen tables these tests did not"
                " make; point it at an empty database");
        return;
    }
    if (via == Via::OdbcSqlite && !temDriverOdbcSqlite()) {
        indisponivel_ = QStringLiteral("the SQLite ODBC driver (libsqliteodbc) is not installed");
        return;
    }
    arquivo_ = QDir::temp().filePath(nome_ + QStringLiteral(".db"));
    // PWD is no SQLite setting; it is there to prove that no message ever shows it.
    senha_ = QStringLiteral("Segredo#123");
    conexao_ = via == Via::Sqlite
                   ? arquivo_
                   : QStringLiteral("Driver=SQLite3;Database=%1;PWD=Segredo#123").arg(arquivo_);
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), nome_);
    db.setDatabaseName(arquivo_);
    if (!db.open()) throw std::runtime_error(db.lastError().text().toStdString());
    auto* h = *static_cast<sqlite3* const*>(db.driver()->handle().constData());
    textorder::registraPtBr(h);
}

BancoDeTeste::~BancoDeTeste() {
    if (QSqlDatabase::contains(nome_)) {
        {
            QSqlDatabase db = QSqlDatabase::database(nome_, false);
            if (via_ == Via::SqlServer && db.isOpen() && indisponivel_.isEmpty()) {
                for (const char* t : kTabelas)
                    QSqlQuery(db).exec(QStringLiteral("DROP TABLE %1").arg(QLatin1String(t)));
                QSqlQuery(db).exec(QStringLiteral("DROP TABLE %1").arg(QLatin1String(kMarca)));
            }
            db.close();
        }
        QSqlDatabase::removeDatabase(nome_);
    }
    if (!arquivo_.isEmpty()) QFile::remove(arquivo_);
}

void BancoDeTeste::exec(const QString& sql) {
    QSqlQuery q(QSqlDatabase::database(nome_));
    if (!q.exec(sql)) throw std::runtime_error(q.lastError().text().toStdString());
}

void BancoDeTeste::cria() {
    if (ehPostgres()) {
        teste::ClusterPostgres::instancia().criaEsquema(banco_);
        return;
    }
    if (via_ == Via::SqlServer) {
        exec(QStringLiteral("IF OBJECT_ID('%1') IS NULL CREATE TABLE %1 (X INT)")
                 .arg(QLatin1String(kMarca)));
        for (const char* t : kTabelas)
            QSqlQuery(QSqlDatabase::database(nome_))
                .exec(QStringLiteral("IF OBJECT_ID('%1') IS NOT NULL DROP TABLE %1")
                          .arg(QLatin1String(t)));
        static const QRegularExpression go(QStringLiteral("^GO\\s*$"),
                                           QRegularExpression::MultilineOption);
        for (const QString& lote : leArquivo(QStringLiteral("schema_sqlserver.sql")).split(go))
            if (!lote.trimmed().isEmpty()) exec(lote);
        return;
    }
    QSqlDatabase db = QSqlDatabase::database(nome_);
    auto* h = *static_cast<sqlite3* const*>(db.driver()->handle().constData());
    for (const char* f : {"schema_sqlite.sql", "schema_sqlite_ptbr.sql"}) {
        const QByteArray sql = leArquivo(QString::fromLatin1(f)).toUtf8();
        if (sqlite3_exec(h, sql.constData(), nullptr, nullptr, nullptr) != SQLITE_OK)
            throw std::runtime_error(sqlite3_errmsg(h));
    }
}

void BancoDeTeste::insere(const char* tabela, const QVariantList& valores) {
    QStringList marcas;
    for (qsizetype i = 0; i < valores.size(); ++i) marcas << QStringLiteral("?");
    QSqlQuery q(QSqlDatabase::database(nome_));
    q.prepare(QStringLiteral("INSERT INTO %1 VALUES (%2)")
                  .arg(QLatin1String(tabela), marcas.join(QStringLiteral(", "))));
    for (const QVariant& v : valores) q.addBindValue(v);
    if (!q.exec()) throw std::runtime_error(q.lastError().text().toStdString());
}

void BancoDeTeste::venda(const QString& filial, const QString& caixa, const QString& serv,
                         const QString& consumidor, const QDateTime& quando,
                         const QString& situacao) {
    QSqlQuery q(QSqlDatabase::database(nome_));
    q.prepare(QStringLiteral(
        "INSERT INTO VENDA (CDFILIAL, CDCAIXA, CDSERVFILI, CDCONSUMIDOR, DTHRREALCONCONS,"
        " DTENTRVENDA, IDSITUVENDA) VALUES (?, ?, ?, ?, ?, ?, ?)"));
    const QDateTime dia(quando.date(), QTime(0, 0));
    const auto dh = [this](const QDateTime& d) {
        return ehSqlite() ? QVariant(d.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")))
                          : QVariant(d);
    };
    for (const QVariant& v : {QVariant(filial), QVariant(caixa), QVariant(serv),
                              QVariant(consumidor), dh(quando), dh(dia), QVariant(situacao)})
        q.addBindValue(v);
    if (!q.exec()) throw std::runtime_error(q.lastError().text().toStdString());
}

QString BancoDeTeste::conexaoOdbc() const {
    if (ehPostgres()) return teste::ClusterPostgres::instancia().odbc(banco_);
    return QStringLiteral("Driver=SQLite3;Database=%1;PWD=%2").arg(arquivo_, senha_);
}

int BancoDeTeste::derrubaSessoes() {
    return teste::ClusterPostgres::instancia().derrubaSessoes(banco_,
                                                              QCoreApplication::applicationName());
}

int BancoDeTeste::conta(const char* tabela) {
    QSqlQuery q(QSqlDatabase::database(nome_));
    q.exec(QStringLiteral("SELECT COUNT(*) FROM %1").arg(QLatin1String(tabela)));
    return q.next() ? q.value(0).toInt() : -1;
}

ConexaoDoTeste::ConexaoDoTeste(const QString& conexao)
    : anterior_(qgetenv("LISTAPRESENCA_CONEXAO")),
      tinha_(qEnvironmentVariableIsSet("LISTAPRESENCA_CONEXAO")) {
    qputenv("LISTAPRESENCA_CONEXAO", conexao.toUtf8());
}

ConexaoDoTeste::~ConexaoDoTeste() {
    if (tinha_)
        qputenv("LISTAPRESENCA_CONEXAO", anterior_);
    else
        qunsetenv("LISTAPRESENCA_CONEXAO");
}
