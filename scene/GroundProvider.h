#pragma once
// What decals need to know of the ground they lie on. The terrain answers in the game; tests give a fake.

#include "d3dx9/D3DX9Math.h"

class GroundProvider
{
public:
    virtual ~GroundProvider() = default;
    // The ground height at a world point.
    virtual float GroundHeight(float x, float z) const = 0;
    // The normal of the ground vertex whose cell holds the world point (x, z).
    virtual D3DXVECTOR3 GroundNormal(float x, float z) const = 0;
    // Changes whenever the heights or normals change (a level load), so that laid decals are laid again.
    virtual unsigned GroundRevision() const { return 0; }
};
