#include "CountingApplication.h"

#include "app/FrameClock.h"
#include "app/GameApplication.h"
#include "core/DataManager.h"
#include "d3d9/null/NullDevice.h"
#include "support/DataTree.h"
#include "ui/MouseOverManager.h"
#include "win32/Log.h"
#include "win32/TestHooks.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr UINT MEGABYTE = 1u << 20;

const char* const PIXEL_SHADER_MESSAGE =
    "Your Video Card Does Not Support Pixel Shader Version 2.0. Program Must Exit.";
const char* const VERTEX_SHADER_MESSAGE =
    "Your Video Card Does Not Support Vertex Shader Version 2.0. Program Must Exit.";
const char* const TEXTURE_SIZE_MESSAGE =
    "Your Video Card Does Not Support Textures larger then 512x512. Program Must Exit.";
const char* const TEXTURE_MEMORY_MESSAGE = "Your Video Card Does Not Have Enough Texture Memory. Program Must Exit.";

class ApplicationTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Win32TestHooks::ResetWindowLayer();
        Win32TestHooks::CaptureMessageBoxes(true);
        D3D9SetBackEnd(D3D9_BACKEND_NULL);
        NullDevice::ResetForTests();
        FrameClock::ResetForTests();
    }

    void TearDown() override
    {
        app.reset();
        DataManager::ResetForTests();
        NullDevice::ResetForTests();
        D3D9SetBackEnd(D3D9_BACKEND_AUTO);
        FrameClock::ResetForTests();
        Win32TestHooks::ResetWindowLayer();
    }

    CountingApplication& Make()
    {
        app.reset();
        DataManager::ResetForTests();
        Win32TestHooks::ResetWindowLayer();
        Win32TestHooks::CaptureMessageBoxes(true);
        app = std::make_unique<CountingApplication>();
        return *app;
    }

    // Creates the application on the null device; the test fails unless that works.
    CountingApplication& Started()
    {
        CountingApplication& a = Make();
        EXPECT_EQ(a.Create(nullptr, nullptr), S_OK);
        EXPECT_TRUE(a.IsActive());
        EXPECT_NE(a.GetDevice(), nullptr);
        return a;
    }

    static void CloseOnFrame(CountingApplication& a, int frame)
    {
        a.onUpdate = [frame](CountingApplication& self, int n) {
            if (n == frame) {
                PostMessageA(self.GetWindow(), WM_CLOSE, 0, 0);
            }
        };
    }

    std::unique_ptr<CountingApplication> app;
};

} // namespace

TEST_F(ApplicationTest, CapabilityGate)
{
    struct Case {
        const char* name;
        NullDeviceConfig config;
        const char* message; // null: the card passes
    };
    auto with = [](auto change) {
        NullDeviceConfig config;
        change(config);
        return config;
    };
    const Case cases[] = {
        {"exactly 96 MiB", with([](NullDeviceConfig& c) { c.availableTextureMem = 96 * MEGABYTE; }), nullptr},
        {"one byte under 96 MiB", with([](NullDeviceConfig& c) { c.availableTextureMem = 96 * MEGABYTE - 1; }),
         TEXTURE_MEMORY_MESSAGE},
        {"512 x 256 textures", with([](NullDeviceConfig& c) { c.maxTextureHeight = 256; }), TEXTURE_SIZE_MESSAGE},
        {"256 x 512 textures", with([](NullDeviceConfig& c) { c.maxTextureWidth = 256; }), TEXTURE_SIZE_MESSAGE},
        {"512 x 512 textures and shader 2.0 exactly", with([](NullDeviceConfig& c) {
             c.maxTextureWidth = 512;
             c.maxTextureHeight = 512;
             c.pixelShaderVersion = D3DPS_VERSION(2, 0);
             c.vertexShaderVersion = D3DVS_VERSION(2, 0);
         }),
         nullptr},
        {"no pixel shader 2.0 on a card that lacks everything", with([](NullDeviceConfig& c) {
             c.pixelShaderVersion = D3DPS_VERSION(1, 4);
             c.vertexShaderVersion = D3DVS_VERSION(1, 1);
             c.maxTextureWidth = 256;
             c.availableTextureMem = 0;
         }),
         PIXEL_SHADER_MESSAGE},
        {"no vertex shader 2.0", with([](NullDeviceConfig& c) {
             c.vertexShaderVersion = D3DVS_VERSION(1, 1);
             c.maxTextureHeight = 128;
         }),
         VERTEX_SHADER_MESSAGE},
    };

    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        NullDevice::SetConfig(test.config);
        CountingApplication& a = Make();
        const HRESULT created = a.Create(nullptr, nullptr);
        const auto boxes = Win32TestHooks::TakeMessageBoxes();
        if (test.message) {
            EXPECT_EQ(created, E_FAIL);
            ASSERT_EQ(boxes.size(), 1u);
            EXPECT_EQ(boxes[0].text, test.message);
            EXPECT_EQ(boxes[0].caption, "ERROR");
            EXPECT_EQ(boxes[0].type, MB_OK);
            EXPECT_FALSE(a.IsActive());
            EXPECT_EQ(a.GetDevice(), nullptr);
            EXPECT_EQ(a.createDeviceResources, 0);
        } else {
            EXPECT_EQ(created, S_OK);
            EXPECT_TRUE(boxes.empty());
            EXPECT_EQ(a.createDeviceResources, 1);
            EXPECT_EQ(a.Caps().MaxTextureWidth, test.config.maxTextureWidth);
            EXPECT_EQ(a.Caps().MaxTextureHeight, test.config.maxTextureHeight);
            CloseOnFrame(a, 1);
        }
        EXPECT_EQ(a.initScene, 1);
        EXPECT_EQ(a.Run(), test.message ? 1 : 0);
        EXPECT_EQ(a.shutdowns, 1);
        EXPECT_EQ(a.updates, test.message ? 0 : 1);
        EXPECT_EQ(a.renders, test.message ? 0 : 1);
    }
}

TEST_F(ApplicationTest, AFailedStepOfTheStartFailsItAndShutsDownOnce)
{
    struct Case {
        const char* name;
        bool initScene, device, resources;
        int resourcesMade;
    };
    const Case cases[] = {{"scene set-up", false, true, true, 0},
                          {"device creation", true, false, true, 0},
                          {"device resources", true, true, false, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        NullDeviceConfig config;
        config.failCreateDevice = !c.device;
        NullDevice::SetConfig(config);
        CountingApplication& a = Make();
        a.initSceneResult = c.initScene ? S_OK : E_FAIL;
        a.createDeviceResourcesResult = c.resources;
        EXPECT_EQ(a.Create(nullptr, nullptr), E_FAIL);
        EXPECT_FALSE(a.IsActive());
        EXPECT_EQ(a.createDeviceResources, c.resourcesMade);
        EXPECT_EQ(a.Run(), 1);
        EXPECT_EQ(a.shutdowns, 1);
        EXPECT_EQ(a.updates, 0);
        EXPECT_TRUE(Win32TestHooks::TakeMessageBoxes().empty());
    }
}

TEST_F(ApplicationTest, NoUsableSettingIsRefusedLikeAWeakCard)
{
    // Without pure-device support nothing is enumerated, so there is neither a windowed nor a full-screen setting.
    NullDeviceConfig config;
    config.devCaps = D3DDEVCAPS_HWTRANSFORMANDLIGHT;
    NullDevice::SetConfig(config);
    CountingApplication& a = Make();
    EXPECT_EQ(a.Create(nullptr, nullptr), E_FAIL);
    const auto boxes = Win32TestHooks::TakeMessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "ERROR");
    EXPECT_NE(boxes[0].text.find("Program Must Exit."), std::string::npos);
    EXPECT_EQ(a.initScene, 0);
    EXPECT_EQ(a.Run(), 1);
    EXPECT_EQ(a.shutdowns, 1);
    EXPECT_EQ(a.updates, 0);
}

TEST_F(ApplicationTest, TheWindowStartsCentredAndWindowed)
{
    CountingApplication& a = Started();
    // The dummy driver's desktop is 1024 x 768: (1024 - 1024) / 2 = 0 and (768 - 768) / 2 = 0. The popup has no
    // frame, so the window is exactly its client area.
    RECT window{};
    ASSERT_TRUE(GetWindowRect(a.GetWindow(), &window));
    EXPECT_EQ(window.left, 0);
    EXPECT_EQ(window.top, 0);
    EXPECT_EQ(window.right, 1024);
    EXPECT_EQ(window.bottom, 768);
    EXPECT_EQ(a.WindowStyle(), 0x90000000u);
    RECT client{};
    ASSERT_TRUE(GetClientRect(a.GetWindow(), &client));
    EXPECT_EQ(client.right - client.left, 1024);
    EXPECT_EQ(client.bottom - client.top, 768);

    EXPECT_TRUE(a.IsWindowed());
    const D3DPRESENT_PARAMETERS& pp = a.GetPresentParameters();
    EXPECT_EQ(pp.Windowed, TRUE);
    EXPECT_EQ(pp.BackBufferWidth, 1024u);
    EXPECT_EQ(pp.BackBufferHeight, 768u);
    EXPECT_EQ(a.GetBackBufferDesc().Width, 1024u);
    EXPECT_EQ(a.GetBackBufferDesc().Height, 768u);
    EXPECT_NE(a.BackBuffer(), nullptr);
    // The data manager holds the same device.
    EXPECT_EQ(DataManager::Get()->GetDevice(), a.GetDevice());
}

TEST_F(ApplicationTest, CloseEndsTheLoopWithNoFurtherFrame)
{
    CountingApplication& a = Started();
    HWND window = a.GetWindow();
    CloseOnFrame(a, 3);
    EXPECT_EQ(a.Run(), 0);
    EXPECT_EQ(a.updates, 3);
    EXPECT_EQ(a.renders, 3);
    EXPECT_EQ(a.shutdowns, 1);
    EXPECT_EQ(a.calls.back(), "Shutdown");
    EXPECT_EQ(a.GetDevice(), nullptr);
    EXPECT_EQ(a.GetWindow(), nullptr);
    EXPECT_FALSE(IsWindow(window));
}

TEST_F(ApplicationTest, FramesArePacedToTheRefreshAndTheWaitLeavesTheProcessorIdle)
{
    CountingApplication& a = Started();
    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    a.onUpdate = [start](CountingApplication& self, int) {
        if (Clock::now() - start >= std::chrono::milliseconds(300)) {
            PostMessageA(self.GetWindow(), WM_CLOSE, 0, 0);
        }
    };
    const std::clock_t processorBefore = std::clock();
    EXPECT_EQ(a.Run(), 0);
    const double processorSeconds = static_cast<double>(std::clock() - processorBefore) / CLOCKS_PER_SEC;
    // The null device's desktop refreshes at 60 Hz: 300 ms hold 18 frames, and one more ends the run. A
    // loop that spins would run thousands.
    EXPECT_LE(a.updates, 20);
    EXPECT_GE(a.updates, 2);
    EXPECT_LT(processorSeconds, 0.15);
}

TEST_F(ApplicationTest, AQuitPostedDuringAFrameLetsThatFrameRenderAndNoMore)
{
    CountingApplication& a = Started();
    a.onUpdate = [](CountingApplication&, int n) {
        if (n == 2) {
            PostQuitMessage(7);
        }
    };
    EXPECT_EQ(a.Run(), 7);
    EXPECT_EQ(a.updates, 2);
    EXPECT_EQ(a.renders, 2);
    EXPECT_EQ(a.shutdowns, 1);
}

TEST_F(ApplicationTest, MinimiseStopsFramesAndRestoreResetsOnce)
{
    CountingApplication& a = Started();
    HWND window = a.GetWindow();
    std::atomic<int> framesWhenRestored{-1};
    std::thread restorer;
    a.onUpdate = [&](CountingApplication& self, int n) {
        if (n == 1) {
            PostMessageA(window, WM_SIZE, SIZE_MINIMIZED, 0);
            // While minimised the loop has nothing to do; a restore comes later from outside.
            restorer = std::thread([&self, window, &framesWhenRestored] {
                std::this_thread::sleep_for(std::chrono::milliseconds(150));
                framesWhenRestored = self.updates;
                PostMessageA(window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(1024, 768));
            });
        } else if (n == 2) {
            PostMessageA(window, WM_CLOSE, 0, 0);
        }
    };
    EXPECT_EQ(a.Run(), 0);
    restorer.join();
    EXPECT_EQ(framesWhenRestored, 1);
    EXPECT_EQ(a.updates, 2);
    EXPECT_EQ(a.resizes, 1);
    EXPECT_EQ(a.resets, 1);
    const std::vector<std::string> expected = {"InitScene",
                                               "CreateDeviceResources",
                                               "UpdateFrame",
                                               "Render",
                                               "OnWindowResized",
                                               "ResetDevice",
                                               "ReleaseDeviceResources",
                                               "RestoreDeviceResources",
                                               "UpdateFrame",
                                               "Render",
                                               "Shutdown"};
    EXPECT_EQ(a.calls, expected);
}

TEST_F(ApplicationTest, MenuLoopsAndMovesPauseFrames)
{
    CountingApplication& a = Started();
    HWND window = a.GetWindow();
    a.HandleMessage(window, WM_ENTERMENULOOP, 0, 0);
    EXPECT_FALSE(a.IsActive());
    a.HandleMessage(window, WM_EXITMENULOOP, 0, 0);
    EXPECT_TRUE(a.IsActive());
    EXPECT_EQ(a.resets, 0);

    a.HandleMessage(window, WM_ENTERSIZEMOVE, 0, 0);
    EXPECT_FALSE(a.IsActive());
    a.HandleMessage(window, WM_EXITSIZEMOVE, 0, 0);
    EXPECT_TRUE(a.IsActive());
    EXPECT_EQ(a.resizes, 1);
    EXPECT_EQ(a.resets, 1);

    // A maximise resets as a restore does; other size kinds change nothing.
    a.HandleMessage(window, WM_SIZE, SIZE_MAXIMIZED, 0);
    EXPECT_EQ(a.resets, 2);
    a.HandleMessage(window, WM_SIZE, SIZE_MAXSHOW, 0);
    EXPECT_EQ(a.resets, 2);
    EXPECT_TRUE(a.IsActive());
}

TEST_F(ApplicationTest, TheEndOfAMoveOrSizeGivesTheBackBufferTheClientSize)
{
    CountingApplication& a = Started();
    HWND window = a.GetWindow();
    // The user dragged the popup's edge: its client area is now 800 x 600.
    a.HandleMessage(window, WM_ENTERSIZEMOVE, 0, 0);
    ASSERT_TRUE(SetWindowPos(window, nullptr, 0, 0, 800, 600, SWP_NOMOVE | SWP_NOZORDER));
    a.HandleMessage(window, WM_EXITSIZEMOVE, 0, 0);
    EXPECT_TRUE(a.IsActive());
    EXPECT_EQ(a.resets, 1);
    EXPECT_EQ(a.GetPresentParameters().BackBufferWidth, 800u);
    EXPECT_EQ(a.GetPresentParameters().BackBufferHeight, 600u);
    EXPECT_EQ(a.GetBackBufferDesc().Width, 800u);
    EXPECT_EQ(a.GetBackBufferDesc().Height, 600u);
}

TEST_F(ApplicationTest, SizeMessagesKeepTheWindowedStyleOnlyWhileWindowed)
{
    CountingApplication& a = Started();
    HWND window = a.GetWindow();
    // Something else gave the window a frame: the next size message makes it the style to return to.
    SetWindowLongA(window, GWL_STYLE, static_cast<LONG>(WS_OVERLAPPEDWINDOW | WS_VISIBLE));
    a.HandleMessage(window, WM_SIZE, SIZE_MAXSHOW, 0);
    EXPECT_EQ(a.WindowStyle(), 0x10CF0000u);

    // In full screen the window wears the full-screen style, which is never kept.
    a.ToggleWindowed(false);
    ASSERT_FALSE(a.IsWindowed());
    a.HandleMessage(window, WM_SIZE, SIZE_MAXSHOW, 0);
    EXPECT_EQ(a.WindowStyle(), 0x10CF0000u);
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(window, GWL_STYLE)), 0x90080000u);
}

TEST_F(ApplicationTest, ASizeEventDuringAResetIsIgnored)
{
    CountingApplication& a = Started();
    a.onRelease = [](CountingApplication& self) {
        self.HandleMessage(self.GetWindow(), WM_SIZE, SIZE_RESTORED, MAKELPARAM(640, 480));
        self.HandleMessage(self.GetWindow(), WM_SIZE, SIZE_MINIMIZED, 0);
    };
    a.SetWindowSize(800, 600);
    EXPECT_EQ(a.resets, 1);
    EXPECT_EQ(a.resizes, 0);
    EXPECT_TRUE(a.IsActive());
    EXPECT_EQ(a.GetPresentParameters().BackBufferWidth, 800u);
    EXPECT_EQ(a.GetBackBufferDesc().Width, 800u);
    EXPECT_EQ(a.GetBackBufferDesc().Height, 600u);
}

TEST_F(ApplicationTest, FullScreenHitTestsSystemCommandsAndPowerBroadcasts)
{
    CountingApplication& a = Make();
    const WPARAM swallowed[] = {SC_MOVE, SC_SIZE, SC_MAXIMIZE, SC_KEYMENU, SC_MONITORPOWER, SC_MOVE | 2};
    const WPARAM passed[] = {SC_CLOSE, SC_MINIMIZE, SC_RESTORE};

    a.SetWindowed(false);
    EXPECT_EQ(a.HandleMessage(nullptr, WM_NCHITTEST, 0, MAKELPARAM(5, 5)), HTCLIENT);
    for (WPARAM command : swallowed) {
        EXPECT_EQ(a.HandleMessage(nullptr, WM_SYSCOMMAND, command, 0), 1) << std::hex << command;
    }
    for (WPARAM command : passed) {
        EXPECT_EQ(a.HandleMessage(nullptr, WM_SYSCOMMAND, command, 0),
                  DefWindowProcA(nullptr, WM_SYSCOMMAND, command, 0))
            << std::hex << command;
    }

    // Windowed, everything takes its default course.
    a.SetWindowed(true);
    EXPECT_EQ(a.HandleMessage(nullptr, WM_NCHITTEST, 0, 0), DefWindowProcA(nullptr, WM_NCHITTEST, 0, 0));
    for (WPARAM command : swallowed) {
        EXPECT_EQ(a.HandleMessage(nullptr, WM_SYSCOMMAND, command, 0),
                  DefWindowProcA(nullptr, WM_SYSCOMMAND, command, 0));
    }
    EXPECT_NE(HTCLIENT, DefWindowProcA(nullptr, WM_NCHITTEST, 0, 0));

    // Power broadcasts are granted.
    EXPECT_EQ(a.HandleMessage(nullptr, WM_POWERBROADCAST, PBT_APMQUERYSUSPEND, 0), 1);
    EXPECT_EQ(a.HandleMessage(nullptr, WM_POWERBROADCAST, PBT_APMRESUMESUSPEND, 0), 1);
    const WPARAM powerStatusChange = 0x000A;
    EXPECT_EQ(a.HandleMessage(nullptr, WM_POWERBROADCAST, powerStatusChange, 0),
              DefWindowProcA(nullptr, WM_POWERBROADCAST, powerStatusChange, 0));
}

TEST_F(ApplicationTest, ResetRefusedWhileADefaultPoolResourceLivesEndsTheGame)
{
    CountingApplication& a = Started();
    IDirect3DTexture9* target = nullptr;
    bool activeAfterResize = true;
    a.onUpdate = [&](CountingApplication& self, int n) {
        if (n == 1) {
            ASSERT_EQ(self.GetDevice()->CreateTexture(64, 64, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8,
                                                      D3DPOOL_DEFAULT, &target, nullptr),
                      D3D_OK);
            self.SetWindowSize(800, 600);
            activeAfterResize = self.IsActive();
        } else {
            PostMessageA(self.GetWindow(), WM_CLOSE, 0, 0); // a loop that goes on must not run for ever
        }
    };
    EXPECT_EQ(a.Run(), 1);
    EXPECT_FALSE(activeAfterResize);
    EXPECT_FALSE(a.IsActive());
    // The frame that failed its reset is not rendered, and none follows.
    EXPECT_EQ(a.updates, 1);
    EXPECT_EQ(a.renders, 0);
    EXPECT_EQ(a.resets, 1);
    EXPECT_EQ(a.restores, 0);
    EXPECT_EQ(a.shutdowns, 1);
    // Nothing brings frames back once the device is gone.
    a.HandleMessage(a.GetWindow(), WM_EXITMENULOOP, 0, 0);
    EXPECT_FALSE(a.IsActive());
    ASSERT_NE(target, nullptr);
    target->Release();
}

TEST_F(ApplicationTest, ToggleWindowedResetsTheDeviceBetweenModes)
{
    CountingApplication& a = Started();
    const DWORD keptStyle = a.WindowStyle();
    a.ToggleWindowed(false);
    EXPECT_FALSE(a.IsWindowed());
    EXPECT_FALSE(a.Settings().windowed);
    EXPECT_TRUE(a.IsActive());
    EXPECT_EQ(a.resets, 1);
    const std::vector<std::string> tail(a.calls.end() - 3, a.calls.end());
    EXPECT_EQ(tail, (std::vector<std::string>{"ResetDevice", "ReleaseDeviceResources", "RestoreDeviceResources"}));
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(a.GetWindow(), GWL_STYLE)), 0x90080000u);
    const D3DPRESENT_PARAMETERS& pp = a.GetPresentParameters();
    const D3DDISPLAYMODE& mode = a.Settings().fullscreenSetting.displayMode;
    EXPECT_EQ(pp.Windowed, FALSE);
    EXPECT_EQ(pp.BackBufferWidth, mode.Width);
    EXPECT_EQ(pp.BackBufferHeight, mode.Height);
    EXPECT_EQ(pp.FullScreen_RefreshRateInHz, mode.RefreshRate);

    a.ToggleWindowed(true);
    EXPECT_TRUE(a.IsWindowed());
    EXPECT_TRUE(a.Settings().windowed);
    EXPECT_EQ(a.resets, 2);
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(a.GetWindow(), GWL_STYLE)), keptStyle);
    EXPECT_EQ(a.GetPresentParameters().Windowed, TRUE);
    EXPECT_EQ(a.GetPresentParameters().FullScreen_RefreshRateInHz, 0u);
}

TEST_F(ApplicationTest, ToggleWindowedWithoutATargetSettingDoesNothing)
{
    CountingApplication& a = Started();
    a.Settings().fullscreenSetting.combination = nullptr;
    a.ToggleWindowed(false);
    EXPECT_TRUE(a.IsWindowed());
    EXPECT_TRUE(a.Settings().windowed);
    EXPECT_TRUE(a.IsActive());
    EXPECT_EQ(a.resets, 0);
}

TEST_F(ApplicationTest, AFailedToggleEndsTheGame)
{
    CountingApplication& a = Started();
    IDirect3DVertexBuffer9* buffer = nullptr;
    ASSERT_EQ(a.GetDevice()->CreateVertexBuffer(112, 0, 0, D3DPOOL_DEFAULT, &buffer, nullptr), D3D_OK);
    a.ToggleWindowed(false);
    EXPECT_FALSE(a.IsActive());
    CloseOnFrame(a, 1); // a game that went on would otherwise never end
    EXPECT_EQ(a.Run(), 1);
    EXPECT_EQ(a.updates, 0);
    EXPECT_EQ(a.shutdowns, 1);
    buffer->Release();
}

TEST_F(ApplicationTest, LeavingFullScreenGivesBackTheWindowAsItWas)
{
    // On the dummy driver's 1024 x 768 desktop the 1024 x 768 popup starts at (0, 0). The overlapped frame then goes
    // around that client area; the way back from full screen must place the frame, not the bare popup's rectangle,
    // which would put the client area at (8, 31) and shrink it to 1008 x 729.
    CountingApplication& a = Started();
    a.ApplyWindowStyle();
    EXPECT_EQ(a.WindowStyle(), 0x10CF0000u);
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(a.GetWindow(), GWL_STYLE)), 0x10CF0000u);
    a.ToggleWindowed(false);
    // In full screen the frame is not applied.
    a.ApplyWindowStyle();
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(a.GetWindow(), GWL_STYLE)), 0x90080000u);
    RECT client{};
    ASSERT_TRUE(GetClientRect(a.GetWindow(), &client));
    EXPECT_EQ(client.right, 1024);
    EXPECT_EQ(client.bottom, 768);

    a.ToggleWindowed(true);
    ASSERT_TRUE(GetClientRect(a.GetWindow(), &client));
    EXPECT_EQ(client.right, 1024);
    EXPECT_EQ(client.bottom, 768);
    POINT origin{0, 0};
    ASSERT_TRUE(ClientToScreen(a.GetWindow(), &origin));
    EXPECT_EQ(origin.x, 0);
    EXPECT_EQ(origin.y, 0);
    EXPECT_EQ(a.GetPresentParameters().BackBufferWidth, 1024u);
    EXPECT_EQ(a.GetPresentParameters().BackBufferHeight, 768u);
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(a.GetWindow(), GWL_STYLE)), 0x10CF0000u);
}

TEST_F(ApplicationTest, TheFrameClockForgetsPausesAndResets)
{
    CountingApplication& a = Started();
    Win32TestHooks::SetPerformanceCounter(1000, 1000);
    FrameClock::Start();

    // Four seconds in a menu loop are not game time.
    a.HandleMessage(a.GetWindow(), WM_ENTERMENULOOP, 0, 0);
    Win32TestHooks::SetPerformanceCounterValue(5000);
    a.HandleMessage(a.GetWindow(), WM_EXITMENULOOP, 0, 0);
    Win32TestHooks::SetPerformanceCounterValue(5250);
    EXPECT_FLOAT_EQ(FrameClock::Tick(), 0.25f);

    // Nor is the time a reset takes.
    a.onRelease = [](CountingApplication&) { Win32TestHooks::SetPerformanceCounterValue(9000); };
    a.SetWindowSize(800, 600);
    Win32TestHooks::SetPerformanceCounterValue(9100);
    EXPECT_FLOAT_EQ(FrameClock::Tick(), 0.1f);

    // Steady frames are measured as they come.
    Win32TestHooks::SetPerformanceCounterValue(9116);
    EXPECT_FLOAT_EQ(FrameClock::Tick(), 0.016f);

    // A reset asked for in the middle of running frames (the game does so after loading) restarts it too.
    a.onRelease = [](CountingApplication&) { Win32TestHooks::SetPerformanceCounterValue(20000); };
    ASSERT_EQ(a.ResetDevice(), D3D_OK);
    EXPECT_TRUE(a.IsActive());
    Win32TestHooks::SetPerformanceCounterValue(20050);
    EXPECT_FLOAT_EQ(FrameClock::Tick(), 0.05f);
    Win32TestHooks::UseRealPerformanceCounter();
}

TEST_F(ApplicationTest, AResetThatFailsWhileTheGameSetsUpFailsTheStart)
{
    // The game's set-up ends with a reset; a default-pool texture that nothing releases makes it fail.
    class PinnedGame : public GameApplication
    {
    public:
        HRESULT ResetDevice() override
        {
            IDirect3DTexture9* pinned = nullptr;
            if (m_device)
                m_device->CreateTexture(4, 4, 1, D3DUSAGE_RENDERTARGET, D3DFMT_X8R8G8B8, D3DPOOL_DEFAULT, &pinned,
                                        nullptr);
            const HRESULT result = GameApplication::ResetDevice();
            if (pinned)
                pinned->Release();
            return result;
        }
    };
    auto game = std::make_unique<PinnedGame>();
    EXPECT_EQ(game->Create(nullptr, nullptr), E_FAIL);
    EXPECT_FALSE(game->IsActive());
    if (game->IsActive())
        PostQuitMessage(0); // a game that went on would otherwise never end
    EXPECT_EQ(game->Run(), 1);
}

TEST_F(ApplicationTest, AMissingOrBrokenPostProcessEffectIsSaidOnceAndTheGameRunsWithoutIt)
{
    const std::filesystem::path built = std::filesystem::current_path() / "Data" / "Effect Files" / "basic.fx";
    std::ifstream basicFile(built, std::ios::binary);
    const std::string basic((std::istreambuf_iterator<char>(basicFile)), std::istreambuf_iterator<char>());
    ASSERT_FALSE(basic.empty()) << built;
    struct Case {
        const char* name;
        const char* postProcess; // null: no file
    };
    for (const Case& c : {Case{"missing", nullptr}, Case{"broken", "technique PostProcess { pass P0 {"}}) {
        SCOPED_TRACE(c.name);
        DataTree tree;
        tree.Write("Data/Effect Files/basic.fx", basic);
        if (c.postProcess)
            tree.Write("Data/Effect Files/postProcess.fx", c.postProcess);
        LogCapture log;
        auto game = std::make_unique<GameApplication>();
        ASSERT_EQ(game->Create(nullptr, nullptr), S_OK);
        EXPECT_EQ(game->GetPostEffect(), nullptr);
        for (int frame = 0; frame < 3; ++frame) {
            game->UpdateFrame();
            game->Render();
        }
        EXPECT_EQ(log.Count("post-process"), 1);
        PostQuitMessage(0);
        EXPECT_EQ(game->Run(), 0);
        game.reset();
        Win32TestHooks::ResetWindowLayer();
        Win32TestHooks::CaptureMessageBoxes(true);
    }
}

TEST_F(ApplicationTest, TheRealLoopTakesKeysPointerAndQuitFromTheDesktop)
{
    // Desktop events go through the window layer's pump inside Run, as the player's would: F5 in full screen,
    // the pointer over the scaled picture, F7 and the pointer over the letterboxed one, then the desktop's quit.
    constexpr int SCANCODE_F5 = 62;
    constexpr int SCANCODE_F7 = 64;
    struct Step {
        int frame;
        std::function<void()> act;
    };
    class ScriptedGame : public GameApplication
    {
    public:
        std::vector<Step> script;
        int frames = 0;
        void UpdateFrame() override
        {
            GameApplication::UpdateFrame();
            ++frames;
            for (const Step& step : script)
                if (step.frame == frames)
                    step.act();
        }
    };
    auto game = std::make_unique<ScriptedGame>();
    ScriptedGame& g = *game;
    POINT scaled{-1, -1};
    POINT letterboxed[2] = {{-1, -1}, {-1, -1}};
    UINT widthAfterF5 = 0;
    UINT widthAfterF7 = 0;
    bool windowedAtAnyCheck = false;
    auto pointer = [] { return MouseOverManager::Get()->GetPointerPosition(); };
    g.script = {
        {1, [] { Win32TestHooks::PushKeyEvent(SCANCODE_F5, true); }},
        {2, [] { Win32TestHooks::PushKeyEvent(SCANCODE_F5, false); }},
        {3,
         [&] {
             widthAfterF5 = g.GetPresentParameters().BackBufferWidth;
             windowedAtAnyCheck |= g.IsWindowed();
             Win32TestHooks::PushPointerMotion(512, 384);
         }},
        {4,
         [&] {
             scaled = pointer();
             // Pressed and released before the next frame reads the keys.
             Win32TestHooks::PushKeyEvent(SCANCODE_F7, true);
             Win32TestHooks::PushKeyEvent(SCANCODE_F7, false);
         }},
        {5,
         [&] {
             widthAfterF7 = g.GetPresentParameters().BackBufferWidth;
             windowedAtAnyCheck |= g.IsWindowed();
             Win32TestHooks::PushPointerMotion(512, 384);
         }},
        {6,
         [&] {
             letterboxed[0] = pointer();
             Win32TestHooks::PushPointerMotion(272, 192);
         }},
        {7,
         [&] {
             letterboxed[1] = pointer();
             Win32TestHooks::PushQuitEvent();
         }},
    };
    ASSERT_EQ(game->Create(nullptr, nullptr), S_OK);
    EXPECT_FALSE(game->IsWindowed());
    EXPECT_EQ(game->Run(), 0);
    EXPECT_EQ(game->frames, 7) << "the quit ends the loop before another frame";
    EXPECT_FALSE(windowedAtAnyCheck);
    EXPECT_EQ(widthAfterF5, 800u);
    EXPECT_EQ(widthAfterF7, 1280u);
    // The dummy desktop is 1024 x 768. 800 x 600 fills it at 1.28: window (512.5, 384.5) / 1.28 = (400.4, 300.4).
    EXPECT_EQ(scaled.x, 400);
    EXPECT_EQ(scaled.y, 300);
    // 1280 x 1024 fits at 0.75 as 960 x 768, 32 columns in: ((512.5 - 32) / 0.75, 384.5 / 0.75) = (640.7, 512.7)
    // and ((272.5 - 32) / 0.75, 192.5 / 0.75) = (320.7, 256.7).
    EXPECT_EQ(letterboxed[0].x, 640);
    EXPECT_EQ(letterboxed[0].y, 512);
    EXPECT_EQ(letterboxed[1].x, 320);
    EXPECT_EQ(letterboxed[1].y, 256);
}

TEST_F(ApplicationTest, TheGameApplicationShutsDownSafelyAfterARefusal)
{
    NullDeviceConfig config;
    config.pixelShaderVersion = D3DPS_VERSION(1, 1);
    NullDevice::SetConfig(config);
    auto game = std::make_unique<GameApplication>();
    EXPECT_EQ(game->Create(nullptr, nullptr), E_FAIL);
    EXPECT_EQ(game->Run(), 1);
    EXPECT_EQ(Win32TestHooks::TakeMessageBoxes().size(), 1u);
}
