#include "ui/TitlePage.h"

#include "core/DataManager.h"
#include "ui/FrontEndLink.h"
#include "ui/MenuManager.h"
#include "ui/VideoWidget.h"

#include <utility>

namespace {
constexpr int KEY_SPACE = 0x39;
constexpr int KEY_ESCAPE = 0x01;
} // namespace

TitlePage::~TitlePage()
{
    CloseVideo();
}

void TitlePage::Build()
{
    DataManager* data = DataManager::Get();
    const float w = static_cast<float>(data->GetBackBufferWidth());
    const float h = static_cast<float>(data->GetBackBufferHeight());
    const D3DXCOLOR white(1.0f, 1.0f, 1.0f, 1.0f);
    m_introVideo = new VideoWidget();
    m_introVideo->Create("", 0, 0, w, h);
    std::swap(m_introVideo->topV, m_introVideo->bottomV);
    m_introVideo->UpdateVertices();
    m_introVideo->colour = white;
    m_introVideo->baseColour = white;
    m_introVideo->targetColour = white;
    m_introVideo->effect = EFFECT_FADE_ALPHA_TO_BASE;
    if (!m_introVideo->Open("GameIntro.avi"))
        CloseVideo();
}

void TitlePage::CloseVideo()
{
    if (!m_introVideo)
        return;
    m_introVideo->Close();
    delete m_introVideo;
    m_introVideo = nullptr;
}

void TitlePage::LeaveTitle()
{
    if (FrontEndLink* link = Link())
        link->SetGameState(GAME_STATE_MAIN_MENU);
    m_menu.RequestPage(SCREEN_MAIN_MENU);
}

void TitlePage::Update()
{
    if (KeyDown(KEY_SPACE) || KeyDown(KEY_ESCAPE)) {
        LeaveTitle();
        return;
    }
    if (m_introVideo) {
        m_introVideo->Update();
        if (m_introVideo->finished)
            LeaveTitle();
    }
}

// The video plays its last frame until the main menu shows: closed at once, it would leave a frame of nothing.
void TitlePage::Leave()
{
    MenuPage::Leave();
    CloseVideo();
}

void TitlePage::Render()
{
    if (m_introVideo)
        m_introVideo->Render();
}

void TitlePage::OnLostDevice()
{
    MenuPage::OnLostDevice();
    if (m_introVideo)
        m_introVideo->OnLostDevice();
}

void TitlePage::OnResetDevice()
{
    MenuPage::OnResetDevice();
    if (m_introVideo)
        m_introVideo->OnResetDevice();
}

void TitlePage::Destroy()
{
    MenuPage::Destroy();
    CloseVideo();
}
