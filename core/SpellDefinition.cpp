#include "core/SpellDefinition.h"

#include <array>
#include <utility>

namespace {

const std::array<std::pair<const char*, EffectType>, 13> EFFECT_TYPE_KEYWORDS = {{
    {"HEALTH", EffectType::HEALTH},
    {"MANA", EffectType::MANA},
    {"INITIATIVE", EffectType::INITIATIVE},
    {"MOVEMENT_RADIUS", EffectType::MOVEMENT_RADIUS},
    {"STR", EffectType::STR},
    {"AGILLY", EffectType::AGILLY},
    {"INTELLI", EffectType::INTELLI},
    {"MISS_MORE", EffectType::MISS_MORE},
    {"DEFEND_FREE", EffectType::DEFEND_FREE},
    {"PHALANX", EffectType::PHALANX},
    {"CRITICAL_MORE", EffectType::CRITICAL_MORE},
    {"AP_BONUS", EffectType::AP_BONUS},
    {"INVINCIBLE", EffectType::INVINCIBLE},
}};

const std::array<std::pair<const char*, SpellSchool>, 4> SPELL_SCHOOL_KEYWORDS = {{
    {"HOLY", SpellSchool::HOLY},
    {"SHADOW", SpellSchool::SHADOW},
    {"NATURE", SpellSchool::NATURE},
    {"ARCANE", SpellSchool::ARCANE},
}};

} // namespace

bool ParseEffectType(const std::string& text, EffectType& out)
{
    for (const auto& [keyword, value] : EFFECT_TYPE_KEYWORDS) {
        if (text == keyword) {
            out = value;
            return true;
        }
    }
    return false;
}

bool ParseSpellSchool(const std::string& text, SpellSchool& out)
{
    for (const auto& [keyword, value] : SPELL_SCHOOL_KEYWORDS) {
        if (text == keyword) {
            out = value;
            return true;
        }
    }
    return false;
}
