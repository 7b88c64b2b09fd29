#include "app/icon_origin.h"

#include <gtest/gtest.h>

namespace {

struct OriginCase {
    int client;
    int icon;
    int origin;
};

class IconOriginTest : public ::testing::TestWithParam<OriginCase> {};

TEST_P(IconOriginTest, CentresRoundingHalvesUpAndTruncatingTowardZero) {
    EXPECT_EQ(CenteredIconOrigin(GetParam().client, GetParam().icon), GetParam().origin);
}

INSTANTIATE_TEST_SUITE_P(
    Extents, IconOriginTest,
    ::testing::Values(OriginCase{100, 32, 34},                                            // 69 / 2
                      OriginCase{101, 32, 35},                                            // 70 / 2
                      OriginCase{32, 32, 0},                                              // 1 / 2
                      OriginCase{33, 32, 1}, OriginCase{0, 0, 0}, OriginCase{36, 32, 2},  // 5 / 2
                      // Smaller than the icon: signed and truncated toward zero, not floored.
                      OriginCase{31, 32, 0},     // 0 / 2
                      OriginCase{30, 32, 0},     // -1 / 2
                      OriginCase{29, 32, -1},    // -2 / 2
                      OriginCase{28, 32, -1},    // -3 / 2
                      OriginCase{0, 32, -15},    // -31 / 2
                      OriginCase{0, 33, -16}));  // -32 / 2

}  // namespace
