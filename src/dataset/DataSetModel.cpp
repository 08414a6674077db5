#include "dataset/DataSetModel.h"

namespace dataset {

DataSetModel::DataSetModel(ClientDataSet* ds, QObject* parent)
    : QAbstractTableModel(parent), ds_(ds) {
    rebuildColumns();
    if (!ds) return;
    rows_ = ds->active() ? ds->recordCount() : 0;
    connect(ds, &ClientDataSet::layoutReset, this, &DataSetModel::followLayout);
    connect(ds, &ClientDataSet::rowChanged, this, [this](int pos) {
        if (pos < 0 || pos >= rows_ || columns_.isEmpty()) return;
        Q_EMIT dataChanged(index(pos, 0), index(pos, int(columns_.size()) - 1));
    });
    connect(ds, &ClientDataSet::valuesChanged, this, [this] {
        if (rows_ > 0 && !columns_.isEmpty())
            Q_EMIT dataChanged(index(0, 0), index(rows_ - 1, int(columns_.size()) - 1));
    });
    connect(ds, &QObject::destroyed, this, [this] {
        beginResetModel();
        columns_.clear();
        rows_ = 0;
        endResetModel();
    });
}

QList<int> DataSetModel::visibleFields() const {
    QList<int> out;
    if (!ds_) return out;
    for (int i = 0; i < ds_->fieldCount(); ++i)
        if (ds_->fieldDef(i).visible) out.append(i);
    return out;
}

void DataSetModel::rebuildColumns() {
    columns_ = visibleFields();
}

// Rows, order or filter changed. The same columns: only the row count is told, then every
// value; other columns: a reset.
void DataSetModel::followLayout() {
    const int rows = ds_ && ds_->active() ? ds_->recordCount() : 0;
    if (visibleFields() != columns_) {
        beginResetModel();
        rebuildColumns();
        rows_ = rows;
        endResetModel();
        return;
    }
    if (rows < rows_) {
        beginRemoveRows({}, rows, rows_ - 1);
        rows_ = rows;
        endRemoveRows();
    } else if (rows > rows_) {
        beginInsertRows({}, rows_, rows - 1);
        rows_ = rows;
        endInsertRows();
    }
    if (rows_ > 0 && !columns_.isEmpty())
        Q_EMIT dataChanged(index(0, 0), index(rows_ - 1, int(columns_.size()) - 1));
}

int DataSetModel::fieldOfColumn(int column) const {
    return column >= 0 && column < columns_.size() ? columns_[column] : -1;
}

int DataSetModel::columnOfField(const QString& name) const {
    if (!ds_) return -1;
    return int(columns_.indexOf(ds_->fieldIndex(name)));
}

int DataSetModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : rows_;
}

int DataSetModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(columns_.size());
}

QVariant DataSetModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || !ds_ || !ds_->active() || index.row() >= ds_->recordCount())
        return QVariant();
    const int f = fieldOfColumn(index.column());
    if (f < 0) return QVariant();
    switch (role) {
        case Qt::DisplayRole:
            return ds_->displayTextAt(index.row(), f);
        case Qt::EditRole:
            return ds_->valueAt(index.row(), f);
        case Qt::ToolTipRole:
        case Qt::AccessibleDescriptionRole:
            return rowDescription_ ? QVariant(rowDescription_(index.row())) : QVariant();
        case Qt::AccessibleTextRole: {
            const QString text = ds_->displayTextAt(index.row(), f);
            if (!rowDescription_) return text;
            return QString(text + QStringLiteral(" (") + rowDescription_(index.row()) +
                           QLatin1Char(')'));
        }
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
