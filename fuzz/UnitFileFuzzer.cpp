// Unit definition files: forty positional lines, then the ability lines.
#include "battle/UnitDefinition.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    UnitDefinition unit;
    unit.Init();
    if (!unit.Read(in, "fuzz.txt"))
        return 0;
    if (unit.abilityNames.size() != unit.abilityUses.size())
        std::abort();
    // Health and mana are ten times strength and intelligence: they must fit.
    const long long health = 10LL * unit.strength;
    const long long mana = 10LL * unit.intelligence;
    if (health > INT32_MAX || health < INT32_MIN || mana > INT32_MAX || mana < INT32_MIN)
        std::abort();
    if (!(unit.firstFactor >= -10000.0f && unit.firstFactor <= 10000.0f))
        std::abort();
    return 0;
}
