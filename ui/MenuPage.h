#pragma once

#include <cstdint>
#include <memory>

class FrontEndLink;
class GuiPanel;
class MenuManager;

// One page of the front end as a screen of its own: it makes its widgets once with the front end, is entered
// when the menu shows it and left when another page takes over, does its own work each frame after its
// widgets have run, draws itself and gives up and makes again what it holds with the device. The menu manager
// holds one page per MenuScreen value and switches between them; a page asks for another page or game state
// through the manager and the front-end link, and the change takes effect at the start of the next frame.
class MenuPage
{
public:
    explicit MenuPage(MenuManager& menu);
    virtual ~MenuPage();
    MenuPage(const MenuPage&) = delete;
    MenuPage& operator=(const MenuPage&) = delete;

    virtual void Build() { }
    virtual void Enter();
    virtual void Leave();
    // The page's own work: its buttons have been updated by then.
    virtual void Update() { }
    virtual void Render();
    virtual void OnLostDevice();
    virtual void OnResetDevice();
    virtual void Destroy();

    GuiPanel& GetPanel() const { return *m_panel; }

protected:
    static FrontEndLink* Link();
    static void QueueSound(const char* name);
    static bool KeyDown(int code);
    // The fade of the menu's icon buttons: the hover picture fades in and out over its button.
    void MakeIconButtonsFade();

    MenuManager& m_menu;
    std::unique_ptr<GuiPanel> m_panel;

private:
    uint32_t m_effectTable[4] = {3, 3, 0, 1};
};
