// The default data's skinned-mesh effect on the GL device: the arm of the loader tests drawn through the
// bone palette into a 64 x 64 back buffer.
#include "gl/GlDeviceFixture.h"
#include "platform/d3dx9/TestAllocator.h"

#include "d3dx9/D3DX9.h"

#include <string>

namespace {

constexpr D3DCOLOR WHITE = 0xFFFFFFFF;
constexpr D3DCOLOR BLACK = 0xFF000000;
constexpr D3DCOLOR FLAT_NORMAL = 0xFF8080FF;

TEST_F(GlDeviceTest, SkinnedArmDrawsEachBoneWhereItsPaletteMatrixPutsIt)
{
    TestAllocator alloc;
    D3DXFRAME* root = nullptr;
    const std::string arm = std::string(VARNHOLT_FIXTURES) + "/x/arm.x";
    ASSERT_EQ(D3DXLoadMeshHierarchyFromX(arm.c_str(), D3DXMESH_MANAGED, device, &alloc, nullptr, &root, nullptr),
              D3D_OK);
    ID3DXMesh* skin = nullptr;
    ID3DXBuffer* table = nullptr;
    DWORD influences = 0, combinations = 0;
    ASSERT_EQ(root->pMeshContainer->pSkinInfo->ConvertToIndexedBlendedMesh(
                  root->pMeshContainer->MeshData.pMesh, D3DXMESH_MANAGED, 35, nullptr, nullptr, nullptr, nullptr,
                  &influences, &combinations, &table, &skin),
              D3D_OK);
    ASSERT_EQ(combinations, 1u);

    ID3DXEffect* effect = nullptr;
    ID3DXBuffer* errors = nullptr;
    ASSERT_EQ(D3DXCreateEffectFromFileA(device, "Data/Effect Files/SkinnedMesh.fx", nullptr, nullptr, 0, nullptr,
                                        &effect, &errors),
              D3D_OK)
        << (errors ? static_cast<const char*>(errors->GetBufferPointer()) : "");
    ASSERT_EQ(effect->SetTechnique("AnimationTechnique"), D3D_OK);
    ASSERT_NE(effect->GetTechniqueByName("SkinnedCharacterBump"), nullptr);

    // The bind pose's offsets cancel the bones' frames, so the palette is the "view" alone: 0.08 of the
    // size, 0.8 down, 0.5 deep; the lower bone's slot moves its vertices 6 units along x first.
    D3DXMATRIX scale, shift, view, moved, projection;
    D3DXMatrixScaling(&scale, 0.08f, 0.08f, 0.08f);
    D3DXMatrixTranslation(&shift, 0.0f, -0.8f, 0.5f);
    D3DXMatrixMultiply(&view, &scale, &shift);
    D3DXMatrixTranslation(&moved, 6.0f, 0.0f, 0.0f);
    D3DXMatrixMultiply(&moved, &moved, &view);
    D3DXMatrixIdentity(&projection);
    const auto* record = static_cast<D3DXBONECOMBINATION*>(table->GetBufferPointer());
    D3DXMATRIX palette[2];
    for (int slot = 0; slot < 2; ++slot)
        palette[slot] = record->BoneId[slot] == 1 ? moved : view;
    effect->SetMatrixArray("mWorldMatrixArray", palette, 2);
    effect->SetMatrix("projectionMatrix", &projection);
    effect->SetInt("CurNumBones", static_cast<INT>(influences) - 1);
    const float towardsViewer[3] = {0.0f, 0.0f, -1.0f};
    effect->SetFloatArray("ViewLightDirection", towardsViewer, 3);
    IDirect3DTexture9* base = MakeTexture(1, 1, {WHITE});
    IDirect3DTexture9* normals = MakeTexture(1, 1, {FLAT_NORMAL});
    effect->SetTexture("pBaseTexture", base);
    effect->SetTexture("pNormalMapTexture", normals);

    PlainStates();
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, BLACK, 1.0f, 0);
    device->BeginScene();
    UINT passes = 0;
    ASSERT_EQ(effect->Begin(&passes, D3DXFX_DONOTSAVESTATE), D3D_OK);
    for (UINT pass = 0; pass < passes; ++pass) {
        effect->BeginPass(pass);
        skin->DrawSubset(0);
        effect->EndPass();
    }
    effect->End();
    device->EndScene();

    // Upper arm near (0.2, 1) of the model: pixel (32, 55). Forearm near (6.05, 16): pixel (47, 16), and
    // nothing where it stood before the move.
    const std::vector<D3DCOLOR> pixels = ReadBackBuffer();
    EXPECT_RGB_NEAR(Pixel(pixels, 32, 55), WHITE, 3);
    EXPECT_RGB_NEAR(Pixel(pixels, 20, 55), BLACK, 0);
    EXPECT_RGB_NEAR(Pixel(pixels, 47, 16), WHITE, 3);
    EXPECT_RGB_NEAR(Pixel(pixels, 32, 16), BLACK, 0);

    effect->Release();
    base->Release();
    normals->Release();
    table->Release();
    skin->Release();
    D3DXFrameDestroy(root, &alloc);
}

} // namespace
