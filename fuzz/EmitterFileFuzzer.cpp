// Links: game_scene
// Particle emitter files: any text must read without crashing or hanging, keep the pool within the shared
// index table, and read the same with Windows line ends as with Unix ones.
#include "scene/EmitterFile.h"

#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

namespace {

bool SameKeys(const EmitterFile& a, const EmitterFile& b)
{
    return a.directionKeys.size() == b.directionKeys.size() && a.colourKeys.size() == b.colourKeys.size() &&
           a.speedKeys.size() == b.speedKeys.size() && a.sizeKeys.size() == b.sizeKeys.size();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    EmitterFile unix;
    std::istringstream in(text);
    const std::string problem = unix.Parse(in);
    if (unix.settings.poolSize < 0 || unix.settings.poolSize > MAX_PARTICLE_POOL)
        std::abort();

    if (text.find('\r') == std::string::npos) {
        std::string windows;
        for (char c : text) {
            if (c == '\n')
                windows += '\r';
            windows += c;
        }
        EmitterFile other;
        std::istringstream again(windows);
        if (other.Parse(again) != problem || !SameKeys(unix, other) ||
            other.settings.poolSize != unix.settings.poolSize || other.settings.type != unix.settings.type)
            std::abort();
    }
    return 0;
}
