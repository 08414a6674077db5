#include "module/dataservice/TADOQuery.h"

#include <QDateTime>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>

#include <algorithm>

#include <sqlite3.h>

#include <sql.h>
#include <sqlext.h>

#include "dataset/Provider.h"
#include "dataset/SqliteHandle.h"
#include "platform/Platform.h"
#include "platform/StatementDeadline.h"
#include "platform/TADOConnection.h"
#include "textorder/ColacaoPtBr.h"

namespace Srv_Kel00815 {

namespace {

bool caractereDeNome(QChar c) {
    return c.isLetterOrNumber() || c == QLatin1Char('_');
}

// Walks a statement, calling `marcador(start, length)` for every ":NAME" outside quotes.
template <typename F>
void percorreMarcadores(const QString& sql, F marcador) {
    const qsizetype n = sql.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = sql.at(i);
        if (c == QLatin1Char('\'') || c == QLatin1Char('"') || c == QLatin1Char('[')) {
            const QChar fecha = c == QLatin1Char('[') ? QLatin1Char(']') : c;
            for (++i; i < n && sql.at(i) != fecha; ++i) {
            }
            continue;  // a doubled quote closes and reopens: the same thing
        }
        if (c == QLatin1Char('-') && i + 1 < n && sql.at(i + 1) == QLatin1Char('-')) {
            while (i < n && sql.at(i) != QLatin1Char('\n')) ++i;
            continue;
        }
        if (c != QLatin1Char(':') || i + 1 >= n) continue;
        if (sql.at(i + 1) == QLatin1Char(':')) {  // a cast "::" is no marker
            ++i;
            continue;
        }
        qsizetype fim = i + 1;
        while (fim < n && caractereDeNome(sql.at(fim))) ++fim;
        if (fim > i + 1 && !sql.at(i + 1).isDigit()) {
            marcador(i, fim - i);
            i = fim - 1;
        }
    }
}

platform::DatabaseError erroDoSqlite(sqlite3* db) {
    return platform::DatabaseError(QString::fromUtf8(sqlite3_errmsg(db)),
                                   QString::number(sqlite3_extended_errcode(db)));
}

platform::DatabaseError erroDoQt(const QSqlError& e) {
    const QString texto = e.databaseText().isEmpty() ? e.driverText() : e.databaseText();
    return platform::DatabaseError(texto, e.nativeErrorCode());
}

struct FinalizaStmt {
    void operator()(sqlite3_stmt* st) const { sqlite3_finalize(st); }
};

struct LiberaStmtOdbc {
    void operator()(void* st) const { SQLFreeHandle(SQL_HANDLE_STMT, st); }
};

// The ODBC connection handle (SQLHDBC) under Qt's driver; null on any other driver.
void* handleOdbc(const platform::TADOConnection& c) {
    if (c.driverName() != QLatin1String("QODBC")) return nullptr;
    const QSqlDatabase db = c.database();
    const QVariant h = db.driver() ? db.driver()->handle() : QVariant();
    if (!h.isValid() || qstrcmp(h.typeName(), "void*") != 0) return nullptr;
    return *static_cast<void* const*>(h.constData());
}

platform::DatabaseError erroDoOdbc(short tipo, void* handle) {
    QString codigo;
    QString texto = dataset::odbcDiagnostics(tipo, handle, &codigo);
    if (texto.isEmpty()) texto = QStringLiteral("o driver não informou o motivo.");
    return platform::DatabaseError(texto, codigo);
}

}  // namespace

// ---------------------------------------------------------------- parameters

TParameter::TParameter(QString name, TFieldType type, int size, std::shared_ptr<QVariant> value)
    : name_(std::move(name)), type_(type), size_(size), value_(std::move(value)) {}

void TParameter::setAsString(const QString& texto) {
    qsizetype n = texto.size();
    if (size_ > 0 && n > size_) {
        n = size_;
        if (texto.at(n - 1).isHighSurrogate()) --n;
    }
    *value_ = QVariant(texto.left(n));
}

void TParameter::setAsDateTime(const QDateTime& dataHora) {
    *value_ = dataHora.isValid() ? QVariant(dataHora) : QVariant();
}

void TParameters::declare(const QString& name, TFieldType type, int size) {
    std::shared_ptr<QVariant> valor;
    for (const TParameter& p : items_)
        if (p.Name().compare(name, Qt::CaseInsensitive) == 0) {
            valor = p.value_;
            break;
        }
    items_.emplace_back(name, type, size, valor ? valor : std::make_shared<QVariant>());
}

const TParameter* TParameters::find(const QString& name) const {
    for (const TParameter& p : items_)
        if (p.Name().compare(name, Qt::CaseInsensitive) == 0) return &p;
    return nullptr;
}

TParameter& TParameters::ParamByName(const QString& name) {
    for (TParameter& p : items_)
        if (p.Name().compare(name, Qt::CaseInsensitive) == 0) return p;
    throw platform::Error(QStringLiteral("Parâmetro %1 não encontrado.").arg(name));
}

// ---------------------------------------------------------------- fields and provider

TStringField::TStringField(const QString& componentName, const QString& fieldName, int size,
                           QObject* owner)
    : QObject(owner), FieldName(fieldName), Size(size) {
    setObjectName(componentName);
}

TDataSetProvider::TDataSetProvider(const QString& componentName, TADOQuery* dataSet, QObject* owner)
    : QObject(owner), DataSet(dataSet) {
    setObjectName(componentName);
}

QVariant TDataSetProvider::GetData() const {
    if (!DataSet || !DataSet->Active())
        throw platform::Error(QStringLiteral("Operação não permitida: consulta fechada."));
    return dataset::toVariant(DataSet->Result());
}

// ---------------------------------------------------------------- query

TADOQuery::TADOQuery(const QString& componentName, QObject* owner) : QObject(owner) {
    setObjectName(componentName);
}

TADOQuery::~TADOQuery() {
    esquecePreparados();
}

void TADOQuery::esquecePreparados() {
    for (const Preparado& p : preparados_) sqlite3_finalize(p.st);
    preparados_.clear();
}

void TADOQuery::setSQL(const char* tsql, const char* sqlite, const QStringList& dataHora) {
    tsql_ = QString::fromUtf8(tsql);
    sqlite_ = QString::fromUtf8(sqlite);
    Parameters = TParameters();
    for (const QString& nome : markers(tsql_)) {
        const bool ehDataHora = dataHora.contains(nome, Qt::CaseInsensitive);
        Parameters.declare(nome, ehDataHora ? TFieldType::ftDateTime : TFieldType::ftString, 16);
    }
}

QString TADOQuery::SQLText() const {
    if (!Connection) return sqlite_;
    switch (Connection->dialeto()) {
        case platform::Dialeto::SqlServer:
            return tsql_;
        case platform::Dialeto::Postgres:
            return postgres_;
        case platform::Dialeto::Sqlite:
            break;
    }
    return sqlite_;
}

void TADOQuery::addField(TStringField* field, int index) {
    fields_.append({index, field});
    std::sort(fields_.begin(), fields_.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
}

dataset::FieldDefs TADOQuery::persistentFields() const {
    dataset::FieldDefs defs;
    for (const auto& [indice, campo] : fields_) {
        Q_UNUSED(indice);
        defs.append(dataset::FieldDef::text(campo->FieldName, campo->Size));
    }
    return defs;
}

QStringList TADOQuery::markers(const QString& sql) {
    QStringList nomes;
    percorreMarcadores(
        sql, [&](qsizetype ini, qsizetype len) { nomes.append(sql.mid(ini + 1, len - 1)); });
    return nomes;
}

QString TADOQuery::positional(const QString& sql) {
    QString saida;
    saida.reserve(sql.size());
    qsizetype copiado = 0;
    percorreMarcadores(sql, [&](qsizetype ini, qsizetype len) {
        saida += QStringView(sql).mid(copiado, ini - copiado);
        saida += QLatin1Char('?');
        copiado = ini + len;
    });
    saida += QStringView(sql).mid(copiado);
    return saida;
}

void TADOQuery::setSqliteValue(const QString& name, const QVariant& value) {
    sqliteValues_.insert(name.toUpper(),
                         value.isNull() ? QVariant(QMetaType::fromType<QString>()) : value);
}

QVariant TADOQuery::sqliteValue(const QString& name) const {
    return sqliteValues_.value(name.toUpper(), QVariant(QMetaType::fromType<QString>()));
}

QVariant TADOQuery::boundValue(const QString& marker) const {
    const TParameter* p = Parameters.find(marker);
    if (!p) {
        if (!sqliteValues_.contains(marker.toUpper()))
            throw platform::Error(QStringLiteral("Parâmetro %1 não declarado.").arg(marker));
        return sqliteValue(marker);
    }
    const QVariant v = p->Value();
    if (!v.isNull()) return v;
    return p->DataType() == TFieldType::ftDateTime ? QVariant(QMetaType::fromType<QDateTime>())
                                                   : QVariant(QMetaType::fromType<QString>());
}

void TADOQuery::Close() {
    active_ = false;
    RowsHint = 0;
    result_ = dataset::DataPacket();
}

void TADOQuery::Open() {
    Close();
    if (!Connection || !Connection->connected())
        throw platform::DatabaseError(QStringLiteral("Conexão com o banco de dados fechada."),
                                      QString());
    const QString sql = SQLText();
    // Qt's handle only when its plugin runs our SQLite; otherwise Qt's own road.
    if (sqlite3* sqlite = dataset::sqliteHandle(Connection->database()))
        result_ = openSqlite(sqlite, sql);
    else if (void* odbc = handleOdbc(*Connection))
        result_ = openOdbc(odbc, sql);
    else
        result_ = openQuery(sql);
    active_ = true;
}

// SQLite through the handle of Qt's driver: the statement is bound here and the provider reads
// its rows straight from SQLite's buffers, without a QVariant per value. Named markers are
// SQLite's own, and a name that occurs several times is one parameter there.
dataset::DataPacket TADOQuery::openSqlite(sqlite3* db, const QString& sql) {
    textorder::registraPtBrSobDemanda(db);
    if (avisado_ != Connection) {
        disconnect(avisoDeFechamento_);
        avisoDeFechamento_ = connect(Connection, &platform::TADOConnection::fechando, this,
                                     [this] { esquecePreparados(); });
        avisado_ = Connection;
    }
    // Taken out while it runs: a failure finalizes it, so the next Open prepares it anew.
    std::unique_ptr<sqlite3_stmt, FinalizaStmt> st;
    for (auto it = preparados_.begin(); it != preparados_.end(); ++it)
        if (it->sql == sql && sqlite3_db_handle(it->st) == db) {
            st.reset(it->st);
            preparados_.erase(it);
            sqlite3_clear_bindings(st.get());
            break;
        }
    if (!st) {
        const QByteArray texto = sql.toUtf8();
        sqlite3_stmt* bruto = nullptr;
        if (sqlite3_prepare_v3(db, texto.constData(), static_cast<int>(texto.size()),
                               SQLITE_PREPARE_PERSISTENT, &bruto, nullptr) != SQLITE_OK) {
            sqlite3_finalize(bruto);
            throw erroDoSqlite(db);
        }
        st.reset(bruto);
    }

    std::vector<QByteArray> guardados;  // bound texts live until the statement is done
    const int nParams = sqlite3_bind_parameter_count(st.get());
    guardados.reserve(static_cast<std::size_t>(nParams));
    for (int i = 1; i <= nParams; ++i) {
        const char* nome = sqlite3_bind_parameter_name(st.get(), i);
        if (!nome || !*nome) throw platform::Error(QStringLiteral("Parâmetro sem nome."));
        const QVariant v = boundValue(QString::fromUtf8(nome + 1));
        int rc = SQLITE_OK;
        if (v.isNull()) {
            rc = sqlite3_bind_null(st.get(), i);
        } else {
            guardados.push_back(
                v.userType() == QMetaType::QDateTime
                    ? v.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toUtf8()
                    : v.toString().toUtf8());
            const QByteArray& b = guardados.back();
            rc = sqlite3_bind_text(st.get(), i, b.constData(), static_cast<int>(b.size()),
                                   SQLITE_STATIC);
        }
        if (rc != SQLITE_OK) throw erroDoSqlite(db);
    }

    dataset::DataPacket p = dataset::packetFromStatement(st.get(), persistentFields(), RowsHint);
    if (preparados_.size() >= 3) {
        sqlite3_finalize(preparados_.front().st);
        preparados_.erase(preparados_.begin());
    }
    preparados_.push_back({sql, st.release()});
    return p;
}

// Any other driver (ODBC): markers become '?' and every occurrence is bound in order, since
// ODBC knows no names. Forward-only, read whole, finished by the provider.
dataset::DataPacket TADOQuery::openQuery(const QString& sql) {
    QSqlQuery q(Connection->database());
    q.setForwardOnly(true);
    if (!q.prepare(positional(sql))) throw erroDoQt(q.lastError());
    for (const QString& nome : markers(sql)) q.addBindValue(boundValue(nome));
    // A server that holds a lock would keep the till waiting: the read has a deadline.
    const platform::StatementDeadline prazo(*Connection, q);
    if (!q.exec()) {
        const platform::DatabaseError e =
            prazo.expired() ? prazo.timeoutError() : erroDoQt(q.lastError());
        q.finish();
        throw e;
    }
    dataset::DataPacket p;
    try {
        p = dataset::packetFromQuery(q, persistentFields());
    } catch (...) {
        if (prazo.expired()) throw prazo.timeoutError();
        throw;
    }
    q.finish();
    return p;
}

// ODBC: Qt's driver reads a value per call, so the statement is our own, on the connection's
// handle, and its rows come in blocks of bound arrays. Markers become '?' and every
// occurrence is bound in order, texts as UTF-16, date-times as timestamps.
dataset::DataPacket TADOQuery::openOdbc(void* conexao, const QString& sql) {
    SQLHSTMT bruto = nullptr;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, conexao, &bruto)))
        throw erroDoOdbc(SQL_HANDLE_DBC, conexao);
    const std::unique_ptr<void, LiberaStmtOdbc> st(bruto);

    struct Valor {
        QString texto;
        SQL_TIMESTAMP_STRUCT dataHora{};
        SQLLEN indicador = SQL_NULL_DATA;
    };
    const QStringList nomes = markers(sql);
    std::vector<Valor> valores(std::size_t(nomes.size()));  // bound by address: never resized
    for (qsizetype i = 0; i < nomes.size(); ++i) {
        Valor& v = valores[std::size_t(i)];
        const TParameter* p = Parameters.find(nomes[i]);
        const QVariant valor = boundValue(nomes[i]);
        const auto n = SQLUSMALLINT(i + 1);
        SQLRETURN r;
        // As the value was assigned: a date-time parameter may hold a text (AsString).
        const bool ehDataHora = valor.isNull() ? p && p->DataType() == TFieldType::ftDateTime
                                               : valor.userType() == QMetaType::QDateTime;
        if (ehDataHora) {
            if (!valor.isNull()) {
                const QDateTime dh = valor.toDateTime();
                v.dataHora.year = SQLSMALLINT(dh.date().year());
                v.dataHora.month = SQLUSMALLINT(dh.date().month());
                v.dataHora.day = SQLUSMALLINT(dh.date().day());
                v.dataHora.hour = SQLUSMALLINT(dh.time().hour());
                v.dataHora.minute = SQLUSMALLINT(dh.time().minute());
                v.dataHora.second = SQLUSMALLINT(dh.time().second());
                v.dataHora.fraction = SQLUINTEGER(dh.time().msec()) * 1000000u;
                v.indicador = sizeof v.dataHora;
            }
            r = SQLBindParameter(st.get(), n, SQL_PARAM_INPUT, SQL_C_TYPE_TIMESTAMP,
                                 SQL_TYPE_TIMESTAMP, 23, 3, &v.dataHora, sizeof v.dataHora,
                                 &v.indicador);
        } else {
            if (!valor.isNull()) {
                v.texto = valor.toString();
                v.indicador = SQLLEN(v.texto.size()) * SQLLEN(sizeof(SQLWCHAR));
            }
            const auto largura =
                SQLULEN(std::max<qsizetype>({v.texto.size(), p ? p->Size() : 0, 1}));
            r = SQLBindParameter(
                st.get(), n, SQL_PARAM_INPUT, SQL_C_WCHAR, SQL_WVARCHAR, largura, 0,
                const_cast<char16_t*>(reinterpret_cast<const char16_t*>(v.texto.utf16())),
                v.indicador > 0 ? v.indicador : 0, &v.indicador);
        }
        if (!SQL_SUCCEEDED(r)) throw erroDoOdbc(SQL_HANDLE_STMT, st.get());
    }

    const QString texto = positional(sql);
    // Disarmed before the statement is freed: the watchdog may cancel it until then.
    const platform::StatementDeadline prazo(*Connection, st.get());
    SQLRETURN r = SQLPrepareW(
        st.get(), const_cast<SQLWCHAR*>(reinterpret_cast<const SQLWCHAR*>(texto.utf16())),
        SQLINTEGER(texto.size()));
    if (SQL_SUCCEEDED(r)) r = SQLExecute(st.get());
    if (!SQL_SUCCEEDED(r) && r != SQL_NO_DATA) {
        if (prazo.expired()) throw prazo.timeoutError();
        throw erroDoOdbc(SQL_HANDLE_STMT, st.get());
    }
    try {
        return dataset::packetFromOdbc(st.get(), persistentFields(), RowsHint);
    } catch (...) {
        if (prazo.expired()) throw prazo.timeoutError();
        throw;
    }
}

}  // namespace Srv_Kel00815
