#pragma once

#include "core/DeviceResource.h"
#include "win32/Win32.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class BoardUnit;
class FrontEndLink;
class GuiButton;
class GuiElement;
class GuiPanel;
class TextLabel;
class VideoWidget;
struct IDirect3DTexture9;
struct IDirect3DSurface9;
struct ID3DXRenderToSurface;

enum MenuScreen : int32_t
{
    SCREEN_TITLE = 0,
    SCREEN_MAIN_MENU = 1,
    SCREEN_DEPLOYMENT = 2,
    SCREEN_OPTIONS = 3,
    SCREEN_EMPTY = 4,
    SCREEN_END_OF_GAME = 5,
};

// The front end: the title with the intro video, the main menu, the options, the end of a game and the
// deployment of both armies, each a page built once; the page shown follows the game state.
class MenuManager : public DeviceResource
{
public:
    static constexpr int PAGE_COUNT = 6;
    static constexpr int INFO_LABEL_COUNT = 9;
    static constexpr int NO_PLAYER = 8;
    static constexpr int STARTING_REQUISITION = 200;
    static constexpr int PREVIEW_WIDTH = 640;
    static constexpr int PREVIEW_HEIGHT = 480;

    MenuManager();
    ~MenuManager() override;
    MenuManager(const MenuManager&) = delete;
    MenuManager& operator=(const MenuManager&) = delete;

    void BuildFrontEnd();
    void BuildDeploymentScreen();
    void Update();
    void Render();
    void SwitchScreen(int screen);
    void ResetAllPages();
    void SelectLevel(int index);
    void ResetRequisition();
    void SetDeployingPlayer(int team);
    void ShowClassPreview(int rosterIndex);
    void OnLostDevice() override;
    void OnResetDevice() override;
    void Destroy();

    bool IsBuilt() const { return m_built; }
    int GetCurrentScreen() const { return m_currentScreen; }
    int GetPreviousScreen() const { return m_previousScreen; }
    int GetDeployingPlayer() const { return m_deployingPlayer; }
    int GetRequisitionLeft(int team) const { return team == 0 || team == 1 ? m_requisitionLeft[team] : 0; }
    int GetLevelIndex() const { return m_levelIndex; }
    int GetShownClass() const { return m_shownClass; }
    GuiPanel* GetPage(int screen) const;
    VideoWidget* GetIntroVideo() const { return m_introVideo; }
    TextLabel* GetInfoLabel(int index) const;
    // The unit the class preview draws for a roster index; null outside the roster.
    BoardUnit* GetPreviewUnit(int index) const;
    TextLabel* GetRequisitionLabel() const { return m_requisitionLabel.get(); }
    TextLabel* GetLevelNameLabel() const { return m_levelNameLabel.get(); }
    TextLabel* GetPlayerLabel(int team) const { return team == 0 ? m_playerOneLabel.get() : m_playerTwoLabel.get(); }
    GuiElement* GetPreviewElement() const { return m_previewElement.get(); }

    // The deployment page's controls, found from the end of its button list.
    GuiButton* GetClassButton(int rosterIndex) const;
    GuiButton* GetLeftArrow() const { return DeploymentButtonFromEnd(6); }
    GuiButton* GetRightArrow() const { return DeploymentButtonFromEnd(5); }
    GuiButton* GetDeployButton() const { return DeploymentButtonFromEnd(4); }
    GuiButton* GetBackButton() const { return DeploymentButtonFromEnd(3); }
    GuiButton* GetPlayerButton(int team) const { return DeploymentButtonFromEnd(team == 0 ? 2 : 1); }
    // The window that shows the board during deployment.
    GuiElement* GetSceneWindow() const;

    // The roster button that last played the drag click; -1 before any.
    static int GetLastDragged();
    static void ResetForTests();

private:
    static void QueueSound(const char* name);
    static FrontEndLink* Link();
    static bool MouseDown(int code);
    // No player deploys: the level's subtitle place is empty and the instructions ask for a player.
    void PromptForPlayer();
    void UpdateTitle();
    void UpdateMainMenu();
    void UpdateOptions();
    void UpdateEndOfGame();
    void UpdateDeployment();
    bool UpdateDeploymentControls(FrontEndLink* link);
    void UpdateRequisition(FrontEndLink* link, int t);
    void UpdateRoster(FrontEndLink* link, int t);
    void LeaveTitle();
    void BuildLabels();
    void BuildPreviewUnits();
    void ShowClass(int rosterIndex, int team);
    void UpdateDeploymentLabels();
    void HoverZoneHex(int ownZone, int hoverType);
    void HandlePlacedUnit(int team);
    void CreatePreviewTarget();
    void ReleasePreviewTarget();
    void RenderDeployment();
    GuiButton* DeploymentButtonFromEnd(int fromEnd) const;

    bool m_built = false;
    std::unique_ptr<GuiPanel> m_pages[PAGE_COUNT];
    int m_deployingPlayer = NO_PLAYER;
    int m_currentScreen = SCREEN_TITLE;
    int m_previousScreen = SCREEN_TITLE;
    VideoWidget* m_introVideo = nullptr;
    std::vector<std::string> m_classFiles;
    std::vector<std::string> m_classDescriptions;
    std::vector<std::unique_ptr<BoardUnit>> m_previewUnits;
    std::vector<int> m_classCosts;
    int m_shownClass = -1;
    int m_startingRequisition = STARTING_REQUISITION;
    int m_requisitionLeft[2] = {STARTING_REQUISITION, STARTING_REQUISITION};
    int m_levelIndex = 0;
    std::unique_ptr<TextLabel> m_playerOneLabel;
    std::unique_ptr<TextLabel> m_playerTwoLabel;
    std::unique_ptr<TextLabel> m_requisitionLabel;
    std::unique_ptr<TextLabel> m_levelNameLabel;
    std::unique_ptr<TextLabel> m_infoLabels[INFO_LABEL_COUNT];
    std::unique_ptr<GuiElement> m_previewElement;
    IDirect3DTexture9* m_previewTexture = nullptr;
    ID3DXRenderToSurface* m_previewRenderer = nullptr;
    IDirect3DSurface9* m_previewSurface = nullptr;
    // The level name is centred in this rectangle; the label keeps a pointer to it.
    RECT m_levelNameRect{62, 355, 709, 400};
    // Between the scene window (right edge 709) and the right dragon's body (from about x 965): the requisition
    // is centred there, its number under its words.
    RECT m_requisitionRect{712, 596, 958, 690};
    uint32_t m_effectTable[4] = {3, 3, 0, 1};
};
