#include "ui/MenuManager.h"

#include "scene/Camera.h"
#include "ui/DeploymentPage.h"
#include "ui/EndOfGamePage.h"
#include "ui/FrontEndLink.h"
#include "ui/GuiPanel.h"
#include "ui/MainMenuPage.h"
#include "ui/OptionsPage.h"
#include "ui/TitlePage.h"
#include "win32/Log.h"

namespace {
// The enumerator's name, as the screen log writes it.
const char* ScreenName(int screen)
{
    switch (screen) {
    case SCREEN_TITLE:
        return "SCREEN_TITLE";
    case SCREEN_MAIN_MENU:
        return "SCREEN_MAIN_MENU";
    case SCREEN_DEPLOYMENT:
        return "SCREEN_DEPLOYMENT";
    case SCREEN_OPTIONS:
        return "SCREEN_OPTIONS";
    case SCREEN_EMPTY:
        return "SCREEN_EMPTY";
    case SCREEN_END_OF_GAME:
        return "SCREEN_END_OF_GAME";
    default:
        return "SCREEN_UNKNOWN";
    }
}
} // namespace

MenuManager::MenuManager()
{
    auto title = std::make_unique<TitlePage>(*this);
    auto deployment = std::make_unique<DeploymentPage>(*this);
    m_title = title.get();
    m_deployment = deployment.get();
    m_pages[SCREEN_TITLE] = std::move(title);
    m_pages[SCREEN_MAIN_MENU] = std::make_unique<MainMenuPage>(*this);
    m_pages[SCREEN_DEPLOYMENT] = std::move(deployment);
    m_pages[SCREEN_OPTIONS] = std::make_unique<OptionsPage>(*this);
    // The battle and the loading screen show no page of the front end: an empty one stands for it.
    m_pages[SCREEN_EMPTY] = std::make_unique<MenuPage>(*this);
    m_pages[SCREEN_END_OF_GAME] = std::make_unique<EndOfGamePage>(*this);
}

MenuManager::~MenuManager()
{
    Destroy();
}

void MenuManager::ResetForTests()
{
    DeploymentPage::ResetForTests();
}

GuiPanel* MenuManager::GetPage(int screen) const
{
    MenuPage* page = GetPageScreen(screen);
    return page ? &page->GetPanel() : nullptr;
}

MenuPage* MenuManager::GetPageScreen(int screen) const
{
    return screen >= 0 && screen < PAGE_COUNT ? m_pages[screen].get() : nullptr;
}

VideoWidget* MenuManager::GetIntroVideo() const
{
    return m_title->GetIntroVideo();
}

void MenuManager::BuildFrontEnd()
{
    // The deployment page last: choosing its first level resets the session's level, which finds the other
    // pages built.
    for (int screen :
         {SCREEN_TITLE, SCREEN_MAIN_MENU, SCREEN_OPTIONS, SCREEN_EMPTY, SCREEN_END_OF_GAME, SCREEN_DEPLOYMENT})
        m_pages[screen]->Build();
    m_built = true;
}

void MenuManager::Update()
{
    if (!m_built)
        return;
    // The page that was left keeps fading out; when both are the same page it is updated twice.
    m_pages[m_currentScreen]->GetPanel().Update();
    m_pages[m_previousScreen]->GetPanel().Update();
    m_pages[m_currentScreen]->Update();
}

void MenuManager::SwitchScreen(int screen)
{
    if (!m_built)
        return;
    if (screen != m_currentScreen && GetPageScreen(screen)) {
        Log(LogLevel::INFO, "menu.screen", ScreenName(screen));
        m_previousScreen = m_currentScreen;
        m_currentScreen = screen;
        m_pages[m_previousScreen]->Leave();
        m_pages[m_currentScreen]->Enter();
    }
    if (FrontEndLink* link = FrontEndLink::Get())
        link->ResetSceneRect();
    Camera::Get()->SetProjection();
}

void MenuManager::RequestPage(int screen)
{
    m_requestedPage = screen;
}

void MenuManager::ApplyRequestedPage()
{
    if (m_requestedPage == NO_REQUEST)
        return;
    const int screen = m_requestedPage;
    m_requestedPage = NO_REQUEST;
    SwitchScreen(screen);
}

void MenuManager::ResetAllPages()
{
    if (!m_built)
        return;
    for (auto& page : m_pages)
        page->GetPanel().ResetColours();
}

void MenuManager::Render()
{
    if (!m_built)
        return;
    m_pages[m_currentScreen]->Render();
}

void MenuManager::OnLostDevice()
{
    for (auto& page : m_pages)
        page->OnLostDevice();
}

void MenuManager::OnResetDevice()
{
    if (!m_built)
        return;
    for (auto& page : m_pages)
        page->OnResetDevice();
}

void MenuManager::Destroy()
{
    for (auto& page : m_pages)
        page->Destroy();
    m_requestedPage = NO_REQUEST;
    m_built = false;
}
