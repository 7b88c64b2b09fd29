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

#include "linkdecode/simd/vector_kernels.h"

namespace linkdecode::simd {

namespace {

// The same 16 bytes in both lanes, as vpshufb looks up within each lane.
__m256i Table(char b0, char b1, char b2, char b3, char b4, char b5, char b6, char b7, char b8,
              char b9, char b10, char b11, char b12, char b13, char b14, char b15) {
    return _mm256_broadcastsi128_si256(
        _mm_setr_epi8(b0, b1, b2, b3, b4, b5, b6, b7, b8, b9, b10, b11, b12, b13, b14, b15));
}

struct Avx2 {
    using Vec = __m256i;
    using Mask = unsigned;
    static constexpr std::size_t kWidth = 32;

    static VELTRUN_ALWAYS_INLINE Vec Load(const unsigned char* p) {
        return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    }
    static VELTRUN_ALWAYS_INLINE void Store(unsigned char* p, Vec v) {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
    }
    static VELTRUN_ALWAYS_INLINE Mask Bits(Vec v) {
        return static_cast<Mask>(_mm256_movemask_epi8(v));
    }
    static VELTRUN_ALWAYS_INLINE Vec Splat(char c) { return _mm256_set1_epi8(c); }
    static VELTRUN_ALWAYS_INLINE Vec And(Vec a, Vec b) { return _mm256_and_si256(a, b); }
    static VELTRUN_ALWAYS_INLINE Vec Or(Vec a, Vec b) { return _mm256_or_si256(a, b); }
    static VELTRUN_ALWAYS_INLINE Vec Add(Vec a, Vec b) { return _mm256_add_epi8(a, b); }
    static VELTRUN_ALWAYS_INLINE Vec Equal(Vec a, Vec b) { return _mm256_cmpeq_epi8(a, b); }
    static VELTRUN_ALWAYS_INLINE Vec AtMost(Vec a, Vec b) {
        return _mm256_cmpeq_epi8(_mm256_min_epu8(a, b), a);
    }
    static VELTRUN_ALWAYS_INLINE Vec Greater(Vec a, Vec b) { return _mm256_cmpgt_epi8(a, b); }
    static VELTRUN_ALWAYS_INLINE Vec SaturatingSub(Vec a, Vec b) { return _mm256_subs_epu8(a, b); }
    static VELTRUN_ALWAYS_INLINE Vec HighNibbles(Vec v) {
        return _mm256_and_si256(_mm256_srli_epi32(v, 4), _mm256_set1_epi8(0x0F));
    }
    static VELTRUN_ALWAYS_INLINE Vec Lookup(Vec table, Vec indices) {
        return _mm256_shuffle_epi8(table, indices);
    }
    static VELTRUN_ALWAYS_INLINE Vec FromLane(const Lane& lane) {
        return _mm256_broadcastsi128_si256(
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(lane.at)));
    }
    // 24 bytes at the start.
    static VELTRUN_ALWAYS_INLINE Vec Pack(Vec values) {
        const __m256i pairs = _mm256_maddubs_epi16(values, _mm256_set1_epi32(0x01400140));
        const __m256i quanta = _mm256_madd_epi16(pairs, _mm256_set1_epi32(0x00011000));
        const __m256i lanes = _mm256_shuffle_epi8(
            quanta, Table(2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1));
        return _mm256_permutevar8x32_epi32(lanes, _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 3, 7));
    }
    static VELTRUN_ALWAYS_INLINE void StorePacked(unsigned char* dst, Vec packed) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), _mm256_castsi256_si128(packed));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(dst + 16), _mm256_extracti128_si256(packed, 1));
    }
};

using Shared = VectorKernels<Avx2>;

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
        Avx2::Store(dst, Shared::Symbols(_mm256_or_si256(high, low)));
    }
    return i;
}

}  // namespace

const Kernels kAvx2Kernels{Shared::DecodeQuanta, Shared::FindLinkEnd,  Shared::FindEither,
                           Shared::CountByte,    Shared::FindNonAscii, Shared::FindEscape,
                           EncodeGroups};

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
