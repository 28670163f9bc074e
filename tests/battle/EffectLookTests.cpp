// The table of how each effect type shows itself: every type has its own row, and a type read from no row
// falls back to plain spell damage that changes nothing.
#include "battle/EffectLook.h"
#include "battle/Unit.h"

#include <gtest/gtest.h>

#include <string>

TEST(EffectLookTest, EveryTypeHasItsOwnRow)
{
    for (int value = static_cast<int>(EffectType::HEALTH); value <= static_cast<int>(EffectType::INVINCIBLE); ++value) {
        const auto type = static_cast<EffectType>(value);
        EXPECT_EQ(EffectLook::Of(type).type, type) << value;
    }
}

TEST(EffectLookTest, AnUnknownTypeReadsAsSpellDamageAndSavesNothing)
{
    const EffectLook& look = EffectLook::Of(static_cast<EffectType>(99));
    Unit unit;
    unit.RulesForSetUp().stats.health = 40;
    EXPECT_EQ(look.statistic(unit.Rules()), 0);
    for (int amount : {-5, 0, 5})
        EXPECT_EQ(std::string(look.MessageFor(amount)), "Spell Damage: %i") << amount;
    EXPECT_FALSE(look.Arrowed(true));
    EXPECT_FALSE(look.Tinted(true));
    EXPECT_FALSE(look.stance);
}

TEST(EffectLookTest, DressingFollowsTheDuration)
{
    // Mana turns its arrow only when it lasts; a movement radius always does; initiative never.
    EXPECT_TRUE(EffectLook::Of(EffectType::MANA).Arrowed(true));
    EXPECT_FALSE(EffectLook::Of(EffectType::MANA).Arrowed(false));
    EXPECT_TRUE(EffectLook::Of(EffectType::MOVEMENT_RADIUS).Arrowed(false));
    EXPECT_FALSE(EffectLook::Of(EffectType::INITIATIVE).Arrowed(true));
    // A miss chance tints only when it lasts but always turns its arrow.
    EXPECT_FALSE(EffectLook::Of(EffectType::MISS_MORE).Tinted(false));
    EXPECT_TRUE(EffectLook::Of(EffectType::MISS_MORE).Arrowed(false));
    // The two stances hide their arrows, and a roll of nothing has no direction to tell.
    EXPECT_TRUE(EffectLook::Of(EffectType::PHALANX).stance);
    EXPECT_TRUE(EffectLook::Of(EffectType::DEFEND_FREE).stance);
    EXPECT_EQ(std::string(EffectLook::Of(EffectType::MISS_MORE).MessageFor(0)), "Spell Damage: %i");
    EXPECT_EQ(std::string(EffectLook::Of(EffectType::STR).MessageFor(0)), "Strength Lowered by %i");
}
