#pragma once

#include <QAbstractTableModel>
#include <QPointer>

#include <functional>

#include "dataset/ClientDataSet.h"

namespace dataset {

// A read-only table model over a client dataset for grids: the visible fields as columns,
// the rows in the dataset's current order and filter, display text through the field handlers.
class DATASET_EXPORT DataSetModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit DataSetModel(ClientDataSet* ds, QObject* parent = nullptr);
    ClientDataSet* dataSet() const { return ds_; }
    // Field index of the dataset behind a model column.
    int fieldOfColumn(int column) const;
    int columnOfField(const QString& name) const;  // -1 when not shown

    // A text that describes a whole row (its state), shown as every cell's tooltip and given to
    // accessibility; row is the position among the visible rows.
    using RowDescription = std::function<QString(int row)>;
    void setRowDescription(RowDescription f) { rowDescription_ = std::move(f); }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation o, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    QList<int> visibleFields() const;
    void rebuildColumns();
    void followLayout();
    QPointer<ClientDataSet> ds_;
    QList<int> columns_;
    // Rows the views know of: the dataset reports after the fact, so the difference is told
    // as removed or inserted rows and the columns (with the widths an operator set) survive.
    int rows_ = 0;
    RowDescription rowDescription_;
};

}  // namespace dataset
