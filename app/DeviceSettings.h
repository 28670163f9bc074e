#pragma once
// The windowed and the full-screen setting chosen from the adapter enumeration, and which of the two is in use.

#include "app/VertexProcessingType.h"
#include "d3d9/D3D9.h"

struct AdapterRecord;
struct DeviceRecord;
struct DeviceCombination;

// One way to run the device. The pointers point into the enumeration; a null combination means no setting
// could be chosen for this mode.
struct ModeSetting {
    AdapterRecord* adapter = nullptr;
    DeviceRecord* device = nullptr;
    DeviceCombination* combination = nullptr;
    D3DDISPLAYMODE displayMode{};
    D3DFORMAT depthStencilFormat = D3DFMT_UNKNOWN;
    D3DMULTISAMPLE_TYPE multiSampleType = D3DMULTISAMPLE_NONE;
    DWORD multiSampleQuality = 0;
    VertexProcessingType vertexProcessingType = SOFTWARE_VP;
    UINT presentInterval = D3DPRESENT_INTERVAL_DEFAULT;
    // The client size when the setting was chosen (windowed setting only).
    int width = 0;
    int height = 0;
};

struct DeviceSettings {
    bool windowed = false;
    ModeSetting windowedSetting;
    ModeSetting fullscreenSetting;

    ModeSetting& InUse() { return windowed ? windowedSetting : fullscreenSetting; }
    const ModeSetting& InUse() const { return windowed ? windowedSetting : fullscreenSetting; }
};
