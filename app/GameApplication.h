#pragma once
// The game's application object: it creates the input system and the game session, runs each frame's
// update in a fixed order and renders each frame in two stages, the session's scene into a texture and
// that texture through the post-process pass onto the back buffer, with the interface drawn on top.

#include "app/Application.h"
#include "core/ApplicationLink.h"
#include "d3dx9/D3DX9Math.h"

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
    static constexpr int kSplashWidth = 780;
    static constexpr int kSplashHeight = 575;
    static constexpr float kShakeStop = 10.0f;

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
    static void ResetScreenshotCounter();

    GameSession* GetSession() const { return session.get(); }
    TextLabel* GetHelpLabel() const { return helpLabel.get(); }
    D3DFORMAT GetBackBufferFormat() const override;
    const D3DPRESENT_PARAMETERS& GetPresentParameters() const override { return Application::GetPresentParameters(); }
    void SetGuiScale(float scaleX, float scaleY) override
    {
        guiScaleX = scaleX;
        guiScaleY = scaleY;
    }
    float GetFrameTime() const { return frameTime; }
    float GetShakeMagnitude() const { return shakeMagnitude; }
    void SetShakeMagnitude(float magnitude) { shakeMagnitude = magnitude; }
    float GetTargetGameSpeed() const { return targetGameSpeed; }
    void SetTargetGameSpeed(float speed) { targetGameSpeed = speed; }
    ID3DXEffect* GetPostEffect() const { return postEffect; }
    // True when this frame's post-process pass would copy the scene pixel for pixel: no shake, no slow motion,
    // and the scene texture laid over the whole back buffer at its own size. The scene is then drawn straight
    // onto the back buffer, sparing a full-screen pass.
    bool PostPassIsPlainCopy() const;
    // Sends every frame through the post-process pass, to compare the two ways of drawing the scene.
    void SetPostPassAlways(bool always) { postPassAlways = always; }
    IDirect3DVertexBuffer9* GetScreenQuad() const { return screenQuad; }
    float GetSceneLeft() const { return sceneLeft; }
    float GetSceneTop() const { return sceneTop; }
    float GetSceneWidth() const { return sceneWidth; }
    float GetSceneHeight() const { return sceneHeight; }

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
    void ReleaseScreenQuad();

    std::unique_ptr<TextLabel> helpLabel;
    // The help label's font goes through every lost and reset device with the rest.
    std::unique_ptr<LabelDeviceResource> helpLabelDevice;
    std::unique_ptr<GameSession> session;
    float frameTime = 0.0f;
    HCURSOR cursor = nullptr;
    IDirect3DVertexBuffer9* screenQuad = nullptr;
    ID3DXEffect* postEffect = nullptr; // the effect cache owns it
    float shakeMagnitude = 0.0f;
    // The shake and speed the post-process pass was given for this frame.
    float passShake = 0.0f;
    float passSpeed = 1.0f;
    bool postPassAlways = false;
    float targetGameSpeed = 1.0f;
    float sceneLeft = 0.0f;
    float sceneTop = 0.0f;
    float sceneWidth = 0.0f;
    float sceneHeight = 0.0f;
    bool resourcesCreated = false;
    bool fullscreenKeyLatch = false;
};
