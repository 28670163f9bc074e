// The default data tree that the build writes next to the game (the tests run from there).
#include "battle/UnitDefinition.h"
#include "core/DataManager.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

namespace {

const char* const UnitFiles[] = {"Pikeman.txt",    "Militia.txt", "Paladin.txt", "Mage.txt",
                                 "CombatMage.txt", "Healer.txt",  "Rogue.txt",   "Assassin.txt",
                                 "Scout.txt",      "Knight.txt",  "Archer.txt"};
const char* const ClassKeywords[] = {"PIKEMAN", "MILITIA",  "PALADIN", "MAGE",   "COMBAT_MAGE", "HEALER",
                                     "ROGUE",   "ASSASSIN", "SCOUT",   "KNIGHT", "ARCHER"};

class DefaultData : public ::testing::Test
{
protected:
    void SetUp() override
    {
        DataManager::ResetForTests();
        DataManager::Get()->LoadSpells();
    }
    void TearDown() override { DataManager::ResetForTests(); }
};

} // namespace

TEST_F(DefaultData, EveryUnitNamesOnlySpellsThatExist)
{
    DataManager* data = DataManager::Get();
    const std::vector<std::string> spells = data->GetSpellNames();
    ASSERT_FALSE(spells.empty());

    std::set<std::string> named;
    for (int i = 0; i < 11; ++i) {
        SCOPED_TRACE(UnitFiles[i]);
        UnitDefinition unit;
        ASSERT_TRUE(unit.Read(UnitFiles[i]));
        EXPECT_EQ(unit.classText, ClassKeywords[i]);
        ASSERT_FALSE(unit.abilityNames.empty());
        ASSERT_EQ(unit.abilityNames.size(), unit.abilityUses.size());
        for (size_t a = 0; a < unit.abilityNames.size(); ++a) {
            SpellDefinition spell;
            EXPECT_TRUE(data->GetSpell(unit.abilityNames[a], spell)) << unit.abilityNames[a];
            EXPECT_GE(unit.abilityUses[a], 1);
            named.insert(unit.abilityNames[a]);
        }
    }
    // And every spell file belongs to some class.
    EXPECT_EQ(named, std::set<std::string>(spells.begin(), spells.end()));
}

TEST_F(DefaultData, EveryClassCanPlay)
{
    std::set<std::pair<int, int>> ranges;
    std::set<int> speeds;
    std::set<int> armours;
    for (const char* file : UnitFiles) {
        SCOPED_TRACE(file);
        UnitDefinition unit;
        ASSERT_TRUE(unit.Read(file));
        EXPECT_GE(unit.strength, 1);
        EXPECT_GE(unit.intelligence, 1);
        // A move (5) and an attack (6) need more than either alone.
        EXPECT_GE(unit.actionPoints, 6);
        EXPECT_GE(unit.defendRadius, 2);
        EXPECT_GE(unit.movementRadius, 1);
        EXPECT_GE(unit.meleeRange, 1);
        // The initiative countdown lowers a waiting unit by a tenth of its speed, truncated: below 10, never.
        EXPECT_GE(unit.speed, 10);
        EXPECT_GT(unit.firstFactor, 0.0f);
        ranges.insert({unit.meleeRange, unit.rangedRange});
        speeds.insert(unit.speed);
        armours.insert(static_cast<int>(unit.armour));
    }
    EXPECT_GE(ranges.size(), 5u);
    EXPECT_GE(speeds.size(), 8u);
    EXPECT_GE(armours.size(), 4u);
}

TEST_F(DefaultData, SpellsCoverEveryEffectAndSchool)
{
    DataManager* data = DataManager::Get();
    std::set<int> effects;
    std::set<int> schools;
    for (const std::string& name : data->GetSpellNames()) {
        SCOPED_TRACE(name);
        SpellDefinition spell;
        ASSERT_TRUE(data->GetSpell(name, spell));
        EXPECT_NE(spell.spellType, "None");
        EXPECT_TRUE(spell.target == "ENEMY" || spell.target == "TEAM");
        EXPECT_GE(spell.actionPointCost, 1);
        // A spell that waits for its cast emitters must have some.
        if (spell.castTime < 0.0f) {
            EXPECT_FALSE(spell.firstEmitters.empty());
        }
        effects.insert(static_cast<int>(spell.effectType));
        schools.insert(static_cast<int>(spell.school));
    }
    EXPECT_EQ(effects.size(), 13u);
    EXPECT_EQ(schools.size(), 4u);
}

TEST_F(DefaultData, TheTreeHoldsEveryDirectoryTheGameSearchesAndNoNameTwice)
{
    const std::vector<std::string> prefixes = DataManager::Get()->GetSearchPaths();
    ASSERT_EQ(prefixes.size(), 53u);
    // Every data file is found by its bare name, so no name may be in two of the searched directories.
    std::map<std::string, std::string> seen;
    for (size_t i = 2; i < prefixes.size(); ++i) {
        std::string directory = prefixes[i];
        std::replace(directory.begin(), directory.end(), '\\', '/');
        SCOPED_TRACE(directory);
        ASSERT_TRUE(std::filesystem::is_directory(directory));
        for (const auto& entry : std::filesystem::directory_iterator(directory)) {
            if (!entry.is_regular_file())
                continue;
            const std::string name = entry.path().filename().string();
            auto [at, inserted] = seen.emplace(name, directory);
            EXPECT_TRUE(inserted) << name << " is also in " << at->second;
        }
    }
}

TEST_F(DefaultData, SomeDefinitionFilesHaveWindowsLineEnds)
{
    // So that the readers' handling of them is exercised by the default data itself.
    for (const char* name : {"Knight.txt", "LightningBolt.txt"}) {
        std::ifstream in(DataManager::Get()->FindFile(name), std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        EXPECT_NE(text.str().find("\r\n"), std::string::npos) << name;
    }
    UnitDefinition knight;
    ASSERT_TRUE(knight.Read("Knight.txt"));
    EXPECT_EQ(knight.name, "Knight");
    EXPECT_EQ(knight.armour, ArmourType::HALFPLATE);
    EXPECT_EQ(knight.rating, RatingLevel::HIGH);
    SpellDefinition bolt;
    ASSERT_TRUE(DataManager::Get()->GetSpell("Lightning Bolt", bolt));
    EXPECT_EQ(bolt.target, "ENEMY");
    EXPECT_EQ(bolt.school, SpellSchool::ARCANE);
    EXPECT_EQ(bolt.thirdEmitters, (std::vector<std::string>{"hitEmitter.txt", "burstEmitter.txt"}));
}

TEST_F(DefaultData, FallbackAssetsExist)
{
    DataManager* data = DataManager::Get();
    EXPECT_NE(data->FindFile("default.tga"), DataManager::NOT_FOUND);
    EXPECT_NE(data->FindFile("defaultSound.wav"), DataManager::NOT_FOUND);
}
