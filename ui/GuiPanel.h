#pragma once

#include <cstdint>
#include <vector>

class GuiButton;
class GuiElement;

// One page of the front-end screens: its buttons, its pictures and the elements its owner draws, activated,
// updated, drawn and told of device loss as a whole. The page's builder fills the lists; the widgets stay
// the builder's to release.
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

    // The button drawn last, over all the others; no button while outside the list.
    int32_t selected = -1;
    std::vector<GuiButton*> buttons;
    std::vector<GuiElement*> images;
    std::vector<GuiElement*> extraElements;
};
