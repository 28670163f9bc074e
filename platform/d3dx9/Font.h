#pragma once
// Platform-internal: a font. Text is laid out as the Windows DrawText lays it out (lines at '\n', word
// wrapping within the rectangle, alignment, clipping) and drawn as glyph quads of its atlas through a
// sprite: the caller's, or one of its own when the caller gives none.

#include "d3dx9/D3DX9Core.h"
#include "win32/ComObject.h"

#include <atomic>
#include <memory>
#include <string_view>
#include <vector>

class GlyphAtlas;
class Sprite;

class Font : public ComObject<ID3DXFont>
{
public:
    Font(IDirect3DDevice9* device, std::shared_ptr<GlyphAtlas> atlas);

    HRESULT GetDevice(IDirect3DDevice9** device) override;
    INT DrawTextA(ID3DXSprite* sprite, LPCSTR string, INT count, LPRECT rect, DWORD format, D3DCOLOR color) override;
    HRESULT OnLostDevice() override;
    HRESULT OnResetDevice() override;

    const GlyphAtlas& Atlas() const { return *atlas_; }
    // How often the font was told that the device was lost and reset: its owner's part in a reset, for tests.
    unsigned LostCount() const { return lostCount_; }
    unsigned ResetCount() const { return resetCount_; }

protected:
    ~Font() override;

private:
    unsigned lostCount_ = 0;
    unsigned resetCount_ = 0;
    struct Line {
        size_t begin;
        size_t end; // one past the last character drawn
        int width;
    };

    int Advance(unsigned char c, int penX, DWORD format) const;
    int MeasureRange(std::string_view text, size_t begin, size_t end, DWORD format) const;
    void LayOut(std::string_view text, DWORD format, int wrapWidth, std::vector<Line>& lines) const;
    void DrawLine(ID3DXSprite* sprite, std::string_view text, const Line& line, int x, int y, const RECT& clip,
                  DWORD format, D3DCOLOR color) const;

    IDirect3DDevice9* device_;
    std::shared_ptr<GlyphAtlas> atlas_;
    Sprite* ownSprite_ = nullptr; // made at the first draw without a sprite
    std::vector<Line> lines_; // reused between draws
};
