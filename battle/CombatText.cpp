#include "battle/CombatText.h"

namespace {
CombatText::Factory g_factory = nullptr;
} // namespace

void CombatText::SetFactory(Factory factory)
{
    g_factory = factory;
}

std::unique_ptr<CombatText> CombatText::Create(float x, float y)
{
    if (!g_factory)
        return nullptr;
    return g_factory(x, y);
}
