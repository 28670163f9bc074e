#include "core/VisibleArea.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <vector>

namespace {

// A level of ARGB texels, all clear until painted.
struct Level {
    UINT width, height;
    std::vector<uint32_t> texels;
    Level(UINT w, UINT h) : width(w), height(h), texels(static_cast<size_t>(w) * h, 0u) { }
    void Paint(UINT x0, UINT y0, UINT x1, UINT y1, uint32_t argb)
    {
        for (UINT y = y0; y <= y1; ++y)
            for (UINT x = x0; x <= x1; ++x)
                texels[static_cast<size_t>(y) * width + x] = argb;
    }
    VisibleArea::LevelTexels View(bool hasAlpha = true) const
    {
        return {width, height, width, texels.data(), hasAlpha};
    }
};

VisibleArea From(const std::vector<const Level*>& levels, bool hasAlpha = true)
{
    std::vector<VisibleArea::LevelTexels> views;
    for (const Level* level : levels)
        views.push_back(level->View(hasAlpha));
    return VisibleArea::FromLevels(views);
}

void ExpectRect(const VisibleArea::Rect& rect, float left, float top, float right, float bottom)
{
    EXPECT_FALSE(rect.empty);
    EXPECT_FLOAT_EQ(rect.left, left);
    EXPECT_FLOAT_EQ(rect.top, top);
    EXPECT_FLOAT_EQ(rect.right, right);
    EXPECT_FLOAT_EQ(rect.bottom, bottom);
}

} // namespace

// The numbers below: a bilinear sample reaches texel i of a level n texels wide for u between (i - 0.5) / n and
// (i + 1.5) / n; one texel of level 0 is added on each side, and the rectangle stays within 0 to 1.

TEST(VisibleAreaTest, ClearTextureShowsNothingAtAnyLevel)
{
    Level top(8, 8), half(4, 4), quarter(2, 2), last(1, 1);
    // Colour without alpha adds nothing under a blend by the source's alpha.
    top.Paint(0, 0, 7, 7, 0x00FFFFFFu);
    const VisibleArea area = From({&top, &half, &quarter, &last});
    EXPECT_EQ(area.LevelCount(), 4);
    for (int level : {0, 1, 3, 10, INT_MAX})
        EXPECT_TRUE(area.Cut(level).empty) << level;
}

TEST(VisibleAreaTest, OneTexelInACornerKeepsItsBilinearReach)
{
    // 8 x 8, one faint black texel at (7, 0): black shows under an alpha blend (it darkens).
    Level top(8, 8);
    top.Paint(7, 0, 7, 0, 0x01000000u);
    const VisibleArea area = From({&top});
    // Across: (7 - 0.5) / 8 - 1/8 = 0.6875 to 1. Down: 0 to (0 + 1.5) / 8 + 1/8 = 0.3125.
    ExpectRect(area.Cut(0), 0.6875f, 0.0f, 1.0f, 0.3125f);
    // The only level there is: every level's cut is the same.
    ExpectRect(area.Cut(5), 0.6875f, 0.0f, 1.0f, 0.3125f);
}

TEST(VisibleAreaTest, SoftPuffGrowsWithEachLevelSampled)
{
    // A puff whose alpha fades out at its rim, as a box filter leaves it on each level down: 16 x 16 showing
    // texels 4 to 11, 8 x 8 showing 2 to 5, 4 x 4 showing 1 to 2, 2 x 2 and 1 x 1 wholly.
    Level l0(16, 16), l1(8, 8), l2(4, 4), l3(2, 2), l4(1, 1);
    l0.Paint(4, 4, 11, 11, 0x20FFFFFFu);
    l0.Paint(6, 6, 9, 9, 0xFFFFFFFFu);
    l1.Paint(2, 2, 5, 5, 0x40FFFFFFu);
    l2.Paint(1, 1, 2, 2, 0x60FFFFFFu);
    l3.Paint(0, 0, 1, 1, 0x18FFFFFFu);
    l4.Paint(0, 0, 0, 0, 0x18FFFFFFu);
    const VisibleArea area = From({&l0, &l1, &l2, &l3, &l4});
    ASSERT_EQ(area.LevelCount(), 5);
    // Level 0: (4 - 0.5) / 16 - 1/16 = 0.15625 to (11 + 1.5) / 16 + 1/16 = 0.84375.
    ExpectRect(area.Cut(0), 0.15625f, 0.15625f, 0.84375f, 0.84375f);
    // With level 1: (2 - 0.5) / 8 - 1/16 = 0.125 to (5 + 1.5) / 8 + 1/16 = 0.875.
    ExpectRect(area.Cut(1), 0.125f, 0.125f, 0.875f, 0.875f);
    // With level 2: (1 - 0.5) / 4 - 1/16 = 0.0625 to (2 + 1.5) / 4 + 1/16 = 0.9375.
    ExpectRect(area.Cut(2), 0.0625f, 0.0625f, 0.9375f, 0.9375f);
    // Level 3 shows in every texel: the whole texture, and so on past the last level.
    ExpectRect(area.Cut(3), 0.0f, 0.0f, 1.0f, 1.0f);
    ExpectRect(area.Cut(INT_MAX), 0.0f, 0.0f, 1.0f, 1.0f);
    // A negative level is level 0.
    ExpectRect(area.Cut(-1), 0.15625f, 0.15625f, 0.84375f, 0.84375f);
}

TEST(VisibleAreaTest, AddedGlowCountsByAlphaWhateverItsColour)
{
    // An additive glow: a bright texel with no alpha adds nothing (the source is weighed by its alpha); a black
    // one with alpha adds nothing either without fog, but fog would colour it, so it counts.
    Level top(8, 4);
    top.Paint(0, 0, 0, 3, 0x00FFFFFFu); // bright, clear
    top.Paint(3, 1, 3, 1, 0x80000000u); // black, half alpha
    top.Paint(5, 2, 5, 2, 0xFFFF8040u); // orange, opaque
    const VisibleArea area = From({&top});
    // Across: (3 - 0.5) / 8 - 1/8 = 0.1875 to (5 + 1.5) / 8 + 1/8 = 0.9375; down: (1 - 0.5) / 4 - 1/4 = 0 to
    // (2 + 1.5) / 4 + 1/4 = 1.
    ExpectRect(area.Cut(0), 0.1875f, 0.0f, 0.9375f, 1.0f);
}

TEST(VisibleAreaTest, WithoutAlphaOrWithoutItsLevelsTheWholeTextureShows)
{
    Level top(8, 8), half(4, 4);
    top.Paint(3, 3, 4, 4, 0x00FFFFFFu);
    // A texture without alpha is opaque everywhere.
    ExpectRect(From({&top, &half}, false).Cut(0), 0.0f, 0.0f, 1.0f, 1.0f);

    // A second level of the wrong size ends the reading: level 0 holds, and nothing is known below it.
    top.Paint(3, 3, 4, 4, 0xFF000000u);
    Level wrong(3, 4);
    const VisibleArea broken = From({&top, &wrong});
    EXPECT_EQ(broken.LevelCount(), 1);
    // (3 - 0.5) / 8 - 1/8 = 0.1875 to (4 + 1.5) / 8 + 1/8 = 0.8125.
    ExpectRect(broken.Cut(0), 0.1875f, 0.1875f, 0.8125f, 0.8125f);
    ExpectRect(broken.Cut(1), 0.0f, 0.0f, 1.0f, 1.0f);

    // Nothing read at all, or a texture that could not be read: whole.
    const VisibleArea none = VisibleArea::FromLevels({});
    EXPECT_EQ(none.LevelCount(), 0);
    ExpectRect(none.Cut(0), 0.0f, 0.0f, 1.0f, 1.0f);
    EXPECT_EQ(VisibleArea::OfTexture(nullptr), nullptr);
}

TEST(VisibleAreaTest, LevelsSampledFollowThePixelsAQuadCovers)
{
    // log2 rounded down, plus the level after it, plus one for the driver's estimate.
    EXPECT_EQ(VisibleArea::MaxLevelSampled(1.0f), 2);
    EXPECT_EQ(VisibleArea::MaxLevelSampled(1.9f), 2);
    EXPECT_EQ(VisibleArea::MaxLevelSampled(2.0f), 3);
    EXPECT_EQ(VisibleArea::MaxLevelSampled(9.5f), 5);
    EXPECT_EQ(VisibleArea::MaxLevelSampled(0.5f), 1);
    // Magnified four times and more: level 0 alone.
    EXPECT_EQ(VisibleArea::MaxLevelSampled(0.25f), 0);
    EXPECT_EQ(VisibleArea::MaxLevelSampled(0.01f), 0);
    // No sensible ratio (a quad behind the eye, of no size, or no numbers at all): any level.
    for (float bad : {0.0f, -3.0f, INFINITY, NAN})
        EXPECT_EQ(VisibleArea::MaxLevelSampled(bad), INT_MAX) << bad;
}
