#include "ui/GuiElement.h"

#include "core/ApplicationLink.h"
#include "core/DataManager.h"
#include "core/ScreenVertex.h"
#include "d3d9/D3D9.h"
#include "ui/MouseOverManager.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {
constexpr UINT QUAD_BYTES = 4 * SCREEN_VERTEX_STRIDE;
constexpr float GLIDE_RATE = 8.0f;

bool g_leftButtonLatch = false;

bool LeftButtonDown()
{
    return (GetAsyncKeyState(VK_LBUTTON) & 0x8000) != 0;
}
} // namespace

GuiElement::GuiElement() = default;

GuiElement::~GuiElement() = default;

void GuiElement::ResetForTests()
{
    g_leftButtonLatch = false;
}

void GuiElement::Update()
{
    UpdateEffect();

    const float dt = DataManager::Get()->GetFrameTime();
    if (gliding) {
        // At most the whole way: a long frame must not carry the element past its target.
        const float f = std::min(dt * GLIDE_RATE, 1.0f);
        const float dx = targetX - left;
        const float dy = targetY - top;
        left += dx * f;
        right += dx * f;
        top += dy * f;
        bottom += dy * f;
    }

    if (m_textureRecord && animate && m_textureRecord->frameCount >= 2) {
        frameTimer += dt;
        if (frameTimer >= frameTime) {
            ++frame;
            frameTimer = 0.0f;
            if (frame > static_cast<uint32_t>(m_textureRecord->frameCount))
                frame = 1;
        }
        topV = static_cast<float>(frame - 1) * m_textureRecord->frameWidth;
        bottomV = topV + m_textureRecord->frameWidth;
    }

    HitTest();
    UpdateVertices();
}

void GuiElement::ResetColour()
{
    colour = baseColour;
    UpdateVertices();
}

void GuiElement::Place(float x, float y, float w, float h)
{
    SetRect(x, y, w, h);
}

void GuiElement::Init(const std::string& textureName, float x, float y, float w, float h)
{
    Create(textureName, x, y, w, h);
}

void GuiElement::AssignRect(float x, float y, float w, float h)
{
    left = x;
    right = x + w;
    top = y;
    bottom = y + h;
    width = std::fabs(w);
    height = std::fabs(h);
    targetX = x;
    targetY = y;
    DataManager* data = DataManager::Get();
    rememberedWidth = data->GetBackBufferWidth();
    rememberedHeight = data->GetBackBufferHeight();
}

void GuiElement::SetRect(float x, float y, float w, float h)
{
    AssignRect(x, y, w, h);
    CreateVertexBuffer();
}

void GuiElement::Create(const std::string& textureName, float x, float y, float w, float h)
{
    AssignRect(x, y, w, h);
    m_textureRecord = DataManager::Get()->GetTexture(textureName, false);
    CreateVertexBuffer();
}

void GuiElement::OnLostDevice()
{
    m_vertexBuffer.Reset();
}

void GuiElement::OnResetDevice()
{
    CreateVertexBuffer();
    DataManager* data = DataManager::Get();
    rememberedWidth = data->GetBackBufferWidth();
    rememberedHeight = data->GetBackBufferHeight();
}

void GuiElement::SetVisible(bool show)
{
    visible = show;
}

void GuiElement::HitTest()
{
    const RECT rect{static_cast<LONG>(left), static_cast<LONG>(top), static_cast<LONG>(right),
                    static_cast<LONG>(bottom)};
    const POINT p = MouseOverManager::Get()->GetPointerPosition();
    bool inside = p.x >= rect.left && p.x < rect.right && p.y >= rect.top && p.y < rect.bottom;
    if (inside && !aboveCover && MouseOverManager::Get()->IsCovered(p))
        inside = false;

    if (enabled && inside) {
        // A press that begins here belongs to the interface, not to the board behind it.
        MouseOverManager::Get()->NotePointerOverWidget();
        if (!hovering)
            g_leftButtonLatch = false;
        state = WIDGET_HOVER;
        if (hoverTime >= hoverDelay)
            state = WIDGET_HOVER | WIDGET_HOVER_LONG;
        if (LeftButtonDown()) {
            state |= WIDGET_PRESSED;
            g_leftButtonLatch = true;
        }
        if (!LeftButtonDown() && g_leftButtonLatch) {
            state |= WIDGET_CLICKED;
            g_leftButtonLatch = false;
        }
        hoverTime += DataManager::Get()->GetFrameTime();
        hovering = true;
    } else {
        state = WIDGET_IDLE;
        hoverTime = 0.0f;
        hovering = false;
    }
}

void GuiElement::SetTarget(float x, float y, bool jump)
{
    targetX = x;
    targetY = y;
    if (jump) {
        right = right - left + x;
        bottom = bottom - top + y;
        left = x;
        top = y;
    }
}

void GuiElement::MoveTo(float x, float y)
{
    right = std::fabs(right - left) + x;
    bottom = std::fabs(bottom - top) + y;
    left = x;
    top = y;
}

POINT GuiElement::GetTopLeft() const
{
    return POINT{static_cast<LONG>(left), static_cast<LONG>(top)};
}

void GuiElement::SetTexU0(float value, bool multiply)
{
    leftU = multiply ? leftU * value : value;
}

void GuiElement::SetTexU1(float value, bool multiply)
{
    rightU = multiply ? rightU * value : value;
}

void GuiElement::SetTexCoordMax(float u, float v)
{
    rightU = u;
    bottomV = v;
}

// A record from the texture cache is shared by every element that shows the same file; writing a frame
// into it would show that frame on all of them and leave the cache releasing a texture it never made.
// Such an element gets a record of its own, keeping the frame layout of the one it had.
void GuiElement::SetFrameTexture(IDirect3DTexture9* texture)
{
    if (!m_textureRecord || m_textureRecord != m_ownRecord.get()) {
        auto record = std::make_unique<TextureRecord>();
        if (m_textureRecord) {
            record->frameCount = m_textureRecord->frameCount;
            record->frameWidth = m_textureRecord->frameWidth;
        }
        m_ownRecord = std::move(record);
        m_textureRecord = m_ownRecord.get();
    }
    m_textureRecord->texture = texture;
}

void GuiElement::SetTextureByName(const std::string& name)
{
    DataManager* data = DataManager::Get();
    m_textureRecord = data->GetTexture(name, false);
    if (!m_textureRecord)
        m_textureRecord = data->GetTexture("Unknown_Icon_f2.tga", false);
}

void GuiElement::UpdateVertices()
{
    if (!m_vertexBuffer)
        return;
    void* data = nullptr;
    if (FAILED(m_vertexBuffer->Lock(0, 0, &data, D3DLOCK_DISCARD)) || !data)
        return;
    const D3DCOLOR c = PackColour(colour);
    const ScreenVertex quad[4] = {
        {left, bottom, 0.0f, 1.0f, c, leftU, bottomV},
        {left, top, 0.0f, 1.0f, c, leftU, topV},
        {right, bottom, 0.0f, 1.0f, c, rightU, bottomV},
        {right, top, 0.0f, 1.0f, c, rightU, topV},
    };
    std::memcpy(data, quad, sizeof(quad));
    m_vertexBuffer->Unlock();
}

void GuiElement::CreateVertexBuffer()
{
    DataManager* data = DataManager::Get();
    IDirect3DDevice9* device = data->GetDevice();
    // A second SetRect or Create replaces the buffer; the old one is released, not leaked.
    m_vertexBuffer.Reset();
    if (device)
        device->CreateVertexBuffer(QUAD_BYTES, 0, SCREEN_FVF, D3DPOOL_MANAGED, m_vertexBuffer.AddressOf(), nullptr);

    const float sx =
        rememberedWidth ? static_cast<float>(data->GetBackBufferWidth()) / static_cast<float>(rememberedWidth) : 1.0f;
    const float sy = rememberedHeight
                         ? static_cast<float>(data->GetBackBufferHeight()) / static_cast<float>(rememberedHeight)
                         : 1.0f;
    if (ApplicationLink* app = data->GetApplication())
        app->SetGuiScale(sx, sy);
    left *= sx;
    right *= sx;
    width *= sx;
    targetX *= sx;
    top *= sy;
    bottom *= sy;
    height *= sy;
    targetY *= sy;
    UpdateVertices();
}

void GuiElement::DrawQuad()
{
    if (!visible || !m_vertexBuffer)
        return;
    IDirect3DDevice9* device = DataManager::Get()->GetDevice();
    if (!device)
        return;
    device->SetTexture(0, m_textureRecord ? m_textureRecord->texture : nullptr);
    device->SetStreamSource(0, m_vertexBuffer.Get(), 0, SCREEN_VERTEX_STRIDE);
    device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2);
}

void GuiElement::Render()
{
    IDirect3DDevice9* device = DataManager::Get()->GetDevice();
    if (!device)
        return;
    device->SetFVF(SCREEN_FVF);
    DrawQuad();
}
