#include "battle/Object.h"

#include "battle/BoardGround.h"
#include "battle/Hex.h"
#include "battle/HexGrid.h"
#include "core/DataManager.h"
#include "core/GlobalConstants.h"
#include "scene/Camera.h"

Object::Object()
{
    D3DXMatrixIdentity(&world);
    D3DXMatrixIdentity(&rotation);
    D3DXMatrixIdentity(&translation);
}

Object::~Object() = default;

void Object::LoadDefault()
{
    SetTexture(DEFAULT_TEXTURE);
    loaded = true;
}

void Object::Update()
{
    D3DXMatrixMultiply(&world, &rotation, &translation);
}

void Object::SetPosition(int row, int col)
{
    HexGrid* grid = HexGrid::Current();
    if (!grid) {
        OutputDebugStringA("Object::SetPosition() returned a null hex.\n");
        hex = nullptr;
        return;
    }
    Hex* target = grid->GetHex(row, col);
    if (!target)
        target = grid->GetHex(0, 0);
    SetHex(target);
    position.x = target->anchorX + STAND_OFFSET_X;
    position.z = target->anchorZ + STAND_OFFSET_Z;
    FollowTerrain();
    D3DXMatrixTranslation(&translation, position.x, position.y, position.z);
}

void Object::SetHex(Hex* newHex)
{
    if (!loaded)
        return;
    if (hex) {
        hex->SetType(hex->defaultType);
        hex->fadeState = FADE_OUT;
        hex->occupant = nullptr;
    }
    hex = newHex;
    if (hex) {
        hex->SetType(HEX_OCCUPIED);
        hex->occupant = this;
    }
}

void Object::SetWorldPosition(float x, float y, float z)
{
    position = {x, y, z};
    FollowTerrain();
    D3DXMatrixTranslation(&translation, position.x, position.y, position.z);
}

void Object::SetEffectByName(const std::string& fileName)
{
    effect = DataManager::Get()->GetEffect(fileName);
}

void Object::FollowTerrain()
{
    if (!followsTerrain)
        return;
    // Without a terrain the board lies on flat ground at height 0.
    const BoardGround* ground = BoardGround::Get();
    position.y = ground ? ground->HeightAt(position.x, position.z) : 0.0f;
}

void Object::FaceTowards(float x, float z, float rate)
{
    // A point on the object itself gives no direction: D3DX normalises (0, 0) to (0, 0), so no turn.
    const D3DXVECTOR2 away(position.x - x, position.z - z);
    D3DXVECTOR2 d;
    D3DXVec2Normalize(&d, &away);
    RotateY(rate * (right.x * d.x + right.z * d.y));
}

void Object::RotateY(float angle)
{
    D3DXMATRIX turn;
    D3DXMatrixRotationAxis(&turn, &up, angle);
    D3DXMatrixMultiply(&rotation, &rotation, &turn);
    D3DXVec3TransformCoord(&forward, &forward, &turn);
    D3DXVec3TransformCoord(&right, &right, &turn);
}

void Object::SetTexture(const std::string& name)
{
    texture = DataManager::Get()->GetTexture(name, true);
}

void Object::ScreenPosition(float out[2], float lift) const
{
    D3DVIEWPORT9 viewport{};
    if (IDirect3DDevice9* device = DataManager::Get()->GetDevice())
        device->GetViewport(&viewport);
    const D3DXVECTOR3 point(position.x, position.y + lift, position.z);
    D3DXVECTOR3 screen;
    const Camera* camera = Camera::Get();
    D3DXVec3Project(&screen, &point, &viewport, &camera->GetProjection(), &camera->GetView(), nullptr);
    out[0] = screen.x;
    out[1] = screen.y;
}

void Object::SetEffectParameters()
{
    D3DXMATRIX worldViewProj;
    D3DXMatrixMultiply(&worldViewProj, &world, &Camera::Get()->GetViewProjection());
    effect->SetMatrix("worldViewProjMatrix", &worldViewProj);
    effect->SetMatrix("worldMatrix", &world);
}

void Object::Render()
{
    IDirect3DDevice9* device = DataManager::Get()->GetDevice();
    PreRender();
    if (device)
        device->SetTransform(D3DTS_WORLD, &world);
    if (!effect) {
        DrawGeometry();
        return;
    }
    SetEffectParameters();
    UINT passes = 0;
    if (FAILED(effect->Begin(&passes, 0)))
        return;
    for (UINT pass = 0; pass < passes; ++pass) {
        effect->BeginPass(pass);
        DrawGeometry();
        effect->EndPass();
    }
    effect->End();
}

void Object::Release()
{
    if (hex) {
        hex->SetType(hex->defaultType);
        hex->occupant = nullptr;
    }
    if (texture) {
        --texture->referenceCount;
        texture = nullptr;
    }
}
