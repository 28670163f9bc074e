#include <gtest/gtest.h>

#include <cstdlib>

// Under ThreadSanitizer: Mesa's software rasterizer synchronises its own threads in ways the sanitizer cannot
// follow, as it is not built with it, and its code generator's freed locks read as an inverted lock order on
// the drawing thread alone. Reports wholly inside the driver are not the game's. (Unused in other builds.)
extern "C" const char* __tsan_default_suppressions()
{
    return "called_from_lib:swrast_dri.so\n"
           "race:swrast_dri.so\n"
           "mutex:swrast_dri.so\n"
           "deadlock:libLLVM\n";
}

int main(int argc, char** argv)
{
    // Run by hand as ctest runs them: without a display the window layer's dummy driver stands in (the null
    // device still opens a window), and no sound card is opened. What is set already is kept, so the GL tests
    // under a virtual X server use it, and fail if there is none.
    if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY"))
        setenv("SDL_VIDEODRIVER", "dummy", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
