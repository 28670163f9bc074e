#pragma once

#include "ui/Screen.h"

class GameSession;

// The armies' models load on the worker while the loading bar fills; the battle opens once both are done.
class BattleLoadScreen : public Screen
{
public:
    explicit BattleLoadScreen(GameSession& session) : m_session(session) { }

    GameState GetState() const override { return GAME_STATE_LOADING; }
    int GetMenuPage() const override;
    void Enter(GameState previous) override;
    void Leave(GameState next) override;
    void Update() override;
    void Render() override;
    bool ShowsPointer() const override { return false; }
    bool ShowsHelp() const override { return false; }
    bool UsesFrontEnd() const override { return false; }

private:
    GameSession& m_session;
};
