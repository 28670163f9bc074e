#include "d3d9/Direct3D9.h"

#include "d3d9/BackEnds.h"
#include "d3d9/HalCaps.h"
#include "d3d9/PixelFormat.h"
#include "win32/Log.h"
#include "win32/VideoStart.h"

#include <SDL.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr UINT DEFAULT_REFRESH_RATE = 60;
// Window sizes the game offers whatever the display lists.
constexpr UINT OFFERED_SIZES[][2] = {{800, 600}, {1024, 768}, {1280, 1024}};
// When SDL has no display to ask (no video at all), the adapter looks like this.
constexpr UINT FALLBACK_DESKTOP_WIDTH = 1024;
constexpr UINT FALLBACK_DESKTOP_HEIGHT = 768;

std::atomic<D3D9BackEnd> g_backEnd{D3D9_BACKEND_AUTO};

bool IsDepthStencilFormatOffered(D3DFORMAT format)
{
    return format == D3DFMT_D24S8 || format == D3DFMT_D16 || format == D3DFMT_D24X8 || format == D3DFMT_D32;
}

bool IsBackBufferFormat(D3DFORMAT format)
{
    return format == D3DFMT_X8R8G8B8 || format == D3DFMT_A8R8G8B8;
}

void CopyText(char* out, size_t size, const char* text)
{
    const size_t length = text ? std::min(std::strlen(text), size - 1) : 0;
    if (length > 0)
        std::memcpy(out, text, length);
    out[length] = '\0';
}

} // namespace

void D3D9SetBackEnd(D3D9BackEnd backEnd)
{
    g_backEnd.store(backEnd);
}

D3D9BackEnd D3D9GetBackEnd()
{
    return g_backEnd.load();
}

IDirect3D9* Direct3DCreate9(UINT sdkVersion)
{
    if (sdkVersion != D3D_SDK_VERSION)
        return nullptr;
    auto* d3d = new Direct3D9();
    // The null back-end shows nothing, so it needs no display (the simulator and benchmarks run it headless).
    if (!d3d->HasDisplay() && g_backEnd.load() != D3D9_BACKEND_NULL) {
        Log(LogLevel::ERROR, "no-display",
            "Direct3D: no display to show the game on (set DISPLAY, or SDL_VIDEODRIVER to choose a video driver)");
        d3d->Release();
        return nullptr;
    }
    return d3d;
}

Direct3D9::Direct3D9()
{
    const char* asked = std::getenv("SDL_VIDEODRIVER");
    const bool driverAsked = asked && *asked;
    if (!SDL_WasInit(SDL_INIT_VIDEO)) {
        if (StartVideo())
            ownsVideo_ = true;
        else
            LogFormat(LogLevel::WARNING, "direct3d.device", "Direct3D: no video (%s); offering a %ux%u desktop",
                      SDL_GetError(), FALLBACK_DESKTOP_WIDTH, FALLBACK_DESKTOP_HEIGHT);
    }
    // Without a display SDL falls back on drivers that show nothing (offscreen, dummy), and a game started
    // there would run unseen until killed. Those serve only when asked for by name.
    if (!driverAsked)
        display_ = SDL_WasInit(SDL_INIT_VIDEO) && !IsStandInVideoDriver(SDL_GetCurrentVideoDriver());
    const int displays = SDL_WasInit(SDL_INIT_VIDEO) ? SDL_GetNumVideoDisplays() : 0;
    for (int display = 0; display < std::max(displays, 1); ++display) {
        Adapter adapter;
        SDL_DisplayMode desktop{};
        if (display < displays && SDL_GetDesktopDisplayMode(display, &desktop) == 0 && desktop.w > 0 && desktop.h > 0) {
            adapter.desktop.Width = static_cast<UINT>(desktop.w);
            adapter.desktop.Height = static_cast<UINT>(desktop.h);
            adapter.desktop.RefreshRate =
                desktop.refresh_rate > 0 ? static_cast<UINT>(desktop.refresh_rate) : DEFAULT_REFRESH_RATE;
        } else {
            adapter.desktop.Width = FALLBACK_DESKTOP_WIDTH;
            adapter.desktop.Height = FALLBACK_DESKTOP_HEIGHT;
            adapter.desktop.RefreshRate = DEFAULT_REFRESH_RATE;
        }
        adapter.desktop.Format = D3DFMT_X8R8G8B8;
        const char* name = display < displays ? SDL_GetDisplayName(display) : nullptr;
        adapter.name = name ? name : "Display";

        // Every mode is offered at the desktop's refresh rate: the window is scaled, never the display.
        auto offer = [&adapter](UINT width, UINT height) {
            for (const D3DDISPLAYMODE& mode : adapter.modes) {
                if (mode.Width == width && mode.Height == height)
                    return;
            }
            adapter.modes.push_back(D3DDISPLAYMODE{width, height, adapter.desktop.RefreshRate, D3DFMT_X8R8G8B8});
        };
        const int count = display < displays ? SDL_GetNumDisplayModes(display) : 0;
        for (int i = 0; i < count; ++i) {
            SDL_DisplayMode mode{};
            if (SDL_GetDisplayMode(display, i, &mode) == 0 && mode.w > 0 && mode.h > 0)
                offer(static_cast<UINT>(mode.w), static_cast<UINT>(mode.h));
        }
        for (const auto& size : OFFERED_SIZES)
            offer(size[0], size[1]);
        offer(adapter.desktop.Width, adapter.desktop.Height);
        std::sort(adapter.modes.begin(), adapter.modes.end(), [](const D3DDISPLAYMODE& a, const D3DDISPLAYMODE& b) {
            return a.Width != b.Width ? a.Width < b.Width : a.Height < b.Height;
        });
        adapters_.push_back(std::move(adapter));
    }
}

Direct3D9::~Direct3D9()
{
    if (ownsVideo_)
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

ULONG Direct3D9::AddRef()
{
    return ++refs_;
}

ULONG Direct3D9::Release()
{
    ULONG previous = refs_.load();
    do {
        if (previous == 0)
            return 0;
    } while (!refs_.compare_exchange_weak(previous, previous - 1));
    if (previous == 1) {
        delete this;
        return 0;
    }
    return previous - 1;
}

UINT Direct3D9::GetAdapterCount()
{
    return static_cast<UINT>(adapters_.size());
}

HRESULT Direct3D9::GetAdapterIdentifier(UINT adapter, DWORD, D3DADAPTER_IDENTIFIER9* identifier)
{
    if (!identifier)
        return D3DERR_INVALIDCALL;
    std::memset(identifier, 0, sizeof(*identifier));
    if (!ValidAdapter(adapter))
        return D3DERR_INVALIDCALL;
    const char* driver = SDL_WasInit(SDL_INIT_VIDEO) ? SDL_GetCurrentVideoDriver() : nullptr;
    char text[512];
    std::snprintf(text, sizeof(text), "SDL2 %s", driver ? driver : "(no video)");
    CopyText(identifier->Driver, sizeof(identifier->Driver), text);
    std::snprintf(text, sizeof(text), "%s (%s)", adapters_[adapter].name.c_str(),
                  EffectiveBackEnd() == D3D9_BACKEND_NULL ? "no rendering" : "OpenGL");
    CopyText(identifier->Description, sizeof(identifier->Description), text);
    std::snprintf(text, sizeof(text), "\\\\.\\DISPLAY%u", adapter + 1);
    CopyText(identifier->DeviceName, sizeof(identifier->DeviceName), text);
    identifier->WHQLLevel = 1;
    identifier->DeviceIdentifier.Data1 = adapter + 1;
    return D3D_OK;
}

UINT Direct3D9::GetAdapterModeCount(UINT adapter, D3DFORMAT format)
{
    if (!ValidAdapter(adapter) || format != D3DFMT_X8R8G8B8)
        return 0;
    return static_cast<UINT>(adapters_[adapter].modes.size());
}

HRESULT Direct3D9::EnumAdapterModes(UINT adapter, D3DFORMAT format, UINT mode, D3DDISPLAYMODE* displayMode)
{
    if (!displayMode)
        return D3DERR_INVALIDCALL;
    *displayMode = D3DDISPLAYMODE{};
    if (!ValidAdapter(adapter))
        return D3DERR_INVALIDCALL;
    if (format != D3DFMT_X8R8G8B8)
        return D3DERR_NOTAVAILABLE;
    if (mode >= adapters_[adapter].modes.size())
        return D3DERR_INVALIDCALL;
    *displayMode = adapters_[adapter].modes[mode];
    return D3D_OK;
}

HRESULT Direct3D9::GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* displayMode)
{
    if (!displayMode)
        return D3DERR_INVALIDCALL;
    *displayMode = D3DDISPLAYMODE{};
    if (!ValidAdapter(adapter))
        return D3DERR_INVALIDCALL;
    *displayMode = adapters_[adapter].desktop;
    return D3D_OK;
}

HRESULT Direct3D9::CheckDeviceType(UINT adapter, D3DDEVTYPE devType, D3DFORMAT adapterFormat,
                                   D3DFORMAT backBufferFormat, BOOL windowed)
{
    if (!ValidAdapter(adapter))
        return D3DERR_INVALIDCALL;
    if (devType != D3DDEVTYPE_HAL || adapterFormat != D3DFMT_X8R8G8B8)
        return D3DERR_NOTAVAILABLE;
    if (IsBackBufferFormat(backBufferFormat) || (windowed && backBufferFormat == D3DFMT_UNKNOWN))
        return D3D_OK;
    return D3DERR_NOTAVAILABLE;
}

HRESULT Direct3D9::CheckDeviceFormat(UINT adapter, D3DDEVTYPE deviceType, D3DFORMAT adapterFormat, DWORD usage,
                                     D3DRESOURCETYPE rType, D3DFORMAT checkFormat)
{
    if (!ValidAdapter(adapter))
        return D3DERR_INVALIDCALL;
    if (deviceType != D3DDEVTYPE_HAL || adapterFormat != D3DFMT_X8R8G8B8)
        return D3DERR_NOTAVAILABLE;
    if (usage & D3DUSAGE_DEPTHSTENCIL)
        return rType == D3DRTYPE_SURFACE && IsDepthStencilFormatOffered(checkFormat) ? D3D_OK : D3DERR_NOTAVAILABLE;
    switch (rType) {
    case D3DRTYPE_SURFACE:
    case D3DRTYPE_TEXTURE:
        if (usage & D3DUSAGE_RENDERTARGET)
            return PixelFormat::IsRenderTargetFormat(checkFormat) ? D3D_OK : D3DERR_NOTAVAILABLE;
        return PixelFormat::IsColorFormat(checkFormat) ? D3D_OK : D3DERR_NOTAVAILABLE;
    case D3DRTYPE_VERTEXBUFFER:
        return checkFormat == D3DFMT_VERTEXDATA ? D3D_OK : D3DERR_NOTAVAILABLE;
    case D3DRTYPE_INDEXBUFFER:
        return checkFormat == D3DFMT_INDEX16 || checkFormat == D3DFMT_INDEX32 ? D3D_OK : D3DERR_NOTAVAILABLE;
    default:
        return D3DERR_NOTAVAILABLE;
    }
}

HRESULT Direct3D9::CheckDeviceMultiSampleType(UINT adapter, D3DDEVTYPE deviceType, D3DFORMAT, BOOL,
                                              D3DMULTISAMPLE_TYPE multiSampleType, DWORD* qualityLevels)
{
    if (qualityLevels)
        *qualityLevels = 0;
    if (!ValidAdapter(adapter))
        return D3DERR_INVALIDCALL;
    if (deviceType != D3DDEVTYPE_HAL || multiSampleType != D3DMULTISAMPLE_NONE)
        return D3DERR_NOTAVAILABLE;
    if (qualityLevels)
        *qualityLevels = 1;
    return D3D_OK;
}

HRESULT Direct3D9::CheckDepthStencilMatch(UINT adapter, D3DDEVTYPE deviceType, D3DFORMAT adapterFormat,
                                          D3DFORMAT renderTargetFormat, D3DFORMAT depthStencilFormat)
{
    if (!ValidAdapter(adapter))
        return D3DERR_INVALIDCALL;
    if (deviceType != D3DDEVTYPE_HAL || adapterFormat != D3DFMT_X8R8G8B8 ||
        !PixelFormat::IsRenderTargetFormat(renderTargetFormat) || !IsDepthStencilFormatOffered(depthStencilFormat))
        return D3DERR_NOTAVAILABLE;
    return D3D_OK;
}

HRESULT Direct3D9::GetDeviceCaps(UINT adapter, D3DDEVTYPE deviceType, D3DCAPS9* caps)
{
    if (!caps)
        return D3DERR_INVALIDCALL;
    std::memset(caps, 0, sizeof(*caps));
    if (!ValidAdapter(adapter))
        return D3DERR_INVALIDCALL;
    // Only the hardware device exists: there is no software rasteriser or reference device here.
    if (deviceType != D3DDEVTYPE_HAL)
        return D3DERR_NOTAVAILABLE;
    FillHalCaps(adapter, caps);
    if (EffectiveBackEnd() == D3D9_BACKEND_NULL)
        ApplyNullDeviceCaps(caps);
    return D3D_OK;
}

D3D9BackEnd Direct3D9::EffectiveBackEnd()
{
    const D3D9BackEnd chosen = D3D9GetBackEnd();
    if (chosen != D3D9_BACKEND_AUTO)
        return chosen;
    const char* driver = SDL_WasInit(SDL_INIT_VIDEO) ? SDL_GetCurrentVideoDriver() : std::getenv("SDL_VIDEODRIVER");
    if (!SDL_WasInit(SDL_INIT_VIDEO) && !driver)
        return D3D9_BACKEND_NULL; // no video at all: nothing to draw into
    return driver && std::strcmp(driver, "dummy") == 0 ? D3D9_BACKEND_NULL : D3D9_BACKEND_GL;
}

HRESULT Direct3D9::CreateDevice(UINT adapter, D3DDEVTYPE deviceType, HWND focusWindow, DWORD behaviorFlags,
                                D3DPRESENT_PARAMETERS* presentationParameters,
                                IDirect3DDevice9** returnedDeviceInterface)
{
    if (!returnedDeviceInterface)
        return D3DERR_INVALIDCALL;
    *returnedDeviceInterface = nullptr;
    if (!presentationParameters || !ValidAdapter(adapter))
        return D3DERR_INVALIDCALL;
    if (deviceType != D3DDEVTYPE_HAL)
        return D3DERR_NOTAVAILABLE;
    const DWORD processing = behaviorFlags & (D3DCREATE_SOFTWARE_VERTEXPROCESSING |
                                              D3DCREATE_HARDWARE_VERTEXPROCESSING | D3DCREATE_MIXED_VERTEXPROCESSING);
    if (processing != D3DCREATE_SOFTWARE_VERTEXPROCESSING && processing != D3DCREATE_HARDWARE_VERTEXPROCESSING &&
        processing != D3DCREATE_MIXED_VERTEXPROCESSING)
        return D3DERR_INVALIDCALL;
    if ((behaviorFlags & D3DCREATE_PUREDEVICE) && processing != D3DCREATE_HARDWARE_VERTEXPROCESSING)
        return D3DERR_INVALIDCALL;
    HWND window = presentationParameters->hDeviceWindow ? presentationParameters->hDeviceWindow : focusWindow;

    HRESULT hr = D3DERR_NOTAVAILABLE;
    IDirect3DDevice9* device = nullptr;
    const D3D9BackEnd backEnd = EffectiveBackEnd();
    if (backEnd == D3D9_BACKEND_GL) {
        device = CreateGlDevice(this, window, behaviorFlags, presentationParameters, &hr);
        // Without OpenGL the game still runs, showing nothing, rather than refusing to start; a caller
        // that asked for GL by name gets the failure instead.
        if (!device && hr != D3DERR_INVALIDCALL && D3D9GetBackEnd() == D3D9_BACKEND_AUTO) {
            LogFormat(LogLevel::WARNING, "direct3d.device",
                      "Direct3D: no OpenGL device (error 0x%08x); continuing without rendering",
                      static_cast<unsigned>(hr));
            device = CreateNullDevice(this, window, behaviorFlags, presentationParameters, &hr);
        }
    } else {
        device = CreateNullDevice(this, window, behaviorFlags, presentationParameters, &hr);
    }
    if (!device)
        return FAILED(hr) ? hr : D3DERR_NOTAVAILABLE;
    *returnedDeviceInterface = device;
    return D3D_OK;
}
