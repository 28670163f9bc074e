#include "app/HexGridSink.h"

#include "battle/HexGrid.h"

void HexGridSink::LoadTextures()
{
    grid->LoadTextures();
}

void HexGridSink::SetHexType(int row, int column, int type)
{
    if (Hex* hex = grid->GetHex(row, column))
        hex->SetType(type);
}

void HexGridSink::Update()
{
    grid->Update();
}
