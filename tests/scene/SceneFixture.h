#pragma once
// A null device, a scratch data tree holding the default data's effect files and the directory the light map
// is written to, and a level file built byte by byte at the offsets of the level layout.

#include "DeviceKit.h"
#include "core/DataManager.h"
#include "d3d9/D3D9.h"
#include "d3d9/null/NullDevice.h"
#include "scene/Camera.h"
#include "scene/DecalManager.h"
#include "scene/SkyDome.h"
#include "support/DataTree.h"
#include "support/SceneTest.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

// The level layout's offsets, as the file format lays them out.
namespace LevelOffsets {
constexpr size_t CELL = 0;
constexpr size_t HEIGHTS = 4;
constexpr size_t TILING = 65540;
constexpr size_t FOG_ENABLE = 65556;
constexpr size_t FOG_COLOUR = 65557;
constexpr size_t SKY = 65569;
constexpr size_t LIGHT_MIN = 65573;
constexpr size_t LIGHT_INTENSITY = 65577;
constexpr size_t LIGHT_COLOUR = 65581;
constexpr size_t TEXTURE_NAMES = 65593;
constexpr size_t SLOPE = 66633;
constexpr size_t WEIGHTS = 66637;
constexpr size_t HEX_TYPES = 328781;
constexpr size_t STATIC_COUNT = 334829;
constexpr size_t MINIMUM = 334837;
} // namespace LevelOffsets

// A level file image: zero heights and weights, cell 256, tiling 5, no textures, slope 1, sky 12, light minimum
// 64, intensity 200, white light, and no static objects or decals. Every hex is open ground but the last two of
// the last row, one hex of each deployment zone (a level without both is refused).
class LevelBytes
{
public:
    LevelBytes() : bytes(LevelOffsets::MINIMUM, 0)
    {
        using namespace LevelOffsets;
        Int(CELL, 256);
        for (int k = 0; k < 4; ++k) {
            Int(TILING + 4 * k, 5);
            Name(TEXTURE_NAMES + 260 * k, "No Texture");
        }
        Float(SKY, 12.0f);
        Int(LIGHT_MIN, 64);
        Int(LIGHT_INTENSITY, 200);
        for (int k = 0; k < 3; ++k)
            Float(LIGHT_COLOUR + 4 * k, 255.0f);
        Float(SLOPE, 1.0f);
        Int(HEX_TYPES + 4 * 1510, 3);
        Int(HEX_TYPES + 4 * 1511, 4);
    }

    void Int(size_t offset, int32_t value) { std::memcpy(&bytes[offset], &value, 4); }
    void Float(size_t offset, float value) { std::memcpy(&bytes[offset], &value, 4); }
    void Name(size_t offset, const std::string& text)
    {
        std::memset(&bytes[offset], 0, 260);
        std::memcpy(&bytes[offset], text.data(), std::min<size_t>(text.size(), 260));
    }
    // Height of sample (x, z).
    void Height(int x, int z, float h) { Float(LevelOffsets::HEIGHTS + 4 * (static_cast<size_t>(x) * 128 + z), h); }
    void Weight(int x, int z, int k, float w)
    {
        Float(LevelOffsets::WEIGHTS + 4 * ((static_cast<size_t>(x) * 128 + z) * 4 + k), w);
    }

    // Replaces the two counts at the end with a static-object list and a decal list given as raw records.
    void Lists(int32_t staticCount, const std::vector<uint8_t>& staticRecords, int32_t decalCount,
               const std::vector<uint8_t>& decalRecords)
    {
        bytes.resize(LevelOffsets::STATIC_COUNT);
        Append(staticCount);
        bytes.insert(bytes.end(), staticRecords.begin(), staticRecords.end());
        Append(decalCount);
        bytes.insert(bytes.end(), decalRecords.begin(), decalRecords.end());
    }

    static std::vector<uint8_t> StaticRecord(const std::string& mesh, float scale, float x, float y, float z)
    {
        std::vector<uint8_t> r(341, 0);
        std::memcpy(r.data(), mesh.data(), std::min<size_t>(mesh.size(), 260));
        const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
        std::memcpy(&r[260], identity, 64);
        std::memcpy(&r[324], &scale, 4);
        const float p[3] = {x, y, z};
        std::memcpy(&r[329], p, 12);
        return r;
    }
    static std::vector<uint8_t> DecalRecord(const std::string& texture, float rotation, int32_t grid, float x, float z)
    {
        std::vector<uint8_t> r(280, 0);
        std::memcpy(r.data(), texture.data(), std::min<size_t>(texture.size(), 260));
        std::memcpy(&r[260], &rotation, 4);
        std::memcpy(&r[264], &grid, 4);
        const float p[3] = {x, 0.0f, z};
        std::memcpy(&r[268], p, 12);
        return r;
    }

    std::vector<uint8_t> bytes;

private:
    void Append(int32_t v)
    {
        uint8_t b[4];
        std::memcpy(b, &v, 4);
        bytes.insert(bytes.end(), b, b + 4);
    }
};

inline std::string ReadWholeFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

class SceneFixture : public SceneTest
{
protected:
    void SetUp() override
    {
        const std::filesystem::path effects = std::filesystem::current_path() / "Data/Effect Files";
        m_basic = ReadWholeFile(effects / "basic.fx");
        m_terrain = ReadWholeFile(effects / "terrain.fx");
        ASSERT_FALSE(m_basic.empty()) << "the default Data tree is missing";
        ASSERT_FALSE(m_terrain.empty());
        ASSERT_EQ(DeviceKit::Make(D3D9_BACKEND_NULL, nullptr, 320, 240, 0, &m_d3d, &m_device), D3D_OK);
        m_tree = std::make_unique<DataTree>();
        m_tree->Write("Data/Effect Files/basic.fx", m_basic);
        m_tree->Write("Data/Effect Files/terrain.fx", m_terrain);
        std::filesystem::create_directories(m_tree->Root() / "Data/Textures/World Textures");
        std::filesystem::create_directories(m_tree->Root() / "Data/Terrain Levels");
        // What every texture that cannot be found falls back to: one grey pixel.
        std::string tga(18, '\0');
        tga[2] = 2;
        tga[12] = 1;
        tga[14] = 1;
        tga[16] = 24;
        m_tree->Write("Data/default.tga", tga + std::string(3, '\x80'));
        ResetForTests();
        DataManager::Get()->SetDevice(m_device);
    }

    void TearDown() override
    {
        ResetForTests();
        m_tree.reset();
        EXPECT_EQ(DeviceKit::Release(m_d3d, m_device), 0u) << "something of the scene still holds the device";
    }

    void WriteLevel(const std::string& name, const LevelBytes& level)
    {
        m_tree->Write("Data/Terrain Levels/" + name, std::string(level.bytes.begin(), level.bytes.end()));
    }
    // The sky's colour strip, two rows of 32-bit texels: no alpha in the day's columns [dayFrom, dayTo), full
    // alpha (the night, where the stars show through) in the rest.
    void WriteSkyStrip(int width, int dayFrom, int dayTo)
    {
        std::string tga(18, '\0');
        tga[2] = 2;
        tga[12] = static_cast<char>(width & 0xFF);
        tga[13] = static_cast<char>(width >> 8);
        tga[14] = 2;
        tga[16] = 32;
        tga[17] = 8;
        for (int row = 0; row < 2; ++row)
            for (int x = 0; x < width; ++x) {
                const bool day = x >= dayFrom && x < dayTo;
                tga += std::string{'\x60', '\x40', '\x20', day ? '\0' : '\xFF'};
            }
        m_tree->Write("Data/Textures/Skybox Textures/clearSky2.tga", tga);
    }
    NullDevice* Null() { return dynamic_cast<NullDevice*>(m_device); }
    static void Frame(float seconds) { DataManager::Get()->AdvanceTime(seconds); }

    std::string m_basic;
    std::string m_terrain;
    IDirect3D9* m_d3d = nullptr;
    IDirect3DDevice9* m_device = nullptr;
    std::unique_ptr<DataTree> m_tree;
};
