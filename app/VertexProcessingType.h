#pragma once
#include <cstdint>

// How a device transforms vertices. The values are stored in the device settings and select the behaviour
// flags the device is created with.
enum VertexProcessingType : uint32_t
{
    SOFTWARE_VP = 0,
    MIXED_VP = 1,
    HARDWARE_VP = 2,
    PURE_HARDWARE_VP = 3,
};
