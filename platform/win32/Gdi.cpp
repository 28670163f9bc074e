// Memory DCs and DIB sections. Every handle handed out is recorded, so a stale or foreign handle is refused
// instead of followed.
#include "win32/GdiObjects.h"

#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <unordered_map>
#include <vector>

struct HBITMAP__ {
    DibPixels pixels;
    std::unique_ptr<uint8_t[]> storage;
    HDC selectedInto = nullptr;
};

struct HDC__ {
    // A fresh memory DC holds a placeholder bitmap, which SelectObject hands back to be selected again.
    HBITMAP bitmap = nullptr;
};

namespace {

// Stands for the one-pixel monochrome bitmap a new memory DC starts with; never deleted.
HBITMAP__ g_defaultBitmap;

// A DIB section is never larger than this; bigger requests fail like an out-of-memory GDI.
constexpr size_t MAX_DIB_BYTES = size_t(256) << 20;

struct Registry {
    std::mutex mutex;
    std::unordered_map<HDC, std::unique_ptr<HDC__>> dcs;
    std::unordered_map<HBITMAP, std::unique_ptr<HBITMAP__>> bitmaps;
};

Registry& Objects()
{
    static Registry registry;
    return registry;
}

} // namespace

HDC CreateCompatibleDC(HDC)
{
    auto dc = std::make_unique<HDC__>();
    dc->bitmap = &g_defaultBitmap;
    HDC handle = dc.get();
    Registry& r = Objects();
    std::lock_guard lock(r.mutex);
    r.dcs.emplace(handle, std::move(dc));
    return handle;
}

BOOL DeleteDC(HDC dc)
{
    Registry& r = Objects();
    std::lock_guard lock(r.mutex);
    auto it = r.dcs.find(dc);
    if (it == r.dcs.end())
        return FALSE;
    if (it->second->bitmap && it->second->bitmap != &g_defaultBitmap)
        it->second->bitmap->selectedInto = nullptr;
    r.dcs.erase(it);
    return TRUE;
}

HBITMAP CreateDIBSection(HDC, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section, DWORD offset)
{
    if (bits)
        *bits = nullptr;
    if (!info || usage != DIB_RGB_COLORS || section || offset != 0)
        return nullptr;
    const BITMAPINFOHEADER& h = info->bmiHeader;
    if (h.biSize < sizeof(BITMAPINFOHEADER) || h.biPlanes != 1 || h.biCompression != BI_RGB)
        return nullptr;
    if (h.biBitCount != 16 && h.biBitCount != 24 && h.biBitCount != 32)
        return nullptr;
    if (h.biWidth <= 0 || h.biHeight == 0 || h.biHeight == INT32_MIN)
        return nullptr;
    const int64_t width = h.biWidth;
    const int64_t height = h.biHeight < 0 ? -int64_t(h.biHeight) : h.biHeight;
    const int64_t stride = ((width * h.biBitCount + 31) / 32) * 4;
    if (stride * height > int64_t(MAX_DIB_BYTES))
        return nullptr;

    auto bitmap = std::make_unique<HBITMAP__>();
    const size_t bytes = size_t(stride * height);
    bitmap->storage.reset(new (std::nothrow) uint8_t[bytes]);
    if (!bitmap->storage)
        return nullptr;
    // A new DIB section is black, as GDI's zero-filled section memory is.
    std::memset(bitmap->storage.get(), 0, bytes);
    bitmap->pixels.bits = bitmap->storage.get();
    bitmap->pixels.width = int(width);
    bitmap->pixels.height = int(height);
    bitmap->pixels.bitCount = h.biBitCount;
    bitmap->pixels.stride = int(stride);
    bitmap->pixels.bottomUp = h.biHeight > 0;

    HBITMAP handle = bitmap.get();
    Registry& r = Objects();
    std::lock_guard lock(r.mutex);
    r.bitmaps.emplace(handle, std::move(bitmap));
    if (bits)
        *bits = handle->pixels.bits;
    return handle;
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object)
{
    Registry& r = Objects();
    std::lock_guard lock(r.mutex);
    auto d = r.dcs.find(dc);
    if (d == r.dcs.end())
        return nullptr;
    HBITMAP bitmap = static_cast<HBITMAP>(object);
    if (bitmap != &g_defaultBitmap) {
        auto b = r.bitmaps.find(bitmap);
        if (b == r.bitmaps.end())
            return nullptr;
        // A bitmap lives in one DC at a time.
        if (bitmap->selectedInto && bitmap->selectedInto != dc)
            return nullptr;
    }
    HBITMAP previous = d->second->bitmap;
    if (previous != &g_defaultBitmap)
        previous->selectedInto = nullptr;
    d->second->bitmap = bitmap;
    if (bitmap != &g_defaultBitmap)
        bitmap->selectedInto = dc;
    return previous;
}

BOOL DeleteObject(HGDIOBJ object)
{
    Registry& r = Objects();
    std::lock_guard lock(r.mutex);
    auto it = r.bitmaps.find(static_cast<HBITMAP>(object));
    if (it == r.bitmaps.end() || it->second->selectedInto)
        return FALSE;
    r.bitmaps.erase(it);
    return TRUE;
}

bool GetSelectedDib(HDC dc, DibPixels* pixels)
{
    if (!pixels)
        return false;
    Registry& r = Objects();
    std::lock_guard lock(r.mutex);
    auto d = r.dcs.find(dc);
    if (d == r.dcs.end() || d->second->bitmap == &g_defaultBitmap)
        return false;
    *pixels = d->second->bitmap->pixels;
    return true;
}
