#include "CopiaServidor.h"

#include <QFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>

#include <sqlite3.h>

#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/DialetoBanco.h"
#include "platform/Platform.h"
#include "platform/TADOConnection.h"
#include "schema_embutido.h"

namespace {

// In the order that keeps every reference pointing at rows already there.
const char* const kTabelas[] = {"FILIAL",    "CAIXA",        "CLIENTE",      "CLIENFILIAL",
                                "TIPOCONS",  "CONSUMIDOR",   "SERVICO",      "SERVTURCAIXA",
                                "PRODUTO",   "PRODTURCAIXA", "PRODSERVTCON", "VENDA",
                                "ITEMVENDA", "CUPOMVENDA",   "NUMCAIXA"};

// Rows per statement: one bound text of some hundred kilobytes.
constexpr int kLote = 2000;

// The server's words, without whatever the connection string holds.
[[noreturn]] void falha(const QString& oQue, const QSqlQuery& q, platform::TADOConnection& c) {
    const QSqlError e = q.lastError();
    const QString texto = platform::TextoDaExcecao(
        std::make_exception_ptr(platform::DatabaseError(
            e.databaseText().isEmpty() ? e.driverText() : e.databaseText(), e.nativeErrorCode())),
        QString(), &c);
    throw std::runtime_error(QString(oQue + QStringLiteral(": ") + texto).toStdString());
}

void executa(QSqlQuery& q, const QString& sql, platform::TADOConnection& c) {
    if (!q.exec(sql)) falha(QStringLiteral("falha ao criar as tabelas"), q, c);
    q.finish();
}

// A JSON string: quotes, backslashes and control characters escaped; UTF-8 as it is.
void textoJson(QByteArray& out, const unsigned char* p, int n) {
    out += '"';
    for (int i = 0; i < n; ++i) {
        const unsigned char c = p[i];
        if (c == '"' || c == '\\') {
            out += '\\';
            out += char(c);
        } else if (c < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        } else {
            out += char(c);
        }
    }
    out += '"';
}

struct Finaliza {
    void operator()(sqlite3_stmt* st) const { sqlite3_finalize(st); }
};

}  // namespace

std::int64_t copiaParaServidor(const QString& arquivo, const QString& conexao) {
    sqlite3* origem = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(arquivo).constData(), &origem, SQLITE_OPEN_READONLY,
                        nullptr) != SQLITE_OK) {
        sqlite3_close(origem);
        throw std::runtime_error("não foi possível ler " + arquivo.toStdString());
    }
    std::unique_ptr<sqlite3, int (*)(sqlite3*)> fonte(origem, sqlite3_close);

    platform::TADOConnection destino;
    destino.setReadOnly(false);
    destino.setConnectionString(conexao);
    try {
        destino.setConnected(true);
    } catch (const std::exception&) {
        throw std::runtime_error(
            platform::TextoDaExcecao(std::current_exception(), QString(), &destino).toStdString());
    }
    if (destino.dialeto() != platform::Dialeto::Postgres)
        throw std::runtime_error(
            "--conexao preenche um banco PostgreSQL; para SQLite use --out ARQUIVO");

    QSqlQuery q(destino.database());
    if (!q.exec(QStringLiteral("SELECT to_regclass('CONSUMIDOR') IS NULL")) || !q.next())
        falha(QStringLiteral("falha ao ler o banco"), q, destino);
    const bool semTabelas = q.value(0).toBool();
    q.finish();
    if (semTabelas) {
        // The schema file's statements end each at a line ending in ";", outside a function's
        // $$-quoted body.
        QStringList linhas;
        bool corpo = false;
        for (const QString& l : QString::fromUtf8(kSchemaPostgresql).split(QLatin1Char('\n'))) {
            if (!corpo && l.trimmed().startsWith(QLatin1String("--"))) continue;
            linhas << l;
            if (l.count(QLatin1String("$$")) % 2) corpo = !corpo;
            if (corpo || !l.trimmed().endsWith(QLatin1Char(';'))) continue;
            executa(q, linhas.join(QLatin1Char('\n')), destino);
            linhas.clear();
        }
        if (!linhas.join(QString()).trimmed().isEmpty())
            executa(q, linhas.join(QLatin1Char('\n')), destino);
    }
    if (!q.exec(QStringLiteral("SELECT COUNT(*) FROM CONSUMIDOR")) || !q.next())
        falha(QStringLiteral("falha ao ler o banco"), q, destino);
    const qint64 consumidores = q.value(0).toLongLong();
    q.finish();
    if (consumidores > 0)
        throw std::runtime_error(
            "o banco já tem consumidores: a demonstração só preenche um banco vazio");

    std::int64_t linhas = 0;
    destino.BeginTrans();
    for (const char* tabela : kTabelas) {
        sqlite3_stmt* bruto = nullptr;
        const std::string sql = std::string("SELECT * FROM ") + tabela;
        if (sqlite3_prepare_v2(fonte.get(), sql.c_str(), -1, &bruto, nullptr) != SQLITE_OK)
            throw std::runtime_error(sqlite3_errmsg(fonte.get()));
        std::unique_ptr<sqlite3_stmt, Finaliza> st(bruto);
        const int n = sqlite3_column_count(st.get());
        std::vector<QByteArray> chaves;
        for (int c = 0; c < n; ++c)
            chaves.push_back('"' + QByteArray(sqlite3_column_name(st.get(), c)).toLower() + "\":");
        // The rows go as one bound JSON text per batch, which the server spreads into the
        // table's own columns and types.
        const QString insere = QStringLiteral(
                                   "INSERT INTO %1 SELECT * FROM json_populate_recordset("
                                   "NULL::%1, CAST(? AS json))")
                                   .arg(QLatin1String(tabela));
        QByteArray lote;
        int noLote = 0;
        const auto envia = [&] {
            if (noLote == 0) return;
            lote += ']';
            q.prepare(insere);
            q.addBindValue(QString::fromUtf8(lote));
            if (!q.exec())
                falha(QStringLiteral("falha ao copiar %1").arg(QLatin1String(tabela)), q, destino);
            q.finish();
            lote.clear();
            noLote = 0;
        };
        int rc;
        while ((rc = sqlite3_step(st.get())) == SQLITE_ROW) {
            lote += noLote == 0 ? '[' : ',';
            lote += '{';
            for (int c = 0; c < n; ++c) {
                if (c > 0) lote += ',';
                lote += chaves[std::size_t(c)];
                switch (sqlite3_column_type(st.get(), c)) {
                    case SQLITE_NULL:
                        lote += "null";
                        break;
                    case SQLITE_INTEGER:
                        lote += QByteArray::number(sqlite3_column_int64(st.get(), c));
                        break;
                    case SQLITE_FLOAT:
                        lote += QByteArray::number(sqlite3_column_double(st.get(), c), 'g', 17);
                        break;
                    default:
                        textoJson(lote, sqlite3_column_text(st.get(), c),
                                  sqlite3_column_bytes(st.get(), c));
                }
            }
            lote += '}';
            ++linhas;
            if (++noLote == kLote) envia();
        }
        if (rc != SQLITE_DONE) throw std::runtime_error(sqlite3_errmsg(fonte.get()));
        envia();
    }
    // The sale numbers the server gives next follow the demo's.
    if (!q.exec(QStringLiteral("SELECT setval(pg_get_serial_sequence('VENDA', 'nrseqvenda'),"
                               " COALESCE(MAX(NRSEQVENDA), 0) + 1, false) FROM VENDA")))
        falha(QStringLiteral("falha ao acertar a numeração das vendas"), q, destino);
    q.finish();
    destino.CommitTrans();
    // Statistics and the visibility map, so that the lists read from their indexes alone.
    if (!q.exec(QStringLiteral("VACUUM ANALYZE")))
        falha(QStringLiteral("falha no VACUUM"), q, destino);
    q.finish();
    return linhas;
}
