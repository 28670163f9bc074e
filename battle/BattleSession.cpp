#include "battle/BattleSession.h"

namespace {
BattleSession* g_session = nullptr;
} // namespace

BattleSession* BattleSession::Get()
{
    return g_session;
}

void BattleSession::Register(BattleSession* session)
{
    g_session = session;
}
