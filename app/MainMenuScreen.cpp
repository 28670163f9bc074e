#include "app/MainMenuScreen.h"

#include "app/GameSession.h"
#include "ui/MenuManager.h"

int MainMenuScreen::GetMenuPage() const
{
    return SCREEN_MAIN_MENU;
}

void MainMenuScreen::Enter(GameState previous)
{
    (void)previous;
    // The menu starts from its base colours, whatever the page that led here left fading.
    if (MenuManager* menu = m_session.GetMenuManager())
        menu->ResetAllPages();
}

void MainMenuScreen::Update()
{
    m_session.UpdateMenuScene();
}

void MainMenuScreen::Render()
{
    if (MenuManager* menu = m_session.GetMenuManager())
        menu->Render();
}
