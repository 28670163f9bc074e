#include "core/GlobalConstants.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>

namespace {
uint32_t Bits(float f)
{
    uint32_t u;
    std::memcpy(&u, &f, sizeof u);
    return u;
}
} // namespace

TEST(GlobalConstants, HexGeometryMatchesItsDerivation)
{
    // 30 degrees in single precision, with sine and cosine taken in extended precision and rounded once.
    const long double angle = 0.5235987901687622L;
    EXPECT_EQ(Bits(HEX_SIDE_SIN30), Bits(static_cast<float>(std::sin(angle) * 64.0L)));
    EXPECT_EQ(Bits(HEX_SIDE_COS30), Bits(static_cast<float>(std::cos(angle) * 64.0L)));
    EXPECT_EQ(Bits(HEX_SIDE_SIN30), 0x42000000u);
    EXPECT_EQ(Bits(HEX_SIDE_COS30), 0x425db3d7u);
    EXPECT_EQ(Bits(HEX_SPAN_VERTEX), 0x43000000u);
    EXPECT_EQ(Bits(HEX_SPAN_FLAT), 0x42ddb3d7u);
}
