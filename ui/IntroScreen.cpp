#include "ui/IntroScreen.h"

#include "ui/MenuManager.h"
#include "ui/VideoWidget.h"

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

uint64_t IntroScreen::PictureVersion() const
{
    // Another page on its way or on show draws what it likes.
    if (m_menu.GetCurrentScreen() != SCREEN_TITLE || m_menu.GetRequestedPage() != MenuManager::NO_REQUEST)
        return PICTURE_CHANGING;
    const VideoWidget* video = m_menu.GetIntroVideo();
    if (!video)
        return 1; // the cleared scene alone, for as long as the page waits for its key
    // The tint as written into the quad's corners: a change too small to reach them changes nothing seen.
    return (static_cast<uint64_t>(video->FramesShown() + 1) << 32) | PackColour(video->colour);
}
