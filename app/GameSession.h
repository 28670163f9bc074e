#pragma once

#include "app/GameState.h"
#include "d3dx9/D3DX9Math.h"

struct IDirect3DTexture9;
struct IDirect3DSurface9;
struct ID3DXRenderToSurface;
struct ID3DXEffect;

// The running game: its state machine and the render target into which the 3-D scene is drawn.
// The level, the board, the players and the screens join it as they are built.
class GameSession
{
public:
    static constexpr unsigned kSceneWidth = 1024;
    static constexpr unsigned kSceneHeight = 768;
    static constexpr unsigned kSceneClearColour = 0xFF808080;

    GameSession();
    virtual ~GameSession();

    GameSession(const GameSession&) = delete;
    GameSession& operator=(const GameSession&) = delete;

    void Init();
    void LoadAssets();
    void SetGameState(GameState newState);
    GameState GetGameState() const { return state; }
    // Set once a battle has begun; the front end resumes it instead of starting a new one.
    bool IsBattleStarted() const { return battleStarted; }
    void Update();
    IDirect3DTexture9* RenderSceneToTexture();
    void RenderOverlay();
    void RenderMouseOver();
    void RenderHelp();
    void SetUnitShaderGlobals();
    void OnDeviceLost();
    void OnDeviceReset();
    void Shutdown();

    IDirect3DTexture9* GetSceneTexture() const { return sceneTexture; }
    ID3DXEffect* GetBasicEffect() const { return basicEffect; }
    const D3DXMATRIX& GetTextTransform() const { return textTransform; }

private:
    void ReleaseSceneTarget();

    ID3DXEffect* basicEffect = nullptr; // the cache owns it
    bool battleStarted = false;
    GameState state = GAME_STATE_MAIN_MENU;
    D3DXMATRIX textTransform;
    IDirect3DTexture9* sceneTexture = nullptr;
    ID3DXRenderToSurface* sceneRenderer = nullptr;
    IDirect3DSurface9* sceneSurface = nullptr;
};
