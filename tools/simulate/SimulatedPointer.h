#pragma once
// The mouse of a player who never misses: its ray points straight down at the centre of the hex it is aimed
// at, so the board's own picking finds that hex, and a press of its button is one board click for one frame.

#include "battle/BoardPointer.h"

class SimulatedPointer : public BoardPointer
{
public:
    // High enough above any ground the board lies on.
    static constexpr float kRayHeight = 100000.0f;

    SimulatedPointer();
    ~SimulatedPointer() override;
    SimulatedPointer(const SimulatedPointer&) = delete;
    SimulatedPointer& operator=(const SimulatedPointer&) = delete;

    void AimAt(const Hex& hex);
    // Off the board: no pick finds anything, so the hovered hex stays as it is.
    void AimAway();
    void Press() { click = true; }
    void Release() { click = false; }

    const D3DXVECTOR3& GetPickRayOrigin() const override { return origin; }
    const D3DXVECTOR3& GetPickRayDirection() const override { return direction; }
    Hex* GetHovered() const override { return hovered; }
    void SetHovered(Hex* hex) override { hovered = hex; }
    bool IsShowingText() const override { return false; }
    bool IsBoardClick() const override { return click; }
    void ForgetUnit(BoardUnit*) override { }

private:
    D3DXVECTOR3 origin{-1.0e6f, kRayHeight, -1.0e6f};
    D3DXVECTOR3 direction{0.0f, -1.0f, 0.0f};
    Hex* hovered = nullptr;
    bool click = false;
};
