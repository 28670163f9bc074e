#include "CountingApplication.h"
#include "FakeDirect3D.h"

#include "core/DataManager.h"
#include "d3d9/null/NullDevice.h"
#include "win32/TestHooks.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

// Two adapters: the first only runs windowed, the second only full screen, so switching modes needs a new
// device. Devices come from the real Direct3D object (the null back end).
class TwoAdapterDirect3D : public FakeDirect3D
{
public:
    explicit TwoAdapterDirect3D(IDirect3D9* real) : real_(real)
    {
        Adapter adapter;
        adapter.desktop = D3DDISPLAYMODE{1024, 768, 60, D3DFMT_X8R8G8B8};
        adapter.modes = {adapter.desktop};
        adapter.devices[D3DDEVTYPE_HAL] = GoodCaps();
        adapters = {adapter, adapter};
        deviceType = [](UINT ordinal, D3DDEVTYPE, D3DFORMAT a, D3DFORMAT b, bool windowed) {
            return a == b && windowed == (ordinal == 0);
        };
    }
    ~TwoAdapterDirect3D() { real_->Release(); }

    HRESULT CreateDevice(UINT adapter, D3DDEVTYPE, HWND focus, DWORD flags, D3DPRESENT_PARAMETERS* pp,
                         IDirect3DDevice9** device) override
    {
        ++createCalls;
        lastAdapter = adapter;
        if (failCreate) {
            if (device) {
                *device = nullptr;
            }
            return D3DERR_NOTAVAILABLE;
        }
        return real_->CreateDevice(0, D3DDEVTYPE_HAL, focus, flags, pp, device);
    }

    ULONG Release() override
    {
        if (onRelease) {
            onRelease();
        }
        return FakeDirect3D::Release();
    }

    int createCalls = 0;
    UINT lastAdapter = 99;
    bool failCreate = false;
    std::function<void()> onRelease;

private:
    IDirect3D9* real_;
};

class DeviceRecreationTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Win32TestHooks::ResetWindowLayer();
        Win32TestHooks::CaptureMessageBoxes(true);
        D3D9SetBackEnd(D3D9_BACKEND_NULL);
        NullDevice::ResetForTests();
        app = std::make_unique<CountingApplication>();
        ASSERT_EQ(app->Create(nullptr, nullptr), S_OK);
        // From here on the application sees two adapters.
        fake = std::make_unique<TwoAdapterDirect3D>(app->SwapDirect3D(nullptr));
        ASSERT_EQ(app->Enumeration().Enumerate(fake.get()), S_OK);
        fake->AddRef();
        app->UseDirect3D(fake.get());
        ASSERT_TRUE(app->ChooseStartMode());
        ASSERT_EQ(app->Settings().windowedSetting.adapter->adapterOrdinal, 0u);
        ASSERT_EQ(app->Settings().fullscreenSetting.adapter->adapterOrdinal, 1u);
    }

    void TearDown() override
    {
        app.reset();
        fake.reset();
        DataManager::ResetForTests();
        NullDevice::ResetForTests();
        D3D9SetBackEnd(D3D9_BACKEND_AUTO);
        Win32TestHooks::ResetWindowLayer();
    }

    std::unique_ptr<TwoAdapterDirect3D> fake;
    std::unique_ptr<CountingApplication> app;
};

} // namespace

TEST_F(DeviceRecreationTest, SwitchingToAnotherAdapterCreatesANewDevice)
{
    app->ToggleWindowed(false);
    EXPECT_EQ(fake->createCalls, 1);
    EXPECT_EQ(fake->lastAdapter, 1u);
    EXPECT_NE(app->GetDevice(), nullptr);
    EXPECT_FALSE(app->IsWindowed());
    EXPECT_TRUE(app->IsActive());
    // The old device's resources were let go; the new device's were created afresh, not reset.
    EXPECT_EQ(app->releases, 1);
    EXPECT_EQ(app->resets, 0);
    EXPECT_EQ(app->createDeviceResources, 2);
    EXPECT_EQ(app->GetPresentParameters().Windowed, FALSE);
}

TEST_F(DeviceRecreationTest, AFailedRecreationEndsTheGame)
{
    fake->failCreate = true;
    app->ToggleWindowed(false);
    EXPECT_EQ(fake->createCalls, 1);
    EXPECT_EQ(app->GetDevice(), nullptr);
    EXPECT_FALSE(app->IsActive());
    EXPECT_EQ(app->Run(), 1);
    EXPECT_EQ(app->updates, 0);
    EXPECT_EQ(app->shutdowns, 1);
}

TEST_F(DeviceRecreationTest, CloseLetsGoOfTheDeviceThenTheDirect3DObjectAndPostsTheQuit)
{
    HWND window = app->GetWindow();
    const ULONG refsBefore = fake->refs;
    int releasesOfTheObject = 0;
    bool deviceGoneFirst = false;
    fake->onRelease = [&] {
        ++releasesOfTheObject;
        deviceGoneFirst = app->GetDevice() == nullptr;
    };
    EXPECT_EQ(app->HandleMessage(window, WM_CLOSE, 0, 0), 0);
    fake->onRelease = nullptr;

    EXPECT_EQ(releasesOfTheObject, 1);
    EXPECT_TRUE(deviceGoneFirst);
    EXPECT_EQ(fake->refs, refsBefore - 1);
    EXPECT_EQ(app->BackBuffer(), nullptr);
    EXPECT_EQ(app->GetWindow(), nullptr);
    EXPECT_FALSE(IsWindow(window));
    MSG message{};
    ASSERT_TRUE(PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(message.message, WM_QUIT);
    EXPECT_EQ(message.wParam, 0u);
}
