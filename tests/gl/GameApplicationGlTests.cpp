// The game application on the OpenGL device: what a player sees after one frame.
#include "app/FrameClock.h"
#include "app/GameApplication.h"
#include "app/GameSession.h"
#include "battle/ClassUnit.h"
#include "battle/Player.h"
#include "scene/AnimatedMesh.h"
#include "scene/Camera.h"
#include "scene/ParticleEmitter.h"
#include "scene/SkyDome.h"
#include "scene/Terrain.h"
#include "support/AppTest.h"
#include "support/SessionLinks.h"
#include "ui/MenuManager.h"
#include "win32/TestHooks.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <set>

namespace {

class GameApplicationGl : public AppTest
{
protected:
    void SetUp() override
    {
        AppTest::SetUp();
        Win32TestHooks::CaptureMessageBoxes(true);
        D3D9SetBackEnd(D3D9_BACKEND_GL);
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
        AppTest::TearDown();
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

    void Frame()
    {
        app->UpdateFrame();
        app->Render();
    }

    std::unique_ptr<GameApplication> app;
};

const char* const ClassFiles[] = {"Pikeman.txt",    "Militia.txt", "Paladin.txt", "Mage.txt",
                                  "CombatMage.txt", "Healer.txt",  "Rogue.txt",   "Assassin.txt",
                                  "Scout.txt",      "Knight.txt",  "Archer.txt"};

int Channel(uint32_t argb, int shift)
{
    return static_cast<int>((argb >> shift) & 0xFF);
}

} // namespace

TEST_F(GameApplicationGl, MenuFrameShowsTheStartUpLevelAndTheHelpLabel)
{
    app->GetSession()->SetGameState(GAME_STATE_MAIN_MENU);
    app->GetSession()->ApplyRequestedChanges();
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

// Drawn straight onto the back buffer, the start-up view (sky, stars, ground, statics, the menu and the text over
// them) is the picture the post-process pass makes of it, to the last pixel.
TEST_F(GameApplicationGl, TheSceneDrawnStraightIsThePictureThePostPassMakes)
{
    app->GetSession()->SetGameState(GAME_STATE_MAIN_MENU);
    app->GetSession()->ApplyRequestedChanges();
    Win32TestHooks::SetPerformanceCounter(1000, 0);
    FrameClock::Start();
    for (LONGLONG t = 50; t <= 500; t += 50) {
        Win32TestHooks::SetPerformanceCounterValue(t);
        Frame();
    }
    ASSERT_TRUE(app->PostPassIsPlainCopy());
    UINT width = 0;
    UINT height = 0;
    app->SetPostPassAlways(true);
    app->Render();
    const std::vector<uint32_t> throughPass = BackBuffer(&width, &height);
    app->SetPostPassAlways(false);
    app->Render();
    const std::vector<uint32_t> straight = BackBuffer(&width, &height);
    ASSERT_EQ(straight.size(), size_t{1024} * 768);
    ASSERT_EQ(throughPass.size(), straight.size());
    size_t differing = 0;
    for (size_t i = 0; i < straight.size(); ++i)
        differing += (straight[i] & 0x00FFFFFFu) != (throughPass[i] & 0x00FFFFFFu) ? 1 : 0;
    EXPECT_EQ(differing, 0u);
    // Not a blank picture compared with a blank one: the ground and the sky differ.
    EXPECT_NE(straight[100 * 1024 + 512] & 0x00FFFFFFu, straight[700 * 1024 + 512] & 0x00FFFFFFu);
}

// While the camera stands still the menu shows a kept picture of its world with the emitters over it: the frame
// that keeps the picture and the frames that show it again are the picture of the world drawn anew, to the last
// pixel, at every hour of the sky, over the start-up level and over the farm with its fire, smoke and embers.
TEST_F(GameApplicationGl, TheKeptWorldIsThePictureOfTheWorldDrawnAnew)
{
    GameSession* session = app->GetSession();
    session->SetGameState(GAME_STATE_MAIN_MENU);
    session->ApplyRequestedChanges();
    Win32TestHooks::SetPerformanceCounter(1000, 0);
    FrameClock::Start();
    LONGLONG now = 0;
    const auto frames = [&](int count) {
        for (int i = 0; i < count; ++i) {
            now += 50;
            Win32TestHooks::SetPerformanceCounterValue(now);
            Frame();
        }
    };
    frames(10);
    SkyDome* sky = SkyDome::Current();
    ASSERT_NE(sky, nullptr);
    const auto compareAt = [&](float hour, const char* level) {
        sky->SetSkyValue(hour);
        sky->UpdateVertices();
        UINT width = 0;
        UINT height = 0;
        session->SetWorldCacheAllowed(false);
        app->Render();
        const std::vector<uint32_t> drawn = BackBuffer(&width, &height);
        EXPECT_EQ(drawn.size(), size_t{1024} * 768);
        session->SetWorldCacheAllowed(true);
        // The first frame sees the camera for the first time, the second keeps the picture, the third shows it.
        app->Render();
        EXPECT_FALSE(session->GetWorldCache()->IsValid()) << level << ", hour " << hour;
        for (int frame = 0; frame < 2; ++frame) {
            app->Render();
            EXPECT_TRUE(session->GetWorldCache()->IsValid()) << level << ", hour " << hour;
            const std::vector<uint32_t> kept = BackBuffer(&width, &height);
            if (kept.size() != drawn.size() || drawn.empty()) {
                ADD_FAILURE() << "no picture";
                return 0u;
            }
            size_t differing = 0;
            for (size_t i = 0; i < kept.size(); ++i)
                differing += (kept[i] & 0x00FFFFFFu) != (drawn[i] & 0x00FFFFFFu) ? 1 : 0;
            EXPECT_EQ(differing, 0u) << level << ", hour " << hour << ", frame " << frame;
        }
        // Not a blank picture compared with a blank one: the ground and the sky differ.
        EXPECT_NE(drawn[100 * 1024 + 512] & 0x00FFFFFFu, drawn[700 * 1024 + 512] & 0x00FFFFFFu);
        return drawn[100 * 1024 + 512] & 0x00FFFFFFu;
    };
    std::set<uint32_t> skies;
    // The sky's strip runs over 24 units of its value: one hour in three.
    for (float hour = 0.0f; hour < 24.0f; hour += 3.0f)
        skies.insert(compareAt(hour, "start-up level"));
    EXPECT_GT(skies.size(), 3u) << "the hours show skies of their own";

    ASSERT_TRUE(FrontEnd(*session).LoadLevel("Farm"));
    ASSERT_EQ(Terrain::Current()->Emitters().size(), 3u);
    // Two seconds of fire, so that its particles stand over the ground.
    frames(40);
    compareAt(12.0f, "farm");
}

// A camera that moves draws its world every frame; the picture kept before it moved is not shown again.
TEST_F(GameApplicationGl, AMovingCameraDrawsItsWorldEveryFrame)
{
    GameSession* session = app->GetSession();
    session->SetGameState(GAME_STATE_MAIN_MENU);
    session->ApplyRequestedChanges();
    for (int frame = 0; frame < 3; ++frame)
        app->Render();
    ASSERT_TRUE(session->GetWorldCache()->IsValid());
    Camera* camera = Camera::Get();
    const D3DXMATRIX before = camera->GetView();
    camera->SetEyeAndTarget(camera->GetEye() + D3DXVECTOR3(40.0f, 0.0f, 0.0f), camera->GetLookAt());
    app->UpdateFrame();
    ASSERT_NE(std::memcmp(&before, &camera->GetView(), sizeof(D3DXMATRIX)), 0);
    UINT width = 0;
    UINT height = 0;
    app->Render();
    EXPECT_FALSE(session->GetWorldCache()->IsValid());
    const std::vector<uint32_t> moved = BackBuffer(&width, &height);
    session->SetWorldCacheAllowed(false);
    app->Render();
    const std::vector<uint32_t> drawn = BackBuffer(&width, &height);
    ASSERT_EQ(moved.size(), drawn.size());
    EXPECT_TRUE(moved == drawn);
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

// A full battle's units (two of each class) loaded by the loading job on the worker thread while the main
// thread draws the loading screen, and then drawn in the battle. The ThreadSanitizer tree runs this too: the two
// threads must share nothing without a guard.
TEST_F(GameApplicationGl, TheUnitsOfAFullBattleLoadOnTheWorkerWhileTheLoadingScreenIsDrawn)
{
    GameSession* session = app->GetSession();
    FrontEnd(*session).LoadLevel("Farm");
    FrontEnd(*session).AddPlayer(0);
    FrontEnd(*session).AddPlayer(1);
    // Two ranks a few hexes apart, each player one unit of every class.
    for (int team = 0; team < 2; ++team)
        for (int i = 0; i < 11; ++i)
            FrontEnd(*session).AddUnit(team, ClassFiles[i], 14 + 6 * team, 10 + 2 * i);
    std::vector<ClassUnit*> units;
    for (int team = 0; team < 2; ++team)
        for (BoardUnit* unit : session->GetPlayer(team)->GetUnits())
            units.push_back(dynamic_cast<ClassUnit*>(unit));
    ASSERT_EQ(units.size(), 22u);
    for (ClassUnit* unit : units)
        ASSERT_NE(unit, nullptr);

    session->SetGameState(GAME_STATE_LOADING);

    session->ApplyRequestedChanges();
    // The bar fills at most 0.3 of its length a second once the job is done: 3.4 s after the job, the battle.
    int framesWhileLoading = 0;
    const auto start = std::chrono::steady_clock::now();
    while (session->GetGameState() == GAME_STATE_LOADING &&
           std::chrono::steady_clock::now() - start < std::chrono::seconds(60)) {
        if (!session->GetLoad().IsDone())
            ++framesWhileLoading;
        Frame();
    }
    ASSERT_EQ(session->GetGameState(), GAME_STATE_BATTLE);
    EXPECT_GE(framesWhileLoading, 1) << "the loading screen is drawn while the worker loads";

    for (ClassUnit* unit : units) {
        ASSERT_TRUE(unit->Model() && unit->Model()->IsLoaded()) << unit->GetCost();
        // Idle and the eleven animation files' sets at least (the knight's extra files more).
        EXPECT_GE(unit->Model()->GetSetCount(), 12u);
        EXPECT_EQ(unit->Model()->GetNames().count("Walk"), 1u);
        EXPECT_TRUE(unit->Rules().turn.visible);
    }
    // The battle draws them: the buffers and textures made on the worker reach GL on this thread.
    for (int frame = 0; frame < 3; ++frame)
        Frame();
    EXPECT_EQ(session->GetGameState(), GAME_STATE_BATTLE);
}
