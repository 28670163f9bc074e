#pragma once
// A unit class as its definition file describes it. The file is read by position: one field per line, the
// value two characters after the line's first "=", then one ability line ("Name = uses") per line to the end.

#include <array>
#include <iosfwd>
#include <string>
#include <vector>

enum class CreatureType : int
{
    HUMAN = 0,
    UNDEAD = 1,
    ELEMENTAL = 2,
    UNKNOWN = 3
};

enum class PrimaryAttribute : int
{
    STRENGTH = 0,
    AGILITY = 1,
    INTELLIGENCE = 2
};

enum class SizeCategory : int
{
    FINE = 0,
    DIMINUTIVE = 1,
    TINY = 2,
    SMALL = 3,
    MEDIUM = 4,
    LARGE = 5,
    GIANT = 6,
    GARGANTUAN = 7,
    COLOSSAL = 8,
};

enum class RatingLevel : int
{
    LOW = 0,
    MEDIUM = 1,
    HIGH = 2,
    INVERTED = 3,
    NONE = 4
};

enum class ArmourType : int
{
    CLOTH = 0,
    LEATHER = 1,
    SCALEMAIL = 2,
    CHAINMAIL = 3,
    HALFPLATE = 4,
    FULLPLATE = 5
};

struct UnitDefinition {
    // The number of positional lines before the ability lines.
    static constexpr int POSITIONAL_LINES = 40;

    std::string name;
    std::string creatureTypeText;
    CreatureType creatureType = CreatureType::HUMAN;
    std::string primaryAttributeText;
    PrimaryAttribute primaryAttribute = PrimaryAttribute::STRENGTH;
    std::string sizeText;
    SizeCategory size = SizeCategory::MEDIUM;
    // The class keyword ("PIKEMAN", "COMBAT_MAGE", ...); the class loader turns it into the unit's class.
    std::string classText;
    // Kept from the file; the rules do not read them.
    std::array<std::string, 3> furtherTexts;
    // Seconds into the attack animation at which a hit and a critical hit land; the third is kept, not read.
    float meleeHitTime = 0.0f;
    float criticalHitTime = 0.0f;
    float thirdHitTime = 0.0f;
    // Hex steps.
    int meleeRange = 0;
    int rangedRange = 0;
    int movementRadius = 0;
    int defendRadius = 0;
    int actionPoints = 0;
    // Per cent of a spell's amount resisted, per school; 101 inverts spells of that school.
    int arcaneResistance = 0;
    int natureResistance = 0;
    int holyResistance = 0;
    int shadowResistance = 0;
    std::string ratingText;
    // Never filled from the file.
    std::string secondRatingText;
    std::string armourText;
    // Physical resistance level.
    RatingLevel rating = RatingLevel::NONE;
    RatingLevel secondRating = RatingLevel::NONE;
    ArmourType armour = ArmourType::CLOTH;
    int strength = 0;
    int agility = 0;
    int intelligence = 0;
    int speed = 0;
    // The class loader multiplies the speed by the first into the unit's initiative weight.
    float firstFactor = 0.0f;
    float secondFactor = 0.0f;
    float thirdFactor = 0.0f;
    // Parallel lists, in file order: an ability may be listed twice.
    std::vector<std::string> abilityNames;
    std::vector<int> abilityUses;

    // Empties the record: texts and lists empty, numbers 0, keywords at the unit defaults.
    void Init();
    // Releases the texts and lists.
    void Free();
    // Fills the record from the named file (found by bare name through the data manager), then turns the
    // keyword texts into their values. False, with a message on stderr, when the file cannot be found or
    // ends before its ability lines; the caller then keeps what it had.
    bool Read(const std::string& fileName);
    // The reading of Read from an open file; fileName names it in messages.
    bool Read(std::istream& in, const std::string& fileName);
    // Each keyword text compared whole and case-sensitive with its list; a text that matches none leaves
    // its value as it was.
    void ParseKeywords();
};
