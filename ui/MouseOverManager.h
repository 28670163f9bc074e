#pragma once

#include "battle/BoardPointer.h"
#include "d3dx9/D3DX9Math.h"
#include "win32/Win32.h"

#include <memory>

class BoardUnit;
class GuiButton;
class GuiElement;
class Hex;
class TextLabel;

// Knows where the pointer is and what it is over; holds the pick ray into the scene, the hovered board hex and
// the unit being dragged onto the board. It is the board's one pointer.
class MouseOverManager : public BoardPointer
{
public:
    static MouseOverManager* Get();
    // Tests start from a fresh manager.
    static void ResetForTests();
    // The manager when one exists, without making one (for widgets going away at any time).
    static MouseOverManager* Existing();

    ~MouseOverManager() override;

    void Init();
    POINT GetPointerPosition() const;
    void MovePointer(int x, int y);
    void Update();
    void UpdateText();
    void Render();
    void OnLostDevice();
    void OnResetDevice();

    void SetPickRay(const D3DXVECTOR3& origin, const D3DXVECTOR3& direction);
    const D3DXVECTOR3& GetPickRayOrigin() const override { return m_pickRayOrigin; }
    const D3DXVECTOR3& GetPickRayDirection() const override { return m_pickRayDirection; }

    Hex* GetHovered() const override { return m_hoveredHex; }
    void SetHovered(Hex* hex) override;
    void SetDragged(BoardUnit* unit) { m_dragged = unit; }
    BoardUnit* GetDragged() const { return m_dragged; }
    void MoveDraggedToHoveredHex();
    bool IsShowingText() const override { return m_showText; }
    void SetShowText() { m_showText = true; }
    // Widgets report that the pointer is over one of them (enabled) in this frame.
    void NotePointerOverWidget() { m_pointerOverWidget = true; }
    bool IsBoardClick() const override;
    // On a named button, on any enabled widget of this frame, or within the strip along the bottom edge that
    // the HUD's bars reach down to.
    bool IsOverHud() const override;
    // A button reports that the pointer entered it. A button without a name or a description (a frame) does
    // not take over from a button that lies over it and is still under the pointer.
    void EnterButton(GuiButton* button);
    // The button is switched away or deleted: it is no longer the hovered one.
    void ForgetButton(GuiButton* button);
    GuiButton* GetHoveredButton() const { return m_hoveredButton; }
    // A window over the screen (the help) takes the pointer inside its rectangle from everything beneath.
    void SetCover(const RECT& rect)
    {
        m_cover = rect;
        m_covering = true;
    }
    void ClearCover() { m_covering = false; }
    bool IsCovered(POINT p) const
    {
        return m_covering && p.x >= m_cover.left && p.x < m_cover.right && p.y >= m_cover.top && p.y < m_cover.bottom;
    }
    void ForgetUnit(BoardUnit* gone) override;

    GuiElement* GetPointerIcon() const { return m_pointerIcon.get(); }
    TextLabel* GetTextLabel() const { return m_textLabel.get(); }
    GuiElement* GetTextWindow() const { return m_textWindow.get(); }
    bool IsTextAnchored() const { return m_anchorX >= 0.0f && m_anchorY >= 0.0f; }

private:
    MouseOverManager();

    std::unique_ptr<GuiElement> m_pointerIcon;
    std::unique_ptr<TextLabel> m_textLabel;
    std::unique_ptr<GuiElement> m_textWindow;
    Hex* m_hoveredHex = nullptr;
    GuiButton* m_hoveredButton = nullptr;
    BoardUnit* m_dragged = nullptr;
    bool m_showText = false;
    // The left button as this frame's update found it and as the frame before left it.
    bool m_leftHeld = false;
    bool m_leftPressed = false;
    bool m_pointerOverWidget = false;
    // Where the name text is anchored; negative while no text is shown.
    float m_anchorX = -1.0f;
    float m_anchorY = -1.0f;
    float m_restoreTimer = 0.0f;
    // Set once a hovered button is let go; the HUD's unit texts come back once, a little later.
    bool m_restorePending = true;
    RECT m_cover{0, 0, 0, 0};
    bool m_covering = false;
    D3DXVECTOR3 m_pickRayOrigin{0.0f, 0.0f, 0.0f};
    D3DXVECTOR3 m_pickRayDirection{0.0f, 0.0f, 0.0f};
};
