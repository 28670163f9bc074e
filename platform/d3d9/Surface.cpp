#include "d3d9/Surface.h"

#include "d3d9/DeviceBase.h"
#include "d3d9/PixelFormat.h"
#include "d3d9/Texture.h"

#include <new>

Surface::Surface(DeviceBase* device, UINT width, UINT height, D3DFORMAT format, DWORD usage, D3DPOOL pool,
                 bool deviceOwned, bool backBuffer)
    : ResourceBase(device, ResourceKind::SURFACE, pool, !deviceOwned && pool == D3DPOOL_DEFAULT, !deviceOwned),
      width_(width), height_(height), format_(format), usage_(usage), backBuffer_(backBuffer)
{
    const UINT size = PixelFormat::BytesPerPixel(format);
    pitch_ = static_cast<INT>(width * size);
    byteCount_ = static_cast<size_t>(width) * height * size;
    if (!IsRenderTarget()) {
        pixels_.assign(byteCount_, 0);
        CountSystemCopy(static_cast<ptrdiff_t>(byteCount_));
    }
}

Surface::Surface(Texture* texture, UINT level, UINT width, UINT height, D3DFORMAT format, DWORD usage, D3DPOOL pool)
    : ResourceBase(texture->Device(), ResourceKind::SURFACE, pool, false, false), container_(texture), level_(level),
      width_(width), height_(height), format_(format), usage_(usage)
{
    ShareDataWith(texture);
    const UINT size = PixelFormat::BytesPerPixel(format);
    pitch_ = static_cast<INT>(width * size);
    byteCount_ = static_cast<size_t>(width) * height * size;
    if (!IsRenderTarget()) {
        pixels_.assign(byteCount_, 0);
        CountSystemCopy(static_cast<ptrdiff_t>(byteCount_));
    }
}

uint8_t* Surface::MakeBits()
{
    if (pixels_.empty() && byteCount_ > 0) {
        try {
            pixels_.assign(byteCount_, 0);
            CountSystemCopy(static_cast<ptrdiff_t>(byteCount_));
        } catch (const std::bad_alloc&) {
            return nullptr; // the lock or read fails; the surface stays usable on the GPU
        }
    }
    return Bits();
}

Surface::~Surface()
{
    CountSystemCopy(-static_cast<ptrdiff_t>(pixels_.size()));
}

bool Surface::DropCopy()
{
    if (locked_ || pixels_.empty())
        return false;
    CountSystemCopy(-static_cast<ptrdiff_t>(pixels_.size()));
    std::vector<uint8_t>().swap(pixels_);
    copyDropped_ = true;
    return true;
}

bool Surface::AdoptCopy(std::vector<uint8_t>&& bytes)
{
    if (!copyDropped_ || bytes.size() != byteCount_)
        return false;
    pixels_ = std::move(bytes);
    CountSystemCopy(static_cast<ptrdiff_t>(pixels_.size()));
    copyDropped_ = false;
    return true;
}

ULONG Surface::AddRef()
{
    return AddExternalRef(); // a level's go to its texture
}

ULONG Surface::Release()
{
    return ReleaseExternalRef();
}

HRESULT Surface::GetDevice(IDirect3DDevice9** device)
{
    if (!device)
        return D3DERR_INVALIDCALL;
    *device = Device();
    Device()->AddRef();
    return D3D_OK;
}

HRESULT Surface::GetDesc(D3DSURFACE_DESC* desc)
{
    if (!desc)
        return D3DERR_INVALIDCALL;
    desc->Format = format_;
    desc->Type = D3DRTYPE_SURFACE;
    desc->Usage = usage_;
    desc->Pool = Pool();
    desc->MultiSampleType = D3DMULTISAMPLE_NONE;
    desc->MultiSampleQuality = 0;
    desc->Width = width_;
    desc->Height = height_;
    return D3D_OK;
}

HRESULT Surface::LockRect(D3DLOCKED_RECT* lockedRect, const RECT* rect, DWORD flags)
{
    if (!lockedRect)
        return D3DERR_INVALIDCALL;
    lockedRect->Pitch = 0;
    lockedRect->pBits = nullptr;
    if (byteCount_ == 0)
        return D3DERR_INVALIDCALL; // depth surfaces keep no pixels
    RECT area{0, 0, static_cast<LONG>(width_), static_cast<LONG>(height_)};
    if (rect) {
        if (rect->left < 0 || rect->top < 0 || rect->left >= rect->right || rect->top >= rect->bottom ||
            rect->right > area.right || rect->bottom > area.bottom)
            return D3DERR_INVALIDCALL;
        area = *rect;
    }
    // What was drawn into a render target lives with the back end until it is read back.
    if (IsRenderTarget()) {
        {
            std::lock_guard<std::mutex> guard(DataMutex());
            if (locked_)
                return D3DERR_INVALIDCALL;
        }
        const HRESULT hr = Device()->ReadBackSurface(this);
        if (FAILED(hr))
            return hr;
    }
    // A level whose copy the back end dropped gets its bytes back first, whatever the flags: a lock that
    // writes part of the level must not leave the rest of the copy blank. The back end keeps the copy of a
    // texture locked again, so the second pass finds it (unless it failed).
    for (int pass = 0;; ++pass) {
        {
            std::lock_guard<std::mutex> guard(DataMutex());
            if (locked_)
                return D3DERR_INVALIDCALL;
            if (!copyDropped_) {
                if (!MakeBits())
                    return D3DERR_INVALIDCALL;
                locked_ = true;
                lockFlags_ = flags;
                lockedRect->Pitch = pitch_;
                lockedRect->pBits = pixels_.data() + static_cast<size_t>(area.top) * static_cast<size_t>(pitch_) +
                                    static_cast<size_t>(area.left) * PixelFormat::BytesPerPixel(format_);
                return D3D_OK;
            }
        }
        if (pass > 0)
            return D3DERR_INVALIDCALL;
        const HRESULT hr = Device()->RestoreSystemCopy(this);
        if (FAILED(hr))
            return hr;
    }
}

HRESULT Surface::UnlockRect()
{
    std::lock_guard<std::mutex> guard(DataMutex());
    if (!locked_)
        return D3DERR_INVALIDCALL;
    locked_ = false;
    if (!(lockFlags_ & D3DLOCK_READONLY))
        MarkChanged();
    return D3D_OK;
}
