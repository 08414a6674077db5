#pragma once

// Narrows a pick list as the operator types: every word typed must appear in the row's
// displayed texts, ignoring accents and case ("sao" finds "São", "JOSE" finds "José"). Matching
// and sorting follow the Brazilian text order, the grid's and the database's.

#include <QSet>
#include <QSortFilterProxyModel>
#include <QStringList>

#include <hul00002/Hul00002.h>

namespace Hul00002::detail {

// "São João" -> "SAO JOAO": the text order's fold, as typed words and rows are compared.
HUL00002_TEST_EXPORT QString dobraTexto(const QString& texto);

// "Imprime Automático" -> "Imprime\nAutomático": broken at the blank nearest the middle.
QString quebraTitulo(const QString& titulo);

class HUL00002_EXPORT PickListFilter : public QSortFilterProxyModel {
    Q_OBJECT
public:
    explicit PickListFilter(QObject* parent = nullptr);
    void setTextoPesquisa(const QString& texto);
    QString textoPesquisa() const { return texto_; }
    void setSourceModel(QAbstractItemModel* model) override;
    // Titles of these columns are shown on two lines, so a long label need not widen them.
    void setTitulosEmDuasLinhas(const QSet<int>& colunas);
    QVariant headerData(int section, Qt::Orientation o, int role = Qt::DisplayRole) const override;

protected:
    bool lessThan(const QModelIndex& esquerda, const QModelIndex& direita) const override;
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

private:
    const QString& textoDaLinha(int sourceRow) const;
    void descartaCache();

    QString texto_;
    QStringList palavras_;
    QSet<int> duasLinhas_;
    // Folded text of each source row, built on first use: typing re-filters every row.
    mutable QStringList cache_;
};

}  // namespace Hul00002::detail
