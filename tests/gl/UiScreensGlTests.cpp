// The loading screen and a help page drawn from the default data at 1024 x 768 on the GL device, each left as
// a picture under the build directory ("ui_loading_screen.png", "ui_help_page.png") to look at; the bar and the
// help window must show where they are placed.

#include "core/ApplicationLink.h"
#include "core/DataManager.h"
#include "core/Random.h"
#include "core/ScreenVertex.h"
#include "core/SpellDefinition.h"
#include "support/PngFile.h"
#include "support/TestDevice.h"
#include "ui/ButtonMenu.h"
#include "ui/DescriptionBox.h"
#include "ui/GuiButton.h"
#include "ui/HelpScreen.h"
#include "ui/LoadingScreen.h"
#include "ui/MouseOverManager.h"
#include "ui/TextLabel.h"
#include "win32/Win32.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr UINT WIDTH = 1024;
constexpr UINT HEIGHT = 768;

LRESULT CALLBACK ScreensWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

class FullScreen : public ApplicationLink
{
public:
    FullScreen()
    {
        parameters.BackBufferWidth = WIDTH;
        parameters.BackBufferHeight = HEIGHT;
    }
    const D3DPRESENT_PARAMETERS& GetPresentParameters() const override { return parameters; }
    D3DFORMAT GetBackBufferFormat() const override { return D3DFMT_X8R8G8B8; }
    void SetGuiScale(float, float) override { }

private:
    D3DPRESENT_PARAMETERS parameters{};
};

class UiScreensGl : public ::testing::Test
{
protected:
    void SetUp() override
    {
        static bool registered = false;
        if (!registered) {
            WNDCLASSA wc{};
            wc.lpfnWndProc = ScreensWindowProc;
            wc.lpszClassName = "UiScreensWindow";
            ASSERT_NE(RegisterClassA(&wc), 0u);
            registered = true;
        }
        window = CreateWindowExA(0, "UiScreensWindow", "screens", WS_POPUP, 0, 0, WIDTH, HEIGHT, nullptr, nullptr,
                                 nullptr, nullptr);
        ASSERT_NE(window, nullptr);
        ASSERT_NO_FATAL_FAILURE(CreateTestDevice(D3D9_BACKEND_GL, window, WIDTH, HEIGHT, &d3d, &device));
        DataManager::Reset();
        DataManager::Get()->SetDevice(device);
        DataManager::Get()->SetApplication(&screen);
        MouseOverManager::ResetForTests();
        MouseOverManager::Get()->Init();
    }
    void TearDown() override
    {
        MouseOverManager::ResetForTests();
        DataManager::Reset();
        ReleaseTestDevice(d3d, device);
        if (window)
            DestroyWindow(window);
    }

    // The overlay's states: alpha blended, untested depth, the texture tinted by the vertex colour.
    void OverlayStates()
    {
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
    }

    std::vector<D3DCOLOR> ReadBackBuffer()
    {
        std::vector<D3DCOLOR> pixels;
        IDirect3DSurface9* back = nullptr;
        if (FAILED(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back)) || !back)
            return pixels;
        D3DLOCKED_RECT locked{};
        if (SUCCEEDED(back->LockRect(&locked, nullptr, D3DLOCK_READONLY))) {
            pixels.resize(static_cast<size_t>(WIDTH) * HEIGHT);
            for (UINT y = 0; y < HEIGHT; ++y) {
                const auto* row = reinterpret_cast<const D3DCOLOR*>(static_cast<const uint8_t*>(locked.pBits) +
                                                                    static_cast<size_t>(y) * locked.Pitch);
                for (UINT x = 0; x < WIDTH; ++x)
                    pixels[static_cast<size_t>(y) * WIDTH + x] = row[x];
            }
            back->UnlockRect();
        }
        back->Release();
        return pixels;
    }

    static void Save(const std::vector<D3DCOLOR>& pixels, const std::string& path)
    {
        std::vector<uint8_t> rgb(pixels.size() * 3);
        for (size_t i = 0; i < pixels.size(); ++i) {
            rgb[i * 3] = static_cast<uint8_t>(pixels[i] >> 16);
            rgb[i * 3 + 1] = static_cast<uint8_t>(pixels[i] >> 8);
            rgb[i * 3 + 2] = static_cast<uint8_t>(pixels[i]);
        }
        EXPECT_TRUE(WritePng(path, WIDTH, HEIGHT, rgb)) << path;
    }

    static D3DCOLOR At(const std::vector<D3DCOLOR>& pixels, int x, int y)
    {
        return pixels[static_cast<size_t>(y) * WIDTH + static_cast<size_t>(x)];
    }
    static int Red(D3DCOLOR c) { return (c >> 16) & 0xFF; }
    static int Green(D3DCOLOR c) { return (c >> 8) & 0xFF; }
    static int Blue(D3DCOLOR c) { return c & 0xFF; }

    FullScreen screen;
    HWND window = nullptr;
    IDirect3D9* d3d = nullptr;
    IDirect3DDevice9* device = nullptr;
};

TEST_F(UiScreensGl, LoadingScreenShowsItsPictureAndAHalfFullBar)
{
    LoadingScreen loading;
    loading.Init();
    Srand(3);
    loading.Restart();
    DataManager::Get()->AdvanceTime(1.0f / 60.0f);
    loading.SetProgress(0.5f);

    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF808080, 1.0f, 0);
    ASSERT_EQ(device->BeginScene(), D3D_OK);
    OverlayStates();
    loading.Render();
    device->EndScene();
    const std::vector<D3DCOLOR> pixels = ReadBackBuffer();
    ASSERT_EQ(pixels.size(), static_cast<size_t>(WIDTH) * HEIGHT);
    Save(pixels, "ui_loading_screen.png");

    // The fill runs from x 210 to 517.5 inside the trough at y 638..667: red over the dark trough there,
    // the trough alone beyond it.
    const D3DCOLOR filled = At(pixels, 360, 652);
    EXPECT_GT(Red(filled), 120);
    EXPECT_LT(Green(filled), 60);
    const D3DCOLOR empty = At(pixels, 650, 652);
    EXPECT_LT(Red(empty), 60);
    // The picture fills the screen: no grey of the clear colour is left at the corners.
    for (const auto& corner : {At(pixels, 2, 2), At(pixels, 1021, 2), At(pixels, 2, 765), At(pixels, 1021, 765)})
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

    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF304050, 1.0f, 0);
    ASSERT_EQ(device->BeginScene(), D3D_OK);
    OverlayStates();
    help.Render();
    DrawQueuedText();
    device->EndScene();
    const std::vector<D3DCOLOR> pixels = ReadBackBuffer();
    ASSERT_EQ(pixels.size(), static_cast<size_t>(WIDTH) * HEIGHT);
    Save(pixels, "ui_help_page.png");

    // Outside the window the clear colour stays; inside it the window's dark panel covers it.
    EXPECT_EQ(At(pixels, 200, 300) & 0xFFFFFF, 0x304050u);
    EXPECT_NE(At(pixels, 310, 300) & 0xFFFFFF, 0x304050u);
    // The page's text: light glyph pixels somewhere in the picture's first lines.
    int light = 0;
    for (int y = 165; y < 260; ++y)
        for (int x = 325; x < 680; ++x)
            if (Red(At(pixels, x, y)) > 180 && Green(At(pixels, x, y)) > 160)
                ++light;
    EXPECT_GT(light, 200);
    // The close button's red cross at (693, 114) 16 x 15.
    int red = 0;
    for (int y = 114; y < 129; ++y)
        for (int x = 693; x < 709; ++x)
            if (Red(At(pixels, x, y)) > 120 && Green(At(pixels, x, y)) < 80)
                ++red;
    EXPECT_GT(red, 5);
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

    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF304050, 1.0f, 0);
    ASSERT_EQ(device->BeginScene(), D3D_OK);
    OverlayStates();
    box.Render();
    device->SetFVF(SCREEN_FVF);
    menu.Render();
    device->EndScene();
    const std::vector<D3DCOLOR> pixels = ReadBackBuffer();
    ASSERT_EQ(pixels.size(), static_cast<size_t>(WIDTH) * HEIGHT);
    Save(pixels, "ui_ability_row.png");

    // The box has risen to (346, 310), 336 x 391: its dark panel covers the clear colour there.
    EXPECT_NE(At(pixels, 514, 500) & 0xFFFFFF, 0x304050u);
    EXPECT_EQ(At(pixels, 300, 500) & 0xFFFFFF, 0x304050u);
    // The greyed third icon (frame 2) is grey where the first one shows its colour.
    const D3DCOLOR healthy = At(pixels, 388, 734);
    const D3DCOLOR greyed = At(pixels, 484, 734);
    EXPECT_NE(healthy & 0xFFFFFF, 0x304050u);
    EXPECT_LT(std::abs(Red(greyed) - Blue(greyed)), 12);
    menu.Release();
    box.Destroy();
}

} // namespace
