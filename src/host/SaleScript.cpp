#include "SaleScript.h"

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

#include <cstdio>

#include <hul00002/Hul00002.h>

#include "dataset/ClientDataSet.h"
#include "platform/Controls.h"
#include "platform/Platform.h"

namespace {

void diz(const QString& s) {
    std::fputs((QStringLiteral("roteiro: ") + s + QLatin1Char('\n')).toLocal8Bit().constData(),
               stdout);
    std::fflush(stdout);
}

bool clica(QWidget* screen, const char* nome) {
    auto* b = screen->findChild<QAbstractButton*>(QLatin1String(nome));
    if (!b || !b->isEnabled()) {
        diz(QStringLiteral("o botão %1 não está disponível.").arg(QLatin1String(nome)));
        return false;
    }
    b->click();
    return true;
}

void tecla(QWidget* w, int key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &release);
}

bool vendavel(dataset::ClientDataSet& ds) {
    return ds.fieldByName(QStringLiteral("DTHRREALCONCONS")).asString().isEmpty() &&
           ds.fieldByName(QStringLiteral("IDSITCONSUMI")).asString() == QLatin1String("1");
}

}  // namespace

SaleScript::SaleScript(const QString& service) : service_(service.trimmed()) {}

void SaleScript::install() {
    const QString servico = service_;
    Hul00002::Pesquisa = [servico](dataset::ClientDataSet& ds, int, const QString&, int, int, int,
                                   int, int) {
        ds.first();
        if (!ds.findField(QStringLiteral("CDSERVFILI")).isValid()) return !ds.eof();
        for (; !ds.eof(); ds.next())
            if (ds.fieldByName(QStringLiteral("CDSERVFILI")).asString().trimmed() == servico)
                return true;
        diz(QStringLiteral("o caixa não tem o serviço %1.").arg(servico));
        return false;
    };
    platform::SetMensagemPresenter([this](const platform::MensagemArgs& a) {
        diz(QStringLiteral("%1: %2").arg(a.tipo == 1   ? QStringLiteral("pergunta (sim)")
                                         : a.tipo == 3 ? QStringLiteral("erro")
                                                       : QStringLiteral("aviso"),
                                         a.texto));
        if (a.tipo != 1) shown_ << a.texto;
        return true;
    });
}

void SaleScript::run(QWidget* screen) {
    sold_ = step(screen);
    done_ = true;
    diz(sold_ ? QStringLiteral("venda gerada para o crachá %1.").arg(badge_)
              : QStringLiteral("a venda não foi gerada."));
    if (auto* grade = screen->findChild<platform::TDBSortGrid*>(QStringLiteral("dbsPresenca")))
        tecla(grade, Qt::Key_Escape);
    if (screen->isVisible()) screen->close();
}

bool SaleScript::step(QWidget* screen) {
    auto* grade = screen->findChild<platform::TDBSortGrid*>(QStringLiteral("dbsPresenca"));
    if (!grade || !grade->dataSet()) {
        diz(QStringLiteral("a tela não tem a grade dbsPresenca."));
        return false;
    }
    for (const char* botao : {"dxfCentCusto", "dxfServico", "blbCarregar"})
        if (!clica(screen, botao) || !shown_.isEmpty()) return false;
    dataset::ClientDataSet& ds = *grade->dataSet();
    if (!ds.active() || ds.isEmpty()) {
        diz(QStringLiteral("a lista carregada está vazia."));
        return false;
    }
    for (ds.first(); !ds.eof() && !vendavel(ds); ds.next()) {
    }
    if (ds.eof()) {
        diz(QStringLiteral("ninguém na lista pode ser vendido."));
        return false;
    }
    badge_ = ds.fieldByName(QStringLiteral("CDIDCONSUMID")).asString();
    grade->setFocus();
    tecla(grade, Qt::Key_Space);  // the screen's own key marks the current row
    if (ds.fieldByName(QStringLiteral("IDCHECK")).asString() != QLatin1String("S")) {
        diz(QStringLiteral("a tecla Espaço não marcou o crachá %1.").arg(badge_));
        return false;
    }
    if (!clica(screen, "blbGeraVenda") || !shown_.isEmpty()) return false;
    // The list reloaded: the consumer must now show as sold.
    for (ds.first(); !ds.eof(); ds.next())
        if (ds.fieldByName(QStringLiteral("CDIDCONSUMID")).asString() == badge_)
            return !ds.fieldByName(QStringLiteral("DTHRREALCONCONS")).asString().isEmpty();
    diz(QStringLiteral("o crachá %1 sumiu da lista recarregada.").arg(badge_));
    return false;
}
