#include "battle/UnitSpellcasting.h"

#include "battle/BattleSession.h"
#include "battle/BoardPointer.h"
#include "battle/EffectLook.h"
#include "battle/Hex.h"
#include "battle/Player.h"
#include "battle/Unit.h"
#include "core/DataManager.h"
#include "core/Random.h"
#include "scene/ParticleEmitter.h"
#include "scene/WorldQuad.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>

namespace {

// Only one unit casts at a time, so one delay serves them all.
float g_castTimer = 0.0f;

} // namespace

float UnitSpellcasting::GetCastTimer()
{
    return g_castTimer;
}

void UnitSpellcasting::SetCastTimer(float seconds)
{
    g_castTimer = seconds;
}

void UnitSpellcasting::AddAbility(const std::string& abilityName, int uses)
{
    SpellDefinition ability;
    if (!DataManager::Get()->GetSpell(abilityName, ability)) {
        DataManager::Get()->ReportMissing("spell.missing", abilityName,
                                          "has no spell file that was read; units go without this ability");
        return;
    }
    ability.usesLeft = uses;
    m_rules.abilities.push_back(ability);
}

void UnitSpellcasting::SelectAbility(const std::string& abilityName)
{
    m_rules.command.selectedAbility = -1;
    for (size_t i = 0; i < m_rules.abilities.size(); ++i) {
        if (m_rules.abilities[i].name == abilityName) {
            m_rules.command.selectedAbility = static_cast<int>(i);
            break;
        }
    }
    const SpellDefinition* ability = m_unit.GetSelectedAbility();
    if (!ability)
        return;
    m_host.EnterState(SELECTING_ABILITY_TARGET);
    if (ability->areaRadius > 1 && ability->range > 0) {
        if (BattleSession* session = BattleSession::Get())
            session->SetAreaDecal(ability->areaRadius * 3);
    }
}

bool UnitSpellcasting::CanPayFor(const SpellDefinition& ability)
{
    if (ability.usesLeft < 1)
        m_unit.Presentation().SetCombatText("Ability Exhausted");
    else if (m_rules.stats.mana < std::abs(ability.manaCost))
        m_unit.Presentation().SetCombatText("Insufficient Mana");
    else if (m_rules.stats.actionPoints < ability.actionPointCost)
        m_unit.Presentation().SetCombatText("Insufficient Action Points");
    else
        return true;
    return false;
}

void UnitSpellcasting::PayFor(const SpellDefinition& ability)
{
    Player::Credit(m_rules.owner, Statistic::ABILITIES_USED);
    m_rules.stats.mana =
        std::clamp(m_rules.stats.mana - std::abs(ability.manaCost), 0, std::max(0, m_rules.stats.maxMana));
    m_rules.turn.initiative += ability.initiativeCost;
}

bool UnitSpellcasting::Fizzled(const SpellDefinition& ability)
{
    if (RandomInt(200) >= 5)
        return false;
    m_unit.Presentation().OnFizzled();
    m_host.EnterState(IDLE);
    m_host.SpendActionPoints(ability.actionPointCost);
    m_rules.command.abilityTarget = nullptr;
    Player::Credit(m_rules.owner, Statistic::MISSES);
    return true;
}

void UnitSpellcasting::UseAbility(Hex* hovered)
{
    const SpellDefinition* selected = m_unit.GetSelectedAbility();
    if (!hovered || !selected || !m_unit.GetHex())
        return;
    const SpellDefinition ability = *selected;
    const int rows = std::abs(m_unit.GetHex()->row - hovered->row);
    if (ability.range == 0) {
        if (rows > ability.areaRadius) {
            m_unit.Presentation().SetCombatText("Out of Range");
            return;
        }
        m_rules.command.abilityTarget = m_unit.GetHex();
    } else {
        if (rows > ability.range) {
            m_unit.Presentation().SetCombatText("Out of Range");
            return;
        }
        m_rules.command.abilityTarget = hovered;
    }
    m_unit.Presentation().ShowFloatingText(true);
    BoardPointer* pointer = BoardPointer::Get();
    if (!CanPayFor(ability)) {
        m_host.EnterState(IDLE);
        m_unit.ClearTarget();
        m_unit.DeselectAbility();
        m_rules.command.abilityTarget = nullptr;
        if (pointer)
            pointer->SetHovered(nullptr);
        return;
    }
    PayFor(ability);
    if (Fizzled(ability)) {
        m_unit.DeselectAbility();
        if (pointer)
            pointer->SetHovered(nullptr);
        return;
    }
    const D3DXVECTOR3 point(m_rules.command.abilityTarget->CentreX(), m_rules.command.abilityTarget->meanHeight,
                            m_rules.command.abilityTarget->CentreZ());
    m_unit.Presentation().OnCastStarted(ability.firstEmitters, point);
    m_host.PlayAbilityEffect(ability.name);
    m_unit.Presentation().OnAbilityUsed(m_rules.command.selectedAbility);
    m_rules.abilities[static_cast<size_t>(m_rules.command.selectedAbility)].usesLeft -= 1;
    m_host.SpendActionPoints(ability.actionPointCost);
    // A cast abandoned half way must not shorten the next one.
    g_castTimer = 0.0f;
    m_host.EnterState(CASTING);
    m_unit.PlayAnimation("Cast", false);
}

void UnitSpellcasting::CastSpell(BoardUnit* spellTarget)
{
    m_unit.SetTarget(spellTarget);
    const SpellDefinition* selected = m_unit.GetSelectedAbility();
    if (!selected || !m_rules.command.target)
        return;
    const SpellDefinition ability = *selected;
    m_unit.Presentation().ShowFloatingText(true);
    if (!CanPayFor(ability)) {
        m_host.EnterState(IDLE);
        m_unit.ClearTarget();
        m_unit.DeselectAbility();
        return;
    }
    PayFor(ability);
    if (Fizzled(ability))
        return;
    const D3DXVECTOR3 point(m_rules.command.target->GetPosition().x, m_rules.command.target->GetPosition().y + 100.0f,
                            m_rules.command.target->GetPosition().z);
    m_unit.Presentation().OnCastStarted(ability.firstEmitters, point);
    if (ability.castTime >= 0.0f)
        m_unit.Presentation().OnEffectEmitters(ability.secondEmitters);
    m_host.PlayAbilityEffect(ability.name);
    m_unit.Presentation().OnAbilityUsed(m_rules.command.selectedAbility);
    if (Rand() % 100 > 80) {
        if (BattleSession* session = BattleSession::Get())
            session->RequestSlowMotion(m_rules.command.target, ability.name == "Lightning Bolt" ? 1.25f : 0.5f, true);
        m_rules.command.slowMotionRequested = true;
    }
    m_rules.abilities[static_cast<size_t>(m_rules.command.selectedAbility)].usesLeft -= 1;
    m_host.SpendActionPoints(ability.actionPointCost);
    g_castTimer = 0.0f;
    m_host.EnterState(CASTING);
    m_unit.PlayAnimation("Cast", false);
}

bool UnitSpellcasting::AbilityReady()
{
    const SpellDefinition* ability = m_unit.GetSelectedAbility();
    if (!ability)
        return true;
    g_castTimer += DataManager::Get()->GetFrameTime();
    if (ability->castTime < 0.0f) {
        // A projectile cast is over when one of its emitters arrives, or when none is left to arrive. An
        // emitter file may describe one that never arrives nor ends: the cast is then over after a bound, or
        // the caster would cast for ever and its turn could never end.
        const bool over = g_castTimer >= PROJECTILE_CAST_LIMIT || m_unit.Presentation().CastArrived();
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

void UnitSpellcasting::StartAreaEmitters()
{
    const SpellDefinition* ability = m_unit.GetSelectedAbility();
    if (ability && ability->areaRadius > 1 && m_rules.command.abilityTarget)
        m_unit.Presentation().OnAreaAimed(ability->secondEmitters);
    if (BoardPointer* pointer = BoardPointer::Get())
        pointer->SetHovered(nullptr);
}

void UnitSpellcasting::ReceiveAreaAbility(Unit* caster, const SpellDefinition& ability)
{
    if (!m_rules.turn.alive || !caster || !caster->Rules().command.abilityTarget || !m_unit.GetHex())
        return;
    const Hex* centre = caster->Rules().command.abilityTarget;
    if (std::abs(m_unit.GetHex()->row - centre->row) >= ability.areaRadius ||
        std::abs(m_unit.GetHex()->column - centre->column) >= ability.areaRadius)
        return;
    SpellDefinition copy = ability;
    const bool warcry = ability.name == "Warcry";
    if (m_rules.owner == caster->Rules().owner && warcry)
        copy.amount = -copy.amount;
    if (&m_unit != caster) {
        m_unit.ApplySpellEffect(caster, copy);
        return;
    }
    if (ability.range > 0) {
        m_unit.ApplySpellEffect(caster, copy);
        return;
    }
    if (ability.target != "ENEMY")
        m_unit.ApplySpellEffect(caster, copy);
    if (warcry)
        m_unit.ApplySpellEffect(caster, copy);
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

void Tint(ParticleEmitter* emitter, size_t index, const EffectLook::Tinge& tinge)
{
    if (emitter)
        emitter->SetColourKey(index, tinge.red, tinge.green, tinge.blue);
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

int UnitSpellcasting::RollSpellAmount(const Unit* casterUnit, const SpellDefinition& ability) const
{
    // The amount lives here: the ability keeps its base amount whatever happens below.
    int amount = ability.amount;
    const int casterCritical = casterUnit ? casterUnit->Rules().attributes.criticalChance : 0;
    if (casterCritical > RandomInt(100))
        amount *= 2;
    int resistance = 0;
    switch (ability.school) {
    case SpellSchool::HOLY:
        resistance = m_rules.attributes.holyResistance;
        break;
    case SpellSchool::SHADOW:
        resistance = m_rules.attributes.shadowResistance;
        break;
    case SpellSchool::NATURE:
        resistance = m_rules.attributes.natureResistance;
        break;
    case SpellSchool::ARCANE:
        resistance = m_rules.attributes.arcaneResistance;
        break;
    default:
        return amount;
    }
    if (resistance == 101)
        return -amount;
    const float share = static_cast<float>(resistance) * 0.01f;
    return amount - static_cast<int>(RandomFloat(share - 0.25f, share + 0.25f) * static_cast<float>(amount));
}

bool UnitSpellcasting::ApplyHealthSpecialCases(const SpellDefinition& ability, Player* casterOwner, int& amount,
                                               TimedEffect& effect)
{
    if (ability.name == "Assassin's Touch")
        amount = m_rules.stats.health < 100 ? -m_rules.stats.health : 1 - m_rules.stats.health;
    if (m_unit.HasActiveEffect(EffectType::INVINCIBLE)) {
        m_unit.Presentation().OnShielded();
        UnitTimedEffects::ReleaseTimedEffectAttachments(effect);
        return false;
    }
    if (amount <= 0) {
        m_unit.PlayAnimation("MagicHit", false);
        Player::Credit(casterOwner, Statistic::DAMAGE_DEALT, std::abs(amount));
    }
    if (ability.duration > 0 && ability.name == "Poison Arrow") {
        PointArrow(effect.quad, amount < 0);
        Tint(effect.emitter, 0, {255.0f, 255.0f, 0.0f});
        Tint(effect.emitter, 1, {0.0f, 255.0f, 0.0f});
    }
    return true;
}

void UnitSpellcasting::ApplySpellEffect(BoardUnit* caster, const SpellDefinition& ability)
{
    Player* casterOwner = caster ? caster->GetOwner() : nullptr;
    m_unit.Presentation().OnSpellReceived();
    int amount = RollSpellAmount(dynamic_cast<Unit*>(caster), ability);

    TimedEffect effect = UnitTimedEffects::CreateTimedEffect();
    effect.type = ability.effectType;
    effect.turns = ability.duration;
    ParticleEmitter* emitter = effect.emitter;
    if (emitter)
        emitter->emitting = true;
    Tint(emitter, 0, {255.0f, 255.0f, 255.0f});
    if (effect.quad)
        effect.quad->fadeState = 0;
    PointArrow(effect.quad, false);
    const bool lasting = ability.duration > 0;

    const EffectLook& look = EffectLook::Of(ability.effectType);
    const bool poison = ability.effectType == EffectType::HEALTH && ability.name == "Poison Arrow";
    if (ability.effectType == EffectType::HEALTH && !ApplyHealthSpecialCases(ability, casterOwner, amount, effect))
        return;
    effect.saved = look.statistic(m_rules);
    EffectLook::Colour colour = look.colour;
    const char* format = look.MessageFor(amount);
    if (ability.effectType == EffectType::HEALTH && amount > 0)
        colour = {1.0f, 1.0f, 0.0f, 1.0f};
    if (poison && lasting && amount <= 0)
        format = "Poisoned";
    if (!poison) {
        if (look.Arrowed(lasting))
            PointArrow(effect.quad, amount < 0);
        if (look.Tinted(lasting))
            Tint(emitter, 1, look.tinge);
    }
    if (look.stance) {
        Tint(emitter, 0, look.stanceTinge);
        if (effect.quad)
            effect.quad->fadeState = 1;
    }
    if (ability.effectType == EffectType::INVINCIBLE)
        m_unit.Presentation().OnShieldRaised();

    // An effect a unit gives itself ticks as its own turn begins, so it lasts through the turns it plays.
    if (caster == &m_unit)
        effect.phase = TimedEffect::PHASE_TURN_BEGIN;
    effect.amount = amount;
    m_unit.TimedEffects().ApplyModifier(effect);
    if (lasting)
        m_unit.TimedEffects().AddTimedEffect(effect);
    else
        UnitTimedEffects::ReleaseTimedEffectAttachments(effect);
    Player::Credit(casterOwner, Statistic::SPELL_AMOUNT, std::abs(amount));
    m_unit.Presentation().OnEffectApplied(colour, FormatSpellMessage(format, std::abs(amount)));

    if (ability.castTime < 0.0f)
        m_unit.Presentation().OnEffectEmitters(ability.secondEmitters);
    else if (ability.castTime > 0.0f)
        m_unit.Presentation().OnEffectEmitters(ability.thirdEmitters);

    if (m_rules.stats.health <= 0)
        m_host.DieFrom(casterOwner);
    // A phalanx holds its ground, but the dead hold nothing: a corpse never rises into the stance.
    if (m_rules.turn.state != DEAD && m_rules.turn.state != DEFENDING && m_unit.HasActiveEffect(EffectType::PHALANX))
        m_host.EnterState(DEFENDING);
}
