#include "app/DeploymentScreen.h"

#include "app/GameSession.h"
#include "ui/MenuManager.h"

int DeploymentScreen::GetMenuPage() const
{
    return SCREEN_DEPLOYMENT;
}

void DeploymentScreen::Enter(GameState previous)
{
    (void)previous;
    // No reset of the pages here: a player button re-enters deployment, and a reset would snap the roster's
    // player tint back to grey in mid-fade.
    static constexpr float STEPS[GameSession::LABEL_COUNT] = {0, 56, 0, 36, 0, 36, 0, 36, 0};
    m_session.SetLabelRows(300.0f, STEPS);
}

void DeploymentScreen::Update()
{
    m_session.UpdateBoardScene();
}

void DeploymentScreen::Render()
{
    if (MenuManager* menu = m_session.GetMenuManager())
        menu->Render();
}
