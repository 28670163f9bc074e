// The default class models drawn by the game's skinned-mesh path on the GL device, eleven in a row, at rest
// and at the height of their blows. The picture is written to "models.png" in the working directory so a
// person can look at it; the test checks that every figure stands where it should, as tall as it should, and
// that no two classes share an outline.
#include "core/DataManager.h"
#include "scene/AnimatedMesh.h"
#include "scene/Camera.h"
#include "scene/MeshOwner.h"
#include "support/TestDevice.h"

#include "d3dx9/D3DX9.h"
#include "win32/Win32.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

namespace {

constexpr UINT WIDTH = 1320;
constexpr UINT HEIGHT = 600;
constexpr D3DCOLOR BACKGROUND = 0xFF203040;
constexpr float SPACING = 150.0f; // world units between figures

struct Figure {
    const char* model;
    const char* base;
    std::vector<const char*> extras;
    float height; // model units: the head's top (a helmet's crest or a hat's tip aside)
};

const Figure Figures[] = {
    {"pikeman.x", "pikeman", {"_meleespirit.x"}, 112.0f},
    {"militia.x", "militia", {"_firstaid.x", "_shieldbash.x"}, 0.98f * 112.0f},
    {"paladin.x", "paladin", {}, 1.06f * 112.0f},
    {"mage.x", "mage", {}, 112.0f},
    {"combatMage.x", "combatMage", {}, 112.0f},
    {"healer.x", "healer", {}, 0.97f * 112.0f},
    {"rogue.x", "rogue", {"_flashstrike.x"}, 0.92f * 112.0f},
    {"assassin.x", "assassin", {"_asstouch.x", "_daggerthrow.x", "_fanofdaggers.x"}, 112.0f},
    {"scout.x", "scout", {"_dirtkick.x"}, 0.92f * 112.0f},
    {"knight.x", "knight", {"_warcry.x", "_sweepstrike.x", "_assault.x"}, 1.1f * 112.0f},
    {"archer.x", "archer", {}, 112.0f},
};

const char* const Suffixes[] = {"_walk.x",  "_defend.x", "_focus.x",        "_hit.x",  "_magichit.x", "_die.x",
                                "_dodge.x", "_attack.x", "_rangedAttack.x", "_cast.x", "_critical.x"};

class NoOwner : public MeshOwner
{
public:
    ID3DXEffect* GetOwnerEffect() const override { return nullptr; }
};

LRESULT CALLBACK SheetWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

class DefaultModelsGl : public ::testing::Test
{
protected:
    void SetUp() override
    {
        WNDCLASSA wc{};
        wc.lpfnWndProc = SheetWindowProc;
        wc.lpszClassName = "ModelSheetWindow";
        RegisterClassA(&wc);
        window = CreateWindowExA(0, "ModelSheetWindow", "models", WS_POPUP, 0, 0, WIDTH, HEIGHT, nullptr, nullptr,
                                 nullptr, nullptr);
        ASSERT_NE(window, nullptr);
        CreateTestDevice(D3D9_BACKEND_GL, window, WIDTH, HEIGHT, &d3d, &device);
        ASSERT_NE(device, nullptr);
        DataManager::Reset();
        Camera::ResetForTests();
        DataManager::Get()->SetDevice(device);
    }
    void TearDown() override
    {
        meshes.clear();
        DataManager::Get()->ReleaseAll();
        DataManager::Reset();
        ReleaseTestDevice(d3d, device);
        if (window)
            DestroyWindow(window);
    }

    AnimatedMesh& Load(const Figure& f)
    {
        meshes.push_back(std::make_unique<AnimatedMesh>());
        AnimatedMesh& mesh = *meshes.back();
        mesh.LoadWithEffect(&owner, f.model, true);
        EXPECT_TRUE(mesh.IsLoaded()) << f.model;
        for (const char* extra : f.extras)
            mesh.LoadAnimationFile(std::string(f.base) + extra);
        for (const char* suffix : Suffixes)
            mesh.LoadAnimationFile(std::string(f.base) + suffix);
        return mesh;
    }

    // Figure i of the row stands at x = (i - 5) x SPACING; `turn` turns it about its feet.
    static D3DXMATRIX Placement(size_t i, float turn, float z)
    {
        D3DXMATRIX rotation, translation, world;
        D3DXMatrixRotationY(&rotation, turn);
        D3DXMatrixTranslation(&translation, (static_cast<float>(i) - 5.0f) * SPACING, 0.0f, z);
        D3DXMatrixMultiply(&world, &rotation, &translation);
        return world;
    }

    std::vector<D3DCOLOR> ReadBack()
    {
        std::vector<D3DCOLOR> pixels;
        IDirect3DSurface9* back = nullptr;
        device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back);
        D3DLOCKED_RECT locked{};
        if (back && back->LockRect(&locked, nullptr, D3DLOCK_READONLY) == D3D_OK) {
            pixels.resize(static_cast<size_t>(WIDTH) * HEIGHT);
            for (UINT y = 0; y < HEIGHT; ++y)
                std::memcpy(&pixels[static_cast<size_t>(y) * WIDTH],
                            static_cast<const uint8_t*>(locked.pBits) + static_cast<size_t>(y) * locked.Pitch,
                            WIDTH * 4);
            back->UnlockRect();
            D3DXSaveSurfaceToFileA("models.png", D3DXIFF_PNG, back, nullptr, nullptr);
        }
        if (back)
            back->Release();
        return pixels;
    }

    HWND window = nullptr;
    IDirect3D9* d3d = nullptr;
    IDirect3DDevice9* device = nullptr;
    NoOwner owner;
    std::vector<std::unique_ptr<AnimatedMesh>> meshes;
};

} // namespace

TEST_F(DefaultModelsGl, ElevenClassesStandAtTheirHeightsInOutlinesOfTheirOwn)
{
    // The front row faces the camera at rest; the back row, turned to show its side, strikes.
    const D3DXVECTOR3 eye(0.0f, 220.0f, -1150.0f), target(0.0f, 60.0f, 0.0f);
    Camera::Get()->SetEyeAndTarget(eye, target);
    Camera::Get()->SetProjectionFov(static_cast<float>(WIDTH), static_cast<float>(HEIGHT), 10.0f, 5000.0f);
    std::vector<D3DXMATRIX> fronts, backs;
    for (size_t i = 0; i < std::size(Figures); ++i) {
        fronts.push_back(Placement(i, 0.0f, -200.0f));
        backs.push_back(Placement(i, 1.2f, 200.0f));
    }
    std::vector<AnimatedMesh*> front, back;
    for (const Figure& f : Figures)
        front.push_back(&Load(f));
    // Light from over the camera's shoulder, as a level's sun would give it.
    const float towardsLight[3] = {0.35f, 0.75f, -0.55f};
    front.front()->GetEffect()->SetFloatArray("LightDirection", towardsLight, 3);
    for (const Figure& f : Figures) {
        AnimatedMesh& mesh = Load(f);
        EXPECT_TRUE(mesh.PlayAnimation("MeleeAttack", false));
        back.push_back(&mesh);
    }
    // Half a second in: the blows land about then, the cross-fade behind them.
    for (int step = 0; step < 10; ++step) {
        DataManager::Get()->AdvanceTime(0.05f);
        for (size_t i = 0; i < front.size(); ++i) {
            front[i]->Update(&fronts[i]);
            back[i]->Update(&backs[i]);
        }
    }

    device->SetRenderState(D3DRS_ZENABLE, TRUE);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, BACKGROUND, 1.0f, 0);
    device->BeginScene();
    for (size_t i = 0; i < front.size(); ++i) {
        front[i]->DrawFrames();
        back[i]->DrawFrames();
    }
    device->EndScene();
    const std::vector<D3DCOLOR> pixels = ReadBack();
    ASSERT_EQ(pixels.size(), static_cast<size_t>(WIDTH) * HEIGHT);

    // Where each front figure's feet and crown fall on the screen.
    D3DVIEWPORT9 viewport{0, 0, WIDTH, HEIGHT, 0.0f, 1.0f};
    const D3DXMATRIX& view = Camera::Get()->GetView();
    const D3DXMATRIX& projection = Camera::Get()->GetProjection();
    // Each figure's silhouette in a window around its column.
    std::vector<std::vector<bool>> silhouettes;
    for (size_t i = 0; i < std::size(Figures); ++i) {
        SCOPED_TRACE(Figures[i].model);
        const float x = (static_cast<float>(i) - 5.0f) * SPACING;
        D3DXVECTOR3 feet(x, 0.0f, -200.0f), crown(x, Figures[i].height, -200.0f), onScreenFeet, onScreenCrown;
        D3DXVec3Project(&onScreenFeet, &feet, &viewport, &projection, &view, nullptr);
        D3DXVec3Project(&onScreenCrown, &crown, &viewport, &projection, &view, nullptr);
        const int column = static_cast<int>(std::lround(onScreenFeet.x));
        const int halfWidth =
            static_cast<int>(SPACING * 0.35f * (onScreenFeet.y - onScreenCrown.y) / Figures[i].height);
        // The figure's rows: the highest and lowest rows with figure pixels within its column band.
        int top = HEIGHT, bottom = -1;
        std::vector<bool> silhouette(static_cast<size_t>(HEIGHT) * 200, false);
        long count = 0;
        for (int y = 0; y < static_cast<int>(HEIGHT); ++y) {
            for (int px = column - halfWidth; px <= column + halfWidth; ++px) {
                if (px < 0 || px >= static_cast<int>(WIDTH) || y > onScreenFeet.y + 10)
                    continue;
                const D3DCOLOR c = pixels[static_cast<size_t>(y) * WIDTH + static_cast<size_t>(px)];
                if ((c & 0xFFFFFF) == (BACKGROUND & 0xFFFFFF))
                    continue;
                top = std::min(top, y);
                bottom = std::max(bottom, y);
                if (std::abs(px - column) < 100)
                    silhouette[static_cast<size_t>(y) * 200 + static_cast<size_t>(px - column + 100)] = true;
                ++count;
            }
        }
        // Standing on its feet: the lowest pixels at the ground within a few pixels.
        EXPECT_NEAR(bottom, onScreenFeet.y, 4.0);
        // The head's top near its projected height; hats, helmets, crests and raised weapons reach higher.
        EXPECT_LT(top, onScreenCrown.y + 0.1f * (onScreenFeet.y - onScreenCrown.y));
        EXPECT_GT(count, 600);
        silhouettes.push_back(silhouette);
    }
    // Every class's outline differs from every other's: laid over each other at their feet, at least a sixth
    // of the pixels either covers are covered by one alone.
    for (size_t a = 0; a < silhouettes.size(); ++a) {
        for (size_t b = a + 1; b < silhouettes.size(); ++b) {
            double either = 0.0, one = 0.0;
            for (size_t k = 0; k < silhouettes[a].size(); ++k) {
                either += (silhouettes[a][k] || silhouettes[b][k]) ? 1.0 : 0.0;
                one += (silhouettes[a][k] != silhouettes[b][k]) ? 1.0 : 0.0;
            }
            EXPECT_GT(one / std::max(either, 1.0), 1.0 / 6.0) << Figures[a].base << " and " << Figures[b].base;
        }
    }
}
