#include "CountingApplication.h"
#include "FakeDirect3D.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

D3DDISPLAYMODE Mode(UINT w, UINT h, UINT hz, D3DFORMAT format)
{
    return D3DDISPLAYMODE{w, h, hz, format};
}

void ExpectMode(const D3DDISPLAYMODE& mode, UINT w, UINT h, UINT hz, D3DFORMAT format)
{
    EXPECT_EQ(mode.Width, w);
    EXPECT_EQ(mode.Height, h);
    EXPECT_EQ(mode.RefreshRate, hz);
    EXPECT_EQ(mode.Format, format);
}

class DeviceSettingsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        FakeDirect3D::Adapter adapter;
        adapter.desktop = Mode(1920, 1080, 60, D3DFMT_X8R8G8B8);
        adapter.modes = {Mode(1024, 768, 60, D3DFMT_X8R8G8B8), Mode(1920, 1080, 60, D3DFMT_X8R8G8B8)};
        adapter.devices[D3DDEVTYPE_HAL] = FakeDirect3D::GoodCaps();
        fake.adapters = {adapter};
        app.SetClientRect(RECT{0, 0, 1024, 768});
        fake.AddRef();
        app.UseDirect3D(&fake);
    }

    void Enumerate() { ASSERT_EQ(app.Enumeration().Enumerate(&fake), S_OK); }

    FakeDirect3D fake;
    CountingApplication app;
};

} // namespace

TEST_F(DeviceSettingsTest, WindowedPickPrefersABackBufferOfTheDesktopFormat)
{
    Enumerate();
    ASSERT_TRUE(app.PickWindowedMode(false, false));
    const DeviceSettings& settings = app.Settings();
    EXPECT_TRUE(settings.windowed);
    const ModeSetting& w = settings.windowedSetting;
    ASSERT_NE(w.combination, nullptr);
    // A8R8G8B8 comes first in the walk but X8R8G8B8 matches the adapter format and ends it.
    EXPECT_EQ(w.combination->backBufferFormat, D3DFMT_X8R8G8B8);
    EXPECT_EQ(w.combination->adapterFormat, D3DFMT_X8R8G8B8);
    EXPECT_TRUE(w.combination->windowed);
    EXPECT_EQ(w.device->deviceType, D3DDEVTYPE_HAL);
    EXPECT_EQ(w.adapter->adapterOrdinal, 0u);
    ExpectMode(w.displayMode, 1920, 1080, 60, D3DFMT_X8R8G8B8);
    EXPECT_EQ(w.width, 1024);
    EXPECT_EQ(w.height, 768);
    EXPECT_EQ(w.depthStencilFormat, D3DFMT_D16);
    EXPECT_EQ(w.multiSampleType, D3DMULTISAMPLE_NONE);
    EXPECT_EQ(w.multiSampleQuality, 0u);
    EXPECT_EQ(w.vertexProcessingType, PURE_HARDWARE_VP);
    EXPECT_EQ(w.presentInterval, D3DPRESENT_INTERVAL_IMMEDIATE);
}

TEST_F(DeviceSettingsTest, WindowedPickTakesAHardwareDeviceOverAReferenceOne)
{
    // Adapter 0 has only a reference device; adapter 1's hardware device only renders to A8R8G8B8.
    FakeDirect3D::Adapter reference = fake.adapters[0];
    reference.devices.clear();
    reference.devices[D3DDEVTYPE_REF] = FakeDirect3D::GoodCaps();
    FakeDirect3D::Adapter hardware = fake.adapters[0];
    fake.adapters = {reference, hardware};
    fake.deviceType = [](UINT adapter, D3DDEVTYPE, D3DFORMAT adapterFormat, D3DFORMAT backBufferFormat, bool) {
        if (adapter == 1) {
            return adapterFormat == D3DFMT_X8R8G8B8 && backBufferFormat == D3DFMT_A8R8G8B8;
        }
        return adapterFormat == backBufferFormat;
    };
    Enumerate();
    ASSERT_TRUE(app.PickWindowedMode(false, false));
    const ModeSetting& w = app.Settings().windowedSetting;
    EXPECT_EQ(w.adapter->adapterOrdinal, 1u);
    EXPECT_EQ(w.device->deviceType, D3DDEVTYPE_HAL);
    EXPECT_EQ(w.combination->backBufferFormat, D3DFMT_A8R8G8B8);

    // Asking for the reference device finds the first adapter's.
    ASSERT_TRUE(app.PickWindowedMode(false, true));
    EXPECT_EQ(app.Settings().windowedSetting.device->deviceType, D3DDEVTYPE_REF);
    EXPECT_EQ(app.Settings().windowedSetting.combination->backBufferFormat, D3DFMT_X8R8G8B8);
}

TEST_F(DeviceSettingsTest, WindowedPickNeedsTheDesktopFormat)
{
    fake.adapters[0].desktop = Mode(1920, 1080, 60, D3DFMT_R5G6B5);
    Enumerate();
    EXPECT_FALSE(app.PickWindowedMode(false, false));
    EXPECT_EQ(app.Settings().windowedSetting.combination, nullptr);
}

TEST_F(DeviceSettingsTest, FullscreenModeIsTheDesktopsOrTheLastOfItsWidthOrTheFirstOfItsFormat)
{
    // The desktop runs at 1920 x 1080, 60 Hz, X8R8G8B8.
    const struct {
        const char* name;
        std::vector<D3DDISPLAYMODE> modes;
        D3DDISPLAYMODE chosen;
    } cases[] = {
        // The 16-bit mode of the exact size has the wrong format; of the 1920-wide modes the last wins.
        {"refresh rate not listed",
         {Mode(1280, 1024, 60, D3DFMT_X8R8G8B8), Mode(1920, 1080, 75, D3DFMT_X8R8G8B8),
          Mode(1920, 1200, 60, D3DFMT_X8R8G8B8), Mode(1024, 768, 60, D3DFMT_X8R8G8B8),
          Mode(1920, 1080, 60, D3DFMT_R5G6B5)},
         Mode(1920, 1200, 60, D3DFMT_X8R8G8B8)},
        {"no mode of the desktop's width",
         {Mode(1280, 1024, 75, D3DFMT_X8R8G8B8), Mode(1024, 768, 60, D3DFMT_X8R8G8B8)},
         Mode(1280, 1024, 75, D3DFMT_X8R8G8B8)},
        {"the desktop's mode ends the search",
         {Mode(1920, 1080, 75, D3DFMT_X8R8G8B8), Mode(1920, 1080, 60, D3DFMT_X8R8G8B8),
          Mode(1920, 1200, 60, D3DFMT_X8R8G8B8)},
         Mode(1920, 1080, 60, D3DFMT_X8R8G8B8)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fake.adapters[0].modes = c.modes;
        Enumerate();
        ASSERT_TRUE(app.PickFullscreenMode(false, false));
        EXPECT_FALSE(app.Settings().windowed);
        const ModeSetting& f = app.Settings().fullscreenSetting;
        ASSERT_NE(f.combination, nullptr);
        EXPECT_FALSE(f.combination->windowed);
        EXPECT_EQ(f.combination->adapterFormat, D3DFMT_X8R8G8B8);
        EXPECT_EQ(f.combination->backBufferFormat, D3DFMT_X8R8G8B8);
        ExpectMode(f.displayMode, c.chosen.Width, c.chosen.Height, c.chosen.RefreshRate, c.chosen.Format);
        EXPECT_EQ(f.depthStencilFormat, D3DFMT_D16);
        EXPECT_EQ(f.vertexProcessingType, PURE_HARDWARE_VP);
        EXPECT_EQ(f.presentInterval, D3DPRESENT_INTERVAL_IMMEDIATE);
        EXPECT_EQ(f.multiSampleQuality, 0u);
    }
}

TEST_F(DeviceSettingsTest, FullscreenPickFollowsASixteenBitDesktop)
{
    // The X8R8G8B8 combinations come first, but the desktop runs at R5G6B5 and a combination of that format
    // replaces them.
    fake.adapters[0].desktop = Mode(1920, 1080, 60, D3DFMT_R5G6B5);
    fake.adapters[0].modes = {Mode(1920, 1080, 60, D3DFMT_X8R8G8B8), Mode(1280, 1024, 60, D3DFMT_R5G6B5),
                              Mode(1920, 1080, 60, D3DFMT_R5G6B5)};
    Enumerate();
    ASSERT_TRUE(app.PickFullscreenMode(false, false));
    const ModeSetting& f = app.Settings().fullscreenSetting;
    EXPECT_EQ(f.combination->adapterFormat, D3DFMT_R5G6B5);
    EXPECT_EQ(f.combination->backBufferFormat, D3DFMT_R5G6B5);
    ExpectMode(f.displayMode, 1920, 1080, 60, D3DFMT_R5G6B5);
}

TEST_F(DeviceSettingsTest, FullscreenPickTakesHardwareOverReferenceAndStopsAtTheFirstExactMatch)
{
    // Adapter 0 has only a reference device. Adapter 1's hardware device first offers an A8R8G8B8 back buffer,
    // which replaces the reference device's X8R8G8B8 one (hardware beats reference), then X8R8G8B8 on its
    // X8R8G8B8 desktop, which is the exact match that ends the walk: adapter 2 is never looked at.
    FakeDirect3D::Adapter reference;
    reference.desktop = Mode(1920, 1080, 60, D3DFMT_X8R8G8B8);
    reference.modes = {reference.desktop};
    reference.devices[D3DDEVTYPE_REF] = FakeDirect3D::GoodCaps();
    FakeDirect3D::Adapter first;
    first.desktop = Mode(1280, 1024, 60, D3DFMT_X8R8G8B8);
    first.modes = {Mode(800, 600, 60, D3DFMT_X8R8G8B8), first.desktop};
    first.devices[D3DDEVTYPE_HAL] = FakeDirect3D::GoodCaps();
    FakeDirect3D::Adapter second = first;
    second.desktop = Mode(1024, 768, 60, D3DFMT_X8R8G8B8);
    second.modes = {second.desktop};
    fake.adapters = {reference, first, second};
    Enumerate();
    ASSERT_TRUE(app.PickFullscreenMode(false, false));
    const ModeSetting& f = app.Settings().fullscreenSetting;
    EXPECT_EQ(f.adapter->adapterOrdinal, 1u);
    EXPECT_EQ(f.device->deviceType, D3DDEVTYPE_HAL);
    EXPECT_EQ(f.combination->backBufferFormat, D3DFMT_X8R8G8B8);
    // The display mode is looked up against the desktop of the adapter where the setting was found.
    ExpectMode(f.displayMode, 1280, 1024, 60, D3DFMT_X8R8G8B8);

    // Asking for the reference device finds only the first adapter, whose A8R8G8B8 combination comes first and,
    // on a reference device, is never replaced.
    ASSERT_TRUE(app.PickFullscreenMode(false, true));
    EXPECT_EQ(app.Settings().fullscreenSetting.adapter->adapterOrdinal, 0u);
    EXPECT_EQ(app.Settings().fullscreenSetting.combination->backBufferFormat, D3DFMT_A8R8G8B8);
    ExpectMode(app.Settings().fullscreenSetting.displayMode, 1920, 1080, 60, D3DFMT_X8R8G8B8);
}

TEST_F(DeviceSettingsTest, FullscreenPickMovesToTheDesktopFormatWithoutAnExactMatch)
{
    // The desktop runs at R5G6B5. The X8R8G8B8 adapter format comes first in the walk; the R5G6B5 one only pairs
    // with an X8R8G8B8 back buffer, so it is no exact match, but being on the desktop's format it replaces the
    // first.
    fake.adapters[0].desktop = Mode(1280, 1024, 60, D3DFMT_R5G6B5);
    fake.adapters[0].modes = {Mode(1280, 1024, 60, D3DFMT_X8R8G8B8), Mode(1024, 768, 60, D3DFMT_R5G6B5),
                              Mode(1280, 1024, 60, D3DFMT_R5G6B5)};
    fake.deviceType = [](UINT, D3DDEVTYPE, D3DFORMAT a, D3DFORMAT b, bool) {
        return b == D3DFMT_X8R8G8B8 && (a == D3DFMT_X8R8G8B8 || a == D3DFMT_R5G6B5);
    };
    Enumerate();
    ASSERT_TRUE(app.PickFullscreenMode(false, false));
    const ModeSetting& f = app.Settings().fullscreenSetting;
    EXPECT_EQ(f.combination->adapterFormat, D3DFMT_R5G6B5);
    EXPECT_EQ(f.combination->backBufferFormat, D3DFMT_X8R8G8B8);
    ExpectMode(f.displayMode, 1280, 1024, 60, D3DFMT_R5G6B5);
}

TEST_F(DeviceSettingsTest, StartModeIsWindowedWheneverAWindowedSettingExistsUnlessTheAppIsInFullScreen)
{
    Enumerate();
    ASSERT_TRUE(app.ChooseStartMode());
    EXPECT_TRUE(app.Settings().windowed);
    EXPECT_NE(app.Settings().windowedSetting.combination, nullptr);
    EXPECT_NE(app.Settings().fullscreenSetting.combination, nullptr);
    app.SetWindowed(false);
    ASSERT_TRUE(app.ChooseStartMode());
    EXPECT_FALSE(app.Settings().windowed);
}

TEST_F(DeviceSettingsTest, StartModeFallsBackToWhatExists)
{
    fake.deviceType = [](UINT, D3DDEVTYPE, D3DFORMAT a, D3DFORMAT b, bool windowed) { return !windowed && a == b; };
    Enumerate();
    ASSERT_TRUE(app.ChooseStartMode());
    EXPECT_FALSE(app.Settings().windowed);
    EXPECT_EQ(app.Settings().windowedSetting.combination, nullptr);
}

TEST_F(DeviceSettingsTest, StartModeWithoutAnySettingFails)
{
    fake.adapters[0].devices[D3DDEVTYPE_HAL].DevCaps = 0;
    Enumerate();
    EXPECT_FALSE(app.ChooseStartMode());
}

TEST_F(DeviceSettingsTest, PresentParametersWindowed)
{
    Enumerate();
    ASSERT_TRUE(app.ChooseStartMode());
    static char windowStandIn;
    HWND window = reinterpret_cast<HWND>(&windowStandIn);
    app.SetWindowHandle(window);
    app.SetClientRect(RECT{0, 0, 800, 600});
    app.FillPresentParameters();
    const D3DPRESENT_PARAMETERS& pp = app.GetPresentParameters();
    EXPECT_EQ(pp.Windowed, TRUE);
    EXPECT_EQ(pp.BackBufferWidth, 800u);
    EXPECT_EQ(pp.BackBufferHeight, 600u);
    EXPECT_EQ(pp.BackBufferFormat, D3DFMT_X8R8G8B8);
    EXPECT_EQ(pp.BackBufferCount, 1u);
    EXPECT_EQ(pp.MultiSampleType, D3DMULTISAMPLE_NONE);
    EXPECT_EQ(pp.MultiSampleQuality, 0u);
    EXPECT_EQ(pp.SwapEffect, D3DSWAPEFFECT_DISCARD);
    EXPECT_EQ(pp.EnableAutoDepthStencil, TRUE);
    // The settings name D16 first, but the depth buffer is always D24S8.
    EXPECT_EQ(app.Settings().windowedSetting.depthStencilFormat, D3DFMT_D16);
    EXPECT_EQ(pp.AutoDepthStencilFormat, D3DFMT_D24S8);
    EXPECT_EQ(pp.hDeviceWindow, window);
    EXPECT_EQ(pp.Flags, 0u);
    EXPECT_EQ(pp.FullScreen_RefreshRateInHz, 0u);
    EXPECT_EQ(pp.PresentationInterval, D3DPRESENT_INTERVAL_IMMEDIATE);
    app.SetWindowHandle(nullptr);
}

TEST_F(DeviceSettingsTest, PresentParametersFullScreen)
{
    fake.adapters[0].modes = {Mode(1280, 1024, 85, D3DFMT_X8R8G8B8), Mode(1920, 1200, 60, D3DFMT_X8R8G8B8)};
    fake.adapters[0].devices[D3DDEVTYPE_HAL].PresentationIntervals = D3DPRESENT_INTERVAL_ONE | D3DPRESENT_INTERVAL_TWO;
    Enumerate();
    ASSERT_TRUE(app.ChooseStartMode());
    app.SetWindowed(false);
    app.Settings().windowed = false;
    app.FillPresentParameters();
    const D3DPRESENT_PARAMETERS& pp = app.GetPresentParameters();
    EXPECT_EQ(pp.Windowed, FALSE);
    // The display mode, not the client area, sizes the back buffer.
    EXPECT_EQ(pp.BackBufferWidth, 1920u);
    EXPECT_EQ(pp.BackBufferHeight, 1200u);
    EXPECT_EQ(pp.FullScreen_RefreshRateInHz, 60u);
    EXPECT_EQ(pp.BackBufferFormat, D3DFMT_X8R8G8B8);
    EXPECT_EQ(pp.AutoDepthStencilFormat, D3DFMT_D24S8);
    EXPECT_EQ(pp.SwapEffect, D3DSWAPEFFECT_DISCARD);
    // Immediate even on a card that does not list it.
    EXPECT_EQ(pp.PresentationInterval, D3DPRESENT_INTERVAL_IMMEDIATE);
}
