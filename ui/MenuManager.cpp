// NOLINTBEGIN(readability-identifier-naming): this file is being split; its names follow the naming rule then.
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

constexpr int kKeySpace = 0x39;
constexpr int kKeyEscape = 0x01;
constexpr int kSoundClass = 9;
constexpr const char* kFont = "Times New Roman";
constexpr float kIconEffectSpeed = 8.0f;
// The class description fills the information window from its left margin (635) to its inner frame.
constexpr int kDescriptionWidth = 362;
// The class preview: figures stand about 112 units tall (the knight with its plume nearer 135).
constexpr float kPreviewCentreHeight = 60.0f;
constexpr float kPreviewSetBack = 110.0f;

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

const D3DXCOLOR kWhite(1.0f, 1.0f, 1.0f, 1.0f);

// The enumerator's name, as the screen log writes it.
const char* ScreenName(int screen)
{
    switch (screen) {
    case SCREEN_TITLE:
        return "SCREEN_TITLE";
    case SCREEN_MAIN_MENU:
        return "SCREEN_MAIN_MENU";
    case SCREEN_DEPLOYMENT:
        return "SCREEN_DEPLOYMENT";
    case SCREEN_OPTIONS:
        return "SCREEN_OPTIONS";
    case SCREEN_EMPTY:
        return "SCREEN_EMPTY";
    case SCREEN_END_OF_GAME:
        return "SCREEN_END_OF_GAME";
    default:
        return "SCREEN_UNKNOWN";
    }
}
const D3DXCOLOR kRosterColour(0.5f, 0.5f, 0.5f, 0.25f);
const D3DXCOLOR kRequisitionSpent(1.0f, 0.0f, 0.0f, 1.0f);

const char* const kSelectPlayerText = "          Select Player 1 | 2\n        to begin deployment\n\n"
                                      "                Prev | Next\n                     Map";
const char* const kDragUnitsText =
    "Drag Units Onto Green Hexes\n\n\n                Prev | Next\n                     Map";

int g_lastDragged = -1;

void QueueSound(const char* name)
{
    SoundQueue::Get()->Queue(name, kSoundClass, false, 0.0f);
}

FrontEndLink* Link()
{
    return FrontEndLink::Get();
}

bool KeyDown(int code)
{
    InputManager* input = InputManager::Get();
    return input && input->IsKeyDown(code);
}

bool MouseDown(int code)
{
    InputManager* input = InputManager::Get();
    return input && input->IsMouseButtonDown(code);
}

D3DXCOLOR PlayerTint(int team)
{
    return team == 0 ? D3DXCOLOR(0.1f, 0.1f, 0.3f, 0.8f) : D3DXCOLOR(0.65f, 0.14f, 0.14f, 0.8f);
}

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

} // namespace

MenuManager::MenuManager() = default;

MenuManager::~MenuManager()
{
    Destroy();
}

int MenuManager::GetLastDragged()
{
    return g_lastDragged;
}

void MenuManager::ResetLastDragged()
{
    g_lastDragged = -1;
}

GuiPanel* MenuManager::GetPage(int screen) const
{
    return screen >= 0 && screen < PAGE_COUNT ? pages[screen].get() : nullptr;
}

BoardUnit* MenuManager::GetPreviewUnit(int index) const
{
    return index >= 0 && static_cast<size_t>(index) < previewUnits.size()
               ? previewUnits[static_cast<size_t>(index)].get()
               : nullptr;
}

TextLabel* MenuManager::GetInfoLabel(int index) const
{
    return index >= 0 && index < kInfoLabelCount ? infoLabels[index].get() : nullptr;
}

GuiButton* MenuManager::DeploymentButtonFromEnd(int fromEnd) const
{
    const GuiPanel* page = pages[SCREEN_DEPLOYMENT].get();
    if (!page || static_cast<int>(page->buttons.size()) < fromEnd)
        return nullptr;
    return page->buttons[page->buttons.size() - static_cast<size_t>(fromEnd)];
}

GuiButton* MenuManager::GetClassButton(int rosterIndex) const
{
    const GuiPanel* page = pages[SCREEN_DEPLOYMENT].get();
    if (!page || rosterIndex < 0 || rosterIndex >= DeploymentRoster::SIZE ||
        static_cast<size_t>(rosterIndex) >= page->buttons.size())
        return nullptr;
    return page->buttons[static_cast<size_t>(rosterIndex)];
}

GuiElement* MenuManager::GetSceneWindow() const
{
    const GuiPanel* page = pages[SCREEN_DEPLOYMENT].get();
    return page && page->images.size() > 9 ? page->images[9] : nullptr;
}

void MenuManager::BuildFrontEnd()
{
    DataManager* data = DataManager::Get();
    const float W = static_cast<float>(data->GetBackBufferWidth());
    const float H = static_cast<float>(data->GetBackBufferHeight());

    for (auto& page : pages)
        page = std::make_unique<GuiPanel>();

    struct MenuButton {
        const char* texture;
        const char* icon;
        float x, y, w, h;
    };
    const MenuButton mainMenu[] = {
        {"BT_openStart01.tga", "BT_openStart02.tga", W / 2 - 74, H / 2 - 129, 149, 61},
        {"BT_openHelp01.tga", "BT_openHelp02.tga", W / 2 - 70, H / 2 - 71, 142, 53},
        {"BT_openOpt01.tga", "BT_openOpt02.tga", W / 2 - 71, H / 2 - 11, 143, 56},
        {"BT_openQuit01.tga", "BT_openQuit02.tga", W / 2 - 74, H / 2 + 43, 149, 51},
    };
    for (const MenuButton& b : mainMenu) {
        GuiButton* button = pages[SCREEN_MAIN_MENU]->AddIconButton(b.texture, b.x, b.y, b.w, b.h, kWhite, b.icon, 0, 0);
        button->SetEffectTable(effectTable);
        button->GetIcon()->speed = kIconEffectSpeed;
    }

    BuildLabels();

    GuiPanel* end = pages[SCREEN_END_OF_GAME].get();
    const D3DXCOLOR backdrop(0.27f, 0.2f, 0.2f, 0.9f);
    end->AddPlainImage(62, 355, 906, 385, backdrop, backdrop)->effect = EFFECT_FADE_TO_TARGET;
    end->AddImage("TopBar.tga", 168, 355, 690, 5, kWhite);
    end->AddImage("LDragon.tga", 0, H - 468, 307, 468, kWhite);
    Mirror(end->AddImage("LDragon.tga", W - 307, H - 468, 307, 468, kWhite));
    end->AddImage("end_game_text.tga", W / 2 - 128, 400, 255, 255, kWhite);
    end->AddImage("end_game_player1.tga", 200, 360, 125, 40, kWhite);
    end->AddImage("end_game_player2.tga", 655, 360, 125, 40, kWhite);
    end->AddImage("PlayerButtonBG.tga", 440, 665, 144, 103, kWhite);
    end->AddIconButton("rematchbutton.tga", 451, 690, 121, 28, kWhite, "rematchbuttonOver.tga", 0, 0);
    end->AddIconButton("quitButton.tga", 451, 731, 121, 28, kWhite, "quitButtonOver.tga", 0, 0);

    const char* const options[][2] = {{"800.tga", "800_over.tga"},
                                      {"1024.tga", "1024_over.tga"},
                                      {"1280.tga", "1280_over.tga"},
                                      {"back.tga", "back_over.tga"}};
    for (int i = 0; i < 4; ++i) {
        const MenuButton& b = mainMenu[i];
        GuiButton* button =
            pages[SCREEN_OPTIONS]->AddIconButton(options[i][0], b.x, b.y, b.w, b.h, kWhite, options[i][1], 0, 0);
        button->SetEffectTable(effectTable);
        button->GetIcon()->speed = kIconEffectSpeed;
    }

    BuildDeploymentScreen();

    introVideo = new VideoWidget();
    introVideo->Create("", 0, 0, W, H);
    std::swap(introVideo->topV, introVideo->bottomV);
    introVideo->UpdateVertices();
    introVideo->colour = kWhite;
    introVideo->baseColour = kWhite;
    introVideo->targetColour = kWhite;
    introVideo->effect = EFFECT_FADE_ALPHA_TO_BASE;
    if (!introVideo->Open("GameIntro.avi")) {
        introVideo->Close();
        delete introVideo;
        introVideo = nullptr;
    }

    SelectLevel(1);
    CreatePreviewTarget();
    built = true;
}

void MenuManager::BuildLabels()
{
    previewElement = std::make_unique<GuiElement>();
    previewElement->Create("default.tga", 765, 40, 212, 160);
    previewElement->colour = D3DXCOLOR(1.0f, 1.0f, 1.0f, 0.0f);
    previewElement->baseColour = kWhite;
    previewElement->targetColour = kWhite;

    playerOneLabel = std::make_unique<TextLabel>();
    playerOneLabel->CreateFont(24, kFont, 0);
    playerOneLabel->SetPosition(32, 36);
    playerOneLabel->SetText("Player 1");
    playerTwoLabel = std::make_unique<TextLabel>();
    playerTwoLabel->CreateFont(24, kFont, 0);
    playerTwoLabel->SetPosition(32, 77);
    playerTwoLabel->SetText("Player 2");

    const float infoY[kInfoLabelCount] = {45, 69, 93, 117, 141, 165, 229, 253, 266};
    for (int i = 0; i < kInfoLabelCount; ++i) {
        infoLabels[i] = std::make_unique<TextLabel>();
        TextLabel* label = infoLabels[i].get();
        label->CreateFont(18, kFont, 0);
        label->SetPosition(i == 8 ? 406.0f : 635.0f, infoY[i]);
        const D3DXCOLOR colour = i == 8 ? kWhite : kRequisitionSpent;
        label->colour = colour;
        label->baseColour = colour;
        label->normalColour = colour;
    }
    infoLabels[4]->SetText("Spells:");
    infoLabels[5]->ResizeFont(14, false);
    infoLabels[6]->SetText(std::string(53, '-'));
    infoLabels[7]->wrapWidth = kDescriptionWidth;

    requisitionLabel = std::make_unique<TextLabel>();
    // At 36 high from x 750 the words ran into the right dragon; 32 high and centred they fit beside it.
    requisitionLabel->SetFont(32, kFont, &requisitionRect);
    requisitionLabel->SetPosition(750, 600);

    levelNameLabel = std::make_unique<TextLabel>();
    levelNameLabel->SetFont(36, kFont, &levelNameRect);
    levelNameLabel->SetPosition(300, 355);
    levelNameLabel->baseColour = kWhite;
    levelNameLabel->effect = EFFECT_FADE_ALPHA_TO_BASE;
}

void MenuManager::BuildDeploymentScreen()
{
    DataManager* data = DataManager::Get();
    const float W = static_cast<float>(data->GetBackBufferWidth());
    const float H = static_cast<float>(data->GetBackBufferHeight());
    GuiPanel* page = pages[SCREEN_DEPLOYMENT].get();

    classFiles.clear();
    classDescriptions.clear();
    previewUnits.clear();
    classCosts.clear();
    for (int k = 0; k < DeploymentRoster::SIZE; ++k) {
        classFiles.emplace_back(DeploymentRoster::ClassFile(k));
        classDescriptions.push_back(FlowedText(DeploymentRoster::Description(k)));
        classCosts.push_back(DeploymentRoster::Cost(k));
    }

    const D3DXCOLOR ground(0.05f, 0.045f, 0.03f, 1.0f);
    page->AddPlainImage(0, 0, W, H, ground, ground);
    page->AddImage("BGTop.tga", 0, -11, W, 67, kWhite)->SetTexCoordMax(6.4f, 1.0f);
    GuiElement* leftSide = page->AddImage("BGSides.tga", 0, 0, 37, H, kWhite);
    leftSide->SetTexCoordMax(1.0f, 6.4f);
    Mirror(leftSide);
    page->AddImage("BGSides.tga", W - 37, 0, 37, H, kWhite)->SetTexCoordMax(1.0f, 6.4f);
    page->AddImage("BGBottom.tga", 0, H - 26, W, 26, kWhite)->SetTexCoordMax(6.4f, 1.0f);
    Flip(page->AddImage("BGCorner.tga", W - 131, 0, 131, 131, kWhite));
    GuiElement* topLeft = page->AddImage("BGCorner.tga", 0, 0, 131, 131, kWhite);
    Flip(topLeft);
    Mirror(topLeft);
    Mirror(page->AddImage("BGCorner.tga", 0, H - 131, 131, 131, kWhite));
    page->AddImage("BGCorner.tga", W - 131, H - 131, 131, 131, kWhite);
    page->AddPlainImage(62, 359, 647, 385, kWhite, kWhite);
    page->AddImage("infoWindow.tga", 613, 14, 405, 437, kWhite);
    for (int k = 0; k < DeploymentRoster::SIZE; ++k) {
        const DeploymentRoster::Point box = DeploymentRoster::BoxTopLeft(k);
        page->AddPlainImage(box.x, box.y, 96, 116, kRosterColour, kRosterColour);
        page->AddImage("Characterboarder.tga", box.x, box.y, 96, 116, kRosterColour);
        page->AddImage(DeploymentRoster::CostBadge(k), box.x + 71, box.y, 25, 39, kRosterColour);
    }
    page->AddImage("LDragon.tga", 0, H - 468, 307, 468, kWhite);
    page->AddImage("RDragon.tga", 450, H - 462, 578, 462, kWhite);
    page->AddImage("TopBar.tga", 168, 355, 441, 5, kWhite);
    const D3DXCOLOR nameBar(0.5f, 0.5f, 0.5f, 0.45f);
    page->AddPlainImage(190, 358, 400, 35, nameBar, nameBar);
    page->AddImage("PlayerButtonBG.tga", 16, 8, 144, 103, kWhite);

    for (int k = 0; k < DeploymentRoster::SIZE; ++k) {
        const DeploymentRoster::Point box = DeploymentRoster::BoxTopLeft(k);
        page->AddButton(DeploymentRoster::IconTexture(k), box.x + 16, box.y + 16, 64, 77, kRosterColour);
    }
    page->AddIconButton("MapArrowLeft.tga", 400, 310, 61, 41, kWhite, "MapArrowLeftPress.tga", 0, 0);
    page->AddIconButton("MapArrowRight.tga", 545, 310, 61, 41, kWhite, "MapArrowRightPress.tga", 0, 0);
    GuiButton* deploy =
        page->AddIconButton("DeployButton_f2.tga", 322, H - 79, 128, 79, kWhite, "DeployOverButton.tga", 0, 0);
    deploy->topV = 0.5f;
    deploy->bottomV = 1.0f;
    deploy->enabled = false;
    deploy->UpdateVertices();
    page->AddIconButton("BackButton.tga", W - 156, H - 65, 128, 57, kWhite, "BackOverButton.tga", 0, 0);
    page->AddIconButton("PlayerButtonBlue.tga", 27, 33, 121, 28, kWhite, "PlayerOverButtonBlue.tga", 0, 0);
    page->AddIconButton("PlayerButtonRed.tga", 27, 74, 121, 28, kWhite, "PlayerOverButtonRed.tga", 0, 0);
    page->AddExtraElement("CharacterWindow.tga", 765, 40, 212, 160, kWhite);

    BuildPreviewUnits();
}

void MenuManager::BuildPreviewUnits()
{
    FrontEndLink* link = Link();
    if (!link)
        return;
    for (const std::string& file : classFiles)
        previewUnits.push_back(link->CreatePreviewUnit(file));
}

void MenuManager::Update()
{
    if (!built)
        return;
    if (GuiPanel* page = GetPage(currentScreen))
        page->Update();
    if (GuiPanel* page = GetPage(previousScreen))
        page->Update();
    switch (currentScreen) {
    case SCREEN_TITLE:
        UpdateTitle();
        break;
    case SCREEN_MAIN_MENU:
        UpdateMainMenu();
        break;
    case SCREEN_DEPLOYMENT:
        UpdateDeployment();
        break;
    case SCREEN_OPTIONS:
        UpdateOptions();
        break;
    case SCREEN_END_OF_GAME:
        UpdateEndOfGame();
        break;
    default:
        break;
    }
}

void MenuManager::SwitchScreen(int screen)
{
    if (!built)
        return;
    if (screen != currentScreen && GetPage(screen)) {
        Log(LogLevel::INFO, "menu.screen", ScreenName(screen));
        previousScreen = currentScreen;
        currentScreen = screen;
        pages[previousScreen]->SetActive(false);
        pages[currentScreen]->SetActive(true);
    }
    if (FrontEndLink* link = Link())
        link->ResetSceneRect();
    Camera::Get()->SetProjection();
}

void MenuManager::ResetAllPages()
{
    if (!built)
        return;
    for (auto& page : pages)
        page->ResetColours();
}

void MenuManager::LeaveTitle()
{
    if (introVideo) {
        introVideo->Close();
        delete introVideo;
        introVideo = nullptr;
    }
    if (FrontEndLink* link = Link())
        link->SetGameState(FRONT_END_MAIN_MENU);
    SwitchScreen(SCREEN_MAIN_MENU);
}

void MenuManager::UpdateTitle()
{
    if (KeyDown(kKeySpace) || KeyDown(kKeyEscape)) {
        LeaveTitle();
        return;
    }
    if (introVideo) {
        introVideo->Update();
        if (introVideo->finished)
            LeaveTitle();
    }
}

void MenuManager::UpdateMainMenu()
{
    const std::vector<GuiButton*>& buttons = pages[SCREEN_MAIN_MENU]->buttons;
    FrontEndLink* link = Link();
    if (buttons[0]->clicked) {
        QueueSound("UI_CLICK.wav");
        if (link && link->IsBattleStarted()) {
            link->SetGameState(FRONT_END_BATTLE);
        } else {
            if (link)
                link->SetGameState(FRONT_END_DEPLOYMENT);
            SwitchScreen(SCREEN_DEPLOYMENT);
        }
    } else if (buttons[1]->clicked) {
        if (link)
            link->ShowHelpScreen(true);
    } else if (buttons[2]->clicked) {
        SwitchScreen(SCREEN_OPTIONS);
    } else if (buttons[3]->clicked) {
        if (link)
            link->PostQuit();
    }
}

void MenuManager::UpdateOptions()
{
    const std::vector<GuiButton*>& buttons = pages[SCREEN_OPTIONS]->buttons;
    FrontEndLink* link = Link();
    const int sizes[3][2] = {{800, 600}, {1024, 768}, {1280, 1024}};
    for (int i = 0; i < 3; ++i)
        if (buttons[static_cast<size_t>(i)]->clicked && link)
            link->SetWindowSize(sizes[i][0], sizes[i][1]);
    if (buttons[3]->clicked)
        SwitchScreen(SCREEN_MAIN_MENU);
}

void MenuManager::UpdateEndOfGame()
{
    const std::vector<GuiButton*>& buttons = pages[SCREEN_END_OF_GAME]->buttons;
    FrontEndLink* link = Link();
    if (buttons[0]->clicked) {
        if (link) {
            link->ResetLevel();
            link->SetGameState(FRONT_END_DEPLOYMENT);
        }
        SwitchScreen(SCREEN_DEPLOYMENT);
    } else if (buttons[1]->clicked) {
        if (link)
            link->PostQuit();
    }
}

void MenuManager::SelectLevel(int index)
{
    levelIndex = index;
    if (levelIndex < 0)
        levelIndex = 1;
    if (levelIndex > 1)
        levelIndex = 0;
    FrontEndLink* link = Link();
    if (link)
        link->ResetLevel();
    // A unit still held by the pointer belongs to the level that is going.
    MouseOverManager::Get()->SetDragged(nullptr);
    if (link)
        link->LoadLevel(levelIndex == 0 ? "Farm" : "Winter");
    if (levelNameLabel)
        levelNameLabel->SetText(levelIndex == 0 ? "- Barrithorn Farm -" : "- Timberwolf Ravine -");
    PromptForPlayer();
}

void MenuManager::PromptForPlayer()
{
    if (infoLabels[7]) {
        infoLabels[7]->SetText("");
        infoLabels[7]->SetPosition(645, 72);
    }
    if (infoLabels[8])
        infoLabels[8]->SetText(kSelectPlayerText);
}

void MenuManager::ResetRequisition()
{
    deployingPlayer = kNoPlayer;
    requisitionLeft[0] = startingRequisition;
    requisitionLeft[1] = startingRequisition;
    // The last class shown and the drag instructions belonged to the player who was deploying (a rematch
    // comes back to the screen with nobody deploying).
    PromptForPlayer();
}

void MenuManager::SetDeployingPlayer(int team)
{
    if (team != 0 && team != 1)
        return;
    FrontEndLink* link = Link();
    if (link)
        link->SetGameState(FRONT_END_DEPLOYMENT);
    deployingPlayer = team;
    if (link)
        link->AddPlayer(team);

    GuiPanel* page = pages[SCREEN_DEPLOYMENT].get();
    const D3DXCOLOR tint = team == 0 ? D3DXCOLOR(0.1f, 0.1f, 0.3f, 0.5f) : D3DXCOLOR(0.45f, 0.14f, 0.14f, 0.5f);
    for (int k = 0; k < DeploymentRoster::SIZE; ++k)
        page->images[static_cast<size_t>(11 + 3 * k)]->targetColour = tint;
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
    GuiPanel* page = pages[SCREEN_DEPLOYMENT].get();
    MouseOverManager* pointer = MouseOverManager::Get();
    GuiElement* window = GetSceneWindow();
    if (link) {
        link->FitSceneToRect(*window);
        window->SetFrameTexture(link->GetSceneTexture());
    }
    pointer->MoveDraggedToHoveredHex();
    UpdateDeploymentLabels();

    if (GetLeftArrow()->clicked)
        SelectLevel(levelIndex + 1);
    else if (GetRightArrow()->clicked)
        SelectLevel(levelIndex - 1);

    if (GetBackButton()->clicked) {
        Camera::Get()->SetPreset(levelIndex);
        if (link)
            link->SetGameState(FRONT_END_MAIN_MENU);
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
            link->SetGameState(FRONT_END_LOADING);
            link->ResetSceneRect();
            return;
        }
    }

    if (GetPlayerButton(0)->clicked) {
        QueueSound("UI_BACK.wav");
        SetDeployingPlayer(0);
    } else if (GetPlayerButton(1)->clicked) {
        QueueSound("UI_BACK.wav");
        SetDeployingPlayer(1);
    }

    const int t = deployingPlayer;
    if (t != 0 && t != 1)
        return;
    const bool spent = requisitionLeft[t] <= 0;
    requisitionLabel->colour = spent ? kRequisitionSpent : kWhite;
    requisitionLabel->baseColour = requisitionLabel->colour;
    requisitionLabel->normalColour = requisitionLabel->colour;
    requisitionLabel->SetNumberText("Requisition Left:\n%i", requisitionLeft[t], false);
    const HexType ownZone = t == 0 ? HEX_DEPLOY_TEAM0 : HEX_DEPLOY_TEAM1;
    if (HexGrid* grid = link ? link->GetHexGrid() : nullptr)
        grid->ResetLists(ownZone, true);
    HoverZoneHex(ownZone, -1);

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

    if (shownClass >= 0) {
        ShowClassPreview(shownClass);
        previewElement->Update();
    }

    HoverZoneHex(-1, HEX_OCCUPIED);
    HandlePlacedUnit(t);
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

void MenuManager::Render()
{
    if (!built)
        return;
    if (currentScreen == SCREEN_TITLE) {
        if (introVideo)
            introVideo->Render();
        return;
    }
    if (currentScreen == SCREEN_DEPLOYMENT) {
        RenderDeployment();
        return;
    }
    if (GuiPanel* page = GetPage(currentScreen))
        page->Render();
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

void MenuManager::OnLostDevice()
{
    for (auto& page : pages)
        if (page)
            page->OnLostDevice();
    if (introVideo)
        introVideo->OnLostDevice();
    for (TextLabel* label : {playerOneLabel.get(), playerTwoLabel.get()})
        if (label)
            label->OnLostDevice();
    for (auto& label : infoLabels)
        if (label)
            label->OnLostDevice();
    if (previewElement)
        previewElement->OnLostDevice();
    for (TextLabel* label : {requisitionLabel.get(), levelNameLabel.get()})
        if (label)
            label->OnLostDevice();
    if (previewElement)
        previewElement->SetFrameTexture(nullptr);
    ReleasePreviewTarget();
}

void MenuManager::OnResetDevice()
{
    if (!built)
        return;
    for (auto& page : pages)
        page->OnResetDevice();
    if (introVideo)
        introVideo->OnResetDevice();
    playerOneLabel->OnResetDevice();
    playerTwoLabel->OnResetDevice();
    for (auto& label : infoLabels)
        label->OnResetDevice();
    previewElement->OnResetDevice();
    requisitionLabel->OnResetDevice();
    levelNameLabel->OnResetDevice();
    CreatePreviewTarget();
}

void MenuManager::Destroy()
{
    for (auto& page : pages)
        if (page) {
            page->Destroy();
            page.reset();
        }
    if (introVideo) {
        introVideo->Close();
        delete introVideo;
        introVideo = nullptr;
    }
    for (auto& label : infoLabels)
        if (label) {
            label->Unqueue();
            label.reset();
        }
    if (previewElement) {
        previewElement->SetFrameTexture(nullptr);
        previewElement->OnLostDevice();
        previewElement.reset();
    }
    for (auto* label : {&requisitionLabel, &levelNameLabel, &playerOneLabel, &playerTwoLabel})
        if (*label) {
            (*label)->Unqueue();
            label->reset();
        }
    ReleasePreviewTarget();
    for (auto& unit : previewUnits)
        if (unit)
            unit->Release();
    previewUnits.clear();
    built = false;
}
// NOLINTEND(readability-identifier-naming)
