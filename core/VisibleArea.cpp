#include "core/VisibleArea.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace {

// Texels that show in one level, as a bounding box in whole texels (inclusive).
struct TexelBox {
    UINT left = 0, top = 0, right = 0, bottom = 0;
    bool empty = true;
    void Add(UINT x, UINT y)
    {
        if (empty) {
            left = right = x;
            top = bottom = y;
            empty = false;
            return;
        }
        left = std::min(left, x);
        right = std::max(right, x);
        top = std::min(top, y);
        bottom = std::max(bottom, y);
    }
};

// A bilinear sample at coordinate u reads the texels whose centres lie within one texel of u * size - 0.5, so
// texel i can weigh in only for u * size between i - 0.5 and i + 1.5. Beyond that, and a margin of one texel of
// level 0 for the rounding of interpolated coordinates, the box's texels weigh nothing.
VisibleArea::Rect Reach(const TexelBox& box, UINT width, UINT height, float marginU, float marginV)
{
    VisibleArea::Rect rect;
    if (box.empty) {
        rect.empty = true;
        return rect;
    }
    const float w = static_cast<float>(width);
    const float h = static_cast<float>(height);
    rect.left = std::max(0.0f, (static_cast<float>(box.left) - 0.5f) / w - marginU);
    rect.right = std::min(1.0f, (static_cast<float>(box.right) + 1.5f) / w + marginU);
    rect.top = std::max(0.0f, (static_cast<float>(box.top) - 0.5f) / h - marginV);
    rect.bottom = std::min(1.0f, (static_cast<float>(box.bottom) + 1.5f) / h + marginV);
    return rect;
}

VisibleArea::Rect Union(const VisibleArea::Rect& a, const VisibleArea::Rect& b)
{
    if (a.empty)
        return b;
    if (b.empty)
        return a;
    VisibleArea::Rect rect;
    rect.left = std::min(a.left, b.left);
    rect.top = std::min(a.top, b.top);
    rect.right = std::max(a.right, b.right);
    rect.bottom = std::max(a.bottom, b.bottom);
    return rect;
}

} // namespace

VisibleArea VisibleArea::FromLevels(const std::vector<LevelTexels>& levels)
{
    VisibleArea area;
    if (levels.empty() || levels[0].width == 0 || levels[0].height == 0)
        return area;
    area.m_width = levels[0].width;
    area.m_height = levels[0].height;
    const float marginU = 1.0f / static_cast<float>(area.m_width);
    const float marginV = 1.0f / static_cast<float>(area.m_height);
    Rect sofar;
    sofar.empty = true;
    for (size_t k = 0; k < levels.size(); ++k) {
        const LevelTexels& level = levels[k];
        const UINT expectedWidth = std::max(1u, area.m_width >> std::min<size_t>(k, 31));
        const UINT expectedHeight = std::max(1u, area.m_height >> std::min<size_t>(k, 31));
        if (!level.texels || level.width != expectedWidth || level.height != expectedHeight ||
            level.pitch < level.width)
            break;
        TexelBox box;
        for (UINT y = 0; y < level.height; ++y) {
            const uint32_t* row = level.texels + static_cast<size_t>(y) * level.pitch;
            for (UINT x = 0; x < level.width; ++x) {
                if (!level.hasAlpha || (row[x] >> 24) != 0)
                    box.Add(x, y);
            }
        }
        sofar = Union(sofar, Reach(box, level.width, level.height, marginU, marginV));
        area.m_cuts.push_back(sofar);
        ++area.m_levelCount;
    }
    // Levels past the last one a texture has are never sampled; past one that could not be read they may be.
    area.m_complete = area.m_levelCount == levels.size();
    return area;
}

std::shared_ptr<const VisibleArea> VisibleArea::OfTexture(IDirect3DTexture9* texture)
{
    if (!texture)
        return nullptr;
    const DWORD count = texture->GetLevelCount();
    std::vector<LevelTexels> levels;
    std::vector<UINT> locked;
    bool readable = count > 0;
    for (DWORD level = 0; level < count && readable; ++level) {
        D3DSURFACE_DESC desc{};
        D3DLOCKED_RECT rect{};
        readable = SUCCEEDED(texture->GetLevelDesc(level, &desc)) &&
                   (desc.Format == D3DFMT_A8R8G8B8 || desc.Format == D3DFMT_X8R8G8B8) &&
                   (desc.Pool == D3DPOOL_MANAGED || desc.Pool == D3DPOOL_SYSTEMMEM) &&
                   SUCCEEDED(texture->LockRect(level, &rect, nullptr, D3DLOCK_READONLY));
        if (!readable)
            break;
        locked.push_back(level);
        if (!rect.pBits || rect.Pitch < static_cast<INT>(desc.Width * 4)) {
            readable = false;
            break;
        }
        levels.push_back({desc.Width, desc.Height, static_cast<UINT>(rect.Pitch) / 4u,
                          static_cast<const uint32_t*>(rect.pBits), desc.Format == D3DFMT_A8R8G8B8});
    }
    std::shared_ptr<VisibleArea> area;
    if (readable)
        area = std::make_shared<VisibleArea>(FromLevels(levels));
    for (UINT level : locked)
        texture->UnlockRect(level);
    return area;
}

const VisibleArea::Rect& VisibleArea::Cut(int maxLevel) const
{
    if (m_levelCount == 0)
        return m_whole;
    maxLevel = std::max(maxLevel, 0);
    if (static_cast<size_t>(maxLevel) >= m_levelCount)
        return m_complete ? m_cuts[m_levelCount - 1] : m_whole;
    return m_cuts[static_cast<size_t>(maxLevel)];
}

int VisibleArea::MaxLevelSampled(float texelsPerPixel)
{
    if (!(texelsPerPixel > 0.0f) || !std::isfinite(texelsPerPixel))
        return INT_MAX;
    // ilogb is the whole part of the base-2 logarithm: the level of detail rounded down.
    return std::max(0, std::ilogb(texelsPerPixel) + 2);
}
