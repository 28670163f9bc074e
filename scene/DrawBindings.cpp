#include "scene/DrawBindings.h"

DrawBindings::DrawBindings(IDirect3DDevice9* device) : m_device(device)
{
    device->GetTransform(D3DTS_WORLD, &m_world);
    device->GetFVF(&m_fvf);
    device->GetTexture(0, m_texture.AddressOf());
    device->GetStreamSource(0, m_stream.AddressOf(), &m_streamOffset, &m_streamStride);
}

DrawBindings::~DrawBindings()
{
    m_device->SetTransform(D3DTS_WORLD, &m_world);
    m_device->SetFVF(m_fvf);
    m_device->SetTexture(0, m_texture.Get());
    m_device->SetStreamSource(0, m_stream.Get(), m_streamOffset, m_streamStride);
}
