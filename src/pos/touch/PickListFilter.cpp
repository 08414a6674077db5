#include "pos/touch/PickListFilter.h"

#include "textorder/OrdemPtBr.h"

namespace Hul00002::detail {

namespace {
std::u16string_view vista(const QString& s) {
    return {reinterpret_cast<const char16_t*>(s.utf16()), std::size_t(s.size())};
}
}  // namespace

QString dobraTexto(const QString& texto) {
    std::u16string out;
    textorder::dobra(vista(texto), out);
    return QString::fromUtf16(out.data(), qsizetype(out.size()));
}

QString quebraTitulo(const QString& titulo) {
    const int meio = titulo.size() / 2;
    int melhor = -1;
    for (int i = 0; i < titulo.size(); ++i)
        if (titulo.at(i) == QLatin1Char(' ') &&
            (melhor < 0 || qAbs(i - meio) < qAbs(melhor - meio)))
            melhor = i;
    if (melhor < 0) return titulo;
    QString t = titulo;
    t[melhor] = QLatin1Char('\n');
    return t;
}

PickListFilter::PickListFilter(QObject* parent) : QSortFilterProxyModel(parent) {}

void PickListFilter::setSourceModel(QAbstractItemModel* model) {
    if (sourceModel()) sourceModel()->disconnect(this);
    descartaCache();
    QSortFilterProxyModel::setSourceModel(model);
    if (!model) return;
    // The source is read-only while the list is open, but a reset must not leave stale texts.
    connect(model, &QAbstractItemModel::modelAboutToBeReset, this, [this] { descartaCache(); });
    connect(model, &QAbstractItemModel::rowsInserted, this, [this] { descartaCache(); });
    connect(model, &QAbstractItemModel::rowsRemoved, this, [this] { descartaCache(); });
    connect(model, &QAbstractItemModel::dataChanged, this, [this] { descartaCache(); });
    connect(model, &QAbstractItemModel::layoutChanged, this, [this] { descartaCache(); });
}

void PickListFilter::setTextoPesquisa(const QString& texto) {
    if (texto == texto_) return;
    texto_ = texto;
    palavras_ = dobraTexto(texto).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    invalidateFilter();
}

void PickListFilter::setTitulosEmDuasLinhas(const QSet<int>& colunas) {
    if (colunas == duasLinhas_) return;
    duasLinhas_ = colunas;
    headerDataChanged(Qt::Horizontal, 0, std::max(0, columnCount() - 1));
}

QVariant PickListFilter::headerData(int section, Qt::Orientation o, int role) const {
    QVariant v = QSortFilterProxyModel::headerData(section, o, role);
    if (o == Qt::Horizontal && role == Qt::DisplayRole && duasLinhas_.contains(section))
        return quebraTitulo(v.toString());
    return v;
}

void PickListFilter::descartaCache() {
    cache_.clear();
}

const QString& PickListFilter::textoDaLinha(int sourceRow) const {
    const QAbstractItemModel* m = sourceModel();
    if (cache_.size() != m->rowCount()) {
        cache_.clear();
        const int linhas = m->rowCount();
        const int colunas = m->columnCount();
        cache_.reserve(linhas);
        for (int r = 0; r < linhas; ++r) {
            QStringList partes;
            for (int c = 0; c < colunas; ++c)
                partes << m->data(m->index(r, c), Qt::DisplayRole).toString();
            // A tab never occurs in a typed word, so words cannot match across two columns.
            cache_ << dobraTexto(partes.join(QLatin1Char('\t')));
        }
    }
    return cache_.at(sourceRow);
}

bool PickListFilter::lessThan(const QModelIndex& esquerda, const QModelIndex& direita) const {
    const QString a = sourceModel()->data(esquerda, sortRole()).toString();
    const QString b = sourceModel()->data(direita, sortRole()).toString();
    return textorder::comparaUtf16(vista(a), vista(b)) < 0;
}

bool PickListFilter::filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const {
    if (palavras_.isEmpty() || sourceParent.isValid()) return true;
    const QString& linha = textoDaLinha(sourceRow);
    for (const QString& p : palavras_)
        if (!linha.contains(p)) return false;
    return true;
}

}  // namespace Hul00002::detail
