#include "battle/UnitPresentation.h"

#include "core/Random.h"
#include "core/SoundQueue.h"
#include "scene/Decal.h"
#include "scene/DecalManager.h"
#include "scene/ParticleEmitter.h"
#include "scene/ParticleManager.h"
#include "scene/WorldQuad.h"

#include <algorithm>
#include <cmath>

namespace {

// Every label any unit creates sits a little lower than the one before it.
float g_nextLabelY = 0.0f;

std::string DamageText(float damage)
{
    return std::to_string(std::abs(static_cast<int>(damage))) + " Damage Taken";
}

void Play(const char* sample)
{
    SoundQueue::Get()->Queue(sample, 0, false, 0.0f);
}

} // namespace

void UnitPresentation::Withdraw(ParticleEmitter* emitter)
{
    if (!emitter)
        return;
    ParticleManager::Withdraw(emitter);
    emitter->Release();
}

void UnitPresentation::Withdraw(WorldQuad* quad)
{
    if (!quad)
        return;
    ParticleManager::Withdraw(quad);
    quad->Release();
}

UnitPresentation::UnitPresentation() = default;

UnitPresentation::~UnitPresentation()
{
    Release();
}

void UnitPresentation::Create(const D3DXVECTOR3& position)
{
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
}

void UnitPresentation::CreateEmitters()
{
    for (auto& emitter : emitters) {
        if (!emitter)
            emitter = std::make_unique<ParticleEmitter>();
    }
}

void UnitPresentation::CreateTexts()
{
    for (auto& label : labels) {
        label = CombatText::Create(LABEL_X, g_nextLabelY);
        g_nextLabelY += LABEL_SPACING;
    }
    if (labels[0])
        labels[0]->SetFontHeight(36);
}

void UnitPresentation::Release()
{
    for (auto& emitter : emitters) {
        Withdraw(emitter.get());
        emitter.reset();
    }
    for (auto* list : {&castEmitters, &effectEmitters, &aimEmitters}) {
        for (auto& emitter : *list)
            Withdraw(emitter.get());
        list->clear();
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
    for (auto& label : labels)
        label.reset();
}

void UnitPresentation::OnLostDevice()
{
    for (auto& label : labels) {
        if (label)
            label->OnLostDevice();
    }
}

void UnitPresentation::OnResetDevice()
{
    for (auto& label : labels) {
        if (label)
            label->OnResetDevice();
    }
}

void UnitPresentation::UpdateOverlay(float screenX, const D3DXVECTOR3& position, float healthFraction,
                                     float manaFraction)
{
    for (auto& label : labels) {
        if (label)
            label->SetX(screenX - LABEL_OFFSET_X);
    }
    for (WorldQuad* quad : {frameQuad.get(), badgeQuad.get(), healthQuad.get(), manaQuad.get()}) {
        if (quad)
            quad->Submit(position.x, position.y + BAR_LIFT, position.z);
    }
    SetBarFill(healthQuad.get(), healthFraction);
    SetBarFill(manaQuad.get(), manaFraction);
}

void UnitPresentation::SetBarFill(WorldQuad* quad, float fraction)
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

void UnitPresentation::UpdateEmitters(const D3DXVECTOR3& position, const D3DXVECTOR3* aim)
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
    prune(aimEmitters, aim);
}

void UnitPresentation::MoveShadow(const D3DXVECTOR3& position)
{
    if (shadow)
        shadow->UpdatePosition(position.x, position.y, position.z, true);
}

void UnitPresentation::Draw(bool alive)
{
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
}

void UnitPresentation::QueueTexts()
{
    for (auto& label : labels) {
        if (label)
            label->Queue();
    }
}

void UnitPresentation::SetTextVisible(bool visible)
{
    for (auto& label : labels) {
        if (label)
            label->SetVisible(visible);
    }
}

void UnitPresentation::SetBarsAlpha(int fadeState)
{
    if (m_dead)
        return;
    FadeBars(fadeState);
}

void UnitPresentation::FadeBars(int fadeState)
{
    for (WorldQuad* quad : {frameQuad.get(), badgeQuad.get(), healthQuad.get(), manaQuad.get()}) {
        if (quad)
            quad->fadeState = fadeState;
    }
}

void UnitPresentation::ShowFloatingText(bool clear)
{
    CombatText* label = CombatLabel();
    if (!label)
        return;
    if (clear)
        label->SetText("");
    label->Restart();
}

void UnitPresentation::SetCombatText(const std::string& text)
{
    if (CombatText* label = CombatLabel())
        label->SetText(text);
}

void UnitPresentation::StartEmitter(const std::string& file, int index)
{
    if (index < 0 || index >= EMITTERS)
        return;
    if (!emitters[index])
        emitters[index] = std::make_unique<ParticleEmitter>();
    emitters[index]->LoadFile(file);
    emitters[index]->emitting = true;
}

void UnitPresentation::AddEmitter(std::vector<std::unique_ptr<ParticleEmitter>>& list, const std::string& file,
                                  const D3DXVECTOR3* point)
{
    auto emitter = std::make_unique<ParticleEmitter>();
    emitter->LoadFile(file);
    emitter->emitting = true;
    if (point)
        emitter->target = *point;
    list.push_back(std::move(emitter));
}

void UnitPresentation::SwitchOffEmitter(int index)
{
    if (index >= 0 && index < EMITTERS && emitters[index])
        emitters[index]->emitting = false;
}

void UnitPresentation::SwitchOffEffectEmitters()
{
    for (auto& emitter : effectEmitters)
        emitter->emitting = false;
}

void UnitPresentation::QueueVoice(int slot) const
{
    if (slot < 0 || slot >= VOICE_SLOTS || voices[slot].empty())
        return;
    SoundQueue::Get()->Queue(voices[slot], 0, false, 0.0f);
}

void UnitPresentation::QueueSound(int slot) const
{
    if (slot < 0 || slot >= SOUND_SLOTS || sounds[slot].empty())
        return;
    SoundQueue::Get()->Queue(sounds[slot], 0, false, 0.0f);
}

void UnitPresentation::QueueGeneralShout() const
{
    QueueVoice(VOICE_GENERAL + RandomInt(5));
}

void UnitPresentation::OnHit(const D3DXVECTOR3& position, float dealt, bool splatter)
{
    SetCombatText(DamageText(dealt));
    StartEmitter("bloodEmitter.txt", EMITTER_BLOOD);
    if (!splatter)
        return;
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
}

void UnitPresentation::OnMissed()
{
    if (CombatText* label = CombatLabel())
        label->SetFontHeight(28);
    SetCombatText("Attack Missed!");
}

void UnitPresentation::OnHurt() const
{
    switch (RandomInt(4)) {
    case 0:
        QueueSound(SOUND_PAIN);
        break;
    case 1:
        QueueSound(SOUND_PAIN + 1);
        break;
    case 2:
        Play("ALL_TD_HEAVY.WAV");
        break;
    default:
        Play("ALL_TD_LIGHT.wav");
        break;
    }
}

void UnitPresentation::OnMissHeard() const
{
    Play("ALL_MISS.wav");
}

void UnitPresentation::OnDeathHeard() const
{
    QueueVoice(VOICE_DEATH + RandomInt(2));
    QueueSound(SOUND_DEATH);
    Play("ALL_DEATHWIND.wav");
}

void UnitPresentation::OnAttackLanded(bool critical, bool ace)
{
    CombatText* label = CombatLabel();
    if (!label)
        return;
    if (ace) {
        label->SetFontHeight(32);
        label->SetText("Ace Critical!!!");
        label->SetColour(1.0f, 0.0f, 0.0f, 1.0f);
    } else if (critical) {
        label->SetFontHeight(32);
        label->SetText("Critical Attack!");
        // A dark red is lost on grass; a bright orange-red still reads apart from the ace's pure red.
        label->SetColour(1.0f, 0.45f, 0.15f, 1.0f);
    } else {
        label->SetText("");
    }
}

void UnitPresentation::OnEffectApplied(const Colour& colour, const std::string& text)
{
    if (CombatText* label = CombatLabel()) {
        label->SetColour(colour.red, colour.green, colour.blue, colour.alpha);
        label->SetText(text);
    }
}

void UnitPresentation::OnDied()
{
    StartEmitter("death_emitter_1.txt", EMITTER_DEATH_FIRST);
    StartEmitter("death_emitter_2.txt", EMITTER_DEATH_SECOND);
    emitters[EMITTER_DEATH_FIRST]->alpha = 65;
    emitters[EMITTER_DEATH_SECOND]->alpha = 65;
    if (!m_dead)
        FadeBars(1);
    m_dead = true;
}

void UnitPresentation::OnFocus()
{
    QueueSound(SOUND_FOCUS);
    StartEmitter("focusEmitter.txt", EMITTER_FOCUS);
    emitters[EMITTER_FOCUS]->alpha = 75;
}

void UnitPresentation::Shout(int firstVoice, int voices, int roll) const
{
    if (roll < voices)
        QueueVoice(firstVoice + roll);
    else if (roll == voices)
        QueueGeneralShout();
}

void UnitPresentation::OnTurnBegun(int voice) const
{
    QueueVoice(VOICE_TURN_START + voice);
}

void UnitPresentation::OnSpellReceived()
{
    if (CombatText* label = CombatLabel())
        label->SetFontHeight(24);
    ShowFloatingText(true);
}

void UnitPresentation::OnCritical()
{
    StartEmitter("CriticalEmitter.txt", EMITTER_CRITICAL);
}

void UnitPresentation::OnSwing(bool critical, int variant) const
{
    QueueSound((critical ? SOUND_CRITICAL : SOUND_ATTACK) + variant);
}

void UnitPresentation::OnShielded()
{
    SetCombatText("Magic Shield Blocks All!");
}

void UnitPresentation::OnShieldRaised()
{
    StartEmitter("invincibleEmitter.txt", EMITTER_INVINCIBLE);
}

void UnitPresentation::OnShieldLowered()
{
    SwitchOffEmitter(EMITTER_INVINCIBLE);
}

void UnitPresentation::OnEffectExpired()
{
    SwitchOffEffectEmitters();
}

void UnitPresentation::OnDefending() const
{
    QueueSound(SOUND_DEFEND);
}

void UnitPresentation::OnFocusLeft()
{
    SwitchOffEmitter(EMITTER_FOCUS);
}

void UnitPresentation::OnSetOff()
{
    m_footsteps[0] = 0.0f;
    m_footsteps[1] = SECOND_FOOTSTEP_START;
    QueueSound(SOUND_FOOTSTEP);
    QueueSound(SOUND_FOOTSTEP + 1);
}

void UnitPresentation::OnStride(float seconds)
{
    for (int i = 0; i < 2; ++i) {
        m_footsteps[i] += seconds;
        if (m_footsteps[i] >= FOOTSTEP_PERIOD) {
            QueueSound(SOUND_FOOTSTEP + i);
            m_footsteps[i] = 0.0f;
        }
    }
}

void UnitPresentation::OnWounded()
{
    StartEmitter("bloodEmitter.txt", EMITTER_BLOOD);
}

void UnitPresentation::OnFizzled()
{
    StartEmitter("fizzled_emitter.txt", EMITTER_BLOOD);
    SetCombatText("Spell Fizzled!");
}

void UnitPresentation::OnAbilityUsed(int slot) const
{
    if (slot >= 0 && slot <= 3)
        QueueSound(SOUND_ABILITY + slot);
}

void UnitPresentation::OnCastStarted(const std::vector<std::string>& files, const D3DXVECTOR3& aim)
{
    for (const std::string& file : files)
        AddEmitter(castEmitters, file, &aim);
}

void UnitPresentation::OnEffectEmitters(const std::vector<std::string>& files)
{
    for (const std::string& file : files)
        AddEmitter(effectEmitters, file, nullptr);
}

void UnitPresentation::OnAreaAimed(const std::vector<std::string>& files)
{
    for (const std::string& file : files)
        AddEmitter(aimEmitters, file, nullptr);
}

bool UnitPresentation::CastArrived() const
{
    return castEmitters.empty() || std::any_of(castEmitters.begin(), castEmitters.end(), [](const auto& emitter) {
               return emitter->arrived || emitter->finished;
           });
}
