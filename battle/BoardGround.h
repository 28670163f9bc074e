#pragma once
// The ground the board lies on: heights and normals of the terrain and the size of one terrain cell. The
// terrain registers itself; without one the board lies on flat ground at height 0 with the terrain's default
// cell size.

#include "d3dx9/D3DX9Math.h"

class BoardGround
{
public:
    static constexpr float DEFAULT_CELL_SIZE = 256.0f;

    static BoardGround* Get();
    static void Register(BoardGround* ground);

    virtual ~BoardGround() = default;

    virtual float HeightAt(float x, float z) const = 0;
    virtual D3DXVECTOR3 NormalAt(float x, float z) const = 0;
    virtual float GetCellSize() const = 0;
};
