#pragma once

#include "battle/Hex.h"

#include <memory>
#include <vector>

struct TextureRecord;
class Object;

// The battle board: 36 rows by 42 columns of hexes laid over the terrain, row-major. It picks hexes against
// the pointer's ray, keeps the hexes to highlight in this frame and draws them once per frame.
class HexGrid
{
public:
    static constexpr int ROWS = 36;
    static constexpr int COLUMNS = 42;
    static constexpr int HEX_COUNT = ROWS * COLUMNS;

    enum TextureSlot
    {
        TEXTURE_MOVEMENT,
        TEXTURE_BLOCKED,
        TEXTURE_HOVERED_BLOCKED,
        TEXTURE_OUT_OF_RANGE,
        TEXTURE_CURSOR,
        TEXTURE_MOUSE_OVER,
        TEXTURE_TEAM0,
        TEXTURE_TEAM0_DEFENDED,
        TEXTURE_TEAM1_DEFENDED,
        TEXTURE_TEAM1,
        TEXTURE_COUNT
    };

    // What SetTextureMode shows under the cursor.
    enum CursorMode
    {
        CURSOR_BLOCKED = 0,
        CURSOR_MOVEMENT = 1,
        CURSOR_OUT_OF_RANGE = 2,
    };

    // The board of the battle on show, which units, players and the menus' deployment work on; null when none
    // is. A board that goes stops being it.
    static HexGrid* Current();
    static void SetCurrent(HexGrid* grid);

    HexGrid();
    ~HexGrid();
    HexGrid(const HexGrid&) = delete;
    HexGrid& operator=(const HexGrid&) = delete;

    // The hex at (row, col), or null outside the board.
    Hex* GetHex(int row, int col);
    const Hex* GetHex(int row, int col) const;
    // The hexes next to hex, in the order the path search takes them; returns how many (up to 6).
    int GetNeighbours(const Hex& hex, Hex* out[6]);

    void LoadTextures();
    void ReleaseBuffers();
    void Update();
    void Render();
    void RenderForward() { Render(); }
    void SetAllFadeStates(int state);
    void ClampAlpha(float value);
    Hex* CentreOfType(HexType type);
    Hex* PickHex(int row, int col);
    void PickHoveredHex(bool pickable);
    void HoverHexOfType(HexType type);
    void HoverHexOfDefaultType(HexType type);
    void ResetLists(HexType type, bool clearPath);
    // Forgets the path shown and gives back its storage.
    void ClearPathList();
    void AddToList(Hex* hex);
    void FlagDefendedTeam0(Hex* hex);
    void FlagDefendedTeam1(Hex* hex);
    void AddTeam0Highlight(Hex* hex);
    void AddTeam1Highlight(Hex* hex);
    void SetTextureMode(int mode);
    // Every hex that still names the object as its occupant gets its level's type back and no occupant.
    void ClearOccupant(const Object* object);

    bool IsBuilt() const { return m_built; }
    TextureRecord* GetTexture(TextureSlot slot) const { return m_textures[slot]; }
    const std::vector<Hex*>& GetPathList() const { return m_pathList; }
    const std::vector<Hex*>& GetTeam0List() const { return m_team0List; }
    const std::vector<Hex*>& GetTeam1List() const { return m_team1List; }
    const std::vector<Hex*>& GetZoneList() const { return m_zoneList; }
    const std::vector<Hex*>& GetTeam0DefendedList() const { return m_team0DefendedList; }
    const std::vector<Hex*>& GetTeam1DefendedList() const { return m_team1DefendedList; }

private:
    bool IsHoverBlocked() const;
    void ListByType(Hex* hex);
    // Hovers the first picked hex whose field (its type or its level type) is the given one.
    void HoverHexWhere(HexType Hex::*field, HexType type);
    void SetTexture(IDirect3DDevice9* device, TextureSlot slot) const;
    void DrawList(IDirect3DDevice9* device, std::vector<Hex*>& list) const;

    std::unique_ptr<Hex[]> m_hexes;
    std::vector<Hex*> m_pathList;
    std::vector<Hex*> m_team0List;
    std::vector<Hex*> m_team1List;
    std::vector<Hex*> m_zoneList;
    std::vector<Hex*> m_team0DefendedList;
    std::vector<Hex*> m_team1DefendedList;
    TextureRecord* m_textures[TEXTURE_COUNT] = {};
    bool m_built = false;
};
