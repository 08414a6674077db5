#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>

namespace dataset::detail {

// The single-byte code page of ANSI strings in packets (Windows-1252 on Brazilian tills).
class AnsiCodec {
public:
    explicit AnsiCodec(const QByteArray& name);  // throws DataSetError for an unknown page
    QString decode(const char* data, std::size_t len) const;
    // false when some character has no byte in this page (the text would be damaged)
    bool canEncode(QStringView s) const;
    QByteArray encode(QStringView s) const;
    bool isUtf8() const { return kind_ == Kind::Utf8; }
    // ASCII bytes read as themselves (true for the Windows pages, Latin-1 and UTF-8).
    bool asciiCompatible() const { return kind_ != Kind::Qt; }

private:
    enum class Kind { Table, Latin1, Utf8, Qt } kind_ = Kind::Table;
    const std::uint16_t* high_ = nullptr;
    QByteArray name_;
};

}  // namespace dataset::detail
