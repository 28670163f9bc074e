#include "app/GameSession.h"

#include "app/GameApplication.h"
#include "core/DataManager.h"
#include "core/GlobalConstants.h"
#include "core/SoundQueue.h"
#include "d3d9/D3D9.h"
#include "d3dx9/D3DX9Core.h"
#include "ui/MouseOverManager.h"
#include "win32/Log.h"

#include <cstdio>
#include <cstdlib>

namespace {
constexpr float kOutOfRangeDepth = 200.0f;

// Without its scene target the game cannot draw a frame; it stops at once, and says why.
[[noreturn]] void FailSceneTarget(const char* what)
{
    LogFormat(LogLevel::ERROR, "scene.target", "The Varnholt: could not create the scene %s; the game must end.", what);
    std::fflush(stderr);
    std::_Exit(EXIT_FAILURE);
}

void RaisePointerDisplay()
{
    while (ShowCursor(TRUE) < 1) { }
}

void HidePointer()
{
    while (ShowCursor(FALSE) > -1) { }
}
} // namespace

GameSession::GameSession()
{
    D3DXMatrixIdentity(&textTransform);
    DataManager::Get()->SetGameSession(this);
}

GameSession::~GameSession()
{
    ReleaseSceneTarget();
    if (DataManager::Get()->GetGameSession() == this)
        DataManager::Get()->SetGameSession(nullptr);
}

void GameSession::Init()
{ }

void GameSession::LoadAssets()
{
    InitSound();
    basicEffect = DataManager::Get()->GetEffect(BasicEffect, false);
}

void GameSession::SetGameState(GameState newState)
{
    state = newState;
    RaisePointerDisplay();
    switch (state) {
    case GAME_STATE_INTRO:
    case GAME_STATE_LOADING:
        HidePointer();
        break;
    case GAME_STATE_BATTLE:
        battleStarted = true;
        break;
    default:
        break;
    }
}

void GameSession::Update()
{
    SoundQueue::Get()->Update();
    MouseOverManager::Get()->Update();
}

IDirect3DTexture9* GameSession::RenderSceneToTexture()
{
    IDirect3DDevice9* device = DataManager::Get()->GetDevice();
    if (!device || !sceneRenderer || !sceneSurface)
        return sceneTexture;
    // A refused scene leaves the back buffer bound: the grey clear must not land there.
    if (FAILED(sceneRenderer->BeginScene(sceneSurface, nullptr)))
        return sceneTexture;
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, kSceneClearColour, kOutOfRangeDepth, 0);
    sceneRenderer->EndScene(0);
    return sceneTexture;
}

void GameSession::RenderOverlay()
{ }

void GameSession::RenderMouseOver()
{
    if (state == GAME_STATE_INTRO || state == GAME_STATE_LOADING)
        return;
    MouseOverManager::Get()->Render();
}

void GameSession::RenderHelp()
{ }

void GameSession::SetUnitShaderGlobals()
{
    if (!basicEffect)
        return;
    DataManager* data = DataManager::Get();
    basicEffect->SetFloat("gameTime", data->GetGameTime());
    basicEffect->SetFloat("gameSpeed", data->GetGameSpeed());
    basicEffect->SetFloat("tElapsed", data->GetFrameTime());
}

void GameSession::ReleaseSceneTarget()
{
    if (sceneTexture) {
        sceneTexture->Release();
        sceneTexture = nullptr;
    }
    if (sceneSurface) {
        sceneSurface->Release();
        sceneSurface = nullptr;
    }
    if (sceneRenderer) {
        sceneRenderer->Release();
        sceneRenderer = nullptr;
    }
}

void GameSession::OnDeviceLost()
{
    ReleaseSceneTarget();
}

void GameSession::OnDeviceReset()
{
    DataManager* data = DataManager::Get();
    IDirect3DDevice9* device = data->GetDevice();
    if (!device)
        return;
    ApplicationLink* app = data->GetApplication();
    const D3DFORMAT format = app ? app->GetBackBufferFormat() : D3DFMT_X8R8G8B8;

    ReleaseSceneTarget();
    if (FAILED(device->CreateTexture(kSceneWidth, kSceneHeight, 1, D3DUSAGE_RENDERTARGET, format, D3DPOOL_DEFAULT,
                                     &sceneTexture, nullptr)) ||
        !sceneTexture)
        FailSceneTarget("texture");
    if (FAILED(sceneTexture->GetSurfaceLevel(0, &sceneSurface)) || !sceneSurface)
        FailSceneTarget("surface");
    if (FAILED(
            D3DXCreateRenderToSurface(device, kSceneWidth, kSceneHeight, format, TRUE, D3DFMT_D16, &sceneRenderer)) ||
        !sceneRenderer)
        FailSceneTarget("renderer");

    // Text is laid out for 1024 x 768 and scaled to the back buffer; computed afresh so that it never
    // drifts over many resets.
    const float width = static_cast<float>(data->GetBackBufferWidth());
    const float height = static_cast<float>(data->GetBackBufferHeight());
    D3DXMatrixScaling(&textTransform, width > 0.0f ? width / 1024.0f : 1.0f, height > 0.0f ? height / 768.0f : 1.0f,
                      1.0f);
    if (ID3DXSprite* sprite = data->GetSprite())
        sprite->SetTransform(&textTransform);

    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL, kSceneClearColour, 1.0f, 0);
}

void GameSession::Shutdown()
{
    basicEffect = nullptr;
    ReleaseSceneTarget();
}
