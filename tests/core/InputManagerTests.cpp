#include "core/InputManager.h"

#include "core/KeyboardDevice.h"
#include "core/MouseDevice.h"
#include "core/MouseHelpers.h"
#include "dinput/DInput.h"
#include "win32/InputState.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

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

HWND Window()
{
    return reinterpret_cast<HWND>(static_cast<uintptr_t>(0x2000));
}
HINSTANCE Instance()
{
    return reinterpret_cast<HINSTANCE>(static_cast<uintptr_t>(0x3000));
}

class InputManagerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        InputState::Get().Reset();
        InputManager::ResetForTests();
    }
    void TearDown() override
    {
        InputManager::ResetForTests();
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

    // A cleared keyboard stays clear until the next update.
    input->ClearKeyboardState();
    for (int code = 0; code < 256; ++code)
        EXPECT_FALSE(input->IsKeyDown(code)) << code;
    input->Update();
    EXPECT_TRUE(input->IsKeyDown(KEY_RALT));
}

TEST_F(InputManagerTest, ButtonsByNameAndCodeAndWheelNotchesForExactlyOneFrame)
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

TEST_F(InputManagerTest, UnknownNamesAreNeverDownAndBindNothing)
{
    InputManager* input = Start();
    // With the left button (code 0) down, a name that fell through to code 0 would read as down.
    InputState::Get().InjectButton(0, true);
    input->Update();
    ASSERT_TRUE(input->IsBindingDown("LBUTTON"));
    EXPECT_FALSE(input->IsBindingDown("XBUTTON1"));
    EXPECT_FALSE(input->IsBindingDown(""));

    // Asking did not bind the name: bound now to the right button (up), it follows that button, not the left.
    input->BindMouseName("XBUTTON1", 1);
    EXPECT_FALSE(input->IsBindingDown("XBUTTON1"));
    InputState::Get().InjectButton(1, true);
    input->Update();
    EXPECT_TRUE(input->IsBindingDown("XBUTTON1"));

    // Binding an existing name again keeps its first code.
    input->BindMouseName("LBUTTON", 2);
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

TEST_F(InputManagerTest, TheLeftButtonIsHeldOnEveryFrameWhileItsBindingIsDown)
{
    InputManager* input = InputManager::Get();
    ASSERT_EQ(input->Init(Instance(), Window(), 0), S_OK);
    // Not bound yet: never held.
    InputState::Get().InjectButton(0, true);
    input->Update();
    EXPECT_FALSE(IsLeftButtonHeld());
    input->BindMouseName("LBUTTON", 0);
    EXPECT_TRUE(IsLeftButtonHeld());
    input->Update();
    EXPECT_TRUE(IsLeftButtonHeld());
    InputState::Get().InjectButton(0, false);
    input->Update();
    EXPECT_FALSE(IsLeftButtonHeld());
}

// A device whose answers the test scripts, recording what was asked of it.
class ScriptedDevice final : public IDirectInputDevice8A
{
public:
    ULONG AddRef() override { return ++references; }
    ULONG Release() override { return --references; }
    HRESULT SetDataFormat(LPCDIDATAFORMAT lpdf) override
    {
        calls.push_back("format");
        format = lpdf;
        return DI_OK;
    }
    HRESULT SetCooperativeLevel(HWND hwnd, DWORD dwFlags) override
    {
        calls.push_back("level");
        levelWindow = hwnd;
        level = dwFlags;
        return levelResult;
    }
    HRESULT Acquire() override
    {
        calls.push_back("acquire");
        ++acquires;
        return acquireFailures-- > 0 ? DIERR_OTHERAPPHASPRIO : DI_OK;
    }
    HRESULT Unacquire() override
    {
        calls.push_back("unacquire");
        return DI_OK;
    }
    HRESULT GetDeviceState(DWORD cbData, LPVOID lpvData) override
    {
        calls.push_back("read");
        HRESULT result = DI_OK;
        if (!readResults.empty()) {
            result = readResults.front();
            readResults.erase(readResults.begin());
        }
        if (result == DI_OK && cbData == content.size())
            std::memcpy(lpvData, content.data(), content.size());
        return result;
    }
    HRESULT Poll() override { return DI_NOEFFECT; }

    // Calls made since the last look, which forgets them.
    std::vector<std::string> TakeCalls()
    {
        std::vector<std::string> taken;
        taken.swap(calls);
        return taken;
    }

    ULONG references = 1;
    std::vector<std::string> calls;
    LPCDIDATAFORMAT format = nullptr;
    HWND levelWindow = nullptr;
    DWORD level = 0;
    HRESULT levelResult = DI_OK;
    int acquires = 0;
    int acquireFailures = 0;
    std::vector<HRESULT> readResults;
    std::vector<BYTE> content;
};

class ScriptedInput final : public IDirectInput8A
{
public:
    ULONG AddRef() override { return 2; }
    ULONG Release() override { return 1; }
    HRESULT CreateDevice(REFGUID rguid, LPDIRECTINPUTDEVICE8A* lplpDirectInputDevice, IUnknown*) override
    {
        created = rguid;
        *lplpDirectInputDevice = &device;
        return DI_OK;
    }

    GUID created{};
    ScriptedDevice device;
};

bool SameGuid(const GUID& a, const GUID& b)
{
    return std::memcmp(&a, &b, sizeof(GUID)) == 0;
}

std::vector<BYTE> KeysDown(std::initializer_list<int> codes)
{
    std::vector<BYTE> keys(256, 0);
    for (int code : codes)
        keys[static_cast<size_t>(code)] = 0x80;
    return keys;
}

std::vector<BYTE> MouseBytes(LONG x, LONG y, LONG wheel, BYTE left)
{
    const DIMOUSESTATE state{x, y, wheel, {left, 0, 0, 0}};
    std::vector<BYTE> bytes(sizeof(state));
    std::memcpy(bytes.data(), &state, sizeof(state));
    return bytes;
}

using Calls = std::vector<std::string>;

TEST(InputDeviceTest, InitialisationCreatesSetsFormatAndLevelThenAcquires)
{
    KeyboardDevice keyboard;
    EXPECT_EQ(keyboard.Init(nullptr, Window()), E_FAIL);
    EXPECT_FALSE(keyboard.IsInitialised());

    ScriptedInput keyboardInput;
    ASSERT_EQ(keyboard.Init(&keyboardInput, Window()), S_OK);
    EXPECT_TRUE(keyboard.IsInitialised());
    EXPECT_TRUE(SameGuid(keyboardInput.created, GUID_SysKeyboard));
    EXPECT_EQ(keyboardInput.device.TakeCalls(), (Calls{"format", "level", "acquire"}));
    EXPECT_EQ(keyboardInput.device.format, &c_dfDIKeyboard);
    EXPECT_EQ(keyboardInput.device.levelWindow, Window());
    EXPECT_EQ(keyboardInput.device.level, 6u); // foreground (4) | non-exclusive (2)

    ScriptedInput mouseInput;
    MouseDevice mouse;
    ASSERT_EQ(mouse.Init(&mouseInput, Window()), S_OK);
    EXPECT_TRUE(SameGuid(mouseInput.created, GUID_SysMouse));
    EXPECT_EQ(mouseInput.device.format, &c_dfDIMouse);
    EXPECT_EQ(mouseInput.device.level, 6u);

    keyboard.Release();
    EXPECT_EQ(keyboardInput.device.TakeCalls(), (Calls{"unacquire"}));
    EXPECT_EQ(keyboardInput.device.references, 0u);
    EXPECT_FALSE(keyboard.IsInitialised());
    // Released: a poll reads nothing.
    EXPECT_EQ(keyboard.Poll(), E_FAIL);
    EXPECT_TRUE(keyboardInput.device.TakeCalls().empty());
    mouse.Release();
    EXPECT_EQ(mouseInput.device.references, 0u);
}

TEST(InputDeviceTest, AFailingStepFailsTheInitialisationAndKeepsNothing)
{
    ScriptedInput input;
    input.device.levelResult = DIERR_INVALIDPARAM;
    KeyboardDevice keyboard;
    EXPECT_EQ(keyboard.Init(&input, Window()), E_FAIL);
    EXPECT_FALSE(keyboard.IsInitialised());
    // No acquisition after the failed step; the device was given back.
    EXPECT_EQ(input.device.TakeCalls(), (Calls{"format", "level", "unacquire"}));
    EXPECT_EQ(input.device.references, 0u);
    EXPECT_EQ(keyboard.Poll(), E_FAIL);
    EXPECT_TRUE(input.device.TakeCalls().empty());
}

TEST(InputDeviceTest, AcquireTriesAHundredTimesInARow)
{
    KeyboardDevice never;
    EXPECT_EQ(never.Acquire(), E_FAIL);

    // The hundredth attempt succeeds: that is still success.
    ScriptedInput lucky;
    lucky.device.acquireFailures = 99;
    KeyboardDevice keyboard;
    EXPECT_EQ(keyboard.Init(&lucky, Window()), S_OK);
    EXPECT_EQ(lucky.device.acquires, 100);

    // A hundred failures give up; there is no hundred-and-first attempt.
    ScriptedInput unlucky;
    unlucky.device.acquireFailures = 100;
    MouseDevice mouse;
    EXPECT_EQ(mouse.Init(&unlucky, Window()), E_FAIL);
    EXPECT_EQ(unlucky.device.acquires, 100);
    EXPECT_EQ(unlucky.device.references, 0u);
}

TEST(InputDeviceTest, LostInputIsAcquiredAgainAndReadInTheSameFrame)
{
    ScriptedInput input;
    KeyboardDevice keyboard;
    ASSERT_EQ(keyboard.Init(&input, Window()), S_OK);
    input.device.TakeCalls();

    input.device.content = KeysDown({KEY_W});
    input.device.readResults = {DIERR_INPUTLOST, DI_OK};
    EXPECT_EQ(keyboard.Poll(), S_OK);
    EXPECT_EQ(input.device.TakeCalls(), (Calls{"read", "acquire", "read"}));
    EXPECT_TRUE(keyboard.IsKeyDown(KEY_W));

    // The input cannot be had back (another window has the focus): the acquisition's failure is the answer and
    // the key held as the focus went reads as up.
    input.device.readResults = {DIERR_INPUTLOST};
    input.device.acquireFailures = 1000;
    input.device.acquires = 0;
    EXPECT_EQ(keyboard.Poll(), E_FAIL);
    EXPECT_EQ(input.device.acquires, 100);
    EXPECT_FALSE(keyboard.IsKeyDown(KEY_W));

    // Later frames find the device not acquired; once the focus is back the same cure works.
    input.device.TakeCalls();
    input.device.acquireFailures = 0;
    input.device.readResults = {DIERR_NOTACQUIRED, DI_OK};
    EXPECT_EQ(keyboard.Poll(), S_OK);
    EXPECT_EQ(input.device.TakeCalls(), (Calls{"read", "acquire", "read"}));
    EXPECT_TRUE(keyboard.IsKeyDown(KEY_W));
}

TEST(InputDeviceTest, OtherReadFailuresAreReturnedAndKeepTheLastState)
{
    ScriptedInput keyboardInput;
    KeyboardDevice keyboard;
    ASSERT_EQ(keyboard.Init(&keyboardInput, Window()), S_OK);
    keyboardInput.device.content = KeysDown({KEY_ESCAPE, KEY_F10});
    ASSERT_EQ(keyboard.Poll(), S_OK);
    keyboardInput.device.TakeCalls();
    keyboardInput.device.content = KeysDown({});
    keyboardInput.device.readResults = {DIERR_NOTINITIALIZED};
    EXPECT_EQ(keyboard.Poll(), DIERR_NOTINITIALIZED);
    EXPECT_EQ(keyboardInput.device.TakeCalls(), (Calls{"read"}));
    EXPECT_TRUE(keyboard.IsKeyDown(KEY_ESCAPE));
    EXPECT_TRUE(keyboard.IsKeyDown(KEY_F10));

    ScriptedInput mouseInput;
    MouseDevice mouse;
    ASSERT_EQ(mouse.Init(&mouseInput, Window()), S_OK);
    mouseInput.device.content = MouseBytes(7, -3, 120, 0x80);
    ASSERT_EQ(mouse.Poll(), S_OK);
    mouseInput.device.content = MouseBytes(0, 0, 0, 0);
    mouseInput.device.readResults = {DIERR_INVALIDPARAM};
    EXPECT_EQ(mouse.Poll(), DIERR_INVALIDPARAM);
    EXPECT_EQ(mouse.GetDeltaX(), 7);
    EXPECT_EQ(mouse.GetDeltaY(), -3);
    EXPECT_EQ(mouse.GetWheel(), 120);
    EXPECT_TRUE(mouse.IsButtonDown(0));
}

} // namespace
