#pragma once

#include "ui/GuiElement.h"

#include <memory>
#include <string>

// The clickable widget. The hit test of the element becomes per-frame flags the owners read; entering and
// leaving start colour effects on the button and on its icon, and the button it is over is the one the
// mouse-over manager names and describes.
class GuiButton : public GuiElement
{
public:
    GuiButton();
    ~GuiButton() override;

    void Update() override;
    void Place(float x, float y, float w, float h) override;
    void Init(const std::string& textureName, float x, float y, float w, float h) override;
    void SetRect(float x, float y, float w, float h) override;
    void Create(const std::string& textureName, float x, float y, float w, float h) override;
    void OnLostDevice() override;
    void OnResetDevice() override;
    void SetVisible(bool show) override;

    void OnHoverEnter();
    void OnHoverLeave();
    void ClearFlags();
    // {button on hover, button on leave, icon on hover, icon on leave}; not owned.
    void SetEffectTable(const uint32_t* table) { m_effectTable = table; }
    void CreateIcon(const std::string& textureName, int dx, int dy);
    // A dragged button hangs 32 pixels up and left of the pointer.
    void FollowPointer();
    void DrawIcon();
    void RenderIcon();
    // Lets go of the device resources and the icon; owners call it before deleting the button.
    void Release();

    void SetName(const std::string& text) { m_name = text; }
    std::string GetName() const { return m_name; }
    void SetDescription(const std::string& text) { m_description = text; }
    std::string GetDescription() const { return m_description; }
    GuiElement* GetIcon() const { return m_icon.get(); }

    // Tests start with no click pending anywhere.
    static void ResetForTests();

    bool hovered = false;
    bool hover = false;
    bool longHover = false;
    bool notHovered = false;
    bool pressed = false;
    bool clicked = false;
    bool available = true;
    bool showsName = false;
    bool iconVisible = true;

private:
    const uint32_t* m_effectTable = nullptr;
    std::unique_ptr<GuiElement> m_icon;
    std::string m_name;
    std::string m_description;
};
