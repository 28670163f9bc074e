#include "gl/GlDeviceFixture.h"

#include "core/DataManager.h"
#include "support/PngFile.h"
#include "support/TestDevice.h"

namespace {

LRESULT CALLBACK TestWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

} // namespace

template <class Base>
void GlDeviceFixture<Base>::SetUp()
{
    Base::SetUp();
    if (::testing::Test::HasFatalFailure())
        return;
    static bool registered = false;
    if (!registered) {
        WNDCLASSA wc{};
        wc.lpfnWndProc = TestWindowProc;
        wc.lpszClassName = "GlTestWindow";
        ASSERT_NE(RegisterClassA(&wc), 0u);
        registered = true;
    }
    // As the game does, the Direct3D object comes before the window: it starts the video, trying the named display
    // again when the first start finds none, where the window's start would settle for a driver that shows nothing.
    D3D9SetBackEnd(D3D9_BACKEND_GL);
    IDirect3D9* first = Direct3DCreate9(D3D_SDK_VERSION);
    // The small back buffer sits in a larger window; a screen's fills its window.
    const int windowWidth = width == SIZE ? 256 : static_cast<int>(width);
    const int windowHeight = height == SIZE ? 256 : static_cast<int>(height);
    window = CreateWindowExA(0, "GlTestWindow", "GL test", WS_POPUP, 0, 0, windowWidth, windowHeight, nullptr, nullptr,
                             nullptr, nullptr);
    if (first)
        first->Release();
    ASSERT_NE(window, nullptr);
    ASSERT_NO_FATAL_FAILURE(CreateTestDevice(D3D9_BACKEND_GL, window, width, height, &d3d, &device));
}

// The globals let go of the device before it goes (the window layer's reset takes the window with it, hidden
// until the device ends); the reset after ends the window for good.
template <class Base>
void GlDeviceFixture<Base>::TearDown()
{
    Base::ResetForTests();
    window = nullptr;
    ReleaseTestDevice(d3d, device);
    Base::TearDown();
}

template <class Base>
std::vector<D3DCOLOR> GlDeviceFixture<Base>::ReadSurface(IDirect3DSurface9* surface, UINT* width)
{
    std::vector<D3DCOLOR> pixels;
    D3DSURFACE_DESC desc{};
    EXPECT_EQ(surface->GetDesc(&desc), D3D_OK);
    D3DLOCKED_RECT locked{};
    EXPECT_EQ(surface->LockRect(&locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    if (!locked.pBits)
        return pixels;
    pixels.resize(static_cast<size_t>(desc.Width) * desc.Height);
    for (UINT y = 0; y < desc.Height; ++y)
        std::memcpy(&pixels[static_cast<size_t>(y) * desc.Width],
                    static_cast<const uint8_t*>(locked.pBits) + static_cast<size_t>(y) * locked.Pitch, desc.Width * 4);
    surface->UnlockRect();
    if (width)
        *width = desc.Width;
    return pixels;
}

template <class Base>
std::vector<D3DCOLOR> GlDeviceFixture<Base>::ReadBackBuffer()
{
    IDirect3DSurface9* backBuffer = nullptr;
    EXPECT_EQ(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &backBuffer), D3D_OK);
    if (!backBuffer)
        return {};
    std::vector<D3DCOLOR> pixels = ReadSurface(backBuffer);
    backBuffer->Release();
    return pixels;
}

template <class Base>
IDirect3DTexture9* GlDeviceFixture<Base>::MakeRawTexture(UINT width, UINT height, D3DFORMAT format, const void* bytes,
                                                         UINT bytesPerTexel)
{
    IDirect3DTexture9* texture = nullptr;
    EXPECT_EQ(device->CreateTexture(width, height, 1, 0, format, D3DPOOL_MANAGED, &texture, nullptr), D3D_OK);
    if (!texture)
        return nullptr;
    D3DLOCKED_RECT locked{};
    EXPECT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
    for (UINT y = 0; y < height; ++y)
        std::memcpy(static_cast<uint8_t*>(locked.pBits) + static_cast<size_t>(y) * locked.Pitch,
                    static_cast<const uint8_t*>(bytes) + static_cast<size_t>(y) * width * bytesPerTexel,
                    width * bytesPerTexel);
    texture->UnlockRect(0);
    return texture;
}

template <class Base>
IDirect3DTexture9* GlDeviceFixture<Base>::MakeTexture(UINT width, UINT height, const std::vector<D3DCOLOR>& texels,
                                                      D3DFORMAT format)
{
    return MakeRawTexture(width, height, format, texels.data(), 4);
}

template <class Base>
void GlDeviceFixture<Base>::DrawScreenQuad(float x0, float y0, float x1, float y1, D3DCOLOR color, float u0, float v0,
                                           float u1, float v1)
{
    const ScreenVertex quad[4] = {
        {x0, y1, 0.0f, 1.0f, color, u0, v1},
        {x0, y0, 0.0f, 1.0f, color, u0, v0},
        {x1, y1, 0.0f, 1.0f, color, u1, v1},
        {x1, y0, 0.0f, 1.0f, color, u1, v0},
    };
    EXPECT_EQ(device->SetFVF(SCREEN_FVF), D3D_OK);
    EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(ScreenVertex)), D3D_OK);
}

template <class Base>
void GlDeviceFixture<Base>::PlainStates()
{
    device->SetRenderState(D3DRS_ZENABLE, FALSE);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    device->SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_POINT);
    device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_POINT);
    device->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_NONE);
}

template <class Base>
void GlDeviceFixture<Base>::SavePicture(const std::vector<D3DCOLOR>& pixels, const std::string& path) const
{
    std::vector<uint8_t> rgb(pixels.size() * 3);
    for (size_t i = 0; i < pixels.size(); ++i) {
        rgb[i * 3] = static_cast<uint8_t>(pixels[i] >> 16);
        rgb[i * 3 + 1] = static_cast<uint8_t>(pixels[i] >> 8);
        rgb[i * 3 + 2] = static_cast<uint8_t>(pixels[i]);
    }
    EXPECT_TRUE(WritePng(path, static_cast<int>(width), static_cast<int>(pixels.size() / width), rgb)) << path;
}

template <class Base>
void GlScreenFixture<Base>::SetUp()
{
    GlDeviceFixture<Base>::SetUp();
    if (::testing::Test::HasFatalFailure())
        return;
    DataManager::Get()->SetDevice(this->device);
    DataManager::Get()->SetApplication(&screen);
}

template class GlDeviceFixture<CoreTest>;
template class GlDeviceFixture<SceneTest>;
template class GlDeviceFixture<UiTest>;
template class GlScreenFixture<SceneTest>;
template class GlScreenFixture<UiTest>;
