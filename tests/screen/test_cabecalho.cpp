// The header as the operator drives it: the four pickers, their validation, the red frame of the
// current step, F9 and Enter in the grid, and what clearing the header keeps.

#include <QApplication>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <hul00002/Hul00002.h>

#include "common/ModalHelper.h"
#include "module/Cli_Kel00815.h"
#include "module/dataservice/TrdmListaPresenca.h"
#include "module/screen/TLabel.h"
#include "screen/Tela.h"

using namespace teste;

namespace {

const QString k002 = QStringLiteral("002");

// Keys for the next modal picker, typed where the operator's keyboard would send them. A picker
// left open is cancelled, so a failure never hangs the run.
void teclasNoProximoModal(std::function<QList<Qt::Key>()> teclas) {
    quandoModal([teclas](QDialog* dlg) {
        // The widget side learns of the activation a little later than the window does.
        for (int i = 0; i < 200 && QApplication::activeWindow() != dlg; ++i) QTest::qWait(10);
        const QPointer<QDialog> guarda(dlg);
        for (Qt::Key k : teclas()) {
            if (!guarda) break;
            QTest::keyClick(foco(dlg), k);
        }
        if (guarda && guarda->isVisible()) {
            ADD_FAILURE() << "picker " << guarda->objectName().toStdString() << " left open";
            guarda->reject();
        }
    });
}

class Cabecalho : public Tela {
protected:
    void AbreComDados() {
        banco = CriaBanco(dir.path());
        banco.Executa({
            QStringLiteral("INSERT INTO CONSUMIDOR (CDCONSUMIDOR, CDCLIENTE, CDIDCONSUMID, "
                           "NMCONSUMIDOR, IDSITCONSUMI, CDCCUSCLIE, CDTIPOCONS) VALUES "
                           "('1','C1','100','ANA','1','ADMINISTRA','01'),"
                           "('2','C1','101','JOÃO','1','ENGENHARIA','01'),"
                           "('3','C1','102','RUI','2','ENGENHARIA','02')"),
            QStringLiteral("INSERT INTO SERVICO (CDSERVFILI, NMSERVICO) VALUES "
                           "('01','ALMOÇO'),('02','JANTAR')"),
            QStringLiteral("INSERT INTO SERVTURCAIXA (CDFILIAL, CDCAIXA, CDSERVFILI, HRINISERTUR, "
                           "HRFINSERTUR, IDIMPCUPOMAUT) VALUES "
                           "('0001','001','01','1100','1400','S'),"
                           "('0001','001','02','1800','2000','N')"),
        });
        Abre();
    }
    // A list in the grid, as a load would leave it.
    void CarregaLista() {
        tela->cdsPresenca->setData(
            PacotePresenca({{QStringLiteral("100"), QStringLiteral("ANA"), QStringLiteral("1")},
                            {QStringLiteral("101"), QStringLiteral("RUI"), QStringLiteral("1")}}));
        tela->blbGeraVenda->setEnabled(true);
        for (auto* l :
             {tela->lblTotPendente, tela->lblTotInativo, tela->lblTotVenda, tela->lblTotGeral})
            l->setCaption(QStringLiteral("2"));
    }
    void PreencheCabecalho() {
        tela->blbCentCusto->setCaption(QStringLiteral("ADMINISTRA"));
        tela->blbServico->setCaption(QStringLiteral("ALMOÇO - 11:00 às 14:00"));
        tela->blbDtVenda->setCaption(QStringLiteral("15/03/2024"));
        tela->blbHrVenda->setCaption(QStringLiteral("11:30"));
    }
    void Hora(const QString& ini, const QString& fin, const std::optional<QString>& entrada) {
        tela->stHrIniSerTur = ini;
        tela->stHrFinSerTur = fin;
        teclado = entrada;
        QTest::mouseClick(tela->dxfhrVenda, Qt::LeftButton);
    }
    QStringList Textos() const {
        QStringList r;
        for (const auto& m : mensagens) r << m.texto;
        return r;
    }
    int Passo() const { return tela->inPasso; }
};

// --- frames and steps

TEST_F(Cabecalho, OnlyTheCurrentStepsFrameIsRed) {
    Abre(false);
    for (int passo = 1; passo <= 4; ++passo) {
        tela->inPasso = passo;
        tela->MudaCor();
        QList<bool> esperado(4, false);
        esperado[passo - 1] = true;
        EXPECT_EQ(QuadrosVermelhos(), esperado) << passo;
    }
    for (int fora : {0, 5, -1}) {
        tela->inPasso = fora;
        tela->MudaCor();
        EXPECT_EQ(QuadrosVermelhos(), QList<bool>(4, false)) << fora;
    }
}

TEST_F(Cabecalho, ShowingTheScreenMakesTheCostCentreCurrentAndFocusesTheGrid) {
    Abre(false);
    tela->inPasso = 3;
    Mostra();
    EXPECT_EQ(Passo(), 1);
    EXPECT_EQ(QuadrosVermelhos(), QList<bool>({true, false, false, false}));
    EXPECT_EQ(tela->focusWidget(), tela->dbsPresenca);
}

TEST_F(Cabecalho, InitialisationRoundsTheWindowAndKeepsTheLegendColours) {
    Cli_Kel00815::boSelTudo = true;
    Abre();
    const QRegion contorno = tela->mask();
    EXPECT_TRUE(contorno.contains(QPoint(400, 300)));
    EXPECT_TRUE(contorno.contains(QPoint(400, 0)));
    EXPECT_TRUE(contorno.contains(QPoint(0, 300)));
    for (const QPoint canto :
         {QPoint(0, 0), QPoint(799, 0), QPoint(0, 594), QPoint(799, 594), QPoint(3, 3)})
        EXPECT_FALSE(contorno.contains(canto)) << canto.x() << "," << canto.y();
    EXPECT_TRUE(contorno.contains(QPoint(8, 8)));  // 40 x 40 corner ellipses, not more
    EXPECT_NE(Srv_Kel00815::rdmListaPresenca, nullptr);
    // The scheme paints colour buttons; the footer squares are the grid's legend and stay.
    EXPECT_EQ(tela->dxfPendente->color(), QColor(0, 128, 0));
    EXPECT_EQ(tela->dxfInativos->color(), QColor(255, 0, 0));
    EXPECT_EQ(tela->dxfNcads->color(), QColor(128, 128, 128));
    EXPECT_EQ(tela->dxfTotalGeral->color(), QColor(0, 128, 0));
    EXPECT_EQ(tela->panCabec->palette().color(QPalette::Window),
              platform::CorParaQColor(inCor2Lido));
    EXPECT_FALSE(Cli_Kel00815::boSelTudo);
    EXPECT_TRUE(mensagens.isEmpty() && erros.isEmpty());
}

TEST_F(Cabecalho, LimpaDadosClearsTheHeaderButKeepsTheChosenValues) {
    Abre(false);
    CarregaLista();
    PreencheCabecalho();
    tela->stCdCCusClie = QStringLiteral("ADMINISTRA");
    tela->stCdServFili = QStringLiteral("01");
    tela->stHrIniSerTur = QStringLiteral("1100");
    tela->stHrFinSerTur = QStringLiteral("1400");
    tela->inPasso = 3;
    tela->LimpaDados();
    EXPECT_EQ(Captions(), QStringList(4, QString()));
    EXPECT_EQ(Contadores(), QStringList(4, QStringLiteral("00")));
    EXPECT_FALSE(tela->blbGeraVenda->isEnabled());
    EXPECT_TRUE(tela->cdsPresenca->isEmpty());
    EXPECT_TRUE(tela->cdsPresenca->active());
    EXPECT_EQ(Passo(), 1);
    EXPECT_EQ(QuadrosVermelhos(), QList<bool>({true, false, false, false}));
    EXPECT_EQ(tela->stCdCCusClie, QStringLiteral("ADMINISTRA"));
    EXPECT_EQ(tela->stCdServFili, QStringLiteral("01"));
    EXPECT_EQ(tela->stHrIniSerTur, QStringLiteral("1100"));
    EXPECT_EQ(tela->stHrFinSerTur, QStringLiteral("1400"));
}

TEST_F(Cabecalho, LimpaDadosAlsoDropsRowsAFooterViewHides) {
    Abre(false);
    CarregaLista();
    tela->cdsPresenca->setFilter(QStringLiteral("IDSITCONSUMI = '2'"));
    tela->cdsPresenca->setFiltered(true);
    ASSERT_EQ(tela->cdsPresenca->recordCount(), 0);
    tela->LimpaDados();
    tela->cdsPresenca->setFiltered(false);
    EXPECT_EQ(tela->cdsPresenca->recordCount(), 0);
}

// --- the hour

TEST_F(Cabecalho, HourWindowIncludesBothBoundsAndRunsAcrossMidnight) {
    Abre(false);
    struct {
        const char* ini;
        const char* fin;
        const char* entrada;
        bool passa;
    } const casos[] = {
        {"1100", "1400", "1100", true},  {"1100", "1400", "1400", true},
        {"1100", "1400", "1059", false}, {"1100", "1400", "1401", false},
        {"2200", "0200", "2200", true},  {"2200", "0200", "2359", true},
        {"2200", "0200", "0", true},     {"2200", "0200", "200", true},
        {"2200", "0200", "201", false},  {"2200", "0200", "2159", false},
        {"0900", "0900", "0", true},     {"0900", "0900", "2359", true},
        {"0900", "0900", "12345", true}, {"0600", "0800", "7", false},
    };
    for (const auto& c : casos) {
        mensagens.clear();
        tela->blbHrVenda->setCaption(QStringLiteral("antes"));
        tela->inPasso = 2;
        Hora(QString::fromLatin1(c.ini), QString::fromLatin1(c.fin),
             QString::fromLatin1(c.entrada));
        const QString caso =
            QStringLiteral("%1-%2 entry %3")
                .arg(QLatin1String(c.ini), QLatin1String(c.fin), QLatin1String(c.entrada));
        const bool recusada =
            !mensagens.isEmpty() && mensagens[0].texto.startsWith(QStringLiteral("Hora informada"));
        EXPECT_EQ(recusada, !c.passa) << caso.toStdString();
        if (!c.passa) {
            ASSERT_EQ(mensagens.size(), 1);
            EXPECT_EQ(mensagens[0].tipo, 3);
            EXPECT_EQ(mensagens[0].esquema, k002);
            EXPECT_EQ(tela->blbHrVenda->caption(), QStringLiteral("antes"));
            EXPECT_EQ(Passo(), 2) << caso.toStdString();
        } else {
            EXPECT_EQ(Passo(), 4) << caso.toStdString();
        }
    }
    EXPECT_TRUE(erros.isEmpty()) << erros.join(QLatin1Char('\n')).toStdString();
}

TEST_F(Cabecalho, HourCaptionFollowsTheLengthOfTheEntry) {
    Abre(false);
    struct {
        const char* entrada;
        const char* caption;
    } const casos[] = {
        {"7", "07:00"}, {"12", "12:00"}, {"730", "07:30"}, {"1230", "12:30"}, {"1275", "12:75"}};
    for (const auto& c : casos) {
        Hora(QStringLiteral("0000"), QStringLiteral("0000"), QString::fromLatin1(c.entrada));
        EXPECT_EQ(tela->blbHrVenda->caption(), QString::fromLatin1(c.caption)) << c.entrada;
    }
    EXPECT_TRUE(mensagens.isEmpty());

    // Five digits: HORA_INV with the fixed scheme, an empty caption, and still step 4.
    tela->inPasso = 2;
    Hora(QStringLiteral("0000"), QStringLiteral("0000"), QStringLiteral("12345"));
    ASSERT_EQ(mensagens.size(), 1);
    EXPECT_EQ(mensagens[0].texto, QStringLiteral("Hora Inválida."));
    EXPECT_EQ(mensagens[0].tipo, 3);
    EXPECT_EQ(mensagens[0].esquema, k002);
    EXPECT_EQ(tela->blbHrVenda->caption(), QString());
    EXPECT_EQ(Passo(), 4);

    // An empty entry leaves the caption as it was.
    tela->blbHrVenda->setCaption(QStringLiteral("09:15"));
    tela->inPasso = 1;
    Hora(QStringLiteral("0000"), QStringLiteral("0000"), QString());
    EXPECT_EQ(tela->blbHrVenda->caption(), QStringLiteral("09:15"));
    EXPECT_EQ(Passo(), 4);
}

TEST_F(Cabecalho, HourKeypadGetsItsTextsAndCancellingClearsTheHeader) {
    Abre(false);
    CarregaLista();
    PreencheCabecalho();
    Hora(QStringLiteral("1100"), QStringLiteral("1400"), std::nullopt);
    ASSERT_EQ(argsTeclado.size(), 1);
    EXPECT_EQ(
        argsTeclado[0],
        QVariantList({QString(), QStringLiteral("Informe o horário da venda."),
                      QStringLiteral("Informe Hora e minuto sem \":\""),
                      QStringLiteral("Hora da venda deve ser informada."), 20, 0, 0, 0, 0, 0}));
    EXPECT_EQ(Captions(), QStringList(4, QString()));
    EXPECT_TRUE(tela->cdsPresenca->isEmpty());
    EXPECT_EQ(Passo(), 1);
    EXPECT_TRUE(mensagens.isEmpty());
}

TEST_F(Cabecalho, UnreadableHoursGoToTheGeneralErrorDisplayAndChangeNothing) {
    Abre(false);
    tela->blbHrVenda->setCaption(QStringLiteral("11:30"));
    tela->inPasso = 2;
    Hora(QString(), QString(), QStringLiteral("1130"));  // no service chosen yet
    Hora(QStringLiteral("1100"), QStringLiteral("1400"), QStringLiteral("11a0"));
    Hora(QStringLiteral("1100"), QStringLiteral("1400"), QString());  // empty, with a window
    ASSERT_EQ(erros.size(), 3);
    EXPECT_TRUE(erros[0].contains(QStringLiteral("serviço"))) << erros[0].toStdString();
    EXPECT_TRUE(erros[1].contains(QStringLiteral("11a0")));
    EXPECT_TRUE(mensagens.isEmpty());
    EXPECT_EQ(tela->blbHrVenda->caption(), QStringLiteral("11:30"));
    EXPECT_EQ(Passo(), 2);
}

// --- the date

TEST_F(Cabecalho, DateLaterThanTodayIsRefusedThenTheWholeHeaderCleared) {
    Abre(false);
    CarregaLista();
    PreencheCabecalho();
    tela->stIdEsquema = QStringLiteral("007");
    QStringList captionsNaMensagem;
    aoMostrar = [&](const platform::MensagemArgs&) { captionsNaMensagem = Captions(); };
    dataCalendario = QStringLiteral("16/03/2024");
    QTest::mouseClick(tela->dxfDtVenda, Qt::LeftButton);

    EXPECT_EQ(argsCalendario, QList<QList<int>>({{0, tela->inCor1, tela->inCor2}}));
    ASSERT_EQ(mensagens.size(), 1);
    EXPECT_EQ(mensagens[0].texto,
              QStringLiteral("Data Inválida. Data da venda não deve ser maior que a data atual"));
    EXPECT_EQ(mensagens[0].tipo, 3);
    EXPECT_EQ(mensagens[0].esquema, QStringLiteral("007"));
    EXPECT_EQ(mensagens[0].flag3, QStringLiteral("N"));
    EXPECT_EQ(mensagens[0].flag4, QStringLiteral("N"));
    EXPECT_EQ(captionsNaMensagem.value(2), QStringLiteral("16/03/2024"));  // shown first
    EXPECT_EQ(Captions(), QStringList(4, QString()));
    EXPECT_EQ(Contadores(), QStringList(4, QStringLiteral("00")));
    EXPECT_FALSE(tela->blbGeraVenda->isEnabled());
    EXPECT_EQ(QuadrosVermelhos(), QList<bool>({true, false, false, false}));
    EXPECT_TRUE(erros.isEmpty());
}

TEST_F(Cabecalho, TheSameDateKeepsTheListAnotherDateEmptiesIt) {
    Abre(false);
    CarregaLista();
    tela->blbDtVenda->setCaption(QStringLiteral("15/03/2024"));
    dataCalendario = QStringLiteral("15/03/2024");  // today
    QTest::mouseClick(tela->dxfDtVenda, Qt::LeftButton);
    EXPECT_EQ(tela->cdsPresenca->recordCount(), 2);
    EXPECT_EQ(Passo(), 4);
    EXPECT_EQ(QuadrosVermelhos(), QList<bool>({false, false, false, true}));

    dataCalendario = QStringLiteral("01/02/2023");
    QTest::mouseClick(tela->dxfDtVenda, Qt::LeftButton);
    EXPECT_EQ(tela->blbDtVenda->caption(), QStringLiteral("01/02/2023"));
    EXPECT_TRUE(tela->cdsPresenca->isEmpty());
    EXPECT_TRUE(tela->blbGeraVenda->isEnabled());  // only LimpaDados disables it
    EXPECT_TRUE(mensagens.isEmpty());
}

TEST_F(Cabecalho, CancelledCalendarClearsTheHeaderAndAnUnreadableDateStays) {
    Abre(false);
    PreencheCabecalho();
    dataCalendario = QString();
    QTest::mouseClick(tela->dxfDtVenda, Qt::LeftButton);
    EXPECT_EQ(Captions(), QStringList(4, QString()));
    EXPECT_EQ(Passo(), 1);

    tela->inPasso = 2;
    dataCalendario = QStringLiteral("32/13/2024");
    QTest::mouseClick(tela->dxfDtVenda, Qt::LeftButton);
    ASSERT_EQ(erros.size(), 1);
    EXPECT_TRUE(erros[0].contains(QStringLiteral("32/13/2024")));
    EXPECT_EQ(tela->blbDtVenda->caption(), QStringLiteral("32/13/2024"));
    EXPECT_EQ(Passo(), 2);
    EXPECT_TRUE(mensagens.isEmpty());
}

// --- cost centre and service, from the till's database

TEST_F(Cabecalho, CostCentrePickFillsTheStepAndMovesToTheService) {
    AbreComDados();
    campoEscolha = QStringLiteral("CDCCUSCLIE");
    escolha = QStringLiteral("ENGENHARIA");
    QStringList oferecidos;
    aoPesquisar = [&](dataset::ClientDataSet& ds) {
        for (ds.first(); !ds.eof(); ds.next())
            oferecidos << ds.fieldByName(QStringLiteral("CDCCUSCLIE")).asString();
        EXPECT_EQ(ds.fieldDef(0).label(), QStringLiteral("Centro de Custo"));
    };
    CarregaLista();
    QTest::mouseClick(tela->dxfCentCusto, Qt::LeftButton);

    EXPECT_EQ(chamadas, QStringList({QStringLiteral("Pesquisa:cdsPesqCentCusto")}));
    EXPECT_EQ(argsPesquisa.value(0), QList<QVariant>({0, QStringLiteral("N"), 11, 22, 33, 55, 0}));
    EXPECT_EQ(oferecidos,
              QStringList({QStringLiteral("ADMINISTRA"), QStringLiteral("ENGENHARIA")}));
    EXPECT_EQ(tela->blbCentCusto->caption(), QStringLiteral("ENGENHARIA"));
    EXPECT_EQ(tela->stCdCCusClie, QStringLiteral("ENGENHARIA"));
    EXPECT_EQ(Passo(), 2);
    EXPECT_FALSE(tela->cdsPesqCentCusto->active());
    EXPECT_EQ(tela->cdsPresenca->recordCount(), 2);  // the list stays
    EXPECT_TRUE(mensagens.isEmpty() && erros.isEmpty());

    // Cancelled: the whole header is cleared, without a message.
    escolha.reset();
    QTest::mouseClick(tela->dxfCentCusto, Qt::LeftButton);
    EXPECT_EQ(Captions(), QStringList(4, QString()));
    EXPECT_EQ(Passo(), 1);
    EXPECT_TRUE(mensagens.isEmpty());
}

TEST_F(Cabecalho, ServicePickProposesTodayAndTheStartHour) {
    AbreComDados();
    campoEscolha = QStringLiteral("CDSERVFILI");
    escolha = QStringLiteral("02");
    QStringList mostrados;
    aoPesquisar = [&](dataset::ClientDataSet& ds) {
        ds.first();
        for (const char* c : {"HRINISERTUR", "HRFINSERTUR", "IDIMPCUPOMAUT"})
            mostrados << ds.fieldByName(QString::fromLatin1(c)).displayText();
    };
    tela->blbCentCusto->setCaption(QStringLiteral("ADMINISTRA"));
    QTest::mouseClick(tela->dxfServico, Qt::LeftButton);

    EXPECT_EQ(chamadas, QStringList({QStringLiteral("Pesquisa:cdsServico")}));
    EXPECT_EQ(argsPesquisa.value(0), QList<QVariant>({0, QStringLiteral("N"), 11, 22, 33, 55, 0}));
    EXPECT_EQ(mostrados, QStringList({QStringLiteral("11:00"), QStringLiteral("14:00"),
                                      QStringLiteral("SIM")}));
    EXPECT_EQ(Captions(),
              QStringList({QStringLiteral("ADMINISTRA"), QStringLiteral("JANTAR - 18:00 às 20:00"),
                           QStringLiteral("15/03/2024"), QStringLiteral("18:00")}));
    EXPECT_EQ(tela->stCdServFili, QStringLiteral("02"));
    EXPECT_EQ(tela->stHrIniSerTur, QStringLiteral("1800"));
    EXPECT_EQ(tela->stHrFinSerTur, QStringLiteral("2000"));
    EXPECT_EQ(Passo(), 3);
    EXPECT_EQ(QuadrosVermelhos(), QList<bool>({false, false, true, false}));
    // The chosen row stays current for the load and the sale.
    EXPECT_TRUE(tela->cdsServico->active());
    EXPECT_EQ(tela->cdsServico->fieldByName(QStringLiteral("CDSERVFILI")).asString(),
              QStringLiteral("02"));
    EXPECT_TRUE(mensagens.isEmpty() && erros.isEmpty());
}

TEST_F(Cabecalho, EmptyListsClearTheHeaderThenSayWhatIsMissing) {
    Abre();  // the schema without rows
    PreencheCabecalho();
    QStringList captionsNaMensagem;
    aoMostrar = [&](const platform::MensagemArgs&) { captionsNaMensagem = Captions(); };
    QTest::mouseClick(tela->dxfCentCusto, Qt::LeftButton);
    ASSERT_EQ(mensagens.size(), 1);
    EXPECT_EQ(mensagens[0].texto, QStringLiteral("Centro de Custo não parametrizado."));
    EXPECT_EQ(mensagens[0].tipo, 3);
    EXPECT_EQ(mensagens[0].esquema, QStringLiteral("007"));
    EXPECT_EQ(captionsNaMensagem, QStringList(4, QString()));

    PreencheCabecalho();
    QTest::mouseClick(tela->dxfServico, Qt::LeftButton);
    ASSERT_EQ(mensagens.size(), 2);
    EXPECT_EQ(mensagens[1].texto, QStringLiteral("Serviço não parametrizado."));
    EXPECT_EQ(captionsNaMensagem, QStringList(4, QString()));
    EXPECT_TRUE(chamadas.isEmpty());  // no pick list for nothing
}

TEST_F(Cabecalho, FailedRequestIsShownOnceAndStopsThePick) {
    banco = CriaBanco(dir.path(), false);  // the product's tables without their columns
    Abre();
    PreencheCabecalho();
    tela->inPasso = 3;
    QTest::mouseClick(tela->dxfCentCusto, Qt::LeftButton);
    QTest::mouseClick(tela->dxfServico, Qt::LeftButton);
    ASSERT_EQ(mensagens.size(), 2) << Textos().join(QLatin1Char('\n')).toStdString();
    for (const auto& m : mensagens) {
        EXPECT_EQ(m.tipo, 3);
        EXPECT_FALSE(m.texto.isEmpty());
    }
    EXPECT_TRUE(chamadas.isEmpty());
    EXPECT_TRUE(erros.isEmpty());
    EXPECT_EQ(Captions()[0], QStringLiteral("ADMINISTRA"));  // nothing cleared
    EXPECT_EQ(Passo(), 3);
}

TEST_F(Cabecalho, AFailingPickListIsShownWithItsOwnText) {
    AbreComDados();
    aoPesquisar = [](dataset::ClientDataSet&) { throw std::runtime_error("lista indisponível"); };
    tela->inPasso = 2;
    QTest::mouseClick(tela->dxfServico, Qt::LeftButton);
    ASSERT_EQ(mensagens.size(), 1);
    EXPECT_EQ(mensagens[0].texto, QStringLiteral("lista indisponível"));
    EXPECT_EQ(mensagens[0].esquema, QStringLiteral("007"));
    EXPECT_EQ(Passo(), 2);
    EXPECT_TRUE(erros.isEmpty());
}

// --- order and keys

TEST_F(Cabecalho, PickerButtonsWorkInAnyOrder) {
    AbreComDados();
    dataCalendario = QStringLiteral("14/03/2024");
    QTest::mouseClick(tela->dxfDtVenda, Qt::LeftButton);
    EXPECT_EQ(Passo(), 4);
    tela->stHrIniSerTur = tela->stHrFinSerTur = QStringLiteral("0000");
    teclado = QStringLiteral("930");
    QTest::mouseClick(tela->dxfhrVenda, Qt::LeftButton);
    campoEscolha = QStringLiteral("CDSERVFILI");
    escolha = QStringLiteral("01");
    QTest::mouseClick(tela->dxfServico, Qt::LeftButton);
    EXPECT_EQ(Passo(), 3);
    campoEscolha = QStringLiteral("CDCCUSCLIE");
    escolha = QStringLiteral("ADMINISTRA");
    QTest::mouseClick(tela->dxfCentCusto, Qt::LeftButton);
    EXPECT_EQ(Passo(), 2);
    Foto();
    EXPECT_EQ(Captions(),
              QStringList({QStringLiteral("ADMINISTRA"), QStringLiteral("ALMOÇO - 11:00 às 14:00"),
                           QStringLiteral("15/03/2024"), QStringLiteral("11:00")}));
    EXPECT_TRUE(mensagens.isEmpty() && erros.isEmpty());
}

TEST_F(Cabecalho, F9OpensThePickerOfTheCurrentStepAndEnterMovesOn) {
    AbreComDados();
    Mostra();
    const auto tecla = [&](Qt::Key k) { QTest::keyClick(tela->dbsPresenca, k); };

    // Enter walks the steps without opening anything, and wraps from 4 to 1.
    for (int esperado : {2, 3, 4, 1}) {
        tecla(Qt::Key_Return);
        EXPECT_EQ(Passo(), esperado);
    }
    EXPECT_EQ(QuadrosVermelhos(), QList<bool>({true, false, false, false}));
    EXPECT_TRUE(chamadas.isEmpty());

    escolha.reset();  // every picker cancels
    dataCalendario.clear();
    teclado.reset();
    const QStringList esperados = {
        QStringLiteral("Pesquisa:cdsPesqCentCusto"), QStringLiteral("Pesquisa:cdsServico"),
        QStringLiteral("TouchCalendar"), QStringLiteral("TecladoNumerico")};
    for (int passo = 1; passo <= 4; ++passo) {
        chamadas.clear();
        tela->inPasso = passo;
        tecla(Qt::Key_F9);
        EXPECT_EQ(chamadas, QStringList({esperados[passo - 1]})) << passo;
    }
    chamadas.clear();
    tela->inPasso = 7;
    tecla(Qt::Key_F9);
    EXPECT_TRUE(chamadas.isEmpty());

    tecla(Qt::Key_F1);
    EXPECT_EQ(chamadas, QStringList({QStringLiteral("RelFiscais")}));
    EXPECT_TRUE(erros.isEmpty());
}

TEST_F(Cabecalho, AllFourStepsByKeyboardWithTheRealPickers) {
    AbreComDados();
    Hul00002::InstallDefaults();
    Mostra();
    ASSERT_TRUE(QTest::qWaitForWindowActive(tela, 2000));
    const auto f9 = [&] { QTest::keyClick(tela->dbsPresenca, Qt::Key_F9); };

    teclasNoProximoModal([] { return QList<Qt::Key>{Qt::Key_Down, Qt::Key_Return}; });
    f9();
    EXPECT_EQ(tela->blbCentCusto->caption(), QStringLiteral("ENGENHARIA"));
    ASSERT_EQ(Passo(), 2);

    teclasNoProximoModal([] { return QList<Qt::Key>{Qt::Key_Return}; });
    f9();
    ASSERT_EQ(Passo(), 3);
    EXPECT_TRUE(tela->blbServico->caption().endsWith(
        QStringLiteral(" - %1:%2 às %3:%4")
            .arg(tela->stHrIniSerTur.left(2), tela->stHrIniSerTur.mid(2),
                 tela->stHrFinSerTur.left(2), tela->stHrFinSerTur.mid(2))));

    teclasNoProximoModal([] { return QList<Qt::Key>{Qt::Key_Return}; });  // today
    f9();
    EXPECT_EQ(tela->blbDtVenda->caption(), QStringLiteral("15/03/2024"));
    ASSERT_EQ(Passo(), 4);

    // The service's last minute, typed digit by digit.
    teclasNoProximoModal([this] {
        QList<Qt::Key> r;
        for (QChar c : tela->stHrFinSerTur) r << Qt::Key(Qt::Key_0 + c.digitValue());
        return r << Qt::Key_Return;
    });
    f9();
    EXPECT_EQ(tela->blbHrVenda->caption(),
              tela->stHrFinSerTur.left(2) + QLatin1Char(':') + tela->stHrFinSerTur.mid(2));
    EXPECT_EQ(Passo(), 4);
    EXPECT_TRUE(mensagens.isEmpty() && erros.isEmpty());
}

TEST_F(Cabecalho, EscapeClosesOnlyWhileTheXIsEnabled) {
    Abre(false);
    Mostra();
    QSignalSpy fechou(tela, &QDialog::rejected);
    tela->lblSair->setEnabled(false);
    QTest::keyClick(tela->dbsPresenca, Qt::Key_Escape);
    EXPECT_EQ(fechou.count(), 0);
    EXPECT_TRUE(tela->isVisible());

    tela->lblSair->setEnabled(true);
    QTest::keyClick(tela->dbsPresenca, Qt::Key_Escape);
    EXPECT_EQ(fechou.count(), 1);
    EXPECT_FALSE(tela->isVisible());

    Mostra();
    QTest::mouseClick(tela->lblSair, Qt::LeftButton);
    EXPECT_EQ(fechou.count(), 2);
}

}  // namespace
