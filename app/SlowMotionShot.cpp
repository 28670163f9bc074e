#include "app/SlowMotionShot.h"

#include "battle/BoardUnit.h"
#include "battle/Object.h"
#include "core/Random.h"
#include "scene/Camera.h"

namespace {
constexpr float SHOT_SLOW_SPEED = 0.1f;
constexpr float SPELL_SHOT_SPEED = 0.25f;
// After the delay: the first cut, the second, the end.
constexpr float FIRST_SHOT = 0.25f;
constexpr float SECOND_SHOT = 3.0f;
constexpr float SHOT_END = 6.0f;
constexpr float SHOT_OFFSET = 500.0f;
constexpr float SHOT_EYE_LIFT = 300.0f;
constexpr float SHOT_AIM_LIFT = 150.0f;
constexpr float SHOT_JITTER = 50.0f;

D3DXVECTOR3 Jitter()
{
    D3DVECTOR jitter;
    RandomVector(SHOT_JITTER, SHOT_JITTER, SHOT_JITTER, jitter);
    return D3DXVECTOR3(jitter.x, jitter.y, jitter.z);
}
} // namespace

bool SlowMotionShot::Request(BoardUnit* target, BoardUnit* attacker, float delay, bool spellShot)
{
    if (m_requested)
        return false;
    m_requested = true;
    m_spellShot = spellShot;
    m_delay = delay;
    m_target = target;
    m_attacker = attacker;
    m_clock = 0.0f;
    return true;
}

SlowMotionShot::Frame SlowMotionShot::Advance(float realSeconds, Camera& camera)
{
    Frame frame;
    m_clock += realSeconds;
    if (m_clock < m_delay)
        return frame;
    if (!m_begun) {
        m_savedEye = camera.GetEye();
        m_savedLookAt = camera.GetLookAt();
        const Object* attacker = m_attacker ? m_attacker->AsObject() : nullptr;
        const Object* defender = m_target ? m_target->AsObject() : nullptr;
        m_hasUnits = attacker && defender;
        if (m_hasUnits) {
            m_attackerAt = attacker->GetPosition();
            m_attackerSide = attacker->GetRight() * SHOT_OFFSET;
            m_attackerBack = attacker->GetForward() * -SHOT_OFFSET;
            m_defenderAt = defender->GetPosition();
            m_defenderSide = defender->GetRight() * SHOT_OFFSET;
            m_defenderBack = defender->GetForward() * -SHOT_OFFSET;
        }
        m_begun = true;
        frame.began = true;
    }
    const D3DXVECTOR3 eyeLift(0.0f, SHOT_EYE_LIFT, 0.0f);
    const D3DXVECTOR3 aimLift(0.0f, SHOT_AIM_LIFT, 0.0f);
    if (!m_firstCutDone && m_clock >= m_delay + FIRST_SHOT) {
        m_firstCutDone = true;
        ++frame.cuts;
        const D3DXVECTOR3 jitter = Jitter();
        // Beside and behind the defender, looking at the attacker.
        if (m_hasUnits)
            camera.SetEyeAndTarget(m_defenderAt + m_defenderSide + m_defenderBack + jitter + eyeLift,
                                   m_attackerAt + aimLift);
    }
    if (!m_secondCutDone && m_clock >= m_delay + SECOND_SHOT) {
        m_secondCutDone = true;
        ++frame.cuts;
        const D3DXVECTOR3 jitter = Jitter();
        if (m_hasUnits)
            camera.SetEyeAndTarget(m_attackerAt + m_attackerSide + m_attackerBack + jitter + eyeLift,
                                   m_defenderAt + aimLift);
    }
    if (m_clock >= m_delay + SHOT_END) {
        ++frame.cuts;
        frame.ended = true;
    }
    return frame;
}

void SlowMotionShot::End(Camera& camera)
{
    if (m_begun)
        camera.SetEyeAndTarget(m_savedEye, m_savedLookAt);
    m_requested = false;
    m_spellShot = false;
    m_begun = false;
    m_firstCutDone = false;
    m_secondCutDone = false;
    m_target = nullptr;
    m_attacker = nullptr;
    m_clock = 0.0f;
}

void SlowMotionShot::Forget(const BoardUnit* gone)
{
    if (m_target == gone)
        m_target = nullptr;
    if (m_attacker == gone)
        m_attacker = nullptr;
}

float SlowMotionShot::GetGameSpeed() const
{
    if (!m_begun)
        return 1.0f;
    return m_spellShot ? SPELL_SHOT_SPEED : SHOT_SLOW_SPEED;
}
