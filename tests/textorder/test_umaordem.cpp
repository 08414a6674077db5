// One list of names, three orders that must be the same: the grid's index, the database's
// ORDER BY ... COLLATE PTBR and the pick list's matches.
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>

#include <gtest/gtest.h>

#include <sqlite3.h>

#include "dataset/ClientDataSet.h"
#include "dataset/DataSetModel.h"
#include "pos/touch/PickListFilter.h"
#include "textorder/ColacaoPtBr.h"

namespace {

// Accents, cedilla, both cases, and names that begin other names.
const char* const kEmOrdem[] = {"alvaro", "Álvaro",  "ÁLVARO",  "ana",     "Ana",       "Ana Lúcia",
                                "Ângela", "Antônio", "ANTÔNIO", "Cecília", "Conceição", "CONCEIÇÃO",
                                "erica",  "Érica",   "ÉRICA",   "Icaro",   "Ícaro",     "Joao",
                                "João",   "JOÃO",    "Luis",    "Luís",    "Luísa",     "Oscar",
                                "Óscar",  "Úrsula",  "Zé"};

QStringList esperado() {
    QStringList r;
    for (const char* n : kEmOrdem) r << QString::fromUtf8(n);
    return r;
}

// The same names, in an order that is none of the above.
QStringList embaralhado() {
    QStringList r = esperado();
    for (qsizetype i = 0; i < r.size(); ++i) r.swapItemsAt(i, (i * 7 + 3) % r.size());
    return r;
}

QStringList doIndice(const QStringList& nomes) {
    dataset::ClientDataSet ds;
    ds.setFieldDefs({dataset::FieldDef::text(QStringLiteral("NMCONSUMIDOR"), 50)});
    ds.createDataSet();
    for (const QString& n : nomes) {
        ds.append();
        ds.field(0).setAsString(n);
        ds.post();
    }
    ds.setIndexFieldNames(QStringLiteral("NMCONSUMIDOR"));
    QStringList r;
    for (ds.first(); !ds.eof(); ds.next()) r << ds.field(0).asString();
    return r;
}

QStringList doBanco(const QStringList& nomes) {
    QStringList r;
    {
        QSqlDatabase db =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("ordem"));
        db.setDatabaseName(QStringLiteral(":memory:"));
        if (!db.open()) {
            ADD_FAILURE() << db.lastError().text().toStdString();
            return r;
        }
        textorder::registraPtBr(*static_cast<sqlite3* const*>(db.driver()->handle().constData()));
        QSqlQuery q(db);
        // Through the index that lists a cost centre, as the attendance query reads it.
        EXPECT_TRUE(q.exec(QStringLiteral("CREATE TABLE C (NM TEXT)")));
        EXPECT_TRUE(q.exec(QStringLiteral("CREATE INDEX IX ON C (NM COLLATE PTBR)")));
        q.prepare(QStringLiteral("INSERT INTO C VALUES (?)"));
        for (const QString& n : nomes) {
            q.addBindValue(n);
            EXPECT_TRUE(q.exec()) << q.lastError().text().toStdString();
        }
        EXPECT_TRUE(q.exec(QStringLiteral("SELECT NM FROM C ORDER BY NM COLLATE PTBR")));
        while (q.next()) r << q.value(0).toString();
        EXPECT_TRUE(q.exec(QStringLiteral("PRAGMA integrity_check")) && q.next() &&
                    q.value(0).toString() == QStringLiteral("ok"));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("ordem"));
    return r;
}

QStringList daPesquisa(const QStringList& nomes, const QString& digitado) {
    dataset::ClientDataSet ds;
    ds.setFieldDefs({dataset::FieldDef::text(QStringLiteral("NMCONSUMIDOR"), 50)});
    ds.createDataSet();
    for (const QString& n : nomes) {
        ds.append();
        ds.field(0).setAsString(n);
        ds.post();
    }
    dataset::DataSetModel modelo(&ds);
    Hul00002::detail::PickListFilter filtro;
    filtro.setSourceModel(&modelo);
    filtro.setTextoPesquisa(digitado);
    filtro.sort(0);
    QStringList r;
    for (int i = 0; i < filtro.rowCount(); ++i) r << filtro.index(i, 0).data().toString();
    return r;
}

TEST(UmaOrdem, IndexDatabaseAndSearchSortNamesAlike) {
    const QStringList nomes = embaralhado();
    ASSERT_NE(nomes, esperado());
    EXPECT_EQ(doIndice(nomes), esperado());
    EXPECT_EQ(doBanco(nomes), esperado());
    EXPECT_EQ(daPesquisa(nomes, QString()), esperado());

    // Typed without accents, in another case: the matches, in the same order.
    QStringList comA = esperado();
    for (const char* semA : {"Luis", "Luís", "Zé"}) comA.removeOne(QString::fromUtf8(semA));
    EXPECT_EQ(daPesquisa(nomes, QStringLiteral("A")), comA);
    EXPECT_EQ(
        daPesquisa(nomes, QStringLiteral("lúis")),
        (QStringList{QStringLiteral("Luis"), QStringLiteral("Luís"), QStringLiteral("Luísa")}));
    EXPECT_EQ(daPesquisa(nomes, QStringLiteral("conceicao")),
              (QStringList{QStringLiteral("Conceição"), QStringLiteral("CONCEIÇÃO")}));
}

}  // namespace
