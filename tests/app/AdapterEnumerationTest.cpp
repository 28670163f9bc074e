#include "FakeDirect3D.h"

#include "app/AdapterEnumeration.h"

#include <gtest/gtest.h>

namespace {

D3DDISPLAYMODE Mode(UINT w, UINT h, UINT hz, D3DFORMAT format)
{
    return D3DDISPLAYMODE{w, h, hz, format};
}

FakeDirect3D::Adapter GoodAdapter()
{
    FakeDirect3D::Adapter adapter;
    adapter.modes = {Mode(1024, 768, 60, D3DFMT_X8R8G8B8)};
    adapter.devices[D3DDEVTYPE_HAL] = FakeDirect3D::GoodCaps();
    return adapter;
}

const DeviceCombination* Find(const DeviceRecord& device, D3DFORMAT adapterFormat, D3DFORMAT backBufferFormat,
                              bool windowed)
{
    for (const auto& c : device.combinations) {
        if (c->adapterFormat == adapterFormat && c->backBufferFormat == backBufferFormat && c->windowed == windowed) {
            return c.get();
        }
    }
    return nullptr;
}

} // namespace

TEST(AdapterEnumeration, DeviceWithoutPureDeviceSupportYieldsNoRecord)
{
    FakeDirect3D fake;
    FakeDirect3D::Adapter weak = GoodAdapter();
    weak.devices[D3DDEVTYPE_HAL].DevCaps = D3DDEVCAPS_HWTRANSFORMANDLIGHT;
    FakeDirect3D::Adapter mixed = GoodAdapter();
    mixed.devices[D3DDEVTYPE_REF] = FakeDirect3D::GoodCaps();
    mixed.devices[D3DDEVTYPE_REF].DevCaps = D3DDEVCAPS_PUREDEVICE;
    fake.adapters = {weak, mixed};

    AdapterEnumeration enumeration;
    ASSERT_EQ(enumeration.Enumerate(&fake), S_OK);

    // The first adapter has no usable device and is left out; the second keeps only its HAL device.
    ASSERT_EQ(enumeration.GetAdapters().size(), 1u);
    const AdapterRecord& adapter = *enumeration.GetAdapters()[0];
    EXPECT_EQ(adapter.adapterOrdinal, 1u);
    EXPECT_EQ(adapter.identifier.VendorId, 0x1001u);
    ASSERT_EQ(adapter.devices.size(), 1u);
    EXPECT_EQ(adapter.devices[0]->deviceType, D3DDEVTYPE_HAL);
    EXPECT_EQ(adapter.devices[0]->adapterOrdinal, 1u);
}

TEST(AdapterEnumeration, DeviceTypesComeHardwareSoftwareReference)
{
    FakeDirect3D fake;
    FakeDirect3D::Adapter adapter = GoodAdapter();
    adapter.devices[D3DDEVTYPE_REF] = FakeDirect3D::GoodCaps();
    adapter.devices[D3DDEVTYPE_SW] = FakeDirect3D::GoodCaps();
    fake.adapters = {adapter};
    AdapterEnumeration enumeration;
    ASSERT_EQ(enumeration.Enumerate(&fake), S_OK);
    ASSERT_EQ(enumeration.GetAdapters().size(), 1u);
    const auto& devices = enumeration.GetAdapters()[0]->devices;
    ASSERT_EQ(devices.size(), 3u);
    EXPECT_EQ(devices[0]->deviceType, D3DDEVTYPE_HAL);
    EXPECT_EQ(devices[1]->deviceType, D3DDEVTYPE_SW);
    EXPECT_EQ(devices[2]->deviceType, D3DDEVTYPE_REF);
    // Each combination carries its device's type.
    EXPECT_EQ(devices[1]->combinations.front()->deviceType, D3DDEVTYPE_SW);
}

TEST(AdapterEnumeration, WithoutADepthFormatNothingIsUsable)
{
    FakeDirect3D fake;
    fake.adapters = {GoodAdapter()};
    fake.depthFormats.clear();
    AdapterEnumeration enumeration;
    ASSERT_EQ(enumeration.Enumerate(&fake), S_OK);
    EXPECT_TRUE(enumeration.GetAdapters().empty());
}

TEST(AdapterEnumeration, WithoutADirect3DObjectItFails)
{
    AdapterEnumeration enumeration;
    EXPECT_EQ(enumeration.Enumerate(nullptr), E_FAIL);
}

TEST(AdapterEnumeration, ModesFormatsAndCombinationsInEnumerationOrder)
{
    FakeDirect3D fake;
    FakeDirect3D::Adapter adapter = GoodAdapter();
    adapter.modes = {Mode(800, 600, 60, D3DFMT_X8R8G8B8), Mode(640, 480, 60, D3DFMT_R5G6B5),
                     Mode(1024, 768, 60, D3DFMT_X8R8G8B8), Mode(640, 480, 60, D3DFMT_A8R8G8B8)};
    fake.adapters = {adapter};
    fake.multiSampleTypes = {{D3DMULTISAMPLE_NONE, 1}, {D3DMULTISAMPLE_2_SAMPLES, 4}};
    fake.depthFormatsWithoutMultisampling = {D3DFMT_D16};

    AdapterEnumeration enumeration;
    ASSERT_EQ(enumeration.Enumerate(&fake), S_OK);
    ASSERT_EQ(enumeration.GetAdapters().size(), 1u);
    const AdapterRecord& record = *enumeration.GetAdapters()[0];

    // Modes come by display format (X8R8G8B8 before R5G6B5), unsorted within a format; A8R8G8B8 is no display
    // format at all.
    ASSERT_EQ(record.displayModes.size(), 3u);
    EXPECT_EQ(record.displayModes[0].Width, 800u);
    EXPECT_EQ(record.displayModes[1].Width, 1024u);
    EXPECT_EQ(record.displayModes[2].Format, D3DFMT_R5G6B5);

    ASSERT_EQ(record.devices.size(), 1u);
    const DeviceRecord& device = *record.devices[0];
    // X8R8G8B8 adapter: A8R8G8B8 then X8R8G8B8 back buffers, each full screen then windowed; then R5G6B5.
    ASSERT_EQ(device.combinations.size(), 6u);
    const D3DFORMAT expected[6][2] = {{D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8}, {D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8},
                                      {D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8}, {D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8},
                                      {D3DFMT_R5G6B5, D3DFMT_R5G6B5},     {D3DFMT_R5G6B5, D3DFMT_R5G6B5}};
    for (size_t i = 0; i < 6; ++i) {
        const DeviceCombination& c = *device.combinations[i];
        EXPECT_EQ(c.adapterFormat, expected[i][0]) << i;
        EXPECT_EQ(c.backBufferFormat, expected[i][1]) << i;
        EXPECT_EQ(c.windowed, i % 2 == 1) << i;
        EXPECT_EQ(c.deviceType, D3DDEVTYPE_HAL);
    }

    const DeviceCombination& c = *device.combinations[0];
    // The fake offers D24S8 and D16; the list keeps the fixed order, D16 first.
    EXPECT_EQ(c.depthStencilFormats, (std::vector<D3DFORMAT>{D3DFMT_D16, D3DFMT_D24S8}));
    EXPECT_EQ(c.multiSampleTypes, (std::vector<D3DMULTISAMPLE_TYPE>{D3DMULTISAMPLE_NONE, D3DMULTISAMPLE_2_SAMPLES}));
    EXPECT_EQ(c.multiSampleQualities, (std::vector<DWORD>{1, 4}));
    ASSERT_EQ(c.conflicts.size(), 1u);
    EXPECT_EQ(c.conflicts[0].first, D3DFMT_D16);
    EXPECT_EQ(c.conflicts[0].second, D3DMULTISAMPLE_2_SAMPLES);
    EXPECT_EQ(c.vertexProcessingTypes,
              (std::vector<VertexProcessingType>{PURE_HARDWARE_VP, HARDWARE_VP, MIXED_VP, SOFTWARE_VP}));
}

TEST(AdapterEnumeration, WindowedCombinationsNeverListTheSlowIntervals)
{
    const UINT immediate = D3DPRESENT_INTERVAL_IMMEDIATE;
    const UINT def = D3DPRESENT_INTERVAL_DEFAULT;
    const UINT one = D3DPRESENT_INTERVAL_ONE;
    const UINT two = D3DPRESENT_INTERVAL_TWO;
    const UINT three = D3DPRESENT_INTERVAL_THREE;
    const UINT four = D3DPRESENT_INTERVAL_FOUR;
    struct Case {
        DWORD caps;
        std::vector<UINT> fullscreen;
        std::vector<UINT> windowed;
    };
    const Case cases[] = {
        {immediate | one | two | three | four, {immediate, def, one, two, three, four}, {immediate, def, one}},
        {0, {def}, {def}},
        {one | three, {def, one, three}, {def, one}},
    };
    for (const Case& test : cases) {
        FakeDirect3D fake;
        FakeDirect3D::Adapter adapter = GoodAdapter();
        adapter.devices[D3DDEVTYPE_HAL].PresentationIntervals = test.caps;
        fake.adapters = {adapter};
        AdapterEnumeration enumeration;
        ASSERT_EQ(enumeration.Enumerate(&fake), S_OK);
        ASSERT_EQ(enumeration.GetAdapters().size(), 1u);
        const DeviceRecord& device = *enumeration.GetAdapters()[0]->devices[0];
        const DeviceCombination* full = Find(device, D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8, false);
        const DeviceCombination* windowed = Find(device, D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8, true);
        ASSERT_TRUE(full && windowed);
        EXPECT_EQ(full->presentIntervals, test.fullscreen) << std::hex << test.caps;
        EXPECT_EQ(windowed->presentIntervals, test.windowed) << std::hex << test.caps;
    }
}
