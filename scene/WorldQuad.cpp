#include "scene/WorldQuad.h"

#include "core/DataManager.h"
#include "scene/AlphaFade.h"
#include "scene/Camera.h"
#include "scene/ParticleManager.h"
#include "scene/TextureReference.h"

#include <algorithm>
#include <cmath>

namespace {
bool g_pulseFalling = true;

// From a to b by t, exactly a and b at the ends.
float Between(float a, float b, float t)
{
    return t <= 0.0f ? a : t >= 1.0f ? b : a + t * (b - a);
}
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
    m_visibleArea.reset();
    DropTextureReference(m_texture);
    ParticleManager::Withdraw(this);
}

void WorldQuad::SetTexture(const std::string& name)
{
    TextureRecord* previous = m_texture;
    m_texture = DataManager::Get()->GetTexture(name, false, true);
    m_visibleArea = DataManager::Get()->VisibleAreaOf(m_texture);
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
    CutToVisible(at);

    const D3DXMATRIX& view = camera->GetView();
    const D3DXVECTOR3 right(view._11, view._21, view._31);
    const D3DXVECTOR3 up(view._12, view._22, view._32);
    // The quad runs from -halfWidth to fill * halfWidth across and +-halfHeight up, of which the cut part is drawn.
    const float left = Between(-m_halfWidth, fill * m_halfWidth, m_cutLeft);
    const float rightEdge = Between(-m_halfWidth, fill * m_halfWidth, m_cutRight);
    const float bottom = Between(-m_halfHeight, m_halfHeight, m_cutBottom);
    const float top = Between(-m_halfHeight, m_halfHeight, m_cutTop);
    const D3DXVECTOR3 corners[4] = {
        at + right * left + up * bottom,
        at + right * left + up * top,
        at + right * rightEdge + up * bottom,
        at + right * rightEdge + up * top,
    };
    for (int i = 0; i < 4; ++i) {
        m_vertices[static_cast<size_t>(i)].x = corners[i].x;
        m_vertices[static_cast<size_t>(i)].y = corners[i].y;
        m_vertices[static_cast<size_t>(i)].z = corners[i].z;
    }
    Write();
}

void WorldQuad::CutToVisible(const D3DXVECTOR3& at)
{
    m_cutLeft = m_cutBottom = 0.0f;
    m_cutRight = m_cutTop = 1.0f;
    const float across = uRight - uLeft;
    const float down = vBottom - vTop;
    if (!m_visibleArea || across == 0.0f || down == 0.0f)
        return;
    // The quad faces the camera, so it lies at one depth and a texel covers the same pixels all over it.
    const Camera* camera = Camera::Get();
    const D3DXMATRIX& view = camera->GetView();
    const D3DXMATRIX& projection = camera->GetProjection();
    const D3DXVECTOR3 forward(view._13, view._23, view._33);
    const D3DXVECTOR3 fromEye = at - camera->GetEye();
    const float depth = D3DXVec3Dot(&fromEye, &forward);
    const D3DXVECTOR2 screen = ParticleManager::ScreenPixels();
    const float pixelsWide = (1.0f + fill) * m_halfWidth * projection._11 * screen.x * 0.5f / depth;
    const float pixelsHigh = 2.0f * m_halfHeight * projection._22 * screen.y * 0.5f / depth;
    const float texelsAcross = std::fabs(across) * static_cast<float>(m_visibleArea->Width());
    const float texelsDown = std::fabs(down) * static_cast<float>(m_visibleArea->Height());
    const float ratio = std::max(texelsAcross / std::fabs(pixelsWide), texelsDown / std::fabs(pixelsHigh));
    const VisibleArea::Rect& shows = m_visibleArea->Cut(VisibleArea::MaxLevelSampled(ratio));
    if (shows.empty) {
        m_cutRight = m_cutLeft;
        m_cutTop = m_cutBottom;
        return;
    }
    // Where the rectangle's edges fall along the quad, as fractions from its left and its bottom.
    const auto along = [](float edge, float from, float span) { return std::clamp((edge - from) / span, 0.0f, 1.0f); };
    const float a = along(shows.left, uLeft, across);
    const float b = along(shows.right, uLeft, across);
    const float c = along(shows.top, vBottom, -down);
    const float d = along(shows.bottom, vBottom, -down);
    m_cutLeft = std::min(a, b);
    m_cutRight = std::max(a, b);
    m_cutBottom = std::min(c, d);
    m_cutTop = std::max(c, d);
}

void WorldQuad::Queue()
{
    ParticleManager::Get()->SubmitWorldQuad(this);
}

void WorldQuad::Write()
{
    const D3DCOLOR packed = PackColour(alpha, colour.x, colour.y, colour.z);
    const float cutLeft = Between(uLeft, uRight, m_cutLeft);
    const float cutRight = Between(uLeft, uRight, m_cutRight);
    const float cutBottom = Between(vBottom, vTop, m_cutBottom);
    const float cutTop = Between(vBottom, vTop, m_cutTop);
    const float u[4] = {cutLeft, cutLeft, cutRight, cutRight};
    const float v[4] = {cutBottom, cutTop, cutBottom, cutTop};
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
