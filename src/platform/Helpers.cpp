#include "platform/Platform.h"
#include "platform/TMessages.h"

namespace platform {

TMessages::TMessages(QObject* parent) : QObject(parent) {}

void TMessages::setLines(const QStringList& lines) {
    lines_ = lines;
}

QString TMessages::Msg(const QString& key) const {
    for (const QString& line : lines_) {
        const qsizetype bar = line.indexOf(QLatin1Char('|'));
        if (bar >= 0 && QStringView(line).left(bar) == key) return line.mid(bar + 1);
    }
    return {};
}

QString Ajusta(const QString& texto, int largura) {
    const QString t = texto.trimmed();
    // Longer texts stay whole: cutting would change the value.
    return t.size() >= largura ? t : t.rightJustified(largura, QLatin1Char('0'));
}

// Blanks count as empty: a caption of spaces is no selection.
bool EmptyString(const QString& texto) {
    return texto.trimmed().isEmpty();
}

void RefuseNul(const QString& texto, const QString& oQue) {
    if (texto.contains(QChar(0)))
        throw Error(
            QStringLiteral("%1 contém o caractere nulo (U+0000) e foi recusado.").arg(oQue));
}

QColor CorParaQColor(int cor) {
    const auto v = static_cast<quint32>(cor);
    return QColor(int(v & 0xFF), int((v >> 8) & 0xFF), int((v >> 16) & 0xFF));
}

namespace {
Clock& clock() {
    static Clock c;
    return c;
}
}  // namespace

Clock SetClock(Clock c) {
    Clock previous = std::move(clock());
    clock() = std::move(c);
    return previous;
}

QDateTime Agora() {
    return clock() ? clock()() : QDateTime::currentDateTime();
}

QDate Hoje() {
    return Agora().date();
}

}  // namespace platform
