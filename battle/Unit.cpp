// NOLINTBEGIN(readability-identifier-naming): this file is being split; its names follow the naming rule then.
#include "battle/Unit.h"

#include "battle/BattleSession.h"
#include "battle/BoardPointer.h"
#include "battle/BoardView.h"
#include "battle/CommandHud.h"
#include "battle/Hex.h"
#include "battle/HexGrid.h"
#include "battle/PathSearch.h"
#include "battle/Player.h"
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

// The players' counters that the rules add to.
constexpr int STAT_KILLS = 0;
constexpr int STAT_DAMAGE_DEALT = 1;
constexpr int STAT_SPELL_AMOUNT = 2;
constexpr int STAT_CRITICAL_HITS = 3;
constexpr int STAT_ABILITIES_USED = 5;
constexpr int STAT_ATTACKS = 4;
constexpr int STAT_KILLING_BLOWS_SUFFERED = 7;
constexpr int STAT_TURNS = 8;
constexpr int STAT_HEXES_MOVED = 9;
constexpr int STAT_MISSES = 10;

// Every label any unit creates sits a little lower than the one before it.
float g_nextLabelY = 0.0f;

// Only one unit casts at a time, so one delay serves them all.
float g_castTimer = 0.0f;

void Count(Player* player, int counter, int amount = 1)
{
    if (player)
        player->statistics[counter] += amount;
}

std::string DamageText(float damage)
{
    return std::to_string(std::abs(static_cast<int>(damage))) + " Damage Taken";
}

void Withdraw(ParticleEmitter* emitter)
{
    if (!emitter)
        return;
    ParticleManager::Withdraw(emitter);
    emitter->Release();
}

void Withdraw(WorldQuad* quad)
{
    if (!quad)
        return;
    ParticleManager::Withdraw(quad);
    quad->Release();
}

void SwitchOff(ParticleEmitter* emitter)
{
    if (emitter)
        emitter->emitting = false;
}

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
    CreateTexts();
    CreateEmitters();
    shadow = std::make_unique<Decal>();
    shadow->Create(4, position.x, position.z, false);
    shadow->SetTexture("shadowDecal.tga");
    const auto makeQuad = [](const char* texture, float fadeDuration) {
        auto quad = std::make_unique<WorldQuad>();
        quad->CreateBuffer(50.0f, 25.0f);
        quad->SetTexture(texture);
        quad->fadeDuration = fadeDuration;
        return quad;
    };
    frameQuad = makeQuad("HealthMana.tga", 0.1f);
    healthQuad = makeQuad("red.tga", 0.1f);
    manaQuad = makeQuad("blue.tga", 0.1f);
    badgeQuad = makeQuad("turnorder_f9.tga", 0.25f);
    // The four lie at one distance from the camera, so the pass orders them by these numbers: the frame's dark
    // grooves first, the fills over them, the badge last. Left equal, the sort would shuffle them each frame.
    frameQuad->order = 0;
    healthQuad->order = 1;
    manaQuad->order = 2;
    badgeQuad->order = 3;
    loaded = true;
    return true;
}

void Unit::Load(const std::string& file)
{
    fileName = file;
}

void Unit::CreateEmitters()
{
    for (auto& emitter : emitters) {
        if (!emitter)
            emitter = std::make_unique<ParticleEmitter>();
    }
}

void Unit::CreateTexts()
{
    for (auto& label : labels) {
        label = CombatText::Create(LABEL_X, g_nextLabelY);
        g_nextLabelY += LABEL_SPACING;
    }
    if (labels[0])
        labels[0]->SetFontHeight(36);
}

void Unit::UpdateOverlay()
{
    float screen[2] = {0.0f, 0.0f};
    ScreenPosition(screen, 0.0f);
    for (auto& label : labels) {
        if (label)
            label->SetX(screen[0] - LABEL_OFFSET_X);
    }
    for (WorldQuad* quad : {frameQuad.get(), badgeQuad.get(), healthQuad.get(), manaQuad.get()}) {
        if (quad)
            quad->Submit(position.x, position.y + BAR_LIFT, position.z);
    }
    // A class without intelligence has no mana to show; a bar over a maximum of 0 stays empty.
    const auto fraction = [](int value, int maximum) {
        if (maximum <= 0)
            return 0.0f;
        return std::clamp(static_cast<float>(value) / static_cast<float>(maximum), 0.0f, 1.0f);
    };
    SetBarFill(healthQuad.get(), fraction(stats.health, stats.maxHealth));
    SetBarFill(manaQuad.get(), fraction(stats.mana, stats.maxMana));
}

void Unit::SetBarFill(WorldQuad* quad, float fraction)
{
    if (!quad)
        return;
    // The quad's fill puts its right edge at fill x half width from the centre, so a fill of 0 would still
    // show half the bar: a unit near death would read as half healthy. The bar is cut instead, at the point
    // of its span that the fraction reaches, and its picture is cut there too rather than squeezed.
    const float cut = BAR_FILL_LEFT_U + fraction * (BAR_FILL_RIGHT_U - BAR_FILL_LEFT_U);
    quad->uLeft = 0.0f;
    quad->uRight = cut;
    quad->fill = 2.0f * cut - 1.0f;
}

void Unit::QueueTexts()
{
    for (auto& label : labels) {
        if (label)
            label->Queue();
    }
}

void Unit::SetTextVisible(bool shown)
{
    for (auto& label : labels) {
        if (label)
            label->SetVisible(shown);
    }
}

void Unit::SetBarsAlpha(int fadeState)
{
    if (!alive)
        return;
    for (WorldQuad* quad : {frameQuad.get(), badgeQuad.get(), healthQuad.get(), manaQuad.get()}) {
        if (quad)
            quad->fadeState = fadeState;
    }
}

void Unit::ShowFloatingText(bool clear)
{
    CombatText* label = CombatLabel();
    if (!label)
        return;
    if (clear)
        label->SetText("");
    label->Restart();
}

void Unit::SetCombatText(const std::string& text)
{
    if (CombatText* label = CombatLabel())
        label->SetText(text);
}

void Unit::StartEmitter(const std::string& file, int index)
{
    if (index < 0 || index >= EMITTERS)
        return;
    if (!emitters[index])
        emitters[index] = std::make_unique<ParticleEmitter>();
    emitters[index]->LoadFile(file);
    emitters[index]->emitting = true;
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

void Unit::QueueVoice(int slot)
{
    if (slot < 0 || slot >= VOICE_SLOTS || voices[slot].empty())
        return;
    SoundQueue::Get()->Queue(voices[slot], 0, false, 0.0f);
}

void Unit::QueueSound(int slot)
{
    if (slot < 0 || slot >= SOUND_SLOTS || sounds[slot].empty())
        return;
    SoundQueue::Get()->Queue(sounds[slot], 0, false, 0.0f);
}

void Unit::QueueGeneralShout()
{
    QueueVoice(VOICE_GENERAL + RandomInt(5));
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
    for (auto& emitter : emitters) {
        if (!emitter)
            continue;
        emitter->position = position;
        emitter->Update();
    }
    // Cast, effect and aim emitters are dropped once they have finished; the aim list would otherwise grow
    // with every area cast of the battle.
    const auto prune = [](std::vector<std::unique_ptr<ParticleEmitter>>& list, const D3DXVECTOR3* follow) {
        for (auto it = list.begin(); it != list.end();) {
            ParticleEmitter& emitter = **it;
            if (follow)
                emitter.position = *follow;
            emitter.Update();
            if (emitter.finished) {
                Withdraw(it->get());
                it = list.erase(it);
            } else {
                ++it;
            }
        }
    };
    prune(castEmitters, &position);
    prune(effectEmitters, &position);
    D3DXVECTOR3 aimPoint;
    const D3DXVECTOR3* aim = nullptr;
    if (abilityTarget) {
        aimPoint = D3DXVECTOR3(abilityTarget->CentreX(), abilityTarget->meanHeight, abilityTarget->CentreZ());
        aim = &aimPoint;
    }
    prune(aimEmitters, aim);
    int activeBefore = 0;
    for (TimedEffect& effect : timedEffects) {
        const float y = position.y + EFFECT_LIFT + EFFECT_SPACING * static_cast<float>(activeBefore);
        if (effect.quad)
            effect.quad->Submit(position.x, y, position.z);
        if (effect.active) {
            if (effect.emitter)
                effect.emitter->position = D3DXVECTOR3(position.x, y, position.z);
            ++activeBefore;
        }
    }
}

void Unit::Update()
{
    Object::Update();
    if (model && model->IsLoaded()) {
        model->Update(&world);
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
        Object::FaceTowards(target->position.x, target->position.z, PathSearch::FACE_RATE);
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
    for (auto& emitter : emitters) {
        if (emitter)
            emitter->Submit();
    }
    for (auto* list : {&castEmitters, &effectEmitters, &aimEmitters}) {
        for (auto& emitter : *list)
            emitter->Submit();
    }
    if (!alive)
        return;
    if (shadow)
        DecalManager::Get()->Submit(shadow.get());
    for (WorldQuad* quad : {healthQuad.get(), manaQuad.get(), frameQuad.get(), badgeQuad.get()}) {
        if (quad)
            quad->Queue();
    }
    for (TimedEffect& effect : timedEffects) {
        if (effect.quad)
            effect.quad->Queue();
        if (effect.emitter)
            effect.emitter->Submit();
    }
}

void Unit::Release()
{
    if (hex) {
        Object::Release();
        hex = nullptr;
    } else {
        Object::Release();
    }
    for (auto& emitter : emitters) {
        Withdraw(emitter.get());
        emitter.reset();
    }
    for (auto* list : {&castEmitters, &effectEmitters, &aimEmitters}) {
        for (auto& emitter : *list)
            Withdraw(emitter.get());
        list->clear();
    }
    if (model) {
        model->Release();
        model.reset();
    }
    if (shadow) {
        DecalManager::Forget(shadow.get());
        shadow->Release();
        shadow.reset();
    }
    for (auto* quad : {&frameQuad, &badgeQuad, &healthQuad, &manaQuad}) {
        Withdraw(quad->get());
        quad->reset();
    }
    for (TimedEffect& effect : timedEffects)
        ReleaseTimedEffectAttachments(effect);
    timedEffects.clear();
    for (auto& label : labels)
        label.reset();
}

void Unit::OnLostDevice()
{
    for (auto& label : labels) {
        if (label)
            label->OnLostDevice();
    }
    if (model)
        model->OnLostDevice();
}

void Unit::OnResetDevice()
{
    for (auto& label : labels) {
        if (label)
            label->OnResetDevice();
    }
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
    if (!grid || !hex)
        return;
    const int radius = stats.defendRadius;
    const float reach = static_cast<float>(radius) * 64.0f + 10.0f;
    const int firstRow = std::max(0, hex->row - radius);
    const int lastRow = std::min(HexGrid::ROWS - 1, hex->row + radius);
    const int firstColumn = std::max(0, hex->column - radius);
    const int lastColumn = std::min(HexGrid::COLUMNS - 1, hex->column + radius);
    for (int row = firstRow; row <= lastRow; ++row) {
        for (int column = firstColumn; column <= lastColumn; ++column) {
            Hex* other = grid->GetHex(row, column);
            if (other && other->IsPickable() && other->DistanceTo(*hex) <= reach)
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
        if (!session || !view || !hex)
            break;
        for (int index = 0; index < 2; ++index) {
            const Player* player = session->GetPlayer(index);
            if (!player)
                continue;
            for (BoardUnit* unit : player->GetUnits()) {
                auto* other = dynamic_cast<Unit*>(unit);
                // The dead have given up their hexes.
                if (!other || other == this || other->owner == owner || !other->alive || !other->hex)
                    continue;
                const float distance = other->hex->DistanceTo(*hex);
                if (distance <= static_cast<float>(stats.meleeRange) * RANGE_STEP ||
                    distance <= static_cast<float>(stats.rangedRange) * RANGE_STEP)
                    view->AddGlow(other->position.x, other->position.y, other->position.z);
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

TargetCheck Unit::CheckTarget()
{
    TargetCheck check = MELEE_IN_RANGE;
    ShowFloatingText(true);
    CommandHud* hud = CommandHud::Get();
    const BoardPointer* pointer = BoardPointer::Get();
    if (pointer && pointer->IsOverHud()) {
        if (hud)
            hud->HideHighlight();
        ClearTarget();
        targetCheck = NO_TARGET;
        return targetCheck;
    }
    const SpellDefinition* ability = GetSelectedAbility();
    if (state == SELECTING_TARGET) {
        if (!target || !target->hex || !hex) {
            check = NO_TARGET;
        } else {
            const float distance = target->hex->DistanceTo(*hex);
            check = OUT_OF_RANGE;
            if (distance <= static_cast<float>(stats.rangedRange) * RANGE_STEP)
                check = RANGED_IN_RANGE;
            if (distance <= static_cast<float>(stats.meleeRange) * RANGE_STEP)
                check = MELEE_IN_RANGE;
            if (target->owner == owner)
                check = OWN_TEAM;
        }
    } else if (state == SELECTING_ABILITY_TARGET) {
        check = SPELL_ON_UNIT;
        if (!ability) {
            check = NO_SPELL;
        } else {
            if (target && target->owner == owner)
                check = OWN_TEAM;
            if (stats.mana < std::abs(ability->manaCost))
                check = INSUFFICIENT_MANA;
            if (ability->areaRadius < 2) {
                if (!hex || !target || !target->hex)
                    check = NO_TARGET;
                else if (static_cast<float>(ability->range) * RANGE_STEP < target->hex->DistanceTo(*hex))
                    check = OUT_OF_RANGE;
            } else if (ability->range != 0) {
                Hex* hovered = pointer ? pointer->GetHovered() : nullptr;
                if (!hovered || !hex)
                    check = NO_TARGET;
                else if (static_cast<float>(ability->range) * RANGE_STEP < hex->DistanceTo(*hovered))
                    check = OUT_OF_RANGE;
                else
                    check = AREA_IN_RANGE;
            } else {
                check = AREA_IN_RANGE;
            }
        }
    }

    const auto refuseAbility = [&](const char* message) {
        SetCombatText(message);
        ClearTarget();
        DeselectAbility();
        ResetStateDirect(IDLE);
        if (hud)
            hud->HideHighlight();
    };
    switch (check) {
    case OUT_OF_RANGE:
        SetCombatText("Out of Range");
        ClearTarget();
        break;
    case INSUFFICIENT_MANA:
        refuseAbility("Insufficient Mana");
        break;
    case NO_SPELL:
        refuseAbility("No Spell");
        break;
    case NO_TARGET:
        SetCombatText("No Target");
        ClearTarget();
        break;
    case OWN_TEAM:
        if (!ability) {
            SetCombatText("Don't Attack Your Own Team");
            ClearTarget();
        } else if (ability->areaRadius < 2 && ability->target == "ENEMY") {
            refuseAbility("Don't Attack Your Own Team");
        } else {
            check = SPELL_ON_UNIT;
        }
        break;
    default:
        break;
    }
    targetCheck = check;
    return check;
}

int Unit::AttackDamage() const
{
    int figure = 2 * stats.strength;
    if (primaryAttribute == PrimaryAttribute::AGILITY)
        figure += stats.agility;
    return figure;
}

void Unit::BeginAttack()
{
    attackKind = AttackKind::NORMAL;
    damage = static_cast<float>(AttackDamage());
    critical = false;
    secondAttack = false;
    const int r80 = Rand() % 100;
    damage += std::trunc(damage * RandomFloat(-15.0f, 15.0f) * 0.01f);
    if (criticalChance > RandomInt(200)) {
        critical = true;
        if (static_cast<float>(RandomInt(100)) < static_cast<float>(criticalChance) * 0.5f) {
            attackKind = AttackKind::ACE_CRITICAL;
            damage *= 3.0f;
        } else {
            attackKind = AttackKind::CRITICAL;
            damage *= 2.0f;
        }
        StartEmitter("CriticalEmitter.txt", EMITTER_CRITICAL);
    }
    const int shout = RandomInt(5);
    if (shout < 3)
        QueueVoice(VOICE_ATTACK + shout);
    else if (shout == 3)
        QueueGeneralShout();
    if (target) {
        const DefenceOutcome outcome = target->DefenceRoll(this, attackKind);
        if (outcome == DefenceOutcome::KILLING_BLOW || r80 > 80) {
            SoundQueue::Get()->Queue("ALL_CritSlowdown.wav", 0, false, 0.0f);
            if (BattleSession* session = BattleSession::Get())
                session->RequestSlowMotion(target, 1.0f, false);
            slowMotionRequested = true;
        }
    }
    resolveWithoutAnimation = false;
    attackStartTime = DataManager::Get()->GetGameTime();
}

bool Unit::AttackWindUp()
{
    const auto land = [this] {
        ResolveAttack();
        if (!slowMotionRequested && Rand() % 100 < 5) {
            if (BattleSession* session = BattleSession::Get())
                session->SetShakeMagnitude(30.0f);
        }
    };
    if (attackStartTime == WIND_UP_OVER) {
        if (model && model->IsLoaded() && !model->IsLooping() && model->EventReached())
            land();
        return false;
    }
    const float delay = attackKind == AttackKind::NORMAL ? NORMAL_WIND_UP : CRITICAL_WIND_UP;
    if (DataManager::Get()->GetGameTime() - attackStartTime < delay)
        return false;
    attackStartTime = WIND_UP_OVER;
    const int variant = RandomInt(2);
    const bool ranged = targetCheck == RANGED_IN_RANGE;
    bool playing = false;
    if (attackKind == AttackKind::NORMAL) {
        QueueSound(SOUND_ATTACK + variant);
        playing = PlayAnimation(ranged ? "RangedAttack" : "MeleeAttack", false);
        if (playing)
            model->SetEventTime(meleeHitTime);
    } else {
        QueueSound(SOUND_CRITICAL + variant);
        playing = PlayAnimation(ranged ? "RangedAttack" : "CriticalAttack", false);
        if (playing)
            model->SetEventTime(criticalHitTime);
    }
    // Without an attack animation to reach its hit time, the blow lands as the wind-up ends; waiting for an
    // event that never comes would leave the unit attacking for the rest of its turn.
    if (!playing)
        land();
    return true;
}

void Unit::ResolveAttack()
{
    if (!target) {
        // The target went during the wind-up (the turn ended): the attack is called off.
        ResetStateDirect(IDLE);
        return;
    }
    Count(owner, STAT_ATTACKS);
    if (CombatText* label = CombatLabel()) {
        if (attackKind == AttackKind::ACE_CRITICAL) {
            label->SetFontHeight(32);
            label->SetText("Ace Critical!!!");
            label->SetColour(1.0f, 0.0f, 0.0f, 1.0f);
        } else if (attackKind == AttackKind::CRITICAL) {
            label->SetFontHeight(32);
            label->SetText("Critical Attack!");
            // A dark red is lost on grass; a bright orange-red still reads apart from the ace's pure red.
            label->SetColour(1.0f, 0.45f, 0.15f, 1.0f);
        } else {
            label->SetText("");
        }
    }
    const D3DXVECTOR3 start(position.x, position.y + 115.0f, position.z);
    const D3DXVECTOR3 targetPosition = target->position;
    D3DXVECTOR3 end(targetPosition.x, targetPosition.y + 115.0f, targetPosition.z);
    const DefenceOutcome outcome = target->TakeAttack(this);
    if (outcome == DefenceOutcome::MISS) {
        const D3DXVECTOR3 away = targetPosition - position;
        const float reach = RandomFloat(5.0f, 10.0f);
        D3DVECTOR scatter;
        RandomVector(800.0f, 0.0f, 800.0f, scatter);
        end = targetPosition + away * reach + D3DXVECTOR3(scatter.x, scatter.y, scatter.z);
        end.y += 100.0f;
    }
    if (targetCheck == RANGED_IN_RANGE) {
        const D3DXVECTOR3 colour(0.2f, 1.0f, 0.2f);
        ParticleManager::Get()->SpawnBolt("lightBolt.BMP", &start, &end, &colour, 0.2f, 2.0f, 0.01f, 0.0f, 0.0f, true);
    }
    SpendActionPoints(ATTACK_COST);
    ResetStateDirect(IDLE);
    ClearTarget();
    damage = 0.0f;
}

void Unit::QueuePainSound()
{
    switch (RandomInt(4)) {
    case 0:
        QueueSound(SOUND_PAIN);
        break;
    case 1:
        QueueSound(SOUND_PAIN + 1);
        break;
    case 2:
        SoundQueue::Get()->Queue("ALL_TD_HEAVY.WAV", 0, false, 0.0f);
        break;
    default:
        SoundQueue::Get()->Queue("ALL_TD_LIGHT.wav", 0, false, 0.0f);
        break;
    }
}

void Unit::QueueDeathSounds()
{
    QueueVoice(VOICE_DEATH + RandomInt(2));
    QueueSound(SOUND_DEATH);
    SoundQueue::Get()->Queue("ALL_DEATHWIND.wav", 0, false, 0.0f);
}

void Unit::LeaveFocus()
{
    SwitchOff(emitters[EMITTER_FOCUS].get());
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
    Count(killer, STAT_KILLS);
    if (CommandHud* hud = CommandHud::Get())
        hud->RemoveUnit(this);
    ResetStateDirect(DEAD);
}

DefenceOutcome Unit::TakeAttack(Unit* attacker)
{
    if (!attacker || !attacker->slowMotionRequested)
        ShowFloatingText(true);
    const float dealt = attacker ? attacker->damage : 0.0f;
    const auto takeHealth = [this, dealt] {
        stats.health = std::clamp(stats.health - static_cast<int>(dealt), 0, std::max(0, stats.maxHealth));
    };
    const DefenceOutcome outcome = defenceOutcome;
    switch (outcome) {
    case DefenceOutcome::HIT:
    case DefenceOutcome::HIT_HARD: {
        takeHealth();
        SetCombatText(DamageText(dealt));
        StartEmitter("bloodEmitter.txt", EMITTER_BLOOD);
        const int splats = RandomInt(3);
        for (int i = 0; i < splats; ++i) {
            const int splatSize = RandomInt(3) + 1;
            D3DVECTOR offset;
            RandomDirection(120.0f, offset);
            const int texture = RandomInt(5) + 1;
            auto* decal = new Decal();
            decal->Create(splatSize, position.x + offset.x, position.z + offset.z, false);
            decal->SetTexture("BloodSplat" + std::to_string(texture) + ".tga");
            decal->fadeState = 0;
            decal->alpha = 0.0f;
            decal->fadeDuration = 2.5f;
            DecalManager::Get()->Add(decal);
        }
        PlayAnimation(state == DEFENDING ? "Block" : "Hit", false);
        if (outcome == DefenceOutcome::HIT_HARD) {
            if (state == DEFENDING && !HasActiveEffect(EffectType::PHALANX)) {
                EndDefend(true);
                ResetStateDirect(IDLE);
            } else if (state == FOCUSING) {
                EndFocus(true);
                ResetStateDirect(IDLE);
            }
        }
        break;
    }
    case DefenceOutcome::MISS:
        if (CombatText* label = CombatLabel())
            label->SetFontHeight(28);
        SetCombatText("Attack Missed!");
        PlayAnimation("Dodge", false);
        if (attacker)
            Count(attacker->owner, STAT_MISSES);
        break;
    case DefenceOutcome::KILLING_BLOW:
        SetCombatText(DamageText(dealt));
        StartEmitter("bloodEmitter.txt", EMITTER_BLOOD);
        takeHealth();
        Count(owner, STAT_KILLING_BLOWS_SUFFERED);
        break;
    case DefenceOutcome::SHIELDED:
        if (HasActiveEffect(EffectType::INVINCIBLE))
            SetCombatText("Magic Shield Blocks All!");
        break;
    }
    if (stats.health < 1)
        DieFrom(attacker ? attacker->owner : nullptr);
    if (outcome == DefenceOutcome::HIT || outcome == DefenceOutcome::HIT_HARD) {
        QueuePainSound();
    } else if (outcome == DefenceOutcome::MISS) {
        SoundQueue::Get()->Queue("ALL_MISS.wav", 0, false, 0.0f);
    } else if (outcome == DefenceOutcome::KILLING_BLOW) {
        QueuePainSound();
        QueueDeathSounds();
    }
    return outcome;
}

void Unit::PlayDeathEffect()
{
    // The dead keep no health: a lasting harm or healing is not undone on a corpse.
    for (TimedEffect& effect : timedEffects) {
        if (effect.type != EffectType::HEALTH)
            RestoreModifier(effect);
    }
    StartEmitter("death_emitter_1.txt", EMITTER_DEATH_FIRST);
    StartEmitter("death_emitter_2.txt", EMITTER_DEATH_SECOND);
    emitters[EMITTER_DEATH_FIRST]->alpha = 65;
    emitters[EMITTER_DEATH_SECOND]->alpha = 65;
    if (alive)
        SetBarsAlpha(1);
    alive = false;
    if (owner)
        owner->UpdateDefeated();
    PlayAnimation("Die", false);
    SetHex(nullptr);
}

float Unit::ArmourReduction(ArmourType type)
{
    switch (type) {
    case ArmourType::CLOTH:
        return 0.05f;
    case ArmourType::LEATHER:
        return 0.10f;
    case ArmourType::SCALEMAIL:
        return 0.15f;
    case ArmourType::CHAINMAIL:
        return 0.20f;
    case ArmourType::HALFPLATE:
        return 0.25f;
    case ArmourType::FULLPLATE:
        return 0.30f;
    }
    return 0.0f;
}

int Unit::SizeModifier(SizeCategory category)
{
    switch (category) {
    case SizeCategory::FINE:
        return 8;
    case SizeCategory::DIMINUTIVE:
        return 4;
    case SizeCategory::TINY:
        return 2;
    case SizeCategory::SMALL:
        return 1;
    case SizeCategory::MEDIUM:
    case SizeCategory::LARGE:
        return -1;
    case SizeCategory::GIANT:
        return -2;
    case SizeCategory::GARGANTUAN:
        return -4;
    case SizeCategory::COLOSSAL:
        return -8;
    }
    return 0;
}

int Unit::DodgeChance() const
{
    return std::min(90, stats.agility / 2 + SizeModifier(size));
}

DefenceOutcome Unit::DefenceRoll(Unit* attacker, AttackKind kind)
{
    if (!attacker || attacker == this) {
        defenceOutcome = DefenceOutcome::SHIELDED;
        return defenceOutcome;
    }
    defenceOutcome = DefenceOutcome::HIT;
    const float reduction = ArmourReduction(armour);
    if (HasActiveEffect(EffectType::INVINCIBLE)) {
        defenceOutcome = DefenceOutcome::SHIELDED;
        return defenceOutcome;
    }
    // Worked in double so that round shares of round damage stay round (10 less 30 per cent is 7, not 6.9999).
    double d = attacker->damage;
    if (state == FOCUSING) {
        d *= 1.5;
        defenceOutcome = DefenceOutcome::HIT_HARD;
    }
    switch (resistanceLevel) {
    case RatingLevel::LOW:
        d -= d * 0.3;
        break;
    case RatingLevel::MEDIUM:
        d -= d * 0.6;
        break;
    case RatingLevel::HIGH:
        d -= d * 0.9;
        break;
    case RatingLevel::NONE:
        if (state == DEFENDING)
            d -= std::trunc(d * 0.4);
        d -= static_cast<double>(reduction) * d;
        break;
    case RatingLevel::INVERTED:
        break;
    }
    if (d < 0.0)
        d = 0.0;
    const int dodge = DodgeChance();
    int r = RandomInt(100);
    const int spread = static_cast<int>(RandomFloat(-5.0f, 5.0f));
    if (kind == AttackKind::CRITICAL || kind == AttackKind::ACE_CRITICAL) {
        defenceOutcome = DefenceOutcome::HIT_HARD;
        Count(attacker->owner, STAT_CRITICAL_HITS);
        r = 999;
    }
    if (attacker->missChance + spread + dodge > r) {
        attacker->damage = 0.0f;
        defenceOutcome = DefenceOutcome::MISS;
        return defenceOutcome;
    }
    if (resistanceLevel == RatingLevel::INVERTED)
        d *= -1.0;
    attacker->damage = static_cast<float>(d);
    Count(attacker->owner, STAT_DAMAGE_DEALT, std::abs(static_cast<int>(attacker->damage)));
    if (static_cast<float>(stats.health) <= attacker->damage)
        defenceOutcome = DefenceOutcome::KILLING_BLOW;
    return defenceOutcome;
}

// ---- Timed effects

TimedEffect Unit::CreateTimedEffect()
{
    TimedEffect effect;
    effect.quad = new WorldQuad();
    effect.quad->CreateBuffer(10.0f, 10.0f);
    effect.quad->SetTexture("BuffArrow.tga");
    effect.quad->fadeState = 1;
    effect.quad->fadeDuration = 0.25f;
    effect.emitter = new ParticleEmitter();
    effect.emitter->LoadFile("buffEmitter.txt");
    effect.emitter->emitting = true;
    return effect;
}

void Unit::ApplyModifier(TimedEffect& effect)
{
    switch (effect.type) {
    case EffectType::HEALTH: {
        const int before = stats.health;
        stats.health = std::clamp(stats.health + effect.amount, 0, std::max(0, stats.maxHealth));
        effect.applied += stats.health - before;
        break;
    }
    case EffectType::MANA:
        stats.mana = std::clamp(stats.mana + effect.amount, 0, std::max(0, stats.maxMana));
        break;
    case EffectType::INITIATIVE:
        initiative += effect.amount;
        break;
    case EffectType::MOVEMENT_RADIUS:
        stats.movementRadius = std::max(0, stats.movementRadius + effect.amount);
        break;
    case EffectType::STR:
        stats.strength += effect.amount;
        break;
    case EffectType::AGILLY:
        stats.agility += effect.amount;
        break;
    case EffectType::INTELLI:
        stats.intelligence += effect.amount;
        break;
    case EffectType::MISS_MORE:
        missChance += effect.amount;
        break;
    case EffectType::PHALANX:
        stats.actionPoints = 0;
        break;
    case EffectType::CRITICAL_MORE:
        criticalChance += effect.amount;
        break;
    case EffectType::AP_BONUS:
        stats.maxActionPoints = std::max(0, stats.maxActionPoints + effect.amount);
        stats.actionPoints = std::max(0, stats.actionPoints + effect.amount);
        RefreshCommandButtons();
        break;
    case EffectType::DEFEND_FREE:
    case EffectType::INVINCIBLE:
        break;
    }
}

void Unit::RestoreModifier(TimedEffect& effect)
{
    switch (effect.type) {
    case EffectType::HEALTH:
        // Only what the effect itself changed is undone: a blow taken meanwhile stays taken, and healing given
        // meanwhile stays given. The expiry never kills and never heals beyond the maximum.
        stats.health = std::clamp(stats.health - effect.applied, 1, std::max(1, stats.maxHealth));
        effect.applied = 0;
        break;
    case EffectType::MANA:
        stats.mana = effect.saved;
        break;
    case EffectType::INITIATIVE:
        initiative = effect.saved;
        break;
    case EffectType::MOVEMENT_RADIUS:
        stats.movementRadius = effect.saved;
        break;
    case EffectType::STR:
        stats.strength = effect.saved;
        break;
    case EffectType::AGILLY:
        stats.agility = effect.saved;
        break;
    case EffectType::INTELLI:
        stats.intelligence = effect.saved;
        break;
    case EffectType::MISS_MORE:
        missChance = effect.saved;
        break;
    case EffectType::CRITICAL_MORE:
        criticalChance = effect.saved;
        break;
    case EffectType::AP_BONUS:
        stats.maxActionPoints = effect.saved;
        stats.actionPoints = effect.saved;
        RefreshCommandButtons();
        break;
    case EffectType::INVINCIBLE:
        SwitchOff(emitters[EMITTER_INVINCIBLE].get());
        break;
    case EffectType::DEFEND_FREE:
    case EffectType::PHALANX:
        break;
    }
}

void Unit::AddTimedEffect(TimedEffect effect)
{
    for (TimedEffect& existing : timedEffects) {
        if (existing.type == effect.type) {
            existing.active = true;
            existing.turns += effect.turns;
            // The dropped record's first application is undone with the kept one.
            existing.applied += effect.applied;
            // The dropped record's arrow and emitter would otherwise never be freed.
            ReleaseTimedEffectAttachments(effect);
            return;
        }
    }
    timedEffects.push_back(effect);
}

void Unit::TickEffects(uint8_t phase)
{
    for (size_t i = 0; i < timedEffects.size();) {
        TimedEffect& effect = timedEffects[i];
        if (!effect.active) {
            ReleaseTimedEffectAttachments(effect);
            timedEffects.erase(timedEffects.begin() + static_cast<std::ptrdiff_t>(i));
            continue;
        }
        if (effect.phase == phase) {
            effect.turns -= 1;
            if (effect.turns < 1) {
                RestoreModifier(effect);
                SwitchOff(effect.emitter);
                if (effect.quad)
                    effect.quad->fadeState = 1;
                for (auto& emitter : effectEmitters)
                    SwitchOff(emitter.get());
                effect.active = false;
            } else {
                const int before = stats.health;
                ApplyModifier(effect);
                // A lasting harm wears a unit down but never kills it between blows: its death would
                // otherwise wait for the next attack, even one that misses.
                if (effect.type == EffectType::HEALTH && effect.amount < 0 && stats.health < 1 && before >= 1) {
                    effect.applied += 1 - stats.health;
                    stats.health = 1;
                }
            }
        }
        ++i;
    }
}

void Unit::ReleaseTimedEffectAttachments(TimedEffect& effect)
{
    if (effect.quad) {
        Withdraw(effect.quad);
        delete effect.quad;
        effect.quad = nullptr;
    }
    if (effect.emitter) {
        Withdraw(effect.emitter);
        delete effect.emitter;
        effect.emitter = nullptr;
    }
}

// ---- Turns and stances

void Unit::BeginTurn()
{
    if (state == DEAD)
        return;
    Count(owner, STAT_TURNS);
    waiting = false;
    turnTimer = 0.0f;
    myTurn = true;
    TickEffects(TimedEffect::PHASE_TURN_BEGIN);
    if (state == DEFENDING)
        EndDefend(true);
    else if (state == FOCUSING)
        EndFocus(true);
    stats.actionPoints = stats.maxActionPoints;
    QueueVoice(VOICE_TURN_START + RandomInt(3));
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
        endingTurn = true;
        SetState(pendingState);
        endingTurn = false;
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
    QueueSound(SOUND_DEFEND);
    const int shout = RandomInt(4);
    if (shout < 2)
        QueueVoice(VOICE_DEFEND + shout);
    else if (shout == 2)
        QueueGeneralShout();
    // A stance taken as the turn ends is that turn's end: asking for another would end a second turn.
    if (!HasActiveEffect(EffectType::PHALANX) && !endingTurn) {
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
    QueueSound(SOUND_FOCUS);
    StartEmitter("focusEmitter.txt", EMITTER_FOCUS);
    emitters[EMITTER_FOCUS]->alpha = 75;
    if (primaryAttribute == PrimaryAttribute::STRENGTH)
        stats.strength -= static_cast<int>(static_cast<float>(stats.strength) * -0.2f);
    else if (primaryAttribute == PrimaryAttribute::AGILITY)
        criticalChance += 15;
    const int shout = RandomInt(4);
    if (shout < 2)
        QueueVoice(VOICE_FOCUS + shout);
    else if (shout == 2)
        QueueGeneralShout();
    if (!endingTurn) {
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

int Unit::FindPath(Hex* targetHex, int& count)
{
    count = 0;
    HexGrid* grid = HexGrid::Current();
    if (!grid || !hex)
        return PathSearch::NO_MOVE;
    PathSearch search(*grid);
    return search.FindPath(*this, targetHex, count);
}

// ---- Abilities

const SpellDefinition* Unit::GetSelectedAbility() const
{
    if (selectedAbility < 0 || selectedAbility >= static_cast<int>(abilities.size()))
        return nullptr;
    return &abilities[static_cast<size_t>(selectedAbility)];
}

// ---- Walking

bool Unit::StartMove()
{
    if (path.empty())
        return false;
    const int shout = RandomInt(5);
    if (shout < 3)
        QueueVoice(VOICE_MOVE + shout);
    else if (shout == 3)
        QueueGeneralShout();
    SpendActionPoints(MOVE_COST);
    ResetStateDirect(MOVING);
    StartFootsteps();
    return true;
}

void Unit::StartFootsteps()
{
    footstepTimers[0] = 0.0f;
    footstepTimers[1] = SECOND_FOOTSTEP_START;
    QueueSound(SOUND_FOOTSTEP);
    QueueSound(SOUND_FOOTSTEP + 1);
}

void Unit::UpdateFootsteps()
{
    const float dt = DataManager::Get()->GetFrameTime();
    for (int i = 0; i < 2; ++i) {
        footstepTimers[i] += dt;
        if (footstepTimers[i] >= FOOTSTEP_PERIOD) {
            QueueSound(SOUND_FOOTSTEP + i);
            footstepTimers[i] = 0.0f;
        }
    }
}

void Unit::WalkStep()
{
    if (state != MOVING)
        return;
    if (shadow)
        shadow->UpdatePosition(position.x, position.y, position.z, true);
    if (path.empty())
        return;
    Hex* next = path.back();
    const float wx = next->anchorX + STAND_OFFSET_X;
    const float wz = next->anchorZ + STAND_OFFSET_Z;
    const float dx = wx - position.x;
    const float dz = wz - position.z;
    const float remaining = std::sqrt(dx * dx + dz * dz);
    const float step = DataManager::Get()->GetFrameTime() * movementSpeed;
    // A long frame would carry the unit past the point and back for ever; it stops on the point instead.
    if (step >= remaining)
        SetWorldPosition(wx, position.y, wz);
    else
        SetWorldPosition(position.x + dx / remaining * step, position.y, position.z + dz / remaining * step);
    const float ex = wx - position.x;
    const float ez = wz - position.z;
    if (std::sqrt(ex * ex + ez * ez) > ARRIVAL_DISTANCE) {
        UpdateFootsteps();
        Object::FaceTowards(wx, wz, PathSearch::FACE_RATE);
        return;
    }
    path.pop_back();
    Count(owner, STAT_HEXES_MOVED);
    if (!path.empty())
        return;
    if (next->type == HEX_DEFENDED)
        ZoneOfControl(*next);
    SetHex(next);
    ResetStateDirect(IDLE);
    PlayAnimation("Idle", true);
}

void Unit::ZoneOfControl(Hex& arrival)
{
    SoundQueue::Get()->Queue("ALL_ZOC.wav", 0, false, 0.0f);
    BoardUnit* guard = nullptr;
    for (BoardUnit* unit : arrival.UnitsWithinRadius()) {
        if (unit && unit->GetOwner() != owner && unit->HasActiveEffect(EffectType::PHALANX)) {
            guard = unit;
            break;
        }
    }
    if (!guard)
        return;
    ShowFloatingText(true);
    const int hurt = 30 + RandomInt(30);
    stats.health = std::clamp(stats.health - hurt, 0, std::max(0, stats.maxHealth));
    // The zone wounds but never kills.
    if (stats.health == 0)
        stats.health = 1;
    else
        SetCombatText(std::to_string(hurt) + " Damage Taken");
    StartEmitter("bloodEmitter.txt", EMITTER_BLOOD);
}

void Unit::AddEmitter(std::vector<std::unique_ptr<ParticleEmitter>>& list, const std::string& file,
                      const D3DXVECTOR3* point)
{
    auto emitter = std::make_unique<ParticleEmitter>();
    emitter->LoadFile(file);
    emitter->emitting = true;
    if (point)
        emitter->target = *point;
    list.push_back(std::move(emitter));
}

float Unit::GetCastTimer()
{
    return g_castTimer;
}

void Unit::SetCastTimer(float seconds)
{
    g_castTimer = seconds;
}

void Unit::AddAbility(const std::string& abilityName, int uses)
{
    SpellDefinition ability;
    if (!DataManager::Get()->GetSpell(abilityName, ability)) {
        DataManager::Get()->ReportMissing("spell.missing", abilityName,
                                          "has no spell file that was read; units go without this ability");
        return;
    }
    ability.usesLeft = uses;
    abilities.push_back(ability);
}

void Unit::SelectAbility(const std::string& abilityName)
{
    selectedAbility = -1;
    for (size_t i = 0; i < abilities.size(); ++i) {
        if (abilities[i].name == abilityName) {
            selectedAbility = static_cast<int>(i);
            break;
        }
    }
    const SpellDefinition* ability = GetSelectedAbility();
    if (!ability)
        return;
    ResetStateDirect(SELECTING_ABILITY_TARGET);
    if (ability->areaRadius > 1 && ability->range > 0) {
        if (BattleSession* session = BattleSession::Get())
            session->SetAreaDecal(ability->areaRadius * 3);
    }
}

bool Unit::CanPayFor(const SpellDefinition& ability)
{
    if (ability.usesLeft < 1)
        SetCombatText("Ability Exhausted");
    else if (stats.mana < std::abs(ability.manaCost))
        SetCombatText("Insufficient Mana");
    else if (stats.actionPoints < ability.actionPointCost)
        SetCombatText("Insufficient Action Points");
    else
        return true;
    return false;
}

void Unit::PayFor(const SpellDefinition& ability)
{
    Count(owner, STAT_ABILITIES_USED);
    stats.mana = std::clamp(stats.mana - std::abs(ability.manaCost), 0, std::max(0, stats.maxMana));
    initiative += ability.initiativeCost;
}

bool Unit::Fizzled(const SpellDefinition& ability)
{
    if (RandomInt(200) >= 5)
        return false;
    StartEmitter("fizzled_emitter.txt", EMITTER_BLOOD);
    SetCombatText("Spell Fizzled!");
    ResetStateDirect(IDLE);
    SpendActionPoints(ability.actionPointCost);
    abilityTarget = nullptr;
    Count(owner, STAT_MISSES);
    return true;
}

void Unit::QueueAbilitySound()
{
    if (selectedAbility >= 0 && selectedAbility <= 3)
        QueueSound(SOUND_ABILITY + selectedAbility);
}

void Unit::UseAbility(Hex* hovered)
{
    const SpellDefinition* selected = GetSelectedAbility();
    if (!hovered || !selected || !hex)
        return;
    const SpellDefinition ability = *selected;
    const int rows = std::abs(hex->row - hovered->row);
    if (ability.range == 0) {
        if (rows > ability.areaRadius) {
            SetCombatText("Out of Range");
            return;
        }
        abilityTarget = hex;
    } else {
        if (rows > ability.range) {
            SetCombatText("Out of Range");
            return;
        }
        abilityTarget = hovered;
    }
    ShowFloatingText(true);
    BoardPointer* pointer = BoardPointer::Get();
    if (!CanPayFor(ability)) {
        ResetStateDirect(IDLE);
        ClearTarget();
        DeselectAbility();
        abilityTarget = nullptr;
        if (pointer)
            pointer->SetHovered(nullptr);
        return;
    }
    PayFor(ability);
    if (Fizzled(ability)) {
        DeselectAbility();
        if (pointer)
            pointer->SetHovered(nullptr);
        return;
    }
    const D3DXVECTOR3 point(abilityTarget->CentreX(), abilityTarget->meanHeight, abilityTarget->CentreZ());
    for (const std::string& file : ability.firstEmitters)
        AddEmitter(castEmitters, file, &point);
    PlayAbilityEffect(ability.name);
    QueueAbilitySound();
    abilities[static_cast<size_t>(selectedAbility)].usesLeft -= 1;
    SpendActionPoints(ability.actionPointCost);
    // A cast abandoned half way must not shorten the next one.
    g_castTimer = 0.0f;
    ResetStateDirect(CASTING);
    PlayAnimation("Cast", false);
}

void Unit::CastSpell(BoardUnit* spellTarget)
{
    SetTarget(spellTarget);
    const SpellDefinition* selected = GetSelectedAbility();
    if (!selected || !target)
        return;
    const SpellDefinition ability = *selected;
    ShowFloatingText(true);
    if (!CanPayFor(ability)) {
        ResetStateDirect(IDLE);
        ClearTarget();
        DeselectAbility();
        return;
    }
    PayFor(ability);
    if (Fizzled(ability))
        return;
    const D3DXVECTOR3 point(target->position.x, target->position.y + 100.0f, target->position.z);
    for (const std::string& file : ability.firstEmitters)
        AddEmitter(castEmitters, file, &point);
    if (ability.castTime >= 0.0f) {
        for (const std::string& file : ability.secondEmitters)
            AddEmitter(effectEmitters, file, nullptr);
    }
    PlayAbilityEffect(ability.name);
    QueueAbilitySound();
    if (Rand() % 100 > 80) {
        if (BattleSession* session = BattleSession::Get())
            session->RequestSlowMotion(target, ability.name == "Lightning Bolt" ? 1.25f : 0.5f, true);
        slowMotionRequested = true;
    }
    abilities[static_cast<size_t>(selectedAbility)].usesLeft -= 1;
    SpendActionPoints(ability.actionPointCost);
    g_castTimer = 0.0f;
    ResetStateDirect(CASTING);
    PlayAnimation("Cast", false);
}

bool Unit::AbilityReady()
{
    const SpellDefinition* ability = GetSelectedAbility();
    if (!ability)
        return true;
    g_castTimer += DataManager::Get()->GetFrameTime();
    if (ability->castTime < 0.0f) {
        // A projectile cast is over when one of its emitters arrives, or when none is left to arrive. An
        // emitter file may describe one that never arrives nor ends: the cast is then over after a bound, or
        // the caster would cast for ever and its turn could never end.
        const bool over = castEmitters.empty() || g_castTimer >= kProjectileCastLimit ||
                          std::any_of(castEmitters.begin(), castEmitters.end(),
                                      [](const auto& emitter) { return emitter->arrived || emitter->finished; });
        if (over)
            g_castTimer = 0.0f;
        return over;
    }
    if (g_castTimer >= ability->castTime) {
        g_castTimer = 0.0f;
        return true;
    }
    return false;
}

void Unit::StartAreaEmitters()
{
    const SpellDefinition* ability = GetSelectedAbility();
    if (ability && ability->areaRadius > 1 && abilityTarget) {
        for (const std::string& file : ability->secondEmitters)
            AddEmitter(aimEmitters, file, nullptr);
    }
    if (BoardPointer* pointer = BoardPointer::Get())
        pointer->SetHovered(nullptr);
}

void Unit::ReceiveAreaAbility(Unit* caster, const SpellDefinition& ability)
{
    if (!alive || !caster || !caster->abilityTarget || !hex)
        return;
    const Hex* centre = caster->abilityTarget;
    if (std::abs(hex->row - centre->row) >= ability.areaRadius ||
        std::abs(hex->column - centre->column) >= ability.areaRadius)
        return;
    SpellDefinition copy = ability;
    const bool warcry = ability.name == "Warcry";
    if (owner == caster->owner && warcry)
        copy.amount = -copy.amount;
    if (this != caster) {
        ApplySpellEffect(caster, copy);
        return;
    }
    if (ability.range > 0) {
        ApplySpellEffect(caster, copy);
        return;
    }
    if (ability.target != "ENEMY")
        ApplySpellEffect(caster, copy);
    if (warcry)
        ApplySpellEffect(caster, copy);
}

// ---- Spell effects

namespace {

// A message of the spell table with its one number: "%i" takes the value and "%%" prints a per cent sign.
std::string FormatSpellMessage(const char* format, int value)
{
    std::string text;
    for (const char* p = format; *p; ++p) {
        if (p[0] == '%' && p[1] == 'i') {
            text += std::to_string(value);
            ++p;
        } else if (p[0] == '%' && p[1] == '%') {
            text += '%';
            ++p;
        } else {
            text += *p;
        }
    }
    return text;
}

struct TextColour {
    float red, green, blue, alpha;
};

void Tint(ParticleEmitter* emitter, size_t index, float red, float green, float blue)
{
    if (emitter)
        emitter->SetColourKey(index, red, green, blue);
}

// The buff arrow points up; flipping the texture's rows points it down.
void PointArrow(WorldQuad* quad, bool down)
{
    if (!quad)
        return;
    quad->vTop = down ? 1.0f : 0.0f;
    quad->vBottom = down ? 0.0f : 1.0f;
}

} // namespace

void Unit::ApplySpellEffect(BoardUnit* caster, const SpellDefinition& ability)
{
    auto* casterUnit = dynamic_cast<Unit*>(caster);
    Player* casterOwner = caster ? caster->GetOwner() : nullptr;
    CombatText* label = CombatLabel();
    if (label)
        label->SetFontHeight(24);
    ShowFloatingText(true);
    TextColour colour{1.0f, 0.0f, 0.0f, 1.0f};

    // The amount lives here: the ability keeps its base amount whatever happens below.
    int amount = ability.amount;
    const int casterCritical = casterUnit ? casterUnit->criticalChance : 0;
    if (casterCritical > RandomInt(100))
        amount *= 2;
    bool resisted = true;
    int resistance = 0;
    switch (ability.school) {
    case SpellSchool::HOLY:
        resistance = holyResistance;
        break;
    case SpellSchool::SHADOW:
        resistance = shadowResistance;
        break;
    case SpellSchool::NATURE:
        resistance = natureResistance;
        break;
    case SpellSchool::ARCANE:
        resistance = arcaneResistance;
        break;
    default:
        resisted = false;
        break;
    }
    if (resisted) {
        if (resistance == 101) {
            amount = -amount;
        } else {
            const float share = static_cast<float>(resistance) * 0.01f;
            amount -= static_cast<int>(RandomFloat(share - 0.25f, share + 0.25f) * static_cast<float>(amount));
        }
    }
    const char* format = "Spell Damage: %i";

    TimedEffect effect = CreateTimedEffect();
    effect.type = ability.effectType;
    effect.turns = ability.duration;
    ParticleEmitter* emitter = effect.emitter;
    if (emitter)
        emitter->emitting = true;
    Tint(emitter, 0, 255.0f, 255.0f, 255.0f);
    if (effect.quad)
        effect.quad->fadeState = 0;
    PointArrow(effect.quad, false);
    const bool lasting = ability.duration > 0;
    const bool raised = amount > 0;

    switch (ability.effectType) {
    case EffectType::HEALTH:
        if (ability.name == "Assassin's Touch")
            amount = stats.health < 100 ? -stats.health : 1 - stats.health;
        if (HasActiveEffect(EffectType::INVINCIBLE)) {
            SetCombatText("Magic Shield Blocks All!");
            ReleaseTimedEffectAttachments(effect);
            return;
        }
        if (amount <= 0) {
            PlayAnimation("MagicHit", false);
            Count(casterOwner, STAT_DAMAGE_DEALT, std::abs(amount));
        }
        effect.saved = stats.health;
        colour = amount > 0 ? TextColour{1.0f, 1.0f, 0.0f, 1.0f} : TextColour{1.0f, 0.0f, 0.0f, 1.0f};
        if (lasting) {
            PointArrow(effect.quad, amount < 0);
            if (ability.name == "Poison Arrow") {
                Tint(emitter, 0, 255.0f, 255.0f, 0.0f);
                Tint(emitter, 1, 0.0f, 255.0f, 0.0f);
            } else {
                Tint(emitter, 1, 255.0f, 0.0f, 0.0f);
            }
        }
        if (amount > 0)
            format = "%i Damage Healed";
        else if (lasting && ability.name == "Poison Arrow")
            format = "Poisoned";
        break;
    case EffectType::MANA:
        effect.saved = stats.mana;
        colour = {1.0f, 0.0f, 1.0f, 1.0f};
        if (lasting) {
            PointArrow(effect.quad, amount < 0);
            Tint(emitter, 1, 0.0f, 0.0f, 255.0f);
        }
        format = raised ? "%i Points of Mana Regained" : "%i Points of Mana Drained";
        break;
    case EffectType::INITIATIVE:
        effect.saved = initiative;
        colour = {1.0f, 1.0f, 0.0f, 1.0f};
        format = raised ? "%i Points of Initiative Gained" : "%i Points of Initiative Lost";
        break;
    case EffectType::MOVEMENT_RADIUS:
        effect.saved = stats.movementRadius;
        colour = {1.0f, 1.0f, 1.0f, 1.0f};
        PointArrow(effect.quad, amount < 0);
        Tint(emitter, 1, 0.0f, 255.0f, 0.0f);
        format = raised ? "Movement Radius Increased by %i" : "Movement Radius Decreased by %i";
        break;
    case EffectType::STR:
        effect.saved = stats.strength;
        colour = {1.0f, 0.0f, 1.0f, 1.0f};
        if (lasting) {
            PointArrow(effect.quad, amount < 0);
            Tint(emitter, 1, 255.0f, 255.0f, 0.0f);
        }
        format = raised ? "Strength Raised by %i" : "Strength Lowered by %i";
        break;
    case EffectType::AGILLY:
        effect.saved = stats.agility;
        colour = {0.25f, 1.0f, 0.0f, 1.0f};
        format = raised ? "Agility Raised by %i" : "Agility Lowered by %i";
        break;
    case EffectType::INTELLI:
        effect.saved = stats.intelligence;
        colour = {1.0f, 0.25f, 1.0f, 1.0f};
        format = raised ? "Intelligence Raised by %i" : "Intelligence Lowered by %i";
        break;
    case EffectType::MISS_MORE:
        effect.saved = missChance;
        colour = {1.0f, 1.0f, 0.25f, 1.0f};
        if (lasting)
            Tint(emitter, 1, 113.0f, 54.0f, 137.0f);
        PointArrow(effect.quad, amount < 0);
        if (amount > 0)
            format = "Hit Chance Increased by %i%%";
        else if (amount < 0)
            format = "Hit Chance Decreased by %i%%";
        break;
    case EffectType::DEFEND_FREE:
        effect.saved = 0;
        colour = {0.1f, 0.85f, 0.0f, 1.0f};
        Tint(emitter, 0, 255.0f, 0.0f, 255.0f);
        Tint(emitter, 1, 0.0f, 255.0f, 255.0f);
        if (effect.quad)
            effect.quad->fadeState = 1;
        format = "Camouflaged For 1 Turn";
        break;
    case EffectType::PHALANX:
        effect.saved = 0;
        // The stance speaks for itself: its number is drawn fully transparent.
        colour = {0.0f, 0.0f, 0.0f, 0.0f};
        Tint(emitter, 0, 255.0f, 128.0f, 255.0f);
        Tint(emitter, 1, 64.0f, 128.0f, 128.0f);
        if (effect.quad)
            effect.quad->fadeState = 1;
        break;
    case EffectType::CRITICAL_MORE:
        effect.saved = criticalChance;
        colour = {0.25f, 0.0f, 1.0f, 1.0f};
        if (lasting)
            Tint(emitter, 1, 255.0f, 164.0f, 0.0f);
        format = raised ? "Chance to Critical Increased by %i%%" : "Chance to Critical Decreased by %i%%";
        break;
    case EffectType::AP_BONUS:
        effect.saved = stats.maxActionPoints;
        colour = {0.0f, 1.0f, 0.25f, 1.0f};
        if (lasting) {
            PointArrow(effect.quad, amount < 0);
            Tint(emitter, 1, 255.0f, 255.0f, 255.0f);
        }
        format = raised ? "%i Action Points Gained" : "%i Action Points Lost";
        break;
    case EffectType::INVINCIBLE:
        effect.saved = 0;
        colour = {1.0f, 1.0f, 0.0f, 1.0f};
        StartEmitter("invincibleEmitter.txt", EMITTER_INVINCIBLE);
        format = "Invincible for 1 turn.";
        break;
    }

    // An effect a unit gives itself ticks as its own turn begins, so it lasts through the turns it plays.
    if (caster == this)
        effect.phase = TimedEffect::PHASE_TURN_BEGIN;
    effect.amount = amount;
    ApplyModifier(effect);
    if (lasting)
        AddTimedEffect(effect);
    else
        ReleaseTimedEffectAttachments(effect);
    Count(casterOwner, STAT_SPELL_AMOUNT, std::abs(amount));
    if (label) {
        label->SetColour(colour.red, colour.green, colour.blue, colour.alpha);
        label->SetText(FormatSpellMessage(format, std::abs(amount)));
    }

    if (ability.castTime < 0.0f) {
        for (const std::string& file : ability.secondEmitters)
            AddEmitter(effectEmitters, file, nullptr);
    } else if (ability.castTime > 0.0f) {
        for (const std::string& file : ability.thirdEmitters)
            AddEmitter(effectEmitters, file, nullptr);
    }

    if (stats.health <= 0)
        DieFrom(casterOwner);
    // A phalanx holds its ground, but the dead hold nothing: a corpse never rises into the stance.
    if (state != DEAD && state != DEFENDING && HasActiveEffect(EffectType::PHALANX))
        ResetStateDirect(DEFENDING);
}
// NOLINTEND(readability-identifier-naming)
