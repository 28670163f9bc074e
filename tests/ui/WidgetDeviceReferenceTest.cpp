// What the widgets hold of the device. Every resource the caller holds keeps one reference on its device, so the
// device's own count tells what a widget still holds: its buffer is let go when the device is lost and made
// again when it is reset, and nothing is left once the widget goes.
#include "ui/GuiElement.h"
#include "ui/TextLabel.h"

#include "UiDeviceFixture.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

class WidgetDeviceReferenceTest : public UiDeviceTest
{
protected:
    ULONG DeviceReferences()
    {
        device->AddRef();
        return device->Release();
    }
};

} // namespace

TEST_F(WidgetDeviceReferenceTest, AnElementsQuadGoesWithTheLostDeviceComesBackWithTheResetAndGoesWithIt)
{
    // The element's texture stays in the cache after the element goes: the first element fills it.
    std::make_unique<GuiElement>()->Create("mouseOverText.tga", 0.0f, 0.0f, 32.0f, 32.0f);
    const ULONG before = DeviceReferences();
    {
        GuiElement element;
        element.Create("mouseOverText.tga", 0.0f, 0.0f, 32.0f, 32.0f);
        EXPECT_EQ(DeviceReferences(), before + 1);
        element.OnLostDevice();
        EXPECT_EQ(DeviceReferences(), before);
        EXPECT_EQ(element.GetVertexBuffer(), nullptr);
        element.OnResetDevice();
        EXPECT_EQ(DeviceReferences(), before + 1);
        EXPECT_NE(element.GetVertexBuffer(), nullptr);
        // A second rectangle replaces the quad rather than adding one.
        element.SetRect(0.0f, 0.0f, 8.0f, 8.0f);
        EXPECT_EQ(DeviceReferences(), before + 1);
    }
    EXPECT_EQ(DeviceReferences(), before);
}

TEST_F(WidgetDeviceReferenceTest, ALabelsFontIsReplacedNotAddedToAndGoesWithTheLabel)
{
    const ULONG before = DeviceReferences();
    ULONG withFont = 0;
    {
        TextLabel label;
        label.CreateFont(16, "Times New Roman", 1);
        ASSERT_NE(label.GetFont(), nullptr);
        withFont = DeviceReferences();
        EXPECT_GT(withFont, before);
        label.ResizeFont(24, false);
        EXPECT_EQ(DeviceReferences(), withFont) << "the smaller font was not let go";
    }
    EXPECT_EQ(DeviceReferences(), before);
}
