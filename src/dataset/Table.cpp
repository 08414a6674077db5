#include "dataset/Table_p.h"

#include <QLocale>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <type_traits>

namespace dataset {

DataSetError::DataSetError(const QString& message) : std::runtime_error(message.toStdString()) {}

FieldDef FieldDef::text(const QString& name, int size) {
    FieldDef d;
    d.name = name;
    d.type = FieldType::String;
    d.size = size;
    return d;
}

namespace detail {

Storage storageOf(FieldType t) {
    switch (t) {
        case FieldType::String:
        case FieldType::WideString:
        case FieldType::Memo:
            return Storage::Text;
        case FieldType::Float:
        case FieldType::Bcd:
            return Storage::Real;
        case FieldType::Blob:
            return Storage::Bytes;
        default:
            return Storage::Int;
    }
}

Kind kindOf(FieldType t) {
    switch (t) {
        case FieldType::String:
        case FieldType::WideString:
        case FieldType::Memo:
            return Kind::Text;
        case FieldType::Float:
        case FieldType::Bcd:
            return Kind::Real;
        case FieldType::Blob:
            return Kind::Bytes;
        case FieldType::Boolean:
            return Kind::Boolean;
        case FieldType::Date:
            return Kind::Date;
        case FieldType::Time:
            return Kind::Time;
        case FieldType::DateTime:
            return Kind::DateTime;
        default:
            return Kind::Integer;
    }
}

qint64 dateTimeToMs(const QDateTime& dt) {
    return dt.date().toJulianDay() * kMsPerDay + dt.time().msecsSinceStartOfDay();
}

QDateTime msToDateTime(qint64 ms) {
    qint64 day = ms / kMsPerDay;
    qint64 rest = ms % kMsPerDay;
    if (rest < 0) {
        rest += kMsPerDay;
        --day;
    }
    return QDateTime(QDate::fromJulianDay(day), QTime::fromMSecsSinceStartOfDay(int(rest)));
}

// ---- Column

void Column::reserve(std::size_t n) {
    null.reserve(n);
    switch (storage) {
        case Storage::Int:
            ints.reserve(n);
            break;
        case Storage::Real:
            reals.reserve(n);
            break;
        default:
            off.reserve(n);
            len.reserve(n);
    }
}

void Column::appendNull() {
    null.push_back(1);
    switch (storage) {
        case Storage::Int:
            ints.push_back(0);
            break;
        case Storage::Real:
            reals.push_back(0);
            break;
        default:
            off.push_back(0);
            len.push_back(0);
    }
}

void Column::setNull(std::size_t r) {
    null[r] = 1;
    if (storage == Storage::Text || storage == Storage::Bytes) len[r] = 0;
}

std::uint32_t Column::reserveChars(std::size_t n) {
    std::size_t used = isWide ? wide.size() : narrow.size();
    if (used + n > std::numeric_limits<std::uint32_t>::max())
        throw DataSetError(QStringLiteral("Os dados excedem o tamanho suportado por uma coluna."));
    return std::uint32_t(used);
}

void Column::widen() {
    std::vector<char16_t> w(narrow.size());
    for (std::size_t i = 0; i < narrow.size(); ++i)
        w[i] = char16_t(static_cast<unsigned char>(narrow[i]));
    wide = std::move(w);
    std::vector<char>().swap(narrow);
    isWide = true;
}

void Column::setText(std::size_t r, QStringView s) {
    const std::size_t n = std::size_t(s.size());
    if (!isWide) {
        for (QChar c : s) {
            if (c.unicode() > 0xFF) {
                widen();
                break;
            }
        }
    }
    const std::uint32_t at = reserveChars(n);
    if (isWide) {
        const char16_t* p = reinterpret_cast<const char16_t*>(s.utf16());
        wide.insert(wide.end(), p, p + n);
    } else {
        narrow.resize(at + n);
        char* out = narrow.data() + at;
        for (std::size_t i = 0; i < n; ++i) out[i] = char(s[qsizetype(i)].unicode());
    }
    off[r] = at;
    len[r] = std::uint32_t(n);
    null[r] = 0;
    maxLen = std::max(maxLen, int(n));
}

void Column::setLatin1(std::size_t r, const char* s, std::size_t n) {
    const std::uint32_t at = reserveChars(n);
    if (isWide) {
        for (std::size_t i = 0; i < n; ++i)
            wide.push_back(char16_t(static_cast<unsigned char>(s[i])));
    } else {
        narrow.insert(narrow.end(), s, s + n);
    }
    off[r] = at;
    len[r] = std::uint32_t(n);
    null[r] = 0;
    maxLen = std::max(maxLen, int(n));
}

namespace {

// Code point of the well-formed UTF-8 sequence at u[i] (ASCII excluded) and its length;
// length 0 when malformed or cut short.
char32_t decodeUtf8(const unsigned char* u, std::size_t i, std::size_t n, std::size_t& length) {
    length = 0;
    const unsigned c = u[i];
    const std::size_t rest = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC2 ? 1 : 0;
    if (rest == 0 || c > 0xF4 || i + rest >= n) return 0;
    char32_t cp = c & (0x3Fu >> rest);
    for (std::size_t j = 1; j <= rest; ++j) {
        if ((u[i + j] & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (u[i + j] & 0x3Fu);
    }
    if ((rest == 2 && cp < 0x800) || (rest == 3 && (cp < 0x10000 || cp > 0x10FFFF)) ||
        (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    length = rest + 1;
    return cp;
}

}  // namespace

bool Column::setUtf8(std::size_t r, const char* s, std::size_t n) {
    const auto* u = reinterpret_cast<const unsigned char*>(s);
    std::size_t ascii = 0;
    while (ascii < n && u[ascii] < 0x80) ++ascii;
    if (ascii == n) {  // codes, flags, most names: stored as they come
        setLatin1(r, s, n);
        return true;
    }
    // Checked and measured first, then decoded straight into the column.
    std::size_t units = ascii;
    char32_t widest = 0;
    for (std::size_t i = ascii; i < n;) {
        if (u[i] < 0x80) {
            ++units;
            ++i;
            continue;
        }
        std::size_t length;
        const char32_t cp = decodeUtf8(u, i, n, length);
        if (length == 0) return false;
        widest = std::max(widest, cp);
        units += cp >= 0x10000 ? 2 : 1;
        i += length;
    }
    if (widest > 0xFF && !isWide) widen();
    const std::uint32_t at = reserveChars(units);
    const auto decodeInto = [&](auto* out) {
        std::size_t k = 0;
        for (std::size_t i = 0; i < n;) {
            if (u[i] < 0x80) {
                out[k++] = u[i++];
                continue;
            }
            std::size_t length;
            const char32_t cp = decodeUtf8(u, i, n, length);
            i += length;
            if (cp >= 0x10000) {
                out[k++] = char16_t(0xD800 + ((cp - 0x10000) >> 10));
                out[k++] = char16_t(0xDC00 + ((cp - 0x10000) & 0x3FF));
            } else {
                out[k++] = static_cast<std::remove_pointer_t<decltype(out)>>(cp);
            }
        }
    };
    if (isWide) {
        wide.resize(at + units);
        decodeInto(wide.data() + at);
    } else {
        narrow.resize(at + units);
        decodeInto(narrow.data() + at);
    }
    off[r] = at;
    len[r] = std::uint32_t(units);
    null[r] = 0;
    maxLen = std::max(maxLen, int(units));
    return true;
}

bool Column::appendUtf8(const char* s, std::size_t n) {
    std::size_t ascii = 0;
    while (ascii < n && static_cast<unsigned char>(s[ascii]) < 0x80) ++ascii;
    if (ascii == n && !isWide) {  // the common case in one pass
        const std::uint32_t at = reserveChars(n);
        narrow.insert(narrow.end(), s, s + n);
        null.push_back(0);
        off.push_back(at);
        len.push_back(std::uint32_t(n));
        maxLen = std::max(maxLen, int(n));
        return true;
    }
    const std::size_t r = null.size();
    null.push_back(1);
    off.push_back(0);
    len.push_back(0);
    if (setUtf8(r, s, n)) return true;
    null.pop_back();
    off.pop_back();
    len.pop_back();
    return false;
}

void Column::setBytes(std::size_t r, const char* s, std::size_t n) {
    const std::uint32_t at = reserveChars(n);
    narrow.insert(narrow.end(), s, s + n);
    off[r] = at;
    len[r] = std::uint32_t(n);
    null[r] = 0;
}

void Column::setInt(std::size_t r, qint64 v) {
    ints[r] = v;
    null[r] = 0;
}

void Column::setReal(std::size_t r, double v) {
    reals[r] = v;
    null[r] = 0;
}

namespace {
// One shared string per Latin-1 character: flags like 'S', 'N', '1' are read without allocating.
const QString& singleChar(unsigned char c) {
    static const auto table = [] {
        std::array<QString, 256> t;
        for (int i = 0; i < 256; ++i) t[std::size_t(i)] = QString(QChar(char16_t(i)));
        return t;
    }();
    return table[c];
}
}  // namespace

QString Column::text(std::size_t r) const {
    if (null[r]) return QString();
    if (len[r] == 1 && !isWide) return singleChar(static_cast<unsigned char>(narrow[off[r]]));
    if (isWide)
        return QString(reinterpret_cast<const QChar*>(wide.data() + off[r]), qsizetype(len[r]));
    return QString::fromLatin1(narrow.data() + off[r], qsizetype(len[r]));
}

QByteArray Column::bytes(std::size_t r) const {
    if (null[r]) return QByteArray();
    return QByteArray(narrow.data() + off[r], qsizetype(len[r]));
}

bool Column::textEquals(std::size_t r, QStringView s) const {
    if (null[r] || len[r] != std::size_t(s.size())) return false;
    const std::size_t n = len[r];
    if (isWide) return std::memcmp(wide.data() + off[r], s.utf16(), n * 2) == 0;
    const char* p = narrow.data() + off[r];
    for (std::size_t i = 0; i < n; ++i)
        if (char16_t(static_cast<unsigned char>(p[i])) != s[qsizetype(i)].unicode()) return false;
    return true;
}

std::shared_ptr<Column> Column::gather(const std::vector<std::int32_t>& ids) const {
    auto c = std::make_shared<Column>(storage);
    c->isWide = isWide;
    c->reserve(ids.size());
    for (std::int32_t id : ids) {
        c->appendNull();
        const std::size_t r = std::size_t(id);
        const std::size_t to = c->size() - 1;
        if (null[r]) continue;
        switch (storage) {
            case Storage::Int:
                c->setInt(to, ints[r]);
                break;
            case Storage::Real:
                c->setReal(to, reals[r]);
                break;
            case Storage::Bytes:
                c->setBytes(to, narrow.data() + off[r], len[r]);
                break;
            case Storage::Text:
                if (isWide) {
                    c->setText(to, QStringView(wide.data() + off[r], qsizetype(len[r])));
                } else {
                    c->setLatin1(to, narrow.data() + off[r], len[r]);
                }
                break;
        }
    }
    return c;
}

std::size_t Column::memoryBytes() const {
    return null.capacity() + ints.capacity() * 8 + reals.capacity() * 8 + narrow.capacity() +
           wide.capacity() * 2 + off.capacity() * 4 + len.capacity() * 4 + sizeof(Column);
}

// ---- conversions

namespace {

QString formatDate(const QDate& d) {
    return d.toString(QStringLiteral("dd/MM/yyyy"));
}

QString formatDateTime(const QDateTime& dt) {
    if (dt.time().msecsSinceStartOfDay() == 0) return formatDate(dt.date());
    return formatDate(dt.date()) + QLatin1Char(' ') +
           dt.time().toString(QStringLiteral("hh:mm:ss"));
}

[[noreturn]] void invalid(const QString& text, const QString& what) {
    throw DataSetError(QStringLiteral("'%1' não é %2 válido.").arg(text, what));
}

QDateTime parseDateTime(const QString& raw, const QString& what) {
    const QString s = raw.trimmed();
    static const char* const formats[] = {
        "dd/MM/yyyy",
        "dd/MM/yyyy HH:mm:ss",
        "dd/MM/yyyy HH:mm",
        "yyyy-MM-dd",
        "yyyy-MM-ddTHH:mm:ss",
        "yyyy-MM-dd HH:mm:ss",
        "yyyy-MM-ddTHH:mm:ss.zzz",
        "yyyy-MM-dd HH:mm:ss.zzz",
        "yyyy-MM-dd HH:mm",
    };
    for (const char* f : formats) {
        const QDateTime dt = QDateTime::fromString(s, QLatin1String(f));
        if (dt.isValid()) return dt;
        const QDate d = QDate::fromString(s, QLatin1String(f));
        if (d.isValid()) return QDateTime(d, QTime(0, 0));
    }
    invalid(raw, what);
}

QTime parseTime(const QString& raw) {
    const QString s = raw.trimmed();
    for (const char* f : {"HH:mm:ss", "HH:mm", "HH:mm:ss.zzz", "HHmm"}) {
        const QTime t = QTime::fromString(s, QLatin1String(f));
        if (t.isValid()) return t;
    }
    invalid(raw, QStringLiteral("uma hora"));
}

qint64 parseInteger(const QString& raw) {
    const QString s = raw.trimmed();
    bool ok = false;
    const qint64 v = s.toLongLong(&ok);
    if (ok) return v;
    QString dot = s;
    dot.replace(QLatin1Char(','), QLatin1Char('.'));
    const double d = dot.toDouble(&ok);
    if (ok && std::isfinite(d) && std::fabs(d) < 9.2e18) return qint64(std::llround(d));
    invalid(raw, QStringLiteral("um valor inteiro"));
}

double parseReal(const QString& raw) {
    QString s = raw.trimmed();
    s.replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    const double d = s.toDouble(&ok);
    if (!ok) invalid(raw, QStringLiteral("um valor numérico"));
    return d;
}

bool isTextVariant(const QVariant& v) {
    const int id = v.metaType().id();
    return id == QMetaType::QString || id == QMetaType::QByteArray || id == QMetaType::QChar;
}

}  // namespace

QString cutToSize(const QString& s, int size) {
    if (size > 0 && s.size() > size) return s.left(size);
    return s;
}

QString textOfValue(const QVariant& v, FieldType t) {
    if (v.isNull()) return QString();
    switch (v.metaType().id()) {
        case QMetaType::QDate:
            return formatDate(v.toDate());
        case QMetaType::QDateTime:
            return formatDateTime(v.toDateTime());
        case QMetaType::QTime:
            return v.toTime().toString(QStringLiteral("hh:mm:ss"));
        case QMetaType::Bool:
            return v.toBool() ? QStringLiteral("True") : QStringLiteral("False");
        case QMetaType::Double:
        case QMetaType::Float:
            return QString::number(v.toDouble(), 'g', 15);
        case QMetaType::QByteArray:
            return t == FieldType::Blob ? QString::fromLatin1(v.toByteArray())
                                        : QString::fromUtf8(v.toByteArray());
        default:
            return v.toString();
    }
}

QVariant convertValue(const QVariant& v, const FieldDef& def) {
    if (!v.isValid() || v.isNull()) return QVariant();
    const bool text = isTextVariant(v);
    const QString asText = text ? textOfValue(v, def.type) : QString();
    // An empty text means NULL for every non-text field, as operators type it.
    if (text && kindOf(def.type) != Kind::Text && kindOf(def.type) != Kind::Bytes &&
        asText.trimmed().isEmpty())
        return QVariant();
    // Dates and date-times read alike; only what is kept differs.
    const auto asDateTime = [&] {
        if (v.metaType().id() == QMetaType::QDate) return QDateTime(v.toDate(), QTime(0, 0));
        if (v.metaType().id() == QMetaType::QDateTime) return v.toDateTime();
        return parseDateTime(asText.isEmpty() ? v.toString() : asText, QStringLiteral("uma data"));
    };
    switch (kindOf(def.type)) {
        case Kind::Text:
            return textOfValue(v, def.type);
        case Kind::Bytes:
            return v.metaType().id() == QMetaType::QString ? v.toString().toUtf8()
                                                           : v.toByteArray();
        case Kind::Integer: {
            if (text) return QVariant(parseInteger(asText));
            if (v.metaType().id() == QMetaType::Double || v.metaType().id() == QMetaType::Float) {
                const double d = v.toDouble();
                if (!std::isfinite(d))
                    invalid(textOfValue(v, def.type), QStringLiteral("um valor inteiro"));
                return QVariant(qint64(std::llround(d)));
            }
            bool ok = false;
            const qint64 n = v.toLongLong(&ok);
            if (!ok) invalid(textOfValue(v, def.type), QStringLiteral("um valor inteiro"));
            return QVariant(n);
        }
        case Kind::Boolean: {
            if (text) {
                const QString s = asText.trimmed().toUpper();
                const QChar c = s.at(0);
                if (c == QLatin1Char('T') || c == QLatin1Char('S') || c == QLatin1Char('Y') ||
                    c == QLatin1Char('1'))
                    return QVariant(true);
                if (c == QLatin1Char('F') || c == QLatin1Char('N') || c == QLatin1Char('0'))
                    return QVariant(false);
                invalid(asText, QStringLiteral("um valor lógico"));
            }
            return QVariant(v.toBool());
        }
        case Kind::Real:
            if (text) return QVariant(parseReal(asText));
            return QVariant(v.toDouble());
        case Kind::Date: {
            const QDateTime dt = asDateTime();
            return dt.isValid() ? QVariant(dt.date()) : QVariant();
        }
        case Kind::Time: {
            if (v.metaType().id() == QMetaType::QTime) return v;
            if (v.metaType().id() == QMetaType::QDateTime) return QVariant(v.toDateTime().time());
            return QVariant(parseTime(asText.isEmpty() ? v.toString() : asText));
        }
        case Kind::DateTime: {
            const QDateTime dt = asDateTime();
            return dt.isValid() ? QVariant(dt) : QVariant();
        }
    }
    return QVariant();
}

// ---- Table

void Table::appendRow() {
    for (auto& c : cols) c->appendNull();
    ++rows;
}

QVariant Table::value(int row, int col) const {
    const Column& c = *cols[std::size_t(col)];
    const std::size_t r = std::size_t(row);
    if (c.isNull(r)) return QVariant();
    const FieldType t = fields[col].type;
    switch (kindOf(t)) {
        case Kind::Text:
            return c.text(r);
        case Kind::Bytes:
            return c.bytes(r);
        case Kind::Real:
            return c.reals[r];
        case Kind::Boolean:
            return c.ints[r] != 0;
        case Kind::Date:
            return QDate::fromJulianDay(c.ints[r] / kMsPerDay);
        case Kind::Time:
            return QTime::fromMSecsSinceStartOfDay(int(c.ints[r] % kMsPerDay));
        case Kind::DateTime:
            return msToDateTime(c.ints[r]);
        case Kind::Integer:
            if (t == FieldType::LargeInt || t == FieldType::Word) return QVariant(c.ints[r]);
            return QVariant(int(c.ints[r]));
    }
    return QVariant();
}

QDate Table::day(int row, int col) const {
    const Column& c = *cols[std::size_t(col)];
    const std::size_t r = std::size_t(row);
    const Kind k = kindOf(fields[col].type);
    if (c.isNull(r) || (k != Kind::Date && k != Kind::DateTime)) return QDate();
    qint64 day = c.ints[r] / kMsPerDay;
    if (c.ints[r] % kMsPerDay < 0) --day;
    return QDate::fromJulianDay(day);
}

QString Table::text(int row, int col) const {
    const Column& c = *cols[std::size_t(col)];
    if (c.storage == Storage::Text) return c.text(std::size_t(row));
    if (c.storage == Storage::Int && kindOf(fields[col].type) == Kind::Integer) {
        return c.isNull(std::size_t(row)) ? QString() : QString::number(c.ints[std::size_t(row)]);
    }
    return textOfValue(value(row, col), fields[col].type);
}

void Table::set(int row, int col, const QVariant& raw) {
    setConverted(row, col, convertValue(raw, fields[col]));
}

void Table::setConverted(int row, int col, const QVariant& v) {
    const FieldDef& def = fields[col];
    Column& c = *cols[std::size_t(col)];
    const std::size_t r = std::size_t(row);
    if (v.isNull()) {
        c.setNull(r);
        return;
    }
    switch (kindOf(def.type)) {
        case Kind::Text:
            c.setText(r, v.toString());
            break;
        case Kind::Bytes: {
            const QByteArray b = v.toByteArray();
            c.setBytes(r, b.constData(), std::size_t(b.size()));
            break;
        }
        case Kind::Real:
            c.setReal(r, v.toDouble());
            break;
        case Kind::Boolean:
            c.setInt(r, v.toBool() ? 1 : 0);
            break;
        case Kind::Integer:
            c.setInt(r, v.toLongLong());
            break;
        case Kind::Date:
            c.setInt(r, v.toDate().toJulianDay() * kMsPerDay);
            break;
        case Kind::Time:
            c.setInt(r, v.toTime().msecsSinceStartOfDay());
            break;
        case Kind::DateTime:
            c.setInt(r, dateTimeToMs(v.toDateTime()));
            break;
    }
}

}  // namespace detail
}  // namespace dataset
