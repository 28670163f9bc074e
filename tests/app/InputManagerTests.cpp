#include "app/InputManager.h"

#include "win32/InputState.h"

#include <gtest/gtest.h>

namespace {

// SDL scan codes are the USB keyboard usage numbers.
constexpr int USB_W = 26;
constexpr int USB_ESCAPE = 41;
constexpr int USB_F10 = 67;
constexpr int USB_RALT = 230;

constexpr int KEY_W = 0x11;
constexpr int KEY_ESCAPE = 0x01;
constexpr int KEY_F10 = 0x44;
constexpr int KEY_RALT = 0xB8;

HWND Window() { return reinterpret_cast<HWND>(static_cast<uintptr_t>(0x2000)); }
HINSTANCE Instance() { return reinterpret_cast<HINSTANCE>(static_cast<uintptr_t>(0x3000)); }

class InputManagerTest : public ::testing::Test {
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
    // As the game application does at start.
    InputManager* Start()
    {
        InputManager* input = InputManager::Get();
        EXPECT_EQ(input->Init(Instance(), Window(), 0), S_OK);
        input->BindMouseName("LBUTTON", 0);
        input->BindMouseName("RBUTTON", 1);
        input->BindMouseName("MBUTTON", 2);
        input->BindMouseName("WHEEL_UP", 120);
        input->BindMouseName("WHEEL_DOWN", -120);
        return input;
    }
};

TEST_F(InputManagerTest, KeysReadByTheirCodesForTheWholeFrame)
{
    InputManager* input = Start();
    InputState::Get().InjectKey(USB_W, true);
    InputState::Get().InjectKey(USB_RALT, true);
    EXPECT_FALSE(input->IsKeyDown(KEY_W)); // not polled yet
    input->Update();
    EXPECT_TRUE(input->IsKeyDown(KEY_W));
    EXPECT_TRUE(input->IsKeyDown(KEY_RALT));
    EXPECT_FALSE(input->IsKeyDown(KEY_ESCAPE));
    EXPECT_FALSE(input->IsKeyDown(-1));
    EXPECT_FALSE(input->IsKeyDown(256));

    // Released during the frame: still down until the next update.
    InputState::Get().InjectKey(USB_W, false);
    EXPECT_TRUE(input->IsKeyDown(KEY_W));
    input->Update();
    EXPECT_FALSE(input->IsKeyDown(KEY_W));
    EXPECT_TRUE(input->IsKeyDown(KEY_RALT));
}

TEST_F(InputManagerTest, ClearedKeyboardStaysClearUntilTheNextUpdate)
{
    InputManager* input = Start();
    InputState::Get().InjectKey(USB_ESCAPE, true);
    input->Update();
    ASSERT_TRUE(input->IsKeyDown(KEY_ESCAPE));
    input->ClearKeyboardState();
    for (int code = 0; code < 256; ++code)
        EXPECT_FALSE(input->IsKeyDown(code)) << code;
    input->Update();
    EXPECT_TRUE(input->IsKeyDown(KEY_ESCAPE));
}

TEST_F(InputManagerTest, WheelNotchIsActiveForExactlyOneFrame)
{
    InputManager* input = Start();
    InputState::Get().InjectWheel(1);
    input->Update();
    EXPECT_TRUE(input->IsBindingDown("WHEEL_UP"));
    EXPECT_FALSE(input->IsBindingDown("WHEEL_DOWN"));
    EXPECT_TRUE(input->IsMouseButtonDown(120));
    input->Update();
    EXPECT_FALSE(input->IsBindingDown("WHEEL_UP"));
    EXPECT_FALSE(input->IsBindingDown("WHEEL_DOWN"));

    InputState::Get().InjectWheel(-1);
    input->Update();
    EXPECT_FALSE(input->IsBindingDown("WHEEL_UP"));
    EXPECT_TRUE(input->IsBindingDown("WHEEL_DOWN"));
}

TEST_F(InputManagerTest, ButtonsByNameAndCode)
{
    InputManager* input = Start();
    InputState::Get().InjectButton(1, true);
    InputState::Get().InjectButton(3, true); // the fourth button has no code
    input->Update();
    EXPECT_FALSE(input->IsBindingDown("LBUTTON"));
    EXPECT_TRUE(input->IsBindingDown("RBUTTON"));
    EXPECT_FALSE(input->IsBindingDown("MBUTTON"));
    EXPECT_TRUE(input->IsMouseButtonDown(1));
    EXPECT_FALSE(input->IsMouseButtonDown(3));
    EXPECT_FALSE(input->IsMouseButtonDown(-1));
    EXPECT_FALSE(input->IsMouseButtonDown(121));
}

TEST_F(InputManagerTest, UnknownNamesAreNeverDownAndBindNothing)
{
    InputManager* input = Start();
    // With the left button (code 0) down, a name that fell through to code 0 would read as down.
    InputState::Get().InjectButton(0, true);
    input->Update();
    ASSERT_TRUE(input->IsBindingDown("LBUTTON"));
    EXPECT_FALSE(input->IsBindingDown("XBUTTON1"));
    EXPECT_FALSE(input->IsBindingDown("XBUTTON1"));
    EXPECT_FALSE(input->IsBindingDown(""));

    // Binding an existing name again keeps its first code.
    input->BindMouseName("LBUTTON", 1);
    EXPECT_TRUE(input->IsBindingDown("LBUTTON"));
}

TEST_F(InputManagerTest, FocusLossReleasesHeldKeysAndFocusBringsInputBack)
{
    InputManager* input = Start();
    InputState::Get().InjectKey(USB_F10, true);
    InputState::Get().InjectButton(0, true);
    input->Update();
    ASSERT_TRUE(input->IsKeyDown(KEY_F10));
    ASSERT_TRUE(input->IsBindingDown("LBUTTON"));

    // Alt+Tab away while F10 is held: from the next frame nothing is down, however many frames pass.
    InputState::Get().SetFocus(false);
    for (int frame = 0; frame < 3; ++frame) {
        input->Update();
        EXPECT_FALSE(input->IsKeyDown(KEY_F10));
        EXPECT_FALSE(input->IsBindingDown("LBUTTON"));
    }
    EXPECT_EQ(input->AcquireDevices(), E_FAIL);

    // Back again: the first poll re-acquires and reads in the same frame.
    InputState::Get().SetFocus(true);
    InputState::Get().InjectKey(USB_W, true);
    input->Update();
    EXPECT_TRUE(input->IsKeyDown(KEY_W));
    EXPECT_FALSE(input->IsKeyDown(KEY_F10));
    EXPECT_EQ(input->AcquireDevices(), S_OK);
}

TEST_F(InputManagerTest, WithoutDevicesNothingIsDown)
{
    InputManager* input = InputManager::Get();
    input->BindMouseName("LBUTTON", 0);
    InputState::Get().InjectKey(USB_W, true);
    InputState::Get().InjectButton(0, true);

    // Never initialised.
    input->Update();
    EXPECT_FALSE(input->IsInitialised());
    EXPECT_FALSE(input->IsKeyDown(KEY_W));
    EXPECT_FALSE(input->IsBindingDown("LBUTTON"));
    EXPECT_EQ(input->AcquireDevices(), E_FAIL);
    input->ClearKeyboardState();

    // A failed initialisation (no window to cooperate with) keeps nothing.
    EXPECT_EQ(input->Init(Instance(), nullptr), E_FAIL);
    EXPECT_FALSE(input->IsInitialised());
    input->Update();
    EXPECT_FALSE(input->IsKeyDown(KEY_W));
    EXPECT_EQ(input->AcquireDevices(), E_FAIL);

    // Initialising while the window lacks the focus fails too (a foreground device cannot be acquired); the
    // next focus tries again and succeeds.
    InputState::Get().SetFocus(false);
    EXPECT_EQ(input->Init(Instance(), Window()), E_FAIL);
    InputState::Get().SetFocus(true);
    InputState::Get().InjectKey(USB_W, true);
    EXPECT_EQ(input->Init(Instance(), Window()), S_OK);
    input->Update();
    EXPECT_TRUE(input->IsKeyDown(KEY_W));
}

TEST_F(InputManagerTest, ReleaseAndInitAgain)
{
    InputManager* input = Start();
    // A second Init (every focus calls it while not initialised) replaces the first set of devices.
    EXPECT_EQ(input->Init(Instance(), Window()), S_OK);
    InputState::Get().InjectKey(USB_W, true);
    input->Update();
    EXPECT_TRUE(input->IsKeyDown(KEY_W));

    input->Release();
    EXPECT_FALSE(input->IsInitialised());
    EXPECT_FALSE(input->IsKeyDown(KEY_W));
    input->Update();
    EXPECT_FALSE(input->IsKeyDown(KEY_W));
    EXPECT_EQ(input->AcquireDevices(), E_FAIL);
    input->Release();

    EXPECT_EQ(input->Init(Instance(), Window()), S_OK);
    EXPECT_TRUE(input->IsInitialised());
    input->Update();
    EXPECT_TRUE(input->IsKeyDown(KEY_W));
    // The bindings outlive the devices.
    InputState::Get().InjectButton(2, true);
    input->Update();
    EXPECT_TRUE(input->IsBindingDown("MBUTTON"));
}

} // namespace
