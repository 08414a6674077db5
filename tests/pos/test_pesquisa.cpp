// The touch pick list, driven as an operator would: typing, touching, keys.

#include <QAbstractItemModel>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QTableView>

#include <hul00002/Hul00002.h>

#include "common/ModalHelper.h"
#include "dataset/ClientDataSet.h"
#include "pos/touch/PickListFilter.h"

using dataset::ClientDataSet;
using dataset::FieldDef;

namespace {

// The service list as the screen hands it over: labels, widths and display handlers.
void montaServicos(ClientDataSet& ds) {
    auto hora = [](const dataset::Field& f, QString& t, bool) {
        const QString v = f.asString();
        t = v.left(2) + QLatin1Char(':') + v.mid(2);
    };
    FieldDef cod = FieldDef::text(QStringLiteral("CDSERVFILI"), 5);
    cod.displayLabel = QStringLiteral("Código");
    FieldDef nome = FieldDef::text(QStringLiteral("NMSERVICO"), 40);
    nome.displayLabel = QStringLiteral("Nome");
    nome.displayWidth = 30;
    FieldDef ini = FieldDef::text(QStringLiteral("HRINISERTUR"), 4);
    ini.displayLabel = QStringLiteral("Início");
    ini.displayWidth = 6;
    ini.onGetText = hora;
    FieldDef fim = FieldDef::text(QStringLiteral("HRFINSERTUR"), 4);
    fim.displayLabel = QStringLiteral("Fim");
    fim.displayWidth = 6;
    fim.onGetText = hora;
    FieldDef imp = FieldDef::text(QStringLiteral("IDIMPCUPOMAUT"), 1);
    imp.displayLabel = QStringLiteral("Imprime Automático");
    imp.onGetText = [](const dataset::Field& f, QString& t, bool) {
        t = f.asString() == QLatin1String("S") ? QStringLiteral("SIM") : QStringLiteral("NÃO");
    };
    ds.setFieldDefs({cod, nome, ini, fim, imp});
    ds.createDataSet();
    const char* const linhas[][5] = {{"001", "CAFÉ DA MANHÃ", "0600", "0800", "S"},
                                     {"002", "ALMOÇO", "1100", "1400", "N"},
                                     {"003", "Lanche da Tarde", "1500", "1630", "S"},
                                     {"004", "JANTAR", "1800", "2000", "s"},
                                     {"005", "CEIA NOTURNA", "2200", "0200", ""}};
    for (const auto& l : linhas) {
        ds.append();
        for (int c = 0; c < 5; ++c) ds.field(c).setAsString(QString::fromUtf8(l[c]));
        ds.post();
    }
    ds.first();
}

QTableView* grade(QDialog* d) {
    return filho<QTableView>(d, "grdPesquisa");
}

int linhasVisiveis(QDialog* d) {
    return grade(d)->model()->rowCount();
}

QString celula(QDialog* d, int linha, int coluna) {
    QAbstractItemModel* m = grade(d)->model();
    return m->data(m->index(linha, coluna)).toString();
}

void digita(QDialog* d, const QString& texto) {
    auto* edt = filho<QLineEdit>(d, "edtPesquisa");
    edt->clear();
    // QTest types ASCII only; an accented letter arrives as a physical keyboard would send it.
    for (const QChar c : texto) {
        if (c.unicode() < 128)
            QTest::keyClick(edt, c.toLatin1());
        else
            QTest::sendKeyEvent(QTest::Click, edt, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

bool pesquisa(ClientDataSet& ds, int cor1 = 0, int cor2 = 0) {
    return Hul00002::Pesquisa(ds, 0, QStringLiteral("N"), cor1, cor2, 0, 0, 0);
}

class PesquisaTest : public ::testing::Test {
protected:
    void SetUp() override {
        Hul00002::InstallDefaults();
        ds.setObjectName(QStringLiteral("cdsServico"));
        montaServicos(ds);
    }
    ClientDataSet ds;
};

}  // namespace

TEST(DobraTexto, IgnoresAccentsAndCase) {
    using Hul00002::detail::dobraTexto;
    EXPECT_EQ(dobraTexto(QStringLiteral("São JOÃO Açaí")), QStringLiteral("SAO JOAO ACAI"));
    EXPECT_EQ(dobraTexto(QStringLiteral("ÀÉÎÕÜ ç")), QStringLiteral("AEIOU C"));
}

TEST_F(PesquisaTest, TypingNarrowsRowsIgnoringAccentsAndCase) {
    quandoModal([](QDialog* d) {
        EXPECT_EQ(linhasVisiveis(d), 5);
        digita(d, QStringLiteral("almo"));
        EXPECT_EQ(linhasVisiveis(d), 1);
        EXPECT_EQ(celula(d, 0, 1), QStringLiteral("ALMOÇO"));
        digita(d, QStringLiteral("CAFE DA manha"));  // several words, accents left out
        EXPECT_EQ(linhasVisiveis(d), 1);
        EXPECT_EQ(celula(d, 0, 1), QStringLiteral("CAFÉ DA MANHÃ"));
        digita(d, QStringLiteral("lânche"));  // an accent the data does not have
        EXPECT_EQ(linhasVisiveis(d), 1);
        digita(d, QStringLiteral("18:00"));  // the displayed hour, not the stored 1800
        EXPECT_EQ(linhasVisiveis(d), 1);
        EXPECT_EQ(celula(d, 0, 1), QStringLiteral("JANTAR"));
        digita(d, QStringLiteral("xyz"));
        EXPECT_EQ(linhasVisiveis(d), 0);
        EXPECT_EQ(filho<QLabel>(d, "lblTotal")->text(), QStringLiteral("Nenhum item encontrado"));
        EXPECT_FALSE(filho<QWidget>(d, "btnOk")->isEnabled());
        digita(d, QString());
        EXPECT_EQ(linhasVisiveis(d), 5);
        d->reject();
    });
    EXPECT_FALSE(pesquisa(ds));
}

TEST_F(PesquisaTest, OnScreenKeyboardTypesIntoTheSearch) {
    quandoModal([](QDialog* d) {
        EXPECT_FALSE(filho<QWidget>(d, "pnlTeclado")->isVisible());
        clica(d, "btnTeclado");
        EXPECT_TRUE(filho<QWidget>(d, "pnlTeclado")->isVisible());
        for (const char* t : {"btnTeclaJ", "btnTeclaA", "btnTeclaN", "btnTeclaX"}) clica(d, t);
        EXPECT_EQ(filho<QLineEdit>(d, "edtPesquisa")->text(), QStringLiteral("JANX"));
        clica(d, "btnRetrocesso");
        EXPECT_EQ(filho<QLineEdit>(d, "edtPesquisa")->text(), QStringLiteral("JAN"));
        EXPECT_EQ(linhasVisiveis(d), 1);
        clica(d, "btnLimpaPesquisa");
        clica(d, "btnTecla2");
        clica(d, "btnTecla2");
        EXPECT_EQ(linhasVisiveis(d), 1);  // "22:00", the night supper
        // Touch keys never take the focus: Enter still reaches the search box.
        QTest::keyClick(foco(d), Qt::Key_Return);
    });
    EXPECT_TRUE(pesquisa(ds));
    EXPECT_EQ(ds.fieldByName(QStringLiteral("CDSERVFILI")).asString(), QStringLiteral("005"));
}

TEST_F(PesquisaTest, CancelLeavesTheDatasetWhereItStood) {
    ds.moveTo(2);
    quandoModal([](QDialog* d) {
        QTest::keyClick(foco(d), Qt::Key_Down);
        QTest::keyClick(foco(d), Qt::Key_Down);
        clica(d, "btnCancelar");
    });
    EXPECT_FALSE(pesquisa(ds));
    EXPECT_EQ(ds.recNo(), 2);

    quandoModal([](QDialog* d) {
        digita(d, QStringLiteral("jantar"));
        QTest::keyClick(foco(d), Qt::Key_Escape);
    });
    EXPECT_FALSE(pesquisa(ds));
    EXPECT_EQ(ds.recNo(), 2);
}

TEST_F(PesquisaTest, ChoiceStandsTheDatasetOnTheChosenRow) {
    // OK on the narrowed list.
    quandoModal([](QDialog* d) {
        digita(d, QStringLiteral("jantar"));
        clica(d, "btnOk");
    });
    EXPECT_TRUE(pesquisa(ds));
    EXPECT_EQ(ds.fieldByName(QStringLiteral("NMSERVICO")).asString(), QStringLiteral("JANTAR"));
    EXPECT_EQ(ds.property("textoPesquisa").toString(), QStringLiteral("jantar"));

    // The list opens on the current record: Enter keeps it; arrows move from there.
    ds.moveTo(2);
    quandoModal([](QDialog* d) {
        QTest::keyClick(foco(d), Qt::Key_Down);
        QTest::keyClick(foco(d), Qt::Key_Down);
        QTest::keyClick(foco(d), Qt::Key_Up);
        QTest::keyClick(foco(d), Qt::Key_Return);
    });
    EXPECT_TRUE(pesquisa(ds));
    EXPECT_EQ(ds.recNo(), 3);

    // A double tap on a row chooses it; single taps on two rows only move the highlight.
    quandoModal([](QDialog* d) {
        QTableView* g = grade(d);
        const QPoint linha1 = g->visualRect(g->model()->index(1, 1)).center();
        const QPoint linha3 = g->visualRect(g->model()->index(3, 1)).center();
        QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, linha1);
        QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, linha3);
        EXPECT_TRUE(d->isVisible());
        EXPECT_EQ(g->currentIndex().row(), 3);
        QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, linha3);
    });
    EXPECT_TRUE(pesquisa(ds));
    EXPECT_EQ(ds.fieldByName(QStringLiteral("CDSERVFILI")).asString(), QStringLiteral("004"));
}

TEST_F(PesquisaTest, ChoiceCountsOnlyTheRowsTheCallersFilterLetThrough) {
    ds.setFiltered(false);
    ds.setFilter(QStringLiteral("IDIMPCUPOMAUT = 'S'"));
    ds.setFiltered(true);
    ASSERT_EQ(ds.recordCount(), 2);
    quandoModal([](QDialog* d) {
        EXPECT_EQ(linhasVisiveis(d), 2);
        digita(d, QStringLiteral("lanche"));
        clica(d, "btnOk");
    });
    EXPECT_TRUE(pesquisa(ds));
    EXPECT_EQ(ds.fieldByName(QStringLiteral("CDSERVFILI")).asString(), QStringLiteral("003"));
    EXPECT_TRUE(ds.filtered());  // the caller's filter is the caller's
    EXPECT_EQ(ds.filter(), QStringLiteral("IDIMPCUPOMAUT = 'S'"));
}

TEST_F(PesquisaTest, ShowsLabelsWidthsAndDisplayTexts) {
    quandoModal([](QDialog* d) {
        QTableView* g = grade(d);
        QAbstractItemModel* m = g->model();
        ASSERT_EQ(m->columnCount(), 5);
        EXPECT_EQ(m->headerData(2, Qt::Horizontal).toString(), QStringLiteral("Início"));
        // A long title may be shown on two lines.
        EXPECT_EQ(m->headerData(4, Qt::Horizontal)
                      .toString()
                      .replace(QLatin1Char('\n'), QLatin1Char(' ')),
                  QStringLiteral("Imprime Automático"));
        EXPECT_EQ(celula(d, 0, 2), QStringLiteral("06:00"));
        EXPECT_EQ(celula(d, 4, 3), QStringLiteral("02:00"));
        EXPECT_EQ(celula(d, 0, 4), QStringLiteral("SIM"));
        EXPECT_EQ(celula(d, 3, 4), QStringLiteral("NÃO"));  // "s" is not "S"
        EXPECT_EQ(celula(d, 4, 4), QStringLiteral("NÃO"));
        // The 30-character name is the widest column; every title fits its column.
        QHeaderView* h = g->horizontalHeader();
        EXPECT_GT(h->sectionSize(1), h->sectionSize(0));
        EXPECT_GT(h->sectionSize(1), h->sectionSize(2));
        for (int c = 0; c < 5; ++c)
            for (const QString& linha :
                 m->headerData(c, Qt::Horizontal).toString().split(QLatin1Char('\n')))
                EXPECT_GE(h->sectionSize(c), h->fontMetrics().horizontalAdvance(linha)) << c;
        d->reject();
    });
    pesquisa(ds);
}

TEST_F(PesquisaTest, SchemeColoursPaintTheDialogAndZeroMeansDefaults) {
    QColor semEsquema, vermelho;
    quandoModal([&semEsquema](QDialog* d) {
        semEsquema = d->grab().toImage().pixelColor(d->width() / 2, 20);
        d->reject();
    });
    pesquisa(ds, 0, 0);
    quandoModal([&vermelho](QDialog* d) {
        vermelho = d->grab().toImage().pixelColor(d->width() / 2, 20);
        d->reject();
    });
    pesquisa(ds, 0x0000FF, 0);
    EXPECT_GT(semEsquema.value(), 40) << "a missing scheme must not paint black";
    EXPECT_EQ(vermelho, QColor(255, 0, 0));
}

TEST_F(PesquisaTest, EmptyListCannotBeConfirmed) {
    ds.emptyDataSet();
    quandoModal([](QDialog* d) {
        EXPECT_EQ(linhasVisiveis(d), 0);
        EXPECT_FALSE(filho<QWidget>(d, "btnOk")->isEnabled());
        QTest::keyClick(foco(d), Qt::Key_Return);
        EXPECT_TRUE(d->isVisible());
        d->reject();
    });
    EXPECT_FALSE(pesquisa(ds));
}

TEST_F(PesquisaTest, FingerDragsScrollTheListAndNeverCountAsTaps) {
    for (int i = 0; i < 30; ++i) {
        ds.append();
        ds.field(1).setAsString(QStringLiteral("EXTRA %1").arg(i));
        ds.post();
    }
    ds.first();
    quandoModal([](QDialog* d) {
        QTableView* g = grade(d);
        QWidget* vp = g->viewport();
        auto arrasta = [vp] {
            QPoint p = vp->rect().center() + QPoint(0, 100);
            QTest::mousePress(vp, Qt::LeftButton, {}, p);
            for (int i = 0; i < 15; ++i) {
                p.ry() -= 12;
                QMouseEvent move(QEvent::MouseMove, p, vp->mapToGlobal(p), Qt::NoButton,
                                 Qt::LeftButton, Qt::NoModifier);
                QApplication::sendEvent(vp, &move);
                QTest::qWait(10);
            }
            QTest::mouseRelease(vp, Qt::LeftButton, {}, p);
        };
        arrasta();
        arrasta();  // two quick drags over the same row are not a double tap
        QTest::qWait(300);
        EXPECT_GT(g->verticalScrollBar()->value(), 0);
        EXPECT_TRUE(d->isVisible());
        d->reject();
    });
    EXPECT_FALSE(pesquisa(ds));
}
