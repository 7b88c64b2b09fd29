// Run only where the processor has these instructions (see simd_level.cpp).
#include "linkdecode/simd/kernels.h"

#if defined(__x86_64__) || defined(_M_X64)

#include <immintrin.h>

#include "linkdecode/char_class.h"

// The wider instructions for this unit's own functions only, set here rather than by a compiler
// option: inline functions of the headers above keep the baseline, so the linker can never pick
// a copy of one that a processor without these instructions cannot run.
#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx512f,avx512bw,avx512vbmi"))), \
                             apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx512f,avx512bw,avx512vbmi")
#endif

namespace linkdecode::simd {

namespace {

using Mask = unsigned long long;
constexpr std::size_t kWidth = 64;

struct Bytes128 {
    unsigned char at[128];
};

// Each ASCII byte's Base64 value, or 0x80 when it is no symbol.
constexpr Bytes128 kSymbolValues = [] {
    Bytes128 table{};
    for (int c = 0; c < 128; ++c) {
        table.at[c] = c >= 'A' && c <= 'Z'   ? static_cast<unsigned char>(c - 'A')
                      : c >= 'a' && c <= 'z' ? static_cast<unsigned char>(c - 'a' + 26)
                      : c >= '0' && c <= '9' ? static_cast<unsigned char>(c - '0' + 52)
                      : c == '+'             ? 62
                      : c == '/'             ? 63
                                             : 0x80;
    }
    return table;
}();

// Whether each ASCII byte ends a link; no byte of 0x80 or more does.
constexpr Bytes128 kEndsLinkTable = [] {
    Bytes128 table{};
    for (int c = 0; c < 128; ++c)
        table.at[c] = EndsLink(static_cast<unsigned char>(c)) ? 0xFF : 0;
    return table;
}();
static_assert([] {
    for (int c = 128; c < 256; ++c) {
        if (EndsLink(static_cast<unsigned char>(c)))
            return false;
    }
    return true;
}());

// Where each of the 48 bytes of 16 decoded quanta comes from: the three low bytes of each
// 32-bit lane, high first.
constexpr Bytes128 kPackOrder = [] {
    Bytes128 order{};
    for (int j = 0; j < 48; ++j)
        order.at[j] = static_cast<unsigned char>(4 * (j / 3) + 2 - j % 3);
    return order;
}();

Mask Low(std::size_t n) {
    return n >= kWidth ? ~Mask{0} : (Mask{1} << n) - 1;
}

__m512i Load(const unsigned char* p) {
    return _mm512_loadu_si512(p);
}

// Where the first byte `match` flags stands, or n; the last block is loaded under a mask.
template <typename Match>
std::size_t FindFirst(const unsigned char* p, std::size_t n, Match match) {
    std::size_t i = 0;
    for (; n - i >= kWidth; i += kWidth) {
        if (const Mask hits = match(Load(p + i)))
            return i + static_cast<std::size_t>(__builtin_ctzll(hits));
    }
    if (i == n)
        return n;
    const Mask live = Low(n - i);
    const Mask hits = match(_mm512_maskz_loadu_epi8(live, p + i)) & live;
    return hits != 0 ? i + static_cast<std::size_t>(__builtin_ctzll(hits)) : n;
}

// One 128-entry lookup values every symbol and flags the rest; bytes of 0x80 or more index the
// same entries, so their own high bit flags them.
Mask NonSymbols(__m512i bytes, __m512i& values) {
    const __m512i low = _mm512_loadu_si512(kSymbolValues.at);
    const __m512i high = _mm512_loadu_si512(kSymbolValues.at + 64);
    values = _mm512_permutex2var_epi8(low, bytes, high);
    return _mm512_movepi8_mask(_mm512_or_si512(values, bytes));
}

__m512i Pack(__m512i values) {
    const __m512i pairs = _mm512_maddubs_epi16(values, _mm512_set1_epi32(0x01400140));
    const __m512i quanta = _mm512_madd_epi16(pairs, _mm512_set1_epi32(0x00011000));
    // The zeroing forms throughout: gcc 12's plain ones pass an undefined vector and warn.
    return _mm512_maskz_permutexvar_epi8(~Mask{0}, _mm512_loadu_si512(kPackOrder.at), quanta);
}

std::size_t DecodeQuanta(const unsigned char* src, std::size_t n, unsigned char* dst) {
    std::size_t i = 0;
    __m512i values;
    for (; n - i >= kWidth; i += kWidth, dst += 48) {
        const Mask bad = NonSymbols(Load(src + i), values);
        if (bad != 0) {
            const std::size_t symbols =
                static_cast<std::size_t>(__builtin_ctzll(bad)) & ~std::size_t{3};
            _mm512_mask_storeu_epi8(dst, Low(symbols / 4 * 3), Pack(values));
            return i + symbols;
        }
        _mm512_mask_storeu_epi8(dst, Low(48), Pack(values));
    }
    if (i == n)
        return n;
    // Zero bytes fill the block, and zero is no symbol.
    const Mask bad = NonSymbols(_mm512_maskz_loadu_epi8(Low(n - i), src + i), values);
    const std::size_t symbols = static_cast<std::size_t>(__builtin_ctzll(bad)) & ~std::size_t{3};
    _mm512_mask_storeu_epi8(dst, Low(symbols / 4 * 3), Pack(values));
    return i + symbols;
}

// Where the bytes of each group go: 16 groups of three bytes b0 b1 b2, each spread over a 32-bit
// lane as b1 b0 b2 b1 so that every 6-bit value lies whole in it.
constexpr Bytes128 kSpreadOrder = [] {
    Bytes128 order{};
    constexpr int kFrom[4] = {1, 0, 2, 1};
    for (int j = 0; j < 64; ++j)
        order.at[j] = static_cast<unsigned char>(3 * (j / 4) + kFrom[j % 4]);
    return order;
}();

struct Symbols64 {
    unsigned char at[64];
};

constexpr Symbols64 kSymbols = [] {
    Symbols64 symbols{};
    for (int v = 0; v < 64; ++v)
        symbols.at[v] = static_cast<unsigned char>(v < 26    ? 'A' + v
                                                   : v < 52  ? 'a' + v - 26
                                                   : v < 62  ? '0' + v - 52
                                                   : v == 62 ? '+'
                                                             : '/');
    return symbols;
}();

std::size_t EncodeGroups(const unsigned char* src, std::size_t n, unsigned char* dst) {
    const __m512i spread = _mm512_loadu_si512(kSpreadOrder.at);
    const __m512i symbols = _mm512_loadu_si512(kSymbols.at);
    // In a lane b1 b0 b2 b1 the four values start at bits 10, 4, 22 and 16.
    const __m512i shifts = _mm512_set1_epi64(0x3036242a1016040a);
    std::size_t i = 0;
    for (; n - i >= 48; i += 48, dst += 64) {
        const __m512i bytes = _mm512_maskz_loadu_epi8(Low(48), src + i);
        const __m512i lanes = _mm512_maskz_permutexvar_epi8(~Mask{0}, spread, bytes);
        const __m512i values = _mm512_maskz_multishift_epi64_epi8(~Mask{0}, shifts, lanes);
        _mm512_storeu_si512(dst, _mm512_maskz_permutexvar_epi8(~Mask{0}, values, symbols));
    }
    return i;
}

std::size_t FindLinkEnd(const unsigned char* p, std::size_t n) {
    const __m512i low = _mm512_loadu_si512(kEndsLinkTable.at);
    const __m512i high = _mm512_loadu_si512(kEndsLinkTable.at + 64);
    return FindFirst(p, n, [&](__m512i bytes) {
        const __m512i ends = _mm512_permutex2var_epi8(low, bytes, high);
        return _mm512_test_epi8_mask(ends, ends) & ~_mm512_movepi8_mask(bytes);
    });
}

std::size_t FindEither(const unsigned char* p, std::size_t n, unsigned char a, unsigned char b) {
    const __m512i va = _mm512_set1_epi8(static_cast<char>(a));
    const __m512i vb = _mm512_set1_epi8(static_cast<char>(b));
    return FindFirst(p, n, [&](__m512i bytes) {
        return _mm512_cmpeq_epi8_mask(bytes, va) | _mm512_cmpeq_epi8_mask(bytes, vb);
    });
}

std::size_t CountByte(const unsigned char* p, std::size_t n, unsigned char byte) {
    const __m512i wanted = _mm512_set1_epi8(static_cast<char>(byte));
    std::size_t count = 0;
    for (std::size_t i = 0; i < n; i += kWidth) {
        const Mask live = Low(n - i);
        count += static_cast<std::size_t>(__builtin_popcountll(
            _mm512_mask_cmpeq_epi8_mask(live, _mm512_maskz_loadu_epi8(live, p + i), wanted)));
    }
    return count;
}

std::size_t FindNonAscii(const unsigned char* p, std::size_t n) {
    return FindFirst(p, n, [](__m512i bytes) { return _mm512_movepi8_mask(bytes); });
}

std::size_t FindEscape(const unsigned char* p, std::size_t n, const EscapeSet& escapes) {
    const __m512i lastControl = _mm512_set1_epi8(0x1F);
    const __m512i del = _mm512_set1_epi8(0x7F);
    __m512i extra[4];
    for (int k = 0; k < 4; ++k)
        extra[k] = _mm512_set1_epi8(static_cast<char>(escapes.extra[k]));
    const Mask high = escapes.high ? ~Mask{0} : 0;
    return FindFirst(p, n, [&](__m512i bytes) {
        Mask hits = _mm512_cmple_epu8_mask(bytes, lastControl) |
                    _mm512_cmpeq_epi8_mask(bytes, del) | (_mm512_movepi8_mask(bytes) & high);
        for (const __m512i& e : extra)
            hits |= _mm512_cmpeq_epi8_mask(bytes, e);
        return hits;
    });
}

}  // namespace

const Kernels kAvx512Kernels{DecodeQuanta, FindLinkEnd, FindEither,  CountByte,
                             FindNonAscii, FindEscape,  EncodeGroups};

}  // namespace linkdecode::simd

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

#else

namespace linkdecode::simd {
const Kernels kAvx512Kernels{};
}

#endif
