// The front end driven frame by frame on the null device: the title, the main menu and options rows, the
// level choice, and the deployment of both armies with their requisition.
#include "ui/MenuManager.h"
#include "UiDeviceFixture.h"
#include "battle/BoardFakes.h"
#include "battle/Hex.h"
#include "core/InputManager.h"
#include "scene/Camera.h"
#include "ui/DeploymentPage.h"
#include "ui/DeploymentRoster.h"
#include "ui/FrontEndLink.h"
#include "ui/GuiButton.h"
#include "ui/GuiPanel.h"
#include "ui/TextLabel.h"
#include "win32/InputState.h"
#include "win32/Log.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr int kScancodeSpace = 44;
constexpr int kScancodeEscape = 41;

struct AddedUnit {
    int team;
    std::string file;
    int row;
    int col;
};

// A class preview that remembers the camera it was drawn with and where it was turned to.
class PreviewUnit : public FakeUnit
{
public:
    void Render() override
    {
        FakeUnit::Render();
        eye = Camera::Get()->GetEye();
        viewProjection = Camera::Get()->GetViewProjection();
    }
    D3DXVECTOR3 eye{0.0f, 0.0f, 0.0f};
    D3DXMATRIX viewProjection;
    int damage = 0;
};

// Records what the screens ask of the session.
class RecordingSession : public FrontEndLink
{
public:
    RecordingSession() { FrontEndLink::Register(this); }
    ~RecordingSession() override { FrontEndLink::Register(nullptr); }

    void SetGameState(GameState state) override { states.push_back(state); }
    void ShowHelpScreen(bool show) override { helpShown = show; }
    bool IsBattleStarted() const override { return battleStarted; }
    void ResetLevel() override
    {
        ++resets;
        if (menu)
            menu->Deployment().ResetRequisition();
    }
    bool LoadLevel(const std::string& name) override
    {
        levels.push_back(name);
        return name != refusedLevel;
    }
    void SetWindowSize(int width, int height) override { sizes.emplace_back(width, height); }
    void PostQuit() override { ++quits; }
    void ResetSceneRect() override { }
    void FitSceneToRect(const GuiElement&) override { }
    IDirect3DTexture9* GetSceneTexture() const override { return nullptr; }
    HexGrid* GetHexGrid() const override { return nullptr; }
    void AddPlayer(int team) override { players.push_back(team); }
    void AddUnit(int team, const std::string& file, int row, int col) override
    {
        added.push_back({team, file, row, col});
    }
    void LoadUnitModels(bool) override { }
    bool RemoveUnit(int team, BoardUnit* unit) override
    {
        removed.emplace_back(team, unit);
        return true;
    }
    bool BothPlayersHaveUnits() const override { return bothHaveUnits; }
    PlacedUnit DescribeOccupant(Object* occupant) const override
    {
        auto found = occupants.find(occupant);
        return found == occupants.end() ? PlacedUnit{} : found->second;
    }
    std::unique_ptr<BoardUnit> CreatePreviewUnit(const std::string&) override
    {
        if (!previewUnits)
            return nullptr;
        // Each class its own damage figure: 20 for the first, one more for each next.
        auto unit = std::make_unique<PreviewUnit>();
        unit->damage = 20 + previewsMade++;
        return unit;
    }
    ClassSheet DescribeClass(const BoardUnit& unit) const override
    {
        ClassSheet sheet;
        if (const auto* preview = dynamic_cast<const PreviewUnit*>(&unit))
            sheet.damage = preview->damage;
        return sheet;
    }
    int previewsMade = 0;

    MenuManager* menu = nullptr;
    bool previewUnits = false;
    bool battleStarted = false;
    bool bothHaveUnits = false;
    bool helpShown = false;
    int resets = 0;
    int quits = 0;
    std::vector<int> states;
    std::vector<std::string> levels;
    // The level whose file the session refuses.
    std::string refusedLevel;
    std::vector<std::pair<int, int>> sizes;
    std::vector<int> players;
    std::vector<AddedUnit> added;
    std::vector<std::pair<int, BoardUnit*>> removed;
    std::map<Object*, PlacedUnit> occupants;
};

class MenuManagerTest : public UiDeviceTest
{
protected:
    void SetUp() override
    {
        UiDeviceTest::SetUp();
        InputState::Get().Reset();
        InputManager::ResetForTests();
        GuiElement::ResetForTests();
        GuiButton::ResetForTests();
        MenuManager::ResetForTests();
        Camera::ResetForTests();
        ASSERT_EQ(InputManager::Get()->Init(reinterpret_cast<HINSTANCE>(0x3000), reinterpret_cast<HWND>(0x2000), 0),
                  S_OK);
        MouseOverManager::Get()->Init();
        menu = std::make_unique<MenuManager>();
        session.menu = menu.get();
        menu->BuildFrontEnd();
        session.states.clear();
    }
    void TearDown() override
    {
        menu.reset();
        Camera::ResetForTests();
        InputManager::ResetForTests();
        InputState::Get().Reset();
        UiDeviceTest::TearDown();
    }

    // One frame as the session runs it: the page asked for in the last frame, input, the mouse-over manager,
    // then the menu.
    void Frame(bool left, bool right = false)
    {
        menu->ApplyRequestedPage();
        InputState::Get().InjectButton(0, left);
        InputState::Get().InjectButton(1, right);
        DataManager::Get()->AdvanceTime(1.0f / 60.0f);
        InputManager::Get()->Update();
        MouseOverManager::Get()->Update();
        menu->Update();
    }
    void MoveTo(int x, int y) { MouseOverManager::Get()->MovePointer(x, y); }
    // Over the point, press for a frame, let go for a frame: the page acts in the frame of the release.
    void Click(int x, int y)
    {
        MoveTo(x, y);
        Frame(false);
        Frame(true);
        Frame(false);
    }
    // Presses at the start, carries the pointer in small steps to the end and lets go there.
    void Drag(int x0, int y0, int x1, int y1)
    {
        MoveTo(x0, y0);
        Frame(false);
        Frame(true);
        for (int step = 1; step <= 16; ++step) {
            MoveTo(x0 + (x1 - x0) * step / 16, y0 + (y1 - y0) * step / 16);
            Frame(true);
        }
        Frame(false);
    }
    void EnterDeployment(int team)
    {
        menu->SwitchScreen(SCREEN_DEPLOYMENT);
        menu->Deployment().SetDeployingPlayer(team);
    }

    RecordingSession session;
    std::unique_ptr<MenuManager> menu;
};

struct Box {
    float left, top, width, height;
};

void ExpectBox(const GuiElement* element, const Box& box, const char* what)
{
    ASSERT_NE(element, nullptr) << what;
    EXPECT_FLOAT_EQ(element->left, box.left) << what;
    EXPECT_FLOAT_EQ(element->top, box.top) << what;
    EXPECT_FLOAT_EQ(element->right - element->left, box.width) << what;
    EXPECT_FLOAT_EQ(element->bottom - element->top, box.height) << what;
}

TEST_F(MenuManagerTest, MenuRowsSitAroundTheScreenCentre)
{
    // At 1024 x 768 the centre is (512, 384).
    const Box rows[] = {{438, 255, 149, 61}, {442, 313, 142, 53}, {441, 373, 143, 56}, {438, 427, 149, 51}};
    for (int screen : {SCREEN_MAIN_MENU, SCREEN_OPTIONS}) {
        GuiPanel* page = menu->GetPage(screen);
        ASSERT_EQ(page->buttons.size(), 4u);
        for (size_t i = 0; i < 4; ++i) {
            ExpectBox(page->buttons[i], rows[i], "menu row");
            ExpectBox(page->buttons[i]->GetIcon(), rows[i], "its hover picture");
            EXPECT_FLOAT_EQ(page->buttons[i]->GetIcon()->speed, 8.0f);
        }
    }
    GuiPanel* end = menu->GetPage(SCREEN_END_OF_GAME);
    ASSERT_EQ(end->buttons.size(), 2u);
    ExpectBox(end->buttons[0], {451, 690, 121, 28}, "rematch");
    ExpectBox(end->buttons[1], {451, 731, 121, 28}, "quit");
    // The right dragon is the left one mirrored, standing in the bottom-right corner.
    ExpectBox(end->images[3], {717, 300, 307, 468}, "right dragon");
    EXPECT_FLOAT_EQ(end->images[3]->leftU, 1.0f);
    EXPECT_FLOAT_EQ(end->images[3]->rightU, 0.0f);
}

TEST_F(MenuManagerTest, MenuRowsFollowTheBackBufferAtBuild)
{
    app->SetBackBuffer(800, 600);
    MenuManager small;
    small.BuildFrontEnd();
    // Centre (400, 300).
    ExpectBox(small.GetPage(SCREEN_MAIN_MENU)->buttons[0], {326, 171, 149, 61}, "start");
    ExpectBox(small.GetPage(SCREEN_MAIN_MENU)->buttons[3], {326, 343, 149, 51}, "quit");
    ExpectBox(small.Deployment().GetDeployButton(), {322, 521, 128, 79}, "deploy");
    ExpectBox(small.Deployment().GetBackButton(), {644, 535, 128, 57}, "back");
}

TEST_F(MenuManagerTest, TitleEndsOnSpaceOrEscapeAndWaitsOtherwise)
{
    // Without a key the title stays (the intro, where the data has one, lasts far longer than five frames).
    for (int i = 0; i < 5; ++i)
        Frame(false);
    EXPECT_EQ(menu->GetCurrentScreen(), SCREEN_TITLE);
    EXPECT_TRUE(session.states.empty());

    for (int key : {kScancodeSpace, kScancodeEscape}) {
        menu = std::make_unique<MenuManager>();
        session.menu = menu.get();
        menu->BuildFrontEnd();
        session.states.clear();
        InputState::Get().InjectKey(key, true);
        Frame(false);
        InputState::Get().InjectKey(key, false);
        EXPECT_EQ(menu->GetCurrentScreen(), SCREEN_TITLE) << key << ": the main menu shows from the next frame";
        Frame(false);
        EXPECT_EQ(menu->GetCurrentScreen(), SCREEN_MAIN_MENU) << key;
        EXPECT_EQ(menu->GetPreviousScreen(), SCREEN_TITLE) << key;
        EXPECT_EQ(session.states, std::vector<int>{GAME_STATE_MAIN_MENU}) << key;
        EXPECT_EQ(menu->GetIntroVideo(), nullptr) << key;
    }
}

TEST_F(MenuManagerTest, StartGoesToDeploymentOrBackToTheRunningBattle)
{
    struct Case {
        bool battleStarted;
        int state;
        int screen;
    };
    for (const Case& c :
         {Case{false, GAME_STATE_DEPLOYMENT, SCREEN_DEPLOYMENT}, Case{true, GAME_STATE_BATTLE, SCREEN_MAIN_MENU}}) {
        menu->SwitchScreen(SCREEN_MAIN_MENU);
        session.states.clear();
        session.battleStarted = c.battleStarted;
        Click(512, 285);
        EXPECT_EQ(session.states, std::vector<int>{c.state}) << c.battleStarted;
        Frame(false);
        EXPECT_EQ(menu->GetCurrentScreen(), c.screen) << c.battleStarted;
    }
}

TEST_F(MenuManagerTest, MainMenuHelpOptionsAndQuit)
{
    menu->SwitchScreen(SCREEN_MAIN_MENU);
    Click(513, 339);
    EXPECT_TRUE(session.helpShown);
    EXPECT_EQ(menu->GetCurrentScreen(), SCREEN_MAIN_MENU);
    Click(512, 401);
    EXPECT_EQ(menu->GetCurrentScreen(), SCREEN_MAIN_MENU) << "the options show from the next frame";
    Frame(false);
    EXPECT_EQ(menu->GetCurrentScreen(), SCREEN_OPTIONS);
    // The three sizes, each asked for even when the window has it already.
    Click(512, 285);
    Click(513, 339);
    Click(513, 339);
    Click(512, 401);
    const std::vector<std::pair<int, int>> sizes = {{800, 600}, {1024, 768}, {1024, 768}, {1280, 1024}};
    EXPECT_EQ(session.sizes, sizes);
    Click(512, 452);
    Frame(false);
    EXPECT_EQ(menu->GetCurrentScreen(), SCREEN_MAIN_MENU);
    Click(512, 452);
    EXPECT_EQ(session.quits, 1);
}

TEST_F(MenuManagerTest, ARefusedLevelLeavesThePageNamingTheLevelStillShown)
{
    menu->Deployment().SelectLevel(0);
    session.refusedLevel = "Winter";
    menu->Deployment().SelectLevel(1);
    EXPECT_EQ(session.levels.back(), "Winter");
    EXPECT_EQ(menu->Deployment().GetLevelIndex(), 0);
    EXPECT_EQ(menu->Deployment().GetLevelNameLabel()->GetText(), "- Barrithorn Farm -");
    // The next arrow asks for the refused level again rather than skipping past the one shown.
    menu->Deployment().SelectLevel(menu->Deployment().GetLevelIndex() + 1);
    EXPECT_EQ(session.levels.back(), "Winter");
    session.refusedLevel.clear();
    menu->Deployment().SelectLevel(menu->Deployment().GetLevelIndex() + 1);
    EXPECT_EQ(menu->Deployment().GetLevelIndex(), 1);
    EXPECT_EQ(menu->Deployment().GetLevelNameLabel()->GetText(), "- Timberwolf Ravine -");
}

TEST_F(MenuManagerTest, LevelChoiceCyclesOverTwoLevels)
{
    struct Case {
        int asked;
        int index;
        const char* level;
        const char* title;
    };
    const Case cases[] = {{-1, 1, "Winter", "- Timberwolf Ravine -"},
                          {2, 0, "Farm", "- Barrithorn Farm -"},
                          {0, 0, "Farm", "- Barrithorn Farm -"},
                          {1, 1, "Winter", "- Timberwolf Ravine -"}};
    for (const Case& c : cases) {
        const int resets = session.resets;
        menu->Deployment().SelectLevel(c.asked);
        EXPECT_EQ(menu->Deployment().GetLevelIndex(), c.index) << c.asked;
        EXPECT_EQ(session.levels.back(), c.level) << c.asked;
        EXPECT_EQ(menu->Deployment().GetLevelNameLabel()->GetText(), c.title) << c.asked;
        EXPECT_EQ(session.resets, resets + 1) << c.asked;
        EXPECT_EQ(menu->Deployment().GetInfoLabel(7)->GetText(), "");
        EXPECT_FLOAT_EQ(menu->Deployment().GetInfoLabel(7)->x, 645.0f);
        EXPECT_FLOAT_EQ(menu->Deployment().GetInfoLabel(7)->y, 72.0f);
        EXPECT_EQ(menu->Deployment().GetInfoLabel(8)->GetText(),
                  "          Select Player 1 | 2\n        to begin deployment\n\n"
                  "                Prev | Next\n                     Map");
    }
}

TEST_F(MenuManagerTest, RosterBoxesAndClassButtons)
{
    // Three boxes from x 190, five from 90, three from 65, 108 apart, on lines 30, 128 and 227.
    const float expected[DeploymentRoster::SIZE][2] = {{190, 30},  {298, 30},  {406, 30},  {90, 128},
                                                       {198, 128}, {306, 128}, {414, 128}, {522, 128},
                                                       {65, 227},  {173, 227}, {281, 227}};
    GuiPanel* page = menu->GetPage(SCREEN_DEPLOYMENT);
    ASSERT_EQ(page->images.size(), 49u);
    ASSERT_EQ(page->buttons.size(), 17u);
    for (int k = 0; k < DeploymentRoster::SIZE; ++k) {
        const float x = expected[k][0];
        const float y = expected[k][1];
        ExpectBox(page->images[static_cast<size_t>(11 + 3 * k)], {x, y, 96, 116}, "backdrop");
        ExpectBox(page->images[static_cast<size_t>(13 + 3 * k)], {x + 71, y, 25, 39}, "badge");
        ExpectBox(menu->Deployment().GetClassButton(k), {x + 16, y + 16, 64, 77}, "class button");
    }
    EXPECT_EQ(DeploymentRoster::IconTexture(7), "CombatMageIcon.tga");
    EXPECT_EQ(DeploymentRoster::Cost(8), 75);
    EXPECT_FLOAT_EQ(DeploymentRoster::PreviewDistance(11), 100.0f);
    ExpectBox(menu->Deployment().GetLeftArrow(), {400, 310, 61, 41}, "left arrow");
    ExpectBox(menu->Deployment().GetRightArrow(), {545, 310, 61, 41}, "right arrow");
    ExpectBox(menu->Deployment().GetPlayerButton(0), {27, 33, 121, 28}, "player 1");
    ExpectBox(menu->Deployment().GetPlayerButton(1), {27, 74, 121, 28}, "player 2");
    ExpectBox(menu->Deployment().GetSceneWindow(), {62, 359, 647, 385}, "scene window");
}

TEST_F(MenuManagerTest, ChoosingAPlayerTintsTheRosterAndShowsTheMilitia)
{
    struct Case {
        int team;
        D3DXCOLOR backdrop;
        D3DXCOLOR labels;
    };
    const Case cases[] = {{0, {0.1f, 0.1f, 0.3f, 0.5f}, {0.1f, 0.1f, 0.3f, 0.8f}},
                          {1, {0.45f, 0.14f, 0.14f, 0.5f}, {0.65f, 0.14f, 0.14f, 0.8f}}};
    for (const Case& c : cases) {
        menu->SwitchScreen(SCREEN_DEPLOYMENT);
        MoveTo(5, 760);
        Click(87, c.team == 0 ? 47 : 88);
        EXPECT_EQ(menu->Deployment().GetDeployingPlayer(), c.team);
        EXPECT_EQ(session.players.back(), c.team);
        const GuiElement* backdrop = menu->GetPage(SCREEN_DEPLOYMENT)->images[14];
        EXPECT_EQ(backdrop->targetColour, c.backdrop) << c.team;
        Frame(false);
        EXPECT_EQ(menu->Deployment().GetShownClass(), 0) << c.team;
        // Without a preview unit there is no class to describe.
        EXPECT_EQ(menu->Deployment().GetInfoLabel(3)->GetText(), "Damage: 0");
        EXPECT_EQ(menu->Deployment().GetInfoLabel(0)->baseColour, c.labels) << c.team;
        EXPECT_EQ(
            menu->Deployment().GetInfoLabel(7)->GetText().rfind("Militia are the backbone of any dependable army. ", 0),
            0u);
        EXPECT_EQ(menu->Deployment().GetRequisitionLabel()->GetText(), "Requisition Left:\n200");
        EXPECT_EQ(menu->Deployment().GetRequisitionLabel()->baseColour, D3DXCOLOR(1, 1, 1, 1));
    }
}

TEST_F(MenuManagerTest, TheRequisitionStandsCentredBetweenTheSceneWindowAndTheRightDragon)
{
    // The scene window ends at x 709; the right dragon's body climbs the screen's edge from about x 965.
    EnterDeployment(0);
    Frame(false);
    const TextLabel* label = menu->Deployment().GetRequisitionLabel();
    ASSERT_EQ(label->GetText(), "Requisition Left:\n200");
    // Drawn centred in the rectangle from 712 to 958: the widest line must fit its 246 pixels.
    const RECT drawn = label->MeasureDrawn();
    EXPECT_GT(drawn.right - drawn.left, 150) << "the words were measured";
    EXPECT_LE(drawn.right - drawn.left, 958 - 712);
    EXPECT_GE(drawn.top, 596);
    EXPECT_LE(drawn.bottom, 690);
}

TEST_F(MenuManagerTest, EveryClassDescriptionStaysInsideTheInformationWindow)
{
    // The window (infoWindow.tga at 613, 14, 405 x 437) has a frame about 13 pixels wide; the text starts at
    // x 635 under the rule at y 229.
    constexpr LONG kInnerRight = 613 + 405 - 13;
    constexpr LONG kInnerBottom = 14 + 437 - 13;
    EnterDeployment(0);
    Frame(false);
    for (int k = 0; k < DeploymentRoster::SIZE; ++k) {
        const GuiButton* button = menu->GetPage(SCREEN_DEPLOYMENT)->buttons[static_cast<size_t>(k)];
        MoveTo(static_cast<int>(button->left) + 30, static_cast<int>(button->top) + 30);
        Frame(false);
        Frame(false);
        ASSERT_EQ(menu->Deployment().GetShownClass(), k);
        const TextLabel* label = menu->Deployment().GetInfoLabel(7);
        const std::string& text = label->GetText();
        // One paragraph, laid out by the window rather than by the breaks written for another typeface: the
        // militia's "Phalanx Militia" stays together.
        EXPECT_EQ(text.find('\n'), std::string::npos) << k;
        EXPECT_EQ(text.find("  "), std::string::npos) << k;
        if (k == 0) {
            EXPECT_NE(text.find("world, Phalanx Militia are proven"), std::string::npos);
        } else if (k == 3) {
            EXPECT_NE(text.find("wearing half-plated armour"), std::string::npos);
        }
        const RECT drawn = label->MeasureDrawn();
        EXPECT_EQ(drawn.left, 635) << k;
        EXPECT_EQ(drawn.top, 253) << k;
        EXPECT_LE(drawn.right, kInnerRight) << k;
        EXPECT_LE(drawn.bottom, kInnerBottom) << k;
        // Wrapping leaves lines that reach well across: the text is not squeezed into a narrow column.
        EXPECT_GT(drawn.right, kInnerRight - 80) << k;
    }
}

TEST_F(MenuManagerTest, TheClassPreviewShowsTheWholeFigureFacingTheCamera)
{
    // Figures stand on the origin about 112 units tall (120 with a hat), the knight with its plume about 135.
    // The frame drawn over the preview (CharacterWindow.tga) covers some 8 of the 80 pixels from the middle to
    // each edge.
    menu.reset();
    session.previewUnits = true;
    menu = std::make_unique<MenuManager>();
    session.menu = menu.get();
    menu->BuildFrontEnd();
    EnterDeployment(0);
    Frame(false);
    // Look at the board from somewhere else than the preview, as the deployment camera does.
    Camera::Get()->SetEyeAndTarget(D3DXVECTOR3(2500.0f, 900.0f, 400.0f), D3DXVECTOR3(1800.0f, 0.0f, 1200.0f));
    for (int k = 0; k < DeploymentRoster::SIZE; ++k) {
        const GuiButton* button = menu->GetPage(SCREEN_DEPLOYMENT)->buttons[static_cast<size_t>(k)];
        MoveTo(static_cast<int>(button->left) + 30, static_cast<int>(button->top) + 30);
        Frame(false);
        Frame(false);
        ASSERT_EQ(menu->Deployment().GetShownClass(), k);
        const auto* unit = dynamic_cast<const PreviewUnit*>(menu->Deployment().GetPreviewUnit(k));
        ASSERT_NE(unit, nullptr);
        // The damage figure is the class's own, as the session describes it, not one number for all.
        EXPECT_EQ(menu->Deployment().GetInfoLabel(3)->GetText(), "Damage: " + std::to_string(20 + k));
        ASSERT_GT(unit->renders, 0) << k;
        for (const float height : {0.0f, k == 8 ? 135.0f : 120.0f}) {
            const D3DXVECTOR3 point(0.0f, height, 0.0f);
            D3DXVECTOR4 clip;
            D3DXVec3Transform(&clip, &point, &unit->viewProjection);
            ASSERT_GT(clip.w, 0.0f) << k;
            EXPECT_LT(std::fabs(clip.y / clip.w), 0.85f) << k << " at height " << height;
            EXPECT_LT(std::fabs(clip.x / clip.w), 0.85f) << k << " at height " << height;
        }
        if (k == 8) {
            // Turned towards the preview camera it was drawn with, not the board's.
            EXPECT_FLOAT_EQ(unit->faceX, unit->eye.x);
            EXPECT_FLOAT_EQ(unit->faceZ, unit->eye.z);
        }
    }
    EXPECT_FLOAT_EQ(Camera::Get()->GetEye().x, 2500.0f) << "the board's camera comes back";
}

class DeploymentTest : public MenuManagerTest
{
protected:
    void SetUp() override
    {
        MenuManagerTest::SetUp();
        hex.row = 3;
        hex.column = 4;
        hex.pickable = true;
        EnterDeployment(0);
    }
    // Drags roster entry k from its button onto the pickable hex inside the scene window.
    void Buy(int k)
    {
        const DeploymentRoster::Point box = DeploymentRoster::BoxTopLeft(k);
        MouseOverManager::Get()->SetHovered(nullptr);
        // The button bought last glides home first.
        GuiButton* button = menu->Deployment().GetClassButton(k);
        for (int i = 0; i < 600 && (std::abs(button->left - button->targetX) > 0.5f ||
                                    std::abs(button->top - button->targetY) > 0.5f);
             ++i) {
            MoveTo(5, 760);
            Frame(false);
        }
        const int x0 = static_cast<int>(box.x) + 48;
        const int y0 = static_cast<int>(box.y) + 48;
        MoveTo(x0, y0);
        Frame(false);
        Frame(true);
        for (int step = 1; step <= 16; ++step) {
            MoveTo(x0 + (300 - x0) * step / 16, y0 + (600 - y0) * step / 16);
            if (step == 16)
                MouseOverManager::Get()->SetHovered(&hex);
            Frame(true);
        }
        Frame(false);
        MouseOverManager::Get()->SetHovered(nullptr);
    }

    Hex hex;
};

TEST_F(DeploymentTest, BuyingSpendsTheClassCostUntilNothingIsLeft)
{
    Buy(0);
    ASSERT_EQ(session.added.size(), 1u);
    EXPECT_EQ(session.added[0].team, 0);
    EXPECT_EQ(session.added[0].file, "Militia.txt");
    EXPECT_EQ(session.added[0].row, 3);
    EXPECT_EQ(session.added[0].col, 4);
    EXPECT_EQ(menu->Deployment().GetRequisitionLeft(0), 175);
    EXPECT_EQ(menu->Deployment().GetRequisitionLeft(1), 200);
    EXPECT_EQ(menu->GetPage(SCREEN_DEPLOYMENT)->CountEnabledButtons(), 17);

    // 200 = 8 x 25: the eighth Militia spends the last 25 points and the label turns red.
    for (int i = 0; i < 7; ++i)
        Buy(0);
    EXPECT_EQ(menu->Deployment().GetRequisitionLeft(0), 0);
    Frame(false);
    EXPECT_EQ(menu->Deployment().GetRequisitionLabel()->GetText(), "Requisition Left:\n0");
    EXPECT_EQ(menu->Deployment().GetRequisitionLabel()->baseColour, D3DXCOLOR(1, 0, 0, 1));
    // Nothing more can be dragged: the button stays in its box.
    Buy(1);
    EXPECT_EQ(session.added.size(), 8u);
    EXPECT_EQ(menu->Deployment().GetRequisitionLeft(0), 0);
}

TEST_F(DeploymentTest, TwoKnightsLeaveFiftyAndNoThird)
{
    Buy(8);
    Buy(8);
    EXPECT_EQ(menu->Deployment().GetRequisitionLeft(0), 50);
    Buy(8);
    EXPECT_EQ(menu->Deployment().GetRequisitionLeft(0), 50);
    EXPECT_EQ(session.added.size(), 2u);
    // A dear class refused, a cheap one still sells: 50 - 50 = 0.
    Buy(3);
    EXPECT_EQ(menu->Deployment().GetRequisitionLeft(0), 0);
}

TEST_F(DeploymentTest, DragClickIsRememberedPerClass)
{
    Buy(0);
    EXPECT_EQ(DeploymentPage::GetLastDragged(), 0);
    Buy(0);
    EXPECT_EQ(DeploymentPage::GetLastDragged(), 0);
    Buy(2);
    EXPECT_EQ(DeploymentPage::GetLastDragged(), 2);
}

TEST_F(DeploymentTest, ADropOutsideAnyHexSpendsNothingAndFreesTheButtons)
{
    Drag(238, 84, 300, 600);
    EXPECT_TRUE(session.added.empty());
    EXPECT_EQ(menu->Deployment().GetRequisitionLeft(0), 200);
    EXPECT_EQ(menu->GetPage(SCREEN_DEPLOYMENT)->CountEnabledButtons(), 17);
}

TEST_F(DeploymentTest, ADragEndsOnAnyReleaseEvenWhenThePointerJumped)
{
    MoveTo(238, 84);
    Frame(false);
    Frame(true);
    Frame(true);
    // The pointer leaps into the scene window in the frame the button is let go: the button never sees the
    // release over itself.
    MoveTo(400, 600);
    MouseOverManager::Get()->SetHovered(&hex);
    Frame(false);
    EXPECT_EQ(session.added.size(), 1u);
    EXPECT_EQ(menu->Deployment().GetRequisitionLeft(0), 175);
    EXPECT_FALSE(menu->Deployment().GetClassButton(0)->pressed);
    EXPECT_EQ(menu->GetPage(SCREEN_DEPLOYMENT)->CountEnabledButtons(), 17);
    // The button no longer follows the pointer.
    MoveTo(100, 700);
    Frame(false);
    EXPECT_TRUE(menu->Deployment().GetClassButton(0)->gliding);
}

TEST_F(DeploymentTest, HexesOutsideTheSceneWindowAreNeverHovered)
{
    // A plain click on a class button is a drop too; the hex left hovered from before must not buy a unit.
    MouseOverManager::Get()->SetHovered(&hex);
    Click(238, 84);
    EXPECT_TRUE(session.added.empty());
    EXPECT_EQ(MouseOverManager::Get()->GetHovered(), nullptr);
    EXPECT_EQ(menu->Deployment().GetRequisitionLeft(0), 200);
}

TEST_F(DeploymentTest, RightClickRefundsOnlyTheDeployingPlayersOwnUnits)
{
    Buy(8);
    ASSERT_EQ(menu->Deployment().GetRequisitionLeft(0), 125);
    FakeUnit own;
    FakeUnit enemy;
    char ownPlace = 0;
    char enemyPlace = 0;
    auto* ownObject = reinterpret_cast<Object*>(&ownPlace);
    auto* enemyObject = reinterpret_cast<Object*>(&enemyPlace);
    session.occupants[ownObject] = PlacedUnit{&own, true, 0, 75};
    session.occupants[enemyObject] = PlacedUnit{&enemy, true, 1, 75};

    // Held over several frames, the enemy's unit credits nothing.
    hex.occupant = enemyObject;
    MoveTo(300, 600);
    MouseOverManager::Get()->SetHovered(&hex);
    for (int i = 0; i < 3; ++i)
        Frame(false, true);
    EXPECT_EQ(menu->Deployment().GetRequisitionLeft(0), 125);
    EXPECT_TRUE(session.removed.empty());

    hex.occupant = ownObject;
    Frame(false, true);
    EXPECT_EQ(menu->Deployment().GetRequisitionLeft(0), 200);
    ASSERT_EQ(session.removed.size(), 1u);
    EXPECT_EQ(session.removed[0], std::make_pair(0, static_cast<BoardUnit*>(&own)));
    hex.occupant = nullptr;
}

TEST_F(DeploymentTest, OnlyOwnPlacedUnitsCanBeCarriedAndALevelChangeDropsThem)
{
    FakeUnit own;
    FakeUnit enemy;
    char ownPlace = 0;
    char enemyPlace = 0;
    session.occupants[reinterpret_cast<Object*>(&ownPlace)] = PlacedUnit{&own, true, 0, 25};
    session.occupants[reinterpret_cast<Object*>(&enemyPlace)] = PlacedUnit{&enemy, true, 1, 25};
    MoveTo(300, 600);
    MouseOverManager::Get()->SetHovered(&hex);
    hex.occupant = reinterpret_cast<Object*>(&enemyPlace);
    Frame(true);
    EXPECT_EQ(MouseOverManager::Get()->GetDragged(), nullptr);
    hex.occupant = reinterpret_cast<Object*>(&ownPlace);
    Frame(true);
    EXPECT_EQ(MouseOverManager::Get()->GetDragged(), &own);
    hex.occupant = nullptr;
    // The level (and every unit on it) goes: nothing may stay held.
    menu->Deployment().SelectLevel(0);
    EXPECT_EQ(MouseOverManager::Get()->GetDragged(), nullptr);
}

TEST_F(DeploymentTest, LevelChangeRestoresBothRequisitions)
{
    Buy(8);
    EnterDeployment(1);
    Buy(3);
    EXPECT_EQ(menu->Deployment().GetRequisitionLeft(0), 125);
    EXPECT_EQ(menu->Deployment().GetRequisitionLeft(1), 150);
    Click(430, 330);
    EXPECT_EQ(menu->Deployment().GetLevelIndex(), 0);
    EXPECT_EQ(menu->Deployment().GetRequisitionLeft(0), 200);
    EXPECT_EQ(menu->Deployment().GetRequisitionLeft(1), 200);
    EXPECT_EQ(menu->Deployment().GetDeployingPlayer(), DeploymentPage::NO_PLAYER);
    Click(575, 330);
    EXPECT_EQ(menu->Deployment().GetLevelIndex(), 1);
}

TEST_F(DeploymentTest, DeployWaitsForBothArmies)
{
    GuiButton* deploy = menu->Deployment().GetDeployButton();
    Frame(false);
    EXPECT_FALSE(deploy->enabled);
    EXPECT_FLOAT_EQ(deploy->topV, 0.5f);
    EXPECT_FLOAT_EQ(deploy->bottomV, 1.0f);
    session.bothHaveUnits = true;
    Frame(false);
    EXPECT_TRUE(deploy->enabled);
    EXPECT_FLOAT_EQ(deploy->topV, 0.0f);
    EXPECT_FLOAT_EQ(deploy->bottomV, 0.5f);
    session.states.clear();
    Click(386, 728);
    EXPECT_EQ(session.states, std::vector<int>{GAME_STATE_LOADING});
}

TEST_F(MenuManagerTest, RematchResetsTheLevelAndOpensDeployment)
{
    menu->SwitchScreen(SCREEN_END_OF_GAME);
    EnterDeployment(0);
    Frame(false);
    ASSERT_EQ(menu->Deployment().GetShownClass(), 0);
    menu->SwitchScreen(SCREEN_END_OF_GAME);
    const int resets = session.resets;
    session.states.clear();
    Click(511, 704);
    EXPECT_EQ(session.resets, resets + 1);
    EXPECT_EQ(session.states, std::vector<int>{GAME_STATE_DEPLOYMENT});
    Frame(false);
    EXPECT_EQ(menu->GetCurrentScreen(), SCREEN_DEPLOYMENT);
    EXPECT_EQ(menu->Deployment().GetDeployingPlayer(), DeploymentPage::NO_PLAYER);
    // With nobody deploying the screen asks for a player, as when it first opened, rather than keeping the
    // last player's class description and drag instructions.
    EXPECT_EQ(menu->Deployment().GetInfoLabel(7)->GetText(), "");
    EXPECT_EQ(menu->Deployment().GetInfoLabel(8)->GetText(),
              "          Select Player 1 | 2\n        to begin deployment\n\n"
              "                Prev | Next\n                     Map");
}

// Each page is a screen of its own: shown, it enters (its widgets take the pointer); left, it leaves. A page
// asked for shows as the next frame starts, and of two asked for before then the last one shows.
TEST_F(MenuManagerTest, APageAskedForShowsFromTheNextFrameAndTheLastRequestWins)
{
    LogCapture log;
    menu->SwitchScreen(SCREEN_MAIN_MENU);
    ASSERT_EQ(menu->GetCurrentScreen(), SCREEN_MAIN_MENU);
    log.Clear();
    menu->RequestPage(SCREEN_OPTIONS);
    menu->RequestPage(SCREEN_END_OF_GAME);
    menu->Update();
    EXPECT_EQ(menu->GetCurrentScreen(), SCREEN_MAIN_MENU);
    EXPECT_EQ(log.Count("menu.screen"), 0);
    menu->ApplyRequestedPage();
    EXPECT_EQ(menu->GetCurrentScreen(), SCREEN_END_OF_GAME);
    EXPECT_EQ(menu->GetPreviousScreen(), SCREEN_MAIN_MENU);
    EXPECT_EQ(log.Count("menu.screen"), 1);
    EXPECT_TRUE(menu->GetPage(SCREEN_END_OF_GAME)->buttons[0]->enabled);
    EXPECT_FALSE(menu->GetPage(SCREEN_MAIN_MENU)->buttons[0]->enabled) << "left";
    // Applied once: the next frame's start finds nothing asked for.
    menu->ApplyRequestedPage();
    EXPECT_EQ(menu->GetPreviousScreen(), SCREEN_MAIN_MENU);
    EXPECT_EQ(log.Count("menu.screen"), 1);
    // A request forgotten (a state change picks its own page) shows nothing.
    menu->RequestPage(SCREEN_OPTIONS);
    menu->ForgetRequestedPage();
    menu->ApplyRequestedPage();
    EXPECT_EQ(menu->GetCurrentScreen(), SCREEN_END_OF_GAME);
}

TEST_F(MenuManagerTest, DeviceLossAfterTheTitleAndBeforeTheBuildIsSafe)
{
    // The intro video is gone once the title ends; losing and regaining the device must not need it.
    ASSERT_NE(menu->GetIntroVideo(), nullptr);
    InputState::Get().InjectKey(kScancodeSpace, true);
    Frame(false);
    InputState::Get().InjectKey(kScancodeSpace, false);
    EXPECT_NE(menu->GetIntroVideo(), nullptr) << "the title shows until the next frame starts";
    Frame(false);
    ASSERT_EQ(menu->GetIntroVideo(), nullptr);
    menu->OnLostDevice();
    menu->OnResetDevice();
    MenuManager unbuilt;
    unbuilt.OnLostDevice();
    unbuilt.OnResetDevice();
    unbuilt.Update();
    unbuilt.Render();
    EXPECT_FALSE(unbuilt.IsBuilt());
}

} // namespace
