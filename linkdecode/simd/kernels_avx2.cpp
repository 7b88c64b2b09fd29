// Run only where the processor has these instructions (see simd_level.cpp).
#include "linkdecode/simd/kernels.h"

#if defined(__x86_64__) || defined(_M_X64)

#include <immintrin.h>

// The wider instructions for this unit's own functions only, set here rather than by a compiler
// option: inline functions of the headers above keep the baseline, so the linker can never pick
// a copy of one that a processor without these instructions cannot run.
#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2")
#endif

namespace linkdecode::simd {

namespace {

using Mask = unsigned;
constexpr std::size_t kWidth = 32;

__m256i Load(const unsigned char* p) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

// The last `n` (< kWidth) bytes of a text, followed by `fill`.
__m256i LoadShort(const unsigned char* p, std::size_t n, unsigned char fill) {
    unsigned char block[kWidth];
    __builtin_memset(block, fill, kWidth);
    __builtin_memcpy(block, p, n);
    return Load(block);
}

Mask Bits(__m256i bytes) {
    return static_cast<Mask>(_mm256_movemask_epi8(bytes));
}

// The same 16 bytes in both lanes, as vpshufb looks up within each lane.
__m256i Table(char b0, char b1, char b2, char b3, char b4, char b5, char b6, char b7, char b8,
              char b9, char b10, char b11, char b12, char b13, char b14, char b15) {
    return _mm256_broadcastsi128_si256(
        _mm_setr_epi8(b0, b1, b2, b3, b4, b5, b6, b7, b8, b9, b10, b11, b12, b13, b14, b15));
}

__m256i HighNibbles(__m256i bytes) {
    return _mm256_and_si256(_mm256_srli_epi32(bytes, 4), _mm256_set1_epi8(0x0F));
}

__m256i LowNibbles(__m256i bytes) {
    return _mm256_and_si256(bytes, _mm256_set1_epi8(0x0F));
}

// Bytes whose class bits, looked up by low and by high nibble, share a bit.
Mask NibbleClass(__m256i bytes, __m256i byLow, __m256i byHigh) {
    const __m256i both = _mm256_and_si256(_mm256_shuffle_epi8(byLow, LowNibbles(bytes)),
                                          _mm256_shuffle_epi8(byHigh, HighNibbles(bytes)));
    return ~Bits(_mm256_cmpeq_epi8(both, _mm256_setzero_si256()));
}

// Where the first byte `match` flags stands, or n. A short text is padded with `fill`; the last
// block of a longer one overlaps the block before it.
template <typename Match>
std::size_t FindFirst(const unsigned char* p, std::size_t n, unsigned char fill, Match match) {
    std::size_t i = 0;
    for (; n - i >= kWidth; i += kWidth) {
        if (const Mask hits = match(Load(p + i)))
            return i + static_cast<std::size_t>(__builtin_ctz(hits));
    }
    if (i == n)
        return n;
    Mask hits;
    if (n >= kWidth) {
        hits = match(Load(p + n - kWidth)) >> (kWidth - (n - i));
    } else {
        hits = match(LoadShort(p, n, fill)) & ((Mask{1} << n) - 1);
    }
    return hits != 0 ? i + static_cast<std::size_t>(__builtin_ctz(hits)) : n;
}

// Base64: a byte is a symbol unless its low-nibble bits and high-nibble bits share one. Bit 1
// marks high nibbles with no symbol (0, 1, 8 to F), bit 2 the "+" and "/" row, bit 4 the digits,
// bit 8 the rows of "A" and "a" (their first byte is none), bit 16 the rows of "P" and "p".
Mask NonSymbols(__m256i bytes, __m256i& values) {
    const __m256i byLow = Table(0x0B, 0x03, 0x03, 0x03, 0x03, 0x03, 0x03, 0x03, 0x03, 0x03, 0x07,
                                0x15, 0x17, 0x17, 0x17, 0x15);
    const __m256i byHigh = Table(0x01, 0x01, 0x02, 0x04, 0x08, 0x10, 0x08, 0x10, 0x01, 0x01, 0x01,
                                 0x01, 0x01, 0x01, 0x01, 0x01);
    // What to add to a symbol for its value, by high nibble; "/" takes row 1 instead of 2.
    const __m256i shift = Table(0, 16, 19, 4, -65, -65, -71, -71, 0, 0, 0, 0, 0, 0, 0, 0);
    const __m256i row =
        _mm256_add_epi8(HighNibbles(bytes), _mm256_cmpeq_epi8(bytes, _mm256_set1_epi8('/')));
    values = _mm256_add_epi8(bytes, _mm256_shuffle_epi8(shift, row));
    return NibbleClass(bytes, byLow, byHigh);
}

// Four 6-bit values a quantum in each 32-bit lane to its three bytes, 24 bytes at the start.
__m256i Pack(__m256i values) {
    const __m256i pairs = _mm256_maddubs_epi16(values, _mm256_set1_epi32(0x01400140));
    const __m256i quanta = _mm256_madd_epi16(pairs, _mm256_set1_epi32(0x00011000));
    const __m256i lanes =
        _mm256_shuffle_epi8(quanta, Table(2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1));
    return _mm256_permutevar8x32_epi32(lanes, _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 3, 7));
}

void Store24(unsigned char* dst, __m256i packed) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), _mm256_castsi256_si128(packed));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(dst + 16), _mm256_extracti128_si256(packed, 1));
}

// The quanta before the first non-symbol of a block: writes their bytes, returns their symbols.
std::size_t FinishQuanta(__m256i values, Mask nonSymbols, unsigned char* dst) {
    const std::size_t symbols =
        static_cast<std::size_t>(__builtin_ctz(nonSymbols)) & ~std::size_t{3};
    unsigned char bytes[kWidth];
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(bytes), Pack(values));
    __builtin_memcpy(dst, bytes, symbols / 4 * 3);
    return symbols;
}

std::size_t DecodeQuanta(const unsigned char* src, std::size_t n, unsigned char* dst) {
    std::size_t i = 0;
    __m256i values;
    for (; n - i >= kWidth; i += kWidth, dst += 24) {
        const Mask bad = NonSymbols(Load(src + i), values);
        if (bad != 0)
            return i + FinishQuanta(values, bad, dst);
        Store24(dst, Pack(values));
    }
    if (i == n)
        return n;
    // Zero bytes pad the block, and zero is no symbol.
    const Mask bad = NonSymbols(LoadShort(src + i, n - i, 0), values);
    return i + FinishQuanta(values, bad, dst);
}

// Six-bit values, one a byte, to their symbols: each class of values gets its offset from a
// table indexed by the value less 51 (saturated), with 13 standing for the capitals.
__m256i Symbols(__m256i values) {
    const __m256i offsets = Table(71, -4, -4, -4, -4, -4, -4, -4, -4, -4, -4, -19, -16, 65, 0, 0);
    const __m256i capitals = _mm256_cmpgt_epi8(_mm256_set1_epi8(26), values);
    const __m256i row = _mm256_or_si256(_mm256_subs_epu8(values, _mm256_set1_epi8(51)),
                                        _mm256_and_si256(capitals, _mm256_set1_epi8(13)));
    return _mm256_add_epi8(values, _mm256_shuffle_epi8(offsets, row));
}

std::size_t EncodeGroups(const unsigned char* src, std::size_t n, unsigned char* dst) {
    // Each group b0 b1 b2 spread over a 32-bit lane as b1 b0 b2 b1, 12 bytes a 16-byte lane.
    const __m256i spread = Table(1, 0, 2, 1, 4, 3, 5, 4, 7, 6, 8, 7, 10, 9, 11, 10);
    std::size_t i = 0;
    // Each lane loads 16 bytes for its 12.
    for (; n - i >= 28; i += 24, dst += 32) {
        const __m256i bytes =
            _mm256_setr_m128i(_mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i)),
                              _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i + 12)));
        const __m256i lanes = _mm256_shuffle_epi8(bytes, spread);
        // The first and third values by a high multiply, the second and fourth by a low one.
        const __m256i high = _mm256_mulhi_epu16(
            _mm256_and_si256(lanes, _mm256_set1_epi32(0x0FC0FC00)), _mm256_set1_epi32(0x04000040));
        const __m256i low = _mm256_mullo_epi16(
            _mm256_and_si256(lanes, _mm256_set1_epi32(0x003F03F0)), _mm256_set1_epi32(0x01000010));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst), Symbols(_mm256_or_si256(high, low)));
    }
    return i;
}

std::size_t FindLinkEnd(const unsigned char* p, std::size_t n) {
    // Bit 1: tab to carriage return in row 0; bit 2: space, '"' and "'" in row 2; bit 4: "<"
    // and ">" in row 3.
    const __m256i byLow =
        Table(0x02, 0, 0x02, 0, 0, 0, 0, 0x02, 0, 0x01, 0x01, 0x01, 0x05, 0x01, 0x04, 0);
    const __m256i byHigh = Table(0x01, 0, 0x02, 0x04, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0);
    return FindFirst(p, n, 'A', [&](__m256i bytes) { return NibbleClass(bytes, byLow, byHigh); });
}

std::size_t FindEither(const unsigned char* p, std::size_t n, unsigned char a, unsigned char b) {
    const __m256i va = _mm256_set1_epi8(static_cast<char>(a));
    const __m256i vb = _mm256_set1_epi8(static_cast<char>(b));
    return FindFirst(p, n, 0, [&](__m256i bytes) {
        return Bits(_mm256_or_si256(_mm256_cmpeq_epi8(bytes, va), _mm256_cmpeq_epi8(bytes, vb)));
    });
}

std::size_t CountByte(const unsigned char* p, std::size_t n, unsigned char byte) {
    const __m256i wanted = _mm256_set1_epi8(static_cast<char>(byte));
    std::size_t count = 0;
    std::size_t i = 0;
    for (; n - i >= kWidth; i += kWidth)
        count += static_cast<std::size_t>(
            __builtin_popcount(Bits(_mm256_cmpeq_epi8(Load(p + i), wanted))));
    for (; i < n; ++i)
        count += p[i] == byte;
    return count;
}

std::size_t FindNonAscii(const unsigned char* p, std::size_t n) {
    return FindFirst(p, n, 0, [](__m256i bytes) { return Bits(bytes); });
}

std::size_t FindEscape(const unsigned char* p, std::size_t n, const EscapeSet& escapes) {
    const __m256i lastControl = _mm256_set1_epi8(0x1F);
    const __m256i del = _mm256_set1_epi8(0x7F);
    __m256i extra[4];
    for (int k = 0; k < 4; ++k)
        extra[k] = _mm256_set1_epi8(static_cast<char>(escapes.extra[k]));
    const Mask high = escapes.high ? ~Mask{0} : 0;
    return FindFirst(p, n, 'A', [&](__m256i bytes) {
        const __m256i control = _mm256_cmpeq_epi8(_mm256_min_epu8(bytes, lastControl), bytes);
        __m256i hit = _mm256_or_si256(control, _mm256_cmpeq_epi8(bytes, del));
        for (const __m256i& e : extra)
            hit = _mm256_or_si256(hit, _mm256_cmpeq_epi8(bytes, e));
        return Bits(hit) | (Bits(bytes) & high);
    });
}

}  // namespace

const Kernels kAvx2Kernels{DecodeQuanta, FindLinkEnd, FindEither,  CountByte,
                           FindNonAscii, FindEscape,  EncodeGroups};

}  // namespace linkdecode::simd

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

#else

namespace linkdecode::simd {
const Kernels kAvx2Kernels{};
}

#endif
