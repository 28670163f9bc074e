// The game application on the OpenGL device: what a player sees after one frame.
#include "app/FrameClock.h"
#include "app/GameApplication.h"
#include "app/GameSession.h"
#include "core/DataManager.h"
#include "core/InputManager.h"
#include "scene/Camera.h"
#include "ui/MenuManager.h"
#include "ui/MouseOverManager.h"
#include "win32/TestHooks.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

namespace {

class GameApplicationGl : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Win32TestHooks::ResetWindowLayer();
        Win32TestHooks::CaptureMessageBoxes(true);
        D3D9SetBackEnd(D3D9_BACKEND_GL);
        FrameClock::Clear();
        DataManager::Reset();
        Camera::ResetForTests();
        MouseOverManager::ResetForTests();
        InputManager::Reset();
        app = std::make_unique<GameApplication>();
        static char module;
        ASSERT_EQ(app->Create(reinterpret_cast<HINSTANCE>(&module), nullptr), S_OK);
        // The game's layout size, shown full screen.
        app->SetWindowSize(1024, 768);
        ASSERT_TRUE(app->IsActive());
    }

    void TearDown() override
    {
        if (app) {
            PostQuitMessage(0);
            app->Run();
            app.reset();
        }
        MouseOverManager::ResetForTests();
        InputManager::Reset();
        Camera::ResetForTests();
        DataManager::Reset();
        D3D9SetBackEnd(D3D9_BACKEND_AUTO);
        Win32TestHooks::ResetWindowLayer();
    }

    // Reads the back buffer's pixels as 0xAARRGGBB, row 0 at the top.
    std::vector<uint32_t> BackBuffer(UINT* width, UINT* height)
    {
        IDirect3DSurface9* surface = nullptr;
        std::vector<uint32_t> pixels;
        if (FAILED(app->GetDevice()->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &surface)))
            return pixels;
        D3DSURFACE_DESC desc{};
        surface->GetDesc(&desc);
        D3DLOCKED_RECT locked{};
        if (SUCCEEDED(surface->LockRect(&locked, nullptr, D3DLOCK_READONLY))) {
            pixels.resize(static_cast<size_t>(desc.Width) * desc.Height);
            for (UINT y = 0; y < desc.Height; ++y) {
                const auto* row = reinterpret_cast<const uint32_t*>(static_cast<const uint8_t*>(locked.pBits) +
                                                                    static_cast<size_t>(y) * locked.Pitch);
                for (UINT x = 0; x < desc.Width; ++x)
                    pixels[static_cast<size_t>(y) * desc.Width + x] = row[x];
            }
            surface->UnlockRect();
        }
        surface->Release();
        *width = desc.Width;
        *height = desc.Height;
        return pixels;
    }

    std::unique_ptr<GameApplication> app;
};

int Channel(uint32_t argb, int shift)
{
    return static_cast<int>((argb >> shift) & 0xFF);
}

} // namespace

TEST_F(GameApplicationGl, MenuFrameShowsTheStartUpLevelAndTheHelpLabel)
{
    app->GetSession()->SetGameState(GAME_STATE_MAIN_MENU);
    // A second of frames: the mouse-over window that every start shows fades out meanwhile.
    Win32TestHooks::SetPerformanceCounter(1000, 0);
    FrameClock::Start();
    for (LONGLONG t = 50; t <= 1000; t += 50) {
        Win32TestHooks::SetPerformanceCounterValue(t);
        app->UpdateFrame();
        app->Render();
    }

    UINT width = 0;
    UINT height = 0;
    const std::vector<uint32_t> pixels = BackBuffer(&width, &height);
    ASSERT_EQ(width, 1024u);
    ASSERT_EQ(height, 768u);

    // Behind the menus lies the start-up level, not the grey of an empty scene: hardly a pixel of the lower
    // half (the ground) keeps the clear colour 0x808080.
    int grey = 0;
    for (UINT y = 384; y < height; y += 8)
        for (UINT x = 0; x < width; x += 8) {
            const uint32_t p = pixels[y * width + x];
            grey += std::abs(Channel(p, 16) - 0x80) <= 2 && std::abs(Channel(p, 8) - 0x80) <= 2 &&
                            std::abs(Channel(p, 0) - 0x80) <= 2
                        ? 1
                        : 0;
        }
    EXPECT_LT(grey, 48 * 128 / 20);

    // "F1 For Help" in white at (470, 10), its cell 16 pixels high and about 80 wide; the sky beside it
    // holds no white at all.
    const auto whiteIn = [&](UINT left, UINT right) {
        int white = 0;
        for (UINT y = 10; y < 30; ++y)
            for (UINT x = left; x < right; ++x) {
                const uint32_t p = pixels[y * width + x];
                white += Channel(p, 16) > 0xE8 && Channel(p, 8) > 0xE8 && Channel(p, 0) > 0xE8 ? 1 : 0;
            }
        return white;
    };
    EXPECT_GT(whiteIn(466, 570), 60);
    EXPECT_EQ(whiteIn(600, 704), 0);
}

// The intro shows the title alone: no interface text over it.
TEST_F(GameApplicationGl, IntroFrameShowsNoInterfaceText)
{
    app->Render();
    UINT width = 0;
    UINT height = 0;
    const std::vector<uint32_t> pixels = BackBuffer(&width, &height);
    ASSERT_EQ(width, 1024u);
    int lit = 0;
    for (UINT y = 10; y < 30; ++y)
        for (UINT x = 466; x < 570; ++x)
            lit += Channel(pixels[y * width + x], 16) > 0xC0 ? 1 : 0;
    EXPECT_EQ(lit, 0);
}

TEST_F(GameApplicationGl, ASmallerSceneRectangleShowsTheSceneInsideAndBlackAround)
{
    // No page covers the scene (a page switch also resets the scene rectangle, so it comes first).
    app->GetSession()->GetMenuManager()->SwitchScreen(SCREEN_EMPTY);
    // The deployment screen's board window: (62, 359), 647 x 385.
    app->SetSceneRect(62.0f, 359.0f, 647.0f, 385.0f);
    // A frame of stale pixels first: what lies outside the scene must not keep them.
    IDirect3DDevice9* device = app->GetDevice();
    device->BeginScene();
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF00FF00, 1.0f, 0);
    device->EndScene();
    // The intro's empty grey scene makes the rectangle easy to see.
    app->Render();

    UINT width = 0;
    UINT height = 0;
    const std::vector<uint32_t> pixels = BackBuffer(&width, &height);
    ASSERT_EQ(width, 1024u);
    const auto at = [&](UINT x, UINT y) { return pixels[y * width + x]; };
    for (const auto& [x, y] : {std::pair<UINT, UINT>{70, 365}, {700, 365}, {70, 735}, {700, 735}, {385, 550}}) {
        EXPECT_NEAR(Channel(at(x, y), 16), 0x80, 2) << x << "," << y;
        EXPECT_NEAR(Channel(at(x, y), 8), 0x80, 2) << x << "," << y;
    }
    for (const auto& [x, y] : {std::pair<UINT, UINT>{10, 10}, {55, 500}, {720, 500}, {385, 350}, {385, 750}}) {
        EXPECT_EQ(at(x, y) & 0x00FFFFFFu, 0u) << x << "," << y;
    }
}
