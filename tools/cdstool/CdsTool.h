#pragma once

#include <QIODevice>
#include <QStringList>
#include <QTextStream>

// cdstool: dumps a client-dataset file as JSON lines, writes one from JSON lines, and writes a
// till's parameter file. Returns the process exit code (0 ok, 1 failure, 2 usage).
int runCdsTool(const QStringList& args, QTextStream& out, QTextStream& err, QIODevice& in);
