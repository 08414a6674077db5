// Badges at the serving line: a reader's bursts and a person's keys in one run, by their own
// timestamps; each answer of a read with its banner, tone and row; the code typed on the keypad,
// a name found through the pick list, the marked count, and the reader's settings.

#include <QApplication>
#include <QKeyEvent>
#include <QMap>

#include <hul00002/Hul00002.h>

#include "dataset/DataSetModel.h"
#include "module/screen/BadgeReader.h"
#include "module/screen/TLabel.h"
#include "screen/Lista.h"

using namespace teste;
using Cli_Kel00815::BadgeBurst;
using Cli_Kel00815::BadgeReaderSettings;

namespace {

class Leitor : public Lista {
protected:
    void SetUp() override {
        Lista::SetUp();
        Hul00002::Bipe = [this](int tom) { tons << tom; };
    }
    void Pronta() {
        AbreComDados();
        banco.Executa({QStringLiteral(
            "INSERT INTO CONSUMIDOR (CDCONSUMIDOR, CDCLIENTE, CDIDCONSUMID, NMCONSUMIDOR, "
            "IDSITCONSUMI, CDCCUSCLIE, CDTIPOCONS) VALUES ('20','C1','7E1','HUGO','1','CC1','01'),"
            "('21','C1','E55','IARA','1','CC1','01')")});
        Mostra();
        PreencheCabecalho();
        Carrega();
        ASSERT_EQ(Crachas().size(), 9);
    }
    // One key press and its release at `ms`, as the window system sends them.
    void Aperta(QChar c, unsigned long ms) {
        Qt::Key k = Qt::Key(c.toUpper().unicode());
        QString texto(c);
        if (c == QLatin1Char('\r')) k = Qt::Key_Return;
        if (c == QLatin1Char('\t')) k = Qt::Key_Tab;
        Aperta(k, texto, ms);
    }
    void Aperta(Qt::Key k, const QString& texto, unsigned long ms) {
        // Capitals and symbols come with Shift held, as a reader on a US layout sends them.
        if (texto.size() == 1 && (texto.at(0).isUpper() || texto.at(0) == QLatin1Char('#'))) {
            QKeyEvent shift(QEvent::KeyPress, Qt::Key_Shift, Qt::NoModifier);
            shift.setTimestamp(ms);
            QApplication::sendEvent(tela->dbsPresenca, &shift);
        }
        for (QEvent::Type t : {QEvent::KeyPress, QEvent::KeyRelease}) {
            QKeyEvent e(t, k, Qt::NoModifier, texto);
            e.setTimestamp(ms);
            QApplication::sendEvent(tela->dbsPresenca, &e);
        }
    }
    // A reader: every character 4 ms after the last, then its suffix.
    void Le(const QString& codigo, const QString& sufixo = QStringLiteral("\r")) {
        for (QChar c : QString(codigo + sufixo)) Aperta(c, t += 4);
        t += 1000;
    }
    QString Banner() const {
        return tela->lblLeitura->isVisible() ? tela->lblLeitura->text() : QString();
    }
    QColor CorDoBanner() const { return tela->lblLeitura->palette().color(QPalette::WindowText); }
    QString Atual() const {
        return tela->cdsPresenca->fieldByName(QStringLiteral("CDIDCONSUMID")).asString();
    }
    // The row of a badge shows whole in the grid, clear of the banner.
    bool ClaraNaGrade(const QString& cracha) const {
        auto* g = tela->dbsPresenca;
        const int row = int(Crachas().indexOf(cracha));
        if (row < 0) return false;
        const QRect r =
            g->visualRect(g->dataModel()->index(row, Coluna(QStringLiteral("NMCONSUMIDOR"))));
        const QRect banner(g->viewport()->mapFrom(tela->panFundo, tela->lblLeitura->pos()),
                           tela->lblLeitura->size());
        return g->viewport()->rect().contains(r) && !r.intersects(banner);
    }
    QString Marcados() const { return tela->lblMarcados->caption(); }

    unsigned long t = 100000;
    QList<int> tons;
};

TEST_F(Leitor, EachAnswerHasItsBannerToneAndRowAndOnlyAMarkableRowIsMarked) {
    Pronta();
    const struct {
        const char* cracha;
        const char* banner;
        QColor cor;
        int tom;
    } casos[] = {
        {"101", "BIA", QColor(0, 128, 0), Hul00002::TomMarcado},
        {"101", "Já marcado: BIA", QColor(0, 0, 128), Hul00002::TomJaMarcado},
        {"105", "Já serviu hoje: FÁBIO", QColor(128, 128, 128), Hul00002::TomJaServiu},
        {"103", "Consumidor inativo: DÉBORA", QColor(255, 0, 0), Hul00002::TomInativo},
        {"104", "Consumidor inativo: EDU", QColor(255, 0, 0), Hul00002::TomInativo},
        {"106", "Consumidor inativo: GIL", QColor(255, 0, 0), Hul00002::TomInativo},
        {"7E1", "HUGO", QColor(0, 128, 0), Hul00002::TomMarcado},  // a key-map letter inside
    };
    for (const auto& c : casos) {
        const QString cracha = QString::fromLatin1(c.cracha);
        Le(cracha);
        EXPECT_EQ(Banner(), QString::fromUtf8(c.banner)) << c.cracha;
        EXPECT_EQ(CorDoBanner(), c.cor) << c.cracha;
        EXPECT_EQ(tons.value(tons.size() - 1), c.tom) << c.cracha;
        EXPECT_EQ(Atual(), cracha);
        EXPECT_TRUE(ClaraNaGrade(cracha)) << c.cracha;
    }
    // Not in the list: of another cost centre of the branch, or of none.
    Le(QStringLiteral("900"));
    EXPECT_EQ(Banner(), QStringLiteral("Crachá não pertence a esta lista (centro de custo CC2)"));
    Le(QStringLiteral("999"));
    EXPECT_EQ(Banner(), QStringLiteral("Crachá não pertence a esta lista"));
    EXPECT_EQ(tons.mid(tons.size() - 2), (QList<int>{5, 5}));

    const QStringList marcados{QStringLiteral("101"), QStringLiteral("7E1")};
    for (const QString& c : Crachas())
        EXPECT_EQ(MarcaDe(c) == QLatin1String("S"), marcados.contains(c)) << c.toStdString();
    EXPECT_EQ(Marcados(), QStringLiteral("Marcados: 2"));
    EXPECT_EQ(tela->inPasso, 1);                          // no reader's Enter moved the header step
    EXPECT_TRUE(mensagens.isEmpty() && erros.isEmpty());  // no dialog stopped the queue
}

TEST_F(Leitor, AReadWithoutALoadedListSaysSoAndChangesNothing) {
    AbreComDados();
    Mostra();
    Le(QStringLiteral("100"));
    EXPECT_EQ(Banner(), QStringLiteral("Carregue a lista antes de ler crachás"));
    EXPECT_EQ(tons, QList<int>{Hul00002::TomSemLista});
    // A list emptied from the header is no list either.
    PreencheCabecalho();
    Carrega();
    tela->panCabecClick(nullptr);
    Le(QStringLiteral("100"));
    EXPECT_EQ(Banner(), QStringLiteral("Carregue a lista antes de ler crachás"));
    EXPECT_TRUE(erros.isEmpty());
}

TEST_F(Leitor, APersonsKeysActAtOnceBeforeBetweenAndAfterAReadersBurst) {
    Pronta();
    const QStringList vendidos{QStringLiteral("104"), QStringLiteral("105")};
    // Enter and letters, each acting before the next event is even sent, however fast.
    Aperta(QLatin1Char('\r'), t);
    EXPECT_EQ(tela->inPasso, 2);
    Aperta(QLatin1Char('e'), t += 3);
    EXPECT_EQ(Crachas(), vendidos);
    Aperta(QLatin1Char('G'), t += 3);
    EXPECT_EQ(Crachas().size(), 9);
    Aperta(QLatin1Char('p'), t += 3);
    EXPECT_EQ(Crachas().size(), 7);
    // The reader's burst, its Enter its own.
    t += 400;
    Le(QStringLiteral("100"));
    EXPECT_EQ(MarcaDe(QStringLiteral("100")), QStringLiteral("S"));
    EXPECT_EQ(tela->inPasso, 2);
    // A person right after it: Enter, Space and a letter act as always.
    Aperta(QLatin1Char('\r'), t);
    EXPECT_EQ(tela->inPasso, 3);
    Aperta(QLatin1Char(' '), t += 200);  // Space toggles the current row, the read one
    EXPECT_EQ(MarcaDe(QStringLiteral("100")), QStringLiteral("N"));
    Aperta(QLatin1Char('i'), t += 200);
    EXPECT_EQ(Crachas().size(), 2);
    // Digits a person typed and left: nothing, and the keys after them act.
    Aperta(QLatin1Char('1'), t += 200);
    Aperta(QLatin1Char('\r'), t += 300);
    EXPECT_EQ(tela->inPasso, 4);
    Aperta(Qt::Key_F1, QString(), t += 100);
    EXPECT_EQ(chamadas, QStringList{QStringLiteral("RelFiscais")});
    EXPECT_TRUE(tons.size() == 1 && erros.isEmpty());
}

TEST_F(Leitor, AReadFindsItsRowUnderEveryViewAndOrder) {
    Pronta();
    tela->dxfPendenteClick(nullptr);
    Le(QStringLiteral("100"));  // shown by the pending view: the view stays
    EXPECT_EQ(Crachas().size(), 7);
    tela->dxfNcadsClick(nullptr);
    Le(QStringLiteral("105"));
    EXPECT_EQ(Banner(), QStringLiteral("Já serviu hoje: FÁBIO"));
    EXPECT_EQ(Crachas().size(), 2);
    // A row the view hides: the whole list shows, with the row current.
    tela->dxfInativosClick(nullptr);
    Le(QStringLiteral("101"));
    EXPECT_EQ(Crachas().size(), 9);
    EXPECT_EQ(Atual(), QStringLiteral("101"));
    EXPECT_TRUE(ClaraNaGrade(QStringLiteral("101")));
    ClicaTitulo(QStringLiteral("CDIDCONSUMID"));
    Le(QStringLiteral("102"));
    EXPECT_EQ(Atual(), QStringLiteral("102"));
    EXPECT_EQ(Crachas().first(), QStringLiteral("100"));
    EXPECT_EQ(Marcados(), QStringLiteral("Marcados: 3"));
}

TEST_F(Leitor, TheLastRowOfALongListIsBroughtClearOfTheBanner) {
    Pronta();
    QStringList linhas;
    for (int i = 0; i < 40; ++i)
        linhas << QStringLiteral("('%1','C1','5%1','ZZ %1','1','CC1','01')").arg(100 + i);
    banco.Executa({QStringLiteral("INSERT INTO CONSUMIDOR (CDCONSUMIDOR, CDCLIENTE, CDIDCONSUMID, "
                                  "NMCONSUMIDOR, IDSITCONSUMI, CDCCUSCLIE, CDTIPOCONS) VALUES ") +
                   linhas.join(QLatin1Char(','))});
    Carrega();
    ASSERT_EQ(Crachas().last(), QStringLiteral("5139"));
    for (const char* c : {"5139", "100", "5138"}) {
        Le(QString::fromLatin1(c));
        EXPECT_TRUE(ClaraNaGrade(QString::fromLatin1(c))) << c;
    }
}

TEST_F(Leitor, APrefixCarriesABadgeThatBeginsWithAKeyMapLetterAndASuffixEndsIt) {
    Pronta();
    BadgeReaderSettings s;
    s.prefixo = QStringLiteral("#");
    s.sufixo = QStringLiteral("\t");
    tela->leitorCracha.setSettings(s);
    Le(QStringLiteral("#E55"), QStringLiteral("\t"));
    EXPECT_EQ(Banner(), QStringLiteral("IARA"));
    EXPECT_EQ(Crachas().size(), 9);  // the E was the badge's, not the sold view
    // Enter is a person's again while the suffix is Tab.
    Le(QStringLiteral("101"), QStringLiteral("\r"));
    EXPECT_EQ(MarcaDe(QStringLiteral("101")), QStringLiteral("N"));
    EXPECT_EQ(tela->inPasso, 2);
    // Reads switched off: digits and Enter are a person's keys.
    s.ligado = false;
    tela->leitorCracha.setSettings(s);
    Le(QStringLiteral("102"), QStringLiteral("\t"));
    EXPECT_EQ(MarcaDe(QStringLiteral("102")), QStringLiteral("N"));
}

TEST_F(Leitor, TheKeypadReadsATypedBadgeAndThePickListFindsAName) {
    Pronta();
    teclado = QStringLiteral("102");
    Tecla(Qt::Key_F2);
    ASSERT_EQ(argsTeclado.size(), 1);
    EXPECT_EQ(argsTeclado[0].value(1).toString(), QStringLiteral("Crachá"));
    EXPECT_EQ(argsTeclado[0].value(4).toInt(), 21);
    EXPECT_EQ(Banner(), QStringLiteral("CAIO"));
    EXPECT_EQ(MarcaDe(QStringLiteral("102")), QStringLiteral("S"));
    teclado.reset();
    Tecla(Qt::Key_F2);  // cancelled: nothing
    EXPECT_EQ(tons.size(), 1);

    // The pick list gets badge and name of every row, keyboard open, on the row last found;
    // F4 then goes on to the next row that holds what was typed, accents and case ignored.
    tela->dxfInativosClick(nullptr);
    campoEscolha = QStringLiteral("CDIDCONSUMID");
    escolha = QStringLiteral("101");
    QString aberta;
    aoPesquisar = [&](dataset::ClientDataSet& ds) {
        aberta = ds.fieldByName(QStringLiteral("CDIDCONSUMID")).asString();
        EXPECT_EQ(ds.recordCount(), 9);
        EXPECT_EQ(ds.fieldCount(), 2);
        ds.setProperty("textoPesquisa", QStringLiteral("bi"));
    };
    Tecla(Qt::Key_F3);
    EXPECT_EQ(chamadas.last(), QStringLiteral("Pesquisa:cdsPesqConsumidor"));
    EXPECT_EQ(argsPesquisa.last().value(1).toString(), QStringLiteral("S"));
    EXPECT_EQ(aberta, QStringLiteral("102"));
    EXPECT_EQ(Atual(), QStringLiteral("101"));
    EXPECT_TRUE(ClaraNaGrade(QStringLiteral("101")));
    Tecla(Qt::Key_F4);
    EXPECT_EQ(Atual(), QStringLiteral("105"));  // FÁBIO
    Tecla(Qt::Key_F4);
    EXPECT_EQ(Atual(), QStringLiteral("101"));             // round to the top
    EXPECT_EQ(Marcados(), QStringLiteral("Marcados: 1"));  // a search marks nothing
}

TEST_F(Leitor, TheMarkedCountFollowsTogglesMarkAllReadsAndLoadsInItsOwnPlace) {
    Pronta();
    EXPECT_EQ(Marcados(), QStringLiteral("Marcados: 0"));
    ClicaMarca(QStringLiteral("100"));
    EXPECT_EQ(Marcados(), QStringLiteral("Marcados: 1"));
    Le(QStringLiteral("101"));
    EXPECT_EQ(Marcados(), QStringLiteral("Marcados: 2"));
    ClicaTitulo(QStringLiteral("IDCHECK"));
    EXPECT_EQ(Marcados(), QStringLiteral("Marcados: 5"));
    tela->dxfNcadsClick(nullptr);  // a view counts every row still
    EXPECT_EQ(Marcados(), QStringLiteral("Marcados: 5"));
    Carrega();
    EXPECT_EQ(Marcados(), QStringLiteral("Marcados: 0"));

    // Within the window, covering none of the footer's components, the largest count shown whole.
    tela->lblMarcados->setCaption(QStringLiteral("Marcados: 100000"));
    for (QWidget* l :
         {static_cast<QWidget*>(tela->lblMarcados), static_cast<QWidget*>(tela->lblTeclasCracha)}) {
        EXPECT_TRUE(QRect(0, 552, 800, 38).contains(l->geometry()))
            << l->objectName().toStdString();
        for (QWidget* outro : tela->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (outro == l || outro->isHidden() || outro->geometry().contains(l->geometry()))
                continue;
            EXPECT_FALSE(outro->geometry().intersects(l->geometry()))
                << l->objectName().toStdString() << " covers " << outro->objectName().toStdString();
        }
    }
    EXPECT_LE(
        tela->lblMarcados->fontMetrics().horizontalAdvance(QStringLiteral("Marcados: 100000")),
        tela->lblMarcados->width());
}

TEST(LeitorConfiguracao, SettingsComeFromTheirLinesAndABadValueKeepsTheDefault) {
    const auto de = [](QMap<QString, QString> linhas) {
        return BadgeReaderSettings::from([&](const QString& k) { return linhas.value(k); });
    };
    const BadgeReaderSettings s = de({{QStringLiteral("LeitorCracha"), QStringLiteral("n")},
                                      {QStringLiteral("LeitorJanelaMs"), QStringLiteral("80")},
                                      {QStringLiteral("LeitorPrefixo"), QStringLiteral("%%")},
                                      {QStringLiteral("LeitorSufixo"), QStringLiteral("tab")}});
    EXPECT_FALSE(s.ligado);
    EXPECT_EQ(s.janelaMs, 80);
    EXPECT_EQ(s.prefixo, QStringLiteral("%%"));
    EXPECT_EQ(s.sufixo, QStringLiteral("\t"));

    const BadgeReaderSettings ruim =
        de({{QStringLiteral("LeitorJanelaMs"), QStringLiteral("0")},
            {QStringLiteral("LeitorPrefixo"), QStringLiteral("E#")},
            {QStringLiteral("LeitorCracha"), QStringLiteral("talvez")}});
    EXPECT_TRUE(ruim.janelaMs == 50 && ruim.prefixo.isEmpty() && ruim.ligado);
    EXPECT_EQ(ruim.recusados.size(), 3);
}

TEST(LeitorConfiguracao, ABurstOutlastingItsWindowOrAcrossTheClocksWrapIsToldApart) {
    BadgeBurst b;
    // Across the wrap of a 32-bit millisecond clock, still one burst.
    unsigned long ms = 0xFFFFFFFFUL - 5;
    for (QChar c : QStringLiteral("42"))
        EXPECT_EQ(b.recebe(c.unicode(), QString(c), ms += 4), BadgeBurst::Acao::Engole);
    ms = (ms + 4) & 0xFFFFFFFFUL;
    EXPECT_EQ(b.recebe(Qt::Key_Return, QStringLiteral("\r"), ms), BadgeBurst::Acao::Lido);
    EXPECT_EQ(b.codigo(), QStringLiteral("42"));
    // A pause longer than the window: the digits were a person's, the Enter acts.
    EXPECT_EQ(b.recebe('7', QStringLiteral("7"), 1000), BadgeBurst::Acao::Engole);
    EXPECT_EQ(b.recebe(Qt::Key_Return, QStringLiteral("\r"), 1051), BadgeBurst::Acao::Passa);
    // A key no reader sends ends a burst and acts.
    EXPECT_EQ(b.recebe('7', QStringLiteral("7"), 2000), BadgeBurst::Acao::Engole);
    EXPECT_EQ(b.recebe(Qt::Key_Escape, QStringLiteral("\x1b"), 2002), BadgeBurst::Acao::Passa);
    EXPECT_FALSE(b.emCurso());
}

}  // namespace
