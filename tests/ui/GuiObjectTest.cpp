#include "ui/GuiObject.h"
#include "core/DataManager.h"

#include <gtest/gtest.h>

namespace {
class Swatch : public GuiObject
{
public:
    void Update() override { UpdateEffect(); }
};

class GuiObjectTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        DataManager::ResetForTests();
        GuiObject::SetPulseFlag(true);
    }
    void TearDown() override { DataManager::ResetForTests(); }

    static void Frame(float seconds) { DataManager::Get()->AdvanceTime(seconds); }
};
} // namespace

TEST_F(GuiObjectTest, PendingEffectWithoutDelaySwitchesAndAppliesInTheSameUpdate)
{
    Swatch s;
    s.effect = EFFECT_SET_BASE;
    s.pendingEffect = EFFECT_FADE_TO_TARGET;
    s.targetColour = D3DXCOLOR(0.0f, 0.0f, 0.0f, 0.0f);
    Frame(0.05f);
    s.Update();
    EXPECT_EQ(s.effect, static_cast<uint32_t>(EFFECT_FADE_TO_TARGET));
    EXPECT_FLOAT_EQ(s.effectTimer, 0.0f);
    // 1 + (0 - 1 x 1) x 0.05 x 10 = 0.5 on every component.
    EXPECT_FLOAT_EQ(s.colour.r, 0.5f);
    EXPECT_FLOAT_EQ(s.colour.a, 0.5f);
}

TEST_F(GuiObjectTest, DelayedEffectWaitsAndTheTimerRunsAllTheTime)
{
    Swatch s;
    s.effect = EFFECT_SET_TARGET;
    s.pendingEffect = EFFECT_SET_TARGET;
    Frame(0.1f);
    s.Update();
    s.Update();
    EXPECT_NEAR(s.effectTimer, 0.2f, 1e-6f);

    s.pendingEffect = EFFECT_SET_BASE;
    s.effectDelay = 0.25f;
    s.baseColour = D3DXCOLOR(0.2f, 0.3f, 0.4f, 0.5f);
    s.Update(); // timer 0.3 >= 0.25: switches now
    EXPECT_EQ(s.effect, static_cast<uint32_t>(EFFECT_SET_BASE));
    EXPECT_FLOAT_EQ(s.colour.g, 0.3f);
}

TEST_F(GuiObjectTest, EachEffectMovesTheColourByItsOwnRule)
{
    struct Case {
        const char* name;
        uint32_t effect;
        float factor, seconds;
        D3DXCOLOR start, expected;
    };
    // Base (1, 1, 1, 1), target (0.1, 0.2, 0.3, 0.4), speed 10. A fade adds (goal - factor x colour) x dt x speed.
    const Case cases[] = {
        {"set target", EFFECT_SET_TARGET, 1.0f, 0.016f, {0.9f, 0.9f, 0.9f, 0.9f}, {0.1f, 0.2f, 0.3f, 0.4f}},
        // a += (1 - 0) x 10 x 0.02 = 0.2; the colour is left alone.
        {"alpha to base",
         EFFECT_FADE_ALPHA_TO_BASE,
         1.0f,
         0.02f,
         {0.25f, 0.5f, 0.75f, 0.0f},
         {0.25f, 0.5f, 0.75f, 0.2f}},
        // a += -a x 0.5; the colour stays, so the picture does not darken as it goes.
        {"fade out", EFFECT_FADE_OUT, 1.0f, 0.05f, {0.8f, 0.4f, 0.2f, 1.0f}, {0.8f, 0.4f, 0.2f, 0.5f}},
        // 0.4 + (1 - 0.5 x 0.4) = 1.2: past 1, and left there until it is written into vertices.
        {"factor", EFFECT_FADE_TO_BASE, 0.5f, 0.1f, {0.4f, 0.0f, 1.0f, 1.0f}, {1.2f, 1.0f, 1.5f, 1.5f}},
        // An effect number outside the table leaves the colour as it is.
        {"unknown", 9, 1.0f, 0.1f, {0.4f, 0.0f, 1.0f, 1.0f}, {0.4f, 0.0f, 1.0f, 1.0f}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Swatch s;
        s.effect = s.pendingEffect = c.effect;
        s.factor = c.factor;
        s.colour = c.start;
        s.baseColour = D3DXCOLOR(1.0f, 1.0f, 1.0f, 1.0f);
        s.targetColour = D3DXCOLOR(0.1f, 0.2f, 0.3f, 0.4f);
        Frame(c.seconds);
        s.Update();
        EXPECT_FLOAT_EQ(s.colour.r, c.expected.r);
        EXPECT_FLOAT_EQ(s.colour.g, c.expected.g);
        EXPECT_FLOAT_EQ(s.colour.b, c.expected.b);
        EXPECT_FLOAT_EQ(s.colour.a, c.expected.a);
    }
    // A set effect keeps copying, so a later change shows at once.
    Swatch s;
    s.effect = s.pendingEffect = EFFECT_SET_TARGET;
    s.targetColour.b = 0.9f;
    s.Update();
    EXPECT_FLOAT_EQ(s.colour.b, 0.9f);
}

TEST_F(GuiObjectTest, PulseDirectionIsSharedByEveryPulsingWidget)
{
    Swatch first;
    Swatch second;
    for (Swatch* s : {&first, &second}) {
        s->effect = s->pendingEffect = EFFECT_PULSE;
        s->colour = D3DXCOLOR(0.0f, 0.0f, 0.0f, 0.0f);
        s->baseColour = D3DXCOLOR(0.0f, 0.0f, 0.0f, 0.0f);
        s->targetColour = D3DXCOLOR(1.0f, 1.0f, 1.0f, 1.0f);
    }
    // One step of dt x speed = 1 lands exactly on the target: 0 + (1 - 0) x 1.
    Frame(0.1f);
    first.Update();
    EXPECT_FLOAT_EQ(first.colour.r, 1.0f);
    EXPECT_FALSE(GuiObject::GetPulseFlag());
    // The second widget has not reached anything, yet it now fades toward its base colour too.
    second.colour = D3DXCOLOR(0.5f, 0.5f, 0.5f, 0.5f);
    second.Update();
    // 0.5 + (0 - 0.5) x 1 = 0: it reached the base colour, so the flag turns back.
    EXPECT_FLOAT_EQ(second.colour.r, 0.0f);
    EXPECT_TRUE(GuiObject::GetPulseFlag());
}

TEST_F(GuiObjectTest, ColourBytesClampAndRound)
{
    EXPECT_EQ(ColourComponentToByte(1.5f), 255);
    EXPECT_EQ(ColourComponentToByte(1.0f), 255);
    EXPECT_EQ(ColourComponentToByte(-0.2f), 0);
    EXPECT_EQ(ColourComponentToByte(0.5f), 128); // 127.5 + 0.5
    EXPECT_EQ(ColourComponentToByte(0.1f), 26); // 25.5 + 0.5
    EXPECT_EQ(PackColour(D3DXCOLOR(1.0f, 0.0f, 0.5f, 2.0f)), 0xFFFF0080u);
}

TEST_F(GuiObjectTest, ALongFrameNeverCarriesAFadePastWhereItSettles)
{
    // dt x speed = 0.3 x 10 = 3: unbounded, 0 + (1 - 0) x 3 = 3, then 3 + (1 - 3) x 3 = -3, ...
    struct Case {
        int effect;
        float factor;
        float start;
        float expected; // where the fade settles: goal / factor
    };
    const Case cases[] = {
        {EFFECT_FADE_TO_TARGET, 1.0f, 0.0f, 1.0f},      {EFFECT_FADE_TO_BASE, 1.0f, 1.0f, 0.25f},
        {EFFECT_FADE_TO_TARGET, 0.5f, 0.0f, 2.0f}, // the step stops at 1 / 0.5 = 2: 0 + 1 x 2
        {EFFECT_FADE_ALPHA_TO_BASE, 1.0f, 1.0f, 0.25f}, {EFFECT_FADE_OUT, 1.0f, 0.8f, 0.0f},
    };
    for (const Case& c : cases) {
        Swatch s;
        s.effect = s.pendingEffect = c.effect;
        s.speed = 10.0f;
        s.factor = c.factor;
        s.colour = D3DXCOLOR(c.start, c.start, c.start, c.start);
        s.targetColour = D3DXCOLOR(1.0f, 1.0f, 1.0f, 1.0f);
        s.baseColour = D3DXCOLOR(0.25f, 0.25f, 0.25f, 0.25f);
        for (int frame = 0; frame < 3; ++frame) {
            Frame(0.3f);
            s.Update();
            EXPECT_FLOAT_EQ(s.colour.a, c.expected) << "effect " << c.effect << " frame " << frame;
        }
    }
}

TEST_F(GuiObjectTest, APulseReversesOnceItIsWithinHalfAColourStepOfItsGoalOrPastIt)
{
    Swatch s;
    s.effect = s.pendingEffect = EFFECT_PULSE;
    s.colour = s.baseColour = D3DXCOLOR(0.0f, 0.0f, 0.0f, 0.0f);
    s.targetColour = D3DXCOLOR(1.0f, 1.0f, 1.0f, 1.0f);
    // 60 frames a second at speed 10: each frame keeps 1 - 1/6 of the distance. After 34 frames 0.00203 is
    // left, more than half a colour step (0.00196); after 35, 0.00169.
    for (int frame = 1; frame <= 35; ++frame) {
        Frame(1.0f / 60.0f);
        s.Update();
        EXPECT_EQ(GuiObject::GetPulseFlag(), frame < 35) << frame;
    }

    // With a factor of 0.5 the colour heads for 2 and passes the target 1 on the way: that turns it too.
    GuiObject::SetPulseFlag(true);
    s.factor = 0.5f;
    s.colour = D3DXCOLOR(0.9f, 0.9f, 0.9f, 0.9f);
    Frame(0.1f); // 0.9 + (1 - 0.45) x 1 = 1.45
    s.Update();
    EXPECT_FLOAT_EQ(s.colour.r, 1.45f);
    EXPECT_FALSE(GuiObject::GetPulseFlag());
}
