#pragma once
// One combatant on the board: an object with statistics, action points, a state, timed effects, abilities and a
// skinned model. The class units fill it from their definition files. Its rules state (UnitRulesState) is its
// own: the unit decides which command it may take and begins and ends its turns and stances, its rule areas
// (combat, spellcasting, timed effects, movement) work on the state it lends them, and both tell its
// presentation (emitters, labels, bars, sounds: UnitPresentation) what happened. The rest of the game reads the
// state and changes the unit through its commands and a few named mutators.
//
// What reaches above the battle layer goes through the registered interfaces: the battle session (turns,
// slow motion, ring emitters, shake), the command HUD (greyed buttons, highlight, turn order), the board view
// (glows), the board pointer (the HUD under the pointer) and the combat-text factory (labels).

#include "battle/BoardUnit.h"
#include "battle/CombatText.h"
#include "battle/Object.h"
#include "battle/Statistic.h"
#include "battle/TimedEffect.h"
#include "battle/UnitCombat.h"
#include "battle/UnitDefinition.h"
#include "battle/UnitMovement.h"
#include "battle/UnitPresentation.h"
#include "battle/UnitRulesHost.h"
#include "battle/UnitRulesState.h"
#include "battle/UnitSpellcasting.h"
#include "battle/UnitStats.h"
#include "battle/UnitTimedEffects.h"

#include <memory>
#include <string>
#include <vector>

class AnimatedMesh;

class Unit : public Object, public BoardUnit, public UnitRulesHost
{
public:
    // Action point costs and thresholds.
    static constexpr int MOVE_COST = 5;
    static constexpr int ATTACK_COST = 6;
    static constexpr int FOCUS_COST = 2;
    static constexpr int DEFEND_COST = 4;
    // World units per hex step when ranges are compared with the distance between hex centres.
    static constexpr float RANGE_STEP = 112.0f;
    static constexpr float NORMAL_WIND_UP = 0.25f;
    static constexpr float CRITICAL_WIND_UP = 0.75f;
    // The attack start time once the wind-up is over.
    static constexpr float WIND_UP_OVER = -1.0f;
    static constexpr float EFFECT_LIFT = 200.0f;
    static constexpr float EFFECT_SPACING = 60.0f;
    static constexpr float ARRIVAL_DISTANCE = 5.0f;

    Unit();
    ~Unit() override;

    // Object and board unit.
    Object* AsObject() override { return this; }
    Hex* GetHex() const override { return m_hex; }
    void SetPosition(int row, int col) override { Object::SetPosition(row, col); }
    void FaceTowards(float x, float z, float rate) override { Object::FaceTowards(x, z, rate); }
    void Update() override;
    void DrawGeometry() override;
    void Render() override { Object::Render(); }
    void Release() override;
    void OnLostDevice() override;
    void OnResetDevice() override;
    Player* GetOwner() const override { return m_rules.owner; }
    UnitState GetState() const override { return m_rules.turn.state; }
    // Refuses a command whose cost the unit cannot pay or which would cut into one under way.
    void SetState(UnitState newState) override;
    bool CanMove() const override;
    bool HasActiveEffect(EffectType type) const override;
    BoardUnit* GetTarget() const override;
    void SetTarget(BoardUnit* newTarget) override;
    void ClearTarget() override { SetTarget(nullptr); }
    bool AttackCommand() override;
    TargetCheck CheckTarget() override;
    bool AttackWindUp() override;
    int FindPath(Hex* targetHex, int& count) override;
    bool StartMove() override;
    const SpellDefinition* GetSelectedAbility() const override;
    void DeselectAbility() override { m_rules.command.selectedAbility = -1; }
    void UseAbility(Hex* hovered) override;
    void CastSpell(BoardUnit* spellTarget) override;
    bool AbilityReady() override;
    // Rolls the ability's amount against this unit's resistance to its school and changes one statistic,
    // once or for the ability's turns; a harm that takes the last health kills.
    void ApplySpellEffect(BoardUnit* caster, const SpellDefinition& ability) override;

    // Turns. Virtual so that a session's tests can watch a turn change hands.
    virtual void BeginTurn();
    virtual void EndTurn();

    // What the rules decide on, to read; the game changes it only through the commands and the rule areas.
    const UnitRulesState& Rules() const { return m_rules; }
    // Setting a unit up outside a battle: its class reading its definition, tests and benchmarks arranging a
    // position. In a battle a unit changes only through its commands and its rule areas.
    UnitRulesState& RulesForSetUp() { return m_rules; }
    // The rule areas, each lent the unit's state for the call.
    UnitCombat Combat() { return UnitCombat(*this, m_rules, *this); }
    UnitSpellcasting Spellcasting() { return UnitSpellcasting(*this, m_rules, *this); }
    UnitTimedEffects TimedEffects() { return UnitTimedEffects(*this, m_rules, *this); }
    UnitMovement Movement() { return UnitMovement(*this, m_rules, *this); }
    // False for a command the unit cannot take now (attack, move, defend, focus); true for any other state.
    bool CanEnter(UnitState command) const;
    // The stance the unit takes as its turn ends; UNIT_STATE_NONE takes none.
    void QueueStance(UnitState stance) { m_rules.turn.pendingState = stance; }
    // The slow-motion shot the last command asked for will not be shown.
    void CancelSlowMotionRequest() { m_rules.command.slowMotionRequested = false; }
    // A waiting unit too slow to count down moves one step nearer its turn.
    void NudgeInitiative();
    // The turn and wait clocks.
    void UpdateTimers();

    // Presentation.
    UnitPresentation& Presentation() const { return *m_presentation; }
    AnimatedMesh* Model() const { return m_model.get(); }
    bool PlayAnimation(const std::string& name, bool loop);

protected:
    // Remembers the file; a class unit reads its definition from it.
    void Load(const std::string& fileName) override;
    // Copies the block, then fills health and mana from strength and intelligence.
    void InitStats(const UnitStats& values);
    void LoadMesh(const std::string& fileName);
    void LoadAnimations(const std::string& baseName);
    void AddAnimationSuffix(const std::string& suffix) { m_presentation->animationSuffixes.push_back(suffix); }
    virtual void SetupVoices() { }

private:
    // Asked through the board's view of the unit (the players, the path search, the session); the unit's own
    // callers read these from its rules.
    void LoadModel(bool withAnimations) override { (void)withAnimations; }
    int GetMovementRadius() const override { return m_rules.stats.movementRadius; }
    int GetMeleeRange() const override { return m_rules.stats.meleeRange; }
    int GetRangedRange() const override { return m_rules.stats.rangedRange; }
    int GetDefendRadius() const override { return m_rules.stats.defendRadius; }
    TargetCheck GetTargetCheck() const override { return m_rules.command.targetCheck; }
    std::vector<Hex*>& GetPath() override { return m_rules.command.path; }
    void QueueVoice(int slot) override { m_presentation->QueueVoice(slot); }
    void ForgetUnit(BoardUnit* gone) override;
    void AdjustInitiative() override;
    void ClaimDefendedHexes() override;
    void SetTextVisible(bool visible) override { m_presentation->SetTextVisible(visible); }
    void QueueTexts() override { m_presentation->QueueTexts(); }
    bool InitPresentation(Player* owner) override;

    // What the rule areas ask of the unit, through its rules host.
    void EnterState(UnitState newState) override;
    void DieFrom(Player* killer) override;
    void SpendActionPoints(int points) override;
    void RefreshCommandButtons() override;
    void EndDefend(bool animate) override;
    void EndFocus(bool animate) override;
    void PlayAbilityEffect(const std::string& abilityName) override { (void)abilityName; }

    bool CanAttack() const;
    bool CanFocus() const;
    bool CanDefend() const;
    void ApplyStateVisuals();
    void StartDefend();
    void StartFocus();
    void LeaveFocus();
    void PlayDeathEffect();
    void ForEachDefendedHex(void (*visit)(Unit&, Hex&));
    void UpdateOverlay();
    void UpdateEffects();

    UnitRulesState m_rules;
    std::unique_ptr<AnimatedMesh> m_model;
    std::unique_ptr<UnitPresentation> m_presentation;
};
