#include "NullDeviceTest.h"

#include "d3dx9/D3DX9Core.h"
#include "d3dx9/D3DX9Math.h"
#include "d3dx9/Font.h"
#include "d3dx9/GlyphAtlas.h"
#include "win32/Log.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

// Liberation Serif is metric-compatible with Times New Roman; these are the fonts' published metrics in
// font units (2048 per em): Windows ascent and descent, and the advance widths of "Hello World".
constexpr double WIN_ASCENT = 1825.0;
constexpr double WIN_DESCENT = 443.0;
constexpr double HELLO_WORLD_REGULAR = 1479 + 909 + 569 + 569 + 1024 + 512 + 1933 + 1024 + 682 + 569 + 1024;
constexpr double HELLO_REGULAR = 1479 + 909 + 569 + 569 + 1024;
constexpr double WORLD_REGULAR = 1933 + 1024 + 682 + 569 + 1024;
constexpr double HELLO_WORLD_BOLD = 1593 + 909 + 569 + 569 + 1024 + 512 + 2048 + 1024 + 909 + 569 + 1139;

// A positive font height is the cell (ascent + descent), so a font unit is height / (ascent + descent) pixels.
double Pixels(double units, int cellHeight)
{
    return units * cellHeight / (WIN_ASCENT + WIN_DESCENT);
}

// Records what a font asks a sprite to draw.
class RecordingSprite : public ID3DXSprite
{
public:
    struct Quad {
        IDirect3DTexture9* texture;
        RECT source;
        float x, y;
        D3DCOLOR color;
    };

    ULONG AddRef() override { return 1; }
    ULONG Release() override { return 1; }
    HRESULT GetDevice(IDirect3DDevice9**) override { return E_FAIL; }
    HRESULT GetTransform(D3DXMATRIX*) override { return E_FAIL; }
    HRESULT SetTransform(const D3DXMATRIX*) override { return E_FAIL; }
    HRESULT Begin(DWORD) override { return D3D_OK; }
    HRESULT Draw(IDirect3DTexture9* texture, const RECT* srcRect, const D3DXVECTOR3* center,
                 const D3DXVECTOR3* position, D3DCOLOR color) override
    {
        EXPECT_EQ(center, nullptr);
        quads.push_back({texture, *srcRect, position->x, position->y, color});
        return D3D_OK;
    }
    HRESULT Flush() override { return D3D_OK; }
    HRESULT End() override { return D3D_OK; }
    HRESULT OnLostDevice() override { return D3D_OK; }
    HRESULT OnResetDevice() override { return D3D_OK; }

    // The box covered by the recorded glyphs.
    RECT Ink() const
    {
        RECT box{INT_MAX, INT_MAX, INT_MIN, INT_MIN};
        for (const Quad& q : quads) {
            box.left = std::min<LONG>(box.left, static_cast<LONG>(q.x));
            box.top = std::min<LONG>(box.top, static_cast<LONG>(q.y));
            box.right = std::max<LONG>(box.right, static_cast<LONG>(q.x) + q.source.right - q.source.left);
            box.bottom = std::max<LONG>(box.bottom, static_cast<LONG>(q.y) + q.source.bottom - q.source.top);
        }
        return box;
    }

    std::vector<Quad> quads;
};

class FontTest : public D3DXNullDeviceTest
{
protected:
    ID3DXFont* MakeFont(int height, UINT weight = FW_NORMAL, const char* face = "Times New Roman")
    {
        ID3DXFont* font = nullptr;
        EXPECT_EQ(D3DXCreateFontA(device, height, 0, weight, 1, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                  DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, face, &font),
                  D3D_OK);
        return font;
    }

    // DT_CALCRECT from (10, 20) with the given width; returns the height and fills the measured rectangle.
    static int Measure(ID3DXFont* font, const char* text, DWORD format, RECT& rect, int width = 1000, int count = -1)
    {
        rect = RECT{10, 20, 10 + width, 20};
        return font->DrawTextA(nullptr, text, count, &rect, format | DT_CALCRECT, 0xFFFFFFFF);
    }
};

TEST_F(FontTest, MeasuredWidthIsTheSumOfTheFaceAdvanceWidths)
{
    ID3DXFont* font = MakeFont(16);
    ASSERT_NE(font, nullptr);
    RECT rect;
    EXPECT_EQ(Measure(font, "Hello World", DT_LEFT, rect), 16);
    EXPECT_EQ(rect.left, 10);
    EXPECT_EQ(rect.top, 20);
    EXPECT_EQ(rect.bottom, 36);
    EXPECT_NEAR(rect.right - rect.left, Pixels(HELLO_WORLD_REGULAR, 16), 3.0); // 72.6 pixels

    // A count shorter than the text measures only that much.
    Measure(font, "Hello World", DT_LEFT, rect, 1000, 5);
    EXPECT_NEAR(rect.right - rect.left, Pixels(HELLO_REGULAR, 16), 2.0); // 32.1 pixels

    // Twice the height, twice the width.
    ID3DXFont* large = MakeFont(32);
    ASSERT_NE(large, nullptr);
    EXPECT_EQ(Measure(large, "Hello World", DT_LEFT, rect), 32);
    EXPECT_NEAR(rect.right - rect.left, Pixels(HELLO_WORLD_REGULAR, 32), 3.0); // 145.2 pixels

    // The bold weight selects the bold face, with its own advances.
    ID3DXFont* bold = MakeFont(16, FW_BOLD);
    ASSERT_NE(bold, nullptr);
    Measure(bold, "Hello World", DT_LEFT, rect);
    EXPECT_NEAR(rect.right - rect.left, Pixels(HELLO_WORLD_BOLD, 16), 3.0); // 76.7 pixels

    EXPECT_EQ(font->Release(), 0u);
    EXPECT_EQ(large->Release(), 0u);
    EXPECT_EQ(bold->Release(), 0u);
}

TEST_F(FontTest, LinesBreakAtNewlinesAndWordsWrapInNarrowRectangles)
{
    ID3DXFont* font = MakeFont(16);
    ASSERT_NE(font, nullptr);
    RECT rect;
    EXPECT_EQ(Measure(font, "Hello\nWorld", DT_LEFT, rect), 32);
    EXPECT_NEAR(rect.right - rect.left, Pixels(WORLD_REGULAR, 16), 2.0); // the wider line: 36.9 pixels
    EXPECT_EQ(Measure(font, "Hello\r\nWorld", DT_LEFT, rect), 32);
    EXPECT_EQ(Measure(font, "Hello\nWorld", DT_SINGLELINE, rect), 16);

    // "Hello World" is 72.6 pixels wide: 50 pixels hold one word per line.
    EXPECT_EQ(Measure(font, "Hello World", DT_WORDBREAK, rect, 50), 32);
    EXPECT_NEAR(rect.right - rect.left, Pixels(WORLD_REGULAR, 16), 2.0);
    EXPECT_EQ(Measure(font, "Hello World", DT_WORDBREAK, rect, 100), 16);
    EXPECT_EQ(Measure(font, "Hello World", DT_LEFT, rect, 50), 16) << "no wrapping without DT_WORDBREAK";
    // A word wider than the rectangle stays whole on its own line.
    EXPECT_EQ(Measure(font, "Hello World", DT_WORDBREAK, rect, 5), 32);

    EXPECT_EQ(Measure(font, "", DT_LEFT, rect), 0);
    EXPECT_EQ(rect.right, rect.left);
    EXPECT_EQ(rect.bottom, rect.top);
    EXPECT_EQ(font->Release(), 0u);
}

TEST_F(FontTest, AlignmentPlacesLinesWithinTheRectangle)
{
    ID3DXFont* font = MakeFont(16);
    ASSERT_NE(font, nullptr);
    RECT measured;
    Measure(font, "Hello World", DT_LEFT, measured);
    const int width = measured.right - measured.left;
    const D3DCOLOR red = D3DCOLOR_ARGB(255, 255, 0, 0);

    RecordingSprite left, centre, right, middle;
    RECT box{100, 50, 300, 150};
    EXPECT_EQ(font->DrawTextA(&left, "Hello World", -1, &box, DT_LEFT, red), 16);
    EXPECT_EQ(font->DrawTextA(&centre, "Hello World", -1, &box, DT_CENTER, red), 16);
    EXPECT_EQ(font->DrawTextA(&right, "Hello World", -1, &box, DT_RIGHT, red), 16);
    // A vertically centred line returns the offset to its bottom, as DrawText does.
    EXPECT_EQ(font->DrawTextA(&middle, "Hello World", -1, &box, DT_VCENTER | DT_SINGLELINE, red), 42 + 16);
    EXPECT_EQ(box.left, 100);
    EXPECT_EQ(box.right, 300);

    ASSERT_EQ(left.quads.size(), 10u) << "one quad per visible character, none for the space";
    ASSERT_EQ(centre.quads.size(), 10u);
    ASSERT_EQ(right.quads.size(), 10u);
    for (const auto& q : left.quads)
        EXPECT_EQ(q.color, red);

    // The same glyphs, moved along by the free space or half of it.
    for (size_t i = 0; i < left.quads.size(); ++i) {
        EXPECT_FLOAT_EQ(right.quads[i].x - left.quads[i].x, static_cast<float>(200 - width));
        EXPECT_FLOAT_EQ(centre.quads[i].x - left.quads[i].x, static_cast<float>((200 - width) / 2));
        EXPECT_FLOAT_EQ(middle.quads[i].y - left.quads[i].y, static_cast<float>((100 - 16) / 2));
    }
    // The ink lies inside the line's cell and along the rectangle's edges.
    const RECT ink = left.Ink();
    EXPECT_NEAR(ink.left, 100, 2);
    EXPECT_GE(ink.top, 50);
    EXPECT_LE(ink.bottom, 50 + 16);
    EXPECT_NEAR(right.Ink().right, 300, 2);
    EXPECT_NEAR((centre.Ink().left + centre.Ink().right) / 2.0, 200.0, 2.0);
    EXPECT_EQ(font->Release(), 0u);
}

TEST_F(FontTest, TextIsClippedToTheRectangleUnlessNoClipIsAsked)
{
    ID3DXFont* font = MakeFont(16);
    ASSERT_NE(font, nullptr);
    RecordingSprite clipped, unclipped;
    RECT box{100, 50, 130, 58};
    font->DrawTextA(&clipped, "Hello World", -1, &box, DT_LEFT, 0xFFFFFFFF);
    font->DrawTextA(&unclipped, "Hello World", -1, &box, DT_NOCLIP, 0xFFFFFFFF);
    ASSERT_FALSE(clipped.quads.empty());
    const RECT inside = clipped.Ink();
    EXPECT_GE(inside.left, 100);
    EXPECT_LE(inside.right, 130);
    EXPECT_GE(inside.top, 50);
    EXPECT_LE(inside.bottom, 58);
    const RECT outside = unclipped.Ink();
    EXPECT_GT(outside.right, 160);
    EXPECT_GT(outside.bottom, 58);
    EXPECT_EQ(unclipped.quads.size(), 10u);
    EXPECT_EQ(font->Release(), 0u);
}

TEST_F(FontTest, TextDrawsInOneBatchPerGlyphPage)
{
    ID3DXFont* first = MakeFont(28, FW_BOLD);
    ID3DXFont* second = MakeFont(28, FW_BOLD);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    RECT box{0, 0, 400, 100};

    // Without a sprite the font makes a batch of its own for each call.
    null->ResetCounters();
    EXPECT_EQ(first->DrawTextA(nullptr, "Player 1 Turn.", -1, &box, DT_CENTER, 0xFFFF0000), 28);
    EXPECT_EQ(null->DrawCount(), 1u);

    // Fonts of the same face and size share their glyphs, so two labels in one batch are one draw.
    ID3DXSprite* sprite = nullptr;
    ASSERT_EQ(D3DXCreateSprite(device, &sprite), D3D_OK);
    null->ResetCounters();
    sprite->Begin(D3DXSPRITE_ALPHABLEND | D3DXSPRITE_SORT_TEXTURE);
    first->DrawTextA(sprite, "Calculating Initiatives...", -1, &box, DT_CENTER, 0xFFFF0000);
    second->DrawTextA(sprite, "F1 For Help", -1, &box, DT_NOCLIP, 0xFFFFFFFF);
    EXPECT_EQ(null->DrawCount(), 0u);
    sprite->End();
    EXPECT_EQ(null->DrawCount(), 1u);

    EXPECT_EQ(first->OnLostDevice(), D3D_OK);
    EXPECT_EQ(first->OnResetDevice(), D3D_OK);
    EXPECT_EQ(sprite->Release(), 0u);
    EXPECT_EQ(first->Release(), 0u);
    EXPECT_EQ(second->Release(), 0u);
}

TEST_F(FontTest, BadRequestsFailOrFallBackWithoutHarm)
{
    ID3DXFont* font = reinterpret_cast<ID3DXFont*>(1);
    EXPECT_EQ(D3DXCreateFontA(nullptr, 16, 0, FW_NORMAL, 1, FALSE, 0, 0, 0, 0, "Times New Roman", &font),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(font, nullptr);
    EXPECT_EQ(D3DXCreateFontA(device, 16, 0, FW_NORMAL, 1, FALSE, 0, 0, 0, 0, "Times New Roman", nullptr),
              D3DERR_INVALIDCALL);
    EXPECT_TRUE(FAILED(D3DXCreateFontA(device, 100000, 0, FW_NORMAL, 1, FALSE, 0, 0, 0, 0, "Times New Roman", &font)));
    EXPECT_EQ(font, nullptr);

    // A face that is not installed falls back to another font rather than failing.
    ID3DXFont* fallback = MakeFont(16, FW_NORMAL, "No Such Face Anywhere");
    ASSERT_NE(fallback, nullptr);
    RECT rect;
    EXPECT_EQ(Measure(fallback, "Hello", DT_LEFT, rect), 16);
    EXPECT_GT(rect.right - rect.left, 10);
    EXPECT_EQ(fallback->DrawTextA(nullptr, nullptr, -1, &rect, 0, 0xFFFFFFFF), 0);
    EXPECT_EQ(fallback->DrawTextA(nullptr, "Hello", -1, nullptr, 0, 0xFFFFFFFF), 0);
    EXPECT_EQ(fallback->Release(), 0u);

    // A height of 0 takes a default size; a negative height is the em without the leading.
    ID3DXFont* byDefault = MakeFont(0);
    ASSERT_NE(byDefault, nullptr);
    EXPECT_GT(Measure(byDefault, "Hello", DT_LEFT, rect), 0);
    EXPECT_EQ(byDefault->Release(), 0u);
    ID3DXFont* em = MakeFont(-20);
    ASSERT_NE(em, nullptr);
    Measure(em, "Hello World", DT_LEFT, rect);
    EXPECT_NEAR(rect.right - rect.left, HELLO_WORLD_REGULAR * 20 / 2048, 3.0); // 100.5 pixels
    // Its line is the cell: ascent and descent at 20 pixels per em, 17.8 + 4.3 -> 18 + 4.
    EXPECT_EQ(Measure(em, "Hello World", DT_LEFT, rect), 22);
    EXPECT_EQ(em->Release(), 0u);
}

TEST_F(FontTest, FontsAndEffectsAreMadeOnTwoThreadsAtOnce)
{
    // The loading thread makes fonts and effects while the main thread may be making its own.
    ID3DXEffectPool* pool = nullptr;
    ASSERT_EQ(D3DXCreateEffectPool(&pool), D3D_OK);
    const std::string effectPath = std::string(VARNHOLT_FIXTURES) + "/effects/sample.fx";
    constexpr int PER_THREAD = 4;
    ID3DXFont* fonts[2][PER_THREAD] = {};
    ID3DXEffect* effects[2][PER_THREAD] = {};
    auto make = [&](int side) {
        for (int i = 0; i < PER_THREAD; ++i) {
            D3DXCreateFontA(device, 20 + i, 0, FW_BOLD, 1, FALSE, 0, 0, 0, 0, "Times New Roman", &fonts[side][i]);
            D3DXCreateEffectFromFileA(device, effectPath.c_str(), nullptr, nullptr, 0, pool, &effects[side][i],
                                      nullptr);
        }
    };
    std::thread other(make, 1);
    make(0);
    other.join();

    for (int i = 0; i < PER_THREAD; ++i) {
        ASSERT_NE(fonts[0][i], nullptr);
        ASSERT_NE(fonts[1][i], nullptr);
        ASSERT_NE(effects[0][i], nullptr);
        ASSERT_NE(effects[1][i], nullptr);
        RECT a, b;
        EXPECT_EQ(Measure(fonts[0][i], "Hello World", DT_LEFT, a), 20 + i);
        Measure(fonts[1][i], "Hello World", DT_LEFT, b);
        EXPECT_EQ(a.right, b.right);
    }
    // Every effect of the pool sees the one shared value.
    effects[0][0]->SetFloat("sharedScale", 6.0f);
    float value = 0.0f;
    effects[1][PER_THREAD - 1]->GetFloat("sharedScale", &value);
    EXPECT_FLOAT_EQ(value, 6.0f);
    for (auto& side : fonts)
        for (ID3DXFont* font : side)
            font->Release();
    for (auto& side : effects)
        for (ID3DXEffect* effect : side)
            effect->Release();
    EXPECT_EQ(pool->Release(), 0u);
}

} // namespace

namespace {

// In a process of its own (the font configuration is read once per process): a configuration of two font
// files, the serif one cut short after the configuration listed it, as a damaged install leaves it. Returns
// the number of faults found, each said on stderr.
int CutFontCase(IDirect3DDevice9* device, const std::string& serif, const std::string& sans)
{
    int faults = 0;
    auto fault = [&](const std::string& what) {
        std::fprintf(stderr, "fault: %s\n", what.c_str());
        ++faults;
    };
    char pattern[] = "/tmp/varnholt-fonts-XXXXXX";
    if (!mkdtemp(pattern))
        return 1;
    const std::filesystem::path root(pattern);
    std::filesystem::create_directories(root / "fonts");
    const std::filesystem::path cut = root / "fonts" / "Serif.ttf";
    std::filesystem::copy_file(serif, cut);
    std::filesystem::copy_file(sans, root / "fonts" / "Sans.ttf");
    std::ofstream(root / "fonts.conf") << "<?xml version=\"1.0\"?>\n<fontconfig>\n<dir>" << (root / "fonts").string()
                                       << "</dir>\n<cachedir>" << (root / "cache").string()
                                       << "</cachedir>\n<include ignore_missing=\"yes\">/etc/fonts/conf.d</include>\n"
                                       << "</fontconfig>\n";
    setenv("FONTCONFIG_FILE", (root / "fonts.conf").c_str(), 1);

    auto make = [&](int height) {
        ID3DXFont* font = nullptr;
        D3DXCreateFontA(device, height, 0, FW_NORMAL, 1, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, DEFAULT_QUALITY,
                        DEFAULT_PITCH | FF_DONTCARE, "Times New Roman", &font);
        return font;
    };
    // Whole, the serif file is the one the configuration gives for the face.
    if (ID3DXFont* whole = make(20)) {
        if (static_cast<Font*>(whole)->Atlas().FilePath() != cut.string())
            fault("the whole serif file is not the face's: " + static_cast<Font*>(whole)->Atlas().FilePath());
        whole->Release();
    } else {
        fault("no font from the whole serif file");
    }
    std::filesystem::resize_file(cut, 20000);

    LogCapture capture;
    for (int height : {18, 24, 28}) {
        ID3DXFont* font = make(height);
        if (!font) {
            fault("no font at height " + std::to_string(height) + " once the serif file is cut");
            continue;
        }
        const GlyphAtlas& atlas = static_cast<Font*>(font)->Atlas();
        if (atlas.FilePath() == cut.string())
            fault("the cut file is still used");
        RECT rect{0, 0, 1000, 0};
        if (font->DrawTextA(nullptr, "Deploy", -1, &rect, DT_LEFT | DT_CALCRECT, 0xFFFFFFFF) <= 0 || rect.right <= 0)
            fault("no text is measured at height " + std::to_string(height));
        font->Release();
    }
    if (capture.Count("font.file") != 1)
        fault("the cut file is said " + std::to_string(capture.Count("font.file")) + " times, not once");
    if (capture.Count("font.create") != 0)
        fault("a font was refused");
    for (const LogRecord& record : capture.Records())
        if (record.event == "font.file" && record.text.find(cut.string()) == std::string::npos)
            fault("the message does not name the file: " + record.text);
    std::filesystem::remove_all(root);
    return faults;
}

} // namespace

TEST_F(FontTest, AFontFileCutShortAfterItWasInstalledGivesWayToAnotherFontAndIsSaidOnce)
{
    const std::string serif = "/usr/share/fonts/truetype/liberation2/LiberationSerif-Regular.ttf";
    const std::string sans = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
    ASSERT_TRUE(std::filesystem::exists(serif) && std::filesystem::exists(sans))
        << "scripts/setup-deps installs fonts-liberation2 and fonts-dejavu-core";
    // The case runs in a fresh copy of this program, where no font has been asked for yet.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(std::_Exit(CutFontCase(device, serif, sans) == 0 ? 0 : 1), ::testing::ExitedWithCode(0), "");
}
