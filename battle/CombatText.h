#pragma once
// One of the two floating text labels a unit carries above the board. The interface layer draws text, so it
// registers a factory for them; without one a unit has no labels and its messages go nowhere.

#include <memory>
#include <string>

class CombatText
{
public:
    // Makes a label in the unit's style at the screen point (x, y): a 24-high serif font, red and transparent
    // until it fades in, fading towards a transparent target colour.
    using Factory = std::unique_ptr<CombatText> (*)(float x, float y);
    static void SetFactory(Factory factory);
    static std::unique_ptr<CombatText> Create(float x, float y);

    virtual ~CombatText() = default;

    virtual void SetText(const std::string& text) = 0;
    virtual void SetFontHeight(int height) = 0;
    // Sets the colour and the base colour; the colour's alpha starts at 0, so the text fades in.
    virtual void SetColour(float red, float green, float blue, float alpha) = 0;
    // Starts the float again: a new random height offset, drifting upwards (0, -25), red, fading in and,
    // three seconds later, fading towards its transparent target colour.
    virtual void Restart() = 0;
    virtual void SetX(float x) = 0;
    virtual void Queue() = 0;
    virtual void SetVisible(bool visible) = 0;
    virtual void OnLostDevice() = 0;
    virtual void OnResetDevice() = 0;
};
