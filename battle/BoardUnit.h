#pragma once
// What the board, the path search and the players ask of a unit. The unit class implements it; the players
// own their units through it, and tests drive the players with units of their own.

#include "battle/UnitState.h"
#include "core/SpellDefinition.h"

#include <memory>
#include <string>
#include <vector>

class Hex;
class Object;
class Player;

class BoardUnit
{
public:
    // Makes a unit of the class that the deployment buys (a class unit); null while none is registered.
    using Factory = std::unique_ptr<BoardUnit> (*)();
    static void SetFactory(Factory factory);
    static std::unique_ptr<BoardUnit> Create();

    virtual ~BoardUnit() = default;

    // The object that stands on the board for this unit: what a hex names as its occupant.
    virtual Object* AsObject() = 0;
    virtual Hex* GetHex() const = 0;
    virtual void SetPosition(int row, int col) = 0;
    virtual void FaceTowards(float x, float z, float rate) = 0;
    virtual void Update() = 0;
    virtual void Render() = 0;
    virtual void Release() = 0;
    virtual void OnLostDevice() = 0;
    virtual void OnResetDevice() = 0;

    virtual bool InitPresentation(Player* owner) = 0;
    virtual void Load(const std::string& fileName) = 0;
    // The unit's model; with animations also the animation files, and the unit joins the battle. The loading
    // job calls it on the worker thread, the deployment (without animations) on the main thread.
    virtual void LoadModel(bool withAnimations) = 0;
    virtual void QueueVoice(int slot) = 0;
    virtual Player* GetOwner() const = 0;
    virtual UnitState GetState() const = 0;
    virtual void SetState(UnitState state) = 0;
    virtual bool CanMove() const = 0;
    virtual bool HasActiveEffect(EffectType type) const = 0;
    // In hex steps.
    virtual int GetMovementRadius() const = 0;
    virtual int GetMeleeRange() const = 0;
    virtual int GetRangedRange() const = 0;
    virtual int GetDefendRadius() const = 0;

    // The hexes still to walk: the destination first, the next step last.
    virtual std::vector<Hex*>& GetPath() = 0;
    virtual int FindPath(Hex* target, int& count) = 0;
    virtual bool StartMove() = 0;

    virtual BoardUnit* GetTarget() const = 0;
    virtual void SetTarget(BoardUnit* target) = 0;
    virtual void ClearTarget() = 0;
    virtual bool AttackCommand() = 0;
    // True in the frame in which the attack animation starts.
    virtual bool AttackWindUp() = 0;
    virtual TargetCheck CheckTarget() = 0;
    // The result of the last CheckTarget.
    virtual TargetCheck GetTargetCheck() const = 0;
    virtual void CastSpell(BoardUnit* target) = 0;
    virtual void UseAbility(Hex* hex) = 0;
    virtual bool AbilityReady() = 0;
    virtual const SpellDefinition* GetSelectedAbility() const = 0;
    virtual void DeselectAbility() = 0;
    virtual void ApplySpellEffect(BoardUnit* caster, const SpellDefinition& ability) = 0;

    virtual void QueueTexts() = 0;
    virtual void SetTextVisible(bool visible) = 0;
    virtual void ClaimDefendedHexes() = 0;
    virtual void AdjustInitiative() = 0;
    // Drops every reference this unit keeps to gone (its target and last target), which is about to be deleted.
    virtual void ForgetUnit(BoardUnit* gone) = 0;
};
