// Abilities: selection, their target checks, what a cast costs, the shared cast delay and the area rules.
//
// Scripted draws come from the generator's recurrence, worked out by hand from each seed.
#include "UnitFixture.h"

#include <gtest/gtest.h>

namespace {

SpellDefinition Ability(const std::string& name, int area, int range, const std::string& target = "ENEMY")
{
    SpellDefinition ability;
    ability.name = name;
    ability.areaRadius = area;
    ability.range = range;
    ability.target = target;
    ability.usesLeft = 2;
    ability.manaCost = -20;
    ability.actionPointCost = 3;
    ability.initiativeCost = 15;
    ability.amount = 9;
    ability.castTime = 1.5f;
    return ability;
}

class AbilityTest : public UnitTest
{
protected:
    void SetUp() override
    {
        UnitTest::SetUp();
        caster = Make(first, 10, 10);
        ally = Make(first, 12, 10);
        enemy = Make(second, 13, 10);
        UnitSpellcasting::SetCastTimer(0.0f);
    }

    TargetCheck Check(const SpellDefinition& ability, TestUnit* on)
    {
        caster->RulesForSetUp().abilities = {ability};
        caster->Spellcasting().SelectAbility(ability.name);
        caster->SetTarget(on);
        return caster->CheckTarget();
    }

    TestUnit* caster = nullptr;
    TestUnit* ally = nullptr;
    TestUnit* enemy = nullptr;
};

TEST_F(AbilityTest, AbilitiesAreAddedFromTheSpellsByName)
{
    caster->Spellcasting().AddAbility("No Such Spell", 3);
    EXPECT_TRUE(caster->Rules().abilities.empty());
    const std::vector<std::string> names = DataManager::Get()->GetSpellNames();
    ASSERT_FALSE(names.empty());
    caster->Spellcasting().AddAbility(names.front(), 3);
    caster->Spellcasting().AddAbility(names.front(), 1);
    ASSERT_EQ(caster->Rules().abilities.size(), 2u);
    EXPECT_EQ(caster->Rules().abilities[0].name, names.front());
    EXPECT_EQ(caster->Rules().abilities[0].usesLeft, 3);
    EXPECT_EQ(caster->Rules().abilities[1].usesLeft, 1);
}

TEST_F(AbilityTest, SelectionTakesTheFirstOfTheName)
{
    SpellDefinition a = Ability("Heal", 0, 2);
    SpellDefinition b = Ability("Heal", 3, 4);
    caster->RulesForSetUp().abilities = {Ability("Bolt", 0, 2), a, b};
    caster->Spellcasting().SelectAbility("Heal");
    EXPECT_EQ(caster->Rules().command.selectedAbility, 1);
    EXPECT_EQ(caster->GetState(), SELECTING_ABILITY_TARGET);
    EXPECT_EQ(session.areaDecalCells, 0);
    caster->RulesForSetUp().abilities = {b};
    caster->Spellcasting().SelectAbility("Heal");
    EXPECT_EQ(session.areaDecalCells, 9);
    caster->Spellcasting().SelectAbility("heal");
    EXPECT_EQ(caster->GetSelectedAbility(), nullptr);
}

TEST_F(AbilityTest, TargetChecksInOrder)
{
    struct Case {
        SpellDefinition ability;
        TestUnit* on;
        int mana;
        TargetCheck check;
        const char* text;
        UnitState after;
    };
    const Case cases[] = {
        // Three rows away is 332.55: beyond 2 x 112, within 3 x 112.
        {Ability("Bolt", 0, 2), enemy, 50, OUT_OF_RANGE, "Out of Range", SELECTING_ABILITY_TARGET},
        {Ability("Bolt", 0, 3), enemy, 50, SPELL_ON_UNIT, "", SELECTING_ABILITY_TARGET},
        // A friend for an enemy-only spell is refused; for any other it is a target. Two rows is 221.70.
        {Ability("Bolt", 0, 2, "ENEMY"), ally, 50, OWN_TEAM, "Don't Attack Your Own Team", IDLE},
        {Ability("Mend", 0, 2, "TEAM"), ally, 50, SPELL_ON_UNIT, "", SELECTING_ABILITY_TARGET},
        {Ability("Mend", 0, 1, "TEAM"), ally, 50, OUT_OF_RANGE, "Out of Range", SELECTING_ABILITY_TARGET},
        // A later test overrides an earlier one: own team, then too little mana (20 paid as its absolute value).
        {Ability("Mend", 0, 2, "TEAM"), ally, 19, INSUFFICIENT_MANA, "Insufficient Mana", IDLE},
        {Ability("Bolt", 0, 2), nullptr, 50, NO_TARGET, "No Target", SELECTING_ABILITY_TARGET},
        {Ability("Nova", 3, 0), nullptr, 50, AREA_IN_RANGE, "", SELECTING_ABILITY_TARGET},
        {Ability("Storm", 3, 3), nullptr, 50, NO_TARGET, "No Target", SELECTING_ABILITY_TARGET},
    };
    for (const Case& c : cases) {
        caster->RulesForSetUp().turn.state = IDLE;
        caster->RulesForSetUp().stats.mana = c.mana;
        EXPECT_EQ(Check(c.ability, c.on), c.check) << c.ability.name << " " << c.text;
        EXPECT_EQ(caster->Text()->text, c.text);
        EXPECT_EQ(caster->GetState(), c.after) << c.ability.name << " " << c.text;
        EXPECT_EQ(caster->GetSelectedAbility() != nullptr, c.after != IDLE);
    }
    caster->DeselectAbility();
    caster->RulesForSetUp().turn.state = SELECTING_ABILITY_TARGET;
    EXPECT_EQ(caster->CheckTarget(), NO_SPELL);
    EXPECT_EQ(caster->Text()->text, "No Spell");

    // An area with a range looks at the hovered hex: 3 rows is 332.55, within 3 x 112.
    pointer.hovered = At(13, 10);
    EXPECT_EQ(Check(Ability("Storm", 3, 3), nullptr), AREA_IN_RANGE);
    pointer.hovered = At(14, 10);
    EXPECT_EQ(Check(Ability("Storm", 3, 3), nullptr), OUT_OF_RANGE);
}

TEST_F(AbilityTest, CastPaysManaInitiativeUseAndPoints)
{
    caster->RulesForSetUp().abilities = {Ability("Bolt", 0, 5)};
    caster->Spellcasting().SelectAbility("Bolt");
    caster->RulesForSetUp().stats.mana = 50;
    caster->RulesForSetUp().stats.actionPoints = 8;
    // Seed 51 draws 205 (5 of 200: no fizzle), then 31600 (0 of 100: no slow motion).
    Srand(51);
    UnitSpellcasting::SetCastTimer(1.0f);
    caster->CastSpell(enemy);
    EXPECT_EQ(caster->Rules().stats.mana, 30);
    EXPECT_EQ(caster->Rules().turn.initiative, 65);
    EXPECT_EQ(caster->Rules().abilities[0].usesLeft, 1);
    EXPECT_EQ(caster->Rules().stats.actionPoints, 5);
    EXPECT_EQ(caster->GetState(), CASTING);
    EXPECT_EQ(first.GetStatistic(Statistic::ABILITIES_USED), 1);
    EXPECT_EQ(session.slowMotionRequests, 0);
    // The cast starts its delay from nothing, whatever an abandoned cast left behind.
    EXPECT_FLOAT_EQ(UnitSpellcasting::GetCastTimer(), 0.0f);

    // Seed 93 draws 342 (142: no fizzle) and 24281 (81: slow motion on the target).
    caster->RulesForSetUp().turn.state = SELECTING_ABILITY_TARGET;
    Srand(93);
    caster->CastSpell(enemy);
    EXPECT_EQ(session.slowMotionRequests, 1);
    EXPECT_FLOAT_EQ(session.slowMotionDelay, 0.5f);
    EXPECT_TRUE(session.slowMotionSpellShot);
}

TEST_F(AbilityTest, RefusedCastsCostNothing)
{
    struct Case {
        int uses, mana, ap;
        const char* text;
    };
    const Case cases[] = {
        {0, 50, 8, "Ability Exhausted"},
        {2, 19, 8, "Insufficient Mana"},
        {2, 50, 2, "Insufficient Action Points"},
    };
    for (const Case& c : cases) {
        SpellDefinition ability = Ability("Bolt", 0, 5);
        ability.usesLeft = c.uses;
        caster->RulesForSetUp().abilities = {ability};
        caster->Spellcasting().SelectAbility("Bolt");
        caster->RulesForSetUp().stats.mana = c.mana;
        caster->RulesForSetUp().stats.actionPoints = c.ap;
        caster->RulesForSetUp().turn.initiative = 50;
        caster->CastSpell(enemy);
        EXPECT_EQ(caster->Text()->text, c.text);
        EXPECT_EQ(caster->Rules().stats.mana, c.mana);
        EXPECT_EQ(caster->Rules().stats.actionPoints, c.ap);
        EXPECT_EQ(caster->Rules().turn.initiative, 50);
        EXPECT_EQ(caster->GetState(), IDLE);
        EXPECT_EQ(caster->GetTarget(), nullptr);
        EXPECT_EQ(caster->GetSelectedAbility(), nullptr);
    }
}

TEST_F(AbilityTest, FizzleSpendsAllButTheUse)
{
    caster->RulesForSetUp().abilities = {Ability("Bolt", 0, 5)};
    caster->Spellcasting().SelectAbility("Bolt");
    caster->RulesForSetUp().stats.mana = 50;
    caster->RulesForSetUp().stats.actionPoints = 8;
    // Seed 112 draws 404: 4 of 200, below 5.
    Srand(112);
    caster->CastSpell(enemy);
    EXPECT_EQ(caster->Text()->text, "Spell Fizzled!");
    EXPECT_EQ(caster->Rules().stats.mana, 30);
    EXPECT_EQ(caster->Rules().turn.initiative, 65);
    EXPECT_EQ(caster->Rules().stats.actionPoints, 5);
    EXPECT_EQ(caster->Rules().abilities[0].usesLeft, 2);
    EXPECT_EQ(first.GetStatistic(Statistic::MISSES), 1);
    EXPECT_EQ(caster->GetState(), IDLE);
    EXPECT_NE(caster->GetSelectedAbility(), nullptr);
}

TEST_F(AbilityTest, AreaCastChecksRowsAndAimsAtTheHex)
{
    caster->RulesForSetUp().abilities = {Ability("Storm", 3, 2), Ability("Nova", 2, 0)};
    caster->RulesForSetUp().stats.mana = 50;
    caster->Spellcasting().SelectAbility("Storm");
    // Seed 51 draws 205 first: no fizzle.
    Srand(51);
    caster->UseAbility(At(13, 10));
    EXPECT_EQ(caster->Text()->text, "Out of Range");
    EXPECT_EQ(caster->GetState(), SELECTING_ABILITY_TARGET);
    // Only rows count: two rows and twenty columns away is in range.
    caster->UseAbility(At(12, 30));
    EXPECT_EQ(caster->Rules().command.abilityTarget, At(12, 30));
    EXPECT_EQ(caster->GetState(), CASTING);
    EXPECT_EQ(caster->Rules().abilities[0].usesLeft, 1);

    // Without a range the area is centred on the caster.
    caster->RulesForSetUp().turn.state = SELECTING_ABILITY_TARGET;
    caster->Spellcasting().SelectAbility("Nova");
    Srand(51);
    caster->UseAbility(At(12, 0));
    EXPECT_EQ(caster->Rules().command.abilityTarget, caster->GetHex());
}

TEST_F(AbilityTest, SharedDelayCountsFrameTime)
{
    caster->RulesForSetUp().abilities = {Ability("Bolt", 0, 5)};
    caster->Spellcasting().SelectAbility("Bolt");
    const bool expected[] = {false, false, true, false};
    for (bool ready : expected) {
        Advance(0.5f);
        EXPECT_EQ(caster->AbilityReady(), ready);
    }
    EXPECT_FLOAT_EQ(UnitSpellcasting::GetCastTimer(), 0.5f);

    // A projectile cast waits for its emitter to arrive, and never for an emitter that is not there.
    caster->RulesForSetUp().abilities[0].castTime = -1.0f;
    EXPECT_TRUE(caster->AbilityReady());
    UnitPresentation::AddEmitter(caster->Presentation().castEmitters, "bolt.txt", nullptr);
    EXPECT_FALSE(caster->AbilityReady());
    caster->Presentation().castEmitters[0]->arrived = true;
    EXPECT_TRUE(caster->AbilityReady());
}

// An emitter that neither arrives nor ends (a looping one from an emitter file) must not keep its caster
// casting for ever: the cast is over after the bound, whichever comes first.
TEST_F(AbilityTest, AProjectileCastThatNeverArrivesEndsAfterTheBound)
{
    caster->RulesForSetUp().abilities = {Ability("Bolt", 0, 5)};
    caster->RulesForSetUp().abilities[0].castTime = -1.0f;
    caster->Spellcasting().SelectAbility("Bolt");
    UnitSpellcasting::SetCastTimer(0.0f);
    UnitPresentation::AddEmitter(caster->Presentation().castEmitters, "bolt.txt", nullptr);
    // Ten frames of half a second: still casting through 4.5 s, over at 5.0 s.
    for (int frame = 1; frame < 10; ++frame) {
        Advance(0.5f);
        EXPECT_FALSE(caster->AbilityReady()) << frame;
    }
    Advance(0.5f);
    EXPECT_TRUE(caster->AbilityReady());
    EXPECT_FLOAT_EQ(UnitSpellcasting::GetCastTimer(), 0.0f) << "the next cast waits its own bound";
    // An emitter that arrives early ends the cast at once.
    Advance(0.5f);
    EXPECT_FALSE(caster->AbilityReady());
    caster->Presentation().castEmitters[0]->finished = true;
    EXPECT_TRUE(caster->AbilityReady());
}

TEST_F(AbilityTest, AreaReachesAStrictSquareAndWarcryHelpsFriends)
{
    TestUnit* inside = Make(second, 11, 11);
    TestUnit* edge = Make(second, 12, 11);
    TestUnit* friendInside = Make(first, 9, 9);
    caster->RulesForSetUp().command.abilityTarget = At(10, 10);
    const SpellDefinition warcry = Ability("Warcry", 2, 0);
    for (TestUnit* unit : {inside, edge, friendInside, caster})
        unit->Spellcasting().ReceiveAreaAbility(caster, warcry);
    EXPECT_EQ(inside->spellAmounts, std::vector<int>{9});
    EXPECT_TRUE(edge->spellAmounts.empty());
    EXPECT_EQ(friendInside->spellAmounts, std::vector<int>{-9});
    // With no range an enemy-only warcry still reaches its caster, once for being a warcry.
    EXPECT_EQ(caster->spellAmounts, std::vector<int>{-9});
    EXPECT_EQ(warcry.amount, 9);

    struct Case {
        int range;
        std::string target;
        size_t times;
    };
    const Case cases[] = {{1, "ENEMY", 1}, {0, "ENEMY", 0}, {0, "TEAM", 1}};
    for (const Case& c : cases) {
        caster->spellAmounts.clear();
        caster->Spellcasting().ReceiveAreaAbility(caster, Ability("Nova", 2, c.range, c.target));
        EXPECT_EQ(caster->spellAmounts.size(), c.times) << c.range << c.target;
    }

    // The dead are not reached.
    inside->RulesForSetUp().turn.alive = false;
    inside->spellAmounts.clear();
    inside->Spellcasting().ReceiveAreaAbility(caster, warcry);
    EXPECT_TRUE(inside->spellAmounts.empty());
}

} // namespace
