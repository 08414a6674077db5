#pragma once

#include <QDateTime>
#include <QMetaType>
#include <QVariant>

#include <memory>

#include "dataset/FieldDef.h"

namespace dataset {

namespace detail {
struct Table;
}

// One query result, whole: field definitions and every row. Immutable and implicitly shared,
// so handing it around (in a QVariant, into a dataset) copies nothing.
class DATASET_EXPORT DataPacket {
public:
    DataPacket();
    ~DataPacket();
    DataPacket(const DataPacket&);
    DataPacket& operator=(const DataPacket&);
    DataPacket(DataPacket&&) noexcept;
    DataPacket& operator=(DataPacket&&) noexcept;

    const FieldDefs& fields() const;
    int fieldIndex(const QString& name) const;  // case-insensitive; -1 when absent
    int rowCount() const;
    bool isNull(int row, int col) const;
    QVariant value(int row, int col) const;  // null QVariant for NULL
    QString text(int row, int col) const;    // NULL reads as empty
    // The day of a Date or DateTime value, without a local date-time made for it (each asks
    // the system's time zone); invalid for NULL or another kind of field.
    QDate day(int row, int col) const;

    // Builds a packet row by row; the fast path for providers and file readers.
    class DATASET_EXPORT Builder {
    public:
        explicit Builder(FieldDefs fields);
        ~Builder();
        Builder(const Builder&) = delete;
        Builder& operator=(const Builder&) = delete;
        void reserve(int rows);
        // Starts a new row, every column NULL until set.
        void appendRow();
        void setNull(int col);
        void setText(int col, QStringView text);
        void setTextUtf8(int col, const char* data, qsizetype len);
        void setInteger(int col, qint64 v);
        void setFloat(int col, double v);
        void setBoolean(int col, bool v);
        void setDateTime(int col, const QDateTime& v);  // Date/Time/DateTime columns
        void setBytes(int col, const QByteArray& v);
        void setValue(int col, const QVariant& v);  // converted to the column's type
        DataPacket finish();

    private:
        std::unique_ptr<detail::Table> table_;
    };

    // Internal: the shared row store, for ClientDataSet.
    std::shared_ptr<const detail::Table> table() const { return table_; }
    explicit DataPacket(std::shared_ptr<const detail::Table> t);

private:
    std::shared_ptr<const detail::Table> table_;
};

// A data-service result is either a packet or, in its place, an error text.
DATASET_EXPORT bool isDataPacket(const QVariant& v);
DATASET_EXPORT QVariant toVariant(const DataPacket& p);
// Throws DataSetError when the variant holds no packet.
DATASET_EXPORT DataPacket packetFromVariant(const QVariant& v);

}  // namespace dataset

Q_DECLARE_METATYPE(dataset::DataPacket)
