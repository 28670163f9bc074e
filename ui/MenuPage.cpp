#include "ui/MenuPage.h"

#include "core/InputManager.h"
#include "core/SoundQueue.h"
#include "ui/FrontEndLink.h"
#include "ui/GuiButton.h"
#include "ui/GuiElement.h"
#include "ui/GuiPanel.h"

namespace {
constexpr int SOUND_CLASS = 9;
constexpr float ICON_EFFECT_SPEED = 8.0f;
} // namespace

MenuPage::MenuPage(MenuManager& menu) : m_menu(menu), m_panel(std::make_unique<GuiPanel>())
{ }

MenuPage::~MenuPage() = default;

void MenuPage::Enter()
{
    m_panel->SetActive(true);
}

void MenuPage::Leave()
{
    m_panel->SetActive(false);
}

void MenuPage::Render()
{
    m_panel->Render();
}

void MenuPage::OnLostDevice()
{
    m_panel->OnLostDevice();
}

void MenuPage::OnResetDevice()
{
    m_panel->OnResetDevice();
}

void MenuPage::Destroy()
{
    m_panel->Destroy();
}

FrontEndLink* MenuPage::Link()
{
    return FrontEndLink::Get();
}

void MenuPage::QueueSound(const char* name)
{
    SoundQueue::Get()->Queue(name, SOUND_CLASS, false, 0.0f);
}

bool MenuPage::KeyDown(int code)
{
    InputManager* input = InputManager::Get();
    return input && input->IsKeyDown(code);
}

void MenuPage::MakeIconButtonsFade()
{
    for (GuiButton* button : m_panel->buttons) {
        button->SetEffectTable(m_effectTable);
        button->GetIcon()->speed = ICON_EFFECT_SPEED;
    }
}
