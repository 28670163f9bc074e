// Pages of buttons, and the mouse-over manager's side of buttons: the hovered button, the name text beside
// the pointer and the HUD's unit texts coming back after the pointer left.
#include "UiDataFixture.h"
#include "battle/CommandHud.h"
#include "ui/ButtonMenu.h"
#include "ui/GuiPanel.h"
#include "ui/TextLabel.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <vector>

namespace {

class PanelTest : public UiDataTest
{
protected:
    void SetUp() override
    {
        UiDataTest::SetUp();
        for (const char* name : {"b0", "b1", "b2", "i0", "i1", "i2"})
            Picture(std::string("Data/Textures/Hud Textures/") + name + ".tga");
        for (int i = 0; i < 3; ++i) {
            auto button = std::make_unique<GuiButton>();
            button->Create("b" + std::to_string(i) + ".tga", 100.0f * i, 0.0f, 50.0f, 50.0f);
            button->CreateIcon("i" + std::to_string(i) + ".tga", 0, 0);
            panel.buttons.push_back(button.get());
            owned.push_back(std::move(button));
        }
    }
    void TearDown() override
    {
        for (auto& button : owned)
            button->Release();
        owned.clear();
        UiDataTest::TearDown();
    }

    // The pictures drawn by one panel render, named by the widget each came from.
    std::vector<std::string> DrawOrder()
    {
        std::map<const void*, std::string> names;
        for (int i = 0; i < 3; ++i) {
            owned[i]->Render();
            names[Null()->LastDraw().texture0] = "b" + std::to_string(i);
            owned[i]->RenderIcon();
            names[Null()->LastDraw().texture0] = "i" + std::to_string(i);
        }
        Null()->ResetCounters();
        Null()->KeepDraws(true);
        panel.Render();
        std::vector<std::string> order;
        for (const auto& draw : Null()->Draws())
            order.push_back(names[draw.texture0]);
        Null()->KeepDraws(false);
        return order;
    }

    GuiPanel panel;
    std::vector<std::unique_ptr<GuiButton>> owned;
};

TEST_F(PanelTest, SelectedButtonIsDrawnLastOverItsOwnIcon)
{
    const std::vector<std::string> everyOne = {"b0", "i0", "b1", "i1", "b2", "i2"};
    EXPECT_EQ(panel.selected, -1);
    EXPECT_EQ(DrawOrder(), everyOne);
    panel.selected = 1;
    EXPECT_EQ(DrawOrder(), (std::vector<std::string>{"b0", "i0", "b2", "i2", "i1", "b1"}));
    panel.selected = 3;
    EXPECT_EQ(DrawOrder(), everyOne);
}

TEST_F(PanelTest, DeactivatingClearsAClickOfTheSameFrame)
{
    panel.SetActive(true);
    EXPECT_EQ(panel.CountEnabledButtons(), 3);
    Pointer(120, 20);
    LeftButton(true);
    Frame(0.02f);
    panel.Update();
    LeftButton(false);
    Frame(0.02f);
    panel.Update();
    ASSERT_TRUE(owned[1]->clicked);
    ASSERT_EQ(MouseOverManager::Get()->GetHoveredButton(), owned[1].get());
    panel.SetActive(false);
    EXPECT_FALSE(owned[1]->clicked);
    EXPECT_EQ(panel.CountEnabledButtons(), 0);
    // The page is gone: its button is no longer the one under the pointer.
    EXPECT_EQ(MouseOverManager::Get()->GetHoveredButton(), nullptr);
}

class FakeHud : public CommandHud
{
public:
    void HideHighlight() override { }
    void UpdateUnitTexts() override { ++restores; }
    void ResetMenu() override { }
    BoardUnit* GetCurrentUnit() const override { return nullptr; }
    void ForgetUnit(BoardUnit*) override { }
    int restores = 0;
};

class HoverTest : public UiDataTest
{
protected:
    void SetUp() override
    {
        UiDataTest::SetUp();
        CommandHud::Register(&hud);
        manager = MouseOverManager::Get();
    }
    void TearDown() override
    {
        CommandHud::Register(nullptr);
        UiDataTest::TearDown();
    }
    // One frame as the session runs it: the manager's update, then the widgets'.
    void Step(int x, int y, float dt, std::initializer_list<GuiButton*> buttons)
    {
        Pointer(x, y);
        Frame(dt);
        manager->Update();
        for (GuiButton* b : buttons)
            b->Update();
    }

    FakeHud hud;
    MouseOverManager* manager = nullptr;
};

TEST_F(HoverTest, NameTextAnchorsBesideThePointerAndWidensToTheName)
{
    GuiButton move;
    move.Create("none.tga", 480.0f, 680.0f, 43.0f, 49.0f);
    move.SetName("Move");
    move.showsName = true;
    move.hoverDelay = 0.1f;
    Step(500, 700, 0.05f, {&move});
    EXPECT_EQ(manager->GetHoveredButton(), &move);
    EXPECT_TRUE(manager->IsShowingText());
    EXPECT_FALSE(manager->IsTextAnchored());
    Step(500, 700, 0.05f, {&move});
    Step(500, 700, 0.05f, {&move}); // long hover reached in this update
    ASSERT_TRUE(move.longHover);
    Step(500, 700, 0.05f, {&move});
    // Anchor = pointer - (48, 32); the window 6 pixels above it.
    ASSERT_TRUE(manager->IsTextAnchored());
    EXPECT_FLOAT_EQ(manager->GetTextLabel()->x, 452.0f);
    EXPECT_FLOAT_EQ(manager->GetTextLabel()->y, 668.0f);
    EXPECT_FLOAT_EQ(manager->GetTextWindow()->left, 452.0f);
    EXPECT_FLOAT_EQ(manager->GetTextWindow()->top, 662.0f);
    EXPECT_EQ(manager->GetTextLabel()->GetText(), "Move");
    Step(500, 700, 0.05f, {&move});
    // "Move" at height 24: 4 x 24 = 96 wide, box 0.3 x 96 = 28.8.
    EXPECT_FLOAT_EQ(manager->GetTextWindow()->left, 442.0f);
    EXPECT_FLOAT_EQ(manager->GetTextWindow()->right, 520.8f);

    Step(100, 100, 0.05f, {&move});
    Step(100, 100, 0.05f, {&move});
    EXPECT_EQ(manager->GetHoveredButton(), nullptr);
    EXPECT_FALSE(manager->IsTextAnchored());
    EXPECT_FLOAT_EQ(manager->GetTextLabel()->targetColour.a, 0.0f);
}

TEST_F(HoverTest, TheNamesWindowIsDrawnOnlyWhileItShows)
{
    GuiButton move;
    move.Create("none.tga", 480.0f, 680.0f, 43.0f, 49.0f);
    move.SetName("Move");
    move.showsName = true;
    move.hoverDelay = 0.1f;
    const auto draws = [this] {
        const UINT before = Null()->DrawCount();
        manager->Render();
        return Null()->DrawCount() - before;
    };
    for (int frame = 0; frame < 20; ++frame)
        Step(500, 700, 0.05f, {&move});
    ASSERT_TRUE(manager->IsTextAnchored());
    EXPECT_EQ(draws(), 1u) << "the name shows on its window";
    // Away from the button, the window fades out and stays faded while nothing is hovered.
    for (int frame = 0; frame < 100; ++frame)
        Step(100, 100, 0.05f, {&move});
    ASSERT_EQ(PackColour(manager->GetTextWindow()->colour) >> 24, 0u);
    EXPECT_EQ(draws(), 0u) << "faded away, it would change no pixel";
    DrawQueuedText();
}

TEST_F(HoverTest, UnitTextsComeBackATenthOfASecondAfterLeaving)
{
    GuiButton button;
    button.Create("none.tga", 0.0f, 0.0f, 50.0f, 50.0f);
    Step(10, 10, 0.04f, {&button});
    Step(10, 10, 0.04f, {&button});
    const int before = hud.restores;
    Step(200, 200, 0.04f, {&button}); // leaves: dropped at the next manager update
    Step(200, 200, 0.04f, {&button});
    EXPECT_EQ(manager->GetHoveredButton(), nullptr);
    const float gaps[] = {0.04f, 0.04f};
    for (float dt : gaps) {
        Step(200, 200, dt, {&button});
        EXPECT_EQ(hud.restores, before);
    }
    Step(200, 200, 0.04f, {&button}); // 0.12 s without a button
    EXPECT_EQ(hud.restores, before + 1);
    Step(200, 200, 0.04f, {&button});
    EXPECT_EQ(hud.restores, before + 1);
}

TEST_F(HoverTest, AButtonOverAFrameStaysTheHoveredOne)
{
    GuiButton action;
    action.Create("none.tga", 366.0f, 710.0f, 43.0f, 49.0f);
    action.SetName("Move");
    GuiButton frame; // the HUD frame around it, updated after it
    frame.Create("none.tga", 112.0f, 608.0f, 800.0f, 163.0f);
    Step(380, 730, 0.02f, {&action, &frame});
    EXPECT_EQ(manager->GetHoveredButton(), &action);
    Step(380, 730, 0.02f, {&action, &frame});
    EXPECT_EQ(manager->GetHoveredButton(), &action);
    // Off the button but still on the frame: the frame is what the pointer is over now.
    Step(200, 730, 0.02f, {&action, &frame});
    Step(200, 730, 0.02f, {&action, &frame});
    EXPECT_EQ(manager->GetHoveredButton(), nullptr);
    Step(380, 730, 0.02f, {&action, &frame});
    EXPECT_EQ(manager->GetHoveredButton(), &action);
}

TEST_F(HoverTest, SwitchingRowsLetsGoOfTheHoveredButton)
{
    ButtonMenu menu;
    menu.BuildAbilityRow(367.0f);
    menu.SwitchRow(1);
    menu.GetButton(1, 0)->SetDescription("Heals");
    Pointer(380, 730);
    Frame(0.02f);
    manager->Update();
    menu.Update();
    ASSERT_EQ(manager->GetHoveredButton(), menu.GetButton(1, 0));
    menu.SwitchRow(0);
    EXPECT_EQ(manager->GetHoveredButton(), nullptr);
}

} // namespace
