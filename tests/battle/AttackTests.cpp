// Attacks: target checks, the roll at the attack start, the wind-up, the defence roll and the blow landing.
//
// Scripted draws come from the generator's recurrence state = state x 214013 + 2531011, draw = (state >> 16) &
// 0x7fff, worked out by hand from each seed; the comments give the draws that matter.
#include "UnitFixture.h"

#include <gtest/gtest.h>

namespace {

constexpr float kTolerance = 1e-4f;

class AttackTest : public UnitTest
{
protected:
    void SetUp() override
    {
        UnitTest::SetUp();
        attacker = Make(first, 10, 10);
        target = Make(second, 11, 10);
        target->RulesForSetUp().stats.health = target->RulesForSetUp().stats.maxHealth = 1000;
    }

    // The target's roll against an attacker whose damage is d and who never misses.
    DefenceOutcome Roll(float d, AttackKind kind = AttackKind::NORMAL)
    {
        attacker->RulesForSetUp().command.damage = d;
        attacker->RulesForSetUp().attributes.missChance = -1000;
        return target->Combat().DefenceRoll(attacker, kind);
    }

    TestUnit* attacker = nullptr;
    TestUnit* target = nullptr;
};

TEST_F(AttackTest, DefenceReducesDamageByLevelStanceAndArmour)
{
    struct Case {
        RatingLevel level;
        UnitState state;
        ArmourType armour;
        float damage;
        DefenceOutcome outcome;
    };
    const Case cases[] = {
        {RatingLevel::LOW, IDLE, ArmourType::CLOTH, 7.0f, DefenceOutcome::HIT},
        {RatingLevel::MEDIUM, IDLE, ArmourType::CLOTH, 4.0f, DefenceOutcome::HIT},
        {RatingLevel::HIGH, IDLE, ArmourType::CLOTH, 1.0f, DefenceOutcome::HIT},
        // Stance and armour help only a target without a level.
        {RatingLevel::LOW, DEFENDING, ArmourType::FULLPLATE, 7.0f, DefenceOutcome::HIT},
        {RatingLevel::NONE, IDLE, ArmourType::CLOTH, 9.5f, DefenceOutcome::HIT},
        {RatingLevel::NONE, IDLE, ArmourType::LEATHER, 9.0f, DefenceOutcome::HIT},
        {RatingLevel::NONE, IDLE, ArmourType::SCALEMAIL, 8.5f, DefenceOutcome::HIT},
        {RatingLevel::NONE, IDLE, ArmourType::CHAINMAIL, 8.0f, DefenceOutcome::HIT},
        {RatingLevel::NONE, IDLE, ArmourType::HALFPLATE, 7.5f, DefenceOutcome::HIT},
        {RatingLevel::NONE, IDLE, ArmourType::FULLPLATE, 7.0f, DefenceOutcome::HIT},
        // 10 - trunc(4.0) = 6, then 6 - 0.3 x 6 = 4.2.
        {RatingLevel::NONE, DEFENDING, ArmourType::FULLPLATE, 4.2f, DefenceOutcome::HIT},
        // 10 x 1.5 = 15, then 15 x 0.4 = 6, and a normal blow on a focusing target hits hard.
        {RatingLevel::MEDIUM, FOCUSING, ArmourType::CLOTH, 6.0f, DefenceOutcome::HIT_HARD},
        {RatingLevel::INVERTED, DEFENDING, ArmourType::FULLPLATE, -10.0f, DefenceOutcome::HIT},
    };
    int dealt = 0;
    for (const Case& c : cases) {
        target->RulesForSetUp().attributes.resistanceLevel = c.level;
        target->RulesForSetUp().turn.state = c.state;
        target->RulesForSetUp().attributes.armour = c.armour;
        EXPECT_EQ(Roll(10.0f), c.outcome) << static_cast<int>(c.level) << " " << c.state;
        EXPECT_EQ(target->Rules().command.defenceOutcome, c.outcome);
        EXPECT_NEAR(attacker->Rules().command.damage, c.damage, kTolerance)
            << static_cast<int>(c.level) << " " << c.state;
        dealt += std::abs(static_cast<int>(c.damage));
    }
    EXPECT_EQ(first.GetStatistic(Statistic::DAMAGE_DEALT), dealt);
}

TEST_F(AttackTest, ArmourAndSizeTables)
{
    EXPECT_FLOAT_EQ(UnitCombat::ArmourReduction(static_cast<ArmourType>(6)), 0.0f);
    struct Case {
        int agility;
        SizeCategory size;
        int dodge;
    };
    const Case cases[] = {
        {181, SizeCategory::FINE, 90},   {20, SizeCategory::MEDIUM, 9},        {20, SizeCategory::LARGE, 9},
        {-7, SizeCategory::MEDIUM, -4},  {-7, SizeCategory::SMALL, -2},        {0, SizeCategory::DIMINUTIVE, 4},
        {0, SizeCategory::TINY, 2},      {0, SizeCategory::GIANT, -2},         {0, SizeCategory::GARGANTUAN, -4},
        {0, SizeCategory::COLOSSAL, -8}, {3, static_cast<SizeCategory>(9), 1},
    };
    for (const Case& c : cases) {
        target->RulesForSetUp().stats.agility = c.agility;
        target->RulesForSetUp().attributes.size = c.size;
        EXPECT_EQ(target->Combat().DodgeChance(), c.dodge) << c.agility << " " << static_cast<int>(c.size);
    }
}

TEST_F(AttackTest, ShieldedWithoutAnAttackerOrAgainstInvincibility)
{
    EXPECT_EQ(target->Combat().DefenceRoll(nullptr, AttackKind::NORMAL), DefenceOutcome::SHIELDED);
    EXPECT_EQ(target->Combat().DefenceRoll(target, AttackKind::NORMAL), DefenceOutcome::SHIELDED);
    GiveEffect(*target, EffectType::INVINCIBLE);
    target->RulesForSetUp().turn.state = FOCUSING;
    EXPECT_EQ(Roll(10.0f, AttackKind::CRITICAL), DefenceOutcome::SHIELDED);
    EXPECT_FLOAT_EQ(attacker->Rules().command.damage, 10.0f);
    EXPECT_EQ(first.GetStatistic(Statistic::CRITICAL_HITS), 0);
}

TEST_F(AttackTest, MissWhenChanceSpreadAndDodgeExceedTheRoll)
{
    // Agility 20 and medium size dodge 9; the attacker's miss chance is 5.
    target->RulesForSetUp().stats.agility = 20;
    struct Case {
        unsigned seed;
        DefenceOutcome outcome;
        float damage;
    };
    const Case cases[] = {
        // Draws 1713 (r = 13) and 16628 (spread trunc(0.07) = 0): 5 + 0 + 9 > 13.
        {513, DefenceOutcome::MISS, 0.0f},
        // Draws 1514 (r = 14) and 16335 (spread trunc(-0.02) = 0): 14 is not above 14.
        {452, DefenceOutcome::HIT, 9.5f},
    };
    for (const Case& c : cases) {
        attacker->RulesForSetUp().command.damage = 10.0f;
        attacker->RulesForSetUp().attributes.missChance = 5;
        Srand(c.seed);
        EXPECT_EQ(target->Combat().DefenceRoll(attacker, AttackKind::NORMAL), c.outcome) << c.seed;
        EXPECT_NEAR(attacker->Rules().command.damage, c.damage, kTolerance);
    }
}

TEST_F(AttackTest, CriticalsNeverMissAndCountEvenWhenTheyKill)
{
    target->RulesForSetUp().stats.agility = 181;
    target->RulesForSetUp().attributes.size = SizeCategory::FINE;
    attacker->RulesForSetUp().attributes.missChance = 100;
    attacker->RulesForSetUp().command.damage = 10.0f;
    EXPECT_EQ(target->Combat().DefenceRoll(attacker, AttackKind::CRITICAL), DefenceOutcome::HIT_HARD);
    target->RulesForSetUp().stats.health = 5;
    attacker->RulesForSetUp().command.damage = 10.0f;
    EXPECT_EQ(target->Combat().DefenceRoll(attacker, AttackKind::ACE_CRITICAL), DefenceOutcome::KILLING_BLOW);
    EXPECT_EQ(first.GetStatistic(Statistic::CRITICAL_HITS), 2);
}

TEST_F(AttackTest, KillingBlowWhenTheDamageReachesTheHealth)
{
    target->RulesForSetUp().attributes.armour = static_cast<ArmourType>(6);
    target->RulesForSetUp().stats.health = 10;
    EXPECT_EQ(Roll(10.0f), DefenceOutcome::KILLING_BLOW);
    EXPECT_EQ(Roll(9.99f), DefenceOutcome::HIT);
    // An inverted target is healed, never killed, and the heal counts as damage dealt.
    target->RulesForSetUp().attributes.resistanceLevel = RatingLevel::INVERTED;
    target->RulesForSetUp().stats.health = 5;
    const int32_t dealtBefore = first.GetStatistic(Statistic::DAMAGE_DEALT);
    EXPECT_EQ(Roll(10.0f), DefenceOutcome::HIT);
    EXPECT_EQ(first.GetStatistic(Statistic::DAMAGE_DEALT), dealtBefore + 10);
    // Damage reduced below zero is no damage.
    target->RulesForSetUp().attributes.resistanceLevel = RatingLevel::NONE;
    Roll(-5.0f);
    EXPECT_FLOAT_EQ(attacker->Rules().command.damage, 0.0f);
}

TEST_F(AttackTest, AttackStartRollsDamageAndCritical)
{
    struct Case {
        unsigned seed;
        PrimaryAttribute primary;
        int criticalChance;
        float damage;
        AttackKind kind;
    };
    const Case cases[] = {
        // Draws 54, 28693 (spread 11.27: 20 + trunc(2.25) = 22); a chance of 0 never crits.
        {5, PrimaryAttribute::STRENGTH, 0, 22.0f, AttackKind::NORMAL},
        // Draws 218, 9057 (spread -6.71: 20 + trunc(-1.34) = 19).
        {55, PrimaryAttribute::STRENGTH, 0, 19.0f, AttackKind::NORMAL},
        // Draws 5616, 15917 (spread -0.43), 26235 (35 of 200: 35 is not above it).
        {1708, PrimaryAttribute::STRENGTH, 35, 20.0f, AttackKind::NORMAL},
        // Agility adds 8 to 2 x 10; the spread trunc(28 x -0.0043) is 0.
        {1708, PrimaryAttribute::AGILITY, 35, 28.0f, AttackKind::NORMAL},
        // 21834 gives 34 of 200, a critical; 32017 gives 17 of 100, below 35 / 2: ace, x 3.
        {5391, PrimaryAttribute::STRENGTH, 35, 60.0f, AttackKind::ACE_CRITICAL},
        // 22434 gives 34, a critical; 9618 gives 18, not below 17.5: x 2.
        {623694, PrimaryAttribute::STRENGTH, 35, 40.0f, AttackKind::CRITICAL},
        // A chance of 200 always crits and always aces; the spread comes before the multiplier.
        {5, PrimaryAttribute::STRENGTH, 200, 66.0f, AttackKind::ACE_CRITICAL},
        {55, PrimaryAttribute::STRENGTH, 200, 57.0f, AttackKind::ACE_CRITICAL},
    };
    attacker->RulesForSetUp().stats.agility = 8;
    for (const Case& c : cases) {
        attacker->RulesForSetUp().attributes.primaryAttribute = c.primary;
        attacker->RulesForSetUp().attributes.criticalChance = c.criticalChance;
        Srand(c.seed);
        attacker->Combat().BeginAttack();
        EXPECT_FLOAT_EQ(attacker->Rules().command.damage, c.damage) << c.seed;
        EXPECT_EQ(attacker->Rules().command.attackKind, c.kind) << c.seed;
        EXPECT_EQ(attacker->Rules().command.critical, c.kind != AttackKind::NORMAL);
    }
}

TEST_F(AttackTest, SlowMotionOnKillingBlowsAndHighRolls)
{
    attacker->RulesForSetUp().attributes.criticalChance = 0;
    attacker->SetTarget(target);
    GiveEffect(*target, EffectType::INVINCIBLE);
    // Seed 166 draws 580 first: 80 is not above 80.
    Srand(166);
    attacker->Combat().BeginAttack();
    EXPECT_EQ(session.slowMotionRequests, 0);
    EXPECT_FALSE(attacker->Rules().command.slowMotionRequested);
    // Seed 105 draws 381 first: 81.
    Srand(105);
    attacker->Combat().BeginAttack();
    EXPECT_EQ(session.slowMotionRequests, 1);
    EXPECT_EQ(session.slowMotionTarget, target);
    EXPECT_FLOAT_EQ(session.slowMotionDelay, 1.0f);
    EXPECT_FALSE(session.slowMotionSpellShot);
    EXPECT_TRUE(attacker->Rules().command.slowMotionRequested);

    // A killing blow always asks for it, even on a low roll.
    attacker->RulesForSetUp().command.slowMotionRequested = false;
    for (TimedEffect& effect : target->RulesForSetUp().timedEffects)
        UnitTimedEffects::ReleaseTimedEffectAttachments(effect);
    target->RulesForSetUp().timedEffects.clear();
    target->RulesForSetUp().stats.health = 1;
    attacker->RulesForSetUp().attributes.missChance = -1000;
    Srand(166);
    attacker->Combat().BeginAttack();
    EXPECT_EQ(target->Rules().command.defenceOutcome, DefenceOutcome::KILLING_BLOW);
    EXPECT_EQ(session.slowMotionRequests, 2);
}

TEST_F(AttackTest, WindUpWaitsLongerForCriticals)
{
    struct Case {
        int criticalChance;
        float wait;
    };
    const Case cases[] = {{0, 0.25f}, {200, 0.75f}};
    GiveEffect(*target, EffectType::INVINCIBLE);
    for (const Case& c : cases) {
        attacker->RulesForSetUp().attributes.criticalChance = c.criticalChance;
        attacker->RulesForSetUp().stats.actionPoints = 8;
        attacker->SetTarget(target);
        attacker->SetState(SELECTING_TARGET);
        ASSERT_TRUE(attacker->AttackCommand());
        ASSERT_EQ(attacker->GetState(), ATTACKING);
        const int attacks = first.GetStatistic(Statistic::ATTACKS);
        for (float waited = 0.125f; waited < c.wait; waited += 0.125f) {
            Advance(0.125f);
            EXPECT_FALSE(attacker->AttackWindUp()) << waited;
            EXPECT_EQ(attacker->GetState(), ATTACKING);
        }
        // Without a model the blow lands as the wind-up ends.
        Advance(0.125f);
        EXPECT_TRUE(attacker->AttackWindUp());
        EXPECT_EQ(attacker->GetState(), IDLE);
        EXPECT_EQ(attacker->Rules().stats.actionPoints, 2);
        EXPECT_EQ(first.GetStatistic(Statistic::ATTACKS), attacks + 1);
        EXPECT_EQ(attacker->GetTarget(), nullptr);
        EXPECT_FALSE(target->Rules().turn.targeted);
        EXPECT_EQ(session.ringCalls.back(), false);
    }
}

TEST_F(AttackTest, AttackWithItsTargetGoneIsCalledOff)
{
    GiveEffect(*target, EffectType::INVINCIBLE);
    attacker->RulesForSetUp().attributes.criticalChance = 0;
    attacker->SetTarget(target);
    attacker->SetState(SELECTING_TARGET);
    ASSERT_TRUE(attacker->AttackCommand());
    attacker->EndTurn();
    Advance(0.25f);
    attacker->AttackWindUp();
    EXPECT_EQ(attacker->GetState(), IDLE);
    EXPECT_EQ(attacker->Rules().stats.actionPoints, 10);
    EXPECT_EQ(first.GetStatistic(Statistic::ATTACKS), 0);
}

TEST_F(AttackTest, ResolutionChargesSixPointsAndNamesTheKind)
{
    struct Case {
        AttackKind kind;
        int ap, left;
        const char* text;
        int font;
        D3DXVECTOR4 colour;
    };
    const Case cases[] = {
        {AttackKind::NORMAL, 8, 2, "", 24, {0.0f, 0.0f, 0.0f, 0.0f}},
        {AttackKind::CRITICAL, 3, 0, "Critical Attack!", 32, {1.0f, 0.45f, 0.15f, 1.0f}},
        {AttackKind::ACE_CRITICAL, 6, 0, "Ace Critical!!!", 32, {1.0f, 0.0f, 0.0f, 1.0f}},
    };
    for (const Case& c : cases) {
        TestUnit* striker = Make(first, 20, 20);
        striker->SetTarget(target);
        striker->RulesForSetUp().turn.state = ATTACKING;
        striker->RulesForSetUp().command.attackKind = c.kind;
        striker->RulesForSetUp().stats.actionPoints = c.ap;
        target->RulesForSetUp().command.defenceOutcome = DefenceOutcome::SHIELDED;
        striker->Combat().ResolveAttack();
        EXPECT_EQ(striker->Rules().stats.actionPoints, c.left);
        EXPECT_EQ(striker->Text()->text, c.text);
        EXPECT_EQ(striker->Text()->fontHeight, c.font);
        EXPECT_EQ(striker->Text()->colour, c.colour);
        EXPECT_EQ(striker->GetState(), IDLE);
        first.RemoveUnit(striker);
    }
}

TEST_F(AttackTest, TargetCheckByDistanceAndTeam)
{
    attacker->RulesForSetUp().stats.rangedRange = 2;
    TestUnit* two = Make(second, 12, 10);
    TestUnit* three = Make(second, 13, 10);
    TestUnit* friendly = Make(first, 9, 10);
    struct Case {
        TestUnit* unit;
        int melee;
        TargetCheck check;
        const char* text;
        bool keepsTarget;
    };
    const Case cases[] = {
        // 110.85 away: within 1 x 112, and melee wins over ranged.
        {target, 1, MELEE_IN_RANGE, "", true},
        {target, 0, RANGED_IN_RANGE, "", true},
        {two, 1, RANGED_IN_RANGE, "", true},
        {three, 1, OUT_OF_RANGE, "Out of Range", false},
        {friendly, 1, OWN_TEAM, "Don't Attack Your Own Team", false},
        {attacker, 1, OWN_TEAM, "Don't Attack Your Own Team", false},
        {nullptr, 1, NO_TARGET, "No Target", false},
    };
    for (const Case& c : cases) {
        attacker->RulesForSetUp().stats.meleeRange = c.melee;
        attacker->RulesForSetUp().turn.state = SELECTING_TARGET;
        attacker->SetTarget(c.unit);
        EXPECT_EQ(attacker->CheckTarget(), c.check);
        EXPECT_EQ(attacker->Rules().command.targetCheck, c.check);
        EXPECT_EQ(attacker->Text()->text, c.text);
        EXPECT_EQ(attacker->GetTarget() != nullptr, c.keepsTarget);
    }
    // Over the HUD there is no target and nothing is said.
    pointer.overHud = true;
    attacker->SetTarget(target);
    const int hidden = hud.hideHighlight;
    EXPECT_EQ(attacker->CheckTarget(), NO_TARGET);
    EXPECT_EQ(attacker->Text()->text, "");
    EXPECT_EQ(attacker->GetTarget(), nullptr);
    EXPECT_EQ(hud.hideHighlight, hidden + 1);
    EXPECT_FALSE(attacker->AttackCommand());
}

TEST_F(AttackTest, BlowLandsByTheOutcome)
{
    struct Case {
        DefenceOutcome outcome;
        float damage;
        int health, maxHealth, after;
        const char* text;
    };
    const Case cases[] = {
        {DefenceOutcome::HIT, 10.9f, 50, 50, 40, "10 Damage Taken"},
        {DefenceOutcome::HIT, 0.9f, 50, 50, 50, "0 Damage Taken"},
        {DefenceOutcome::HIT_HARD, -10.0f, 45, 50, 50, "10 Damage Taken"},
        {DefenceOutcome::MISS, 0.0f, 50, 50, 50, "Attack Missed!"},
        {DefenceOutcome::SHIELDED, 30.0f, 50, 50, 50, ""},
    };
    for (const Case& c : cases) {
        target->RulesForSetUp().stats.health = c.health;
        target->RulesForSetUp().stats.maxHealth = c.maxHealth;
        target->RulesForSetUp().command.defenceOutcome = c.outcome;
        attacker->RulesForSetUp().command.damage = c.damage;
        EXPECT_EQ(target->Combat().TakeAttack(attacker), c.outcome);
        EXPECT_EQ(target->Rules().stats.health, c.after);
        EXPECT_EQ(target->Text()->text, c.text);
    }
    EXPECT_EQ(first.GetStatistic(Statistic::MISSES), 1);
    EXPECT_EQ(target->Text()->fontHeight, 28);

    GiveEffect(*target, EffectType::INVINCIBLE);
    target->Combat().TakeAttack(attacker);
    EXPECT_EQ(target->Text()->text, "Magic Shield Blocks All!");

    // During the slow-motion shot the target's text is left alone.
    const int restarts = target->Text()->restarts;
    attacker->RulesForSetUp().command.slowMotionRequested = true;
    target->Combat().TakeAttack(attacker);
    EXPECT_EQ(target->Text()->restarts, restarts);
}

TEST_F(AttackTest, HardHitsBreakStancesUnlessPhalanx)
{
    target->RulesForSetUp().command.defenceOutcome = DefenceOutcome::HIT_HARD;
    attacker->RulesForSetUp().command.damage = 1.0f;
    target->RulesForSetUp().turn.state = DEFENDING;
    target->Combat().TakeAttack(attacker);
    EXPECT_EQ(target->GetState(), IDLE);

    GiveEffect(*target, EffectType::PHALANX);
    target->RulesForSetUp().turn.state = DEFENDING;
    target->Combat().TakeAttack(attacker);
    EXPECT_EQ(target->GetState(), DEFENDING);

    TestUnit* focused = Make(second, 11, 11, 12);
    focused->SetState(FOCUSING);
    ASSERT_EQ(focused->Rules().stats.strength, 14);
    focused->RulesForSetUp().turn.state = FOCUSING;
    focused->RulesForSetUp().command.defenceOutcome = DefenceOutcome::HIT_HARD;
    focused->Combat().TakeAttack(attacker);
    EXPECT_EQ(focused->GetState(), IDLE);
    EXPECT_EQ(focused->Rules().stats.strength, 12);
}

TEST_F(AttackTest, KillingBlowKillsAndCounts)
{
    target->RulesForSetUp().stats.health = 8;
    target->RulesForSetUp().command.defenceOutcome = DefenceOutcome::KILLING_BLOW;
    attacker->RulesForSetUp().command.damage = 12.0f;
    Hex* stood = target->GetHex();
    EXPECT_EQ(target->Combat().TakeAttack(attacker), DefenceOutcome::KILLING_BLOW);
    EXPECT_EQ(target->Rules().stats.health, 0);
    EXPECT_EQ(target->Text()->text, "12 Damage Taken");
    EXPECT_EQ(target->GetState(), DEAD);
    EXPECT_FALSE(target->Rules().turn.alive);
    EXPECT_EQ(target->GetHex(), nullptr);
    EXPECT_EQ(stood->occupant, nullptr);
    EXPECT_EQ(first.GetStatistic(Statistic::KILLS), 1);
    EXPECT_EQ(second.GetStatistic(Statistic::KILLING_BLOWS_SUFFERED), 1);
    EXPECT_EQ(hud.removed, std::vector<BoardUnit*>{target});
    EXPECT_TRUE(second.IsDefeated());
    EXPECT_EQ(target->Presentation().healthQuad->fadeState, 1);

    // A second blow on the fallen credits no second kill.
    target->Combat().TakeAttack(attacker);
    EXPECT_EQ(first.GetStatistic(Statistic::KILLS), 1);
}

TEST_F(AttackTest, RangedBlowsFlyAsBoltsAndSomeBlowsShake)
{
    GiveEffect(*target, EffectType::INVINCIBLE);
    attacker->RulesForSetUp().attributes.criticalChance = 0;
    struct Case {
        TargetCheck check;
        bool slowMotion;
        size_t bolts;
        float shake;
    };
    // Seed 17 at the end of the wind-up draws 94 (the first attack sound) and 26602: 2 of 100, below 5.
    const Case cases[] = {
        {RANGED_IN_RANGE, false, 1, 30.0f},
        {MELEE_IN_RANGE, false, 0, 30.0f},
        {MELEE_IN_RANGE, true, 0, 0.0f},
    };
    for (const Case& c : cases) {
        ParticleManager::ResetForTests();
        session.shake = 0.0f;
        attacker->SetTarget(target);
        attacker->RulesForSetUp().turn.state = ATTACKING;
        attacker->Combat().BeginAttack();
        attacker->RulesForSetUp().command.targetCheck = c.check;
        attacker->RulesForSetUp().command.slowMotionRequested = c.slowMotion;
        Advance(0.25f);
        Srand(17);
        EXPECT_TRUE(attacker->AttackWindUp());
        EXPECT_EQ(ParticleManager::Get()->BoltCount(), c.bolts);
        EXPECT_FLOAT_EQ(session.shake, c.shake);
    }
}

TEST_F(AttackTest, DeathRestoresEffectsAndShowsTheDeathEmitters)
{
    TimedEffect weak = UnitTimedEffects::CreateTimedEffect();
    weak.type = EffectType::STR;
    weak.saved = 10;
    weak.amount = -4;
    target->TimedEffects().ApplyModifier(weak);
    target->TimedEffects().AddTimedEffect(weak);
    ASSERT_EQ(target->Rules().stats.strength, 6);
    target->RulesForSetUp().stats.health = 1;
    target->RulesForSetUp().command.defenceOutcome = DefenceOutcome::HIT;
    attacker->RulesForSetUp().command.damage = 5.0f;
    target->Combat().TakeAttack(attacker);
    ASSERT_EQ(target->GetState(), DEAD);
    EXPECT_EQ(target->Rules().stats.strength, 10);
    EXPECT_EQ(target->Presentation().emitters[UnitPresentation::EMITTER_DEATH_FIRST]->alpha, 65);
    EXPECT_EQ(target->Presentation().emitters[UnitPresentation::EMITTER_DEATH_SECOND]->alpha, 65);
    // The fallen show no bars again.
    target->Presentation().SetBarsAlpha(0);
    EXPECT_EQ(target->Presentation().frameQuad->fadeState, 1);
}

TEST_F(AttackTest, EveryLabelSitsTwelveBelowTheLastAndTheFirstIsLarger)
{
    const auto* a0 = static_cast<FakeCombatText*>(attacker->Presentation().labels[0].get());
    const auto* a1 = static_cast<FakeCombatText*>(attacker->Presentation().labels[1].get());
    const auto* t0 = static_cast<FakeCombatText*>(target->Presentation().labels[0].get());
    EXPECT_FLOAT_EQ(a0->x, 600.0f);
    EXPECT_FLOAT_EQ(a1->y - a0->y, 12.0f);
    EXPECT_FLOAT_EQ(t0->y - a1->y, 12.0f);
    EXPECT_EQ(a0->fontHeight, 36);
    EXPECT_EQ(a1->fontHeight, 24);
}

} // namespace
