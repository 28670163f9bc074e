// Spell files: the record read line by line, and its keywords.
#include "core/DataManager.h"
#include "core/SpellDefinition.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    SpellDefinition spell;
    DataManager::ReadSpell(in, "fuzz.txt", spell);
    // Every number is held to its range, so what the rules work out from it cannot overflow.
    for (int value : {spell.manaCost, spell.amount, spell.initiativeCost, spell.actionPointCost})
        if (value < -100000 || value > 100000)
            std::abort();
    if (!(spell.castTime >= -10000.0f && spell.castTime <= 10000.0f))
        std::abort();
    return 0;
}
