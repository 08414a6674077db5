#pragma once

// Runs the geravenda program as a till administrator would, for the tests that kill it, race
// two of it or read what it prints. Every wait has its deadline.

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace teste {

struct ProcessOutput {
    int code = -1;  // -1: crashed or killed
    QString out, err;
};

// Sets up `p` to run geravenda with `args`, no connection or printer from the environment,
// offscreen. `pause` ("k", "k:gravada", "k:verificada") makes it stop there and wait for a line
// on its input; `waitToStart` makes it say "geravenda: pronto" and wait before it starts.
void setUpGeraVenda(QProcess& p, const QStringList& args, const QString& pause = QString(),
                    bool waitToStart = false,
                    const QProcessEnvironment& base = QProcessEnvironment::systemEnvironment());
// Waits up to a minute for it to end (then kills it and fails the test).
ProcessOutput finishProcess(QProcess& p);
ProcessOutput runGeraVenda(const QStringList& args, const QProcessEnvironment& base =
                                                        QProcessEnvironment::systemEnvironment());
// Reads its standard error until it says `signal`; false (and a failure) after 30 s or its end.
bool waitForSignal(QProcess& p, const char* signal);
// How many lines of `text` hold `part`.
int countLines(const QString& text, const QString& part);

}  // namespace teste

#include <QDate>

namespace teste {

// Runs geravenda on `handOver` paused inside its first sale's transaction, closes the day of
// branch 0001, till 001 from another session meanwhile, then lets the sale go. Returns the
// number of sales the closing counted (-1, and a failure, when it could not close).
int closingDuringAnOpenSale(const QString& handOver, const QString& connection, const QDate& day);

}  // namespace teste
