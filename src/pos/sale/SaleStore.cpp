#include "pos/sale/SaleStore.h"

#include "platform/DialetoBanco.h"
#include "platform/Platform.h"
#include "platform/TADOConnection.h"

namespace Hul00002 {

namespace {

qint64 cents(const QVariant& v) {
    return qRound64(v.toDouble() * 100.0);
}

// clang-format off
const char* const kServices =
    "SELECT SC.CDSERVFILI, SE.NMSERVICO, SC.HRINISERTUR, SC.HRFINSERTUR, SC.IDIMPCUPOMAUT"
    " FROM SERVTURCAIXA SC, SERVICO SE"
    " WHERE SC.CDSERVFILI = SE.CDSERVFILI AND SC.CDFILIAL = ? AND SC.CDCAIXA = ?"
    " ORDER BY SC.CDSERVFILI";
const char* const kNames =
    "SELECT (SELECT NMFILIAL FROM FILIAL WHERE CDFILIAL = ?),"
    " (SELECT NMCAIXA FROM CAIXA WHERE CDFILIAL = ? AND CDCAIXA = ?)";
const char* const kProductsByService =
    "SELECT PT.CDPRODUTO, PR.NMPRODUTO, PR.VRPRECO FROM PRODTURCAIXA PT"
    " LEFT JOIN PRODUTO PR ON PR.CDPRODUTO = PT.CDPRODUTO"
    " WHERE PT.CDSERVFILI = ? AND PT.CDFILIAL = ? AND PT.CDCAIXA = ?"
    " ORDER BY PT.CDPRODUTO";
const char* const kProductsByType =
    "SELECT PC.CDPRODUTO, PR.NMPRODUTO, PR.VRPRECO FROM PRODSERVTCON PC"
    " LEFT JOIN PRODUTO PR ON PR.CDPRODUTO = PC.CDPRODUTO"
    " WHERE PC.CDSERVFILI = ? AND PC.CDFILIAL = ? AND PC.CDCAIXA = ? AND PC.CDTIPOCONS = ?"
    " ORDER BY PC.CDPRODUTO";
const char* const kNumbering =
    "INSERT INTO NUMCAIXA (CDFILIAL, CDCAIXA, NRULTVENDA, NRULTCUPOM)"
    " SELECT ?, ?,"
    " COALESCE((SELECT MAX(NRVENDA) FROM VENDA WHERE CDFILIAL = ? AND CDCAIXA = ?), 0),"
    " COALESCE((SELECT MAX(NRCUPOM) FROM CUPOMVENDA WHERE CDFILIAL = ? AND CDCAIXA = ?), 0)"
    " WHERE NOT EXISTS (SELECT 1 FROM NUMCAIXA WHERE CDFILIAL = ? AND CDCAIXA = ?)";
const char* const kEarlierServer =
    "SELECT TOP 1 CDSERVFILI, NRSEQVENDA, NRVENDA, NRCUPOMFISCAL"
    " FROM VENDA WHERE CDCONSUMIDOR = ? AND CDFILIAL = ?"
    " AND CDCAIXA = ? AND CDSERVFILI = ? AND IDSITUVENDA = 'O'"
    " AND ((DTHRREALCONCONS >= ? AND DTHRREALCONCONS < ?)"
    " OR DTCONSUMO = ?) ORDER BY NRSEQVENDA";
const char* const kEarlier =
    "SELECT CDSERVFILI, NRSEQVENDA, NRVENDA, NRCUPOMFISCAL"
    " FROM VENDA WHERE CDCONSUMIDOR = ? AND CDFILIAL = ?"
    " AND CDCAIXA = ? AND CDSERVFILI = ? AND IDSITUVENDA = 'O'"
    " AND ((DTHRREALCONCONS >= ? AND DTHRREALCONCONS < ?)"
    " OR DTCONSUMO = ?) ORDER BY NRSEQVENDA LIMIT 1";
// SQLite does not split the OR of the two days into two seeks: each is asked on its own, the
// stored day through the index of the sale rule, so that a consumer's history is never read.
// The earlier of the two by min() rather than ORDER BY ... LIMIT, which SQLite answers with
// temporary tables, each a b-tree of its own opened and closed for every record.
#define EARLIEST_SQLITE                                                                     \
    "(SELECT min(N) FROM (SELECT min(NRSEQVENDA) AS N FROM VENDA"                           \
    " WHERE CDCONSUMIDOR = ? AND CDFILIAL = ? AND CDCAIXA = ? AND CDSERVFILI = ?"             \
    " AND IDSITUVENDA = 'O' AND DTHRREALCONCONS >= ? AND DTHRREALCONCONS < ?"                 \
    " UNION ALL SELECT min(NRSEQVENDA) FROM VENDA"                                           \
    " WHERE CDFILIAL = ? AND CDCAIXA = ? AND CDSERVFILI = ? AND CDCONSUMIDOR = ?"             \
    " AND DTCONSUMO = ? AND IDSITUVENDA = 'O'))"
const char* const kEarlierSqlite =
    "SELECT CDSERVFILI, NRSEQVENDA, NRVENDA, NRCUPOMFISCAL FROM VENDA"
    " WHERE NRSEQVENDA = " EARLIEST_SQLITE;
const char* const kConsumerAndEarlierSqlite =
    "SELECT C.IDSITCONSUMI, (SELECT COUNT(*) FROM CLIENFILIAL F"
    " WHERE F.CDFILIAL = ? AND F.CDCLIENTE = C.CDCLIENTE),"
    " E.CDSERVFILI, E.NRSEQVENDA, E.NRVENDA, E.NRCUPOMFISCAL"
    " FROM CONSUMIDOR C LEFT JOIN VENDA E ON E.NRSEQVENDA = " EARLIEST_SQLITE
    " WHERE C.CDCONSUMIDOR = ?";
#undef EARLIEST_SQLITE
const char* const kAdvance =
    "UPDATE NUMCAIXA SET NRULTVENDA = NRULTVENDA + 1, NRULTCUPOM = NRULTCUPOM + 1"
    " WHERE CDFILIAL = ? AND CDCAIXA = ?";
const char* const kNumbers =
    "SELECT NRULTVENDA, NRULTCUPOM FROM NUMCAIXA WHERE CDFILIAL = ? AND CDCAIXA = ?";
const char* const kSaleColumns =
    "INSERT INTO VENDA (CDFILIAL, CDCAIXA, CDSERVFILI, CDCONSUMIDOR,"
    " CDCLIENTE, CDTIPOCONS, CDPRODUTO, QTVENDA, VRVENDA, DTHRREALCONCONS,"
    " DTENTRVENDA, HRREALCONCONS, IDSITUVENDA, NRCUPOMFISCAL, NRSEQLOGCAT,"
    " NRSEQARQIMP, DTCONSUMO, NRVENDA)";
const char* const kSaleValues =
    " VALUES (?, ?, ?, ?, ?, ?, ?, 1, ?, ?, ?, ?, 'O', ?, ?, ?, ?, ?)";
const char* const kItem =
    "INSERT INTO ITEMVENDA (NRSEQVENDA, NRITEM, CDPRODUTO, QTPRODUTO, VRUNITARIO, VRTOTAL)"
    " VALUES (?, ?, ?, ?, ?, ?)";
// IDIMPRESSO: 'P' to print, 'S' printed, 'N' a service that prints none.
const char* const kReceipt =
    "INSERT INTO CUPOMVENDA (NRSEQVENDA, CDFILIAL, CDCAIXA, NRCUPOM, DTEMISCUPOM, TXCUPOM,"
    " IDIMPRESSO) VALUES (?, ?, ?, ?, ?, ?, ?)";
const char* const kPending =
    "SELECT C.NRSEQVENDA, C.NRCUPOM, V.DTCONSUMO, V.CDCONSUMIDOR, CO.NMCONSUMIDOR, C.TXCUPOM"
    " FROM CUPOMVENDA C JOIN VENDA V ON V.NRSEQVENDA = C.NRSEQVENDA"
    " LEFT JOIN CONSUMIDOR CO ON CO.CDCONSUMIDOR = V.CDCONSUMIDOR"
    " WHERE C.CDFILIAL = ? AND C.CDCAIXA = ? AND C.IDIMPRESSO = 'P' ORDER BY C.NRCUPOM";
const char* const kConsumer =
    "SELECT C.IDSITCONSUMI, (SELECT COUNT(*) FROM CLIENFILIAL F"
    " WHERE F.CDFILIAL = ? AND F.CDCLIENTE = C.CDCLIENTE)"
    " FROM CONSUMIDOR C WHERE C.CDCONSUMIDOR = ?";
// PostgreSQL: the consumer and its earlier sale of the day in one look, one round trip.
const char* const kConsumerAndEarlier =
    "SELECT C.IDSITCONSUMI, (SELECT COUNT(*) FROM CLIENFILIAL F"
    " WHERE F.CDFILIAL = ? AND F.CDCLIENTE = C.CDCLIENTE),"
    " E.CDSERVFILI, E.NRSEQVENDA, E.NRVENDA, E.NRCUPOMFISCAL"
    " FROM CONSUMIDOR C LEFT JOIN (SELECT CDSERVFILI, NRSEQVENDA, NRVENDA, NRCUPOMFISCAL"
    " FROM VENDA WHERE CDCONSUMIDOR = ? AND CDFILIAL = ?"
    " AND CDCAIXA = ? AND CDSERVFILI = ? AND IDSITUVENDA = 'O'"
    " AND ((DTHRREALCONCONS >= ? AND DTHRREALCONCONS < ?)"
    " OR DTCONSUMO = ?) ORDER BY NRSEQVENDA LIMIT 1) E ON 1 = 1"
    " WHERE C.CDCONSUMIDOR = ?";
// PostgreSQL: sale, items and receipt in one statement, and the day's closing as this
// statement sees it, which is after the till's numbering was taken.
const char* const kWholeSaleItems =
    " i AS (INSERT INTO ITEMVENDA (NRSEQVENDA, NRITEM, CDPRODUTO, QTPRODUTO, VRUNITARIO, VRTOTAL)"
    " SELECT v.NRSEQVENDA, x.n, x.p, x.q, x.u, x.t FROM v, (VALUES ";
const char* const kWholeSaleItem =
    "(CAST(? AS INTEGER), CAST(? AS VARCHAR), CAST(? AS NUMERIC), CAST(? AS NUMERIC),"
    " CAST(? AS NUMERIC))";
const char* const kWholeSaleRest =
    ") AS x(n, p, q, u, t)),"
    " c AS (INSERT INTO CUPOMVENDA (NRSEQVENDA, CDFILIAL, CDCAIXA, NRCUPOM, DTEMISCUPOM, TXCUPOM,"
    " IDIMPRESSO) SELECT v.NRSEQVENDA, CAST(? AS VARCHAR), CAST(? AS VARCHAR), CAST(? AS INTEGER),"
    " CAST(? AS TIMESTAMP), CAST(? AS TEXT), CAST(? AS CHAR(1)) FROM v)"
    " SELECT v.NRSEQVENDA, (SELECT NRFECHAMENTO FROM FECHACAIXA"
    " WHERE CDFILIAL = ? AND CDCAIXA = ? AND DTMOVIMENTO = ?)";
// The whole sale in one call (db/schema_postgresql.sql); the values in SaleRows' order.
const char* const kSaleCallHead =
    " FROM REGISTRA_VENDA(CAST(? AS VARCHAR), CAST(? AS VARCHAR), CAST(? AS VARCHAR),"
    " CAST(? AS VARCHAR), CAST(? AS VARCHAR), CAST(? AS VARCHAR), CAST(? AS VARCHAR),"
    " CAST(? AS NUMERIC), CAST(? AS TIMESTAMP), CAST(? AS TIMESTAMP), CAST(? AS VARCHAR),"
    " CAST(? AS VARCHAR), CAST(? AS VARCHAR), CAST(? AS VARCHAR), CAST(? AS DATE),"
    " CAST(? AS INTEGER), CAST(? AS INTEGER), CAST(? AS TIMESTAMP), CAST(? AS TEXT),"
    " CAST(? AS VARCHAR)";
const char* const kSaleCallThere =
    "SELECT COUNT(*) FROM pg_proc WHERE proname = 'registra_venda' AND pronargs = 24"
    " AND pg_function_is_visible(oid)";
const char* const kTouchNumbering =
    "UPDATE NUMCAIXA SET NRULTVENDA = NRULTVENDA WHERE CDFILIAL = ? AND CDCAIXA = ?";
const char* const kPrinted = "UPDATE CUPOMVENDA SET IDIMPRESSO = 'S' WHERE NRSEQVENDA = ?";
// On SQL Server under the lock that a closing of the day takes, so that a sale either commits
// before the closing reads the day or sees the closing.
const char* const kClosedServer =
    "SELECT NRFECHAMENTO FROM FECHACAIXA WITH (UPDLOCK, HOLDLOCK)"
    " WHERE CDFILIAL = ? AND CDCAIXA = ? AND DTMOVIMENTO = ?";
const char* const kClosed =
    "SELECT NRFECHAMENTO FROM FECHACAIXA WHERE CDFILIAL = ? AND CDCAIXA = ? AND DTMOVIMENTO = ?";
// clang-format on

QString sql(const char* s) {
    return QString::fromUtf8(s);
}

QString saleStatement(bool server, bool returning) {
    return sql(kSaleColumns) +
           (server ? QStringLiteral(" OUTPUT INSERTED.NRSEQVENDA") : QString()) + sql(kSaleValues) +
           (returning ? QStringLiteral(" RETURNING NRSEQVENDA") : QString());
}

bool hasSaleCall(platform::TADOConnection& c) {
    if (c.dialeto() != platform::Dialeto::Postgres) return false;
    Statement there(c, sql(kSaleCallThere));
    there.run({});
    return there.next() && there.value(0).toInt() == 1;
}

// The look's six columns from `from` on, as kConsumerAndEarlier gives them.
void readLook(const Statement& s, int from, ConsumerLook& look) {
    look.done = true;
    look.onFile.exists = !s.value(from).isNull();
    look.onFile.active = s.value(from).toString().trimmed() == QLatin1String("1");
    look.onFile.servedAtBranch = s.value(from + 1).toInt() > 0;
    look.earlier = !look.service.isEmpty() && !s.value(from + 3).isNull();
    if (look.earlier) {
        look.found.service = s.value(from + 2).toString().trimmed();
        look.found.saleId = s.value(from + 3).toLongLong();
        look.found.saleNumber = s.value(from + 4).toLongLong();
        look.found.receiptNumber = s.value(from + 5).toString().trimmed().toLongLong();
    }
}

}  // namespace

TillSetup::TillSetup(platform::TADOConnection& c)
    : services_(c, sql(kServices)),
      names_(c, sql(kNames)),
      productsByService_(c, sql(kProductsByService)),
      productsByType_(c, sql(kProductsByType)) {}

SaleStore::SaleStore(platform::TADOConnection& c)
    : connection_(c),
      server_(c.isSqlServer()),
      postgres_(c.dialeto() == platform::Dialeto::Postgres),
      atOnce_(hasSaleCall(c)),
      setup_(c),
      numbering_(c, sql(kNumbering)),
      earlier_(c, sql(server_     ? kEarlierServer
                      : postgres_ ? kEarlier
                                  : kEarlierSqlite)),
      advance_(c, sql(kAdvance) + (postgres_ ? QStringLiteral(" RETURNING NRULTVENDA, NRULTCUPOM")
                                             : QString())),
      numbers_(c, sql(kNumbers)),
      sale_(c, saleStatement(server_, postgres_)),
      item_(c, sql(kItem)),
      receipt_(c, sql(kReceipt)),
      printed_(c, sql(kPrinted)),
      closed_(c, sql(server_ ? kClosedServer : kClosed)),
      consumer_(c, sql(kConsumer)),
      pending_(c, sql(kPending)) {
    // SQLite without RETURNING, which it answers with temporary tables opened and closed at
    // every run: the sale's id from SQLite itself (asked in a query only on Qt's road), the
    // numbers and the day's closing read after the update.
    if (!server_ && !postgres_) {
        if (!sale_.insertedRowid())
            lastId_ = std::make_unique<Statement>(c, QStringLiteral("SELECT last_insert_rowid()"));
        numbersAndClosing_ = std::make_unique<Statement>(
            c, QStringLiteral("SELECT NRULTVENDA, NRULTCUPOM, (") + sql(kClosed) +
                   QStringLiteral(") FROM NUMCAIXA WHERE CDFILIAL = ? AND CDCAIXA = ?"));
    }
    if (!server_)
        consumerAndEarlier_ = std::make_unique<Statement>(
            c, sql(postgres_ ? kConsumerAndEarlier : kConsumerAndEarlierSqlite));
}

SaleStore::~SaleStore() = default;

void raiseNoNumbering(const QString& branch, const QString& till) {
    throw platform::Error(QStringLiteral("A numeração do caixa %1 da filial %2 não foi encontrada.")
                              .arg(till, branch));
}

namespace {

// The texts SQLite stores, written digit by digit: Qt's formatting goes through the locale and
// the calendar, a good part of a short sale's time. Whatever is not a plain date of years 0 to
// 9999 is left to Qt, as before.
void appendDigits(QString& out, int value, int width) {
    char digits[4];
    for (int i = width - 1; i >= 0; --i, value /= 10) digits[i] = char('0' + value % 10);
    out += QLatin1StringView(digits, width);
}

bool plainDay(const QDate& d) {
    return d.isValid() && d.year() >= 0 && d.year() <= 9999;
}

QString dayText(const QDate& d) {
    if (!plainDay(d)) return d.toString(QStringLiteral("yyyy-MM-dd"));
    int y = 0, m = 0, dd = 0;
    d.getDate(&y, &m, &dd);
    QString out;
    out.reserve(19);
    appendDigits(out, y, 4);
    out += QLatin1Char('-');
    appendDigits(out, m, 2);
    out += QLatin1Char('-');
    appendDigits(out, dd, 2);
    return out;
}

QString dateTimeText(const QDateTime& dt) {
    const QDate d = dt.date();
    if (!plainDay(d) || !dt.time().isValid())
        return dt.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    const QTime t = dt.time();
    QString out = dayText(d);
    out += QLatin1Char(' ');
    appendDigits(out, t.hour(), 2);
    out += QLatin1Char(':');
    appendDigits(out, t.minute(), 2);
    out += QLatin1Char(':');
    appendDigits(out, t.second(), 2);
    return out;
}

}  // namespace

QVariant SaleStore::dateTime(const QDateTime& d) const {
    return server_ || postgres_ ? QVariant(d) : QVariant(dateTimeText(d));
}

QVariant SaleStore::day(const QDate& d) const {
    return server_ || postgres_ ? QVariant(d) : QVariant(dayText(d));
}

Till TillSetup::loadTill(const QString& branch, const QString& till) {
    Till t;
    t.branch = branch;
    t.till = till;
    names_.run({branch, branch, till});
    if (names_.next()) {
        t.branchName = names_.value(0).toString().trimmed();
        t.tillName = names_.value(1).toString().trimmed();
    }
    names_.finish();
    services_.run({branch, till});
    while (services_.next()) {
        Service s;
        s.stored.code = services_.value(0).toString().trimmed();
        s.name = services_.value(1).toString().trimmed();
        s.stored.start = services_.value(2).toString().trimmed();
        s.stored.end = services_.value(3).toString().trimmed();
        s.printsReceipt = services_.value(4).toString().trimmed().compare(QLatin1String("S"),
                                                                          Qt::CaseInsensitive) == 0;
        t.services << s;
    }
    services_.finish();
    return t;
}

Till SaleStore::loadTill(const QString& branch, const QString& till) {
    const Till t = setup_.loadTill(branch, till);
    // A till that never sold starts its numbers after whatever it already has.
    if (!numbering_.tryRun({branch, till, branch, till, branch, till, branch, till})) {
        const QSqlError failed = numbering_.lastError();
        // A lock is no other process's row: waiting again on the read would double the wait.
        if (platform::classificaFalha(failed, connection_.dialeto()) == platform::Falha::Bloqueio)
            raiseDatabaseError(failed);
        numbers_.run({branch, till});
        const bool exists = numbers_.next();
        numbers_.finish();
        if (!exists) raiseDatabaseError(failed);  // not the other process's row: a real failure
    }
    numbering_.finish();
    return t;
}

QList<Product> TillSetup::productsFor(const Till& t, const QString& service, const QString& type) {
    const QList<Product> own = products(t, service, QString());
    return own.isEmpty() ? products(t, service, type) : own;
}

QList<Product> TillSetup::products(const Till& t, const QString& service, const QString& type) {
    Statement& s = type.isNull() ? productsByService_ : productsByType_;
    if (type.isNull())
        s.run({service, t.branch, t.till});
    else
        s.run({service, t.branch, t.till, type});
    QList<Product> r;
    while (s.next()) {
        Product p;
        p.code = s.value(0).toString().trimmed();
        p.registered = !s.value(1).isNull();
        p.name = s.value(1).toString().trimmed();
        p.cents = cents(s.value(2));
        r << p;
    }
    s.finish();
    return r;
}

ConsumerOnFile SaleStore::consumer(const QString& branch, const QString& consumer) {
    ConsumerOnFile r;
    consumer_.run({branch, consumer});
    if (consumer_.next()) {
        r.exists = true;
        r.active = consumer_.value(0).toString().trimmed() == QLatin1String("1");
        r.servedAtBranch = consumer_.value(1).toInt() > 0;
    }
    consumer_.finish();
    return r;
}

ConsumerOnFile SaleStore::consumerAndEarlierSale(const QString& branch, const QString& till,
                                                 const QString& service, const QString& consumer,
                                                 const QDate& d, bool& earlier,
                                                 EarlierSale& found) {
    earlier = false;
    if (!consumerAndEarlier_) {
        const ConsumerOnFile r = this->consumer(branch, consumer);
        if (r.exists && !service.isEmpty())
            earlier = earlierSale(branch, till, service, consumer, d, found);
        return r;
    }
    ConsumerOnFile r;
    Statement& s = *consumerAndEarlier_;
    s.run(lookValues(branch, till, service, consumer, d));
    if (s.next()) {
        r.exists = true;
        r.active = s.value(0).toString().trimmed() == QLatin1String("1");
        r.servedAtBranch = s.value(1).toInt() > 0;
        earlier = !service.isEmpty() && !s.value(3).isNull();
        if (earlier) {
            found.service = s.value(2).toString().trimmed();
            found.saleId = s.value(3).toLongLong();
            found.saleNumber = s.value(4).toLongLong();
            found.receiptNumber = s.value(5).toString().trimmed().toLongLong();
        }
    }
    s.finish();
    return r;
}

QList<PendingReceipt> SaleStore::pendingReceipts(const QString& branch, const QString& till) {
    QList<PendingReceipt> r;
    pending_.run({branch, till});
    while (pending_.next()) {
        PendingReceipt p;
        p.saleId = pending_.value(0).toLongLong();
        p.number = pending_.value(1).toLongLong();
        const QVariant day = pending_.value(2);
        p.day = day.metaType().id() == QMetaType::QDate
                    ? day.toDate()
                    : QDate::fromString(day.toString().trimmed().left(10), Qt::ISODate);
        p.consumer = pending_.value(3).toString().trimmed();
        p.consumerName = pending_.value(4).toString().trimmed();
        p.lines = pending_.value(5).toString().split(QLatin1Char('\n'));
        r << p;
    }
    pending_.finish();
    return r;
}

QVariantList SaleStore::earlierValues(const QString& branch, const QString& till,
                                      const QString& service, const QString& consumer,
                                      const QDate& d) const {
    if (server_ || postgres_)
        return {consumer,
                branch,
                till,
                service,
                dateTime(QDateTime(d, QTime(0, 0))),
                dateTime(QDateTime(d.addDays(1), QTime(0, 0))),
                day(d)};
    // As dateTime writes midnight, without a local date-time made for it.
    const QString midnight = QStringLiteral(" 00:00:00");
    const QString start = dayText(d) + midnight;
    const QString end = dayText(d.addDays(1)) + midnight;
    return {consumer, branch, till, service, start, end, branch, till, service, consumer, day(d)};
}

QVariantList SaleStore::lookValues(const QString& branch, const QString& till,
                                   const QString& service, const QString& consumer,
                                   const QDate& d) const {
    return QVariantList{branch} + earlierValues(branch, till, service, consumer, d) +
           QVariantList{consumer};
}

bool SaleStore::earlierSale(const QString& branch, const QString& till, const QString& service,
                            const QString& consumer, const QDate& d, EarlierSale& found) {
    earlier_.run(earlierValues(branch, till, service, consumer, d));
    const bool exists = earlier_.next();
    if (exists) {
        found.service = earlier_.value(0).toString().trimmed();
        found.saleId = earlier_.value(1).toLongLong();
        found.saleNumber = earlier_.value(2).toLongLong();
        found.receiptNumber = earlier_.value(3).toString().trimmed().toLongLong();
    }
    earlier_.finish();
    return exists;
}

qint64 SaleStore::closingOf(const QString& branch, const QString& till, const QDate& d) {
    closed_.run({branch, till, day(d)});
    const qint64 n = closed_.next() ? closed_.value(0).toLongLong() : 0;
    closed_.finish();
    return n;
}

std::pair<qint64, qint64> SaleStore::nextNumbers(const QString& branch, const QString& till,
                                                 const QDate& d) {
    closingRead_.reset();
    advance_.run({branch, till});
    if (postgres_) {
        if (!advance_.next()) raiseNoNumbering(branch, till);
        const std::pair<qint64, qint64> r{advance_.value(0).toLongLong(),
                                          advance_.value(1).toLongLong()};
        advance_.finish();
        return r;
    }
    if (advance_.rowsAffected() != 1) raiseNoNumbering(branch, till);
    advance_.finish();
    if (numbersAndClosing_) {
        // The transaction holds the whole file already: the closing read here is current.
        Statement& s = *numbersAndClosing_;
        s.run({branch, till, day(d), branch, till});
        if (!s.next()) raiseDatabaseError(s.lastError());
        const std::pair<qint64, qint64> r{s.value(0).toLongLong(), s.value(1).toLongLong()};
        closingRead_ = s.value(2).toLongLong();
        s.finish();
        return r;
    }
    numbers_.run({branch, till});
    if (!numbers_.next()) raiseDatabaseError(numbers_.lastError());
    const std::pair<qint64, qint64> r{numbers_.value(0).toLongLong(),
                                      numbers_.value(1).toLongLong()};
    numbers_.finish();
    return r;
}

void lockTillNumbering(platform::TADOConnection& c, const QString& branch, const QString& till) {
    Statement numbering(c, sql(kNumbering));
    numbering.run({branch, till, branch, till, branch, till, branch, till});
    Statement touch(c, sql(kTouchNumbering));
    touch.run({branch, till});
}

Statement& SaleStore::wholeSale(int items, bool withLook) {
    std::shared_ptr<Statement>& s = wholeSales_[items * 2 + (withLook ? 1 : 0)];
    if (!s) {
        QStringList rows;
        for (int i = 0; i < items; ++i) rows << sql(kWholeSaleItem);
        QString text = QStringLiteral("WITH v AS (") + saleStatement(false, true) +
                       QStringLiteral("),") + sql(kWholeSaleItems) +
                       rows.join(QStringLiteral(", ")) + sql(kWholeSaleRest);
        // Another consumer's look rides along: the generator's next record.
        text += withLook ? QStringLiteral(", n.* FROM v LEFT JOIN (") + sql(kConsumerAndEarlier) +
                               QStringLiteral(") n ON 1 = 1")
                         : QStringLiteral(" FROM v");
        s = std::make_shared<Statement>(connection_, text);
    }
    return *s;
}

bool SaleStore::recordSale(const QString& branch, const QString& till, const QDate& d,
                           const SaleRows& rows, qint64& closing, qint64& id, QSqlError& error,
                           ConsumerLook* next) {
    if (postgres_ && !rows.items.isEmpty()) {
        Statement& s = wholeSale(int(rows.items.size()), next != nullptr);
        QVariantList v = rows.sale;
        for (const QVariantList& item : rows.items) v += item;
        v += rows.receipt;
        // DTMOVIMENTO is text on this server, written so by the closing.
        v << branch << till << d.toString(Qt::ISODate);
        if (next)
            v += lookValues(next->branch, next->till, next->service, next->consumer, next->day);
        if (!s.tryRun(v)) {
            error = s.lastError();
            s.finish();
            return false;
        }
        if (!s.next()) raiseDatabaseError(s.lastError());
        id = s.value(0).toLongLong();
        closing = s.value(1).toLongLong();
        if (next) readLook(s, 2, *next);
        s.finish();
        return true;
    }
    closing = closingRead_ ? *closingRead_ : closingOf(branch, till, d);
    closingRead_.reset();
    if (closing) return true;
    if (!insertSale(rows.sale, id, error)) return false;
    for (const QVariantList& item : rows.items) item_.run(QVariantList{id} + item).finish();
    receipt_.run(QVariantList{id} + rows.receipt).finish();
    // On SQLite the transaction holds the whole file already: the next record's look made
    // here costs no read lock of its own, and it sees what this sale wrote.
    if (next && !server_ && !postgres_) {
        next->onFile =
            consumerAndEarlierSale(next->branch, next->till, next->service, next->consumer,
                                   next->day, next->earlier, next->found);
        next->done = true;
    }
    return true;
}

Statement& SaleStore::saleCall(int items, bool withLook) {
    std::shared_ptr<Statement>& s = saleCalls_[items * 2 + (withLook ? 1 : 0)];
    if (!s) {
        const auto array = [items](const char* type) {
            QStringList cells;
            for (int i = 0; i < items; ++i)
                cells << QStringLiteral("CAST(? AS %1)").arg(QLatin1String(type));
            return QStringLiteral(", ARRAY[%1]::%2[]")
                .arg(cells.join(QStringLiteral(", ")), QLatin1String(type));
        };
        QString text =
            (withLook ? QStringLiteral("SELECT r.*, n.*") : QStringLiteral("SELECT r.*")) +
            sql(kSaleCallHead) + array("VARCHAR") + array("NUMERIC") + array("NUMERIC") +
            array("NUMERIC") + QStringLiteral(") r");
        // Another consumer's look rides along: the generator's next record.
        if (withLook)
            text += QStringLiteral(" LEFT JOIN (") + sql(kConsumerAndEarlier) +
                    QStringLiteral(") n ON 1 = 1");
        s = std::make_shared<Statement>(connection_, text);
    }
    return *s;
}

SaleStore::AtOnce SaleStore::recordSaleAtOnce(const SaleRows& rows, ConsumerLook* next) {
    AtOnce a;
    Statement& s = saleCall(int(rows.items.size()), next != nullptr);
    QVariantList v = rows.sale;
    v << rows.receipt.value(2) << rows.receipt.value(3) << rows.receipt.value(4)
      << rows.receipt.value(5);
    for (int column = 1; column <= 4; ++column)
        for (const QVariantList& item : rows.items) v << item.value(column);
    if (next) v += lookValues(next->branch, next->till, next->service, next->consumer, next->day);
    if (!s.tryRun(v)) {
        a.error = s.lastError();
        a.numberingBusy = a.error.databaseText().contains(QLatin1String("NUMCAIXA"));
        s.finish();
        return a;
    }
    if (!s.next()) raiseDatabaseError(s.lastError());
    const QString result = s.value(0).toString().trimmed();
    a.result = result == QLatin1String("V")   ? AtOnce::Sold
               : result == QLatin1String("F") ? AtOnce::Closed
               : result == QLatin1String("N") ? AtOnce::Renumbered
                                              : AtOnce::NoNumbering;
    a.id = s.value(1).toLongLong();
    a.saleNumber = s.value(2).toLongLong();
    a.receiptNumber = s.value(3).toLongLong();
    a.closing = s.value(4).toLongLong();
    if (next) readLook(s, 5, *next);
    s.finish();
    return a;
}

bool SaleStore::insertSale(const QVariantList& values, qint64& id, QSqlError& error) {
    if (!sale_.tryRun(values)) {
        error = sale_.lastError();
        sale_.finish();
        return false;
    }
    if (const std::optional<qint64> rowid = sale_.insertedRowid()) {
        id = *rowid;
        sale_.finish();
    } else if (!lastId_) {  // the server hands it back
        if (!sale_.next()) raiseDatabaseError(sale_.lastError());
        id = sale_.value(0).toLongLong();
        sale_.finish();
    } else {
        sale_.finish();
        lastId_->run({});
        if (!lastId_->next()) raiseDatabaseError(lastId_->lastError());
        id = lastId_->value(0).toLongLong();
        lastId_->finish();
    }
    return true;
}

}  // namespace Hul00002
