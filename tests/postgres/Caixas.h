#pragma once

// The canteen on the test server that the programs against a real PostgreSQL share.

#include <QDate>
#include <QFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <stdexcept>

#include "dataset/DataPacket.h"
#include "dataset/PacketFile.h"
#include "platform/TADOConnection.h"
#include "pos/sale/HandOver.h"
#include "pos/sale/TillCopy.h"
#include "postgres/ClusterPostgres.h"

namespace teste {

inline const QDate kDia(2026, 3, 16);

inline const char* const kCadastro[] = {
    "INSERT INTO FILIAL VALUES ('0001', 'Unidade Teste')",
    "INSERT INTO CAIXA VALUES ('0001', '001', 'Refeitório')",
    "INSERT INTO CLIENTE VALUES ('CL1', 'Colégio')",
    "INSERT INTO CLIENFILIAL VALUES ('0001', 'CL1')",
    "INSERT INTO TIPOCONS VALUES ('01', 'Integral')",
    "INSERT INTO SERVICO VALUES ('00002', 'Almoço')",
    "INSERT INTO SERVTURCAIXA VALUES ('0001', '001', '00002', '1100', '1400', 'N')",
    "INSERT INTO PRODUTO VALUES ('ALMOCO', 'Almoço executivo', 22.9)",
    "INSERT INTO PRODUTO VALUES ('SUCO', 'Suco', 4.5)",
    "INSERT INTO PRODTURCAIXA VALUES ('0001', '001', '00002', 'ALMOCO')",
    "INSERT INTO PRODTURCAIXA VALUES ('0001', '001', '00002', 'SUCO')",
};

inline QString consumidor(int i) {
    return QStringLiteral("C%1").arg(i, 2, 10, QLatin1Char('0'));
}

// A canteen on the test server: till 001 of branch 0001 serves lunch (00002, 11:00-14:00) to
// consumers C01..Cn of cost centre TURMA.
class Caixas : public testing::Test {
protected:
    void SetUp() override {
        ClusterPostgres& pg = ClusterPostgres::instancia();
        QString por = pg.indisponivel();
        if (por.isEmpty()) por = ClusterPostgres::semOdbc();
        if (!ClusterPostgres::pula(por).isEmpty()) GTEST_SKIP() << por.toStdString();
        ASSERT_TRUE(pasta_.isValid());
    }
    void TearDown() override {
        if (QSqlDatabase::contains(QStringLiteral("caixas"))) {
            QSqlDatabase::database(QStringLiteral("caixas"), false).close();
            QSqlDatabase::removeDatabase(QStringLiteral("caixas"));
        }
    }

    // A new database with the canteen and `n` consumers; its ODBC connection string.
    QString cantina(int n) {
        ClusterPostgres& pg = ClusterPostgres::instancia();
        TearDown();
        banco_ = pg.novoBanco();
        pg.criaEsquema(banco_);
        for (const char* sql : kCadastro) exec(QString::fromUtf8(sql));
        for (int i = 1; i <= n; ++i)
            exec(QStringLiteral("INSERT INTO CONSUMIDOR VALUES ('%1', 'CL1', 'CR%1', 'Aluno %1',"
                                " '1', 'TURMA', '01')")
                     .arg(consumidor(i)));
        return pg.odbc(banco_);
    }

    // The hand-over of consumers `de`..`ate` (or those listed) at lunch at till `caixa`, as a
    // packet file.
    QString entrega(int de, int ate, const QString& caixa = QStringLiteral("001")) {
        QList<int> quais;
        for (int i = de; i <= ate; ++i) quais << i;
        return entrega(quais, caixa);
    }
    QString entrega(const QList<int>& quais, const QString& caixa = QStringLiteral("001")) {
        QList<Hul00002::HandOverRecord> r;
        for (int i : quais)
            r << Hul00002::HandOverRecord{QStringLiteral("0001"),
                                          caixa,
                                          QStringLiteral("CR") + consumidor(i),
                                          consumidor(i),
                                          QStringLiteral("Aluno ") + consumidor(i),
                                          QStringLiteral("CL1"),
                                          QStringLiteral("01"),
                                          kDia,
                                          QStringLiteral("1215"),
                                          {},
                                          {}};
        const dataset::DataPacket pacote = Hul00002::buildHandOver(r);
        const QString arquivo =
            pasta_.filePath(QStringLiteral("entrega-%1-%2.cds").arg(caixa).arg(++entregas_));
        QFile f(arquivo);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(dataset::writeBinaryPacket(pacote));
        return arquivo;
    }

    QSqlDatabase db() {
        return ClusterPostgres::instancia().conecta(banco_, QStringLiteral("caixas"));
    }
    void exec(const QString& sql) {
        QSqlQuery q(db());
        if (!q.exec(sql)) throw std::runtime_error(q.lastError().text().toStdString());
    }
    QStringList coluna(const QString& sql) {
        QSqlQuery q(db());
        if (!q.exec(sql)) throw std::runtime_error(q.lastError().text().toStdString());
        QStringList r;
        while (q.next()) r << q.value(0).toString();
        return r;
    }
    int conta(const QString& sql) { return coluna(sql).value(0).toInt(); }

    // Every sale whole (items, receipt, a total that is its items'), the till's receipt and
    // sale numbers 1..n without gaps, one sale per consumer. Returns n.
    int confereInteiras() {
        const int n = conta(QStringLiteral("SELECT COUNT(*) FROM VENDA"));
        EXPECT_EQ(conta(QStringLiteral(
                      "SELECT COUNT(*) FROM VENDA V WHERE NOT EXISTS (SELECT 1 FROM ITEMVENDA I"
                      " WHERE I.NRSEQVENDA = V.NRSEQVENDA) OR NOT EXISTS (SELECT 1 FROM"
                      " CUPOMVENDA C WHERE C.NRSEQVENDA = V.NRSEQVENDA) OR VRVENDA <> (SELECT"
                      " SUM(VRTOTAL) FROM ITEMVENDA I WHERE I.NRSEQVENDA = V.NRSEQVENDA)")),
                  0)
            << "a sale without items or receipt, or with another total";
        EXPECT_EQ(conta(QStringLiteral(
                      "SELECT (SELECT COUNT(*) FROM ITEMVENDA I WHERE NOT EXISTS (SELECT 1 FROM"
                      " VENDA V WHERE V.NRSEQVENDA = I.NRSEQVENDA)) + (SELECT COUNT(*) FROM"
                      " CUPOMVENDA C WHERE NOT EXISTS (SELECT 1 FROM VENDA V WHERE V.NRSEQVENDA"
                      " = C.NRSEQVENDA))")),
                  0)
            << "items or a receipt of a sale that is not there";
        EXPECT_EQ(conta(QStringLiteral(
                      "SELECT COUNT(*) FROM VENDA V JOIN CUPOMVENDA C ON C.NRSEQVENDA ="
                      " V.NRSEQVENDA WHERE V.NRCUPOMFISCAL <> lpad(C.NRCUPOM::text, 6, '0') OR"
                      " position('Nº ' || V.NRCUPOMFISCAL IN C.TXCUPOM) = 0 OR"
                      " position('Venda: ' || V.NRVENDA || E'\\n' IN C.TXCUPOM) = 0")),
                  0)
            << "a receipt that prints other numbers than its sale's";
        QStringList numeros;
        for (int i = 1; i <= n; ++i) numeros << QString::number(i);
        EXPECT_EQ(coluna(QStringLiteral("SELECT NRCUPOM FROM CUPOMVENDA ORDER BY NRCUPOM")),
                  numeros);
        EXPECT_EQ(coluna(QStringLiteral("SELECT NRVENDA FROM VENDA ORDER BY NRVENDA")), numeros);
        EXPECT_EQ(conta(QStringLiteral("SELECT COUNT(DISTINCT CDCONSUMIDOR) FROM VENDA")), n);
        if (n > 0) {
            EXPECT_EQ(conta(QStringLiteral("SELECT NRULTCUPOM FROM NUMCAIXA")), n);
        }
        return n;
    }

    // Till `caixa`'s copy of the test server as a refresh makes it (the server holds one branch:
    // every row of its tables), a copy of `servidor`; its path.
    QString copiaDoCaixa(const QString& caixa, const QString& servidor) {
        const QString arquivo = pasta_.filePath(QStringLiteral("copia-%1.db").arg(caixa));
        QFile::remove(arquivo);
        QFile(arquivo).open(QIODevice::WriteOnly);
        platform::TADOConnection c;
        c.setReadOnly(false);
        c.setConnectionString(arquivo);
        c.setConnected(true);
        Hul00002::createTillCopy(c,
                                 {QStringLiteral("0001"), caixa, Hul00002::serverDigest(servidor),
                                  QDateTime(kDia, QTime(11, 42))});
        for (const char* tabela :
             {"FILIAL", "CAIXA", "CLIENTE", "CLIENFILIAL", "TIPOCONS", "SERVICO", "SERVTURCAIXA",
              "PRODUTO", "PRODTURCAIXA", "PRODSERVTCON", "CONSUMIDOR", "VENDA", "ITEMVENDA",
              "CUPOMVENDA", "NUMCAIXA", "FECHACAIXA"}) {
            QSqlQuery q(db());
            if (!q.exec(QStringLiteral("SELECT * FROM ") + QLatin1String(tabela)))
                throw std::runtime_error(q.lastError().text().toStdString());
            while (q.next()) {
                const QSqlRecord r = q.record();
                QStringList colunas, marcas;
                for (int i = 0; i < r.count(); ++i)
                    colunas << r.fieldName(i), marcas << QStringLiteral("?");
                QSqlQuery ins(c.database());
                ins.prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                .arg(QLatin1String(tabela), colunas.join(QLatin1Char(',')),
                                     marcas.join(QLatin1Char(','))));
                for (int i = 0; i < r.count(); ++i) {
                    const QVariant v = r.value(i);
                    if (v.metaType().id() == QMetaType::QDateTime)
                        ins.addBindValue(
                            v.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
                    else if (v.metaType().id() == QMetaType::QDate)
                        ins.addBindValue(v.toDate().toString(Qt::ISODate));
                    else
                        ins.addBindValue(v);
                }
                if (!ins.exec()) throw std::runtime_error(ins.lastError().text().toStdString());
            }
        }
        return arquivo;
    }

    QTemporaryDir pasta_;
    QString banco_;
    int entregas_ = 0;
};

}  // namespace teste
