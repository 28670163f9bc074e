#pragma once
// Widgets on a null device: a registered application that only lends its back-buffer size, and the
// device handed to the data manager as the game does. Tear-down fails the test when a widget kept a
// device resource.

#include "app/DataManager.h"
#include "app/GameApplication.h"
#include "d3d9/null/NullDevice.h"
#include "support/TestDevice.h"
#include "ui/MouseOverManager.h"
#include "win32/TestHooks.h"

#include <gtest/gtest.h>

#include <memory>

class LayoutApplication : public GameApplication
{
public:
    void SetBackBuffer(UINT width, UINT height)
    {
        m_presentParameters.BackBufferWidth = width;
        m_presentParameters.BackBufferHeight = height;
    }
};

class UiDeviceTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Win32TestHooks::ResetWindowLayer();
        DataManager::Reset();
        MouseOverManager::ResetForTests();
        ASSERT_NO_FATAL_FAILURE(CreateTestDevice(D3D9_BACKEND_NULL, nullptr, 1024, 768, &d3d, &device));
        DataManager::Get()->SetDevice(device);
        app = std::make_unique<LayoutApplication>();
        app->SetBackBuffer(1024, 768);
    }
    void TearDown() override
    {
        MouseOverManager::ResetForTests();
        app.reset();
        DataManager::Reset();
        ReleaseTestDevice(d3d, device);
        Win32TestHooks::ResetWindowLayer();
    }

    NullDevice* Null() const { return dynamic_cast<NullDevice*>(device); }

    IDirect3D9* d3d = nullptr;
    IDirect3DDevice9* device = nullptr;
    std::unique_ptr<LayoutApplication> app;
};
