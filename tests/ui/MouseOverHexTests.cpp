// The mouse-over manager as the board's pointer: the hovered hex, the unit dragged onto the board and the
// presses that command the board.
#include "UiDeviceFixture.h"
#include "battle/BoardFakes.h"
#include "core/GlobalConstants.h"
#include "core/InputManager.h"
#include "ui/GuiElement.h"
#include "ui/MouseOverManager.h"
#include "win32/InputState.h"

#include <gtest/gtest.h>

namespace {

class MouseOverHexTest : public UiDeviceTest
{
protected:
    void SetUp() override
    {
        UiDeviceTest::SetUp();
        InputState::Get().Reset();
        InputManager::ResetForTests();
        GuiElement::ResetForTests();
        ASSERT_EQ(InputManager::Get()->Init(reinterpret_cast<HINSTANCE>(0x3000), reinterpret_cast<HWND>(0x2000), 0),
                  S_OK);
        InputManager::Get()->BindMouseName("LBUTTON", 0);
        manager = MouseOverManager::Get();
        manager->Init();
    }
    void TearDown() override
    {
        InputManager::ResetForTests();
        InputState::Get().Reset();
        UiDeviceTest::TearDown();
    }

    // One frame as the session runs it: input, the mouse-over update, then the widgets' updates.
    bool Frame(bool buttonDown, GuiElement* widget = nullptr)
    {
        InputState::Get().InjectButton(0, buttonDown);
        InputManager::Get()->Update();
        manager->Update();
        if (widget)
            widget->Update();
        return manager->IsBoardClick();
    }

    MouseOverManager* manager = nullptr;
};

TEST_F(MouseOverHexTest, IsTheBoardsPointerWhileItLives)
{
    EXPECT_EQ(BoardPointer::Get(), manager);
    FakeUnit unit;
    manager->SetDragged(&unit);
    manager->ForgetUnit(&unit);
    EXPECT_EQ(manager->GetDragged(), nullptr);
    MouseOverManager::ResetForTests();
    EXPECT_EQ(BoardPointer::Get(), nullptr);
    manager = MouseOverManager::Get();
    EXPECT_EQ(BoardPointer::Get(), manager);
}

TEST_F(MouseOverHexTest, OnlyTheHoveredHexIsFlagged)
{
    Hex a, b;
    manager->SetHovered(&a);
    EXPECT_TRUE(a.hovered);
    manager->SetHovered(&b);
    EXPECT_FALSE(a.hovered);
    EXPECT_TRUE(b.hovered);
    EXPECT_EQ(manager->GetHovered(), &b);
    manager->SetHovered(nullptr);
    EXPECT_FALSE(b.hovered);
    EXPECT_EQ(manager->GetHovered(), nullptr);
}

TEST_F(MouseOverHexTest, DraggedUnitsLandOnlyInDeploymentZones)
{
    FakeUnit unit;
    Hex hex;
    hex.row = 30;
    hex.column = 7;
    manager->MoveDraggedToHoveredHex();
    manager->SetDragged(&unit);
    manager->MoveDraggedToHoveredHex();
    EXPECT_TRUE(unit.positions.empty()) << "nothing hovered";
    manager->SetHovered(&hex);
    for (HexType type : {HEX_OPEN, HEX_BLOCKED, HEX_DEFENDED, HEX_OCCUPIED}) {
        hex.SetType(type);
        manager->MoveDraggedToHoveredHex();
    }
    EXPECT_TRUE(unit.positions.empty());
    // Placed by the hex's row and column.
    hex.SetType(HEX_DEPLOY_TEAM0);
    manager->MoveDraggedToHoveredHex();
    hex.SetType(HEX_DEPLOY_TEAM1);
    hex.row = 2;
    manager->MoveDraggedToHoveredHex();
    EXPECT_EQ(unit.positions, (std::vector<std::pair<int, int>>{{30, 7}, {2, 7}}));
    manager->SetHovered(nullptr);
}

TEST_F(MouseOverHexTest, APressCommandsTheBoardOnceAndOnlyWhenItBeginsOverTheBoard)
{
    EXPECT_FALSE(Frame(false));
    EXPECT_TRUE(Frame(true)) << "the press";
    EXPECT_FALSE(Frame(true)) << "holding is not another command";
    EXPECT_FALSE(Frame(true));
    EXPECT_FALSE(Frame(false));

    // A press that begins over an enabled widget belongs to the interface, even when the pointer then leaves it.
    GuiElement button;
    button.Create(DEFAULT_TEXTURE, 100.0f, 100.0f, 64.0f, 32.0f);
    manager->MovePointer(120, 110);
    EXPECT_FALSE(Frame(true, &button));
    manager->MovePointer(500, 500);
    EXPECT_FALSE(Frame(true, &button));
    EXPECT_FALSE(Frame(false, &button));
    // Off the widget a press commands the board again; a disabled widget does not take the press.
    EXPECT_TRUE(Frame(true, &button));
    EXPECT_FALSE(Frame(false, &button));
    manager->MovePointer(120, 110);
    button.enabled = false;
    EXPECT_TRUE(Frame(true, &button));
    button.OnLostDevice();
}

} // namespace
