#include "ui/GuiElement.h"
#include "UiDeviceFixture.h"
#include "core/DataManager.h"
#include "ui/MouseOverManager.h"
#include "ui/TextLabel.h"
#include "win32/InputState.h"
#include "win32/TestHooks.h"

#include "support/ScreenQuad.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

namespace {
class GuiElementTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Win32TestHooks::ResetWindowLayer();
        DataManager::ResetForTests();
        MouseOverManager::ResetForTests();
        GuiElement::ResetForTests();
        app = std::make_unique<LayoutApplication>();
        app->SetBackBuffer(1024, 768);
        MouseOverManager::Get()->Init();
    }
    void TearDown() override
    {
        MouseOverManager::ResetForTests();
        app.reset();
        DataManager::ResetForTests();
        Win32TestHooks::ResetWindowLayer();
    }

    static void Frame(float seconds) { DataManager::Get()->AdvanceTime(seconds); }
    static void Pointer(int x, int y) { MouseOverManager::Get()->MovePointer(x, y); }
    static void LeftButton(bool down) { InputState::Get().InjectButton(0, down); }

    std::unique_ptr<LayoutApplication> app;
};

using GuiElementOnDevice = UiDeviceTest;
} // namespace

TEST_F(GuiElementTest, ResetRescalesTheRectangleToTheNewBackBuffer)
{
    GuiElement element;
    element.SetRect(366.0f, 100.0f, 43.0f, 20.0f);
    EXPECT_EQ(element.rememberedWidth, 1024u);

    app->SetBackBuffer(800, 600);
    element.OnLostDevice();
    element.OnResetDevice();
    // 366 x 800/1024 and 43 x 800/1024; 100 x 600/768.
    EXPECT_FLOAT_EQ(element.left, 285.9375f);
    EXPECT_FLOAT_EQ(element.width, 33.59375f);
    EXPECT_FLOAT_EQ(element.top, 78.125f);
    EXPECT_FLOAT_EQ(element.targetX, 285.9375f);
    EXPECT_EQ(element.rememberedWidth, 800u);
    EXPECT_EQ(element.rememberedHeight, 600u);
    EXPECT_FLOAT_EQ(app->guiScaleX, 0.78125f);
    EXPECT_FLOAT_EQ(app->guiScaleY, 0.78125f);
}

TEST_F(GuiElementTest, DisabledElementIgnoresThePointer)
{
    GuiElement element;
    element.SetRect(0.0f, 0.0f, 100.0f, 100.0f);
    element.enabled = false;
    Pointer(50, 50);
    Frame(0.1f);
    element.Update();
    EXPECT_EQ(element.state, static_cast<uint32_t>(WIDGET_IDLE));
    EXPECT_FLOAT_EQ(element.hoverTime, 0.0f);
}

TEST_F(GuiElementTest, HoverBecomesLongAfterTheDelay)
{
    GuiElement element;
    element.SetRect(10.0f, 10.0f, 50.0f, 50.0f);
    Pointer(10, 10); // left and top edges are inside
    Frame(0.1f);
    element.Update();
    element.Update();
    element.Update();
    EXPECT_EQ(element.state, static_cast<uint32_t>(WIDGET_HOVER)); // hover time was 0.2 when tested
    element.Update();
    EXPECT_EQ(element.state, static_cast<uint32_t>(WIDGET_HOVER | WIDGET_HOVER_LONG));
    Pointer(60, 30); // right edge is outside
    element.Update();
    EXPECT_EQ(element.state, static_cast<uint32_t>(WIDGET_IDLE));
    EXPECT_FALSE(element.hovering);
}

TEST_F(GuiElementTest, ClickGoesToTheElementWhereTheButtonIsReleased)
{
    GuiElement first;
    GuiElement second;
    first.SetRect(0.0f, 0.0f, 100.0f, 100.0f);
    second.SetRect(200.0f, 0.0f, 100.0f, 100.0f);
    Frame(0.016f);

    Pointer(50, 50);
    LeftButton(true);
    first.Update();
    second.Update();
    EXPECT_TRUE(first.state & WIDGET_PRESSED);

    Pointer(250, 50); // dragged across with the button held
    first.Update();
    second.Update();
    EXPECT_EQ(first.state, static_cast<uint32_t>(WIDGET_IDLE));
    EXPECT_TRUE(second.state & WIDGET_PRESSED);

    LeftButton(false);
    first.Update();
    second.Update();
    EXPECT_FALSE(first.state & WIDGET_CLICKED);
    EXPECT_TRUE(second.state & WIDGET_CLICKED);

    second.Update(); // a click lasts one frame
    EXPECT_FALSE(second.state & WIDGET_CLICKED);
}

TEST_F(GuiElementTest, ButtonHeldWhileEnteringCountsAsPressedAtOnce)
{
    GuiElement element;
    element.SetRect(0.0f, 0.0f, 40.0f, 40.0f);
    Frame(0.016f);
    LeftButton(true);
    Pointer(100, 100);
    element.Update();
    Pointer(20, 20);
    element.Update();
    EXPECT_EQ(element.state, static_cast<uint32_t>(WIDGET_HOVER | WIDGET_PRESSED));
    LeftButton(false);
    element.Update();
    EXPECT_TRUE(element.state & WIDGET_CLICKED);
}

TEST_F(GuiElementTest, FramesCycleAtTwelveASecondOnlyWhenThereAreSeveral)
{
    GuiElement element;
    element.SetRect(0.0f, 0.0f, 10.0f, 10.0f);
    element.SetFrameTexture(nullptr);
    element.GetTextureRecord()->frameCount = 2;
    element.GetTextureRecord()->frameWidth = 0.5f;
    element.animate = true;
    Frame(0.05f);
    std::vector<uint32_t> frames;
    for (int i = 0; i < 6; ++i) {
        element.Update();
        frames.push_back(element.frame);
    }
    // The frame changes whenever 1/12 s has gathered: at 0.1, 0.2 and 0.3 s of the frame timer's runs.
    EXPECT_EQ(frames, (std::vector<uint32_t>{1, 2, 2, 1, 1, 2}));
    EXPECT_FLOAT_EQ(element.topV, 0.5f);
    EXPECT_FLOAT_EQ(element.bottomV, 1.0f);

    // A single frame never animates.
    GuiElement still;
    still.SetRect(0.0f, 0.0f, 10.0f, 10.0f);
    still.SetFrameTexture(nullptr);
    still.animate = true;
    still.Update();
    still.Update();
    EXPECT_EQ(still.frame, 1u);
    EXPECT_FLOAT_EQ(still.bottomV, 1.0f);
}

TEST_F(GuiElementTest, MovingKeepsTheSizeJumpingMovesTheTargetAndGlidingApproachesIt)
{
    GuiElement element;
    element.SetRect(10.0f, 20.0f, 30.0f, 40.0f);
    element.MoveTo(-100.0f, -100.0f);
    EXPECT_FLOAT_EQ(element.right, -70.0f);
    EXPECT_FLOAT_EQ(element.bottom, -60.0f);
    EXPECT_FLOAT_EQ(element.targetX, 10.0f);
    element.SetTarget(5.0f, 6.0f, true);
    EXPECT_FLOAT_EQ(element.left, 5.0f);
    EXPECT_FLOAT_EQ(element.right, 35.0f);
    EXPECT_FLOAT_EQ(element.bottom, 46.0f);
    EXPECT_EQ(element.GetTopLeft().x, 5);
    EXPECT_EQ(element.GetTopLeft().y, 6);

    // Gliding: each frame takes f = 8 dt of what is left.
    element.SetRect(0.0f, 0.0f, 10.0f, 10.0f);
    element.gliding = true;
    element.SetTarget(100.0f, 0.0f, false);
    Frame(0.05f); // f = 0.4
    element.Update();
    EXPECT_FLOAT_EQ(element.left, 40.0f);
    EXPECT_FLOAT_EQ(element.right, 50.0f);
    element.Update();
    EXPECT_FLOAT_EQ(element.left, 64.0f);

    // A 0.3 s frame (f = 2.4) goes the whole way and no further, and stays.
    Frame(0.3f);
    for (int frame = 0; frame < 2; ++frame) {
        element.Update();
        EXPECT_FLOAT_EQ(element.left, 100.0f);
        EXPECT_FLOAT_EQ(element.right, 110.0f);
    }
}

TEST_F(GuiElementTest, PointerWithoutAnIconIsTheTopLeftCorner)
{
    MouseOverManager::ResetForTests();
    const POINT p = MouseOverManager::Get()->GetPointerPosition();
    EXPECT_EQ(p.x, 0);
    EXPECT_EQ(p.y, 0);
    MouseOverManager::Get()->MovePointer(40, 50); // no icon: nothing moves
    EXPECT_EQ(MouseOverManager::Get()->GetPointerPosition().x, 0);
}

TEST_F(GuiElementOnDevice, VerticesCarryTheRectangleTextureCoordinatesAndClampedColour)
{
    GuiElement element;
    element.SetRect(10.0f, 20.0f, 30.0f, 40.0f);
    IDirect3DVertexBuffer9* buffer = element.GetVertexBuffer();
    ASSERT_NE(buffer, nullptr);
    D3DVERTEXBUFFER_DESC desc{};
    buffer->GetDesc(&desc);
    EXPECT_EQ(desc.FVF, 0x144u);

    element.SetTexU0(0.25f, false);
    element.SetTexCoordMax(0.75f, 0.5f);
    element.colour = D3DXCOLOR(1.0f, 0.5f, -0.3f, 2.0f);
    element.UpdateVertices();
    // A 2 -> 255, R 1 -> 255, G 0.5 x 255 + 0.5 = 128, B below 0 -> 0.
    const std::vector<QuadVertex> v = ReadQuad(buffer);
    const float expected[4][4] = {{10.0f, 60.0f, 0.25f, 0.5f},
                                  {10.0f, 20.0f, 0.25f, 0.0f},
                                  {40.0f, 60.0f, 0.75f, 0.5f},
                                  {40.0f, 20.0f, 0.75f, 0.0f}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_FLOAT_EQ(v[i].x, expected[i][0]) << i;
        EXPECT_FLOAT_EQ(v[i].y, expected[i][1]) << i;
        EXPECT_FLOAT_EQ(v[i].z, 0.0f) << i;
        EXPECT_FLOAT_EQ(v[i].rhw, 1.0f) << i;
        EXPECT_EQ(v[i].colour, 0xFFFF8000u) << i;
        EXPECT_FLOAT_EQ(v[i].u, expected[i][2]) << i;
        EXPECT_FLOAT_EQ(v[i].v, expected[i][3]) << i;
    }

    // Setting the rectangle again gives a new buffer; the old one is let go (tear-down checks the device).
    element.SetRect(0.0f, 0.0f, 8.0f, 8.0f);
    EXPECT_NE(element.GetVertexBuffer(), nullptr);
    element.OnLostDevice();
    EXPECT_EQ(element.GetVertexBuffer(), nullptr);
}

TEST_F(GuiElementOnDevice, RenderDrawsTheTexturedStripOnlyWhileVisible)
{
    GuiElement element;
    element.Create("mouseOverText.tga", 0.0f, 0.0f, 32.0f, 32.0f);
    ASSERT_NE(element.GetTextureRecord(), nullptr);
    ASSERT_NE(element.GetTextureRecord()->texture, nullptr);
    NullDevice* null = Null();
    null->ResetCounters();
    element.Render();
    EXPECT_EQ(null->DrawCount(), 1u);
    EXPECT_EQ(null->LastDraw().fvf, 0x144u);
    EXPECT_EQ(null->LastDraw().primitiveType, D3DPT_TRIANGLESTRIP);
    EXPECT_EQ(null->LastDraw().primitiveCount, 2u);
    IDirect3DBaseTexture9* bound = nullptr;
    device->GetTexture(0, &bound);
    EXPECT_EQ(bound, element.GetTextureRecord()->texture);
    if (bound)
        bound->Release();

    element.SetVisible(false);
    element.Render();
    EXPECT_EQ(null->DrawCount(), 1u);
    device->SetTexture(0, nullptr);
    element.OnLostDevice();
}

TEST_F(GuiElementOnDevice, FrameTextureNeverWritesIntoTheSharedCacheRecord)
{
    GuiElement video;
    GuiElement other;
    video.Create("mouseOverText.tga", 0.0f, 0.0f, 32.0f, 32.0f);
    other.Create("mouseOverText.tga", 40.0f, 0.0f, 32.0f, 32.0f);
    TextureRecord* cached = other.GetTextureRecord();
    ASSERT_EQ(video.GetTextureRecord(), cached);
    IDirect3DTexture9* fileTexture = cached->texture;

    IDirect3DTexture9* frame = nullptr;
    ASSERT_EQ(device->CreateTexture(16, 16, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &frame, nullptr), D3D_OK);
    video.SetFrameTexture(frame);
    EXPECT_EQ(video.GetTextureRecord()->texture, frame);
    EXPECT_EQ(video.GetTextureRecord()->frameCount, cached->frameCount);
    EXPECT_EQ(cached->texture, fileTexture) << "the other element still shows the file";
    EXPECT_EQ(other.GetTextureRecord(), cached);
    // Later frames go into the element's own record.
    TextureRecord* own = video.GetTextureRecord();
    video.SetFrameTexture(nullptr);
    EXPECT_EQ(video.GetTextureRecord(), own);
    EXPECT_EQ(own->texture, nullptr);

    frame->Release();
    video.OnLostDevice();
    other.OnLostDevice();
}

TEST_F(GuiElementTest, TheMouseOverTextFadesOutWhileNothingNamedIsHovered)
{
    MouseOverManager* mouseOver = MouseOverManager::Get();
    TextLabel* label = mouseOver->GetTextLabel();
    GuiElement* window = mouseOver->GetTextWindow();
    ASSERT_NE(label, nullptr);
    ASSERT_NE(window, nullptr);
    // As if the text had been showing: both fully visible.
    label->colour = D3DXCOLOR(1.0f, 1.0f, 1.0f, 1.0f);
    window->colour = D3DXCOLOR(1.0f, 1.0f, 1.0f, 1.0f);
    // Speed 10, factor 1, 0.05 s: each frame takes half of what is left toward the transparent target.
    const float expected[] = {0.5f, 0.25f, 0.125f};
    for (const float alpha : expected) {
        Frame(0.05f);
        mouseOver->Update();
        EXPECT_FLOAT_EQ(label->colour.a, alpha);
        EXPECT_FLOAT_EQ(label->colour.r, alpha);
        EXPECT_FLOAT_EQ(window->colour.a, alpha);
        EXPECT_FALSE(mouseOver->IsTextAnchored());
    }
    EXPECT_EQ(label->targetColour, D3DXCOLOR(0.0f, 0.0f, 0.0f, 0.0f));
}
