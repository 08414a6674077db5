#include <QStringDecoder>
#include <QStringEncoder>

#include "dataset/CodePages_p.h"
#include "dataset/Codec_p.h"
#include "dataset/FieldDef.h"

namespace dataset::detail {

namespace {
QByteArray normalized(const QByteArray& n) {
    QByteArray s = n.toLower();
    s.replace("-", "").replace("_", "");
    return s;
}
}  // namespace

AnsiCodec::AnsiCodec(const QByteArray& name) : name_(name) {
    const QByteArray n = normalized(name);
    if (n == "windows1252" || n == "cp1252" || n == "1252") {
        high_ = kCp1252High;
    } else if (n == "windows1251" || n == "cp1251" || n == "1251") {
        high_ = kCp1251High;
    } else if (n == "latin1" || n == "iso88591") {
        kind_ = Kind::Latin1;
    } else if (n == "utf8") {
        kind_ = Kind::Utf8;
    } else if (QStringDecoder(name.constData()).isValid()) {
        kind_ = Kind::Qt;
    } else {
        throw DataSetError(
            QStringLiteral("Página de código desconhecida: %1.").arg(QString::fromLatin1(name)));
    }
}

QString AnsiCodec::decode(const char* data, std::size_t len) const {
    switch (kind_) {
        case Kind::Latin1:
            return QString::fromLatin1(data, qsizetype(len));
        case Kind::Utf8:
            return QString::fromUtf8(data, qsizetype(len));
        case Kind::Qt: {
            QStringDecoder dec(name_.constData());
            return dec.decode(QByteArrayView(data, qsizetype(len)));
        }
        case Kind::Table:
            break;
    }
    QString out(qsizetype(len), Qt::Uninitialized);
    QChar* o = out.data();
    for (std::size_t i = 0; i < len; ++i) {
        const unsigned char b = static_cast<unsigned char>(data[i]);
        const std::uint16_t u = b < 0x80 ? b : high_[b - 0x80];
        o[i] = QChar(u ? u : b);
    }
    return out;
}

bool AnsiCodec::canEncode(QStringView s) const {
    if (kind_ == Kind::Utf8) return true;
    if (kind_ == Kind::Latin1) {
        for (QChar c : s)
            if (c.unicode() > 0xFF) return false;
        return true;
    }
    if (kind_ == Kind::Qt) {
        QStringEncoder enc(name_.constData());
        const QByteArray b = enc(s);
        return !enc.hasError() && decode(b.constData(), std::size_t(b.size())) == s;
    }
    for (QChar c : s) {
        const char16_t u = c.unicode();
        if (u < 0x80) continue;
        bool found = false;
        for (int i = 0; i < 128 && !found; ++i) found = (high_[i] ? high_[i] : 0x80 + i) == u;
        if (!found) return false;
    }
    return true;
}

QByteArray AnsiCodec::encode(QStringView s) const {
    switch (kind_) {
        case Kind::Latin1:
            return s.toLatin1();
        case Kind::Utf8:
            return s.toUtf8();
        case Kind::Qt: {
            QStringEncoder enc(name_.constData());
            return enc(s);
        }
        case Kind::Table:
            break;
    }
    QByteArray out;
    out.reserve(s.size());
    for (QChar c : s) {
        const char16_t u = c.unicode();
        if (u < 0x80) {
            out.append(char(u));
            continue;
        }
        char b = '?';
        for (int i = 0; i < 128; ++i) {
            if ((high_[i] ? high_[i] : 0x80 + i) == u) {
                b = char(0x80 + i);
                break;
            }
        }
        out.append(b);
    }
    return out;
}

}  // namespace dataset::detail
