// The attendance screen's lifecycle and wiring: creation, initialisation, showing, the
// connections of every component to its handler, and closing.

#include "module/screen/TfrmPresenca.h"

#include <QApplication>
#include <QFrame>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainterPath>
#include <QRegion>
#include <QScreen>
#include <QTimer>

#include "dataset/ClientDataSet.h"
#include "dataset/DataSetModel.h"
#include "module/Cli_Kel00815.h"
#include "module/dataservice/OfflinePolicy.h"
#include "module/dataservice/TrdmListaPresenca.h"
#include "module/params/ParametrosZor.h"
#include "module/screen/TLabel.h"
#include "module/screen/TfrmPresenca_p.h"
#include "platform/OfflineState.h"
#include "platform/Platform.h"

namespace Cli_Kel00815 {

using namespace tela;

TfrmPresenca::TfrmPresenca(QWidget* owner) : QDialog(owner, Qt::Dialog | Qt::FramelessWindowHint) {
    setObjectName(QStringLiteral("frmPresenca"));
    setWindowTitle(QStringLiteral("Lista de Presença"));
    setFixedSize(800, 595);
    criaDataSets();
    criaCatalogo();
    criaLeitor();
    criaComponentes();
    aplicaGeometria();
    ligaEventos();
}

TfrmPresenca::~TfrmPresenca() {
    // The base classes hide the window and free the children after this body has run: the focus
    // leaving the grid and the grid's model emptied as the datasets go must not reach the
    // handlers of a screen that is no longer one.
    disconnect(qApp, nullptr, this, nullptr);
    if (dbsPresenca->dataModel()) disconnect(dbsPresenca->dataModel(), nullptr, this, nullptr);
}

void TfrmPresenca::ligaEventos() {
    using platform::Guard;
    connect(lblSair, &TLabel::clicked, this, Guard([this] { lblSairClick(lblSair); }));

    connect(dxfCentCusto, &QAbstractButton::clicked, this,
            Guard([this](bool) { dxfCentCustoClick(dxfCentCusto); }));
    connect(dxfServico, &QAbstractButton::clicked, this,
            Guard([this](bool) { dxfServicoClick(dxfServico); }));
    connect(dxfDtVenda, &QAbstractButton::clicked, this,
            Guard([this](bool) { dxfDtVendaClick(dxfDtVenda); }));
    connect(dxfhrVenda, &QAbstractButton::clicked, this,
            Guard([this](bool) { dxfhrVendaClick(dxfhrVenda); }));

    connect(blbCarregar, &QAbstractButton::clicked, this,
            Guard([this](bool) { blbCarregarClick(blbCarregar); }));
    connect(blbGeraVenda, &QAbstractButton::clicked, this,
            Guard([this](bool) { blbGeraVendaClick(blbGeraVenda); }));
    connect(blbMarcaNaoVendidos, &QAbstractButton::clicked, this,
            Guard([this](bool) { blbMarcaNaoVendidosClick(blbMarcaNaoVendidos); }));
    connect(lblOffline, &TLabel::clicked, this, Guard([this] { lblOfflineClick(lblOffline); }));
    // Set from any thread (the catch-up's); queued to this one.
    connect(&platform::OfflineState::instance(), &platform::OfflineState::changed, this,
            Guard([this] { MostraOffline(); }));

    // Each footer view answers to its square and to its caption alike.
    connect(dxfPendente, &QAbstractButton::clicked, this,
            Guard([this](bool) { dxfPendenteClick(dxfPendente); }));
    connect(lblPendentes, &TLabel::clicked, this,
            Guard([this] { dxfPendenteClick(lblPendentes); }));
    connect(dxfInativos, &QAbstractButton::clicked, this,
            Guard([this](bool) { dxfInativosClick(dxfInativos); }));
    connect(lblInativos, &TLabel::clicked, this, Guard([this] { dxfInativosClick(lblInativos); }));
    connect(dxfNcads, &QAbstractButton::clicked, this,
            Guard([this](bool) { dxfNcadsClick(dxfNcads); }));
    connect(lblVendaGerada, &TLabel::clicked, this,
            Guard([this] { dxfNcadsClick(lblVendaGerada); }));
    connect(dxfTotalGeral, &QAbstractButton::clicked, this,
            Guard([this](bool) { dxfTotalGeralClick(dxfTotalGeral); }));
    connect(lblTotalGeral, &TLabel::clicked, this,
            Guard([this] { dxfTotalGeralClick(lblTotalGeral); }));

    connect(dbsPresenca, &platform::TDBSortGrid::keyDown, this,
            Guard([this](int key, Qt::KeyboardModifiers m) {
                dbsPresencaKeyDown(dbsPresenca, key, m);
            }));
    connect(dbsPresenca, &platform::TDBSortGrid::cellClick, this,
            Guard([this](int column) { dbsPresencaCellClick(column); }));
    connect(dbsPresenca, &platform::TDBSortGrid::titleClick, this,
            Guard([this](int column) { dbsPresencaTitleClick(column); }));
    dbsPresenca->OnDrawColumnCell =
        Guard([this](QPainter& canvas, const QRect& rect, int column, int row, QStyle::State) {
            dbsPresencaDrawColumnCell(canvas, rect, column, row);
        });

    // A reader's bursts are told from a person's keys before the grid sees them.
    dbsPresenca->installEventFilter(this);
    relogioTeclas_.start();
    tmrLeitura = new QTimer(this);
    tmrLeitura->setObjectName(QStringLiteral("tmrLeitura"));
    tmrLeitura->setSingleShot(true);
    tmrLeitura->setInterval(4000);
    connect(tmrLeitura, &QTimer::timeout, this, Guard([this] {
                lblLeitura->hide();
                dbsPresenca->setBottomReserve(0);
                crachaDestacado_.clear();
                dbsPresenca->viewport()->update();
            }));
    // "Marcados: N" follows every change of the list: toggles, mark-all, reads, loads.
    for (auto sinal :
         {&dataset::ClientDataSet::layoutReset, &dataset::ClientDataSet::valuesChanged})
        connect(cdsPresenca, sinal, this, Guard([this] { atualizaMarcados(); }));
    connect(cdsPresenca, &dataset::ClientDataSet::rowChanged, this,
            Guard([this] { atualizaMarcados(); }));

    // The panel's own background: clicks on its children are theirs.
    panCabec->installEventFilter(this);
    // Focus entering the header panel from outside it.
    connect(qApp, &QApplication::focusChanged, this, Guard([this](QWidget* antes, QWidget* agora) {
                const bool entrou = agora && panCabec->isAncestorOf(agora);
                const bool estava = antes && panCabec->isAncestorOf(antes);
                if (entrou && !estava) panCabecEnter(panCabec);
            }));
}

bool TfrmPresenca::eventFilter(QObject* watched, QEvent* e) {
    if (watched == dbsPresenca && e->type() == QEvent::KeyPress)
        return teclaDoLeitor(static_cast<QKeyEvent*>(e));
    if (watched == panCabec && e->type() == QEvent::MouseButtonRelease) {
        auto* me = static_cast<QMouseEvent*>(e);
        if (me->button() == Qt::LeftButton && !panCabec->childAt(me->position().toPoint()))
            platform::Guard([this] { panCabecClick(panCabec); })();
    }
    return QDialog::eventFilter(watched, e);
}

// --- lifecycle

void TfrmPresenca::InicializaForm(const QVariant* params, int high) {
    Q_UNUSED(params);  // the host's parameters change nothing here
    Q_UNUSED(high);

    // The rounded outline: corner ellipses 40 x 40.
    QPainterPath contorno;
    contorno.addRoundedRect(QRectF(0, 0, width(), height()), 20, 20);
    setMask(QRegion(contorno.toFillPolygon().toPolygon()));

    // The data module, made once per call, and its connection.
    if (!Srv_Kel00815::rdmListaPresenca)
        Srv_Kel00815::rdmListaPresenca = new Srv_Kel00815::TrdmListaPresenca();
    Srv_Kel00815::rdmListaPresenca->adcListaPresenca->setConnected(true);
    MostraOffline();

    // The till's identity and colours.
    const ParametrosTerminal p = LerParametrosZor(*cdsParametrosZor);
    stArqParametros = p.stArqParametros;
    inCor1 = p.inCor[0];
    inCor2 = p.inCor[1];
    inCor3 = p.inCor[2];
    inCor4 = p.inCor[3];
    inCor5 = p.inCor[4];
    inCor6 = p.inCor[5];
    stIdEsquema = p.stIdEsquema;
    stCdFilial = p.stCdFilial;
    stCdCaixa = p.stCdCaixa;
    leitorCracha.setSettings(BadgeReaderSettings::fromConfiguration());

    // Grid defaults, then the scheme over the whole screen.
    dbsPresenca->SetDefaultColors(true);
    platform::ColoreTela(this, inCor1, inCor2, inCor3, inCor4, inCor5, inCor6);

    // The footer squares are the grid's legend: their colours never follow the scheme.
    dxfPendente->setColor(cor(clGreen));
    dxfInativos->setColor(cor(clRed));
    dxfNcads->setColor(cor(clGray));
    dxfTotalGeral->setColor(cor(clGreen));

    // The header panel in the scheme's second colour.
    QPalette pal = panCabec->palette();
    pal.setColor(QPalette::Window, cor(inCor2));
    panCabec->setPalette(pal);
    panCabec->setAutoFillBackground(true);

    // Every opening starts with a mark-all that marks.
    boSelTudo = false;
}

void TfrmPresenca::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    if (const QScreen* tela = screen()) move(tela->availableGeometry().center() - rect().center());
    platform::Guard([this] { FormShow(this); })();
    dbsPresenca->setFocus(Qt::OtherFocusReason);
}

void TfrmPresenca::keyPressEvent(QKeyEvent* e) {
    // The screen previews no keys; this also keeps QDialog from closing on Escape by itself:
    // Escape closes only through the grid while "X" is enabled.
    platform::Guard(
        [this, e] { FormKeyDown(this, platform::VirtualKey(e->key()), e->modifiers()); })();
    e->accept();
}

void TfrmPresenca::FormShow(QObject* sender) {
    Q_UNUSED(sender);
    inPasso = 1;
    MudaCor();
}

void TfrmPresenca::FormKeyDown(QObject* sender, int key, Qt::KeyboardModifiers shift) {
    Q_UNUSED(sender);
    Q_UNUSED(key);
    Q_UNUSED(shift);
}

void TfrmPresenca::MostraOffline() {
    const QString texto = platform::OfflineState::instance().bannerText();
    lblOffline->setCaption(texto);
    lblOffline->setText(texto.toHtmlEscaped());  // wrapped at its blanks, in the band's room
    lblOffline->setToolTip(texto);
    lblOffline->setVisible(!texto.isEmpty());
}

void TfrmPresenca::lblOfflineClick(QObject* sender) {
    Q_UNUSED(sender);
    Srv_Kel00815::syncTillNow();  // returns at once; the banner follows the job
}

void TfrmPresenca::lblSairClick(QObject* sender) {
    Q_UNUSED(sender);
    reject();
}

}  // namespace Cli_Kel00815
