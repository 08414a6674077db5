#include <QApplication>
#include <QLabel>
#include <QLibrary>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>

#include <gtest/gtest.h>

#include <hul00002/Hul00002.h>
#include <pkg_kel00815/ListaPresenca.h>

#include "common/TillFiles.h"
#include "dataset/ClientDataSet.h"
#include "module/Cli_Kel00815.h"
#include "module/dataservice/TrdmListaPresenca.h"
#include "module/screen/TfrmPresenca.h"
#include "platform/Controls.h"
#include "platform/Platform.h"

using Cli_Kel00815::frmPresenca;
using Srv_Kel00815::rdmListaPresenca;

namespace {

// Runs `acao` once the screen is up; gives up (closing whatever modal is open) after a while so
// a broken screen cannot hang the suite.
void quandoVisivel(std::function<void()> acao) {
    auto* timer = new QTimer;
    auto* tentativas = new int(0);
    QObject::connect(timer, &QTimer::timeout, [timer, tentativas, acao] {
        ++*tentativas;
        if (frmPresenca && frmPresenca->isVisible()) {
            timer->stop();
            acao();
        } else if (*tentativas > 200) {
            timer->stop();
            if (QWidget* w = QApplication::activeModalWidget()) w->close();
        } else {
            return;
        }
        timer->deleteLater();
        delete tentativas;
    });
    timer->start(10);
}

class Entrada : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        banco = dir.filePath(QStringLiteral("till.db"));
        // The till's tables, empty: the entry only has to open the screen on them.
        teste::makeSqlite(banco, teste::emptyTillTables());
        qputenv("LISTAPRESENCA_CONEXAO", banco.toUtf8());
        anterior = platform::SetMensagemPresenter([this](const platform::MensagemArgs& a) {
            mensagens << a;
            telaVisivelNaMensagem = frmPresenca && frmPresenca->isVisible();
            return true;
        });
        Hul00002::ResetToUnassigned();
    }
    void TearDown() override {
        platform::SetMensagemPresenter(anterior);
        qunsetenv("LISTAPRESENCA_CONEXAO");
    }
    void chama(QVariant& resultado) { Cli_Kel00815::ListaPresenca(nullptr, -1, resultado); }

    QTemporaryDir dir;
    QString banco;
    QList<platform::MensagemArgs> mensagens;
    bool telaVisivelNaMensagem = false;
    platform::MensagemPresenter anterior;
};

}  // namespace

TEST_F(Entrada, ClosingByXReleasesBothObjectsAndLeavesTheResultUntouched) {
    QVariant resultado(42);
    quandoVisivel([] {
        EXPECT_NE(rdmListaPresenca, nullptr);
        EXPECT_EQ(frmPresenca->inPasso, 1);
        auto* sair = frmPresenca->findChild<QLabel*>(QStringLiteral("lblSair"));
        ASSERT_NE(sair, nullptr);
        QTest::mouseClick(sair, Qt::LeftButton);
    });
    chama(resultado);
    EXPECT_EQ(frmPresenca, nullptr);
    EXPECT_EQ(rdmListaPresenca, nullptr);
    EXPECT_EQ(resultado, QVariant(42));
    EXPECT_TRUE(mensagens.isEmpty());
}

TEST_F(Entrada, EscapeInTheGridClosesAndEachCallStartsAfreshWithSelectAllReset) {
    for (int chamada = 0; chamada < 2; ++chamada) {
        bool viuSelTudoFalso = false;
        quandoVisivel([&viuSelTudoFalso] {
            viuSelTudoFalso = !Cli_Kel00815::boSelTudo;
            Cli_Kel00815::boSelTudo = true;  // as a mark-all would leave it
            QWidget* grade = frmPresenca->findChild<QWidget*>(QStringLiteral("dbsPresenca"));
            ASSERT_NE(grade, nullptr);
            EXPECT_TRUE(grade->hasFocus() || QApplication::focusWidget() == nullptr ||
                        QApplication::focusWidget() == grade);
            QTest::keyClick(grade, Qt::Key_Escape);
        });
        QVariant resultado;
        chama(resultado);
        EXPECT_TRUE(viuSelTudoFalso) << "call " << chamada;
        EXPECT_EQ(frmPresenca, nullptr);
        EXPECT_EQ(rdmListaPresenca, nullptr);
    }
    EXPECT_TRUE(Cli_Kel00815::boSelTudo);  // survives the call; the next initialisation resets it
}

TEST_F(Entrada, UnreachableDatabaseShowsTheErrorOnceWithoutPasswordAndNeverShowsTheScreen) {
    qputenv("LISTAPRESENCA_CONEXAO",
            "Provider=SQLOLEDB.1;Data Source=127.0.0.1,1;Initial Catalog=ZOR;"
            "User ID=caixa;Password=S3gr3d0!;Connect Timeout=2");
    QVariant resultado(QStringLiteral("intocado"));
    chama(resultado);
    ASSERT_EQ(mensagens.size(), 1);
    const auto& m = mensagens.first();
    EXPECT_EQ(m.tipo, 3);
    EXPECT_EQ(m.esquema, QStringLiteral("002"));
    EXPECT_EQ(m.flag3, QStringLiteral("N"));
    EXPECT_EQ(m.flag4, QStringLiteral("N"));
    EXPECT_FALSE(m.texto.isEmpty());
    EXPECT_FALSE(m.texto.contains(QStringLiteral("S3gr3d0!")));
    EXPECT_FALSE(telaVisivelNaMensagem);
    EXPECT_EQ(frmPresenca, nullptr);
    EXPECT_EQ(rdmListaPresenca, nullptr);
    EXPECT_EQ(resultado, QVariant(QStringLiteral("intocado")));
}

TEST_F(Entrada, MissingSqliteFileIsAnErrorNotAnEmptyDatabase) {
    const QByteArray inexistente = dir.filePath(QStringLiteral("nao-existe.db")).toUtf8();
    qputenv("LISTAPRESENCA_CONEXAO", inexistente);
    QVariant resultado;
    chama(resultado);
    ASSERT_EQ(mensagens.size(), 1);
    EXPECT_EQ(mensagens.first().tipo, 3);
    EXPECT_FALSE(QFile::exists(QString::fromUtf8(inexistente)));
    EXPECT_EQ(rdmListaPresenca, nullptr);
}

TEST_F(Entrada, AnEmptyOrForeignDatabaseIsRefusedAsNotTheTillsBeforeTheScreenShows) {
    const QString vazio = dir.filePath(QStringLiteral("vazio.db"));
    QFile(vazio).open(QIODevice::WriteOnly);
    const QString alheio = dir.filePath(QStringLiteral("alheio.db"));
    {
        QSqlDatabase db =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("alheio"));
        db.setDatabaseName(alheio);
        ASSERT_TRUE(db.open());
        QSqlQuery(db).exec(QStringLiteral("CREATE TABLE CONSUMIDOR (CDCONSUMIDOR TEXT)"));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("alheio"));
    for (const QString& arquivo : {vazio, alheio}) {
        mensagens.clear();
        qputenv("LISTAPRESENCA_CONEXAO", arquivo.toUtf8());
        // Should the screen show all the same, it is closed, and the expectations tell.
        QTimer fecha;
        QObject::connect(&fecha, &QTimer::timeout, [] {
            if (frmPresenca && frmPresenca->isVisible())
                QTest::mouseClick(frmPresenca->findChild<QLabel*>(QStringLiteral("lblSair")),
                                  Qt::LeftButton);
        });
        fecha.start(10);
        QVariant resultado;
        chama(resultado);
        ASSERT_EQ(mensagens.size(), 1);
        EXPECT_EQ(mensagens.first().tipo, 3);
        EXPECT_TRUE(mensagens.first().texto.startsWith(
            QStringLiteral("Este banco de dados não é o do caixa")))
            << mensagens.first().texto.toStdString();
        EXPECT_FALSE(telaVisivelNaMensagem);
        EXPECT_EQ(rdmListaPresenca, nullptr);
    }
}

TEST_F(Entrada, ASecondCallWhileTheScreenIsOpenIsRefusedAndChangesNothing) {
    Srv_Kel00815::TrdmListaPresenca* dmAberto = nullptr;
    Cli_Kel00815::TfrmPresenca* telaAberta = nullptr;
    quandoVisivel([&] {
        telaAberta = frmPresenca;
        dmAberto = rdmListaPresenca;
        QVariant outro;
        Cli_Kel00815::ListaPresenca(nullptr, -1, outro);
        EXPECT_EQ(frmPresenca, telaAberta);
        EXPECT_EQ(rdmListaPresenca, dmAberto);
        EXPECT_TRUE(rdmListaPresenca->adcListaPresenca->connected());
        QTest::mouseClick(frmPresenca->findChild<QLabel*>(QStringLiteral("lblSair")),
                          Qt::LeftButton);
    });
    QVariant resultado;
    chama(resultado);
    ASSERT_EQ(mensagens.size(), 1);
    EXPECT_EQ(mensagens.first().tipo, 2);
    EXPECT_EQ(frmPresenca, nullptr);
}

TEST_F(Entrada, ADialogThatFailsNeverReachesTheHost) {
    // Every message of the entry raises: the refusal of a second call and the start error alike.
    platform::SetMensagemPresenter([this](const platform::MensagemArgs& a) -> bool {
        mensagens << a;
        throw std::runtime_error("diálogo indisponível");
    });
    bool recusaVoltou = false;
    quandoVisivel([&] {
        QVariant outro;
        Cli_Kel00815::ListaPresenca(nullptr, -1, outro);
        recusaVoltou = true;
        QTest::mouseClick(frmPresenca->findChild<QLabel*>(QStringLiteral("lblSair")),
                          Qt::LeftButton);
    });
    QVariant resultado;
    EXPECT_NO_THROW(chama(resultado));
    EXPECT_TRUE(recusaVoltou);
    EXPECT_EQ(frmPresenca, nullptr);

    qputenv("LISTAPRESENCA_CONEXAO", dir.filePath(QStringLiteral("nao-existe.db")).toUtf8());
    EXPECT_NO_THROW(chama(resultado));
    EXPECT_EQ(mensagens.size(), 2);
    EXPECT_EQ(rdmListaPresenca, nullptr);
}

TEST_F(Entrada, TheTillsSchemePaintsTheHeaderWhileTheLegendColoursStay) {
    // The parameter file beside this test program, as a till has it beside its host.
    const QString arquivo =
        QCoreApplication::applicationDirPath() + QStringLiteral("/PARAMETROSZOR.CDS");
    teste::writeParameterFile(arquivo, QStringLiteral("0001"), QString(), QString(),
                              {0x00FF00, 255, 0x00FF00, 0x00FF00, 0x00FF00, 0x00FF00});
    QColor painel, pendente, inativos, vendidos, total;
    QString filial;
    quandoVisivel([&] {
        painel = frmPresenca->panCabec->palette().color(QPalette::Window);
        pendente = frmPresenca->dxfPendente->color();
        inativos = frmPresenca->dxfInativos->color();
        vendidos = frmPresenca->dxfNcads->color();
        total = frmPresenca->dxfTotalGeral->color();
        filial = frmPresenca->stCdFilial;
        QTest::mouseClick(frmPresenca->findChild<QLabel*>(QStringLiteral("lblSair")),
                          Qt::LeftButton);
    });
    QVariant resultado;
    chama(resultado);
    QFile::remove(arquivo);
    EXPECT_EQ(painel, QColor(255, 0, 0));
    EXPECT_EQ(pendente, QColor(0, 128, 0));
    EXPECT_EQ(inativos, QColor(255, 0, 0));
    EXPECT_EQ(vendidos, QColor(128, 128, 128));
    EXPECT_EQ(total, QColor(0, 128, 0));
    EXPECT_EQ(filial, QStringLiteral("0001"));
    EXPECT_TRUE(mensagens.isEmpty());
}

TEST(Exportacoes, TheModuleExportsItsEntryGlobalsAndPackageFunctions) {
    QLibrary lib(QCoreApplication::applicationDirPath() +
                 QStringLiteral("/../../bin/libPkg_Kel00815.so"));
    ASSERT_TRUE(lib.load()) << qPrintable(lib.errorString());
    for (const char* nome :
         {"ListaPresenca", "Initialize", "Finalize", "GetPackageInfoTable",
          "_ZN12Cli_Kel0081513ListaPresencaEPK8QVariantiRS0_", "_ZN12Cli_Kel0081511frmPresencaE",
          "_ZN12Cli_Kel008159boSelTudoE", "_ZN12Srv_Kel0081516rdmListaPresencaE"}) {
        EXPECT_NE(lib.resolve(nome), nullptr) << nome;
    }
}
