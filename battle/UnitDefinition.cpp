#include "battle/UnitDefinition.h"

#include "core/ConfigParser.h"
#include "core/DataManager.h"
#include "win32/Log.h"

#include <fstream>

namespace {

// Every number of a unit file is held to a symmetric range. Statistics (attributes, speed, action points,
// resistances, uses) to +-10000, so that 10 x strength (health), 10 x intelligence (mana), and the product of
// any two of them or of one with a spell amount (+-100000, see the spell reader) stay far inside 32 bits.
// Hex distances to +-1000 (a board is 42 hexes across), times to +-10000 seconds, and the factors to +-10000,
// so that speed x factor stays below 10^8.
constexpr int MAX_STATISTIC = 10000;
constexpr int MAX_HEX_STEPS = 1000;
constexpr float MAX_SECONDS = 10000.0f;
constexpr float MAX_FACTOR = 10000.0f;

template <typename T, size_t N>
bool MatchKeyword(const std::string& text, const char* const (&keywords)[N], T& out)
{
    for (size_t i = 0; i < N; ++i) {
        if (text == keywords[i]) {
            out = static_cast<T>(i);
            return true;
        }
    }
    return false;
}

// In the order of their enumeration values.
const char* const RATING_KEYWORDS[] = {"LOW", "MEDIUM", "HIGH", "INVERTED", "NONE"};
const char* const ARMOUR_KEYWORDS[] = {"CLOTH", "LEATHER", "SCALEMAIL", "CHAINMAIL", "HALFPLATE", "FULLPLATE"};
const char* const CREATURE_KEYWORDS[] = {"HUMAN", "UNDEAD", "ELEMENTAL", "UNKNOWN"};
const char* const ATTRIBUTE_KEYWORDS[] = {"STRENGTH", "AGILITY", "INTELLIGENCE"};
const char* const SIZE_KEYWORDS[] = {"FINE",  "DIMINUTIVE", "TINY",       "SMALL",   "MEDIUM_SIZE",
                                     "LARGE", "GIANT",      "GARGANTUAN", "COLOSSAL"};

template <typename T, size_t N>
void ParseField(const std::string& unit, const char* what, const std::string& text, const char* const (&keywords)[N],
                T& out)
{
    if (!text.empty() && !MatchKeyword(text, keywords, out))
        LogFormat(LogLevel::WARNING, "unit.file", "Unit \"%s\": unknown %s \"%s\"; the default stays.", unit.c_str(),
                  what, text.c_str());
}

} // namespace

void UnitDefinition::Init()
{
    *this = UnitDefinition{};
}

void UnitDefinition::Free()
{
    UnitDefinition empty;
    std::swap(*this, empty);
}

bool UnitDefinition::Read(const std::string& fileName)
{
    const std::string path = DataManager::Get()->FindFile(fileName);
    std::ifstream in;
    if (path != DataManager::NOT_FOUND)
        in.open(path, std::ios::binary);
    if (!in.is_open()) {
        // Every unit of the class reads its file: the fault is said once.
        DataManager::Get()->ReportMissing(
            "unit.file", fileName, "cannot be found or opened; units of the class keep what they were made with");
        return false;
    }
    return Read(in, fileName);
}

bool UnitDefinition::Read(std::istream& in, const std::string& fileName)
{

    // The value of each positional line, by its line number (1 to 40).
    std::string lines[POSITIONAL_LINES + 1];
    for (int number = 1; number <= POSITIONAL_LINES; ++number) {
        if (!ReadConfigLine(in, lines[number])) {
            DataManager::Get()->ReportMissing("unit.file", fileName,
                                              "ends at line " + std::to_string(number - 1) + " of its " +
                                                  std::to_string(POSITIONAL_LINES) +
                                                  " fixed lines; units of the class keep what they were made with");
            return false;
        }
    }
    auto text = [&](int number) { return ParseConfigString(lines[number]); };
    auto integer = [&](int number, int bound, const char* field) {
        return BoundConfigInt(ParseConfigInt(lines[number]), -bound, bound, fileName, field);
    };
    auto real = [&](int number, float bound, const char* field) {
        return BoundConfigFloat(ParseConfigFloat(lines[number]), -bound, bound, fileName, field);
    };

    name = text(2);
    creatureTypeText = text(3);
    classText = text(4);
    primaryAttributeText = text(5);
    sizeText = text(6);
    armourText = text(7);
    ratingText = text(8);
    furtherTexts[0] = text(11);
    furtherTexts[1] = text(12);
    furtherTexts[2] = text(13);
    meleeHitTime = real(14, MAX_SECONDS, "melee hit time");
    criticalHitTime = real(15, MAX_SECONDS, "critical hit time");
    thirdHitTime = real(16, MAX_SECONDS, "third hit time");
    meleeRange = integer(17, MAX_HEX_STEPS, "melee range");
    rangedRange = integer(18, MAX_HEX_STEPS, "ranged range");
    movementRadius = integer(19, MAX_HEX_STEPS, "movement radius");
    defendRadius = integer(20, MAX_HEX_STEPS, "defend radius");
    actionPoints = integer(21, MAX_STATISTIC, "action points");
    arcaneResistance = integer(24, MAX_STATISTIC, "arcane resistance");
    natureResistance = integer(25, MAX_STATISTIC, "nature resistance");
    holyResistance = integer(26, MAX_STATISTIC, "holy resistance");
    shadowResistance = integer(27, MAX_STATISTIC, "shadow resistance");
    strength = integer(30, MAX_STATISTIC, "strength");
    agility = integer(31, MAX_STATISTIC, "agility");
    intelligence = integer(32, MAX_STATISTIC, "intelligence");
    speed = integer(33, MAX_STATISTIC, "speed");
    firstFactor = real(36, MAX_FACTOR, "first factor");
    secondFactor = real(37, MAX_FACTOR, "second factor");
    thirdFactor = real(38, MAX_FACTOR, "third factor");

    std::string line;
    while (ReadConfigLine(in, line)) {
        // A blank line (often the last one) names no ability.
        if (line.empty())
            continue;
        const int uses =
            BoundConfigInt(SplitConfigLineInt(line), -MAX_STATISTIC, MAX_STATISTIC, fileName, "ability uses");
        abilityNames.push_back(line);
        abilityUses.push_back(uses);
    }

    ParseKeywords();
    return true;
}

void UnitDefinition::ParseKeywords()
{
    ParseField(name, "physical resistance level", ratingText, RATING_KEYWORDS, rating);
    ParseField(name, "second rating", secondRatingText, RATING_KEYWORDS, secondRating);
    ParseField(name, "armour", armourText, ARMOUR_KEYWORDS, armour);
    ParseField(name, "creature type", creatureTypeText, CREATURE_KEYWORDS, creatureType);
    ParseField(name, "primary attribute", primaryAttributeText, ATTRIBUTE_KEYWORDS, primaryAttribute);
    ParseField(name, "size", sizeText, SIZE_KEYWORDS, size);
}
