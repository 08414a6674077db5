#pragma once

// A till's badge reader types like a keyboard: the code, then Enter, each character a few
// milliseconds after the last. BadgeBurst tells such a burst from a person's keys, one key press
// at a time, by the presses' own timestamps; the keys of the grid's key map are never held back.

#include <QString>
#include <QStringList>

#include <pkg_kel00815/kel00815_export.h>

namespace Cli_Kel00815 {

// The reader's settings, lines of conexao.ini beside the host.
struct KEL00815_TEST_EXPORT BadgeReaderSettings {
    bool ligado = true;                     // LeitorCracha=S|N
    int janelaMs = 50;                      // LeitorJanelaMs=, 5 to 1000
    QString prefixo;                        // LeitorPrefixo=, empty: none
    QString sufixo = QStringLiteral("\r");  // LeitorSufixo=Enter|Tab|text
    QStringList recusados;                  // the lines refused, worded for the log

    // The settings a lookup of conexao.ini gives (a null text: the line is missing).
    template <typename Lookup>
    static BadgeReaderSettings from(Lookup valor);
    static BadgeReaderSettings fromConfiguration();  // conexao.ini beside the host
};

class KEL00815_TEST_EXPORT BadgeBurst {
public:
    enum class Acao {
        Passa,   // not the reader's: the key acts as it always has
        Engole,  // part of a burst: the key does nothing else
        Lido,    // the burst's end: codigo() holds what was read
    };

    explicit BadgeBurst(BadgeReaderSettings s = {}) : s_(std::move(s)) {}
    void setSettings(const BadgeReaderSettings& s);
    const BadgeReaderSettings& settings() const { return s_; }

    // One key press: its Qt key, its text and its timestamp in milliseconds (any origin, may
    // wrap around).
    Acao recebe(int qtKey, const QString& texto, unsigned long ms);
    QString codigo() const { return codigo_; }
    bool emCurso() const { return emCurso_; }

    // The keys of the grid's key map, by virtual-key code: Space, Enter, Escape, F1, F9, E, G,
    // I and P.
    static bool doMapa(int virtualKey);

private:
    BadgeReaderSettings s_;
    bool emCurso_ = false;
    unsigned long ultimo_ = 0;
    QString lido_;
    QString codigo_;
};

template <typename Lookup>
BadgeReaderSettings BadgeReaderSettings::from(Lookup valor) {
    BadgeReaderSettings s;
    const QString ligado = valor(QStringLiteral("LeitorCracha")).trimmed().toUpper();
    if (ligado == QLatin1String("N"))
        s.ligado = false;
    else if (!ligado.isEmpty() && ligado != QLatin1String("S"))
        s.recusados << QStringLiteral("LeitorCracha=%1: use S ou N").arg(ligado);

    const QString janela = valor(QStringLiteral("LeitorJanelaMs")).trimmed();
    if (!janela.isEmpty()) {
        bool ok = false;
        const int ms = janela.toInt(&ok);
        if (ok && ms >= 5 && ms <= 1000)
            s.janelaMs = ms;
        else
            s.recusados << QStringLiteral("LeitorJanelaMs=%1: de 5 a 1000").arg(janela);
    }

    // A prefix that starts with a key of the key map would act at once as that key.
    const QString prefixo = valor(QStringLiteral("LeitorPrefixo"));
    if (!prefixo.isEmpty()) {
        const QChar c = prefixo.at(0);
        const int vk = c.isLetter() ? c.toUpper().unicode() : c.unicode();
        if (!c.isPrint() || BadgeBurst::doMapa(vk) || c.isSpace())
            s.recusados << QStringLiteral(
                               "LeitorPrefixo=%1: não pode começar por espaço nem "
                               "por E, G, I, N ou P")
                               .arg(prefixo);
        else
            s.prefixo = prefixo;
    }

    const QString sufixo = valor(QStringLiteral("LeitorSufixo"));
    if (sufixo.compare(QLatin1String("Tab"), Qt::CaseInsensitive) == 0)
        s.sufixo = QStringLiteral("\t");
    else if (!sufixo.isEmpty() && sufixo.compare(QLatin1String("Enter"), Qt::CaseInsensitive))
        s.sufixo = sufixo;
    return s;
}

}  // namespace Cli_Kel00815
