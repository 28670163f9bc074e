#pragma once

#include "core/DeviceResource.h"
#include "win32/Win32.h"

#include <memory>

class GuiButton;
class GuiElement;
class TextLabel;

// The window that slides up from below the battle HUD with the description of the button under the
// pointer, and slides back down shortly after the pointer has left it.
class DescriptionBox : public DeviceResource
{
public:
    DescriptionBox();
    ~DescriptionBox() override;
    DescriptionBox(const DescriptionBox&) = delete;
    DescriptionBox& operator=(const DescriptionBox&) = delete;

    void Init();
    void Show();
    void Update();
    void Render();
    void OnLostDevice() override;
    void OnResetDevice() override;
    void Destroy();

    GuiElement* GetWindow() const { return m_window.get(); }
    GuiElement* GetAnchor() const { return m_anchor.get(); }
    TextLabel* GetLabel() const { return m_label.get(); }
    const GuiButton* GetShownButton() const { return m_shownButton; }
    const RECT& GetTextRect() const { return m_textRect; }
    float GetHideTimer() const { return m_hideTimer; }

    float hiddenX = 346.0f;
    float hiddenY = 640.0f;
    float shownX = 346.0f;
    float shownY = 310.0f;

private:
    RECT m_textRect{366, 390, 662, 703};
    std::unique_ptr<GuiElement> m_window;
    std::unique_ptr<GuiElement> m_anchor;
    std::unique_ptr<TextLabel> m_label;
    const GuiButton* m_shownButton = nullptr;
    float m_hideTimer = 0.0f;
};
