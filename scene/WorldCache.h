#pragma once
// A picture of the world kept while nothing in it changes: the colour, depth and stencil that drawing the still
// part of the scene (sky, ground, statics) left, with the device states it left. While the view stays the same
// a frame copies the picture onto its target instead of drawing the world again, and draws only what moves
// over it. Without a GPU each layer of the world costs about as much as a whole bare frame; the copy costs
// about as much as a clear.

#include "core/DeviceResource.h"
#include "d3d9/D3D9.h"
#include "d3dx9/D3DX9Math.h"

#include <array>
#include <cstdint>
#include <vector>

class WorldCache : public DeviceResource
{
public:
    // Everything the kept picture was drawn from. Pictures drawn from equal views are the same.
    struct View {
        D3DXMATRIX view{};
        D3DXMATRIX projection{};
        UINT width = 0;
        UINT height = 0;
        float skyValue = 0.0f;
        bool skyShown = false;
        // The level on show and the count of its changes.
        const void* level = nullptr;
        unsigned levelRevision = 0;
        // The decals lying on the ground, in their drawing order: each one's identity, texture, count of
        // layings and turn.
        struct DecalLook {
            const void* decal = nullptr;
            const void* texture = nullptr;
            unsigned layings = 0;
            float rotation = 0.0f;
            bool operator==(const DecalLook& other) const = default;
        };
        std::vector<DecalLook> decals;

        // Bit for bit: a matrix that moved by the least amount draws another picture.
        bool operator==(const View& other) const;
        // Equal but maybe for the sky's value.
        bool SameButTheSky(const View& other) const;
        bool operator!=(const View& other) const { return !(*this == other); }
    };

    // Bit for bit, as View compares them.
    static bool SameMatrix(const D3DXMATRIX& a, const D3DXMATRIX& b);

    WorldCache() = default;
    ~WorldCache() override;
    WorldCache(const WorldCache&) = delete;
    WorldCache& operator=(const WorldCache&) = delete;

    // Whether the kept picture was drawn from this view.
    bool IsCurrent(const View& view) const { return m_valid && m_view == view; }
    // Sends the drawing into the kept picture's own target (cleared as the frame's target would be), to draw the
    // world of this view into it. False when the device cannot keep a picture; the caller then draws as usual.
    bool BeginPicture(IDirect3DDevice9* device, const View& view, D3DCOLOR clearColour, float clearDepth);
    // Sends the drawing into the kept picture for a view that differs from the kept one only inside rect (rows
    // from the top): the picture is cleared there as BeginPicture clears it, and the drawing keeps to the
    // rectangle by the scissor test until EndPicture. False (nothing changed) without a picture to draw into.
    bool BeginPart(IDirect3DDevice9* device, const View& view, const RECT& rect, D3DCOLOR clearColour,
                   float clearDepth);
    // The world is drawn: the device states are kept with the picture and the drawing returns to the target
    // BeginPicture or BeginPart found.
    void EndPicture(IDirect3DDevice9* device);
    // The kept picture is that of this view too (it differs from the kept one in nothing the picture shows).
    void TakeView(const View& view);
    const View& KeptView() const { return m_view; }
    // Copies the kept picture onto the current target and depth surface and puts back the device states the
    // world's drawing left, as if it had just been drawn there. False (and nothing changed) without a picture.
    bool Show(IDirect3DDevice9* device, bool restoreStates);
    // Forgets the picture (the next frame draws it again).
    void Invalidate();
    // Forgets the picture and gives back its surfaces, for a while without pictures to keep.
    void Release();

    void OnLostDevice() override;
    void OnResetDevice() override { }

    bool IsValid() const { return m_valid; }
    // How many pictures have been drawn (a frame that shows a picture drawn in an earlier frame adds none).
    unsigned PicturesDrawn() const { return m_pictures; }
    // Whether the picture's surfaces are held.
    bool HoldsSurfaces() const { return m_colour || m_depth; }

private:
    // Sends the drawing into the picture's surfaces, keeping the target and depth surface found (references taken
    // by the caller) for EndPicture.
    void DrawIntoPicture(IDirect3DDevice9* device, IDirect3DSurface9* target, IDirect3DSurface9* depth);
    bool MakeSurfaces(IDirect3DDevice9* device, const D3DSURFACE_DESC& colour, const D3DSURFACE_DESC& depth);
    void ReleaseSurfaces();
    void CaptureStates(IDirect3DDevice9* device);
    void ApplyStates(IDirect3DDevice9* device) const;
    void ReleaseStates();

    static constexpr DWORD STAGES = 8;
    static constexpr int TRANSFORMS = 3;

    IDirect3DSurface9* m_colour = nullptr;
    IDirect3DSurface9* m_depth = nullptr;
    // The target and depth surface BeginPicture found, until EndPicture gives them back.
    IDirect3DSurface9* m_savedTarget = nullptr;
    IDirect3DSurface9* m_savedDepth = nullptr;
    View m_view;
    bool m_valid = false;
    // While a part is drawn: the scissor test and rectangle it found.
    bool m_part = false;
    DWORD m_savedScissorTest = FALSE;
    RECT m_savedScissor{};
    unsigned m_pictures = 0;

    // The device states the world's drawing left; a state the device does not know is left out.
    std::vector<std::pair<D3DRENDERSTATETYPE, DWORD>> m_renderStates;
    std::vector<std::pair<std::pair<DWORD, D3DTEXTURESTAGESTATETYPE>, DWORD>> m_stageStates;
    std::vector<std::pair<std::pair<DWORD, D3DSAMPLERSTATETYPE>, DWORD>> m_samplerStates;
    std::array<IDirect3DBaseTexture9*, STAGES> m_textures{};
    std::array<D3DMATRIX, TRANSFORMS> m_transforms{};
    D3DVIEWPORT9 m_viewport{};
    DWORD m_fvf = 0;
    IShaderProgram* m_program = nullptr;
    IDirect3DVertexBuffer9* m_stream = nullptr;
    UINT m_streamOffset = 0;
    UINT m_streamStride = 0;
    IDirect3DIndexBuffer9* m_indices = nullptr;
};
