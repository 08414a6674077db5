// Construction of the attendance screen: fonts, the table of positions, the components, the
// grid's columns, the message catalogue and the datasets' field definitions.

#include <QFrame>
#include <QHeaderView>

#include "dataset/ClientDataSet.h"
#include "dataset/DataSetModel.h"
#include "module/screen/Imagens_p.h"
#include "module/screen/TLabel.h"
#include "module/screen/TfrmPresenca.h"
#include "module/screen/TfrmPresenca_p.h"
#include "platform/TMessages.h"
#include "pos/sale/HandOver.h"

namespace Cli_Kel00815 {

using namespace tela;

namespace {

// The Windows faces the layout was drawn with are not installed on Linux tills. Same pixel height,
// nearest metrics: Liberation Sans keeps the widths the captions were laid out for (DejaVu Sans
// runs wider and would clip "Centro Custo"); the narrow cut stands in for the tiny bitmap face.
enum class Face { Tahoma, MsSansSerif, SmallFonts };

QFont fonte(Face f, int alturaPx, bool negrito) {
    QFont font;
    switch (f) {
        case Face::Tahoma:
        case Face::MsSansSerif:
            font.setFamilies({QStringLiteral("Liberation Sans"), QStringLiteral("Arial"),
                              QStringLiteral("DejaVu Sans")});
            break;
        case Face::SmallFonts:
            font.setFamilies({QStringLiteral("Liberation Sans Narrow"),
                              QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
            break;
    }
    font.setPixelSize(alturaPx);
    font.setBold(negrito);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

// Where every component stands: left, top, width, height; relative to panCabec or panFundo
// for their children, to the window for the rest.
struct Posicao {
    const char* nome;
    int left, top, width, height;
};
constexpr Posicao kLayout[] = {
    // background and bands, back to front
    {"blsBorda1", 0, 0, 800, 595},
    {"blsFundo", 4, 3, 795, 589},
    {"BlendedShape1", 7, 552, 788, 38},
    {"blsCabec", 7, 6, 788, 49},
    // title band
    {"imgTopo", 16, 9, 41, 41},
    {"lblCabec", 64, 19, 649, 26},
    {"lblSair", 757, 10, 22, 39},
    // header panel and its steps
    {"panCabec", 7, 60, 787, 110},
    {"lblCentCus", 3, 10, 129, 26},
    {"blbFundo1", 134, 9, 121, 28},
    {"blbCentCusto", 135, 10, 117, 26},
    {"dxfCentCusto", 242, 3, 47, 39},
    {"lblF9", 288, 16, 23, 13},
    {"lblServico", 334, 10, 88, 26},
    {"blbFundo2", 426, 10, 292, 28},
    {"blbServico", 427, 11, 288, 26},
    {"dxfServico", 702, 3, 47, 39},
    {"Label2", 748, 16, 23, 13},
    {"lblDtVenda", 3, 59, 126, 26},
    {"blbFundo3", 133, 61, 124, 28},
    {"blbDtVenda", 134, 62, 120, 26},
    {"dxfDtVenda", 241, 55, 47, 39},
    {"Label1", 288, 66, 23, 13},
    {"lblHrVenda", 334, 62, 121, 26},
    {"blbFundo4", 450, 61, 122, 28},
    {"blbHrVenda", 451, 62, 115, 26},
    {"dxfhrVenda", 551, 55, 47, 39},
    {"Label3", 598, 69, 23, 13},
    {"blbCarregar", 648, 44, 57, 64},
    {"blbGeraVenda", 717, 44, 57, 64},
    // the list; the panel clips the grid's lowest 16 px
    {"panFundo", 8, 175, 787, 369},
    // As tall as its panel: the 16 px more it once had were cut off by the panel, and the
    // current row scrolled into them, out of sight.
    {"dbsPresenca", 0, 0, 787, 369},
    // footer
    {"dxfPendente", 13, 555, 22, 23},
    {"lblPendentes", 38, 558, 109, 16},
    {"lblTotPendente", 153, 558, 14, 16},
    {"dxfInativos", 196, 555, 23, 23},
    {"lblInativos", 221, 558, 90, 16},
    {"lblTotInativo", 322, 558, 14, 16},
    {"dxfNcads", 361, 555, 23, 23},
    {"lblVendaGerada", 387, 558, 133, 16},
    {"lblTotVenda", 530, 558, 14, 16},
    {"dxfTotalGeral", 587, 555, 23, 23},
    {"lblTotalGeral", 617, 558, 111, 16},
    {"lblTotGeral", 737, 558, 14, 16},
    {"lblCodTela", 671, 577, 116, 11},
    // the second footer line, clear of the squares above it; the banner over the grid's foot
    {"lblMarcados", 38, 576, 150, 13},
    {"lblTeclasCracha", 400, 577, 180, 11},
    {"lblLeitura", 0, 325, 787, 44},
    // what the last sale run left unsold: a count on the second footer line beside the marked
    // count, the action in the title band's free right end; both hidden while there is none
    {"lblNaoVendidos", 222, 578, 136, 12},
    {"blbMarcaNaoVendidos", 580, 11, 168, 39},
    // a till without its server: the title band's free left end, beside the picture
    {"lblOffline", 62, 8, 238, 45},
    // the check pictures, never shown
    {"imgUncheck", 294, 571, 22, 20},
    {"imgCheck", 318, 570, 22, 20},
};

// The grid's columns: field, width. Titles are the fields' display labels.
struct Coluna {
    const char* campo;
    int largura;
};
constexpr Coluna kColunas[] = {{"IDCHECK", 62}, {"CDIDCONSUMID", 190}, {"NMCONSUMIDOR", 518}};

template <typename T>
T* nomeia(T* w, const char* nome) {
    w->setObjectName(QString::fromLatin1(nome));
    return w;
}

TLabel* rotulo(QWidget* pai, const char* nome, const QString& caption, const QFont& f, int corTexto,
               Qt::Alignment alin = Qt::AlignLeft | Qt::AlignTop) {
    auto* l = nomeia(new TLabel(pai), nome);
    l->setFont(f);
    QPalette pal = l->palette();
    pal.setColor(QPalette::WindowText, cor(corTexto));
    l->setPalette(pal);
    l->setAlignment(alin);
    l->setCaption(caption);
    return l;
}

platform::TBlendedShape* forma(QWidget* pai, const char* nome, int preenchimento) {
    auto* s = nomeia(new platform::TBlendedShape(pai), nome);
    s->setColor(cor(preenchimento));
    return s;
}

platform::TBlendedButton* botao(QWidget* pai, const char* nome, int preenchimento) {
    auto* b = nomeia(new platform::TBlendedButton(pai), nome);
    b->setColor(cor(preenchimento));
    b->setFocusPolicy(Qt::NoFocus);
    return b;
}

platform::TdxfColorButton* botaoCor(QWidget* pai, const char* nome, int preenchimento,
                                    const QPixmap& figura) {
    auto* b = nomeia(new platform::TdxfColorButton(pai), nome);
    b->setColor(cor(preenchimento));
    b->setGlyph(figura);
    b->setFocusPolicy(Qt::NoFocus);
    return b;
}

QFrame* painel(QWidget* pai, const char* nome) {
    auto* p = nomeia(new QFrame(pai), nome);
    p->setFrameShape(QFrame::NoFrame);  // no bevel
    p->setAutoFillBackground(true);
    return p;
}

QLabel* imagem(QWidget* pai, const char* nome, const QPixmap& figura) {
    auto* i = nomeia(new QLabel(pai), nome);
    i->setPixmap(figura);
    i->setAlignment(Qt::AlignCenter);
    return i;
}

}  // namespace

void TfrmPresenca::criaComponentes() {
    setFont(fonte(Face::MsSansSerif, 11, false));
    const QFont tituloCampo = fonte(Face::Tahoma, 19, true);
    const QFont valor = fonte(Face::MsSansSerif, 11, true);
    const QFont rodape = fonte(Face::MsSansSerif, 13, false);
    const QPixmap lupa = imagens::Desenho(QStringLiteral("lupa"), QSize(31, 32));
    const QPixmap quadrado = imagens::Desenho(QStringLiteral("quadrado"), QSize(25, 24));

    // Background and bands, back to front.
    blsBorda1 = forma(this, "blsBorda1", clGray);
    blsFundo = forma(this, "blsFundo", clWhite);
    BlendedShape1 = forma(this, "BlendedShape1", clLightGray);
    blsCabec = forma(this, "blsCabec", clLightGray);

    // Title band.
    imgTopo = imagem(this, "imgTopo", imagens::Desenho(QStringLiteral("topo"), QSize(32, 38)));
    lblCabec = rotulo(this, "lblCabec", QStringLiteral("Lista de Presença"),
                      fonte(Face::Tahoma, 19, true), clNavy, Qt::AlignHCenter | Qt::AlignTop);
    lblSair = rotulo(this, "lblSair", QStringLiteral("X"), fonte(Face::Tahoma, 32, true), clRed,
                     Qt::AlignHCenter | Qt::AlignTop);
    lblSair->setCursor(Qt::PointingHandCursor);

    // Header panel: per step a caption, a frame, the value inside it, the picker and its hint.
    panCabec = painel(this, "panCabec");
    lblCentCus =
        rotulo(panCabec, "lblCentCus", QStringLiteral("Centro Custo"), tituloCampo, clNavy);
    lblServico = rotulo(panCabec, "lblServico", QStringLiteral("Serviço"), tituloCampo, clNavy);
    lblDtVenda = rotulo(panCabec, "lblDtVenda", QStringLiteral("Data Venda"), tituloCampo, clNavy);
    lblHrVenda = rotulo(panCabec, "lblHrVenda", QStringLiteral("Hora Venda"), tituloCampo, clNavy);
    blbFundo1 = botao(panCabec, "blbFundo1", clWhite);
    blbFundo2 = botao(panCabec, "blbFundo2", clWhite);
    blbFundo3 = botao(panCabec, "blbFundo3", clWhite);
    blbFundo4 = botao(panCabec, "blbFundo4", clWhite);
    blbCentCusto = botao(panCabec, "blbCentCusto", clSilver);
    blbServico = botao(panCabec, "blbServico", clSilver);
    blbDtVenda = botao(panCabec, "blbDtVenda", clSilver);
    blbHrVenda = botao(panCabec, "blbHrVenda", clSilver);
    for (auto* b : {blbCentCusto, blbServico, blbDtVenda, blbHrVenda}) {
        b->setFont(valor);
        b->setCaptionColor(cor(clNavy));
        b->setCaption(QString());
    }
    dxfCentCusto = botaoCor(panCabec, "dxfCentCusto", clSilver, lupa);
    dxfServico = botaoCor(panCabec, "dxfServico", clSilver, lupa);
    dxfDtVenda = botaoCor(panCabec, "dxfDtVenda", clSilver, lupa);
    dxfhrVenda = botaoCor(panCabec, "dxfhrVenda", clSilver, lupa);
    lblF9 = rotulo(panCabec, "lblF9", QStringLiteral("(F9)"), valor, clNavy);
    Label2 = rotulo(panCabec, "Label2", QStringLiteral("(F9)"), valor, clNavy);
    Label1 = rotulo(panCabec, "Label1", QStringLiteral("(F9)"), valor, clNavy);
    Label3 = rotulo(panCabec, "Label3", QStringLiteral("(F9)"), valor, clNavy);

    // The two large buttons.
    const QFont grande = fonte(Face::Tahoma, 11, true);
    blbCarregar = nomeia(new platform::TBlendedBitBtn(panCabec), "blbCarregar");
    blbGeraVenda = nomeia(new platform::TBlendedBitBtn(panCabec), "blbGeraVenda");
    blbCarregar->setGlyph(imagens::Desenho(QStringLiteral("alunos"), QSize(27, 32)));
    blbCarregar->setCaption(QStringLiteral("&Carregar\rAlunos"));
    blbGeraVenda->setGlyph(imagens::Desenho(QStringLiteral("impressora"), QSize(36, 32)));
    blbGeraVenda->setCaption(QStringLiteral("Gerar\r&Vendas"));
    blbGeraVenda->setSpacing(-2);
    for (auto* b : {blbCarregar, blbGeraVenda}) {
        b->setColor(cor(clSilver));
        b->setFont(grande);
        b->setCaptionColor(cor(clNavy));
        b->setFocusPolicy(Qt::NoFocus);
        b->setCursor(Qt::PointingHandCursor);
    }
    blbGeraVenda->setEnabled(false);

    // The list.
    panFundo = painel(this, "panFundo");
    dbsPresenca = nomeia(new platform::TDBSortGrid(panFundo), "dbsPresenca");
    dbsPresenca->setFrameShape(QFrame::NoFrame);
    dbsPresenca->setFont(fonte(Face::MsSansSerif, 16, true));
    dbsPresenca->setTitleFont(fonte(Face::MsSansSerif, 11, true));
    dbsPresenca->setTitleColors(cor(clNavy), cor(clOrange));
    dbsPresenca->setEditTriggers(QAbstractItemView::NoEditTriggers);
    dbsPresenca->setDataSet(cdsPresenca);
    if (dbsPresenca->dataModel()) {
        dbsPresenca->dataModel()->setObjectName(QStringLiteral("dtsPresenca"));
        dbsPresenca->dataModel()->setRowDescription(
            [this](int row) { return descricaoDaLinha(row); });
        // Only a change of columns resets the model, and with it the header: then the three
        // columns are put back; loads, views and sorts keep the widths the operator dragged.
        connect(dbsPresenca->dataModel(), &QAbstractItemModel::modelReset, this,
                [this] { aplicaColunasGrade(); });
    }
    dbsPresenca->setFocusPolicy(Qt::StrongFocus);

    // Footer: square, caption, counter, for each of the four views.
    dxfPendente = botaoCor(this, "dxfPendente", clGreen, quadrado);
    lblPendentes =
        rotulo(this, "lblPendentes", QStringLiteral("Alunos &Pendentes"), rodape, clNavy);
    lblTotPendente = rotulo(this, "lblTotPendente", QStringLiteral("00"), rodape, clNavy);
    dxfInativos = botaoCor(this, "dxfInativos", clRed, quadrado);
    lblInativos = rotulo(this, "lblInativos", QStringLiteral("Alunos &Inativos"), rodape, clNavy);
    lblTotInativo = rotulo(this, "lblTotInativo", QStringLiteral("00"), rodape, clNavy);
    dxfNcads = botaoCor(this, "dxfNcads", clGray, quadrado);
    lblVendaGerada =
        rotulo(this, "lblVendaGerada", QStringLiteral("Alunos V&enda Gerada"), rodape, clNavy);
    lblTotVenda = rotulo(this, "lblTotVenda", QStringLiteral("00"), rodape, clNavy);
    dxfTotalGeral = botaoCor(this, "dxfTotalGeral", clGreen, quadrado);
    lblTotalGeral =
        rotulo(this, "lblTotalGeral", QStringLiteral("Total &Geral Alunos"), rodape, clNavy);
    lblTotGeral = rotulo(this, "lblTotGeral", QStringLiteral("00"), rodape, clNavy);
    for (auto* l : {lblTotPendente, lblTotInativo, lblTotVenda, lblTotGeral}) l->setAutoSize(true);
    for (auto* l : {lblPendentes, lblInativos, lblVendaGerada, lblTotalGeral})
        l->setCursor(Qt::PointingHandCursor);
    lblCodTela = rotulo(this, "lblCodTela", QStringLiteral("F1 - Menu Fiscal - Kel00815"),
                        fonte(Face::SmallFonts, 9, false), clNavy);
    lblMarcados = rotulo(this, "lblMarcados", msgLeitor->Msg(QStringLiteral("MARCADOS")).arg(0),
                         fonte(Face::MsSansSerif, 11, true), clNavy);
    lblTeclasCracha =
        rotulo(this, "lblTeclasCracha", msgLeitor->Msg(QStringLiteral("TECLAS_CRACHA")),
               fonte(Face::SmallFonts, 9, false), clNavy);

    // The answer to a read lies over the grid's foot; taps go through to the rows.
    lblLeitura = nomeia(new QLabel(panFundo), "lblLeitura");
    lblLeitura->setFont(fonte(Face::Tahoma, 20, true));
    lblLeitura->setAlignment(Qt::AlignCenter);
    lblLeitura->setAttribute(Qt::WA_TransparentForMouseEvents);
    lblLeitura->setAutoFillBackground(true);
    lblLeitura->setFrameShape(QFrame::Box);
    lblLeitura->hide();
    lblNaoVendidos = rotulo(this, "lblNaoVendidos", QString(), fonte(Face::MsSansSerif, 11, true),
                            clRed, Qt::AlignLeft | Qt::AlignVCenter);
    lblNaoVendidos->hide();
    blbMarcaNaoVendidos = botao(this, "blbMarcaNaoVendidos", clSilver);
    blbMarcaNaoVendidos->setFont(fonte(Face::Tahoma, 12, true));
    blbMarcaNaoVendidos->setCaptionColor(cor(clNavy));
    blbMarcaNaoVendidos->setCaption(QStringLiteral("Marcar &não vendidos"));
    blbMarcaNaoVendidos->setCursor(Qt::PointingHandCursor);
    blbMarcaNaoVendidos->hide();
    lblOffline = rotulo(this, "lblOffline", QString(), fonte(Face::Tahoma, 10, true), clMaroon,
                        Qt::AlignLeft | Qt::AlignVCenter);
    lblOffline->setWordWrap(true);
    lblOffline->setCursor(Qt::PointingHandCursor);
    lblOffline->hide();

    // The grid draws its mark column from these; they are never shown themselves.
    imgUncheck = imagem(this, "imgUncheck", imagens::CaixaMarcacao(false));
    imgCheck = imagem(this, "imgCheck", imagens::CaixaMarcacao(true));
    for (auto* i : {imgUncheck, imgCheck}) {
        i->setScaledContents(true);
        i->hide();
    }
    // Olive is their transparent colour: the box stands on the cell's own background.
    const QColor oliva = cor(0x008080);
    for (int marcada = 0; marcada < 2; ++marcada) {
        QPixmap figura = (marcada ? imgCheck : imgUncheck)->pixmap();
        figura.setMask(figura.createMaskFromColor(oliva, Qt::MaskInColor));
        marcaPintada_[marcada] = figura;
    }
}

void TfrmPresenca::aplicaGeometria() {
    for (const Posicao& p : kLayout) {
        auto* w = findChild<QWidget*>(QString::fromLatin1(p.nome));
        Q_ASSERT(w);
        if (w) w->setGeometry(p.left, p.top, p.width, p.height);
    }
    aplicaColunasGrade();
}

void TfrmPresenca::aplicaColunasGrade() {
    dataset::DataSetModel* m = dbsPresenca->dataModel();
    if (!m) return;
    QHeaderView* h = dbsPresenca->horizontalHeader();
    for (int c = 0; c < m->columnCount(); ++c) dbsPresenca->setColumnHidden(c, true);
    int visual = 0;
    for (const Coluna& col : kColunas) {
        const int logica = m->columnOfField(QString::fromLatin1(col.campo));
        if (logica < 0) continue;
        dbsPresenca->setColumnHidden(logica, false);
        h->moveSection(h->visualIndex(logica), visual++);
        h->resizeSection(logica, col.largura);
    }
}

void TfrmPresenca::criaCatalogo() {
    msgPadrao = nomeia(new platform::TMessages(this), "msgPadrao");
    msgPadrao->setLines({
        QStringLiteral("DATA_MAIOR|Data Inválida. Data da venda não deve ser maior que a data "
                       "atual"),
        QStringLiteral("HOR_DEV_INF|Hora da venda deve ser informada."),
        QStringLiteral("HORAVENDA|Informe o horário da venda."),
        QStringLiteral("HORA_INV|Hora Inválida."),
        QStringLiteral("HORA_INV2|Hora informada é inválida. Horário de venda deve estar entre a "
                       "hora inicial e a hora final do serviço informado"),
        QStringLiteral("GERNOTPER|Geração das vendas não permitida. Nenhum consumidor foi "
                       "marcado."),
        QStringLiteral("CONFGERACAO|Confirma a geração das vendas para todos os consumidores "
                       "marcados?"),
        QStringLiteral("IMPRIMINDO|Aguarde. Imprimindo cupom fiscal para os alunos "
                       "selecionados."),
        QStringLiteral("CCUSTODEVEINF|Centro de Custo deve ser informado."),
        QStringLiteral("SERV_INF|Serviço deve ser informado."),
        QStringLiteral("DATA_INF|Data deve ser informada."),
        QStringLiteral("HORA_INF|Hora deve ser informada."),
        QStringLiteral("INFORME_HORA|Informe Hora e minuto sem \":\""),
        QStringLiteral("GERNOTPER2|Geração da vendas não permitida. Falta parametrização de "
                       "produtos para o serviço informado."),
        QStringLiteral("SERVNPAR|Serviço não parametrizado."),
        QStringLiteral("CCUSNPAR|Centro de Custo não parametrizado."),
    });
}

void TfrmPresenca::criaLeitor() {
    msgLeitor = nomeia(new platform::TMessages(this), "msgLeitor");
    msgLeitor->setLines({
        QStringLiteral("CRACHA_JA_MARCADO|Já marcado"),
        QStringLiteral("CRACHA_JA_SERVIU|Já serviu hoje"),
        QStringLiteral("CRACHA_INATIVO|Consumidor inativo"),
        QStringLiteral("CRACHA_FORA|Crachá não pertence a esta lista"),
        QStringLiteral("CRACHA_OUTRO_CC|Crachá não pertence a esta lista (centro de custo %1)"),
        QStringLiteral("CRACHA_SEM_LISTA|Carregue a lista antes de ler crachás"),
        QStringLiteral("MARCADOS|Marcados: %1"),
        QStringLiteral("CRACHA_TITULO|Crachá"),
        QStringLiteral("CRACHA_INSTRUCAO|Digite o código do crachá."),
        QStringLiteral("CRACHA_VAZIO|O código do crachá deve ser informado."),
        QStringLiteral("TECLAS_CRACHA|F2 Crachá   F3 Procurar   F4 Próximo"),
    });
}

void TfrmPresenca::criaDataSets() {
    using dataset::FieldDef;
    using dataset::FieldDefs;
    const auto texto = [](const char* nome, int tamanho, const char* rotulo = nullptr,
                          bool visivel = true) {
        FieldDef f = FieldDef::text(QString::fromLatin1(nome), tamanho);
        if (rotulo) f.displayLabel = QString::fromUtf8(rotulo);
        f.visible = visivel;
        return f;
    };
    const auto novo = [this](const char* nome) {
        return nomeia(new dataset::ClientDataSet(this), nome);
    };

    cdsPresenca = novo("cdsPresenca");
    {
        FieldDef nome = texto("NMCONSUMIDOR", 50, "Nome do Consumidor");
        nome.displayWidth = 60;
        FieldDef marca = texto("IDCHECK", 1, "Presença");
        marca.defaultValue = QStringLiteral("N");
        cdsPresenca->setFieldDefs({
            texto("CDFILIAL", 4, nullptr, false),
            texto("CDCAIXA", 3, nullptr, false),
            texto("CDIDCONSUMID", 21, "Código do Crachá"),
            nome,
            texto("DTHRREALCONCONS", 10),
            texto("IDSITCONSUMI", 1, nullptr, false),
            marca,
            texto("CDCLIENTE", 21),
            texto("CDTIPOCONS", 2),
            texto("CDCONSUMIDOR", 21),
        });
    }

    cdsServico = novo("cdsServico");
    {
        FieldDef nome = texto("NMSERVICO", 40, "Nome");
        nome.displayWidth = 30;
        FieldDef ini = texto("HRINISERTUR", 4, "Início");
        FieldDef fin = texto("HRFINSERTUR", 4, "Fim");
        for (FieldDef* h : {&ini, &fin}) {
            h->displayWidth = 6;
            h->editMask = QStringLiteral("!90:00;1;_");
        }
        ini.onGetText = &TfrmPresenca::cdsServicoHRINISERTURGetText;
        fin.onGetText = &TfrmPresenca::cdsServicoHRFINSERTURGetText;
        FieldDef imp = texto("IDIMPCUPOMAUT", 1, "Imprime Automático");
        imp.onGetText = &TfrmPresenca::cdsServicoIDIMPCUPOMAUTGetText;
        cdsServico->setFieldDefs({texto("CDSERVFILI", 5, "Código"), nome, ini, fin, imp});
    }

    cdsPesqCentCusto = novo("cdsPesqCentCusto");
    {
        FieldDef cc = texto("CDCCUSCLIE", 10, "Centro de Custo");
        cc.displayWidth = 75;
        cdsPesqCentCusto->setFieldDefs({cc});
    }

    // The sale hand-over record, in the order the sale generator receives its fields.
    // The hand-over's fields are the sale generator's; the screen adds only how they show.
    cdsPresencaAux = novo("cdsPresencaAux");
    {
        FieldDefs entrega = Hul00002::handOverFieldDefs();
        for (FieldDef& f : entrega) {
            if (f.name == QLatin1String("CDFILIAL") || f.name == QLatin1String("CDCAIXA"))
                f.visible = false;
            else if (f.name == QLatin1String("CDIDCONSUMID"))
                f.displayLabel = QStringLiteral("Código");
            else if (f.name == QLatin1String("NMCONSUMIDOR"))
                f.displayLabel = QStringLiteral("Nome do Consumidor");
        }
        cdsPresencaAux->setFieldDefs(entrega);
    }

    // These take the fields of whatever packet or file is loaded into them.
    cdsProdServ = novo("cdsProdServ");
    cdsTipoCons = novo("cdsTipoCons");
    cdsProdServTCons = novo("cdsProdServTCons");
    cdsParametrosZor = novo("cdsParametrosZor");

    // What the pick list searches when a name is looked for: badge and name of the list.
    cdsPesqConsumidor = novo("cdsPesqConsumidor");
    cdsPesqConsumidor->setFieldDefs({texto("CDIDCONSUMID", 21, "Código do Crachá"),
                                     texto("NMCONSUMIDOR", 50, "Nome do Consumidor")});
}

// --- display handlers of cdsServico

void TfrmPresenca::cdsServicoHRINISERTURGetText(const dataset::Field& sender, QString& text,
                                                bool displayText) {
    Q_UNUSED(displayText);
    // Character by character, as stored: no time conversion, no check.
    const QString v = sender.asString();
    text = v.left(2) + QLatin1Char(':') + v.mid(2);
}

void TfrmPresenca::cdsServicoHRFINSERTURGetText(const dataset::Field& sender, QString& text,
                                                bool displayText) {
    cdsServicoHRINISERTURGetText(sender, text, displayText);
}

void TfrmPresenca::cdsServicoIDIMPCUPOMAUTGetText(const dataset::Field& sender, QString& text,
                                                  bool displayText) {
    Q_UNUSED(displayText);
    text = sender.asString() == QLatin1String("S") ? QStringLiteral("SIM") : QStringLiteral("NÃO");
}

}  // namespace Cli_Kel00815
