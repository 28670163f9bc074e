// The animation sets of the class figures. Angles are degrees from the bind pose (arms hanging, weapons lying
// forward along -z). With the figure facing -z: a positive turn about x swings a hanging limb forward and tips
// an upright one back; a positive turn about z lifts the left arm out to the side (the right arm lifts with a
// negative one); a positive turn about y brings the left shoulder forward.
#include "Humanoid.h"

#include <algorithm>
#include <cmath>

Rotation BoneRotation(const Pose& pose, int bone)
{
    const V3 t = pose.turn[static_cast<size_t>(bone)];
    return Multiply(Multiply(RotationZ(Radians(t.z)), RotationX(Radians(t.x))), RotationY(Radians(t.y)));
}

namespace {

Pose Lerp(const Pose& a, const Pose& b, float f)
{
    Pose r;
    for (size_t i = 0; i < BONE_COUNT; ++i)
        r.turn[i] = a.turn[i] + (b.turn[i] - a.turn[i]) * f;
    r.shift = a.shift + (b.shift - a.shift) * f;
    return r;
}

float Ease(float f)
{
    return f * f * (3.0f - 2.0f * f);
}

// Changes to a pose, chained: P(stance).Arm(...).Turn(...).
struct P {
    Pose pose;
    P& Turn(int bone, float x, float y = 0.0f, float z = 0.0f)
    {
        pose.turn[static_cast<size_t>(bone)] = pose.turn[static_cast<size_t>(bone)] + V3{x, y, z};
        return *this;
    }
    P& Set(int bone, float x, float y = 0.0f, float z = 0.0f)
    {
        pose.turn[static_cast<size_t>(bone)] = V3{x, y, z};
        return *this;
    }
    // The whole arm: upper arm forward (x) and outward (out, positive away from the body), elbow bend, and the
    // weapon's or off-hand item's turn at the wrist.
    P& Arm(bool left, float forward, float out, float elbow, float held)
    {
        Set(left ? UPPER_ARM_L : UPPER_ARM_R, forward, 0.0f, left ? out : -out);
        Set(left ? FORE_ARM_L : FORE_ARM_R, elbow);
        Set(left ? OFFHAND : WEAPON, held);
        return *this;
    }
    P& Shift(float x, float y, float z)
    {
        pose.shift = pose.shift + V3{x, y, z};
        return *this;
    }
    // Bent knees lower the hips.
    P& Crouch(float knee)
    {
        Turn(THIGH_L, knee * 0.5f).Turn(THIGH_R, knee * 0.5f).Turn(SHIN_L, -knee).Turn(SHIN_R, -knee);
        Turn(FOOT_L, knee * 0.5f).Turn(FOOT_R, knee * 0.5f);
        return Shift(0.0f, -25.0f * (1.0f - std::cos(Radians(knee * 0.5f))) * 2.0f, 0.0f);
    }
    // A step forward with the left foot (negative: back).
    P& Lunge(float amount)
    {
        Turn(THIGH_L, amount * 1.2f).Turn(SHIN_L, -amount * 0.8f).Turn(THIGH_R, -amount * 0.6f);
        return Shift(0.0f, -std::abs(amount) * 0.12f, -amount * 0.35f);
    }
    operator Pose() const { return pose; }
};

bool HoldsTwoHanded(const ClassLook& s)
{
    return s.weapon == Weapon::PIKE || s.weapon == Weapon::HAMMER;
}
bool FreeLeftHand(const ClassLook& s)
{
    return !s.shield && s.weapon != Weapon::BOW && s.weapon != Weapon::FOCUS && s.weapon != Weapon::BLADES &&
           s.weapon != Weapon::DAGGERS && !HoldsTwoHanded(s);
}

// How each class stands at rest, weapon ready.
Pose Stance(const ClassLook& s)
{
    P p;
    p.Crouch(8.0f);
    p.Arm(true, 6.0f, 8.0f, 14.0f, 0.0f).Arm(false, 6.0f, 8.0f, 14.0f, 0.0f);
    switch (s.weapon) {
    case Weapon::PIKE:
        p.Arm(false, 10.0f, 10.0f, 72.0f, 8.0f).Arm(true, 28.0f, 4.0f, 62.0f, 0.0f);
        break;
    case Weapon::CLUB:
        p.Arm(false, 8.0f, 12.0f, 50.0f, -18.0f);
        break;
    case Weapon::HAMMER:
        p.Arm(false, 14.0f, 8.0f, 56.0f, 10.0f).Arm(true, 22.0f, 4.0f, 60.0f, 0.0f);
        break;
    case Weapon::STAFF:
    case Weapon::HEALING_STAFF:
        p.Arm(false, 6.0f, 12.0f, 74.0f, 10.0f);
        break;
    case Weapon::FOCUS:
        p.Arm(false, 8.0f, 10.0f, 38.0f, 0.0f).Arm(true, 14.0f, 12.0f, 72.0f, -84.0f);
        break;
    case Weapon::BLADES:
    case Weapon::DAGGERS:
        p.Arm(false, 14.0f, 14.0f, 58.0f, -28.0f).Arm(true, 14.0f, 14.0f, 58.0f, -28.0f);
        break;
    case Weapon::SLING:
        p.Arm(false, 4.0f, 10.0f, 20.0f, -22.0f);
        break;
    case Weapon::SWORD:
        p.Arm(false, 12.0f, 10.0f, 46.0f, -4.0f);
        break;
    case Weapon::BOW:
        p.Arm(true, 6.0f, 12.0f, 16.0f, -20.0f);
        break;
    }
    if (s.shield)
        p.Arm(true, 16.0f, 12.0f, 68.0f, -76.0f);
    return p;
}

// Closed-form loops.
Pose IdleAt(const ClassLook& s, float t)
{
    const float w = std::sin(2.0f * Pi * t / 2.4f);
    P p{Stance(s)};
    p.Turn(CHEST, 1.6f * w).Turn(HEAD, -1.2f * w, 3.0f * std::sin(Pi * t / 2.4f) * std::sin(Pi * t / 2.4f));
    p.Turn(UPPER_ARM_L, 0.0f, 0.0f, 1.2f * w).Turn(UPPER_ARM_R, 0.0f, 0.0f, -1.2f * w);
    p.Shift(0.0f, 0.35f * w, 0.0f);
    return p;
}

constexpr float WalkPeriod = 0.64f;
Pose WalkAt(const ClassLook& s, float t)
{
    const float phase = 2.0f * Pi * t / WalkPeriod;
    const float sw = std::sin(phase), cw = std::cos(phase);
    P p{Stance(s)};
    p.Turn(THIGH_L, 30.0f * sw).Turn(THIGH_R, -30.0f * sw);
    p.Turn(SHIN_L, -36.0f * std::max(0.0f, cw)).Turn(SHIN_R, -36.0f * std::max(0.0f, -cw));
    p.Turn(FOOT_L, -10.0f * sw).Turn(FOOT_R, 10.0f * sw);
    p.Turn(HIPS, 0.0f, 6.0f * sw).Turn(CHEST, -4.0f, -8.0f * sw).Turn(HEAD, 3.0f, 2.0f * sw);
    const float armSwing = FreeLeftHand(s) ? 22.0f : 6.0f;
    p.Turn(UPPER_ARM_L, -armSwing * sw);
    p.Turn(UPPER_ARM_R, (s.weapon == Weapon::SLING || s.weapon == Weapon::BOW ? 18.0f : 6.0f) * sw);
    p.Shift(0.0f, -1.6f + 1.6f * std::cos(2.0f * phase), 0.0f);
    return p;
}

Pose DefendAt(const ClassLook& s, float t)
{
    const float w = std::sin(2.0f * Pi * t / 1.6f);
    P p{Stance(s)};
    p.Crouch(34.0f).Turn(CHEST, -8.0f + 1.5f * w).Turn(HEAD, 6.0f);
    if (s.shield)
        p.Arm(true, 58.0f, 18.0f, 38.0f, -96.0f);
    else if (s.weapon == Weapon::BOW)
        p.Arm(true, 40.0f, 10.0f, 30.0f, -70.0f).Arm(false, 30.0f, 12.0f, 70.0f, 0.0f);
    else if (s.weapon == Weapon::BLADES || s.weapon == Weapon::DAGGERS)
        p.Arm(true, 48.0f, -10.0f, 82.0f, -30.0f).Arm(false, 48.0f, -10.0f, 82.0f, -30.0f);
    else if (s.weapon == Weapon::SLING)
        p.Arm(false, 40.0f, -5.0f, 85.0f, -60.0f).Arm(true, 40.0f, -5.0f, 85.0f, 0.0f);
    else // the weapon held across the body
        p.Arm(false, 46.0f, 14.0f, 70.0f, -20.0f).Turn(WEAPON, 0.0f, 60.0f);
    p.Shift(0.0f, 0.4f * w, 0.0f);
    return p;
}

Pose FocusAt(const ClassLook& s, float t)
{
    const float w = std::sin(2.0f * Pi * t / 2.4f);
    P p{Stance(s)};
    p.Crouch(14.0f).Turn(HEAD, -22.0f + 2.0f * w).Turn(CHEST, -6.0f + 2.0f * w);
    p.Turn(UPPER_ARM_L, 18.0f, -8.0f, -8.0f).Turn(FORE_ARM_L, 48.0f);
    p.Turn(UPPER_ARM_R, 18.0f, 8.0f, 8.0f).Turn(FORE_ARM_R, 48.0f);
    return p;
}

AnimationClip Loop(const std::string& name, float period, Pose (*function)(const ClassLook&, float))
{
    AnimationClip clip;
    clip.name = name;
    clip.period = period;
    clip.function = function;
    return clip;
}

AnimationClip Keys(const std::string& name, std::vector<std::pair<float, Pose>> keys)
{
    AnimationClip clip;
    clip.name = name;
    clip.period = keys.back().first;
    clip.keys = std::move(keys);
    return clip;
}

// The blow of a class's weapon: the wind-up and the moment of contact.
struct Blow {
    Pose windUp;
    Pose contact;
};

Blow MeleeBlow(const ClassLook& s, float power)
{
    const Pose stance = Stance(s);
    P wind{stance}, hit{stance};
    switch (s.weapon) {
    case Weapon::PIKE:
        wind.Arm(false, 14.0f, 12.0f, 66.0f, -80.0f).Arm(true, 30.0f, 4.0f, 80.0f, 0.0f).Turn(CHEST, 4.0f, -18.0f);
        wind.Lunge(-8.0f * power);
        hit.Arm(false, 72.0f, 4.0f, 4.0f, -76.0f).Arm(true, 60.0f, -6.0f, 40.0f, 0.0f).Turn(CHEST, -10.0f, 14.0f);
        hit.Lunge(22.0f * power);
        break;
    case Weapon::CLUB:
    case Weapon::SLING:
        wind.Arm(false, 160.0f * std::min(power, 1.1f), 16.0f, 40.0f, 0.0f).Turn(CHEST, 10.0f, -12.0f);
        hit.Arm(false, 62.0f, 6.0f, 10.0f, -92.0f).Turn(CHEST, -16.0f, 10.0f).Lunge(14.0f * power);
        break;
    case Weapon::HAMMER:
        wind.Arm(false, 165.0f, 10.0f, 30.0f, 0.0f).Arm(true, 150.0f, 10.0f, 40.0f, 0.0f).Turn(CHEST, 14.0f);
        wind.Shift(0.0f, 4.0f * power, 0.0f);
        hit.Arm(false, 58.0f, 4.0f, 6.0f, -95.0f).Arm(true, 55.0f, -6.0f, 20.0f, 0.0f).Turn(CHEST, -22.0f);
        hit.Crouch(30.0f * power).Lunge(10.0f);
        break;
    case Weapon::STAFF:
    case Weapon::HEALING_STAFF:
        wind.Arm(false, 120.0f, 40.0f, 30.0f, 0.0f).Turn(CHEST, 6.0f, -22.0f);
        hit.Arm(false, 52.0f, 6.0f, 0.0f, -44.0f).Turn(CHEST, -10.0f, 26.0f).Lunge(12.0f * power);
        break;
    case Weapon::FOCUS:
        wind.Arm(true, 30.0f, 10.0f, 100.0f, -130.0f).Turn(CHEST, 4.0f, -16.0f);
        hit.Arm(true, 86.0f, 4.0f, 0.0f, -86.0f).Turn(CHEST, -8.0f, 24.0f).Lunge(14.0f * power);
        break;
    case Weapon::BLADES:
        wind.Arm(false, 100.0f, 40.0f, 60.0f, 0.0f).Arm(true, 100.0f, 40.0f, 60.0f, 0.0f).Crouch(20.0f);
        hit.Arm(false, 78.0f, -12.0f, 6.0f, -84.0f).Arm(true, 78.0f, -12.0f, 6.0f, -84.0f).Lunge(22.0f * power);
        hit.Turn(CHEST, -12.0f);
        break;
    case Weapon::DAGGERS:
        wind.Arm(false, 12.0f, 14.0f, 112.0f, -44.0f).Turn(CHEST, 4.0f, -20.0f).Crouch(18.0f);
        hit.Arm(false, 82.0f, 2.0f, 4.0f, -86.0f).Arm(true, 40.0f, 20.0f, 90.0f, -28.0f).Turn(CHEST, -10.0f, 22.0f);
        hit.Lunge(20.0f * power);
        break;
    case Weapon::SWORD:
        wind.Arm(false, 150.0f, 40.0f, 30.0f, 0.0f).Turn(CHEST, 8.0f, -26.0f).Turn(HIPS, 0.0f, -10.0f);
        hit.Arm(false, 56.0f, -16.0f, 10.0f, -62.0f).Turn(CHEST, -14.0f, 26.0f).Turn(HIPS, 0.0f, 10.0f);
        hit.Lunge(16.0f * power);
        break;
    case Weapon::BOW:
        wind.Arm(true, 110.0f, 30.0f, 20.0f, -110.0f).Turn(CHEST, 6.0f, 20.0f);
        hit.Arm(true, 60.0f, -10.0f, 10.0f, -70.0f).Turn(CHEST, -10.0f, -20.0f).Lunge(12.0f * power);
        break;
    }
    if (power > 1.0f) {
        // A critical blow: a deeper wind-up with a rise on the toes, and the full weight behind the strike.
        wind.Turn(CHEST, 6.0f, -10.0f).Shift(0.0f, 3.0f, 2.0f);
        hit.Turn(CHEST, -6.0f).Turn(HEAD, -8.0f);
    }
    return {wind, hit};
}

// Keys for a blow landing at `hit` seconds: the motion reaches contact a little before, so the pose shows the
// strike while the game's cross-fade into the set is still settling, and holds through the hit.
AnimationClip Strike(const std::string& name, const ClassLook& s, const Blow& blow, float hit)
{
    const Pose stance = Stance(s);
    const float contact = std::max(hit - 0.2f, 0.6f * hit);
    return Keys(name, {{0.0f, stance},
                       {0.62f * contact, blow.windUp},
                       {contact, blow.contact},
                       {hit + 0.06f, blow.contact},
                       {hit + 0.5f, stance}});
}

AnimationClip RangedClip(const ClassLook& s, const AttackTimes& times)
{
    const Pose stance = Stance(s);
    const float release = std::max(times.melee - 0.15f, 0.65f * times.melee);
    const float end = times.critical + 0.45f;
    P aim{stance}, drawn{stance}, loosed{stance};
    switch (s.weapon) {
    case Weapon::BOW:
        aim.Arm(true, 86.0f, 6.0f, 0.0f, -86.0f).Arm(false, 84.0f, -14.0f, 70.0f, 0.0f).Turn(CHEST, 0.0f, 26.0f);
        aim.Turn(HEAD, 0.0f, -22.0f);
        drawn = aim;
        drawn.Arm(false, 86.0f, -42.0f, 140.0f, 0.0f);
        loosed = aim;
        loosed.Arm(false, 80.0f, -70.0f, 40.0f, 0.0f);
        break;
    case Weapon::SLING:
        aim.Arm(false, 150.0f, 30.0f, 20.0f, 120.0f).Turn(CHEST, 6.0f, -16.0f);
        drawn.Arm(false, 170.0f, 10.0f, 10.0f, 250.0f).Turn(CHEST, 10.0f, -24.0f);
        loosed.Arm(false, 60.0f, 6.0f, 6.0f, 300.0f).Turn(CHEST, -14.0f, 20.0f).Lunge(14.0f);
        break;
    case Weapon::STAFF:
    case Weapon::HEALING_STAFF:
        aim.Arm(false, 110.0f, 10.0f, 20.0f, -60.0f).Arm(true, 60.0f, 20.0f, 40.0f, 0.0f);
        drawn = aim;
        drawn.Turn(CHEST, 8.0f);
        loosed.Arm(false, 86.0f, 4.0f, 0.0f, -86.0f).Arm(true, 70.0f, 20.0f, 10.0f, 0.0f).Turn(CHEST, -10.0f);
        loosed.Lunge(10.0f);
        break;
    default: // the focus: gather, then hurl from the orb
        aim.Arm(true, 40.0f, 10.0f, 110.0f, -140.0f).Arm(false, 40.0f, 10.0f, 90.0f, -40.0f).Turn(CHEST, 6.0f);
        drawn = aim;
        drawn.Turn(CHEST, 6.0f, -10.0f);
        loosed.Arm(true, 88.0f, 0.0f, 0.0f, -88.0f).Arm(false, 80.0f, 10.0f, 0.0f, -80.0f).Turn(CHEST, -12.0f);
        loosed.Lunge(12.0f);
        break;
    }
    std::vector<std::pair<float, Pose>> keys = {{0.0f, stance},    {0.35f * release, aim},    {0.8f * release, drawn},
                                                {release, loosed}, {release + 0.25f, loosed}, {end, stance}};
    if (s.weapon == Weapon::SLING) {
        // The sling whirls before it lets go: keys a quarter turn apart so the turn runs one way.
        keys = {{0.0f, stance}};
        for (int i = 1; i <= 8; ++i) {
            P whirl{stance};
            whirl.Arm(false, 155.0f, 20.0f, 12.0f, 90.0f * static_cast<float>(i)).Turn(CHEST, 6.0f, -16.0f);
            keys.push_back({release * 0.9f * static_cast<float>(i) / 8.0f, whirl});
        }
        P follow{stance};
        follow.Arm(false, 60.0f, 6.0f, 6.0f, 810.0f).Turn(CHEST, -14.0f, 20.0f).Lunge(14.0f);
        keys.push_back({release, follow});
        keys.push_back({release + 0.25f, follow});
        P back{stance};
        back.Turn(WEAPON, 720.0f);
        keys.push_back({end, back});
    }
    return Keys("RangedAttack", keys);
}

AnimationClip CastClip(const ClassLook& s)
{
    const Pose stance = Stance(s);
    P raise{stance}, hold{stance}, release{stance};
    raise.Arm(false, 150.0f, 22.0f, 14.0f, -30.0f).Arm(true, 150.0f, 22.0f, 14.0f, -30.0f);
    raise.Turn(CHEST, 10.0f).Turn(HEAD, 18.0f).Shift(0.0f, 1.5f, 0.0f);
    hold = raise;
    hold.Turn(UPPER_ARM_L, 10.0f).Turn(UPPER_ARM_R, 10.0f).Turn(CHEST, 4.0f);
    release.Arm(false, 74.0f, 8.0f, 6.0f, -60.0f).Arm(true, 74.0f, 8.0f, 6.0f, -60.0f).Turn(CHEST, -14.0f);
    release.Lunge(12.0f);
    return Keys("Cast",
                {{0.0f, stance}, {0.4f, raise}, {0.85f, hold}, {1.1f, release}, {1.35f, release}, {1.8f, stance}});
}

std::vector<AnimationClip> Reactions(const ClassLook& s)
{
    const Pose stance = Stance(s);
    std::vector<AnimationClip> clips;

    P recoil{stance};
    recoil.Turn(CHEST, 18.0f).Turn(SPINE, 6.0f).Turn(HEAD, 16.0f).Shift(0.0f, 0.0f, 5.0f);
    recoil.Turn(UPPER_ARM_L, -10.0f, 0.0f, 14.0f).Turn(UPPER_ARM_R, -10.0f, 0.0f, -14.0f).Lunge(-8.0f);
    clips.push_back(Keys("Hit", {{0.0f, stance}, {0.1f, recoil}, {0.25f, recoil}, {0.7f, stance}}));

    P jolt{stance};
    jolt.Turn(CHEST, 26.0f).Turn(HEAD, 26.0f).Turn(SPINE, 8.0f);
    jolt.Arm(true, -10.0f, 62.0f, 20.0f, 0.0f).Arm(false, -10.0f, 62.0f, 20.0f, 0.0f).Shift(0.0f, 2.0f, 4.0f);
    P shake{jolt};
    shake.Turn(CHEST, -12.0f, 8.0f).Turn(HEAD, -10.0f, -10.0f).Crouch(16.0f);
    clips.push_back(Keys("MagicHit", {{0.0f, stance}, {0.12f, jolt}, {0.3f, shake}, {0.45f, jolt}, {0.95f, stance}}));

    P dodge{stance};
    dodge.Shift(15.0f, -4.0f, 3.0f).Turn(HIPS, 0.0f, 0.0f, -14.0f).Turn(CHEST, -6.0f, 0.0f, -12.0f);
    dodge.Turn(THIGH_L, 0.0f, 0.0f, 26.0f).Turn(THIGH_R, 0.0f, 0.0f, 6.0f).Turn(HEAD, 0.0f, 0.0f, 10.0f);
    dodge.Turn(UPPER_ARM_R, 0.0f, 0.0f, -24.0f);
    clips.push_back(Keys("Dodge", {{0.0f, stance}, {0.18f, dodge}, {0.32f, dodge}, {0.7f, stance}}));

    // Struck down: the knees give, the body tips back and comes to rest on the ground.
    P buckle{stance};
    buckle.Crouch(60.0f).Turn(CHEST, 14.0f).Turn(HEAD, 18.0f).Turn(UPPER_ARM_L, -10.0f, 0.0f, 20.0f);
    buckle.Turn(UPPER_ARM_R, -10.0f, 0.0f, -20.0f);
    P falling;
    // Half way down the legs fold forward so the feet stay above the ground.
    falling.Turn(HIPS, 50.0f).Shift(0.0f, -28.0f, 12.0f).Turn(THIGH_L, 35.0f).Turn(THIGH_R, 38.0f);
    falling.Turn(SHIN_L, -45.0f).Turn(SHIN_R, -40.0f).Turn(CHEST, 10.0f).Turn(HEAD, 14.0f);
    falling.Arm(true, -20.0f, 50.0f, 20.0f, 0.0f).Arm(false, -20.0f, 50.0f, 20.0f, 0.0f);
    P down;
    down.Turn(HIPS, 88.0f)
        .Shift(0.0f, -47.0f, 34.0f)
        .Turn(THIGH_L, -4.0f, 0.0f, 6.0f)
        .Turn(THIGH_R, -2.0f, 0.0f, -8.0f);
    down.Turn(SHIN_L, -6.0f).Turn(SHIN_R, -12.0f).Turn(FOOT_L, -30.0f).Turn(FOOT_R, -30.0f);
    down.Arm(true, -30.0f, 64.0f, 16.0f, 40.0f).Arm(false, -20.0f, 58.0f, 24.0f, 30.0f).Turn(HEAD, 4.0f, 28.0f);
    P rest{down};
    rest.Turn(HEAD, 4.0f, 6.0f).Turn(CHEST, 2.0f);
    clips.push_back(
        Keys("Die", {{0.0f, stance}, {0.3f, buckle}, {0.75f, falling}, {1.15f, down}, {1.35f, rest}, {1.8f, rest}}));
    return clips;
}

std::vector<AnimationClip> AbilityClips(const ClassLook& s, const std::string& file, const AttackTimes& times)
{
    const Pose stance = Stance(s);
    if (file == "_meleespirit.x") {
        P rally{stance};
        rally.Arm(false, 165.0f, 10.0f, 10.0f, -85.0f).Arm(true, 150.0f, 30.0f, 10.0f, 0.0f);
        rally.Turn(CHEST, 14.0f).Turn(HEAD, 24.0f).Shift(0.0f, 2.0f, 0.0f);
        P shout{rally};
        shout.Turn(CHEST, 6.0f).Turn(UPPER_ARM_L, 0.0f, 0.0f, 20.0f);
        return {Keys("MeleeSpirit", {{0.0f, stance}, {0.45f, rally}, {0.8f, shout}, {1.2f, rally}, {1.7f, stance}})};
    }
    if (file == "_firstaid.x") {
        P kneel{stance};
        kneel.Turn(THIGH_L, 80.0f).Turn(SHIN_L, -85.0f).Turn(THIGH_R, 5.0f).Turn(SHIN_R, -95.0f);
        kneel.Turn(FOOT_L, 5.0f).Turn(FOOT_R, 40.0f).Shift(0.0f, -24.0f, 4.0f).Turn(CHEST, -24.0f).Turn(HEAD, -18.0f);
        kneel.Arm(false, 50.0f, 4.0f, 40.0f, -40.0f).Arm(true, 40.0f, 4.0f, 40.0f, -40.0f);
        P tend{kneel};
        tend.Turn(FORE_ARM_L, 20.0f).Turn(FORE_ARM_R, 20.0f);
        return {Keys("FirstAid", {{0.0f, stance}, {0.5f, kneel}, {0.9f, tend}, {1.3f, kneel}, {1.9f, stance}})};
    }
    if (file == "_shieldbash.x") {
        P gather{stance}, bash{stance};
        gather.Arm(true, 30.0f, 24.0f, 92.0f, -112.0f).Turn(CHEST, 4.0f, -22.0f).Lunge(-8.0f);
        bash.Arm(true, 82.0f, 4.0f, 6.0f, -86.0f).Turn(CHEST, -10.0f, 26.0f).Lunge(26.0f);
        return {Keys("ShieldBash", {{0.0f, stance}, {0.22f, gather}, {0.36f, bash}, {0.5f, bash}, {0.95f, stance}})};
    }
    if (file == "_flashstrike.x") {
        const Blow blow = MeleeBlow(s, 1.0f);
        P dash{blow.contact};
        dash.Shift(0.0f, -3.0f, -18.0f).Turn(HIPS, 0.0f, 30.0f);
        P slash{dash};
        slash.Arm(false, 90.0f, 60.0f, 4.0f, -90.0f).Arm(true, 90.0f, 60.0f, 4.0f, -90.0f).Turn(HIPS, 0.0f, -40.0f);
        return {
            Keys("FlashStrike",
                 {{0.0f, stance}, {0.12f, blow.windUp}, {0.26f, dash}, {0.4f, slash}, {0.55f, slash}, {1.0f, stance}})};
    }
    if (file == "_asstouch.x") {
        P reach{stance}, stab{stance};
        reach.Arm(true, 84.0f, 2.0f, 4.0f, -30.0f).Turn(CHEST, -6.0f, 22.0f).Lunge(12.0f).Turn(HEAD, -6.0f);
        stab = reach;
        stab.Arm(false, 84.0f, -4.0f, 4.0f, -84.0f).Turn(CHEST, -6.0f, -30.0f).Lunge(8.0f);
        return {Keys("AssTouch",
                     {{0.0f, stance}, {0.35f, reach}, {0.7f, reach}, {0.9f, stab}, {1.05f, stab}, {1.5f, stance}})};
    }
    if (file == "_daggerthrow.x") {
        P cock{stance}, loose{stance};
        cock.Arm(false, 160.0f, 20.0f, 70.0f, 0.0f).Turn(CHEST, 8.0f, -26.0f).Lunge(-6.0f);
        loose.Arm(false, 70.0f, 4.0f, 0.0f, -60.0f).Turn(CHEST, -14.0f, 24.0f).Lunge(16.0f);
        return {Keys("DaggerThrow", {{0.0f, stance}, {0.3f, cock}, {0.45f, loose}, {0.6f, loose}, {1.0f, stance}})};
    }
    if (file == "_fanofdaggers.x") {
        // A full turn with both arms out, daggers flung to every side; keys a sixth of a turn apart.
        std::vector<std::pair<float, Pose>> keys = {{0.0f, stance}};
        P crouch{stance};
        crouch.Crouch(30.0f).Arm(true, 30.0f, 30.0f, 70.0f, -20.0f).Arm(false, 30.0f, 30.0f, 70.0f, -20.0f);
        keys.push_back({0.25f, crouch});
        for (int i = 1; i <= 6; ++i) {
            P spin{stance};
            spin.Arm(true, 10.0f, 88.0f, 4.0f, -70.0f).Arm(false, 10.0f, 88.0f, 4.0f, -70.0f).Crouch(12.0f);
            spin.Turn(HIPS, 0.0f, 60.0f * static_cast<float>(i));
            keys.push_back({0.25f + 0.1f * static_cast<float>(i), spin});
        }
        P done{stance};
        done.Turn(HIPS, 0.0f, 360.0f);
        keys.push_back({1.3f, done});
        return {Keys("FanOfDaggers", keys)};
    }
    if (file == "_dirtkick.x") {
        P lean{stance}, kick{stance};
        lean.Turn(THIGH_R, -20.0f).Turn(SHIN_R, -40.0f).Turn(CHEST, 8.0f).Turn(UPPER_ARM_L, 0.0f, 0.0f, 20.0f);
        kick.Turn(THIGH_R, 75.0f).Turn(SHIN_R, -6.0f).Turn(FOOT_R, 20.0f).Turn(CHEST, 14.0f);
        kick.Turn(UPPER_ARM_L, 0.0f, 0.0f, 40.0f).Turn(UPPER_ARM_R, 0.0f, 0.0f, -30.0f).Shift(0.0f, -2.0f, 4.0f);
        return {Keys("DirtKick", {{0.0f, stance}, {0.22f, lean}, {0.38f, kick}, {0.5f, kick}, {0.95f, stance}})};
    }
    if (file == "_warcry.x") {
        P raise{stance}, roar{stance};
        raise.Arm(false, 165.0f, 6.0f, 4.0f, -80.0f).Arm(true, 120.0f, 40.0f, 30.0f, 0.0f);
        raise.Turn(CHEST, 14.0f).Turn(HEAD, 22.0f).Crouch(14.0f);
        roar = raise;
        roar.Turn(CHEST, 6.0f).Turn(HEAD, 8.0f).Turn(UPPER_ARM_L, 0.0f, 0.0f, 20.0f).Shift(0.0f, 3.0f, 0.0f);
        return {Keys("Warcry", {{0.0f, stance}, {0.4f, raise}, {0.7f, roar}, {1.2f, roar}, {1.7f, stance}})};
    }
    if (file == "_sweepstrike.x") {
        P wind{stance}, sweep{stance};
        wind.Arm(false, 20.0f, 80.0f, 10.0f, 0.0f).Turn(CHEST, 0.0f, -50.0f).Turn(HIPS, 0.0f, -20.0f).Crouch(24.0f);
        sweep.Arm(false, 40.0f, 70.0f, 6.0f, 0.0f).Turn(CHEST, -6.0f, 70.0f).Turn(HIPS, 0.0f, 30.0f).Crouch(24.0f);
        sweep.Arm(true, 20.0f, 50.0f, 20.0f, 0.0f);
        const float contact = std::max(times.melee - 0.2f, 0.3f);
        return {Keys("SweepStrike",
                     {{0.0f, stance}, {0.3f, wind}, {contact + 0.1f, sweep}, {contact + 0.3f, sweep}, {1.2f, stance}})};
    }
    if (file == "_assault.x") {
        // Three blows in a row: down from the right, back from the left, and a thrust.
        const Blow blow = MeleeBlow(s, 1.0f);
        P back{stance}, thrust{stance};
        back.Arm(false, 90.0f, 70.0f, 20.0f, -40.0f).Turn(CHEST, -8.0f, -30.0f).Lunge(18.0f);
        thrust.Arm(false, 80.0f, 0.0f, 0.0f, -80.0f).Turn(CHEST, -12.0f, 20.0f).Lunge(30.0f);
        return {Keys("Assault", {{0.0f, stance},
                                 {0.25f, blow.windUp},
                                 {0.42f, blow.contact},
                                 {0.7f, back},
                                 {0.95f, blow.windUp},
                                 {1.25f, thrust},
                                 {1.45f, thrust},
                                 {1.9f, stance}})};
    }
    return {};
}

} // namespace

Pose SampleClip(const AnimationClip& clip, const ClassLook& look, float time)
{
    if (clip.function)
        return clip.function(look, time);
    const auto& keys = clip.keys;
    if (time <= keys.front().first)
        return keys.front().second;
    for (size_t i = 0; i + 1 < keys.size(); ++i) {
        if (time <= keys[i + 1].first) {
            const float span = keys[i + 1].first - keys[i].first;
            const float f = span > 0.0f ? (time - keys[i].first) / span : 1.0f;
            return Lerp(keys[i].second, keys[i + 1].second, Ease(f));
        }
    }
    return keys.back().second;
}

std::vector<ClipFile> ClassClips(const ClassLook& s, const AttackTimes& times)
{
    std::vector<ClipFile> files;
    files.push_back({"", {Loop("Idle", 2.4f, IdleAt)}});
    for (const std::string& ability : s.abilityFiles)
        files.push_back({ability, AbilityClips(s, ability, times)});
    files.push_back({"_walk.x", {Loop("Walk", WalkPeriod, WalkAt)}});
    files.push_back({"_defend.x", {Loop("Defend", 1.6f, DefendAt)}});
    files.push_back({"_focus.x", {Loop("Focus", 2.4f, FocusAt)}});
    const std::vector<AnimationClip> reactions = Reactions(s);
    files.push_back({"_hit.x", {reactions[0]}});
    files.push_back({"_magichit.x", {reactions[1]}});
    files.push_back({"_die.x", {reactions[3]}});
    files.push_back({"_dodge.x", {reactions[2]}});
    files.push_back({"_attack.x", {Strike("MeleeAttack", s, MeleeBlow(s, 1.0f), times.melee)}});
    if (s.ranged)
        files.push_back({"_rangedAttack.x", {RangedClip(s, times)}});
    if (s.casts)
        files.push_back({"_cast.x", {CastClip(s)}});
    files.push_back({"_critical.x", {Strike("CriticalAttack", s, MeleeBlow(s, 1.25f), times.critical)}});

    // A defending unit that is struck plays "Block" and returns to its guard.
    const Pose guard = DefendAt(s, 0.0f);
    P jolt{guard};
    jolt.Turn(CHEST, 12.0f).Turn(HEAD, 8.0f).Shift(0.0f, 0.0f, 4.0f);
    const AnimationClip block = Keys("Block", {{0.0f, guard}, {0.12f, jolt}, {0.6f, guard}});
    // The rogue's "FocusAnimation" rides in its focus file: arms opened to the sky, then back.
    P open{Stance(s)};
    open.Arm(true, 30.0f, 100.0f, 10.0f, 0.0f).Arm(false, 30.0f, 100.0f, 10.0f, 0.0f).Turn(HEAD, 24.0f);
    open.Turn(CHEST, 10.0f);
    const AnimationClip vigour =
        Keys("FocusAnimation", {{0.0f, Stance(s)}, {0.5f, open}, {1.1f, open}, {1.6f, Stance(s)}});
    for (ClipFile& file : files) {
        // Every knight file holds exactly one set, in load order, because the knight's sets are also known by
        // their index; its block rides at the very end.
        const bool knight = std::string(s.base) == "knight";
        if (file.suffix == "_defend.x" && !knight)
            file.clips.push_back(block);
        if (file.suffix == "_critical.x" && knight)
            file.clips.push_back(block);
        if (file.suffix == "_focus.x" && std::string(s.base) == "rogue")
            file.clips.push_back(vigour);
    }
    return files;
}
