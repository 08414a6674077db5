// The screen as the operator first sees it: components by name, where they stand, what they say,
// the grid's columns, the pictures, the datasets and the message catalogue.

#include <QAbstractItemModel>
#include <QFontDatabase>
#include <QFontInfo>
#include <QHeaderView>
#include <QImage>
#include <QSet>

#include "dataset/DataSetModel.h"
#include "module/screen/TLabel.h"
#include "platform/TMessages.h"
#include "screen/Tela.h"

using namespace teste;
using Cli_Kel00815::TLabel;

namespace {

class Layout : public Tela {
protected:
    void SetUp() override {
        Tela::SetUp();
        Abre(false);
    }
    template <typename T = QWidget>
    T* w(const char* nome) {
        T* x = tela->findChild<T*>(QString::fromLatin1(nome));
        EXPECT_NE(x, nullptr) << nome;
        return x;
    }
    QString caption(const char* nome) { return w(nome)->property("caption").toString(); }
};

TEST_F(Layout, IsABorderless800x595WindowTitledListaDePresenca) {
    EXPECT_EQ(tela->size(), QSize(800, 595));
    EXPECT_TRUE(tela->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(tela->windowTitle(), QStringLiteral("Lista de Presença"));
    EXPECT_EQ(tela->minimumSize(), tela->maximumSize());  // not resizable
}

TEST_F(Layout, KeyComponentsStandWhereTheDesignPutsThem) {
    struct {
        const char* nome;
        const char* pai;
        QRect geo;
    } const casos[] = {
        {"blsBorda1", "frmPresenca", {0, 0, 800, 595}},
        {"blsFundo", "frmPresenca", {4, 3, 795, 589}},
        {"blsCabec", "frmPresenca", {7, 6, 788, 49}},
        {"BlendedShape1", "frmPresenca", {7, 552, 788, 38}},
        {"imgTopo", "frmPresenca", {16, 9, 41, 41}},
        {"lblCabec", "frmPresenca", {64, 19, 649, 26}},
        {"lblSair", "frmPresenca", {757, 10, 22, 39}},
        {"panCabec", "frmPresenca", {7, 60, 787, 110}},
        {"blbFundo1", "panCabec", {134, 9, 121, 28}},
        {"blbCentCusto", "panCabec", {135, 10, 117, 26}},
        {"dxfCentCusto", "panCabec", {242, 3, 47, 39}},
        {"blbFundo2", "panCabec", {426, 10, 292, 28}},
        {"blbServico", "panCabec", {427, 11, 288, 26}},
        {"dxfServico", "panCabec", {702, 3, 47, 39}},
        {"Label2", "panCabec", {748, 16, 23, 13}},
        {"blbFundo3", "panCabec", {133, 61, 124, 28}},
        {"blbDtVenda", "panCabec", {134, 62, 120, 26}},
        {"dxfDtVenda", "panCabec", {241, 55, 47, 39}},
        {"blbFundo4", "panCabec", {450, 61, 122, 28}},
        {"blbHrVenda", "panCabec", {451, 62, 115, 26}},
        {"dxfhrVenda", "panCabec", {551, 55, 47, 39}},
        {"Label3", "panCabec", {598, 69, 23, 13}},
        {"lblHrVenda", "panCabec", {334, 62, 121, 26}},
        {"blbCarregar", "panCabec", {648, 44, 57, 64}},
        {"blbGeraVenda", "panCabec", {717, 44, 57, 64}},
        {"panFundo", "frmPresenca", {8, 175, 787, 369}},
        {"dbsPresenca", "panFundo", {0, 0, 787, 369}},  // wholly inside its panel
        {"dxfPendente", "frmPresenca", {13, 555, 22, 23}},
        {"lblPendentes", "frmPresenca", {38, 558, 109, 16}},
        {"lblTotPendente", "frmPresenca", {153, 558, 14, 16}},
        {"dxfInativos", "frmPresenca", {196, 555, 23, 23}},
        {"lblTotInativo", "frmPresenca", {322, 558, 14, 16}},
        {"dxfNcads", "frmPresenca", {361, 555, 23, 23}},
        {"lblVendaGerada", "frmPresenca", {387, 558, 133, 16}},
        {"dxfTotalGeral", "frmPresenca", {587, 555, 23, 23}},
        {"lblTotGeral", "frmPresenca", {737, 558, 14, 16}},
        {"lblCodTela", "frmPresenca", {671, 577, 116, 11}},
        {"imgUncheck", "frmPresenca", {294, 571, 22, 20}},
        {"imgCheck", "frmPresenca", {318, 570, 22, 20}},
    };
    for (const auto& c : casos) {
        QWidget* x = w(c.nome);
        if (!x) continue;
        EXPECT_EQ(x->geometry(), c.geo) << c.nome;
        EXPECT_EQ(x->parentWidget()->objectName(), QString::fromLatin1(c.pai)) << c.nome;
    }
    // Drawn back to front: the border under the white, the bands over it, the pickers over
    // the frames they overlap.
    const QObjectList& filhos = tela->children();
    EXPECT_LT(filhos.indexOf(w("blsBorda1")), filhos.indexOf(w("blsFundo")));
    EXPECT_LT(filhos.indexOf(w("blsFundo")), filhos.indexOf(w("blsCabec")));
    const QObjectList& doPainel = tela->panCabec->children();
    EXPECT_LT(doPainel.indexOf(tela->blbFundo2), doPainel.indexOf(tela->dxfServico));
}

TEST_F(Layout, PaintsTheBorderTheWhiteGroundAndBothBands) {
    const QImage img = tela->grab().toImage();
    if (const QByteArray f = qgetenv("SCREEN_PNG"); !f.isEmpty())
        img.save(QString::fromLocal8Bit(f));
    ASSERT_EQ(img.size(), QSize(800, 595));
    const auto em = [&](int x, int y) { return QColor(img.pixel(x, y)); };
    EXPECT_EQ(em(1, 300), QColor(128, 128, 128));       // border
    EXPECT_EQ(em(5, 300), QColor(Qt::white));           // ground, left of the list
    EXPECT_EQ(em(400, 8), QColor(0xD6, 0xD6, 0xD6));    // title band, above the title
    EXPECT_EQ(em(400, 589), QColor(0xD6, 0xD6, 0xD6));  // footer band
    EXPECT_EQ(em(450, 575), QColor(0xD6, 0xD6, 0xD6));
}

TEST_F(Layout, GridShowsExactlyThreeTitledColumnsAndNeverEdits) {
    auto* grade = tela->dbsPresenca;
    auto* modelo = grade->model();
    ASSERT_NE(modelo, nullptr);
    const auto colunasVisiveis = [&] {
        QList<std::tuple<QString, int, QString>> r;
        QHeaderView* h = grade->horizontalHeader();
        for (int v = 0; v < h->count(); ++v) {
            const int l = h->logicalIndex(v);
            if (h->isSectionHidden(l)) continue;
            r << std::tuple{
                grade->dataModel()->dataSet()->fieldDef(grade->dataModel()->fieldOfColumn(l)).name,
                h->sectionSize(l),
                modelo->headerData(l, Qt::Horizontal, Qt::DisplayRole).toString()};
        }
        return r;
    };
    const QList<std::tuple<QString, int, QString>> esperado = {
        {QStringLiteral("IDCHECK"), 62, QStringLiteral("Presença")},
        {QStringLiteral("CDIDCONSUMID"), 190, QStringLiteral("Código do Crachá")},
        {QStringLiteral("NMCONSUMIDOR"), 518, QStringLiteral("Nome do Consumidor")},
    };
    EXPECT_EQ(colunasVisiveis(), esperado);

    // Loading a list resets the model; the columns must survive it.
    tela->cdsPresenca->setData(
        PacotePresenca({{QStringLiteral("123"), QStringLiteral("ANA"), QStringLiteral("1")}}));
    EXPECT_EQ(colunasVisiveis(), esperado);
    ASSERT_EQ(modelo->rowCount(), 1);

    EXPECT_EQ(grade->editTriggers(), QAbstractItemView::NoEditTriggers);
    for (int c = 0; c < modelo->columnCount(); ++c)
        EXPECT_FALSE(modelo->flags(modelo->index(0, c)) & Qt::ItemIsEditable) << c;
    EXPECT_EQ(grade->selectionMode(), QAbstractItemView::SingleSelection);
    EXPECT_NE(grade->selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_FALSE(grade->verticalHeader()->isVisible());  // no row indicator
}

TEST_F(Layout, StartsWithEmptyHeaderZeroCountersAndOnlyLoadEnabled) {
    EXPECT_TRUE(tela->blbCarregar->isEnabled());
    EXPECT_FALSE(tela->blbGeraVenda->isEnabled());
    EXPECT_EQ(Contadores(), QStringList(4, QStringLiteral("00")));
    EXPECT_EQ(Captions(), QStringList(4, QString()));
    EXPECT_EQ(QuadrosVermelhos(), QList<bool>(4, false));
    for (auto* f : {tela->blbFundo1, tela->blbFundo2, tela->blbFundo3, tela->blbFundo4})
        EXPECT_EQ(f->color(), QColor(Qt::white));
    EXPECT_TRUE(tela->imgCheck->isHidden());
    EXPECT_TRUE(tela->imgUncheck->isHidden());
    for (auto* ds :
         {tela->cdsPresenca, tela->cdsServico, tela->cdsPesqCentCusto, tela->cdsPresencaAux,
          tela->cdsProdServ, tela->cdsTipoCons, tela->cdsProdServTCons, tela->cdsParametrosZor})
        EXPECT_FALSE(ds->active()) << ds->objectName().toStdString();
    EXPECT_EQ(tela->inPasso, 0);
    EXPECT_TRUE(tela->stCdFilial.isEmpty() && tela->stIdEsquema.isEmpty());
}

TEST_F(Layout, OnlyTheGridTakesTheKeyboard) {
    // The grid is first in the tab order and the screen's shortcuts arrive through it: a control
    // that took the focus on a tap would swallow F9, Enter and Escape.
    QStringList focaveis;
    for (QWidget* x : tela->findChildren<QWidget*>())
        if (x->focusPolicy() & Qt::TabFocus) focaveis << x->objectName();
    EXPECT_EQ(focaveis, QStringList({QStringLiteral("dbsPresenca")}));
}

TEST_F(Layout, CountersGrowWithTheirTextFromTheSamePlace) {
    for (TLabel* l :
         {tela->lblTotPendente, tela->lblTotInativo, tela->lblTotVenda, tela->lblTotGeral}) {
        const QPoint canto = l->pos();
        l->setCaption(QStringLiteral("1128"));
        EXPECT_GE(l->width(), l->fontMetrics().horizontalAdvance(QStringLiteral("1128")));
        EXPECT_EQ(l->pos(), canto);
        EXPECT_EQ(l->height(), 16);
    }
}

TEST_F(Layout, CaptionsUnderlineTheirLetterAndHideTheAmpersand) {
    EXPECT_EQ(tela->blbCarregar->caption(), QStringLiteral("&Carregar\rAlunos"));
    EXPECT_EQ(tela->blbGeraVenda->caption(), QStringLiteral("Gerar\r&Vendas"));
    EXPECT_EQ(tela->blbGeraVenda->spacing(), -2);
    struct {
        const char* nome;
        const char* caption;
        const char* sublinhada;
    } const rotulos[] = {
        {"lblPendentes", "Alunos &Pendentes", "<u>P</u>"},
        {"lblInativos", "Alunos &Inativos", "<u>I</u>"},
        {"lblVendaGerada", "Alunos V&enda Gerada", "<u>e</u>"},
        {"lblTotalGeral", "Total &Geral Alunos", "<u>G</u>"},
    };
    for (const auto& r : rotulos) {
        auto* l = w<TLabel>(r.nome);
        EXPECT_EQ(caption(r.nome), QString::fromUtf8(r.caption));
        EXPECT_TRUE(l->text().contains(QLatin1String(r.sublinhada))) << r.nome;
        EXPECT_FALSE(l->text().contains(QLatin1Char('&') + QString(QLatin1Char(r.sublinhada[3]))))
            << r.nome;
    }
    EXPECT_EQ(caption("lblCabec"), QStringLiteral("Lista de Presença"));
    EXPECT_EQ(caption("lblSair"), QStringLiteral("X"));
    EXPECT_EQ(caption("lblCentCus"), QStringLiteral("Centro Custo"));
    EXPECT_EQ(caption("lblServico"), QStringLiteral("Serviço"));
    EXPECT_EQ(caption("lblDtVenda"), QStringLiteral("Data Venda"));
    EXPECT_EQ(caption("lblHrVenda"), QStringLiteral("Hora Venda"));
    for (const char* dica : {"lblF9", "Label1", "Label2", "Label3"})
        EXPECT_EQ(caption(dica), QStringLiteral("(F9)"));
    EXPECT_EQ(caption("lblCodTela"), QStringLiteral("F1 - Menu Fiscal - Kel00815"));
    // A literal "&&" stays one ampersand; a carriage return breaks the line.
    EXPECT_EQ(TLabel::captionHtml(QStringLiteral("A&&B\rC")), QStringLiteral("A&amp;B<br>C"));
}

TEST_F(Layout, FontsKeepTheDesignPixelHeightsOnInstalledFaces) {
    struct {
        const char* nome;
        int px;
        bool negrito;
    } const casos[] = {
        {"lblCabec", 19, true},      {"lblSair", 32, true},      {"lblCentCus", 19, true},
        {"blbCentCusto", 11, true},  {"lblF9", 11, true},        {"blbCarregar", 11, true},
        {"lblPendentes", 13, false}, {"lblTotGeral", 13, false}, {"lblCodTela", 9, false},
        {"dbsPresenca", 16, true},
    };
    const QStringList instaladas = QFontDatabase::families();
    for (const auto& c : casos) {
        const QFont f = w(c.nome)->font();
        EXPECT_EQ(f.pixelSize(), c.px) << c.nome;
        EXPECT_EQ(f.bold(), c.negrito) << c.nome;
        EXPECT_TRUE(instaladas.contains(QFontInfo(f).family())) << c.nome;
    }
}

TEST_F(Layout, ColoursFollowTheDesign) {
    const auto texto = [&](const char* nome) {
        return w(nome)->palette().color(QPalette::WindowText);
    };
    const QColor navy(0, 0, 128), red(255, 0, 0), silver(192, 192, 192);
    EXPECT_EQ(texto("lblCabec"), navy);
    EXPECT_EQ(texto("lblSair"), red);
    EXPECT_EQ(texto("lblCentCus"), navy);
    EXPECT_EQ(texto("lblTotPendente"), navy);
    EXPECT_EQ(tela->blsBorda1->color(), QColor(128, 128, 128));
    EXPECT_EQ(tela->blsFundo->color(), QColor(Qt::white));
    EXPECT_EQ(tela->blsCabec->color(), QColor(0xD6, 0xD6, 0xD6));
    EXPECT_EQ(tela->BlendedShape1->color(), QColor(0xD6, 0xD6, 0xD6));
    for (auto* b : {tela->blbCentCusto, tela->blbServico, tela->blbDtVenda, tela->blbHrVenda}) {
        EXPECT_EQ(b->color(), silver);
        EXPECT_EQ(b->captionColor(), navy);
    }
    for (auto* b : {tela->dxfCentCusto, tela->dxfServico, tela->dxfDtVenda, tela->dxfhrVenda})
        EXPECT_EQ(b->color(), silver);
    EXPECT_EQ(tela->blbCarregar->color(), silver);
    EXPECT_EQ(tela->dxfPendente->color(), QColor(0, 128, 0));
    EXPECT_EQ(tela->dxfInativos->color(), red);
    EXPECT_EQ(tela->dxfNcads->color(), QColor(128, 128, 128));
    EXPECT_EQ(tela->dxfTotalGeral->color(), QColor(0, 128, 0));
}

TEST_F(Layout, PicturesHaveTheirSizesAndTheCheckBoxesStandOnOlive) {
    EXPECT_EQ(tela->imgTopo->pixmap().size(), QSize(32, 38));
    for (auto* b : {tela->dxfCentCusto, tela->dxfServico, tela->dxfDtVenda, tela->dxfhrVenda})
        EXPECT_EQ(b->glyph().size(), QSize(31, 32));
    EXPECT_EQ(tela->blbCarregar->glyph().size(), QSize(27, 32));
    EXPECT_EQ(tela->blbGeraVenda->glyph().size(), QSize(36, 32));
    for (auto* b : {tela->dxfPendente, tela->dxfInativos, tela->dxfNcads, tela->dxfTotalGeral})
        EXPECT_EQ(b->glyph().size(), QSize(25, 24));
    // Something is drawn in each picture.
    for (const QPixmap& p : {tela->imgTopo->pixmap(), tela->dxfServico->glyph(),
                             tela->blbCarregar->glyph(), tela->blbGeraVenda->glyph()}) {
        const QImage i = p.toImage();
        int opacos = 0;
        for (int y = 0; y < i.height(); ++y)
            for (int x = 0; x < i.width(); ++x) opacos += qAlpha(i.pixel(x, y)) > 128;
        EXPECT_GT(opacos, i.width() * i.height() / 5);
    }

    const QImage marcada = tela->imgCheck->pixmap().toImage();
    const QImage vazia = tela->imgUncheck->pixmap().toImage();
    ASSERT_EQ(marcada.size(), QSize(16, 16));
    ASSERT_EQ(vazia.size(), QSize(16, 16));
    const QRgb olive = qRgb(128, 128, 0);
    const QSet<QRgb> permitidas{olive, qRgb(0, 0, 0), qRgb(255, 255, 255), qRgb(192, 192, 192)};
    int diferentes = 0;
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            const QRgb m = marcada.pixel(x, y) | 0xFF000000, v = vazia.pixel(x, y) | 0xFF000000;
            EXPECT_TRUE(permitidas.contains(m) && permitidas.contains(v)) << x << "," << y;
            if (m != v) {
                ++diferentes;
                EXPECT_EQ(m, qRgb(0, 0, 0));  // only the tick differs
                EXPECT_EQ(v, qRgb(255, 255, 255));
            }
        }
    }
    EXPECT_GT(diferentes, 10);
    for (const QPoint p : {QPoint(0, 0), QPoint(15, 0), QPoint(0, 15), QPoint(15, 15)})
        EXPECT_EQ(vazia.pixel(p) | 0xFF000000, olive);
    EXPECT_TRUE(tela->imgCheck->hasScaledContents());
}

TEST_F(Layout, ServiceHoursAndPrintFlagDisplayByTheCharacterRule) {
    tela->cdsServico->setData(Pacote(
        {QStringLiteral("CDSERVFILI"), QStringLiteral("NMSERVICO"), QStringLiteral("HRINISERTUR"),
         QStringLiteral("HRFINSERTUR"), QStringLiteral("IDIMPCUPOMAUT")},
        {
            {QStringLiteral("1"), QStringLiteral("A"), QStringLiteral("0730"),
             QStringLiteral("2359"), QStringLiteral("S")},
            {QStringLiteral("2"), QStringLiteral("B"), QString(), QStringLiteral("730"),
             QStringLiteral("N")},
            {QStringLiteral("3"), QStringLiteral("C"), QStringLiteral("1100"),
             QStringLiteral("1400"), QStringLiteral("s")},
            {QStringLiteral("4"), QStringLiteral("D"), QStringLiteral("1100"),
             QStringLiteral("1400"), QString()},
        }));
    auto* ds = tela->cdsServico;
    const int ini = ds->fieldIndex(QStringLiteral("HRINISERTUR"));
    const int fin = ds->fieldIndex(QStringLiteral("HRFINSERTUR"));
    const int imp = ds->fieldIndex(QStringLiteral("IDIMPCUPOMAUT"));
    EXPECT_EQ(ds->displayTextAt(0, ini), QStringLiteral("07:30"));
    EXPECT_EQ(ds->displayTextAt(0, fin), QStringLiteral("23:59"));
    EXPECT_EQ(ds->displayTextAt(1, ini), QStringLiteral(":"));
    EXPECT_EQ(ds->displayTextAt(1, fin), QStringLiteral("73:0"));
    EXPECT_EQ(ds->displayTextAt(0, imp), QStringLiteral("SIM"));
    EXPECT_EQ(ds->displayTextAt(1, imp), QStringLiteral("NÃO"));
    EXPECT_EQ(ds->displayTextAt(2, imp), QStringLiteral("NÃO"));
    EXPECT_EQ(ds->displayTextAt(3, imp), QStringLiteral("NÃO"));
    // The stored text itself is untouched.
    ds->first();
    EXPECT_EQ(ds->fieldByName(QStringLiteral("HRINISERTUR")).asString(), QStringLiteral("0730"));
}

TEST_F(Layout, DataSetsCarryTheirLabelsWidthsHiddenFieldsAndDefault) {
    const auto nomes = [](dataset::ClientDataSet* ds) {
        QStringList r;
        for (const auto& f : ds->declaredFieldDefs()) r << f.name;
        return r;
    };
    EXPECT_EQ(nomes(tela->cdsPresenca),
              QStringList({QStringLiteral("CDFILIAL"), QStringLiteral("CDCAIXA"),
                           QStringLiteral("CDIDCONSUMID"), QStringLiteral("NMCONSUMIDOR"),
                           QStringLiteral("DTHRREALCONCONS"), QStringLiteral("IDSITCONSUMI"),
                           QStringLiteral("IDCHECK"), QStringLiteral("CDCLIENTE"),
                           QStringLiteral("CDTIPOCONS"), QStringLiteral("CDCONSUMIDOR")}));
    QStringList ocultos;
    for (const auto& f : tela->cdsPresenca->declaredFieldDefs())
        if (!f.visible) ocultos << f.name;
    EXPECT_EQ(ocultos, QStringList({QStringLiteral("CDFILIAL"), QStringLiteral("CDCAIXA"),
                                    QStringLiteral("IDSITCONSUMI")}));
    const auto& servico = tela->cdsServico->declaredFieldDefs();
    ASSERT_EQ(servico.size(), 5);
    EXPECT_EQ(servico[0].label(), QStringLiteral("Código"));
    EXPECT_EQ(servico[1].label(), QStringLiteral("Nome"));
    EXPECT_EQ(servico[1].displayWidth, 30);
    EXPECT_EQ(servico[2].label(), QStringLiteral("Início"));
    EXPECT_EQ(servico[3].label(), QStringLiteral("Fim"));
    EXPECT_EQ(servico[3].displayWidth, 6);
    EXPECT_EQ(servico[4].label(), QStringLiteral("Imprime Automático"));
    const auto& cc = tela->cdsPesqCentCusto->declaredFieldDefs();
    ASSERT_EQ(cc.size(), 1);
    EXPECT_EQ(cc[0].name, QStringLiteral("CDCCUSCLIE"));
    EXPECT_EQ(cc[0].label(), QStringLiteral("Centro de Custo"));
    EXPECT_EQ(cc[0].displayWidth, 75);
    EXPECT_EQ(cc[0].size, 10);

    // A new attendance row starts unmarked.
    tela->cdsPresenca->createDataSet();
    tela->cdsPresenca->append();
    EXPECT_EQ(tela->cdsPresenca->fieldByName(QStringLiteral("IDCHECK")).asString(),
              QStringLiteral("N"));
    tela->cdsPresenca->cancel();
    EXPECT_EQ(tela->cdsPresencaAux->declaredFieldDefs().size(), 11);
}

TEST_F(Layout, CatalogueHoldsItsSixteenLinesWithTheirExactTexts) {
    const QList<std::pair<const char*, const char*>> esperado = {
        {"DATA_MAIOR", "Data Inválida. Data da venda não deve ser maior que a data atual"},
        {"HOR_DEV_INF", "Hora da venda deve ser informada."},
        {"HORAVENDA", "Informe o horário da venda."},
        {"HORA_INV", "Hora Inválida."},
        {"HORA_INV2",
         "Hora informada é inválida. Horário de venda deve estar entre a hora inicial e a hora "
         "final do serviço informado"},
        {"GERNOTPER", "Geração das vendas não permitida. Nenhum consumidor foi marcado."},
        {"CONFGERACAO", "Confirma a geração das vendas para todos os consumidores marcados?"},
        {"IMPRIMINDO", "Aguarde. Imprimindo cupom fiscal para os alunos selecionados."},
        {"CCUSTODEVEINF", "Centro de Custo deve ser informado."},
        {"SERV_INF", "Serviço deve ser informado."},
        {"DATA_INF", "Data deve ser informada."},
        {"HORA_INF", "Hora deve ser informada."},
        {"INFORME_HORA", "Informe Hora e minuto sem \":\""},
        {"GERNOTPER2",
         "Geração da vendas não permitida. Falta parametrização de produtos para o serviço "
         "informado."},
        {"SERVNPAR", "Serviço não parametrizado."},
        {"CCUSNPAR", "Centro de Custo não parametrizado."},
    };
    const QStringList linhas = tela->msgPadrao->lines();
    ASSERT_EQ(linhas.size(), esperado.size());
    for (int i = 0; i < esperado.size(); ++i) {
        const QString chave = QString::fromLatin1(esperado[i].first);
        const QString texto = QString::fromUtf8(esperado[i].second);
        EXPECT_EQ(linhas[i], chave + QLatin1Char('|') + texto);
        EXPECT_EQ(tela->msgPadrao->Msg(chave), texto);
    }
}

}  // namespace
