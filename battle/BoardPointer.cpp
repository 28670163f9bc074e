#include "battle/BoardPointer.h"

namespace {
BoardPointer* g_pointer = nullptr;
} // namespace

BoardPointer* BoardPointer::Get()
{
    return g_pointer;
}

void BoardPointer::Register(BoardPointer* pointer)
{
    g_pointer = pointer;
}
