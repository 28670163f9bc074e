#include "NullDeviceFixture.h"

#include "d3d9/ShaderProgram.h"
#include "d3d9/Texture.h"

#include <cstring>

namespace {

struct QuadVertex {
    float x, y, z, rhw;
    D3DCOLOR diffuse;
    float u, v;
};
constexpr DWORD QUAD_FVF = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;

class Draws : public NullDeviceTest
{
protected:
    void SetUp() override
    {
        NullDeviceTest::SetUp();
        // Four vertices: a strip of two triangles.
        ASSERT_EQ(device->CreateVertexBuffer(4 * sizeof(QuadVertex), D3DUSAGE_WRITEONLY, QUAD_FVF, D3DPOOL_MANAGED, &vb,
                                             nullptr),
                  D3D_OK);
        ASSERT_EQ(device->CreateIndexBuffer(6 * sizeof(uint16_t), D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_MANAGED,
                                            &ib, nullptr),
                  D3D_OK);
        void* data = nullptr;
        ASSERT_EQ(ib->Lock(0, 0, &data, 0), D3D_OK);
        const uint16_t indices[6] = {0, 1, 2, 2, 1, 3};
        std::memcpy(data, indices, sizeof(indices));
        ib->Unlock();
    }
    void TearDown() override
    {
        if (vb)
            vb->Release();
        if (ib)
            ib->Release();
        NullDeviceTest::TearDown();
    }

    IDirect3DVertexBuffer9* vb = nullptr;
    IDirect3DIndexBuffer9* ib = nullptr;
};

} // namespace

TEST_F(Draws, NothingBoundDrawsNothing)
{
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3D_OK);
    ASSERT_EQ(device->SetFVF(QUAD_FVF), D3D_OK);
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3D_OK); // a format but no vertices
    EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2), D3D_OK);
    ASSERT_EQ(device->SetFVF(0), D3D_OK);
    ASSERT_EQ(device->SetStreamSource(0, vb, 0, sizeof(QuadVertex)), D3D_OK);
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3D_OK); // vertices but no format
    ASSERT_EQ(device->SetFVF(QUAD_FVF), D3D_OK);
    EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2), D3D_OK); // no indices
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 0), D3D_OK); // no primitives
    EXPECT_EQ(null->DrawCount(), 0u);
}

TEST_F(Draws, DrawsReachTheBackEndResolved)
{
    ASSERT_EQ(device->SetFVF(QUAD_FVF), D3D_OK);
    ASSERT_EQ(device->SetStreamSource(0, vb, 0, sizeof(QuadVertex)), D3D_OK);
    ASSERT_EQ(device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3D_OK);
    EXPECT_EQ(null->DrawCount(), 1u);
    EXPECT_EQ(null->LastDraw().primitiveType, D3DPT_TRIANGLESTRIP);
    EXPECT_EQ(null->LastDraw().vertexCount, 4u); // a strip of 2 triangles uses 4 vertices
    EXPECT_EQ(null->LastDraw().fvf, QUAD_FVF);
    EXPECT_FALSE(null->LastDraw().indexed);

    ASSERT_EQ(device->SetIndices(ib), D3D_OK);
    ASSERT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2), D3D_OK);
    EXPECT_EQ(null->DrawCount(), 2u);
    EXPECT_TRUE(null->LastDraw().indexed);
    EXPECT_EQ(null->LastDraw().vertexCount, 6u); // indices
    EXPECT_EQ(null->DrawCountOf(D3DPT_TRIANGLELIST), 1u);
    EXPECT_EQ(null->DrawCountOf(D3DPT_TRIANGLESTRIP), 1u);
    EXPECT_EQ(null->PrimitiveCount(), 4u);

    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(device->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr), D3D_OK);
    ASSERT_EQ(device->SetTexture(0, texture), D3D_OK);
    IShaderProgram* program = nullptr;
    ASSERT_EQ(device->CreateShaderProgram("v", "f", &program), D3D_OK);
    ASSERT_EQ(device->SetShaderProgram(program), D3D_OK);
    ASSERT_EQ(device->DrawPrimitive(D3DPT_TRIANGLEFAN, 0, 2), D3D_OK);
    EXPECT_EQ(null->LastDraw().texture0, dynamic_cast<Texture*>(texture));
    EXPECT_EQ(null->LastDraw().program, dynamic_cast<ShaderProgram*>(program));
    ASSERT_EQ(device->SetShaderProgram(nullptr), D3D_OK);
    ASSERT_EQ(device->DrawPrimitive(D3DPT_TRIANGLEFAN, 0, 2), D3D_OK);
    EXPECT_EQ(null->LastDraw().program, nullptr);
    program->Release();
    device->SetTexture(0, nullptr);
    texture->Release();
}

TEST_F(Draws, VerticesPastTheBufferAreRefused)
{
    ASSERT_EQ(device->SetFVF(QUAD_FVF), D3D_OK);
    ASSERT_EQ(device->SetStreamSource(0, vb, 0, sizeof(QuadVertex)), D3D_OK);
    // A list of 2 triangles needs 6 vertices; the buffer has 4.
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2), D3DERR_INVALIDCALL);
    // Starting at vertex 1, a strip of 2 triangles reaches vertex 4, one past the end.
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 1, 2), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 1, 1), D3D_OK);
    // A stride shorter than the format is refused.
    ASSERT_EQ(device->SetStreamSource(0, vb, 0, 24), D3D_OK);
    EXPECT_EQ(device->DrawPrimitive(D3DPT_POINTLIST, 0, 1), D3DERR_INVALIDCALL);
    // An offset moves the window: from byte 28 only 3 vertices remain.
    ASSERT_EQ(device->SetStreamSource(0, vb, 28, sizeof(QuadVertex)), D3D_OK);
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 1), D3D_OK);
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->DrawPrimitive(static_cast<D3DPRIMITIVETYPE>(7), 0, 1), D3DERR_INVALIDCALL);
    EXPECT_EQ(null->DrawCount(), 2u);
}

TEST_F(Draws, IndicesReachingPastTheVerticesAreRefused)
{
    ASSERT_EQ(device->SetFVF(QUAD_FVF), D3D_OK);
    ASSERT_EQ(device->SetStreamSource(0, vb, 0, sizeof(QuadVertex)), D3D_OK);
    ASSERT_EQ(device->SetIndices(ib), D3D_OK);
    // Index 3 plus base 1 is vertex 4: past the four in the buffer.
    EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 1, 0, 4, 0, 2), D3DERR_INVALIDCALL);
    // The first triangle (0, 1, 2) with base 1 reaches vertex 3 only.
    EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 1, 0, 4, 0, 1), D3D_OK);
    // A negative base below vertex 0.
    EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, -1, 0, 4, 0, 1), D3DERR_INVALIDCALL);
    // Indices past the index buffer.
    EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 3, 2), D3DERR_INVALIDCALL);
    // Rewriting the indices is seen by the next draw.
    void* data = nullptr;
    ASSERT_EQ(ib->Lock(0, 2, &data, 0), D3D_OK);
    static_cast<uint16_t*>(data)[0] = 9;
    ib->Unlock();
    EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 1), D3DERR_INVALIDCALL);
    EXPECT_EQ(null->DrawCount(), 1u);
}

TEST_F(Draws, UserPointerDraws)
{
    const QuadVertex quad[4] = {{0, 0, 0, 1, 0xFFFFFFFF, 0, 0},
                                {10, 0, 0, 1, 0xFFFFFFFF, 1, 0},
                                {0, 10, 0, 1, 0xFFFFFFFF, 0, 1},
                                {10, 10, 0, 1, 0xFFFFFFFF, 1, 1}};
    ASSERT_EQ(device->SetFVF(QUAD_FVF), D3D_OK);
    ASSERT_EQ(device->SetStreamSource(0, vb, 0, sizeof(QuadVertex)), D3D_OK);
    ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(QuadVertex)), D3D_OK);
    EXPECT_EQ(null->DrawCount(), 1u);
    EXPECT_TRUE(null->LastDraw().userPointer);
    // As D3D does, stream 0 is unset afterwards.
    IDirect3DVertexBuffer9* stream = nullptr;
    UINT offset = 1;
    UINT stride = 1;
    ASSERT_EQ(device->GetStreamSource(0, &stream, &offset, &stride), D3D_OK);
    EXPECT_EQ(stream, nullptr);
    EXPECT_EQ(stride, 0u);

    const uint16_t indices[6] = {0, 1, 2, 2, 1, 3};
    ASSERT_EQ(
        device->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, 4, 2, indices, D3DFMT_INDEX16, quad, sizeof(QuadVertex)),
        D3D_OK);
    EXPECT_EQ(null->DrawCount(), 2u);
    // Index 3 lies outside the declared range of 3 vertices.
    EXPECT_EQ(
        device->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, 3, 2, indices, D3DFMT_INDEX16, quad, sizeof(QuadVertex)),
        D3DERR_INVALIDCALL);
    EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, nullptr, sizeof(QuadVertex)), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(null->DrawCount(), 2u);
}

// A null vertex or pixel shader returns to the fixed pipeline: the program a skinned model's effect left bound
// must not draw the interface quads that follow it.
TEST_F(Draws, NullShaderReturnsToTheFixedPipeline)
{
    IShaderProgram* program = nullptr;
    ASSERT_EQ(device->CreateShaderProgram("v", "f", &program), D3D_OK);
    ASSERT_EQ(device->SetFVF(QUAD_FVF), D3D_OK);
    ASSERT_EQ(device->SetStreamSource(0, vb, 0, sizeof(QuadVertex)), D3D_OK);
    for (int stage = 0; stage < 2; ++stage) {
        ASSERT_EQ(device->SetShaderProgram(program), D3D_OK);
        ASSERT_EQ(stage == 0 ? device->SetVertexShader(nullptr) : device->SetPixelShader(nullptr), D3D_OK);
        ASSERT_EQ(device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3D_OK);
        EXPECT_EQ(null->LastDraw().program, nullptr) << stage;
    }
    program->Release();
}
