#pragma once
// One ability or spell as its spell file describes it. The data manager keeps one per spell name; every unit
// holds its own copies with their uses left.

#include <string>
#include <vector>

// The statistic that a spell or a timed effect changes.
enum class EffectType : int
{
    HEALTH = 0,
    MANA = 1,
    INITIATIVE = 2,
    MOVEMENT_RADIUS = 3,
    STR = 4,
    AGILLY = 5,
    INTELLI = 6,
    MISS_MORE = 7,
    DEFEND_FREE = 8,
    PHALANX = 9,
    CRITICAL_MORE = 10,
    AP_BONUS = 11,
    INVINCIBLE = 12,
};

enum class SpellSchool : int
{
    HOLY = 0,
    SHADOW = 1,
    NATURE = 2,
    ARCANE = 3,
};

struct SpellDefinition {
    std::string name = "None";
    // Each description line of the file followed by a line feed.
    std::string description;
    std::string spellType = "None";
    // The spell file's bare name without ".txt".
    std::string fileName = "None";
    // Who may be targeted; the rules test for "ENEMY" and "TEAM".
    std::string target = "Nobody";
    // Particle emitter file names, each a whole line of the spell file.
    std::vector<std::string> firstEmitters;
    std::vector<std::string> secondEmitters;
    std::vector<std::string> thirdEmitters;
    // Compared and paid as its absolute value.
    int manaCost = 0;
    int amount = 0;
    int initiativeCost = 0;
    // Hex steps; 0 centres the ability on the caster.
    int range = 0;
    // Hex steps; above 1 makes an area ability.
    int areaRadius = 0;
    // Turns.
    int duration = 0;
    // From the unit definition file, not the spell file.
    int usesLeft = 0;
    // Seconds; its sign also chooses which emitter lists apply.
    float castTime = 0.0f;
    SpellSchool school = SpellSchool::HOLY;
    int actionPointCost = 0;
    EffectType effectType = EffectType::HEALTH;
};

// The keyword tables of the spell files. Whole word, case-sensitive; false (and out untouched) for a text that
// matches no keyword.
bool ParseEffectType(const std::string& text, EffectType& out);
bool ParseSpellSchool(const std::string& text, SpellSchool& out);
