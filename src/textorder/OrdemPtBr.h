#pragma once

// The Brazilian text order, the one every list of this system is sorted and searched by: the
// grid's index, the pick list's search and SQLite's collation PTBR all come here, so a list
// the database sorted and the same list sorted on the screen never disagree.
//
// Letters compare without regard to case or accent (Ângela among the A's); ties are broken by
// accent, then by case (lower case first), then by code point, so the order is total and an
// index may use it. Database indexes store this order: changing a weight needs a REINDEX.

#include <string>
#include <string_view>

#include "textorder/textorder_export.h"

namespace textorder {

// Negative, zero or positive as `a` comes before, with or after `b`.
TEXTORDER_EXPORT int comparaUtf8(std::string_view a, std::string_view b);
TEXTORDER_EXPORT int comparaUtf16(std::u16string_view a, std::u16string_view b);

// Appends the fold of `s`: every letter as its base letter in upper case, anything else as
// itself ("São João" -> "SAO JOAO"). Two texts match, ignoring case and accents, where their
// folds do.
TEXTORDER_EXPORT void dobra(std::u16string_view s, std::u16string& out);

// Appends the fold of `s` as a sort key: comparing two keys unit by unit orders the texts as
// comparaUtf16 does before its ties are broken (same key: equal but for accents and case).
TEXTORDER_EXPORT void chave(std::u16string_view s, std::u16string& out);

}  // namespace textorder

// The comparison under a C name, for SQLite's loadable extension; SQLite's collation signature.
extern "C" TEXTORDER_EXPORT int textorder_compara_ptbr(void* contexto, int tamA, const void* a,
                                                       int tamB, const void* b);
