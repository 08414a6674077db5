#include "module/screen/BadgeReader.h"

#include <QDebug>

#include <cstdint>

#include "platform/Platform.h"

namespace Cli_Kel00815 {

BadgeReaderSettings BadgeReaderSettings::fromConfiguration() {
    BadgeReaderSettings s;
    try {
        s = from([](const QString& chave) {
            return platform::ValorDoConexaoIni(chave).value_or(QString());
        });
    } catch (...) {
        // An unreadable conexao.ini fails the connect with its message; the reader keeps its
        // defaults meanwhile.
        s.recusados << platform::TextoDaExcecao(std::current_exception(), QString());
    }
    for (const QString& r : s.recusados)
        qWarning().noquote() << QStringLiteral("Leitor de crachá, conexao.ini: %1").arg(r);
    return s;
}

bool BadgeBurst::doMapa(int virtualKey) {
    switch (virtualKey) {
        case 32:   // Space: marks
        case 13:   // Enter: next header step
        case 27:   // Escape: closes
        case 112:  // F1: fiscal menu
        case 120:  // F9: the step's picker
        case 'E':
        case 'G':
        case 'I':
        case 'P':
        case 'N':  // marks again who the last run did not sell
            return true;
        default:
            return false;
    }
}

void BadgeBurst::setSettings(const BadgeReaderSettings& s) {
    s_ = s;
    emCurso_ = false;
    lido_.clear();
}

BadgeBurst::Acao BadgeBurst::recebe(int qtKey, const QString& texto, unsigned long ms) {
    // A reader holds Shift for a capital or a symbol: modifiers neither start nor end a burst.
    switch (qtKey) {
        case Qt::Key_Shift:
        case Qt::Key_Control:
        case Qt::Key_Alt:
        case Qt::Key_AltGr:
        case Qt::Key_Meta:
        case Qt::Key_CapsLock:
        case Qt::Key_NumLock:
            return Acao::Passa;
        default:
            break;
    }
    // Enter and Tab as the reader sends them, whatever text the platform gave them.
    QString t = texto;
    if (qtKey == Qt::Key_Return || qtKey == Qt::Key_Enter) t = QStringLiteral("\r");
    if (qtKey == Qt::Key_Tab) t = QStringLiteral("\t");

    // The window system's clock is 32 bits of milliseconds: the difference taken in 32 bits is
    // right across its wrap, and a clock going back ends the burst.
    if (emCurso_ && std::uint32_t(ms - ultimo_) > std::uint32_t(s_.janelaMs)) {
        emCurso_ = false;
        lido_.clear();
    }
    const bool caractere = t.size() == 1 && (t.at(0).isPrint() || s_.sufixo.contains(t));

    if (emCurso_) {
        if (!caractere) {  // a key no reader sends: the burst was a person's
            emCurso_ = false;
            lido_.clear();
            return Acao::Passa;
        }
        lido_ += t;
        ultimo_ = ms;
        if (!lido_.endsWith(s_.sufixo)) return Acao::Engole;
        QString codigo = lido_.chopped(s_.sufixo.size());
        if (!s_.prefixo.isEmpty() && codigo.startsWith(s_.prefixo))
            codigo = codigo.mid(s_.prefixo.size());
        emCurso_ = false;
        lido_.clear();
        codigo_ = codigo.trimmed();
        return codigo_.isEmpty() ? Acao::Engole : Acao::Lido;
    }

    if (!s_.ligado || t.size() != 1 || !t.at(0).isPrint()) return Acao::Passa;
    const QChar c = t.at(0);
    const bool prefixo = !s_.prefixo.isEmpty() && c == s_.prefixo.at(0);
    const int vk = c.isLetter() ? c.toUpper().unicode() : c.unicode();
    if (!prefixo && doMapa(vk)) return Acao::Passa;  // a key of the key map acts at once
    emCurso_ = true;
    ultimo_ = ms;
    lido_ = t;
    return Acao::Engole;
}

}  // namespace Cli_Kel00815
