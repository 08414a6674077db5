#include "pos/touch/CalendarDialog.h"

#include <QApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

#include "platform/Platform.h"

namespace Hul00002::detail {

namespace {
const char* const kMeses[] = {"Janeiro",  "Fevereiro", "Março",    "Abril",
                              "Maio",     "Junho",     "Julho",    "Agosto",
                              "Setembro", "Outubro",   "Novembro", "Dezembro"};
const char* const kSemana[] = {"Dom", "Seg", "Ter", "Qua", "Qui", "Sex", "Sáb"};
const char* const kDiasExtenso[] = {"Segunda-feira", "Terça-feira", "Quarta-feira", "Quinta-feira",
                                    "Sexta-feira",   "Sábado",      "Domingo"};
const QColor kMarcaHoje(0xE0, 0x6A, 0x00);
}  // namespace

CalendarDialog::CalendarDialog(const QDate& hoje, QColor faixa, QColor corpo, QWidget* parent)
    : TouchDialog(QStringLiteral("frmCalendario"), QStringLiteral("Selecione a data"), faixa, corpo,
                  parent),
      hoje_(hoje),
      selecionada_(hoje) {
    const Paleta pal = paletaPadrao();
    resize(540, 580);

    auto* nav = new QHBoxLayout;
    auto* btnAnterior =
        criaBotao(QStringLiteral("btnMesAnterior"), QStringLiteral("◀"), pal.botao, 22);
    auto* btnSeguinte =
        criaBotao(QStringLiteral("btnMesSeguinte"), QStringLiteral("▶"), pal.botao, 22);
    btnAnterior->setFixedSize(84, 48);
    btnSeguinte->setFixedSize(84, 48);
    btnAnterior->setAutoRepeat(true);
    btnSeguinte->setAutoRepeat(true);
    lblMes_ = new QLabel(this);
    lblMes_->setObjectName(QStringLiteral("lblMes"));
    lblMes_->setAlignment(Qt::AlignCenter);
    lblMes_->setStyleSheet(QStringLiteral("QLabel { font-size: 24px; font-weight: bold; }"));
    nav->addWidget(btnAnterior);
    nav->addWidget(lblMes_, 1);
    nav->addWidget(btnSeguinte);
    corpoLayout()->addLayout(nav);

    auto* grid = new QGridLayout;
    grid->setSpacing(5);
    for (int c = 0; c < 7; ++c) {
        auto* l = new QLabel(QString::fromUtf8(kSemana[c]), this);
        l->setAlignment(Qt::AlignCenter);
        l->setStyleSheet(QStringLiteral("QLabel { font-size: 15px; font-weight: bold; color: %1; }")
                             .arg(c == 0 ? QStringLiteral("#B02A2A") : nomeCss(corTexto(corpo))));
        grid->addWidget(l, 0, c);
    }
    for (int i = 0; i < 42; ++i) {
        auto* b = new QPushButton(this);
        b->setFocusPolicy(Qt::NoFocus);
        b->setAutoDefault(false);
        b->setMinimumSize(64, 48);
        b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        grid->addWidget(b, 1 + i / 7, i % 7);
        dias_ << b;
        datas_ << QDate();
        connect(b, &QPushButton::clicked, this, [this, i] {
            // A second touch on the chosen day confirms it, as a double tap would.
            if (datas_[i] == selecionada_) {
                accept();
                return;
            }
            selecionaData(datas_[i]);
        });
    }
    corpoLayout()->addLayout(grid, 1);

    lblData_ = new QLabel(this);
    lblData_->setObjectName(QStringLiteral("lblData"));
    lblData_->setAlignment(Qt::AlignCenter);
    lblData_->setStyleSheet(QStringLiteral("QLabel { font-size: 18px; }"));
    corpoLayout()->addWidget(lblData_);

    auto* rodape = new QHBoxLayout;
    rodape->setSpacing(10);
    auto* btnHoje = criaBotao(QStringLiteral("btnHoje"), QStringLiteral("Hoje"), pal.botao, 20);
    auto* btnCancelar =
        criaBotao(QStringLiteral("btnCancelar"), QStringLiteral("Cancelar"), pal.cancela, 20);
    auto* btnOk = criaBotao(QStringLiteral("btnOk"), QStringLiteral("OK"), pal.acao, 24);
    for (QPushButton* b : {btnHoje, btnCancelar, btnOk}) b->setMinimumHeight(56);
    rodape->addWidget(btnHoje, 1);
    rodape->addWidget(btnCancelar, 1);
    rodape->addWidget(btnOk, 1);
    corpoLayout()->addLayout(rodape);

    connect(btnAnterior, &QPushButton::clicked, this,
            [this] { selecionaData(selecionada_.addMonths(-1)); });
    connect(btnSeguinte, &QPushButton::clicked, this,
            [this] { selecionaData(selecionada_.addMonths(1)); });
    connect(btnHoje, &QPushButton::clicked, this, [this] { selecionaData(hoje_); });
    connect(btnCancelar, &QPushButton::clicked, this, &QDialog::reject);
    connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);
    redesenha();
    setFocus();  // the day buttons never take focus: the keys come to the dialog
}

void CalendarDialog::selecionaData(const QDate& d) {
    if (!d.isValid()) return;
    selecionada_ = d;
    redesenha();
}

void CalendarDialog::redesenha() {
    const QDate primeiro(selecionada_.year(), selecionada_.month(), 1);
    lblMes_->setText(QStringLiteral("%1 de %2")
                         .arg(QString::fromUtf8(kMeses[selecionada_.month() - 1]))
                         .arg(selecionada_.year()));
    lblData_->setText(
        QStringLiteral("%1, %2").arg(QString::fromUtf8(kDiasExtenso[selecionada_.dayOfWeek() - 1]),
                                     selecionada_.toString(QStringLiteral("dd/MM/yyyy"))));
    // Sunday-first weeks: dayOfWeek() is 1 (Monday) to 7 (Sunday).
    const QDate inicio = primeiro.addDays(-(primeiro.dayOfWeek() % 7));
    const QColor corSel = corFaixa();
    for (int i = 0; i < 42; ++i) {
        const QDate d = inicio.addDays(i);
        datas_[i] = d;
        QPushButton* b = dias_[i];
        const bool doMes = d.month() == selecionada_.month();
        b->setText(QString::number(d.day()));
        b->setObjectName(doMes ? QStringLiteral("btnDia%1").arg(d.day())
                               : QStringLiteral("btnDiaFora"));
        QColor fundo = doMes ? QColor(Qt::white) : QColor(0xDA, 0xDA, 0xDA);
        QColor texto =
            doMes ? (d.dayOfWeek() == 7 ? QColor(0xB0, 0x2A, 0x2A) : QColor(0x1A, 0x1A, 0x1A))
                  : QColor(0x8A, 0x8A, 0x8A);
        if (d == selecionada_) {
            fundo = corSel;
            texto = corTexto(corSel);
        }
        const QString borda = d == hoje_ ? QStringLiteral("4px solid %1").arg(nomeCss(kMarcaHoje))
                                         : QStringLiteral("1px solid #B8B8B8");
        b->setStyleSheet(QStringLiteral("QPushButton { background: %1; color: %2; border: %3;"
                                        " border-radius: 10px; font-size: 22px; font-weight: %4; }"
                                        "QPushButton:pressed { background: %5; color: %6; }")
                             .arg(nomeCss(fundo), nomeCss(texto), borda,
                                  d == hoje_ || d == selecionada_ ? QStringLiteral("bold")
                                                                  : QStringLiteral("normal"),
                                  nomeCss(corSel.darker(130)),
                                  nomeCss(corTexto(corSel.darker(130)))));
        b->setToolTip(d == hoje_ ? QStringLiteral("Hoje") : QString());
    }
}

void CalendarDialog::keyPressEvent(QKeyEvent* e) {
    switch (e->key()) {
        case Qt::Key_Left:
            selecionaData(selecionada_.addDays(-1));
            break;
        case Qt::Key_Right:
            selecionaData(selecionada_.addDays(1));
            break;
        case Qt::Key_Up:
            selecionaData(selecionada_.addDays(-7));
            break;
        case Qt::Key_Down:
            selecionaData(selecionada_.addDays(7));
            break;
        case Qt::Key_PageUp:
            selecionaData(selecionada_.addMonths(-1));
            break;
        case Qt::Key_PageDown:
            selecionaData(selecionada_.addMonths(1));
            break;
        case Qt::Key_Home:
            selecionaData(hoje_);
            break;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            accept();
            break;
        case Qt::Key_Escape:
            reject();
            break;
        default:
            TouchDialog::keyPressEvent(e);
            return;
    }
    e->accept();
}

QString touchCalendarPadrao(int /*arg1*/, int cor1, int cor2) {
    const Paleta pal = paletaPadrao();
    CalendarDialog dlg(platform::Hoje(), corEsquema(cor1, pal.faixa), corEsquema(cor2, pal.corpo),
                       QApplication::activeWindow());
    if (dlg.exec() != QDialog::Accepted) return QString();
    return dlg.dataSelecionada().toString(QStringLiteral("dd/MM/yyyy"));
}

}  // namespace Hul00002::detail
