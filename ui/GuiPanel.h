#pragma once

#include "d3dx9/D3DX9Math.h"

#include <cstdint>
#include <string>
#include <vector>

class GuiButton;
class GuiElement;

// One page of the front-end screens: its buttons, its pictures and the elements its owner draws, activated,
// updated, drawn and told of device loss as a whole. The page's builder fills the lists, with the Add
// operations or by hand; widgets added by the Add operations are let go by Destroy.
class GuiPanel
{
public:
    void SetActive(bool active);
    void Update();
    void Render();
    void ResetColours();
    int CountEnabledButtons() const;
    void OnLostDevice();
    void OnResetDevice();

    // Each places a new widget with the given base colour, at alpha 0 so that it fades in when the page is
    // shown; textured widgets fade toward white.
    GuiElement* AddImage(const std::string& texture, float x, float y, float w, float h, const D3DXCOLOR& colour);
    // As AddImage, for the elements the page's owner draws itself.
    GuiElement* AddExtraElement(const std::string& texture, float x, float y, float w, float h,
                                const D3DXCOLOR& colour);
    GuiElement* AddPlainImage(float x, float y, float w, float h, const D3DXCOLOR& colour, const D3DXCOLOR& target);
    GuiButton* AddButton(const std::string& texture, float x, float y, float w, float h, const D3DXCOLOR& colour);
    // A button with a hover picture over it that fades in while the pointer is on the button.
    GuiButton* AddIconButton(const std::string& texture, float x, float y, float w, float h, const D3DXCOLOR& colour,
                             const std::string& icon, int iconX, int iconY);
    // Releases and deletes every widget of the three lists and empties them.
    void Destroy();

    // The button drawn last, over all the others; no button while outside the list.
    int32_t selected = -1;
    std::vector<GuiButton*> buttons;
    std::vector<GuiElement*> images;
    std::vector<GuiElement*> extraElements;
};
