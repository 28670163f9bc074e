#include "ui/HelpScreen.h"

#include "core/DataManager.h"
#include "ui/GuiButton.h"
#include "ui/GuiElement.h"
#include "ui/MouseOverManager.h"

#include <utility>

namespace {
struct Page {
    const char* title;
    const char* counter;
    const char* picture;
    float band;
};

const Page PAGES[HelpScreen::PAGE_COUNT] = {
    {"Basic Commands & Controls", "1/5", "vh_menu_help_text01.png", 0.27083f},
    {"Interface Features", "2/5", "vh_menu_help_text02.png", 0.40625f},
    {"Deployment Window & Camera", "3/5", "vh_menu_help_text03.png", 0.43333f},
    {"Playing the Game", "4/5", "vh_menu_help_text04.png", 0.54166f},
    {"Status Effects", "5/5", "vh_menu_help_text05.png", 0.27083f},
};

// A quarter of the picture per second while a scroll button is held.
constexpr float SCROLL_RATE = 0.25f;
constexpr float BUTTON_SIZE[2] = {16.0f, 15.0f};

std::unique_ptr<GuiButton> MakeButton(const char* texture, float x, float y)
{
    auto button = std::make_unique<GuiButton>();
    button->Create(texture, x, y, BUTTON_SIZE[0], BUTTON_SIZE[1]);
    button->aboveCover = true;
    return button;
}
} // namespace

HelpScreen::HelpScreen() = default;

HelpScreen::~HelpScreen()
{
    Release();
}

const char* HelpScreen::PageTitle(int index)
{
    return index >= 0 && index < PAGE_COUNT ? PAGES[index].title : "";
}

float HelpScreen::BandHeight(int index)
{
    return index >= 0 && index < PAGE_COUNT ? PAGES[index].band : 0.0f;
}

GuiElement* HelpScreen::GetPagePicture(int index) const
{
    return index >= 0 && index < PAGE_COUNT ? m_pages[static_cast<size_t>(index)].get() : nullptr;
}

std::array<GuiButton*, 5> HelpScreen::Buttons() const
{
    return {m_next.get(), m_previous.get(), m_scrollDown.get(), m_scrollUp.get(), m_close.get()};
}

void HelpScreen::Init()
{
    m_backdrop = std::make_unique<GuiElement>();
    m_backdrop->Create("vh_menu_help.tga", 305.0f, 101.0f, 414.0f, 437.0f);
    m_backdrop->aboveCover = true;

    m_next = MakeButton("help_next_button.tga", 533.0f, 509.0f);
    std::swap(m_next->leftU, m_next->rightU);
    m_previous = MakeButton("help_next_button.tga", 470.0f, 509.0f);
    m_scrollDown = MakeButton("help_up_button.tga", 693.0f, 469.0f);
    std::swap(m_scrollDown->topV, m_scrollDown->bottomV);
    m_scrollUp = MakeButton("help_up_button.tga", 693.0f, 157.0f);
    m_close = MakeButton("help_close_button.tga", 693.0f, 114.0f);

    // The pages' pictures are tall and seldom read: only the page on show holds its picture (see HoldPicture).
    for (int i = 0; i < PAGE_COUNT; ++i) {
        auto picture = std::make_unique<GuiElement>();
        picture->SetRect(320.0f, 161.0f, 365.0f, 325.0f);
        picture->aboveCover = true;
        m_pages[static_cast<size_t>(i)] = std::move(picture);
    }

    m_counterLabel.Create(24, "Times New Roman", 1.0f, 1.0f, 1.0f, 1.0f, 1);
    m_counterLabel.SetPosition(497.0f, 504.0f);
    // Wider than the 300 pixels from x 375 that the longest title ("Deployment Window & Camera") filled to its
    // plate's edges; it stops short of the close button at x 693.
    m_titleRect = RECT{340, 121, 680, 153};
    m_titleLabel.SetFont(24, "Times New Roman", &m_titleRect);
    m_titleLabel.colour = D3DXCOLOR(1.0f, 1.0f, 1.0f, 1.0f);
    m_titleLabel.baseColour = D3DXCOLOR(1.0f, 1.0f, 1.0f, 1.0f);
    SetPage(0);
}

void HelpScreen::ResetBands()
{
    for (int i = 0; i < PAGE_COUNT; ++i) {
        if (GuiElement* picture = m_pages[static_cast<size_t>(i)].get()) {
            picture->topV = 0.0f;
            picture->bottomV = PAGES[i].band;
        }
    }
}

// While the help shows, the pointer over its window is over nothing beneath it.
void HelpScreen::UpdateCover()
{
    MouseOverManager* manager = MouseOverManager::Existing();
    if (!manager)
        return;
    if (m_visible && m_backdrop)
        manager->SetCover(RECT{static_cast<LONG>(m_backdrop->left), static_cast<LONG>(m_backdrop->top),
                               static_cast<LONG>(m_backdrop->right), static_cast<LONG>(m_backdrop->bottom)});
    else
        manager->ClearCover();
}

// A page's picture is loaded when the page shows and given back when it goes, so that a battle does not carry
// the help's pictures (about 10 MB with their mips) that nobody reads in it.
void HelpScreen::HoldPicture()
{
    for (int i = 0; i < PAGE_COUNT; ++i) {
        GuiElement* picture = m_pages[static_cast<size_t>(i)].get();
        if (!picture)
            continue;
        const bool shown = m_visible && i == m_page;
        if (shown && !picture->GetTextureRecord())
            picture->SetTextureByName(PAGES[i].picture);
        else if (!shown && picture->GetTextureRecord())
            picture->GiveBackTexture();
    }
}

void HelpScreen::Show(bool show)
{
    m_visible = show;
    HoldPicture();
    ResetBands();
    UpdateCover();
}

void HelpScreen::SetPage(int p)
{
    if (p >= PAGE_COUNT)
        p = 0;
    if (p < 0)
        p = PAGE_COUNT - 1;
    m_page = p;
    HoldPicture();
    m_titleLabel.SetText(PAGES[m_page].title);
    m_counterLabel.SetText(PAGES[m_page].counter);
    ResetBands();
}

void HelpScreen::ScrollUp()
{
    GuiElement* picture = m_pages[static_cast<size_t>(m_page)].get();
    if (!picture)
        return;
    const float step = DataManager::Get()->GetFrameTime() * SCROLL_RATE;
    if (picture->topV - step < 0.0f) {
        picture->topV = 0.0f;
    } else {
        picture->topV -= step;
        picture->bottomV -= step;
    }
}

void HelpScreen::ScrollDown()
{
    GuiElement* picture = m_pages[static_cast<size_t>(m_page)].get();
    if (!picture)
        return;
    const float step = DataManager::Get()->GetFrameTime() * SCROLL_RATE;
    if (picture->bottomV + step > 1.0f) {
        picture->bottomV = 1.0f;
    } else {
        picture->topV += step;
        picture->bottomV += step;
    }
}

void HelpScreen::Update()
{
    if (!m_visible || !m_backdrop)
        return;
    if (m_close->clicked) {
        m_visible = false;
        HoldPicture();
        UpdateCover();
    }
    if (m_scrollUp->pressed)
        ScrollUp();
    if (m_scrollDown->pressed)
        ScrollDown();
    if (m_next->clicked)
        SetPage(m_page + 1);
    if (m_previous->clicked)
        SetPage(m_page - 1);
    for (GuiButton* button : Buttons())
        button->Update();
    m_backdrop->Update();
    m_pages[static_cast<size_t>(m_page)]->Update();
    m_titleLabel.Update();
    m_counterLabel.Update();
}

void HelpScreen::Render()
{
    if (!m_visible || !m_backdrop)
        return;
    m_backdrop->Render();
    m_pages[static_cast<size_t>(m_page)]->Render();
    for (GuiButton* button : Buttons())
        button->Render();
    m_titleLabel.QueueDraw();
    m_counterLabel.QueueDraw();
}

void HelpScreen::OnLostDevice()
{
    if (!m_backdrop)
        return;
    m_backdrop->OnLostDevice();
    for (auto& picture : m_pages)
        picture->OnLostDevice();
    for (GuiButton* button : Buttons())
        button->OnLostDevice();
    m_titleLabel.OnLostDevice();
    m_counterLabel.OnLostDevice();
}

void HelpScreen::OnResetDevice()
{
    if (!m_backdrop)
        return;
    m_backdrop->OnResetDevice();
    for (auto& picture : m_pages)
        picture->OnResetDevice();
    for (GuiButton* button : Buttons())
        button->OnResetDevice();
    m_titleLabel.OnResetDevice();
    m_counterLabel.OnResetDevice();
    UpdateCover();
}

void HelpScreen::Release()
{
    if (m_visible) {
        m_visible = false;
        HoldPicture();
        UpdateCover();
    }
    if (m_backdrop)
        m_backdrop->OnLostDevice();
    for (auto& picture : m_pages) {
        if (picture)
            picture->OnLostDevice();
        picture.reset();
    }
    for (GuiButton* button : Buttons())
        if (button)
            button->Release();
    m_titleLabel.Unqueue();
    m_counterLabel.Unqueue();
    m_backdrop.reset();
    m_next.reset();
    m_previous.reset();
    m_scrollDown.reset();
    m_scrollUp.reset();
    m_close.reset();
}
