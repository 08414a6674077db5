#include <QApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <QVBoxLayout>

#include "platform/Platform.h"
#include "pos/RelFiscais.h"
#include "pos/TouchDialog.h"

namespace Hul00002::detail {

namespace {
void avisaSemImpressora(const QString& operacao) {
    platform::Mensagem(
        QStringLiteral("Impressora fiscal não conectada. %1 não realizada.").arg(operacao),
        QString(), QStringLiteral("N"), QStringLiteral("N"), 2, QString(), QString(), 0, nullptr);
}
}  // namespace

void relFiscaisPadrao() {
    const Paleta pal = paletaPadrao();
    TouchDialog dlg(QStringLiteral("frmRelFiscais"), QStringLiteral("Menu Fiscal"), pal.faixa,
                    pal.corpo, QApplication::activeWindow());
    dlg.resize(440, 430);

    struct Item {
        const char* nome;
        const char* texto;
    };
    const Item itens[] = {{"btnLeituraX", "Leitura X"},
                          {"btnReducaoZ", "Redução Z"},
                          {"btnMemoriaFiscal", "Leitura da Memória Fiscal"}};
    for (const Item& it : itens) {
        const QString texto = QString::fromUtf8(it.texto);
        auto* b = dlg.criaBotao(QString::fromLatin1(it.nome), texto, pal.botao, 20);
        b->setMinimumHeight(70);
        dlg.corpoLayout()->addWidget(b);
        const bool reducao = qstrcmp(it.nome, "btnReducaoZ") == 0;
        QObject::connect(
            b, &QPushButton::clicked, &dlg, platform::Guard([texto, reducao](bool) {
                // The Z reduction closes the fiscal day: never without a yes.
                if (reducao && !platform::Mensagem(
                                   QStringLiteral("Confirma a Redução Z? O movimento fiscal do "
                                                  "dia será encerrado."),
                                   QString(), QStringLiteral("N"), QStringLiteral("N"), 1,
                                   QString(), QString(), 0, nullptr))
                    return;
                avisaSemImpressora(texto);
            }));
    }
    dlg.corpoLayout()->addStretch(1);
    auto* fechar =
        dlg.criaBotao(QStringLiteral("btnFechar"), QStringLiteral("Fechar"), pal.cancela, 20);
    fechar->setMinimumHeight(64);
    dlg.corpoLayout()->addWidget(fechar);
    QObject::connect(fechar, &QPushButton::clicked, &dlg, &QDialog::reject);
    dlg.exec();
}

}  // namespace Hul00002::detail
