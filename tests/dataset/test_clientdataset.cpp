#include <QAbstractItemModelTester>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include "dataset/Attendance.h"
#include "dataset/ClientDataSet.h"
#include "dataset/DataSetModel.h"

using namespace dataset;
using testdata::attendancePacket;

namespace {

// 3 active without a sale, 1 inactive without, 1 inactive with a sale, 1 of an unknown situation.
std::vector<testdata::Consumer> sampleList() {
    return {{"10", "Bruno", "1", nullptr},     {"11", "Ângela", "1", nullptr},
            {"12", "carla", "1", nullptr},     {"13", "Álvaro", "2", nullptr},
            {"14", "Davi", "2", "05/03/2024"}, {"15", "Anderson", "3", nullptr},
            {"16", "Érica", "1", "05/03/2024"}};
}

int countWith(ClientDataSet& ds, const QString& filter) {
    ds.setFiltered(false);
    ds.setFilter(filter);
    ds.setFiltered(true);
    return ds.recordCount();
}

QStringList names(ClientDataSet& ds) {
    QStringList out;
    for (ds.first(); !ds.eof(); ds.next())
        out << ds.fieldByName(QStringLiteral("NMCONSUMIDOR")).asString();
    return out;
}

struct Presenca : ::testing::Test {
    ClientDataSet ds;
    void SetUp() override {
        ds.setObjectName(QStringLiteral("cdsPresenca"));
        FieldDefs defs = testdata::attendanceFields();
        defs[6].defaultValue = QStringLiteral("N");
        ds.setFieldDefs(defs);
        ds.setData(attendancePacket(sampleList()));
    }
};

}  // namespace

TEST_F(Presenca, CountersFollowTheThreeStepFilterChange) {
    EXPECT_EQ(countWith(ds, QStringLiteral("DTHRREALCONCONS IS NULL AND IDSITCONSUMI = '1'")), 3);
    EXPECT_EQ(countWith(ds, QStringLiteral("IDSITCONSUMI = '2'")), 2);
    EXPECT_EQ(countWith(ds, QStringLiteral("DTHRREALCONCONS IS NOT NULL")), 2);
    ds.setFiltered(false);
    EXPECT_EQ(ds.recordCount(), 7);
    EXPECT_EQ(ds.filter(), QStringLiteral("DTHRREALCONCONS IS NOT NULL"));
    // The pending view shows every row without a sale, inactive ones included.
    EXPECT_EQ(countWith(ds, QStringLiteral("DTHRREALCONCONS IS NULL")), 5);
}

TEST_F(Presenca, FilterKeywordsAreCaseInsensitiveAndTextIsNot) {
    EXPECT_EQ(countWith(ds, QStringLiteral("dthrrealconcons is not null and idsitconsumi = '2'")),
              1);
    EXPECT_EQ(countWith(ds, QStringLiteral("NMCONSUMIDOR = 'carla'")), 1);
    EXPECT_EQ(countWith(ds, QStringLiteral("NMCONSUMIDOR = 'Carla'")), 0);
    EXPECT_EQ(countWith(ds, QStringLiteral("NMCONSUMIDOR = 'it''s'")), 0);
}

TEST_F(Presenca, UnsupportedFilterTextsAreRejectedNamingTheText) {
    const char* bad[] = {"IDCHECK = S",  "IDCHECK <> 'S'",    "IDCHECK = 'S' OR IDCHECK = 'N'",
                         "IDCHECK IS",   "IDCHECK = 'S' AND", "A = 'x' AND B = 'y' AND C = 'z'",
                         "IDCHECK = 'S", "IS NULL",           "(IDCHECK = 'S')"};
    for (const char* text : bad) {
        try {
            ds.setFilter(QString::fromUtf8(text));
            ADD_FAILURE() << "accepted: " << text;
        } catch (const DataSetError& e) {
            EXPECT_TRUE(e.message().contains(QString::fromUtf8(text))) << e.what();
        }
    }
    // A rejected text leaves the previous filter in force.
    ds.setFilter(QStringLiteral("IDCHECK = 'S'"));
    EXPECT_THROW(ds.setFilter(QStringLiteral("IDCHECK == 'S'")), DataSetError);
    EXPECT_EQ(ds.filter(), QStringLiteral("IDCHECK = 'S'"));
}

TEST_F(Presenca, FilterOnAMissingFieldFailsWhenSwitchedOnAndLeavesTheListWhole) {
    ds.setFilter(QStringLiteral("NAOEXISTE = 'x'"));
    EXPECT_THROW(ds.setFiltered(true), DataSetError);
    EXPECT_FALSE(ds.filtered());
    EXPECT_EQ(ds.recordCount(), 7);
    ds.setFilter(QStringLiteral("IDSITCONSUMI = '2'"));
    ds.setFiltered(true);
    EXPECT_THROW(ds.setFilter(QStringLiteral("NAOEXISTE IS NULL")), DataSetError);
    EXPECT_FALSE(ds.filtered());
    EXPECT_EQ(ds.recordCount(), 7);
}

TEST_F(Presenca, IndexSortsAccentsWithTheirBaseLetterAndKeepsTiesInOrder) {
    ds.setIndexFieldNames(QStringLiteral("NMCONSUMIDOR"));
    EXPECT_EQ(names(ds), (QStringList{QStringLiteral("Álvaro"), QStringLiteral("Anderson"),
                                      QStringLiteral("Ângela"), QStringLiteral("Bruno"),
                                      QStringLiteral("carla"), QStringLiteral("Davi"),
                                      QStringLiteral("Érica")}));
    ds.setIndexFieldNames(QStringLiteral("IDSITCONSUMI"));
    EXPECT_EQ(names(ds).first(4), (QStringList{QStringLiteral("Bruno"), QStringLiteral("Ângela"),
                                               QStringLiteral("carla"), QStringLiteral("Érica")}));
    EXPECT_THROW(ds.setIndexFieldNames(QStringLiteral("NAOEXISTE")), DataSetError);
    EXPECT_EQ(ds.indexFieldNames(), QStringLiteral("IDSITCONSUMI"));
    ds.setIndexFieldNames(QString());
    EXPECT_EQ(names(ds).first(), QStringLiteral("Bruno"));
}

TEST_F(Presenca, IndexAndFilterCombineAndTheIndexSurvivesAReload) {
    ds.setIndexFieldNames(QStringLiteral("NMCONSUMIDOR"));
    countWith(ds, QStringLiteral("IDSITCONSUMI = '1'"));
    EXPECT_EQ(names(ds), (QStringList{QStringLiteral("Ângela"), QStringLiteral("Bruno"),
                                      QStringLiteral("carla"), QStringLiteral("Érica")}));
    ds.setData(attendancePacket({{"1", "Zé", "1", nullptr}, {"2", "Ana", "1", nullptr}}));
    EXPECT_EQ(names(ds), (QStringList{QStringLiteral("Ana"), QStringLiteral("Zé")}));
}

TEST_F(Presenca, MarkAllWalkKeepsTheBookmarkedRowCurrent) {
    ds.moveTo(3);
    const auto mark = ds.bookmark();
    for (ds.first(); !ds.eof(); ds.next()) {
        if (!ds.fieldByName(QStringLiteral("DTHRREALCONCONS")).asString().isEmpty()) continue;
        if (ds.fieldByName(QStringLiteral("IDSITCONSUMI")).asString() != QLatin1String("1"))
            continue;
        ds.edit();
        ds.fieldByName(QStringLiteral("IDCHECK")).setAsString(QStringLiteral("S"));
        ds.post();
    }
    ASSERT_TRUE(ds.bookmarkValid(mark));
    ds.gotoBookmark(mark);
    EXPECT_EQ(ds.recNo(), 3);
    EXPECT_EQ(countWith(ds, QStringLiteral("IDCHECK = 'S'")), 3);
}

TEST_F(Presenca, BookmarkOfAFilteredOutRowCannotBeReached) {
    ds.moveTo(5);  // Davi, inactive
    const auto b = ds.bookmark();
    countWith(ds, QStringLiteral("IDSITCONSUMI = '1'"));
    EXPECT_FALSE(ds.bookmarkValid(b));
    EXPECT_THROW(ds.gotoBookmark(b), DataSetError);
    ds.setFiltered(false);
    ds.gotoBookmark(b);
    EXPECT_EQ(ds.fieldByName(QStringLiteral("NMCONSUMIDOR")).asString(), QStringLiteral("Davi"));
}

TEST_F(Presenca, PostedEditLeavesAFilteredViewAndTheNextRowTakesItsPlace) {
    countWith(ds, QStringLiteral("IDCHECK = 'N'"));
    ds.first();
    ds.edit();
    ds.fieldByName(QStringLiteral("IDCHECK")).setAsString(QStringLiteral("S"));
    ds.post();
    EXPECT_EQ(ds.recordCount(), 6);
    EXPECT_EQ(ds.fieldByName(QStringLiteral("NMCONSUMIDOR")).asString(), QStringLiteral("Ângela"));
}

TEST_F(Presenca, TextIsCutToTheFieldSizeOnPostAndOnLoad) {
    ds.first();
    ds.edit();
    ds.fieldByName(QStringLiteral("IDCHECK")).setAsString(QStringLiteral("Sim"));
    ds.post();
    EXPECT_EQ(ds.fieldByName(QStringLiteral("IDCHECK")).asString(), QStringLiteral("S"));
    ds.setData(attendancePacket({{"123456789012345678901234", "X", "12", nullptr}}));
    EXPECT_EQ(ds.fieldByName(QStringLiteral("CDIDCONSUMID")).asString().size(), 21);
    EXPECT_EQ(ds.fieldByName(QStringLiteral("IDSITCONSUMI")).asString(), QStringLiteral("1"));
}

TEST_F(Presenca, CancelDiscardsTheEditAndInsertFillsDefaults) {
    ds.first();
    ds.edit();
    ds.fieldByName(QStringLiteral("NMCONSUMIDOR")).setAsString(QStringLiteral("Outro"));
    EXPECT_EQ(ds.fieldByName(QStringLiteral("NMCONSUMIDOR")).asString(), QStringLiteral("Outro"));
    ds.cancel();
    EXPECT_EQ(ds.fieldByName(QStringLiteral("NMCONSUMIDOR")).asString(), QStringLiteral("Bruno"));

    ds.moveTo(2);
    ds.insert();
    EXPECT_EQ(ds.state(), ClientDataSet::State::Insert);
    EXPECT_EQ(ds.fieldByName(QStringLiteral("IDCHECK")).asString(), QStringLiteral("N"));
    EXPECT_TRUE(ds.fieldByName(QStringLiteral("NMCONSUMIDOR")).isNull());
    ds.fieldByName(QStringLiteral("NMCONSUMIDOR")).setAsString(QStringLiteral("Novo"));
    ds.post();
    EXPECT_EQ(ds.recordCount(), 8);
    EXPECT_EQ(ds.recNo(), 2);
    EXPECT_EQ(names(ds).mid(0, 3), (QStringList{QStringLiteral("Bruno"), QStringLiteral("Novo"),
                                                QStringLiteral("Ângela")}));
}

TEST_F(Presenca, RecordsPostedIntoAnIndexedListSharedWithALivePacketTakeTheirPlace) {
    // Sized exactly, so that a read past the packet's rows leaves its buffers.
    const std::vector<testdata::Consumer> rows = sampleList();
    DataPacket::Builder b(testdata::attendanceFields());
    b.reserve(int(rows.size()));
    for (const testdata::Consumer& c : rows) {
        b.appendRow();
        b.setText(2, QString::fromUtf8(c.badge));
        b.setText(3, QString::fromUtf8(c.name));
        b.setText(4, QString::fromUtf8(c.situation));
    }
    const DataPacket vivo = b.finish();
    ds.setData(vivo);
    ds.setIndexFieldNames(QStringLiteral("NMCONSUMIDOR"));
    ds.append();
    ds.fieldByName(QStringLiteral("NMCONSUMIDOR")).setAsString(QStringLiteral("Beatriz"));
    ds.post();
    ds.insert();
    ds.fieldByName(QStringLiteral("NMCONSUMIDOR")).setAsString(QStringLiteral("Aécio"));
    ds.post();
    EXPECT_EQ(ds.fieldByName(QStringLiteral("NMCONSUMIDOR")).asString(), QStringLiteral("Aécio"));
    ds.moveTo(4);
    ds.edit();
    ds.fieldByName(QStringLiteral("NMCONSUMIDOR")).setAsString(QStringLiteral("Zuleica"));
    ds.post();
    EXPECT_EQ(
        names(ds),
        (QStringList{QStringLiteral("Aécio"), QStringLiteral("Álvaro"), QStringLiteral("Anderson"),
                     QStringLiteral("Beatriz"), QStringLiteral("Bruno"), QStringLiteral("carla"),
                     QStringLiteral("Davi"), QStringLiteral("Érica"), QStringLiteral("Zuleica")}));
    EXPECT_EQ(vivo.rowCount(), 7);
    EXPECT_EQ(vivo.text(1, 3), QStringLiteral("Ângela"));
}

TEST_F(Presenca, WritingOutsideEditStateFails) {
    ds.first();
    EXPECT_THROW(ds.fieldByName(QStringLiteral("IDCHECK")).setAsString(QStringLiteral("S")),
                 DataSetError);
    EXPECT_THROW(ds.fieldByName(QStringLiteral("NAOEXISTE")), DataSetError);
    EXPECT_FALSE(ds.findField(QStringLiteral("naoexiste")).isValid());
    EXPECT_TRUE(ds.findField(QStringLiteral("idcheck")).isValid());
}

TEST_F(Presenca, DataRoundTripsAndIsNotChangedByLaterEdits) {
    ds.setIndexFieldNames(QStringLiteral("NMCONSUMIDOR"));
    const DataPacket p = ds.data();
    ASSERT_EQ(p.rowCount(), 7);
    EXPECT_EQ(p.text(0, 3), QStringLiteral("Álvaro"));
    EXPECT_TRUE(p.isNull(0, 5));
    ds.first();
    ds.edit();
    ds.fieldByName(QStringLiteral("NMCONSUMIDOR")).setAsString(QStringLiteral("Mudado"));
    ds.post();
    EXPECT_EQ(p.text(0, 3), QStringLiteral("Álvaro"));

    ClientDataSet other;
    other.setData(toVariant(p));
    EXPECT_EQ(other.fieldCount(), 7);
    EXPECT_EQ(other.fieldDef(3).size, 50);
    EXPECT_EQ(names(other).first(), QStringLiteral("Álvaro"));
    EXPECT_THROW(other.setData(QVariant(QStringLiteral("Erro no banco"))), DataSetError);
}

TEST_F(Presenca, EmptyingKeepsDefinitionsAndAnEmptyPacketLoadsAsAnEmptyList) {
    ds.emptyDataSet();
    EXPECT_TRUE(ds.isEmpty());
    EXPECT_TRUE(ds.active());
    EXPECT_EQ(ds.fieldCount(), 7);
    ds.setData(DataPacket());
    EXPECT_TRUE(ds.isEmpty());
    EXPECT_TRUE(ds.eof());
    EXPECT_EQ(ds.fieldByName(QStringLiteral("IDCHECK")).asString(), QString());
}

TEST_F(Presenca, APacketLackingADeclaredFieldIsRefused) {
    DataPacket::Builder b({FieldDef::text(QStringLiteral("CDFILIAL"), 4)});
    b.appendRow();
    EXPECT_THROW(ds.setData(b.finish()), DataSetError);
}

TEST_F(Presenca, ModelFollowsFilterIndexAndPostsAndUsesTheDisplayHandler) {
    ds.fieldDefRef(ds.fieldIndex(QStringLiteral("IDSITCONSUMI"))).visible = false;
    ds.fieldDefRef(ds.fieldIndex(QStringLiteral("NMCONSUMIDOR"))).displayLabel =
        QStringLiteral("Nome do Consumidor");
    ds.fieldDefRef(ds.fieldIndex(QStringLiteral("IDCHECK"))).onGetText = [](const Field& f,
                                                                            QString& text, bool) {
        const Field sit = f.dataSet()->fieldByName(QStringLiteral("IDSITCONSUMI"));
        text = text + QLatin1Char('/') + sit.asString();
    };
    ds.setData(attendancePacket(sampleList()));
    DataSetModel model(&ds);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    EXPECT_EQ(model.columnCount(), 6);
    EXPECT_EQ(model.columnOfField(QStringLiteral("IDSITCONSUMI")), -1);
    const int name = model.columnOfField(QStringLiteral("NMCONSUMIDOR"));
    const int check = model.columnOfField(QStringLiteral("IDCHECK"));
    EXPECT_EQ(model.headerData(name, Qt::Horizontal).toString(),
              QStringLiteral("Nome do Consumidor"));
    EXPECT_EQ(model.index(4, check).data().toString(), QStringLiteral("N/2"));

    // A view change tells the rows that went, not a reset: a reset would throw away the column
    // widths the operator dragged.
    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
    QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
    countWith(ds, QStringLiteral("IDSITCONSUMI = '2'"));
    EXPECT_EQ(model.rowCount(), 2);
    EXPECT_EQ(reset.count(), 0);
    EXPECT_GE(removed.count(), 1);

    ds.setFiltered(false);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    ds.moveTo(2);
    ds.edit();
    ds.fieldByName(QStringLiteral("IDCHECK")).setAsString(QStringLiteral("S"));
    ds.post();
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(changed.first().first().toModelIndex().row(), 1);
    EXPECT_EQ(model.index(1, check).data().toString(), QStringLiteral("S/1"));
    ds.setIndexFieldNames(QStringLiteral("NMCONSUMIDOR"));
    EXPECT_EQ(model.index(0, name).data().toString(), QStringLiteral("Álvaro"));
}

TEST(ClientDataSetFields, ConversionsFollowTheFieldType) {
    FieldDef n;
    n.name = QStringLiteral("INCOR2");
    n.type = FieldType::Integer;
    FieldDef dt;
    dt.name = QStringLiteral("DATAREAL");
    dt.type = FieldType::DateTime;
    FieldDefs defs{n, dt, FieldDef::text(QStringLiteral("TXT"), 0)};
    ClientDataSet ds;
    ds.setFieldDefs(defs);
    ds.createDataSet();
    ds.append();
    ds.fieldByName(QStringLiteral("incor2")).setAsString(QStringLiteral(" 255 "));
    ds.fieldByName(QStringLiteral("DATAREAL")).setAsString(QStringLiteral("05/03/2024"));
    ds.fieldByName(QStringLiteral("TXT")).setAsString(QStringLiteral("12,6"));
    ds.post();
    EXPECT_EQ(ds.fieldByName(QStringLiteral("INCOR2")).asInteger(), 255);
    EXPECT_EQ(ds.fieldByName(QStringLiteral("INCOR2")).asString(), QStringLiteral("255"));
    EXPECT_EQ(ds.fieldByName(QStringLiteral("TXT")).asInteger(), 13);
    EXPECT_EQ(ds.fieldByName(QStringLiteral("DATAREAL")).asDateTime(),
              QDateTime(QDate(2024, 3, 5), QTime(0, 0)));
    EXPECT_EQ(ds.fieldByName(QStringLiteral("DATAREAL")).asString(), QStringLiteral("05/03/2024"));
    ds.edit();
    ds.fieldByName(QStringLiteral("TXT")).setAsString(QStringLiteral("abc"));
    EXPECT_THROW(ds.fieldByName(QStringLiteral("INCOR2")).setAsString(QStringLiteral("abc")),
                 DataSetError);
    ds.fieldByName(QStringLiteral("INCOR2")).clear();
    ds.post();
    EXPECT_EQ(ds.fieldByName(QStringLiteral("INCOR2")).asInteger(), 0);
    EXPECT_TRUE(ds.fieldByName(QStringLiteral("INCOR2")).isNull());
    EXPECT_THROW(ds.fieldByName(QStringLiteral("TXT")).asInteger(), DataSetError);
}

TEST(ClientDataSetFields, RequiredFieldMustBeFilledBeforePost) {
    FieldDef f = FieldDef::text(QStringLiteral("CDFILIAL"), 4);
    f.required = true;
    ClientDataSet ds;
    ds.setFieldDefs({f});
    ds.createDataSet();
    ds.insert();
    EXPECT_THROW(ds.post(), DataSetError);
    ds.fieldByName(QStringLiteral("CDFILIAL")).setAsString(QStringLiteral("0001"));
    ds.post();
    EXPECT_EQ(ds.recordCount(), 1);
}

TEST(ClientDataSetFields, NavigationOnAnEmptyOrClosedDataSet) {
    ClientDataSet ds;
    EXPECT_THROW(ds.open(), DataSetError);
    EXPECT_THROW(ds.first(), DataSetError);
    ds.setFieldDefs({FieldDef::text(QStringLiteral("A"), 1)});
    ds.open();
    EXPECT_TRUE(ds.isEmpty());
    EXPECT_TRUE(ds.eof());
    EXPECT_TRUE(ds.bof());
    EXPECT_EQ(ds.recNo(), 0);
    ds.next();
    EXPECT_TRUE(ds.eof());
    ds.close();
    EXPECT_FALSE(ds.active());
}

TEST(HandOver, InsertsAtTheCurrentPositionCutTextsAndHandOverEveryRecord) {
    FieldDef data;
    data.name = QStringLiteral("DATAREAL");
    data.type = FieldType::DateTime;
    FieldDefs defs{FieldDef::text(QStringLiteral("CDFILIAL"), 4),
                   FieldDef::text(QStringLiteral("NMCONSUMIDOR"), 50), data,
                   FieldDef::text(QStringLiteral("HORAREAL"), 4),
                   FieldDef::text(QStringLiteral("NRSEQLOGCAT"), 10)};
    ClientDataSet aux;
    aux.setObjectName(QStringLiteral("cdsPresencaAux"));
    aux.setFieldDefs(defs);
    for (int run = 0; run < 2; ++run) {  // emptied and created anew at each run
        aux.close();
        aux.createDataSet();
        for (int i = 0; i < 3; ++i) {
            aux.insert();
            aux.fieldByName(QStringLiteral("CDFILIAL")).setAsString(QStringLiteral("00012"));
            aux.fieldByName(QStringLiteral("NMCONSUMIDOR"))
                .setAsString(QString(60, QChar(u'a' + i)));
            aux.fieldByName(QStringLiteral("DATAREAL"))
                .setAsDateTime(QDateTime(QDate(2024, 3, 5), QTime(0, 0)));
            aux.fieldByName(QStringLiteral("HORAREAL")).setAsString(QStringLiteral("0705"));
            aux.fieldByName(QStringLiteral("NRSEQLOGCAT")).setAsString(QString());
            aux.post();
        }
    }
    const DataPacket p = aux.data();
    ASSERT_EQ(p.rowCount(), 3);
    // Each insert goes before the record just posted: the packet holds them newest first.
    EXPECT_EQ(p.text(0, 1), QString(50, QLatin1Char('c')));
    EXPECT_EQ(p.text(2, 1), QString(50, QLatin1Char('a')));
    EXPECT_EQ(p.text(0, 0), QStringLiteral("0001"));
    EXPECT_EQ(p.value(0, 2).toDateTime(), QDateTime(QDate(2024, 3, 5), QTime(0, 0)));
    EXPECT_FALSE(p.isNull(0, 4));
    EXPECT_EQ(p.text(0, 4), QString());
    EXPECT_EQ(p.fields()[1].size, 50);
}
