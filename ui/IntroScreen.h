#pragma once

#include "ui/Screen.h"

class MenuManager;

// The title and its intro video: watched, not played, with the pointer hidden. The front end's title page does
// the work; the screen only shows it.
class IntroScreen : public Screen
{
public:
    explicit IntroScreen(MenuManager& menu) : m_menu(menu) { }

    GameState GetState() const override { return GAME_STATE_INTRO; }
    int GetMenuPage() const override;
    void Enter(GameState previous) override;
    void Render() override;
    bool ShowsPointer() const override { return false; }
    bool ShowsHelp() const override { return false; }
    // The title shows the intro video's frame over the cleared scene and nothing else: its picture changes with
    // the frame on show and the video's tint.
    uint64_t PictureVersion() const override;

private:
    MenuManager& m_menu;
};
