#include "dataset/SqliteHandle.h"

#include <QSqlDatabase>
#include <QSqlDriver>
#include <QVariant>

#include <dlfcn.h>
#include <sqlite3.h>

namespace dataset {

bool driverSharesOurSqlite(const QSqlDriver& driver) {
    // The driver's meta-object lives in the library that implements it (the plugin).
    Dl_info info{};
    if (dladdr(driver.metaObject(), &info) == 0 || !info.dli_fname) return false;
    void* plugin = dlopen(info.dli_fname, RTLD_LAZY | RTLD_NOLOAD);
    if (!plugin) return false;
    // Looked up from the plugin: its own copy if it carries one, else the library it links.
    void* deles = dlsym(plugin, "sqlite3_libversion");
    dlclose(plugin);
    return deles && deles == reinterpret_cast<void*>(&sqlite3_libversion);
}

sqlite3* sqliteHandle(const QSqlDatabase& db) {
    if (db.driverName() != QLatin1String("QSQLITE") || !db.isOpen() || !db.driver()) return nullptr;
    const QVariant h = db.driver()->handle();
    if (!h.isValid() || qstrcmp(h.typeName(), "sqlite3*") != 0) return nullptr;
    if (!driverSharesOurSqlite(*db.driver())) return nullptr;
    return *static_cast<sqlite3* const*>(h.constData());
}

}  // namespace dataset
