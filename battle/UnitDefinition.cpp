#include "battle/UnitDefinition.h"

#include "core/ConfigParser.h"
#include "core/DataManager.h"

#include <cstdio>
#include <fstream>

namespace {

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
const char* const RatingKeywords[] = {"LOW", "MEDIUM", "HIGH", "INVERTED", "NONE"};
const char* const ArmourKeywords[] = {"CLOTH", "LEATHER", "SCALEMAIL", "CHAINMAIL", "HALFPLATE", "FULLPLATE"};
const char* const CreatureKeywords[] = {"HUMAN", "UNDEAD", "ELEMENTAL", "UNKNOWN"};
const char* const AttributeKeywords[] = {"STRENGTH", "AGILITY", "INTELLIGENCE"};
const char* const SizeKeywords[] = {"FINE",  "DIMINUTIVE", "TINY",       "SMALL",   "MEDIUM_SIZE",
                                    "LARGE", "GIANT",      "GARGANTUAN", "COLOSSAL"};

template <typename T, size_t N>
void ParseField(const std::string& unit, const char* what, const std::string& text, const char* const (&keywords)[N],
                T& out)
{
    if (!text.empty() && !MatchKeyword(text, keywords, out))
        std::fprintf(stderr, "Unit \"%s\": unknown %s \"%s\"; the default stays.\n", unit.c_str(), what, text.c_str());
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
    if (path != DataManager::NotFound)
        in.open(path, std::ios::binary);
    if (!in.is_open()) {
        std::fprintf(stderr, "Unit definition \"%s\" cannot be found or opened.\n", fileName.c_str());
        return false;
    }

    // The value of each positional line, by its line number (1 to 40).
    std::string lines[PositionalLines + 1];
    for (int number = 1; number <= PositionalLines; ++number) {
        if (!ReadConfigLine(in, lines[number])) {
            std::fprintf(stderr, "Unit definition \"%s\" ends at line %d of its %d fixed lines.\n", fileName.c_str(),
                         number - 1, PositionalLines);
            return false;
        }
    }
    auto text = [&](int number) { return ParseConfigString(lines[number]); };
    auto integer = [&](int number) { return ParseConfigInt(lines[number]); };
    auto real = [&](int number) { return ParseConfigFloat(lines[number]); };

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
    meleeHitTime = real(14);
    criticalHitTime = real(15);
    thirdHitTime = real(16);
    meleeRange = integer(17);
    rangedRange = integer(18);
    movementRadius = integer(19);
    defendRadius = integer(20);
    actionPoints = integer(21);
    arcaneResistance = integer(24);
    natureResistance = integer(25);
    holyResistance = integer(26);
    shadowResistance = integer(27);
    strength = integer(30);
    agility = integer(31);
    intelligence = integer(32);
    speed = integer(33);
    firstFactor = real(36);
    secondFactor = real(37);
    thirdFactor = real(38);

    std::string line;
    while (ReadConfigLine(in, line)) {
        // A blank line (often the last one) names no ability.
        if (line.empty())
            continue;
        const int uses = SplitConfigLineInt(line);
        abilityNames.push_back(line);
        abilityUses.push_back(uses);
    }

    ParseKeywords();
    return true;
}

void UnitDefinition::ParseKeywords()
{
    ParseField(name, "physical resistance level", ratingText, RatingKeywords, rating);
    ParseField(name, "second rating", secondRatingText, RatingKeywords, secondRating);
    ParseField(name, "armour", armourText, ArmourKeywords, armour);
    ParseField(name, "creature type", creatureTypeText, CreatureKeywords, creatureType);
    ParseField(name, "primary attribute", primaryAttributeText, AttributeKeywords, primaryAttribute);
    ParseField(name, "size", sizeText, SizeKeywords, size);
}
