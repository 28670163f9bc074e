#include "app/Application.h"

#include <gtest/gtest.h>

TEST(WindowPlacement, CentredOnTheDesktopOrInTheCornerOfOneTooSmall)
{
    struct Case {
        LONG width, height;
        POINT origin;
    };
    // A 1024 x 768 window: (1920 - 1024) / 2 = 448 and (1080 - 768) / 2 = 156; (1280 - 1024) / 2 = 128 and
    // (1024 - 768) / 2 = 128; a desktop narrower or lower than the window puts it at 0 along that side.
    const Case cases[] = {
        {1920, 1080, {448, 156}}, {1280, 1024, {128, 128}}, {800, 600, {0, 0}}, {1280, 720, {128, 0}}};
    for (const Case& c : cases) {
        const POINT origin = Application::CentredWindowOrigin(RECT{0, 0, c.width, c.height}, 1024, 768);
        EXPECT_EQ(origin.x, c.origin.x) << c.width << "x" << c.height;
        EXPECT_EQ(origin.y, c.origin.y) << c.width << "x" << c.height;
    }
}
