#pragma once
// Options for repeatable runs (end-to-end tests, soak runs), read from the environment once at start. A player
// sets none of them; each one left unset keeps the game as it is.
//
//   VARNHOLT_SEED=<n>         the random generator starts from n (0 to 4294967295) instead of the clock's seconds
//   VARNHOLT_FRAME_TIME=<s>   every frame advances the game by s seconds (above 0, at most 1) whatever time passed
//
// A value that cannot be read is reported on stderr and ignored.

#include <functional>
#include <optional>

class LaunchOptions
{
public:
    static constexpr const char* SEED_VARIABLE = "VARNHOLT_SEED";
    static constexpr const char* FRAME_TIME_VARIABLE = "VARNHOLT_FRAME_TIME";
    static constexpr float MAX_FRAME_TIME = 1.0f;

    // Looks a variable up by name; null when it is not set.
    using Lookup = std::function<const char*(const char*)>;

    static LaunchOptions Read(const Lookup& lookup);
    static LaunchOptions FromEnvironment();

    std::optional<unsigned int> seed;
    std::optional<float> frameTime;
};
