#include "dataset/SqliteHandle.h"

#include <QSqlDatabase>
#include <QSqlDriver>
#include <QVariant>

#include <dlfcn.h>
#include <sqlite3.h>

#include <mutex>
#include <utility>
#include <vector>

namespace dataset {

namespace {

bool sharesOurSqlite(const QMetaObject* driverClass) {
    // The driver's meta-object lives in the library that implements it (the plugin).
    Dl_info info{};
    if (dladdr(driverClass, &info) == 0 || !info.dli_fname) return false;
    void* plugin = dlopen(info.dli_fname, RTLD_LAZY | RTLD_NOLOAD);
    if (!plugin) return false;
    // Looked up from the plugin: its own copy if it carries one, else the library it links.
    void* deles = dlsym(plugin, "sqlite3_libversion");
    dlclose(plugin);
    return deles && deles == reinterpret_cast<void*>(&sqlite3_libversion);
}

}  // namespace

bool driverSharesOurSqlite(const QSqlDriver& driver) {
    // Asked at every query: the answer is kept per driver class, which cannot change while
    // its plugin is loaded (and Qt never unloads a SQL driver plugin).
    static std::mutex guarda;
    static std::vector<std::pair<const QMetaObject*, bool>> respostas;
    const QMetaObject* classe = driver.metaObject();
    const std::lock_guard<std::mutex> trava(guarda);
    for (const auto& [c, mesmo] : respostas)
        if (c == classe) return mesmo;
    const bool mesmo = sharesOurSqlite(classe);
    respostas.emplace_back(classe, mesmo);
    return mesmo;
}

sqlite3* sqliteHandle(const QSqlDatabase& db) {
    if (db.driverName() != QLatin1String("QSQLITE") || !db.isOpen() || !db.driver()) return nullptr;
    const QVariant h = db.driver()->handle();
    if (!h.isValid() || qstrcmp(h.typeName(), "sqlite3*") != 0) return nullptr;
    if (!driverSharesOurSqlite(*db.driver())) return nullptr;
    return *static_cast<sqlite3* const*>(h.constData());
}

QSqlError sqliteError(sqlite3* db, const QString& what, QSqlError::ErrorType type) {
    return QSqlError(what, QString::fromUtf8(sqlite3_errmsg(db)), type,
                     QString::number(sqlite3_extended_errcode(db)));
}

}  // namespace dataset
