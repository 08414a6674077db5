#include "pos/sale/CatchUp.h"

#include <QFileInfo>
#include <QHash>
#include <QLockFile>
#include <QSet>

#include <memory>
#include <vector>

#include "platform/DialetoBanco.h"
#include "platform/OfflineState.h"
#include "platform/Platform.h"
#include "platform/Registro.h"
#include "platform/TADOConnection.h"
#include "platform/Transacao.h"
#include "pos/sale/Receipt.h"
#include "pos/sale/SaleStore.h"
#include "pos/sale/SalesSchema.h"
#include "pos/sale/Statement.h"
#include "pos/sale/TillCopy.h"

namespace Hul00002 {

namespace {

// clang-format off
const char* const kOutboxSales =
    "SELECT NRSEQVENDA, CDFILIAL, CDCAIXA, CDSERVFILI, CDCONSUMIDOR, CDCLIENTE, CDTIPOCONS,"
    " CDPRODUTO, VRVENDA, DTHRREALCONCONS, DTENTRVENDA, HRREALCONCONS, NRCUPOMFISCAL,"
    " NRSEQLOGCAT, NRSEQARQIMP, DTCONSUMO, NRVENDA FROM VENDA WHERE NRSEQVENDA >= ?"
    " ORDER BY NRSEQVENDA";
const char* const kOutboxItems =
    "SELECT NRSEQVENDA, NRITEM, CDPRODUTO, QTPRODUTO, VRUNITARIO, VRTOTAL FROM ITEMVENDA"
    " WHERE NRSEQVENDA >= ? ORDER BY NRSEQVENDA, NRITEM";
const char* const kOutboxReceipts =
    "SELECT NRSEQVENDA, NRCUPOM, DTEMISCUPOM, TXCUPOM, IDIMPRESSO FROM CUPOMVENDA"
    " WHERE NRSEQVENDA >= ?";
const char* const kOutboxOfDay =
    "SELECT COUNT(*) FROM VENDA WHERE NRSEQVENDA >= ? AND CDFILIAL = ? AND CDCAIXA = ?"
    " AND DTCONSUMO = ?";
// On the server.
const char* const kByNumber =
    "SELECT NRSEQVENDA, CDCONSUMIDOR, CDSERVFILI, DTCONSUMO FROM VENDA"
    " WHERE CDFILIAL = ? AND CDCAIXA = ? AND NRVENDA = ?";
const char* const kRaiseNumbering =
    "UPDATE NUMCAIXA SET NRULTVENDA = CASE WHEN NRULTVENDA < ? THEN ? ELSE NRULTVENDA END,"
    " NRULTCUPOM = CASE WHEN NRULTCUPOM < ? THEN ? ELSE NRULTCUPOM END"
    " WHERE CDFILIAL = ? AND CDCAIXA = ?";
// On the copy, once the server has them.
const char* const kHasSale = "SELECT COUNT(*) FROM VENDA WHERE NRSEQVENDA = ?";
const char* const kConflict =
    "INSERT OR REPLACE INTO CONFLITO (NRSEQVENDA, CDFILIAL, CDCAIXA, CDSERVFILI, CDCONSUMIDOR,"
    " DTCONSUMO, NRVENDA, NRCUPOM, VRVENDA, DTHRREALCONCONS, DSMOTIVO, DTHRCONFLITO)"
    " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)";
// clang-format on

const char* const kTables[] = {"VENDA", "ITEMVENDA", "CUPOMVENDA"};

QString sql(const char* s) {
    return QString::fromUtf8(s);
}

QVariant textOrNull(const QVariant& v) {
    return v.isNull() || v.toString().isEmpty() ? QVariant(QMetaType(QMetaType::QString)) : v;
}

QDateTime sqliteTime(const QVariant& v) {
    QString s = v.toString().trimmed();
    s.replace(QLatin1Char(' '), QLatin1Char('T'));
    return QDateTime::fromString(s.left(19), Qt::ISODate);
}

QDate dayOf(const QVariant& v) {
    if (v.metaType().id() == QMetaType::QDate) return v.toDate();
    if (v.metaType().id() == QMetaType::QDateTime) return v.toDateTime().date();
    return QDate::fromString(v.toString().trimmed().left(10), Qt::ISODate);
}

struct Item {
    int number = 0;
    QString product;
    double quantity = 1, unit = 0, total = 0;
};

struct KeptSale {
    qint64 id = 0;
    QVariantList row;  // the VENDA columns of kOutboxSales after NRSEQVENDA
    QString branch, till, service, consumer;
    QDate day;
    qint64 saleNumber = 0, receiptNumber = 0;
    double total = 0;
    QDateTime consumedAt;
    QList<Item> items;
    bool hasReceipt = false;
    qint64 receiptOnFile = 0;
    QDateTime issuedAt;
    QString receiptText, printState;
};

QList<KeptSale> readOutbox(platform::TADOConnection& copy) {
    QList<KeptSale> out;
    QHash<qint64, int> at;
    Statement sales(copy, sql(kOutboxSales));
    sales.run({kOutboxFirstSale});
    while (sales.next()) {
        KeptSale s;
        s.id = sales.value(0).toLongLong();
        for (int i = 1; i <= 16; ++i) s.row << sales.value(i);
        s.branch = s.row.at(0).toString().trimmed();
        s.till = s.row.at(1).toString().trimmed();
        s.service = s.row.at(2).toString().trimmed();
        s.consumer = s.row.at(3).toString().trimmed();
        s.total = s.row.at(7).toDouble();
        s.consumedAt = sqliteTime(s.row.at(8));
        s.receiptNumber = s.row.at(11).toString().trimmed().toLongLong();
        s.day = dayOf(s.row.at(14));
        if (!s.day.isValid()) s.day = s.consumedAt.date();
        s.saleNumber = s.row.at(15).toLongLong();
        at.insert(s.id, out.size());
        out << s;
    }
    sales.finish();
    Statement items(copy, sql(kOutboxItems));
    items.run({kOutboxFirstSale});
    while (items.next()) {
        const auto i = at.constFind(items.value(0).toLongLong());
        if (i == at.constEnd()) continue;
        out[*i].items << Item{items.value(1).toInt(), items.value(2).toString(),
                              items.value(3).toDouble(), items.value(4).toDouble(),
                              items.value(5).toDouble()};
    }
    items.finish();
    Statement receipts(copy, sql(kOutboxReceipts));
    receipts.run({kOutboxFirstSale});
    while (receipts.next()) {
        const auto i = at.constFind(receipts.value(0).toLongLong());
        if (i == at.constEnd()) continue;
        KeptSale& s = out[*i];
        s.hasReceipt = true;
        s.receiptOnFile = receipts.value(1).toLongLong();
        s.issuedAt = sqliteTime(receipts.value(2));
        s.receiptText = receipts.value(3).toString();
        s.printState = receipts.value(4).toString().trimmed();
    }
    receipts.finish();
    return out;
}

CatchUpLine lineOf(const KeptSale& s, CatchUpLine::Kind k) {
    CatchUpLine l;
    l.kind = k;
    l.outboxId = s.id;
    l.branch = s.branch;
    l.till = s.till;
    l.service = s.service;
    l.consumer = s.consumer;
    l.day = s.day;
    l.saleNumber = s.saleNumber;
    l.receiptNumber = s.receiptNumber;
    return l;
}

// Sends one sale in its own server transaction; the line says what became of it. Raises on a
// failure of the server (nothing of the sale stays there).
class Sender {
public:
    explicit Sender(platform::TADOConnection& server)
        : server_(server),
          store_(server),
          byNumber_(server, sql(kByNumber)),
          raise_(server, sql(kRaiseNumbering)) {}

    CatchUpLine send(const KeptSale& s) {
        const QString tillKey = s.branch + QChar(0x1F) + s.till;
        if (!numbered_.contains(tillKey)) {
            // A till the server never saw sell gets its numbering row before the first sale.
            platform::Transacao t(server_);
            lockTillNumbering(server_, s.branch, s.till);
            t.commit();
            numbered_.insert(tillKey);
        }
        platform::Transacao tx(server_);
        // The till's numbering row first, as a sale and a closing take it: a closing of the
        // day either sees this sale or this sale sees the closing.
        raise_.run({s.saleNumber, s.saleNumber, s.receiptNumber, s.receiptNumber, s.branch, s.till})
            .finish();
        if (const qint64 z = store_.closingOf(s.branch, s.till, s.day))
            return conflict(s, QStringLiteral("dia fechado (Redução Z nº %1 do caixa %2 em %3)")
                                   .arg(z)
                                   .arg(s.till, s.day.toString(QStringLiteral("dd/MM/yyyy"))));
        byNumber_.run({s.branch, s.till, s.saleNumber});
        if (byNumber_.next()) {
            const qint64 id = byNumber_.value(0).toLongLong();
            const bool same = byNumber_.value(1).toString().trimmed() == s.consumer &&
                              byNumber_.value(2).toString().trimmed() == s.service &&
                              dayOf(byNumber_.value(3)) == s.day;
            byNumber_.finish();
            if (!same)
                return conflict(
                    s, QStringLiteral("o número de venda %1 já é de outra venda no servidor")
                           .arg(s.saleNumber));
            // Sent by a catch-up that stopped before the copy learnt it.
            CatchUpLine l = lineOf(s, CatchUpLine::Kind::AlreadyThere);
            l.serverId = id;
            return l;
        }
        byNumber_.finish();
        if (const QString why = earlier(s); !why.isEmpty()) return conflict(s, why);

        const QVariantList& r = s.row;
        SaleRows rows;
        rows.sale = QVariantList{r.at(0),
                                 r.at(1),
                                 r.at(2),
                                 r.at(3),
                                 textOrNull(r.at(4)),
                                 textOrNull(r.at(5)),
                                 r.at(6),
                                 r.at(7).toDouble(),
                                 store_.dateTime(s.consumedAt),
                                 store_.dateTime(sqliteTime(r.at(9))),
                                 r.at(10),
                                 textOrNull(r.at(11)),
                                 textOrNull(r.at(12)),
                                 textOrNull(r.at(13)),
                                 store_.day(s.day),
                                 s.saleNumber};
        for (const Item& it : s.items)
            rows.items << QVariantList{it.number, it.product, it.quantity, it.unit, it.total};
        // Every sale is written with its receipt; one without is no sale the till made whole.
        if (!s.hasReceipt) return conflict(s, QStringLiteral("venda guardada sem o seu cupom"));
        rows.receipt = {
            s.branch,        s.till,
            s.receiptOnFile, store_.dateTime(s.issuedAt),
            s.receiptText,   s.printState.isEmpty() ? QStringLiteral("N") : s.printState};
        qint64 id = 0, closing = 0;
        QSqlError refusal;
        if (!store_.recordSale(s.branch, s.till, s.day, rows, closing, id, refusal)) {
            if (platform::classificaFalha(refusal, server_.dialeto()) != platform::Falha::Duplicada)
                raiseDatabaseError(refusal);
            tx.rollback();
            const QString why = earlier(s);
            return conflict(s, why.isEmpty()
                                   ? QStringLiteral("o servidor já tem uma venda ou um cupom com "
                                                    "estes números do caixa")
                                   : why);
        }
        if (closing) {
            tx.rollback();
            return conflict(s, QStringLiteral("dia fechado (Redução Z nº %1 do caixa %2 em %3)")
                                   .arg(closing)
                                   .arg(s.till, s.day.toString(QStringLiteral("dd/MM/yyyy"))));
        }
        tx.commit();
        CatchUpLine l = lineOf(s, CatchUpLine::Kind::Sent);
        l.serverId = id;
        return l;
    }

private:
    QString earlier(const KeptSale& s) {
        EarlierSale e;
        if (!store_.earlierSale(s.branch, s.till, s.service, s.consumer, s.day, e)) return {};
        return QStringLiteral(
                   "o servidor já tem a venda %1 (cupom %2) deste consumidor neste "
                   "serviço e dia")
            .arg(e.saleNumber)
            .arg(receiptNumberText(e.receiptNumber));
    }

    static CatchUpLine conflict(const KeptSale& s, const QString& why) {
        CatchUpLine l = lineOf(s, CatchUpLine::Kind::Conflict);
        l.reason = why;
        return l;
    }

    platform::TADOConnection& server_;
    SaleStore store_;
    Statement byNumber_, raise_;
    QSet<QString> numbered_;
};

// The copy learns what the server did, in one transaction: a sale the server holds takes its
// number (or goes, when the copy already has the server's row), a conflict moves to CONFLITO.
void updateCopy(platform::TADOConnection& copy, const QList<CatchUpLine>& done,
                const QHash<qint64, const KeptSale*>& sales) {
    if (done.isEmpty()) return;
    platform::Transacao t(copy);
    Statement has(copy, sql(kHasSale)), conflictRow(copy, sql(kConflict));
    std::vector<std::unique_ptr<Statement>> move, drop;
    for (const char* table : kTables) {
        move.push_back(std::make_unique<Statement>(
            copy, QStringLiteral("UPDATE %1 SET NRSEQVENDA = ? WHERE NRSEQVENDA = ?")
                      .arg(QLatin1String(table))));
        drop.push_back(std::make_unique<Statement>(
            copy, QStringLiteral("DELETE FROM %1 WHERE NRSEQVENDA = ?").arg(QLatin1String(table))));
    }
    const QString now = platform::Agora().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    for (const CatchUpLine& l : done) {
        bool keep = l.kind != CatchUpLine::Kind::Conflict;
        if (keep) {
            has.run({l.serverId});
            keep = has.next() && has.value(0).toInt() == 0;
            has.finish();
        } else {
            const KeptSale& s = *sales.value(l.outboxId);
            conflictRow
                .run({s.id, s.branch, s.till, s.service, s.consumer, s.day.toString(Qt::ISODate),
                      s.saleNumber, s.receiptNumber, s.total,
                      s.consumedAt.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), l.reason, now})
                .finish();
        }
        for (size_t i = 0; i < move.size(); ++i)
            if (keep)
                move[i]->run({l.serverId, l.outboxId}).finish();
            else
                drop[i]->run({l.outboxId}).finish();
    }
    t.commit();
}

QString lockPath(const QString& copyPath) {
    return copyPath + QStringLiteral(".envio.lock");
}

}  // namespace

int CatchUpResult::count(CatchUpLine::Kind k) const {
    int n = 0;
    for (const CatchUpLine& l : lines) n += l.kind == k ? 1 : 0;
    return n;
}

QString catchUpLineText(const CatchUpLine& l) {
    const QString who =
        QStringLiteral("%1 (venda %2, cupom %3, %4)")
            .arg(l.consumer)
            .arg(l.saleNumber)
            .arg(receiptNumberText(l.receiptNumber), l.day.toString(QStringLiteral("dd/MM/yyyy")));
    switch (l.kind) {
        case CatchUpLine::Kind::Sent:
            return who + QStringLiteral(": enviada ao servidor");
        case CatchUpLine::Kind::AlreadyThere:
            return who + QStringLiteral(": já estava no servidor");
        case CatchUpLine::Kind::Conflict:
            break;
    }
    return who + QStringLiteral(": conflito - ") + l.reason;
}

CatchUpResult catchUp(const QString& serverConnectionString, const QString& copyPath,
                      const std::function<void(int, int)>& progress,
                      const CatchUpOptions& options) {
    if (!QFileInfo(copyPath).isFile())
        throw platform::Error(
            QStringLiteral("A cópia do caixa (%1) não existe: não há vendas guardadas no caixa.")
                .arg(copyPath));
    QLockFile lock(lockPath(copyPath));
    lock.setStaleLockTime(0);  // a long catch-up stays locked; a dead one is seen by its pid
    if (!lock.tryLock(options.lockWaitMs))
        throw platform::Error(QStringLiteral(
            "Outro envio das vendas guardadas no caixa está em andamento; tente de novo quando "
            "ele terminar."));

    platform::TADOConnection copy;
    copy.setReadOnly(false);
    copy.setConnectionString(copyPath);
    copy.setConnected(true);
    const auto info = readTillCopyInfo(copy);
    if (!info)
        throw platform::Error(
            QStringLiteral("O arquivo %1 não é uma cópia do caixa desta versão.").arg(copyPath));
    if (info->server != serverDigest(serverConnectionString))
        throw platform::Error(
            QStringLiteral("A cópia do caixa %1 é de outro servidor: suas vendas não são enviadas "
                           "a este.")
                .arg(copyPath));

    const QList<KeptSale> outbox = readOutbox(copy);
    CatchUpResult result;
    result.total = int(outbox.size());
    platform::OfflineState& state = platform::OfflineState::instance();
    if (outbox.isEmpty()) return result;

    platform::TADOConnection server;
    server.setReadOnly(false);
    server.setConnectionString(serverConnectionString);
    server.setConnected(true);
    ensureSalesSchema(server);
    qCInfo(platform::lcBanco).noquote()
        << QStringLiteral("Envio das vendas guardadas no caixa %1 da filial %2: %3 venda(s).")
               .arg(info->till, info->branch)
               .arg(outbox.size());

    QHash<qint64, const KeptSale*> byId;
    for (const KeptSale& s : outbox) byId.insert(s.id, &s);
    const auto report = [&](int done) {
        state.setCatchUp(done, result.total);
        if (progress) progress(done, result.total);
    };
    report(0);
    Sender sender(server);
    QList<CatchUpLine> pending;
    int committed = 0;
    for (const KeptSale& s : outbox) {
        CatchUpLine l;
        try {
            l = sender.send(s);
        } catch (...) {
            result.failure =
                platform::ADOExceptionMessage(std::current_exception(), &server, QString());
            qCWarning(platform::lcBanco).noquote()
                << QStringLiteral("Envio das vendas do caixa interrompido: ") + result.failure;
            break;
        }
        if (l.kind == CatchUpLine::Kind::Conflict)
            qCWarning(platform::lcVenda).noquote()
                << QStringLiteral("Venda do caixa em conflito com o servidor: ") +
                       catchUpLineText(l);
        else
            qCInfo(platform::lcVenda).noquote() << catchUpLineText(l);
        result.lines << l;
        pending << l;
        if (options.line) options.line(l);
        if (l.kind == CatchUpLine::Kind::Sent && options.afterServerCommit)
            options.afterServerCommit(++committed);
        if (pending.size() >= qMax(1, options.copyBatch)) {
            updateCopy(copy, pending, byId);
            pending.clear();
        }
        report(int(result.lines.size()));
    }
    updateCopy(copy, pending, byId);
    state.setCatchUp(0, 0);
    const int conflicts = result.count(CatchUpLine::Kind::Conflict);
    state.setConflicts(conflicts);
    qCInfo(platform::lcBanco).noquote()
        << QStringLiteral(
               "Envio das vendas do caixa %1: %2 enviada(s), %3 já no servidor, %4 em "
               "conflito, %5 ainda no caixa.")
               .arg(result.complete() ? QStringLiteral("terminado")
                                      : QStringLiteral("interrompido"))
               .arg(result.count(CatchUpLine::Kind::Sent))
               .arg(result.count(CatchUpLine::Kind::AlreadyThere))
               .arg(conflicts)
               .arg(result.total - int(result.lines.size()));
    return result;
}

void sendKeptSales(const QString& server, const QString& copyPath) {
    if (!QFileInfo(copyPath).isFile()) return;  // no copy yet: nothing was kept
    try {
        catchUp(server, copyPath);
    } catch (...) {
        platform::OfflineState::instance().setCatchUp(0, 0);
        qCWarning(platform::lcBanco).noquote()
            << QStringLiteral("Envio das vendas guardadas no caixa não feito: ") +
                   platform::ADOExceptionMessage(std::current_exception(), nullptr, QString());
    }
}

int outboxSize(const QString& copyPath) {
    if (!QFileInfo(copyPath).isFile()) return 0;
    platform::TADOConnection copy;
    copy.setConnectionString(copyPath);
    copy.setConnected(true);
    if (!readTillCopyInfo(copy)) return 0;
    Statement s(copy, QStringLiteral("SELECT COUNT(*) FROM VENDA WHERE NRSEQVENDA >= ?"));
    s.run({kOutboxFirstSale});
    const int n = s.next() ? s.value(0).toInt() : 0;
    s.finish();
    return n;
}

int outboxSalesOf(const QString& copyPath, const QString& branch, const QString& till,
                  const QDate& day) {
    if (!QFileInfo(copyPath).isFile()) return 0;
    platform::TADOConnection copy;
    copy.setConnectionString(copyPath);
    copy.setConnected(true);
    if (!readTillCopyInfo(copy)) return 0;
    Statement s(copy, sql(kOutboxOfDay));
    s.run({kOutboxFirstSale, branch, till, day.toString(Qt::ISODate)});
    const int n = s.next() ? s.value(0).toInt() : 0;
    s.finish();
    return n;
}

}  // namespace Hul00002
