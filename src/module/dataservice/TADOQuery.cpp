#include "module/dataservice/TADOQuery.h"

#include <QDateTime>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>

#include <algorithm>

#include <sqlite3.h>

#include "dataset/Provider.h"
#include "module/dataservice/ColacaoPtBr.h"
#include "platform/Platform.h"
#include "platform/StatementDeadline.h"
#include "platform/TADOConnection.h"

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

// Width of a declared column type such as "VARCHAR(21)"; 0 when none.
int larguraDeclarada(const QByteArray& tipo) {
    const int abre = tipo.indexOf('(');
    const int fecha = tipo.indexOf(')', abre);
    if (abre < 0 || fecha < 0) return 0;
    const QByteArray dentro = tipo.mid(abre + 1, fecha - abre - 1);
    return dentro.split(',').value(0).trimmed().toInt();
}

// A column's definition from SQLite's declared type, for queries without persistent fields.
dataset::FieldDef definicaoDaColuna(sqlite3_stmt* st, int col) {
    const QString nome = QString::fromUtf8(sqlite3_column_name(st, col));
    const char* decl = sqlite3_column_decltype(st, col);
    const QByteArray tipo = QByteArray(decl ? decl : "").toUpper();
    dataset::FieldDef def = dataset::FieldDef::text(nome, larguraDeclarada(tipo));
    if (tipo.contains("INT")) {
        def.type = dataset::FieldType::LargeInt;
        def.size = 0;
    } else if (tipo.startsWith("NUMERIC") || tipo.startsWith("DECIMAL")) {
        def.type = dataset::FieldType::Bcd;
        def.size = 0;
    } else if (tipo.contains("REAL") || tipo.contains("FLOA") || tipo.contains("DOUB")) {
        def.type = dataset::FieldType::Float;
        def.size = 0;
    } else if (tipo.startsWith("DATETIME") || tipo.startsWith("TIMESTAMP")) {
        def.type = dataset::FieldType::DateTime;
        def.size = 0;
    } else if (tipo == "DATE") {
        def.type = dataset::FieldType::Date;
        def.size = 0;
    } else if (tipo.contains("BLOB")) {
        def.type = dataset::FieldType::Blob;
        def.size = 0;
    }
    return def;
}

QDateTime dataHoraDoTexto(const QString& texto) {
    QDateTime dt = QDateTime::fromString(texto.left(19), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    if (!dt.isValid()) dt = QDateTime::fromString(texto, Qt::ISODateWithMs);
    if (!dt.isValid()) dt = QDateTime::fromString(texto.left(10), QStringLiteral("yyyy-MM-dd"));
    return dt;
}

// SQLite's UTF-8 into a reused UTF-16 buffer, so that no value costs an allocation on its
// way into the packet. False on a malformed sequence (the caller lets Qt decode it).
bool decodificaUtf8(const char* p, int n, std::vector<char16_t>& saida) {
    saida.resize(static_cast<std::size_t>(n));
    std::size_t k = 0;
    const auto* u = reinterpret_cast<const unsigned char*>(p);
    for (int i = 0; i < n;) {
        const unsigned c = u[i];
        if (c < 0x80) {
            saida[k++] = static_cast<char16_t>(c);
            ++i;
            continue;
        }
        const int resto = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC2 ? 1 : -1;
        if (resto < 0 || c > 0xF4 || i + resto >= n) return false;
        char32_t cp = c & (0x3Fu >> resto);
        for (int j = 1; j <= resto; ++j) {
            if ((u[i + j] & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (u[i + j] & 0x3Fu);
        }
        i += resto + 1;
        if (cp >= 0x10000) {
            if (cp > 0x10FFFF) return false;
            saida[k++] = static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
            saida[k++] = static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            if ((resto == 2 && cp < 0x800) || resto == 3 || (cp >= 0xD800 && cp <= 0xDFFF))
                return false;
            saida[k++] = static_cast<char16_t>(cp);
        }
    }
    saida.resize(k);
    return true;
}

struct FinalizaStmt {
    void operator()(sqlite3_stmt* st) const { sqlite3_finalize(st); }
};

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

TADOQuery::~TADOQuery() = default;

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
    return Connection && Connection->isSqlServer() ? tsql_ : sqlite_;
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

QVariant TADOQuery::boundValue(const QString& marker) const {
    const TParameter* p = Parameters.find(marker);
    if (!p) throw platform::Error(QStringLiteral("Parâmetro %1 não declarado.").arg(marker));
    const QVariant v = p->Value();
    if (!v.isNull()) return v;
    return p->DataType() == TFieldType::ftDateTime ? QVariant(QMetaType::fromType<QDateTime>())
                                                   : QVariant(QMetaType::fromType<QString>());
}

void TADOQuery::Close() {
    active_ = false;
    result_ = dataset::DataPacket();
}

void TADOQuery::Open() {
    Close();
    if (!Connection || !Connection->connected())
        throw platform::DatabaseError(QStringLiteral("Conexão com o banco de dados fechada."),
                                      QString());
    const QString sql = SQLText();
    QSqlDatabase db = Connection->database();
    void* sqlite = nullptr;
    if (db.driverName() == QLatin1String("QSQLITE") && db.driver()) {
        const QVariant h = db.driver()->handle();
        if (h.isValid() && qstrcmp(h.typeName(), "sqlite3*") == 0)
            sqlite = *static_cast<void* const*>(h.constData());
    }
    result_ = sqlite ? openSqlite(sqlite, sql) : openQuery(sql);
    active_ = true;
}

// SQLite through the handle of Qt's driver: the rows go straight from SQLite's buffers into
// the packet, without a QVariant per value. Named markers are SQLite's own, and a name that
// occurs several times is one parameter there.
dataset::DataPacket TADOQuery::openSqlite(void* handle, const QString& sql) {
    auto* db = static_cast<sqlite3*>(handle);
    colacao::registraPtBrSobDemanda(db);
    const QByteArray texto = sql.toUtf8();
    sqlite3_stmt* bruto = nullptr;
    if (sqlite3_prepare_v2(db, texto.constData(), static_cast<int>(texto.size()), &bruto,
                           nullptr) != SQLITE_OK) {
        sqlite3_finalize(bruto);
        throw erroDoSqlite(db);
    }
    std::unique_ptr<sqlite3_stmt, FinalizaStmt> st(bruto);

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

    // Columns of the packet, and the statement column that feeds each.
    const int nCols = sqlite3_column_count(st.get());
    dataset::FieldDefs defs = persistentFields();
    std::vector<int> origem;
    if (defs.isEmpty()) {
        for (int c = 0; c < nCols; ++c) {
            defs.append(definicaoDaColuna(st.get(), c));
            origem.push_back(c);
        }
    } else {
        for (const dataset::FieldDef& d : defs) {
            int achou = -1;
            for (int c = 0; c < nCols && achou < 0; ++c)
                if (d.name.compare(QString::fromUtf8(sqlite3_column_name(st.get(), c)),
                                   Qt::CaseInsensitive) == 0)
                    achou = c;
            if (achou < 0)
                throw platform::Error(QStringLiteral("Campo %1 não encontrado.").arg(d.name));
            origem.push_back(achou);
        }
    }
    std::vector<bool> ehTexto;
    for (const dataset::FieldDef& d : defs) ehTexto.push_back(d.isText());

    dataset::DataPacket::Builder b(defs);
    std::vector<char16_t> utf16;
    const int nCampos = static_cast<int>(defs.size());
    int rc;
    while ((rc = sqlite3_step(st.get())) == SQLITE_ROW) {
        b.appendRow();
        for (int f = 0; f < nCampos; ++f) {
            const int c = origem[static_cast<std::size_t>(f)];
            const int tipo = sqlite3_column_type(st.get(), c);
            if (tipo == SQLITE_NULL) continue;  // a new row starts all NULL
            if (ehTexto[static_cast<std::size_t>(f)] || tipo == SQLITE_TEXT) {
                const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(st.get(), c));
                const int n = sqlite3_column_bytes(st.get(), c);
                if (ehTexto[static_cast<std::size_t>(f)]) {
                    if (decodificaUtf8(p, n, utf16))
                        b.setText(f,
                                  QStringView(utf16.data(), static_cast<qsizetype>(utf16.size())));
                    else
                        b.setTextUtf8(f, p, n);
                } else {
                    const QString s = QString::fromUtf8(p, n);
                    const dataset::FieldType t = defs.at(f).type;
                    if (t == dataset::FieldType::DateTime || t == dataset::FieldType::Date)
                        b.setDateTime(f, dataHoraDoTexto(s));
                    else
                        b.setValue(f, s);
                }
            } else if (tipo == SQLITE_INTEGER) {
                b.setInteger(f, sqlite3_column_int64(st.get(), c));
            } else if (tipo == SQLITE_FLOAT) {
                b.setFloat(f, sqlite3_column_double(st.get(), c));
            } else {
                const auto* p = static_cast<const char*>(sqlite3_column_blob(st.get(), c));
                b.setBytes(f, QByteArray(p, sqlite3_column_bytes(st.get(), c)));
            }
        }
    }
    if (rc != SQLITE_DONE) throw erroDoSqlite(db);
    return b.finish();
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

}  // namespace Srv_Kel00815
