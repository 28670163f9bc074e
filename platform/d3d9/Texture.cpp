#include "d3d9/Texture.h"

#include "d3d9/DeviceBase.h"
#include "d3d9/Surface.h"

#include <algorithm>

Texture::Texture(DeviceBase* device, UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool)
    : ResourceBase(device, ResourceKind::TEXTURE, pool, pool == D3DPOOL_DEFAULT, true), width_(width), height_(height),
      format_(format), usage_(usage)
{
    const UINT count = levels == 0 ? FullChainLevels(width, height) : levels;
    levels_.reserve(count);
    UINT w = width;
    UINT h = height;
    for (UINT level = 0; level < count; ++level) {
        levels_.push_back(std::make_unique<Surface>(this, level, w, h, format, usage, pool));
        w = std::max(1u, w / 2);
        h = std::max(1u, h / 2);
    }
}

Texture::~Texture() = default;

UINT Texture::FullChainLevels(UINT width, UINT height)
{
    UINT levels = 1;
    UINT size = std::max(width, height);
    while (size > 1) {
        size /= 2;
        ++levels;
    }
    return levels;
}

ULONG Texture::AddRef()
{
    return AddExternalRef();
}

ULONG Texture::Release()
{
    return ReleaseExternalRef();
}

HRESULT Texture::GetDevice(IDirect3DDevice9** device)
{
    if (!device)
        return D3DERR_INVALIDCALL;
    *device = Device();
    Device()->AddRef();
    return D3D_OK;
}

Surface* Texture::Level(UINT level) const
{
    return level < levels_.size() ? levels_[level].get() : nullptr;
}

HRESULT Texture::GetLevelDesc(UINT level, D3DSURFACE_DESC* desc)
{
    if (!desc || level >= levels_.size())
        return D3DERR_INVALIDCALL;
    return levels_[level]->GetDesc(desc);
}

HRESULT Texture::GetSurfaceLevel(UINT level, IDirect3DSurface9** surface)
{
    if (!surface)
        return D3DERR_INVALIDCALL;
    *surface = nullptr;
    if (level >= levels_.size())
        return D3DERR_INVALIDCALL;
    *surface = levels_[level].get();
    AddRef(); // the level shares the texture's count
    return D3D_OK;
}

HRESULT Texture::LockRect(UINT level, D3DLOCKED_RECT* lockedRect, const RECT* rect, DWORD flags)
{
    if (lockedRect) {
        lockedRect->Pitch = 0;
        lockedRect->pBits = nullptr;
    }
    if (level >= levels_.size())
        return D3DERR_INVALIDCALL;
    return levels_[level]->LockRect(lockedRect, rect, flags);
}

HRESULT Texture::UnlockRect(UINT level)
{
    if (level >= levels_.size())
        return D3DERR_INVALIDCALL;
    return levels_[level]->UnlockRect();
}

bool Texture::IsLocked() const
{
    for (const auto& level : levels_) {
        if (level->IsLocked())
            return true;
    }
    return false;
}

bool Texture::DropCopy()
{
    if (keepsCopy_ || IsRenderTarget() || (usage_ & D3DUSAGE_DYNAMIC) || IsLocked())
        return false;
    bool dropped = false;
    for (const auto& level : levels_)
        dropped = level->DropCopy() || dropped;
    return dropped;
}
