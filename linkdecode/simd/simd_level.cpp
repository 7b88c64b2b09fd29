#include "linkdecode/simd/simd_level.h"

#include <cstdlib>
#include <cstring>

namespace linkdecode::simd {

namespace {

constexpr Level kLevels[] = {Level::Scalar, Level::Avx2, Level::Avx512, Level::Simd128};

bool Supported(Level level) {
    switch (level) {
        case Level::Scalar:
            return true;
#if defined(__x86_64__) || defined(_M_X64)
        case Level::Avx2:
            __builtin_cpu_init();
            return __builtin_cpu_supports("avx2");
        case Level::Avx512:
            __builtin_cpu_init();
            return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
                   __builtin_cpu_supports("avx512vbmi");
#endif
#if defined(__wasm_simd128__)
        case Level::Simd128:
            return true;
#endif
        default:
            return false;
    }
}

const Kernels& KernelsOf(Level level) {
    switch (level) {
        case Level::Avx2:
            return kAvx2Kernels;
        case Level::Avx512:
            return kAvx512Kernels;
        case Level::Simd128:
            return kSimd128Kernels;
        case Level::Scalar:
            break;
    }
    return kScalarKernels;
}

Level Best() {
    Level best = Level::Scalar;
    for (const Level level : kLevels) {
        if (Supported(level))
            best = level;
    }
    return best;
}

Level Initial() {
    // The page's module imports nothing from WASI, so it has no environment to read.
#if !defined(__wasm__)
    if (const char* name = std::getenv("VELTRUN_SIMD")) {
        for (const Level level : kLevels) {
            if (std::strcmp(name, LevelName(level)) == 0 && Supported(level))
                return level;
        }
    }
#endif
    return Best();
}

Level chosenLevel = Level::Scalar;

}  // namespace

namespace detail {

const Kernels* activeKernels = nullptr;

const Kernels& ChooseKernels() {
    chosenLevel = Initial();
    activeKernels = &KernelsOf(chosenLevel);
    return *activeKernels;
}

}  // namespace detail

const char* LevelName(Level level) {
    switch (level) {
        case Level::Avx2:
            return "avx2";
        case Level::Avx512:
            return "avx512";
        case Level::Simd128:
            return "simd128";
        case Level::Scalar:
            break;
    }
    return "scalar";
}

std::vector<Level> SupportedLevels() {
    std::vector<Level> levels;
    for (const Level level : kLevels) {
        if (Supported(level))
            levels.push_back(level);
    }
    return levels;
}

Level ActiveLevel() {
    (void)ActiveKernels();
    return chosenLevel;
}

bool ForceLevel(Level level) {
    if (!Supported(level))
        return false;
    chosenLevel = level;
    detail::activeKernels = &KernelsOf(level);
    return true;
}

const Kernels kScalarKernels{};

}  // namespace linkdecode::simd
