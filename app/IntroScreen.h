#pragma once

#include "ui/Screen.h"

class GameSession;

// The title and its intro video: watched, not played, with the pointer hidden.
class IntroScreen : public Screen
{
public:
    explicit IntroScreen(GameSession& session) : m_session(session) { }

    GameState GetState() const override { return GAME_STATE_INTRO; }
    int GetMenuPage() const override;
    void Enter(GameState previous) override;
    void Render() override;
    bool ShowsPointer() const override { return false; }
    bool ShowsHelp() const override { return false; }

private:
    GameSession& m_session;
};
