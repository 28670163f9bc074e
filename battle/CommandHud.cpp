#include "battle/CommandHud.h"

namespace {
CommandHud* g_hud = nullptr;
} // namespace

CommandHud* CommandHud::Get()
{
    return g_hud;
}

void CommandHud::Register(CommandHud* hud)
{
    g_hud = hud;
}
