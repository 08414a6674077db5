#include <QApplication>
#include <QDebug>
#include <QDialog>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

#include "dataset/DataPacket.h"
#include "platform/Controls.h"
#include "platform/Platform.h"
#include "platform/Registro.h"

namespace platform {

namespace {

MensagemPresenter& presenter() {
    static MensagemPresenter p;
    return p;
}

// The dialog colours of a scheme id; an unknown or empty id gets the standard look.
struct Esquema {
    QColor band;    // title band
    QColor body;    // dialog face
    QColor button;  // answer buttons
    QColor border;
};

Esquema esquemaDe(const QString& id) {
    const QString k = id.trimmed();
    if (k == QLatin1String("001"))
        return {QColor(0x1F, 0x4E, 0x8C), QColor(0xF2, 0xF6, 0xFB), QColor(0xC9, 0xD9, 0xEE),
                QColor(0x1F, 0x4E, 0x8C)};
    if (k == QLatin1String("003"))
        return {QColor(0x2E, 0x6B, 0x30), QColor(0xF3, 0xF8, 0xF1), QColor(0xCC, 0xE3, 0xC8),
                QColor(0x2E, 0x6B, 0x30)};
    // "002" and anything else: navy band on the light gray of the screens.
    return {QColor(0x00, 0x00, 0x80), QColor(0xF0, 0xF0, 0xF0), QColor(0xC0, 0xC0, 0xC0),
            QColor(0x80, 0x80, 0x80)};
}

QColor contrastOn(const QColor& bg) {
    return qGray(bg.rgb()) < 128 ? QColor(Qt::white) : QColor(Qt::black);
}

QString tituloDoTipo(int tipo) {
    switch (tipo) {
        case 1:
            return QStringLiteral("Confirmação");
        case 3:
            return QStringLiteral("Erro");
        default:
            return QStringLiteral("Atenção");
    }
}

// Touch-sized modal box: a title band, the text, and OK or Sim/Não.
class MensagemDialog : public QDialog {
public:
    MensagemDialog(const MensagemArgs& a, QWidget* parent)
        : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint),
          esquema_(esquemaDe(a.esquema)),
          pergunta_(a.tipo == 1),
          simPadrao_(a.flag4.trimmed().compare(QLatin1String("S"), Qt::CaseInsensitive) == 0) {
        setObjectName(QStringLiteral("dlgMensagem"));
        setModal(true);
        setAttribute(Qt::WA_TranslucentBackground);
        setWindowTitle(a.titulo.isEmpty() ? tituloDoTipo(a.tipo) : a.titulo);

        auto* lay = new QVBoxLayout(this);
        lay->setContentsMargins(18, 10, 18, 18);
        lay->setSpacing(14);

        titulo_ = new QLabel(windowTitle(), this);
        titulo_->setObjectName(QStringLiteral("lblTitulo"));
        QFont tf = font();
        tf.setPixelSize(18);
        tf.setBold(true);
        titulo_->setFont(tf);
        // Its own style sheet: a parent's (a touch dialog colours its labels for its own body)
        // would otherwise paint the title dark on the dark band.
        titulo_->setStyleSheet(cor(contrastOn(esquema_.band), 18, true));
        titulo_->setFixedHeight(bandHeight - 10);
        lay->addWidget(titulo_);

        auto* texto = new QLabel(a.texto, this);
        texto->setObjectName(QStringLiteral("lblTexto"));
        texto->setWordWrap(true);
        texto->setTextFormat(Qt::PlainText);
        texto->setAlignment(Qt::AlignCenter);
        QFont xf = font();
        xf.setPixelSize(18);
        texto->setFont(xf);
        texto->setStyleSheet(
            cor(a.tipo == 3 ? QColor(0xB0, 0, 0) : contrastOn(esquema_.body), 18, false));
        // The till's screen is 800 by 595: a longer text scrolls inside the dialog.
        const int largura = qBound(460, texto->sizeHint().width(), 700);
        const int altura = qMax(70, texto->heightForWidth(largura));
        auto* rolagem = new QScrollArea(this);
        rolagem->setObjectName(QStringLiteral("scrTexto"));
        rolagem->setFrameShape(QFrame::NoFrame);
        rolagem->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        const bool rola = altura > alturaMaximaDoTexto;
        rolagem->setVerticalScrollBarPolicy(rola ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
        rolagem->viewport()->setAutoFillBackground(false);
        texto->setAutoFillBackground(false);
        // The text's own size, laid out once for the dialog's width; the area shows it whole
        // or scrolls it.
        texto->setFixedSize(largura, altura);
        rolagem->setWidget(texto);
        const int barra = rola ? rolagem->verticalScrollBar()->sizeHint().width() : 0;
        rolagem->setFixedSize(largura + barra, qMin(altura, alturaMaximaDoTexto));
        lay->addWidget(rolagem, 1);

        auto* botoes = new QHBoxLayout;
        botoes->setSpacing(24);
        botoes->addStretch();
        if (pergunta_) {
            sim_ = botao(QStringLiteral("&Sim"), QStringLiteral("btnSim"));
            nao_ = botao(QStringLiteral("&Não"), QStringLiteral("btnNao"));
            connect(sim_, &QAbstractButton::clicked, this, [this] { accept(); });
            connect(nao_, &QAbstractButton::clicked, this, [this] { reject(); });
            botoes->addWidget(sim_);
            botoes->addWidget(nao_);
            marcaPadrao(simPadrao_ ? sim_ : nao_);
        } else {
            sim_ = botao(QStringLiteral("OK"), QStringLiteral("btnOk"));
            connect(sim_, &QAbstractButton::clicked, this, [this] { accept(); });
            botoes->addWidget(sim_);
            marcaPadrao(sim_);
        }
        botoes->addStretch();
        lay->addLayout(botoes);
    }

    // The answer Enter gives.
    bool respostaPadrao() const { return !pergunta_ || simPadrao_; }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QRectF r = QRectF(rect()).adjusted(1, 1, -1, -1);
        QPainterPath outline;
        outline.addRoundedRect(r, 16, 16);
        p.fillPath(outline, esquema_.body);
        p.save();
        p.setClipPath(outline);
        p.fillRect(QRectF(r.left(), r.top(), r.width(), bandHeight), esquema_.band);
        p.restore();
        p.setPen(QPen(esquema_.border, 2));
        p.drawPath(outline);
    }

    void keyPressEvent(QKeyEvent* e) override {
        switch (e->key()) {
            case Qt::Key_Return:
            case Qt::Key_Enter:
                done(respostaPadrao() ? Accepted : Rejected);
                return;
            case Qt::Key_Escape:
                reject();
                return;
            case Qt::Key_S:
                if (pergunta_) accept();
                return;
            case Qt::Key_N:
                if (pergunta_) reject();
                return;
            default:
                QDialog::keyPressEvent(e);
        }
    }

private:
    static constexpr int bandHeight = 48;
    // What the 595 pixels of the screen leave for the text beside band, buttons and margins.
    static constexpr int alturaMaximaDoTexto = 380;

    static QString cor(const QColor& c, int pixels, bool negrito) {
        return QStringLiteral("QLabel { color: %1; background: transparent; font-size: %2px;%3 }")
            .arg(c.name())
            .arg(pixels)
            .arg(negrito ? QStringLiteral(" font-weight: bold;") : QString());
    }

    TBlendedButton* botao(const QString& caption, const QString& name) {
        auto* b = new TBlendedButton(this);
        b->setObjectName(name);
        b->setCaption(caption);
        b->setColor(esquema_.button);
        b->setCaptionColor(contrastOn(esquema_.button));
        QFont f = font();
        f.setPixelSize(18);
        f.setBold(true);
        b->setFont(f);
        b->setFixedSize(150, 60);
        return b;
    }

    void marcaPadrao(TBlendedButton* b) {
        b->setColor(esquema_.band);
        b->setCaptionColor(contrastOn(esquema_.band));
        b->setProperty("padrao", true);
    }

    Esquema esquema_;
    bool pergunta_;
    bool simPadrao_;
    QLabel* titulo_ = nullptr;
    TBlendedButton* sim_ = nullptr;
    TBlendedButton* nao_ = nullptr;
};

bool showDialog(const MensagemArgs& a) {
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) {
        qWarning().noquote() << "Mensagem sem interface:" << a.texto;
        return a.tipo != 1;
    }
    QWidget* parent = QApplication::activeModalWidget();
    if (!parent) parent = QApplication::activeWindow();
    MensagemDialog dlg(a, parent);
    const bool sim = dlg.exec() == QDialog::Accepted;
    return a.tipo == 1 ? sim : true;
}

}  // namespace

MensagemPresenter SetMensagemPresenter(MensagemPresenter p) {
    MensagemPresenter previous = std::move(presenter());
    presenter() = std::move(p);
    return previous;
}

bool Mensagem(const QString& texto, const QString& titulo, const QString& flag3,
              const QString& flag4, int tipo, const QString& arg6, const QString& esquema, int arg8,
              dataset::ClientDataSet* ds) {
    // The last gate before the screen (and the log, without a display): whoever built the text,
    // it goes through the rule that removes secrets.
    const MensagemArgs a{
        TextoDaExcecao(nullptr, texto), titulo, flag3, flag4, tipo, arg6, esquema, arg8, ds};
    if (tipo == 3)
        qCWarning(lcOperador).noquote() << "Erro mostrado:" << a.texto;
    else
        qCInfo(lcOperador).noquote() << (tipo == 1 ? "Pergunta:" : "Aviso:") << a.texto;
    const bool answer = presenter() ? presenter()(a) : showDialog(a);
    if (tipo == 1) qCInfo(lcOperador) << "Resposta:" << (answer ? "sim" : "não");
    // Only a question has an answer; notices and errors always report true.
    return tipo == 1 ? answer : true;
}

dataset::DataPacket MensagemMetodo(const QVariant& resultado, bool mostraErro, int arg3,
                                   const QString& metodo, const QString& unidade,
                                   const QString& arg6, const QString& esquema) {
    Q_UNUSED(arg3);
    Q_UNUSED(arg6);
    if (dataset::isDataPacket(resultado)) return dataset::packetFromVariant(resultado);

    // A failed request must stop the calling handler: going on with an empty result would
    // let the screen act as if there were no data (a missing product check lets sales pass).
    QString texto;
    if (resultado.typeId() == QMetaType::QString) texto = resultado.toString().trimmed();
    if (texto.isEmpty())
        texto = QStringLiteral("O método %1 (%2) não retornou dados válidos.").arg(metodo, unidade);
    if (!mostraErro) throw Error(texto);  // the general display tells the operator
    Mensagem(texto, QString(), QStringLiteral("N"), QStringLiteral("N"), 3, QString(), esquema, 0,
             nullptr);
    throw EAbort();
}

}  // namespace platform
