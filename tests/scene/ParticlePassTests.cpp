#include "d3d9/Texture.h"
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
    // An emitter with one live particle, white (a black one adds nothing and is not drawn), ready to draw.
    void StartOneParticle(ParticleEmitter& emitter, int blendOp = D3DBLENDOP_ADD)
    {
        EmitterFile file;
        file.settings.poolSize = 1;
        file.settings.interval = 0.0f;
        file.settings.blendOp = blendOp;
        emitter.Load(file);
        Frame(0.125f);
        emitter.Update();
        ASSERT_EQ(emitter.LiveParticles().size(), 1u);
        emitter.LiveParticles()[0]->colour = D3DXVECTOR3(255.0f, 255.0f, 255.0f);
        emitter.FillVertices();
    }

    // One pass of the three kinds the pass draws, in its order: the emitter, a bolt, a bar. Returns the draws.
    const std::vector<NullDevice::DrawRecord>& DrawEmitterBoltAndBar(ParticleEmitter& emitter)
    {
        const D3DXVECTOR3 from(0.0f, 0.0f, 0.0f), to(500.0f, 0.0f, 0.0f), colour(1.0f, 1.0f, 1.0f);
        ParticleManager::Get()->SpawnBolt("bolt.BMP", &from, &to, &colour, 0.0f, 2.0f, 0.01f, 0.0f, 0.0f, false);
        WorldQuad bar;
        bar.CreateBuffer(50.0f, 5.0f);
        bar.Submit(0.0f, 100.0f, 0.0f);
        bar.Queue();
        emitter.Submit();
        Null()->ResetCounters();
        Null()->KeepDraws(true);
        ParticleManager::Get()->Render();
        return Null()->Draws();
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
    const auto& draws = DrawEmitterBoltAndBar(subtracting);
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

TEST_F(ParticlePassTest, EmittersReadTheNearerMipLevelWhileBoltsAndBarsKeepBlendingTwo)
{
    // Blending two levels is what the scene sets; a device that reads no mip levels at all keeps reading none.
    for (const DWORD scene : {static_cast<DWORD>(D3DTEXF_LINEAR), static_cast<DWORD>(D3DTEXF_NONE)}) {
        ParticleEmitter emitter;
        StartOneParticle(emitter);
        device->SetSamplerState(0, D3DSAMP_MIPFILTER, scene);
        const auto& draws = DrawEmitterBoltAndBar(emitter);
        ASSERT_EQ(draws.size(), 3u);
        const DWORD emitterFilter = scene == D3DTEXF_LINEAR ? static_cast<DWORD>(D3DTEXF_POINT) : scene;
        EXPECT_EQ(draws[0].mipFilter0, emitterFilter) << "the emitter";
        EXPECT_EQ(draws[1].mipFilter0, scene) << "the bolt";
        EXPECT_EQ(draws[2].mipFilter0, scene) << "the bar";
        DWORD after = 0;
        device->GetSamplerState(0, D3DSAMP_MIPFILTER, &after);
        EXPECT_EQ(after, scene) << "the pass leaves the scene's filter";
        ParticleManager::Get()->ReleaseAll();
    }
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

// Four live particles of an emitter with the given blend, coloured red, black, a red below one step of the
// 0..255 scale (which the vertex truncates to black) and a dark blue, in that order, written to its buffer.
void FourParticles(ParticleEmitter& emitter, int blendOp)
{
    EmitterFile file;
    file.settings.poolSize = 4;
    file.settings.perBurst = 4;
    file.settings.interval = 0.0f;
    file.settings.blendOp = blendOp;
    emitter.Load(file);
    DataManager::Get()->AdvanceTime(0.125f);
    emitter.Update();
    ASSERT_EQ(emitter.LiveParticles().size(), 4u);
    const D3DXVECTOR3 colours[4] = {{255.0f, 0.0f, 0.0f}, {0.0f, 0.0f, 0.0f}, {0.9f, 0.0f, 0.0f}, {0.0f, 0.0f, 40.0f}};
    for (size_t i = 0; i < 4; ++i)
        emitter.LiveParticles()[i]->colour = colours[i];
    emitter.FillVertices();
}

TEST_F(ParticlePassTest, BlackParticlesThatWouldAddOrTakeAwayNothingAreLeftOut)
{
    for (int op : {D3DBLENDOP_ADD, D3DBLENDOP_REVSUBTRACT}) {
        SCOPED_TRACE(op);
        ParticleEmitter emitter;
        ASSERT_NO_FATAL_FAILURE(FourParticles(emitter, op));
        EXPECT_EQ(emitter.LiveCount(), 4u);
        EXPECT_EQ(emitter.ShownCount(), 2u);
        // The coloured ones first in their order, then the black ones; each quad's four corners one colour.
        const auto v = ReadVertices<ColouredVertex>(emitter.VertexBuffer(), 16);
        const D3DCOLOR expected[4] = {0xFFFF0000u, 0xFF000028u, 0xFF000000u, 0xFF000000u};
        for (size_t i = 0; i < 16; ++i)
            EXPECT_EQ(v[i].colour, expected[i / 4]) << i;

        Null()->ResetCounters();
        emitter.Submit();
        ParticleManager::Get()->Render();
        EXPECT_EQ(Null()->LastDraw().primitiveCount, 4u) << "two quads";

        // Fogged, black turns towards the fog's colour and shows: every particle is drawn.
        device->SetRenderState(D3DRS_FOGENABLE, TRUE);
        emitter.Submit();
        ParticleManager::Get()->Render();
        EXPECT_EQ(Null()->LastDraw().primitiveCount, 8u);
        device->SetRenderState(D3DRS_FOGENABLE, FALSE);

        // A stage that adds to the colour lifts black too.
        device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_ADD);
        emitter.Submit();
        ParticleManager::Get()->Render();
        EXPECT_EQ(Null()->LastDraw().primitiveCount, 8u);
        device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    }
}

TEST_F(ParticlePassTest, OtherBlendsKeepEveryParticleInItsOrder)
{
    // Subtracting the destination from the source, or taking the smaller, depends on the order and on black.
    for (int op : {D3DBLENDOP_SUBTRACT, D3DBLENDOP_MIN}) {
        SCOPED_TRACE(op);
        ParticleEmitter emitter;
        ASSERT_NO_FATAL_FAILURE(FourParticles(emitter, op));
        EXPECT_EQ(emitter.ShownCount(), 4u);
        const auto v = ReadVertices<ColouredVertex>(emitter.VertexBuffer(), 16);
        const D3DCOLOR expected[4] = {0xFFFF0000u, 0xFF000000u, 0xFF000000u, 0xFF000028u};
        for (size_t i = 0; i < 16; ++i)
            EXPECT_EQ(v[i].colour, expected[i / 4]) << i;
        Null()->ResetCounters();
        emitter.Submit();
        ParticleManager::Get()->Render();
        EXPECT_EQ(Null()->LastDraw().primitiveCount, 8u);
    }
}

// The bars' pass: quads of one picture drawn together where that changes no pixel.
class WorldQuadPassTest : public EffectsTest
{
protected:
    void SetUp() override
    {
        EffectsTest::SetUp();
        for (const char* name : {"frame.tga", "red.tga", "blue.tga", "badge.tga"})
            WriteTexture(name);
        // Looking along +z from 1000 units back: right is +x, up is +y. The game blends by the source's alpha.
        Camera::Get()->SetProjectionFov(1024.0f, 768.0f, 10.0f, 20000.0f);
        Camera::Get()->SetEyeAndTarget(D3DXVECTOR3(0.0f, 0.0f, -1000.0f), D3DXVECTOR3(0.0f, 0.0f, 0.0f));
        device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
        device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    }

    // The bars give their pictures back to the data manager, which the base's tear-down empties.
    void TearDown() override
    {
        bars.clear();
        EffectsTest::TearDown();
    }

    // A bar of half extents 50 x 10 placed at a point, queued for the pass.
    WorldQuad* Bar(const char* picture, unsigned order, const D3DXVECTOR3& at, float alpha = 1.0f)
    {
        bars.push_back(std::make_unique<WorldQuad>());
        WorldQuad* bar = bars.back().get();
        bar->SetTexture(picture);
        bar->CreateBuffer(50.0f, 10.0f);
        bar->order = order;
        bar->alpha = alpha;
        bar->Submit(at.x, at.y, at.z);
        bar->Queue();
        return bar;
    }

    const std::vector<NullDevice::DrawRecord>& RenderPass()
    {
        Null()->ResetCounters();
        Null()->KeepDraws(true);
        ParticleManager::Get()->Render();
        return Null()->Draws();
    }

    static Texture* PictureOf(const WorldQuad* quad) { return dynamic_cast<Texture*>(quad->Picture()); }

    std::vector<std::unique_ptr<WorldQuad>> bars;
};

TEST_F(WorldQuadPassTest, BarsApartOnScreenGoOutInOneDrawForEachPictureKeepingTheirPlacesAndColours)
{
    // Three units' bars (frame, health, mana, badge) side by side. The left and right units stand at one
    // distance from the eye (within 5), the middle one nearer: the sorted list is L0 R0 L1 R1 ... L3 R3, C0..C3.
    const char* pictures[] = {"frame.tga", "red.tga", "blue.tga", "badge.tga"};
    WorldQuad* left[4];
    for (unsigned i = 0; i < 4; ++i) {
        left[i] = Bar(pictures[i], i, D3DXVECTOR3(-400.0f, 20.0f, 0.0f));
        Bar(pictures[i], i, D3DXVECTOR3(400.0f, 20.0f, 0.0f), 0.2f)->colour = D3DXVECTOR3(1.0f, 0.5f, 0.0f);
        bars.back()->Submit(400.0f, 20.0f, 0.0f);
        Bar(pictures[i], i, D3DXVECTOR3(0.0f, 20.0f, 0.0f));
    }
    const auto& draws = RenderPass();
    ASSERT_EQ(draws.size(), 4u) << "sixteen bars in four draws";
    for (size_t i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(draws[i].texture0, PictureOf(left[i]));
        EXPECT_EQ(draws[i].primitiveType, D3DPT_TRIANGLESTRIP);
        // Three quads of four vertices, joined by two repeated vertices each: 16 vertices, 14 triangles.
        EXPECT_EQ(draws[i].primitiveCount, 14u);
        EXPECT_EQ(draws[i].destBlend, static_cast<DWORD>(D3DBLEND_INVSRCALPHA));
    }
    EXPECT_NE(PictureOf(left[0]), PictureOf(left[1]));

    // The frames' run: left, right, middle. Each quad's corners run left-bottom, left-top, right-bottom,
    // right-top; the joint repeats the last corner of one quad and the first of the next.
    const std::vector<ColouredVertex>& v = ParticleManager::Get()->QuadVertices();
    ASSERT_EQ(v.size(), 64u);
    const float expected[16][2] = {{-450, 10}, {-450, 30}, {-350, 10}, {-350, 30}, {-350, 30}, {350, 10},
                                   {350, 10},  {350, 30},  {450, 10},  {450, 30},  {450, 30},  {-50, 10},
                                   {-50, 10},  {-50, 30},  {50, 10},   {50, 30}};
    for (size_t i = 0; i < 16; ++i) {
        SCOPED_TRACE(i);
        EXPECT_NEAR(v[i].x, expected[i][0], 1e-3f);
        EXPECT_NEAR(v[i].y, expected[i][1], 1e-3f);
        EXPECT_NEAR(v[i].z, 0.0f, 1e-3f);
    }
    // Opaque white, then alpha 0.2 (51) tinted orange, then opaque white again.
    EXPECT_EQ(v[0].colour, 0xFFFFFFFFu);
    EXPECT_EQ(v[6].colour, 0x33FF8000u);
    EXPECT_EQ(v[12].colour, 0xFFFFFFFFu);
    // The texture's corners go with the quad: u 0 on the left, v 1 at the bottom.
    EXPECT_EQ(std::make_pair(v[6].u, v[6].v), std::make_pair(0.0f, 1.0f));
    EXPECT_EQ(std::make_pair(v[9].u, v[9].v), std::make_pair(1.0f, 0.0f));
    EXPECT_TRUE(ParticleManager::Get()->WorldQuads().empty());
}

TEST_F(WorldQuadPassTest, OverlappingBarsKeepTheirOrderWhileBarsApartJoinEarlierDraws)
{
    // P and Q overlap on screen, P farther; R stands apart and nearest. Sorted: P0 P1 Q0 Q1 R0 R1. Q's frame
    // may not go back into P's frame draw (P's health, drawn after it, lies under Q); R's bars overlap neither
    // and join Q's draws, the latest of their pictures.
    WorldQuad* p0 = Bar("frame.tga", 0, D3DXVECTOR3(0.0f, 20.0f, 0.0f));
    WorldQuad* p1 = Bar("red.tga", 1, D3DXVECTOR3(0.0f, 20.0f, 0.0f));
    Bar("frame.tga", 0, D3DXVECTOR3(0.0f, 20.0f, -100.0f));
    Bar("red.tga", 1, D3DXVECTOR3(0.0f, 20.0f, -100.0f));
    Bar("frame.tga", 0, D3DXVECTOR3(400.0f, 20.0f, -300.0f));
    Bar("red.tga", 1, D3DXVECTOR3(400.0f, 20.0f, -300.0f));
    const auto& draws = RenderPass();
    ASSERT_EQ(draws.size(), 4u);
    const UINT triangles[] = {2, 2, 8, 8};
    for (size_t i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(draws[i].texture0, PictureOf(i % 2 ? p1 : p0));
        EXPECT_EQ(draws[i].primitiveCount, triangles[i]);
    }
}

TEST_F(WorldQuadPassTest, AQuadReachingBehindTheEyeCountsAsCoveringTheScreen)
{
    // Sorted A, X, C by distance (1523, 1050, 922). X's corners lie in the eye's plane, where they have no
    // place on screen: C, apart from A, still may not move before X.
    WorldQuad* a = Bar("frame.tga", 0, D3DXVECTOR3(-600.0f, 20.0f, 400.0f));
    WorldQuad* x = Bar("red.tga", 0, D3DXVECTOR3(0.0f, 1050.0f, -1000.0f));
    Bar("frame.tga", 0, D3DXVECTOR3(600.0f, 20.0f, -300.0f));
    const auto& draws = RenderPass();
    ASSERT_EQ(draws.size(), 3u);
    EXPECT_EQ(draws[0].texture0, PictureOf(a));
    EXPECT_EQ(draws[1].texture0, PictureOf(x));
    EXPECT_EQ(draws[2].texture0, PictureOf(a));
}

TEST_F(WorldQuadPassTest, HiddenBarsAreLeftOutOnlyWhereTheyWouldChangeNothing)
{
    Bar("frame.tga", 0, D3DXVECTOR3(0.0f, 20.0f, 0.0f), 0.0f);
    WorldQuad unsized;
    unsized.SetTexture("red.tga");
    unsized.alpha = 1.0f;
    unsized.Submit(0.0f, 20.0f, 0.0f);
    unsized.Queue();
    EXPECT_EQ(RenderPass().size(), 0u) << "a clear bar and a bar without a size";

    // Without blending the clear bar covers what is under it: it is drawn.
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    bars.back()->Queue();
    const auto& draws = RenderPass();
    ASSERT_EQ(draws.size(), 1u);
    EXPECT_EQ(draws[0].primitiveCount, 2u);

    // A bar released by its owner is not drawn again.
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    Bar("blue.tga", 0, D3DXVECTOR3(0.0f, 20.0f, 0.0f));
    bars.back()->Release();
    bars.back()->Queue();
    EXPECT_EQ(RenderPass().size(), 0u);
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
