// A SQL driver from a library that carries a SQLite of its own, as a Qt plugin built with a
// bundled copy does. Loaded by the dataset tests; never linked into them.
#include <QSqlDriver>
#include <QSqlResult>

namespace {

class DriverAlheio : public QSqlDriver {
    Q_OBJECT
public:
    bool hasFeature(DriverFeature) const override { return false; }
    bool open(const QString&, const QString&, const QString&, const QString&, int,
              const QString&) override {
        return false;
    }
    void close() override {}
    QSqlResult* createResult() const override { return nullptr; }
};

}  // namespace

extern "C" Q_DECL_EXPORT const char* sqlite3_libversion() {
    return "0.0.0-alheio";
}

extern "C" Q_DECL_EXPORT QSqlDriver* criaDriverAlheio() {
    return new DriverAlheio;
}

#include "DriverAlheio.moc"
