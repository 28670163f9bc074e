#pragma once
// A window with a GL device whose 64 x 64 back buffer the tests draw into and read back. Pixels are
// checked as ARGB colours; expected values are worked out by hand in each test.

#include "d3d9/D3D9.h"
#include "win32/Win32.h"

#include <gtest/gtest.h>

#include "core/ScreenVertex.h"

#include <cstdint>
#include <cstring>
#include <vector>

struct ColorVertex {
    float x, y, z;
    D3DCOLOR color;
};
constexpr DWORD COLOR_FVF = D3DFVF_XYZ | D3DFVF_DIFFUSE;

inline D3DMATRIX IdentityMatrix()
{
    D3DMATRIX m{};
    m._11 = m._22 = m._33 = m._44 = 1.0f;
    return m;
}

inline int Red(D3DCOLOR c)
{
    return static_cast<int>((c >> 16) & 0xFF);
}
inline int Green(D3DCOLOR c)
{
    return static_cast<int>((c >> 8) & 0xFF);
}
inline int Blue(D3DCOLOR c)
{
    return static_cast<int>(c & 0xFF);
}
inline int Alpha(D3DCOLOR c)
{
    return static_cast<int>((c >> 24) & 0xFF);
}

// Colour channels within tolerance (alpha is not compared: the back buffer is X8R8G8B8).
inline ::testing::AssertionResult RgbNear(D3DCOLOR actual, D3DCOLOR expected, int tolerance)
{
    auto near = [&](int a, int e) { return a >= e - tolerance && a <= e + tolerance; };
    if (near(Red(actual), Red(expected)) && near(Green(actual), Green(expected)) && near(Blue(actual), Blue(expected)))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "rgb (" << Red(actual) << ", " << Green(actual) << ", " << Blue(actual)
                                         << ") is not within " << tolerance << " of (" << Red(expected) << ", "
                                         << Green(expected) << ", " << Blue(expected) << ")";
}
#define EXPECT_RGB_NEAR(actual, expected, tolerance) EXPECT_TRUE(RgbNear((actual), (expected), (tolerance)))

class GlDeviceTest : public ::testing::Test
{
protected:
    static constexpr UINT SIZE = 64;

    void SetUp() override;
    void TearDown() override;

    // The back buffer's pixels, top-down rows of ARGB values.
    std::vector<D3DCOLOR> ReadBackBuffer();
    // The pixels of any lockable colour surface (a render target or the back buffer).
    std::vector<D3DCOLOR> ReadSurface(IDirect3DSurface9* surface, UINT* width = nullptr);
    D3DCOLOR Pixel(const std::vector<D3DCOLOR>& pixels, int x, int y, UINT width = SIZE)
    {
        return pixels[static_cast<size_t>(y) * width + static_cast<size_t>(x)];
    }

    // A texture of A8R8G8B8 texels given row by row from the top.
    IDirect3DTexture9* MakeTexture(UINT width, UINT height, const std::vector<D3DCOLOR>& texels,
                                   D3DFORMAT format = D3DFMT_A8R8G8B8);
    // A texture of one level whose texels are raw bytes of the format, row by row from the top.
    IDirect3DTexture9* MakeRawTexture(UINT width, UINT height, D3DFORMAT format, const void* bytes, UINT bytesPerTexel);

    // Draws a pre-transformed quad from (x0, y0) to (x1, y1) with texture coordinates u0..u1, v0..v1 as a
    // triangle strip in the game's screen-quad order.
    void DrawScreenQuad(float x0, float y0, float x1, float y1, D3DCOLOR color, float u0 = 0.0f, float v0 = 0.0f,
                        float u1 = 1.0f, float v1 = 1.0f);
    // The state of a plain opaque draw: no blending, no alpha test, no depth, no culling, point sampling.
    void PlainStates();

    HWND window = nullptr;
    IDirect3D9* d3d = nullptr;
    IDirect3DDevice9* device = nullptr;
};
