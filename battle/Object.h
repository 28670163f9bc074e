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

    ID3DXEffect* GetOwnerEffect() const override { return effect; }

    Hex* GetHex() const { return hex; }
    bool IsLoaded() const { return loaded; }
    const D3DXVECTOR3& GetPosition() const { return position; }
    const D3DXVECTOR3& GetForward() const { return forward; }
    const D3DXVECTOR3& GetRight() const { return right; }
    const D3DXVECTOR3& GetUp() const { return up; }
    const D3DXMATRIX& GetWorld() const { return world; }
    const D3DXMATRIX& GetRotation() const { return rotation; }
    const D3DXMATRIX& GetTranslation() const { return translation; }
    TextureRecord* GetTexture() const { return texture; }
    ID3DXEffect* GetEffect() const { return effect; }
    void SetFollowsTerrain(bool follows) { followsTerrain = follows; }

protected:
    // NOLINTBEGIN(readability-identifier-naming): the unit, being split, uses these throughout; they take the
    // m_ prefix with that split.
    Hex* hex = nullptr;
    bool followsTerrain = true;
    bool loaded = false;
    D3DXVECTOR3 position{0.0f, 0.0f, 0.0f};
    D3DXVECTOR3 forward{0.0f, 0.0f, 1.0f};
    D3DXVECTOR3 right{1.0f, 0.0f, 0.0f};
    D3DXVECTOR3 up{0.0f, 1.0f, 0.0f};
    TextureRecord* texture = nullptr;
    ID3DXEffect* effect = nullptr;
    D3DXMATRIX world;
    D3DXMATRIX rotation;
    D3DXMATRIX translation;
    // NOLINTEND(readability-identifier-naming)
};
