#include "scene/BoltEffect.h"
#include "scene/ParticleEmitter.h"
#include "scene/ParticleManager.h"
#include "scene/WorldQuad.h"

#include "EffectsFixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

class ParticlePassTest : public EffectsTest
{
protected:
    // An emitter with one live particle, ready to draw.
    void StartOneParticle(ParticleEmitter& emitter, int blendOp = D3DBLENDOP_ADD)
    {
        EmitterFile file;
        file.settings.poolSize = 1;
        file.settings.interval = 0.0f;
        file.settings.blendOp = blendOp;
        emitter.Load(file);
        Frame(0.125f);
        emitter.Update();
    }
};

WorldQuad* Quad(std::vector<std::unique_ptr<WorldQuad>>& owner, float distance, unsigned order)
{
    owner.push_back(std::make_unique<WorldQuad>());
    owner.back()->cameraDistance = distance;
    owner.back()->order = order;
    return owner.back().get();
}

} // namespace

TEST_F(ParticlePassTest, WorldQuadsGoBackToFrontWithOrderNumbersWithinFiveUnits)
{
    struct Case {
        float firstDistance;
        unsigned firstOrder;
        float secondDistance;
        unsigned secondOrder;
        bool firstDrawnFirst;
    };
    const Case cases[] = {
        {1000.0f, 2, 1003.0f, 1, false}, // within 5: order 1 first
        {1000.0f, 1, 1003.0f, 2, true},  {1000.0f, 1, 1006.0f, 2, false}, // 6 apart: the farther first
        {1006.0f, 2, 1000.0f, 1, true},  {1000.0f, 1, 1005.0f, 2, false}, // exactly 5 apart counts as apart
    };
    for (const Case& c : cases) {
        std::vector<std::unique_ptr<WorldQuad>> owner;
        WorldQuad* first = Quad(owner, c.firstDistance, c.firstOrder);
        WorldQuad* second = Quad(owner, c.secondDistance, c.secondOrder);
        std::vector<WorldQuad*> quads = {first, second};
        ParticleManager::SortWorldQuads(quads);
        EXPECT_EQ(quads[0] == first, c.firstDrawnFirst) << c.firstDistance << " " << c.secondDistance;
    }
}

TEST_F(ParticlePassTest, ManyQuadsWithinFiveUnitsSortWithoutLeavingTheList)
{
    std::vector<std::unique_ptr<WorldQuad>> owner;
    std::vector<WorldQuad*> quads;
    for (unsigned i = 0; i < 200; ++i)
        quads.push_back(Quad(owner, 1000.0f + static_cast<float>(i % 7) * 0.7f, (i * 37u) % 11u));
    const std::vector<WorldQuad*> before = quads;
    ParticleManager::SortWorldQuads(quads);
    std::vector<WorldQuad*> sortedBefore = before, sortedAfter = quads;
    std::sort(sortedBefore.begin(), sortedBefore.end());
    std::sort(sortedAfter.begin(), sortedAfter.end());
    EXPECT_EQ(sortedBefore, sortedAfter) << "the same quads, each once";
    // All lie within 5 units, so the rule is the order number alone and the result must follow it; quads
    // with the same number keep the order they were submitted in.
    for (size_t i = 1; i < quads.size(); ++i) {
        EXPECT_LE(quads[i - 1]->order, quads[i]->order);
        if (quads[i - 1]->order == quads[i]->order) {
            EXPECT_LT(std::find(before.begin(), before.end(), quads[i - 1]) - before.begin(),
                      std::find(before.begin(), before.end(), quads[i]) - before.begin());
        }
    }
}

TEST_F(ParticlePassTest, PassLeavesTheSceneDefaultsAndDrawsEachSubmission)
{
    ParticleEmitter emitter, empty;
    StartOneParticle(emitter);
    Null()->ResetCounters();
    emitter.Submit();
    emitter.Submit();
    empty.Submit();
    ParticleManager::Get()->Render();
    EXPECT_EQ(Null()->DrawCount(), 2u) << "submitted twice, drawn twice; the empty one not at all";
    EXPECT_EQ(Null()->LastDraw().primitiveCount, 2u);
    EXPECT_EQ(RenderState(D3DRS_BLENDOP), static_cast<DWORD>(D3DBLENDOP_ADD));
    EXPECT_EQ(RenderState(D3DRS_ZWRITEENABLE), static_cast<DWORD>(TRUE));
    EXPECT_EQ(RenderState(D3DRS_DESTBLEND), static_cast<DWORD>(D3DBLEND_INVSRCALPHA));
    EXPECT_EQ(RenderState(D3DRS_CULLMODE), static_cast<DWORD>(D3DCULL_NONE));
    EXPECT_TRUE(ParticleManager::Get()->Emitters().empty());

    ParticleManager::Get()->Render();
    EXPECT_EQ(Null()->DrawCount(), 2u) << "the lists last one pass";
}

TEST_F(ParticlePassTest, ASubtractingEmitterDoesNotTurnBoltsAndBarsIntoSubtractions)
{
    ParticleEmitter subtracting;
    StartOneParticle(subtracting, D3DBLENDOP_REVSUBTRACT);
    const D3DXVECTOR3 from(0.0f, 0.0f, 0.0f), to(500.0f, 0.0f, 0.0f), colour(1.0f, 1.0f, 1.0f);
    ParticleManager::Get()->SpawnBolt("bolt.BMP", &from, &to, &colour, 0.0f, 2.0f, 0.01f, 0.0f, 0.0f, false);
    WorldQuad bar;
    bar.CreateBuffer(50.0f, 5.0f);
    bar.Submit(0.0f, 100.0f, 0.0f);
    bar.Queue();
    subtracting.Submit();

    Null()->ResetCounters();
    Null()->KeepDraws(true);
    ParticleManager::Get()->Render();
    const auto& draws = Null()->Draws();
    ASSERT_EQ(draws.size(), 3u);
    EXPECT_EQ(draws[0].blendOp, static_cast<DWORD>(D3DBLENDOP_REVSUBTRACT));
    EXPECT_EQ(draws[0].destBlend, static_cast<DWORD>(D3DBLEND_ONE));
    EXPECT_EQ(draws[0].zWriteEnable, static_cast<DWORD>(FALSE));
    EXPECT_EQ(draws[1].primitiveType, D3DPT_TRIANGLESTRIP);
    EXPECT_EQ(draws[1].blendOp, static_cast<DWORD>(D3DBLENDOP_ADD)) << "the bolt";
    EXPECT_EQ(draws[1].destBlend, static_cast<DWORD>(D3DBLEND_ONE));
    EXPECT_EQ(draws[2].blendOp, static_cast<DWORD>(D3DBLENDOP_ADD)) << "the bar";
    EXPECT_EQ(draws[2].destBlend, static_cast<DWORD>(D3DBLEND_INVSRCALPHA));
}

TEST_F(ParticlePassTest, EmittersAndQuadsGoingAwayLeaveTheFrameLists)
{
    auto emitter = std::make_unique<ParticleEmitter>();
    StartOneParticle(*emitter);
    emitter->Submit();
    auto quad = std::make_unique<WorldQuad>();
    quad->CreateBuffer(1.0f, 1.0f);
    quad->Queue();
    emitter.reset();
    quad.reset();
    EXPECT_TRUE(ParticleManager::Get()->Emitters().empty());
    EXPECT_TRUE(ParticleManager::Get()->WorldQuads().empty());
    Null()->ResetCounters();
    ParticleManager::Get()->Render();
    EXPECT_EQ(Null()->DrawCount(), 0u);
}

class BoltTest : public EffectsTest
{ };

TEST_F(BoltTest, WaitsForItsDelayAndExpiresWhenItsLifeHasPassed)
{
    const D3DXVECTOR3 from(0.0f, 0.0f, 0.0f), to(1100.0f, 0.0f, 0.0f), colour(0.2f, 1.0f, 0.2f);
    ParticleManager* manager = ParticleManager::Get();
    manager->SpawnBolt("lightBolt.BMP", &from, &to, &colour, 0.2f, 2.0f, 0.01f, 0.0f, 0.0f, true);
    // Age 0.125 k after update k: drawn from update 2 (0.25), gone at update 18 (2.25 - 0.2 >= 2).
    for (int update = 1; update <= 18; ++update) {
        Frame(0.125f);
        manager->Update();
        Null()->ResetCounters();
        manager->Render();
        SCOPED_TRACE(update);
        EXPECT_EQ(manager->BoltCount(), update < 18 ? 1u : 0u);
        EXPECT_EQ(Null()->DrawCount(), update >= 2 && update < 18 ? 1u : 0u);
        if (Null()->DrawCount() == 1) {
            EXPECT_EQ(Null()->LastDraw().primitiveType, D3DPT_TRIANGLESTRIP);
            EXPECT_EQ(Null()->LastDraw().primitiveCount, 22u) << "the strip reaches the target";
        }
    }
}

TEST_F(BoltTest, BuiltStripColoursAlongTheBeam)
{
    const D3DXVECTOR3 from(0.0f, 0.0f, 0.0f), to(1100.0f, 0.0f, 0.0f), colour(0.2f, 1.0f, 0.2f);
    BoltEffect fading("lightBolt.BMP", &from, &to, &colour, 0.0f, 2.0f, 0.01f, 0.0f, 0.0f, true);
    const auto& v = fading.Vertices();
    ASSERT_EQ(v.size(), 24u);
    // Ends: the A side is the beam colour, transparent; the B side a transparent pale blue.
    for (size_t point : {size_t{0}, size_t{11}}) {
        EXPECT_EQ(v[point * 2].colour, 0x0033FF33u) << point;
        EXPECT_EQ(v[point * 2 + 1].colour, 0x00E5E5FFu) << point;
    }
    // Inside, alpha i/12 on both sides: bytes of 255 i / 12 rounded (values on a half avoided).
    const std::pair<size_t, DWORD> alphas[] = {{1, 21}, {3, 64}, {4, 85}, {5, 106}, {7, 149}, {8, 170}, {9, 191}};
    for (auto [point, alpha] : alphas) {
        EXPECT_EQ(v[point * 2].colour, (alpha << 24) | 0x33FF33u) << point;
        EXPECT_EQ(v[point * 2 + 1].colour, (alpha << 24) | 0x33FF33u) << point;
    }
    // Texture v: 0 at the start, then 1, 0, 1, ...
    EXPECT_EQ(v[0].v, 0.0f);
    EXPECT_EQ(v[2].v, 1.0f);
    EXPECT_EQ(v[4].v, 0.0f);
    EXPECT_EQ(v[22].v, 1.0f);
    EXPECT_EQ(v[1].u, 1.0f);

    BoltEffect solid("lightBolt.BMP", &from, &to, &colour, 0.0f, 2.0f, 0.01f, 0.0f, 0.0f, false);
    EXPECT_EQ(solid.Vertices()[6].colour, 0xFFE5E5FFu);
    EXPECT_EQ(solid.Vertices()[7].colour, 0xFF33FF33u);
}

TEST_F(BoltTest, StraightStripFacesTheCamera)
{
    Camera::Get()->SetEyeAndTarget(D3DXVECTOR3(550.0f, 0.0f, -1000.0f), D3DXVECTOR3(550.0f, 0.0f, 0.0f));
    const D3DXVECTOR3 from(0.0f, 0.0f, 0.0f), to(1100.0f, 0.0f, 0.0f), colour(1.0f, 1.0f, 1.0f);
    BoltEffect bolt("bolt.BMP", &from, &to, &colour, 0.0f, 1.0f, 0.01f, 0.0f, 0.0f, false);
    // Point i is at x = 100 i. The tangent is +x everywhere and the eye lies at (550, 0, -1000), so the side
    // is (0, 1000 / d, 0) with d the distance to the eye: the pair sits 75000 / d above and below the line.
    for (size_t i = 0; i < 12; ++i) {
        const float x = 100.0f * static_cast<float>(i);
        const float d = std::sqrt((550.0f - x) * (550.0f - x) + 1000.0f * 1000.0f);
        const ColouredVertex& a = bolt.Vertices()[i * 2];
        const ColouredVertex& b = bolt.Vertices()[i * 2 + 1];
        SCOPED_TRACE(i);
        EXPECT_FLOAT_EQ(bolt.Points()[i].x, x);
        EXPECT_NEAR(a.x, x, 1e-3f);
        EXPECT_NEAR(a.y, 75000.0f / d, 1e-3f);
        EXPECT_NEAR(a.z, 0.0f, 1e-3f);
        EXPECT_NEAR(b.y, -75000.0f / d, 1e-3f);
    }
}

TEST_F(BoltTest, ABoltWithoutLengthCollapsesWithoutNaN)
{
    const D3DXVECTOR3 at(10.0f, 20.0f, 30.0f), colour(1.0f, 1.0f, 1.0f);
    BoltEffect bolt("bolt.BMP", &at, &at, &colour, 0.0f, 0.0f, 0.01f, 5.0f, 5.0f, true);
    Frame(0.125f);
    bolt.Update();
    for (const ColouredVertex& v : bolt.Vertices()) {
        EXPECT_FALSE(std::isnan(v.x) || std::isnan(v.y) || std::isnan(v.z));
        EXPECT_EQ(v.colour >> 24, 0u) << "no life left to show";
    }
}

TEST_F(BoltTest, FlickerRefreshesFadeOverLifeAndBoltsShareOneClock)
{
    const D3DXVECTOR3 from(0.0f, 0.0f, 0.0f), to(1100.0f, 0.0f, 0.0f), colour(1.0f, 1.0f, 1.0f);
    ParticleManager* manager = ParticleManager::Get();
    BoltEffect* first = manager->SpawnBolt("bolt.BMP", &from, &to, &colour, 0.0f, 2.0f, 0.2f, 0.0f, 0.0f, true);
    BoltEffect* second = manager->SpawnBolt("bolt.BMP", &from, &to, &colour, 0.0f, 2.0f, 0.2f, 0.0f, 0.0f, true);
    // Each frame adds 0.125 twice: the first bolt sees 0.125, the second 0.25 (> 0.2) and takes the flicker.
    Frame(0.125f);
    manager->Update();
    Frame(0.125f);
    manager->Update();
    EXPECT_EQ(first->Vertices()[6].colour >> 24, 64u) << "still as built: 3/12";
    // Age 0.25 of 2: point 3 shows 3/12 x (1 - 0.125) = 0.21875, byte 56.
    EXPECT_EQ(second->Vertices()[6].colour >> 24, 56u);
    EXPECT_EQ(second->Vertices()[7].colour >> 24, 56u);
}
