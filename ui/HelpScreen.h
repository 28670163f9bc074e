#pragma once

#include "core/DeviceResource.h"
#include "ui/TextLabel.h"
#include "win32/Win32.h"

#include <array>
#include <memory>

class GuiButton;
class GuiElement;

// Five pages of help drawn over whatever screen shows. Each page is a tall picture of text seen through a
// window the player scrolls. While it shows, the clicks that land on it are its own: nothing beneath reacts.
class HelpScreen : public DeviceResource
{
public:
    static constexpr int PAGE_COUNT = 5;

    HelpScreen();
    ~HelpScreen() override;
    HelpScreen(const HelpScreen&) = delete;
    HelpScreen& operator=(const HelpScreen&) = delete;

    void Init();
    // Showing scrolls every page back to its top and keeps the page.
    void Show(bool show);
    // The one switch for F1 and the Help button, so both agree on whether the help is showing.
    void Toggle() { Show(!m_visible); }
    bool IsVisible() const { return m_visible; }
    void SetPage(int page);
    int GetPage() const { return m_page; }
    void ScrollUp();
    void ScrollDown();
    void Update();
    void Render();
    void OnLostDevice() override;
    void OnResetDevice() override;
    void Release();

    GuiElement* GetBackdrop() const { return m_backdrop.get(); }
    GuiElement* GetPagePicture(int index) const;
    GuiButton* GetNext() const { return m_next.get(); }
    GuiButton* GetPrevious() const { return m_previous.get(); }
    GuiButton* GetScrollDown() const { return m_scrollDown.get(); }
    GuiButton* GetScrollUp() const { return m_scrollUp.get(); }
    GuiButton* GetClose() const { return m_close.get(); }
    const TextLabel& GetTitle() const { return m_titleLabel; }
    const TextLabel& GetCounter() const { return m_counterLabel; }

    static const char* PageTitle(int page);
    static float BandHeight(int page);

private:
    void HoldPicture();
    void ResetBands();
    void UpdateCover();
    std::array<GuiButton*, 5> Buttons() const;

    bool m_visible = false;
    int m_page = 0;
    std::unique_ptr<GuiElement> m_backdrop;
    std::array<std::unique_ptr<GuiElement>, PAGE_COUNT> m_pages;
    std::unique_ptr<GuiButton> m_next;
    std::unique_ptr<GuiButton> m_previous;
    std::unique_ptr<GuiButton> m_scrollDown;
    std::unique_ptr<GuiButton> m_scrollUp;
    std::unique_ptr<GuiButton> m_close;
    TextLabel m_counterLabel;
    TextLabel m_titleLabel;
    RECT m_titleRect{375, 121, 675, 153};
};
