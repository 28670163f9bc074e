// The sprite and text on the GL device: pixels of a 64 x 64 back buffer.
#include "gl/GlDeviceFixture.h"

#include "d3dx9/D3DX9Core.h"
#include "d3dx9/D3DX9Math.h"

namespace {

constexpr D3DCOLOR BLACK = 0xFF000000;
constexpr D3DCOLOR WHITE = 0xFFFFFFFF;

class TextGlTest : public GlDeviceTest
{
protected:
    void SetUp() override
    {
        GlDeviceTest::SetUp();
        ASSERT_EQ(D3DXCreateSprite(device, &sprite), D3D_OK);
    }
    void TearDown() override
    {
        if (sprite != nullptr) {
            EXPECT_EQ(sprite->Release(), 0u);
        }
        GlDeviceTest::TearDown();
    }
    static bool Lit(D3DCOLOR c) { return Red(c) > 24 || Green(c) > 24 || Blue(c) > 24; }

    ID3DXSprite* sprite = nullptr;
};

TEST_F(TextGlTest, TextLightsPixelsInsideItsBoxAndNoneOutside)
{
    ID3DXFont* font = nullptr;
    ASSERT_EQ(D3DXCreateFontA(device, 16, 0, FW_BOLD, 1, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, DEFAULT_QUALITY,
                              DEFAULT_PITCH | FF_DONTCARE, "Times New Roman", &font),
              D3D_OK);
    RECT box{8, 20, 8, 20};
    ASSERT_EQ(font->DrawTextA(nullptr, "Hix", -1, &box, DT_CALCRECT, WHITE), 16);
    ASSERT_GT(box.right - box.left, 12);
    ASSERT_LT(box.right, 60);

    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, BLACK, 1.0f, 0);
    device->BeginScene();
    sprite->Begin(D3DXSPRITE_ALPHABLEND | D3DXSPRITE_SORT_TEXTURE);
    RECT where{8, 20, 8, 20};
    EXPECT_EQ(font->DrawTextA(sprite, "Hix", -1, &where, DT_NOCLIP, WHITE), 16);
    sprite->End();
    device->EndScene();

    const std::vector<D3DCOLOR> pixels = ReadBackBuffer();
    ASSERT_EQ(pixels.size(), SIZE * SIZE);
    int inside = 0;
    int outside = 0;
    for (int y = 0; y < static_cast<int>(SIZE); ++y)
        for (int x = 0; x < static_cast<int>(SIZE); ++x) {
            if (!Lit(Pixel(pixels, x, y)))
                continue;
            // One pixel of slack at the sides for the glyphs' overhang.
            if (x >= box.left - 1 && x < box.right + 1 && y >= box.top && y < box.bottom)
                ++inside;
            else
                ++outside;
        }
    EXPECT_GT(inside, 30) << "the strokes of three letters";
    EXPECT_EQ(outside, 0);
    // The stem of the "H" stands at the left edge, from near the top of the cell downwards.
    int stem = 0;
    for (int y = 20; y < 36; ++y)
        for (int x = 8; x < 11; ++x)
            stem += Pixel(pixels, x, y) == WHITE ? 1 : 0;
    EXPECT_GE(stem, 8);
    EXPECT_EQ(font->Release(), 0u);
}

TEST_F(TextGlTest, SpriteTransformScalesPositionsAndAlphaBlends)
{
    IDirect3DTexture9* white = MakeTexture(4, 4, std::vector<D3DCOLOR>(16, WHITE));
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF0000FF, 1.0f, 0);
    device->BeginScene();
    const D3DXMATRIX twice(2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);
    sprite->SetTransform(&twice);
    sprite->Begin(D3DXSPRITE_ALPHABLEND);
    // At (10, 10) before the transform: pixels 20..27 after it.
    const D3DXVECTOR3 at(10.0f, 10.0f, 0.0f);
    sprite->Draw(white, nullptr, nullptr, &at, WHITE);
    // Half-transparent red over the blue clear colour, at 30..37.
    const D3DXVECTOR3 next(15.0f, 15.0f, 0.0f);
    sprite->Draw(white, nullptr, nullptr, &next, D3DCOLOR_ARGB(128, 255, 0, 0));
    sprite->End();
    device->EndScene();

    const std::vector<D3DCOLOR> pixels = ReadBackBuffer();
    ASSERT_EQ(pixels.size(), SIZE * SIZE);
    EXPECT_RGB_NEAR(Pixel(pixels, 20, 20), WHITE, 1);
    EXPECT_RGB_NEAR(Pixel(pixels, 27, 27), WHITE, 1);
    EXPECT_RGB_NEAR(Pixel(pixels, 19, 24), 0xFF0000FF, 1);
    EXPECT_RGB_NEAR(Pixel(pixels, 28, 24), 0xFF0000FF, 1);
    EXPECT_RGB_NEAR(Pixel(pixels, 24, 19), 0xFF0000FF, 1);
    EXPECT_RGB_NEAR(Pixel(pixels, 24, 28), 0xFF0000FF, 1);
    // 128/255 of red and 127/255 of blue.
    EXPECT_RGB_NEAR(Pixel(pixels, 33, 33), D3DCOLOR_XRGB(128, 0, 127), 2);
    EXPECT_RGB_NEAR(Pixel(pixels, 38, 33), 0xFF0000FF, 1);
    EXPECT_EQ(white->Release(), 0u);
}

} // namespace
