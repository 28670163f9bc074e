#include "app/HexGridSink.h"

#include "battle/HexGrid.h"

void HexGridSink::LoadTextures()
{
    m_grid->LoadTextures();
}

void HexGridSink::SetHexType(int row, int column, int type)
{
    // The level's type is also what the hex returns to when a unit leaves it, and what the deployment looks
    // for under the pointer once units stand on the zone.
    if (Hex* hex = m_grid->GetHex(row, column)) {
        hex->defaultType = type;
        hex->SetType(type);
    }
}

void HexGridSink::Update()
{
    m_grid->Update();
}
