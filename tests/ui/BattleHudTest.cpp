// The battle HUD on the null device: its layout, the action row's commands and toggles, the ability row, the
// bars, the unit texts and the turn order, driven frame by frame as the session drives it.
#include "ui/BattleHud.h"
#include "UiDataFixture.h"
#include "battle/BattleSession.h"
#include "battle/BoardView.h"
#include "battle/Hex.h"
#include "battle/Player.h"
#include "battle/TurnOrder.h"
#include "battle/Unit.h"
#include "core/InputManager.h"
#include "dinput/DInput.h"
#include "scene/Camera.h"
#include "scene/WorldQuad.h"
#include "ui/ButtonMenu.h"
#include "ui/FrontEndLink.h"
#include "ui/TextLabel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int kScancodeEscape = 41;
constexpr float kFrame = 1.0f / 60.0f;

// A unit the tests place by hand: a hex of its own and a point in the world, no model.
class HudUnit : public Unit
{
public:
    HudUnit(Player* side, float x, float z, int ap = 10)
    {
        UnitRulesState& rules = RulesForSetUp();
        rules.owner = side;
        place.anchorX = x;
        place.anchorZ = z;
        m_hex = &place;
        m_position = D3DXVECTOR3(x, 0.0f, z);
        rules.stats.actionPoints = ap;
        rules.stats.maxActionPoints = 10;
        rules.stats.health = 60;
        rules.stats.maxHealth = 60;
        rules.stats.mana = 30;
        rules.stats.maxMana = 30;
        rules.turn.myTurn = true;
    }
    ~HudUnit() override { m_hex = nullptr; }

    Hex place;
};

class HudSession : public BattleSession
{
public:
    HudSession() { BattleSession::Register(this); }
    ~HudSession() override { BattleSession::Register(nullptr); }
    bool IsInBattle() const override { return true; }
    bool IsGameOver() const override { return false; }
    void SetGameOver() override { }
    void SetRingEmittersActive(bool) override { }
    void ApplyAreaEffect(BoardUnit*, const SpellDefinition&) override { }
    Player* GetPlayer(int) const override { return nullptr; }
    void RequestNextTurn() override { ++turnRequests; }
    std::vector<BoardUnit*> GetLivingUnits() const override { return living; }

    int turnRequests = 0;
    std::vector<BoardUnit*> living;
};

class HudView : public BoardView
{
public:
    HudView() { BoardView::Register(this); }
    ~HudView() override { BoardView::Register(nullptr); }
    void FollowUnit(BoardUnit*) override { }
    void ResetGlows() override
    {
        ++resets;
        glows.clear();
    }
    void ForgetUnit(BoardUnit*) override { }
    void AddGlow(float x, float, float z) override { glows.push_back(D3DXVECTOR2(x, z)); }

    int resets = 0;
    std::vector<D3DXVECTOR2> glows;
};

class HudLink : public FrontEndLink
{
public:
    HudLink() { FrontEndLink::Register(this); }
    ~HudLink() override { FrontEndLink::Register(nullptr); }
    void SetGameState(GameState state) override { states.push_back(state); }
    void ShowHelpScreen(bool) override { }
    bool IsBattleStarted() const override { return true; }
    void ResetLevel() override { }
    bool LoadLevel(const std::string&) override { return true; }
    void SetWindowSize(int, int) override { }
    void PostQuit() override { }
    void ResetSceneRect() override { }
    void FitSceneToRect(const GuiElement&) override { }
    IDirect3DTexture9* GetSceneTexture() const override { return nullptr; }
    HexGrid* GetHexGrid() const override { return nullptr; }
    void AddPlayer(int) override { }
    void AddUnit(int, const std::string&, int, int) override { }
    void LoadUnitModels(bool) override { }
    bool RemoveUnit(int, BoardUnit*) override { return false; }
    bool BothPlayersHaveUnits() const override { return true; }
    PlacedUnit DescribeOccupant(Object*) const override { return {}; }
    std::unique_ptr<BoardUnit> CreatePreviewUnit(const std::string&) override { return nullptr; }
    ClassSheet DescribeClass(const BoardUnit&) const override { return {}; }

    std::vector<int> states;
};

SpellDefinition Ability(const std::string& name, int apCost, int manaCost, int range = 1, int area = 0,
                        const std::string& target = "ENEMY")
{
    SpellDefinition ability;
    ability.name = name;
    ability.fileName = name;
    ability.actionPointCost = apCost;
    ability.manaCost = manaCost;
    ability.range = range;
    ability.areaRadius = area;
    ability.target = target;
    ability.usesLeft = 2;
    return ability;
}

class BattleHudTest : public UiDataTest
{
protected:
    void SetUp() override
    {
        UiDataTest::SetUp();
        for (const char* name :
             {"bMove_f2.tga", "bAttack_f2.tga", "bDefend_f2.tga", "bFocus_f2.tga", "bMagic_f2.tga", "bEnd_f2.tga",
              "selectedIcon_f9.tga", "scroll.tga", "health.tga", "mana.tga", "HumanGUI.tga", "GUI_MainMenuButton.tga",
              "GUI_MainMenuButtonOver.tga", "Scroll_Over.tga", "ButMBack.tga", "Hit_Icon_f2.tga"})
            Picture(std::string("Data/") + name);
        Sound("Data/UI_CLICK.wav");
        Sound("Data/UI_HOVER.wav");
        InputManager::ResetForTests();
        Camera::ResetForTests();
        ASSERT_EQ(InputManager::Get()->Init(reinterpret_cast<HINSTANCE>(0x3000), reinterpret_cast<HWND>(0x2000), 0),
                  S_OK);
        InputManager::Get()->BindMouseName("LBUTTON", 0);
        ButtonMenu::ForgetHoverSound();
        BattleHud::ResetForTests();
        hud = BattleHud::Get();
        hud->Init();
    }
    void TearDown() override
    {
        BattleHud::ResetForTests();
        Camera::ResetForTests();
        InputManager::ResetForTests();
        UiDataTest::TearDown();
    }

    // One battle frame: input, the mouse-over manager, then the HUD.
    void Step(float dt = kFrame)
    {
        Frame(dt);
        InputManager::Get()->Update();
        MouseOverManager::Get()->Update();
        hud->Update();
    }
    // Over the point, press for a frame, let go: the button reports the click at the end of the release frame
    // and the HUD acts on it in the frame after.
    void ClickAt(int x, int y)
    {
        Pointer(x, y);
        Step();
        LeftButton(true);
        Step();
        LeftButton(false);
        Step();
        Step();
    }
    void ClickAction(int index)
    {
        const GuiButton* button = hud->GetActionButton(index);
        ASSERT_NE(button, nullptr);
        ClickAt(static_cast<int>(button->left) + 20, static_cast<int>(button->top) + 24);
    }
    // The HUD shows the turn order as the turn flow sorts it.
    void ShowSortedOrder()
    {
        TurnOrder order;
        for (size_t i = 0; i < hud->GetTurnOrderSize(); ++i)
            order.Add(hud->GetTurnOrderUnit(i));
        order.Sort();
        hud->ShowTurnOrder(order);
    }
    // The unit holds the turn: at the head of the order and selected.
    void GiveTurn(HudUnit& unit)
    {
        hud->AddTurnOrderEntry(&unit);
        ShowSortedOrder();
        hud->SelectUnit(&unit);
    }
    static size_t Clicks() { return SoundQueue::Get()->GetPendingRequests().size(); }
    bool Greyed(int index) const { return hud->GetActionButton(index)->topV > 0.0f; }
    bool HighlightHidden() const { return hud->GetHighlight()->left == -100.0f && hud->GetHighlight()->top == -100.0f; }

    BattleHud* hud = nullptr;
    HudSession session;
    HudView view;
    Player red;
    Player blue;
};

TEST_F(BattleHudTest, LayoutFollowsTheBackBuffer)
{
    struct Rect {
        size_t index;
        float x, y, w, h;
    };
    // A = 1024 / 2 - 400 = 112, B = 768 - 160 = 608.
    const Rect expected[] = {{0, 121, 683, 190, 88}, {1, 714, 683, 190, 88},  {2, 121, 683, 190, 88},
                             {3, 714, 683, 190, 88}, {4, 112, 608, 800, 163}, {5, 838, 32, 225, 472},
                             {6, 367, 608, 44, 50},  {7, 917, -2, 89, 52}};
    for (const Rect& r : expected) {
        const BattleHud::LayoutRect& got = hud->GetLayout(r.index);
        EXPECT_FLOAT_EQ(got.x, r.x) << r.index;
        EXPECT_FLOAT_EQ(got.y, r.y) << r.index;
        EXPECT_FLOAT_EQ(got.width, r.w) << r.index;
        EXPECT_FLOAT_EQ(got.height, r.h) << r.index;
    }
    // The action row: 43 x 49 buttons every 48 pixels from x 366 at y 768 - 58 = 710, with their names.
    const char* names[] = {"Move", "Attack", "Defend", "Focus", "Magic Spells", "End Turn"};
    for (int i = 0; i < BattleHud::ACTION_COUNT; ++i) {
        const GuiButton* button = hud->GetActionButton(i);
        ASSERT_NE(button, nullptr);
        EXPECT_FLOAT_EQ(button->left, 366.0f + 48.0f * static_cast<float>(i)) << i;
        EXPECT_FLOAT_EQ(button->top, 710.0f) << i;
        EXPECT_FLOAT_EQ(button->right - button->left, 43.0f) << i;
        EXPECT_FLOAT_EQ(button->bottom - button->top, 49.0f) << i;
        EXPECT_EQ(button->GetName(), names[i]);
        EXPECT_FLOAT_EQ(button->hoverDelay, 0.75f);
        // Frame 1 of 2: the upper half.
        EXPECT_FLOAT_EQ(button->topV, 0.0f);
        EXPECT_FLOAT_EQ(button->bottomV, 0.5f);
    }
    // The ability row sits one pixel right of the actions; its Back button 240 pixels from its first.
    EXPECT_FLOAT_EQ(hud->GetMenu()->GetButton(1, 0)->left, 367.0f);
    EXPECT_FLOAT_EQ(hud->GetMenu()->GetButton(1, 5)->left, 607.0f);
    // The mana trough is the health trough mirrored; the fills take no pointer.
    EXPECT_FLOAT_EQ(hud->GetExtra(BattleHud::EXTRA_MANA_FRAME)->leftU, 1.0f);
    EXPECT_FLOAT_EQ(hud->GetExtra(BattleHud::EXTRA_MANA_FRAME)->rightU, 0.0f);
    EXPECT_FALSE(hud->GetExtra(BattleHud::EXTRA_HEALTH_FILL)->enabled);
    EXPECT_FALSE(hud->GetExtra(BattleHud::EXTRA_MANA_FILL)->enabled);
    EXPECT_EQ(hud->GetExtra(BattleHud::EXTRA_HEALTH_FRAME)->GetName(), "Health Bar");
    // The highlight waits off screen, nine frames at 35 a second.
    EXPECT_TRUE(HighlightHidden());
    EXPECT_TRUE(hud->GetHighlight()->animate);
    EXPECT_NEAR(hud->GetHighlight()->frameTime, 0.028571429f, 1e-7f);
    EXPECT_EQ(CommandHud::Get(), hud);

    // Built at 800 x 600: A = 0, B = 440, and the actions still sit under the abilities.
    app->SetBackBuffer(800, 600);
    hud->Init();
    EXPECT_FLOAT_EQ(hud->GetLayout(4).x, 0.0f);
    EXPECT_FLOAT_EQ(hud->GetLayout(4).y, 440.0f);
    EXPECT_FLOAT_EQ(hud->GetLayout(0).x, 9.0f);
    EXPECT_FLOAT_EQ(hud->GetActionButton(0)->left, 254.0f);
    EXPECT_FLOAT_EQ(hud->GetActionButton(0)->top, 542.0f);
    EXPECT_FLOAT_EQ(hud->GetMenu()->GetButton(1, 0)->left, 255.0f);

    // Built at 1024 x 768, then reset to 800 x 600: positions scale by 0.78125, sizes stay.
    app->SetBackBuffer(1024, 768);
    hud->Init();
    app->SetBackBuffer(800, 600);
    hud->OnLostDevice();
    hud->OnResetDevice();
    EXPECT_FLOAT_EQ(hud->GetLayout(4).x, 87.5f);
    EXPECT_FLOAT_EQ(hud->GetLayout(4).y, 475.0f);
    EXPECT_FLOAT_EQ(hud->GetLayout(4).width, 800.0f);
    EXPECT_FLOAT_EQ(hud->GetLayout(4).height, 163.0f);
    EXPECT_FLOAT_EQ(hud->GetActionButton(0)->left, 285.9375f);
}

TEST_F(BattleHudTest, DefendWithFourPointsIsLitAndQueuedAndASecondClickWithdrawsIt)
{
    HudUnit unit(&red, 0.0f, 0.0f, 4);
    GiveTurn(unit);
    // The rules grey by cost: Move (5) and Attack (6) grey; Defend (4) and Focus (2) stay lit, because both work.
    static_cast<UnitRulesHost&>(unit).RefreshCommandButtons();
    EXPECT_TRUE(Greyed(CommandHud::ACTION_MOVE));
    EXPECT_TRUE(Greyed(CommandHud::ACTION_ATTACK));
    EXPECT_FALSE(Greyed(CommandHud::ACTION_DEFEND));
    EXPECT_FALSE(Greyed(CommandHud::ACTION_FOCUS));
    EXPECT_TRUE(hud->GetActionButton(CommandHud::ACTION_DEFEND)->iconVisible);

    ClickAction(CommandHud::ACTION_DEFEND);
    EXPECT_EQ(unit.Rules().turn.pendingState, DEFENDING);
    EXPECT_EQ(unit.Rules().turn.state, IDLE);
    EXPECT_TRUE(hud->IsActionToggled(CommandHud::ACTION_DEFEND));
    EXPECT_FLOAT_EQ(hud->GetHighlight()->left, 462.0f);
    EXPECT_FLOAT_EQ(hud->GetHighlight()->top, 710.0f);
    EXPECT_EQ(Clicks(), 1u);

    ClickAction(CommandHud::ACTION_DEFEND);
    EXPECT_EQ(unit.Rules().turn.pendingState, UNIT_STATE_NONE);
    EXPECT_FALSE(hud->IsActionToggled(CommandHud::ACTION_DEFEND));
    EXPECT_TRUE(HighlightHidden());
    EXPECT_EQ(Clicks(), 2u);

    // Greyed Move asks the unit, which cannot walk on 4 points: nothing happens, not even the click sound.
    ClickAction(CommandHud::ACTION_MOVE);
    EXPECT_EQ(unit.Rules().turn.state, IDLE);
    EXPECT_EQ(Clicks(), 2u);

    // Focus queued, then Defend chosen instead: the later stance replaces the earlier one.
    ClickAction(CommandHud::ACTION_FOCUS);
    EXPECT_EQ(unit.Rules().turn.pendingState, FOCUSING);
    ClickAction(CommandHud::ACTION_DEFEND);
    EXPECT_EQ(unit.Rules().turn.pendingState, DEFENDING);
    EXPECT_FLOAT_EQ(hud->GetHighlight()->left, 462.0f);
}

TEST_F(BattleHudTest, MoveAndAttackAreChosenAndCancelledByTheSameButton)
{
    struct Case {
        int action;
        UnitState chosen;
        float x;
    };
    for (const Case& c : {Case{CommandHud::ACTION_MOVE, SELECTING_MOVE, 366.0f},
                          Case{CommandHud::ACTION_ATTACK, SELECTING_TARGET, 414.0f}}) {
        HudUnit unit(&red, 0.0f, 0.0f, 10);
        HudUnit enemy(&blue, 112.0f, 0.0f);
        hud->ClearTurnOrder();
        GiveTurn(unit);
        unit.RulesForSetUp().turn.pendingState = FOCUSING;
        ClickAction(c.action);
        EXPECT_EQ(unit.Rules().turn.state, c.chosen) << c.action;
        EXPECT_EQ(unit.Rules().turn.pendingState, UNIT_STATE_NONE) << c.action;
        EXPECT_FLOAT_EQ(hud->GetHighlight()->left, c.x) << c.action;
        unit.SetTarget(&enemy);
        ClickAction(c.action);
        EXPECT_EQ(unit.Rules().turn.state, IDLE) << c.action;
        EXPECT_EQ(unit.GetTarget(), nullptr) << c.action;
        EXPECT_FALSE(hud->IsActionToggled(c.action)) << c.action;
        EXPECT_TRUE(HighlightHidden()) << c.action;
        hud->ClearTurnOrder();
    }
}

TEST_F(BattleHudTest, EscapeDuringTargetSelectionLeavesTheAttackToggleSet)
{
    HudUnit unit(&red, 0.0f, 0.0f, 10);
    HudUnit enemy(&blue, 300.0f, 0.0f, 10);
    GiveTurn(unit);
    ClickAction(CommandHud::ACTION_ATTACK);
    ASSERT_EQ(unit.Rules().turn.state, SELECTING_TARGET);
    // The pointer rests on the enemy: its hex is lit and it is the target.
    MouseOverManager::Get()->SetHovered(&enemy.place);
    unit.SetTarget(&enemy);

    InputState::Get().InjectKey(kScancodeEscape, true);
    Step();
    InputState::Get().InjectKey(kScancodeEscape, false);
    EXPECT_EQ(unit.Rules().turn.state, IDLE);
    EXPECT_EQ(MouseOverManager::Get()->GetHovered(), nullptr);
    EXPECT_FALSE(enemy.place.hovered);
    EXPECT_EQ(unit.GetTarget(), nullptr);
    EXPECT_TRUE(HighlightHidden());
    EXPECT_TRUE(hud->IsActionToggled(CommandHud::ACTION_ATTACK));
    EXPECT_FALSE(InputManager::Get()->IsKeyDown(DIK_ESCAPE));

    // The cancel needs the selecting state, so the next click chooses Attack again at once.
    ClickAction(CommandHud::ACTION_ATTACK);
    EXPECT_EQ(unit.Rules().turn.state, SELECTING_TARGET);
    EXPECT_FLOAT_EQ(hud->GetHighlight()->left, 414.0f);
    MouseOverManager::Get()->SetHovered(nullptr);
}

TEST_F(BattleHudTest, ANewTurnStartsWithNoHexLitFromTheLastOne)
{
    HudUnit first(&red, 0.0f, 0.0f, 10);
    HudUnit second(&blue, 300.0f, 0.0f, 10);
    GiveTurn(first);
    ClickAction(CommandHud::ACTION_MOVE);
    Hex picked;
    MouseOverManager::Get()->SetHovered(&picked);
    ClickAction(BattleHud::ACTION_END_TURN);
    EXPECT_EQ(session.turnRequests, 1);
    first.RulesForSetUp().turn.state = IDLE;
    hud->SelectUnit(&second);
    EXPECT_EQ(MouseOverManager::Get()->GetHovered(), nullptr);
    EXPECT_FALSE(picked.hovered);
    MouseOverManager::Get()->SetHovered(nullptr);
}

TEST_F(BattleHudTest, GreyedMagicIgnoresClicksAndBusyUnitsKeepTheirRow)
{
    HudUnit unit(&red, 0.0f, 0.0f, 5);
    unit.RulesForSetUp().abilities = {Ability("Hit", 8, 0)};
    GiveTurn(unit);
    // The cheapest ability costs 8 and the unit has 5: the rules grey Magic Spells.
    static_cast<UnitRulesHost&>(unit).RefreshCommandButtons();
    ASSERT_FALSE(hud->GetActionButton(CommandHud::ACTION_SPELLS)->available);
    ClickAction(CommandHud::ACTION_SPELLS);
    EXPECT_EQ(hud->GetMenu()->GetCurrentRow(), 0u);
    EXPECT_EQ(Clicks(), 0u);

    // A new turn lights it again; a unit still walking keeps the action row.
    hud->SelectUnit(&unit);
    unit.RulesForSetUp().turn.state = MOVING;
    ClickAction(CommandHud::ACTION_SPELLS);
    EXPECT_EQ(hud->GetMenu()->GetCurrentRow(), 0u);
    unit.RulesForSetUp().turn.state = SELECTING_MOVE;
    unit.RulesForSetUp().turn.pendingState = DEFENDING;
    const int resets = view.resets;
    ClickAction(CommandHud::ACTION_SPELLS);
    EXPECT_EQ(hud->GetMenu()->GetCurrentRow(), 1u);
    EXPECT_EQ(unit.Rules().turn.state, IDLE);
    EXPECT_EQ(unit.Rules().turn.pendingState, UNIT_STATE_NONE);
    EXPECT_GT(view.resets, resets);
    EXPECT_EQ(Clicks(), 1u);
}

TEST_F(BattleHudTest, EndTurnIsRefusedWhileTheUnitIsBusy)
{
    struct Case {
        UnitState state;
        int requests;
    };
    const Case cases[] = {{IDLE, 1},   {SELECTING_MOVE, 1}, {SELECTING_TARGET, 1}, {SELECTING_ABILITY_TARGET, 1},
                          {MOVING, 0}, {ATTACKING, 0},      {CASTING, 0}};
    for (const Case& c : cases) {
        HudUnit unit(&red, 0.0f, 0.0f, 10);
        GiveTurn(unit);
        session.turnRequests = 0;
        unit.RulesForSetUp().turn.state = c.state;
        ClickAction(BattleHud::ACTION_END_TURN);
        EXPECT_EQ(session.turnRequests, c.requests) << c.state;
        hud->ClearTurnOrder();
    }
}

TEST_F(BattleHudTest, TheHeadOfTheOrderTakesNoCommandBeforeItsTurn)
{
    HudUnit unit(&red, 0.0f, 0.0f, 10);
    unit.RulesForSetUp().turn.myTurn = false;
    hud->AddTurnOrderEntry(&unit);
    ShowSortedOrder();
    hud->SelectUnit(&unit);
    // Its texts show.
    EXPECT_EQ(hud->GetUnitText()->GetText(), "AP: 10/10");
    ClickAction(CommandHud::ACTION_MOVE);
    ClickAction(BattleHud::ACTION_END_TURN);
    EXPECT_EQ(unit.Rules().turn.state, IDLE);
    EXPECT_EQ(session.turnRequests, 0);
    EXPECT_EQ(Clicks(), 0u);

    unit.RulesForSetUp().turn.myTurn = true;
    ClickAction(CommandHud::ACTION_MOVE);
    EXPECT_EQ(unit.Rules().turn.state, SELECTING_MOVE);
}

TEST_F(BattleHudTest, ATurnOrderSortsByInitiativeThenByWaitAndBadgesStopAtNine)
{
    struct Entry {
        int initiative;
        float wait;
    };
    const Entry entries[] = {{30, 0.0f}, {10, 2.0f}, {10, 5.0f}, {50, 0.0f}};
    std::vector<std::unique_ptr<HudUnit>> units;
    for (const Entry& s : entries) {
        units.push_back(std::make_unique<HudUnit>(&red, 0.0f, 0.0f));
        units.back()->RulesForSetUp().turn.initiative = s.initiative;
        units.back()->RulesForSetUp().turn.waitTimer = s.wait;
        hud->AddTurnOrderEntry(units.back().get());
    }
    ShowSortedOrder();
    const HudUnit* order[] = {units[2].get(), units[1].get(), units[0].get(), units[3].get()};
    // Step 0.5 / 4 = 0.125: red 1.0, 0.875, 0.75, 0.625.
    const float reds[] = {1.0f, 0.875f, 0.75f, 0.625f};
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(hud->GetTurnOrderUnit(i), order[i]) << i;
        EXPECT_FLOAT_EQ(hud->GetTurnOrderLabel(i)->normalColour.r, reds[i]) << i;
        EXPECT_FLOAT_EQ(hud->GetTurnOrderLabel(i)->normalColour.g, 0.25f) << i;
        EXPECT_FLOAT_EQ(hud->GetTurnOrderLabel(i)->normalColour.b, 0.25f) << i;
    }
    EXPECT_EQ(hud->GetCurrentUnit(), units[2].get());
    EXPECT_EQ(hud->GetFirstUnit(), units[2].get());

    // Ten units with badges: places 1 to 8 show their number, the ninth and tenth both 9.
    hud->ClearTurnOrder();
    units.clear();
    for (int i = 0; i < 10; ++i) {
        units.push_back(std::make_unique<HudUnit>(&blue, 0.0f, 0.0f));
        units.back()->RulesForSetUp().turn.initiative = 100 - i;
        units.back()->Presentation().badgeQuad = std::make_unique<WorldQuad>();
        hud->AddTurnOrderEntry(units.back().get());
    }
    ShowSortedOrder();
    for (int i = 0; i < 10; ++i) {
        // Unit i has initiative 100 - i, so it stands at place 10 - i.
        const int place = 10 - i;
        EXPECT_EQ(units[static_cast<size_t>(i)]->Presentation().badgeQuad->frame, std::min(place, 9)) << i;
    }

    // An empty order has no current unit.
    hud->ClearTurnOrder();
    ShowSortedOrder();
    EXPECT_EQ(hud->GetCurrentUnit(), nullptr);
    EXPECT_EQ(hud->GetFirstUnit(), nullptr);
}

TEST_F(BattleHudTest, TurnOrderTextsShowNamesAsWrittenAndADeadUnitLeavesTheOrder)
{
    HudUnit first(&red, 0.0f, 0.0f);
    HudUnit second(&blue, 112.0f, 0.0f);
    first.RulesForSetUp().name = "Knight 100%";
    first.RulesForSetUp().turn.initiative = 5;
    second.RulesForSetUp().name = "Mage";
    second.RulesForSetUp().turn.initiative = 7;
    hud->AddTurnOrderEntry(&first);
    hud->AddTurnOrderEntry(&second);
    ShowSortedOrder();
    hud->UpdateTurnOrderTexts();
    EXPECT_EQ(hud->GetTurnOrderLabel(0)->GetText(), "Knight 100%: 5");
    EXPECT_EQ(hud->GetTurnOrderLabel(1)->GetText(), "Mage: 7");

    // A killing blow takes the unit out of the order through the rules' link; its label goes with it.
    first.Presentation().CreateEmitters();
    TextLabel* gone = hud->GetTurnOrderLabel(0);
    gone->QueueDraw();
    HudUnit attacker(&blue, 112.0f, 0.0f);
    attacker.RulesForSetUp().command.damage = 1000.0f;
    first.RulesForSetUp().command.defenceOutcome = DefenceOutcome::KILLING_BLOW;
    first.Combat().TakeAttack(&attacker);
    EXPECT_EQ(first.Rules().turn.state, DEAD);
    ASSERT_EQ(hud->GetTurnOrderSize(), 1u);
    EXPECT_EQ(hud->GetTurnOrderUnit(0), &second);
    const auto& queued = QueuedText();
    EXPECT_EQ(std::count(queued.begin(), queued.end(), gone), 0);
    ShowSortedOrder();
    EXPECT_EQ(hud->GetCurrentUnit(), &second);
}

TEST_F(BattleHudTest, HealthFillWalksTwoPixelsAFrameToHalfItsWidth)
{
    HudUnit unit(&red, 0.0f, 0.0f);
    unit.RulesForSetUp().stats.health = 100;
    unit.RulesForSetUp().stats.maxHealth = 100;
    GiveTurn(unit);
    const GuiButton& fill = *hud->GetExtra(BattleHud::EXTRA_HEALTH_FILL);
    Step();
    EXPECT_FLOAT_EQ(fill.right, 311.0f);

    // Goal 121 + 0.5 x 190 = 216: 311, 309, ..., 217 after 47 frames, then clamped to 216.
    unit.RulesForSetUp().stats.health = 50;
    Step();
    EXPECT_FLOAT_EQ(fill.right, 309.0f);
    // The cut is taken before the move: (311 - 121) / 190.
    EXPECT_FLOAT_EQ(fill.rightU, 1.0f);
    for (int i = 2; i <= 47; ++i)
        Step();
    EXPECT_FLOAT_EQ(fill.right, 217.0f);
    Step();
    EXPECT_FLOAT_EQ(fill.right, 216.0f);
    EXPECT_FLOAT_EQ(fill.right - fill.left, 95.0f);
    EXPECT_FLOAT_EQ(fill.rightU, 96.0f / 190.0f);
    Step();
    EXPECT_FLOAT_EQ(fill.right, 216.0f);

    // Frames of 0.006 s: a step every second frame (0.012 passes 0.01, 0.006 does not).
    unit.RulesForSetUp().stats.health = 100;
    Step(0.006f);
    EXPECT_FLOAT_EQ(fill.right, 216.0f);
    Step(0.006f);
    EXPECT_FLOAT_EQ(fill.right, 218.0f);
}

TEST_F(BattleHudTest, BarsOfNoHealthOrNoManaMaximumEmpty)
{
    HudUnit unit(&red, 0.0f, 0.0f);
    unit.RulesForSetUp().stats.mana = 5;
    unit.RulesForSetUp().stats.maxMana = 0;
    unit.RulesForSetUp().stats.health = 0;
    GiveTurn(unit);
    for (int i = 0; i < 120; ++i)
        Step();
    const GuiButton& mana = *hud->GetExtra(BattleHud::EXTRA_MANA_FILL);
    const GuiButton& health = *hud->GetExtra(BattleHud::EXTRA_HEALTH_FILL);
    EXPECT_FLOAT_EQ(mana.right, 714.0f);
    EXPECT_FLOAT_EQ(health.right, 121.0f);
}

TEST_F(BattleHudTest, HoveringAHealthBarNamesItsValues)
{
    HudUnit unit(&red, 0.0f, 0.0f);
    unit.RulesForSetUp().stats.health = 37;
    unit.RulesForSetUp().stats.maxHealth = 60;
    GiveTurn(unit);
    Pointer(200, 720);
    for (int i = 0; i < 30; ++i)
        Step();
    EXPECT_EQ(hud->GetExtra(BattleHud::EXTRA_HEALTH_FRAME)->GetName(), "Health: 37 / 60");
}

TEST_F(BattleHudTest, UnitAndCostTexts)
{
    HudUnit unit(&red, 0.0f, 0.0f, 7);
    unit.RulesForSetUp().stats.health = 40;
    GiveTurn(unit);
    EXPECT_EQ(hud->GetUnitText()->GetText(), "AP: 7/10");
    EXPECT_EQ(hud->GetSecondText()->GetText(), "HP: 40/60");
    // A red flash fading to white.
    EXPECT_FLOAT_EQ(hud->GetUnitText()->colour.g, 0.0f);
    EXPECT_FLOAT_EQ(hud->GetUnitText()->targetColour.g, 1.0f);

    struct Case {
        int apCost;
        int manaCost;
        const char* first;
        const char* second;
    };
    const Case cases[] = {{7, 15, "AP Cost: 7", "MP Cost: 15"},
                          {3, 0, "AP Cost: 3", "MP Cost: 0"},
                          {8, 40, "Insufficient Action Points", "MP Cost: 40"}};
    for (const Case& c : cases) {
        hud->ShowSpellCost(Ability("Any", c.apCost, c.manaCost));
        EXPECT_EQ(hud->GetUnitText()->GetText(), c.first);
        EXPECT_EQ(hud->GetSecondText()->GetText(), c.second);
    }

    // Resting on an action button shows its cost.
    const GuiButton* attack = hud->GetActionButton(CommandHud::ACTION_ATTACK);
    Pointer(static_cast<int>(attack->left) + 10, static_cast<int>(attack->top) + 10);
    Step();
    Step();
    EXPECT_EQ(hud->GetUnitText()->GetText(), "AP Cost: 6");
}

TEST_F(BattleHudTest, TargetGlowsFollowRangeAreaAndSide)
{
    HudUnit caster(&red, 0.0f, 0.0f);
    HudUnit friendNear(&red, 100.0f, 0.0f);
    HudUnit enemyNear(&blue, 0.0f, 112.0f);
    HudUnit enemyEdge(&blue, 224.0f, 0.0f);
    HudUnit friendFar(&red, 0.0f, -225.0f);
    session.living = {&caster, &friendNear, &enemyNear, &enemyEdge, &friendFar};
    GiveTurn(caster);

    const auto glowsAt = [this](float x, float z) {
        return std::any_of(view.glows.begin(), view.glows.end(),
                           [x, z](const D3DXVECTOR2& g) { return g.x == x && g.y == z; });
    };
    struct Case {
        SpellDefinition ability;
        bool caster, friendNear, enemyNear, enemyEdge, friendFar;
    };
    const Case cases[] = {
        // Radius 2: everything within 224 of the caster, either side.
        {Ability("Blizzard", 5, 0, 3, 2, "ENEMY"), true, true, true, true, false},
        {Ability("Strike", 5, 0, 1, 0, "ENEMY"), false, false, true, false, false},
        {Ability("Blessing", 5, 0, 1, 0, "TEAM"), true, true, false, false, false},
        {Ability("Anyone", 5, 0, 2, 0, "ANY"), true, true, true, true, false},
        {Ability("Charge!", 5, 0, 0, 0, "TEAM"), true, false, false, false, false},
        {Ability("Phalanx", 5, 0, 0, 0, "ENEMY"), true, false, false, false, false},
    };
    for (const Case& c : cases) {
        const int resets = view.resets;
        const size_t sounds = Clicks();
        hud->HighlightAbilityTargets(c.ability);
        EXPECT_EQ(view.resets, resets + 1) << c.ability.name;
        EXPECT_EQ(Clicks(), sounds + 1) << c.ability.name;
        EXPECT_EQ(glowsAt(0.0f, 0.0f), c.caster) << c.ability.name;
        EXPECT_EQ(glowsAt(100.0f, 0.0f), c.friendNear) << c.ability.name;
        EXPECT_EQ(glowsAt(0.0f, 112.0f), c.enemyNear) << c.ability.name;
        EXPECT_EQ(glowsAt(224.0f, 0.0f), c.enemyEdge) << c.ability.name;
        EXPECT_EQ(glowsAt(0.0f, -225.0f), c.friendFar) << c.ability.name;
    }
}

TEST_F(BattleHudTest, AbilityRowChoosesAnAbilityAndBackReturnsToTheActions)
{
    HudUnit unit(&red, 0.0f, 0.0f, 10);
    unit.RulesForSetUp().abilities = {Ability("Hit", 4, 0),  Ability("Two", 4, 0),  Ability("Three", 4, 0),
                                      Ability("Four", 4, 0), Ability("Five", 4, 0), Ability("Six", 4, 0)};
    GiveTurn(unit);
    // Five of the six show; the Back button keeps the sixth place.
    for (uint32_t i = 0; i < 5; ++i)
        EXPECT_TRUE(hud->GetMenu()->GetButton(1, i)->visible) << i;
    EXPECT_EQ(hud->GetMenu()->RowSize(1), 6u);

    ClickAction(CommandHud::ACTION_SPELLS);
    ASSERT_EQ(hud->GetMenu()->GetCurrentRow(), 1u);
    const GuiButton* second = hud->GetMenu()->GetButton(1, 1);
    ClickAt(static_cast<int>(second->left) + 20, static_cast<int>(second->top) + 24);
    EXPECT_EQ(unit.Rules().turn.state, SELECTING_ABILITY_TARGET);
    ASSERT_NE(unit.GetSelectedAbility(), nullptr);
    EXPECT_EQ(unit.GetSelectedAbility()->name, "Two");
    EXPECT_FLOAT_EQ(hud->GetHighlight()->left, 415.0f);

    const GuiButton* back = hud->GetMenu()->GetButton(1, 5);
    ClickAt(static_cast<int>(back->left) + 20, static_cast<int>(back->top) + 24);
    EXPECT_EQ(hud->GetMenu()->GetCurrentRow(), 0u);
    EXPECT_EQ(unit.Rules().turn.state, IDLE);
    EXPECT_EQ(unit.GetSelectedAbility(), nullptr);
    EXPECT_TRUE(HighlightHidden());
}

TEST_F(BattleHudTest, SwitchingRowsLetsGoOfTheHoveredButton)
{
    HudUnit unit(&red, 0.0f, 0.0f, 10);
    unit.RulesForSetUp().abilities = {Ability("Hit", 4, 0)};
    GiveTurn(unit);
    const GuiButton* magic = hud->GetActionButton(CommandHud::ACTION_SPELLS);
    Pointer(static_cast<int>(magic->left) + 20, static_cast<int>(magic->top) + 24);
    Step();
    EXPECT_EQ(MouseOverManager::Get()->GetHoveredButton(), magic);
    LeftButton(true);
    Step();
    LeftButton(false);
    Step();
    Step();
    ASSERT_EQ(hud->GetMenu()->GetCurrentRow(), 1u);
    // The pointer still rests where Magic was, over the row's fifth ability place (559..602), which is empty.
    EXPECT_NE(MouseOverManager::Get()->GetHoveredButton(), magic);
}

TEST_F(BattleHudTest, APressOnTheHudNeverReachesTheBoard)
{
    HudUnit unit(&red, 0.0f, 0.0f, 10);
    GiveTurn(unit);
    struct Case {
        int x, y;
        bool board;
    };
    // An action button, the frame between the bars, a greyed button, and open ground above the frame.
    const Case cases[] = {{387, 734, false}, {300, 640, false}, {435, 734, false}, {512, 300, true}};
    hud->DisableAction(CommandHud::ACTION_ATTACK);
    for (const Case& c : cases) {
        Pointer(c.x, c.y);
        Step();
        LeftButton(true);
        Frame(kFrame);
        InputManager::Get()->Update();
        MouseOverManager::Get()->Update();
        hud->Update();
        EXPECT_EQ(MouseOverManager::Get()->IsBoardClick(), c.board) << c.x << "," << c.y;
        LeftButton(false);
        Step();
        Step();
    }
}

TEST_F(BattleHudTest, APointerOnTheHudIsOverTheHudForTheBoard)
{
    HudUnit unit(&red, 0.0f, 0.0f, 10);
    GiveTurn(unit);
    hud->DisableAction(CommandHud::ACTION_ATTACK);
    struct Case {
        int x, y;
        bool overHud;
    };
    // An action button, a greyed one, the frame between the bars, the main-menu button, open ground above the
    // frame, and at the far left (no widget) just above and inside the 25 pixels along the bottom of 768.
    const Case cases[] = {{387, 734, true},  {435, 734, true}, {300, 640, true}, {960, 20, true},
                          {512, 300, false}, {20, 742, false}, {20, 744, true}};
    const BoardPointer* board = BoardPointer::Get();
    ASSERT_EQ(board, MouseOverManager::Get());
    for (const Case& c : cases) {
        Pointer(c.x, c.y);
        Step();
        Step();
        EXPECT_EQ(board->IsOverHud(), c.overHud) << c.x << "," << c.y;
    }
}

TEST_F(BattleHudTest, MainMenuButtonLeavesForTheMainMenu)
{
    HudLink link;
    HudUnit unit(&red, 0.0f, 0.0f, 10);
    GiveTurn(unit);
    Pointer(960, 20);
    Step();
    LeftButton(true);
    Step();
    LeftButton(false);
    Step();
    EXPECT_EQ(link.states, std::vector<int>{GAME_STATE_MAIN_MENU});
}

TEST_F(BattleHudTest, DestroyLetsGoOfEverythingAndInitBuildsAgain)
{
    HudUnit unit(&red, 0.0f, 0.0f, 10);
    GiveTurn(unit);
    hud->Render();
    ASSERT_FALSE(QueuedText().empty());
    hud->Destroy();
    EXPECT_FALSE(hud->IsInitialised());
    EXPECT_EQ(hud->GetTurnOrderSize(), 0u);
    EXPECT_EQ(hud->GetCurrentUnit(), nullptr);
    EXPECT_EQ(CommandHud::Get(), nullptr);
    EXPECT_EQ(hud->GetMenu(), nullptr);
    EXPECT_TRUE(QueuedText().empty());
    // A HUD without widgets ignores frames and rules.
    hud->Update();
    hud->Render();
    hud->DisableAction(CommandHud::ACTION_MOVE);
    hud->ResetMenu();

    // The device goes away and comes back before the session built the HUD: it builds itself.
    hud->OnLostDevice();
    EXPECT_TRUE(hud->IsInitialised());
    hud->OnResetDevice();
    EXPECT_EQ(CommandHud::Get(), hud);
    EXPECT_EQ(hud->GetMenu()->RowSize(0), 6u);
}

} // namespace
