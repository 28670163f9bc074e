#pragma once
// A unit's floating text over the board: the battle layer's combat text drawn as an interface text label.
// The game session registers Make as the factory, so every unit that loads gets its two labels.

#include "battle/CombatText.h"
#include "ui/TextLabel.h"

#include <memory>

class UnitTextLabel : public CombatText
{
public:
    UnitTextLabel(float x, float y);
    static std::unique_ptr<CombatText> Make(float x, float y);

    void SetText(const std::string& text) override;
    void SetFontHeight(int height) override;
    void SetColour(float red, float green, float blue, float alpha) override;
    void Restart() override;
    void SetX(float x) override;
    // Moves the text on by the frame's drift and fade and queues it for the text pass; a hidden text is
    // neither moved nor drawn.
    void Queue() override;
    void SetVisible(bool visible) override;
    void OnLostDevice() override;
    void OnResetDevice() override;

    const TextLabel& Label() const { return m_label; }

private:
    TextLabel m_label;
    bool m_visible = true;
};
