// The binary reader against hand-laid files: each test writes the bytes a toolkit would, so
// the reader is checked against the layout itself rather than against our own writer.

#include <QtEndian>

#include <gtest/gtest.h>

#include "dataset/PacketFile.h"

using namespace dataset;

namespace {

QByteArray le16(quint16 v) {
    QByteArray b(2, '\0');
    qToLittleEndian(v, b.data());
    return b;
}
QByteArray le32(quint32 v) {
    QByteArray b(4, '\0');
    qToLittleEndian(v, b.data());
    return b;
}
QByteArray name(const QByteArray& n) {
    return char(n.size()) + n;
}

QByteArray param(const QByteArray& n, quint32 type, const QByteArray& value) {
    return name(n) + le32(type) + value;
}

struct Packet {
    QByteArray descriptors;
    int columns = 0;
    QByteArray dsParams;
    int dsParamCount = 0;
    QByteArray rows;
    int rowCount = 0;

    void field(const QByteArray& n, quint32 type, quint16 attrs = 0,
               const QList<QByteArray>& params = {}) {
        descriptors += name(n) + le32(type) + le16(attrs) + le16(quint16(params.size()));
        for (const QByteArray& p : params) descriptors += p;
        ++columns;
    }
    // states: one 2-bit state per column; values: the bytes of the present ones.
    void row(quint8 status, const QList<int>& states, const QByteArray& values) {
        QByteArray s((columns + 3) / 4, '\0');
        for (int k = 0; k < states.size(); ++k)
            s[k / 4] = char(s[k / 4] | (states[k] << ((k % 4) * 2)));
        rows += char(status) + s + values;
        ++rowCount;
    }
    QByteArray bytes(quint32 props = 1) const {
        return le32(0xBDE01996) + le16(1) + le16(0) + le32(24) + le16(quint16(columns)) +
               le32(quint32(rowCount)) + le32(props) + le16(0) + descriptors +
               le16(quint16(dsParamCount)) + dsParams + rows;
    }
};

QString errorOf(const QByteArray& b) {
    try {
        readPacket(b, QStringLiteral("t.cds"));
    } catch (const DataSetError& e) {
        return e.message();
    }
    return QString();
}

}  // namespace

TEST(BinaryLayout, DatesTimesNumbersAndFixedStringsDecode) {
    Packet p;
    p.field("D", 0x00060004);
    p.field("T", 0x00070004);
    p.field("TS", 0x00080008);
    p.field("F", 0x00040008);
    p.field("B", 0x00030002);
    p.field("I8", 0x00010008);
    p.field("U2", 0x00020002);
    p.field("FX", 0x00090005);  // fixed 5-byte ANSI string
    p.field("BCD", 0x00050020);
    const double ts = 725627.0 * 86400000.0 + 3723004.0;  // 1987-09-13 01:02:03.004
    quint64 tsBits, fBits;
    const double f = -2.5;
    std::memcpy(&tsBits, &ts, 8);
    std::memcpy(&fBits, &f, 8);
    QByteArray bcd(18, '\0');
    bcd[0] = 5;           // five digits
    bcd[1] = char(0x82);  // negative, two decimals
    bcd[2] = char(0x12);  // 1 2
    bcd[3] = char(0x34);  // 3 4
    bcd[4] = char(0x50);  // 5
    QByteArray values = le32(725627) + le32(3723004);
    values += QByteArray(8, '\0');
    qToLittleEndian(tsBits, values.data() + 8);
    values += QByteArray(8, '\0');
    qToLittleEndian(fBits, values.data() + 16);
    values += le16(1) + QByteArray::fromHex("ffffffffffffffff") + le16(65535) +
              QByteArray("ab\0\0\0", 5) + bcd;
    p.row(0, {0, 0, 0, 0, 0, 0, 0, 0, 0}, values);
    const DataPacket d = readPacket(p.bytes(), QStringLiteral("t.cds"));
    ASSERT_EQ(d.rowCount(), 1);
    EXPECT_EQ(d.value(0, 0).toDate(), QDate(1987, 9, 13));
    EXPECT_EQ(d.value(0, 1).toTime(), QTime(1, 2, 3, 4));
    EXPECT_EQ(d.value(0, 2).toDateTime(), QDateTime(QDate(1987, 9, 13), QTime(1, 2, 3, 4)));
    EXPECT_EQ(d.value(0, 3).toDouble(), -2.5);
    EXPECT_TRUE(d.value(0, 4).toBool());
    EXPECT_EQ(d.value(0, 5).toLongLong(), -1);
    EXPECT_EQ(d.value(0, 6).toLongLong(), 65535);
    EXPECT_EQ(d.text(0, 7), QStringLiteral("ab"));
    EXPECT_EQ(d.fields()[7].size, 5);
    EXPECT_DOUBLE_EQ(d.value(0, 8).toDouble(), -123.45);
}

TEST(BinaryLayout, FieldStatesNullUnchangedAndPseudoColumns) {
    Packet p;
    p.field("ADDR", 0x010C0002);  // ADT with two children, no data of its own
    p.field("RUA", 0x00490001);
    p.field("NR", 0x00010004);
    p.field("LINK", 0x00010004, 0x08);  // link field: read past, not shown
    p.row(0, {2, 0, 3, 0},
          "\x03"
          "Av." +
              le32(7));
    p.row(0, {0, 1, 0, 1}, le32(9));  // a present ADT carries no bytes either
    const DataPacket d = readPacket(p.bytes(), QStringLiteral("t.cds"));
    ASSERT_EQ(d.fields().size(), 2);
    EXPECT_EQ(d.fields()[0].name, QStringLiteral("RUA"));
    EXPECT_EQ(d.text(0, 0), QStringLiteral("Av."));
    EXPECT_TRUE(d.isNull(0, 1));  // state 3: the NULL bit wins
    EXPECT_TRUE(d.isNull(1, 0));
    EXPECT_EQ(d.value(1, 1).toInt(), 9);
}

TEST(BinaryLayout, LongAndDuplicateNamesAndBlobs) {
    Packet p;
    const QByteArray longName = "NOME_DE_CAMPO_MUITO_COMPRIDO_QUE_PASSA_DOS_31";
    const QByteArray zname = longName + '\0';
    p.field(longName.left(31), 0x00490001, 0,
            {param("FIELDNAME", 0x00490002, le16(quint16(zname.size())) + zname)});
    p.field("X", 0x00490001);
    p.field("x", 0x00490001);
    p.field("MEMO", 0x004B0004, 0,
            {param("SUBTYPE", 0x00490002, le16(5) + QByteArray("Text\0", 5))});
    p.field("FOTO", 0x004B0004);
    p.field("W", 0x004A0002);  // wide string, 2-byte byte count
    p.row(0, {0, 0, 0, 0, 0, 0},
          QByteArray("\x01"
                     "a"
                     "\x01"
                     "b"
                     "\x01"
                     "c",
                     6) +
              le32(3) + QByteArray("m\0n", 3) + le32(0x80000000) + le16(4) +
              QByteArray("\x14\x04\x35\x04", 4));
    const DataPacket d = readPacket(p.bytes(), QStringLiteral("t.cds"));
    EXPECT_EQ(d.fields()[0].name, QString::fromLatin1(longName));
    EXPECT_EQ(d.fields()[2].name, QStringLiteral("x_1"));
    EXPECT_EQ(d.fields()[3].type, FieldType::Memo);
    EXPECT_EQ(d.text(0, 3), QStringLiteral("m"));
    EXPECT_TRUE(d.isNull(0, 4));  // a BLOB that was not fetched
    EXPECT_EQ(d.text(0, 5), QString::fromUtf8("Де"));

    Packet odd;
    odd.field("W", 0x004A0002);
    odd.row(0, {0}, le16(3) + "abc");
    EXPECT_TRUE(errorOf(odd.bytes()).contains(QStringLiteral("ímpar")));
}

TEST(BinaryLayout, DataSetParametersAreChecked) {
    Packet base;
    base.field("A", 0x00490001);
    base.row(0x04, {0}, QByteArray("\x01x", 2));

    Packet delta = base;
    delta.dsParams = param("DATASET_DELTA", 0x00030002, le16(1));
    delta.dsParamCount = 1;
    EXPECT_TRUE(errorOf(delta.bytes()).contains(QStringLiteral("alterações")));

    Packet log = base;
    log.dsParams = param("CHANGE_LOG", 0x00820004, le32(3) + le32(5) + le32(0) + le32(4));
    log.dsParamCount = 1;
    EXPECT_TRUE(errorOf(log.bytes()).contains(QStringLiteral("fora das linhas")));

    Packet huge = base;
    huge.dsParams = param("CHANGE_LOG", 0x00820004, le32(0x40000000));
    huge.dsParamCount = 1;
    EXPECT_TRUE(errorOf(huge.bytes()).contains(QStringLiteral("além do fim")));

    Packet unknown = base;
    unknown.dsParams =
        param("LCID", 0x00010004, le32(1046)) + param("QUALQUER", 0x00490001, "\x02zz");
    unknown.dsParamCount = 2;
    EXPECT_EQ(readPacket(unknown.bytes(), QStringLiteral("t")).text(0, 0), QStringLiteral("x"));

    // The row offset, when flagged valid, must be where the metadata ends.
    QByteArray b = base.bytes(3);
    EXPECT_TRUE(errorOf(b).contains(QStringLiteral("início das linhas")));
    qToLittleEndian(quint16(24 + 1 + 1 + 4 + 2 + 2 + 2), b.data() + 22);
    EXPECT_EQ(readPacket(b, QStringLiteral("t")).rowCount(), 1);
    EXPECT_TRUE(errorOf(base.bytes(0x8001)).contains(QStringLiteral("XML")));
}
