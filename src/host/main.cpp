// pdv-host: the demo point-of-sale host. Installs the POS services, loads the attendance module
// by path and calls its entry, as a till's host program does.

#include <QApplication>
#include <QCommandLineParser>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLibrary>
#include <QTimer>

#include <cstdio>
#include <functional>
#include <memory>

#include <hul00002/Hul00002.h>
#include <pkg_kel00815/ListaPresenca.h>

#include "SaleScript.h"
#include "platform/Platform.h"
#include "platform/StateDirectory.h"

namespace {

bool temTela() {
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) return true;
    return !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

void imprime(const QString& s) {
    std::fputs(s.toLocal8Bit().constData(), stdout);
    std::fputs("\n", stdout);
    std::fflush(stdout);
}

// Screenshot mode: the first modal window the module opens is saved as a PNG and closed,
// and so is every later one, so the entry returns without anybody at the till.
void agendaCaptura(const QString& arquivo, bool* salvo, bool* outraJanela) {
    auto* timer = new QTimer(qApp);
    timer->setInterval(50);
    QObject::connect(timer, &QTimer::timeout, qApp, [arquivo, salvo, outraJanela] {
        QWidget* w = QApplication::activeModalWidget();
        if (!w) return;
        if (!*salvo) {
            QCoreApplication::processEvents();
            // Another login's picture in the shared state folder is replaced, not refused.
            QFile::remove(arquivo);
            if (w->grab().save(arquivo)) {
                *salvo = true;
                imprime(
                    QStringLiteral("Tela salva em %1").arg(QFileInfo(arquivo).absoluteFilePath()));
                *outraJanela = w->objectName() != QLatin1String("frmPresenca");
                if (*outraJanela)
                    imprime(QStringLiteral("Atenção: a janela capturada não é a Lista de Presença "
                                           "(\"%1\"); veja a imagem.")
                                .arg(w->windowTitle()));
            }
        }
        if (auto* d = qobject_cast<QDialog*>(w))
            d->reject();
        else
            w->close();
    });
    timer->start();
}

// Whether the attendance screen was ever shown: the entry reports a failed start only to the
// operator, and a host that exits 0 then would pass for a till that works.
class ScreenWatch : public QObject {
public:
    std::function<void(QWidget*)> onShown;
    bool shown = false;

protected:
    bool eventFilter(QObject* o, QEvent* e) override {
        if (e->type() == QEvent::Show && !shown && o->isWidgetType() &&
            o->objectName() == QLatin1String("frmPresenca")) {
            shown = true;
            if (onShown) {
                auto* w = static_cast<QWidget*>(o);
                QTimer::singleShot(0, w, [this, w] { onShown(w); });
            }
        }
        return false;
    }
};

}  // namespace

int main(int argc, char** argv) {
    QString capturaPadrao;
    bool semTela = false;
    if (!temTela()) {
        semTela = true;
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("pdv-host"));
    QApplication::setApplicationVersion(QStringLiteral(LISTAPRESENCA_VERSAO));

    QCommandLineParser cli;
    cli.setApplicationDescription(
        QStringLiteral("Host de demonstração do PDV: abre a Lista de Presença.\n"
                       "Saída: 0 a tela abriu e fechou (com --sell: e a venda foi gerada); 1 nada "
                       "foi capturado; 2 módulo não carregado; 3 a janela capturada não era a "
                       "Lista de Presença (um erro); 4 a Lista de Presença não abriu (banco de "
                       "dados, configuração: veja a mensagem e o registro de suporte); 5 a venda "
                       "de --sell não foi gerada."));
    cli.addHelpOption();
    cli.addVersionOption();
    QCommandLineOption optModulo(QStringLiteral("module"),
                                 QStringLiteral("Caminho da biblioteca do módulo."),
                                 QStringLiteral("arquivo"));
    QCommandLineOption optCaptura(QStringLiteral("screenshot"),
                                  QStringLiteral("Salva a tela inicializada em um PNG e sai."),
                                  QStringLiteral("arquivo"));
    QCommandLineOption optVenda(
        QStringLiteral("sell"),
        QStringLiteral("Faz uma venda sem operador, para conferir uma instalação: o primeiro "
                       "centro de custo, o serviço informado (hoje, no seu início), o primeiro "
                       "consumidor que pode ser vendido, a geração confirmada; depois fecha a "
                       "tela. Diz cada passo e cada mensagem na saída."),
        QStringLiteral("servico"));
    cli.addOption(optModulo);
    cli.addOption(optCaptura);
    cli.addOption(optVenda);
    cli.process(app);

    // The host's general error display: an error no handler caught, shown and then carried on.
    platform::SetErrorDisplay([](const QString& mensagem) {
        std::fprintf(stderr, "Erro: %s\n", mensagem.toLocal8Bit().constData());
        platform::Mensagem(mensagem, QString(), QStringLiteral("N"), QStringLiteral("N"), 3,
                           QString(), QStringLiteral("002"), 0, nullptr);
    });
    Hul00002::InstallDefaults();

    const QString dirExe = QCoreApplication::applicationDirPath();
    const QString caminho = cli.isSet(optModulo) ? cli.value(optModulo)
                                                 : dirExe + QStringLiteral("/libPkg_Kel00815.so");
    QLibrary modulo(caminho);
    if (!modulo.load()) {
        imprime(QStringLiteral("Não foi possível carregar o módulo %1: %2")
                    .arg(caminho, modulo.errorString()));
        return 2;
    }
    auto inicializa = reinterpret_cast<void (*)()>(modulo.resolve("Initialize"));
    auto finaliza = reinterpret_cast<void (*)()>(modulo.resolve("Finalize"));
    auto entrada = reinterpret_cast<ListaPresencaFn>(modulo.resolve("ListaPresenca"));
    if (!entrada) {
        imprime(QStringLiteral("O módulo %1 não exporta ListaPresenca.").arg(caminho));
        return 2;
    }
    if (inicializa) inicializa();

    QString arquivoCaptura = cli.value(optCaptura);
    std::unique_ptr<SaleScript> roteiro;
    if (cli.isSet(optVenda)) {
        roteiro = std::make_unique<SaleScript>(cli.value(optVenda));
        roteiro->install();
    }
    ScreenWatch tela;
    if (roteiro) tela.onShown = [&roteiro](QWidget* w) { roteiro->run(w); };
    app.installEventFilter(&tela);
    if (arquivoCaptura.isEmpty() && semTela && !roteiro) {
        // Never under /usr: an installed host writes only in the till's state folder.
        platform::makeSharedFolder(platform::stateDirectory());
        arquivoCaptura = platform::stateDirectory() + QStringLiteral("/lista-presenca.png");
        imprime(
            QStringLiteral("Sem tela gráfica (DISPLAY vazio): a Lista de Presença será "
                           "desenhada fora da tela e salva em PNG."));
    }
    bool salvo = false, outraJanela = false;
    if (!arquivoCaptura.isEmpty()) agendaCaptura(arquivoCaptura, &salvo, &outraJanela);

    QVariant resultado;
    entrada(nullptr, -1, &resultado);

    if (finaliza) finaliza();
    if (!tela.shown) {
        imprime(
            QStringLiteral("A Lista de Presença não abriu; o motivo foi mostrado e está no "
                           "registro de suporte."));
        return 4;
    }
    if (!arquivoCaptura.isEmpty() && !salvo) {
        imprime(QStringLiteral("Nenhuma janela foi aberta para capturar."));
        return 1;
    }
    if (outraJanela) return 3;
    if (roteiro && !roteiro->sold()) return 5;
    return 0;
}
