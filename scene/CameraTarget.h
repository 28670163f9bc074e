#pragma once

#include "d3dx9/D3DX9Math.h"

// What the camera follows: a position, the two orientation axes whose cross product is the view's up, and
// whether the followed object is itself aiming at something (the game-over view turns only then).
class CameraTarget
{
public:
    virtual ~CameraTarget() = default;
    virtual D3DXVECTOR3 GetTargetPosition() const = 0;
    virtual void GetOrientationAxes(D3DXVECTOR3& first, D3DXVECTOR3& second) const = 0;
    virtual bool HasTargetOfItsOwn() const = 0;
};
