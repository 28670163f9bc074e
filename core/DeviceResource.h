#pragma once
// Everything that holds default-pool resources, fonts or effects must let them go before the device is reset
// and make them again after. Such objects derive from DeviceResource: they are on one list from construction
// to destruction, and the game application walks that list, so no object can be forgotten by hand.

#include <cstddef>

class DeviceResource
{
public:
    DeviceResource();
    DeviceResource(const DeviceResource&);
    DeviceResource& operator=(const DeviceResource&) { return *this; }
    virtual ~DeviceResource();

    virtual void OnLostDevice() = 0;
    virtual void OnResetDevice() = 0;

    // In order of construction; objects made or destroyed by a handler are not visited in that walk.
    static void LoseAll();
    static void ResetAll();
    static std::size_t Count();
};
