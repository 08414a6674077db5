// A host may unload the module while its own SQLite connections stay open: nothing the module
// did may leave them calling into code that is gone. A program of its own, since a test that
// links the module could never unload it.
#include <QApplication>
#include <QFile>
#include <QLibrary>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <pkg_kel00815/ListaPresenca.h>

#include "common/TillFiles.h"
#include "platform/Platform.h"

namespace {

bool mapeado(const char* nome) {
    QFile maps(QStringLiteral("/proc/self/maps"));
    return maps.open(QIODevice::ReadOnly) && maps.readAll().contains(nome);
}

QStringList nomes(QSqlQuery& q) {
    QStringList r;
    while (q.next()) r << q.value(0).toString();
    return r;
}

TEST(Descarga, HostConnectionsOutliveTheModule) {
    QTemporaryDir dir;
    const QString banco = dir.filePath(QStringLiteral("till.db"));
    teste::makeSqlite(banco,
                      {QStringLiteral("CREATE TABLE T (NM TEXT)"),
                       QString::fromUtf8("INSERT INTO T VALUES ('Zé'), ('Ângela'), ('ana')")});
    qputenv("LISTAPRESENCA_CONEXAO", banco.toUtf8());
    const platform::MensagemPresenter anterior =
        platform::SetMensagemPresenter([](const platform::MensagemArgs&) { return true; });

    QLibrary modulo(QCoreApplication::applicationDirPath() +
                    QStringLiteral("/../../bin/libPkg_Kel00815.so"));
    ASSERT_TRUE(modulo.load()) << qPrintable(modulo.errorString());
    auto entrada = reinterpret_cast<ListaPresencaFn>(modulo.resolve("ListaPresenca"));
    ASSERT_NE(entrada, nullptr);
    // The module connects to the till's database and shows its screen, which is closed.
    QTimer fecha;
    int tentativas = 0;
    QObject::connect(&fecha, &QTimer::timeout, [&] {
        if (QWidget* w = QApplication::activeModalWidget()) w->close();
        if (++tentativas > 500) fecha.stop();
    });
    fecha.start(10);
    QVariant resultado;
    entrada(nullptr, -1, &resultado);
    fecha.stop();

    QSqlDatabase host =
        QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("host"));
    host.setDatabaseName(banco);
    ASSERT_TRUE(host.open());
    {
        QSqlQuery q(host);
        ASSERT_TRUE(q.exec(QStringLiteral("SELECT NM FROM T ORDER BY NM")));
        EXPECT_EQ(nomes(q).size(), 3);
    }

    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_TRUE(modulo.unload());
    ASSERT_FALSE(mapeado("libPkg_Kel00815")) << "the module stayed in memory: nothing was proved";
    platform::SetMensagemPresenter(anterior);

    {
        QSqlQuery q(host);
        ASSERT_TRUE(q.exec(QStringLiteral("SELECT NM FROM T ORDER BY NM")))
            << q.lastError().text().toStdString();
        EXPECT_EQ(nomes(q), (QStringList{QString::fromUtf8("Zé"), QStringLiteral("ana"),
                                         QString::fromUtf8("Ângela")}));
        // The Brazilian order was never the host's: it is refused, not called.
        EXPECT_FALSE(q.exec(QStringLiteral("SELECT NM FROM T ORDER BY NM COLLATE PTBR")));
        EXPECT_TRUE(q.lastError().text().contains(QStringLiteral("PTBR")))
            << q.lastError().text().toStdString();
    }
    host.close();
    host = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("host"));
    qunsetenv("LISTAPRESENCA_CONEXAO");
}

}  // namespace
