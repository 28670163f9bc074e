#pragma once
// The moments into a class's attack animations at which its blows land, as its definition file gives them;
// the animations are timed to them.

#include <string>

struct AttackTimes {
    float melee = 0.0f;
    float critical = 0.0f;
};

// By model file name ("pikeman.x"); throws std::runtime_error for a model no class uses.
AttackTimes AttackTimesOf(const std::string& modelFile);
