#include "ui/Screen.h"

#include "win32/Win32.h"

void Screen::HidePointer()
{
    while (ShowCursor(FALSE) > -1) { }
}
