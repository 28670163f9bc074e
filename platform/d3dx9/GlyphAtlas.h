#pragma once
// Platform-internal: the glyphs of one font face at one pixel size, rendered by FreeType into device
// textures (A8R8G8B8: white, with the glyph's coverage as alpha). Every character of the game's 8-bit
// text (Windows-1252) is rendered when the atlas is made, so drawing never touches FreeType and an
// atlas made on the loading thread is complete. Fonts with the same face, size and style share one
// atlas.

#include "d3d9/D3D9.h"

#include <memory>
#include <string>
#include <vector>

struct GlyphInfo {
    int page = -1; // atlas texture; -1 for a glyph with no pixels (space)
    RECT source{}; // texels of the glyph in its page
    int offsetX = 0; // from the pen position to the bitmap's left edge
    int offsetY = 0; // from the line's top to the bitmap's top edge
    int advance = 0; // pen movement in pixels
};

struct FontRequest {
    int height = 0; // as D3DXCreateFont takes it: > 0 cell height, < 0 character (em) height
    unsigned weight = 0; // FW_*; 0 = normal
    bool italic = false;
    std::string faceName; // "Times New Roman"...
};

class GlyphAtlas
{
public:
    // The shared atlas for the request, made when none exists. Null with a message when no font file
    // can be found or read, or when the size is out of range.
    static std::shared_ptr<GlyphAtlas> Get(IDirect3DDevice9* device, const FontRequest& request, std::string& error);

    ~GlyphAtlas();
    GlyphAtlas(const GlyphAtlas&) = delete;
    GlyphAtlas& operator=(const GlyphAtlas&) = delete;

    const GlyphInfo& Glyph(unsigned char c) const { return glyphs_[c]; }
    IDirect3DTexture9* Page(int page) const { return pages_[static_cast<size_t>(page)]; }
    int LineHeight() const { return lineHeight_; }
    int Ascent() const { return ascent_; }
    // The font file the face name resolved to, and its family.
    const std::string& FilePath() const { return filePath_; }
    const std::string& Family() const { return family_; }
    // Pixels per em the glyphs were rendered at.
    double PixelsPerEm() const { return pixelsPerEm_; }

private:
    GlyphAtlas() = default;

    IDirect3DDevice9* device_ = nullptr;
    GlyphInfo glyphs_[256];
    std::vector<IDirect3DTexture9*> pages_;
    int lineHeight_ = 0;
    int ascent_ = 0;
    double pixelsPerEm_ = 0.0;
    std::string filePath_;
    std::string family_;

    friend class GlyphAtlasBuilder;
};
