#include "battle/Object.h"

#include "battle/BoardGround.h"
#include "battle/Hex.h"
#include "battle/HexGrid.h"
#include "core/DataManager.h"
#include "core/GlobalConstants.h"
#include "scene/Camera.h"

Object::Object()
{
    D3DXMatrixIdentity(&m_world);
    D3DXMatrixIdentity(&m_rotation);
    D3DXMatrixIdentity(&m_translation);
}

Object::~Object() = default;

void Object::LoadDefault()
{
    SetTexture(DEFAULT_TEXTURE);
    m_loaded = true;
}

void Object::Update()
{
    D3DXMatrixMultiply(&m_world, &m_rotation, &m_translation);
}

void Object::SetPosition(int row, int col)
{
    HexGrid* grid = HexGrid::Current();
    if (!grid) {
        OutputDebugStringA("Object::SetPosition() returned a null hex.\n");
        m_hex = nullptr;
        return;
    }
    Hex* target = grid->GetHex(row, col);
    if (!target)
        target = grid->GetHex(0, 0);
    SetHex(target);
    m_position.x = target->anchorX + STAND_OFFSET_X;
    m_position.z = target->anchorZ + STAND_OFFSET_Z;
    FollowTerrain();
    D3DXMatrixTranslation(&m_translation, m_position.x, m_position.y, m_position.z);
}

void Object::SetHex(Hex* newHex)
{
    if (!m_loaded)
        return;
    if (m_hex) {
        m_hex->SetType(m_hex->defaultType);
        m_hex->fadeState = FADE_OUT;
        m_hex->occupant = nullptr;
    }
    m_hex = newHex;
    if (m_hex) {
        m_hex->SetType(HEX_OCCUPIED);
        m_hex->occupant = this;
    }
}

void Object::SetWorldPosition(float x, float y, float z)
{
    m_position = {x, y, z};
    FollowTerrain();
    D3DXMatrixTranslation(&m_translation, m_position.x, m_position.y, m_position.z);
}

void Object::SetEffectByName(const std::string& fileName)
{
    m_effect = DataManager::Get()->GetEffect(fileName);
}

void Object::FollowTerrain()
{
    if (!m_followsTerrain)
        return;
    // Without a terrain the board lies on flat ground at height 0.
    const BoardGround* ground = BoardGround::Get();
    m_position.y = ground ? ground->HeightAt(m_position.x, m_position.z) : 0.0f;
}

void Object::FaceTowards(float x, float z, float rate)
{
    // A point on the object itself gives no direction: D3DX normalises (0, 0) to (0, 0), so no turn.
    const D3DXVECTOR2 away(m_position.x - x, m_position.z - z);
    D3DXVECTOR2 d;
    D3DXVec2Normalize(&d, &away);
    RotateY(rate * (m_right.x * d.x + m_right.z * d.y));
}

void Object::RotateY(float angle)
{
    D3DXMATRIX turn;
    D3DXMatrixRotationAxis(&turn, &m_up, angle);
    D3DXMatrixMultiply(&m_rotation, &m_rotation, &turn);
    D3DXVec3TransformCoord(&m_forward, &m_forward, &turn);
    D3DXVec3TransformCoord(&m_right, &m_right, &turn);
}

void Object::SetTexture(const std::string& name)
{
    m_texture = DataManager::Get()->GetTexture(name, true);
}

void Object::ScreenPosition(float out[2], float lift) const
{
    D3DVIEWPORT9 viewport{};
    if (IDirect3DDevice9* device = DataManager::Get()->GetDevice())
        device->GetViewport(&viewport);
    const D3DXVECTOR3 point(m_position.x, m_position.y + lift, m_position.z);
    D3DXVECTOR3 screen;
    const Camera* camera = Camera::Get();
    D3DXVec3Project(&screen, &point, &viewport, &camera->GetProjection(), &camera->GetView(), nullptr);
    out[0] = screen.x;
    out[1] = screen.y;
}

void Object::SetEffectParameters()
{
    D3DXMATRIX worldViewProj;
    D3DXMatrixMultiply(&worldViewProj, &m_world, &Camera::Get()->GetViewProjection());
    m_effect->SetMatrix("worldViewProjMatrix", &worldViewProj);
    m_effect->SetMatrix("worldMatrix", &m_world);
}

void Object::Render()
{
    IDirect3DDevice9* device = DataManager::Get()->GetDevice();
    PreRender();
    if (device)
        device->SetTransform(D3DTS_WORLD, &m_world);
    if (!m_effect) {
        DrawGeometry();
        return;
    }
    SetEffectParameters();
    UINT passes = 0;
    if (FAILED(m_effect->Begin(&passes, 0)))
        return;
    for (UINT pass = 0; pass < passes; ++pass) {
        m_effect->BeginPass(pass);
        DrawGeometry();
        m_effect->EndPass();
    }
    m_effect->End();
}

void Object::Release()
{
    if (m_hex) {
        m_hex->SetType(m_hex->defaultType);
        m_hex->occupant = nullptr;
    }
    if (m_texture) {
        --m_texture->referenceCount;
        m_texture = nullptr;
    }
}
