// The battle's frame in the session: turns passing by initiative, the banner, the opening fly-over, the
// slow-motion shots, area abilities and what a battle leaves behind when it ends. Real units of no class on the
// null device, with the real battle HUD holding the turn order.
#include "app/BattleMarkers.h"
#include "app/GameSession.h"
#include "battle/UnitFixture.h"
#include "core/ApplicationLink.h"
#include "core/InputManager.h"
#include "core/JobQueue.h"
#include "core/SoundQueue.h"
#include "scene/Decal.h"
#include "scene/DecalManager.h"
#include "scene/SceneFixture.h"
#include "sound/FSound.h"
#include "support/SessionLinks.h"
#include "ui/BattleHud.h"
#include "ui/GuiButton.h"
#include "ui/GuiElement.h"
#include "ui/MouseOverManager.h"
#include "ui/TextLabel.h"
#include "win32/InputState.h"
#include "win32/Log.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

// Counts the turns it begins and ends; it may ask the session to pass the turn while its own turn is ending.
class TurnUnit : public TestUnit
{
public:
    void BeginTurn() override
    {
        ++begun;
        TestUnit::BeginTurn();
    }
    void EndTurn() override
    {
        ++ended;
        if (askWhileEnding)
            BattleSession::Get()->AdvanceTurn();
        TestUnit::EndTurn();
    }
    int begun = 0;
    int ended = 0;
    bool askWhileEnding = false;
};

std::unique_ptr<BoardUnit> MakeTurnUnit()
{
    return std::make_unique<TurnUnit>();
}

// The game's back buffer, 1024 x 768, for the HUD's layout and the pointer.
class ScreenOfTheGame : public ApplicationLink
{
public:
    ScreenOfTheGame()
    {
        parameters.BackBufferWidth = 1024;
        parameters.BackBufferHeight = 768;
    }
    const D3DPRESENT_PARAMETERS& GetPresentParameters() const override { return parameters; }
    D3DFORMAT GetBackBufferFormat() const override { return D3DFMT_X8R8G8B8; }
    void SetGuiScale(float, float) override { }

private:
    D3DPRESENT_PARAMETERS parameters{};
};

class BattleFlowTest : public SceneFixture
{
protected:
    void SetUp() override
    {
        const std::filesystem::path data = std::filesystem::current_path() / "Data";
        const std::string ring = ReadWholeFile(data / "Config Files/Particle Files/IceCrystalRing.txt");
        const std::string music = ReadWholeFile(data / "Sound/Music/timberwolf.mp3");
        SceneFixture::SetUp();
        ASSERT_FALSE(ring.empty());
        ASSERT_FALSE(music.empty());
        m_tree->Write("Data/Config Files/Particle Files/IceCrystalRing.txt", ring);
        m_tree->Write("Data/Sound/Music/timberwolf.mp3", music);
        MouseOverManager::ResetForTests();
        ParticleManager::ResetForTests();
        BattleHud::ResetForTests();
        Player::ResetDefeatTimer();
        DataManager::Get()->SetApplication(&screen);
        // The first army deploys around (5, 5), the second around (30, 30), unless a test leaves a zone out.
        WriteLevel("winter_wonderland.txt", Zones(true, true));
        session = std::make_unique<GameSession>();
        // The units' texts are recorded, in place of the labels the session gives them.
        CombatText::SetFactory(MakeFakeCombatText);
        session->Init();
        session->LoadAssets();
        FrontEnd(*session).AddPlayer(0);
        FrontEnd(*session).AddPlayer(1);
    }
    void TearDown() override
    {
        session.reset();
        DataManager::Get()->SetApplication(nullptr);
        CombatText::SetFactory(nullptr);
        BattleHud::ResetForTests();
        ParticleManager::ResetForTests();
        MouseOverManager::ResetForTests();
        SoundQueue::ResetForTests();
        SceneFixture::TearDown();
    }

    static LevelBytes Zones(bool first, bool second)
    {
        LevelBytes level;
        // In place of the image's own two zone hexes in the last row.
        level.Int(LevelOffsets::HEX_TYPES + 4 * 1510, 0);
        level.Int(LevelOffsets::HEX_TYPES + 4 * 1511, 0);
        if (first)
            level.Int(LevelOffsets::HEX_TYPES + 4 * (5 * 42 + 5), 3);
        if (second)
            level.Int(LevelOffsets::HEX_TYPES + 4 * (30 * 42 + 30), 4);
        return level;
    }

    // A unit of the team at (row, col), full of action points, in the turn order.
    TurnUnit* Add(int team, int row, int col, int speed = 10, int initiative = 0)
    {
        TurnUnit* unit = Deploy(team, row, col, speed, initiative);
        session->GetTurnFlow().Enlist(unit);
        return unit;
    }
    // The same, left for the loading job to put in the turn order.
    TurnUnit* Deploy(int team, int row, int col, int speed = 10, int initiative = 0)
    {
        BoardUnit::SetFactory(MakeTurnUnit);
        FrontEnd(*session).AddUnit(team, "Militia.txt", row, col);
        BoardUnit::SetFactory(nullptr);
        auto* unit = static_cast<TurnUnit*>(session->GetPlayer(team)->GetUnits().back());
        UnitStats values;
        values.strength = values.baseStrength = 10;
        values.intelligence = values.baseIntelligence = 5;
        values.actionPoints = values.maxActionPoints = 10;
        values.speed = values.baseSpeed = speed;
        unit->InitStats(values);
        unit->RulesForSetUp().turn.initiative = initiative;
        return unit;
    }

    // Deploy, load, and run loading frames until the battle starts.
    void LoadBattle()
    {
        EnterState(GAME_STATE_LOADING);
        DataManager::Get()->GetJobQueue()->WaitUntilDone(5000);
        for (int frame = 0; frame < 100 && session->GetGameState() == GAME_STATE_LOADING; ++frame) {
            Frame(0.5f);
            session->UpdateLoading();
            // The battle asked for is entered as the next frame starts.
            session->ApplyRequestedChanges();
        }
        ASSERT_EQ(session->GetGameState(), GAME_STATE_BATTLE);
    }

    // A battle frame: a state asked for in the last one is entered first.
    void Step(float seconds)
    {
        Frame(seconds);
        session->ApplyRequestedChanges();
        session->UpdateBattle();
    }

    // The battle is under way and the first request for a turn has been made (2 s in: past the request gap).
    void StartTurns()
    {
        EnterState(GAME_STATE_BATTLE);
        Frame(2.0f);
        Rules(*session).RequestNextTurn();
        session->UpdateBattle();
    }

    std::string Banner() const { return session->GetLabel(8)->GetText(); }

    // Asks for the state and starts a frame, which enters it.
    void EnterState(GameState state)
    {
        session->SetGameState(state);
        session->ApplyRequestedChanges();
    }

    static int MusicChannels()
    {
        FSOUND_SAMPLE* music = DataManager::Get()->GetSoundSample("timberwolf.mp3");
        int playing = 0;
        for (int channel = 0; channel < 32; ++channel)
            playing += FSOUND_IsPlaying(channel) && FSOUND_GetCurrentSample(channel) == music ? 1 : 0;
        return playing;
    }

    ScreenOfTheGame screen;
    LogCapture log;
    std::unique_ptr<GameSession> session;
};

} // namespace

TEST_F(BattleFlowTest, TwoRequestsCloserThanOneAndAHalfSecondsOfGameTimeCountOnce)
{
    TurnUnit* a = Add(0, 5, 5);
    TurnUnit* b = Add(1, 30, 30);
    StartTurns(); // game time 2.0: a request and the first turn
    BoardUnit* first = session->GetTurnFlow().GetActiveUnit();
    ASSERT_TRUE(first == a || first == b);
    Rules(*session).RequestNextTurn(); // the same moment
    Step(1.25f); // 3.25
    Rules(*session).RequestNextTurn();
    Step(0.0f);
    EXPECT_EQ(a->ended + b->ended, 0) << "both fall inside the gap";
    EXPECT_EQ(session->GetTurnFlow().GetActiveUnit(), first);

    Frame(0.25f); // 3.5: exactly 1.5 after the accepted one
    Rules(*session).RequestNextTurn();
    Step(0.0f);
    EXPECT_EQ(a->ended + b->ended, 1);
    EXPECT_NE(session->GetTurnFlow().GetActiveUnit(), first) << "the other unit stood at 0 and takes the turn";

    // Without players nothing asks for turns.
    FrontEnd(*session).ResetLevel();
    Frame(5.0f);
    Rules(*session).RequestNextTurn();
    EXPECT_TRUE(session->GetTurnFlow().IsTurnActive());
}

TEST_F(BattleFlowTest, TheUnitWhoseTurnItIsCannotEndItInTheMiddleOfAnAction)
{
    TurnUnit* a = Add(0, 5, 5);
    Add(1, 30, 30, 10, 20);
    StartTurns();
    ASSERT_EQ(session->GetTurnFlow().GetActiveUnit(), a);
    const struct {
        UnitState state;
        bool ends;
    } cases[] = {{MOVING, false}, {ATTACKING, false}, {CASTING, false}, {SELECTING_MOVE, true}};
    for (const auto& c : cases) {
        Frame(2.0f);
        a->RulesForSetUp().turn.state = c.state;
        Rules(*session).RequestNextTurn();
        EXPECT_EQ(!session->GetTurnFlow().IsTurnActive(), c.ends) << c.state;
    }
}

// Each countdown step takes trunc(-0.1 x speed) from a waiting unit, never below 0: 25 loses 2, 15 and 10 lose
// 1, 9 loses nothing.
TEST_F(BattleFlowTest, TheCountdownTakesATenthOfTheSpeedEachFrame)
{
    const int speeds[] = {25, 15, 10, 9, 25};
    const int before[] = {5, 5, 5, 5, 1};
    const int after[] = {3, 4, 4, 5, 0};
    TurnUnit* units[5];
    for (int i = 0; i < 5; ++i)
        units[i] = Add(i % 2, 5 + i, 5, speeds[i], before[i]);
    StartTurns();
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(units[i]->Rules().turn.initiative, after[i]) << "speed " << speeds[i] << " from " << before[i];
    EXPECT_EQ(session->GetTurnFlow().GetActiveUnit(), units[4]) << "the one at 0 takes the turn in the same step";
    EXPECT_EQ(Banner(), "Player 1 Turn.");
}

// Speeds 5 and 9 never count down; without a guard the banner would calculate for ever.
TEST_F(BattleFlowTest, UnitsTooSlowToCountDownStillGetTheirTurn)
{
    TurnUnit* slow = Add(0, 5, 5, 5, 3);
    TurnUnit* slower = Add(1, 30, 30, 9, 7);
    // A dead fast unit does not wait for a turn.
    TurnUnit* dead = Add(1, 31, 31, 30, 50);
    dead->SetState(DEAD);
    StartTurns();
    EXPECT_EQ(slow->Rules().turn.initiative, 2);
    EXPECT_EQ(slower->Rules().turn.initiative, 6);
    EXPECT_EQ(Banner(), "Calculating Initiatives...");
    EXPECT_EQ(session->GetTurnFlow().GetActiveUnit(), nullptr);
    Step(0.1f);
    Step(0.1f);
    EXPECT_EQ(session->GetTurnFlow().GetActiveUnit(), slow);
    EXPECT_EQ(slower->Rules().turn.initiative, 4);
}

// A caster killed by its own area ability cannot be commanded (the HUD takes no End Turn from the dead): the
// turn passes on by itself once its fall has played out, with the banner of the side that takes it.
TEST_F(BattleFlowTest, AUnitKilledInItsOwnTurnHandsTheTurnOn)
{
    TurnUnit* caster = Add(0, 5, 5);
    TurnUnit* foe = Add(1, 30, 30, 10, 1);
    Add(0, 6, 6, 10, 60);
    StartTurns();
    ASSERT_EQ(session->GetTurnFlow().GetActiveUnit(), caster);
    caster->SetState(DEAD);
    ASSERT_FALSE(caster->Rules().turn.alive);
    // The frames of its fall (2 s from the first frame that finds it dead): the turn stays with it.
    for (int frame = 0; frame < 19; ++frame)
        Step(0.1f);
    EXPECT_EQ(session->GetTurnFlow().GetActiveUnit(), caster);
    EXPECT_EQ(Banner(), "Player 1 Turn.");
    Step(0.5f);
    EXPECT_EQ(session->GetTurnFlow().GetActiveUnit(), foe);
    EXPECT_EQ(Banner(), "Player 2 Turn.");
    EXPECT_EQ(BattleHud::Get()->GetCurrentUnit(), foe);
    EXPECT_EQ(caster->begun, 1) << "the dead take no second turn";
    EXPECT_EQ(session->GetGameState(), GAME_STATE_BATTLE);
}

TEST_F(BattleFlowTest, TheBannerAnnouncesTheCountdownThenTheSideWhoseTurnItIs)
{
    TurnUnit* red = Add(1, 30, 30, 10, 2);
    TurnUnit* blue = Add(0, 5, 5, 10, 40);
    StartTurns();
    EXPECT_EQ(Banner(), "Calculating Initiatives...");
    EXPECT_FALSE(session->GetTurnFlow().IsTurnActive());
    Step(0.1f);
    ASSERT_EQ(session->GetTurnFlow().GetActiveUnit(), red);
    EXPECT_EQ(Banner(), "Player 2 Turn.");
    EXPECT_EQ(session->GetLabel(8)->pendingEffect, static_cast<uint32_t>(EFFECT_FADE_OUT));
    EXPECT_FLOAT_EQ(session->GetLabel(8)->effectDelay, 2.0f);
    EXPECT_EQ(session->GetTurnFlow().GetActivePlayer(), session->GetPlayer(1));
    EXPECT_EQ(session->GetPlayer(1)->GetSelectedUnit(), red);
    EXPECT_EQ(BattleHud::Get()->GetCurrentUnit(), red);
    EXPECT_EQ(red->begun, 1);
    EXPECT_TRUE(red->Rules().turn.myTurn);
    EXPECT_EQ(session->GetMarkers()->GetCursorPlayer(), 1);
    const std::vector<ColourKey>& keys = session->GetMarkers()->GetRingEmitterA()->ColourKeys();
    ASSERT_GE(keys.size(), 2u);
    EXPECT_FLOAT_EQ(keys[0].red, 128.0f);
    EXPECT_FLOAT_EQ(keys[0].blue, 0.0f);
    EXPECT_FLOAT_EQ(keys[1].blue, 128.0f);
    EXPECT_FLOAT_EQ(session->GetMarkers()->GetPlayerSymbol()->colour.a, 1.0f);

    // Red ends with full action points (+150); blue, at 40 - 2 = 38, needs 38 more frames.
    Frame(2.0f);
    Rules(*session).RequestNextTurn();
    for (int frame = 0; frame < 38; ++frame)
        Step(0.01f);
    EXPECT_EQ(red->Rules().turn.initiative, 150 - 38);
    EXPECT_EQ(session->GetTurnFlow().GetActiveUnit(), blue);
    EXPECT_EQ(Banner(), "Player 1 Turn.");
    EXPECT_EQ(session->GetMarkers()->GetCursorPlayer(), 0);
    EXPECT_FLOAT_EQ(keys[0].red, 0.0f);
    EXPECT_FLOAT_EQ(keys[0].blue, 128.0f);
    EXPECT_FLOAT_EQ(keys[1].green, 255.0f);
}

TEST_F(BattleFlowTest, TheTurnWindowAndTheSidesSymbolAreDrawnOnlyWhileTheyShow)
{
    BattleMarkers markers;
    markers.Create();
    const auto draws = [&] {
        const UINT before = Null()->DrawCount();
        markers.RenderWindows();
        return Null()->DrawCount() - before;
    };
    EXPECT_EQ(draws(), 0u) << "both start faded away";
    markers.ShowCountdown();
    markers.ShowTurnOf(true);
    Frame(0.1f);
    markers.UpdateWindows();
    EXPECT_EQ(draws(), 2u) << "the turn has just begun: the window and the symbol show";
    // Both wait two seconds, then fade out.
    for (int frame = 0; frame < 200; ++frame) {
        Frame(0.1f);
        markers.UpdateWindows();
    }
    EXPECT_EQ(PackColour(markers.GetPlayerSymbol()->colour) >> 24, 0u);
    EXPECT_EQ(draws(), 0u) << "faded away, they would change no pixel";
}

// A unit that asks for the next turn while its turn is being ended: the turn passes once, to the next unit.
TEST_F(BattleFlowTest, AUnitEndingItsTurnCannotEndItTwice)
{
    TurnUnit* a = Add(0, 5, 5);
    TurnUnit* b = Add(1, 30, 30, 10, 1);
    StartTurns();
    ASSERT_EQ(session->GetTurnFlow().GetActiveUnit(), a);
    a->askWhileEnding = true;
    // Focus queued for the end of the turn, with all ten action points left: +150 to the initiative.
    a->RulesForSetUp().turn.pendingState = FOCUSING;
    Frame(2.0f);
    Rules(*session).RequestNextTurn();
    Step(0.01f); // b has stood at 0 since the first step
    EXPECT_EQ(a->ended, 1);
    EXPECT_EQ(a->Rules().turn.initiative, 150 - 1) << "once, less this frame's countdown";
    EXPECT_EQ(a->Rules().turn.state, FOCUSING);
    EXPECT_EQ(session->GetTurnFlow().GetActiveUnit(), b);
    EXPECT_EQ(b->begun, 1);
    Step(0.01f);
    Step(0.01f);
    EXPECT_EQ(session->GetTurnFlow().GetActiveUnit(), b) << "the request was answered by b's turn";
    EXPECT_EQ(b->begun, 1);
    EXPECT_EQ(b->ended, 0);
}

// The fly-over shows the first zone below 3 s, the second above, neither in a frame landing on 3.0, and asks
// for the first turn from 6.5 s.
TEST_F(BattleFlowTest, TheFlyOverShowsEachZoneThenAsksForTheFirstTurn)
{
    const struct {
        float firstFrame;
        bool zone3;
        bool zone4;
    } cases[] = {{2.9f, true, false}, {3.0f, false, false}, {3.1f, false, true}};
    for (const auto& c : cases) {
        FrontEnd(*session).ResetLevel();
        FrontEnd(*session).AddPlayer(0);
        FrontEnd(*session).AddPlayer(1);
        Deploy(0, 5, 6);
        Deploy(1, 30, 31);
        ASSERT_NO_FATAL_FAILURE(LoadBattle());
        ASSERT_TRUE(session->GetFlyOver().IsActive());
        Step(c.firstFrame);
        EXPECT_EQ(session->GetFlyOver().IsZoneShotStarted(3), c.zone3) << c.firstFrame;
        EXPECT_EQ(session->GetFlyOver().IsZoneShotStarted(4), c.zone4) << c.firstFrame;
    }
    // From above the terrain's centre (16384, 0, 16384), looking at the second zone.
    const Hex* zone = session->GetHexGrid()->GetHex(30, 30);
    EXPECT_FLOAT_EQ(Camera::Get()->GetEye().y, 450.0f);
    EXPECT_FLOAT_EQ(Camera::Get()->GetEye().x, 16384.0f);
    EXPECT_FLOAT_EQ(Camera::Get()->GetLookAt().x, zone->fan[0].x);
    EXPECT_FLOAT_EQ(Camera::Get()->GetLookAt().z, zone->fan[0].z);
    EXPECT_EQ(session->GetTurnFlow().GetActiveUnit(), nullptr);
    Step(3.375f); // 6.475
    EXPECT_TRUE(session->GetTurnFlow().IsTurnActive());
    EXPECT_TRUE(session->GetFlyOver().IsActive());
    Step(0.125f); // 6.6: the request, and the countdown in the same frame
    EXPECT_NE(session->GetTurnFlow().GetActiveUnit(), nullptr);
    EXPECT_FALSE(session->GetFlyOver().IsActive());
}

TEST_F(BattleFlowTest, AFlyOverOverALevelWithoutTheSecondZoneSkipsThatShot)
{
    // A level without the second zone is refused as it loads; the board loses it afterwards instead.
    FrontEnd(*session).LoadLevel("Winter");
    session->GetHexGrid()->GetHex(30, 30)->SetType(HEX_OPEN);
    Deploy(0, 5, 6);
    Deploy(1, 20, 20);
    ASSERT_NO_FATAL_FAILURE(LoadBattle());
    Step(2.0f);
    const D3DXVECTOR3 aim = Camera::Get()->GetLookAt();
    EXPECT_FLOAT_EQ(aim.x, session->GetHexGrid()->GetHex(5, 5)->fan[0].x);
    Step(2.0f);
    EXPECT_TRUE(session->GetFlyOver().IsZoneShotStarted(4));
    EXPECT_FLOAT_EQ(Camera::Get()->GetLookAt().x, aim.x) << "the camera stays on the first zone";
    EXPECT_FLOAT_EQ(Camera::Get()->GetLookAt().z, aim.z);
    EXPECT_EQ(log.Count("session.flyover"), 1);
    Step(2.5f); // 6.5
    EXPECT_NE(session->GetTurnFlow().GetActiveUnit(), nullptr) << "the battle goes on";
}

// On real time: armed at the delay, shots at delay + 0.25 and + 3.0, over at + 6.0.
TEST_F(BattleFlowTest, TheSlowMotionShotRunsOnRealTime)
{
    TurnUnit* attacker = Add(0, 5, 5);
    TurnUnit* defender = Add(1, 8, 5, 10, 100);
    StartTurns();
    ASSERT_EQ(session->GetTurnFlow().GetActiveUnit(), attacker);
    const D3DXVECTOR3 eye = Camera::Get()->GetEye();
    const D3DXVECTOR3 a = attacker->GetPosition();
    const D3DXVECTOR3 d = defender->GetPosition();
    attacker->RulesForSetUp().command.slowMotionRequested = true;
    Rules(*session).RequestSlowMotion(defender, 1.0f, false);
    const int restarts = defender->Text()->restarts;
    for (int frame = 1; frame <= 56; ++frame) {
        Step(0.125f); // the clock is exact in eighths
        const float clock = 0.125f * static_cast<float>(frame);
        if (frame == 7 || frame == 56) {
            EXPECT_FLOAT_EQ(session->GetShot().GetGameSpeed(), 1.0f) << clock;
        } else if (frame == 8) {
            EXPECT_FLOAT_EQ(session->GetShot().GetGameSpeed(), 0.1f) << clock;
        } else if (frame == 9) {
            EXPECT_FLOAT_EQ(Camera::Get()->GetEye().x, eye.x) << "no shot before 1.25";
        } else if (frame == 31) {
            EXPECT_FLOAT_EQ(Camera::Get()->GetLookAt().x, a.x) << "the first shot until 4.0";
        }
        if (frame == 10) {
            // Beside (right 500) and behind (forward -500) the defender, 300 up, within 50; aimed at the attacker.
            EXPECT_NEAR(Camera::Get()->GetEye().x, d.x + 500.0f, 50.0f);
            EXPECT_NEAR(Camera::Get()->GetEye().z, d.z - 500.0f, 50.0f);
            EXPECT_NEAR(Camera::Get()->GetEye().y, d.y + 300.0f, 50.0f);
            EXPECT_FLOAT_EQ(Camera::Get()->GetLookAt().y, a.y + 150.0f);
            EXPECT_FLOAT_EQ(session->GetMarkers()->GetFlashOverlay()->speed, 15.0f);
        }
        if (frame == 32) {
            EXPECT_NEAR(Camera::Get()->GetEye().x, a.x + 500.0f, 50.0f);
            EXPECT_FLOAT_EQ(Camera::Get()->GetLookAt().x, d.x);
        }
        if (frame == 55) {
            EXPECT_TRUE(session->GetShot().IsRequested()) << clock;
        }
    }
    EXPECT_FALSE(session->GetShot().IsRequested());
    EXPECT_FLOAT_EQ(Camera::Get()->GetEye().x, eye.x);
    EXPECT_FLOAT_EQ(Camera::Get()->GetEye().z, eye.z);
    EXPECT_FLOAT_EQ(session->GetMarkers()->GetFlashOverlay()->speed, 5.0f);
    EXPECT_EQ(defender->Text()->restarts, restarts + 1) << "the defender's text shows at the end";
    EXPECT_FALSE(attacker->Rules().command.slowMotionRequested);

    // A spell's shot runs at a quarter speed; one long frame runs it from start to end.
    Rules(*session).RequestSlowMotion(defender, 1.25f, true);
    Step(0.125f * 10.0f);
    EXPECT_FLOAT_EQ(session->GetShot().GetGameSpeed(), 0.25f);
    Step(100.0f);
    EXPECT_FALSE(session->GetShot().IsRequested());
    EXPECT_FLOAT_EQ(session->GetShot().GetGameSpeed(), 1.0f);
    EXPECT_FLOAT_EQ(Camera::Get()->GetEye().x, eye.x);

    // Leaving the battle during a shot ends it: the menus never run in slow motion.
    Rules(*session).RequestSlowMotion(defender, 0.5f, false);
    Step(1.0f);
    ASSERT_FLOAT_EQ(session->GetShot().GetGameSpeed(), 0.1f);
    EnterState(GAME_STATE_MAIN_MENU);
    EXPECT_FLOAT_EQ(session->GetShot().GetGameSpeed(), 1.0f);
    EXPECT_FALSE(session->GetShot().IsRequested());
}

// The shot frames the unit whose blow asked for it, even when the turn has passed on.
TEST_F(BattleFlowTest, AShotOutlivesTheTurnAndTheUnitsItFrames)
{
    TurnUnit* attacker = Add(0, 5, 5);
    TurnUnit* defender = Add(1, 8, 5, 10, 1);
    StartTurns();
    attacker->RulesForSetUp().command.slowMotionRequested = true;
    Rules(*session).RequestSlowMotion(defender, 0.5f, false);
    Frame(2.0f);
    Rules(*session).RequestNextTurn();
    Step(0.25f); // the defender's turn
    ASSERT_EQ(session->GetTurnFlow().GetActiveUnit(), defender);
    Step(0.5f); // the first shot
    EXPECT_FLOAT_EQ(Camera::Get()->GetLookAt().x, attacker->GetPosition().x);
    Step(7.0f);
    EXPECT_FALSE(attacker->Rules().command.slowMotionRequested);
    EXPECT_EQ(Camera::Get()->GetTarget(), session.get()) << "the camera follows the unit whose turn it is again";

    // A unit taken off the board leaves nothing behind: the turn, the camera, its place in the turn order, the
    // shot it asked for or is the target of.
    Rules(*session).RequestSlowMotion(attacker, 0.5f, false); // asked for by the defender, whose turn it is
    Step(0.25f);
    FrontEnd(*session).RemoveUnit(1, defender);
    EXPECT_EQ(session->GetTurnFlow().GetActiveUnit(), nullptr);
    EXPECT_EQ(Camera::Get()->GetTarget(), nullptr);
    EXPECT_EQ(BattleHud::Get()->GetTurnOrderSize(), 1u);
    Step(0.5f); // armed without its attacker
    FrontEnd(*session).RemoveUnit(0, attacker);
    EXPECT_EQ(session->GetShot().GetTarget(), nullptr);
    EXPECT_EQ(BattleHud::Get()->GetTurnOrderSize(), 0u);
    Step(3.0f);
    Step(3.0f);
    EXPECT_FALSE(session->GetShot().IsRequested());
    EXPECT_FLOAT_EQ(session->GetShot().GetGameSpeed(), 1.0f);
}

// Units are counted in a square (not a ring) around the target hex; the amount is shared by at most three.
TEST_F(BattleFlowTest, AnAreaAbilitySharesItsAmountAmongAtMostThree)
{
    const struct {
        int amount;
        int inside;
        int share;
    } cases[] = {{30, 1, 30}, {30, 2, 15}, {30, 3, 10}, {30, 5, 10}, {-7, 2, -3}, {30, 0, 0}};
    // Each inside the square of radius 2 around (10, 10) with its corners, in the order they are added.
    const int spots[5][2] = {{11, 11}, {9, 10}, {10, 9}, {9, 9}, {11, 10}};
    for (const auto& c : cases) {
        FrontEnd(*session).ResetLevel();
        FrontEnd(*session).AddPlayer(0);
        FrontEnd(*session).AddPlayer(1);
        TurnUnit* caster = Add(0, 20, 20);
        SpellDefinition nova;
        nova.name = "Nova";
        nova.areaRadius = 2;
        nova.range = 3;
        nova.amount = c.amount;
        caster->RulesForSetUp().abilities = {nova};
        caster->RulesForSetUp().command.selectedAbility = 0;
        caster->RulesForSetUp().command.abilityTarget = session->GetHexGrid()->GetHex(10, 10);
        std::vector<TurnUnit*> inside;
        for (int i = 0; i < c.inside; ++i)
            inside.push_back(Add(1, spots[i][0], spots[i][1]));
        TurnUnit* outside = Add(1, 12, 10); // two rows away
        TurnUnit* dead = Add(1, 10, 11);
        dead->SetState(DEAD);
        Rules(*session).ApplyAreaEffect(caster, caster->Rules().abilities[0]);
        for (TurnUnit* unit : inside) {
            ASSERT_EQ(unit->spellAmounts.size(), 1u) << c.inside;
            EXPECT_EQ(unit->spellAmounts[0], c.share) << c.amount << " among " << c.inside;
        }
        EXPECT_TRUE(outside->spellAmounts.empty());
        EXPECT_EQ(caster->Rules().abilities[0].amount, c.amount) << "the ability keeps its amount";
    }
}

TEST_F(BattleFlowTest, TheTargetsRingsFollowTheTargetAndTheActiveRingStays)
{
    for (bool on : {true, false, true}) {
        Rules(*session).SetRingEmittersActive(on);
        EXPECT_EQ(session->GetMarkers()->GetRingEmitterB()->emitting, on);
        EXPECT_EQ(session->GetMarkers()->GetBurstEmitter()->emitting, on);
        EXPECT_TRUE(session->GetMarkers()->GetRingEmitterA()->emitting);
    }
}

// The end screen is written once: the defeat timer running on must not rewrite it every 6.5 s.
TEST_F(BattleFlowTest, TheEndOfTheGameIsEnteredOnce)
{
    TurnUnit* beaten = Add(0, 5, 5);
    Add(1, 30, 30, 10, 100);
    StartTurns();
    session->GetPlayer(1)->AddToStatistic(Statistic::KILLS, 1);
    beaten->SetState(DEAD);
    for (int frame = 0; frame < 12; ++frame)
        Step(0.5f);
    EXPECT_EQ(session->GetGameState(), GAME_STATE_BATTLE) << "6.0 s after the defeat";
    Step(0.5f);
    // Asked for in this frame, entered as the next one starts.
    EXPECT_TRUE(Rules(*session).IsGameOver());
    session->ApplyRequestedChanges();
    ASSERT_EQ(session->GetGameState(), GAME_STATE_GAME_OVER);
    EXPECT_EQ(Banner(), "Player 2 Wins!");
    EXPECT_EQ(session->GetLabel(1)->GetText(), "1");
    session->GetPlayer(1)->AddToStatistic(Statistic::KILLS, 1);
    for (int frame = 0; frame < 40; ++frame) {
        Frame(0.5f);
        session->Update();
    }
    EXPECT_EQ(session->GetLabel(1)->GetText(), "1");
}

// The frame in which the defeat ends the battle hands no turn on: the countdown would write its banner over the
// winner's. The end page, winner's line and all, shows from the start of the next frame.
TEST_F(BattleFlowTest, TheFrameThatEndsTheBattleRunsNoCountdownUnderTheWinnersBanner)
{
    // The survivor takes the first turn; the other side's only unit, far from its own, falls.
    TurnUnit* beaten = Add(0, 5, 5, 10, 100);
    TurnUnit* survivor = Add(1, 30, 30, 10, 0);
    StartTurns();
    ASSERT_EQ(session->GetTurnFlow().GetActiveUnit(), survivor);
    beaten->SetState(DEAD);
    for (int frame = 0; frame < 12; ++frame)
        Step(0.5f);
    ASSERT_FALSE(Rules(*session).IsGameOver()) << "6.0 s after the defeat";
    // The survivor gives up its turn: the next frame would end it and step the countdown, which writes its
    // banner and takes 1 from an initiative of 100 at speed 10.
    survivor->RulesForSetUp().turn.initiative = 100;
    Rules(*session).AdvanceTurn();
    session->GetLabel(8)->SetText("");
    const int ended = survivor->ended;
    Step(0.5f); // 6.5 s: the defeat ends the battle
    EXPECT_TRUE(Rules(*session).IsGameOver());
    EXPECT_FALSE(Rules(*session).IsInBattle());
    EXPECT_EQ(session->GetGameState(), GAME_STATE_BATTLE) << "the battle's screen finishes its frame";
    EXPECT_EQ(survivor->ended, ended) << "no turn ends in the frame that ended the battle";
    EXPECT_EQ(survivor->Rules().turn.initiative, 100) << "and no countdown step";
    EXPECT_EQ(Banner(), "");

    session->ApplyRequestedChanges();
    EXPECT_EQ(session->GetGameState(), GAME_STATE_GAME_OVER);
    EXPECT_EQ(Banner(), "Player 2 Wins!");
    // Fading in from nothing, not out as the countdown's banner would.
    EXPECT_EQ(session->GetLabel(8)->pendingEffect, static_cast<uint32_t>(EFFECT_FADE_ALPHA_TO_BASE));
}

// The sides are Player 1 and Player 2 by their team, not by which deployment button was pressed first.
TEST_F(BattleFlowTest, ASideThatDeploysFirstKeepsItsNumber)
{
    FrontEnd(*session).ResetLevel();
    FrontEnd(*session).AddPlayer(1);
    FrontEnd(*session).AddPlayer(0);
    ASSERT_NE(session->GetPlayer(0), nullptr);
    EXPECT_EQ(session->GetPlayer(0)->team, 0);
    EXPECT_EQ(session->GetPlayer(1)->team, 1);
    TurnUnit* blue = Deploy(0, 5, 6);
    TurnUnit* red = Deploy(1, 30, 31, 10, 100);
    ASSERT_NO_FATAL_FAILURE(LoadBattle());
    // The first zone's shot follows the first side's army, the second's the second's.
    Step(2.0f);
    EXPECT_FLOAT_EQ(Followed(*session).GetTargetPosition().x, blue->GetPosition().x);
    EXPECT_FLOAT_EQ(Followed(*session).GetTargetPosition().z, blue->GetPosition().z);
    Step(2.0f);
    EXPECT_FLOAT_EQ(Followed(*session).GetTargetPosition().x, red->GetPosition().x);
    EXPECT_FLOAT_EQ(Followed(*session).GetTargetPosition().z, red->GetPosition().z);

    session->GetPlayer(0)->AddToStatistic(Statistic::KILLS, 3);
    session->GetPlayer(1)->AddToStatistic(Statistic::KILLS, 7);
    blue->SetState(DEAD);
    for (int frame = 0; frame < 20 && !Rules(*session).IsGameOver(); ++frame)
        Step(0.5f);
    session->ApplyRequestedChanges();
    ASSERT_EQ(session->GetGameState(), GAME_STATE_GAME_OVER);
    EXPECT_EQ(Banner(), "Player 2 Wins!");
    EXPECT_EQ(session->GetLabel(0)->GetText(), "3") << "the first side's kills on the left";
    EXPECT_EQ(session->GetLabel(1)->GetText(), "7");
}

// The HUD stops updating on the end page, so a HUD button the pointer rested on as the battle ended is let go
// there: its name would otherwise stay over the statistics.
TEST_F(BattleFlowTest, TheEndPageShowsNoNameOfAHudButtonLeftUnderThePointer)
{
    Add(0, 5, 5);
    Add(1, 30, 30, 10, 100);
    StartTurns();
    GuiButton* rested = BattleHud::Get()->GetActionButton(0);
    ASSERT_NE(rested, nullptr);
    MouseOverManager::Get()->EnterButton(rested);
    ASSERT_EQ(MouseOverManager::Get()->GetHoveredButton(), rested);
    EnterState(GAME_STATE_GAME_OVER);
    EXPECT_EQ(MouseOverManager::Get()->GetHoveredButton(), nullptr);
}

// The battle HUD draws only once the fly-over is over; the flash and the banner always.
TEST_F(BattleFlowTest, TheFlyOverHidesTheHud)
{
    TurnUnit* first = Deploy(0, 5, 6);
    TurnUnit* second = Deploy(1, 30, 31, 10, 5);
    ASSERT_NO_FATAL_FAILURE(LoadBattle());
    ASSERT_EQ(BattleHud::Get()->GetTurnOrderSize(), 2u) << "the job's entries reach the HUD, in order";
    EXPECT_EQ(BattleHud::Get()->GetTurnOrderUnit(0), first);
    EXPECT_EQ(BattleHud::Get()->GetTurnOrderUnit(1), second);
    NullDevice* device = Null();
    device->ResetCounters();
    session->RenderOverlay();
    EXPECT_EQ(device->DrawCount(), 0u) << "no HUD, and the flash still waits for its delay";
    const std::vector<TextLabel*>& queued = QueuedText();
    EXPECT_NE(std::find(queued.begin(), queued.end(), session->GetLabel(8)), queued.end());
    DrawQueuedText();

    Step(7.0f);
    Step(0.1f);
    ASSERT_FALSE(session->GetFlyOver().IsActive());
    device->ResetCounters();
    session->RenderOverlay();
    EXPECT_GT(device->DrawCount(), 10u) << "the HUD's frame, bars and buttons, the windows and the flash";
    DrawQueuedText();
}

TEST_F(BattleFlowTest, TheFlashIsDrawnOnlyWhileItShows)
{
    Deploy(0, 5, 6);
    Deploy(1, 30, 31, 10, 5);
    ASSERT_NO_FATAL_FAILURE(LoadBattle());
    Step(7.0f);
    Step(0.1f);
    GuiElement* flash = session->GetMarkers()->GetFlashOverlay();
    ASSERT_NE(flash, nullptr);
    NullDevice* device = Null();
    const auto drawsWithFlashAlpha = [&](float alpha) {
        flash->colour.a = alpha;
        flash->UpdateVertices();
        device->ResetCounters();
        session->RenderOverlay();
        DrawQueuedText();
        return device->DrawCount();
    };
    const UINT faded = drawsWithFlashAlpha(0.0f);
    EXPECT_EQ(drawsWithFlashAlpha(0.5f), faded + 1);
    EXPECT_EQ(drawsWithFlashAlpha(1.0f / 512.0f), faded) << "less than a step of the vertex colour's alpha";
    EXPECT_EQ(drawsWithFlashAlpha(1.0f / 128.0f), faded + 1);
}

// The battle's music plays from the battle's start until the battle ends: by a rematch, the main menu or quitting;
// a rematch also starts on ground without the last battle's blood.
TEST_F(BattleFlowTest, TheBattleMusicAndItsBloodGoWhenTheBattleEnds)
{
    Deploy(0, 5, 6);
    Deploy(1, 30, 31);
    ASSERT_NO_FATAL_FAILURE(LoadBattle());
    EXPECT_EQ(MusicChannels(), 1);
    EnterState(GAME_STATE_MAIN_MENU);
    EXPECT_EQ(MusicChannels(), 0);
    EnterState(GAME_STATE_BATTLE); // resumed
    EXPECT_EQ(MusicChannels(), 1);
    EnterState(GAME_STATE_GAME_OVER);
    const size_t levelDecals = DecalManager::Get()->LevelList().size();
    auto* blood = new Decal();
    blood->Create(2, 1000.0f, 1000.0f, false);
    DecalManager::Get()->Add(blood);
    FrontEnd(*session).ResetLevel(); // the rematch
    EXPECT_EQ(MusicChannels(), 0);
    EXPECT_TRUE(DecalManager::Get()->DynamicList().empty()) << "the last battle's blood is gone";
    EXPECT_EQ(DecalManager::Get()->LevelList().size(), levelDecals) << "the level's own decals stay";
    EXPECT_EQ(BattleHud::Get()->GetTurnOrderSize(), 0u);
    FrontEnd(*session).ResetLevel();

    FrontEnd(*session).AddPlayer(0);
    FrontEnd(*session).AddPlayer(1);
    Deploy(0, 5, 6);
    Deploy(1, 30, 31);
    ASSERT_NO_FATAL_FAILURE(LoadBattle());
    EXPECT_EQ(MusicChannels(), 1) << "one copy, not two";
    session->Shutdown();
    EXPECT_EQ(MusicChannels(), 0);
}

// In battle the player commands through the HUD; nothing of the front end behind it may take the click.
TEST_F(BattleFlowTest, AClickOnEndTurnPassesTheTurn)
{
    constexpr int kLeftButton = 0;
    InputState::Get().Reset();
    InputManager::ResetForTests();
    ASSERT_EQ(InputManager::Get()->Init(reinterpret_cast<HINSTANCE>(0x3000), reinterpret_cast<HWND>(0x2000), 0), S_OK);
    InputManager::Get()->BindMouseName("LBUTTON", 0);
    MouseOverManager::Get()->Init();
    TurnUnit* first = Add(0, 5, 5);
    TurnUnit* second = Add(1, 30, 30);
    // The battle comes from the deployment screen, whose page covers the whole screen as it fades away.
    EnterState(GAME_STATE_DEPLOYMENT);
    StartTurns();
    ASSERT_EQ(session->GetTurnFlow().GetActiveUnit(), first);
    const GuiButton* endTurn = BattleHud::Get()->GetActionButton(BattleHud::ACTION_END_TURN);
    ASSERT_NE(endTurn, nullptr);
    const auto frame = [this] {
        Frame(0.05f);
        InputManager::Get()->Update();
        session->Update();
    };
    Frame(2.0f);
    MouseOverManager::Get()->MovePointer(static_cast<int>(endTurn->left) + 20, static_cast<int>(endTurn->top) + 24);
    frame();
    InputState::Get().InjectButton(kLeftButton, true);
    frame();
    InputState::Get().InjectButton(kLeftButton, false);
    frame();
    frame();
    EXPECT_EQ(first->ended, 1);
    EXPECT_EQ(session->GetTurnFlow().GetActiveUnit(), second);
    InputManager::ResetForTests();
    InputState::Get().Reset();
}

// The window that announces a turn and the side's symbol are pictures that fade away: the board beneath them takes
// the player's clicks, whether they show or not.
TEST_F(BattleFlowTest, TheTurnWindowAndTheSideSymbolLeaveTheBoardItsClicks)
{
    constexpr int kLeftButton = 0;
    InputState::Get().Reset();
    InputManager::ResetForTests();
    ASSERT_EQ(InputManager::Get()->Init(reinterpret_cast<HINSTANCE>(0x3000), reinterpret_cast<HWND>(0x2000), 0), S_OK);
    InputManager::Get()->BindMouseName("LBUTTON", 0);
    MouseOverManager::Get()->Init();
    Add(0, 5, 5);
    Add(1, 30, 30);
    StartTurns();
    ASSERT_NE(session->GetTurnFlow().GetActiveUnit(), nullptr);
    const auto frame = [this] {
        Frame(0.05f);
        InputManager::Get()->Update();
        session->Update();
    };
    struct Case {
        const char* where;
        int x, y;
    };
    // The turn window covers (346, 148) to (678, 280), the symbol (890, 512) to (995, 768); open ground beside.
    const Case cases[] = {
        {"in the turn window", 512, 214}, {"in the side's symbol", 940, 580}, {"on open ground", 512, 330}};
    for (const Case& c : cases) {
        for (bool announcing : {true, false}) {
            SCOPED_TRACE(std::string(c.where) + (announcing ? ", as the turn is announced" : ", later"));
            if (!announcing)
                Frame(5.0f);
            MouseOverManager::Get()->MovePointer(c.x, c.y);
            frame();
            InputState::Get().InjectButton(kLeftButton, true);
            frame();
            EXPECT_TRUE(MouseOverManager::Get()->IsBoardClick());
            InputState::Get().InjectButton(kLeftButton, false);
            frame();
            frame();
        }
    }
    InputManager::ResetForTests();
    InputState::Get().Reset();
}

// The bars show from the battle's start, so a player sees every unit's health, the enemy's too; Tab hides them
// and shows them again.
TEST_F(BattleFlowTest, ABattleOpensWithTheBarsShownAndTabHidesThem)
{
    TurnUnit* own = Add(0, 5, 5);
    TurnUnit* enemy = Add(1, 30, 30);
    ASSERT_NE(enemy->Presentation().healthQuad, nullptr);
    // Before the battle the bars are out of sight.
    EXPECT_EQ(enemy->Presentation().healthQuad->alpha, 0.0f);
    EXPECT_EQ(enemy->Presentation().healthQuad->fadeState, 3);
    LoadBattle();
    for (TurnUnit* unit : {own, enemy})
        for (WorldQuad* quad : {unit->Presentation().frameQuad.get(), unit->Presentation().healthQuad.get(),
                                unit->Presentation().manaQuad.get(), unit->Presentation().badgeQuad.get()})
            EXPECT_EQ(quad->fadeState, 0);
    session->ToggleUnitBars();
    EXPECT_EQ(enemy->Presentation().manaQuad->fadeState, 1);
    EXPECT_EQ(own->Presentation().frameQuad->fadeState, 1);
    session->ToggleUnitBars();
    EXPECT_EQ(enemy->Presentation().manaQuad->fadeState, 0);
    // Back from the main menu the battle goes on as the player left it.
    session->ToggleUnitBars();
    EnterState(GAME_STATE_MAIN_MENU);
    EnterState(GAME_STATE_BATTLE);
    EXPECT_EQ(enemy->Presentation().badgeQuad->fadeState, 1);
}
