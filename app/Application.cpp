#include "app/Application.h"

#include "app/FrameClock.h"
#include "core/DataManager.h"

#include <algorithm>

namespace {

Application* g_application = nullptr;

constexpr const char* WINDOW_CLASS_NAME = "ApplicationClass";
constexpr const char* WINDOW_TITLE = "The Varnholt";

constexpr const char* REFUSAL_CAPTION = "ERROR";
constexpr const char* NO_SETTING_MESSAGE = "Your Video Card Does Not Offer A Usable Display Mode. Program Must Exit.";
constexpr const char* PIXEL_SHADER_MESSAGE =
    "Your Video Card Does Not Support Pixel Shader Version 2.0. Program Must Exit.";
constexpr const char* VERTEX_SHADER_MESSAGE =
    "Your Video Card Does Not Support Vertex Shader Version 2.0. Program Must Exit.";
constexpr const char* TEXTURE_SIZE_MESSAGE =
    "Your Video Card Does Not Support Textures larger then 512x512. Program Must Exit.";
constexpr const char* TEXTURE_MEMORY_MESSAGE =
    "Your Video Card Does Not Have Enough Texture Memory. Program Must Exit.";

constexpr const char* VERTEX_TYPE_MESSAGE = "Can't Find A Valid Vertex Type.";
constexpr const char* VERTEX_TYPE_CAPTION = "Error";

constexpr int FAILURE_EXIT_CODE = 1;

constexpr DWORD MIN_TEXTURE_SIZE = 512;
constexpr UINT MIN_TEXTURE_MEGABYTES = 96;
constexpr int MEGABYTE_SHIFT = 20;

LONG Width(const RECT& r)
{
    return r.right - r.left;
}
LONG Height(const RECT& r)
{
    return r.bottom - r.top;
}

} // namespace

Application::Application()
{
    g_application = this;
}

Application::~Application()
{
    // A quit from inside the game ends the loop without WM_CLOSE; nothing may outlive the application.
    ReleaseDevice();
    if (g_application == this) {
        g_application = nullptr;
    }
}

HRESULT Application::InitScene()
{
    return S_OK;
}

bool Application::CreateDeviceResources()
{
    return true;
}

void Application::UpdateFrame()
{ }

void Application::Render()
{ }

void Application::ReleaseDeviceResources()
{ }

void Application::RestoreDeviceResources()
{ }

void Application::Shutdown()
{ }

HRESULT Application::Create(HINSTANCE instance, HWND window)
{
    m_instance = instance;
    m_window = window;

    m_direct3d.Attach(Direct3DCreate9(D3D_SDK_VERSION));
    if (!m_direct3d) {
        return FailCreate();
    }
    if (FAILED(m_enumeration.Enumerate(m_direct3d.Get()))) {
        return FailCreate();
    }

    if (!m_window) {
        WNDCLASSA windowClass{};
        windowClass.style = 0;
        windowClass.lpfnWndProc = &Application::StaticWindowProc;
        windowClass.hInstance = m_instance;
        windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
        windowClass.lpszClassName = WINDOW_CLASS_NAME;
        RegisterClassA(&windowClass);

        m_windowStyle = CREATION_STYLE;
        RECT frame{0, 0, m_creationWidth, m_creationHeight};
        AdjustWindowRect(&frame, m_windowStyle, FALSE);
        RECT desktop{};
        GetWindowRect(GetDesktopWindow(), &desktop);
        const POINT origin = CentredWindowOrigin(desktop, m_creationWidth, m_creationHeight);
        m_window = CreateWindowExA(0, WINDOW_CLASS_NAME, WINDOW_TITLE, m_windowStyle, origin.x, origin.y, Width(frame),
                                   Height(frame), nullptr, nullptr, m_instance, nullptr);
        if (!m_window) {
            return FailCreate();
        }
    }

    m_windowStyle = static_cast<DWORD>(GetWindowLongA(m_window, GWL_STYLE));
    GetWindowRect(m_window, &m_windowRect);
    GetClientRect(m_window, &m_clientRect);

    if (!ChooseStartMode()) {
        MessageBoxA(nullptr, NO_SETTING_MESSAGE, REFUSAL_CAPTION, MB_OK);
        return FailCreate();
    }
    if (FAILED(InitScene())) {
        return FailCreate();
    }
    if (FAILED(CreateDevice())) {
        return FailCreate();
    }

    ShowWindow(m_window, SW_SHOW);
    UpdateWindow(m_window);
    SetActive(true);
    return S_OK;
}

POINT Application::CentredWindowOrigin(const RECT& desktop, int width, int height)
{
    // Signed, so that a desktop smaller than the window puts it at the corner rather than far off screen.
    return POINT{std::max<LONG>(0, (desktop.right - width) / 2), std::max<LONG>(0, (desktop.bottom - height) / 2)};
}

HRESULT Application::FailCreate()
{
    ReleaseDevice();
    Halt();
    return E_FAIL;
}

void Application::Halt()
{
    m_halted = true;
    m_active = false;
    // The game ends on a failure (a refused start, a lost device): whoever started it learns so.
    PostQuitMessage(FAILURE_EXIT_CODE);
}

int Application::Run()
{
    MSG message{};
    D3DDISPLAYMODE desktop{};
    if (m_direct3d && SUCCEEDED(m_direct3d->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &desktop))) {
        m_pacer.SetRefreshRate(desktop.RefreshRate);
    }
    for (;;) {
        if (PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE)) {
            if (!GetMessageA(&message, nullptr, 0, 0)) {
                break;
            }
            TranslateMessage(&message);
            DispatchMessageA(&message);
        } else if (m_active) {
            // Frames no faster than the screen shows them; a message arriving meanwhile is handled at once.
            if (const DWORD wait = m_pacer.MillisecondsUntilDue()) {
                MsgWaitForMultipleObjects(0, nullptr, FALSE, wait, QS_ALLINPUT);
                continue;
            }
            m_pacer.FrameStarted();
            UpdateFrame();
            // A reset that failed during the update has released what the render would draw with.
            if (m_active) {
                Render();
            }
        } else {
            // Minimised or paused: nothing to do until the next message, and no reason to keep a core busy.
            WaitMessage();
        }
    }
    RunShutdownOnce();
    return static_cast<int>(message.wParam);
}

void Application::RunShutdownOnce()
{
    if (m_shutdownDone) {
        return;
    }
    m_shutdownDone = true;
    Shutdown();
}

LRESULT CALLBACK Application::StaticWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!g_application) {
        return DefWindowProcA(window, message, wParam, lParam);
    }
    return g_application->HandleMessage(window, message, wParam, lParam);
}

LRESULT Application::HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_ENTERMENULOOP:
    case WM_ENTERSIZEMOVE:
        SetActive(false);
        break;
    case WM_EXITMENULOOP:
        SetActive(true);
        break;
    case WM_EXITSIZEMOVE:
        SetActive(true);
        OnWindowResized();
        break;
    case WM_SIZE:
        // The reset itself may resize the window; answering that with another reset would recurse.
        if (m_resetInProgress) {
            break;
        }
        if (m_windowed && m_window) {
            m_windowStyle = static_cast<DWORD>(GetWindowLongA(m_window, GWL_STYLE));
        }
        if (wParam == SIZE_MINIMIZED) {
            SetActive(false);
        } else if (wParam == SIZE_MAXIMIZED || wParam == SIZE_RESTORED) {
            SetActive(true);
            OnWindowResized();
        }
        break;
    case WM_NCHITTEST:
        if (!m_windowed) {
            return HTCLIENT;
        }
        break;
    case WM_SYSCOMMAND:
        if (!m_windowed) {
            // The low four bits of a system command are the system's own.
            switch (wParam & 0xFFF0) {
            case SC_MOVE:
            case SC_SIZE:
            case SC_MAXIMIZE:
            case SC_KEYMENU:
            case SC_MONITORPOWER:
                return 1;
            default:
                break;
            }
        }
        break;
    case WM_POWERBROADCAST:
        if (wParam == PBT_APMQUERYSUSPEND || wParam == PBT_APMRESUMESUSPEND) {
            return 1;
        }
        break;
    case WM_CLOSE: {
        ReleaseDevice();
        if (HMENU menu = GetMenu(window)) {
            DestroyMenu(menu);
        }
        DestroyWindow(window);
        PostQuitMessage(0);
        m_window = nullptr;
        return 0;
    }
    default:
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

void Application::OnWindowResized()
{
    SetActive(false);
    // Only a windowed rectangle is worth returning to; in full screen the window covers the desktop.
    if (m_windowed) {
        GetWindowRect(m_window, &m_windowRect);
    }
    GetClientRect(m_window, &m_clientRect);
    m_presentParameters.BackBufferWidth = static_cast<UINT>(std::max<LONG>(0, Width(m_clientRect)));
    m_presentParameters.BackBufferHeight = static_cast<UINT>(std::max<LONG>(0, Height(m_clientRect)));
    if (m_device && FAILED(ResetDevice())) {
        return;
    }
    SetActive(true);
}

void Application::SetWindowSize(int width, int height)
{
    m_presentParameters.BackBufferWidth = static_cast<UINT>(std::max(0, width));
    m_presentParameters.BackBufferHeight = static_cast<UINT>(std::max(0, height));
    SetActive(false);
    SetWindowPos(m_window, nullptr, 0, 0, width, height, SWP_NOMOVE);
    if (m_device && FAILED(ResetDevice())) {
        return;
    }
    SetActive(true);
}

void Application::SetActive(bool active)
{
    if (active && m_halted) {
        return;
    }
    if (active && !m_active) {
        FrameClock::Restart();
    }
    m_active = active;
}

bool Application::PickWindowedMode(bool requireHal, bool requireRef)
{
    if (!m_direct3d) {
        return false;
    }
    D3DDISPLAYMODE desktop{};
    if (FAILED(m_direct3d->GetAdapterDisplayMode(0, &desktop))) {
        return false;
    }

    AdapterRecord* bestAdapter = nullptr;
    DeviceRecord* bestDevice = nullptr;
    DeviceCombination* best = nullptr;
    bool done = false;
    for (const auto& adapter : m_enumeration.GetAdapters()) {
        if (done) {
            break;
        }
        for (const auto& device : adapter->devices) {
            if (done) {
                break;
            }
            if (requireHal && device->deviceType != D3DDEVTYPE_HAL) {
                continue;
            }
            if (requireRef && device->deviceType != D3DDEVTYPE_REF) {
                continue;
            }
            const bool hal = device->deviceType == D3DDEVTYPE_HAL;
            for (const auto& combination : device->combinations) {
                if (!combination->windowed || combination->adapterFormat != desktop.Format) {
                    continue;
                }
                const bool matching = combination->backBufferFormat == combination->adapterFormat;
                if (!best || (bestDevice->deviceType != D3DDEVTYPE_HAL && hal) || (hal && matching)) {
                    bestAdapter = adapter.get();
                    bestDevice = device.get();
                    best = combination.get();
                }
                if (hal && matching) {
                    done = true;
                    break;
                }
            }
        }
    }
    if (!best) {
        return false;
    }

    ModeSetting& setting = m_settings.windowedSetting;
    setting.adapter = bestAdapter;
    setting.device = bestDevice;
    setting.combination = best;
    setting.displayMode = desktop;
    setting.width = Width(m_clientRect);
    setting.height = Height(m_clientRect);
    setting.depthStencilFormat = best->depthStencilFormats.front();
    setting.multiSampleType = best->multiSampleTypes.front();
    setting.multiSampleQuality = 0;
    setting.vertexProcessingType = best->vertexProcessingTypes.front();
    setting.presentInterval = best->presentIntervals.front();
    m_settings.windowed = true;
    return true;
}

bool Application::PickFullscreenMode(bool requireHal, bool requireRef)
{
    if (!m_direct3d) {
        return false;
    }

    AdapterRecord* bestAdapter = nullptr;
    DeviceRecord* bestDevice = nullptr;
    DeviceCombination* best = nullptr;
    D3DDISPLAYMODE bestDesktop{};
    bool done = false;
    for (const auto& adapter : m_enumeration.GetAdapters()) {
        if (done) {
            break;
        }
        D3DDISPLAYMODE desktop{};
        m_direct3d->GetAdapterDisplayMode(adapter->adapterOrdinal, &desktop);
        for (const auto& device : adapter->devices) {
            if (done) {
                break;
            }
            if (requireHal && device->deviceType != D3DDEVTYPE_HAL) {
                continue;
            }
            if (requireRef && device->deviceType != D3DDEVTYPE_REF) {
                continue;
            }
            const bool hal = device->deviceType == D3DDEVTYPE_HAL;
            for (const auto& combination : device->combinations) {
                if (combination->windowed) {
                    continue;
                }
                const bool onDesktopFormat = combination->adapterFormat == desktop.Format;
                const bool matching = combination->backBufferFormat == combination->adapterFormat;
                bool take = !best;
                if (best && hal) {
                    take = bestDevice->deviceType != D3DDEVTYPE_HAL ||
                           (best->adapterFormat != desktop.Format && onDesktopFormat) || (onDesktopFormat && matching);
                }
                if (take) {
                    bestAdapter = adapter.get();
                    bestDevice = device.get();
                    best = combination.get();
                    bestDesktop = desktop;
                }
                if (hal && onDesktopFormat && matching) {
                    done = true;
                    break;
                }
            }
        }
    }
    if (!best) {
        return false;
    }

    D3DDISPLAYMODE mode{};
    bool haveMode = false;
    for (const D3DDISPLAYMODE& candidate : bestAdapter->displayModes) {
        if (candidate.Format != best->adapterFormat) {
            continue;
        }
        if (candidate.Width == bestDesktop.Width && candidate.Height == bestDesktop.Height &&
            candidate.RefreshRate == bestDesktop.RefreshRate) {
            mode = candidate;
            break;
        }
        if (!haveMode || candidate.Width == bestDesktop.Width) {
            mode = candidate;
            haveMode = true;
        }
    }

    ModeSetting& setting = m_settings.fullscreenSetting;
    setting.adapter = bestAdapter;
    setting.device = bestDevice;
    setting.combination = best;
    setting.displayMode = mode;
    setting.depthStencilFormat = best->depthStencilFormats.front();
    setting.multiSampleType = best->multiSampleTypes.front();
    setting.multiSampleQuality = 0;
    setting.vertexProcessingType = best->vertexProcessingTypes.front();
    setting.presentInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
    m_settings.windowed = false;
    return true;
}

bool Application::ChooseStartMode()
{
    const bool full = PickFullscreenMode(false, false);
    const bool windowed = PickWindowedMode(false, false);
    if (!m_windowed && full) {
        m_settings.windowed = false;
    }
    if (!windowed) {
        if (!full) {
            return false;
        }
        m_settings.windowed = false;
    }
    return true;
}

void Application::FillPresentParameters()
{
    const ModeSetting& setting = m_settings.InUse();
    D3DPRESENT_PARAMETERS& pp = m_presentParameters;
    pp.Windowed = m_settings.windowed ? TRUE : FALSE;
    pp.BackBufferCount = 1;
    pp.MultiSampleType = setting.multiSampleType;
    pp.MultiSampleQuality = setting.multiSampleQuality;
    pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
    pp.EnableAutoDepthStencil = TRUE;
    // Whatever depth format the settings list first, the depth buffer is D24S8.
    pp.AutoDepthStencilFormat = D3DFMT_D24S8;
    pp.hDeviceWindow = m_window;
    pp.Flags = 0;
    pp.BackBufferFormat = setting.combination ? setting.combination->backBufferFormat : D3DFMT_UNKNOWN;
    if (m_windowed) {
        pp.BackBufferWidth = static_cast<UINT>(std::max<LONG>(0, Width(m_clientRect)));
        pp.BackBufferHeight = static_cast<UINT>(std::max<LONG>(0, Height(m_clientRect)));
        pp.FullScreen_RefreshRateInHz = 0;
    } else {
        pp.BackBufferWidth = setting.displayMode.Width;
        pp.BackBufferHeight = setting.displayMode.Height;
        pp.FullScreen_RefreshRateInHz = setting.displayMode.RefreshRate;
    }
    pp.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
}

const char* Application::CheckCapabilities(const D3DCAPS9& caps, UINT availableTextureMemory)
{
    if (caps.PixelShaderVersion < D3DPS_VERSION(2, 0)) {
        return PIXEL_SHADER_MESSAGE;
    }
    if (caps.VertexShaderVersion < D3DVS_VERSION(2, 0)) {
        return VERTEX_SHADER_MESSAGE;
    }
    if (caps.MaxTextureWidth < MIN_TEXTURE_SIZE || caps.MaxTextureHeight < MIN_TEXTURE_SIZE) {
        return TEXTURE_SIZE_MESSAGE;
    }
    if ((availableTextureMemory >> MEGABYTE_SHIFT) < MIN_TEXTURE_MEGABYTES) {
        return TEXTURE_MEMORY_MESSAGE;
    }
    return nullptr;
}

HRESULT Application::CreateDevice()
{
    const ModeSetting& setting = m_settings.InUse();
    if (!m_direct3d || !setting.combination || !setting.device) {
        return E_FAIL;
    }

    m_windowed = m_settings.windowed;
    SetWindowLongA(m_window, GWL_STYLE, static_cast<LONG>(m_windowed ? m_windowStyle : FULLSCREEN_STYLE));

    FillPresentParameters();

    DWORD behaviour = 0;
    switch (setting.vertexProcessingType) {
    case SOFTWARE_VP:
        behaviour = D3DCREATE_SOFTWARE_VERTEXPROCESSING | D3DCREATE_MULTITHREADED;
        break;
    case MIXED_VP:
        behaviour = D3DCREATE_MIXED_VERTEXPROCESSING | D3DCREATE_MULTITHREADED;
        break;
    case HARDWARE_VP:
    case PURE_HARDWARE_VP:
        // A pure device is never asked for, even where the card offers one.
        behaviour = D3DCREATE_HARDWARE_VERTEXPROCESSING | D3DCREATE_MULTITHREADED;
        break;
    default:
        MessageBoxA(nullptr, VERTEX_TYPE_MESSAGE, VERTEX_TYPE_CAPTION, MB_OK);
        PostQuitMessage(0);
        return E_FAIL;
    }

    const HRESULT created = m_direct3d->CreateDevice(setting.combination->adapterOrdinal, setting.device->deviceType,
                                                     m_window, behaviour, &m_presentParameters, m_device.AddressOf());
    if (FAILED(created))
        return created;

    DataManager::Get()->SetDevice(m_device.Get());

    if (m_windowed) {
        SetWindowPos(m_window, HWND_NOTOPMOST, m_windowRect.left, m_windowRect.top, Width(m_windowRect),
                     Height(m_windowRect), SWP_SHOWWINDOW);
    }

    m_device->GetDeviceCaps(&m_caps);
    if (const char* refusal = CheckCapabilities(m_caps, m_device->GetAvailableTextureMem())) {
        MessageBoxA(nullptr, refusal, REFUSAL_CAPTION, MB_OK);
        return E_FAIL;
    }

    if (SUCCEEDED(m_device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, m_backBuffer.AddressOf())) && m_backBuffer) {
        m_backBuffer->GetDesc(&m_backBufferDesc);
    }

    if (!CreateDeviceResources()) {
        RunShutdownOnce();
        return E_FAIL;
    }
    return created;
}

HRESULT Application::ResetDevice()
{
    if (!m_device) {
        return E_FAIL;
    }
    m_resetInProgress = true;
    ReleaseDeviceResources();
    m_backBuffer.Reset();
    const HRESULT result = m_device->Reset(&m_presentParameters);
    if (FAILED(result)) {
        m_resetInProgress = false;
        Halt();
        return result;
    }
    if (SUCCEEDED(m_device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, m_backBuffer.AddressOf())) && m_backBuffer) {
        m_backBuffer->GetDesc(&m_backBufferDesc);
    }
    RestoreDeviceResources();
    m_resetInProgress = false;
    // The reset may have taken long (a mode switch); that time is not game time.
    FrameClock::Restart();
    return result;
}

void Application::ToggleWindowed(bool forceWindowed)
{
    const bool target = forceWindowed ? true : !m_windowed;
    const ModeSetting& targetSetting = target ? m_settings.windowedSetting : m_settings.fullscreenSetting;
    if (!m_device || !targetSetting.combination) {
        return;
    }

    const ModeSetting& current = m_settings.InUse();
    const UINT ordinal = current.combination ? current.combination->adapterOrdinal : 0;
    const D3DDEVTYPE type = current.device ? current.device->deviceType : D3DDEVTYPE_HAL;

    SetActive(false);
    m_windowed = target;
    m_settings.windowed = target;
    SetWindowLongA(m_window, GWL_STYLE, static_cast<LONG>(m_windowed ? m_windowStyle : FULLSCREEN_STYLE));

    if (targetSetting.combination->adapterOrdinal == ordinal && targetSetting.device->deviceType == type) {
        FillPresentParameters();
        if (FAILED(ResetDevice())) {
            return;
        }
    } else {
        // Another adapter or device type needs a new device; what holds on to the old one lets go first.
        ReleaseDeviceResources();
        ReleaseDeviceOnly();
        if (FAILED(CreateDevice())) {
            ReleaseDeviceOnly();
            Halt();
            return;
        }
    }

    if (m_windowed) {
        SetWindowPos(m_window, HWND_NOTOPMOST, m_windowRect.left, m_windowRect.top, Width(m_windowRect),
                     Height(m_windowRect), SWP_SHOWWINDOW);
    }
    SetActive(true);
}

void Application::ApplyWindowStyle()
{
    m_windowStyle = WINDOWED_STYLE;
    SetWindowLongA(m_window, GWL_STYLE, static_cast<LONG>(m_windowed ? WINDOWED_STYLE : FULLSCREEN_STYLE));
    SetWindowPos(m_window, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_FRAMECHANGED);
    // The new frame changes the window's rectangle. The one saved at creation was measured around the bare popup;
    // returning from full screen to it with the overlapped frame would shrink the client area by the frame.
    if (m_windowed) {
        GetWindowRect(m_window, &m_windowRect);
        GetClientRect(m_window, &m_clientRect);
    }
}

void Application::ReleaseDeviceOnly()
{
    m_backBuffer.Reset();
    m_device.Reset();
}

void Application::ReleaseDevice()
{
    ReleaseDeviceOnly();
    m_direct3d.Reset();
}
