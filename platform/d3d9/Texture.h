#pragma once
// A 2D texture with its mip levels, each a Surface with its pixels in system memory. The back end
// uploads the levels lazily on the drawing thread whenever ChangeCount() moved on.

#include "d3d9/ResourceBase.h"

#include <memory>
#include <vector>

class Surface;

class Texture : public IDirect3DTexture9, public ResourceBase
{
public:
    // levels 0 gives the full chain down to 1x1. The device validates the arguments first.
    Texture(DeviceBase* device, UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool);
    ~Texture() override;

    // Levels of a full chain for a width x height texture: 256x64 has 9 (256x64 ... 1x1).
    static UINT FullChainLevels(UINT width, UINT height);

    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT GetDevice(IDirect3DDevice9** device) override;
    D3DRESOURCETYPE GetType() override { return D3DRTYPE_TEXTURE; }
    DWORD GetLevelCount() override { return static_cast<DWORD>(levels_.size()); }
    HRESULT GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) override;
    HRESULT GetSurfaceLevel(UINT level, IDirect3DSurface9** surface) override;
    HRESULT LockRect(UINT level, D3DLOCKED_RECT* lockedRect, const RECT* rect, DWORD flags) override;
    HRESULT UnlockRect(UINT level) override;

    UINT Width() const { return width_; }
    UINT Height() const { return height_; }
    D3DFORMAT Format() const { return format_; }
    DWORD Usage() const { return usage_; }
    bool IsRenderTarget() const { return (usage_ & D3DUSAGE_RENDERTARGET) != 0; }
    UINT LevelCount() const { return static_cast<UINT>(levels_.size()); }
    // A level's surface (no reference taken), or null past the last level.
    Surface* Level(UINT level) const;
    // True while any level is locked. Call with DataMutex() held.
    bool IsLocked() const override;
    // Set once a level is locked again after the back end dropped its copy: a texture rewritten or read while
    // in use keeps its copy from then on rather than have it read back at every lock. With DataMutex() held.
    bool KeepsCopy() const { return keepsCopy_; }
    void KeepCopy() { keepsCopy_ = true; }
    // Drops the copy of every level (see Surface::DropCopy) of a texture that may lose it: not a render
    // target, not dynamic, not kept, not locked. True when any went. With DataMutex() held.
    bool DropCopy();

private:
    UINT width_;
    UINT height_;
    D3DFORMAT format_;
    DWORD usage_;
    bool keepsCopy_ = false;
    std::vector<std::unique_ptr<Surface>> levels_;
};
