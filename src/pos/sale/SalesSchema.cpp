#include "pos/sale/SalesSchema.h"

#include <QSqlError>
#include <QStringList>

#include "platform/Platform.h"
#include "platform/TADOConnection.h"
#include "platform/Transacao.h"
#include "pos/sale/Statement.h"

namespace Hul00002 {

namespace {

// clang-format off

// Every valid sale gets its day, except a second valid sale of one consumer for one service
// on one day that an earlier version let through: it keeps its row but stays outside the rule.
const char* const kPreencheDia =
    "UPDATE VENDA SET DTCONSUMO = substr(DTHRREALCONCONS, 1, 10)\n"
    " WHERE DTCONSUMO IS NULL\n"
    "   AND NOT (IDSITUVENDA = 'O' AND EXISTS (\n"
    "        SELECT 1 FROM VENDA V\n"
    "         WHERE V.CDCONSUMIDOR = VENDA.CDCONSUMIDOR\n"
    "           AND V.CDFILIAL     = VENDA.CDFILIAL\n"
    "           AND V.CDCAIXA      = VENDA.CDCAIXA\n"
    "           AND V.CDSERVFILI   = VENDA.CDSERVFILI\n"
    "           AND V.IDSITUVENDA  = 'O'\n"
    "           AND V.DTHRREALCONCONS >= substr(VENDA.DTHRREALCONCONS, 1, 10)\n"
    "           AND V.DTHRREALCONCONS <  date(substr(VENDA.DTHRREALCONCONS, 1, 10), '+1 day')\n"
    "           AND V.NRSEQVENDA < VENDA.NRSEQVENDA))";

const char* const kObjetosNovos[] = {
    "CREATE TABLE IF NOT EXISTS CUPOMVENDA (\n"
    "  NRSEQVENDA      INTEGER     NOT NULL PRIMARY KEY,\n"
    "  CDFILIAL        VARCHAR(4)  NOT NULL,\n"
    "  CDCAIXA         VARCHAR(3)  NOT NULL,\n"
    "  NRCUPOM         INTEGER     NOT NULL,\n"
    "  DTEMISCUPOM     DATETIME    NOT NULL,\n"
    "  TXCUPOM         TEXT        NOT NULL,\n"
    "  IDIMPRESSO      CHAR(1)     NOT NULL DEFAULT 'N'\n"
    ")",
    "CREATE UNIQUE INDEX IF NOT EXISTS UX_CUPOMVENDA_NUMERO ON CUPOMVENDA (CDFILIAL, CDCAIXA, NRCUPOM)",
    "CREATE TABLE IF NOT EXISTS NUMCAIXA (\n"
    "  CDFILIAL        VARCHAR(4)  NOT NULL,\n"
    "  CDCAIXA         VARCHAR(3)  NOT NULL,\n"
    "  NRULTVENDA      INTEGER     NOT NULL DEFAULT 0,\n"
    "  NRULTCUPOM      INTEGER     NOT NULL DEFAULT 0,\n"
    "  PRIMARY KEY (CDFILIAL, CDCAIXA)\n"
    ")",
    ("CREATE UNIQUE INDEX IF NOT EXISTS UX_VENDA_CONSUMO\n"
     "  ON VENDA (CDFILIAL, CDCAIXA, CDSERVFILI, CDCONSUMIDOR, DTCONSUMO) WHERE IDSITUVENDA = 'O'"),
    "CREATE UNIQUE INDEX IF NOT EXISTS UX_VENDA_NUMERO ON VENDA (CDFILIAL, CDCAIXA, NRVENDA)",
};

// Version 2: the till's closings of a day.
const char* const kFechamentos[] = {
    "CREATE TABLE IF NOT EXISTS FECHACAIXA (\n"
    "  CDFILIAL        VARCHAR(4)  NOT NULL,\n"
    "  CDCAIXA         VARCHAR(3)  NOT NULL,\n"
    "  NRFECHAMENTO    INTEGER     NOT NULL,\n"
    "  DTMOVIMENTO     VARCHAR(10) NOT NULL,\n"
    "  DTHRFECHAMENTO  DATETIME    NOT NULL,\n"
    "  QTVENDAS        INTEGER     NOT NULL DEFAULT 0,\n"
    "  VRTOTAL         NUMERIC(12,2) NOT NULL DEFAULT 0,\n"
    "  NRCUPOMINI      INTEGER,\n"
    "  NRCUPOMFIM      INTEGER,\n"
    "  TXFECHAMENTO    TEXT        NOT NULL,\n"
    "  PRIMARY KEY (CDFILIAL, CDCAIXA, NRFECHAMENTO)\n"
    ")",
    "CREATE UNIQUE INDEX IF NOT EXISTS UX_FECHACAIXA_DIA ON FECHACAIXA (CDFILIAL, CDCAIXA, DTMOVIMENTO)",
};

const char* const kConfereServidor =
    "SELECT CASE WHEN COL_LENGTH('VENDA', 'DTCONSUMO') IS NULL\n"
    "              OR COL_LENGTH('VENDA', 'NRVENDA') IS NULL\n"
    "              OR OBJECT_ID('CUPOMVENDA') IS NULL\n"
    "              OR OBJECT_ID('NUMCAIXA') IS NULL\n"
    "              OR OBJECT_ID('FECHACAIXA') IS NULL\n"
    "              OR INDEXPROPERTY(OBJECT_ID('FECHACAIXA'), 'UX_FECHACAIXA_DIA', 'IsUnique') IS NULL\n"
    "              OR INDEXPROPERTY(OBJECT_ID('VENDA'), 'UX_VENDA_CONSUMO', 'IsUnique') IS NULL\n"
    "            THEN 0 ELSE 1 END";

const char* const kConferePostgres =
    "SELECT CASE WHEN to_regclass('CUPOMVENDA') IS NULL\n"
    "              OR to_regclass('NUMCAIXA') IS NULL\n"
    "              OR to_regclass('FECHACAIXA') IS NULL\n"
    "              OR to_regclass('UX_VENDA_CONSUMO') IS NULL\n"
    "              OR to_regclass('UX_FECHACAIXA_DIA') IS NULL\n"
    "              OR (SELECT COUNT(*) FROM information_schema.columns\n"
    "                   WHERE table_schema = current_schema() AND table_name = 'venda'\n"
    "                     AND column_name IN ('dtconsumo', 'nrvenda')) < 2\n"
    "            THEN 0 ELSE 1 END";

// clang-format on

[[noreturn]] void falha(const Statement& s, const QString& oque) {
    raiseDatabaseError(s.lastError(), oque);
}

// Every statement, DDL included, runs with the connection's deadline.
void executa(platform::TADOConnection& c, const QString& sql) {
    Statement s(c, sql);
    if (!s.tryRun({}))
        falha(s, QStringLiteral("Falha ao atualizar as tabelas de venda do banco de dados"));
}

QVariant umValor(platform::TADOConnection& c, const QString& sql) {
    Statement s(c, sql);
    if (!s.tryRun({})) falha(s, QStringLiteral("Falha ao ler a versão do banco de dados"));
    return s.next() ? s.value(0) : QVariant();
}

int versao(platform::TADOConnection& c) {
    return umValor(c, QStringLiteral("PRAGMA user_version")).toInt();
}

QStringList colunas(platform::TADOConnection& c, const QString& tabela) {
    QStringList r;
    Statement s(c, QStringLiteral("PRAGMA table_info(%1)").arg(tabela));
    if (!s.tryRun({})) falha(s, QStringLiteral("Falha ao ler as colunas de %1").arg(tabela));
    while (s.next()) r << s.value(1).toString().toUpper();
    return r;
}

void atualizaSqlite(platform::TADOConnection& conexao) {
    if (versao(conexao) < kSalesSchemaVersion) {
        platform::Transacao t(conexao);
        // Another process may have done it while this one waited for the lock.
        const int atual = versao(conexao);
        if (atual < 1) {
            const QStringList venda = colunas(conexao, QStringLiteral("VENDA"));
            if (venda.isEmpty())
                throw platform::Error(
                    QStringLiteral("O banco de dados não tem a tabela de vendas (VENDA)."));
            const struct {
                const char* nome;
                const char* tipo;
            } novas[] = {{"NRCUPOMFISCAL", "VARCHAR(10)"},
                         {"DTCONSUMO", "VARCHAR(10)"},
                         {"NRVENDA", "INTEGER"}};
            for (const auto& c : novas)
                if (!venda.contains(QLatin1String(c.nome)))
                    executa(conexao, QStringLiteral("ALTER TABLE VENDA ADD COLUMN %1 %2")
                                         .arg(QLatin1String(c.nome), QLatin1String(c.tipo)));
            executa(conexao, QString::fromUtf8(kPreencheDia));
            for (const char* sql : kObjetosNovos) executa(conexao, QString::fromUtf8(sql));
        }
        if (atual < 2)
            for (const char* sql : kFechamentos) executa(conexao, QString::fromUtf8(sql));
        if (atual < kSalesSchemaVersion)
            executa(conexao, QStringLiteral("PRAGMA user_version = %1").arg(kSalesSchemaVersion));
        t.commit();
    }
    // One flush per sale instead of several; readers keep reading while a sale is written.
    // Another connection in the middle of a read may keep the old mode for now: that is slower
    // but just as safe, and the next run tries again.
    if (umValor(conexao, QStringLiteral("PRAGMA journal_mode"))
            .toString()
            .compare(QLatin1String("wal"), Qt::CaseInsensitive) != 0)
        Statement(conexao, QStringLiteral("PRAGMA journal_mode = WAL")).tryRun({});
}

}  // namespace

void ensureSalesSchema(platform::TADOConnection& conexao) {
    if (conexao.dialeto() == platform::Dialeto::Postgres) {
        if (umValor(conexao, QString::fromUtf8(kConferePostgres)).toInt() != 1)
            throw platform::Error(QStringLiteral(
                "O banco de dados não tem as tabelas de venda desta versão (VENDA.DTCONSUMO, "
                "CUPOMVENDA, NUMCAIXA, FECHACAIXA); crie-as como em db/schema_postgresql.sql."));
        return;
    }
    if (conexao.isSqlServer()) {
        if (umValor(conexao, QString::fromUtf8(kConfereServidor)).toInt() != 1)
            throw platform::Error(QStringLiteral(
                "O banco de dados não tem as tabelas de venda desta versão (VENDA.DTCONSUMO, "
                "CUPOMVENDA, NUMCAIXA, FECHACAIXA); crie-as como em db/schema_sqlserver.sql."));
        return;
    }
    atualizaSqlite(conexao);
}

}  // namespace Hul00002
