#include "ui/TextLabel.h"
#include "UiDeviceFixture.h"
#include "core/DataManager.h"
#include "core/GlobalConstants.h"
#include "core/Random.h"
#include "d3dx9/D3DX9Core.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {
class TextLabelTest : public ::testing::Test
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
};

int CellHeight(ID3DXFont* font)
{
    RECT r{0, 0, 0, 0};
    font->DrawTextA(nullptr, "F1 For Help", -1, &r, DT_CALCRECT | DT_NOCLIP, 0xFFFFFFFF);
    return r.bottom - r.top;
}

using TextLabelOnDevice = UiDeviceTest;
} // namespace

TEST_F(TextLabelTest, CreatedLabelStartsInvisibleWithItsColourAsBase)
{
    TextLabel label;
    label.Create(20, "Times New Roman", 0.2f, 0.4f, 0.6f, 0.8f, 1);
    EXPECT_EQ(label.fontHeight, 20);
    EXPECT_FLOAT_EQ(label.colour.a, 0.0f);
    EXPECT_FLOAT_EQ(label.colour.g, 0.4f);
    EXPECT_FLOAT_EQ(label.baseColour.a, 0.8f);
    EXPECT_FLOAT_EQ(label.normalColour.b, 0.6f);
}

TEST_F(TextLabelTest, LinesAreCountedByTheTwoCharacterBreakOnly)
{
    TextLabel label;
    label.SetText("Fire\\nIce\\nStorm");
    EXPECT_EQ(label.GetLineCount(), 3u);
    // 12 (the default height) x 16 characters.
    EXPECT_EQ(label.GetTextWidth(), 192u);
    label.SetText("one\ntwo");
    EXPECT_EQ(label.GetLineCount(), 1u);
}

TEST_F(TextLabelTest, UpdateDriftsAndSizesTheBox)
{
    TextLabel label;
    label.SetText("abc");
    label.SetPosition(5.7f, 3.2f);
    Frame(0.0f);
    label.Update();
    // width 12 x 3 = 36, box 10.8 x 6: (5.7, 3.2, 16.5, 9.2) truncated.
    EXPECT_FLOAT_EQ(label.boxWidth, 10.8f);
    EXPECT_FLOAT_EQ(label.boxHeight, 6.0f);
    const RECT r = label.GetOwnRect();
    EXPECT_EQ(r.left, 5);
    EXPECT_EQ(r.top, 3);
    EXPECT_EQ(r.right, 16);
    EXPECT_EQ(r.bottom, 9);

    label.velocityX = 100.0f;
    label.velocityY = -50.0f;
    Frame(0.1f);
    label.Update();
    EXPECT_NEAR(label.x, 15.7f, 1e-4f);
    EXPECT_NEAR(label.y, -1.8f, 1e-4f);
}

TEST_F(TextLabelTest, NumbersCountOneStepPerHundredthOfASecond)
{
    TextLabel label;
    label.normalColour = D3DXCOLOR(1.0f, 1.0f, 1.0f, 1.0f);
    label.countingColour = D3DXCOLOR(0.0f, 0.0f, 1.0f, 1.0f);
    Frame(0.01f);
    label.SetNumberText("%i", 0, true);
    EXPECT_EQ(label.GetText(), "0");
    for (int step = 1; step <= 5; ++step) {
        label.SetNumberText("%i", 5, true);
        EXPECT_EQ(label.shownNumber, step);
        EXPECT_FLOAT_EQ(label.colour.r, 0.0f) << "counting colour while moving";
    }
    EXPECT_EQ(label.GetText(), "5");
    label.SetNumberText("%i", 5, true);
    EXPECT_FLOAT_EQ(label.colour.r, 1.0f) << "normal colour once it has arrived";
    EXPECT_FLOAT_EQ(label.baseColour.r, 1.0f);

    // Shorter frames gather until a hundredth of a second has passed.
    TextLabel slow;
    Frame(0.004f);
    slow.SetNumberText("%i", 10, true);
    slow.SetNumberText("%i", 12, true); // timer 0.008: no step yet
    EXPECT_EQ(slow.shownNumber, 10);
    slow.SetNumberText("%i", 12, true); // 0.012
    EXPECT_EQ(slow.shownNumber, 11);
}

TEST_F(TextLabelTest, NotCountingShowsTheValueAtOnceInTheCurrentColour)
{
    TextLabel label;
    label.colour = D3DXCOLOR(0.3f, 0.3f, 0.3f, 1.0f);
    Frame(0.5f);
    label.SetNumberText("HP: %i", 42, false);
    EXPECT_EQ(label.GetText(), "HP: 42");
    EXPECT_FLOAT_EQ(label.colour.r, 0.3f);
    label.SetNumberText2("AP: %i/%i", 7, 12, false);
    EXPECT_EQ(label.GetText(), "AP: 7/12");
}

TEST_F(TextLabelTest, OverlongTextIsCutToTheBuffer)
{
    TextLabel label;
    label.SetText(std::string(800, 'x'));
    EXPECT_EQ(label.GetText().size(), TextLabel::BUFFER_SIZE - 1);
    label.SetText("100% sure");
    EXPECT_EQ(label.GetText(), "100% sure");
}

TEST_F(TextLabelTest, QueueKeepsDuplicatesAndIsEmptiedByTheDraw)
{
    TextLabel a;
    TextLabel b;
    a.QueueDraw();
    b.QueueDraw();
    a.QueueDraw();
    ASSERT_EQ(QueuedText().size(), 3u);
    EXPECT_EQ(QueuedText()[2], &a);
    a.Unqueue();
    ASSERT_EQ(QueuedText().size(), 1u);
    EXPECT_EQ(QueuedText()[0], &b);
    DrawQueuedText(); // no device, no font: draws nothing but still empties the queue
    EXPECT_TRUE(QueuedText().empty());
}

TEST_F(TextLabelTest, FloatingTextsStartThirtyToSixtyPixelsApart)
{
    Srand(7);
    TextLabel label;
    float previous = -1.0f;
    for (int i = 0; i < 50; ++i) {
        label.RandomOffsetY();
        EXPECT_GE(label.y, 400.0f);
        EXPECT_LE(label.y, 500.0f);
        if (previous >= 0.0f) {
            const float gap = std::fabs(label.y - previous);
            EXPECT_GE(gap, 30.0f);
            EXPECT_LE(gap, 60.0f);
        }
        previous = label.y;
    }
}

TEST_F(TextLabelOnDevice, FontsFollowTheHeightAndUnqueueReleasesEvenWhenNotQueued)
{
    TextLabel label;
    EXPECT_EQ(label.GetFont(), nullptr);
    label.Draw(); // no font: draws nothing, and does not fail
    label.CreateFont(16, "Times New Roman", 1);
    ASSERT_NE(label.GetFont(), nullptr);
    EXPECT_EQ(CellHeight(label.GetFont()), 16);
    label.ResizeFont(24, true);
    ASSERT_NE(label.GetFont(), nullptr);
    EXPECT_EQ(label.fontHeight, 24);
    EXPECT_EQ(CellHeight(label.GetFont()), 24);
    label.Unqueue();
    EXPECT_EQ(label.GetFont(), nullptr);
}
