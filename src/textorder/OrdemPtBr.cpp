#include "textorder/OrdemPtBr.h"

#include <cstdint>
#include <cstring>

namespace textorder {

namespace {

struct Peso {
    std::uint32_t primario;
    std::uint8_t acento;
    std::uint8_t caixa;  // 0 lower case, 1 upper case
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

// Code points of a UTF-8 text; a stray byte stands for itself, above every code point.
struct Utf8 {
    const unsigned char* p;
    const unsigned char* fim;
    bool vazio() const { return p >= fim; }
    std::uint32_t proximo() {
        const unsigned char c = *p++;
        if (c < 0x80) return c;
        const int resto = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : -1;
        if (resto < 0 || fim - p < resto) return 0x110000u + c;
        std::uint32_t cp = c & (0x3F >> resto);
        for (int i = 0; i < resto; ++i) {
            if ((p[i] & 0xC0) != 0x80) return 0x110000u + c;
            cp = (cp << 6) | (p[i] & 0x3F);
        }
        p += resto;
        return cp;
    }
};

// Code points of a UTF-16 text; a lone surrogate stands for itself.
struct Utf16 {
    const char16_t* p;
    const char16_t* fim;
    bool vazio() const { return p >= fim; }
    std::uint32_t proximo() {
        const char16_t c = *p++;
        if (c >= 0xD800 && c < 0xDC00 && p < fim && *p >= 0xDC00 && *p < 0xE000)
            return 0x10000u + ((std::uint32_t(c) - 0xD800) << 10) + (std::uint32_t(*p++) - 0xDC00);
        return c;
    }
};

// One level of comparison over both texts: 0 letters, 1 accents, 2 case.
template <typename Texto>
int comparaNivel(int nivel, Texto a, Texto b) {
    while (!a.vazio() && !b.vazio()) {
        const Peso pa = peso(a.proximo());
        const Peso pb = peso(b.proximo());
        const std::uint32_t va = nivel == 0 ? pa.primario : nivel == 1 ? pa.acento : pa.caixa;
        const std::uint32_t vb = nivel == 0 ? pb.primario : nivel == 1 ? pb.acento : pb.caixa;
        if (va != vb) return va < vb ? -1 : 1;
    }
    if (!a.vazio()) return 1;
    if (!b.vazio()) return -1;
    return 0;
}

// Most pairs differ at the first level; accents and case only break ties.
template <typename Texto>
int comparaNiveis(Texto a, Texto b) {
    for (int nivel = 0; nivel < 3; ++nivel)
        if (const int r = comparaNivel(nivel, a, b)) return r;
    return 0;
}

void acrescenta(std::uint32_t cp, std::u16string& out) {
    if (cp < 0x10000) {
        out.push_back(static_cast<char16_t>(cp));
    } else {
        out.push_back(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
    }
}

}  // namespace

int comparaUtf8(std::string_view a, std::string_view b) {
    const auto* pa = reinterpret_cast<const unsigned char*>(a.data());
    const auto* pb = reinterpret_cast<const unsigned char*>(b.data());
    if (const int r = comparaNiveis(Utf8{pa, pa + a.size()}, Utf8{pb, pb + b.size()})) return r;
    const int r = a.compare(b);  // bytes of UTF-8 run in code point order
    return r < 0 ? -1 : (r > 0 ? 1 : 0);
}

int comparaUtf16(std::u16string_view a, std::u16string_view b) {
    Utf16 ta{a.data(), a.data() + a.size()}, tb{b.data(), b.data() + b.size()};
    if (const int r = comparaNiveis(ta, tb)) return r;
    while (!ta.vazio() && !tb.vazio()) {
        const std::uint32_t ca = ta.proximo(), cb = tb.proximo();
        if (ca != cb) return ca < cb ? -1 : 1;
    }
    return ta.vazio() == tb.vazio() ? 0 : (ta.vazio() ? -1 : 1);
}

void dobra(std::u16string_view s, std::u16string& out) {
    out.reserve(out.size() + s.size());
    for (Utf16 t{s.data(), s.data() + s.size()}; !t.vazio();)
        acrescenta(peso(t.proximo()).primario, out);
}

void chave(std::u16string_view s, std::u16string& out) {
    const std::size_t inicio = out.size();
    dobra(s, out);
    // Units reordered so that surrogate pairs (code points above U+FFFF) come after U+E000..FFFF.
    for (std::size_t i = inicio; i < out.size(); ++i) {
        char16_t& u = out[i];
        if (u >= 0xE000)
            u = static_cast<char16_t>(u - 0x800);
        else if (u >= 0xD800)
            u = static_cast<char16_t>(u + 0x2000);
    }
}

}  // namespace textorder

extern "C" int textorder_compara_ptbr(void*, int tamA, const void* a, int tamB, const void* b) {
    return textorder::comparaUtf8(
        std::string_view(static_cast<const char*>(a), static_cast<std::size_t>(tamA)),
        std::string_view(static_cast<const char*>(b), static_cast<std::size_t>(tamB)));
}
