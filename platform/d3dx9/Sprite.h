#pragma once
// Platform-internal: the sprite. Draw queues screen-space quads (pre-transformed XYZRHW | DIFFUSE | TEX1
// vertices in back-buffer pixels, after the sprite's 2-D transform); Flush and End draw the queue with
// one indexed draw per run of quads that share a texture, sorted by texture when Begin asked for it.

#include "d3dx9/D3DX9Core.h"
#include "d3dx9/DeviceStateSnapshot.h"
#include "win32/ComObject.h"

#include <atomic>
#include <cstdint>
#include <vector>

class Sprite : public ComObject<ID3DXSprite>
{
public:
    explicit Sprite(IDirect3DDevice9* device);

    HRESULT GetDevice(IDirect3DDevice9** device) override;
    HRESULT GetTransform(D3DXMATRIX* transform) override;
    HRESULT SetTransform(const D3DXMATRIX* transform) override;
    HRESULT Begin(DWORD flags) override;
    HRESULT Draw(IDirect3DTexture9* texture, const RECT* srcRect, const D3DXVECTOR3* center,
                 const D3DXVECTOR3* position, D3DCOLOR color) override;
    HRESULT Flush() override;
    HRESULT End() override;
    HRESULT OnLostDevice() override;
    HRESULT OnResetDevice() override;

    // Queues the srcRect part of the texture (texel units) with its top-left corner at (x, y) in the
    // sprite's space, before the transform: what Draw does without a centre, used by the font.
    HRESULT DrawRect(IDirect3DTexture9* texture, const RECT& srcRect, float x, float y, D3DCOLOR color);
    bool InBatch() const { return begun_; }

protected:
    ~Sprite() override;

private:
    struct Vertex {
        float x, y, z, rhw;
        D3DCOLOR color;
        float u, v;
    };
    struct Quad {
        IDirect3DTexture9* texture; // referenced while queued
        Vertex corners[4]; // top-left, top-right, bottom-left, bottom-right
    };

    void ApplyStates();
    void DrawRun(size_t first, size_t count);

    IDirect3DDevice9* device_;
    float transform_[16];
    bool begun_ = false;
    bool lost_ = false; // told of a lost device and not yet of its reset
    DWORD flags_ = 0;
    std::vector<Quad> quads_;
    std::vector<Vertex> vertices_; // reused between flushes
    std::vector<uint16_t> indices_;
    DeviceStateSnapshot saved_;
};
