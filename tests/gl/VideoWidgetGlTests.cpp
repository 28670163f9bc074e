// The intro video's element on the OpenGL device: its first frame on the screen, the right way up.
#include "core/DataManager.h"
#include "gl/GlDeviceFixture.h"
#include "support/AviFile.h"
#include "support/ScratchDirectory.h"
#include "ui/VideoWidget.h"

#include <gtest/gtest.h>

namespace {

class VideoWidgetGl : public GlScreenFixture<UiTest>
{
protected:
    VideoWidgetGl() : GlScreenFixture(SIZE, SIZE) { }
    ScratchDirectory scratch{"video-gl"};
};

TEST_F(VideoWidgetGl, TheFirstFrameFillsTheElementUpright)
{
    // A 4 x 2 picture in quarters: red top-left, green top-right, blue bottom-left, white bottom-right.
    TestAvi::Layout layout;
    layout.width = 4;
    layout.height = 2;
    layout.frames = 3;
    layout.colour = [](int, int x, int y) {
        if (y == 0)
            return x < 2 ? TestAvi::Colour{255, 0, 0} : TestAvi::Colour{0, 255, 0};
        return x < 2 ? TestAvi::Colour{0, 0, 255} : TestAvi::Colour{255, 255, 255};
    };
    const std::string path = scratch.Path("quarters.avi");
    TestAvi::Write(path, TestAvi::Build(layout));

    VideoWidget video;
    video.SetRect(0, 0, float(SIZE), float(SIZE));
    // As the title screen places it: the frames' rows are stored bottom-up, so the texture is read upside down.
    video.topV = 1.0f;
    video.bottomV = 0.0f;
    video.UpdateVertices();
    ASSERT_TRUE(video.Open(path));

    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
    ASSERT_EQ(device->BeginScene(), D3D_OK);
    PlainStates();
    video.Render();
    device->EndScene();

    const std::vector<D3DCOLOR> pixels = ReadBackBuffer();
    ASSERT_EQ(pixels.size(), size_t(SIZE) * SIZE);
    // Full intensity survives the five bits a channel has in the texture.
    EXPECT_RGB_NEAR(Pixel(pixels, 16, 16), 0xFFFF0000u, 8);
    EXPECT_RGB_NEAR(Pixel(pixels, 48, 16), 0xFF00FF00u, 8);
    EXPECT_RGB_NEAR(Pixel(pixels, 16, 48), 0xFF0000FFu, 8);
    EXPECT_RGB_NEAR(Pixel(pixels, 48, 48), 0xFFFFFFFFu, 8);
    video.Close();
}

} // namespace
