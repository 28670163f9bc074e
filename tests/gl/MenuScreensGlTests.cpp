// The front-end screens drawn from the default data at 1024 x 768 on the GL device: main menu, options, end of
// game, and deployment before and after a player is chosen. Each is left under the build directory as a picture
// ("ui_menu_*.png") to look at; their buttons must show where they are placed.

#include "core/ApplicationLink.h"
#include "core/DataManager.h"
#include "core/ScreenVertex.h"
#include "scene/Camera.h"
#include "support/PngFile.h"
#include "support/TestDevice.h"
#include "ui/GuiButton.h"
#include "ui/GuiPanel.h"
#include "ui/MenuManager.h"
#include "ui/MouseOverManager.h"
#include "ui/TextLabel.h"
#include "win32/Win32.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr UINT WIDTH = 1024;
constexpr UINT HEIGHT = 768;

LRESULT CALLBACK MenuWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
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

class MenuScreensGl : public ::testing::Test
{
protected:
    void SetUp() override
    {
        static bool registered = false;
        if (!registered) {
            WNDCLASSA wc{};
            wc.lpfnWndProc = MenuWindowProc;
            wc.lpszClassName = "MenuScreensWindow";
            ASSERT_NE(RegisterClassA(&wc), 0u);
            registered = true;
        }
        window = CreateWindowExA(0, "MenuScreensWindow", "screens", WS_POPUP, 0, 0, WIDTH, HEIGHT, nullptr, nullptr,
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
        device->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_MIRROR);
        device->SetSamplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_MIRROR);
    }

    // Shows the screen with its widgets faded in and returns the picture, saved under the given name.
    std::vector<D3DCOLOR> Shoot(MenuManager& menu, int screen, const std::string& name)
    {
        menu.SwitchScreen(screen);
        for (int i = 0; i < 90; ++i) {
            DataManager::Get()->AdvanceTime(1.0f / 60.0f);
            MouseOverManager::Get()->Update();
            menu.Update();
        }
        device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF808080, 1.0f, 0);
        EXPECT_EQ(device->BeginScene(), D3D_OK);
        OverlayStates();
        device->SetFVF(SCREEN_FVF);
        menu.Render();
        DrawQueuedText();
        device->EndScene();
        std::vector<D3DCOLOR> pixels = ReadBackBuffer();
        EXPECT_EQ(pixels.size(), static_cast<size_t>(WIDTH) * HEIGHT);
        if (pixels.size() == static_cast<size_t>(WIDTH) * HEIGHT)
            Save(pixels, name);
        return pixels;
    }

    // A button's face differs from the grey behind it at its centre and from its own surroundings somewhere.
    static void ExpectDrawnAt(const std::vector<D3DCOLOR>& pixels, int x, int y, const char* what)
    {
        if (pixels.empty())
            return;
        EXPECT_NE(At(pixels, x, y) & 0xFFFFFF, 0x808080u) << what;
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

TEST_F(MenuScreensGl, FrontEndScreensShowTheirButtonsWhereTheyArePlaced)
{
    Camera::ResetForTests();
    MenuManager menu;
    menu.BuildFrontEnd();
    ASSERT_TRUE(menu.IsBuilt());

    const std::vector<D3DCOLOR> main = Shoot(menu, SCREEN_MAIN_MENU, "ui_menu_main.png");
    // Start (438, 255) 149 x 61, Help (442, 313), Options (441, 373), Quit (438, 427): centres.
    ExpectDrawnAt(main, 512, 285, "start");
    ExpectDrawnAt(main, 513, 339, "help");
    ExpectDrawnAt(main, 512, 401, "options");
    ExpectDrawnAt(main, 512, 452, "quit");
    // Between the rows and beside them the grey stays.
    EXPECT_EQ(At(main, 300, 285) & 0xFFFFFF, 0x808080u);

    const std::vector<D3DCOLOR> options = Shoot(menu, SCREEN_OPTIONS, "ui_menu_options.png");
    ExpectDrawnAt(options, 512, 285, "800");
    ExpectDrawnAt(options, 512, 452, "back");

    const std::vector<D3DCOLOR> end = Shoot(menu, SCREEN_END_OF_GAME, "ui_menu_end_of_game.png");
    ExpectDrawnAt(end, 511, 704, "rematch");
    ExpectDrawnAt(end, 511, 745, "quit");
    // The backdrop (0.27, 0.2, 0.2, 0.9) over the grey at (100, 380): 0.9 x 69 + 0.1 x 128 = 74.9 red,
    // 0.9 x 51 + 12.8 = 58.7 green.
    if (!end.empty()) {
        EXPECT_NEAR(Red(At(end, 100, 380)), 75, 3);
        EXPECT_NEAR(Green(At(end, 100, 380)), 59, 3);
    }

    const std::vector<D3DCOLOR> deployment = Shoot(menu, SCREEN_DEPLOYMENT, "ui_menu_deployment.png");
    ExpectDrawnAt(deployment, 87, 47, "player 1");
    ExpectDrawnAt(deployment, 87, 88, "player 2");
    ExpectDrawnAt(deployment, 386, 728, "deploy");
    ExpectDrawnAt(deployment, 430, 330, "left arrow");
    menu.SetDeployingPlayer(0);
    const std::vector<D3DCOLOR> deploying = Shoot(menu, SCREEN_DEPLOYMENT, "ui_menu_deployment_player1.png");
    // The roster backdrops take the first player's blue.
    if (!deploying.empty()) {
        const D3DCOLOR box = At(deploying, 195, 140);
        EXPECT_GT(Blue(box), Red(box));
    }
    menu.Destroy();
    Camera::ResetForTests();
}

} // namespace
