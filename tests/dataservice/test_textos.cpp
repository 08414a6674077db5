// The Transact-SQL sent to SQL Server is the product's own, character for character, and each
// query declares one parameter per marker, in marker order, typed.
#include <QRegularExpression>
#include <QStringList>

#include <gtest/gtest.h>

#include "module/dataservice/TADOQuery.h"
#include "module/dataservice/TrdmListaPresenca.h"

using namespace Srv_Kel00815;

namespace {

QString linhas(std::initializer_list<const char*> l) {
    QStringList r;
    for (const char* x : l) r << QString::fromLatin1(x);
    return r.join(QLatin1Char('\n'));
}

// clang-format off
const QString kCentroCusto = linhas({
    "SELECT DISTINCT CDCCUSCLIE",
    "  FROM CONSUMIDOR",
    " ORDER BY CDCCUSCLIE",
});

const QString kServico = linhas({
    "SELECT SC.CDSERVFILI, SE.NMSERVICO, SC.HRINISERTUR, SC.HRFINSERTUR, SC.IDIMPCUPOMAUT",
    "  FROM SERVTURCAIXA SC, SERVICO SE",
    " WHERE SC.CDSERVFILI = SE.CDSERVFILI",
    "   AND SC.CDFILIAL   = :P_CDFILIAL",
    "   AND SC.CDCAIXA    = :P_CDCAIXA",
});

const QString kPresenca = linhas({
    "SELECT DISTINCT CO.CDIDCONSUMID, CO.NMCONSUMIDOR,CO.IDSITCONSUMI,SUBTABELA.IDCHECK, CO.CDCONSUMIDOR,",
    "       CONVERT(VARCHAR, VE.DTHRREALCONCONS, 103) AS DTHRREALCONCONS, :P_CDFILIAL AS CDFILIAL,",
    "       :P_CDCAIXA AS CDCAIXA, CO.CDCLIENTE, CO.CDTIPOCONS",
    " FROM (SELECT 'N' IDCHECK ) SUBTABELA, CLIENFILIAL CF,",
    "        CONSUMIDOR CO LEFT JOIN VENDA VE ON",
    "          (VE.CDFILIAL     = :P_CDFILIAL) AND",
    "          (VE.CDCAIXA      = :P_CDCAIXA)  AND",
    "          (CONVERT(VARCHAR, VE.DTHRREALCONCONS, 103) = :P_DTENTRVENDA) AND",
    "          (VE.CDSERVFILI   = :P_CDSERVFILI ) AND",
    "          (VE.CDCONSUMIDOR = CO.CDCONSUMIDOR) AND",
    "          (VE.IDSITUVENDA = 'O')",
    " WHERE CO.CDCCUSCLIE       = :P_CDCCUSCLIE",
    "   AND CF.CDFILIAL         = :P_CDFILIAL",
    "   AND CF.CDCLIENTE        = CO.CDCLIENTE",
    " ORDER BY NMCONSUMIDOR",
});

const QString kProdServ = linhas({
    "SELECT CDSERVFILI, CDPRODUTO",
    "  FROM PRODTURCAIXA",
    " WHERE CDSERVFILI = :P_CDSERVFILI",
    "   AND CDFILIAL   = :P_CDFILIAL",
    "   AND CDCAIXA    = :P_CDCAIXA",
});

const QString kTipoCons = linhas({
    "SELECT DISTINCT CO.CDTIPOCONS",
    " FROM (SELECT 'N' IDCHECK ) SUBTABELA, CLIENFILIAL CF,",
    "        CONSUMIDOR CO LEFT JOIN VENDA VE ON",
    "          (VE.CDFILIAL     = :P_CDFILIAL) AND",
    "          (VE.CDCAIXA      = :P_CDCAIXA)  AND",
    "          (VE.DTENTRVENDA  = :P_DTENTRVENDA) AND",
    "          (VE.CDSERVFILI   = :P_CDSERVFILI ) AND",
    "          (VE.CDCONSUMIDOR = CO.CDCONSUMIDOR)",
    " WHERE CO.CDCCUSCLIE       = :P_CDCCUSCLIE",
    "   AND CF.CDFILIAL         = :P_CDFILIAL",
    "   AND CF.CDCLIENTE        = CO.CDCLIENTE",
});

const QString kProdServTCons = linhas({
    "SELECT CDSERVFILI, CDPRODUTO",
    "  FROM PRODSERVTCON",
    " WHERE CDSERVFILI = :P_CDSERVFILI",
    "   AND CDFILIAL   = :P_CDFILIAL",
    "   AND CDCAIXA    = :P_CDCAIXA",
    "  AND  CDTIPOCONS = :P_CDTIPOCONS",
});

// clang-format on

QString declarados(const TADOQuery* q) {
    QStringList r;
    for (int i = 0; i < q->Parameters.Count(); ++i) {
        const TParameter& p = q->Parameters.Items(i);
        r << QStringLiteral("%1:%2:%3")
                 .arg(p.Name(), p.DataType() == TFieldType::ftDateTime
                                    ? QStringLiteral("ftDateTime")
                                    : QStringLiteral("ftString"))
                 .arg(p.Size());
        EXPECT_TRUE(p.Value().isNull());
    }
    return r.join(QLatin1Char(' '));
}

TEST(TextosTSql, AreTheProductsOwnWordForWord) {
    TrdmListaPresenca dm;
    EXPECT_EQ(dm.adqCentroCusto->sqlTSql(), kCentroCusto);
    EXPECT_EQ(dm.adqServico->sqlTSql(), kServico);
    EXPECT_EQ(dm.adqPresenca->sqlTSql(), kPresenca);
    EXPECT_EQ(dm.adqProdServ->sqlTSql(), kProdServ);
    EXPECT_EQ(dm.adqTipoCons->sqlTSql(), kTipoCons);
    EXPECT_EQ(dm.adqProdServTCons->sqlTSql(), kProdServTCons);
}

TEST(TextosTSql, DeclareOneTypedParameterPerMarkerInOrder) {
    TrdmListaPresenca dm;
    EXPECT_EQ(declarados(dm.adqCentroCusto), QString());
    EXPECT_EQ(declarados(dm.adqServico),
              QStringLiteral("P_CDFILIAL:ftString:16 P_CDCAIXA:ftString:16"));
    EXPECT_EQ(declarados(dm.adqPresenca),
              QStringLiteral("P_CDFILIAL:ftString:16 P_CDCAIXA:ftString:16 P_CDFILIAL:ftString:16 "
                             "P_CDCAIXA:ftString:16 P_DTENTRVENDA:ftDateTime:16 "
                             "P_CDSERVFILI:ftString:16 P_CDCCUSCLIE:ftString:16 "
                             "P_CDFILIAL:ftString:16"));
    EXPECT_EQ(
        declarados(dm.adqProdServ),
        QStringLiteral("P_CDSERVFILI:ftString:16 P_CDFILIAL:ftString:16 P_CDCAIXA:ftString:16"));
    EXPECT_EQ(declarados(dm.adqTipoCons),
              QStringLiteral("P_CDFILIAL:ftString:16 P_CDCAIXA:ftString:16 "
                             "P_DTENTRVENDA:ftDateTime:16 P_CDSERVFILI:ftString:16 "
                             "P_CDCCUSCLIE:ftString:16 P_CDFILIAL:ftString:16"));
    EXPECT_EQ(declarados(dm.adqProdServTCons),
              QStringLiteral("P_CDSERVFILI:ftString:16 P_CDFILIAL:ftString:16 "
                             "P_CDCAIXA:ftString:16 P_CDTIPOCONS:ftString:16"));
}

// SQL Server gets the statement through ODBC, which knows no names: every marker becomes '?'
// and nothing else of the text changes.
TEST(TextosTSql, GoPositionalForOdbcWithEveryMarkerReplaced) {
    TrdmListaPresenca dm;
    const QRegularExpression marcador(QStringLiteral(":P_[A-Z]+"));
    for (const TADOQuery* q : {dm.adqCentroCusto, dm.adqServico, dm.adqPresenca, dm.adqProdServ,
                               dm.adqTipoCons, dm.adqProdServTCons}) {
        QString esperado = q->sqlTSql();
        esperado.replace(marcador, QStringLiteral("?"));
        const QString posicional = TADOQuery::positional(q->sqlTSql());
        EXPECT_EQ(posicional, esperado) << q->objectName().toStdString();
        EXPECT_EQ(posicional.count(QLatin1Char('?')), q->Parameters.Count());
    }
    // Quotes, comments and casts hold no markers.
    EXPECT_EQ(TADOQuery::positional(
                  QStringLiteral("SELECT ':P_A', \":P_B\", [:P_C], x::int -- :P_D\n:P_E")),
              QStringLiteral("SELECT ':P_A', \":P_B\", [:P_C], x::int -- :P_D\n?"));
}

}  // namespace
