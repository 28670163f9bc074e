#pragma once
// The base fixture of the scene's tests: the scene's globals (camera, decal and particle lists, the clocks of the
// sky, decals, world quads and bolts, the units' light, the emitter files read) and everything below as at start.

#include "scene/AnimatedMesh.h"
#include "scene/BoltEffect.h"
#include "scene/Camera.h"
#include "scene/Decal.h"
#include "scene/DecalManager.h"
#include "scene/EmitterFileCache.h"
#include "scene/ParticleManager.h"
#include "scene/SkyDome.h"
#include "scene/Terrain.h"
#include "scene/WorldQuad.h"
#include "support/CoreTest.h"

class SceneTest : public CoreTest
{
public:
    static void ResetForTests()
    {
        Terrain::SetCurrent(nullptr);
        SkyDome::SetCurrent(nullptr);
        Camera::ResetForTests();
        DecalManager::ResetForTests();
        ParticleManager::ResetForTests();
        SkyDome::ResetForTests();
        Decal::ResetForTests();
        WorldQuad::ResetForTests();
        BoltEffect::ResetForTests();
        AnimatedMesh::ResetForTests();
        EmitterFileCache::Clear();
        CoreTest::ResetForTests();
    }

protected:
    void SetUp() override { ResetForTests(); }
    void TearDown() override { ResetForTests(); }
};
