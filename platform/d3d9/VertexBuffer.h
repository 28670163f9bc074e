#pragma once
// A vertex buffer kept in system memory; the back end uploads it when ChangeCount() moved on.
// Locks with 0 or D3DLOCK_DISCARD both write through to the copy, so the contents read back after
// Unlock are what was written.

#include "d3d9/ResourceBase.h"

#include <vector>

class VertexBuffer : public IDirect3DVertexBuffer9, public ResourceBase {
public:
    VertexBuffer(DeviceBase* device, UINT length, DWORD usage, DWORD fvf, D3DPOOL pool);

    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT GetDevice(IDirect3DDevice9** device) override;
    D3DRESOURCETYPE GetType() override { return D3DRTYPE_VERTEXBUFFER; }
    HRESULT Lock(UINT offsetToLock, UINT sizeToLock, void** data, DWORD flags) override;
    HRESULT Unlock() override;
    HRESULT GetDesc(D3DVERTEXBUFFER_DESC* desc) override;

    UINT Size() const { return static_cast<UINT>(data_.size()); }
    DWORD Usage() const { return usage_; }
    DWORD Fvf() const { return fvf_; }
    // The contents; read with DataMutex() held (or on the drawing thread while nothing else locks).
    const uint8_t* Data() const { return data_.data(); }
    bool IsLocked() const override { return lockCount_ > 0; }

private:
    DWORD usage_;
    DWORD fvf_;
    UINT lockCount_ = 0;
    bool lockMayWrite_ = false;
    std::vector<uint8_t> data_;
};
