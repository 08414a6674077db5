// Connection strings, the connection object, transactions and the texts of its failures.

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStringEncoder>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "common/FakeTdsServer.h"
#include "common/OdbcDrivers.h"
#include "common/TillFiles.h"
#include "platform/ConnectionText_p.h"
#include "platform/Platform.h"
#include "platform/TADOConnection.h"

using namespace platform;

inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

namespace {

const QString secret = QStringLiteral("Segr3do;}x");

// A small SQLite database with one table, made through its own connection.
QString makeDatabase(const QTemporaryDir& dir, const QString& name = QStringLiteral("t.db")) {
    const QString path = dir.filePath(name);
    teste::makeSqlite(path, {QStringLiteral("CREATE TABLE T (A INTEGER)"),
                             QStringLiteral("INSERT INTO T VALUES (1)")});
    return path;
}

int rowsIn(TADOConnection& c) {
    QSqlQuery q(c.database());
    EXPECT_TRUE(q.exec(QStringLiteral("SELECT COUNT(*) FROM T")));
    q.next();
    return q.value(0).toInt();
}

bool hasFreeTds() {
    return odbcDriverInstalled("FreeTDS");
}

}  // namespace

TEST(ConnectionSettings, AdoSqlServerGoesThroughFreeTdsWithPinsAndTimeout) {
    for (const char* provider : {"SQLOLEDB.1", "SQLNCLI11", "MSOLEDBSQL"}) {
        const ConnectionSettings s = ConnectionSettings::parse(
            QStringLiteral("Provider=%1;Persist Security Info=True;Data Source=srv01,1433;"
                           "Initial Catalog=ZOR;User ID=pdv;Password=\"%2\"")
                .arg(QLatin1String(provider), secret));
        EXPECT_EQ(s.driver, QStringLiteral("QODBC"));
        EXPECT_TRUE(s.sqlServer);
        EXPECT_EQ(s.databaseName,
                  QStringLiteral("Driver={FreeTDS};Server=srv01;Port=1433;Database=ZOR;UID=pdv;"
                                 "PWD={Segr3do;}x};TDS_Version=7.4;ClientCharset=UTF-8"));
        EXPECT_EQ(s.connectOptions, QStringLiteral("SQL_ATTR_LOGIN_TIMEOUT=5"));
    }
    const ConnectionSettings t = ConnectionSettings::parse(QStringLiteral(
        "Provider=SQLOLEDB;Data Source=srv;Integrated Security=SSPI;Connect Timeout=2"));
    EXPECT_TRUE(t.databaseName.contains(QStringLiteral("Trusted_Connection=Yes")));
    EXPECT_EQ(t.loginTimeout, 2);
}

TEST(ConnectionSettings, OdbcStringsPassThroughAndTellTheirDialect) {
    const ConnectionSettings tds = ConnectionSettings::parse(
        QStringLiteral("Driver=FreeTDS;Server=srv;Database=ZOR;UID=u;PWD=p;TDS_Version=8.0"));
    EXPECT_EQ(tds.databaseName,
              QStringLiteral("Driver={FreeTDS};Server=srv;Database=ZOR;UID=u;PWD=p;"
                             "TDS_Version=8.0;ClientCharset=UTF-8"));
    EXPECT_TRUE(tds.sqlServer);
    const ConnectionSettings ms = ConnectionSettings::parse(
        QStringLiteral("Driver={ODBC Driver 18 for SQL Server};Server=tcp:srv,1433;PWD={a;b}"));
    EXPECT_TRUE(ms.sqlServer);
    EXPECT_FALSE(ms.databaseName.contains(QStringLiteral("TDS_Version")));
    EXPECT_TRUE(ms.databaseName.contains(QStringLiteral("PWD={a;b}")));
    const ConnectionSettings lite =
        ConnectionSettings::parse(QStringLiteral("Driver=SQLite3;Database=/x/demo.db"));
    EXPECT_EQ(lite.driver, QStringLiteral("QODBC"));
    EXPECT_FALSE(lite.sqlServer);
    // QODBC adds "DSN=" itself unless it sees DRIVER= or SERVER=.
    EXPECT_EQ(ConnectionSettings::parse(QStringLiteral("DSN=ZOR;UID=u")).databaseName,
              QStringLiteral("ZOR;UID=u"));
}

TEST(ConnectionSettings, SqliteFilesAndBadStrings) {
    EXPECT_EQ(ConnectionSettings::parse(QStringLiteral("/opt/pdv/demo.db")).driver,
              QStringLiteral("QSQLITE"));
    const ConnectionSettings s =
        ConnectionSettings::parse(QStringLiteral("Provider=SQLite;Data Source=/a b/demo.db"));
    EXPECT_EQ(s.driver, QStringLiteral("QSQLITE"));
    EXPECT_EQ(s.databaseName, QStringLiteral("/a b/demo.db"));
    EXPECT_FALSE(s.sqlServer);
    EXPECT_EQ(ConnectionSettings::parse(QStringLiteral("Data Source=demo.db")).driver,
              QStringLiteral("QSQLITE"));
    EXPECT_THROW(ConnectionSettings::parse(QStringLiteral("  ")), Error);
    EXPECT_THROW(ConnectionSettings::parse(QStringLiteral("Provider=MSDAORA.1;Data Source=x")),
                 Error);
    EXPECT_THROW(ConnectionSettings::parse(QStringLiteral("Provider=SQLOLEDB;Initial Catalog=x")),
                 Error);
    // A missing ";" glues a password to the server, which FreeTDS would split at a comma.
    for (const char* glued : {"Data Source=srv Password=a,bcd", "Data Source=srv,1433 Password=x",
                              "Provider=SQLOLEDB;Data Source=srv,14x3;User ID=u"}) {
        try {
            ConnectionSettings::parse(QString::fromLatin1(glued));
            ADD_FAILURE() << glued;
        } catch (const Error& e) {
            EXPECT_FALSE(e.message().contains(QStringLiteral("srv"))) << e.what();
        }
    }
    // A driver would end the string at the NUL, and the password with it.
    EXPECT_THROW(ConnectionSettings::parse(QStringLiteral("Provider=SQLOLEDB;Data Source=x;PWD=a") +
                                           QChar(0) + QStringLiteral("b")),
                 Error);
    try {
        ConnectionSettings::parse(QStringLiteral("Provider=SQLOLEDB;Data Source=x;") +
                                  QStringLiteral("PWD=abc;Segr3do"));
        FAIL();
    } catch (const Error& e) {
        EXPECT_FALSE(e.message().contains(QStringLiteral("Segr3do")));
    }
}

// A value as a connection string writes it: braced, a "}" inside doubled.
QString braced(QString v) {
    return QLatin1Char('{') + v.replace(QLatin1String("}"), QLatin1String("}}")) + QLatin1Char('}');
}

// What the driver puts into the login packet, decoded by a fake server: the password as written,
// whatever it holds, from an ADO string and from an ODBC one.
TEST(ConnectionPasswords, ReachTheServerAsWrittenThroughFreeTds) {
    if (!hasFreeTds()) GTEST_SKIP() << "FreeTDS ODBC driver not installed";
    const QStringList senhas = {QStringLiteral("a}b"),         QStringLiteral("a;b=c"),
                                QStringLiteral("x=}"),         QStringLiteral("\"a\" 'b'"),
                                QStringLiteral("Canário ção"), QStringLiteral("}{"),
                                QStringLiteral("{chaves}"),    QStringLiteral(" espaço ")};
    FakeTdsServer servidor(FakeTdsServer::Mode::RecordLogin, 60, 2 * int(senhas.size()));
    const QString porta = QString::number(servidor.port());
    int logins = 0;
    for (const QString& senha : senhas) {
        for (const QString& conexao :
             {QStringLiteral("Provider=SQLOLEDB;Data Source=127.0.0.1,%1;User ID=sa;Password=%2;"
                             "Connect Timeout=5"),
              QStringLiteral("Driver=FreeTDS;Server=127.0.0.1;Port=%1;UID=sa;PWD=%2;"
                             "Connect Timeout=5")}) {
            TADOConnection c;
            c.setConnectionString(conexao.arg(porta, braced(senha)));
            EXPECT_THROW(c.setConnected(true), DatabaseError);
            const auto recebidos = servidor.logins();
            ASSERT_EQ(recebidos.size(), ++logins) << conexao.toStdString();
            EXPECT_EQ(recebidos.last().password, senha) << conexao.toStdString();
            EXPECT_EQ(recebidos.last().user, QStringLiteral("sa"));
        }
    }
}

TEST(ConnectionPasswords, OneTheDriverCannotReceiveIsRefusedBeforeConnecting) {
    if (!hasFreeTds()) GTEST_SKIP() << "FreeTDS ODBC driver not installed";
    FakeTdsServer servidor(FakeTdsServer::Mode::RecordLogin, 30, 2);
    TADOConnection c;
    c.setConnectionString(QStringLiteral("Provider=SQLOLEDB;Data Source=127.0.0.1,%1;Password=%2")
                              .arg(servidor.port())
                              .arg(braced(QStringLiteral("Segr3do};x"))));
    try {
        c.setConnected(true);
        FAIL();
    } catch (const Error& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("FreeTDS"))) << e.what();
        EXPECT_FALSE(e.message().contains(QStringLiteral("Segr3do")));
    }
    EXPECT_TRUE(servidor.logins().isEmpty());
    // The standard drivers read the doubled brace back.
    EXPECT_TRUE(ConnectionSettings::parse(QStringLiteral("Driver={ODBC Driver 18 for SQL Server};"
                                                         "Server=s;PWD={a}};b}"))
                    .databaseName.contains(QStringLiteral("PWD={a}};b}")));
}

TEST(ConnectionString, EnvironmentThenIniBesideTheExecutableThenDemo) {
    QTemporaryDir dir;
    qunsetenv("LISTAPRESENCA_CONEXAO");
    EXPECT_EQ(detail::connectionStringFor(dir.path(), {}), dir.filePath(QStringLiteral("demo.db")));
    QFile ini(dir.filePath(QStringLiteral("conexao.ini")));
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write("[Banco]\n; comentario\nConexao=Provider=SQLOLEDB;Data Source=srv;Password=a=b;c\n");
    ini.close();
    EXPECT_EQ(detail::connectionStringFor(dir.path(), {}),
              QStringLiteral("Provider=SQLOLEDB;Data Source=srv;Password=a=b;c"));
    qputenv("LISTAPRESENCA_CONEXAO", "/tmp/outro.db");
    EXPECT_EQ(detail::connectionStringFor(dir.path(), {}), QStringLiteral("/tmp/outro.db"));
    qunsetenv("LISTAPRESENCA_CONEXAO");
    // A file without the line is a broken set-up, not a reason to use the demo data.
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ini.write("Outra=1\n");
    ini.close();
    EXPECT_THROW(detail::connectionStringFor(dir.path(), {}), Error);
    // The file's other settings: by the same rules, none of them required.
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ini.write("; LeitorPrefixo=%\nleitorprefixo = \"# \"\nLeitorSufixo=\n");
    ini.close();
    EXPECT_EQ(detail::iniValueIn(dir.path(), QStringLiteral("LeitorPrefixo")),
              QStringLiteral("# "));
    EXPECT_EQ(detail::iniValueIn(dir.path(), QStringLiteral("LeitorSufixo")), QString());
    EXPECT_EQ(detail::iniValueIn(dir.path(), QStringLiteral("LeitorCracha")), std::nullopt);
    ASSERT_TRUE(ini.remove());
    EXPECT_EQ(detail::iniValueIn(dir.path(), QStringLiteral("LeitorPrefixo")), std::nullopt);
}

// conexao.ini as editors save it: UTF-8 with or without a byte-order mark, Windows-1252 as
// Windows editors do, UTF-16 with its mark. The log says which; never what the file holds.
TEST(ConnectionString, TheIniFileIsReadInTheEncodingItWasSavedIn) {
    qunsetenv("LISTAPRESENCA_CONEXAO");
    QTemporaryDir dir;
    const QString conexao =
        QStringLiteral("Provider=SQLOLEDB;Data Source=Canário;Password=Çedilha");
    const QString linhas = QStringLiteral("[Banco]\r\nConexao=") + conexao + QStringLiteral("\r\n");
    QStringEncoder cp1252("Windows-1252");
    QStringEncoder utf16(QStringConverter::Utf16LE);
    const QList<QPair<QByteArray, QString>> casos = {
        {linhas.toUtf8(), QStringLiteral("UTF-8")},
        {"\xEF\xBB\xBF" + linhas.toUtf8(), QStringLiteral("UTF-8")},
        {cp1252(linhas), QStringLiteral("Windows-1252")},
        {"\xFF\xFE" + QByteArray(utf16(linhas)), QStringLiteral("UTF-16")},
    };
    static QStringList log;
    const QtMessageHandler anterior = qInstallMessageHandler(
        [](QtMsgType, const QMessageLogContext&, const QString& m) { log << m; });
    for (const auto& [bytes, codificacao] : casos) {
        QFile ini(dir.filePath(QStringLiteral("conexao.ini")));
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ini.write(bytes);
        ini.close();
        log.clear();
        EXPECT_EQ(detail::connectionStringFor(dir.path(), {}), conexao)
            << codificacao.toStdString();
        EXPECT_TRUE(log.join(QLatin1Char('\n')).contains(codificacao))
            << log.join(QLatin1Char('\n')).toStdString();
        EXPECT_FALSE(log.join(QLatin1Char('\n')).contains(QStringLiteral("edilha")));
    }
    qInstallMessageHandler(anterior);
}

TEST(TADOConnection, HooksRunAroundTheConnectAndOnlyWhenClosed) {
    QTemporaryDir dir;
    const QString path = makeDatabase(dir);
    TADOConnection c;
    QStringList order;
    c.BeforeConnect = [&](QObject* s) {
        EXPECT_EQ(s, &c);
        EXPECT_FALSE(c.connected());
        order << QStringLiteral("before");
        c.setConnectionString(path);
    };
    c.AfterConnect = [&](QObject*) {
        EXPECT_TRUE(c.connected());
        order << QStringLiteral("after");
    };
    EXPECT_FALSE(c.connected());
    c.setConnected(true);
    c.setConnected(true);
    EXPECT_EQ(order, QStringList({QStringLiteral("before"), QStringLiteral("after")}));
    EXPECT_EQ(c.driverName(), QStringLiteral("QSQLITE"));
    EXPECT_FALSE(c.isSqlServer());
    c.setConnected(false);
    c.setConnected(false);
    EXPECT_FALSE(c.connected());
    TryConnect(c);
    EXPECT_EQ(order.size(), 4);
    EXPECT_EQ(rowsIn(c), 1);
}

TEST(TADOConnection, AMissingSqliteFileFailsCleanlyAndIsNotCreated) {
    QTemporaryDir dir;
    const QString missing = dir.filePath(QStringLiteral("nao_existe.db"));
    TADOConnection c;
    bool after = false;
    c.AfterConnect = [&](QObject*) { after = true; };
    c.setConnectionString(QStringLiteral("Provider=SQLite;Data Source=%1;Password=%2")
                              .arg(missing, QStringLiteral("Segr3do")));
    try {
        c.setConnected(true);
        FAIL();
    } catch (const DatabaseError& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("nao_existe.db")));
        const QString text = ADOExceptionMessage(std::current_exception(), &c, {});
        EXPECT_FALSE(text.contains(QStringLiteral("Segr3do")));
        EXPECT_FALSE(e.message().contains(QStringLiteral("Segr3do")));
    }
    EXPECT_FALSE(after);
    EXPECT_FALSE(c.connected());
    EXPECT_FALSE(QFile::exists(missing));
    for (bool ro : {true, false}) {
        c.setReadOnly(ro);
        EXPECT_THROW(c.setConnected(true), DatabaseError);
        EXPECT_FALSE(QFile::exists(missing));
    }
}

TEST(TADOConnection, ARelativeSqliteFileIsTheOneBesideTheHost) {
    const QString name = QStringLiteral("relativo_%1.db").arg(QCoreApplication::applicationPid());
    QTemporaryDir dir;
    QFile::copy(makeDatabase(dir), QDir(QCoreApplication::applicationDirPath()).filePath(name));
    const QString cwd = QDir::currentPath();
    QDir::setCurrent(dir.path());
    TADOConnection c;
    c.setConnectionString(QStringLiteral("Provider=SQLite;Data Source=") + name);
    EXPECT_NO_THROW(c.setConnected(true));
    QDir::setCurrent(cwd);
    c.setConnected(false);
    QFile::remove(QDir(QCoreApplication::applicationDirPath()).filePath(name));
}

TEST(TADOConnection, AFileThatIsNoDatabaseFailsAtConnect) {
    QTemporaryDir dir;
    QFile f(dir.filePath(QStringLiteral("lixo.db")));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(4096, 'x'));
    f.close();
    TADOConnection c;
    c.setConnectionString(f.fileName());
    EXPECT_THROW(c.setConnected(true), DatabaseError);
    EXPECT_FALSE(c.connected());
}

TEST(TADOConnection, SqliteIsReadOnlyUnlessAskedOtherwise) {
    QTemporaryDir dir;
    const QString path = makeDatabase(dir);
    TADOConnection ro;
    ro.setConnectionString(path);
    ro.setConnected(true);
    QSqlQuery q(ro.database());
    EXPECT_FALSE(q.exec(QStringLiteral("INSERT INTO T VALUES (2)")));
    TADOConnection rw;
    rw.setReadOnly(false);
    rw.setConnectionString(path);
    rw.setConnected(true);
    QSqlQuery w(rw.database());
    EXPECT_TRUE(w.exec(QStringLiteral("INSERT INTO T VALUES (2)")));
    EXPECT_EQ(rowsIn(ro), 2);
}

TEST(TADOConnection, TransactionsCommitRollBackAndNeverNest) {
    QTemporaryDir dir;
    const QString path = makeDatabase(dir);
    TADOConnection c;
    c.setReadOnly(false);
    c.setConnectionString(path);
    EXPECT_THROW(c.BeginTrans(), DatabaseError);  // closed
    c.setConnected(true);
    c.CommitTrans();  // nothing open: nothing happens
    c.RollbackTrans();
    EXPECT_FALSE(c.inTransaction());

    c.BeginTrans();
    EXPECT_TRUE(c.inTransaction());
    EXPECT_THROW(c.BeginTrans(), DatabaseError);
    QSqlQuery(c.database()).exec(QStringLiteral("INSERT INTO T VALUES (2)"));
    c.CommitTrans();
    EXPECT_FALSE(c.inTransaction());
    EXPECT_EQ(rowsIn(c), 2);

    c.BeginTrans();
    QSqlQuery(c.database()).exec(QStringLiteral("INSERT INTO T VALUES (3)"));
    c.RollbackTrans();
    EXPECT_EQ(rowsIn(c), 2);

    // Closing with a transaction open undoes it.
    c.BeginTrans();
    QSqlQuery(c.database()).exec(QStringLiteral("INSERT INTO T VALUES (4)"));
    c.setConnected(false);
    EXPECT_FALSE(c.inTransaction());
    c.setConnected(true);
    EXPECT_EQ(rowsIn(c), 2);
}

TEST(TADOConnection, EachInstanceHasItsOwnConnectionNameAndRemovesIt) {
    QTemporaryDir dir;
    const QString a = makeDatabase(dir, QStringLiteral("a.db"));
    const QString b = makeDatabase(dir, QStringLiteral("b.db"));
    const auto before = QSqlDatabase::connectionNames().size();
    {
        TADOConnection ca, cb;
        ca.setConnectionString(a);
        cb.setConnectionString(b);
        ca.setConnected(true);
        cb.setConnected(true);
        EXPECT_NE(ca.database().connectionName(), cb.database().connectionName());
        EXPECT_EQ(ca.database().databaseName(), a);
        SetADODBSession(cb);
        EXPECT_EQ(ADODBSession(), &cb);
    }
    EXPECT_EQ(QSqlDatabase::connectionNames().size(), before);
    EXPECT_EQ(ADODBSession(), nullptr);  // never a dangling session
}

TEST(TADOConnection, OdbcPathWorksThroughTheSqliteOdbcDriver) {
    if (!odbcDriverInstalled("SQLite3")) GTEST_SKIP() << "SQLite3 ODBC driver not installed";
    QTemporaryDir dir;
    const QString path = makeDatabase(dir);
    TADOConnection c;
    c.setConnectionString(QStringLiteral("Driver=SQLite3;Database=%1").arg(path));
    c.setConnected(true);
    EXPECT_EQ(c.driverName(), QStringLiteral("QODBC"));
    EXPECT_FALSE(c.isSqlServer());
    EXPECT_EQ(rowsIn(c), 1);
}

TEST(ConnectionErrors, AWrongSqlServerGivesTheDriverTextWithoutThePassword) {
    if (!hasFreeTds()) GTEST_SKIP() << "FreeTDS ODBC driver not installed";
    TADOConnection c;
    bool after = false;
    c.AfterConnect = [&](QObject*) { after = true; };
    c.setConnectionString(
        QStringLiteral("Provider=SQLOLEDB.1;Data Source=127.0.0.1,1;Initial Catalog=ZOR;"
                       "User ID=sa;Password={%1};Connect Timeout=3")
            .arg(QString(secret).replace(QLatin1String("}"), QLatin1String("}}"))));
    try {
        c.setConnected(true);
        FAIL();
    } catch (...) {
        const QString text = ADOExceptionMessage(std::current_exception(), &c, {});
        EXPECT_FALSE(text.isEmpty());
        EXPECT_FALSE(text.contains(QStringLiteral("Segr3do")));
        EXPECT_FALSE(text.contains(QStringLiteral("Initial Catalog")));
        EXPECT_TRUE(text.startsWith(QStringLiteral("Falha ao conectar"))) << text.toStdString();
    }
    EXPECT_FALSE(after);
    EXPECT_FALSE(c.connected());
}

TEST(ConnectionErrors, PasswordsAreScrubbedFromAnyText) {
    const QString cs = QStringLiteral("Driver=FreeTDS;Server=s;UID=sa;PWD=abc");
    const QString t = detail::scrubSecretsForTest(
        QStringLiteral("login abc failed; PWD=abc; Password = \"xyz 1\"; labcx"), cs);
    EXPECT_FALSE(t.contains(QStringLiteral(" abc ")));
    EXPECT_FALSE(t.contains(QStringLiteral("=abc")));
    EXPECT_FALSE(t.contains(QStringLiteral("xyz")));
    EXPECT_TRUE(t.contains(QStringLiteral("labcx")));  // a short password masks whole words only
    EXPECT_FALSE(detail::scrubSecretsForTest(QStringLiteral("x ") + cs, cs)
                     .contains(QStringLiteral("Server=s")));
    // Found by fuzzing: one password holding a key's letters must not break another's pair,
    // and a shorter one must not leave a longer one half masked.
    EXPECT_FALSE(detail::scrubSecretsForTest(QStringLiteral("Server=u;PWD=u190;APP=x"),
                                             QStringLiteral("Data Source=u;PWD=WD=u;Password=u190"))
                     .contains(QStringLiteral("190")));
    EXPECT_FALSE(detail::scrubSecretsForTest(QStringLiteral("login abcdefgh"),
                                             QStringLiteral("PWD=abcd;Password=abcdefgh"))
                     .contains(QStringLiteral("efgh")));
}
