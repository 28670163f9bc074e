#include "d3dx9/EffectFile.h"

#include "d3d9/D3D9.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <sstream>

namespace {

std::string ReadFixture(const char* name)
{
    std::ifstream in(std::string(VARNHOLT_FIXTURES) + "/effects/" + name, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

uint32_t Bits(float f)
{
    uint32_t word;
    std::memcpy(&word, &f, sizeof(word));
    return word;
}

const EffectParameterDecl* Find(const EffectFile& file, const std::string& name)
{
    for (const EffectParameterDecl& p : file.Parameters())
        if (p.name == name)
            return &p;
    return nullptr;
}

using States = std::vector<std::pair<uint32_t, uint32_t>>;

States Pairs(const std::vector<EffectStateAssignment>& assignments)
{
    States pairs;
    for (const EffectStateAssignment& assignment : assignments)
        pairs.emplace_back(assignment.state, assignment.value);
    return pairs;
}

TEST(EffectFileTest, ParsesTechniquesPassesAndTheirRenderStates)
{
    EffectFile file;
    ASSERT_TRUE(file.Parse(ReadFixture("sample.fx"))) << file.Error();

    ASSERT_EQ(file.Techniques().size(), 2u);
    const EffectTechniqueDecl& opaque = file.Techniques()[0];
    const EffectTechniqueDecl& glow = file.Techniques()[1];
    EXPECT_EQ(opaque.name, "Opaque");
    EXPECT_EQ(glow.name, "Glow");
    ASSERT_EQ(opaque.passes.size(), 1u);
    ASSERT_EQ(glow.passes.size(), 2u);
    EXPECT_EQ(glow.passes[0].name, "Base");
    EXPECT_EQ(glow.passes[1].name, "Add");
    EXPECT_EQ(glow.passes[1].vertexEntry, "MainVS");
    EXPECT_EQ(glow.passes[1].fragmentEntry, "GlowPS");

    EXPECT_EQ(Pairs(opaque.passes[0].renderStates), (States{{D3DRS_ZENABLE, 0}, {D3DRS_CULLMODE, D3DCULL_CW}}));
    EXPECT_TRUE(glow.passes[0].renderStates.empty());
    EXPECT_EQ(Pairs(glow.passes[1].renderStates), (States{{D3DRS_ALPHABLENDENABLE, 1},
                                                          {D3DRS_SRCBLEND, D3DBLEND_ONE},
                                                          {D3DRS_DESTBLEND, D3DBLEND_ONE},
                                                          {D3DRS_ZWRITEENABLE, 0},
                                                          {D3DRS_BLENDOP, D3DBLENDOP_REVSUBTRACT}}));
}

TEST(EffectFileTest, ParsesParametersWithTypesArraysDefaultsAndSamplerStates)
{
    EffectFile file;
    ASSERT_TRUE(file.Parse(ReadFixture("sample.fx"))) << file.Error();
    ASSERT_EQ(file.Parameters().size(), 10u);

    const EffectParameterDecl* viewProj = Find(file, "viewProjMatrix");
    ASSERT_NE(viewProj, nullptr);
    EXPECT_EQ(viewProj->type, EffectParamType::FLOAT4X4);
    EXPECT_TRUE(viewProj->shared);
    EXPECT_TRUE(viewProj->defaultValue.empty());
    EXPECT_EQ(viewProj->ComponentCount(), 16u);

    const EffectParameterDecl* time = Find(file, "gameTime");
    ASSERT_NE(time, nullptr);
    EXPECT_FALSE(time->shared);
    ASSERT_EQ(time->defaultValue.size(), 1u);
    EXPECT_EQ(time->defaultValue[0], Bits(2.5f));

    const EffectParameterDecl* tint = Find(file, "tint");
    ASSERT_NE(tint, nullptr);
    EXPECT_EQ(tint->type, EffectParamType::FLOAT4);
    ASSERT_EQ(tint->defaultValue.size(), 3u);
    EXPECT_EQ(tint->defaultValue[1], Bits(0.5f));
    EXPECT_EQ(tint->defaultValue[2], Bits(0.25f));

    const EffectParameterDecl* bones = Find(file, "bones");
    ASSERT_NE(bones, nullptr);
    EXPECT_EQ(bones->type, EffectParamType::FLOAT3);
    EXPECT_EQ(bones->arraySize, 4u);
    EXPECT_EQ(bones->ComponentCount(), 12u);

    const EffectParameterDecl* count = Find(file, "boneCount");
    ASSERT_NE(count, nullptr);
    EXPECT_EQ(count->type, EffectParamType::INT);
    EXPECT_EQ(count->defaultValue, std::vector<uint32_t>{3u});
    const EffectParameterDecl* fog = Find(file, "useFog");
    ASSERT_NE(fog, nullptr);
    EXPECT_EQ(fog->type, EffectParamType::BOOL);
    EXPECT_EQ(fog->defaultValue, std::vector<uint32_t>{1u});

    const EffectParameterDecl* base = Find(file, "pBaseTexture");
    ASSERT_NE(base, nullptr);
    EXPECT_EQ(base->type, EffectParamType::TEXTURE);
    EXPECT_EQ(Pairs(base->samplerStates), (States{{D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP},
                                                  {D3DSAMP_ADDRESSV, D3DTADDRESS_MIRROR},
                                                  {D3DSAMP_MINFILTER, D3DTEXF_POINT}}));

    ASSERT_EQ(file.Varyings().size(), 1u);
    EXPECT_EQ(file.Varyings()[0].name, "texCoord");
}

TEST(EffectFileTest, StageSourcesDeclareUniformsVaryingsAndCallTheEntry)
{
    EffectFile file;
    ASSERT_TRUE(file.Parse(ReadFixture("sample.fx"))) << file.Error();
    const EffectPassDecl& add = file.Techniques()[1].passes[1];
    const std::string vertex = file.VertexSource(add);
    const std::string fragment = file.FragmentSource(add, false);

    EXPECT_EQ(vertex.rfind("#version 330 core\n", 0), 0u);
    EXPECT_NE(vertex.find("uniform mat4 viewProjMatrix;"), std::string::npos);
    EXPECT_NE(vertex.find("uniform vec3 bones[4];"), std::string::npos);
    EXPECT_NE(vertex.find("uniform sampler2D pBaseTexture;"), std::string::npos);
    EXPECT_NE(vertex.find("out vec2 texCoord;"), std::string::npos);
    EXPECT_NE(vertex.find("in vec4 inPosition;"), std::string::npos);
    EXPECT_NE(vertex.find("void main() { MainVS(); }"), std::string::npos);
    // The @vertex marker is on line 44 of the fixture, so its code starts at line 45.
    EXPECT_NE(vertex.find("#line 45\n"), std::string::npos);
    EXPECT_EQ(vertex.find("GlowPS"), std::string::npos);

    EXPECT_NE(fragment.find("in vec2 texCoord;"), std::string::npos);
    EXPECT_NE(fragment.find("out vec4 fragColor;"), std::string::npos);
    EXPECT_NE(fragment.find("void main()\n{\n    GlowPS();\n"), std::string::npos);
    EXPECT_NE(fragment.find("#line 52\n"), std::string::npos);
    EXPECT_EQ(fragment.find("MainVS"), std::string::npos);
    // Only the alpha-tested variant can drop a fragment.
    EXPECT_EQ(fragment.find("discard"), std::string::npos);
    EXPECT_NE(file.FragmentSource(add, true).find("void main()\n{\n    GlowPS();\n    if (fxAlphaTest.x != 0.0 && "
                                                  "!fxAlphaPasses(fragColor.a))\n        discard;\n"),
              std::string::npos);
}

TEST(EffectFileTest, AFloat4x3BecomesThreeVec4PerMatrix)
{
    EffectFile file;
    ASSERT_TRUE(file.Parse("float4x3 palette[35];\nfloat4x3 one;\n"
                           "technique T { pass P { VertexShader = V; PixelShader = F; } }\n"
                           "@vertex\nvoid V() { gl_Position = palette[104] + one[2]; }\n"
                           "@fragment\nvoid F() { fragColor = vec4(1.0); }\n"))
        << file.Error();
    const EffectParameterDecl* palette = Find(file, "palette");
    ASSERT_NE(palette, nullptr);
    EXPECT_EQ(palette->type, EffectParamType::FLOAT4X3);
    EXPECT_EQ(palette->ComponentCount(), 35u * 12u);
    const std::string vertex = file.VertexSource(file.Techniques()[0].passes[0]);
    EXPECT_NE(vertex.find("uniform vec4 palette[105];"), std::string::npos);
    EXPECT_NE(vertex.find("uniform vec4 one[3];"), std::string::npos);
}

TEST(EffectFileTest, CommonSectionGoesIntoBothStages)
{
    EffectFile file;
    ASSERT_TRUE(file.Parse(ReadFixture("other.fx"))) << file.Error();
    const EffectPassDecl& pass = file.Techniques()[0].passes[0];
    EXPECT_NE(file.VertexSource(pass).find("vec4 Scaled(vec4 v)"), std::string::npos);
    EXPECT_NE(file.FragmentSource(pass, false).find("vec4 Scaled(vec4 v)"), std::string::npos);
}

struct MalformedCase {
    const char* what;
    const char* text;
    const char* expectedInError;
};

TEST(EffectFileTest, MalformedFilesFailWithTheLineAndReason)
{
    const std::string tail = "\ntechnique T { pass P { VertexShader = V; PixelShader = F; } }\n"
                             "@vertex\nvoid V() { gl_Position = inPosition; }\n"
                             "@fragment\nvoid F() { fragColor = vec4(1.0); }\n";
    const MalformedCase cases[] = {
        {"missing semicolon", "float a = 1.0\nfloat b;", "line 2: expected ';'"},
        {"unknown type", "half a;", "line 1: unknown parameter type 'half'"},
        {"duplicate parameter", "float a;\nfloat a;", "line 2: parameter 'a' declared twice"},
        {"too many default values", "float2 a = {1, 2, 3};", "line 1:"},
        {"texture default", "texture t = 1;", "line 1:"},
        {"sampler block on a float", "float a { AddressU = Clamp; };", "line 1:"},
        {"unknown sampler state", "texture t { Colour = Red; };", "unknown sampler state 'Colour'"},
        {"bad address value", "texture t { AddressU = Sideways; };", "invalid value 'Sideways'"},
        {"zero array size", "float a[0];", "line 1: expected an array size"},
        {"unterminated comment", "float a; /* never closed", "unterminated comment"},
        {"stray character", "float a; #", "unexpected character '#'"},
        {"reserved name", "float fragColor;", "reserved"},
        {"matrix varying", "varying float4x3 v;", "a varying cannot have the type 'float4x3'"},
    };
    for (const MalformedCase& c : cases) {
        EffectFile file;
        EXPECT_FALSE(file.Parse(std::string(c.text) + tail)) << c.what;
        EXPECT_NE(file.Error().find(c.expectedInError), std::string::npos) << c.what << ": " << file.Error();
    }

    const MalformedCase whole[] = {
        {"empty file", "", "no technique"},
        {"no technique", "float a;\n@vertex\nvoid V() {}\n", "no technique"},
        {"unknown render state",
         "technique T {\n pass P { VertexShader = V; PixelShader = F; Shininess = 3; }\n}\n@vertex\nvoid V(){}\n"
         "@fragment\nvoid F(){}\n",
         "line 2: unknown render state 'Shininess'"},
        {"bad blend value",
         "technique T {\n pass P { VertexShader = V; PixelShader = F; SrcBlend = Lots; }\n}\n@vertex\nvoid V(){}\n"
         "@fragment\nvoid F(){}\n",
         "invalid value 'Lots' for 'SrcBlend'"},
        {"pass without fragment entry", "technique T {\n pass P { VertexShader = V; }\n}\n@vertex\nvoid V(){}\n",
         "line 2: pass 'P' of technique 'T' needs both"},
        {"entry not defined",
         "technique T {\n pass P { VertexShader = V; PixelShader = Missing; }\n}\n@vertex\nvoid V(){}\n"
         "@fragment\nvoid F(){}\n",
         "fragment entry 'void Missing()'"},
        {"vertex entry only in the fragment section",
         "technique T {\n pass P { VertexShader = F; PixelShader = F; }\n}\n@vertex\nvoid V(){}\n"
         "@fragment\nvoid F(){}\n",
         "vertex entry 'void F()'"},
        {"unknown section", "technique T { pass P { VertexShader = V; PixelShader = V; } }\n@geometry\n",
         "line 2: unknown section marker '@geometry'"},
        {"section twice",
         "technique T { pass P { VertexShader = V; PixelShader = V; } }\n@common\nvoid V(){}\n@common\n",
         "line 4: section @common appears twice"},
        {"technique without pass", "technique T { }", "technique 'T' has no pass"},
        {"unclosed technique", "technique T { pass P { VertexShader = V; PixelShader = V;", "the end of the header"},
    };
    for (const MalformedCase& c : whole) {
        EffectFile file;
        EXPECT_FALSE(file.Parse(c.text)) << c.what;
        EXPECT_NE(file.Error().find(c.expectedInError), std::string::npos) << c.what << ": " << file.Error();
    }

    EffectFile withNul;
    EXPECT_FALSE(withNul.Parse(std::string_view("float a;\0technique", 18)));
    EXPECT_NE(withNul.Error().find("NUL"), std::string::npos);

    EffectFile fixture;
    EXPECT_FALSE(fixture.Parse(ReadFixture("malformed.fx")));
    EXPECT_EQ(fixture.Error().rfind("line 2: expected ';'", 0), 0u) << fixture.Error();
}

} // namespace
