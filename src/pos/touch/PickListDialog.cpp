#include "pos/touch/PickListDialog.h"

#include <QApplication>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScroller>
#include <QSet>
#include <QTableView>
#include <QVBoxLayout>

#include "dataset/ClientDataSet.h"
#include "dataset/DataSetModel.h"
#include "platform/Platform.h"
#include "pos/touch/PickListFilter.h"

namespace Hul00002::detail {

namespace {
constexpr int kAlturaLinha = 48;
constexpr int kFonteCelula = 18;
constexpr int kFonteTitulo = 15;

struct Tecla {
    QString texto;
    QString nome;
    int largura = 1;  // in key units
};

QList<QList<Tecla>> linhasTeclado() {
    auto letras = [](const char* s) {
        QList<Tecla> l;
        for (const char* p = s; *p; ++p) {
            const QString t{QLatin1Char(*p)};
            l.append({t, QStringLiteral("btnTecla") + t});
        }
        return l;
    };
    QList<QList<Tecla>> linhas;
    linhas << letras("1234567890");
    linhas.last().append({QStringLiteral("⌫"), QStringLiteral("btnRetrocesso"), 2});
    linhas << letras("QWERTYUIOP");
    linhas.last().append({QStringLiteral("Limpar"), QStringLiteral("btnLimpaPesquisa"), 2});
    linhas << letras("ASDFGHJKL");
    linhas.last().append({QStringLiteral("Ç"), QStringLiteral("btnTeclaCedilha")});
    linhas << letras("ZXCVBNM");
    linhas.last().append({QStringLiteral("Espaço"), QStringLiteral("btnEspaco"), 5});
    return linhas;
}
}  // namespace

PickListDialog::PickListDialog(dataset::ClientDataSet& ds, const Cores& cores, bool tecladoAberto,
                               QWidget* parent)
    : TouchDialog(QStringLiteral("frmPesquisa"), QStringLiteral("Pesquisa"), cores.faixa,
                  cores.corpo, parent),
      ds_(ds) {
    const Paleta pal = paletaPadrao();
    resize(780, 580);

    modelo_ = new dataset::DataSetModel(&ds_, this);
    filtro_ = new PickListFilter(this);
    filtro_->setSourceModel(modelo_);

    // Search line: the box, the count of rows shown, the keyboard switch.
    auto* linhaBusca = new QHBoxLayout;
    linhaBusca->setSpacing(10);
    edtPesquisa_ = new QLineEdit(this);
    edtPesquisa_->setObjectName(QStringLiteral("edtPesquisa"));
    edtPesquisa_->setPlaceholderText(QStringLiteral("Toque aqui e digite para pesquisar"));
    edtPesquisa_->setMinimumHeight(52);
    edtPesquisa_->setStyleSheet(
        QStringLiteral("QLineEdit { background: white; color: #1A1A1A; font-size: 22px;"
                       " border: 2px solid %1; border-radius: 10px; padding: 0 12px; }")
            .arg(nomeCss(cores.faixa.value() < 200 ? cores.faixa : pal.borda)));
    edtPesquisa_->installEventFilter(this);
    linhaBusca->addWidget(edtPesquisa_, 1);

    lblTotal_ = new QLabel(this);
    lblTotal_->setObjectName(QStringLiteral("lblTotal"));
    lblTotal_->setMinimumWidth(150);
    lblTotal_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    lblTotal_->setStyleSheet(QStringLiteral("QLabel { font-size: 15px; }"));
    linhaBusca->addWidget(lblTotal_);

    btnTeclado_ = criaBotao(QStringLiteral("btnTeclado"), QStringLiteral("Teclado"), pal.botao, 16);
    btnTeclado_->setCheckable(true);
    btnTeclado_->setFixedSize(150, 52);
    linhaBusca->addWidget(btnTeclado_);
    corpoLayout()->addLayout(linhaBusca);

    // The list and, beside it, the large choice buttons.
    auto* meio = new QHBoxLayout;
    meio->setSpacing(10);
    grade_ = new QTableView(this);
    grade_->setObjectName(QStringLiteral("grdPesquisa"));
    grade_->setModel(filtro_);
    grade_->setFocusPolicy(Qt::NoFocus);  // typing always reaches the search box
    grade_->setSelectionBehavior(QAbstractItemView::SelectRows);
    grade_->setSelectionMode(QAbstractItemView::SingleSelection);
    grade_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grade_->setAlternatingRowColors(true);
    grade_->setWordWrap(false);
    grade_->setTextElideMode(Qt::ElideRight);
    grade_->setShowGrid(false);
    grade_->setCornerButtonEnabled(false);
    grade_->verticalHeader()->hide();
    grade_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grade_->verticalHeader()->setDefaultSectionSize(kAlturaLinha);
    grade_->horizontalHeader()->setFixedHeight(46);
    grade_->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    grade_->horizontalHeader()->setHighlightSections(false);
    grade_->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    grade_->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    QFont f = grade_->font();
    f.setPixelSize(kFonteCelula);
    grade_->setFont(f);
    grade_->setStyleSheet(
        QStringLiteral(
            "QTableView { background: white; alternate-background-color: #F1F3F6; color: #1A1A1A;"
            " selection-background-color: %1; selection-color: %2; border: 1px solid #A0A0A0;"
            " border-radius: 6px; outline: 0; }"
            "QTableView::item { padding-left: 10px; border-bottom: 1px solid #DDDDDD; }"
            "QHeaderView::section { background: %3; color: %4; font-size: %5px; font-weight: bold;"
            " padding-left: 10px; border: none; border-right: 1px solid %6; }"
            "QScrollBar:vertical { width: 26px; background: #E4E4E4; }"
            "QScrollBar:horizontal { height: 22px; background: #E4E4E4; }"
            "QScrollBar::handle { background: #9A9A9A; border-radius: 6px; min-height: 40px;"
            " min-width: 40px; margin: 3px; }"
            "QScrollBar::add-line, QScrollBar::sub-line { width: 0; height: 0; }")
            .arg(nomeCss(cores.selecao), nomeCss(corTexto(cores.selecao)), nomeCss(cores.titulos),
                 nomeCss(corTexto(cores.titulos)))
            .arg(kFonteTitulo)
            .arg(nomeCss(cores.titulos.lighter(130))));
    // Kinetic scrolling: a finger (or a held mouse button) drags the list and flicks it on.
    QScroller::grabGesture(grade_->viewport(), QScroller::LeftMouseButtonGesture);
    if (QScroller* s = QScroller::scroller(grade_->viewport())) {
        QScrollerProperties p = s->scrollerProperties();
        p.setScrollMetric(QScrollerProperties::MousePressEventDelay, 0.0);
        p.setScrollMetric(QScrollerProperties::HorizontalOvershootPolicy,
                          QScrollerProperties::OvershootAlwaysOff);
        p.setScrollMetric(QScrollerProperties::VerticalOvershootPolicy,
                          QScrollerProperties::OvershootWhenScrollable);
        s->setScrollerProperties(p);
    }
    grade_->viewport()->installEventFilter(this);
    meio->addWidget(grade_, 1);

    auto* lateral = new QVBoxLayout;
    lateral->setSpacing(10);
    btnOk_ = criaBotao(QStringLiteral("btnOk"), QStringLiteral("OK"), pal.acao, 24);
    btnOk_->setFixedSize(150, 84);
    auto* btnCancelar =
        criaBotao(QStringLiteral("btnCancelar"), QStringLiteral("Cancelar"), pal.cancela, 20);
    btnCancelar->setFixedSize(150, 64);
    auto* btnSobe = criaBotao(QStringLiteral("btnSobe"), QStringLiteral("▲"), pal.botao, 22);
    auto* btnDesce = criaBotao(QStringLiteral("btnDesce"), QStringLiteral("▼"), pal.botao, 22);
    btnSobe->setFixedSize(150, 56);
    btnDesce->setFixedSize(150, 56);
    btnSobe->setAutoRepeat(true);
    btnDesce->setAutoRepeat(true);
    lateral->addWidget(btnOk_);
    lateral->addWidget(btnCancelar);
    lateral->addStretch(1);
    lateral->addWidget(btnSobe);
    lateral->addWidget(btnDesce);
    meio->addLayout(lateral);
    corpoLayout()->addLayout(meio, 1);

    teclado_ = new QWidget(this);
    teclado_->setObjectName(QStringLiteral("pnlTeclado"));
    montaTeclado(teclado_);
    corpoLayout()->addWidget(teclado_);
    teclado_->setVisible(tecladoAberto);
    btnTeclado_->setChecked(tecladoAberto);

    btnSobe->setVisible(!tecladoAberto);
    btnDesce->setVisible(!tecladoAberto);
    // The keyboard takes the room of the paging buttons: the dialog keeps within 800 x 600.
    connect(btnTeclado_, &QPushButton::toggled, this, [this, btnSobe, btnDesce](bool on) {
        teclado_->setVisible(on);
        btnSobe->setVisible(!on);
        btnDesce->setVisible(!on);
        grade_->scrollTo(grade_->currentIndex());
    });
    connect(edtPesquisa_, &QLineEdit::textChanged, this, [this](const QString& t) {
        filtro_->setTextoPesquisa(t);
        garanteLinhaAtual();
        atualizaTotal();
    });
    connect(grade_, &QTableView::doubleClicked, this, [this] { escolhe(); });
    // The kinetic scroller takes over the mouse, so a double tap is also recognised here:
    // two taps on the same row within the system's double-click time choose it.
    connect(grade_, &QTableView::clicked, this, [this](const QModelIndex& idx) {
        const bool segundo = idx.row() == ultimoToque_ && relogioToque_.isValid() &&
                             relogioToque_.elapsed() <= QApplication::doubleClickInterval();
        ultimoToque_ = idx.row();
        relogioToque_.start();
        if (segundo) escolhe();
    });
    connect(grade_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& atual) { btnOk_->setEnabled(atual.isValid()); });
    connect(btnOk_, &QPushButton::clicked, this, [this] { escolhe(); });
    connect(btnCancelar, &QPushButton::clicked, this, &QDialog::reject);
    connect(btnSobe, &QPushButton::clicked, this, [this] { moveSelecao(-1); });
    connect(btnDesce, &QPushButton::clicked, this, [this] { moveSelecao(1); });

    // Start on the record the dataset stands on, so "OK" at once keeps the current choice.
    const int inicial = ds_.active() && ds_.recNo() > 0 ? ds_.recNo() - 1 : 0;
    if (inicial < filtro_->rowCount()) grade_->setCurrentIndex(filtro_->index(inicial, 0));
    btnOk_->setEnabled(grade_->currentIndex().isValid());
    atualizaTotal();
    edtPesquisa_->setFocus();
}

void PickListDialog::montaTeclado(QWidget* painel) {
    const Paleta pal = paletaPadrao();
    auto* grid = new QGridLayout(painel);
    grid->setContentsMargins(0, 4, 0, 0);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(6);
    const QString estilo = estiloBotao(pal.botao, 20);
    int linha = 0;
    for (const QList<Tecla>& teclas : linhasTeclado()) {
        int coluna = 0;
        for (const Tecla& t : teclas) {
            auto* b = new QPushButton(t.texto, painel);
            b->setObjectName(t.nome);
            b->setFocusPolicy(Qt::NoFocus);
            b->setAutoDefault(false);
            b->setMinimumHeight(46);
            b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
            b->setStyleSheet(estilo);
            grid->addWidget(b, linha, coluna, 1, t.largura);
            coluna += t.largura;
            if (t.nome == QLatin1String("btnRetrocesso")) {
                b->setAutoRepeat(true);
                connect(b, &QPushButton::clicked, this, [this] { edtPesquisa_->backspace(); });
            } else if (t.nome == QLatin1String("btnLimpaPesquisa")) {
                connect(b, &QPushButton::clicked, this, [this] { edtPesquisa_->clear(); });
            } else if (t.nome == QLatin1String("btnEspaco")) {
                connect(b, &QPushButton::clicked, this,
                        [this] { edtPesquisa_->insert(QStringLiteral(" ")); });
            } else {
                const QString texto = t.texto;
                connect(b, &QPushButton::clicked, this,
                        [this, texto] { edtPesquisa_->insert(texto); });
            }
        }
        ++linha;
    }
    for (int c = 0; c < 12; ++c) grid->setColumnStretch(c, 1);
}

void PickListDialog::ajustaColunas() {
    const int colunas = modelo_->columnCount();
    if (colunas == 0) return;
    const QFontMetrics fmCelula(grade_->font());
    QFont fTitulo = grade_->font();
    fTitulo.setPixelSize(kFonteTitulo);
    fTitulo.setBold(true);
    const QFontMetrics fmTitulo(fTitulo);
    const int porCaractere = fmCelula.averageCharWidth();

    // The dataset's display width is in characters. A column never hides its own title: a
    // title wider than the column's values goes on two lines rather than widening the column.
    QList<int> larguras, minimos;
    QSet<int> duasLinhas;
    int total = 0;
    for (int c = 0; c < colunas; ++c) {
        const int campo = modelo_->fieldOfColumn(c);
        const dataset::FieldDef& def = ds_.fieldDef(campo);
        int caracteres = def.displayWidth > 0 ? def.displayWidth : def.size;
        if (caracteres <= 0) caracteres = 10;
        const int conteudo = caracteres * porCaractere + 24;
        int titulo = fmTitulo.horizontalAdvance(def.label()) + 30;
        if (titulo > conteudo && def.label().contains(QLatin1Char(' '))) {
            const QStringList linhas = quebraTitulo(def.label()).split(QLatin1Char('\n'));
            titulo = std::max(fmTitulo.horizontalAdvance(linhas.at(0)),
                              fmTitulo.horizontalAdvance(linhas.at(1))) +
                     30;
            duasLinhas.insert(c);
        }
        // Squeezing may cut long names, never a short value such as an hour.
        const int minimo = std::max(titulo, std::min(caracteres, 8) * porCaractere + 24);
        const int largura = std::max(conteudo, titulo);
        larguras << largura;
        minimos << minimo;
        total += largura;
    }
    filtro_->setTitulosEmDuasLinhas(duasLinhas);
    // On a till there is no room for sideways scrolling: squeeze wide columns to fit.
    const int disponivel = grade_->viewport()->width();
    if (total > disponivel && disponivel > 0) {
        int somaMinimos = 0;
        for (int m : minimos) somaMinimos += m;
        const double fator = total > somaMinimos ? double(std::max(disponivel - somaMinimos, 0)) /
                                                       double(total - somaMinimos)
                                                 : 0.0;
        for (int c = 0; c < colunas; ++c)
            larguras[c] = minimos[c] + int((larguras[c] - minimos[c]) * fator);
    }
    QHeaderView* h = grade_->horizontalHeader();
    h->setStretchLastSection(false);
    for (int c = 0; c < colunas; ++c) h->resizeSection(c, larguras[c]);
    h->setStretchLastSection(true);
}

void PickListDialog::resizeEvent(QResizeEvent* e) {
    TouchDialog::resizeEvent(e);
    ajustaColunas();
}

void PickListDialog::showEvent(QShowEvent* e) {
    TouchDialog::showEvent(e);
    ajustaColunas();  // the list's real width is known only once laid out
    grade_->scrollTo(grade_->currentIndex(), QAbstractItemView::PositionAtCenter);
}

void PickListDialog::atualizaTotal() {
    const int mostradas = filtro_->rowCount();
    const int total = modelo_->rowCount();
    QString texto;
    if (mostradas == 0 && total > 0)
        texto = QStringLiteral("Nenhum item encontrado");
    else if (mostradas == total)
        texto = total == 1 ? QStringLiteral("1 item") : QStringLiteral("%1 itens").arg(total);
    else
        texto = QStringLiteral("%1 de %2 itens").arg(mostradas).arg(total);
    lblTotal_->setText(texto);
}

void PickListDialog::garanteLinhaAtual() {
    // After narrowing, the highlight stays on its row if still shown, else the first match.
    if (filtro_->rowCount() == 0) {
        grade_->selectionModel()->clear();
        btnOk_->setEnabled(false);
        return;
    }
    QModelIndex atual = grade_->currentIndex();
    if (!atual.isValid()) atual = filtro_->index(0, 0);
    grade_->setCurrentIndex(atual);
    grade_->selectionModel()->select(
        atual, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    grade_->scrollTo(atual);
    btnOk_->setEnabled(true);
}

void PickListDialog::moveSelecao(int delta) {
    const int linhas = filtro_->rowCount();
    if (linhas == 0) return;
    const QModelIndex atual = grade_->currentIndex();
    const int de = atual.isValid() ? atual.row() : (delta > 0 ? -1 : linhas);
    const int para = std::clamp(de + delta, 0, linhas - 1);
    const QModelIndex idx = filtro_->index(para, 0);
    grade_->setCurrentIndex(idx);
    grade_->scrollTo(idx);
}

bool PickListDialog::eventFilter(QObject* obj, QEvent* e) {
    if (obj == grade_->viewport() && e->type() == QEvent::Resize) {
        ajustaColunas();
    } else if (obj == edtPesquisa_) {
        if (e->type() == QEvent::MouseButtonPress && !teclado_->isVisible()) {
            btnTeclado_->setChecked(true);  // a touch on the box asks for the keyboard
        } else if (e->type() == QEvent::KeyPress) {
            auto* k = static_cast<QKeyEvent*>(e);
            const int pagina = std::max(1, grade_->viewport()->height() / kAlturaLinha - 1);
            switch (k->key()) {
                case Qt::Key_Up:
                    moveSelecao(-1);
                    return true;
                case Qt::Key_Down:
                    moveSelecao(1);
                    return true;
                case Qt::Key_PageUp:
                    moveSelecao(-pagina);
                    return true;
                case Qt::Key_PageDown:
                    moveSelecao(pagina);
                    return true;
                case Qt::Key_Return:
                case Qt::Key_Enter:
                    escolhe();
                    return true;
                case Qt::Key_Escape:
                    reject();
                    return true;
                default:
                    break;
            }
        }
    }
    return TouchDialog::eventFilter(obj, e);
}

int PickListDialog::linhaEscolhida() const {
    const QModelIndex atual = grade_->currentIndex();
    if (!atual.isValid()) return -1;
    return filtro_->mapToSource(atual).row();
}

QString PickListDialog::textoPesquisa() const {
    return edtPesquisa_->text();
}

void PickListDialog::escolhe() {
    if (linhaEscolhida() < 0) return;  // nothing highlighted: nothing to choose
    accept();
}

bool pesquisaPadrao(dataset::ClientDataSet& ds, int /*arg2*/, const QString& flag, int cor1,
                    int cor2, int cor3, int cor5, int /*arg8*/) {
    if (!ds.active())
        throw platform::Error(QStringLiteral("Pesquisa: a lista de itens não está aberta."));
    const Paleta pal = paletaPadrao();
    PickListDialog::Cores cores{
        corEsquema(cor1, pal.faixa),
        corEsquema(cor2, pal.corpo),
        corEsquema(cor3, QColor(0xFF, 0xB3, 0x47)),
        corEsquema(cor5, pal.faixa),
    };
    PickListDialog dlg(ds, cores, flag.compare(QLatin1String("S"), Qt::CaseInsensitive) == 0,
                       QApplication::activeWindow());
    if (dlg.exec() != QDialog::Accepted) return false;
    const int linha = dlg.linhaEscolhida();
    if (linha < 0) return false;
    ds.moveTo(linha + 1);
    // What narrowed the list, for a caller that looks for the next match itself.
    ds.setProperty("textoPesquisa", dlg.textoPesquisa());
    return true;
}

}  // namespace Hul00002::detail
