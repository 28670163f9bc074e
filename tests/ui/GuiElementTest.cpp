#include "app/DataManager.h"
#include "app/GameApplication.h"
#include "ui/GuiElement.h"
#include "ui/MouseOverManager.h"
#include "win32/InputState.h"
#include "win32/TestHooks.h"

#include <gtest/gtest.h>

#include <memory>

namespace {
// An application that is never started: only its back-buffer size matters to the widgets.
class LayoutApplication : public GameApplication {
public:
    void SetBackBuffer(UINT width, UINT height)
    {
        m_presentParameters.BackBufferWidth = width;
        m_presentParameters.BackBufferHeight = height;
    }
};

class GuiElementTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Win32TestHooks::ResetWindowLayer();
        DataManager::Reset();
        MouseOverManager::ResetForTests();
        GuiElement::ResetLatch();
        app = std::make_unique<LayoutApplication>();
        app->SetBackBuffer(1024, 768);
        MouseOverManager::Get()->Init();
    }
    void TearDown() override
    {
        MouseOverManager::ResetForTests();
        app.reset();
        DataManager::Reset();
        Win32TestHooks::ResetWindowLayer();
    }

    static void Frame(float seconds) { DataManager::Get()->AdvanceTime(seconds); }
    static void Pointer(int x, int y) { MouseOverManager::Get()->MovePointer(x, y); }
    static void LeftButton(bool down) { InputState::Get().InjectButton(0, down); }

    std::unique_ptr<LayoutApplication> app;
};
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

TEST_F(GuiElementTest, TwoFrameAnimationCyclesAtTwelveFramesASecond)
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
}

TEST_F(GuiElementTest, SingleFrameTextureNeverAnimates)
{
    GuiElement element;
    element.SetRect(0.0f, 0.0f, 10.0f, 10.0f);
    element.SetFrameTexture(nullptr);
    element.animate = true;
    Frame(0.2f);
    element.Update();
    element.Update();
    EXPECT_EQ(element.frame, 1u);
    EXPECT_FLOAT_EQ(element.bottomV, 1.0f);
}

TEST_F(GuiElementTest, MovingKeepsTheSizeAndJumpingMovesTheTargetToo)
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
    const POINT p = element.GetTopLeft();
    EXPECT_EQ(p.x, 5);
    EXPECT_EQ(p.y, 6);
}

TEST_F(GuiElementTest, GlidingApproachesTheTargetExponentially)
{
    GuiElement element;
    element.SetRect(0.0f, 0.0f, 10.0f, 10.0f);
    element.gliding = true;
    element.SetTarget(100.0f, 0.0f, false);
    Frame(0.05f); // f = 0.4
    element.Update();
    EXPECT_FLOAT_EQ(element.left, 40.0f);
    EXPECT_FLOAT_EQ(element.right, 50.0f);
    element.Update();
    EXPECT_FLOAT_EQ(element.left, 64.0f);
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
