#include "module/dataservice/ConsultasPostgres.h"

// clang-format off

namespace Srv_Kel00815::consultas {

// PostgreSQL folds unquoted names to lower case, also in the result: every column is named in
// quotes as the screen knows it. The day's sales of the till and service are read once, by a
// range on DTHRREALCONCONS computed from the bound "dd/mm/yyyy" text (an index seek, not a
// function of the column), and matched to the consumers through a hash of them (a join that
// the planner, misled by its estimate of one sale, would run as a nested loop over every
// consumer and sale of a busy day); the range is built only from a text
// of that shape, out of arithmetic that cannot fail, and the day's own text must then equal
// the bound one, so that a text that is no such day matches no sale and raises nothing, as in
// the server's text comparison. Names sort with the collation PTBR of schema_postgresql.sql
// (ICU, primary strength: accents with their base letter, case ignored). A bound value shown as
// a column is cast, so that its type never depends on how the driver binds it.

const char* const kCentroCustoPostgres =
    "SELECT CDCCUSCLIE AS \"CDCCUSCLIE\"\n"
    "  FROM CONSUMIDOR\n"
    " GROUP BY CDCCUSCLIE\n"
    " ORDER BY CDCCUSCLIE COLLATE PTBR";

const char* const kServicoPostgres =
    "SELECT SC.CDSERVFILI AS \"CDSERVFILI\", SE.NMSERVICO AS \"NMSERVICO\",\n"
    "       SC.HRINISERTUR AS \"HRINISERTUR\", SC.HRFINSERTUR AS \"HRFINSERTUR\",\n"
    "       SC.IDIMPCUPOMAUT AS \"IDIMPCUPOMAUT\"\n"
    "  FROM SERVTURCAIXA SC, SERVICO SE\n"
    " WHERE SC.CDSERVFILI = SE.CDSERVFILI\n"
    "   AND SC.CDFILIAL   = :P_CDFILIAL\n"
    "   AND SC.CDCAIXA    = :P_CDCAIXA";

const char* const kPresencaPostgres =
    "SELECT 'N' AS \"IDCHECK\", CAST(:P_CDFILIAL AS VARCHAR) AS \"CDFILIAL\",\n"
    "       CAST(:P_CDCAIXA AS VARCHAR) AS \"CDCAIXA\",\n"
    "       CO.CDIDCONSUMID AS \"CDIDCONSUMID\", CO.NMCONSUMIDOR AS \"NMCONSUMIDOR\",\n"
    "       CO.IDSITCONSUMI AS \"IDSITCONSUMI\",\n"
    "       CASE WHEN CO.CDCONSUMIDOR IN (SELECT VE.CDCONSUMIDOR\n"
    "               FROM VENDA VE\n"
    "              WHERE VE.CDFILIAL    = :P_CDFILIAL\n"
    "                AND VE.CDCAIXA     = :P_CDCAIXA\n"
    "                AND VE.CDSERVFILI  = :P_CDSERVFILI\n"
    "                AND VE.IDSITUVENDA = 'O'\n"
    "                AND VE.DTHRREALCONCONS >=\n"
    "                    CASE WHEN :P_DTENTRVENDA ~ '^[0-9]{2}/[0-9]{2}/[0-9]{4}$'\n"
    "                         THEN CAST(make_date(GREATEST(CAST(substr(:P_DTENTRVENDA, 7, 4) AS INTEGER), 1), 1, 1)\n"
    "                                   + make_interval(months => CAST(substr(:P_DTENTRVENDA, 4, 2) AS INTEGER) - 1) AS DATE)\n"
    "                              + (CAST(substr(:P_DTENTRVENDA, 1, 2) AS INTEGER) - 1) END\n"
    "                AND VE.DTHRREALCONCONS <\n"
    "                    CASE WHEN :P_DTENTRVENDA ~ '^[0-9]{2}/[0-9]{2}/[0-9]{4}$'\n"
    "                         THEN CAST(make_date(GREATEST(CAST(substr(:P_DTENTRVENDA, 7, 4) AS INTEGER), 1), 1, 1)\n"
    "                                   + make_interval(months => CAST(substr(:P_DTENTRVENDA, 4, 2) AS INTEGER) - 1) AS DATE)\n"
    "                              + CAST(substr(:P_DTENTRVENDA, 1, 2) AS INTEGER) END\n"
    "                AND to_char(VE.DTHRREALCONCONS, 'DD/MM/YYYY') = :P_DTENTRVENDA)\n"
    "            THEN CAST(:P_DTENTRVENDA AS VARCHAR) END AS \"DTHRREALCONCONS\",\n"
    "       CO.CDCLIENTE AS \"CDCLIENTE\", CO.CDTIPOCONS AS \"CDTIPOCONS\",\n"
    "       CO.CDCONSUMIDOR AS \"CDCONSUMIDOR\"\n"
    "  FROM CONSUMIDOR CO\n"
    " WHERE CO.CDCCUSCLIE = :P_CDCCUSCLIE\n"
    "   AND EXISTS (SELECT 1\n"
    "                 FROM CLIENFILIAL CF\n"
    "                WHERE CF.CDFILIAL  = :P_CDFILIAL\n"
    "                  AND CF.CDCLIENTE = CO.CDCLIENTE)\n"
    " ORDER BY CO.NMCONSUMIDOR COLLATE PTBR";

const char* const kProdServPostgres =
    "SELECT CDSERVFILI AS \"CDSERVFILI\", CDPRODUTO AS \"CDPRODUTO\"\n"
    "  FROM PRODTURCAIXA\n"
    " WHERE CDSERVFILI = :P_CDSERVFILI\n"
    "   AND CDFILIAL   = :P_CDFILIAL\n"
    "   AND CDCAIXA    = :P_CDCAIXA";

// As on SQLite: the sale conditions of the server's text cannot change which types come out.
const char* const kTipoConsPostgres =
    "SELECT DISTINCT CO.CDTIPOCONS AS \"CDTIPOCONS\"\n"
    "  FROM CONSUMIDOR CO\n"
    " WHERE CO.CDCCUSCLIE = :P_CDCCUSCLIE\n"
    "   AND EXISTS (SELECT 1\n"
    "                 FROM CLIENFILIAL CF\n"
    "                WHERE CF.CDFILIAL  = :P_CDFILIAL\n"
    "                  AND CF.CDCLIENTE = CO.CDCLIENTE)";

const char* const kProdServTConsPostgres =
    "SELECT CDSERVFILI AS \"CDSERVFILI\", CDPRODUTO AS \"CDPRODUTO\"\n"
    "  FROM PRODSERVTCON\n"
    " WHERE CDSERVFILI = :P_CDSERVFILI\n"
    "   AND CDFILIAL   = :P_CDFILIAL\n"
    "   AND CDCAIXA    = :P_CDCAIXA\n"
    "   AND CDTIPOCONS = :P_CDTIPOCONS";

// clang-format on

const char* const kCentroCustoCrachaPostgres =
    "SELECT CO.CDCCUSCLIE AS \"CDCCUSCLIE\"\n"
    "  FROM CONSUMIDOR CO, CLIENFILIAL CF\n"
    " WHERE CO.CDIDCONSUMID = :P_CDIDCONSUMID\n"
    "   AND CF.CDFILIAL     = :P_CDFILIAL\n"
    "   AND CF.CDCLIENTE    = CO.CDCLIENTE\n"
    "   AND CO.CDCCUSCLIE  <> :P_CDCCUSCLIE\n"
    " ORDER BY CO.CDCCUSCLIE\n"
    " LIMIT 1";

}  // namespace Srv_Kel00815::consultas
