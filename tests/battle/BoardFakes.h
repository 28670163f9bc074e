#pragma once
// Stand-ins for what the board and the players reach outside the battle layer, and a unit that records what
// the players ask of it. The unit places itself on hexes the way a unit does: the old hex gets its level's type
// back, the new one becomes occupied by it.

#include "battle/BattleSession.h"
#include "battle/BoardPointer.h"
#include "battle/BoardUnit.h"
#include "battle/BoardView.h"
#include "battle/CommandHud.h"
#include "battle/Hex.h"
#include "battle/HexGrid.h"
#include "battle/PathSearch.h"
#include "battle/Player.h"
#include "core/DataManager.h"
#include "d3d9/null/NullDevice.h"
#include "support/BattleTest.h"
#include "support/TestDevice.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

class FakePointer : public BoardPointer
{
public:
    FakePointer() { Register(this); }
    ~FakePointer() override { Register(nullptr); }

    const D3DXVECTOR3& GetPickRayOrigin() const override { return origin; }
    const D3DXVECTOR3& GetPickRayDirection() const override { return direction; }
    Hex* GetHovered() const override { return hovered; }
    void SetHovered(Hex* hex) override
    {
        hovered = hex;
        ++hoverSets;
    }
    bool IsShowingText() const override { return showText; }
    bool IsBoardClick() const override { return click; }
    bool IsOverHud() const override { return overHud; }
    void ForgetUnit(BoardUnit* gone) override
    {
        if (dragged == gone)
            dragged = nullptr;
    }

    // Straight down onto the point (x, z).
    void AimAt(float x, float z)
    {
        origin = D3DXVECTOR3(x, 1000.0f, z);
        direction = D3DXVECTOR3(0.0f, -1.0f, 0.0f);
    }

    D3DXVECTOR3 origin;
    D3DXVECTOR3 direction;
    Hex* hovered = nullptr;
    int hoverSets = 0;
    bool showText = false;
    bool click = false;
    bool overHud = false;
    BoardUnit* dragged = nullptr;
};

class FakeSession : public BattleSession
{
public:
    FakeSession() { Register(this); }
    ~FakeSession() override { Register(nullptr); }

    bool IsInBattle() const override { return inBattle; }
    bool IsGameOver() const override { return gameOver; }
    void SetGameOver() override
    {
        gameOver = true;
        ++gameOverCalls;
    }
    void SetRingEmittersActive(bool active) override { ringCalls.push_back(active); }
    void ApplyAreaEffect(BoardUnit* caster, const SpellDefinition& ability) override
    {
        areaCaster = caster;
        areaAbility = ability.name;
        if (areaKillsCaster && caster)
            caster->SetState(DEAD);
    }
    Player* GetPlayer(int index) const override { return index >= 0 && index < 2 ? players[index] : nullptr; }
    void RequestSlowMotion(BoardUnit* target, float delay, bool spellShot) override
    {
        slowMotionTarget = target;
        slowMotionDelay = delay;
        slowMotionSpellShot = spellShot;
        ++slowMotionRequests;
    }
    void RequestNextTurn() override { ++nextTurnRequests; }
    void AdvanceTurn() override { ++advanceTurnRequests; }
    void SetShakeMagnitude(float magnitude) override { shake = magnitude; }
    void SetAreaDecal(int cells) override { areaDecalCells = cells; }

    bool inBattle = true;
    bool gameOver = false;
    int gameOverCalls = 0;
    std::vector<bool> ringCalls;
    BoardUnit* areaCaster = nullptr;
    std::string areaAbility;
    // The caster stands in its own area and dies of it.
    bool areaKillsCaster = false;
    Player* players[2] = {nullptr, nullptr};
    BoardUnit* slowMotionTarget = nullptr;
    float slowMotionDelay = 0.0f;
    bool slowMotionSpellShot = false;
    int slowMotionRequests = 0;
    int nextTurnRequests = 0;
    int advanceTurnRequests = 0;
    float shake = 0.0f;
    int areaDecalCells = 0;
};

class FakeHud : public CommandHud
{
public:
    FakeHud() { Register(this); }
    ~FakeHud() override { Register(nullptr); }

    void HideHighlight() override { ++hideHighlight; }
    void UpdateUnitTexts() override { ++updateTexts; }
    void ResetMenu() override { ++resetMenu; }
    BoardUnit* GetCurrentUnit() const override { return current; }
    void ForgetUnit(BoardUnit* gone) override
    {
        if (current == gone)
            current = nullptr;
    }

    void DisableAction(int index) override { disabled.push_back(index); }
    void RemoveUnit(BoardUnit* unit) override { removed.push_back(unit); }

    std::vector<int> disabled;
    std::vector<BoardUnit*> removed;
    int hideHighlight = 0;
    int updateTexts = 0;
    int resetMenu = 0;
    BoardUnit* current = nullptr;
};

class FakeView : public BoardView
{
public:
    FakeView() { Register(this); }
    ~FakeView() override { Register(nullptr); }

    void FollowUnit(BoardUnit* unit) override { followed = unit; }
    void ResetGlows() override { ++resetGlows; }
    void ForgetUnit(BoardUnit* gone) override
    {
        if (followed == gone)
            followed = nullptr;
    }

    void AddGlow(float x, float y, float z) override { glows.push_back(D3DXVECTOR3(x, y, z)); }

    BoardUnit* followed = nullptr;
    int resetGlows = 0;
    std::vector<D3DXVECTOR3> glows;
};

class FakeUnit : public BoardUnit
{
public:
    explicit FakeUnit(HexGrid* grid = nullptr) : grid(grid) { }

    // Never dereferenced by the board: it only names the occupant of a hex.
    Object* AsObject() override { return reinterpret_cast<Object*>(this); }
    Hex* GetHex() const override { return hex; }
    void SetPosition(int row, int col) override
    {
        positions.emplace_back(row, col);
        if (grid)
            SetHex(grid->GetHex(row, col));
    }
    void SetHex(Hex* next)
    {
        if (hex) {
            hex->SetType(hex->defaultType);
            hex->fadeState = FADE_OUT;
            hex->occupant = nullptr;
        }
        hex = next;
        if (hex) {
            hex->SetType(HEX_OCCUPIED);
            hex->occupant = AsObject();
        }
    }
    void FaceTowards(float x, float z, float rate) override
    {
        faceX = x;
        faceZ = z;
        faceRate = rate;
    }
    void Update() override { ++updates; }
    void Render() override
    {
        ++renders;
        if (whenRendered)
            whenRendered();
    }
    void Release() override
    {
        ++releases;
        if (releaseFreesHex && hex) {
            hex->SetType(hex->defaultType);
            hex->occupant = nullptr;
        }
    }
    void OnLostDevice() override { ++lost; }
    void OnResetDevice() override { ++reset; }

    bool InitPresentation(Player* player) override
    {
        owner = player;
        return initSucceeds;
    }
    void Load(const std::string& fileName) override { loadedFile = fileName; }
    void LoadModel(bool withAnimations) override
    {
        modelLoads.push_back(withAnimations);
        modelLoadThread = std::this_thread::get_id();
    }
    void QueueVoice(int slot) override { voices.push_back(slot); }
    Player* GetOwner() const override { return owner; }
    UnitState GetState() const override { return state; }
    void SetState(UnitState next) override { state = next; }
    bool CanMove() const override { return canMove; }
    bool HasActiveEffect(EffectType type) const override
    {
        return std::find(effects.begin(), effects.end(), type) != effects.end();
    }
    int GetMovementRadius() const override { return movementRadius; }
    int GetMeleeRange() const override { return meleeRange; }
    int GetRangedRange() const override { return rangedRange; }
    int GetDefendRadius() const override { return defendRadius; }
    std::vector<Hex*>& GetPath() override { return path; }
    int FindPath(Hex* target, int& count) override
    {
        ++findPathCalls;
        findPathTarget = target;
        if (scriptedPathResult >= 0)
            return scriptedPathResult;
        return grid ? PathSearch(*grid).FindPath(*this, target, count) : 0;
    }
    bool StartMove() override
    {
        ++startMoves;
        state = MOVING;
        return true;
    }
    BoardUnit* GetTarget() const override { return target; }
    void SetTarget(BoardUnit* next) override
    {
        target = next;
        ++targetSets;
    }
    void ClearTarget() override { SetTarget(nullptr); }
    bool AttackCommand() override
    {
        ++attackCommands;
        if (attackSucceeds)
            state = ATTACKING;
        return attackSucceeds;
    }
    bool AttackWindUp() override
    {
        ++windUps;
        return false;
    }
    TargetCheck CheckTarget() override
    {
        ++checks;
        storedCheck = scriptedCheck;
        return scriptedCheck;
    }
    TargetCheck GetTargetCheck() const override { return storedCheck; }
    void CastSpell(BoardUnit* on) override
    {
        castOn = on;
        ++casts;
        state = CASTING;
    }
    void UseAbility(Hex* on) override
    {
        abilityHex = on;
        ++areaUses;
        state = CASTING;
    }
    bool AbilityReady() override { return abilityReady; }
    const SpellDefinition* GetSelectedAbility() const override { return selected ? &ability : nullptr; }
    void DeselectAbility() override { selected = false; }
    void ApplySpellEffect(BoardUnit* caster, const SpellDefinition& spell) override
    {
        effectCaster = caster;
        effectName = spell.name;
    }
    void QueueTexts() override { ++textQueues; }
    void SetTextVisible(bool visible) override { textVisible = visible; }
    void ClaimDefendedHexes() override { ++claims; }
    void AdjustInitiative() override { ++initiativeSteps; }
    void ForgetUnit(BoardUnit* gone) override
    {
        if (target == gone)
            target = nullptr;
    }

    HexGrid* grid = nullptr;
    Hex* hex = nullptr;
    Player* owner = nullptr;
    UnitState state = IDLE;
    bool initSucceeds = true;
    bool canMove = true;
    bool releaseFreesHex = true;
    bool attackSucceeds = false;
    bool abilityReady = false;
    bool selected = true;
    bool textVisible = true;
    int movementRadius = 5;
    int meleeRange = 1;
    int rangedRange = 0;
    int defendRadius = 2;
    int scriptedPathResult = -1;
    TargetCheck scriptedCheck = OUT_OF_RANGE;
    TargetCheck storedCheck = OUT_OF_RANGE;
    SpellDefinition ability;
    std::vector<EffectType> effects;
    std::vector<Hex*> path;
    std::vector<std::pair<int, int>> positions;
    std::vector<int> voices;
    std::string loadedFile;
    // The withAnimations flag of every LoadModel, and the thread of the last.
    std::vector<bool> modelLoads;
    std::thread::id modelLoadThread;
    BoardUnit* target = nullptr;
    BoardUnit* castOn = nullptr;
    BoardUnit* effectCaster = nullptr;
    std::string effectName;
    Hex* abilityHex = nullptr;
    Hex* findPathTarget = nullptr;
    float faceX = 0.0f;
    float faceZ = 0.0f;
    float faceRate = 0.0f;
    int updates = 0, renders = 0, releases = 0, lost = 0, reset = 0, findPathCalls = 0, startMoves = 0;
    // Called at each Render (a test's look at the device while the unit is drawn).
    std::function<void()> whenRendered;
    int targetSets = 0, attackCommands = 0, windUps = 0, checks = 0, casts = 0, areaUses = 0;
    int textQueues = 0, claims = 0, initiativeSteps = 0;
};

// The unit the next CreateUnit of a player receives from the factory.
inline FakeUnit*& NextFakeUnit()
{
    static FakeUnit* next = nullptr;
    return next;
}

inline std::unique_ptr<BoardUnit> TakeNextFakeUnit()
{
    FakeUnit* unit = NextFakeUnit();
    NextFakeUnit() = nullptr;
    return std::unique_ptr<BoardUnit>(unit);
}

// A board of open ground (type 0) on flat ground, built on the null device and registered with the data manager.
class BoardTest : public BattleTest
{
protected:
    void SetUp() override
    {
        ResetForTests();
        ASSERT_NO_FATAL_FAILURE(CreateTestDevice(D3D9_BACKEND_NULL, nullptr, 640, 480, &d3d, &device));
        DataManager::Get()->SetDevice(device);
        Player::ResetDefeatTimer();
        grid = std::make_unique<HexGrid>();
        grid->LoadTextures();
        for (int r = 0; r < HexGrid::ROWS; ++r) {
            for (int c = 0; c < HexGrid::COLUMNS; ++c) {
                Hex* hex = grid->GetHex(r, c);
                hex->defaultType = HEX_OPEN;
                hex->SetType(HEX_OPEN);
            }
        }
        HexGrid::SetCurrent(grid.get());
    }
    void TearDown() override
    {
        HexGrid::SetCurrent(nullptr);
        grid.reset();
        ResetForTests();
        ReleaseTestDevice(d3d, device);
    }

    NullDevice* Null() const { return dynamic_cast<NullDevice*>(device); }

    Hex* At(int row, int col) { return grid->GetHex(row, col); }

    // A unit bought for the player and placed at (row, col), as the deployment does.
    FakeUnit* Deploy(Player& player, int row, int col)
    {
        auto* unit = new FakeUnit(grid.get());
        NextFakeUnit() = unit;
        BoardUnit::SetFactory(TakeNextFakeUnit);
        BoardUnit* made = player.CreateUnit("Militia.txt", row, col);
        BoardUnit::SetFactory(nullptr);
        EXPECT_EQ(made, unit);
        return unit;
    }

    IDirect3D9* d3d = nullptr;
    IDirect3DDevice9* device = nullptr;
    std::unique_ptr<HexGrid> grid;
};
