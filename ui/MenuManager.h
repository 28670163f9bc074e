#pragma once

#include "core/DeviceResource.h"

#include <cstdint>
#include <memory>

class DeploymentPage;
class GuiPanel;
class MenuPage;
class TitlePage;
class VideoWidget;

enum MenuScreen : int32_t
{
    SCREEN_TITLE = 0,
    SCREEN_MAIN_MENU = 1,
    SCREEN_DEPLOYMENT = 2,
    SCREEN_OPTIONS = 3,
    SCREEN_EMPTY = 4,
    SCREEN_END_OF_GAME = 5,
};

// The front end: the title with the intro video, the main menu, the options, the end of a game and the
// deployment of both armies, each a page of its own (a MenuPage) built once; one page shows at a time and the
// page that was left keeps fading out. The page shown follows the game state; a page may also ask for
// another one, which shows from the start of the next frame.
class MenuManager : public DeviceResource
{
public:
    static constexpr int PAGE_COUNT = 6;
    // No page asked for.
    static constexpr int NO_REQUEST = -1;

    MenuManager();
    ~MenuManager() override;
    MenuManager(const MenuManager&) = delete;
    MenuManager& operator=(const MenuManager&) = delete;

    void BuildFrontEnd();
    void Update();
    void Render();
    // Shows the page at once: what the start of a frame does with a page asked for.
    void SwitchScreen(int screen);
    // Asks for a page; the last one asked for in a frame shows from the start of the next.
    void RequestPage(int screen);
    // Shows the page asked for since the last frame began, if any.
    void ApplyRequestedPage();
    void ForgetRequestedPage() { m_requestedPage = NO_REQUEST; }
    int GetRequestedPage() const { return m_requestedPage; }
    void ResetAllPages();
    void OnLostDevice() override;
    void OnResetDevice() override;
    void Destroy();

    bool IsBuilt() const { return m_built; }
    int GetCurrentScreen() const { return m_currentScreen; }
    int GetPreviousScreen() const { return m_previousScreen; }
    // The page's own widgets; null for a value that is no page.
    GuiPanel* GetPage(int screen) const;
    MenuPage* GetPageScreen(int screen) const;
    DeploymentPage& Deployment() const { return *m_deployment; }
    VideoWidget* GetIntroVideo() const;

    static void ResetForTests();

private:
    bool m_built = false;
    std::unique_ptr<MenuPage> m_pages[PAGE_COUNT];
    TitlePage* m_title = nullptr;
    DeploymentPage* m_deployment = nullptr;
    int m_currentScreen = SCREEN_TITLE;
    int m_previousScreen = SCREEN_TITLE;
    int m_requestedPage = NO_REQUEST;
};
