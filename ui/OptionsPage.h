#pragma once

#include "ui/MenuPage.h"

// The window sizes 800 x 600, 1024 x 768 and 1280 x 1024, and Back to the main menu, where its buttons stand.
class OptionsPage : public MenuPage
{
public:
    using MenuPage::MenuPage;

    void Build() override;
    void Update() override;
};
