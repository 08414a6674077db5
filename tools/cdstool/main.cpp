#include <QCoreApplication>
#include <QFile>

#include "cdstool/CdsTool.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QFile in;
    if (!in.open(stdin, QIODevice::ReadOnly)) return 1;
    QTextStream out(stdout);
    QTextStream err(stderr);
    out.setEncoding(QStringConverter::Utf8);
    err.setEncoding(QStringConverter::Utf8);
    const int rc = runCdsTool(app.arguments().mid(1), out, err, in);
    out.flush();
    err.flush();
    return rc;
}
