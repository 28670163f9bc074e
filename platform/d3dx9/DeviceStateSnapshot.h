#pragma once
// Platform-internal: the device states an effect or the sprite is about to change, read before the
// change and put back afterwards (what the original library's state saving did for Begin/End).

#include "d3d9/D3D9.h"

#include <vector>

class DeviceStateSnapshot
{
public:
    DeviceStateSnapshot() = default;
    ~DeviceStateSnapshot() { Discard(); }
    DeviceStateSnapshot(const DeviceStateSnapshot&) = delete;
    DeviceStateSnapshot& operator=(const DeviceStateSnapshot&) = delete;

    // Each capture reads the current value once; capturing the same state again keeps the first value.
    void CaptureRenderState(IDirect3DDevice9* device, D3DRENDERSTATETYPE state);
    void CaptureStageState(IDirect3DDevice9* device, DWORD stage, D3DTEXTURESTAGESTATETYPE type);
    void CaptureSamplerState(IDirect3DDevice9* device, DWORD sampler, D3DSAMPLERSTATETYPE type);
    void CaptureTexture(IDirect3DDevice9* device, DWORD stage);
    void CaptureFVF(IDirect3DDevice9* device);
    void CaptureShaderProgram(IDirect3DDevice9* device);

    bool Empty() const { return entries_.empty(); }
    // Puts every captured value back on the device and forgets them.
    void Restore(IDirect3DDevice9* device);
    // Forgets the captured values without restoring them (drops the references taken).
    void Discard();

private:
    enum class Kind
    {
        RENDER,
        STAGE,
        SAMPLER,
        TEXTURE,
        FVF,
        PROGRAM
    };
    struct Entry {
        Kind kind;
        DWORD index;
        DWORD type;
        DWORD value;
        IUnknown* object; // the texture or program held while captured
    };
    bool Has(Kind kind, DWORD index, DWORD type) const;

    std::vector<Entry> entries_;
};
