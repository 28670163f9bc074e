// The battle HUD across a lost device, a reset and its own end.
#include "ui/BattleHud.h"

#include "battle/BattleSession.h"
#include "battle/BoardView.h"
#include "battle/Hex.h"
#include "battle/TurnOrder.h"
#include "battle/Unit.h"
#include "core/DataManager.h"
#include "core/InputManager.h"
#include "core/ScreenVertex.h"
#include "core/SoundQueue.h"
#include "d3d9/D3D9.h"
#include "dinput/DInput.h"
#include "scene/Camera.h"
#include "scene/WorldQuad.h"
#include "ui/FlatQuadPass.h"
#include "ui/FrontEndLink.h"
#include "ui/GuiButton.h"
#include "ui/MouseOverManager.h"
#include "ui/TextLabel.h"
#include "ui/TextureCoverage.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

void BattleHud::OnLostDevice()
{
    if (!m_initialised)
        Init();
    m_menu->OnLostDevice();
    m_highlight->OnLostDevice();
    for (auto& extra : m_extras)
        extra->OnLostDevice();
    for (TurnOrderEntry& entry : m_turnOrder)
        entry.label->OnLostDevice();
    for (TextLabel* label : {m_unitText.get(), m_secondText.get(), m_turnTimeText.get()})
        label->OnLostDevice();
}

void BattleHud::OnResetDevice()
{
    if (!m_initialised)
        Init();
    m_menu->OnResetDevice();
    m_highlight->OnResetDevice();
    for (auto& extra : m_extras)
        extra->OnResetDevice();
    for (TurnOrderEntry& entry : m_turnOrder)
        entry.label->OnResetDevice();
    for (TextLabel* label : {m_unitText.get(), m_secondText.get(), m_turnTimeText.get()})
        label->OnResetDevice();
    // The layout follows the back buffer by the same factors the widgets applied to themselves.
    DataManager* data = DataManager::Get();
    const unsigned width = data->GetBackBufferWidth();
    const unsigned height = data->GetBackBufferHeight();
    const float sx = width && m_layoutWidth ? static_cast<float>(width) / static_cast<float>(m_layoutWidth) : 1.0f;
    const float sy = height && m_layoutHeight ? static_cast<float>(height) / static_cast<float>(m_layoutHeight) : 1.0f;
    for (LayoutRect& rect : m_layout) {
        rect.x *= sx;
        rect.y *= sy;
    }
    if (width && height) {
        m_layoutWidth = width;
        m_layoutHeight = height;
    }
}

void BattleHud::ReleaseWidgets()
{
    if (m_menu) {
        m_menu->Release();
        m_menu.reset();
    }
    for (auto& extra : m_extras)
        extra->Release();
    m_extras.clear();
    for (auto& picture : m_coverage)
        picture.reset();
    if (m_highlight) {
        m_highlight->Release();
        m_highlight.reset();
    }
    for (auto* label : {&m_unitText, &m_secondText, &m_turnTimeText}) {
        if (*label) {
            (*label)->Unqueue();
            label->reset();
        }
    }
    m_toggles = {};
    m_healthStepTimer = 0.0f;
    m_manaStepTimer = 0.0f;
}

void BattleHud::Destroy()
{
    ReleaseWidgets();
    ClearTurnOrder();
    if (CommandHud::Get() == this)
        CommandHud::Register(nullptr);
    m_initialised = false;
}
