#pragma once

// Where the terrain writes a level's hex types: the board registers itself, the terrain walks the types in
// row-major order between LoadTextures and Update.
class HexTypeSink
{
public:
    virtual ~HexTypeSink() = default;
    virtual void LoadTextures() = 0;
    virtual void SetHexType(int row, int column, int type) = 0;
    virtual void Update() = 0;
};
