#include "ui/UnitTextLabel.h"
#include "core/DataManager.h"
#include "core/GlobalConstants.h"
#include "ui/GuiObject.h"

#include <gtest/gtest.h>

namespace {
class UnitTextLabelTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        DataManager::ResetForTests();
        TextLabel::ResetForTests();
    }
    void TearDown() override
    {
        TextLabel::ResetForTests();
        DataManager::ResetForTests();
    }
    static void Frame(float seconds) { DataManager::Get()->AdvanceTime(seconds); }

    UnitTextLabel text{600.0f, 12.0f};
    const TextLabel& label = text.Label();
};

void ExpectColour(const D3DXCOLOR& c, float r, float g, float b, float a)
{
    EXPECT_FLOAT_EQ(c.r, r);
    EXPECT_FLOAT_EQ(c.g, g);
    EXPECT_FLOAT_EQ(c.b, b);
    EXPECT_FLOAT_EQ(c.a, a);
}
} // namespace

TEST_F(UnitTextLabelTest, StartsRedAndUnseenWhereTheUnitPlacesIt)
{
    EXPECT_FLOAT_EQ(label.x, 600.0f);
    EXPECT_FLOAT_EQ(label.y, 12.0f);
    EXPECT_EQ(label.fontHeight, 24);
    ExpectColour(label.colour, 1.0f, 0.0f, 0.0f, 0.0f);
    ExpectColour(label.baseColour, 1.0f, 0.0f, 0.0f, 1.0f);
    ExpectColour(label.targetColour, 0.0f, 0.0f, 0.0f, 0.0f);
    text.SetFontHeight(36);
    EXPECT_EQ(label.fontHeight, 36);
    text.SetColour(0.0f, 1.0f, 0.0f, 0.5f);
    ExpectColour(label.colour, 0.0f, 1.0f, 0.0f, 0.0f);
    ExpectColour(label.baseColour, 0.0f, 1.0f, 0.0f, 0.5f);
}

TEST_F(UnitTextLabelTest, ARestartedTextRisesFadesInAndFadesOutThreeSecondsLater)
{
    text.SetColour(0.0f, 0.0f, 1.0f, 1.0f);
    text.SetText("Out of Range");
    text.Restart();
    const float start = label.y;
    EXPECT_GE(start, 400.0f);
    EXPECT_LE(start, 500.0f);
    ExpectColour(label.colour, 1.0f, 0.0f, 0.0f, 0.0f);
    ExpectColour(label.baseColour, 1.0f, 0.0f, 0.0f, 1.0f);
    EXPECT_EQ(label.effect, static_cast<uint32_t>(EFFECT_FADE_ALPHA_TO_BASE));
    EXPECT_EQ(label.pendingEffect, static_cast<uint32_t>(EFFECT_FADE_TO_TARGET));
    EXPECT_FLOAT_EQ(label.speed, 13.0f);

    Frame(0.1f);
    const float dt = DataManager::Get()->GetFrameTime();
    ASSERT_GT(dt, 0.0f);
    text.SetX(250.0f);
    text.Queue();
    // 25 pixels a second upwards, the x where the unit stands now, and on its way to full alpha.
    EXPECT_NEAR(label.y, start - 25.0f * dt, 1e-3f);
    EXPECT_FLOAT_EQ(label.x, 250.0f);
    EXPECT_GT(label.colour.a, 0.0f);
    ASSERT_EQ(QueuedText().size(), 1u);
    EXPECT_EQ(QueuedText()[0], &label);
    EXPECT_EQ(QueuedText()[0]->GetText(), "Out of Range");
    EXPECT_EQ(label.effect, static_cast<uint32_t>(EFFECT_FADE_ALPHA_TO_BASE));

    // Three seconds on, the text turns towards its transparent target.
    Frame(3.0f);
    text.Queue();
    EXPECT_EQ(label.effect, static_cast<uint32_t>(EFFECT_FADE_TO_TARGET));
}

TEST_F(UnitTextLabelTest, AHiddenTextIsNeitherMovedNorDrawn)
{
    text.Restart();
    const float start = label.y;
    text.SetVisible(false);
    Frame(0.5f);
    text.Queue();
    EXPECT_TRUE(QueuedText().empty());
    EXPECT_FLOAT_EQ(label.y, start);
    text.SetVisible(true);
    text.Queue();
    EXPECT_EQ(QueuedText().size(), 1u);
    EXPECT_LT(label.y, start);
}
