#include "app/BattleMarkers.h"

#include "battle/BoardUnit.h"
#include "battle/Hex.h"
#include "battle/Object.h"
#include "core/DataManager.h"
#include "core/ScreenVertex.h"
#include "core/SpellDefinition.h"
#include "scene/Decal.h"
#include "scene/DecalManager.h"
#include "scene/ParticleEmitter.h"
#include "scene/ParticleManager.h"
#include "ui/FlatQuadPass.h"
#include "ui/GuiElement.h"

namespace {
// Where the selection decal and its ring wait while no unit has the turn: far below the ground.
const D3DXVECTOR3 PARKED(0.0f, -5000.0f, 0.0f);
// The turn order's selection decal turns this much every frame.
constexpr float SELECTION_SPIN = 0.10471976f;
// The turn flow's windows and banner.
constexpr float WINDOW_FADE_DELAY = 2.0f;

void LoadEmitter(ParticleEmitter& emitter, const char* file, bool active, float offsetY)
{
    emitter.LoadFile(file);
    emitter.emitting = active;
    emitter.Settings().origin = D3DXVECTOR3(0.0f, offsetY, 0.0f);
}

void StartWidgetEffect(GuiObject& widget, uint32_t effect, uint32_t pending, float delay)
{
    widget.effect = effect;
    widget.pendingEffect = pending;
    widget.effectDelay = delay;
    widget.effectTimer = 0.0f;
}
} // namespace

BattleMarkers::BattleMarkers()
    : m_ringEmitterA(std::make_unique<ParticleEmitter>()), m_ringEmitterB(std::make_unique<ParticleEmitter>()),
      m_burstEmitter(std::make_unique<ParticleEmitter>()), m_selectionDecal(std::make_unique<Decal>()),
      m_targetDecal(std::make_unique<Decal>()), m_areaDecal(std::make_unique<Decal>()),
      m_flashOverlay(std::make_unique<GuiElement>()), m_playerSymbol(std::make_unique<GuiElement>()),
      m_turnWindow(std::make_unique<GuiElement>())
{ }

BattleMarkers::~BattleMarkers()
{
    for (Decal* decal : {m_selectionDecal.get(), m_targetDecal.get(), m_areaDecal.get()})
        DecalManager::Forget(decal);
    for (ParticleEmitter* emitter : {m_ringEmitterA.get(), m_ringEmitterB.get(), m_burstEmitter.get()})
        ParticleManager::Withdraw(emitter);
}

void BattleMarkers::Create()
{
    // Both start invisible; a new turn shows them. They are pictures, not controls: a widget that takes the
    // pointer keeps presses from the board beneath, and these lie over the board, mostly faded away.
    const D3DXCOLOR clear(0.0f, 0.0f, 0.0f, 0.0f);
    m_turnWindow->Create("PlayerSwitchWindow.tga", 346.0f, 148.0f, 332.0f, 132.0f);
    m_turnWindow->colour = m_turnWindow->baseColour = clear;
    m_turnWindow->enabled = false;
    m_playerSymbol->Create("P1_Symbol.tga", 890.0f, 512.0f, 105.0f, 256.0f);
    m_playerSymbol->colour = m_playerSymbol->baseColour = clear;
    m_playerSymbol->enabled = false;

    m_selectionDecal->Create(5, 0.0f, 0.0f, false);
    m_selectionDecal->SetTexture("SelectedDecal.tga");
    m_selectionDecal->fadeState = 2;
    m_selectionDecal->fadeDuration = 2.0f;
    m_selectionDecal->SetColour(0.0f, 0.85f, 1.0f);
    m_targetDecal->Create(5, 0.0f, 0.0f, false);
    m_targetDecal->SetTexture("SelectedDecal.tga");
    m_targetDecal->followRate = 10.0f;
    m_areaDecal->Create(5, 1500.0f, 1500.0f, false);
    m_areaDecal->SetTexture("AreaOfEffectDecal.tga");
    m_areaDecal->SetColour(1.0f, 1.0f, 1.0f);
    m_areaDecal->fadeState = 1;
    m_areaDecal->fadeDuration = 1.0f;
    m_areaDecal->followRate = 7.5f;

    // A white sheet over the whole screen, shown for a moment at every camera cut.
    m_flashOverlay->SetRect(0.0f, 0.0f, 1024.0f, 768.0f);
    m_flashOverlay->colour = m_flashOverlay->baseColour = D3DXCOLOR(1.0f, 1.0f, 1.0f, 1.0f);
    m_flashOverlay->colour.a = 0.0f;
    m_flashOverlay->enabled = false;
    m_flashOverlay->speed = FLASH_SPEED;

    LoadEmitter(*m_ringEmitterA, "IceCrystalRing.txt", true, 20.0f);
    LoadEmitter(*m_ringEmitterB, "FireCrystalRing.txt", false, 20.0f);
    m_ringEmitterB->alpha = 200;
    LoadEmitter(*m_burstEmitter, "FireCrystalBurst.txt", false, 10.0f);
}

void BattleMarkers::Park()
{
    m_ringEmitterA->position = PARKED;
    m_selectionDecal->UpdatePosition(PARKED.x, PARKED.y, PARKED.z, false);
}

void BattleMarkers::Follow(BoardUnit& active, const Hex* hovered)
{
    if (const Object* body = active.AsObject()) {
        const D3DXVECTOR3& at = body->GetPosition();
        m_selectionDecal->UpdatePosition(at.x, at.y, at.z, true);
    }
    m_selectionDecal->AddRotation(SELECTION_SPIN);
    m_ringEmitterA->position = m_selectionDecal->Position();

    if (BoardUnit* target = active.GetTarget()) {
        if (const Object* body = target->AsObject()) {
            const D3DXVECTOR3& at = body->GetPosition();
            m_targetDecal->UpdatePosition(at.x, at.y, at.z, true);
        }
        m_ringEmitterB->position = m_targetDecal->Position();
        m_burstEmitter->position = m_targetDecal->Position();
    }

    if (hovered)
        m_areaDecal->UpdatePosition(hovered->fan[0].x, hovered->fan[0].y, hovered->fan[0].z, true);
    else
        m_areaDecal->Refresh(true);

    // The area shows while an ability that covers more than its target is being aimed or cast.
    const UnitState unitState = active.GetState();
    if (unitState != SELECTING_ABILITY_TARGET && unitState != CASTING) {
        m_areaDecal->fadeState = 1;
    } else if (const SpellDefinition* ability = active.GetSelectedAbility()) {
        m_areaDecal->fadeState = ability->areaRadius >= 2 && ability->range >= 1 ? 0 : 1;
    }
}

void BattleMarkers::ShowCountdown()
{
    m_turnWindow->colour = m_turnWindow->baseColour = D3DXCOLOR(1.0f, 1.0f, 1.0f, 1.0f);
    m_turnWindow->pendingEffect = EFFECT_FADE_ALPHA_TO_BASE;
    m_turnWindow->effectTimer = 0.0f;
    m_turnWindow->effectDelay = 0.0f;
}

void BattleMarkers::ShowTurnOf(bool secondPlayer)
{
    StartWidgetEffect(*m_turnWindow, EFFECT_FADE_ALPHA_TO_BASE, EFFECT_FADE_OUT, WINDOW_FADE_DELAY);
    m_playerSymbol->colour = m_playerSymbol->baseColour = D3DXCOLOR(1.0f, 1.0f, 1.0f, 1.0f);
    StartWidgetEffect(*m_playerSymbol, EFFECT_FADE_ALPHA_TO_BASE, EFFECT_FADE_OUT, WINDOW_FADE_DELAY);
    if (secondPlayer) {
        m_ringEmitterA->SetColourKey(0, 128.0f, 64.0f, 0.0f);
        m_ringEmitterA->SetColourKey(1, 255.0f, 255.0f, 128.0f);
        m_selectionDecal->SetColour(0.8f, 0.1f, 0.1f);
    } else {
        m_ringEmitterA->SetColourKey(0, 0.0f, 64.0f, 128.0f);
        m_ringEmitterA->SetColourKey(1, 128.0f, 255.0f, 255.0f);
        m_selectionDecal->SetColour(0.0f, 0.85f, 1.0f);
    }
    m_selectionDecal->fadeState = 2;
    m_playerSymbol->SetTextureByName(secondPlayer ? "P2_Symbol.tga" : "P1_Symbol.tga");
    m_cursorPlayer = secondPlayer ? 1 : 0;
}

void BattleMarkers::SetTargetRingsActive(bool active)
{
    m_ringEmitterB->emitting = active;
    m_burstEmitter->emitting = active;
}

void BattleMarkers::SetAreaCells(int cells)
{
    m_areaDecal->Create(cells, 1500.0f, 1500.0f, false);
}

void BattleMarkers::Flash(float delay)
{
    StartWidgetEffect(*m_flashOverlay, EFFECT_SET_TARGET, EFFECT_FADE_OUT, delay);
}

void BattleMarkers::SetFlashSpeed(float speed)
{
    m_flashOverlay->speed = speed;
}

void BattleMarkers::UpdateWindows()
{
    m_playerSymbol->Update();
    m_turnWindow->Update();
}

void BattleMarkers::UpdateEmitters()
{
    for (ParticleEmitter* emitter : {m_ringEmitterA.get(), m_ringEmitterB.get(), m_burstEmitter.get()})
        emitter->Update();
}

void BattleMarkers::UpdateFlash()
{
    m_flashOverlay->Update();
}

void BattleMarkers::SubmitEmitters()
{
    for (ParticleEmitter* emitter : {m_ringEmitterA.get(), m_ringEmitterB.get(), m_burstEmitter.get()})
        emitter->Submit();
}

void BattleMarkers::SubmitDecals()
{
    DecalManager::Get()->Submit(m_selectionDecal.get());
    DecalManager::Get()->Submit(m_areaDecal.get());
}

void BattleMarkers::RenderWindows()
{
    // Both stay on the screen, faded away, between turns: drawn then, they would be some seventy thousand
    // blended pixels changing nothing.
    IDirect3DDevice9* device = DataManager::Get()->GetDevice();
    if (!device)
        return;
    FlatQuadPass pass(device);
    device->SetFVF(SCREEN_FVF);
    pass.Draw(*m_turnWindow);
    pass.Draw(*m_playerSymbol);
}

void BattleMarkers::RenderFlash()
{
    // Between flashes the white quad is wholly transparent: drawn, it would be a full-screen layer changing nothing.
    if ((PackColour(m_flashOverlay->colour) >> 24) != 0)
        m_flashOverlay->Render();
}

void BattleMarkers::OnLostDevice()
{
    for (GuiElement* element : {m_flashOverlay.get(), m_playerSymbol.get(), m_turnWindow.get()})
        element->OnLostDevice();
}

void BattleMarkers::OnResetDevice()
{
    for (GuiElement* element : {m_flashOverlay.get(), m_playerSymbol.get(), m_turnWindow.get()})
        element->OnResetDevice();
}
