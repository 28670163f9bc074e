#include "app/MouseHelpers.h"

#include "app/InputManager.h"

bool IsLeftButtonHeld()
{
    return InputManager::Get()->IsBindingDown("LBUTTON");
}
