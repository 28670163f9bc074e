#pragma once

#include "ui/MenuPage.h"

// Start (deployment, or the battle under way), Help, Options and Quit, one under the other.
class MainMenuPage : public MenuPage
{
public:
    using MenuPage::MenuPage;

    // The column of four buttons the main menu and the options page share, for a back buffer w x h.
    struct ButtonPlace {
        float x, y, w, h;
    };
    static ButtonPlace Place(int row, float w, float h);

    void Build() override;
    void Update() override;
};
