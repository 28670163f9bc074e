#pragma once
// What the players ask of the scene around the board: the camera that follows the selected unit and the
// glows on the level's static objects. Registered by whoever owns the scene; without one the calls do nothing.

#include <string>

class BoardUnit;

class BoardView
{
public:
    static BoardView* Get();
    static void Register(BoardView* view);

    virtual ~BoardView() = default;

    virtual void FollowUnit(BoardUnit* unit) = 0;
    virtual void ResetGlows() = 0;
    // Drops every reference to a unit that is about to be deleted.
    virtual void ForgetUnit(BoardUnit* gone) = 0;
    // Shows the target glow at a world point until the glows are next reset. A view without glows ignores it.
    virtual void AddGlow(float x, float y, float z)
    {
        (void)x;
        (void)y;
        (void)z;
    }
    // Shows the mesh as a glow at a world point: it grows in after the delay, stays for its lifetime and shrinks
    // away. A view without glows ignores it.
    virtual void AddMeshGlow(const std::string& meshName, float delay, float lifetime, float x, float y, float z)
    {
        (void)meshName;
        (void)delay;
        (void)lifetime;
        (void)x;
        (void)y;
        (void)z;
    }
};
