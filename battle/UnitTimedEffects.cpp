#include "battle/UnitTimedEffects.h"

#include "battle/Unit.h"
#include "scene/ParticleEmitter.h"
#include "scene/WorldQuad.h"

#include <algorithm>

TimedEffect UnitTimedEffects::CreateTimedEffect()
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

void UnitTimedEffects::ApplyModifier(TimedEffect& effect)
{
    switch (effect.type) {
    case EffectType::HEALTH: {
        const int before = m_rules.stats.health;
        m_rules.stats.health =
            std::clamp(m_rules.stats.health + effect.amount, 0, std::max(0, m_rules.stats.maxHealth));
        effect.applied += m_rules.stats.health - before;
        break;
    }
    case EffectType::MANA:
        m_rules.stats.mana = std::clamp(m_rules.stats.mana + effect.amount, 0, std::max(0, m_rules.stats.maxMana));
        break;
    case EffectType::INITIATIVE:
        m_rules.turn.initiative += effect.amount;
        break;
    case EffectType::MOVEMENT_RADIUS:
        m_rules.stats.movementRadius = std::max(0, m_rules.stats.movementRadius + effect.amount);
        break;
    case EffectType::STR:
        m_rules.stats.strength += effect.amount;
        break;
    case EffectType::AGILLY:
        m_rules.stats.agility += effect.amount;
        break;
    case EffectType::INTELLI:
        m_rules.stats.intelligence += effect.amount;
        break;
    case EffectType::MISS_MORE:
        m_rules.attributes.missChance += effect.amount;
        break;
    case EffectType::PHALANX:
        m_rules.stats.actionPoints = 0;
        break;
    case EffectType::CRITICAL_MORE:
        m_rules.attributes.criticalChance += effect.amount;
        break;
    case EffectType::AP_BONUS:
        m_rules.stats.maxActionPoints = std::max(0, m_rules.stats.maxActionPoints + effect.amount);
        m_rules.stats.actionPoints = std::max(0, m_rules.stats.actionPoints + effect.amount);
        m_host.RefreshCommandButtons();
        break;
    case EffectType::DEFEND_FREE:
    case EffectType::INVINCIBLE:
        break;
    }
}

void UnitTimedEffects::RestoreModifier(TimedEffect& effect)
{
    switch (effect.type) {
    case EffectType::HEALTH:
        // Only what the effect itself changed is undone: a blow taken meanwhile stays taken, and healing given
        // meanwhile stays given. The expiry never kills and never heals beyond the maximum.
        m_rules.stats.health =
            std::clamp(m_rules.stats.health - effect.applied, 1, std::max(1, m_rules.stats.maxHealth));
        effect.applied = 0;
        break;
    case EffectType::MANA:
        m_rules.stats.mana = effect.saved;
        break;
    case EffectType::INITIATIVE:
        m_rules.turn.initiative = effect.saved;
        break;
    case EffectType::MOVEMENT_RADIUS:
        m_rules.stats.movementRadius = effect.saved;
        break;
    case EffectType::STR:
        m_rules.stats.strength = effect.saved;
        break;
    case EffectType::AGILLY:
        m_rules.stats.agility = effect.saved;
        break;
    case EffectType::INTELLI:
        m_rules.stats.intelligence = effect.saved;
        break;
    case EffectType::MISS_MORE:
        m_rules.attributes.missChance = effect.saved;
        break;
    case EffectType::CRITICAL_MORE:
        m_rules.attributes.criticalChance = effect.saved;
        break;
    case EffectType::AP_BONUS:
        m_rules.stats.maxActionPoints = effect.saved;
        m_rules.stats.actionPoints = effect.saved;
        m_host.RefreshCommandButtons();
        break;
    case EffectType::INVINCIBLE:
        m_unit.Presentation().OnShieldLowered();
        break;
    case EffectType::DEFEND_FREE:
    case EffectType::PHALANX:
        break;
    }
}

void UnitTimedEffects::AddTimedEffect(TimedEffect effect)
{
    for (TimedEffect& existing : m_rules.timedEffects) {
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
    m_rules.timedEffects.push_back(effect);
}

void UnitTimedEffects::TickEffects(uint8_t phase)
{
    for (size_t i = 0; i < m_rules.timedEffects.size();) {
        TimedEffect& effect = m_rules.timedEffects[i];
        if (!effect.active) {
            ReleaseTimedEffectAttachments(effect);
            m_rules.timedEffects.erase(m_rules.timedEffects.begin() + static_cast<std::ptrdiff_t>(i));
            continue;
        }
        if (effect.phase == phase) {
            effect.turns -= 1;
            if (effect.turns < 1) {
                RestoreModifier(effect);
                if (effect.emitter)
                    effect.emitter->emitting = false;
                if (effect.quad)
                    effect.quad->fadeState = 1;
                m_unit.Presentation().OnEffectExpired();
                effect.active = false;
            } else {
                const int before = m_rules.stats.health;
                ApplyModifier(effect);
                // A lasting harm wears a unit down but never kills it between blows: its death would
                // otherwise wait for the next attack, even one that misses.
                if (effect.type == EffectType::HEALTH && effect.amount < 0 && m_rules.stats.health < 1 && before >= 1) {
                    effect.applied += 1 - m_rules.stats.health;
                    m_rules.stats.health = 1;
                }
            }
        }
        ++i;
    }
}

void UnitTimedEffects::ReleaseTimedEffectAttachments(TimedEffect& effect)
{
    if (effect.quad) {
        UnitPresentation::Withdraw(effect.quad);
        delete effect.quad;
        effect.quad = nullptr;
    }
    if (effect.emitter) {
        UnitPresentation::Withdraw(effect.emitter);
        delete effect.emitter;
        effect.emitter = nullptr;
    }
}
