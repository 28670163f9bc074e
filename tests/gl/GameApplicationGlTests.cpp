// The game application on the OpenGL device: what a player sees after one frame.
#include "app/FrameClock.h"
#include "app/GameApplication.h"
#include "app/GameSession.h"
#include "battle/BoardPointer.h"
#include "battle/ClassUnit.h"
#include "battle/HexGrid.h"
#include "battle/Player.h"
#include "battle/Unit.h"
#include "scene/AnimatedMesh.h"
#include "scene/Camera.h"
#include "scene/Decal.h"
#include "scene/DecalManager.h"
#include "scene/LevelObject.h"
#include "scene/ParticleEmitter.h"
#include "scene/SkyDome.h"
#include "scene/StaticMesh.h"
#include "scene/StaticObjectSet.h"
#include "scene/Terrain.h"
#include "scene/WorldCache.h"
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

// A view that looks down on the ground, as a battle's camera does, cannot show the dome: the world it draws is the
// same at every hour of the sky, at night too, when the stars go behind the ground. So its kept picture need not
// be drawn again when the sky steps on.
TEST_F(GameApplicationGl, AViewThatLooksDownOnTheGroundIsTheSameAtEveryHour)
{
    GameSession* session = app->GetSession();
    session->SetGameState(GAME_STATE_MAIN_MENU);
    session->ApplyRequestedChanges();
    session->SetWorldCacheAllowed(false);
    Camera* camera = Camera::Get();
    const D3DXVECTOR3 eye = camera->GetEye();
    const D3DXVECTOR3 target = camera->GetLookAt();
    // Down at the ground at 60 degrees from 1250 above it. The ground here lies some 1400 above the dome's rim: the
    // top of the view, 37.5 degrees down, meets the rim's height some 3500 away, well inside the dome.
    const D3DXVECTOR3 over(target.x, target.y + 1250.0f, target.z - 720.0f);
    camera->SetEyeAndTarget(over, target);
    SkyDome* sky = SkyDome::Current();
    ASSERT_NE(sky, nullptr);
    ASSERT_TRUE(sky->IsOutsideView(camera->GetViewProjection()));
    // The menu's first frame lays out its help label.
    app->UpdateFrame();
    app->Render();
    std::vector<uint32_t> first;
    // The sky's strip runs over 24 units of its value: one hour in three, night and day.
    for (float hour = 0.0f; hour < 24.0f; hour += 3.0f) {
        // The update culls the ground for the view.
        app->UpdateFrame();
        sky->SetSkyValue(hour);
        sky->UpdateVertices();
        app->Render();
        UINT width = 0;
        UINT height = 0;
        std::vector<uint32_t> drawn = BackBuffer(&width, &height);
        ASSERT_EQ(drawn.size(), size_t{1024} * 768);
        for (uint32_t& pixel : drawn)
            pixel &= 0x00FFFFFFu;
        if (first.empty()) {
            first = std::move(drawn);
            // Not a blank picture: the ground near the eye and far from it differ.
            EXPECT_NE(first[100 * 1024 + 512], first[700 * 1024 + 512]);
            continue;
        }
        // The pointer, animated, stands at the mouse's place: 32 by 32 pixels at the corner.
        size_t differing = 0;
        for (size_t i = 0; i < drawn.size(); ++i)
            differing += drawn[i] != first[i] && (i % 1024 >= 32 || i / 1024 >= 32) ? 1 : 0;
        EXPECT_EQ(differing, 0u) << "hour " << hour;
    }
    camera->SetEyeAndTarget(eye, target);
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

namespace {

// A battle on the farm, three units a side, brought to its first turn with the camera following the unit whose
// turn it is; frames of 50 ms on the replaced clock.
class KeptBattleWorldGl : public GameApplicationGl
{
protected:
    void SetUp() override
    {
        GameApplicationGl::SetUp();
        if (HasFatalFailure())
            return;
        session = app->GetSession();
        FrontEnd(*session).LoadLevel("Farm");
        FrontEnd(*session).AddPlayer(0);
        FrontEnd(*session).AddPlayer(1);
        for (int team = 0; team < 2; ++team)
            for (int i = 0; i < 3; ++i)
                FrontEnd(*session).AddUnit(team, ClassFiles[team * 3 + i], 14 + 4 * team, 14 + 2 * i);
        Win32TestHooks::SetPerformanceCounter(1000, 0);
        FrameClock::Start();
        session->SetGameState(GAME_STATE_LOADING);
        session->ApplyRequestedChanges();
        const auto start = std::chrono::steady_clock::now();
        while (session->GetGameState() == GAME_STATE_LOADING &&
               std::chrono::steady_clock::now() - start < std::chrono::seconds(60))
            Frames(1);
        ASSERT_EQ(session->GetGameState(), GAME_STATE_BATTLE);
        for (int frame = 0;
             frame < 2000 && (session->GetFlyOver().IsActive() || !session->GetTurnFlow().IsTurnActive()); ++frame)
            Frames(1);
        ASSERT_FALSE(session->GetFlyOver().IsActive());
        ASSERT_TRUE(session->GetTurnFlow().IsTurnActive());
    }

    // The hexes lit by a frame's update are drawn, and forgotten, by its drawing: they are kept here to be lit
    // again for the same frame drawn again.
    void Frames(int count)
    {
        for (int i = 0; i < count; ++i) {
            now += 50;
            Win32TestHooks::SetPerformanceCounterValue(now);
            app->UpdateFrame();
            lit = HexGrid::Current() ? HexGrid::Current()->GetPathList() : std::vector<Hex*>{};
            app->Render();
        }
    }

    // Frames until the view has stood still, bit for bit, for 20 frames running; the frames that count are
    // returned, or -1 when it never rests.
    int FramesUntilTheCameraRests(int limit, int* keptWhileMoving)
    {
        D3DXMATRIX last = Camera::Get()->GetView();
        int still = 0;
        for (int frame = 1; frame <= limit; ++frame) {
            Frames(1);
            const D3DXMATRIX& view = Camera::Get()->GetView();
            if (WorldCache::SameMatrix(view, last)) {
                if (++still == 20)
                    return frame;
            } else {
                still = 0;
                *keptWhileMoving += session->GetWorldCache()->IsValid() ? 1 : 0;
            }
            last = view;
        }
        return -1;
    }

    // The unit whose turn it is is told to move and the pointer goes to a hex three columns from it: the path
    // there lights up.
    void AimAMove()
    {
        auto* active = dynamic_cast<Unit*>(session->GetTurnFlow().GetActiveUnit());
        ASSERT_NE(active, nullptr);
        ASSERT_NE(active->GetHex(), nullptr);
        active->SetState(SELECTING_MOVE);
        const Hex* from = active->GetHex();
        const Hex* aimed = HexGrid::Current()->GetHex(from->row, from->column + (from->column < 21 ? 3 : -3));
        ASSERT_NE(aimed, nullptr);
        D3DXVECTOR3 onScreen;
        const D3DXVECTOR3 centre(aimed->CentreX(), aimed->meanHeight, aimed->CentreZ());
        D3DXVec3TransformCoord(&onScreen, &centre, &Camera::Get()->GetViewProjection());
        POINT pointer{static_cast<LONG>((onScreen.x + 1.0f) * 512.0f), static_cast<LONG>((1.0f - onScreen.y) * 384.0f)};
        ClientToScreen(app->GetWindow(), &pointer);
        SetCursorPos(static_cast<int>(pointer.x), static_cast<int>(pointer.y));
        Frames(10);
        ASSERT_NE(BoardPointer::Get()->GetHovered(), nullptr);
        ASSERT_GE(lit.size(), 2u) << "the path to the hovered hex is lit";
    }

    std::vector<uint32_t> Picture()
    {
        UINT width = 0;
        UINT height = 0;
        std::vector<uint32_t> pixels = BackBuffer(&width, &height);
        for (uint32_t& pixel : pixels)
            pixel &= 0x00FFFFFFu;
        return pixels;
    }

    static size_t Differing(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b)
    {
        if (a.size() != b.size() || a.empty())
            return SIZE_MAX;
        size_t differing = 0;
        for (size_t i = 0; i < a.size(); ++i)
            differing += a[i] != b[i] ? 1 : 0;
        return differing;
    }

    // The frame drawn again, with its world kept or drawn anew.
    std::vector<uint32_t> DrawnAgain(bool keptWorld)
    {
        HexGrid::Current()->ClearPathList();
        for (Hex* hex : lit)
            HexGrid::Current()->AddToList(hex);
        session->SetWorldCacheAllowed(keptWorld);
        app->Render();
        session->SetWorldCacheAllowed(true);
        return Picture();
    }
    std::vector<uint32_t> DrawnAnew() { return DrawnAgain(false); }

    GameSession* session = nullptr;
    LONGLONG now = 0;
    std::vector<Hex*> lit;
};

} // namespace

// In a battle the world's still part (sky, ground, blood, the level's objects) is kept as a picture while the
// camera stands still, and the units, their shadows and rings, the lit hexes and the hovered one are drawn over
// it: every frame is the frame drawn anew, to the last pixel, as the units move in their idle, the hexes fade and
// blood is laid on the ground while the camera stands still.
TEST_F(KeptBattleWorldGl, TheKeptBattleWorldIsThePictureOfTheBattleDrawnAnew)
{
    // The camera follows the unit whose turn it is and comes to rest bit for bit; no picture is kept while it
    // moves.
    int keptWhileMoving = 0;
    const int rested = FramesUntilTheCameraRests(1500, &keptWhileMoving);
    ASSERT_GT(rested, 0) << "the camera never rests";
    EXPECT_GT(rested, 20) << "the camera first moves to the unit";
    EXPECT_EQ(keptWhileMoving, 0);
    EXPECT_TRUE(session->GetWorldCache()->IsValid());

    // The pointer over a hex the unit may move to, the path there lit.
    AimAMove();
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_TRUE(session->GetWorldCache()->IsValid()) << "a hovered hex does not make the world drawn anew";

    // Drawing the same frame twice gives the same picture: what the comparisons below rely on.
    const std::vector<uint32_t> kept = Picture();
    const std::vector<uint32_t> anew = DrawnAnew();
    ASSERT_EQ(kept.size(), size_t{1024} * 768);
    EXPECT_EQ(Differing(anew, DrawnAnew()), 0u);
    EXPECT_EQ(Differing(kept, anew), 0u) << "kept world over the hovered hex";

    // A blow's blood laid beside the unit whose turn it is while the camera stands still: the kept picture
    // holds it from the next frame on.
    const auto* active = dynamic_cast<const Unit*>(session->GetTurnFlow().GetActiveUnit());
    ASSERT_NE(active, nullptr);
    // Laid in a frame right after the sky stepped on, the blood would be a second change running and the frame
    // drawn anew: it is laid after a frame that kept the picture it found.
    Frames(3);
    for (int frame = 0; frame < 10; ++frame) {
        const unsigned drawn = session->GetWorldCache()->PicturesDrawn();
        Frames(1);
        if (session->GetWorldCache()->PicturesDrawn() == drawn)
            break;
    }
    ASSERT_TRUE(session->GetWorldCache()->IsValid());
    const std::vector<uint32_t> beforeBlood = Picture();
    auto* blood = new Decal;
    blood->SetTexture("BloodSplat1.tga");
    blood->Create(4, active->GetPosition().x + 60.0f, active->GetPosition().z - 40.0f, true);
    DecalManager::Get()->Add(blood);
    const std::vector<uint32_t> withBlood = DrawnAgain(true);
    EXPECT_TRUE(session->GetWorldCache()->IsValid());
    const std::vector<uint32_t> withBloodAnew = DrawnAnew();
    EXPECT_EQ(Differing(withBlood, withBloodAnew), 0u) << "blood laid while the camera stands still";
    EXPECT_GT(Differing(beforeBlood, withBloodAnew), 200u) << "the blood shows";

    // Seconds of the turn go by: the units breathe, the hexes pulse and the turn's ring turns over the picture.
    std::vector<uint32_t> earlier = withBlood;
    for (int step = 0; step < 3; ++step) {
        Frames(12);
        ASSERT_TRUE(session->GetWorldCache()->IsValid()) << step;
        const std::vector<uint32_t> later = Picture();
        EXPECT_EQ(Differing(later, DrawnAnew()), 0u) << "after " << (step + 1) * 12 << " frames";
        EXPECT_GT(Differing(later, earlier), 0u) << "the frame moved on";
        earlier = later;
        // The kept picture comes back after the frame drawn anew.
        Frames(3);
    }
}

// The hex highlights lie on the ground under the level's objects, as the decals do: drawn after the objects (so
// that the objects may be kept in the picture), they keep off the pixels an object covers. A rock or house set
// down on the lit hexes in front of the unit whose turn it is hides them.
TEST_F(KeptBattleWorldGl, TheLevelsObjectsStandOverTheLitHexes)
{
    int keptWhileMoving = 0;
    ASSERT_GT(FramesUntilTheCameraRests(1500, &keptWhileMoving), 0);
    AimAMove();
    ASSERT_FALSE(HasFatalFailure());
    const std::vector<Hex*> path = lit;
    StaticObjectSet* objects = Terrain::Current()->GetStaticObjects();
    ASSERT_NE(objects, nullptr);
    LevelObject* opaque = nullptr;
    for (const auto& object : objects->Objects())
        if (object->GetMesh() && object->GetMesh()->IsOpaque() && !object->Matrices().empty()) {
            opaque = object.get();
            break;
        }
    ASSERT_NE(opaque, nullptr) << "the farm has an object without see-through texels";

    const auto withHexes = [&](bool shown) {
        lit = shown ? path : std::vector<Hex*>{};
        return DrawnAnew();
    };
    const std::vector<uint32_t> hexesAlone = withHexes(true);
    const std::vector<uint32_t> groundAlone = withHexes(false);
    // One more placement of the object, on the middle one of the lit hexes.
    const Hex* middle = path[path.size() / 2];
    D3DXMATRIX placed = opaque->Matrices().front();
    placed._41 = middle->CentreX();
    placed._42 = middle->meanHeight;
    placed._43 = middle->CentreZ();
    opaque->Matrices().push_back(placed);
    const std::vector<uint32_t> objectOverHexes = withHexes(true);
    const std::vector<uint32_t> objectAlone = withHexes(false);
    opaque->Matrices().pop_back();

    ASSERT_EQ(objectAlone.size(), hexesAlone.size());
    size_t objectPixels = 0;
    size_t litUnderObject = 0;
    size_t showingThrough = 0;
    for (size_t i = 0; i < objectAlone.size(); ++i) {
        if (objectAlone[i] == groundAlone[i])
            continue;
        ++objectPixels;
        litUnderObject += hexesAlone[i] != groundAlone[i] ? 1 : 0;
        showingThrough += objectOverHexes[i] != objectAlone[i] ? 1 : 0;
    }
    EXPECT_GT(objectPixels, 100u) << "the object stands in the view";
    EXPECT_GT(litUnderObject, 50u) << "lit hexes lie where the object stands";
    EXPECT_EQ(showingThrough, 0u) << "no lit hex shows over the object";
    EXPECT_GT(Differing(hexesAlone, groundAlone), 1000u) << "the hexes are lit";
}
