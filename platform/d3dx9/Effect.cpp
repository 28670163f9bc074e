#include "d3dx9/Effect.h"

#include "d3d9/DeviceState.h"
#include "d3dx9/D3DXBuffer.h"
#include "d3dx9/EffectPool.h"
#include "d3dx9/EffectValue.h"
#include "win32/Log.h"
#include "win32/PathResolver.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

// Larger files are not effect files; refusing them keeps a wrong path from eating memory.
constexpr long MAX_EFFECT_FILE_BYTES = 4L * 1024 * 1024;

constexpr UINT MAX_TEXTURE_STAGES = 8;

uint32_t FloatWord(float value)
{
    uint32_t word;
    std::memcpy(&word, &value, sizeof(word));
    return word;
}

float WordFloat(uint32_t word)
{
    float value;
    std::memcpy(&value, &word, sizeof(value));
    return value;
}

bool IsFloatType(EffectParamType type)
{
    return type == EffectParamType::FLOAT || type == EffectParamType::FLOAT2 || type == EffectParamType::FLOAT3 ||
           type == EffectParamType::FLOAT4 || type == EffectParamType::FLOAT4X3 || type == EffectParamType::FLOAT4X4;
}

ShaderUniformType UniformType(EffectParamType type)
{
    switch (type) {
    case EffectParamType::FLOAT:
        return SHADER_UNIFORM_FLOAT;
    case EffectParamType::FLOAT2:
        return SHADER_UNIFORM_VEC2;
    case EffectParamType::FLOAT3:
        return SHADER_UNIFORM_VEC3;
    case EffectParamType::FLOAT4:
    case EffectParamType::FLOAT4X3:
        return SHADER_UNIFORM_VEC4;
    case EffectParamType::FLOAT4X4:
        return SHADER_UNIFORM_MAT4;
    case EffectParamType::INT:
        return SHADER_UNIFORM_INT;
    case EffectParamType::BOOL:
        return SHADER_UNIFORM_BOOL;
    case EffectParamType::TEXTURE:
        return SHADER_UNIFORM_SAMPLER;
    }
    return SHADER_UNIFORM_FLOAT;
}

} // namespace

Effect::Effect(IDirect3DDevice9* device) : device_(device)
{
    device_->AddRef();
}

Effect::~Effect()
{
    saved_.Discard();
    for (Technique& technique : techniques_)
        for (Pass& pass : technique.passes)
            for (Program* program : {&pass.plain, &pass.alphaTested})
                if (program->program != nullptr)
                    program->program->Release();
    parameters_.clear();
    if (pool_ != nullptr)
        pool_->Release();
    device_->Release();
}

HRESULT Effect::Create(IDirect3DDevice9* device, std::string_view text, EffectPool* pool, Effect** effect,
                       std::string& error)
{
    if (effect == nullptr)
        return D3DERR_INVALIDCALL;
    *effect = nullptr;
    if (device == nullptr) {
        error = "no device";
        return D3DERR_INVALIDCALL;
    }
    EffectFile file;
    if (!file.Parse(text)) {
        error = file.Error();
        return D3DXERR_INVALIDDATA;
    }

    Effect* result = new Effect(device);
    if (pool != nullptr) {
        pool->AddRef();
        result->pool_ = pool;
    }
    auto fail = [&](const std::string& message, HRESULT code) {
        error = message;
        result->Release();
        return code;
    };

    int nextStage = 0;
    result->parameters_.reserve(file.Parameters().size());
    for (const EffectParameterDecl& decl : file.Parameters()) {
        Parameter parameter;
        parameter.name = decl.name;
        parameter.type = decl.type;
        parameter.arraySize = decl.arraySize;
        parameter.samplerStates = decl.samplerStates;
        if (decl.type == EffectParamType::TEXTURE) {
            if (nextStage >= static_cast<int>(MAX_TEXTURE_STAGES))
                return fail("line " + std::to_string(decl.line) + ": more than " + std::to_string(MAX_TEXTURE_STAGES) +
                                " texture parameters",
                            D3DXERR_INVALIDDATA);
            parameter.stage = nextStage++;
        }
        if (decl.shared && pool != nullptr) {
            std::string conflict;
            parameter.value = pool->Acquire(decl, conflict);
            if (parameter.value == nullptr)
                return fail("line " + std::to_string(decl.line) + ": " + conflict, D3DXERR_INVALIDDATA);
        } else {
            parameter.own = std::make_unique<EffectValue>(decl);
            parameter.value = parameter.own.get();
        }
        result->parameters_.push_back(std::move(parameter));
    }
    result->boundTextures_.assign(result->parameters_.size(), 0);

    result->techniques_.reserve(file.Techniques().size());
    for (const EffectTechniqueDecl& techniqueDecl : file.Techniques()) {
        Technique technique;
        technique.name = techniqueDecl.name;
        for (const EffectPassDecl& passDecl : techniqueDecl.passes) {
            Pass pass;
            pass.renderStates = passDecl.renderStates;
            const std::string vertexSource = file.VertexSource(passDecl);
            for (const bool alphaTest : {false, true}) {
                Program& program = alphaTest ? pass.alphaTested : pass.plain;
                program.uploaded.assign(result->parameters_.size(), 0);
                const std::string fragmentSource = file.FragmentSource(passDecl, alphaTest);
                const HRESULT hr =
                    device->CreateShaderProgram(vertexSource.c_str(), fragmentSource.c_str(), &program.program);
                if (FAILED(hr) || program.program == nullptr) {
                    technique.passes.push_back(std::move(pass));
                    result->techniques_.push_back(std::move(technique));
                    return fail("line " + std::to_string(passDecl.line) + ": the device refused the program of pass '" +
                                    passDecl.name + "' in technique '" + techniqueDecl.name + "'",
                                FAILED(hr) ? hr : E_FAIL);
                }
                if (!program.program->IsValid()) {
                    const std::string log = program.program->GetLog();
                    technique.passes.push_back(std::move(pass));
                    result->techniques_.push_back(std::move(technique));
                    return fail("pass '" + passDecl.name + "' in technique '" + techniqueDecl.name +
                                    "' does not compile: " + log,
                                D3DXERR_INVALIDDATA);
                }
                // Samplers read fixed stages for the effect's whole life.
                for (const Parameter& parameter : result->parameters_)
                    if (parameter.stage >= 0) {
                        const int32_t stage = parameter.stage;
                        program.program->SetUniform(parameter.name.c_str(), SHADER_UNIFORM_SAMPLER, &stage, 1);
                    }
            }
            technique.passes.push_back(std::move(pass));
        }
        result->techniques_.push_back(std::move(technique));
    }
    *effect = result;
    return D3D_OK;
}

Effect::Parameter* Effect::FindParameter(D3DXHANDLE handle)
{
    if (handle == nullptr)
        return nullptr;
    // A handle is either one we handed out (the stored name) or a name.
    for (Parameter& parameter : parameters_)
        if (parameter.name.c_str() == handle)
            return &parameter;
    for (Parameter& parameter : parameters_)
        if (parameter.name == handle)
            return &parameter;
    return nullptr;
}

Effect::Technique* Effect::FindTechnique(D3DXHANDLE handle)
{
    if (handle == nullptr)
        return nullptr;
    for (Technique& technique : techniques_)
        if (technique.name.c_str() == handle)
            return &technique;
    for (Technique& technique : techniques_)
        if (technique.name == handle)
            return &technique;
    return nullptr;
}

HRESULT Effect::SetTechnique(D3DXHANDLE technique)
{
    // The original library ignored unknown techniques and kept drawing with the current one; the game
    // relies on that when it selects a technique that only some of its effects have.
    Technique* found = FindTechnique(technique);
    if (found == nullptr)
        return D3DERR_INVALIDCALL;
    current_ = static_cast<size_t>(found - techniques_.data());
    return D3D_OK;
}

D3DXHANDLE Effect::GetCurrentTechnique()
{
    return techniques_.empty() ? nullptr : techniques_[current_].name.c_str();
}

D3DXHANDLE Effect::GetTechniqueByName(LPCSTR name)
{
    Technique* found = FindTechnique(name);
    return found ? found->name.c_str() : nullptr;
}

D3DXHANDLE Effect::GetParameterByName(D3DXHANDLE parent, LPCSTR name)
{
    // Our parameters have no members, so only top-level lookups find anything.
    if (parent != nullptr)
        return nullptr;
    Parameter* found = FindParameter(name);
    return found ? found->name.c_str() : nullptr;
}

HRESULT Effect::GetPool(ID3DXEffectPool** pool)
{
    if (pool == nullptr)
        return D3DERR_INVALIDCALL;
    *pool = pool_;
    if (pool_ != nullptr)
        pool_->AddRef();
    return D3D_OK;
}

HRESULT Effect::Begin(UINT* passes, DWORD flags)
{
    if (passes != nullptr)
        *passes = 0;
    if (begun_ || techniques_.empty())
        return D3DERR_INVALIDCALL;
    activeTechnique_ = current_;
    const Technique& technique = techniques_[activeTechnique_];
    if (!(flags & D3DXFX_DONOTSAVESTATE)) {
        for (const Pass& pass : technique.passes)
            for (const EffectStateAssignment& state : pass.renderStates)
                saved_.CaptureRenderState(device_, static_cast<D3DRENDERSTATETYPE>(state.state));
        for (const Parameter& parameter : parameters_) {
            if (parameter.stage < 0)
                continue;
            saved_.CaptureTexture(device_, static_cast<DWORD>(parameter.stage));
            if (!(flags & D3DXFX_DONOTSAVESAMPLERSTATE))
                for (const EffectStateAssignment& state : parameter.samplerStates)
                    saved_.CaptureSamplerState(device_, static_cast<DWORD>(parameter.stage),
                                               static_cast<D3DSAMPLERSTATETYPE>(state.state));
        }
        if (!(flags & D3DXFX_DONOTSAVESHADERSTATE))
            saved_.CaptureShaderProgram(device_);
    }
    begun_ = true;
    activePass_ = -1;
    if (passes != nullptr)
        *passes = static_cast<UINT>(technique.passes.size());
    return D3D_OK;
}

HRESULT Effect::BeginPass(UINT pass)
{
    if (!begun_ || activePass_ >= 0 || pass >= techniques_[activeTechnique_].passes.size())
        return D3DERR_INVALIDCALL;
    Pass& active = techniques_[activeTechnique_].passes[pass];
    activePass_ = static_cast<int>(pass);
    active.bound = nullptr;
    for (const EffectStateAssignment& state : active.renderStates)
        device_->SetRenderState(static_cast<D3DRENDERSTATETYPE>(state.state), state.value);
    Upload(active, true);
    return D3D_OK;
}

HRESULT Effect::CommitChanges()
{
    if (!begun_ || activePass_ < 0)
        return D3DERR_INVALIDCALL;
    Upload(techniques_[activeTechnique_].passes[static_cast<size_t>(activePass_)], false);
    return D3D_OK;
}

HRESULT Effect::EndPass()
{
    if (!begun_ || activePass_ < 0)
        return D3DERR_INVALIDCALL;
    activePass_ = -1;
    return D3D_OK;
}

HRESULT Effect::End()
{
    if (!begun_)
        return D3DERR_INVALIDCALL;
    begun_ = false;
    activePass_ = -1;
    saved_.Restore(device_);
    return D3D_OK;
}

void Effect::Upload(Pass& pass, bool rebindAll)
{
    DWORD enabled = FALSE, func = D3DCMP_ALWAYS, ref = 0;
    device_->GetRenderState(D3DRS_ALPHATESTENABLE, &enabled);
    device_->GetRenderState(D3DRS_ALPHAFUNC, &func);
    device_->GetRenderState(D3DRS_ALPHAREF, &ref);
    const bool alphaTested = enabled && !AlphaTestKeepsAll(func, ref);
    Program& program = alphaTested ? pass.alphaTested : pass.plain;
    if (pass.bound != program.program) {
        device_->SetShaderProgram(program.program);
        pass.bound = program.program;
    }
    for (size_t i = 0; i < parameters_.size(); ++i) {
        const Parameter& parameter = parameters_[i];
        const EffectValue& value = *parameter.value;
        if (parameter.stage >= 0) {
            if (!rebindAll && boundTextures_[i] == value.Version())
                continue;
            const DWORD stage = static_cast<DWORD>(parameter.stage);
            device_->SetTexture(stage, value.Texture());
            if (rebindAll)
                for (const EffectStateAssignment& state : parameter.samplerStates)
                    device_->SetSamplerState(stage, static_cast<D3DSAMPLERSTATETYPE>(state.state), state.value);
            boundTextures_[i] = value.Version();
            continue;
        }
        if (program.uploaded[i] == value.Version())
            continue;
        const UINT elements = parameter.arraySize == 0 ? 1 : parameter.arraySize;
        program.program->SetUniform(parameter.name.c_str(), UniformType(parameter.type), value.Words().data(),
                                    parameter.type == EffectParamType::FLOAT4X3 ? 3 * elements : elements);
        program.uploaded[i] = value.Version();
    }
    D3DVIEWPORT9 viewport{};
    if (SUCCEEDED(device_->GetViewport(&viewport))) {
        const float rect[4] = {static_cast<float>(viewport.X), static_cast<float>(viewport.Y),
                               static_cast<float>(viewport.Width), static_cast<float>(viewport.Height)};
        if (std::memcmp(rect, program.viewport, sizeof(rect)) != 0) {
            program.program->SetUniform("fxViewport", SHADER_UNIFORM_VEC4, rect, 1);
            std::memcpy(program.viewport, rect, sizeof(rect));
        }
    }
    const float alphaTest[4] = {enabled ? 1.0f : 0.0f, static_cast<float>(func), static_cast<float>(ref & 0xFF), 0.0f};
    if (std::memcmp(alphaTest, program.alphaTest, sizeof(alphaTest)) != 0) {
        program.program->SetUniform("fxAlphaTest", SHADER_UNIFORM_VEC4, alphaTest, 1);
        std::memcpy(program.alphaTest, alphaTest, sizeof(alphaTest));
    }
    // A shader hands the device a fog factor and the device blends toward its fog colour when fog is on,
    // as the fixed pipeline did after the pixel shader.
    DWORD fogEnabled = FALSE, fogColour = 0;
    device_->GetRenderState(D3DRS_FOGENABLE, &fogEnabled);
    device_->GetRenderState(D3DRS_FOGCOLOR, &fogColour);
    const float fog[4] = {fogEnabled ? 1.0f : 0.0f, static_cast<float>((fogColour >> 16) & 0xFF) / 255.0f,
                          static_cast<float>((fogColour >> 8) & 0xFF) / 255.0f,
                          static_cast<float>(fogColour & 0xFF) / 255.0f};
    if (std::memcmp(fog, program.fog, sizeof(fog)) != 0) {
        program.program->SetUniform("fxFog", SHADER_UNIFORM_VEC4, fog, 1);
        std::memcpy(program.fog, fog, sizeof(fog));
    }
}

HRESULT Effect::WriteFloats(D3DXHANDLE parameter, const float* values, size_t count)
{
    Parameter* found = FindParameter(parameter);
    if (found == nullptr || values == nullptr || found->type == EffectParamType::TEXTURE)
        return D3DERR_INVALIDCALL;
    std::vector<uint32_t> words(std::min<size_t>(count, found->value->Words().size()));
    for (size_t i = 0; i < words.size(); ++i) {
        if (IsFloatType(found->type))
            words[i] = FloatWord(values[i]);
        else if (found->type == EffectParamType::BOOL)
            words[i] = values[i] != 0.0f ? 1u : 0u;
        else
            words[i] = static_cast<uint32_t>(static_cast<int32_t>(values[i]));
    }
    found->value->Write(words.data(), words.size());
    return D3D_OK;
}

HRESULT Effect::WriteInt(D3DXHANDLE parameter, int32_t value, bool asBool)
{
    Parameter* found = FindParameter(parameter);
    if (found == nullptr || found->type == EffectParamType::TEXTURE)
        return D3DERR_INVALIDCALL;
    if (asBool)
        value = value != 0 ? 1 : 0;
    uint32_t word = 0;
    if (IsFloatType(found->type))
        word = FloatWord(static_cast<float>(value));
    else if (found->type == EffectParamType::BOOL)
        word = value != 0 ? 1u : 0u;
    else
        word = static_cast<uint32_t>(value);
    found->value->Write(&word, 1);
    return D3D_OK;
}

HRESULT Effect::SetMatrix(D3DXHANDLE parameter, const D3DXMATRIX* matrix)
{
    return SetMatrixArray(parameter, matrix, 1);
}

HRESULT Effect::SetMatrixArray(D3DXHANDLE parameter, const D3DXMATRIX* matrices, UINT count)
{
    Parameter* found = FindParameter(parameter);
    if (found == nullptr || matrices == nullptr ||
        (found->type != EffectParamType::FLOAT4X4 && found->type != EffectParamType::FLOAT4X3))
        return D3DERR_INVALIDCALL;
    if (found->type == EffectParamType::FLOAT4X3) {
        // Each matrix as its first three columns, one after the other.
        const auto* rows = reinterpret_cast<const float*>(matrices);
        std::vector<float> columns(static_cast<size_t>(count) * 12);
        for (size_t i = 0; i < count; ++i)
            for (size_t column = 0; column < 3; ++column)
                for (size_t row = 0; row < 4; ++row)
                    columns[i * 12 + column * 4 + row] = rows[i * 16 + row * 4 + column];
        return WriteFloats(parameter, columns.data(), columns.size());
    }
    // D3DXMATRIX is the sixteen floats of D3DMATRIX, row by row, and nothing else.
    return WriteFloats(parameter, reinterpret_cast<const float*>(matrices), static_cast<size_t>(count) * 16);
}

HRESULT Effect::SetFloat(D3DXHANDLE parameter, FLOAT value)
{
    return WriteFloats(parameter, &value, 1);
}

HRESULT Effect::SetFloatArray(D3DXHANDLE parameter, const FLOAT* values, UINT count)
{
    return WriteFloats(parameter, values, count);
}

HRESULT Effect::SetVector(D3DXHANDLE parameter, const D3DXVECTOR4* vector)
{
    // D3DXVECTOR4 is four floats x, y, z, w.
    return WriteFloats(parameter, reinterpret_cast<const float*>(vector), 4);
}

HRESULT Effect::SetInt(D3DXHANDLE parameter, INT value)
{
    return WriteInt(parameter, value, false);
}

HRESULT Effect::SetBool(D3DXHANDLE parameter, BOOL value)
{
    return WriteInt(parameter, value, true);
}

HRESULT Effect::SetTexture(D3DXHANDLE parameter, IDirect3DBaseTexture9* texture)
{
    Parameter* found = FindParameter(parameter);
    if (found == nullptr || found->type != EffectParamType::TEXTURE)
        return D3DERR_INVALIDCALL;
    found->value->SetTexture(texture);
    return D3D_OK;
}

HRESULT Effect::GetFloat(D3DXHANDLE parameter, FLOAT* value)
{
    if (value == nullptr)
        return D3DERR_INVALIDCALL;
    *value = 0.0f;
    Parameter* found = FindParameter(parameter);
    if (found == nullptr || found->type == EffectParamType::TEXTURE)
        return D3DERR_INVALIDCALL;
    const uint32_t word = found->value->Words()[0];
    *value = IsFloatType(found->type) ? WordFloat(word) : static_cast<float>(static_cast<int32_t>(word));
    return D3D_OK;
}

HRESULT Effect::GetMatrix(D3DXHANDLE parameter, D3DXMATRIX* matrix)
{
    if (matrix == nullptr)
        return D3DERR_INVALIDCALL;
    float* out = reinterpret_cast<float*>(matrix);
    std::memset(out, 0, 16 * sizeof(float));
    Parameter* found = FindParameter(parameter);
    if (found == nullptr || (found->type != EffectParamType::FLOAT4X4 && found->type != EffectParamType::FLOAT4X3))
        return D3DERR_INVALIDCALL;
    if (found->type == EffectParamType::FLOAT4X3) {
        for (size_t column = 0; column < 3; ++column)
            for (size_t row = 0; row < 4; ++row)
                out[row * 4 + column] = WordFloat(found->value->Words()[column * 4 + row]);
        out[15] = 1.0f;
        return D3D_OK;
    }
    std::memcpy(out, found->value->Words().data(), 16 * sizeof(float));
    return D3D_OK;
}

// Programs and values live on the CPU side and survive a reset. A texture parameter that holds a
// default-pool texture (a render target) lets go of it: such textures die with the device, and a
// reference kept here would make the device refuse the reset.
HRESULT Effect::OnLostDevice()
{
    for (Parameter& parameter : parameters_) {
        if (parameter.type != EffectParamType::TEXTURE || parameter.value == nullptr)
            continue;
        IDirect3DBaseTexture9* texture = parameter.value->Texture();
        if (texture == nullptr || texture->GetType() != D3DRTYPE_TEXTURE)
            continue;
        D3DSURFACE_DESC desc{};
        if (SUCCEEDED(static_cast<IDirect3DTexture9*>(texture)->GetLevelDesc(0, &desc)) && desc.Pool == D3DPOOL_DEFAULT)
            parameter.value->SetTexture(nullptr);
    }
    return D3D_OK;
}

HRESULT Effect::OnResetDevice()
{
    return D3D_OK;
}

IShaderProgram* Effect::PassProgram(D3DXHANDLE technique, UINT pass, bool alphaTested)
{
    Technique* found = FindTechnique(technique);
    if (found == nullptr || pass >= found->passes.size())
        return nullptr;
    return alphaTested ? found->passes[pass].alphaTested.program : found->passes[pass].plain.program;
}

int Effect::TextureStage(D3DXHANDLE parameter)
{
    Parameter* found = FindParameter(parameter);
    return found ? found->stage : -1;
}

HRESULT D3DXCreateEffectFromFileA(IDirect3DDevice9* device, LPCSTR srcFile, const void*, void*, DWORD,
                                  ID3DXEffectPool* pool, ID3DXEffect** effect, ID3DXBuffer** compilationErrors)
{
    if (effect != nullptr)
        *effect = nullptr;
    if (compilationErrors != nullptr)
        *compilationErrors = nullptr;
    if (device == nullptr || srcFile == nullptr || effect == nullptr)
        return D3DERR_INVALIDCALL;

    auto report = [&](const std::string& message, HRESULT code) {
        // One line on stderr; the whole message (a compiler log may run to many lines) goes to the buffer.
        const std::string firstLine = message.substr(0, message.find('\n'));
        LogFormat(LogLevel::WARNING, "effect.file", "effect %s: %s", srcFile, firstLine.c_str());
        if (compilationErrors != nullptr)
            *compilationErrors = D3DXBuffer::FromText(std::string(srcFile) + ": " + message);
        return code;
    };

    EffectPool* ourPool = nullptr;
    if (pool != nullptr) {
        ourPool = dynamic_cast<EffectPool*>(pool);
        if (ourPool == nullptr)
            return report("the effect pool was not made by D3DXCreateEffectPool", D3DERR_INVALIDCALL);
    }

    FILE* file = PathResolver::Open(srcFile, "rb");
    if (file == nullptr)
        return report("cannot open the file", D3DERR_NOTFOUND);
    std::string text;
    char chunk[16384];
    size_t got = 0;
    bool tooLarge = false;
    while ((got = std::fread(chunk, 1, sizeof(chunk), file)) > 0) {
        text.append(chunk, got);
        if (static_cast<long>(text.size()) > MAX_EFFECT_FILE_BYTES) {
            tooLarge = true;
            break;
        }
    }
    const bool readError = std::ferror(file) != 0;
    std::fclose(file);
    if (tooLarge)
        return report("the file is larger than an effect file can be", D3DXERR_INVALIDDATA);
    if (readError)
        return report("the file cannot be read", D3DXERR_INVALIDDATA);

    Effect* created = nullptr;
    std::string error;
    const HRESULT hr = Effect::Create(device, text, ourPool, &created, error);
    if (FAILED(hr))
        return report(error, hr);
    *effect = created;
    return D3D_OK;
}
