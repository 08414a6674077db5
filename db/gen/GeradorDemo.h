#pragma once

#include <QDate>
#include <QString>

#include <cstdint>
#include <string>
#include <vector>

// What the demo generator makes. The defaults are the small demo till.
struct OpcoesDemo {
    QString arquivo;
    int consumidores = 240;
    std::int64_t vendas = 2000;  // sales of past days; today's come on top
    int dias = 30;               // past days the sales spread over
    std::uint64_t semente = 20240501;
    QDate hoje;            // the day the demo runs on: some sales already made
    int centroGrande = 0;  // consumers of one more cost centre, GRADUAÇÃO; 0: none
    // Lay out every receipt's text; a benchmark database of millions of sales keeps the
    // receipts' numbers only.
    bool textoDosCupons = true;
};

struct CentroDemo {
    std::string codigo;
    int consumidores = 0;
    std::string caixa;    // where its lunches are sold
    int almocosHoje = 0;  // valid lunches sold there today
};

struct ResumoDemo {
    int consumidores = 0;
    std::int64_t vendas = 0;
    std::int64_t vendasHoje = 0;
    double segundos = 0;
    std::vector<CentroDemo> centros;  // the big ones first
};

// Writes a new database at opcoes.arquivo (built in a temporary file, then renamed, so a
// failed run never leaves half a database). Its sales follow the sale generator's rules: one
// valid sale per consumer, service, till and day, with items, a receipt and the till's numbers.
// Throws std::runtime_error with the reason.
ResumoDemo geraDemo(const OpcoesDemo& opcoes);

// Brings a demo database made by an earlier version up to date, keeping its rows. Returns the
// schema version it is at; throws std::runtime_error with the reason.
int atualizaDemo(const QString& arquivo);
