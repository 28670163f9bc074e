#pragma once

#include "ui/MenuPage.h"
#include "win32/Win32.h"

#include <memory>
#include <string>
#include <vector>

class BoardUnit;
class GuiButton;
class GuiElement;
class TextLabel;
struct IDirect3DTexture9;
struct IDirect3DSurface9;
struct ID3DXRenderToSurface;

// Both players deploy here: the level choice, whose army deploys, the roster and its class preview, the
// requisition left, and the units placed on the board in the scene window and picked up again.
class DeploymentPage : public MenuPage
{
public:
    static constexpr int INFO_LABEL_COUNT = 9;
    static constexpr int NO_PLAYER = 8;
    static constexpr int STARTING_REQUISITION = 200;
    static constexpr int PREVIEW_WIDTH = 640;
    static constexpr int PREVIEW_HEIGHT = 480;

    explicit DeploymentPage(MenuManager& menu);
    ~DeploymentPage() override;

    void Build() override;
    void Update() override;
    void Render() override;
    void OnLostDevice() override;
    void OnResetDevice() override;
    void Destroy() override;

    void SelectLevel(int index);
    void ResetRequisition();
    void SetDeployingPlayer(int team);
    void ShowClassPreview(int rosterIndex);

    int GetDeployingPlayer() const { return m_deployingPlayer; }
    int GetRequisitionLeft(int team) const { return team == 0 || team == 1 ? m_requisitionLeft[team] : 0; }
    int GetLevelIndex() const { return m_levelIndex; }
    int GetShownClass() const { return m_shownClass; }
    TextLabel* GetInfoLabel(int index) const;
    // The unit the class preview draws for a roster index; null outside the roster.
    BoardUnit* GetPreviewUnit(int index) const;
    TextLabel* GetRequisitionLabel() const { return m_requisitionLabel.get(); }
    TextLabel* GetLevelNameLabel() const { return m_levelNameLabel.get(); }
    TextLabel* GetPlayerLabel(int team) const { return team == 0 ? m_playerOneLabel.get() : m_playerTwoLabel.get(); }
    GuiElement* GetPreviewElement() const { return m_previewElement.get(); }

    // The page's controls, found from the end of its button list.
    GuiButton* GetClassButton(int rosterIndex) const;
    GuiButton* GetLeftArrow() const { return ButtonFromEnd(6); }
    GuiButton* GetRightArrow() const { return ButtonFromEnd(5); }
    GuiButton* GetDeployButton() const { return ButtonFromEnd(4); }
    GuiButton* GetBackButton() const { return ButtonFromEnd(3); }
    GuiButton* GetPlayerButton(int team) const { return ButtonFromEnd(team == 0 ? 2 : 1); }
    // The window that shows the board.
    GuiElement* GetSceneWindow() const;

    // The roster button that last played the drag click; -1 before any.
    static int GetLastDragged();
    static void ResetForTests();

private:
    static bool MouseDown(int code);
    // No player deploys: the level's subtitle place is empty and the instructions ask for a player.
    void PromptForPlayer();
    bool UpdateControls(FrontEndLink* link);
    void UpdateRequisition(FrontEndLink* link, int t);
    void UpdateRoster(FrontEndLink* link, int t);
    void BuildLabels();
    void BuildPreviewUnits();
    void ShowClass(int rosterIndex, int team);
    void UpdateLabels();
    void HoverZoneHex(int ownZone, int hoverType);
    void HandlePlacedUnit(int team);
    void CreatePreviewTarget();
    void ReleasePreviewTarget();
    GuiButton* ButtonFromEnd(int fromEnd) const;

    int m_deployingPlayer = NO_PLAYER;
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
};
