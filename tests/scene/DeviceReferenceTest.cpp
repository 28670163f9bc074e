// What the scene's owners hold of the device. Every resource the caller holds keeps one reference on its device,
// so the device's own count tells how many buffers and textures are still held: an owner holds its resources
// while it lives and leaves the count where it found it when it goes.
#include "scene/BoltEffect.h"
#include "scene/Decal.h"
#include "scene/DrawBindings.h"
#include "scene/ParticleEmitter.h"
#include "scene/ParticleManager.h"
#include "scene/SceneFixture.h"
#include "scene/SkyDome.h"
#include "scene/StarField.h"
#include "scene/Terrain.h"
#include "scene/WorldQuad.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

class DeviceReferenceTest : public SceneFixture
{
protected:
    ULONG DeviceReferences()
    {
        m_device->AddRef();
        return m_device->Release();
    }

    // Makes the owner twice: the first time fills the texture cache with what it asks for (the cache keeps
    // those), the second shows only what the owner itself holds.
    void ExpectHolds(const std::string& what, ULONG resources, const std::function<std::shared_ptr<void>()>& make)
    {
        SCOPED_TRACE(what);
        make().reset();
        const ULONG before = DeviceReferences();
        {
            std::shared_ptr<void> owner = make();
            EXPECT_EQ(DeviceReferences(), before + resources);
        }
        EXPECT_EQ(DeviceReferences(), before);
    }
};

} // namespace

TEST_F(DeviceReferenceTest, EachOwnerHoldsItsBuffersWhileItLivesAndNoneAfter)
{
    ExpectHolds("stars: a cube's vertices", 1, [] {
        auto stars = std::make_shared<StarField>();
        stars->Init();
        return stars;
    });
    ExpectHolds("sky dome: its strip's vertices", 1, [] {
        auto sky = std::make_shared<SkyDome>();
        sky->Init(16384.0f, 16384.0f);
        return sky;
    });
    ExpectHolds("terrain before a level: the grid's vertices", 1, [] {
        auto terrain = std::make_shared<Terrain>();
        terrain->Init();
        return terrain;
    });
    ExpectHolds("decal: vertices and indices", 2, [] {
        auto decal = std::make_shared<Decal>();
        decal->Create(2, 0.0f, 0.0f, false);
        return decal;
    });
    ExpectHolds("world quad: nothing, the particle pass draws it from a buffer of its own", 0, [] {
        auto quad = std::make_shared<WorldQuad>();
        quad->CreateBuffer(10.0f, 10.0f);
        return quad;
    });
    ExpectHolds("bolt: its strip", 1, [] {
        const D3DXVECTOR3 from(0.0f, 0.0f, 0.0f), to(100.0f, 0.0f, 0.0f), colour(1.0f, 1.0f, 1.0f);
        return std::make_shared<BoltEffect>("bolt.BMP", &from, &to, &colour, 0.0f, 1.0f, 0.01f, 0.0f, 0.0f, false);
    });
    ExpectHolds("emitter: quads' vertices and indices", 2, [] {
        EmitterFile file;
        file.settings.poolSize = 4;
        auto emitter = std::make_shared<ParticleEmitter>();
        emitter->Load(file);
        return emitter;
    });
}

// The particle pass draws the frame's world quads from memory: however many there are, it keeps no buffer.
TEST_F(DeviceReferenceTest, TheWorldQuadsOfAFrameLeaveNoBufferBehind)
{
    const ULONG before = DeviceReferences();
    std::vector<std::unique_ptr<WorldQuad>> quads;
    const auto frame = [&](size_t count) {
        while (quads.size() < count) {
            quads.push_back(std::make_unique<WorldQuad>());
            quads.back()->CreateBuffer(10.0f, 10.0f);
            quads.back()->alpha = 1.0f;
        }
        for (size_t i = 0; i < count; ++i) {
            quads[i]->Submit(static_cast<float>(i) * 30.0f, 0.0f, 0.0f);
            quads[i]->Queue();
        }
        ParticleManager::Get()->Render();
    };
    frame(4);
    EXPECT_EQ(DeviceReferences(), before);
    frame(200);
    EXPECT_EQ(DeviceReferences(), before);
}

// A second level over the first: the old patches' buffers go with the old octree, and a terrain that goes
// takes every buffer of its level with it.
TEST_F(DeviceReferenceTest, ATerrainGivesBackItsLevelsBuffersWhenItLoadsAnotherAndWhenItGoes)
{
    LevelBytes level;
    level.Height(3, 3, 120.0f);
    WriteLevel("first.txt", level);
    WriteLevel("second.txt", level);
    {
        Terrain warm;
        warm.Init();
        ASSERT_TRUE(warm.LoadLevel("first.txt"));
    }
    const ULONG before = DeviceReferences();
    {
        Terrain terrain;
        terrain.Init();
        ASSERT_TRUE(terrain.LoadLevel("first.txt"));
        const ULONG withFirst = DeviceReferences();
        EXPECT_GT(withFirst, before + 1) << "the patches draw from buffers of their own";
        ASSERT_TRUE(terrain.LoadLevel("second.txt"));
        EXPECT_EQ(DeviceReferences(), withFirst) << "the same grid holds as many buffers for either level";
    }
    EXPECT_EQ(DeviceReferences(), before);
}

// A sky layer borrows the first texture stage and vertex stream; when it ends they hold what they held before,
// and the references it took to keep them alive meanwhile are given back.
TEST_F(DeviceReferenceTest, DrawBindingsPutTheTextureAndStreamBackAndLetGoOfThem)
{
    IDirect3DTexture9* texture = nullptr;
    IDirect3DVertexBuffer9* stream = nullptr;
    ASSERT_EQ(m_device->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr), D3D_OK);
    ASSERT_EQ(m_device->CreateVertexBuffer(64, 0, 0, D3DPOOL_MANAGED, &stream, nullptr), D3D_OK);
    m_device->SetTexture(0, texture);
    m_device->SetStreamSource(0, stream, 16, 32);
    const ULONG held = DeviceReferences();
    {
        const DrawBindings bindings(m_device);
        m_device->SetTexture(0, nullptr);
        m_device->SetStreamSource(0, nullptr, 0, 0);
    }
    IDirect3DBaseTexture9* boundTexture = nullptr;
    IDirect3DVertexBuffer9* boundStream = nullptr;
    UINT offset = 0, stride = 0;
    m_device->GetTexture(0, &boundTexture);
    m_device->GetStreamSource(0, &boundStream, &offset, &stride);
    EXPECT_EQ(boundTexture, texture);
    EXPECT_EQ(boundStream, stream);
    EXPECT_EQ(offset, 16u);
    EXPECT_EQ(stride, 32u);
    if (boundTexture)
        boundTexture->Release();
    if (boundStream)
        boundStream->Release();
    // The bindings are the device's own references: ours are the only ones the caller holds.
    EXPECT_EQ(texture->Release(), 0u);
    EXPECT_EQ(stream->Release(), 0u);
    EXPECT_EQ(DeviceReferences(), held - 2);
    m_device->SetTexture(0, nullptr);
    m_device->SetStreamSource(0, nullptr, 0, 0);
}
