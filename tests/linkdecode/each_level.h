#pragma once

#include <gtest/gtest.h>

#include "linkdecode/simd/simd_level.h"

namespace linkdecode::testing {

// Runs `body(level)` on each level this processor supports, the scalar one first, and then
// returns to the level that was in use.
template <typename Body>
void OnEachLevel(Body body) {
    const simd::Level before = simd::ActiveLevel();
    for (const simd::Level level : simd::SupportedLevels()) {
        ASSERT_TRUE(simd::ForceLevel(level));
        SCOPED_TRACE(simd::LevelName(level));
        body(level);
    }
    simd::ForceLevel(before);
}

}  // namespace linkdecode::testing
