#include "pos/fiscal/FiscalText.h"

#include "pos/sale/Receipt.h"
#include "pos/sale/ReceiptLayout.h"

namespace Hul00002 {

using namespace layout;

namespace {

const QString kDia = QStringLiteral("dd/MM/yyyy");
const QString kDiaHora = QStringLiteral("dd/MM/yyyy HH:mm:ss");

void cabecalho(QStringList& out, const TillHeader& h, const QString& titulo) {
    out << centred(h.branchName.trimmed().isEmpty() ? QStringLiteral("Filial %1").arg(h.branch)
                                                    : h.branchName.toUpper());
    out << centred(QStringLiteral("Filial %1 - Caixa %2 %3").arg(h.branch, h.till, h.tillName));
    out << rule(QLatin1Char('='));
    out << centred(titulo);
}

QString faixaDeCupons(qint64 primeiro, qint64 ultimo) {
    if (primeiro == 0) return QStringLiteral("nenhum");
    return QStringLiteral("%1 a %2").arg(receiptNumberText(primeiro), receiptNumberText(ultimo));
}

// service (30) + quantity (5) + amount (11), blanks between
QString linhaDeServico(const QString& nome, const QString& qtd, const QString& valor) {
    return fit(nome, 30) + QLatin1Char(' ') + qtd.rightJustified(5) + QLatin1Char(' ') +
           valor.rightJustified(11);
}

// number (6), day (10), quantity (6), amount (the rest), two blanks between
QString linhaDeFechamento(const QString& n, const QString& dia, const QString& qtd,
                          const QString& valor) {
    return fit(n, 6) + QStringLiteral("  ") + fit(dia, 10) + QStringLiteral("  ") +
           qtd.rightJustified(6) + QStringLiteral("  ") + valor.rightJustified(W - 28);
}

void corpo(QStringList& out, const DayReading& r) {
    out << sides(QStringLiteral("Movimento do dia"), r.day.toString(kDia));
    out << rule(QLatin1Char('-'));
    out << linhaDeServico(QStringLiteral("SERVIÇO"), QStringLiteral("QTD"),
                          QStringLiteral("VALOR"));
    if (r.services.isEmpty()) out << QStringLiteral("Nenhuma venda no dia.");
    for (const ServiceTotal& s : r.services) {
        const QString nome = s.serviceName.trimmed().isEmpty()
                                 ? s.service
                                 : QStringLiteral("%1 %2").arg(s.service, s.serviceName.trimmed());
        out << linhaDeServico(nome, QString::number(s.sales), moneyText(s.totalCents));
    }
    out << rule(QLatin1Char('-'));
    out << sides(QStringLiteral("Vendas"), QString::number(r.sales));
    out << sides(QStringLiteral("Cupons"), faixaDeCupons(r.firstReceipt, r.lastReceipt));
    out << sides(QStringLiteral("TOTAL GERAL R$"), moneyText(r.totalCents));
    out << rule(QLatin1Char('='));
}

}  // namespace

QStringList readingLines(const DayReading& r) {
    QStringList out;
    cabecalho(out, r.header, QStringLiteral("LEITURA X"));
    corpo(out, r);
    out << centred(QStringLiteral("Dia não fechado"));
    out << centred(QStringLiteral("Emitida em %1").arg(r.readAt.toString(kDiaHora)));
    return out;
}

QStringList closingLines(const DayReading& r, qint64 number, const QDateTime& closedAt) {
    QStringList out;
    cabecalho(out, r.header, QStringLiteral("REDUÇÃO Z"));
    out << sides(QStringLiteral("Fechamento"),
                 QStringLiteral("Nº %1").arg(number, 6, 10, QLatin1Char('0')));
    corpo(out, r);
    out << centred(QStringLiteral("Dia fechado em %1").arg(closedAt.toString(kDiaHora)));
    return out;
}

QStringList periodLines(const FiscalPeriod& p) {
    QStringList out;
    cabecalho(out, p.header, QStringLiteral("LEITURA DA MEMÓRIA FISCAL"));
    out << sides(QStringLiteral("Período"),
                 QStringLiteral("%1 a %2").arg(p.from.toString(kDia), p.to.toString(kDia)));
    out << rule(QLatin1Char('-'));
    out << linhaDeFechamento(QStringLiteral("Z Nº"), QStringLiteral("DIA"), QStringLiteral("QTD"),
                             QStringLiteral("VALOR"));
    int vendas = 0;
    qint64 total = 0;
    for (const Closing& z : p.closings) {
        out << linhaDeFechamento(QStringLiteral("%1").arg(z.number, 6, 10, QLatin1Char('0')),
                                 z.day.toString(kDia), QString::number(z.sales),
                                 moneyText(z.totalCents));
        out << QStringLiteral("        cupons ") + faixaDeCupons(z.firstReceipt, z.lastReceipt);
        vendas += z.sales;
        total += z.totalCents;
    }
    if (p.closings.isEmpty()) out << QStringLiteral("Nenhuma Redução Z no período.");
    out << rule(QLatin1Char('-'));
    out << sides(QStringLiteral("Reduções Z"), QString::number(p.closings.size()));
    out << sides(QStringLiteral("Vendas"), QString::number(vendas));
    out << sides(QStringLiteral("TOTAL DO PERÍODO R$"), moneyText(total));
    out << rule(QLatin1Char('='));
    out << centred(QStringLiteral("Emitida em %1").arg(p.readAt.toString(kDiaHora)));
    return out;
}

QStringList copyLines(const QStringList& stored, const QDateTime& printedAt) {
    QStringList out;
    out << centred(QStringLiteral("*** SEGUNDA VIA ***"));
    out << stored;
    out << centred(
        QStringLiteral("SEGUNDA VIA - reimpressa em %1").arg(printedAt.toString(kDiaHora)));
    return out;
}

}  // namespace Hul00002
