// The transaction guard, and writers on one SQLite file that must wait for each other.

#include <QElapsedTimer>
#include <QFile>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>

#include "platform/Platform.h"
#include "platform/TADOConnection.h"
#include "platform/Transacao.h"

using namespace platform;

namespace {

QString criaBanco(const QTemporaryDir& dir) {
    const QString path = dir.filePath(QStringLiteral("t.db"));
    {
        TADOConnection c;
        QFile(path).open(QIODevice::WriteOnly);  // the connection opens existing files only
        c.setReadOnly(false);
        c.setConnectionString(path);
        c.setConnected(true);
        QSqlQuery q(c.database());
        EXPECT_TRUE(q.exec(QStringLiteral("PRAGMA foreign_keys = ON")));
        EXPECT_TRUE(q.exec(QStringLiteral("CREATE TABLE P (ID INTEGER PRIMARY KEY)")));
        EXPECT_TRUE(q.exec(QStringLiteral(
            "CREATE TABLE F (ID INTEGER REFERENCES P (ID) DEFERRABLE INITIALLY DEFERRED)")));
    }
    return path;
}

int conta(TADOConnection& c, const char* tabela) {
    QSqlQuery q(c.database());
    EXPECT_TRUE(q.exec(QStringLiteral("SELECT COUNT(*) FROM %1").arg(QLatin1String(tabela))));
    return q.next() ? q.value(0).toInt() : -1;
}

void insere(TADOConnection& c, const QString& sql) {
    QSqlQuery q(c.database());
    if (!q.exec(sql)) throw std::runtime_error("insert failed");
}

struct Conexao : TADOConnection {
    explicit Conexao(const QString& path) {
        setReadOnly(false);
        setConnectionString(path);
        setConnected(true);
        QSqlQuery(database()).exec(QStringLiteral("PRAGMA foreign_keys = ON"));
    }
};

}  // namespace

TEST(Transacao, CommitsOnlyWhenToldAndUndoesEveryOtherWayOut) {
    QTemporaryDir dir;
    Conexao c(criaBanco(dir));
    {
        Transacao t(c);
        insere(c, QStringLiteral("INSERT INTO P VALUES (1)"));
        t.commit();
        EXPECT_FALSE(c.inTransaction());
    }
    {
        Transacao t(c);
        insere(c, QStringLiteral("INSERT INTO P VALUES (2)"));
    }  // left without commit
    EXPECT_FALSE(c.inTransaction());
    try {
        Transacao t(c);
        insere(c, QStringLiteral("INSERT INTO P VALUES (3)"));
        insere(c, QStringLiteral("INSERT INTO NADA VALUES (3)"));
        t.commit();
    } catch (const std::runtime_error&) {
    }
    EXPECT_FALSE(c.inTransaction());
    EXPECT_EQ(conta(c, "P"), 1);
}

TEST(Transacao, ACommitTheDatabaseRefusesRaisesAndLeavesNothing) {
    QTemporaryDir dir;
    Conexao c(criaBanco(dir));
    {
        Transacao t(c);
        insere(c, QStringLiteral("INSERT INTO P VALUES (1)"));
        insere(c, QStringLiteral("INSERT INTO F VALUES (99)"));  // checked only at commit
        EXPECT_THROW(t.commit(), DatabaseError);
        EXPECT_TRUE(t.ativa());
    }
    EXPECT_FALSE(c.inTransaction());
    EXPECT_EQ(conta(c, "P"), 0);
    // The connection is usable again.
    Transacao t(c);
    insere(c, QStringLiteral("INSERT INTO P VALUES (2)"));
    t.commit();
    EXPECT_EQ(conta(c, "P"), 1);
}

// Both writers read before they write; neither may fail for the other's lock.
TEST(Transacao, TwoWritersThatReadFirstWaitForEachOther) {
    QTemporaryDir dir;
    const QString path = criaBanco(dir);
    Conexao a(path);
    std::atomic<bool> outroComecou{false};
    std::atomic<bool> outroGravou{false};
    Transacao ta(a);
    QThread* outro = QThread::create([&] {
        try {
            Conexao b(path);
            outroComecou = true;
            Transacao tb(b);  // waits for a's lock
            const int n = conta(b, "P");
            insere(b, QStringLiteral("INSERT INTO P VALUES (%1)").arg(n + 10));
            tb.commit();
            outroGravou = true;
        } catch (...) {
            outroComecou = true;
        }
    });
    outro->start();
    QElapsedTimer prazo;
    prazo.start();
    while (!outroComecou && prazo.elapsed() < 10000) QThread::msleep(1);
    QThread::msleep(50);
    EXPECT_EQ(conta(a, "P"), 0);
    insere(a, QStringLiteral("INSERT INTO P VALUES (1)"));
    ta.commit();
    ASSERT_TRUE(outro->wait(20000));
    delete outro;
    EXPECT_TRUE(outroGravou);
    EXPECT_EQ(conta(a, "P"), 2);
    QSqlQuery q(a.database());
    ASSERT_TRUE(q.exec(QStringLiteral("SELECT MAX(ID) FROM P")));
    ASSERT_TRUE(q.next());
    EXPECT_EQ(q.value(0).toInt(), 11);  // the second writer saw the first one's row
}
