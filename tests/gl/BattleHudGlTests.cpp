// The battle HUD drawn from the default data at 1024 x 768 on the GL device over a plain scene with a unit of
// each side: once with the action row (Move chosen) and once with the ability row open. Both pictures are left
// under the build directory ("ui_battle_hud_actions.png", "ui_battle_hud_abilities.png") to look at; the
// buttons, bars and texts must show where the HUD places them.
#include "battle/BattleSession.h"
#include "battle/Player.h"
#include "battle/TurnOrder.h"
#include "battle/Unit.h"
#include "core/ApplicationLink.h"
#include "core/DataManager.h"
#include "core/InputManager.h"
#include "core/ScreenVertex.h"
#include "d3dx9/D3DX9.h"
#include "gl/GlDeviceFixture.h"
#include "scene/AnimatedMesh.h"
#include "scene/Camera.h"
#include "scene/MeshOwner.h"
#include "ui/BattleHud.h"
#include "ui/ButtonMenu.h"
#include "ui/DescriptionBox.h"
#include "ui/GuiButton.h"
#include "ui/MouseOverManager.h"
#include "ui/TextLabel.h"
#include "win32/InputState.h"
#include "win32/Win32.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr UINT WIDTH = 1024;
constexpr UINT HEIGHT = 768;

class NoOwner : public MeshOwner
{
public:
    ID3DXEffect* GetOwnerEffect() const override { return nullptr; }
};

// A unit of the battle standing at a world point, with its class's model and abilities.
class SceneUnit : public Unit
{
public:
    SceneUnit(Player* side, const char* model, float x, float turn)
    {
        RulesForSetUp().owner = side;
        mesh.LoadWithEffect(&meshOwner, model, true);
        D3DXMATRIX rotation, translation;
        D3DXMatrixRotationY(&rotation, turn);
        D3DXMatrixTranslation(&translation, x, 0.0f, 0.0f);
        D3DXMatrixMultiply(&place, &rotation, &translation);
        m_position = D3DXVECTOR3(x, 0.0f, 0.0f);
    }
    ~SceneUnit() override { mesh.Release(); }

    NoOwner meshOwner;
    AnimatedMesh mesh;
    D3DXMATRIX place;
};

class BattleHudGl : public GlScreenFixture<UiTest>
{
protected:
    BattleHudGl() : GlScreenFixture(WIDTH, HEIGHT) { }
    void SetUp() override
    {
        GlScreenFixture::SetUp();
        if (HasFatalFailure())
            return;
        MouseOverManager::Get()->Init();
    }
    void TearDown() override
    {
        box.reset();
        GlScreenFixture::TearDown();
    }

    void Step()
    {
        DataManager::Get()->AdvanceTime(1.0f / 60.0f);
        MouseOverManager::Get()->Update();
        BattleHud::Get()->Update();
        if (box)
            box->Update();
    }
    void Click(const GuiButton& button)
    {
        MouseOverManager::Get()->MovePointer(static_cast<int>(button.left) + 21, static_cast<int>(button.top) + 24);
        Step();
        InputState::Get().InjectButton(0, true);
        Step();
        InputState::Get().InjectButton(0, false);
        Step();
        Step();
    }

    // The overlay's states: alpha blended, untested depth, the texture tinted by the vertex colour.
    void OverlayStates()
    {
        device->SetRenderState(D3DRS_LIGHTING, FALSE);
        device->SetRenderState(D3DRS_ZENABLE, FALSE);
        device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
        device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
        device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
        device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
        device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
        device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
        device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
        device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
        device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
        device->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
        device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
        device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
        device->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_MIRROR);
        device->SetSamplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_MIRROR);
    }

    // The plain scene: a sky over a field, and the two units standing on it.
    void DrawScene(const std::vector<SceneUnit*>& units)
    {
        device->SetRenderState(D3DRS_ZENABLE, TRUE);
        device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
        device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF6A8CB0, 1.0f, 0);
        const float horizon = 330.0f;
        const ScreenVertex ground[4] = {
            {0.0f, static_cast<float>(HEIGHT), 0.999f, 1.0f, 0xFF3E5A2C, 0.0f, 1.0f},
            {0.0f, horizon, 0.999f, 1.0f, 0xFF7A9460, 0.0f, 0.0f},
            {static_cast<float>(WIDTH), static_cast<float>(HEIGHT), 0.999f, 1.0f, 0xFF3E5A2C, 1.0f, 1.0f},
            {static_cast<float>(WIDTH), horizon, 0.999f, 1.0f, 0xFF7A9460, 1.0f, 0.0f},
        };
        device->SetTexture(0, nullptr);
        device->SetFVF(SCREEN_FVF);
        device->SetRenderState(D3DRS_ZENABLE, FALSE);
        device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, ground, sizeof(ScreenVertex));
        device->SetRenderState(D3DRS_ZENABLE, TRUE);
        for (SceneUnit* unit : units)
            unit->mesh.DrawFrames();
    }

    // The overlay as the session draws it: the description box, then the HUD over it, then the queued texts.
    std::vector<D3DCOLOR> Shoot(const std::vector<SceneUnit*>& units, bool withHud, const char* file,
                                bool withBox = true)
    {
        device->BeginScene();
        DrawScene(units);
        if (withHud) {
            OverlayStates();
            if (box && withBox)
                box->Render();
            BattleHud::Get()->Render();
            DrawQueuedText();
        }
        device->EndScene();
        std::vector<D3DCOLOR> pixels;
        IDirect3DSurface9* back = nullptr;
        device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back);
        D3DLOCKED_RECT locked{};
        if (back && back->LockRect(&locked, nullptr, D3DLOCK_READONLY) == D3D_OK) {
            pixels.resize(static_cast<size_t>(WIDTH) * HEIGHT);
            for (UINT y = 0; y < HEIGHT; ++y)
                std::memcpy(&pixels[static_cast<size_t>(y) * WIDTH],
                            static_cast<const uint8_t*>(locked.pBits) + static_cast<size_t>(y) * locked.Pitch,
                            WIDTH * 4);
            back->UnlockRect();
            if (file) {
                EXPECT_EQ(D3DXSaveSurfaceToFileA(file, D3DXIFF_PNG, back, nullptr, nullptr), D3D_OK) << file;
            }
        }
        if (back)
            back->Release();
        return pixels;
    }

    static D3DCOLOR At(const std::vector<D3DCOLOR>& pixels, int x, int y)
    {
        return pixels[static_cast<size_t>(y) * WIDTH + static_cast<size_t>(x)] & 0xFFFFFF;
    }
    static int Red(D3DCOLOR c) { return (c >> 16) & 0xFF; }
    static int Green(D3DCOLOR c) { return (c >> 8) & 0xFF; }
    static int Blue(D3DCOLOR c) { return c & 0xFF; }
    // Some pixel of the row span [x0, x1) at y is near white: text was drawn there.
    static bool TextInRow(const std::vector<D3DCOLOR>& pixels, int x0, int x1, int y0, int y1)
    {
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) {
                const D3DCOLOR c = At(pixels, x, y);
                if (Red(c) > 200 && Green(c) > 200 && Blue(c) > 200)
                    return true;
            }
        return false;
    }

    std::unique_ptr<DescriptionBox> box;
};

TEST_F(BattleHudGl, ActionAndAbilityRowsShowWhereTheyArePlaced)
{
    Player blue;
    Player red;
    blue.team = 0;
    red.team = 1;
    const D3DXVECTOR3 eye(0.0f, 170.0f, -560.0f), target(0.0f, 110.0f, 0.0f);
    Camera::Get()->SetEyeAndTarget(eye, target);
    Camera::Get()->SetProjectionFov(static_cast<float>(WIDTH), static_cast<float>(HEIGHT), 10.0f, 5000.0f);
    SceneUnit knight(&blue, "knight.x", -130.0f, 1.2f);
    SceneUnit mage(&red, "mage.x", 130.0f, -1.2f);
    ASSERT_TRUE(knight.mesh.IsLoaded());
    ASSERT_TRUE(mage.mesh.IsLoaded());
    // The sun over the camera's shoulder (the camera looks along +z).
    const D3DXVECTOR3 sun = AnimatedMesh::GetLightDirection();
    AnimatedMesh::SetLightDirection(D3DXVECTOR3(0.35f, 0.75f, -0.55f));
    for (const char* ability : {"Warcry", "Charge!", "Unrelenting Assault", "Sweeping Strike"})
        knight.Spellcasting().AddAbility(ability, 2);
    ASSERT_EQ(knight.Rules().abilities.size(), 4u);
    knight.RulesForSetUp().stats = UnitStats{};
    knight.RulesForSetUp().stats.health = 45;
    knight.RulesForSetUp().stats.maxHealth = 60;
    knight.RulesForSetUp().stats.mana = 10;
    knight.RulesForSetUp().stats.maxMana = 30;
    knight.RulesForSetUp().stats.actionPoints = 10;
    knight.RulesForSetUp().stats.maxActionPoints = 10;
    knight.RulesForSetUp().turn.initiative = 0;
    mage.RulesForSetUp().turn.initiative = 40;
    knight.RulesForSetUp().turn.myTurn = true;
    std::vector<SceneUnit*> units{&knight, &mage};
    for (SceneUnit* unit : units)
        unit->mesh.Update(&unit->place);

    BattleHud* hud = BattleHud::Get();
    hud->Init();
    box = std::make_unique<DescriptionBox>();
    box->Init();
    hud->AddTurnOrderEntry(&knight);
    hud->AddTurnOrderEntry(&mage);
    TurnOrder order;
    order.Add(&knight);
    order.Add(&mage);
    order.Sort();
    hud->ShowTurnOrder(order);
    ASSERT_EQ(hud->GetCurrentUnit(), &knight);
    hud->SelectUnit(&knight);
    MouseOverManager::Get()->MovePointer(512, 200);
    for (int i = 0; i < 90; ++i)
        Step();
    Click(*hud->GetActionButton(CommandHud::ACTION_MOVE));
    ASSERT_EQ(knight.Rules().turn.state, SELECTING_MOVE);
    // The pointer goes back to the field, and the unit texts return.
    MouseOverManager::Get()->MovePointer(512, 200);
    for (int i = 0; i < 30; ++i)
        Step();

    const std::vector<D3DCOLOR> plain = Shoot(units, false, nullptr);
    const std::vector<D3DCOLOR> actions = Shoot(units, true, "ui_battle_hud_actions.png");
    ASSERT_EQ(actions.size(), static_cast<size_t>(WIDTH) * HEIGHT);
    ASSERT_EQ(plain.size(), actions.size());
    // The six action buttons at x 366 + 48 i, y 710, 43 x 49: each face covers the field at its centre.
    for (int i = 0; i < 6; ++i) {
        const int x = 366 + 48 * i + 21;
        EXPECT_NE(At(actions, x, 734), At(plain, x, 734)) << "action " << i;
    }
    // The health fill (45 of 60: right edge 121 + 142.5) is red left of the edge and dark beyond it; the mana
    // fill (10 of 30: right edge 714 + 63.3) is blue.
    const D3DCOLOR health = At(actions, 160, 712);
    EXPECT_GT(Red(health), 2 * Green(health));
    EXPECT_GT(Red(health), 120);
    const D3DCOLOR emptyHealth = At(actions, 290, 712);
    EXPECT_LT(Red(emptyHealth), 60);
    const D3DCOLOR mana = At(actions, 740, 712);
    EXPECT_GT(Blue(mana), Red(mana) + 60);
    const D3DCOLOR emptyMana = At(actions, 850, 712);
    EXPECT_LT(Blue(emptyMana), 60);
    // "AP: 10/10" in the unit text's rectangle (432, 660)-(593, 700), "HP: 45/60" below it.
    EXPECT_TRUE(TextInRow(actions, 432, 593, 660, 684));
    EXPECT_TRUE(TextInRow(actions, 432, 593, 685, 703));
    // The highlight rings the chosen Move button: its edge is lit gold.
    const D3DCOLOR ring = At(actions, 367, 734);
    EXPECT_GT(Red(ring), 150);
    EXPECT_GT(Green(ring), 120);
    // The main-menu button in the top right corner.
    EXPECT_NE(At(actions, 961, 24), At(plain, 961, 24));
    // Above the frame the field is untouched.
    EXPECT_EQ(At(actions, 512, 560), At(plain, 512, 560));
    // The frame's raised centre (x 340 to 686 from row 630, its rounded top aside) is opaque and hides the box
    // waiting below it from its top at 640; the translucent wings and the screen beside the frame hide nothing.
    const float hidden = hud->HiddenFrom(346.0f, 682.0f);
    EXPECT_GT(hidden, 630.0f);
    EXPECT_LE(hidden, 640.0f);
    EXPECT_EQ(hud->HiddenFrom(150.0f, 300.0f), 768.0f);
    EXPECT_EQ(hud->HiddenFrom(20.0f, 100.0f), 768.0f);
    // The description box waits below, wholly hidden behind the frame.
    const std::vector<D3DCOLOR> withoutBox = Shoot(units, true, nullptr, false);
    ASSERT_EQ(withoutBox.size(), actions.size());
    size_t differing = 0;
    for (size_t i = 0; i < actions.size(); ++i)
        differing += (actions[i] & 0xFFFFFF) != (withoutBox[i] & 0xFFFFFF);
    EXPECT_EQ(differing, 0u);

    Click(*hud->GetActionButton(CommandHud::ACTION_SPELLS));
    ASSERT_EQ(hud->GetMenu()->GetCurrentRow(), 1u);
    // The pointer rests on the first ability: its costs show and its description rises.
    const GuiButton& first = *hud->GetMenu()->GetButton(1, 0);
    MouseOverManager::Get()->MovePointer(static_cast<int>(first.left) + 21, static_cast<int>(first.top) + 24);
    for (int i = 0; i < 90; ++i)
        Step();
    ASSERT_EQ(box->GetShownButton(), &first);
    const std::vector<D3DCOLOR> abilities = Shoot(units, true, "ui_battle_hud_abilities.png");
    ASSERT_EQ(abilities.size(), plain.size());
    // Four abilities at x 367 + 48 i, the empty fifth place, and Back at 607.
    for (int i = 0; i < 4; ++i) {
        const int x = 367 + 48 * i + 21;
        EXPECT_NE(At(abilities, x, 734), At(plain, x, 734)) << "ability " << i;
        EXPECT_NE(At(abilities, x, 734), At(actions, x, 734)) << "ability " << i;
    }
    EXPECT_NE(At(abilities, 628, 734), At(plain, 628, 734));
    EXPECT_NE(At(abilities, 628, 734), At(actions, 628, 734));
    // The box stands at (346, 310), 336 x 391, over the field.
    EXPECT_NE(At(abilities, 514, 420), At(plain, 514, 420));
    EXPECT_EQ(At(abilities, 300, 420), At(plain, 300, 420));
    // Warcry costs 6 of the knight's 10 points and no mana.
    EXPECT_EQ(hud->GetUnitText()->GetText(), "AP Cost: 6");
    EXPECT_EQ(hud->GetSecondText()->GetText(), "MP Cost: 0");
    AnimatedMesh::SetLightDirection(sun);
}

} // namespace
