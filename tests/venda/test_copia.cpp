#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <functional>
#include <thread>

#include "common/TillFiles.h"
#include "platform/Platform.h"
#include "platform/TADOConnection.h"
#include "pos/sale/TillCopy.h"
#include "pos/sale/TillCopyRefresh.h"
#include "venda/Cantina.h"

using namespace Hul00002;

namespace {

// An empty copy on a read-write connection; the file has to exist before the connect.
std::unique_ptr<platform::TADOConnection> emptyCopy(const QString& path) {
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    auto c = std::make_unique<platform::TADOConnection>();
    c->setReadOnly(false);
    c->setConnectionString(path);
    c->setConnected(true);
    return c;
}

}  // namespace

TEST(TillCopy, ACopyKnowsWhatItIsOfAndNumbersItsOwnSalesAboveAnyServers) {
    QTemporaryDir dir;
    auto c = emptyCopy(dir.filePath(QStringLiteral("copia.db")));
    const QDateTime when(QDate(2026, 12, 9), QTime(11, 42));
    createTillCopy(*c, {QStringLiteral("0001"), QStringLiteral("001"),
                        serverDigest(QStringLiteral("Driver=x;Server=s;PWD=segredo")), when});

    const auto info = readTillCopyInfo(*c);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->branch, QStringLiteral("0001"));
    EXPECT_EQ(info->till, QStringLiteral("001"));
    EXPECT_EQ(info->takenAt, when);
    // The digest leaves the password out, so a changed password is still the same server.
    EXPECT_EQ(info->server, serverDigest(QStringLiteral("Driver=x;Server=s;PWD=outra")));
    EXPECT_NE(info->server, serverDigest(QStringLiteral("Driver=x;Server=t;PWD=segredo")));

    QSqlQuery q(c->database());
    ASSERT_TRUE(q.exec(QStringLiteral(
        "INSERT INTO VENDA (CDFILIAL, CDCAIXA, CDSERVFILI, CDCONSUMIDOR, DTHRREALCONCONS,"
        " DTENTRVENDA) VALUES ('0001', '001', '01', 'X', '2026-12-09', '2026-12-09')")));
    EXPECT_EQ(q.lastInsertId().toLongLong(), kOutboxFirstSale);
    // A file of the till's tables that is no copy is told apart.
    ASSERT_TRUE(q.exec(QStringLiteral("DELETE FROM COPIA")));
    EXPECT_FALSE(readTillCopyInfo(*c));
}

// ---------------------------------------------------------------- keeping the copy fresh

namespace {

// A server sale of the canteen: consumer, till, day and the sale's own number.
QString vendaDoServidor(const QString& consumidor, const QString& caixa, const QString& dia,
                        int numero) {
    return QStringLiteral(
               "INSERT INTO VENDA (CDFILIAL, CDCAIXA, CDSERVFILI, CDCONSUMIDOR, DTHRREALCONCONS,"
               " DTENTRVENDA, IDSITUVENDA, DTCONSUMO, NRVENDA) VALUES ('0001', '%2', '00002', "
               "'%1', '%3 11:40:00', '%3 00:00:00', 'O', '%3', %4)")
        .arg(consumidor, caixa, dia)
        .arg(numero);
}

// The canteen's SQLite file as the till's server, and the copy beside it.
class CopyRefresh : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        relogio_ = platform::SetClock([] { return QDateTime(QDate(2026, 3, 16), QTime(12, 0)); });
        cantina_ = std::make_unique<teste::Cantina>(dir_.path(), 5);
        copia_ = dir_.filePath(QStringLiteral("copia.db"));
    }
    void TearDown() override {
        cantina_.reset();
        platform::SetClock(relogio_);
    }
    QString servidor() const { return cantina_->arquivo(); }
    QVariant naCopia(const QString& sql, const QString& arquivo = {}) const {
        QVariant v;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"),
                                                        QStringLiteral("copia-do-teste"));
            db.setDatabaseName(arquivo.isEmpty() ? copia_ : arquivo);
            EXPECT_TRUE(db.open());
            QSqlQuery q(db);
            EXPECT_TRUE(q.exec(sql)) << q.lastError().text().toStdString();
            if (q.next()) v = q.value(0);
        }
        QSqlDatabase::removeDatabase(QStringLiteral("copia-do-teste"));
        return v;
    }
    int conta(const QString& sql) const { return naCopia(sql).toInt(); }
    QStringList postasDeLado() const {
        return QDir(dir_.path()).entryList({QStringLiteral("copia-posta-de-lado-*.db")});
    }

    QTemporaryDir dir_{teste::ModeloPasta()};
    std::unique_ptr<teste::Cantina> cantina_;
    QString copia_;
    platform::Clock relogio_;
};

TEST_F(CopyRefresh, HoldsTheTillsRowsAndRecentSalesAndKeepsWhatTheTillSoldOnItsOwn) {
    cantina_->exec(vendaDoServidor(QStringLiteral("C01"), QStringLiteral("001"),
                                   QStringLiteral("2026-03-16"), 1));
    cantina_->exec(vendaDoServidor(QStringLiteral("C02"), QStringLiteral("001"),
                                   QStringLiteral("2026-03-01"), 2));  // too old
    cantina_->exec(vendaDoServidor(QStringLiteral("C03"), QStringLiteral("002"),
                                   QStringLiteral("2026-03-16"), 1));  // another till's
    cantina_->exec(QStringLiteral("INSERT INTO NUMCAIXA VALUES ('0001', '001', 2, 9)"));
    const TillCopyRefreshResult first =
        refreshTillCopy(servidor(), QStringLiteral("0001"), QStringLiteral("001"), copia_);
    EXPECT_TRUE(first.setAsidePath.isEmpty());
    EXPECT_EQ(checkTillCopy(copia_, QStringLiteral("0001"), QStringLiteral("001"),
                            serverDigest(servidor()))
                  .state,
              TillCopyState::Valid);
    EXPECT_EQ(conta(QStringLiteral("SELECT COUNT(*) FROM CONSUMIDOR")), 5);
    EXPECT_EQ(conta(QStringLiteral("SELECT COUNT(*) FROM SERVTURCAIXA WHERE CDCAIXA <> '001'")), 0);
    EXPECT_EQ(naCopia(QStringLiteral("SELECT GROUP_CONCAT(CDCONSUMIDOR) FROM VENDA")).toString(),
              QStringLiteral("C01"));

    // Offline, the till sold C02 and C04 on the copy; one catch-up left a conflict; its
    // numbering ran ahead of the server's sales while the server's receipts ran ahead of it.
    teste::makeSqlite(
        copia_, {vendaDoServidor(QStringLiteral("C02"), QStringLiteral("001"),
                                 QStringLiteral("2026-03-16"), 3),
                 QStringLiteral("INSERT INTO ITEMVENDA VALUES (%1, 1, 'ALMOCO', 1, 22.9, 22.9)")
                     .arg(kOutboxFirstSale),
                 QStringLiteral("INSERT INTO CUPOMVENDA VALUES (%1, '0001', '001', 10, "
                                "'2026-03-16 11:40:00', 'cupom', 'S')")
                     .arg(kOutboxFirstSale),
                 vendaDoServidor(QStringLiteral("C04"), QStringLiteral("001"),
                                 QStringLiteral("2026-03-16"), 4),
                 QStringLiteral("INSERT INTO CONFLITO (NRSEQVENDA, CDFILIAL, CDCAIXA, CDSERVFILI, "
                                "CDCONSUMIDOR, DSMOTIVO, DTHRCONFLITO) VALUES (7, '0001', '001', "
                                "'00002', 'C05', 'já vendido', '2026-03-16 12:00:00')"),
                 QStringLiteral("UPDATE NUMCAIXA SET NRULTVENDA = 4, NRULTCUPOM = 5")});
    // Meanwhile another hand sold C02 on the server, and C03 bought at this till.
    cantina_->exec(vendaDoServidor(QStringLiteral("C02"), QStringLiteral("001"),
                                   QStringLiteral("2026-03-16"), 5));
    cantina_->exec(vendaDoServidor(QStringLiteral("C03"), QStringLiteral("001"),
                                   QStringLiteral("2026-03-16"), 6));
    cantina_->exec(QStringLiteral("UPDATE NUMCAIXA SET NRULTVENDA = 3, NRULTCUPOM = 12"));

    const TillCopyRefreshResult second =
        refreshTillCopy(servidor(), QStringLiteral("0001"), QStringLiteral("001"), copia_);
    EXPECT_EQ(second.skippedSales, 1);  // the server's C02 meets the till's own
    EXPECT_EQ(naCopia(QStringLiteral("SELECT GROUP_CONCAT(CDCONSUMIDOR || ':' || "
                                     "(NRSEQVENDA >= %1), ',') FROM (SELECT * FROM VENDA "
                                     "ORDER BY CDCONSUMIDOR)")
                          .arg(kOutboxFirstSale))
                  .toString(),
              QStringLiteral("C01:0,C02:1,C03:0,C04:1"));
    EXPECT_EQ(conta(QStringLiteral("SELECT COUNT(*) FROM ITEMVENDA WHERE NRSEQVENDA = %1")
                        .arg(kOutboxFirstSale)),
              1);
    EXPECT_EQ(conta(QStringLiteral("SELECT COUNT(*) FROM CUPOMVENDA WHERE NRSEQVENDA = %1")
                        .arg(kOutboxFirstSale)),
              1);
    EXPECT_EQ(conta(QStringLiteral("SELECT COUNT(*) FROM CONFLITO")), 1);
    // Column by column, the larger: neither side's numbers ever go back.
    EXPECT_EQ(
        naCopia(QStringLiteral("SELECT NRULTVENDA || '/' || NRULTCUPOM FROM NUMCAIXA")).toString(),
        QStringLiteral("4/12"));
}

TEST_F(CopyRefresh, ACopyThatIsDamagedForeignOrOfAnotherServerIsSetAsideWholeAndMadeAgain) {
    const QString outroServidor = dir_.filePath(QStringLiteral("outro.db"));
    ASSERT_TRUE(QFile::copy(servidor(), outroServidor));
    struct Caso {
        const char* nome;
        std::function<void()> prepara;
        TillCopyState estado;
    };
    const QList<Caso> casos = {
        {"damaged", [&] { teste::writeTillFile(copia_, QByteArray(4096, 'x')); },
         TillCopyState::Damaged},
        {"no copy", [&] { teste::makeSqlite(copia_, {QStringLiteral("CREATE TABLE VENDA (X)")}); },
         TillCopyState::NotACopy},
        {"another till",
         [&] {
             refreshTillCopy(servidor(), QStringLiteral("0001"), QStringLiteral("002"), copia_);
         },
         TillCopyState::OtherTill},
        {"another server",
         [&] {
             refreshTillCopy(outroServidor, QStringLiteral("0001"), QStringLiteral("001"), copia_);
         },
         TillCopyState::OtherServer},
    };
    for (const Caso& caso : casos) {
        SCOPED_TRACE(caso.nome);
        for (const QString& f : postasDeLado()) QFile::remove(dir_.filePath(f));
        QFile::remove(copia_);
        caso.prepara();
        QFile f(copia_);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const QByteArray antes = f.readAll();
        f.close();
        EXPECT_EQ(checkTillCopy(copia_, QStringLiteral("0001"), QStringLiteral("001"),
                                serverDigest(servidor()))
                      .state,
                  caso.estado);

        const TillCopyRefreshResult r =
            refreshTillCopy(servidor(), QStringLiteral("0001"), QStringLiteral("001"), copia_);
        ASSERT_EQ(postasDeLado().size(), 1);
        EXPECT_EQ(QFileInfo(r.setAsidePath).fileName(), postasDeLado().first());
        QFile aside(r.setAsidePath);
        ASSERT_TRUE(aside.open(QIODevice::ReadOnly));
        EXPECT_EQ(aside.readAll(), antes);  // moved as it was, never rewritten
        EXPECT_EQ(checkTillCopy(copia_, QStringLiteral("0001"), QStringLiteral("001"),
                                serverDigest(servidor()))
                      .state,
                  TillCopyState::Valid);
    }
}

TEST_F(CopyRefresh, TheJobSendsTheTillsSalesFirstThenRefreshesOffTheCallersThread) {
    qputenv("LISTAPRESENCA_COPIA", copia_.toUtf8());
    QStringList passos;
    std::thread::id onde;
    setCatchUpStep([&](const QString& server, const QString& copyPath) {
        onde = std::this_thread::get_id();
        passos << QStringLiteral("envio:%1:%2").arg(server == servidor()).arg(copyPath == copia_)
               << QStringLiteral("copia:%1").arg(QFileInfo::exists(copyPath));
    });
    startTillSync(servidor(), QStringLiteral("0001"), QStringLiteral("001"));
    EXPECT_TRUE(waitForTillSync(30000));
    setCatchUpStep(nullptr);
    qunsetenv("LISTAPRESENCA_COPIA");
    EXPECT_EQ(passos, (QStringList{QStringLiteral("envio:1:1"), QStringLiteral("copia:0")}));
    EXPECT_NE(onde, std::this_thread::get_id());
    EXPECT_EQ(conta(QStringLiteral("SELECT COUNT(*) FROM CONSUMIDOR")), 5);
}

}  // namespace
