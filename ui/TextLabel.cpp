#include "ui/TextLabel.h"

#include "core/DataManager.h"
#include "core/GlobalConstants.h"
#include "core/Random.h"
#include "d3dx9/D3DX9Core.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

// The labels queued for this frame's sprite pass, drawn and emptied by DrawQueuedText.
std::vector<TextLabel*> g_spriteDrawQueue;

} // namespace

namespace {
constexpr float COUNT_STEP = 0.01f;
constexpr float BOX_WIDTH_PER_CHAR = 0.3f;
constexpr float BOX_HEIGHT_PER_LINE = 0.5f;
constexpr float FLOATING_TEXT_TOP = 400.0f;
constexpr float FLOATING_TEXT_BOTTOM = 500.0f;
constexpr float FLOATING_TEXT_MIN_GAP = 30.0f;
constexpr float FLOATING_TEXT_MAX_GAP = 60.0f;
// A wrapped text runs down as far as it needs; the rectangle's bottom only has to lie below it.
constexpr LONG WRAP_DEPTH = 4096;

bool g_haveLastOffset = false;
float g_lastOffset = 0.0f;
} // namespace

TextLabel::TextLabel() = default;

TextLabel::~TextLabel()
{
    // A label deleted while still queued would leave a dangling entry behind.
    g_spriteDrawQueue.erase(std::remove(g_spriteDrawQueue.begin(), g_spriteDrawQueue.end(), this),
                            g_spriteDrawQueue.end());
    m_font.Reset();
}

void TextLabel::MakeFont(bool italic)
{
    m_font.Reset();
    IDirect3DDevice9* device = DataManager::Get()->GetDevice();
    if (!device)
        return;
    D3DXCreateFontA(device, fontHeight, 0, FW_BOLD, 1, italic ? TRUE : FALSE, DEFAULT_CHARSET, 0, 0, 0,
                    m_faceName.c_str(), m_font.AddressOf());
}

void TextLabel::CreateFont(int height, const char* face, int)
{
    fontHeight = height;
    m_faceName = face ? face : "";
    MakeFont(false);
}

void TextLabel::SetFont(int height, const char* face, RECT* rect)
{
    m_fixedRect = rect;
    CreateFont(height, face, 1);
}

void TextLabel::ResizeFont(int height, bool italic)
{
    fontHeight = height;
    MakeFont(italic);
}

void TextLabel::Create(int height, const char* face, float r, float g, float b, float a, int flag)
{
    CreateFont(height, face, flag);
    normalColour = D3DXCOLOR(r, g, b, a);
    baseColour = normalColour;
    colour = D3DXCOLOR(r, g, b, 0.0f);
}

void TextLabel::StoreText(const char* formatted)
{
    std::memset(m_buffer, 0, sizeof(m_buffer));
    std::strncpy(m_buffer, formatted, BUFFER_SIZE - 1);
    m_text = m_buffer;

    // Lines are counted by the two characters '\' 'n' that the data files write, not by real breaks.
    m_lineCount = 1;
    for (size_t at = m_text.find("\\n"); at != std::string::npos; at = m_text.find("\\n", at + 2))
        ++m_lineCount;
    m_textWidth = static_cast<uint32_t>(fontHeight) * static_cast<uint32_t>(m_text.size());
}

// Texts are copied as they stand: a '%' in a name is shown, never taken as a format directive.
void TextLabel::SetText(const std::string& newText)
{
    StoreText(newText.c_str());
}

void TextLabel::StepCount(int value, bool countingNow)
{
    if (!counting)
        shownNumber = value;
    counting = countingNow;
    if (!counting)
        return;

    countTimer += DataManager::Get()->GetFrameTime();
    if (countTimer < COUNT_STEP)
        return;
    D3DXCOLOR chosen = normalColour;
    if (value > shownNumber) {
        ++shownNumber;
        chosen = countingColour;
    } else if (value < shownNumber) {
        --shownNumber;
        chosen = countingColour;
    }
    baseColour = chosen;
    colour = chosen;
    countTimer = 0.0f;
}

void TextLabel::SetNumberText(const char* format, int value, bool countingNow)
{
    StepCount(value, countingNow);
    char formatted[BUFFER_SIZE];
    std::snprintf(formatted, sizeof(formatted), format ? format : "%i", shownNumber);
    StoreText(formatted);
}

void TextLabel::SetNumberText2(const char* format, int value, int secondValue, bool countingNow)
{
    StepCount(value, countingNow);
    char formatted[BUFFER_SIZE];
    std::snprintf(formatted, sizeof(formatted), format ? format : "%i/%i", shownNumber, secondValue);
    StoreText(formatted);
}

void TextLabel::RandomOffsetY()
{
    if (!g_haveLastOffset) {
        g_lastOffset = RandomFloat(FLOATING_TEXT_TOP, FLOATING_TEXT_BOTTOM);
        g_haveLastOffset = true;
    }
    float r = RandomFloat(FLOATING_TEXT_TOP, FLOATING_TEXT_BOTTOM);
    for (;;) {
        const float gap = std::fabs(g_lastOffset - r);
        if (gap >= FLOATING_TEXT_MIN_GAP && gap <= FLOATING_TEXT_MAX_GAP)
            break;
        r = RandomFloat(FLOATING_TEXT_TOP, FLOATING_TEXT_BOTTOM);
    }
    g_lastOffset = r;
    y = r;
}

void TextLabel::Update()
{
    UpdateEffect();
    const float dt = DataManager::Get()->GetFrameTime();
    x += velocityX * dt;
    y += velocityY * dt;
    boxWidth = static_cast<float>(m_textWidth) * BOX_WIDTH_PER_CHAR;
    boxHeight = static_cast<float>(m_lineCount) * static_cast<float>(fontHeight) * BOX_HEIGHT_PER_LINE;
    m_ownRect = RECT{static_cast<LONG>(x), static_cast<LONG>(y), static_cast<LONG>(x + boxWidth),
                     static_cast<LONG>(y + boxHeight)};
}

void TextLabel::SetPosition(float px, float py)
{
    x = px;
    y = py;
}

void TextLabel::QueueDraw()
{
    g_spriteDrawQueue.push_back(this);
}

void TextLabel::Unqueue()
{
    g_spriteDrawQueue.erase(std::remove(g_spriteDrawQueue.begin(), g_spriteDrawQueue.end(), this),
                            g_spriteDrawQueue.end());
    m_font.Reset();
}

void TextLabel::Draw()
{
    if (!m_font)
        return;
    ID3DXSprite* sprite = DataManager::Get()->GetSprite();
    const D3DCOLOR c = PackColour(colour);
    RECT rect = m_fixedRect ? *m_fixedRect : FreeRect();
    const DWORD format = m_fixedRect ? FixedFormat() : FreeFormat();
    if (shadowed) {
        constexpr LONG SHADOW_OFFSET = 2;
        RECT shadow{rect.left + SHADOW_OFFSET, rect.top + SHADOW_OFFSET, rect.right + SHADOW_OFFSET,
                    rect.bottom + SHADOW_OFFSET};
        // As transparent as the text, so that the two fade together.
        const D3DCOLOR dark = PackColour(D3DXCOLOR(0.0f, 0.0f, 0.0f, colour.a * 0.9f));
        m_font->DrawTextA(sprite, m_text.c_str(), -1, &shadow, format, dark);
    }
    m_font->DrawTextA(sprite, m_text.c_str(), -1, &rect, format, c);
}

RECT TextLabel::FreeRect() const
{
    RECT rect = m_ownRect;
    if (wrapWidth > 0) {
        rect.right = rect.left + wrapWidth;
        rect.bottom = rect.top + WRAP_DEPTH;
    }
    return rect;
}

DWORD TextLabel::FixedFormat() const
{
    return breakWords ? DT_CENTER | DT_WORDBREAK : DT_CENTER;
}

DWORD TextLabel::FreeFormat() const
{
    return wrapWidth > 0 ? DT_NOCLIP | DT_WORDBREAK : DT_NOCLIP;
}

RECT TextLabel::MeasureDrawn() const
{
    RECT rect = m_fixedRect ? *m_fixedRect : FreeRect();
    if (!m_font)
        return RECT{rect.left, rect.top, rect.left, rect.top};
    m_font->DrawTextA(nullptr, m_text.c_str(), -1, &rect, (m_fixedRect ? FixedFormat() : FreeFormat()) | DT_CALCRECT,
                      0);
    return rect;
}

void TextLabel::OnLostDevice()
{
    if (m_font)
        m_font->OnLostDevice();
}

void TextLabel::OnResetDevice()
{
    if (m_font)
        m_font->OnResetDevice();
}

const std::vector<TextLabel*>& QueuedText()
{
    return g_spriteDrawQueue;
}

void DrawQueuedText()
{
    ID3DXSprite* sprite = DataManager::Get()->GetSprite();
    if (sprite)
        sprite->Begin(D3DXSPRITE_ALPHABLEND | D3DXSPRITE_SORT_TEXTURE);
    for (TextLabel* label : g_spriteDrawQueue)
        label->Draw();
    if (sprite)
        sprite->End();
    std::vector<TextLabel*>().swap(g_spriteDrawQueue);
}

void TextLabel::ResetForTests()
{
    g_spriteDrawQueue.clear();
}
