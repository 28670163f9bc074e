#include "NullDeviceTest.h"

#include "d3d9/ShaderProgram.h"
#include "d3dx9/D3DX9Core.h"
#include "d3dx9/D3DX9Math.h"
#include "d3dx9/Effect.h"

#include <cstring>
#include <string>

namespace {

std::string Fixture(const char* name)
{
    return std::string(VARNHOLT_FIXTURES) + "/effects/" + name;
}

template <typename T>
ULONG RefCount(T* object)
{
    object->AddRef();
    return object->Release();
}

const D3DXMATRIX kCounting(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16);
const D3DXMATRIX kIdentity(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);

class EffectTest : public D3DXNullDeviceTest
{
protected:
    ID3DXEffect* Load(const char* name, ID3DXEffectPool* pool = nullptr)
    {
        ID3DXEffect* effect = nullptr;
        ID3DXBuffer* errors = nullptr;
        const HRESULT hr =
            D3DXCreateEffectFromFileA(device, Fixture(name).c_str(), nullptr, nullptr, 0, pool, &effect, &errors);
        EXPECT_EQ(hr, D3D_OK) << (errors ? static_cast<const char*>(errors->GetBufferPointer()) : "");
        if (errors != nullptr)
            errors->Release();
        return effect;
    }

    // The error text of a load that must fail (empty when no buffer came back).
    std::string LoadError(const std::string& path, ID3DXEffectPool* pool = nullptr)
    {
        ID3DXEffect* effect = reinterpret_cast<ID3DXEffect*>(1);
        ID3DXBuffer* errors = nullptr;
        EXPECT_TRUE(
            FAILED(D3DXCreateEffectFromFileA(device, path.c_str(), nullptr, nullptr, 0, pool, &effect, &errors)));
        EXPECT_EQ(effect, nullptr);
        if (errors == nullptr)
            return {};
        std::string message(static_cast<const char*>(errors->GetBufferPointer()));
        EXPECT_EQ(errors->GetBufferSize(), message.size() + 1);
        errors->Release();
        return message;
    }

    static float Get(ID3DXEffect* effect, const char* name)
    {
        float value = -12345.0f;
        EXPECT_EQ(effect->GetFloat(name, &value), D3D_OK) << name;
        return value;
    }

    IShaderProgram* CurrentProgram()
    {
        IShaderProgram* program = nullptr;
        device->GetShaderProgram(&program);
        if (program != nullptr)
            program->Release();
        return program;
    }

    IDirect3DBaseTexture9* BoundTexture()
    {
        IDirect3DBaseTexture9* bound = nullptr;
        device->GetTexture(0, &bound);
        if (bound != nullptr)
            bound->Release();
        return bound;
    }

    DWORD Sampler(D3DSAMPLERSTATETYPE type)
    {
        DWORD value = 0;
        device->GetSamplerState(0, type, &value);
        return value;
    }

    static IShaderProgram* Program(ID3DXEffect* effect, const char* technique, bool alphaTested = false)
    {
        return dynamic_cast<Effect*>(effect)->PassProgram(technique, 0, alphaTested);
    }

    // The value the pass's program holds for a uniform, as floats (or null when never set).
    static const ShaderUniform* Uniform(ID3DXEffect* effect, const char* technique, const char* name,
                                        bool alphaTested = false)
    {
        auto* program = dynamic_cast<ShaderProgram*>(Program(effect, technique, alphaTested));
        return program ? program->FindUniform(name) : nullptr;
    }
    static float UniformFloat(const ShaderUniform* uniform, size_t index = 0)
    {
        float value = -12345.0f;
        if (uniform != nullptr && uniform->data.size() >= (index + 1) * sizeof(float))
            std::memcpy(&value, uniform->data.data() + index * sizeof(float), sizeof(float));
        return value;
    }
    static int32_t UniformInt(ID3DXEffect* effect, const char* name)
    {
        const ShaderUniform* uniform = Uniform(effect, "Opaque", name);
        int32_t value = -12345;
        if (uniform != nullptr && uniform->data.size() >= sizeof(value))
            std::memcpy(&value, uniform->data.data(), sizeof(value));
        return value;
    }
};

TEST_F(EffectTest, FirstTechniqueIsCurrentAndUnknownTechniquesAreIgnored)
{
    ID3DXEffect* effect = Load("sample.fx");
    ASSERT_NE(effect, nullptr);
    EXPECT_STREQ(effect->GetCurrentTechnique(), "Opaque");
    EXPECT_EQ(effect->GetTechniqueByName("Nope"), nullptr);
    EXPECT_EQ(effect->SetTechnique("Nope"), D3DERR_INVALIDCALL);
    EXPECT_EQ(effect->SetTechnique(nullptr), D3DERR_INVALIDCALL);
    EXPECT_STREQ(effect->GetCurrentTechnique(), "Opaque");
    UINT passes = 0;
    ASSERT_EQ(effect->Begin(&passes, 0), D3D_OK);
    EXPECT_EQ(passes, 1u);
    effect->End();

    // By name and by the handle the effect hands out.
    EXPECT_EQ(effect->SetTechnique("Glow"), D3D_OK);
    EXPECT_STREQ(effect->GetCurrentTechnique(), "Glow");
    D3DXHANDLE opaque = effect->GetTechniqueByName("Opaque");
    ASSERT_NE(opaque, nullptr);
    EXPECT_EQ(effect->SetTechnique(opaque), D3D_OK);
    EXPECT_STREQ(effect->GetCurrentTechnique(), "Opaque");
    effect->SetTechnique("Glow");
    ASSERT_EQ(effect->Begin(&passes, 0), D3D_OK);
    EXPECT_EQ(passes, 2u);
    EXPECT_EQ(effect->BeginPass(2), D3DERR_INVALIDCALL);
    EXPECT_EQ(effect->BeginPass(1), D3D_OK);
    EXPECT_EQ(effect->EndPass(), D3D_OK);
    EXPECT_EQ(effect->End(), D3D_OK);
    EXPECT_EQ(effect->End(), D3DERR_INVALIDCALL);
    EXPECT_EQ(effect->Release(), 0u);
}

TEST_F(EffectTest, UnknownParametersAndWrongTypesAreRefusedWithoutHarm)
{
    ID3DXEffect* effect = Load("sample.fx");
    ASSERT_NE(effect, nullptr);
    const D3DXVECTOR4 vector(1, 2, 3, 4);
    IDirect3DTexture9* texture = MakeTexture(4, 4);
    float value = 0.0f;

    EXPECT_EQ(effect->SetFloat("nope", 1.0f), D3DERR_INVALIDCALL);
    EXPECT_EQ(effect->SetMatrix("nope", &kIdentity), D3DERR_INVALIDCALL);
    EXPECT_EQ(effect->SetMatrixArray("nope", &kIdentity, 1), D3DERR_INVALIDCALL);
    EXPECT_EQ(effect->SetVector("nope", &vector), D3DERR_INVALIDCALL);
    EXPECT_EQ(effect->SetInt("nope", 1), D3DERR_INVALIDCALL);
    EXPECT_EQ(effect->SetBool("nope", TRUE), D3DERR_INVALIDCALL);
    EXPECT_EQ(effect->SetTexture("nope", texture), D3DERR_INVALIDCALL);
    EXPECT_EQ(effect->SetFloat(nullptr, 1.0f), D3DERR_INVALIDCALL);
    EXPECT_EQ(effect->GetFloat("nope", &value), D3DERR_INVALIDCALL);
    EXPECT_EQ(effect->GetParameterByName(nullptr, "nope"), nullptr);
    // Right name, wrong kind of value.
    EXPECT_EQ(effect->SetMatrix("gameTime", &kIdentity), D3DERR_INVALIDCALL);
    EXPECT_EQ(effect->SetTexture("gameTime", texture), D3DERR_INVALIDCALL);
    EXPECT_EQ(effect->SetFloat("pBaseTexture", 1.0f), D3DERR_INVALIDCALL);
    EXPECT_EQ(effect->SetMatrix("worldMatrix", nullptr), D3DERR_INVALIDCALL);
    D3DXMATRIX back;
    EXPECT_EQ(effect->GetMatrix("gameTime", &back), D3DERR_INVALIDCALL);
    // Nothing above changed a value.
    EXPECT_FLOAT_EQ(Get(effect, "gameTime"), 2.5f);
    EXPECT_EQ(RefCount(texture), 1u);
    EXPECT_EQ(effect->Release(), 0u);
    texture->Release();
}

TEST_F(EffectTest, DefaultsSettersAndGettersConvertAsTheParameterTypeSays)
{
    ID3DXEffect* effect = Load("sample.fx");
    ASSERT_NE(effect, nullptr);
    EXPECT_FLOAT_EQ(Get(effect, "gameTime"), 2.5f);
    EXPECT_FLOAT_EQ(Get(effect, "boneCount"), 3.0f);
    EXPECT_FLOAT_EQ(Get(effect, "useFog"), 1.0f);

    EXPECT_EQ(effect->SetInt("gameTime", 7), D3D_OK);
    EXPECT_FLOAT_EQ(Get(effect, "gameTime"), 7.0f);
    EXPECT_EQ(effect->SetFloat("boneCount", 2.75f), D3D_OK); // truncated like a cast to int
    EXPECT_FLOAT_EQ(Get(effect, "boneCount"), 2.0f);
    EXPECT_EQ(effect->SetBool("useFog", FALSE), D3D_OK);
    EXPECT_FLOAT_EQ(Get(effect, "useFog"), 0.0f);

    EXPECT_EQ(effect->SetMatrix(effect->GetParameterByName(nullptr, "worldMatrix"), &kCounting), D3D_OK);
    D3DXMATRIX back;
    EXPECT_EQ(effect->GetMatrix("worldMatrix", &back), D3D_OK);
    EXPECT_EQ(back, kCounting);
    EXPECT_EQ(effect->Release(), 0u);
}

TEST_F(EffectTest, BeginPassUploadsValuesAndCommitChangesSendsWhatChanged)
{
    ID3DXEffect* effect = Load("sample.fx");
    ASSERT_NE(effect, nullptr);
    effect->SetMatrix("worldMatrix", &kCounting);
    const float bones[12] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    effect->SetFloatArray("bones", bones, 12);

    ASSERT_EQ(effect->Begin(nullptr, 0), D3D_OK);
    ASSERT_EQ(effect->BeginPass(0), D3D_OK);
    EXPECT_EQ(CurrentProgram(), Program(effect, "Opaque"));

    // The matrix goes to the program unchanged, row by row.
    const ShaderUniform* uploaded = Uniform(effect, "Opaque", "worldMatrix");
    ASSERT_NE(uploaded, nullptr);
    EXPECT_EQ(uploaded->type, SHADER_UNIFORM_MAT4);
    for (int i = 0; i < 16; ++i)
        EXPECT_FLOAT_EQ(UniformFloat(uploaded, static_cast<size_t>(i)), static_cast<float>(i + 1));
    const ShaderUniform* bonesUniform = Uniform(effect, "Opaque", "bones");
    ASSERT_NE(bonesUniform, nullptr);
    EXPECT_EQ(bonesUniform->type, SHADER_UNIFORM_VEC3);
    EXPECT_EQ(bonesUniform->count, 4u);
    EXPECT_FLOAT_EQ(UniformFloat(bonesUniform, 11), 12.0f);
    EXPECT_FLOAT_EQ(UniformFloat(Uniform(effect, "Opaque", "gameTime")), 2.5f);
    EXPECT_EQ(UniformInt(effect, "boneCount"), 3);
    EXPECT_EQ(UniformInt(effect, "useFog"), 1);
    // Texture parameters read the stages of their declaration order.
    EXPECT_EQ(UniformInt(effect, "pBaseTexture"), 0);
    EXPECT_EQ(UniformInt(effect, "pNormalMapTexture"), 1);
    // The viewport the pixel-to-clip helper needs.
    EXPECT_FLOAT_EQ(UniformFloat(Uniform(effect, "Opaque", "fxViewport"), 2), 640.0f);
    EXPECT_FLOAT_EQ(UniformFloat(Uniform(effect, "Opaque", "fxViewport"), 3), 480.0f);

    // A change inside the pass reaches the program only when committed.
    effect->SetFloat("gameTime", 9.0f);
    EXPECT_FLOAT_EQ(UniformFloat(Uniform(effect, "Opaque", "gameTime")), 2.5f);
    EXPECT_EQ(effect->CommitChanges(), D3D_OK);
    EXPECT_FLOAT_EQ(UniformFloat(Uniform(effect, "Opaque", "gameTime")), 9.0f);
    effect->EndPass();
    EXPECT_EQ(effect->CommitChanges(), D3DERR_INVALIDCALL);
    effect->End();
    EXPECT_EQ(effect->Release(), 0u);
}

TEST_F(EffectTest, AFloat4x3ArrayHoldsTheFirstThreeColumnsOfEachMatrixInThreeRegisters)
{
    const char* text = "float4x3 palette[2];\n"
                       "technique T { pass P { VertexShader = V; PixelShader = F; } }\n"
                       "@vertex\nvoid V() { gl_Position = vec4(dot(palette[5], inPosition)); }\n"
                       "@fragment\nvoid F() { fragColor = vec4(1.0); }\n";
    Effect* effect = nullptr;
    std::string error;
    ASSERT_EQ(Effect::Create(device, text, nullptr, &effect, error), D3D_OK) << error;
    D3DXMATRIX matrices[2] = {kCounting, kIdentity};
    matrices[1]._41 = 7.0f;
    matrices[1]._42 = 8.0f;
    matrices[1]._43 = 9.0f;
    ASSERT_EQ(effect->SetMatrixArray("palette", matrices, 2), D3D_OK);
    ASSERT_EQ(effect->Begin(nullptr, 0), D3D_OK);
    ASSERT_EQ(effect->BeginPass(0), D3D_OK);
    const ShaderUniform* uploaded = Uniform(effect, "T", "palette");
    ASSERT_NE(uploaded, nullptr);
    EXPECT_EQ(uploaded->type, SHADER_UNIFORM_VEC4);
    EXPECT_EQ(uploaded->count, 6u);
    // Column by column, each down the four rows; the translation ends each column.
    const float expected[24] = {1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15, 1, 0, 0, 7, 0, 1, 0, 8, 0, 0, 1, 9};
    for (size_t i = 0; i < 24; ++i)
        EXPECT_FLOAT_EQ(UniformFloat(uploaded, i), expected[i]) << i;
    effect->EndPass();
    effect->End();
    // Read back, the matrix is affine: its fourth column is 0 0 0 1 whatever was set.
    D3DXMATRIX back;
    ASSERT_EQ(effect->GetMatrix("palette", &back), D3D_OK);
    EXPECT_EQ(back, D3DXMATRIX(1, 2, 3, 0, 5, 6, 7, 0, 9, 10, 11, 0, 13, 14, 15, 1));
    EXPECT_EQ(effect->Release(), 0u);
}

TEST_F(EffectTest, OnlyDrawsUnderTheDevicesAlphaTestUseTheProgramThatDiscards)
{
    ID3DXEffect* effect = Load("sample.fx");
    ASSERT_NE(effect, nullptr);
    auto discards = [](IShaderProgram* program) {
        auto* source = dynamic_cast<ShaderProgram*>(program);
        return source != nullptr && source->FragmentSource().find("discard") != std::string::npos;
    };
    EXPECT_FALSE(discards(Program(effect, "Opaque")));
    EXPECT_TRUE(discards(Program(effect, "Opaque", true)));

    device->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
    device->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);
    device->SetRenderState(D3DRS_ALPHAREF, 32);
    effect->Begin(nullptr, 0);
    effect->BeginPass(0);
    EXPECT_EQ(CurrentProgram(), Program(effect, "Opaque", true));
    const ShaderUniform* test = Uniform(effect, "Opaque", "fxAlphaTest", true);
    EXPECT_FLOAT_EQ(UniformFloat(test, 0), 1.0f);
    EXPECT_FLOAT_EQ(UniformFloat(test, 1), static_cast<float>(D3DCMP_GREATEREQUAL));
    EXPECT_FLOAT_EQ(UniformFloat(test, 2), 32.0f);
    device->SetRenderState(D3DRS_ALPHAREF, 4);
    effect->CommitChanges();
    EXPECT_FLOAT_EQ(UniformFloat(Uniform(effect, "Opaque", "fxAlphaTest", true), 2), 4.0f);

    // The test turned off, or passing everything (any alpha 0..255 is at least 0 and at most 255), within
    // the pass: the plain program, with the pass's values too. A test that can fail keeps the discard.
    effect->SetMatrix("worldMatrix", &kCounting);
    struct Case {
        DWORD enable, func, ref;
        bool discards;
    };
    for (const Case& c : {Case{FALSE, D3DCMP_GREATEREQUAL, 32, false}, Case{TRUE, D3DCMP_ALWAYS, 32, false},
                          Case{TRUE, D3DCMP_GREATEREQUAL, 0, false}, Case{TRUE, D3DCMP_LESSEQUAL, 255, false},
                          Case{TRUE, D3DCMP_GREATER, 0, true}, Case{TRUE, D3DCMP_LESSEQUAL, 254, true}}) {
        device->SetRenderState(D3DRS_ALPHATESTENABLE, c.enable);
        device->SetRenderState(D3DRS_ALPHAFUNC, c.func);
        device->SetRenderState(D3DRS_ALPHAREF, c.ref);
        effect->CommitChanges();
        EXPECT_EQ(CurrentProgram(), Program(effect, "Opaque", c.discards)) << c.enable << " " << c.func << " " << c.ref;
        EXPECT_FLOAT_EQ(UniformFloat(Uniform(effect, "Opaque", "worldMatrix", c.discards), 5), 6.0f);
    }
    effect->EndPass();
    effect->End();
    EXPECT_EQ(effect->Release(), 0u);
}

TEST_F(EffectTest, BeginWithoutFlagsRestoresWhatThePassesChanged)
{
    ID3DXEffect* effect = Load("sample.fx");
    ASSERT_NE(effect, nullptr);
    IDirect3DTexture9* mine = MakeTexture(8, 8);
    IDirect3DTexture9* previous = MakeTexture(2, 2);
    effect->SetTexture("pBaseTexture", mine);
    device->SetTexture(0, previous);
    device->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_WRAP);
    device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);

    effect->Begin(nullptr, 0);
    effect->BeginPass(0);
    EXPECT_EQ(RenderState(D3DRS_ZENABLE), 0u);
    EXPECT_EQ(RenderState(D3DRS_CULLMODE), static_cast<DWORD>(D3DCULL_CW));
    EXPECT_EQ(BoundTexture(), mine);
    EXPECT_EQ(Sampler(D3DSAMP_ADDRESSU), static_cast<DWORD>(D3DTADDRESS_CLAMP));
    effect->EndPass();
    effect->End();

    EXPECT_EQ(RenderState(D3DRS_ZENABLE), static_cast<DWORD>(D3DZB_TRUE));
    EXPECT_EQ(RenderState(D3DRS_CULLMODE), static_cast<DWORD>(D3DCULL_NONE));
    EXPECT_EQ(BoundTexture(), previous);
    EXPECT_EQ(Sampler(D3DSAMP_ADDRESSU), static_cast<DWORD>(D3DTADDRESS_WRAP));
    EXPECT_EQ(CurrentProgram(), nullptr);

    // Without saving, the pass's states stay.
    effect->Begin(nullptr, D3DXFX_DONOTSAVESTATE);
    effect->BeginPass(0);
    effect->EndPass();
    effect->End();
    EXPECT_EQ(RenderState(D3DRS_ZENABLE), 0u);
    EXPECT_EQ(RenderState(D3DRS_CULLMODE), static_cast<DWORD>(D3DCULL_CW));
    EXPECT_EQ(CurrentProgram(), Program(effect, "Opaque"));
    device->SetShaderProgram(nullptr);
    device->SetTexture(0, nullptr);

    EXPECT_EQ(effect->Release(), 0u);
    EXPECT_EQ(mine->Release(), 0u);
    EXPECT_EQ(previous->Release(), 0u);
}

TEST_F(EffectTest, TextureParametersHoldAReferenceUntilReplacedOrReleased)
{
    ID3DXEffect* effect = Load("sample.fx");
    ASSERT_NE(effect, nullptr);
    IDirect3DTexture9* first = MakeTexture(4, 4);
    IDirect3DTexture9* second = MakeTexture(4, 4);
    EXPECT_EQ(effect->SetTexture("pBaseTexture", first), D3D_OK);
    EXPECT_EQ(effect->SetTexture("pBaseTexture", first), D3D_OK);
    EXPECT_EQ(RefCount(first), 2u);
    EXPECT_EQ(effect->SetTexture("pBaseTexture", second), D3D_OK);
    EXPECT_EQ(RefCount(first), 1u);
    EXPECT_EQ(RefCount(second), 2u);
    EXPECT_EQ(effect->SetTexture("pBaseTexture", nullptr), D3D_OK);
    EXPECT_EQ(RefCount(second), 1u);
    effect->SetTexture("pNormalMapTexture", second);
    EXPECT_EQ(effect->Release(), 0u);
    EXPECT_EQ(second->Release(), 0u);
    EXPECT_EQ(first->Release(), 0u);
}

TEST_F(EffectTest, SharedParametersHoldOneValuePerPool)
{
    ID3DXEffectPool* pool = nullptr;
    ASSERT_EQ(D3DXCreateEffectPool(&pool), D3D_OK);
    ID3DXEffect* sample = Load("sample.fx", pool);
    ID3DXEffect* other = Load("other.fx", pool);
    ID3DXEffect* alone = Load("other.fx");
    ASSERT_NE(sample, nullptr);
    ASSERT_NE(other, nullptr);
    ASSERT_NE(alone, nullptr);

    // The first declaration's default is the pool's starting value; gameTime is each effect's own, and
    // so is everything of an effect made without a pool.
    EXPECT_FLOAT_EQ(Get(other, "sharedScale"), 4.0f);
    sample->SetFloat("sharedScale", 0.5f);
    sample->SetFloat("gameTime", 1.0f);
    EXPECT_FLOAT_EQ(Get(other, "sharedScale"), 0.5f);
    EXPECT_FLOAT_EQ(Get(other, "gameTime"), 7.0f);
    EXPECT_FLOAT_EQ(Get(alone, "sharedScale"), 9.0f);
    other->SetMatrix("viewProjMatrix", &kCounting);
    D3DXMATRIX seen;
    sample->GetMatrix("viewProjMatrix", &seen);
    EXPECT_EQ(seen, kCounting);

    // A shared value set through one effect reaches the programs of the other.
    other->Begin(nullptr, 0);
    other->BeginPass(0);
    EXPECT_FLOAT_EQ(UniformFloat(Uniform(other, "Only", "sharedScale")), 0.5f);
    other->EndPass();
    other->End();

    ID3DXEffectPool* got = nullptr;
    EXPECT_EQ(other->GetPool(&got), D3D_OK);
    EXPECT_EQ(got, pool);
    if (got != nullptr)
        got->Release();
    got = reinterpret_cast<ID3DXEffectPool*>(1);
    EXPECT_EQ(alone->GetPool(&got), D3D_OK);
    EXPECT_EQ(got, nullptr);

    // A declaration that disagrees with the pool's is refused with the parameter named.
    EXPECT_NE(LoadError(Fixture("conflict.fx"), pool).find("sharedScale"), std::string::npos);

    EXPECT_EQ(sample->Release(), 0u);
    EXPECT_EQ(other->Release(), 0u);
    EXPECT_EQ(alone->Release(), 0u);
    EXPECT_EQ(pool->Release(), 0u);
}

TEST_F(EffectTest, BadFilesFailCleanlyWithAMessage)
{
    const std::string malformed = LoadError(Fixture("malformed.fx"));
    EXPECT_NE(malformed.find("malformed.fx"), std::string::npos) << malformed;
    EXPECT_NE(malformed.find("line 2: expected ';'"), std::string::npos) << malformed;
    EXPECT_NE(LoadError(Fixture("missing.fx")).find("cannot open"), std::string::npos);
    LoadError(std::string(VARNHOLT_FIXTURES) + "/effects"); // not an effect at all

    ID3DXEffect* effect = nullptr;
    EXPECT_EQ(D3DXCreateEffectFromFileA(nullptr, Fixture("sample.fx").c_str(), nullptr, nullptr, 0, nullptr, &effect,
                                        nullptr),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXCreateEffectFromFileA(device, nullptr, nullptr, nullptr, 0, nullptr, &effect, nullptr),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(
        D3DXCreateEffectFromFileA(device, Fixture("sample.fx").c_str(), nullptr, nullptr, 0, nullptr, nullptr, nullptr),
        D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXCreateEffectPool(nullptr), D3DERR_INVALIDCALL);
}

TEST_F(EffectTest, DefaultDataEffectsDeclareWhatTheGameSets)
{
    // The working directory of the tests is the build directory, where the default data is written.
    ID3DXEffect* post = nullptr;
    ASSERT_EQ(D3DXCreateEffectFromFileA(device, "Data\\Effect Files\\postProcess.fx", nullptr, nullptr, 0, nullptr,
                                        &post, nullptr),
              D3D_OK);
    // The game asks every effect for "Basic" first; the post-process effect keeps its own technique.
    EXPECT_EQ(post->SetTechnique("Basic"), D3DERR_INVALIDCALL);
    EXPECT_EQ(post->SetTechnique("PostProcess"), D3D_OK);
    EXPECT_EQ(post->SetMatrix("viewProjMatrix", &kIdentity), D3D_OK);
    for (const char* name : {"gameTime", "gameSpeed", "tElapsed", "shakeMagnitude"})
        EXPECT_EQ(post->SetFloat(name, 1.0f), D3D_OK) << name;
    IDirect3DTexture9* scene = MakeTexture(64, 64);
    EXPECT_EQ(post->SetTexture("PostProcessTexture", scene), D3D_OK);
    // The scene target has the back buffer's size: each screen pixel takes its own scene pixel, unblended
    // with its neighbours.
    ASSERT_EQ(post->Begin(nullptr, 0), D3D_OK);
    ASSERT_EQ(post->BeginPass(0), D3D_OK);
    EXPECT_EQ(Sampler(D3DSAMP_MINFILTER), static_cast<DWORD>(D3DTEXF_POINT));
    EXPECT_EQ(Sampler(D3DSAMP_MAGFILTER), static_cast<DWORD>(D3DTEXF_POINT));
    post->EndPass();
    post->End();
    EXPECT_EQ(post->Release(), 0u);
    scene->Release();

    ID3DXEffect* basic = nullptr;
    ASSERT_EQ(
        D3DXCreateEffectFromFileA(device, "Data/Effect Files/basic.fx", nullptr, nullptr, 0, nullptr, &basic, nullptr),
        D3D_OK);
    EXPECT_STREQ(basic->GetCurrentTechnique(), "Basic");
    for (const char* technique : {"StaticObjectTechnique", "BumpMappingBasic"})
        EXPECT_NE(basic->GetTechniqueByName(technique), nullptr) << technique;
    for (const char* name : {"worldViewProjMatrix", "worldMatrix"})
        EXPECT_EQ(basic->SetMatrix(name, &kIdentity), D3D_OK) << name;
    for (const char* name : {"gameTime", "gameSpeed", "tElapsed"})
        EXPECT_EQ(basic->SetFloat(name, 1.0f), D3D_OK) << name;
    const float three[3] = {1.0f, 2.0f, 3.0f};
    for (const char* name : {"LightDirection", "LightPosition", "LightDiffuseColor"})
        EXPECT_EQ(basic->SetFloatArray(name, three, 3), D3D_OK) << name;
    const D3DXVECTOR4 fog(5000.0f, 20000.0f, 6.666667e-05f, 0.66f);
    EXPECT_EQ(basic->SetVector("FogData", &fog), D3D_OK);
    for (const char* name : {"pBaseTexture", "pNormalMapTexture"})
        EXPECT_EQ(basic->SetTexture(name, nullptr), D3D_OK) << name;
    EXPECT_EQ(basic->Release(), 0u);
}

} // namespace
