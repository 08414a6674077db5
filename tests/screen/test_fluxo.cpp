// The operator's whole flow on the demo database, through the real screen, the real pickers
// driven by keyboard, the real confirmation dialog and the real sale generator: pick the header,
// load, mark two, generate, confirm; the two show as sold and each has its receipt.

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPointer>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>

#include <hul00002/Hul00002.h>

#include "common/ModalHelper.h"
#include "dataset/DataSetModel.h"
#include "module/screen/TLabel.h"
#include "screen/Lista.h"

using namespace teste;

namespace {

class Fluxo : public Lista {
protected:
    void SetUp() override {
        Lista::SetUp();
        Hul00002::InstallDefaults();
        // The operator's own dialogs; the fixture's recorder only listens.
        platform::SetMensagemPresenter({});
    }
    // Types into the picker that opens next, the way a keyboard reaches it.
    void NoProximo(std::function<void(QDialog*)> teclas) {
        quandoModal([teclas](QDialog* dlg) {
            for (int i = 0; i < 200 && QApplication::activeWindow() != dlg; ++i) QTest::qWait(10);
            const QPointer<QDialog> vivo(dlg);
            teclas(dlg);
            if (vivo && vivo->isVisible()) {
                ADD_FAILURE() << vivo->objectName().toStdString() << " left open";
                vivo->reject();
            }
        });
    }
    int Conta(const QString& sql) {
        int n = -1;
        {
            QSqlDatabase db =
                QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("fluxo-conta"));
            db.setDatabaseName(banco.arquivo);
            if (db.open()) {
                QSqlQuery q(db);
                if (q.exec(sql) && q.next()) n = q.value(0).toInt();
            }
        }
        QSqlDatabase::removeDatabase(QStringLiteral("fluxo-conta"));
        return n;
    }
    QString SituacaoDe(const QString& cracha) {
        auto* ds = tela->cdsPresenca;
        for (ds->first(); !ds->eof(); ds->next())
            if (ds->fieldByName(QStringLiteral("CDIDCONSUMID")).asString() == cracha)
                return ds->fieldByName(QStringLiteral("DTHRREALCONCONS")).asString();
        return QStringLiteral("?");
    }
};

TEST_F(Fluxo, PickLoadMarkTwoGenerateAndConfirmSellsExactlyThoseTwo) {
    banco.arquivo = dir.filePath(QStringLiteral("demo.db"));
    ASSERT_EQ(QProcess::execute(QStringLiteral(GERADEMO),
                                {QStringLiteral("--out"), banco.arquivo, QStringLiteral("--today"),
                                 QStringLiteral("15/03/2024")}),
              0);
    Abre();
    Mostra();

    // Cost centre and service by the pick list's search, date by the calendar, hour by the keypad.
    NoProximo([](QDialog* d) {
        QTest::keyClicks(filho<QLineEdit>(d, "edtPesquisa"), QStringLiteral("bercario"));
        QTest::keyClick(foco(d), Qt::Key_Return);
    });
    Tecla(Qt::Key_F9);
    NoProximo([](QDialog* d) {
        QTest::keyClicks(filho<QLineEdit>(d, "edtPesquisa"), QStringLiteral("almo"));
        QTest::keyClick(foco(d), Qt::Key_Return);
    });
    Tecla(Qt::Key_F9);
    NoProximo([](QDialog* d) { QTest::keyClick(foco(d), Qt::Key_Return); });
    Tecla(Qt::Key_F9);
    NoProximo([](QDialog* d) {
        QTest::keyClicks(foco(d), QStringLiteral("1210"));
        QTest::keyClick(foco(d), Qt::Key_Return);
    });
    Tecla(Qt::Key_F9);
    ASSERT_EQ(Captions().at(0), QStringLiteral("BERÇÁRIO"));
    ASSERT_TRUE(Captions().at(1).startsWith(QStringLiteral("Almoço")));
    ASSERT_EQ(Captions().at(2), QStringLiteral("15/03/2024"));
    ASSERT_EQ(Captions().at(3), QStringLiteral("12:10"));

    Carrega();
    const QStringList antes = Contadores();
    ASSERT_GE(antes.at(0).toInt(), 2);
    // The first two markable rows of the pending view.
    tela->dxfPendenteClick(nullptr);
    QStringList escolhidos;
    auto* ds = tela->cdsPresenca;
    for (ds->first(); !ds->eof() && escolhidos.size() < 2; ds->next())
        if (ds->fieldByName(QStringLiteral("IDSITCONSUMI")).asString() == QLatin1String("1"))
            escolhidos << ds->fieldByName(QStringLiteral("CDIDCONSUMID")).asString();
    tela->dxfTotalGeralClick(nullptr);
    for (const QString& c : escolhidos) ClicaMarca(c);
    ASSERT_EQ(Marcas().count(QStringLiteral("S")), 2);

    const int vendasAntes = Conta(QStringLiteral("SELECT COUNT(*) FROM VENDA"));
    NoProximo([](QDialog* d) { QTest::keyClick(foco(d), Qt::Key_Return); });  // "Confirma…?"
    QTest::mouseClick(tela->blbGeraVenda, Qt::LeftButton);

    EXPECT_TRUE(erros.isEmpty()) << erros.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(Conta(QStringLiteral("SELECT COUNT(*) FROM VENDA")), vendasAntes + 2);
    EXPECT_EQ(Conta(QStringLiteral("SELECT COUNT(*) FROM CUPOMVENDA CU JOIN VENDA VE ON "
                                   "VE.NRSEQVENDA = CU.NRSEQVENDA WHERE VE.DTHRREALCONCONS = "
                                   "'2024-03-15 12:10:00'")),
              2);
    for (const QString& c : escolhidos) EXPECT_EQ(SituacaoDe(c), QStringLiteral("15/03/2024"));
    const QStringList depois = Contadores();
    EXPECT_EQ(depois.at(0).toInt(), antes.at(0).toInt() - 2);
    EXPECT_EQ(depois.at(2).toInt(), antes.at(2).toInt() + 2);
    EXPECT_EQ(depois.at(3), antes.at(3));
    EXPECT_TRUE(tela->lblSair->isEnabled());

    // What the README shows: the three states, two rows marked and one selected.
    int marcados = 0;
    for (const QString& c : Crachas()) {
        if (marcados == 2) break;
        const int row = int(Crachas().indexOf(c));
        auto* m = tela->dbsPresenca->dataModel();
        if (m->index(row, Coluna(QStringLiteral("NMCONSUMIDOR")))
                .data(Qt::ToolTipRole)
                .toString() == QLatin1String("Pendente")) {
            ClicaMarca(c);
            ++marcados;
        }
    }
    platform::ColoreTela(tela, 8421504, 14079702, 8388608, 16777215, 12632256, 0);
    QPalette pal = tela->panCabec->palette();
    pal.setColor(QPalette::Window, platform::CorParaQColor(14079702));
    tela->panCabec->setPalette(pal);
    tela->dxfPendente->setColor(QColor(0, 128, 0));
    tela->dxfInativos->setColor(QColor(255, 0, 0));
    tela->dxfNcads->setColor(QColor(128, 128, 128));
    tela->dxfTotalGeral->setColor(QColor(0, 128, 0));
    Foto();

    // And the README's badge read: a reader's burst on the next pending row, answered in the
    // banner over the grid's foot.
    QString proximo;
    for (const QString& c : Crachas())
        if (MarcaDe(c) == QLatin1String("N") &&
            tela->dbsPresenca->dataModel()
                    ->index(int(Crachas().indexOf(c)), Coluna(QStringLiteral("NMCONSUMIDOR")))
                    .data(Qt::ToolTipRole)
                    .toString() == QLatin1String("Pendente")) {
            proximo = c;
            break;
        }
    ASSERT_FALSE(proximo.isEmpty());
    ulong ms = 5000;
    for (QChar c : QString(proximo + QLatin1Char('\r'))) {
        QKeyEvent e(QEvent::KeyPress,
                    c == QLatin1Char('\r') ? Qt::Key_Return : Qt::Key(c.unicode()), Qt::NoModifier,
                    QString(c));
        e.setTimestamp(ms += 4);
        QApplication::sendEvent(tela->dbsPresenca, &e);
    }
    EXPECT_EQ(MarcaDe(proximo), QStringLiteral("S"));
    EXPECT_TRUE(tela->lblLeitura->isVisible());
    Foto(QStringLiteral("leitura-cracha"));
}

}  // namespace
