#pragma once
// The Direct3D object: adapters are SDL's displays, their modes SDL's modes plus the sizes the game
// offers, and CreateDevice picks the back end (GL, or null under SDL's dummy video driver or when
// D3D9SetBackEnd asks for it).

#include "d3d9/D3D9.h"

#include <atomic>
#include <string>
#include <vector>

class Direct3D9 : public IDirect3D9
{
public:
    Direct3D9();
    // Whether the game can be shown: a real display, or a video driver that SDL_VIDEODRIVER names.
    bool HasDisplay() const { return display_; }

    ULONG AddRef() override;
    ULONG Release() override;
    UINT GetAdapterCount() override;
    HRESULT GetAdapterIdentifier(UINT adapter, DWORD flags, D3DADAPTER_IDENTIFIER9* identifier) override;
    UINT GetAdapterModeCount(UINT adapter, D3DFORMAT format) override;
    HRESULT EnumAdapterModes(UINT adapter, D3DFORMAT format, UINT mode, D3DDISPLAYMODE* displayMode) override;
    HRESULT GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* displayMode) override;
    HRESULT CheckDeviceType(UINT adapter, D3DDEVTYPE devType, D3DFORMAT adapterFormat, D3DFORMAT backBufferFormat,
                            BOOL windowed) override;
    HRESULT CheckDeviceFormat(UINT adapter, D3DDEVTYPE deviceType, D3DFORMAT adapterFormat, DWORD usage,
                              D3DRESOURCETYPE rType, D3DFORMAT checkFormat) override;
    HRESULT CheckDeviceMultiSampleType(UINT adapter, D3DDEVTYPE deviceType, D3DFORMAT surfaceFormat, BOOL windowed,
                                       D3DMULTISAMPLE_TYPE multiSampleType, DWORD* qualityLevels) override;
    HRESULT CheckDepthStencilMatch(UINT adapter, D3DDEVTYPE deviceType, D3DFORMAT adapterFormat,
                                   D3DFORMAT renderTargetFormat, D3DFORMAT depthStencilFormat) override;
    HRESULT GetDeviceCaps(UINT adapter, D3DDEVTYPE deviceType, D3DCAPS9* caps) override;
    HRESULT CreateDevice(UINT adapter, D3DDEVTYPE deviceType, HWND focusWindow, DWORD behaviorFlags,
                         D3DPRESENT_PARAMETERS* presentationParameters,
                         IDirect3DDevice9** returnedDeviceInterface) override;

    // The back end CreateDevice would pick now.
    static D3D9BackEnd EffectiveBackEnd();

private:
    struct Adapter {
        std::string name;
        D3DDISPLAYMODE desktop{};
        std::vector<D3DDISPLAYMODE> modes; // X8R8G8B8, sorted by size
    };

    ~Direct3D9() override;
    bool ValidAdapter(UINT adapter) const { return adapter < adapters_.size(); }

    std::atomic<ULONG> refs_{1};
    bool ownsVideo_ = false;
    bool display_ = true; // a display, or a video driver asked for by name
    std::vector<Adapter> adapters_;
};
