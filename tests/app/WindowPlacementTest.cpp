#include "app/Application.h"

#include <gtest/gtest.h>

TEST(WindowPlacement, CentredOnTheDesktop)
{
    // (1920 - 1024) / 2 = 448 and (1080 - 768) / 2 = 156.
    const POINT wide = Application::CentredWindowOrigin(RECT{0, 0, 1920, 1080}, 1024, 768);
    EXPECT_EQ(wide.x, 448);
    EXPECT_EQ(wide.y, 156);
    // (1280 - 1024) / 2 = 128 and (1024 - 768) / 2 = 128.
    const POINT square = Application::CentredWindowOrigin(RECT{0, 0, 1280, 1024}, 1024, 768);
    EXPECT_EQ(square.x, 128);
    EXPECT_EQ(square.y, 128);
}

TEST(WindowPlacement, ASmallDesktopPutsTheWindowInItsCorner)
{
    const POINT small = Application::CentredWindowOrigin(RECT{0, 0, 800, 600}, 1024, 768);
    EXPECT_EQ(small.x, 0);
    EXPECT_EQ(small.y, 0);
    // Wider than the window but not as tall.
    const POINT narrow = Application::CentredWindowOrigin(RECT{0, 0, 1280, 720}, 1024, 768);
    EXPECT_EQ(narrow.x, 128);
    EXPECT_EQ(narrow.y, 0);
}
