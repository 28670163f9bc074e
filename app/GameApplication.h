#pragma once
// The game's application object: it creates the input system and the game session, runs each frame's
// update in a fixed order and renders each frame in two stages, the session's scene into a texture and
// that texture through the post-process pass onto the back buffer, with the interface drawn on top.

#include "app/Application.h"
#include "core/ApplicationLink.h"
#include "d3dx9/D3DX9Math.h"

#include <cstdint>
#include <memory>
#include <string>

class GameSession;
class TextLabel;
class LabelDeviceResource;
class GuiElement;
struct ID3DXEffect;

class GameApplication : public Application, public ApplicationLink
{
public:
    static constexpr int SPLASH_WIDTH = 780;
    static constexpr int SPLASH_HEIGHT = 575;
    static constexpr float SHAKE_STOP = 10.0f;
    // A still picture is drawn again after this many frames all the same, so that a window the desktop has
    // just uncovered shows it again within a quarter of a second.
    static constexpr int STILL_REDRAW_FRAMES = 15;

    GameApplication();
    ~GameApplication() override;

    HRESULT InitScene() override;
    bool CreateDeviceResources() override;
    void UpdateFrame() override;
    void Render() override;
    void ReleaseDeviceResources() override;
    void RestoreDeviceResources() override;
    void Shutdown() override;
    LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;

    void SetShaderGlobals();
    void UpdatePickRay();
    void HandleKeys();
    void SaveScreenshot();
    void SetDefaultRenderStates();

    void SetSceneRect(float left, float top, float width, float height);
    void FitSceneToRect(const GuiElement& element);
    void ResetSceneRect();
    void SetPlayerCursor(int playerIndex);

    // The pick ray through a cursor position (client pixels) of a scene rectangle, for a view and a projection.
    static void ComputePickRay(POINT cursor, float sceneLeft, float sceneTop, float sceneWidth, float sceneHeight,
                               const D3DXMATRIX& view, const D3DXMATRIX& projection, D3DXVECTOR3* origin,
                               D3DXVECTOR3* direction);
    // "Data\Screenshots\Image<n>.bmp" for the next n whose file does not exist yet.
    static std::string NextScreenshotName();
    static void ResetForTests();

    GameSession* GetSession() const { return m_session.get(); }
    TextLabel* GetHelpLabel() const { return m_helpLabel.get(); }
    D3DFORMAT GetBackBufferFormat() const override;
    const D3DPRESENT_PARAMETERS& GetPresentParameters() const override { return Application::GetPresentParameters(); }
    void SetGuiScale(float scaleX, float scaleY) override
    {
        guiScaleX = scaleX;
        guiScaleY = scaleY;
    }
    float GetFrameTime() const { return m_frameTime; }
    float GetShakeMagnitude() const { return m_shakeMagnitude; }
    void SetShakeMagnitude(float magnitude) { m_shakeMagnitude = magnitude; }
    float GetTargetGameSpeed() const { return m_targetGameSpeed; }
    void SetTargetGameSpeed(float speed) { m_targetGameSpeed = speed; }
    ID3DXEffect* GetPostEffect() const { return m_postEffect; }
    // True when this frame's post-process pass would copy the scene pixel for pixel: no shake, no slow motion,
    // and the scene texture laid over the whole back buffer at its own size. The scene is then drawn straight
    // onto the back buffer, sparing a full-screen pass.
    bool PostPassIsPlainCopy() const;
    // Sends every frame through the post-process pass, to compare the two ways of drawing the scene.
    void SetPostPassAlways(bool always) { m_postPassAlways = always; }
    IDirect3DVertexBuffer9* GetScreenQuad() const { return m_screenQuad.Get(); }
    float GetSceneLeft() const { return m_sceneLeft; }
    float GetSceneTop() const { return m_sceneTop; }
    float GetSceneWidth() const { return m_sceneWidth; }
    float GetSceneHeight() const { return m_sceneHeight; }

    // Written by the interface's layout code, read when the session restores its device objects.
    float guiScaleX = 0.0f;
    float guiScaleY = 0.0f;
    // 1024 / back-buffer width and 768 / back-buffer height: the interface maps its layout with them.
    float widthFactor = 0.0f;
    float heightFactor = 0.0f;

private:
    void ShowSplash();
    bool SceneCoversBackBuffer() const;
    void FillScreenQuad();

    std::unique_ptr<TextLabel> m_helpLabel;
    // The help label's font goes through every lost and reset device with the rest.
    std::unique_ptr<LabelDeviceResource> m_helpLabelDevice;
    std::unique_ptr<GameSession> m_session;
    float m_frameTime = 0.0f;
    HCURSOR m_cursor = nullptr;
    ComPtr<IDirect3DVertexBuffer9> m_screenQuad;
    ID3DXEffect* m_postEffect = nullptr; // the effect cache owns it
    float m_shakeMagnitude = 0.0f;
    // The shake and speed the post-process pass was given for this frame.
    float m_passShake = 0.0f;
    float m_passSpeed = 1.0f;
    bool m_postPassAlways = false;
    float m_targetGameSpeed = 1.0f;
    float m_sceneLeft = 0.0f;
    float m_sceneTop = 0.0f;
    float m_sceneWidth = 0.0f;
    float m_sceneHeight = 0.0f;
    bool m_resourcesCreated = false;
    bool m_fullscreenKeyLatch = false;
    // What made the frame on show: the screen's picture number (Screen::PictureVersion) and how the scene was
    // laid over the back buffer and through the post pass. The frames since it was drawn.
    struct FrameLook {
        uint64_t picture = 0;
        float sceneLeft = 0.0f, sceneTop = 0.0f, sceneWidth = 0.0f, sceneHeight = 0.0f;
        float shake = 0.0f, speed = 1.0f;
        bool postPassAlways = false;
        bool operator==(const FrameLook&) const = default;
    };
    FrameLook m_shownLook;
    int m_stillFrames = 0;
};
