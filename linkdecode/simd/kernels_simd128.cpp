// WebAssembly's 128-bit vectors, when the module is built with -msimd128.
#include "linkdecode/simd/kernels.h"

#if defined(__wasm_simd128__)

#include <wasm_simd128.h>

namespace linkdecode::simd {

namespace {

using Mask = unsigned;
constexpr std::size_t kWidth = 16;

v128_t Load(const unsigned char* p) {
    return wasm_v128_load(p);
}

// The last `n` (< kWidth) bytes of a text, followed by `fill`.
v128_t LoadShort(const unsigned char* p, std::size_t n, unsigned char fill) {
    unsigned char block[kWidth];
    __builtin_memset(block, fill, kWidth);
    __builtin_memcpy(block, p, n);
    return Load(block);
}

Mask Bits(v128_t bytes) {
    return static_cast<Mask>(wasm_i8x16_bitmask(bytes));
}

v128_t HighNibbles(v128_t bytes) {
    return wasm_u8x16_shr(bytes, 4);
}

v128_t LowNibbles(v128_t bytes) {
    return wasm_v128_and(bytes, wasm_i8x16_splat(0x0F));
}

// Bytes whose class bits, looked up by low and by high nibble, share a bit.
Mask NibbleClass(v128_t bytes, v128_t byLow, v128_t byHigh) {
    const v128_t both = wasm_v128_and(wasm_i8x16_swizzle(byLow, LowNibbles(bytes)),
                                      wasm_i8x16_swizzle(byHigh, HighNibbles(bytes)));
    return ~Bits(wasm_i8x16_eq(both, wasm_i8x16_splat(0))) & 0xFFFF;
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

// The classes of the x86 kernels (kernels_avx2.cpp), by swizzle.
Mask NonSymbols(v128_t bytes, v128_t& values) {
    const v128_t byLow = wasm_i8x16_make(0x0B, 0x03, 0x03, 0x03, 0x03, 0x03, 0x03, 0x03, 0x03, 0x03,
                                         0x07, 0x15, 0x17, 0x17, 0x17, 0x15);
    const v128_t byHigh = wasm_i8x16_make(0x01, 0x01, 0x02, 0x04, 0x08, 0x10, 0x08, 0x10, 0x01,
                                          0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01);
    const v128_t shift = wasm_i8x16_make(0, 16, 19, 4, -65, -65, -71, -71, 0, 0, 0, 0, 0, 0, 0, 0);
    const v128_t row =
        wasm_i8x16_add(HighNibbles(bytes), wasm_i8x16_eq(bytes, wasm_i8x16_splat('/')));
    values = wasm_i8x16_add(bytes, wasm_i8x16_swizzle(shift, row));
    return NibbleClass(bytes, byLow, byHigh);
}

// Four 6-bit values a quantum in each 32-bit lane to its three bytes, 12 bytes at the start.
v128_t Pack(v128_t values) {
    const v128_t pairs =
        wasm_v128_or(wasm_i16x8_shl(wasm_v128_and(values, wasm_i16x8_splat(0xFF)), 6),
                     wasm_u16x8_shr(values, 8));
    const v128_t quanta =
        wasm_v128_or(wasm_i32x4_shl(wasm_v128_and(pairs, wasm_i32x4_splat(0xFFFF)), 12),
                     wasm_u32x4_shr(pairs, 16));
    return wasm_i8x16_shuffle(quanta, quanta, 2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, 3, 7, 11, 15);
}

std::size_t FinishQuanta(v128_t values, Mask nonSymbols, unsigned char* dst) {
    const std::size_t symbols =
        static_cast<std::size_t>(__builtin_ctz(nonSymbols)) & ~std::size_t{3};
    unsigned char bytes[kWidth];
    wasm_v128_store(bytes, Pack(values));
    __builtin_memcpy(dst, bytes, symbols / 4 * 3);
    return symbols;
}

std::size_t DecodeQuanta(const unsigned char* src, std::size_t n, unsigned char* dst) {
    std::size_t i = 0;
    v128_t values;
    for (; n - i >= kWidth; i += kWidth, dst += 12) {
        const Mask bad = NonSymbols(Load(src + i), values);
        if (bad != 0)
            return i + FinishQuanta(values, bad, dst);
        const v128_t packed = Pack(values);
        wasm_v128_store64_lane(dst, packed, 0);
        wasm_v128_store32_lane(dst + 8, packed, 2);
    }
    if (i == n)
        return n;
    const Mask bad = NonSymbols(LoadShort(src + i, n - i, 0), values);
    return i + FinishQuanta(values, bad, dst);
}

// Six-bit values to their symbols, as the x86 kernels do (kernels_avx2.cpp).
v128_t Symbols(v128_t values) {
    const v128_t offsets =
        wasm_i8x16_make(71, -4, -4, -4, -4, -4, -4, -4, -4, -4, -4, -19, -16, 65, 0, 0);
    const v128_t capitals = wasm_i8x16_gt(wasm_i8x16_splat(26), values);
    const v128_t row = wasm_v128_or(wasm_u8x16_sub_sat(values, wasm_i8x16_splat(51)),
                                    wasm_v128_and(capitals, wasm_i8x16_splat(13)));
    return wasm_i8x16_add(values, wasm_i8x16_swizzle(offsets, row));
}

std::size_t EncodeGroups(const unsigned char* src, std::size_t n, unsigned char* dst) {
    std::size_t i = 0;
    // Loads 16 bytes for 12.
    for (; n - i >= 16; i += 12, dst += 16) {
        const v128_t bytes = Load(src + i);
        // Each group b0 b1 b2 as b1 b0 b2 b1 in a 32-bit lane: its values start at bits 10, 4,
        // 22 and 16.
        const v128_t v =
            wasm_i8x16_shuffle(bytes, bytes, 1, 0, 2, 1, 4, 3, 5, 4, 7, 6, 8, 7, 10, 9, 11, 10);
        const v128_t values = wasm_v128_or(
            wasm_v128_or(wasm_v128_and(wasm_u32x4_shr(v, 10), wasm_i32x4_splat(0x3F)),
                         wasm_v128_and(wasm_i32x4_shl(v, 4), wasm_i32x4_splat(0x3F00))),
            wasm_v128_or(wasm_v128_and(wasm_u32x4_shr(v, 6), wasm_i32x4_splat(0x3F0000)),
                         wasm_v128_and(wasm_i32x4_shl(v, 8), wasm_i32x4_splat(0x3F000000))));
        wasm_v128_store(dst, Symbols(values));
    }
    return i;
}

std::size_t FindLinkEnd(const unsigned char* p, std::size_t n) {
    const v128_t byLow =
        wasm_i8x16_make(0x02, 0, 0x02, 0, 0, 0, 0, 0x02, 0, 0x01, 0x01, 0x01, 0x05, 0x01, 0x04, 0);
    const v128_t byHigh = wasm_i8x16_make(0x01, 0, 0x02, 0x04, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0);
    return FindFirst(p, n, 'A', [&](v128_t bytes) { return NibbleClass(bytes, byLow, byHigh); });
}

std::size_t FindEither(const unsigned char* p, std::size_t n, unsigned char a, unsigned char b) {
    const v128_t va = wasm_i8x16_splat(static_cast<char>(a));
    const v128_t vb = wasm_i8x16_splat(static_cast<char>(b));
    return FindFirst(p, n, 0, [&](v128_t bytes) {
        return Bits(wasm_v128_or(wasm_i8x16_eq(bytes, va), wasm_i8x16_eq(bytes, vb)));
    });
}

std::size_t CountByte(const unsigned char* p, std::size_t n, unsigned char byte) {
    const v128_t wanted = wasm_i8x16_splat(static_cast<char>(byte));
    std::size_t count = 0;
    std::size_t i = 0;
    for (; n - i >= kWidth; i += kWidth)
        count +=
            static_cast<std::size_t>(__builtin_popcount(Bits(wasm_i8x16_eq(Load(p + i), wanted))));
    for (; i < n; ++i)
        count += p[i] == byte;
    return count;
}

std::size_t FindNonAscii(const unsigned char* p, std::size_t n) {
    return FindFirst(p, n, 0, [](v128_t bytes) { return Bits(bytes); });
}

std::size_t FindEscape(const unsigned char* p, std::size_t n, const EscapeSet& escapes) {
    const Mask high = escapes.high ? 0xFFFF : 0;
    return FindFirst(p, n, 'A', [&](v128_t bytes) {
        v128_t hit = wasm_v128_or(wasm_u8x16_le(bytes, wasm_i8x16_splat(0x1F)),
                                  wasm_i8x16_eq(bytes, wasm_i8x16_splat(0x7F)));
        for (const unsigned char e : escapes.extra)
            hit = wasm_v128_or(hit, wasm_i8x16_eq(bytes, wasm_i8x16_splat(static_cast<char>(e))));
        return Bits(hit) | (Bits(bytes) & high);
    });
}

}  // namespace

const Kernels kSimd128Kernels{DecodeQuanta, FindLinkEnd, FindEither,  CountByte,
                              FindNonAscii, FindEscape,  EncodeGroups};

}  // namespace linkdecode::simd

#else

namespace linkdecode::simd {
const Kernels kSimd128Kernels{};
}

#endif
