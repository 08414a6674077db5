#include "dataset/DataPacket.h"

#include "dataset/Table_p.h"

namespace dataset {

using detail::Column;
using detail::Table;

namespace {

std::shared_ptr<const Table> emptyTable() {
    static const auto t = std::make_shared<const Table>();
    return t;
}

std::unique_ptr<Table> newTable(FieldDefs fields) {
    auto t = std::make_unique<Table>();
    t->cols.reserve(std::size_t(fields.size()));
    for (const FieldDef& f : fields)
        t->cols.push_back(std::make_shared<Column>(detail::storageOf(f.type)));
    t->fields = std::move(fields);
    return t;
}

}  // namespace

DataPacket::DataPacket() : table_(emptyTable()) {}
DataPacket::~DataPacket() = default;
DataPacket::DataPacket(const DataPacket&) = default;
DataPacket& DataPacket::operator=(const DataPacket&) = default;
DataPacket::DataPacket(DataPacket&& o) noexcept : table_(std::move(o.table_)) {
    o.table_ = emptyTable();
}
DataPacket& DataPacket::operator=(DataPacket&& o) noexcept {
    std::swap(table_, o.table_);
    return *this;
}
DataPacket::DataPacket(std::shared_ptr<const Table> t) : table_(t ? std::move(t) : emptyTable()) {}

const FieldDefs& DataPacket::fields() const {
    return table_->fields;
}

int DataPacket::fieldIndex(const QString& name) const {
    const FieldDefs& f = table_->fields;
    for (int i = 0; i < f.size(); ++i)
        if (f[i].name.compare(name, Qt::CaseInsensitive) == 0) return i;
    return -1;
}

int DataPacket::rowCount() const {
    return table_->rows;
}

bool DataPacket::isNull(int row, int col) const {
    return table_->cols[std::size_t(col)]->isNull(std::size_t(row));
}

QVariant DataPacket::value(int row, int col) const {
    return table_->value(row, col);
}

QDate DataPacket::day(int row, int col) const {
    return table_->day(row, col);
}

QString DataPacket::text(int row, int col) const {
    return table_->text(row, col);
}

// ---- Builder

DataPacket::Builder::Builder(FieldDefs fields) : table_(newTable(std::move(fields))) {}
DataPacket::Builder::~Builder() = default;

void DataPacket::Builder::reserve(int rows) {
    if (rows <= 0) return;
    for (auto& c : table_->cols) c->reserve(std::size_t(rows));
}

void DataPacket::Builder::appendRow() {
    table_->appendRow();
}

void DataPacket::Builder::setNull(int col) {
    table_->cols[std::size_t(col)]->setNull(std::size_t(table_->rows - 1));
}

void DataPacket::Builder::setText(int col, QStringView text) {
    Column& c = *table_->cols[std::size_t(col)];
    if (c.storage == detail::Storage::Text) {
        c.setText(std::size_t(table_->rows - 1), text);
    } else {
        table_->set(table_->rows - 1, col, text.toString());
    }
}

void DataPacket::Builder::setTextUtf8(int col, const char* data, qsizetype len) {
    Column& c = *table_->cols[std::size_t(col)];
    const std::size_t row = std::size_t(table_->rows - 1);
    if (c.storage != detail::Storage::Text || !c.setUtf8(row, data, std::size_t(len)))
        setText(col, QString::fromUtf8(data, len));  // Qt marks what is malformed
}

void DataPacket::Builder::setInteger(int col, qint64 v) {
    Column& c = *table_->cols[std::size_t(col)];
    if (c.storage == detail::Storage::Int &&
        detail::kindOf(table_->fields[col].type) == detail::Kind::Integer) {
        c.setInt(std::size_t(table_->rows - 1), v);
    } else {
        table_->set(table_->rows - 1, col, QVariant(v));
    }
}

void DataPacket::Builder::setFloat(int col, double v) {
    Column& c = *table_->cols[std::size_t(col)];
    if (c.storage == detail::Storage::Real) {
        c.setReal(std::size_t(table_->rows - 1), v);
    } else {
        table_->set(table_->rows - 1, col, QVariant(v));
    }
}

void DataPacket::Builder::setBoolean(int col, bool v) {
    table_->set(table_->rows - 1, col, QVariant(v));
}

void DataPacket::Builder::setDateTime(int col, const QDateTime& v) {
    table_->set(table_->rows - 1, col, v.isValid() ? QVariant(v) : QVariant());
}

void DataPacket::Builder::setBytes(int col, const QByteArray& v) {
    Column& c = *table_->cols[std::size_t(col)];
    if (c.storage == detail::Storage::Bytes) {
        c.setBytes(std::size_t(table_->rows - 1), v.constData(), std::size_t(v.size()));
    } else {
        table_->set(table_->rows - 1, col, QVariant(v));
    }
}

void DataPacket::Builder::setValue(int col, const QVariant& v) {
    table_->set(table_->rows - 1, col, v);
}

DataPacket DataPacket::Builder::finish() {
    std::shared_ptr<const Table> t(std::move(table_));
    table_ = newTable(t->fields);
    return DataPacket(std::move(t));
}

// ---- variants

bool isDataPacket(const QVariant& v) {
    return v.metaType() == QMetaType::fromType<DataPacket>();
}

QVariant toVariant(const DataPacket& p) {
    return QVariant::fromValue(p);
}

DataPacket packetFromVariant(const QVariant& v) {
    if (isDataPacket(v)) return v.value<DataPacket>();
    if (v.metaType().id() == QMetaType::QString && !v.toString().isEmpty())
        throw DataSetError(v.toString());
    throw DataSetError(QStringLiteral("O valor recebido não é um pacote de dados."));
}

}  // namespace dataset
