#pragma once
// The base fixture of the application's tests (and the GL tests, which run the whole game): the screenshot
// counter, the frame clock and every global below as at start.

#include "app/FrameClock.h"
#include "app/GameApplication.h"
#include "support/UiTest.h"

class AppTest : public UiTest
{
public:
    static void ResetForTests()
    {
        GameApplication::ResetForTests();
        FrameClock::ResetForTests();
        UiTest::ResetForTests();
    }

protected:
    void SetUp() override { ResetForTests(); }
    void TearDown() override { ResetForTests(); }
};
