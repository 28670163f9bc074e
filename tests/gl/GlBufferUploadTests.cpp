#include "gl/GlDeviceFixture.h"

namespace {

// Two side-by-side screen quads of four vertices each in one buffer.
void WriteQuad(ScreenVertex* v, float x0, float x1, D3DCOLOR colour)
{
    const float y0 = 0.0f, y1 = 64.0f;
    v[0] = {x0, y0, 0.5f, 1.0f, colour, 0.0f, 0.0f};
    v[1] = {x1, y0, 0.5f, 1.0f, colour, 1.0f, 0.0f};
    v[2] = {x0, y1, 0.5f, 1.0f, colour, 0.0f, 1.0f};
    v[3] = {x1, y1, 0.5f, 1.0f, colour, 1.0f, 1.0f};
}

} // namespace

TEST_F(GlDeviceTest, ALockOfPartOfABufferChangesOnlyThatPartOnScreen)
{
    PlainStates();
    IDirect3DVertexBuffer9* vb = nullptr;
    ASSERT_EQ(device->CreateVertexBuffer(8 * sizeof(ScreenVertex), D3DUSAGE_WRITEONLY, SCREEN_FVF, D3DPOOL_MANAGED, &vb,
                                         nullptr),
              D3D_OK);
    void* data = nullptr;
    ASSERT_EQ(vb->Lock(0, 0, &data, 0), D3D_OK);
    WriteQuad(static_cast<ScreenVertex*>(data), 0.0f, 32.0f, 0xFFFF0000);
    WriteQuad(static_cast<ScreenVertex*>(data) + 4, 32.0f, 64.0f, 0xFF00FF00);
    ASSERT_EQ(vb->Unlock(), D3D_OK);

    auto draw = [&] {
        device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
        device->BeginScene();
        device->SetFVF(SCREEN_FVF);
        device->SetStreamSource(0, vb, 0, sizeof(ScreenVertex));
        device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2);
        device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 4, 2);
        device->EndScene();
        return ReadBackBuffer();
    };
    std::vector<D3DCOLOR> pixels = draw();
    EXPECT_RGB_NEAR(Pixel(pixels, 16, 32), 0xFFFF0000, 2);
    EXPECT_RGB_NEAR(Pixel(pixels, 48, 32), 0xFF00FF00, 2);

    // Only the second quad is rewritten; the first must keep what the device already has.
    ASSERT_EQ(vb->Lock(4 * sizeof(ScreenVertex), 4 * sizeof(ScreenVertex), &data, D3DLOCK_DISCARD), D3D_OK);
    WriteQuad(static_cast<ScreenVertex*>(data), 32.0f, 64.0f, 0xFF0000FF);
    ASSERT_EQ(vb->Unlock(), D3D_OK);
    pixels = draw();
    EXPECT_RGB_NEAR(Pixel(pixels, 16, 32), 0xFFFF0000, 2);
    EXPECT_RGB_NEAR(Pixel(pixels, 48, 32), 0xFF0000FF, 2);

    // And the first alone.
    ASSERT_EQ(vb->Lock(0, 4 * sizeof(ScreenVertex), &data, 0), D3D_OK);
    WriteQuad(static_cast<ScreenVertex*>(data), 0.0f, 32.0f, 0xFFFFFFFF);
    ASSERT_EQ(vb->Unlock(), D3D_OK);
    pixels = draw();
    EXPECT_RGB_NEAR(Pixel(pixels, 16, 32), 0xFFFFFFFF, 2);
    EXPECT_RGB_NEAR(Pixel(pixels, 48, 32), 0xFF0000FF, 2);
    vb->Release();
}
