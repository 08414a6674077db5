#include "module/dataservice/Consultas.h"

// clang-format off

namespace Srv_Kel00815::consultas {

// Transact-SQL, for SQL Server: kept word for word as the product has always sent them.

const char* const kCentroCustoTSql =
    "SELECT DISTINCT CDCCUSCLIE\n"
    "  FROM CONSUMIDOR\n"
    " ORDER BY CDCCUSCLIE";

const char* const kServicoTSql =
    "SELECT SC.CDSERVFILI, SE.NMSERVICO, SC.HRINISERTUR, SC.HRFINSERTUR, SC.IDIMPCUPOMAUT\n"
    "  FROM SERVTURCAIXA SC, SERVICO SE\n"
    " WHERE SC.CDSERVFILI = SE.CDSERVFILI\n"
    "   AND SC.CDFILIAL   = :P_CDFILIAL\n"
    "   AND SC.CDCAIXA    = :P_CDCAIXA";

const char* const kPresencaTSql =
    "SELECT DISTINCT CO.CDIDCONSUMID, CO.NMCONSUMIDOR,CO.IDSITCONSUMI,SUBTABELA.IDCHECK, CO.CDCONSUMIDOR,\n"
    "       CONVERT(VARCHAR, VE.DTHRREALCONCONS, 103) AS DTHRREALCONCONS, :P_CDFILIAL AS CDFILIAL,\n"
    "       :P_CDCAIXA AS CDCAIXA, CO.CDCLIENTE, CO.CDTIPOCONS\n"
    " FROM (SELECT 'N' IDCHECK ) SUBTABELA, CLIENFILIAL CF,\n"
    "        CONSUMIDOR CO LEFT JOIN VENDA VE ON\n"
    "          (VE.CDFILIAL     = :P_CDFILIAL) AND\n"
    "          (VE.CDCAIXA      = :P_CDCAIXA)  AND\n"
    "          (CONVERT(VARCHAR, VE.DTHRREALCONCONS, 103) = :P_DTENTRVENDA) AND\n"
    "          (VE.CDSERVFILI   = :P_CDSERVFILI ) AND\n"
    "          (VE.CDCONSUMIDOR = CO.CDCONSUMIDOR) AND\n"
    "          (VE.IDSITUVENDA = 'O')\n"
    " WHERE CO.CDCCUSCLIE       = :P_CDCCUSCLIE\n"
    "   AND CF.CDFILIAL         = :P_CDFILIAL\n"
    "   AND CF.CDCLIENTE        = CO.CDCLIENTE\n"
    " ORDER BY NMCONSUMIDOR";

const char* const kProdServTSql =
    "SELECT CDSERVFILI, CDPRODUTO\n"
    "  FROM PRODTURCAIXA\n"
    " WHERE CDSERVFILI = :P_CDSERVFILI\n"
    "   AND CDFILIAL   = :P_CDFILIAL\n"
    "   AND CDCAIXA    = :P_CDCAIXA";

const char* const kTipoConsTSql =
    "SELECT DISTINCT CO.CDTIPOCONS\n"
    " FROM (SELECT 'N' IDCHECK ) SUBTABELA, CLIENFILIAL CF,\n"
    "        CONSUMIDOR CO LEFT JOIN VENDA VE ON\n"
    "          (VE.CDFILIAL     = :P_CDFILIAL) AND\n"
    "          (VE.CDCAIXA      = :P_CDCAIXA)  AND\n"
    "          (VE.DTENTRVENDA  = :P_DTENTRVENDA) AND\n"
    "          (VE.CDSERVFILI   = :P_CDSERVFILI ) AND\n"
    "          (VE.CDCONSUMIDOR = CO.CDCONSUMIDOR)\n"
    " WHERE CO.CDCCUSCLIE       = :P_CDCCUSCLIE\n"
    "   AND CF.CDFILIAL         = :P_CDFILIAL\n"
    "   AND CF.CDCLIENTE        = CO.CDCLIENTE";

const char* const kProdServTConsTSql =
    "SELECT CDSERVFILI, CDPRODUTO\n"
    "  FROM PRODSERVTCON\n"
    " WHERE CDSERVFILI = :P_CDSERVFILI\n"
    "   AND CDFILIAL   = :P_CDFILIAL\n"
    "   AND CDCAIXA    = :P_CDCAIXA\n"
    "  AND  CDTIPOCONS = :P_CDTIPOCONS";

// SQLite: the same rows; where the server's text is plain SQL it serves unchanged. The day of
// a sale is the half-open range [:P_DIAINI, :P_DIAFIM) on DTHRREALCONCONS, bound beside the
// "dd/mm/yyyy" text (limitesDoDia): an index seek, not a function of the column, and nothing
// to compute inside each probe. A text that is no such date binds NULL bounds and matches no
// sale, as in the server's text comparison. Semi-joins instead of LEFT
// JOIN + DISTINCT: no duplicate rows to remove. Names sort with the collation PTBR (the
// server's case- and accent-insensitive order), read in that order from IX_CONSUMIDOR_LISTA.

const char* const kCentroCustoSqlite =
    "SELECT DISTINCT CDCCUSCLIE\n"
    "  FROM CONSUMIDOR\n"
    " ORDER BY CDCCUSCLIE COLLATE PTBR";

const char* const kServicoSqlite = kServicoTSql;

// One seek of IX_VENDA_CONSUMIDOR per consumer: the cheaper way for a short list, or when the
// day's sales of the till and service far outnumber the list.
const char* const kPresencaSqlite =
    "SELECT 'N' AS IDCHECK, :P_CDFILIAL AS CDFILIAL, :P_CDCAIXA AS CDCAIXA,\n"
    "       CO.CDIDCONSUMID, CO.NMCONSUMIDOR, CO.IDSITCONSUMI,\n"
    "       CASE WHEN EXISTS (SELECT 1\n"
    "                           FROM VENDA VE\n"
    "                          WHERE VE.CDCONSUMIDOR = CO.CDCONSUMIDOR\n"
    "                            AND VE.CDFILIAL     = :P_CDFILIAL\n"
    "                            AND VE.CDCAIXA      = :P_CDCAIXA\n"
    "                            AND VE.CDSERVFILI   = :P_CDSERVFILI\n"
    "                            AND VE.IDSITUVENDA  = 'O'\n"
    "                            AND VE.DTHRREALCONCONS >= :P_DIAINI\n"
    "                            AND VE.DTHRREALCONCONS <  :P_DIAFIM)\n"
    "            THEN :P_DTENTRVENDA END AS DTHRREALCONCONS,\n"
    "       CO.CDCLIENTE, CO.CDTIPOCONS, CO.CDCONSUMIDOR\n"
    "  FROM CONSUMIDOR CO\n"
    " WHERE CO.CDCCUSCLIE = :P_CDCCUSCLIE\n"
    "   AND CO.CDCLIENTE IN (SELECT CF.CDCLIENTE FROM CLIENFILIAL CF WHERE CF.CDFILIAL = :P_CDFILIAL)\n"
    " ORDER BY CO.NMCONSUMIDOR COLLATE PTBR";

// The day's valid sales of the till and service read once from IX_VENDA_DIA and the list
// matched against them: the cheaper way for a long list on a busy day.
const char* const kPresencaDiaSqlite =
    "SELECT 'N' AS IDCHECK, :P_CDFILIAL AS CDFILIAL, :P_CDCAIXA AS CDCAIXA,\n"
    "       CO.CDIDCONSUMID, CO.NMCONSUMIDOR, CO.IDSITCONSUMI,\n"
    "       CASE WHEN CO.CDCONSUMIDOR IN (SELECT VE.CDCONSUMIDOR\n"
    "                           FROM VENDA VE\n"
    "                          WHERE VE.CDFILIAL     = :P_CDFILIAL\n"
    "                            AND VE.CDCAIXA      = :P_CDCAIXA\n"
    "                            AND VE.CDSERVFILI   = :P_CDSERVFILI\n"
    "                            AND VE.IDSITUVENDA  = 'O'\n"
    "                            AND VE.DTHRREALCONCONS >= :P_DIAINI\n"
    "                            AND VE.DTHRREALCONCONS <  :P_DIAFIM)\n"
    "            THEN :P_DTENTRVENDA END AS DTHRREALCONCONS,\n"
    "       CO.CDCLIENTE, CO.CDTIPOCONS, CO.CDCONSUMIDOR\n"
    "  FROM CONSUMIDOR CO\n"
    " WHERE CO.CDCCUSCLIE = :P_CDCCUSCLIE\n"
    "   AND CO.CDCLIENTE IN (SELECT CF.CDCLIENTE FROM CLIENFILIAL CF WHERE CF.CDFILIAL = :P_CDFILIAL)\n"
    " ORDER BY CO.NMCONSUMIDOR COLLATE PTBR";

// The list's length, whether it is long enough for the other way to be worth asking about;
// short to prepare and to run, since it comes before every list.
const char* const kPresencaListaSqlite =
    "SELECT COUNT(*) AS CONSUMIDORES FROM CONSUMIDOR WHERE CDCCUSCLIE = :P_CDCCUSCLIE";

// For a long list, which of the two reads less: 1 when the day's sales of the till and service
// (counted no further than twice the list) are fewer than twice the list, and the database has
// the index that reads them in a row.
const char* const kPresencaVolumeSqlite =
    "WITH LISTA(N) AS MATERIALIZED (SELECT COUNT(*) FROM CONSUMIDOR WHERE CDCCUSCLIE = :P_CDCCUSCLIE)\n"
    "SELECT CASE WHEN EXISTS (SELECT 1 FROM sqlite_master WHERE type = 'index' AND name = 'IX_VENDA_DIA')\n"
    "            THEN (SELECT COUNT(*) FROM (SELECT 1\n"
    "                           FROM VENDA VE\n"
    "                          WHERE VE.CDFILIAL     = :P_CDFILIAL\n"
    "                            AND VE.CDCAIXA      = :P_CDCAIXA\n"
    "                            AND VE.CDSERVFILI   = :P_CDSERVFILI\n"
    "                            AND VE.IDSITUVENDA  = 'O'\n"
    "                            AND VE.DTHRREALCONCONS >= :P_DIAINI\n"
    "                            AND VE.DTHRREALCONCONS <  :P_DIAFIM\n"
    "                          LIMIT 2 * (SELECT N FROM LISTA))) < 2 * N\n"
    "            ELSE 0 END AS VENDASDODIA\n"
    "  FROM LISTA";

const char* const kProdServSqlite = kProdServTSql;

const char* const kTipoConsSqlite =
    "SELECT DISTINCT CO.CDTIPOCONS\n"
    "  FROM CONSUMIDOR CO\n"
    " WHERE CO.CDCCUSCLIE = :P_CDCCUSCLIE\n"
    "   AND EXISTS (SELECT 1\n"
    "                 FROM CLIENFILIAL CF\n"
    "                WHERE CF.CDFILIAL  = :P_CDFILIAL\n"
    "                  AND CF.CDCLIENTE = CO.CDCLIENTE)";

const char* const kProdServTConsSqlite = kProdServTConsTSql;

// clang-format on

// A badge that is not in the loaded list: the other cost centre of the branch it belongs to
// (seek on IX_CONSUMIDOR_CRACHA).
const char* const kCentroCustoCrachaTSql =
    "SELECT TOP 1 CO.CDCCUSCLIE\n"
    "  FROM CONSUMIDOR CO, CLIENFILIAL CF\n"
    " WHERE CO.CDIDCONSUMID = :P_CDIDCONSUMID\n"
    "   AND CF.CDFILIAL     = :P_CDFILIAL\n"
    "   AND CF.CDCLIENTE    = CO.CDCLIENTE\n"
    "   AND CO.CDCCUSCLIE  <> :P_CDCCUSCLIE\n"
    " ORDER BY CO.CDCCUSCLIE";

const char* const kCentroCustoCrachaSqlite =
    "SELECT CO.CDCCUSCLIE\n"
    "  FROM CONSUMIDOR CO, CLIENFILIAL CF\n"
    " WHERE CO.CDIDCONSUMID = :P_CDIDCONSUMID\n"
    "   AND CF.CDFILIAL     = :P_CDFILIAL\n"
    "   AND CF.CDCLIENTE    = CO.CDCLIENTE\n"
    "   AND CO.CDCCUSCLIE  <> :P_CDCCUSCLIE\n"
    " ORDER BY CO.CDCCUSCLIE\n"
    " LIMIT 1";

std::optional<std::pair<QString, QString>> limitesDoDia(const QString& dia) {
    if (dia.size() != 10 || dia.at(2) != QLatin1Char('/') || dia.at(5) != QLatin1Char('/'))
        return std::nullopt;
    const auto numero = [&dia](int de, int ate) {
        int n = 0;
        for (int i = de; i < ate; ++i) {
            const char16_t c = dia.at(i).unicode();
            if (c < u'0' || c > u'9') return -1;  // ASCII digits only, as SQLite's date() reads
            n = n * 10 + (c - u'0');
        }
        return n;
    };
    int d = numero(0, 2), m = numero(3, 5), a = numero(6, 10);
    if (d < 0 || m < 1 || m > 12 || a < 0) return std::nullopt;
    const bool bissexto = a % 4 == 0 && (a % 100 != 0 || a % 400 == 0);
    const int diasDoMes[] = {31, bissexto ? 29 : 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (d < 1 || d > diasDoMes[m - 1] || (a == 9999 && m == 12 && d == 31)) return std::nullopt;
    const auto texto = [](int ano, int mes, int dd) {
        return QStringLiteral("%1-%2-%3")
            .arg(ano, 4, 10, QLatin1Char('0'))
            .arg(mes, 2, 10, QLatin1Char('0'))
            .arg(dd, 2, 10, QLatin1Char('0'));
    };
    const QString ini = texto(a, m, d);
    if (++d > diasDoMes[m - 1]) {
        d = 1;
        if (++m > 12) {
            m = 1;
            ++a;
        }
    }
    return std::pair{ini, texto(a, m, d)};
}

}  // namespace Srv_Kel00815::consultas
