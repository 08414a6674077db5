#include "pos/sale/SaleGenerator.h"

#include <QHash>
#include <QSet>

#include <exception>

#include "platform/DialetoBanco.h"
#include "platform/Platform.h"
#include "platform/Registro.h"
#include "platform/TADOConnection.h"
#include "platform/Transacao.h"
#include "pos/sale/HandOver.h"
#include "pos/sale/PendingHandOvers.h"
#include "pos/sale/Receipt.h"
#include "pos/sale/SaleStore.h"
#include "pos/sale/SalesSchema.h"
#include "pos/touch/InputBlocker.h"
#include "pos/touch/WaitingWindow.h"

namespace Hul00002 {

namespace {

QVariant textOrNull(const QString& s) {
    return s.isEmpty() ? QVariant(QMetaType(QMetaType::QString)) : QVariant(s);
}

QString failureText(std::exception_ptr e, platform::TADOConnection* c) {
    return platform::ADOExceptionMessage(e, c, QString());
}

QString fileNamePart(const QString& s) {
    QString r = s;
    for (QChar& ch : r)
        if (!ch.isLetterOrNumber()) ch = QLatin1Char('_');
    return r;
}

// Prints a receipt the database holds as to be printed, then marks it printed. A PDF already
// written whole (a run stopped between the file and the mark) is not written again. A mark that
// fails leaves it to print: the next run finds the file, or prints it once more on paper.
QString printRecorded(const SaleGeneratorOptions& options, SaleStore& store,
                      const PendingReceipt& r, const QString& branch, const QString& till,
                      int sold) {
    const QString stem =
        QStringLiteral("%1-%2-%3-%4")
            .arg(fileNamePart(branch), fileNamePart(till),
                 r.day.toString(QStringLiteral("yyyyMMdd")), receiptNumberText(r.number));
    QString where = printedReceiptFile(stem, options.printer);
    if (where.isEmpty()) where = printReceipt(r.lines, stem, options.printer);
    if (options.hook) options.hook(SaleStep::Printed, sold);
    try {
        store.markPrinted(r.saleId);
    } catch (...) {
        qCWarning(platform::lcVenda).noquote()
            << QStringLiteral("Cupom %1 impresso, mas não marcado como impresso: %2")
                   .arg(receiptNumberText(r.number),
                        failureText(std::current_exception(), &store.connection()));
    }
    return where;
}

// Receipts of the tills of this hand-over that earlier runs left to print, as originals.
QList<ReprintedReceipt> printPending(const HandOver& h, const SaleGeneratorOptions& options,
                                     SaleStore& store) {
    QList<ReprintedReceipt> done;
    QSet<QString> seen;
    for (int row = 0; row < h.rowCount(); ++row) {
        const QString branch = h.text(row, HandOverField::Branch);
        const QString till = h.text(row, HandOverField::Till);
        if (branch.isEmpty() || till.isEmpty() || seen.contains(branch + QChar(0x1F) + till))
            continue;
        seen.insert(branch + QChar(0x1F) + till);
        QList<PendingReceipt> pending;
        try {
            pending = store.pendingReceipts(branch, till);
        } catch (...) {
            // The sales themselves still say what the database does; these wait for the next run.
            qCWarning(platform::lcVenda).noquote()
                << QStringLiteral("Cupons pendentes do caixa %1 não lidos: %2")
                       .arg(till, failureText(std::current_exception(), &store.connection()));
            continue;
        }
        for (const PendingReceipt& p : pending) {
            ReprintedReceipt r{branch, till, p.consumer, p.consumerName, p.number, {}, {}};
            try {
                r.printedTo = printRecorded(options, store, p, branch, till, 0);
            } catch (...) {
                r.printError = failureText(std::current_exception(), nullptr);
            }
            qCInfo(platform::lcVenda).noquote() << reprintedText(r);
            done << r;
        }
    }
    return done;
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

private:
    const Till& till(const QString& branch, const QString& till) {
        const QString key = branch + QChar(0x1F) + till;
        auto it = tills_.find(key);
        if (it == tills_.end()) {
            tillWide_ = true;  // left set when it raises: the catch reads it
            it = tills_.insert(key, store_.loadTill(branch, till));
            tillWide_ = false;
        }
        return it.value();
    }

    const QList<Product>& products(const Till& t, const QString& service, const QString& type) {
        const QString key =
            t.branch + QChar(0x1F) + t.till + QChar(0x1F) + service + QChar(0x1F) + type;
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
        o.status = SaleStatus::AlreadyServed;
        o.service = earlier.service;
        o.saleId = earlier.saleId;
        o.saleNumber = earlier.saleNumber;
        o.receiptNumber = earlier.receiptNumber;
        return true;
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
            if (fields.at(c).size > 0 && t.trimmed().size() > fields.at(c).size) {
                o.reason = QStringLiteral("o campo %1 tem %2 caracteres, mais que os %3 do campo")
                               .arg(fields.at(c).name)
                               .arg(t.trimmed().size())
                               .arg(fields.at(c).size);
                return false;
            }
        }
        return true;
    }

    bool consumerMayBuy(SaleOutcome& o) {
        const ConsumerOnFile c = store_.consumer(o.branch, o.consumer);
        if (!c.exists)
            o.reason = QStringLiteral("consumidor %1 não cadastrado").arg(o.consumer);
        else if (!c.active)
            o.reason = QStringLiteral("consumidor inativo");
        else if (!c.servedAtBranch)
            o.reason =
                QStringLiteral("o cliente do consumidor não é atendido na filial %1").arg(o.branch);
        return c.exists && c.active && c.servedAtBranch;
    }

    void sellRecord(int row, SaleOutcome& o) {
        if (o.branch.isEmpty() || o.till.isEmpty()) {
            o.reason = QStringLiteral("filial ou caixa não informados");
            return;
        }
        if (o.consumer.isEmpty()) {
            o.reason = QStringLiteral("código do consumidor não informado");
            return;
        }
        if (!textsFit(row, o)) return;
        const QDate day = handOver_.day(row);
        if (!day.isValid()) {
            o.reason = QStringLiteral("data da venda não informada");
            return;
        }
        if (day > platform::Hoje()) {
            o.reason = QStringLiteral("a data da venda (%1) é posterior a hoje")
                           .arg(day.toString(QStringLiteral("dd/MM/yyyy")));
            return;
        }
        const QString hourText = handOver_.text(row, HandOverField::Hour);
        const int hour = hourFromText(hourText);
        if (hour < 0) {
            o.reason = QStringLiteral("hora da venda inválida (\"%1\")").arg(hourText);
            return;
        }

        if (!consumerMayBuy(o)) return;
        const Till& t = till(o.branch, o.till);
        const Service* sv = serviceFor(t, hour, o);
        if (!sv) return;
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

        if (alreadyServed(sv->stored.code, day, o)) return;
        if (options_.hook) options_.hook(SaleStep::Checked, sold_);

        const QDateTime consumed(day, QTime(hour / 100, hour % 100));
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

        const QString dayKey =
            o.branch + QChar(0x1F) + o.till + QChar(0x1F) + day.toString(Qt::ISODate);
        if (const qint64 z = closedDays_.value(dayKey)) {
            dayClosed(o, day, z);
            return;
        }
        QStringList lines;
        {
            tillWide_ = true;  // left set when it raises: the catch reads it
            platform::Transacao tx(store_.connection());
            const auto [saleNumber, receiptNumber] = store_.nextNumbers(o.branch, o.till);
            tillWide_ = false;
            // Looked at inside the transaction: a closing made since the run began counts.
            if (const qint64 z = store_.closingOf(o.branch, o.till, day)) {
                tx.rollback();
                closedDays_.insert(dayKey, z);  // a closing is never undone
                dayClosed(o, day, z);
                return;
            }
            r.saleNumber = saleNumber;
            r.receiptNumber = receiptNumber;
            qint64 id = 0;
            QSqlError refusal;
            const bool written = store_.insertSale(
                {o.branch, o.till, sv->stored.code, o.consumer,
                 textOrNull(handOver_.text(row, HandOverField::Client)), textOrNull(type),
                 items.first().code, double(r.totalCents) / 100.0, store_.dateTime(consumed),
                 store_.dateTime(now), QStringLiteral("%1").arg(hour, 4, 10, QLatin1Char('0')),
                 receiptNumberText(receiptNumber),
                 textOrNull(handOver_.text(row, HandOverField::LogSeq)),
                 textOrNull(handOver_.text(row, HandOverField::FileSeq)), store_.day(day),
                 saleNumber},
                id, refusal);
            if (!written) {
                // A dead connection or a lock wait that ran out is no refusal: the run stops.
                const platform::Falha f = platform::classificaFalha(
                    refusal.databaseText() + QLatin1Char(' ') + refusal.driverText(),
                    refusal.nativeErrorCode(), store_.connection().dialeto());
                if (f == platform::Falha::ConexaoPerdida || f == platform::Falha::Bloqueio)
                    raiseDatabaseError(refusal);
                tx.rollback();
                // The database's rule against a second sale, met by a sale another run made
                // since the look above, whatever words the server has for it.
                if (alreadyServed(sv->stored.code, day, o)) return;
                raiseDatabaseError(refusal);
            }
            int n = 0;
            for (const ReceiptItem& it : r.items)
                store_.insertItem({id, ++n, it.product, it.quantity, double(it.unitCents) / 100.0,
                                   double(it.totalCents) / 100.0});
            lines = receiptLines(r);
            store_.insertReceipt({id, o.branch, o.till, receiptNumber, store_.dateTime(now),
                                  lines.join(QLatin1Char('\n')),
                                  sv->printsReceipt ? QStringLiteral("P") : QStringLiteral("N")});
            if (options_.hook) options_.hook(SaleStep::BeforeCommit, sold_);
            tx.commit();
            o.saleId = id;
            o.totalCents = r.totalCents;
            o.saleNumber = saleNumber;
            o.receiptNumber = receiptNumber;
        }
        o.status = SaleStatus::Sold;
        ++sold_;
        if (options_.hook) options_.hook(SaleStep::Committed, sold_);
        if (sv->printsReceipt) print(o, day, lines);
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
    int sold_ = 0;
    bool stopped_ = false;
    bool tillWide_ = false;
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
    return run;
}

SalePreview previewSales(platform::TADOConnection& c, const QVariant& pacote) {
    const HandOver h = HandOver::read(pacote);
    TillSetup setup(c);
    QHash<QString, Till> tills;
    SalePreview p;
    for (int row = 0; row < h.rowCount(); ++row) {
        const QString branch = h.text(row, HandOverField::Branch);
        const QString tillCode = h.text(row, HandOverField::Till);
        const int hour = hourFromText(h.text(row, HandOverField::Hour));
        if (branch.isEmpty() || tillCode.isEmpty() || hour < 0 || !h.day(row).isValid()) continue;
        const QString key = branch + QChar(0x1F) + tillCode;
        if (!tills.contains(key)) tills.insert(key, setup.loadTill(branch, tillCode));
        const Till& t = tills[key];
        QList<TillService> stored;
        for (const Service& s : t.services) stored << s.stored;
        const ServiceChoice choice = serviceForHour(stored, hour);
        if (choice.index < 0) continue;
        const Service& sv = t.services.at(choice.index);
        const QList<Product> items =
            setup.productsFor(t, sv.stored.code, h.text(row, HandOverField::ConsumptionType));
        if (items.isEmpty()) continue;
        ++p.sales;
        p.service = sv.stored.code;
        p.serviceName = sv.name;
        p.day = h.day(row);
        p.hour = hourWithColon(hour);
        for (const Product& it : items) p.totalCents += it.cents;
    }
    return p;
}

SaleRun runSaleGeneration(const QVariant& pacote, SaleGeneratorOptions opcoes) {
    auto progresso = std::move(opcoes.progress);
    opcoes.progress = [&progresso](int feitas, int total) {
        detail::showProgress(feitas, total);
        if (progresso) progresso(feitas, total);
    };
    SaleRun run;
    {
        detail::InputBlocker bloqueio;
        run = generateSales(pacote, opcoes);
    }
    // Support reads here what became of each consumer handed over.
    for (const SaleOutcome& o : run.outcomes) qCInfo(platform::lcVenda).noquote() << outcomeText(o);
    qCInfo(platform::lcVenda).noquote()
        << QStringLiteral("Geração terminada: %1 vendas, total R$ %2")
               .arg(run.count(SaleStatus::Sold))
               .arg(moneyText(run.soldCents()));
    const QString aviso = notSoldNotice(run);
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
    HandOver::read(pacote);
    const QString guardada = savePendingHandOver(pacote);
    const SaleRun run = runSaleGeneration(pacote, std::move(op));
    if (!run.interrupted && !run.receiptsPending()) removePendingHandOver(guardada);
    resultado = toVariant(run);
}

}  // namespace detail

}  // namespace Hul00002
