#include "ui/FlatQuadPass.h"

#include "core/DataManager.h"
#include "ui/GuiButton.h"
#include "ui/GuiElement.h"

#include <cmath>

namespace {
constexpr float kTolerance = 0.01f;

bool Whole(float value)
{
    return std::fabs(value - std::round(value)) < kTolerance;
}

// Faded out altogether, or parked wholly above or left of the screen.
bool Shows(const GuiElement& element)
{
    return element.visible && (PackColour(element.colour) >> 24) != 0 && element.right > 0.0f &&
           element.bottom > 0.0f;
}
} // namespace

FlatQuadPass::FlatQuadPass(IDirect3DDevice9* target) : device(target)
{
    if (!device)
        return;
    device->GetRenderState(D3DRS_ZENABLE, &depth);
    device->GetSamplerState(0, D3DSAMP_MIPFILTER, &mip);
    device->GetSamplerState(0, D3DSAMP_ADDRESSU, &addressU);
    device->GetSamplerState(0, D3DSAMP_ADDRESSV, &addressV);
    device->GetSamplerState(0, D3DSAMP_MINFILTER, &minFilter);
    device->GetSamplerState(0, D3DSAMP_MAGFILTER, &magFilter);
    device->SetRenderState(D3DRS_ZENABLE, FALSE);
    device->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_NONE);
    device->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
    device->SetSamplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_CLAMP);
}

FlatQuadPass::~FlatQuadPass()
{
    if (!device)
        return;
    device->SetRenderState(D3DRS_ZENABLE, depth);
    device->SetSamplerState(0, D3DSAMP_MIPFILTER, mip);
    device->SetSamplerState(0, D3DSAMP_ADDRESSU, addressU);
    device->SetSamplerState(0, D3DSAMP_ADDRESSV, addressV);
    device->SetSamplerState(0, D3DSAMP_MINFILTER, minFilter);
    device->SetSamplerState(0, D3DSAMP_MAGFILTER, magFilter);
}

bool FlatQuadPass::IsPixelExact(const GuiElement& element)
{
    const TextureRecord* record = element.GetTextureRecord();
    if (!record || !record->texture)
        return false;
    D3DSURFACE_DESC desc{};
    if (FAILED(record->texture->GetLevelDesc(0, &desc)))
        return false;
    const float texelsAcross = std::fabs(element.rightU - element.leftU) * static_cast<float>(desc.Width);
    const float texelsDown = std::fabs(element.bottomV - element.topV) * static_cast<float>(desc.Height);
    return Whole(element.left) && Whole(element.top) &&
           std::fabs(element.right - element.left - texelsAcross) < kTolerance &&
           std::fabs(element.bottom - element.top - texelsDown) < kTolerance;
}

void FlatQuadPass::Draw(GuiElement& element)
{
    if (!Shows(element))
        return;
    if (device) {
        const DWORD wanted = IsPixelExact(element) ? D3DTEXF_POINT : D3DTEXF_LINEAR;
        if (wanted != filter) {
            device->SetSamplerState(0, D3DSAMP_MINFILTER, wanted);
            device->SetSamplerState(0, D3DSAMP_MAGFILTER, wanted);
            filter = wanted;
        }
    }
    element.DrawQuad();
}

void FlatQuadPass::DrawIcon(GuiButton& button)
{
    if (button.iconVisible && button.GetIcon())
        Draw(*button.GetIcon());
}
