#include "ui/DeploymentPage.h"

#include "battle/BoardUnit.h"
#include "battle/Hex.h"
#include "battle/HexGrid.h"
#include "battle/Object.h"
#include "core/ApplicationLink.h"
#include "core/DataManager.h"
#include "core/InputManager.h"
#include "d3d9/D3D9.h"
#include "d3dx9/D3DX9Core.h"
#include "scene/Camera.h"
#include "ui/DeploymentRoster.h"
#include "ui/FrontEndLink.h"
#include "ui/GuiButton.h"
#include "ui/GuiPanel.h"
#include "ui/MouseOverManager.h"
#include "ui/TextLabel.h"
#include "win32/Log.h"

#include <cstdlib>
#include <utility>

namespace {
constexpr const char* FONT = "Times New Roman";
// The class description fills the information window from its left margin (635) to its inner frame.
constexpr int DESCRIPTION_WIDTH = 362;

// The descriptions come with their lines broken for another typeface; they are one paragraph each, flowed
// again to the window's width so that no line overruns the frame or stops halfway across.
std::string FlowedText(const char* text)
{
    std::string flowed;
    for (const char* p = text; *p != '\0'; ++p) {
        // A word split over two lines ("half-\nplated") is joined again.
        if (*p == '\n' && !flowed.empty() && flowed.back() == '-')
            continue;
        const char c = *p == '\n' ? ' ' : *p;
        if (c == ' ' && (flowed.empty() || flowed.back() == ' '))
            continue;
        flowed.push_back(c);
    }
    while (!flowed.empty() && flowed.back() == ' ')
        flowed.pop_back();
    return flowed;
}

const D3DXCOLOR WHITE(1.0f, 1.0f, 1.0f, 1.0f);
// The class sheet's figures, as red as a spent requisition.
const D3DXCOLOR CLASS_SHEET_RED(1.0f, 0.0f, 0.0f, 1.0f);
const D3DXCOLOR ROSTER_COLOUR(0.5f, 0.5f, 0.5f, 0.25f);

const char* const SELECT_PLAYER_TEXT = "          Select Player 1 | 2\n        to begin deployment\n\n"
                                       "                Prev | Next\n                     Map";

void Mirror(GuiElement* element)
{
    std::swap(element->leftU, element->rightU);
    element->UpdateVertices();
}

void Flip(GuiElement* element)
{
    std::swap(element->topV, element->bottomV);
    element->UpdateVertices();
}

// The class preview: figures stand about 112 units tall (the knight with its plume nearer 135).
constexpr float PREVIEW_CENTRE_HEIGHT = 60.0f;
constexpr float PREVIEW_SET_BACK = 110.0f;

const char* const DRAG_UNITS_TEXT =
    "Drag Units Onto Green Hexes\n\n\n                Prev | Next\n                     Map";

int g_lastDragged = -1;

const D3DXCOLOR REQUISITION_SPENT(1.0f, 0.0f, 0.0f, 1.0f);

D3DXCOLOR PlayerTint(int team)
{
    return team == 0 ? D3DXCOLOR(0.1f, 0.1f, 0.3f, 0.8f) : D3DXCOLOR(0.65f, 0.14f, 0.14f, 0.8f);
}

const D3DXCOLOR REQUISITION_LEFT(1.0f, 1.0f, 1.0f, 1.0f);
} // namespace

DeploymentPage::DeploymentPage(MenuManager& menu) : MenuPage(menu)
{ }

DeploymentPage::~DeploymentPage()
{
    ReleasePreviewTarget();
}

bool DeploymentPage::MouseDown(int code)
{
    InputManager* input = InputManager::Get();
    return input && input->IsMouseButtonDown(code);
}

BoardUnit* DeploymentPage::GetPreviewUnit(int index) const
{
    return index >= 0 && static_cast<size_t>(index) < m_previewUnits.size()
               ? m_previewUnits[static_cast<size_t>(index)].get()
               : nullptr;
}

TextLabel* DeploymentPage::GetInfoLabel(int index) const
{
    return index >= 0 && index < INFO_LABEL_COUNT ? m_infoLabels[index].get() : nullptr;
}

GuiButton* DeploymentPage::ButtonFromEnd(int fromEnd) const
{
    const GuiPanel* page = m_panel.get();
    if (!page || static_cast<int>(page->buttons.size()) < fromEnd)
        return nullptr;
    return page->buttons[page->buttons.size() - static_cast<size_t>(fromEnd)];
}

GuiButton* DeploymentPage::GetClassButton(int rosterIndex) const
{
    const GuiPanel* page = m_panel.get();
    if (!page || rosterIndex < 0 || rosterIndex >= DeploymentRoster::SIZE ||
        static_cast<size_t>(rosterIndex) >= page->buttons.size())
        return nullptr;
    return page->buttons[static_cast<size_t>(rosterIndex)];
}

GuiElement* DeploymentPage::GetSceneWindow() const
{
    const GuiPanel* page = m_panel.get();
    return page && page->images.size() > 9 ? page->images[9] : nullptr;
}

void DeploymentPage::BuildLabels()
{
    m_previewElement = std::make_unique<GuiElement>();
    m_previewElement->Create("default.tga", 765, 40, 212, 160);
    m_previewElement->colour = D3DXCOLOR(1.0f, 1.0f, 1.0f, 0.0f);
    m_previewElement->baseColour = WHITE;
    m_previewElement->targetColour = WHITE;

    m_playerOneLabel = std::make_unique<TextLabel>();
    m_playerOneLabel->CreateFont(24, FONT, 0);
    m_playerOneLabel->SetPosition(32, 36);
    m_playerOneLabel->SetText("Player 1");
    m_playerTwoLabel = std::make_unique<TextLabel>();
    m_playerTwoLabel->CreateFont(24, FONT, 0);
    m_playerTwoLabel->SetPosition(32, 77);
    m_playerTwoLabel->SetText("Player 2");

    const float infoY[INFO_LABEL_COUNT] = {45, 69, 93, 117, 141, 165, 229, 253, 266};
    for (int i = 0; i < INFO_LABEL_COUNT; ++i) {
        m_infoLabels[i] = std::make_unique<TextLabel>();
        TextLabel* label = m_infoLabels[i].get();
        label->CreateFont(18, FONT, 0);
        label->SetPosition(i == 8 ? 406.0f : 635.0f, infoY[i]);
        const D3DXCOLOR colour = i == 8 ? WHITE : CLASS_SHEET_RED;
        label->colour = colour;
        label->baseColour = colour;
        label->normalColour = colour;
    }
    m_infoLabels[4]->SetText("Spells:");
    m_infoLabels[5]->ResizeFont(14, false);
    m_infoLabels[6]->SetText(std::string(53, '-'));
    m_infoLabels[7]->wrapWidth = DESCRIPTION_WIDTH;

    m_requisitionLabel = std::make_unique<TextLabel>();
    // At 36 high from x 750 the words ran into the right dragon; 32 high and centred they fit beside it.
    m_requisitionLabel->SetFont(32, FONT, &m_requisitionRect);
    m_requisitionLabel->SetPosition(750, 600);

    m_levelNameLabel = std::make_unique<TextLabel>();
    m_levelNameLabel->SetFont(36, FONT, &m_levelNameRect);
    m_levelNameLabel->SetPosition(300, 355);
    m_levelNameLabel->baseColour = WHITE;
    m_levelNameLabel->effect = EFFECT_FADE_ALPHA_TO_BASE;
}

void DeploymentPage::Build()
{
    BuildLabels();
    DataManager* data = DataManager::Get();
    const float w = static_cast<float>(data->GetBackBufferWidth());
    const float h = static_cast<float>(data->GetBackBufferHeight());
    GuiPanel* page = m_panel.get();

    m_classFiles.clear();
    m_classDescriptions.clear();
    m_previewUnits.clear();
    m_classCosts.clear();
    for (int k = 0; k < DeploymentRoster::SIZE; ++k) {
        m_classFiles.emplace_back(DeploymentRoster::ClassFile(k));
        m_classDescriptions.push_back(FlowedText(DeploymentRoster::Description(k)));
        m_classCosts.push_back(DeploymentRoster::Cost(k));
    }

    const D3DXCOLOR ground(0.05f, 0.045f, 0.03f, 1.0f);
    page->AddPlainImage(0, 0, w, h, ground, ground);
    page->AddImage("BGTop.tga", 0, -11, w, 67, WHITE)->SetTexCoordMax(6.4f, 1.0f);
    GuiElement* leftSide = page->AddImage("BGSides.tga", 0, 0, 37, h, WHITE);
    leftSide->SetTexCoordMax(1.0f, 6.4f);
    Mirror(leftSide);
    page->AddImage("BGSides.tga", w - 37, 0, 37, h, WHITE)->SetTexCoordMax(1.0f, 6.4f);
    page->AddImage("BGBottom.tga", 0, h - 26, w, 26, WHITE)->SetTexCoordMax(6.4f, 1.0f);
    Flip(page->AddImage("BGCorner.tga", w - 131, 0, 131, 131, WHITE));
    GuiElement* topLeft = page->AddImage("BGCorner.tga", 0, 0, 131, 131, WHITE);
    Flip(topLeft);
    Mirror(topLeft);
    Mirror(page->AddImage("BGCorner.tga", 0, h - 131, 131, 131, WHITE));
    page->AddImage("BGCorner.tga", w - 131, h - 131, 131, 131, WHITE);
    page->AddPlainImage(62, 359, 647, 385, WHITE, WHITE);
    page->AddImage("infoWindow.tga", 613, 14, 405, 437, WHITE);
    for (int k = 0; k < DeploymentRoster::SIZE; ++k) {
        const DeploymentRoster::Point box = DeploymentRoster::BoxTopLeft(k);
        page->AddPlainImage(box.x, box.y, 96, 116, ROSTER_COLOUR, ROSTER_COLOUR);
        page->AddImage("Characterboarder.tga", box.x, box.y, 96, 116, ROSTER_COLOUR);
        page->AddImage(DeploymentRoster::CostBadge(k), box.x + 71, box.y, 25, 39, ROSTER_COLOUR);
    }
    page->AddImage("LDragon.tga", 0, h - 468, 307, 468, WHITE);
    page->AddImage("RDragon.tga", 450, h - 462, 578, 462, WHITE);
    page->AddImage("TopBar.tga", 168, 355, 441, 5, WHITE);
    const D3DXCOLOR nameBar(0.5f, 0.5f, 0.5f, 0.45f);
    page->AddPlainImage(190, 358, 400, 35, nameBar, nameBar);
    page->AddImage("PlayerButtonBG.tga", 16, 8, 144, 103, WHITE);

    for (int k = 0; k < DeploymentRoster::SIZE; ++k) {
        const DeploymentRoster::Point box = DeploymentRoster::BoxTopLeft(k);
        page->AddButton(DeploymentRoster::IconTexture(k), box.x + 16, box.y + 16, 64, 77, ROSTER_COLOUR);
    }
    page->AddIconButton("MapArrowLeft.tga", 400, 310, 61, 41, WHITE, "MapArrowLeftPress.tga", 0, 0);
    page->AddIconButton("MapArrowRight.tga", 545, 310, 61, 41, WHITE, "MapArrowRightPress.tga", 0, 0);
    GuiButton* deploy =
        page->AddIconButton("DeployButton_f2.tga", 322, h - 79, 128, 79, WHITE, "DeployOverButton.tga", 0, 0);
    deploy->topV = 0.5f;
    deploy->bottomV = 1.0f;
    deploy->enabled = false;
    deploy->UpdateVertices();
    page->AddIconButton("BackButton.tga", w - 156, h - 65, 128, 57, WHITE, "BackOverButton.tga", 0, 0);
    page->AddIconButton("PlayerButtonBlue.tga", 27, 33, 121, 28, WHITE, "PlayerOverButtonBlue.tga", 0, 0);
    page->AddIconButton("PlayerButtonRed.tga", 27, 74, 121, 28, WHITE, "PlayerOverButtonRed.tga", 0, 0);
    page->AddExtraElement("CharacterWindow.tga", 765, 40, 212, 160, WHITE);

    BuildPreviewUnits();
    SelectLevel(1);
    CreatePreviewTarget();
}

void DeploymentPage::BuildPreviewUnits()
{
    FrontEndLink* link = Link();
    if (!link)
        return;
    for (const std::string& file : m_classFiles)
        m_previewUnits.push_back(link->CreatePreviewUnit(file));
}

void DeploymentPage::SelectLevel(int index)
{
    const int shown = m_levelIndex;
    m_levelIndex = index;
    if (m_levelIndex < 0)
        m_levelIndex = 1;
    if (m_levelIndex > 1)
        m_levelIndex = 0;
    FrontEndLink* link = Link();
    if (link)
        link->ResetLevel();
    // A unit still held by the pointer belongs to the level that is going.
    MouseOverManager::Get()->SetDragged(nullptr);
    // A refused level file leaves the last level on screen: the page keeps naming that one.
    if (link && !link->LoadLevel(m_levelIndex == 0 ? "Farm" : "Winter"))
        m_levelIndex = shown;
    if (m_levelNameLabel)
        m_levelNameLabel->SetText(m_levelIndex == 0 ? "- Barrithorn Farm -" : "- Timberwolf Ravine -");
    PromptForPlayer();
}

void DeploymentPage::PromptForPlayer()
{
    if (m_infoLabels[7]) {
        m_infoLabels[7]->SetText("");
        m_infoLabels[7]->SetPosition(645, 72);
    }
    if (m_infoLabels[8])
        m_infoLabels[8]->SetText(SELECT_PLAYER_TEXT);
}

void DeploymentPage::ResetRequisition()
{
    m_deployingPlayer = NO_PLAYER;
    m_requisitionLeft[0] = m_startingRequisition;
    m_requisitionLeft[1] = m_startingRequisition;
    // The last class shown and the drag instructions belonged to the player who was deploying (a rematch
    // comes back to the screen with nobody deploying).
    PromptForPlayer();
}

int DeploymentPage::GetLastDragged()
{
    return g_lastDragged;
}

void DeploymentPage::ResetForTests()
{
    g_lastDragged = -1;
}

void DeploymentPage::SetDeployingPlayer(int team)
{
    if (team != 0 && team != 1)
        return;
    FrontEndLink* link = Link();
    if (link)
        link->SetGameState(GAME_STATE_DEPLOYMENT);
    m_deployingPlayer = team;
    if (link)
        link->AddPlayer(team);

    GuiPanel* page = m_panel.get();
    const D3DXCOLOR tint = team == 0 ? D3DXCOLOR(0.1f, 0.1f, 0.3f, 0.5f) : D3DXCOLOR(0.45f, 0.14f, 0.14f, 0.5f);
    for (int k = 0; k < DeploymentRoster::SIZE; ++k)
        page->images[11 + 3 * static_cast<size_t>(k)]->targetColour = tint;
    for (int k = 0; k < DeploymentRoster::SIZE; ++k) {
        GuiButton* button = GetClassButton(k);
        button->gliding = true;
        button->ClearFlags();
    }
    for (GuiButton* button : page->buttons)
        button->enabled = true;

    m_infoLabels[8]->SetText(DRAG_UNITS_TEXT);
    m_shownClass = -1;

    HexGrid* grid = link ? link->GetHexGrid() : nullptr;
    const HexType own = team == 0 ? HEX_DEPLOY_TEAM0 : HEX_DEPLOY_TEAM1;
    const HexType other = team == 0 ? HEX_DEPLOY_TEAM1 : HEX_DEPLOY_TEAM0;
    Hex* ownCentre = grid ? grid->CentreOfType(own) : nullptr;
    Hex* otherCentre = grid ? grid->CentreOfType(other) : nullptr;
    // A level without both zones keeps the camera where it is.
    if (!ownCentre || !otherCentre)
        return;
    const D3DXVECTOR3 ownPoint(ownCentre->CentreX(), 0.0f, ownCentre->CentreZ());
    const D3DXVECTOR3 otherPoint(otherCentre->CentreX(), 0.0f, otherCentre->CentreZ());
    D3DXVECTOR3 d = otherPoint - ownPoint;
    D3DXVec3Normalize(&d, &d);
    D3DXVECTOR3 eye = ownPoint - 1250.0f * d;
    eye.y += 700.0f;
    Camera::Get()->SetEyeAndTarget(eye, ownPoint);
    Camera::Get()->Update();
}

void DeploymentPage::ShowClass(int i, int team)
{
    QueueSound("UI_HOVER.wav");
    const D3DXCOLOR tint = PlayerTint(team);
    for (int l = 0; l < 8; ++l) {
        TextLabel* label = m_infoLabels[l].get();
        label->colour = tint;
        label->baseColour = tint;
        label->normalColour = tint;
        label->effect = EFFECT_FADE_TO_TARGET;
        label->pendingEffect = EFFECT_FADE_TO_TARGET;
        label->effectTimer = 0.0f;
    }
    m_shownClass = i;
    m_panel->selected = i;
    ClassSheet sheet;
    FrontEndLink* link = Link();
    if (link && static_cast<size_t>(i) < m_previewUnits.size() && m_previewUnits[static_cast<size_t>(i)])
        sheet = link->DescribeClass(*m_previewUnits[static_cast<size_t>(i)]);
    m_infoLabels[0]->SetNumberText("Strength: %i", sheet.strength, false);
    m_infoLabels[1]->SetNumberText("Mana: %i", sheet.mana, false);
    m_infoLabels[2]->SetNumberText("Intelligence: %i", sheet.intelligence, false);
    // The class's own attack figure, so that classes that hit differently read apart when an army is chosen.
    m_infoLabels[3]->SetNumberText("Damage: %i", sheet.damage, false);
    std::string spells;
    for (const std::string& name : sheet.spellNames)
        spells += "  " + name + "\n";
    m_infoLabels[5]->SetText(spells);
    m_infoLabels[7]->SetPosition(635, 253);
    m_infoLabels[7]->SetText(m_classDescriptions[static_cast<size_t>(i)]);
}

void DeploymentPage::HoverZoneHex(int ownZone, int hoverType)
{
    // The board is only under the pointer where the scene window shows it.
    const GuiElement* window = GetSceneWindow();
    const POINT p = MouseOverManager::Get()->GetPointerPosition();
    const bool inside = window && p.x >= static_cast<LONG>(window->left) && p.x < static_cast<LONG>(window->right) &&
                        p.y >= static_cast<LONG>(window->top) && p.y < static_cast<LONG>(window->bottom);
    if (!inside) {
        MouseOverManager::Get()->SetHovered(nullptr);
        return;
    }
    FrontEndLink* link = Link();
    HexGrid* grid = link ? link->GetHexGrid() : nullptr;
    if (!grid)
        return;
    if (ownZone >= 0)
        grid->HoverHexOfDefaultType(ownZone);
    else
        grid->HoverHexOfType(hoverType);
}

void DeploymentPage::Update()
{
    FrontEndLink* link = Link();
    GuiElement* window = GetSceneWindow();
    if (link) {
        link->FitSceneToRect(*window);
        window->SetFrameTexture(link->GetSceneTexture());
    }
    MouseOverManager::Get()->MoveDraggedToHoveredHex();
    UpdateLabels();
    if (UpdateControls(link))
        return;

    const int t = m_deployingPlayer;
    if (t != 0 && t != 1)
        return;
    UpdateRequisition(link, t);
    UpdateRoster(link, t);

    if (m_shownClass >= 0) {
        ShowClassPreview(m_shownClass);
        m_previewElement->Update();
    }

    HoverZoneHex(-1, HEX_OCCUPIED);
    HandlePlacedUnit(t);
}

// The level arrows, Back, Deploy and the two player buttons; true once Deploy has left the page.
bool DeploymentPage::UpdateControls(FrontEndLink* link)
{
    if (GetLeftArrow()->clicked)
        SelectLevel(m_levelIndex + 1);
    else if (GetRightArrow()->clicked)
        SelectLevel(m_levelIndex - 1);

    if (GetBackButton()->clicked) {
        Camera::Get()->SetPreset(m_levelIndex);
        if (link)
            link->SetGameState(GAME_STATE_MAIN_MENU);
        QueueSound("UI_BACK.wav");
    }

    GuiButton* deploy = GetDeployButton();
    if (!link || !link->BothPlayersHaveUnits()) {
        deploy->topV = 0.5f;
        deploy->bottomV = 1.0f;
        deploy->enabled = false;
    } else {
        deploy->topV = 0.0f;
        deploy->bottomV = 0.5f;
        deploy->enabled = true;
        if (deploy->clicked) {
            QueueSound("UI_CLICK.wav");
            // The loading screen's empty page gives the scene the whole screen back when it shows; until then
            // this page still draws the board in its window.
            link->SetGameState(GAME_STATE_LOADING);
            return true;
        }
    }

    if (GetPlayerButton(0)->clicked) {
        QueueSound("UI_BACK.wav");
        SetDeployingPlayer(0);
    } else if (GetPlayerButton(1)->clicked) {
        QueueSound("UI_BACK.wav");
        SetDeployingPlayer(1);
    }
    return false;
}

// The deploying player's requisition, and the board shows that player's zone.
void DeploymentPage::UpdateRequisition(FrontEndLink* link, int t)
{
    const bool spent = m_requisitionLeft[t] <= 0;
    m_requisitionLabel->colour = spent ? REQUISITION_SPENT : REQUISITION_LEFT;
    m_requisitionLabel->baseColour = m_requisitionLabel->colour;
    m_requisitionLabel->normalColour = m_requisitionLabel->colour;
    m_requisitionLabel->SetNumberText("Requisition Left:\n%i", m_requisitionLeft[t], false);
    const HexType ownZone = t == 0 ? HEX_DEPLOY_TEAM0 : HEX_DEPLOY_TEAM1;
    if (HexGrid* grid = link ? link->GetHexGrid() : nullptr)
        grid->ResetLists(ownZone, true);
    HoverZoneHex(ownZone, -1);
}

// The roster's class buttons: the class shown, a class dragged out and dropped on a hex of the zone.
void DeploymentPage::UpdateRoster(FrontEndLink* link, int t)
{
    GuiPanel* page = m_panel.get();
    MouseOverManager* pointer = MouseOverManager::Get();
    const bool leftHeld = (GetAsyncKeyState(VK_LBUTTON) & 0x8000) != 0;
    for (int i = 0; i < DeploymentRoster::SIZE; ++i) {
        GuiButton* button = GetClassButton(i);
        if ((button->hover || m_shownClass == -1) && i != m_shownClass)
            ShowClass(i, t);

        const bool affordable = m_classCosts[static_cast<size_t>(i)] <= m_requisitionLeft[t];
        // A drag ends whenever the left button is let go, wherever the pointer is.
        const bool released = button->clicked || (button->pressed && !leftHeld);
        if (button->pressed && leftHeld && affordable) {
            if (g_lastDragged != i) {
                QueueSound("UI_CLICK.wav");
                g_lastDragged = i;
            }
            for (GuiButton* other : page->buttons)
                other->enabled = other == button;
            button->FollowPointer();
            button->gliding = false;
            page->selected = i;
        } else {
            button->gliding = true;
        }

        if (released) {
            button->pressed = false;
            if (affordable) {
                QueueSound("UI_CLICK.wav");
                for (GuiButton* other : page->buttons)
                    other->enabled = true;
                Hex* hex = pointer->GetHovered();
                if (hex && hex->IsPickable() && link) {
                    link->AddUnit(t, m_classFiles[static_cast<size_t>(i)], hex->row, hex->column);
                    link->LoadUnitModels(false);
                    m_requisitionLeft[t] -= m_classCosts[static_cast<size_t>(i)];
                }
            }
        }
    }
}

void DeploymentPage::HandlePlacedUnit(int t)
{
    FrontEndLink* link = Link();
    MouseOverManager* pointer = MouseOverManager::Get();
    Hex* hex = pointer->GetHovered();
    const bool leftDown = MouseDown(MOUSE_LBUTTON);
    if (!hex || !hex->occupant || !link) {
        // A placed unit is carried only while the left button holds it.
        if (!leftDown)
            pointer->SetDragged(nullptr);
        return;
    }
    const PlacedUnit placed = link->DescribeOccupant(hex->occupant);
    if (!placed.unit || !placed.loaded) {
        if (!leftDown)
            pointer->SetDragged(nullptr);
        return;
    }
    // Only the deploying player's own units can be sold back or moved.
    const bool own = placed.team == t;
    if (MouseDown(MOUSE_RBUTTON)) {
        if (own && link->RemoveUnit(t, placed.unit))
            m_requisitionLeft[t] += placed.cost;
        pointer->SetDragged(nullptr);
    } else if (leftDown) {
        if (m_panel->CountEnabledButtons() != 1 && own)
            pointer->SetDragged(placed.unit);
    } else {
        pointer->SetDragged(nullptr);
    }
}

void DeploymentPage::UpdateLabels()
{
    m_playerOneLabel->Update();
    m_playerTwoLabel->Update();
    m_requisitionLabel->Update();
    m_levelNameLabel->Update();
    for (auto& label : m_infoLabels)
        label->Update();
}

void DeploymentPage::ShowClassPreview(int i)
{
    if (i < 0 || static_cast<size_t>(i) >= m_previewUnits.size() || !m_previewUnits[static_cast<size_t>(i)])
        return;
    BoardUnit* unit = m_previewUnits[static_cast<size_t>(i)].get();
    Camera* camera = Camera::Get();
    const D3DXVECTOR3 savedEye = camera->GetEye();
    const D3DXVECTOR3 savedLookAt = camera->GetLookAt();
    // The figure stands on the origin facing -z. The camera looks at its middle from a little lower down and
    // far enough back that the whole figure, hat and weapon included, fits inside the frame drawn over it; the
    // class's own distance still keeps the bigger figures farther off than the smaller ones.
    const float d = DeploymentRoster::PreviewDistance(i) + PREVIEW_SET_BACK;
    const D3DXVECTOR3 eye(0.0f, PREVIEW_CENTRE_HEIGHT - 20.0f, -d);
    // The knight is turned to the preview camera, not to the board's camera that happens to be saved.
    if (i == 8)
        unit->FaceTowards(eye.x, eye.z, 1.0f);
    camera->SetEyeAndTarget(eye, D3DXVECTOR3(0.0f, PREVIEW_CENTRE_HEIGHT, 0.0f));
    camera->SetProjectionFov(m_previewElement->width, m_previewElement->height, 1.0f, 500.0f);
    camera->Update();

    IDirect3DDevice9* device = DataManager::Get()->GetDevice();
    if (m_previewRenderer && m_previewSurface && device &&
        SUCCEEDED(m_previewRenderer->BeginScene(m_previewSurface, nullptr))) {
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, D3DCOLOR_ARGB(255, 192, 192, 192), 1.0f, 0);
        DataManager::Get()->SetTechnique("SkinnedCharacterBump");
        unit->Update();
        unit->Render();
        m_previewRenderer->EndScene(0);
        m_previewElement->SetFrameTexture(m_previewTexture);
    }
    camera->SetEyeAndTarget(savedEye, savedLookAt);
    camera->SetProjection();
    camera->Update();
}

void DeploymentPage::Render()
{
    m_playerOneLabel->QueueDraw();
    m_playerTwoLabel->QueueDraw();
    m_levelNameLabel->QueueDraw();
    GuiPanel* page = m_panel.get();
    page->Render();
    if (m_deployingPlayer != 0 && m_deployingPlayer != 1) {
        m_infoLabels[7]->QueueDraw();
        m_infoLabels[8]->QueueDraw();
        return;
    }
    for (auto& label : m_infoLabels)
        label->QueueDraw();
    m_requisitionLabel->QueueDraw();
    IDirect3DDevice9* device = DataManager::Get()->GetDevice();
    if (device)
        device->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1);
    m_previewElement->DrawQuad();
    if (!page->extraElements.empty())
        page->extraElements[0]->Render();
}

void DeploymentPage::CreatePreviewTarget()
{
    ReleasePreviewTarget();
    DataManager* data = DataManager::Get();
    IDirect3DDevice9* device = data->GetDevice();
    if (!device)
        return;
    ApplicationLink* app = data->GetApplication();
    const D3DFORMAT format = app ? app->GetBackBufferFormat() : D3DFMT_X8R8G8B8;
    const bool made = SUCCEEDED(device->CreateTexture(PREVIEW_WIDTH, PREVIEW_HEIGHT, 1, D3DUSAGE_RENDERTARGET, format,
                                                      D3DPOOL_DEFAULT, &m_previewTexture, nullptr)) &&
                      m_previewTexture && SUCCEEDED(m_previewTexture->GetSurfaceLevel(0, &m_previewSurface)) &&
                      m_previewSurface &&
                      SUCCEEDED(D3DXCreateRenderToSurface(device, PREVIEW_WIDTH, PREVIEW_HEIGHT, format, TRUE,
                                                          D3DFMT_D16, &m_previewRenderer)) &&
                      m_previewRenderer;
    if (!made) {
        Log(LogLevel::ERROR, "menu.preview_target", "cannot create the class preview's render target");
        std::exit(EXIT_FAILURE);
    }
}

void DeploymentPage::ReleasePreviewTarget()
{
    if (m_previewTexture) {
        m_previewTexture->Release();
        m_previewTexture = nullptr;
    }
    if (m_previewSurface) {
        m_previewSurface->Release();
        m_previewSurface = nullptr;
    }
    if (m_previewRenderer) {
        m_previewRenderer->Release();
        m_previewRenderer = nullptr;
    }
}

void DeploymentPage::OnLostDevice()
{
    MenuPage::OnLostDevice();
    for (TextLabel* label : {m_playerOneLabel.get(), m_playerTwoLabel.get()})
        if (label)
            label->OnLostDevice();
    for (auto& label : m_infoLabels)
        if (label)
            label->OnLostDevice();
    if (m_previewElement)
        m_previewElement->OnLostDevice();
    for (TextLabel* label : {m_requisitionLabel.get(), m_levelNameLabel.get()})
        if (label)
            label->OnLostDevice();
    if (m_previewElement)
        m_previewElement->SetFrameTexture(nullptr);
    ReleasePreviewTarget();
}

void DeploymentPage::OnResetDevice()
{
    MenuPage::OnResetDevice();
    m_playerOneLabel->OnResetDevice();
    m_playerTwoLabel->OnResetDevice();
    for (auto& label : m_infoLabels)
        label->OnResetDevice();
    m_previewElement->OnResetDevice();
    m_requisitionLabel->OnResetDevice();
    m_levelNameLabel->OnResetDevice();
    CreatePreviewTarget();
}

void DeploymentPage::Destroy()
{
    MenuPage::Destroy();
    for (auto& label : m_infoLabels)
        if (label) {
            label->Unqueue();
            label.reset();
        }
    if (m_previewElement) {
        m_previewElement->SetFrameTexture(nullptr);
        m_previewElement->OnLostDevice();
        m_previewElement.reset();
    }
    for (auto* label : {&m_requisitionLabel, &m_levelNameLabel, &m_playerOneLabel, &m_playerTwoLabel})
        if (*label) {
            (*label)->Unqueue();
            label->reset();
        }
    ReleasePreviewTarget();
    for (auto& unit : m_previewUnits)
        if (unit)
            unit->Release();
    m_previewUnits.clear();
}
