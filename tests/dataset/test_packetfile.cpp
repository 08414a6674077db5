#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "dataset/ClientDataSet.h"
#include "dataset/PacketFile.h"

using namespace dataset;

namespace {

const QString kRealFiles = QStringLiteral(DATASET_TESTDATA "/");

QByteArray readAll(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return f.readAll();
}

PacketFileOptions cyrillic() {
    PacketFileOptions o;
    o.ansiCodec = "Windows-1251";
    return o;
}

// Every kind of field, with NULLs, empty texts, accents and a text outside Windows-1252.
DataPacket everyType() {
    FieldDef i;
    i.name = QStringLiteral("INCOR2");
    i.type = FieldType::Integer;
    FieldDef big = i;
    big.name = QStringLiteral("NRBIG");
    big.type = FieldType::LargeInt;
    FieldDef f = i;
    f.name = QStringLiteral("VRPRECO");
    f.type = FieldType::Float;
    FieldDef b = i;
    b.name = QStringLiteral("IDATIVO");
    b.type = FieldType::Boolean;
    FieldDef d = i;
    d.name = QStringLiteral("DTVENDA");
    d.type = FieldType::Date;
    FieldDef dt = i;
    dt.name = QStringLiteral("DATAREAL");
    dt.type = FieldType::DateTime;
    FieldDef tm = i;
    tm.name = QStringLiteral("HRVENDA");
    tm.type = FieldType::Time;
    FieldDef memo = i;
    memo.name = QStringLiteral("DSOBS");
    memo.type = FieldType::Memo;
    FieldDef blob = i;
    blob.name = QStringLiteral("IMFOTO");
    blob.type = FieldType::Blob;
    FieldDef bcd = i;
    bcd.name = QStringLiteral("VRBCD");
    bcd.type = FieldType::Bcd;
    FieldDef spaced = FieldDef::text(QStringLiteral("NOME COMPLETO"), 0);
    FieldDef hidden = FieldDef::text(QStringLiteral("CDFILIAL"), 4);
    hidden.visible = false;
    hidden.required = true;
    DataPacket::Builder pb({FieldDef::text(QStringLiteral("NMCONSUMIDOR"), 50), i, big, f, b, d, dt,
                            tm, memo, blob, bcd, spaced, hidden,
                            FieldDef::text(QStringLiteral("NMRUSSO"), 20)});
    pb.appendRow();
    pb.setText(0, u"Ângela & \"Zé\" <o'k>\\\r\n\t");
    pb.setInteger(1, 255);
    pb.setInteger(2, -9007199254740993LL);
    pb.setFloat(3, 12.345678901234567);
    pb.setBoolean(4, true);
    pb.setValue(5, QDate(1987, 9, 13));
    pb.setDateTime(6, QDateTime(QDate(2024, 3, 5), QTime(11, 30, 15, 250)));
    pb.setValue(7, QTime(7, 5));
    pb.setText(8, u"linha 1\nlinha 2 ação");
    pb.setBytes(9, QByteArray("\x00\x01\xFF\x80", 4));
    pb.setFloat(10, -1234.5678);
    pb.setText(11, u"Fulano de Tal");
    pb.setText(12, u"0001");
    pb.setText(13, QString::fromUtf8("Демо"));
    pb.appendRow();  // all NULL but an empty text
    pb.setText(0, u"");
    pb.setText(12, u"");
    return pb.finish();
}

void expectSamePackets(const DataPacket& a, const DataPacket& b) {
    ASSERT_EQ(a.fields().size(), b.fields().size());
    ASSERT_EQ(a.rowCount(), b.rowCount());
    for (int c = 0; c < a.fields().size(); ++c) {
        const FieldDef& fa = a.fields()[c];
        const FieldDef& fb = b.fields()[c];
        EXPECT_EQ(fa.name, fb.name);
        EXPECT_EQ(fa.isText(), fb.isText()) << fa.name.toStdString();
        if (fa.type == FieldType::String) {
            EXPECT_EQ(fa.size, fb.size) << fa.name.toStdString();
        }
        EXPECT_EQ(fa.visible, fb.visible);
        EXPECT_EQ(fa.required, fb.required);
        for (int r = 0; r < a.rowCount(); ++r) {
            EXPECT_EQ(a.isNull(r, c), b.isNull(r, c)) << fa.name.toStdString() << " row " << r;
            EXPECT_EQ(a.value(r, c), b.value(r, c)) << fa.name.toStdString() << " row " << r;
        }
    }
}

// Reading must end in a packet or a DataSetError, nothing else.
void expectReadsOrFails(const QByteArray& bytes, const PacketFileOptions& opts = {}) {
    try {
        const DataPacket p = readPacket(bytes, QStringLiteral("x.cds"), opts);
        for (int r = 0; r < p.rowCount(); ++r)
            for (int c = 0; c < p.fields().size(); ++c) (void)p.text(r, c);
    } catch (const DataSetError& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("x.cds"))) << e.what();
    }
}

QString readError(const QByteArray& bytes) {
    try {
        readPacket(bytes, QStringLiteral("PARAMETROSZOR.CDS"));
    } catch (const DataSetError& e) {
        return e.message();
    }
    return QString();
}

}  // namespace

TEST(RealFiles, DbListReadsToItsFirstRecord) {
    const DataPacket p =
        readPacketFile(kRealFiles + QStringLiteral("loodsman-SampleData_DBList.cds"), cyrillic());
    ASSERT_EQ(p.fields().size(), 5);
    ASSERT_EQ(p.rowCount(), 2);
    EXPECT_EQ(p.fields()[0].name, QStringLiteral("_DataBase"));
    EXPECT_EQ(p.fields()[0].size, 256);
    EXPECT_EQ(p.fields()[2].type, FieldType::Integer);
    EXPECT_EQ(p.text(0, 0), QString::fromUtf8("Демо"));
    EXPECT_EQ(p.text(0, 1), QString::fromUtf8("Пользователь"));
    EXPECT_EQ(p.value(0, 2).toInt(), 1);
    EXPECT_EQ(p.text(0, 3), QStringLiteral("upWFm56J"));
    EXPECT_FALSE(p.isNull(0, 4));
    EXPECT_EQ(p.text(0, 4), QString());
}

TEST(RealFiles, GetTreeReadsToItsFirstRecordThroughTheDataSet) {
    ClientDataSet ds;
    ds.setData(readPacketFile(kRealFiles + QStringLiteral("loodsman-SampleData_GetTree2.cds"),
                              cyrillic()));
    ASSERT_EQ(ds.fieldCount(), 14);
    EXPECT_EQ(ds.recordCount(), 24);
    const qint64 ints[] = {23956, 13079, 291};
    for (int i = 0; i < 3; ++i) EXPECT_EQ(ds.field(i).asInteger(), ints[i]);
    EXPECT_EQ(ds.field(3).asString(), QStringLiteral("078.505.9.0100.00123"));
    EXPECT_EQ(ds.field(4).asString(), QStringLiteral("1"));
    const qint64 rest[] = {36, 30, 0, 756, 3, 23956};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(ds.field(5 + i).asInteger(), rest[i]);
    for (int i = 11; i < 14; ++i) EXPECT_TRUE(ds.field(i).isNull());
    EXPECT_EQ(ds.fieldDef(11).name, QString::fromUtf8("Наименование"));
}

TEST(RealFiles, EveryTruncationAndByteFlipFailsCleanly) {
    for (const char* name :
         {"loodsman-SampleData_DBList.cds", "loodsman-SampleData_GetTree2.cds"}) {
        const QByteArray bytes = readAll(kRealFiles + QLatin1String(name));
        ASSERT_FALSE(bytes.isEmpty());
        for (qsizetype n = 0; n < bytes.size(); ++n) expectReadsOrFails(bytes.left(n));
        for (qsizetype i = 0; i < bytes.size(); ++i) {
            QByteArray b = bytes;
            b[i] = char(b[i] ^ 0xFF);
            expectReadsOrFails(b);
        }
    }
}

// The day of a date or date-time value, as its value has it, read without a local date-time;
// nothing for NULL or another kind of field, and the right day for a time before Julian day 0.
TEST(Packet, TheDayOfADateOrDateTimeIsItsValuesDay) {
    const DataPacket p = everyType();
    EXPECT_EQ(p.day(0, 5), QDate(1987, 9, 13));
    EXPECT_EQ(p.day(0, 6), p.value(0, 6).toDateTime().date());
    EXPECT_FALSE(p.day(1, 5).isValid());
    EXPECT_FALSE(p.day(0, 0).isValid());
    EXPECT_FALSE(p.day(0, 7).isValid());
    FieldDef dt;
    dt.name = QStringLiteral("DT");
    dt.type = FieldType::DateTime;
    DataPacket::Builder b({dt});
    const QDateTime before(QDate::fromJulianDay(-2), QTime(23, 59, 59, 999));
    b.appendRow();
    b.setDateTime(0, before);
    EXPECT_EQ(b.finish().day(0, 0), before.date());
}

TEST(BinaryFormat, WrittenPacketsReadBackIdentically) {
    const DataPacket p = everyType();
    const DataPacket back = readPacket(writeBinaryPacket(p), QStringLiteral("t.cds"));
    expectSamePackets(p, back);
    EXPECT_EQ(back.fields()[13].type, FieldType::WideString);  // Cyrillic kept, not damaged
    EXPECT_EQ(back.text(0, 13), QString::fromUtf8("Демо"));
}

TEST(BinaryFormat, HostileHeadersAndCountsGiveClearErrors) {
    const QByteArray good = writeBinaryPacket(everyType());
    auto patched = [&](int at, quint32 v, int size) {
        QByteArray b = good;
        for (int i = 0; i < size; ++i) b[at + i] = char((v >> (8 * i)) & 0xFF);
        return b;
    };
    EXPECT_TRUE(readError(patched(12, 0xFFFF, 2)).contains(QStringLiteral("número de campos")));
    EXPECT_TRUE(readError(patched(14, 0xFFFFFFFF, 4)).contains(QStringLiteral("número de linhas")));
    EXPECT_TRUE(readError(patched(4, 9, 2)).contains(QStringLiteral("versão")));
    EXPECT_TRUE(readError(patched(18, 0x0, 4)).contains(QStringLiteral("metadados")));
    EXPECT_TRUE(readError(patched(12, 0, 2)).contains(QStringLiteral("sem campos")));
    EXPECT_TRUE(readError(patched(8, 0x7FFFFFFF, 4)).contains(QStringLiteral("cabeçalho")));
    // The first descriptor's type word: an unknown base type and a date of size 3.
    const int typeAt = 24 + 1 + int(QByteArray("NMCONSUMIDOR").size());
    EXPECT_TRUE(
        readError(patched(typeAt, 0x002A0004, 4)).contains(QStringLiteral("não suportado")));
    EXPECT_TRUE(readError(patched(typeAt, 0x00060003, 4)).contains(QStringLiteral("tamanho 3")));
    // Names are C strings: they end at NUL, and one that is empty there is refused.
    QByteArray nul = good;
    nul[24 + 1 + 2] = '\0';
    EXPECT_EQ(readPacket(nul, QStringLiteral("t")).fields()[0].name, QStringLiteral("NM"));
    nul[24 + 1] = '\0';
    EXPECT_TRUE(readError(nul).contains(QStringLiteral("campo sem nome")));
    EXPECT_TRUE(readError(good.left(30)).contains(QStringLiteral("PARAMETROSZOR.CDS")));
    EXPECT_TRUE(readError(QByteArray()).contains(QStringLiteral("vazio")));
    EXPECT_TRUE(readError(QByteArray("\x96\x19\xE0\xBD", 4)).contains(QStringLiteral("cabeçalho")));
}

TEST(BinaryFormat, ZeroRowsGiveAnEmptyTableWithItsFields) {
    DataPacket::Builder b({FieldDef::text(QStringLiteral("INCOR1"), 4)});
    const DataPacket p = readPacket(writeBinaryPacket(b.finish()), QStringLiteral("t.cds"));
    EXPECT_EQ(p.fields().size(), 1);
    EXPECT_EQ(p.rowCount(), 0);
}

TEST(BinaryFormat, RowsOfTheChangeLogThatAreNotCurrentStayHidden) {
    // Rows: A (superseded original), B (deleted), C (inserted then deleted), D, A' (modified).
    DataPacket::Builder pb({FieldDef::text(QStringLiteral("N"), 10)});
    for (const char* s : {"A", "B", "C", "D", "A2"}) {
        pb.appendRow();
        pb.setText(0, QString::fromLatin1(s));
    }
    QByteArray b = writeBinaryPacket(pb.finish());
    // Locate the rows: each is status, 1 state byte, 1-byte length, text.
    const qsizetype rowsAt = qFromLittleEndian<quint16>(b.constData() + 22);
    const quint8 statuses[] = {0x01, 0x02, 0x06, 0x00, 0x08};
    qsizetype at = rowsAt;
    for (quint8 s : statuses) {
        b[at] = char(s);
        at += 3 + b[at + 2];
    }
    const DataPacket p = readPacket(b, QStringLiteral("t.cds"));
    ASSERT_EQ(p.rowCount(), 2);
    EXPECT_EQ(p.text(0, 0), QStringLiteral("D"));
    EXPECT_EQ(p.text(1, 0), QStringLiteral("A2"));
    b[rowsAt] = char(0x10);  // unknown status bit
    EXPECT_TRUE(readError(b).contains(QStringLiteral("estado de registro")));
}

TEST(XmlFormat, WrittenPacketsReadBackIdenticallyInBothEncodings) {
    const DataPacket p = everyType();
    for (bool utf8 : {true, false}) {
        const QByteArray x = writeXmlPacket(p, utf8);
        EXPECT_EQ(x.contains("encoding=\"UTF-8\""), utf8);
        const DataPacket back = readPacket(x, QStringLiteral("t.xml"));
        expectSamePackets(p, back);
        EXPECT_EQ(back.fields()[11].name, QStringLiteral("NOME COMPLETO"));
    }
    // Names the writer must not take as they are: one that looks like the name it makes up for
    // another field, and one the reader would take as the row's state.
    FieldDef date;
    date.name = QStringLiteral("9DT");
    date.type = FieldType::Date;
    DataPacket::Builder pb({FieldDef::text(QStringLiteral("xF1"), 20), date,
                            FieldDef::text(QStringLiteral("rowstate"), 5)});
    pb.appendRow();
    pb.setText(0, u"Ângela <&> \"x\"");
    pb.setValue(1, QDate(2024, 3, 5));
    pb.setText(2, u"x");
    const DataPacket clash = pb.finish();
    for (bool utf8 : {true, false})
        expectSamePackets(clash, readPacket(writeXmlPacket(clash, utf8), QStringLiteral("t.xml")));
}

TEST(XmlFormat, ReadsTheToolkitDialect) {
    // ANSI file (no encoding label), stray </PARAMS>, RowState, fieldname, absent vs empty,
    // a child-element field, character references.
    const QByteArray x =
        "<?xml version=\"1.0\" standalone=\"yes\"?>  <DATAPACKET Version=\"2.0\"><METADATA><FIELDS>"
        "<FIELD attrname=\"NOME_X\" fieldname=\"NOME X\" fieldtype=\"string\" WIDTH=\"5\"/>"
        "<FIELD attrname=\"INCOR1\" fieldtype=\"i4\"/>"
        "<FIELD tagname=\"OBS\" fieldtype=\"bin.hex\" SUBTYPE=\"Text\"/>"
        "<FIELD attrname=\"DT\" fieldtype=\"dateTime\"/>"
        "</FIELDS><PARAMS CHANGE_LOG=\"1 0 4 2 1 8\"/></PARAMS></METADATA><ROWDATA>"
        "<ROW RowState=\"1\" NOME_X=\"velho\" INCOR1=\"1\"/>"
        "<ROW NOME_X=\"\xC2ngela Maria\" INCOR1=\"abc\" "
        "DT=\"19950202T01:05:03000\"><OBS>a&#013;&#010;b &#1044;</OBS></ROW>"
        "<ROW NOME_X=\"\" INCOR1=\"255\"/>"
        "</ROWDATA></DATAPACKET>";
    const DataPacket p = readPacket(x, QStringLiteral("t.xml"));
    ASSERT_EQ(p.rowCount(), 2);
    EXPECT_EQ(p.fields()[0].name, QStringLiteral("NOME X"));
    EXPECT_EQ(p.text(0, 0), QStringLiteral("Ângel"));  // cut to WIDTH
    EXPECT_TRUE(p.isNull(0, 1));                       // no digit: NULL
    EXPECT_EQ(p.text(0, 2), QString::fromUtf8("a\r\nb Д"));
    EXPECT_EQ(p.value(0, 3).toDateTime(), QDateTime(QDate(1995, 2, 2), QTime(1, 5, 3)));
    EXPECT_FALSE(p.isNull(1, 0));
    EXPECT_TRUE(p.isNull(1, 3));
    EXPECT_EQ(p.value(1, 1).toInt(), 255);
}

TEST(XmlFormat, EncodingFollowsTheToolkitRule) {
    const QByteArray body =
        "<DATAPACKET Version=\"2.0\"><METADATA><FIELDS><FIELD attrname=\"N\" "
        "fieldtype=\"string\" WIDTH=\"20\"/></FIELDS><PARAMS/></METADATA><ROWDATA>"
        "<ROW N=\"Jo\xC3\xA3o\"/></ROWDATA></DATAPACKET>";
    const QString utf8Name = QString::fromUtf8("João");
    EXPECT_EQ(readPacket("\xEF\xBB\xBF" + body, QStringLiteral("t")).text(0, 0), utf8Name);
    EXPECT_EQ(readPacket("<?xml version=\"1.0\" encoding=\"utf-8\"?>" + body, QStringLiteral("t"))
                  .text(0, 0),
              utf8Name);
    // No label, or a label on invalid UTF-8: the ANSI page.
    EXPECT_EQ(readPacket(body, QStringLiteral("t")).text(0, 0), QString::fromUtf8("JoÃ£o"));
    QByteArray bad = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>" + body;
    bad.replace("Jo\xC3\xA3o", "Jo\xE3o");
    EXPECT_EQ(readPacket(bad, QStringLiteral("t")).text(0, 0), utf8Name);
}

TEST(XmlFormat, HostileDocumentsAreRefused) {
    const QByteArray head = "<DATAPACKET Version=\"2.0\"><METADATA><FIELDS>";
    EXPECT_FALSE(readError("<!DOCTYPE x [<!ENTITY a \"b\">]><DATAPACKET/>").isEmpty());
    EXPECT_FALSE(
        readError(head +
                  "<FIELD attrname=\"A\" fieldtype=\"money\"/></FIELDS></METADATA></DATAPACKET>")
            .isEmpty());
    EXPECT_FALSE(
        readError(head +
                  "<FIELD attrname=\"A\" fieldtype=\"nested\"/></FIELDS></METADATA></DATAPACKET>")
            .isEmpty());
    EXPECT_FALSE(readError(head + "</FIELDS></METADATA></DATAPACKET>").isEmpty());
    EXPECT_FALSE(readError(QByteArray(100000, '<')).isEmpty());
    EXPECT_FALSE(readError(QByteArray("<DATAPACKET>").repeated(1000)).isEmpty());
    EXPECT_FALSE(readError("\xFF\xFE<\0D\0").isEmpty());
    EXPECT_FALSE(readError("qualquer coisa").isEmpty());
    QByteArray wide = head;
    for (int i = 0; i < 3000; ++i)
        wide += "<FIELD attrname=\"F" + QByteArray::number(i) + "\" fieldtype=\"i4\"/>";
    wide += "</FIELDS></METADATA><ROWDATA>" + QByteArray("<ROW/>").repeated(20000) +
            "</ROWDATA></DATAPACKET>";
    EXPECT_TRUE(readError(wide).contains(QStringLiteral("demais")));
    const QByteArray ok = head +
                          "<FIELD attrname=\"A\" "
                          "fieldtype=\"i4\"/></FIELDS><PARAMS/></METADATA><ROWDATA/></DATAPACKET>";
    EXPECT_EQ(readPacket(ok, QStringLiteral("t")).rowCount(), 0);
    QByteArray badDate = ok;
    badDate.replace("i4", "date").replace("<ROWDATA/>", "<ROWDATA><ROW A=\"20241345\"/></ROWDATA>");
    EXPECT_TRUE(readError(badDate).contains(QStringLiteral("20241345")));
    const QByteArray xml = writeXmlPacket(everyType(), false);
    for (qsizetype n = 0; n < xml.size(); n += 7) expectReadsOrFails(xml.left(n));
}

TEST(DataSetFiles, SaveAndLoadKeepTheDataSetsRowsInItsOrder) {
    QTemporaryDir dir;
    ClientDataSet ds;
    ds.setData(everyType());
    ds.setIndexFieldNames(QStringLiteral("INCOR2"));
    for (auto format : {ClientDataSet::FileFormat::Binary, ClientDataSet::FileFormat::Xml,
                        ClientDataSet::FileFormat::XmlUtf8}) {
        const QString path = dir.filePath(QStringLiteral("p.cds"));
        ds.saveToFile(path, format);
        ClientDataSet back;
        back.loadFromFile(path);
        EXPECT_EQ(back.recordCount(), 2);
        back.first();
        EXPECT_TRUE(back.fieldByName(QStringLiteral("INCOR2")).isNull());  // NULL sorts first
        back.next();
        EXPECT_EQ(back.fieldByName(QStringLiteral("NMCONSUMIDOR")).asString().left(6),
                  QStringLiteral("Ângela"));
    }
    ClientDataSet missing;
    try {
        missing.loadFromFile(dir.filePath(QStringLiteral("nada.cds")));
        ADD_FAILURE();
    } catch (const DataSetError& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("nada.cds")));
    }
}

TEST(XmlFormat, DefaultOrderSortsTheVisibleRowsKeepingTies) {
    const QByteArray x =
        "<DATAPACKET Version=\"2.0\"><METADATA><FIELDS><FIELD attrname=\"K\" fieldtype=\"i4\"/>"
        "<FIELD attrname=\"N\" fieldtype=\"string\" WIDTH=\"9\"/></FIELDS>"
        "<PARAMS DEFAULT_ORDER=\"32769 2\"/></METADATA><ROWDATA>"
        "<ROW K=\"1\" N=\"b\"/><ROW K=\"2\" N=\"z\"/><ROW K=\"1\" N=\"a\"/><ROW RowState=\"2\" "
        "K=\"9\" N=\"x\"/>"
        "<ROW N=\"n\"/></ROWDATA></DATAPACKET>";
    const DataPacket p = readPacket(x, QStringLiteral("t.xml"));
    QStringList order;
    for (int r = 0; r < p.rowCount(); ++r) order << p.text(r, 1);
    EXPECT_EQ(order, (QStringList{QStringLiteral("z"), QStringLiteral("a"), QStringLiteral("b"),
                                  QStringLiteral("n")}));
    QByteArray bad = x;
    bad.replace("32769 2", "7");
    EXPECT_TRUE(readError(bad).contains(QStringLiteral("ordem padrão")));
}

TEST(XmlFormat, NonFiniteFloatsFromBinaryFilesSurviveXml) {
    FieldDef f;
    f.name = QStringLiteral("F");
    f.type = FieldType::Float;
    DataPacket::Builder b({f});
    for (double v :
         {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
          -std::numeric_limits<double>::infinity()}) {
        b.appendRow();
        b.setFloat(0, v);
    }
    const DataPacket back = readPacket(writeXmlPacket(b.finish(), true), QStringLiteral("t.xml"));
    ASSERT_EQ(back.rowCount(), 3);
    EXPECT_TRUE(std::isnan(back.value(0, 0).toDouble()));
    EXPECT_EQ(back.value(1, 0).toDouble(), std::numeric_limits<double>::infinity());
    EXPECT_EQ(back.value(2, 0).toDouble(), -std::numeric_limits<double>::infinity());
}

// Every reason a reader gives keeps its accents, whichever cut of a file produced it.
TEST(ReaderMessages, KeepTheirAccents) {
    EXPECT_TRUE(readError("<?xml version=\"1.0\"").contains(QStringLiteral("instrução sem fim")));
    EXPECT_TRUE(readError("<DATAPACKET><!-- x").contains(QStringLiteral("comentário sem fim")));
    QStringList razoes;
    for (const QByteArray& bytes : {writeBinaryPacket(everyType()), writeXmlPacket(everyType())})
        for (qsizetype n = 1; n < bytes.size(); ++n) razoes << readError(bytes.left(n));
    EXPECT_TRUE(razoes.join(QLatin1Char('\n')).contains(QStringLiteral("cabeçalho")));
    for (const QString& r : razoes)
        EXPECT_FALSE(r.contains(QChar(0xC3)) || r.contains(QChar(0xC2))) << r.toStdString();
}

// A file is read only when it is a regular one, and never past the limit: a file under /proc
// claims a size of 0 and has more.
TEST(RegularFiles, AreReadUpToTheLimitWhateverTheirSizeClaims) {
    const QString status = QStringLiteral("/proc/self/status");
    ASSERT_EQ(QFileInfo(status).size(), 0);
    EXPECT_TRUE(readRegularFile(status, 1 << 20).contains("Name:"));
    try {
        readRegularFile(status, 16);
        ADD_FAILURE() << "read past the limit";
    } catch (const DataSetError& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("grande demais"))) << e.what();
    }
    QTemporaryDir dir;
    for (const QString& outro : {QStringLiteral("/dev/zero"), dir.path()}) {
        try {
            readRegularFile(outro, 1 << 20);
            ADD_FAILURE() << outro.toStdString();
        } catch (const DataSetError& e) {
            EXPECT_TRUE(e.message().contains(QStringLiteral("não é um arquivo comum"))) << e.what();
        }
    }
    EXPECT_THROW(readRegularFile(dir.filePath(QStringLiteral("nada")), 10), DataSetError);
}
