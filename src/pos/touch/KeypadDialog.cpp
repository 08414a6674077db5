#include "pos/touch/KeypadDialog.h"

#include <QApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace Hul00002::detail {

KeypadDialog::KeypadDialog(const QString& entrada, const QString& titulo, const QString& instrucao,
                           const QString& textoVazio, int tamanho, QWidget* parent)
    : TouchDialog(QStringLiteral("frmTeclado"), titulo, paletaPadrao().faixa, paletaPadrao().corpo,
                  parent),
      textoVazio_(textoVazio),
      tamanho_(tamanho) {
    const Paleta pal = paletaPadrao();
    resize(420, 580);

    auto* lblInstrucao = new QLabel(instrucao, this);
    lblInstrucao->setObjectName(QStringLiteral("lblInstrucao"));
    lblInstrucao->setWordWrap(true);
    lblInstrucao->setAlignment(Qt::AlignCenter);
    lblInstrucao->setStyleSheet(QStringLiteral("QLabel { font-size: 18px; }"));
    corpoLayout()->addWidget(lblInstrucao);

    edtEntrada_ = new QLineEdit(this);
    edtEntrada_->setObjectName(QStringLiteral("edtEntrada"));
    edtEntrada_->setReadOnly(true);
    edtEntrada_->setFocusPolicy(Qt::NoFocus);
    edtEntrada_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    edtEntrada_->setMinimumHeight(68);
    edtEntrada_->setStyleSheet(
        QStringLiteral("QLineEdit { background: white; color: #1A1A1A; font-size: 38px;"
                       " font-weight: bold; border: 2px solid %1; border-radius: 10px;"
                       " padding: 0 14px; }")
            .arg(nomeCss(pal.faixa)));
    corpoLayout()->addWidget(edtEntrada_);

    lblMensagem_ = new QLabel(this);
    lblMensagem_->setObjectName(QStringLiteral("lblMensagem"));
    lblMensagem_->setWordWrap(true);
    lblMensagem_->setAlignment(Qt::AlignCenter);
    lblMensagem_->setMinimumHeight(44);
    lblMensagem_->setStyleSheet(
        QStringLiteral("QLabel { color: #B02A2A; font-size: 16px; font-weight: bold; }"));
    corpoLayout()->addWidget(lblMensagem_);

    auto* grid = new QGridLayout;
    grid->setSpacing(8);
    const char* const ordem = "789456123";
    for (int i = 0; i < 9; ++i) {
        const QChar d = QLatin1Char(ordem[i]);
        auto* b = criaBotao(QStringLiteral("btn") + d, QString(d), pal.botao, 30);
        b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        b->setMinimumHeight(58);
        grid->addWidget(b, i / 3, i % 3);
        connect(b, &QPushButton::clicked, this, [this, d] { digita(d); });
    }
    auto* btnLimpa = criaBotao(QStringLiteral("btnLimpa"), QStringLiteral("Limpa"),
                               QColor(0xE8, 0xC5, 0x6A), 20);
    auto* btn0 = criaBotao(QStringLiteral("btn0"), QStringLiteral("0"), pal.botao, 30);
    auto* btnApaga =
        criaBotao(QStringLiteral("btnApaga"), QStringLiteral("⌫"), QColor(0xE8, 0xC5, 0x6A), 28);
    btnApaga->setAutoRepeat(true);
    for (QPushButton* b : {btnLimpa, btn0, btnApaga}) {
        b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        b->setMinimumHeight(58);
    }
    grid->addWidget(btnLimpa, 3, 0);
    grid->addWidget(btn0, 3, 1);
    grid->addWidget(btnApaga, 3, 2);
    corpoLayout()->addLayout(grid, 1);
    connect(btnLimpa, &QPushButton::clicked, this, [this] { limpa(); });
    connect(btn0, &QPushButton::clicked, this, [this] { digita(QLatin1Char('0')); });
    connect(btnApaga, &QPushButton::clicked, this, [this] { apaga(); });

    auto* rodape = new QHBoxLayout;
    rodape->setSpacing(10);
    auto* btnCancelar =
        criaBotao(QStringLiteral("btnCancelar"), QStringLiteral("Cancelar"), pal.cancela, 20);
    auto* btnConfirma =
        criaBotao(QStringLiteral("btnConfirma"), QStringLiteral("Confirma"), pal.acao, 22);
    btnCancelar->setMinimumHeight(60);
    btnConfirma->setMinimumHeight(60);
    rodape->addWidget(btnCancelar, 1);
    rodape->addWidget(btnConfirma, 1);
    corpoLayout()->addLayout(rodape);
    connect(btnCancelar, &QPushButton::clicked, this, &QDialog::reject);
    connect(btnConfirma, &QPushButton::clicked, this, [this] { confirma(); });

    // A caller may hand in a previous entry; only its digits, within the limit, are kept.
    QString inicial;
    for (const QChar c : entrada)
        if (c.isDigit() && (tamanho_ <= 0 || inicial.size() < tamanho_)) inicial.append(c);
    edtEntrada_->setText(inicial);
    setFocus();
}

QString KeypadDialog::entrada() const {
    return edtEntrada_->text();
}

void KeypadDialog::mostraAviso(const QString& texto) {
    lblMensagem_->setText(texto);
}

void KeypadDialog::digita(QChar digito) {
    if (!digito.isDigit() || digito.unicode() > '9') return;
    avisouVazio_ = false;
    if (tamanho_ > 0 && edtEntrada_->text().size() >= tamanho_) {
        mostraAviso(tamanho_ == 1 ? QStringLiteral("Máximo de 1 dígito.")
                                  : QStringLiteral("Máximo de %1 dígitos.").arg(tamanho_));
        return;
    }
    mostraAviso(QString());
    edtEntrada_->setText(edtEntrada_->text() + digito);
}

void KeypadDialog::apaga() {
    QString t = edtEntrada_->text();
    t.chop(1);
    edtEntrada_->setText(t);
    mostraAviso(QString());
}

void KeypadDialog::limpa() {
    edtEntrada_->clear();
    mostraAviso(QString());
}

void KeypadDialog::confirma() {
    if (edtEntrada_->text().isEmpty() && !avisouVazio_ && !textoVazio_.isEmpty()) {
        // First confirm of nothing: say what is expected; confirming again accepts it empty.
        avisouVazio_ = true;
        mostraAviso(textoVazio_ + QStringLiteral("\nConfirme de novo para continuar."));
        return;
    }
    accept();
}

void KeypadDialog::keyPressEvent(QKeyEvent* e) {
    const QString t = e->text();
    if (t.size() == 1 && t.at(0) >= QLatin1Char('0') && t.at(0) <= QLatin1Char('9')) {
        digita(t.at(0));
    } else {
        switch (e->key()) {
            case Qt::Key_Backspace:
                apaga();
                break;
            case Qt::Key_Delete:
                limpa();
                break;
            case Qt::Key_Return:
            case Qt::Key_Enter:
                confirma();
                break;
            case Qt::Key_Escape:
                reject();
                break;
            default:
                TouchDialog::keyPressEvent(e);
                return;
        }
    }
    e->accept();
}

bool tecladoNumericoPadrao(QString& entrada, const QString& titulo, const QString& instrucao,
                           const QString& textoVazio, int tamanho, int, int, int, int, int) {
    KeypadDialog dlg(entrada, titulo, instrucao, textoVazio, tamanho, QApplication::activeWindow());
    if (dlg.exec() != QDialog::Accepted) return false;
    entrada = dlg.entrada();
    return true;
}

}  // namespace Hul00002::detail
