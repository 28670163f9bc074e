// The board's lit hexes on the OpenGL device: each list's fans joined into one draw give the very picture that
// drawing the fans one by one gives.
#include "battle/HexGrid.h"
#include "core/DataManager.h"
#include "gl/GlDeviceFixture.h"
#include "scene/Camera.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

constexpr UINT SIDE = 192;
constexpr D3DCOLOR GREY = 0xFF606060;

class HexListGlTest : public GlDeviceFixture<UiTest>
{
protected:
    HexListGlTest() : GlDeviceFixture(SIDE, SIDE) { }
    void SetUp() override
    {
        GlDeviceFixture::SetUp();
        if (HasFatalFailure())
            return;
        DataManager::Get()->SetDevice(device);
        grid = std::make_unique<HexGrid>();
        grid->LoadTextures();
        // Straight down on hexes (10, 10) to (10, 13) and their neighbours.
        const Hex& middle = *grid->GetHex(10, 11);
        const D3DXVECTOR3 centre(middle.CentreX(), 0.0f, middle.CentreZ());
        Camera::Get()->SetProjectionFov(static_cast<float>(SIDE), static_cast<float>(SIDE), 10.0f, 20000.0f);
        Camera::Get()->SetEyeAndTarget(centre + D3DXVECTOR3(0.0f, 1200.0f, -1.0f), centre);
        device->SetRenderState(D3DRS_LIGHTING, FALSE);
        device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
        device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
        device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
        device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    }
    void TearDown() override
    {
        grid.reset();
        GlDeviceFixture::TearDown();
    }

    std::unique_ptr<HexGrid> grid;
};

} // namespace

TEST_F(HexListGlTest, JoinedFansShowWhatTheFansShowOneByOne)
{
    // A path of three hexes, team 0's highlight twice over one of them, team 1's over another.
    std::vector<Hex*> path, team0, team1;
    for (int c = 10; c < 13; ++c)
        path.push_back(grid->GetHex(10, c));
    team0 = {grid->GetHex(11, 11), grid->GetHex(11, 11)};
    team1 = {grid->GetHex(9, 12)};
    for (auto* list : {&path, &team0, &team1})
        for (Hex* hex : *list) {
            // Open ground: a path lists only the hexes it may cross.
            hex->defaultType = HEX_OPEN;
            hex->SetType(HEX_OPEN);
            hex->alpha = 0.5f;
            hex->fadeState = FADE_IN;
            hex->targetAlpha = 0.5f;
            hex->WriteAlpha();
        }

    device->BeginScene();
    device->Clear(0, nullptr, D3DCLEAR_TARGET, GREY, 1.0f, 0);
    for (Hex* hex : path)
        grid->AddToList(hex);
    for (Hex* hex : team0)
        grid->AddTeam0Highlight(hex);
    for (Hex* hex : team1)
        grid->AddTeam1Highlight(hex);
    grid->Render();
    device->EndScene();
    const std::vector<D3DCOLOR> joined = ReadBackBuffer();

    // The fans one by one with each list's picture, under the states the grid draws with.
    device->BeginScene();
    device->Clear(0, nullptr, D3DCLEAR_TARGET, GREY, 1.0f, 0);
    D3DXMATRIX identity;
    D3DXMatrixIdentity(&identity);
    device->SetTransform(D3DTS_WORLD, &identity);
    device->SetRenderState(D3DRS_FOGENABLE, FALSE);
    device->SetRenderState(D3DRS_ZENABLE, FALSE);
    device->SetFVF(Hex::FVF);
    const std::pair<HexGrid::TextureSlot, std::vector<Hex*>*> lists[] = {
        {HexGrid::TEXTURE_MOVEMENT, &path}, {HexGrid::TEXTURE_TEAM0, &team0}, {HexGrid::TEXTURE_TEAM1, &team1}};
    for (const auto& [slot, list] : lists) {
        const TextureRecord* record = grid->GetTexture(slot);
        device->SetTexture(0, record ? record->texture : nullptr);
        for (const Hex* hex : *list)
            hex->Draw(device);
    }
    device->SetRenderState(D3DRS_ZENABLE, TRUE);
    device->EndScene();
    const std::vector<D3DCOLOR> oneByOne = ReadBackBuffer();

    size_t differing = 0;
    size_t lit = 0;
    for (size_t i = 0; i < joined.size(); ++i) {
        differing += (joined[i] & 0xFFFFFF) != (oneByOne[i] & 0xFFFFFF) ? 1 : 0;
        lit += (oneByOne[i] & 0xFFFFFF) != (GREY & 0xFFFFFF) ? 1 : 0;
    }
    EXPECT_EQ(differing, 0u);
    EXPECT_GT(lit, joined.size() / 20) << "the hexes cover part of the picture";
}
