#include "common/GeraVendaProcess.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

namespace teste {

void setUpGeraVenda(QProcess& p, const QStringList& args, const QString& pause, bool waitToStart,
                    const QProcessEnvironment& base) {
    QProcessEnvironment env = base;
    env.remove(QStringLiteral("LISTAPRESENCA_CONEXAO"));
    env.remove(QStringLiteral("LISTAPRESENCA_IMPRESSORA"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    if (!pause.isEmpty()) env.insert(QStringLiteral("GERAVENDA_TESTE_PAUSA"), pause);
    if (waitToStart) env.insert(QStringLiteral("GERAVENDA_TESTE_LARGADA"), QStringLiteral("1"));
    p.setProcessEnvironment(env);
    p.setProgram(QStringLiteral(GERAVENDA));
    p.setArguments(args);
}

ProcessOutput finishProcess(QProcess& p) {
    ProcessOutput s;
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished(5000);
        ADD_FAILURE() << "geravenda did not finish";
    }
    s.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    s.out = QString::fromLocal8Bit(p.readAllStandardOutput());
    s.err = QString::fromLocal8Bit(p.readAllStandardError());
    return s;
}

ProcessOutput runGeraVenda(const QStringList& args, const QProcessEnvironment& base) {
    QProcess p;
    setUpGeraVenda(p, args, QString(), false, base);
    p.start();
    return finishProcess(p);
}

bool waitForSignal(QProcess& p, const char* signal) {
    QByteArray err;
    QElapsedTimer deadline;
    deadline.start();
    while (!err.contains(signal) && deadline.elapsed() < 30000 &&
           p.state() != QProcess::NotRunning) {
        p.waitForReadyRead(100);
        err += p.readAllStandardError();
    }
    EXPECT_TRUE(err.contains(signal)) << err.toStdString();
    return err.contains(signal);
}

int countLines(const QString& text, const QString& part) {
    int n = 0;
    for (const QString& l : text.split(QLatin1Char('\n'))) n += l.contains(part) ? 1 : 0;
    return n;
}

}  // namespace teste

#include <QThread>

#include <thread>

#include "platform/Platform.h"
#include "platform/TADOConnection.h"
#include "pos/fiscal/FiscalBook.h"
#include "pos/sale/SalesSchema.h"

namespace teste {

int closingDuringAnOpenSale(const QString& handOver, const QString& connection, const QDate& day) {
    QProcess p;
    setUpGeraVenda(p, {handOver, QStringLiteral("--conexao"), connection}, QStringLiteral("0"));
    p.start();
    if (!waitForSignal(p, "geravenda: pausa")) return -1;
    int counted = -1;
    QString failure;
    std::thread closing([&] {
        try {
            platform::TADOConnection c;
            c.setReadOnly(false);
            c.setConnectionString(connection);
            c.setConnected(true);
            Hul00002::ensureSalesSchema(c);
            counted =
                Hul00002::closeDay(c, QStringLiteral("0001"), QStringLiteral("001"), day).sales;
        } catch (...) {
            failure = platform::TextoDaExcecao(std::current_exception(), QString());
        }
    });
    QThread::msleep(1500);  // the closing is waiting on the sale by now
    p.write("\n");
    const ProcessOutput out = finishProcess(p);
    closing.join();
    EXPECT_TRUE(failure.isEmpty()) << failure.toStdString();
    EXPECT_EQ(out.code, 0) << out.out.toStdString() << out.err.toStdString();
    return counted;
}

}  // namespace teste
