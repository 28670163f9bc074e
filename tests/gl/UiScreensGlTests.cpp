// The interface's screens drawn from the default data at 1024 x 768 on the GL device: main menu, options, end of
// game and deployment; the loading screen, a help page and the ability row. Each is left under the build
// directory as a picture ("ui_*.png") to look at; their parts must show where they are placed.

#include "core/DataManager.h"
#include "core/Random.h"
#include "core/ScreenVertex.h"
#include "core/SpellDefinition.h"
#include "gl/GlDeviceFixture.h"
#include "ui/ButtonMenu.h"
#include "ui/DeploymentPage.h"
#include "ui/DescriptionBox.h"
#include "ui/GuiButton.h"
#include "ui/GuiPanel.h"
#include "ui/HelpScreen.h"
#include "ui/LoadingScreen.h"
#include "ui/MenuManager.h"
#include "ui/MouseOverManager.h"
#include "ui/TextLabel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

class UiScreensGl : public GlScreenFixture<UiTest>
{
protected:
    UiScreensGl() : GlScreenFixture(1024, 768) { }
    void SetUp() override
    {
        GlScreenFixture::SetUp();
        if (HasFatalFailure())
            return;
        MouseOverManager::Get()->Init();
    }

    // Clears, draws the overlay in its states (alpha blended, untested depth, the texture tinted by the vertex
    // colour), reads the picture back and saves it.
    template <typename Draw>
    std::vector<D3DCOLOR> Shoot(D3DCOLOR background, const std::string& name, Draw draw)
    {
        device->Clear(0, nullptr, D3DCLEAR_TARGET, background, 1.0f, 0);
        EXPECT_EQ(device->BeginScene(), D3D_OK);
        device->SetRenderState(D3DRS_LIGHTING, FALSE);
        device->SetRenderState(D3DRS_ZENABLE, FALSE);
        device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
        device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
        device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
        device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
        device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
        device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
        device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
        device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
        device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
        device->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
        device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
        device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
        device->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_MIRROR);
        device->SetSamplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_MIRROR);
        draw();
        device->EndScene();
        std::vector<D3DCOLOR> pixels = ReadBackBuffer();
        EXPECT_EQ(pixels.size(), static_cast<size_t>(width) * height);
        if (pixels.size() != static_cast<size_t>(width) * height)
            pixels.assign(static_cast<size_t>(width) * height, background);
        SavePicture(pixels, name);
        return pixels;
    }

    // Shows the menu's screen with its widgets faded in.
    std::vector<D3DCOLOR> ShootMenu(MenuManager& menu, int page, const std::string& name)
    {
        menu.SwitchScreen(page);
        for (int i = 0; i < 90; ++i) {
            DataManager::Get()->AdvanceTime(1.0f / 60.0f);
            MouseOverManager::Get()->Update();
            menu.Update();
        }
        return Shoot(0xFF808080, name, [&] {
            device->SetFVF(SCREEN_FVF);
            menu.Render();
            DrawQueuedText();
        });
    }

    // Something is drawn over the grey at a button's centre.
    void ExpectDrawnAt(const std::vector<D3DCOLOR>& pixels, int x, int y, const char* what) const
    {
        EXPECT_NE(Pixel(pixels, x, y) & 0xFFFFFF, 0x808080u) << what;
    }
};

TEST_F(UiScreensGl, FrontEndScreensShowTheirButtonsWhereTheyArePlaced)
{
    MenuManager menu;
    menu.BuildFrontEnd();
    ASSERT_TRUE(menu.IsBuilt());

    const std::vector<D3DCOLOR> main = ShootMenu(menu, SCREEN_MAIN_MENU, "ui_menu_main.png");
    // Start (438, 255) 149 x 61, Help (442, 313), Options (441, 373), Quit (438, 427): centres.
    ExpectDrawnAt(main, 512, 285, "start");
    ExpectDrawnAt(main, 513, 339, "help");
    ExpectDrawnAt(main, 512, 401, "options");
    ExpectDrawnAt(main, 512, 452, "quit");
    // Between the rows and beside them the grey stays.
    EXPECT_EQ(Pixel(main, 300, 285) & 0xFFFFFF, 0x808080u);

    const std::vector<D3DCOLOR> options = ShootMenu(menu, SCREEN_OPTIONS, "ui_menu_options.png");
    ExpectDrawnAt(options, 512, 285, "800");
    ExpectDrawnAt(options, 512, 452, "back");

    const std::vector<D3DCOLOR> end = ShootMenu(menu, SCREEN_END_OF_GAME, "ui_menu_end_of_game.png");
    ExpectDrawnAt(end, 511, 704, "rematch");
    ExpectDrawnAt(end, 511, 745, "quit");
    // The backdrop (0.27, 0.2, 0.2, 0.9) over the grey at (100, 380): 0.9 x 69 + 0.1 x 128 = 74.9 red,
    // 0.9 x 51 + 12.8 = 58.7 green.
    EXPECT_NEAR(Red(Pixel(end, 100, 380)), 75, 3);
    EXPECT_NEAR(Green(Pixel(end, 100, 380)), 59, 3);

    const std::vector<D3DCOLOR> deployment = ShootMenu(menu, SCREEN_DEPLOYMENT, "ui_menu_deployment.png");
    ExpectDrawnAt(deployment, 87, 47, "player 1");
    ExpectDrawnAt(deployment, 87, 88, "player 2");
    ExpectDrawnAt(deployment, 386, 728, "deploy");
    ExpectDrawnAt(deployment, 430, 330, "left arrow");
    menu.Deployment().SetDeployingPlayer(0);
    const std::vector<D3DCOLOR> deploying = ShootMenu(menu, SCREEN_DEPLOYMENT, "ui_menu_deployment_player1.png");
    // The roster backdrops take the first player's blue.
    EXPECT_GT(Blue(Pixel(deploying, 195, 140)), Red(Pixel(deploying, 195, 140)));
    menu.Destroy();
}

TEST_F(UiScreensGl, LoadingScreenShowsItsPictureAndAHalfFullBar)
{
    LoadingScreen loading;
    loading.Init();
    Srand(3);
    loading.Restart();
    DataManager::Get()->AdvanceTime(1.0f / 60.0f);
    loading.SetProgress(0.5f);

    const std::vector<D3DCOLOR> pixels = Shoot(0xFF808080, "ui_loading_screen.png", [&] { loading.Render(); });

    // The fill runs from x 210 to 517.5 inside the trough at y 638..667: red over the dark trough there,
    // the trough alone beyond it.
    const D3DCOLOR filled = Pixel(pixels, 360, 652);
    EXPECT_GT(Red(filled), 120);
    EXPECT_LT(Green(filled), 60);
    const D3DCOLOR empty = Pixel(pixels, 650, 652);
    EXPECT_LT(Red(empty), 60);
    // The picture fills the screen: no grey of the clear colour is left at the corners.
    for (const D3DCOLOR corner :
         {Pixel(pixels, 2, 2), Pixel(pixels, 1021, 2), Pixel(pixels, 2, 765), Pixel(pixels, 1021, 765)})
        EXPECT_FALSE(Red(corner) == 0x80 && Green(corner) == 0x80 && Blue(corner) == 0x80);
    loading.Destroy();
}

TEST_F(UiScreensGl, HelpPageShowsItsWindowTextAndLabels)
{
    HelpScreen help;
    help.Init();
    help.SetPage(1);
    help.Show(true);
    // Half a second of frames: the counter fades in.
    for (int i = 0; i < 30; ++i) {
        DataManager::Get()->AdvanceTime(1.0f / 60.0f);
        help.Update();
    }

    const std::vector<D3DCOLOR> pixels = Shoot(0xFF304050, "ui_help_page.png", [&] {
        help.Render();
        DrawQueuedText();
    });

    // Outside the window the clear colour stays; inside it the window's dark panel covers it.
    EXPECT_EQ(Pixel(pixels, 200, 300) & 0xFFFFFF, 0x304050u);
    EXPECT_NE(Pixel(pixels, 310, 300) & 0xFFFFFF, 0x304050u);
    // The page's text: light glyph pixels somewhere in the picture's first lines.
    int light = 0;
    for (int y = 165; y < 260; ++y)
        for (int x = 325; x < 680; ++x)
            if (Red(Pixel(pixels, x, y)) > 180 && Green(Pixel(pixels, x, y)) > 160)
                ++light;
    EXPECT_GT(light, 200);
    // The close button's red cross at (693, 114) 16 x 15.
    int red = 0;
    for (int y = 114; y < 129; ++y)
        for (int x = 693; x < 709; ++x)
            if (Red(Pixel(pixels, x, y)) > 120 && Green(Pixel(pixels, x, y)) < 80)
                ++red;
    EXPECT_GT(red, 5);
    help.Release();
}

TEST_F(UiScreensGl, TheLongestHelpTitleStaysOnItsPlate)
{
    HelpScreen help;
    help.Init();
    help.SetPage(2); // "Deployment Window & Camera"
    help.Show(true);
    for (int i = 0; i < 30; ++i) {
        DataManager::Get()->AdvanceTime(1.0f / 60.0f);
        help.Update();
    }
    const std::vector<D3DCOLOR> pixels = Shoot(0xFF304050, "ui_help_title.png", [&] {
        help.Render();
        DrawQueuedText();
    });
    // The plate's gold trim across the middle of the title band, and the title's white glyphs.
    constexpr int kMiddle = 137;
    int trimLeft = 1024, trimRight = -1;
    for (int x = 310; x < 715; ++x) {
        const D3DCOLOR c = Pixel(pixels, x, kMiddle);
        if (Red(c) > 90 && Red(c) < 170 && Green(c) > 55 && Green(c) < 125 && Blue(c) < 60) {
            trimLeft = std::min(trimLeft, x);
            trimRight = std::max(trimRight, x);
        }
    }
    int textLeft = 1024, textRight = -1;
    for (int y = 121; y < 153; ++y)
        for (int x = 310; x < 715; ++x) {
            const D3DCOLOR c = Pixel(pixels, x, y);
            if (Red(c) > 200 && Green(c) > 200 && Blue(c) > 200) {
                textLeft = std::min(textLeft, x);
                textRight = std::max(textRight, x);
            }
        }
    ASSERT_LT(trimLeft, trimRight) << "the plate's trim";
    ASSERT_LT(textLeft, textRight) << "the title";
    // Clear of the trim on both sides, not merely inside it.
    EXPECT_GT(textLeft, trimLeft + 12) << trimLeft << ".." << trimRight;
    EXPECT_LT(textRight, trimRight - 12) << trimLeft << ".." << trimRight;
    // And the plate stays clear of the close button (x 693).
    EXPECT_LT(trimRight, 693);
    help.Release();
}

// The ability row with three spells (the last greyed for want of mana) and the description box risen over
// it for the first one: "ui_ability_row.png".
TEST_F(UiScreensGl, AbilityRowAndDescriptionBoxShowTheHoveredSpell)
{
    std::vector<SpellDefinition> spells(3);
    const char* files[3] = {"Heal", "PillarOfFlames", "ShardsOfIce"};
    for (int i = 0; i < 3; ++i) {
        spells[i].fileName = files[i];
        spells[i].usesLeft = 3;
        spells[i].actionPointCost = 4;
        spells[i].manaCost = 10 * (i + 1);
    }
    spells[0].description = "Heals a friendly unit within three hexes.\nRestores 30 health.";
    ButtonMenu menu;
    menu.BuildAbilityRow(367.0f);
    menu.SwitchRow(1);
    menu.SetAbilities(&spells, 10, 25);
    DescriptionBox box;
    box.Init();
    MouseOverManager::Get()->MovePointer(388, 734);
    for (int i = 0; i < 120; ++i) {
        DataManager::Get()->AdvanceTime(1.0f / 60.0f);
        MouseOverManager::Get()->Update();
        menu.Update();
        box.Update();
    }
    ASSERT_EQ(box.GetShownButton(), menu.GetButton(1, 0));

    const std::vector<D3DCOLOR> pixels = Shoot(0xFF304050, "ui_ability_row.png", [&] {
        box.Render();
        device->SetFVF(SCREEN_FVF);
        menu.Render();
    });

    // The box has risen to (346, 310), 336 x 391: its dark panel covers the clear colour there.
    EXPECT_NE(Pixel(pixels, 514, 500) & 0xFFFFFF, 0x304050u);
    EXPECT_EQ(Pixel(pixels, 300, 500) & 0xFFFFFF, 0x304050u);
    // The greyed third icon (frame 2) is grey where the first one shows its colour.
    const D3DCOLOR healthy = Pixel(pixels, 388, 734);
    const D3DCOLOR greyed = Pixel(pixels, 484, 734);
    EXPECT_NE(healthy & 0xFFFFFF, 0x304050u);
    EXPECT_LT(std::abs(Red(greyed) - Blue(greyed)), 12);
    menu.Release();
    box.Destroy();
}

} // namespace
