// The eleven class models of the default data in three poses each, drawn by the skinned-mesh path on the GL
// device into one contact sheet: at rest ("Idle"), half way into a walk and half way into a blow. The sheet
// is written to "models-contact-sheet.png" in the working directory for a person to look at; the test checks
// that every cell holds a figure and that walking and striking change each figure's outline.
#include "core/DataManager.h"
#include "scene/AnimatedMesh.h"
#include "scene/Camera.h"
#include "scene/MeshOwner.h"
#include "support/TestDevice.h"

#include "d3dx9/D3DX9.h"
#include "win32/Win32.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr UINT WIDTH = 1320;
constexpr UINT HEIGHT = 660;
constexpr D3DCOLOR BACKGROUND = 0xFF304050;
constexpr float COLUMN_SPACING = 150.0f;
constexpr float ROW_SPACING = 150.0f;
constexpr float FIGURE_HEIGHT = 112.0f;

const char* const Models[] = {"pikeman", "militia",  "paladin", "mage",   "combatMage", "healer",
                              "rogue",   "assassin", "scout",   "knight", "archer"};
const char* const Suffixes[] = {"_walk.x", "_attack.x"};

struct Pose {
    const char* set; // null: the model's own first set, at rest
    bool loop;
    float seconds;
};
const Pose Poses[] = {{nullptr, true, 0.5f}, {"Walk", true, 0.9f}, {"MeleeAttack", false, 0.5f}};

class NoOwner : public MeshOwner
{
public:
    ID3DXEffect* GetOwnerEffect() const override { return nullptr; }
};

LRESULT CALLBACK ContactSheetWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

class ModelContactSheetGl : public ::testing::Test
{
protected:
    void SetUp() override
    {
        WNDCLASSA wc{};
        wc.lpfnWndProc = ContactSheetWindowProc;
        wc.lpszClassName = "ModelContactSheet";
        RegisterClassA(&wc);
        window = CreateWindowExA(0, "ModelContactSheet", "contact sheet", WS_POPUP, 0, 0, WIDTH, HEIGHT, nullptr,
                                 nullptr, nullptr, nullptr);
        ASSERT_NE(window, nullptr);
        ASSERT_NO_FATAL_FAILURE(CreateTestDevice(D3D9_BACKEND_GL, window, WIDTH, HEIGHT, &d3d, &device));
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

    // Figure (column, row) stands at x = (column - 5) x spacing, rows one above the other.
    static D3DXMATRIX Placement(size_t column, size_t row)
    {
        D3DXMATRIX world;
        D3DXMatrixTranslation(&world, (static_cast<float>(column) - 5.0f) * COLUMN_SPACING,
                              ROW_SPACING * static_cast<float>(2 - row), 0.0f);
        return world;
    }

    HWND window = nullptr;
    IDirect3D9* d3d = nullptr;
    IDirect3DDevice9* device = nullptr;
    NoOwner owner;
    std::vector<std::unique_ptr<AnimatedMesh>> meshes;
};

} // namespace

TEST_F(ModelContactSheetGl, ElevenClassesAtRestWalkingAndStriking)
{
    Camera::Get()->SetEyeAndTarget(D3DXVECTOR3(0.0f, 200.0f, -1000.0f), D3DXVECTOR3(0.0f, 200.0f, 0.0f));
    Camera::Get()->SetProjectionFov(static_cast<float>(WIDTH), static_cast<float>(HEIGHT), 10.0f, 5000.0f);
    std::vector<AnimatedMesh*> cells;
    std::vector<D3DXMATRIX> places;
    for (size_t row = 0; row < std::size(Poses); ++row) {
        for (size_t column = 0; column < std::size(Models); ++column) {
            meshes.push_back(std::make_unique<AnimatedMesh>());
            AnimatedMesh& mesh = *meshes.back();
            const std::string base = Models[column];
            mesh.LoadWithEffect(&owner, base + ".x", true);
            ASSERT_TRUE(mesh.IsLoaded()) << base;
            for (const char* suffix : Suffixes)
                mesh.LoadAnimationFile(base + suffix);
            if (Poses[row].set) {
                EXPECT_TRUE(mesh.PlayAnimation(Poses[row].set, Poses[row].loop)) << base << " " << Poses[row].set;
            }
            cells.push_back(&mesh);
            places.push_back(Placement(column, row));
        }
    }
    const float towardsLight[3] = {0.35f, 0.75f, -0.55f};
    cells.front()->GetEffect()->SetFloatArray("LightDirection", towardsLight, 3);
    // Every row advances by its own time in steps of 0.05 s.
    for (int step = 0; step < 18; ++step) {
        DataManager::Get()->AdvanceTime(0.05f);
        for (size_t i = 0; i < cells.size(); ++i)
            if (0.05f * static_cast<float>(step) < Poses[i / std::size(Models)].seconds)
                cells[i]->Update(&places[i]);
    }

    device->SetRenderState(D3DRS_ZENABLE, TRUE);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, BACKGROUND, 1.0f, 0);
    device->BeginScene();
    for (AnimatedMesh* cell : cells)
        cell->DrawFrames();
    device->EndScene();

    IDirect3DSurface9* back = nullptr;
    ASSERT_EQ(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back), D3D_OK);
    std::vector<D3DCOLOR> pixels(static_cast<size_t>(WIDTH) * HEIGHT);
    D3DLOCKED_RECT locked{};
    ASSERT_EQ(back->LockRect(&locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    for (UINT y = 0; y < HEIGHT; ++y)
        std::memcpy(&pixels[static_cast<size_t>(y) * WIDTH],
                    static_cast<const uint8_t*>(locked.pBits) + static_cast<size_t>(y) * locked.Pitch, WIDTH * 4);
    back->UnlockRect();
    EXPECT_EQ(D3DXSaveSurfaceToFileA("models-contact-sheet.png", D3DXIFF_PNG, back, nullptr, nullptr), D3D_OK);
    back->Release();

    // Each cell's outline: the figure's pixels in a box around where its feet and crown fall on the screen.
    const D3DVIEWPORT9 viewport{0, 0, WIDTH, HEIGHT, 0.0f, 1.0f};
    auto project = [&](float x, float y) {
        D3DXVECTOR3 point(x, y, 0.0f), screen;
        D3DXVec3Project(&screen, &point, &viewport, &Camera::Get()->GetProjection(), &Camera::Get()->GetView(),
                        nullptr);
        return screen;
    };
    auto outline = [&](size_t column, size_t row) {
        const float x = (static_cast<float>(column) - 5.0f) * COLUMN_SPACING;
        const float y = ROW_SPACING * static_cast<float>(2 - row);
        const D3DXVECTOR3 low = project(x - COLUMN_SPACING / 2, y - 10.0f);
        const D3DXVECTOR3 high = project(x + COLUMN_SPACING / 2, y + ROW_SPACING - 10.0f);
        std::vector<bool> shape;
        for (int py = static_cast<int>(high.y); py < static_cast<int>(low.y); ++py)
            for (int px = static_cast<int>(low.x); px < static_cast<int>(high.x); ++px) {
                const bool inside = px >= 0 && py >= 0 && px < static_cast<int>(WIDTH) && py < static_cast<int>(HEIGHT);
                shape.push_back(inside &&
                                (pixels[static_cast<size_t>(py) * WIDTH + px] & 0xFFFFFF) != (BACKGROUND & 0xFFFFFF));
            }
        return shape;
    };
    for (size_t column = 0; column < std::size(Models); ++column) {
        SCOPED_TRACE(Models[column]);
        std::vector<std::vector<bool>> shapes;
        for (size_t row = 0; row < std::size(Poses); ++row) {
            shapes.push_back(outline(column, row));
            const long count = std::count(shapes.back().begin(), shapes.back().end(), true);
            // A figure 112 units tall fills several hundred pixels of its cell.
            EXPECT_GT(count, 400) << "row " << row;
        }
        for (size_t row = 1; row < shapes.size(); ++row) {
            double either = 0.0, one = 0.0;
            for (size_t k = 0; k < std::min(shapes[0].size(), shapes[row].size()); ++k) {
                either += (shapes[0][k] || shapes[row][k]) ? 1.0 : 0.0;
                one += (shapes[0][k] != shapes[row][k]) ? 1.0 : 0.0;
            }
            EXPECT_GT(one / std::max(either, 1.0), 0.05) << Poses[row].set << " looks like rest";
        }
    }
}
