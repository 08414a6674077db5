// gerademo --out FILE [--consumers N] [--sales N] [--days N] [--seed S] [--today dd/mm/yyyy]
//          [--big-centre N] [--big] [--conexao CONNECTION]
// gerademo --conexao CONNECTION [options]
// gerademo --upgrade FILE
// Makes the demo database of the canteen till. --big-centre: one more cost centre, GRADUAÇÃO,
// of N consumers, with a till of its own (003). --big: the benchmark database, cost centres of
// 100,000 (GRADUAÇÃO), 20,000 (ENS. MÉDIO) and 1,000 (PRÉ-ESCOLA) consumers among 200,000,
// 5,000,000 sales over two years and a busy day today: half of the big centres already had
// lunch (GRADUAÇÃO at till 003, the others at 001). The cost centres are printed. --conexao
// fills an empty PostgreSQL database with the same data (and keeps the SQLite file only when
// --out names one). --upgrade brings a demo database made by an earlier version up to date,
// keeping its data.
#include <QCoreApplication>
#include <QStringList>
#include <QTemporaryDir>

#include <cstdio>
#include <exception>

#include "CopiaServidor.h"
#include "GeradorDemo.h"

namespace {

int uso(const char* erro) {
    if (erro) std::fprintf(stderr, "gerademo: %s\n", erro);
    std::fprintf(stderr,
                 "uso: gerademo --out ARQUIVO [--consumers N] [--sales N] [--days N] [--seed S]"
                 " [--today dd/mm/aaaa] [--big-centre N] [--big]\n"
                 "       gerademo --conexao CADEIA [opções de --out]   (um PostgreSQL vazio)\n"
                 "       gerademo --upgrade ARQUIVO\n"
                 "       gerademo --version\n"
                 "Saída: 0 banco criado; 1 falha ao gravar; 2 uso incorreto.\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    OpcoesDemo op;
    op.hoje = QDate::currentDate();
    QString conexao;
    for (int i = 1; i < args.size(); ++i) {
        const QString a = args.at(i);
        if (a == QLatin1String("--big")) {
            op.consumidores = 100000;
            op.centroGrande = 100000;
            op.vendas = 5000000;
            op.dias = 730;
            op.textoDosCupons = false;
            continue;
        }
        if (a == QLatin1String("--help") || a == QLatin1String("-h")) return uso(nullptr) - 2;
        if (a == QLatin1String("--version")) {
            std::printf("gerademo %s\n", LISTAPRESENCA_VERSAO);
            return 0;
        }
        if (i + 1 >= args.size()) return uso("falta o valor de uma opção");
        const QString v = args.at(++i);
        bool ok = true;
        if (a == QLatin1String("--upgrade")) {
            try {
                const int versao = atualizaDemo(v);
                std::printf("%s: tabelas de venda na versão %d\n", qPrintable(v), versao);
                return 0;
            } catch (const std::exception& e) {
                std::fprintf(stderr, "gerademo: %s\n", e.what());
                return 1;
            }
        } else if (a == QLatin1String("--out")) {
            op.arquivo = v;
        } else if (a == QLatin1String("--conexao")) {
            conexao = v;
        } else if (a == QLatin1String("--consumers")) {
            op.consumidores = v.toInt(&ok);
            ok = ok && op.consumidores > 0;
        } else if (a == QLatin1String("--big-centre")) {
            op.centroGrande = v.toInt(&ok);
            ok = ok && op.centroGrande >= 0;
        } else if (a == QLatin1String("--sales")) {
            op.vendas = v.toLongLong(&ok);
            ok = ok && op.vendas >= 0;
        } else if (a == QLatin1String("--days")) {
            op.dias = v.toInt(&ok);
            ok = ok && op.dias > 0;
        } else if (a == QLatin1String("--seed")) {
            op.semente = v.toULongLong(&ok);
        } else if (a == QLatin1String("--today")) {
            op.hoje = QDate::fromString(v, QStringLiteral("dd/MM/yyyy"));
            ok = op.hoje.isValid();
        } else {
            return uso("opção desconhecida");
        }
        if (!ok) return uso("valor inválido");
    }
    if (op.arquivo.isEmpty() && conexao.isEmpty())
        return uso("informe --out ARQUIVO ou --conexao CADEIA");
    // A server gets the very rows of the SQLite demo, made first in a file of their own.
    QTemporaryDir temporaria;
    if (op.arquivo.isEmpty()) op.arquivo = temporaria.filePath(QStringLiteral("demo.db"));
    try {
        const ResumoDemo r = geraDemo(op);
        std::printf("%s: %d consumidores, %lld vendas (%lld hoje, %s) em %.1f s\n",
                    qPrintable(op.arquivo), r.consumidores, static_cast<long long>(r.vendas),
                    static_cast<long long>(r.vendasHoje),
                    qPrintable(op.hoje.toString(QStringLiteral("dd/MM/yyyy"))), r.segundos);
        // The codes others time their screens with: the big centres first.
        std::printf("centro        consumidores  caixa  almoços hoje (serviço 00002)\n");
        for (const CentroDemo& c : r.centros)
            std::printf("%s %12d  %5s %14d\n",
                        QString::fromStdString(c.codigo).leftJustified(12).toUtf8().constData(),
                        c.consumidores, c.caixa.c_str(), c.almocosHoje);
        if (!conexao.isEmpty()) {
            const std::int64_t linhas = copiaParaServidor(op.arquivo, conexao);
            std::printf("banco da --conexao: %lld linhas copiadas\n",
                        static_cast<long long>(linhas));
        }
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "gerademo: %s\n", e.what());
        return 1;
    }
}
