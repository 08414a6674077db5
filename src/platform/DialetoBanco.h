#pragma once

// Which SQL a connection speaks, read from the server it reached, and what a failure of the
// database means whatever server worded it. The statements follow the first; the data service
// and the sale generator act on the second.

#include <QString>

#include <exception>

#include "platform/platform_export.h"

class QSqlDatabase;
class QSqlError;

namespace platform {

class TADOConnection;

enum class Dialeto { Sqlite, SqlServer, Postgres };

// The server behind an open connection: Qt's own driver says it, and through ODBC the DBMS the
// driver reports. Only a DBMS that Qt does not name and that is no SQLite falls back on what
// the connection string suggested (`sqlServerPelaCadeia`).
PLATFORM_EXPORT Dialeto dialetoDoServidor(const QSqlDatabase& db, bool sqlServerPelaCadeia);

// How long a statement waits for a row another transaction holds (another till in the middle
// of a sale) before it fails; SQLite's busy wait is as long.
inline constexpr int kPrazoBloqueioMs = 5000;

// Session settings every connection of that dialect gets right after the connect: the bounded
// lock wait; on PostgreSQL the program's name for the server's list of sessions, and for a
// connection that only reads (the screen's) transactions that cannot write, as SQLite opens
// it read-only. False, with the server's error in `erro`, when the server refuses them.
PLATFORM_EXPORT bool preparaSessao(QSqlDatabase& db, Dialeto d, bool soLeitura, QSqlError* erro);

enum class Falha {
    Outra,
    Duplicada,       // a unique index refused the row
    Bloqueio,        // the lock wait ran out
    ConexaoPerdida,  // the server closed the connection or stopped answering
    ServidorFora,    // no server at that address, or none answered the connect
    LoginRecusado,   // the server refused the login or its password
    DiscoCheio,      // no room left for the database (or its log)
    SemPermissao,    // the login may not do it: a read-only file, a right the server denies
};

// What a failure means, from the driver's text and native code (DatabaseError::driverText and
// nativeCode). PostgreSQL's SQLSTATE comes as the code through Qt's driver; through ODBC the
// code is the ODBC driver's own and the text decides.
PLATFORM_EXPORT Falha classificaFalha(const QString& texto, const QString& codigo, Dialeto d);
// The same for a statement's error as Qt gives it.
PLATFORM_EXPORT Falha classificaFalha(const QSqlError& e, Dialeto d);
// The same for a caught exception (a DatabaseError, or the dataset's failed fetch).
PLATFORM_EXPORT Falha classificaFalha(std::exception_ptr e, Dialeto d);

// The operator's words for a lost connection or an exhausted lock wait, put before the
// server's own text; empty for the other kinds.
PLATFORM_EXPORT QString textoDaFalha(Falha f);

// What a failure a till meets every day means, whichever server worded it and whether or not
// the dialect is known yet (a connect fails before): the kinds below Duplicada, or Outra.
PLATFORM_EXPORT Falha classificaFalhaDoCaixa(const QString& texto, const QString& codigo);
// The whole sentence the operator reads for such a failure, in place of the driver's text
// (which goes to the support log); empty for Outra and Duplicada.
PLATFORM_EXPORT QString textoParaOperador(Falha f);

// A request that failed because the server dropped the connection marks it, so that the next
// request reconnects instead of failing again on the dead handle (an ODBC connection stays
// "open" after the server killed it).
PLATFORM_EXPORT void notaFalha(TADOConnection& c, std::exception_ptr e);
// Closes and reopens a connection marked lost (hooks and all); does nothing otherwise.
// Raises as the connect does; the mark then stays for the next request.
PLATFORM_EXPORT void reconectaSePerdida(TADOConnection& c);

}  // namespace platform
