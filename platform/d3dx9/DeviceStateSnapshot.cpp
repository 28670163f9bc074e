#include "d3dx9/DeviceStateSnapshot.h"

bool DeviceStateSnapshot::Has(Kind kind, DWORD index, DWORD type) const
{
    for (const Entry& entry : entries_)
        if (entry.kind == kind && entry.index == index && entry.type == type)
            return true;
    return false;
}

void DeviceStateSnapshot::CaptureRenderState(IDirect3DDevice9* device, D3DRENDERSTATETYPE state)
{
    DWORD value = 0;
    if (device == nullptr || Has(Kind::RENDER, 0, state) || FAILED(device->GetRenderState(state, &value)))
        return;
    entries_.push_back({Kind::RENDER, 0, state, value, nullptr});
}

void DeviceStateSnapshot::CaptureStageState(IDirect3DDevice9* device, DWORD stage, D3DTEXTURESTAGESTATETYPE type)
{
    DWORD value = 0;
    if (device == nullptr || Has(Kind::STAGE, stage, type) || FAILED(device->GetTextureStageState(stage, type, &value)))
        return;
    entries_.push_back({Kind::STAGE, stage, type, value, nullptr});
}

void DeviceStateSnapshot::CaptureSamplerState(IDirect3DDevice9* device, DWORD sampler, D3DSAMPLERSTATETYPE type)
{
    DWORD value = 0;
    if (device == nullptr || Has(Kind::SAMPLER, sampler, type) ||
        FAILED(device->GetSamplerState(sampler, type, &value)))
        return;
    entries_.push_back({Kind::SAMPLER, sampler, type, value, nullptr});
}

void DeviceStateSnapshot::CaptureTexture(IDirect3DDevice9* device, DWORD stage)
{
    IDirect3DBaseTexture9* texture = nullptr;
    if (device == nullptr || Has(Kind::TEXTURE, stage, 0) || FAILED(device->GetTexture(stage, &texture)))
        return;
    entries_.push_back({Kind::TEXTURE, stage, 0, 0, texture});
}

void DeviceStateSnapshot::CaptureFVF(IDirect3DDevice9* device)
{
    DWORD fvf = 0;
    if (device == nullptr || Has(Kind::FVF, 0, 0) || FAILED(device->GetFVF(&fvf)))
        return;
    entries_.push_back({Kind::FVF, 0, 0, fvf, nullptr});
}

void DeviceStateSnapshot::CaptureShaderProgram(IDirect3DDevice9* device)
{
    IShaderProgram* program = nullptr;
    if (device == nullptr || Has(Kind::PROGRAM, 0, 0) || FAILED(device->GetShaderProgram(&program)))
        return;
    entries_.push_back({Kind::PROGRAM, 0, 0, 0, program});
}

void DeviceStateSnapshot::Restore(IDirect3DDevice9* device)
{
    if (device != nullptr) {
        for (const Entry& entry : entries_) {
            switch (entry.kind) {
            case Kind::RENDER:
                device->SetRenderState(static_cast<D3DRENDERSTATETYPE>(entry.type), entry.value);
                break;
            case Kind::STAGE:
                device->SetTextureStageState(entry.index, static_cast<D3DTEXTURESTAGESTATETYPE>(entry.type),
                                             entry.value);
                break;
            case Kind::SAMPLER:
                device->SetSamplerState(entry.index, static_cast<D3DSAMPLERSTATETYPE>(entry.type), entry.value);
                break;
            case Kind::TEXTURE:
                device->SetTexture(entry.index, static_cast<IDirect3DBaseTexture9*>(entry.object));
                break;
            case Kind::FVF:
                device->SetFVF(entry.value);
                break;
            case Kind::PROGRAM:
                device->SetShaderProgram(static_cast<IShaderProgram*>(entry.object));
                break;
            }
        }
    }
    Discard();
}

void DeviceStateSnapshot::Discard()
{
    for (const Entry& entry : entries_)
        if (entry.object != nullptr)
            entry.object->Release();
    entries_.clear();
}
