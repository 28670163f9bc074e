#include "core/DataManager.h"
#include "scene/EmitterFile.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>
#include <string>

// The default data tree below the build directory, where the tests run.
TEST(DefaultEmitterFiles, EveryNamedEffectReadsWholeWithItsTexture)
{
    DataManager::ResetForTests();
    const char* names[] = {
        "fireballEmitter.txt",   "focusEmitter.txt",    "defendEmitter.txt",   "defaultEmitter.txt",
        "bloodEmitter.txt",      "hitEmitter.txt",      "burstEmitter.txt",    "buffEmitter.txt",
        "CriticalEmitter.txt",   "death_emitter_1.txt", "death_emitter_2.txt", "fizzled_emitter.txt",
        "invincibleEmitter.txt", "IceCrystalRing.txt",  "FireCrystalRing.txt", "FireCrystalBurst.txt",
        "Smoldering.txt",        "SmokeEmitter.txt",    "P_AmbientRain.txt",   "Fire_EmbersEmitter.txt",
    };
    bool direction = false, colour = false, speed = false, size = false;
    std::set<float> versions;
    for (const char* name : names) {
        SCOPED_TRACE(name);
        const std::string path = DataManager::Get()->FindFile(name);
        std::ifstream in(path);
        ASSERT_TRUE(in) << path;
        EmitterFile file;
        EXPECT_EQ(file.Parse(in), "");
        EXPECT_GT(file.settings.poolSize, 0);
        EXPECT_LE(file.settings.poolSize, MAX_PARTICLE_POOL);
        EXPECT_NE(DataManager::Get()->FindFile(file.settings.textureName), DataManager::NOT_FOUND)
            << file.settings.textureName;
        EXPECT_FALSE(file.colourKeys.empty()) << "every effect has a colour";
        direction |= !file.directionKeys.empty();
        colour |= !file.colourKeys.empty();
        speed |= !file.speedKeys.empty();
        size |= !file.sizeKeys.empty();
        versions.insert(file.version);
    }
    EXPECT_TRUE(direction && colour && speed && size) << "every key section is used somewhere";
    EXPECT_EQ(versions.size(), 3u) << "the files use all three versions of the format";
    DataManager::ResetForTests();
}
