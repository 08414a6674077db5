#include "screen/Tela.h"

#include <QCoreApplication>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include <hul00002/Hul00002.h>

#include "common/TillFiles.h"
#include "module/Cli_Kel00815.h"
#include "module/dataservice/TrdmListaPresenca.h"
#include "module/screen/TLabel.h"

namespace teste {

dataset::DataPacket Pacote(const QStringList& campos, const QList<QStringList>& linhas) {
    dataset::FieldDefs defs;
    for (const QString& c : campos) defs << dataset::FieldDef::text(c, 60);
    dataset::DataPacket::Builder b(defs);
    for (const QStringList& l : linhas) {
        b.appendRow();
        // A null text is NULL, as the query gives it; "" is an empty text.
        for (int i = 0; i < l.size(); ++i)
            if (!l.at(i).isNull()) b.setText(i, l.at(i));
    }
    return b.finish();
}

dataset::DataPacket PacotePresenca(const QList<QStringList>& linhas) {
    QList<QStringList> completas;
    for (const QStringList& l : linhas)
        completas << QStringList{QStringLiteral("0001"),
                                 QStringLiteral("001"),
                                 l.value(0),
                                 l.value(1),
                                 l.value(3).isEmpty() ? QString() : l.value(3),
                                 l.value(2),
                                 QStringLiteral("N"),
                                 QStringLiteral("C1"),
                                 QStringLiteral("01"),
                                 l.value(0)};
    return Pacote(
        {QStringLiteral("CDFILIAL"), QStringLiteral("CDCAIXA"), QStringLiteral("CDIDCONSUMID"),
         QStringLiteral("NMCONSUMIDOR"), QStringLiteral("DTHRREALCONCONS"),
         QStringLiteral("IDSITCONSUMI"), QStringLiteral("IDCHECK"), QStringLiteral("CDCLIENTE"),
         QStringLiteral("CDTIPOCONS"), QStringLiteral("CDCONSUMIDOR")},
        completas);
}

void Banco::Executa(const QStringList& comandos) const {
    const QString nome = QStringLiteral("teste-tela");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), nome);
        db.setDatabaseName(arquivo);
        ASSERT_TRUE(db.open());
        for (const QString& c : comandos) {
            QSqlQuery q(db);
            ASSERT_TRUE(q.exec(c)) << c.toStdString() << ": " << q.lastError().text().toStdString();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(nome);
}

Banco CriaBanco(const QString& dir, bool comEsquema) {
    Banco b{dir + QStringLiteral("/till.db")};
    QStringList comandos;
    if (comEsquema) {
        QFile f(QStringLiteral(SCHEMA_SQLITE));
        EXPECT_TRUE(f.open(QIODevice::ReadOnly));
        // Comments first: they may hold a semicolon.
        QStringList semComentarios;
        for (const QString& l : QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'))) {
            const qsizetype c = l.indexOf(QLatin1String("--"));
            semComentarios << (c < 0 ? l : l.left(c));
        }
        for (const QString& parte :
             semComentarios.join(QLatin1Char('\n')).split(QLatin1Char(';'))) {
            const QString comando = parte.trimmed();
            if (!comando.isEmpty()) comandos << comando;
        }
    } else {
        // The product's tables without their columns: the connect accepts it, every query fails.
        comandos << emptyTillTables();
    }
    b.Executa(comandos);
    return b;
}

void Tela::SetUp() {
    ASSERT_TRUE(dir.isValid());
    presenterAnterior = platform::SetMensagemPresenter([this](const platform::MensagemArgs& a) {
        mensagens << a;
        if (aoMostrar) aoMostrar(a);
        return true;
    });
    displayAnterior = platform::SetErrorDisplay([this](const QString& m) { erros << m; });
    relogioAnterior = platform::SetClock([this] { return QDateTime(hoje, QTime(10, 30)); });

    Hul00002::ResetToUnassigned();
    Hul00002::Pesquisa = [this](dataset::ClientDataSet& ds, int a2, const QString& flag, int c1,
                                int c2, int c3, int c5, int a8) {
        chamadas << QStringLiteral("Pesquisa:") + ds.objectName();
        argsPesquisa << QList<QVariant>{a2, flag, c1, c2, c3, c5, a8};
        if (aoPesquisar) aoPesquisar(ds);
        if (!escolha) return false;
        for (ds.first(); !ds.eof(); ds.next())
            if (ds.fieldByName(campoEscolha).asString() == *escolha) return true;
        ADD_FAILURE() << "no row " << escolha->toStdString();
        return false;
    };
    Hul00002::TouchCalendar = [this](int a1, int c1, int c2) {
        chamadas << QStringLiteral("TouchCalendar");
        argsCalendario << QList<int>{a1, c1, c2};
        return dataCalendario;
    };
    Hul00002::TecladoNumerico = [this](QString& entrada, const QString& titulo,
                                       const QString& instrucao, const QString& vazio, int tam,
                                       int a6, int a7, int a8, int a9, int a10) {
        chamadas << QStringLiteral("TecladoNumerico");
        argsTeclado << QVariantList{entrada, titulo, instrucao, vazio, tam, a6, a7, a8, a9, a10};
        if (!teclado) return false;
        entrada = *teclado;
        return true;
    };
    Hul00002::RelFiscais = [this] { chamadas << QStringLiteral("RelFiscais"); };
}

void Tela::TearDown() {
    delete tela;
    tela = nullptr;
    Cli_Kel00815::frmPresenca = nullptr;
    delete Srv_Kel00815::rdmListaPresenca;
    Srv_Kel00815::rdmListaPresenca = nullptr;
    Hul00002::ResetToUnassigned();
    platform::SetMensagemPresenter(presenterAnterior);
    platform::SetErrorDisplay(displayAnterior);
    platform::SetClock(relogioAnterior);
    qunsetenv("LISTAPRESENCA_CONEXAO");
}

void Tela::Abre(bool inicializa) {
    tela = new Cli_Kel00815::TfrmPresenca();
    Cli_Kel00815::frmPresenca = tela;
    if (!inicializa) return;
    if (banco.arquivo.isEmpty()) banco = CriaBanco(dir.path());
    qputenv("LISTAPRESENCA_CONEXAO", banco.arquivo.toUtf8());
    tela->InicializaForm(nullptr, -1);
    inCor2Lido = tela->inCor2;
    // Whatever parameter file lies beside the test: the till is the test's own.
    tela->stCdFilial = QStringLiteral("0001");
    tela->stCdCaixa = QStringLiteral("001");
    tela->stIdEsquema = QStringLiteral("007");
    tela->inCor1 = 11;
    tela->inCor2 = 22;
    tela->inCor3 = 33;
    tela->inCor5 = 55;
}

void Tela::Mostra() {
    tela->show();
    QCoreApplication::processEvents();
}

void Tela::Foto(const QString& nome) const {
    const QByteArray pasta = qgetenv("SCREEN_PNG_DIR");
    if (pasta.isEmpty()) return;
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    tela->grab().save(QString::fromLocal8Bit(pasta) + QLatin1Char('/') +
                      (nome.isEmpty() ? QString::fromUtf8(info->name()) : nome) +
                      QStringLiteral(".png"));
}

QList<bool> Tela::QuadrosVermelhos() const {
    QList<bool> r;
    for (auto* f : {tela->blbFundo1, tela->blbFundo2, tela->blbFundo3, tela->blbFundo4})
        r << (f->color() == QColor(255, 0, 0));
    return r;
}

QStringList Tela::Captions() const {
    return {tela->blbCentCusto->caption(), tela->blbServico->caption(), tela->blbDtVenda->caption(),
            tela->blbHrVenda->caption()};
}

QStringList Tela::Contadores() const {
    return {tela->lblTotPendente->caption(), tela->lblTotInativo->caption(),
            tela->lblTotVenda->caption(), tela->lblTotGeral->caption()};
}

}  // namespace teste
