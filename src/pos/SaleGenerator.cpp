#include "pos/SaleGenerator.h"

#include <QHash>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>

#include <exception>
#include <memory>

#include "dataset/DataPacket.h"
#include "platform/DialetoBanco.h"
#include "platform/Platform.h"
#include "platform/Registro.h"
#include "platform/TADOConnection.h"
#include "platform/Transacao.h"
#include "pos/Processo.h"
#include "pos/Receipt.h"
#include "pos/SalesSchema.h"

namespace Hul00002 {

namespace {

const char* const kCampos[] = {"CDFILIAL",     "CDCAIXA",     "CDIDCONSUMID", "CDCONSUMIDOR",
                               "NMCONSUMIDOR", "CDCLIENTE",   "CDTIPOCONS",   "DATAREAL",
                               "HORAREAL",     "NRSEQLOGCAT", "NRSEQARQIMP"};
enum Campo {
    cFilial,
    cCaixa,
    cCracha,
    cConsumidor,
    cNome,
    cCliente,
    cTipo,
    cData,
    cHora,
    cLogCat,
    cArqImp,
    cTotal
};

// ------------------------------------------------------------------ the hand-over

struct Entrega {
    dataset::DataPacket pacote;
    int col[cTotal] = {};
    QString texto(int row, Campo c) const { return pacote.text(row, col[c]).trimmed(); }
};

Entrega leEntrega(const QVariant& v) {
    if (!dataset::isDataPacket(v))
        throw platform::Error(QStringLiteral(
            "A geração de vendas recebeu algo que não é um pacote de dados. Nenhuma venda foi "
            "gerada."));
    Entrega e;
    e.pacote = dataset::packetFromVariant(v);
    QStringList faltam;
    for (int c = 0; c < cTotal; ++c) {
        e.col[c] = e.pacote.fieldIndex(QLatin1String(kCampos[c]));
        if (e.col[c] < 0) faltam << QLatin1String(kCampos[c]);
    }
    if (!faltam.isEmpty())
        throw platform::Error(
            QStringLiteral("O pacote de venda não tem %1 %2. Nenhuma venda foi "
                           "gerada.")
                .arg(faltam.size() == 1 ? QStringLiteral("o campo") : QStringLiteral("os campos"),
                     faltam.join(QStringLiteral(", "))));
    const dataset::FieldType tipoData = e.pacote.fields().at(e.col[cData]).type;
    if (tipoData != dataset::FieldType::DateTime && tipoData != dataset::FieldType::Date)
        throw platform::Error(QStringLiteral(
            "O campo DATAREAL do pacote de venda não é uma data. Nenhuma venda foi gerada."));
    // As a number, 0730 would read as 730 and could not be told from a mistyped hour.
    if (!e.pacote.fields().at(e.col[cHora]).isText())
        throw platform::Error(QStringLiteral(
            "O campo HORAREAL do pacote de venda não é um texto HHMM. Nenhuma venda foi gerada."));
    return e;
}

// "HHMM" -> minutes are not needed: the hour as the integer of its digits, or -1.
int leHora(const QString& t) {
    static const QRegularExpression re(QStringLiteral("^([0-9]{2})([0-9]{2})$"));
    const auto m = re.match(t);
    if (!m.hasMatch()) return -1;
    const int h = m.captured(1).toInt();
    const int min = m.captured(2).toInt();
    return h < 24 && min < 60 ? h * 100 + min : -1;
}

QString horaComDoisPontos(int hhmm) {
    return QStringLiteral("%1:%2")
        .arg(hhmm / 100, 2, 10, QLatin1Char('0'))
        .arg(hhmm % 100, 2, 10, QLatin1Char('0'));
}

// ------------------------------------------------------------------ the till's set-up

struct Produto {
    QString codigo, nome;
    qint64 centavos = 0;
    bool cadastrado = true;
};

struct Servico {
    QString codigo, nome;
    ServiceWindow janela;
    bool horarioValido = true;
    bool imprimeCupom = false;
};

struct Caixa {
    QString filial, caixa, nomeFilial, nomeCaixa;
    QList<Servico> servicos;
    QHash<QString, QList<Produto>> produtos;  // service, or service + type
};

// ------------------------------------------------------------------ statements

// A failed statement: the database's own words.
[[noreturn]] void falhaDe(const QSqlError& e) {
    QString texto = e.databaseText().trimmed();
    if (texto.isEmpty()) texto = e.driverText().trimmed();
    throw platform::DatabaseError(texto, e.nativeErrorCode());
}
[[noreturn]] void falhaDe(const QSqlQuery& q) {
    falhaDe(q.lastError());
}

class Comando {
public:
    Comando(const QSqlDatabase& db, const QString& sql) : q_(db) {
        q_.setForwardOnly(true);
        if (!q_.prepare(sql)) falhaDe(q_);
    }
    // Runs with these values; false (and the error kept) when the database refuses.
    bool tenta(const QVariantList& valores) {
        for (int i = 0; i < valores.size(); ++i) q_.bindValue(i, valores.at(i));
        return q_.exec();
    }
    void roda(const QVariantList& valores) {
        if (!tenta(valores)) falhaDe(q_);
    }
    QSqlQuery& q() { return q_; }
    // A finished read holds no snapshot: a later write must see what others committed.
    void fim() { q_.finish(); }

private:
    QSqlQuery q_;
};

QVariant textoOuNulo(const QString& s) {
    return s.isEmpty() ? QVariant(QMetaType(QMetaType::QString)) : QVariant(s);
}

qint64 centavos(const QVariant& v) {
    return qRound64(v.toDouble() * 100.0);
}

// Statements in the connection's dialect. Date-times go to SQLite as text that sorts as time;
// the servers take them typed.
class Banco {
public:
    explicit Banco(platform::TADOConnection& c)
        : conexao_(c),
          servidor_(c.isSqlServer()),
          postgres_(c.dialeto() == platform::Dialeto::Postgres),
          db_(c.database()),
          servicos_(db_, QStringLiteral(
                             "SELECT SC.CDSERVFILI, SE.NMSERVICO, SC.HRINISERTUR, SC.HRFINSERTUR,"
                             " SC.IDIMPCUPOMAUT FROM SERVTURCAIXA SC, SERVICO SE"
                             " WHERE SC.CDSERVFILI = SE.CDSERVFILI AND SC.CDFILIAL = ?"
                             " AND SC.CDCAIXA = ? ORDER BY SC.CDSERVFILI")),
          nomes_(db_, QStringLiteral("SELECT (SELECT NMFILIAL FROM FILIAL WHERE CDFILIAL = ?),"
                                     " (SELECT NMCAIXA FROM CAIXA WHERE CDFILIAL = ?"
                                     " AND CDCAIXA = ?)")),
          prodServ_(db_, QStringLiteral(
                             "SELECT PT.CDPRODUTO, PR.NMPRODUTO, PR.VRPRECO FROM PRODTURCAIXA PT"
                             " LEFT JOIN PRODUTO PR ON PR.CDPRODUTO = PT.CDPRODUTO"
                             " WHERE PT.CDSERVFILI = ? AND PT.CDFILIAL = ? AND PT.CDCAIXA = ?"
                             " ORDER BY PT.CDPRODUTO")),
          prodTipo_(db_, QStringLiteral(
                             "SELECT PC.CDPRODUTO, PR.NMPRODUTO, PR.VRPRECO FROM PRODSERVTCON PC"
                             " LEFT JOIN PRODUTO PR ON PR.CDPRODUTO = PC.CDPRODUTO"
                             " WHERE PC.CDSERVFILI = ? AND PC.CDFILIAL = ? AND PC.CDCAIXA = ?"
                             " AND PC.CDTIPOCONS = ? ORDER BY PC.CDPRODUTO")),
          numerador_(
              db_, QStringLiteral("INSERT INTO NUMCAIXA (CDFILIAL, CDCAIXA, NRULTVENDA, NRULTCUPOM)"
                                  " SELECT ?, ?,"
                                  " COALESCE((SELECT MAX(NRVENDA) FROM VENDA"
                                  " WHERE CDFILIAL = ? AND CDCAIXA = ?), 0),"
                                  " COALESCE((SELECT MAX(NRCUPOM) FROM CUPOMVENDA"
                                  " WHERE CDFILIAL = ? AND CDCAIXA = ?), 0)"
                                  " WHERE NOT EXISTS (SELECT 1 FROM NUMCAIXA"
                                  " WHERE CDFILIAL = ? AND CDCAIXA = ?)")),
          atendido_(
              db_,
              servidor_
                  ? QStringLiteral("SELECT TOP 1 CDSERVFILI, NRSEQVENDA, NRVENDA, NRCUPOMFISCAL"
                                   " FROM VENDA WHERE CDCONSUMIDOR = ? AND CDFILIAL = ?"
                                   " AND CDCAIXA = ? AND CDSERVFILI = ? AND IDSITUVENDA = 'O'"
                                   " AND ((DTHRREALCONCONS >= ? AND DTHRREALCONCONS < ?)"
                                   " OR DTCONSUMO = ?) ORDER BY NRSEQVENDA")
                  : QStringLiteral("SELECT CDSERVFILI, NRSEQVENDA, NRVENDA, NRCUPOMFISCAL"
                                   " FROM VENDA WHERE CDCONSUMIDOR = ? AND CDFILIAL = ?"
                                   " AND CDCAIXA = ? AND CDSERVFILI = ? AND IDSITUVENDA = 'O'"
                                   " AND ((DTHRREALCONCONS >= ? AND DTHRREALCONCONS < ?)"
                                   " OR DTCONSUMO = ?) ORDER BY NRSEQVENDA LIMIT 1")),
          avanca_(db_, QStringLiteral("UPDATE NUMCAIXA SET NRULTVENDA = NRULTVENDA + 1,"
                                      " NRULTCUPOM = NRULTCUPOM + 1"
                                      " WHERE CDFILIAL = ? AND CDCAIXA = ?")),
          numeros_(db_, QStringLiteral("SELECT NRULTVENDA, NRULTCUPOM FROM NUMCAIXA"
                                       " WHERE CDFILIAL = ? AND CDCAIXA = ?")),
          venda_(db_, QStringLiteral(
                          "INSERT INTO VENDA (CDFILIAL, CDCAIXA, CDSERVFILI, CDCONSUMIDOR,"
                          " CDCLIENTE, CDTIPOCONS, CDPRODUTO, QTVENDA, VRVENDA, DTHRREALCONCONS,"
                          " DTENTRVENDA, HRREALCONCONS, IDSITUVENDA, NRCUPOMFISCAL, NRSEQLOGCAT,"
                          " NRSEQARQIMP, DTCONSUMO, NRVENDA)") +
                          (servidor_ ? QStringLiteral(" OUTPUT INSERTED.NRSEQVENDA") : QString()) +
                          QStringLiteral(" VALUES (?, ?, ?, ?, ?, ?, ?, 1, ?, ?, ?, ?, 'O', ?, ?,"
                                         " ?, ?, ?)") +
                          (postgres_ ? QStringLiteral(" RETURNING NRSEQVENDA") : QString())),
          item_(db_, QStringLiteral("INSERT INTO ITEMVENDA (NRSEQVENDA, NRITEM, CDPRODUTO,"
                                    " QTPRODUTO, VRUNITARIO, VRTOTAL) VALUES (?, ?, ?, ?, ?, ?)")),
          cupom_(db_, QStringLiteral("INSERT INTO CUPOMVENDA (NRSEQVENDA, CDFILIAL, CDCAIXA,"
                                     " NRCUPOM, DTEMISCUPOM, TXCUPOM, IDIMPRESSO)"
                                     " VALUES (?, ?, ?, ?, ?, ?, 'N')")),
          impresso_(db_, QStringLiteral("UPDATE CUPOMVENDA SET IDIMPRESSO = 'S'"
                                        " WHERE NRSEQVENDA = ?")),
          // On SQL Server under the lock that a closing of the day takes, so that a sale
          // either commits before the closing reads the day or sees the closing.
          fechado_(db_, servidor_ ? QStringLiteral("SELECT NRFECHAMENTO FROM FECHACAIXA"
                                                   " WITH (UPDLOCK, HOLDLOCK) WHERE CDFILIAL = ?"
                                                   " AND CDCAIXA = ? AND DTMOVIMENTO = ?")
                                  : QStringLiteral("SELECT NRFECHAMENTO FROM FECHACAIXA"
                                                   " WHERE CDFILIAL = ? AND CDCAIXA = ?"
                                                   " AND DTMOVIMENTO = ?")) {
        if (!servidor_ && !postgres_)
            ultimo_ = std::make_unique<Comando>(db_, QStringLiteral("SELECT last_insert_rowid()"));
    }

    platform::TADOConnection& conexao() { return conexao_; }

    QVariant dataHora(const QDateTime& d) const {
        return servidor_ || postgres_ ? QVariant(d)
                                      : QVariant(d.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
    }
    QVariant dia(const QDate& d) const {
        return servidor_ || postgres_ ? QVariant(d)
                                      : QVariant(d.toString(QStringLiteral("yyyy-MM-dd")));
    }

    Caixa carregaCaixa(const QString& filial, const QString& caixa) {
        Caixa c;
        c.filial = filial;
        c.caixa = caixa;
        nomes_.roda({filial, filial, caixa});
        if (nomes_.q().next()) {
            c.nomeFilial = nomes_.q().value(0).toString().trimmed();
            c.nomeCaixa = nomes_.q().value(1).toString().trimmed();
        }
        nomes_.fim();
        servicos_.roda({filial, caixa});
        while (servicos_.q().next()) {
            Servico s;
            s.codigo = servicos_.q().value(0).toString().trimmed();
            s.nome = servicos_.q().value(1).toString().trimmed();
            bool okIni = false, okFim = false;
            s.janela.start = servicos_.q().value(2).toString().trimmed().toInt(&okIni);
            s.janela.end = servicos_.q().value(3).toString().trimmed().toInt(&okFim);
            s.horarioValido = okIni && okFim;
            s.imprimeCupom = servicos_.q().value(4).toString().trimmed().compare(
                                 QLatin1String("S"), Qt::CaseInsensitive) == 0;
            c.servicos << s;
        }
        servicos_.fim();
        // A till that never sold starts its numbers after whatever it already has.
        if (!numerador_.tenta({filial, caixa, filial, caixa, filial, caixa, filial, caixa})) {
            const QSqlError falhou = numerador_.q().lastError();
            numeros_.roda({filial, caixa});
            const bool existe = numeros_.q().next();
            numeros_.fim();
            if (!existe) falhaDe(falhou);  // not the other process's row: a real failure
        }
        numerador_.fim();
        return c;
    }

    QList<Produto> produtos(const Caixa& c, const QString& servico, const QString& tipo) {
        Comando& cmd = tipo.isNull() ? prodServ_ : prodTipo_;
        if (tipo.isNull())
            cmd.roda({servico, c.filial, c.caixa});
        else
            cmd.roda({servico, c.filial, c.caixa, tipo});
        QList<Produto> r;
        while (cmd.q().next()) {
            Produto p;
            p.codigo = cmd.q().value(0).toString().trimmed();
            p.cadastrado = !cmd.q().value(1).isNull();
            p.nome = cmd.q().value(1).toString().trimmed();
            p.centavos = centavos(cmd.q().value(2));
            r << p;
        }
        cmd.fim();
        return r;
    }

    // The valid sale already recorded for that consumer, service and day, if any: by its time,
    // as the attendance list finds it, or by its stored day, as the database's rule does.
    bool jaAtendido(const QString& filial, const QString& caixa, const QString& servico,
                    const QString& consumidor, const QDate& d, SaleOutcome& o) {
        atendido_.roda({consumidor, filial, caixa, servico, dataHora(QDateTime(d, QTime(0, 0))),
                        dataHora(QDateTime(d.addDays(1), QTime(0, 0))), dia(d)});
        const bool achou = atendido_.q().next();
        if (achou) {
            o.service = atendido_.q().value(0).toString().trimmed();
            o.saleId = atendido_.q().value(1).toLongLong();
            o.saleNumber = atendido_.q().value(2).toLongLong();
            o.receiptNumber = atendido_.q().value(3).toString().trimmed().toLongLong();
        }
        atendido_.fim();
        return achou;
    }

    // The number of the till's closing of that day; 0 while the day is open.
    qint64 fechamento(const QString& filial, const QString& caixa, const QDate& d) {
        fechado_.roda({filial, caixa, dia(d)});
        const qint64 n = fechado_.q().next() ? fechado_.q().value(0).toLongLong() : 0;
        fechado_.fim();
        return n;
    }

    // Inside the sale's transaction: the till's next numbers. The update comes first, so that
    // the transaction holds the till's numbering until it ends.
    std::pair<qint64, qint64> proximosNumeros(const QString& filial, const QString& caixa) {
        avanca_.roda({filial, caixa});
        if (avanca_.q().numRowsAffected() != 1)
            throw platform::Error(
                QStringLiteral("A numeração do caixa %1 da filial %2 não foi encontrada.")
                    .arg(caixa, filial));
        avanca_.fim();
        numeros_.roda({filial, caixa});
        if (!numeros_.q().next()) falhaDe(numeros_.q());
        const std::pair<qint64, qint64> r{numeros_.q().value(0).toLongLong(),
                                          numeros_.q().value(1).toLongLong()};
        numeros_.fim();
        return r;
    }

    // False when the database refused the sale row; the error stays in `erro`.
    bool insereVenda(const QVariantList& valores, qint64& id, QSqlError& erro) {
        if (!venda_.tenta(valores)) {
            erro = venda_.q().lastError();
            venda_.fim();
            return false;
        }
        if (!ultimo_) {
            if (!venda_.q().next()) falhaDe(venda_.q());
            id = venda_.q().value(0).toLongLong();
            venda_.fim();
        } else {
            venda_.fim();
            ultimo_->roda({});
            if (!ultimo_->q().next()) falhaDe(ultimo_->q());
            id = ultimo_->q().value(0).toLongLong();
            ultimo_->fim();
        }
        return true;
    }
    void insereItem(const QVariantList& v) { item_.roda(v); }
    void insereCupom(const QVariantList& v) { cupom_.roda(v); }
    void marcaImpresso(qint64 id) { impresso_.roda({id}); }

private:
    platform::TADOConnection& conexao_;
    bool servidor_;
    bool postgres_;
    QSqlDatabase db_;
    Comando servicos_, nomes_, prodServ_, prodTipo_, numerador_, atendido_, avanca_, numeros_,
        venda_, item_, cupom_, impresso_, fechado_;
    std::unique_ptr<Comando> ultimo_;
};

QString textoDaFalha(std::exception_ptr e, platform::TADOConnection* c) {
    return platform::ADOExceptionMessage(e, c, QString());
}

QString nomeDoArquivo(const QString& s) {
    QString r = s;
    for (QChar& ch : r)
        if (!ch.isLetterOrNumber()) ch = QLatin1Char('_');
    return r;
}

// ------------------------------------------------------------------ one run

class Geracao {
public:
    Geracao(const Entrega& e, const SaleGeneratorOptions& o, Banco& b) : e_(e), op_(o), banco_(b) {}

    SaleOutcome vende(int row) {
        SaleOutcome o;
        o.record = row;
        o.branch = e_.texto(row, cFilial);
        o.till = e_.texto(row, cCaixa);
        o.consumer = e_.texto(row, cConsumidor);
        o.consumerName = e_.texto(row, cNome);
        o.badge = e_.texto(row, cCracha);
        if (parou_) {
            o.reason = QStringLiteral("não processado: a geração parou na falha do banco de dados");
            return o;
        }
        try {
            vendeRegistro(row, o);
        } catch (...) {
            // Whatever the database did not finish stays undone; the records after it are not
            // tried, so that a failing database never gets half a run.
            o.status = SaleStatus::NotSold;
            o.saleId = o.saleNumber = o.receiptNumber = 0;
            const std::exception_ptr e = std::current_exception();
            QString oQue =
                platform::textoDaFalha(platform::classificaFalha(e, banco_.conexao().dialeto()));
            if (oQue.isEmpty()) oQue = QStringLiteral("falha no banco de dados");
            const QString texto = textoDaFalha(e, &banco_.conexao());
            // A failure the operator's words already say is not headed by the same words.
            o.reason = texto.startsWith(oQue) ? texto : oQue + QStringLiteral(": ") + texto;
            o.reason[0] = o.reason.at(0).toLower();
            parou_ = true;
        }
        return o;
    }

private:
    const Caixa& caixa(const QString& filial, const QString& caixa) {
        const QString chave = filial + QChar(0x1F) + caixa;
        auto it = caixas_.find(chave);
        if (it == caixas_.end()) it = caixas_.insert(chave, banco_.carregaCaixa(filial, caixa));
        return it.value();
    }

    const QList<Produto>& produtos(const Caixa& c, const QString& servico, const QString& tipo) {
        const QString chave = c.filial + QChar(0x1F) + c.caixa + QChar(0x1F) + servico +
                              QChar(0x1F) + (tipo.isNull() ? QStringLiteral("*") : tipo);
        auto it = produtos_.find(chave);
        if (it == produtos_.end()) it = produtos_.insert(chave, banco_.produtos(c, servico, tipo));
        return it.value();
    }

    void vendeRegistro(int row, SaleOutcome& o) {
        if (o.branch.isEmpty() || o.till.isEmpty()) {
            o.reason = QStringLiteral("filial ou caixa não informados");
            return;
        }
        if (o.consumer.isEmpty()) {
            o.reason = QStringLiteral("código do consumidor não informado");
            return;
        }
        const QVariant data = e_.pacote.value(row, e_.col[cData]);
        const QDate dia =
            data.metaType().id() == QMetaType::QDate ? data.toDate() : data.toDateTime().date();
        if (!dia.isValid()) {
            o.reason = QStringLiteral("data da venda não informada");
            return;
        }
        const QString textoHora = e_.texto(row, cHora);
        const int hora = leHora(textoHora);
        if (hora < 0) {
            o.reason = QStringLiteral("hora da venda inválida (\"%1\")").arg(textoHora);
            return;
        }

        const Caixa& cx = caixa(o.branch, o.till);
        QList<ServiceWindow> janelas;
        QList<int> indices;
        for (int i = 0; i < cx.servicos.size(); ++i)
            if (cx.servicos.at(i).horarioValido) {
                janelas << cx.servicos.at(i).janela;
                indices << i;
            }
        const int escolha = chooseService(janelas, hora);
        if (escolha == -1) {
            o.reason = QStringLiteral("nenhum serviço do caixa %1 atende às %2")
                           .arg(o.till, horaComDoisPontos(hora));
            return;
        }
        if (escolha == -2) {
            QStringList quais;
            for (int i = 0; i < janelas.size(); ++i)
                if (chooseService({janelas.at(i)}, hora) == 0)
                    quais << cx.servicos.at(indices.at(i)).codigo;
            o.reason = QStringLiteral("as %1 estão em mais de um serviço do caixa (%2)")
                           .arg(horaComDoisPontos(hora), quais.join(QStringLiteral(", ")));
            return;
        }
        const Servico& sv = cx.servicos.at(indices.at(escolha));
        o.service = sv.codigo;

        const QString tipo = e_.texto(row, cTipo);
        QList<Produto> itens = produtos(cx, sv.codigo, QString());
        if (itens.isEmpty()) itens = produtos(cx, sv.codigo, tipo);
        if (itens.isEmpty()) {
            o.reason = QStringLiteral(
                           "nenhum produto cadastrado para o serviço %1 (tipo de "
                           "consumo %2)")
                           .arg(sv.codigo, tipo.isEmpty() ? QStringLiteral("vazio") : tipo);
            return;
        }
        for (const Produto& p : itens)
            if (!p.cadastrado) {
                o.reason = QStringLiteral("o produto %1 do serviço %2 não está cadastrado")
                               .arg(p.codigo, sv.codigo);
                return;
            }

        if (banco_.jaAtendido(o.branch, o.till, sv.codigo, o.consumer, dia, o)) {
            o.status = SaleStatus::AlreadyServed;
            return;
        }
        if (op_.hook) op_.hook(SaleStep::Checked, vendidas_);

        const QDateTime consumo(dia, QTime(hora / 100, hora % 100));
        const QDateTime agora = platform::Agora();
        ReceiptData r;
        r.branch = o.branch;
        r.branchName = cx.nomeFilial;
        r.till = o.till;
        r.tillName = cx.nomeCaixa;
        r.consumedAt = consumo;
        r.issuedAt = agora;
        r.consumer = o.consumer;
        r.consumerName = o.consumerName;
        r.badge = o.badge;
        r.service = sv.codigo;
        r.serviceName = sv.nome;
        for (const Produto& p : itens) {
            r.items << ReceiptItem{p.codigo, p.nome, p.centavos, 1, p.centavos};
            r.totalCents += p.centavos;
        }

        const QString chaveDia =
            o.branch + QChar(0x1F) + o.till + QChar(0x1F) + dia.toString(Qt::ISODate);
        if (const qint64 z = fechados_.value(chaveDia)) {
            diaFechado(o, dia, z);
            return;
        }
        QStringList linhas;
        {
            platform::Transacao t(banco_.conexao());
            const auto [numVenda, numCupom] = banco_.proximosNumeros(o.branch, o.till);
            // Looked at inside the transaction: a closing made since the run began counts.
            if (const qint64 z = banco_.fechamento(o.branch, o.till, dia)) {
                t.rollback();
                fechados_.insert(chaveDia, z);  // a closing is never undone
                diaFechado(o, dia, z);
                return;
            }
            r.saleNumber = numVenda;
            r.receiptNumber = numCupom;
            qint64 id = 0;
            QSqlError recusa;
            const bool gravou = banco_.insereVenda(
                {o.branch, o.till, sv.codigo, o.consumer, textoOuNulo(e_.texto(row, cCliente)),
                 textoOuNulo(tipo), itens.first().codigo, double(r.totalCents) / 100.0,
                 banco_.dataHora(consumo), banco_.dataHora(agora),
                 QStringLiteral("%1").arg(hora, 4, 10, QLatin1Char('0')),
                 receiptNumberText(numCupom), textoOuNulo(e_.texto(row, cLogCat)),
                 textoOuNulo(e_.texto(row, cArqImp)), banco_.dia(dia), numVenda},
                id, recusa);
            if (!gravou) {
                // A dead connection or a lock wait that ran out is no refusal: the run stops.
                const platform::Falha f = platform::classificaFalha(
                    recusa.databaseText() + QLatin1Char(' ') + recusa.driverText(),
                    recusa.nativeErrorCode(), banco_.conexao().dialeto());
                if (f == platform::Falha::ConexaoPerdida || f == platform::Falha::Bloqueio)
                    falhaDe(recusa);
                t.rollback();
                // The database's rule against a second sale, met by a sale another run made
                // since the look above, whatever words the server has for it.
                if (banco_.jaAtendido(o.branch, o.till, sv.codigo, o.consumer, dia, o)) {
                    o.status = SaleStatus::AlreadyServed;
                    return;
                }
                falhaDe(recusa);
            }
            int n = 0;
            for (const ReceiptItem& it : r.items)
                banco_.insereItem({id, ++n, it.product, it.quantity, double(it.unitCents) / 100.0,
                                   double(it.totalCents) / 100.0});
            linhas = receiptLines(r);
            banco_.insereCupom({id, o.branch, o.till, numCupom, banco_.dataHora(agora),
                                linhas.join(QLatin1Char('\n'))});
            if (op_.hook) op_.hook(SaleStep::BeforeCommit, vendidas_);
            t.commit();
            o.saleId = id;
            o.saleNumber = numVenda;
            o.receiptNumber = numCupom;
        }
        o.status = SaleStatus::Sold;
        ++vendidas_;
        if (op_.hook) op_.hook(SaleStep::Committed, vendidas_);
        if (sv.imprimeCupom) imprime(o, dia, linhas);
    }

    static void diaFechado(SaleOutcome& o, const QDate& dia, qint64 z) {
        o.reason = QStringLiteral("dia fechado (Redução Z nº %1 do caixa %2 em %3)")
                       .arg(z)
                       .arg(o.till, dia.toString(QStringLiteral("dd/MM/yyyy")));
    }

    // The sale stands whatever the printer does; a receipt that did not print is reported.
    void imprime(SaleOutcome& o, const QDate& dia, const QStringList& linhas) {
        const QString arquivo =
            QStringLiteral("%1-%2-%3-%4")
                .arg(nomeDoArquivo(o.branch), nomeDoArquivo(o.till),
                     dia.toString(QStringLiteral("yyyyMMdd")), receiptNumberText(o.receiptNumber));
        try {
            o.printedTo = printReceipt(linhas, arquivo, op_.printer);
        } catch (...) {
            o.printError = textoDaFalha(std::current_exception(), nullptr);
            return;
        }
        try {
            banco_.marcaImpresso(o.saleId);
        } catch (...) {
            // The paper is out; only the mark is missing, and it decides nothing.
        }
    }

    const Entrega& e_;
    const SaleGeneratorOptions& op_;
    Banco& banco_;
    QHash<QString, Caixa> caixas_;
    QHash<QString, QList<Produto>> produtos_;
    QHash<QString, qint64> fechados_;  // branch, till and day -> closing number
    int vendidas_ = 0;
    bool parou_ = false;
};

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

// ------------------------------------------------------------------ public

int chooseService(const QList<ServiceWindow>& windows, int hour) {
    int real = -1, realCount = 0, allDay = -1, allDayCount = 0;
    for (int i = 0; i < windows.size(); ++i) {
        const ServiceWindow& w = windows.at(i);
        if (w.start == w.end) {
            allDay = i;
            ++allDayCount;
            continue;
        }
        const bool holds =
            w.start < w.end ? w.start <= hour && hour <= w.end : hour >= w.start || hour <= w.end;
        if (holds) {
            real = i;
            ++realCount;
        }
    }
    if (realCount == 1) return real;
    if (realCount > 1) return -2;
    if (allDayCount == 1) return allDay;
    return allDayCount > 1 ? -2 : -1;
}

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

SaleRun generateSales(const QVariant& pacote, const SaleGeneratorOptions& opcoes) {
    const Entrega entrega = leEntrega(pacote);
    SaleRun run;
    const int total = entrega.pacote.rowCount();
    if (total == 0) return run;

    platform::TADOConnection conexao;
    conexao.setReadOnly(false);
    conexao.setConnectionString(opcoes.connectionString);
    conexao.setConnected(true);
    ensureSalesSchema(conexao);
    Banco banco(conexao);
    Geracao geracao(entrega, opcoes, banco);
    for (int row = 0; row < total; ++row) {
        run.outcomes << geracao.vende(row);
        if (opcoes.progress) opcoes.progress(row + 1, total);
    }
    return run;
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
    const QString aviso = notSoldNotice(run);
    if (!aviso.isEmpty())
        platform::Mensagem(aviso, QString(), QStringLiteral("N"), QStringLiteral("N"), 2, QString(),
                           QString(), 0, nullptr);
    return run;
}

namespace detail {

void geraCupomVendaPadrao(const QVariant& pacote, int, const QVariantList&, QVariant& resultado) {
    SaleGeneratorOptions op;
    op.connectionString = platform::_GetStringConexZor(QString());
    op.printer = ReceiptPrinterSettings::fromConfiguration();
    resultado = toVariant(runSaleGeneration(pacote, std::move(op)));
}

}  // namespace detail

}  // namespace Hul00002
