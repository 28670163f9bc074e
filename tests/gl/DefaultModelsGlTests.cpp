// The default class models drawn by the game's skinned-mesh path on the GL device. The pictures are left in the
// working directory for a person to look at: "models.png" (eleven in a row, at rest and at the height of their
// blows) and "models-contact-sheet.png" (at rest, half way into a walk and half way into a blow). The tests check
// that every figure stands where it should, as tall as it should, that no two classes share an outline, and that
// walking and striking change each figure's outline.
#include "core/DataManager.h"
#include "gl/GlDeviceFixture.h"
#include "scene/AnimatedMesh.h"
#include "scene/Camera.h"
#include "scene/MeshOwner.h"

#include "d3dx9/D3DX9.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

namespace {

constexpr UINT WIDTH = 1320;
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

const std::vector<const char*> AllSuffixes = {"_walk.x",         "_defend.x", "_focus.x",   "_hit.x",
                                              "_magichit.x",     "_die.x",    "_dodge.x",   "_attack.x",
                                              "_rangedAttack.x", "_cast.x",   "_critical.x"};

class NoOwner : public MeshOwner
{
public:
    ID3DXEffect* GetOwnerEffect() const override { return nullptr; }
};

// The mean colour of the pixels in a box that are not the background.
struct MeanColour {
    double r = 0.0, g = 0.0, b = 0.0;
    long count = 0;
    double Brightness() const { return (r + g + b) / 3.0; }
};

MeanColour Mean(const std::vector<D3DCOLOR>& pixels, UINT width, int left, int top, int right, int bottom,
                D3DCOLOR background)
{
    MeanColour mean;
    for (int y = std::max(top, 0); y < bottom; ++y)
        for (int x = std::max(left, 0); x < std::min(right, static_cast<int>(width)); ++x) {
            const D3DCOLOR c = pixels[static_cast<size_t>(y) * width + static_cast<size_t>(x)];
            if ((c & 0xFFFFFF) == (background & 0xFFFFFF))
                continue;
            mean.r += (c >> 16) & 0xFF;
            mean.g += (c >> 8) & 0xFF;
            mean.b += c & 0xFF;
            ++mean.count;
        }
    if (mean.count > 0) {
        mean.r /= static_cast<double>(mean.count);
        mean.g /= static_cast<double>(mean.count);
        mean.b /= static_cast<double>(mean.count);
    }
    return mean;
}

class ModelsGl : public GlScreenFixture<SceneTest>
{
protected:
    explicit ModelsGl(UINT height) : GlScreenFixture(WIDTH, height) { }
    void TearDown() override
    {
        meshes.clear();
        GlScreenFixture::TearDown();
    }

    // The figure's model with its own animation files and the given ones of every class.
    AnimatedMesh& Load(const Figure& f, const std::vector<const char*>& suffixes)
    {
        meshes.push_back(std::make_unique<AnimatedMesh>());
        AnimatedMesh& mesh = *meshes.back();
        mesh.LoadWithEffect(&owner, f.model, true);
        EXPECT_TRUE(mesh.IsLoaded()) << f.model;
        for (const char* extra : f.extras)
            mesh.LoadAnimationFile(std::string(f.base) + extra);
        for (const char* suffix : suffixes)
            mesh.LoadAnimationFile(std::string(f.base) + suffix);
        return mesh;
    }

    // Lights from over the shoulder of a camera that looks along +z, as a level's sun would, and draws the meshes.
    std::vector<D3DCOLOR> Draw(const std::vector<AnimatedMesh*>& drawn, D3DCOLOR background, const char* picture)
    {
        AnimatedMesh::SetLightDirection(D3DXVECTOR3(0.35f, 0.75f, -0.55f));
        device->SetRenderState(D3DRS_ZENABLE, TRUE);
        device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, background, 1.0f, 0);
        device->BeginScene();
        for (AnimatedMesh* mesh : drawn)
            mesh->DrawFrames();
        device->EndScene();
        std::vector<D3DCOLOR> pixels = ReadBackBuffer();
        EXPECT_EQ(pixels.size(), static_cast<size_t>(width) * height);
        pixels.resize(static_cast<size_t>(width) * height, background);
        SavePicture(pixels, picture);
        return pixels;
    }

    D3DXVECTOR3 Project(float x, float y, float z) const
    {
        const D3DVIEWPORT9 viewport{0, 0, width, height, 0.0f, 1.0f};
        D3DXVECTOR3 point(x, y, z), screen;
        D3DXVec3Project(&screen, &point, &viewport, &Camera::Get()->GetProjection(), &Camera::Get()->GetView(),
                        nullptr);
        return screen;
    }

    // Of two outlines laid over each other, the share of the pixels either covers that one alone covers.
    static double Difference(const std::vector<bool>& a, const std::vector<bool>& b)
    {
        double either = 0.0, one = 0.0;
        for (size_t k = 0; k < std::min(a.size(), b.size()); ++k) {
            either += (a[k] || b[k]) ? 1.0 : 0.0;
            one += (a[k] != b[k]) ? 1.0 : 0.0;
        }
        return one / std::max(either, 1.0);
    }

    NoOwner owner;
    std::vector<std::unique_ptr<AnimatedMesh>> meshes;
};

class DefaultModelsGl : public ModelsGl
{
protected:
    DefaultModelsGl() : ModelsGl(600) { }

    // Figure i of the row stands at x = (i - 5) x SPACING; `turn` turns it about its feet.
    static D3DXMATRIX Placement(size_t i, float turn, float z)
    {
        D3DXMATRIX rotation, translation, world;
        D3DXMatrixRotationY(&rotation, turn);
        D3DXMatrixTranslation(&translation, (static_cast<float>(i) - 5.0f) * SPACING, 0.0f, z);
        D3DXMatrixMultiply(&world, &rotation, &translation);
        return world;
    }
};

} // namespace

TEST_F(DefaultModelsGl, ElevenClassesStandAtTheirHeightsInOutlinesOfTheirOwn)
{
    constexpr D3DCOLOR BACKGROUND = 0xFF203040;
    // The front row faces the camera at rest; the back row, turned to show its side, strikes.
    Camera::Get()->SetEyeAndTarget(D3DXVECTOR3(0.0f, 220.0f, -1150.0f), D3DXVECTOR3(0.0f, 60.0f, 0.0f));
    Camera::Get()->SetProjectionFov(static_cast<float>(width), static_cast<float>(height), 10.0f, 5000.0f);
    std::vector<D3DXMATRIX> places;
    std::vector<AnimatedMesh*> drawn;
    for (size_t i = 0; i < std::size(Figures); ++i) {
        places.push_back(Placement(i, 0.0f, -200.0f));
        drawn.push_back(&Load(Figures[i], AllSuffixes));
    }
    for (size_t i = 0; i < std::size(Figures); ++i) {
        places.push_back(Placement(i, 1.2f, 200.0f));
        drawn.push_back(&Load(Figures[i], AllSuffixes));
        EXPECT_TRUE(drawn.back()->PlayAnimation("MeleeAttack", false));
    }
    // Half a second in: the blows land about then, the cross-fade behind them.
    for (int step = 0; step < 10; ++step) {
        DataManager::Get()->AdvanceTime(0.05f);
        for (size_t i = 0; i < drawn.size(); ++i)
            drawn[i]->Update(&places[i]);
    }
    const std::vector<D3DCOLOR> pixels = Draw(drawn, BACKGROUND, "models.png");

    // Each front figure's silhouette in a window around where its feet and crown fall on the screen.
    std::vector<std::vector<bool>> silhouettes;
    for (size_t i = 0; i < std::size(Figures); ++i) {
        SCOPED_TRACE(Figures[i].model);
        const float x = (static_cast<float>(i) - 5.0f) * SPACING;
        const D3DXVECTOR3 feet = Project(x, 0.0f, -200.0f);
        const D3DXVECTOR3 crown = Project(x, Figures[i].height, -200.0f);
        const int column = static_cast<int>(std::lround(feet.x));
        const int halfWidth = static_cast<int>(SPACING * 0.35f * (feet.y - crown.y) / Figures[i].height);
        // The figure's rows: the highest and lowest rows with figure pixels within its column band.
        int top = static_cast<int>(height), bottom = -1;
        std::vector<bool> silhouette(static_cast<size_t>(height) * 200, false);
        long count = 0;
        for (int y = 0; y < static_cast<int>(height); ++y) {
            for (int px = column - halfWidth; px <= column + halfWidth; ++px) {
                if (px < 0 || px >= static_cast<int>(width) || y > feet.y + 10 ||
                    (Pixel(pixels, px, y) & 0xFFFFFF) == (BACKGROUND & 0xFFFFFF))
                    continue;
                top = std::min(top, y);
                bottom = std::max(bottom, y);
                if (std::abs(px - column) < 100)
                    silhouette[static_cast<size_t>(y) * 200 + static_cast<size_t>(px - column + 100)] = true;
                ++count;
            }
        }
        // Standing on its feet: the lowest pixels at the ground within a few pixels.
        EXPECT_NEAR(bottom, feet.y, 4.0);
        // The head's top near its projected height; hats, helmets, crests and raised weapons reach higher.
        EXPECT_LT(top, crown.y + 0.1f * (feet.y - crown.y));
        EXPECT_GT(count, 600);
        silhouettes.push_back(silhouette);
    }
    // Every class's outline differs from every other's: laid over each other at their feet, at least a sixth
    // of the pixels either covers are covered by one alone.
    for (size_t a = 0; a < silhouettes.size(); ++a)
        for (size_t b = a + 1; b < silhouettes.size(); ++b)
            EXPECT_GT(Difference(silhouettes[a], silhouettes[b]), 1.0 / 6.0)
                << Figures[a].base << " and " << Figures[b].base;
}

namespace {

class ModelContactSheetGl : public ModelsGl
{
protected:
    ModelContactSheetGl() : ModelsGl(660) { }
};

struct Pose {
    const char* set; // null: the model's own first set, at rest
    bool loop;
    float seconds;
};
const Pose Poses[] = {{nullptr, true, 0.5f}, {"Walk", true, 0.9f}, {"MeleeAttack", false, 0.5f}};

} // namespace

TEST_F(ModelContactSheetGl, ElevenClassesAtRestWalkingAndStriking)
{
    constexpr D3DCOLOR BACKGROUND = 0xFF304050;
    constexpr float ROW_SPACING = 150.0f;
    Camera::Get()->SetEyeAndTarget(D3DXVECTOR3(0.0f, 200.0f, -1000.0f), D3DXVECTOR3(0.0f, 200.0f, 0.0f));
    Camera::Get()->SetProjectionFov(static_cast<float>(width), static_cast<float>(height), 10.0f, 5000.0f);
    // Figure (column, row) stands at x = (column - 5) x spacing, rows one above the other.
    std::vector<AnimatedMesh*> cells;
    std::vector<D3DXMATRIX> places;
    for (size_t row = 0; row < std::size(Poses); ++row) {
        for (size_t column = 0; column < std::size(Figures); ++column) {
            AnimatedMesh& mesh = Load(Figures[column], {"_walk.x", "_attack.x"});
            if (Poses[row].set) {
                EXPECT_TRUE(mesh.PlayAnimation(Poses[row].set, Poses[row].loop))
                    << Figures[column].base << " " << Poses[row].set;
            }
            cells.push_back(&mesh);
            places.emplace_back();
            D3DXMatrixTranslation(&places.back(), (static_cast<float>(column) - 5.0f) * SPACING,
                                  ROW_SPACING * static_cast<float>(2 - row), 0.0f);
        }
    }
    // Every row advances by its own time in steps of 0.05 s.
    for (int step = 0; step < 18; ++step) {
        DataManager::Get()->AdvanceTime(0.05f);
        for (size_t i = 0; i < cells.size(); ++i)
            if (0.05f * static_cast<float>(step) < Poses[i / std::size(Figures)].seconds)
                cells[i]->Update(&places[i]);
    }
    const std::vector<D3DCOLOR> pixels = Draw(cells, BACKGROUND, "models-contact-sheet.png");

    // Each cell's outline: the figure's pixels in a box around where its feet and crown fall on the screen.
    auto outline = [&](size_t column, size_t row) {
        const float x = (static_cast<float>(column) - 5.0f) * SPACING;
        const float y = ROW_SPACING * static_cast<float>(2 - row);
        const D3DXVECTOR3 low = Project(x - SPACING / 2, y - 10.0f, 0.0f);
        const D3DXVECTOR3 high = Project(x + SPACING / 2, y + ROW_SPACING - 10.0f, 0.0f);
        std::vector<bool> shape;
        for (int py = static_cast<int>(high.y); py < static_cast<int>(low.y); ++py)
            for (int px = static_cast<int>(low.x); px < static_cast<int>(high.x); ++px) {
                const bool inside = px >= 0 && py >= 0 && px < static_cast<int>(width) && py < static_cast<int>(height);
                shape.push_back(inside && (Pixel(pixels, px, py) & 0xFFFFFF) != (BACKGROUND & 0xFFFFFF));
            }
        return shape;
    };
    for (size_t column = 0; column < std::size(Figures); ++column) {
        SCOPED_TRACE(Figures[column].base);
        std::vector<std::vector<bool>> shapes;
        for (size_t row = 0; row < std::size(Poses); ++row) {
            shapes.push_back(outline(column, row));
            // A figure 112 units tall fills several hundred pixels of its cell.
            EXPECT_GT(std::count(shapes.back().begin(), shapes.back().end(), true), 400) << "row " << row;
        }
        for (size_t row = 1; row < shapes.size(); ++row)
            EXPECT_GT(Difference(shapes[0], shapes[row]), 0.05) << Poses[row].set << " looks like rest";
    }
}

namespace {

class LitModelsGl : public ModelsGl
{
protected:
    LitModelsGl() : ModelsGl(300) { }
};

} // namespace

// The sun stands still in the world while the camera goes round a unit: the side turned to it is lit, the
// other side is in shade. (A light left in the camera's frame would light whichever side the camera sees.)
TEST_F(LitModelsGl, TheSunLightsTheSideOfAUnitThatFacesIt)
{
    constexpr D3DCOLOR BACKGROUND = 0xFF000000;
    AnimatedMesh& pikeman = Load(Figures[0], {});
    D3DXMATRIX place;
    D3DXMatrixIdentity(&place);
    DataManager::Get()->AdvanceTime(0.05f);
    pikeman.Update(&place);
    Camera::Get()->SetProjectionFov(static_cast<float>(width), static_cast<float>(height), 10.0f, 5000.0f);
    // The pikeman wears the same colours front and back. The sun low in front of him (he faces -z), over the shoulder
    // of a camera standing in front.
    D3DXVECTOR3 towardsSun(0.0f, 0.3f, -1.0f);
    D3DXVec3Normalize(&towardsSun, &towardsSun);
    auto brightnessFrom = [&](float z) {
        Camera::Get()->SetEyeAndTarget(D3DXVECTOR3(0.0f, 60.0f, z), D3DXVECTOR3(0.0f, 60.0f, 0.0f));
        pikeman.Update(&place);
        device->SetRenderState(D3DRS_ZENABLE, TRUE);
        device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, BACKGROUND, 1.0f, 0);
        AnimatedMesh::SetLightDirection(towardsSun);
        device->BeginScene();
        pikeman.DrawFrames();
        device->EndScene();
        const MeanColour mean =
            Mean(ReadBackBuffer(), width, 0, 0, static_cast<int>(width), static_cast<int>(height), BACKGROUND);
        EXPECT_GT(mean.count, 500);
        return mean.Brightness();
    };
    const double sunny = brightnessFrom(-600.0f);
    const double shaded = brightnessFrom(600.0f);
    // Faces turned to the sun take the whole light, faces turned away the ambient share (0.4) alone: the lit
    // side is well over one and a half times as bright.
    EXPECT_GT(sunny, 1.5 * shaded) << "front " << sunny << ", back " << shaded;
}
