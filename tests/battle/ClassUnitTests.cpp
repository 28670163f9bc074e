// Class units on the null device with the default data: what each class reads from its file, the model and
// animations it loads, the visuals its abilities send and the samples it speaks with.
#include "UnitFixture.h"

#include "battle/ClassUnit.h"
#include "battle/UnitDefinition.h"
#include "scene/AnimatedMesh.h"
#include "scene/BoltEffect.h"
#include "win32/Log.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <set>
#include <unistd.h>

namespace {

struct ClassRow {
    const char* file;
    UnitClass unitClass;
    int cost;
    const char* model;
    // Ability animation files the class adds before its eleven.
    std::vector<std::string> extraFiles;
    // Non-blank voice and sound entries.
    int voices;
    int sounds;
    // What the rules and the class's abilities play on it by name, beyond the ten every class plays.
    std::vector<std::string> plays;
};

const std::vector<ClassRow>& Rows()
{
    // clang-format off
    static const std::vector<ClassRow> rows = {
        {"Pikeman.txt", UnitClass::PIKEMAN, 50, "pikeman.x", {"_meleespirit.x"}, 22, 12, {"MeleeSpirit"}},
        {"Militia.txt", UnitClass::MILITIA, 25, "militia.x", {"_firstaid.x", "_shieldbash.x"}, 0, 6,
         {"ShieldBash", "FirstAid"}},
        {"Paladin.txt", UnitClass::PALADIN, 75, "paladin.x", {}, 0, 4, {"Cast"}},
        {"Mage.txt", UnitClass::MAGE, 25, "mage.x", {}, 0, 4, {"Cast", "RangedAttack"}},
        {"CombatMage.txt", UnitClass::COMBAT_MAGE, 50, "combatMage.x", {}, 12, 11, {"Cast", "RangedAttack"}},
        {"Healer.txt", UnitClass::HEALER, 50, "healer.x", {}, 0, 2, {"Cast"}},
        {"Rogue.txt", UnitClass::ROGUE, 50, "rogue.x", {"_flashstrike.x"}, 0, 2, {"FlashStrike", "FocusAnimation"}},
        {"Assassin.txt", UnitClass::ASSASSIN, 75, "assassin.x", {"_asstouch.x", "_daggerthrow.x", "_fanofdaggers.x"},
         18, 15, {"DaggerThrow", "FanOfDaggers", "AssTouch"}},
        {"Scout.txt", UnitClass::SCOUT, 25, "scout.x", {"_dirtkick.x"}, 0, 5, {"RangedAttack"}},
        {"Knight.txt", UnitClass::KNIGHT, 75, "knight.x", {"_warcry.x", "_sweepstrike.x", "_assault.x"}, 18, 5,
         {"Warcry", "Assault", "SweepStrike"}},
        {"Archer.txt", UnitClass::ARCHER, 50, "archer.x", {}, 0, 4, {"RangedAttack"}},
    };
    // clang-format on
    return rows;
}

const char* const EveryClassPlays[] = {"Idle",     "Walk", "Defend", "Focus",       "Hit",
                                       "MagicHit", "Die",  "Dodge",  "MeleeAttack", "CriticalAttack"};

// A definition file with values chosen so that every field lands somewhere different.
std::string DefinitionText(const std::string& classKeyword, int speed, const std::string& factor)
{
    std::string text = R"([Trial Definition]
Name = Trial
Creature Type = UNDEAD
Class = @CLASS
Primary Attribute = AGILITY
Size = LARGE
Armour = HALFPLATE
Physical Resistance = HIGH

[Presentation]
Model = trial.x
Title = Trial
Motto = None.
Melee Hit Time = 0.5
Critical Hit Time = 0.75
Follow-up Hit Time = 0.25
Melee Range = 2
Ranged Range = 6
Movement Radius = 4
Defend Radius = 3
Action Points = 14

[Resistances]
Arcane = 11
Nature = 22
Holy = 33
Shadow = 101

[Attributes]
Strength = 12
Agility = 7
Intelligence = 3
Speed = @SPEED

[Factors]
Initiative Factor = @FACTOR
Second Factor = 2.0
Third Factor = 0.5

[Abilities]
Pike Thrust = 3
Nonsense = 2
Phalanx = 1
)";
    const auto put = [&text](const std::string& mark, const std::string& value) {
        text.replace(text.find(mark), mark.size(), value);
    };
    put("@CLASS", classKeyword);
    put("@SPEED", std::to_string(speed));
    put("@FACTOR", factor);
    return text;
}

// Glows the units ask the view for.
class GlowView : public FakeView
{
public:
    struct Glow {
        std::string mesh;
        float delay;
        float lifetime;
        D3DXVECTOR3 at;
    };
    void AddMeshGlow(const std::string& mesh, float delay, float lifetime, float x, float y, float z) override
    {
        meshGlows.push_back({mesh, delay, lifetime, D3DXVECTOR3(x, y, z)});
    }
    std::vector<Glow> meshGlows;
};

class ClassUnitTest : public UnitTest
{
protected:
    void SetUp() override
    {
        UnitTest::SetUp();
        DataManager::Get()->LoadSpells();
        directory = std::filesystem::temp_directory_path() / ("classunit-" + std::to_string(getpid()));
        std::filesystem::create_directories(directory);
        DataManager::Get()->AddSearchPath(directory.string());
    }
    void TearDown() override
    {
        units.clear();
        std::filesystem::remove_all(directory);
        UnitTest::TearDown();
    }

    ClassUnit& Loaded(const std::string& file)
    {
        units.push_back(std::make_unique<ClassUnit>());
        units.back()->Load(file);
        return *units.back();
    }

    // A unit read from a definition written for the test.
    ClassUnit& FromText(const std::string& text)
    {
        const std::string name = "Trial" + std::to_string(units.size()) + ".txt";
        std::ofstream(directory / name, std::ios::binary) << text;
        return Loaded(name);
    }

    std::filesystem::path directory;
    std::vector<std::unique_ptr<ClassUnit>> units;
    GlowView glowView;
};

} // namespace

TEST_F(ClassUnitTest, ADefinitionFillsTheUnitFieldByField)
{
    Srand(1);
    const ClassUnit& unit = FromText(DefinitionText("KNIGHT", 15, "1.0"));
    EXPECT_EQ(unit.GetClass(), UnitClass::KNIGHT);
    EXPECT_EQ(unit.GetCost(), 75);
    EXPECT_EQ(unit.Rules().name, "Trial");
    EXPECT_EQ(unit.creatureType, CreatureType::UNDEAD);
    EXPECT_EQ(unit.Rules().attributes.primaryAttribute, PrimaryAttribute::AGILITY);
    EXPECT_EQ(unit.Rules().attributes.size, SizeCategory::LARGE);
    EXPECT_EQ(unit.Rules().attributes.armour, ArmourType::HALFPLATE);
    EXPECT_EQ(unit.Rules().attributes.resistanceLevel, RatingLevel::HIGH);
    EXPECT_FLOAT_EQ(unit.Rules().attributes.meleeHitTime, 0.5f);
    EXPECT_FLOAT_EQ(unit.Rules().attributes.criticalHitTime, 0.75f);
    EXPECT_FLOAT_EQ(unit.Rules().attributes.thirdHitTime, 0.25f);
    // The resistance lines in file order: arcane, nature, holy, shadow.
    EXPECT_EQ(unit.Rules().attributes.arcaneResistance, 11);
    EXPECT_EQ(unit.Rules().attributes.natureResistance, 22);
    EXPECT_EQ(unit.Rules().attributes.holyResistance, 33);
    EXPECT_EQ(unit.Rules().attributes.shadowResistance, 101);
    EXPECT_FLOAT_EQ(unit.Rules().attributes.secondFactor, 2.0f);
    EXPECT_FLOAT_EQ(unit.Rules().attributes.thirdFactor, 0.5f);

    // Health and mana ten times strength and intelligence; the attributes, ranges and points also as bases.
    const UnitStats& s = unit.Rules().stats;
    // clang-format off
    const int got[] = {s.health, s.maxHealth, s.mana, s.maxMana, s.strength, s.agility, s.intelligence, s.speed,
                       s.baseStrength, s.baseAgility, s.baseIntelligence, s.baseSpeed,
                       s.meleeRange, s.rangedRange, s.movementRadius, s.defendRadius,
                       s.baseMeleeRange, s.baseRangedRange, s.baseMovementRadius, s.baseDefendRadius,
                       s.actionPoints, s.maxActionPoints, s.unused};
    // clang-format on
    const int want[] = {120, 120, 30, 30, 12, 7, 3, 15, 12, 7, 3, 15, 2, 6, 4, 3, 2, 6, 4, 3, 14, 14, 0};
    for (size_t i = 0; i < std::size(want); ++i)
        EXPECT_EQ(got[i], want[i]) << "stat " << i;

    // The unknown ability is skipped; the others keep their uses.
    ASSERT_EQ(unit.Rules().abilities.size(), 2u);
    EXPECT_EQ(unit.Rules().abilities[0].name, "Pike Thrust");
    EXPECT_EQ(unit.Rules().abilities[0].usesLeft, 3);
    EXPECT_EQ(unit.Rules().abilities[1].name, "Phalanx");
    EXPECT_EQ(unit.Rules().abilities[1].usesLeft, 1);
}

TEST_F(ClassUnitTest, InitiativeStartsAtFiftyLessTheWeightWhenTheDrawRoundsUp)
{
    struct Case {
        unsigned seed;
        int speed;
        const char* factor;
        float weight;
        int initiative;
    };
    // Seed 1 draws 41 first: 0.5 + 41/32767 truncates to 0. Seed 5006 draws 16386: 0.5 + 0.50008 gives 1.
    const Case cases[] = {
        {1, 15, "1.0", 15.0f, 50},
        {5006, 15, "1.0", 15.0f, 35},
        // The weight is truncated, not rounded: 22.5 takes 22.
        {5006, 15, "1.5", 22.5f, 28},
        {5006, 12, "0.25", 3.0f, 47},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.seed) + " " + c.factor);
        Srand(c.seed);
        const ClassUnit& unit = FromText(DefinitionText("ARCHER", c.speed, c.factor));
        EXPECT_FLOAT_EQ(unit.Rules().attributes.initiativeWeight, c.weight);
        EXPECT_EQ(unit.Rules().turn.initiative, c.initiative);
    }
}

TEST_F(ClassUnitTest, ClassKeywordsMatchByPrefixOrWhole)
{
    struct Case {
        const char* keyword;
        bool matches;
        UnitClass unitClass;
    };
    const Case cases[] = {
        {"PIKEMAN", true, UnitClass::PIKEMAN},
        {"PIKEMAN_X", true, UnitClass::PIKEMAN},
        {"MILITIAMAN", true, UnitClass::MILITIA},
        {"PALADIN", true, UnitClass::PALADIN},
        {"MAGEXYZ", true, UnitClass::MAGE},
        {"MAGE", true, UnitClass::MAGE},
        {"COMBAT_MAGE", true, UnitClass::COMBAT_MAGE},
        {"HEALER", true, UnitClass::HEALER},
        {"ROGUE", true, UnitClass::ROGUE},
        {"ASSASSIN", true, UnitClass::ASSASSIN},
        {"SCOUT", true, UnitClass::SCOUT},
        {"KNIGHT", true, UnitClass::KNIGHT},
        {"ARCHER", true, UnitClass::ARCHER},
        {"COMBAT_MAGE ", false, UnitClass::PIKEMAN},
        {"KNIGHTS", false, UnitClass::PIKEMAN},
        {"PIKE", false, UnitClass::PIKEMAN},
        {"MAG", false, UnitClass::PIKEMAN},
        {"archer", false, UnitClass::PIKEMAN},
        {"", false, UnitClass::PIKEMAN},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("\"") + c.keyword + "\"");
        UnitClass found = UnitClass::PIKEMAN;
        EXPECT_EQ(ClassUnit::MatchClass(c.keyword, found), c.matches);
        EXPECT_EQ(found, c.unitClass);
    }
}

TEST_F(ClassUnitTest, AKeywordOfNoClassKeepsTheClassAndCost)
{
    const ClassUnit& mage = FromText(DefinitionText("MAGEXYZ", 10, "1.0"));
    EXPECT_EQ(mage.GetClass(), UnitClass::MAGE);
    EXPECT_EQ(mage.GetCost(), 25);
    const ClassUnit& none = FromText(DefinitionText("COMBAT_MAGE ", 10, "1.0"));
    EXPECT_EQ(none.GetClass(), UnitClass::PIKEMAN);
    EXPECT_EQ(none.GetCost(), 50);
    // Everything else still comes from the file.
    EXPECT_EQ(none.Rules().stats.maxHealth, 120);
    EXPECT_EQ(none.Presentation().voices[0], "PMVO_AT_01.wav");
}

TEST_F(ClassUnitTest, AFileThatCannotBeReadLeavesTheUnitAsMade)
{
    LogCapture capture;
    const ClassUnit& unit = Loaded("NoSuchClass.txt");
    EXPECT_EQ(capture.Count("unit.file"), 1);
    EXPECT_EQ(unit.Rules().fileName, "NoSuchClass.txt");
    EXPECT_EQ(unit.GetClass(), UnitClass::PIKEMAN);
    EXPECT_EQ(unit.GetCost(), 50);
    EXPECT_EQ(unit.creatureType, CreatureType::HUMAN);
    EXPECT_EQ(unit.Rules().attributes.armour, ArmourType::SCALEMAIL);
    EXPECT_EQ(unit.Rules().attributes.size, SizeCategory::MEDIUM);
    EXPECT_EQ(unit.Rules().name, "No Name");
    EXPECT_EQ(unit.Rules().turn.initiative, 50);
    EXPECT_FLOAT_EQ(unit.Rules().attributes.initiativeWeight, 1.0f);
    EXPECT_EQ(unit.Rules().stats.maxHealth, 0);
    EXPECT_TRUE(unit.Rules().abilities.empty());
    EXPECT_TRUE(unit.Presentation().animationSuffixes.empty());
    for (const std::string& sound : unit.Presentation().sounds)
        EXPECT_EQ(sound, "");
    for (const std::string& voice : unit.Presentation().voices)
        EXPECT_EQ(voice, "");
}

TEST_F(ClassUnitTest, EveryClassLoadsFromItsFileWithTheStatsItsFileGives)
{
    for (const ClassRow& row : Rows()) {
        SCOPED_TRACE(row.file);
        UnitDefinition definition;
        ASSERT_TRUE(definition.Read(row.file));
        Srand(5006);
        const ClassUnit& unit = Loaded(row.file);
        EXPECT_EQ(unit.GetClass(), row.unitClass);
        EXPECT_EQ(unit.GetCost(), row.cost);
        EXPECT_EQ(unit.Rules().stats.maxHealth, 10 * definition.strength);
        EXPECT_EQ(unit.Rules().stats.health, 10 * definition.strength);
        EXPECT_EQ(unit.Rules().stats.maxMana, 10 * definition.intelligence);
        EXPECT_EQ(unit.Rules().stats.maxActionPoints, definition.actionPoints);
        EXPECT_EQ(unit.Rules().stats.speed, definition.speed);
        const float weight = static_cast<float>(definition.speed) * definition.firstFactor;
        EXPECT_FLOAT_EQ(unit.Rules().attributes.initiativeWeight, weight);
        // Seed 5006 rounds the draw up: the whole weight comes off.
        EXPECT_EQ(unit.Rules().turn.initiative, 50 - static_cast<int>(weight));
        EXPECT_EQ(unit.Rules().abilities.size(), definition.abilityNames.size());
        EXPECT_EQ(unit.Presentation().animationSuffixes, row.extraFiles);
    }
}

TEST_F(ClassUnitTest, VoiceAndSoundTablesPerClass)
{
    std::set<std::string> names;
    for (const ClassRow& row : Rows()) {
        SCOPED_TRACE(row.file);
        const ClassUnit& unit = Loaded(row.file);
        int voices = 0;
        int sounds = 0;
        for (const std::string& voice : unit.Presentation().voices) {
            ASSERT_FALSE(voice.empty());
            if (voice != "blank") {
                ++voices;
                names.insert(voice);
            }
        }
        for (const std::string& sound : unit.Presentation().sounds) {
            ASSERT_FALSE(sound.empty());
            if (sound != "blank") {
                ++sounds;
                names.insert(sound);
            }
        }
        EXPECT_EQ(voices, row.voices);
        EXPECT_EQ(sounds, row.sounds);
    }
    EXPECT_EQ(names.size(), 131u);
    // The default data speaks every one of them.
    for (const std::string& sample : names)
        EXPECT_NE(DataManager::Get()->FindFile(sample), DataManager::NOT_FOUND) << sample;

    struct Spot {
        const char* file;
        bool voice;
        int index;
        const char* name;
    };
    const Spot spots[] = {
        {"Pikeman.txt", true, 0, "PMVO_AT_01.wav"},
        {"Pikeman.txt", true, 10, "PMVO_GA_01.wa"},
        {"Pikeman.txt", true, 21, "PMVO_XX_02.wav"},
        {"Pikeman.txt", false, 0, "PM_MO_02.wav"},
        {"Pikeman.txt", false, 5, "blank"},
        {"Pikeman.txt", false, 9, "PM_AT_02.wav"},
        {"Militia.txt", false, 14, "MI_GD_02.wav"},
        {"Paladin.txt", false, 2, "ALL_SP_HEAL.wav"},
        {"Paladin.txt", false, 5, "PA_SP_04.wav"},
        {"Mage.txt", false, 13, "MA_GD_01.wav"},
        {"CombatMage.txt", true, 20, "CMVO DE 01.wav"},
        {"CombatMage.txt", true, 17, "blank"},
        {"CombatMage.txt", false, 5, "CMVO SP_ 4.wav"},
        {"CombatMage.txt", false, 7, "CM_AT_01.wav"},
        {"Healer.txt", false, 1, "MA_MO_04.wav"},
        {"Healer.txt", true, 0, "blank"},
        {"Rogue.txt", false, 0, "MI_MO_01.wav"},
        {"Assassin.txt", true, 17, "ASVO UG 03.wav"},
        {"Assassin.txt", true, 18, "blank"},
        {"Assassin.txt", false, 9, "AS_AT_02.wav"},
        {"Assassin.txt", false, 12, "AS_FO.wav"},
        {"Scout.txt", false, 1, "SC_MO_03.wav"},
        {"Scout.txt", false, 7, "SC_AT_1.wav"},
        {"Knight.txt", true, 15, "KNVO_UG_01.wav"},
        {"Knight.txt", true, 16, "KNVO_US_01.wav"},
        {"Knight.txt", false, 3, "KN_SP_02.wav"},
        {"Knight.txt", false, 2, "blank"},
        {"Archer.txt", false, 7, "ALL_TD_LIGHT.wav"},
    };
    for (const Spot& spot : spots) {
        SCOPED_TRACE(std::string(spot.file) + " " + std::to_string(spot.index));
        const ClassUnit& unit = Loaded(spot.file);
        EXPECT_EQ(spot.voice ? unit.Presentation().voices[static_cast<size_t>(spot.index)]
                             : unit.Presentation().sounds[static_cast<size_t>(spot.index)],
                  spot.name);
    }
}

TEST_F(ClassUnitTest, EveryClassLoadsItsModelAndEveryAnimationItPlays)
{
    for (const ClassRow& row : Rows()) {
        SCOPED_TRACE(row.file);
        ClassUnit& unit = Loaded(row.file);
        unit.LoadModel(true);
        EXPECT_TRUE(unit.Rules().turn.visible);
        ASSERT_TRUE(unit.Model());
        ASSERT_TRUE(unit.Model()->IsLoaded());
        EXPECT_NE(unit.Model()->GetPath().find(row.model), std::string::npos) << unit.Model()->GetPath();
        const auto& names = unit.Model()->GetNames();
        for (const char* set : EveryClassPlays)
            EXPECT_EQ(names.count(set), 1u) << set;
        for (const std::string& set : row.plays)
            EXPECT_EQ(names.count(set), 1u) << set;
        EXPECT_FLOAT_EQ(unit.Model()->GetSpeed(), row.unitClass == UnitClass::ASSASSIN ? 0.85f : 1.0f);
        // It stands idle, looping.
        EXPECT_EQ(unit.Model()->GetCurrentSet(), static_cast<UINT>(names.at("Idle")));
        EXPECT_TRUE(unit.Model()->IsLooping());
    }
}

TEST_F(ClassUnitTest, TheKnightKnowsItsSetsByPlaceOnlyWithItsAnimations)
{
    ClassUnit& preview = Loaded("Knight.txt");
    preview.LoadModel(false);
    EXPECT_FALSE(preview.Rules().turn.visible);
    ASSERT_TRUE(preview.Model() && preview.Model()->IsLoaded());
    EXPECT_EQ(preview.Model()->GetNames().size(), 1u);
    EXPECT_EQ(preview.Model()->GetNames().count("Warcry"), 0u);
    EXPECT_EQ(preview.Model()->GetCurrentSet(), 0u);

    ClassUnit& knight = Loaded("Knight.txt");
    knight.LoadModel(true);
    const char* const sets[] = {"Idle", "Warcry",   "SweepStrike", "Assault", "Walk",        "Defend",        "Focus",
                                "Hit",  "MagicHit", "Die",         "Dodge",   "MeleeAttack", "CriticalAttack"};
    const auto& names = knight.Model()->GetNames();
    for (int i = 0; i < 13; ++i)
        EXPECT_EQ(names.at(sets[i]), i) << sets[i];
}

TEST_F(ClassUnitTest, AbilitiesPlayTheirClassAnimation)
{
    struct Case {
        const char* file;
        const char* ability;
        // Null: the ability plays nothing and the unit keeps standing idle.
        const char* animation;
    };
    const Case cases[] = {
        {"Pikeman.txt", "Pike Thrust", "MeleeAttack"},
        {"Pikeman.txt", "Melee Spirit", "MeleeSpirit"},
        {"Pikeman.txt", "Shield Bash", nullptr},
        {"Militia.txt", "Shield Bash", "ShieldBash"},
        {"Militia.txt", "First Aid", "FirstAid"},
        {"Militia.txt", "Surge of Speed", "FirstAid"},
        {"Paladin.txt", "Pulverize", "CriticalAttack"},
        {"Mage.txt", "Pillar of Flames", "MeleeAttack"},
        {"Mage.txt", "Thundershackle", "MeleeAttack"},
        {"Mage.txt", "Arcane Missile", "MeleeAttack"},
        {"CombatMage.txt", "Lightning Bolt", nullptr},
        {"CombatMage.txt", "Shards of Ice", nullptr},
        {"Healer.txt", "Heal", nullptr},
        {"Rogue.txt", "Flashing Strike", "FlashStrike"},
        {"Rogue.txt", "Nature's Vigor", "FocusAnimation"},
        {"Rogue.txt", "Critical Strike", "CriticalAttack"},
        {"Assassin.txt", "Slashing Strike", "DaggerThrow"},
        {"Assassin.txt", "Fan of Daggers", "FanOfDaggers"},
        {"Assassin.txt", "Assassin's Touch", "AssTouch"},
        {"Assassin.txt", "Assassin\xE2\x80\x99s Touch", nullptr},
        {"Scout.txt", "Mud Sling", "RangedAttack"},
        {"Scout.txt", "Shrapnel Shot", "RangedAttack"},
        {"Knight.txt", "Warcry", "Warcry"},
        {"Knight.txt", "Charge!", "Warcry"},
        {"Knight.txt", "Unrelenting Assault", "Assault"},
        {"Knight.txt", "Sweeping Strike", "SweepStrike"},
        {"Knight.txt", "warcry", nullptr},
        {"Archer.txt", "Poison Arrow", "RangedAttack"},
        {"Archer.txt", "Long Shot", "RangedAttack"},
        {"Archer.txt", "Aimed Shot", "RangedAttack"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.file) + " " + c.ability);
        ClassUnit& unit = Loaded(c.file);
        unit.LoadModel(true);
        ASSERT_TRUE(unit.Model() && unit.Model()->IsLoaded());
        unit.PlayAbilityEffect(c.ability);
        const auto& names = unit.Model()->GetNames();
        if (c.animation) {
            ASSERT_EQ(names.count(c.animation), 1u);
            EXPECT_EQ(unit.Model()->GetCurrentSet(), static_cast<UINT>(names.at(c.animation)));
            EXPECT_FALSE(unit.Model()->IsLooping());
        } else {
            EXPECT_EQ(unit.Model()->GetCurrentSet(), static_cast<UINT>(names.at("Idle")));
            EXPECT_TRUE(unit.Model()->IsLooping());
        }
    }
}

class ClassUnitVisuals : public ClassUnitTest
{
protected:
    void SetUp() override
    {
        ClassUnitTest::SetUp();
        BoltEffect::ResetForTests();
    }

    // A unit of the class at the origin aiming at a unit at (1000, 0, 500).
    ClassUnit& Caster(const char* file)
    {
        ClassUnit& unit = Loaded(file);
        unit.SetWorldPosition(0.0f, 0.0f, 0.0f);
        ClassUnit& other = Loaded("Militia.txt");
        other.SetWorldPosition(1000.0f, 0.0f, 500.0f);
        unit.RulesForSetUp().command.target = &other;
        return unit;
    }

    static size_t Bolts() { return ParticleManager::Get()->BoltCount(); }
    static BoltEffect& Bolt(size_t i) { return *ParticleManager::Get()->Bolt(i); }
};

namespace {

void ExpectNear(const D3DXVECTOR3& actual, const D3DXVECTOR3& expected, float tolerance = 1e-3f)
{
    EXPECT_NEAR(actual.x, expected.x, tolerance);
    EXPECT_NEAR(actual.y, expected.y, tolerance);
    EXPECT_NEAR(actual.z, expected.z, tolerance);
}

} // namespace

TEST_F(ClassUnitVisuals, ArcaneMissilesAreTwelvePairsScatteredAroundTheTarget)
{
    ClassUnit& mage = Caster("Mage.txt");
    Srand(1);
    mage.PlayAbilityEffect("Arcane Missile");
    ASSERT_EQ(Bolts(), 24u);
    // Seed 1 draws 41, 18467, 6334 for the colour, 26500, 19169, 15724 for the offset and 11478 for the delay.
    for (size_t i = 0; i < 2; ++i) {
        BoltEffect& bolt = Bolt(i);
        ExpectNear(bolt.start, D3DXVECTOR3(0.0f, i == 0 ? 100.0f : 120.0f, 0.0f));
        ExpectNear(bolt.end, D3DXVECTOR3(1000.0f + 46.3111f, 100.0f + 12.7514f, 500.0f - 3.0190f));
        ExpectNear(bolt.colour, D3DXVECTOR3(0.000375f, 0.056359f, 0.193304f), 1e-5f);
        EXPECT_NEAR(bolt.delay, 1.090408f, 1e-5f);
        EXPECT_FLOAT_EQ(bolt.life, 3.5f);
        EXPECT_FLOAT_EQ(bolt.jitterInterval, 0.01f);
    }
    for (size_t i = 0; i < Bolts(); ++i) {
        BoltEffect& bolt = Bolt(i);
        EXPECT_LE(bolt.colour.x, 0.3f);
        EXPECT_LE(bolt.colour.y, 0.1f);
        EXPECT_LE(std::abs(bolt.end.x - 1000.0f), 75.0f);
        EXPECT_LE(std::abs(bolt.end.y - 100.0f), 75.0f);
        EXPECT_LE(std::abs(bolt.end.z - 500.0f), 75.0f);
        EXPECT_GE(bolt.delay, 0.6f);
        EXPECT_LE(bolt.delay, 2.0f);
    }
    // The pairs share their end, the volley does not.
    ExpectNear(Bolt(22).end, Bolt(23).end);
    EXPECT_NE(Bolt(0).end.x, Bolt(2).end.x);
}

TEST_F(ClassUnitVisuals, ShrapnelIsTwelvePairsInANarrowerBox)
{
    ClassUnit& scout = Caster("Scout.txt");
    Srand(1);
    scout.PlayAbilityEffect("Shrapnel Shot");
    ASSERT_EQ(Bolts(), 24u);
    ExpectNear(Bolt(0).end, D3DXVECTOR3(1000.0f + 15.4370f, 100.0f + 12.7514f, 500.0f - 1.0063f));
    ExpectNear(Bolt(0).colour, D3DXVECTOR3(0.000125f, 0.225434f, 0.193304f), 1e-5f);
    EXPECT_NEAR(Bolt(0).delay, 1.240117f, 1e-5f);
    for (size_t i = 0; i < Bolts(); ++i) {
        EXPECT_LE(std::abs(Bolt(i).end.x - 1000.0f), 25.0f);
        EXPECT_LE(std::abs(Bolt(i).end.z - 500.0f), 25.0f);
        EXPECT_GE(Bolt(i).delay, 1.1f);
        EXPECT_LE(Bolt(i).delay, 1.5f);
    }
}

TEST_F(ClassUnitVisuals, ShotsAndLightningAreOneBeamToTheAim)
{
    struct Case {
        const char* file;
        const char* ability;
        D3DXVECTOR3 end;
    };
    // The caster faces +z untouched, so the lightning stops 50 short along z.
    const Case cases[] = {
        {"Scout.txt", "Mud Sling", D3DXVECTOR3(1000.0f, 100.0f, 500.0f)},
        {"Archer.txt", "Poison Arrow", D3DXVECTOR3(1000.0f, 100.0f, 500.0f)},
        {"Archer.txt", "Long Shot", D3DXVECTOR3(1000.0f, 100.0f, 500.0f)},
        {"Archer.txt", "Aimed Shot", D3DXVECTOR3(1000.0f, 100.0f, 500.0f)},
        {"CombatMage.txt", "Lightning Bolt", D3DXVECTOR3(1000.0f, 100.0f, 450.0f)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ability);
        ParticleManager::ResetForTests();
        ClassUnit& unit = Caster(c.file);
        unit.PlayAbilityEffect(c.ability);
        ASSERT_EQ(Bolts(), 1u);
        ExpectNear(Bolt(0).start, D3DXVECTOR3(0.0f, 100.0f, 0.0f));
        ExpectNear(Bolt(0).end, c.end);
    }
    EXPECT_TRUE(glowView.meshGlows.empty());
}

TEST_F(ClassUnitVisuals, ShardsOfIceRiseFromUnderTheTarget)
{
    ClassUnit& unit = Caster("CombatMage.txt");
    unit.PlayAbilityEffect("Shards of Ice");
    EXPECT_EQ(Bolts(), 0u);
    ASSERT_EQ(glowView.meshGlows.size(), 1u);
    EXPECT_EQ(glowView.meshGlows[0].mesh, "shardsOfIce.x");
    // Flat ground at 0: 15 below it.
    ExpectNear(glowView.meshGlows[0].at, D3DXVECTOR3(1000.0f, -15.0f, 500.0f));
}

TEST_F(ClassUnitVisuals, WithoutATargetUnitTheVisualsGoToTheTargetHexAnchor)
{
    ClassUnit& unit = Loaded("Archer.txt");
    // The unit stands on the flat ground at height 0.
    unit.SetWorldPosition(10.0f, 20.0f, 30.0f);
    Hex* hex = At(5, 7);
    unit.RulesForSetUp().command.abilityTarget = hex;
    unit.PlayAbilityEffect("Long Shot");
    ASSERT_EQ(Bolts(), 1u);
    ExpectNear(Bolt(0).start, D3DXVECTOR3(10.0f, 100.0f, 30.0f));
    ExpectNear(Bolt(0).end, D3DXVECTOR3(hex->anchorX, 100.0f, hex->anchorZ));
}

TEST_F(ClassUnitVisuals, WithNothingToAimAtAnAbilityOnlyAnimates)
{
    ClassUnit& unit = Loaded("Scout.txt");
    unit.LoadModel(true);
    unit.PlayAbilityEffect("Shrapnel Shot");
    EXPECT_EQ(Bolts(), 0u);
    EXPECT_EQ(unit.Model()->GetCurrentSet(), static_cast<UINT>(unit.Model()->GetNames().at("RangedAttack")));
    Loaded("CombatMage.txt").PlayAbilityEffect("Shards of Ice");
    EXPECT_TRUE(glowView.meshGlows.empty());
}

TEST_F(ClassUnitVisuals, AnAbilityOfAnotherClassSendsNothing)
{
    Caster("Mage.txt").PlayAbilityEffect("Lightning Bolt");
    Caster("Healer.txt").PlayAbilityEffect("Arcane Missile");
    Caster("Knight.txt").PlayAbilityEffect("Shards of Ice");
    EXPECT_EQ(Bolts(), 0u);
    EXPECT_TRUE(glowView.meshGlows.empty());
}

TEST_F(ClassUnitTest, PlayersMakeClassUnitsOnceTheFactoryIsRegistered)
{
    ClassUnit::RegisterFactory();
    BoardUnit* made = first.CreateUnit("Knight.txt", 3, 4);
    BoardUnit::SetFactory(nullptr);
    auto* unit = dynamic_cast<ClassUnit*>(made);
    ASSERT_NE(unit, nullptr);
    EXPECT_EQ(unit->GetClass(), UnitClass::KNIGHT);
    EXPECT_EQ(unit->GetHex(), At(3, 4));
    EXPECT_EQ(unit->GetOwner(), &first);
}

TEST_F(ClassUnitTest, LoadingTheModelPosesOnlyTheUnitsOwnModel)
{
    // The loading job loads models on its own thread while the main thread draws: the load must not reach
    // the shared particle lists, the labels or the unit's clocks, which the main thread's frames own.
    ClassUnit::RegisterFactory();
    auto* unit = dynamic_cast<ClassUnit*>(first.CreateUnit("Archer.txt", 3, 4));
    BoardUnit::SetFactory(nullptr);
    ASSERT_NE(unit, nullptr);
    const auto* label = static_cast<const FakeCombatText*>(unit->Presentation().labels[1].get());
    const float labelX = label->x;
    Advance(0.25f);
    const size_t quadsBefore = ParticleManager::Get()->WorldQuads().size();
    unit->LoadModel(true);
    EXPECT_TRUE(unit->Rules().turn.visible);
    EXPECT_EQ(ParticleManager::Get()->WorldQuads().size(), quadsBefore);
    EXPECT_FLOAT_EQ(label->x, labelX);
    EXPECT_FLOAT_EQ(unit->Rules().turn.waitTimer, 0.0f);
    // The model stands posed in its idle at the unit's place.
    ASSERT_TRUE(unit->Model() && unit->Model()->IsLoaded());
    EXPECT_EQ(unit->Model()->GetCurrentSet(), static_cast<UINT>(unit->Model()->GetNames().at("Idle")));
}
