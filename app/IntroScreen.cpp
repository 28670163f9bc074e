#include "app/IntroScreen.h"

#include "app/GameSession.h"
#include "ui/MenuManager.h"

int IntroScreen::GetMenuPage() const
{
    return SCREEN_TITLE;
}

void IntroScreen::Enter(GameState previous)
{
    (void)previous;
    HidePointer();
}

void IntroScreen::Render()
{
    if (MenuManager* menu = m_session.GetMenuManager())
        menu->Render();
}
