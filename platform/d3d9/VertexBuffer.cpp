#include "d3d9/VertexBuffer.h"

#include "d3d9/DeviceBase.h"

VertexBuffer::VertexBuffer(DeviceBase* device, UINT length, DWORD usage, DWORD fvf, D3DPOOL pool)
    : ResourceBase(device, ResourceKind::VERTEXBUFFER, pool, pool == D3DPOOL_DEFAULT, true), usage_(usage), fvf_(fvf),
      data_(length, 0)
{
}

ULONG VertexBuffer::AddRef()
{
    return AddExternalRef();
}

ULONG VertexBuffer::Release()
{
    return ReleaseExternalRef();
}

HRESULT VertexBuffer::GetDevice(IDirect3DDevice9** device)
{
    if (!device)
        return D3DERR_INVALIDCALL;
    *device = Device();
    Device()->AddRef();
    return D3D_OK;
}

HRESULT VertexBuffer::Lock(UINT offsetToLock, UINT sizeToLock, void** data, DWORD flags)
{
    if (!data)
        return D3DERR_INVALIDCALL;
    *data = nullptr;
    const uint64_t size = data_.size();
    // A size of 0 locks everything from the offset on.
    if (offsetToLock > size || static_cast<uint64_t>(offsetToLock) + sizeToLock > size)
        return D3DERR_INVALIDCALL;
    std::lock_guard<std::mutex> guard(DataMutex());
    ++lockCount_;
    if (!(flags & D3DLOCK_READONLY))
        lockMayWrite_ = true;
    *data = data_.data() + offsetToLock;
    return D3D_OK;
}

HRESULT VertexBuffer::Unlock()
{
    std::lock_guard<std::mutex> guard(DataMutex());
    if (lockCount_ == 0)
        return D3DERR_INVALIDCALL;
    if (--lockCount_ == 0 && lockMayWrite_) {
        lockMayWrite_ = false;
        MarkChanged();
    }
    return D3D_OK;
}

HRESULT VertexBuffer::GetDesc(D3DVERTEXBUFFER_DESC* desc)
{
    if (!desc)
        return D3DERR_INVALIDCALL;
    desc->Format = D3DFMT_VERTEXDATA;
    desc->Type = D3DRTYPE_VERTEXBUFFER;
    desc->Usage = usage_;
    desc->Pool = Pool();
    desc->Size = Size();
    desc->FVF = fvf_;
    return D3D_OK;
}
