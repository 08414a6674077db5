// A password never reaches the operator, the output or the log, whatever shape the connection
// string has: a table of malformed strings holding a canary password runs through the entry and
// through the data service, and every text they produce is searched for it.

#include <QApplication>
#include <QCoreApplication>
#include <QFile>
#include <QLabel>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>
#include <QTimer>

#include <unistd.h>

#include <gtest/gtest.h>

#include <hul00002/Hul00002.h>
#include <pkg_kel00815/ListaPresenca.h>

#include "common/FakeTdsServer.h"
#include "common/TillFiles.h"
#include "module/Cli_Kel00815.h"
#include "module/dataservice/TrdmListaPresenca.h"
#include "module/screen/TfrmPresenca.h"
#include "platform/Platform.h"
#include "platform/TADOConnection.h"

using Cli_Kel00815::frmPresenca;
using Srv_Kel00815::rdmListaPresenca;

namespace {

// With a space and an accent: a mask that stops at a blank, or a text re-read in another code
// page, shows itself.
const QString kCanario = QStringLiteral("Can\u00e1rio Secr3to");
const QStringList kPedacos = {QStringLiteral("Can\u00e1rio"), QStringLiteral("Secr3to")};

// Everything the process writes meanwhile: standard output and error, and Qt's log.
class Captura {
public:
    Captura() {
        arquivo_.open();
        std::fflush(stdout);
        std::fflush(stderr);
        out_ = ::dup(1);
        err_ = ::dup(2);
        ::dup2(arquivo_.handle(), 1);
        ::dup2(arquivo_.handle(), 2);
        atual_ = this;
        anterior_ = qInstallMessageHandler(
            [](QtMsgType, const QMessageLogContext&, const QString& m) { atual_->log_ << m; });
    }
    ~Captura() { termina(); }
    QString texto() {
        termina();
        QFile f(arquivo_.fileName());
        f.open(QIODevice::ReadOnly);
        return QString::fromUtf8(f.readAll()) + log_.join(QLatin1Char('\n'));
    }

private:
    void termina() {
        if (out_ < 0) return;
        std::fflush(stdout);
        std::fflush(stderr);
        ::dup2(out_, 1);
        ::dup2(err_, 2);
        ::close(out_);
        ::close(err_);
        out_ = err_ = -1;
        qInstallMessageHandler(anterior_);
    }
    static inline Captura* atual_ = nullptr;
    QTemporaryFile arquivo_;
    int out_ = -1, err_ = -1;
    QStringList log_;
    QtMessageHandler anterior_ = nullptr;
};

class Canario : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        anterior = platform::SetMensagemPresenter([this](const platform::MensagemArgs& a) {
            textos << a.texto;
            return true;
        });
        displayAnterior = platform::SetErrorDisplay([this](const QString& m) { textos << m; });
        Hul00002::ResetToUnassigned();
        // A database of the till: a string that reaches it opens the screen.
        banco = dir.filePath(QStringLiteral("till.db"));
        teste::makeSqlite(banco, teste::emptyTillTables());
    }
    void TearDown() override {
        platform::SetMensagemPresenter(anterior);
        platform::SetErrorDisplay(displayAnterior);
        qunsetenv("LISTAPRESENCA_CONEXAO");
    }

    // Through the entry, as the host calls it, and through the data service, as the screen
    // and a host call it.
    void percorre(const QString& conexao) {
        qputenv("LISTAPRESENCA_CONEXAO", conexao.toUtf8());
        // A string that connects opens the screen: it closes as soon as it shows.
        QTimer fecha;
        QObject::connect(&fecha, &QTimer::timeout, [] {
            if (frmPresenca && frmPresenca->isVisible())
                QTest::mouseClick(frmPresenca->findChild<QLabel*>(QStringLiteral("lblSair")),
                                  Qt::LeftButton);
        });
        fecha.start(5);
        QVariant resultado;
        Cli_Kel00815::ListaPresenca(nullptr, -1, resultado);
        fecha.stop();

        rdmListaPresenca = new Srv_Kel00815::TrdmListaPresenca();
        try {
            rdmListaPresenca->MtsDataModuleActivate(nullptr);
        } catch (...) {
            textos << platform::ADOExceptionMessage(std::current_exception(),
                                                    rdmListaPresenca->adcListaPresenca, {});
            platform::HandleException(std::current_exception());
        }
        for (const QVariant& v :
             {Srv_Kel00815::getCentroCusto(),
              Srv_Kel00815::getServico(QStringLiteral("0001"), QStringLiteral("001")),
              Srv_Kel00815::getPresenca({}, {}, {}, {}, QStringLiteral("15/03/2024")),
              Srv_Kel00815::getProdServ({}, {}, {}), Srv_Kel00815::getProdServTCons({}, {}, {}, {}),
              Srv_Kel00815::getTipoCons({}, {}, {}, {}, QDateTime())})
            if (v.typeId() == QMetaType::QString) textos << v.toString();
        delete rdmListaPresenca;
        qunsetenv("LISTAPRESENCA_CONEXAO");
    }

    QTemporaryDir dir;
    QString banco;
    QStringList textos;
    platform::MensagemPresenter anterior;
    platform::ErrorDisplay displayAnterior;
};

TEST_F(Canario, NoMalformedConnectionStringShowsOrLogsThePassword) {
    FakeTdsServer recusa(FakeTdsServer::Mode::RecordLogin, 60, 16);
    FakeTdsServer aceita(FakeTdsServer::Mode::Lock, 60, 16);
    const QString d = dir.path();
    const QString nenhum = QStringLiteral("Data Source=127.0.0.1,1;Connect Timeout=1");
    const QString recusaSrv =
        QStringLiteral("Data Source=127.0.0.1,%1;Connect Timeout=1;Command Timeout=1")
            .arg(recusa.port());
    const QString aceitaSrv =
        QStringLiteral("Data Source=127.0.0.1,%1;Connect Timeout=1;Command Timeout=1")
            .arg(aceita.port());
    // %1 the canary; the rest completes the string.
    const QList<QPair<QString, QString>> tabela = {
        {QStringLiteral("Provider=MSDAORA.1 Password=%1"), {}},
        {QStringLiteral("Provider=MSDAORA.1;Password=%1"), {}},
        {QStringLiteral("Data Source=demo.db Password=%1"), {}},
        {QStringLiteral("Provider=SQLite;Data Source=%2/nao-existe.db Password=%1"), d},
        {QStringLiteral("Provider=SQLite;Data Source=%2/nao-existe.db;Password=%1"), d},
        {QStringLiteral("Provider=SQLite;Data Source=%2/till.db Password=%1"), d},
        {QStringLiteral("Provider=SQLite;Data Source=%2/till.db;Password=%1"), d},
        {QStringLiteral("%2/nao-existe.db;Password=%1"), d},
        {QStringLiteral("Password=%1"), {}},
        {QStringLiteral("Provider=SQLOLEDB;%2;User ID=sa Password=%1"), nenhum},
        {QStringLiteral("Provider=SQLOLEDB;%2;Password={%1"), nenhum},
        {QStringLiteral("Provider=SQLOLEDB;%2;Password=\"%1"), nenhum},
        {QStringLiteral("Provider=SQLOLEDB;%2;Password = %1 "), nenhum},
        {QStringLiteral("Provider=SQLOLEDB;%2;Password={x};%1}"), nenhum},
        {QStringLiteral("Provider=SQLOLEDB;%2;PWD=%1;Password=%1"), nenhum},
        {QStringLiteral("Provider=SQLOLEDB;%2;Password=%1\nUser ID=sa"), nenhum},
        {QStringLiteral("Provider=SQLOLEDB;%2;Password=\"%1};x\""), recusaSrv},
        {QStringLiteral("Provider=SQLOLEDB;%2;User ID=sa;Password=%1"), recusaSrv},
        {QStringLiteral("Provider=SQLOLEDB;%2;User ID=sa;Password=%1"), aceitaSrv},
        {QStringLiteral("Provider=SQLOLEDB;%2;Extended Properties=\"PWD=%1\""), nenhum},
        {QStringLiteral("Provider=MSDASQL;Extended Properties=\"Driver=SQLite3;"
                        "Database=%2/odbc.db;PWD=%1\""),
         d},
        {QStringLiteral("Driver=SQLite3;Database=%2/nao-existe/x.db;PWD=%1"), d},
        {QStringLiteral("Driver={SQLite3;Database=%2;PWD=%1"), d},
        {QStringLiteral("Provider=SQLOLEDB;%2;Password=%1") + QChar(0) + QStringLiteral("x"),
         nenhum},
    };
    for (const auto& [modelo, resto] : tabela) {
        const QString conexao = QString(modelo)
                                    .replace(QLatin1String("%1"), kCanario)
                                    .replace(QLatin1String("%2"), resto);
        textos.clear();
        Captura captura;
        percorre(conexao);
        const QString saida = captura.texto();
        for (const QString& pedaco : kPedacos) {
            for (const QString& t : textos)
                EXPECT_FALSE(t.contains(pedaco))
                    << modelo.toStdString() << "\n  shown: " << t.toStdString();
            EXPECT_FALSE(saida.contains(pedaco))
                << modelo.toStdString() << "\n  output: " << saida.toStdString();
        }
        EXPECT_FALSE(textos.isEmpty() && !conexao.contains(QLatin1String("till.db")))
            << modelo.toStdString() << ": a failure must be told";
    }
}

// conexao.ini as a Windows editor saves it: the canary in Windows-1252 must not come back
// either as itself or as the mis-decoded text.
TEST_F(Canario, AConfigurationFileInWindows1252KeepsThePasswordHiddenToo) {
    const QString ini = QCoreApplication::applicationDirPath() + QStringLiteral("/conexao.ini");
    QStringEncoder cp1252("Windows-1252");
    teste::writeTillFile(ini, cp1252(QStringLiteral("[Banco]\r\nConexao=Provider=MSDAORA.1 "
                                                    "Password=%1\r\n")
                                         .arg(kCanario)));
    textos.clear();
    Captura captura;
    percorre(QString());
    qunsetenv("LISTAPRESENCA_CONEXAO");
    const QString saida = captura.texto();
    QFile::remove(ini);
    ASSERT_FALSE(textos.isEmpty());
    for (const QString& t : textos + QStringList{saida}) {
        for (const QString& pedaco : kPedacos + QStringList{QStringLiteral("rio Secr")})
            EXPECT_FALSE(t.contains(pedaco)) << t.toStdString();
    }
}

}  // namespace
