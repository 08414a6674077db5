// A day of use in one process: the host calls ListaPresenca again and again. Every round opens
// the screen through the entry, picks the header through the pickers' stand-ins, loads the list,
// marks a consumer and closes; memory and open handles must stay flat. The rounds are
// LISTAPRESENCA_SOAK_ROUNDS (1000 by default); the figures go to the test's output.

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <unistd.h>

#include <cstdio>

#include <gtest/gtest.h>

#include <hul00002/Hul00002.h>
#include <pkg_kel00815/ListaPresenca.h>

#include "common/TillFiles.h"
#include "dataset/ClientDataSet.h"
#include "dataset/DataSetModel.h"
#include "module/Cli_Kel00815.h"
#include "module/screen/TfrmPresenca.h"
#include "platform/Controls.h"
#include "platform/Platform.h"

using Cli_Kel00815::frmPresenca;

#if defined(__SANITIZE_ADDRESS__)
// Freed memory waits in AddressSanitizer's quarantine (256 MB by default) and counts as resident
// while it waits; without it the resident size shows what the rounds keep. LeakSanitizer still
// checks at exit, and the other test programs keep the quarantine for use after free.
extern "C" __attribute__((visibility("default"), used)) const char* __asan_default_options() {
    return "quarantine_size_mb=0:thread_local_quarantine_size_kb=0";
}
#endif

namespace {

long residentKb() {
    QFile f(QStringLiteral("/proc/self/statm"));
    if (!f.open(QIODevice::ReadOnly)) return -1;
    const QList<QByteArray> campos = f.readAll().split(' ');
    return campos.size() > 1 ? campos.at(1).toLong() * (sysconf(_SC_PAGESIZE) / 1024) : -1;
}

qsizetype openHandles() {
    return QDir(QStringLiteral("/proc/self/fd"))
        .entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)
        .size();
}

int rounds() {
    bool ok = false;
    const int n = qEnvironmentVariableIntValue("LISTAPRESENCA_SOAK_ROUNDS", &ok);
    return ok && n > 0 ? n : 1000;
}

class Dia : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        const QString banco = dir.filePath(QStringLiteral("demo.db"));
        ASSERT_EQ(QProcess::execute(QStringLiteral(GERADEMO),
                                    {QStringLiteral("--out"), banco, QStringLiteral("--today"),
                                     QStringLiteral("15/03/2024")}),
                  0);
        qputenv("LISTAPRESENCA_CONEXAO", banco.toUtf8());
        parametros = QCoreApplication::applicationDirPath() + QStringLiteral("/PARAMETROSZOR.CDS");
        teste::writeParameterFile(parametros);
        presenter = platform::SetMensagemPresenter([this](const platform::MensagemArgs& a) {
            avisos << a.texto;
            return true;
        });
        display = platform::SetErrorDisplay([this](const QString& m) { avisos << m; });
        relogio = platform::SetClock([] { return QDateTime(QDate(2024, 3, 15), QTime(11, 30)); });
        Hul00002::ResetToUnassigned();
        // The pickers' stand-ins: the first row of a pick list, today, the service's start.
        Hul00002::Pesquisa = [](dataset::ClientDataSet& ds, int, const QString&, int, int, int, int,
                                int) {
            ds.first();
            return !ds.eof();
        };
        Hul00002::TouchCalendar = [](int, int, int) {
            return platform::Hoje().toString(QStringLiteral("dd/MM/yyyy"));
        };
        Hul00002::TecladoNumerico = [](QString& entrada, const QString&, const QString&,
                                       const QString&, int, int, int, int, int, int) {
            entrada = frmPresenca->stHrIniSerTur;
            return true;
        };
    }
    void TearDown() override {
        Hul00002::ResetToUnassigned();
        platform::SetMensagemPresenter(presenter);
        platform::SetErrorDisplay(display);
        platform::SetClock(relogio);
        QFile::remove(parametros);
        qunsetenv("LISTAPRESENCA_CONEXAO");
    }

    // One call of the entry, as a host makes it, with the operator's work while it shows.
    void rodada() {
        bool feito = false;
        QTimer operador;
        QObject::connect(&operador, &QTimer::timeout, [&] {
            if (feito || !frmPresenca || !frmPresenca->isVisible()) return;
            feito = true;
            trabalha(*frmPresenca);
        });
        operador.start(0);
        QVariant resultado;
        Cli_Kel00815::ListaPresenca(nullptr, -1, resultado);
        EXPECT_TRUE(feito);
    }

    void trabalha(Cli_Kel00815::TfrmPresenca& tela) {
        for (QWidget* passo :
             {static_cast<QWidget*>(tela.dxfCentCusto), static_cast<QWidget*>(tela.dxfServico),
              static_cast<QWidget*>(tela.dxfDtVenda), static_cast<QWidget*>(tela.dxfhrVenda),
              static_cast<QWidget*>(tela.blbCarregar)})
            QTest::mouseClick(passo, Qt::LeftButton);
        // The first consumer who can be marked (active, no sale yet), tapped in the grid's mark
        // column; the grid shows the dataset's rows in the dataset's order.
        auto* grade = tela.dbsPresenca;
        auto* modelo = grade->dataModel();
        dataset::ClientDataSet& lista = *tela.cdsPresenca;
        int linha = -1;
        int r = 0;
        for (lista.first(); !lista.eof() && linha < 0; lista.next(), ++r)
            if (lista.fieldByName(QStringLiteral("IDSITCONSUMI")).asString() ==
                    QLatin1String("1") &&
                lista.fieldByName(QStringLiteral("DTHRREALCONCONS")).asString().isEmpty())
                linha = r;
        const int marca = modelo->columnOfField(QStringLiteral("IDCHECK"));
        listas += modelo->rowCount() > 0;
        if (linha >= 0) {
            const QModelIndex i = modelo->index(linha, marca);
            grade->scrollTo(i);
            QTest::mouseClick(grade->viewport(), Qt::LeftButton, {}, grade->visualRect(i).center());
            marcados += modelo->index(linha, marca).data().toString() == QLatin1String("S");
        }
        QTest::mouseClick(tela.findChild<QLabel*>(QStringLiteral("lblSair")), Qt::LeftButton);
    }

    QTemporaryDir dir;
    QString parametros;
    QStringList avisos;
    int listas = 0;
    int marcados = 0;
    platform::MensagemPresenter presenter;
    platform::ErrorDisplay display;
    platform::Clock relogio;
};

TEST_F(Dia, AThousandRoundsInOneProcessKeepMemoryAndHandlesFlat) {
    // The offscreen platform says at every round that it cannot shape a window.
    static QtMessageHandler anterior =
        qInstallMessageHandler([](QtMsgType t, const QMessageLogContext& c, const QString& m) {
            if (!m.contains(QLatin1String("window masks"))) anterior(t, c, m);
        });
    const int total = rounds();
    // The toolkit's caches (fonts, pictures, the driver) fill during the first rounds.
    const int aquecimento = qMin(50, total / 4);
    for (int i = 0; i < aquecimento; ++i) rodada();
    const long memoriaAntes = residentKb();
    const qsizetype handlesAntes = openHandles();
    for (int i = aquecimento; i < total; ++i) rodada();
    const long memoriaDepois = residentKb();
    const qsizetype handlesDepois = openHandles();

    std::printf(
        "soak: %d rounds; after %d warm-up rounds resident memory %ld KB -> %ld KB "
        "(%+ld KB), open handles %lld -> %lld\n",
        total, aquecimento, memoriaAntes, memoriaDepois, memoriaDepois - memoriaAntes,
        static_cast<long long>(handlesAntes), static_cast<long long>(handlesDepois));
    RecordProperty("memoryGrowthKb", static_cast<int>(memoriaDepois - memoriaAntes));
    EXPECT_TRUE(avisos.isEmpty()) << avisos.value(0).toStdString();
    EXPECT_EQ(listas, total);
    EXPECT_EQ(marcados, total);
    EXPECT_EQ(handlesDepois, handlesAntes);
    // A leak of one screen per round would be megabytes; the allocator's own drift is not.
    EXPECT_LT(memoriaDepois - memoriaAntes, 4096);
    EXPECT_EQ(frmPresenca, nullptr);
    qInstallMessageHandler(anterior);
}

}  // namespace
