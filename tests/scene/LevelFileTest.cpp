#include "scene/LevelFile.h"
#include "scene/SceneFixture.h"

#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <random>

namespace {
bool Parse(const LevelBytes& level, LevelFile::Contents& out, std::string* error = nullptr,
           std::vector<std::string>* warnings = nullptr)
{
    std::string ignored;
    return LevelFile::Parse(level.bytes.data(), level.bytes.size(), out, error ? *error : ignored, warnings);
}
} // namespace

TEST(LevelFile, FieldsComeFromTheirOffsets)
{
    LevelBytes level;
    level.Int(LevelOffsets::CELL, 200);
    level.Height(1, 2, 37.5f);
    level.Int(LevelOffsets::TILING + 12, 9);
    level.bytes[LevelOffsets::FOG_ENABLE] = 1;
    level.Float(LevelOffsets::FOG_COLOUR + 4, 128.0f);
    level.Float(LevelOffsets::SKY, 6.5f);
    level.Int(LevelOffsets::LIGHT_MIN, 77);
    level.Int(LevelOffsets::LIGHT_INTENSITY, 150);
    level.Float(LevelOffsets::LIGHT_COLOUR + 8, 10.0f);
    level.Name(LevelOffsets::TEXTURE_NAMES + 260 * 2, "mud.tga");
    level.Float(LevelOffsets::SLOPE, 2.5f);
    level.Weight(3, 4, 3, 0.25f);
    level.Int(LevelOffsets::HEX_TYPES + 168, 4); // row 1, column 0
    LevelFile::Contents contents;
    ASSERT_TRUE(Parse(level, contents));
    const LevelData& d = contents.data;
    EXPECT_EQ(d.cellSize, 200);
    EXPECT_FLOAT_EQ(d.heights[1 * 128 + 2], 37.5f);
    EXPECT_EQ(d.tiling[3], 9);
    EXPECT_EQ(d.tiling[0], 5);
    EXPECT_EQ(d.fogEnable, 1);
    EXPECT_FLOAT_EQ(d.fogColour[1], 128.0f);
    EXPECT_FLOAT_EQ(d.skyValue, 6.5f);
    EXPECT_EQ(d.lightMapMinimum, 77);
    EXPECT_EQ(d.lightIntensity, 150);
    EXPECT_FLOAT_EQ(d.lightColour[2], 10.0f);
    EXPECT_EQ(d.textureNames[2], "mud.tga");
    EXPECT_EQ(d.textureNames[0], "No Texture");
    EXPECT_FLOAT_EQ(d.slopeFactor, 2.5f);
    EXPECT_FLOAT_EQ(d.blendWeights[(3 * 128 + 4) * 4 + 3], 0.25f);
    EXPECT_EQ(d.hexTypes[42], 4);
    EXPECT_EQ(d.hexTypes[41], 0);
    EXPECT_TRUE(contents.staticObjects.empty());
    EXPECT_TRUE(contents.decals.empty());
}

TEST(LevelFile, ListsFollowTheirCounts)
{
    struct Case {
        int32_t staticCount;
        int staticRecords;
        int32_t decalCount;
        int decalRecords;
        size_t expectStatics;
        size_t expectDecals;
    };
    const Case cases[] = {
        {0, 0, -3, 0, 0, 0}, // nothing read, the decal count is the very next byte
        {-2, 0, 1, 1, 0, 1}, // a negative count reads nothing; the decal count follows at once
        {2, 2, 1, 1, 2, 1},  {1000, 1, 0, 0, 0, 0}, // more records than bytes: the list is read as empty
        {1, 1, 50, 1, 1, 0},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> statics, decals;
        for (int i = 0; i < c.staticRecords; ++i) {
            auto r = LevelBytes::StaticRecord("rock_small.x", 1.0f, 10.0f * i, 0.0f, 0.0f);
            statics.insert(statics.end(), r.begin(), r.end());
        }
        for (int i = 0; i < c.decalRecords; ++i) {
            auto r = LevelBytes::DecalRecord("mark.tga", 45.0f, 6, 300.0f, 400.0f);
            decals.insert(decals.end(), r.begin(), r.end());
        }
        LevelBytes level;
        level.Lists(c.staticCount, statics, c.decalCount, decals);
        LevelFile::Contents contents;
        ASSERT_TRUE(Parse(level, contents)) << c.staticCount << "/" << c.decalCount;
        EXPECT_EQ(contents.staticObjects.size(), c.expectStatics) << c.staticCount;
        EXPECT_EQ(contents.decals.size(), c.expectDecals) << c.decalCount;
        if (c.expectDecals == 1) {
            EXPECT_EQ(contents.decals[0].textureName, "mark.tga");
            EXPECT_FLOAT_EQ(contents.decals[0].rotation, 45.0f);
            EXPECT_EQ(contents.decals[0].gridSize, 6);
            EXPECT_FLOAT_EQ(contents.decals[0].position[2], 400.0f);
        }
        if (c.expectStatics == 2) {
            EXPECT_EQ(contents.staticObjects[1].meshName, "rock_small.x");
            EXPECT_FLOAT_EQ(contents.staticObjects[1].position[0], 10.0f);
        }
    }
}

TEST(LevelFile, ShortOrBrokenFilesAreRefused)
{
    LevelBytes level;
    level.bytes.resize(LevelOffsets::MINIMUM - 1);
    LevelFile::Contents contents;
    contents.data.skyValue = 3.0f;
    std::string error;
    EXPECT_FALSE(Parse(level, contents, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_FLOAT_EQ(contents.data.skyValue, 3.0f) << "a refused file changes nothing";

    LevelBytes zeroCell;
    zeroCell.Int(LevelOffsets::CELL, 0);
    EXPECT_FALSE(Parse(zeroCell, contents, &error)) << "every height query would divide by it";
    EXPECT_FALSE(LevelFile::Parse(nullptr, 0, contents, error));
}

TEST(LevelFile, NamesStopAtTheirFieldAndDecalGridsAreKeptInRange)
{
    std::vector<uint8_t> statics = LevelBytes::StaticRecord("", 1.0f, 0, 0, 0);
    std::fill(statics.begin(), statics.begin() + 260, static_cast<uint8_t>('a')); // no NUL anywhere
    std::vector<uint8_t> decals;
    for (int32_t grid : {300, 0, 1, 2, 256, -7}) {
        auto r = LevelBytes::DecalRecord("d.tga", 0.0f, grid, 0, 0);
        decals.insert(decals.end(), r.begin(), r.end());
    }
    LevelBytes level;
    level.Lists(1, statics, 6, decals);
    LevelFile::Contents contents;
    std::vector<std::string> warnings;
    ASSERT_TRUE(Parse(level, contents, nullptr, &warnings));
    ASSERT_EQ(contents.staticObjects.size(), 1u);
    EXPECT_EQ(contents.staticObjects[0].meshName, std::string(260, 'a'));
    ASSERT_EQ(contents.decals.size(), 6u);
    const int32_t expected[] = {256, 2, 2, 2, 256, 2};
    for (size_t i = 0; i < 6; ++i)
        EXPECT_EQ(contents.decals[i].gridSize, expected[i]) << i;
    EXPECT_EQ(warnings.size(), 4u) << "300, 0, 1 and -7 were corrected";
}

TEST(LevelFile, ALevelWithAnUnusableNumberOrBoardIsRefusedWhole)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    struct Case {
        const char* what;
        std::function<void(LevelBytes&)> damage;
        const char* named; // a piece of the reason, so a player can find the fault
    };
    const Case cases[] = {
        {"NaN height", [&](LevelBytes& l) { l.Height(5, 7, nan); }, "(5, 7)"},
        {"infinite height", [&](LevelBytes& l) { l.Height(127, 127, -inf); }, "(127, 127)"},
        {"a height whose square overflows", [&](LevelBytes& l) { l.Height(0, 1, 3.0e20f); }, "(0, 1)"},
        {"fog colour", [&](LevelBytes& l) { l.Float(LevelOffsets::FOG_COLOUR + 8, nan); }, "fog colour"},
        {"sky value", [&](LevelBytes& l) { l.Float(LevelOffsets::SKY, inf); }, "sky value"},
        {"light colour", [&](LevelBytes& l) { l.Float(LevelOffsets::LIGHT_COLOUR, nan); }, "light colour"},
        {"slope factor", [&](LevelBytes& l) { l.Float(LevelOffsets::SLOPE, nan); }, "slope factor"},
        {"blend weight", [&](LevelBytes& l) { l.Weight(64, 3, 2, inf); }, "blend weights"},
        {"no first zone", [&](LevelBytes& l) { l.Int(LevelOffsets::HEX_TYPES + 4 * 1510, 0); }, "first player"},
        {"no second zone", [&](LevelBytes& l) { l.Int(LevelOffsets::HEX_TYPES + 4 * 1511, 3); }, "second player"},
        {"static object scale",
         [&](LevelBytes& l) { l.Lists(1, LevelBytes::StaticRecord("rock.x", nan, 0, 0, 0), 0, {}); }, "rock.x"},
        {"static object place",
         [&](LevelBytes& l) { l.Lists(1, LevelBytes::StaticRecord("oak.x", 1.0f, 0, inf, 0), 0, {}); }, "oak.x"},
        {"decal place", [&](LevelBytes& l) { l.Lists(0, {}, 1, LevelBytes::DecalRecord("mud.tga", 0, 8, nan, 0)); },
         "mud.tga"},
        {"decal rotation", [&](LevelBytes& l) { l.Lists(0, {}, 1, LevelBytes::DecalRecord("burn.tga", inf, 8, 0, 0)); },
         "burn.tga"},
    };
    for (const Case& c : cases) {
        LevelBytes level;
        c.damage(level);
        LevelFile::Contents contents;
        contents.data.skyValue = 3.0f;
        std::string error;
        EXPECT_FALSE(Parse(level, contents, &error)) << c.what;
        EXPECT_NE(error.find(c.named), std::string::npos) << c.what << ": " << error;
        EXPECT_FLOAT_EQ(contents.data.skyValue, 3.0f) << c.what << ": a refused file changes nothing";
    }

    // Every other hex type (a type the board does not name is open ground), and heights and placements of any
    // size a level could use, are kept.
    LevelBytes level;
    const int32_t types[] = {0, 1, 2, 5, 6, -1, 1000};
    for (size_t hex = 0; hex < std::size(types); ++hex)
        level.Int(LevelOffsets::HEX_TYPES + 4 * hex, types[hex]);
    level.Height(3, 3, -20000.0f);
    level.Height(4, 4, 32768.0f);
    level.Lists(1, LevelBytes::StaticRecord("tower.x", 40.0f, 32000, -500, 100), 0, {});
    LevelFile::Contents contents;
    std::string error;
    EXPECT_TRUE(Parse(level, contents, &error)) << error;
}

TEST(LevelFile, RandomBytesOfALevelsSizeAreRefused)
{
    // Random words as a damaged file holds them: a cell size that happens to be positive is the only check
    // the bytes would otherwise have to pass.
    std::mt19937 random(22);
    for (int attempt = 0; attempt < 20; ++attempt) {
        LevelBytes level;
        for (size_t i = 4; i + 4 <= level.bytes.size(); i += 4)
            level.Int(i, static_cast<int32_t>(random()));
        level.Int(LevelOffsets::CELL, 256);
        LevelFile::Contents contents;
        std::string error;
        EXPECT_FALSE(Parse(level, contents, &error)) << attempt;
    }
}
