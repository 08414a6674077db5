#include "pos/fiscal/FiscalReportWindow.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QScroller>
#include <QVBoxLayout>

#include "platform/Platform.h"
#include "platform/Registro.h"
#include "pos/sale/Receipt.h"

namespace Hul00002::detail {

FiscalReportWindow::FiscalReportWindow(const QString& titulo, const QStringList& linhas,
                                       const QString& arquivo,
                                       const ReceiptPrinterSettings& impressora, QWidget* parent)
    : TouchDialog(QStringLiteral("frmRelatorio"), titulo, paletaPadrao().faixa,
                  paletaPadrao().corpo, parent),
      linhas_(linhas),
      arquivo_(arquivo),
      impressora_(impressora) {
    const Paleta pal = paletaPadrao();
    resize(600, 680);

    auto* meio = new QHBoxLayout;
    meio->setSpacing(10);
    texto_ = new QPlainTextEdit(this);
    texto_->setObjectName(QStringLiteral("txtRelatorio"));
    texto_->setReadOnly(true);
    texto_->setFocusPolicy(Qt::NoFocus);  // keys reach the window, which scrolls
    texto_->setLineWrapMode(QPlainTextEdit::NoWrap);
    texto_->setTextInteractionFlags(Qt::NoTextInteraction);
    QFont f = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    f.setStyleHint(QFont::Monospace);
    f.setPixelSize(15);
    texto_->setFont(f);
    // Paper: white, whatever the scheme paints around it.
    texto_->setStyleSheet(QStringLiteral("QPlainTextEdit { background: white; color: #1A1A1A;"
                                         " border: 1px solid %1; padding: 6px; }")
                              .arg(nomeCss(pal.borda)));
    texto_->setPlainText(linhas_.join(QLatin1Char('\n')));
    texto_->setMinimumWidth(
        QFontMetrics(f).horizontalAdvance(QString(kReceiptColumns, QLatin1Char('M'))) + 40);
    QScroller::grabGesture(texto_->viewport(), QScroller::LeftMouseButtonGesture);
    meio->addWidget(texto_, 1);

    auto* setas = new QVBoxLayout;
    auto* sobe = criaBotao(QStringLiteral("btnSobe"), QStringLiteral("▲"), pal.botao, 24);
    auto* desce = criaBotao(QStringLiteral("btnDesce"), QStringLiteral("▼"), pal.botao, 24);
    for (QPushButton* b : {sobe, desce}) {
        b->setFixedSize(72, 96);
        b->setAutoRepeat(true);
    }
    setas->addWidget(sobe);
    setas->addStretch(1);
    setas->addWidget(desce);
    meio->addLayout(setas);
    corpoLayout()->addLayout(meio, 1);

    lblImpressao_ = new QLabel(this);
    lblImpressao_->setObjectName(QStringLiteral("lblImpressao"));
    lblImpressao_->setWordWrap(true);
    lblImpressao_->setStyleSheet(QStringLiteral("QLabel { font-size: 14px; }"));
    corpoLayout()->addWidget(lblImpressao_);

    auto* botoes = new QHBoxLayout;
    auto* imprimir =
        criaBotao(QStringLiteral("btnImprimir"), QStringLiteral("Imprimir (P)"), pal.acao, 20);
    auto* fechar =
        criaBotao(QStringLiteral("btnFechar"), QStringLiteral("Fechar (Esc)"), pal.cancela, 20);
    for (QPushButton* b : {imprimir, fechar}) {
        b->setMinimumHeight(64);
        botoes->addWidget(b);
    }
    corpoLayout()->addLayout(botoes);

    constexpr int pagina = 8;
    connect(sobe, &QPushButton::clicked, this, [this] { rola(-pagina); });
    connect(desce, &QPushButton::clicked, this, [this] { rola(pagina); });
    connect(imprimir, &QPushButton::clicked, this, platform::Guard([this] { imprime(); }));
    connect(fechar, &QPushButton::clicked, this, &QDialog::reject);
}

void FiscalReportWindow::rola(int passos) {
    QScrollBar* barra = texto_->verticalScrollBar();
    barra->setValue(barra->value() + passos * barra->singleStep());
}

bool FiscalReportWindow::imprime() {
    try {
        impressoEm_ = printReceipt(linhas_, arquivo_, impressora_);
    } catch (...) {
        const QString erro = platform::TextoDaExcecao(std::current_exception(),
                                                      QStringLiteral("Falha na impressão."));
        lblImpressao_->setText(QStringLiteral("Não impresso: ") + erro);
        qCWarning(platform::lcVenda).noquote()
            << QStringLiteral("%1 não impressa: %2").arg(windowTitle(), erro);
        platform::Mensagem(QStringLiteral("%1 não impressa: %2").arg(windowTitle(), erro),
                           QString(), QStringLiteral("N"), QStringLiteral("N"), 3, QString(),
                           QString(), 0, nullptr);
        return false;
    }
    lblImpressao_->setText(QStringLiteral("Impresso em ") + impressoEm_);
    qCInfo(platform::lcVenda).noquote()
        << QStringLiteral("%1 impressa em %2").arg(windowTitle(), impressoEm_);
    return true;
}

void FiscalReportWindow::keyPressEvent(QKeyEvent* e) {
    QScrollBar* barra = texto_->verticalScrollBar();
    switch (e->key()) {
        case Qt::Key_Up:
            rola(-1);
            return;
        case Qt::Key_Down:
            rola(1);
            return;
        case Qt::Key_PageUp:
            barra->setValue(barra->value() - barra->pageStep());
            return;
        case Qt::Key_PageDown:
            barra->setValue(barra->value() + barra->pageStep());
            return;
        case Qt::Key_Home:
            barra->setValue(barra->minimum());
            return;
        case Qt::Key_End:
            barra->setValue(barra->maximum());
            return;
        case Qt::Key_P:
            platform::Guard([this] { imprime(); })();
            return;
        default:
            TouchDialog::keyPressEvent(e);
    }
}

}  // namespace Hul00002::detail
