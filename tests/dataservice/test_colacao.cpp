// The name order operators expect: case and accents only break ties.
#include <QStringList>

#include <gtest/gtest.h>

#include <algorithm>

#include "module/dataservice/ColacaoPtBr.h"

namespace {

int compara(const QString& a, const QString& b) {
    const QByteArray x = a.toUtf8(), y = b.toUtf8();
    return colacao::comparaPtBr(nullptr, int(x.size()), x.constData(), int(y.size()),
                                y.constData());
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

TEST(ColacaoPtBr, IsATotalOrderSoAnIndexMayUseIt) {
    const QStringList nomes =
        QString::fromUtf8("ana|Ana|ANA|Ána|ána|Anã|an|ana |Łukasz|Lukasz|😀|?|O'BRIEN|1º ANO|\xC3")
            .split(u'|');
    for (const QString& a : nomes) {
        EXPECT_EQ(compara(a, a), 0);
        for (const QString& b : nomes) {
            if (a == b) continue;
            EXPECT_NE(compara(a, b), 0) << a.toStdString() << " / " << b.toStdString();
            EXPECT_EQ(compara(a, b), -compara(b, a));
        }
    }
    // A malformed byte sequence compares without reading past the text.
    const char ruim[] = {'\xE2', '\x82'};
    EXPECT_GT(colacao::comparaPtBr(nullptr, 2, ruim, 1, "A"), 0);
}

}  // namespace
