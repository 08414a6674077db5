// Sale generation from the screen, with recording fakes for the waiting window and the generator:
// who is handed over, what the operator is asked and told, and that the run always ends with the
// window removed, "X" enabled and the list reloaded.

#include <QLabel>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QTest>

#include <sqlite3.h>

#include <hul00002/Hul00002.h>

#include "dataset/DataPacket.h"
#include "dataset/DataSetModel.h"
#include "module/dataservice/TrdmListaPresenca.h"
#include "module/screen/TLabel.h"
#include "platform/TADOConnection.h"
#include "pos/sale/SaleReport.h"
#include "screen/Lista.h"

using namespace teste;

namespace {

class Venda : public Lista {
protected:
    void SetUp() override {
        Lista::SetUp();
        Hul00002::AtivaProcesso = [this](QWidget* form, const QString& texto, int c1, int c2) {
            chamadas << QStringLiteral("AtivaProcesso");
            EXPECT_EQ(form, tela);
            EXPECT_EQ(texto, QStringLiteral(
                                 "Aguarde. Imprimindo cupom fiscal para os alunos selecionados."));
            EXPECT_EQ(c1, 11);
            EXPECT_EQ(c2, 22);
            if (falhaAtiva) throw platform::Error(QStringLiteral("janela"));
        };
        Hul00002::DesativaProcesso = [this] {
            chamadas << QStringLiteral("DesativaProcesso");
            if (falhaDesativa) throw platform::Error(QStringLiteral("desativa"));
        };
        Hul00002::GeraCupomVenda = [this](const QVariant& pacote, int a2, const QVariantList& op,
                                          QVariant& resultado) {
            chamadas << QStringLiteral("GeraCupomVenda");
            entregue = dataset::packetFromVariant(pacote);
            arg2 = a2;
            opcoes = op;
            resultado = resposta;
            if (duranteGeracao) duranteGeracao();
            if (falhaGera) throw platform::Error(QStringLiteral("impressora"));
        };
    }
    void Pronta(bool comProdutosDoServico = true) {
        AbreComDados();
        if (comProdutosDoServico)
            banco.Executa(
                {QStringLiteral("INSERT INTO PRODTURCAIXA (CDFILIAL, CDCAIXA, "
                                "CDSERVFILI, CDPRODUTO) VALUES ('0001','001','01','P1')")});
        Mostra();
        PreencheCabecalho();
        Carrega();
        conta();
    }
    // Counts the product-check statements the data service runs from now on.
    void conta() {
        QVariant h =
            Srv_Kel00815::rdmListaPresenca->adcListaPresenca->database().driver()->handle();
        ASSERT_TRUE(h.isValid());
        sqlite3* db = *static_cast<sqlite3* const*>(h.data());
        sqlite3_trace_v2(
            db, SQLITE_TRACE_STMT,
            [](unsigned, void* ctx, void* p, void*) -> int {
                const QString sql = QString::fromUtf8(sqlite3_sql(static_cast<sqlite3_stmt*>(p)));
                auto* self = static_cast<Venda*>(ctx);
                // The data service's own statements; the run's preview reads the prices.
                if (sql.contains(QLatin1String("PR.VRPRECO"))) return 0;
                if (sql.contains(QLatin1String("FROM PRODTURCAIXA"))) ++self->pedidos[0];
                if (sql.contains(QLatin1String("DISTINCT CO.CDTIPOCONS"))) ++self->pedidos[1];
                if (sql.contains(QLatin1String("FROM PRODSERVTCON"))) ++self->pedidos[2];
                return 0;
            },
            this);
    }
    void Gera() { QTest::mouseClick(tela->blbGeraVenda, Qt::LeftButton); }
    // The run's end as the operator sees it.
    void TerminouBem() {
        EXPECT_EQ(chamadas.count(QStringLiteral("DesativaProcesso")), 1);
        EXPECT_TRUE(tela->lblSair->isEnabled());
        EXPECT_FALSE(tela->cdsPresenca->filtered());
        EXPECT_EQ(Marcas(), QStringList(7, QStringLiteral("N")));
    }

    // The generator's result, made by its own writer: consumer code and, when not sold, why.
    static QVariant Resultado(const QList<std::pair<const char*, const char*>>& desfechos) {
        Hul00002::SaleRun run;
        for (const auto& [consumidor, motivo] : desfechos) {
            Hul00002::SaleOutcome& o = run.outcomes.emplace_back();
            o.consumer = QString::fromUtf8(consumidor);
            o.status = motivo ? Hul00002::SaleStatus::NotSold : Hul00002::SaleStatus::Sold;
            o.reason = QString::fromUtf8(motivo);
        }
        return Hul00002::toVariant(run);
    }
    QImage CelulaDaMarca(const QString& cracha) const {
        const QModelIndex i = tela->dbsPresenca->dataModel()->index(
            int(Crachas().indexOf(cracha)), Coluna(QStringLiteral("IDCHECK")));
        return tela->dbsPresenca->viewport()->grab(tela->dbsPresenca->visualRect(i)).toImage();
    }
    bool Sinalizados() const {
        return tela->blbMarcaNaoVendidos->isVisible() && tela->lblNaoVendidos->isVisible();
    }

    QVariant resposta;
    int pedidos[3] = {0, 0, 0};  // getProdServ, getTipoCons, getProdServTCons
    bool falhaAtiva = false, falhaDesativa = false, falhaGera = false;
    std::function<void()> duranteGeracao;
    dataset::DataPacket entregue;
    int arg2 = -1;
    QVariantList opcoes;
};

TEST_F(Venda, NobodyMarkedIsRefusedWithoutAskingAndTheListReloads) {
    Pronta();
    tela->dxfInativosClick(nullptr);
    Gera();
    EXPECT_EQ(Textos(), QStringList{QStringLiteral(
                            "Geração das vendas não permitida. Nenhum consumidor foi marcado.")});
    EXPECT_EQ(mensagens[0].tipo, 2);
    EXPECT_EQ(chamadas, QStringList{QStringLiteral("DesativaProcesso")});
    TerminouBem();
    EXPECT_EQ(Crachas().size(), 7);
}

TEST_F(Venda, ADeclinedConfirmationHandsNothingOverAndLosesTheMarks) {
    Pronta();
    ClicaMarca(QStringLiteral("100"));
    aoMostrar = [](const platform::MensagemArgs&) {};
    platform::SetMensagemPresenter([this](const platform::MensagemArgs& a) {
        mensagens << a;
        return false;
    });
    Gera();
    ASSERT_EQ(mensagens.size(), 1);
    EXPECT_EQ(mensagens[0].texto,
              QStringLiteral("Confirma a geração das vendas para todos os consumidores marcados?"));
    EXPECT_EQ(mensagens[0].tipo, 1);
    EXPECT_EQ(mensagens[0].flag4, QStringLiteral("S"));
    EXPECT_EQ(mensagens[0].esquema, QStringLiteral("007"));
    EXPECT_FALSE(chamadas.contains(QStringLiteral("GeraCupomVenda")));
    EXPECT_EQ(pedidos[0], 0);
    TerminouBem();
}

TEST_F(Venda, TheHandOverHoldsExactlyTheMarkedRowsWithTheHeadersDateAndHour) {
    Pronta();
    tela->blbHrVenda->setCaption(QStringLiteral("07:05"));
    ClicaMarca(QStringLiteral("100"));
    ClicaMarca(QStringLiteral("102"));
    bool filtradaDuranteAGeracao = false;
    duranteGeracao = [&] {
        filtradaDuranteAGeracao =
            Crachas() == QStringList{QStringLiteral("100"), QStringLiteral("102")};
    };
    Gera();
    EXPECT_EQ(chamadas,
              (QStringList{QStringLiteral("AtivaProcesso"), QStringLiteral("GeraCupomVenda"),
                           QStringLiteral("DesativaProcesso")}));
    EXPECT_TRUE(filtradaDuranteAGeracao);
    // Products for the service: the consumption types are never asked.
    EXPECT_EQ(pedidos[0], 1);
    EXPECT_EQ(pedidos[1], 0);
    EXPECT_EQ(pedidos[2], 0);

    const QStringList campos{QStringLiteral("CDFILIAL"),     QStringLiteral("CDCAIXA"),
                             QStringLiteral("CDIDCONSUMID"), QStringLiteral("CDCONSUMIDOR"),
                             QStringLiteral("NMCONSUMIDOR"), QStringLiteral("CDCLIENTE"),
                             QStringLiteral("CDTIPOCONS"),   QStringLiteral("DATAREAL"),
                             QStringLiteral("HORAREAL"),     QStringLiteral("NRSEQLOGCAT"),
                             QStringLiteral("NRSEQARQIMP")};
    QStringList nomes;
    for (const auto& f : entregue.fields()) nomes << f.name;
    EXPECT_EQ(nomes, campos);
    ASSERT_EQ(entregue.rowCount(), 2);
    QStringList crachas;
    for (int r = 0; r < 2; ++r) {
        crachas << entregue.text(r, 2);
        EXPECT_EQ(entregue.text(r, 0), QStringLiteral("0001"));
        EXPECT_EQ(entregue.text(r, 1), QStringLiteral("001"));
        EXPECT_EQ(entregue.value(r, 7).toDateTime(), QDateTime(QDate(2024, 3, 15), QTime(0, 0)));
        EXPECT_EQ(entregue.text(r, 8), QStringLiteral("0705"));
        EXPECT_TRUE(entregue.text(r, 9).isEmpty());
        EXPECT_TRUE(entregue.text(r, 10).isEmpty());
    }
    crachas.sort();
    EXPECT_EQ(crachas, (QStringList{QStringLiteral("100"), QStringLiteral("102")}));
    EXPECT_EQ(arg2, 0);
    ASSERT_EQ(opcoes.size(), 16);
    for (const QVariant& o : opcoes) EXPECT_FALSE(o.isValid());
    TerminouBem();

    // Right after a run every mark is gone: a second click is refused.
    mensagens.clear();
    Gera();
    EXPECT_EQ(Textos(), QStringList{QStringLiteral(
                            "Geração das vendas não permitida. Nenhum consumidor foi marcado.")});
}

TEST_F(Venda, ATypeLackingProductsStopsTheRunEvenWhenNoMarkedConsumerHasIt) {
    Pronta(false);
    banco.Executa(
        {QStringLiteral("INSERT INTO PRODSERVTCON (CDFILIAL, CDCAIXA, CDSERVFILI, "
                        "CDTIPOCONS, CDPRODUTO) VALUES ('0001','001','01','01','P1')")});
    ClicaMarca(QStringLiteral("100"));  // type 01; only CAIO (not marked) has type 02
    Gera();
    EXPECT_EQ(Textos().last(), QStringLiteral("Geração da vendas não permitida. Falta "
                                              "parametrização de produtos para o serviço "
                                              "informado."));
    EXPECT_EQ(pedidos[0], 1);
    EXPECT_EQ(pedidos[1], 1);
    EXPECT_EQ(pedidos[2], 2);
    EXPECT_FALSE(chamadas.contains(QStringLiteral("GeraCupomVenda")));
    TerminouBem();
}

TEST_F(Venda, EveryTypeIsAskedEvenAfterTheFirstLacks) {
    Pronta(false);
    banco.Executa(
        {QStringLiteral("UPDATE CONSUMIDOR SET CDTIPOCONS = '03' WHERE CDCONSUMIDOR = '7'"),
         QStringLiteral("INSERT INTO PRODSERVTCON (CDFILIAL, CDCAIXA, CDSERVFILI, CDTIPOCONS, "
                        "CDPRODUTO) VALUES ('0001','001','01','02','P1'),"
                        "('0001','001','01','03','P1')")});
    ClicaMarca(QStringLiteral("101"));
    Gera();
    EXPECT_EQ(pedidos[1], 1);
    EXPECT_EQ(pedidos[2], 3);
    EXPECT_FALSE(chamadas.contains(QStringLiteral("GeraCupomVenda")));

    // All types set up: the run goes on.
    banco.Executa(
        {QStringLiteral("INSERT INTO PRODSERVTCON (CDFILIAL, CDCAIXA, CDSERVFILI, "
                        "CDTIPOCONS, CDPRODUTO) VALUES ('0001','001','01','01','P1')")});
    ClicaMarca(QStringLiteral("101"));
    Gera();
    EXPECT_TRUE(chamadas.contains(QStringLiteral("GeraCupomVenda")));
}

TEST_F(Venda, AFailingStepStillEndsWithTheWindowRemovedXEnabledAndTheListReloaded) {
    Pronta();
    for (int caso = 0; caso < 3; ++caso) {
        SCOPED_TRACE(caso);
        falhaAtiva = caso == 0;
        falhaGera = caso == 1;
        falhaDesativa = caso == 2;
        chamadas.clear();
        erros.clear();
        ClicaMarca(QStringLiteral("101"));
        Gera();
        EXPECT_TRUE(tela->lblSair->isEnabled());
        EXPECT_FALSE(tela->cdsPresenca->filtered());
        EXPECT_EQ(Crachas().size(), 7);
        EXPECT_EQ(chamadas.count(QStringLiteral("DesativaProcesso")), 1);
        // The failure reaches the operator once, after the reload.
        EXPECT_EQ(erros.size(), caso == 2 ? 0 : 1);
    }
}

TEST_F(Venda, NothingClosesTheScreenWhileTheRunIsOn) {
    Pronta();
    ClicaMarca(QStringLiteral("100"));
    duranteGeracao = [this] {
        Tecla(Qt::Key_Escape);
        QTest::mouseClick(tela->lblSair, Qt::LeftButton);
        tela->close();  // as the window manager's close does
        EXPECT_TRUE(tela->isVisible());
    };
    Gera();
    EXPECT_TRUE(tela->isVisible());
    Tecla(Qt::Key_Escape);
    EXPECT_FALSE(tela->isVisible());
}

TEST_F(Venda, AHeaderThatCannotBeSoldHandsNothingOver) {
    Pronta();
    const struct {
        QString hora, data, mensagem;
    } casos[] = {
        {QString(), QStringLiteral("15/03/2024"), QStringLiteral("Hora deve ser informada.")},
        {QStringLiteral("7:5"), QStringLiteral("15/03/2024"), QStringLiteral("Hora Inválida.")},
        {QStringLiteral("25:00"), QStringLiteral("15/03/2024"), QStringLiteral("Hora Inválida.")},
        {QStringLiteral("11:30"), QStringLiteral("31/02/2024"),
         QStringLiteral("Data deve ser informada.")},
    };
    for (const auto& c : casos) {
        PreencheCabecalho();
        Carrega();
        ClicaMarca(QStringLiteral("100"));
        tela->blbHrVenda->setCaption(c.hora);
        tela->blbDtVenda->setCaption(c.data);
        mensagens.clear();
        chamadas.clear();
        Gera();
        // Said once: nothing changed, so no reload says it again, and the marks stay.
        EXPECT_EQ(Textos(), QStringList{c.mensagem});
        EXPECT_FALSE(chamadas.contains(QStringLiteral("GeraCupomVenda")));
        EXPECT_TRUE(tela->lblSair->isEnabled());
        EXPECT_EQ(MarcaDe(QStringLiteral("100")), QStringLiteral("S"));
    }
}

// A run refused whole (the server away, offline sales forbidden) changed nothing: no reload,
// and the list keeps its view and its marks, as for a header refused.
TEST_F(Venda, ARunRefusedWithoutTheServerKeepsTheViewAndTheMarks) {
    Pronta();
    ClicaMarca(QStringLiteral("100"));
    tela->dxfPendenteClick(nullptr);
    const QString vista = tela->cdsPresenca->filter();
    Hul00002::SaleRun recusada;
    recusada.refused = true;
    resposta = Hul00002::toVariant(recusada);
    chamadas.clear();
    Gera();
    EXPECT_TRUE(chamadas.contains(QStringLiteral("GeraCupomVenda")));
    EXPECT_EQ(MarcaDe(QStringLiteral("100")), QStringLiteral("S"));
    EXPECT_TRUE(tela->cdsPresenca->filtered());
    EXPECT_EQ(tela->cdsPresenca->filter(), vista);
    EXPECT_TRUE(tela->lblSair->isEnabled());
    EXPECT_EQ(chamadas.count(QStringLiteral("DesativaProcesso")), 1);
}

// The generator finds the service by the hour: an all-day service chosen at an hour that lunch
// holds would be sold as lunch, and the reload would leave the consumer markable.
TEST_F(Venda, AnHourThatAnotherServiceHoldsIsRefusedNamingThatService) {
    Pronta();
    tela->cdsServico->setData(Pacote(
        {QStringLiteral("CDSERVFILI"), QStringLiteral("NMSERVICO"), QStringLiteral("HRINISERTUR"),
         QStringLiteral("HRFINSERTUR"), QStringLiteral("IDIMPCUPOMAUT")},
        {{QStringLiteral("01"), QStringLiteral("ALMOÇO"), QStringLiteral("1100"),
          QStringLiteral("1400"), QStringLiteral("N")},
         {QStringLiteral("09"), QStringLiteral("DIA TODO"), QStringLiteral("0000"),
          QStringLiteral("0000"), QStringLiteral("N")}}));
    banco.Executa(
        {QStringLiteral("INSERT INTO PRODTURCAIXA (CDFILIAL, CDCAIXA, CDSERVFILI, "
                        "CDPRODUTO) VALUES ('0001','001','09','P1')")});
    const struct {
        QString servico, hora;
        bool vende;
    } casos[] = {{QStringLiteral("09"), QStringLiteral("12:00"), false},
                 {QStringLiteral("09"), QStringLiteral("16:00"), true},
                 {QStringLiteral("01"), QStringLiteral("12:00"), true}};
    for (const auto& c : casos) {
        SCOPED_TRACE(QString(c.servico + QLatin1Char(' ') + c.hora).toStdString());
        tela->stCdServFili = c.servico;
        tela->blbHrVenda->setCaption(c.hora);
        ClicaMarca(QStringLiteral("100"));
        mensagens.clear();
        chamadas.clear();
        Gera();
        EXPECT_EQ(chamadas.contains(QStringLiteral("GeraCupomVenda")), c.vende);
        if (!c.vende) {
            ASSERT_EQ(mensagens.size(), 1);
            EXPECT_EQ(mensagens[0].tipo, 2);
            EXPECT_TRUE(mensagens[0].texto.contains(QStringLiteral("ALMOÇO (01)")))
                << mensagens[0].texto.toStdString();
            ClicaMarca(QStringLiteral("100"));  // the mark stayed: take it off for the next case
        }
    }
}

TEST_F(Venda, AProductCheckThatFailsStopsTheRunWithItsErrorOnce) {
    Pronta(false);
    banco.Executa({QStringLiteral("DROP TABLE PRODTURCAIXA")});
    ClicaMarca(QStringLiteral("100"));
    Gera();
    EXPECT_FALSE(chamadas.contains(QStringLiteral("GeraCupomVenda")));
    ASSERT_EQ(mensagens.size(), 2);  // the confirmation, then the failed request
    EXPECT_EQ(mensagens[1].tipo, 3);
    EXPECT_TRUE(erros.isEmpty());
    TerminouBem();
}

TEST_F(Venda, WhoTheRunDidNotSellIsFlaggedCountedAndMarkedAgainInOneTap) {
    Pronta();
    for (const char* c : {"100", "101", "102"}) ClicaMarca(QString::fromLatin1(c));
    // ANA sold; BIA held by another till; CAIO turned inactive meanwhile; FÁBIO (sold before)
    // and a code not in the list are reported too.
    resposta = Resultado({{"1", nullptr},
                          {"2", "ocupado por outro caixa"},
                          {"3", "inativo"},
                          {"6", "x"},
                          {"99", "x"}});
    duranteGeracao = [this] {
        banco.Executa({QStringLiteral("INSERT INTO VENDA (CDFILIAL, CDCAIXA, CDSERVFILI, "
                                      "CDCONSUMIDOR, DTHRREALCONCONS, DTENTRVENDA, IDSITUVENDA) "
                                      "VALUES ('0001','001','01','1','2024-03-15 11:30:00',"
                                      "'2024-03-15 00:00:00','O')"),
                       QStringLiteral("UPDATE CONSUMIDOR SET IDSITCONSUMI = '2' WHERE "
                                      "CDCONSUMIDOR = '3'")});
    };
    Gera();
    TerminouBem();
    EXPECT_EQ(Estado(QStringLiteral("101")),
              QStringLiteral("Pendente, Não vendido: ocupado por outro caixa"));
    EXPECT_EQ(Estado(QStringLiteral("102")), QStringLiteral("Inativo, Não vendido: inativo"));
    EXPECT_EQ(Estado(QStringLiteral("100")), QStringLiteral("Venda gerada"));
    EXPECT_EQ(Estado(QStringLiteral("105")), QStringLiteral("Venda gerada"));
    EXPECT_TRUE(Sinalizados());
    EXPECT_EQ(tela->lblNaoVendidos->caption(), QStringLiteral("Não vendidos: 2"));
    // The mark column shows it, not only the text: BIA's empty box differs from GIL's.
    EXPECT_NE(CelulaDaMarca(QStringLiteral("101")), CelulaDaMarca(QStringLiteral("106")));
    EXPECT_EQ(CelulaDaMarca(QStringLiteral("103")), CelulaDaMarca(QStringLiteral("106")));

    // Both stand inside the window over no other visible control, nor over the title's text.
    const int largura = tela->lblCabec->fontMetrics().horizontalAdvance(tela->lblCabec->caption());
    const QRect titulo(tela->lblCabec->geometry().center().x() - largura / 2, tela->lblCabec->y(),
                       largura, tela->lblCabec->height());
    for (QWidget* novo : QList<QWidget*>{tela->blbMarcaNaoVendidos, tela->lblNaoVendidos}) {
        EXPECT_TRUE(tela->rect().contains(novo->geometry()));
        EXPECT_FALSE(novo->geometry().intersects(titulo));
        for (QWidget* outro : tela->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (outro == novo || outro == tela->lblCabec || !outro->isVisible() ||
                qobject_cast<platform::TBlendedShape*>(outro))
                continue;
            EXPECT_FALSE(novo->geometry().intersects(outro->geometry()))
                << outro->objectName().toStdString();
        }
    }
    Foto();

    // Under another view the tap still reaches the whole list, marks only who can be marked,
    // and leaves the view as it was.
    tela->dxfInativosClick(nullptr);
    QTest::mouseClick(tela->blbMarcaNaoVendidos, Qt::LeftButton);
    EXPECT_TRUE(tela->cdsPresenca->filtered());
    tela->dxfTotalGeralClick(nullptr);
    EXPECT_EQ(Marcas().count(QStringLiteral("S")), 1);
    EXPECT_EQ(MarcaDe(QStringLiteral("101")), QStringLiteral("S"));

    // The next run hands over exactly them; its result says nothing, so no flag is left.
    resposta = QVariant();
    duranteGeracao = nullptr;
    Gera();
    ASSERT_EQ(entregue.rowCount(), 1);
    EXPECT_EQ(entregue.text(0, 2), QStringLiteral("101"));
    EXPECT_FALSE(Sinalizados());
    EXPECT_EQ(Estado(QStringLiteral("101")), QStringLiteral("Pendente"));
}

TEST_F(Venda, FlagsBelongToTheRunsHeaderAndAResultOfAnotherShapeFlagsNobody) {
    Pronta();
    const auto roda = [&](const QVariant& r) {
        resposta = r;
        ClicaMarca(QStringLiteral("101"));
        Gera();
    };
    const QVariant naoVendeuBia = Resultado({{"2", ""}});
    for (const QVariant& r :
         {QVariant(), QVariant(QStringLiteral("notSold")),
          QVariant(QVariantMap{{QStringLiteral("outcomes"), QStringLiteral("2")}}),
          QVariant(QVariantMap{{QStringLiteral("outcomes"), QVariantList{QStringLiteral("2")}}}),
          Resultado({{"", "x"}}), Resultado({{"2", nullptr}})}) {
        roda(naoVendeuBia);
        ASSERT_TRUE(Sinalizados());
        roda(r);  // a later run replaces the flags, here with none
        EXPECT_FALSE(Sinalizados());
    }

    roda(naoVendeuBia);
    EXPECT_EQ(Estado(QStringLiteral("101")), QStringLiteral("Pendente, Não vendido"));
    Carrega();  // the same header: kept
    Tecla(Qt::Key_N);
    EXPECT_EQ(MarcaDe(QStringLiteral("101")), QStringLiteral("S"));
    tela->panCabecClick(nullptr);  // emptied: gone, even for the same header
    Carrega();
    EXPECT_FALSE(Sinalizados());

    roda(naoVendeuBia);
    tela->blbDtVenda->setCaption(QStringLiteral("14/03/2024"));
    Carrega();  // another header
    tela->blbDtVenda->setCaption(QStringLiteral("15/03/2024"));
    Carrega();
    EXPECT_FALSE(Sinalizados());
}

}  // namespace

namespace {

// Beside the confirmation the operator reads what the run will sell, priced by the generator's
// rule; it is gone once answered.
TEST_F(Venda, TheConfirmationShowsWhatTheRunWillSellAndItsTotal) {
    Pronta();
    banco.Executa(
        {QStringLiteral("INSERT INTO PRODUTO (CDPRODUTO, NMPRODUTO, VRPRECO) VALUES "
                        "('P1', 'Almoço', 22.9)")});
    ClicaMarca(QStringLiteral("100"));
    ClicaMarca(QStringLiteral("102"));
    QString resumo;
    aoMostrar = [&](const platform::MensagemArgs& a) {
        if (a.tipo != 1) return;
        auto* l = tela->findChild<QLabel*>(QStringLiteral("lblResumoVenda"));
        resumo = l && l->isVisible() ? l->text() : QStringLiteral("<nada>");
        Foto();
    };
    Gera();
    EXPECT_EQ(resumo, QString::fromUtf8("2 vendas · ALMOÇO (01)\n15/03/2024 às 11:30 · Total R$ "
                                        "45,80"));
    EXPECT_FALSE(tela->findChild<QLabel*>(QStringLiteral("lblResumoVenda"))->isVisible());
    EXPECT_TRUE(chamadas.contains(QStringLiteral("GeraCupomVenda")));
}

}  // namespace
