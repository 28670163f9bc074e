#pragma once
// What an animated mesh needs of the object that owns it: the effect its draw sets the material textures
// on. The board's objects live in a higher layer, so they register themselves through this.

struct ID3DXEffect;

class MeshOwner
{
public:
    virtual ID3DXEffect* GetOwnerEffect() const = 0;

protected:
    ~MeshOwner() = default;
};
