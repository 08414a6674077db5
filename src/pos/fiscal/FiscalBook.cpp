#include "pos/fiscal/FiscalBook.h"

#include "platform/Platform.h"
#include "platform/TADOConnection.h"
#include "platform/Transacao.h"
#include "pos/fiscal/FiscalText.h"
#include "pos/sale/CatchUp.h"
#include "pos/sale/OfflineSales.h"
#include "pos/sale/SaleStore.h"
#include "pos/sale/Statement.h"

namespace Hul00002 {

namespace {

// clang-format off

// Cents are summed as integers: money never goes through binary fractions.
const char* const kLeituraSqlite =
    "SELECT V.CDSERVFILI, MAX(S.NMSERVICO), COUNT(*),"
    " SUM(CAST(ROUND(V.VRVENDA * 100) AS INTEGER)), MIN(C.NRCUPOM), MAX(C.NRCUPOM)"
    " FROM VENDA V LEFT JOIN SERVICO S ON S.CDSERVFILI = V.CDSERVFILI"
    " LEFT JOIN CUPOMVENDA C ON C.NRSEQVENDA = V.NRSEQVENDA"
    " WHERE V.CDFILIAL = ? AND V.CDCAIXA = ? AND V.IDSITUVENDA = 'O'"
    " AND V.DTHRREALCONCONS >= ? AND V.DTHRREALCONCONS < ?"
    " GROUP BY V.CDSERVFILI ORDER BY V.CDSERVFILI";
const char* const kLeituraServidor =
    "SELECT V.CDSERVFILI, MAX(S.NMSERVICO), COUNT(*),"
    " SUM(CAST(ROUND(V.VRVENDA * 100, 0) AS BIGINT)), MIN(C.NRCUPOM), MAX(C.NRCUPOM)"
    " FROM VENDA V LEFT JOIN SERVICO S ON S.CDSERVFILI = V.CDSERVFILI"
    " LEFT JOIN CUPOMVENDA C ON C.NRSEQVENDA = V.NRSEQVENDA"
    " WHERE V.CDFILIAL = ? AND V.CDCAIXA = ? AND V.IDSITUVENDA = 'O'"
    " AND V.DTHRREALCONCONS >= ? AND V.DTHRREALCONCONS < ?"
    " GROUP BY V.CDSERVFILI ORDER BY V.CDSERVFILI";

const char* const kNomes =
    "SELECT (SELECT NMFILIAL FROM FILIAL WHERE CDFILIAL = ?),"
    " (SELECT NMCAIXA FROM CAIXA WHERE CDFILIAL = ? AND CDCAIXA = ?)";

#define FECHACAIXA_COLUNAS \
    "SELECT CDFILIAL, CDCAIXA, NRFECHAMENTO, DTMOVIMENTO, DTHRFECHAMENTO, QTVENDAS, VRTOTAL," \
    " NRCUPOMINI, NRCUPOMFIM, TXFECHAMENTO FROM FECHACAIXA"

const char* const kFechamentoDoDia =
    FECHACAIXA_COLUNAS " WHERE CDFILIAL = ? AND CDCAIXA = ? AND DTMOVIMENTO = ?";
// On SQL Server the closing holds the till's day (and its numbering) until it commits; a sale
// looks at the day under the same lock, so none commits between the reading and the closing.
const char* const kFechamentoDoDiaServidor =
    FECHACAIXA_COLUNAS " WITH (UPDLOCK, HOLDLOCK)"
    " WHERE CDFILIAL = ? AND CDCAIXA = ? AND DTMOVIMENTO = ?";
const char* const kProximoNumero =
    "SELECT COALESCE(MAX(NRFECHAMENTO), 0) + 1 FROM FECHACAIXA"
    " WHERE CDFILIAL = ? AND CDCAIXA = ?";
const char* const kProximoNumeroServidor =
    "SELECT COALESCE(MAX(NRFECHAMENTO), 0) + 1 FROM FECHACAIXA WITH (UPDLOCK, HOLDLOCK)"
    " WHERE CDFILIAL = ? AND CDCAIXA = ?";
const char* const kGravaFechamento =
    "INSERT INTO FECHACAIXA (CDFILIAL, CDCAIXA, NRFECHAMENTO, DTMOVIMENTO, DTHRFECHAMENTO,"
    " QTVENDAS, VRTOTAL, NRCUPOMINI, NRCUPOMFIM, TXFECHAMENTO)"
    " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)";
const char* const kPeriodo =
    FECHACAIXA_COLUNAS " WHERE CDFILIAL = ? AND CDCAIXA = ?"
    " AND DTMOVIMENTO >= ? AND DTMOVIMENTO <= ? ORDER BY DTMOVIMENTO";

const char* const kCuponsDoDia =
    "SELECT C.NRSEQVENDA, C.NRCUPOM, C.DTEMISCUPOM, V.CDCONSUMIDOR, CO.NMCONSUMIDOR,"
    " S.NMSERVICO, V.VRVENDA"
    " FROM CUPOMVENDA C JOIN VENDA V ON V.NRSEQVENDA = C.NRSEQVENDA"
    " LEFT JOIN CONSUMIDOR CO ON CO.CDCONSUMIDOR = V.CDCONSUMIDOR"
    " LEFT JOIN SERVICO S ON S.CDSERVFILI = V.CDSERVFILI"
    " WHERE C.CDFILIAL = ? AND C.CDCAIXA = ? AND V.IDSITUVENDA = 'O'"
    " AND C.DTEMISCUPOM >= ? AND C.DTEMISCUPOM < ?"
    " ORDER BY C.NRCUPOM DESC";
const char* const kCupom = "SELECT TXCUPOM FROM CUPOMVENDA WHERE NRSEQVENDA = ?";

#undef FECHACAIXA_COLUNAS

// clang-format on

const QString kDia = QStringLiteral("dd/MM/yyyy");

// One statement in the connection's dialect, run with bound values only.
QString dialectText(const platform::TADOConnection& c, const char* sqlite, const char* server) {
    return QString::fromUtf8(c.isSqlServer() && server ? server : sqlite);
}

// SQLite keeps dates as text that sorts as time.
QVariant dataHora(const platform::TADOConnection& c, const QDateTime& d) {
    return c.isSqlServer() ? QVariant(d)
                           : QVariant(d.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
}
QVariant dia(const platform::TADOConnection& c, const QDate& d) {
    return c.isSqlServer() ? QVariant(d) : QVariant(d.toString(QStringLiteral("yyyy-MM-dd")));
}
QDateTime leDataHora(const QVariant& v) {
    if (v.metaType().id() == QMetaType::QDateTime) return v.toDateTime();
    QString t = v.toString().trimmed();
    t.replace(QLatin1Char('T'), QLatin1Char(' '));
    return QDateTime::fromString(t.left(19), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}
QDate leDia(const QVariant& v) {
    if (v.metaType().id() == QMetaType::QDate) return v.toDate();
    if (v.metaType().id() == QMetaType::QDateTime) return v.toDateTime().date();
    return QDate::fromString(v.toString().trimmed().left(10), QStringLiteral("yyyy-MM-dd"));
}
qint64 centavos(const QVariant& v) {
    return qRound64(v.toDouble() * 100.0);
}

TillHeader leCabecalho(platform::TADOConnection& c, const QString& filial, const QString& caixa) {
    TillHeader h{filial, QString(), caixa, QString()};
    Statement nomes(c, QString::fromUtf8(kNomes));
    Statement& q = nomes.run({filial, filial, caixa});
    if (q.next()) {
        h.branchName = q.value(0).toString().trimmed();
        h.tillName = q.value(1).toString().trimmed();
    }
    return h;
}

Closing leFechamento(const Statement& q) {
    Closing z;
    z.branch = q.value(0).toString().trimmed();
    z.till = q.value(1).toString().trimmed();
    z.number = q.value(2).toLongLong();
    z.day = leDia(q.value(3));
    z.closedAt = leDataHora(q.value(4));
    z.sales = q.value(5).toInt();
    z.totalCents = centavos(q.value(6));
    z.firstReceipt = q.value(7).toLongLong();
    z.lastReceipt = q.value(8).toLongLong();
    z.lines = q.value(9).toString().split(QLatin1Char('\n'));
    return z;
}

Closing fechamentoDoDia(platform::TADOConnection& c, const QString& filial, const QString& caixa,
                        const QDate& d, bool trava) {
    Statement consulta(
        c, dialectText(c, kFechamentoDoDia, trava ? kFechamentoDoDiaServidor : nullptr));
    Statement& q = consulta.run({filial, caixa, dia(c, d)});
    return q.next() ? leFechamento(q) : Closing{};
}

[[noreturn]] void jaFechado(const Closing& z) {
    throw platform::Error(
        QStringLiteral("A Redução Z do dia %1 já foi feita (fechamento nº %2, em %3). O dia não "
                       "pode ser fechado de novo.")
            .arg(z.day.toString(kDia))
            .arg(z.number)
            .arg(z.closedAt.toString(QStringLiteral("dd/MM/yyyy HH:mm"))));
}

}  // namespace

DayReading readDay(platform::TADOConnection& c, const QString& branch, const QString& till,
                   const QDate& day) {
    DayReading r;
    r.header = leCabecalho(c, branch, till);
    r.day = day;
    r.readAt = platform::Agora();
    // The consumption day is a range of the sale's date-time, so that sales recorded before the
    // day had a column of its own count as well.
    const QDateTime inicio(day, QTime(0, 0));
    Statement leitura(c, dialectText(c, kLeituraSqlite, kLeituraServidor));
    Statement& q = leitura.run({branch, till, dataHora(c, inicio), dataHora(c, inicio.addDays(1))});
    while (q.next()) {
        ServiceTotal s;
        s.service = q.value(0).toString().trimmed();
        s.serviceName = q.value(1).toString().trimmed();
        s.sales = q.value(2).toInt();
        s.totalCents = q.value(3).toLongLong();
        r.services << s;
        r.sales += s.sales;
        r.totalCents += s.totalCents;
        const qint64 primeiro = q.value(4).toLongLong();
        const qint64 ultimo = q.value(5).toLongLong();
        if (primeiro > 0 && (r.firstReceipt == 0 || primeiro < r.firstReceipt))
            r.firstReceipt = primeiro;
        if (ultimo > r.lastReceipt) r.lastReceipt = ultimo;
    }
    return r;
}

Closing findClosing(platform::TADOConnection& c, const QString& branch, const QString& till,
                    const QDate& day) {
    return fechamentoDoDia(c, branch, till, day, false);
}

Closing closeDay(platform::TADOConnection& c, const QString& branch, const QString& till,
                 const QDate& day) {
    if (branch.isEmpty() || till.isEmpty())
        throw platform::Error(QStringLiteral("Filial ou caixa não informados."));
    Closing z;
    {
        platform::Transacao t(c);
        // The till's numbering row, which every sale updates first: a sale in flight commits
        // before the day is read, and the next one waits for the closing and then sees it.
        lockTillNumbering(c, branch, till);
        const Closing anterior = fechamentoDoDia(c, branch, till, day, true);
        if (anterior.number != 0) jaFechado(anterior);
        {
            Statement numero(c, dialectText(c, kProximoNumero, kProximoNumeroServidor));
            Statement& q = numero.run({branch, till});
            z.number = q.next() ? q.value(0).toLongLong() : 1;
        }
        const DayReading r = readDay(c, branch, till, day);
        z.branch = branch;
        z.till = till;
        z.day = day;
        z.closedAt = r.readAt;
        z.sales = r.sales;
        z.totalCents = r.totalCents;
        z.firstReceipt = r.firstReceipt;
        z.lastReceipt = r.lastReceipt;
        z.lines = closingLines(r, z.number, z.closedAt);
        const auto cupom = [](qint64 n) {
            return n > 0 ? QVariant(n) : QVariant(QMetaType(QMetaType::LongLong));
        };
        Statement grava(c, QString::fromUtf8(kGravaFechamento));
        if (!grava.tryRun({branch, till, z.number, dia(c, day), dataHora(c, z.closedAt), z.sales,
                           double(z.totalCents) / 100.0, cupom(z.firstReceipt),
                           cupom(z.lastReceipt), z.lines.join(QLatin1Char('\n'))})) {
            const QSqlError recusa = grava.lastError();
            t.rollback();
            // The database's one closing per day, met by a closing another till program made
            // since the look above.
            const Closing outro = findClosing(c, branch, till, day);
            if (outro.number != 0) jaFechado(outro);
            raiseDatabaseError(recusa);
        }
        t.commit();
    }
    return z;
}

FiscalPeriod closingsBetween(platform::TADOConnection& c, const QString& branch,
                             const QString& till, const QDate& from, const QDate& to) {
    FiscalPeriod p;
    p.header = leCabecalho(c, branch, till);
    p.from = from;
    p.to = to;
    p.readAt = platform::Agora();
    Statement periodo(c, QString::fromUtf8(kPeriodo));
    Statement& q = periodo.run({branch, till, dia(c, from), dia(c, to)});
    while (q.next()) p.closings << leFechamento(q);
    return p;
}

QList<ReceiptEntry> receiptsIssuedOn(platform::TADOConnection& c, const QString& branch,
                                     const QString& till, const QDate& day) {
    QList<ReceiptEntry> r;
    const QDateTime inicio(day, QTime(0, 0));
    Statement cupons(c, QString::fromUtf8(kCuponsDoDia));
    Statement& q = cupons.run({branch, till, dataHora(c, inicio), dataHora(c, inicio.addDays(1))});
    while (q.next()) {
        ReceiptEntry e;
        e.saleId = q.value(0).toLongLong();
        e.number = q.value(1).toLongLong();
        e.issuedAt = leDataHora(q.value(2));
        e.consumer = q.value(3).toString().trimmed();
        e.consumerName = q.value(4).toString().trimmed();
        e.serviceName = q.value(5).toString().trimmed();
        e.totalCents = centavos(q.value(6));
        r << e;
    }
    return r;
}

QStringList storedReceipt(platform::TADOConnection& c, qint64 saleId) {
    Statement cupom(c, QString::fromUtf8(kCupom));
    Statement& q = cupom.run({saleId});
    return q.next() ? q.value(0).toString().split(QLatin1Char('\n')) : QStringList();
}

QString closingHeldByOutbox(const QString& server, const QString& copyPath, const QString& branch,
                            const QString& till, const QDate& day) {
    if (!namesServer(server) || outboxSalesOf(copyPath, branch, till, day) == 0) return {};
    QString why;
    try {
        CatchUpOptions o;
        o.lockWaitMs = 5000;  // a catch-up already under way usually ends by then
        const CatchUpResult r = catchUp(server, copyPath, {}, o);
        why = r.failure;
    } catch (...) {
        why = platform::ADOExceptionMessage(std::current_exception(), nullptr, QString());
    }
    const int left = outboxSalesOf(copyPath, branch, till, day);
    if (left == 0) return {};
    QString t = QStringLiteral(
                    "A Redução Z do dia %1 não foi feita: %2 venda(s) deste dia "
                    "guardadas no caixa enquanto o servidor não respondia ainda não "
                    "chegaram a ele, e o fechamento precisa contá-las.")
                    .arg(day.toString(QStringLiteral("dd/MM/yyyy")))
                    .arg(left);
    if (!why.isEmpty()) t += QStringLiteral(" O envio não terminou: ") + why;
    return t + QStringLiteral(" Tente de novo quando o envio terminar.");
}

}  // namespace Hul00002
