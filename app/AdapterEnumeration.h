#pragma once
// What every adapter of the machine can do: its display modes, the device types it offers and, per device
// type, every usable pairing of adapter format, back-buffer format and windowed or full-screen use. Built once
// before the device is created; the device settings point into it.

#include "app/VertexProcessingType.h"
#include "d3d9/D3D9.h"

#include <memory>
#include <utility>
#include <vector>

// One usable pairing of formats and mode on one device type, with everything that fits it.
struct DeviceCombination {
    UINT adapterOrdinal = 0;
    D3DDEVTYPE deviceType = D3DDEVTYPE_HAL;
    D3DFORMAT adapterFormat = D3DFMT_UNKNOWN;
    D3DFORMAT backBufferFormat = D3DFMT_UNKNOWN;
    bool windowed = false;
    std::vector<D3DFORMAT> depthStencilFormats;
    std::vector<D3DMULTISAMPLE_TYPE> multiSampleTypes;
    // One per multisample type: the number of quality levels the device reports for it.
    std::vector<DWORD> multiSampleQualities;
    std::vector<VertexProcessingType> vertexProcessingTypes;
    std::vector<UINT> presentIntervals;
    // Depth-stencil formats and multisample types that cannot be used together.
    std::vector<std::pair<D3DFORMAT, D3DMULTISAMPLE_TYPE>> conflicts;
};

struct DeviceRecord {
    UINT adapterOrdinal = 0;
    D3DDEVTYPE deviceType = D3DDEVTYPE_HAL;
    D3DCAPS9 caps{};
    std::vector<std::unique_ptr<DeviceCombination>> combinations;
};

struct AdapterRecord {
    UINT adapterOrdinal = 0;
    D3DADAPTER_IDENTIFIER9 identifier{};
    std::vector<D3DDISPLAYMODE> displayModes;
    std::vector<std::unique_ptr<DeviceRecord>> devices;
};

class AdapterEnumeration
{
public:
    AdapterEnumeration();
    ~AdapterEnumeration();
    AdapterEnumeration(const AdapterEnumeration&) = delete;
    AdapterEnumeration& operator=(const AdapterEnumeration&) = delete;

    // Asks the Direct3D object (not owned) about every adapter. Adapters without a usable device are left out.
    // Fails only without a Direct3D object.
    HRESULT Enumerate(IDirect3D9* direct3d);

    const std::vector<std::unique_ptr<AdapterRecord>>& GetAdapters() const { return m_adapters; }
    const std::vector<D3DFORMAT>& GetAllowedDisplayFormats() const { return m_allowedDisplayFormats; }

private:
    void EnumerateDevices(AdapterRecord& adapter, const std::vector<D3DFORMAT>& adapterFormats);
    void EnumerateCombinations(DeviceRecord& device, const std::vector<D3DFORMAT>& adapterFormats);
    bool FillDepthStencilFormats(DeviceCombination& combination);
    bool FillMultiSampleTypes(DeviceCombination& combination);
    void FillConflicts(DeviceCombination& combination);
    bool FillVertexProcessingTypes(DeviceCombination& combination, const D3DCAPS9& caps);
    void FillPresentIntervals(DeviceCombination& combination, const D3DCAPS9& caps);

    IDirect3D9* m_direct3d = nullptr;
    std::vector<std::unique_ptr<AdapterRecord>> m_adapters;
    std::vector<D3DFORMAT> m_allowedDisplayFormats;
};
