#pragma once
// A window with a GL device whose back buffer (64 x 64 unless a test asks for a screen's size) the tests draw
// into and read back. Pixels are checked as ARGB colours; expected values are worked out by hand in each test.

#include "core/ApplicationLink.h"
#include "d3d9/D3D9.h"
#include "support/CoreTest.h"
#include "support/SceneTest.h"
#include "support/UiTest.h"
#include "win32/Win32.h"

#include <gtest/gtest.h>

#include "core/ScreenVertex.h"

#include <cstdint>
#include <cstring>
#include <string>
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

// A window with a GL device on top of a layer's base fixture (CoreTest for the device's own tests, the base of
// the layer a test draws for the game's). The base's ResetForTests runs before the device is made and again
// before it goes, so that whatever the game's globals still hold of the device is given back first.
template <class Base>
class GlDeviceFixture : public Base
{
protected:
    static constexpr UINT SIZE = 64;

    GlDeviceFixture() = default;
    // A back buffer of the given size in a window of the same size.
    GlDeviceFixture(UINT width, UINT height) : width(width), height(height) { }

    void SetUp() override;
    void TearDown() override;

    // The back buffer's pixels, top-down rows of ARGB values.
    std::vector<D3DCOLOR> ReadBackBuffer();
    // The pixels of any lockable colour surface (a render target or the back buffer).
    std::vector<D3DCOLOR> ReadSurface(IDirect3DSurface9* surface, UINT* width = nullptr);
    // A pixel of a picture `rowWidth` wide (0: the back buffer's width).
    D3DCOLOR Pixel(const std::vector<D3DCOLOR>& pixels, int x, int y, UINT rowWidth = 0) const
    {
        return pixels[static_cast<size_t>(y) * (rowWidth ? rowWidth : width) + static_cast<size_t>(x)];
    }
    // Leaves the back buffer's picture as a PNG under the working directory for a person to look at.
    void SavePicture(const std::vector<D3DCOLOR>& pixels, const std::string& path) const;

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

    const UINT width = SIZE;
    const UINT height = SIZE;
    HWND window = nullptr;
    IDirect3D9* d3d = nullptr;
    IDirect3DDevice9* device = nullptr;
};

// The device's own tests: the platform's globals as at start.
using GlDeviceTest = GlDeviceFixture<CoreTest>;

// Stands in for the game application where widgets ask for the back buffer's size.
class ScreenLink : public ApplicationLink
{
public:
    ScreenLink(UINT width, UINT height)
    {
        parameters.BackBufferWidth = width;
        parameters.BackBufferHeight = height;
    }
    const D3DPRESENT_PARAMETERS& GetPresentParameters() const override { return parameters; }
    D3DFORMAT GetBackBufferFormat() const override { return D3DFMT_X8R8G8B8; }
    void SetGuiScale(float, float) override { }

private:
    D3DPRESENT_PARAMETERS parameters{};
};

// A device of a screen's or a sheet's size handed to the data manager as the game does, with the screen's size
// lent to the widgets. Base is the scene's fixture or one above it.
template <class Base>
class GlScreenFixture : public GlDeviceFixture<Base>
{
protected:
    GlScreenFixture(UINT width, UINT height) : GlDeviceFixture<Base>(width, height), screen(width, height) { }
    void SetUp() override;

    ScreenLink screen;
};

extern template class GlDeviceFixture<CoreTest>;
extern template class GlDeviceFixture<SceneTest>;
extern template class GlDeviceFixture<UiTest>;
extern template class GlScreenFixture<SceneTest>;
extern template class GlScreenFixture<UiTest>;
