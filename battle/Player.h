#pragma once

#include "battle/Statistic.h"

#include <cstdint>
#include <string>
#include <vector>

class BoardUnit;
class Hex;
class Object;

// One side of the battle: owns its units, knows the selected one, counts the statistics of the end screen,
// turns the selected unit's state and the hovered hex into commands each frame and draws its units' hexes.
class Player
{
public:
    static constexpr int NO_TEAM = 8;
    static constexpr float DEFEAT_DELAY = 6.5f;
    // The turn-start shouts are voices 15 to 17.
    static constexpr int FIRST_TURN_START_VOICE = 15;
    static constexpr int TURN_START_VOICES = 3;
    static constexpr float RANGE_STEP = 112.0f;
    // An enemy in reach of the unit choosing a target shows this many more times on its team's list.
    static constexpr int IN_REACH_REPEATS = 3;

    Player();
    ~Player();
    Player(const Player&) = delete;
    Player& operator=(const Player&) = delete;

    void SelectUnit(BoardUnit* unit);
    // Returns the new unit, or null when none could be made.
    BoardUnit* CreateUnit(const std::string& fileName, int row, int col);
    void RemoveUnit(BoardUnit* unit);
    void DeleteUnits();
    void ClearUnits();
    void Update();
    void DispatchCommand();
    void Render();
    BoardUnit* GetUnit(int index) const;
    int AliveCount() const;
    int UpdateDefeated();
    void QueueUnitTexts();
    void FlagDefendedHexes();
    void AdjustInitiatives();
    void OnLostDevice();
    void OnResetDevice();
    void TargetUnderMouse();

    const std::vector<BoardUnit*>& GetUnits() const { return m_units; }
    BoardUnit* GetSelectedUnit() const { return m_selectedUnit; }
    bool IsDefeated() const { return m_defeated; }
    int GetUnitCount() const { return m_unitCount; }

    // The unit of either player of the session that the object stands for, or null.
    static BoardUnit* FindUnit(const Object* object);
    // The defeat timer is shared by both players; a new battle starts it from 0.
    static void ResetDefeatTimer();
    static float GetDefeatTimer();

    int32_t GetStatistic(Statistic statistic) const { return m_statistics[static_cast<size_t>(statistic)]; }
    void AddToStatistic(Statistic statistic, int32_t amount) { m_statistics[static_cast<size_t>(statistic)] += amount; }
    // Adds to the player's counter; a deed without a player (a unit with no owner, a harm with no caster)
    // counts for no one.
    static void Credit(Player* player, Statistic statistic, int32_t amount = 1)
    {
        if (player)
            player->AddToStatistic(statistic, amount);
    }

    int32_t team = NO_TEAM;

private:
    // Clears what the rest of the game still holds of a unit that is about to be deleted.
    void Forget(BoardUnit* unit);
    void UpdateDefeatTimer();

    int32_t m_statistics[static_cast<size_t>(Statistic::COUNT)] = {};
    int32_t m_unitCount = 0;
    BoardUnit* m_selectedUnit = nullptr;
    bool m_defeated = false;
    std::vector<BoardUnit*> m_units;
};
