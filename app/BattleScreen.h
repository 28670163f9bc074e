#pragma once

#include "ui/Screen.h"

class GameSession;

// The battle: the turn flow, the HUD, the camera's shots and the turn banner.
class BattleScreen : public Screen
{
public:
    explicit BattleScreen(GameSession& session) : m_session(session) { }

    GameState GetState() const override { return GAME_STATE_BATTLE; }
    int GetMenuPage() const override;
    void Enter(GameState previous) override;
    void Leave(GameState next) override;
    void Update() override;
    void Render() override;
    bool UsesFrontEnd() const override { return false; }

private:
    GameSession& m_session;
};
