#include "app/HexGridSink.h"

#include "battle/HexGrid.h"

void HexGridSink::LoadTextures()
{
    grid->LoadTextures();
}

void HexGridSink::SetHexType(int row, int column, int type)
{
    // The level's type is also what the hex returns to when a unit leaves it, and what the deployment looks
    // for under the pointer once units stand on the zone.
    if (Hex* hex = grid->GetHex(row, column)) {
        hex->defaultType = type;
        hex->SetType(type);
    }
}

void HexGridSink::Update()
{
    grid->Update();
}
