// Once GL holds a texture's or a buffer's bytes the device lets go of its own copy; every lock after that
// must still see exactly what was uploaded, whichever thread locks and whatever happened to the device.
#include "gl/GlDeviceFixture.h"

#include "d3d9/ResourceBase.h"
#include "support/TestDevice.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace {

// 8 x 4 with its full chain: 8x4, 4x2, 2x1, 1x1.
constexpr UINT TEXTURE_W = 8;
constexpr UINT TEXTURE_H = 4;
constexpr UINT LEVEL_BYTES[4] = {8 * 4 * 4, 4 * 2 * 4, 2 * 1 * 4, 1 * 1 * 4};
constexpr size_t CHAIN_BYTES = 128 + 32 + 8 + 4;

// Byte `offset` of level `level` in every test texture: no two levels alike, no two neighbours alike.
uint8_t TexelByte(UINT level, size_t offset)
{
    return static_cast<uint8_t>(level * 50 + offset * 3 + 1);
}

// The colour a point-sampled texel of level 0 shows: its bytes are B, G, R, A.
D3DCOLOR TexelColour(UINT x, UINT y)
{
    const size_t at = (static_cast<size_t>(y) * TEXTURE_W + x) * 4;
    return D3DCOLOR_XRGB(TexelByte(0, at + 2), TexelByte(0, at + 1), TexelByte(0, at));
}

IDirect3DTexture9* MakeChainTexture(IDirect3DDevice9* device)
{
    IDirect3DTexture9* texture = nullptr;
    if (FAILED(device->CreateTexture(TEXTURE_W, TEXTURE_H, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr)))
        return nullptr;
    for (UINT level = 0; level < 4; ++level) {
        D3DLOCKED_RECT locked{};
        if (FAILED(texture->LockRect(level, &locked, nullptr, 0))) {
            texture->Release();
            return nullptr;
        }
        auto* bytes = static_cast<uint8_t*>(locked.pBits);
        for (size_t i = 0; i < LEVEL_BYTES[level]; ++i)
            bytes[i] = TexelByte(level, i);
        texture->UnlockRect(level);
    }
    return texture;
}

// How many bytes of a level differ from what was written into it.
int WrongBytes(IDirect3DTexture9* texture, UINT level)
{
    D3DLOCKED_RECT locked{};
    if (FAILED(texture->LockRect(level, &locked, nullptr, D3DLOCK_READONLY)) || !locked.pBits)
        return -1;
    int wrong = 0;
    const auto* bytes = static_cast<const uint8_t*>(locked.pBits);
    for (size_t i = 0; i < LEVEL_BYTES[level]; ++i)
        wrong += bytes[i] != TexelByte(level, i);
    texture->UnlockRect(level);
    return wrong;
}

void Quad(ScreenVertex* v, float x0, float x1, D3DCOLOR colour)
{
    v[0] = {x0, 0.0f, 0.5f, 1.0f, colour, 0.0f, 0.0f};
    v[1] = {x1, 0.0f, 0.5f, 1.0f, colour, 1.0f, 0.0f};
    v[2] = {x0, 16.0f, 0.5f, 1.0f, colour, 0.0f, 1.0f};
    v[3] = {x1, 16.0f, 0.5f, 1.0f, colour, 1.0f, 1.0f};
}

} // namespace

class GlSystemCopyTest : public GlDeviceTest
{
protected:
    // Draws the texture 1:1 into the top-left corner, point-sampled from level 0.
    void DrawTexture(IDirect3DTexture9* texture)
    {
        PlainStates();
        device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
        device->BeginScene();
        device->SetTexture(0, texture);
        DrawScreenQuad(0.0f, 0.0f, static_cast<float>(TEXTURE_W), static_cast<float>(TEXTURE_H), 0xFFFFFFFF);
        device->SetTexture(0, nullptr);
        device->EndScene();
    }
};

TEST_F(GlSystemCopyTest, EveryLevelOfADrawnTextureComesBackByteForByteAfterItsCopyWent)
{
    IDirect3DTexture9* texture = MakeChainTexture(device);
    ASSERT_NE(texture, nullptr);
    ASSERT_EQ(texture->GetLevelCount(), 4u);
    const size_t beforeDraw = ResourceBase::SystemCopyBytes();
    DrawTexture(texture);
    const size_t afterDraw = ResourceBase::SystemCopyBytes();
    EXPECT_EQ(beforeDraw - afterDraw, CHAIN_BYTES);

    for (UINT level = 0; level < 4; ++level)
        EXPECT_EQ(WrongBytes(texture, level), 0) << "level " << level;
    // A texture read again keeps the copy it had to have read back.
    EXPECT_EQ(ResourceBase::SystemCopyBytes(), afterDraw + CHAIN_BYTES);
    DrawTexture(texture);
    EXPECT_EQ(ResourceBase::SystemCopyBytes(), afterDraw + CHAIN_BYTES);

    const std::vector<D3DCOLOR> pixels = ReadBackBuffer();
    EXPECT_EQ(Pixel(pixels, 0, 0), TexelColour(0, 0));
    EXPECT_EQ(Pixel(pixels, 3, 1), TexelColour(3, 1));
    EXPECT_EQ(Pixel(pixels, 7, 3), TexelColour(7, 3));
    EXPECT_EQ(Pixel(pixels, 8, 3), 0xFF000000u);
    texture->Release();
}

TEST_F(GlSystemCopyTest, ARectangleWrittenAfterTheDropChangesOnlyThoseTexelsOfThatLevel)
{
    IDirect3DTexture9* texture = MakeChainTexture(device);
    ASSERT_NE(texture, nullptr);
    DrawTexture(texture);
    const size_t afterFirstDraw = ResourceBase::SystemCopyBytes();

    // Texels (2, 1) to (3, 2) of level 0; only (2, 1) is written.
    const RECT area{2, 1, 4, 3};
    D3DLOCKED_RECT locked{};
    ASSERT_EQ(texture->LockRect(0, &locked, &area, 0), D3D_OK);
    auto* texel = static_cast<uint8_t*>(locked.pBits);
    texel[0] = 0x10;
    texel[1] = 0x20;
    texel[2] = 0x30;
    texel[3] = 0xFF;
    ASSERT_EQ(texture->UnlockRect(0), D3D_OK);
    DrawTexture(texture);
    // Uploaded again, the level written keeps its copy: a texture that is rewritten would otherwise be read
    // back at every lock.
    EXPECT_EQ(ResourceBase::SystemCopyBytes(), afterFirstDraw + LEVEL_BYTES[0]);

    const std::vector<D3DCOLOR> pixels = ReadBackBuffer();
    EXPECT_EQ(Pixel(pixels, 2, 1), D3DCOLOR_XRGB(0x30, 0x20, 0x10));
    EXPECT_EQ(Pixel(pixels, 3, 1), TexelColour(3, 1));
    EXPECT_EQ(Pixel(pixels, 2, 2), TexelColour(2, 2));
    EXPECT_EQ(Pixel(pixels, 6, 3), TexelColour(6, 3));

    // The lower levels were neither locked nor uploaded again: GL still has them as first written.
    for (UINT level = 1; level < 4; ++level)
        EXPECT_EQ(WrongBytes(texture, level), 0) << "level " << level;
    ASSERT_EQ(texture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    const auto* bytes = static_cast<const uint8_t*>(locked.pBits);
    const size_t written = (1 * TEXTURE_W + 2) * 4;
    EXPECT_EQ(bytes[written + 2], 0x30);
    EXPECT_EQ(bytes[written + 4], TexelByte(0, written + 4));
    EXPECT_EQ(bytes[0], TexelByte(0, 0));
    texture->UnlockRect(0);
    texture->Release();
}

TEST_F(GlSystemCopyTest, AManagedTextureKeepsItsBytesThroughAReset)
{
    IDirect3DTexture9* texture = MakeChainTexture(device);
    ASSERT_NE(texture, nullptr);
    DrawTexture(texture);
    D3DPRESENT_PARAMETERS pp = WindowedPresentParameters(SIZE, SIZE, window);
    ASSERT_EQ(device->Reset(&pp), D3D_OK);

    EXPECT_EQ(WrongBytes(texture, 0), 0);
    EXPECT_EQ(WrongBytes(texture, 3), 0);
    DrawTexture(texture);
    const std::vector<D3DCOLOR> pixels = ReadBackBuffer();
    EXPECT_EQ(Pixel(pixels, 5, 2), TexelColour(5, 2));
    texture->Release();
}

TEST_F(GlSystemCopyTest, ALockOnAnotherThreadIsReadBackByTheDrawingThreadOrFailsWithoutHanging)
{
    IDirect3DTexture9* texture = MakeChainTexture(device);
    ASSERT_NE(texture, nullptr);
    DrawTexture(texture);

    // The drawing thread clears while the other thread locks: the clear reads the level back for it.
    std::atomic<bool> done{false};
    int wrong = -2;
    std::thread reader([&] {
        wrong = WrongBytes(texture, 1);
        done = true;
    });
    const auto start = std::chrono::steady_clock::now();
    while (!done && std::chrono::steady_clock::now() - start < std::chrono::seconds(5)) {
        device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    reader.join();
    EXPECT_EQ(wrong, 0);

    // Nobody draws now: the lock gives up after its second instead of waiting for ever.
    HRESULT result = D3D_OK;
    const auto lockStart = std::chrono::steady_clock::now();
    std::thread waiter([&] {
        D3DLOCKED_RECT locked{};
        result = texture->LockRect(2, &locked, nullptr, D3DLOCK_READONLY);
    });
    waiter.join();
    const auto waited = std::chrono::steady_clock::now() - lockStart;
    EXPECT_EQ(result, D3DERR_INVALIDCALL);
    EXPECT_GE(waited, std::chrono::milliseconds(900));
    EXPECT_LT(waited, std::chrono::seconds(3));
    // The drawing thread itself still reads it.
    EXPECT_EQ(WrongBytes(texture, 2), 0);
    texture->Release();
}

TEST_F(GlSystemCopyTest, AStaticBufferDropsItsCopyOnceDrawnAndADynamicOneKeepsIt)
{
    PlainStates();
    ScreenVertex source[8];
    Quad(source, 0.0f, 16.0f, 0xFFFF0000);
    Quad(source + 4, 16.0f, 32.0f, 0xFF00FF00);
    IDirect3DVertexBuffer9* vb = nullptr;
    IDirect3DVertexBuffer9* dynamicVb = nullptr;
    ASSERT_EQ(device->CreateVertexBuffer(sizeof source, D3DUSAGE_WRITEONLY, SCREEN_FVF, D3DPOOL_MANAGED, &vb, nullptr),
              D3D_OK);
    ASSERT_EQ(device->CreateVertexBuffer(sizeof source, D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY, SCREEN_FVF,
                                         D3DPOOL_DEFAULT, &dynamicVb, nullptr),
              D3D_OK);
    for (IDirect3DVertexBuffer9* buffer : {vb, dynamicVb}) {
        void* data = nullptr;
        ASSERT_EQ(buffer->Lock(0, 0, &data, 0), D3D_OK);
        std::memcpy(data, source, sizeof source);
        buffer->Unlock();
    }
    auto draw = [&](IDirect3DVertexBuffer9* buffer) {
        device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
        device->BeginScene();
        device->SetFVF(SCREEN_FVF);
        device->SetStreamSource(0, buffer, 0, sizeof(ScreenVertex));
        device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2);
        device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 4, 2);
        device->EndScene();
        device->SetStreamSource(0, nullptr, 0, 0);
    };
    size_t before = ResourceBase::SystemCopyBytes();
    draw(dynamicVb);
    EXPECT_EQ(ResourceBase::SystemCopyBytes(), before);
    draw(vb);
    EXPECT_EQ(before - ResourceBase::SystemCopyBytes(), sizeof source);

    void* data = nullptr;
    ASSERT_EQ(vb->Lock(0, 0, &data, D3DLOCK_READONLY), D3D_OK);
    EXPECT_EQ(std::memcmp(data, source, sizeof source), 0);
    vb->Unlock();
    // Only the second quad is written; the first comes from what was read back.
    ASSERT_EQ(vb->Lock(4 * sizeof(ScreenVertex), 4 * sizeof(ScreenVertex), &data, 0), D3D_OK);
    Quad(static_cast<ScreenVertex*>(data), 16.0f, 32.0f, 0xFF0000FF);
    vb->Unlock();
    draw(vb);
    const std::vector<D3DCOLOR> pixels = ReadBackBuffer();
    EXPECT_EQ(Pixel(pixels, 8, 8), 0xFFFF0000u);
    EXPECT_EQ(Pixel(pixels, 24, 8), 0xFF0000FFu);
    EXPECT_EQ(Pixel(pixels, 40, 8), 0xFF000000u);
    vb->Release();
    dynamicVb->Release();
}

TEST_F(GlSystemCopyTest, IndicesWithoutTheirCopyStillStopADrawThatReachesPastTheVertices)
{
    PlainStates();
    ScreenVertex quad[4];
    Quad(quad, 0.0f, 16.0f, 0xFFFFFF00);
    IDirect3DVertexBuffer9* vb = nullptr;
    ASSERT_EQ(device->CreateVertexBuffer(sizeof quad, 0, SCREEN_FVF, D3DPOOL_MANAGED, &vb, nullptr), D3D_OK);
    void* data = nullptr;
    ASSERT_EQ(vb->Lock(0, 0, &data, 0), D3D_OK);
    std::memcpy(data, quad, sizeof quad);
    vb->Unlock();
    // Indices 0-3 draw the quad; the sixth, 200, reaches past the four vertices.
    const uint16_t indices[6] = {0, 1, 2, 3, 2, 200};
    IDirect3DIndexBuffer9* ib = nullptr;
    ASSERT_EQ(device->CreateIndexBuffer(sizeof indices, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, &ib, nullptr), D3D_OK);
    ASSERT_EQ(ib->Lock(0, 0, &data, 0), D3D_OK);
    std::memcpy(data, indices, sizeof indices);
    ib->Unlock();

    device->SetFVF(SCREEN_FVF);
    device->SetStreamSource(0, vb, 0, sizeof(ScreenVertex));
    device->SetIndices(ib);
    const size_t beforeDraw = ResourceBase::SystemCopyBytes();
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
    device->BeginScene();
    EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLESTRIP, 0, 0, 4, 0, 2), D3D_OK);
    EXPECT_EQ(beforeDraw - ResourceBase::SystemCopyBytes(), sizeof quad + sizeof indices);
    // The whole buffer's largest index is 200: these draws need the copy back to be judged, and get it.
    EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLESTRIP, 0, 0, 4, 0, 2), D3D_OK);
    EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLESTRIP, 0, 0, 4, 2, 2), D3DERR_INVALIDCALL);
    device->EndScene();
    device->SetIndices(nullptr);
    device->SetStreamSource(0, nullptr, 0, 0);
    const std::vector<D3DCOLOR> pixels = ReadBackBuffer();
    EXPECT_EQ(Pixel(pixels, 8, 8), 0xFFFFFF00u);
    EXPECT_EQ(Pixel(pixels, 20, 8), 0xFF000000u);
    ib->Release();
    vb->Release();
}
