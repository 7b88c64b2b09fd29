#pragma once

// The instruction set the core's byte loops run on, chosen once: the best one the processor
// offers, unless the environment variable VELTRUN_SIMD names another ("scalar", "avx2",
// "avx512", "simd128") that it offers too. Every level gives the same bytes.

#include <vector>

#include "linkdecode/simd/kernels.h"

namespace linkdecode::simd {

enum class Level { Scalar, Avx2, Avx512, Simd128 };

// The name VELTRUN_SIMD takes for `level`.
[[nodiscard]] const char* LevelName(Level level);

// The levels this build and processor can run, scalar first and the best last.
[[nodiscard]] std::vector<Level> SupportedLevels();

// The level in use.
[[nodiscard]] Level ActiveLevel();

// Switches every later call of the core to `level` and returns true, or returns false and
// changes nothing when it is not supported. For tests and benchmarks: not thread-safe.
bool ForceLevel(Level level);

namespace detail {
// The kernels of the level in use, null until the first call chooses them. A plain pointer
// rather than a function's static: the byte loops ask for it once a call and a link.
extern const Kernels* activeKernels;
const Kernels& ChooseKernels();
}  // namespace detail

// The kernels of the level in use.
[[nodiscard]] inline const Kernels& ActiveKernels() {
    const Kernels* kernels = detail::activeKernels;
    return kernels != nullptr ? *kernels : detail::ChooseKernels();
}

}  // namespace linkdecode::simd
