#pragma once

// Connection-string text handling shared by the connection, its parser and the error texts.

#include <QList>
#include <QPair>
#include <QString>

#include <optional>

#include "platform/platform_export.h"

namespace platform::detail {

// "Key=Value;..." in order, keys as written. Values may be quoted ("..", '..') or braced
// ({..} with "}}" for "}"). Throws Error on a segment without "=".
using KeyValues = QList<QPair<QString, QString>>;
KeyValues parseKeyValues(const QString& text);

// How a driver reads a braced attribute value. Standard ODBC doubles a "}" inside the braces;
// FreeTDS never undoes the doubling: its value runs literally to the first "};" (or the end).
enum class Braces { Doubled, FreeTds };

// An ODBC attribute value, braced when the driver would otherwise misread it. A value that the
// driver cannot receive at all (FreeTDS: one holding "};") raises Error naming `key` only.
QString odbcValue(const QString& key, const QString& value, Braces braces = Braces::Doubled);

// The password values a connection string holds (Password=, PWD=, ...).
QStringList passwordsOf(const QString& connectionString);

// Removes every password and key=value password pair from a text meant for the operator.
QString scrubSecrets(const QString& text, const QString& connectionString);

// A piece of a connection string fit to quote in a message: empty when it holds a separator,
// since then the parse went wrong and the rest of the string (a password) may be glued to it.
QString quotable(const QString& text);

// The connection strings of every connection object alive, for the secret-removing rule.
QStringList liveConnectionStrings();

// The connection string for a host installed in `dir` (environment, conexao.ini, demo.db).
PLATFORM_TEST_EXPORT QString connectionStringFor(const QString& dir, const QString& key);
// Any other line of that file (nullopt when the file or the line is missing).
PLATFORM_TEST_EXPORT std::optional<QString> iniValueIn(const QString& dir, const QString& key);

// Connects given up at their deadline whose thread still waits on the driver.
PLATFORM_TEST_EXPORT int abandonedConnects();

// Exported for the tests of the operator texts.
PLATFORM_TEST_EXPORT QString scrubSecretsForTest(const QString& text,
                                                 const QString& connectionString);

}  // namespace platform::detail
