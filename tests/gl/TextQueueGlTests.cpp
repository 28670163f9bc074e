// The drawing half of the interface's text queue on the GL device: what a frame's queued labels put in a
// 64 x 64 back buffer.
#include "gl/GlDeviceFixture.h"

#include "core/DataManager.h"
#include "ui/TextLabel.h"

#include <algorithm>

namespace {

class TextQueueGlTest : public GlDeviceFixture<UiTest>
{
protected:
    void SetUp() override
    {
        GlDeviceFixture::SetUp();
        if (HasFatalFailure())
            return;
        DataManager::Get()->SetDevice(device);
    }

    // Clears to black, draws the queue, and reads the picture back.
    std::vector<D3DCOLOR> DrawQueue()
    {
        device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
        device->BeginScene();
        DrawQueuedText();
        device->EndScene();
        return ReadBackBuffer();
    }

    struct Lit {
        int left = SIZE;
        int right = -1;
        int brightest = 0;
    };
    Lit Measure(const std::vector<D3DCOLOR>& pixels)
    {
        Lit lit;
        for (int y = 0; y < static_cast<int>(SIZE); ++y) {
            for (int x = 0; x < static_cast<int>(SIZE); ++x) {
                const int red = Red(Pixel(pixels, x, y));
                lit.brightest = std::max(lit.brightest, red);
                if (red > 24) {
                    lit.left = std::min(lit.left, x);
                    lit.right = std::max(lit.right, x);
                }
            }
        }
        return lit;
    }
};

TEST_F(TextQueueGlTest, FixedRectangleLabelsAreCentredAndALabelQueuedTwiceIsDrawnTwice)
{
    RECT box{0, 20, 64, 44};
    TextLabel centred;
    centred.SetFont(16, "Times New Roman", &box);
    centred.SetText("H");
    centred.colour = D3DXCOLOR(1.0f, 1.0f, 1.0f, 0.5f);
    centred.QueueDraw();
    const Lit once = Measure(DrawQueue());
    ASSERT_LT(once.left, once.right) << "the label drew nothing";
    // Centred in the 64 pixels of the box: the lit columns are balanced about column 32.
    EXPECT_NEAR((once.left + once.right + 1) / 2.0, 32.0, 1.5);
    // Alpha blended at half strength over black: no more than half of white.
    EXPECT_LE(once.brightest, 135);
    EXPECT_GE(once.brightest, 120);
    EXPECT_TRUE(QueuedText().empty()) << "drawing empties the queue";

    // Queued twice in one frame: drawn twice, the second half over the first: 128 + 0.5 x 127.
    centred.QueueDraw();
    centred.QueueDraw();
    const Lit twice = Measure(DrawQueue());
    EXPECT_GE(twice.brightest, 185);
    EXPECT_LE(twice.brightest, 197);
}

// A shadowed label lays a dark copy two pixels down and right under its text: over a mid-grey ground the text
// is lit and beside it, where the shadow shows, the ground is darkened; a plain label darkens nothing.
TEST_F(TextQueueGlTest, AShadowedLabelDarkensTheGroundBesideItsText)
{
    RECT box{0, 16, 64, 48};
    TextLabel label;
    label.SetFont(24, "Times New Roman", &box);
    label.SetText("I");
    label.colour = D3DXCOLOR(1.0f, 1.0f, 1.0f, 1.0f);
    const auto draw = [&] {
        device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF808080, 1.0f, 0);
        device->BeginScene();
        label.QueueDraw();
        DrawQueuedText();
        device->EndScene();
        return ReadBackBuffer();
    };
    const auto darkest = [](const std::vector<D3DCOLOR>& pixels) {
        int least = 255;
        for (D3DCOLOR p : pixels)
            least = std::min(least, Red(p));
        return least;
    };
    const std::vector<D3DCOLOR> plain = draw();
    EXPECT_GE(darkest(plain), 0x7E) << "a plain label draws nothing dark";
    label.shadowed = true;
    const std::vector<D3DCOLOR> shadowed = draw();
    EXPECT_LE(darkest(shadowed), 0x40) << "no shadow under the text";
    // The text itself is still drawn, white, over its shadow.
    int brightest = 0;
    for (D3DCOLOR p : shadowed)
        brightest = std::max(brightest, Red(p));
    EXPECT_GE(brightest, 0xF0);
}

} // namespace
