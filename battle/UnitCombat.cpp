#include "battle/UnitCombat.h"

#include "battle/BattleSession.h"
#include "battle/BoardPointer.h"
#include "battle/CommandHud.h"
#include "battle/Hex.h"
#include "battle/Player.h"
#include "battle/Unit.h"
#include "core/DataManager.h"
#include "core/Random.h"
#include "core/SoundQueue.h"
#include "scene/AnimatedMesh.h"
#include "scene/ParticleManager.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

using Look = UnitPresentation;

} // namespace

TargetCheck UnitCombat::CheckTarget()
{
    TargetCheck check = MELEE_IN_RANGE;
    m_unit.ShowFloatingText(true);
    CommandHud* hud = CommandHud::Get();
    const BoardPointer* pointer = BoardPointer::Get();
    if (pointer && pointer->IsOverHud()) {
        if (hud)
            hud->HideHighlight();
        m_unit.ClearTarget();
        m_unit.targetCheck = NO_TARGET;
        return m_unit.targetCheck;
    }
    const SpellDefinition* ability = m_unit.GetSelectedAbility();
    if (m_unit.state == SELECTING_TARGET) {
        if (!m_unit.target || !m_unit.target->m_hex || !m_unit.m_hex) {
            check = NO_TARGET;
        } else {
            const float distance = m_unit.target->m_hex->DistanceTo(*m_unit.m_hex);
            check = OUT_OF_RANGE;
            if (distance <= static_cast<float>(m_unit.stats.rangedRange) * Unit::RANGE_STEP)
                check = RANGED_IN_RANGE;
            if (distance <= static_cast<float>(m_unit.stats.meleeRange) * Unit::RANGE_STEP)
                check = MELEE_IN_RANGE;
            if (m_unit.target->owner == m_unit.owner)
                check = OWN_TEAM;
        }
    } else if (m_unit.state == SELECTING_ABILITY_TARGET) {
        check = SPELL_ON_UNIT;
        if (!ability) {
            check = NO_SPELL;
        } else {
            if (m_unit.target && m_unit.target->owner == m_unit.owner)
                check = OWN_TEAM;
            if (m_unit.stats.mana < std::abs(ability->manaCost))
                check = INSUFFICIENT_MANA;
            if (ability->areaRadius < 2) {
                if (!m_unit.m_hex || !m_unit.target || !m_unit.target->m_hex)
                    check = NO_TARGET;
                else if (static_cast<float>(ability->range) * Unit::RANGE_STEP <
                         m_unit.target->m_hex->DistanceTo(*m_unit.m_hex))
                    check = OUT_OF_RANGE;
            } else if (ability->range != 0) {
                Hex* hovered = pointer ? pointer->GetHovered() : nullptr;
                if (!hovered || !m_unit.m_hex)
                    check = NO_TARGET;
                else if (static_cast<float>(ability->range) * Unit::RANGE_STEP < m_unit.m_hex->DistanceTo(*hovered))
                    check = OUT_OF_RANGE;
                else
                    check = AREA_IN_RANGE;
            } else {
                check = AREA_IN_RANGE;
            }
        }
    }

    const auto refuseAbility = [&](const char* message) {
        m_unit.SetCombatText(message);
        m_unit.ClearTarget();
        m_unit.DeselectAbility();
        m_unit.ResetStateDirect(IDLE);
        if (hud)
            hud->HideHighlight();
    };
    switch (check) {
    case OUT_OF_RANGE:
        m_unit.SetCombatText("Out of Range");
        m_unit.ClearTarget();
        break;
    case INSUFFICIENT_MANA:
        refuseAbility("Insufficient Mana");
        break;
    case NO_SPELL:
        refuseAbility("No Spell");
        break;
    case NO_TARGET:
        m_unit.SetCombatText("No Target");
        m_unit.ClearTarget();
        break;
    case OWN_TEAM:
        if (!ability) {
            m_unit.SetCombatText("Don't Attack Your Own Team");
            m_unit.ClearTarget();
        } else if (ability->areaRadius < 2 && ability->target == "ENEMY") {
            refuseAbility("Don't Attack Your Own Team");
        } else {
            check = SPELL_ON_UNIT;
        }
        break;
    default:
        break;
    }
    m_unit.targetCheck = check;
    return check;
}

void UnitCombat::BeginAttack()
{
    m_unit.attackKind = AttackKind::NORMAL;
    m_unit.damage = static_cast<float>(m_unit.AttackDamage());
    m_unit.critical = false;
    m_unit.secondAttack = false;
    const int r80 = Rand() % 100;
    m_unit.damage += std::trunc(m_unit.damage * RandomFloat(-15.0f, 15.0f) * 0.01f);
    if (m_unit.criticalChance > RandomInt(200)) {
        m_unit.critical = true;
        if (static_cast<float>(RandomInt(100)) < static_cast<float>(m_unit.criticalChance) * 0.5f) {
            m_unit.attackKind = AttackKind::ACE_CRITICAL;
            m_unit.damage *= 3.0f;
        } else {
            m_unit.attackKind = AttackKind::CRITICAL;
            m_unit.damage *= 2.0f;
        }
        m_unit.Presentation().StartEmitter("CriticalEmitter.txt", Look::EMITTER_CRITICAL);
    }
    const int shout = RandomInt(5);
    if (shout < 3)
        m_unit.Presentation().QueueVoice(Look::VOICE_ATTACK + shout);
    else if (shout == 3)
        m_unit.Presentation().QueueGeneralShout();
    if (m_unit.target) {
        const DefenceOutcome outcome = m_unit.target->DefenceRoll(&m_unit, m_unit.attackKind);
        if (outcome == DefenceOutcome::KILLING_BLOW || r80 > 80) {
            SoundQueue::Get()->Queue("ALL_CritSlowdown.wav", 0, false, 0.0f);
            if (BattleSession* session = BattleSession::Get())
                session->RequestSlowMotion(m_unit.target, 1.0f, false);
            m_unit.slowMotionRequested = true;
        }
    }
    m_unit.m_resolveWithoutAnimation = false;
    m_unit.attackStartTime = DataManager::Get()->GetGameTime();
}

bool UnitCombat::AttackWindUp()
{
    const auto land = [this] {
        ResolveAttack();
        if (!m_unit.slowMotionRequested && Rand() % 100 < 5) {
            if (BattleSession* session = BattleSession::Get())
                session->SetShakeMagnitude(30.0f);
        }
    };
    if (m_unit.attackStartTime == Unit::WIND_UP_OVER) {
        if (m_unit.model && m_unit.model->IsLoaded() && !m_unit.model->IsLooping() && m_unit.model->EventReached())
            land();
        return false;
    }
    const float delay = m_unit.attackKind == AttackKind::NORMAL ? Unit::NORMAL_WIND_UP : Unit::CRITICAL_WIND_UP;
    if (DataManager::Get()->GetGameTime() - m_unit.attackStartTime < delay)
        return false;
    m_unit.attackStartTime = Unit::WIND_UP_OVER;
    const int variant = RandomInt(2);
    const bool ranged = m_unit.targetCheck == RANGED_IN_RANGE;
    bool playing = false;
    if (m_unit.attackKind == AttackKind::NORMAL) {
        m_unit.Presentation().QueueSound(Look::SOUND_ATTACK + variant);
        playing = m_unit.PlayAnimation(ranged ? "RangedAttack" : "MeleeAttack", false);
        if (playing)
            m_unit.model->SetEventTime(m_unit.meleeHitTime);
    } else {
        m_unit.Presentation().QueueSound(Look::SOUND_CRITICAL + variant);
        playing = m_unit.PlayAnimation(ranged ? "RangedAttack" : "CriticalAttack", false);
        if (playing)
            m_unit.model->SetEventTime(m_unit.criticalHitTime);
    }
    // Without an attack animation to reach its hit time, the blow lands as the wind-up ends; waiting for an
    // event that never comes would leave the unit attacking for the rest of its turn.
    if (!playing)
        land();
    return true;
}

void UnitCombat::ResolveAttack()
{
    if (!m_unit.target) {
        // The target went during the wind-up (the turn ended): the attack is called off.
        m_unit.ResetStateDirect(IDLE);
        return;
    }
    Unit::Count(m_unit.owner, Statistic::ATTACKS);
    m_unit.Presentation().OnAttackLanded(m_unit.attackKind == AttackKind::CRITICAL,
                                         m_unit.attackKind == AttackKind::ACE_CRITICAL);
    const D3DXVECTOR3 start(m_unit.m_position.x, m_unit.m_position.y + 115.0f, m_unit.m_position.z);
    const D3DXVECTOR3 targetPosition = m_unit.target->m_position;
    D3DXVECTOR3 end(targetPosition.x, targetPosition.y + 115.0f, targetPosition.z);
    const DefenceOutcome outcome = m_unit.target->TakeAttack(&m_unit);
    if (outcome == DefenceOutcome::MISS) {
        const D3DXVECTOR3 away = targetPosition - m_unit.m_position;
        const float reach = RandomFloat(5.0f, 10.0f);
        D3DVECTOR scatter;
        RandomVector(800.0f, 0.0f, 800.0f, scatter);
        end = targetPosition + away * reach + D3DXVECTOR3(scatter.x, scatter.y, scatter.z);
        end.y += 100.0f;
    }
    if (m_unit.targetCheck == RANGED_IN_RANGE) {
        const D3DXVECTOR3 colour(0.2f, 1.0f, 0.2f);
        ParticleManager::Get()->SpawnBolt("lightBolt.BMP", &start, &end, &colour, 0.2f, 2.0f, 0.01f, 0.0f, 0.0f, true);
    }
    m_unit.SpendActionPoints(Unit::ATTACK_COST);
    m_unit.ResetStateDirect(IDLE);
    m_unit.ClearTarget();
    m_unit.damage = 0.0f;
}

DefenceOutcome UnitCombat::TakeAttack(Unit* attacker)
{
    if (!attacker || !attacker->slowMotionRequested)
        m_unit.ShowFloatingText(true);
    const float dealt = attacker ? attacker->damage : 0.0f;
    const auto takeHealth = [this, dealt] {
        m_unit.stats.health =
            std::clamp(m_unit.stats.health - static_cast<int>(dealt), 0, std::max(0, m_unit.stats.maxHealth));
    };
    const DefenceOutcome outcome = m_unit.defenceOutcome;
    switch (outcome) {
    case DefenceOutcome::HIT:
    case DefenceOutcome::HIT_HARD: {
        takeHealth();
        m_unit.Presentation().OnHit(m_unit.m_position, dealt, true);
        m_unit.PlayAnimation(m_unit.state == DEFENDING ? "Block" : "Hit", false);
        if (outcome == DefenceOutcome::HIT_HARD) {
            if (m_unit.state == DEFENDING && !m_unit.HasActiveEffect(EffectType::PHALANX)) {
                m_unit.EndDefend(true);
                m_unit.ResetStateDirect(IDLE);
            } else if (m_unit.state == FOCUSING) {
                m_unit.EndFocus(true);
                m_unit.ResetStateDirect(IDLE);
            }
        }
        break;
    }
    case DefenceOutcome::MISS:
        m_unit.Presentation().OnMissed();
        m_unit.PlayAnimation("Dodge", false);
        if (attacker)
            Unit::Count(attacker->owner, Statistic::MISSES);
        break;
    case DefenceOutcome::KILLING_BLOW:
        m_unit.Presentation().OnHit(m_unit.m_position, dealt, false);
        takeHealth();
        Unit::Count(m_unit.owner, Statistic::KILLING_BLOWS_SUFFERED);
        break;
    case DefenceOutcome::SHIELDED:
        if (m_unit.HasActiveEffect(EffectType::INVINCIBLE))
            m_unit.SetCombatText("Magic Shield Blocks All!");
        break;
    }
    if (m_unit.stats.health < 1)
        m_unit.DieFrom(attacker ? attacker->owner : nullptr);
    if (outcome == DefenceOutcome::HIT || outcome == DefenceOutcome::HIT_HARD) {
        m_unit.Presentation().OnHurt();
    } else if (outcome == DefenceOutcome::MISS) {
        m_unit.Presentation().OnMissHeard();
    } else if (outcome == DefenceOutcome::KILLING_BLOW) {
        m_unit.Presentation().OnHurt();
        m_unit.Presentation().OnDeathHeard();
    }
    return outcome;
}

float UnitCombat::ArmourReduction(ArmourType type)
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

int UnitCombat::SizeModifier(SizeCategory category)
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

DefenceOutcome UnitCombat::DefenceRoll(Unit* attacker, AttackKind kind)
{
    if (!attacker || attacker == &m_unit) {
        m_unit.defenceOutcome = DefenceOutcome::SHIELDED;
        return m_unit.defenceOutcome;
    }
    m_unit.defenceOutcome = DefenceOutcome::HIT;
    const float reduction = ArmourReduction(m_unit.armour);
    if (m_unit.HasActiveEffect(EffectType::INVINCIBLE)) {
        m_unit.defenceOutcome = DefenceOutcome::SHIELDED;
        return m_unit.defenceOutcome;
    }
    // Worked in double so that round shares of round damage stay round (10 less 30 per cent is 7, not 6.9999).
    double d = attacker->damage;
    if (m_unit.state == FOCUSING) {
        d *= 1.5;
        m_unit.defenceOutcome = DefenceOutcome::HIT_HARD;
    }
    switch (m_unit.resistanceLevel) {
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
        if (m_unit.state == DEFENDING)
            d -= std::trunc(d * 0.4);
        d -= static_cast<double>(reduction) * d;
        break;
    case RatingLevel::INVERTED:
        break;
    }
    if (d < 0.0)
        d = 0.0;
    const int dodge = m_unit.DodgeChance();
    int r = RandomInt(100);
    const int spread = static_cast<int>(RandomFloat(-5.0f, 5.0f));
    if (kind == AttackKind::CRITICAL || kind == AttackKind::ACE_CRITICAL) {
        m_unit.defenceOutcome = DefenceOutcome::HIT_HARD;
        Unit::Count(attacker->owner, Statistic::CRITICAL_HITS);
        r = 999;
    }
    if (attacker->missChance + spread + dodge > r) {
        attacker->damage = 0.0f;
        m_unit.defenceOutcome = DefenceOutcome::MISS;
        return m_unit.defenceOutcome;
    }
    if (m_unit.resistanceLevel == RatingLevel::INVERTED)
        d *= -1.0;
    attacker->damage = static_cast<float>(d);
    Unit::Count(attacker->owner, Statistic::DAMAGE_DEALT, std::abs(static_cast<int>(attacker->damage)));
    if (static_cast<float>(m_unit.stats.health) <= attacker->damage)
        m_unit.defenceOutcome = DefenceOutcome::KILLING_BLOW;
    return m_unit.defenceOutcome;
}
