#pragma once
// Real units on the null device, owned by two real players, with the layers above replaced by the recording
// fakes of the board tests and a combat-text factory whose labels remember what they were told.

#include "BoardFakes.h"

#include "battle/CombatText.h"
#include "battle/Unit.h"
#include "core/Random.h"
#include "scene/DecalManager.h"
#include "scene/ParticleEmitter.h"
#include "scene/ParticleManager.h"
#include "scene/WorldQuad.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

class FakeCombatText : public CombatText
{
public:
    FakeCombatText(float x, float y) : x(x), y(y) { }

    void SetText(const std::string& value) override { text = value; }
    void SetFontHeight(int height) override { fontHeight = height; }
    void SetColour(float red, float green, float blue, float alpha) override
    {
        colour = D3DXVECTOR4(red, green, blue, alpha);
    }
    void Restart() override { ++restarts; }
    void SetX(float value) override { x = value; }
    void Queue() override { ++queued; }
    void SetVisible(bool value) override { visible = value; }
    void OnLostDevice() override { }
    void OnResetDevice() override { }

    float x;
    float y;
    std::string text = "unset";
    int fontHeight = 24;
    D3DXVECTOR4 colour{0.0f, 0.0f, 0.0f, 0.0f};
    int restarts = 0;
    int queued = 0;
    bool visible = true;
};

// A unit of no class: the rules of the unit alone, with every spell effect it receives recorded before it
// takes effect.
class TestUnit : public Unit
{
public:
    using Unit::InitStats;

    void ApplySpellEffect(BoardUnit* caster, const SpellDefinition& ability) override
    {
        spellCasters.push_back(caster);
        spellAmounts.push_back(ability.amount);
        Unit::ApplySpellEffect(caster, ability);
    }

    FakeCombatText* Text() const { return static_cast<FakeCombatText*>(Presentation().labels[1].get()); }

    std::vector<BoardUnit*> spellCasters;
    std::vector<int> spellAmounts;
};

// The unit as the board and the players see it, and as its rule areas see it.
inline BoardUnit& Board(Unit& unit)
{
    return unit;
}
inline UnitRulesHost& Host(Unit& unit)
{
    return unit;
}

inline std::unique_ptr<CombatText> MakeFakeCombatText(float x, float y)
{
    return std::make_unique<FakeCombatText>(x, y);
}

inline std::unique_ptr<BoardUnit> MakeTestUnit()
{
    return std::make_unique<TestUnit>();
}

class UnitTest : public BoardTest
{
protected:
    void SetUp() override
    {
        BoardTest::SetUp();
        CombatText::SetFactory(MakeFakeCombatText);
        first.team = 0;
        second.team = 1;
        session.players[0] = &first;
        session.players[1] = &second;
        Srand(1);
    }
    void TearDown() override
    {
        session.players[0] = session.players[1] = nullptr;
        first.DeleteUnits();
        second.DeleteUnits();
        CombatText::SetFactory(nullptr);
        DecalManager::ResetForTests();
        ParticleManager::ResetForTests();
        BoardTest::TearDown();
    }

    // A unit of the player at (row, col) with the given strength and intelligence and full action points.
    TestUnit* Make(Player& player, int row, int col, int strength = 10, int intelligence = 5, int ap = 10)
    {
        BoardUnit::SetFactory(MakeTestUnit);
        auto* unit = static_cast<TestUnit*>(player.CreateUnit("Militia.txt", row, col));
        BoardUnit::SetFactory(nullptr);
        UnitStats values;
        values.strength = values.baseStrength = strength;
        values.intelligence = values.baseIntelligence = intelligence;
        values.actionPoints = values.maxActionPoints = ap;
        values.meleeRange = 1;
        values.defendRadius = 2;
        unit->InitStats(values);
        return unit;
    }

    // An active effect of the type on the unit, lasting the given turns, ticking at the end of its turns.
    static void GiveEffect(Unit& unit, EffectType type, int turns = 3, int amount = 0)
    {
        TimedEffect effect = UnitTimedEffects::CreateTimedEffect();
        effect.type = type;
        effect.turns = turns;
        effect.amount = amount;
        unit.TimedEffects().AddTimedEffect(effect);
    }

    static void Advance(float seconds) { DataManager::Get()->AdvanceTime(seconds); }

    Player first;
    Player second;
    FakeSession session;
    FakePointer pointer;
    FakeHud hud;
    FakeView view;
};
