#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include <gtest/gtest.h>

#include "dataset/ClientDataSet.h"
#include "dataset/Provider.h"

using namespace dataset;

namespace {

struct Provider : ::testing::Test {
    QSqlDatabase db;
    void SetUp() override {
        db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("provider_test"));
        db.setDatabaseName(QStringLiteral(":memory:"));
        ASSERT_TRUE(db.open());
        QSqlQuery q(db);
        ASSERT_TRUE(
            q.exec(QStringLiteral("CREATE TABLE C (CDCONSUMIDOR VARCHAR(21), NMCONSUMIDOR "
                                  "VARCHAR(50), NRIDADE INTEGER)")));
        ASSERT_TRUE(
            q.exec(QStringLiteral("INSERT INTO C VALUES ('1', 'Ângela', 10), ('2', NULL, 11), "
                                  "('3', '', NULL)")));
    }
    void TearDown() override {
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("provider_test"));
    }
};

}  // namespace

TEST_F(Provider, ReadsEveryRowAndFinishesTheQuery) {
    QSqlQuery q(db);
    q.setForwardOnly(true);
    ASSERT_TRUE(q.exec(QStringLiteral("SELECT * FROM C ORDER BY CDCONSUMIDOR")))
        << q.lastError().text().toStdString();
    const DataPacket p = packetFromQuery(q);
    EXPECT_FALSE(q.isActive());
    ASSERT_EQ(p.rowCount(), 3);
    ASSERT_EQ(p.fields().size(), 3);
    EXPECT_EQ(p.text(0, 1), QStringLiteral("Ângela"));
    EXPECT_TRUE(p.isNull(1, 1));
    EXPECT_FALSE(p.isNull(2, 1));  // empty text stays distinct from NULL
    EXPECT_TRUE(p.isNull(2, 2));
    ClientDataSet ds;
    ds.setData(toVariant(p));
    ds.last();
    EXPECT_EQ(ds.fieldByName(QStringLiteral("NRIDADE")).asInteger(), 0);
    ds.first();
    EXPECT_EQ(ds.fieldByName(QStringLiteral("NRIDADE")).asInteger(), 10);
}

TEST_F(Provider, PersistentFieldsFixColumnsAndTypes) {
    QSqlQuery q(db);
    ASSERT_TRUE(q.exec(QStringLiteral("SELECT NRIDADE, NMCONSUMIDOR FROM C")));
    FieldDef idade;
    idade.name = QStringLiteral("nridade");
    idade.type = FieldType::String;
    const DataPacket p =
        packetFromQuery(q, {FieldDef::text(QStringLiteral("NMCONSUMIDOR"), 3), idade});
    EXPECT_EQ(p.fields()[0].name, QStringLiteral("NMCONSUMIDOR"));
    EXPECT_EQ(p.text(0, 1), QStringLiteral("10"));

    QSqlQuery q2(db);
    ASSERT_TRUE(q2.exec(QStringLiteral("SELECT NRIDADE FROM C")));
    EXPECT_THROW(packetFromQuery(q2, {FieldDef::text(QStringLiteral("NMCONSUMIDOR"), 3)}),
                 DataSetError);
    QSqlQuery closed(db);
    EXPECT_THROW(packetFromQuery(closed), DataSetError);
}

TEST_F(Provider, AFetchFailingHalfwayRaisesInsteadOfGivingTheRowsSoFar) {
    QSqlQuery q(db);
    q.setForwardOnly(true);
    // abs() of the smallest integer overflows; only the second row reaches it (the first one's
    // sum overflows into a float), so SQLite fails while fetching, not at exec.
    ASSERT_TRUE(q.exec(QStringLiteral(
        "SELECT CDCONSUMIDOR, abs(NRIDADE - 11 - 9223372036854775807 - 1) AS X FROM C")))
        << qPrintable(q.lastError().text());
    EXPECT_THROW(packetFromQuery(q), DataSetError);
    EXPECT_FALSE(q.isActive());
}
