#pragma once

#include "ui/Screen.h"

class GameSession;

// The main menu and its options over the level chosen for the next battle.
class MainMenuScreen : public Screen
{
public:
    explicit MainMenuScreen(GameSession& session) : m_session(session) { }

    GameState GetState() const override { return GAME_STATE_MAIN_MENU; }
    int GetMenuPage() const override;
    void Enter(GameState previous) override;
    void Update() override;
    void Render() override;

private:
    GameSession& m_session;
};
