#pragma once

#include "ui/MenuPage.h"

// The end of a game: the frame the winner and the figures are written into, Rematch and Quit.
class EndOfGamePage : public MenuPage
{
public:
    using MenuPage::MenuPage;

    void Build() override;
    void Update() override;
};
