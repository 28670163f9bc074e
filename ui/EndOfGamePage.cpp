#include "ui/EndOfGamePage.h"

#include "core/DataManager.h"
#include "ui/FrontEndLink.h"
#include "ui/GuiButton.h"
#include "ui/GuiElement.h"
#include "ui/GuiPanel.h"
#include "ui/MenuManager.h"

#include <utility>

void EndOfGamePage::Build()
{
    DataManager* data = DataManager::Get();
    const float w = static_cast<float>(data->GetBackBufferWidth());
    const float h = static_cast<float>(data->GetBackBufferHeight());
    const D3DXCOLOR white(1.0f, 1.0f, 1.0f, 1.0f);
    GuiPanel* end = m_panel.get();
    const D3DXCOLOR backdrop(0.27f, 0.2f, 0.2f, 0.9f);
    end->AddPlainImage(62, 355, 906, 385, backdrop, backdrop)->effect = EFFECT_FADE_TO_TARGET;
    end->AddImage("TopBar.tga", 168, 355, 690, 5, white);
    end->AddImage("LDragon.tga", 0, h - 468, 307, 468, white);
    GuiElement* rightDragon = end->AddImage("LDragon.tga", w - 307, h - 468, 307, 468, white);
    std::swap(rightDragon->leftU, rightDragon->rightU);
    rightDragon->UpdateVertices();
    end->AddImage("end_game_text.tga", w / 2 - 128, 400, 255, 255, white);
    end->AddImage("end_game_player1.tga", 200, 360, 125, 40, white);
    end->AddImage("end_game_player2.tga", 655, 360, 125, 40, white);
    end->AddImage("PlayerButtonBG.tga", 440, 665, 144, 103, white);
    end->AddIconButton("rematchbutton.tga", 451, 690, 121, 28, white, "rematchbuttonOver.tga", 0, 0);
    end->AddIconButton("quitButton.tga", 451, 731, 121, 28, white, "quitButtonOver.tga", 0, 0);
}

void EndOfGamePage::Update()
{
    const std::vector<GuiButton*>& buttons = m_panel->buttons;
    FrontEndLink* link = Link();
    if (buttons[0]->clicked) {
        if (link) {
            link->ResetLevel();
            link->SetGameState(GAME_STATE_DEPLOYMENT);
        }
        m_menu.RequestPage(SCREEN_DEPLOYMENT);
    } else if (buttons[1]->clicked) {
        if (link)
            link->PostQuit();
    }
}
