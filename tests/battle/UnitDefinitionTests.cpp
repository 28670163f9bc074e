#include "battle/UnitDefinition.h"

#include "support/DataTree.h"
#include "win32/Log.h"

#include <gtest/gtest.h>

namespace {

const std::string HumansDir = "Data/Config Files/Humans/";

// Every positional line with a value of its own, so a value read from the wrong line shows.
std::vector<std::string> KnightLines()
{
    return {
        "[Knight Definition]", // 1 skipped
        "Name = Sir Test", // 2
        "Creature Type = UNDEAD", // 3
        "Class = KNIGHT", // 4
        "Primary Attribute = AGILITY", // 5
        "Size = LARGE", // 6
        "Armour = HALFPLATE", // 7
        "Physical Resistance = HIGH", // 8
        "Skipped = 999", // 9
        "Skipped = 998", // 10
        "Model = knight.x", // 11
        "Title = Knight", // 12
        "Motto = For the crown!", // 13
        "Melee Hit Time = 0.6", // 14
        "Critical Hit Time = 0.75", // 15
        "Third Hit Time = 0.95", // 16
        "Melee Range = 1", // 17
        "Ranged Range = 4", // 18
        "Movement Radius = 5", // 19
        "Defend Radius = 3", // 20
        "Action Points = 14", // 21
        "Skipped = 997", // 22
        "Skipped = 996", // 23
        "Arcane = 11", // 24
        "Nature = 12", // 25
        "Holy = 13", // 26
        "Shadow = 101", // 27
        "Skipped = 995", // 28
        "Skipped = 994", // 29
        "Strength = 10", // 30
        "Agility = 6", // 31
        "Intelligence = 3", // 32
        "Speed = 15", // 33
        "Skipped = 993", // 34
        "Skipped = 992", // 35
        "Initiative Factor = 1.25", // 36
        "Second Factor = 0.5", // 37
        "Third Factor = 2", // 38
        "Skipped = 991", // 39
        "[Abilities]", // 40
        "Warcry = 2",
        "Charge! = 1",
        "Warcry = 3",
    };
}

} // namespace

TEST(UnitDefinition, FortyPositionalLinesInTheirPlaces)
{
    DataTree tree;
    tree.Write(HumansDir + "Knight.txt", DataTree::Lines(KnightLines()));
    UnitDefinition unit;
    unit.Init();
    ASSERT_TRUE(unit.Read("Knight.txt"));
    EXPECT_EQ(unit.name, "Sir Test");
    EXPECT_EQ(unit.creatureTypeText, "UNDEAD");
    EXPECT_EQ(unit.creatureType, CreatureType::UNDEAD);
    EXPECT_EQ(unit.classText, "KNIGHT");
    EXPECT_EQ(unit.primaryAttribute, PrimaryAttribute::AGILITY);
    EXPECT_EQ(unit.size, SizeCategory::LARGE);
    EXPECT_EQ(unit.armour, ArmourType::HALFPLATE);
    EXPECT_EQ(unit.rating, RatingLevel::HIGH);
    EXPECT_EQ(unit.secondRating, RatingLevel::NONE);
    EXPECT_EQ(unit.furtherTexts[0], "knight.x");
    EXPECT_EQ(unit.furtherTexts[1], "Knight");
    EXPECT_EQ(unit.furtherTexts[2], "For the crown!");
    EXPECT_FLOAT_EQ(unit.meleeHitTime, 0.6f);
    EXPECT_FLOAT_EQ(unit.criticalHitTime, 0.75f);
    EXPECT_FLOAT_EQ(unit.thirdHitTime, 0.95f);
    EXPECT_EQ(unit.meleeRange, 1);
    EXPECT_EQ(unit.rangedRange, 4);
    EXPECT_EQ(unit.movementRadius, 5);
    EXPECT_EQ(unit.defendRadius, 3);
    EXPECT_EQ(unit.actionPoints, 14);
    EXPECT_EQ(unit.arcaneResistance, 11);
    EXPECT_EQ(unit.natureResistance, 12);
    EXPECT_EQ(unit.holyResistance, 13);
    EXPECT_EQ(unit.shadowResistance, 101);
    EXPECT_EQ(unit.strength, 10);
    EXPECT_EQ(unit.agility, 6);
    EXPECT_EQ(unit.intelligence, 3);
    EXPECT_EQ(unit.speed, 15);
    EXPECT_FLOAT_EQ(unit.firstFactor, 1.25f);
    EXPECT_FLOAT_EQ(unit.secondFactor, 0.5f);
    EXPECT_FLOAT_EQ(unit.thirdFactor, 2.0f);
    // The same ability listed twice is kept twice, each with its own uses.
    EXPECT_EQ(unit.abilityNames, (std::vector<std::string>{"Warcry", "Charge!", "Warcry"}));
    EXPECT_EQ(unit.abilityUses, (std::vector<int>{2, 1, 3}));
}

TEST(UnitDefinition, WindowsLineEndsAndABlankLastLine)
{
    DataTree tree;
    std::vector<std::string> lines = KnightLines();
    lines.push_back("");
    tree.Write(HumansDir + "Knight.txt", DataTree::Lines(lines, "\r\n"));
    UnitDefinition unit;
    ASSERT_TRUE(unit.Read("Knight.txt"));
    EXPECT_EQ(unit.name, "Sir Test");
    EXPECT_EQ(unit.armour, ArmourType::HALFPLATE);
    EXPECT_EQ(unit.rating, RatingLevel::HIGH);
    EXPECT_EQ(unit.size, SizeCategory::LARGE);
    EXPECT_EQ(unit.abilityNames, (std::vector<std::string>{"Warcry", "Charge!", "Warcry"}));
    EXPECT_EQ(unit.abilityUses, (std::vector<int>{2, 1, 3}));
}

TEST(UnitDefinition, KeywordsAreWholeAndCaseSensitive)
{
    DataTree tree;
    std::vector<std::string> lines = KnightLines();
    lines[7] = "Physical Resistance = medium";
    lines[6] = "Armour = FULLPLATE ";
    lines[5] = "Size = MEDIUM";
    tree.Write(HumansDir + "Odd.txt", DataTree::Lines(lines));
    UnitDefinition unit;
    unit.rating = RatingLevel::LOW;
    ASSERT_TRUE(unit.Read("Odd.txt"));
    EXPECT_EQ(unit.rating, RatingLevel::LOW);
    EXPECT_EQ(unit.armour, ArmourType::CLOTH);
    EXPECT_EQ(unit.size, SizeCategory::MEDIUM);

    unit.ratingText = "MEDIUM ";
    unit.ParseKeywords();
    EXPECT_EQ(unit.rating, RatingLevel::LOW);
    unit.ratingText = "MEDIUM";
    unit.ParseKeywords();
    EXPECT_EQ(unit.rating, RatingLevel::MEDIUM);
}

TEST(UnitDefinition, MissingOrShortFilesReportFailure)
{
    DataTree tree;
    LogCapture log;
    UnitDefinition unit;
    EXPECT_FALSE(unit.Read("Nobody.txt"));
    EXPECT_EQ(log.Count("unit.file"), 1);
    EXPECT_TRUE(unit.abilityNames.empty());

    std::vector<std::string> lines = KnightLines();
    lines.resize(30);
    tree.Write(HumansDir + "Short.txt", DataTree::Lines(lines));
    // The class loader keeps what it had: nothing of the short file is taken.
    unit.strength = 7;
    EXPECT_FALSE(unit.Read("Short.txt"));
    EXPECT_EQ(unit.name, "");
    EXPECT_EQ(unit.strength, 7);
    EXPECT_EQ(unit.armour, ArmourType::CLOTH);
    EXPECT_EQ(log.Count("unit.file"), 2); // the missing file and the short one

    // Every unit of a class reads its file: a fault is said once per file.
    EXPECT_FALSE(unit.Read("Short.txt"));
    EXPECT_FALSE(unit.Read("Nobody.txt"));
    EXPECT_EQ(log.Count("unit.file"), 2);
}

TEST(UnitDefinition, InitEmptiesARecordForReuse)
{
    DataTree tree;
    tree.Write(HumansDir + "Knight.txt", DataTree::Lines(KnightLines()));
    UnitDefinition unit;
    ASSERT_TRUE(unit.Read("Knight.txt"));
    unit.Init();
    EXPECT_EQ(unit.name, "");
    EXPECT_EQ(unit.classText, "");
    EXPECT_EQ(unit.strength, 0);
    EXPECT_EQ(unit.armour, ArmourType::CLOTH);
    EXPECT_EQ(unit.rating, RatingLevel::NONE);
    EXPECT_TRUE(unit.abilityNames.empty());
    EXPECT_TRUE(unit.abilityUses.empty());
}

TEST(UnitDefinition, NumbersAreHeldWhereDerivedValuesFitIn32Bits)
{
    struct Case {
        int line; // index into KnightLines
        const char* text;
        int UnitDefinition::*integer;
        float UnitDefinition::*real;
        double expected;
    };
    // Statistics within +-10000 (health is 10 x strength), hex steps within +-1000, times and factors
    // within +-10000; NaN is no number and reads as 0.
    const Case cases[] = {
        {29, "Strength = 2147483647", &UnitDefinition::strength, nullptr, 10000},
        {30, "Agility = -99999999999", &UnitDefinition::agility, nullptr, -10000},
        {31, "Intelligence = 10000", &UnitDefinition::intelligence, nullptr, 10000}, // the bound itself
        {32, "Speed = 10001", &UnitDefinition::speed, nullptr, 10000},
        {20, "Action Points = 500000", &UnitDefinition::actionPoints, nullptr, 10000},
        {26, "Shadow = -20000", &UnitDefinition::shadowResistance, nullptr, -10000},
        {18, "Movement Radius = 1001", &UnitDefinition::movementRadius, nullptr, 1000},
        {16, "Melee Range = -5000", &UnitDefinition::meleeRange, nullptr, -1000},
        {35, "Initiative Factor = nan", nullptr, &UnitDefinition::firstFactor, 0.0},
        {36, "Second Factor = 1e30", nullptr, &UnitDefinition::secondFactor, 10000.0},
        {13, "Melee Hit Time = -inf", nullptr, &UnitDefinition::meleeHitTime, -10000.0},
    };
    for (const Case& c : cases) {
        DataTree tree;
        std::vector<std::string> lines = KnightLines();
        lines[c.line] = c.text;
        lines.push_back("Fury = 99999");
        tree.Write(HumansDir + "Odd.txt", DataTree::Lines(lines));
        LogCapture log;
        UnitDefinition unit;
        unit.Init();
        ASSERT_TRUE(unit.Read("Odd.txt")) << c.text;
        if (c.integer)
            EXPECT_EQ(unit.*c.integer, static_cast<int>(c.expected)) << c.text;
        else
            EXPECT_EQ(unit.*c.real, static_cast<float>(c.expected)) << c.text;
        ASSERT_EQ(unit.abilityUses.size(), 4u);
        EXPECT_EQ(unit.abilityUses.back(), 10000);
        // Each value moved to its bound says so (the ability's uses too); NaN is a malformed number, not one
        // out of range, and the bound itself is in range.
        const bool moved = c.expected != 0.0 && c.integer != &UnitDefinition::intelligence;
        EXPECT_EQ(log.Count("config.out_of_range"), moved ? 2 : 1) << c.text;
    }
}
