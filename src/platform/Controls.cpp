#include "platform/Controls.h"

#include <QPainter>
#include <QPainterPath>
#include <QStyleOption>

namespace platform {

namespace {

constexpr int captionFlags = Qt::TextShowMnemonic;

int buttonRadius(const QRect& r) {
    return qMax(2, qMin(8, qMin(r.width(), r.height()) / 3));
}

QPixmap disabledGlyph(const QWidget* w, const QPixmap& glyph) {
    QStyleOption opt;
    opt.initFrom(w);
    return w->style()->generatedIconPixmap(QIcon::Disabled, glyph, &opt);
}

QSize logicalSize(const QPixmap& p) {
    return p.isNull() ? QSize() : (QSizeF(p.size()) / p.devicePixelRatio()).toSize();
}

}  // namespace

// --- TBlendedShape

TBlendedShape::TBlendedShape(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents, false);
}

void TBlendedShape::setColor(const QColor& c) {
    if (c == color_) return;
    color_ = c;
    update();
}

void TBlendedShape::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(color_);
    const int r = qMin(radius_, qMin(width(), height()) / 2);
    p.drawRoundedRect(QRectF(rect()), r, r);
}

// --- TBlendedButton

TBlendedButton::TBlendedButton(QWidget* parent) : QAbstractButton(parent) {
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_Hover);
}

void TBlendedButton::setColor(const QColor& c) {
    if (c == color_) return;
    color_ = c;
    update();
}

void TBlendedButton::setCaptionColor(const QColor& c) {
    if (c == captionColor_) return;
    captionColor_ = c;
    update();
}

QString TBlendedButton::drawnCaption() const {
    QString t = text();
    t.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    t.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return t;
}

QSize TBlendedButton::sizeHint() const {
    const QRect br =
        fontMetrics().boundingRect(QRect(0, 0, 1000, 1000), captionFlags, drawnCaption());
    return QSize(br.width() + 16, qMax(br.height() + 10, 26));
}

void TBlendedButton::currentColors(QColor& fill, QColor& textColor) const {
    if (!isEnabled()) {
        fill = QColor(0x80, 0x80, 0x80);
        textColor = QColor(0xC0, 0xC0, 0xC0);
    } else if (isDown()) {
        fill = palette().color(QPalette::WindowText);
        textColor = palette().color(QPalette::Window);
    } else {
        fill = color_;
        textColor = captionColor_;
    }
}

void TBlendedButton::paintBody(QPainter& p, const QColor& fill) {
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    const int r = buttonRadius(rect());
    p.drawRoundedRect(QRectF(rect()), r, r);
}

void TBlendedButton::paintCaption(QPainter& p, const QRect& r, const QColor& fill,
                                  const QColor& textColor) {
    Q_UNUSED(fill);
    p.setFont(font());
    p.setPen(textColor);
    p.drawText(r, Qt::AlignCenter | captionFlags, drawnCaption());
}

void TBlendedButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    QColor fill, textColor;
    currentColors(fill, textColor);
    paintBody(p, fill);
    if (!text().isEmpty()) paintCaption(p, rect().adjusted(2, 1, -2, -1), fill, textColor);
}

// --- TBlendedBitBtn

TBlendedBitBtn::TBlendedBitBtn(QWidget* parent) : TBlendedButton(parent) {}

void TBlendedBitBtn::setGlyph(const QPixmap& g) {
    glyph_ = g;
    update();
}

void TBlendedBitBtn::setSpacing(int s) {
    spacing_ = s;
    update();
}

void TBlendedBitBtn::paintEvent(QPaintEvent*) {
    QPainter p(this);
    QColor fill, textColor;
    currentColors(fill, textColor);
    paintBody(p, fill);

    const QSize gs = logicalSize(glyph_);
    const QString caption = drawnCaption();
    const QRect textBox = caption.isEmpty() ? QRect()
                                            : fontMetrics().boundingRect(
                                                  rect(), Qt::AlignHCenter | captionFlags, caption);
    const int gap = glyph_.isNull() || caption.isEmpty() ? 0 : spacing_;
    const int total = gs.height() + gap + textBox.height();
    int top = (height() - total) / 2;
    if (!glyph_.isNull()) {
        const QPixmap g = isEnabled() ? glyph_ : disabledGlyph(this, glyph_);
        const int offset = isDown() ? 1 : 0;  // the picture sinks a little when pressed
        p.drawPixmap(QPoint((width() - gs.width()) / 2 + offset, top + offset), g);
        top += gs.height() + gap;
    }
    if (!caption.isEmpty()) {
        p.setFont(font());
        p.setPen(textColor);
        p.drawText(QRect(0, top, width(), textBox.height()),
                   Qt::AlignHCenter | Qt::AlignTop | captionFlags, caption);
    }
}

// --- TdxfColorButton

TdxfColorButton::TdxfColorButton(QWidget* parent) : QAbstractButton(parent) {
    setFocusPolicy(Qt::NoFocus);
}

void TdxfColorButton::setColor(const QColor& c) {
    if (c == color_) return;
    color_ = c;
    update();
}

void TdxfColorButton::setGlyph(const QPixmap& g) {
    glyph_ = g;
    updateGeometry();
    update();
}

QSize TdxfColorButton::sizeHint() const {
    const QSize gs = logicalSize(glyph_);
    return gs.isValid() ? gs + QSize(6, 6) : QSize(23, 23);
}

void TdxfColorButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QColor fill = color_;
    if (!isEnabled())
        fill = QColor::fromHsv(fill.hsvHue(), fill.hsvSaturation() / 3,
                               qMin(255, fill.value() / 2 + 110));
    else if (isDown())
        fill = fill.darker(130);
    const QRectF body = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    p.setPen(QPen(fill.darker(160), 1));
    p.setBrush(fill);
    p.drawRoundedRect(body, 3, 3);
    if (!glyph_.isNull()) {
        const QSize gs = logicalSize(glyph_);
        const int offset = isDown() ? 1 : 0;
        const QPixmap g = isEnabled() ? glyph_ : disabledGlyph(this, glyph_);
        p.drawPixmap(
            QPoint((width() - gs.width()) / 2 + offset, (height() - gs.height()) / 2 + offset), g);
    }
}

// --- virtual-key codes

int VirtualKey(int qtKey) {
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) return qtKey;  // same codes, upper case
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) return qtKey;
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24) return 112 + (qtKey - Qt::Key_F1);
    switch (qtKey) {
        case Qt::Key_Backspace:
            return 8;
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
            return 9;
        case Qt::Key_Clear:
            return 12;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return 13;
        case Qt::Key_Shift:
            return 16;
        case Qt::Key_Control:
            return 17;
        case Qt::Key_Alt:
        case Qt::Key_AltGr:
            return 18;
        case Qt::Key_Pause:
            return 19;
        case Qt::Key_CapsLock:
            return 20;
        case Qt::Key_Escape:
            return 27;
        case Qt::Key_Space:
            return 32;
        case Qt::Key_PageUp:
            return 33;
        case Qt::Key_PageDown:
            return 34;
        case Qt::Key_End:
            return 35;
        case Qt::Key_Home:
            return 36;
        case Qt::Key_Left:
            return 37;
        case Qt::Key_Up:
            return 38;
        case Qt::Key_Right:
            return 39;
        case Qt::Key_Down:
            return 40;
        case Qt::Key_Print:
            return 44;
        case Qt::Key_Insert:
            return 45;
        case Qt::Key_Delete:
            return 46;
        case Qt::Key_Meta:
        case Qt::Key_Super_L:
            return 91;
        case Qt::Key_Super_R:
            return 92;
        case Qt::Key_Menu:
            return 93;
        case Qt::Key_NumLock:
            return 144;
        case Qt::Key_ScrollLock:
            return 145;
        // Shifted digits keep their key's code, as the key is what counts.
        case Qt::Key_ParenRight:
            return '0';
        case Qt::Key_Exclam:
            return '1';
        case Qt::Key_At:
            return '2';
        case Qt::Key_NumberSign:
            return '3';
        case Qt::Key_Dollar:
            return '4';
        case Qt::Key_Percent:
            return '5';
        case Qt::Key_AsciiCircum:
            return '6';
        case Qt::Key_Ampersand:
            return '7';
        case Qt::Key_Asterisk:
            return '8';
        case Qt::Key_ParenLeft:
            return '9';
        case Qt::Key_Semicolon:
        case Qt::Key_Colon:
        case Qt::Key_Ccedilla:
            return 186;
        case Qt::Key_Equal:
        case Qt::Key_Plus:
            return 187;
        case Qt::Key_Comma:
        case Qt::Key_Less:
            return 188;
        case Qt::Key_Minus:
        case Qt::Key_Underscore:
            return 189;
        case Qt::Key_Period:
        case Qt::Key_Greater:
            return 190;
        case Qt::Key_Slash:
        case Qt::Key_Question:
            return 191;
        case Qt::Key_QuoteLeft:
        case Qt::Key_AsciiTilde:
            return 192;
        case Qt::Key_BracketLeft:
        case Qt::Key_BraceLeft:
            return 219;
        case Qt::Key_Backslash:
        case Qt::Key_Bar:
            return 220;
        case Qt::Key_BracketRight:
        case Qt::Key_BraceRight:
            return 221;
        case Qt::Key_Apostrophe:
        case Qt::Key_QuoteDbl:
            return 222;
        default:
            return 0;
    }
}

}  // namespace platform
