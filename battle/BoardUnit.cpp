#include "battle/BoardUnit.h"

namespace {
BoardUnit::Factory g_factory = nullptr;
} // namespace

void BoardUnit::SetFactory(Factory factory)
{
    g_factory = factory;
}

std::unique_ptr<BoardUnit> BoardUnit::Create()
{
    if (!g_factory)
        return nullptr;
    return g_factory();
}
