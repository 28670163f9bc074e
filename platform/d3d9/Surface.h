#pragma once
// A surface: the back buffer, the automatic depth surface, a render target or depth surface made by the
// device, or one level of a texture. Colour surfaces keep their pixels in system memory (top-down rows,
// D3D byte order); depth surfaces keep nothing. A back end may drop a texture level's copy once it holds
// the same bytes itself; a later lock has them read back first. A texture level shares its texture's reference count,
// lock and change counter, so holding a level keeps the texture alive.

#include "d3d9/ResourceBase.h"

#include <vector>

class Texture;

class Surface : public IDirect3DSurface9, public ResourceBase
{
public:
    // A surface of its own. deviceOwned: the back buffer or the automatic depth surface, which the
    // device holds through an internal reference and which never count toward Reset.
    Surface(DeviceBase* device, UINT width, UINT height, D3DFORMAT format, DWORD usage, D3DPOOL pool, bool deviceOwned,
            bool backBuffer);
    // One level of a texture; the texture owns the object.
    Surface(Texture* texture, UINT level, UINT width, UINT height, D3DFORMAT format, DWORD usage, D3DPOOL pool);
    ~Surface() override;

    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT GetDevice(IDirect3DDevice9** device) override;
    D3DRESOURCETYPE GetType() override { return D3DRTYPE_SURFACE; }
    HRESULT GetDesc(D3DSURFACE_DESC* desc) override;
    HRESULT LockRect(D3DLOCKED_RECT* lockedRect, const RECT* rect, DWORD flags) override;
    HRESULT UnlockRect() override;

    UINT Width() const { return width_; }
    UINT Height() const { return height_; }
    D3DFORMAT Format() const { return format_; }
    DWORD Usage() const { return usage_; }
    bool IsRenderTarget() const { return (usage_ & D3DUSAGE_RENDERTARGET) != 0; }
    bool IsDepthStencil() const { return (usage_ & D3DUSAGE_DEPTHSTENCIL) != 0; }
    bool IsBackBuffer() const { return backBuffer_; }
    // The texture this surface is a level of, or null.
    Texture* Container() const { return container_; }
    UINT Level() const { return level_; }

    // The system-memory pixels (null for depth surfaces, and for a render target that nobody has locked or
    // read yet). Read or write with DataMutex() held, or from the drawing thread's back-end hooks, which the
    // core calls with nothing locked.
    uint8_t* Bits() { return pixels_.empty() ? nullptr : pixels_.data(); }
    // The same, made (zero-filled) first if this is a render target without them yet. What is drawn into a
    // render target lives with the back end, so its memory copy is only needed once someone looks.
    uint8_t* MakeBits();
    INT Pitch() const { return pitch_; }
    size_t ByteCount() const { return byteCount_; }
    bool IsLocked() const override { return locked_; }

    // The back end's side of dropping the copy, each with DataMutex() held. DropCopy frees the pixels of an
    // unlocked level, whose bytes the back end keeps from then on (false when it kept them: locked, nothing
    // to drop). IsCopyDropped: Bits() is null because the back end has the bytes. AdoptCopy hands back the
    // bytes read from the back end (exactly ByteCount() of them); false when they do not fit.
    bool DropCopy();
    bool IsCopyDropped() const { return copyDropped_; }
    bool AdoptCopy(std::vector<uint8_t>&& bytes);

private:
    Texture* container_ = nullptr;
    UINT level_ = 0;
    UINT width_;
    UINT height_;
    D3DFORMAT format_;
    DWORD usage_;
    bool backBuffer_ = false;
    bool locked_ = false;
    bool copyDropped_ = false;
    DWORD lockFlags_ = 0;
    INT pitch_ = 0;
    size_t byteCount_ = 0;
    std::vector<uint8_t> pixels_;
};
