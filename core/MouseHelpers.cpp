#include "core/MouseHelpers.h"

#include "core/InputManager.h"

bool IsLeftButtonHeld()
{
    return InputManager::Get()->IsBindingDown("LBUTTON");
}
