#include "core/DataManager.h"

#include "support/DataTree.h"
#include "win32/Log.h"

#include <gtest/gtest.h>

namespace {

const std::string SpellDir = "Data/Config Files/Spells/";

std::vector<std::string> FireballLines()
{
    return {
        "Name = Fireball",
        "Description = Hurls a ball of fire.",
        "Description = It burns.",
        "Spell Type = Spell",
        "Mana Cost = 25",
        "Amount = -30",
        "Initiative Cost = 15",
        "Range = 5",
        "Duration = 2",
        "Area Radius = 3",
        "Cast Time = 1.5",
        "Target = ENEMY",
        "Effect Type = MISS_MORE",
        "School = ARCANE",
        "Action Points = 7",
        "Cast Emitters = 2",
        "fireballEmitter.txt",
        "burst Emitter.txt",
        "Area Emitters = 0",
        "Target Emitters = 1",
        "hitEmitter.txt",
        "this line is never read",
    };
}

} // namespace

TEST(SpellFile, EveryFieldInItsPlaceWithEitherLineEnd)
{
    for (const char* end : {"\n", "\r\n"}) {
        SCOPED_TRACE(end[0] == '\r' ? "\\r\\n" : "\\n");
        DataTree tree;
        tree.Write(SpellDir + "Fire.txt", DataTree::Lines(FireballLines(), end));
        SpellDefinition spell;
        ASSERT_TRUE(DataManager::Get()->ReadSpellFile(spell, "Fire.txt"));
        EXPECT_EQ(spell.name, "Fireball");
        EXPECT_EQ(spell.fileName, "Fire");
        EXPECT_EQ(spell.description, "Hurls a ball of fire.\nIt burns.\n");
        EXPECT_EQ(spell.spellType, "Spell");
        EXPECT_EQ(spell.manaCost, 25);
        EXPECT_EQ(spell.amount, -30);
        EXPECT_EQ(spell.initiativeCost, 15);
        EXPECT_EQ(spell.range, 5);
        // Duration comes before the area radius in the file.
        EXPECT_EQ(spell.duration, 2);
        EXPECT_EQ(spell.areaRadius, 3);
        EXPECT_FLOAT_EQ(spell.castTime, 1.5f);
        EXPECT_EQ(spell.target, "ENEMY");
        EXPECT_EQ(spell.effectType, EffectType::MISS_MORE);
        EXPECT_EQ(spell.school, SpellSchool::ARCANE);
        EXPECT_EQ(spell.actionPointCost, 7);
        EXPECT_EQ(spell.firstEmitters, (std::vector<std::string>{"fireballEmitter.txt", "burst Emitter.txt"}));
        EXPECT_TRUE(spell.secondEmitters.empty());
        EXPECT_EQ(spell.thirdEmitters, (std::vector<std::string>{"hitEmitter.txt"}));
        EXPECT_EQ(spell.usesLeft, 0);
    }
}

TEST(SpellFile, DescriptionMayBeEmpty)
{
    DataTree tree;
    std::vector<std::string> lines = FireballLines();
    lines.erase(lines.begin() + 1, lines.begin() + 3);
    tree.Write(SpellDir + "Bare.txt", DataTree::Lines(lines));
    SpellDefinition spell;
    ASSERT_TRUE(DataManager::Get()->ReadSpellFile(spell, "Bare.txt"));
    EXPECT_EQ(spell.description, "");
    EXPECT_EQ(spell.spellType, "Spell");
    EXPECT_EQ(spell.manaCost, 25);
}

TEST(SpellFile, KeywordsMustMatchExactly)
{
    DataTree tree;
    std::vector<std::string> lines = FireballLines();
    lines[12] = "Effect Type = miss_more";
    lines[13] = "School = ARCANE ";
    tree.Write(SpellDir + "Odd.txt", DataTree::Lines(lines));
    SpellDefinition spell;
    spell.effectType = EffectType::AP_BONUS;
    spell.school = SpellSchool::SHADOW;
    ASSERT_TRUE(DataManager::Get()->ReadSpellFile(spell, "Odd.txt"));
    EXPECT_EQ(spell.effectType, EffectType::AP_BONUS);
    EXPECT_EQ(spell.school, SpellSchool::SHADOW);

    lines[12] = "Effect Type = INVINCIBLE";
    lines[13] = "School = NATURE";
    tree.Write(SpellDir + "Odd.txt", DataTree::Lines(lines));
    ASSERT_TRUE(DataManager::Get()->ReadSpellFile(spell, "Odd.txt"));
    EXPECT_EQ(spell.effectType, EffectType::INVINCIBLE);
    EXPECT_EQ(spell.school, SpellSchool::NATURE);
    // A keyword followed by more is no keyword.
    lines[12] = "Effect Type = MISS_MORE_THAN";
    tree.Write(SpellDir + "Odd.txt", DataTree::Lines(lines));
    ASSERT_TRUE(DataManager::Get()->ReadSpellFile(spell, "Odd.txt"));
    EXPECT_EQ(spell.effectType, EffectType::INVINCIBLE);
}

TEST(SpellFile, AFileWithoutSpellTypeEndsAtTheEndOfTheFile)
{
    DataTree tree;
    tree.Write(SpellDir + "Broken.txt", DataTree::Lines({"Name = Broken", "Description = one", "Mana Cost = 5"}));
    SpellDefinition spell;
    LogCapture log;
    EXPECT_TRUE(DataManager::Get()->ReadSpellFile(spell, "Broken.txt"));
    EXPECT_EQ(log.Count("spell.file"), 1);
    EXPECT_EQ(spell.name, "Broken");
    EXPECT_EQ(spell.description, "one\n5\n");
    EXPECT_EQ(spell.spellType, "None");
    EXPECT_EQ(spell.manaCost, 0);
}

TEST(SpellFile, ListLongerThanTheFileKeepsWhatIsThere)
{
    DataTree tree;
    std::vector<std::string> lines = FireballLines();
    lines.resize(16);
    lines.back() = "Cast Emitters = 1000000";
    lines.push_back("a.txt");
    lines.push_back("b.txt");
    tree.Write(SpellDir + "Short.txt", DataTree::Lines(lines));
    SpellDefinition spell;
    spell.thirdEmitters = {"left from before"};
    EXPECT_TRUE(DataManager::Get()->ReadSpellFile(spell, "Short.txt"));
    EXPECT_EQ(spell.firstEmitters, (std::vector<std::string>{"a.txt", "b.txt"}));
    EXPECT_EQ(spell.actionPointCost, 7);
}

TEST(SpellFile, ACountOfZeroOrLessTakesNoLines)
{
    DataTree tree;
    std::vector<std::string> lines = FireballLines();
    lines.resize(15);
    lines.push_back("Cast Emitters = -2");
    lines.push_back("Area Emitters = 1");
    lines.push_back("burstEmitter.txt");
    lines.push_back("Target Emitters = 0");
    lines.push_back("hitEmitter.txt");
    tree.Write(SpellDir + "Counts.txt", DataTree::Lines(lines));
    SpellDefinition spell;
    spell.firstEmitters = {"from an earlier file"};
    ASSERT_TRUE(DataManager::Get()->ReadSpellFile(spell, "Counts.txt"));
    EXPECT_TRUE(spell.firstEmitters.empty());
    EXPECT_EQ(spell.secondEmitters, (std::vector<std::string>{"burstEmitter.txt"}));
    EXPECT_TRUE(spell.thirdEmitters.empty());
}

TEST(SpellFile, MissingFileIsNotRead)
{
    DataTree tree;
    SpellDefinition spell;
    spell.name = "Kept";
    EXPECT_FALSE(DataManager::Get()->ReadSpellFile(spell, "Nothing.txt"));
    EXPECT_EQ(spell.name, "Kept");
    EXPECT_EQ(spell.fileName, "Nothing");
}

TEST(SpellTable, EveryFileIsReadIntoAFreshRecordInNameOrder)
{
    DataTree tree;
    std::vector<std::string> mana = FireballLines();
    mana[0] = "Name = Drain";
    mana[12] = "Effect Type = MANA";
    tree.Write(SpellDir + "A_Drain.txt", DataTree::Lines(mana));
    // Same spell name, read after A: it replaces A's entry.
    std::vector<std::string> second = FireballLines();
    second[0] = "Name = Drain";
    second[5] = "Amount = -99";
    second[12] = "Effect Type = nonsense";
    tree.Write(SpellDir + "B_Drain.txt", DataTree::Lines(second));
    tree.Write(SpellDir + "C_Fire.txt", DataTree::Lines(FireballLines()));
    tree.Write(SpellDir + "notes.md", "not a spell");

    DataManager* data = DataManager::Get();
    data->LoadSpells();
    EXPECT_EQ(data->GetSpellNames(), (std::vector<std::string>{"Drain", "Fireball"}));
    SpellDefinition drain;
    ASSERT_TRUE(data->GetSpell("Drain", drain));
    EXPECT_EQ(drain.amount, -99);
    EXPECT_EQ(drain.fileName, "B_Drain");
    // Not the MANA of the file read before it.
    EXPECT_EQ(drain.effectType, EffectType::HEALTH);

    SpellDefinition untouched;
    untouched.name = "Mine";
    EXPECT_FALSE(data->GetSpell("fireball", untouched));
    EXPECT_EQ(untouched.name, "Mine");
}

TEST(SpellTable, NoSpellDirectoryLeavesTheTableEmpty)
{
    DataTree tree;
    DataManager::Get()->LoadSpells();
    EXPECT_TRUE(DataManager::Get()->GetSpellNames().empty());
}

TEST(SpellTable, DuplicateNamesResolveInWindowsListingOrder)
{
    // A Windows listing compares names letter by letter in upper case: "apple" before "Zap" (a byte order
    // would put "Z" first) and "ab" before "a_b" ("_" sorts after the capitals, before the small letters).
    // Of two files of one spell name the one listed later wins.
    struct Case {
        const char* first;
        const char* second;
        const char* winner;
    };
    const Case cases[] = {{"apple.txt", "Zap.txt", "Zap"}, {"a_b.txt", "ab.txt", "a_b"}, {"B2.txt", "b1.txt", "B2"}};
    for (const Case& c : cases) {
        DataTree tree;
        std::vector<std::string> lines = FireballLines();
        tree.Write(SpellDir + c.first, DataTree::Lines(lines));
        tree.Write(SpellDir + c.second, DataTree::Lines(lines));
        DataManager* data = DataManager::Get();
        data->LoadSpells();
        SpellDefinition spell;
        ASSERT_TRUE(data->GetSpell("Fireball", spell));
        EXPECT_EQ(spell.fileName, c.winner) << c.first << " / " << c.second;
    }
}

TEST(SpellFile, NumbersAreHeldToTheirRanges)
{
    DataTree tree;
    std::vector<std::string> lines = FireballLines();
    lines[4] = "Mana Cost = -2147483648"; // its absolute value would not exist
    lines[5] = "Amount = 99999999999";
    lines[7] = "Range = 5000";
    lines[9] = "Area Radius = -5000";
    lines[10] = "Cast Time = nan";
    lines[14] = "Action Points = 100001";
    tree.Write(SpellDir + "Wild.txt", DataTree::Lines(lines));
    LogCapture log;
    SpellDefinition spell;
    spell.castTime = 9.0f;
    ASSERT_TRUE(DataManager::Get()->ReadSpellFile(spell, "Wild.txt"));
    EXPECT_EQ(spell.manaCost, -100000);
    EXPECT_EQ(spell.amount, 100000);
    EXPECT_EQ(spell.initiativeCost, 15);
    EXPECT_EQ(spell.range, 1000);
    EXPECT_EQ(spell.duration, 2);
    EXPECT_EQ(spell.areaRadius, -1000);
    EXPECT_EQ(spell.castTime, 0.0f);
    EXPECT_EQ(spell.actionPointCost, 100000);
    EXPECT_EQ(log.Count("config.out_of_range"), 5);
}
