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
