#pragma once

// The files a till keeps beside its host, made for a test: scratch SQLite databases (the
// till's seven tables empty, or any statements), the terminal parameter file, conexao.ini.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace teste {

// The seven tables the data module asks for, each with one column: a database the connect
// accepts and on which every query fails.
const QStringList& emptyTillTables();

// Creates (or adds to) the SQLite file `path` through a connection of its own, running
// `statements` in order; raises std::runtime_error naming the one that failed.
void makeSqlite(const QString& path, const QStringList& statements);

// PARAMETROSZOR.CDS as a till has it: the six scheme colours (0 where not given), the scheme id,
// branch and till.
void writeParameterFile(const QString& path, const QString& branch = QStringLiteral("0001"),
                        const QString& till = QStringLiteral("001"),
                        const QString& scheme = QStringLiteral("001"),
                        const QList<int>& colours = {});

// Any other file of the till (conexao.ini), bytes as given; raises when it cannot be written.
void writeTillFile(const QString& path, const QByteArray& bytes);

}  // namespace teste
