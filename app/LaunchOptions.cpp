#include "app/LaunchOptions.h"

#include "win32/Log.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace {

bool Blank(const char* text)
{
    return !text || *text == '\0';
}

std::optional<unsigned int> ParseSeed(const char* text)
{
    // strtoul takes a sign and wraps "-1" round to the largest value; a seed is written without one.
    if (*text < '0' || *text > '9')
        return std::nullopt;
    errno = 0;
    char* end = nullptr;
    const unsigned long long value = std::strtoull(text, &end, 10);
    if (errno != 0 || *end != '\0' || value > std::numeric_limits<unsigned int>::max())
        return std::nullopt;
    return static_cast<unsigned int>(value);
}

std::optional<float> ParseFrameTime(const char* text)
{
    errno = 0;
    char* end = nullptr;
    const double value = std::strtod(text, &end);
    if (end == text || errno != 0 || *end != '\0' || !std::isfinite(value) || value <= 0.0 ||
        value > LaunchOptions::MAX_FRAME_TIME)
        return std::nullopt;
    return static_cast<float>(value);
}

} // namespace

LaunchOptions LaunchOptions::Read(const Lookup& lookup)
{
    LaunchOptions options;
    const char* seed = lookup(SEED_VARIABLE);
    if (!Blank(seed)) {
        options.seed = ParseSeed(seed);
        if (!options.seed)
            LogFormat(LogLevel::WARNING, "options.invalid", "%s=\"%s\" is not a whole number from 0 to %u; ignored",
                      SEED_VARIABLE, seed, std::numeric_limits<unsigned int>::max());
    }
    const char* frameTime = lookup(FRAME_TIME_VARIABLE);
    if (!Blank(frameTime)) {
        options.frameTime = ParseFrameTime(frameTime);
        if (!options.frameTime)
            LogFormat(LogLevel::WARNING, "options.invalid",
                      "%s=\"%s\" is not a number of seconds above 0 and at most %g; ignored", FRAME_TIME_VARIABLE,
                      frameTime, static_cast<double>(MAX_FRAME_TIME));
    }
    return options;
}

LaunchOptions LaunchOptions::FromEnvironment()
{
    return Read([](const char* name) { return static_cast<const char*>(std::getenv(name)); });
}
