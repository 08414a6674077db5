#include "venda/Cantina.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>

#include <gtest/gtest.h>

#include <sqlite3.h>

#include <stdexcept>

#include "pos/sale/HandOver.h"

namespace teste {

namespace {

void sqliteExec(const QString& arquivo, const QByteArray& sql) {
    sqlite3* db = nullptr;
    if (sqlite3_open(QFile::encodeName(arquivo).constData(), &db) != SQLITE_OK)
        throw std::runtime_error("cannot create the test database");
    char* erro = nullptr;
    const int rc = sqlite3_exec(db, sql.constData(), nullptr, nullptr, &erro);
    const std::string msg = erro ? erro : "";
    sqlite3_free(erro);
    sqlite3_close(db);
    if (rc != SQLITE_OK) throw std::runtime_error(msg);
}

const char* const kCadastro = R"SQL(
INSERT INTO FILIAL VALUES ('0001', 'Unidade Teste');
INSERT INTO CAIXA VALUES ('0001', '001', 'Refeitório');
INSERT INTO CAIXA VALUES ('0001', '002', 'Cantina');
INSERT INTO CLIENTE VALUES ('CL1', 'Colégio');
INSERT INTO CLIENFILIAL VALUES ('0001', 'CL1');
INSERT INTO TIPOCONS VALUES ('01', 'Integral');
INSERT INTO TIPOCONS VALUES ('02', 'Meio período');
INSERT INTO TIPOCONS VALUES ('03', 'Visitante');
INSERT INTO SERVICO VALUES ('00001', 'Café da manhã');
INSERT INTO SERVICO VALUES ('00002', 'Almoço');
INSERT INTO SERVICO VALUES ('00003', 'Lanche');
INSERT INTO SERVICO VALUES ('00004', 'Ceia');
INSERT INTO SERVICO VALUES ('00009', 'Livre');
INSERT INTO SERVTURCAIXA VALUES ('0001', '001', '00001', '0630', '0900', 'S');
INSERT INTO SERVTURCAIXA VALUES ('0001', '001', '00002', '1100', '1400', 'N');
INSERT INTO SERVTURCAIXA VALUES ('0001', '001', '00003', '1400', '1600', 'N');
INSERT INTO SERVTURCAIXA VALUES ('0001', '001', '00004', '2200', '0130', 'N');
INSERT INTO SERVTURCAIXA VALUES ('0001', '002', '00002', '1100', '1400', 'N');
INSERT INTO SERVTURCAIXA VALUES ('0001', '002', '00009', '0000', '0000', 'N');
INSERT INTO PRODUTO VALUES ('CAFE', 'Café completo', 8.5);
INSERT INTO PRODUTO VALUES ('SUCO', 'Suco', 4.5);
INSERT INTO PRODUTO VALUES ('ALMOCO', 'Almoço executivo', 22.9);
INSERT INTO PRODUTO VALUES ('ALMOCOINF', 'Almoço infantil', 16.5);
INSERT INTO PRODUTO VALUES ('LANCHE', 'Lanche', 7);
INSERT INTO PRODUTO VALUES ('CEIA', 'Ceia', 9.5);
INSERT INTO PRODTURCAIXA VALUES ('0001', '001', '00001', 'CAFE');
INSERT INTO PRODTURCAIXA VALUES ('0001', '001', '00001', 'SUCO');
INSERT INTO PRODTURCAIXA VALUES ('0001', '001', '00003', 'LANCHE');
INSERT INTO PRODTURCAIXA VALUES ('0001', '001', '00004', 'CEIA');
INSERT INTO PRODTURCAIXA VALUES ('0001', '002', '00002', 'ALMOCO');
INSERT INTO PRODTURCAIXA VALUES ('0001', '002', '00009', 'LANCHE');
INSERT INTO PRODSERVTCON VALUES ('0001', '001', '00002', '01', 'ALMOCO');
INSERT INTO PRODSERVTCON VALUES ('0001', '001', '00002', '02', 'ALMOCOINF');
)SQL";

}  // namespace

QString ModeloPasta() {
    const QFileInfo shm(QStringLiteral("/dev/shm"));
    const QString base = shm.isDir() && shm.isWritable() ? shm.filePath() : QDir::tempPath();
    return base + QStringLiteral("/test_venda-XXXXXX");
}

QStringList Textos(std::initializer_list<const char*> t) {
    QStringList r;
    for (const char* s : t) r << QString::fromUtf8(s);
    return r;
}

QString Consumidor(int i) {
    return QStringLiteral("C%1").arg(i, 2, 10, QLatin1Char('0'));
}

Cantina::Cantina(const QString& pasta, int consumidores) {
    nome_ = QStringLiteral("cantina-") + QUuid::createUuid().toString(QUuid::Id128);
    arquivo_ = QDir(pasta).filePath(nome_ + QStringLiteral(".db"));
    QFile schema(QStringLiteral(DB_DIR "/schema_sqlite.sql"));
    if (!schema.open(QIODevice::ReadOnly)) throw std::runtime_error("schema not found");
    QByteArray sql = schema.readAll() + kCadastro;
    for (int i = 1; i <= consumidores; ++i)
        sql += QStringLiteral(
                   "INSERT INTO CONSUMIDOR VALUES ('%1', 'CL1', 'CR%1', 'Aluno %1', "
                   "'1', 'TURMA', '%2');\n")
                   .arg(Consumidor(i), i % 2 ? QStringLiteral("01") : QStringLiteral("02"))
                   .toUtf8();
    // As a till's database is once it has sold: readers and the writer do not wait on each
    // other.
    sql += "PRAGMA journal_mode = WAL;\n";
    sqliteExec(arquivo_, sql);
}

Cantina::~Cantina() {
    fecha();
}

void Cantina::fecha() {
    if (QSqlDatabase::contains(nome_)) {
        QSqlDatabase::database(nome_, false).close();
        QSqlDatabase::removeDatabase(nome_);
    }
}

void Cantina::exec(const QString& sql) {
    fecha();
    sqliteExec(arquivo_, sql.toUtf8());
}

QStringList Cantina::coluna(const QString& sql) {
    if (!QSqlDatabase::contains(nome_)) {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), nome_);
        db.setDatabaseName(arquivo_);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        if (!db.open()) throw std::runtime_error("cannot open the test database");
    }
    QSqlQuery q(QSqlDatabase::database(nome_));
    if (!q.exec(sql)) throw std::runtime_error(q.lastError().text().toStdString());
    QStringList r;
    while (q.next()) r << q.value(0).toString();
    return r;
}

QVariant Cantina::valor(const QString& sql) {
    const QStringList c = coluna(sql);
    return c.isEmpty() ? QVariant() : QVariant(c.first());
}

int Cantina::confereInteiras() {
    const int n = conta(QStringLiteral("SELECT COUNT(*) FROM VENDA"));
    EXPECT_EQ(conta(QStringLiteral("SELECT COUNT(*) FROM VENDA V WHERE NOT EXISTS (SELECT 1 FROM"
                                   " ITEMVENDA I WHERE I.NRSEQVENDA = V.NRSEQVENDA) OR NOT EXISTS"
                                   " (SELECT 1 FROM CUPOMVENDA C WHERE C.NRSEQVENDA ="
                                   " V.NRSEQVENDA)")),
              0)
        << "a sale without items or receipt";
    EXPECT_EQ(conta(QStringLiteral(
                  "SELECT (SELECT COUNT(*) FROM ITEMVENDA I WHERE NOT EXISTS (SELECT 1 FROM VENDA"
                  " V WHERE V.NRSEQVENDA = I.NRSEQVENDA)) + (SELECT COUNT(*) FROM CUPOMVENDA C"
                  " WHERE NOT EXISTS (SELECT 1 FROM VENDA V WHERE V.NRSEQVENDA = C.NRSEQVENDA))")),
              0)
        << "items or a receipt of a sale that is not there";
    EXPECT_EQ(conta(QStringLiteral("SELECT COUNT(*) FROM VENDA V WHERE VRVENDA <> (SELECT"
                                   " SUM(VRTOTAL) FROM ITEMVENDA I WHERE I.NRSEQVENDA ="
                                   " V.NRSEQVENDA)")),
              0)
        << "a total that is not its items'";
    QStringList numeros;
    for (int i = 1; i <= n; ++i) numeros << QString::number(i);
    EXPECT_EQ(coluna(QStringLiteral("SELECT NRCUPOM FROM CUPOMVENDA ORDER BY NRCUPOM")), numeros);
    EXPECT_EQ(coluna(QStringLiteral("SELECT NRVENDA FROM VENDA ORDER BY NRVENDA")), numeros);
    EXPECT_EQ(conta(QStringLiteral("SELECT COUNT(*) FROM VENDA V, CUPOMVENDA C WHERE"
                                   " C.NRSEQVENDA = V.NRSEQVENDA AND CAST(V.NRCUPOMFISCAL AS"
                                   " INTEGER) <> C.NRCUPOM")),
              0);
    if (n > 0) {
        EXPECT_EQ(conta(QStringLiteral("SELECT NRULTCUPOM FROM NUMCAIXA WHERE CDCAIXA = '001'")),
                  n);
    }
    return n;
}

QList<Registro> Almoco(int n) {
    QList<Registro> r;
    for (int i = 1; i <= n; ++i) r << Registro(Consumidor(i));
    return r;
}

dataset::DataPacket Entrega(const QList<Registro>& registros) {
    QList<Hul00002::HandOverRecord> entrega;
    for (const Registro& r : registros) {
        const int i = r.consumidor.mid(1).toInt();
        const QString tipo =
            !r.tipo.isEmpty() ? r.tipo : (i % 2 ? QStringLiteral("01") : QStringLiteral("02"));
        entrega << Hul00002::HandOverRecord{QStringLiteral("0001"),
                                            r.caixa,
                                            QStringLiteral("CR") + r.consumidor,
                                            r.consumidor,
                                            QStringLiteral("Aluno ") + r.consumidor,
                                            QStringLiteral("CL1"),
                                            tipo,
                                            r.dia,
                                            r.hora,
                                            {},
                                            {}};
    }
    return Hul00002::buildHandOver(entrega);
}

}  // namespace teste
