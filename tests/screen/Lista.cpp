#include "screen/Lista.h"

#include <QHeaderView>
#include <QTest>

#include "dataset/DataSetModel.h"
#include "module/screen/TLabel.h"

namespace teste {

QStringList Lista::Dados() {
    return {
        QStringLiteral("INSERT INTO CLIENFILIAL (CDFILIAL, CDCLIENTE) VALUES ('0001','C1')"),
        QStringLiteral("INSERT INTO CONSUMIDOR (CDCONSUMIDOR, CDCLIENTE, CDIDCONSUMID, "
                       "NMCONSUMIDOR, IDSITCONSUMI, CDCCUSCLIE, CDTIPOCONS) VALUES "
                       "('1','C1','100','ANA','1','CC1','01'),"
                       "('2','C1','101','BIA','1','CC1','01'),"
                       "('3','C1','102','CAIO','1','CC1','02'),"
                       "('4','C1','103','DÉBORA','2','CC1','01'),"
                       "('5','C1','104','EDU','2','CC1','01'),"
                       "('6','C1','105','FÁBIO','1','CC1','01'),"
                       "('7','C1','106','GIL','3','CC1','01'),"
                       "('8','C1','900','OUTRO CENTRO','1','CC2','01')"),
        QStringLiteral("INSERT INTO SERVICO (CDSERVFILI, NMSERVICO) VALUES ('01','ALMOÇO')"),
        QStringLiteral("INSERT INTO SERVTURCAIXA (CDFILIAL, CDCAIXA, CDSERVFILI, HRINISERTUR, "
                       "HRFINSERTUR, IDIMPCUPOMAUT) VALUES ('0001','001','01','1100','1400','N')"),
        QStringLiteral("INSERT INTO VENDA (CDFILIAL, CDCAIXA, CDSERVFILI, CDCONSUMIDOR, "
                       "DTHRREALCONCONS, DTENTRVENDA, IDSITUVENDA) VALUES "
                       "('0001','001','01','5','2024-03-15 11:40:00','2024-03-15 00:00:00','O'),"
                       "('0001','001','01','6','2024-03-15 12:10:00','2024-03-15 00:00:00','O')"),
    };
}

void Lista::AbreComDados() {
    banco = CriaBanco(dir.path());
    banco.Executa(Dados());
    Abre();
}

void Lista::PreencheCabecalho() {
    tela->cdsServico->setData(Pacote(
        {QStringLiteral("CDSERVFILI"), QStringLiteral("NMSERVICO"), QStringLiteral("HRINISERTUR"),
         QStringLiteral("HRFINSERTUR"), QStringLiteral("IDIMPCUPOMAUT")},
        {{QStringLiteral("01"), QStringLiteral("ALMOÇO"), QStringLiteral("1100"),
          QStringLiteral("1400"), QStringLiteral("N")}}));
    tela->stCdCCusClie = QStringLiteral("CC1");
    tela->stCdServFili = QStringLiteral("01");
    tela->stHrIniSerTur = QStringLiteral("1100");
    tela->stHrFinSerTur = QStringLiteral("1400");
    tela->blbCentCusto->setCaption(QStringLiteral("CC1"));
    tela->blbServico->setCaption(QStringLiteral("ALMOÇO - 11:00 às 14:00"));
    tela->blbDtVenda->setCaption(QStringLiteral("15/03/2024"));
    tela->blbHrVenda->setCaption(QStringLiteral("11:30"));
}

void Lista::Carrega() {
    QTest::mouseClick(tela->blbCarregar, Qt::LeftButton);
}

QStringList Lista::Textos() const {
    QStringList r;
    for (const auto& m : mensagens) r << m.texto;
    return r;
}

QStringList Lista::Crachas() const {
    QStringList r;
    auto* m = tela->dbsPresenca->dataModel();
    const int c = m->columnOfField(QStringLiteral("CDIDCONSUMID"));
    for (int row = 0; row < m->rowCount(); ++row) r << m->index(row, c).data().toString();
    return r;
}

QStringList Lista::Marcas() const {
    QStringList r;
    auto* m = tela->dbsPresenca->dataModel();
    const int c = m->columnOfField(QStringLiteral("IDCHECK"));
    for (int row = 0; row < m->rowCount(); ++row) r << m->index(row, c).data().toString();
    return r;
}

QString Lista::MarcaDe(const QString& cracha) const {
    const int i = int(Crachas().indexOf(cracha));
    return i < 0 ? QString() : Marcas().at(i);
}

QString Lista::Estado(const QString& cracha) const {
    return tela->dbsPresenca->dataModel()
        ->index(int(Crachas().indexOf(cracha)), Coluna(QStringLiteral("NMCONSUMIDOR")))
        .data(Qt::ToolTipRole)
        .toString();
}

int Lista::Coluna(const QString& campo) const {
    return tela->dbsPresenca->dataModel()->columnOfField(campo);
}

void Lista::ClicaMarca(const QString& cracha) {
    const int row = int(Crachas().indexOf(cracha));
    ASSERT_GE(row, 0) << cracha.toStdString();
    auto* grade = tela->dbsPresenca;
    const QModelIndex i = grade->dataModel()->index(row, Coluna(QStringLiteral("IDCHECK")));
    grade->scrollTo(i);
    QTest::mouseClick(grade->viewport(), Qt::LeftButton, {}, grade->visualRect(i).center());
}

void Lista::ClicaTitulo(const QString& campo) {
    QHeaderView* h = tela->dbsPresenca->horizontalHeader();
    const int c = Coluna(campo);
    const QPoint p(h->sectionViewportPosition(c) + h->sectionSize(c) / 2, h->height() / 2);
    QTest::mouseClick(h->viewport(), Qt::LeftButton, {}, p);
}

void Lista::Tecla(Qt::Key k, Qt::KeyboardModifiers m) {
    QTest::keyClick(tela->dbsPresenca, k, m);
}

}  // namespace teste
