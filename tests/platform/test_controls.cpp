// The control kinds as the operator sees them: looks, captions, clicks, key codes.

#include <QLineEdit>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include "platform/Controls.h"
#include "platform/Platform.h"

using namespace platform;

namespace {

bool near(QRgb a, const QColor& b, int tol = 40) {
    return qAbs(qRed(a) - b.red()) + qAbs(qGreen(a) - b.green()) + qAbs(qBlue(a) - b.blue()) <= tol;
}

// Bounding box of the pixels that are not the fill, away from the rounded corners.
QRect ink(const QImage& img, const QColor& fill) {
    QRect box;
    for (int y = 2; y < img.height() - 2; ++y)
        for (int x = 10; x < img.width() - 10; ++x)
            if (!near(img.pixel(x, y), fill, 60)) box |= QRect(x, y, 1, 1);
    return box;
}

QImage render(TBlendedButton& b, const QString& caption) {
    b.setCaption(caption);
    return b.grab().toImage();
}

TBlendedButton* makeButton(QWidget* parent) {
    auto* b = new TBlendedButton(parent);
    b->setColor(Qt::white);
    b->setCaptionColor(Qt::black);
    QFont f = b->font();
    f.setPixelSize(16);
    f.setBold(true);
    b->setFont(f);
    b->resize(220, 70);
    return b;
}

}  // namespace

TEST(TBlendedButton, AmpersandUnderlinesTheNextLetterAndIsNotShown) {
    QWidget w;
    TBlendedButton* b = makeButton(&w);
    const QRect plain = ink(render(*b, QStringLiteral("Vendas")), Qt::white);
    const QImage marked = render(*b, QStringLiteral("&Vendas"));
    const QRect withMark = ink(marked, Qt::white);
    ASSERT_TRUE(plain.isValid());
    EXPECT_NEAR(withMark.width(), plain.width(), 2);  // no "&" drawn
    EXPECT_GT(withMark.bottom(), plain.bottom());     // the underline, below the letters
    // The underline sits under the first letter only.
    int underline = 0;
    for (int x = 0; x < marked.width(); ++x)
        if (!near(marked.pixel(x, withMark.bottom()), Qt::white, 60)) ++underline;
    EXPECT_GT(underline, 3);
    EXPECT_LT(underline, plain.width() / 2);
    EXPECT_NEAR(ink(render(*b, QStringLiteral("A&&B")), Qt::white).width(),
                ink(render(*b, QStringLiteral("A&B")), Qt::white).width() * 1.4, 12);
}

TEST(TBlendedButton, CarriageReturnBreaksTheCaptionInTwoLines) {
    QWidget w;
    TBlendedButton* b = makeButton(&w);
    const QRect one = ink(render(*b, QStringLiteral("Vendas")), Qt::white);
    const QRect two = ink(render(*b, QStringLiteral("Gerar\r&Vendas")), Qt::white);
    const QRect crlf = ink(render(*b, QStringLiteral("Gerar\r\nVendas")), Qt::white);
    EXPECT_GT(two.height(), one.height() * 2);
    EXPECT_LT(two.width(), one.width() * 1.5);  // stacked, not side by side
    EXPECT_EQ(crlf, ink(render(*b, QStringLiteral("Gerar\rVendas")), Qt::white));
    b->setCaption(QStringLiteral("Gerar\r&Vendas"));
    EXPECT_EQ(b->caption(), QStringLiteral("Gerar\r&Vendas"));  // kept raw
}

TEST(TBlendedButton, DisabledAndPressedLooks) {
    QWidget w;
    TBlendedButton* b = makeButton(&w);
    b->setColor(QColor(0xC0, 0xC0, 0xC0));
    b->setCaptionColor(QColor(0, 0, 0x80));
    b->setCaption(QStringLiteral("MMMMMM"));
    b->setEnabled(false);
    QImage img = b->grab().toImage();
    EXPECT_EQ(img.pixelColor(15, 35), QColor(0x80, 0x80, 0x80));
    const QRect text = ink(img, QColor(0x80, 0x80, 0x80));
    ASSERT_TRUE(text.isValid());
    bool silver = false;
    for (int x = text.left(); x <= text.right() && !silver; ++x)
        silver = img.pixelColor(x, text.center().y()) == QColor(0xC0, 0xC0, 0xC0);
    EXPECT_TRUE(silver);

    b->setEnabled(true);
    b->setDown(true);
    img = b->grab().toImage();
    EXPECT_EQ(img.pixelColor(15, 35), b->palette().color(QPalette::WindowText));
    b->setDown(false);
    EXPECT_EQ(b->grab().toImage().pixelColor(15, 35), QColor(0xC0, 0xC0, 0xC0));
}

TEST(TBlendedBitBtn, GlyphAboveCaptionClickOnlyWhenEnabledAndFocusStays) {
    QWidget w;
    w.resize(300, 200);
    auto* edit = new QLineEdit(&w);
    auto* b = new TBlendedBitBtn(&w);
    b->setGeometry(100, 20, 80, 90);
    b->setColor(QColor(0xC0, 0xC0, 0xC0));
    QPixmap glyph(20, 20);
    glyph.fill(Qt::red);
    b->setGlyph(glyph);
    b->setSpacing(-2);
    b->setCaption(QStringLiteral("&Carregar\rAlunos"));
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    edit->setFocus();

    const QImage img = b->grab().toImage();
    img.save(QStringLiteral("/tmp/platform_bitbtn.png"));
    int redBottom = -1;
    for (int y = 0; y < img.height(); ++y)
        if (img.pixelColor(40, y) == QColor(Qt::red)) redBottom = y;
    ASSERT_GE(redBottom, 0);
    const QRect text = ink(img, QColor(0xC0, 0xC0, 0xC0));
    EXPECT_GE(text.bottom(), redBottom + 15);  // two lines of caption below the picture

    QSignalSpy clicks(b, &QAbstractButton::clicked);
    QTest::mouseClick(b, Qt::LeftButton);
    EXPECT_EQ(clicks.count(), 1);
    EXPECT_TRUE(edit->hasFocus());  // a tap never takes the keys away
    b->setEnabled(false);
    QTest::mouseClick(b, Qt::LeftButton);
    EXPECT_EQ(clicks.count(), 1);
    EXPECT_NE(b->grab().toImage().pixelColor(40, redBottom), QColor(Qt::red));  // picture greyed
}

TEST(TdxfColorButton, PaintsItsColourAndClicks) {
    TdxfColorButton b;
    b.resize(23, 23);
    b.setColor(CorParaQColor(0x0000FF));
    EXPECT_EQ(b.grab().toImage().pixelColor(11, 11), QColor(255, 0, 0));
    b.setColor(CorParaQColor(0x008000));
    EXPECT_EQ(b.grab().toImage().pixelColor(11, 11), QColor(0, 128, 0));
    QSignalSpy clicks(&b, &QAbstractButton::clicked);
    b.show();
    QTest::mouseClick(&b, Qt::LeftButton);
    EXPECT_EQ(clicks.count(), 1);
    EXPECT_EQ(b.focusPolicy(), Qt::NoFocus);
}

TEST(TBlendedShape, FillsARoundedRectangleWithoutOutline) {
    TBlendedShape s;
    s.resize(100, 40);
    s.setColor(CorParaQColor(0xD6D6D6));
    QImage img(s.size(), QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    s.render(&img, {}, {}, QWidget::DrawChildren);
    EXPECT_EQ(img.pixelColor(50, 20), QColor(0xD6, 0xD6, 0xD6));
    EXPECT_EQ(img.pixelColor(50, 0), QColor(0xD6, 0xD6, 0xD6));  // no outline of another colour
    EXPECT_EQ(img.pixelColor(0, 0).alpha(), 0);                  // the corner is cut
}

TEST(VirtualKey, MapsTheKeysTheScreenUses) {
    EXPECT_EQ(VirtualKey(Qt::Key_Space), 32);
    EXPECT_EQ(VirtualKey(Qt::Key_Escape), 27);
    EXPECT_EQ(VirtualKey(Qt::Key_Return), 13);
    EXPECT_EQ(VirtualKey(Qt::Key_Enter), 13);
    EXPECT_EQ(VirtualKey(Qt::Key_F1), 112);
    EXPECT_EQ(VirtualKey(Qt::Key_F9), 120);
    EXPECT_EQ(VirtualKey(Qt::Key_F12), 123);
    EXPECT_EQ(VirtualKey(Qt::Key_E), 69);
    EXPECT_EQ(VirtualKey(Qt::Key_G), 71);
    EXPECT_EQ(VirtualKey(Qt::Key_I), 73);
    EXPECT_EQ(VirtualKey(Qt::Key_P), 80);
    EXPECT_EQ(VirtualKey(Qt::Key_0), 48);
    EXPECT_EQ(VirtualKey(Qt::Key_Exclam), 49);
    EXPECT_EQ(VirtualKey(Qt::Key_Tab), 9);
    EXPECT_EQ(VirtualKey(Qt::Key_Left), 37);
    EXPECT_EQ(VirtualKey(Qt::Key_Down), 40);
    EXPECT_EQ(VirtualKey(Qt::Key_Delete), 46);
    EXPECT_EQ(VirtualKey(Qt::Key_unknown), 0);
}
