#include <QLibrary>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>

#include <gtest/gtest.h>

#include <sqlite3.h>

#include <memory>

#include "dataset/ClientDataSet.h"
#include "dataset/Provider.h"
#include "dataset/SqliteHandle.h"

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
    sqlite3* handle() const {
        return *static_cast<sqlite3* const*>(db.driver()->handle().constData());
    }
    // The statement road: prepared here, read by the provider.
    DataPacket viaStatement(const char* sql, const FieldDefs& persistent = {}) {
        sqlite3_stmt* st = nullptr;
        EXPECT_EQ(sqlite3_prepare_v2(handle(), sql, -1, &st, nullptr), SQLITE_OK)
            << sqlite3_errmsg(handle());
        const std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> guard(st, &sqlite3_finalize);
        return packetFromStatement(st, persistent);
    }
    DataPacket viaQuery(const char* sql, const FieldDefs& persistent = {}) {
        QSqlQuery q(db);
        q.setForwardOnly(true);
        EXPECT_TRUE(q.exec(QString::fromUtf8(sql))) << q.lastError().text().toStdString();
        return packetFromQuery(q, persistent);
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

// The module's attendance query has persistent text fields: whichever road a result takes,
// the packet must be the same, texts decoded alike.
TEST_F(Provider, BothRoadsGiveTheSamePacketForPersistentTextFields) {
    QSqlQuery q(db);
    ASSERT_TRUE(q.exec(QStringLiteral("CREATE TABLE T (A VARCHAR(50), N INTEGER, R REAL)")));
    ASSERT_TRUE(q.exec(QString::fromUtf8(
        "INSERT INTO T VALUES ('plain', 1, 0.5), ('Ângela São João', -7, 2.25),"
        " ('Łukasz Nguyễn 😀 €', NULL, NULL), ('', 0, 1e300), (NULL, 9007199254740993, -0.1)")));
    const FieldDefs campos{FieldDef::text(QStringLiteral("a"), 50),
                           FieldDef::text(QStringLiteral("N"), 20),
                           FieldDef::text(QStringLiteral("R"), 30)};
    const char* sql = "SELECT R, N, A FROM T ORDER BY rowid";
    const DataPacket a = viaQuery(sql, campos), b = viaStatement(sql, campos);
    ASSERT_EQ(a.rowCount(), 5);
    ASSERT_EQ(b.rowCount(), 5);
    for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(a.fields()[c].name, b.fields()[c].name);
        EXPECT_EQ(a.fields()[c].size, b.fields()[c].size);
        for (int r = 0; r < 5; ++r) {
            EXPECT_EQ(a.isNull(r, c), b.isNull(r, c)) << r << "," << c;
            EXPECT_EQ(a.text(r, c), b.text(r, c)) << r << "," << c;
        }
    }
    EXPECT_EQ(b.text(2, 0), QString::fromUtf8("Łukasz Nguyễn 😀 €"));
    EXPECT_FALSE(b.isNull(3, 0));
    EXPECT_TRUE(b.isNull(4, 0));
    EXPECT_EQ(b.text(4, 1), QStringLiteral("9007199254740993"));
}

TEST_F(Provider, StatementRoadTypesColumnsByTheirDeclarationAndDecodesAnyText) {
    QSqlQuery q(db);
    ASSERT_TRUE(q.exec(QStringLiteral(
        "CREATE TABLE V (C CHAR(4), Q NUMERIC(12,3), F REAL, D DATETIME, B BLOB, X)")));
    ASSERT_TRUE(q.exec(QStringLiteral(
        "INSERT INTO V VALUES ('0001', 1.5, 2.5, '2024-03-15 12:30:00', X'00FF', 'x'),"
        " (NULL, NULL, NULL, '2024-03-15', NULL, 7)")));
    const DataPacket p = viaStatement("SELECT C, Q, F, D, B, X FROM V ORDER BY rowid");
    ASSERT_EQ(p.fields().size(), 6);
    EXPECT_EQ(p.fields()[0].type, FieldType::String);
    EXPECT_EQ(p.fields()[0].size, 4);
    EXPECT_EQ(p.fields()[1].type, FieldType::Bcd);
    EXPECT_EQ(p.fields()[2].type, FieldType::Float);
    EXPECT_EQ(p.fields()[3].type, FieldType::DateTime);
    EXPECT_EQ(p.fields()[4].type, FieldType::Blob);
    EXPECT_EQ(p.fields()[5].type, FieldType::String);
    const DataPacket alias = viaStatement("SELECT NMCONSUMIDOR AS NOME, NRIDADE FROM C");
    EXPECT_EQ(alias.fields()[0].size, 50);  // an alias keeps the column's declaration
    EXPECT_EQ(alias.fields()[1].type, FieldType::LargeInt);
    EXPECT_DOUBLE_EQ(p.value(0, 1).toDouble(), 1.5);
    EXPECT_EQ(p.value(0, 3).toDateTime(), QDateTime(QDate(2024, 3, 15), QTime(12, 30)));
    EXPECT_EQ(p.value(1, 3).toDateTime(), QDateTime(QDate(2024, 3, 15), QTime(0, 0)));
    EXPECT_EQ(p.value(0, 4).toByteArray(), QByteArray("\x00\xFF", 2));
    EXPECT_EQ(p.text(1, 5), QStringLiteral("7"));
    EXPECT_TRUE(p.isNull(1, 0));

    // Well formed or not, UTF-8 reads as Qt reads it; nothing is read past a value.
    for (const char* hex : {"C3A3", "E282AC", "F09F9880", "C0AF", "E282", "80", "EDA080",
                            "F4908080", "41E2", "41C3A342"}) {
        const QByteArray bytes = QByteArray::fromHex(hex);
        const QByteArray sql = "SELECT CAST(X'" + QByteArray(hex) + "' AS TEXT) AS T";
        const DataPacket t =
            viaStatement(sql.constData(), {FieldDef::text(QStringLiteral("T"), 0)});
        EXPECT_EQ(t.text(0, 0), QString::fromUtf8(bytes)) << hex;
    }
}

TEST_F(Provider, StatementRoadFailingHalfwayRaisesAndLeavesTheStatementReusable) {
    sqlite3_stmt* st = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(
                  handle(),
                  "SELECT CDCONSUMIDOR, abs(NRIDADE - ?1 - 9223372036854775807 - 1) AS X FROM C",
                  -1, &st, nullptr),
              SQLITE_OK);
    const std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> guard(st, &sqlite3_finalize);
    sqlite3_bind_int(st, 1, 11);
    try {
        packetFromStatement(st);
        ADD_FAILURE() << "no error";
    } catch (const DataSetError& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("overflow"))) << e.what();
    }
    sqlite3_bind_int(st, 1, -100);  // no row reaches the smallest integer now
    EXPECT_EQ(packetFromStatement(st).rowCount(), 3);
}

// Qt's handle is used only where Qt's SQLite is ours; a driver whose library carries its own
// copy (same functions, other state) is read through QSqlQuery instead.
TEST_F(Provider, SqliteHandleIsOursOnlyWhenTheDriverRunsOurSqlite) {
    EXPECT_TRUE(driverSharesOurSqlite(*db.driver()));
    EXPECT_EQ(sqliteHandle(db), handle());

    QLibrary alheio(QStringLiteral(DRIVER_ALHEIO));
    ASSERT_TRUE(alheio.load()) << qPrintable(alheio.errorString());
    using Cria = QSqlDriver* (*)();
    auto cria = reinterpret_cast<Cria>(alheio.resolve("criaDriverAlheio"));
    ASSERT_NE(cria, nullptr);
    const std::unique_ptr<QSqlDriver> outro(cria());
    EXPECT_FALSE(driverSharesOurSqlite(*outro));

    db.close();
    EXPECT_EQ(sqliteHandle(db), nullptr);
    EXPECT_EQ(sqliteHandle(QSqlDatabase()), nullptr);
}
