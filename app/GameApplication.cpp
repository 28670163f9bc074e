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
#include "core/RenderDefaults.h"
#include "core/ScreenVertex.h"
#include "d3dx9/D3DX9Core.h"
#include "dinput/DInput.h"
#include "scene/Camera.h"
#include "ui/GuiElement.h"
#include "ui/MouseOverManager.h"
#include "ui/Screen.h"
#include "ui/TextLabel.h"
#include "win32/ComPtr.h"
#include "win32/Log.h"
#include "win32/PathResolver.h"

#include <cstdio>
#include <cstring>
#include <ctime>

namespace {
constexpr UINT QUAD_BYTES = 4 * SCREEN_VERTEX_STRIDE;
constexpr D3DCOLOR WHITE = 0xFFFFFFFF;
constexpr D3DCOLOR BLACK = 0xFF000000;

constexpr int CURSOR_PLAYER_ONE = 111;
constexpr int CURSOR_PLAYER_TWO = 112;

constexpr float WHEEL_STEP = 120.0f;
constexpr float LAYOUT_WIDTH = 1024.0f;
constexpr float LAYOUT_HEIGHT = 768.0f;

const char* const SPLASH_TEXTURE = "splash.bmp";
const char* const SCREENSHOT_PREFIX = "Data\\Screenshots\\Image";

int g_screenshotCounter = 0;

void WriteQuad(ScreenVertex* out, float left, float top, float width, float height)
{
    out[0] = {left, top + height, 0.0f, 1.0f, WHITE, 0.0f, 1.0f};
    out[1] = {left, top, 0.0f, 1.0f, WHITE, 0.0f, 0.0f};
    out[2] = {left + width, top + height, 0.0f, 1.0f, WHITE, 1.0f, 1.0f};
    out[3] = {left + width, top, 0.0f, 1.0f, WHITE, 1.0f, 0.0f};
}
} // namespace

GameApplication::GameApplication()
{
    DataManager::Get()->SetApplication(this);
}

GameApplication::~GameApplication()
{
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

    m_session = std::make_unique<GameSession>();
    m_session->SetApplication(this);
    m_helpLabel = std::make_unique<TextLabel>();
    m_helpLabelDevice = std::make_unique<LabelDeviceResource>(m_helpLabel.get());
    return S_OK;
}

// There is no window painting here: the splash image is drawn once through the device and presented,
// so the player sees it while the session loads.
void GameApplication::ShowSplash()
{
    IDirect3DDevice9* device = m_device.Get();
    if (!device)
        return;
    ComPtr<IDirect3DTexture9> splash;
    const std::string path = DataManager::Get()->FindFile(SPLASH_TEXTURE);
    if (path == DataManager::NOT_FOUND) {
        DataManager::Get()->ReportMissing("texture.missing", SPLASH_TEXTURE, "is not found; no splash is shown");
        return;
    }
    if (FAILED(D3DXCreateTextureFromFileA(device, path.c_str(), splash.AddressOf())) || !splash)
        return;

    ScreenVertex quad[4];
    // Centred on whole pixels.
    const int left = (m_creationWidth - SPLASH_WIDTH) / 2;
    const int top = (m_creationHeight - SPLASH_HEIGHT) / 2;
    WriteQuad(quad, static_cast<float>(left), static_cast<float>(top), static_cast<float>(SPLASH_WIDTH),
              static_cast<float>(SPLASH_HEIGHT));
    device->BeginScene();
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL, BLACK, 1.0f, 0);
    device->SetRenderState(D3DRS_ZENABLE, FALSE);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device->SetFVF(SCREEN_FVF);
    device->SetTexture(0, splash.Get());
    device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, SCREEN_VERTEX_STRIDE);
    device->SetTexture(0, nullptr);
    device->EndScene();
    device->Present(nullptr, nullptr, nullptr, nullptr);
}

bool GameApplication::CreateDeviceResources()
{
    // A device re-created on another adapter comes back here; the game's one-time set-up must not repeat.
    if (m_resourcesCreated) {
        RestoreDeviceResources();
        return true;
    }
    m_resourcesCreated = true;

    ShowSplash();
    MouseOverManager::Get()->Init();

    DataManager* data = DataManager::Get();
    m_postEffect = data->GetEffect(POST_PROCESS_EFFECT, true);
    // A missing file brings the stand-in effect, which has no such technique: no pass then either.
    if (m_postEffect && FAILED(m_postEffect->SetTechnique("PostProcess")))
        m_postEffect = nullptr;
    if (!m_postEffect)
        Log(LogLevel::WARNING, "post-process",
            "Effect file \"" + POST_PROCESS_EFFECT +
                "\" is missing or does not compile; the game runs without its post-process pass");

    m_helpLabel->CreateFont(16, "Times New Roman", 1);
    m_helpLabel->SetPosition(470.0f, 10.0f);
    m_helpLabel->SetText("F1 For Help");
    // It sits over the sky and the menus' scenery: a shadow keeps it readable on both.
    m_helpLabel->shadowed = true;

    // Deployment and the players make every unit as a unit of its class.
    ClassUnit::RegisterFactory();
    m_session->Init();
    m_session->LoadAssets();
    m_session->SetGameState(GAME_STATE_INTRO);
    // The very first frame shows the intro already.
    m_session->ApplyRequestedChanges();

    FrameClock::Start();

    ApplyWindowStyle();
    // A failed reset has ended the game: the start failed with it.
    if (FAILED(ResetDevice()))
        return false;
    m_cursor = LoadCursorA(m_instance, MAKEINTRESOURCEA(CURSOR_PLAYER_ONE));
    SetCursor(m_cursor);
    ToggleWindowed(false);
    return true;
}

void GameApplication::UpdateFrame()
{
    DataManager* data = DataManager::Get();
    m_frameTime = FrameClock::Tick();
    data->AdvanceTime(m_frameTime);

    InputManager::Get()->Update();
    Camera::Get()->Update();
    HandleKeys();
    // A key may have reset the device; after a failed reset nothing of this frame may run on.
    if (!IsActive())
        return;
    UpdatePickRay();
    if (m_session)
        m_session->Update();
    if (m_helpLabel)
        m_helpLabel->Update();
    SetShaderGlobals();
}

void GameApplication::SetShaderGlobals()
{
    DataManager* data = DataManager::Get();
    Camera* camera = Camera::Get();
    if (m_postEffect) {
        D3DXMATRIX viewProjection;
        D3DXMatrixMultiply(&viewProjection, &camera->GetView(), &camera->GetProjection());
        m_postEffect->SetMatrix("viewProjMatrix", &viewProjection);
        m_postEffect->SetFloat("gameTime", data->GetGameTime());
        m_postEffect->SetFloat("gameSpeed", data->GetGameSpeed());
        m_postEffect->SetFloat("tElapsed", data->GetFrameTime());
        m_postEffect->SetFloat("shakeMagnitude", m_shakeMagnitude);
    }
    m_passShake = m_shakeMagnitude;
    m_passSpeed = data->GetGameSpeed();

    // The speed is latched here, so a change scales time from the next frame on.
    data->SetGameSpeed(m_targetGameSpeed);

    // The shake decays in real time, so slow motion does not slow it.
    if (m_shakeMagnitude > 0.0f) {
        m_shakeMagnitude -= m_shakeMagnitude * data->GetRawFrameTime();
        if (m_shakeMagnitude <= SHAKE_STOP)
            m_shakeMagnitude = 0.0f;
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
    if (m_sceneWidth <= 0.0f || m_sceneHeight <= 0.0f)
        return;
    POINT cursorPos{0, 0};
    GetCursorPos(&cursorPos);
    ScreenToClient(m_window, &cursorPos);
    Camera* camera = Camera::Get();
    D3DXVECTOR3 origin;
    D3DXVECTOR3 direction;
    ComputePickRay(cursorPos, m_sceneLeft, m_sceneTop, m_sceneWidth, m_sceneHeight, camera->GetView(),
                   camera->GetProjection(), &origin, &direction);
    MouseOverManager::Get()->SetPickRay(origin, direction);
}

void GameApplication::HandleKeys()
{
    InputManager* input = InputManager::Get();
    if (input->IsBindingDown("WHEEL_UP"))
        Camera::Get()->Zoom(-WHEEL_STEP, true);
    if (input->IsBindingDown("WHEEL_DOWN"))
        Camera::Get()->Zoom(WHEEL_STEP, true);

    // Once per press: a held chord must not flip the mode back and forth every frame.
    const bool fullscreenChord = input->IsKeyDown(DIK_RETURN) && input->IsKeyDown(DIK_RMENU);
    if (fullscreenChord && !m_fullscreenKeyLatch)
        ToggleWindowed(false);
    m_fullscreenKeyLatch = fullscreenChord;
    if (!IsActive())
        return;

    if (input->IsKeyDown(DIK_F10))
        SaveScreenshot();

    struct SizeKey {
        int key;
        int width;
        int height;
    };
    static constexpr SizeKey SIZE_KEYS[] = {{DIK_F5, 800, 600}, {DIK_F6, 1024, 768}, {DIK_F7, 1280, 1024}};
    for (const SizeKey& size : SIZE_KEYS) {
        // A failed reset ends the game; a second size key held with the first must not try again.
        if (!IsActive())
            return;
        if (input->IsKeyDown(size.key))
            SetWindowSize(size.width, size.height);
    }
}

void GameApplication::ResetForTests()
{
    g_screenshotCounter = 0;
}

// Earlier screenshots are never overwritten: numbering goes on from the first free number.
std::string GameApplication::NextScreenshotName()
{
    for (;;) {
        std::string name = SCREENSHOT_PREFIX + std::to_string(g_screenshotCounter) + ".bmp";
        if (!PathResolver::Exists(name))
            return name;
        ++g_screenshotCounter;
    }
}

void GameApplication::SaveScreenshot()
{
    const std::string name = NextScreenshotName();
    if (m_device) {
        ComPtr<IDirect3DSurface9> surface;
        if (SUCCEEDED(m_device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, surface.AddressOf())) && surface)
            D3DXSaveSurfaceToFileA(name.c_str(), D3DXIFF_BMP, surface.Get(), nullptr, nullptr);
    }
    ++g_screenshotCounter;
}

void GameApplication::Render()
{
    if (!IsActive() || !m_device)
        return;
    // The window keeps showing a still picture: drawing it again would only cost the processor.
    const Screen* screen = m_session ? m_session->GetScreen() : nullptr;
    const FrameLook look{screen ? screen->PictureVersion() : Screen::PICTURE_CHANGING,
                         m_sceneLeft,
                         m_sceneTop,
                         m_sceneWidth,
                         m_sceneHeight,
                         m_passShake,
                         m_passSpeed,
                         m_postPassAlways};
    if (look.picture != Screen::PICTURE_CHANGING && look == m_shownLook && ++m_stillFrames < STILL_REDRAW_FRAMES)
        return;
    m_shownLook = look;
    m_stillFrames = 0;
    IDirect3DDevice9* device = m_device.Get();
    const bool straight = m_session && PostPassIsPlainCopy();
    if (!straight) {
        IDirect3DTexture9* sceneTexture = m_session ? m_session->RenderSceneToTexture() : nullptr;
        if (m_postEffect)
            m_postEffect->SetTexture("PostProcessTexture", sceneTexture);
    }

    device->BeginScene();
    if (straight) {
        m_session->RenderSceneToBackBuffer();
    } else {
        // A scene rectangle smaller than the back buffer leaves the rest uncovered: clear it. When the quad
        // covers everything the clear would only cost a full-screen pass.
        if (!SceneCoversBackBuffer())
            device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL, BLACK, 1.0f, 0);
        device->SetFVF(SCREEN_FVF);
        device->SetStreamSource(0, m_screenQuad.Get(), 0, SCREEN_VERTEX_STRIDE);
        if (m_postEffect && m_screenQuad) {
            UINT passes = 0;
            m_postEffect->Begin(&passes, 0);
            for (UINT pass = 0; pass < passes; ++pass) {
                m_postEffect->BeginPass(pass);
                device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2);
                m_postEffect->EndPass();
            }
            m_postEffect->End();
        }
    }

    if (m_session) {
        m_session->RenderOverlay();
        const GameState state = m_session->GetGameState();
        if (state != GAME_STATE_INTRO && state != GAME_STATE_LOADING) {
            m_session->RenderMouseOver();
            if (m_helpLabel)
                m_helpLabel->QueueDraw();
            DrawQueuedText();
            m_session->RenderHelp();
            DrawQueuedText();
        }
    }
    device->EndScene();
    device->Present(nullptr, nullptr, nullptr, nullptr);
}

bool GameApplication::PostPassIsPlainCopy() const
{
    // Without its effect there is no pass to go through; the scene is still shown where it fills the screen.
    if (m_postPassAlways || (m_postEffect && (m_passShake != 0.0f || m_passSpeed != 1.0f)))
        return false;
    const auto width = static_cast<float>(GameSession::SCENE_WIDTH);
    const auto height = static_cast<float>(GameSession::SCENE_HEIGHT);
    return m_sceneLeft == 0.0f && m_sceneTop == 0.0f && m_sceneWidth == width && m_sceneHeight == height &&
           m_presentParameters.BackBufferWidth == GameSession::SCENE_WIDTH &&
           m_presentParameters.BackBufferHeight == GameSession::SCENE_HEIGHT;
}

bool GameApplication::SceneCoversBackBuffer() const
{
    return m_sceneLeft <= 0.0f && m_sceneTop <= 0.0f &&
           m_sceneLeft + m_sceneWidth >= static_cast<float>(m_presentParameters.BackBufferWidth) &&
           m_sceneTop + m_sceneHeight >= static_cast<float>(m_presentParameters.BackBufferHeight);
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
    // Whatever was on show went with the old back buffer.
    m_shownLook = FrameLook{};
    SetDefaultRenderStates();
    DataManager::Get()->OnDeviceReset();
    Camera::Get()->Refresh();
    MouseOverManager::Get()->OnResetDevice();
    DeviceResource::ResetAll();
    ResetSceneRect();
    const float width = static_cast<float>(m_presentParameters.BackBufferWidth);
    const float height = static_cast<float>(m_presentParameters.BackBufferHeight);
    widthFactor = width > 0.0f ? LAYOUT_WIDTH / width : 1.0f;
    heightFactor = height > 0.0f ? LAYOUT_HEIGHT / height : 1.0f;
}

void GameApplication::SetDefaultRenderStates()
{
    if (m_device)
        RenderDefaults::Apply(m_device.Get());
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
        SetCursor(m_cursor);
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
    if (m_session) {
        m_session->Shutdown();
        m_session.reset();
    }
    m_screenQuad.Reset();
    m_postEffect = nullptr;
    if (m_helpLabel)
        m_helpLabel->Unqueue();
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

void GameApplication::FillScreenQuad()
{
    if (!m_screenQuad)
        return;
    void* data = nullptr;
    if (FAILED(m_screenQuad->Lock(0, 0, &data, D3DLOCK_DISCARD)) || !data)
        return;
    WriteQuad(static_cast<ScreenVertex*>(data), m_sceneLeft, m_sceneTop, m_sceneWidth, m_sceneHeight);
    m_screenQuad->Unlock();
}

void GameApplication::SetSceneRect(float left, float top, float width, float height)
{
    m_sceneLeft = left;
    m_sceneTop = top;
    m_sceneWidth = width;
    m_sceneHeight = height;
    m_screenQuad.Reset();
    if (m_device)
        m_device->CreateVertexBuffer(QUAD_BYTES, 0, SCREEN_FVF, D3DPOOL_MANAGED, m_screenQuad.AddressOf(), nullptr);
    FillScreenQuad();
}

void GameApplication::FitSceneToRect(const GuiElement& element)
{
    m_sceneLeft = element.left;
    m_sceneTop = element.top;
    m_sceneWidth = element.right - element.left;
    m_sceneHeight = element.bottom - element.top;
    FillScreenQuad();
}

void GameApplication::ResetSceneRect()
{
    SetSceneRect(0.0f, 0.0f, static_cast<float>(m_presentParameters.BackBufferWidth),
                 static_cast<float>(m_presentParameters.BackBufferHeight));
}

void GameApplication::SetPlayerCursor(int playerIndex)
{
    m_cursor = LoadCursorA(m_instance, MAKEINTRESOURCEA(playerIndex == 1 ? CURSOR_PLAYER_TWO : CURSOR_PLAYER_ONE));
    SetCursor(m_cursor);
}
