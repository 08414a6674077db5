#include "pos/sale/SaleReport.h"

#include <QStringList>

#include "pos/sale/Receipt.h"

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

bool SaleRun::allFine() const {
    for (const SaleOutcome& o : outcomes)
        if (o.status == SaleStatus::NotSold || !o.printError.isEmpty()) return false;
    return true;
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
                             {QStringLiteral("reason"), o.reason},
                             {QStringLiteral("printedTo"), o.printedTo},
                             {QStringLiteral("printError"), o.printError}};
    return QVariantMap{{QStringLiteral("sold"), run.count(SaleStatus::Sold)},
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

QString notSoldNotice(const SaleRun& run) {
    QStringList naoVendidos, naoImpressos;
    for (const SaleOutcome& o : run.outcomes) {
        if (o.status == SaleStatus::NotSold)
            naoVendidos << QStringLiteral("- %1: %2").arg(quem(o), o.reason);
        else if (!o.printError.isEmpty())
            naoImpressos << QStringLiteral("- %1, cupom %2: %3")
                                .arg(quem(o), receiptNumberText(o.receiptNumber), o.printError);
    }
    QStringList partes;
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
    return partes.join(QLatin1Char('\n'));
}

}  // namespace Hul00002
