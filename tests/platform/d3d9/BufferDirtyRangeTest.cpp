#include "NullDeviceFixture.h"

#include "d3d9/VertexBuffer.h"

using BufferDirtyRange = NullDeviceTest;

TEST_F(BufferDirtyRange, WritingLocksGatherTheBytesToSendAgain)
{
    IDirect3DVertexBuffer9* vb = nullptr;
    ASSERT_EQ(device->CreateVertexBuffer(960, D3DUSAGE_WRITEONLY, 0x142, D3DPOOL_MANAGED, &vb, nullptr), D3D_OK);
    VertexBuffer* buffer = static_cast<VertexBuffer*>(vb);
    UINT begin = 7, end = 7;
    EXPECT_FALSE(buffer->TakeDirtyRange(&begin, &end)) << "nothing written yet (the first upload sends it all)";

    struct Case {
        const char* name;
        std::vector<std::pair<UINT, UINT>> locks; // offset, size (0: to the end)
        DWORD flags;
        bool dirty;
        UINT begin, end;
    };
    const Case cases[] = {
        {"the live quads of a particle system", {{0, 192}}, D3DLOCK_DISCARD, true, 0, 192},
        {"a lock of size 0 reaches the end", {{96, 0}}, 0, true, 96, 960},
        {"two locks make one span", {{480, 96}, {96, 96}}, 0, true, 96, 576},
        {"reading changes nothing", {{0, 0}}, D3DLOCK_READONLY, false, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // Every writing lock also moves the change counter the back end compares against its copy.
        const uint64_t changes = buffer->ChangeCount();
        for (auto [offset, size] : c.locks) {
            void* data = nullptr;
            ASSERT_EQ(vb->Lock(offset, size, &data, c.flags), D3D_OK);
            EXPECT_TRUE(buffer->IsLocked());
            ASSERT_EQ(vb->Unlock(), D3D_OK);
        }
        EXPECT_FALSE(buffer->IsLocked());
        EXPECT_EQ(buffer->ChangeCount() - changes, c.dirty ? c.locks.size() : 0u);
        EXPECT_EQ(buffer->TakeDirtyRange(&begin, &end), c.dirty);
        if (c.dirty) {
            EXPECT_EQ(begin, c.begin);
            EXPECT_EQ(end, c.end);
        }
        EXPECT_FALSE(buffer->TakeDirtyRange(&begin, &end)) << "taken once";
    }
    vb->Release();
}
