#pragma once

#include "ui/GuiObject.h"
#include "win32/ComPtr.h"
#include "win32/Win32.h"

#include <string>
#include <vector>

struct ID3DXFont;

// The text widget. Labels are not drawn where they are updated: their owners queue them each frame
// and the application draws the whole queue in one sprite batch.
class TextLabel : public GuiObject
{
public:
    static constexpr size_t BUFFER_SIZE = 520;

    // Empties this frame's queue of labels without drawing them.
    static void ResetForTests();

    TextLabel();
    ~TextLabel() override;
    // The label owns its font: a copy would release it twice.
    TextLabel(const TextLabel&) = delete;
    TextLabel& operator=(const TextLabel&) = delete;

    void Update() override;

    void CreateFont(int height, const char* face, int flag);
    void SetFont(int height, const char* face, RECT* rect);
    void ResizeFont(int height, bool italic);
    void Create(int height, const char* face, float r, float g, float b, float a, int flag);
    void SetText(const std::string& text);
    void SetNumberText(const char* format, int value, bool counting);
    void SetNumberText2(const char* format, int value, int secondValue, bool counting);
    void RandomOffsetY();
    void QueueDraw();
    void Unqueue();
    void Draw();
    void OnLostDevice();
    void OnResetDevice();
    void SetPosition(float px, float py);
    // Where the text lands when drawn, measured with the label's font; empty without a font.
    RECT MeasureDrawn() const;

    const std::string& GetText() const { return m_text; }
    ID3DXFont* GetFont() const { return m_font.Get(); }
    uint32_t GetLineCount() const { return m_lineCount; }
    uint32_t GetTextWidth() const { return m_textWidth; }
    const RECT& GetOwnRect() const { return m_ownRect; }

    D3DXCOLOR normalColour{1.0f, 1.0f, 1.0f, 1.0f};
    D3DXCOLOR countingColour{0.0f, 0.0f, 1.0f, 1.0f};
    int fontHeight = 12;
    float x = 0.0f;
    float y = 0.0f;
    float boxWidth = 0.0f;
    float boxHeight = 0.0f;
    float velocityX = 0.0f;
    float velocityY = 0.0f;
    float countTimer = 0.0f;
    bool counting = false;
    int shownNumber = 9999999;
    // Above 0, the text breaks at spaces into lines no wider than this (in the layout space of the position).
    int wrapWidth = 0;
    // A dark copy two pixels down and right goes under the text, so that it reads over a bright or busy scene
    // (sky, grass) as well as over a window.
    bool shadowed = false;
    // With a fixed rectangle: lines too long for it break at spaces instead of being cut at its edges.
    bool breakWords = false;

private:
    void MakeFont(bool italic);
    void StoreText(const char* formatted);
    void StepCount(int value, bool countingNow);
    // The rectangle and format of a label drawn at its own place.
    RECT FreeRect() const;
    DWORD FreeFormat() const;
    DWORD FixedFormat() const;

    ComPtr<ID3DXFont> m_font;
    std::string m_faceName = "Ariel";
    std::string m_text;
    char m_buffer[BUFFER_SIZE] = {};
    uint32_t m_textWidth = 0;
    uint32_t m_lineCount = 0;
    RECT m_ownRect{0, 0, 0, 0};
    RECT* m_fixedRect = nullptr;
};

// Draws every queued label inside one batch of the shared sprite and empties the queue.
void DrawQueuedText();
// The labels queued for this frame, in queue order (a label may appear more than once).
const std::vector<TextLabel*>& QueuedText();
