#pragma once

#include "ui/Screen.h"

class GameSession;

// Both players place their armies on the board shown in the page's scene window.
class DeploymentScreen : public Screen
{
public:
    explicit DeploymentScreen(GameSession& session) : m_session(session) { }

    GameState GetState() const override { return GAME_STATE_DEPLOYMENT; }
    int GetMenuPage() const override;
    void Enter(GameState previous) override;
    void Update() override;
    void Render() override;

private:
    GameSession& m_session;
};
