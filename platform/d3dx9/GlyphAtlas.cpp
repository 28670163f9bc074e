#include "d3dx9/GlyphAtlas.h"
#include "win32/Log.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H
#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <set>
#include <tuple>

namespace {

// Cell heights beyond this would need atlases of many large pages; no interface text is that big.
constexpr int MAX_FONT_HEIGHT = 256;
// GDI's choice for a height of 0.
constexpr int DEFAULT_FONT_HEIGHT = 16;
constexpr int MAX_PAGE_SIZE = 2048;
constexpr int MIN_PAGE_SIZE = 64;
// Empty texels around each glyph so that linear filtering never reaches a neighbour.
constexpr int GLYPH_PADDING = 1;

// Characters 0x80..0x9F of Windows-1252; the rest of the upper half is Latin-1. 0 where unassigned.
constexpr uint32_t CP1252_HIGH[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

uint32_t CodePoint(unsigned char c)
{
    if (c >= 0x80 && c < 0xA0)
        return CP1252_HIGH[c - 0x80];
    return c;
}

// FreeType and fontconfig are set up once and used under this lock; atlases are made rarely.
std::mutex& LibraryMutex()
{
    static std::mutex mutex;
    return mutex;
}

FT_Library Library()
{
    static FT_Library library = [] {
        FT_Library made = nullptr;
        if (FT_Init_FreeType(&made) != 0)
            made = nullptr;
        return made;
    }();
    return library;
}

struct ResolvedFace {
    std::string path;
    int index = 0;
    std::string family;
    bool embolden = false;
};

// Finds the font file for a face name through fontconfig. Metric-compatible substitutes that the
// configuration names for the family ("Times New Roman" -> Liberation Serif) are taken silently; a
// generic fallback is reported once per face name.
bool ResolveFace(const FontRequest& request, const std::set<std::string>& refused, ResolvedFace& resolved,
                 std::string& error)
{
    static bool initialised = FcInit() == FcTrue;
    if (!initialised) {
        error = "fontconfig could not be initialised";
        return false;
    }
    FcPattern* pattern = FcPatternCreate();
    if (pattern == nullptr) {
        error = "out of memory";
        return false;
    }
    const std::string family = request.faceName.empty() ? std::string("serif") : request.faceName;
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    const unsigned weight = request.weight == 0 ? 400 : std::min(request.weight, 1000u);
    FcPatternAddInteger(pattern, FC_WEIGHT, FcWeightFromOpenType(static_cast<int>(weight)));
    FcPatternAddInteger(pattern, FC_SLANT, request.italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);

    // The families the configuration binds strongly to the request are its intended substitutes.
    std::vector<std::string> intended;
    FcValue value;
    FcValueBinding binding;
    for (int i = 0; FcPatternGetWithBinding(pattern, FC_FAMILY, i, &value, &binding) == FcResultMatch; ++i)
        if (value.type == FcTypeString && binding == FcValueBindingStrong)
            intended.emplace_back(reinterpret_cast<const char*>(value.u.s));

    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    // A font file that could not be drawn from is passed over: the next font in the configuration's order of
    // preference for the request stands in.
    FcChar8* matchedFile = nullptr;
    if (match != nullptr && FcPatternGetString(match, FC_FILE, 0, &matchedFile) == FcResultMatch &&
        matchedFile != nullptr && refused.count(reinterpret_cast<const char*>(matchedFile)) > 0) {
        FcPatternDestroy(match);
        match = nullptr;
        if (FcFontSet* sorted = FcFontSort(nullptr, pattern, FcTrue, nullptr, &result)) {
            for (int i = 0; i < sorted->nfont && match == nullptr; ++i) {
                FcChar8* file = nullptr;
                if (FcPatternGetString(sorted->fonts[i], FC_FILE, 0, &file) != FcResultMatch || file == nullptr ||
                    refused.count(reinterpret_cast<const char*>(file)) > 0)
                    continue;
                match = FcFontRenderPrepare(nullptr, pattern, sorted->fonts[i]);
            }
            FcFontSetDestroy(sorted);
        }
    }
    FcPatternDestroy(pattern);
    if (match == nullptr) {
        error = "no font installed matches '" + family + "'";
        return false;
    }
    FcChar8* file = nullptr;
    FcChar8* matchedFamily = nullptr;
    int index = 0;
    FcBool embolden = FcFalse;
    const bool haveFile = FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file != nullptr;
    if (haveFile) {
        resolved.path = reinterpret_cast<const char*>(file);
        if (FcPatternGetInteger(match, FC_INDEX, 0, &index) == FcResultMatch)
            resolved.index = index;
        if (FcPatternGetString(match, FC_FAMILY, 0, &matchedFamily) == FcResultMatch && matchedFamily != nullptr)
            resolved.family = reinterpret_cast<const char*>(matchedFamily);
        if (FcPatternGetBool(match, FC_EMBOLDEN, 0, &embolden) == FcResultMatch)
            resolved.embolden = embolden == FcTrue;
    }
    FcPatternDestroy(match);
    if (!haveFile) {
        error = "no font file for '" + family + "'";
        return false;
    }
    const bool substitute = std::find(intended.begin(), intended.end(), resolved.family) != intended.end();
    if (!substitute) {
        static std::set<std::string> reported;
        if (reported.insert(family).second)
            LogFormat(LogLevel::INFO, "font.substitute", "font: '%s' is not installed; using '%s' instead",
                      family.c_str(), resolved.family.c_str());
    }
    return true;
}

struct AtlasKey {
    IDirect3DDevice9* device;
    std::string path;
    int index;
    int height;
    bool embolden;
    bool operator<(const AtlasKey& o) const
    {
        return std::tie(device, path, index, height, embolden) <
               std::tie(o.device, o.path, o.index, o.height, o.embolden);
    }
};

std::map<AtlasKey, std::weak_ptr<GlyphAtlas>>& AtlasCache()
{
    static std::map<AtlasKey, std::weak_ptr<GlyphAtlas>> cache;
    return cache;
}

struct RenderedGlyph {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> coverage;
};

int NextPowerOfTwo(int value)
{
    int result = MIN_PAGE_SIZE;
    while (result < value)
        result *= 2;
    return result;
}

} // namespace

// Renders the glyphs and packs them into pages (shelves left to right, top to bottom).
class GlyphAtlasBuilder
{
public:
    // badFile is set when the fault lies in the font file itself, so that another font may stand in.
    static std::shared_ptr<GlyphAtlas> Build(IDirect3DDevice9* device, const ResolvedFace& face, int height,
                                             std::string& error, bool& badFile);
};

std::shared_ptr<GlyphAtlas> GlyphAtlasBuilder::Build(IDirect3DDevice9* device, const ResolvedFace& resolved, int height,
                                                     std::string& error, bool& badFile)
{
    badFile = false;
    FT_Library library = Library();
    if (library == nullptr) {
        error = "FreeType could not be initialised";
        return nullptr;
    }
    FT_Face face = nullptr;
    if (FT_New_Face(library, resolved.path.c_str(), resolved.index, &face) != 0 || face == nullptr) {
        error = "cannot read the font file " + resolved.path;
        badFile = true;
        return nullptr;
    }
    struct FaceGuard {
        FT_Face face;
        ~FaceGuard() { FT_Done_Face(face); }
    } guard{face};
    if (!FT_IS_SCALABLE(face) || face->units_per_EM == 0) {
        error = "the font file " + resolved.path + " holds no scalable face";
        badFile = true;
        return nullptr;
    }

    // GDI's measure of a font's cell: the Windows ascent and descent of the OS/2 table (hhea when absent).
    double ascentUnits = face->ascender;
    double descentUnits = -face->descender;
    if (const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
        os2 != nullptr && os2->version != 0xFFFF && os2->usWinAscent + os2->usWinDescent > 0) {
        ascentUnits = os2->usWinAscent;
        descentUnits = os2->usWinDescent;
    }
    if (ascentUnits + descentUnits <= 0.0) {
        ascentUnits = face->units_per_EM * 0.8;
        descentUnits = face->units_per_EM * 0.2;
    }
    const double units = face->units_per_EM;
    auto atlas = std::shared_ptr<GlyphAtlas>(new GlyphAtlas());
    if (height > 0) {
        // A positive height is the whole cell, internal leading included.
        atlas->pixelsPerEm_ = height * units / (ascentUnits + descentUnits);
        atlas->lineHeight_ = height;
        atlas->ascent_ = static_cast<int>(std::lround(height * ascentUnits / (ascentUnits + descentUnits)));
    } else {
        // A negative height is the em, without the internal leading.
        atlas->pixelsPerEm_ = -height;
        const int ascent = static_cast<int>(std::lround(ascentUnits * -height / units));
        const int descent = static_cast<int>(std::lround(descentUnits * -height / units));
        atlas->lineHeight_ = ascent + descent;
        atlas->ascent_ = ascent;
    }
    atlas->filePath_ = resolved.path;
    atlas->family_ = resolved.family;
    const FT_F26Dot6 size = static_cast<FT_F26Dot6>(std::lround(atlas->pixelsPerEm_ * 64.0));
    if (FT_Set_Char_Size(face, 0, std::max<FT_F26Dot6>(size, 64), 72, 72) != 0) {
        error = "the font " + resolved.path + " cannot be set to " + std::to_string(height) + " pixels";
        return nullptr;
    }

    RenderedGlyph rendered[256];
    for (int c = 0x20; c < 256; ++c) {
        const uint32_t code = CodePoint(static_cast<unsigned char>(c));
        if (code == 0)
            continue;
        const FT_UInt index = FT_Get_Char_Index(face, code);
        if (FT_Load_Glyph(face, index, FT_LOAD_DEFAULT) != 0)
            continue;
        FT_GlyphSlot slot = face->glyph;
        if (resolved.embolden && slot->format == FT_GLYPH_FORMAT_OUTLINE)
            FT_GlyphSlot_Embolden(slot);
        GlyphInfo& info = atlas->glyphs_[c];
        info.advance = static_cast<int>((slot->advance.x + 32) >> 6);
        if (FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0)
            continue;
        const FT_Bitmap& bitmap = slot->bitmap;
        if (bitmap.pixel_mode != FT_PIXEL_MODE_GRAY || bitmap.width == 0 || bitmap.rows == 0)
            continue;
        info.offsetX = slot->bitmap_left;
        info.offsetY = atlas->ascent_ - slot->bitmap_top;
        RenderedGlyph& glyph = rendered[c];
        glyph.width = static_cast<int>(bitmap.width);
        glyph.height = static_cast<int>(bitmap.rows);
        glyph.coverage.resize(static_cast<size_t>(glyph.width) * static_cast<size_t>(glyph.height));
        for (int row = 0; row < glyph.height; ++row)
            std::memcpy(&glyph.coverage[static_cast<size_t>(row * glyph.width)], bitmap.buffer + row * bitmap.pitch,
                        static_cast<size_t>(glyph.width));
    }

    // A file cut short may still open while every glyph fails: no text at all could be drawn with it.
    bool anyGlyph = false;
    for (int c = 0x21; c < 256 && !anyGlyph; ++c)
        anyGlyph = !rendered[c].coverage.empty();
    if (!anyGlyph) {
        error = "the font file " + resolved.path + " draws no glyph (damaged or cut short)";
        badFile = true;
        return nullptr;
    }

    // Shelf packing: the narrowest power-of-two page width (up to the limit) that holds every glyph on one
    // page whose height does not exceed its width twice over; otherwise pages of the largest size.
    struct Placement {
        int page, x, y;
    };
    std::vector<Placement> placements(256, Placement{-1, 0, 0});
    auto pack = [&](int pageWidth, int pageHeightLimit, std::vector<int>& pageHeights) {
        pageHeights.assign(1, 0);
        int x = 0, y = 0, shelf = 0, page = 0;
        for (int c = 0; c < 256; ++c) {
            const RenderedGlyph& glyph = rendered[c];
            if (glyph.coverage.empty())
                continue;
            const int w = glyph.width + 2 * GLYPH_PADDING;
            const int h = glyph.height + 2 * GLYPH_PADDING;
            if (w > pageWidth || h > pageHeightLimit)
                return false;
            if (x + w > pageWidth) {
                x = 0;
                y += shelf;
                shelf = 0;
            }
            if (y + h > pageHeightLimit) {
                ++page;
                pageHeights.push_back(0);
                x = 0;
                y = 0;
                shelf = 0;
            }
            placements[static_cast<size_t>(c)] = Placement{page, x + GLYPH_PADDING, y + GLYPH_PADDING};
            x += w;
            shelf = std::max(shelf, h);
            pageHeights[static_cast<size_t>(page)] = std::max(pageHeights[static_cast<size_t>(page)], y + shelf);
        }
        return true;
    };
    std::vector<int> pageHeights;
    int pageWidth = 0;
    for (int width = MIN_PAGE_SIZE * 2; width <= MAX_PAGE_SIZE && pageWidth == 0; width *= 2)
        if (pack(width, std::min(width * 2, MAX_PAGE_SIZE), pageHeights) && pageHeights.size() == 1)
            pageWidth = width;
    if (pageWidth == 0) {
        if (!pack(MAX_PAGE_SIZE, MAX_PAGE_SIZE, pageHeights)) {
            error = "the glyphs of " + resolved.path + " do not fit a texture at " + std::to_string(height) + " pixels";
            return nullptr;
        }
        pageWidth = MAX_PAGE_SIZE;
    }

    atlas->device_ = device;
    device->AddRef();
    for (size_t page = 0; page < pageHeights.size(); ++page) {
        const int width = pageWidth;
        const int pageHeight = NextPowerOfTwo(std::max(pageHeights[page], 1));
        IDirect3DTexture9* texture = nullptr;
        if (FAILED(device->CreateTexture(static_cast<UINT>(width), static_cast<UINT>(pageHeight), 1, 0, D3DFMT_A8R8G8B8,
                                         D3DPOOL_MANAGED, &texture, nullptr)) ||
            texture == nullptr) {
            error =
                "the device refused a glyph texture of " + std::to_string(width) + " x " + std::to_string(pageHeight);
            return nullptr;
        }
        atlas->pages_.push_back(texture);
        D3DLOCKED_RECT locked{};
        if (FAILED(texture->LockRect(0, &locked, nullptr, 0)) || locked.pBits == nullptr) {
            error = "a glyph texture cannot be written";
            return nullptr;
        }
        auto* base = static_cast<uint8_t*>(locked.pBits);
        // White everywhere, so filtering at glyph edges blends towards white, not black.
        for (int row = 0; row < pageHeight; ++row) {
            auto* line = reinterpret_cast<uint32_t*>(base + row * locked.Pitch);
            std::fill(line, line + width, 0x00FFFFFFu);
        }
        for (int c = 0; c < 256; ++c) {
            const Placement& at = placements[static_cast<size_t>(c)];
            if (at.page != static_cast<int>(page))
                continue;
            const RenderedGlyph& glyph = rendered[c];
            for (int row = 0; row < glyph.height; ++row) {
                auto* line = reinterpret_cast<uint32_t*>(base + (at.y + row) * locked.Pitch) + at.x;
                const uint8_t* source = &glyph.coverage[static_cast<size_t>(row * glyph.width)];
                for (int col = 0; col < glyph.width; ++col)
                    line[col] = (static_cast<uint32_t>(source[col]) << 24) | 0x00FFFFFFu;
            }
            GlyphInfo& info = atlas->glyphs_[c];
            info.page = static_cast<int>(page);
            info.source = RECT{at.x, at.y, at.x + glyph.width, at.y + glyph.height};
        }
        texture->UnlockRect(0);
    }
    return atlas;
}

GlyphAtlas::~GlyphAtlas()
{
    for (IDirect3DTexture9* page : pages_)
        page->Release();
    if (device_ != nullptr)
        device_->Release();
}

std::shared_ptr<GlyphAtlas> GlyphAtlas::Get(IDirect3DDevice9* device, const FontRequest& request, std::string& error)
{
    if (device == nullptr) {
        error = "no device";
        return nullptr;
    }
    const int height = request.height == 0 ? DEFAULT_FONT_HEIGHT : request.height;
    if (height > MAX_FONT_HEIGHT || height < -MAX_FONT_HEIGHT) {
        error = "font height " + std::to_string(request.height) + " is out of range";
        return nullptr;
    }
    std::lock_guard<std::mutex> lock(LibraryMutex());
    // Font files found unreadable (damaged, or cut short since the font configuration listed them). Only
    // faults of the file itself land here, not a height or a device that refused.
    static std::set<std::string> refused;
    std::shared_ptr<GlyphAtlas> atlas;
    ResolvedFace resolved;
    for (;;) {
        if (!ResolveFace(request, refused, resolved, error))
            return nullptr;
        const AtlasKey key{device, resolved.path, resolved.index, height, resolved.embolden};
        if (auto found = AtlasCache().find(key); found != AtlasCache().end())
            if (auto shared = found->second.lock())
                return shared;
        bool badFile = false;
        atlas = GlyphAtlasBuilder::Build(device, resolved, height, error, badFile);
        if (atlas != nullptr)
            break;
        if (!badFile)
            return nullptr;
        refused.insert(resolved.path);
        LogFormat(LogLevel::WARNING, "font.file", "%s; another font stands in for '%s'", error.c_str(),
                  request.faceName.c_str());
    }
    auto& cache = AtlasCache();
    const AtlasKey key{device, resolved.path, resolved.index, height, resolved.embolden};
    // Drop entries whose atlases are gone so the cache does not grow with every font ever made.
    for (auto it = cache.begin(); it != cache.end();)
        it = it->second.expired() ? cache.erase(it) : std::next(it);
    cache[key] = atlas;
    return atlas;
}
