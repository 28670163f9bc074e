#pragma once
// A label of the shell's own (the help label) on the list of device resources: its font is told of every lost
// and reset device, as the fonts of the labels that the session and the mouse-over manager own are.

#include "core/DeviceResource.h"

class TextLabel;

class LabelDeviceResource : public DeviceResource
{
public:
    explicit LabelDeviceResource(TextLabel* label) : m_label(label) { }

    void OnLostDevice() override;
    void OnResetDevice() override;

private:
    TextLabel* m_label;
};
