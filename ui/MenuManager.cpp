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

constexpr int KEY_SPACE = 0x39;
constexpr int KEY_ESCAPE = 0x01;
constexpr int SOUND_CLASS = 9;
constexpr const char* FONT = "Times New Roman";
constexpr float ICON_EFFECT_SPEED = 8.0f;
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
const D3DXCOLOR ROSTER_COLOUR(0.5f, 0.5f, 0.5f, 0.25f);

const char* const SELECT_PLAYER_TEXT = "          Select Player 1 | 2\n        to begin deployment\n\n"
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
    SoundQueue::Get()->Queue(name, SOUND_CLASS, false, 0.0f);
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
    return screen >= 0 && screen < PAGE_COUNT ? m_pages[screen].get() : nullptr;
}

BoardUnit* MenuManager::GetPreviewUnit(int index) const
{
    return index >= 0 && static_cast<size_t>(index) < m_previewUnits.size()
               ? m_previewUnits[static_cast<size_t>(index)].get()
               : nullptr;
}

TextLabel* MenuManager::GetInfoLabel(int index) const
{
    return index >= 0 && index < INFO_LABEL_COUNT ? m_infoLabels[index].get() : nullptr;
}

GuiButton* MenuManager::DeploymentButtonFromEnd(int fromEnd) const
{
    const GuiPanel* page = m_pages[SCREEN_DEPLOYMENT].get();
    if (!page || static_cast<int>(page->buttons.size()) < fromEnd)
        return nullptr;
    return page->buttons[page->buttons.size() - static_cast<size_t>(fromEnd)];
}

GuiButton* MenuManager::GetClassButton(int rosterIndex) const
{
    const GuiPanel* page = m_pages[SCREEN_DEPLOYMENT].get();
    if (!page || rosterIndex < 0 || rosterIndex >= DeploymentRoster::SIZE ||
        static_cast<size_t>(rosterIndex) >= page->buttons.size())
        return nullptr;
    return page->buttons[static_cast<size_t>(rosterIndex)];
}

GuiElement* MenuManager::GetSceneWindow() const
{
    const GuiPanel* page = m_pages[SCREEN_DEPLOYMENT].get();
    return page && page->images.size() > 9 ? page->images[9] : nullptr;
}

void MenuManager::BuildFrontEnd()
{
    DataManager* data = DataManager::Get();
    const float w = static_cast<float>(data->GetBackBufferWidth());
    const float h = static_cast<float>(data->GetBackBufferHeight());

    for (auto& page : m_pages)
        page = std::make_unique<GuiPanel>();

    struct MenuButton {
        const char* texture;
        const char* icon;
        float x, y, w, h;
    };
    const MenuButton mainMenu[] = {
        {"BT_openStart01.tga", "BT_openStart02.tga", w / 2 - 74, h / 2 - 129, 149, 61},
        {"BT_openHelp01.tga", "BT_openHelp02.tga", w / 2 - 70, h / 2 - 71, 142, 53},
        {"BT_openOpt01.tga", "BT_openOpt02.tga", w / 2 - 71, h / 2 - 11, 143, 56},
        {"BT_openQuit01.tga", "BT_openQuit02.tga", w / 2 - 74, h / 2 + 43, 149, 51},
    };
    for (const MenuButton& b : mainMenu) {
        GuiButton* button =
            m_pages[SCREEN_MAIN_MENU]->AddIconButton(b.texture, b.x, b.y, b.w, b.h, WHITE, b.icon, 0, 0);
        button->SetEffectTable(m_effectTable);
        button->GetIcon()->speed = ICON_EFFECT_SPEED;
    }

    BuildLabels();

    GuiPanel* end = m_pages[SCREEN_END_OF_GAME].get();
    const D3DXCOLOR backdrop(0.27f, 0.2f, 0.2f, 0.9f);
    end->AddPlainImage(62, 355, 906, 385, backdrop, backdrop)->effect = EFFECT_FADE_TO_TARGET;
    end->AddImage("TopBar.tga", 168, 355, 690, 5, WHITE);
    end->AddImage("LDragon.tga", 0, h - 468, 307, 468, WHITE);
    Mirror(end->AddImage("LDragon.tga", w - 307, h - 468, 307, 468, WHITE));
    end->AddImage("end_game_text.tga", w / 2 - 128, 400, 255, 255, WHITE);
    end->AddImage("end_game_player1.tga", 200, 360, 125, 40, WHITE);
    end->AddImage("end_game_player2.tga", 655, 360, 125, 40, WHITE);
    end->AddImage("PlayerButtonBG.tga", 440, 665, 144, 103, WHITE);
    end->AddIconButton("rematchbutton.tga", 451, 690, 121, 28, WHITE, "rematchbuttonOver.tga", 0, 0);
    end->AddIconButton("quitButton.tga", 451, 731, 121, 28, WHITE, "quitButtonOver.tga", 0, 0);

    const char* const options[][2] = {{"800.tga", "800_over.tga"},
                                      {"1024.tga", "1024_over.tga"},
                                      {"1280.tga", "1280_over.tga"},
                                      {"back.tga", "back_over.tga"}};
    for (int i = 0; i < 4; ++i) {
        const MenuButton& b = mainMenu[i];
        GuiButton* button =
            m_pages[SCREEN_OPTIONS]->AddIconButton(options[i][0], b.x, b.y, b.w, b.h, WHITE, options[i][1], 0, 0);
        button->SetEffectTable(m_effectTable);
        button->GetIcon()->speed = ICON_EFFECT_SPEED;
    }

    BuildDeploymentScreen();

    m_introVideo = new VideoWidget();
    m_introVideo->Create("", 0, 0, w, h);
    std::swap(m_introVideo->topV, m_introVideo->bottomV);
    m_introVideo->UpdateVertices();
    m_introVideo->colour = WHITE;
    m_introVideo->baseColour = WHITE;
    m_introVideo->targetColour = WHITE;
    m_introVideo->effect = EFFECT_FADE_ALPHA_TO_BASE;
    if (!m_introVideo->Open("GameIntro.avi")) {
        m_introVideo->Close();
        delete m_introVideo;
        m_introVideo = nullptr;
    }

    SelectLevel(1);
    CreatePreviewTarget();
    m_built = true;
}

void MenuManager::BuildLabels()
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

void MenuManager::BuildDeploymentScreen()
{
    DataManager* data = DataManager::Get();
    const float w = static_cast<float>(data->GetBackBufferWidth());
    const float h = static_cast<float>(data->GetBackBufferHeight());
    GuiPanel* page = m_pages[SCREEN_DEPLOYMENT].get();

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
}

void MenuManager::BuildPreviewUnits()
{
    FrontEndLink* link = Link();
    if (!link)
        return;
    for (const std::string& file : m_classFiles)
        m_previewUnits.push_back(link->CreatePreviewUnit(file));
}

void MenuManager::Update()
{
    if (!m_built)
        return;
    if (GuiPanel* page = GetPage(m_currentScreen))
        page->Update();
    if (GuiPanel* page = GetPage(m_previousScreen))
        page->Update();
    switch (m_currentScreen) {
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
    if (!m_built)
        return;
    if (screen != m_currentScreen && GetPage(screen)) {
        Log(LogLevel::INFO, "menu.screen", ScreenName(screen));
        m_previousScreen = m_currentScreen;
        m_currentScreen = screen;
        m_pages[m_previousScreen]->SetActive(false);
        m_pages[m_currentScreen]->SetActive(true);
    }
    if (FrontEndLink* link = Link())
        link->ResetSceneRect();
    Camera::Get()->SetProjection();
}

void MenuManager::ResetAllPages()
{
    if (!m_built)
        return;
    for (auto& page : m_pages)
        page->ResetColours();
}

void MenuManager::LeaveTitle()
{
    if (m_introVideo) {
        m_introVideo->Close();
        delete m_introVideo;
        m_introVideo = nullptr;
    }
    if (FrontEndLink* link = Link())
        link->SetGameState(GAME_STATE_MAIN_MENU);
    SwitchScreen(SCREEN_MAIN_MENU);
}

void MenuManager::UpdateTitle()
{
    if (KeyDown(KEY_SPACE) || KeyDown(KEY_ESCAPE)) {
        LeaveTitle();
        return;
    }
    if (m_introVideo) {
        m_introVideo->Update();
        if (m_introVideo->finished)
            LeaveTitle();
    }
}

void MenuManager::UpdateMainMenu()
{
    const std::vector<GuiButton*>& buttons = m_pages[SCREEN_MAIN_MENU]->buttons;
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
    const std::vector<GuiButton*>& buttons = m_pages[SCREEN_OPTIONS]->buttons;
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
    const std::vector<GuiButton*>& buttons = m_pages[SCREEN_END_OF_GAME]->buttons;
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

void MenuManager::PromptForPlayer()
{
    if (m_infoLabels[7]) {
        m_infoLabels[7]->SetText("");
        m_infoLabels[7]->SetPosition(645, 72);
    }
    if (m_infoLabels[8])
        m_infoLabels[8]->SetText(SELECT_PLAYER_TEXT);
}

void MenuManager::ResetRequisition()
{
    m_deployingPlayer = NO_PLAYER;
    m_requisitionLeft[0] = m_startingRequisition;
    m_requisitionLeft[1] = m_startingRequisition;
    // The last class shown and the drag instructions belonged to the player who was deploying (a rematch
    // comes back to the screen with nobody deploying).
    PromptForPlayer();
}

void MenuManager::Render()
{
    if (!m_built)
        return;
    if (m_currentScreen == SCREEN_TITLE) {
        if (m_introVideo)
            m_introVideo->Render();
        return;
    }
    if (m_currentScreen == SCREEN_DEPLOYMENT) {
        RenderDeployment();
        return;
    }
    if (GuiPanel* page = GetPage(m_currentScreen))
        page->Render();
}

void MenuManager::OnLostDevice()
{
    for (auto& page : m_pages)
        if (page)
            page->OnLostDevice();
    if (m_introVideo)
        m_introVideo->OnLostDevice();
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

void MenuManager::OnResetDevice()
{
    if (!m_built)
        return;
    for (auto& page : m_pages)
        page->OnResetDevice();
    if (m_introVideo)
        m_introVideo->OnResetDevice();
    m_playerOneLabel->OnResetDevice();
    m_playerTwoLabel->OnResetDevice();
    for (auto& label : m_infoLabels)
        label->OnResetDevice();
    m_previewElement->OnResetDevice();
    m_requisitionLabel->OnResetDevice();
    m_levelNameLabel->OnResetDevice();
    CreatePreviewTarget();
}

void MenuManager::Destroy()
{
    for (auto& page : m_pages)
        if (page) {
            page->Destroy();
            page.reset();
        }
    if (m_introVideo) {
        m_introVideo->Close();
        delete m_introVideo;
        m_introVideo = nullptr;
    }
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
    m_built = false;
}
