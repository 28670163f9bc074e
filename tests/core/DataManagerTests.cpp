#include "core/DataManager.h"

#include "support/DataTree.h"
#include "win32/PathResolver.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>

namespace {

bool EndsWith(const std::string& text, const std::string& tail)
{
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

} // namespace

TEST(DataManagerTable, FiftyThreePrefixesInTheirOrder)
{
    DataTree tree;
    DataManager* data = DataManager::Get();
    const std::string base = tree.Root().string();
    EXPECT_EQ(data->GetBaseDirectory(), base);
    std::vector<std::string> expected = {"", base + "\\", base + "\\Data\\"};
    for (const char* textures :
         {"World Textures", "World Textures\\NormalMaps", "Static Mesh Textures", "Hex Tile Textures", "Hud Textures",
          "Icon Textures", "Screen Overlay Textures", "Skybox Textures", "Particle Textures", "Decal Textures"})
        expected.push_back(base + "\\Data\\Textures\\" + textures + "\\");
    expected.push_back(base + "\\Data\\Terrain Levels\\");
    for (const char* level : {"Farm", "Winter Wonderland", "Citadel Courtyard", "Intro Scene"}) {
        const std::string directory = base + "\\Data\\Terrain Levels\\" + level + "\\";
        expected.push_back(directory);
        for (const char* sub : {"Meshes", "Particles", "Sounds", "Textures"})
            expected.push_back(directory + sub + "\\");
    }
    expected.push_back(base + "\\Data\\Models\\Animated Models\\");
    for (const char* unit : {"Pikeman", "Militia", "Paladin", "Mage", "Combat Mage", "Healer", "Rogue", "Assassin",
                             "Scout", "Knight", "Archer"})
        expected.push_back(base + "\\Data\\Models\\Animated Models\\" + unit + "\\");
    for (const char* rest : {"Models\\Static Models", "Effect Files", "Sound\\Music", "Sound\\Sound Effects",
                             "Config Files\\Humans", "Config Files\\Spells", "Config Files\\Particle Files"})
        expected.push_back(base + "\\Data\\" + rest + "\\");
    ASSERT_EQ(expected.size(), 53u);
    EXPECT_EQ(data->GetSearchPaths(), expected);
}

TEST(DataManagerLookup, FirstDirectoryInTableOrderUnlessTheLastHitHoldsTheName)
{
    DataTree tree;
    tree.Write("Data/Textures/Hud Textures/shared.tga");
    tree.Write("Data/Effect Files/shared.tga");
    tree.Write("Data/Effect Files/only.fx");
    DataManager* data = DataManager::Get();

    EXPECT_TRUE(EndsWith(data->FindFile("shared.tga"), "Data/Textures/Hud Textures/shared.tga"));
    // The effect directory found the last file, so it is asked first now.
    EXPECT_TRUE(EndsWith(data->FindFile("only.fx"), "Data/Effect Files/only.fx"));
    EXPECT_TRUE(EndsWith(data->FindFile("shared.tga"), "Data/Effect Files/shared.tga"));
    // A name the last-hit directory lacks is found in table order again, and moves the last hit back.
    tree.Write("Data/Textures/Hud Textures/hudOnly.tga");
    EXPECT_TRUE(EndsWith(data->FindFile("hudOnly.tga"), "Data/Textures/Hud Textures/hudOnly.tga"));
    EXPECT_TRUE(EndsWith(data->FindFile("shared.tga"), "Data/Textures/Hud Textures/shared.tga"));
}

TEST(DataManagerLookup, TheNameAsGivenIsTriedFirstAtStart)
{
    DataTree tree;
    tree.Write("here.txt", "working directory");
    tree.Write("Data/here.txt", "data directory");
    std::string name = "here.txt";
    ASSERT_TRUE(DataManager::Get()->ResolvePath(name));
    EXPECT_EQ(name, "here.txt");
    std::remove((tree.Root() / "here.txt").c_str());
    PathResolver::Invalidate((tree.Root() / "here.txt").string());
    EXPECT_EQ(DataManager::Get()->FindFile("here.txt"), (tree.Root() / "Data/here.txt").string());
}

TEST(DataManagerLookup, BaseDirectoryIsJoinedWithASeparator)
{
    DataTree tree;
    tree.Write("top.txt");
    tree.Write("elsewhere/other.txt");
    DataManager* data = DataManager::Get();
    // Away from the base directory the name as given no longer opens; the base directory prefix finds it.
    std::filesystem::current_path(tree.Root() / "elsewhere");
    EXPECT_EQ(data->FindFile("top.txt"), (tree.Root() / "top.txt").string());
}

TEST(DataManagerLookup, LetterCaseAndSeparatorsDoNotMatter)
{
    DataTree tree;
    tree.Write("Data/Textures/Particle Textures/lightbolt.bmp");
    const std::string found = DataManager::Get()->FindFile("lightBolt.BMP");
    EXPECT_EQ(found, (tree.Root() / "Data/Textures/Particle Textures/lightbolt.bmp").string());
    // A relative path is found by the empty prefix, against the working directory.
    EXPECT_EQ(DataManager::Get()->FindFile("data\\textures\\PARTICLE TEXTURES\\LightBolt.bmp"),
              "Data/Textures/Particle Textures/lightbolt.bmp");
}

TEST(DataManagerLookup, MissingNamesAndDirectoriesAreNotFound)
{
    DataTree tree;
    tree.Write("Data/Textures/Hud Textures/a.tga");
    DataManager* data = DataManager::Get();
    EXPECT_EQ(data->FindFile("nowhere.tga"), "Cannot Find File");
    std::string name = "nowhere.tga";
    EXPECT_FALSE(data->ResolvePath(name));
    EXPECT_EQ(name, "nowhere.tga");
    // A directory of that name is not a file.
    EXPECT_EQ(data->FindFile("Hud Textures"), "Cannot Find File");
    EXPECT_EQ(data->FindFile(""), "Cannot Find File");
}

TEST(DataManagerLookup, FilesAndDirectoriesMadeOrRemovedAfterStartAreSeenAtOnce)
{
    DataTree tree;
    tree.Write("Data/Textures/World Textures/grass.tga");
    const std::filesystem::path directory = tree.Root() / "Data/Textures/World Textures";
    // The directory's time stamp does not move, as within one tick of a coarse file-system clock.
    const auto pinned = std::filesystem::last_write_time(directory) - std::chrono::hours(1);
    std::filesystem::last_write_time(directory, pinned);
    DataManager* data = DataManager::Get();
    EXPECT_EQ(data->FindFile("grass.tga"), (directory / "grass.tga").string());
    EXPECT_EQ(data->FindFile("lightmap.tga"), "Cannot Find File");
    EXPECT_EQ(data->FindFile("shot.tga"), "Cannot Find File");
    EXPECT_EQ(data->FindFile("late.fx"), "Cannot Find File");
    // Written by the game through the resolver, and by another route.
    FILE* out = PathResolver::Open("Data\\Textures\\World Textures\\shot.tga", "wb");
    ASSERT_NE(out, nullptr);
    std::fputs("tga", out);
    std::fclose(out);
    std::ofstream(directory / "lightmap.tga", std::ios::binary) << "tga";
    std::filesystem::last_write_time(directory, pinned);
    EXPECT_EQ(data->FindFile("shot.tga"), (directory / "shot.tga").string());
    EXPECT_EQ(data->FindFile("lightmap.tga"), (directory / "lightmap.tga").string());
    // A directory of the table made after the start, and a file that goes away again.
    tree.Write("Data/Effect Files/late.fx");
    EXPECT_EQ(data->FindFile("late.fx"), (tree.Root() / "Data/Effect Files/late.fx").string());
    std::filesystem::remove(tree.Root() / "Data/Effect Files/late.fx");
    EXPECT_EQ(data->FindFile("late.fx"), "Cannot Find File");
}

TEST(DataManagerLookup, ChangingTheTableForgetsTheLastHit)
{
    DataTree tree;
    tree.Write("Data/Sound/Music/song.wav");
    tree.Write("Data/Sound/Music/both.wav");
    tree.Write("Data/Textures/Hud Textures/both.wav");
    tree.Write("extra/extra.wav");
    DataManager* data = DataManager::Get();
    EXPECT_TRUE(EndsWith(data->FindFile("song.wav"), "Music/song.wav"));
    data->AddSearchPath((tree.Root() / "extra").string());
    EXPECT_EQ(data->GetSearchPaths().size(), 54u);
    // Table order again: the HUD directory comes before the music directory.
    EXPECT_TRUE(EndsWith(data->FindFile("both.wav"), "Hud Textures/both.wav"));
    EXPECT_TRUE(EndsWith(data->FindFile("extra.wav"), "extra/extra.wav"));

    data->ReleaseAll();
    EXPECT_TRUE(data->GetSearchPaths().empty());
    EXPECT_EQ(data->FindFile("extra.wav"), "Cannot Find File");
    data->AddSearchPath((tree.Root() / "extra").string());
    EXPECT_TRUE(EndsWith(data->FindFile("extra.wav"), "extra/extra.wav"));
}

TEST(DataManagerTime, FrameTimeIsScaledByTheGameSpeed)
{
    DataTree tree;
    DataManager* data = DataManager::Get();
    EXPECT_EQ(data->GetGameSpeed(), 1.0f);
    EXPECT_EQ(data->GetFrameTime(), 0.0f);
    data->AdvanceTime(0.02f);
    data->SetGameSpeed(0.25f);
    data->AdvanceTime(0.04f);
    EXPECT_FLOAT_EQ(data->GetRawFrameTime(), 0.04f);
    EXPECT_FLOAT_EQ(data->GetFrameTime(), 0.01f);
    EXPECT_FLOAT_EQ(data->GetGameTime(), 0.03f);
}

TEST(DataManagerLookup, AnInstallDirectoryWithABackslashOrASpaceFindsEveryDataFile)
{
    // On this system a backslash can be part of a directory's name; only the game's own separators split.
    const char* const installs[] = {"My Games", "back\\slash", "a\\b c\\d"};
    const char* const files[] = {"Data/Config Files/Spells/Heal.txt", "Data/Textures/Hud Textures/bMove_f2.tga",
                                 "Data/Sound/Sound Effects/beep.wav", "Data/Terrain Levels/Farm/farm.lvl"};
    for (const char* install : installs) {
        DataTree tree(install);
        for (const char* file : files)
            tree.Write(file, "Name = Heal\nSpell Type = Spell\n");
        DataManager* data = DataManager::Get();
        for (const char* file : files) {
            const std::string bare = std::filesystem::path(file).filename().string();
            const std::string found = data->FindFile(bare);
            EXPECT_EQ(found, (tree.Root() / file).string()) << install;
            // What the lookup hands out opens again through the resolver, as the loaders open it.
            FILE* opened = PathResolver::Open(found, "rb");
            EXPECT_NE(opened, nullptr) << install << ": " << found;
            if (opened)
                std::fclose(opened);
        }
        // The spell directory is listed from the base directory too.
        data->LoadSpells();
        EXPECT_EQ(data->GetSpellNames(), std::vector<std::string>{"Heal"}) << install;
    }
}
