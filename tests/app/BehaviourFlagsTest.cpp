#include "CountingApplication.h"
#include "FakeDirect3D.h"

#include "win32/TestHooks.h"

#include <gtest/gtest.h>

namespace {

// Records what the device was asked for, and refuses it so nothing further runs.
class RecordingDirect3D : public FakeDirect3D
{
public:
    int createCalls = 0;
    UINT adapter = 99;
    D3DDEVTYPE type = D3DDEVTYPE_NULLREF;
    DWORD flags = 0;
    D3DPRESENT_PARAMETERS parameters{};

    HRESULT CreateDevice(UINT a, D3DDEVTYPE t, HWND, DWORD f, D3DPRESENT_PARAMETERS* pp,
                         IDirect3DDevice9** device) override
    {
        ++createCalls;
        adapter = a;
        type = t;
        flags = f;
        if (pp) {
            parameters = *pp;
        }
        if (device) {
            *device = nullptr;
        }
        return D3DERR_NOTAVAILABLE;
    }
};

class BehaviourFlagsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Win32TestHooks::ResetWindowLayer();
        Win32TestHooks::CaptureMessageBoxes(true);
        FakeDirect3D::Adapter adapter;
        adapter.modes = {D3DDISPLAYMODE{1024, 768, 60, D3DFMT_X8R8G8B8}};
        adapter.devices[D3DDEVTYPE_HAL] = FakeDirect3D::GoodCaps();
        fake.adapters = {adapter, adapter};
        ASSERT_EQ(app.Enumeration().Enumerate(&fake), S_OK);
        fake.AddRef();
        app.UseDirect3D(&fake);
        app.SetClientRect(RECT{0, 0, 1024, 768});
        ASSERT_TRUE(app.ChooseStartMode());
    }
    void TearDown() override { Win32TestHooks::ResetWindowLayer(); }

    RecordingDirect3D fake;
    CountingApplication app;
};

} // namespace

TEST_F(BehaviourFlagsTest, EveryDeviceIsMultithreadedAndNeverPure)
{
    // Software 0x20, mixed 0x80, hardware 0x40, each with multithreaded 0x04; pure hardware is created as plain
    // hardware.
    const std::pair<VertexProcessingType, DWORD> cases[] = {
        {SOFTWARE_VP, 0x24}, {MIXED_VP, 0x84}, {HARDWARE_VP, 0x44}, {PURE_HARDWARE_VP, 0x44}};
    for (const auto& [type, flags] : cases) {
        app.Settings().windowedSetting.vertexProcessingType = type;
        EXPECT_EQ(app.CreateDevice(), D3DERR_NOTAVAILABLE);
        EXPECT_EQ(fake.flags, flags) << "type " << type;
    }
    EXPECT_EQ(fake.createCalls, 4);
    EXPECT_EQ(fake.adapter, 0u);
    EXPECT_EQ(fake.type, D3DDEVTYPE_HAL);
    EXPECT_EQ(fake.parameters.Windowed, TRUE);
    // A device that cannot be created is no refusal of the card: no message.
    EXPECT_TRUE(Win32TestHooks::TakeMessageBoxes().empty());
}

TEST_F(BehaviourFlagsTest, AnUnknownVertexProcessingTypeIsRefused)
{
    app.Settings().windowedSetting.vertexProcessingType = static_cast<VertexProcessingType>(4);
    EXPECT_EQ(app.CreateDevice(), E_FAIL);
    EXPECT_EQ(fake.createCalls, 0);
    const auto boxes = Win32TestHooks::TakeMessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Can't Find A Valid Vertex Type.");
    EXPECT_EQ(boxes[0].caption, "Error");
    EXPECT_EQ(boxes[0].type, MB_OK);
    // The quit message is waiting.
    MSG message{};
    ASSERT_TRUE(PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(message.message, WM_QUIT);
}
