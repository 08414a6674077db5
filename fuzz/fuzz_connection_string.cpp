// libFuzzer target: the connection-string parser and the rule that removes secrets. The input is
// a connection string, then (after a byte 0x01) a password. The password goes where the string
// holds a byte 0x02 right after a password key ("Password=\x02", separators missing or not),
// else at its end as ";Password=". Whatever the string, parsing ends in settings or in
// platform::Error, and the texts a driver or the operator may see, once the rule has run over
// them, neither show the password nor depend on it: the same string with another password of
// the same shape gives the same texts.
#include <QRegularExpression>
#include <QString>

#include <cstdint>
#include <cstdlib>

#include "platform/ConnectionText_p.h"
#include "platform/Platform.h"
#include "platform/TADOConnection.h"

namespace {

QString comSenha(const QString& modelo, const QString& senha) {
    static const QRegularExpression chave(QStringLiteral("(?i)(pwd|password)\\s*=\\s*$"));
    const qsizetype lugar = modelo.indexOf(QChar(2));
    if (lugar >= 0 && chave.match(modelo.left(lugar)).hasMatch())
        return modelo.left(lugar) + senha + modelo.mid(lugar + 1);
    return modelo + QStringLiteral(";Password=") + senha;
}

// The text made from a connection string: the driver's string or the error; then what the rule
// lets through of it.
struct Textos {
    QString bruto;
    QString visto;
};

Textos textos(const QString& cs) {
    QString texto;
    try {
        texto = platform::ConnectionSettings::parse(cs).databaseName;
    } catch (const platform::Error& e) {
        texto = e.message();
    }
    return {texto, platform::detail::scrubSecretsForTest(texto, cs)};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString entrada = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const qsizetype corte = entrada.indexOf(QChar(1));
    const QString modelo = corte < 0 ? entrada : entrada.left(corte);
    QString senha = corte < 0 ? QStringLiteral("Canario7") : entrada.mid(corte + 1);
    // A plain value: what would end or quote it belongs to the string's shape.
    for (const char16_t c :
         {u';', u'{', u'}', u'"', u'\'', u'\r', u'\n', u'\0', u'\1', u'\2', u'='})
        senha.remove(QChar(c));
    senha = senha.trimmed();
    if (senha.size() < 4 || senha.count(QLatin1Char('*')) == senha.size() ||
        modelo.contains(senha, Qt::CaseInsensitive))
        return 0;
    // Another password of the same shape: letters and digits changed, the rest kept.
    QString outra = senha;
    for (QChar& c : outra)
        if (c.isLetter())
            c = QLatin1Char('q');
        else if (c.isDigit())
            c = QLatin1Char('7');
    if (modelo.contains(outra, Qt::CaseInsensitive)) return 0;
    // Without its separators the password may be read as part of the driver's name; a driver's
    // name in it then changes which driver the string names, not what a text shows of it.
    for (const char* nome : {"freetds", "libtdsodbc", "sqlite", "postgres", "psqlodbc"})
        if (senha.contains(QLatin1String(nome), Qt::CaseInsensitive)) return 0;

    // A password that is also a word of the system's own text ("info" in "informe") shows
    // there whatever the string's password is, and is masked there too: no way to tell the two
    // texts apart then.
    const Textos comEsta = textos(comSenha(modelo, senha));
    const Textos comOutra = textos(comSenha(modelo, outra));
    if (comOutra.bruto.contains(senha, Qt::CaseInsensitive) ||
        comEsta.bruto.contains(outra, Qt::CaseInsensitive))
        return 0;
    if (comEsta.visto.contains(senha)) std::abort();
    if (comEsta.visto != comOutra.visto) std::abort();
    return 0;
}
