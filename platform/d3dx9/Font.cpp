#include "d3dx9/Font.h"

#include "d3dx9/D3DX9Math.h"
#include "d3dx9/GlyphAtlas.h"
#include "d3dx9/Sprite.h"
#include "win32/Log.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

// Tab stops of DT_EXPANDTABS: every eight average character widths, as the Windows DrawText.
constexpr int TAB_STOP_CHARACTERS = 8;

bool IsSpace(unsigned char c)
{
    return c == ' ' || c == '\t';
}

} // namespace

Font::Font(IDirect3DDevice9* device, std::shared_ptr<GlyphAtlas> atlas) : device_(device), atlas_(std::move(atlas))
{
    device_->AddRef();
}

Font::~Font()
{
    if (ownSprite_ != nullptr)
        ownSprite_->Release();
    atlas_.reset();
    device_->Release();
}

HRESULT Font::GetDevice(IDirect3DDevice9** device)
{
    if (device == nullptr)
        return D3DERR_INVALIDCALL;
    device_->AddRef();
    *device = device_;
    return D3D_OK;
}

int Font::Advance(unsigned char c, int penX, DWORD format) const
{
    if (c == '\t' && (format & DT_EXPANDTABS)) {
        const int stop = std::max(1, atlas_->Glyph('x').advance * TAB_STOP_CHARACTERS);
        return stop - penX % stop;
    }
    if (c < 0x20)
        return 0;
    return atlas_->Glyph(c).advance;
}

int Font::MeasureRange(std::string_view text, size_t begin, size_t end, DWORD format) const
{
    int pen = 0;
    for (size_t i = begin; i < end; ++i)
        pen += Advance(static_cast<unsigned char>(text[i]), pen, format);
    return pen;
}

void Font::LayOut(std::string_view text, DWORD format, int wrapWidth, std::vector<Line>& lines) const
{
    lines.clear();
    const bool singleLine = (format & DT_SINGLELINE) != 0;
    const bool wrap = !singleLine && (format & DT_WORDBREAK) != 0;
    size_t pos = 0;
    for (;;) {
        size_t paragraphEnd = singleLine ? text.size() : text.find('\n', pos);
        if (paragraphEnd == std::string_view::npos)
            paragraphEnd = text.size();
        size_t end = paragraphEnd;
        if (!singleLine && end > pos && text[end - 1] == '\r')
            --end;

        if (!wrap) {
            lines.push_back({pos, end, MeasureRange(text, pos, end, format)});
        } else {
            // Greedy wrapping at spaces; a word wider than the rectangle stands alone on its line, and the
            // spaces where a line breaks are not drawn.
            size_t lineStart = pos;
            size_t lineEnd = pos; // end of the last word placed on the line
            int widthToEnd = 0; // width up to lineEnd
            int pen = 0; // width including the spaces after lineEnd
            size_t i = pos;
            bool lineEmpty = true;
            while (i < end) {
                size_t wordEnd = i;
                while (wordEnd < end && !IsSpace(static_cast<unsigned char>(text[wordEnd])))
                    ++wordEnd;
                if (wordEnd == i) // spaces at the start of the paragraph are kept like a word
                    while (wordEnd < end && IsSpace(static_cast<unsigned char>(text[wordEnd])))
                        ++wordEnd;
                size_t spacesEnd = wordEnd;
                while (spacesEnd < end && IsSpace(static_cast<unsigned char>(text[spacesEnd])))
                    ++spacesEnd;

                int wordWidth = 0;
                for (size_t k = i; k < wordEnd; ++k)
                    wordWidth += Advance(static_cast<unsigned char>(text[k]), pen + wordWidth, format);
                if (!lineEmpty && pen + wordWidth > wrapWidth) {
                    lines.push_back({lineStart, lineEnd, widthToEnd});
                    lineStart = i;
                    pen = 0;
                    wordWidth = 0;
                    for (size_t k = i; k < wordEnd; ++k)
                        wordWidth += Advance(static_cast<unsigned char>(text[k]), wordWidth, format);
                }
                pen += wordWidth;
                lineEnd = wordEnd;
                widthToEnd = pen;
                lineEmpty = false;
                for (size_t k = wordEnd; k < spacesEnd; ++k)
                    pen += Advance(static_cast<unsigned char>(text[k]), pen, format);
                i = spacesEnd;
            }
            lines.push_back({lineStart, lineEnd, widthToEnd});
        }
        if (paragraphEnd >= text.size())
            break;
        pos = paragraphEnd + 1;
    }
}

void Font::DrawLine(ID3DXSprite* sprite, std::string_view text, const Line& line, int x, int y, const RECT& clip,
                    DWORD format, D3DCOLOR color) const
{
    const bool clipped = (format & DT_NOCLIP) == 0;
    auto* ours = dynamic_cast<Sprite*>(sprite);
    int pen = 0;
    for (size_t i = line.begin; i < line.end; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        const GlyphInfo& glyph = atlas_->Glyph(c);
        if (c >= 0x20 && glyph.page >= 0) {
            RECT source = glyph.source;
            int left = x + pen + glyph.offsetX;
            int top = y + glyph.offsetY;
            if (clipped) {
                const int right = left + (source.right - source.left);
                const int bottom = top + (source.bottom - source.top);
                const int cutLeft = std::max(0, static_cast<int>(clip.left) - left);
                const int cutTop = std::max(0, static_cast<int>(clip.top) - top);
                const int cutRight = std::max(0, right - static_cast<int>(clip.right));
                const int cutBottom = std::max(0, bottom - static_cast<int>(clip.bottom));
                source.left += cutLeft;
                source.top += cutTop;
                source.right -= cutRight;
                source.bottom -= cutBottom;
                left += cutLeft;
                top += cutTop;
            }
            if (source.right > source.left && source.bottom > source.top) {
                IDirect3DTexture9* page = atlas_->Page(glyph.page);
                if (ours != nullptr) {
                    ours->DrawRect(page, source, static_cast<float>(left), static_cast<float>(top), color);
                } else {
                    const D3DXVECTOR3 position(static_cast<float>(left), static_cast<float>(top), 0.0f);
                    sprite->Draw(page, &source, nullptr, &position, color);
                }
            }
        }
        pen += Advance(c, pen, format);
    }
}

INT Font::DrawTextA(ID3DXSprite* sprite, LPCSTR string, INT count, LPRECT rect, DWORD format, D3DCOLOR color)
{
    if (string == nullptr || rect == nullptr)
        return 0;
    const size_t length = count < 0 ? std::strlen(string) : strnlen(string, static_cast<size_t>(count));
    const std::string_view text(string, length);
    const int lineHeight = atlas_->LineHeight();
    const int rectWidth = static_cast<int>(rect->right - rect->left);
    const int rectHeight = static_cast<int>(rect->bottom - rect->top);

    if (text.empty()) {
        if (format & DT_CALCRECT) {
            rect->right = rect->left;
            rect->bottom = rect->top;
        }
        return 0;
    }
    LayOut(text, format, rectWidth, lines_);
    const int total = static_cast<int>(lines_.size()) * lineHeight;
    int widest = 0;
    for (const Line& line : lines_)
        widest = std::max(widest, line.width);

    if (format & DT_CALCRECT) {
        rect->right = rect->left + widest;
        rect->bottom = rect->top + total;
        return total;
    }

    int offsetY = 0;
    if (format & DT_VCENTER)
        offsetY = (rectHeight - total) / 2;
    else if (format & DT_BOTTOM)
        offsetY = rectHeight - total;

    // Without a sprite the font batches through one of its own, as the original did. A sprite of ours
    // that is not between Begin and End gets a batch of its own too; another implementation is trusted
    // to be in one.
    ID3DXSprite* target = sprite;
    if (target == nullptr) {
        if (ownSprite_ == nullptr)
            ownSprite_ = new Sprite(device_);
        target = ownSprite_;
    }
    auto* ours = dynamic_cast<Sprite*>(target);
    const bool ownBatch = ours != nullptr && !ours->InBatch();
    if (ownBatch)
        target->Begin(D3DXSPRITE_ALPHABLEND | D3DXSPRITE_SORT_TEXTURE);

    const bool clipped = (format & DT_NOCLIP) == 0;
    for (size_t i = 0; i < lines_.size(); ++i) {
        const Line& line = lines_[i];
        const int y = static_cast<int>(rect->top) + offsetY + static_cast<int>(i) * lineHeight;
        if (clipped && (y >= rect->bottom || y + lineHeight <= rect->top))
            continue;
        int x = static_cast<int>(rect->left);
        if (format & DT_CENTER)
            x += (rectWidth - line.width) / 2;
        else if (format & DT_RIGHT)
            x = static_cast<int>(rect->right) - line.width;
        DrawLine(target, text, line, x, y, *rect, format, color);
    }
    if (ownBatch)
        target->End();
    return (format & (DT_VCENTER | DT_BOTTOM)) ? offsetY + total : total;
}

HRESULT Font::OnLostDevice()
{
    ++lostCount_;
    return ownSprite_ ? ownSprite_->OnLostDevice() : D3D_OK;
}

HRESULT Font::OnResetDevice()
{
    ++resetCount_;
    return ownSprite_ ? ownSprite_->OnResetDevice() : D3D_OK;
}

HRESULT D3DXCreateFontA(IDirect3DDevice9* device, INT height, UINT, UINT weight, UINT, BOOL italic, DWORD, DWORD, DWORD,
                        DWORD, LPCSTR faceName, ID3DXFont** font)
{
    if (font == nullptr)
        return D3DERR_INVALIDCALL;
    *font = nullptr;
    if (device == nullptr)
        return D3DERR_INVALIDCALL;
    FontRequest request;
    request.height = height;
    request.weight = weight;
    request.italic = italic != FALSE;
    request.faceName = faceName != nullptr ? faceName : "";
    std::string error;
    std::shared_ptr<GlyphAtlas> atlas = GlyphAtlas::Get(device, request, error);
    if (atlas == nullptr) {
        LogFormat(LogLevel::WARNING, "font.create", "font '%s' at height %d: %s", request.faceName.c_str(), height,
                  error.c_str());
        return E_FAIL;
    }
    *font = new Font(device, std::move(atlas));
    return D3D_OK;
}
