#pragma once
// A textured rectangle in the world that always faces the camera: tinted, fading, optionally animated through
// the frames of a texture strip, and shortened from the right by a fill fraction (health and mana bars, buff
// arrows). Its owner places it every frame and hands it to the particle pass, which draws the frame's quads
// together from one buffer of its own.

#include "d3d9/D3D9.h"
#include "d3dx9/D3DX9Math.h"
#include "scene/ColourBytes.h"

#include <array>
#include <memory>
#include <string>

class VisibleArea;
struct TextureRecord;

class WorldQuad
{
public:
    WorldQuad();
    ~WorldQuad();
    WorldQuad(const WorldQuad&) = delete;
    WorldQuad& operator=(const WorldQuad&) = delete;

    // Gives the quad its half extents; a quad never given them (or released since) is not drawn.
    void CreateBuffer(float halfWidth, float halfHeight);
    void SetTexture(const std::string& name);
    // Places the quad at a world point for this frame.
    void Submit(float x, float y, float z);
    // Hands the placed quad to the particle pass.
    void Queue();
    void UpdateFade();
    void Release();

    static void ResetForTests();

    const std::array<ColouredVertex, 4>& Vertices() const { return m_vertices; }
    bool HasSize() const { return m_sized; }
    TextureRecord* Texture() const { return m_texture; }
    // The picture the pass binds for the quad: none when it has no texture loaded.
    IDirect3DBaseTexture9* Picture() const;
    float HalfWidth() const { return m_halfWidth; }
    float HalfHeight() const { return m_halfHeight; }

    float cameraDistance = 100000.0f;
    float fill = 1.0f;
    float vTop = 0.0f;
    float vBottom = 1.0f;
    float uRight = 1.0f;
    float uLeft = 0.0f;
    bool animate = false;
    float frameTime = 1.0f / 12.0f;
    int frame = 1;
    float frameElapsed = 0.0f;
    int fadeState = 3; // 0 fading in, 1 fading out, 2 pulsing, 3 steady
    float alpha = 0.0f;
    float fadeDuration = 0.5f;
    D3DXVECTOR3 colour{1.0f, 1.0f, 1.0f};
    unsigned order = 0;

private:
    void Write();
    // Narrows the drawn part of the quad to the part of its picture that can show at the quad's size on screen.
    void CutToVisible(const D3DXVECTOR3& at);

    float m_halfWidth = 0.0f;
    float m_halfHeight = 0.0f;
    bool m_sized = false;
    TextureRecord* m_texture = nullptr;
    std::shared_ptr<const VisibleArea> m_visibleArea;
    // The drawn part, as fractions of the quad from its left (its bottom) edge.
    float m_cutLeft = 0.0f, m_cutRight = 1.0f, m_cutBottom = 0.0f, m_cutTop = 1.0f;
    std::array<ColouredVertex, 4> m_vertices{};
};
