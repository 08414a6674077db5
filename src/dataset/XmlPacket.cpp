// The XML data packet. The toolkit writes a narrow dialect (double-quoted attributes, no DTD)
// in either UTF-8 or the ANSI code page, and old versions leave a stray </PARAMS>; a standard
// parser rejects some of those files, so this reads them with a small tolerant parser.

#include <QDate>
#include <QStringDecoder>
#include <QTime>

#include <cmath>

#include "dataset/Codec_p.h"
#include "dataset/PacketFile_p.h"

namespace dataset::detail {

namespace {

constexpr int kMaxDepth = 32;

struct Node {
    QString tag;
    QList<std::pair<QString, QString>> attrs;
    QString text;
    std::vector<Node> children;

    const QString* attr(QLatin1String name) const {
        for (const auto& [k, v] : attrs)
            if (k.compare(name, Qt::CaseInsensitive) == 0) return &v;
        return nullptr;
    }
    const QString* attrExact(const QString& name) const {
        for (const auto& [k, v] : attrs)
            if (k == name) return &v;
        return nullptr;
    }
    const Node* child(QLatin1String name) const {
        for (const Node& c : children)
            if (c.tag.compare(name, Qt::CaseInsensitive) == 0) return &c;
        return nullptr;
    }
};

class Parser {
public:
    Parser(const QString& s, const QString& name) : s_(s), name_(name) {}

    Node parseDocument() {
        skipMisc();
        if (!at(u"<")) fail(QStringLiteral("não é um pacote de dados"));
        Node root;
        parseElement(root, 0);
        skipMisc();
        if (i_ < s_.size()) fail(QStringLiteral("conteúdo após o fim do pacote"));
        return root;
    }

private:
    [[noreturn]] void fail(const QString& reason) const {
        unreadable(name_, reason + QStringLiteral(" (caractere %1)").arg(i_));
    }
    bool at(QStringView t) const { return QStringView(s_).mid(i_).startsWith(t); }
    void skipSpace() {
        while (i_ < s_.size() && s_[i_].isSpace()) ++i_;
    }
    void skipPast(QStringView end, const char* what) {
        const qsizetype k = s_.indexOf(end, i_);
        if (k < 0) fail(QStringLiteral("%1 sem fim").arg(QString::fromUtf8(what)));
        i_ = k + end.size();
    }
    // Whitespace, comments and processing instructions between elements.
    void skipMisc() {
        for (;;) {
            skipSpace();
            if (at(u"<?")) {
                skipPast(u"?>", "instrução");
            } else if (at(u"<!--")) {
                skipPast(u"-->", "comentário");
            } else if (at(u"<!")) {
                fail(QStringLiteral("declarações DTD não são aceitas"));
            } else {
                return;
            }
        }
    }
    QString parseName() {
        const qsizetype start = i_;
        while (i_ < s_.size()) {
            const QChar c = s_[i_];
            if (c.isSpace() || c == QLatin1Char('=') || c == QLatin1Char('>') ||
                c == QLatin1Char('/') || c == QLatin1Char('<') || c == QLatin1Char('"') ||
                c == QLatin1Char('\''))
                break;
            ++i_;
        }
        if (i_ == start) fail(QStringLiteral("nome esperado"));
        return s_.mid(start, i_ - start);
    }
    // Appends the text up to `stop`, replacing references.
    void parseText(QString& out, QChar stop) {
        while (i_ < s_.size() && s_[i_] != stop) {
            if (s_[i_] == QLatin1Char('&')) {
                out += parseReference();
            } else if (stop != QLatin1Char('<') && s_[i_] == QLatin1Char('<')) {
                fail(QStringLiteral("'<' dentro de um atributo"));
            } else {
                out += s_[i_++];
            }
        }
    }
    QString parseReference() {
        const qsizetype semi = s_.indexOf(QLatin1Char(';'), i_);
        if (semi < 0 || semi - i_ > 12) fail(QStringLiteral("referência de caractere inválida"));
        const QStringView ref = QStringView(s_).mid(i_ + 1, semi - i_ - 1);
        i_ = semi + 1;
        if (ref == u"lt") return QStringLiteral("<");
        if (ref == u"gt") return QStringLiteral(">");
        if (ref == u"amp") return QStringLiteral("&");
        if (ref == u"quot") return QStringLiteral("\"");
        if (ref == u"apos") return QStringLiteral("'");
        if (ref.startsWith(u'#')) {
            bool ok = false;
            const uint code = (ref.size() > 1 && (ref[1] == u'x' || ref[1] == u'X'))
                                  ? ref.mid(2).toUInt(&ok, 16)
                                  : ref.mid(1).toUInt(&ok, 10);
            // A UTF-16 unit on its own (the writer's way with wide strings): pairs reassemble.
            if (ok && code >= 0xD800 && code <= 0xDFFF) return QString(QChar(char16_t(code)));
            if (ok && code > 0 && code <= 0x10FFFF) {
                const char32_t c = code;
                return QString::fromUcs4(&c, 1);
            }
        }
        fail(QStringLiteral("referência de caractere inválida"));
    }
    void parseElement(Node& n, int depth) {
        if (depth > kMaxDepth) fail(QStringLiteral("aninhamento profundo demais"));
        ++i_;  // '<'
        n.tag = parseName();
        for (;;) {
            skipSpace();
            if (i_ >= s_.size()) fail(QStringLiteral("elemento sem fim"));
            if (at(u"/>")) {
                i_ += 2;
                return;
            }
            if (s_[i_] == QLatin1Char('>')) {
                ++i_;
                break;
            }
            const QString key = parseName();
            skipSpace();
            if (!at(u"=")) fail(QStringLiteral("atributo sem valor"));
            ++i_;
            skipSpace();
            if (i_ >= s_.size() || (s_[i_] != QLatin1Char('"') && s_[i_] != QLatin1Char('\'')))
                fail(QStringLiteral("valor de atributo sem aspas"));
            const QChar quote = s_[i_++];
            QString value;
            parseText(value, quote);
            if (i_ >= s_.size()) fail(QStringLiteral("valor de atributo sem fim"));
            ++i_;
            n.attrs.append({key, value});
        }
        // Content.
        for (;;) {
            parseText(n.text, QLatin1Char('<'));
            if (i_ >= s_.size()) fail(QStringLiteral("elemento <%1> sem fim").arg(n.tag));
            if (at(u"<!--")) {
                skipPast(u"-->", "comentário");
            } else if (at(u"<![CDATA[")) {
                const qsizetype end = s_.indexOf(QStringLiteral("]]>"), i_);
                if (end < 0) fail(QStringLiteral("CDATA sem fim"));
                n.text += s_.mid(i_ + 9, end - i_ - 9);
                i_ = end + 3;
            } else if (at(u"<?")) {
                skipPast(u"?>", "instrução");
            } else if (at(u"<!")) {
                fail(QStringLiteral("declarações DTD não são aceitas"));
            } else if (at(u"</")) {
                const qsizetype save = i_;
                i_ += 2;
                const QString close = parseName();
                skipSpace();
                if (!at(u">")) fail(QStringLiteral("marca de fim inválida"));
                ++i_;
                if (close == n.tag) return;
                // An old toolkit writes </PARAMS> after a self-closed <PARAMS/>: skip a closing
                // tag that closes nothing open.
                if (close.compare(QLatin1String("PARAMS"), Qt::CaseInsensitive) == 0) continue;
                i_ = save;
                fail(QStringLiteral("marca </%1> não corresponde a <%2>").arg(close, n.tag));
            } else {
                n.children.emplace_back();
                parseElement(n.children.back(), depth + 1);
            }
        }
    }

    const QString& s_;
    QString name_;
    qsizetype i_ = 0;
};

bool isValidUtf8(const QByteArray& b) {
    QStringDecoder dec(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString s = dec(b);
    return !dec.hasError();
}

QString decodeFile(const QByteArray& bytes, const QString& name, const AnsiCodec& codec) {
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF"))
        unreadable(name, QStringLiteral("arquivos UTF-16 não são suportados"));
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        const QByteArray body = bytes.mid(3);
        if (!isValidUtf8(body)) unreadable(name, QStringLiteral("texto UTF-8 inválido"));
        return QString::fromUtf8(body);
    }
    bool utf8 = false;
    if (bytes.startsWith("<?xml")) {
        const qsizetype end = bytes.indexOf("?>");
        const QByteArray decl = bytes.left(end < 0 ? 0 : end).toLower();
        const qsizetype e = decl.indexOf("encoding");
        if (e >= 0) {
            const QByteArray rest = decl.mid(e + 8).trimmed();
            utf8 = rest.startsWith("=") && (rest.mid(1).trimmed().startsWith("\"utf-8\"") ||
                                            rest.mid(1).trimmed().startsWith("'utf-8'"));
        }
    }
    if (utf8 && isValidUtf8(bytes)) return QString::fromUtf8(bytes);
    return codec.decode(bytes.constData(), std::size_t(bytes.size()));
}

struct XmlField {
    QString attr;  // name used in ROW
    bool asElement = false;
    QString type;  // fieldtype, lower case
    QString subtype;
    int width = 0;
    int decimals = 0;
    bool link = false;
    int out = -1;
};

[[noreturn]] void badValue(const QString& file, const QString& field, const QString& v) {
    unreadable(file, QStringLiteral("valor \"%1\" inválido no campo '%2'").arg(v.left(40), field));
}

// Digits of the date part (the toolkit skips anything else there).
bool parseDate(QStringView s, QDate& out) {
    QString digits;
    for (QChar c : s)
        if (c.isDigit()) digits += c;
    if (digits.size() != 8) return false;
    out = QDate(digits.left(4).toInt(), digits.mid(4, 2).toInt(), digits.mid(6, 2).toInt());
    return out.isValid();
}

bool parseTime(QStringView s, QTime& out) {
    QString digits;
    for (QChar c : s)
        if (c.isDigit()) digits += c;
    if (digits.size() < 4) return false;
    const int h = digits.left(2).toInt(), m = digits.mid(2, 2).toInt();
    const int sec = digits.size() >= 6 ? digits.mid(4, 2).toInt() : 0;
    const int ms = digits.size() >= 9 ? digits.mid(6, 3).toInt() : 0;
    out = QTime(h, m, sec, ms);
    return out.isValid();
}

void storeValue(Table& t, int col, int row, const XmlField& f, const QString& v,
                const QString& file) {
    Column& c = *t.cols[std::size_t(col)];
    const std::size_t r = std::size_t(row);
    const FieldDef& def = t.fields[col];
    switch (kindOf(def.type)) {
        case Kind::Text: {
            QString s = v;
            if (def.size > 0 && s.size() > def.size && def.type != FieldType::Memo)
                s.truncate(def.size);
            c.setText(r, s);
            return;
        }
        case Kind::Bytes: {
            const auto res = QByteArray::fromBase64Encoding(
                v.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
            if (!res) badValue(file, def.name, v);
            c.setBytes(r, res.decoded.constData(), std::size_t(res.decoded.size()));
            return;
        }
        case Kind::Integer: {
            const QString s = v.trimmed();
            qsizetype k = 0;
            if (k < s.size() && (s[k] == QLatin1Char('-') || s[k] == QLatin1Char('+'))) ++k;
            const qsizetype start = k;
            while (k < s.size() && s[k].isDigit()) ++k;
            if (k == start) return;  // no digit: NULL, as the toolkit reads it
            bool ok = false;
            const qint64 n = s.left(k).toLongLong(&ok);
            if (!ok) badValue(file, def.name, v);
            c.setInt(r, n);
            return;
        }
        case Kind::Boolean: {
            const QString s = v.trimmed();
            c.setInt(
                r, !s.isEmpty() && (s[0] == QLatin1Char('T') || s[0] == QLatin1Char('t')) ? 1 : 0);
            return;
        }
        case Kind::Real: {
            bool ok = false;
            const double d = v.trimmed().toDouble(&ok);
            if (!ok) badValue(file, def.name, v);  // nan and inf pass: a binary file can hold them
            c.setReal(r, d);
            return;
        }
        case Kind::Date: {
            QDate d;
            if (!parseDate(QStringView(v).left(v.indexOf(QLatin1Char('T')) < 0
                                                   ? v.size()
                                                   : v.indexOf(QLatin1Char('T'))),
                           d))
                badValue(file, def.name, v);
            c.setInt(r, d.toJulianDay() * kMsPerDay);
            return;
        }
        case Kind::Time: {
            QTime tm;
            if (!parseTime(v, tm)) badValue(file, def.name, v);
            c.setInt(r, tm.msecsSinceStartOfDay());
            return;
        }
        case Kind::DateTime: {
            QString s = v.trimmed();
            if (f.type == QLatin1String("sqldatetimeoffset") && s.size() > 6 &&
                (s[s.size() - 6] == QLatin1Char('+') || s[s.size() - 6] == QLatin1Char('-')))
                s.chop(6);
            const qsizetype tpos = s.indexOf(QLatin1Char('T'));
            QDate d;
            QTime tm(0, 0);
            if (!parseDate(QStringView(s).left(tpos < 0 ? s.size() : tpos), d))
                badValue(file, def.name, v);
            if (tpos >= 0 && !parseTime(QStringView(s).mid(tpos + 1), tm))
                badValue(file, def.name, v);
            c.setInt(r, d.toJulianDay() * kMsPerDay + tm.msecsSinceStartOfDay());
            return;
        }
    }
}

FieldType typeOfXml(const XmlField& f, const QString& name, const QString& file) {
    const QString& t = f.type;
    if (t == QLatin1String("i1") || t == QLatin1String("i2")) return FieldType::SmallInt;
    if (t == QLatin1String("i4") || t == QLatin1String("i") || t == QLatin1String("int"))
        return FieldType::Integer;
    if (t == QLatin1String("i8")) return FieldType::LargeInt;
    if (t.startsWith(QLatin1String("ui")) &&
        (t == QLatin1String("ui1") || t == QLatin1String("ui2") || t == QLatin1String("ui4") ||
         t == QLatin1String("ui8")))
        return FieldType::Word;
    if (t == QLatin1String("r4") || t == QLatin1String("r8") || t == QLatin1String("r10"))
        return FieldType::Float;
    if (t == QLatin1String("fixed") || t == QLatin1String("fixedfmt")) return FieldType::Bcd;
    if (t == QLatin1String("boolean")) return FieldType::Boolean;
    if (t == QLatin1String("date")) return FieldType::Date;
    if (t == QLatin1String("time")) return FieldType::Time;
    if (t == QLatin1String("datetime") || t == QLatin1String("sqldatetime") ||
        t == QLatin1String("sqldatetimeoffset"))
        return FieldType::DateTime;
    if (t == QLatin1String("string")) return FieldType::String;
    if (t == QLatin1String("string.uni")) return FieldType::WideString;
    if (t == QLatin1String("bin.hex")) {
        if (f.subtype.compare(QLatin1String("Text"), Qt::CaseInsensitive) == 0 ||
            f.subtype.compare(QLatin1String("WideText"), Qt::CaseInsensitive) == 0)
            return FieldType::Memo;
        return FieldType::Blob;
    }
    if (t == QLatin1String("nested"))
        unreadable(file,
                   QStringLiteral("campo '%1': tabelas aninhadas não são suportadas").arg(name));
    unreadable(file, QStringLiteral("campo '%1' de tipo desconhecido \"%2\"").arg(name, t));
}

std::vector<qint64> numberList(const QString& s, const QString& file, const char* what) {
    std::vector<qint64> out;
    for (const QString& part : s.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        bool ok = false;
        const qint64 v = part.toLongLong(&ok);
        if (!ok)
            unreadable(file, QStringLiteral("parâmetro %1 inválido").arg(QString::fromUtf8(what)));
        out.push_back(v);
    }
    return out;
}

bool isTrue(const QString* v) {
    return v && !v->isEmpty() &&
           (v->at(0) == QLatin1Char('t') || v->at(0) == QLatin1Char('T') ||
            *v == QLatin1String("1"));
}

}  // namespace

DataPacket readXmlPacket(const QByteArray& bytes, const QString& name,
                         const PacketFileOptions& opts) {
    const AnsiCodec codec(opts.ansiCodec);
    const QString text = decodeFile(bytes, name, codec);
    Parser parser(text, name);
    const Node root = parser.parseDocument();
    if (root.tag.compare(QLatin1String("DATAPACKET"), Qt::CaseInsensitive) != 0)
        unreadable(name, QStringLiteral("não é um pacote de dados"));
    const Node* meta = root.child(QLatin1String("METADATA"));
    const Node* fieldsNode = meta ? meta->child(QLatin1String("FIELDS")) : nullptr;
    if (!fieldsNode) unreadable(name, QStringLiteral("pacote sem metadados"));

    std::vector<XmlField> xf;
    FieldDefs fields;
    bool afterStructured = false;
    for (const Node& n : fieldsNode->children) {
        if (n.tag.compare(QLatin1String("FIELD"), Qt::CaseInsensitive) != 0) continue;
        XmlField f;
        const QString* attr = n.attr(QLatin1String("attrname"));
        const QString* tag = n.attr(QLatin1String("tagname"));
        if (!attr && !tag) unreadable(name, QStringLiteral("campo sem nome"));
        f.attr = attr ? *attr : *tag;
        f.asElement = !attr || afterStructured;
        const QString* type = n.attr(QLatin1String("fieldtype"));
        if (!type) unreadable(name, QStringLiteral("campo '%1' sem tipo").arg(f.attr));
        f.type = type->toLower();
        if (const QString* st = n.attr(QLatin1String("SUBTYPE"))) f.subtype = *st;
        if (const QString* w = n.attr(QLatin1String("WIDTH"))) f.width = std::max(0, w->toInt());
        f.link = isTrue(n.attr(QLatin1String("linkfield")));
        if (n.child(QLatin1String("FIELDS"))) afterStructured = true;
        FieldDef def;
        const QString* real = n.attr(QLatin1String("fieldname"));
        def.name = fieldNameOf(real ? *real : f.attr);
        if (def.name.isEmpty()) unreadable(name, QStringLiteral("campo sem nome"));
        def.type = typeOfXml(f, def.name, name);
        if (def.type == FieldType::String) def.size = f.width;
        if (def.type == FieldType::WideString) def.size = f.width / 2;
        def.readOnly = isTrue(n.attr(QLatin1String("readonly")));
        def.required = isTrue(n.attr(QLatin1String("required")));
        def.visible = !isTrue(n.attr(QLatin1String("hidden")));
        if (!f.link) {
            f.out = int(fields.size());
            fields.append(def);
        }
        xf.push_back(f);
    }
    if (xf.empty()) unreadable(name, QStringLiteral("pacote sem campos"));
    renameDuplicates(fields);

    RawPacket raw;
    raw.table->fields = fields;
    for (const FieldDef& f : fields)
        raw.table->cols.push_back(std::make_shared<Column>(storageOf(f.type)));

    std::vector<qint64> changeLog, defaultOrder;
    if (const Node* params = meta->child(QLatin1String("PARAMS"))) {
        for (const auto& [k, v] : params->attrs) {
            if (k == QLatin1String("CHANGE_LOG"))
                changeLog = numberList(v, name, "CHANGE_LOG");
            else if (k == QLatin1String("DEFAULT_ORDER"))
                defaultOrder = numberList(v, name, "DEFAULT_ORDER");
            else if (k == QLatin1String("DATASET_DELTA") && isTrue(&v))
                unreadable(name,
                           QStringLiteral("o arquivo é um pacote de alterações, não uma tabela"));
        }
    }

    if (const Node* rows = root.child(QLatin1String("ROWDATA"))) {
        // An empty <ROW/> costs a few bytes but a cell per field: bound the cells by the file's
        // size.
        const qint64 cellBudget = qint64(bytes.size()) * 16 + (qint64(1) << 20);
        if (qint64(rows->children.size()) * std::max<qint64>(1, fields.size()) > cellBudget)
            unreadable(name, QStringLiteral("linhas e campos demais para o tamanho do arquivo"));
        for (const Node& row : rows->children) {
            if (!row.tag.startsWith(QLatin1String("ROW"), Qt::CaseInsensitive)) continue;
            int status = 0;
            if (const QString* rs = row.attr(QLatin1String("RowState"))) {
                bool ok = false;
                status = rs->toInt(&ok);
                if (!ok || status < 0 || (status & ~int(kStatusKnown)))
                    unreadable(name, QStringLiteral("estado de registro \"%1\" inválido").arg(*rs));
            }
            raw.status.push_back(std::uint8_t(status));
            raw.table->appendRow();
            const int r = raw.table->rows - 1;
            for (const XmlField& f : xf) {
                if (f.out < 0) continue;
                const QString* v = nullptr;
                if (!f.asElement) {
                    v = row.attrExact(f.attr);
                } else {
                    for (const Node& c : row.children)
                        if (c.tag == f.attr) v = &c.text;
                }
                if (v) storeValue(*raw.table, f.out, r, f, *v, name);
            }
        }
    }
    const qint64 rowCount = raw.table->rows;
    if (changeLog.size() % 3) unreadable(name, QStringLiteral("registro de alterações inválido"));
    for (std::size_t i = 0; i < changeLog.size(); i += 3) {
        if (changeLog[i] < 1 || changeLog[i] > rowCount || changeLog[i + 1] < 0 ||
            changeLog[i + 1] > rowCount)
            unreadable(name, QStringLiteral("registro de alterações aponta para fora das linhas"));
    }
    for (qint64 v : defaultOrder) {
        const qint64 k = (v & 0x3FFF) - 1;
        if (k < 0 || k >= qint64(xf.size()))
            unreadable(name, QStringLiteral("ordem padrão com campo inexistente"));
        if (xf[std::size_t(k)].out >= 0)
            raw.defaultOrder.push_back(
                {xf[std::size_t(k)].out, (v & 0x8000) != 0, (v & 0x4000) != 0});
    }
    return finishPacket(std::move(raw));
}

}  // namespace dataset::detail

namespace dataset {

namespace {

// Escapes a value the way the toolkit writes it; characters the file's code page cannot hold
// (and every non-ASCII one when `refsAbove127`) become numeric references.
void appendEscaped(QString& o, QStringView s, const detail::AnsiCodec* ansi, bool refsAbove127) {
    for (qsizetype i = 0; i < s.size(); ++i) {
        const QChar c = s[i];
        const char16_t u = c.unicode();
        if (u == 0) break;  // strings end at NUL, as the toolkit reads them
        const bool paired =
            (c.isHighSurrogate() && i + 1 < s.size() && s[i + 1].isLowSurrogate()) ||
            (c.isLowSurrogate() && i > 0 && s[i - 1].isHighSurrogate());
        if (c.isSurrogate() && !paired) {
            o += QStringLiteral("&#%1;").arg(int(u));
            continue;
        }
        switch (u) {
            case u'&':
                o += QLatin1String("&amp;");
                continue;
            case u'<':
                o += QLatin1String("&lt;");
                continue;
            case u'>':
                o += QLatin1String("&gt;");
                continue;
            case u'"':
                o += QLatin1String("&quot;");
                continue;
            case u'\'':
                o += QLatin1String("&apos;");
                continue;
            case u'\r':
                o += QLatin1String("&#013;");
                continue;
            case u'\n':
                o += QLatin1String("&#010;");
                continue;
            case u'\t':
                o += QLatin1String("&#009;");
                continue;
            case u'\\':
                o += QLatin1String("&#092;");
                continue;
            default:
                break;
        }
        if (u < 0x20 ||
            (u >= 0x80 && (refsAbove127 || (ansi && !ansi->canEncode(QStringView(&c, 1)))))) {
            o += QStringLiteral("&#%1;").arg(int(u));
        } else {
            o += c;
        }
    }
}

bool needsFieldName(const QString& n, bool utf8) {
    if (n.isEmpty() || n[0].isDigit()) return true;
    for (QChar c : n) {
        if (c.isSpace() || QStringView(u"()#*!$%?&<>\"'=/").contains(c)) return true;
        if (!utf8 && c.unicode() >= 0x80) return true;
    }
    return false;
}

QString xmlType(const FieldDef& d) {
    switch (d.type) {
        case FieldType::String:
            return QStringLiteral("string");
        case FieldType::WideString:
            return QStringLiteral("string.uni");
        case FieldType::Memo:
        case FieldType::Blob:
            return QStringLiteral("bin.hex");
        case FieldType::SmallInt:
            return QStringLiteral("i2");
        case FieldType::Integer:
            return QStringLiteral("i4");
        case FieldType::LargeInt:
            return QStringLiteral("i8");
        case FieldType::Word:
            return QStringLiteral("ui8");
        case FieldType::Float:
            return QStringLiteral("r8");
        case FieldType::Bcd:
            return QStringLiteral("fixed");
        case FieldType::Boolean:
            return QStringLiteral("boolean");
        case FieldType::Date:
            return QStringLiteral("date");
        case FieldType::Time:
            return QStringLiteral("time");
        case FieldType::DateTime:
            return QStringLiteral("dateTime");
    }
    return QStringLiteral("string");
}

QString timeText(int ms) {
    const QTime t = QTime::fromMSecsSinceStartOfDay(ms);
    return QStringLiteral("%1:%2:%3%4")
        .arg(t.hour(), 2, 10, QLatin1Char('0'))
        .arg(t.minute(), 2, 10, QLatin1Char('0'))
        .arg(t.second(), 2, 10, QLatin1Char('0'))
        .arg(t.msec(), 3, 10, QLatin1Char('0'));
}

QString dateText(qint64 julian) {
    const QDate d = QDate::fromJulianDay(julian);
    return QStringLiteral("%1%2%3")
        .arg(d.year(), 4, 10, QLatin1Char('0'))
        .arg(d.month(), 2, 10, QLatin1Char('0'))
        .arg(d.day(), 2, 10, QLatin1Char('0'));
}

}  // namespace

QByteArray writeXmlPacket(const DataPacket& p, bool utf8, const PacketFileOptions& opts) {
    using namespace detail;
    const AnsiCodec codec(opts.ansiCodec);
    const AnsiCodec* ansi = utf8 ? nullptr : &codec;
    const Table& t = *p.table();
    const FieldDefs& f = t.fields;
    if (f.isEmpty())
        throw DataSetError(QStringLiteral("Um pacote sem campos não pode ser gravado."));

    QString o;
    o += utf8 ? QLatin1String("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>  ")
              : QLatin1String("<?xml version=\"1.0\" standalone=\"yes\"?>  ");
    o += QLatin1String("<DATAPACKET Version=\"2.0\"><METADATA><FIELDS>");
    // A row's attribute names must be unique and none may be read as the row's state: a name
    // that cannot stand as itself gets a made-up one that no other field of the packet uses.
    QStringList attrNames;
    auto taken = [&](const QString& n) {
        if (n.compare(QLatin1String("RowState"), Qt::CaseInsensitive) == 0) return true;
        for (const QString& a : std::as_const(attrNames))
            if (a.compare(n, Qt::CaseInsensitive) == 0) return true;
        return false;
    };
    for (const FieldDef& d : f)
        attrNames << (needsFieldName(d.name, utf8) || taken(d.name) ? QString() : d.name);
    for (int c = 0; c < f.size(); ++c) {
        if (!attrNames[c].isEmpty()) continue;
        QString made = QStringLiteral("xF%1").arg(c);
        while (taken(made)) made += QLatin1Char('_');
        attrNames[c] = made;
    }
    for (int c = 0; c < f.size(); ++c) {
        const FieldDef& d = f[c];
        const QString& attr = attrNames[c];
        const bool real = attr != d.name;
        o += QLatin1String("<FIELD attrname=\"");
        appendEscaped(o, attr, ansi, false);
        o += QLatin1Char('"');
        if (real) {
            o += QLatin1String(" fieldname=\"");
            appendEscaped(o, d.name, ansi, false);
            o += QLatin1Char('"');
        }
        o += QLatin1String(" fieldtype=\"") + xmlType(d) + QLatin1Char('"');
        if (d.readOnly) o += QLatin1String(" readonly=\"true\"");
        if (d.required) o += QLatin1String(" required=\"true\"");
        if (!d.visible) o += QLatin1String(" hidden=\"true\"");
        if (d.type == FieldType::String && d.size > 0)
            o += QStringLiteral(" WIDTH=\"%1\"").arg(d.size);
        if (d.type == FieldType::WideString && d.size > 0)
            o += QStringLiteral(" WIDTH=\"%1\"").arg(d.size * 2);
        if (d.type == FieldType::Bcd) o += QLatin1String(" DECIMALS=\"4\" WIDTH=\"32\"");
        if (d.type == FieldType::Memo) o += QLatin1String(" SUBTYPE=\"Text\"");
        if (d.type == FieldType::Blob) o += QLatin1String(" SUBTYPE=\"Binary\"");
        o += QLatin1String("/>");
    }
    o += QLatin1String("</FIELDS><PARAMS/></METADATA><ROWDATA>");
    for (int r = 0; r < t.rows; ++r) {
        o += QLatin1String("<ROW");
        for (int c = 0; c < f.size(); ++c) {
            const Column& col = *t.cols[std::size_t(c)];
            const std::size_t rr = std::size_t(r);
            if (col.isNull(rr)) continue;  // an absent attribute is NULL
            o += QLatin1Char(' ') + attrNames[c] + QLatin1String("=\"");
            switch (f[c].type) {
                case FieldType::String:
                case FieldType::Memo:
                    appendEscaped(o, col.text(rr), ansi, false);
                    break;
                case FieldType::WideString:
                    appendEscaped(o, col.text(rr), ansi, true);
                    break;
                case FieldType::Blob:
                    o += QString::fromLatin1(col.bytes(rr).toBase64());
                    break;
                case FieldType::SmallInt:
                case FieldType::Integer:
                case FieldType::LargeInt:
                case FieldType::Word:
                    o += QString::number(col.ints[rr]);
                    break;
                case FieldType::Boolean:
                    o += col.ints[rr] ? QLatin1String("TRUE") : QLatin1String("FALSE");
                    break;
                case FieldType::Float:
                    o += QString::number(col.reals[rr], 'g', 17);
                    break;
                case FieldType::Bcd:
                    o += QString::number(col.reals[rr], 'f', 4);
                    break;
                case FieldType::Date:
                    o += dateText(col.ints[rr] / kMsPerDay);
                    break;
                case FieldType::Time:
                    o += timeText(int(col.ints[rr]));
                    break;
                case FieldType::DateTime: {
                    // No QDateTime here: a local midnight lost to daylight saving would shift.
                    const qint64 ms = col.ints[rr];
                    const qint64 day = ms / kMsPerDay - (ms % kMsPerDay < 0 ? 1 : 0);
                    o += dateText(day) + QLatin1Char('T') + timeText(int(ms - day * kMsPerDay));
                    break;
                }
            }
            o += QLatin1Char('"');
        }
        o += QLatin1String("/>");
    }
    o += QLatin1String("</ROWDATA></DATAPACKET>\r\n");
    return utf8 ? o.toUtf8() : codec.encode(o);
}

}  // namespace dataset
