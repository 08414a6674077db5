#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "dataset/ClientDataSet.h"
#include "module/params/ParametrosZor.h"

using dataset::ClientDataSet;
using dataset::FieldDef;
using dataset::FieldType;

namespace {

FieldDef inteiro(const QString& nome) {
    FieldDef f;
    f.name = nome;
    f.type = FieldType::Integer;
    return f;
}

struct Registro {
    int cores[6];
    QString esquema, filial, caixa;
};

// Writes a parameter file the way an administrator's tool would; extra fields optional.
void gravaParametros(const QString& caminho, const QList<Registro>& registros,
                     bool comExtra = false, const QString& semCampo = QString(),
                     ClientDataSet::FileFormat formato = ClientDataSet::FileFormat::Binary) {
    ClientDataSet cds;
    dataset::FieldDefs defs;
    if (comExtra) defs << FieldDef::text(QStringLiteral("OBSERVACAO"), 20);
    for (int i = 1; i <= 6; ++i) defs << inteiro(QStringLiteral("INCOR%1").arg(i));
    defs << FieldDef::text(QStringLiteral("IDESQUEMA"), 3)
         << FieldDef::text(QStringLiteral("CDFILIAL"), 4)
         << FieldDef::text(QStringLiteral("CDCAIXA"), 3);
    if (!semCampo.isEmpty()) {
        for (int i = 0; i < defs.size(); ++i)
            if (defs[i].name == semCampo) defs.removeAt(i);
    }
    cds.setFieldDefs(defs);
    cds.createDataSet();
    for (const Registro& r : registros) {
        cds.append();
        for (int i = 0; i < 6; ++i) {
            dataset::Field f = cds.findField(QStringLiteral("INCOR%1").arg(i + 1));
            if (f.index() >= 0) f.setAsInteger(r.cores[i]);
        }
        if (comExtra)
            cds.fieldByName(QStringLiteral("OBSERVACAO")).setAsString(QStringLiteral("extra"));
        for (auto [nome, valor] : {std::pair{QStringLiteral("IDESQUEMA"), r.esquema},
                                   std::pair{QStringLiteral("CDFILIAL"), r.filial},
                                   std::pair{QStringLiteral("CDCAIXA"), r.caixa}}) {
            dataset::Field f = cds.findField(nome);
            if (f.index() >= 0) f.setAsString(valor);
        }
        cds.post();
    }
    cds.saveToFile(caminho, formato);
}

const Registro kPrimeiro{
    {1, 255, 3, 4, 5, 6}, QStringLiteral("007"), QStringLiteral("0001"), QStringLiteral("002")};
const Registro kSegundo{
    {9, 9, 9, 9, 9, 9}, QStringLiteral("999"), QStringLiteral("9999"), QStringLiteral("999")};

}  // namespace

QStringList& avisos() {
    static QStringList a;
    return a;
}

TEST(ParametrosZor, MissingFileGivesZerosAndEmptyTextsWithoutErrorAndOneWarning) {
    QTemporaryDir dir;
    ClientDataSet cds;
    avisos().clear();
    const QtMessageHandler anterior =
        qInstallMessageHandler([](QtMsgType t, const QMessageLogContext&, const QString& m) {
            if (t == QtWarningMsg) avisos() << m;
        });
    const auto p = Cli_Kel00815::LerParametrosZor(cds, dir.path());
    qInstallMessageHandler(anterior);
    ASSERT_EQ(avisos().size(), 1);
    EXPECT_TRUE(avisos().first().contains(QStringLiteral("PARAMETROSZOR.CDS")));
    EXPECT_TRUE(p.stArqParametros.isEmpty());
    for (int c : p.inCor) EXPECT_EQ(c, 0);
    EXPECT_TRUE(p.stIdEsquema.isEmpty());
    EXPECT_TRUE(p.stCdFilial.isEmpty());
    EXPECT_TRUE(p.stCdCaixa.isEmpty());
}

TEST(ParametrosZor, OnlyTheFirstRecordCountsAndExtraFieldsAreIgnored) {
    for (auto formato : {ClientDataSet::FileFormat::Binary, ClientDataSet::FileFormat::Xml}) {
        QTemporaryDir dir;
        gravaParametros(dir.filePath(QStringLiteral("PARAMETROSZOR.CDS")), {kPrimeiro, kSegundo},
                        /*comExtra=*/true, QString(), formato);
        ClientDataSet cds;
        const auto p = Cli_Kel00815::LerParametrosZor(cds, dir.path());
        EXPECT_EQ(p.stArqParametros, dir.filePath(QStringLiteral("PARAMETROSZOR.CDS")));
        EXPECT_EQ(p.inCor[0], 1);
        EXPECT_EQ(p.inCor[1], 255);
        EXPECT_EQ(p.inCor[5], 6);
        EXPECT_EQ(p.stIdEsquema, QStringLiteral("007"));
        EXPECT_EQ(p.stCdFilial, QStringLiteral("0001"));
        EXPECT_EQ(p.stCdCaixa, QStringLiteral("002"));
    }
}

TEST(ParametrosZor, FileCopiedFromWindowsWithOtherLetterCaseIsFound) {
    QTemporaryDir dir;
    gravaParametros(dir.filePath(QStringLiteral("ParametrosZor.cds")), {kPrimeiro});
    ClientDataSet cds;
    const auto p = Cli_Kel00815::LerParametrosZor(cds, dir.path());
    EXPECT_EQ(p.stCdFilial, QStringLiteral("0001"));
}

TEST(ParametrosZor, FileWithoutRecordsReadsAsZeros) {
    QTemporaryDir dir;
    gravaParametros(dir.filePath(QStringLiteral("PARAMETROSZOR.CDS")), {});
    ClientDataSet cds;
    const auto p = Cli_Kel00815::LerParametrosZor(cds, dir.path());
    EXPECT_FALSE(p.stArqParametros.isEmpty());
    for (int c : p.inCor) EXPECT_EQ(c, 0);
    EXPECT_TRUE(p.stCdCaixa.isEmpty());
}

TEST(ParametrosZor, UnreadableFileOrMissingFieldRaises) {
    QTemporaryDir dir;
    const QString caminho = dir.filePath(QStringLiteral("PARAMETROSZOR.CDS"));
    {
        QFile f(caminho);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("isto nao e um arquivo de parametros");
    }
    ClientDataSet cds1;
    EXPECT_THROW(Cli_Kel00815::LerParametrosZor(cds1, dir.path()), dataset::DataSetError);

    gravaParametros(caminho, {kPrimeiro}, false, QStringLiteral("CDCAIXA"));
    ClientDataSet cds2;
    try {
        Cli_Kel00815::LerParametrosZor(cds2, dir.path());
        FAIL() << "a file without CDCAIXA must not be accepted";
    } catch (const dataset::DataSetError& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("CDCAIXA"))) << e.what();
    }
}

// Something named like the parameter file that is no file (a device, a FIFO, a folder, a link to
// one of them, in any letter case) is refused at once with a message that says so: a link to
// /dev/zero grew the host without end, and a FIFO waits for a writer that never comes.
TEST(ParametrosZor, SomethingThatIsNotAFileIsRefusedWithAClearMessage) {
    QTemporaryDir dir;
    const QString fifo = dir.filePath(QStringLiteral("fila"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString pasta = dir.filePath(QStringLiteral("pasta"));
    ASSERT_TRUE(QDir().mkdir(pasta));
    for (const QString& nome :
         {QStringLiteral("PARAMETROSZOR.CDS"), QStringLiteral("parametrosZor.cds")}) {
        const QString caminho = dir.filePath(nome);
        for (const QString& alvo :
             {QStringLiteral("/dev/zero"), QStringLiteral("/dev/null"), fifo, pasta}) {
            ASSERT_TRUE(QFile::link(alvo, caminho));
            ClientDataSet cds;
            try {
                Cli_Kel00815::LerParametrosZor(cds, dir.path());
                ADD_FAILURE() << "accepted " << alvo.toStdString();
            } catch (const dataset::DataSetError& e) {
                EXPECT_TRUE(e.message().contains(QStringLiteral("não é um arquivo comum")))
                    << e.what();
                EXPECT_TRUE(e.message().contains(nome)) << e.what();
            }
            QFile::remove(caminho);
        }
    }
    ASSERT_TRUE(QFile::rename(fifo, dir.filePath(QStringLiteral("PARAMETROSZOR.CDS"))));
    ClientDataSet cds;
    EXPECT_THROW(Cli_Kel00815::LerParametrosZor(cds, dir.path()), dataset::DataSetError);
}
