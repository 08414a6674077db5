#pragma once

#include <QString>

#include <cstdint>

// Copies the demo database made in the SQLite file `arquivo` into the PostgreSQL database that
// `conexao` reaches, in one transaction: the tables of schema_postgresql.sql are created when
// missing, and a database that already has consumers is refused, so that a till's data is
// never mixed with the demo's. Returns the rows copied; throws std::runtime_error with the
// reason (never the password).
std::int64_t copiaParaServidor(const QString& arquivo, const QString& conexao);
