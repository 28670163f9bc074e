#include "core/InputManager.h"
#include "core/MouseHelpers.h"

#include "win32/InputState.h"

#include <gtest/gtest.h>

namespace {

class LeftButtonTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        InputState::Get().Reset();
        InputManager::Reset();
    }
    void TearDown() override
    {
        InputManager::Reset();
        InputState::Get().Reset();
    }
};

} // namespace

TEST_F(LeftButtonTest, HeldOnEveryFrameWhileTheBoundButtonIsDown)
{
    InputManager* input = InputManager::Get();
    ASSERT_EQ(input->Init(reinterpret_cast<HINSTANCE>(0x3000), reinterpret_cast<HWND>(0x2000), 0), S_OK);
    // Not bound yet: never held.
    InputState::Get().InjectButton(0, true);
    input->Update();
    EXPECT_FALSE(IsLeftButtonHeld());

    input->BindMouseName("LBUTTON", 0);
    EXPECT_TRUE(IsLeftButtonHeld());
    EXPECT_TRUE(IsLeftButtonHeld());
    input->Update();
    EXPECT_TRUE(IsLeftButtonHeld());

    InputState::Get().InjectButton(0, false);
    input->Update();
    EXPECT_FALSE(IsLeftButtonHeld());
}
