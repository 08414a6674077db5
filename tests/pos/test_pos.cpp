// The package's procedure variables and its calendar, keypad, waiting window and fiscal menu.

#include <QLabel>
#include <QLineEdit>

#include <hul00002/Hul00002.h>

#include "common/ModalHelper.h"
#include "dataset/ClientDataSet.h"
#include "platform/Platform.h"
#include "pos/touch/WaitingWindow.h"

namespace {

QString mensagemDe(const std::function<void()>& f) {
    try {
        f();
    } catch (const platform::Error& e) {
        return e.message();
    }
    return QStringLiteral("<nada>");
}

// Today is 15/03/2026 for every test here; the real clock never decides a result.
class ComRelogio : public ::testing::Test {
protected:
    void SetUp() override {
        Hul00002::InstallDefaults();
        antigo = platform::SetClock([] { return QDateTime(QDate(2026, 3, 15), QTime(10, 30)); });
    }
    void TearDown() override { platform::SetClock(antigo); }
    platform::Clock antigo;
};

QString calendario() {
    return Hul00002::TouchCalendar(0, 0, 0);
}

bool teclado(QString& entrada, int tamanho = 20, const QString& vazio = QStringLiteral("Vazio!")) {
    return Hul00002::TecladoNumerico(entrada, QStringLiteral("Informe o horário da venda."),
                                     QStringLiteral("Informe Hora e minuto"), vazio, tamanho, 0, 0,
                                     0, 0, 0);
}

}  // namespace

TEST(ProcedureVariables, UnassignedOnesRaiseNamingTheOperation) {
    Hul00002::ResetToUnassigned();
    dataset::ClientDataSet ds;
    QString s;
    QVariant r;
    const QString prefixo = QStringLiteral("Serviço de ponto de venda não instalado: ");
    EXPECT_EQ(mensagemDe([&] { Hul00002::Pesquisa(ds, 0, QStringLiteral("N"), 0, 0, 0, 0, 0); }),
              prefixo + QStringLiteral("Pesquisa"));
    EXPECT_EQ(mensagemDe([] { Hul00002::TouchCalendar(0, 0, 0); }),
              prefixo + QStringLiteral("TouchCalendar"));
    EXPECT_EQ(mensagemDe([&] { Hul00002::TecladoNumerico(s, {}, {}, {}, 20, 0, 0, 0, 0, 0); }),
              prefixo + QStringLiteral("TecladoNumerico"));
    EXPECT_EQ(mensagemDe([] { Hul00002::AtivaProcesso(nullptr, {}, 0, 0); }),
              prefixo + QStringLiteral("AtivaProcesso"));
    EXPECT_EQ(mensagemDe([] { Hul00002::DesativaProcesso(); }),
              prefixo + QStringLiteral("DesativaProcesso"));
    EXPECT_EQ(mensagemDe([] { Hul00002::RelFiscais(); }), prefixo + QStringLiteral("RelFiscais"));
    EXPECT_EQ(mensagemDe([&] { Hul00002::GeraCupomVenda({}, 0, QVariantList(16), r); }),
              prefixo + QStringLiteral("GeraCupomVenda"));

    // Installed, the sale generator refuses what is not a hand-over packet.
    Hul00002::InstallDefaults();
    EXPECT_TRUE(mensagemDe([&] {
                    Hul00002::GeraCupomVenda({}, 0, QVariantList(16), r);
                }).contains(QStringLiteral("Nenhuma venda foi gerada")));
    EXPECT_NO_THROW(Hul00002::DesativaProcesso());
}

using Calendario = ComRelogio;

TEST_F(Calendario, EnterTakesTodayEscapeGivesEmptyText) {
    quandoModal([](QDialog* d) {
        EXPECT_EQ(filho<QLabel>(d, "lblMes")->text(), QStringLiteral("Março de 2026"));
        QTest::keyClick(foco(d), Qt::Key_Return);
    });
    EXPECT_EQ(calendario(), QStringLiteral("15/03/2026"));

    quandoModal([](QDialog* d) { QTest::keyClick(foco(d), Qt::Key_Escape); });
    EXPECT_EQ(calendario(), QString());

    quandoModal([](QDialog* d) {
        QTest::keyClick(foco(d), Qt::Key_Right);
        clica(d, "btnCancelar");
    });
    EXPECT_EQ(calendario(), QString());
}

TEST_F(Calendario, KeysAndButtonsMoveAcrossDaysAndMonths) {
    quandoModal([](QDialog* d) {
        QTest::keyClick(foco(d), Qt::Key_Down);      // 22/03
        QTest::keyClick(foco(d), Qt::Key_Right);     // 23/03
        QTest::keyClick(foco(d), Qt::Key_PageDown);  // 23/04
        QTest::keyClick(foco(d), Qt::Key_Up);        // 16/04
        EXPECT_EQ(filho<QLabel>(d, "lblMes")->text(), QStringLiteral("Abril de 2026"));
        QTest::keyClick(foco(d), Qt::Key_Enter);
    });
    EXPECT_EQ(calendario(), QStringLiteral("16/04/2026"));

    // Touch: previous month, pick the 31st, touch it again to confirm.
    quandoModal([](QDialog* d) {
        clica(d, "btnMesAnterior");
        EXPECT_EQ(filho<QLabel>(d, "lblMes")->text(), QStringLiteral("Fevereiro de 2026"));
        clica(d, "btnMesAnterior");
        clica(d, "btnDia31");
        EXPECT_TRUE(d->isVisible());
        clica(d, "btnDia31");
    });
    EXPECT_EQ(calendario(), QStringLiteral("31/01/2026"));

    // Across the year, then back to today.
    quandoModal([](QDialog* d) {
        for (int i = 0; i < 3; ++i) QTest::keyClick(foco(d), Qt::Key_PageUp);
        EXPECT_EQ(filho<QLabel>(d, "lblMes")->text(), QStringLiteral("Dezembro de 2025"));
        clica(d, "btnHoje");
        clica(d, "btnOk");
    });
    EXPECT_EQ(calendario(), QStringLiteral("15/03/2026"));
}

using Teclado = ComRelogio;

TEST_F(Teclado, DigitsByTouchAndKeyboardUpToTheLimit) {
    quandoModal([](QDialog* d) {
        for (const char* b : {"btn1", "btn2", "btn3"}) clica(d, b);
        QTest::keyClicks(foco(d), QStringLiteral("45x6"));  // letters are ignored
        EXPECT_EQ(filho<QLineEdit>(d, "edtEntrada")->text(), QStringLiteral("1234"));
        EXPECT_FALSE(filho<QLabel>(d, "lblMensagem")->text().isEmpty());  // the limit is said
        QTest::keyClick(foco(d), Qt::Key_Backspace);
        clica(d, "btnApaga");
        clica(d, "btn0");
        QTest::keyClick(foco(d), Qt::Key_Return);
    });
    QString e;
    EXPECT_TRUE(teclado(e, 4));
    EXPECT_EQ(e, QStringLiteral("120"));

    // The screen's own limit of 20 lets a five-digit entry through, for it to refuse.
    quandoModal([](QDialog* d) {
        QTest::keyClicks(foco(d), QStringLiteral("12345"));
        clica(d, "btnConfirma");
    });
    e.clear();
    EXPECT_TRUE(teclado(e));
    EXPECT_EQ(e, QStringLiteral("12345"));
}

TEST_F(Teclado, EmptyConfirmShowsTheTextThenAcceptsOnSecondConfirm) {
    quandoModal([](QDialog* d) {
        clica(d, "btnConfirma");
        EXPECT_TRUE(d->isVisible());
        EXPECT_TRUE(filho<QLabel>(d, "lblMensagem")
                        ->text()
                        .startsWith(QStringLiteral("Hora da venda deve ser informada.")));
        QTest::keyClick(foco(d), Qt::Key_Enter);
    });
    QString e;
    EXPECT_TRUE(teclado(e, 20, QStringLiteral("Hora da venda deve ser informada.")));
    EXPECT_EQ(e, QString());

    // Typing and clearing in between asks again.
    quandoModal([](QDialog* d) {
        clica(d, "btnConfirma");
        clica(d, "btn7");
        clica(d, "btnLimpa");
        clica(d, "btnConfirma");
        EXPECT_TRUE(d->isVisible());
        clica(d, "btnConfirma");
    });
    EXPECT_TRUE(teclado(e));
}

TEST_F(Teclado, CancelReturnsFalseAndKeepsTheEntry) {
    QString e = QStringLiteral("0730");
    quandoModal([](QDialog* d) {
        EXPECT_EQ(filho<QLineEdit>(d, "edtEntrada")->text(), QStringLiteral("0730"));
        clica(d, "btn9");
        QTest::keyClick(foco(d), Qt::Key_Escape);
    });
    EXPECT_FALSE(teclado(e));
    EXPECT_EQ(e, QStringLiteral("0730"));

    quandoModal([](QDialog* d) {
        QTest::keyClick(foco(d), Qt::Key_Delete);
        clica(d, "btnCancelar");
    });
    EXPECT_FALSE(teclado(e));
    EXPECT_EQ(e, QStringLiteral("0730"));
}

TEST(Processo, WaitingWindowShowsOverTheFormAndGoesAway) {
    Hul00002::InstallDefaults();
    QWidget form;
    form.resize(800, 595);
    form.show();
    Hul00002::AtivaProcesso(&form, QStringLiteral("Aguarde. Imprimindo."), 0, 0);
    QWidget* j = Hul00002::detail::janelaProcesso();
    ASSERT_NE(j, nullptr);
    EXPECT_TRUE(j->isVisible());
    EXPECT_FALSE(j->isModal());
    EXPECT_EQ(filho<QLabel>(j, "lblProcesso")->text(), QStringLiteral("Aguarde. Imprimindo."));

    QPointer<QWidget> primeira(j);
    // A second call replaces the window rather than stacking another.
    Hul00002::AtivaProcesso(&form, QStringLiteral("Outro"), 0, 0);
    QWidget* j2 = Hul00002::detail::janelaProcesso();
    ASSERT_NE(j2, nullptr);
    EXPECT_NE(j2, primeira.data());
    EXPECT_TRUE(!primeira || !primeira->isVisible());

    Hul00002::DesativaProcesso();
    EXPECT_EQ(Hul00002::detail::janelaProcesso(), nullptr);
    EXPECT_NO_THROW(Hul00002::DesativaProcesso());
}

// The reports themselves are tested over recorded sales (tests/venda); here, a till without
// its parameter file.
TEST(RelFiscais, WithoutTheTillsIdentityEveryReportSaysSoAndEscapeCloses) {
    Hul00002::InstallDefaults();
    QList<platform::MensagemArgs> chamadas;
    auto antigo = platform::SetMensagemPresenter([&](const platform::MensagemArgs& a) {
        chamadas << a;
        return true;
    });
    quandoModal([](QDialog* d) {
        for (const char* b : {"btnLeituraX", "btnReducaoZ", "btnMemoriaFiscal", "btnReimprimir"})
            clica(d, b);
        QTest::keyClick(foco(d), Qt::Key_Escape);
    });
    Hul00002::RelFiscais();
    platform::SetMensagemPresenter(antigo);
    ASSERT_EQ(chamadas.size(), 4);
    for (const platform::MensagemArgs& a : chamadas) {
        EXPECT_EQ(a.tipo, 2);
        EXPECT_TRUE(a.texto.contains(QStringLiteral("PARAMETROSZOR.CDS")));
    }
}
