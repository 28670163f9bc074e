#pragma once
// Widgets on a null device: a registered application that only lends its back-buffer size, and the
// device handed to the data manager as the game does. Tear-down fails the test when a widget kept a
// device resource.

#include "core/ApplicationLink.h"
#include "core/DataManager.h"
#include "d3d9/null/NullDevice.h"
#include "support/TestDevice.h"
#include "support/UiTest.h"
#include "ui/MouseOverManager.h"
#include "win32/TestHooks.h"

#include <gtest/gtest.h>

#include <memory>

// Stands in for the game application: lends a back-buffer size and keeps the scale widgets report.
class LayoutApplication : public ApplicationLink
{
public:
    LayoutApplication() { DataManager::Get()->SetApplication(this); }
    ~LayoutApplication()
    {
        if (DataManager::Get()->GetApplication() == this)
            DataManager::Get()->SetApplication(nullptr);
    }
    void SetBackBuffer(UINT width, UINT height)
    {
        m_presentParameters.BackBufferWidth = width;
        m_presentParameters.BackBufferHeight = height;
    }
    const D3DPRESENT_PARAMETERS& GetPresentParameters() const override { return m_presentParameters; }
    D3DFORMAT GetBackBufferFormat() const override { return D3DFMT_X8R8G8B8; }
    void SetGuiScale(float scaleX, float scaleY) override
    {
        guiScaleX = scaleX;
        guiScaleY = scaleY;
    }

    float guiScaleX = 0.0f;
    float guiScaleY = 0.0f;

private:
    D3DPRESENT_PARAMETERS m_presentParameters{};
};

class UiDeviceTest : public UiTest
{
protected:
    void SetUp() override
    {
        ResetForTests();
        ASSERT_NO_FATAL_FAILURE(CreateTestDevice(D3D9_BACKEND_NULL, nullptr, 1024, 768, &d3d, &device));
        DataManager::Get()->SetDevice(device);
        app = std::make_unique<LayoutApplication>();
        app->SetBackBuffer(1024, 768);
    }
    void TearDown() override
    {
        app.reset();
        ResetForTests();
        ReleaseTestDevice(d3d, device);
    }

    NullDevice* Null() const { return dynamic_cast<NullDevice*>(device); }

    IDirect3D9* d3d = nullptr;
    IDirect3DDevice9* device = nullptr;
    std::unique_ptr<LayoutApplication> app;
};
