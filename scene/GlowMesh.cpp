#include "scene/GlowMesh.h"

#include "core/DataManager.h"
#include "scene/StaticMesh.h"

namespace {
constexpr float GROW_RATE = 8.5f;
constexpr float SHRINK_RATE = 9.0f;
constexpr float SPIN_RATE = 0.5f;
} // namespace

GlowMesh::GlowMesh(const std::string& meshName, float delay, float lifetime, const D3DXVECTOR3& position, bool spin)
    : m_spin(spin), m_standard(meshName == STANDARD_MESH), m_lifetime(lifetime), m_delay(delay), m_position(position)
{
    D3DXMatrixIdentity(&m_world);
    m_mesh = StaticMesh::FromCache(meshName);
}

void GlowMesh::Update()
{
    const float t = DataManager::Get()->GetFrameTime();
    m_timer += t;
    if (m_timer >= m_delay) {
        // One step per frame: a paused game (no frame time) must not wait here for a growth that never comes.
        if (m_scale < 1.0f && !m_fadedIn) {
            m_scale += t * GROW_RATE;
            if (m_scale >= 1.0f) {
                m_scale = 1.0f;
                m_fadedIn = true;
                if (!m_standard)
                    m_lifetime += m_timer;
            }
        }
        if (m_timer >= m_lifetime + m_delay && m_fadedIn) {
            m_scale -= t * SHRINK_RATE;
            if (m_scale <= 0.0f) {
                m_scale = 0.0f;
                m_dead = true;
            }
        }
    }
    if (m_spin)
        m_rotation += t * SPIN_RATE;
    D3DXMATRIX scale, rotation, translation;
    D3DXMatrixScaling(&scale, 1.0f, m_scale, 1.0f);
    D3DXMatrixRotationY(&rotation, m_rotation);
    D3DXMatrixTranslation(&translation, m_position.x, m_position.y, m_position.z);
    D3DXMatrixMultiply(&m_world, &scale, &rotation);
    D3DXMatrixMultiply(&m_world, &m_world, &translation);
}
