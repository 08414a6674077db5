// The sale generator in the test's own process: what it records, what it refuses, and what it
// tells the operator.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <sqlite3.h>

#include <hul00002/Hul00002.h>

#include "common/GeraVendaProcess.h"
#include "dataset/DataPacket.h"
#include "module/dataservice/TrdmListaPresenca.h"
#include "platform/DialetoBanco.h"
#include "platform/Platform.h"
#include "platform/TADOConnection.h"
#include "pos/sale/HandOver.h"
#include "pos/sale/Receipt.h"
#include "pos/sale/SaleGenerator.h"
#include "pos/sale/SalesSchema.h"
#include "pos/sale/Statement.h"
#include "pos/sale/TillCopyRefresh.h"
#include "pos/touch/WaitingWindow.h"
#include "venda/Cantina.h"

using namespace Hul00002;
using teste::Cantina;
using teste::Registro;

inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

namespace {

const QDateTime kAgora(QDate(2026, 3, 16), QTime(11, 42, 7));

class Venda : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        relogio = platform::SetClock([] { return kAgora; });
        avisos = platform::SetMensagemPresenter([this](const platform::MensagemArgs& a) {
            mensagens << a;
            return true;
        });
    }
    void TearDown() override {
        platform::SetClock(relogio);
        platform::SetMensagemPresenter(avisos);
    }

    SaleRun gera(Cantina& c, const QList<Registro>& r) {
        c.fecha();
        SaleGeneratorOptions op;
        op.connectionString = c.arquivo();
        op.printer.pdfFolder = dir.filePath(QStringLiteral("cupons"));
        op.printer.printerName = impressora;
        const SaleRun run = runSaleGeneration(dataset::toVariant(teste::Entrega(r)), op);
        // Whatever is reported as sold is in the database, whole.
        for (const SaleOutcome& o : run.outcomes) {
            if (o.status != SaleStatus::Sold) continue;
            EXPECT_EQ(c.conta(QStringLiteral("SELECT COUNT(*) FROM VENDA V, CUPOMVENDA C"
                                             " WHERE V.NRSEQVENDA = %1 AND C.NRSEQVENDA ="
                                             " V.NRSEQVENDA AND V.CDCONSUMIDOR = '%2'"
                                             " AND C.NRCUPOM = %3")
                                  .arg(o.saleId)
                                  .arg(o.consumer)
                                  .arg(o.receiptNumber)),
                      1)
                << o.consumer.toStdString();
        }
        return run;
    }

    QTemporaryDir dir{teste::ModeloPasta()};
    QString impressora;
    QList<platform::MensagemArgs> mensagens;
    platform::Clock relogio;
    platform::MensagemPresenter avisos;
};

QStringList situacoes(const SaleRun& run) {
    QStringList r;
    for (const SaleOutcome& o : run.outcomes)
        r << o.consumer + QLatin1Char(':') +
                 (o.status == SaleStatus::Sold            ? QStringLiteral("sold")
                  : o.status == SaleStatus::AlreadyServed ? QStringLiteral("served")
                                                          : QStringLiteral("not sold"));
    return r;
}

// Consumers the attendance query shows as sold for that service on 16/03/2026.
QStringList vendidosNaLista(const Cantina& c, const QString& servico) {
    qputenv("LISTAPRESENCA_CONEXAO", c.arquivo().toUtf8());
    auto* rdm = new Srv_Kel00815::TrdmListaPresenca();
    Srv_Kel00815::rdmListaPresenca = rdm;
    rdm->adcListaPresenca->setConnected(true);
    const QVariant v =
        Srv_Kel00815::getPresenca(QStringLiteral("0001"), QStringLiteral("001"),
                                  QStringLiteral("TURMA"), servico, QStringLiteral("16/03/2026"));
    delete rdm;
    Srv_Kel00815::rdmListaPresenca = nullptr;
    qunsetenv("LISTAPRESENCA_CONEXAO");
    EXPECT_TRUE(dataset::isDataPacket(v)) << v.toString().toStdString();
    if (!dataset::isDataPacket(v)) return {};
    const dataset::DataPacket p = dataset::packetFromVariant(v);
    QStringList r;
    for (int i = 0; i < p.rowCount(); ++i)
        if (p.text(i, p.fieldIndex(QStringLiteral("DTHRREALCONCONS"))) ==
            QLatin1String("16/03/2026"))
            r << p.text(i, p.fieldIndex(QStringLiteral("CDCONSUMIDOR")));
    r.sort();
    return r;
}

}  // namespace

TEST(ChooseService, WindowsHoldBothBoundsCrossMidnightAndAllDayOnlyFillsTheGaps) {
    const QList<ServiceWindow> dia = {{630, 900}, {1100, 1400}, {1400, 1600}, {2200, 130}};
    EXPECT_EQ(chooseService(dia, 630), 0);
    EXPECT_EQ(chooseService(dia, 900), 0);
    EXPECT_EQ(chooseService(dia, 1130), 1);
    EXPECT_EQ(chooseService(dia, 1400), -2);  // end of one, start of the next
    EXPECT_EQ(chooseService(dia, 2359), 3);
    EXPECT_EQ(chooseService(dia, 0), 3);
    EXPECT_EQ(chooseService(dia, 130), 3);
    EXPECT_EQ(chooseService(dia, 131), -1);
    EXPECT_EQ(chooseService(dia, 1000), -1);

    const QList<ServiceWindow> comLivre = {{0, 0}, {1100, 1400}};
    EXPECT_EQ(chooseService(comLivre, 1200), 1);
    EXPECT_EQ(chooseService(comLivre, 1000), 0);
    EXPECT_EQ(chooseService({{0, 0}, {700, 700}}, 1000), -2);
    EXPECT_EQ(chooseService({}, 1000), -1);
}

TEST_F(Venda, MarkedConsumersBecomeWholeSalesThatTheAttendanceListShowsAndNeverTwice) {
    Cantina c(dir.path(), 9);
    const SaleRun run = gera(c, teste::Almoco(6));
    EXPECT_EQ(run.count(SaleStatus::Sold), 6);
    EXPECT_TRUE(mensagens.isEmpty());
    EXPECT_EQ(c.confereInteiras(), 6);

    // C01 is of type 01, C02 of type 02: each gets the lunch of its type.
    EXPECT_EQ(c.coluna(QStringLiteral(
                  "SELECT V.CDCONSUMIDOR || ' ' || I.CDPRODUTO || ' ' || V.VRVENDA || ' ' ||"
                  " V.CDSERVFILI || ' ' || V.IDSITUVENDA || ' ' || V.DTCONSUMO || ' ' ||"
                  " V.DTHRREALCONCONS || ' ' || V.DTENTRVENDA || ' ' || V.CDCLIENTE || ' ' ||"
                  " V.CDTIPOCONS FROM VENDA V, ITEMVENDA I WHERE I.NRSEQVENDA = V.NRSEQVENDA"
                  " AND V.CDCONSUMIDOR IN ('C01', 'C02') ORDER BY 1")),
              QStringList({QStringLiteral("C01 ALMOCO 22.9 00002 O 2026-03-16 2026-03-16 11:30:00 "
                                          "2026-03-16 11:42:07 CL1 01"),
                           QStringLiteral("C02 ALMOCOINF 16.5 00002 O 2026-03-16 2026-03-16 "
                                          "11:30:00 2026-03-16 11:42:07 CL1 02")}));
    const QStringList cupom = c.valor(QStringLiteral("SELECT TXCUPOM FROM CUPOMVENDA WHERE"
                                                     " NRCUPOM = 1"))
                                  .toString()
                                  .split(QLatin1Char('\n'));
    for (const QString& linha : cupom)
        EXPECT_LE(linha.size(), kReceiptColumns) << linha.toStdString();
    const QString texto = cupom.join(QLatin1Char('\n'));
    for (const char* parte : {"UNIDADE TESTE", "Caixa 001", "Nº 000001", "16/03/2026 11:30",
                              "Aluno C01", "CRC01", "00002 - Almoço", "Almoço executivo", "22,90"})
        EXPECT_TRUE(texto.contains(QString::fromUtf8(parte))) << parte << "\n"
                                                              << texto.toStdString();
    EXPECT_EQ(c.conta(QStringLiteral("SELECT COUNT(*) FROM CUPOMVENDA WHERE IDIMPRESSO = 'N'")),
              6);  // lunch prints nothing
    EXPECT_FALSE(QDir(dir.filePath(QStringLiteral("cupons"))).exists());

    EXPECT_EQ(vendidosNaLista(c, QStringLiteral("00002")),
              QStringList({QStringLiteral("C01"), QStringLiteral("C02"), QStringLiteral("C03"),
                           QStringLiteral("C04"), QStringLiteral("C05"), QStringLiteral("C06")}));
    EXPECT_TRUE(vendidosNaLista(c, QStringLiteral("00001")).isEmpty());

    // The same hand-over again, and one consumer twice in one hand-over: nothing new.
    QList<Registro> outra = teste::Almoco(6);
    outra << Registro(QStringLiteral("C07")) << Registro(QStringLiteral("C07"));
    const SaleRun segunda = gera(c, outra);
    EXPECT_EQ(segunda.count(SaleStatus::AlreadyServed), 7);
    EXPECT_EQ(segunda.outcomes.at(7).saleNumber, 7);  // the one made a moment before
    EXPECT_EQ(segunda.count(SaleStatus::Sold), 1);
    EXPECT_EQ(c.confereInteiras(), 7);
    // Those another run had served are named, each once, so the operator knows why.
    ASSERT_EQ(mensagens.size(), 1);
    EXPECT_EQ(teste::countLines(mensagens.at(0).texto, QStringLiteral(": já atendido")), 7);

    // The result variant carries every outcome.
    const QVariantMap v = toVariant(segunda).toMap();
    EXPECT_EQ(v.value(QStringLiteral("alreadyServed")).toInt(), 7);
    const QVariantMap ultimo = v.value(QStringLiteral("outcomes")).toList().at(6).toMap();
    EXPECT_EQ(ultimo.value(QStringLiteral("status")).toString(), QStringLiteral("sold"));
    EXPECT_EQ(ultimo.value(QStringLiteral("receipt")).toInt(), 7);

    // A sale of the day by its stored day alone: another program wrote its time on the eve.
    c.exec(QStringLiteral(
        "INSERT INTO VENDA (CDFILIAL, CDCAIXA, CDSERVFILI, CDCONSUMIDOR, DTHRREALCONCONS,"
        " DTENTRVENDA, IDSITUVENDA, DTCONSUMO, NRVENDA) VALUES ('0001', '001', '00002', 'C08',"
        " '2026-03-15 23:59:00', '2026-03-15 23:59:00', 'O', '2026-03-16', 900)"));
    // And a later one by its time alone: the earlier of the two is named, also when the look
    // rides in the sale of the record before it.
    c.exec(QStringLiteral(
        "INSERT INTO VENDA (CDFILIAL, CDCAIXA, CDSERVFILI, CDCONSUMIDOR, DTHRREALCONCONS,"
        " DTENTRVENDA, IDSITUVENDA, DTCONSUMO, NRVENDA) VALUES ('0001', '001', '00002', 'C08',"
        " '2026-03-16 10:00:00', '2026-03-16 10:00:00', 'O', NULL, 901)"));
    for (const QList<Registro>& registros :
         {QList<Registro>{Registro(QStringLiteral("C08"))},
          QList<Registro>{Registro(QStringLiteral("C09")), Registro(QStringLiteral("C08"))}}) {
        const SaleRun terceira = gera(c, registros);
        ASSERT_EQ(terceira.count(SaleStatus::AlreadyServed), 1);
        EXPECT_EQ(terceira.outcomes.last().saleNumber, 900);
    }
}

TEST_F(Venda, WhoCannotBeSoldIsNamedInOneNoticeAndTheOthersAreSold) {
    Cantina c(dir.path(), 12);
    auto r = [](int i, const char* hora, const char* caixa = "001", const char* tipo = "") {
        return Registro(teste::Consumidor(i), QString::fromLatin1(hora), QString::fromLatin1(caixa),
                        QString::fromLatin1(tipo));
    };
    const QList<Registro> registros{
        r(1, "1130"), r(2, "1130", "001", "03"), r(3, "1400"),        r(4, "1000"), r(5, "2500"),
        r(6, "0045"), r(7, "1000", "002"),       r(8, "1200", "002"), r(9, "0700")};
    // What the screen shows beside the confirmation, read only, is what the run sells.
    SalePreview previa;
    {
        platform::TADOConnection leitura;
        leitura.setConnectionString(c.arquivo());
        leitura.setConnected(true);
        previa = previewSales(leitura, dataset::toVariant(teste::Entrega(registros)));
    }
    const SaleRun run = gera(c, registros);
    EXPECT_EQ(previa.sales, run.count(SaleStatus::Sold));
    EXPECT_EQ(previa.totalCents, run.soldCents());
    EXPECT_EQ(situacoes(run),
              teste::Textos({"C01:sold", "C02:not sold", "C03:not sold", "C04:not sold",
                             "C05:not sold", "C06:sold", "C07:sold", "C08:sold", "C09:sold"}));
    EXPECT_EQ(run.outcomes.at(5).service, QStringLiteral("00004"));  // supper, after midnight
    EXPECT_EQ(run.outcomes.at(6).service, QStringLiteral("00009"));  // all day, nothing else
    EXPECT_EQ(run.outcomes.at(7).service, QStringLiteral("00002"));  // the real window wins
    EXPECT_EQ(c.conta(QStringLiteral("SELECT COUNT(*) FROM VENDA WHERE CDCONSUMIDOR IN"
                                     " ('C02', 'C03', 'C04', 'C05')")),
              0);

    ASSERT_EQ(mensagens.size(), 1);
    EXPECT_EQ(mensagens.at(0).tipo, 2);
    const QString aviso = mensagens.at(0).texto;
    EXPECT_TRUE(aviso.startsWith(
        QStringLiteral("5 vendas gravadas, total R$ %1.").arg(moneyText(run.soldCents()))))
        << aviso.toStdString();
    for (const char* parte : {"Aluno C02", "nenhum produto", "Aluno C03", "mais de um serviço",
                              "00002, 00003", "Aluno C04",
                              "nenhum serviço do caixa 001 atende "
                              "às 10:00",
                              "Aluno C05", "hora da venda inválida"})
        EXPECT_TRUE(aviso.contains(QString::fromUtf8(parte))) << parte << "\n"
                                                              << aviso.toStdString();
    EXPECT_FALSE(aviso.contains(QStringLiteral("Aluno C01")));

    // The breakfast receipt prints: to a PDF named after the branch, till, day and number.
    const QString pdf = dir.filePath(QStringLiteral("cupons/0001-001-20260316-%1.pdf")
                                         .arg(receiptNumberText(run.outcomes.at(8).receiptNumber)));
    EXPECT_EQ(run.outcomes.at(8).printedTo, pdf);
    QFile f(pdf);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(f.read(5).startsWith("%PDF"));
    EXPECT_EQ(c.coluna(QStringLiteral("SELECT IDIMPRESSO FROM CUPOMVENDA ORDER BY NRCUPOM")),
              teste::Textos({"N", "N", "N", "N", "S"}));
}

TEST_F(Venda, AReceiptThatCannotPrintLeavesTheSaleAndIsReported) {
    Cantina c(dir.path(), 2);
    impressora = QStringLiteral("Impressora que não existe");
    const SaleRun run = gera(c, {Registro(QStringLiteral("C01"), QStringLiteral("0700"))});
    ASSERT_EQ(run.count(SaleStatus::Sold), 1);
    EXPECT_TRUE(run.outcomes.at(0).printError.contains(impressora));
    EXPECT_EQ(c.confereInteiras(), 1);
    // Still to print: the next run prints it first.
    EXPECT_EQ(c.valor(QStringLiteral("SELECT IDIMPRESSO FROM CUPOMVENDA")).toString(),
              QStringLiteral("P"));
    ASSERT_EQ(mensagens.size(), 1);
    EXPECT_TRUE(mensagens.at(0).texto.contains(QStringLiteral("cupom 000001")));
}

TEST_F(Venda, APacketWithoutTheHandOverFieldsIsRefusedWhole) {
    Cantina c(dir.path(), 3);
    const dataset::DataPacket completo = teste::Entrega(teste::Almoco(3));
    auto semCampo = [&](const char* fora, dataset::FieldType trocaData) {
        dataset::FieldDefs defs;
        QList<int> cols;
        for (int i = 0; i < completo.fields().size(); ++i) {
            if (completo.fields().at(i).name == QLatin1String(fora)) continue;
            dataset::FieldDef d = completo.fields().at(i);
            if (d.name == QLatin1String("DATAREAL")) d.type = trocaData;
            defs << d;
            cols << i;
        }
        dataset::DataPacket::Builder b(defs);
        for (int row = 0; row < completo.rowCount(); ++row) {
            b.appendRow();
            for (int k = 0; k < cols.size(); ++k)
                if (defs.at(k).isText()) b.setText(k, completo.text(row, cols.at(k)));
        }
        return dataset::toVariant(b.finish());
    };
    SaleGeneratorOptions op;
    op.connectionString = c.arquivo();
    auto recusa = [&](const QVariant& pacote) {
        try {
            generateSales(pacote, op);
        } catch (const platform::Error& e) {
            return e.message();
        }
        return QStringLiteral("<aceito>");
    };
    EXPECT_EQ(recusa(semCampo("HORAREAL", dataset::FieldType::DateTime)),
              QStringLiteral("O pacote de venda não tem o campo HORAREAL. Nenhuma venda foi "
                             "gerada."));
    EXPECT_TRUE(
        recusa(semCampo("", dataset::FieldType::String)).contains(QStringLiteral("DATAREAL")));
    EXPECT_TRUE(recusa(QVariant(QStringLiteral("Erro: tabela inexistente")))
                    .contains(QStringLiteral("não é um pacote de dados")));
    EXPECT_EQ(c.conta(QStringLiteral("SELECT COUNT(*) FROM VENDA")), 0);

    // And the default installed in the package raises the same refusal.
    Hul00002::InstallDefaults();
    QVariant resultado;
    EXPECT_THROW(Hul00002::GeraCupomVenda(semCampo("NRSEQARQIMP", dataset::FieldType::DateTime), 0,
                                          QVariantList(16), resultado),
                 platform::Error);
}

TEST_F(Venda, ADatabaseFailingMidwayKeepsTheSalesBeforeWholeAndMakesNoneAfter) {
    Cantina c(dir.path(), 8);
    c.exec(
        QStringLiteral("CREATE TRIGGER FALHA BEFORE INSERT ON CUPOMVENDA"
                       " WHEN (SELECT COUNT(*) FROM CUPOMVENDA) >= 3"
                       " BEGIN SELECT RAISE(ABORT, 'disco cheio simulado'); END"));
    const SaleRun run = gera(c, teste::Almoco(8));
    EXPECT_EQ(situacoes(run),
              teste::Textos({"C01:sold", "C02:sold", "C03:sold", "C04:not sold", "C05:not sold",
                             "C06:not sold", "C07:not sold", "C08:not sold"}));
    EXPECT_TRUE(run.outcomes.at(3).reason.contains(QStringLiteral("disco cheio simulado")));
    EXPECT_TRUE(run.outcomes.at(4).reason.contains(QStringLiteral("parou")));
    EXPECT_EQ(c.confereInteiras(), 3);
    ASSERT_EQ(mensagens.size(), 1);
    EXPECT_TRUE(mensagens.at(0).texto.contains(QStringLiteral("5 consumidores")));

    // Once the database is well again the same hand-over completes the rest, numbers in turn.
    c.exec(QStringLiteral("DROP TRIGGER FALHA"));
    const SaleRun resto = gera(c, teste::Almoco(8));
    EXPECT_EQ(resto.count(SaleStatus::AlreadyServed), 3);
    EXPECT_EQ(resto.count(SaleStatus::Sold), 5);
    EXPECT_EQ(c.confereInteiras(), 8);
}

// A database made before the sale tables had a consumption day, receipts and numbering,
// holding a second valid sale of one consumer on one day as older versions allowed.
TEST_F(Venda, AnOlderDatabaseIsBroughtUpToDateWithEveryRowItHad) {
    Cantina nova(dir.path(), 1);
    Cantina c(dir.path(), 6);
    c.exec(QStringLiteral(
        "DROP TABLE CUPOMVENDA; DROP TABLE NUMCAIXA; DROP TABLE FECHACAIXA; DROP INDEX "
        "UX_VENDA_CONSUMO;"
        " DROP INDEX UX_VENDA_NUMERO; ALTER TABLE VENDA DROP COLUMN DTCONSUMO;"
        " ALTER TABLE VENDA DROP COLUMN NRVENDA; PRAGMA user_version = 0;"
        " PRAGMA journal_mode = DELETE;"
        " INSERT INTO VENDA (CDFILIAL, CDCAIXA, CDSERVFILI, CDCONSUMIDOR, DTHRREALCONCONS,"
        " DTENTRVENDA, IDSITUVENDA) VALUES"
        " ('0001', '001', '00002', 'C01', '2026-03-16 11:10:00', '2026-03-16 00:00:00', 'O'),"
        " ('0001', '001', '00002', 'C01', '2026-03-16T12:10:00', '2026-03-16 00:00:00', 'O'),"
        " ('0001', '001', '00002', 'C02', '2026-03-16 11:20:00', '2026-03-16 00:00:00', 'C'),"
        " ('0001', '001', '00002', 'C03', '2026-03-15 11:20:00', '2026-03-15 00:00:00', 'O');"));
    ASSERT_EQ(c.conta(QStringLiteral("PRAGMA user_version")), 0);

    const SaleRun run = gera(c, teste::Almoco(3));
    EXPECT_EQ(situacoes(run), teste::Textos({"C01:served", "C02:sold", "C03:sold"}));
    EXPECT_EQ(c.conta(QStringLiteral("SELECT COUNT(*) FROM VENDA")), 6);
    EXPECT_EQ(c.coluna(QStringLiteral("SELECT IFNULL(DTCONSUMO, '-') FROM VENDA WHERE NRSEQVENDA"
                                      " <= 4 ORDER BY NRSEQVENDA")),
              teste::Textos({"2026-03-16", "-", "2026-03-16", "2026-03-15"}));
    EXPECT_EQ(c.conta(QStringLiteral("PRAGMA user_version")), kSalesSchemaVersion);
    EXPECT_EQ(c.valor(QStringLiteral("PRAGMA journal_mode")).toString(), QStringLiteral("wal"));

    // The same tables, columns and indexes as a database made new.
    const QString forma = QStringLiteral(
        "SELECT m.name || '.' || p.name || ' ' || p.type FROM sqlite_master m,"
        " pragma_table_info(m.name) p WHERE m.type = 'table' UNION ALL"
        " SELECT name || ' ' || IFNULL(tbl_name, '') FROM sqlite_master WHERE type = 'index'"
        " ORDER BY 1");
    EXPECT_EQ(c.coluna(forma), nova.coluna(forma));

    // The day rule now stands in the database, whoever writes.
    c.fecha();
    EXPECT_ANY_THROW(c.exec(QStringLiteral(
        "INSERT INTO VENDA (CDFILIAL, CDCAIXA, CDSERVFILI, CDCONSUMIDOR, DTHRREALCONCONS,"
        " DTENTRVENDA, IDSITUVENDA, DTCONSUMO) VALUES ('0001', '001', '00002', 'C02',"
        " '2026-03-16 13:00:00', '2026-03-16 13:00:00', 'O', '2026-03-16')")));
}

namespace {
class GravaPintura : public QObject {
public:
    explicit GravaPintura(QLabel* l) : l_(l) { l->installEventFilter(this); }
    bool eventFilter(QObject* o, QEvent* e) override {
        if (o == l_ && e->type() == QEvent::Paint) textos << l_->text();
        return false;
    }
    QStringList textos;

private:
    QLabel* l_;
};

void cliqueNaFila(QWidget* w) {
    const QPointF p(5, 5);
    for (QEvent::Type t : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease})
        QCoreApplication::postEvent(
            w, new QMouseEvent(t, p, w->mapToGlobal(p), Qt::LeftButton,
                               t == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                               Qt::NoModifier));
}
void teclaNaFila(QWidget* w) {
    for (QEvent::Type t : {QEvent::KeyPress, QEvent::KeyRelease})
        QCoreApplication::postEvent(
            w, new QKeyEvent(t, Qt::Key_A, Qt::NoModifier, QStringLiteral("a")));
}
}  // namespace

TEST_F(Venda, TheWaitingWindowCountsTheSalesWhileNothingOnTheScreenTakesInput) {
    Cantina c(dir.path(), 3);
    c.fecha();
    QWidget form;
    form.resize(800, 595);
    auto* botao = new QPushButton(QStringLiteral("Sair"), &form);
    auto* campo = new QLineEdit(&form);
    campo->move(0, 100);
    int cliques = 0;
    QObject::connect(botao, &QPushButton::clicked, [&cliques] { ++cliques; });
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));

    Hul00002::InstallDefaults();
    Hul00002::AtivaProcesso(&form, QStringLiteral("Aguarde. Imprimindo."), 0, 0);
    QWidget* janela = detail::janelaProcesso();
    ASSERT_NE(janela, nullptr);
    GravaPintura pintura(janela->findChild<QLabel*>(QStringLiteral("lblProgresso")));
    // The operator taps and types while the sales are being made.
    cliqueNaFila(botao);
    teclaNaFila(campo);

    qputenv("LISTAPRESENCA_CONEXAO", c.arquivo().toUtf8());
    const QString copia = dir.filePath(QStringLiteral("copia-caixa.db"));
    qputenv("LISTAPRESENCA_COPIA", copia.toUtf8());
    QVariant resultado;
    Hul00002::GeraCupomVenda(dataset::toVariant(teste::Entrega(teste::Almoco(3))), 0,
                             QVariantList(16), resultado);
    qunsetenv("LISTAPRESENCA_CONEXAO");
    EXPECT_EQ(resultado.toMap().value(QStringLiteral("sold")).toInt(), 3);
    // A till on a SQLite file is always online: no copy of it is made.
    EXPECT_TRUE(Hul00002::waitForTillSync(30000));
    EXPECT_FALSE(QFileInfo::exists(copia));
    qunsetenv("LISTAPRESENCA_COPIA");
    for (const char* t : {"1 de 3", "2 de 3", "3 de 3"})
        EXPECT_TRUE(pintura.textos.contains(QLatin1String(t))) << t;
    auto* barra = janela->findChild<QProgressBar*>(QStringLiteral("prbProcesso"));
    EXPECT_EQ(barra->maximum(), 3);
    EXPECT_EQ(barra->value(), 3);

    QCoreApplication::processEvents();
    EXPECT_EQ(cliques, 0);
    EXPECT_TRUE(campo->text().isEmpty());
    Hul00002::DesativaProcesso();

    // Afterwards the screen takes input again.
    cliqueNaFila(botao);
    QCoreApplication::processEvents();
    EXPECT_EQ(cliques, 1);
}

// The package's statements on a SQLite till: values go in and come back as Qt's driver has
// them, a refusal keeps SQLite's code, and a connection that closed under a statement is
// reported by it instead of being used.
TEST_F(Venda, AStatementReadsWritesAndOutlivesItsConnectionSafely) {
    Cantina c(dir.path(), 1);
    c.fecha();
    platform::TADOConnection con;
    con.setReadOnly(false);
    con.setConnectionString(c.arquivo());
    con.setConnected(true);
    Statement s(con, QStringLiteral("SELECT ?, ?, ?, ?, ?, typeof(?)"));
    const QString texto = QStringLiteral("Ção d'Água \"x\"");
    ASSERT_TRUE(s.tryRun({texto, QVariant(QMetaType(QMetaType::QString)), qint64(1) << 40, 22.9,
                          QDateTime(QDate(2026, 3, 16), QTime(11, 30)), true}));
    ASSERT_TRUE(s.next());
    EXPECT_EQ(s.value(0).toString(), texto);
    EXPECT_TRUE(s.value(1).isNull());
    EXPECT_EQ(s.value(2).toLongLong(), qint64(1) << 40);
    EXPECT_DOUBLE_EQ(s.value(3).toDouble(), 22.9);
    EXPECT_EQ(s.value(4).toString(), QStringLiteral("2026-03-16T11:30:00.000"));
    EXPECT_EQ(s.value(5).toString(), QStringLiteral("integer"));
    EXPECT_FALSE(s.next());

    Statement dup(con, QStringLiteral("INSERT INTO FILIAL (CDFILIAL, NMFILIAL) VALUES (?, ?)"));
    ASSERT_TRUE(dup.tryRun({QStringLiteral("9"), QStringLiteral("Nova")}));
    EXPECT_EQ(dup.rowsAffected(), 1);
    EXPECT_FALSE(dup.tryRun({QStringLiteral("9"), QStringLiteral("Outra")}));
    EXPECT_EQ(platform::classificaFalha(dup.lastError(), platform::Dialeto::Sqlite),
              platform::Falha::Duplicada)
        << dup.lastError().text().toStdString();

    con.setConnected(false);
    EXPECT_FALSE(s.tryRun({texto, texto, 1, 1.0, texto, 1}));
    EXPECT_FALSE(s.lastError().text().isEmpty());

    // The transaction's own statements, kept prepared, follow the connection to its new handle.
    for (int vez = 0; vez < 2; ++vez) {
        con.setConnected(true);
        con.BeginTrans();
        Statement nova(con,
                       QStringLiteral("INSERT INTO FILIAL (CDFILIAL, NMFILIAL) VALUES (?, ?)"));
        ASSERT_TRUE(nova.tryRun({QStringLiteral("8"), texto}));
        nova.finish();
        if (vez == 0)
            con.RollbackTrans();
        else
            con.CommitTrans();
        con.setConnected(false);
    }
    con.setConnected(true);
    Statement conta(
        con, QStringLiteral("SELECT group_concat(NMFILIAL) FROM FILIAL WHERE CDFILIAL = '8'"));
    ASSERT_TRUE(conta.tryRun({}) && conta.next());
    EXPECT_EQ(conta.value(0).toString(), texto);
}

// The demo till's sales follow the generator's rules, and the generator carries on from them.
TEST_F(Venda, TheDemoDatabaseHoldsWholeNumberedSalesThatTheGeneratorContinues) {
    const QString arquivo = dir.filePath(QStringLiteral("demo.db"));
    ASSERT_EQ(
        QProcess::execute(QStringLiteral(GERADEMO),
                          {QStringLiteral("--out"), arquivo, QStringLiteral("--consumers"),
                           QStringLiteral("60"), QStringLiteral("--sales"), QStringLiteral("400"),
                           QStringLiteral("--today"), QStringLiteral("16/03/2026")}),
        0);
    QStringList faltam;
    QString livre;
    {
        QSqlDatabase db =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("demo"));
        db.setDatabaseName(arquivo);
        ASSERT_TRUE(db.open());
        QSqlQuery q(db);
        auto um = [&q](const char* sql) {
            EXPECT_TRUE(q.exec(QString::fromUtf8(sql))) << sql;
            return q.next() ? q.value(0).toLongLong() : -1;
        };
        EXPECT_EQ(um("SELECT COUNT(*) FROM VENDA"), 400);
        EXPECT_EQ(um("SELECT COUNT(*) FROM VENDA V WHERE DTCONSUMO IS NOT substr(DTHRREALCONCONS,"
                     " 1, 10) OR NOT EXISTS (SELECT 1 FROM CUPOMVENDA C WHERE C.NRSEQVENDA ="
                     " V.NRSEQVENDA AND C.NRCUPOM = CAST(V.NRCUPOMFISCAL AS INTEGER)) OR VRVENDA"
                     " <> (SELECT SUM(VRTOTAL) FROM ITEMVENDA I WHERE I.NRSEQVENDA ="
                     " V.NRSEQVENDA)"),
                  0);
        // Per till: receipts 1..n, and the numbering at n.
        EXPECT_EQ(um("SELECT COUNT(*) FROM NUMCAIXA N WHERE NRULTCUPOM <> (SELECT COUNT(*) FROM"
                     " CUPOMVENDA C WHERE C.CDCAIXA = N.CDCAIXA) OR NRULTCUPOM <> (SELECT"
                     " MAX(NRCUPOM) FROM CUPOMVENDA C WHERE C.CDCAIXA = N.CDCAIXA)"),
                  0);
        EXPECT_EQ(um("SELECT COUNT(*) FROM CUPOMVENDA WHERE TXCUPOM NOT LIKE '%TOTAL R$%'"), 0);
        EXPECT_EQ(um("PRAGMA user_version"), kSalesSchemaVersion);
        livre = QString::number(um("SELECT NRULTCUPOM FROM NUMCAIXA WHERE CDCAIXA = '001'") + 1);
        ASSERT_TRUE(q.exec(QStringLiteral(
            "SELECT CDCONSUMIDOR FROM CONSUMIDOR C WHERE CDTIPOCONS = '01' AND NOT EXISTS"
            " (SELECT 1 FROM VENDA V WHERE V.CDCONSUMIDOR = C.CDCONSUMIDOR AND V.CDCAIXA ="
            " '001' AND V.CDSERVFILI = '00002' AND V.DTCONSUMO = '2026-03-16') LIMIT 1")));
        ASSERT_TRUE(q.next());
        faltam << q.value(0).toString();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("demo"));

    SaleGeneratorOptions op;
    op.connectionString = arquivo;
    const SaleRun run =
        generateSales(dataset::toVariant(teste::Entrega({Registro(faltam.first())})), op);
    ASSERT_EQ(run.count(SaleStatus::Sold), 1) << outcomeText(run.outcomes.at(0)).toStdString();
    EXPECT_EQ(QString::number(run.outcomes.at(0).receiptNumber), livre);
}

namespace {

// A hand-over written as a till administrator's tool or a foreign host might: each record one
// way of being wrong, and one right.
TEST_F(Venda, WhatIsHandedOverIsCheckedRecordByRecord) {
    Cantina c(dir.path(), 6);
    c.exec(QStringLiteral("UPDATE CONSUMIDOR SET IDSITCONSUMI = '2' WHERE CDCONSUMIDOR = 'C04'"));
    c.exec(QStringLiteral("UPDATE CONSUMIDOR SET CDCLIENTE = 'CL9' WHERE CDCONSUMIDOR = 'C05'"));
    c.fecha();
    const auto rec = [](const QString& codigo, const QDate& dia, const QString& nome) {
        return HandOverRecord{QStringLiteral("0001"),
                              QStringLiteral("001"),
                              QStringLiteral("CR") + codigo,
                              codigo,
                              nome,
                              QStringLiteral("CL1"),
                              QStringLiteral("01"),
                              dia,
                              QStringLiteral("1130"),
                              {},
                              {}};
    };
    const QDate hoje = kAgora.date();
    const QList<HandOverRecord> r{
        rec(QStringLiteral("C01"), hoje, QStringLiteral("Aluno C01")),
        rec(QStringLiteral("C02"), hoje.addDays(30), QStringLiteral("Aluno C02")),
        rec(QStringLiteral("C99"), hoje, QStringLiteral("Ninguém")),
        rec(QStringLiteral("C03") + QChar(0) + QStringLiteral("X"), hoje, QStringLiteral("Aluno")),
        rec(QStringLiteral("C04"), hoje, QStringLiteral("Aluno C04")),
        rec(QStringLiteral("C05"), hoje, QStringLiteral("Aluno C05")),
        rec(QStringLiteral("C06"), hoje, QString(1 << 20, QLatin1Char('A')))};
    SaleGeneratorOptions op;
    op.connectionString = c.arquivo();
    const SaleRun run = runSaleGeneration(dataset::toVariant(buildHandOver(r)), op);
    ASSERT_EQ(run.outcomes.size(), 7);
    EXPECT_EQ(run.outcomes[0].status, SaleStatus::Sold);
    const char* const motivos[] = {"posterior a hoje",
                                   "não cadastrado",
                                   "caractere nulo",
                                   "inativo",
                                   "não é atendido na filial 0001",
                                   "mais que os 50"};
    for (int i = 1; i < 7; ++i) {
        EXPECT_EQ(run.outcomes[i].status, SaleStatus::NotSold) << i;
        EXPECT_TRUE(run.outcomes[i].reason.contains(QString::fromUtf8(motivos[i - 1])))
            << run.outcomes[i].reason.toStdString();
    }
    EXPECT_EQ(c.conta(QStringLiteral("SELECT COUNT(*) FROM VENDA")), 1);
}

// SQLite locks the whole file: the run waits once, not once per record, and says it in
// Portuguese; the notice comes with the waiting window gone.
TEST_F(Venda, ALockedDatabaseFileEndsTheRunAfterOneWaitWithAReadableReason) {
    Cantina c(dir.path(), 3);
    c.fecha();
    sqlite3* outro = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(c.arquivo()).constData(), &outro), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(outro, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    Hul00002::InstallDefaults();
    QWidget form;
    form.show();
    Hul00002::AtivaProcesso(&form, QStringLiteral("Aguarde"), 0, 0);
    bool janelaNoAviso = true;
    platform::SetMensagemPresenter([&](const platform::MensagemArgs& a) {
        mensagens << a;
        janelaNoAviso = detail::janelaProcesso() != nullptr;
        return true;
    });
    const SaleRun run = gera(c, teste::Almoco(3));
    sqlite3_exec(outro, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(outro);
    EXPECT_EQ(situacoes(run), teste::Textos({"C01:not sold", "C02:not sold", "C03:not sold"}));
    EXPECT_TRUE(run.outcomes[0].reason.contains(QStringLiteral("ocupado")))
        << run.outcomes[0].reason.toStdString();
    EXPECT_TRUE(run.outcomes[2].reason.contains(QStringLiteral("não processado")));
    ASSERT_EQ(mensagens.size(), 1);
    EXPECT_FALSE(mensagens[0].texto.contains(QStringLiteral("database is locked")));
    EXPECT_FALSE(janelaNoAviso);
    Hul00002::ResetToUnassigned();
}

}  // namespace
