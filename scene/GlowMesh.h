#pragma once

#include "d3dx9/D3DX9Math.h"

#include <string>

class StaticMesh;

// A short-lived highlight mesh: it grows in after its delay, stays for its lifetime and shrinks away.
class GlowMesh
{
public:
    static constexpr const char* STANDARD_MESH = "PolyGlow.x";

    GlowMesh(const std::string& meshName, float delay, float lifetime, const D3DXVECTOR3& position, bool spin);

    void Update();

    bool IsDead() const { return m_dead; }
    bool IsStandard() const { return m_standard; }
    bool IsFadedIn() const { return m_fadedIn; }
    bool IsShown() const { return m_timer >= m_delay; }
    float GetScale() const { return m_scale; }
    float GetTimer() const { return m_timer; }
    float GetLifetime() const { return m_lifetime; }
    float GetRotation() const { return m_rotation; }
    void SetTimer(float timer) { m_timer = timer; }
    const D3DXMATRIX& GetWorld() const { return m_world; }
    StaticMesh* GetMesh() const { return m_mesh; }

private:
    bool m_dead = false;
    bool m_spin = false;
    bool m_standard = false;
    bool m_fadedIn = false;
    float m_lifetime = 0.0f;
    float m_timer = 0.0f;
    float m_delay = 0.0f;
    float m_scale = 0.0f;
    float m_rotation = 0.0f;
    D3DXVECTOR3 m_position;
    D3DXMATRIX m_world;
    StaticMesh* m_mesh = nullptr;
};
