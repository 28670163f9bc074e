#include "NullDeviceTest.h"

#include "d3dx9/D3DX9Core.h"
#include "d3dx9/D3DX9Math.h"

namespace {

template <typename T>
ULONG RefCount(T* object)
{
    object->AddRef();
    return object->Release();
}

class SpriteTest : public D3DXNullDeviceTest
{
protected:
    void SetUp() override
    {
        D3DXNullDeviceTest::SetUp();
        ASSERT_EQ(D3DXCreateSprite(device, &sprite), D3D_OK);
        a = MakeTexture(16, 16);
        b = MakeTexture(32, 8);
    }
    void TearDown() override
    {
        if (sprite != nullptr) {
            EXPECT_EQ(sprite->Release(), 0u);
        }
        if (a != nullptr) {
            EXPECT_EQ(a->Release(), 0u);
        }
        if (b != nullptr) {
            EXPECT_EQ(b->Release(), 0u);
        }
        D3DXNullDeviceTest::TearDown();
    }

    // Draws the textures in the given order, each once, at different places.
    void DrawAll(std::initializer_list<IDirect3DTexture9*> textures)
    {
        float x = 0.0f;
        for (IDirect3DTexture9* texture : textures) {
            const D3DXVECTOR3 position(x, 10.0f, 0.0f);
            EXPECT_EQ(sprite->Draw(texture, nullptr, nullptr, &position, 0xFFFFFFFF), D3D_OK);
            x += 20.0f;
        }
    }

    ID3DXSprite* sprite = nullptr;
    IDirect3DTexture9* a = nullptr;
    IDirect3DTexture9* b = nullptr;
};

TEST_F(SpriteTest, SortedBatchDrawsOncePerTexture)
{
    null->ResetCounters();
    ASSERT_EQ(sprite->Begin(D3DXSPRITE_ALPHABLEND | D3DXSPRITE_SORT_TEXTURE), D3D_OK);
    DrawAll({a, b, a, b, a, b});
    EXPECT_EQ(null->DrawCount(), 0u) << "nothing is drawn before the batch ends";
    ASSERT_EQ(sprite->End(), D3D_OK);
    EXPECT_EQ(null->DrawCount(), 2u);
    EXPECT_EQ(null->PrimitiveCount(), 12u); // six quads of two triangles
    const NullDevice::DrawRecord& last = null->LastDraw();
    EXPECT_EQ(last.fvf, D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1);
    EXPECT_EQ(last.primitiveType, D3DPT_TRIANGLELIST);
    EXPECT_TRUE(last.indexed);
    EXPECT_TRUE(last.userPointer);
    EXPECT_EQ(last.primitiveCount, 6u);
    EXPECT_EQ(last.program, nullptr);
}

TEST_F(SpriteTest, UnsortedBatchKeepsOrderAndJoinsOnlyNeighbours)
{
    null->ResetCounters();
    sprite->Begin(D3DXSPRITE_ALPHABLEND);
    DrawAll({a, b, a, b, a, b});
    sprite->End();
    EXPECT_EQ(null->DrawCount(), 6u);

    null->ResetCounters();
    sprite->Begin(D3DXSPRITE_ALPHABLEND);
    DrawAll({a, a, a, b, b});
    sprite->End();
    EXPECT_EQ(null->DrawCount(), 2u);
    EXPECT_EQ(null->PrimitiveCount(), 10u);
}

TEST_F(SpriteTest, FlushDrawsWhatIsQueuedAndAHugeBatchIsSplitForSixteenBitIndices)
{
    null->ResetCounters();
    sprite->Begin(0);
    DrawAll({a, b});
    EXPECT_EQ(sprite->Flush(), D3D_OK);
    EXPECT_EQ(null->DrawCount(), 2u);
    DrawAll({a});
    sprite->End();
    EXPECT_EQ(null->DrawCount(), 3u);

    // 65536 vertices at most per draw: 16384 quads.
    null->ResetCounters();
    sprite->Begin(D3DXSPRITE_SORT_TEXTURE);
    const D3DXVECTOR3 origin(0.0f, 0.0f, 0.0f);
    for (int i = 0; i < 20000; ++i)
        sprite->Draw(a, nullptr, nullptr, &origin, 0xFFFFFFFF);
    sprite->End();
    EXPECT_EQ(null->DrawCount(), 2u);
    EXPECT_EQ(null->PrimitiveCount(), 40000u);
}

TEST_F(SpriteTest, EndRestoresTheStatesTheBatchChangedUnlessAskedNotTo)
{
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    device->SetFVF(D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1);
    device->SetTexture(0, b);

    sprite->Begin(D3DXSPRITE_ALPHABLEND | D3DXSPRITE_SORT_TEXTURE);
    DrawAll({a});
    sprite->Flush();
    EXPECT_EQ(RenderState(D3DRS_ALPHABLENDENABLE), static_cast<DWORD>(TRUE));
    EXPECT_EQ(RenderState(D3DRS_SRCBLEND), static_cast<DWORD>(D3DBLEND_SRCALPHA));
    EXPECT_EQ(RenderState(D3DRS_DESTBLEND), static_cast<DWORD>(D3DBLEND_INVSRCALPHA));
    EXPECT_EQ(RenderState(D3DRS_ZENABLE), static_cast<DWORD>(D3DZB_FALSE));
    EXPECT_EQ(RenderState(D3DRS_CULLMODE), static_cast<DWORD>(D3DCULL_NONE));
    sprite->End();

    EXPECT_EQ(RenderState(D3DRS_ALPHABLENDENABLE), static_cast<DWORD>(FALSE));
    EXPECT_EQ(RenderState(D3DRS_ZENABLE), static_cast<DWORD>(D3DZB_TRUE));
    EXPECT_EQ(RenderState(D3DRS_CULLMODE), static_cast<DWORD>(D3DCULL_CCW));
    DWORD fvf = 0;
    device->GetFVF(&fvf);
    EXPECT_EQ(fvf, D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1);
    IDirect3DBaseTexture9* bound = nullptr;
    device->GetTexture(0, &bound);
    EXPECT_EQ(bound, b);
    if (bound != nullptr)
        bound->Release();

    sprite->Begin(D3DXSPRITE_ALPHABLEND | D3DXSPRITE_DONOTSAVESTATE);
    DrawAll({a});
    sprite->End();
    EXPECT_EQ(RenderState(D3DRS_ALPHABLENDENABLE), static_cast<DWORD>(TRUE));
    EXPECT_EQ(RenderState(D3DRS_ZENABLE), static_cast<DWORD>(D3DZB_FALSE));
    device->GetFVF(&fvf);
    EXPECT_EQ(fvf, D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1);
    device->SetTexture(0, nullptr);
}

TEST_F(SpriteTest, CallsOutOfOrderAreRefusedAndQueuedTexturesAreHeld)
{
    const D3DXVECTOR3 origin(0.0f, 0.0f, 0.0f);
    null->ResetCounters();
    EXPECT_EQ(sprite->Draw(a, nullptr, nullptr, &origin, 0xFFFFFFFF), D3DERR_INVALIDCALL);
    EXPECT_EQ(sprite->End(), D3DERR_INVALIDCALL);
    EXPECT_EQ(sprite->Flush(), D3DERR_INVALIDCALL);
    ASSERT_EQ(sprite->Begin(0), D3D_OK);
    EXPECT_EQ(sprite->Begin(0), D3DERR_INVALIDCALL);
    EXPECT_EQ(sprite->Draw(nullptr, nullptr, nullptr, &origin, 0xFFFFFFFF), D3DERR_INVALIDCALL);

    EXPECT_EQ(sprite->Draw(a, nullptr, nullptr, nullptr, 0xFFFFFFFF), D3D_OK);
    EXPECT_EQ(RefCount(a), 2u) << "a queued texture stays alive until drawn";
    sprite->End();
    EXPECT_EQ(RefCount(a), 1u);
    EXPECT_EQ(null->DrawCount(), 1u);

    EXPECT_EQ(sprite->OnLostDevice(), D3D_OK);
    EXPECT_EQ(sprite->OnResetDevice(), D3D_OK);
    IDirect3DDevice9* owner = nullptr;
    EXPECT_EQ(sprite->GetDevice(&owner), D3D_OK);
    EXPECT_EQ(owner, device);
    owner->Release();

    D3DXMATRIX scale(1.25f, 0, 0, 0, 0, 1.5f, 0, 0, 0, 0, 1, 0, 3, 4, 0, 1);
    EXPECT_EQ(sprite->SetTransform(&scale), D3D_OK);
    D3DXMATRIX back;
    EXPECT_EQ(sprite->GetTransform(&back), D3D_OK);
    EXPECT_EQ(back, scale);
    EXPECT_EQ(sprite->SetTransform(nullptr), D3DERR_INVALIDCALL);
    ID3DXSprite* none = reinterpret_cast<ID3DXSprite*>(1);
    EXPECT_EQ(D3DXCreateSprite(nullptr, &none), D3DERR_INVALIDCALL);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(D3DXCreateSprite(device, nullptr), D3DERR_INVALIDCALL);
}

} // namespace
