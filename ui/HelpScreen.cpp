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

const Page kPages[HelpScreen::kPageCount] = {
    {"Basic Commands & Controls", "1/5", "vh_menu_help_text01.png", 0.27083f},
    {"Interface Features", "2/5", "vh_menu_help_text02.png", 0.40625f},
    {"Deployment Window & Camera", "3/5", "vh_menu_help_text03.png", 0.43333f},
    {"Playing the Game", "4/5", "vh_menu_help_text04.png", 0.54166f},
    {"Status Effects", "5/5", "vh_menu_help_text05.png", 0.27083f},
};

// A quarter of the picture per second while a scroll button is held.
constexpr float kScrollRate = 0.25f;
constexpr float kButtonSize[2] = {16.0f, 15.0f};

std::unique_ptr<GuiButton> MakeButton(const char* texture, float x, float y)
{
    auto button = std::make_unique<GuiButton>();
    button->Create(texture, x, y, kButtonSize[0], kButtonSize[1]);
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
    return index >= 0 && index < kPageCount ? kPages[index].title : "";
}

float HelpScreen::BandHeight(int index)
{
    return index >= 0 && index < kPageCount ? kPages[index].band : 0.0f;
}

GuiElement* HelpScreen::GetPagePicture(int index) const
{
    return index >= 0 && index < kPageCount ? pages[static_cast<size_t>(index)].get() : nullptr;
}

std::array<GuiButton*, 5> HelpScreen::Buttons() const
{
    return {next.get(), previous.get(), scrollDown.get(), scrollUp.get(), close.get()};
}

void HelpScreen::Init()
{
    backdrop = std::make_unique<GuiElement>();
    backdrop->Create("vh_menu_help.tga", 305.0f, 101.0f, 414.0f, 437.0f);
    backdrop->aboveCover = true;

    next = MakeButton("help_next_button.tga", 533.0f, 509.0f);
    std::swap(next->leftU, next->rightU);
    previous = MakeButton("help_next_button.tga", 470.0f, 509.0f);
    scrollDown = MakeButton("help_up_button.tga", 693.0f, 469.0f);
    std::swap(scrollDown->topV, scrollDown->bottomV);
    scrollUp = MakeButton("help_up_button.tga", 693.0f, 157.0f);
    close = MakeButton("help_close_button.tga", 693.0f, 114.0f);

    for (int i = 0; i < kPageCount; ++i) {
        auto picture = std::make_unique<GuiElement>();
        picture->Create(kPages[i].picture, 320.0f, 161.0f, 365.0f, 325.0f);
        picture->aboveCover = true;
        pages[static_cast<size_t>(i)] = std::move(picture);
    }

    counterLabel.Create(24, "Times New Roman", 1.0f, 1.0f, 1.0f, 1.0f, 1);
    counterLabel.SetPosition(497.0f, 504.0f);
    // Wider than the 300 pixels from x 375 that the longest title ("Deployment Window & Camera") filled to its
    // plate's edges; it stops short of the close button at x 693.
    titleRect = RECT{340, 121, 680, 153};
    titleLabel.SetFont(24, "Times New Roman", &titleRect);
    titleLabel.colour = D3DXCOLOR(1.0f, 1.0f, 1.0f, 1.0f);
    titleLabel.baseColour = D3DXCOLOR(1.0f, 1.0f, 1.0f, 1.0f);
    SetPage(0);
}

void HelpScreen::ResetBands()
{
    for (int i = 0; i < kPageCount; ++i) {
        if (GuiElement* picture = pages[static_cast<size_t>(i)].get()) {
            picture->topV = 0.0f;
            picture->bottomV = kPages[i].band;
        }
    }
}

// While the help shows, the pointer over its window is over nothing beneath it.
void HelpScreen::UpdateCover()
{
    MouseOverManager* manager = MouseOverManager::Existing();
    if (!manager)
        return;
    if (visible && backdrop)
        manager->SetCover(RECT{static_cast<LONG>(backdrop->left), static_cast<LONG>(backdrop->top),
                               static_cast<LONG>(backdrop->right), static_cast<LONG>(backdrop->bottom)});
    else
        manager->ClearCover();
}

void HelpScreen::Show(bool show)
{
    visible = show;
    ResetBands();
    UpdateCover();
}

void HelpScreen::SetPage(int p)
{
    if (p >= kPageCount)
        p = 0;
    if (p < 0)
        p = kPageCount - 1;
    page = p;
    titleLabel.SetText(kPages[page].title);
    counterLabel.SetText(kPages[page].counter);
    ResetBands();
}

void HelpScreen::ScrollUp()
{
    GuiElement* picture = pages[static_cast<size_t>(page)].get();
    if (!picture)
        return;
    const float step = DataManager::Get()->GetFrameTime() * kScrollRate;
    if (picture->topV - step < 0.0f) {
        picture->topV = 0.0f;
    } else {
        picture->topV -= step;
        picture->bottomV -= step;
    }
}

void HelpScreen::ScrollDown()
{
    GuiElement* picture = pages[static_cast<size_t>(page)].get();
    if (!picture)
        return;
    const float step = DataManager::Get()->GetFrameTime() * kScrollRate;
    if (picture->bottomV + step > 1.0f) {
        picture->bottomV = 1.0f;
    } else {
        picture->topV += step;
        picture->bottomV += step;
    }
}

void HelpScreen::Update()
{
    if (!visible || !backdrop)
        return;
    if (close->clicked) {
        visible = false;
        UpdateCover();
    }
    if (scrollUp->pressed)
        ScrollUp();
    if (scrollDown->pressed)
        ScrollDown();
    if (next->clicked)
        SetPage(page + 1);
    if (previous->clicked)
        SetPage(page - 1);
    for (GuiButton* button : Buttons())
        button->Update();
    backdrop->Update();
    pages[static_cast<size_t>(page)]->Update();
    titleLabel.Update();
    counterLabel.Update();
}

void HelpScreen::Render()
{
    if (!visible || !backdrop)
        return;
    backdrop->Render();
    pages[static_cast<size_t>(page)]->Render();
    for (GuiButton* button : Buttons())
        button->Render();
    titleLabel.QueueDraw();
    counterLabel.QueueDraw();
}

void HelpScreen::OnLostDevice()
{
    if (!backdrop)
        return;
    backdrop->OnLostDevice();
    for (auto& picture : pages)
        picture->OnLostDevice();
    for (GuiButton* button : Buttons())
        button->OnLostDevice();
    titleLabel.OnLostDevice();
    counterLabel.OnLostDevice();
}

void HelpScreen::OnResetDevice()
{
    if (!backdrop)
        return;
    backdrop->OnResetDevice();
    for (auto& picture : pages)
        picture->OnResetDevice();
    for (GuiButton* button : Buttons())
        button->OnResetDevice();
    titleLabel.OnResetDevice();
    counterLabel.OnResetDevice();
    UpdateCover();
}

void HelpScreen::Release()
{
    if (visible) {
        visible = false;
        UpdateCover();
    }
    if (backdrop)
        backdrop->OnLostDevice();
    for (auto& picture : pages) {
        if (picture)
            picture->OnLostDevice();
        picture.reset();
    }
    for (GuiButton* button : Buttons())
        if (button)
            button->Release();
    titleLabel.Unqueue();
    counterLabel.Unqueue();
    backdrop.reset();
    next.reset();
    previous.reset();
    scrollDown.reset();
    scrollUp.reset();
    close.reset();
}
