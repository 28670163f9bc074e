#include "battle/BoardGround.h"

namespace {
BoardGround* g_ground = nullptr;
} // namespace

BoardGround* BoardGround::Get()
{
    return g_ground;
}

void BoardGround::Register(BoardGround* ground)
{
    g_ground = ground;
}
