#include "app/AdapterEnumeration.h"

#include <algorithm>
#include <iterator>

namespace {

constexpr D3DFORMAT DISPLAY_FORMATS[] = {D3DFMT_X8R8G8B8, D3DFMT_X1R5G5B5, D3DFMT_R5G6B5, D3DFMT_A2R10G10B10};

constexpr D3DDEVTYPE DEVICE_TYPES[] = {D3DDEVTYPE_HAL, D3DDEVTYPE_SW, D3DDEVTYPE_REF};

constexpr D3DFORMAT BACK_BUFFER_FORMATS[] = {D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8, D3DFMT_A2R10G10B10,
                                             D3DFMT_R5G6B5,   D3DFMT_A1R5G5B5, D3DFMT_X1R5G5B5};

constexpr D3DFORMAT DEPTH_STENCIL_FORMATS[] = {D3DFMT_D16,   D3DFMT_D15S1,   D3DFMT_D24X8,
                                               D3DFMT_D24S8, D3DFMT_D24X4S4, D3DFMT_D32};

constexpr uint32_t MAX_MULTISAMPLE_TYPE = 16;

constexpr UINT PRESENT_INTERVALS[] = {D3DPRESENT_INTERVAL_IMMEDIATE, D3DPRESENT_INTERVAL_DEFAULT,
                                      D3DPRESENT_INTERVAL_ONE,       D3DPRESENT_INTERVAL_TWO,
                                      D3DPRESENT_INTERVAL_THREE,     D3DPRESENT_INTERVAL_FOUR};

// Preferred first: the settings take the first entry of the list.
constexpr VertexProcessingType VERTEX_PROCESSING_TYPES[] = {PURE_HARDWARE_VP, HARDWARE_VP, MIXED_VP, SOFTWARE_VP};

} // namespace

AdapterEnumeration::AdapterEnumeration() = default;

AdapterEnumeration::~AdapterEnumeration() = default;

HRESULT AdapterEnumeration::Enumerate(IDirect3D9* direct3d)
{
    m_adapters.clear();
    m_direct3d = direct3d;
    m_allowedDisplayFormats.assign(std::begin(DISPLAY_FORMATS), std::end(DISPLAY_FORMATS));
    if (!m_direct3d) {
        return E_FAIL;
    }

    const UINT adapterCount = m_direct3d->GetAdapterCount();
    for (UINT ordinal = 0; ordinal < adapterCount; ++ordinal) {
        auto adapter = std::make_unique<AdapterRecord>();
        adapter->adapterOrdinal = ordinal;
        m_direct3d->GetAdapterIdentifier(ordinal, 0, &adapter->identifier);

        std::vector<D3DFORMAT> adapterFormats;
        for (D3DFORMAT format : m_allowedDisplayFormats) {
            const UINT modeCount = m_direct3d->GetAdapterModeCount(ordinal, format);
            for (UINT i = 0; i < modeCount; ++i) {
                D3DDISPLAYMODE mode{};
                if (FAILED(m_direct3d->EnumAdapterModes(ordinal, format, i, &mode))) {
                    continue;
                }
                adapter->displayModes.push_back(mode);
                if (std::find(adapterFormats.begin(), adapterFormats.end(), mode.Format) == adapterFormats.end()) {
                    adapterFormats.push_back(mode.Format);
                }
            }
        }

        EnumerateDevices(*adapter, adapterFormats);
        if (!adapter->devices.empty()) {
            m_adapters.push_back(std::move(adapter));
        }
    }
    return S_OK;
}

void AdapterEnumeration::EnumerateDevices(AdapterRecord& adapter, const std::vector<D3DFORMAT>& adapterFormats)
{
    for (D3DDEVTYPE type : DEVICE_TYPES) {
        auto device = std::make_unique<DeviceRecord>();
        device->adapterOrdinal = adapter.adapterOrdinal;
        device->deviceType = type;
        if (FAILED(m_direct3d->GetDeviceCaps(adapter.adapterOrdinal, type, &device->caps))) {
            continue;
        }
        EnumerateCombinations(*device, adapterFormats);
        if (!device->combinations.empty()) {
            adapter.devices.push_back(std::move(device));
        }
    }
}

void AdapterEnumeration::EnumerateCombinations(DeviceRecord& device, const std::vector<D3DFORMAT>& adapterFormats)
{
    for (D3DFORMAT adapterFormat : adapterFormats) {
        for (D3DFORMAT backBufferFormat : BACK_BUFFER_FORMATS) {
            for (bool windowed : {false, true}) {
                if (FAILED(m_direct3d->CheckDeviceType(device.adapterOrdinal, device.deviceType, adapterFormat,
                                                       backBufferFormat, windowed ? TRUE : FALSE))) {
                    continue;
                }
                auto combination = std::make_unique<DeviceCombination>();
                combination->adapterOrdinal = device.adapterOrdinal;
                combination->deviceType = device.deviceType;
                combination->adapterFormat = adapterFormat;
                combination->backBufferFormat = backBufferFormat;
                combination->windowed = windowed;

                if (!FillDepthStencilFormats(*combination) || !FillMultiSampleTypes(*combination)) {
                    continue;
                }
                FillConflicts(*combination);
                if (!FillVertexProcessingTypes(*combination, device.caps)) {
                    continue;
                }
                FillPresentIntervals(*combination, device.caps);
                device.combinations.push_back(std::move(combination));
            }
        }
    }
}

bool AdapterEnumeration::FillDepthStencilFormats(DeviceCombination& combination)
{
    for (D3DFORMAT format : DEPTH_STENCIL_FORMATS) {
        if (SUCCEEDED(m_direct3d->CheckDeviceFormat(combination.adapterOrdinal, combination.deviceType,
                                                    combination.adapterFormat, D3DUSAGE_DEPTHSTENCIL, D3DRTYPE_SURFACE,
                                                    format)) &&
            SUCCEEDED(m_direct3d->CheckDepthStencilMatch(combination.adapterOrdinal, combination.deviceType,
                                                         combination.adapterFormat, combination.backBufferFormat,
                                                         format))) {
            combination.depthStencilFormats.push_back(format);
        }
    }
    return !combination.depthStencilFormats.empty();
}

bool AdapterEnumeration::FillMultiSampleTypes(DeviceCombination& combination)
{
    for (uint32_t value = D3DMULTISAMPLE_NONE; value <= MAX_MULTISAMPLE_TYPE; ++value) {
        const auto type = static_cast<D3DMULTISAMPLE_TYPE>(value);
        DWORD qualities = 0;
        if (SUCCEEDED(m_direct3d->CheckDeviceMultiSampleType(combination.adapterOrdinal, combination.deviceType,
                                                             combination.backBufferFormat,
                                                             combination.windowed ? TRUE : FALSE, type, &qualities))) {
            combination.multiSampleTypes.push_back(type);
            combination.multiSampleQualities.push_back(qualities);
        }
    }
    return !combination.multiSampleTypes.empty();
}

void AdapterEnumeration::FillConflicts(DeviceCombination& combination)
{
    for (D3DFORMAT depthFormat : combination.depthStencilFormats) {
        for (D3DMULTISAMPLE_TYPE type : combination.multiSampleTypes) {
            if (FAILED(m_direct3d->CheckDeviceMultiSampleType(combination.adapterOrdinal, combination.deviceType,
                                                              depthFormat, combination.windowed ? TRUE : FALSE, type,
                                                              nullptr))) {
                combination.conflicts.emplace_back(depthFormat, type);
            }
        }
    }
}

bool AdapterEnumeration::FillVertexProcessingTypes(DeviceCombination& combination, const D3DCAPS9& caps)
{
    // Only a card that can run a pure hardware device is offered anything; the game never creates a device
    // on lesser hardware.
    const DWORD required = D3DDEVCAPS_HWTRANSFORMANDLIGHT | D3DDEVCAPS_PUREDEVICE;
    if ((caps.DevCaps & required) != required) {
        return false;
    }
    combination.vertexProcessingTypes.assign(std::begin(VERTEX_PROCESSING_TYPES), std::end(VERTEX_PROCESSING_TYPES));
    return true;
}

void AdapterEnumeration::FillPresentIntervals(DeviceCombination& combination, const D3DCAPS9& caps)
{
    for (UINT interval : PRESENT_INTERVALS) {
        if (combination.windowed && (interval == D3DPRESENT_INTERVAL_TWO || interval == D3DPRESENT_INTERVAL_THREE ||
                                     interval == D3DPRESENT_INTERVAL_FOUR)) {
            continue;
        }
        if (interval != D3DPRESENT_INTERVAL_DEFAULT && (caps.PresentationIntervals & interval) == 0) {
            continue;
        }
        combination.presentIntervals.push_back(interval);
    }
}
