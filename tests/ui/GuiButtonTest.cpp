// Buttons and the battle HUD's button rows: the per-frame flags, the rows' fades, the ability row's greying.
#include "ui/GuiButton.h"
#include "UiDataFixture.h"
#include "core/ScreenVertex.h"
#include "ui/ButtonMenu.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using ButtonTest = UiDataTest;

void ExpectColour(const D3DXCOLOR& c, float r, float g, float b, float a)
{
    EXPECT_FLOAT_EQ(c.r, r);
    EXPECT_FLOAT_EQ(c.g, g);
    EXPECT_FLOAT_EQ(c.b, b);
    EXPECT_FLOAT_EQ(c.a, a);
}

TEST_F(ButtonTest, FlagsFollowThePointerAndTheLeftButtonFrameByFrame)
{
    GuiButton button;
    button.Create("none.tga", 100.0f, 100.0f, 43.0f, 49.0f);
    button.hoverDelay = 0.1f;
    const uint32_t table[4] = {EFFECT_FADE_TO_TARGET, EFFECT_FADE_TO_BASE, EFFECT_PULSE, EFFECT_FADE_OUT};
    button.SetEffectTable(table);

    struct Step {
        int x;
        bool down;
        bool hovered, longHover, notHovered, pressed, clicked;
        uint32_t pending;
    };
    // 0.05 s frames: the hover time reaches the 0.1 s delay on the third frame over the button.
    const Step steps[] = {
        {10, false, false, false, true, false, false, EFFECT_FADE_TO_BASE}, // idle: leave effects once
        {120, false, true, false, false, false, false, EFFECT_FADE_TO_TARGET},
        {120, false, true, false, false, false, false, EFFECT_FADE_TO_TARGET},
        {120, false, true, true, false, false, false, EFFECT_FADE_TO_TARGET},
        {120, true, true, true, false, true, false, EFFECT_FADE_TO_TARGET},
        {120, false, true, true, false, false, true, EFFECT_FADE_TO_TARGET},
        {120, false, true, true, false, false, false, EFFECT_FADE_TO_TARGET}, // a click lasts one update
        {10, false, false, false, true, false, false, EFFECT_FADE_TO_BASE},
    };
    int frame = 0;
    for (const Step& s : steps) {
        SCOPED_TRACE(frame++);
        Pointer(s.x, 120);
        LeftButton(s.down);
        Frame(0.05f);
        button.Update();
        EXPECT_EQ(button.hovered, s.hovered);
        EXPECT_EQ(button.hover, s.hovered);
        EXPECT_EQ(button.longHover, s.longHover);
        EXPECT_EQ(button.notHovered, s.notHovered);
        EXPECT_EQ(button.pressed, s.pressed);
        EXPECT_EQ(button.clicked, s.clicked);
        EXPECT_EQ(button.pendingEffect, s.pending);
    }
}

TEST_F(ButtonTest, LeavingWhilePressedKeepsPressedAndADisabledButtonKeepsItsFlags)
{
    GuiButton button;
    button.Create("none.tga", 0.0f, 0.0f, 50.0f, 50.0f);
    Pointer(10, 10);
    LeftButton(true);
    Frame(0.02f);
    button.Update();
    ASSERT_TRUE(button.pressed);
    Pointer(200, 200);
    Frame(0.02f);
    button.Update();
    EXPECT_TRUE(button.pressed);
    EXPECT_FALSE(button.hovered);
    EXPECT_TRUE(button.notHovered);

    button.enabled = false;
    Pointer(10, 10);
    Frame(0.02f);
    button.Update();
    EXPECT_TRUE(button.pressed);
    EXPECT_TRUE(button.notHovered);
    button.ClearFlags();
    EXPECT_FALSE(button.pressed);
    EXPECT_FALSE(button.notHovered);
}

TEST_F(ButtonTest, DraggedButtonHangsUpAndLeftOfThePointerAndIconsStartClear)
{
    GuiButton button;
    button.Create("none.tga", 0.0f, 0.0f, 64.0f, 77.0f);
    button.CreateIcon("none.tga", 16, 16);
    ASSERT_NE(button.GetIcon(), nullptr);
    EXPECT_FLOAT_EQ(button.GetIcon()->left, 16.0f);
    EXPECT_FLOAT_EQ(button.GetIcon()->width, 64.0f);
    ExpectColour(button.GetIcon()->baseColour, 0, 0, 0, 0);
    ExpectColour(button.GetIcon()->targetColour, 1, 1, 1, 1);
    Pointer(300, 200);
    button.FollowPointer();
    EXPECT_FLOAT_EQ(button.left, 268.0f);
    EXPECT_FLOAT_EQ(button.top, 168.0f);
    EXPECT_FLOAT_EQ(button.right, 332.0f);
    button.Release();
    EXPECT_EQ(button.GetIcon(), nullptr);
}

class MenuTest : public UiDataTest
{
protected:
    void BuildActionRow()
    {
        for (int i = 0; i < 6; ++i)
            menu.AddButton(0, "none.tga", "Scroll_Over.tga", 366.0f + 48.0f * i, 710.0f, 43.0f, 49.0f);
    }
    void TearDown() override
    {
        menu.Release();
        UiDataTest::TearDown();
    }
    ButtonMenu menu;
};

TEST_F(MenuTest, AddedButtonsStartClearAndDisabled)
{
    GuiButton* b = menu.AddButton(0, "none.tga", "none.tga", 10.0f, 20.0f, 43.0f, 49.0f);
    ASSERT_NE(b, nullptr);
    ExpectColour(b->colour, 0, 0, 0, 0);
    ExpectColour(b->baseColour, 0, 0, 0, 0);
    ExpectColour(b->targetColour, 1, 1, 1, 1);
    EXPECT_FALSE(b->enabled);
    EXPECT_FLOAT_EQ(b->hoverDelay, 0.1f);
    EXPECT_TRUE(b->showsName);
    ExpectColour(b->GetIcon()->colour, 0, 0, 0, 0);
    ExpectColour(b->GetIcon()->targetColour, 1, 1, 1, 1);
    EXPECT_EQ(menu.AddButton(4, "none.tga", "none.tga", 0, 0, 1, 1), nullptr);
}

TEST_F(MenuTest, AbilityRowSitsAlongTheBottomWithBackLast)
{
    menu.BuildAbilityRow(367.0f);
    ASSERT_EQ(menu.RowSize(1), 6u);
    const float xs[6] = {367, 415, 463, 511, 559, 607};
    for (uint32_t i = 0; i < 6; ++i) {
        GuiButton* b = menu.GetButton(1, i);
        EXPECT_FLOAT_EQ(b->left, xs[i]);
        EXPECT_FLOAT_EQ(b->top, 710.0f); // 768 - 58
        EXPECT_FLOAT_EQ(b->width, 43.0f);
        EXPECT_FLOAT_EQ(b->height, 49.0f);
    }
    EXPECT_EQ(menu.GetButton(1, 6), nullptr);
    EXPECT_EQ(menu.GetButton(0, 0), nullptr);
    EXPECT_EQ(menu.GetButton(9, 0), nullptr);
}

TEST_F(MenuTest, SwitchingRowsFadesTheNewRowInButtonByButton)
{
    BuildActionRow();
    menu.BuildAbilityRow(367.0f);
    menu.SwitchRow(1);
    EXPECT_EQ(menu.GetCurrentRow(), 1u);
    EXPECT_EQ(menu.GetPreviousRow(), 0u);
    for (uint32_t i = 0; i < 6; ++i) {
        SCOPED_TRACE(i);
        GuiButton* shown = menu.GetButton(1, i);
        GuiButton* hidden = menu.GetButton(0, i);
        EXPECT_FLOAT_EQ(shown->speed, 15.0f - 2.0f * i);
        ExpectColour(shown->targetColour, 1, 1, 1, 1);
        EXPECT_TRUE(shown->enabled);
        EXPECT_FLOAT_EQ(hidden->speed, 4.0f);
        ExpectColour(hidden->targetColour, 0, 0, 0, 0);
        EXPECT_FALSE(hidden->enabled);
    }
    menu.RestartFadeIn();
    for (uint32_t i = 0; i < 6; ++i) {
        EXPECT_FLOAT_EQ(menu.GetButton(i)->speed, 7.0f - i);
        ExpectColour(menu.GetButton(i)->colour, 0, 0, 0, 0);
    }
    EXPECT_EQ(menu.GetButton(6u), nullptr);
}

// The unused row holds no buttons: switching to it and back walks only the buttons there are.
TEST_F(MenuTest, SwitchingThroughTheEmptyRowsTouchesNothingBeyondThem)
{
    BuildActionRow();
    menu.SwitchRow(2);
    menu.SwitchRow(3);
    menu.SwitchRow(0);
    EXPECT_EQ(menu.GetCurrentRow(), 0u);
    EXPECT_TRUE(menu.GetButton(0, 5)->enabled);
    menu.Update();
}

TEST_F(MenuTest, ARowWhosePicturesAreReadIsDrawnOnlyWhereItShowsAndOpaqueUnblended)
{
    // Two frames of 40 x 40, one above the other: a clear margin two texels wide, a half-clear rim one texel
    // wide inside it and an opaque middle of 34 x 34 (large enough to be drawn apart).
    std::string tga(18, '\0');
    tga[2] = 2;
    tga[12] = 40;
    tga[14] = 80;
    tga[16] = 32;
    tga[17] = 0x28;
    for (int y = 0; y < 80; ++y)
        for (int x = 0; x < 40; ++x) {
            const int fy = y % 40;
            const bool clear = x < 2 || x > 37 || fy < 2 || fy > 37;
            const bool rim = x == 2 || x == 37 || fy == 2 || fy == 37;
            tga += std::string{'\x40', '\x60', '\x20', clear ? '\0' : rim ? '\x80' : '\xff'};
        }
    tree->Write("Data/framed_f2.tga", tga);
    GuiButton* button = menu.AddButton(0, "framed_f2.tga", "none.tga", 100.0f, 700.0f, 40.0f, 40.0f);
    ASSERT_NE(button, nullptr);
    button->topV = 0.0f;
    button->bottomV = 0.5f;
    button->colour = D3DXCOLOR(1.0f, 1.0f, 1.0f, 1.0f);
    button->UpdateVertices();
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    device->SetFVF(SCREEN_FVF);
    const auto draws = [this] {
        const UINT before = Null()->DrawCount();
        menu.Render();
        return Null()->DrawCount() - before;
    };
    // Unread: the whole quad in one blended draw (the icon is still faded out).
    EXPECT_EQ(draws(), 1u);
    EXPECT_FALSE(Null()->LastDraw().userPointer);
    EXPECT_EQ(Null()->LastDraw().alphaBlendEnable, static_cast<DWORD>(TRUE));
    // Read: the rim blended, then the middle without blending; the clear margin in neither.
    menu.ReadCoverage(0);
    EXPECT_EQ(draws(), 2u);
    EXPECT_TRUE(Null()->LastDraw().userPointer);
    EXPECT_EQ(Null()->LastDraw().alphaBlendEnable, static_cast<DWORD>(FALSE));
    EXPECT_EQ(Null()->LastDraw().vertexCount, 6u) << "one rectangle of two triangles";
    // Blending is given back for what is drawn next.
    EXPECT_EQ(DeviceKit::RenderState(device, D3DRS_ALPHABLENDENABLE), static_cast<DWORD>(TRUE));
    menu.Release();
    EXPECT_EQ(draws(), 0u);
}

// Pointer at the centre of a button, frames of 0.05 s, the menu updated as the HUD does.
class AbilityRowTest : public MenuTest, public AbilityRowHost
{
protected:
    void SetUp() override
    {
        MenuTest::SetUp();
        for (const char* name : {"Heal", "Fire", "Ice", "Wind", "Rock", "Sixth"})
            Picture(std::string("Data/Textures/Icon Textures/") + name + "_Icon_f2.tga");
        Picture("Data/Textures/Hud Textures/ButMBack.tga");
        Sound("Data/Sound/Sound Effects/UI_HOVER.wav");
        ButtonMenu::ForgetHoverSound();
        BuildActionRow();
        menu.BuildAbilityRow(367.0f);
        for (const char* name : {"Heal", "Fire", "Ice", "Wind", "Rock", "Sixth"}) {
            SpellDefinition spell;
            spell.fileName = name;
            spell.description = std::string(name) + " does 20% more";
            spell.usesLeft = 2;
            spell.actionPointCost = 3;
            spell.manaCost = 5;
            abilities.push_back(spell);
        }
        abilities[1].manaCost = -12; // paid as 12
        abilities[2].usesLeft = 0;
        abilities[3].actionPointCost = 6;
    }

    void OnAbilityRowBack() override { ++backs; }
    void ShowSpellCost(const SpellDefinition& ability) override { shownCost = ability.fileName; }
    void OnAbilityChosen(const SpellDefinition& ability) override { chosen = ability.fileName; }

    GuiButton* FrameOver(int index, bool down, int actionPoints)
    {
        Pointer(367 + 48 * index + 20, 730);
        LeftButton(down);
        Frame(0.05f);
        GuiButton* clicked = menu.UpdateAbilityRow(actionPoints, *this);
        menu.Update();
        return clicked;
    }

    size_t HoverSounds() const { return SoundQueue::Get()->GetPendingRequests().size(); }

    std::vector<SpellDefinition> abilities;
    int backs = 0;
    std::string shownCost;
    std::string chosen;
};

TEST_F(AbilityRowTest, AbilitiesAreGreyedByUsesActionPointsAndMana)
{
    menu.SwitchRow(1);
    menu.SetAbilities(&abilities, 5, 10);
    struct Expect {
        float topV, bottomV;
        bool enabled;
    };
    // Heal payable; Fire short of mana (12 > 10); Ice out of uses; Wind short of AP (6 > 5); Rock payable.
    const Expect expect[5] = {{0, 0.5f, true}, {0.5f, 1, false}, {0.5f, 1, false}, {0.5f, 1, false}, {0, 0.5f, true}};
    for (uint32_t i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        GuiButton* b = menu.GetButton(1, i);
        EXPECT_FLOAT_EQ(b->topV, expect[i].topV);
        EXPECT_FLOAT_EQ(b->bottomV, expect[i].bottomV);
        EXPECT_EQ(b->enabled, expect[i].enabled);
        EXPECT_TRUE(b->visible);
        EXPECT_FLOAT_EQ(b->hoverDelay, 0.0f);
        EXPECT_EQ(b->GetDescription(), abilities[i].description);
    }
}

// Six abilities: five show, and the Back button keeps its picture, its place and its job.
TEST_F(AbilityRowTest, ASixthAbilityLeavesTheBackButtonAlone)
{
    menu.SwitchRow(1);
    GuiButton* back = menu.GetButton(1, 5);
    TextureRecord* backPicture = back->GetTextureRecord();
    menu.SetAbilities(&abilities, 10, 50);
    EXPECT_EQ(back->GetTextureRecord(), backPicture);
    EXPECT_TRUE(back->GetDescription().empty());
    EXPECT_EQ(menu.RowSize(1), 6u);
    FrameOver(5, true, 10);
    FrameOver(5, false, 10);
    EXPECT_EQ(FrameOver(5, false, 10), nullptr);
    EXPECT_EQ(backs, 1);
    EXPECT_EQ(menu.GetCurrentRow(), 0u);
}

TEST_F(AbilityRowTest, SpentActionPointsGreyAnAbilityThatStaysEnabled)
{
    menu.SwitchRow(1);
    menu.SetAbilities(&abilities, 10, 50);
    FrameOver(0, false, 2);
    GuiButton* heal = menu.GetButton(1, 0);
    EXPECT_FLOAT_EQ(heal->topV, 0.5f);
    EXPECT_FLOAT_EQ(heal->bottomV, 1.0f);
    EXPECT_FALSE(heal->iconVisible);
    EXPECT_TRUE(heal->enabled);
    // Pressed and released over it with too few AP: nothing is chosen.
    FrameOver(0, true, 2);
    EXPECT_EQ(FrameOver(0, false, 2), nullptr);
    EXPECT_EQ(FrameOver(0, false, 2), nullptr);
    EXPECT_TRUE(chosen.empty());
}

TEST_F(AbilityRowTest, HoverCostsAndTheHoverSoundOncePerNewAbility)
{
    menu.SwitchRow(1);
    menu.SetAbilities(&abilities, 10, 50);
    FrameOver(0, false, 10); // enters Heal
    FrameOver(0, false, 10); // long hover at once (delay 0)
    EXPECT_EQ(shownCost, "Heal");
    EXPECT_EQ(HoverSounds(), 1u);
    FrameOver(0, false, 10);
    EXPECT_EQ(HoverSounds(), 1u);
    FrameOver(4, false, 10);
    FrameOver(4, false, 10);
    EXPECT_EQ(shownCost, "Rock");
    EXPECT_EQ(HoverSounds(), 2u);
    FrameOver(4, true, 10);
    FrameOver(4, false, 10);
    EXPECT_EQ(FrameOver(4, false, 10), menu.GetButton(1, 4));
    EXPECT_EQ(chosen, "Rock");
}

} // namespace
