#pragma once

#include "scene/HexTypeSink.h"

class HexGrid;

// Hands the level's hex types from the terrain to the board.
class HexGridSink : public HexTypeSink
{
public:
    explicit HexGridSink(HexGrid* grid) : m_grid(grid) { }
    void LoadTextures() override;
    void SetHexType(int row, int column, int type) override;
    void Update() override;

private:
    HexGrid* m_grid;
};
