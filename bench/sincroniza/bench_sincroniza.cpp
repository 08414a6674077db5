// bench_sincroniza [--vendas N] [--conexao CONNECTION]
// Times the catch-up of a till's outbox of N sales (default 2000) made by the generator on its
// copy, sent to PostgreSQL: through the PostgreSQL ODBC driver, as tills connect, and through
// Qt's own driver when it is there. Without --conexao it runs on a throwaway server of its own
// (PostgreSQL's programs needed); a given database must hold db/schema_postgresql.sql and no
// canteen yet. Prints sales per second (goal: 300).
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <cstdio>

#include "dataset/DataPacket.h"
#include "platform/TADOConnection.h"
#include "pos/sale/CatchUp.h"
#include "pos/sale/HandOver.h"
#include "pos/sale/SaleGenerator.h"
#include "pos/sale/TillCopy.h"
#include "postgres/ClusterPostgres.h"

namespace {

const QDate kDia(2026, 3, 16);

const char* const kCadastro[] = {
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

bool cadastra(QSqlDatabase db, int n) {
    QSqlQuery q(db);
    db.transaction();
    for (const char* s : kCadastro)
        if (!q.exec(QString::fromUtf8(s)))
            return std::fprintf(stderr, "%s\n", qPrintable(q.lastError().text())), false;
    q.prepare(QStringLiteral("INSERT INTO CONSUMIDOR VALUES (?, 'CL1', ?, ?, '1', 'TURMA', '01')"));
    for (int i = 1; i <= n; ++i) {
        const QString c = QStringLiteral("C%1").arg(i, 5, 10, QLatin1Char('0'));
        q.addBindValue(c);
        q.addBindValue(QString(QStringLiteral("CR") + c));
        q.addBindValue(QString(QStringLiteral("Aluno ") + c));
        if (!q.exec()) return std::fprintf(stderr, "%s\n", qPrintable(q.lastError().text())), false;
    }
    return db.commit();
}

// A copy of `servidor` whose outbox holds `n` sales; its path.
QString copiaComVendas(const QTemporaryDir& pasta, const QString& servidor, int n, int vez) {
    const QString arquivo = pasta.filePath(QStringLiteral("copia-%1.db").arg(vez));
    QFile(arquivo).open(QIODevice::WriteOnly);
    {
        platform::TADOConnection c;
        c.setReadOnly(false);
        c.setConnectionString(arquivo);
        c.setConnected(true);
        Hul00002::createTillCopy(
            c, {QStringLiteral("0001"), QStringLiteral("001"), Hul00002::serverDigest(servidor),
                QDateTime::currentDateTime()});
        if (!cadastra(c.database(), n)) return {};
    }
    QList<Hul00002::HandOverRecord> r;
    for (int i = 1; i <= n; ++i) {
        const QString c = QStringLiteral("C%1").arg(i, 5, 10, QLatin1Char('0'));
        r << Hul00002::HandOverRecord{QStringLiteral("0001"),
                                      QStringLiteral("001"),
                                      QStringLiteral("CR") + c,
                                      c,
                                      QStringLiteral("Aluno ") + c,
                                      QStringLiteral("CL1"),
                                      QStringLiteral("01"),
                                      kDia,
                                      QStringLiteral("1215"),
                                      {},
                                      {}};
    }
    Hul00002::SaleGeneratorOptions op;
    op.connectionString = arquivo;
    const Hul00002::SaleRun run =
        Hul00002::generateSales(dataset::toVariant(Hul00002::buildHandOver(r)), op);
    if (run.count(Hul00002::SaleStatus::Sold) != n) return {};
    return arquivo;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    int n = 2000;
    QString dada;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); ++i) {
        if (args.at(i) == QLatin1String("--vendas"))
            n = args.at(++i).toInt();
        else if (args.at(i) == QLatin1String("--conexao"))
            dada = args.at(++i);
    }
    QTemporaryDir pasta;
    QList<std::pair<QString, QString>> caminhos;  // name, connection string
    if (!dada.isEmpty()) {
        caminhos << std::pair{QStringLiteral("dada"), dada};
    } else {
        teste::ClusterPostgres& pg = teste::ClusterPostgres::instancia();
        if (!pg.indisponivel().isEmpty()) {
            std::fprintf(stderr, "bench_sincroniza: %s\n", qPrintable(pg.indisponivel()));
            return 1;
        }
        for (const char* via : {"ODBC", "QPSQL"}) {
            if (QLatin1String(via) == QLatin1String("QPSQL") &&
                !teste::ClusterPostgres::semQPsql().isEmpty())
                continue;
            const QString banco = pg.novoBanco();
            pg.criaEsquema(banco);
            caminhos << std::pair{
                QString::fromLatin1(via),
                QLatin1String(via) == QLatin1String("ODBC") ? pg.odbc(banco) : pg.url(banco)};
        }
    }
    int vez = 0;
    for (const auto& [nome, servidor] : caminhos) {
        {
            platform::TADOConnection s;
            s.setReadOnly(false);
            s.setConnectionString(servidor);
            s.setConnected(true);
            if (!cadastra(s.database(), n)) return 1;
        }
        const QString copia = copiaComVendas(pasta, servidor, n, ++vez);
        if (copia.isEmpty()) return 1;
        QElapsedTimer t;
        t.start();
        const Hul00002::CatchUpResult r = Hul00002::catchUp(servidor, copia);
        const double s = double(t.nsecsElapsed()) / 1e9;
        const int enviadas = r.count(Hul00002::CatchUpLine::Kind::Sent);
        std::printf(
            "catch-up via %s: %d of %d sales sent in %.3f s = %.0f sales/s (goal >= 300)%s\n",
            qPrintable(nome), enviadas, n, s, enviadas / s,
            r.complete() ? "" : qPrintable(QStringLiteral(" - stopped: ") + r.failure));
    }
    if (dada.isEmpty()) teste::ClusterPostgres::instancia().para();
    return 0;
}
