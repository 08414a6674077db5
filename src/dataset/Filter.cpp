#include "dataset/Filter_p.h"

namespace dataset::detail {

namespace {

[[noreturn]] void badFilter(const QString& text) {
    throw DataSetError(QStringLiteral("Expressão de filtro não suportada: \"%1\".").arg(text));
}

struct Token {
    enum Kind { Ident, String, Equals, End } kind = End;
    QString text;
};

std::vector<Token> tokenize(const QString& s) {
    std::vector<Token> out;
    qsizetype i = 0;
    const qsizetype n = s.size();
    while (i < n) {
        const QChar c = s[i];
        if (c.isSpace()) {
            ++i;
        } else if (c == QLatin1Char('=')) {
            out.push_back({Token::Equals, QString()});
            ++i;
        } else if (c == QLatin1Char('\'')) {
            QString lit;
            ++i;
            bool closed = false;
            while (i < n) {
                if (s[i] == QLatin1Char('\'')) {
                    if (i + 1 < n && s[i + 1] == QLatin1Char('\'')) {
                        lit += QLatin1Char('\'');
                        i += 2;
                        continue;
                    }
                    closed = true;
                    ++i;
                    break;
                }
                lit += s[i++];
            }
            if (!closed) badFilter(s);
            out.push_back({Token::String, lit});
        } else if (c == QLatin1Char('[')) {
            const qsizetype close = s.indexOf(QLatin1Char(']'), i + 1);
            if (close < 0 || close == i + 1) badFilter(s);
            out.push_back({Token::Ident, s.mid(i + 1, close - i - 1)});
            i = close + 1;
        } else if (c.isLetterOrNumber() || c == QLatin1Char('_')) {
            const qsizetype start = i;
            while (i < n && (s[i].isLetterOrNumber() || s[i] == QLatin1Char('_'))) ++i;
            out.push_back({Token::Ident, s.mid(start, i - start)});
        } else {
            badFilter(s);
        }
    }
    out.push_back({Token::End, QString()});
    return out;
}

bool isKeyword(const Token& t, const char* kw) {
    return t.kind == Token::Ident && t.text.compare(QLatin1String(kw), Qt::CaseInsensitive) == 0;
}

}  // namespace

FilterExpr parseFilter(const QString& text) {
    FilterExpr e;
    if (text.trimmed().isEmpty()) return e;
    const std::vector<Token> toks = tokenize(text);
    std::size_t p = 0;
    auto parseTest = [&]() {
        const Token& name = toks[p];
        if (name.kind != Token::Ident || isKeyword(name, "AND") || isKeyword(name, "IS") ||
            isKeyword(name, "NOT") || isKeyword(name, "NULL"))
            badFilter(text);
        FilterTest t;
        t.field = name.text;
        ++p;
        if (toks[p].kind == Token::Equals) {
            ++p;
            if (toks[p].kind != Token::String) badFilter(text);
            t.op = FilterTest::Op::Equals;
            t.literal = toks[p].text;
            ++p;
        } else if (isKeyword(toks[p], "IS")) {
            ++p;
            t.op = FilterTest::Op::IsNull;
            if (isKeyword(toks[p], "NOT")) {
                t.op = FilterTest::Op::IsNotNull;
                ++p;
            }
            if (!isKeyword(toks[p], "NULL")) badFilter(text);
            ++p;
        } else {
            badFilter(text);
        }
        e.tests.push_back(t);
    };
    parseTest();
    if (isKeyword(toks[p], "AND")) {
        ++p;
        parseTest();
    }
    if (toks[p].kind != Token::End) badFilter(text);
    return e;
}

BoundFilter::BoundFilter(const FilterExpr& e, const Table& t) : table_(t) {
    for (const FilterTest& ft : e.tests) {
        int idx = -1;
        for (int i = 0; i < t.fields.size(); ++i) {
            if (t.fields[i].name.compare(ft.field, Qt::CaseInsensitive) == 0) {
                idx = i;
                break;
            }
        }
        if (idx < 0)
            throw DataSetError(
                QStringLiteral("Campo '%1' do filtro não encontrado.").arg(ft.field));
        tests_.push_back({ft.op, t.cols[std::size_t(idx)].get(), idx, ft.literal});
    }
}

bool BoundFilter::matches(int row) const {
    const std::size_t r = std::size_t(row);
    for (const Test& t : tests_) {
        switch (t.op) {
            case FilterTest::Op::IsNull:
                if (!t.col->isNull(r)) return false;
                break;
            case FilterTest::Op::IsNotNull:
                if (t.col->isNull(r)) return false;
                break;
            case FilterTest::Op::Equals:
                if (t.col->storage == Storage::Text) {
                    if (!t.col->textEquals(r, t.literal)) return false;
                } else if (t.col->isNull(r) || table_.text(row, t.colIndex) != t.literal) {
                    return false;
                }
                break;
        }
    }
    return true;
}

}  // namespace dataset::detail
