#include "dinput/DInput.h"

#include "win32/InputState.h"

#include <gtest/gtest.h>

#include <array>

namespace {

// SDL scan codes are the USB keyboard usage numbers.
constexpr int USB_W = 26;
constexpr int USB_RETURN = 40;
constexpr int USB_SPACE = 44;
constexpr int USB_F10 = 67;
constexpr int USB_RALT = 230;

HWND TestWindow()
{
    return reinterpret_cast<HWND>(static_cast<uintptr_t>(0x1000));
}

class DInputTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        InputState::Get().Reset();
        ASSERT_EQ(DirectInput8Create(nullptr, DIRECTINPUT_VERSION, IID_IDirectInput8A,
                                     reinterpret_cast<LPVOID*>(&input_), nullptr),
                  DI_OK);
        ASSERT_NE(input_, nullptr);
    }
    void TearDown() override
    {
        if (keyboard_)
            keyboard_->Release();
        if (mouse_)
            mouse_->Release();
        input_->Release();
        InputState::Get().Reset();
    }

    LPDIRECTINPUTDEVICE8A Open(const GUID& guid, const DIDATAFORMAT& format, DWORD level)
    {
        LPDIRECTINPUTDEVICE8A device = nullptr;
        EXPECT_EQ(input_->CreateDevice(guid, &device, nullptr), DI_OK);
        if (!device)
            return nullptr;
        EXPECT_EQ(device->SetDataFormat(&format), DI_OK);
        EXPECT_EQ(device->SetCooperativeLevel(TestWindow(), level), DI_OK);
        EXPECT_EQ(device->Acquire(), DI_OK);
        return device;
    }
    void OpenKeyboard(DWORD level = DISCL_FOREGROUND | DISCL_NONEXCLUSIVE)
    {
        keyboard_ = Open(GUID_SysKeyboard, c_dfDIKeyboard, level);
        ASSERT_NE(keyboard_, nullptr);
    }
    void OpenMouse()
    {
        mouse_ = Open(GUID_SysMouse, c_dfDIMouse, DISCL_FOREGROUND | DISCL_NONEXCLUSIVE);
        ASSERT_NE(mouse_, nullptr);
    }
    std::array<BYTE, 256> Keys()
    {
        std::array<BYTE, 256> keys;
        keys.fill(0x55);
        EXPECT_EQ(keyboard_->GetDeviceState(256, keys.data()), DI_OK);
        return keys;
    }
    DIMOUSESTATE Mouse()
    {
        DIMOUSESTATE state{99, 99, 99, {0x55, 0x55, 0x55, 0x55}};
        EXPECT_EQ(mouse_->GetDeviceState(sizeof(state), &state), DI_OK);
        return state;
    }

    LPDIRECTINPUT8A input_ = nullptr;
    LPDIRECTINPUTDEVICE8A keyboard_ = nullptr;
    LPDIRECTINPUTDEVICE8A mouse_ = nullptr;
};

TEST_F(DInputTest, CreationRefusesWhatItCannotServe)
{
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(DirectInput8Create(nullptr, 0x0700, IID_IDirectInput8A, &out, nullptr), DIERR_OLDDIRECTINPUTVERSION);
    EXPECT_EQ(out, nullptr);
    out = reinterpret_cast<void*>(1);
    EXPECT_EQ(DirectInput8Create(nullptr, DIRECTINPUT_VERSION, GUID_SysMouse, &out, nullptr), DIERR_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(DirectInput8Create(nullptr, DIRECTINPUT_VERSION, IID_IDirectInput8A, nullptr, nullptr),
              DIERR_INVALIDPARAM);

    LPDIRECTINPUTDEVICE8A device = reinterpret_cast<LPDIRECTINPUTDEVICE8A>(1);
    EXPECT_EQ(input_->CreateDevice(IID_IDirectInput8A, &device, nullptr), DIERR_DEVICENOTREG);
    EXPECT_EQ(device, nullptr);
    EXPECT_EQ(input_->CreateDevice(GUID_SysKeyboard, nullptr, nullptr), DIERR_INVALIDPARAM);
}

TEST_F(DInputTest, ADeviceNeedsItsFormatAndAcquisitionBeforeItReads)
{
    ASSERT_EQ(input_->CreateDevice(GUID_SysKeyboard, &keyboard_, nullptr), DI_OK);
    std::array<BYTE, 256> keys{};
    EXPECT_EQ(keyboard_->Acquire(), DIERR_INVALIDPARAM);
    EXPECT_EQ(keyboard_->SetDataFormat(&c_dfDIMouse), DIERR_INVALIDPARAM);
    EXPECT_EQ(keyboard_->SetDataFormat(nullptr), DIERR_INVALIDPARAM);
    EXPECT_EQ(keyboard_->SetDataFormat(&c_dfDIKeyboard), DI_OK);
    EXPECT_EQ(keyboard_->SetCooperativeLevel(nullptr, DISCL_FOREGROUND | DISCL_NONEXCLUSIVE), DIERR_INVALIDPARAM);
    EXPECT_EQ(keyboard_->SetCooperativeLevel(TestWindow(), DISCL_FOREGROUND), DIERR_INVALIDPARAM);
    EXPECT_EQ(keyboard_->SetCooperativeLevel(TestWindow(), 6), DI_OK);
    EXPECT_EQ(keyboard_->GetDeviceState(256, keys.data()), DIERR_NOTACQUIRED);
    EXPECT_EQ(keyboard_->Acquire(), DI_OK);
    EXPECT_EQ(keyboard_->Acquire(), DI_NOEFFECT);
    EXPECT_EQ(keyboard_->SetDataFormat(&c_dfDIKeyboard), DIERR_ACQUIRED);
    EXPECT_EQ(keyboard_->GetDeviceState(255, keys.data()), DIERR_INVALIDPARAM);
    EXPECT_EQ(keyboard_->GetDeviceState(256, nullptr), DIERR_INVALIDPARAM);
    EXPECT_EQ(keyboard_->GetDeviceState(256, keys.data()), DI_OK);
    EXPECT_EQ(keyboard_->Unacquire(), DI_OK);
    EXPECT_EQ(keyboard_->Unacquire(), DI_NOEFFECT);
    EXPECT_EQ(keyboard_->GetDeviceState(256, keys.data()), DIERR_NOTACQUIRED);
}

TEST_F(DInputTest, EachKeyReadsAtItsKeyCode)
{
    OpenKeyboard();
    struct Case {
        const char* key;
        int scancode;
        int keyCode;
    };
    const Case cases[] = {{"Escape", 41, 0x01},  {"Tab", 43, 0x0F},   {"Return", 40, 0x1C}, {"W", 26, 0x11},
                          {"A", 4, 0x1E},        {"S", 22, 0x1F},     {"D", 7, 0x20},       {"Space", 44, 0x39},
                          {"F1", 58, 0x3B},      {"F5", 62, 0x3F},    {"F6", 63, 0x40},     {"F7", 64, 0x41},
                          {"F10", 67, 0x44},     {"Ralt", 230, 0xB8}, {"1", 30, 0x02},      {"0", 39, 0x0B},
                          {"F11", 68, 0x57},     {"F12", 69, 0x58},   {"Lctrl", 224, 0x1D}, {"Lshift", 225, 0x2A},
                          {"Up", 82, 0xC8},      {"Left", 80, 0xCB},  {"Delete", 76, 0xD3}, {"Keypad Enter", 88, 0x9C},
                          {"Keypad 0", 98, 0x52}};
    for (const Case& c : cases) {
        InputState::Get().InjectKey(c.scancode, true);
        const std::array<BYTE, 256> keys = Keys();
        int down = 0;
        for (int code = 0; code < 256; ++code)
            if (keys[code] & 0x80)
                ++down;
        EXPECT_EQ(keys[c.keyCode], 0x80) << c.key;
        EXPECT_EQ(down, 1) << c.key;
        InputState::Get().InjectKey(c.scancode, false);
        EXPECT_EQ(Keys()[c.keyCode], 0x00) << c.key;
    }
}

TEST_F(DInputTest, ATapBetweenTwoReadsCountsAsPressedInTheNextReadOnly)
{
    OpenKeyboard();
    OpenMouse();
    // Down and up again before the frame reads: Alt+Enter tapped quickly.
    InputState::Get().InjectKey(USB_RALT, true);
    InputState::Get().InjectKey(USB_RETURN, true);
    InputState::Get().InjectKey(USB_RETURN, false);
    InputState::Get().InjectKey(USB_RALT, false);
    InputState::Get().InjectButton(0, true);
    InputState::Get().InjectButton(0, false);
    const std::array<BYTE, 256> keys = Keys();
    EXPECT_EQ(keys[0xB8], 0x80);
    EXPECT_EQ(keys[0x1C], 0x80);
    EXPECT_EQ(Mouse().rgbButtons[0], 0x80);
    // The press has been seen: the next frame finds the keys up.
    EXPECT_EQ(Keys()[0x1C], 0x00);
    EXPECT_EQ(Mouse().rgbButtons[0], 0x00);
    // A key still held reads down in every frame.
    InputState::Get().InjectKey(USB_W, true);
    EXPECT_EQ(Keys()[0x11], 0x80);
    EXPECT_EQ(Keys()[0x11], 0x80);
    InputState::Get().InjectKey(USB_W, false);
    EXPECT_EQ(Keys()[0x11], 0x00);
}

TEST_F(DInputTest, MouseMotionAndWheelAccumulateBetweenReads)
{
    InputState::Get().InjectMotion(40, 40); // before the device exists: not part of any read
    OpenMouse();
    InputState::Get().InjectMotion(3, 4);
    InputState::Get().InjectMotion(5, -10);
    InputState::Get().InjectWheel(1);
    DIMOUSESTATE state = Mouse();
    EXPECT_EQ(state.lX, 8);
    EXPECT_EQ(state.lY, -6);
    EXPECT_EQ(state.lZ, 120);

    state = Mouse();
    EXPECT_EQ(state.lX, 0);
    EXPECT_EQ(state.lY, 0);
    EXPECT_EQ(state.lZ, 0);

    InputState::Get().InjectWheel(-2);
    EXPECT_EQ(Mouse().lZ, -240);
}

TEST_F(DInputTest, LosingTheFocusLosesTheInputUntilReacquired)
{
    OpenKeyboard();
    InputState::Get().InjectKey(USB_F10, true);
    EXPECT_EQ(Keys()[DIK_F10], 0x80);

    InputState::Get().SetFocus(false);
    std::array<BYTE, 256> keys{};
    EXPECT_EQ(keyboard_->GetDeviceState(256, keys.data()), DIERR_INPUTLOST);
    EXPECT_EQ(keyboard_->GetDeviceState(256, keys.data()), DIERR_NOTACQUIRED);
    EXPECT_EQ(keyboard_->Acquire(), DIERR_OTHERAPPHASPRIO);

    InputState::Get().SetFocus(true);
    EXPECT_EQ(keyboard_->Acquire(), DI_OK);
    // The key held while the focus went away is up now.
    EXPECT_EQ(Keys()[DIK_F10], 0x00);
}

TEST_F(DInputTest, ABackgroundDeviceReadsWithoutTheFocus)
{
    OpenKeyboard(DISCL_BACKGROUND | DISCL_NONEXCLUSIVE);
    InputState::Get().SetFocus(false);
    InputState::Get().InjectKey(USB_SPACE, true);
    EXPECT_EQ(Keys()[DIK_SPACE], 0x80);
}

TEST_F(DInputTest, ReferenceCountsAreHonest)
{
    OpenKeyboard();
    EXPECT_EQ(keyboard_->AddRef(), 2u);
    EXPECT_EQ(keyboard_->Release(), 1u);
    EXPECT_EQ(input_->AddRef(), 3u); // one for us, one held by the keyboard
    EXPECT_EQ(input_->Release(), 2u);

    // Releasing the DirectInput object first leaves the device working.
    input_->Release();
    input_ = nullptr;
    InputState::Get().InjectKey(USB_W, true);
    EXPECT_EQ(Keys()[DIK_W], 0x80);
    EXPECT_EQ(keyboard_->Release(), 0u);
    keyboard_ = nullptr;
    // Rebuild one for TearDown.
    ASSERT_EQ(DirectInput8Create(nullptr, DIRECTINPUT_VERSION, IID_IDirectInput8A, reinterpret_cast<LPVOID*>(&input_),
                                 nullptr),
              DI_OK);
}

} // namespace
