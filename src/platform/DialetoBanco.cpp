#include "platform/DialetoBanco.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>

#include "dataset/FieldDef.h"
#include "platform/Platform.h"
#include "platform/TADOConnection.h"

namespace platform {

namespace {

bool casa(const QString& texto, const char* padrao) {
    const QRegularExpression re(QString::fromLatin1(padrao),
                                QRegularExpression::CaseInsensitiveOption);
    return re.match(texto).hasMatch();
}

bool umDe(const QString& codigo, std::initializer_list<const char*> codigos) {
    for (const char* c : codigos)
        if (codigo.compare(QLatin1String(c), Qt::CaseInsensitive) == 0) return true;
    return false;
}

// The server's list of sessions shows which program holds a connection.
QString nomeDoPrograma() {
    QString nome = QCoreApplication::instance() ? QCoreApplication::applicationName() : QString();
    if (nome.isEmpty() && QCoreApplication::instance())
        nome = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    return nome.isEmpty() ? QStringLiteral("listapresenca") : nome;
}

Falha postgres(const QString& texto, const QString& codigo) {
    // Qt's driver gives the SQLSTATE; the ODBC driver its own numbers and the server's text,
    // which may be translated: the English words, the Portuguese ones and the state in the text.
    if (umDe(codigo, {"23505"}) || casa(texto, "duplicate key|unicidade|\\b23505\\b"))
        return Falha::Duplicada;
    if (umDe(codigo, {"55P03"}) ||
        casa(texto, "lock timeout|\\b55P03\\b|tempo de espera de bloqueio"))
        return Falha::Bloqueio;
    if (umDe(codigo, {"57P01", "57P02", "57P03", "08000", "08003", "08006"}) ||
        casa(
            texto,
            "connection (has been |was )?lost|server closed the connection|no connection to the "
            "server|terminating connection|could not (send|receive) data|conexão (com o servidor )?"
            "(foi )?perdida|\\b(57P0[123]|08006|08003)\\b"))
        return Falha::ConexaoPerdida;
    return Falha::Outra;
}

Falha sqlServer(const QString& texto, const QString& codigo) {
    if (umDe(codigo, {"2601", "2627"}) || casa(texto, "duplicate key")) return Falha::Duplicada;
    if (umDe(codigo, {"1222"}) || casa(texto, "lock request time ?out")) return Falha::Bloqueio;
    // FreeTDS's numbers for a dead socket; Microsoft's driver says "communication link".
    if (umDe(codigo, {"20004", "20006", "20047", "10054"}) ||
        casa(texto,
             "communication link failure|read from the server failed|write to the server "
             "failed|dbprocess is dead|forcibly closed|connection is no longer usable"))
        return Falha::ConexaoPerdida;
    return Falha::Outra;
}

Falha sqlite(const QString& texto, const QString& codigo) {
    // Extended result codes: UNIQUE and PRIMARYKEY constraints; BUSY and LOCKED in every form.
    if (umDe(codigo, {"2067", "1555"}) || casa(texto, "unique constraint failed|is not unique"))
        return Falha::Duplicada;
    if (umDe(codigo, {"5", "6", "261", "262", "517", "773"}) ||
        casa(texto, "database (table )?is locked"))
        return Falha::Bloqueio;
    return Falha::Outra;
}

// The failures of a connect and of a write, in the words of SQLite, FreeTDS or Microsoft's
// driver, and PostgreSQL (SQLSTATE through Qt's driver; English or Portuguese through ODBC).
Falha doCaixa(const QString& texto, const QString& codigo) {
    // SQLite: FULL 13, READONLY 8 in every extended form, CANTOPEN 14 (the file exists: the
    // connect looked), so a folder this login may not write.
    if (umDe(codigo, {"13", "53100", "1105", "9002"}) ||
        casa(texto,
             "disk is full|no space left|espaço (livre )?insuficiente|could not extend "
             "file|transaction log for database .* is full|filegroup is full"))
        return Falha::DiscoCheio;
    if (umDe(codigo, {"28P01", "28000", "18456", "18452", "18486", "18488"}) ||
        casa(texto,
             "login failed|password authentication failed|autenticação do tipo senha "
             "falhou|authentication failed|no pg_hba.conf entry|role .* does not exist"))
        return Falha::LoginRecusado;
    if (umDe(codigo, {"8", "264", "520", "776", "1032", "1288", "1544", "14", "42501", "229", "230",
                      "300"}) ||
        casa(texto,
             "readonly database|read-only database|permission (was )?denied|permissão "
             "negada|unable to open database file|access is denied|acesso negado"))
        return Falha::SemPermissao;
    if (umDe(codigo, {"20009", "20012", "08001", "10061", "10060"}) ||
        casa(texto,
             "could not connect to server|connection refused|conexão recusada|unable to "
             "connect|server is not found|server (was )?not found|could not translate host "
             "name|name or service not known|no route to host|network is unreachable|"
             "adaptive server is unavailable|login timeout expired|failed: timeout expired"))
        return Falha::ServidorFora;
    return Falha::Outra;
}

}  // namespace

Falha classificaFalhaDoCaixa(const QString& texto, const QString& codigo) {
    const QString c = codigo.trimmed();
    const Falha dia = doCaixa(texto, c);
    if (dia != Falha::Outra) return dia;
    // A lost connection or a lock wait, in whichever server's words.
    for (Falha f : {postgres(texto, c), sqlServer(texto, c), sqlite(texto, c)})
        if (f == Falha::ConexaoPerdida || f == Falha::Bloqueio) return f;
    return Falha::Outra;
}

QString textoParaOperador(Falha f) {
    switch (f) {
        case Falha::ConexaoPerdida:
            return QStringLiteral(
                "A conexão com o banco de dados foi perdida (servidor reiniciado, rede ou "
                "administrador). A próxima consulta reconecta; numa geração de vendas, gere de "
                "novo para completar.");
        case Falha::Bloqueio:
            return textoDaFalha(f) +
                   QStringLiteral(". Tente de novo quando o outro caixa terminar.");
        case Falha::ServidorFora:
            return QStringLiteral(
                "Falha ao conectar ao banco de dados: o servidor não foi encontrado ou não "
                "respondeu. Confira a rede e o servidor indicado em conexao.ini.");
        case Falha::LoginRecusado:
            return QStringLiteral(
                "Falha ao conectar ao banco de dados: o servidor recusou o usuário ou a senha. "
                "Confira o usuário e a senha do caixa em conexao.ini.");
        case Falha::DiscoCheio:
            return QStringLiteral(
                "O disco do banco de dados está cheio: nada foi gravado. Libere espaço e tente "
                "de novo.");
        case Falha::SemPermissao:
            return QStringLiteral(
                "Permissão negada: este usuário não pode gravar no banco de dados (arquivo só "
                "de leitura, pasta sem permissão ou direito negado no servidor); nada foi "
                "gravado. O usuário do caixa precisa estar no grupo listapresenca (guia de "
                "instalação).");
        case Falha::Duplicada:
        case Falha::Outra:
            break;
    }
    return QString();
}

Dialeto dialetoDoServidor(const QSqlDatabase& db, bool sqlServerPelaCadeia) {
    const QString driver = db.driverName();
    if (driver == QLatin1String("QSQLITE")) return Dialeto::Sqlite;
    if (driver == QLatin1String("QPSQL")) return Dialeto::Postgres;
    switch (db.driver() ? db.driver()->dbmsType() : QSqlDriver::UnknownDbms) {
        case QSqlDriver::PostgreSQL:
            return Dialeto::Postgres;
        case QSqlDriver::MSSqlServer:
        case QSqlDriver::Sybase:
            return Dialeto::SqlServer;
        case QSqlDriver::SQLite:
            return Dialeto::Sqlite;
        default:
            break;
    }
    // SQLite's ODBC driver names a DBMS that Qt does not know; SQLite answers this, no server
    // does.
    QSqlQuery q(db);
    const bool ehSqlite = q.exec(QStringLiteral("SELECT sqlite_version()")) && q.next();
    q.finish();
    if (ehSqlite) return Dialeto::Sqlite;
    return sqlServerPelaCadeia ? Dialeto::SqlServer : Dialeto::Sqlite;
}

bool preparaSessao(QSqlDatabase& db, Dialeto d, bool soLeitura, QSqlError* erro) {
    QSqlQuery q(db);
    bool ok = true;
    switch (d) {
        case Dialeto::Postgres:
            // set_config takes bound values, where SET would need them in its text.
            ok =
                q.prepare(QStringLiteral("SELECT set_config('lock_timeout', ?, false),"
                                         " set_config('application_name', ?, false),"
                                         " set_config('default_transaction_read_only', ?,"
                                         " false)"));
            if (ok) {
                q.addBindValue(QString::number(kPrazoBloqueioMs));
                q.addBindValue(nomeDoPrograma().left(60));
                q.addBindValue(soLeitura ? QStringLiteral("on") : QStringLiteral("off"));
                ok = q.exec();
            }
            break;
        case Dialeto::SqlServer:
            ok = q.exec(QStringLiteral("SET LOCK_TIMEOUT %1").arg(kPrazoBloqueioMs));
            break;
        case Dialeto::Sqlite:
            break;  // the busy wait is set where the connection opens
    }
    if (!ok && erro) *erro = q.lastError();
    q.finish();
    return ok;
}

Falha classificaFalha(const QSqlError& e, Dialeto d) {
    return classificaFalha(e.databaseText() + QLatin1Char(' ') + e.driverText(),
                           e.nativeErrorCode(), d);
}

Falha classificaFalha(const QString& texto, const QString& codigo, Dialeto d) {
    const QString c = codigo.trimmed();
    switch (d) {
        case Dialeto::Postgres:
            return postgres(texto, c);
        case Dialeto::SqlServer:
            return sqlServer(texto, c);
        case Dialeto::Sqlite:
            break;
    }
    return sqlite(texto, c);
}

Falha classificaFalha(std::exception_ptr e, Dialeto d) {
    if (!e) return Falha::Outra;
    try {
        std::rethrow_exception(e);
    } catch (const DatabaseError& ex) {
        return classificaFalha(ex.driverText(), ex.nativeCode(), d);
    } catch (const Error& ex) {
        return classificaFalha(ex.message(), QString(), d);
    } catch (const dataset::DataSetError& ex) {
        return classificaFalha(ex.message(), QString(), d);
    } catch (const std::exception& ex) {
        return classificaFalha(QString::fromUtf8(ex.what()), QString(), d);
    } catch (...) {
    }
    return Falha::Outra;
}

QString textoDaFalha(Falha f) {
    switch (f) {
        case Falha::ConexaoPerdida:
            return QStringLiteral("A conexão com o banco de dados foi perdida");
        case Falha::Bloqueio:
            return QStringLiteral(
                       "O banco de dados ficou ocupado por outra transação (outro caixa?) por "
                       "mais de %1 s")
                .arg(kPrazoBloqueioMs / 1000);
        default:
            break;
    }
    return QString();
}

void notaFalha(TADOConnection& c, std::exception_ptr e) {
    if (classificaFalha(e, c.dialeto()) == Falha::ConexaoPerdida) c.marcaPerdida();
}

void reconectaSePerdida(TADOConnection& c) {
    if (!c.perdida()) return;
    c.setConnected(false);
    try {
        c.setConnected(true);
    } catch (...) {
        c.marcaPerdida();  // still out of reach: the next request tries again
        throw;
    }
}

}  // namespace platform
