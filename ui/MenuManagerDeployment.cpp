// NOLINTBEGIN(readability-identifier-naming): this file is being split; its names follow the naming rule then.
// The front end's deployment page: whose army deploys, the roster and its class preview, the requisition, the
// units placed and picked up again on the board.
#include "ui/MenuManager.h"

#include "battle/BoardUnit.h"
#include "battle/Hex.h"
#include "battle/HexGrid.h"
#include "battle/Object.h"
#include "core/ApplicationLink.h"
#include "core/DataManager.h"
#include "core/InputManager.h"
#include "core/SoundQueue.h"
#include "d3d9/D3D9.h"
#include "d3dx9/D3DX9Core.h"
#include "scene/Camera.h"
#include "ui/DeploymentRoster.h"
#include "ui/FrontEndLink.h"
#include "ui/GuiButton.h"
#include "ui/GuiPanel.h"
#include "ui/MouseOverManager.h"
#include "ui/TextLabel.h"
#include "ui/VideoWidget.h"
#include "win32/Log.h"

#include <cstdlib>
#include <utility>

namespace {
// The class preview: figures stand about 112 units tall (the knight with its plume nearer 135).
constexpr float kPreviewCentreHeight = 60.0f;
constexpr float kPreviewSetBack = 110.0f;

const char* const kDragUnitsText =
    "Drag Units Onto Green Hexes\n\n\n                Prev | Next\n                     Map";

int g_lastDragged = -1;

const D3DXCOLOR kRequisitionSpent(1.0f, 0.0f, 0.0f, 1.0f);

D3DXCOLOR PlayerTint(int team)
{
    return team == 0 ? D3DXCOLOR(0.1f, 0.1f, 0.3f, 0.8f) : D3DXCOLOR(0.65f, 0.14f, 0.14f, 0.8f);
}

const D3DXCOLOR kRequisitionLeft(1.0f, 1.0f, 1.0f, 1.0f);
} // namespace

int MenuManager::GetLastDragged()
{
    return g_lastDragged;
}

void MenuManager::ResetForTests()
{
    g_lastDragged = -1;
}

void MenuManager::SetDeployingPlayer(int team)
{
    if (team != 0 && team != 1)
        return;
    FrontEndLink* link = Link();
    if (link)
        link->SetGameState(GAME_STATE_DEPLOYMENT);
    deployingPlayer = team;
    if (link)
        link->AddPlayer(team);

    GuiPanel* page = pages[SCREEN_DEPLOYMENT].get();
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

    infoLabels[8]->SetText(kDragUnitsText);
    shownClass = -1;

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

void MenuManager::ShowClass(int i, int team)
{
    QueueSound("UI_HOVER.wav");
    const D3DXCOLOR tint = PlayerTint(team);
    for (int l = 0; l < 8; ++l) {
        TextLabel* label = infoLabels[l].get();
        label->colour = tint;
        label->baseColour = tint;
        label->normalColour = tint;
        label->effect = EFFECT_FADE_TO_TARGET;
        label->pendingEffect = EFFECT_FADE_TO_TARGET;
        label->effectTimer = 0.0f;
    }
    shownClass = i;
    pages[SCREEN_DEPLOYMENT]->selected = i;
    ClassSheet sheet;
    FrontEndLink* link = Link();
    if (link && static_cast<size_t>(i) < previewUnits.size() && previewUnits[static_cast<size_t>(i)])
        sheet = link->DescribeClass(*previewUnits[static_cast<size_t>(i)]);
    infoLabels[0]->SetNumberText("Strength: %i", sheet.strength, false);
    infoLabels[1]->SetNumberText("Mana: %i", sheet.mana, false);
    infoLabels[2]->SetNumberText("Intelligence: %i", sheet.intelligence, false);
    // The class's own attack figure, so that classes that hit differently read apart when an army is chosen.
    infoLabels[3]->SetNumberText("Damage: %i", sheet.damage, false);
    std::string spells;
    for (const std::string& name : sheet.spellNames)
        spells += "  " + name + "\n";
    infoLabels[5]->SetText(spells);
    infoLabels[7]->SetPosition(635, 253);
    infoLabels[7]->SetText(classDescriptions[static_cast<size_t>(i)]);
}

void MenuManager::HoverZoneHex(int ownZone, int hoverType)
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

void MenuManager::UpdateDeployment()
{
    FrontEndLink* link = Link();
    GuiElement* window = GetSceneWindow();
    if (link) {
        link->FitSceneToRect(*window);
        window->SetFrameTexture(link->GetSceneTexture());
    }
    MouseOverManager::Get()->MoveDraggedToHoveredHex();
    UpdateDeploymentLabels();
    if (UpdateDeploymentControls(link))
        return;

    const int t = deployingPlayer;
    if (t != 0 && t != 1)
        return;
    UpdateRequisition(link, t);
    UpdateRoster(link, t);

    if (shownClass >= 0) {
        ShowClassPreview(shownClass);
        previewElement->Update();
    }

    HoverZoneHex(-1, HEX_OCCUPIED);
    HandlePlacedUnit(t);
}

// The level arrows, Back, Deploy and the two player buttons; true once Deploy has left the page.
bool MenuManager::UpdateDeploymentControls(FrontEndLink* link)
{
    if (GetLeftArrow()->clicked)
        SelectLevel(levelIndex + 1);
    else if (GetRightArrow()->clicked)
        SelectLevel(levelIndex - 1);

    if (GetBackButton()->clicked) {
        Camera::Get()->SetPreset(levelIndex);
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
            link->SetGameState(GAME_STATE_LOADING);
            link->ResetSceneRect();
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
void MenuManager::UpdateRequisition(FrontEndLink* link, int t)
{
    const bool spent = requisitionLeft[t] <= 0;
    requisitionLabel->colour = spent ? kRequisitionSpent : kRequisitionLeft;
    requisitionLabel->baseColour = requisitionLabel->colour;
    requisitionLabel->normalColour = requisitionLabel->colour;
    requisitionLabel->SetNumberText("Requisition Left:\n%i", requisitionLeft[t], false);
    const HexType ownZone = t == 0 ? HEX_DEPLOY_TEAM0 : HEX_DEPLOY_TEAM1;
    if (HexGrid* grid = link ? link->GetHexGrid() : nullptr)
        grid->ResetLists(ownZone, true);
    HoverZoneHex(ownZone, -1);
}

// The roster's class buttons: the class shown, a class dragged out and dropped on a hex of the zone.
void MenuManager::UpdateRoster(FrontEndLink* link, int t)
{
    GuiPanel* page = pages[SCREEN_DEPLOYMENT].get();
    MouseOverManager* pointer = MouseOverManager::Get();
    const bool leftHeld = (GetAsyncKeyState(VK_LBUTTON) & 0x8000) != 0;
    for (int i = 0; i < DeploymentRoster::SIZE; ++i) {
        GuiButton* button = GetClassButton(i);
        if ((button->hover || shownClass == -1) && i != shownClass)
            ShowClass(i, t);

        const bool affordable = classCosts[static_cast<size_t>(i)] <= requisitionLeft[t];
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
                    link->AddUnit(t, classFiles[static_cast<size_t>(i)], hex->row, hex->column);
                    link->LoadUnitModels(false);
                    requisitionLeft[t] -= classCosts[static_cast<size_t>(i)];
                }
            }
        }
    }
}

void MenuManager::HandlePlacedUnit(int t)
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
            requisitionLeft[t] += placed.cost;
        pointer->SetDragged(nullptr);
    } else if (leftDown) {
        if (pages[SCREEN_DEPLOYMENT]->CountEnabledButtons() != 1 && own)
            pointer->SetDragged(placed.unit);
    } else {
        pointer->SetDragged(nullptr);
    }
}

void MenuManager::UpdateDeploymentLabels()
{
    playerOneLabel->Update();
    playerTwoLabel->Update();
    requisitionLabel->Update();
    levelNameLabel->Update();
    for (auto& label : infoLabels)
        label->Update();
}

void MenuManager::ShowClassPreview(int i)
{
    if (i < 0 || static_cast<size_t>(i) >= previewUnits.size() || !previewUnits[static_cast<size_t>(i)])
        return;
    BoardUnit* unit = previewUnits[static_cast<size_t>(i)].get();
    Camera* camera = Camera::Get();
    const D3DXVECTOR3 savedEye = camera->GetEye();
    const D3DXVECTOR3 savedLookAt = camera->GetLookAt();
    // The figure stands on the origin facing -z. The camera looks at its middle from a little lower down and
    // far enough back that the whole figure, hat and weapon included, fits inside the frame drawn over it; the
    // class's own distance still keeps the bigger figures farther off than the smaller ones.
    const float d = DeploymentRoster::PreviewDistance(i) + kPreviewSetBack;
    const D3DXVECTOR3 eye(0.0f, kPreviewCentreHeight - 20.0f, -d);
    // The knight is turned to the preview camera, not to the board's camera that happens to be saved.
    if (i == 8)
        unit->FaceTowards(eye.x, eye.z, 1.0f);
    camera->SetEyeAndTarget(eye, D3DXVECTOR3(0.0f, kPreviewCentreHeight, 0.0f));
    camera->SetProjectionFov(previewElement->width, previewElement->height, 1.0f, 500.0f);
    camera->Update();

    IDirect3DDevice9* device = DataManager::Get()->GetDevice();
    if (previewRenderer && previewSurface && device &&
        SUCCEEDED(previewRenderer->BeginScene(previewSurface, nullptr))) {
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, D3DCOLOR_ARGB(255, 192, 192, 192), 1.0f, 0);
        DataManager::Get()->SetTechnique("SkinnedCharacterBump");
        unit->Update();
        unit->Render();
        previewRenderer->EndScene(0);
        previewElement->SetFrameTexture(previewTexture);
    }
    camera->SetEyeAndTarget(savedEye, savedLookAt);
    camera->SetProjection();
    camera->Update();
}

void MenuManager::RenderDeployment()
{
    playerOneLabel->QueueDraw();
    playerTwoLabel->QueueDraw();
    levelNameLabel->QueueDraw();
    GuiPanel* page = pages[SCREEN_DEPLOYMENT].get();
    page->Render();
    if (deployingPlayer != 0 && deployingPlayer != 1) {
        infoLabels[7]->QueueDraw();
        infoLabels[8]->QueueDraw();
        return;
    }
    for (auto& label : infoLabels)
        label->QueueDraw();
    requisitionLabel->QueueDraw();
    IDirect3DDevice9* device = DataManager::Get()->GetDevice();
    if (device)
        device->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1);
    previewElement->DrawQuad();
    if (!page->extraElements.empty())
        page->extraElements[0]->Render();
}

void MenuManager::CreatePreviewTarget()
{
    ReleasePreviewTarget();
    DataManager* data = DataManager::Get();
    IDirect3DDevice9* device = data->GetDevice();
    if (!device)
        return;
    ApplicationLink* app = data->GetApplication();
    const D3DFORMAT format = app ? app->GetBackBufferFormat() : D3DFMT_X8R8G8B8;
    const bool made = SUCCEEDED(device->CreateTexture(kPreviewWidth, kPreviewHeight, 1, D3DUSAGE_RENDERTARGET, format,
                                                      D3DPOOL_DEFAULT, &previewTexture, nullptr)) &&
                      previewTexture && SUCCEEDED(previewTexture->GetSurfaceLevel(0, &previewSurface)) &&
                      previewSurface &&
                      SUCCEEDED(D3DXCreateRenderToSurface(device, kPreviewWidth, kPreviewHeight, format, TRUE,
                                                          D3DFMT_D16, &previewRenderer)) &&
                      previewRenderer;
    if (!made) {
        Log(LogLevel::ERROR, "menu.preview_target", "cannot create the class preview's render target");
        std::exit(EXIT_FAILURE);
    }
}

void MenuManager::ReleasePreviewTarget()
{
    if (previewTexture) {
        previewTexture->Release();
        previewTexture = nullptr;
    }
    if (previewSurface) {
        previewSurface->Release();
        previewSurface = nullptr;
    }
    if (previewRenderer) {
        previewRenderer->Release();
        previewRenderer = nullptr;
    }
}
// NOLINTEND(readability-identifier-naming)
