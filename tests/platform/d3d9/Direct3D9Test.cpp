#include "NullDeviceFixture.h"
#include "win32/Log.h"

#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

class Direct3DTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        NullDevice::ResetForTests();
        D3D9SetBackEnd(D3D9_BACKEND_AUTO);
        d3d = Direct3DCreate9(D3D_SDK_VERSION);
        ASSERT_NE(d3d, nullptr);
    }
    void TearDown() override
    {
        if (d3d) {
            EXPECT_EQ(d3d->Release(), 0u);
        }
        NullDevice::ResetForTests();
        D3D9SetBackEnd(D3D9_BACKEND_AUTO);
    }

    IDirect3D9* d3d = nullptr;
};

} // namespace

TEST(Direct3DCreate, OnlyTheVersionWeImplement)
{
    EXPECT_EQ(Direct3DCreate9(31), nullptr);
    EXPECT_EQ(Direct3DCreate9(0), nullptr);
    IDirect3D9* d3d = Direct3DCreate9(32);
    ASSERT_NE(d3d, nullptr);
    EXPECT_EQ(d3d->AddRef(), 2u);
    EXPECT_EQ(d3d->Release(), 1u);
    EXPECT_EQ(d3d->Release(), 0u);
}

TEST(Direct3DCreate, WithoutADisplayOnlyAVideoDriverAskedForByNameWillDo)
{
    std::vector<std::pair<std::string, std::string>> saved;
    for (const char* name : {"SDL_VIDEODRIVER", "DISPLAY", "WAYLAND_DISPLAY"}) {
        if (const char* value = std::getenv(name))
            saved.emplace_back(name, value);
        ::unsetenv(name);
    }
    {
        // SDL would settle for its offscreen driver, and the game would run where nobody sees it.
        LogCapture log;
        EXPECT_EQ(Direct3DCreate9(32), nullptr);
        EXPECT_EQ(log.Count("no-display"), 1);
    }
    {
        // The null back-end draws nothing, so the simulator and the benchmarks run it without a display.
        LogCapture log;
        D3D9SetBackEnd(D3D9_BACKEND_NULL);
        IDirect3D9* headless = Direct3DCreate9(32);
        D3D9SetBackEnd(D3D9_BACKEND_AUTO);
        EXPECT_NE(headless, nullptr);
        EXPECT_EQ(log.Count("no-display"), 0);
        if (headless)
            headless->Release();
    }
    ::setenv("SDL_VIDEODRIVER", "offscreen", 1);
    IDirect3D9* d3d = Direct3DCreate9(32);
    EXPECT_NE(d3d, nullptr);
    if (d3d)
        d3d->Release();
    ::unsetenv("SDL_VIDEODRIVER");
    for (const auto& [name, value] : saved)
        ::setenv(name.c_str(), value.c_str(), 1);
}

TEST_F(Direct3DTest, HalDeviceMeetsTheGamesRequirements)
{
    ASSERT_GE(d3d->GetAdapterCount(), 1u);
    D3DCAPS9 caps;
    ASSERT_EQ(d3d->GetDeviceCaps(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, &caps), D3D_OK);
    EXPECT_EQ(caps.DeviceType, D3DDEVTYPE_HAL);
    EXPECT_TRUE(caps.DevCaps & D3DDEVCAPS_HWTRANSFORMANDLIGHT);
    EXPECT_TRUE(caps.DevCaps & D3DDEVCAPS_PUREDEVICE);
    EXPECT_TRUE(caps.PresentationIntervals & D3DPRESENT_INTERVAL_IMMEDIATE);
    EXPECT_TRUE(caps.PresentationIntervals & D3DPRESENT_INTERVAL_ONE);
    EXPECT_GE(caps.PixelShaderVersion, 0xFFFF0200u);
    EXPECT_GE(caps.VertexShaderVersion, 0xFFFE0200u);
    EXPECT_GE(caps.MaxTextureWidth, 4096u);
    EXPECT_GE(caps.MaxTextureHeight, 4096u);
    EXPECT_GE(caps.MaxSimultaneousTextures, 8u);
    EXPECT_GE(caps.MaxTextureBlendStages, 8u);

    // Only the hardware device exists.
    EXPECT_EQ(d3d->GetDeviceCaps(D3DADAPTER_DEFAULT, D3DDEVTYPE_REF, &caps), D3DERR_NOTAVAILABLE);
    EXPECT_EQ(d3d->GetDeviceCaps(D3DADAPTER_DEFAULT, D3DDEVTYPE_SW, &caps), D3DERR_NOTAVAILABLE);
    EXPECT_EQ(d3d->GetDeviceCaps(d3d->GetAdapterCount(), D3DDEVTYPE_HAL, &caps), D3DERR_INVALIDCALL);
    EXPECT_EQ(d3d->GetDeviceCaps(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr), D3DERR_INVALIDCALL);
}

TEST_F(Direct3DTest, ModesIncludeTheOfferedSizesAndTheDesktop)
{
    D3DDISPLAYMODE desktop;
    ASSERT_EQ(d3d->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &desktop), D3D_OK);
    EXPECT_EQ(desktop.Format, D3DFMT_X8R8G8B8);
    // SDL's dummy driver reports one 1024 x 768 display.
    EXPECT_EQ(desktop.Width, 1024u);
    EXPECT_EQ(desktop.Height, 768u);
    EXPECT_GT(desktop.RefreshRate, 0u);

    const UINT count = d3d->GetAdapterModeCount(D3DADAPTER_DEFAULT, D3DFMT_X8R8G8B8);
    std::set<std::pair<UINT, UINT>> sizes;
    for (UINT i = 0; i < count; ++i) {
        D3DDISPLAYMODE mode;
        ASSERT_EQ(d3d->EnumAdapterModes(D3DADAPTER_DEFAULT, D3DFMT_X8R8G8B8, i, &mode), D3D_OK);
        EXPECT_EQ(mode.Format, D3DFMT_X8R8G8B8);
        EXPECT_EQ(mode.RefreshRate, desktop.RefreshRate);
        EXPECT_TRUE(sizes.insert({mode.Width, mode.Height}).second)
            << "listed twice: " << mode.Width << "x" << mode.Height;
    }
    EXPECT_TRUE(sizes.count({800, 600}));
    EXPECT_TRUE(sizes.count({1024, 768}));
    EXPECT_TRUE(sizes.count({1280, 1024}));
    EXPECT_TRUE(sizes.count({desktop.Width, desktop.Height}));

    D3DDISPLAYMODE mode;
    EXPECT_EQ(d3d->EnumAdapterModes(D3DADAPTER_DEFAULT, D3DFMT_X8R8G8B8, count, &mode), D3DERR_INVALIDCALL);
    EXPECT_EQ(d3d->GetAdapterModeCount(D3DADAPTER_DEFAULT, D3DFMT_R5G6B5), 0u);
    EXPECT_EQ(d3d->GetAdapterModeCount(D3DADAPTER_DEFAULT, D3DFMT_X1R5G5B5), 0u);
    EXPECT_EQ(d3d->GetAdapterModeCount(d3d->GetAdapterCount(), D3DFMT_X8R8G8B8), 0u);
}

TEST_F(Direct3DTest, AdapterIdentifierIsFilled)
{
    D3DADAPTER_IDENTIFIER9 id;
    ASSERT_EQ(d3d->GetAdapterIdentifier(D3DADAPTER_DEFAULT, 0, &id), D3D_OK);
    EXPECT_GT(std::strlen(id.Driver), 0u);
    EXPECT_GT(std::strlen(id.Description), 0u);
    EXPECT_STREQ(id.DeviceName, "\\\\.\\DISPLAY1");
    EXPECT_EQ(d3d->GetAdapterIdentifier(d3d->GetAdapterCount(), 0, &id), D3DERR_INVALIDCALL);
}

TEST_F(Direct3DTest, FormatChecks)
{
    const UINT a = D3DADAPTER_DEFAULT;
    EXPECT_EQ(d3d->CheckDeviceType(a, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8, TRUE), D3D_OK);
    EXPECT_EQ(d3d->CheckDeviceType(a, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8, FALSE), D3D_OK);
    EXPECT_EQ(d3d->CheckDeviceType(a, D3DDEVTYPE_HAL, D3DFMT_R5G6B5, D3DFMT_R5G6B5, FALSE), D3DERR_NOTAVAILABLE);
    EXPECT_EQ(d3d->CheckDeviceType(a, D3DDEVTYPE_REF, D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8, TRUE), D3DERR_NOTAVAILABLE);

    for (D3DFORMAT depth : {D3DFMT_D24S8, D3DFMT_D16, D3DFMT_D24X8, D3DFMT_D32}) {
        EXPECT_EQ(
            d3d->CheckDeviceFormat(a, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DUSAGE_DEPTHSTENCIL, D3DRTYPE_SURFACE, depth),
            D3D_OK)
            << depth;
        EXPECT_EQ(d3d->CheckDepthStencilMatch(a, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8, depth), D3D_OK);
    }
    EXPECT_EQ(d3d->CheckDeviceFormat(a, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DUSAGE_DEPTHSTENCIL, D3DRTYPE_SURFACE,
                                     D3DFMT_A8R8G8B8),
              D3DERR_NOTAVAILABLE);
    for (D3DFORMAT texture :
         {D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8, D3DFMT_R5G6B5, D3DFMT_A1R5G5B5, D3DFMT_A4R4G4B4, D3DFMT_L8, D3DFMT_A8}) {
        EXPECT_EQ(d3d->CheckDeviceFormat(a, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, 0, D3DRTYPE_TEXTURE, texture), D3D_OK)
            << texture;
    }
    EXPECT_EQ(d3d->CheckDeviceFormat(a, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DUSAGE_RENDERTARGET, D3DRTYPE_TEXTURE,
                                     D3DFMT_X8R8G8B8),
              D3D_OK);

    DWORD quality = 99;
    EXPECT_EQ(d3d->CheckDeviceMultiSampleType(a, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, TRUE, D3DMULTISAMPLE_NONE, &quality),
              D3D_OK);
    EXPECT_EQ(quality, 1u);
    EXPECT_EQ(
        d3d->CheckDeviceMultiSampleType(a, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, TRUE, D3DMULTISAMPLE_2_SAMPLES, &quality),
        D3DERR_NOTAVAILABLE);
    EXPECT_EQ(quality, 0u);
}

TEST_F(Direct3DTest, CreateDeviceValidatesFirst)
{
    D3DPRESENT_PARAMETERS pp = WindowedParameters();
    IDirect3DDevice9* device = reinterpret_cast<IDirect3DDevice9*>(&pp);
    EXPECT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_HARDWARE_VERTEXPROCESSING, nullptr, &device),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(device, nullptr);
    EXPECT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_REF, nullptr, D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp, &device),
              D3DERR_NOTAVAILABLE);
    // Exactly one kind of vertex processing.
    EXPECT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_MULTITHREADED, &pp, &device), D3DERR_INVALIDCALL);
    EXPECT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr,
                                D3DCREATE_HARDWARE_VERTEXPROCESSING | D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp,
                                &device),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_SOFTWARE_VERTEXPROCESSING | D3DCREATE_PUREDEVICE,
                                &pp, &device),
              D3DERR_INVALIDCALL);
    pp.MultiSampleType = D3DMULTISAMPLE_2_SAMPLES;
    EXPECT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp, &device),
              D3DERR_INVALIDCALL);
    pp = WindowedParameters();
    pp.AutoDepthStencilFormat = D3DFMT_X8R8G8B8;
    EXPECT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp, &device),
              D3DERR_INVALIDCALL);
    pp = WindowedParameters();
    pp.Windowed = FALSE;
    pp.BackBufferFormat = D3DFMT_UNKNOWN;
    EXPECT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp, &device),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(device, nullptr);
}

TEST_F(Direct3DTest, TheDummyVideoDriverGivesANullDeviceAndWhatD3DFillsIn)
{
    D3DPRESENT_PARAMETERS pp = WindowedParameters();
    pp.BackBufferFormat = D3DFMT_UNKNOWN;
    pp.BackBufferCount = 0;
    IDirect3DDevice9* device = nullptr;
    ASSERT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp, &device), D3D_OK);
    EXPECT_NE(dynamic_cast<NullDevice*>(device), nullptr);
    EXPECT_EQ(pp.BackBufferFormat, D3DFMT_X8R8G8B8);
    EXPECT_EQ(pp.BackBufferCount, 1u);
    IDirect3D9* parent = nullptr;
    ASSERT_EQ(device->GetDirect3D(&parent), D3D_OK);
    EXPECT_EQ(parent, d3d);
    parent->Release();
    EXPECT_EQ(device->Release(), 0u);
}

TEST_F(Direct3DTest, NullConfigurationReachesEnumerationAndDevice)
{
    NullDeviceConfig config;
    config.pixelShaderVersion = D3DPS_VERSION(1, 4);
    config.maxTextureWidth = 256;
    config.maxTextureHeight = 256;
    config.availableTextureMem = 96u * 1024u * 1024u - 1u;
    NullDevice::SetConfig(config);

    D3DCAPS9 caps;
    ASSERT_EQ(d3d->GetDeviceCaps(0, D3DDEVTYPE_HAL, &caps), D3D_OK);
    EXPECT_EQ(caps.PixelShaderVersion, 0xFFFF0104u);
    EXPECT_EQ(caps.MaxTextureWidth, 256u);

    D3DPRESENT_PARAMETERS pp = WindowedParameters();
    IDirect3DDevice9* device = nullptr;
    ASSERT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp, &device), D3D_OK);
    ASSERT_EQ(device->GetDeviceCaps(&caps), D3D_OK);
    EXPECT_EQ(caps.PixelShaderVersion, 0xFFFF0104u);
    EXPECT_EQ(caps.MaxTextureHeight, 256u);
    EXPECT_EQ(device->GetAvailableTextureMem(), 100663295u);
    // The configured limit is enforced, not only reported.
    IDirect3DTexture9* texture = nullptr;
    EXPECT_EQ(device->CreateTexture(512, 256, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(texture, nullptr);
    device->Release();

    config.failCreateDevice = true;
    NullDevice::SetConfig(config);
    device = nullptr;
    EXPECT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp, &device),
              D3DERR_NOTAVAILABLE);
    EXPECT_EQ(device, nullptr);
}

namespace {

LRESULT CALLBACK PlainWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

} // namespace

TEST_F(Direct3DTest, WindowModeWithoutASizeTakesTheClientArea)
{
    static bool registered = false;
    if (!registered) {
        WNDCLASSA wc{};
        wc.lpfnWndProc = PlainWindowProc;
        wc.lpszClassName = "D3D9TestWindow";
        ASSERT_NE(RegisterClassA(&wc), 0u);
        registered = true;
    }
    HWND window =
        CreateWindowExA(0, "D3D9TestWindow", "device", WS_POPUP, 0, 0, 300, 200, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    D3DPRESENT_PARAMETERS pp = WindowedParameters(0, 0);
    pp.hDeviceWindow = window;
    IDirect3DDevice9* device = nullptr;
    ASSERT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, window, D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp, &device), D3D_OK);
    EXPECT_EQ(pp.BackBufferWidth, 300u);
    EXPECT_EQ(pp.BackBufferHeight, 200u);
    IDirect3DSurface9* backBuffer = nullptr;
    ASSERT_EQ(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &backBuffer), D3D_OK);
    D3DSURFACE_DESC desc;
    backBuffer->GetDesc(&desc);
    EXPECT_EQ(desc.Width, 300u);
    EXPECT_EQ(desc.Height, 200u);
    backBuffer->Release();
    EXPECT_EQ(device->Release(), 0u);
    DestroyWindow(window);

    // Without a window there is nothing to take the size from.
    pp = WindowedParameters(0, 0);
    EXPECT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp, &device),
              D3DERR_INVALIDCALL);
}
