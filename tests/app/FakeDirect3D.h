#pragma once
// A Direct3D object whose adapters, modes and device answers a test sets up by hand.

#include "d3d9/D3D9.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <vector>

class FakeDirect3D : public IDirect3D9
{
public:
    struct Adapter {
        D3DDISPLAYMODE desktop{1920, 1080, 60, D3DFMT_X8R8G8B8};
        std::vector<D3DDISPLAYMODE> modes;
        // Device types the adapter answers GetDeviceCaps for, with their capabilities.
        std::map<D3DDEVTYPE, D3DCAPS9> devices;
    };

    // A HAL device that can do everything the game asks for.
    static D3DCAPS9 GoodCaps()
    {
        D3DCAPS9 caps{};
        caps.DevCaps = D3DDEVCAPS_HWTRANSFORMANDLIGHT | D3DDEVCAPS_PUREDEVICE;
        caps.PresentationIntervals = D3DPRESENT_INTERVAL_IMMEDIATE | D3DPRESENT_INTERVAL_ONE;
        return caps;
    }

    std::vector<Adapter> adapters;
    // Which (device type, adapter format, back-buffer format, windowed) pairings exist. By default a back
    // buffer of the adapter's own format, or A8R8G8B8 on an X8R8G8B8 adapter.
    std::function<bool(UINT, D3DDEVTYPE, D3DFORMAT, D3DFORMAT, bool)> deviceType =
        [](UINT, D3DDEVTYPE, D3DFORMAT adapterFormat, D3DFORMAT backBufferFormat, bool) {
            return adapterFormat == backBufferFormat ||
                   (adapterFormat == D3DFMT_X8R8G8B8 && backBufferFormat == D3DFMT_A8R8G8B8);
        };
    std::vector<D3DFORMAT> depthFormats{D3DFMT_D24S8, D3DFMT_D16};
    // Multisample types the back buffers support, with their quality counts.
    std::map<D3DMULTISAMPLE_TYPE, DWORD> multiSampleTypes{{D3DMULTISAMPLE_NONE, 1}};
    // Depth formats that cannot be multisampled beyond NONE.
    std::vector<D3DFORMAT> depthFormatsWithoutMultisampling;
    ULONG refs = 1;

    ULONG AddRef() override { return ++refs; }
    ULONG Release() override { return --refs; }

    UINT GetAdapterCount() override { return static_cast<UINT>(adapters.size()); }

    HRESULT GetAdapterIdentifier(UINT adapter, DWORD, D3DADAPTER_IDENTIFIER9* identifier) override
    {
        if (adapter >= adapters.size() || !identifier) {
            return D3DERR_INVALIDCALL;
        }
        std::memset(identifier, 0, sizeof(*identifier));
        identifier->VendorId = 0x1000 + adapter;
        return D3D_OK;
    }

    UINT GetAdapterModeCount(UINT adapter, D3DFORMAT format) override
    {
        if (adapter >= adapters.size()) {
            return 0;
        }
        const auto& modes = adapters[adapter].modes;
        return static_cast<UINT>(std::count_if(modes.begin(), modes.end(),
                                               [format](const D3DDISPLAYMODE& m) { return m.Format == format; }));
    }

    HRESULT EnumAdapterModes(UINT adapter, D3DFORMAT format, UINT index, D3DDISPLAYMODE* mode) override
    {
        if (adapter >= adapters.size() || !mode) {
            return D3DERR_INVALIDCALL;
        }
        for (const D3DDISPLAYMODE& m : adapters[adapter].modes) {
            if (m.Format == format && index-- == 0) {
                *mode = m;
                return D3D_OK;
            }
        }
        return D3DERR_INVALIDCALL;
    }

    HRESULT GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* mode) override
    {
        if (adapter >= adapters.size() || !mode) {
            return D3DERR_INVALIDCALL;
        }
        *mode = adapters[adapter].desktop;
        return D3D_OK;
    }

    HRESULT CheckDeviceType(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat, D3DFORMAT backBufferFormat,
                            BOOL windowed) override
    {
        if (adapter >= adapters.size() || !adapters[adapter].devices.count(type)) {
            return D3DERR_NOTAVAILABLE;
        }
        return deviceType(adapter, type, adapterFormat, backBufferFormat, windowed != FALSE) ? D3D_OK
                                                                                             : D3DERR_NOTAVAILABLE;
    }

    HRESULT CheckDeviceFormat(UINT, D3DDEVTYPE, D3DFORMAT, DWORD usage, D3DRESOURCETYPE, D3DFORMAT format) override
    {
        if (usage != D3DUSAGE_DEPTHSTENCIL) {
            return D3DERR_NOTAVAILABLE;
        }
        return std::find(depthFormats.begin(), depthFormats.end(), format) != depthFormats.end() ? D3D_OK
                                                                                                 : D3DERR_NOTAVAILABLE;
    }

    HRESULT CheckDeviceMultiSampleType(UINT, D3DDEVTYPE, D3DFORMAT surfaceFormat, BOOL, D3DMULTISAMPLE_TYPE type,
                                       DWORD* qualityLevels) override
    {
        if (qualityLevels) {
            *qualityLevels = 0;
        }
        auto found = multiSampleTypes.find(type);
        if (found == multiSampleTypes.end()) {
            return D3DERR_NOTAVAILABLE;
        }
        if (type != D3DMULTISAMPLE_NONE &&
            std::find(depthFormatsWithoutMultisampling.begin(), depthFormatsWithoutMultisampling.end(),
                      surfaceFormat) != depthFormatsWithoutMultisampling.end()) {
            return D3DERR_NOTAVAILABLE;
        }
        if (qualityLevels) {
            *qualityLevels = found->second;
        }
        return D3D_OK;
    }

    HRESULT CheckDepthStencilMatch(UINT, D3DDEVTYPE, D3DFORMAT, D3DFORMAT, D3DFORMAT) override { return D3D_OK; }

    HRESULT GetDeviceCaps(UINT adapter, D3DDEVTYPE type, D3DCAPS9* caps) override
    {
        if (adapter >= adapters.size() || !caps) {
            return D3DERR_INVALIDCALL;
        }
        auto found = adapters[adapter].devices.find(type);
        if (found == adapters[adapter].devices.end()) {
            return D3DERR_NOTAVAILABLE;
        }
        *caps = found->second;
        caps->DeviceType = type;
        caps->AdapterOrdinal = adapter;
        return D3D_OK;
    }

    HRESULT CreateDevice(UINT, D3DDEVTYPE, HWND, DWORD, D3DPRESENT_PARAMETERS*, IDirect3DDevice9** device) override
    {
        if (device) {
            *device = nullptr;
        }
        return D3DERR_NOTAVAILABLE;
    }
};
