#pragma once

#include "ui/MenuPage.h"

class VideoWidget;

// The title: the intro video over the whole screen until it ends or the player presses Space or Escape; then
// the main menu. Without the video the page waits for the key.
class TitlePage : public MenuPage
{
public:
    using MenuPage::MenuPage;
    ~TitlePage() override;

    void Build() override;
    void Leave() override;
    void Update() override;
    void Render() override;
    void OnLostDevice() override;
    void OnResetDevice() override;
    void Destroy() override;

    VideoWidget* GetIntroVideo() const { return m_introVideo; }

private:
    void CloseVideo();
    void LeaveTitle();

    // Made with the page and never again: once the title is left it is gone.
    VideoWidget* m_introVideo = nullptr;
};
