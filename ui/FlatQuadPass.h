#pragma once

#include "core/ScreenVertex.h"
#include "d3d9/D3D9.h"

#include <vector>

class GuiElement;
class GuiButton;
class TextureCoverage;

// Draws interface quads the cheapest way that shows them unchanged, and puts the device's states back when it
// goes. An interface quad lies flat on the overlay at its own place, so it needs no depth test, no mip level
// and no texel from beyond its picture's edge; a quad drawn at exactly its picture's size, on whole pixels,
// shows each texel on one pixel, which point sampling gives as well as filtering does; and a quad faded out
// altogether shows nothing.
class FlatQuadPass
{
public:
    explicit FlatQuadPass(IDirect3DDevice9* device);
    ~FlatQuadPass();
    FlatQuadPass(const FlatQuadPass&) = delete;
    FlatQuadPass& operator=(const FlatQuadPass&) = delete;

    void Draw(GuiElement& element);
    // As Draw, but leaves out the texels of the element's picture that its coverage shows to be wholly clear, and
    // every screen row from hiddenFrom down (what a later quad covers), along each axis on which the quad shows
    // its texels one to one; where it does so on both, the coverage's opaque pieces are drawn without blending
    // when that changes nothing. The pixels it still draws come out as Draw gives them. The coverage counts only
    // when it was read from the element's own texture.
    void DrawShown(GuiElement& element, const TextureCoverage* coverage, float hiddenFrom);
    // The button's icon, when the button shows it.
    void DrawIcon(GuiButton& button);

    // The quad covers its texels one to one, on whole pixels.
    static bool IsPixelExact(const GuiElement& element);

    // One axis of a quad: its screen edges and the texture coordinates at them.
    struct Span {
        float low;
        float high;
        float texLow;
        float texHigh;
    };

private:
    void DrawPieces(IDirect3DTexture9* texture, const ScreenVertex& corner, const Span& across, const Span& down,
                    const TextureCoverage& coverage, float hiddenFrom);

    IDirect3DDevice9* m_device = nullptr;
    DWORD m_depth = TRUE;
    DWORD m_mip = D3DTEXF_NONE;
    DWORD m_addressU = D3DTADDRESS_WRAP;
    DWORD m_addressV = D3DTADDRESS_WRAP;
    DWORD m_minFilter = D3DTEXF_POINT;
    DWORD m_magFilter = D3DTEXF_POINT;
    // The filter this pass last set, so that runs of like quads change nothing.
    DWORD m_filter = 0;
    // The device blends as interface quads do, so fully opaque pixels may be drawn without blending.
    bool m_opaqueUnblended = false;
    // The pieces of the quad being drawn, kept to spare an allocation each draw.
    std::vector<ScreenVertex> m_blended;
    std::vector<ScreenVertex> m_solid;
};
