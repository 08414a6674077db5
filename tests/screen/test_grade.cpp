// The grid as the operator uses it: marking by tap, click and Space, mark-all under every view,
// ordering by a title, the keys of the whole screen, and what each row looks like.

#include <QHeaderView>
#include <QImage>
#include <QPointingDevice>
#include <QTest>

#include <cmath>

#include <hul00002/Hul00002.h>

#include "dataset/DataSetModel.h"
#include "module/Cli_Kel00815.h"
#include "module/screen/TLabel.h"
#include "screen/Lista.h"

using namespace teste;
using Cli_Kel00815::boSelTudo;

namespace {

const QString S = QStringLiteral("S");
const QString N = QStringLiteral("N");

class Grade : public Lista {
protected:
    void Pronta() {
        AbreComDados();
        Mostra();
        PreencheCabecalho();
        Carrega();
        ASSERT_EQ(Crachas().size(), 7);
    }
    // Badges of the marked rows among all rows, whatever the view.
    QStringList Marcados() {
        QStringList r;
        auto* ds = tela->cdsPresenca;
        const bool filtrado = ds->filtered();
        const int atual = ds->recNo();
        ds->setFiltered(false);
        for (ds->first(); !ds->eof(); ds->next())
            if (ds->fieldByName(QStringLiteral("IDCHECK")).asString() == S)
                r << ds->fieldByName(QStringLiteral("CDIDCONSUMID")).asString();
        ds->setFiltered(filtrado);
        if (atual > 0) ds->moveTo(atual);
        r.sort();
        return r;
    }
    QString Atual() {
        return tela->cdsPresenca->fieldByName(QStringLiteral("CDIDCONSUMID")).asString();
    }
    void VaiPara(const QString& cracha) {
        auto* ds = tela->cdsPresenca;
        for (ds->first(); !ds->eof(); ds->next())
            if (ds->fieldByName(QStringLiteral("CDIDCONSUMID")).asString() == cracha) return;
        ADD_FAILURE() << "no row " << cracha.toStdString();
    }
    const QStringList markable{QStringLiteral("100"), QStringLiteral("101"), QStringLiteral("102")};
};

TEST_F(Grade, OnlyAPendingActiveRowTogglesByClickSpaceOrTap) {
    Pronta();
    ClicaMarca(QStringLiteral("100"));
    EXPECT_EQ(Marcados(), QStringList{QStringLiteral("100")});
    ClicaMarca(QStringLiteral("100"));
    EXPECT_TRUE(Marcados().isEmpty());

    // Sold, inactive, inactive and sold, and situation "3": never marked.
    for (const char* c : {"103", "104", "105", "106"}) {
        ClicaMarca(QString::fromLatin1(c));
        VaiPara(QString::fromLatin1(c));
        Tecla(Qt::Key_Space);
    }
    EXPECT_TRUE(Marcados().isEmpty());

    // A click on another column never marks.
    VaiPara(QStringLiteral("101"));
    tela->dbsPresencaCellClick(Coluna(QStringLiteral("NMCONSUMIDOR")));
    EXPECT_TRUE(Marcados().isEmpty());

    VaiPara(QStringLiteral("101"));
    Tecla(Qt::Key_Space);
    EXPECT_EQ(Marcados(), QStringList{QStringLiteral("101")});

    // A finger's tap on the mark cell toggles like the mouse.
    auto* grade = tela->dbsPresenca;
    const int row = int(Crachas().indexOf(QStringLiteral("102")));
    const QPoint p =
        grade->visualRect(grade->dataModel()->index(row, Coluna(QStringLiteral("IDCHECK"))))
            .center();
    QPointingDevice* dedo = QTest::createTouchDevice();
    QTest::touchEvent(grade->viewport(), dedo).press(0, p);
    QTest::touchEvent(grade->viewport(), dedo).release(0, p);
    QCoreApplication::processEvents();
    EXPECT_EQ(Marcados(), (QStringList{QStringLiteral("101"), QStringLiteral("102")}));

    // A swipe that starts on a mark cell scrolls and marks nothing.
    QTest::touchEvent(grade->viewport(), dedo).press(0, p);
    for (int dy = 10; dy <= 120; dy += 10)
        QTest::touchEvent(grade->viewport(), dedo).move(0, p - QPoint(0, dy));
    QTest::touchEvent(grade->viewport(), dedo).release(0, p - QPoint(0, 120));
    QTest::qWait(50);
    EXPECT_EQ(Marcados(), (QStringList{QStringLiteral("101"), QStringLiteral("102")}));

    // The counters never count marks.
    EXPECT_EQ(Contadores(), (QStringList{QStringLiteral("3"), QStringLiteral("2"),
                                         QStringLiteral("2"), QStringLiteral("7")}));
}

TEST_F(Grade, AnEmptyListIgnoresClicksTitlesAndSpace) {
    AbreComDados();
    Mostra();
    boSelTudo = false;
    tela->dbsPresencaTitleClick(Coluna(QStringLiteral("IDCHECK")));
    tela->dbsPresencaTitleClick(Coluna(QStringLiteral("NMCONSUMIDOR")));
    tela->dbsPresencaCellClick(Coluna(QStringLiteral("IDCHECK")));
    Tecla(Qt::Key_Space);
    EXPECT_FALSE(boSelTudo);
    EXPECT_TRUE(tela->cdsPresenca->indexFieldNames().isEmpty());
    EXPECT_TRUE(erros.isEmpty());
}

TEST_F(Grade, MarkAllMarksThenUnmarksEveryMarkableRowAndKeepsTheCurrentRow) {
    Pronta();
    ClicaMarca(QStringLiteral("101"));
    VaiPara(QStringLiteral("105"));
    ClicaTitulo(QStringLiteral("IDCHECK"));
    EXPECT_TRUE(boSelTudo);
    EXPECT_EQ(Marcados(), markable);
    EXPECT_EQ(Atual(), QStringLiteral("105"));
    ClicaTitulo(QStringLiteral("IDCHECK"));
    EXPECT_FALSE(boSelTudo);
    EXPECT_TRUE(Marcados().isEmpty());
    EXPECT_TRUE(tela->cdsPresenca->indexFieldNames().isEmpty());  // the mark title never sorts
}

TEST_F(Grade, MarkAllReachesWhatEachViewShows) {
    Pronta();
    // Inactive and sold views hold no markable row, but the flag still flips.
    tela->dxfInativosClick(nullptr);
    ClicaTitulo(QStringLiteral("IDCHECK"));
    EXPECT_TRUE(boSelTudo);
    EXPECT_TRUE(Marcados().isEmpty());
    tela->dxfNcadsClick(nullptr);
    ClicaTitulo(QStringLiteral("IDCHECK"));
    EXPECT_FALSE(boSelTudo);
    // The pending view shows inactive rows too; only the markable ones are marked.
    tela->dxfPendenteClick(nullptr);
    ClicaTitulo(QStringLiteral("IDCHECK"));
    EXPECT_EQ(Marcados(), markable);
    EXPECT_EQ(Crachas().size(), 5);
}

TEST_F(Grade, MarkAllUnderAnOrderAndUnderTheMarkedOnlyViewReachesEveryRow) {
    Pronta();
    ClicaTitulo(QStringLiteral("CDIDCONSUMID"));
    ClicaTitulo(QStringLiteral("IDCHECK"));
    EXPECT_EQ(Marcados(), markable);

    // The view a sale run leaves when it cannot reload: unmarking makes each row leave it.
    tela->cdsPresenca->setFiltered(false);
    tela->cdsPresenca->setFilter(QStringLiteral("IDCHECK = 'S'"));
    tela->cdsPresenca->setFiltered(true);
    VaiPara(QStringLiteral("101"));
    ClicaTitulo(QStringLiteral("IDCHECK"));
    EXPECT_TRUE(erros.isEmpty());
    EXPECT_TRUE(Marcados().isEmpty());
    EXPECT_TRUE(Crachas().isEmpty());
}

TEST_F(Grade, ATitleOrdersAscendingInTheBrazilianOrderAndTheOrderOutlivesALoad) {
    Pronta();
    banco.Executa({QStringLiteral(
        "INSERT INTO CONSUMIDOR (CDCONSUMIDOR, CDCLIENTE, CDIDCONSUMID, NMCONSUMIDOR, "
        "IDSITCONSUMI, CDCCUSCLIE, CDTIPOCONS) VALUES ('9','C1','099','álvaro','1','CC1','01'),"
        "('10','C1','098','Ábia','1','CC1','01')")});
    Carrega();
    const QStringList porNome = Crachas();
    ClicaTitulo(QStringLiteral("CDIDCONSUMID"));
    EXPECT_EQ(Crachas().first(), QStringLiteral("098"));
    ClicaTitulo(QStringLiteral("CDIDCONSUMID"));  // no descending order
    EXPECT_EQ(Crachas().first(), QStringLiteral("098"));
    Carrega();
    EXPECT_EQ(Crachas().first(), QStringLiteral("098"));
    ClicaTitulo(QStringLiteral("NMCONSUMIDOR"));
    EXPECT_EQ(Crachas(), porNome);  // the same order the query's ORDER BY gives
    EXPECT_EQ(Crachas().mid(0, 2), (QStringList{QStringLiteral("098"), QStringLiteral("099")}));
}

TEST_F(Grade, LettersShowTheirViewWhateverTheModifiers) {
    Pronta();
    const QStringList vendidos{QStringLiteral("104"), QStringLiteral("105")};
    for (Qt::KeyboardModifiers m :
         {Qt::KeyboardModifiers(Qt::NoModifier), Qt::KeyboardModifiers(Qt::ShiftModifier),
          Qt::KeyboardModifiers(Qt::ControlModifier)}) {
        tela->dxfTotalGeralClick(nullptr);
        Tecla(Qt::Key_E, m);
        EXPECT_EQ(Crachas(), vendidos) << int(m);
    }
    // Caps Lock: the key arrives as the same letter.
    tela->dxfTotalGeralClick(nullptr);
    QTest::keyClick(tela->dbsPresenca, 'e');
    EXPECT_EQ(Crachas(), vendidos);
    Tecla(Qt::Key_G);
    EXPECT_EQ(Crachas().size(), 7);
}

TEST_F(Grade, TheOtherKeysReachFiscalMenuPickersStepsAndClose) {
    Pronta();
    Tecla(Qt::Key_F1);
    EXPECT_EQ(chamadas, QStringList{QStringLiteral("RelFiscais")});
    tela->inPasso = 4;
    Tecla(Qt::Key_Return);
    EXPECT_EQ(tela->inPasso, 1);
    tela->inPasso = 3;
    dataCalendario = QString();
    Tecla(Qt::Key_F9);
    EXPECT_EQ(chamadas.last(), QStringLiteral("TouchCalendar"));
    // Escape closes only while "X" is enabled.
    tela->lblSair->setEnabled(false);
    Tecla(Qt::Key_Escape);
    EXPECT_TRUE(tela->isVisible());
    tela->lblSair->setEnabled(true);
    Tecla(Qt::Key_Escape);
    EXPECT_FALSE(tela->isVisible());
}

TEST_F(Grade, EachRowSaysItsStateWithoutColour) {
    Pronta();
    ClicaMarca(QStringLiteral("100"));
    auto* m = tela->dbsPresenca->dataModel();
    EXPECT_EQ(Estado(QStringLiteral("100")), QStringLiteral("Pendente, Marcado"));
    EXPECT_EQ(Estado(QStringLiteral("101")), QStringLiteral("Pendente"));
    EXPECT_EQ(Estado(QStringLiteral("103")), QStringLiteral("Inativo"));
    EXPECT_EQ(Estado(QStringLiteral("104")), QStringLiteral("Inativo"));
    EXPECT_EQ(Estado(QStringLiteral("105")), QStringLiteral("Venda gerada"));
    const int row = int(Crachas().indexOf(QStringLiteral("105")));
    EXPECT_TRUE(m->index(row, Coluna(QStringLiteral("IDCHECK")))
                    .data(Qt::AccessibleTextRole)
                    .toString()
                    .contains(QStringLiteral("Venda gerada")));
}

TEST_F(Grade, AColumnWidthTheOperatorDraggedOutlivesLoadsViewsSortsAndEmptying) {
    Pronta();
    QHeaderView* h = tela->dbsPresenca->horizontalHeader();
    const int nome = Coluna(QStringLiteral("NMCONSUMIDOR"));
    h->resizeSection(nome, 300);
    Carrega();
    tela->dxfInativosClick(nullptr);
    ClicaTitulo(QStringLiteral("CDIDCONSUMID"));
    tela->panCabecClick(nullptr);
    Carrega();
    EXPECT_EQ(h->sectionSize(nome), 300);
    EXPECT_TRUE(tela->dbsPresenca->isColumnHidden(Coluna(QStringLiteral("CDCONSUMIDOR"))));
}

// --- painting, read back from the grid's pixels

class Pintura : public Grade {
protected:
    QImage Imagem() {
        tela->dbsPresenca->viewport()->repaint();
        return tela->dbsPresenca->viewport()->grab().toImage();
    }
    QRect Celula(const QString& cracha, const QString& campo) {
        auto* g = tela->dbsPresenca;
        const int row = int(Crachas().indexOf(cracha));
        return g->visualRect(g->dataModel()->index(row, Coluna(campo)));
    }
    // The colours a cell holds, by count.
    QMap<QRgb, int> Cores(const QImage& img, const QRect& r) {
        QMap<QRgb, int> c;
        for (int y = r.top(); y <= r.bottom() - 1; ++y)
            for (int x = r.left(); x <= r.right(); ++x) ++c[img.pixel(x, y) & 0xFFFFFF];
        return c;
    }
};

TEST_F(Pintura, TextTakesTheColourOfItsRowsStateOnTheRowsOwnBackground) {
    Pronta();
    VaiPara(QStringLiteral("106"));  // the selected row elsewhere
    const QImage img = Imagem();
    const QRgb fundo = tela->dbsPresenca->palette().color(QPalette::Base).rgb() & 0xFFFFFF;
    const struct {
        const char* cracha;
        QRgb cor;
    } casos[] = {{"101", 0x008000}, {"103", 0xFF0000}, {"104", 0xFF0000}, {"105", 0x808080}};
    for (const auto& c : casos) {
        const auto cores =
            Cores(img, Celula(QString::fromLatin1(c.cracha), QStringLiteral("NMCONSUMIDOR")));
        EXPECT_GT(cores.value(c.cor), 5) << c.cracha;
        EXPECT_GT(cores.value(fundo), 50) << c.cracha;
    }
    // The situation "3" row is the selected one: its green text on the selection colour.
    const QRgb selecao = tela->dbsPresenca->palette().color(QPalette::Highlight).rgb() & 0xFFFFFF;
    const auto sel = Cores(img, Celula(QStringLiteral("106"), QStringLiteral("CDIDCONSUMID")));
    EXPECT_GT(sel.value(selecao), 50);
    EXPECT_GT(sel.value(0x008000), 5);
}

TEST_F(Pintura, TheMarkColumnShowsABoxOnTheCellBackgroundAndNoLetter) {
    Pronta();
    ClicaMarca(QStringLiteral("100"));
    VaiPara(QStringLiteral("106"));
    const QImage img = Imagem();
    const QRect marcada = Celula(QStringLiteral("100"), QStringLiteral("IDCHECK"));
    const QRect vazia = Celula(QStringLiteral("101"), QStringLiteral("IDCHECK"));
    const QRgb fundo = tela->dbsPresenca->palette().color(QPalette::Base).rgb() & 0xFFFFFF;
    for (const QRect& r : {marcada, vazia}) {
        const auto cores = Cores(img, r);
        EXPECT_EQ(cores.value(0x808000), 0) << "olive shows";
        EXPECT_EQ(cores.value(0x008000), 0) << "a green letter shows";
        EXPECT_GT(cores.value(0xC0C0C0), 10) << "no box";
        EXPECT_EQ(img.pixel(r.left() + 1, r.top() + 1) & 0xFFFFFF, fundo);
        EXPECT_EQ(img.pixel(r.left() + 4 + 1, r.top()) & 0xFFFFFF, fundo);  // olive corner
    }
    // The tick: black inside the box of the marked row only.
    const auto tick = [&](const QRect& r) {
        return Cores(img, QRect(r.left() + 4 + 3, r.top() + 3, 10, 10)).value(0x000000);
    };
    EXPECT_GT(tick(marcada), tick(vazia) + 5);
    Foto();
}

// The selected cell's text in each state colour reads on the selection as on the rows' white:
// WCAG contrast ratio of at least 3:1, measured from the grid's pixels.
double Luminancia(QRgb c) {
    const auto canal = [](int v) {
        const double x = v / 255.0;
        return x <= 0.04045 ? x / 12.92 : std::pow((x + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * canal(qRed(c)) + 0.7152 * canal(qGreen(c)) + 0.0722 * canal(qBlue(c));
}
double Contraste(QRgb a, QRgb b) {
    const double la = Luminancia(a), lb = Luminancia(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

TEST_F(Pintura, TheSelectedCellReadsInEveryStateColour) {
    Pronta();
    const struct {
        const char* cracha;
        QRgb cor;
    } casos[] = {{"101", 0x008000}, {"103", 0xFF0000}, {"105", 0x808080}};
    for (const auto& c : casos) {
        VaiPara(QString::fromLatin1(c.cracha));
        auto* g = tela->dbsPresenca;
        g->setCurrentIndex(
            g->dataModel()->index(g->currentIndex().row(), Coluna(QStringLiteral("NMCONSUMIDOR"))));
        const auto cores =
            Cores(Imagem(), Celula(QString::fromLatin1(c.cracha), QStringLiteral("NMCONSUMIDOR")));
        QRgb fundo = 0;
        for (auto it = cores.begin(); it != cores.end(); ++it)
            if (it.value() > cores.value(fundo)) fundo = it.key();
        EXPECT_NE(fundo, 0xFFFFFFu) << c.cracha << ": the selection does not show";
        EXPECT_GT(cores.value(c.cor), 5) << c.cracha;
        EXPECT_GE(Contraste(c.cor, fundo), 3.0) << c.cracha << " on " << std::hex << fundo;
        EXPECT_GE(Contraste(c.cor, 0xFFFFFF), 3.0) << c.cracha;
    }
}

// --- the current row is always where the operator sees it

class Rolagem : public Grade {
protected:
    void Longa() {
        AbreComDados();
        QStringList linhas;
        for (int i = 0; i < 40; ++i)
            linhas << QStringLiteral("('%1','C1','%2','NOME %3','1','CC1','01')")
                          .arg(100 + i)
                          .arg(500 + i)
                          .arg(99 - i);  // names in the opposite order of the badges
        banco.Executa({QStringLiteral("INSERT INTO CONSUMIDOR (CDCONSUMIDOR, CDCLIENTE, "
                                      "CDIDCONSUMID, NMCONSUMIDOR, IDSITCONSUMI, CDCCUSCLIE, "
                                      "CDTIPOCONS) VALUES ") +
                       linhas.join(QLatin1Char(','))});
        Mostra();
        PreencheCabecalho();
        Carrega();
        ASSERT_EQ(Crachas().size(), 47);
        tela->dbsPresenca->setFocus();
    }
    // The current row lies wholly inside the grid's viewport and inside the panel that holds it.
    ::testing::AssertionResult AtualVisivel() {
        QCoreApplication::processEvents();  // the grid scrolls once a walk is over
        auto* g = tela->dbsPresenca;
        const QRect linha = g->visualRect(g->currentIndex());
        const QRect noPainel(g->viewport()->mapTo(tela->panFundo, linha.topLeft()), linha.size());
        if (g->viewport()->rect().contains(linha) && tela->panFundo->rect().contains(noPainel))
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure()
               << "row " << g->currentIndex().row() << " at " << noPainel.top() << ".."
               << noPainel.bottom() << ", panel height " << tela->panFundo->height();
    }
};

TEST_F(Rolagem, ArrowsSortAndMarkAllKeepTheCurrentRowInSight) {
    Longa();
    for (int i = 0; i < 46; ++i) {
        Tecla(Qt::Key_Down);
        ASSERT_TRUE(AtualVisivel()) << "after " << i + 1 << " Down";
    }
    ClicaTitulo(QStringLiteral("NMCONSUMIDOR"));
    EXPECT_TRUE(AtualVisivel()) << "after the sort";
    for (int i = 0; i < 20; ++i) Tecla(Qt::Key_Up);
    EXPECT_TRUE(AtualVisivel());
    ClicaTitulo(QStringLiteral("IDCHECK"));
    EXPECT_TRUE(AtualVisivel()) << "after mark-all";
    for (int i = 0; i < 46; ++i) Tecla(Qt::Key_Down);
    EXPECT_TRUE(AtualVisivel()) << "at the last row";
    // Space marks the row the operator sees.
    const QString visto = Atual();
    ClicaTitulo(QStringLiteral("IDCHECK"));  // unmark all
    Tecla(Qt::Key_Space);
    EXPECT_EQ(MarcaDe(visto), S);
}

}  // namespace
