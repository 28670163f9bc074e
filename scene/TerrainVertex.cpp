#include "scene/TerrainVertex.h"

#include "scene/LevelData.h"

#include <cmath>

BYTE WeightToByte(float weight)
{
    if (weight >= 1.0f)
        return 255;
    if (weight <= 0.0f)
        return 0;
    return static_cast<BYTE>(std::floor(weight * 255.0f + 0.5f));
}

D3DCOLOR PackWeights(const float* w)
{
    return static_cast<D3DCOLOR>(WeightToByte(w[3])) << 24 | static_cast<D3DCOLOR>(WeightToByte(w[0])) << 16 |
           static_cast<D3DCOLOR>(WeightToByte(w[1])) << 8 | static_cast<D3DCOLOR>(WeightToByte(w[2]));
}

TerrainVertex MakeTerrainVertex(const LevelData& level, int r, int c)
{
    constexpr float SPACING = 256.0f;
    const size_t sample = static_cast<size_t>(c) * LevelData::GRID_SIZE + static_cast<size_t>(r);
    TerrainVertex v{};
    v.position[0] = static_cast<float>(c) * SPACING;
    v.position[1] = level.heights[sample];
    v.position[2] = static_cast<float>(r) * SPACING;
    v.normal[0] = 0.0f;
    v.normal[1] = 1.0f;
    v.normal[2] = 0.0f;
    v.colour = PackWeights(&level.blendWeights[sample * 4]);
    const float fr = static_cast<float>(r) / 128.0f;
    const float fc = static_cast<float>(c) / 128.0f;
    for (int k = 0; k < 4; ++k) {
        const float tiling = static_cast<float>(level.tiling[static_cast<size_t>(k)]);
        v.uv[k][0] = tiling * static_cast<float>(r) / 128.0f;
        v.uv[k][1] = tiling * static_cast<float>(c) / 128.0f;
    }
    v.uv[4][0] = fr;
    v.uv[4][1] = fc;
    return v;
}
