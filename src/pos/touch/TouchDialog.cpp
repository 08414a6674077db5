#include "pos/touch/TouchDialog.h"

#include <QApplication>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include "platform/Platform.h"

namespace Hul00002::detail {

namespace {
constexpr int kRaio = 18;
constexpr int kBorda = 4;
constexpr int kAlturaFaixa = 54;
}  // namespace

QColor corEsquema(int cor, const QColor& padrao) {
    // A till without a parameter file passes every colour as 0; black on black helps nobody.
    return cor == 0 ? padrao : platform::CorParaQColor(cor);
}

QColor corTexto(const QColor& fundo) {
    const double lum = 0.299 * fundo.red() + 0.587 * fundo.green() + 0.114 * fundo.blue();
    return lum > 150 ? QColor(0x1A, 0x1A, 0x1A) : QColor(Qt::white);
}

QString nomeCss(const QColor& c) {
    return c.name(QColor::HexRgb);
}

QString estiloBotao(const QColor& fundo, int pixelFonte) {
    const QColor texto = corTexto(fundo);
    const QColor pressionado = fundo.value() > 60 ? fundo.darker(135) : QColor(0x60, 0x60, 0x60);
    return QStringLiteral(
               "QPushButton { background-color: %1; color: %2; border: 1px solid %3;"
               " border-radius: 10px; font-weight: bold; font-size: %4px; padding: 4px 10px; }"
               "QPushButton:pressed, QPushButton:checked { background-color: %5; color: %6; }"
               "QPushButton:disabled { background-color: #9A9A9A; color: #C8C8C8;"
               " border-color: #8A8A8A; }")
        .arg(nomeCss(fundo), nomeCss(texto), nomeCss(fundo.darker(150)))
        .arg(pixelFonte)
        .arg(nomeCss(pressionado), nomeCss(corTexto(pressionado)));
}

Paleta paletaPadrao() {
    return Paleta{
        QColor(0x1F, 0x2F, 0x6B),  // navy band, as the screen's titles
        QColor(0xE8, 0xE8, 0xE8),  // light body
        QColor(0x80, 0x80, 0x80),  // gray outline, as the screen's border
        QColor(0xD0, 0xD4, 0xDA),  // silver keys
        QColor(0x1E, 0x7B, 0x34),  // green confirm
        QColor(0xB0, 0x2A, 0x2A),  // red cancel
    };
}

TouchDialog::TouchDialog(const QString& nome, const QString& titulo, QColor faixa, QColor corpo,
                         QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), faixa_(faixa), corpo_(corpo) {
    setObjectName(nome);
    setWindowTitle(titulo);
    setAutoFillBackground(false);
    // Touching a button that takes no focus would hand it to the nearest parent that does;
    // the dialog must not take it from the search box that way. setFocus() still works.
    setFocusPolicy(Qt::NoFocus);

    auto* externo = new QVBoxLayout(this);
    externo->setContentsMargins(kBorda, kBorda, kBorda, kBorda);
    externo->setSpacing(0);

    titulo_ = new QLabel(titulo, this);
    titulo_->setObjectName(QStringLiteral("lblTitulo"));
    titulo_->setFixedHeight(kAlturaFaixa);
    titulo_->setAlignment(Qt::AlignCenter);
    titulo_->setWordWrap(true);
    titulo_->setStyleSheet(QStringLiteral("QLabel { color: %1; font-size: 22px; font-weight: bold;"
                                          " background: transparent; padding: 0 24px; }")
                               .arg(nomeCss(corTexto(faixa_))));
    externo->addWidget(titulo_);

    corpoLayout_ = new QVBoxLayout;
    corpoLayout_->setContentsMargins(14, 12, 14, 14);
    corpoLayout_->setSpacing(8);
    externo->addLayout(corpoLayout_, 1);

    // Child labels inherit a readable text colour for the body.
    // A parent form's style sheet must not leak into the dialog's labels.
    setStyleSheet(QStringLiteral("QLabel { color: %1; background: transparent; }")
                      .arg(nomeCss(corTexto(corpo_))));
}

void TouchDialog::centraNaTela() {
    QWidget* ref = parentWidget() ? parentWidget()->window() : QApplication::activeWindow();
    if (ref == this) ref = nullptr;
    QRect area;
    if (ref && ref->isVisible()) {
        area = ref->frameGeometry();
    } else if (QScreen* s = QGuiApplication::primaryScreen()) {
        area = s->availableGeometry();
    }
    if (area.isValid()) move(area.center() - rect().center());
}

QPushButton* TouchDialog::criaBotao(const QString& nome, const QString& texto, const QColor& fundo,
                                    int pixelFonte) {
    auto* b = new QPushButton(texto, this);
    b->setObjectName(nome);
    b->setAutoDefault(false);
    b->setDefault(false);
    b->setFocusPolicy(Qt::NoFocus);  // keys go to the dialog, never to a button
    b->setStyleSheet(estiloBotao(fundo, pixelFonte));
    return b;
}

void TouchDialog::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    QPainterPath fora;
    fora.addRoundedRect(r, kRaio, kRaio);
    p.fillPath(fora, paletaPadrao().borda);

    const QRectF dentro = r.adjusted(kBorda, kBorda, -kBorda, -kBorda);
    QPainterPath corpo;
    corpo.addRoundedRect(dentro, kRaio - 3, kRaio - 3);
    p.fillPath(corpo, corpo_);

    // Title band: the upper part of the inner rounded rectangle.
    p.save();
    p.setClipRect(QRectF(dentro.left(), dentro.top(), dentro.width(), kAlturaFaixa));
    p.fillPath(corpo, faixa_);
    p.restore();
}

void TouchDialog::resizeEvent(QResizeEvent* e) {
    QDialog::resizeEvent(e);
    if (QGuiApplication::platformName() == QLatin1String("offscreen")) return;  // no masks there
    QPainterPath path;
    path.addRoundedRect(QRectF(rect()), kRaio, kRaio);
    setMask(QRegion(path.toFillPolygon().toPolygon()));
}

void TouchDialog::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    centraNaTela();
}

}  // namespace Hul00002::detail
