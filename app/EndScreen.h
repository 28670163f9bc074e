#pragma once

#include "ui/Screen.h"

class GameSession;

// The end of a game: the winner, each side's figures under its name, the board still living behind them.
class EndScreen : public Screen
{
public:
    explicit EndScreen(GameSession& session) : m_session(session) { }

    GameState GetState() const override { return GAME_STATE_GAME_OVER; }
    int GetMenuPage() const override;
    void Enter(GameState previous) override;
    void Leave(GameState next) override;
    void Update() override;
    void Render() override;
    bool ShowsHelp() const override { return false; }

private:
    GameSession& m_session;
};
