#pragma once

#include "d3d9/D3D9.h"

struct ID3DXRenderToSurface;

// The texture the 3-D scene is drawn into, its surface and the renderer that binds it with a depth and stencil
// of its own. Default-pool resources: released when the device is lost, made again when it is reset.
class SceneTarget
{
public:
    SceneTarget() = default;
    ~SceneTarget() { Release(); }

    SceneTarget(const SceneTarget&) = delete;
    SceneTarget& operator=(const SceneTarget&) = delete;

    // Null when all three were made, else what the device refused ("texture", "surface" or "renderer"); what
    // was made before it is released again.
    const char* Create(IDirect3DDevice9* device, unsigned width, unsigned height, D3DFORMAT format);
    void Release();
    // False when there is no target or the renderer refuses the scene: then the back buffer stays bound.
    bool Begin();
    void End();
    IDirect3DTexture9* GetTexture() const { return m_texture; }

private:
    IDirect3DTexture9* m_texture = nullptr;
    IDirect3DSurface9* m_surface = nullptr;
    ID3DXRenderToSurface* m_renderer = nullptr;
};
