// Textures from image files, empty textures, and saving surfaces and textures to image files.

#include "d3d9/PixelFormat.h"
#include "d3d9/Texture.h"
#include "d3dx9/D3DX9Core.h"
#include "d3dx9/Image.h"
#include "d3dx9/ImageLoader.h"
#include "d3dx9/ImageWriter.h"
#include "win32/Log.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <set>
#include <string>

namespace {

// Sizes and level counts at or above this value mean "take it from the file".
constexpr UINT D3DX_FROM_FILE = static_cast<UINT>(-3);
constexpr UINT D3DX_DEFAULT_TEXTURE_SIZE = 256;
constexpr UINT TGA_MAX_DIMENSION = 0xFFFF;

bool IsDefault(UINT value)
{
    return value == 0 || value >= D3DX_FROM_FILE;
}

// A file that cannot be read is asked for by every button, unit or frame that shows it: its fault is said once
// (a file mended meanwhile, and failing in another way, is said again).
void ReportUnreadable(const std::string& message)
{
    static std::mutex lock;
    static std::set<std::string> said;
    {
        std::lock_guard<std::mutex> guard(lock);
        if (!said.insert(message).second)
            return;
    }
    Log(LogLevel::WARNING, "texture.unreadable", message);
}

void ReleaseAndClear(IDirect3DTexture9*& texture)
{
    if (texture)
        texture->Release();
    texture = nullptr;
}

// Writes one image into a level of the texture, converted to the level's format (32-bit formats only).
HRESULT UploadLevel(IDirect3DTexture9* texture, UINT level, const Image& image, D3DFORMAT format)
{
    D3DLOCKED_RECT locked{};
    HRESULT hr = texture->LockRect(level, &locked, nullptr, 0);
    if (FAILED(hr))
        return hr;
    if (!locked.pBits || locked.Pitch < static_cast<INT>(image.Pitch())) {
        texture->UnlockRect(level);
        return D3DERR_INVALIDCALL;
    }
    auto* bits = static_cast<uint8_t*>(locked.pBits);
    for (uint32_t y = 0; y < image.Height(); ++y) {
        uint8_t* row = bits + static_cast<size_t>(y) * static_cast<size_t>(locked.Pitch);
        std::memcpy(row, image.Row(y), image.Pitch());
        if (format == D3DFMT_X8R8G8B8)
            for (uint32_t x = 0; x < image.Width(); ++x)
                row[x * 4 + 3] = 0xFF;
    }
    return texture->UnlockRect(level);
}

bool HasAlpha(D3DFORMAT format)
{
    return format == D3DFMT_A8R8G8B8 || format == D3DFMT_A8B8G8R8 || format == D3DFMT_A1R5G5B5 ||
           format == D3DFMT_A4R4G4B4 || format == D3DFMT_A8;
}

} // namespace

HRESULT D3DXCreateTextureFromFileA(IDirect3DDevice9* device, LPCSTR srcFile, IDirect3DTexture9** texture)
{
    return D3DXCreateTextureFromFileExA(device, srcFile, D3DX_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT, 0, D3DFMT_UNKNOWN,
                                        D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, 0, nullptr, nullptr, texture);
}

HRESULT D3DXCreateTextureFromFileExA(IDirect3DDevice9* device, LPCSTR srcFile, UINT width, UINT height, UINT mipLevels,
                                     DWORD usage, D3DFORMAT format, D3DPOOL pool, DWORD /*filter*/, DWORD /*mipFilter*/,
                                     D3DCOLOR colorKey, D3DXIMAGE_INFO* srcInfo, PALETTEENTRY* /*palette*/,
                                     IDirect3DTexture9** texture)
{
    if (texture)
        *texture = nullptr;
    if (srcInfo)
        *srcInfo = D3DXIMAGE_INFO{};
    if (!device || !srcFile || !texture)
        return D3DERR_INVALIDCALL;

    ImageLoader::Result loaded;
    if (!ImageLoader::Load(srcFile, loaded)) {
        ReportUnreadable(std::string(srcFile) + ": " + loaded.error);
        return D3DXERR_INVALIDDATA;
    }

    Image image = std::move(loaded.image);
    const UINT targetWidth = IsDefault(width) ? image.Width() : width;
    const UINT targetHeight = IsDefault(height) ? image.Height() : height;
    if (!ImageLoader::SizeAllowed(targetWidth, targetHeight))
        return D3DERR_INVALIDCALL;
    if (targetWidth != image.Width() || targetHeight != image.Height())
        image = image.Resized(targetWidth, targetHeight);
    if (colorKey != 0)
        image.ApplyColorKey(colorKey);

    const UINT fullChain = Texture::FullChainLevels(targetWidth, targetHeight);
    UINT levels = fullChain;
    if (mipLevels == D3DX_FROM_FILE)
        levels = 1;
    else if (!IsDefault(mipLevels))
        levels = std::min(mipLevels, fullChain);
    // Loaded pixels are 8 bits a channel; a request for another layout gets the nearest we hold.
    const D3DFORMAT textureFormat = format == D3DFMT_X8R8G8B8 ? D3DFMT_X8R8G8B8 : D3DFMT_A8R8G8B8;

    IDirect3DTexture9* created = nullptr;
    HRESULT hr =
        device->CreateTexture(targetWidth, targetHeight, levels, usage, textureFormat, pool, &created, nullptr);
    if (FAILED(hr) || !created)
        return FAILED(hr) ? hr : D3DERR_INVALIDCALL;

    const UINT createdLevels = created->GetLevelCount();
    for (UINT level = 0; level < createdLevels; ++level) {
        if (level > 0)
            image = image.HalfSize();
        hr = UploadLevel(created, level, image, textureFormat);
        if (FAILED(hr)) {
            ReleaseAndClear(created);
            return hr;
        }
    }

    if (srcInfo)
        *srcInfo = loaded.info;
    *texture = created;
    return D3D_OK;
}

HRESULT D3DXCreateTexture(IDirect3DDevice9* device, UINT width, UINT height, UINT mipLevels, DWORD usage,
                          D3DFORMAT format, D3DPOOL pool, IDirect3DTexture9** texture)
{
    if (texture)
        *texture = nullptr;
    if (!device || !texture)
        return D3DERR_INVALIDCALL;
    // A size left to us follows the other one, or is 256 when both are left.
    if (IsDefault(width) && IsDefault(height))
        width = height = D3DX_DEFAULT_TEXTURE_SIZE;
    else if (IsDefault(width))
        width = height;
    else if (IsDefault(height))
        height = width;
    const UINT levels = IsDefault(mipLevels) ? 0 : mipLevels; // 0 asks the device for the full chain
    if (format == D3DFMT_UNKNOWN)
        format = D3DFMT_A8R8G8B8;
    return device->CreateTexture(width, height, levels, usage, format, pool, texture, nullptr);
}

HRESULT D3DXSaveSurfaceToFileA(LPCSTR destFile, D3DXIMAGE_FILEFORMAT destFormat, IDirect3DSurface9* srcSurface,
                               const PALETTEENTRY* /*srcPalette*/, const RECT* srcRect)
{
    if (!destFile || !srcSurface)
        return D3DERR_INVALIDCALL;
    if (destFormat != D3DXIFF_BMP && destFormat != D3DXIFF_TGA && destFormat != D3DXIFF_PNG)
        return D3DERR_INVALIDCALL;

    D3DSURFACE_DESC desc{};
    HRESULT hr = srcSurface->GetDesc(&desc);
    if (FAILED(hr))
        return hr;
    const UINT bytesPerPixel = PixelFormat::BytesPerPixel(desc.Format);
    if (bytesPerPixel == 0)
        return D3DERR_INVALIDCALL;

    RECT area{0, 0, static_cast<LONG>(desc.Width), static_cast<LONG>(desc.Height)};
    if (srcRect) {
        if (srcRect->left < 0 || srcRect->top < 0 || srcRect->left >= srcRect->right ||
            srcRect->top >= srcRect->bottom || srcRect->right > area.right || srcRect->bottom > area.bottom)
            return D3DERR_INVALIDCALL;
        area = *srcRect;
    }
    const uint32_t width = static_cast<uint32_t>(area.right - area.left);
    const uint32_t height = static_cast<uint32_t>(area.bottom - area.top);
    if (width == 0 || height == 0)
        return D3DERR_INVALIDCALL;
    if (destFormat == D3DXIFF_TGA && (width > TGA_MAX_DIMENSION || height > TGA_MAX_DIMENSION))
        return D3DERR_INVALIDCALL;

    // The whole surface is locked and the area picked out here, so any surface that locks can be saved.
    D3DLOCKED_RECT locked{};
    hr = srcSurface->LockRect(&locked, nullptr, D3DLOCK_READONLY);
    if (FAILED(hr))
        return hr;
    if (!locked.pBits || locked.Pitch < static_cast<INT>(desc.Width * bytesPerPixel)) {
        srcSurface->UnlockRect();
        return D3DERR_INVALIDCALL;
    }
    Image image(width, height);
    const auto* bits = static_cast<const uint8_t*>(locked.pBits);
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t* row = bits + static_cast<size_t>(area.top + y) * static_cast<size_t>(locked.Pitch);
        for (uint32_t x = 0; x < width; ++x) {
            const D3DCOLOR color =
                PixelFormat::DecodeColor(row + static_cast<size_t>(area.left + x) * bytesPerPixel, desc.Format);
            uint8_t* bgra = image.Pixel(x, y);
            bgra[0] = static_cast<uint8_t>(color);
            bgra[1] = static_cast<uint8_t>(color >> 8);
            bgra[2] = static_cast<uint8_t>(color >> 16);
            bgra[3] = static_cast<uint8_t>(color >> 24);
        }
    }
    srcSurface->UnlockRect();

    std::vector<uint8_t> bytes;
    if (destFormat == D3DXIFF_BMP)
        bytes = ImageWriter::EncodeBmp(image);
    else if (destFormat == D3DXIFF_TGA)
        bytes = ImageWriter::EncodeTga(image, HasAlpha(desc.Format));
    else
        bytes = ImageWriter::EncodePng(image, HasAlpha(desc.Format));
    if (bytes.empty())
        return E_FAIL;
    return ImageWriter::WriteFile(destFile, bytes) ? D3D_OK : E_FAIL;
}

HRESULT D3DXSaveTextureToFileA(LPCSTR destFile, D3DXIMAGE_FILEFORMAT destFormat, IDirect3DBaseTexture9* srcTexture,
                               const PALETTEENTRY* srcPalette)
{
    if (!destFile || !srcTexture || srcTexture->GetType() != D3DRTYPE_TEXTURE)
        return D3DERR_INVALIDCALL;
    IDirect3DSurface9* surface = nullptr;
    HRESULT hr = static_cast<IDirect3DTexture9*>(srcTexture)->GetSurfaceLevel(0, &surface);
    if (FAILED(hr) || !surface)
        return FAILED(hr) ? hr : D3DERR_INVALIDCALL;
    hr = D3DXSaveSurfaceToFileA(destFile, destFormat, surface, srcPalette, nullptr);
    surface->Release();
    return hr;
}
