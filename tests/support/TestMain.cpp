#include <gtest/gtest.h>

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
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
