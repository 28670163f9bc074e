#include "d3d9/VertexBuffer.h"

VertexBuffer::VertexBuffer(DeviceBase* device, UINT length, DWORD usage, DWORD fvf, D3DPOOL pool)
    : BufferBase(device, ResourceKind::VERTEXBUFFER, length, usage, pool), fvf_(fvf)
{ }

HRESULT VertexBuffer::GetDesc(D3DVERTEXBUFFER_DESC* desc)
{
    if (!desc)
        return D3DERR_INVALIDCALL;
    desc->Format = D3DFMT_VERTEXDATA;
    desc->Type = D3DRTYPE_VERTEXBUFFER;
    desc->Usage = Usage();
    desc->Pool = Pool();
    desc->Size = Size();
    desc->FVF = fvf_;
    return D3D_OK;
}
