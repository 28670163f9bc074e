// What an ability does to the unit it lands on: the rolled amount, the changed statistic, the message and its
// colour, the lasting record, the counters and death.
//
// Scripted draws come from the generator's recurrence, worked out by hand from each seed:
//   seed 1:  41, 18467, ...     seed 3:  48, 7196, ...     seed 7:  61, 17422, ...     seed 93: 342, 24281, ...
// A resistance of r draws its share from r/100 - 0.25 + d/32767 x 0.5, so 18467 gives r/100 + 0.03179,
// 7196 gives r/100 - 0.14019, 17422 gives r/100 + 0.01585 and 24281 gives r/100 + 0.12051.
#include "UnitFixture.h"

#include "battle/Hex.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

SpellDefinition Spell(EffectType type, int amount, int duration = 0, SpellSchool school = SpellSchool::HOLY)
{
    SpellDefinition ability;
    ability.name = "Test Spell";
    ability.effectType = type;
    ability.amount = amount;
    ability.duration = duration;
    ability.school = school;
    return ability;
}

class SpellEffectTest : public UnitTest
{
protected:
    void SetUp() override
    {
        UnitTest::SetUp();
        caster = Make(first, 10, 10);
        target = Make(second, 12, 10);
        // No criticals unless a test asks for them.
        caster->RulesForSetUp().attributes.criticalChance = 0;
    }

    // Casts with the seed; the seed's first draw decides the critical, its second the resistance.
    void Cast(const SpellDefinition& ability, unsigned seed, Unit* from = nullptr, TestUnit* on = nullptr)
    {
        Srand(seed);
        (on ? on : target)->ApplySpellEffect(from ? from : caster, ability);
    }

    static void ExpectColour(const FakeCombatText& text, float r, float g, float b, float a)
    {
        EXPECT_FLOAT_EQ(text.colour.x, r);
        EXPECT_FLOAT_EQ(text.colour.y, g);
        EXPECT_FLOAT_EQ(text.colour.z, b);
        EXPECT_FLOAT_EQ(text.colour.w, a);
    }

    static void ExpectKey(const ParticleEmitter& emitter, size_t index, float r, float g, float b)
    {
        ASSERT_GT(emitter.ColourKeys().size(), index);
        const ColourKey& key = emitter.ColourKeys()[index];
        EXPECT_FLOAT_EQ(key.red, r);
        EXPECT_FLOAT_EQ(key.green, g);
        EXPECT_FLOAT_EQ(key.blue, b);
    }

    TestUnit* caster = nullptr;
    TestUnit* target = nullptr;
};

TEST_F(SpellEffectTest, AmountRollsWithCriticalAndResistance)
{
    struct Case {
        int base;
        int critical;
        int resistance;
        unsigned seed;
        int health;
        const char* text;
    };
    const Case cases[] = {
        // -40 less trunc(0.03179 x -40) = -40 + 1.
        {-40, 0, 0, 1, 41, "Spell Damage: 39"},
        // -40 less trunc(-0.14019 x -40) = -40 - 5.
        {-40, 0, 0, 3, 35, "Spell Damage: 45"},
        // A resistance of 100 removes 103 per cent: -40 less trunc(-41.27) heals 1.
        {-40, 0, 100, 1, 81, "1 Damage Healed"},
        // ... or 86 per cent: -40 less trunc(-34.39) = -6.
        {-40, 0, 100, 3, 74, "Spell Damage: 6"},
        // Critical chance 42 beats the first draw 41 % 100 and doubles; 41 does not.
        {-20, 42, 0, 1, 41, "Spell Damage: 39"},
        {-20, 41, 0, 1, 60, "Spell Damage: 20"},
        // A spell critical is out of 100: 342 % 100 = 42 is below 50 (out of 200 it would be 142). Doubled to
        // -40, less trunc(0.12051 x -40) = -40 + 4.
        {-20, 50, 0, 93, 44, "Spell Damage: 36"},
        // A chance of 100 always doubles, 0 never does (both with the second draw 17422: less trunc(-0.63)).
        {-20, 100, 0, 7, 40, "Spell Damage: 40"},
        {-20, 0, 0, 7, 60, "Spell Damage: 20"},
        // A heal of 10 with resistance 50: 10 less trunc(0.53179 x 10) = 5.
        {10, 0, 50, 1, 85, "5 Damage Healed"},
    };
    for (const Case& c : cases) {
        target->RulesForSetUp().stats.health = 80;
        target->RulesForSetUp().attributes.holyResistance = c.resistance;
        caster->RulesForSetUp().attributes.criticalChance = c.critical;
        const SpellDefinition ability = Spell(EffectType::HEALTH, c.base);
        Cast(ability, c.seed);
        EXPECT_EQ(target->Rules().stats.health, c.health) << c.text;
        EXPECT_EQ(target->Text()->text, c.text);
        EXPECT_EQ(ability.amount, c.base);
    }
}

TEST_F(SpellEffectTest, ResistanceOf101InvertsOnlyItsOwnSchool)
{
    struct School {
        SpellSchool school;
        int32_t UnitRulesState::Attributes::*resistance;
    };
    const School schools[] = {{SpellSchool::HOLY, &UnitRulesState::Attributes::holyResistance},
                              {SpellSchool::SHADOW, &UnitRulesState::Attributes::shadowResistance},
                              {SpellSchool::NATURE, &UnitRulesState::Attributes::natureResistance},
                              {SpellSchool::ARCANE, &UnitRulesState::Attributes::arcaneResistance}};
    for (const School& s : schools) {
        // Every other school resists 100: a mix-up of the schools would heal 1 instead of 40.
        for (const School& other : schools)
            target->RulesForSetUp().attributes.*other.resistance = 100;
        target->RulesForSetUp().attributes.*s.resistance = 101;
        target->RulesForSetUp().stats.health = 50;
        Cast(Spell(EffectType::HEALTH, -40, 0, s.school), 1);
        EXPECT_EQ(target->Rules().stats.health, 90) << static_cast<int>(s.school);
        EXPECT_EQ(target->Text()->text, "40 Damage Healed");
        ExpectColour(*target->Text(), 1.0f, 1.0f, 0.0f, 1.0f);
        // An inverted school rolls no share: the next draw is still the seed's second.
        EXPECT_EQ(Rand(), 18467);

        // 101 in every other school: the damage goes through with the ordinary roll.
        for (const School& other : schools)
            target->RulesForSetUp().attributes.*other.resistance = 101;
        target->RulesForSetUp().attributes.*s.resistance = 0;
        target->RulesForSetUp().stats.health = 100;
        Cast(Spell(EffectType::HEALTH, -40, 0, s.school), 1);
        EXPECT_EQ(target->Rules().stats.health, 61) << static_cast<int>(s.school);
    }

    // An inverted heal harms, and counts as damage dealt.
    target->RulesForSetUp().attributes.holyResistance = 101;
    target->RulesForSetUp().stats.health = 100;
    Cast(Spell(EffectType::HEALTH, 30), 1);
    EXPECT_EQ(target->Rules().stats.health, 70);
    EXPECT_EQ(target->Text()->text, "Spell Damage: 30");
    ExpectColour(*target->Text(), 1.0f, 0.0f, 0.0f, 1.0f);
}

TEST_F(SpellEffectTest, EachTypeChangesItsStatisticWithItsMessage)
{
    struct Case {
        EffectType type;
        int amount;
        std::function<int(Unit&)> stat;
        int after;
        const char* text;
        float r, g, b, a;
    };
    // Seed 7 draws 61 (no critical) and 17422: a share of 0.01585, which truncates to nothing for these sizes.
    const Case cases[] = {
        {EffectType::HEALTH, 10, [](Unit& u) { return u.Rules().stats.health; }, 60, "10 Damage Healed", 1, 1, 0, 1},
        {EffectType::HEALTH, -10, [](Unit& u) { return u.Rules().stats.health; }, 40, "Spell Damage: 10", 1, 0, 0, 1},
        {EffectType::MANA, 10, [](Unit& u) { return u.Rules().stats.mana; }, 30, "10 Points of Mana Regained", 1, 0, 1,
         1},
        {EffectType::MANA, -10, [](Unit& u) { return u.Rules().stats.mana; }, 10, "10 Points of Mana Drained", 1, 0, 1,
         1},
        {EffectType::INITIATIVE, 10, [](Unit& u) { return u.Rules().turn.initiative; }, 60,
         "10 Points of Initiative Gained", 1, 1, 0, 1},
        {EffectType::INITIATIVE, -10, [](Unit& u) { return u.Rules().turn.initiative; }, 40,
         "10 Points of Initiative Lost", 1, 1, 0, 1},
        {EffectType::MOVEMENT_RADIUS, 2, [](Unit& u) { return u.Rules().stats.movementRadius; }, 6,
         "Movement Radius Increased by 2", 1, 1, 1, 1},
        // A radius never goes below 0, but the message shows the roll.
        {EffectType::MOVEMENT_RADIUS, -6, [](Unit& u) { return u.Rules().stats.movementRadius; }, 0,
         "Movement Radius Decreased by 6", 1, 1, 1, 1},
        {EffectType::STR, 3, [](Unit& u) { return u.Rules().stats.strength; }, 13, "Strength Raised by 3", 1, 0, 1, 1},
        {EffectType::STR, -3, [](Unit& u) { return u.Rules().stats.strength; }, 7, "Strength Lowered by 3", 1, 0, 1, 1},
        {EffectType::AGILLY, -4, [](Unit& u) { return u.Rules().stats.agility; }, 6, "Agility Lowered by 4", 0.25f, 1,
         0, 1},
        {EffectType::INTELLI, 4, [](Unit& u) { return u.Rules().stats.intelligence; }, 9, "Intelligence Raised by 4", 1,
         0.25f, 1, 1},
        // A miss chance raised on the target makes its own attacks miss more.
        {EffectType::MISS_MORE, 10, [](Unit& u) { return u.Rules().attributes.missChance; }, 15,
         "Hit Chance Increased by 10%", 1, 1, 0.25f, 1},
        {EffectType::MISS_MORE, -3, [](Unit& u) { return u.Rules().attributes.missChance; }, 2,
         "Hit Chance Decreased by 3%", 1, 1, 0.25f, 1},
        {EffectType::MISS_MORE, 0, [](Unit& u) { return u.Rules().attributes.missChance; }, 5, "Spell Damage: 0", 1, 1,
         0.25f, 1},
        {EffectType::DEFEND_FREE, 0, [](Unit& u) { return u.Rules().stats.actionPoints; }, 10, "Camouflaged For 1 Turn",
         0.1f, 0.85f, 0, 1},
        {EffectType::PHALANX, 0, [](Unit& u) { return u.Rules().stats.actionPoints; }, 0, "Spell Damage: 0", 0, 0, 0,
         0},
        {EffectType::CRITICAL_MORE, 10, [](Unit& u) { return u.Rules().attributes.criticalChance; }, 45,
         "Chance to Critical Increased by 10%", 0.25f, 0, 1, 1},
        {EffectType::CRITICAL_MORE, -10, [](Unit& u) { return u.Rules().attributes.criticalChance; }, 25,
         "Chance to Critical Decreased by 10%", 0.25f, 0, 1, 1},
        {EffectType::AP_BONUS, -2, [](Unit& u) { return u.Rules().stats.maxActionPoints; }, 8, "2 Action Points Lost",
         0, 1, 0.25f, 1},
        {EffectType::AP_BONUS, 3, [](Unit& u) { return u.Rules().stats.actionPoints; }, 13, "3 Action Points Gained", 0,
         1, 0.25f, 1},
        {EffectType::INVINCIBLE, 0, [](Unit& u) { return u.Rules().stats.health; }, 50, "Invincible for 1 turn.", 1, 1,
         0, 1},
    };
    for (const Case& c : cases) {
        TestUnit* on = Make(second, 14, 14);
        on->RulesForSetUp().stats.health = 50;
        on->RulesForSetUp().stats.mana = 20;
        on->RulesForSetUp().stats.movementRadius = 4;
        on->RulesForSetUp().stats.agility = 10;
        on->Text()->text = "unset";
        Cast(Spell(c.type, c.amount), 7, caster, on);
        EXPECT_EQ(c.stat(*on), c.after) << c.text;
        EXPECT_EQ(on->Text()->text, c.text);
        ExpectColour(*on->Text(), c.r, c.g, c.b, c.a);
        EXPECT_EQ(on->Text()->fontHeight, 24);
        EXPECT_GE(on->Text()->restarts, 1);
        // Without a duration nothing lasts.
        EXPECT_TRUE(on->Rules().timedEffects.empty()) << c.text;
        EXPECT_EQ(on->GetState(), IDLE) << c.text;
        second.RemoveUnit(on);
    }
    // Every amount counts for the caster's side as its magnitude.
    EXPECT_EQ(first.GetStatistic(Statistic::SPELL_AMOUNT),
              10 + 10 + 10 + 10 + 10 + 10 + 2 + 6 + 3 + 3 + 4 + 4 + 10 + 3 + 10 + 10 + 2 + 3);
    // Damage dealt counts only the harm to health.
    EXPECT_EQ(first.GetStatistic(Statistic::DAMAGE_DEALT), 10);
    EXPECT_EQ(second.GetStatistic(Statistic::SPELL_AMOUNT), 0);
}

TEST_F(SpellEffectTest, InvincibilityStartsItsEmitterAndIgnoresHealthButNotTheRest)
{
    TestUnit* shielded = Make(second, 14, 14);
    Cast(Spell(EffectType::INVINCIBLE, 0, 1), 7, caster, shielded);
    ASSERT_NE(shielded->Presentation().emitters[UnitPresentation::EMITTER_INVINCIBLE], nullptr);
    EXPECT_TRUE(shielded->Presentation().emitters[UnitPresentation::EMITTER_INVINCIBLE]->emitting);
    EXPECT_TRUE(shielded->HasActiveEffect(EffectType::INVINCIBLE));

    GiveEffect(*target, EffectType::INVINCIBLE, 1);
    target->RulesForSetUp().stats.health = 100;
    target->RulesForSetUp().stats.mana = 50;
    const SpellDefinition harm = Spell(EffectType::HEALTH, -40, 3);
    SpellDefinition touch = Spell(EffectType::HEALTH, -1);
    touch.name = "Assassin's Touch";
    for (const SpellDefinition& ability : {harm, touch}) {
        Cast(ability, 1);
        EXPECT_EQ(target->Rules().stats.health, 100);
        EXPECT_EQ(target->Text()->text, "Magic Shield Blocks All!");
        EXPECT_EQ(target->Rules().timedEffects.size(), 1u);
        EXPECT_EQ(target->GetState(), IDLE);
    }
    EXPECT_EQ(harm.amount, -40);
    EXPECT_EQ(first.GetStatistic(Statistic::DAMAGE_DEALT), 0);
    EXPECT_EQ(first.GetStatistic(Statistic::SPELL_AMOUNT), 0);

    Cast(Spell(EffectType::MANA, -10, 0, SpellSchool::ARCANE), 7);
    EXPECT_EQ(target->Rules().stats.mana, 40);
    EXPECT_EQ(target->Text()->text, "10 Points of Mana Drained");
    EXPECT_EQ(first.GetStatistic(Statistic::SPELL_AMOUNT), 10);
}

TEST_F(SpellEffectTest, HealIsClampedButShowsTheRoll)
{
    target->RulesForSetUp().stats.health = 90;
    Cast(Spell(EffectType::HEALTH, 30), 7);
    EXPECT_EQ(target->Rules().stats.health, 100);
    EXPECT_EQ(target->Text()->text, "30 Damage Healed");
    EXPECT_EQ(first.GetStatistic(Statistic::SPELL_AMOUNT), 30);
    EXPECT_EQ(first.GetStatistic(Statistic::DAMAGE_DEALT), 0);
}

TEST_F(SpellEffectTest, LastingEffectKeepsARecordWithItsArrowAndTint)
{
    struct Case {
        EffectType type;
        int amount;
        const char* name;
        bool arrowDown;
        bool key0Set;
        float k0[3];
        float k1[3];
        const char* text;
    };
    const Case cases[] = {
        {EffectType::HEALTH, -10, "Test Spell", true, false, {}, {255, 0, 0}, "Spell Damage: 10"},
        {EffectType::HEALTH, 10, "Test Spell", false, false, {}, {255, 0, 0}, "10 Damage Healed"},
        {EffectType::HEALTH, -10, "Poison Arrow", true, true, {255, 255, 0}, {0, 255, 0}, "Poisoned"},
        {EffectType::MANA, -10, "Test Spell", true, false, {}, {0, 0, 255}, "10 Points of Mana Drained"},
        {EffectType::MOVEMENT_RADIUS, 2, "Test Spell", false, false, {}, {0, 255, 0}, "Movement Radius Increased by 2"},
        {EffectType::STR, -3, "Test Spell", true, false, {}, {255, 255, 0}, "Strength Lowered by 3"},
        {EffectType::MISS_MORE, -3, "Test Spell", true, false, {}, {113, 54, 137}, "Hit Chance Decreased by 3%"},
        {EffectType::CRITICAL_MORE,
         10,
         "Test Spell",
         false,
         false,
         {},
         {255, 164, 0},
         "Chance to Critical Increased by 10%"},
        {EffectType::AP_BONUS, -2, "Test Spell", true, false, {}, {255, 255, 255}, "2 Action Points Lost"},
        {EffectType::DEFEND_FREE, 0, "Test Spell", false, true, {255, 0, 255}, {0, 255, 255}, "Camouflaged For 1 Turn"},
    };
    for (const Case& c : cases) {
        TestUnit* on = Make(second, 14, 14);
        on->RulesForSetUp().stats.health = 50;
        on->RulesForSetUp().stats.movementRadius = 4;
        SpellDefinition ability = Spell(c.type, c.amount, 3);
        ability.name = c.name;
        Cast(ability, 7, caster, on);
        EXPECT_EQ(on->Text()->text, c.text);
        ASSERT_EQ(on->Rules().timedEffects.size(), 1u) << c.text;
        const TimedEffect& effect = on->Rules().timedEffects[0];
        EXPECT_EQ(effect.type, c.type);
        EXPECT_EQ(effect.turns, 3);
        EXPECT_EQ(effect.amount, c.amount);
        EXPECT_TRUE(effect.active);
        // Cast by another unit: it ticks as the target's turns end.
        EXPECT_EQ(effect.phase, TimedEffect::PHASE_TURN_END);
        ASSERT_NE(effect.quad, nullptr);
        ASSERT_NE(effect.emitter, nullptr);
        EXPECT_TRUE(effect.emitter->emitting);
        EXPECT_EQ(effect.quad->fadeState, c.type == EffectType::DEFEND_FREE ? 1 : 0) << c.text;
        EXPECT_FLOAT_EQ(effect.quad->vTop, c.arrowDown ? 1.0f : 0.0f) << c.text;
        EXPECT_FLOAT_EQ(effect.quad->vBottom, c.arrowDown ? 0.0f : 1.0f) << c.text;
        if (c.key0Set)
            ExpectKey(*effect.emitter, 0, c.k0[0], c.k0[1], c.k0[2]);
        else
            ExpectKey(*effect.emitter, 0, 255, 255, 255);
        ExpectKey(*effect.emitter, 1, c.k1[0], c.k1[1], c.k1[2]);
        second.RemoveUnit(on);
    }
}

TEST_F(SpellEffectTest, RecordsSaveTheStatisticAndMerge)
{
    // Cast on another: saved is the health before, the record ticks at turn ends.
    target->RulesForSetUp().stats.health = 80;
    Cast(Spell(EffectType::HEALTH, -10, 3), 7);
    ASSERT_EQ(target->Rules().timedEffects.size(), 1u);
    EXPECT_EQ(target->Rules().timedEffects[0].saved, 80);
    EXPECT_EQ(target->Rules().stats.health, 70);
    // Ticks of the other phase leave it alone; its own phase applies the amount again.
    target->TimedEffects().TickEffects(TimedEffect::PHASE_TURN_BEGIN);
    EXPECT_EQ(target->Rules().stats.health, 70);
    target->TimedEffects().TickEffects(TimedEffect::PHASE_TURN_END);
    EXPECT_EQ(target->Rules().stats.health, 60);
    EXPECT_EQ(target->Rules().timedEffects[0].turns, 2);

    // A second one of the type applies its amount once and adds its turns to the first record.
    Cast(Spell(EffectType::HEALTH, -10, 4), 7);
    ASSERT_EQ(target->Rules().timedEffects.size(), 1u);
    EXPECT_EQ(target->Rules().timedEffects[0].turns, 6);
    EXPECT_EQ(target->Rules().timedEffects[0].saved, 80);
    EXPECT_EQ(target->Rules().stats.health, 50);

    // Given to oneself: it ticks as one's own turns begin, and saves the maximum for action points.
    Cast(Spell(EffectType::AP_BONUS, 2, 2), 7, caster, caster);
    ASSERT_EQ(caster->Rules().timedEffects.size(), 1u);
    EXPECT_EQ(caster->Rules().timedEffects[0].phase, TimedEffect::PHASE_TURN_BEGIN);
    EXPECT_EQ(caster->Rules().timedEffects[0].saved, 10);
    EXPECT_EQ(caster->Rules().stats.maxActionPoints, 12);
    EXPECT_EQ(caster->Text()->text, "2 Action Points Gained");
}

TEST_F(SpellEffectTest, AssassinsTouchKillsTheWeakAndCripplesTheStrong)
{
    SpellDefinition touch = Spell(EffectType::HEALTH, -5);
    touch.name = "Assassin's Touch";
    TestUnit* strong = Make(second, 14, 14, 15);
    strong->RulesForSetUp().stats.health = 150;
    Cast(touch, 7, caster, strong);
    EXPECT_EQ(strong->Rules().stats.health, 1);
    EXPECT_EQ(strong->Text()->text, "Spell Damage: 149");
    EXPECT_EQ(strong->GetState(), IDLE);
    EXPECT_EQ(first.GetStatistic(Statistic::DAMAGE_DEALT), 149);
    EXPECT_EQ(first.GetStatistic(Statistic::SPELL_AMOUNT), 149);

    target->RulesForSetUp().stats.health = 60;
    Cast(touch, 7);
    EXPECT_EQ(target->Rules().stats.health, 0);
    EXPECT_EQ(target->Text()->text, "Spell Damage: 60");
    EXPECT_EQ(target->GetState(), DEAD);
    EXPECT_FALSE(target->Rules().turn.alive);
    EXPECT_EQ(first.GetStatistic(Statistic::KILLS), 1);
    EXPECT_EQ(first.GetStatistic(Statistic::DAMAGE_DEALT), 209);
    EXPECT_EQ(hud.removed, std::vector<BoardUnit*>{target});
    EXPECT_EQ(touch.amount, -5);
}

TEST_F(SpellEffectTest, DeathBySpellHappensOnce)
{
    target->RulesForSetUp().stats.health = 30;
    Cast(Spell(EffectType::HEALTH, -40), 7);
    EXPECT_EQ(target->Rules().stats.health, 0);
    EXPECT_EQ(target->GetState(), DEAD);
    EXPECT_EQ(target->GetHex(), nullptr);
    // The corpse struck again is credited to nobody and dropped from nothing a second time.
    Cast(Spell(EffectType::HEALTH, -40), 7);
    EXPECT_EQ(target->GetState(), DEAD);
    EXPECT_EQ(first.GetStatistic(Statistic::KILLS), 1);
    EXPECT_EQ(hud.removed.size(), 1u);
}

TEST_F(SpellEffectTest, DyingEndsTheStance)
{
    // A defender's zone is given back.
    target->RulesForSetUp().stats.actionPoints = 10;
    target->SetState(DEFENDING);
    Board(*target).ClaimDefendedHexes();
    // One row away is 110.85, inside the radius of 2 x 64 + 10.
    ASSERT_EQ(At(13, 10)->type, HEX_DEFENDED);
    target->RulesForSetUp().stats.health = 10;
    Cast(Spell(EffectType::HEALTH, -20), 7);
    EXPECT_EQ(target->GetState(), DEAD);
    EXPECT_EQ(At(13, 10)->type, HEX_OPEN);

    // A focusing unit's focus ends: its strength is its base again.
    TestUnit* focused = Make(second, 14, 14);
    focused->SetState(FOCUSING);
    ASSERT_EQ(focused->Rules().stats.strength, 12);
    focused->RulesForSetUp().stats.health = 10;
    Cast(Spell(EffectType::HEALTH, -20), 7, caster, focused);
    EXPECT_EQ(focused->GetState(), DEAD);
    EXPECT_EQ(focused->Rules().stats.strength, 10);
    EXPECT_FALSE(focused->Presentation().emitters[UnitPresentation::EMITTER_FOCUS]->emitting);
    EXPECT_EQ(first.GetStatistic(Statistic::KILLS), 2);
}

TEST_F(SpellEffectTest, PhalanxTakesTheStanceButNotForTheDead)
{
    const int requests = session.nextTurnRequests;
    Cast(Spell(EffectType::PHALANX, 0, 2), 7);
    EXPECT_EQ(target->GetState(), DEFENDING);
    EXPECT_EQ(target->Rules().stats.actionPoints, 0);
    // The stance of a phalanx ends no turn.
    EXPECT_EQ(session.nextTurnRequests, requests);
    const float alpha = target->Text()->colour.w;
    EXPECT_FLOAT_EQ(alpha, 0.0f);

    // Killed while the phalanx lasts, the unit stays dead.
    TestUnit* other = Make(second, 14, 14);
    GiveEffect(*other, EffectType::PHALANX, 3);
    other->RulesForSetUp().stats.health = 10;
    Cast(Spell(EffectType::HEALTH, -20), 7, caster, other);
    EXPECT_EQ(other->GetState(), DEAD);
    EXPECT_FALSE(other->Rules().turn.alive);
}

TEST_F(SpellEffectTest, CastTimeChoosesTheEmittersLeftOnTheTarget)
{
    struct Case {
        float castTime;
        size_t count;
    };
    const Case cases[] = {{-1.0f, 2}, {0.5f, 1}, {0.0f, 0}};
    for (const Case& c : cases) {
        target->Presentation().effectEmitters.clear();
        SpellDefinition ability = Spell(EffectType::MANA, 1);
        ability.secondEmitters = {"hitEmitter.txt", "burstEmitter.txt"};
        ability.thirdEmitters = {"buffEmitter.txt"};
        ability.castTime = c.castTime;
        Cast(ability, 7);
        EXPECT_EQ(target->Presentation().effectEmitters.size(), c.count) << c.castTime;
    }
}

} // namespace
