#include "dataset/DataSetModel.h"

namespace dataset {

DataSetModel::DataSetModel(ClientDataSet* ds, QObject* parent)
    : QAbstractTableModel(parent), ds_(ds) {
    rebuildColumns();
    if (!ds) return;
    // The dataset announces changes after making them: a reset is the honest report.
    connect(ds, &ClientDataSet::layoutReset, this, [this] {
        beginResetModel();
        rebuildColumns();
        endResetModel();
    });
    connect(ds, &ClientDataSet::rowChanged, this, [this](int pos) {
        if (pos < 0 || pos >= rowCount() || columns_.isEmpty()) return;
        Q_EMIT dataChanged(index(pos, 0), index(pos, int(columns_.size()) - 1));
    });
    connect(ds, &QObject::destroyed, this, [this] {
        beginResetModel();
        columns_.clear();
        endResetModel();
    });
}

void DataSetModel::rebuildColumns() {
    columns_.clear();
    if (!ds_) return;
    for (int i = 0; i < ds_->fieldCount(); ++i)
        if (ds_->fieldDef(i).visible) columns_.append(i);
}

int DataSetModel::fieldOfColumn(int column) const {
    return column >= 0 && column < columns_.size() ? columns_[column] : -1;
}

int DataSetModel::columnOfField(const QString& name) const {
    if (!ds_) return -1;
    return int(columns_.indexOf(ds_->fieldIndex(name)));
}

int DataSetModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid() || !ds_ || !ds_->active()) return 0;
    return ds_->recordCount();
}

int DataSetModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(columns_.size());
}

QVariant DataSetModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || !ds_ || index.row() >= rowCount()) return QVariant();
    const int f = fieldOfColumn(index.column());
    if (f < 0) return QVariant();
    switch (role) {
        case Qt::DisplayRole:
            return ds_->displayTextAt(index.row(), f);
        case Qt::EditRole:
            return ds_->valueAt(index.row(), f);
        default:
            return QVariant();
    }
}

QVariant DataSetModel::headerData(int section, Qt::Orientation o, int role) const {
    if (o != Qt::Horizontal || !ds_) return QAbstractTableModel::headerData(section, o, role);
    const int f = fieldOfColumn(section);
    if (f < 0) return QVariant();
    if (role == Qt::DisplayRole) return ds_->fieldDef(f).label();
    return QVariant();
}

Qt::ItemFlags DataSetModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

}  // namespace dataset
