#include "app/SceneTarget.h"

#include "d3dx9/D3DX9Core.h"

const char* SceneTarget::Create(IDirect3DDevice9* device, unsigned width, unsigned height, D3DFORMAT format)
{
    Release();
    if (FAILED(device->CreateTexture(width, height, 1, D3DUSAGE_RENDERTARGET, format, D3DPOOL_DEFAULT, &m_texture,
                                     nullptr)) ||
        !m_texture) {
        Release();
        return "texture";
    }
    if (FAILED(m_texture->GetSurfaceLevel(0, &m_surface)) || !m_surface) {
        Release();
        return "surface";
    }
    // A stencil beside the depth lets the sky and stars wait for the ground and be drawn only where it leaves
    // them showing.
    if (FAILED(D3DXCreateRenderToSurface(device, width, height, format, TRUE, D3DFMT_D24S8, &m_renderer)) ||
        !m_renderer) {
        Release();
        return "renderer";
    }
    return nullptr;
}

void SceneTarget::Release()
{
    if (m_texture) {
        m_texture->Release();
        m_texture = nullptr;
    }
    if (m_surface) {
        m_surface->Release();
        m_surface = nullptr;
    }
    if (m_renderer) {
        m_renderer->Release();
        m_renderer = nullptr;
    }
}

bool SceneTarget::Begin()
{
    if (!m_renderer || !m_surface)
        return false;
    return SUCCEEDED(m_renderer->BeginScene(m_surface, nullptr));
}

void SceneTarget::End()
{
    if (m_renderer)
        m_renderer->EndScene(0);
}
