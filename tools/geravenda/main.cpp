// geravenda ARQUIVO [--conexao CONEXAO]
// geravenda --sincroniza [--conexao CONEXAO]
// Makes the sales of a hand-over packet file (binary or XML client-dataset file with the fields
// of the attendance screen's hand-over) with the same generator as the screen, without it: to
// finish a hand-over that was interrupted, or to run one from a script. Consumers already
// served are reported as such and not sold again, so running a file twice is safe.
//
// For tests only: GERAVENDA_TESTE_PAUSA=K stops the run inside the transaction of the sale
// that follows the K-th one; K:gravada right after the K-th commit; K:verificada after the
// look for an earlier sale of the next consumer, before its transaction begins. The
// process then says "geravenda: pausa" on stderr and waits to be killed, or for a line on stdin
// to go on. With --sincroniza, K:enviada stops right after the server committed the K-th sale
// sent, before the copy learns it. GERAVENDA_TESTE_LARGADA=1 makes it say "geravenda: pronto" and
// wait for a line on stdin before the first sale, so that two runs can start together. A closed
// stdin ends the process at once.
#include <QApplication>
#include <QFileInfo>
#include <QStringList>

#include <cstdio>
#include <cstdlib>
#include <exception>

#include <hul00002/Hul00002.h>

#include "dataset/DataPacket.h"
#include "dataset/PacketFile.h"
#include "platform/Platform.h"
#include "platform/Registro.h"
#include "pos/sale/CatchUp.h"
#include "pos/sale/HandOver.h"
#include "pos/sale/PendingHandOvers.h"
#include "pos/sale/SaleGenerator.h"
#include "pos/sale/TillCopy.h"

namespace {

enum Saida {
    kTudoVendido = 0,     // every record sold or already served, every receipt printed
    kAlgoNaoVendido = 1,  // some record not sold
    kUsoErrado = 2,
    kNadaFeito = 3,      // unreadable file, packet refused, database out of reach (no copy, or
                         // offline sales forbidden)
    kCupomPendente = 4,  // all sold, but some receipt still to print
    kConflito = 5,       // --sincroniza: the outbox sent, but some sale the server refused
};

void escreve(std::FILE* f, const QString& s) {
    std::fputs(s.toLocal8Bit().constData(), f);
    std::fputc('\n', f);
    std::fflush(f);
}

// "A, B e C": the hand-over's fields as the help names them.
QString camposDaEntrega() {
    QStringList nomes;
    for (const dataset::FieldDef& f : Hul00002::handOverFieldDefs()) nomes << f.name;
    const QString ultimo = nomes.takeLast();
    return nomes.join(QStringLiteral(", ")) + QStringLiteral(" e ") + ultimo;
}

QByteArray ajuda() {
    return QStringLiteral(
               "uso: geravenda ARQUIVO [--conexao CONEXAO]\n"
               "     geravenda --pendentes [--conexao CONEXAO]\n"
               "     geravenda --sincroniza [--conexao CONEXAO]\n"
               "\n"
               "Gera uma venda com seu cupom para cada registro do pacote de entrega ARQUIVO\n"
               "(arquivo binário ou XML de client dataset com os campos %1),\n"
               "como o botão Gerar Vendas da Lista de Presença. Quem já foi atendido não é\n"
               "vendido de novo: rodar o mesmo arquivo outra vez completa uma geração "
               "interrompida.\n"
               "\n"
               "Antes das vendas, imprime (como originais) os cupons que gerações anteriores\n"
               "deixaram pendentes de impressão nos caixas do pacote.\n"
               "\n"
               "  --pendentes        completa as gerações que a Lista de Presença não terminou\n"
               "                     (as entregas guardadas em %2), da mais antiga\n"
               "                     à mais nova, e apaga cada uma que terminar bem\n"
               "  --sincroniza       envia ao servidor as vendas guardadas na cópia do caixa\n"
               "                     enquanto ele não respondia (%3), da mais\n"
               "                     antiga à mais nova: uma linha por venda (enviada, já\n"
               "                     estava no servidor, ou conflito e o motivo)\n"
               "  --conexao CONEXAO  cadeia de conexão do banco; sem ela, a do caixa\n"
               "                     (LISTAPRESENCA_CONEXAO, conexao.ini ou demo.db ao lado do "
               "programa)\n"
               "  --help             mostra este texto\n"
               "  --version          mostra a versão\n"
               "\n"
               "Cupons de serviços com impressão automática vão para a impressora de\n"
               "LISTAPRESENCA_IMPRESSORA ou da linha Impressora= de conexao.ini; sem impressora, "
               "para um\n"
               "PDF por cupom na pasta de LISTAPRESENCA_CUPONS ou na pasta cupons da pasta de\n"
               "estado do caixa (/var/lib/listapresenca no pacote; ao lado do programa fora da\n"
               "instalação; LISTAPRESENCA_ESTADO escolhe outra).\n"
               "\n"
               "Mostra uma linha por registro. Códigos de saída:\n"
               "  0  todos os registros vendidos ou já atendidos, e todos os cupons impressos\n"
               "  1  algum registro não vendido\n"
               "  2  uso incorreto\n"
               "  3  nada foi feito: arquivo ilegível, pacote recusado, banco inacessível sem\n"
               "     cópia do caixa que o substitua, ou caixa que não vende sem o servidor\n"
               "     (Offline=Nao)\n"
               "  4  tudo vendido, mas algum cupom ficou pendente de impressão (a próxima\n"
               "     geração o imprime)\n"
               "Com --sincroniza:\n"
               "  0  todas as vendas guardadas no caixa estão no servidor\n"
               "  1  o envio parou no meio (servidor fora); as restantes continuam no caixa\n"
               "  3  nada foi enviado: sem cópia do caixa, servidor inacessível ou outro envio\n"
               "     em andamento\n"
               "  5  tudo enviado, mas o servidor recusou alguma venda (conflito, guardado na\n"
               "     tabela CONFLITO da cópia)\n")
        .arg(camposDaEntrega(), Hul00002::pendingHandOverFolder(), Hul00002::tillCopyPath())
        .toLocal8Bit();
}

void esperaSinal(const QString& aviso) {
    escreve(stderr, aviso);
    char linha[16];
    if (!std::fgets(linha, sizeof linha, stdin)) std::_Exit(99);
}

// The test hooks: where to stop, and wait to be killed or told to go on.
std::function<void(Hul00002::SaleStep, int)> pausaDeTeste() {
    const QString v = qEnvironmentVariable("GERAVENDA_TESTE_PAUSA").trimmed();
    if (v.isEmpty()) return {};
    const QStringList partes = v.split(QLatin1Char(':'));
    const int k = partes.value(0).toInt();
    const QString ponto = partes.value(1);
    const Hul00002::SaleStep onde =
        ponto == QLatin1String("gravada")      ? Hul00002::SaleStep::Committed
        : ponto == QLatin1String("impresso")   ? Hul00002::SaleStep::Printed
        : ponto == QLatin1String("verificada") ? Hul00002::SaleStep::Checked
                                               : Hul00002::SaleStep::BeforeCommit;
    return [k, onde](Hul00002::SaleStep passo, int vendidas) {
        if (passo == onde && vendidas == k) esperaSinal(QStringLiteral("geravenda: pausa"));
    };
}

// The catch-up without the screen: one line per sale, a closing line.
int sincroniza(const QString& conexao) {
    try {
        Hul00002::CatchUpOptions op;
        op.line = [](const Hul00002::CatchUpLine& l) {
            escreve(stdout, Hul00002::catchUpLineText(l));
        };
        const QStringList pausa =
            qEnvironmentVariable("GERAVENDA_TESTE_PAUSA").split(QLatin1Char(':'));
        if (pausa.value(1) == QLatin1String("enviada")) {
            const int k = pausa.value(0).toInt();
            op.afterServerCommit = [k](int enviadas) {
                if (enviadas == k) esperaSinal(QStringLiteral("geravenda: pausa"));
            };
        }
        const QString cadeia =
            !conexao.isNull() ? conexao : platform::_GetStringConexZor(QString());
        if (!qEnvironmentVariableIsEmpty("GERAVENDA_TESTE_LARGADA"))
            esperaSinal(QStringLiteral("geravenda: pronto"));
        const Hul00002::CatchUpResult r =
            Hul00002::catchUp(cadeia, Hul00002::tillCopyPath(), {}, op);
        const int conflitos = r.count(Hul00002::CatchUpLine::Kind::Conflict);
        escreve(stdout,
                QStringLiteral("%1 vendas guardadas no caixa: %2 enviadas, %3 já estavam no "
                               "servidor, %4 em conflito, %5 ainda no caixa")
                    .arg(r.total)
                    .arg(r.count(Hul00002::CatchUpLine::Kind::Sent))
                    .arg(r.count(Hul00002::CatchUpLine::Kind::AlreadyThere))
                    .arg(conflitos)
                    .arg(r.total - r.lines.size()));
        if (!r.complete()) {
            escreve(stderr, QStringLiteral("geravenda: ") + r.failure);
            return kAlgoNaoVendido;
        }
        return conflitos > 0 ? kConflito : kTudoVendido;
    } catch (...) {
        escreve(stderr,
                QStringLiteral("geravenda: ") +
                    platform::ADOExceptionMessage(std::current_exception(), nullptr, QString()));
        return kNadaFeito;
    }
}

}  // namespace

// One hand-over file; a saved one (`guardada`) is removed once its run ended well.
int gera(const QString& arquivo, const QString& conexao, bool guardada) {
    try {
        const dataset::DataPacket pacote = dataset::readPacketFile(arquivo);
        Hul00002::SaleGeneratorOptions op;
        op.connectionString = !conexao.isNull() ? conexao : platform::_GetStringConexZor(QString());
        op.printer = Hul00002::ReceiptPrinterSettings::fromConfiguration();
        op.hook = pausaDeTeste();
        if (!qEnvironmentVariableIsEmpty("GERAVENDA_TESTE_LARGADA"))
            esperaSinal(QStringLiteral("geravenda: pronto"));
        const Hul00002::SaleRun run =
            Hul00002::runSaleGeneration(dataset::toVariant(pacote), std::move(op));
        for (const Hul00002::ReprintedReceipt& r : run.reprinted)
            escreve(stdout, Hul00002::reprintedText(r));
        for (const Hul00002::SaleOutcome& o : run.outcomes)
            escreve(stdout, Hul00002::outcomeText(o));
        escreve(stdout,
                QStringLiteral("%1 registros: %2 vendidos, %3 já atendidos, %4 não vendidos")
                    .arg(run.outcomes.size())
                    .arg(run.count(Hul00002::SaleStatus::Sold))
                    .arg(run.count(Hul00002::SaleStatus::AlreadyServed))
                    .arg(run.count(Hul00002::SaleStatus::NotSold)));
        if (guardada && !run.interrupted && !run.receiptsPending())
            Hul00002::removePendingHandOver(arquivo);
        if (run.refused) return kNadaFeito;  // the server away, and no sale without it
        if (!run.allSold()) return kAlgoNaoVendido;
        return run.receiptsPending() ? kCupomPendente : kTudoVendido;
    } catch (...) {
        escreve(stderr,
                QStringLiteral("geravenda: ") +
                    platform::ADOExceptionMessage(std::current_exception(), nullptr, QString()));
        return kNadaFeito;
    }
}

int main(int argc, char** argv) {
    // Receipts are laid out with fonts even when they only go to a PDF: no display needed.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("geravenda"));

    platform::IniciaRegistro();
    QString arquivo, conexao;
    bool temConexao = false, pendentes = false, sincronizar = false;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        const QString& a = args.at(i);
        if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            std::fputs(ajuda().constData(), stdout);
            return kTudoVendido;
        }
        if (a == QLatin1String("--version")) {
            std::printf("geravenda %s\n", LISTAPRESENCA_VERSAO);
            return kTudoVendido;
        }
        if (a == QLatin1String("--conexao")) {
            if (i + 1 >= args.size()) {
                escreve(stderr, QStringLiteral("geravenda: falta o valor de --conexao"));
                return kUsoErrado;
            }
            conexao = args.at(++i);
            temConexao = true;
        } else if (a == QLatin1String("--pendentes")) {
            pendentes = true;
        } else if (a == QLatin1String("--sincroniza")) {
            sincronizar = true;
        } else if (a.startsWith(QLatin1String("-")) || !arquivo.isEmpty()) {
            escreve(stderr, QStringLiteral("geravenda: argumento inesperado: %1").arg(a));
            std::fputs(ajuda().constData(), stderr);
            return kUsoErrado;
        } else {
            arquivo = a;
        }
    }
    if (int(!arquivo.isEmpty()) + int(pendentes) + int(sincronizar) != 1) {
        std::fputs(ajuda().constData(), stderr);
        return kUsoErrado;
    }

    // No dialogs here: whatever the generator tells the operator goes to stderr.
    platform::SetMensagemPresenter([](const platform::MensagemArgs& m) {
        escreve(stderr, QStringLiteral("geravenda: ") + m.texto);
        return false;
    });

    const QString cadeia = temConexao ? conexao : QString();
    if (sincronizar) return sincroniza(cadeia);
    if (!pendentes) return gera(arquivo, cadeia, false);
    const QStringList arquivos = Hul00002::pendingHandOvers();
    if (arquivos.isEmpty()) escreve(stdout, QStringLiteral("Nenhuma entrega pendente."));
    int pior = kTudoVendido;
    for (const QString& f : arquivos) {
        escreve(stdout, QStringLiteral("Entrega %1:").arg(f));
        const int r = gera(f, cadeia, true);
        // The worst outcome decides: nothing done, then not sold, then receipts pending.
        const auto peso = [](int c) {
            return c == kNadaFeito ? 3 : c == kAlgoNaoVendido ? 2 : c == kCupomPendente ? 1 : 0;
        };
        if (peso(r) > peso(pior)) pior = r;
    }
    return pior;
}
