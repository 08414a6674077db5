#include "pos/fiscal/FiscalMenu.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <exception>

#include "dataset/ClientDataSet.h"
#include "dataset/DataPacket.h"
#include "platform/Platform.h"
#include "platform/Registro.h"
#include "platform/TADOConnection.h"
#include "pos/fiscal/FiscalBook.h"
#include "pos/fiscal/FiscalReportWindow.h"
#include "pos/fiscal/FiscalText.h"
#include "pos/sale/OfflineSales.h"
#include "pos/sale/Receipt.h"
#include "pos/sale/SalesSchema.h"
#include "pos/sale/TillCopy.h"
#include "pos/touch/CalendarDialog.h"
#include "pos/touch/PickListDialog.h"
#include "pos/touch/TouchDialog.h"

namespace Hul00002 {

namespace {

const QString kDia = QStringLiteral("dd/MM/yyyy");

void avisa(const QString& texto, int tipo = 2) {
    platform::Mensagem(texto, QString(), QStringLiteral("N"), QStringLiteral("N"), tipo, QString(),
                       QString(), 0, nullptr);
}

bool pergunta(const QString& texto) {
    return platform::Mensagem(texto, QString(), QStringLiteral("N"), QStringLiteral("N"), 1,
                              QString(), QString(), 0, nullptr);
}

QString nomeDoArquivo(const QString& s) {
    QString r = s;
    for (QChar& ch : r)
        if (!ch.isLetterOrNumber()) ch = QLatin1Char('_');
    return r;
}

QString parametrosDoCaixa(const QString& dir) {
    const QString nome = QStringLiteral("PARAMETROSZOR.CDS");
    // Files copied from a Windows till keep whatever letter case they had there.
    for (const QString& f : QDir(dir).entryList(QDir::Files | QDir::Hidden))
        if (f.compare(nome, Qt::CaseInsensitive) == 0) return QDir(dir).filePath(f);
    return QString();
}

using Relatorio = detail::FiscalReportWindow;

class FiscalMenu : public detail::TouchDialog {
public:
    FiscalMenu(const FiscalSettings& s, QWidget* parent)
        : TouchDialog(QStringLiteral("frmRelFiscais"), QStringLiteral("Menu Fiscal"),
                      detail::paletaPadrao().faixa, detail::paletaPadrao().corpo, parent),
          s_(s) {
        const detail::Paleta pal = detail::paletaPadrao();
        resize(460, 560);
        auto* caixa = new QLabel(
            s_.till.isEmpty() ? QStringLiteral("Caixa não identificado")
                              : QStringLiteral("Filial %1 - Caixa %2").arg(s_.branch, s_.till),
            this);
        caixa->setObjectName(QStringLiteral("lblCaixa"));
        caixa->setAlignment(Qt::AlignCenter);
        caixa->setStyleSheet(QStringLiteral("QLabel { font-size: 16px; }"));
        corpoLayout()->addWidget(caixa);

        struct Item {
            const char* nome;
            const char* texto;
            void (FiscalMenu::*acao)();
        };
        const Item itens[] = {
            {"btnLeituraX", "1  Leitura X", &FiscalMenu::btnLeituraXClick},
            {"btnReducaoZ", "2  Redução Z", &FiscalMenu::btnReducaoZClick},
            {"btnMemoriaFiscal", "3  Leitura da Memória Fiscal",
             &FiscalMenu::btnMemoriaFiscalClick},
            {"btnReimprimir", "4  Reimprimir cupom", &FiscalMenu::btnReimprimirClick}};
        for (const Item& it : itens) {
            auto* b =
                criaBotao(QString::fromLatin1(it.nome), QString::fromUtf8(it.texto), pal.botao, 20);
            b->setMinimumHeight(70);
            corpoLayout()->addWidget(b);
            botoes_ << b;
            QObject::connect(b, &QPushButton::clicked, this,
                             platform::Guard([this, acao = it.acao] { (this->*acao)(); }));
        }
        corpoLayout()->addStretch(1);
        auto* fechar =
            criaBotao(QStringLiteral("btnFechar"), QStringLiteral("Fechar (Esc)"), pal.cancela, 20);
        fechar->setMinimumHeight(64);
        corpoLayout()->addWidget(fechar);
        QObject::connect(fechar, &QPushButton::clicked, this, &QDialog::reject);
    }

protected:
    // The digits on the buttons, or the report's letter; Escape closes (QDialog).
    void keyPressEvent(QKeyEvent* e) override {
        int i = -1;
        switch (e->key()) {
            case Qt::Key_1:
            case Qt::Key_X:
                i = 0;
                break;
            case Qt::Key_2:
            case Qt::Key_Z:
                i = 1;
                break;
            case Qt::Key_3:
            case Qt::Key_M:
                i = 2;
                break;
            case Qt::Key_4:
            case Qt::Key_R:
                i = 3;
                break;
            default:
                TouchDialog::keyPressEvent(e);
                return;
        }
        botoes_.at(i)->click();
    }

private:
    void btnLeituraXClick() {
        executa(
            [this](platform::TADOConnection& c) {
                const DayReading r = readDay(c, s_.branch, s_.till, platform::Hoje());
                c.setConnected(false);
                qCInfo(platform::lcVenda).noquote()
                    << QStringLiteral("Leitura X do caixa %1, filial %2, dia %3: %4 vendas, R$ %5")
                           .arg(s_.till, s_.branch, r.day.toString(kDia))
                           .arg(r.sales)
                           .arg(moneyText(r.totalCents));
                Relatorio janela(QStringLiteral("Leitura X"), readingLines(r),
                                 arquivo(r.day, QStringLiteral("leitura-x-") +
                                                    r.readAt.toString(QStringLiteral("HHmmss"))),
                                 s_.printer, this);
                janela.exec();
            },
            [this] { return leituraXDaCopia(); });
    }

    // The server away: the day as the till's copy has it, saying so and how old the copy is.
    bool leituraXDaCopia() {
        TillCopyInfo info;
        auto copia = openTillCopy(copia_(), cadeia(), s_.branch, s_.till, &info);
        if (!copia) return false;  // the server's failure is what the operator reads
        const DayReading r = readDay(*copia, s_.branch, s_.till, platform::Hoje());
        copia.reset();
        const QString quando = info.takenAt.toString(QStringLiteral("dd/MM/yyyy HH:mm"));
        qCInfo(platform::lcVenda).noquote()
            << QStringLiteral(
                   "Leitura X do caixa %1, filial %2, dia %3, da cópia do caixa de %4 "
                   "(servidor sem resposta): %5 vendas, R$ %6")
                   .arg(s_.till, s_.branch, r.day.toString(kDia), quando)
                   .arg(r.sales)
                   .arg(moneyText(r.totalCents));
        const QStringList aviso{QStringLiteral("*** CÓPIA DO CAIXA DE %1 ***").arg(quando),
                                QStringLiteral("Sem conexão com o servidor: vendas"),
                                QStringLiteral("desta cópia, inclusive as guardadas"),
                                QStringLiteral("no caixa e ainda não enviadas."), QString()};
        Relatorio janela(QStringLiteral("Leitura X (cópia do caixa de %1)").arg(quando),
                         aviso + readingLines(r),
                         arquivo(r.day, QStringLiteral("leitura-x-copia-") +
                                            r.readAt.toString(QStringLiteral("HHmmss"))),
                         s_.printer, this);
        janela.exec();
        return true;
    }

    void btnReducaoZClick() {
        executa(
            [this](platform::TADOConnection& c) {
                const QDate hoje = platform::Hoje();
                const Closing anterior = findClosing(c, s_.branch, s_.till, hoje);
                if (anterior.number != 0) {
                    avisa(QStringLiteral("A Redução Z do dia %1 já foi feita (fechamento nº %2, em "
                                         "%3). O dia não pode ser fechado de novo.")
                              .arg(hoje.toString(kDia))
                              .arg(anterior.number)
                              .arg(anterior.closedAt.toString(QStringLiteral("dd/MM/yyyy HH:mm"))));
                    return;
                }
                // The sales kept on the till while the server was away count: sent first, or wait.
                if (const QString espera =
                        closingHeldByOutbox(cadeia(), copia_(), s_.branch, s_.till, hoje);
                    !espera.isEmpty()) {
                    c.setConnected(false);
                    qCWarning(platform::lcVenda).noquote() << espera;
                    avisa(espera);
                    return;
                }
                // The closing ends the till's sales for the day: never without a yes.
                if (!pergunta(
                        QStringLiteral("Confirma a Redução Z do dia %1? O movimento fiscal do "
                                       "dia será encerrado e o caixa não fará mais vendas "
                                       "para este dia.")
                            .arg(hoje.toString(kDia))))
                    return;
                const Closing z = closeDay(c, s_.branch, s_.till, hoje);
                c.setConnected(false);
                qCInfo(platform::lcVenda).noquote()
                    << QStringLiteral(
                           "Redução Z nº %1 do caixa %2, filial %3, dia %4: %5 vendas, R$ %6")
                           .arg(z.number)
                           .arg(s_.till, s_.branch, hoje.toString(kDia))
                           .arg(z.sales)
                           .arg(moneyText(z.totalCents));
                Relatorio janela(
                    QStringLiteral("Redução Z"), z.lines,
                    arquivo(hoje,
                            QStringLiteral("reducao-z-%1").arg(z.number, 6, 10, QLatin1Char('0'))),
                    s_.printer, this);
                // The closing stands whatever the printer does; the window can print it again.
                janela.imprime();
                janela.exec();
            },
            [] {
                const QString t = QStringLiteral(
                    "Sem conexão com o servidor: a Redução Z só é feita com ele, que registra o "
                    "fechamento e tem todas as vendas do dia. Nada foi fechado; tente de novo "
                    "quando o servidor responder.");
                qCWarning(platform::lcVenda).noquote() << t;
                avisa(t);
                return true;
            });
    }

    void btnMemoriaFiscalClick() {
        if (!identificado()) return;
        const QDate hoje = platform::Hoje();
        const QDate inicio = escolheData(QStringLiteral("Memória Fiscal: data inicial"),
                                         QDate(hoje.year(), hoje.month(), 1));
        if (!inicio.isValid()) return;
        const QDate fim = escolheData(QStringLiteral("Memória Fiscal: data final"),
                                      inicio > hoje ? inicio : hoje);
        if (!fim.isValid()) return;
        if (fim < inicio) {
            avisa(QStringLiteral("A data final (%1) é anterior à data inicial (%2).")
                      .arg(fim.toString(kDia), inicio.toString(kDia)));
            return;
        }
        executa([&](platform::TADOConnection& c) {
            const FiscalPeriod p = closingsBetween(c, s_.branch, s_.till, inicio, fim);
            c.setConnected(false);
            qCInfo(platform::lcVenda).noquote()
                << QStringLiteral(
                       "Memória Fiscal do caixa %1, filial %2, de %3 a %4: %5 "
                       "reduções Z")
                       .arg(s_.till, s_.branch, inicio.toString(kDia), fim.toString(kDia))
                       .arg(p.closings.size());
            Relatorio janela(QStringLiteral("Leitura da Memória Fiscal"), periodLines(p),
                             QStringLiteral("%1-%2-memoria-fiscal-%3-%4")
                                 .arg(nomeDoArquivo(s_.branch), nomeDoArquivo(s_.till),
                                      inicio.toString(QStringLiteral("yyyyMMdd")),
                                      fim.toString(QStringLiteral("yyyyMMdd"))),
                             s_.printer, this);
            janela.exec();
        });
    }

    void btnReimprimirClick() {
        executa([this](platform::TADOConnection& c) {
            const QDate hoje = platform::Hoje();
            const QList<ReceiptEntry> cupons = receiptsIssuedOn(c, s_.branch, s_.till, hoje);
            if (cupons.isEmpty()) {
                avisa(QStringLiteral("Nenhum cupom foi emitido hoje (%1) neste caixa.")
                          .arg(hoje.toString(kDia)));
                return;
            }
            const qint64 escolhido = escolheCupom(cupons);
            if (escolhido == 0) return;
            qint64 numero = 0;
            for (const ReceiptEntry& e : cupons)
                if (e.saleId == escolhido) numero = e.number;
            const QStringList guardado = storedReceipt(c, escolhido);
            c.setConnected(false);
            if (guardado.isEmpty())
                throw platform::Error(QStringLiteral("O cupom %1 não foi encontrado.")
                                          .arg(receiptNumberText(numero)));
            const QDateTime agora = platform::Agora();
            const QString onde =
                printReceipt(copyLines(guardado, agora),
                             arquivo(hoje, receiptNumberText(numero) + QStringLiteral("-2via-") +
                                               agora.toString(QStringLiteral("HHmmss"))),
                             s_.printer);
            qCInfo(platform::lcVenda).noquote()
                << QStringLiteral("Segunda via do cupom %1 do caixa %2, filial %3, impressa em %4")
                       .arg(receiptNumberText(numero), s_.till, s_.branch, onde);
            avisa(QStringLiteral("Segunda via do cupom %1 impressa em %2.")
                      .arg(receiptNumberText(numero), onde));
        });
    }

    QString cadeia() const {
        return s_.connectionString.isEmpty() ? platform::_GetStringConexZor(QString())
                                             : s_.connectionString;
    }
    QString copia_() const { return s_.copyPath.isEmpty() ? tillCopyPath() : s_.copyPath; }

    // Opens the database for one report and tells the operator whatever fails. When the server
    // cannot be reached, `semServidor` may answer instead (true when it did).
    template <typename F, typename G>
    void executa(F&& f, G&& semServidor) {
        if (!identificado()) return;
        platform::TADOConnection c;
        try {
            c.setReadOnly(false);
            c.setConnectionString(cadeia());
            c.setConnected(true);
            ensureSalesSchema(c);
            f(c);
        } catch (const platform::EAbort&) {
            throw;
        } catch (...) {
            std::exception_ptr e = std::current_exception();
            if (namesServer(cadeia()) && serverAway(e)) {
                try {
                    if (semServidor()) return;
                } catch (const platform::EAbort&) {
                    throw;
                } catch (...) {
                    e = std::current_exception();
                }
            }
            const QString erro = platform::ADOExceptionMessage(e, &c, QString());
            qCWarning(platform::lcVenda).noquote() << QStringLiteral("Menu fiscal: ") + erro;
            avisa(erro, 3);
        }
    }

    template <typename F>
    void executa(F&& f) {
        executa(std::forward<F>(f), [] { return false; });
    }

    bool identificado() const {
        if (!s_.branch.isEmpty() && !s_.till.isEmpty()) return true;
        avisa(
            QStringLiteral("O caixa não está identificado: falta o arquivo de parâmetros "
                           "PARAMETROSZOR.CDS, com filial e caixa, ao lado do programa."));
        return false;
    }

    QString arquivo(const QDate& dia, const QString& oque) const {
        return QStringLiteral("%1-%2-%3-%4")
            .arg(nomeDoArquivo(s_.branch), nomeDoArquivo(s_.till),
                 dia.toString(QStringLiteral("yyyyMMdd")), oque);
    }

    QDate escolheData(const QString& titulo, const QDate& proposta) {
        const detail::Paleta pal = detail::paletaPadrao();
        detail::CalendarDialog cal(platform::Hoje(), pal.faixa, pal.corpo, this);
        cal.setWindowTitle(titulo);
        cal.tituloLabel()->setText(titulo);
        cal.selecionaData(proposta);
        return cal.exec() == QDialog::Accepted ? cal.dataSelecionada() : QDate();
    }

    // The sale of the chosen receipt, or 0.
    qint64 escolheCupom(const QList<ReceiptEntry>& cupons) {
        using dataset::FieldDef;
        FieldDef id;
        id.name = QStringLiteral("NRSEQVENDA");
        id.type = dataset::FieldType::LargeInt;
        id.visible = false;
        dataset::FieldDefs campos{id,
                                  FieldDef::text(QStringLiteral("NRCUPOM"), 6),
                                  FieldDef::text(QStringLiteral("HRCUPOM"), 5),
                                  FieldDef::text(QStringLiteral("NMCONSUMIDOR"), 50),
                                  FieldDef::text(QStringLiteral("NMSERVICO"), 40),
                                  FieldDef::text(QStringLiteral("VRTOTAL"), 12)};
        const char* const rotulos[] = {"", "Cupom", "Hora", "Consumidor", "Serviço", "Valor"};
        for (int i = 1; i < campos.size(); ++i)
            campos[i].displayLabel = QString::fromUtf8(rotulos[i]);
        campos[1].displayWidth = 7;
        campos[2].displayWidth = 6;
        campos[3].displayWidth = 26;
        campos[4].displayWidth = 14;
        campos[5].displayWidth = 9;
        dataset::DataPacket::Builder b(campos);
        for (const ReceiptEntry& e : cupons) {
            b.appendRow();
            b.setInteger(0, e.saleId);
            b.setText(1, receiptNumberText(e.number));
            b.setText(2, e.issuedAt.toString(QStringLiteral("HH:mm")));
            b.setText(3, e.consumerName.isEmpty() ? e.consumer : e.consumerName);
            b.setText(4, e.serviceName);
            b.setText(5, moneyText(e.totalCents));
        }
        dataset::ClientDataSet ds;
        ds.setData(b.finish());
        const detail::Paleta pal = detail::paletaPadrao();
        detail::PickListDialog lista(
            ds, {pal.faixa, pal.corpo, QColor(0xFF, 0xB3, 0x47), pal.faixa}, false, this);
        lista.setWindowTitle(QStringLiteral("Reimprimir cupom"));
        lista.tituloLabel()->setText(QStringLiteral("Reimprimir cupom: número ou consumidor"));
        if (lista.exec() != QDialog::Accepted || lista.linhaEscolhida() < 0) return 0;
        ds.moveTo(lista.linhaEscolhida() + 1);
        return ds.fieldByName(QStringLiteral("NRSEQVENDA")).asInteger();
    }

    FiscalSettings s_;
    QList<QPushButton*> botoes_;
};

}  // namespace

FiscalSettings FiscalSettings::fromConfiguration() {
    FiscalSettings s;
    s.printer = ReceiptPrinterSettings::fromConfiguration();
    const QString dir =
        QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QDir::currentPath();
    const QString arquivo = parametrosDoCaixa(dir);
    if (arquivo.isEmpty()) return s;
    dataset::ClientDataSet cds;
    cds.loadFromFile(arquivo);
    if (!cds.active()) cds.open();
    if (cds.isEmpty()) return s;
    s.branch = cds.fieldByName(QStringLiteral("CDFILIAL")).asString().trimmed();
    s.till = cds.fieldByName(QStringLiteral("CDCAIXA")).asString().trimmed();
    return s;
}

void openFiscalMenu(const FiscalSettings& settings) {
    FiscalMenu menu(settings, QApplication::activeWindow());
    menu.exec();
}

namespace detail {

void relFiscaisPadrao() {
    FiscalSettings s;
    try {
        s = FiscalSettings::fromConfiguration();
    } catch (...) {
        avisa(platform::TextoDaExcecao(std::current_exception(),
                                       QStringLiteral("Arquivo de parâmetros ilegível.")),
              3);
        return;
    }
    openFiscalMenu(s);
}

}  // namespace detail

}  // namespace Hul00002
