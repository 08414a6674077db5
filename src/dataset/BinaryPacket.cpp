// The binary data packet: a 24-byte header, field descriptors with parameters, dataset
// parameters, then the rows (status byte, 2-bit field states, the present values).
// Every count is checked against the bytes left before anything is allocated from it.

#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "dataset/Codec_p.h"
#include "dataset/PacketFile_p.h"

namespace dataset::detail {

namespace {

constexpr std::uint32_t kMagic = 0xBDE01996;
constexpr qint64 kLastDayNumber = 3652059;  // 9999-12-31; day 1 is 0001-01-01
constexpr std::uint32_t kVarying = 0x00400000;
constexpr std::uint32_t kArray = 0x00800000;
constexpr std::uint32_t kPseudo = 0x01000000;
constexpr std::uint32_t kCompressed = 0x02000000;
constexpr std::uint32_t kEmbedded = 0x04000000;
constexpr std::uint32_t kKnownFlags = kVarying | kArray | kPseudo | kCompressed | kEmbedded;

enum Base {
    kSigned = 1,
    kUnsigned = 2,
    kBool = 3,
    kFloat = 4,
    kBcd = 5,
    kDate = 6,
    kTime = 7,
    kTimestamp = 8,
    kAnsi = 9,
    kWide = 10,
    kBytes = 11,
    kAdt = 12,
    kBigDecimal = 16,
    kSqlTimestamp = 17,
    kFmtBcd = 18,
    kSingle = 27,
    kSqlTimestampOffset = 36,
};

class Input {
public:
    Input(const QByteArray& b, const QString& name)
        : p_(reinterpret_cast<const unsigned char*>(b.constData())),
          n_(std::size_t(b.size())),
          name_(name) {}

    [[noreturn]] void fail(const QString& reason) const {
        unreadable(name_, reason + QStringLiteral(" (posição %1)").arg(pos_));
    }
    std::size_t left() const { return n_ - pos_; }
    std::size_t pos() const { return pos_; }
    void need(std::size_t k, const char* what) const {
        if (k > left()) fail(QStringLiteral("arquivo truncado em %1").arg(QString::fromUtf8(what)));
    }
    const char* take(std::size_t k, const char* what) {
        need(k, what);
        const char* at = reinterpret_cast<const char*>(p_ + pos_);
        pos_ += k;
        return at;
    }
    std::uint8_t u8(const char* what) { return std::uint8_t(*take(1, what)); }
    std::uint16_t u16(const char* what) { return qFromLittleEndian<quint16>(take(2, what)); }
    std::uint32_t u32(const char* what) { return qFromLittleEndian<quint32>(take(4, what)); }
    // Unsigned little-endian integer of 1, 2, 4 or 8 bytes.
    std::uint64_t uint(std::size_t size, const char* what) {
        const char* at = take(size, what);
        std::uint64_t v = 0;
        for (std::size_t i = size; i-- > 0;) v = (v << 8) | static_cast<unsigned char>(at[i]);
        return v;
    }

private:
    const unsigned char* p_;
    std::size_t n_;
    std::size_t pos_ = 0;
    QString name_;
};

qint64 signExtend(std::uint64_t v, std::size_t size) {
    if (size >= 8) return qint64(v);
    const std::uint64_t sign = std::uint64_t(1) << (size * 8 - 1);
    return qint64((v ^ sign) - sign);
}

// One column of the file.
struct FileColumn {
    QString name;
    std::uint32_t type = 0;
    int base = 0;
    std::size_t size = 0;
    bool varying = false;
    std::uint16_t attrs = 0;
    int width = 0;  // WIDTH parameter
    QString subtype;
    QString realName;  // FIELDNAME parameter
    int out = -1;      // output column; -1 for pseudo and link columns
    bool hasData = true;
};

struct Param {
    QString name;
    std::uint32_t type = 0;
    QByteArray value;           // raw bytes of a scalar or a varying value
    std::vector<qint64> array;  // elements of an array parameter
    bool isArray = false;
};

Param readParam(Input& in, const AnsiCodec& codec) {
    Param p;
    const std::uint8_t nlen = in.u8("nome de parâmetro");
    const char* n = in.take(nlen, "nome de parâmetro");
    p.name = codec.decode(n, nlen);
    p.type = in.u32("tipo de parâmetro") & 0x7FFFFFFFu;  // bit 31: include in delta
    const std::size_t size = p.type & 0xFFFF;
    const int base = int((p.type >> 16) & 0x3F);
    if (p.type & kArray) {
        p.isArray = true;
        const std::uint32_t count = in.u32("parâmetro");
        if (size == 0 || size > 8)
            in.fail(QStringLiteral("parâmetro '%1' com tamanho inválido").arg(p.name));
        if (std::uint64_t(count) * size > in.left())
            in.fail(QStringLiteral("parâmetro '%1' além do fim do arquivo").arg(p.name));
        p.array.reserve(count);
        for (std::uint32_t i = 0; i < count; ++i) {
            const std::uint64_t v = in.uint(size, "parâmetro");
            p.array.push_back(base == kSigned ? signExtend(v, size) : qint64(v));
        }
    } else if (p.type & kVarying) {
        if (size != 1 && size != 2 && size != 4)
            in.fail(QStringLiteral("parâmetro '%1' com tamanho inválido").arg(p.name));
        const std::uint64_t len = in.uint(size, "parâmetro");
        if (len > in.left())
            in.fail(QStringLiteral("parâmetro '%1' além do fim do arquivo").arg(p.name));
        p.value = QByteArray(in.take(std::size_t(len), "parâmetro"), qsizetype(len));
    } else {
        p.value = QByteArray(in.take(size, "parâmetro"), qsizetype(size));
    }
    return p;
}

qint64 paramInt(const Param& p) {
    const std::size_t size = std::size_t(p.value.size());
    if (size == 0 || size > 8) return 0;
    std::uint64_t v = 0;
    for (std::size_t i = size; i-- > 0;)
        v = (v << 8) | static_cast<unsigned char>(p.value[qsizetype(i)]);
    return ((p.type >> 16) & 0x3F) == kSigned ? signExtend(v, size) : qint64(v);
}

QString paramText(const Param& p, const AnsiCodec& codec) {
    const qsizetype nul = p.value.indexOf('\0');
    const QByteArray v = nul >= 0 ? p.value.left(nul) : p.value;
    return codec.decode(v.constData(), std::size_t(v.size()));
}

// Checks the descriptor's type against the row layout we can follow, and gives the field type.
FieldType fieldTypeOf(FileColumn& c, Input& in) {
    const std::uint32_t t = c.type;
    if (t & ~(kKnownFlags | 0x003FFFFFu))
        in.fail(QStringLiteral("campo '%1' com tipo desconhecido (0x%2)")
                    .arg(c.name)
                    .arg(t, 8, 16, QLatin1Char('0')));
    if (t & (kArray | kCompressed | kEmbedded))
        in.fail(QStringLiteral("campo '%1': matrizes e tabelas aninhadas não são suportadas")
                    .arg(c.name));
    const std::size_t s = c.size;
    auto badSize = [&]() {
        in.fail(
            QStringLiteral("campo '%1' com tamanho %2 impróprio para o tipo").arg(c.name).arg(s));
    };
    if (c.varying && c.base != kAnsi && c.base != kWide && c.base != kBytes &&
        c.base != kBigDecimal)
        badSize();
    switch (c.base) {
        case kSigned:
            if (s != 1 && s != 2 && s != 4 && s != 8) badSize();
            return s == 8 ? FieldType::LargeInt
                          : (s == 4 ? FieldType::Integer : FieldType::SmallInt);
        case kUnsigned:
            if (s != 1 && s != 2 && s != 4 && s != 8) badSize();
            return FieldType::Word;
        case kBool:
            if (s != 1 && s != 2 && s != 4) badSize();
            return FieldType::Boolean;
        case kFloat:
            if (s != 8 && s != 10) badSize();
            return FieldType::Float;
        case kSingle:
            return FieldType::Float;
        case kBcd:
        case kFmtBcd:
            return FieldType::Bcd;
        case kDate:
            if (s != 4) badSize();
            return FieldType::Date;
        case kTime:
            if (s != 4) badSize();
            return FieldType::Time;
        case kTimestamp:
            if (s != 8) badSize();
            return FieldType::DateTime;
        case kSqlTimestamp:
            if (s != 16) badSize();
            return FieldType::DateTime;
        case kSqlTimestampOffset:
            if (s != 20) badSize();
            return FieldType::DateTime;
        case kAnsi:
        case kWide:
            if (c.varying ? (s != 1 && s != 2 && s != 4) : s == 0) badSize();
            return c.base == kAnsi ? FieldType::String : FieldType::WideString;
        case kBytes:
            if (c.varying ? (s != 1 && s != 2 && s != 4) : s == 0) badSize();
            return FieldType::Blob;
        case kBigDecimal:
            if (!c.varying || s != 1) badSize();
            return FieldType::Bcd;
        case kAdt:
            if (!(t & kPseudo)) badSize();
            c.hasData = false;
            return FieldType::String;
        default:
            in.fail(
                QStringLiteral("campo '%1' de um tipo não suportado (%2)").arg(c.name).arg(c.base));
    }
}

double decodeBcd(const char* b, Input& in) {
    const int precision = static_cast<unsigned char>(b[0]);
    const int signScale = static_cast<unsigned char>(b[1]);
    if (precision > 32) in.fail(QStringLiteral("valor decimal com precisão inválida"));
    const int scale = signScale & 0x3F;
    double v = 0;
    for (int i = 0; i < precision; ++i) {
        const unsigned char byte = static_cast<unsigned char>(b[2 + i / 2]);
        const int digit = (i % 2 == 0) ? byte >> 4 : byte & 0x0F;
        if (digit > 9) in.fail(QStringLiteral("valor decimal com dígito inválido"));
        v = v * 10 + digit;
    }
    v /= std::pow(10.0, scale);
    return (signScale & 0x80) ? -v : v;
}

double decodeExtended(const char* b) {
    std::uint64_t mant = 0;
    for (int i = 7; i >= 0; --i) mant = (mant << 8) | static_cast<unsigned char>(b[i]);
    const int se = static_cast<unsigned char>(b[8]) | (static_cast<unsigned char>(b[9]) << 8);
    const int exp = se & 0x7FFF;
    if (exp == 0 && mant == 0) return (se & 0x8000) ? -0.0 : 0.0;
    const double v = std::ldexp(double(mant), exp - 16383 - 63);
    return (se & 0x8000) ? -v : v;
}

qint64 msOfDayNumber(qint64 dayNumber, qint64 msOfDay) {
    return (dayNumber + kDayNumberToJulian) * kMsPerDay + msOfDay;
}

// Reads one present value into row r of the output column (or skips it when out < 0).
void readValue(Input& in, const FileColumn& c, Column* col, std::size_t r, const AnsiCodec& codec) {
    const std::size_t s = c.size;
    switch (c.base) {
        case kSigned: {
            const qint64 v = signExtend(in.uint(s, "valor"), s);
            if (col) col->setInt(r, v);
            return;
        }
        case kUnsigned: {
            const std::uint64_t v = in.uint(s, "valor");
            if (col) col->setInt(r, qint64(v));
            return;
        }
        case kBool: {
            const std::uint64_t v = in.uint(s, "valor");
            if (col) col->setInt(r, v != 0 ? 1 : 0);
            return;
        }
        case kFloat: {
            const char* b = in.take(s, "valor");
            double d = 0;
            if (s == 8) {
                std::uint64_t bits = qFromLittleEndian<quint64>(b);
                std::memcpy(&d, &bits, 8);
            } else {
                d = decodeExtended(b);
            }
            if (col) col->setReal(r, d);
            return;
        }
        case kSingle: {
            const char* b = in.take(8, "valor");
            const std::uint32_t bits = qFromLittleEndian<quint32>(b);
            float f = 0;
            std::memcpy(&f, &bits, 4);
            if (col) col->setReal(r, double(f));
            return;
        }
        case kBcd:
        case kFmtBcd: {
            const double d = decodeBcd(in.take(18, "valor"), in);
            if (col) col->setReal(r, d);
            return;
        }
        case kBigDecimal: {
            const std::size_t len = in.u8("valor");
            const QByteArray t(in.take(len, "valor"), qsizetype(len));
            bool ok = false;
            const double d = t.trimmed().replace(',', '.').toDouble(&ok);
            if (!ok && !t.isEmpty())
                in.fail(QStringLiteral("valor decimal inválido no campo '%1'").arg(c.name));
            if (col) {
                if (ok)
                    col->setReal(r, d);
                else
                    col->setNull(r);
            }
            return;
        }
        case kDate: {
            const qint64 day = qint32(in.u32("valor"));
            if (day < 1 || day > kLastDayNumber)
                in.fail(QStringLiteral("data inválida no campo '%1'").arg(c.name));
            if (col) col->setInt(r, msOfDayNumber(day, 0));
            return;
        }
        case kTime: {
            const qint64 ms = qint32(in.u32("valor"));
            if (ms < 0 || ms >= kMsPerDay)
                in.fail(QStringLiteral("hora inválida no campo '%1'").arg(c.name));
            if (col) col->setInt(r, ms);
            return;
        }
        case kTimestamp: {
            const char* b = in.take(8, "valor");
            const std::uint64_t bits = qFromLittleEndian<quint64>(b);
            double ms = 0;
            std::memcpy(&ms, &bits, 8);
            if (!std::isfinite(ms) || ms < double(kMsPerDay) ||
                ms >= double(kLastDayNumber + 1) * kMsPerDay)
                in.fail(QStringLiteral("data e hora inválidas no campo '%1'").arg(c.name));
            const qint64 total = qint64(std::llround(ms));
            if (col) col->setInt(r, msOfDayNumber(total / kMsPerDay, total % kMsPerDay));
            return;
        }
        case kSqlTimestamp:
        case kSqlTimestampOffset: {
            const char* b = in.take(s, "valor");
            const int year = qFromLittleEndian<qint16>(b);
            const int month = qFromLittleEndian<quint16>(b + 2);
            const int day = qFromLittleEndian<quint16>(b + 4);
            const int hour = qFromLittleEndian<quint16>(b + 6);
            const int minute = qFromLittleEndian<quint16>(b + 8);
            const int second = qFromLittleEndian<quint16>(b + 10);
            const std::uint32_t frac = qFromLittleEndian<quint32>(b + 12);
            const QDate d(year, month, day);
            const QTime t(hour, minute, second, int(frac % 1000));
            if (!d.isValid() || !t.isValid() || year < 1 || year > 9999)
                in.fail(QStringLiteral("data e hora inválidas no campo '%1'").arg(c.name));
            if (col) col->setInt(r, d.toJulianDay() * kMsPerDay + t.msecsSinceStartOfDay());
            return;
        }
        case kAnsi:
        case kWide:
        case kBytes: {
            std::size_t len = s;
            if (c.varying) {
                const std::uint64_t raw = in.uint(s, "tamanho de valor");
                if (c.base == kBytes && s == 4 && (raw & 0x80000000u)) {
                    if (col) col->setNull(r);  // a BLOB that was not fetched
                    return;
                }
                if (raw > in.left())
                    in.fail(
                        QStringLiteral("valor do campo '%1' além do fim do arquivo").arg(c.name));
                len = std::size_t(raw);
            }
            const char* b = in.take(len, "valor");
            if (!col) return;
            if (c.base == kWide ||
                (c.base == kBytes &&
                 c.subtype.compare(QLatin1String("WideText"), Qt::CaseInsensitive) == 0)) {
                if (len % 2)
                    in.fail(QStringLiteral("texto UTF-16 com número ímpar de bytes no campo '%1'")
                                .arg(c.name));
                QString t(qsizetype(len / 2), Qt::Uninitialized);
                for (std::size_t i = 0; i < len / 2; ++i)
                    t[qsizetype(i)] = QChar(qFromLittleEndian<quint16>(b + 2 * i));
                const qsizetype nul = t.indexOf(QChar(0));
                if (nul >= 0) t.truncate(nul);
                if (c.width > 0 && c.base == kWide && t.size() > c.width) t.truncate(c.width);
                col->setText(r, t);
            } else if (col->storage == Storage::Text) {
                const void* nul = std::memchr(b, 0, len);
                const std::size_t n = nul ? std::size_t(static_cast<const char*>(nul) - b) : len;
                // ASCII reads the same in every page: straight into the column.
                const bool ascii = std::all_of(
                    b, b + n, [](char ch) { return static_cast<unsigned char>(ch) < 0x80; });
                if (ascii && codec.asciiCompatible() &&
                    (c.width <= 0 || c.base != kAnsi || n <= std::size_t(c.width))) {
                    col->setLatin1(r, b, n);
                    return;
                }
                QString t = codec.decode(b, n);
                if (c.width > 0 && c.base == kAnsi && t.size() > c.width) t.truncate(c.width);
                col->setText(r, t);
            } else {
                col->setBytes(r, b, len);
            }
            return;
        }
        default:
            in.fail(QStringLiteral("campo '%1' de um tipo não suportado").arg(c.name));
    }
}

}  // namespace

DataPacket readBinaryPacket(const QByteArray& bytes, const QString& name,
                            const PacketFileOptions& opts) {
    const AnsiCodec codec(opts.ansiCodec);
    Input in(bytes, name);
    if (bytes.size() < 24) in.fail(QStringLiteral("cabeçalho incompleto"));
    if (in.u32("cabeçalho") != kMagic) in.fail(QStringLiteral("não é um pacote de dados"));
    const std::uint16_t major = in.u16("cabeçalho");
    const std::uint16_t minor = in.u16("cabeçalho");
    if (major < 1 || major > 3 || minor > 3)
        in.fail(QStringLiteral("versão %1.%2 do formato não suportada").arg(major).arg(minor));
    const std::uint32_t headerSize = in.u32("cabeçalho");
    const std::uint16_t colCount = in.u16("cabeçalho");
    const std::uint32_t rowCount = in.u32("cabeçalho");
    const std::uint32_t props = in.u32("cabeçalho");
    const std::uint16_t rowOffset = in.u16("cabeçalho");
    if (headerSize < 24 || headerSize > std::size_t(bytes.size()))
        in.fail(QStringLiteral("tamanho de cabeçalho inválido"));
    if (!(props & 0x1)) in.fail(QStringLiteral("pacote sem metadados"));
    if (props & 0x8000) in.fail(QStringLiteral("pacote XML dentro do binário não suportado"));
    in.take(headerSize - 24, "cabeçalho");
    if (colCount == 0) in.fail(QStringLiteral("pacote sem campos"));
    if (std::size_t(colCount) * 10 > in.left())
        in.fail(QStringLiteral("número de campos além do tamanho do arquivo"));

    std::vector<FileColumn> cols(colCount);
    RawPacket raw;
    FieldDefs fields;
    for (FileColumn& c : cols) {
        const std::uint8_t nlen = in.u8("descritor de campo");
        if (nlen == 0) in.fail(QStringLiteral("campo sem nome"));
        const char* n = in.take(nlen, "descritor de campo");
        c.name = codec.decode(n, nlen);
        c.type = in.u32("descritor de campo");
        c.base = int((c.type >> 16) & 0x3F);
        c.size = c.type & 0xFFFF;
        c.varying = (c.type & kVarying) != 0;
        c.attrs = in.u16("descritor de campo");
        const std::uint16_t pcount = in.u16("descritor de campo");
        if (std::size_t(pcount) * 6 > in.left())
            in.fail(QStringLiteral("número de parâmetros além do tamanho do arquivo"));
        for (int i = 0; i < pcount; ++i) {
            const Param p = readParam(in, codec);
            if (p.name == QLatin1String("WIDTH"))
                c.width = int(std::clamp<qint64>(paramInt(p), 0, 1 << 30));
            else if (p.name == QLatin1String("SUBTYPE"))
                c.subtype = paramText(p, codec);
            else if (p.name == QLatin1String("FIELDNAME"))
                c.realName = paramText(p, codec);
        }
        FieldDef def;
        def.type = fieldTypeOf(c, in);
        def.name = fieldNameOf(c.realName.isEmpty() ? c.name : c.realName);
        if (def.name.isEmpty()) in.fail(QStringLiteral("campo sem nome"));
        if (c.base == kWide) c.width /= 2;  // wide widths are in bytes
        if (c.base == kBytes && c.varying && c.size == 4) {
            const QString st = c.subtype;
            if (st.compare(QLatin1String("Text"), Qt::CaseInsensitive) == 0 ||
                st.compare(QLatin1String("WideText"), Qt::CaseInsensitive) == 0 ||
                st.compare(QLatin1String("HMemo"), Qt::CaseInsensitive) == 0)
                def.type = FieldType::Memo;
        }
        if (def.type == FieldType::String || def.type == FieldType::WideString) {
            def.size = c.width > 0 ? c.width : (c.varying ? 0 : int(c.size));
            if (c.base == kWide && !c.varying && c.width == 0) def.size = int(c.size / 2);
        }
        if (def.type == FieldType::Bcd) def.size = 0;
        def.visible = !(c.attrs & 0x01);
        def.readOnly = c.attrs & 0x02;
        def.required = c.attrs & 0x04;
        if (c.hasData && !(c.attrs & 0x08)) {
            c.out = int(fields.size());
            fields.append(def);
        }
    }
    renameDuplicates(fields);
    raw.table->fields = fields;
    for (const FieldDef& f : fields)
        raw.table->cols.push_back(std::make_shared<Column>(storageOf(f.type)));

    const std::uint16_t dsParams = in.u16("parâmetros do pacote");
    if (std::size_t(dsParams) * 6 > in.left())
        in.fail(QStringLiteral("número de parâmetros além do tamanho do arquivo"));
    std::vector<qint64> changeLog, defaultOrder;
    for (int i = 0; i < dsParams; ++i) {
        const Param p = readParam(in, codec);
        if (p.name == QLatin1String("CHANGE_LOG"))
            changeLog = p.array;
        else if (p.name == QLatin1String("DEFAULT_ORDER"))
            defaultOrder = p.array;
        else if (p.name == QLatin1String("DATASET_DELTA") && paramInt(p) != 0)
            in.fail(QStringLiteral("o arquivo é um pacote de alterações, não uma tabela"));
    }
    if ((props & 0x2) && rowOffset != in.pos())
        in.fail(QStringLiteral("início das linhas não confere com os metadados"));

    const std::size_t statusBytes = (std::size_t(colCount) + 3) / 4;
    if (std::uint64_t(rowCount) * (1 + statusBytes) > in.left())
        in.fail(QStringLiteral("número de linhas além do tamanho do arquivo"));
    for (auto& c : raw.table->cols) c->reserve(rowCount);
    raw.status.reserve(rowCount);
    for (std::uint32_t r = 0; r < rowCount; ++r) {
        const std::uint8_t status = in.u8("linha");
        if (status & ~kStatusKnown)
            in.fail(QStringLiteral("estado de registro desconhecido (0x%1)")
                        .arg(status, 2, 16, QLatin1Char('0')));
        raw.status.push_back(status);
        raw.table->appendRow();
        const char* states = in.take(statusBytes, "linha");
        for (std::size_t k = 0; k < cols.size(); ++k) {
            const int st = (static_cast<unsigned char>(states[k / 4]) >> ((k % 4) * 2)) & 3;
            if (st != 0 || !cols[k].hasData) continue;  // NULL, unchanged or a pseudo column
            Column* col =
                cols[k].out >= 0 ? raw.table->cols[std::size_t(cols[k].out)].get() : nullptr;
            readValue(in, cols[k], col, r, codec);
        }
    }
    if (changeLog.size() % 3) in.fail(QStringLiteral("registro de alterações inválido"));
    for (std::size_t i = 0; i < changeLog.size(); i += 3) {
        if (changeLog[i] < 1 || changeLog[i] > qint64(rowCount) || changeLog[i + 1] < 0 ||
            changeLog[i + 1] > qint64(rowCount))
            in.fail(QStringLiteral("registro de alterações aponta para fora das linhas"));
    }
    for (qint64 v : defaultOrder) {
        const qint64 k = (v & 0x3FFF) - 1;
        if (k < 0 || k >= qint64(cols.size()))
            in.fail(QStringLiteral("ordem padrão com campo inexistente"));
        if (cols[std::size_t(k)].out >= 0)
            raw.defaultOrder.push_back(
                {cols[std::size_t(k)].out, (v & 0x8000) != 0, (v & 0x4000) != 0});
    }
    return finishPacket(std::move(raw));
}

}  // namespace dataset::detail

namespace dataset {

namespace {

void put16(QByteArray& o, quint16 v) {
    char b[2];
    qToLittleEndian(v, b);
    o.append(b, 2);
}
void put32(QByteArray& o, quint32 v) {
    char b[4];
    qToLittleEndian(v, b);
    o.append(b, 4);
}
void put64(QByteArray& o, quint64 v) {
    char b[8];
    qToLittleEndian(v, b);
    o.append(b, 8);
}
void putName(QByteArray& o, const QByteArray& n) {
    o.append(char(std::min<qsizetype>(n.size(), 255)));
    o.append(n.left(255));
}

void encodeBcd(QByteArray& o, double v, int scale) {
    char b[18] = {};
    const QByteArray digits = QByteArray::number(std::fabs(v), 'f', scale).replace(".", "");
    QByteArray d = digits;
    while (d.size() > 1 && d.startsWith('0') && d.size() > scale + 1) d.remove(0, 1);
    if (d.size() > 32) d = d.right(32);
    b[0] = char(d.size());
    b[1] = char((v < 0 ? 0x80 : 0) | (scale & 0x3F));
    for (qsizetype i = 0; i < d.size(); ++i) {
        const int digit = d[i] - '0';
        b[2 + i / 2] = char(b[2 + i / 2] | (i % 2 == 0 ? digit << 4 : digit));
    }
    o.append(b, 18);
}

}  // namespace

QByteArray writeBinaryPacket(const DataPacket& p, const PacketFileOptions& opts) {
    using namespace detail;
    const AnsiCodec codec(opts.ansiCodec);
    const Table& t = *p.table();
    const FieldDefs& f = t.fields;
    if (f.isEmpty())
        throw DataSetError(QStringLiteral("Um pacote sem campos não pode ser gravado."));
    if (f.size() > 0xFFFF)
        throw DataSetError(QStringLiteral("Campos demais para o formato binário."));

    // Text the code page cannot hold goes out as UTF-16 rather than damaged.
    std::vector<bool> wide(std::size_t(f.size()), false);
    for (int c = 0; c < f.size(); ++c) {
        if (f[c].type == FieldType::WideString) wide[std::size_t(c)] = true;
        if (f[c].type != FieldType::String && f[c].type != FieldType::Memo) continue;
        for (int r = 0; r < t.rows && !wide[std::size_t(c)]; ++r)
            if (!codec.canEncode(t.text(r, c))) wide[std::size_t(c)] = true;
    }

    QByteArray o;
    put32(o, kMagic);
    put16(o, 1);
    put16(o, 0);
    put32(o, 24);
    put16(o, quint16(f.size()));
    put32(o, quint32(t.rows));
    put32(o, 0);  // properties, set below
    put16(o, 0);
    for (int c = 0; c < f.size(); ++c) {
        const FieldDef& d = f[c];
        const QByteArray name = codec.canEncode(d.name) ? codec.encode(d.name) : d.name.toUtf8();
        const bool longName = name.size() > 31;
        putName(o, longName ? name.left(31) : name);
        quint32 type = 0;
        QList<std::pair<QByteArray, QByteArray>> params;  // name, encoded (type + value)
        auto widthParam = [&](quint32 w) {
            QByteArray v;
            put32(v, 0x00020004);
            put32(v, w);
            params.append({QByteArrayLiteral("WIDTH"), v});
        };
        auto subtypeParam = [&](const char* s) {
            QByteArray v;
            put32(v, 0x00490002);
            const QByteArray z = QByteArray(s) + '\0';
            put16(v, quint16(z.size()));
            v.append(z);
            params.append({QByteArrayLiteral("SUBTYPE"), v});
        };
        const bool w = wide[std::size_t(c)];
        switch (d.type) {
            case FieldType::String:
            case FieldType::WideString: {
                const quint32 units = d.size > 0 ? quint32(d.size) * (w ? 2 : 1) : 0;
                const quint32 prefix = units == 0 ? 4 : (units < 256 ? 1 : (units < 65536 ? 2 : 4));
                type = (w ? 0x000A0000u : 0x00090000u) | kVarying | prefix;
                if (d.size > 0) widthParam(units);
                break;
            }
            case FieldType::Memo:
                type = 0x000B0000u | kVarying | 4;
                subtypeParam(w ? "WideText" : "Text");
                break;
            case FieldType::Blob:
                type = 0x000B0000u | kVarying | 4;
                subtypeParam("Binary");
                break;
            case FieldType::SmallInt:
                type = 0x00010002;
                break;
            case FieldType::Integer:
                type = 0x00010004;
                break;
            case FieldType::LargeInt:
                type = 0x00010008;
                break;
            case FieldType::Word:
                type = 0x00020008;
                break;
            case FieldType::Boolean:
                type = 0x00030002;
                break;
            case FieldType::Float:
                type = 0x00040008;
                break;
            case FieldType::Bcd: {
                type = 0x00050000u | 32;
                QByteArray v;
                put32(v, 0x00020002);
                put16(v, 4);
                params.append({QByteArrayLiteral("DECIMALS"), v});
                break;
            }
            case FieldType::Date:
                type = 0x00060004;
                break;
            case FieldType::Time:
                type = 0x00070004;
                break;
            case FieldType::DateTime:
                type = 0x00080008;
                break;
        }
        if (longName) {
            QByteArray v;
            put32(v, 0x00490002);
            const QByteArray z = name + '\0';
            put16(v, quint16(std::min<qsizetype>(z.size(), 0xFFFF)));
            v.append(z.left(0xFFFF));
            params.append({QByteArrayLiteral("FIELDNAME"), v});
        }
        put32(o, type);
        put16(o,
              quint16((d.visible ? 0 : 0x01) | (d.readOnly ? 0x02 : 0) | (d.required ? 0x04 : 0)));
        put16(o, quint16(params.size()));
        for (const auto& [pn, pv] : params) {
            putName(o, pn);
            o.append(pv);
        }
    }
    put16(o, 0);  // no dataset parameters
    const qsizetype dataStart = o.size();
    quint32 props = 0x1;
    if (dataStart <= 0xFFFF) {
        props |= 0x2;
        qToLittleEndian(quint16(dataStart), o.data() + 22);
    }
    qToLittleEndian(props, o.data() + 18);

    const std::size_t statusBytes = (std::size_t(f.size()) + 3) / 4;
    for (int r = 0; r < t.rows; ++r) {
        o.append(char(0));
        const qsizetype statusAt = o.size();
        o.append(QByteArray(qsizetype(statusBytes), '\0'));
        for (int c = 0; c < f.size(); ++c) {
            const Column& col = *t.cols[std::size_t(c)];
            if (col.isNull(std::size_t(r))) {
                o[statusAt + c / 4] = char(o[statusAt + c / 4] | (1 << ((c % 4) * 2)));
                continue;
            }
            const FieldDef& d = f[c];
            const bool w = wide[std::size_t(c)];
            switch (d.type) {
                case FieldType::String:
                case FieldType::WideString:
                case FieldType::Memo: {
                    const QString s = col.text(std::size_t(r));
                    QByteArray b;
                    if (w) {
                        b.resize(s.size() * 2);
                        for (qsizetype i = 0; i < s.size(); ++i)
                            qToLittleEndian(s[i].unicode(), b.data() + 2 * i);
                    } else {
                        b = codec.encode(s);
                        if (b.isEmpty()) b = QByteArray(1, '\0');  // the toolkit's empty string
                    }
                    const quint32 units =
                        d.size > 0 && d.type != FieldType::Memo ? quint32(d.size) * (w ? 2 : 1) : 0;
                    const int prefix = d.type == FieldType::Memo || units == 0
                                           ? 4
                                           : (units < 256 ? 1 : (units < 65536 ? 2 : 4));
                    if (prefix == 1 && b.size() > 255) b.truncate(255);
                    if (prefix == 2 && b.size() > 0xFFFF) b.truncate(0xFFFF);
                    if (prefix == 1)
                        o.append(char(b.size()));
                    else if (prefix == 2)
                        put16(o, quint16(b.size()));
                    else
                        put32(o, quint32(b.size()));
                    o.append(b);
                    break;
                }
                case FieldType::Blob: {
                    const QByteArray b = col.bytes(std::size_t(r));
                    put32(o, quint32(b.size()));
                    o.append(b);
                    break;
                }
                case FieldType::SmallInt:
                    put16(o, quint16(col.ints[std::size_t(r)]));
                    break;
                case FieldType::Integer:
                    put32(o, quint32(col.ints[std::size_t(r)]));
                    break;
                case FieldType::LargeInt:
                case FieldType::Word:
                    put64(o, quint64(col.ints[std::size_t(r)]));
                    break;
                case FieldType::Boolean:
                    put16(o, col.ints[std::size_t(r)] ? 1 : 0);
                    break;
                case FieldType::Float: {
                    quint64 bits = 0;
                    const double v = col.reals[std::size_t(r)];
                    std::memcpy(&bits, &v, 8);
                    put64(o, bits);
                    break;
                }
                case FieldType::Bcd:
                    encodeBcd(o, col.reals[std::size_t(r)], 4);
                    break;
                case FieldType::Date:
                    put32(o, quint32(qint32(col.ints[std::size_t(r)] / kMsPerDay -
                                            kDayNumberToJulian)));
                    break;
                case FieldType::Time:
                    put32(o, quint32(col.ints[std::size_t(r)]));
                    break;
                case FieldType::DateTime: {
                    const qint64 ms = col.ints[std::size_t(r)] - kDayNumberToJulian * kMsPerDay;
                    const double v = double(ms);
                    quint64 bits = 0;
                    std::memcpy(&bits, &v, 8);
                    put64(o, bits);
                    break;
                }
            }
        }
    }
    return o;
}

}  // namespace dataset
