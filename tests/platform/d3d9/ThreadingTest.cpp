#include "NullDeviceFixture.h"

#include <atomic>
#include <thread>
#include <vector>

using Threading = NullDeviceTest;

// The loading thread creates and fills textures and buffers while the main thread draws and clears.
TEST_F(Threading, LoadingThreadCreatesWhileTheMainThreadDraws)
{
    constexpr int TEXTURES = 40;
    std::atomic<bool> done{false};
    std::atomic<int> failures{0};
    std::vector<IDirect3DTexture9*> loaded(TEXTURES, nullptr);

    std::thread loader([&] {
        for (int i = 0; i < TEXTURES; ++i) {
            IDirect3DTexture9* texture = nullptr;
            if (device->CreateTexture(64, 64, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr) != D3D_OK) {
                ++failures;
                continue;
            }
            for (UINT level = 0; level < texture->GetLevelCount(); ++level) {
                D3DLOCKED_RECT locked;
                D3DSURFACE_DESC desc;
                texture->GetLevelDesc(level, &desc);
                if (texture->LockRect(level, &locked, nullptr, 0) != D3D_OK) {
                    ++failures;
                    continue;
                }
                for (UINT y = 0; y < desc.Height; ++y) {
                    auto* row = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(locked.pBits) + y * locked.Pitch);
                    for (UINT x = 0; x < desc.Width; ++x)
                        row[x] = static_cast<uint32_t>(i) << 8 | level;
                }
                texture->UnlockRect(level);
            }
            IDirect3DVertexBuffer9* scratch = nullptr;
            if (device->CreateVertexBuffer(1024, 0, 0, D3DPOOL_MANAGED, &scratch, nullptr) == D3D_OK)
                scratch->Release(); // released on this thread too
            else
                ++failures;
            loaded[i] = texture;
        }
        done = true;
    });

    struct Vertex {
        float x, y, z, rhw;
        D3DCOLOR diffuse;
    };
    const Vertex triangle[3] = {{0, 0, 0, 1, 0xFFFFFFFF}, {10, 0, 0, 1, 0xFFFFFFFF}, {0, 10, 0, 1, 0xFFFFFFFF}};
    ASSERT_EQ(device->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE), D3D_OK);
    UINT frames = 0;
    while (!done || frames < 10) {
        device->BeginScene();
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000u | frames, 1.0f, 0);
        EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, triangle, sizeof(Vertex)), D3D_OK);
        device->EndScene();
        device->Present(nullptr, nullptr, nullptr, nullptr);
        ++frames;
    }
    loader.join();

    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(null->DrawCount(), frames);
    EXPECT_EQ(null->PresentCount(), frames);
    // Every texture holds what its thread wrote, on every level.
    for (int i = 0; i < TEXTURES; ++i) {
        ASSERT_NE(loaded[i], nullptr);
        ASSERT_EQ(loaded[i]->GetLevelCount(), 7u);
        for (UINT level = 0; level < 7; ++level) {
            D3DLOCKED_RECT locked;
            ASSERT_EQ(loaded[i]->LockRect(level, &locked, nullptr, D3DLOCK_READONLY), D3D_OK);
            EXPECT_EQ(*static_cast<uint32_t*>(locked.pBits), static_cast<uint32_t>(i) << 8 | level);
            loaded[i]->UnlockRect(level);
        }
        EXPECT_EQ(loaded[i]->Release(), 0u);
    }
}

TEST_F(Threading, DrawingCallsFromAnotherThreadAreRefused)
{
    HRESULT present = D3D_OK;
    HRESULT clear = D3D_OK;
    HRESULT draw = D3D_OK;
    std::thread other([&] {
        present = device->Present(nullptr, nullptr, nullptr, nullptr);
        clear = device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
        const float vertex[4] = {0, 0, 0, 1};
        device->SetFVF(D3DFVF_XYZRHW);
        draw = device->DrawPrimitiveUP(D3DPT_POINTLIST, 1, vertex, sizeof(vertex));
    });
    other.join();
    EXPECT_EQ(present, D3DERR_INVALIDCALL);
    EXPECT_EQ(clear, D3DERR_INVALIDCALL);
    EXPECT_EQ(draw, D3DERR_INVALIDCALL);
    EXPECT_EQ(null->PresentCount(), 0u);
    EXPECT_EQ(null->ClearCount(), 0u);
    EXPECT_EQ(null->DrawCount(), 0u);
}
