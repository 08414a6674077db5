#pragma once

#include <QString>

#include <vector>

#include "dataset/Table_p.h"

namespace dataset::detail {

// The filter texts the screen uses: FIELD = 'text', FIELD IS [NOT] NULL, and two of those
// joined by AND. Parsed once when the text is set, bound to columns when applied.
struct FilterTest {
    enum class Op { Equals, IsNull, IsNotNull };
    QString field;
    Op op = Op::Equals;
    QString literal;
};

struct FilterExpr {
    std::vector<FilterTest> tests;  // all must hold
    bool empty() const { return tests.empty(); }
};

FilterExpr parseFilter(const QString& text);  // throws DataSetError naming the text

class BoundFilter {
public:
    BoundFilter(const FilterExpr& e, const Table& t);  // throws when a field is missing
    bool matches(int row) const;

private:
    struct Test {
        FilterTest::Op op;
        const Column* col;
        int colIndex;
        QString literal;
    };
    const Table& table_;
    std::vector<Test> tests_;
};

}  // namespace dataset::detail
