// Operator dialogs, result checking and the general error display.

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>

#include <gtest/gtest.h>

#include "common/ModalHelper.h"
#include "dataset/ClientDataSet.h"
#include "platform/Controls.h"
#include "platform/Platform.h"

using namespace platform;

namespace {

// Records every Mensagem and answers questions with `answer`.
struct Recorder {
    QList<MensagemArgs> calls;
    bool answer = true;
    MensagemPresenter previous;
    Recorder() {
        previous = SetMensagemPresenter([this](const MensagemArgs& a) {
            calls.append(a);
            return answer;
        });
    }
    ~Recorder() { SetMensagemPresenter(previous); }
};

dataset::DataPacket onePacket() {
    dataset::DataPacket::Builder b({dataset::FieldDef::text(QStringLiteral("CDCCUSCLIE"), 10)});
    b.appendRow();
    b.setText(0, u"0001");
    return b.finish();
}

}  // namespace

TEST(Mensagem, PresenterReceivesAllNineArgumentsInOrder) {
    Recorder rec;
    dataset::ClientDataSet ds;
    Mensagem(QStringLiteral("Texto"), QStringLiteral("Título"), QStringLiteral("N"),
             QStringLiteral("S"), 1, QStringLiteral("seis"), QStringLiteral("007"), 8, &ds);
    ASSERT_EQ(rec.calls.size(), 1);
    const MensagemArgs& a = rec.calls.first();
    EXPECT_EQ(a.texto, QStringLiteral("Texto"));
    EXPECT_EQ(a.titulo, QStringLiteral("Título"));
    EXPECT_EQ(a.flag3, QStringLiteral("N"));
    EXPECT_EQ(a.flag4, QStringLiteral("S"));
    EXPECT_EQ(a.tipo, 1);
    EXPECT_EQ(a.arg6, QStringLiteral("seis"));
    EXPECT_EQ(a.esquema, QStringLiteral("007"));
    EXPECT_EQ(a.arg8, 8);
    EXPECT_EQ(a.dataSet, &ds);
}

TEST(Mensagem, OnlyAQuestionReturnsTheAnswer) {
    Recorder rec;
    rec.answer = false;
    const auto ask = [](int tipo) {
        return Mensagem(QStringLiteral("?"), {}, QStringLiteral("N"), QStringLiteral("N"), tipo, {},
                        QStringLiteral("002"), 0, nullptr);
    };
    EXPECT_FALSE(ask(1));
    EXPECT_TRUE(ask(2));
    EXPECT_TRUE(ask(3));
    rec.answer = true;
    EXPECT_TRUE(ask(1));
}

TEST(MensagemMetodo, PassesAPacketThroughWithoutAMessage) {
    Recorder rec;
    const dataset::DataPacket p =
        MensagemMetodo(dataset::toVariant(onePacket()), true, 0, QStringLiteral("GetCentroCusto"),
                       QStringLiteral("Cli_Kel00815"), {}, QStringLiteral("001"));
    EXPECT_EQ(p.rowCount(), 1);
    EXPECT_EQ(p.text(0, 0), QStringLiteral("0001"));
    EXPECT_TRUE(rec.calls.isEmpty());
}

TEST(MensagemMetodo, AnErrorTextIsShownOnceAsErrorAndAbortsSilently) {
    Recorder rec;
    bool carriedOn = false;
    auto handler = Guard([&] {
        MensagemMetodo(QVariant(QStringLiteral("Tabela VENDA não existe (código 1)")), true, 0,
                       QStringLiteral("GetProdServ"), QStringLiteral("Cli_Kel00815"), {},
                       QStringLiteral("001"));
        carriedOn = true;
    });
    handler();
    EXPECT_FALSE(carriedOn);
    ASSERT_EQ(rec.calls.size(), 1);  // Guard adds nothing for the abort
    EXPECT_EQ(rec.calls[0].texto, QStringLiteral("Tabela VENDA não existe (código 1)"));
    EXPECT_EQ(rec.calls[0].tipo, 3);
    EXPECT_EQ(rec.calls[0].esquema, QStringLiteral("001"));
}

TEST(MensagemMetodo, ANonPacketNonTextIsAnErrorToo) {
    Recorder rec;
    for (const QVariant& v : {QVariant(), QVariant(42), QVariant(QString())}) {
        EXPECT_THROW(MensagemMetodo(v, true, 0, QStringLiteral("GetServico"),
                                    QStringLiteral("Cli_Kel00815"), {}, QStringLiteral("002")),
                     EAbort);
    }
    ASSERT_EQ(rec.calls.size(), 3);
    EXPECT_TRUE(rec.calls[0].texto.contains(QStringLiteral("GetServico")));
}

TEST(ErrorDisplay, GuardReportsErrorsAndUnknownExceptionsInPortuguese) {
    QStringList shown;
    ErrorDisplay previous = SetErrorDisplay([&](const QString& m) { shown << m; });
    Guard([] { throw Error(QStringLiteral("Falhou a leitura.")); })();
    Guard([] { throw 42; })();
    Guard([] { throw EAbort(); })();
    int calls = 0;
    Guard([&] { ++calls; })(true, 2);  // a handler may ignore the signal's arguments
    Guard([&](int n) { calls += n; })(2);
    EXPECT_EQ(calls, 3);
    SetErrorDisplay(previous);
    ASSERT_EQ(shown.size(), 2);
    EXPECT_EQ(shown[0], QStringLiteral("Falhou a leitura."));
    EXPECT_EQ(shown[1], QStringLiteral("Ocorreu um erro inesperado."));
}

TEST(ErrorDisplay, DefaultDisplayIsAnErrorMensagem) {
    Recorder rec;
    HandleException(std::make_exception_ptr(std::runtime_error("boom")));
    ASSERT_EQ(rec.calls.size(), 1);
    EXPECT_EQ(rec.calls[0].tipo, 3);
    EXPECT_TRUE(rec.calls[0].texto.contains(QStringLiteral("boom")));
}

// The real dialog, driven as an operator would: Enter takes the default answer.
namespace {
bool answerRealDialog(const QString& flag4, int tipo, const std::function<void(QWidget*)>& act,
                      QString* title = nullptr) {
    MensagemPresenter previous = SetMensagemPresenter({});
    quandoModal([&](QDialog* dlg) {
        if (title) *title = dlg->windowTitle();
        static int shot = 0;
        dlg->grab().save(QStringLiteral("/tmp/platform_mensagem_%1.png").arg(++shot));
        act(dlg);
    });
    const bool r = Mensagem(
        QStringLiteral("Confirma a geração das vendas para todos os consumidores marcados?"), {},
        QStringLiteral("N"), flag4, tipo, {}, QStringLiteral("002"), 0, nullptr);
    SetMensagemPresenter(previous);
    return r;
}
void pressEnter(QWidget* dlg) {
    QKeyEvent e(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(dlg, &e);
}
}  // namespace

TEST(MensagemDialog, DefaultAnswerFollowsTheFourthFlag) {
    EXPECT_TRUE(answerRealDialog(QStringLiteral("S"), 1, pressEnter));
    EXPECT_FALSE(answerRealDialog(QStringLiteral("N"), 1, pressEnter));
}

TEST(MensagemDialog, TouchButtonsAnswerAndNoticesShowTheirKind) {
    const auto click = [](const char* name) {
        return [name](QWidget* dlg) {
            auto* b = dlg->findChild<QAbstractButton*>(QLatin1String(name));
            ASSERT_NE(b, nullptr);
            EXPECT_GE(b->height(), 48);  // big enough for a finger
            b->click();
        };
    };
    EXPECT_TRUE(answerRealDialog(QStringLiteral("N"), 1, click("btnSim")));
    EXPECT_FALSE(answerRealDialog(QStringLiteral("S"), 1, click("btnNao")));
    QString title;
    EXPECT_TRUE(answerRealDialog(QStringLiteral("N"), 3, click("btnOk"), &title));
    EXPECT_EQ(title, QStringLiteral("Erro"));
}

TEST(MensagemDialog, TheTitleReadsOverAParentsStyleAndALongTextScrollsInsideTheScreen) {
    const MensagemPresenter previous = SetMensagemPresenter({});
    QDialog menu;  // a touch dialog that colours its own labels dark, as the fiscal menu does
    menu.setStyleSheet(QStringLiteral("QLabel { color: #1A1A1A; font-size: 30px; }"));
    menu.resize(400, 300);
    menu.open();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&menu, 2000));
    QString longo;
    for (int i = 0; i < 120; ++i) longo += QStringLiteral("Uma linha de texto longo do aviso. ");
    int claros = 0;
    QSize tamanho;
    int rolagem = 0;
    quandoModal([&](QDialog* dlg) {
        const QImage img = dlg->grab().toImage();
        auto* titulo = dlg->findChild<QLabel*>(QStringLiteral("lblTitulo"));
        ASSERT_NE(titulo, nullptr);
        const QRect r(titulo->mapTo(dlg, QPoint(0, 0)), titulo->size());
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x)
                if (QColor(img.pixel(x, y)).lightness() > 200) ++claros;
        tamanho = dlg->size();
        auto* area = dlg->findChild<QScrollArea*>(QStringLiteral("scrTexto"));
        ASSERT_NE(area, nullptr);
        rolagem = area->verticalScrollBar()->maximum();
        dlg->accept();
    });
    Mensagem(longo, {}, QStringLiteral("N"), QStringLiteral("N"), 2, {}, {}, 0, nullptr);
    SetMensagemPresenter(previous);
    EXPECT_GT(claros, 30) << "the title is not light on the band";
    EXPECT_LE(tamanho.height(), 595);
    EXPECT_LE(tamanho.width(), 800);
    EXPECT_GT(rolagem, 0) << "the long text does not scroll";
}
