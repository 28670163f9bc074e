#pragma once

#include "ui/GameState.h"

#include <cstdint>

// One game state's share of the game: what entering and leaving it does, what each of its frames updates and
// draws over the scene, which front-end page it shows and what it gives up and makes again with the device. The
// session holds one screen per state and the current one; a change of state leaves the old screen and enters
// the new one.
class Screen
{
public:
    virtual ~Screen() = default;

    virtual GameState GetState() const = 0;
    // The front-end page shown while this state runs (a MenuScreen value).
    virtual int GetMenuPage() const = 0;

    // Called on every request for this state, also when it is the current one already.
    virtual void Enter(GameState previous) { (void)previous; }
    // Called once when another state takes over.
    virtual void Leave(GameState next) { (void)next; }
    virtual void Update() { }
    // What lies over the 3-D scene.
    virtual void Render() { }
    virtual void OnLostDevice() { }
    virtual void OnResetDevice() { }

    // Whether the player sees the pointer and what it hovers, and may call up the help screen.
    virtual bool ShowsPointer() const { return true; }
    // Whether the help screen is kept up to date in this state.
    virtual bool ShowsHelp() const { return true; }
    // Whether the front-end pages answer the pointer: in battle the deployment page, still fading away over the
    // whole screen, would take every click meant for the HUD.
    virtual bool UsesFrontEnd() const { return true; }

    // A number that moves whenever what this screen shows, the scene under it included, may have changed. The game
    // skips drawing a frame whose number is the one on show, so a still picture costs no drawing. A screen that
    // cannot tell keeps PICTURE_CHANGING and is drawn every frame.
    static constexpr uint64_t PICTURE_CHANGING = 0;
    virtual uint64_t PictureVersion() const { return PICTURE_CHANGING; }

protected:
    // The intro and the loading screen are watched, not used.
    static void HidePointer();
};
