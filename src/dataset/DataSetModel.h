#pragma once

#include <QAbstractTableModel>
#include <QPointer>

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

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation o, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    void rebuildColumns();
    QPointer<ClientDataSet> ds_;
    QList<int> columns_;
};

}  // namespace dataset
