#include "pos/touch/WaitingWindow.h"

#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QVBoxLayout>

#include "pos/touch/InputBlocker.h"
#include "pos/touch/TouchDialog.h"

namespace Hul00002::detail {

namespace {
QPointer<TouchDialog> g_processo;

void removeJanela() {
    if (!g_processo) return;
    TouchDialog* j = g_processo;
    g_processo = nullptr;
    j->hide();
    j->deleteLater();
}
}  // namespace

void ativaProcessoPadrao(QWidget* form, const QString& texto, int cor1, int cor2) {
    removeJanela();  // a second call replaces the window instead of stacking another
    const Paleta pal = paletaPadrao();
    auto* j = new TouchDialog(QStringLiteral("frmProcesso"), QStringLiteral("Aguarde"),
                              corEsquema(cor1, pal.faixa), corEsquema(cor2, pal.corpo), form);
    j->setAttribute(Qt::WA_DeleteOnClose);
    j->setModal(false);
    j->setAttribute(Qt::WA_ShowWithoutActivating);  // the form keeps the keyboard
    j->resize(500, 210);

    auto* lbl = new QLabel(texto, j);
    lbl->setObjectName(QStringLiteral("lblProcesso"));
    lbl->setWordWrap(true);
    lbl->setAlignment(Qt::AlignCenter);
    lbl->setStyleSheet(QStringLiteral("QLabel { font-size: 20px; font-weight: bold; }"));
    j->corpoLayout()->addWidget(lbl, 1);

    auto* progresso = new QLabel(j);
    progresso->setObjectName(QStringLiteral("lblProgresso"));
    progresso->setAlignment(Qt::AlignCenter);
    progresso->setStyleSheet(QStringLiteral("QLabel { font-size: 16px; }"));
    j->corpoLayout()->addWidget(progresso);

    auto* barra = new QProgressBar(j);
    barra->setObjectName(QStringLiteral("prbProcesso"));
    barra->setRange(0, 0);  // no known length: a moving bar
    barra->setTextVisible(false);
    barra->setFixedHeight(18);
    barra->setStyleSheet(
        QStringLiteral("QProgressBar { background: white; border: 1px solid #A0A0A0;"
                       " border-radius: 8px; }"
                       "QProgressBar::chunk { background: %1; border-radius: 7px; }")
            .arg(nomeCss(j->corFaixa().value() > 230 ? pal.faixa : j->corFaixa())));
    j->corpoLayout()->addWidget(barra);

    g_processo = j;
    j->show();
    if (form && form->isVisible()) j->move(form->frameGeometry().center() - j->rect().center());
    j->raise();
    j->repaint();
    // The caller goes straight into long work on this thread: paint the window now.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void desativaProcessoPadrao() {
    removeJanela();
}

QWidget* janelaProcesso() {
    return g_processo;
}

void showProgress(int done, int total) {
    if (!g_processo) return;
    if (auto* lbl = g_processo->findChild<QLabel*>(QStringLiteral("lblProgresso")))
        lbl->setText(QStringLiteral("%1 de %2").arg(done).arg(total));
    if (auto* barra = g_processo->findChild<QProgressBar*>(QStringLiteral("prbProcesso"))) {
        barra->setRange(0, qMax(total, 1));
        barra->setValue(qBound(0, done, qMax(total, 1)));
    }
    // With the blocker on, input that arrives is taken and dropped here; without it, input
    // waits for the caller to return to its event loop.
    QCoreApplication::processEvents(InputBlocker::active() ? QEventLoop::AllEvents
                                                           : QEventLoop::ExcludeUserInputEvents);
}

}  // namespace Hul00002::detail
