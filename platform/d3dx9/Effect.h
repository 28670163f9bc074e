#pragma once
// Platform-internal: an effect made from one of our effect files (format in EffectFile.h): techniques
// whose passes are device shader programs, and parameters whose values are uploaded to those programs
// as uniforms when a pass begins and when changes are committed.

#include "d3dx9/D3DX9Core.h"
#include "d3dx9/DeviceStateSnapshot.h"
#include "d3dx9/EffectFile.h"
#include "win32/ComObject.h"

#include <atomic>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class EffectPool;
class EffectValue;

class Effect : public ComObject<ID3DXEffect>
{
public:
    // Builds an effect from the text of an effect file. On failure returns an error code and a message
    // (the parse error, a shared-parameter conflict or a program the device refused).
    static HRESULT Create(IDirect3DDevice9* device, std::string_view text, EffectPool* pool, Effect** effect,
                          std::string& error);

    HRESULT SetTechnique(D3DXHANDLE technique) override;
    D3DXHANDLE GetCurrentTechnique() override;
    HRESULT Begin(UINT* passes, DWORD flags) override;
    HRESULT BeginPass(UINT pass) override;
    HRESULT CommitChanges() override;
    HRESULT EndPass() override;
    HRESULT End() override;
    HRESULT SetMatrix(D3DXHANDLE parameter, const D3DXMATRIX* matrix) override;
    HRESULT SetMatrixArray(D3DXHANDLE parameter, const D3DXMATRIX* matrices, UINT count) override;
    HRESULT SetFloat(D3DXHANDLE parameter, FLOAT value) override;
    HRESULT SetFloatArray(D3DXHANDLE parameter, const FLOAT* values, UINT count) override;
    HRESULT SetVector(D3DXHANDLE parameter, const D3DXVECTOR4* vector) override;
    HRESULT SetInt(D3DXHANDLE parameter, INT value) override;
    HRESULT SetBool(D3DXHANDLE parameter, BOOL value) override;
    HRESULT SetTexture(D3DXHANDLE parameter, IDirect3DBaseTexture9* texture) override;
    HRESULT GetFloat(D3DXHANDLE parameter, FLOAT* value) override;
    HRESULT GetMatrix(D3DXHANDLE parameter, D3DXMATRIX* matrix) override;
    D3DXHANDLE GetParameterByName(D3DXHANDLE parent, LPCSTR name) override;
    D3DXHANDLE GetTechniqueByName(LPCSTR name) override;
    HRESULT GetPool(ID3DXEffectPool** pool) override;
    HRESULT OnLostDevice() override;
    HRESULT OnResetDevice() override;

    // For tests and tools: the program of a pass (null when out of range) and the texture stage a
    // texture parameter is bound to (-1 for anything else).
    // The program of a pass, the one with or without the alpha test.
    IShaderProgram* PassProgram(D3DXHANDLE technique, UINT pass, bool alphaTested = false);
    int TextureStage(D3DXHANDLE parameter);

protected:
    ~Effect() override;

private:
    struct Parameter {
        std::string name;
        EffectParamType type = EffectParamType::FLOAT;
        uint32_t arraySize = 0;
        EffectValue* value = nullptr; // the own value, or the pool's for a shared parameter
        std::unique_ptr<EffectValue> own; // set unless the value lives in the pool
        int stage = -1; // texture stage of a texture parameter
        std::vector<EffectStateAssignment> samplerStates;
    };
    // A pass is built twice: without the alpha test, and with it for draws while the device's alpha test is
    // on. GL compiles a program at its first draw, so the second costs nothing until it is used.
    struct Program {
        IShaderProgram* program = nullptr;
        std::vector<uint64_t> uploaded; // per parameter: the value version last given to the program
        float viewport[4] = {-1.0f, -1.0f, -1.0f, -1.0f};
        float alphaTest[4] = {-1.0f, -1.0f, -1.0f, -1.0f};
        float fog[4] = {-1.0f, -1.0f, -1.0f, -1.0f};
    };
    struct Pass {
        Program plain;
        Program alphaTested;
        std::vector<EffectStateAssignment> renderStates;
        IShaderProgram* bound = nullptr; // the one of the two given to the device
    };
    struct Technique {
        std::string name;
        std::vector<Pass> passes;
    };

    explicit Effect(IDirect3DDevice9* device);
    Parameter* FindParameter(D3DXHANDLE handle);
    Technique* FindTechnique(D3DXHANDLE handle);
    HRESULT WriteFloats(D3DXHANDLE parameter, const float* values, size_t count);
    HRESULT WriteInt(D3DXHANDLE parameter, int32_t value, bool asBool);
    // Sends the values that changed since the pass last saw them; textures are bound again when
    // rebindAll is set (a new pass) or when they changed.
    void Upload(Pass& pass, bool rebindAll);

    IDirect3DDevice9* device_;
    EffectPool* pool_ = nullptr;
    std::vector<Parameter> parameters_;
    std::vector<Technique> techniques_;
    size_t current_ = 0;
    // Begin..End bracket.
    bool begun_ = false;
    size_t activeTechnique_ = 0;
    int activePass_ = -1;
    std::vector<uint64_t> boundTextures_; // per parameter: the texture version bound in the active pass
    DeviceStateSnapshot saved_;
};
