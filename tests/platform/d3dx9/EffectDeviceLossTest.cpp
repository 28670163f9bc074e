#include "D3DXDeviceFixture.h"
#include "d3dx9/D3DX9Core.h"

#include <string>

namespace {
class EffectDeviceLoss : public D3DXDeviceTest
{
protected:
    ID3DXEffect* Load()
    {
        ID3DXEffect* effect = nullptr;
        const std::string path = std::string(VARNHOLT_FIXTURES) + "/effects/textured.fx";
        EXPECT_EQ(D3DXCreateEffectFromFileA(device, path.c_str(), nullptr, nullptr, 0, nullptr, &effect, nullptr),
                  D3D_OK);
        return effect;
    }
};
} // namespace

// The post-process pass holds the scene's render target between frames; a window-size change must
// still be able to reset the device once the game has released its own reference.
TEST_F(EffectDeviceLoss, LostDeviceLetsGoOfRenderTargetsButKeepsManagedTextures)
{
    ID3DXEffect* effect = Load();
    ASSERT_NE(effect, nullptr);
    IDirect3DTexture9* target = nullptr;
    ASSERT_EQ(
        device->CreateTexture(64, 64, 1, D3DUSAGE_RENDERTARGET, D3DFMT_X8R8G8B8, D3DPOOL_DEFAULT, &target, nullptr),
        D3D_OK);
    IDirect3DTexture9* managed = nullptr;
    ASSERT_EQ(device->CreateTexture(8, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &managed, nullptr), D3D_OK);

    ASSERT_EQ(effect->SetTexture("pBaseTexture", target), D3D_OK);
    target->Release(); // the game's own reference goes before the reset
    D3DPRESENT_PARAMETERS pp = Parameters();
    EXPECT_EQ(device->Reset(&pp), D3DERR_INVALIDCALL) << "the effect still holds the render target";

    effect->OnLostDevice();
    EXPECT_EQ(device->Reset(&pp), D3D_OK);
    effect->OnResetDevice();

    ASSERT_EQ(effect->SetTexture("pBaseTexture", managed), D3D_OK);
    effect->OnLostDevice();
    managed->AddRef();
    EXPECT_EQ(managed->Release(), 2u) << "the game and the effect still hold the managed texture";
    effect->Release();
    EXPECT_EQ(managed->Release(), 0u);
}
