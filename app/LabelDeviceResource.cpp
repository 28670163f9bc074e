#include "app/LabelDeviceResource.h"

#include "ui/TextLabel.h"

void LabelDeviceResource::OnLostDevice()
{
    if (m_label)
        m_label->OnLostDevice();
}

void LabelDeviceResource::OnResetDevice()
{
    if (m_label)
        m_label->OnResetDevice();
}
