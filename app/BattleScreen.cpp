#include "app/BattleScreen.h"

#include "app/GameSession.h"
#include "ui/MenuManager.h"
#include "ui/MouseOverManager.h"

int BattleScreen::GetMenuPage() const
{
    return SCREEN_EMPTY;
}

void BattleScreen::Enter(GameState previous)
{
    m_session.BeginBattle(previous);
}

void BattleScreen::Leave(GameState next)
{
    if (next == GAME_STATE_MAIN_MENU || next == GAME_STATE_DEPLOYMENT)
        m_session.StopBattleMusic();
    // The HUD stops updating when the battle is left, so a HUD button under the pointer would never hear that it
    // was left and its name would stay over the page that follows (the main menu, the end page).
    if (MouseOverManager* mouseOver = MouseOverManager::Get())
        mouseOver->ForgetButton(mouseOver->GetHoveredButton());
}

void BattleScreen::Update()
{
    m_session.UpdateBattle();
}

void BattleScreen::Render()
{
    m_session.RenderBattleOverlay();
}
