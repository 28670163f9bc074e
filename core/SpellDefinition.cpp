#include "core/SpellDefinition.h"

#include <array>
#include <utility>

namespace {

const std::array<std::pair<const char*, EffectType>, 13> EffectTypeKeywords = {{
    {"HEALTH", HEALTH},
    {"MANA", MANA},
    {"INITIATIVE", INITIATIVE},
    {"MOVEMENT_RADIUS", MOVEMENT_RADIUS},
    {"STR", STR},
    {"AGILLY", AGILLY},
    {"INTELLI", INTELLI},
    {"MISS_MORE", MISS_MORE},
    {"DEFEND_FREE", DEFEND_FREE},
    {"PHALANX", PHALANX},
    {"CRITICAL_MORE", CRITICAL_MORE},
    {"AP_BONUS", AP_BONUS},
    {"INVINCIBLE", INVINCIBLE},
}};

const std::array<std::pair<const char*, SpellSchool>, 4> SpellSchoolKeywords = {{
    {"HOLY", HOLY},
    {"SHADOW", SHADOW},
    {"NATURE", NATURE},
    {"ARCANE", ARCANE},
}};

} // namespace

bool ParseEffectType(const std::string& text, EffectType& out)
{
    for (const auto& [keyword, value] : EffectTypeKeywords) {
        if (text == keyword) {
            out = value;
            return true;
        }
    }
    return false;
}

bool ParseSpellSchool(const std::string& text, SpellSchool& out)
{
    for (const auto& [keyword, value] : SpellSchoolKeywords) {
        if (text == keyword) {
            out = value;
            return true;
        }
    }
    return false;
}
