#include "scene/SkyDome.h"
#include "scene/Terrain.h"
#include "support/SceneTest.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

class LevelOnShowTest : public SceneTest
{ };

} // namespace

// The camera and the stars ask for the terrain and the sky on show: one that is gone must not be handed out.
TEST_F(LevelOnShowTest, ATerrainOrSkyThatGoesStopsBeingTheOneOnShowAndOnlyThatOne)
{
    auto shown = std::make_unique<Terrain>();
    auto other = std::make_unique<Terrain>();
    Terrain::SetCurrent(shown.get());
    other.reset();
    EXPECT_EQ(Terrain::Current(), shown.get());
    shown.reset();
    EXPECT_EQ(Terrain::Current(), nullptr);

    auto sky = std::make_unique<SkyDome>();
    auto otherSky = std::make_unique<SkyDome>();
    SkyDome::SetCurrent(sky.get());
    otherSky.reset();
    EXPECT_EQ(SkyDome::Current(), sky.get());
    sky.reset();
    EXPECT_EQ(SkyDome::Current(), nullptr);
}
