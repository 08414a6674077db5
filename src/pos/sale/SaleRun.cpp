// The run as GeraCupomVenda makes it on the till: input blocked, progress on the waiting
// window, the hand-over kept until the run ends well, and one notice for the operator.

#include "pos/sale/SaleGenerator.h"

#include "platform/Platform.h"
#include "platform/Registro.h"
#include "pos/sale/HandOver.h"
#include "pos/sale/OfflineSales.h"
#include "pos/sale/PendingHandOvers.h"
#include "pos/sale/Receipt.h"
#include "pos/sale/TillCopy.h"
#include "pos/sale/TillCopyRefresh.h"
#include "pos/touch/InputBlocker.h"
#include "pos/touch/WaitingWindow.h"

namespace Hul00002 {

SaleRun runSaleGeneration(const QVariant& pacote, SaleGeneratorOptions opcoes) {
    auto progresso = std::move(opcoes.progress);
    opcoes.progress = [&progresso](int feitas, int total) {
        detail::showProgress(feitas, total);
        if (progresso) progresso(feitas, total);
    };
    SaleRun run;
    {
        detail::InputBlocker bloqueio;
        run = generateSalesOrKeep(pacote, opcoes);
    }
    // Support reads here what became of each consumer handed over.
    for (const SaleOutcome& o : run.outcomes) qCInfo(platform::lcVenda).noquote() << outcomeText(o);
    qCInfo(platform::lcVenda).noquote()
        << QStringLiteral("Geração terminada: %1 vendas, total R$ %2")
               .arg(run.count(SaleStatus::Sold))
               .arg(moneyText(run.soldCents()));
    const QString aviso = run.refused ? offlineSalesRefusedText() : notSoldNotice(run);
    if (!aviso.isEmpty()) {
        // The operator reads the notice, not the waiting window over it.
        try {
            DesativaProcesso();
        } catch (...) {
            detail::desativaProcessoPadrao();
        }
        platform::Mensagem(aviso, QString(), QStringLiteral("N"), QStringLiteral("N"), 2, QString(),
                           QString(), 0, nullptr);
    }
    return run;
}

namespace detail {

void geraCupomVendaPadrao(const QVariant& pacote, int, const QVariantList&, QVariant& resultado) {
    SaleGeneratorOptions op;
    op.connectionString = platform::_GetStringConexZor(QString());
    op.printer = ReceiptPrinterSettings::fromConfiguration();
    // Kept until the run ends well, for geravenda to finish what a stopped host did not; a
    // packet that is no hand-over is refused before anything is kept.
    const HandOver entrega = HandOver::read(pacote);
    const QString guardada = savePendingHandOver(pacote);
    const QString servidor = op.connectionString;
    const SaleRun run = runSaleGeneration(pacote, std::move(op));
    // The kept sales go to the server and the copy learns this run, off the operator's thread;
    // after a run on the copy that is also the try at a server come back.
    // A till on a SQLite file has no copy: it is always online.
    if (!run.refused && entrega.rowCount() > 0 && namesServer(servidor))
        startTillSync(servidor, entrega.text(0, HandOverField::Branch),
                      entrega.text(0, HandOverField::Till));
    // A run refused for want of the server changed nothing: the screen keeps its marks.
    if (run.refused || (!run.interrupted && !run.receiptsPending()))
        removePendingHandOver(guardada);
    resultado = toVariant(run);
}

}  // namespace detail

}  // namespace Hul00002
