#include "pos/sale/SaleReport.h"

#include <QStringList>

#include "pos/sale/Receipt.h"
#include "pos/sale/TillCopy.h"

namespace Hul00002 {

namespace {

QString statusName(SaleStatus s) {
    switch (s) {
        case SaleStatus::Sold:
            return QStringLiteral("sold");
        case SaleStatus::AlreadyServed:
            return QStringLiteral("alreadyServed");
        case SaleStatus::NotSold:
            break;
    }
    return QStringLiteral("notSold");
}

QString quem(const SaleOutcome& o) {
    const QString nome = o.consumerName.isEmpty() ? QStringLiteral("(sem nome)") : o.consumerName;
    return QStringLiteral("%1 (%2)").arg(nome, o.badge.isEmpty() ? o.consumer : o.badge);
}

}  // namespace

int SaleRun::count(SaleStatus s) const {
    int n = 0;
    for (const SaleOutcome& o : outcomes) n += o.status == s ? 1 : 0;
    return n;
}

qint64 SaleRun::soldCents() const {
    qint64 t = 0;
    for (const SaleOutcome& o : outcomes) t += o.status == SaleStatus::Sold ? o.totalCents : 0;
    return t;
}

bool SaleRun::allSold() const {
    for (const SaleOutcome& o : outcomes)
        if (o.status == SaleStatus::NotSold) return false;
    return true;
}

bool SaleRun::receiptsPending() const {
    for (const SaleOutcome& o : outcomes)
        if (!o.printError.isEmpty()) return true;
    for (const ReprintedReceipt& r : reprinted)
        if (!r.printError.isEmpty()) return true;
    return false;
}

QVariant toVariant(const SaleRun& run) {
    QVariantList lista;
    for (const SaleOutcome& o : run.outcomes)
        lista << QVariantMap{{QStringLiteral("record"), o.record},
                             {QStringLiteral("branch"), o.branch},
                             {QStringLiteral("till"), o.till},
                             {QStringLiteral("consumer"), o.consumer},
                             {QStringLiteral("name"), o.consumerName},
                             {QStringLiteral("badge"), o.badge},
                             {QStringLiteral("status"), statusName(o.status)},
                             {QStringLiteral("service"), o.service},
                             {QStringLiteral("sale"), o.saleId},
                             {QStringLiteral("saleNumber"), o.saleNumber},
                             {QStringLiteral("receipt"), o.receiptNumber},
                             {QStringLiteral("total"), o.totalCents},
                             {QStringLiteral("reason"), o.reason},
                             {QStringLiteral("printedTo"), o.printedTo},
                             {QStringLiteral("printError"), o.printError}};
    QVariantList reimpressos;
    for (const ReprintedReceipt& r : run.reprinted)
        reimpressos << QVariantMap{{QStringLiteral("branch"), r.branch},
                                   {QStringLiteral("till"), r.till},
                                   {QStringLiteral("consumer"), r.consumer},
                                   {QStringLiteral("name"), r.consumerName},
                                   {QStringLiteral("receipt"), r.receiptNumber},
                                   {QStringLiteral("printedTo"), r.printedTo},
                                   {QStringLiteral("printError"), r.printError}};
    return QVariantMap{{QStringLiteral("sold"), run.count(SaleStatus::Sold)},
                       {QStringLiteral("reprinted"), reimpressos},
                       {QStringLiteral("interrupted"), run.interrupted},
                       {QStringLiteral("refused"), run.refused},
                       {QStringLiteral("offline"), run.offline},
                       {QStringLiteral("alreadyServed"), run.count(SaleStatus::AlreadyServed)},
                       {QStringLiteral("notSold"), run.count(SaleStatus::NotSold)},
                       {QStringLiteral("outcomes"), lista}};
}

QString outcomeText(const SaleOutcome& o) {
    const QString numeros = o.saleId == 0
                                ? QString()
                                : QStringLiteral(" - venda %1, cupom %2")
                                      .arg(o.saleNumber)
                                      .arg(o.receiptNumber ? receiptNumberText(o.receiptNumber)
                                                           : QStringLiteral("sem número"));
    switch (o.status) {
        case SaleStatus::Sold: {
            QString t = quem(o) + QStringLiteral(": vendido") + numeros;
            if (o.saleId >= kOutboxFirstSale)
                t += QStringLiteral(" (guardada no caixa, a enviar ao servidor)");
            if (!o.printError.isEmpty())
                t += QStringLiteral("; cupom não impresso: ") + o.printError;
            else if (!o.printedTo.isEmpty())
                t += QStringLiteral("; cupom impresso em ") + o.printedTo;
            return t;
        }
        case SaleStatus::AlreadyServed:
            return quem(o) + QStringLiteral(": já atendido") + numeros;
        case SaleStatus::NotSold:
            break;
    }
    return quem(o) + QStringLiteral(": não vendido - ") + o.reason;
}

QString reprintedText(const ReprintedReceipt& r) {
    const QString who =
        QStringLiteral("%1 (%2), cupom %3")
            .arg(r.consumerName.isEmpty() ? QStringLiteral("(sem nome)") : r.consumerName,
                 r.consumer, receiptNumberText(r.receiptNumber));
    return r.printError.isEmpty()
               ? who + QStringLiteral(": cupom pendente impresso em ") + r.printedTo
               : who + QStringLiteral(": cupom pendente ainda não impresso - ") + r.printError;
}

QString notSoldNotice(const SaleRun& run) {
    QStringList naoVendidos, naoImpressos, pendentes;
    for (const ReprintedReceipt& r : run.reprinted)
        pendentes << QStringLiteral("- ") + reprintedText(r);
    for (const SaleOutcome& o : run.outcomes) {
        if (o.status == SaleStatus::NotSold)
            naoVendidos << QStringLiteral("- %1: %2").arg(quem(o), o.reason);
        else if (o.status == SaleStatus::AlreadyServed)
            naoVendidos << QStringLiteral("- %1: já atendido").arg(quem(o));
        else if (!o.printError.isEmpty())
            naoImpressos << QStringLiteral("- %1, cupom %2: %3")
                                .arg(quem(o), receiptNumberText(o.receiptNumber), o.printError);
    }
    QStringList partes;
    if (naoVendidos.isEmpty() && naoImpressos.isEmpty() && pendentes.isEmpty()) return QString();
    const int vendidas = run.count(SaleStatus::Sold);
    partes << (vendidas == 1 ? QStringLiteral("1 venda gravada, total R$ %1.")
                             : QStringLiteral("%1 vendas gravadas, total R$ %2.").arg(vendidas))
                  .arg(moneyText(run.soldCents()))
           << QString();
    if (!naoVendidos.isEmpty())
        partes << (naoVendidos.size() == 1
                       ? QStringLiteral("Não foi gerada a venda de 1 consumidor:")
                       : QStringLiteral("Não foram geradas as vendas de %1 consumidores:")
                             .arg(naoVendidos.size()))
               << naoVendidos;
    if (!naoImpressos.isEmpty()) {
        if (!partes.isEmpty()) partes << QString();
        partes << QStringLiteral("Vendas gravadas cujo cupom não foi impresso:") << naoImpressos;
    }
    if (!pendentes.isEmpty()) {
        if (!partes.isEmpty()) partes << QString();
        partes << QStringLiteral("Cupons de vendas anteriores que estavam pendentes de impressão:")
               << pendentes;
    }
    return partes.join(QLatin1Char('\n'));
}

}  // namespace Hul00002
