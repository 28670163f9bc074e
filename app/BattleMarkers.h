#pragma once

#include <memory>

class BoardUnit;
class Decal;
class GuiElement;
class Hex;
class ParticleEmitter;

// What marks the turn on the board and over it: the ring, decal and burst under the unit whose turn it is and
// under its target, the area an ability will cover, the window and player symbol of a new turn, and the white
// sheet of a camera cut. The session decides when; this decides how each looks.
class BattleMarkers
{
public:
    BattleMarkers();
    ~BattleMarkers();

    BattleMarkers(const BattleMarkers&) = delete;
    BattleMarkers& operator=(const BattleMarkers&) = delete;

    // Loads the pictures, decals and emitters; the windows and the sheet start hidden.
    void Create();
    // The turn's ring and decal wait far below the ground while no unit has the turn.
    void Park();
    // Sets the markers on the unit whose turn it is, on its target and on the hovered hex.
    void Follow(BoardUnit& active, const Hex* hovered);
    void ShowCountdown();
    // The turn window fades, the symbol, ring and decal take the colours of the side whose turn it is.
    void ShowTurnOf(bool secondPlayer);
    // The target's ring and burst; the ring under the unit whose turn it is stays.
    void SetTargetRingsActive(bool active);
    void SetAreaCells(int cells);
    void Flash(float delay);
    // Shots of a slow-motion sequence cut faster than the opening fly-over.
    void SetFlashSpeed(float speed);

    void UpdateWindows();
    void UpdateEmitters();
    void UpdateFlash();
    void SubmitEmitters();
    void SubmitDecals();
    void RenderWindows();
    void RenderFlash();
    void OnLostDevice();
    void OnResetDevice();

    // Which side's pointer the turn shows: 0 or 1.
    int GetCursorPlayer() const { return m_cursorPlayer; }
    ParticleEmitter* GetRingEmitterA() const { return m_ringEmitterA.get(); }
    ParticleEmitter* GetRingEmitterB() const { return m_ringEmitterB.get(); }
    ParticleEmitter* GetBurstEmitter() const { return m_burstEmitter.get(); }
    Decal* GetSelectionDecal() const { return m_selectionDecal.get(); }
    Decal* GetAreaDecal() const { return m_areaDecal.get(); }
    GuiElement* GetFlashOverlay() const { return m_flashOverlay.get(); }
    GuiElement* GetPlayerSymbol() const { return m_playerSymbol.get(); }

    // How fast the white sheet of a camera cut fades (a slow-motion shot's own cuts are faster).
    static constexpr float FLASH_SPEED = 5.0f;

private:
    std::unique_ptr<ParticleEmitter> m_ringEmitterA;
    std::unique_ptr<ParticleEmitter> m_ringEmitterB;
    std::unique_ptr<ParticleEmitter> m_burstEmitter;
    std::unique_ptr<Decal> m_selectionDecal;
    std::unique_ptr<Decal> m_targetDecal;
    std::unique_ptr<Decal> m_areaDecal;
    std::unique_ptr<GuiElement> m_flashOverlay;
    std::unique_ptr<GuiElement> m_playerSymbol;
    std::unique_ptr<GuiElement> m_turnWindow;
    int m_cursorPlayer = 0;
};
