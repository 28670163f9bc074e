#pragma once
// An application that counts how often each virtual operation runs and lets a test act inside a frame.

#include "app/Application.h"
#include "core/DataManager.h"

#include <functional>
#include <string>
#include <vector>

class CountingApplication : public Application
{
public:
    using Application::ChooseStartMode;
    using Application::CreateDevice;
    using Application::FillPresentParameters;
    using Application::PickFullscreenMode;
    using Application::PickWindowedMode;
    using Application::SetActive;

    int initScene = 0;
    int createDeviceResources = 0;
    int updates = 0;
    int renders = 0;
    int releases = 0;
    int restores = 0;
    int shutdowns = 0;
    int resizes = 0;
    int resets = 0;
    // Every call in order, by name, for tests of sequence.
    std::vector<std::string> calls;

    bool createDeviceResourcesResult = true;
    HRESULT initSceneResult = S_OK;
    // Runs inside the frame's update; the frame number (from 1) is passed.
    std::function<void(CountingApplication&, int)> onUpdate;
    // Runs inside ReleaseDeviceResources, that is inside a reset.
    std::function<void(CountingApplication&)> onRelease;

    HRESULT InitScene() override
    {
        ++initScene;
        calls.push_back("InitScene");
        return initSceneResult;
    }
    bool CreateDeviceResources() override
    {
        ++createDeviceResources;
        calls.push_back("CreateDeviceResources");
        return createDeviceResourcesResult;
    }
    void UpdateFrame() override
    {
        ++updates;
        calls.push_back("UpdateFrame");
        if (onUpdate) {
            onUpdate(*this, updates);
        }
    }
    void Render() override
    {
        ++renders;
        calls.push_back("Render");
    }
    void ReleaseDeviceResources() override
    {
        ++releases;
        calls.push_back("ReleaseDeviceResources");
        // As the game does: the shared sprite lets go of its device memory before the reset.
        DataManager::Get()->OnDeviceLost();
        if (onRelease) {
            onRelease(*this);
        }
    }
    void RestoreDeviceResources() override
    {
        ++restores;
        calls.push_back("RestoreDeviceResources");
        DataManager::Get()->OnDeviceReset();
    }
    void Shutdown() override
    {
        ++shutdowns;
        calls.push_back("Shutdown");
    }
    void OnWindowResized() override
    {
        ++resizes;
        calls.push_back("OnWindowResized");
        Application::OnWindowResized();
    }
    HRESULT ResetDevice() override
    {
        ++resets;
        calls.push_back("ResetDevice");
        return Application::ResetDevice();
    }

    AdapterEnumeration& Enumeration() { return m_enumeration; }
    DeviceSettings& Settings() { return m_settings; }
    // Takes over the caller's reference.
    void UseDirect3D(IDirect3D9* direct3d) { m_direct3d.Attach(direct3d); }
    // Hands the application another Direct3D object and gives the caller the reference to the old one.
    IDirect3D9* SwapDirect3D(IDirect3D9* direct3d)
    {
        IDirect3D9* old = m_direct3d.Detach();
        m_direct3d.Attach(direct3d);
        return old;
    }
    void SetClientRect(const RECT& rect) { m_clientRect = rect; }
    void SetWindowed(bool windowed) { m_windowed = windowed; }
    void SetWindowHandle(HWND window) { m_window = window; }
    const D3DCAPS9& Caps() const { return m_caps; }
    IDirect3DSurface9* BackBuffer() const { return m_backBuffer.Get(); }
    DWORD WindowStyle() const { return m_windowStyle; }
};
