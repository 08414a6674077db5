// bench_tela [--db FILE] [--regen]
// The attendance screen driven as the operator drives it (offscreen), on the busy day of a big
// database, against R: a raw sqlite3 run of the attendance statement as it stood before it read
// the day's sales once (prepared once; bind, step, copy every column's text), and F: the same raw
// run of the cost centre's consumers alone, in name order. For the cost centres nearest 1,000,
// 20,000 and 100,000 consumers: the whole load (click on "Carregar Alunos" to the grid's first
// painted frame); at the largest, each operation with its repaint, and the memory the list holds.
#include <QApplication>
#include <QHeaderView>
#include <QProcess>
#include <QScrollBar>
#include <QTest>

#include <cstdio>

#include "common/Medicao.h"
#include "dataset/ClientDataSet.h"
#include "dataset/DataSetModel.h"
#include "module/Cli_Kel00815.h"
#include "module/dataservice/TrdmListaPresenca.h"
#include "module/screen/TLabel.h"
#include "module/screen/TfrmPresenca.h"
#include "textorder/ColacaoPtBr.h"

namespace {

const char* const kDia = "15/03/2024";
const char* const kFilial = "0001";
const char* const kCaixa = "001";
const char* const kServico = "00002";

// Cost centres by size, read from the database.
std::vector<std::pair<std::string, int>> centros(sqlite3* db) {
    std::vector<std::pair<std::string, int>> r;
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "SELECT CDCCUSCLIE, COUNT(*) FROM CONSUMIDOR GROUP BY CDCCUSCLIE", -1,
                       &st, nullptr);
    while (sqlite3_step(st) == SQLITE_ROW)
        r.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)),
                       sqlite3_column_int(st, 1));
    sqlite3_finalize(st);
    return r;
}

std::string maisPerto(const std::vector<std::pair<std::string, int>>& cs, int alvo) {
    std::string melhor;
    int dist = -1;
    for (const auto& [cc, n] : cs) {
        const int d = std::abs(n - alvo);
        if (dist < 0 || d < dist) dist = d, melhor = cc;
    }
    return melhor;
}

void linha(const char* nome, double ms, double r, const char* meta) {
    std::printf("  %-34s %9.2f ms  %6.2f R   (meta: %s)\n", nome, ms, ms / r, meta);
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QString arquivo = QStringLiteral("/tmp/listapresenca-bench.db");
    bool refaz = false;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--db") && i + 1 < args.size()) arquivo = args[++i];
        if (args[i] == QLatin1String("--regen")) refaz = true;
    }
    if (refaz || !QFile::exists(arquivo)) {
        std::printf("gerando %s (gerademo --big) ...\n", qPrintable(arquivo));
        std::fflush(stdout);
        if (QProcess::execute(app.applicationDirPath() + QStringLiteral("/gerademo"),
                              {QStringLiteral("--big"), QStringLiteral("--today"),
                               QString::fromLatin1(kDia), QStringLiteral("--out"), arquivo}) != 0)
            return 1;
    }

    sqlite3* db = nullptr;
    sqlite3_open_v2(arquivo.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    textorder::registraPtBr(db);
    bench::Bruto r(db, bench::kPresencaAntes);
    bench::Bruto f(db, bench::kConsumidoresDoCentro);
    const auto cs = centros(db);

    qputenv("LISTAPRESENCA_CONEXAO", arquivo.toUtf8());
    auto* tela = new Cli_Kel00815::TfrmPresenca();
    Cli_Kel00815::frmPresenca = tela;
    tela->InicializaForm(nullptr, -1);
    tela->stCdFilial = QString::fromLatin1(kFilial);
    tela->stCdCaixa = QString::fromLatin1(kCaixa);
    tela->show();
    QCoreApplication::processEvents();
    tela->cdsServico->setData(Srv_Kel00815::getServico(tela->stCdFilial, tela->stCdCaixa));
    for (tela->cdsServico->first(); !tela->cdsServico->eof(); tela->cdsServico->next())
        if (tela->cdsServico->fieldByName(QStringLiteral("CDSERVFILI")).asString() ==
            QLatin1String(kServico))
            break;
    tela->stCdServFili = QString::fromLatin1(kServico);
    tela->blbServico->setCaption(QStringLiteral("ALMOÇO"));
    tela->blbDtVenda->setCaption(QString::fromLatin1(kDia));
    tela->blbHrVenda->setCaption(QStringLiteral("11:30"));
    auto* grade = tela->dbsPresenca;
    const auto pinta = [&] { grade->viewport()->repaint(); };

    const double memAntes = bench::residenteMb();
    double memDepois = 0;
    std::printf("%-14s %8s %10s %10s %12s %8s\n", "centro", "linhas", "R ms", "F ms", "carga ms",
                "carga/R");
    for (int alvo : {1000, 20000, 100000}) {
        const std::string cc = maisPerto(cs, alvo);
        const std::map<std::string, std::string> valores{{":P_CDFILIAL", kFilial},
                                                         {":P_CDCAIXA", kCaixa},
                                                         {":P_CDCCUSCLIE", cc},
                                                         {":P_CDSERVFILI", kServico},
                                                         {":P_DTENTRVENDA", kDia}};
        tela->stCdCCusClie = QString::fromStdString(cc);
        tela->blbCentCusto->setCaption(tela->stCdCCusClie);
        const int vezes = alvo >= 100000 ? 5 : alvo >= 20000 ? 9 : 31;
        std::vector<double> tr, tf, tc;
        int linhas = 0;
        for (int i = 0; i < vezes; ++i) {  // alternated: a busy machine weighs on all alike
            tr.push_back(bench::mede(1, [&] { linhas = r.roda(valores); })[0]);
            tf.push_back(bench::mede(1, [&] { f.roda(valores); })[0]);
            tc.push_back(bench::mede(1, [&] {
                QTest::mouseClick(tela->blbCarregar, Qt::LeftButton);
                pinta();
            })[0]);
        }
        const double R = bench::mediana(tr), F = bench::mediana(tf), C = bench::mediana(tc);
        std::printf("%-14s %8d %10.2f %10.2f %12.2f %8.2f   (meta: %s)\n", cc.c_str(),
                    tela->cdsPresenca->recordCount(), R, F, C, C / R,
                    alvo == 1000 ? "<= R + 5 ms" : "<= R");
        if (tela->cdsPresenca->recordCount() != linhas)
            std::printf("  linhas diferentes: %d x %d\n", tela->cdsPresenca->recordCount(), linhas);
        if (alvo != 100000) continue;
        memDepois = bench::residenteMb();

        // Each operation at the largest list, with the repaint it causes.
        auto* ds = tela->cdsPresenca;
        const auto contadores = bench::mede(5, [&] {
            ds->disableControls();
            for (const char* filtro : {"DTHRREALCONCONS IS NULL AND IDSITCONSUMI = '1'",
                                       "IDSITCONSUMI = '2'", "DTHRREALCONCONS IS NOT NULL"}) {
                ds->setFiltered(false);
                ds->setFilter(QString::fromLatin1(filtro));
                ds->setFiltered(true);
                (void)ds->recordCount();
            }
            ds->setFiltered(false);
            ds->enableControls();
        });
        linha("os quatro contadores", bench::mediana(contadores), R, "<= 10 ms");
        bool pendente = false;
        const auto vista = bench::mede(7, [&] {
            pendente = !pendente;
            if (pendente)
                tela->dxfPendenteClick(nullptr);
            else
                tela->dxfTotalGeralClick(nullptr);
            pinta();
        });
        linha("troca de vista do rodapé", bench::mediana(vista), R, "<= 50 ms");
        tela->dxfTotalGeralClick(nullptr);
        const int colCracha = grade->dataModel()->columnOfField(QStringLiteral("CDIDCONSUMID"));
        const int colNome = grade->dataModel()->columnOfField(QStringLiteral("NMCONSUMIDOR"));
        const int colMarca = grade->dataModel()->columnOfField(QStringLiteral("IDCHECK"));
        bool porCracha = false;
        const auto ordem = bench::mede(5, [&] {
            porCracha = !porCracha;
            tela->dbsPresencaTitleClick(porCracha ? colCracha : colNome);
            pinta();
        });
        linha("ordem por um título", bench::mediana(ordem), R, "<= 150 ms");
        const auto todos = bench::mede(5, [&] {
            tela->dbsPresencaTitleClick(colMarca);
            pinta();
        });
        linha("marcar todos", bench::mediana(todos), R, "<= 25 ms");
        ds->first();
        while (!ds->eof() && !ds->fieldByName(QStringLiteral("DTHRREALCONCONS")).isNull())
            ds->next();
        const auto marca = bench::mede(21, [&] {
            tela->dbsPresencaCellClick(colMarca);
            pinta();
        });
        linha("marcar um", bench::mediana(marca), R, "<= 2 ms");
        QScrollBar* barra = grade->verticalScrollBar();
        barra->setValue(barra->maximum() / 2);
        pinta();
        const auto rola = bench::mede(21, [&] {
            barra->setValue(barra->value() + barra->pageStep());
            pinta();
        });
        linha("rolar uma página", bench::mediana(rola), R, "<= 16 ms");
    }
    std::printf(
        "memória: %.1f MB antes, %.1f MB com a lista de 100.000 (cresceu %.1f MB; meta "
        "<= 40 MB)\n",
        memAntes, memDepois, memDepois - memAntes);
    tela->hide();
    delete tela;
    Cli_Kel00815::frmPresenca = nullptr;
    delete Srv_Kel00815::rdmListaPresenca;
    Srv_Kel00815::rdmListaPresenca = nullptr;
    sqlite3_close(db);
    return 0;
}
