#pragma once
// The application framework: the window, the message loop, the Direct3D object and device, the device settings
// and the present parameters. It knows nothing of the game; the game hooks in through the virtual operations.

#include "app/AdapterEnumeration.h"
#include "app/DeviceSettings.h"
#include "app/FramePacer.h"
#include "d3d9/D3D9.h"
#include "win32/ComPtr.h"
#include "win32/Win32.h"

class Application
{
public:
    Application();
    virtual ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    // Before the device exists. A negative result ends the start.
    virtual HRESULT InitScene();
    // Once the device exists. False ends the start.
    virtual bool CreateDeviceResources();
    virtual void UpdateFrame();
    virtual void Render();
    // Before every device reset.
    virtual void ReleaseDeviceResources();
    // After every device reset.
    virtual void RestoreDeviceResources();
    // When the message loop ends, or when the device resources could not be created. Runs at most once.
    virtual void Shutdown();
    virtual void OnWindowResized();
    // Resets the device with the current present parameters. A failure leaves the application inactive for
    // good and posts the quit message: the caller must not touch device resources for the rest of the frame.
    virtual HRESULT ResetDevice();
    virtual LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    // Creates the Direct3D object, the window (unless one is given) and the device. A failure has already
    // posted the quit message, so Run ends at once.
    HRESULT Create(HINSTANCE instance, HWND window);
    // The message loop; returns the quit message's code.
    int Run();
    static LRESULT CALLBACK StaticWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    void SetWindowSize(int width, int height);
    void ToggleWindowed(bool forceWindowed);
    void ApplyWindowStyle();

    bool IsActive() const { return m_active; }
    bool IsWindowed() const { return m_windowed; }
    HWND GetWindow() const { return m_window; }
    IDirect3DDevice9* GetDevice() const { return m_device.Get(); }
    const D3DPRESENT_PARAMETERS& GetPresentParameters() const { return m_presentParameters; }
    const D3DSURFACE_DESC& GetBackBufferDesc() const { return m_backBufferDesc; }

    // Where a window of the given size sits when centred on the desktop; never left of or above its corner.
    static POINT CentredWindowOrigin(const RECT& desktop, int width, int height);

    static constexpr DWORD CREATION_STYLE = WS_POPUP | WS_VISIBLE;
    static constexpr DWORD FULLSCREEN_STYLE = WS_POPUP | WS_VISIBLE | WS_SYSMENU;
    static constexpr DWORD WINDOWED_STYLE = WS_OVERLAPPEDWINDOW | WS_VISIBLE;

protected:
    bool PickWindowedMode(bool requireHal, bool requireRef);
    bool PickFullscreenMode(bool requireHal, bool requireRef);
    bool ChooseStartMode();
    void FillPresentParameters();
    HRESULT CreateDevice();
    // Releases the back buffer, the device and then the Direct3D object.
    void ReleaseDevice();

    // Frames run only while active. Whenever frames resume, the frame clock forgets the pause.
    void SetActive(bool active);

    AdapterEnumeration m_enumeration;
    DeviceSettings m_settings;
    bool m_windowed = true;
    bool m_active = false;
    D3DPRESENT_PARAMETERS m_presentParameters{};
    D3DSURFACE_DESC m_backBufferDesc{};
    ComPtr<IDirect3DSurface9> m_backBuffer;
    // Saved while windowed, for returning to windowed mode.
    RECT m_windowRect{};
    RECT m_clientRect{};
    D3DCAPS9 m_caps{};
    ComPtr<IDirect3D9> m_direct3d;
    ComPtr<IDirect3DDevice9> m_device;
    HWND m_window = nullptr;
    HINSTANCE m_instance = nullptr;
    DWORD m_windowStyle = 0;
    int m_creationWidth = 1024;
    int m_creationHeight = 768;

private:
    HRESULT FailCreate();
    // After a failure the device can no longer be trusted: frames stop for good and the loop is told to end.
    void Halt();
    void ReleaseDeviceOnly();
    void RunShutdownOnce();
    static const char* CheckCapabilities(const D3DCAPS9& caps, UINT availableTextureMemory);

    bool m_halted = false;
    bool m_resetInProgress = false;
    bool m_shutdownDone = false;
    FramePacer m_pacer;
};
