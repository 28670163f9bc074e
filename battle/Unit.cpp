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

Unit::Unit() : m_presentation(std::make_unique<UnitPresentation>())
{ }

Unit::~Unit()
{
    Release();
}

bool Unit::InitPresentation(Player* newOwner)
{
    if (!newOwner)
        return false;
    m_rules.owner = newOwner;
    SetEffectByName("basic.fx");
    m_presentation->Create(m_position);
    m_loaded = true;
    return true;
}

void Unit::Load(const std::string& file)
{
    m_rules.fileName = file;
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
    m_presentation->UpdateOverlay(screen[0], m_position, fraction(m_rules.stats.health, m_rules.stats.maxHealth),
                                  fraction(m_rules.stats.mana, m_rules.stats.maxMana));
}

void Unit::LoadAnimations(const std::string& baseName)
{
    if (!m_model)
        return;
    for (const char* suffix : {"_walk.x", "_defend.x", "_focus.x", "_hit.x", "_magichit.x", "_die.x", "_dodge.x",
                               "_attack.x", "_rangedAttack.x", "_cast.x", "_critical.x"})
        m_presentation->animationSuffixes.emplace_back(suffix);
    for (const std::string& suffix : m_presentation->animationSuffixes)
        m_model->LoadAnimationFile(baseName + suffix);
}

void Unit::LoadMesh(const std::string& file)
{
    if (!m_model)
        m_model = std::make_unique<AnimatedMesh>();
    if (!m_model->IsLoaded())
        m_model->LoadWithEffect(this, file, false);
}

bool Unit::PlayAnimation(const std::string& animation, bool loop)
{
    if (!m_model || !m_model->IsLoaded())
        return false;
    return m_model->PlayAnimation(animation, loop);
}

void Unit::UpdateTimers()
{
    const float dt = DataManager::Get()->GetFrameTime();
    if (m_rules.turn.waiting)
        m_rules.turn.waitTimer += dt;
    else
        m_rules.turn.turnTimer += dt;
}

void Unit::UpdateEffects()
{
    D3DXVECTOR3 aimPoint;
    const D3DXVECTOR3* aim = nullptr;
    if (m_rules.command.abilityTarget) {
        aimPoint = D3DXVECTOR3(m_rules.command.abilityTarget->CentreX(), m_rules.command.abilityTarget->meanHeight,
                               m_rules.command.abilityTarget->CentreZ());
        aim = &aimPoint;
    }
    m_presentation->UpdateEmitters(m_position, aim);
    int activeBefore = 0;
    for (TimedEffect& effect : m_rules.timedEffects) {
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
    if (m_model && m_model->IsLoaded()) {
        m_model->Update(&m_world);
        if (!m_model->IsLooping() && m_model->IsFinished()) {
            if (m_rules.turn.state == IDLE)
                m_model->PlayAnimation("Idle", true);
            else if (m_rules.turn.state == DEFENDING)
                m_model->PlayAnimation("Defend", true);
            else if (m_rules.turn.state == FOCUSING)
                m_model->PlayAnimation("Focus", true);
        }
    }
    if (!m_rules.turn.visible)
        return;
    UpdateTimers();
    UpdateOverlay();
    Movement().WalkStep();
    UpdateEffects();
    if (m_rules.command.target) {
        Object::FaceTowards(m_rules.command.target->m_position.x, m_rules.command.target->m_position.z,
                            PathSearch::FACE_RATE);
    } else if (const SpellDefinition* ability = GetSelectedAbility(); ability && ability->areaRadius > 1) {
        const BoardPointer* pointer = BoardPointer::Get();
        if (Hex* hovered = pointer ? pointer->GetHovered() : nullptr)
            Object::FaceTowards(hovered->CentreX(), hovered->CentreZ(), PathSearch::FACE_RATE);
    }
}

void Unit::DrawGeometry()
{
    if (m_model && m_model->IsLoaded())
        m_model->DrawFrames();
    if (!m_rules.turn.visible)
        return;
    m_presentation->Draw(m_rules.turn.alive);
    if (!m_rules.turn.alive)
        return;
    for (TimedEffect& effect : m_rules.timedEffects) {
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
    if (m_model) {
        m_model->Release();
        m_model.reset();
    }
    for (TimedEffect& effect : m_rules.timedEffects)
        UnitTimedEffects::ReleaseTimedEffectAttachments(effect);
    m_rules.timedEffects.clear();
    m_presentation->Release();
}

void Unit::OnLostDevice()
{
    m_presentation->OnLostDevice();
    if (m_model)
        m_model->OnLostDevice();
}

void Unit::OnResetDevice()
{
    m_presentation->OnResetDevice();
    if (m_model)
        m_model->OnResetDevice();
}

void Unit::InitStats(const UnitStats& values)
{
    m_rules.stats = values;
    m_rules.stats.health = m_rules.stats.maxHealth = 10 * m_rules.stats.strength;
    m_rules.stats.mana = m_rules.stats.maxMana = 10 * m_rules.stats.intelligence;
}

void Unit::SetTarget(BoardUnit* newTarget)
{
    Unit* next = dynamic_cast<Unit*>(newTarget);
    if (m_rules.command.target)
        m_rules.command.target->m_rules.turn.targeted = false;
    if (next && next != m_rules.command.target)
        SoundQueue::Get()->Queue("UI_LIGHTBEAM.wav", 0, false, 0.0f);
    m_rules.command.target = next;
    if (next) {
        m_rules.command.lastTarget = next;
        next->m_rules.turn.targeted = true;
    }
    if (BattleSession* session = BattleSession::Get())
        session->SetRingEmittersActive(next != nullptr);
}

void Unit::SpendActionPoints(int points)
{
    m_rules.stats.actionPoints = std::max(0, m_rules.stats.actionPoints - points);
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
    const int points = m_rules.stats.actionPoints;
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
    for (const SpellDefinition& ability : m_rules.abilities)
        cheapest = std::min(cheapest, ability.actionPointCost);
    if (points < cheapest)
        hud->DisableAction(CommandHud::ACTION_SPELLS);
}

bool Unit::HasActiveEffect(EffectType type) const
{
    return std::any_of(m_rules.timedEffects.begin(), m_rules.timedEffects.end(),
                       [type](const TimedEffect& effect) { return effect.active && effect.type == type; });
}

void Unit::ForEachDefendedHex(void (*visit)(Unit&, Hex&))
{
    HexGrid* grid = HexGrid::Current();
    if (!grid || !m_hex)
        return;
    const int radius = m_rules.stats.defendRadius;
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
        if (!unit.m_rules.owner)
            return;
        if (unit.m_rules.owner->team == 0)
            grid->FlagDefendedTeam0(&claimed);
        else if (unit.m_rules.owner->team == 1)
            grid->FlagDefendedTeam1(&claimed);
    });
}

namespace {
bool IsBusy(UnitState state)
{
    return state == MOVING || state == ATTACKING || state == CASTING;
}
} // namespace

bool Unit::CanMove() const
{
    return m_rules.stats.actionPoints >= MOVE_COST && !IsBusy(m_rules.turn.state);
}

bool Unit::CanAttack() const
{
    if (m_rules.stats.actionPoints < ATTACK_COST || IsBusy(m_rules.turn.state))
        return false;
    // Without a m_model there is no animation to wait for.
    if (!m_model || !m_model->IsLoaded())
        return true;
    return m_model->IsLooping() || m_model->IsFinished();
}

bool Unit::CanFocus() const
{
    return m_rules.stats.actionPoints >= FOCUS_COST && !IsBusy(m_rules.turn.state);
}

bool Unit::CanDefend() const
{
    return HasActiveEffect(EffectType::PHALANX) ||
           (m_rules.stats.actionPoints >= DEFEND_COST && !IsBusy(m_rules.turn.state));
}

void Unit::SetState(UnitState newState)
{
    if (newState == m_rules.turn.state)
        return;
    if (!CanEnter(newState))
        return;
    m_rules.turn.state = newState;
    ApplyStateVisuals();
}

void Unit::EnterState(UnitState newState)
{
    if (newState == m_rules.turn.state)
        return;
    m_rules.turn.state = newState;
    ApplyStateVisuals();
}

void Unit::ApplyStateVisuals()
{
    BoardView* view = BoardView::Get();
    if (view)
        view->ResetGlows();
    switch (m_rules.turn.state) {
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
                if (!other || other == this || other->m_rules.owner == m_rules.owner || !other->m_rules.turn.alive ||
                    !other->m_hex)
                    continue;
                const float distance = other->m_hex->DistanceTo(*m_hex);
                if (distance <= static_cast<float>(m_rules.stats.meleeRange) * RANGE_STEP ||
                    distance <= static_cast<float>(m_rules.stats.rangedRange) * RANGE_STEP)
                    view->AddGlow(other->m_position.x, other->m_position.y, other->m_position.z);
            }
        }
        break;
    }
    case ATTACKING:
        Combat().BeginAttack();
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
    if (m_rules.command.target == gone)
        m_rules.command.target = nullptr;
    if (m_rules.command.lastTarget == gone)
        m_rules.command.lastTarget = nullptr;
}

// ---- Attacks

bool Unit::AttackCommand()
{
    const TargetCheck check = CheckTarget();
    if (check != MELEE_IN_RANGE && check != RANGED_IN_RANGE)
        return false;
    EnterState(ATTACKING);
    return true;
}

void Unit::LeaveFocus()
{
    m_presentation->OnFocusLeft();
    if (m_rules.attributes.primaryAttribute == PrimaryAttribute::STRENGTH)
        m_rules.stats.strength = m_rules.stats.baseStrength;
    else if (m_rules.attributes.primaryAttribute == PrimaryAttribute::AGILITY)
        m_rules.attributes.criticalChance -= 15;
    else if (m_rules.attributes.primaryAttribute == PrimaryAttribute::INTELLIGENCE)
        m_rules.stats.mana = std::min(m_rules.stats.maxMana, m_rules.stats.mana + m_rules.stats.maxMana / 3);
}

void Unit::DieFrom(Player* killer)
{
    // The dead die once: a blow on a unit that is already down credits no second kill.
    if (m_rules.turn.state == DEAD)
        return;
    if (m_rules.turn.state == DEFENDING)
        EndDefend(false);
    else if (m_rules.turn.state == FOCUSING)
        LeaveFocus();
    Player::Credit(killer, Statistic::KILLS);
    if (CommandHud* hud = CommandHud::Get())
        hud->RemoveUnit(this);
    EnterState(DEAD);
}

void Unit::PlayDeathEffect()
{
    // The dead keep no health: a lasting harm or healing is not undone on a corpse.
    for (TimedEffect& effect : m_rules.timedEffects) {
        if (effect.type != EffectType::HEALTH)
            TimedEffects().RestoreModifier(effect);
    }
    m_presentation->OnDied();
    m_rules.turn.alive = false;
    if (m_rules.owner)
        m_rules.owner->UpdateDefeated();
    PlayAnimation("Die", false);
    SetHex(nullptr);
}

// ---- Turns and stances

void Unit::BeginTurn()
{
    if (m_rules.turn.state == DEAD)
        return;
    Player::Credit(m_rules.owner, Statistic::TURNS);
    m_rules.turn.waiting = false;
    m_rules.turn.turnTimer = 0.0f;
    m_rules.turn.myTurn = true;
    TimedEffects().TickEffects(TimedEffect::PHASE_TURN_BEGIN);
    if (m_rules.turn.state == DEFENDING)
        EndDefend(true);
    else if (m_rules.turn.state == FOCUSING)
        EndFocus(true);
    m_rules.stats.actionPoints = m_rules.stats.maxActionPoints;
    m_presentation->OnTurnBegun(RandomInt(3));
    EnterState(IDLE);
}

void Unit::EndTurn()
{
    if (m_rules.turn.state == DEAD)
        return;
    m_rules.turn.waiting = true;
    m_rules.turn.waitTimer = 0.0f;
    if (m_rules.command.target) {
        ClearTarget();
        if (CommandHud* hud = CommandHud::Get())
            hud->HideHighlight();
    }
    m_rules.turn.myTurn = false;
    TimedEffects().TickEffects(TimedEffect::PHASE_TURN_END);
    // A unit whose maximum was taken to 0 has spent nothing it could have had.
    if (m_rules.stats.maxActionPoints <= 0) {
        m_rules.turn.initiative += 50;
    } else {
        const float share =
            static_cast<float>(m_rules.stats.actionPoints) / static_cast<float>(m_rules.stats.maxActionPoints);
        m_rules.turn.initiative += 100 * static_cast<int>(share) + 50;
    }
    if (m_rules.turn.pendingState != UNIT_STATE_NONE) {
        m_rules.turn.endingTurn = true;
        SetState(m_rules.turn.pendingState);
        m_rules.turn.endingTurn = false;
    }
    m_rules.command.abilityTarget = nullptr;
    m_rules.turn.pendingState = UNIT_STATE_NONE;
}

void Unit::AdjustInitiative()
{
    if (!m_rules.turn.waiting)
        return;
    m_rules.turn.initiative += static_cast<int>(-0.1f * static_cast<float>(m_rules.stats.speed));
    if (m_rules.turn.initiative < 0)
        m_rules.turn.initiative = 0;
}

void Unit::StartDefend()
{
    PlayAnimation("Defend", true);
    m_presentation->OnDefending();
    m_presentation->Shout(Look::VOICE_DEFEND, 2, RandomInt(4));
    // A stance taken as the turn ends is that turn's end: asking for another would end a second turn.
    if (!HasActiveEffect(EffectType::PHALANX) && !m_rules.turn.endingTurn) {
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
    m_presentation->OnFocus();
    if (m_rules.attributes.primaryAttribute == PrimaryAttribute::STRENGTH)
        m_rules.stats.strength -= static_cast<int>(static_cast<float>(m_rules.stats.strength) * -0.2f);
    else if (m_rules.attributes.primaryAttribute == PrimaryAttribute::AGILITY)
        m_rules.attributes.criticalChance += 15;
    m_presentation->Shout(Look::VOICE_FOCUS, 2, RandomInt(4));
    if (!m_rules.turn.endingTurn) {
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

// ---- Abilities

const SpellDefinition* Unit::GetSelectedAbility() const
{
    if (m_rules.command.selectedAbility < 0 ||
        m_rules.command.selectedAbility >= static_cast<int>(m_rules.abilities.size()))
        return nullptr;
    return &m_rules.abilities[static_cast<size_t>(m_rules.command.selectedAbility)];
}

bool Unit::CanEnter(UnitState command) const
{
    switch (command) {
    case SELECTING_MOVE:
        return CanMove();
    case SELECTING_TARGET:
        return CanAttack();
    case DEFENDING:
        return CanDefend();
    case FOCUSING:
        return CanFocus();
    default:
        return true;
    }
}

void Unit::NudgeInitiative()
{
    if (m_rules.turn.waiting && m_rules.turn.initiative > 0)
        m_rules.turn.initiative -= 1;
}

BoardUnit* Unit::GetTarget() const
{
    return m_rules.command.target;
}

// ---- The rule areas

int Unit::FindPath(Hex* targetHex, int& count)
{
    return Movement().FindPath(targetHex, count);
}

bool Unit::StartMove()
{
    return Movement().StartMove();
}

TargetCheck Unit::CheckTarget()
{
    return Combat().CheckTarget();
}

bool Unit::AttackWindUp()
{
    return Combat().AttackWindUp();
}

void Unit::UseAbility(Hex* hovered)
{
    Spellcasting().UseAbility(hovered);
}

void Unit::CastSpell(BoardUnit* spellTarget)
{
    Spellcasting().CastSpell(spellTarget);
}

bool Unit::AbilityReady()
{
    return Spellcasting().AbilityReady();
}

void Unit::ApplySpellEffect(BoardUnit* caster, const SpellDefinition& ability)
{
    Spellcasting().ApplySpellEffect(caster, ability);
}
