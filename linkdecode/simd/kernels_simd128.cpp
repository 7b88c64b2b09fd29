// WebAssembly's 128-bit vectors, when the module is built with -msimd128.
#include "linkdecode/simd/kernels.h"

#if defined(__wasm_simd128__)

#include <wasm_simd128.h>

#include "linkdecode/simd/vector_kernels.h"

namespace linkdecode::simd {

namespace {

struct Simd128 {
    using Vec = v128_t;
    using Mask = unsigned;
    static constexpr std::size_t kWidth = 16;

    static VELTRUN_ALWAYS_INLINE Vec Load(const unsigned char* p) { return wasm_v128_load(p); }
    static VELTRUN_ALWAYS_INLINE void Store(unsigned char* p, Vec v) { wasm_v128_store(p, v); }
    static VELTRUN_ALWAYS_INLINE Mask Bits(Vec v) {
        return static_cast<Mask>(wasm_i8x16_bitmask(v));
    }
    static VELTRUN_ALWAYS_INLINE Vec Splat(char c) { return wasm_i8x16_splat(c); }
    static VELTRUN_ALWAYS_INLINE Vec And(Vec a, Vec b) { return wasm_v128_and(a, b); }
    static VELTRUN_ALWAYS_INLINE Vec Or(Vec a, Vec b) { return wasm_v128_or(a, b); }
    static VELTRUN_ALWAYS_INLINE Vec Add(Vec a, Vec b) { return wasm_i8x16_add(a, b); }
    static VELTRUN_ALWAYS_INLINE Vec Equal(Vec a, Vec b) { return wasm_i8x16_eq(a, b); }
    static VELTRUN_ALWAYS_INLINE Vec AtMost(Vec a, Vec b) { return wasm_u8x16_le(a, b); }
    static VELTRUN_ALWAYS_INLINE Vec Greater(Vec a, Vec b) { return wasm_i8x16_gt(a, b); }
    static VELTRUN_ALWAYS_INLINE Vec SaturatingSub(Vec a, Vec b) {
        return wasm_u8x16_sub_sat(a, b);
    }
    static VELTRUN_ALWAYS_INLINE Vec HighNibbles(Vec v) { return wasm_u8x16_shr(v, 4); }
    static VELTRUN_ALWAYS_INLINE Vec Lookup(Vec table, Vec indices) {
        return wasm_i8x16_swizzle(table, indices);
    }
    static VELTRUN_ALWAYS_INLINE Vec FromLane(const Lane& lane) { return wasm_v128_load(lane.at); }
    // 12 bytes at the start.
    static VELTRUN_ALWAYS_INLINE Vec Pack(Vec values) {
        const v128_t pairs =
            wasm_v128_or(wasm_i16x8_shl(wasm_v128_and(values, wasm_i16x8_splat(0xFF)), 6),
                         wasm_u16x8_shr(values, 8));
        const v128_t quanta =
            wasm_v128_or(wasm_i32x4_shl(wasm_v128_and(pairs, wasm_i32x4_splat(0xFFFF)), 12),
                         wasm_u32x4_shr(pairs, 16));
        return wasm_i8x16_shuffle(quanta, quanta, 2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, 3, 7, 11,
                                  15);
    }
    static VELTRUN_ALWAYS_INLINE void StorePacked(unsigned char* dst, Vec packed) {
        wasm_v128_store64_lane(dst, packed, 0);
        wasm_v128_store32_lane(dst + 8, packed, 2);
    }
};

using Shared = VectorKernels<Simd128>;

std::size_t EncodeGroups(const unsigned char* src, std::size_t n, unsigned char* dst) {
    std::size_t i = 0;
    // Loads 16 bytes for 12.
    for (; n - i >= 16; i += 12, dst += 16) {
        const v128_t bytes = Simd128::Load(src + i);
        // Each group b0 b1 b2 as b1 b0 b2 b1 in a 32-bit lane: its values start at bits 10, 4,
        // 22 and 16.
        const v128_t v =
            wasm_i8x16_shuffle(bytes, bytes, 1, 0, 2, 1, 4, 3, 5, 4, 7, 6, 8, 7, 10, 9, 11, 10);
        const v128_t values = wasm_v128_or(
            wasm_v128_or(wasm_v128_and(wasm_u32x4_shr(v, 10), wasm_i32x4_splat(0x3F)),
                         wasm_v128_and(wasm_i32x4_shl(v, 4), wasm_i32x4_splat(0x3F00))),
            wasm_v128_or(wasm_v128_and(wasm_u32x4_shr(v, 6), wasm_i32x4_splat(0x3F0000)),
                         wasm_v128_and(wasm_i32x4_shl(v, 8), wasm_i32x4_splat(0x3F000000))));
        wasm_v128_store(dst, Shared::Symbols(values));
    }
    return i;
}

}  // namespace

const Kernels kSimd128Kernels{Shared::DecodeQuanta, Shared::FindLinkEnd,  Shared::FindEither,
                              Shared::CountByte,    Shared::FindNonAscii, Shared::FindEscape,
                              EncodeGroups};

}  // namespace linkdecode::simd

#else

namespace linkdecode::simd {
const Kernels kSimd128Kernels{};
}

#endif
