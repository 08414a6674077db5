// Text helpers, catalogue, clock and colour scheme.

#include <QCoreApplication>
#include <QFrame>
#include <QLabel>

#include <gtest/gtest.h>

#include "platform/Controls.h"
#include "platform/Platform.h"
#include "platform/TMessages.h"

using namespace platform;

TEST(TMessages, ReturnsTheTextAfterTheFirstBarOfTheExactKey) {
    TMessages m;
    m.setLines({QStringLiteral("HORA_INV2|Hora informada é inválida."),
                QStringLiteral("HORA_INV|Hora Inválida."),
                QStringLiteral("INFORME_HORA|Informe Hora e minuto sem \":\""),
                QStringLiteral("PIPE|a|b"), QStringLiteral("SEMBARRA")});
    EXPECT_EQ(m.Msg(QStringLiteral("HORA_INV")), QStringLiteral("Hora Inválida."));
    EXPECT_EQ(m.Msg(QStringLiteral("HORA_INV2")), QStringLiteral("Hora informada é inválida."));
    EXPECT_EQ(m.Msg(QStringLiteral("INFORME_HORA")),
              QStringLiteral("Informe Hora e minuto sem \":\""));
    EXPECT_EQ(m.Msg(QStringLiteral("PIPE")), QStringLiteral("a|b"));
    EXPECT_TRUE(m.Msg(QStringLiteral("hora_inv")).isEmpty());
    EXPECT_TRUE(m.Msg(QStringLiteral("SEMBARRA")).isEmpty());
    EXPECT_TRUE(m.Msg(QStringLiteral("NADA")).isEmpty());
}

TEST(TextHelpers, AjustaPadsWithZerosAndNeverCuts) {
    EXPECT_EQ(Ajusta(QStringLiteral("9"), 2), QStringLiteral("09"));
    EXPECT_EQ(Ajusta(QStringLiteral("0"), 2), QStringLiteral("00"));
    EXPECT_EQ(Ajusta(QString(), 2), QStringLiteral("00"));
    EXPECT_EQ(Ajusta(QStringLiteral(" 7 "), 2), QStringLiteral("07"));
    EXPECT_EQ(Ajusta(QStringLiteral("12"), 2), QStringLiteral("12"));
    EXPECT_EQ(Ajusta(QStringLiteral("123"), 2), QStringLiteral("123"));
    EXPECT_TRUE(EmptyString(QString()));
    EXPECT_TRUE(EmptyString(QStringLiteral("   ")));
    EXPECT_FALSE(EmptyString(QStringLiteral(" 0 ")));
}

TEST(Colours, ProductValuesAreBlueGreenRed) {
    EXPECT_EQ(CorParaQColor(0x0000FF), QColor(255, 0, 0));
    EXPECT_EQ(CorParaQColor(0x008000), QColor(0, 128, 0));
    EXPECT_EQ(CorParaQColor(0x800000), QColor(0, 0, 128));
    EXPECT_EQ(CorParaQColor(0x0080FF), QColor(255, 128, 0));
    EXPECT_EQ(CorParaQColor(0), QColor(0, 0, 0));
}

TEST(Clock, TodayComesFromTheSetClock) {
    const QDateTime fixed(QDate(2024, 2, 29), QTime(23, 59, 59));
    Clock previous = SetClock([fixed] { return fixed; });
    EXPECT_EQ(Agora(), fixed);
    EXPECT_EQ(Hoje(), QDate(2024, 2, 29));
    SetClock(previous);
    EXPECT_LE(qAbs(Agora().secsTo(QDateTime::currentDateTime())), 2);
}

TEST(ColoreTela, PaintsEachSchemeColourWhereItBelongsAndLeavesFixedColoursAlone) {
    QWidget form;
    auto* pan = new QFrame(&form);
    pan->setObjectName(QStringLiteral("panCabec"));
    auto* dxf = new TdxfColorButton(pan);
    auto* grid = new TDBSortGrid(&form);
    const QColor highlight = grid->palette().color(QPalette::Active, QPalette::Highlight);
    auto* shape = new TBlendedShape(&form);
    shape->setColor(CorParaQColor(0xD6D6D6));
    auto* btn = new TBlendedBitBtn(pan);
    btn->setColor(CorParaQColor(0xC0C0C0));
    auto* lbl = new QLabel(&form);
    lbl->setObjectName(QStringLiteral("lblSair"));
    const QColor labelText = lbl->palette().color(QPalette::WindowText);

    ColoreTela(&form, 0x000001, 0x000002, 0x000003, 0x000004, 0x000005, 0x000006);

    EXPECT_EQ(form.palette().color(QPalette::Window), CorParaQColor(1));
    EXPECT_EQ(pan->palette().color(QPalette::Window), CorParaQColor(2));
    EXPECT_EQ(btn->captionColor(), CorParaQColor(3));
    EXPECT_EQ(grid->palette().color(QPalette::Active, QPalette::Base), CorParaQColor(4));
    EXPECT_EQ(dxf->color(), CorParaQColor(5));
    EXPECT_EQ(grid->palette().color(QPalette::Active, QPalette::Text), CorParaQColor(6));
    EXPECT_EQ(grid->palette().color(QPalette::Active, QPalette::Highlight), highlight);
    EXPECT_EQ(shape->color(), CorParaQColor(0xD6D6D6));
    EXPECT_EQ(btn->color(), CorParaQColor(0xC0C0C0));
    EXPECT_EQ(lbl->palette().color(QPalette::WindowText), labelText);

    // What the screen sets afterwards stands.
    dxf->setColor(CorParaQColor(0x008000));
    form.show();
    QCoreApplication::processEvents();
    EXPECT_EQ(dxf->color(), CorParaQColor(0x008000));
}

TEST(ColoreTela, ATillWithoutSchemeKeepsTheGridReadable) {
    QWidget form;
    auto* grid = new TDBSortGrid(&form);
    const QPalette antes = grid->palette();
    ColoreTela(&form, 0, 0, 0, 0, 0, 0);
    EXPECT_EQ(grid->palette().color(QPalette::Active, QPalette::Base),
              antes.color(QPalette::Active, QPalette::Base));
    EXPECT_NE(grid->palette().color(QPalette::Active, QPalette::Text),
              grid->palette().color(QPalette::Active, QPalette::Base));
}
