#pragma once
// How each effect type of an ability shows itself on the unit it changes, and which statistic the effect's
// record saves so that its expiry can write it back. The rules that no row can say (a health effect's own
// colour, the poison's look, the shield that blocks harm) stay with the unit as named special cases.

#include "battle/UnitPresentation.h"
#include "core/SpellDefinition.h"

#include <cstdint>

struct UnitRulesState;

struct EffectLook {
    using Colour = UnitPresentation::Colour;
    struct Tinge {
        float red, green, blue;
    };
    // When the effect's arrow turns to the amount's direction, or its emitter takes the row's tinge.
    enum class Dress : uint8_t
    {
        NEVER,
        LASTING,
        ALWAYS,
    };

    EffectType type;
    int (*statistic)(const UnitRulesState& rules);
    // The messages take the magnitude of the amount as "%i"; "%%" prints a per cent sign.
    const char* raisedText;
    const char* loweredText;
    const char* unchangedText;
    Colour colour;
    Dress arrow;
    Dress tint;
    // The emitter's second colour key.
    Tinge tinge;
    // A stance tints the first colour key too and hides its arrow.
    bool stance;
    Tinge stanceTinge;

    // The row of a type; a type the table does not know changes nothing and reads as plain spell damage.
    static const EffectLook& Of(EffectType type);
    bool Arrowed(bool lasting) const { return Dressed(arrow, lasting); }
    bool Tinted(bool lasting) const { return Dressed(tint, lasting); }
    // The message for an amount after its roll.
    const char* MessageFor(int amount) const;

private:
    static bool Dressed(Dress dress, bool lasting)
    {
        return dress == Dress::ALWAYS || (dress == Dress::LASTING && lasting);
    }
};
