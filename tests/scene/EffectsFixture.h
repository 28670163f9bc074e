#pragma once
// Scene effects on a null device inside a scratch data tree: the device handed to the data manager as the
// game does, every effects singleton fresh, the random generator at its first seed, and a frame clock the
// tests step by exact amounts. Tear-down fails the test when an effect kept a device resource.

#include "core/DataManager.h"
#include "core/Random.h"
#include "d3d9/null/NullDevice.h"
#include "scene/BoltEffect.h"
#include "scene/Camera.h"
#include "scene/Decal.h"
#include "scene/DecalManager.h"
#include "scene/EmitterFileCache.h"
#include "scene/ParticleManager.h"
#include "scene/WorldQuad.h"
#include "support/DataTree.h"
#include "support/SceneTest.h"
#include "support/TestDevice.h"
#include "support/TgaFile.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

class EffectsTest : public SceneTest
{
protected:
    void SetUp() override
    {
        tree = std::make_unique<DataTree>();
        ResetEffects();
        ASSERT_NO_FATAL_FAILURE(CreateTestDevice(D3D9_BACKEND_NULL, nullptr, 1024, 768, &d3d, &device));
        DataManager::Get()->SetDevice(device);
    }
    void TearDown() override
    {
        ResetEffects();
        ReleaseTestDevice(d3d, device);
        tree.reset();
    }
    static void ResetEffects()
    {
        ResetForTests();
        EmitterFileCache::Clear();
        Srand(1);
    }

    // One frame of scaled time.
    static void Frame(float seconds) { DataManager::Get()->AdvanceTime(seconds); }

    NullDevice* Null() const { return dynamic_cast<NullDevice*>(device); }
    DWORD RenderState(D3DRENDERSTATETYPE state) const { return DeviceKit::RenderState(device, state); }

    // A 2 x 2 opaque white TGA under the data tree, for tests that count texture references.
    void WriteTexture(const std::string& name)
    {
        tree->Write(name, Tga32Bytes(2, 2, std::vector<uint32_t>(4, 0xFFFFFFFFu)));
    }

    template <class Vertex>
    std::vector<Vertex> ReadVertices(IDirect3DVertexBuffer9* buffer, size_t count)
    {
        std::vector<Vertex> out(count);
        void* data = nullptr;
        if (buffer && SUCCEEDED(buffer->Lock(0, 0, &data, D3DLOCK_READONLY)) && data) {
            std::memcpy(out.data(), data, count * sizeof(Vertex));
            buffer->Unlock();
        }
        return out;
    }

    std::unique_ptr<DataTree> tree;
    IDirect3D9* d3d = nullptr;
    IDirect3DDevice9* device = nullptr;
};
