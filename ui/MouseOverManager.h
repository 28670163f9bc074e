#pragma once

#include "d3dx9/D3DX9Math.h"
#include "win32/Win32.h"

#include <memory>

class GuiElement;
class TextLabel;

// Knows where the pointer is and what it is over; holds the pick ray into the scene.
class MouseOverManager
{
public:
    static MouseOverManager* Get();
    // Tests start from a fresh manager.
    static void ResetForTests();

    virtual ~MouseOverManager();

    void Init();
    POINT GetPointerPosition() const;
    void MovePointer(int x, int y);
    void Update();
    void UpdateText();
    void Render();
    void OnLostDevice();
    void OnResetDevice();

    void SetPickRay(const D3DXVECTOR3& origin, const D3DXVECTOR3& direction);
    const D3DXVECTOR3& GetPickRayOrigin() const { return pickRayOrigin; }
    const D3DXVECTOR3& GetPickRayDirection() const { return pickRayDirection; }

    GuiElement* GetPointerIcon() const { return pointerIcon.get(); }
    TextLabel* GetTextLabel() const { return textLabel.get(); }
    GuiElement* GetTextWindow() const { return textWindow.get(); }
    bool IsTextAnchored() const { return anchorX >= 0.0f && anchorY >= 0.0f; }

private:
    MouseOverManager();

    std::unique_ptr<GuiElement> pointerIcon;
    std::unique_ptr<TextLabel> textLabel;
    std::unique_ptr<GuiElement> textWindow;
    bool showText = false;
    // Where the name text is anchored; negative while no text is shown.
    float anchorX = -1.0f;
    float anchorY = -1.0f;
    float restoreTimer = 0.0f;
    D3DXVECTOR3 pickRayOrigin{0.0f, 0.0f, 0.0f};
    D3DXVECTOR3 pickRayDirection{0.0f, 0.0f, 0.0f};
};
