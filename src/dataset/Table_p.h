#pragma once

// The row store shared by packets and datasets: one column per field, each a compact
// buffer, so a 100,000-row list costs a few megabytes and loading it copies nothing.

#include <QDateTime>
#include <QString>
#include <QVariant>

#include <cstdint>
#include <memory>
#include <vector>

#include "dataset/FieldDef.h"

namespace dataset::detail {

enum class Storage : std::uint8_t { Text, Int, Real, Bytes };

// What a value means, beyond how it is stored: decides when a column can be shared as is.
enum class Kind : std::uint8_t { Text, Integer, Boolean, Date, Time, DateTime, Real, Bytes };

Storage storageOf(FieldType t);
Kind kindOf(FieldType t);

constexpr qint64 kMsPerDay = 86400000;

// Dates and times are kept as naive milliseconds: Julian day * ms per day + ms of the day.
qint64 dateTimeToMs(const QDateTime& dt);
QDateTime msToDateTime(qint64 ms);

struct Column {
    explicit Column(Storage s) : storage(s) {}

    Storage storage;
    std::vector<std::uint8_t> null;  // 1 = NULL
    std::vector<qint64> ints;
    std::vector<double> reals;
    // Text: Latin-1 in `narrow` until a character beyond it arrives, then UTF-16 in `wide`.
    // Bytes: always in `narrow`.
    bool isWide = false;
    std::vector<char> narrow;
    std::vector<char16_t> wide;
    std::vector<std::uint32_t> off;
    std::vector<std::uint32_t> len;
    int maxLen = 0;  // longest text, in characters

    std::size_t size() const { return null.size(); }
    void reserve(std::size_t n);
    void appendNull();
    bool isNull(std::size_t r) const { return null[r] != 0; }
    void setNull(std::size_t r);
    void setText(std::size_t r, QStringView s);
    void setLatin1(std::size_t r, const char* s, std::size_t n);
    // UTF-8 straight into the column; false, storing nothing, on a malformed sequence.
    bool setUtf8(std::size_t r, const char* s, std::size_t n);
    // A new row holding UTF-8 text; false, adding no row, on a malformed sequence.
    bool appendUtf8(const char* s, std::size_t n);
    void setBytes(std::size_t r, const char* s, std::size_t n);
    void setInt(std::size_t r, qint64 v);
    void setReal(std::size_t r, double v);

    QString text(std::size_t r) const;  // Text storage only; NULL reads empty
    QByteArray bytes(std::size_t r) const;
    int textLength(std::size_t r) const { return null[r] ? 0 : int(len[r]); }
    bool textEquals(std::size_t r, QStringView s) const;
    char16_t charAt(std::size_t r, std::size_t i) const {
        return isWide ? wide[off[r] + i] : char16_t(static_cast<unsigned char>(narrow[off[r] + i]));
    }
    // A copy holding rows `ids` in that order (drops garbage left by rewrites).
    std::shared_ptr<Column> gather(const std::vector<std::int32_t>& ids) const;
    std::size_t memoryBytes() const;

private:
    void widen();
    std::uint32_t reserveChars(std::size_t n);
};

struct Table {
    FieldDefs fields;
    std::vector<std::shared_ptr<Column>> cols;
    int rows = 0;

    void appendRow();
    // The value as a QVariant of the field's type; null QVariant for NULL.
    QVariant value(int row, int col) const;
    QDate day(int row, int col) const;
    // Plain text of a value (dates as dd/MM/yyyy); NULL reads empty.
    QString text(int row, int col) const;
    // Stores a value converted to the field's type; throws DataSetError when it cannot.
    void set(int row, int col, const QVariant& v);
    // Stores a value already converted to the field's type (see convertValue).
    void setConverted(int row, int col, const QVariant& v);
};

// Conversions shared by packets and fields.
QString textOfValue(const QVariant& v, FieldType t);
QVariant convertValue(const QVariant& v, const FieldDef& def);  // throws DataSetError
QString cutToSize(const QString& s, int size);

}  // namespace dataset::detail
