#include "scene/EmitterFile.h"
#include "scene/EmitterFileCache.h"
#include "scene/ParticleEmitter.h"
#include "support/DataTree.h"
#include "win32/Log.h"

#include "EffectsFixture.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

// The fixed part of a file as its writer lays it out, with the version-dependent lines given separately.
std::string FixedPart(const std::string& head, const std::string& flags, const std::string& shapeLine,
                      const std::string& type = "SPELL")
{
    return head +
           "Texture = spark.tga\n"
           "RightScale = 2.5\n"
           "UpScale = 0.5\n"
           "RightFromCamera = True\n"
           "UpFromCamera = False\n" +
           flags +
           "Origin = 1 2 3\n"
           "Ignored = 9 9 9\n"
           "SpawnExtents = 10 20 30\n"
           "DirectionVariance = 0.5 0.25 0.125\n"
           "ColourVariance = 4 5 6 7\n"
           "OscillationFrequency = 1 2 3\n"
           "OscillationAmplitude = 4 5 6\n"
           "Type = " +
           type + "\n" + shapeLine +
           "PerBurst = 5\n"
           "PoolSize = 40\n"
           "Life = 2.5\n"
           "Interval = 0.25\n"
           "ProjectileDelay = 0.5\n"
           "Duration = 3\n"
           "OscillationSpeed = 2\n"
           "ProjectileSpeed = 500\n"
           "SizeVariance = 1.5\n"
           "SpeedVariance = 2.5\n"
           "LifeVariance = 0.75\n";
}

const std::string kFlags = "DirectionFromFirstKey = True\nColourFromFirstKey = True\n"
                           "SizeFromFirstKey = False\nSpeedFromFirstKey = True\n";

const std::string kSections = "[Speed List]\n"
                              "0 2 3\n"
                              "1.5 1 4\n"
                              "[Direction List]\n"
                              "0 1 Dir = 0 1 0\n"
                              "0.5 98.7 Dir = 0 0 0\n"
                              "[Color List]\n"
                              "0 1 Col = 255 128 0 255\n"
                              "[Size List]\n"
                              "0 2 3\n";

EmitterFile Parse(const std::string& text, std::string* problem = nullptr)
{
    EmitterFile file;
    std::istringstream in(text);
    const std::string p = file.Parse(in);
    if (problem)
        *problem = p;
    return file;
}

std::string WithCrLf(const std::string& text)
{
    std::string out;
    for (char c : text) {
        if (c == '\n')
            out += '\r';
        out += c;
    }
    return out;
}

} // namespace

TEST(EmitterFile, ReadsEveryFieldOfAVersionThreeFileWithEitherLineEnd)
{
    const std::string text =
        FixedPart("Particle System v 0.3\nBlend = RevSubtract\n", kFlags, "Shape = CIRCLE\n") + kSections;
    for (const std::string& variant : {text, WithCrLf(text)}) {
        SCOPED_TRACE(variant == text ? "\\n" : "\\r\\n");
        std::string problem;
        const EmitterFile f = Parse(variant, &problem);
        EXPECT_EQ(problem, "");
        const EmitterSettings& s = f.settings;
        EXPECT_FLOAT_EQ(f.version, 0.3f);
        EXPECT_EQ(s.blendOp, 3);
        EXPECT_EQ(s.textureName, "spark.tga");
        EXPECT_FLOAT_EQ(s.rightScale, 2.5f);
        EXPECT_FLOAT_EQ(s.upScale, 0.5f);
        EXPECT_TRUE(s.rightFromCamera);
        EXPECT_FALSE(s.upFromCamera);
        EXPECT_TRUE(s.directionFromFirstKey);
        EXPECT_TRUE(s.colourFromFirstKey);
        EXPECT_FALSE(s.sizeFromFirstKey);
        EXPECT_TRUE(s.speedFromFirstKey);
        EXPECT_EQ(s.origin, D3DXVECTOR3(1, 2, 3));
        EXPECT_EQ(s.spawnExtents, D3DXVECTOR3(10, 20, 30));
        EXPECT_EQ(s.directionVariance, D3DXVECTOR3(0.5f, 0.25f, 0.125f));
        EXPECT_EQ(s.colourVariance, D3DXVECTOR3(4, 5, 6));
        EXPECT_EQ(s.oscillationFrequency, D3DXVECTOR3(1, 2, 3));
        EXPECT_EQ(s.oscillationAmplitude, D3DXVECTOR3(4, 5, 6));
        EXPECT_EQ(s.type, EMITTER_SPELL);
        EXPECT_EQ(s.shape, EMITTER_CIRCLE);
        EXPECT_EQ(s.perBurst, 5);
        EXPECT_EQ(s.poolSize, 40);
        EXPECT_FLOAT_EQ(s.life, 2.5f);
        EXPECT_FLOAT_EQ(s.interval, 0.25f);
        EXPECT_FLOAT_EQ(s.projectileDelay, 0.5f);
        EXPECT_FLOAT_EQ(s.duration, 3.0f);
        EXPECT_FLOAT_EQ(s.oscillationSpeed, 2.0f);
        EXPECT_FLOAT_EQ(s.projectileSpeed, 500.0f);
        EXPECT_FLOAT_EQ(s.sizeVariance, 1.5f);
        EXPECT_FLOAT_EQ(s.speedVariance, 2.5f);
        EXPECT_FLOAT_EQ(s.lifeVariance, 0.75f);

        ASSERT_EQ(f.speedKeys.size(), 2u);
        EXPECT_FLOAT_EQ(f.speedKeys[0].startTime, 0.0f);
        EXPECT_FLOAT_EQ(f.speedKeys[0].factor, 2.0f);
        EXPECT_FLOAT_EQ(f.speedKeys[0].value, 3.0f);
        EXPECT_FLOAT_EQ(f.speedKeys[1].startTime, 1.5f);
        ASSERT_EQ(f.directionKeys.size(), 2u);
        EXPECT_FLOAT_EQ(f.directionKeys[0].y, 1.0f);
        EXPECT_FLOAT_EQ(f.directionKeys[1].scale, 98.7f);
        ASSERT_EQ(f.colourKeys.size(), 1u);
        EXPECT_FLOAT_EQ(f.colourKeys[0].red, 255.0f);
        EXPECT_FLOAT_EQ(f.colourKeys[0].green, 128.0f);
        EXPECT_FLOAT_EQ(f.colourKeys[0].blue, 0.0f);
        ASSERT_EQ(f.sizeKeys.size(), 1u);
        EXPECT_FLOAT_EQ(f.sizeKeys[0].value, 3.0f);
    }
}

TEST(EmitterFile, VersionDecidesWhichOptionalLinesAreRead)
{
    // Each variant lays out exactly the lines its version reads; a misread line would shift every later field
    // and the pool size would not come out as 40.
    struct Case {
        const char* name;
        std::string text;
        int blend;
        bool directionFromFirstKey;
        int shape;
    };
    const std::vector<Case> cases = {
        {"no header: version 0", FixedPart("", "", ""), 1, false, EMITTER_SQUARE},
        {"0.2: four flags, no shape", FixedPart("Particle System v 0.2\nBlend = Add\n", kFlags, ""), 1, true,
         EMITTER_SQUARE},
        {"0.1: no flags", FixedPart("Particle System v 0.1\nBlend = RevSubtract\n", "", ""), 3, false, EMITTER_SQUARE},
        {"0.3: shape", FixedPart("Particle System v 0.3\nBlend = Add\n", kFlags, "Shape = CIRCLE\n"), 1, true,
         EMITTER_CIRCLE},
        {"0.5: shape", FixedPart("Particle System v 0.5\nBlend = Add\n", kFlags, "Shape = SQUARE\n"), 1, true,
         EMITTER_SQUARE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string problem;
        const EmitterFile f = Parse(c.text, &problem);
        EXPECT_EQ(problem, "");
        EXPECT_EQ(f.settings.blendOp, c.blend);
        EXPECT_EQ(f.settings.directionFromFirstKey, c.directionFromFirstKey);
        EXPECT_EQ(f.settings.shape, c.shape);
        EXPECT_EQ(f.settings.poolSize, 40);
        EXPECT_FLOAT_EQ(f.settings.lifeVariance, 0.75f);
    }
}

TEST(EmitterFile, KeywordsMatchOnlyTheirExactSpelling)
{
    struct Case {
        std::string head;
        std::string flags;
        std::string type;
        int blend;
        int typeValue;
        bool directionFlag;
    };
    const std::vector<Case> cases = {
        {"Particle S v 0.2\nBlend = add\n", "D = true\nC = True\nS = True\nP = True\n", "SPELLS", 1, EMITTER_SPELL,
         false},
        {"Particle S v 0.2\nBlend = RevSubtract\n", "D = True\nC = True\nS = True\nP = True\n", "PROJECTILE", 3,
         EMITTER_PROJECTILE, true},
        {"Particle S v 0.2\nBlend = Subtract\n", "D = TRUE\nC = True\nS = True\nP = True\n", "AMBIENT", 1,
         EMITTER_AMBIENT, false},
        {"Particle S v 0.2\nBlend = Add\n", "D = True\nC = True\nS = True\nP = True\n", "RAY", 1, EMITTER_RAY, true},
        {"Particle S v 0.2\nBlend = Add\n", "D = True\nC = True\nS = True\nP = True\n", "ray", 1, EMITTER_SPELL, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type);
        const EmitterFile f = Parse(FixedPart(c.head, c.flags, "", c.type));
        EXPECT_EQ(f.settings.blendOp, c.blend);
        EXPECT_EQ(f.settings.type, c.typeValue);
        EXPECT_EQ(f.settings.directionFromFirstKey, c.directionFlag);
        EXPECT_EQ(f.settings.poolSize, 40);
    }
}

TEST(EmitterFile, SectionsAppendInAnyOrderAndOnlyExactHeadersOpenThem)
{
    const std::string head = FixedPart("", "", "");
    const EmitterFile f = Parse(head + "# a comment line\n"
                                       "[Size List]\n"
                                       "0 1 1\n"
                                       " [Speed List]\n" // a leading blank: not a header, and outside any section
                                       "[speed list]\n"
                                       "[Size List] \n" // a trailing blank: not a header either
                                       "[Speed List]\n"
                                       "0 2 3\n"
                                       "[Size List]\n"
                                       "0.5 1 2\n"
                                       "1 1 3"); // the last entry ends at the end of the file
    ASSERT_EQ(f.sizeKeys.size(), 3u);
    EXPECT_FLOAT_EQ(f.sizeKeys[0].value, 1.0f);
    EXPECT_FLOAT_EQ(f.sizeKeys[1].startTime, 0.5f);
    EXPECT_FLOAT_EQ(f.sizeKeys[2].value, 3.0f);
    ASSERT_EQ(f.speedKeys.size(), 1u);
    EXPECT_FLOAT_EQ(f.speedKeys[0].startTime, 0.0f);
    EXPECT_FLOAT_EQ(f.speedKeys[0].factor, 2.0f);
    EXPECT_FLOAT_EQ(f.speedKeys[0].value, 3.0f);
}

TEST(EmitterFile, AMalformedNumberEndsTheReadingWithWhatWasRead)
{
    std::string text = FixedPart("", "", "");
    text.replace(text.find("Life = 2.5"), 10, "Life = x.5");
    std::string problem;
    const EmitterFile f = Parse(text + kSections, &problem);
    EXPECT_NE(problem.find("life"), std::string::npos) << problem;
    EXPECT_EQ(f.settings.poolSize, 40) << "read before the fault";
    EXPECT_FLOAT_EQ(f.settings.life, 5.0f) << "default kept";
    EXPECT_FLOAT_EQ(f.settings.interval, 0.1f) << "default kept";
    EXPECT_TRUE(f.speedKeys.empty()) << "no section is read";

    // A malformed entry stops inside a section too, keeping the entries before it.
    const EmitterFile g = Parse(FixedPart("", "", "") + "[Size List]\n0 1 2\n0 one 2\n[Speed List]\n0 1 1\n", &problem);
    EXPECT_NE(problem, "");
    EXPECT_EQ(g.sizeKeys.size(), 1u);
    EXPECT_TRUE(g.speedKeys.empty());
}

TEST(EmitterFile, PoolSizeStaysWithinTheSharedIndexTable)
{
    for (auto [given, kept] : std::vector<std::pair<std::string, int>>{{"2000", 1500}, {"-5", 0}, {"1500", 1500}}) {
        std::string text = FixedPart("", "", "");
        text.replace(text.find("PoolSize = 40"), 13, "PoolSize = " + given);
        EXPECT_EQ(Parse(text).settings.poolSize, kept) << given;
    }
}

TEST(EmitterFile, EmptyOrTruncatedTextKeepsDefaults)
{
    for (const std::string text : {"", "Particle", "Particle a b", "Texture", "Texture ="}) {
        SCOPED_TRACE(text);
        std::string problem;
        const EmitterFile f = Parse(text, &problem);
        EXPECT_NE(problem, "");
        EXPECT_EQ(f.settings.textureName, "No Texture");
        EXPECT_EQ(f.settings.poolSize, 0);
        EXPECT_FLOAT_EQ(f.settings.life, 5.0f);
    }
}

class EmitterLoadTest : public EffectsTest
{ };

TEST_F(EmitterLoadTest, LoadFileReportsABadFileOnceAndStillStarts)
{
    std::string text = FixedPart("", "", "");
    text.replace(text.find("Duration = 3"), 12, "Duration = ?");
    tree->Write("bad.txt", text);
    LogCapture capture;
    ParticleEmitter first, second;
    first.LoadFile("bad.txt");
    second.LoadFile("bad.txt");
    EXPECT_EQ(capture.Count("emitter.file"), 1u) << "the cache reads the file once";
    EXPECT_EQ(first.FreeCount(), 40u);
    EXPECT_NE(first.VertexBuffer(), nullptr);
    EXPECT_FLOAT_EQ(first.Settings().duration, -1.0f);
}

TEST_F(EmitterLoadTest, AMissingFileLeavesADefaultEmitterThatDrawsNothing)
{
    LogCapture capture;
    ParticleEmitter emitter;
    emitter.LoadFile("nowhere.txt");
    emitter.LoadFile("nowhere.txt");
    EXPECT_EQ(capture.Count("emitter.file"), 1u) << "said once, on stderr";
    EXPECT_EQ(emitter.VertexBuffer(), nullptr);
    EXPECT_EQ(emitter.FreeCount(), 0u);
    Frame(0.125f);
    emitter.Update();
    emitter.Submit();
    ParticleManager::Get()->Render();
    EXPECT_EQ(Null()->DrawCount(), 0u);
}
