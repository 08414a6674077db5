#include <gtest/gtest.h>

#include <QFile>
#include <QSqlQuery>
#include <QTemporaryDir>

#include "platform/TADOConnection.h"
#include "pos/sale/TillCopy.h"

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
