#include "ui/GuiPanel.h"

#include "ui/GuiButton.h"

void GuiPanel::SetActive(bool active)
{
    for (GuiButton* button : buttons) {
        button->enabled = active;
        button->ClearFlags();
    }
}

void GuiPanel::Update()
{
    for (GuiButton* button : buttons)
        button->Update();
    for (GuiElement* image : images)
        image->Update();
    for (GuiElement* element : extraElements)
        element->Update();
}

void GuiPanel::Render()
{
    for (GuiElement* image : images)
        image->Render();
    for (size_t i = 0; i < buttons.size(); ++i) {
        if (static_cast<int64_t>(i) == selected)
            continue;
        buttons[i]->Render();
        buttons[i]->RenderIcon();
    }
    if (selected >= 0 && static_cast<size_t>(selected) < buttons.size()) {
        buttons[static_cast<size_t>(selected)]->RenderIcon();
        buttons[static_cast<size_t>(selected)]->Render();
    }
}

void GuiPanel::ResetColours()
{
    for (GuiElement* image : images)
        image->ResetColour();
    for (GuiButton* button : buttons)
        button->ResetColour();
    for (GuiElement* element : extraElements)
        element->ResetColour();
}

int GuiPanel::CountEnabledButtons() const
{
    int count = 0;
    for (const GuiButton* button : buttons)
        if (button->enabled)
            ++count;
    return count;
}

void GuiPanel::OnLostDevice()
{
    for (GuiElement* image : images)
        image->OnLostDevice();
    for (GuiButton* button : buttons)
        button->OnLostDevice();
    for (GuiElement* element : extraElements)
        element->OnLostDevice();
}

void GuiPanel::OnResetDevice()
{
    for (GuiElement* image : images)
        image->OnResetDevice();
    for (GuiButton* button : buttons)
        button->OnResetDevice();
    for (GuiElement* element : extraElements)
        element->OnResetDevice();
}

namespace {

// Button fades in and out, its hover picture appears at once and fades out.
constexpr uint32_t ICON_BUTTON_EFFECTS[4] = {EFFECT_FADE_ALPHA_TO_BASE, EFFECT_FADE_ALPHA_TO_BASE,
                                             EFFECT_FADE_TO_TARGET, EFFECT_FADE_TO_BASE};

void StartFadedIn(GuiElement* element, const D3DXCOLOR& colour, const D3DXCOLOR& target)
{
    element->baseColour = colour;
    element->colour = D3DXCOLOR(colour.r, colour.g, colour.b, 0.0f);
    element->targetColour = target;
}

} // namespace

GuiElement* GuiPanel::AddImage(const std::string& texture, float x, float y, float w, float h, const D3DXCOLOR& colour)
{
    auto* image = new GuiElement();
    image->Create(texture, x, y, w, h);
    StartFadedIn(image, colour, D3DXCOLOR(1.0f, 1.0f, 1.0f, 1.0f));
    images.push_back(image);
    return image;
}

GuiElement* GuiPanel::AddExtraElement(const std::string& texture, float x, float y, float w, float h,
                                      const D3DXCOLOR& colour)
{
    auto* element = new GuiElement();
    element->Create(texture, x, y, w, h);
    StartFadedIn(element, colour, D3DXCOLOR(1.0f, 1.0f, 1.0f, 1.0f));
    extraElements.push_back(element);
    return element;
}

GuiElement* GuiPanel::AddPlainImage(float x, float y, float w, float h, const D3DXCOLOR& colour,
                                    const D3DXCOLOR& target)
{
    auto* image = new GuiElement();
    image->SetRect(x, y, w, h);
    StartFadedIn(image, colour, target);
    images.push_back(image);
    return image;
}

GuiButton* GuiPanel::AddButton(const std::string& texture, float x, float y, float w, float h, const D3DXCOLOR& colour)
{
    auto* button = new GuiButton();
    button->Create(texture, x, y, w, h);
    StartFadedIn(button, colour, D3DXCOLOR(1.0f, 1.0f, 1.0f, 1.0f));
    buttons.push_back(button);
    return button;
}

GuiButton* GuiPanel::AddIconButton(const std::string& texture, float x, float y, float w, float h,
                                   const D3DXCOLOR& colour, const std::string& icon, int iconX, int iconY)
{
    GuiButton* button = AddButton(texture, x, y, w, h, colour);
    button->CreateIcon(icon, iconX, iconY);
    button->SetEffectTable(ICON_BUTTON_EFFECTS);
    return button;
}

void GuiPanel::Destroy()
{
    for (GuiButton* button : buttons) {
        button->Release();
        delete button;
    }
    for (GuiElement* image : images) {
        image->OnLostDevice();
        delete image;
    }
    for (GuiElement* element : extraElements) {
        element->OnLostDevice();
        delete element;
    }
    buttons.clear();
    images.clear();
    extraElements.clear();
}
