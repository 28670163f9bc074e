#pragma once
// The base fixture of the core's tests: every case starts and ends with the platform's and the core's globals as
// at start. A fixture of a higher layer derives from that layer's base instead, whose ResetForTests resets its
// own globals and then those below.

#include "core/DataManager.h"
#include "core/InputManager.h"
#include "core/SoundQueue.h"
#include "d3d9/D3D9.h"
#include "d3d9/null/NullDevice.h"
#include "win32/TestHooks.h"

#include <gtest/gtest.h>

class CoreTest : public ::testing::Test
{
public:
    static void ResetForTests()
    {
        SoundQueue::ResetForTests();
        InputManager::ResetForTests();
        DataManager::ResetForTests();
        NullDevice::ResetForTests();
        D3D9SetBackEnd(D3D9_BACKEND_AUTO);
        Win32TestHooks::ResetWindowLayer();
    }

protected:
    void SetUp() override { ResetForTests(); }
    void TearDown() override { ResetForTests(); }
};
