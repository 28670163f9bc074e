#pragma once
// What the front-end screens ask of the game session that owns them: game states, the level, the armies being
// deployed, the window and the scene picture. The session registers itself; without one the screens still
// switch pages but change nothing outside them.

#include "ui/GameState.h"

#include <memory>
#include <string>
#include <vector>

class BoardUnit;
class GuiElement;
class HexGrid;
class Object;
struct IDirect3DTexture9;

// What the deployment screen shows of a class.
struct ClassSheet {
    int strength = 0;
    int mana = 0;
    int intelligence = 0;
    int damage = 0;
    std::vector<std::string> spellNames;
};

// What the deployment screen needs of a unit standing on a hex.
struct PlacedUnit {
    BoardUnit* unit = nullptr;
    bool loaded = false;
    int team = -1;
    int cost = 0;
};

class FrontEndLink
{
public:
    static FrontEndLink* Get();
    static void Register(FrontEndLink* link);

    virtual ~FrontEndLink() = default;

    virtual void SetGameState(GameState state) = 0;
    virtual void ShowHelpScreen(bool show) = 0;
    virtual bool IsBattleStarted() const = 0;
    // Removes every placed unit and both players; starts the deployment page's requisition afresh.
    virtual void ResetLevel() = 0;
    // False when the level file is refused: the level on screen stays, under its own name.
    virtual bool LoadLevel(const std::string& name) = 0;
    virtual void SetWindowSize(int width, int height) = 0;
    virtual void PostQuit() = 0;
    virtual void ResetSceneRect() = 0;
    virtual void FitSceneToRect(const GuiElement& element) = 0;
    virtual IDirect3DTexture9* GetSceneTexture() const = 0;
    virtual HexGrid* GetHexGrid() const = 0;

    virtual void AddPlayer(int team) = 0;
    virtual void AddUnit(int team, const std::string& classFile, int row, int col) = 0;
    virtual void LoadUnitModels(bool withAnimations) = 0;
    // True when the unit was in the team's army and is gone now.
    virtual bool RemoveUnit(int team, BoardUnit* unit) = 0;
    virtual bool BothPlayersHaveUnits() const = 0;
    // The unit standing as occupant on a hex, or an empty record when it is none of ours.
    virtual PlacedUnit DescribeOccupant(Object* occupant) const = 0;

    // A unit of the class shown only in the class preview: loaded with its model and playing "Idle".
    virtual std::unique_ptr<BoardUnit> CreatePreviewUnit(const std::string& classFile) = 0;
    virtual ClassSheet DescribeClass(const BoardUnit& unit) const = 0;
};
