#include "app/GameApplication.h"

#include "app/LabelDeviceResource.h"

#include "app/FrameClock.h"
#include "app/GameSession.h"
#include "app/LaunchOptions.h"
#include "battle/ClassUnit.h"
#include "core/DataManager.h"
#include "core/DeviceResource.h"
#include "core/GlobalConstants.h"
#include "core/InputManager.h"
#include "core/Random.h"
#include "core/ScreenVertex.h"
#include "d3dx9/D3DX9Core.h"
#include "scene/Camera.h"
#include "ui/GuiElement.h"
#include "ui/MouseOverManager.h"
#include "ui/TextLabel.h"
#include "win32/Log.h"
#include "win32/PathResolver.h"

#include <cstdio>
#include <cstring>
#include <ctime>

namespace {
constexpr UINT kQuadBytes = 4 * SCREEN_VERTEX_STRIDE;
constexpr D3DCOLOR kWhite = 0xFFFFFFFF;
constexpr D3DCOLOR kBlack = 0xFF000000;

constexpr int kCursorPlayerOne = 111;
constexpr int kCursorPlayerTwo = 112;

// DirectInput key codes of the application keys.
constexpr int kKeyReturn = 28;
constexpr int kKeyRightAlt = 184;
constexpr int kKeyF5 = 63;
constexpr int kKeyF6 = 64;
constexpr int kKeyF7 = 65;
constexpr int kKeyF10 = 68;

constexpr float kWheelStep = 120.0f;
constexpr float kLayoutWidth = 1024.0f;
constexpr float kLayoutHeight = 768.0f;

const char* const kSplashTexture = "splash.bmp";
const char* const kScreenshotPrefix = "Data\\Screenshots\\Image";

int g_screenshotCounter = 0;

void WriteQuad(ScreenVertex* out, float left, float top, float width, float height)
{
    out[0] = {left, top + height, 0.0f, 1.0f, kWhite, 0.0f, 1.0f};
    out[1] = {left, top, 0.0f, 1.0f, kWhite, 0.0f, 0.0f};
    out[2] = {left + width, top + height, 0.0f, 1.0f, kWhite, 1.0f, 1.0f};
    out[3] = {left + width, top, 0.0f, 1.0f, kWhite, 1.0f, 0.0f};
}
} // namespace

GameApplication::GameApplication()
{
    DataManager::Get()->SetApplication(this);
}

GameApplication::~GameApplication()
{
    ReleaseScreenQuad();
    if (DataManager::Get()->GetApplication() == this)
        DataManager::Get()->SetApplication(nullptr);
}

D3DFORMAT GameApplication::GetBackBufferFormat() const
{
    const DeviceCombination* combination = m_settings.InUse().combination;
    if (combination)
        return combination->backBufferFormat;
    return m_presentParameters.BackBufferFormat != D3DFMT_UNKNOWN ? m_presentParameters.BackBufferFormat
                                                                  : D3DFMT_X8R8G8B8;
}

HRESULT GameApplication::InitScene()
{
    InputManager* input = InputManager::Get();
    input->Init(m_instance, m_window, 0);

    input->BindMouseName("LBUTTON", MOUSE_LBUTTON);
    input->BindMouseName("RBUTTON", MOUSE_RBUTTON);
    input->BindMouseName("MBUTTON", MOUSE_MBUTTON);
    input->BindMouseName("WHEEL_UP", MOUSE_WHEEL_UP);
    input->BindMouseName("WHEEL_DOWN", MOUSE_WHEEL_DOWN);

    const LaunchOptions options = LaunchOptions::FromEnvironment();
    Srand(options.seed ? *options.seed : static_cast<unsigned int>(std::time(nullptr)));
    FrameClock::SetFixedStep(options.frameTime ? *options.frameTime : 0.0f);

    session = std::make_unique<GameSession>();
    session->SetApplication(this);
    helpLabel = std::make_unique<TextLabel>();
    helpLabelDevice = std::make_unique<LabelDeviceResource>(helpLabel.get());
    return S_OK;
}

// There is no window painting here: the splash image is drawn once through the device and presented,
// so the player sees it while the session loads.
void GameApplication::ShowSplash()
{
    IDirect3DDevice9* device = m_device;
    if (!device)
        return;
    IDirect3DTexture9* splash = nullptr;
    const std::string path = DataManager::Get()->FindFile(kSplashTexture);
    if (FAILED(D3DXCreateTextureFromFileA(device, path.c_str(), &splash)) || !splash)
        return;

    ScreenVertex quad[4];
    WriteQuad(quad, static_cast<float>((m_creationWidth - kSplashWidth) / 2),
              static_cast<float>((m_creationHeight - kSplashHeight) / 2), static_cast<float>(kSplashWidth),
              static_cast<float>(kSplashHeight));
    device->BeginScene();
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL, kBlack, 1.0f, 0);
    device->SetRenderState(D3DRS_ZENABLE, FALSE);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device->SetFVF(SCREEN_FVF);
    device->SetTexture(0, splash);
    device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, SCREEN_VERTEX_STRIDE);
    device->SetTexture(0, nullptr);
    device->EndScene();
    device->Present(nullptr, nullptr, nullptr, nullptr);
    splash->Release();
}

bool GameApplication::CreateDeviceResources()
{
    // A device re-created on another adapter comes back here; the game's one-time set-up must not repeat.
    if (resourcesCreated) {
        RestoreDeviceResources();
        return true;
    }
    resourcesCreated = true;

    ShowSplash();
    MouseOverManager::Get()->Init();

    DataManager* data = DataManager::Get();
    postEffect = data->GetEffect(PostProcessEffect, true);
    // A missing file brings the stand-in effect, which has no such technique: no pass then either.
    if (postEffect && FAILED(postEffect->SetTechnique("PostProcess")))
        postEffect = nullptr;
    if (!postEffect)
        Log(LogLevel::WARNING, "post-process",
            "Effect file \"" + PostProcessEffect +
                "\" is missing or does not compile; the game runs without its post-process pass");

    helpLabel->CreateFont(16, "Times New Roman", 1);
    helpLabel->SetPosition(470.0f, 10.0f);
    helpLabel->SetText("F1 For Help");
    // It sits over the sky and the menus' scenery: a shadow keeps it readable on both.
    helpLabel->shadowed = true;

    // Deployment and the players make every unit as a unit of its class.
    ClassUnit::RegisterFactory();
    session->Init();
    session->LoadAssets();
    session->SetGameState(GAME_STATE_INTRO);

    FrameClock::Start();

    ApplyWindowStyle();
    // A failed reset has ended the game: the start failed with it.
    if (FAILED(ResetDevice()))
        return false;
    cursor = LoadCursorA(m_instance, MAKEINTRESOURCEA(kCursorPlayerOne));
    SetCursor(cursor);
    ToggleWindowed(false);
    return true;
}

void GameApplication::UpdateFrame()
{
    DataManager* data = DataManager::Get();
    frameTime = FrameClock::Tick();
    data->AdvanceTime(frameTime);

    InputManager::Get()->Update();
    Camera::Get()->Update();
    HandleKeys();
    // A key may have reset the device; after a failed reset nothing of this frame may run on.
    if (!IsActive())
        return;
    UpdatePickRay();
    if (session)
        session->Update();
    if (helpLabel)
        helpLabel->Update();
    SetShaderGlobals();
}

void GameApplication::SetShaderGlobals()
{
    DataManager* data = DataManager::Get();
    Camera* camera = Camera::Get();
    if (postEffect) {
        D3DXMATRIX viewProjection;
        D3DXMatrixMultiply(&viewProjection, &camera->GetView(), &camera->GetProjection());
        postEffect->SetMatrix("viewProjMatrix", &viewProjection);
        postEffect->SetFloat("gameTime", data->GetGameTime());
        postEffect->SetFloat("gameSpeed", data->GetGameSpeed());
        postEffect->SetFloat("tElapsed", data->GetFrameTime());
        postEffect->SetFloat("shakeMagnitude", shakeMagnitude);
    }

    // The speed is latched here, so a change scales time from the next frame on.
    data->SetGameSpeed(targetGameSpeed);

    // The shake decays in real time, so slow motion does not slow it.
    if (shakeMagnitude > 0.0f) {
        shakeMagnitude -= shakeMagnitude * data->GetRawFrameTime();
        if (shakeMagnitude <= kShakeStop)
            shakeMagnitude = 0.0f;
    }
}

void GameApplication::ComputePickRay(POINT cursor, float sceneLeftPx, float sceneTopPx, float sceneWidthPx,
                                     float sceneHeightPx, const D3DXMATRIX& view, const D3DXMATRIX& projection,
                                     D3DXVECTOR3* origin, D3DXVECTOR3* direction)
{
    const float px = static_cast<float>(cursor.x - static_cast<LONG>(sceneLeftPx));
    const float py = static_cast<float>(cursor.y - static_cast<LONG>(sceneTopPx));
    const float vx = (2.0f * px / sceneWidthPx - 1.0f) / projection._11;
    const float vy = -((2.0f * py / sceneHeightPx - 1.0f) / projection._22);
    const float vz = 1.0f;

    D3DXMATRIX m;
    D3DXMatrixInverse(&m, nullptr, &view);
    *direction = D3DXVECTOR3(vx * m._11 + vy * m._21 + vz * m._31, vx * m._12 + vy * m._22 + vz * m._32,
                             vx * m._13 + vy * m._23 + vz * m._33);
    *origin = D3DXVECTOR3(m._41, m._42, m._43);
}

void GameApplication::UpdatePickRay()
{
    // An empty scene rectangle has no pixels to aim through; the last ray stays.
    if (sceneWidth <= 0.0f || sceneHeight <= 0.0f)
        return;
    POINT cursorPos{0, 0};
    GetCursorPos(&cursorPos);
    ScreenToClient(m_window, &cursorPos);
    Camera* camera = Camera::Get();
    D3DXVECTOR3 origin;
    D3DXVECTOR3 direction;
    ComputePickRay(cursorPos, sceneLeft, sceneTop, sceneWidth, sceneHeight, camera->GetView(), camera->GetProjection(),
                   &origin, &direction);
    MouseOverManager::Get()->SetPickRay(origin, direction);
}

void GameApplication::HandleKeys()
{
    InputManager* input = InputManager::Get();
    if (input->IsBindingDown("WHEEL_UP"))
        Camera::Get()->Zoom(-kWheelStep, true);
    if (input->IsBindingDown("WHEEL_DOWN"))
        Camera::Get()->Zoom(kWheelStep, true);

    // Once per press: a held chord must not flip the mode back and forth every frame.
    const bool fullscreenChord = input->IsKeyDown(kKeyReturn) && input->IsKeyDown(kKeyRightAlt);
    if (fullscreenChord && !fullscreenKeyLatch)
        ToggleWindowed(false);
    fullscreenKeyLatch = fullscreenChord;
    if (!IsActive())
        return;

    if (input->IsKeyDown(kKeyF10))
        SaveScreenshot();

    struct SizeKey {
        int key;
        int width;
        int height;
    };
    static constexpr SizeKey kSizeKeys[] = {{kKeyF5, 800, 600}, {kKeyF6, 1024, 768}, {kKeyF7, 1280, 1024}};
    for (const SizeKey& size : kSizeKeys) {
        // A failed reset ends the game; a second size key held with the first must not try again.
        if (!IsActive())
            return;
        if (input->IsKeyDown(size.key))
            SetWindowSize(size.width, size.height);
    }
}

void GameApplication::ResetScreenshotCounter()
{
    g_screenshotCounter = 0;
}

// Earlier screenshots are never overwritten: numbering goes on from the first free number.
std::string GameApplication::NextScreenshotName()
{
    for (;;) {
        const std::string name = kScreenshotPrefix + std::to_string(g_screenshotCounter) + ".bmp";
        if (!PathResolver::Exists(name))
            return name;
        ++g_screenshotCounter;
    }
}

void GameApplication::SaveScreenshot()
{
    const std::string name = NextScreenshotName();
    if (m_device) {
        IDirect3DSurface9* surface = nullptr;
        if (SUCCEEDED(m_device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &surface)) && surface) {
            D3DXSaveSurfaceToFileA(name.c_str(), D3DXIFF_BMP, surface, nullptr, nullptr);
            surface->Release();
        }
    }
    ++g_screenshotCounter;
}

void GameApplication::Render()
{
    if (!IsActive() || !m_device)
        return;
    IDirect3DDevice9* device = m_device;
    IDirect3DTexture9* sceneTexture = session ? session->RenderSceneToTexture() : nullptr;
    if (postEffect)
        postEffect->SetTexture("PostProcessTexture", sceneTexture);

    device->BeginScene();
    // A scene rectangle smaller than the back buffer leaves the rest uncovered: clear it. When the quad
    // covers everything the clear would only cost a full-screen pass.
    if (!SceneCoversBackBuffer())
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL, kBlack, 1.0f, 0);
    device->SetFVF(SCREEN_FVF);
    device->SetStreamSource(0, screenQuad, 0, SCREEN_VERTEX_STRIDE);
    if (postEffect && screenQuad) {
        UINT passes = 0;
        postEffect->Begin(&passes, 0);
        for (UINT pass = 0; pass < passes; ++pass) {
            postEffect->BeginPass(pass);
            device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2);
            postEffect->EndPass();
        }
        postEffect->End();
    }

    if (session) {
        session->RenderOverlay();
        const GameState state = session->GetGameState();
        if (state != GAME_STATE_INTRO && state != GAME_STATE_LOADING) {
            session->RenderMouseOver();
            if (helpLabel)
                helpLabel->QueueDraw();
            DrawQueuedText();
            session->RenderHelp();
            DrawQueuedText();
        }
    }
    device->EndScene();
    device->Present(nullptr, nullptr, nullptr, nullptr);
}

bool GameApplication::SceneCoversBackBuffer() const
{
    return sceneLeft <= 0.0f && sceneTop <= 0.0f &&
           sceneLeft + sceneWidth >= static_cast<float>(m_presentParameters.BackBufferWidth) &&
           sceneTop + sceneHeight >= static_cast<float>(m_presentParameters.BackBufferHeight);
}

void GameApplication::ReleaseDeviceResources()
{
    DataManager::Get()->OnDeviceLost();
    MouseOverManager::Get()->OnLostDevice();
    // The session and every other holder of default-pool resources.
    DeviceResource::LoseAll();
}

void GameApplication::RestoreDeviceResources()
{
    SetDefaultRenderStates();
    DataManager::Get()->OnDeviceReset();
    Camera::Get()->Refresh();
    MouseOverManager::Get()->OnResetDevice();
    DeviceResource::ResetAll();
    ResetSceneRect();
    const float width = static_cast<float>(m_presentParameters.BackBufferWidth);
    const float height = static_cast<float>(m_presentParameters.BackBufferHeight);
    widthFactor = width > 0.0f ? kLayoutWidth / width : 1.0f;
    heightFactor = height > 0.0f ? kLayoutHeight / height : 1.0f;
}

void GameApplication::SetDefaultRenderStates()
{
    IDirect3DDevice9* device = m_device;
    if (!device)
        return;
    device->SetRenderState(D3DRS_ZENABLE, TRUE);
    device->SetRenderState(D3DRS_FILLMODE, D3DFILL_SOLID);
    device->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
    device->SetRenderState(D3DRS_SPECULARENABLE, FALSE);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    device->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
    device->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->SetRenderState(D3DRS_FOGVERTEXMODE, D3DFOG_LINEAR);
    device->SetRenderState(D3DRS_FOGTABLEMODE, D3DFOG_NONE);
    device->SetRenderState(D3DRS_RANGEFOGENABLE, TRUE);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device->SetRenderState(D3DRS_DITHERENABLE, FALSE);
    device->SetRenderState(D3DRS_AMBIENT, 0x00FFFFFF);
    device->SetRenderState(D3DRS_NORMALIZENORMALS, TRUE);
    device->SetRenderState(D3DRS_LIGHTING, FALSE);

    D3DCAPS9 caps{};
    device->GetDeviceCaps(&caps);
    for (DWORD stage = 0; stage < caps.MaxSimultaneousTextures; ++stage) {
        device->SetTextureStageState(stage, D3DTSS_COLOROP, D3DTOP_MODULATE);
        device->SetTextureStageState(stage, D3DTSS_COLORARG1, D3DTA_TEXTURE);
        device->SetTextureStageState(stage, D3DTSS_COLORARG2, D3DTA_CURRENT);
        device->SetTextureStageState(stage, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
        device->SetTextureStageState(stage, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
        device->SetTextureStageState(stage, D3DTSS_ALPHAARG2, D3DTA_CURRENT);
        device->SetSamplerState(stage, D3DSAMP_ADDRESSU, D3DTADDRESS_MIRROR);
        device->SetSamplerState(stage, D3DSAMP_ADDRESSV, D3DTADDRESS_MIRROR);
        device->SetSamplerState(stage, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
        device->SetSamplerState(stage, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
        device->SetSamplerState(stage, D3DSAMP_MIPFILTER, D3DTEXF_LINEAR);
    }
}

LRESULT GameApplication::HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_SETFOCUS: {
        InputManager* input = InputManager::Get();
        if (!input->IsInitialised())
            input->Init(m_instance, m_window, 0);
        input->AcquireDevices();
        break;
    }
    case WM_CLOSE:
        PostQuitMessage(0);
        break;
    case WM_SETCURSOR:
        SetCursor(cursor);
        break;
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP:
        // Alt and F10 must never open a system menu.
        return 0;
    case WM_MOUSEMOVE: {
        POINT p{0, 0};
        GetCursorPos(&p);
        ScreenToClient(m_window, &p);
        MouseOverManager::Get()->MovePointer(p.x, p.y);
        break;
    }
    default:
        break;
    }
    return Application::HandleMessage(window, message, wParam, lParam);
}

void GameApplication::Shutdown()
{
    if (session) {
        session->Shutdown();
        session.reset();
    }
    ReleaseScreenQuad();
    postEffect = nullptr;
    if (helpLabel)
        helpLabel->Unqueue();
    // The mouse-over manager lives on to the end of the process; its fonts must not keep the device
    // alive after the window is gone.
    MouseOverManager* mouseOver = MouseOverManager::Get();
    mouseOver->OnLostDevice();
    if (TextLabel* label = mouseOver->GetTextLabel())
        label->Unqueue();
    DataManager::Get()->ReleaseAll();
    InputManager::Get()->Release();
    FrameClock::Restart();
}

void GameApplication::ReleaseScreenQuad()
{
    if (screenQuad) {
        screenQuad->Release();
        screenQuad = nullptr;
    }
}

void GameApplication::FillScreenQuad()
{
    if (!screenQuad)
        return;
    void* data = nullptr;
    if (FAILED(screenQuad->Lock(0, 0, &data, D3DLOCK_DISCARD)) || !data)
        return;
    WriteQuad(static_cast<ScreenVertex*>(data), sceneLeft, sceneTop, sceneWidth, sceneHeight);
    screenQuad->Unlock();
}

void GameApplication::SetSceneRect(float left, float top, float width, float height)
{
    sceneLeft = left;
    sceneTop = top;
    sceneWidth = width;
    sceneHeight = height;
    ReleaseScreenQuad();
    if (m_device)
        m_device->CreateVertexBuffer(kQuadBytes, 0, SCREEN_FVF, D3DPOOL_MANAGED, &screenQuad, nullptr);
    FillScreenQuad();
}

void GameApplication::FitSceneToRect(const GuiElement& element)
{
    sceneLeft = element.left;
    sceneTop = element.top;
    sceneWidth = element.right - element.left;
    sceneHeight = element.bottom - element.top;
    FillScreenQuad();
}

void GameApplication::ResetSceneRect()
{
    SetSceneRect(0.0f, 0.0f, static_cast<float>(m_presentParameters.BackBufferWidth),
                 static_cast<float>(m_presentParameters.BackBufferHeight));
}

void GameApplication::SetPlayerCursor(int playerIndex)
{
    cursor = LoadCursorA(m_instance, MAKEINTRESOURCEA(playerIndex == 1 ? kCursorPlayerTwo : kCursorPlayerOne));
    SetCursor(cursor);
}
