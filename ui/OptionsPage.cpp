#include "ui/OptionsPage.h"

#include "core/DataManager.h"
#include "ui/FrontEndLink.h"
#include "ui/GuiButton.h"
#include "ui/GuiPanel.h"
#include "ui/MainMenuPage.h"
#include "ui/MenuManager.h"

void OptionsPage::Build()
{
    DataManager* data = DataManager::Get();
    const float w = static_cast<float>(data->GetBackBufferWidth());
    const float h = static_cast<float>(data->GetBackBufferHeight());
    const char* const textures[4][2] = {{"800.tga", "800_over.tga"},
                                        {"1024.tga", "1024_over.tga"},
                                        {"1280.tga", "1280_over.tga"},
                                        {"back.tga", "back_over.tga"}};
    const D3DXCOLOR white(1.0f, 1.0f, 1.0f, 1.0f);
    for (int i = 0; i < 4; ++i) {
        const MainMenuPage::ButtonPlace b = MainMenuPage::Place(i, w, h);
        m_panel->AddIconButton(textures[i][0], b.x, b.y, b.w, b.h, white, textures[i][1], 0, 0);
    }
    MakeIconButtonsFade();
}

void OptionsPage::Update()
{
    const std::vector<GuiButton*>& buttons = m_panel->buttons;
    FrontEndLink* link = Link();
    const int sizes[3][2] = {{800, 600}, {1024, 768}, {1280, 1024}};
    for (int i = 0; i < 3; ++i)
        if (buttons[static_cast<size_t>(i)]->clicked && link)
            link->SetWindowSize(sizes[i][0], sizes[i][1]);
    if (buttons[3]->clicked)
        m_menu.RequestPage(SCREEN_MAIN_MENU);
}
