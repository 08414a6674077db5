#include "module/dataservice/ColacaoPtBr.h"

#include <sqlite3.h>

#include <cstdint>
#include <cstring>

namespace colacao {

namespace {

struct Peso {
    std::uint32_t primario;
    std::uint8_t secundario;  // accent
    std::uint8_t terciario;   // 0 lower case, 1 upper case
};

// Base letters of U+00C0..U+00FF; '*' marks the two signs that are no letters.
constexpr char kLatin1[] = "AAAAAAACEEEEIIIIDNOOOOO*OUUUUYTSaaaaaaaceeeeiiiidnooooo*ouuuuyty";
// Accent class of U+00C0..U+00FF (1 acute, 2 grave, 3 circumflex, 4 tilde, 5 diaeresis,
// 6 ring, 7 cedilla, 8 ligature, 9 other marks).
constexpr std::uint8_t kAcentoLatin1[64] = {
    2, 1, 3, 4, 5, 6, 8, 7, 2, 1, 3, 5, 2, 1, 3, 5, 9, 4, 2, 1, 4, 4, 5, 0, 9, 2, 1, 3, 5, 1, 9, 9,
    2, 1, 3, 4, 5, 6, 8, 7, 2, 1, 3, 5, 2, 1, 3, 5, 9, 4, 2, 1, 4, 4, 5, 0, 9, 2, 1, 3, 5, 1, 9, 5};
// Base letters of U+0100..U+017F.
constexpr char kLatinA[] =
    "AaAaAaCcCcCcCcDdDdEeEeEeEeEeGgGgGgGgHhHhIiIiIiIiIiIiJjKkkLlLlLlLlLlNnNnNnnNnOoOoOoOoRrRrRrSsSs"
    "Ss"
    "SsTtTtTtUuUuUuUuUuUuWwYyYZzZzZzs";
static_assert(sizeof(kLatin1) == 65 && sizeof(kLatinA) == 129);

inline Peso pesoDeLetra(char base, std::uint8_t acento) {
    const bool minuscula = base >= 'a' && base <= 'z';
    return {static_cast<std::uint32_t>(minuscula ? base - 'a' + 'A' : base), acento,
            static_cast<std::uint8_t>(minuscula ? 0 : 1)};
}

inline Peso peso(std::uint32_t cp) {
    if (cp < 0x80) {
        if (cp >= 'a' && cp <= 'z') return {cp - 'a' + 'A', 0, 0};
        if (cp >= 'A' && cp <= 'Z') return {cp, 0, 1};
        return {cp, 0, 0};
    }
    if (cp >= 0xC0 && cp <= 0xFF && kLatin1[cp - 0xC0] != '*')
        return pesoDeLetra(kLatin1[cp - 0xC0], kAcentoLatin1[cp - 0xC0]);
    if (cp >= 0x100 && cp <= 0x17F)
        return pesoDeLetra(kLatinA[cp - 0x100], static_cast<std::uint8_t>(10 + (cp - 0x100) / 2));
    return {cp, 0, 0};
}

// Next code point of a UTF-8 text; a stray byte stands for itself, above every code point.
inline std::uint32_t proximo(const unsigned char*& p, const unsigned char* fim) {
    const unsigned char c = *p++;
    if (c < 0x80) return c;
    int resto = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : -1;
    if (resto < 0 || fim - p < resto) return 0x110000u + c;
    std::uint32_t cp = c & (0x3F >> resto);
    for (int i = 0; i < resto; ++i) {
        if ((p[i] & 0xC0) != 0x80) return 0x110000u + c;
        cp = (cp << 6) | (p[i] & 0x3F);
    }
    p += resto;
    return cp;
}

// One level of comparison over both texts: 0 primary, 1 accent, 2 case.
int comparaNivel(int nivel, const unsigned char* a, const unsigned char* fa, const unsigned char* b,
                 const unsigned char* fb) {
    while (a < fa && b < fb) {
        const Peso pa = peso(proximo(a, fa));
        const Peso pb = peso(proximo(b, fb));
        std::uint32_t va = nivel == 0 ? pa.primario : nivel == 1 ? pa.secundario : pa.terciario;
        std::uint32_t vb = nivel == 0 ? pb.primario : nivel == 1 ? pb.secundario : pb.terciario;
        if (va != vb) return va < vb ? -1 : 1;
    }
    if (a < fa) return 1;
    if (b < fb) return -1;
    return 0;
}

void precisaColacao(void*, sqlite3* db, int, const char* nome) {
    if (nome && sqlite3_stricmp(nome, kNomePtBr) == 0) registraPtBr(db);
}

}  // namespace

int comparaPtBr(void*, int tamA, const void* a, int tamB, const void* b) {
    const auto* pa = static_cast<const unsigned char*>(a);
    const auto* pb = static_cast<const unsigned char*>(b);
    // Most pairs differ at the first level; accents and case only break ties.
    for (int nivel = 0; nivel < 3; ++nivel) {
        const int r = comparaNivel(nivel, pa, pa + tamA, pb, pb + tamB);
        if (r != 0) return r;
    }
    const int r = std::memcmp(pa, pb, static_cast<std::size_t>(tamA < tamB ? tamA : tamB));
    if (r != 0) return r < 0 ? -1 : 1;
    return tamA == tamB ? 0 : (tamA < tamB ? -1 : 1);
}

int registraPtBr(sqlite3* db) {
    return sqlite3_create_collation_v2(db, kNomePtBr, SQLITE_UTF8, nullptr, &comparaPtBr, nullptr);
}

void registraPtBrSobDemanda(sqlite3* db) {
    sqlite3_collation_needed(db, nullptr, &precisaColacao);
}

}  // namespace colacao

// For the C extension: the same comparison under a C name.
extern "C" int colacaoComparaPtBrC(void* ctx, int na, const void* a, int nb, const void* b) {
    return colacao::comparaPtBr(ctx, na, a, nb, b);
}
