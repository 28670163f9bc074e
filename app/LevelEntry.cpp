#include "app/LevelEntry.h"

namespace {
constexpr LevelEntry LEVELS[] = {
    {"Farm", "Farm.txt", 0},
    {"Winter", "winter_wonderland.txt", 1},
    {"Citadel Courtyard", "Citadel Courtyard.txt", 2},
};
} // namespace

const LevelEntry* LevelEntry::Find(const std::string& name)
{
    for (const LevelEntry& level : LEVELS) {
        if (name == level.name)
            return &level;
    }
    return nullptr;
}

D3DXVECTOR3 LevelEntry::LightDirection()
{
    D3DXVECTOR3 direction(50.0f, 45.0f, 25.0f);
    D3DXVec3Normalize(&direction, &direction);
    return direction;
}
