#pragma once
// What stands on the board: the hex it occupies, its place and axes, its matrices, an optional effect and
// one shared texture. It places itself on a hex by row and column, follows the ground, turns about its up
// axis and draws itself through the virtual steps that units fill in.
//
// Models face their local -z: FaceTowards turns an object until its +z axis points away from the point.

#include "d3dx9/D3DX9.h"
#include "scene/MeshOwner.h"

#include <string>

class Hex;
struct TextureRecord;

class Object : public MeshOwner
{
public:
    // Where an object stands on its hex, from the hex's anchor corner.
    static constexpr float STAND_OFFSET_X = 64.0f;
    static constexpr float STAND_OFFSET_Z = -27.712812f;

    Object();
    virtual ~Object();
    Object(const Object&) = delete;
    Object& operator=(const Object&) = delete;

    virtual void LoadDefault();
    virtual void Update();
    virtual void DrawGeometry() { }
    virtual void Render();
    virtual void Release();
    virtual void PreRender() { }
    virtual void SetEffectParameters();
    virtual void OnLostDevice() { }
    virtual void OnResetDevice() { }

    void SetPosition(int row, int col);
    void SetHex(Hex* newHex);
    void SetWorldPosition(float x, float y, float z);
    void SetEffectByName(const std::string& fileName);
    void FollowTerrain();
    void FaceTowards(float x, float z, float rate);
    void RotateY(float angle);
    void SetTexture(const std::string& name);
    void ScreenPosition(float out[2], float lift) const;

    ID3DXEffect* GetOwnerEffect() const override { return m_effect; }

    Hex* GetHex() const { return m_hex; }
    bool IsLoaded() const { return m_loaded; }
    const D3DXVECTOR3& GetPosition() const { return m_position; }
    const D3DXVECTOR3& GetForward() const { return m_forward; }
    const D3DXVECTOR3& GetRight() const { return m_right; }
    const D3DXVECTOR3& GetUp() const { return m_up; }
    const D3DXMATRIX& GetWorld() const { return m_world; }
    const D3DXMATRIX& GetRotation() const { return m_rotation; }
    const D3DXMATRIX& GetTranslation() const { return m_translation; }
    TextureRecord* GetTexture() const { return m_texture; }
    ID3DXEffect* GetEffect() const { return m_effect; }
    void SetFollowsTerrain(bool follows) { m_followsTerrain = follows; }

protected:
    Hex* m_hex = nullptr;
    bool m_followsTerrain = true;
    bool m_loaded = false;
    D3DXVECTOR3 m_position{0.0f, 0.0f, 0.0f};
    D3DXVECTOR3 m_forward{0.0f, 0.0f, 1.0f};
    D3DXVECTOR3 m_right{1.0f, 0.0f, 0.0f};
    D3DXVECTOR3 m_up{0.0f, 1.0f, 0.0f};
    TextureRecord* m_texture = nullptr;
    ID3DXEffect* m_effect = nullptr;
    D3DXMATRIX m_world;
    D3DXMATRIX m_rotation;
    D3DXMATRIX m_translation;
};
