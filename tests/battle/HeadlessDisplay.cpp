// The battle tests draw on the null device, which shows nothing: they choose SDL's dummy video driver
// themselves, so that they run alike from ctest, from a shell without a display and from a desktop.
#include <gtest/gtest.h>

#include <cstdlib>

namespace {

class HeadlessDisplay : public ::testing::Environment
{
public:
    void SetUp() override { ::setenv("SDL_VIDEODRIVER", "dummy", 1); }
};

// Registered before the tests run; gtest owns and deletes it.
[[maybe_unused]] ::testing::Environment* const g_headless = ::testing::AddGlobalTestEnvironment(new HeadlessDisplay);

} // namespace
