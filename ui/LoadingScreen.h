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

    bool IsFull() const { return full; }
    float GetBarStart() const { return barStart; }
    float GetBarLength() const { return barLength; }
    GuiElement* GetBar() const { return bar.get(); }
    GuiElement* GetBarBackground() const { return barBackground.get(); }
    GuiElement* GetBarFrame() const { return barFrame.get(); }
    GuiElement* GetBackground() const { return background.get(); }

private:
    bool full = false;
    std::unique_ptr<GuiElement> barBackground;
    std::unique_ptr<GuiElement> bar;
    std::unique_ptr<GuiElement> barFrame;
    std::unique_ptr<GuiElement> background;
    float barLength = 615.0f;
    float barStart = 0.0f;
};
