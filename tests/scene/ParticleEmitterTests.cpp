#include "scene/ColourBytes.h"
#include "scene/ParticleEmitter.h"

#include "EffectsFixture.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

// A file's contents built in code: no variances, a fixed axis, emission every frame.
EmitterFile Quiet(int pool, int perBurst = 1, float life = 100.0f, float interval = 0.0f)
{
    EmitterFile file;
    EmitterSettings& s = file.settings;
    s.poolSize = pool;
    s.perBurst = perBurst;
    s.life = life;
    s.interval = interval;
    s.rightFromCamera = false;
    s.upFromCamera = false;
    s.oscillationAmplitude = D3DXVECTOR3(0.0f, 0.0f, 0.0f); // the default swings x by cos(0) = 1
    return file;
}

class ParticleEmitterTest : public EffectsTest
{ };

} // namespace

TEST_F(ParticleEmitterTest, BurstsTakeAtMostTheFreeParticlesAndRestartTheIntervalEvenWhenEmpty)
{
    ParticleEmitter emitter;
    emitter.Load(Quiet(3, 5, 100.0f, 0.125f));
    Frame(0.125f);
    emitter.UpdateParticles();
    EXPECT_EQ(emitter.LiveParticles().size(), 3u);
    EXPECT_EQ(emitter.FreeCount(), 0u);
    EXPECT_FLOAT_EQ(emitter.emissionTimer, 0.0f);
    Frame(0.125f);
    emitter.UpdateParticles();
    EXPECT_EQ(emitter.LiveParticles().size(), 3u);
    EXPECT_FLOAT_EQ(emitter.emissionTimer, 0.0f) << "an empty burst still restarts the interval";
}

TEST_F(ParticleEmitterTest, DurationEndsEmissionAndFinishedFollowsTheLastParticle)
{
    EmitterFile file = Quiet(10, 1, 0.5f, 0.125f);
    file.settings.duration = 2.0f;
    ParticleEmitter emitter;
    emitter.Load(file);
    // Age after update k is k/8: update 16 reaches 2.0 (not past it), update 17 reaches 2.125 and still bursts.
    // That last particle lives four updates (to age 0.5) and dies in update 20; update 21 finds none.
    for (int update = 1; update <= 21; ++update) {
        Frame(0.125f);
        emitter.Update();
        SCOPED_TRACE(update);
        EXPECT_EQ(emitter.emitting, update <= 16);
        EXPECT_EQ(emitter.finished, update >= 21);
        if (update == 17) {
            EXPECT_EQ(emitter.LiveParticles().size(), 3u); // from updates 15 to 17
        }
        if (update == 20) {
            EXPECT_TRUE(emitter.LiveParticles().empty());
        }
    }
}

TEST_F(ParticleEmitterTest, OneEulerStepFollowsTheKeys)
{
    EmitterFile file = Quiet(1);
    file.speedKeys.push_back({0.0f, 2.0f, 3.0f});
    file.sizeKeys.push_back({0.0f, 2.0f, 3.0f});
    file.colourKeys.push_back({0.0f, 1.0f, 255.0f, 128.0f, 0.0f});
    ParticleEmitter emitter;
    emitter.Load(file);
    emitter.alpha = 200;
    Frame(0.1f);
    emitter.Update();
    ASSERT_EQ(emitter.LiveParticles().size(), 1u);
    const Particle& p = *emitter.LiveParticles()[0];
    EXPECT_NEAR(p.speed, 0.6f, 1e-6f); // (0 - 0 + 2 x 3) x 0.1
    EXPECT_NEAR(p.size, 1.2f, 1e-6f); // (0 - 0 + 2 x 3) x 2 x 0.1
    EXPECT_NEAR(p.colour.x, 25.5f, 1e-5f);
    EXPECT_NEAR(p.colour.y, 12.8f, 1e-5f);
    EXPECT_FLOAT_EQ(p.colour.z, 0.0f);
    EXPECT_NEAR(p.age, 0.1f, 1e-7f);
    const auto vertices = ReadVertices<ColouredVertex>(emitter.VertexBuffer(), 4);
    EXPECT_EQ(vertices[0].colour, 0xC8190C00u);
}

TEST_F(ParticleEmitterTest, VertexChannelsAreTruncatedAndKeptWithinAByte)
{
    struct Case {
        float red, green, blue;
        D3DCOLOR expected;
    };
    for (const Case& c : {Case{300.0f, -5.0f, 128.9f, 0xFFFF0080u}, Case{255.0f, 0.5f, 254.99f, 0xFFFF00FEu}}) {
        EmitterFile file = Quiet(1);
        file.colourKeys.push_back({0.0f, 1.0f, c.red, c.green, c.blue});
        ParticleEmitter emitter;
        emitter.Load(file);
        Frame(1.0f); // a whole second reaches the key's colour in one step
        emitter.Update();
        EXPECT_EQ(ReadVertices<ColouredVertex>(emitter.VertexBuffer(), 1)[0].colour, c.expected);
    }
}

TEST_F(ParticleEmitterTest, QuadCornersAndRayStretch)
{
    // First direction (0, 0, 2) is taken unscaled; the key's scale 0 then adds nothing. Speed 0 keeps the
    // particle at the origin, the size key makes it 1.2, and the fixed axes are x and y.
    struct Case {
        int type;
        float z0, z2;
    };
    for (const Case& c : {Case{EMITTER_SPELL, 0.0f, 0.0f}, Case{EMITTER_RAY, 2.4f, -2.4f}}) {
        EmitterFile file = Quiet(1);
        file.settings.type = c.type;
        file.settings.directionFromFirstKey = true;
        file.directionKeys.push_back({0.0f, 0.0f, 0.0f, 0.0f, 2.0f});
        file.sizeKeys.push_back({0.0f, 2.0f, 3.0f});
        ParticleEmitter emitter;
        emitter.Load(file);
        Frame(0.1f);
        emitter.Update();
        const auto v = ReadVertices<ColouredVertex>(emitter.VertexBuffer(), 4);
        SCOPED_TRACE(c.type);
        EXPECT_NEAR(v[0].x, -1.2f, 1e-5f);
        EXPECT_NEAR(v[0].y, -1.2f, 1e-5f);
        EXPECT_NEAR(v[0].z, c.z0, 1e-5f);
        EXPECT_NEAR(v[1].y, 1.2f, 1e-5f);
        EXPECT_NEAR(v[2].x, 1.2f, 1e-5f);
        EXPECT_NEAR(v[2].z, c.z2, 1e-5f);
        EXPECT_NEAR(v[3].x, 1.2f, 1e-5f);
        EXPECT_NEAR(v[3].y, 1.2f, 1e-5f);
        EXPECT_EQ(std::make_pair(v[0].u, v[0].v), std::make_pair(0.0f, 1.0f));
        EXPECT_EQ(std::make_pair(v[1].u, v[1].v), std::make_pair(0.0f, 0.0f));
        EXPECT_EQ(std::make_pair(v[2].u, v[2].v), std::make_pair(1.0f, 1.0f));
        EXPECT_EQ(std::make_pair(v[3].u, v[3].v), std::make_pair(1.0f, 0.0f));
    }
}

TEST_F(ParticleEmitterTest, AParticleBeforeItsFirstKeyUsesTheValueLeftByTheOneBeforeIt)
{
    EmitterFile file = Quiet(2, 1, 100.0f, 0.125f);
    file.speedKeys.push_back({0.2f, 1.0f, 10.0f});
    ParticleEmitter emitter;
    emitter.Load(file);
    for (int update = 0; update < 3; ++update) {
        Frame(0.125f);
        emitter.UpdateParticles();
    }
    // Update 3: the first particle (age 0.25) reaches the key, speed 10 x 0.125; the second (age 0.125) has
    // not, yet integrates with the 10 the first one left.
    ASSERT_EQ(emitter.LiveParticles().size(), 2u);
    EXPECT_FLOAT_EQ(emitter.LiveParticles()[0]->speed, 1.25f);
    EXPECT_FLOAT_EQ(emitter.LiveParticles()[1]->speed, 1.25f);
}

TEST_F(ParticleEmitterTest, DirectionCodesSteerToTheCentreOrKickOnce)
{
    struct Case {
        float scale;
        float expectedX;
    };
    // A particle moved to x = 10 with no direction: code 98 pulls it by (0 - 10) x 0.125; 97.9 is an
    // ordinary key whose vector is zero.
    for (const Case& c : {Case{98.7f, -1.25f}, Case{98.0f, -1.25f}, Case{97.9f, 0.0f}}) {
        EmitterFile file = Quiet(1);
        file.directionKeys.push_back({0.0f, c.scale, 0.0f, 0.0f, 0.0f});
        ParticleEmitter emitter;
        emitter.Load(file);
        Frame(0.125f);
        emitter.UpdateParticles();
        Particle* p = emitter.LiveParticles()[0];
        p->position = D3DXVECTOR3(10.0f, 0.0f, 0.0f);
        p->direction = D3DXVECTOR3(0.0f, 0.0f, 0.0f);
        emitter.UpdateParticles();
        EXPECT_FLOAT_EQ(p->direction.x, c.expectedX) << c.scale;
    }

    // Code 99: one random kick for each particle. The first update draws 12 numbers to emit (spawn point 3,
    // drift 3, colour 3, size, speed, life) and 2 for the kick; the second draws none.
    EmitterFile file = Quiet(1);
    file.directionKeys.push_back({0.0f, 99.0f, 500.0f, 0.0f, 0.0f});
    ParticleEmitter emitter;
    emitter.Load(file);
    Srand(1);
    Frame(0.125f);
    emitter.UpdateParticles();
    const Particle* p = emitter.LiveParticles()[0];
    const D3DXVECTOR3 kicked = p->direction;
    EXPECT_EQ(p->lastRandomKey, 0);
    EXPECT_GT(std::fabs(kicked.x) + std::fabs(kicked.z), 0.0f);
    emitter.UpdateParticles();
    EXPECT_EQ(p->direction, kicked) << "no second kick";
    const int next = Rand();
    Srand(1);
    for (int i = 0; i < 14; ++i)
        Rand();
    EXPECT_EQ(Rand(), next);
}

TEST_F(ParticleEmitterTest, ProjectileTravelsAfterItsDelayAndArrivesASecondAfterItsTravelTime)
{
    EmitterFile file = Quiet(0);
    file.settings.type = EMITTER_PROJECTILE;
    file.settings.projectileSpeed = 500.0f;
    file.settings.projectileDelay = 0.5f;
    ParticleEmitter emitter;
    emitter.Load(file);
    emitter.target = D3DXVECTOR3(1000.0f, 0.0f, 0.0f);
    // The motion step sees age (k - 1)/8 in update k: the first move is in update 5 (62.5 units), leaving
    // 937.5 units, 1.875 s; arrival needs age 0.5 + 1.875 + 1 = 3.375, seen in update 28.
    for (int update = 1; update <= 28; ++update) {
        Frame(0.125f);
        emitter.Update();
        SCOPED_TRACE(update);
        if (update == 4) {
            EXPECT_FLOAT_EQ(emitter.position.x, 0.0f);
        }
        if (update == 5) {
            EXPECT_FLOAT_EQ(emitter.position.x, 62.5f);
            EXPECT_FLOAT_EQ(emitter.travelTime, 1.875f);
        }
        EXPECT_EQ(emitter.arrived, update >= 28);
    }
    EXPECT_FALSE(emitter.emitting);
}

TEST_F(ParticleEmitterTest, ProjectileSpeedZeroArrivesAfterItsDelayAndNegativeSpeedAtOnce)
{
    EmitterFile file = Quiet(0);
    file.settings.type = EMITTER_PROJECTILE;
    file.settings.projectileDelay = 0.5f;
    ParticleEmitter still;
    still.Load(file);
    still.target = D3DXVECTOR3(1000.0f, 0.0f, 0.0f);
    // Arrival needs age 0.5 + 0 + 1 = 1.5, seen by the motion step of update 13.
    for (int update = 1; update <= 13; ++update) {
        Frame(0.125f);
        still.Update();
        EXPECT_EQ(still.arrived, update >= 13) << update;
    }
    EXPECT_FLOAT_EQ(still.position.x, 0.0f);

    file.settings.projectileSpeed = -1.0f;
    ParticleEmitter instant;
    instant.Load(file);
    instant.target = D3DXVECTOR3(30.0f, 40.0f, 50.0f);
    Frame(0.125f);
    instant.Update();
    EXPECT_TRUE(instant.arrived);
    EXPECT_EQ(instant.Settings().origin, D3DXVECTOR3(30.0f, 40.0f, 50.0f));
}

TEST_F(ParticleEmitterTest, ReloadingKeepsOneSetOfBuffersAndOneTextureReference)
{
    WriteTexture("spark.tga");
    tree->Write("sparks.txt", "Texture = spark.tga\nRight = 1\nUp = 1\nR = True\nU = True\nO = 0 0 0\n"
                              "I = 0 0 0\nS = 0 0 0\nD = 0 0 0\nC = 0 0 0 0\nF = 0 0 0\nA = 1 1 1\nT = SPELL\n"
                              "B = 1\nP = 20\nL = 1\nI = 0.1\nD = 0\nD = -1\nO = 1\nP = 0\nS = 0\nS = 0\nL = 0\n");
    ParticleEmitter emitter;
    emitter.LoadFile("sparks.txt");
    ASSERT_NE(emitter.Texture(), nullptr);
    const int references = emitter.Texture()->referenceCount;
    IDirect3DVertexBuffer9* first = emitter.VertexBuffer();
    ASSERT_NE(first, nullptr);
    first->AddRef();
    for (int i = 0; i < 100; ++i)
        emitter.LoadFile("sparks.txt");
    EXPECT_EQ(first->Release(), 0u) << "the first buffer was let go";
    EXPECT_EQ(emitter.Texture()->referenceCount, references);
    EXPECT_EQ(emitter.FreeCount(), 20u);
    // The device check of the tear-down catches any of the hundred buffers left behind.
}

TEST_F(ParticleEmitterTest, SetColourKeyTintsOnlyExistingKeys)
{
    EmitterFile file = Quiet(1);
    file.colourKeys.push_back({0.0f, 1.0f, 10.0f, 20.0f, 30.0f});
    ParticleEmitter emitter;
    emitter.Load(file);
    emitter.SetColourKey(0, 1.0f, 2.0f, 3.0f);
    emitter.SetColourKey(1, 9.0f, 9.0f, 9.0f);
    ASSERT_EQ(emitter.ColourKeys().size(), 1u);
    EXPECT_FLOAT_EQ(emitter.ColourKeys()[0].red, 1.0f);
    EXPECT_FLOAT_EQ(emitter.ColourKeys()[0].blue, 3.0f);
    EXPECT_FLOAT_EQ(emitter.ColourKeys()[0].startTime, 0.0f);
}
