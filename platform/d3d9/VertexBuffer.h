#pragma once
// A vertex buffer kept in system memory (see BufferBase), with the FVF it was made for.

#include "d3d9/BufferBase.h"

class VertexBuffer : public IDirect3DVertexBuffer9, public BufferBase
{
public:
    VertexBuffer(DeviceBase* device, UINT length, DWORD usage, DWORD fvf, D3DPOOL pool);

    ULONG AddRef() override { return AddExternalRef(); }
    ULONG Release() override { return ReleaseExternalRef(); }
    HRESULT GetDevice(IDirect3DDevice9** device) override { return GetDeviceRef(device); }
    D3DRESOURCETYPE GetType() override { return D3DRTYPE_VERTEXBUFFER; }
    HRESULT Lock(UINT offsetToLock, UINT sizeToLock, void** data, DWORD flags) override
    {
        return LockBytes(offsetToLock, sizeToLock, data, flags);
    }
    HRESULT Unlock() override { return UnlockBytes(); }
    HRESULT GetDesc(D3DVERTEXBUFFER_DESC* desc) override;

    DWORD Fvf() const { return fvf_; }

private:
    DWORD fvf_;
};
