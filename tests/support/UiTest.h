#pragma once
// The base fixture of the interface's tests: the mouse-over manager, the battle HUD, the widgets' latch and click
// counter, the menus' last drag, and everything below as at start.

#include "support/BattleTest.h"
#include "ui/BattleHud.h"
#include "ui/GuiButton.h"
#include "ui/GuiElement.h"
#include "ui/MenuManager.h"
#include "ui/MouseOverManager.h"
#include "ui/TextLabel.h"

class UiTest : public BattleTest
{
public:
    static void ResetForTests()
    {
        MenuManager::ResetForTests();
        BattleHud::ResetForTests();
        MouseOverManager::ResetForTests();
        GuiButton::ResetForTests();
        GuiElement::ResetForTests();
        TextLabel::ResetForTests();
        BattleTest::ResetForTests();
    }

protected:
    void SetUp() override { ResetForTests(); }
    void TearDown() override { ResetForTests(); }
};
