#include "app/GameApplication.h"
#include "app/FrameClock.h"
#include "app/GameSession.h"
#include "core/DataManager.h"
#include "core/GlobalConstants.h"
#include "core/InputManager.h"
#include "core/SoundQueue.h"
#include "d3d9/Surface.h"
#include "d3d9/Texture.h"
#include "d3d9/null/NullDevice.h"
#include "d3dx9/D3DX9Core.h"
#include "d3dx9/Font.h"
#include "scene/Camera.h"
#include "scene/Decal.h"
#include "scene/DecalManager.h"
#include "scene/SkyDome.h"
#include "ui/GuiElement.h"
#include "ui/HelpScreen.h"
#include "ui/MenuManager.h"
#include "ui/MouseOverManager.h"
#include "ui/TextLabel.h"
#include "ui/VideoWidget.h"
#include "win32/InputState.h"
#include "win32/TestHooks.h"

#include "support/ScreenQuad.h"
#include "support/SessionLinks.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <unistd.h>
#include <vector>

namespace {
// Physical key positions as the window layer reports them (USB usage numbers).
constexpr int kScancodeA = 4;
constexpr int kScancodeD = 7;
constexpr int kScancodeReturn = 40;
constexpr int kScancodeF5 = 62;
constexpr int kScancodeF6 = 63;
constexpr int kScancodeF7 = 64;
constexpr int kScancodeF10 = 67;
constexpr int kScancodeRightAlt = 230;

class GameApplicationTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Win32TestHooks::ResetWindowLayer();
        Win32TestHooks::CaptureMessageBoxes(true);
        Win32TestHooks::SetPerformanceCounter(1000, 0);
        D3D9SetBackEnd(D3D9_BACKEND_NULL);
        NullDevice::ResetForTests();
        FrameClock::ResetForTests();
        DataManager::ResetForTests();
        Camera::ResetForTests();
        MouseOverManager::ResetForTests();
        InputManager::ResetForTests();
        GameApplication::ResetForTests();
        TextLabel::ResetForTests();
        startDirectory = std::filesystem::current_path();

        app = std::make_unique<GameApplication>();
        static char module;
        ASSERT_EQ(app->Create(reinterpret_cast<HINSTANCE>(&module), nullptr), S_OK);
    }

    void TearDown() override
    {
        std::filesystem::current_path(startDirectory);
        if (app) {
            PostQuitMessage(0);
            EXPECT_EQ(app->Run(), 0);
            app.reset();
        }
        MouseOverManager::ResetForTests();
        InputManager::ResetForTests();
        Camera::ResetForTests();
        DataManager::ResetForTests();
        FrameClock::ResetForTests();
        D3D9SetBackEnd(D3D9_BACKEND_AUTO);
        Win32TestHooks::ResetWindowLayer();
    }

    NullDevice* Device() const { return dynamic_cast<NullDevice*>(app->GetDevice()); }

    void Frame(LONGLONG milliseconds)
    {
        counter += milliseconds;
        Win32TestHooks::SetPerformanceCounterValue(counter);
        app->UpdateFrame();
        app->Render();
    }

    static void Key(int scancode, bool down) { InputState::Get().InjectKey(scancode, down); }

    std::unique_ptr<GameApplication> app;
    LONGLONG counter = 0;
    std::filesystem::path startDirectory;
};

std::vector<uint8_t> ReadFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void ExpectVertex(const QuadVertex& v, float x, float y, float u, float tv)
{
    EXPECT_FLOAT_EQ(v.x, x);
    EXPECT_FLOAT_EQ(v.y, y);
    EXPECT_FLOAT_EQ(v.z, 0.0f);
    EXPECT_FLOAT_EQ(v.rhw, 1.0f);
    EXPECT_EQ(v.colour, 0xFFFFFFFFu);
    EXPECT_FLOAT_EQ(v.u, u);
    EXPECT_FLOAT_EQ(v.v, tv);
}

uint32_t ReadLe32(const std::vector<uint8_t>& bytes, size_t at)
{
    return bytes[at] | (bytes[at + 1] << 8) | (bytes[at + 2] << 16) | (static_cast<uint32_t>(bytes[at + 3]) << 24);
}
} // namespace

TEST_F(GameApplicationTest, StartsInTheIntroFullScreenWithTheSceneTargetAndHelpLabel)
{
    ASSERT_NE(app->GetSession(), nullptr);
    EXPECT_EQ(app->GetSession()->GetGameState(), GAME_STATE_INTRO);
    EXPECT_FALSE(app->IsWindowed());

    IDirect3DTexture9* scene = FrontEnd(*app->GetSession()).GetSceneTexture();
    ASSERT_NE(scene, nullptr);
    D3DSURFACE_DESC desc{};
    scene->GetLevelDesc(0, &desc);
    EXPECT_EQ(desc.Width, 1024u);
    EXPECT_EQ(desc.Height, 768u);
    EXPECT_EQ(desc.Usage & D3DUSAGE_RENDERTARGET, D3DUSAGE_RENDERTARGET);

    ASSERT_NE(app->GetPostEffect(), nullptr);
    EXPECT_STREQ(app->GetPostEffect()->GetCurrentTechnique(), "PostProcess");

    TextLabel* help = app->GetHelpLabel();
    ASSERT_NE(help, nullptr);
    EXPECT_EQ(help->GetText(), "F1 For Help");
    EXPECT_FLOAT_EQ(help->x, 470.0f);
    EXPECT_FLOAT_EQ(help->y, 10.0f);
    EXPECT_NE(help->GetFont(), nullptr);

    // The scene quad covers the whole back buffer; the layout factors map 1024 x 768 onto it.
    const D3DPRESENT_PARAMETERS& pp = app->GetPresentParameters();
    EXPECT_FLOAT_EQ(app->GetSceneWidth(), static_cast<float>(pp.BackBufferWidth));
    EXPECT_FLOAT_EQ(app->widthFactor, 1024.0f / static_cast<float>(pp.BackBufferWidth));
}

TEST_F(GameApplicationTest, BackBufferIsClearedOnlyWhereTheSceneLeavesItUncovered)
{
    NullDevice* device = Device();
    ASSERT_NE(device, nullptr);
    Frame(16);
    // The scene quad covers the back buffer: the frame's last clear is the scene texture's grey.
    EXPECT_EQ(device->LastClear().color, GameSession::SCENE_CLEAR_COLOUR);

    // The deployment screen shows the board in a window of the page: the rest must not keep old pixels.
    app->SetSceneRect(100.0f, 50.0f, 400.0f, 300.0f);
    Frame(16);
    EXPECT_EQ(device->LastClear().color, 0xFF000000u);
    EXPECT_EQ(device->LastClear().flags, static_cast<DWORD>(D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL));
    IDirect3DSurface9* backBuffer = nullptr;
    ASSERT_EQ(app->GetDevice()->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &backBuffer), D3D_OK);
    D3DLOCKED_RECT locked{};
    ASSERT_EQ(backBuffer->LockRect(&locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    EXPECT_EQ(static_cast<const uint32_t*>(locked.pBits)[0] & 0x00FFFFFFu, 0u) << "outside the scene: black";
    backBuffer->UnlockRect();
    backBuffer->Release();
}

// The title is a still picture between the intro video's frames: the window keeps showing it, and drawing it
// again would only cost the processor. Whatever changes it is drawn at once; a picture that stays is drawn again
// every fifteenth frame all the same, for a window the desktop has just uncovered.
TEST_F(GameApplicationTest, AStillTitleIsDrawnWhenItChangesAndOtherwiseOnlyEveryFifteenthFrame)
{
    NullDevice* device = Device();
    ASSERT_NE(device, nullptr);
    ASSERT_EQ(app->GetSession()->GetGameState(), GAME_STATE_INTRO);
    Frame(16);
    const UINT drawn = device->PresentCount();
    // No time passes: the video stays on its frame.
    for (int frame = 2; frame <= 15; ++frame)
        Frame(0);
    EXPECT_EQ(device->PresentCount(), drawn);
    Frame(0);
    EXPECT_EQ(device->PresentCount(), drawn + 1) << "the fifteenth frame alike";
    Frame(0);
    EXPECT_EQ(device->PresentCount(), drawn + 1);

    // The scene laid elsewhere on the back buffer is another picture.
    app->SetSceneRect(100.0f, 50.0f, 400.0f, 300.0f);
    Frame(0);
    EXPECT_EQ(device->PresentCount(), drawn + 2);

    // The video moves on every 40 ms (25 frames a second): half of that shows the same frame, the rest the next.
    VideoWidget* video = app->GetSession()->GetMenuManager()->GetIntroVideo();
    ASSERT_NE(video, nullptr) << "the default data has the intro video";
    const uint32_t shown = video->FramesShown();
    Frame(20);
    EXPECT_EQ(video->FramesShown(), shown);
    EXPECT_EQ(device->PresentCount(), drawn + 2);
    Frame(20);
    EXPECT_EQ(video->FramesShown(), shown + 1);
    EXPECT_EQ(device->PresentCount(), drawn + 3);

    // Off the title every frame is drawn.
    app->GetSession()->SetGameState(GAME_STATE_MAIN_MENU);
    app->GetSession()->ApplyRequestedChanges();
    const UINT menu = device->PresentCount();
    Frame(0);
    Frame(0);
    EXPECT_EQ(device->PresentCount(), menu + 2);
}

// The post-process pass is a full-screen layer of its own. Where it would copy the scene pixel for pixel the
// scene is drawn onto the back buffer instead; whatever the pass changes (a shake, slow motion, a scene laid
// smaller or larger than its texture) still goes through it.
TEST_F(GameApplicationTest, TheSceneGoesThroughThePostPassOnlyWhenThePassChangesIt)
{
    NullDevice* device = Device();
    ASSERT_NE(device, nullptr);
    app->GetSession()->SetGameState(GAME_STATE_MAIN_MENU);
    app->GetSession()->ApplyRequestedChanges();

    struct Case {
        const char* name;
        int width, height; // the back buffer
        float shake, speed;
        float sceneLeft, sceneWidth;
        bool throughPass;
    };
    const Case cases[] = {
        {"a still frame", 1024, 768, 0.0f, 1.0f, 0.0f, 1024.0f, false},
        {"a shake", 1024, 768, 8.0f, 1.0f, 0.0f, 1024.0f, true},
        {"slow motion", 1024, 768, 0.0f, 0.25f, 0.0f, 1024.0f, true},
        {"a scene window", 1024, 768, 0.0f, 1.0f, 62.0f, 647.0f, true},
        {"a larger back buffer", 1280, 1024, 0.0f, 1.0f, 0.0f, 1280.0f, true},
        {"a smaller back buffer", 800, 600, 0.0f, 1.0f, 0.0f, 800.0f, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        app->SetWindowSize(c.width, c.height);
        // Made anew by the reset.
        IDirect3DTexture9* scene = FrontEnd(*app->GetSession()).GetSceneTexture();
        ASSERT_NE(scene, nullptr);
        app->SetSceneRect(c.sceneLeft, 0.0f, c.sceneWidth, static_cast<float>(c.height));
        app->SetShakeMagnitude(c.shake);
        app->SetTargetGameSpeed(c.speed);
        // The speed is latched at the end of a frame: the next one runs at it.
        Frame(16);
        app->SetShakeMagnitude(c.shake);
        device->ResetCounters();
        device->KeepDraws(true);
        app->UpdateFrame();
        EXPECT_EQ(app->PostPassIsPlainCopy(), !c.throughPass);
        app->Render();
        device->KeepDraws(false);

        IDirect3DSurface9* backBuffer = nullptr;
        ASSERT_EQ(app->GetDevice()->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &backBuffer), D3D_OK);
        backBuffer->Release();
        IDirect3DSurface9* sceneSurface = nullptr;
        ASSERT_EQ(scene->GetSurfaceLevel(0, &sceneSurface), D3D_OK);
        sceneSurface->Release();
        // The 3-D scene's draws into the scene texture, everything drawn before the pass or the interface. A still
        // world may also be drawn into a picture of its own, kept for the frames after: that is neither.
        int sceneDraws = 0;
        int passDraws = 0;
        int onBackBuffer = 0;
        for (const NullDevice::DrawRecord& draw : device->Draws()) {
            const IDirect3DTexture9* texture = draw.texture0;
            const IDirect3DSurface9* target = draw.renderTarget;
            passDraws += texture == scene ? 1 : 0;
            if (target == sceneSurface)
                ++sceneDraws;
            else if (target == backBuffer)
                ++onBackBuffer;
        }
        ASSERT_GT(device->Draws().size(), 20u) << "the start-up level and the menu were drawn";
        if (c.throughPass) {
            EXPECT_EQ(passDraws, 1) << "one quad carries the scene texture onto the back buffer";
            EXPECT_GT(sceneDraws, 10) << "the level is drawn into the scene texture";
        } else {
            EXPECT_EQ(passDraws, 0);
            EXPECT_EQ(sceneDraws, 0) << "nothing is drawn into the scene texture";
        }
        EXPECT_EQ(device->PresentCount(), 1u);
    }

    // A shake that has died away leaves the pass again.
    app->SetWindowSize(1024, 768);
    app->SetTargetGameSpeed(1.0f);
    app->SetShakeMagnitude(0.0f);
    Frame(16);
    Frame(16);
    EXPECT_TRUE(app->PostPassIsPlainCopy());
    app->SetPostPassAlways(true);
    EXPECT_FALSE(app->PostPassIsPlainCopy());
}

// The menu keeps the picture of its world while the camera stands still and draws the world again only in the
// frames after the sky has stepped on to its next hour; players on the board change nothing of that, their units
// being drawn over the picture. A frame that goes through the post-process pass (the deployment's board window)
// gives the picture's surfaces back.
TEST_F(GameApplicationTest, TheMenuDrawsItsWorldAgainOnlyWhenTheSkyStepsOn)
{
    NullDevice* device = Device();
    ASSERT_NE(device, nullptr);
    GameSession* session = app->GetSession();
    session->SetGameState(GAME_STATE_MAIN_MENU);
    const SkyDome* sky = SkyDome::Current();
    ASSERT_NE(sky, nullptr);
    // What a frame that draws its world anew draws.
    session->SetWorldCacheAllowed(false);
    device->ResetCounters();
    Frame(16);
    const UINT anew = device->DrawCount();
    ASSERT_GT(anew, 100u);
    session->SetWorldCacheAllowed(true);
    Frame(16);
    Frame(16);
    IDirect3DSurface9* backBuffer = nullptr;
    ASSERT_EQ(app->GetDevice()->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &backBuffer), D3D_OK);
    backBuffer->Release();
    // Frames of 16 ms: the sky steps every quarter of a second, so 40 frames see two or three steps.
    int steps = 0;
    for (int frame = 0; frame < 40; ++frame) {
        SCOPED_TRACE(frame);
        const float hour = sky->GetSkyValue();
        device->ResetCounters();
        device->KeepDraws(true);
        Frame(16);
        device->KeepDraws(false);
        const bool stepped = sky->GetSkyValue() != hour;
        steps += stepped ? 1 : 0;
        size_t intoPicture = 0;
        for (const NullDevice::DrawRecord& draw : device->Draws()) {
            if (draw.renderTarget == backBuffer)
                continue;
            ++intoPicture;
            // Only the hour changed: the picture is drawn again where the dome lies, the sky above the horizon,
            // which the menu's nearly level view has about the middle of the screen.
            EXPECT_TRUE(draw.scissor);
            EXPECT_EQ(draw.scissorRect.top, 0);
            EXPECT_GT(draw.scissorRect.bottom, 200);
            EXPECT_LT(draw.scissorRect.bottom, 600);
        }
        EXPECT_EQ(intoPicture > 0, stepped) << "the world is drawn into its picture when the sky has stepped";
        // The part drawn, what follows is culled to the whole view again.
        const Camera::CullBounds& culled = Camera::Get()->GetCullBounds();
        EXPECT_EQ(culled.left, -1.0f);
        EXPECT_EQ(culled.right, 1.0f);
        EXPECT_EQ(culled.bottom, -1.0f);
        EXPECT_EQ(culled.top, 1.0f);
        EXPECT_EQ(device->CopyCount(), 2u) << "the picture and its depth are copied onto the back buffer";
        EXPECT_LT(device->Draws().size() - intoPicture, anew / 4) << "over the picture the menu and little else";
    }
    EXPECT_GE(steps, 2);

    FrontEnd(*session).AddPlayer(0);
    for (int frame = 0; frame < 3; ++frame) {
        device->ResetCounters();
        Frame(16);
        EXPECT_EQ(device->CopyCount(), 2u);
        EXPECT_LT(device->DrawCount(), anew / 4);
    }
    // Drawn through the pass, the scene keeps no picture.
    EXPECT_TRUE(session->GetWorldCache()->HoldsSurfaces());
    session->SetGameState(GAME_STATE_DEPLOYMENT);
    Frame(16);
    EXPECT_FALSE(session->GetWorldCache()->HoldsSurfaces());
}

// Looking down on the ground, as a battle's camera does, the view cannot show the dome: the sky stepping on to its
// next hour changes nothing of the picture, which stays kept. Turned back to the horizon, the view draws its world
// again in each frame that sees a step.
TEST_F(GameApplicationTest, AViewThatLooksDownOnTheGroundKeepsItsPictureWhileTheSkyStepsOn)
{
    GameSession* session = app->GetSession();
    session->SetGameState(GAME_STATE_MAIN_MENU);
    const SkyDome* sky = SkyDome::Current();
    ASSERT_NE(sky, nullptr);
    Camera* camera = Camera::Get();
    const D3DXVECTOR3 eye = camera->GetEye();
    const D3DXVECTOR3 target = camera->GetLookAt();
    // Frames of 16 ms: the sky steps every quarter of a second, so 40 frames see two or three steps.
    const auto framesSeeingSteps = [&](const char* view, bool drawnOnStep) {
        for (int frame = 0; frame < 3; ++frame)
            Frame(16);
        int steps = 0;
        for (int frame = 0; frame < 40; ++frame) {
            const float hour = sky->GetSkyValue();
            const unsigned pictures = session->GetWorldCache()->PicturesDrawn();
            Frame(16);
            const bool stepped = sky->GetSkyValue() != hour;
            steps += stepped ? 1 : 0;
            EXPECT_EQ(session->GetWorldCache()->PicturesDrawn() != pictures, stepped && drawnOnStep)
                << view << ", frame " << frame;
            EXPECT_TRUE(session->GetWorldCache()->IsValid()) << view << ", frame " << frame;
        }
        EXPECT_GE(steps, 2) << view;
    };

    // Straight down from 800 above the ground, between the eye and what it looked at.
    const D3DXVECTOR3 below((eye.x + target.x) / 2.0f, 800.0f, (eye.z + target.z) / 2.0f);
    camera->SetEyeAndTarget(below, below + D3DXVECTOR3(0.0f, -800.0f, 1.0f));
    ASSERT_TRUE(sky->IsOutsideView(camera->GetViewProjection()));
    framesSeeingSteps("looking down", false);

    camera->SetEyeAndTarget(eye, target);
    ASSERT_FALSE(sky->IsOutsideView(camera->GetViewProjection())) << "the menu's view shows the sky";
    framesSeeingSteps("the menu's view", true);
}

// Blood fading in changes the world in every frame for its two and a half seconds: the frame that lays it keeps
// its picture, the frames of its fade draw the world anew without a picture to draw and copy as well, and once it
// lies still the picture is kept again.
TEST_F(GameApplicationTest, AWorldThatChangesEveryFrameIsDrawnAnewUntilItStandsStill)
{
    NullDevice* device = Device();
    ASSERT_NE(device, nullptr);
    GameSession* session = app->GetSession();
    session->SetGameState(GAME_STATE_MAIN_MENU);
    for (int frame = 0; frame < 3; ++frame)
        Frame(16);
    ASSERT_TRUE(session->GetWorldCache()->IsValid());
    auto* blood = new Decal;
    blood->Create(3, 16000.0f, 16000.0f, false);
    blood->fadeState = 0;
    blood->alpha = 0.0f;
    blood->fadeDuration = 2.5f;
    DecalManager::Get()->Add(blood);
    const auto copiesOfAFrame = [&] {
        device->ResetCounters();
        Frame(16);
        return device->CopyCount();
    };
    EXPECT_EQ(copiesOfAFrame(), 2u) << "the frame that lays the blood keeps the picture with it";
    // 2.5 s at 16 ms a frame: 156 frames, each raising the blood's alpha by a byte or two.
    int copied = 0;
    for (int frame = 0; frame < 150; ++frame)
        copied += copiesOfAFrame() != 0 ? 1 : 0;
    EXPECT_EQ(copied, 0);
    EXPECT_LT(blood->alpha, 1.0f);
    for (int frame = 0; frame < 10; ++frame)
        copiesOfAFrame();
    EXPECT_EQ(blood->fadeState, 3) << "the blood lies still";
    for (int frame = 0; frame < 5; ++frame)
        EXPECT_EQ(copiesOfAFrame(), 2u) << frame;
}

TEST_F(GameApplicationTest, SpeedChangesApplyFromTheNextFrame)
{
    DataManager* data = DataManager::Get();
    app->SetTargetGameSpeed(0.1f);
    Frame(20);
    EXPECT_FLOAT_EQ(data->GetFrameTime(), 0.02f);
    Frame(20);
    EXPECT_FLOAT_EQ(data->GetRawFrameTime(), 0.02f);
    EXPECT_FLOAT_EQ(data->GetFrameTime(), 0.002f);
    EXPECT_FLOAT_EQ(app->GetFrameTime(), 0.02f);
}

TEST_F(GameApplicationTest, ShakeDecaysInRealTimeAndSnapsToRest)
{
    app->SetTargetGameSpeed(0.1f);
    app->SetShakeMagnitude(30.0f);
    Frame(500);
    EXPECT_FLOAT_EQ(app->GetShakeMagnitude(), 15.0f);
    float sent = 0.0f;
    app->GetPostEffect()->GetFloat("shakeMagnitude", &sent);
    EXPECT_FLOAT_EQ(sent, 30.0f) << "the effect sees the shake before this frame's decay";
    Frame(500); // 15 - 7.5 = 7.5, at or below 10: rest
    EXPECT_FLOAT_EQ(app->GetShakeMagnitude(), 0.0f);
    app->GetPostEffect()->GetFloat("shakeMagnitude", &sent);
    EXPECT_FLOAT_EQ(sent, 15.0f);
}

TEST_F(GameApplicationTest, WindowSizeKeysResizeTheBackBufferAndFramesGoOn)
{
    Key(kScancodeF5, true);
    Frame(16);
    Key(kScancodeF5, false);
    EXPECT_EQ(app->GetPresentParameters().BackBufferWidth, 800u);
    EXPECT_EQ(app->GetPresentParameters().BackBufferHeight, 600u);
    EXPECT_FLOAT_EQ(app->GetSceneWidth(), 800.0f);
    EXPECT_TRUE(app->IsActive());

    Key(kScancodeF7, true);
    Frame(16);
    Key(kScancodeF7, false);
    D3DSURFACE_DESC desc = app->GetBackBufferDesc();
    EXPECT_EQ(desc.Width, 1280u);
    EXPECT_EQ(desc.Height, 1024u);
    EXPECT_FLOAT_EQ(app->heightFactor, 0.75f);
    // Text laid out for 1024 x 768 is scaled onto 1280 x 1024.
    EXPECT_FLOAT_EQ(app->GetSession()->GetTextTransform()._11, 1.25f);
    EXPECT_FLOAT_EQ(app->GetSession()->GetTextTransform()._22, 1024.0f / 768.0f);

    NullDevice* device = Device();
    device->ResetCounters();
    Frame(16);
    EXPECT_EQ(device->PresentCount(), 1u);
    ASSERT_NE(FrontEnd(*app->GetSession()).GetSceneTexture(), nullptr);
}

TEST_F(GameApplicationTest, FullScreenChordTogglesOncePerPress)
{
    ASSERT_FALSE(app->IsWindowed());
    Key(kScancodeRightAlt, true);
    Key(kScancodeReturn, true);
    Frame(16);
    Frame(16);
    Frame(16);
    EXPECT_TRUE(app->IsWindowed());
    Key(kScancodeReturn, false);
    Frame(16);
    Key(kScancodeReturn, true);
    Frame(16);
    EXPECT_FALSE(app->IsWindowed());
    Key(kScancodeReturn, false);
    Key(kScancodeRightAlt, false);
}

TEST_F(GameApplicationTest, ScreenshotsNeverOverwriteAndHoldingF10WritesOnePerFrame)
{
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("varnholt_screenshots_" + std::to_string(getpid()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir / "Data" / "Screenshots");
    {
        std::ofstream keep(dir / "Data" / "Screenshots" / "Image0.bmp", std::ios::binary);
        keep << "keep";
    }
    std::filesystem::current_path(dir);

    Key(kScancodeF10, true);
    for (int i = 0; i < 11; ++i)
        Frame(16);
    Key(kScancodeF10, false);
    Frame(16);

    const auto shots = dir / "Data" / "Screenshots";
    EXPECT_EQ(ReadFile(shots / "Image0.bmp").size(), 4u) << "an earlier screenshot is never overwritten";
    for (int i = 1; i <= 11; ++i)
        EXPECT_TRUE(std::filesystem::exists(shots / ("Image" + std::to_string(i) + ".bmp"))) << i;
    EXPECT_FALSE(std::filesystem::exists(shots / "Image12.bmp"));

    // A 24-bit BMP of the back buffer's size.
    const std::vector<uint8_t> bmp = ReadFile(shots / "Image11.bmp");
    ASSERT_GE(bmp.size(), 54u);
    EXPECT_EQ(bmp[0], 'B');
    EXPECT_EQ(bmp[1], 'M');
    EXPECT_EQ(ReadLe32(bmp, 18), app->GetPresentParameters().BackBufferWidth);
    EXPECT_EQ(ReadLe32(bmp, 22), app->GetPresentParameters().BackBufferHeight);
    EXPECT_EQ(bmp[28], 24);

    std::filesystem::current_path(startDirectory);
    std::filesystem::remove_all(dir);
}

TEST_F(GameApplicationTest, ScreenshotNumbersRunOnInAnEmptyDirectory)
{
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("varnholt_screenshots_empty_" + std::to_string(getpid()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir / "Data" / "Screenshots");
    std::filesystem::current_path(dir);
    std::string last;
    for (int i = 0; i < 11; ++i) {
        last = GameApplication::NextScreenshotName();
        app->SaveScreenshot();
    }
    EXPECT_EQ(last, "Data\\Screenshots\\Image10.bmp");
    EXPECT_TRUE(std::filesystem::exists(dir / "Data" / "Screenshots" / "Image10.bmp"));
    std::filesystem::current_path(startDirectory);
    std::filesystem::remove_all(dir);
}

TEST_F(GameApplicationTest, EveryStateShowsThePointerExceptTheIntroAndLoading)
{
    GameSession* session = app->GetSession();
    // The intro has hidden the pointer: one more show brings the count from -1 to 0.
    EXPECT_EQ(ShowCursor(TRUE), 0);
    EXPECT_EQ(ShowCursor(FALSE), -1);
    session->SetGameState(GAME_STATE_MAIN_MENU);
    session->ApplyRequestedChanges();
    EXPECT_EQ(session->GetGameState(), GAME_STATE_MAIN_MENU);
    EXPECT_EQ(ShowCursor(FALSE), 0) << "raised to 1 on entering the menu";
    session->SetGameState(GAME_STATE_LOADING);
    session->ApplyRequestedChanges();
    EXPECT_EQ(ShowCursor(TRUE), 0) << "hidden again at -1 while loading";
    EXPECT_FALSE(FrontEnd(*session).IsBattleStarted());
    session->SetGameState(GAME_STATE_BATTLE);
    session->ApplyRequestedChanges();
    EXPECT_TRUE(FrontEnd(*session).IsBattleStarted());
    session->SetGameState(GAME_STATE_MAIN_MENU);
    session->ApplyRequestedChanges();
    EXPECT_TRUE(FrontEnd(*session).IsBattleStarted()) << "a battle once begun stays begun";
}

TEST_F(GameApplicationTest, MouseMovesReachThePointer)
{
    InputState::Get().SetPointer(300, 200);
    const int movesPassedOn = Win32TestHooks::DefaultProcedureCalls(WM_MOUSEMOVE);
    SendMessageA(app->GetWindow(), WM_MOUSEMOVE, 0, MAKELPARAM(300, 200));
    const POINT p = MouseOverManager::Get()->GetPointerPosition();
    EXPECT_EQ(p.x, 300);
    EXPECT_EQ(p.y, 200);
    // The move went on to the default procedure; F10 and Alt do not, so no system menu opens.
    EXPECT_EQ(Win32TestHooks::DefaultProcedureCalls(WM_MOUSEMOVE), movesPassedOn + 1);
    for (const UINT message : {WM_SYSKEYDOWN, WM_SYSKEYUP}) {
        const int passedOn = Win32TestHooks::DefaultProcedureCalls(message);
        for (const WPARAM key : {WPARAM{VK_F10}, WPARAM{VK_MENU}}) {
            EXPECT_EQ(SendMessageA(app->GetWindow(), message, key, 0), 0);
            EXPECT_EQ(Win32TestHooks::DefaultProcedureCalls(message), passedOn) << message << " " << key;
        }
    }
    EXPECT_TRUE(app->IsActive());
}

TEST(GameApplicationPickRay, ThroughThePointerInItsRectangleFromTheEye)
{
    struct Case {
        POINT pointer;
        float left, top, width, height;
        float scaleX, scaleY;
        D3DXVECTOR3 direction;
    };
    // With identity view and projection the ray through the rectangle's centre runs along +z and through its
    // top-left corner towards (-1, 1, 1). Projection scales divide: at the right edge, a quarter down,
    // (2 - 1) / 2 = 0.5 and -((0.5 - 1) / 4) = 0.125.
    const Case cases[] = {
        {{512, 384}, 0, 0, 1024, 768, 1.0f, 1.0f, {0.0f, 0.0f, 1.0f}},
        {{0, 0}, 0, 0, 1024, 768, 1.0f, 1.0f, {-1.0f, 1.0f, 1.0f}},
        {{500, 350}, 100, 50, 800, 600, 1.0f, 1.0f, {0.0f, 0.0f, 1.0f}},
        {{1024, 192}, 0, 0, 1024, 768, 2.0f, 4.0f, {0.5f, 0.125f, 1.0f}},
    };
    // An eye at (0, 0, -10) looking down +z has the view matrix translation (0, 0, 10).
    D3DXMATRIX view;
    D3DXMatrixTranslation(&view, 0.0f, 0.0f, 10.0f);
    for (const Case& c : cases) {
        D3DXMATRIX projection;
        D3DXMatrixIdentity(&projection);
        projection._11 = c.scaleX;
        projection._22 = c.scaleY;
        D3DXVECTOR3 origin;
        D3DXVECTOR3 direction;
        GameApplication::ComputePickRay(c.pointer, c.left, c.top, c.width, c.height, view, projection, &origin,
                                        &direction);
        EXPECT_FLOAT_EQ(origin.z, -10.0f);
        EXPECT_FLOAT_EQ(direction.x, c.direction.x) << c.pointer.x << "," << c.pointer.y;
        EXPECT_FLOAT_EQ(direction.y, c.direction.y) << c.pointer.x << "," << c.pointer.y;
        EXPECT_FLOAT_EQ(direction.z, c.direction.z) << c.pointer.x << "," << c.pointer.y;
    }
}

TEST_F(GameApplicationTest, FrameStepsRunInTheirOrder)
{
    DataManager* data = DataManager::Get();
    Camera* camera = Camera::Get();

    // The camera steps before the application keys: a wheel turn sets the zoom goal in this frame and
    // the view starts easing toward it in the next, by 0.016 s x 3000 = 48 units.
    InputState::Get().InjectWheel(1);
    Frame(16);
    EXPECT_FLOAT_EQ(camera->GetTargetDistance(), 1880.0f);
    EXPECT_FLOAT_EQ(camera->GetCurrentDistance(), 2000.0f);
    Frame(16);
    EXPECT_FLOAT_EQ(camera->GetTargetDistance(), 1880.0f) << "the wheel counts once";
    EXPECT_NEAR(camera->GetCurrentDistance(), 1952.0f, 1e-3f);

    // The keys come before the pick ray: after F5 the ray is aimed through the new 800 x 600 scene, so the
    // pointer at its centre looks straight along the view, from the eye (0, 200, -1000) to the origin:
    // (0, -200, 1000) / 1019.80390 = (0, -0.19611614, 0.98058068).
    // The start-up level placed the camera over its own centre; this test aims from a known eye.
    camera->SetEyeAndTarget(D3DXVECTOR3(0.0f, 200.0f, -1000.0f), D3DXVECTOR3(0.0f, 0.0f, 0.0f));
    InputState::Get().SetPointer(400, 300);
    Key(kScancodeF5, true);
    Frame(16);
    Key(kScancodeF5, false);
    ASSERT_EQ(app->GetPresentParameters().BackBufferWidth, 800u);
    const D3DXVECTOR3 origin = MouseOverManager::Get()->GetPickRayOrigin();
    const D3DXVECTOR3 direction = MouseOverManager::Get()->GetPickRayDirection();
    EXPECT_NEAR(origin.y, 200.0f, 1e-3f);
    EXPECT_NEAR(origin.z, -1000.0f, 1e-3f);
    EXPECT_NEAR(direction.x, 0.0f, 1e-5f);
    EXPECT_NEAR(direction.y, -0.19611614f, 1e-5f);
    EXPECT_NEAR(direction.z, 0.98058068f, 1e-5f);

    // The shader globals close the frame: they carry this frame's time (three frames of 0.016 s).
    float elapsed = 0.0f;
    float gameTime = 0.0f;
    app->GetPostEffect()->GetFloat("tElapsed", &elapsed);
    app->GetPostEffect()->GetFloat("gameTime", &gameTime);
    EXPECT_NEAR(elapsed, 0.016f, 1e-6f);
    EXPECT_NEAR(gameTime, 0.048f, 1e-5f);
    EXPECT_NEAR(data->GetGameTime(), 0.048f, 1e-5f);

    // The help label was updated: its box is 0.3 x (16 x 11 characters) wide and 0.5 x 16 high at (470, 10).
    const RECT box = app->GetHelpLabel()->GetOwnRect();
    EXPECT_EQ(box.left, 470);
    EXPECT_EQ(box.top, 10);
    EXPECT_EQ(box.right, 522);
    EXPECT_EQ(box.bottom, 18);
}

TEST_F(GameApplicationTest, EveryResetRestoresTheDefaultRenderStates)
{
    IDirect3DDevice9* device = app->GetDevice();
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    device->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_LESS);
    device->SetRenderState(D3DRS_ZENABLE, FALSE);
    device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
    device->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
    Key(kScancodeF6, true);
    Frame(16);
    Key(kScancodeF6, false);

    const std::pair<D3DRENDERSTATETYPE, DWORD> expected[] = {
        {D3DRS_ZENABLE, TRUE},
        {D3DRS_FILLMODE, D3DFILL_SOLID},
        {D3DRS_ZWRITEENABLE, TRUE},
        {D3DRS_SPECULARENABLE, FALSE},
        {D3DRS_SRCBLEND, D3DBLEND_SRCALPHA},
        {D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA},
        {D3DRS_ALPHATESTENABLE, TRUE},
        {D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL},
        {D3DRS_ALPHABLENDENABLE, TRUE},
        {D3DRS_FOGVERTEXMODE, D3DFOG_LINEAR},
        {D3DRS_FOGTABLEMODE, D3DFOG_NONE},
        {D3DRS_RANGEFOGENABLE, TRUE},
        {D3DRS_CULLMODE, D3DCULL_NONE},
        {D3DRS_DITHERENABLE, FALSE},
        {D3DRS_AMBIENT, 0x00FFFFFFu},
        {D3DRS_NORMALIZENORMALS, TRUE},
        {D3DRS_LIGHTING, FALSE},
    };
    for (const auto& [state, value] : expected) {
        DWORD actual = 0xDEADBEEF;
        device->GetRenderState(state, &actual);
        EXPECT_EQ(actual, value) << "render state " << state;
    }

    D3DCAPS9 caps{};
    device->GetDeviceCaps(&caps);
    ASSERT_GE(caps.MaxSimultaneousTextures, 2u);
    for (DWORD stage = 0; stage < caps.MaxSimultaneousTextures; ++stage) {
        DWORD v = 0;
        device->GetTextureStageState(stage, D3DTSS_COLOROP, &v);
        EXPECT_EQ(v, static_cast<DWORD>(D3DTOP_MODULATE)) << stage;
        device->GetTextureStageState(stage, D3DTSS_COLORARG1, &v);
        EXPECT_EQ(v, static_cast<DWORD>(D3DTA_TEXTURE)) << stage;
        device->GetTextureStageState(stage, D3DTSS_ALPHAARG2, &v);
        EXPECT_EQ(v, static_cast<DWORD>(D3DTA_CURRENT)) << stage;
        device->GetSamplerState(stage, D3DSAMP_ADDRESSU, &v);
        EXPECT_EQ(v, static_cast<DWORD>(D3DTADDRESS_MIRROR)) << stage;
        device->GetSamplerState(stage, D3DSAMP_ADDRESSV, &v);
        EXPECT_EQ(v, static_cast<DWORD>(D3DTADDRESS_MIRROR)) << stage;
        device->GetSamplerState(stage, D3DSAMP_MIPFILTER, &v);
        EXPECT_EQ(v, static_cast<DWORD>(D3DTEXF_LINEAR)) << stage;
    }
}

TEST_F(GameApplicationTest, SceneQuadCoversTheSceneRectangleInStripOrder)
{
    app->SetSceneRect(100.0f, 50.0f, 400.0f, 300.0f);
    IDirect3DVertexBuffer9* quad = app->GetScreenQuad();
    ASSERT_NE(quad, nullptr);
    D3DVERTEXBUFFER_DESC desc{};
    quad->GetDesc(&desc);
    EXPECT_EQ(desc.Size, 112u);
    EXPECT_EQ(desc.FVF, static_cast<DWORD>(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1));
    EXPECT_EQ(desc.Pool, D3DPOOL_MANAGED);
    std::vector<QuadVertex> v = ReadQuad(quad);
    ExpectVertex(v[0], 100.0f, 350.0f, 0.0f, 1.0f);
    ExpectVertex(v[1], 100.0f, 50.0f, 0.0f, 0.0f);
    ExpectVertex(v[2], 500.0f, 350.0f, 1.0f, 1.0f);
    ExpectVertex(v[3], 500.0f, 50.0f, 1.0f, 0.0f);

    // Fitting the scene to a window of the interface refills the same buffer.
    GuiElement window;
    window.SetRect(62.0f, 359.0f, 647.0f, 385.0f);
    app->FitSceneToRect(window);
    EXPECT_EQ(app->GetScreenQuad(), quad);
    EXPECT_FLOAT_EQ(app->GetSceneWidth(), 647.0f);
    v = ReadQuad(quad);
    ExpectVertex(v[0], 62.0f, 744.0f, 0.0f, 1.0f);
    ExpectVertex(v[3], 709.0f, 359.0f, 1.0f, 0.0f);
    window.OnLostDevice();

    app->ResetSceneRect();
    const D3DPRESENT_PARAMETERS& pp = app->GetPresentParameters();
    v = ReadQuad(app->GetScreenQuad());
    ExpectVertex(v[1], 0.0f, 0.0f, 0.0f, 0.0f);
    ExpectVertex(v[2], static_cast<float>(pp.BackBufferWidth), static_cast<float>(pp.BackBufferHeight), 1.0f, 1.0f);
}

TEST_F(GameApplicationTest, ARefusedSceneTargetLeavesTheBackBufferAlone)
{
    NullDevice* device = Device();
    ASSERT_NE(device, nullptr);
    // With a scene already open on the device, the scene target cannot begin its own.
    ASSERT_EQ(device->BeginScene(), D3D_OK);
    device->ResetCounters();
    EXPECT_EQ(app->GetSession()->RenderSceneToTexture(), FrontEnd(*app->GetSession()).GetSceneTexture());
    EXPECT_EQ(device->ClearCount(), 0u) << "the grey clear must not land on the back buffer";
    device->EndScene();
}

TEST_F(GameApplicationTest, AnEmptySceneRectangleKeepsTheLastPickRay)
{
    InputState::Get().SetPointer(10, 10);
    Frame(16);
    const D3DXVECTOR3 before = MouseOverManager::Get()->GetPickRayDirection();
    app->SetSceneRect(0.0f, 0.0f, 0.0f, 0.0f);
    Frame(16);
    const D3DXVECTOR3 after = MouseOverManager::Get()->GetPickRayDirection();
    EXPECT_TRUE(std::isfinite(after.x) && std::isfinite(after.y) && std::isfinite(after.z));
    EXPECT_FLOAT_EQ(after.x, before.x);
    EXPECT_FLOAT_EQ(after.y, before.y);
}

TEST_F(GameApplicationTest, OrbitInputTurnsTheViewAroundTheVertical)
{
    Camera* camera = Camera::Get();
    InputManager* input = InputManager::Get();
    Frame(100); // frame time 0.1 s
    auto step = [&] {
        input->Update();
        camera->HandleMouseFollow();
    };

    // Nothing held: the pointer only becomes the anchor.
    InputState::Get().SetPointer(300, 200);
    step();
    EXPECT_FLOAT_EQ(camera->GetForward().x, 0.0f);
    EXPECT_FLOAT_EQ(camera->GetForward().z, 1.0f);

    // A: input -1.5, angle -(0.1 x 0.5 x -1.5) = +0.075; turning (0, 0, 1) about y gives (sin, 0, cos).
    Key(kScancodeA, true);
    step();
    EXPECT_NEAR(camera->GetForward().x, std::sin(0.075f), 1e-5f);
    EXPECT_NEAR(camera->GetForward().z, std::cos(0.075f), 1e-5f);
    // A and D together turn as A alone.
    Key(kScancodeD, true);
    step();
    EXPECT_NEAR(camera->GetForward().x, std::sin(0.15f), 1e-5f);
    Key(kScancodeA, false);
    Key(kScancodeD, false);
    step(); // released: the anchor is taken again at (300, 200)

    // Dragging 10 pixels right with the right button: input -10, angle +0.5, held to 0.5 x 0.25 = 0.125.
    InputState::Get().InjectButton(1, true);
    InputState::Get().SetPointer(310, 200);
    step();
    EXPECT_NEAR(camera->GetForward().x, std::sin(0.275f), 1e-5f);
    EXPECT_NEAR(camera->GetForward().z, std::cos(0.275f), 1e-5f);
    // The pointer is put back on the anchor, so it stays put while dragging.
    int px = 0;
    int py = 0;
    InputState::Get().GetPointer(&px, &py);
    EXPECT_EQ(px, 300);
    EXPECT_EQ(py, 200);
    InputState::Get().InjectButton(1, false);

    // At 800 x 600 the same stretch of the screen spans fewer back-buffer pixels (the picture is shown 1024 /
    // 800 times larger): 8 of them are 10.24 of the 1024-wide layout, input -10.24 at 0.01 s: angle 0.0512.
    app->SetWindowSize(800, 600);
    Frame(10);
    InputState::Get().SetPointer(300, 200);
    step();
    const float before = std::atan2(camera->GetForward().x, camera->GetForward().z);
    InputState::Get().InjectButton(1, true);
    InputState::Get().SetPointer(308, 200);
    step();
    InputState::Get().InjectButton(1, false);
    EXPECT_NEAR(std::atan2(camera->GetForward().x, camera->GetForward().z) - before, 0.0512f, 1e-4f);
}

TEST_F(GameApplicationTest, ClosingLetsGoOfEveryDeviceResource)
{
    app->GetSession()->SetGameState(GAME_STATE_MAIN_MENU);
    app->GetSession()->ApplyRequestedChanges();
    Frame(16);
    IDirect3DDevice9* device = app->GetDevice();
    device->AddRef();
    PostQuitMessage(0);
    EXPECT_EQ(app->Run(), 0);
    app.reset();
    // Only this test's own reference is left: nothing of the game keeps the device alive past its window.
    EXPECT_EQ(device->Release(), 0u);
}

TEST_F(GameApplicationTest, UnitShaderGlobalsCarryTheGameClockUnderTheEffectsNames)
{
    GameSession* session = app->GetSession();
    ID3DXEffect* basic = session->GetBasicEffect();
    ASSERT_NE(basic, nullptr);
    DataManager* data = DataManager::Get();
    const float start = data->GetGameTime();
    data->SetGameSpeed(2.0f);
    data->AdvanceTime(0.25f); // scaled: 0.5 s
    session->UpdateMenuScene();
    float value = -1.0f;
    ASSERT_EQ(basic->GetFloat("gameTime", &value), D3D_OK);
    EXPECT_FLOAT_EQ(value, start + 0.5f);
    ASSERT_EQ(basic->GetFloat("gameSpeed", &value), D3D_OK);
    EXPECT_FLOAT_EQ(value, 2.0f);
    ASSERT_EQ(basic->GetFloat("tElapsed", &value), D3D_OK);
    EXPECT_FLOAT_EQ(value, 0.5f);
    data->SetGameSpeed(1.0f);
}

TEST_F(GameApplicationTest, TheHelpLabelsFontGoesThroughEveryReset)
{
    auto* font = dynamic_cast<Font*>(app->GetHelpLabel()->GetFont());
    ASSERT_NE(font, nullptr);
    const unsigned lost = font->LostCount();
    const unsigned reset = font->ResetCount();
    app->SetWindowSize(800, 600);
    app->SetWindowSize(1024, 768);
    EXPECT_EQ(font->LostCount(), lost + 2);
    EXPECT_EQ(font->ResetCount(), reset + 2);
}

TEST_F(GameApplicationTest, AFailedResizeEndsTheFrameWithoutAnotherReset)
{
    NullDevice* device = Device();
    ASSERT_NE(device, nullptr);
    // A default-pool texture that the game does not know of makes every reset fail.
    IDirect3DTexture9* pinned = nullptr;
    ASSERT_EQ(device->CreateTexture(4, 4, 1, D3DUSAGE_RENDERTARGET, D3DFMT_X8R8G8B8, D3DPOOL_DEFAULT, &pinned, nullptr),
              D3D_OK);
    Key(kScancodeF5, true);
    Key(kScancodeF7, true);
    Frame(16);
    Key(kScancodeF5, false);
    Key(kScancodeF7, false);
    EXPECT_FALSE(app->IsActive());
    // F7 held with F5 must not try another size on a game that has ended.
    EXPECT_EQ(app->GetPresentParameters().BackBufferWidth, 800u);
    pinned->Release();
}

TEST_F(GameApplicationTest, F1TogglesTheHelpOncePerPressOutsideTheIntro)
{
    constexpr int kScancodeF1 = 58;
    HelpScreen* help = app->GetSession()->GetHelpScreen();
    ASSERT_NE(help, nullptr);
    // The first frame is the intro's: F1 does nothing there.
    Key(kScancodeF1, true);
    Frame(16);
    EXPECT_FALSE(help->IsVisible());
    Key(kScancodeF1, false);
    Frame(16);
    EXPECT_FALSE(help->IsVisible());
    // Space ends the title.
    constexpr int kScancodeSpace = 44;
    Key(kScancodeSpace, true);
    Frame(16);
    Key(kScancodeSpace, false);
    Frame(16);
    ASSERT_EQ(app->GetSession()->GetGameState(), GAME_STATE_MAIN_MENU);

    // Held for three frames, it acts once.
    Key(kScancodeF1, true);
    Frame(16);
    Frame(16);
    Frame(16);
    EXPECT_TRUE(help->IsVisible());
    Key(kScancodeF1, false);
    Frame(16);
    Key(kScancodeF1, true);
    Frame(16);
    EXPECT_FALSE(help->IsVisible());
    Key(kScancodeF1, false);
    Frame(16);

    // Shown by other means, the next F1 hides it.
    help->Show(true);
    Key(kScancodeF1, true);
    Frame(16);
    Key(kScancodeF1, false);
    EXPECT_FALSE(help->IsVisible());
}
