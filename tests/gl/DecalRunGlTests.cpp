// Decals drawn together on the OpenGL device: a run of shadows joined into one draw gives the very picture that
// drawing them one by one gives.
#include "core/DataManager.h"
#include "gl/GlDeviceFixture.h"
#include "scene/Camera.h"
#include "scene/Decal.h"
#include "scene/DecalManager.h"
#include "support/DataTree.h"
#include "support/TgaFile.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

constexpr UINT SIDE = 128;
constexpr D3DCOLOR GREY = 0xFF808080;

class DecalRunGlTest : public GlDeviceFixture<SceneTest>
{
protected:
    DecalRunGlTest() : GlDeviceFixture(SIDE, SIDE) { }
    void SetUp() override
    {
        GlDeviceFixture::SetUp();
        if (HasFatalFailure())
            return;
        tree = std::make_unique<DataTree>();
        DataManager::Get()->SetDevice(device);
        WriteTexture("halfBlack.tga", 0x80000000);
        WriteTexture("opaqueRed.tga", 0xFFFF0000);
        // Straight down on the flat board from high above: x runs right on screen, z up.
        Camera::Get()->SetProjectionFov(static_cast<float>(SIDE), static_cast<float>(SIDE), 10.0f, 20000.0f);
        Camera::Get()->SetEyeAndTarget(D3DXVECTOR3(0.0f, 1500.0f, -1.0f), D3DXVECTOR3(0.0f, 0.0f, 0.0f));
        device->SetRenderState(D3DRS_LIGHTING, FALSE);
        device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
        device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
        device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
        device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    }
    void TearDown() override
    {
        decals.clear();
        SceneTest::ResetForTests();
        tree.reset();
        GlDeviceFixture::TearDown();
    }

    // A 2 x 2 texture of one ARGB colour.
    void WriteTexture(const std::string& name, D3DCOLOR colour)
    {
        tree->Write(name, Tga32Bytes(2, 2, std::vector<uint32_t>(4, colour)));
    }

    void Add(const char* picture, float x, float z)
    {
        decals.push_back(std::make_unique<Decal>());
        decals.back()->Create(4, x, z, false);
        decals.back()->SetTexture(picture);
    }

    // Where a point of the board lands on the back buffer, in whole pixels.
    std::pair<int, int> PixelOf(float x, float z)
    {
        D3DXMATRIX view, projection, both;
        device->GetTransform(D3DTS_VIEW, &view);
        device->GetTransform(D3DTS_PROJECTION, &projection);
        D3DXMatrixMultiply(&both, &view, &projection);
        const D3DXVECTOR3 at(x, Decal::LIFT, z);
        D3DXVECTOR3 clip;
        D3DXVec3TransformCoord(&clip, &at, &both);
        return {static_cast<int>((clip.x + 1.0f) * 0.5f * SIDE), static_cast<int>((1.0f - clip.y) * 0.5f * SIDE)};
    }

    std::unique_ptr<DataTree> tree;
    std::vector<std::unique_ptr<Decal>> decals;
};

} // namespace

TEST_F(DecalRunGlTest, ShadowsDrawnTogetherShowWhatTheyShowOneByOne)
{
    // Three overlapping shadows (192 wide, 150 apart), a splat of blood over the last, two more shadows.
    Add("halfBlack.tga", -150.0f, 100.0f);
    Add("halfBlack.tga", 0.0f, 100.0f);
    Add("halfBlack.tga", 150.0f, 100.0f);
    Add("opaqueRed.tga", 150.0f, 150.0f);
    Add("halfBlack.tga", -150.0f, -200.0f);
    Add("halfBlack.tga", 0.0f, -200.0f);

    device->BeginScene();
    device->Clear(0, nullptr, D3DCLEAR_TARGET, GREY, 1.0f, 0);
    for (const auto& decal : decals)
        DecalManager::Get()->Submit(decal.get());
    DecalManager::Get()->Render();
    device->EndScene();
    const std::vector<D3DCOLOR> together = ReadBackBuffer();

    // One by one under the states the decals' pass sets.
    device->BeginScene();
    device->Clear(0, nullptr, D3DCLEAR_TARGET, GREY, 1.0f, 0);
    device->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT2);
    device->SetRenderState(D3DRS_ZENABLE, FALSE);
    device->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_BORDER);
    device->SetSamplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_BORDER);
    device->SetFVF(Decal::FVF);
    D3DXMATRIX identity;
    D3DXMatrixIdentity(&identity);
    device->SetTransform(D3DTS_WORLD, &identity);
    for (const auto& decal : decals)
        decal->Draw(device);
    device->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_DISABLE);
    device->EndScene();
    const std::vector<D3DCOLOR> oneByOne = ReadBackBuffer();

    size_t differing = 0;
    for (size_t i = 0; i < together.size(); ++i)
        differing += (together[i] & 0xFFFFFF) != (oneByOne[i] & 0xFFFFFF) ? 1 : 0;
    EXPECT_EQ(differing, 0u);
    // Worked by hand: grey 128 under one shadow of alpha 128 keeps 128 x 127 / 255, 64; under two, 32.
    const auto [ax, ay] = PixelOf(0.0f, 100.0f);
    EXPECT_RGB_NEAR(Pixel(together, ax, ay), 0xFF404040, 2);
    const auto [bx, by] = PixelOf(-75.0f, 100.0f);
    EXPECT_RGB_NEAR(Pixel(together, bx, by), 0xFF202020, 2);
    const auto [cx, cy] = PixelOf(150.0f, 150.0f);
    EXPECT_RGB_NEAR(Pixel(together, cx, cy), 0xFFFF0000, 2);
    const auto [dx, dy] = PixelOf(0.0f, -20.0f);
    EXPECT_RGB_NEAR(Pixel(together, dx, dy), GREY, 0);
}
