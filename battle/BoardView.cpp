#include "battle/BoardView.h"

namespace {
BoardView* g_view = nullptr;
} // namespace

BoardView* BoardView::Get()
{
    return g_view;
}

void BoardView::Register(BoardView* view)
{
    g_view = view;
}
