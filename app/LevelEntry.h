#pragma once

#include "d3dx9/D3DX9Math.h"

#include <string>

// A level the game knows: the name the front end chooses it by, its file, the camera's view of it.
struct LevelEntry {
    const char* name;
    const char* file;
    int preset;

    // Null for a name that is not in the table (compared exactly, case included).
    static const LevelEntry* Find(const std::string& name);
    // Every level is lit from the same direction, the units with it.
    static D3DXVECTOR3 LightDirection();
};
