#include "ui/IntroScreen.h"

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
    m_menu.Render();
}
