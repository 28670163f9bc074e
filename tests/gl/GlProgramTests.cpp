#include "gl/GlDeviceFixture.h"

#include <string>

namespace {

const char* const TRANSFORM_VERTEX = R"(
uniform mat4 uMatrix;
in vec4 inPosition;
in vec4 inDiffuse;
out vec4 colour;
void main()
{
    gl_Position = uMatrix * vec4(inPosition.xyz, 1.0);
    colour = inDiffuse;
}
)";

const char* const COLOUR_FRAGMENT = R"(
in vec4 colour;
out vec4 result;
void main()
{
    result = colour;
}
)";

// A quad of clip-space half-size 0.25 around the origin: pixels 24..39 of 64 in both directions.
const ColorVertex SMALL_QUAD[4] = {
    {-0.25f, -0.25f, 0.5f, 0xFFFFFFFF},
    {-0.25f, 0.25f, 0.5f, 0xFFFFFFFF},
    {0.25f, -0.25f, 0.5f, 0xFFFFFFFF},
    {0.25f, 0.25f, 0.5f, 0xFFFFFFFF},
};

} // namespace

TEST_F(GlDeviceTest, ProgramMatricesTransformAsDirect3DRowVectorsDo)
{
    IShaderProgram* program = nullptr;
    ASSERT_EQ(device->CreateShaderProgram(TRANSFORM_VERTEX, COLOUR_FRAGMENT, &program), D3D_OK);
    ASSERT_NE(program, nullptr);
    ASSERT_TRUE(program->IsValid()) << program->GetLog();

    // A D3DX translation keeps its offset in the fourth row: v * M moves x by +0.5 and y by +0.25. In clip
    // space that is 16 pixels right and 8 pixels up, so the quad covers columns 40..55 and rows 16..31.
    D3DMATRIX m = IdentityMatrix();
    m._41 = 0.5f;
    m._42 = 0.25f;
    program->SetUniform("uMatrix", SHADER_UNIFORM_MAT4, &m, 1);
    PlainStates();
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
    ASSERT_EQ(device->SetShaderProgram(program), D3D_OK);
    device->SetFVF(COLOR_FVF);
    ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, SMALL_QUAD, sizeof(ColorVertex)), D3D_OK);

    std::vector<D3DCOLOR> pixels = ReadBackBuffer();
    EXPECT_EQ(Pixel(pixels, 41, 17), 0xFFFFFFFFu);
    EXPECT_EQ(Pixel(pixels, 54, 30), 0xFFFFFFFFu);
    EXPECT_EQ(Pixel(pixels, 38, 17), 0xFF000000u);
    EXPECT_EQ(Pixel(pixels, 41, 33), 0xFF000000u);
    EXPECT_EQ(Pixel(pixels, 30, 30), 0xFF000000u) << "the untranslated place stays empty";

    // A row-vector product: with _12 = 1, y' = x + y. The quad's corner (0.25, 0.25) goes to (0.25, 0.5)
    // and (0.25, -0.25) to (0.25, 0): on the right the quad now reaches up to clip y 0.5 (row 16).
    D3DMATRIX shear = IdentityMatrix();
    shear._12 = 1.0f;
    program->SetUniform("uMatrix", SHADER_UNIFORM_MAT4, &shear, 1);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
    device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, SMALL_QUAD, sizeof(ColorVertex));
    pixels = ReadBackBuffer();
    EXPECT_EQ(Pixel(pixels, 38, 18), 0xFFFFFFFFu);
    EXPECT_EQ(Pixel(pixels, 25, 18), 0xFF000000u);
    EXPECT_EQ(Pixel(pixels, 25, 38), 0xFFFFFFFFu);

    device->SetShaderProgram(nullptr);
    program->Release();
}

TEST_F(GlDeviceTest, ProgramSamplersReadTheirStageWithItsSamplerStates)
{
    const char* vertex = R"(#version 330 core
layout(location = 0) in vec4 inPosition;
layout(location = 7) in vec4 inTexCoord0;
out vec2 uv;
void main()
{
    gl_Position = vec4(inPosition.xyz, 1.0);
    uv = inTexCoord0.xy;
}
)";
    const char* fragment = R"(#version 330 core
uniform sampler2D pBaseTexture;
uniform vec4 tint[2];
in vec2 uv;
out vec4 result;
void main()
{
    result = texture(pBaseTexture, uv) * tint[1];
}
)";
    IShaderProgram* program = nullptr;
    ASSERT_EQ(device->CreateShaderProgram(vertex, fragment, &program), D3D_OK);
    ASSERT_TRUE(program->IsValid()) << program->GetLog();
    const int stage = 2;
    program->SetUniform("pBaseTexture", SHADER_UNIFORM_SAMPLER, &stage, 1);
    const float tints[8] = {0, 0, 0, 0, 1.0f, 0.5f, 1.0f, 1.0f};
    program->SetUniform("tint", SHADER_UNIFORM_VEC4, tints, 2);
    program->SetUniform("noSuchUniform", SHADER_UNIFORM_FLOAT, tints, 1); // ignored

    // Stage 2 holds red | green; u runs 0..2 with MIRROR on stage 2 only.
    IDirect3DTexture9* texture = MakeTexture(2, 1, {D3DCOLOR_XRGB(255, 0, 0), D3DCOLOR_XRGB(0, 255, 0)});
    PlainStates();
    device->SetTexture(2, texture);
    device->SetSamplerState(2, D3DSAMP_MINFILTER, D3DTEXF_POINT);
    device->SetSamplerState(2, D3DSAMP_MAGFILTER, D3DTEXF_POINT);
    device->SetSamplerState(2, D3DSAMP_ADDRESSU, D3DTADDRESS_MIRROR);
    struct Vertex {
        float x, y, z, u, v;
    } quad[4] = {{-1, -1, 0.5f, 0, 1}, {-1, 1, 0.5f, 0, 0}, {1, -1, 0.5f, 2, 1}, {1, 1, 0.5f, 2, 0}};
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
    device->SetShaderProgram(program);
    device->SetFVF(D3DFVF_XYZ | D3DFVF_TEX1);
    device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(Vertex));
    device->SetShaderProgram(nullptr);

    const std::vector<D3DCOLOR> pixels = ReadBackBuffer();
    // Green is tinted by 0.5: 255 * 0.5 = 127.5.
    EXPECT_RGB_NEAR(Pixel(pixels, 8, 32), D3DCOLOR_XRGB(255, 0, 0), 0);
    EXPECT_RGB_NEAR(Pixel(pixels, 24, 32), D3DCOLOR_XRGB(0, 128, 0), 1);
    EXPECT_RGB_NEAR(Pixel(pixels, 40, 32), D3DCOLOR_XRGB(0, 128, 0), 1);
    EXPECT_RGB_NEAR(Pixel(pixels, 56, 32), D3DCOLOR_XRGB(255, 0, 0), 0);
    device->SetTexture(2, nullptr);
    texture->Release();
    program->Release();
}

TEST_F(GlDeviceTest, BrokenProgramReportsItsErrorsAndDrawsNothing)
{
    IShaderProgram* program = nullptr;
    ASSERT_EQ(
        device->CreateShaderProgram(TRANSFORM_VERTEX, "out vec4 result; void main() { result = oops; }", &program),
        D3D_OK);
    ASSERT_NE(program, nullptr);
    EXPECT_FALSE(program->IsValid());
    EXPECT_NE(std::string(program->GetLog()).find("oops"), std::string::npos) << program->GetLog();

    PlainStates();
    device->Clear(0, nullptr, D3DCLEAR_TARGET, D3DCOLOR_XRGB(9, 9, 9), 1.0f, 0);
    device->SetShaderProgram(program);
    device->SetFVF(COLOR_FVF);
    device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, SMALL_QUAD, sizeof(ColorVertex));
    device->SetShaderProgram(nullptr);
    // The fixed-function pipeline works again once the program is gone.
    const D3DMATRIX identity = IdentityMatrix();
    device->SetTransform(D3DTS_WORLD, &identity);
    device->SetTransform(D3DTS_VIEW, &identity);
    device->SetTransform(D3DTS_PROJECTION, &identity);
    const ColorVertex corner[3] = {
        {-1, 1, 0.5f, 0xFFFF0000}, {-0.5f, 1, 0.5f, 0xFFFF0000}, {-1, 0.5f, 0.5f, 0xFFFF0000}};
    device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, corner, sizeof(ColorVertex));

    const std::vector<D3DCOLOR> pixels = ReadBackBuffer();
    EXPECT_EQ(Pixel(pixels, 32, 32), D3DCOLOR_XRGB(9, 9, 9));
    EXPECT_EQ(Pixel(pixels, 2, 2), D3DCOLOR_XRGB(255, 0, 0));
    program->Release();
}
