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

    GuiElement* GetWindow() const { return window.get(); }
    GuiElement* GetAnchor() const { return anchor.get(); }
    TextLabel* GetLabel() const { return label.get(); }
    const GuiButton* GetShownButton() const { return shownButton; }
    const RECT& GetTextRect() const { return textRect; }
    float GetHideTimer() const { return hideTimer; }

    float hiddenX = 346.0f;
    float hiddenY = 640.0f;
    float shownX = 346.0f;
    float shownY = 310.0f;

private:
    RECT textRect{366, 390, 662, 703};
    std::unique_ptr<GuiElement> window;
    std::unique_ptr<GuiElement> anchor;
    std::unique_ptr<TextLabel> label;
    const GuiButton* shownButton = nullptr;
    float hideTimer = 0.0f;
};
