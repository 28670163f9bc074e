#pragma once
// A null device (640 x 480 back buffer, D24S8 automatic depth) and a scratch directory for files the
// tests write, removed afterwards.

#include "d3d9/D3D9.h"
#include "support/TestDevice.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

class D3DXDeviceTest : public ::testing::Test
{
protected:
    static constexpr UINT BACK_BUFFER_WIDTH = 640;
    static constexpr UINT BACK_BUFFER_HEIGHT = 480;

    static D3DPRESENT_PARAMETERS Parameters()
    {
        return WindowedPresentParameters(BACK_BUFFER_WIDTH, BACK_BUFFER_HEIGHT);
    }

    void SetUp() override
    {
        CreateTestDevice(D3D9_BACKEND_NULL, nullptr, BACK_BUFFER_WIDTH, BACK_BUFFER_HEIGHT, &d3d, &device);
        if (HasFatalFailure())
            return;
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir = std::filesystem::temp_directory_path() / (std::string("varnholt_d3dx9_") + std::to_string(::getpid()) +
                                                        "_" + info->test_suite_name() + "_" + info->name());
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
    }

    void TearDown() override
    {
        ReleaseTestDevice(d3d, device);
        if (!dir.empty())
            std::filesystem::remove_all(dir);
    }

    std::string PathOf(const std::string& name) const { return (dir / name).string(); }

    void WriteBytes(const std::string& name, const std::vector<uint8_t>& bytes) const
    {
        std::ofstream out(dir / name, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }

    std::vector<uint8_t> ReadBytes(const std::string& name) const
    {
        std::ifstream in(dir / name, std::ios::binary);
        return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    // The texel of a locked level as 0xAARRGGBB (A8R8G8B8 or X8R8G8B8 levels).
    static D3DCOLOR Texel(IDirect3DTexture9* texture, UINT level, UINT x, UINT y)
    {
        D3DLOCKED_RECT locked{};
        if (FAILED(texture->LockRect(level, &locked, nullptr, D3DLOCK_READONLY)))
            return 0xDEADBEEF;
        const auto* row = static_cast<const uint8_t*>(locked.pBits) + static_cast<size_t>(y) * locked.Pitch;
        D3DCOLOR value = 0;
        std::memcpy(&value, row + x * 4, 4); // B, G, R, A in memory is 0xAARRGGBB little-endian
        texture->UnlockRect(level);
        return value;
    }

    IDirect3D9* d3d = nullptr;
    IDirect3DDevice9* device = nullptr;
    std::filesystem::path dir;
};
