#include "app/GameApplication.h"
#include "win32/Win32.h"

#include <memory>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    auto application = std::make_unique<GameApplication>();
    // A failed start has posted the quit message already, so the loop ends at once and shuts down.
    application->Create(instance, nullptr);
    return application->Run();
}

int main()
{
    // The layer has no modules; any distinct non-null handle stands for the game's own.
    static char module;
    return WinMain(reinterpret_cast<HINSTANCE>(&module), nullptr, nullptr, SW_SHOWNORMAL);
}
