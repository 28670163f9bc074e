#pragma once

#include <memory>

class GuiElement;

// What the player sees while the units load: one of seven pictures, chosen afresh for every load, and a red
// bar growing in its frame.
class LoadingScreen
{
public:
    static constexpr int BACKGROUND_COUNT = 7;

    LoadingScreen();
    ~LoadingScreen();
    LoadingScreen(const LoadingScreen&) = delete;
    LoadingScreen& operator=(const LoadingScreen&) = delete;

    void Init();
    void Restart();
    // p of 1.0 or more fills the bar and marks the screen full.
    void SetProgress(float p);
    void Render();
    void OnLostDevice();
    void OnResetDevice();
    void Destroy();
    void PickBackground();
    // Gives the background picture back to the texture cache while no loading is shown; Restart picks one again.
    void ReleaseBackground();

    bool IsFull() const { return m_full; }
    float GetBarStart() const { return m_barStart; }
    float GetBarLength() const { return m_barLength; }
    GuiElement* GetBar() const { return m_bar.get(); }
    GuiElement* GetBarBackground() const { return m_barBackground.get(); }
    GuiElement* GetBarFrame() const { return m_barFrame.get(); }
    GuiElement* GetBackground() const { return m_background.get(); }

private:
    bool m_full = false;
    std::unique_ptr<GuiElement> m_barBackground;
    std::unique_ptr<GuiElement> m_bar;
    std::unique_ptr<GuiElement> m_barFrame;
    std::unique_ptr<GuiElement> m_background;
    float m_barLength = 615.0f;
    float m_barStart = 0.0f;
};
