#include "battle/Unit.h"

#include "battle/BattleSession.h"
#include "battle/BoardPointer.h"
#include "battle/BoardView.h"
#include "battle/CommandHud.h"
#include "battle/Hex.h"
#include "battle/HexGrid.h"
#include "battle/PathSearch.h"
#include "battle/Player.h"
#include "battle/UnitCombat.h"
#include "battle/UnitMovement.h"
#include "battle/UnitSpellcasting.h"
#include "battle/UnitTimedEffects.h"
#include "core/DataManager.h"
#include "core/Random.h"
#include "core/SoundQueue.h"
#include "scene/AnimatedMesh.h"
#include "scene/Decal.h"
#include "scene/DecalManager.h"
#include "scene/ParticleEmitter.h"
#include "scene/ParticleManager.h"
#include "scene/WorldQuad.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>

namespace {

using Look = UnitPresentation;

} // namespace

Unit::Unit() = default;

Unit::~Unit()
{
    Release();
}

bool Unit::InitPresentation(Player* newOwner)
{
    if (!newOwner)
        return false;
    owner = newOwner;
    SetEffectByName("basic.fx");
    m_presentation.Create(m_position);
    m_loaded = true;
    return true;
}

void Unit::Load(const std::string& file)
{
    fileName = file;
}

void Unit::UpdateOverlay()
{
    float screen[2] = {0.0f, 0.0f};
    ScreenPosition(screen, 0.0f);
    // A class without intelligence has no mana to show; a bar over a maximum of 0 stays empty.
    const auto fraction = [](int value, int maximum) {
        if (maximum <= 0)
            return 0.0f;
        return std::clamp(static_cast<float>(value) / static_cast<float>(maximum), 0.0f, 1.0f);
    };
    m_presentation.UpdateOverlay(screen[0], m_position, fraction(stats.health, stats.maxHealth),
                                 fraction(stats.mana, stats.maxMana));
}

void Unit::SetBarsAlpha(int fadeState)
{
    if (alive)
        m_presentation.SetBarsAlpha(fadeState);
}

void Unit::LoadAnimations(const std::string& baseName)
{
    if (!model)
        return;
    for (const char* suffix : {"_walk.x", "_defend.x", "_focus.x", "_hit.x", "_magichit.x", "_die.x", "_dodge.x",
                               "_attack.x", "_rangedAttack.x", "_cast.x", "_critical.x"})
        animationSuffixes.emplace_back(suffix);
    for (const std::string& suffix : animationSuffixes)
        model->LoadAnimationFile(baseName + suffix);
}

void Unit::LoadMesh(const std::string& file)
{
    if (!model)
        model = std::make_unique<AnimatedMesh>();
    if (!model->IsLoaded())
        model->LoadWithEffect(this, file, false);
}

bool Unit::PlayAnimation(const std::string& animation, bool loop)
{
    if (!model || !model->IsLoaded())
        return false;
    return model->PlayAnimation(animation, loop);
}

void Unit::UpdateTimers()
{
    const float dt = DataManager::Get()->GetFrameTime();
    if (waiting)
        waitTimer += dt;
    else
        turnTimer += dt;
}

void Unit::UpdateEffects()
{
    D3DXVECTOR3 aimPoint;
    const D3DXVECTOR3* aim = nullptr;
    if (abilityTarget) {
        aimPoint = D3DXVECTOR3(abilityTarget->CentreX(), abilityTarget->meanHeight, abilityTarget->CentreZ());
        aim = &aimPoint;
    }
    m_presentation.UpdateEmitters(m_position, aim);
    int activeBefore = 0;
    for (TimedEffect& effect : timedEffects) {
        const float y = m_position.y + EFFECT_LIFT + EFFECT_SPACING * static_cast<float>(activeBefore);
        if (effect.quad)
            effect.quad->Submit(m_position.x, y, m_position.z);
        if (effect.active) {
            if (effect.emitter)
                effect.emitter->position = D3DXVECTOR3(m_position.x, y, m_position.z);
            ++activeBefore;
        }
    }
}

void Unit::Update()
{
    Object::Update();
    if (model && model->IsLoaded()) {
        model->Update(&m_world);
        if (!model->IsLooping() && model->IsFinished()) {
            if (state == IDLE)
                model->PlayAnimation("Idle", true);
            else if (state == DEFENDING)
                model->PlayAnimation("Defend", true);
            else if (state == FOCUSING)
                model->PlayAnimation("Focus", true);
        }
    }
    if (!visible)
        return;
    UpdateTimers();
    UpdateOverlay();
    WalkStep();
    UpdateEffects();
    if (target) {
        Object::FaceTowards(target->m_position.x, target->m_position.z, PathSearch::FACE_RATE);
    } else if (const SpellDefinition* ability = GetSelectedAbility(); ability && ability->areaRadius > 1) {
        const BoardPointer* pointer = BoardPointer::Get();
        if (Hex* hovered = pointer ? pointer->GetHovered() : nullptr)
            Object::FaceTowards(hovered->CentreX(), hovered->CentreZ(), PathSearch::FACE_RATE);
    }
}

void Unit::DrawGeometry()
{
    if (model && model->IsLoaded())
        model->DrawFrames();
    if (!visible)
        return;
    m_presentation.Draw(alive);
    if (!alive)
        return;
    for (TimedEffect& effect : timedEffects) {
        if (effect.quad)
            effect.quad->Queue();
        if (effect.emitter)
            effect.emitter->Submit();
    }
}

void Unit::Release()
{
    if (m_hex) {
        Object::Release();
        m_hex = nullptr;
    } else {
        Object::Release();
    }
    if (model) {
        model->Release();
        model.reset();
    }
    for (TimedEffect& effect : timedEffects)
        ReleaseTimedEffectAttachments(effect);
    timedEffects.clear();
    m_presentation.Release();
}

void Unit::OnLostDevice()
{
    m_presentation.OnLostDevice();
    if (model)
        model->OnLostDevice();
}

void Unit::OnResetDevice()
{
    m_presentation.OnResetDevice();
    if (model)
        model->OnResetDevice();
}

void Unit::InitStats(const UnitStats& values)
{
    stats = values;
    stats.health = stats.maxHealth = 10 * stats.strength;
    stats.mana = stats.maxMana = 10 * stats.intelligence;
}

void Unit::SetTarget(BoardUnit* newTarget)
{
    Unit* next = dynamic_cast<Unit*>(newTarget);
    if (target)
        target->targeted = false;
    if (next && next != target)
        SoundQueue::Get()->Queue("UI_LIGHTBEAM.wav", 0, false, 0.0f);
    target = next;
    if (next) {
        lastTarget = next;
        next->targeted = true;
    }
    if (BattleSession* session = BattleSession::Get())
        session->SetRingEmittersActive(next != nullptr);
}

void Unit::SpendActionPoints(int points)
{
    stats.actionPoints = std::max(0, stats.actionPoints - points);
    RefreshCommandButtons();
}

void Unit::RefreshCommandButtons()
{
    CommandHud* hud = CommandHud::Get();
    // The buttons belong to the unit whose turn it is; another unit's points never grey them.
    if (!hud || hud->GetCurrentUnit() != this)
        return;
    // The points are often spent well after the command was given (a blow lands at the end of its swing):
    // the HUD's "AP" line follows them here, or it would show the points from before the command.
    hud->UpdateUnitTexts();
    const int points = stats.actionPoints;
    if (points < ATTACK_COST)
        hud->DisableAction(CommandHud::ACTION_ATTACK);
    if (points < MOVE_COST)
        hud->DisableAction(CommandHud::ACTION_MOVE);
    // A button greys exactly when its cost cannot be paid: a defence costs 4, and under a phalanx it is free, so
    // a lit button is always one that works.
    if (points < DEFEND_COST && !HasActiveEffect(EffectType::PHALANX))
        hud->DisableAction(CommandHud::ACTION_DEFEND);
    if (points < FOCUS_COST)
        hud->DisableAction(CommandHud::ACTION_FOCUS);
    int cheapest = 10;
    for (const SpellDefinition& ability : abilities)
        cheapest = std::min(cheapest, ability.actionPointCost);
    if (points < cheapest)
        hud->DisableAction(CommandHud::ACTION_SPELLS);
}

bool Unit::HasActiveEffect(EffectType type) const
{
    return std::any_of(timedEffects.begin(), timedEffects.end(),
                       [type](const TimedEffect& effect) { return effect.active && effect.type == type; });
}

void Unit::ForEachDefendedHex(void (*visit)(Unit&, Hex&))
{
    HexGrid* grid = HexGrid::Current();
    if (!grid || !m_hex)
        return;
    const int radius = stats.defendRadius;
    const float reach = static_cast<float>(radius) * 64.0f + 10.0f;
    const int firstRow = std::max(0, m_hex->row - radius);
    const int lastRow = std::min(HexGrid::ROWS - 1, m_hex->row + radius);
    const int firstColumn = std::max(0, m_hex->column - radius);
    const int lastColumn = std::min(HexGrid::COLUMNS - 1, m_hex->column + radius);
    for (int row = firstRow; row <= lastRow; ++row) {
        for (int column = firstColumn; column <= lastColumn; ++column) {
            Hex* other = grid->GetHex(row, column);
            if (other && other->IsPickable() && other->DistanceTo(*m_hex) <= reach)
                visit(*this, *other);
        }
    }
}

void Unit::ClaimDefendedHexes()
{
    ForEachDefendedHex([](Unit& unit, Hex& claimed) {
        HexGrid* grid = HexGrid::Current();
        if (!unit.owner)
            return;
        if (unit.owner->team == 0)
            grid->FlagDefendedTeam0(&claimed);
        else if (unit.owner->team == 1)
            grid->FlagDefendedTeam1(&claimed);
    });
}

void Unit::ClaimDefendedHexesIfDefending()
{
    if (state == DEFENDING)
        ClaimDefendedHexes();
}

namespace {
bool IsBusy(UnitState state)
{
    return state == MOVING || state == ATTACKING || state == CASTING;
}
} // namespace

bool Unit::CanMove() const
{
    return stats.actionPoints >= MOVE_COST && !IsBusy(state);
}

bool Unit::CanAttack() const
{
    if (stats.actionPoints < ATTACK_COST || IsBusy(state))
        return false;
    // Without a model there is no animation to wait for.
    if (!model || !model->IsLoaded())
        return true;
    return model->IsLooping() || model->IsFinished();
}

bool Unit::CanFocus() const
{
    return stats.actionPoints >= FOCUS_COST && !IsBusy(state);
}

bool Unit::CanDefend() const
{
    return HasActiveEffect(EffectType::PHALANX) || (stats.actionPoints >= DEFEND_COST && !IsBusy(state));
}

void Unit::SetState(UnitState newState)
{
    if (newState == state)
        return;
    if ((newState == SELECTING_MOVE && !CanMove()) || (newState == SELECTING_TARGET && !CanAttack()) ||
        (newState == DEFENDING && !CanDefend()) || (newState == FOCUSING && !CanFocus()))
        return;
    state = newState;
    ApplyStateVisuals();
}

void Unit::ResetStateDirect(UnitState newState)
{
    if (newState == state)
        return;
    state = newState;
    ApplyStateVisuals();
}

void Unit::ApplyStateVisuals()
{
    BoardView* view = BoardView::Get();
    if (view)
        view->ResetGlows();
    switch (state) {
    case DEAD:
        PlayDeathEffect();
        break;
    case MOVING:
        PlayAnimation("Walk", true);
        break;
    case SELECTING_TARGET: {
        BattleSession* session = BattleSession::Get();
        if (!session || !view || !m_hex)
            break;
        for (int index = 0; index < 2; ++index) {
            const Player* player = session->GetPlayer(index);
            if (!player)
                continue;
            for (BoardUnit* unit : player->GetUnits()) {
                auto* other = dynamic_cast<Unit*>(unit);
                // The dead have given up their hexes.
                if (!other || other == this || other->owner == owner || !other->alive || !other->m_hex)
                    continue;
                const float distance = other->m_hex->DistanceTo(*m_hex);
                if (distance <= static_cast<float>(stats.meleeRange) * RANGE_STEP ||
                    distance <= static_cast<float>(stats.rangedRange) * RANGE_STEP)
                    view->AddGlow(other->m_position.x, other->m_position.y, other->m_position.z);
            }
        }
        break;
    }
    case ATTACKING:
        BeginAttack();
        break;
    case DEFENDING:
        StartDefend();
        break;
    case FOCUSING:
        StartFocus();
        break;
    default:
        break;
    }
}

void Unit::ForgetUnit(BoardUnit* gone)
{
    if (gone == nullptr)
        return;
    if (target == gone)
        target = nullptr;
    if (lastTarget == gone)
        lastTarget = nullptr;
}

// ---- Attacks

bool Unit::AttackCommand()
{
    const TargetCheck check = CheckTarget();
    if (check != MELEE_IN_RANGE && check != RANGED_IN_RANGE)
        return false;
    ResetStateDirect(ATTACKING);
    return true;
}

int Unit::AttackDamage() const
{
    int figure = 2 * stats.strength;
    if (primaryAttribute == PrimaryAttribute::AGILITY)
        figure += stats.agility;
    return figure;
}

void Unit::LeaveFocus()
{
    m_presentation.SwitchOffEmitter(Look::EMITTER_FOCUS);
    if (primaryAttribute == PrimaryAttribute::STRENGTH)
        stats.strength = stats.baseStrength;
    else if (primaryAttribute == PrimaryAttribute::AGILITY)
        criticalChance -= 15;
    else if (primaryAttribute == PrimaryAttribute::INTELLIGENCE)
        stats.mana = std::min(stats.maxMana, stats.mana + stats.maxMana / 3);
}

void Unit::DieFrom(Player* killer)
{
    // The dead die once: a blow on a unit that is already down credits no second kill.
    if (state == DEAD)
        return;
    if (state == DEFENDING)
        EndDefend(false);
    else if (state == FOCUSING)
        LeaveFocus();
    Count(killer, Statistic::KILLS);
    if (CommandHud* hud = CommandHud::Get())
        hud->RemoveUnit(this);
    ResetStateDirect(DEAD);
}

void Unit::PlayDeathEffect()
{
    // The dead keep no health: a lasting harm or healing is not undone on a corpse.
    for (TimedEffect& effect : timedEffects) {
        if (effect.type != EffectType::HEALTH)
            RestoreModifier(effect);
    }
    m_presentation.OnDied();
    if (alive)
        SetBarsAlpha(1);
    alive = false;
    if (owner)
        owner->UpdateDefeated();
    PlayAnimation("Die", false);
    SetHex(nullptr);
}

int Unit::DodgeChance() const
{
    return std::min(90, stats.agility / 2 + SizeModifier(size));
}

// ---- Timed effects

// ---- Turns and stances

void Unit::BeginTurn()
{
    if (state == DEAD)
        return;
    Count(owner, Statistic::TURNS);
    waiting = false;
    turnTimer = 0.0f;
    myTurn = true;
    TickEffects(TimedEffect::PHASE_TURN_BEGIN);
    if (state == DEFENDING)
        EndDefend(true);
    else if (state == FOCUSING)
        EndFocus(true);
    stats.actionPoints = stats.maxActionPoints;
    m_presentation.QueueVoice(Look::VOICE_TURN_START + RandomInt(3));
    ResetStateDirect(IDLE);
}

void Unit::EndTurn()
{
    if (state == DEAD)
        return;
    waiting = true;
    waitTimer = 0.0f;
    if (target) {
        ClearTarget();
        if (CommandHud* hud = CommandHud::Get())
            hud->HideHighlight();
    }
    myTurn = false;
    TickEffects(TimedEffect::PHASE_TURN_END);
    // A unit whose maximum was taken to 0 has spent nothing it could have had.
    if (stats.maxActionPoints <= 0) {
        initiative += 50;
    } else {
        const float share = static_cast<float>(stats.actionPoints) / static_cast<float>(stats.maxActionPoints);
        initiative += 100 * static_cast<int>(share) + 50;
    }
    if (pendingState != UNIT_STATE_NONE) {
        m_endingTurn = true;
        SetState(pendingState);
        m_endingTurn = false;
    }
    abilityTarget = nullptr;
    pendingState = UNIT_STATE_NONE;
}

void Unit::AdjustInitiative()
{
    if (!waiting)
        return;
    initiative += static_cast<int>(-0.1f * static_cast<float>(stats.speed));
    if (initiative < 0)
        initiative = 0;
}

void Unit::StartDefend()
{
    PlayAnimation("Defend", true);
    m_presentation.QueueSound(Look::SOUND_DEFEND);
    const int shout = RandomInt(4);
    if (shout < 2)
        m_presentation.QueueVoice(Look::VOICE_DEFEND + shout);
    else if (shout == 2)
        m_presentation.QueueGeneralShout();
    // A stance taken as the turn ends is that turn's end: asking for another would end a second turn.
    if (!HasActiveEffect(EffectType::PHALANX) && !m_endingTurn) {
        if (BattleSession* session = BattleSession::Get())
            session->RequestNextTurn();
    }
}

void Unit::EndDefend(bool animate)
{
    if (animate)
        PlayAnimation("Idle", true);
    ForEachDefendedHex([](Unit&, Hex& zone) {
        // The zone goes back to what the level made it, a deployment hex included.
        if (zone.type == HEX_DEFENDED)
            zone.SetType(zone.defaultType);
        zone.fadeState = FADE_OUT;
        zone.occupant = nullptr;
    });
}

void Unit::StartFocus()
{
    PlayAnimation("Focus", true);
    m_presentation.QueueSound(Look::SOUND_FOCUS);
    m_presentation.OnFocus();
    if (primaryAttribute == PrimaryAttribute::STRENGTH)
        stats.strength -= static_cast<int>(static_cast<float>(stats.strength) * -0.2f);
    else if (primaryAttribute == PrimaryAttribute::AGILITY)
        criticalChance += 15;
    const int shout = RandomInt(4);
    if (shout < 2)
        m_presentation.QueueVoice(Look::VOICE_FOCUS + shout);
    else if (shout == 2)
        m_presentation.QueueGeneralShout();
    if (!m_endingTurn) {
        if (BattleSession* session = BattleSession::Get())
            session->AdvanceTurn();
    }
}

void Unit::EndFocus(bool animate)
{
    if (animate)
        PlayAnimation("Idle", true);
    LeaveFocus();
}

// ---- Movement

// ---- Abilities

const SpellDefinition* Unit::GetSelectedAbility() const
{
    if (selectedAbility < 0 || selectedAbility >= static_cast<int>(abilities.size()))
        return nullptr;
    return &abilities[static_cast<size_t>(selectedAbility)];
}

void Unit::Count(Player* player, Statistic statistic, int amount)
{
    if (player)
        player->AddToStatistic(statistic, amount);
}

// ---- Timed effects, through their rules

TimedEffect Unit::CreateTimedEffect()
{
    return UnitTimedEffects::CreateTimedEffect();
}

void Unit::ApplyModifier(TimedEffect& effect)
{
    UnitTimedEffects(*this).ApplyModifier(effect);
}

void Unit::RestoreModifier(TimedEffect& effect)
{
    UnitTimedEffects(*this).RestoreModifier(effect);
}

void Unit::AddTimedEffect(TimedEffect effect)
{
    UnitTimedEffects(*this).AddTimedEffect(effect);
}

void Unit::TickEffects(uint8_t phase)
{
    UnitTimedEffects(*this).TickEffects(phase);
}

void Unit::ReleaseTimedEffectAttachments(TimedEffect& effect)
{
    UnitTimedEffects::ReleaseTimedEffectAttachments(effect);
}

// ---- Walking, through its rules

int Unit::FindPath(Hex* targetHex, int& count)
{
    return UnitMovement(*this).FindPath(targetHex, count);
}

bool Unit::StartMove()
{
    return UnitMovement(*this).StartMove();
}

void Unit::WalkStep()
{
    UnitMovement(*this).WalkStep();
}

// ---- Attacks, through their rules

TargetCheck Unit::CheckTarget()
{
    return UnitCombat(*this).CheckTarget();
}

void Unit::BeginAttack()
{
    UnitCombat(*this).BeginAttack();
}

bool Unit::AttackWindUp()
{
    return UnitCombat(*this).AttackWindUp();
}

void Unit::ResolveAttack()
{
    UnitCombat(*this).ResolveAttack();
}

DefenceOutcome Unit::TakeAttack(Unit* attacker)
{
    return UnitCombat(*this).TakeAttack(attacker);
}

DefenceOutcome Unit::DefenceRoll(Unit* attacker, AttackKind kind)
{
    return UnitCombat(*this).DefenceRoll(attacker, kind);
}

float Unit::ArmourReduction(ArmourType armour)
{
    return UnitCombat::ArmourReduction(armour);
}

int Unit::SizeModifier(SizeCategory size)
{
    return UnitCombat::SizeModifier(size);
}

// ---- Abilities, through their rules

float Unit::GetCastTimer()
{
    return UnitSpellcasting::GetCastTimer();
}

void Unit::SetCastTimer(float seconds)
{
    UnitSpellcasting::SetCastTimer(seconds);
}

void Unit::AddAbility(const std::string& abilityName, int uses)
{
    UnitSpellcasting(*this).AddAbility(abilityName, uses);
}

void Unit::SelectAbility(const std::string& abilityName)
{
    UnitSpellcasting(*this).SelectAbility(abilityName);
}

void Unit::UseAbility(Hex* hovered)
{
    UnitSpellcasting(*this).UseAbility(hovered);
}

void Unit::CastSpell(BoardUnit* spellTarget)
{
    UnitSpellcasting(*this).CastSpell(spellTarget);
}

bool Unit::AbilityReady()
{
    return UnitSpellcasting(*this).AbilityReady();
}

void Unit::StartAreaEmitters()
{
    UnitSpellcasting(*this).StartAreaEmitters();
}

void Unit::ReceiveAreaAbility(Unit* caster, const SpellDefinition& ability)
{
    UnitSpellcasting(*this).ReceiveAreaAbility(caster, ability);
}

void Unit::ApplySpellEffect(BoardUnit* caster, const SpellDefinition& ability)
{
    UnitSpellcasting(*this).ApplySpellEffect(caster, ability);
}
