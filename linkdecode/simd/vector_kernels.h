#pragma once

// The kernels AVX2 and SIMD128 share, written once over a unit's vector operations. Only a kernel
// unit includes this, after it sets its instruction set; each instantiates it with an operations
// type of its own anonymous namespace, so no two units can share a copy of any of it.
//
// An operations type V gives: Vec and Mask (a bit a byte, the first byte lowest); kWidth bytes a
// Vec; Load, Store; Bits (each byte's top bit); Splat; And, Or, Add (by byte); Equal; AtMost
// (unsigned, by byte); Greater (signed); SaturatingSub (unsigned); HighNibbles (each byte's
// high nibble); Lookup (16 bytes by indices below 16, the same table for every 16 bytes);
// FromLane (a Lane as such a table); Pack (the values of four symbols in each 32-bit lane to
// their three bytes, at the vector's start).

#include <cstddef>

#include "linkdecode/simd/byte_tables.h"
#include "linkdecode/simd/kernels.h"

#define VELTRUN_ALWAYS_INLINE inline __attribute__((always_inline))

namespace linkdecode::simd {

template <typename V>
struct VectorKernels {
    using Vec = typename V::Vec;
    using Mask = typename V::Mask;
    static constexpr std::size_t kWidth = V::kWidth;
    static constexpr Mask kEvery = static_cast<Mask>(~Mask{0} >> (sizeof(Mask) * 8 - kWidth));

    // The last `n` (< kWidth) bytes of a text, followed by `fill`.
    static VELTRUN_ALWAYS_INLINE Vec LoadShort(const unsigned char* p, std::size_t n,
                                               unsigned char fill) {
        unsigned char block[kWidth];
        __builtin_memset(block, fill, kWidth);
        __builtin_memcpy(block, p, n);
        return V::Load(block);
    }

    // The bytes of `set`'s table lookups that share no bit: the bytes outside the set.
    static VELTRUN_ALWAYS_INLINE Mask Outside(Vec bytes, const NibbleSet& set) {
        const Vec low = V::And(bytes, V::Splat(0x0F));
        const Vec both = V::And(V::Lookup(V::FromLane(set.byLow), low),
                                V::Lookup(V::FromLane(set.byHigh), V::HighNibbles(bytes)));
        return V::Bits(V::Equal(both, V::Splat(0)));
    }

    // Where the first byte `match` flags stands, or n. A short text is padded with `fill`; the
    // last block of a longer one overlaps the block before it.
    template <typename Match>
    static VELTRUN_ALWAYS_INLINE std::size_t FindFirst(const unsigned char* p, std::size_t n,
                                                       unsigned char fill, Match match) {
        std::size_t i = 0;
        for (; n - i >= kWidth; i += kWidth) {
            if (const Mask hits = match(V::Load(p + i)))
                return i + static_cast<std::size_t>(__builtin_ctz(hits));
        }
        if (i == n)
            return n;
        Mask hits;
        if (n >= kWidth)
            hits = match(V::Load(p + n - kWidth)) >> (kWidth - (n - i));
        else
            hits = match(LoadShort(p, n, fill)) & ((Mask{1} << n) - 1);
        return hits != 0 ? i + static_cast<std::size_t>(__builtin_ctz(hits)) : n;
    }

    // Flags the bytes that are no Base64 symbol and sets `values` to the value of each symbol.
    static VELTRUN_ALWAYS_INLINE Mask NonSymbols(Vec bytes, Vec& values) {
        const Vec row = V::Add(V::HighNibbles(bytes), V::Equal(bytes, V::Splat('/')));
        values = V::Add(bytes, V::Lookup(V::FromLane(kValueShift), row));
        return Outside(bytes, kBase64SymbolSet);
    }

    // The quanta before the first non-symbol of a block: writes their bytes, returns their
    // symbols.
    static VELTRUN_ALWAYS_INLINE std::size_t FinishQuanta(Vec values, Mask nonSymbols,
                                                          unsigned char* dst) {
        const std::size_t symbols =
            static_cast<std::size_t>(__builtin_ctz(nonSymbols)) & ~std::size_t{3};
        unsigned char bytes[kWidth];
        V::Store(bytes, V::Pack(values));
        __builtin_memcpy(dst, bytes, symbols / 4 * 3);
        return symbols;
    }

    static std::size_t DecodeQuanta(const unsigned char* src, std::size_t n, unsigned char* dst) {
        std::size_t i = 0;
        Vec values;
        for (; n - i >= kWidth; i += kWidth, dst += kWidth / 4 * 3) {
            const Mask bad = NonSymbols(V::Load(src + i), values);
            if (bad != 0)
                return i + FinishQuanta(values, bad, dst);
            V::StorePacked(dst, V::Pack(values));
        }
        if (i == n)
            return n;
        // Zero bytes pad the block, and zero is no symbol.
        const Mask bad = NonSymbols(LoadShort(src + i, n - i, 0), values);
        return i + FinishQuanta(values, bad, dst);
    }

    // Six-bit values, one a byte, to their symbols.
    static VELTRUN_ALWAYS_INLINE Vec Symbols(Vec values) {
        const Vec capitals = V::Greater(V::Splat(26), values);
        const Vec row =
            V::Or(V::SaturatingSub(values, V::Splat(51)), V::And(capitals, V::Splat(13)));
        return V::Add(values, V::Lookup(V::FromLane(kSymbolShift), row));
    }

    static std::size_t FindLinkEnd(const unsigned char* p, std::size_t n) {
        return FindFirst(p, n, 'A',
                         [](Vec bytes) { return ~Outside(bytes, kLinkEndSet) & kEvery; });
    }

    static std::size_t FindEither(const unsigned char* p, std::size_t n, unsigned char a,
                                  unsigned char b) {
        const Vec va = V::Splat(static_cast<char>(a));
        const Vec vb = V::Splat(static_cast<char>(b));
        return FindFirst(p, n, 0, [&](Vec bytes) {
            return V::Bits(V::Or(V::Equal(bytes, va), V::Equal(bytes, vb)));
        });
    }

    static std::size_t CountByte(const unsigned char* p, std::size_t n, unsigned char byte) {
        const Vec wanted = V::Splat(static_cast<char>(byte));
        const auto hits = [&](Vec bytes) { return V::Bits(V::Equal(bytes, wanted)); };
        std::size_t count = 0;
        std::size_t i = 0;
        for (; n - i >= kWidth; i += kWidth)
            count += static_cast<std::size_t>(__builtin_popcount(hits(V::Load(p + i))));
        if (i == n)
            return count;
        // The rest in one block: the last of a longer text, its bytes counted before shifted out.
        const Mask rest = n >= kWidth
                              ? hits(V::Load(p + n - kWidth)) >> (kWidth - (n - i))
                              : hits(LoadShort(p, n, static_cast<unsigned char>(byte + 1))) &
                                    ((Mask{1} << n) - 1);
        return count + static_cast<std::size_t>(__builtin_popcount(rest));
    }

    static std::size_t FindNonAscii(const unsigned char* p, std::size_t n) {
        return FindFirst(p, n, 0, [](Vec bytes) { return V::Bits(bytes); });
    }

    static std::size_t FindEscape(const unsigned char* p, std::size_t n, const EscapeSet& escapes) {
        const Vec lastControl = V::Splat(0x1F);
        const Vec del = V::Splat(0x7F);
        Vec extra[4];
        for (int k = 0; k < 4; ++k)
            extra[k] = V::Splat(static_cast<char>(escapes.extra[k]));
        const Mask high = escapes.high ? kEvery : 0;
        return FindFirst(p, n, 'A', [&](Vec bytes) {
            Vec hit = V::Or(V::AtMost(bytes, lastControl), V::Equal(bytes, del));
            for (const Vec& e : extra)
                hit = V::Or(hit, V::Equal(bytes, e));
            return V::Bits(hit) | (V::Bits(bytes) & high);
        });
    }
};

}  // namespace linkdecode::simd
