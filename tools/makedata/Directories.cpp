// The directory tree of the default data: every directory the game searches for its files, so the tree a
// player sees is the tree the game looks in.
#include "DataWriter.h"
#include "Writers.h"

const std::vector<std::string>& DataDirectories()
{
    static const std::vector<std::string> directories = {
        "Data",
        "Data/Textures/World Textures",
        "Data/Textures/World Textures/NormalMaps",
        "Data/Textures/Static Mesh Textures",
        "Data/Textures/Hex Tile Textures",
        "Data/Textures/Hud Textures",
        "Data/Textures/Icon Textures",
        "Data/Textures/Screen Overlay Textures",
        "Data/Textures/Skybox Textures",
        "Data/Textures/Particle Textures",
        "Data/Textures/Decal Textures",
        "Data/Terrain Levels",
        "Data/Terrain Levels/Farm",
        "Data/Terrain Levels/Farm/Meshes",
        "Data/Terrain Levels/Farm/Particles",
        "Data/Terrain Levels/Farm/Sounds",
        "Data/Terrain Levels/Farm/Textures",
        "Data/Terrain Levels/Winter Wonderland",
        "Data/Terrain Levels/Winter Wonderland/Meshes",
        "Data/Terrain Levels/Winter Wonderland/Particles",
        "Data/Terrain Levels/Winter Wonderland/Sounds",
        "Data/Terrain Levels/Winter Wonderland/Textures",
        "Data/Terrain Levels/Citadel Courtyard",
        "Data/Terrain Levels/Citadel Courtyard/Meshes",
        "Data/Terrain Levels/Citadel Courtyard/Particles",
        "Data/Terrain Levels/Citadel Courtyard/Sounds",
        "Data/Terrain Levels/Citadel Courtyard/Textures",
        "Data/Terrain Levels/Intro Scene",
        "Data/Terrain Levels/Intro Scene/Meshes",
        "Data/Terrain Levels/Intro Scene/Particles",
        "Data/Terrain Levels/Intro Scene/Sounds",
        "Data/Terrain Levels/Intro Scene/Textures",
        "Data/Models/Animated Models",
        "Data/Models/Animated Models/Pikeman",
        "Data/Models/Animated Models/Militia",
        "Data/Models/Animated Models/Paladin",
        "Data/Models/Animated Models/Mage",
        "Data/Models/Animated Models/Combat Mage",
        "Data/Models/Animated Models/Healer",
        "Data/Models/Animated Models/Rogue",
        "Data/Models/Animated Models/Assassin",
        "Data/Models/Animated Models/Scout",
        "Data/Models/Animated Models/Knight",
        "Data/Models/Animated Models/Archer",
        "Data/Models/Static Models",
        "Data/Effect Files",
        "Data/Sound/Music",
        "Data/Sound/Sound Effects",
        "Data/Config Files/Humans",
        "Data/Config Files/Spells",
        "Data/Config Files/Particle Files",
    };
    return directories;
}

void WriteDirectories(const std::filesystem::path& root)
{
    for (const std::string& directory : DataDirectories())
        std::filesystem::create_directories(root / std::filesystem::path(directory));
    // Not searched, but written to: F10 saves its screenshots here and the pointer images live here.
    std::filesystem::create_directories(root / "Data" / "Screenshots");
    std::filesystem::create_directories(root / "Data" / "Cursors");
}
