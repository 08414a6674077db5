// bench_leitor [--db FILE] [--regen] [--segundos N]
// Badge reads on the attendance screen (offscreen) at the 100,000 consumers of the big
// database's largest cost centre, loaded as the operator loads it:
//   - one read resolved: from the reader's Enter to the row found, marked, repainted and the
//     banner painted, for badges spread over the list (markable, already marked, sold, inactive);
//   - a reader at 20 reads a second for N seconds (30 by default), every character 2 ms after
//     the last on the real clock, each read checked against the badge sent:
//     lost or misread characters show as reads that found another row or none.
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QKeyEvent>
#include <QRandomGenerator>
#include <QTest>
#include <QTimer>

#include <hul00002/Hul00002.h>

#include <cstdio>

#include "common/Medicao.h"
#include "dataset/ClientDataSet.h"
#include "module/Cli_Kel00815.h"
#include "module/dataservice/TrdmListaPresenca.h"
#include "module/screen/TLabel.h"
#include "module/screen/TfrmPresenca.h"

namespace {

// Waits on the event loop (paints and timers run meanwhile) without spinning a core.
void espera(int ms) {
    if (ms <= 0) return;
    QEventLoop laco;
    QTimer::singleShot(ms, Qt::PreciseTimer, &laco, &QEventLoop::quit);
    laco.exec();
}

struct Leitora {
    Cli_Kel00815::TfrmPresenca* tela;
    QElapsedTimer relogio;

    void tecla(QChar c) {
        const Qt::Key k = c == QLatin1Char('\r') ? Qt::Key_Return : Qt::Key(c.toUpper().unicode());
        for (QEvent::Type t : {QEvent::KeyPress, QEvent::KeyRelease}) {
            QKeyEvent e(t, k, Qt::NoModifier, QString(c));
            e.setTimestamp(ulong(relogio.elapsed()) + 1);
            QApplication::sendEvent(tela->dbsPresenca, &e);
        }
    }
    // The code at the reader's pace (`passoMs` between characters, 0: at once), then Enter,
    // whose handling is timed.
    double le(const QString& codigo, int passoMs) {
        for (QChar c : codigo) {
            tecla(c);
            espera(passoMs);
        }
        return bench::mede([&] {
            tecla(QLatin1Char('\r'));
            tela->panFundo->repaint();  // the grid and the banner over it
        });
    }
};

QString atual(Cli_Kel00815::TfrmPresenca* tela) {
    return tela->cdsPresenca->fieldByName(QStringLiteral("CDIDCONSUMID")).asString();
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QString arquivo = QStringLiteral("/tmp/listapresenca-bench2.db");
    bool refaz = false;
    int segundos = 30;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--db") && i + 1 < args.size()) arquivo = args[++i];
        if (args[i] == QLatin1String("--regen")) refaz = true;
        if (args[i] == QLatin1String("--segundos") && i + 1 < args.size())
            segundos = qMax(1, args[++i].toInt());
    }
    if (!bench::garanteBanco(arquivo, app.applicationDirPath(), refaz)) return 1;
    Hul00002::InstallDefaults();
    Hul00002::Bipe = [](int) {};  // the bell is the window system's, not this program's

    qputenv("LISTAPRESENCA_CONEXAO", arquivo.toUtf8());
    auto* tela = new Cli_Kel00815::TfrmPresenca();
    Cli_Kel00815::frmPresenca = tela;
    tela->InicializaForm(nullptr, -1);
    tela->stCdFilial = QString::fromLatin1(bench::kFilial);
    tela->show();
    QCoreApplication::processEvents();
    const bench::Centro& maior = bench::kCentros[2];
    tela->stCdCaixa = QString::fromLatin1(maior.caixa);
    tela->cdsServico->setData(Srv_Kel00815::getServico(tela->stCdFilial, tela->stCdCaixa));
    for (tela->cdsServico->first(); !tela->cdsServico->eof(); tela->cdsServico->next())
        if (tela->cdsServico->fieldByName(QStringLiteral("CDSERVFILI")).asString() ==
            QLatin1String(bench::kServico))
            break;
    tela->stCdServFili = QString::fromLatin1(bench::kServico);
    tela->stCdCCusClie = QString::fromUtf8(maior.codigo);
    tela->blbCentCusto->setCaption(tela->stCdCCusClie);
    tela->blbServico->setCaption(QStringLiteral("ALMOÇO"));
    tela->blbDtVenda->setCaption(QString::fromLatin1(bench::kDia));
    tela->blbHrVenda->setCaption(QStringLiteral("11:30"));
    QTest::mouseClick(tela->blbCarregar, Qt::LeftButton);
    tela->dbsPresenca->viewport()->repaint();

    // The badges of the list, every state among them.
    auto* ds = tela->cdsPresenca;
    QStringList crachas;
    for (ds->first(); !ds->eof(); ds->next())
        crachas << ds->fieldByName(QStringLiteral("CDIDCONSUMID")).asString();
    std::printf("lista: %lld consumidores (%s)\n", qlonglong(crachas.size()), maior.codigo);
    if (crachas.size() < 1000) return 1;

    Leitora leitora{tela, {}};
    leitora.relogio.start();
    QRandomGenerator aleatorio(22);
    const auto sorteia = [&] { return crachas.at(int(aleatorio.bounded(crachas.size()))); };

    // One read resolved: Enter to the painted answer.
    std::vector<double> tempos;
    int erradas = 0;
    for (int i = 0; i < 201; ++i) {
        const QString c = sorteia();
        tempos.push_back(leitora.le(c, 0));
        if (atual(tela) != c) ++erradas;
    }
    std::sort(tempos.begin(), tempos.end());
    std::printf(
        "uma leitura resolvida (achar, marcar, repintar, faixa): mediana %.2f ms, "
        "p95 %.2f ms, máx %.2f ms (meta: <= 5 ms); erradas %d de %zu\n",
        bench::mediana(tempos), tempos[tempos.size() * 95 / 100], tempos.back(), erradas,
        tempos.size());

    // A reader at 20 reads a second, characters 2 ms apart on the real clock.
    std::vector<double> ritmo;
    int lidas = 0, perdidas = 0;
    QElapsedTimer total;
    total.start();
    while (total.elapsed() < qint64(segundos) * 1000) {
        const qint64 proxima = qint64(lidas + 1) * 50;
        const QString c = sorteia();
        ritmo.push_back(leitora.le(c, 2));
        ++lidas;
        if (atual(tela) != c || tela->leitorCracha.codigo() != c) ++perdidas;
        espera(int(proxima - total.elapsed()));
    }
    std::sort(ritmo.begin(), ritmo.end());
    std::printf(
        "leitor a 20 por segundo por %d s: %d leituras em %.1f s, %d perdidas ou "
        "erradas (meta: 0); Enter resolvido em mediana %.2f ms, máx %.2f ms\n",
        segundos, lidas, total.elapsed() / 1000.0, perdidas, bench::mediana(ritmo), ritmo.back());
    std::printf("%s\n", qPrintable(tela->lblMarcados->caption()));

    tela->hide();
    delete tela;
    Cli_Kel00815::frmPresenca = nullptr;
    delete Srv_Kel00815::rdmListaPresenca;
    Srv_Kel00815::rdmListaPresenca = nullptr;
    return perdidas == 0 && erradas == 0 ? 0 : 1;
}
