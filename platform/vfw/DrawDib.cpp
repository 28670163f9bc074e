// DrawDib: nearest-pixel stretching of a DIB into the DIB section of a memory DC, with format conversion.
#include "vfw/Vfw.h"
#include "win32/GdiObjects.h"

#include <algorithm>
#include <mutex>
#include <unordered_set>
#include <vector>

struct HDRAWDIB__ {
    std::vector<int> columns; // source byte offset for each destination column, kept between calls
};

namespace {

struct Handles {
    std::mutex mutex;
    std::unordered_set<HDRAWDIB> open;
};

Handles& DrawDibs()
{
    static Handles handles;
    return handles;
}

struct Rgb {
    uint8_t r, g, b;
};

template <int Bits>
Rgb ReadPixel(const uint8_t* p)
{
    if constexpr (Bits == 16) {
        const unsigned v = unsigned(p[0]) | (unsigned(p[1]) << 8);
        // Five bits widen to eight by repeating their top bits, so full intensity stays full.
        const auto widen = [](unsigned c) { return uint8_t((c << 3) | (c >> 2)); };
        return {widen((v >> 10) & 31), widen((v >> 5) & 31), widen(v & 31)};
    } else {
        return {p[2], p[1], p[0]};
    }
}

template <int Bits>
void WritePixel(uint8_t* p, Rgb c)
{
    if constexpr (Bits == 16) {
        const unsigned v = (unsigned(c.r >> 3) << 10) | (unsigned(c.g >> 3) << 5) | unsigned(c.b >> 3);
        p[0] = uint8_t(v);
        p[1] = uint8_t(v >> 8);
    } else {
        p[0] = c.b;
        p[1] = c.g;
        p[2] = c.r;
        if constexpr (Bits == 32)
            p[3] = 0;
    }
}

template <int SourceBits, int TargetBits>
void CopyRow(const uint8_t* source, uint8_t* target, const std::vector<int>& columns)
{
    for (int offset : columns) {
        WritePixel<TargetBits>(target, ReadPixel<SourceBits>(source + offset));
        target += TargetBits / 8;
    }
}

using RowCopy = void (*)(const uint8_t*, uint8_t*, const std::vector<int>&);

template <int SourceBits>
RowCopy PickCopy(int targetBits)
{
    switch (targetBits) {
    case 16:
        return CopyRow<SourceBits, 16>;
    case 24:
        return CopyRow<SourceBits, 24>;
    default:
        return CopyRow<SourceBits, 32>;
    }
}

RowCopy PickCopy(int sourceBits, int targetBits)
{
    switch (sourceBits) {
    case 16:
        return PickCopy<16>(targetBits);
    case 24:
        return PickCopy<24>(targetBits);
    default:
        return PickCopy<32>(targetBits);
    }
}

// The source index whose pixel covers the centre of target index i of n, for a span of m source pixels.
int Nearest(int i, int n, int m)
{
    return int((int64_t(2 * i + 1) * m) / (int64_t(2) * n));
}

} // namespace

HDRAWDIB DrawDibOpen()
{
    auto* handle = new HDRAWDIB__();
    Handles& h = DrawDibs();
    std::lock_guard lock(h.mutex);
    h.open.insert(handle);
    return handle;
}

BOOL DrawDibClose(HDRAWDIB drawDib)
{
    Handles& h = DrawDibs();
    std::lock_guard lock(h.mutex);
    if (h.open.erase(drawDib) == 0)
        return FALSE;
    delete drawDib;
    return TRUE;
}

BOOL DrawDibDraw(HDRAWDIB drawDib, HDC dc, int xDst, int yDst, int dxDst, int dyDst, LPBITMAPINFOHEADER header,
                 LPVOID bits, int xSrc, int ySrc, int dxSrc, int dySrc, UINT)
{
    {
        Handles& h = DrawDibs();
        std::lock_guard lock(h.mutex);
        if (!h.open.count(drawDib))
            return FALSE;
    }
    if (!header || header->biCompression != BI_RGB)
        return FALSE;
    const int sourceBits = header->biBitCount;
    if (sourceBits != 16 && sourceBits != 24 && sourceBits != 32)
        return FALSE;
    const int64_t sourceWidth = header->biWidth;
    const int64_t sourceHeight = header->biHeight < 0 ? -int64_t(header->biHeight) : header->biHeight;
    if (sourceWidth <= 0 || sourceHeight <= 0)
        return FALSE;
    if (dxDst <= 0 || dyDst <= 0 || dxSrc <= 0 || dySrc <= 0 || xSrc < 0 || ySrc < 0 ||
        int64_t(xSrc) + dxSrc > sourceWidth || int64_t(ySrc) + dySrc > sourceHeight)
        return FALSE;
    DibPixels target;
    if (!GetSelectedDib(dc, &target))
        return FALSE;
    // Without separate bits, the pixels follow the header and its colour table, as in a packed DIB.
    const uint8_t* source = bits ? static_cast<const uint8_t*>(bits)
                                 : reinterpret_cast<const uint8_t*>(header) + header->biSize + header->biClrUsed * 4;
    const int64_t sourceStride = ((sourceWidth * sourceBits + 31) / 32) * 4;
    const bool sourceBottomUp = header->biHeight > 0;

    const int x0 = std::max(xDst, 0);
    const int x1 = int(std::min<int64_t>(int64_t(xDst) + dxDst, target.width));
    const int y0 = std::max(yDst, 0);
    const int y1 = int(std::min<int64_t>(int64_t(yDst) + dyDst, target.height));
    if (x0 >= x1 || y0 >= y1)
        return TRUE;

    std::vector<int>& columns = drawDib->columns;
    columns.resize(size_t(x1 - x0));
    for (int x = x0; x < x1; ++x)
        columns[size_t(x - x0)] = (xSrc + Nearest(x - xDst, dxDst, dxSrc)) * (sourceBits / 8);

    const RowCopy copy = PickCopy(sourceBits, target.bitCount);
    for (int y = y0; y < y1; ++y) {
        const int64_t sourceRow = ySrc + Nearest(y - yDst, dyDst, dySrc);
        const int64_t storedSource = sourceBottomUp ? sourceHeight - 1 - sourceRow : sourceRow;
        const int storedTarget = target.bottomUp ? target.height - 1 - y : y;
        copy(source + storedSource * sourceStride,
             target.bits + int64_t(storedTarget) * target.stride + int64_t(x0) * (target.bitCount / 8), columns);
    }
    return TRUE;
}
