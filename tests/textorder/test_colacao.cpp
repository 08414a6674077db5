// The name order operators expect: case and accents only break ties.
#include <QStringList>

#include <gtest/gtest.h>

#include <algorithm>

#include "textorder/OrdemPtBr.h"

namespace {

std::u16string_view vista(const QString& s) {
    return {reinterpret_cast<const char16_t*>(s.utf16()), std::size_t(s.size())};
}

int compara(const QString& a, const QString& b) {
    const QByteArray x = a.toUtf8(), y = b.toUtf8();
    return textorder_compara_ptbr(nullptr, int(x.size()), x.constData(), int(y.size()),
                                  y.constData());
}

int sinal(int v) {
    return v < 0 ? -1 : (v > 0 ? 1 : 0);
}

std::u16string chave(const QString& s) {
    std::u16string k;
    textorder::chave(vista(s), k);
    return k;
}

TEST(ColacaoPtBr, SortsNamesIgnoringCaseAndAccentsFirst) {
    const QStringList esperado =
        QString::fromUtf8("Álvaro|ana|Ana|ângela|Ângela|Çarla|Carlos|Éder|Edson|Zé").split(u'|');
    QStringList nomes = esperado;
    std::reverse(nomes.begin(), nomes.end());
    std::sort(nomes.begin(), nomes.end(),
              [](const QString& a, const QString& b) { return compara(a, b) < 0; });
    EXPECT_EQ(nomes, esperado);
}

// Also: the UTF-8 and UTF-16 comparisons agree, and a sort key never contradicts them.
TEST(ColacaoPtBr, IsATotalOrderSoAnIndexMayUseIt) {
    const QStringList nomes = QString::fromUtf8(
                                  "ana|Ana|ANA|Ána|ána|Anã|an|ana |Łukasz|Lukasz|😀|\uFFFD|\uE000|"
                                  "?|O'BRIEN|1º ANO|ň|ŉ|\xC3")
                                  .split(u'|');
    for (const QString& a : nomes) {
        EXPECT_EQ(compara(a, a), 0);
        for (const QString& b : nomes) {
            if (a == b) continue;
            const int c = compara(a, b);
            EXPECT_NE(c, 0) << a.toStdString() << " / " << b.toStdString();
            EXPECT_EQ(c, -compara(b, a));
            EXPECT_EQ(sinal(textorder::comparaUtf16(vista(a), vista(b))), c)
                << a.toStdString() << " / " << b.toStdString();
            const std::u16string ka = chave(a), kb = chave(b);
            if (ka != kb) {
                EXPECT_EQ(ka < kb ? -1 : 1, c) << a.toStdString() << " / " << b.toStdString();
            }
        }
    }
    // A malformed byte sequence compares without reading past the text.
    const char ruim[] = {'\xE2', '\x82'};
    EXPECT_GT(textorder_compara_ptbr(nullptr, 2, ruim, 1, "A"), 0);
}

TEST(DobraPtBr, LeavesBaseLettersInUpperCase) {
    std::u16string d;
    textorder::dobra(u"São JOÃO, Açaí ñ 😀", d);
    EXPECT_EQ(d, u"SAO JOAO, ACAI N 😀");
}

}  // namespace
