#include "win32/InputState.h"
#include "win32/Win32.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

// SDL's scancodes for W and Escape: physical key positions.
constexpr int SCANCODE_W = 26;
constexpr int SCANCODE_ESCAPE = 41;

class InputStateTest : public ::testing::Test
{
protected:
    void SetUp() override { InputState::Get().Reset(); }
    void TearDown() override { InputState::Get().Reset(); }
};

TEST_F(InputStateTest, LosingFocusReleasesEveryKeyAndButton)
{
    InputState& input = InputState::Get();
    input.InjectKey(SCANCODE_W, true);
    input.InjectKey(SCANCODE_ESCAPE, true);
    input.InjectButton(0, true);
    input.InjectButton(2, true);
    EXPECT_TRUE(input.IsScancodeDown(SCANCODE_W));
    EXPECT_EQ(input.GetButtons(), 0b101u);
    EXPECT_EQ(GetAsyncKeyState(VK_MBUTTON), static_cast<SHORT>(0x8000));

    input.SetFocus(false);
    EXPECT_FALSE(input.HasFocus());
    EXPECT_FALSE(input.IsScancodeDown(SCANCODE_W));
    EXPECT_FALSE(input.IsScancodeDown(SCANCODE_ESCAPE));
    EXPECT_EQ(input.GetButtons(), 0u);
    EXPECT_EQ(GetAsyncKeyState(VK_LBUTTON), 0);
    input.SetFocus(true);
    EXPECT_TRUE(input.HasFocus());
}

TEST_F(InputStateTest, DeltasAndWheelAccumulateUntilTaken)
{
    InputState& input = InputState::Get();
    input.InjectMotion(3, -1);
    input.InjectMotion(4, 6);
    input.InjectWheel(1);
    input.InjectWheel(2);
    input.InjectWheel(-1);
    long dx = 0;
    long dy = 0;
    long wheel = 0;
    input.TakeMouseDelta(&dx, &dy, &wheel);
    EXPECT_EQ(dx, 7);
    EXPECT_EQ(dy, 5);
    EXPECT_EQ(wheel, 240);
    input.TakeMouseDelta(&dx, &dy, &wheel);
    EXPECT_EQ(dx, 0);
    EXPECT_EQ(dy, 0);
    EXPECT_EQ(wheel, 0);
    input.InjectWheel(-1);
    input.TakeMouseDelta(nullptr, nullptr, &wheel);
    EXPECT_EQ(wheel, -120);
}

TEST_F(InputStateTest, OutOfRangeInputIsIgnored)
{
    InputState& input = InputState::Get();
    input.InjectKey(-1, true);
    input.InjectKey(InputState::SCANCODE_COUNT, true);
    input.InjectButton(4, true);
    input.InjectButton(-1, true);
    EXPECT_FALSE(input.IsScancodeDown(-1));
    EXPECT_FALSE(input.IsScancodeDown(InputState::SCANCODE_COUNT));
    EXPECT_EQ(input.GetButtons(), 0u);
    input.InjectButton(3, true);
    EXPECT_EQ(input.GetButtons(), InputState::BUTTON_X1);
}

TEST_F(InputStateTest, PointerIsWhatGetCursorPosReportsWithoutAWindow)
{
    InputState::Get().SetPointer(123, 45);
    POINT p{};
    ASSERT_TRUE(GetCursorPos(&p));
    EXPECT_EQ(p.x, 123);
    EXPECT_EQ(p.y, 45);
    EXPECT_FALSE(GetCursorPos(nullptr));
}

TEST_F(InputStateTest, FeedingAndTakingFromManyThreadsLosesNothing)
{
    InputState& input = InputState::Get();
    std::vector<std::thread> feeders;
    for (int t = 0; t < 4; ++t) {
        feeders.emplace_back([&input] {
            for (int i = 0; i < 1000; ++i) {
                input.InjectMotion(1, 2);
            }
        });
    }
    long totalX = 0;
    long totalY = 0;
    for (int i = 0; i < 200; ++i) {
        long dx = 0;
        long dy = 0;
        input.TakeMouseDelta(&dx, &dy, nullptr);
        totalX += dx;
        totalY += dy;
    }
    for (auto& feeder : feeders) {
        feeder.join();
    }
    long dx = 0;
    long dy = 0;
    input.TakeMouseDelta(&dx, &dy, nullptr);
    EXPECT_EQ(totalX + dx, 4000);
    EXPECT_EQ(totalY + dy, 8000);
}

} // namespace
