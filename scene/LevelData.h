#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// One placed static mesh as the level file stores it.
struct LevelStaticObject {
    std::string meshName;
    float matrix[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    float scale = 1.0f;
    uint8_t flag = 0;
    float position[3] = {0.0f, 0.0f, 0.0f};
};

// One ground decal as the level file stores it.
struct LevelDecal {
    std::string textureName;
    float rotation = 0.0f;
    int32_t gridSize = 2;
    float position[3] = {0.0f, 0.0f, 0.0f};
};

// Everything a level file holds. The two-dimensional arrays are x-major (index x * 128 + z); the hex types
// are row-major (row * 42 + column).
struct LevelData {
    static constexpr int GRID_SIZE = 128;
    static constexpr int SAMPLE_COUNT = GRID_SIZE * GRID_SIZE;
    static constexpr int HEX_ROWS = 36;
    static constexpr int HEX_COLUMNS = 42;
    static constexpr int HEX_COUNT = HEX_ROWS * HEX_COLUMNS;
    static constexpr const char* NO_TEXTURE = "No Texture";

    int32_t cellSize = 256;
    std::vector<float> heights = std::vector<float>(SAMPLE_COUNT, 0.0f);
    std::array<int32_t, 4> tiling{5, 5, 5, 5};
    uint8_t fogEnable = 0;
    std::array<float, 3> fogColour{0.0f, 0.0f, 0.0f};
    float skyValue = 12.0f;
    int32_t lightMapMinimum = 64;
    int32_t lightIntensity = 200;
    std::array<float, 3> lightColour{255.0f, 255.0f, 255.0f};
    std::array<std::string, 4> textureNames{NO_TEXTURE, NO_TEXTURE, NO_TEXTURE, NO_TEXTURE};
    float slopeFactor = 1.0f;
    // Four weights per sample, w1..w4.
    std::vector<float> blendWeights = std::vector<float>(static_cast<size_t>(SAMPLE_COUNT) * 4, 0.0f);
    std::vector<int32_t> hexTypes = std::vector<int32_t>(HEX_COUNT, 0);

    float Height(int x, int z) const { return heights[static_cast<size_t>(x) * GRID_SIZE + static_cast<size_t>(z)]; }
};
