// libFuzzer target: the filter text of the touch pick list. Whatever the operator types, every
// row the list keeps holds every typed word, folded as the list folds it.
#include <QCoreApplication>
#include <QStandardItemModel>

#include <cstdint>
#include <cstdlib>

#include "pos/touch/PickListFilter.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static QStandardItemModel* modelo = [] {
        auto* m = new QStandardItemModel(0, 2);
        const char* const nomes[] = {
            "JOSÉ DA SILVA", "São João", "ÁGUA-MARINHA", "Ana\tMaria", "MÜLLER ß", "ﬁm", "", "Ω ω"};
        int codigo = 0;
        for (const char* n : nomes)
            m->appendRow({new QStandardItem(QString::number(++codigo)),
                          new QStandardItem(QString::fromUtf8(n))});
        return m;
    }();
    static Hul00002::detail::PickListFilter* filtro = [] {
        auto* f = new Hul00002::detail::PickListFilter;
        f->setSourceModel(modelo);
        return f;
    }();
    const QString texto = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    filtro->setTextoPesquisa(texto);
    const QStringList palavras =
        Hul00002::detail::dobraTexto(texto).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (int r = 0; r < filtro->rowCount(); ++r) {
        const QString linha =
            Hul00002::detail::dobraTexto(filtro->index(r, 0).data().toString() + QLatin1Char('\t') +
                                         filtro->index(r, 1).data().toString());
        for (const QString& p : palavras)
            if (!linha.contains(p)) std::abort();
    }
    return 0;
}
