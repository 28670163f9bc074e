#include "battle/EffectLook.h"

#include "battle/UnitRulesState.h"

namespace {

using Dress = EffectLook::Dress;

const char* const SPELL_DAMAGE_TEXT = "Spell Damage: %i";

int NoStatistic(const UnitRulesState&)
{
    return 0;
}

const EffectLook EFFECT_LOOKS[] = {
    {EffectType::HEALTH,
     [](const UnitRulesState& u) { return u.stats.health; },
     "%i Damage Healed",
     SPELL_DAMAGE_TEXT,
     SPELL_DAMAGE_TEXT,
     {1.0f, 0.0f, 0.0f, 1.0f},
     Dress::LASTING,
     Dress::LASTING,
     {255.0f, 0.0f, 0.0f},
     false,
     {}},
    {EffectType::MANA,
     [](const UnitRulesState& u) { return u.stats.mana; },
     "%i Points of Mana Regained",
     "%i Points of Mana Drained",
     "%i Points of Mana Drained",
     {1.0f, 0.0f, 1.0f, 1.0f},
     Dress::LASTING,
     Dress::LASTING,
     {0.0f, 0.0f, 255.0f},
     false,
     {}},
    {EffectType::INITIATIVE,
     [](const UnitRulesState& u) { return u.turn.initiative; },
     "%i Points of Initiative Gained",
     "%i Points of Initiative Lost",
     "%i Points of Initiative Lost",
     {1.0f, 1.0f, 0.0f, 1.0f},
     Dress::NEVER,
     Dress::NEVER,
     {},
     false,
     {}},
    {EffectType::MOVEMENT_RADIUS,
     [](const UnitRulesState& u) { return u.stats.movementRadius; },
     "Movement Radius Increased by %i",
     "Movement Radius Decreased by %i",
     "Movement Radius Decreased by %i",
     {1.0f, 1.0f, 1.0f, 1.0f},
     Dress::ALWAYS,
     Dress::ALWAYS,
     {0.0f, 255.0f, 0.0f},
     false,
     {}},
    {EffectType::STR,
     [](const UnitRulesState& u) { return u.stats.strength; },
     "Strength Raised by %i",
     "Strength Lowered by %i",
     "Strength Lowered by %i",
     {1.0f, 0.0f, 1.0f, 1.0f},
     Dress::LASTING,
     Dress::LASTING,
     {255.0f, 255.0f, 0.0f},
     false,
     {}},
    {EffectType::AGILLY,
     [](const UnitRulesState& u) { return u.stats.agility; },
     "Agility Raised by %i",
     "Agility Lowered by %i",
     "Agility Lowered by %i",
     {0.25f, 1.0f, 0.0f, 1.0f},
     Dress::NEVER,
     Dress::NEVER,
     {},
     false,
     {}},
    {EffectType::INTELLI,
     [](const UnitRulesState& u) { return u.stats.intelligence; },
     "Intelligence Raised by %i",
     "Intelligence Lowered by %i",
     "Intelligence Lowered by %i",
     {1.0f, 0.25f, 1.0f, 1.0f},
     Dress::NEVER,
     Dress::NEVER,
     {},
     false,
     {}},
    // A roll of nothing has no direction to tell.
    {EffectType::MISS_MORE,
     [](const UnitRulesState& u) { return u.attributes.missChance; },
     "Hit Chance Increased by %i%%",
     "Hit Chance Decreased by %i%%",
     SPELL_DAMAGE_TEXT,
     {1.0f, 1.0f, 0.25f, 1.0f},
     Dress::ALWAYS,
     Dress::LASTING,
     {113.0f, 54.0f, 137.0f},
     false,
     {}},
    {EffectType::DEFEND_FREE,
     NoStatistic,
     "Camouflaged For 1 Turn",
     "Camouflaged For 1 Turn",
     "Camouflaged For 1 Turn",
     {0.1f, 0.85f, 0.0f, 1.0f},
     Dress::NEVER,
     Dress::ALWAYS,
     {0.0f, 255.0f, 255.0f},
     true,
     {255.0f, 0.0f, 255.0f}},
    // The stance speaks for itself: its number is drawn fully transparent.
    {EffectType::PHALANX,
     NoStatistic,
     SPELL_DAMAGE_TEXT,
     SPELL_DAMAGE_TEXT,
     SPELL_DAMAGE_TEXT,
     {0.0f, 0.0f, 0.0f, 0.0f},
     Dress::NEVER,
     Dress::ALWAYS,
     {64.0f, 128.0f, 128.0f},
     true,
     {255.0f, 128.0f, 255.0f}},
    {EffectType::CRITICAL_MORE,
     [](const UnitRulesState& u) { return u.attributes.criticalChance; },
     "Chance to Critical Increased by %i%%",
     "Chance to Critical Decreased by %i%%",
     "Chance to Critical Decreased by %i%%",
     {0.25f, 0.0f, 1.0f, 1.0f},
     Dress::NEVER,
     Dress::LASTING,
     {255.0f, 164.0f, 0.0f},
     false,
     {}},
    {EffectType::AP_BONUS,
     [](const UnitRulesState& u) { return u.stats.maxActionPoints; },
     "%i Action Points Gained",
     "%i Action Points Lost",
     "%i Action Points Lost",
     {0.0f, 1.0f, 0.25f, 1.0f},
     Dress::LASTING,
     Dress::LASTING,
     {255.0f, 255.0f, 255.0f},
     false,
     {}},
    {EffectType::INVINCIBLE,
     NoStatistic,
     "Invincible for 1 turn.",
     "Invincible for 1 turn.",
     "Invincible for 1 turn.",
     {1.0f, 1.0f, 0.0f, 1.0f},
     Dress::NEVER,
     Dress::NEVER,
     {},
     false,
     {}},
};

// An effect type the table does not know changes nothing and reads as plain spell damage.
const EffectLook UNKNOWN_LOOK = {EffectType::HEALTH,
                                 NoStatistic,
                                 SPELL_DAMAGE_TEXT,
                                 SPELL_DAMAGE_TEXT,
                                 SPELL_DAMAGE_TEXT,
                                 {1.0f, 0.0f, 0.0f, 1.0f},
                                 Dress::NEVER,
                                 Dress::NEVER,
                                 {},
                                 false,
                                 {}};

} // namespace

const EffectLook& EffectLook::Of(EffectType type)
{
    for (const EffectLook& look : EFFECT_LOOKS) {
        if (look.type == type)
            return look;
    }
    return UNKNOWN_LOOK;
}

const char* EffectLook::MessageFor(int amount) const
{
    if (amount > 0)
        return raisedText;
    return amount < 0 ? loweredText : unchangedText;
}
