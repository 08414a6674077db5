#include "pos/sale/OfflineSales.h"

#include <QFileInfo>

#include "dataset/DataPacket.h"
#include "platform/OfflineState.h"
#include "platform/Platform.h"
#include "platform/Registro.h"
#include "platform/TADOConnection.h"
#include "platform/Transacao.h"
#include "pos/sale/CatchUp.h"
#include "pos/sale/HandOver.h"
#include "pos/sale/Statement.h"

namespace Hul00002 {

namespace {

// clang-format off
const char* const kMirrorSale =
    "INSERT OR IGNORE INTO VENDA (NRSEQVENDA, CDFILIAL, CDCAIXA, CDSERVFILI, CDCONSUMIDOR,"
    " CDCLIENTE, CDTIPOCONS, CDPRODUTO, QTVENDA, VRVENDA, DTHRREALCONCONS, DTENTRVENDA,"
    " HRREALCONCONS, IDSITUVENDA, NRCUPOMFISCAL, NRSEQLOGCAT, NRSEQARQIMP, DTCONSUMO, NRVENDA)"
    " VALUES (?, ?, ?, ?, ?, ?, ?, ?, 1, ?, ?, ?, ?, 'O', ?, ?, ?, ?, ?)";
const char* const kMirrorItem =
    "INSERT OR IGNORE INTO ITEMVENDA (NRSEQVENDA, NRITEM, CDPRODUTO, QTPRODUTO, VRUNITARIO,"
    " VRTOTAL) VALUES (?, ?, ?, ?, ?, ?)";
const char* const kMirrorReceipt =
    "INSERT OR IGNORE INTO CUPOMVENDA (NRSEQVENDA, CDFILIAL, CDCAIXA, NRCUPOM, DTEMISCUPOM,"
    " TXCUPOM, IDIMPRESSO) VALUES (?, ?, ?, ?, ?, ?, ?)";
const char* const kNumbering =
    "INSERT OR IGNORE INTO NUMCAIXA (CDFILIAL, CDCAIXA, NRULTVENDA, NRULTCUPOM)"
    " VALUES (?, ?, 0, 0)";
const char* const kRaiseNumbering =
    "UPDATE NUMCAIXA SET NRULTVENDA = MAX(NRULTVENDA, ?), NRULTCUPOM = MAX(NRULTCUPOM, ?)"
    " WHERE CDFILIAL = ? AND CDCAIXA = ?";
// clang-format on

QVariant textOrNull(const QString& s) {
    return s.isEmpty() ? QVariant(QMetaType(QMetaType::QString)) : QVariant(s);
}

QString sqliteTime(const QDateTime& d) {
    return d.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

// The records from `first` on, as a hand-over of their own.
QVariant recordsFrom(const QVariant& pacote, int first) {
    const dataset::DataPacket all = dataset::packetFromVariant(pacote);
    dataset::DataPacket::Builder b(all.fields());
    for (int row = first; row < all.rowCount(); ++row) {
        b.appendRow();
        for (int col = 0; col < all.fields().size(); ++col)
            if (all.isNull(row, col))
                b.setNull(col);
            else
                b.setValue(col, all.value(row, col));
    }
    return dataset::toVariant(b.finish());
}

SaleGeneratorOptions onCopy(const SaleGeneratorOptions& opcoes, const QString& copyPath, int first,
                            int total) {
    SaleGeneratorOptions o = opcoes;
    o.connectionString = copyPath;
    if (opcoes.progress)
        o.progress = [p = opcoes.progress, first, total](int done, int) { p(first + done, total); };
    return o;
}

}  // namespace

bool namesServer(const QString& connectionString) {
    try {
        return platform::ConnectionSettings::parse(connectionString).driver !=
               QLatin1String("QSQLITE");
    } catch (const std::exception&) {
        return false;  // the run itself says what is wrong with it
    }
}

bool serverAway(std::exception_ptr e) {
    QString text, code;
    try {
        std::rethrow_exception(e);
    } catch (const platform::DatabaseError& ex) {
        text = ex.driverText();
        code = ex.nativeCode();
    } catch (const platform::Error& ex) {
        text = ex.message();
    } catch (...) {
        return false;
    }
    const platform::Falha f = platform::classificaFalhaDoCaixa(text, code);
    // The connect's own deadline words it in the till's language.
    return f == platform::Falha::ServidorFora || f == platform::Falha::ConexaoPerdida ||
           text.contains(QLatin1String("o servidor não respondeu"));
}

std::unique_ptr<platform::TADOConnection> openTillCopy(const QString& copyPath,
                                                       const QString& server, const QString& branch,
                                                       const QString& till, TillCopyInfo* info) {
    const auto setAside = [&](const QString& why) {
        qCWarning(platform::lcBanco).noquote()
            << QStringLiteral("Cópia do caixa %1 não usada: %2").arg(copyPath, why);
        return nullptr;
    };
    if (!QFileInfo(copyPath).isFile()) return setAside(QStringLiteral("o arquivo não existe"));
    auto c = std::make_unique<platform::TADOConnection>();
    std::optional<TillCopyInfo> found;
    try {
        c->setReadOnly(false);
        c->setConnectionString(copyPath);
        c->setConnected(true);
        found = readTillCopyInfo(*c);
    } catch (...) {
        return setAside(platform::ADOExceptionMessage(std::current_exception(), c.get(), {}));
    }
    if (!found) return setAside(QStringLiteral("não é uma cópia desta versão (danificada?)"));
    if (found->branch != branch || found->till != till)
        return setAside(
            QStringLiteral("é do caixa %1 da filial %2").arg(found->till, found->branch));
    if (found->server != serverDigest(server))
        return setAside(QStringLiteral("é de outro servidor"));
    if (info) *info = *found;
    return c;
}

void mirrorIntoCopy(platform::TADOConnection& copy, const QList<CommittedSale>& sales) {
    if (sales.isEmpty()) return;
    platform::Transacao t(copy);
    Statement sale(copy, QString::fromUtf8(kMirrorSale)),
        item(copy, QString::fromUtf8(kMirrorItem)),
        receipt(copy, QString::fromUtf8(kMirrorReceipt)),
        numbering(copy, QString::fromUtf8(kNumbering)),
        raise(copy, QString::fromUtf8(kRaiseNumbering));
    for (const CommittedSale& s : sales) {
        sale.run({s.id, s.branch, s.till, s.service, s.consumer, textOrNull(s.client),
                  textOrNull(s.consumptionType), s.product, double(s.totalCents) / 100.0,
                  sqliteTime(s.consumedAt), sqliteTime(s.enteredAt), s.hour,
                  receiptNumberText(s.receiptNumber), textOrNull(s.logSeq), textOrNull(s.fileSeq),
                  s.day.toString(Qt::ISODate), s.saleNumber});
        const bool written = sale.rowsAffected() == 1;
        sale.finish();
        if (written) {
            int n = 0;
            for (const ReceiptItem& it : s.items)
                item.run({s.id, ++n, it.product, it.quantity, double(it.unitCents) / 100.0,
                          double(it.totalCents) / 100.0})
                    .finish();
            receipt
                .run({s.id, s.branch, s.till, s.receiptNumber, sqliteTime(s.enteredAt),
                      s.receiptText, s.printState})
                .finish();
        }
        numbering.run({s.branch, s.till}).finish();
        raise.run({s.saleNumber, s.receiptNumber, s.branch, s.till}).finish();
    }
    t.commit();
    qCInfo(platform::lcVenda).noquote()
        << QStringLiteral(
               "%1 venda(s) feitas no servidor antes da queda copiadas para a cópia "
               "do caixa.")
               .arg(sales.size());
}

SaleRun generateSalesOrKeep(const QVariant& pacote, const SaleGeneratorOptions& opcoes) {
    if (!namesServer(opcoes.connectionString)) return generateSales(pacote, opcoes);
    const HandOver handOver = HandOver::read(pacote);
    if (handOver.rowCount() == 0) return {};
    const QString branch = handOver.text(0, HandOverField::Branch);
    const QString till = handOver.text(0, HandOverField::Till);
    const QString copyPath = opcoes.copyPath.isEmpty() ? tillCopyPath() : opcoes.copyPath;
    const int total = handOver.rowCount();

    // Sales kept on the till go first: the server would otherwise sell their consumers again,
    // not knowing them. A server that does not answer here is not asked twice.
    std::exception_ptr away;
    try {
        if (outboxSize(copyPath) > 0) {
            CatchUpOptions o;
            o.lockWaitMs = 5000;
            catchUp(opcoes.connectionString, copyPath, {}, o);
        }
    } catch (...) {
        const std::exception_ptr e = std::current_exception();
        if (serverAway(e)) away = e;
        qCWarning(platform::lcVenda).noquote()
            << QStringLiteral("Vendas guardadas no caixa não enviadas antes da geração: ") +
                   platform::ADOExceptionMessage(e, nullptr, QString());
    }

    QList<CommittedSale> committed;
    SaleGeneratorOptions online = opcoes;
    online.committed = [&committed, &opcoes](const CommittedSale& s) {
        committed << s;
        if (opcoes.committed) opcoes.committed(s);
    };
    SaleRun run;
    if (!away) {
        try {
            run = generateSales(pacote, online);
        } catch (...) {
            away = std::current_exception();
            if (!serverAway(away)) throw;
        }
    }
    if (away) {
        TillCopyInfo info;
        auto copy = openTillCopy(copyPath, opcoes.connectionString, branch, till, &info);
        if (!copy) std::rethrow_exception(away);
        copy.reset();
        qCWarning(platform::lcVenda).noquote()
            << QStringLiteral("Geração sem o servidor: ") +
                   platform::ADOExceptionMessage(away, nullptr, QString());
        if (!offlineSalesAllowed()) {
            qCWarning(platform::lcVenda).noquote() << offlineSalesRefusedText();
            SaleRun refused;
            refused.refused = true;
            return refused;
        }
        platform::OfflineState::instance().setOffline(info.takenAt);
        run = generateSales(pacote, onCopy(opcoes, copyPath, 0, total));
        run.offline = true;
        return run;
    }
    if (run.connectionLostAt < 0) return run;

    TillCopyInfo info;
    auto copy = openTillCopy(copyPath, opcoes.connectionString, branch, till, &info);
    if (!copy) return run;  // the run reports the rest unsold, as without a copy
    // The sales already on the server first, so that the copy never sells one of them again.
    mirrorIntoCopy(*copy, committed);
    copy.reset();
    const int first = run.connectionLostAt;
    if (!offlineSalesAllowed()) {
        const QString why = QStringLiteral(
            "não processado: sem conexão com o servidor, e este caixa não vende sem ela");
        for (int i = first; i < run.outcomes.size(); ++i) run.outcomes[i].reason = why;
        return run;
    }
    platform::OfflineState::instance().setOffline(info.takenAt);
    qCWarning(platform::lcVenda).noquote()
        << QStringLiteral(
               "Conexão com o servidor perdida na geração: os %1 registros restantes "
               "vão para a cópia do caixa.")
               .arg(total - first);
    const SaleRun rest =
        generateSales(recordsFrom(pacote, first), onCopy(opcoes, copyPath, first, total));
    for (int i = 0; i < rest.outcomes.size() && first + i < run.outcomes.size(); ++i) {
        run.outcomes[first + i] = rest.outcomes.at(i);
        run.outcomes[first + i].record = first + i;
    }
    run.reprinted += rest.reprinted;
    run.interrupted = rest.interrupted;
    run.offline = true;
    return run;
}

}  // namespace Hul00002
