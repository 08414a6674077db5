#include "pos/sale/TillCopy.h"

#include <QCryptographicHash>
#include <QRegularExpression>
#include <QSqlQuery>

#include "dataset/SqliteHandle.h"
#include "platform/Platform.h"
#include "platform/StateDirectory.h"
#include "platform/TADOConnection.h"
#include "platform/Transacao.h"
#include "pos/sale/Statement.h"
#include "schema_copia.h"
#include "textorder/ColacaoPtBr.h"

namespace Hul00002 {

namespace {

// clang-format off
const char* const kCopia =
    "CREATE TABLE COPIA (\n"
    "  CDFILIAL        VARCHAR(4)  NOT NULL,\n"
    "  CDCAIXA         VARCHAR(3)  NOT NULL,\n"
    "  DSSERVIDOR      VARCHAR(64) NOT NULL,\n"
    "  DTHRCOPIA       DATETIME    NOT NULL,\n"
    "  NRVERSAO        INTEGER     NOT NULL\n"
    ")";
const char* const kConflito =
    "CREATE TABLE CONFLITO (\n"
    "  NRSEQVENDA      INTEGER     NOT NULL PRIMARY KEY,\n"
    "  CDFILIAL        VARCHAR(4)  NOT NULL,\n"
    "  CDCAIXA         VARCHAR(3)  NOT NULL,\n"
    "  CDSERVFILI      VARCHAR(5)  NOT NULL,\n"
    "  CDCONSUMIDOR    VARCHAR(21) NOT NULL,\n"
    "  DTCONSUMO       VARCHAR(10),\n"
    "  NRVENDA         INTEGER,\n"
    "  NRCUPOM         INTEGER,\n"
    "  VRVENDA         NUMERIC(12,2),\n"
    "  DTHRREALCONCONS DATETIME,\n"
    "  DSMOTIVO        VARCHAR(200) NOT NULL,\n"
    "  DTHRCONFLITO    DATETIME    NOT NULL\n"
    ")";
// clang-format on

// Statements of a schema file, comments dropped.
QStringList statementsOf(const char* text) {
    QStringList out;
    QString current;
    for (const QString& line : QString::fromUtf8(text).split(QLatin1Char('\n'))) {
        const QString t = line.trimmed();
        if (t.isEmpty() || t.startsWith(QLatin1String("--"))) continue;
        current += line + QLatin1Char('\n');
        if (t.endsWith(QLatin1Char(';'))) {
            current = current.trimmed();
            current.chop(1);
            if (!current.startsWith(QLatin1String("PRAGMA"), Qt::CaseInsensitive)) out << current;
            current.clear();
        }
    }
    return out;
}

}  // namespace

QString tillCopyPath() {
    const QString env = qEnvironmentVariable("LISTAPRESENCA_COPIA").trimmed();
    if (!env.isEmpty()) return env;
    if (const auto v = platform::ValorDoConexaoIni(QStringLiteral("Copia")); v && !v->isEmpty())
        return *v;
    return platform::stateDirectory() + QStringLiteral("/copia-caixa.db");
}

bool offlineSalesAllowed() {
    const auto no = [](const QString& v) {
        const QString t = v.trimmed().toLower();
        return t == QLatin1String("nao") || t == QStringLiteral("não") || t == QLatin1String("n") ||
               t == QLatin1String("0") || t == QLatin1String("false");
    };
    if (no(qEnvironmentVariable("LISTAPRESENCA_OFFLINE"))) return false;
    try {
        if (const auto v = platform::ValorDoConexaoIni(QStringLiteral("Offline")); v && no(*v))
            return false;
    } catch (const std::exception&) {
        return false;  // a configuration that cannot be read allows nothing it may forbid
    }
    return true;
}

QString offlineSalesRefusedText() {
    return QStringLiteral(
        "Sem conexão com o servidor, e este caixa não vende sem ela (Offline=Nao em "
        "conexao.ini). Nenhuma venda foi gerada; tente de novo quando o servidor responder.");
}

QString serverDigest(const QString& connectionString) {
    QString s = connectionString;
    s.remove(QRegularExpression(QStringLiteral("(?i)(password|pwd)\\s*=\\s*(\\{[^}]*\\}|[^;]*)")));
    s.remove(QRegularExpression(QStringLiteral("//([^:/@]*):[^@/]*@")));
    return QString::fromLatin1(
        QCryptographicHash::hash(s.trimmed().toLower().toUtf8(), QCryptographicHash::Sha256)
            .toHex()
            .left(32));
}

QStringList tillCopySchema() {
    QStringList out = statementsOf(kSchemaSqlite) + statementsOf(kSchemaSqlitePtBr);
    for (QString& s : out)
        if (s.startsWith(QLatin1String("CREATE TABLE IF NOT EXISTS VENDA ("))) {
            // AUTOINCREMENT, so that the floor below holds after the rows above it are gone.
            s.replace(QLatin1String("NRSEQVENDA      INTEGER     NOT NULL PRIMARY KEY,"),
                      QLatin1String("NRSEQVENDA      INTEGER     NOT NULL PRIMARY KEY "
                                    "AUTOINCREMENT,"));
            Q_ASSERT(s.contains(QLatin1String("AUTOINCREMENT")));
        }
    out << QString::fromUtf8(kCopia) << QString::fromUtf8(kConflito)
        << QStringLiteral("INSERT INTO sqlite_sequence (name, seq) VALUES ('VENDA', %1)")
               .arg(kOutboxFirstSale - 1);
    return out;
}

void createTillCopy(platform::TADOConnection& c, const TillCopyInfo& info) {
    // The list's index is in the Brazilian order, as on the embedded database.
    if (sqlite3* db = dataset::sqliteHandle(c.database())) textorder::registraPtBrSobDemanda(db);
    platform::Transacao t(c);
    for (const QString& s : tillCopySchema()) Statement(c, s).run({});
    Statement(c, QStringLiteral("INSERT INTO COPIA (CDFILIAL, CDCAIXA, DSSERVIDOR, DTHRCOPIA, "
                                "NRVERSAO) VALUES (?, ?, ?, ?, ?)"))
        .run({info.branch, info.till, info.server,
              info.takenAt.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")), info.version});
    t.commit();
}

std::optional<TillCopyInfo> readTillCopyInfo(platform::TADOConnection& c) {
    QSqlQuery q(c.database());
    if (!q.exec(QStringLiteral(
            "SELECT CDFILIAL, CDCAIXA, DSSERVIDOR, DTHRCOPIA, NRVERSAO FROM COPIA")) ||
        !q.next())
        return std::nullopt;
    TillCopyInfo info;
    info.branch = q.value(0).toString();
    info.till = q.value(1).toString();
    info.server = q.value(2).toString();
    info.takenAt = QDateTime::fromString(q.value(3).toString(), Qt::ISODate);
    info.version = q.value(4).toInt();
    if (q.next() || info.version != kTillCopyVersion || !info.takenAt.isValid())
        return std::nullopt;
    return info;
}

}  // namespace Hul00002
