#pragma once

#include "ui/GuiObject.h"
#include "win32/ComPtr.h"
#include "win32/Win32.h"

#include <memory>
#include <string>

struct IDirect3DVertexBuffer9;
struct IDirect3DTexture9;
struct TextureRecord;

// Hit-test result bits of a widget.
enum WidgetState : uint32_t
{
    WIDGET_HOVER_LONG = 0x1,
    WIDGET_CLICKED = 0x10,
    WIDGET_PRESSED = 0x100,
    WIDGET_IDLE = 0x1000,
    WIDGET_HOVER = 0x10000,
};

// A textured screen-space rectangle: the quad that buttons, windows, bars and icons are made of.
class GuiElement : public GuiObject
{
public:
    GuiElement();
    ~GuiElement() override;

    void Update() override;
    void ResetColour() override;
    virtual void Place(float x, float y, float w, float h);
    virtual void Init(const std::string& textureName, float x, float y, float w, float h);
    virtual void SetRect(float x, float y, float w, float h);
    virtual void Create(const std::string& textureName, float x, float y, float w, float h);
    virtual void OnLostDevice();
    virtual void OnResetDevice();
    virtual void SetVisible(bool show);

    void HitTest();
    void SetTarget(float x, float y, bool jump);
    void MoveTo(float x, float y);
    POINT GetTopLeft() const;
    void SetTexU0(float value, bool multiply);
    void SetTexU1(float value, bool multiply);
    void SetTexCoordMax(float u, float v);
    void SetFrameTexture(IDirect3DTexture9* texture);
    void SetTextureByName(const std::string& name);
    void UpdateVertices();
    void CreateVertexBuffer();
    void DrawQuad();
    void Render();

    TextureRecord* GetTextureRecord() const { return m_textureRecord; }
    IDirect3DVertexBuffer9* GetVertexBuffer() const { return m_vertexBuffer.Get(); }

    // The left-button latch is shared by every element of the process.
    static void ResetForTests();

    uint32_t state = WIDGET_IDLE;
    float hoverTime = 0.0f;
    bool hovering = false;
    bool gliding = false;
    uint32_t rememberedWidth = 0;
    uint32_t rememberedHeight = 0;
    float targetX = 0.0f;
    float targetY = 0.0f;
    float top = 0.0f;
    float bottom = 0.0f;
    float right = 0.0f;
    float left = 0.0f;
    float width = 0.0f;
    float height = 0.0f;
    float leftU = 0.0f;
    float rightU = 1.0f;
    float topV = 0.0f;
    float bottomV = 1.0f;
    float hoverDelay = 0.25f;
    bool visible = true;
    bool enabled = true;
    // Part of a window that covers the screen beneath it (the help): the cover does not hide it.
    bool aboveCover = false;
    bool animate = false;
    float frameTime = 1.0f / 12.0f;
    uint32_t frame = 1;
    float frameTimer = 0.0f;

private:
    void AssignRect(float x, float y, float w, float h);

    TextureRecord* m_textureRecord = nullptr;
    // A record made by SetFrameTexture belongs to the element; cached records belong to the data manager.
    std::unique_ptr<TextureRecord> m_ownRecord;
    ComPtr<IDirect3DVertexBuffer9> m_vertexBuffer;
};
