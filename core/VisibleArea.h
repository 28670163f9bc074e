#pragma once
// The part of a texture that can change a pixel when it is drawn blended by its alpha (the source weighed by its
// own alpha, whatever the blend does with the destination), so that sprites can be drawn as quads cut down to
// it. A texel of alpha 0 weighs nothing there, whatever its colour, and fog or not. Worked out once per texture
// from every mip level as the device holds it: per level the bounding rectangle of the texels with alpha, and
// from those, for "levels 0 to k may be sampled", the rectangle of texture coordinates outside which a bilinear
// sample of any of those levels reads only texels of alpha 0. The rectangles assume a sampler that mirrors or
// clamps at the edges (one that wraps would read the opposite edge's texels there).

#include "d3d9/D3D9.h"

#include <cstdint>
#include <memory>
#include <vector>

class VisibleArea
{
public:
    // Texture coordinates (u across, v down), or empty when nothing shows.
    struct Rect {
        float left = 0.0f;
        float top = 0.0f;
        float right = 1.0f;
        float bottom = 1.0f;
        bool empty = false;
    };

    // One level's texels as ARGB words, rows of pitch words.
    struct LevelTexels {
        UINT width = 0;
        UINT height = 0;
        UINT pitch = 0;
        const uint32_t* texels = nullptr;
        bool hasAlpha = true;
    };

    // From levels 0, 1, ... in order; a level that is not half the one before (rounded down, at least 1)
    // ends the list there, and the area then covers the whole texture from that level on.
    static VisibleArea FromLevels(const std::vector<LevelTexels>& levels);
    // Reads every level of a managed 32-bit texture; null for any other texture or a level that will not lock.
    static std::shared_ptr<const VisibleArea> OfTexture(IDirect3DTexture9* texture);

    // The rectangle that holds while levels 0 to maxLevel may be sampled; a maxLevel past the levels read
    // gives the whole texture, as does a texture none of whose levels were read.
    const Rect& Cut(int maxLevel) const;
    // The last level a trilinear sample may read where a pixel spans texelsPerPixel texels (the larger of the two
    // directions): the level of detail's whole part and the level after it, and one more for the driver's own estimate
    // of that ratio. A ratio that is not a positive number allows every level.
    static int MaxLevelSampled(float texelsPerPixel);
    int LevelCount() const { return static_cast<int>(m_levelCount); }
    UINT Width() const { return m_width; }
    UINT Height() const { return m_height; }

private:
    UINT m_width = 0;
    UINT m_height = 0;
    size_t m_levelCount = 0;
    bool m_complete = false;
    // m_cuts[k]: the union of levels 0 to k's rectangles.
    std::vector<Rect> m_cuts;
    Rect m_whole;
};
