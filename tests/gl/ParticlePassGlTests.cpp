// The particle pass on the OpenGL device: what it leaves out or draws together gives the very picture that
// drawing everything one by one in its order gives.
#include "core/DataManager.h"
#include "gl/GlDeviceFixture.h"
#include "scene/Camera.h"
#include "scene/EmitterFile.h"
#include "scene/Particle.h"
#include "scene/ParticleEmitter.h"
#include "scene/ParticleManager.h"
#include "scene/WorldQuad.h"
#include "support/DataTree.h"
#include "support/TgaFile.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr UINT WIDTH = 256;
constexpr UINT HEIGHT = 128;
constexpr D3DCOLOR CLEAR = 0xFF000000;

class ParticlePassGlTest : public GlDeviceFixture<SceneTest>
{
protected:
    ParticlePassGlTest() : GlDeviceFixture(WIDTH, HEIGHT) { }
    void SetUp() override
    {
        GlDeviceFixture::SetUp();
        if (HasFatalFailure())
            return;
        tree = std::make_unique<DataTree>();
        DataManager::Get()->SetDevice(device);
        WriteTexture("opaqueRed.tga", 0xFFFF0000);
        WriteTexture("halfBlue.tga", 0x800000FF);
        WriteTexture("halfGreen.tga", 0x8000FF00);
        WriteTexture("white.tga", 0xFFFFFFFF);
        Camera::Get()->SetProjectionFov(static_cast<float>(WIDTH), static_cast<float>(HEIGHT), 10.0f, 20000.0f);
        Camera::Get()->SetEyeAndTarget(D3DXVECTOR3(0.0f, 0.0f, -1000.0f), D3DXVECTOR3(0.0f, 0.0f, 0.0f));
        device->SetRenderState(D3DRS_ZENABLE, FALSE);
        device->SetRenderState(D3DRS_LIGHTING, FALSE);
        device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
        device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    }
    void TearDown() override
    {
        bars.clear();
        SceneTest::ResetForTests();
        tree.reset();
        GlDeviceFixture::TearDown();
    }

    // A 2 x 2 texture of one ARGB colour.
    void WriteTexture(const std::string& name, D3DCOLOR colour)
    {
        tree->Write(name, Tga32Bytes(2, 2, std::vector<uint32_t>(4, colour)));
    }

    // A quad of half extents 200 x 100 at a point, opaque white in its vertices, queued for the pass.
    void Bar(const char* picture, unsigned order, const D3DXVECTOR3& at)
    {
        bars.push_back(std::make_unique<WorldQuad>());
        WorldQuad& bar = *bars.back();
        bar.SetTexture(picture);
        bar.CreateBuffer(200.0f, 100.0f);
        bar.order = order;
        bar.alpha = 1.0f;
        bar.Submit(at.x, at.y, at.z);
        bar.Queue();
    }

    // Where a world point lands on the back buffer, in whole pixels.
    std::pair<int, int> PixelOf(const D3DXVECTOR3& at)
    {
        D3DXMATRIX view, projection, both;
        device->GetTransform(D3DTS_VIEW, &view);
        device->GetTransform(D3DTS_PROJECTION, &projection);
        D3DXMatrixMultiply(&both, &view, &projection);
        D3DXVECTOR3 clip;
        D3DXVec3TransformCoord(&clip, &at, &both);
        return {static_cast<int>((clip.x + 1.0f) * 0.5f * WIDTH), static_cast<int>((1.0f - clip.y) * 0.5f * HEIGHT)};
    }

    void Clear(D3DCOLOR colour = CLEAR) { device->Clear(0, nullptr, D3DCLEAR_TARGET, colour, 1.0f, 0); }

    std::unique_ptr<DataTree> tree;
    std::vector<std::unique_ptr<WorldQuad>> bars;
};

} // namespace

TEST_F(ParticlePassGlTest, GatheredDrawsShowWhatDrawingOneByOneShows)
{
    // P's two bars, Q's two overlapping P's, R's two apart from both and nearest. The pass draws P's red,
    // then P's and R's blue, then Q's and R's red, then Q's green: R moves ahead, P and Q keep their order.
    const D3DXVECTOR3 p(0.0f, 0.0f, 0.0f), q(60.0f, 30.0f, -100.0f), r(-400.0f, 0.0f, -300.0f);
    Bar("opaqueRed.tga", 0, p);
    Bar("halfBlue.tga", 1, p);
    Bar("opaqueRed.tga", 0, q);
    Bar("halfGreen.tga", 1, q);
    Bar("opaqueRed.tga", 0, r);
    Bar("halfBlue.tga", 1, r);
    std::vector<WorldQuad*> sorted = ParticleManager::Get()->WorldQuads();
    ParticleManager::SortWorldQuads(sorted);

    device->BeginScene();
    Clear();
    ParticleManager::Get()->Render();
    device->EndScene();
    const std::vector<D3DCOLOR> gathered = ReadBackBuffer();

    // The same quads one by one, with the states the pass draws them with.
    device->BeginScene();
    Clear();
    device->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    device->SetRenderState(D3DRS_BLENDOP, D3DBLENDOP_ADD);
    device->SetFVF(COLOURED_VERTEX_FVF);
    for (const WorldQuad* quad : sorted) {
        device->SetTexture(0, quad->Picture());
        device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad->Vertices().data(), sizeof(ColouredVertex));
    }
    device->EndScene();
    const std::vector<D3DCOLOR> oneByOne = ReadBackBuffer();

    ASSERT_EQ(gathered.size(), oneByOne.size());
    size_t differing = 0;
    for (size_t i = 0; i < gathered.size(); ++i)
        differing += (gathered[i] & 0xFFFFFF) != (oneByOne[i] & 0xFFFFFF) ? 1 : 0;
    EXPECT_EQ(differing, 0u) << "pixels that differ of " << gathered.size();

    // Worked by hand over black: red, then half blue (alpha 128) gives (127, 0, 128); red again, then half
    // green, (127, 128, 0).
    const auto [px, py] = PixelOf(D3DXVECTOR3(-190.0f, -90.0f, 0.0f)); // P alone
    EXPECT_RGB_NEAR(Pixel(gathered, px, py), 0xFF7F0080, 2);
    const auto [bx, by] = PixelOf(p); // P under Q
    EXPECT_RGB_NEAR(Pixel(gathered, bx, by), 0xFF7F8000, 2);
    const auto [rx, ry] = PixelOf(r); // R alone
    EXPECT_RGB_NEAR(Pixel(gathered, rx, ry), 0xFF7F0080, 2);
    const auto [cx, cy] = PixelOf(D3DXVECTOR3(-250.0f, 0.0f, 0.0f)); // between R and P
    EXPECT_RGB_NEAR(Pixel(gathered, cx, cy), CLEAR, 0);
}

TEST_F(ParticlePassGlTest, LeavingOutBlackParticlesChangesNoPixel)
{
    // Four particles on one spot over grey (64): red 200, black, (100, 50, 0), black. Added in any order they
    // give (255, 114, 64), red saturating; taken away, (0, 14, 64).
    struct Case {
        int op;
        D3DCOLOR expected;
    };
    for (const Case& c : {Case{D3DBLENDOP_ADD, 0xFFFF7240}, Case{D3DBLENDOP_REVSUBTRACT, 0xFF000E40}}) {
        SCOPED_TRACE(c.op);
        EmitterFile file;
        file.settings.poolSize = 4;
        file.settings.perBurst = 4;
        file.settings.interval = 0.0f;
        file.settings.blendOp = c.op;
        file.settings.textureName = "white.tga";
        ParticleEmitter emitter;
        emitter.Load(file);
        DataManager::Get()->AdvanceTime(0.125f);
        emitter.Update();
        ASSERT_EQ(emitter.LiveParticles().size(), 4u);
        const D3DXVECTOR3 colours[4] = {{200, 0, 0}, {0, 0, 0}, {100, 50, 0}, {0, 0, 0}};
        for (size_t i = 0; i < 4; ++i) {
            Particle& particle = *emitter.LiveParticles()[i];
            particle.colour = colours[i];
            particle.position = D3DXVECTOR3(0.0f, 0.0f, 0.0f);
            particle.size = 100.0f;
        }
        emitter.FillVertices();
        D3DXMatrixIdentity(&emitter.world);
        ASSERT_EQ(emitter.ShownCount(), 2u);

        device->BeginScene();
        Clear(0xFF404040);
        emitter.Submit();
        ParticleManager::Get()->Render();
        device->EndScene();
        const std::vector<D3DCOLOR> shown = ReadBackBuffer();

        // All four from the emitter's own buffer, in the order they were born, with the pass's states. The
        // buffer holds them as red, (100, 50, 0), black, black.
        std::vector<ColouredVertex> vertices(16);
        std::vector<WORD> indices(6);
        void* data = nullptr;
        ASSERT_EQ(emitter.VertexBuffer()->Lock(0, 0, &data, D3DLOCK_READONLY), D3D_OK);
        std::memcpy(vertices.data(), data, 16 * sizeof(ColouredVertex));
        emitter.VertexBuffer()->Unlock();
        ASSERT_EQ(emitter.IndexBuffer()->Lock(0, 0, &data, D3DLOCK_READONLY), D3D_OK);
        std::memcpy(indices.data(), data, 6 * sizeof(WORD));
        emitter.IndexBuffer()->Unlock();
        device->BeginScene();
        Clear(0xFF404040);
        device->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
        device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
        device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
        device->SetRenderState(D3DRS_BLENDOP, static_cast<DWORD>(c.op));
        device->SetTexture(0, emitter.Texture()->texture);
        device->SetFVF(COLOURED_VERTEX_FVF);
        for (size_t quad : {0, 2, 1, 3})
            device->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, 4, 2, indices.data(), D3DFMT_INDEX16,
                                           &vertices[quad * 4], sizeof(ColouredVertex));
        device->SetRenderState(D3DRS_BLENDOP, D3DBLENDOP_ADD);
        device->EndScene();
        const std::vector<D3DCOLOR> all = ReadBackBuffer();

        size_t differing = 0;
        for (size_t i = 0; i < shown.size(); ++i)
            differing += (shown[i] & 0xFFFFFF) != (all[i] & 0xFFFFFF) ? 1 : 0;
        EXPECT_EQ(differing, 0u);
        EXPECT_RGB_NEAR(Pixel(shown, WIDTH / 2, HEIGHT / 2), c.expected, 1);
        EXPECT_RGB_NEAR(Pixel(shown, 2, 2), 0xFF404040, 0) << "outside the particles";
    }
}
