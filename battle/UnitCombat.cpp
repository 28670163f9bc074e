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
    m_unit.Presentation().ShowFloatingText(true);
    CommandHud* hud = CommandHud::Get();
    const BoardPointer* pointer = BoardPointer::Get();
    if (pointer && pointer->IsOverHud()) {
        if (hud)
            hud->HideHighlight();
        m_unit.ClearTarget();
        m_rules.command.targetCheck = NO_TARGET;
        return m_rules.command.targetCheck;
    }
    const SpellDefinition* ability = m_unit.GetSelectedAbility();
    if (m_rules.turn.state == SELECTING_TARGET) {
        if (!m_rules.command.target || !m_rules.command.target->GetHex() || !m_unit.GetHex()) {
            check = NO_TARGET;
        } else {
            const float distance = m_rules.command.target->GetHex()->DistanceTo(*m_unit.GetHex());
            check = OUT_OF_RANGE;
            if (distance <= static_cast<float>(m_rules.stats.rangedRange) * Unit::RANGE_STEP)
                check = RANGED_IN_RANGE;
            if (distance <= static_cast<float>(m_rules.stats.meleeRange) * Unit::RANGE_STEP)
                check = MELEE_IN_RANGE;
            if (m_rules.command.target->Rules().owner == m_rules.owner)
                check = OWN_TEAM;
        }
    } else if (m_rules.turn.state == SELECTING_ABILITY_TARGET) {
        check = SPELL_ON_UNIT;
        if (!ability) {
            check = NO_SPELL;
        } else {
            if (m_rules.command.target && m_rules.command.target->Rules().owner == m_rules.owner)
                check = OWN_TEAM;
            if (m_rules.stats.mana < std::abs(ability->manaCost))
                check = INSUFFICIENT_MANA;
            if (ability->areaRadius < 2) {
                if (!m_unit.GetHex() || !m_rules.command.target || !m_rules.command.target->GetHex())
                    check = NO_TARGET;
                else if (static_cast<float>(ability->range) * Unit::RANGE_STEP <
                         m_rules.command.target->GetHex()->DistanceTo(*m_unit.GetHex()))
                    check = OUT_OF_RANGE;
            } else if (ability->range != 0) {
                Hex* hovered = pointer ? pointer->GetHovered() : nullptr;
                if (!hovered || !m_unit.GetHex())
                    check = NO_TARGET;
                else if (static_cast<float>(ability->range) * Unit::RANGE_STEP < m_unit.GetHex()->DistanceTo(*hovered))
                    check = OUT_OF_RANGE;
                else
                    check = AREA_IN_RANGE;
            } else {
                check = AREA_IN_RANGE;
            }
        }
    }

    const auto refuseAbility = [&](const char* message) {
        m_unit.Presentation().SetCombatText(message);
        m_unit.ClearTarget();
        m_unit.DeselectAbility();
        m_host.EnterState(IDLE);
        if (hud)
            hud->HideHighlight();
    };
    switch (check) {
    case OUT_OF_RANGE:
        m_unit.Presentation().SetCombatText("Out of Range");
        m_unit.ClearTarget();
        break;
    case INSUFFICIENT_MANA:
        refuseAbility("Insufficient Mana");
        break;
    case NO_SPELL:
        refuseAbility("No Spell");
        break;
    case NO_TARGET:
        m_unit.Presentation().SetCombatText("No Target");
        m_unit.ClearTarget();
        break;
    case OWN_TEAM:
        if (!ability) {
            m_unit.Presentation().SetCombatText("Don't Attack Your Own Team");
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
    m_rules.command.targetCheck = check;
    return check;
}

void UnitCombat::BeginAttack()
{
    m_rules.command.attackKind = AttackKind::NORMAL;
    m_rules.command.damage = static_cast<float>(AttackDamage(m_rules));
    m_rules.command.critical = false;
    m_rules.command.secondAttack = false;
    const int r80 = Rand() % 100;
    m_rules.command.damage += std::trunc(m_rules.command.damage * RandomFloat(-15.0f, 15.0f) * 0.01f);
    if (m_rules.attributes.criticalChance > RandomInt(200)) {
        m_rules.command.critical = true;
        if (static_cast<float>(RandomInt(100)) < static_cast<float>(m_rules.attributes.criticalChance) * 0.5f) {
            m_rules.command.attackKind = AttackKind::ACE_CRITICAL;
            m_rules.command.damage *= 3.0f;
        } else {
            m_rules.command.attackKind = AttackKind::CRITICAL;
            m_rules.command.damage *= 2.0f;
        }
        m_unit.Presentation().OnCritical();
    }
    m_unit.Presentation().Shout(Look::VOICE_ATTACK, 3, RandomInt(5));
    if (m_rules.command.target) {
        const DefenceOutcome outcome =
            m_rules.command.target->Combat().DefenceRoll(&m_unit, m_rules.command.attackKind);
        if (outcome == DefenceOutcome::KILLING_BLOW || r80 > 80) {
            SoundQueue::Get()->Queue("ALL_CritSlowdown.wav", 0, false, 0.0f);
            if (BattleSession* session = BattleSession::Get())
                session->RequestSlowMotion(m_rules.command.target, 1.0f, false);
            m_rules.command.slowMotionRequested = true;
        }
    }
    m_rules.command.resolveWithoutAnimation = false;
    m_rules.command.attackStartTime = DataManager::Get()->GetGameTime();
}

bool UnitCombat::AttackWindUp()
{
    const auto land = [this] {
        ResolveAttack();
        if (!m_rules.command.slowMotionRequested && Rand() % 100 < 5) {
            if (BattleSession* session = BattleSession::Get())
                session->SetShakeMagnitude(30.0f);
        }
    };
    if (m_rules.command.attackStartTime == Unit::WIND_UP_OVER) {
        if (m_unit.Model() && m_unit.Model()->IsLoaded() && !m_unit.Model()->IsLooping() &&
            m_unit.Model()->EventReached())
            land();
        return false;
    }
    const float delay =
        m_rules.command.attackKind == AttackKind::NORMAL ? Unit::NORMAL_WIND_UP : Unit::CRITICAL_WIND_UP;
    if (DataManager::Get()->GetGameTime() - m_rules.command.attackStartTime < delay)
        return false;
    m_rules.command.attackStartTime = Unit::WIND_UP_OVER;
    const int variant = RandomInt(2);
    const bool ranged = m_rules.command.targetCheck == RANGED_IN_RANGE;
    bool playing = false;
    if (m_rules.command.attackKind == AttackKind::NORMAL) {
        m_unit.Presentation().OnSwing(false, variant);
        playing = m_unit.PlayAnimation(ranged ? "RangedAttack" : "MeleeAttack", false);
        if (playing)
            m_unit.Model()->SetEventTime(m_rules.attributes.meleeHitTime);
    } else {
        m_unit.Presentation().OnSwing(true, variant);
        playing = m_unit.PlayAnimation(ranged ? "RangedAttack" : "CriticalAttack", false);
        if (playing)
            m_unit.Model()->SetEventTime(m_rules.attributes.criticalHitTime);
    }
    // Without an attack animation to reach its hit time, the blow lands as the wind-up ends; waiting for an
    // event that never comes would leave the unit attacking for the rest of its turn.
    if (!playing)
        land();
    return true;
}

void UnitCombat::ResolveAttack()
{
    if (!m_rules.command.target) {
        // The target went during the wind-up (the turn ended): the attack is called off.
        m_host.EnterState(IDLE);
        return;
    }
    Player::Credit(m_rules.owner, Statistic::ATTACKS);
    m_unit.Presentation().OnAttackLanded(m_rules.command.attackKind == AttackKind::CRITICAL,
                                         m_rules.command.attackKind == AttackKind::ACE_CRITICAL);
    const D3DXVECTOR3 start(m_unit.GetPosition().x, m_unit.GetPosition().y + 115.0f, m_unit.GetPosition().z);
    const D3DXVECTOR3 targetPosition = m_rules.command.target->GetPosition();
    D3DXVECTOR3 end(targetPosition.x, targetPosition.y + 115.0f, targetPosition.z);
    const DefenceOutcome outcome = m_rules.command.target->Combat().TakeAttack(&m_unit);
    if (outcome == DefenceOutcome::MISS) {
        const D3DXVECTOR3 away = targetPosition - m_unit.GetPosition();
        const float reach = RandomFloat(5.0f, 10.0f);
        D3DVECTOR scatter;
        RandomVector(800.0f, 0.0f, 800.0f, scatter);
        end = targetPosition + away * reach + D3DXVECTOR3(scatter.x, scatter.y, scatter.z);
        end.y += 100.0f;
    }
    if (m_rules.command.targetCheck == RANGED_IN_RANGE) {
        const D3DXVECTOR3 colour(0.2f, 1.0f, 0.2f);
        ParticleManager::Get()->SpawnBolt("lightBolt.BMP", &start, &end, &colour, 0.2f, 2.0f, 0.01f, 0.0f, 0.0f, true);
    }
    m_host.SpendActionPoints(Unit::ATTACK_COST);
    m_host.EnterState(IDLE);
    m_unit.ClearTarget();
    m_rules.command.damage = 0.0f;
}

DefenceOutcome UnitCombat::TakeAttack(Unit* attacker)
{
    if (!attacker || !attacker->Rules().command.slowMotionRequested)
        m_unit.Presentation().ShowFloatingText(true);
    const float dealt = attacker ? attacker->Rules().command.damage : 0.0f;
    const auto takeHealth = [this, dealt] {
        m_rules.stats.health =
            std::clamp(m_rules.stats.health - static_cast<int>(dealt), 0, std::max(0, m_rules.stats.maxHealth));
    };
    const DefenceOutcome outcome = m_rules.command.defenceOutcome;
    switch (outcome) {
    case DefenceOutcome::HIT:
    case DefenceOutcome::HIT_HARD: {
        takeHealth();
        m_unit.Presentation().OnHit(m_unit.GetPosition(), dealt, true);
        m_unit.PlayAnimation(m_rules.turn.state == DEFENDING ? "Block" : "Hit", false);
        if (outcome == DefenceOutcome::HIT_HARD) {
            if (m_rules.turn.state == DEFENDING && !m_unit.HasActiveEffect(EffectType::PHALANX)) {
                m_host.EndDefend(true);
                m_host.EnterState(IDLE);
            } else if (m_rules.turn.state == FOCUSING) {
                m_host.EndFocus(true);
                m_host.EnterState(IDLE);
            }
        }
        break;
    }
    case DefenceOutcome::MISS:
        m_unit.Presentation().OnMissed();
        m_unit.PlayAnimation("Dodge", false);
        if (attacker)
            Player::Credit(attacker->Rules().owner, Statistic::MISSES);
        break;
    case DefenceOutcome::KILLING_BLOW:
        m_unit.Presentation().OnHit(m_unit.GetPosition(), dealt, false);
        takeHealth();
        Player::Credit(m_rules.owner, Statistic::KILLING_BLOWS_SUFFERED);
        break;
    case DefenceOutcome::SHIELDED:
        if (m_unit.HasActiveEffect(EffectType::INVINCIBLE))
            m_unit.Presentation().OnShielded();
        break;
    }
    if (m_rules.stats.health < 1)
        m_host.DieFrom(attacker ? attacker->Rules().owner : nullptr);
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
        m_rules.command.defenceOutcome = DefenceOutcome::SHIELDED;
        return m_rules.command.defenceOutcome;
    }
    m_rules.command.defenceOutcome = DefenceOutcome::HIT;
    const float reduction = ArmourReduction(m_rules.attributes.armour);
    if (m_unit.HasActiveEffect(EffectType::INVINCIBLE)) {
        m_rules.command.defenceOutcome = DefenceOutcome::SHIELDED;
        return m_rules.command.defenceOutcome;
    }
    // Worked in double so that round shares of round damage stay round (10 less 30 per cent is 7, not 6.9999).
    double d = attacker->Rules().command.damage;
    if (m_rules.turn.state == FOCUSING) {
        d *= 1.5;
        m_rules.command.defenceOutcome = DefenceOutcome::HIT_HARD;
    }
    switch (m_rules.attributes.resistanceLevel) {
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
        if (m_rules.turn.state == DEFENDING)
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
        m_rules.command.defenceOutcome = DefenceOutcome::HIT_HARD;
        Player::Credit(attacker->Rules().owner, Statistic::CRITICAL_HITS);
        r = 999;
    }
    // The blow's damage is the attacker's: its own rules state takes the outcome.
    UnitRulesState& blow = attacker->Combat().m_rules;
    if (attacker->Rules().attributes.missChance + spread + dodge > r) {
        blow.command.damage = 0.0f;
        m_rules.command.defenceOutcome = DefenceOutcome::MISS;
        return m_rules.command.defenceOutcome;
    }
    if (m_rules.attributes.resistanceLevel == RatingLevel::INVERTED)
        d *= -1.0;
    blow.command.damage = static_cast<float>(d);
    Player::Credit(blow.owner, Statistic::DAMAGE_DEALT, std::abs(static_cast<int>(blow.command.damage)));
    if (static_cast<float>(m_rules.stats.health) <= blow.command.damage)
        m_rules.command.defenceOutcome = DefenceOutcome::KILLING_BLOW;
    return m_rules.command.defenceOutcome;
}

int UnitCombat::AttackDamage(const UnitRulesState& rules)
{
    int figure = 2 * rules.stats.strength;
    if (rules.attributes.primaryAttribute == PrimaryAttribute::AGILITY)
        figure += rules.stats.agility;
    return figure;
}

int UnitCombat::DodgeChance() const
{
    return std::min(90, m_rules.stats.agility / 2 + SizeModifier(m_rules.attributes.size));
}
