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
// The class sheet's figures, as red as a spent requisition.
const D3DXCOLOR kClassSheetRed(1.0f, 0.0f, 0.0f, 1.0f);

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

const char* const kSelectPlayerText = "          Select Player 1 | 2\n        to begin deployment\n\n"
                                      "                Prev | Next\n                     Map";

bool KeyDown(int code)
{
    InputManager* input = InputManager::Get();
    return input && input->IsKeyDown(code);
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

void MenuManager::QueueSound(const char* name)
{
    SoundQueue::Get()->Queue(name, kSoundClass, false, 0.0f);
}

FrontEndLink* MenuManager::Link()
{
    return FrontEndLink::Get();
}

bool MenuManager::MouseDown(int code)
{
    InputManager* input = InputManager::Get();
    return input && input->IsMouseButtonDown(code);
}

MenuManager::MenuManager() = default;

MenuManager::~MenuManager()
{
    Destroy();
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
        const D3DXCOLOR colour = i == 8 ? kWhite : kClassSheetRed;
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
        link->SetGameState(GAME_STATE_MAIN_MENU);
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
            link->SetGameState(GAME_STATE_BATTLE);
        } else {
            if (link)
                link->SetGameState(GAME_STATE_DEPLOYMENT);
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
            link->SetGameState(GAME_STATE_DEPLOYMENT);
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
