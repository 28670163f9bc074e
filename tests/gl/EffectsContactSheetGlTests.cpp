// Every effect of the default data drawn on the GL device, a cell each, into one contact sheet under the build
// directory ("effects_contact_sheet.png") to look at; each cell must differ from the same view without it.

#include "core/DataManager.h"
#include "core/Random.h"
#include "gl/GlDeviceFixture.h"
#include "scene/BoltEffect.h"
#include "scene/Camera.h"
#include "scene/Decal.h"
#include "scene/DecalManager.h"
#include "scene/EmitterFileCache.h"
#include "scene/GroundProvider.h"
#include "scene/ParticleEmitter.h"
#include "scene/ParticleManager.h"
#include "scene/WorldQuad.h"
#include "support/PngFile.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr UINT CELL_WIDTH = 256;
constexpr UINT CELL_HEIGHT = 192;
constexpr int FRAMES = 10;
constexpr float FRAME_TIME = 1.0f / 30.0f;
constexpr D3DCOLOR SKY = 0xFF182030;

// Ground rising a quarter unit per unit of x, the slope the decal cells lie on.
class SlopedGround : public GroundProvider
{
public:
    float GroundHeight(float x, float) const override { return 0.25f * x; }
    D3DXVECTOR3 GroundNormal(float, float) const override
    {
        D3DXVECTOR3 n(-0.25f, 1.0f, 0.0f);
        D3DXVec3Normalize(&n, &n);
        return n;
    }
};

struct GroundVertex {
    float x, y, z;
    D3DCOLOR colour;
};

class EffectsContactSheetTest : public GlScreenFixture<SceneTest>
{
protected:
    EffectsContactSheetTest() : GlScreenFixture(CELL_WIDTH, CELL_HEIGHT) { }
    void SetUp() override
    {
        GlScreenFixture::SetUp();
        Srand(1);
    }

    // The states the game's scene starts each frame with.
    void SceneStates()
    {
        device->SetRenderState(D3DRS_LIGHTING, FALSE);
        device->SetRenderState(D3DRS_ZENABLE, TRUE);
        device->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
        device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
        device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
        device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
        device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
        device->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
        device->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);
        device->SetRenderState(D3DRS_ALPHAREF, 4);
        device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
        device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
        device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
        device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
        device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
        device->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
        for (D3DSAMPLERSTATETYPE filter : {D3DSAMP_MINFILTER, D3DSAMP_MAGFILTER, D3DSAMP_MIPFILTER})
            device->SetSamplerState(0, filter, D3DTEXF_LINEAR);
        device->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_MIRROR);
        device->SetSamplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_MIRROR);
    }

    // A square of ground around the origin at height slope x, coloured grass green.
    void DrawGround(float slope)
    {
        const float h = 1500.0f;
        const D3DCOLOR grass = 0xFF4E6A3C;
        const GroundVertex quad[4] = {{-h, -h * slope, -h, grass},
                                      {-h, -h * slope, h, grass},
                                      {h, h * slope, -h, grass},
                                      {h, h * slope, h, grass}};
        D3DXMATRIX identity;
        D3DXMatrixIdentity(&identity);
        device->SetTransform(D3DTS_WORLD, &identity);
        device->SetTexture(0, nullptr);
        device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG2);
        device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG2);
        device->SetFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE);
        device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(GroundVertex));
        device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
        device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    }

    // One frame of the scene as the game orders it: ground, decals, then the particle pass.
    std::vector<D3DCOLOR> Render(float slope, const std::function<void()>& submit)
    {
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, SKY, 1.0f, 0);
        device->BeginScene();
        SceneStates();
        DrawGround(slope);
        if (submit)
            submit();
        DecalManager::Get()->Render();
        ParticleManager::Get()->Render();
        device->EndScene();
        return ReadBackBuffer();
    }

    static void Frame() { DataManager::Get()->AdvanceTime(FRAME_TIME); }

    static int ChangedPixels(const std::vector<D3DCOLOR>& a, const std::vector<D3DCOLOR>& b)
    {
        int changed = 0;
        for (size_t i = 0; i < a.size() && i < b.size(); ++i) {
            for (int shift : {0, 8, 16}) {
                const int d = static_cast<int>((a[i] >> shift) & 0xFF) - static_cast<int>((b[i] >> shift) & 0xFF);
                if (d > 8 || d < -8) {
                    ++changed;
                    break;
                }
            }
        }
        return changed;
    }
};

struct Cell {
    std::string name;
    std::vector<D3DCOLOR> pixels;
    std::vector<D3DCOLOR> empty;
};

void SaveSheet(const std::vector<Cell>& cells, const std::string& path)
{
    constexpr int columns = 6;
    constexpr int gap = 4;
    const int rows = static_cast<int>((cells.size() + columns - 1) / columns);
    const int width = columns * static_cast<int>(CELL_WIDTH) + (columns + 1) * gap;
    const int height = rows * static_cast<int>(CELL_HEIGHT) + (rows + 1) * gap;
    std::vector<uint8_t> rgb(static_cast<size_t>(width) * static_cast<size_t>(height) * 3, 0x50);
    for (size_t c = 0; c < cells.size(); ++c) {
        const int left = gap + static_cast<int>(c % columns) * (static_cast<int>(CELL_WIDTH) + gap);
        const int top = gap + static_cast<int>(c / columns) * (static_cast<int>(CELL_HEIGHT) + gap);
        for (UINT y = 0; y < CELL_HEIGHT; ++y) {
            for (UINT x = 0; x < CELL_WIDTH; ++x) {
                const D3DCOLOR p = cells[c].pixels[static_cast<size_t>(y) * CELL_WIDTH + x];
                uint8_t* out = &rgb[(static_cast<size_t>(top + static_cast<int>(y)) * static_cast<size_t>(width) +
                                     static_cast<size_t>(left + static_cast<int>(x))) *
                                    3];
                out[0] = static_cast<uint8_t>(p >> 16);
                out[1] = static_cast<uint8_t>(p >> 8);
                out[2] = static_cast<uint8_t>(p);
            }
        }
    }
    EXPECT_TRUE(WritePng(path, width, height, rgb)) << path;
}

const char* const EMITTERS[] = {
    "fireballEmitter.txt",   "focusEmitter.txt",    "defendEmitter.txt",   "defaultEmitter.txt",
    "bloodEmitter.txt",      "hitEmitter.txt",      "burstEmitter.txt",    "buffEmitter.txt",
    "CriticalEmitter.txt",   "death_emitter_1.txt", "death_emitter_2.txt", "fizzled_emitter.txt",
    "invincibleEmitter.txt", "IceCrystalRing.txt",  "FireCrystalRing.txt", "FireCrystalBurst.txt",
    "Smoldering.txt",        "SmokeEmitter.txt",    "P_AmbientRain.txt",   "Fire_EmbersEmitter.txt",
};

} // namespace

TEST_F(EffectsContactSheetTest, EveryEffectShowsInItsCell)
{
    Camera* camera = Camera::Get();
    camera->SetProjectionFov(static_cast<float>(CELL_WIDTH), static_cast<float>(CELL_HEIGHT), 200.0f, 40000.0f);
    std::vector<Cell> cells;

    // Emitters beside a unit standing at the origin.
    camera->SetEyeAndTarget(D3DXVECTOR3(0.0f, 190.0f, -430.0f), D3DXVECTOR3(0.0f, 95.0f, 0.0f));
    const std::vector<D3DCOLOR> emptyGround = Render(0.0f, nullptr);
    for (const char* name : EMITTERS) {
        ParticleEmitter emitter;
        emitter.LoadFile(name);
        EXPECT_GT(emitter.FreeCount(), 0u) << name << " was not read";
        // Placed as an owner places it: at the feet of a unit standing at the origin, aiming at a point to
        // its right. The level lowers its rain so that the rain's box starts just above this view.
        emitter.position = D3DXVECTOR3(0.0f, 0.0f, 0.0f);
        emitter.target = D3DXVECTOR3(400.0f, 120.0f, 0.0f);
        if (emitter.Settings().type == EMITTER_AMBIENT && emitter.Settings().origin.y > 600.0f)
            emitter.position.y = -900.0f;
        for (int frame = 0; frame < FRAMES; ++frame) {
            Frame();
            emitter.Update();
        }
        cells.push_back({name, Render(0.0f, [&] { emitter.Submit(); }), emptyGround});
    }

    // Bolts: a ranged attack's, a holy bolt and lightning.
    {
        const D3DXVECTOR3 colours[] = {{0.2f, 1.0f, 0.2f}, {1.0f, 0.9f, 0.5f}, {0.6f, 0.7f, 1.0f}};
        const char* textures[] = {"lightBolt.BMP", "HBbolt.BMP", "bolt.BMP"};
        for (int i = 0; i < 3; ++i) {
            const D3DXVECTOR3 from(-350.0f, 60.0f + 70.0f * static_cast<float>(i), 0.0f);
            const D3DXVECTOR3 to(350.0f, 110.0f + 70.0f * static_cast<float>(i), 0.0f);
            ParticleManager::Get()->SpawnBolt(textures[i], &from, &to, &colours[i], 0.0f, 2.0f, 0.01f,
                                              i == 2 ? 12.0f : 0.0f, i == 2 ? 12.0f : 0.0f, i == 0);
        }
        for (int frame = 0; frame < FRAMES; ++frame) {
            Frame();
            ParticleManager::Get()->Update();
        }
        cells.push_back({"bolts", Render(0.0f, nullptr), emptyGround});
        ParticleManager::Get()->ReleaseAll();
    }

    // World quads over a unit: health and mana bars part full, the turn-order marker stepping through its
    // frames, and a buff arrow.
    {
        auto makeQuad = [](const char* texture, float halfWidth, float halfHeight) {
            auto quad = std::make_unique<WorldQuad>();
            quad->SetTexture(texture);
            quad->CreateBuffer(halfWidth, halfHeight);
            quad->alpha = 1.0f;
            return quad;
        };
        // As over a unit: the four bar quads share one rectangle and their pictures fit together, the badge on
        // the left, health over mana to its right; the order numbers stack them frame, health, mana, badge.
        auto healthFrame = makeQuad("HealthMana.tga", 70.0f, 35.0f);
        auto health = makeQuad("red.tga", 70.0f, 35.0f);
        auto manaFrame = makeQuad("HealthMana.tga", 70.0f, 35.0f); // a second, empty plaque below
        auto mana = makeQuad("blue.tga", 70.0f, 35.0f);
        auto marker = makeQuad("turnorder_f9.tga", 70.0f, 35.0f);
        auto arrow = makeQuad("BuffArrow.tga", 24.0f, 24.0f);
        // A bar runs from u 0.34 to 0.97: 70 % of it cuts at 0.781 (right edge 2 x 0.781 - 1 half widths).
        health->uRight = 0.781f;
        health->fill = 0.562f;
        health->order = 1;
        // 40 %: cut at 0.592.
        mana->uRight = 0.592f;
        mana->fill = 0.184f;
        mana->order = 2;
        marker->order = 3;
        marker->animate = true;
        arrow->colour = D3DXVECTOR3(0.3f, 1.0f, 0.3f);
        auto place = [&] {
            healthFrame->Submit(0.0f, 230.0f, 0.0f);
            health->Submit(0.0f, 230.0f, 0.0f);
            mana->Submit(0.0f, 230.0f, 0.0f);
            marker->Submit(0.0f, 230.0f, 0.0f);
            manaFrame->Submit(0.0f, 100.0f, 0.0f);
            arrow->Submit(150.0f, 100.0f, 0.0f);
        };
        for (int frame = 0; frame < FRAMES; ++frame) {
            Frame();
            place();
        }
        // A frame lasts 1/12 s, so ten frames of 1/30 s step it three times.
        EXPECT_EQ(marker->frame, 4);
        cells.push_back({"world quads",
                         Render(0.0f,
                                [&] {
                                    for (WorldQuad* q : {healthFrame.get(), health.get(), manaFrame.get(), mana.get(),
                                                         marker.get(), arrow.get()})
                                        q->Queue();
                                }),
                         emptyGround});
    }

    // Decals on sloped ground, seen from above.
    SlopedGround ground;
    DecalManager::Get()->SetGround(&ground);
    camera->SetEyeAndTarget(D3DXVECTOR3(0.0f, 700.0f, -450.0f), D3DXVECTOR3(0.0f, 0.0f, 0.0f));
    const std::vector<D3DCOLOR> emptySlope = Render(0.25f, nullptr);
    const char* decals[] = {"shadowDecal.tga", "SelectedDecal.tga", "TargetedDecal.tga", "AreaOfEffectDecal.tga"};
    for (const char* name : decals) {
        Decal decal;
        decal.SetTexture(name);
        decal.Create(5, 0.0f, 0.0f, false);
        decal.AddRotation(30.0f);
        for (int frame = 0; frame < FRAMES; ++frame) {
            Frame();
            decal.Refresh(false);
        }
        cells.push_back({name, Render(0.25f, [&] { DecalManager::Get()->Submit(&decal); }), emptySlope});
    }
    {
        for (int k = 1; k <= 5; ++k) {
            auto* blood = new Decal;
            blood->SetTexture("BloodSplat" + std::to_string(k) + ".tga");
            blood->Create(3, -260.0f + 130.0f * static_cast<float>(k - 1), 40.0f * static_cast<float>(k % 2), true);
            DecalManager::Get()->Add(blood);
        }
        for (int frame = 0; frame < FRAMES; ++frame) {
            Frame();
            DecalManager::Get()->UpdateAll();
        }
        cells.push_back({"blood", Render(0.25f, nullptr), emptySlope});
        DecalManager::Get()->ClearAll();
    }
    DecalManager::Get()->SetGround(nullptr);

    for (const Cell& cell : cells)
        EXPECT_GT(ChangedPixels(cell.pixels, cell.empty), 40) << cell.name << " left its cell empty";
    SaveSheet(cells, "effects_contact_sheet.png");
}

namespace {

// The effect of an emitter file after some seconds of play, beside a unit standing at the origin.
class EffectLookTest : public EffectsContactSheetTest
{
protected:
    void SetUp() override
    {
        EffectsContactSheetTest::SetUp();
        Camera* camera = Camera::Get();
        camera->SetProjectionFov(static_cast<float>(CELL_WIDTH), static_cast<float>(CELL_HEIGHT), 200.0f, 40000.0f);
        camera->SetEyeAndTarget(D3DXVECTOR3(0.0f, 190.0f, -430.0f), D3DXVECTOR3(0.0f, 95.0f, 0.0f));
    }

    std::vector<D3DCOLOR> After(const char* name, float seconds)
    {
        ParticleEmitter emitter;
        emitter.LoadFile(name);
        emitter.target = D3DXVECTOR3(400.0f, 120.0f, 0.0f);
        for (float t = 0.0f; t < seconds; t += FRAME_TIME) {
            Frame();
            emitter.Update();
        }
        return Render(0.0f, [&] { emitter.Submit(); });
    }

    static int Channel(D3DCOLOR c, int shift) { return static_cast<int>((c >> shift) & 0xFF); }
};

} // namespace

// Smoke rising from a fire greys what lies behind it: puffs pile up a few deep and each subtracts its colour,
// so a thick column must not take all the light away (it read as a black hole in the farmhouse).
TEST_F(EffectLookTest, SmokeGreysTheGroundWithoutBlackeningIt)
{
    // Each seen when its cloud stands whole: the fire's puffs live three seconds, a death's pall lasts 1.5 s.
    const std::pair<const char*, float> effects[] = {{"SmokeEmitter.txt", 4.0f}, {"death_emitter_2.txt", 1.2f}};
    for (const auto& [name, seconds] : effects) {
        SCOPED_TRACE(name);
        const std::vector<D3DCOLOR> empty = Render(0.0f, nullptr);
        const std::vector<D3DCOLOR> smoke = After(name, seconds);
        double darkest = 1.0;
        int changed = 0;
        for (size_t i = 0; i < smoke.size(); ++i) {
            const int before = Channel(empty[i], 8);
            if (smoke[i] == empty[i] || before < 60)
                continue;
            ++changed;
            darkest = std::min(darkest, Channel(smoke[i], 8) / static_cast<double>(before));
        }
        EXPECT_GT(changed, 40) << "the smoke shows";
        // The thickest smoke leaves more than a third of the light of what lies behind it.
        EXPECT_GT(darkest, 1.0 / 3.0);
    }
}

// A fireball's head is fire: added over each other its flames must not burn to a pale white-yellow blob.
TEST_F(EffectLookTest, TheFireballBurnsOrangeNotPale)
{
    const std::vector<D3DCOLOR> empty = Render(0.0f, nullptr);
    // Before the delay of 0.3 s the ball gathers at its caster's hand.
    const std::vector<D3DCOLOR> ball = After("fireballEmitter.txt", 0.25f);
    // What the flames add where they add most: the pixels of the ball's body, brightened by 150 or more.
    double red = 0.0, green = 0.0, blue = 0.0;
    int body = 0;
    for (size_t i = 0; i < ball.size(); ++i) {
        const int r = Channel(ball[i], 16) - Channel(empty[i], 16), g = Channel(ball[i], 8) - Channel(empty[i], 8),
                  b = Channel(ball[i], 0) - Channel(empty[i], 0);
        if (r + g + b < 150)
            continue;
        ++body;
        red += Channel(ball[i], 16);
        green += Channel(ball[i], 8);
        blue += Channel(ball[i], 0);
    }
    ASSERT_GT(body, 50);
    red /= body;
    green /= body;
    blue /= body;
    // Orange to red: red well above green, blue far below both (a pale blob is near white in all three).
    EXPECT_GT(red, green + 40.0) << red << " " << green << " " << blue;
    EXPECT_GT(green, blue + 40.0) << red << " " << green << " " << blue;
}

// A volley of bolts side by side reads as separate beams: the strips are 150 units wide whatever their
// texture, and three of them 70 units apart must show three lines, not one band.
TEST_F(EffectLookTest, BoltsSideBySideReadAsSeparateBeams)
{
    Camera::Get()->SetEyeAndTarget(D3DXVECTOR3(0.0f, 130.0f, -600.0f), D3DXVECTOR3(0.0f, 130.0f, 0.0f));
    const D3DXVECTOR3 colour(0.2f, 1.0f, 0.2f);
    for (const char* texture : {"lightBolt.BMP", "HBbolt.BMP"}) {
        SCOPED_TRACE(texture);
        for (int i = 0; i < 3; ++i) {
            const D3DXVECTOR3 from(-350.0f, 60.0f + 70.0f * static_cast<float>(i), 0.0f);
            const D3DXVECTOR3 to(350.0f, 60.0f + 70.0f * static_cast<float>(i), 0.0f);
            ParticleManager::Get()->SpawnBolt(texture, &from, &to, &colour, 0.0f, 2.0f, 0.01f, 0.0f, 0.0f, false);
        }
        Frame();
        ParticleManager::Get()->Update();
        const std::vector<D3DCOLOR> bolts = Render(0.0f, nullptr);
        ParticleManager::Get()->ReleaseAll();
        const std::vector<D3DCOLOR> empty = Render(0.0f, nullptr);
        // Down the middle column: runs of rows brightened well above the background.
        const UINT x = CELL_WIDTH / 2;
        int runs = 0;
        bool inside = false;
        for (UINT y = 0; y < CELL_HEIGHT; ++y) {
            const D3DCOLOR c = bolts[static_cast<size_t>(y) * CELL_WIDTH + x];
            const bool lit = Channel(c, 8) - Channel(empty[static_cast<size_t>(y) * CELL_WIDTH + x], 8) > 60;
            runs += lit && !inside ? 1 : 0;
            inside = lit;
        }
        EXPECT_EQ(runs, 3);
    }
}
