#include "GeradorDemo.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSqlQuery>

#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "platform/TADOConnection.h"
#include "pos/sale/Receipt.h"
#include "pos/sale/SalesSchema.h"
#include "schema_embutido.h"
#include "textorder/ColacaoPtBr.h"

namespace {

// ---------------------------------------------------------------- fixed set-up of the till

const char* const kFilial = "0001";

struct Servico {
    const char* codigo;
    const char* nome;
    int inicio;  // minutes after midnight
    int fim;     // before the start: the service crosses midnight
};
const std::array<Servico, 5> kServicos = {{
    {"00001", "Café da manhã", 6 * 60 + 30, 9 * 60},
    {"00002", "Almoço", 11 * 60, 14 * 60},
    {"00003", "Lanche da tarde", 15 * 60, 17 * 60},
    {"00004", "Jantar", 18 * 60, 20 * 60 + 30},
    {"00005", "Ceia", 22 * 60, 1 * 60 + 30},
}};

// A service at a till; `peso` is how often it sells.
struct Turno {
    const char* caixa;
    int servico;  // index in kServicos
    const char* impCupomAut;
    int peso;
};
// The campus till (003) comes with the big cost centre only, and sells only on its busy day.
const std::array<Turno, 8> kTurnos = {{
    {"001", 0, "S", 12},
    {"001", 1, "N", 40},
    {"001", 2, "N", 10},
    {"001", 3, "N", 15},
    {"001", 4, "N", 3},
    {"002", 0, "N", 8},
    {"002", 2, "S", 12},
    {"003", 1, "N", 0},
}};
constexpr int kAlmocoRefeitorio = 1;
constexpr int kAlmocoCampus = 7;

struct Produto {
    const char* codigo;
    const char* nome;
    double preco;
};
const std::array<Produto, 7> kProdutos = {{
    {"CAFE", "Café da manhã completo", 8.50},
    {"SUCO", "Suco natural 300 ml", 4.50},
    {"ALMOCO", "Almoço executivo", 22.90},
    {"ALMOCOINF", "Almoço infantil", 16.50},
    {"LANCHE", "Lanche da tarde", 7.00},
    {"JANTAR", "Jantar", 21.00},
    {"CEIA", "Ceia", 9.50},
}};

// Products of a whole service at a till (turno index, product).
const std::array<std::pair<int, const char*>, 8> kProdTurno = {{
    {kAlmocoCampus, "ALMOCO"},
    {0, "CAFE"},
    {0, "SUCO"},
    {2, "LANCHE"},
    {3, "JANTAR"},
    {5, "CAFE"},
    {6, "LANCHE"},
    {6, "SUCO"},
}};
// Lunch is set up per consumption type; the late supper only for two types, so that a list
// with another type shows the refusal for missing products.
struct ProdTipo {
    int turno;
    const char* tipo;
    const char* produto;
};
const std::array<ProdTipo, 6> kProdTipo = {{
    {1, "01", "ALMOCO"},
    {1, "02", "ALMOCOINF"},
    {1, "03", "ALMOCO"},
    {1, "04", "ALMOCOINF"},
    {4, "01", "CEIA"},
    {4, "03", "CEIA"},
}};

// What a consumer of that type buys at that service of the till: the products of the service
// as a whole, else those of the type. None: the consumer cannot be sold there.
std::vector<const Produto*> produtosDe(int turno, const std::string& tipo) {
    std::vector<const Produto*> r;
    auto produto = [](const char* codigo) -> const Produto* {
        for (const Produto& p : kProdutos)
            if (std::strcmp(p.codigo, codigo) == 0) return &p;
        return nullptr;
    };
    for (const auto& [t, p] : kProdTurno)
        if (t == turno) r.push_back(produto(p));
    if (r.empty())
        for (const ProdTipo& pt : kProdTipo)
            if (pt.turno == turno && tipo == pt.tipo) r.push_back(produto(pt.produto));
    return r;
}

const std::array<std::pair<const char*, const char*>, 4> kTipos = {
    {{"01", "Integral"}, {"02", "Meio período"}, {"03", "Funcionário"}, {"04", "Bolsista"}}};

// The first two are the big ones of a benchmark database; kCentroGrande comes on request.
const std::array<const char*, 12> kCentros = {{"ENS. MÉDIO", "PRÉ-ESCOLA", "BERÇÁRIO", "MATERNAL",
                                               "1º ANO", "2º ANO", "3º ANO", "4º ANO", "5º ANO",
                                               "DOCENTES", "SECRETARIA", "MANUTENÇÃO"}};
const char* const kCentroGrande = "GRADUAÇÃO";

const std::array<const char*, 48> kNomes = {
    {"Ângela",    "Álvaro",  "João",    "José",    "Márcia",  "Lúcia",    "Antônio",  "Conceição",
     "Sebastião", "Fábio",   "Débora",  "Cláudia", "Inês",    "Tânia",    "Vinícius", "Mônica",
     "Patrícia",  "Luís",    "Júlia",   "Letícia", "Otávio",  "Érica",    "Ícaro",    "Úrsula",
     "Ana",       "Bruno",   "Carla",   "Daniel",  "Eduardo", "Fernanda", "Gabriel",  "Helena",
     "Igor",      "Juliana", "Lucas",   "Mariana", "Natália", "Olívia",   "Paulo",    "Rafael",
     "Sofia",     "Thiago",  "Valéria", "William", "Yasmin",  "Zélia",    "Caio",     "Beatriz"}};
const std::array<const char*, 32> kSobrenomes = {
    {"Silva",     "Santos",   "Conceição", "Araújo",   "Gonçalves", "Pereira",   "Assunção",
     "Magalhães", "Brandão",  "Simões",    "Romão",    "Falcão",    "Guimarães", "Ribeiro",
     "Cardoso",   "Lopes",    "Gomes",     "Damião",   "Estêvão",   "Oliveira",  "Souza",
     "Lima",      "Carvalho", "Almeida",   "Ferreira", "Rodrigues", "Martins",   "Barbosa",
     "Rocha",     "Dias",     "Nogueira",  "Câmara"}};

// ---------------------------------------------------------------- SQLite helpers

class Banco {
public:
    explicit Banco(const QString& arquivo) {
        if (sqlite3_open_v2(QFile::encodeName(arquivo).constData(), &db_,
                            SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK)
            falha("não foi possível criar o banco");
        textorder::registraPtBr(db_);
    }
    ~Banco() { sqlite3_close(db_); }
    Banco(const Banco&) = delete;
    Banco& operator=(const Banco&) = delete;

    void exec(const char* sql) {
        char* erro = nullptr;
        if (sqlite3_exec(db_, sql, nullptr, nullptr, &erro) != SQLITE_OK) {
            const std::string msg = erro ? erro : "erro";
            sqlite3_free(erro);
            throw std::runtime_error(msg);
        }
    }
    [[noreturn]] void falha(const char* onde) const {
        throw std::runtime_error(std::string(onde) + ": " + sqlite3_errmsg(db_));
    }
    sqlite3* get() const { return db_; }

private:
    sqlite3* db_ = nullptr;
};

// A prepared insert: bind in order, then run.
class Insercao {
public:
    Insercao(Banco& b, const char* sql) : b_(b) {
        if (sqlite3_prepare_v2(b.get(), sql, -1, &st_, nullptr) != SQLITE_OK) b.falha(sql);
    }
    ~Insercao() { sqlite3_finalize(st_); }
    Insercao(const Insercao&) = delete;
    Insercao& operator=(const Insercao&) = delete;

    Insercao& t(const char* v) {  // text, or NULL for nullptr
        if (v)
            sqlite3_bind_text(st_, ++i_, v, -1, SQLITE_STATIC);
        else
            sqlite3_bind_null(st_, ++i_);
        return *this;
    }
    Insercao& t(const std::string& v) {
        sqlite3_bind_text(st_, ++i_, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
        return *this;
    }
    Insercao& d(double v) {
        sqlite3_bind_double(st_, ++i_, v);
        return *this;
    }
    Insercao& i(sqlite3_int64 v) {
        sqlite3_bind_int64(st_, ++i_, v);
        return *this;
    }
    void run() {
        if (sqlite3_step(st_) != SQLITE_DONE) b_.falha("inserção");
        sqlite3_reset(st_);
        i_ = 0;
    }

private:
    Banco& b_;
    sqlite3_stmt* st_ = nullptr;
    int i_ = 0;
};

// ---------------------------------------------------------------- data

struct Consumidor {
    std::string codigo, cliente, cracha, nome, centro, tipo;
    char situacao = '1';
};

struct Venda {
    int turno;
    char situacao;
    qint64 dia;  // julian day
    int minuto;  // of that day
    bool operator<(const Venda& o) const {
        // the order of the sale index after the consumer
        const int ca = std::strcmp(kTurnos[static_cast<std::size_t>(turno)].caixa,
                                   kTurnos[static_cast<std::size_t>(o.turno)].caixa);
        if (ca != 0) return ca < 0;
        if (kTurnos[static_cast<std::size_t>(turno)].servico !=
            kTurnos[static_cast<std::size_t>(o.turno)].servico)
            return kTurnos[static_cast<std::size_t>(turno)].servico <
                   kTurnos[static_cast<std::size_t>(o.turno)].servico;
        if (situacao != o.situacao) return situacao < o.situacao;
        return dia != o.dia ? dia < o.dia : minuto < o.minuto;
    }
};

std::string textoData(qint64 juliano, int minuto, int segundo) {
    int a = 0, m = 0, d = 0;
    QDate::fromJulianDay(juliano).getDate(&a, &m, &d);
    char buf[48];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", a, m, d, minuto / 60,
                  minuto % 60, segundo);
    return buf;
}

const char* nomeDoCentro(std::size_t c) {
    return c < kCentros.size() ? kCentros[c] : kCentroGrande;
}

// Sizes of the cost centres: one of a fifth (20,000 of 100,000), one of a twentieth capped
// at 1,000, the others share the rest; the big one on request, on top.
std::vector<int> tamanhosDosCentros(int total, int grande) {
    std::vector<int> t(kCentros.size(), 0);
    if (grande > 0) t.push_back(grande);
    t[0] = std::min(20000, total / 5);
    t[1] = std::min(1000, total / 20);
    const int resto = total - t[0] - t[1];
    const int outros = static_cast<int>(kCentros.size()) - 2;
    for (int i = 0; i < outros; ++i)
        t[static_cast<std::size_t>(i + 2)] = resto / outros + (i < resto % outros ? 1 : 0);
    return t;
}

}  // namespace

ResumoDemo geraDemo(const OpcoesDemo& op) {
    QElapsedTimer relogio;
    relogio.start();
    ResumoDemo resumo;
    const QString temporario = op.arquivo + QStringLiteral(".tmp");
    QFile::remove(temporario);
    QDir().mkpath(QFileInfo(op.arquivo).absolutePath());
    std::mt19937_64 rng(op.semente);
    auto sorteio = [&rng](int n) {
        return static_cast<int>(rng() % static_cast<std::uint64_t>(n));
    };
    {
        Banco b(temporario);
        b.exec(
            "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF; PRAGMA cache_size=-200000;"
            " PRAGMA locking_mode=EXCLUSIVE; PRAGMA temp_store=MEMORY;");
        b.exec(kSchemaSqlite);
        b.exec(kSchemaSqlitePtBr);
        b.exec("BEGIN");

        b.exec(
            "INSERT INTO FILIAL VALUES ('0001', 'Unidade Centro');"
            "INSERT INTO CAIXA VALUES ('0001', '001', 'Caixa Refeitório');"
            "INSERT INTO CAIXA VALUES ('0001', '002', 'Caixa Cantina');"
            "INSERT INTO CLIENTE VALUES ('C001', 'Colégio São José');"
            "INSERT INTO CLIENTE VALUES ('C002', 'Associação de Pais e Mestres');"
            "INSERT INTO CLIENTE VALUES ('C003', 'Escola Parceira Ipê');"
            "INSERT INTO CLIENFILIAL VALUES ('0001', 'C001');"
            "INSERT INTO CLIENFILIAL VALUES ('0001', 'C002');");
        const bool campus = op.centroGrande > 0;
        const auto temTurno = [campus](int t) { return campus || t != kAlmocoCampus; };
        if (campus) b.exec("INSERT INTO CAIXA VALUES ('0001', '003', 'Caixa Campus');");
        {
            Insercao tipo(b, "INSERT INTO TIPOCONS VALUES (?, ?)");
            for (const auto& [c, n] : kTipos) tipo.t(c).t(n).run();
            Insercao serv(b, "INSERT INTO SERVICO VALUES (?, ?)");
            for (const Servico& s : kServicos) serv.t(s.codigo).t(s.nome).run();
            Insercao turno(b, "INSERT INTO SERVTURCAIXA VALUES (?, ?, ?, ?, ?, ?)");
            char ini[16], fim[16];
            for (std::size_t i = 0; i < kTurnos.size(); ++i) {
                if (!temTurno(static_cast<int>(i))) continue;
                const Turno& t = kTurnos[i];
                const Servico& s = kServicos[static_cast<std::size_t>(t.servico)];
                std::snprintf(ini, sizeof ini, "%02d%02d", s.inicio / 60, s.inicio % 60);
                std::snprintf(fim, sizeof fim, "%02d%02d", s.fim / 60, s.fim % 60);
                turno.t(kFilial).t(t.caixa).t(s.codigo).t(ini).t(fim).t(t.impCupomAut).run();
            }
            Insercao prod(b, "INSERT INTO PRODUTO VALUES (?, ?, ?)");
            for (const Produto& p : kProdutos) prod.t(p.codigo).t(p.nome).d(p.preco).run();
            Insercao pt(b, "INSERT INTO PRODTURCAIXA VALUES (?, ?, ?, ?)");
            for (const auto& [t, p] : kProdTurno)
                if (temTurno(t))
                    pt.t(kFilial)
                        .t(kTurnos[static_cast<std::size_t>(t)].caixa)
                        .t(kServicos[static_cast<std::size_t>(
                                         kTurnos[static_cast<std::size_t>(t)].servico)]
                               .codigo)
                        .t(p)
                        .run();
            Insercao ptc(b, "INSERT INTO PRODSERVTCON VALUES (?, ?, ?, ?, ?)");
            for (const ProdTipo& x : kProdTipo) {
                const Turno& t = kTurnos[static_cast<std::size_t>(x.turno)];
                ptc.t(kFilial)
                    .t(t.caixa)
                    .t(kServicos[static_cast<std::size_t>(t.servico)].codigo)
                    .t(x.tipo)
                    .t(x.produto)
                    .run();
            }
        }

        // Consumers, cost centre by cost centre.
        std::vector<Consumidor> consumidores;
        consumidores.reserve(static_cast<std::size_t>(op.consumidores));
        const std::vector<int> tamanhos = tamanhosDosCentros(op.consumidores, op.centroGrande);
        std::vector<std::pair<std::size_t, std::size_t>> faixa;  // consumers of each centre
        for (std::size_t c = 0; c < tamanhos.size(); ++c) {
            const std::size_t inicio = consumidores.size();
            const bool funcionarios = c >= 9 && c < kCentros.size();
            for (int k = 0; k < tamanhos[c]; ++k) {
                Consumidor x;
                const std::size_t i = consumidores.size() + 1;
                char buf[32];
                std::snprintf(buf, sizeof buf, "%06zu", i);
                x.codigo = buf;
                std::snprintf(
                    buf, sizeof buf, "%09llu",
                    100000000ull + (static_cast<unsigned long long>(i) * 7919ull) % 900000000ull);
                x.cracha = buf;
                x.nome = std::string(kNomes[static_cast<std::size_t>(sorteio(kNomes.size()))]) +
                         " " + kSobrenomes[static_cast<std::size_t>(sorteio(kSobrenomes.size()))];
                if (sorteio(2) == 0) {
                    const std::string outro =
                        kSobrenomes[static_cast<std::size_t>(sorteio(kSobrenomes.size()))];
                    if (x.nome.find(outro) == std::string::npos) x.nome += " " + outro;
                }
                const int r = sorteio(100);
                x.cliente = r < 3 ? "C003" : (funcionarios || r < 20 ? "C002" : "C001");
                x.centro = nomeDoCentro(c);
                x.tipo = funcionarios ? "03" : (r < 50 ? "01" : r < 85 ? "02" : "04");
                x.situacao = sorteio(100) < 6 ? '2' : '1';
                consumidores.push_back(std::move(x));
            }
            faixa.emplace_back(inicio, consumidores.size());
        }
        {
            Insercao ins(b,
                         "INSERT INTO CONSUMIDOR (CDCONSUMIDOR, CDCLIENTE, CDIDCONSUMID,"
                         " NMCONSUMIDOR, IDSITCONSUMI, CDCCUSCLIE, CDTIPOCONS)"
                         " VALUES (?, ?, ?, ?, ?, ?, ?)");
            for (const Consumidor& x : consumidores) {
                const char sit[2] = {x.situacao, 0};
                ins.t(x.codigo)
                    .t(x.cliente)
                    .t(x.cracha)
                    .t(x.nome)
                    .t(std::string(sit))
                    .t(x.centro)
                    .t(x.tipo)
                    .run();
            }
        }
        resumo.consumidores = static_cast<int>(consumidores.size());

        // Today, a busy day: half of the big cost centres already had lunch, at the refectory
        // till or, the campus, at its own (a few of those lunches cancelled and made again),
        // and a few others breakfast. Their sales count in the total.
        const qint64 hoje = op.hoje.toJulianDay();
        std::vector<std::vector<Venda>> deHoje(consumidores.size());
        for (std::size_t c = 0; c < faixa.size(); ++c) {
            if (c >= 2 && c < kCentros.size()) continue;
            const int almoco = c < kCentros.size() ? kAlmocoRefeitorio : kAlmocoCampus;
            int almocos = 0;
            for (std::size_t i = faixa[c].first; i < faixa[c].second; i += 2) {
                if (consumidores[i].situacao != '1') continue;
                const int minuto = 11 * 60 + sorteio(150);
                if (sorteio(50) == 0) deHoje[i].push_back({almoco, 'C', hoje, minuto - 5});
                deHoje[i].push_back({almoco, 'O', hoje, minuto});
                ++almocos;
            }
            resumo.centros.push_back({nomeDoCentro(c),
                                      static_cast<int>(faixa[c].second - faixa[c].first),
                                      kTurnos[static_cast<std::size_t>(almoco)].caixa, almocos});
        }
        for (std::size_t c = 2; c < std::min(faixa.size(), kCentros.size()); ++c)
            resumo.centros.push_back(
                {nomeDoCentro(c), static_cast<int>(faixa[c].second - faixa[c].first), "001", 0});
        for (std::size_t i = 0; i < consumidores.size(); ++i)
            if (consumidores[i].situacao == '1' && sorteio(10) == 0)
                deHoje[i].push_back({0, 'O', hoje, 6 * 60 + 30 + sorteio(150)});
        for (const auto& v : deHoje) resumo.vendasHoje += static_cast<std::int64_t>(v.size());

        // Past sales: spread evenly over the consumers (in pairs, one above and one below the
        // average), over the past days and the services by their weight.
        const std::int64_t passadas = std::max<std::int64_t>(0, op.vendas - resumo.vendasHoje);
        const std::int64_t n = static_cast<std::int64_t>(consumidores.size());
        const std::int64_t base = passadas / n;
        const std::int64_t resto = passadas % n;
        int pesoTotal = 0;
        for (const Turno& t : kTurnos) pesoTotal += t.peso;

        Insercao venda(b,
                       "INSERT INTO VENDA (CDFILIAL, CDCAIXA, CDSERVFILI, CDCONSUMIDOR,"
                       " CDCLIENTE, CDTIPOCONS, CDPRODUTO, QTVENDA, VRVENDA, DTHRREALCONCONS,"
                       " DTENTRVENDA, HRREALCONCONS, IDSITUVENDA, NRCUPOMFISCAL, DTCONSUMO,"
                       " NRVENDA)"
                       " VALUES (?, ?, ?, ?, ?, ?, ?, 1, ?, ?, ?, ?, ?, ?, ?, ?)");
        Insercao item(b,
                      "INSERT INTO ITEMVENDA (NRSEQVENDA, NRITEM, CDPRODUTO, QTPRODUTO,"
                      " VRUNITARIO, VRTOTAL) VALUES (?, ?, ?, 1, ?, ?)");
        Insercao cupom(b,
                       "INSERT INTO CUPOMVENDA (NRSEQVENDA, CDFILIAL, CDCAIXA, NRCUPOM,"
                       " DTEMISCUPOM, TXCUPOM, IDIMPRESSO) VALUES (?, ?, ?, ?, ?, ?, ?)");
        // Sale and receipt numbers of each till, in the order the sales are written.
        std::map<std::string, sqlite3_int64> numero{{"001", 0}, {"002", 0}};
        std::vector<Venda> vendas;
        std::int64_t variacao = 0;
        for (std::int64_t i = 0; i < n; ++i) {
            const Consumidor& x = consumidores[static_cast<std::size_t>(i)];
            std::int64_t qtd = base + (i < resto ? 1 : 0);
            if (i % 2 == 0 && i + 1 < n) {
                variacao = base > 1 ? static_cast<std::int64_t>(
                                          rng() % static_cast<std::uint64_t>(base / 2 + 1))
                                    : 0;
                qtd += variacao;
            } else {
                qtd -= variacao;
                variacao = 0;
            }
            vendas = deHoje[static_cast<std::size_t>(i)];
            const std::size_t desejadas = vendas.size() + static_cast<std::size_t>(qtd);
            // One valid sale per consumer, service, till and day: drop repeats and draw again.
            while (vendas.size() < desejadas) {
                for (std::size_t k = vendas.size(); k < desejadas; ++k) {
                    int p = sorteio(pesoTotal), t = 0;
                    while (p >= kTurnos[static_cast<std::size_t>(t)].peso)
                        p -= kTurnos[static_cast<std::size_t>(t++)].peso;
                    const Servico& s = kServicos[static_cast<std::size_t>(
                        kTurnos[static_cast<std::size_t>(t)].servico)];
                    const int duracao = (s.fim - s.inicio + 24 * 60) % (24 * 60);
                    int minuto = s.inicio + sorteio(duracao);
                    qint64 dia = hoje - 1 - sorteio(op.dias);
                    if (minuto >= 24 * 60) {  // after midnight: the next calendar day
                        minuto -= 24 * 60;
                        ++dia;
                    }
                    if (produtosDe(t, x.tipo).empty()) continue;  // not sold there: draw again
                    vendas.push_back({t, sorteio(100) < 3 ? 'C' : 'O', dia, minuto});
                }
                std::sort(vendas.begin(), vendas.end());
                vendas.erase(std::unique(vendas.begin(), vendas.end(),
                                         [](const Venda& a, const Venda& b) {
                                             return a.situacao == 'O' && b.situacao == 'O' &&
                                                    a.turno == b.turno && a.dia == b.dia;
                                         }),
                             vendas.end());
                if (static_cast<qint64>(vendas.size()) >= static_cast<qint64>(op.dias) * 7) break;
            }
            for (const Venda& v : vendas) {
                const Turno& t = kTurnos[static_cast<std::size_t>(v.turno)];
                const Servico& s = kServicos[static_cast<std::size_t>(t.servico)];
                const std::vector<const Produto*> produtos = produtosDe(v.turno, x.tipo);
                qint64 centavos = 0;
                for (const Produto* p : produtos) centavos += qRound64(p->preco * 100);
                char hora[16];
                std::snprintf(hora, sizeof hora, "%02d%02d", v.minuto / 60, v.minuto % 60);
                const char sit[2] = {v.situacao, 0};
                const int segundo = sorteio(60);
                const std::string quando = textoData(v.dia, v.minuto, segundo);
                const sqlite3_int64 nr = ++numero[t.caixa];
                char nrCupom[32];
                std::snprintf(nrCupom, sizeof nrCupom, "%06lld", static_cast<long long>(nr));
                venda.t(kFilial)
                    .t(t.caixa)
                    .t(s.codigo)
                    .t(x.codigo)
                    .t(x.cliente)
                    .t(x.tipo)
                    .t(produtos.front()->codigo)
                    .d(static_cast<double>(centavos) / 100.0)
                    .t(quando)
                    .t(quando)
                    .t(std::string(hora))
                    .t(std::string(sit))
                    .t(std::string(nrCupom))
                    .t(quando.substr(0, 10))
                    .i(nr)
                    .run();
                const sqlite3_int64 id = sqlite3_last_insert_rowid(b.get());
                Hul00002::ReceiptData r;
                int n = 0;
                for (const Produto* p : produtos) {
                    const qint64 c = qRound64(p->preco * 100);
                    item.i(id).i(++n).t(p->codigo).d(p->preco).d(p->preco).run();
                    r.items.push_back(
                        {QString::fromUtf8(p->codigo), QString::fromUtf8(p->nome), c, 1, c});
                }
                std::string texto;
                if (op.textoDosCupons) {
                    const QDateTime dh = QDateTime::fromString(
                        QString::fromStdString(quando), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
                    r.branch = QString::fromUtf8(kFilial);
                    r.branchName = QStringLiteral("Unidade Centro");
                    r.till = QString::fromUtf8(t.caixa);
                    r.tillName = std::strcmp(t.caixa, "001") == 0
                                     ? QStringLiteral("Caixa Refeitório")
                                     : QStringLiteral("Caixa Cantina");
                    r.consumedAt = dh;
                    r.issuedAt = dh;
                    r.receiptNumber = nr;
                    r.saleNumber = nr;
                    r.consumer = QString::fromStdString(x.codigo);
                    r.consumerName = QString::fromStdString(x.nome);
                    r.badge = QString::fromStdString(x.cracha);
                    r.service = QString::fromUtf8(s.codigo);
                    r.serviceName = QString::fromUtf8(s.nome);
                    r.totalCents = centavos;
                    texto = Hul00002::receiptText(r).toStdString();
                }
                cupom.i(id).t(kFilial).t(t.caixa).i(nr).t(quando).t(texto).t(t.impCupomAut).run();
                ++resumo.vendas;
            }
        }
        {
            Insercao num(b, "INSERT INTO NUMCAIXA VALUES (?, ?, ?, ?)");
            for (const auto& [caixa, nr] : numero)
                num.t(kFilial).t(caixa.c_str()).i(nr).i(nr).run();
        }
        b.exec("COMMIT");
        b.exec("PRAGMA analysis_limit=2000; ANALYZE;");
        // As the sale generator leaves it: readers go on while a sale is written.
        b.exec("PRAGMA locking_mode=NORMAL; PRAGMA journal_mode=WAL;");
    }
    QFile::remove(op.arquivo);
    if (!QFile::rename(temporario, op.arquivo))
        throw std::runtime_error("não foi possível gravar " + op.arquivo.toStdString());
    resumo.segundos = static_cast<double>(relogio.elapsed()) / 1000.0;
    return resumo;
}

int atualizaDemo(const QString& arquivo) {
    const QFileInfo fi(arquivo);
    if (!fi.isFile()) throw std::runtime_error("arquivo não encontrado: " + arquivo.toStdString());
    platform::TADOConnection conexao;
    conexao.setReadOnly(false);
    conexao.setConnectionString(fi.absoluteFilePath());
    try {
        conexao.setConnected(true);
        Hul00002::ensureSalesSchema(conexao);
        QSqlQuery q(conexao.database());
        if (!q.exec(QStringLiteral("PRAGMA user_version")) || !q.next())
            throw std::runtime_error("não foi possível ler a versão do banco");
        return q.value(0).toInt();
    } catch (const platform::Error& e) {
        throw std::runtime_error(e.message().toStdString());
    }
}
