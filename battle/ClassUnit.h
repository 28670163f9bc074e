#pragma once
// A unit of one of the eleven classes: it reads its definition file into the unit, loads the model and the
// animations of its class, shows the visual side of its class's abilities and picks its voice and sound
// samples. Deployment and the players create every unit on the board as one of these.

#include "battle/Unit.h"
#include "battle/UnitDefinition.h"

#include <cstdint>
#include <memory>
#include <string>
#include <type_traits>

enum class UnitClass : int32_t
{
    PIKEMAN = 0,
    MILITIA = 1,
    PALADIN = 2,
    MAGE = 3,
    COMBAT_MAGE = 4,
    HEALER = 5,
    ROGUE = 6,
    ASSASSIN = 7,
    SCOUT = 8,
    KNIGHT = 9,
    ARCHER = 10
};

// While the unit has no spell effect of its own, a class unit takes spells without effect so that it can be
// made at all; once the unit applies them, this layer adds nothing and the unit's own effect runs.
template <class Base, bool = std::is_abstract_v<Base>>
class SpellTargetUnit : public Base
{ };

template <class Base>
class SpellTargetUnit<Base, true> : public Base
{
public:
    void ApplySpellEffect(BoardUnit* caster, const SpellDefinition& ability) override
    {
        (void)caster;
        (void)ability;
    }
};

class ClassUnit : public SpellTargetUnit<Unit>
{
public:
    static constexpr int CLASS_COUNT = 11;
    // The playback rate of the assassin's model.
    static constexpr float ASSASSIN_SPEED = 0.85f;
    // Ability visuals start and aim this high above the units' feet.
    static constexpr float EFFECT_HEIGHT = 100.0f;

    struct ClassInfo {
        UnitClass unitClass;
        const char* keyword;
        // Characters of the keyword that must begin the file's text; 0 when the whole text must equal it.
        size_t prefix;
        int cost;
        const char* model;
        const char* animationBase;
    };

    // The row of a class; the rows are in the order keywords are tried.
    static const ClassInfo& Info(UnitClass unitClass);
    // The first row whose keyword the text matches; false, with out unchanged, when none does.
    static bool MatchClass(const std::string& keyword, UnitClass& out);
    // The factory deployment and the players make units with.
    static std::unique_ptr<BoardUnit> Make();
    static void RegisterFactory();

    ClassUnit();

    void Load(const std::string& fileName) override;
    // Without animations (the deployment previews) the unit stays out of the battle: only its model poses.
    void LoadModel(bool withAnimations) override;
    void PlayAbilityEffect(const std::string& abilityName) override;
    void SetupVoices() override;
    // Out-of-range indices are ignored.
    void SetSound(int index, const std::string& sampleName);
    void SetVoice(int index, const std::string& sampleName);

    UnitClass GetClass() const { return unitClass; }
    // What the unit costs to deploy, and what removing it refunds.
    int GetCost() const { return cost; }

    UnitClass unitClass = UnitClass::PIKEMAN;
    CreatureType creatureType = CreatureType::HUMAN;
    // A unit whose file names no class costs what the class it keeps costs.
    int cost = 50;

private:
    void CopyDefinition(const UnitDefinition& definition);
    // Where an ability's visuals go: the target unit, else the target hex; false with neither.
    bool AimPoint(D3DXVECTOR3& aim) const;
    void SpawnShot(const D3DXVECTOR3& source, const D3DXVECTOR3& aim, const D3DXVECTOR3& colour);
    void SpawnLightning(const D3DXVECTOR3& source, const D3DXVECTOR3& aim);
    void RaiseShards(const D3DXVECTOR3& aim);
};
