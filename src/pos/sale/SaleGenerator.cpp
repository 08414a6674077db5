#include "pos/sale/SaleGenerator.h"

#include <QHash>

#include <chrono>
#include <exception>
#include <optional>
#include <utility>

#include "platform/DialetoBanco.h"
#include "platform/Platform.h"
#include "platform/Registro.h"
#include "platform/TADOConnection.h"
#include "platform/Transacao.h"
#include "pos/sale/HandOver.h"
#include "pos/sale/PendingReceipts.h"
#include "pos/sale/Receipt.h"
#include "pos/sale/SaleStore.h"
#include "pos/sale/SalesSchema.h"

namespace Hul00002 {

namespace {

QVariant textOrNull(const QString& s) {
    return s.isEmpty() ? QVariant(QMetaType(QMetaType::QString)) : QVariant(s);
}

QString failureText(std::exception_ptr e, platform::TADOConnection* c) {
    return platform::ADOExceptionMessage(e, c, QString());
}

// ------------------------------------------------------------------ one run

// One run over a hand-over: the till's set-up, products and closed days read once each.
class SaleRunner {
public:
    SaleRunner(const HandOver& h, const SaleGeneratorOptions& o, SaleStore& s)
        : handOver_(h), options_(o), store_(s) {}

    SaleOutcome sell(int row) {
        SaleOutcome o;
        o.record = row;
        o.branch = handOver_.text(row, HandOverField::Branch);
        o.till = handOver_.text(row, HandOverField::Till);
        o.consumer = handOver_.text(row, HandOverField::Consumer);
        o.consumerName = handOver_.text(row, HandOverField::Name);
        o.badge = handOver_.text(row, HandOverField::Badge);
        if (stopped_) {
            o.reason = QStringLiteral("não processado: a geração parou na falha do banco de dados");
            return o;
        }
        try {
            tillWide_ = false;
            sellRecord(row, o);
        } catch (...) {
            // Whatever the database did not finish stays undone.
            o.status = SaleStatus::NotSold;
            o.saleId = o.saleNumber = o.receiptNumber = 0;
            const std::exception_ptr e = std::current_exception();
            const platform::Dialeto d = store_.connection().dialeto();
            const platform::Falha f = platform::classificaFalha(e, d);
            const QString words = failureText(e, &store_.connection());
            qCWarning(platform::lcVenda).noquote()
                << QStringLiteral("Falha na venda de %1: %2").arg(o.consumer, words);
            // A server locks rows: another till that holds this consumer's keeps only this
            // record back. SQLite locks the whole file, and the till's numbering is every
            // record's: the records after it are not tried, so that a failing database never
            // waits once per record or gets half a run.
            if (f == platform::Falha::ConexaoPerdida || f == platform::Falha::ServidorFora)
                lostAt_ = row;
            if (f == platform::Falha::Bloqueio && d != platform::Dialeto::Sqlite && !tillWide_) {
                o.reason = QStringLiteral("ocupado por outro caixa");
                return o;
            }
            QString what = platform::textoDaFalha(f);
            if (what.isEmpty()) what = words;
            if (what.isEmpty()) what = QStringLiteral("falha no banco de dados");
            what[0] = what.at(0).toLower();
            o.reason = what;
            stopped_ = true;
        }
        return o;
    }

    bool stopped() const { return stopped_; }
    int lostAt() const { return lostAt_; }

private:
    const Till& till(const QString& branch, const QString& till) {
        const QString key = tillKey(branch, till);
        auto it = tills_.find(key);
        if (it == tills_.end()) {
            tillWide_ = true;  // left set when it raises: the catch reads it
            it = tills_.insert(key, store_.loadTill(branch, till));
            tillWide_ = false;
        }
        return it.value();
    }

    const QList<Product>& products(const Till& t, const QString& service, const QString& type) {
        const QString key = tillKey(t.branch, t.till) + QChar(0x1F) + service + QChar(0x1F) + type;
        auto it = products_.find(key);
        if (it == products_.end())
            it = products_.insert(key, store_.setup().productsFor(t, service, type));
        return it.value();
    }

    // The service the hour gives, or null with the reason in the outcome.
    const Service* serviceFor(const Till& t, int hour, SaleOutcome& o) {
        QList<TillService> stored;
        for (const Service& s : t.services) stored << s.stored;
        const ServiceChoice c = serviceForHour(stored, hour);
        if (c.index >= 0) return &t.services.at(c.index);
        if (c.index == -1) {
            o.reason = QStringLiteral("nenhum serviço do caixa %1 atende às %2")
                           .arg(o.till, hourWithColon(hour));
            return nullptr;
        }
        QStringList which;
        for (int i : c.candidates) which << t.services.at(i).stored.code;
        o.reason = QStringLiteral("as %1 estão em mais de um serviço do caixa (%2)")
                       .arg(hourWithColon(hour), which.join(QStringLiteral(", ")));
        return nullptr;
    }

    bool alreadyServed(const QString& service, const QDate& day, SaleOutcome& o) {
        EarlierSale earlier;
        if (!store_.earlierSale(o.branch, o.till, service, o.consumer, day, earlier)) return false;
        served(earlier, o);
        return true;
    }

    static void served(const EarlierSale& earlier, SaleOutcome& o) {
        o.status = SaleStatus::AlreadyServed;
        o.service = earlier.service;
        o.saleId = earlier.saleId;
        o.saleNumber = earlier.saleNumber;
        o.receiptNumber = earlier.receiptNumber;
    }

    // Texts as the screen writes them: no NUL, which would cut a code short in the database,
    // and none longer than its field, which would put whatever came on a receipt.
    bool textsFit(int row, SaleOutcome& o) const {
        const dataset::FieldDefs& fields = handOverFieldDefs();
        for (int c = 0; c < kHandOverFieldCount; ++c) {
            const auto f = static_cast<HandOverField>(c);
            if (f == HandOverField::Day) continue;
            const QString t = handOver_.rawText(row, f);
            if (t.contains(QChar(0))) {
                o.reason =
                    QStringLiteral("o campo %1 tem um caractere nulo").arg(fields.at(c).name);
                return false;
            }
            if (fields.at(c).size > 0 && QStringView(t).trimmed().size() > fields.at(c).size) {
                o.reason = QStringLiteral("o campo %1 tem %2 caracteres, mais que os %3 do campo")
                               .arg(fields.at(c).name)
                               .arg(t.trimmed().size())
                               .arg(fields.at(c).size);
                return false;
            }
        }
        return true;
    }

    static bool consumerMayBuy(const ConsumerOnFile& c, SaleOutcome& o) {
        if (!c.exists)
            o.reason = QStringLiteral("consumidor %1 não cadastrado").arg(o.consumer);
        else if (!c.active)
            o.reason = QStringLiteral("consumidor inativo");
        else if (!c.servedAtBranch)
            o.reason =
                QStringLiteral("o cliente do consumidor não é atendido na filial %1").arg(o.branch);
        return c.exists && c.active && c.servedAtBranch;
    }

    // What a record says without asking the database; false with the reason in the outcome.
    bool recordFits(int row, SaleOutcome& o, QDate& day, int& hour) const {
        if (o.branch.isEmpty() || o.till.isEmpty()) {
            o.reason = QStringLiteral("filial ou caixa não informados");
            return false;
        }
        if (o.consumer.isEmpty()) {
            o.reason = QStringLiteral("código do consumidor não informado");
            return false;
        }
        if (!textsFit(row, o)) return false;
        day = handOver_.day(row);
        if (!day.isValid()) {
            o.reason = QStringLiteral("data da venda não informada");
            return false;
        }
        if (day > today()) {
            o.reason = QStringLiteral("a data da venda (%1) é posterior a hoje")
                           .arg(day.toString(QStringLiteral("dd/MM/yyyy")));
            return false;
        }
        const QString hourText = handOver_.text(row, HandOverField::Hour);
        hour = hourFromText(hourText);
        if (hour < 0) {
            o.reason = QStringLiteral("hora da venda inválida (\"%1\")").arg(hourText);
            return false;
        }
        return true;
    }

    // The look at the record after `row`, to be made in the statement that writes this sale:
    // only for a plain record of the same till and another consumer.
    std::optional<ConsumerLook> lookAhead(int row, const Till& t, const SaleOutcome& o) {
        const int next = row + 1;
        if (stopped_ || next >= handOver_.rowCount()) return std::nullopt;
        SaleOutcome n;
        n.branch = handOver_.text(next, HandOverField::Branch);
        n.till = handOver_.text(next, HandOverField::Till);
        n.consumer = handOver_.text(next, HandOverField::Consumer);
        QDate day;
        int hour = 0;
        if (n.branch != o.branch || n.till != o.till || n.consumer == o.consumer ||
            !recordFits(next, n, day, hour))
            return std::nullopt;
        const Service* sv = serviceFor(t, hour, n);
        ConsumerLook look;
        look.branch = n.branch;
        look.till = n.till;
        look.service = sv ? sv->stored.code : QString();
        look.consumer = n.consumer;
        look.day = day;
        return look;
    }

    void sellRecord(int row, SaleOutcome& o) {
        QDate day;
        int hour = 0;
        if (!recordFits(row, o, day, hour)) return;

        // The service first, so that the consumer and its earlier sale take one look; the
        // reasons keep their order: the consumer's, the service's, then the earlier sale.
        const Till& t = till(o.branch, o.till);
        SaleOutcome noService = o;
        const Service* sv = serviceFor(t, hour, noService);
        const QString service = sv ? sv->stored.code : QString();
        bool servedBefore = false;
        EarlierSale earlier;
        ConsumerOnFile onFile;
        // Looked at already in the statement of the sale before, when that one was written.
        if (ahead_ && ahead_->first == row && ahead_->second.consumer == o.consumer &&
            ahead_->second.service == service && ahead_->second.day == day) {
            onFile = ahead_->second.onFile;
            servedBefore = ahead_->second.earlier;
            earlier = ahead_->second.found;
        } else {
            onFile = store_.consumerAndEarlierSale(o.branch, o.till, service, o.consumer, day,
                                                   servedBefore, earlier);
        }
        ahead_.reset();
        if (!consumerMayBuy(onFile, o)) return;
        if (!sv) {
            o.reason = noService.reason;
            return;
        }
        o.service = sv->stored.code;

        const QString type = handOver_.text(row, HandOverField::ConsumptionType);
        const QList<Product> items = products(t, sv->stored.code, type);
        if (items.isEmpty()) {
            o.reason =
                QStringLiteral("nenhum produto cadastrado para o serviço %1 (tipo de consumo %2)")
                    .arg(sv->stored.code, type.isEmpty() ? QStringLiteral("vazio") : type);
            return;
        }
        for (const Product& p : items)
            if (!p.registered) {
                o.reason = QStringLiteral("o produto %1 do serviço %2 não está cadastrado")
                               .arg(p.code, sv->stored.code);
                return;
            }

        if (servedBefore) {
            served(earlier, o);
            return;
        }
        if (options_.hook) options_.hook(SaleStep::Checked, sold_);

        const QDateTime consumed = consumedAt(day, hour);
        const QDateTime now = platform::Agora();
        ReceiptData r;
        r.branch = o.branch;
        r.branchName = t.branchName;
        r.till = o.till;
        r.tillName = t.tillName;
        r.consumedAt = consumed;
        r.issuedAt = now;
        r.consumer = o.consumer;
        r.consumerName = o.consumerName;
        r.badge = o.badge;
        r.service = sv->stored.code;
        r.serviceName = sv->name;
        for (const Product& p : items) {
            r.items << ReceiptItem{p.code, p.name, p.cents, 1, p.cents};
            r.totalCents += p.cents;
        }

        if (const qint64 z = closedDays_.value(dayKey(o, day))) {
            dayClosed(o, day, z);
            return;
        }
        const Draft draft{row, o, *sv, type, items, day, hour, consumed, now};
        QStringList lines;
        if (!(store_.writesAtOnce() && !options_.hook ? writeAtOnce(draft, t, r, o, lines)
                                                      : writeInTransaction(draft, t, r, o, lines)))
            return;
        if (options_.committed)
            options_.committed({o.saleId,
                                o.branch,
                                o.till,
                                o.service,
                                o.consumer,
                                handOver_.text(row, HandOverField::Client),
                                type,
                                items.first().code,
                                r.totalCents,
                                consumed,
                                now,
                                QStringLiteral("%1").arg(hour, 4, 10, QLatin1Char('0')),
                                o.saleNumber,
                                o.receiptNumber,
                                handOver_.text(row, HandOverField::LogSeq),
                                handOver_.text(row, HandOverField::FileSeq),
                                day,
                                r.items,
                                lines.join(QLatin1Char('\n')),
                                sv->printsReceipt ? QStringLiteral("P") : QStringLiteral("N")});
        o.status = SaleStatus::Sold;
        ++sold_;
        if (options_.hook) options_.hook(SaleStep::Committed, sold_);
        if (sv->printsReceipt) print(o, day, lines);
    }

    // What a sale is made of before its numbers are known.
    struct Draft {
        int row;
        const SaleOutcome& o;
        const Service& service;
        const QString& type;
        const QList<Product>& items;
        QDate day;
        int hour;
        QDateTime consumed, now;
    };

    SaleRows saleRows(const Draft& d, const ReceiptData& r, const QStringList& lines) const {
        SaleRows rows;
        rows.sale = {d.o.branch,
                     d.o.till,
                     d.service.stored.code,
                     d.o.consumer,
                     textOrNull(handOver_.text(d.row, HandOverField::Client)),
                     textOrNull(d.type),
                     d.items.first().code,
                     double(r.totalCents) / 100.0,
                     store_.dateTime(d.consumed),
                     store_.dateTime(d.now),
                     QStringLiteral("%1").arg(d.hour, 4, 10, QLatin1Char('0')),
                     receiptNumberText(r.receiptNumber),
                     textOrNull(handOver_.text(d.row, HandOverField::LogSeq)),
                     textOrNull(handOver_.text(d.row, HandOverField::FileSeq)),
                     store_.day(d.day),
                     r.saleNumber};
        int n = 0;
        for (const ReceiptItem& it : r.items)
            rows.items << QVariantList{++n, it.product, it.quantity, double(it.unitCents) / 100.0,
                                       double(it.totalCents) / 100.0};
        rows.receipt = {d.o.branch,
                        d.o.till,
                        r.receiptNumber,
                        store_.dateTime(d.now),
                        lines.join(QLatin1Char('\n')),
                        d.service.printsReceipt ? QStringLiteral("P") : QStringLiteral("N")};
        return rows;
    }

    void soldAs(SaleOutcome& o, const ReceiptData& r, qint64 id) {
        o.saleId = id;
        o.totalCents = r.totalCents;
        o.saleNumber = r.saleNumber;
        o.receiptNumber = r.receiptNumber;
    }

    // A refused write: a dead connection or a lock wait that ran out is no refusal and stops
    // the run; the database's rule against a second sale, met by a sale another run made since
    // the look, whatever words the server has for it, is the earlier sale.
    void refused(const Draft& d, const QSqlError& refusal, SaleOutcome& o,
                 platform::Transacao* tx) {
        const platform::Falha f = platform::classificaFalha(refusal, store_.connection().dialeto());
        if (f == platform::Falha::ConexaoPerdida || f == platform::Falha::Bloqueio)
            raiseDatabaseError(refusal);
        if (tx) tx->rollback();
        if (alreadyServed(d.service.stored.code, d.day, o)) return;
        raiseDatabaseError(refusal);
    }

    // The sale in a transaction of its own: numbers, closing check and rows, then the commit.
    bool writeInTransaction(const Draft& d, const Till& t, ReceiptData& r, SaleOutcome& o,
                            QStringList& lines) {
        tillWide_ = true;  // left set when it raises: the catch reads it
        platform::Transacao tx(store_.connection());
        const auto [saleNumber, receiptNumber] = store_.nextNumbers(o.branch, o.till, d.day);
        tillWide_ = false;
        r.saleNumber = saleNumber;
        r.receiptNumber = receiptNumber;
        lines = receiptLines(r);
        const SaleRows rows = saleRows(d, r, lines);
        qint64 id = 0, closing = 0;
        QSqlError refusal;
        // The day's closing is looked at inside the transaction: one made since the run began
        // counts.
        std::optional<ConsumerLook> next = lookAhead(d.row, t, o);
        const bool written = store_.recordSale(o.branch, o.till, d.day, rows, closing, id, refusal,
                                               next ? &*next : nullptr);
        if (next && next->done) ahead_.emplace(d.row + 1, *next);
        if (written && closing) {
            tx.rollback();
            closed(o, d.day, closing);
            return false;
        }
        if (!written) {
            refused(d, refusal, o, &tx);
            return false;
        }
        if (options_.hook) options_.hook(SaleStep::BeforeCommit, sold_);
        tx.commit();
        soldAs(o, r, id);
        return true;
    }

    // The sale in one call, which is its transaction. The receipt carries the numbers the
    // till's last sale in this run leads to; another process that sold at the till meanwhile
    // costs one more call with the numbers the server gives back.
    bool writeAtOnce(const Draft& d, const Till& t, ReceiptData& r, SaleOutcome& o,
                     QStringList& lines) {
        const QString key = tillKey(o.branch, o.till);
        std::pair<qint64, qint64> numbers = nextNumbers_.value(key, {0, 0});
        for (int attempt = 0;; ++attempt) {
            r.saleNumber = numbers.first;
            r.receiptNumber = numbers.second;
            lines = receiptLines(r);
            std::optional<ConsumerLook> next = lookAhead(d.row, t, o);
            tillWide_ = true;  // left set when it raises: the catch reads it
            const SaleStore::AtOnce a =
                store_.recordSaleAtOnce(saleRows(d, r, lines), next ? &*next : nullptr);
            tillWide_ = a.numberingBusy;
            if (next && next->done) ahead_.emplace(d.row + 1, *next);
            switch (a.result) {
                case SaleStore::AtOnce::Sold:
                    nextNumbers_.insert(key, {a.saleNumber + 1, a.receiptNumber + 1});
                    soldAs(o, r, a.id);
                    return true;
                case SaleStore::AtOnce::Closed:
                    closed(o, d.day, a.closing);
                    return false;
                case SaleStore::AtOnce::Renumbered:
                    numbers = {a.saleNumber, a.receiptNumber};
                    nextNumbers_.insert(key, numbers);
                    if (attempt < 3) continue;
                    // Other sales at this till keep coming in between: take turns on its row.
                    tillWide_ = false;
                    return writeInTransaction(d, t, r, o, lines);
                case SaleStore::AtOnce::NoNumbering:
                    tillWide_ = true;
                    raiseNoNumbering(o.branch, o.till);
                case SaleStore::AtOnce::Refused:
                    refused(d, a.error, o, nullptr);
                    return false;
            }
        }
    }

    // Keys of the run's caches and of what it learnt, per till.
    static QString tillKey(const QString& branch, const QString& till) {
        return branch + QChar(0x1F) + till;
    }
    static QString dayKey(const SaleOutcome& o, const QDate& day) {
        return tillKey(o.branch, o.till) + QChar(0x1F) + day.toString(Qt::ISODate);
    }

    void closed(SaleOutcome& o, const QDate& day, qint64 closing) {
        closedDays_.insert(dayKey(o, day), closing);  // a closing is never undone
        dayClosed(o, day, closing);
    }

    // The date, asked of the clock at most once a second: each asking reads the system's time
    // zone, and every record asks, twice with the look ahead.
    QDate today() const {
        const auto now = std::chrono::steady_clock::now();
        if (!today_.isValid() || now - todayAskedAt_ >= std::chrono::seconds(1)) {
            today_ = platform::Hoje();
            todayAskedAt_ = now;
        }
        return today_;
    }

    // The records of a hand-over share their day and hour: the local date-time, whose making
    // reads the system's time zone, is made once for them.
    QDateTime consumedAt(const QDate& day, int hour) {
        if (day != consumedDay_ || hour != consumedHour_) {
            consumed_ = QDateTime(day, QTime(hour / 100, hour % 100));
            consumedDay_ = day;
            consumedHour_ = hour;
        }
        return consumed_;
    }

    static void dayClosed(SaleOutcome& o, const QDate& day, qint64 z) {
        o.reason = QStringLiteral("dia fechado (Redução Z nº %1 do caixa %2 em %3)")
                       .arg(z)
                       .arg(o.till, day.toString(QStringLiteral("dd/MM/yyyy")));
    }

    // The sale stands whatever the printer does; a receipt that did not print is reported
    // and stays to print for the next run.
    void print(SaleOutcome& o, const QDate& day, const QStringList& lines) {
        try {
            o.printedTo =
                printRecorded(options_, store_, {o.saleId, o.receiptNumber, day, {}, {}, lines},
                              o.branch, o.till, sold_);
        } catch (...) {
            o.printError = failureText(std::current_exception(), nullptr);
        }
    }

    const HandOver& handOver_;
    const SaleGeneratorOptions& options_;
    SaleStore& store_;
    QHash<QString, Till> tills_;
    QHash<QString, QList<Product>> products_;
    QHash<QString, qint64> closedDays_;  // branch, till and day -> closing number
    QHash<QString, std::pair<qint64, qint64>> nextNumbers_;  // branch and till -> as last seen
    std::optional<std::pair<int, ConsumerLook>> ahead_;      // the next record's look, made early
    mutable QDate today_;
    QDate consumedDay_;
    int consumedHour_ = -1;
    QDateTime consumed_;
    mutable std::chrono::steady_clock::time_point todayAskedAt_;
    int sold_ = 0;
    bool stopped_ = false;
    bool tillWide_ = false;
    int lostAt_ = -1;
};

}  // namespace

SaleRun generateSales(const QVariant& pacote, const SaleGeneratorOptions& opcoes) {
    const HandOver handOver = HandOver::read(pacote);
    SaleRun run;
    const int total = handOver.rowCount();
    if (total == 0) return run;

    platform::TADOConnection conexao;
    conexao.setReadOnly(false);
    conexao.setConnectionString(opcoes.connectionString);
    conexao.setConnected(true);
    ensureSalesSchema(conexao);
    SaleStore store(conexao);
    run.reprinted = printPending(handOver, opcoes, store);
    SaleRunner runner(handOver, opcoes, store);
    for (int row = 0; row < total; ++row) {
        run.outcomes << runner.sell(row);
        if (opcoes.progress) opcoes.progress(row + 1, total);
    }
    run.interrupted = runner.stopped();
    run.connectionLostAt = runner.lostAt();
    return run;
}

}  // namespace Hul00002
