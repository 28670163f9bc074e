#include "NullDeviceFixture.h"

#include "d3d9/ShaderProgram.h"

#include <cstring>

using Resources = NullDeviceTest;

TEST_F(Resources, VertexBufferContentsSurviveUnlock)
{
    IDirect3DVertexBuffer9* vb = nullptr;
    ASSERT_EQ(device->CreateVertexBuffer(4 * 28, D3DUSAGE_WRITEONLY, 0x144, D3DPOOL_MANAGED, &vb, nullptr), D3D_OK);
    D3DVERTEXBUFFER_DESC desc;
    ASSERT_EQ(vb->GetDesc(&desc), D3D_OK);
    EXPECT_EQ(desc.Size, 112u);
    EXPECT_EQ(desc.FVF, 0x144u);
    EXPECT_EQ(desc.Pool, D3DPOOL_MANAGED);

    void* data = nullptr;
    ASSERT_EQ(vb->Lock(0, 0, &data, 0), D3D_OK);
    for (int i = 0; i < 112; ++i)
        static_cast<uint8_t*>(data)[i] = static_cast<uint8_t>(i);
    ASSERT_EQ(vb->Unlock(), D3D_OK);

    // A partial lock points at its offset; what was written before is there.
    ASSERT_EQ(vb->Lock(28, 28, &data, D3DLOCK_READONLY), D3D_OK);
    EXPECT_EQ(static_cast<uint8_t*>(data)[0], 28);
    EXPECT_EQ(static_cast<uint8_t*>(data)[27], 55);
    ASSERT_EQ(vb->Unlock(), D3D_OK);

    // DISCARD on a managed buffer is a whole rewrite: the new contents are what reads back.
    ASSERT_EQ(vb->Lock(0, 0, &data, D3DLOCK_DISCARD), D3D_OK);
    std::memset(data, 0xAB, 112);
    ASSERT_EQ(vb->Unlock(), D3D_OK);
    ASSERT_EQ(vb->Lock(0, 0, &data, D3DLOCK_READONLY), D3D_OK);
    EXPECT_EQ(static_cast<uint8_t*>(data)[0], 0xAB);
    EXPECT_EQ(static_cast<uint8_t*>(data)[111], 0xAB);
    ASSERT_EQ(vb->Unlock(), D3D_OK);

    EXPECT_EQ(vb->Unlock(), D3DERR_INVALIDCALL); // not locked
    data = &desc;
    EXPECT_EQ(vb->Lock(100, 13, &data, 0), D3DERR_INVALIDCALL); // 113 > 112
    EXPECT_EQ(data, nullptr);
    EXPECT_EQ(vb->Lock(113, 0, &data, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(vb->Release(), 0u);
}

TEST_F(Resources, IndexBuffersOfBothSizes)
{
    IDirect3DIndexBuffer9* ib16 = nullptr;
    IDirect3DIndexBuffer9* ib32 = nullptr;
    ASSERT_EQ(device->CreateIndexBuffer(12, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, &ib16, nullptr), D3D_OK);
    ASSERT_EQ(device->CreateIndexBuffer(24, 0, D3DFMT_INDEX32, D3DPOOL_MANAGED, &ib32, nullptr), D3D_OK);
    D3DINDEXBUFFER_DESC desc;
    ASSERT_EQ(ib32->GetDesc(&desc), D3D_OK);
    EXPECT_EQ(desc.Format, D3DFMT_INDEX32);
    EXPECT_EQ(desc.Size, 24u);

    void* data = nullptr;
    ASSERT_EQ(ib16->Lock(0, 0, &data, 0), D3D_OK);
    const uint16_t indices[6] = {0, 1, 2, 2, 1, 3};
    std::memcpy(data, indices, sizeof(indices));
    ASSERT_EQ(ib16->Unlock(), D3D_OK);
    ASSERT_EQ(ib16->Lock(6, 6, &data, D3DLOCK_READONLY), D3D_OK);
    EXPECT_EQ(static_cast<uint16_t*>(data)[0], 2);
    EXPECT_EQ(static_cast<uint16_t*>(data)[2], 3);
    ib16->Unlock();

    IDirect3DIndexBuffer9* bad = nullptr;
    EXPECT_EQ(device->CreateIndexBuffer(12, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &bad, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->CreateIndexBuffer(0, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, &bad, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(bad, nullptr);
    ib16->Release();
    ib32->Release();
}

TEST_F(Resources, FullMipChain)
{
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(device->CreateTexture(256, 64, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr), D3D_OK);
    ASSERT_EQ(texture->GetLevelCount(), 9u);
    const UINT expected[9][2] = {{256, 64}, {128, 32}, {64, 16}, {32, 8}, {16, 4}, {8, 2}, {4, 1}, {2, 1}, {1, 1}};
    for (UINT level = 0; level < 9; ++level) {
        D3DSURFACE_DESC desc;
        ASSERT_EQ(texture->GetLevelDesc(level, &desc), D3D_OK);
        EXPECT_EQ(desc.Width, expected[level][0]) << "level " << level;
        EXPECT_EQ(desc.Height, expected[level][1]) << "level " << level;
        EXPECT_EQ(desc.Format, D3DFMT_A8R8G8B8);
        EXPECT_EQ(desc.Type, D3DRTYPE_SURFACE);
    }
    D3DSURFACE_DESC desc;
    EXPECT_EQ(texture->GetLevelDesc(9, &desc), D3DERR_INVALIDCALL);

    // Two levels asked for, two made.
    IDirect3DTexture9* two = nullptr;
    ASSERT_EQ(device->CreateTexture(64, 64, 2, 0, D3DFMT_R5G6B5, D3DPOOL_MANAGED, &two, nullptr), D3D_OK);
    EXPECT_EQ(two->GetLevelCount(), 2u);
    // More levels than a chain has is refused (64 x 64 has 7).
    IDirect3DTexture9* tooMany = nullptr;
    EXPECT_EQ(device->CreateTexture(64, 64, 8, 0, D3DFMT_R5G6B5, D3DPOOL_MANAGED, &tooMany, nullptr),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(tooMany, nullptr);
    two->Release();
    texture->Release();
}

TEST_F(Resources, TextureLevelsLockWithTheirPitch)
{
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(device->CreateTexture(16, 8, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr), D3D_OK);
    D3DLOCKED_RECT locked;
    ASSERT_EQ(texture->LockRect(1, &locked, nullptr, 0), D3D_OK);
    EXPECT_EQ(locked.Pitch, 8 * 4); // level 1 is 8 x 4
    auto* row1 = static_cast<uint8_t*>(locked.pBits) + locked.Pitch;
    row1[4] = 0x11; // pixel (1, 1), blue byte
    EXPECT_EQ(texture->LockRect(1, &locked, nullptr, 0), D3DERR_INVALIDCALL) << "locked twice";
    ASSERT_EQ(texture->UnlockRect(1), D3D_OK);

    // A sub-rectangle starts at its own first pixel.
    const RECT rect{1, 1, 3, 3};
    ASSERT_EQ(texture->LockRect(1, &locked, &rect, D3DLOCK_READONLY), D3D_OK);
    EXPECT_EQ(static_cast<uint8_t*>(locked.pBits)[0], 0x11);
    ASSERT_EQ(texture->UnlockRect(1), D3D_OK);

    const RECT outside{0, 0, 9, 4};
    EXPECT_EQ(texture->LockRect(1, &locked, &outside, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(locked.pBits, nullptr);
    EXPECT_EQ(texture->LockRect(5, &locked, nullptr, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(texture->UnlockRect(0), D3DERR_INVALIDCALL);
    texture->Release();
}

TEST_F(Resources, TextureCreationValidates)
{
    IDirect3DTexture9* texture = nullptr;
    EXPECT_EQ(device->CreateTexture(0, 16, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(device->CreateTexture(4097, 16, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(device->CreateTexture(16, 16, 1, 0, D3DFMT_D24S8, D3DPOOL_MANAGED, &texture, nullptr),
              D3DERR_INVALIDCALL);
    // Render targets live in the default pool only.
    EXPECT_EQ(
        device->CreateTexture(16, 16, 1, D3DUSAGE_RENDERTARGET, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr),
        D3DERR_INVALIDCALL);
    EXPECT_EQ(texture, nullptr);
    EXPECT_EQ(device->CreateTexture(16, 16, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, nullptr, nullptr),
              D3DERR_INVALIDCALL);
    for (D3DFORMAT format :
         {D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8, D3DFMT_R5G6B5, D3DFMT_A1R5G5B5, D3DFMT_A4R4G4B4, D3DFMT_L8, D3DFMT_A8}) {
        ASSERT_EQ(device->CreateTexture(4, 4, 1, 0, format, D3DPOOL_MANAGED, &texture, nullptr), D3D_OK) << format;
        D3DLOCKED_RECT locked;
        ASSERT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
        const INT bytes = (format == D3DFMT_L8 || format == D3DFMT_A8)               ? 1
                          : (format == D3DFMT_A8R8G8B8 || format == D3DFMT_X8R8G8B8) ? 4
                                                                                     : 2;
        EXPECT_EQ(locked.Pitch, 4 * bytes) << format;
        texture->UnlockRect(0);
        texture->Release();
    }
}

TEST_F(Resources, SurfaceLevelKeepsItsTextureAlive)
{
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(device->CreateTexture(32, 32, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr), D3D_OK);
    IDirect3DSurface9* level2 = nullptr;
    ASSERT_EQ(texture->GetSurfaceLevel(2, &level2), D3D_OK);
    EXPECT_EQ(texture->Release(), 1u); // the level still holds it
    D3DSURFACE_DESC desc;
    ASSERT_EQ(level2->GetDesc(&desc), D3D_OK);
    EXPECT_EQ(desc.Width, 8u);
    D3DLOCKED_RECT locked;
    ASSERT_EQ(level2->LockRect(&locked, nullptr, 0), D3D_OK);
    EXPECT_EQ(locked.Pitch, 32);
    ASSERT_EQ(level2->UnlockRect(), D3D_OK);
    IDirect3DDevice9* owner = nullptr;
    ASSERT_EQ(level2->GetDevice(&owner), D3D_OK);
    EXPECT_EQ(owner, device);
    owner->Release();
    EXPECT_EQ(level2->Release(), 0u);

    IDirect3DSurface9* none = reinterpret_cast<IDirect3DSurface9*>(&desc);
    ASSERT_EQ(device->CreateTexture(32, 32, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr), D3D_OK);
    EXPECT_EQ(texture->GetSurfaceLevel(1, &none), D3DERR_INVALIDCALL);
    EXPECT_EQ(none, nullptr);
    texture->Release();
}

TEST_F(Resources, GetBackBufferAddsAReference)
{
    IDirect3DSurface9* first = nullptr;
    IDirect3DSurface9* second = nullptr;
    ASSERT_EQ(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &first), D3D_OK);
    ASSERT_EQ(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &second), D3D_OK);
    EXPECT_EQ(first, second);
    EXPECT_EQ(first->Release(), 1u);
    EXPECT_EQ(second->Release(), 0u);
    // The device keeps its back buffer whatever the caller releases.
    ASSERT_EQ(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &first), D3D_OK);
    D3DSURFACE_DESC desc;
    ASSERT_EQ(first->GetDesc(&desc), D3D_OK);
    EXPECT_EQ(desc.Width, 640u);
    EXPECT_EQ(desc.Height, 480u);
    EXPECT_EQ(desc.Usage, D3DUSAGE_RENDERTARGET);
    first->Release();
    EXPECT_EQ(device->GetBackBuffer(0, 1, D3DBACKBUFFER_TYPE_MONO, &first), D3DERR_INVALIDCALL);
    EXPECT_EQ(first, nullptr);
    EXPECT_EQ(device->GetBackBuffer(1, 0, D3DBACKBUFFER_TYPE_MONO, &first), D3DERR_INVALIDCALL);
}

TEST_F(Resources, ResourcesHoldTheDeviceGetReturnsAReference)
{
    // Every resource the caller holds keeps one reference on its device.
    EXPECT_EQ(device->AddRef(), 2u);
    EXPECT_EQ(device->Release(), 1u);
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(device->CreateTexture(8, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr), D3D_OK);
    EXPECT_EQ(device->AddRef(), 3u);
    device->Release();

    // Binding takes no caller reference; Get* hands one out.
    ASSERT_EQ(device->SetTexture(0, texture), D3D_OK);
    IDirect3DBaseTexture9* bound = nullptr;
    ASSERT_EQ(device->GetTexture(0, &bound), D3D_OK);
    EXPECT_EQ(bound, texture);
    EXPECT_EQ(bound->Release(), 1u);
    // Released by the caller while bound: still usable by the device, gone once unbound.
    EXPECT_EQ(texture->Release(), 0u);
    EXPECT_EQ(device->AddRef(), 2u);
    device->Release();
    ASSERT_EQ(device->SetTexture(0, nullptr), D3D_OK);

    IDirect3DSurface9* target = nullptr;
    ASSERT_EQ(device->GetRenderTarget(0, &target), D3D_OK);
    IDirect3DSurface9* backBuffer = nullptr;
    ASSERT_EQ(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &backBuffer), D3D_OK);
    EXPECT_EQ(target, backBuffer);
    target->Release();
    backBuffer->Release();
    IDirect3DSurface9* depth = nullptr;
    ASSERT_EQ(device->GetDepthStencilSurface(&depth), D3D_OK);
    ASSERT_NE(depth, nullptr);
    D3DSURFACE_DESC desc;
    depth->GetDesc(&desc);
    EXPECT_EQ(desc.Format, D3DFMT_D24S8);
    D3DLOCKED_RECT locked;
    EXPECT_EQ(depth->LockRect(&locked, nullptr, 0), D3DERR_INVALIDCALL); // depth is not readable
    depth->Release();
}

TEST_F(Resources, ForeignObjectsAreRefused)
{
    // Objects of another device cannot be bound here.
    IDirect3DDevice9* other = nullptr;
    D3DPRESENT_PARAMETERS pp = WindowedParameters(320, 240);
    ASSERT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp, &other), D3D_OK);
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(other->CreateTexture(8, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr), D3D_OK);
    EXPECT_EQ(device->SetTexture(0, texture), D3DERR_INVALIDCALL);
    IDirect3DSurface9* level = nullptr;
    texture->GetSurfaceLevel(0, &level);
    EXPECT_EQ(device->SetRenderTarget(0, level), D3DERR_INVALIDCALL);
    level->Release();
    texture->Release();
    EXPECT_EQ(other->Release(), 0u);
    EXPECT_EQ(device->SetRenderTarget(0, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->SetTexture(8, nullptr), D3DERR_INVALIDCALL);
}

TEST_F(Resources, TheDeviceHoldsTheProgramItUses)
{
    IShaderProgram* program = nullptr;
    ASSERT_EQ(device->CreateShaderProgram("void main() {}", "void main() {}", &program), D3D_OK);
    ASSERT_NE(program, nullptr);
    EXPECT_TRUE(program->IsValid());
    ASSERT_EQ(device->SetShaderProgram(program), D3D_OK);
    IShaderProgram* current = nullptr;
    ASSERT_EQ(device->GetShaderProgram(&current), D3D_OK);
    EXPECT_EQ(current, program);
    current->Release();
    EXPECT_EQ(program->Release(), 0u); // the device still has it set
    ASSERT_EQ(device->SetShaderProgram(nullptr), D3D_OK);

    EXPECT_EQ(device->CreateShaderProgram(nullptr, "x", &program), D3DERR_INVALIDCALL);
    EXPECT_EQ(program, nullptr);
}
