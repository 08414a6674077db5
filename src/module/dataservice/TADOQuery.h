#pragma once

// The query, parameter, field and provider objects of the data module, over Qt SQL.
// A query carries its statement in both dialects and runs the one its connection speaks:
// Transact-SQL on SQL Server, SQLite's on SQLite (also when SQLite is reached through ODBC),
// PostgreSQL's on PostgreSQL.
// The query binds; the dataset's provider reads the rows.

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <memory>
#include <vector>

#include <pkg_kel00815/kel00815_export.h>
#include "dataset/DataPacket.h"

struct sqlite3;
struct sqlite3_stmt;

namespace platform {
class TADOConnection;
}

namespace Srv_Kel00815 {

enum class TFieldType { ftString, ftDateTime };

// One declared parameter entry. Entries of the same name share one value: assigning any of
// them sets the value bound at every marker of that name.
class TParameter {
public:
    TParameter(QString name, TFieldType type, int size, std::shared_ptr<QVariant> value);

    const QString& Name() const { return name_; }
    TFieldType DataType() const { return type_; }
    int Size() const { return size_; }
    QVariant Value() const { return *value_; }  // null until assigned

    // Text is cut to the declared size (never inside a surrogate pair).
    void setAsString(const QString& texto);
    void setAsDateTime(const QDateTime& dataHora);
    void Clear() { *value_ = QVariant(); }

private:
    friend class TParameters;
    QString name_;
    TFieldType type_;
    int size_;
    std::shared_ptr<QVariant> value_;
};

class TParameters {
public:
    // One entry per marker, in the order the markers occur.
    void declare(const QString& name, TFieldType type, int size = 16);
    int Count() const { return static_cast<int>(items_.size()); }
    TParameter& Items(int i) { return items_.at(static_cast<std::size_t>(i)); }
    const TParameter& Items(int i) const { return items_.at(static_cast<std::size_t>(i)); }
    // The first entry of that name; raises platform::Error when there is none.
    TParameter& ParamByName(const QString& name);
    const TParameter* find(const QString& name) const;

private:
    std::vector<TParameter> items_;
};

// A persistent text field: fixes a column of the query's packet, its place and width.
class KEL00815_TEST_EXPORT TStringField : public QObject {
    Q_OBJECT
public:
    TStringField(const QString& componentName, const QString& fieldName, int size, QObject* owner);
    QString FieldName;
    int Size;
};

class KEL00815_TEST_EXPORT TADOQuery : public QObject {
    Q_OBJECT
public:
    TADOQuery(const QString& componentName, QObject* owner);
    ~TADOQuery() override;

    platform::TADOConnection* Connection = nullptr;
    TParameters Parameters;
    // About how many rows the next Open reads, when the caller knows (0: unknown); sizes the
    // packet at once. Close forgets it.
    int RowsHint = 0;

    // Sets both texts and declares one parameter per marker of the Transact-SQL text, every
    // one ftString of size 16 except the date-time ones named in `dataHora`.
    void setSQL(const char* tsql, const char* sqlite, const QStringList& dataHora = {});
    // Another text for SQLite of the same statement (same markers); the parameters stay.
    void setSqliteText(const char* sqlite) { sqlite_ = QString::fromUtf8(sqlite); }
    QString sqlTSql() const { return tsql_; }
    QString sqlSqlite() const { return sqlite_; }
    // A value for a marker that only the SQLite texts have: Parameters stay one entry per
    // marker of the Transact-SQL text. Kept across Close; a null value binds NULL.
    void setSqliteValue(const QString& name, const QVariant& value);
    // That value, or a null text when none was set.
    QVariant sqliteValue(const QString& name) const;
    // PostgreSQL's text, with the same markers as the Transact-SQL one.
    void setSQLPostgres(const char* postgres) { postgres_ = QString::fromUtf8(postgres); }
    QString sqlPostgres() const { return postgres_; }
    // The text the connection's server speaks.
    QString SQLText() const;

    // Fixes the packet's columns: `field` at position `index`.
    void addField(TStringField* field, int index);
    dataset::FieldDefs persistentFields() const;

    // Runs the statement with the bound values and reads the whole result, then finishes it,
    // so the connection never holds a pending result. Raises on any database error and
    // stays closed.
    void Open();
    void Close();
    bool Active() const { return active_; }
    const dataset::DataPacket& Result() const { return result_; }

    // Parameter markers (":NAME") of a statement in order, outside quotes.
    static QStringList markers(const QString& sql);
    // The statement with every marker replaced by '?', for positional (ODBC) binding.
    static QString positional(const QString& sql);

private:
    dataset::DataPacket openSqlite(sqlite3* db, const QString& sql);
    dataset::DataPacket openQuery(const QString& sql);
    dataset::DataPacket openOdbc(void* connection, const QString& sql);
    QVariant boundValue(const QString& marker) const;

    // SQLite: the statements of the last few Opens, kept prepared on their connection until
    // it closes. A list of a long cost centre and a short one run different texts.
    void esquecePreparados();
    struct Preparado {
        QString sql;
        sqlite3_stmt* st;
    };
    std::vector<Preparado> preparados_;
    QMetaObject::Connection avisoDeFechamento_;
    const platform::TADOConnection* avisado_ = nullptr;

    QString tsql_;
    QString sqlite_;
    QHash<QString, QVariant> sqliteValues_;  // by upper-case name
    QString postgres_;
    QList<QPair<int, TStringField*>> fields_;
    bool active_ = false;
    dataset::DataPacket result_;
};

// Turns its query's open result into a data packet.
class TDataSetProvider : public QObject {
    Q_OBJECT
public:
    TDataSetProvider(const QString& componentName, TADOQuery* dataSet, QObject* owner);
    TADOQuery* DataSet;
    bool Constraints = true;
    // The packet of the open query, in a variant; raises when the query is closed.
    QVariant GetData() const;
};

}  // namespace Srv_Kel00815
