#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "cdstool/CdsTool.h"
#include "dataset/ClientDataSet.h"

using namespace dataset;

namespace {

struct ToolRun {
    int rc = 0;
    QString out, err;
};

ToolRun cdstool(const QStringList& args, const QByteArray& input = {}) {
    ToolRun r;
    QTextStream out(&r.out), err(&r.err);
    QByteArray data = input;
    QBuffer in(&data);
    in.open(QIODevice::ReadOnly);
    r.rc = runCdsTool(args, out, err, in);
    out.flush();
    err.flush();
    return r;
}

QStringList lines(const QString& s) {
    return s.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

}  // namespace

TEST(CdsTool, DumpsTheRealFileFieldsFirstThenEveryRecord) {
    const ToolRun r = cdstool({QStringLiteral("dump"),
                               QStringLiteral(DATASET_TESTDATA "/loodsman-SampleData_DBList.cds"),
                               QStringLiteral("--codepage"), QStringLiteral("cp1251")});
    ASSERT_EQ(r.rc, 0) << r.err.toStdString();
    const QStringList l = lines(r.out);
    ASSERT_EQ(l.size(), 3);
    EXPECT_TRUE(l[0].startsWith(
        QStringLiteral("{\"fields\":[{\"name\":\"_DataBase\",\"type\":\"String\",\"size\":256")));
    EXPECT_EQ(l[1],
              QString::fromUtf8(
                  "{\"_DataBase\":\"Демо\",\"_UserName\":\"Пользователь\",\"_AccessMethod\":1,"
                  "\"_Password\":\"upWFm56J\",\"_Connected\":\"\"}"));
    const ToolRun tree =
        cdstool({QStringLiteral("dump"),
                 QStringLiteral(DATASET_TESTDATA "/loodsman-SampleData_GetTree2.cds")});
    ASSERT_EQ(tree.rc, 0);
    EXPECT_TRUE(lines(tree.out)[1].startsWith(
        QStringLiteral("{\"_ID_LINK\":23956,\"_ID_VERSION\":13079,\"_ID_TYPE\":291,"
                       "\"_PRODUCT\":\"078.505.9.0100.00123\",\"_VERSION\":\"1\"")));
    EXPECT_TRUE(
        lines(tree.out)[1].endsWith(QStringLiteral(":null,\"_S255\":null,\"_S245\":null}")));
}

TEST(CdsTool, ParamWritesATillFileTheDataSetReads) {
    QTemporaryDir dir;
    for (const char* format : {"binary", "xml"}) {
        const QString path = dir.filePath(QStringLiteral("PARAMETROSZOR.CDS"));
        const ToolRun r =
            cdstool({QStringLiteral("param"), path, QStringLiteral("--filial"),
                     QStringLiteral("0001"), QStringLiteral("--caixa"), QStringLiteral("001"),
                     QStringLiteral("--esquema"), QStringLiteral("002"), QStringLiteral("--cores"),
                     QStringLiteral("255,0x808080,$FF,-16777201,0,32768"),
                     QStringLiteral("--format"), QLatin1String(format)});
        ASSERT_EQ(r.rc, 0) << r.err.toStdString();
        ClientDataSet ds;
        ds.loadFromFile(path);
        const qint64 expected[] = {255, 0x808080, 255, -16777201, 0, 32768};
        for (int i = 0; i < 6; ++i)
            EXPECT_EQ(ds.fieldByName(QStringLiteral("INCOR%1").arg(i + 1)).asInteger(),
                      expected[i]);
        EXPECT_EQ(ds.fieldByName(QStringLiteral("CDFILIAL")).asString(), QStringLiteral("0001"));
        EXPECT_EQ(ds.fieldByName(QStringLiteral("CDCAIXA")).asString(), QStringLiteral("001"));
        EXPECT_EQ(ds.fieldByName(QStringLiteral("IDESQUEMA")).asString(), QStringLiteral("002"));
    }
    EXPECT_EQ(cdstool({QStringLiteral("param"), dir.filePath(QStringLiteral("x")),
                       QStringLiteral("--cores"), QStringLiteral("1,2")})
                  .rc,
              2);
    const ToolRun bad =
        cdstool({QStringLiteral("param"), dir.filePath(QStringLiteral("x")),
                 QStringLiteral("--filial"), QStringLiteral("1"), QStringLiteral("--caixa"),
                 QStringLiteral("1"), QStringLiteral("--esquema"), QStringLiteral("1"),
                 QStringLiteral("--cores"), QStringLiteral("1,2,3,4,5,azul")});
    EXPECT_EQ(bad.rc, 2);
    EXPECT_TRUE(bad.err.contains(QStringLiteral("azul")));
}

TEST(CdsTool, ParamRefusesCodesLongerThanTheirFieldsAndPadsShortNumbers) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("PARAMETROSZOR.CDS"));
    const auto param = [&](const char* filial, const char* caixa) {
        return cdstool({QStringLiteral("param"), path, QStringLiteral("--filial"),
                        QLatin1String(filial), QStringLiteral("--caixa"), QLatin1String(caixa),
                        QStringLiteral("--esquema"), QStringLiteral("001"),
                        QStringLiteral("--cores"), QStringLiteral("1,2,3,4,5,6")});
    };
    for (const auto& [filial, caixa] :
         {std::pair{"00001", "001"}, std::pair{"0001", "0001"}, std::pair{"0001", " "}}) {
        const ToolRun r = param(filial, caixa);
        EXPECT_EQ(r.rc, 2) << filial << "/" << caixa;
        EXPECT_FALSE(QFile::exists(path)) << "a refused till file was written";
    }
    EXPECT_TRUE(param("00001", "001").err.contains(QStringLiteral("no máximo 4")));

    const ToolRun curto = param("1", "A");
    ASSERT_EQ(curto.rc, 0) << curto.err.toStdString();
    EXPECT_TRUE(curto.out.contains(QStringLiteral("\"1\" gravado como \"0001\"")));
    ClientDataSet ds;
    ds.loadFromFile(path);
    EXPECT_EQ(ds.fieldByName(QStringLiteral("CDFILIAL")).asString(), QStringLiteral("0001"));
    EXPECT_EQ(ds.fieldByName(QStringLiteral("CDCAIXA")).asString(), QStringLiteral("A"));
}

TEST(CdsTool, MakeReadsWhatDumpWrites) {
    QTemporaryDir dir;
    const QByteArray input =
        "{\"fields\":[{\"name\":\"NOME\",\"type\":\"String\",\"size\":5},{\"name\":\"N\",\"type\":"
        "\"Integer\"},"
        "{\"name\":\"D\",\"type\":\"DateTime\"},{\"name\":\"B\",\"type\":\"Blob\"}]}\n"
        "{\"NOME\":\"Ângela Maria\",\"N\":7,\"D\":\"2024-03-05T11:30:00.000\",\"B\":\"AAH/\"}\n"
        "\n"
        "{\"NOME\":\"\"}\n";
    for (const char* format : {"binary", "xml-utf8", "xml"}) {
        const QString path = dir.filePath(QStringLiteral("t.cds"));
        const ToolRun made = cdstool(
            {QStringLiteral("make"), path, QStringLiteral("--format"), QLatin1String(format)},
            input);
        ASSERT_EQ(made.rc, 0) << made.err.toStdString();
        const ToolRun dumped = cdstool({QStringLiteral("dump"), path});
        ASSERT_EQ(dumped.rc, 0) << dumped.err.toStdString();
        const QStringList l = lines(dumped.out);
        ASSERT_EQ(l.size(), 3);
        EXPECT_EQ(
            l[1],
            QString::fromUtf8(
                "{\"NOME\":\"Ângel\",\"N\":7,\"D\":\"2024-03-05T11:30:00.000\",\"B\":\"AAH/\"}"));
        EXPECT_EQ(l[2], QStringLiteral("{\"NOME\":\"\",\"N\":null,\"D\":null,\"B\":null}"));
        // Feeding the dump back gives the same file content.
        const QString again = dir.filePath(QStringLiteral("u.cds"));
        ASSERT_EQ(cdstool({QStringLiteral("make"), again}, dumped.out.toUtf8()).rc, 0);
        EXPECT_EQ(cdstool({QStringLiteral("dump"), again}).out, dumped.out);
    }
}

TEST(CdsTool, FailuresNameTheirCause) {
    const ToolRun missing = cdstool({QStringLiteral("dump"), QStringLiteral("/nao/existe.cds")});
    EXPECT_EQ(missing.rc, 1);
    EXPECT_TRUE(missing.err.contains(QStringLiteral("/nao/existe.cds")));
    const ToolRun badJson = cdstool({QStringLiteral("make"), QStringLiteral("/tmp/x.cds")},
                                    "{\"fields\":[{\"name\":\"A\"}]}\n{oops\n");
    EXPECT_EQ(badJson.rc, 1);
    EXPECT_TRUE(badJson.err.contains(QStringLiteral("Linha 2")));
    const ToolRun badValue =
        cdstool({QStringLiteral("make"), QStringLiteral("/tmp/x.cds")},
                "{\"fields\":[{\"name\":\"A\",\"type\":\"Date\"}]}\n{\"A\":\"ontem\"}\n");
    EXPECT_EQ(badValue.rc, 1);
    EXPECT_TRUE(badValue.err.contains(QStringLiteral("ontem")));
    EXPECT_EQ(cdstool({QStringLiteral("voa")}).rc, 2);
    EXPECT_EQ(cdstool({}).rc, 2);
}
