#pragma once

#include "d3d9/D3D9.h"

#include <cstdint>
#include <vector>

// What a picture's alpha lets through: the texels that show at all, with the largest rectangle of them that
// is wholly opaque (drawn without blending it comes out the same, costs less, and lets the rasteriser skip
// what lies beneath), and the rows from which a band of columns hides whatever lies beneath. Read once from the top
// level of an A8R8G8B8 texture; a texture that cannot be read shows everywhere and hides nothing. The texture is not
// held: like the widgets that show it, the owner reads it again whenever it builds them from the data manager's
// textures.
class TextureCoverage
{
public:
    struct Piece {
        RECT texels;
        // Every texel of the piece has full alpha.
        bool opaque;
    };

    explicit TextureCoverage(IDirect3DTexture9* texture);

    IDirect3DTexture9* GetTexture() const { return m_texture; }
    UINT GetWidth() const { return m_width; }
    UINT GetHeight() const { return m_height; }
    // The smallest rectangle of texels holding every texel with any alpha (empty when none has).
    const RECT& GetShown() const { return m_shown; }
    // A few rectangles that do not overlap and together hold every texel with any alpha: the largest opaque
    // rectangle, when it is large enough to be worth drawing apart, and the parts of the shown rectangle around
    // it, less the clear holes in them that are as large. Empty when nothing shows.
    const std::vector<Piece>& GetPieces() const { return m_pieces; }
    // The first row from which every row before rowEnd is wholly opaque in columns [left, right); rowEnd when
    // the row just above it is not, or when the band lies outside the picture.
    LONG OpaqueFrom(LONG left, LONG right, LONG rowEnd) const;

private:
    void CutIntoPieces();

    IDirect3DTexture9* m_texture = nullptr;
    UINT m_width = 0;
    UINT m_height = 0;
    RECT m_shown{0, 0, 0, 0};
    std::vector<Piece> m_pieces;
    // One alpha a texel, row by row; empty when the texture could not be read.
    std::vector<uint8_t> m_alpha;
    // The last band asked about and its answer: the same band is asked about every frame.
    mutable LONG m_askedLeft = 0;
    mutable LONG m_askedRight = 0;
    mutable LONG m_askedEnd = -1;
    mutable LONG m_answer = 0;
};
