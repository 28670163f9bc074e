#pragma once
// One combatant on the board: an object with statistics, action points, a state, timed effects, abilities and a
// skinned model. The class units fill it from their definition files; the rules here decide which command it
// may take, resolve its attacks and its defence, tick its timed effects and begin and end its turns, and tell
// its presentation (emitters, labels, bars, sounds: UnitPresentation) what happened.
//
// What reaches above the battle layer goes through the registered interfaces: the battle session (turns,
// slow motion, ring emitters, shake), the command HUD (greyed buttons, highlight, turn order), the board view
// (glows), the board pointer (the HUD under the pointer) and the combat-text factory (labels).

#include "battle/BoardUnit.h"
#include "battle/CombatText.h"
#include "battle/Object.h"
#include "battle/Statistic.h"
#include "battle/TimedEffect.h"
#include "battle/UnitDefinition.h"
#include "battle/UnitPresentation.h"
#include "battle/UnitStats.h"

#include <memory>
#include <string>
#include <vector>

class AnimatedMesh;

class Unit : public Object, public BoardUnit
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
    bool InitPresentation(Player* owner) override;
    void Load(const std::string& fileName) override;
    void LoadModel(bool withAnimations) override { (void)withAnimations; }
    virtual void PlayAbilityEffect(const std::string& abilityName) { (void)abilityName; }
    virtual void SetupVoices() { }

    // Presentation.
    UnitPresentation& Presentation() { return m_presentation; }
    const UnitPresentation& Presentation() const { return m_presentation; }
    void CreateEmitters() { m_presentation.CreateEmitters(); }
    void UpdateOverlay();
    void QueueTexts() override { m_presentation.QueueTexts(); }
    void SetTextVisible(bool visible) override { m_presentation.SetTextVisible(visible); }
    // The dead keep their bars hidden.
    void SetBarsAlpha(int fadeState);
    void ShowFloatingText(bool clear) { m_presentation.ShowFloatingText(clear); }
    void AddAnimationSuffix(const std::string& suffix) { animationSuffixes.push_back(suffix); }
    void LoadAnimations(const std::string& baseName);
    void LoadMesh(const std::string& fileName);
    bool PlayAnimation(const std::string& name, bool loop);
    void QueueVoice(int slot) override { m_presentation.QueueVoice(slot); }
    void UpdateTimers();
    void UpdateEffects();

    // Stats, target and commands.
    // Copies the block, then fills health and mana from strength and intelligence.
    void InitStats(const UnitStats& values);
    Player* GetOwner() const override { return owner; }
    BoardUnit* GetTarget() const override { return target; }
    void SetTarget(BoardUnit* newTarget) override;
    void ClearTarget() override { SetTarget(nullptr); }
    void SpendActionPoints(int points);
    void RefreshCommandButtons();
    bool HasActiveEffect(EffectType type) const override;
    void ClaimDefendedHexes() override;
    // Claims only while defending.
    void ClaimDefendedHexesIfDefending();
    bool CanMove() const override;
    bool CanAttack() const;
    bool CanFocus() const;
    bool CanDefend() const;
    UnitState GetState() const override { return state; }
    void SetState(UnitState newState) override;
    void ApplyStateVisuals();
    int GetMovementRadius() const override { return stats.movementRadius; }
    int GetMeleeRange() const override { return stats.meleeRange; }
    int GetRangedRange() const override { return stats.rangedRange; }
    int GetDefendRadius() const override { return stats.defendRadius; }
    void ForgetUnit(BoardUnit* gone) override;

    // Attacks.
    bool AttackCommand() override;
    TargetCheck CheckTarget() override;
    TargetCheck GetTargetCheck() const override { return targetCheck; }
    // The damage an attack starts from before its spread and critical: what the deployment screen shows.
    int AttackDamage() const;
    void BeginAttack();
    bool AttackWindUp() override;
    void ResolveAttack();
    DefenceOutcome TakeAttack(Unit* attacker);
    void PlayDeathEffect();
    DefenceOutcome DefenceRoll(Unit* attacker, AttackKind kind);
    static float ArmourReduction(ArmourType armour);
    static int SizeModifier(SizeCategory size);
    // Half the agility, truncated, and the size's modifier; at most 90.
    int DodgeChance() const;

    // Timed effects.
    TimedEffect CreateTimedEffect();
    void ApplyModifier(TimedEffect& effect);
    void RestoreModifier(TimedEffect& effect);
    void AddTimedEffect(TimedEffect effect);
    void TickEffects(uint8_t phase);
    static void ReleaseTimedEffectAttachments(TimedEffect& effect);

    // Turns and stances. Virtual so that a session's tests can watch a turn change hands.
    virtual void BeginTurn();
    virtual void EndTurn();
    void AdjustInitiative() override;
    void StartDefend();
    void EndDefend(bool animate);
    void StartFocus();
    void EndFocus(bool animate);

    // Movement.
    std::vector<Hex*>& GetPath() override { return path; }
    int FindPath(Hex* targetHex, int& count) override;
    bool StartMove() override;
    void WalkStep();
    static constexpr float ARRIVAL_DISTANCE = 5.0f;
    static constexpr float FOOTSTEP_PERIOD = 0.933333f;
    static constexpr float SECOND_FOOTSTEP_START = -0.43333f;

    // Abilities.
    const SpellDefinition* GetSelectedAbility() const override;
    void DeselectAbility() override { selectedAbility = -1; }
    // Appends a copy of the named spell with its uses; a name without a spell adds nothing.
    void AddAbility(const std::string& abilityName, int uses);
    void SelectAbility(const std::string& abilityName);
    void UseAbility(Hex* hovered) override;
    void CastSpell(BoardUnit* spellTarget) override;
    bool AbilityReady() override;
    void StartAreaEmitters();
    void ReceiveAreaAbility(Unit* caster, const SpellDefinition& ability);
    // Rolls the ability's amount against this unit's resistance to its school and changes one statistic,
    // once or for the ability's turns; a harm that takes the last health kills.
    void ApplySpellEffect(BoardUnit* caster, const SpellDefinition& ability) override;
    // The one cast delay that every unit shares.
    static float GetCastTimer();
    static void SetCastTimer(float seconds);

    // Combat attributes.
    float initiativeWeight = 1.0f;
    float secondFactor = 1.0f;
    float thirdFactor = 1.0f;
    int32_t missChance = 5;
    int32_t criticalChance = 35;
    bool critical = false;
    bool secondAttack = false;
    RatingLevel resistanceLevel = RatingLevel::NONE;
    int32_t holyResistance = 0;
    int32_t natureResistance = 0;
    int32_t arcaneResistance = 0;
    int32_t shadowResistance = 0;
    PrimaryAttribute primaryAttribute = PrimaryAttribute::STRENGTH;
    int32_t initiative = 50;
    UnitStats stats;
    ArmourType armour = ArmourType::CLOTH;
    SizeCategory size = SizeCategory::MEDIUM;

    // Links.
    Player* owner = nullptr;
    std::unique_ptr<AnimatedMesh> model;
    Unit* target = nullptr;
    Unit* lastTarget = nullptr;

    std::vector<std::string> animationSuffixes;
    std::vector<TimedEffect> timedEffects;
    std::vector<SpellDefinition> abilities;
    int selectedAbility = -1;

    UnitState state = IDLE;
    UnitState pendingState = UNIT_STATE_NONE;
    bool waiting = true;

    AttackKind attackKind = AttackKind::NORMAL;
    float damage = 0.0f;
    TargetCheck targetCheck = OUT_OF_RANGE;
    DefenceOutcome defenceOutcome = DefenceOutcome::HIT;
    Hex* abilityTarget = nullptr;
    std::vector<Hex*> path;

    float movementSpeed = 200.0f;
    float turnTimer = 0.0f;
    float waitTimer = 0.0f;
    float footstepTimers[2] = {0.0f, 0.0f};
    float meleeHitTime = 0.0f;
    float criticalHitTime = 0.0f;
    float thirdHitTime = 0.0f;
    float attackStartTime = WIND_UP_OVER;
    std::string name = "No Name";
    std::string fileName = "No File";
    bool myTurn = false;
    bool targeted = false;
    bool alive = true;
    bool visible = false;
    bool slowMotionRequested = false;

private:
    // The ability rules work on the unit's private state.
    friend class UnitSpellcasting;
    friend class UnitCombat;
    friend class UnitMovement;
    friend class UnitTimedEffects;

    // The players' counters that the rules add to.
    static void Count(Player* player, Statistic statistic, int amount = 1);

    UnitPresentation m_presentation;
    // Stances entered at the end of a turn are part of that turn's end: they ask the session for no turn.
    bool m_endingTurn = false;
    // The wind-up found no attack animation to wait for.
    bool m_resolveWithoutAnimation = false;

    CombatText* CombatLabel() const { return m_presentation.CombatLabel(); }
    void SetCombatText(const std::string& text) { m_presentation.SetCombatText(text); }
    void ResetStateDirect(UnitState newState);
    void LeaveFocus();
    // Death by any cause: only the first one counts, so a unit is never killed, credited or dropped twice.
    void DieFrom(Player* killer);
    void ForEachDefendedHex(void (*visit)(Unit&, Hex&));
};
