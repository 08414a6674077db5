#include "cdstool/CdsTool.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSaveFile>

#include <limits>
#include <optional>

#include "dataset/ClientDataSet.h"
#include "dataset/PacketFile.h"

using namespace dataset;

namespace {

const char* const kUsage =
    "Uso:\n"
    "  cdstool dump ARQUIVO [--codepage CP]\n"
    "      mostra os campos e cada registro visível, na ordem em que o conjunto de dados os\n"
    "      apresenta (a ordem padrão do arquivo, se houver), em JSON (um por linha)\n"
    "  cdstool make ARQUIVO [--format binary|xml|xml-utf8] [--input JSONL] [--codepage CP]\n"
    "      grava um arquivo a partir de linhas JSON no formato do dump (entrada padrão por "
    "omissão)\n"
    "  cdstool param ARQUIVO --filial F --caixa C --esquema E --cores c1,c2,c3,c4,c5,c6\n"
    "                [--format binary|xml|xml-utf8]\n"
    "      grava o arquivo de parâmetros do terminal (PARAMETROSZOR.CDS); a filial tem até 4\n"
    "      caracteres e o caixa até 3 (mais longos são recusados); um número mais curto ganha\n"
    "      zeros à esquerda (--caixa 1 grava 001), e o cdstool diz que completou\n"
    "  cdstool --version\n"
    "Cores: decimal, 0xBBGGRR ou $BBGGRR. Página de código padrão: Windows-1252.\n"
    "Saída: 0 feito; 1 arquivo ilegível, inválido ou não gravado; 2 uso incorreto.\n";

struct UsageError {
    QString text;
};

const struct {
    FieldType type;
    const char* name;
} kTypeNames[] = {
    {FieldType::String, "String"},     {FieldType::WideString, "WideString"},
    {FieldType::Memo, "Memo"},         {FieldType::Integer, "Integer"},
    {FieldType::SmallInt, "SmallInt"}, {FieldType::LargeInt, "LargeInt"},
    {FieldType::Word, "Word"},         {FieldType::Float, "Float"},
    {FieldType::Bcd, "Bcd"},           {FieldType::Boolean, "Boolean"},
    {FieldType::Date, "Date"},         {FieldType::Time, "Time"},
    {FieldType::DateTime, "DateTime"}, {FieldType::Blob, "Blob"},
};

QString typeName(FieldType t) {
    for (const auto& n : kTypeNames)
        if (n.type == t) return QLatin1String(n.name);
    return QStringLiteral("String");
}

FieldType typeOfName(const QString& s) {
    for (const auto& n : kTypeNames)
        if (s.compare(QLatin1String(n.name), Qt::CaseInsensitive) == 0) return n.type;
    throw DataSetError(QStringLiteral("Tipo de campo desconhecido: \"%1\".").arg(s));
}

// Options after the file name: --name value pairs.
struct Options {
    QString file;
    QHash<QString, QString> values;

    static Options parse(const QStringList& args, const QStringList& known) {
        Options o;
        for (int i = 0; i < args.size(); ++i) {
            const QString& a = args[i];
            if (a.startsWith(QLatin1String("--"))) {
                const QString name = a.mid(2);
                if (!known.contains(name))
                    throw UsageError{QStringLiteral("opção desconhecida: %1").arg(a)};
                if (i + 1 >= args.size())
                    throw UsageError{QStringLiteral("falta o valor de %1").arg(a)};
                o.values.insert(name, args[++i]);
            } else if (o.file.isEmpty()) {
                o.file = a;
            } else {
                throw UsageError{QStringLiteral("argumento a mais: %1").arg(a)};
            }
        }
        if (o.file.isEmpty()) throw UsageError{QStringLiteral("falta o nome do arquivo")};
        return o;
    }
    PacketFileOptions packetOptions() const {
        PacketFileOptions p;
        if (values.contains(QStringLiteral("codepage")))
            p.ansiCodec = values.value(QStringLiteral("codepage")).toLatin1();
        return p;
    }
};

QString jsonValue(const QJsonValue& v) {
    const QByteArray a = QJsonDocument(QJsonArray{v}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(a.mid(1, a.size() - 2));
}

QJsonValue valueToJson(const QVariant& v, FieldType t) {
    if (v.isNull()) return QJsonValue(QJsonValue::Null);
    switch (t) {
        case FieldType::Integer:
        case FieldType::SmallInt:
        case FieldType::LargeInt:
        case FieldType::Word:
            return QJsonValue(v.toLongLong());
        case FieldType::Float:
        case FieldType::Bcd:
            return QJsonValue(v.toDouble());
        case FieldType::Boolean:
            return QJsonValue(v.toBool());
        case FieldType::Date:
            return QJsonValue(v.toDate().toString(QStringLiteral("yyyy-MM-dd")));
        case FieldType::Time:
            return QJsonValue(v.toTime().toString(QStringLiteral("HH:mm:ss.zzz")));
        case FieldType::DateTime:
            return QJsonValue(v.toDateTime().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz")));
        case FieldType::Blob:
            return QJsonValue(QString::fromLatin1(v.toByteArray().toBase64()));
        default:
            return QJsonValue(v.toString());
    }
}

QString fieldsLine(const FieldDefs& defs) {
    QStringList parts;
    for (const FieldDef& f : defs) {
        parts << QStringLiteral(
                     "{\"name\":%1,\"type\":\"%2\",\"size\":%3,\"required\":%4,\"readOnly\":%5,"
                     "\"hidden\":%6}")
                     .arg(jsonValue(f.name), typeName(f.type))
                     .arg(f.size)
                     .arg(QLatin1String(f.required ? "true" : "false"),
                          QLatin1String(f.readOnly ? "true" : "false"),
                          QLatin1String(f.visible ? "false" : "true"));
    }
    return QStringLiteral("{\"fields\":[") + parts.join(QLatin1Char(',')) + QStringLiteral("]}");
}

int dump(const QStringList& args, QTextStream& out) {
    const Options o = Options::parse(args, {QStringLiteral("codepage")});
    ClientDataSet ds;
    ds.setData(readPacketFile(o.file, o.packetOptions()));
    out << fieldsLine(ds.declaredFieldDefs().isEmpty() ? ds.data().fields()
                                                       : ds.declaredFieldDefs())
        << '\n';
    for (ds.first(); !ds.eof(); ds.next()) {
        QStringList parts;
        for (int i = 0; i < ds.fieldCount(); ++i) {
            const Field f = ds.field(i);
            parts << jsonValue(f.fieldName()) + QLatin1Char(':') +
                         jsonValue(valueToJson(f.value(), f.def().type));
        }
        out << '{' << parts.join(QLatin1Char(',')) << "}\n";
    }
    return 0;
}

QByteArray encode(const DataPacket& p, const Options& o) {
    const QString format = o.values.value(QStringLiteral("format"), QStringLiteral("binary"));
    if (format == QLatin1String("binary")) return writeBinaryPacket(p, o.packetOptions());
    if (format == QLatin1String("xml")) return writeXmlPacket(p, false, o.packetOptions());
    if (format == QLatin1String("xml-utf8")) return writeXmlPacket(p, true, o.packetOptions());
    throw UsageError{QStringLiteral("formato desconhecido: %1").arg(format)};
}

void save(const QString& path, const QByteArray& bytes) {
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size() || !f.commit())
        throw DataSetError(QStringLiteral("Não foi possível gravar o arquivo \"%1\": %2.")
                               .arg(path, f.errorString()));
}

QJsonObject parseLine(const QByteArray& line, int number) {
    QJsonParseError e;
    const QJsonDocument doc = QJsonDocument::fromJson(line, &e);
    if (e.error != QJsonParseError::NoError || !doc.isObject())
        throw DataSetError(
            QStringLiteral("Linha %1: JSON inválido (%2).").arg(number).arg(e.errorString()));
    return doc.object();
}

int make(const QStringList& args, QIODevice& stdIn) {
    const Options o = Options::parse(
        args, {QStringLiteral("format"), QStringLiteral("input"), QStringLiteral("codepage")});
    QFile file;
    QIODevice* in = &stdIn;
    if (o.values.contains(QStringLiteral("input"))) {
        file.setFileName(o.values.value(QStringLiteral("input")));
        if (!file.open(QIODevice::ReadOnly))
            throw DataSetError(QStringLiteral("Não foi possível abrir \"%1\": %2.")
                                   .arg(file.fileName(), file.errorString()));
        in = &file;
    }
    int number = 0;
    std::optional<DataPacket::Builder> builder;
    FieldDefs defs;
    while (!in->atEnd()) {
        const QByteArray line = in->readLine().trimmed();
        ++number;
        if (line.isEmpty()) continue;
        const QJsonObject obj = parseLine(line, number);
        if (!builder) {
            const QJsonArray fields = obj.value(QStringLiteral("fields")).toArray();
            if (fields.isEmpty())
                throw DataSetError(
                    QStringLiteral("Linha %1: a primeira linha deve descrever os campos.")
                        .arg(number));
            for (const QJsonValue& v : fields) {
                const QJsonObject f = v.toObject();
                FieldDef d;
                d.name = f.value(QStringLiteral("name")).toString();
                if (d.name.isEmpty())
                    throw DataSetError(QStringLiteral("Linha %1: campo sem nome.").arg(number));
                d.type =
                    typeOfName(f.value(QStringLiteral("type")).toString(QStringLiteral("String")));
                d.size = f.value(QStringLiteral("size")).toInt(0);
                d.required = f.value(QStringLiteral("required")).toBool(false);
                d.readOnly = f.value(QStringLiteral("readOnly")).toBool(false);
                d.visible = !f.value(QStringLiteral("hidden")).toBool(false);
                defs.append(d);
            }
            builder.emplace(defs);
            continue;
        }
        builder->appendRow();
        for (int c = 0; c < defs.size(); ++c) {
            const QJsonValue v = obj.value(defs[c].name);
            if (v.isNull() || v.isUndefined()) continue;
            try {
                if (defs[c].type == FieldType::Blob) {
                    builder->setBytes(c, QByteArray::fromBase64(v.toString().toLatin1()));
                } else if (defs[c].isText()) {
                    QString s = v.isString() ? v.toString() : jsonValue(v);
                    if (defs[c].size > 0) s.truncate(defs[c].size);
                    builder->setText(c, s);
                } else {
                    builder->setValue(c, v.toVariant());
                }
            } catch (const DataSetError& e) {
                throw DataSetError(QStringLiteral("Linha %1, campo %2: %3")
                                       .arg(number)
                                       .arg(defs[c].name, e.message()));
            }
        }
    }
    if (!builder)
        throw DataSetError(QStringLiteral("Entrada vazia: falta a linha que descreve os campos."));
    save(o.file, encode(builder->finish(), o));
    return 0;
}

qint32 parseColour(const QString& raw) {
    const QString s = raw.trimmed();
    bool ok = false;
    qint64 v = 0;
    if (s.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        v = s.mid(2).toLongLong(&ok, 16);
    else if (s.startsWith(QLatin1Char('$')))
        v = s.mid(1).toLongLong(&ok, 16);
    else
        v = s.toLongLong(&ok, 10);
    if (!ok || v < std::numeric_limits<qint32>::min() ||
        v > qint64(std::numeric_limits<quint32>::max()))
        throw UsageError{QStringLiteral("cor inválida: \"%1\"").arg(raw)};
    return qint32(quint32(v));  // the toolkit's colours are 32-bit signed
}

// A till code in its field: longer is refused (the database would never match it); a shorter
// number gets the leading zeros the till's codes carry ("1" is till "001"), and says so.
QString codigo(const Options& o, const char* opcao, int largura, QTextStream& out) {
    const QString nome = QLatin1String(opcao);
    const QString v = o.values.value(nome).trimmed();
    if (v.isEmpty()) throw UsageError{QStringLiteral("--%1 não pode ser vazio").arg(nome)};
    if (v.size() > largura)
        throw UsageError{QStringLiteral("--%1 tem no máximo %2 caracteres: \"%3\" tem %4")
                             .arg(nome)
                             .arg(largura)
                             .arg(v)
                             .arg(v.size())};
    static const QRegularExpression digitos(QStringLiteral("^[0-9]+$"));
    if (v.size() == largura || !digitos.match(v).hasMatch()) return v;
    const QString completo = v.rightJustified(largura, QLatin1Char('0'));
    out << QStringLiteral(
               "cdstool: --%1 \"%2\" gravado como \"%3\" (zeros à esquerda, %4 "
               "posições)\n")
               .arg(nome, v, completo)
               .arg(largura);
    return completo;
}

int param(const QStringList& args, QTextStream& out) {
    const Options o = Options::parse(
        args, {QStringLiteral("filial"), QStringLiteral("caixa"), QStringLiteral("esquema"),
               QStringLiteral("cores"), QStringLiteral("format"), QStringLiteral("codepage")});
    for (const char* required : {"filial", "caixa", "esquema", "cores"})
        if (!o.values.contains(QLatin1String(required)))
            throw UsageError{QStringLiteral("falta --%1").arg(QLatin1String(required))};
    const QStringList cores = o.values.value(QStringLiteral("cores")).split(QLatin1Char(','));
    if (cores.size() != 6)
        throw UsageError{QStringLiteral("--cores precisa de seis cores separadas por vírgula")};
    FieldDefs defs;
    for (int i = 1; i <= 6; ++i) {
        FieldDef d;
        d.name = QStringLiteral("INCOR%1").arg(i);
        d.type = FieldType::Integer;
        defs.append(d);
    }
    const QString esquema = o.values.value(QStringLiteral("esquema"));
    const QString filial = codigo(o, "filial", 4, out);
    const QString caixa = codigo(o, "caixa", 3, out);
    defs.append(FieldDef::text(QStringLiteral("IDESQUEMA"), std::max<int>(3, int(esquema.size()))));
    defs.append(FieldDef::text(QStringLiteral("CDFILIAL"), 4));
    defs.append(FieldDef::text(QStringLiteral("CDCAIXA"), 3));
    DataPacket::Builder b(defs);
    b.appendRow();
    for (int i = 0; i < 6; ++i) b.setInteger(i, parseColour(cores[i]));
    b.setText(6, esquema);
    b.setText(7, filial);
    b.setText(8, caixa);
    save(o.file, encode(b.finish(), o));
    return 0;
}

}  // namespace

int runCdsTool(const QStringList& args, QTextStream& out, QTextStream& err, QIODevice& in) {
    try {
        if (args.isEmpty()) throw UsageError{QString()};
        const QString cmd = args.first();
        const QStringList rest = args.mid(1);
        if (cmd == QLatin1String("dump")) return dump(rest, out);
        if (cmd == QLatin1String("make")) return make(rest, in);
        if (cmd == QLatin1String("param")) return param(rest, out);
        if (cmd == QLatin1String("--help") || cmd == QLatin1String("-h")) {
            out << QString::fromUtf8(kUsage);
            return 0;
        }
        if (cmd == QLatin1String("--version")) {
            out << "cdstool " << LISTAPRESENCA_VERSAO << '\n';
            return 0;
        }
        throw UsageError{QStringLiteral("comando desconhecido: %1").arg(cmd)};
    } catch (const UsageError& e) {
        if (!e.text.isEmpty()) err << "cdstool: " << e.text << '\n';
        err << QString::fromUtf8(kUsage);
        return 2;
    } catch (const DataSetError& e) {
        err << "cdstool: " << e.message() << '\n';
        return 1;
    }
}
