// host-minimo [--screenshot FILE]: installs the point-of-sale services, loads the module by path
// and calls its entry, as a till's host program does. With --screenshot the screen is saved as a
// PNG and closed, so that the call returns without anybody at the till.
#include <QApplication>
#include <QDialog>
#include <QLibrary>
#include <QTimer>

#include <cstdio>

#include <hul00002/Hul00002.h>
#include <pkg_kel00815/ListaPresenca.h>
#include <platform/Platform.h>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    const qsizetype i = args.indexOf(QStringLiteral("--screenshot"));
    const QString captura = i > 0 && i + 1 < args.size() ? args.at(i + 1) : QString();

    platform::SetErrorDisplay(
        [](const QString& m) { std::fprintf(stderr, "Erro: %s\n", m.toLocal8Bit().constData()); });
    Hul00002::InstallDefaults();

    QLibrary modulo(QStringLiteral(LISTAPRESENCA_MODULO));
    auto entrada = reinterpret_cast<ListaPresencaFn>(modulo.resolve("ListaPresenca"));
    if (!entrada) {
        std::fprintf(stderr, "Módulo não carregado: %s\n",
                     modulo.errorString().toLocal8Bit().constData());
        return 2;
    }
    bool salvo = false;
    if (!captura.isEmpty()) {
        auto* timer = new QTimer(&app);
        QObject::connect(timer, &QTimer::timeout, &app, [&] {
            auto* tela = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (!tela) return;
            // Only the attendance screen counts: an error dialog in its place is a failure.
            if (tela->objectName() == QLatin1String("frmPresenca"))
                salvo = salvo || tela->grab().save(captura);
            else
                std::fprintf(stderr, "Janela inesperada: %s\n",
                             tela->objectName().toLocal8Bit().constData());
            tela->reject();
        });
        timer->start(50);
    }
    QVariant resultado;
    entrada(nullptr, -1, &resultado);
    return captura.isEmpty() || salvo ? 0 : 1;
}
