#pragma once
// Where the pointer is on the board: the pick ray into the scene, the hovered hex and whether a press of the
// left button commands the board. The interface layer's mouse-over manager registers itself as the one
// pointer; without one, no hex is ever hovered and no press reaches the board.

#include "d3dx9/D3DX9Math.h"

class BoardUnit;
class Hex;

class BoardPointer
{
public:
    static BoardPointer* Get();
    static void Register(BoardPointer* pointer);

    virtual ~BoardPointer() = default;

    virtual const D3DXVECTOR3& GetPickRayOrigin() const = 0;
    virtual const D3DXVECTOR3& GetPickRayDirection() const = 0;
    virtual Hex* GetHovered() const = 0;
    virtual void SetHovered(Hex* hex) = 0;
    // A hovered interface button shows its name beside the pointer.
    virtual bool IsShowingText() const = 0;
    // True only in the frame in which the left button goes down, and only when that press did not begin over
    // an enabled widget: one press is one board command, and a press on the interface never also acts on the
    // hex behind it.
    virtual bool IsBoardClick() const = 0;
    // Drops every reference to a unit that is about to be deleted.
    virtual void ForgetUnit(BoardUnit* gone) = 0;
    // The pointer rests on the battle HUD, or so low on the screen that it is taken for the HUD; a target
    // under it is no target. A pointer that knows of no HUD says no.
    virtual bool IsOverHud() const { return false; }
};
