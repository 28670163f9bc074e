// What the battle HUD adds to a frame at 1024 x 768 on the OpenGL device: a plain scene (clear and one field
// quad, under the game application's states) with the HUD updated and drawn (frame, bars, both text lines, the
// six action buttons with the highlight over one of them; or the ability row with the description box risen
// for the ability under the pointer), against the same frame without the HUD. Each reports, beside the mean,
// the quickest tenth of its frames (p10_ms), which a busy machine disturbs least, and the processor time of all
// the process's threads per frame (cpu_ms).
#include "BenchDevice.h"
#include "battle/Player.h"
#include "battle/TurnOrder.h"
#include "battle/Unit.h"
#include "core/ApplicationLink.h"
#include "core/DataManager.h"
#include "core/ScreenVertex.h"
#include "scene/Camera.h"
#include "ui/BattleHud.h"
#include "ui/ButtonMenu.h"
#include "ui/DescriptionBox.h"
#include "ui/GuiButton.h"
#include "ui/MouseOverManager.h"
#include "ui/TextLabel.h"
#include "win32/InputState.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <memory>
#include <vector>

namespace {

class BenchScreen : public ApplicationLink
{
public:
    BenchScreen()
    {
        parameters.BackBufferWidth = 1024;
        parameters.BackBufferHeight = 768;
    }
    const D3DPRESENT_PARAMETERS& GetPresentParameters() const override { return parameters; }
    D3DFORMAT GetBackBufferFormat() const override { return D3DFMT_X8R8G8B8; }
    void SetGuiScale(float, float) override { }

private:
    D3DPRESENT_PARAMETERS parameters{};
};

double ProcessCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1000.0 + static_cast<double>(now.tv_nsec) / 1.0e6;
}

enum class HudShown
{
    NONE,
    ACTIONS,
    ABILITIES,
};

// The game application's states, under which the overlay is drawn: depth tested, alpha tested (at least 0),
// mirrored and mip-filtered sampling.
void OverlayStates(IDirect3DDevice9* device)
{
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    device->SetRenderState(D3DRS_ZENABLE, TRUE);
    device->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
    device->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);
    device->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_MIRROR);
    device->SetSamplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_MIRROR);
    device->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_LINEAR);
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
}

void HudFrame(benchmark::State& state, HudShown shown)
{
    HWND window = MakeBenchWindow("HudBenchWindow");
    DataManager::ResetForTests();
    Camera::ResetForTests();
    IDirect3D9* d3d = nullptr;
    IDirect3DDevice9* device = window ? MakeDevice(D3D9_BACKEND_GL, window, &d3d) : nullptr;
    if (!device) {
        state.SkipWithError("no OpenGL display (run under xvfb-run)");
        return;
    }
    BenchScreen screen;
    DataManager::Get()->SetDevice(device);
    DataManager::Get()->SetApplication(&screen);
    InputState::Get().Reset();
    MouseOverManager::ResetForTests();
    MouseOverManager::Get()->Init();
    BattleHud::ResetForTests();
    BattleHud* hud = BattleHud::Get();
    auto box = std::make_unique<DescriptionBox>();

    Player side;
    side.team = 0;
    Unit knight;
    UnitRulesState& rules = knight.RulesForSetUp();
    rules.owner = &side;
    rules.turn.myTurn = true;
    for (const char* ability : {"Warcry", "Charge!", "Unrelenting Assault", "Sweeping Strike"})
        knight.Spellcasting().AddAbility(ability, 2);
    rules.stats.health = 45;
    rules.stats.maxHealth = 60;
    rules.stats.mana = 10;
    rules.stats.maxMana = 30;
    rules.stats.actionPoints = 10;
    rules.stats.maxActionPoints = 10;

    const auto step = [&] {
        DataManager::Get()->AdvanceTime(1.0f / 60.0f);
        MouseOverManager::Get()->Update();
        if (shown != HudShown::NONE)
            hud->Update();
        if (shown == HudShown::ABILITIES)
            box->Update();
    };
    const auto click = [&](const GuiButton& button) {
        MouseOverManager::Get()->MovePointer(static_cast<int>(button.left) + 21, static_cast<int>(button.top) + 24);
        step();
        InputState::Get().InjectButton(0, true);
        step();
        InputState::Get().InjectButton(0, false);
        step();
        step();
    };
    if (shown != HudShown::NONE) {
        hud->Init();
        box->Init();
        hud->AddTurnOrderEntry(&knight);
        TurnOrder order;
        order.Add(&knight);
        hud->ShowTurnOrder(order);
        hud->SelectUnit(&knight);
        click(*hud->GetActionButton(CommandHud::ACTION_MOVE));
        MouseOverManager::Get()->MovePointer(512, 200);
        if (shown == HudShown::ABILITIES) {
            click(*hud->GetActionButton(CommandHud::ACTION_SPELLS));
            // Resting on the first ability: its cost in the texts and its description in the box.
            const GuiButton* first = hud->GetMenu()->GetButton(1, 0);
            MouseOverManager::Get()->MovePointer(static_cast<int>(first->left) + 21, static_cast<int>(first->top) + 24);
        }
        for (int i = 0; i < 120; ++i)
            step();
    }

    const float horizon = 330.0f;
    const ScreenVertex field[4] = {
        {0.0f, 768.0f, 0.5f, 1.0f, 0xFF3E5A2C, 0.0f, 1.0f},
        {0.0f, horizon, 0.5f, 1.0f, 0xFF7A9460, 0.0f, 0.0f},
        {1024.0f, 768.0f, 0.5f, 1.0f, 0xFF3E5A2C, 1.0f, 1.0f},
        {1024.0f, horizon, 0.5f, 1.0f, 0xFF7A9460, 1.0f, 0.0f},
    };
    const auto frame = [&] {
        step();
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF6A8CB0, 1.0f, 0);
        device->BeginScene();
        OverlayStates(device);
        device->SetTexture(0, nullptr);
        device->SetFVF(SCREEN_FVF);
        device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, field, sizeof(ScreenVertex));
        // The session draws the description box first: it rises from behind the HUD.
        if (shown == HudShown::ABILITIES)
            box->Render();
        if (shown != HudShown::NONE)
            hud->Render();
        DrawQueuedText();
        device->EndScene();
        device->Present(nullptr, nullptr, nullptr, nullptr);
    };
    for (int warm = 0; warm < 10; ++warm)
        frame();
    std::vector<double> times;
    const double cpuBefore = ProcessCpuMs();
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        frame();
        times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    const double cpuSpent = ProcessCpuMs() - cpuBefore;
    // The quickest tenth of the frames: what a frame costs when the machine lends it the cores it asks for.
    std::sort(times.begin(), times.end());
    if (!times.empty())
        state.counters["p10_ms"] = times[times.size() / 10];
    // The processor time of every thread of the process (the rasteriser's too) per frame: the work a frame asks
    // for, which a busy machine stretches far less than the frame's wall-clock time.
    if (!times.empty())
        state.counters["cpu_ms"] = cpuSpent / static_cast<double>(times.size());

    box.reset();
    BattleHud::ResetForTests();
    MouseOverManager::ResetForTests();
    InputState::Get().Reset();
    DataManager::Get()->ReleaseAll();
    DataManager::ResetForTests();
    Camera::ResetForTests();
    DeviceKit::Release(d3d, device);
    DestroyWindow(window);
    D3D9SetBackEnd(D3D9_BACKEND_AUTO);
}

void BM_HudFrameWithout(benchmark::State& state)
{
    HudFrame(state, HudShown::NONE);
}
BENCHMARK(BM_HudFrameWithout)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();

void BM_HudFrameActions(benchmark::State& state)
{
    HudFrame(state, HudShown::ACTIONS);
}
BENCHMARK(BM_HudFrameActions)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();

void BM_HudFrameAbilities(benchmark::State& state)
{
    HudFrame(state, HudShown::ABILITIES);
}
BENCHMARK(BM_HudFrameAbilities)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();

} // namespace
