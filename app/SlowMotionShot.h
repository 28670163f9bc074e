#pragma once

#include "d3dx9/D3DX9Math.h"

class BoardUnit;
class Camera;

// The slow-motion sequence of a decisive blow: after its delay the game slows, the camera cuts behind the defender
// looking at the attacker, then behind the attacker looking at the defender, and gives the view back at the end.
// It runs on real time, so that it keeps its pace whatever the game speed. The session owns one and does what a
// frame of it asks (the flashes of its cuts, its end).
class SlowMotionShot
{
public:
    // What one frame of the shot asks of its owner, in this order: the slowed game speed, a flash for every cut,
    // the end.
    struct Frame {
        bool began = false;
        int cuts = 0;
        bool ended = false;
    };

    // Refused while a shot runs: a second decisive blow during a shot would shift its timeline. The attacker is
    // held for the whole shot, since another unit may have the turn by the time it ends.
    bool Request(BoardUnit* target, BoardUnit* attacker, float delay, bool spellShot);
    // A long frame may run several of the shot's steps, in order.
    Frame Advance(float realSeconds, Camera& camera);
    // Back to no shot; the camera returns to where it stood when the shot took it.
    void End(Camera& camera);
    // A unit leaving the board is no longer shown or told of the shot's end.
    void Forget(const BoardUnit* gone);

    bool IsRequested() const { return m_requested; }
    bool IsSpellShot() const { return m_spellShot; }
    BoardUnit* GetTarget() const { return m_target; }
    // Real seconds since the shot was asked for.
    float GetClock() const { return m_clock; }
    // The speed the game runs at while the shot shows: 1 outside it and in its delay.
    float GetGameSpeed() const;

private:
    bool m_requested = false;
    bool m_spellShot = false;
    float m_delay = 0.0f;
    float m_clock = 0.0f;
    bool m_begun = false;
    bool m_firstCutDone = false;
    bool m_secondCutDone = false;
    BoardUnit* m_target = nullptr;
    BoardUnit* m_attacker = nullptr;
    // Whether both ends of the blow were on the board when the shot began.
    bool m_hasUnits = false;
    D3DXVECTOR3 m_savedEye{0.0f, 0.0f, 0.0f};
    D3DXVECTOR3 m_savedLookAt{0.0f, 0.0f, 0.0f};
    D3DXVECTOR3 m_attackerAt{0.0f, 0.0f, 0.0f};
    D3DXVECTOR3 m_attackerSide{0.0f, 0.0f, 0.0f};
    D3DXVECTOR3 m_attackerBack{0.0f, 0.0f, 0.0f};
    D3DXVECTOR3 m_defenderAt{0.0f, 0.0f, 0.0f};
    D3DXVECTOR3 m_defenderSide{0.0f, 0.0f, 0.0f};
    D3DXVECTOR3 m_defenderBack{0.0f, 0.0f, 0.0f};
};
