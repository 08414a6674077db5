#include "pos/sale/Receipt.h"

#include <QLocale>

#include "pos/sale/ReceiptLayout.h"

namespace Hul00002 {

using namespace layout;

QString moneyText(qint64 cents) {
    static const QLocale br(QLocale::Portuguese, QLocale::Brazil);
    const QString sign = cents < 0 ? QStringLiteral("-") : QString();
    const qint64 a = cents < 0 ? -cents : cents;
    return sign + br.toString(a / 100) + QLatin1Char(',') +
           QStringLiteral("%1").arg(a % 100, 2, 10, QLatin1Char('0'));
}

QString receiptNumberText(qint64 number) {
    return QStringLiteral("%1").arg(number, 6, 10, QLatin1Char('0'));
}

QStringList receiptLines(const ReceiptData& r) {
    const QString fmtDia = QStringLiteral("dd/MM/yyyy HH:mm");
    QStringList out;
    out << centred(r.branchName.trimmed().isEmpty() ? QStringLiteral("Filial %1").arg(r.branch)
                                                    : r.branchName.toUpper());
    out << centred(QStringLiteral("Filial %1 - Caixa %2 %3").arg(r.branch, r.till, r.tillName));
    out << rule(QLatin1Char('='));
    out << sides(QStringLiteral("CUPOM DE VENDA"),
                 QStringLiteral("Nº %1").arg(receiptNumberText(r.receiptNumber)));
    out << sides(QStringLiteral("Data: %1").arg(r.consumedAt.toString(fmtDia)),
                 QStringLiteral("Venda: %1").arg(r.saleNumber));
    out << rule(QLatin1Char('-'));
    wrapped(out, QStringLiteral("Consumidor: %1").arg(r.consumerName.trimmed()));
    out << sides(QStringLiteral("Crachá: %1").arg(r.badge.trimmed()),
                 QStringLiteral("Cód.: %1").arg(r.consumer.trimmed()));
    wrapped(out, QStringLiteral("Serviço: %1 - %2").arg(r.service, r.serviceName.trimmed()));
    out << rule(QLatin1Char('-'));
    // item (4) + description (27) + quantity (3) + amount (12), blanks between
    out << QStringLiteral("#   ") + fit(QStringLiteral("DESCRIÇÃO"), 27) + QStringLiteral(" QTD ") +
               QStringLiteral("VALOR").rightJustified(12);
    int n = 0;
    for (const ReceiptItem& it : r.items) {
        const QString nome = it.name.trimmed().isEmpty() ? it.product : it.name.trimmed();
        out << QStringLiteral("%1 ").arg(++n, 3, 10, QLatin1Char('0')) + fit(nome, 27) +
                   QLatin1Char(' ') + QStringLiteral("%1").arg(it.quantity, 3) + QLatin1Char(' ') +
                   moneyText(it.totalCents).rightJustified(12);
        if (it.quantity != 1)
            out << QStringLiteral("    %1 x %2").arg(it.quantity).arg(moneyText(it.unitCents));
    }
    out << rule(QLatin1Char('-'));
    out << sides(QStringLiteral("TOTAL R$"), moneyText(r.totalCents));
    out << rule(QLatin1Char('='));
    out << centred(QStringLiteral("Emitido em %1")
                       .arg(r.issuedAt.toString(QStringLiteral("dd/MM/yyyy HH:mm:ss"))));
    return out;
}

QString receiptText(const ReceiptData& r) {
    return receiptLines(r).join(QLatin1Char('\n'));
}

}  // namespace Hul00002
