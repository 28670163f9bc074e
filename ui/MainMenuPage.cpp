#include "ui/MainMenuPage.h"

#include "core/DataManager.h"
#include "ui/FrontEndLink.h"
#include "ui/GuiButton.h"
#include "ui/GuiPanel.h"
#include "ui/MenuManager.h"

MainMenuPage::ButtonPlace MainMenuPage::Place(int row, float w, float h)
{
    const ButtonPlace places[4] = {
        {w / 2 - 74, h / 2 - 129, 149, 61},
        {w / 2 - 70, h / 2 - 71, 142, 53},
        {w / 2 - 71, h / 2 - 11, 143, 56},
        {w / 2 - 74, h / 2 + 43, 149, 51},
    };
    return places[row < 0 ? 0 : row > 3 ? 3 : row];
}

void MainMenuPage::Build()
{
    DataManager* data = DataManager::Get();
    const float w = static_cast<float>(data->GetBackBufferWidth());
    const float h = static_cast<float>(data->GetBackBufferHeight());
    const char* const textures[4][2] = {{"BT_openStart01.tga", "BT_openStart02.tga"},
                                        {"BT_openHelp01.tga", "BT_openHelp02.tga"},
                                        {"BT_openOpt01.tga", "BT_openOpt02.tga"},
                                        {"BT_openQuit01.tga", "BT_openQuit02.tga"}};
    const D3DXCOLOR white(1.0f, 1.0f, 1.0f, 1.0f);
    for (int i = 0; i < 4; ++i) {
        const ButtonPlace b = Place(i, w, h);
        m_panel->AddIconButton(textures[i][0], b.x, b.y, b.w, b.h, white, textures[i][1], 0, 0);
    }
    MakeIconButtonsFade();
}

void MainMenuPage::Update()
{
    const std::vector<GuiButton*>& buttons = m_panel->buttons;
    FrontEndLink* link = Link();
    if (buttons[0]->clicked) {
        QueueSound("UI_CLICK.wav");
        if (link && link->IsBattleStarted()) {
            link->SetGameState(GAME_STATE_BATTLE);
        } else {
            if (link)
                link->SetGameState(GAME_STATE_DEPLOYMENT);
            m_menu.RequestPage(SCREEN_DEPLOYMENT);
        }
    } else if (buttons[1]->clicked) {
        if (link)
            link->ShowHelpScreen(true);
    } else if (buttons[2]->clicked) {
        m_menu.RequestPage(SCREEN_OPTIONS);
    } else if (buttons[3]->clicked) {
        if (link)
            link->PostQuit();
    }
}
