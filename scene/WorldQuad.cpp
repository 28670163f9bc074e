#include "scene/WorldQuad.h"

#include "core/DataManager.h"
#include "scene/AlphaFade.h"
#include "scene/Camera.h"
#include "scene/ParticleManager.h"
#include "scene/TextureReference.h"

namespace {
bool g_pulseFalling = true;
} // namespace

void WorldQuad::ResetForTests()
{
    g_pulseFalling = true;
}

WorldQuad::WorldQuad() = default;

WorldQuad::~WorldQuad()
{
    Release();
}

void WorldQuad::Release()
{
    m_sized = false;
    DropTextureReference(m_texture);
    ParticleManager::Withdraw(this);
}

void WorldQuad::SetTexture(const std::string& name)
{
    TextureRecord* previous = m_texture;
    m_texture = DataManager::Get()->GetTexture(name, false);
    DropTextureReference(previous);
}

void WorldQuad::CreateBuffer(float width, float height)
{
    m_halfWidth = width;
    m_halfHeight = height;
    m_sized = true;
    for (ColouredVertex& v : m_vertices)
        v.x = v.y = v.z = 0.0f;
    Write();
}

void WorldQuad::UpdateFade()
{
    alpha_fade::Step(DataManager::Get()->GetFrameTime(), fadeDuration, alpha, fadeState, g_pulseFalling);
}

void WorldQuad::Submit(float x, float y, float z)
{
    UpdateFade();
    const Camera* camera = Camera::Get();
    const D3DXVECTOR3 at(x, y, z);
    D3DXVECTOR3 fromEye = at - camera->GetEye();
    cameraDistance = D3DXVec3Length(&fromEye);
    const D3DXMATRIX& view = camera->GetView();
    const D3DXVECTOR3 right(view._11, view._21, view._31);
    const D3DXVECTOR3 up(view._12, view._22, view._32);
    const D3DXVECTOR3 corners[4] = {
        at - right * m_halfWidth - up * m_halfHeight,
        at - right * m_halfWidth + up * m_halfHeight,
        at + right * (fill * m_halfWidth) - up * m_halfHeight,
        at + right * (fill * m_halfWidth) + up * m_halfHeight,
    };
    for (int i = 0; i < 4; ++i) {
        m_vertices[static_cast<size_t>(i)].x = corners[i].x;
        m_vertices[static_cast<size_t>(i)].y = corners[i].y;
        m_vertices[static_cast<size_t>(i)].z = corners[i].z;
    }

    // Frames of a strip are stacked from the top of the texture down.
    const int frames = m_texture ? m_texture->frameCount : 1;
    if (frames > 1) {
        frameElapsed += DataManager::Get()->GetFrameTime();
        if (frameElapsed >= frameTime) {
            frameElapsed = 0.0f;
            if (animate && ++frame > frames)
                frame = 1;
        }
        const float frameHeight = 1.0f / static_cast<float>(frames);
        vTop = static_cast<float>(frame - 1) * frameHeight;
        vBottom = vTop + frameHeight;
    }
    Write();
}

void WorldQuad::Queue()
{
    ParticleManager::Get()->SubmitWorldQuad(this);
}

void WorldQuad::Write()
{
    const D3DCOLOR packed = PackColour(alpha, colour.x, colour.y, colour.z);
    const float u[4] = {uLeft, uLeft, uRight, uRight};
    const float v[4] = {vBottom, vTop, vBottom, vTop};
    for (size_t i = 0; i < 4; ++i) {
        m_vertices[i].colour = packed;
        m_vertices[i].u = u[i];
        m_vertices[i].v = v[i];
    }
}

IDirect3DBaseTexture9* WorldQuad::Picture() const
{
    return m_texture ? m_texture->texture : nullptr;
}
