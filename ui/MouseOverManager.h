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
    const D3DXVECTOR3& GetPickRayOrigin() const override { return pickRayOrigin; }
    const D3DXVECTOR3& GetPickRayDirection() const override { return pickRayDirection; }

    Hex* GetHovered() const override { return hoveredHex; }
    void SetHovered(Hex* hex) override;
    void SetDragged(BoardUnit* unit) { dragged = unit; }
    BoardUnit* GetDragged() const { return dragged; }
    void MoveDraggedToHoveredHex();
    bool IsShowingText() const override { return showText; }
    void SetShowText() { showText = true; }
    // Widgets report that the pointer is over one of them (enabled) in this frame.
    void NotePointerOverWidget() { pointerOverWidget = true; }
    bool IsBoardClick() const override;
    // On a named button, on any enabled widget of this frame, or within the strip along the bottom edge that
    // the HUD's bars reach down to.
    bool IsOverHud() const override;
    // A button reports that the pointer entered it. A button without a name or a description (a frame) does
    // not take over from a button that lies over it and is still under the pointer.
    void EnterButton(GuiButton* button);
    // The button is switched away or deleted: it is no longer the hovered one.
    void ForgetButton(GuiButton* button);
    GuiButton* GetHoveredButton() const { return hoveredButton; }
    // A window over the screen (the help) takes the pointer inside its rectangle from everything beneath.
    void SetCover(const RECT& rect)
    {
        cover = rect;
        covering = true;
    }
    void ClearCover() { covering = false; }
    bool IsCovered(POINT p) const
    {
        return covering && p.x >= cover.left && p.x < cover.right && p.y >= cover.top && p.y < cover.bottom;
    }
    void ForgetUnit(BoardUnit* gone) override;

    GuiElement* GetPointerIcon() const { return pointerIcon.get(); }
    TextLabel* GetTextLabel() const { return textLabel.get(); }
    GuiElement* GetTextWindow() const { return textWindow.get(); }
    bool IsTextAnchored() const { return anchorX >= 0.0f && anchorY >= 0.0f; }

private:
    MouseOverManager();

    std::unique_ptr<GuiElement> pointerIcon;
    std::unique_ptr<TextLabel> textLabel;
    std::unique_ptr<GuiElement> textWindow;
    Hex* hoveredHex = nullptr;
    GuiButton* hoveredButton = nullptr;
    BoardUnit* dragged = nullptr;
    bool showText = false;
    // The left button as this frame's update found it and as the frame before left it.
    bool leftHeld = false;
    bool leftPressed = false;
    bool pointerOverWidget = false;
    // Where the name text is anchored; negative while no text is shown.
    float anchorX = -1.0f;
    float anchorY = -1.0f;
    float restoreTimer = 0.0f;
    // Set once a hovered button is let go; the HUD's unit texts come back once, a little later.
    bool restorePending = true;
    RECT cover{0, 0, 0, 0};
    bool covering = false;
    D3DXVECTOR3 pickRayOrigin{0.0f, 0.0f, 0.0f};
    D3DXVECTOR3 pickRayDirection{0.0f, 0.0f, 0.0f};
};
