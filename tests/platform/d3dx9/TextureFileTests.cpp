#include "D3DXDeviceFixture.h"

#include "d3dx9/D3DX9.h"
#include "win32/Log.h"

#include <cstdint>

namespace {

using Bytes = std::vector<uint8_t>;

uint32_t Le32(const Bytes& b, size_t at)
{
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}

// A 4 x 2 24-bit bottom-up TGA. As blue, green, red: top row (50,60,70) (70,80,90) black white,
// bottom row (10,20,30) (30,40,50) black white.
Bytes FourByTwoTga()
{
    return Bytes{0,  0,  2,  0,  0,  0,  0,  0,  0,  0,   0,   0,  4,   0,   2,
                 0,  24, 0,  10, 20, 30, 30, 40, 50, 0,   0,   0,  255, 255, 255, // bottom row first
                 50, 60, 70, 70, 80, 90, 0,  0,  0,  255, 255, 255}; // then the top row
}

class TextureFiles : public D3DXDeviceTest
{
protected:
    void TearDown() override
    {
        if (texture)
            texture->Release();
        texture = nullptr;
        D3DXDeviceTest::TearDown();
    }

    // Fills a level with colour(x, y).
    template <typename ColourOf>
    void Fill(IDirect3DTexture9* target, ColourOf colour)
    {
        D3DSURFACE_DESC desc{};
        ASSERT_EQ(target->GetLevelDesc(0, &desc), D3D_OK);
        D3DLOCKED_RECT locked{};
        ASSERT_EQ(target->LockRect(0, &locked, nullptr, 0), D3D_OK);
        for (UINT y = 0; y < desc.Height; ++y)
            for (UINT x = 0; x < desc.Width; ++x) {
                const D3DCOLOR c = colour(x, y);
                std::memcpy(static_cast<uint8_t*>(locked.pBits) + y * locked.Pitch + x * 4, &c, 4);
            }
        ASSERT_EQ(target->UnlockRect(0), D3D_OK);
    }

    IDirect3DTexture9* texture = nullptr;
};

} // namespace

TEST_F(TextureFiles, TgaLoadsWithAFullBoxFilteredMipChain)
{
    WriteBytes("picture.tga", FourByTwoTga());
    ASSERT_EQ(D3DXCreateTextureFromFileA(device, PathOf("picture.tga").c_str(), &texture), D3D_OK);
    ASSERT_NE(texture, nullptr);

    // 4x2, 2x1, 1x1, managed, 8 bits a channel with alpha.
    ASSERT_EQ(texture->GetLevelCount(), 3u);
    D3DSURFACE_DESC desc{};
    ASSERT_EQ(texture->GetLevelDesc(0, &desc), D3D_OK);
    EXPECT_EQ(desc.Width, 4u);
    EXPECT_EQ(desc.Height, 2u);
    EXPECT_EQ(desc.Format, D3DFMT_A8R8G8B8);
    EXPECT_EQ(desc.Pool, D3DPOOL_MANAGED);
    ASSERT_EQ(texture->GetLevelDesc(1, &desc), D3D_OK);
    EXPECT_EQ(desc.Width, 2u);
    EXPECT_EQ(desc.Height, 1u);
    ASSERT_EQ(texture->GetLevelDesc(2, &desc), D3D_OK);
    EXPECT_EQ(desc.Width, 1u);
    EXPECT_EQ(desc.Height, 1u);

    // Top row first in the texture; 24-bit pixels are opaque.
    EXPECT_EQ(Texel(texture, 0, 0, 0), 0xFF463C32u);
    EXPECT_EQ(Texel(texture, 0, 1, 0), 0xFF5A5046u);
    EXPECT_EQ(Texel(texture, 0, 3, 0), 0xFFFFFFFFu);
    EXPECT_EQ(Texel(texture, 0, 1, 1), 0xFF32281Eu);
    // Level 1: blue (10+30+50+70+2)/4 = 40, green 50, red 60; black and white average to 128.
    EXPECT_EQ(Texel(texture, 1, 0, 0), 0xFF3C3228u);
    EXPECT_EQ(Texel(texture, 1, 1, 0), 0xFF808080u);
    // Level 2: blue (40+128+40+128+2)/4 = 84, green 89, red 94.
    EXPECT_EQ(Texel(texture, 2, 0, 0), 0xFF5E5954u);
}

TEST_F(TextureFiles, ExtendedLoadHonoursLevelsFormatAndReportsTheFile)
{
    WriteBytes("picture.tga", FourByTwoTga());
    D3DXIMAGE_INFO info{};
    ASSERT_EQ(D3DXCreateTextureFromFileExA(device, PathOf("picture.tga").c_str(), D3DX_DEFAULT, D3DX_DEFAULT, 1, 0,
                                           D3DFMT_X8R8G8B8, D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, 0, &info,
                                           nullptr, &texture),
              D3D_OK);
    EXPECT_EQ(texture->GetLevelCount(), 1u);
    D3DSURFACE_DESC desc{};
    texture->GetLevelDesc(0, &desc);
    EXPECT_EQ(desc.Format, D3DFMT_X8R8G8B8);
    EXPECT_EQ(info.Width, 4u);
    EXPECT_EQ(info.Height, 2u);
    EXPECT_EQ(info.Format, D3DFMT_R8G8B8);
    EXPECT_EQ(info.ImageFileFormat, D3DXIFF_TGA);
    texture->Release();
    texture = nullptr;

    // A colour key makes the matching (opaque white) texels transparent black.
    ASSERT_EQ(D3DXCreateTextureFromFileExA(device, PathOf("picture.tga").c_str(), 0, 0, 1, 0, D3DFMT_A8R8G8B8,
                                           D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, 0xFFFFFFFF, nullptr, nullptr,
                                           &texture),
              D3D_OK);
    EXPECT_EQ(Texel(texture, 0, 3, 0), 0x00000000u);
    EXPECT_EQ(Texel(texture, 0, 2, 0), 0xFF000000u);
}

TEST_F(TextureFiles, PngKeepsAlphaAndWindowsStylePathsResolve)
{
    std::filesystem::create_directories(dir / "Art");
    std::filesystem::copy_file(std::string(VARNHOLT_FIXTURES) + "/d3dx9/rgba2x2.png", dir / "Art" / "Icon.png");
    // Backslashes and another letter case find the file, as the game's paths do.
    const std::string windowsPath = dir.string() + "\\art\\ICON.PNG";
    ASSERT_EQ(D3DXCreateTextureFromFileA(device, windowsPath.c_str(), &texture), D3D_OK);
    EXPECT_EQ(texture->GetLevelCount(), 2u);
    EXPECT_EQ(Texel(texture, 0, 0, 0), 0xFFFF0000u);
    EXPECT_EQ(Texel(texture, 0, 1, 0), 0x8000FF00u);
    EXPECT_EQ(Texel(texture, 0, 0, 1), 0x000000FFu);
    EXPECT_EQ(Texel(texture, 0, 1, 1), 0xFF0A141Eu);
    // Alpha is averaged like the colours: (255 + 128 + 0 + 255 + 2) / 4 = 160.
    EXPECT_EQ(Texel(texture, 1, 0, 0) >> 24, 160u);
}

TEST_F(TextureFiles, MissingOrBrokenFilesFailWithoutATexture)
{
    LogCapture log;
    texture = reinterpret_cast<IDirect3DTexture9*>(0x1);
    EXPECT_EQ(D3DXCreateTextureFromFileA(device, PathOf("absent.tga").c_str(), &texture), D3DXERR_INVALIDDATA);
    EXPECT_EQ(texture, nullptr);

    Bytes truncated = FourByTwoTga();
    truncated.resize(truncated.size() - 4);
    WriteBytes("short.tga", truncated);
    EXPECT_EQ(D3DXCreateTextureFromFileA(device, PathOf("short.tga").c_str(), &texture), D3DXERR_INVALIDDATA);
    EXPECT_EQ(texture, nullptr);

    WriteBytes("empty.png", Bytes{});
    EXPECT_EQ(D3DXCreateTextureFromFileA(device, PathOf("empty.png").c_str(), &texture), D3DXERR_INVALIDDATA);

    // A BMP whose headers promise 2 x 2 24-bit pixels that are not there: no black picture.
    Bytes headersOnly = {'B', 'M', 70, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0,  40,
                         0,   0,   0,  2, 0, 0, 0, 2, 0, 0, 0,  1, 0, 24, 0};
    headersOnly.resize(54, 0);
    WriteBytes("headers.bmp", headersOnly);
    EXPECT_EQ(D3DXCreateTextureFromFileA(device, PathOf("headers.bmp").c_str(), &texture), D3DXERR_INVALIDDATA);
    EXPECT_EQ(texture, nullptr);
    EXPECT_EQ(log.Count("texture.unreadable"), 4);
    ASSERT_FALSE(log.Records().empty());
    EXPECT_NE(log.Records().back().text.find("headers.bmp: truncated BMP pixel data"), std::string::npos);

    EXPECT_EQ(D3DXCreateTextureFromFileA(nullptr, PathOf("absent.tga").c_str(), &texture), D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXCreateTextureFromFileA(device, nullptr, &texture), D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXCreateTextureFromFileA(device, PathOf("absent.tga").c_str(), nullptr), D3DERR_INVALIDCALL);
}

TEST_F(TextureFiles, CreateTextureFillsInDefaults)
{
    // The video frame texture: full chain for 1024 x 768 is 11 levels (1024 ... 1).
    ASSERT_EQ(D3DXCreateTexture(device, 1024, 768, D3DX_DEFAULT, 0, D3DFMT_X1R5G5B5, D3DPOOL_MANAGED, &texture),
              D3D_OK);
    EXPECT_EQ(texture->GetLevelCount(), 11u);
    D3DSURFACE_DESC desc{};
    texture->GetLevelDesc(0, &desc);
    EXPECT_EQ(desc.Format, D3DFMT_X1R5G5B5);
    EXPECT_EQ(desc.Width, 1024u);
    texture->Release();
    texture = nullptr;

    // Sizes left to us: one follows the other, both give 256; an unknown format becomes A8R8G8B8.
    ASSERT_EQ(D3DXCreateTexture(device, 0, 64, 1, 0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED, &texture), D3D_OK);
    texture->GetLevelDesc(0, &desc);
    EXPECT_EQ(desc.Width, 64u);
    EXPECT_EQ(desc.Format, D3DFMT_A8R8G8B8);
    texture->Release();
    texture = nullptr;
    ASSERT_EQ(D3DXCreateTexture(device, D3DX_DEFAULT, D3DX_DEFAULT, 1, D3DUSAGE_RENDERTARGET, D3DFMT_X8R8G8B8,
                                D3DPOOL_DEFAULT, &texture),
              D3D_OK);
    texture->GetLevelDesc(0, &desc);
    EXPECT_EQ(desc.Width, 256u);
    EXPECT_EQ(desc.Height, 256u);
    EXPECT_EQ(desc.Usage & D3DUSAGE_RENDERTARGET, D3DUSAGE_RENDERTARGET);
    EXPECT_EQ(desc.Pool, D3DPOOL_DEFAULT);
    texture->Release();
    texture = nullptr;

    EXPECT_EQ(D3DXCreateTexture(nullptr, 4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture), D3DERR_INVALIDCALL);
    EXPECT_EQ(texture, nullptr);
}

TEST_F(TextureFiles, SavedBmpIsBottomUpTwentyFourBitWithPaddedRows)
{
    // 3 x 2: red channel = 10 x + 100 y, green 7, blue 200; alpha 0x40 is not written.
    ASSERT_EQ(D3DXCreateTexture(device, 3, 2, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture), D3D_OK);
    Fill(texture, [](UINT x, UINT y) { return D3DCOLOR_ARGB(0x40, 10 * x + 100 * y, 7, 200); });
    IDirect3DSurface9* surface = nullptr;
    ASSERT_EQ(texture->GetSurfaceLevel(0, &surface), D3D_OK);
    const HRESULT saved = D3DXSaveSurfaceToFileA(PathOf("shot.bmp").c_str(), D3DXIFF_BMP, surface, nullptr, nullptr);
    surface->Release();
    ASSERT_EQ(saved, D3D_OK);

    const Bytes bmp = ReadBytes("shot.bmp");
    ASSERT_EQ(bmp.size(), 54u + 2u * 12u); // rows of 9 bytes padded to 12
    EXPECT_EQ(bmp[0], 'B');
    EXPECT_EQ(bmp[1], 'M');
    // File size, pixel offset, info header size, width, height (positive: bottom-up), planes, bits,
    // no compression, pixel bytes.
    for (const auto& [at, value] :
         {std::pair<size_t, uint32_t>{2, 78}, {10, 54}, {14, 40}, {18, 3}, {22, 2}, {30, 0}, {34, 24}})
        EXPECT_EQ(Le32(bmp, at), value) << "byte " << at;
    EXPECT_EQ(bmp[26], 1);
    EXPECT_EQ(bmp[28], 24);
    // Bottom row (y = 1) first: blue, green, red = 200, 7, 100 then 200, 7, 110 ...
    const Bytes bottom(bmp.begin() + 54, bmp.begin() + 66);
    EXPECT_EQ(bottom, (Bytes{200, 7, 100, 200, 7, 110, 200, 7, 120, 0, 0, 0}));
    const Bytes top(bmp.begin() + 66, bmp.end());
    EXPECT_EQ(top, (Bytes{200, 7, 0, 200, 7, 10, 200, 7, 20, 0, 0, 0}));

    // And it loads back, opaque.
    IDirect3DTexture9* reloaded = nullptr;
    ASSERT_EQ(D3DXCreateTextureFromFileA(device, PathOf("shot.bmp").c_str(), &reloaded), D3D_OK);
    EXPECT_EQ(Texel(reloaded, 0, 2, 1), 0xFF7807C8u);
    reloaded->Release();

    // A rectangle saves only its part.
    ASSERT_EQ(texture->GetSurfaceLevel(0, &surface), D3D_OK);
    const RECT right{1, 0, 3, 2};
    ASSERT_EQ(D3DXSaveSurfaceToFileA(PathOf("part.bmp").c_str(), D3DXIFF_BMP, surface, nullptr, &right), D3D_OK);
    const RECT outside{2, 0, 4, 2};
    EXPECT_EQ(D3DXSaveSurfaceToFileA(PathOf("bad.bmp").c_str(), D3DXIFF_BMP, surface, nullptr, &outside),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXSaveSurfaceToFileA(PathOf("shot.dds").c_str(), D3DXIFF_DDS, surface, nullptr, nullptr),
              D3DERR_INVALIDCALL);
    surface->Release();
    const Bytes part = ReadBytes("part.bmp");
    ASSERT_EQ(part.size(), 54u + 2u * 8u); // 6 bytes padded to 8
    EXPECT_EQ(Le32(part, 18), 2u);
    EXPECT_EQ(part[54 + 2], 110); // bottom row starts at x = 1
    EXPECT_FALSE(std::filesystem::exists(dir / "bad.bmp"));
    EXPECT_FALSE(std::filesystem::exists(dir / "shot.dds"));

    // The texture's own save writes level 0; TGA keeps the alpha.
    ASSERT_EQ(D3DXSaveTextureToFileA(PathOf("level0.tga").c_str(), D3DXIFF_TGA, texture, nullptr), D3D_OK);
    IDirect3DTexture9* fromTga = nullptr;
    ASSERT_EQ(D3DXCreateTextureFromFileA(device, PathOf("level0.tga").c_str(), &fromTga), D3D_OK);
    EXPECT_EQ(Texel(fromTga, 0, 1, 1), 0x406E07C8u);
    fromTga->Release();
    // So does PNG, read back through the PNG decoder.
    ASSERT_EQ(texture->GetSurfaceLevel(0, &surface), D3D_OK);
    ASSERT_EQ(D3DXSaveSurfaceToFileA(PathOf("level0.png").c_str(), D3DXIFF_PNG, surface, nullptr, nullptr), D3D_OK);
    surface->Release();
    const Bytes png = ReadBytes("level0.png");
    ASSERT_GE(png.size(), 8u);
    EXPECT_EQ(png[1], 'P');
    IDirect3DTexture9* fromPng = nullptr;
    ASSERT_EQ(D3DXCreateTextureFromFileA(device, PathOf("level0.png").c_str(), &fromPng), D3D_OK);
    EXPECT_EQ(Texel(fromPng, 0, 1, 1), 0x406E07C8u);
    fromPng->Release();
}

TEST_F(TextureFiles, BackBufferSavesTheLastFrameAndAMissingDirectoryWritesNothing)
{
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, D3DCOLOR_XRGB(0x33, 0x66, 0x99), 1.0f, 0), D3D_OK);
    IDirect3DSurface9* backBuffer = nullptr;
    ASSERT_EQ(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &backBuffer), D3D_OK);

    EXPECT_NE(
        D3DXSaveSurfaceToFileA(PathOf("Screenshots\\Image0.bmp").c_str(), D3DXIFF_BMP, backBuffer, nullptr, nullptr),
        D3D_OK);
    EXPECT_FALSE(std::filesystem::exists(dir / "Screenshots"));

    ASSERT_EQ(D3DXSaveSurfaceToFileA(PathOf("Image0.bmp").c_str(), D3DXIFF_BMP, backBuffer, nullptr, nullptr), D3D_OK);
    backBuffer->Release();
    const Bytes bmp = ReadBytes("Image0.bmp");
    ASSERT_EQ(bmp.size(), 54u + BACK_BUFFER_WIDTH * 3u * BACK_BUFFER_HEIGHT);
    EXPECT_EQ(Le32(bmp, 18), BACK_BUFFER_WIDTH);
    EXPECT_EQ(Le32(bmp, 22), BACK_BUFFER_HEIGHT);
    EXPECT_EQ(bmp[54], 0x99);
    EXPECT_EQ(bmp[55], 0x66);
    EXPECT_EQ(bmp[56], 0x33);
    EXPECT_EQ(bmp[bmp.size() - 1], 0x33);

    EXPECT_EQ(D3DXSaveSurfaceToFileA(PathOf("x.bmp").c_str(), D3DXIFF_BMP, nullptr, nullptr, nullptr),
              D3DERR_INVALIDCALL);
}

TEST_F(TextureFiles, AFileNamedForAFormatItDoesNotHoldIsReportedAsNotThatFormatOnce)
{
    LogCapture log;
    // Random bytes that happen to make a TGA header of an unsupported type.
    const Bytes random = {0x00, 0x00, 0x07, 0x3A, 0x91, 0x00, 0x10, 0x22, 0x5C, 0xE1, 0x04, 0x08,
                          0x10, 0x00, 0x10, 0x00, 0x20, 0x08, 0x6F, 0x1B, 0xC4, 0x99, 0x02, 0x77};
    for (const char* name : {"splash.bmp", "menu.png", "photo.jpg"}) {
        WriteBytes(name, random);
        EXPECT_EQ(D3DXCreateTextureFromFileA(device, PathOf(name).c_str(), &texture), D3DXERR_INVALIDDATA) << name;
        EXPECT_EQ(D3DXCreateTextureFromFileA(device, PathOf(name).c_str(), &texture), D3DXERR_INVALIDDATA) << name;
    }
    const std::vector<LogRecord> records = log.Records();
    ASSERT_EQ(records.size(), 3u) << "each file said once, however often it is asked for";
    EXPECT_NE(records[0].text.find("splash.bmp: not a BMP image"), std::string::npos) << records[0].text;
    EXPECT_NE(records[1].text.find("menu.png: not a PNG image"), std::string::npos) << records[1].text;
    EXPECT_NE(records[2].text.find("photo.jpg: not a JPEG image"), std::string::npos) << records[2].text;
    for (const LogRecord& record : records)
        EXPECT_EQ(record.text.find("TGA"), std::string::npos) << record.text;
}
