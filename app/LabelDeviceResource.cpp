#include "app/LabelDeviceResource.h"

#include "ui/TextLabel.h"

void LabelDeviceResource::OnLostDevice()
{
    if (label_)
        label_->OnLostDevice();
}

void LabelDeviceResource::OnResetDevice()
{
    if (label_)
        label_->OnResetDevice();
}
