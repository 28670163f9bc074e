#include "battle/ClassUnit.h"

#include "battle/BoardGround.h"
#include "battle/BoardView.h"
#include "battle/Hex.h"
#include "core/Random.h"
#include "scene/AnimatedMesh.h"
#include "scene/ParticleManager.h"

#include <array>
#include <vector>

namespace {

// In the order the keywords are tried: the first match wins.
constexpr std::array<ClassUnit::ClassInfo, ClassUnit::CLASS_COUNT> CLASSES = {{
    {UnitClass::PIKEMAN, "PIKEMAN", 7, 50, "pikeman.x", "pikeman"},
    {UnitClass::MILITIA, "MILITIA", 7, 25, "militia.x", "militia"},
    {UnitClass::PALADIN, "PALADIN", 7, 75, "paladin.x", "paladin"},
    {UnitClass::MAGE, "MAGE", 4, 25, "mage.x", "mage"},
    {UnitClass::COMBAT_MAGE, "COMBAT_MAGE", 0, 50, "combatMage.x", "combatMage"},
    {UnitClass::HEALER, "HEALER", 0, 50, "healer.x", "healer"},
    {UnitClass::ROGUE, "ROGUE", 0, 50, "rogue.x", "rogue"},
    {UnitClass::ASSASSIN, "ASSASSIN", 0, 75, "assassin.x", "assassin"},
    {UnitClass::SCOUT, "SCOUT", 0, 25, "scout.x", "scout"},
    {UnitClass::KNIGHT, "KNIGHT", 0, 75, "knight.x", "knight"},
    {UnitClass::ARCHER, "ARCHER", 0, 50, "archer.x", "archer"},
}};

struct Sample {
    int index;
    const char* name;
};

struct ClassSamples {
    // Ability animation files loaded before the eleven every class has.
    std::vector<const char*> animations;
    std::vector<Sample> voices;
    std::vector<Sample> sounds;
};

// Voice 10 keeps its short extension: the data provides the file under that name.
ClassSamples PikemanSamples()
{
    return {{"_meleespirit.x"},
            {{0, "PMVO_AT_01.wav"},  {1, "PMVO_AT_02.wav"},  {2, "PMVO_AT_03.wav"},  {3, "PMVO_DE_01.wav"},
             {4, "PMVO_DE_02.wav"},  {5, "PMVO_FO_01.wav"},  {6, "PMVO_FO_02.wav"},  {7, "PMVO_MO_01.wav"},
             {8, "PMVO_MO_02.wav"},  {9, "PMVO_MO_03.wav"},  {10, "PMVO_GA_01.wa"},  {11, "PMVO_GA_02.wav"},
             {12, "PMVO_GA_03.wav"}, {13, "PMVO_GA_04.wav"}, {14, "PMVO_GA_05.wav"}, {15, "PMVO_UG_01.wav"},
             {16, "PMVO_UG_02.wav"}, {17, "PMVO_UG_03.wav"}, {18, "PMVO_VS_01.wav"}, {19, "PMVO_VS_02.wav"},
             {20, "PMVO_XX_01.wav"}, {21, "PMVO_XX_02.wav"}},
            {{0, "PM_MO_02.wav"},
             {1, "PM_MO_01.wav"},
             {2, "PMVO_SP_01_01.wav"},
             {3, "PMVO_SP_02_01.wav"},
             {4, "PMVO_SP_03_01.wav"},
             {6, "PM_AT_01.wav"},
             {7, "PM_AT_02.wav"},
             {8, "PM_AT_01.wav"},
             {9, "PM_AT_02.wav"},
             {10, "PM_XX_01.wav"},
             {13, "PM_GD_01.wav"},
             {14, "PM_GD_02.wav"}}};
}

ClassSamples CombatMageSamples()
{
    return {{},
            {{0, "CMVO AT 01.wav"},
             {1, "CMVO AT 02.wav"},
             {2, "CMVO AT 03.wav"},
             {7, "CMVO MO 01.wav"},
             {8, "CMVO MO 02.wav"},
             {9, "CMVO MO 03.wav"},
             {10, "CMVO AO 01.wav"},
             {11, "CMVO AO 02.wav"},
             {12, "CMVO AO 03.wav"},
             {15, "CMVO UG 01.wav"},
             {16, "CMVO UG 02.wav"},
             {20, "CMVO DE 01.wav"}},
            {{0, "CM_MO_01.wav"},
             {1, "CM_MO_02.wav"},
             {2, "CM_SP_01.wav"},
             {3, "CMVO SP 02.wav"},
             {4, "CM_SP_03.wav"},
             {5, "CMVO SP_ 4.wav"},
             {6, "CM_AT_01.wav"},
             {7, "CM_AT_01.wav"},
             {10, "CM_XX_01.wav"},
             {11, "CM_DE_01.wav"},
             {12, "CM_FO_01.wav"}}};
}

ClassSamples AssassinSamples()
{
    return {{"_asstouch.x", "_daggerthrow.x", "_fanofdaggers.x"},
            {{0, "ASVO AT 01.wav"},
             {1, "ASVO AT 02.wav"},
             {2, "ASVO AT 03.wav"},
             {3, "ASVO DE 01.wav"},
             {4, "ASVO DE 02.wav"},
             {5, "ASVO FO 01.wav"},
             {6, "ASVO FO 02.wav"},
             {7, "ASVO MO 01.wav"},
             {8, "ASVO MO 02.wav"},
             {9, "ASVO MO 03.wav"},
             {10, "ASVO GA 01.wav"},
             {11, "ASVO GA 02.wav"},
             {12, "ASVO GA 03.wav"},
             {13, "ASVO GA 04.wav"},
             {14, "ASVO GA 05.wav"},
             {15, "ASVO UG 01.wav"},
             {16, "ASVO UG 02.wav"},
             {17, "ASVO UG 03.wav"}},
            {{0, "AS_MO_R1.wav"},
             {1, "AS_MO_L1.wav"},
             {2, "AS_SP_01.wav"},
             {3, "ASVO SP 02.wav"},
             {4, "AS_SP_03.wav"},
             {5, "AS_SP_04.wav"},
             {6, "AS_AT_01.wav"},
             {7, "AS_AT_02.wav"},
             {8, "AS_AT_02.wav"},
             {9, "AS_AT_02.wav"},
             {10, "AS_XX_01.wav"},
             {11, "AS_DE_01.wav"},
             {12, "AS_FO.wav"},
             {13, "AS_TD_01.wav"},
             {14, "AS_TD_02.wav"}}};
}

ClassSamples KnightSamples()
{
    return {{"_warcry.x", "_sweepstrike.x", "_assault.x"},
            {{0, "KNVO_AT_01.wav"},
             {1, "KNVO_AT_02.wav"},
             {2, "KNVO_AT_03.wav"},
             {3, "KNVO_DE_01.wav"},
             {4, "KNVO_DE_02.wav"},
             {5, "KNVO_FO_01.wav"},
             {6, "KNVO_FO_02.wav"},
             {7, "KNVO_MO_01.wav"},
             {8, "KNVO_MO_02.wav"},
             {9, "KNVO_MO_03.wav"},
             {10, "KNVO_GA_01.wav"},
             {11, "KNVO_GA_02.wav"},
             {12, "KNVO_GA_03.wav"},
             {13, "KNVO_GA_04.wav"},
             {14, "KNVO_GA_05.wav"},
             {15, "KNVO_UG_01.wav"},
             {16, "KNVO_US_01.wav"},
             {17, "KNVO_US_02.wav"}},
            {{0, "KN_MO_S_01.wav"},
             {1, "KN_MO_S_02.wav"},
             {3, "KN_SP_02.wav"},
             {13, "KN_GD_01.wav"},
             {14, "KN_GD_02.wav"}}};
}

const std::array<ClassSamples, ClassUnit::CLASS_COUNT>& Samples()
{
    static const std::array<ClassSamples, ClassUnit::CLASS_COUNT> samples = {{
        PikemanSamples(), // PIKEMAN
        // MILITIA
        {{"_firstaid.x", "_shieldbash.x"},
         {},
         {{0, "MI_MO_01.wav"},
          {1, "MI_MO_02.wav"},
          {6, "MI_AT_01.wav"},
          {7, "MI_AT_02.wav"},
          {13, "MI_GD_01.wav"},
          {14, "MI_GD_02.wav"}}},
        // PALADIN
        {{}, {}, {{0, "PA_MO_S_01.wav"}, {1, "PA_MO_S_02.wav"}, {2, "ALL_SP_HEAL.wav"}, {5, "PA_SP_04.wav"}}},
        // MAGE
        {{}, {}, {{0, "MA_MO_01.wav"}, {1, "MA_MO_02.wav"}, {6, "MA_AT_01.wav"}, {13, "MA_GD_01.wav"}}},
        CombatMageSamples(), // COMBAT_MAGE
        // HEALER
        {{}, {}, {{0, "MA_MO_03.wav"}, {1, "MA_MO_04.wav"}}},
        // ROGUE
        {{"_flashstrike.x"}, {}, {{0, "MI_MO_01.wav"}, {1, "MI_MO_02.wav"}}},
        AssassinSamples(), // ASSASSIN
        // SCOUT
        {{"_dirtkick.x"},
         {},
         {{0, "SC_MO_01.wav"}, {1, "SC_MO_03.wav"}, {6, "SC_AT_1.wav"}, {7, "SC_AT_1.wav"}, {13, "SC_GD_01.wav"}}},
        KnightSamples(), // KNIGHT
        // ARCHER
        {{}, {}, {{0, "AR_MO_01.wav"}, {1, "AR_MO_02.wav"}, {6, "ALL_TD_LIGHT.wav"}, {7, "ALL_TD_LIGHT.wav"}}},
    }};
    return samples;
}

// The knight's animation files each hold one set, loaded model first, then its ability files, then the eleven
// (of which it has no ranged attack and no cast), so its sets are known by their place.
constexpr std::array<const char*, 13> KNIGHT_SETS = {"Idle",   "Warcry",      "SweepStrike",   "Assault",  "Walk",
                                                     "Defend", "Focus",       "Hit",           "MagicHit", "Die",
                                                     "Dodge",  "MeleeAttack", "CriticalAttack"};

enum class Visual
{
    NONE,
    MISSILES,
    LIGHTNING,
    SHARDS,
    SHRAPNEL,
    SHOT
};

struct AbilityEffect {
    UnitClass unitClass;
    const char* ability;
    // Null when the ability plays no animation of its own.
    const char* animation;
    Visual visual;
};

constexpr AbilityEffect ABILITY_EFFECTS[] = {
    {UnitClass::PIKEMAN, "Pike Thrust", "MeleeAttack", Visual::NONE},
    {UnitClass::PIKEMAN, "Melee Spirit", "MeleeSpirit", Visual::NONE},
    {UnitClass::MILITIA, "Shield Bash", "ShieldBash", Visual::NONE},
    {UnitClass::MILITIA, "First Aid", "FirstAid", Visual::NONE},
    {UnitClass::MILITIA, "Surge of Speed", "FirstAid", Visual::NONE},
    {UnitClass::PALADIN, "Pulverize", "CriticalAttack", Visual::NONE},
    {UnitClass::MAGE, "Pillar of Flames", "MeleeAttack", Visual::NONE},
    {UnitClass::MAGE, "Thundershackle", "MeleeAttack", Visual::NONE},
    {UnitClass::MAGE, "Arcane Missile", "MeleeAttack", Visual::MISSILES},
    {UnitClass::COMBAT_MAGE, "Lightning Bolt", nullptr, Visual::LIGHTNING},
    {UnitClass::COMBAT_MAGE, "Shards of Ice", nullptr, Visual::SHARDS},
    {UnitClass::ROGUE, "Flashing Strike", "FlashStrike", Visual::NONE},
    {UnitClass::ROGUE, "Nature's Vigor", "FocusAnimation", Visual::NONE},
    {UnitClass::ROGUE, "Critical Strike", "CriticalAttack", Visual::NONE},
    {UnitClass::ASSASSIN, "Slashing Strike", "DaggerThrow", Visual::NONE},
    {UnitClass::ASSASSIN, "Fan of Daggers", "FanOfDaggers", Visual::NONE},
    {UnitClass::ASSASSIN, "Assassin's Touch", "AssTouch", Visual::NONE},
    {UnitClass::SCOUT, "Mud Sling", "RangedAttack", Visual::SHOT},
    {UnitClass::SCOUT, "Shrapnel Shot", "RangedAttack", Visual::SHRAPNEL},
    {UnitClass::KNIGHT, "Warcry", "Warcry", Visual::NONE},
    {UnitClass::KNIGHT, "Charge!", "Warcry", Visual::NONE},
    {UnitClass::KNIGHT, "Unrelenting Assault", "Assault", Visual::NONE},
    {UnitClass::KNIGHT, "Sweeping Strike", "SweepStrike", Visual::NONE},
    {UnitClass::ARCHER, "Poison Arrow", "RangedAttack", Visual::SHOT},
    {UnitClass::ARCHER, "Long Shot", "RangedAttack", Visual::SHOT},
    {UnitClass::ARCHER, "Aimed Shot", "RangedAttack", Visual::SHOT},
};

constexpr const char* MISSILE_TEXTURE = "bolt.BMP";
constexpr const char* BEAM_TEXTURE = "lightBolt.BMP";
constexpr const char* SHARDS_MESH = "shardsOfIce.x";
constexpr int VOLLEY_COUNT = 12;
// The second bolt of each pair leaves from this high above the first.
constexpr float PAIR_LIFT = 20.0f;
// A volley of bolts in pairs, each pair one random colour within the most of each channel, landing spread about
// the aim.
struct VolleyLook {
    D3DXVECTOR3 colour; // the most of each channel
    D3DXVECTOR3 spread;
    float earliest, latest; // seconds before a bolt sets off
    float life, width;
};
// Bluish magic missiles that wander onto the target, and a tight burst of greener shrapnel that lands together.
const VolleyLook MISSILES{{0.3f, 0.1f, 1.0f}, {75.0f, 75.0f, 75.0f}, 0.6f, 2.0f, 3.5f, 5.0f};
const VolleyLook SHRAPNEL{{0.1f, 0.4f, 1.0f}, {25.0f, 75.0f, 25.0f}, 1.1f, 1.5f, 1.0f, 3.0f};
// The lightning strikes this far short of its target along the caster's facing.
constexpr float LIGHTNING_SHORTFALL = 50.0f;
// The shards rise from below the ground.
constexpr float SHARDS_DEPTH = 15.0f;
constexpr float SHARDS_DELAY = 2.25f;
constexpr float SHARDS_LIFETIME = 0.5f;

void SpawnVolley(const D3DXVECTOR3& source, const D3DXVECTOR3& aim, const VolleyLook& look)
{
    ParticleManager* particles = ParticleManager::Get();
    const D3DXVECTOR3 lifted = source + D3DXVECTOR3(0.0f, PAIR_LIFT, 0.0f);
    for (int i = 0; i < VOLLEY_COUNT; ++i) {
        D3DXVECTOR3 colour;
        colour.x = RandomFloat(0.0f, look.colour.x);
        colour.y = RandomFloat(0.0f, look.colour.y);
        colour.z = RandomFloat(0.0f, look.colour.z);
        D3DXVECTOR3 offset;
        RandomVector(look.spread.x, look.spread.y, look.spread.z, offset);
        const D3DXVECTOR3 end = aim + offset;
        const float delay = RandomFloat(look.earliest, look.latest);
        for (const D3DXVECTOR3* from : {&source, &lifted})
            particles->SpawnBolt(MISSILE_TEXTURE, from, &end, &colour, delay, look.life, 0.01f, look.width, look.width,
                                 true);
    }
}

} // namespace

const ClassUnit::ClassInfo& ClassUnit::Info(UnitClass unitClass)
{
    const auto index = static_cast<size_t>(unitClass);
    return CLASSES[index < CLASSES.size() ? index : 0];
}

bool ClassUnit::MatchClass(const std::string& keyword, UnitClass& out)
{
    for (const ClassInfo& info : CLASSES) {
        const bool match =
            info.prefix > 0 ? keyword.compare(0, info.prefix, info.keyword) == 0 : keyword == info.keyword;
        if (match) {
            out = info.unitClass;
            return true;
        }
    }
    return false;
}

std::unique_ptr<BoardUnit> ClassUnit::Make()
{
    return std::make_unique<ClassUnit>();
}

void ClassUnit::RegisterFactory()
{
    BoardUnit::SetFactory(&ClassUnit::Make);
}

ClassUnit::ClassUnit()
{
    RulesForSetUp().attributes.armour = ArmourType::SCALEMAIL;
    RulesForSetUp().attributes.size = SizeCategory::MEDIUM;
}

void ClassUnit::Load(const std::string& file)
{
    Unit::Load(file);
    UnitDefinition definition;
    definition.Init();
    // The definition has said why on stderr; the unit keeps what it was made with.
    if (!definition.Read(file)) {
        definition.Free();
        return;
    }
    for (size_t i = 0; i < definition.abilityNames.size(); ++i)
        Spellcasting().AddAbility(definition.abilityNames[i], definition.abilityUses[i]);
    UnitClass matched = unitClass;
    if (MatchClass(definition.classText, matched)) {
        unitClass = matched;
        cost = Info(matched).cost;
    }
    CopyDefinition(definition);

    const float weight = static_cast<float>(definition.speed) * definition.firstFactor;
    UnitRulesState& rules = RulesForSetUp();
    rules.attributes.initiativeWeight = weight;
    rules.turn.initiative = 50;
    const int late = static_cast<int>(RandomFloat(0.5f, 1.5f));
    rules.turn.initiative -= late * static_cast<int>(weight);

    SetupVoices();
    definition.Free();
}

void ClassUnit::CopyDefinition(const UnitDefinition& definition)
{
    UnitRulesState& rules = RulesForSetUp();
    rules.name = definition.name;
    creatureType = definition.creatureType;
    rules.attributes.primaryAttribute = definition.primaryAttribute;
    rules.attributes.size = definition.size;
    rules.attributes.armour = definition.armour;
    rules.attributes.resistanceLevel = definition.rating;
    rules.attributes.meleeHitTime = definition.meleeHitTime;
    rules.attributes.criticalHitTime = definition.criticalHitTime;
    rules.attributes.thirdHitTime = definition.thirdHitTime;
    rules.attributes.arcaneResistance = definition.arcaneResistance;
    rules.attributes.natureResistance = definition.natureResistance;
    rules.attributes.holyResistance = definition.holyResistance;
    rules.attributes.shadowResistance = definition.shadowResistance;
    rules.attributes.secondFactor *= definition.secondFactor;
    rules.attributes.thirdFactor *= definition.thirdFactor;

    UnitStats values;
    values.strength = values.baseStrength = definition.strength;
    values.agility = values.baseAgility = definition.agility;
    values.intelligence = values.baseIntelligence = definition.intelligence;
    values.speed = values.baseSpeed = definition.speed;
    values.movementRadius = values.baseMovementRadius = definition.movementRadius;
    values.meleeRange = values.baseMeleeRange = definition.meleeRange;
    values.rangedRange = values.baseRangedRange = definition.rangedRange;
    values.defendRadius = values.baseDefendRadius = definition.defendRadius;
    values.actionPoints = values.maxActionPoints = definition.actionPoints;
    InitStats(values);
}

void ClassUnit::LoadModel(bool withAnimations)
{
    if (withAnimations)
        RulesForSetUp().turn.visible = true;
    const ClassInfo& info = Info(unitClass);
    LoadMesh(info.model);
    if (unitClass == UnitClass::ASSASSIN && Model())
        Model()->SetSpeed(ASSASSIN_SPEED);
    if (withAnimations) {
        LoadAnimations(info.animationBase);
        if (unitClass == UnitClass::KNIGHT && Model() && Model()->IsLoaded()) {
            for (size_t i = 0; i < KNIGHT_SETS.size(); ++i)
                Model()->RegisterAnimation(KNIGHT_SETS[i], static_cast<int>(i));
        }
    }
    // The loading job runs this on its own thread while the main thread draws: only the unit's own model is
    // posed here. The overlay, emitters and facing, which reach the camera and the shared lists, start with
    // the first frame's update on the main thread.
    Object::Update(); // NOLINT(bugprone-parent-virtual-call): the unit's own update is main-thread work
    if (Model() && Model()->IsLoaded())
        Model()->Update(&m_world);
    PlayAnimation("Idle", true);
}

bool ClassUnit::AimPoint(D3DXVECTOR3& aim) const
{
    const UnitRulesState::Command& command = Rules().command;
    if (command.target) {
        aim = command.target->GetPosition() + D3DXVECTOR3(0.0f, EFFECT_HEIGHT, 0.0f);
        return true;
    }
    if (command.abilityTarget) {
        aim = D3DXVECTOR3(command.abilityTarget->anchorX, EFFECT_HEIGHT, command.abilityTarget->anchorZ);
        return true;
    }
    return false;
}

void ClassUnit::PlayAbilityEffect(const std::string& abilityName)
{
    const AbilityEffect* effect = nullptr;
    for (const AbilityEffect& entry : ABILITY_EFFECTS) {
        if (entry.unitClass == unitClass && abilityName == entry.ability) {
            effect = &entry;
            break;
        }
    }
    if (!effect)
        return;
    if (effect->animation)
        PlayAnimation(effect->animation, false);
    if (effect->visual == Visual::NONE)
        return;
    const D3DXVECTOR3 source = m_position + D3DXVECTOR3(0.0f, EFFECT_HEIGHT, 0.0f);
    D3DXVECTOR3 aim;
    // An ability used with nothing to aim at has no visuals to send anywhere.
    if (!AimPoint(aim))
        return;
    switch (effect->visual) {
    case Visual::MISSILES:
        SpawnVolley(source, aim, MISSILES);
        break;
    case Visual::LIGHTNING:
        SpawnLightning(source, aim);
        break;
    case Visual::SHARDS:
        RaiseShards(aim);
        break;
    case Visual::SHRAPNEL:
        SpawnVolley(source, aim, SHRAPNEL);
        break;
    case Visual::SHOT:
        SpawnShot(source, aim,
                  unitClass == UnitClass::SCOUT ? D3DXVECTOR3(0.55f, 0.4f, 0.2f) : D3DXVECTOR3(0.9f, 0.85f, 0.6f));
        break;
    case Visual::NONE:
        break;
    }
}

void ClassUnit::SpawnShot(const D3DXVECTOR3& source, const D3DXVECTOR3& aim, const D3DXVECTOR3& colour)
{
    ParticleManager::Get()->SpawnBolt(BEAM_TEXTURE, &source, &aim, &colour, 0.2f, 2.0f, 0.01f, 0.0f, 0.0f, true);
}

void ClassUnit::SpawnLightning(const D3DXVECTOR3& source, const D3DXVECTOR3& aim)
{
    const D3DXVECTOR3 end = aim - m_forward * LIGHTNING_SHORTFALL;
    const D3DXVECTOR3 colour(0.6f, 0.7f, 1.0f);
    ParticleManager::Get()->SpawnBolt(BEAM_TEXTURE, &source, &end, &colour, 0.3f, 1.0f, 0.05f, 25.0f, 25.0f, true);
}

void ClassUnit::RaiseShards(const D3DXVECTOR3& aim)
{
    BoardView* view = BoardView::Get();
    if (!view)
        return;
    const BoardGround* ground = BoardGround::Get();
    const float height = (ground ? ground->HeightAt(aim.x, aim.z) : 0.0f) - SHARDS_DEPTH;
    view->AddMeshGlow(SHARDS_MESH, SHARDS_DELAY, SHARDS_LIFETIME, aim.x, height, aim.z);
}

void ClassUnit::SetupVoices()
{
    const ClassSamples& samples = Samples()[static_cast<size_t>(Info(unitClass).unitClass)];
    for (const char* file : samples.animations)
        AddAnimationSuffix(file);
    Presentation().sounds.fill("blank");
    Presentation().voices.fill("blank");
    for (const Sample& sample : samples.voices)
        SetVoice(sample.index, sample.name);
    for (const Sample& sample : samples.sounds)
        SetSound(sample.index, sample.name);
}

void ClassUnit::SetSound(int index, const std::string& sampleName)
{
    if (index >= 0 && index < UnitPresentation::SOUND_SLOTS)
        Presentation().sounds[static_cast<size_t>(index)] = sampleName;
}

void ClassUnit::SetVoice(int index, const std::string& sampleName)
{
    if (index >= 0 && index < UnitPresentation::VOICE_SLOTS)
        Presentation().voices[static_cast<size_t>(index)] = sampleName;
}
