#pragma once
// What a player sees and hears of one unit: its particle emitters, the two floating labels, the four bar
// quads over its head, its shadow and its sound and voice lists. The unit's rules tell it what happened (a
// blow landed or missed, an effect took hold, the unit died) and it shows that; it decides nothing itself.

#include "battle/CombatText.h"
#include "d3dx9/D3DX9Math.h"

#include <array>
#include <memory>
#include <string>
#include <vector>

class Decal;
class ParticleEmitter;
class WorldQuad;

class UnitPresentation
{
public:
    static constexpr int SOUND_SLOTS = 15;
    static constexpr int VOICE_SLOTS = 22;
    static constexpr int EMITTERS = 6;
    static constexpr int EMITTER_INVINCIBLE = 0;
    static constexpr int EMITTER_BLOOD = 1;
    static constexpr int EMITTER_CRITICAL = 2;
    static constexpr int EMITTER_FOCUS = 3;
    static constexpr int EMITTER_DEATH_FIRST = 4;
    static constexpr int EMITTER_DEATH_SECOND = 5;
    // Sound slots.
    static constexpr int SOUND_FOOTSTEP = 0;
    static constexpr int SOUND_ABILITY = 2;
    static constexpr int SOUND_ATTACK = 6;
    static constexpr int SOUND_CRITICAL = 8;
    static constexpr int SOUND_DEATH = 10;
    static constexpr int SOUND_DEFEND = 11;
    static constexpr int SOUND_FOCUS = 12;
    static constexpr int SOUND_PAIN = 13;
    // Voice slots.
    static constexpr int VOICE_ATTACK = 0;
    static constexpr int VOICE_DEFEND = 3;
    static constexpr int VOICE_FOCUS = 5;
    static constexpr int VOICE_MOVE = 7;
    static constexpr int VOICE_GENERAL = 10;
    static constexpr int VOICE_TURN_START = 15;
    static constexpr int VOICE_DEATH = 18;
    static constexpr float BAR_LIFT = 220.0f;
    // The four bar quads share one rectangle, so their pictures are laid out to fit together: the turn-order
    // badge on the left, the two bars to its right. A fill's bar runs across this span of its picture's width.
    static constexpr float BAR_FILL_LEFT_U = 0.34f;
    static constexpr float BAR_FILL_RIGHT_U = 0.97f;
    static constexpr float LABEL_X = 600.0f;
    static constexpr float LABEL_SPACING = 12.0f;
    static constexpr float LABEL_OFFSET_X = 96.0f;
    // Game seconds of a walking stride, and where the second foot's first stride starts.
    static constexpr float FOOTSTEP_PERIOD = 0.933333f;
    static constexpr float SECOND_FOOTSTEP_START = -0.43333f;

    // A colour of the combat label.
    struct Colour {
        float red, green, blue, alpha;
    };

    UnitPresentation();
    ~UnitPresentation();
    UnitPresentation(const UnitPresentation&) = delete;
    UnitPresentation& operator=(const UnitPresentation&) = delete;

    // The labels, the emitter slots, the shadow under the unit and the four bar quads.
    void Create(const D3DXVECTOR3& position);
    void CreateEmitters();
    void CreateTexts();
    void Release();
    void OnLostDevice();
    void OnResetDevice();

    // Per frame: the labels follow the unit on screen, the bars and emitters in the world.
    void UpdateOverlay(float screenX, const D3DXVECTOR3& position, float healthFraction, float manaFraction);
    static void SetBarFill(WorldQuad* quad, float fraction);
    // The cast, effect and aim emitters that have finished are dropped; with no aim point the aim emitters
    // stay where they are.
    void UpdateEmitters(const D3DXVECTOR3& position, const D3DXVECTOR3* aim);
    void MoveShadow(const D3DXVECTOR3& position);
    // The emitters always; the shadow and bars only for the living.
    void Draw(bool alive);

    void QueueTexts();
    void SetTextVisible(bool visible);
    // The dead keep their bars hidden.
    void SetBarsAlpha(int fadeState);
    // Label 1 is the combat text the rules write.
    CombatText* CombatLabel() const { return labels[1].get(); }
    void ShowFloatingText(bool clear);
    void SetCombatText(const std::string& text);
    void StartEmitter(const std::string& fileName, int index);
    // Appends a running emitter of the file to a list; with a point, the emitter aims at it.
    static void AddEmitter(std::vector<std::unique_ptr<ParticleEmitter>>& list, const std::string& file,
                           const D3DXVECTOR3* point);
    // Takes a drawable off the shared particle lists and frees its device buffers; the owner deletes it.
    static void Withdraw(ParticleEmitter* emitter);
    static void Withdraw(WorldQuad* quad);
    void SwitchOffEmitter(int index);
    void SwitchOffEffectEmitters();
    void QueueVoice(int slot) const;
    void QueueSound(int slot) const;
    // A voice of the general shouts, picked at random.
    void QueueGeneralShout() const;

    // What the rules report.
    // A roll below the number of voices picks one of them; one more is a general's shout; above that the unit
    // stays quiet.
    void Shout(int firstVoice, int voices, int roll) const;
    void OnTurnBegun(int voice) const;
    // An ability reaches the unit: its label comes back in the spells' size.
    void OnSpellReceived();
    void OnCritical();
    // The sound of the swing as the wind-up ends; a critical has its own.
    void OnSwing(bool critical, int variant) const;
    // A magic shield took the blow or the harm.
    void OnShielded();
    void OnShieldRaised();
    void OnShieldLowered();
    // A lasting effect ran out.
    void OnEffectExpired();
    void OnDefending() const;
    void OnFocusLeft();
    // The walk begins: both feet sound, the second half a stride behind.
    void OnSetOff();
    // Each frame of the walk: a foot sounds at the end of its stride.
    void OnStride(float seconds);
    // The zone of an enemy phalanx wounded the unit where its walk ended.
    void OnWounded();
    void OnFizzled();
    // The sound of the ability in the unit's first four slots.
    void OnAbilityUsed(int slot) const;
    // The cast's emitters set off towards the point.
    void OnCastStarted(const std::vector<std::string>& files, const D3DXVECTOR3& aim);
    // Emitters of an ability that took hold on the unit.
    void OnEffectEmitters(const std::vector<std::string>& files);
    // The emitters that mark an area ability's target.
    void OnAreaAimed(const std::vector<std::string>& files);
    // A projectile cast is over when one of its emitters arrives, or when none is left to arrive.
    bool CastArrived() const;
    // A blow struck home: the damage, the blood, and (unless it killed) a few splats around the unit.
    void OnHit(const D3DXVECTOR3& position, float dealt, bool splatter);
    void OnMissed();
    void OnHurt() const;
    void OnMissHeard() const;
    void OnDeathHeard() const;
    // The attacker's own label as its blow lands.
    void OnAttackLanded(bool critical, bool ace);
    void OnEffectApplied(const Colour& colour, const std::string& text);
    // The death emitters; the bars fade out and stay out.
    void OnDied();
    void OnFocus();

    // The animation files the model loads after its mesh, by their suffixes.
    std::vector<std::string> animationSuffixes;
    std::array<std::string, SOUND_SLOTS> sounds;
    std::array<std::string, VOICE_SLOTS> voices;
    std::array<std::unique_ptr<ParticleEmitter>, EMITTERS> emitters;
    std::vector<std::unique_ptr<ParticleEmitter>> castEmitters;
    std::vector<std::unique_ptr<ParticleEmitter>> effectEmitters;
    std::vector<std::unique_ptr<ParticleEmitter>> aimEmitters;
    std::array<std::unique_ptr<CombatText>, 2> labels;
    std::unique_ptr<WorldQuad> frameQuad;
    std::unique_ptr<WorldQuad> badgeQuad;
    std::unique_ptr<WorldQuad> healthQuad;
    std::unique_ptr<WorldQuad> manaQuad;
    std::unique_ptr<Decal> shadow;

private:
    void FadeBars(int fadeState);

    // Once the unit has died its bars fade out for good.
    bool m_dead = false;
    float m_footsteps[2] = {0.0f, 0.0f};
};
