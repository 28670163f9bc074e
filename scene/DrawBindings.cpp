#include "scene/DrawBindings.h"

DrawBindings::DrawBindings(IDirect3DDevice9* device) : device(device)
{
    device->GetTransform(D3DTS_WORLD, &world);
    device->GetFVF(&fvf);
    device->GetTexture(0, &texture);
    device->GetStreamSource(0, &stream, &streamOffset, &streamStride);
}

DrawBindings::~DrawBindings()
{
    device->SetTransform(D3DTS_WORLD, &world);
    device->SetFVF(fvf);
    device->SetTexture(0, texture);
    if (texture)
        texture->Release();
    device->SetStreamSource(0, stream, streamOffset, streamStride);
    if (stream)
        stream->Release();
}
