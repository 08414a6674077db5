#include "common/TillFiles.h"

#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>

#include <stdexcept>

#include "dataset/ClientDataSet.h"

namespace teste {

const QStringList& emptyTillTables() {
    static const QStringList tables = [] {
        QStringList r;
        for (const char* t : {"CONSUMIDOR", "CLIENFILIAL", "VENDA", "SERVTURCAIXA", "SERVICO",
                              "PRODTURCAIXA", "PRODSERVTCON"})
            r << QStringLiteral("CREATE TABLE %1 (X TEXT)").arg(QLatin1String(t));
        return r;
    }();
    return tables;
}

void makeSqlite(const QString& path, const QStringList& statements) {
    const QString name = QStringLiteral("scratch-") + QUuid::createUuid().toString();
    QString failed;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        if (!db.open()) {
            failed = db.lastError().text();
        } else {
            for (const QString& sql : statements) {
                QSqlQuery q(db);
                if (!q.exec(sql)) {
                    failed = sql + QStringLiteral(": ") + q.lastError().text();
                    break;
                }
            }
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(name);
    if (!failed.isEmpty()) throw std::runtime_error(failed.toStdString());
}

void writeParameterFile(const QString& path, const QString& branch, const QString& till,
                        const QString& scheme, const QList<int>& colours) {
    dataset::ClientDataSet cds;
    dataset::FieldDefs defs;
    for (int i = 1; i <= 6; ++i) {
        dataset::FieldDef f;
        f.name = QStringLiteral("INCOR%1").arg(i);
        f.type = dataset::FieldType::Integer;
        defs << f;
    }
    defs << dataset::FieldDef::text(QStringLiteral("IDESQUEMA"), 3)
         << dataset::FieldDef::text(QStringLiteral("CDFILIAL"), 4)
         << dataset::FieldDef::text(QStringLiteral("CDCAIXA"), 3);
    cds.setFieldDefs(defs);
    cds.createDataSet();
    cds.append();
    for (int i = 0; i < colours.size() && i < 6; ++i)
        cds.fieldByName(QStringLiteral("INCOR%1").arg(i + 1)).setAsInteger(colours.at(i));
    if (!scheme.isNull()) cds.fieldByName(QStringLiteral("IDESQUEMA")).setAsString(scheme);
    if (!branch.isNull()) cds.fieldByName(QStringLiteral("CDFILIAL")).setAsString(branch);
    if (!till.isNull()) cds.fieldByName(QStringLiteral("CDCAIXA")).setAsString(till);
    cds.post();
    cds.saveToFile(path);
}

void writeTillFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        throw std::runtime_error("cannot write " + path.toStdString());
}

}  // namespace teste
