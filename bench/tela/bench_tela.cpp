// bench_tela [--db FILE] [--regen]
// The attendance screen driven as the operator drives it (offscreen), on the busy day of a big
// database, against R: a raw sqlite3 run of the attendance statement as it stood before it read
// the day's sales once (prepared once; bind, step, copy every column's text), and F: the same raw
// run of the cost centre's consumers alone, in name order. For the cost centres of 1,000, 20,000
// and 100,000 consumers (gerademo --big), each at the till of its lunches: the whole load (click on
// "Carregar Alunos" to the grid's first painted frame); at the largest, each operation with its
// repaint, and the memory the list holds.
#include <QApplication>
#include <QHeaderView>
#include <QProcess>
#include <QScrollBar>
#include <QTest>

#include <cstdio>

#include <malloc.h>

#include "common/Medicao.h"
#include "dataset/ClientDataSet.h"
#include "dataset/DataSetModel.h"
#include "module/Cli_Kel00815.h"
#include "module/dataservice/TrdmListaPresenca.h"
#include "module/screen/TLabel.h"
#include "module/screen/TfrmPresenca.h"
#include "textorder/ColacaoPtBr.h"

namespace {

void linha(const char* nome, double ms, double r, const char* meta) {
    std::printf("  %-34s %9.2f ms  %6.2f R   (meta: %s)\n", nome, ms, ms / r, meta);
}

std::vector<double> vezes(int n, const std::function<void()>& f) {
    f();  // warmed first
    std::vector<double> t;
    for (int i = 0; i < n; ++i) t.push_back(bench::mede(f));
    return t;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QString arquivo = QStringLiteral("/tmp/listapresenca-bench2.db");
    bool refaz = false;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--db") && i + 1 < args.size()) arquivo = args[++i];
        if (args[i] == QLatin1String("--regen")) refaz = true;
    }
    if (!bench::garanteBanco(arquivo, app.applicationDirPath(), refaz)) return 1;

    // Each raw statement on a connection of its own, as the module's connection is.
    const auto abre = [&] {
        sqlite3* db = nullptr;
        sqlite3_open_v2(QFile::encodeName(arquivo).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
        textorder::registraPtBr(db);
        return db;
    };
    sqlite3* const dbR = abre();
    sqlite3* const dbF = abre();
    auto* r = new bench::Bruto(dbR, bench::kPresencaAntes);
    auto* f = new bench::Bruto(dbF, bench::kConsumidores);

    qputenv("LISTAPRESENCA_CONEXAO", arquivo.toUtf8());
    auto* tela = new Cli_Kel00815::TfrmPresenca();
    Cli_Kel00815::frmPresenca = tela;
    tela->InicializaForm(nullptr, -1);
    tela->stCdFilial = QString::fromLatin1(bench::kFilial);
    tela->show();
    QCoreApplication::processEvents();
    tela->stCdServFili = QString::fromLatin1(bench::kServico);
    tela->blbServico->setCaption(QStringLiteral("ALMOÇO"));
    tela->blbDtVenda->setCaption(QString::fromLatin1(bench::kDia));
    tela->blbHrVenda->setCaption(QStringLiteral("11:30"));
    auto* grade = tela->dbsPresenca;
    const auto pinta = [&] { grade->viewport()->repaint(); };

    double memAntes = 0, memDepois = 0;
    std::printf("%-14s %8s %10s %10s %12s %8s\n", "centro", "linhas", "R ms", "F ms", "carga ms",
                "carga/R");
    for (const bench::Centro& c : bench::kCentros) {
        const bool maior = QString::fromUtf8(c.codigo) == QStringLiteral("GRADUAÇÃO");
        // The till of the centre's lunches, and its service row as the header leaves it.
        tela->stCdCaixa = QString::fromLatin1(c.caixa);
        tela->cdsServico->setData(Srv_Kel00815::getServico(tela->stCdFilial, tela->stCdCaixa));
        for (tela->cdsServico->first(); !tela->cdsServico->eof(); tela->cdsServico->next())
            if (tela->cdsServico->fieldByName(QStringLiteral("CDSERVFILI")).asString() ==
                QLatin1String(bench::kServico))
                break;
        tela->stCdCCusClie = QString::fromUtf8(c.codigo);
        tela->blbCentCusto->setCaption(tela->stCdCCusClie);
        std::vector<double> tr, tf, tc;
        int linhas = 0;
        if (maior) {
            tela->panCabecClick(nullptr);  // the smaller list emptied first
            malloc_trim(0);
            memAntes = bench::residenteMb();
        }
        QTest::mouseClick(tela->blbCarregar, Qt::LeftButton);
        pinta();
        if (maior) memDepois = bench::residenteMb();  // the list loaded and shown once
        r->roda(c.codigo, c.caixa);
        f->roda(c.codigo, c.caixa);
        for (int i = 0; i < std::min(c.vezes, 31);
             ++i) {  // alternated: a busy machine weighs on all alike
            tr.push_back(bench::mede([&] { linhas = r->roda(c.codigo, c.caixa); }));
            tf.push_back(bench::mede([&] { f->roda(c.codigo, c.caixa); }));
            tc.push_back(bench::mede([&] {
                QTest::mouseClick(tela->blbCarregar, Qt::LeftButton);
                pinta();
            }));
        }
        const double R = bench::mediana(tr), F = bench::mediana(tf), C = bench::mediana(tc);
        std::printf("%s %8d %10.2f %10.2f %12.2f %8.2f   (meta: %s)\n",
                    QString::fromUtf8(c.codigo).leftJustified(14).toUtf8().constData(),
                    tela->cdsPresenca->recordCount(), R, F, C, C / R,
                    tela->cdsPresenca->recordCount() < 5000 ? "<= R + 5 ms" : "<= R");
        if (tela->cdsPresenca->recordCount() != linhas)
            std::printf("  linhas diferentes: %d x %d\n", tela->cdsPresenca->recordCount(), linhas);
        if (!maior) continue;

        // Each operation at the largest list, with the repaint it causes.
        auto* ds = tela->cdsPresenca;
        const auto contadores = vezes(5, [&] {
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
        const auto vista = vezes(7, [&] {
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
        const auto ordem = vezes(5, [&] {
            porCracha = !porCracha;
            tela->dbsPresencaTitleClick(porCracha ? colCracha : colNome);
            pinta();
        });
        linha("ordem por um título", bench::mediana(ordem), R, "<= 150 ms");
        const auto todos = vezes(5, [&] {
            tela->dbsPresencaTitleClick(colMarca);
            pinta();
        });
        linha("marcar todos", bench::mediana(todos), R, "<= 25 ms");
        ds->first();
        while (!ds->eof() && !ds->fieldByName(QStringLiteral("DTHRREALCONCONS")).isNull())
            ds->next();
        const auto marca = vezes(21, [&] {
            tela->dbsPresencaCellClick(colMarca);
            pinta();
        });
        linha("marcar um", bench::mediana(marca), R, "<= 2 ms");
        QScrollBar* barra = grade->verticalScrollBar();
        barra->setValue(barra->maximum() / 2);
        pinta();
        const auto rola = vezes(21, [&] {
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
    delete r;
    delete f;
    sqlite3_close(dbR);
    sqlite3_close(dbF);
    return 0;
}
