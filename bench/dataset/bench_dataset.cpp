// Times the client dataset on an attendance-shaped list of 100,000 consumers and prints the
// median of several runs next to the goal of each operation. Build in Release for figures.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <random>
#include <vector>

#include "dataset/ClientDataSet.h"
#include "dataset/DataSetModel.h"
#include "dataset/PacketFile.h"

using namespace dataset;

namespace {

constexpr int kRows = 100000;
constexpr int kRuns = 9;

FieldDefs presencaFields() {
    return {FieldDef::text(QStringLiteral("CDFILIAL"), 4),
            FieldDef::text(QStringLiteral("CDCAIXA"), 3),
            FieldDef::text(QStringLiteral("CDIDCONSUMID"), 21),
            FieldDef::text(QStringLiteral("CDCONSUMIDOR"), 21),
            FieldDef::text(QStringLiteral("NMCONSUMIDOR"), 50),
            FieldDef::text(QStringLiteral("IDSITCONSUMI"), 1),
            FieldDef::text(QStringLiteral("DTHRREALCONCONS"), 10),
            FieldDef::text(QStringLiteral("CDCLIENTE"), 21),
            FieldDef::text(QStringLiteral("CDTIPOCONS"), 2),
            FieldDef::text(QStringLiteral("IDCHECK"), 1)};
}

DataPacket attendance() {
    static const char* const first[] = {"Ângela", "Álvaro", "Bruno",    "Carla",   "Davi",
                                        "Érica",  "Fábio",  "Gabriela", "Hélio",   "Íris",
                                        "João",   "Lúcia",  "Márcio",   "Natália", "Otávio",
                                        "Paula",  "Rafael", "Sônia",    "Tiago",   "Vitória"};
    static const char* const last[] = {"Silva",     "Souza",   "Conceição", "Araújo",
                                       "Gonçalves", "Lima",    "Pereira",   "Simões",
                                       "Magalhães", "Brandão", "Costa",     "Ribeiro"};
    std::mt19937 rng(42);
    FieldDefs defs = presencaFields();
    for (FieldDef& f : defs) f.size = 0;  // as the query delivers them
    DataPacket::Builder b(defs);
    b.reserve(kRows);
    for (int i = 0; i < kRows; ++i) {
        b.appendRow();
        b.setText(0, u"0001");
        b.setText(1, u"001");
        b.setText(2, QString::number(1000000000 + i));
        b.setText(3, QString::number(500000 + i));
        const QString name = QString::fromUtf8(first[rng() % 20]) + QLatin1Char(' ') +
                             QString::fromUtf8(last[rng() % 12]) + QLatin1Char(' ') +
                             QString::fromUtf8(last[rng() % 12]);
        b.setText(4, name);
        b.setText(5, rng() % 100 < 4 ? u"2" : u"1");
        if (rng() % 2) b.setText(6, u"05/03/2024");
        b.setText(7, QString::number(100 + int(rng() % 400)));
        b.setText(8, QString::number(1 + int(rng() % 9)).rightJustified(2, QLatin1Char('0')));
        b.setText(9, u"N");
    }
    return b.finish();
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Runs `prepare` untimed and `op` timed, kRuns times; milliseconds.
double timeIt(const std::function<void()>& prepare, const std::function<void()>& op) {
    std::vector<double> ms;
    for (int i = 0; i < kRuns; ++i) {
        prepare();
        QElapsedTimer t;
        t.start();
        op();
        ms.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    return median(ms);
}

long rssKb() {
    QFile f(QStringLiteral("/proc/self/statm"));
    if (!f.open(QIODevice::ReadOnly)) return 0;
    const QList<QByteArray> parts = f.readAll().split(' ');
    return parts.size() > 1 ? parts[1].toLong() * 4 : 0;
}

void report(const char* what, double value, const char* unit, double goal) {
    std::printf("%-58s %9.2f %s   (meta <= %g %s)%s\n", what, value, unit, goal, unit,
                value <= goal ? "" : "  ACIMA DA META");
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const long rssBefore = rssKb();
    const DataPacket packet = attendance();
    std::printf("%d linhas x 10 colunas de texto; mediana de %d execuções\n", kRows, kRuns);

    ClientDataSet ds;
    ds.setObjectName(QStringLiteral("cdsPresenca"));
    FieldDefs defs = presencaFields();
    defs[9].defaultValue = QStringLiteral("N");
    ds.setFieldDefs(defs);
    DataSetModel model(&ds);

    report("carga do pacote (setData, grade ligada)", timeIt([] {}, [&] { ds.setData(packet); }),
           "ms", 50);
    const long rssLoaded = rssKb();
    {
        // For scale, not goals: making the packet row by row (what the provider does per query)
        // and reading it back from a binary file.
        QElapsedTimer t;
        t.start();
        const DataPacket again = attendance();
        std::printf("%-58s %9.2f ms\n", "  (montagem do pacote linha a linha)",
                    double(t.nsecsElapsed()) / 1e6);
        const QByteArray file = writeBinaryPacket(again);
        std::vector<double> ms;
        for (int i = 0; i < 3; ++i) {
            t.restart();
            (void)readPacket(file, QStringLiteral("bench.cds"));
            ms.push_back(double(t.nsecsElapsed()) / 1e6);
        }
        std::printf("%-58s %9.2f ms\n", "  (leitura do arquivo binário, sem troca de página)",
                    median(ms));
    }

    int counts[4] = {};
    auto counters = [&] {
        const char* filters[] = {"DTHRREALCONCONS IS NULL AND IDSITCONSUMI = '1'",
                                 "IDSITCONSUMI = '2'", "DTHRREALCONCONS IS NOT NULL"};
        for (int i = 0; i < 3; ++i) {
            ds.setFiltered(false);
            ds.setFilter(QString::fromLatin1(filters[i]));
            ds.setFiltered(true);
            counts[i] = ds.recordCount();
        }
        ds.setFiltered(false);
        counts[3] = ds.recordCount();
    };
    report("quatro contadores (3 filtros + total)", timeIt([] {}, counters), "ms", 10);
    std::printf("    pendentes %d, inativos %d, venda gerada %d, total %d\n", counts[0], counts[1],
                counts[2], counts[3]);

    report("troca de filtro com o modelo avisado",
           timeIt([&] { ds.setFiltered(false); },
                  [&] {
                      ds.setFilter(QStringLiteral("DTHRREALCONCONS IS NULL"));
                      ds.setFiltered(true);
                      (void)model.rowCount();
                  }),
           "ms", 50);
    ds.setFiltered(false);

    report("índice por nome (acentos junto da letra base)",
           timeIt([&] { ds.setIndexFieldNames(QString()); },
                  [&] { ds.setIndexFieldNames(QStringLiteral("NMCONSUMIDOR")); }),
           "ms", 150);
    ds.first();
    std::printf("    primeiros: %s | %s | %s\n",
                qPrintable(ds.fieldByName(QStringLiteral("NMCONSUMIDOR")).asString()),
                qPrintable(ds.textAt(1, 4)), qPrintable(ds.textAt(2, 4)));
    ds.setIndexFieldNames(QString());

    int marked = 0;
    auto markAll = [&] {
        marked = 0;
        const Field sale = ds.fieldByName(QStringLiteral("DTHRREALCONCONS"));
        const Field sit = ds.fieldByName(QStringLiteral("IDSITCONSUMI"));
        const Field check = ds.fieldByName(QStringLiteral("IDCHECK"));
        const auto mark = ds.bookmark();
        for (ds.first(); !ds.eof(); ds.next()) {
            if (!sale.asString().isEmpty() || sit.asString() != QLatin1String("1")) continue;
            ds.edit();
            Field(check).setAsString(QStringLiteral("S"));
            ds.post();
            ++marked;
        }
        ds.gotoBookmark(mark);
    };
    report("'S' em cada linha marcável por Edit/Post", timeIt([&] { ds.setData(packet); }, markAll),
           "ms", 25);
    std::printf("    %d linhas marcadas\n", marked);

    ds.setData(packet);
    std::printf("%-58s %9.2f MB   (meta <= 40 MB)\n",
                "memória do conjunto carregado (colunas, visão)",
                double(ds.memoryUsage()) / (1024.0 * 1024.0));
    std::printf("%-58s %9.2f MB\n", "  crescimento do processo (pacote + carga)",
                double(rssLoaded - rssBefore) / 1024.0);
    return 0;
}
