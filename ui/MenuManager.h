#pragma once
// NOLINTBEGIN(readability-identifier-naming): this file is being split; its names follow the naming rule then.

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
    static constexpr int kInfoLabelCount = 9;
    static constexpr int kNoPlayer = 8;
    static constexpr int kStartingRequisition = 200;
    static constexpr int kPreviewWidth = 640;
    static constexpr int kPreviewHeight = 480;

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

    bool IsBuilt() const { return built; }
    int GetCurrentScreen() const { return currentScreen; }
    int GetPreviousScreen() const { return previousScreen; }
    int GetDeployingPlayer() const { return deployingPlayer; }
    int GetRequisitionLeft(int team) const { return team == 0 || team == 1 ? requisitionLeft[team] : 0; }
    int GetLevelIndex() const { return levelIndex; }
    int GetShownClass() const { return shownClass; }
    GuiPanel* GetPage(int screen) const;
    VideoWidget* GetIntroVideo() const { return introVideo; }
    TextLabel* GetInfoLabel(int index) const;
    // The unit the class preview draws for a roster index; null outside the roster.
    BoardUnit* GetPreviewUnit(int index) const;
    TextLabel* GetRequisitionLabel() const { return requisitionLabel.get(); }
    TextLabel* GetLevelNameLabel() const { return levelNameLabel.get(); }
    TextLabel* GetPlayerLabel(int team) const { return team == 0 ? playerOneLabel.get() : playerTwoLabel.get(); }
    GuiElement* GetPreviewElement() const { return previewElement.get(); }

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

    bool built = false;
    std::unique_ptr<GuiPanel> pages[PAGE_COUNT];
    int deployingPlayer = kNoPlayer;
    int currentScreen = SCREEN_TITLE;
    int previousScreen = SCREEN_TITLE;
    VideoWidget* introVideo = nullptr;
    std::vector<std::string> classFiles;
    std::vector<std::string> classDescriptions;
    std::vector<std::unique_ptr<BoardUnit>> previewUnits;
    std::vector<int> classCosts;
    int shownClass = -1;
    int startingRequisition = kStartingRequisition;
    int requisitionLeft[2] = {kStartingRequisition, kStartingRequisition};
    int levelIndex = 0;
    std::unique_ptr<TextLabel> playerOneLabel;
    std::unique_ptr<TextLabel> playerTwoLabel;
    std::unique_ptr<TextLabel> requisitionLabel;
    std::unique_ptr<TextLabel> levelNameLabel;
    std::unique_ptr<TextLabel> infoLabels[kInfoLabelCount];
    std::unique_ptr<GuiElement> previewElement;
    IDirect3DTexture9* previewTexture = nullptr;
    ID3DXRenderToSurface* previewRenderer = nullptr;
    IDirect3DSurface9* previewSurface = nullptr;
    // The level name is centred in this rectangle; the label keeps a pointer to it.
    RECT levelNameRect{62, 355, 709, 400};
    // Between the scene window (right edge 709) and the right dragon's body (from about x 965): the requisition
    // is centred there, its number under its words.
    RECT requisitionRect{712, 596, 958, 690};
    uint32_t effectTable[4] = {3, 3, 0, 1};
};
// NOLINTEND(readability-identifier-naming)
